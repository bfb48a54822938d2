// Variants as JSON: the tagged form written for tools, the forms read from
// the command line, and what is refused.
#include "site/variant_json.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "host/adodb/field.h"
#include "host/decimal.h"
#include "host/scripting/dictionary.h"
#include "host/session.h"
#include "host/variant_ops.h"

namespace tabrix::site {
namespace {

Json Parse(const char* text) { return Json::parse(text); }

Variant Dec(const char* text) {
  return Variant(*ParseInvariantDecimal(text, DecimalFit::kExact));
}

DateValue Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return MakeDate(CivilTime{y, mo, d, h, mi, s});
}

TEST(VariantJson, ScalarsWriteTheirTaggedFormAndReadBackIdentical) {
  struct Case {
    const char* id;
    Variant value;
    const char* json;
  };
  const Case cases[] = {
      {"empty", Variant(), R"({"type":"Empty"})"},
      {"null", Variant::Null(), R"({"type":"Null"})"},
      {"true", Variant(true), R"({"type":"Boolean","value":true})"},
      {"long", Variant(-3), R"({"type":"Long","value":-3})"},
      {"long-max", Variant(9223372036854775807LL),
       R"({"type":"Long","value":9223372036854775807})"},
      {"double", Variant(1.5), R"({"type":"Double","value":1.5})"},
      {"whole-double", Variant(2.0), R"({"type":"Double","value":2.0})"},
      {"currency", Variant(CurrencyValue{123400}), R"({"type":"Currency","value":"12.3400"})"},
      {"currency-neg", Variant(CurrencyValue{-5}), R"({"type":"Currency","value":"-0.0005"})"},
      {"currency-min", Variant(CurrencyValue{INT64_MIN}),
       R"({"type":"Currency","value":"-922337203685477.5808"})"},
      {"decimal", Dec("12345678901234567"), R"({"type":"Decimal","value":"12345678901234567"})"},
      {"decimal-fraction", Dec("-12345678901234567.50"),
       R"({"type":"Decimal","value":"-12345678901234567.5"})"},
      {"decimal-max", Dec("79228162514264337593543950335"),
       R"({"type":"Decimal","value":"79228162514264337593543950335"})"},
      {"decimal-tiny", Dec("0.0000000000000000000000000001"),
       R"({"type":"Decimal","value":"0.0000000000000000000000000001"})"},
      {"date-time", Variant(Date(2004, 3, 5, 9, 7, 30)),
       R"({"type":"Date","value":"2004-03-05 09:07:30"})"},
      {"date-only", Variant(Date(2004, 3, 5)), R"({"type":"Date","value":"2004-03-05 00:00:00"})"},
      {"string", Variant("a\"b\r\nç"), R"({"type":"String","value":"a\"b\r\nç"})"},
      {"empty-string", Variant(""), R"({"type":"String","value":""})"},
      {"binary", Variant::Binary({0, 255, 'a'}), R"({"type":"Binary","base64":"AP9h"})"},
      {"binary-pad1", Variant::Binary({1, 2}), R"({"type":"Binary","base64":"AQI="})"},
      {"binary-pad2", Variant::Binary({1}), R"({"type":"Binary","base64":"AQ=="})"},
      {"binary-none", Variant::Binary({}), R"({"type":"Binary","base64":""})"},
      {"array", Variant::Array({Variant(1), Variant("x"), Variant::Array({})}),
       R"({"type":"Array","items":[{"type":"Long","value":1},{"type":"String","value":"x"},)"
       R"({"type":"Array","items":[]}]})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(DumpJson(VariantToJson(c.value)), DumpJson(Parse(c.json)));
    Variant back = VariantFromJson(Parse(c.json));
    EXPECT_TRUE(back.Identical(c.value)) << DumpJson(VariantToJson(back));
  }
}

TEST(VariantJson, PlainJsonAndTheWordEmptyReadAsTheirVariants) {
  struct Case {
    const char* text;
    Variant expected;
  };
  const Case cases[] = {
      {R"("Beta")", Variant("Beta")},
      {R"(",b=")", Variant(",b=")},
      {"1", Variant(1)},
      {"-1", Variant(-1)},
      {"0", Variant(0)},
      {"1.0", Variant(1.0)},
      {"2e3", Variant(2000.0)},
      {"18446744073709551615", Variant(18446744073709551615.0)},  // past the Long range
      {"true", Variant(true)},
      {"false", Variant(false)},
      {"null", Variant::Null()},
      {"empty", Variant()},
      {R"({"type":"Date","value":"2004-03-05"})", Variant(Date(2004, 3, 5))},
      {R"({"type":"Currency","value":"7"})", Variant(CurrencyValue{70000})},
      {R"({"type":"Currency","value":"-0.5"})", Variant(CurrencyValue{-5000})},
      {R"({"type":"Double","value":3})", Variant(3.0)},
      {R"({"type":"Decimal","value":"1.50"})", Dec("1.5")},
      {R"({"type":"Decimal","value":"-0"})", Dec("0")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Variant v = VariantFromText(c.text);
    EXPECT_TRUE(v.Identical(c.expected)) << DumpJson(VariantToJson(v));
  }
}

TEST(VariantJson, MalformedValuesAreRefused) {
  const char* cases[] = {
      "Beta",                                              // a bare word is not JSON
      "",                                                  //
      "Empty",                                             // only the lower-case word
      "[1,2]",                                             // a bare array names no Variant
      R"({"value":1})",                                    // no type
      R"({"type":"Long"})",                                // no value
      R"({"type":"Long","value":1.5})",                    //
      R"({"type":"Long","value":"1"})",                    //
      R"({"type":"Long","value":1,"extra":0})",            // misspelt members are not ignored
      R"({"type":"Boolean","value":1})",                   //
      R"({"type":"Integer","value":1})",                   // unknown type
      R"({"type":"Currency","value":1.5})",                // currency is text
      R"({"type":"Currency","value":"1.23456"})",          // more than four decimals
      R"({"type":"Currency","value":"1,5"})",              // invariant only
      R"({"type":"Currency","value":"1."})",               //
      R"({"type":"Currency","value":"922337203685478"})",  // overflow
      R"({"type":"Decimal","value":12.5})",                // a decimal is text
      R"({"type":"Decimal","value":"1e5"})",               // plain digits only
      R"({"type":"Decimal","value":"1,5"})",               //
      R"({"type":"Decimal","value":" 1"})",                //
      R"({"type":"Decimal","value":"1."})",                //
      R"({"type":"Decimal","value":"79228162514264337593543950336"})",  // past 96 bits
      R"({"type":"Decimal","value":"0.12345678901234567890123456789"})",  // 29 decimals
      R"({"type":"Date","value":"2004-02-30"})",           // not on the calendar
      R"({"type":"Date","value":"2004-3-5"})",             //
      R"({"type":"Date","value":"05.03.2004"})",           // never the regional form
      R"({"type":"Date","value":"2004-03-05 24:00:00"})",
      R"({"type":"Date","value":"2004-03-05T09:07:30"})",
      R"({"type":"Binary","base64":"AP9"})",            // incomplete group
      R"({"type":"Binary","base64":"A=P9"})",           // padding in the middle
      R"({"type":"Binary","base64":"AP9*"})",           //
      R"({"type":"Array","items":{}})",                 //
      R"({"type":"Object","class":"Recordset"})",       // cannot be made from JSON
      R"({"type":"Object","class":"Field","Type":6})",  // a field needs a name
      R"({"type":"Object","class":"Field","Name":"x","Type":"6"})",
      R"({"type":"Object","class":"Dictionary","items":{"1":1,"01":2}})",  // one key twice
      R"({"type":"Object","class":"Dictionary","items":[1]})",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_THROW(VariantFromText(text), VariantJsonError);
  }
}

TEST(VariantJson, ADictionaryReadsWholeNumberKeysAsLongAndKeepsItsOrder) {
  Variant v = VariantFromText(R"({"type":"Object","class":"Dictionary","items":)"
                              R"({"2":"b","1":{"type":"Long","value":7},"-3":null,"x1":true}})");
  auto& dictionary = ObjectAs<scripting::Dictionary>(v);
  ASSERT_EQ(dictionary.Count(), 4);
  EXPECT_TRUE(dictionary.Keys()[0].Identical(Variant(2)));
  EXPECT_TRUE(dictionary.Keys()[1].Identical(Variant(1)));
  EXPECT_TRUE(dictionary.Keys()[2].Identical(Variant(-3)));
  EXPECT_TRUE(dictionary.Keys()[3].Identical(Variant("x1")));
  EXPECT_TRUE(dictionary.Get(Variant(1)).Identical(Variant(7)));
  EXPECT_TRUE(dictionary.Get(Variant(-3)).IsNull());

  EXPECT_EQ(DumpJson(VariantToJson(v)),
            R"({"type":"Object","class":"Dictionary","items":{"2":{"type":"String","value":"b"},)"
            R"("1":{"type":"Long","value":7},"-3":{"type":"Null"},)"
            R"("x1":{"type":"Boolean","value":true}}})");
}

TEST(VariantJson, AFieldIsMadeStandaloneAndShowsItsProperties) {
  Variant v = VariantFromText(
      R"({"type":"Object","class":"Field","Name":"Total","Type":6,"Attributes":104,)"
      R"("Value":{"type":"Currency","value":"12.5000"}})");
  auto& field = ObjectAs<adodb::Field>(v);
  EXPECT_EQ(field.Name(), "Total");
  EXPECT_EQ(field.Type(), adodb::kCurrency);
  EXPECT_EQ(field.Attributes(), 104);
  EXPECT_TRUE(field.Value().Identical(Variant(CurrencyValue{125000})));
  EXPECT_EQ(DumpJson(VariantToJson(v)),
            R"({"type":"Object","class":"Field","Name":"Total","Type":6,"Attributes":104,)"
            R"("Value":{"type":"Currency","value":"12.5000"}})");

  Variant bare = VariantFromText(R"({"type":"Object","class":"Field","Name":"Id","Type":3})");
  EXPECT_EQ(ObjectAs<adodb::Field>(bare).Attributes(), 0);
  EXPECT_TRUE(ObjectAs<adodb::Field>(bare).Value().IsEmpty());
}

TEST(VariantJson, OtherObjectsShowTheirClassAndADictionaryHoldingItselfStops) {
  auto dictionary = std::make_shared<scripting::Dictionary>();
  dictionary->Add(Variant("self"), Variant(dictionary));
  Json shown = VariantToJson(Variant(dictionary));
  int depth = 0;
  for (const Json* j = &shown; j->contains("items"); j = &(*j)["items"]["self"]) ++depth;
  EXPECT_GT(depth, 1);
  EXPECT_LT(depth, 100);
  dictionary->RemoveAll();  // break the cycle so the test does not leak

  auto session = std::make_shared<Session>();
  EXPECT_EQ(DumpJson(VariantToJson(Variant(session))), R"({"type":"Object","class":"Session"})");
  EXPECT_EQ(DumpJson(VariantToJson(Variant(ObjectRef()))),
            R"({"type":"Object","class":"Nothing"})");
}

TEST(VariantJson, InvalidUtf8IsReplacedNotRefused) {
  Variant v(
      std::string("a\xff"
                  "b\xc3"));
  EXPECT_EQ(DumpJson(VariantToJson(v)),
            "{\"type\":\"String\",\"value\":\"a\xef\xbf\xbd"
            "b\xef\xbf\xbd\"}");
}

}  // namespace
}  // namespace tabrix::site
