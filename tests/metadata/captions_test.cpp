// Captions: readable names by the locale's case mapping, replacement texts
// for field captions, the heading block, and the look-up that touches no
// database for ids that name no record.
#include <gtest/gtest.h>

#include "host/locale/locale.h"
#include "support/component_harness.h"

namespace tabrix {
namespace {

class CaptionsTest : public ::testing::Test {
 protected:
  void TearDown() override { Locale::SetCurrent("en-US"); }
  testing::ComponentHarness h;
};

TEST_F(CaptionsTest, CaptionDuzeltCapitalisesTheFirstLetterOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"ORDER_DATE", "Order date"}, {"customer_no", "Customer no"}, {"OrderDate", "Orderdate"},
      {"A", "A"},                   {"_", " "},                     {"ID", "Id"},
      {"two  spaces", "Two  spaces"}, {"çAĞRI", "Çağri"},
  };
  for (const auto& [name, caption] : cases)
    EXPECT_EQ(h.object().CaptionDuzelt(Variant(name)).string(), caption) << name;
}

TEST_F(CaptionsTest, CaptionDuzeltMapsCaseByTheLocale) {
  Locale::SetCurrent("tr-TR");
  EXPECT_EQ(h.object().CaptionDuzelt(Variant("iSTANBUL")).string(), "İstanbul");
  Locale::SetCurrent("en-US");
  EXPECT_EQ(h.object().CaptionDuzelt(Variant("iSTANBUL")).string(), "Istanbul");
}

TEST_F(CaptionsTest, CaptionsNeedAName) {
  for (const Variant& name : {Variant(""), Variant(), Variant::Null()}) {
    try {
      h.object().CaptionDuzelt(name);
      FAIL() << "an empty name must fail";
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.number(), kErrInvalidArgument);
    }
    EXPECT_THROW(h.object().FieldCaption(name), ScriptError);
  }
}

TEST_F(CaptionsTest, FieldCaptionLooksUpTheReadableCaption) {
  h.Set("set_replace", Variant("First name=Given name"));
  EXPECT_EQ(h.object().FieldCaption(Variant("first_name")).string(), "Given name");
  h.Set("set_replace", Variant("first_name=Given name"));
  EXPECT_EQ(h.object().FieldCaption(Variant("first_name")).string(), "First name");
}

TEST_F(CaptionsTest, CaptionIncludeWritesTheHeadingBlockEachTime) {
  h.object().PageCaption = Variant("<b>Orders</b>");
  h.object().CaptionAppend = Variant("");
  h.object().CaptionInclude();
  h.object().CaptionInclude();
  const std::string block =
      "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><caption><b>Orders"
      "</b></caption></table>";
  EXPECT_EQ(h.TakeOutput(), block + block);
  EXPECT_EQ(h.object().PageCaption.string(), "<b>Orders</b>");

  h.object().PageCaption = Variant();
  h.object().CaptionInclude();
  EXPECT_EQ(h.TakeOutput(),
            "<table border=\"0\" width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><caption>"
            "</caption></table>");
}

TEST_F(CaptionsTest, CaptionGetirGivesBackIdsThatNameNoRecord) {
  h.object().ALLPagesBegin();
  EXPECT_TRUE(h.object().CaptionGetir(Variant("Orders"), Variant(0), Variant("Name"))
                  .Identical(Variant(0)));
  EXPECT_TRUE(h.object().CaptionGetir(Variant("Orders"), Variant("-3"), Variant("Name"))
                  .Identical(Variant("-3")));
  EXPECT_TRUE(h.sql().empty());
  try {
    h.object().CaptionGetir(Variant("Orders"), Variant("abc"), Variant("Name"));
    FAIL() << "a non-numeric id must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrTypeMismatch);
  }
}

}  // namespace
}  // namespace tabrix
