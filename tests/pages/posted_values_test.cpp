// What the add and update forms store for a posted value, by the field's
// type: numbers through CheckNum, currency and text as posted, dates from
// the five lists through the regional date reading, with a date-only
// field's empty hour and minute read as midnight.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/adodb/field.h"
#include "host/locale/locale.h"
#include "host/variant_ops.h"
#include "pages/record_form_parts.h"
#include "values/sql_literal.h"
#include "support/component_harness.h"
#include "support/error_number.h"

namespace tabrix {
namespace {

using testing::ErrorNumberOf;

using Form = std::vector<std::pair<std::string, std::string>>;

// The value PostedValue gives field F of `type` for the posted `form`,
// under the regional settings of `locale` (en-US again afterwards).
Variant Posted(long type, const Form& form, const std::string& locale = "en-US",
               long attributes = 0x68) {
  struct LocaleScope {
    explicit LocaleScope(const std::string& tag) { Locale::SetCurrent(tag); }
    ~LocaleScope() { Locale::SetCurrent("en-US"); }
  } scope(locale);
  testing::ComponentHarness h;
  for (const auto& [name, value] : form) h.request().AddFormItem(name, value);
  adodb::StandaloneField field("F", type, attributes);
  return record_form::PostedValue(h.object(), field);
}

Variant DateOf(const char* iso) { return Variant(ToDate(Variant(iso))); }

TEST(PostedValues, EachTypeStoresItsConversionOfThePostedText) {
  struct Case {
    long type;
    Form form;
    Variant expected;
  };
  const Case cases[] = {
      // Numbers: the double; nothing posted is the whole number 0.
      {3, {{"F", "12"}}, Variant(12.0)},
      {3, {{"F", "1,234,567"}}, Variant(1234567.0)},
      {3, {}, Variant(0)},
      {5, {{"F", "-1.5e2"}}, Variant(-150.0)},
      {131, {{"F", " 7.25 "}}, Variant(7.25)},
      // Yes/no: the regional words, or a number.
      {11, {{"F", "True"}}, Variant(true)},
      {11, {{"F", "false"}}, Variant(false)},
      {11, {{"F", "-1"}}, Variant(-1.0)},
      // Money: every digit typed; nothing posted stays as it was.
      {6, {{"F", "1,234.50"}}, *TypedNumber(Variant("1234.50"))},
      {6, {{"F", "12"}}, Variant(12)},
      {6, {{"F", ""}}, Variant("")},
      // Text as it stands; nothing posted stays Empty.
      {202, {{"F", " O'Brien | x "}}, Variant(" O'Brien | x ")},
      {203, {}, Variant()},
      // Dates from their parts; empty hour and minute read as midnight.
      {7, {{"F_y", "2008"}, {"F_m", "3"}, {"F_d", "7"}, {"F_h", ""}, {"F_i", ""}},
       DateOf("2008-03-07")},
      {7, {{"F_y", "2008"}, {"F_m", "3"}, {"F_d", "7"}}, DateOf("2008-03-07")},
      {135, {{"F_y", "2008"}, {"F_m", "3"}, {"F_d", "7"}, {"F_h", "14"}, {"F_i", "5"}},
       DateOf("2008-03-07 14:05")},
      {135, {{"F_y", "2008"}, {"F_m", "12"}, {"F_d", "31"}, {"F_h", "0"}, {"F_i", "0"}},
       DateOf("2008-12-31")},
  };
  for (const Case& c : cases) {
    std::string posted;
    for (const auto& [name, value] : c.form) posted += name + "=" + value + " ";
    Variant v = Posted(c.type, c.form);
    EXPECT_TRUE(v.Identical(c.expected))
        << "type " << c.type << ", " << posted << "gave " << v.TypeName() << " "
        << ConcatText(v);
  }
}

TEST(PostedValues, DatePartsReadTheSameUnderEveryLocale) {
  const Form parts{{"F_y", "2008"}, {"F_m", "3"}, {"F_d", "7"}, {"F_h", "14"}, {"F_i", "5"}};
  for (const char* locale : {"en-US", "de-DE", "tr-TR", "en-GB"})
    EXPECT_TRUE(Posted(135, parts, locale).Identical(DateOf("2008-03-07 14:05"))) << locale;
}

TEST(PostedValues, TextTheFieldsTypeCannotTakeRaisesTypeMismatchNamingTheField) {
  // A grouping symbol counts only between groups of three digits.
  const std::pair<long, const char*> cases[] = {
      {3, "12abc"}, {3, "1,5"}, {3, "12,34"}, {3, "1,2345"}, {5, "x"}, {131, "1.2.3"},
      {11, "yes"},  {11, "ja"}, {6, "abc"},   {6, "1,5"},    {6, "12 EUR"}};
  for (const auto& [type, text] : cases) {
    std::string description;
    long number = ErrorNumberOf([&] { Posted(type, {{"F", text}}); }, &description);
    EXPECT_EQ(number, 13) << type << " " << text;
    EXPECT_NE(description.find("'F'"), std::string::npos) << description;
  }
  // Under German the symbols swap: "1.234,5" is a number there, "1,5" too.
  EXPECT_TRUE(Posted(5, {{"F", "1.234,5"}}, "de-DE").Identical(Variant(1234.5)));
  EXPECT_TRUE(Posted(5, {{"F", "1,5"}}, "de-DE").Identical(Variant(1.5)));
}

TEST(PostedValues, PartsThatMakeNoDateRaiseTypeMismatchNamingTheField) {
  const Form cases[] = {
      {{"F_y", "2008"}, {"F_m", "2"}, {"F_d", "30"}},
      {{"F_y", "2008"}, {"F_m", "7"}, {"F_d", "3"}, {"F_h", "14"}},
      {{"F_y", "2008"}, {"F_m", "7"}, {"F_d", "3"}, {"F_i", "5"}},
      {{"F_y", "2008"}, {"F_m", "3"}, {"F_d", "7"}, {"F_h", "24"}, {"F_i", "0"}},
      {{"F_m", "3"}, {"F_d", "7"}},
      {{"F_y", "2008"}, {"F_m", "x"}, {"F_d", "7"}},
      {{"F_y", ""}, {"F_m", "3"}, {"F_d", "7"}},
      {{"F_y", ""}, {"F_m", ""}, {"F_d", ""}, {"F_h", "14"}, {"F_i", "5"}},
  };
  for (const Form& form : cases) {
    for (long type : {7L, 135L}) {
      std::string description;
      long number = ErrorNumberOf([&] { Posted(type, form); }, &description);
      EXPECT_EQ(number, 13) << description;
      EXPECT_NE(description.find("'F'"), std::string::npos) << description;
    }
  }
}

// Every list left empty stores Null in a field that takes it, and is
// refused, naming the field, where the field needs a date.
TEST(PostedValues, EveryDateListLeftEmptyIsNullWhereTheFieldTakesIt) {
  const Form empty_lists{{"F_y", ""}, {"F_m", ""}, {"F_d", ""}, {"F_h", ""}, {"F_i", ""}};
  constexpr long kNotNullable = 0x08;
  for (long type : {7L, 135L}) {
    for (const Form& form : {empty_lists, Form{}}) {
      EXPECT_TRUE(Posted(type, form).IsNull()) << type;
      std::string description;
      EXPECT_EQ(ErrorNumberOf([&] { Posted(type, form, "en-US", kNotNullable); }, &description),
                13);
      EXPECT_NE(description.find("'F' needs a date"), std::string::npos) << description;
    }
  }
}

}  // namespace
}  // namespace tabrix
