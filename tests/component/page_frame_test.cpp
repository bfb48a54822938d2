// The page frame: the start and end of every table page, output, and the
// intrinsics a method needs before it can run.
#include <gtest/gtest.h>

#include "component/member_table.h"
#include "host/adodb/recordset.h"
#include "support/component_harness.h"

namespace tabrix {
namespace {

TEST(PageFrame, EndWritesSixLineBreaksAndNothingElse) {
  testing::ComponentHarness h;
  h.object().ALLPagesEnd();
  EXPECT_EQ(h.TakeOutput(), "\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST(PageFrame, BeginSetsTheBackLinkAndANewLookupRecordsetEachTime) {
  testing::ComponentHarness h;
  h.object().ALLPagesBegin();
  Variant first = h.object().Rs2;
  EXPECT_EQ(h.object().BackLink.string(),
            "<A href=\"#\" onclick=\"history.back()\"><img src='images/butback.gif' "
            "border='0'></a>&nbsp;<br>");
  h.object().ALLPagesBegin();
  ASSERT_TRUE(h.object().Rs2.IsObject());
  EXPECT_NE(h.object().Rs2.object(), first.object());
  EXPECT_EQ(h.object().Rs2.object()->ClassName(), "Recordset");
  EXPECT_EQ(h.TakeOutput(), "");
}

TEST(PageFrame, YazWritesValuesAsText) {
  testing::ComponentHarness h;
  h.object().Yaz(Variant("<b>"));
  h.object().Yaz(Variant());
  h.object().Yaz(Variant::Null());
  h.object().Yaz(Variant(42));
  EXPECT_EQ(h.TakeOutput(), "<b>42");
}

TEST(PageFrame, MethodsFailWithAnObjectErrorBeforeTheIntrinsicsAreAssigned) {
  Tabrix1 bare;
  try {
    bare.Yaz(Variant("x"));
    FAIL() << "Yaz without a Response must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrObjectRequired);
  }
  try {
    bare.GetTableSpesific(Variant("Orders"));
    FAIL() << "GetTableSpesific without a Server must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrObjectRequired);
  }
}

TEST(MemberTable, IsInSlotOrderAndCallsByNameIgnoringCase) {
  auto members = Members();
  for (size_t i = 1; i < members.size(); ++i)
    EXPECT_LT(members[i - 1].slot, members[i].slot) << members[i].name;

  testing::ComponentHarness h;
  std::vector<Variant> args{Variant(",a=Alpha,b=Beta,"), Variant(1), Variant(",b="), Variant(",")};
  EXPECT_EQ(CallMember(h.object(), "getthis", args).string(), "Beta");

  std::vector<Variant> none;
  try {
    CallMember(h.object(), "NoSuchMember", none);
    FAIL();
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrNoSuchMember);
  }
  try {
    CallMember(h.object(), "GetThis", none);
    FAIL();
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrWrongArgCount);
  }
  // Properties read with no argument and write with one.
  std::vector<Variant> value{Variant(true)};
  CallMember(h.object(), "UserLogin", value);
  EXPECT_TRUE(CallMember(h.object(), "userlogin", none).boolean());
}

}  // namespace
}  // namespace tabrix
