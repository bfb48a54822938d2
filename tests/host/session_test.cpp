// A session over the site's settings: it reads its own values first, then
// the site's, keeps only what was set during it, and behaves as if the
// site's settings had been stored into it first (key spelling, order,
// removal ending a numbered list).
#include "host/session.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tabrix {
namespace {

std::shared_ptr<const Session> Site() {
  auto site = std::make_shared<Session>();
  site->SetValue("set_DNS", Variant("Provider=SQLite;Data Source=x.db"));
  site->SetValue("set_user1_username", Variant("ada"));
  site->SetValue("set_user2_username", Variant("bob"));
  site->SetValue("set_Orders_list", Variant("OrderId"));
  return site;
}

std::vector<std::string> Keys(const Session& session) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : session.Entries()) keys.push_back(key);
  return keys;
}

TEST(Session, ReadsItsOwnValuesFirstThenTheSitesAndCopiesNothing) {
  std::shared_ptr<const Session> site = Site();
  Session session(site);
  EXPECT_EQ(session.Value("SET_DNS").string(), "Provider=SQLite;Data Source=x.db");
  EXPECT_TRUE(session.Contains("set_user2_username"));
  EXPECT_EQ(session.StoredKey("SET_ORDERS_LIST"), "set_Orders_list") << "the site's spelling";
  EXPECT_TRUE(session.OwnEntries().empty());

  session.SetValue("SET_ORDERS_LIST", Variant("Customer"));
  session.SetValue("UserOk", Variant("yes"));
  EXPECT_EQ(session.Value("set_orders_list").string(), "Customer");
  EXPECT_EQ(session.StoredKey("set_orders_list"), "set_Orders_list")
      << "the site's store came first";
  EXPECT_EQ(site->Value("set_Orders_list").string(), "OrderId") << "the site is never written";
  EXPECT_EQ(Keys(session), (std::vector<std::string>{"set_DNS", "set_user1_username",
                                                     "set_user2_username", "set_Orders_list",
                                                     "UserOk"}));
  ASSERT_EQ(session.OwnEntries().size(), 2u);

  session.Clear();
  EXPECT_EQ(session.Value("set_Orders_list").string(), "OrderId");
  EXPECT_FALSE(session.Contains("UserOk"));
}

TEST(Session, ARemovedKeyHidesTheSitesValueUntilStoredAgain) {
  Session session(Site());
  session.Remove("SET_USER2_USERNAME");
  EXPECT_FALSE(session.Contains("set_user2_username")) << "a numbered list ends there";
  EXPECT_TRUE(session.Value("set_user2_username").IsEmpty());
  EXPECT_EQ(session.StoredKey("set_user2_username"), "");
  EXPECT_EQ(Keys(session), (std::vector<std::string>{"set_DNS", "set_user1_username",
                                                     "set_Orders_list"}));

  // Stored again, it is a new store: its own spelling, last.
  session.SetValue("SET_user2_USERNAME", Variant("cy"));
  EXPECT_EQ(session.StoredKey("set_user2_username"), "SET_user2_USERNAME");
  EXPECT_EQ(Keys(session), (std::vector<std::string>{"set_DNS", "set_user1_username",
                                                     "set_Orders_list", "SET_user2_USERNAME"}));

  // A key of the session's own simply goes; nothing is left of it.
  session.SetValue("msg", Variant("hi"));
  session.Remove("MSG");
  EXPECT_FALSE(session.Contains("msg"));
  for (const Session::OwnEntry& e : session.OwnEntries()) EXPECT_NE(e.key, "msg");
}

TEST(Session, WithoutASiteLayerKeysKeepTheirFirstSpellingAndOrder) {
  Session session;
  session.SetValue("Beta", Variant(1));
  session.SetValue("alpha", Variant(2));
  session.SetValue("BETA", Variant(3));
  EXPECT_EQ(session.StoredKey("beta"), "Beta");
  EXPECT_EQ(session.Value("beta").long_value(), 3);
  session.Remove("beta");
  session.SetValue("BETA", Variant(4));
  EXPECT_EQ(Keys(session), (std::vector<std::string>{"alpha", "BETA"}));
}

}  // namespace
}  // namespace tabrix
