// [session] keys no setting reads: misspellings with what they were meant
// to be, numbered entries after a gap, per-table keys naming no table.
#include "site/setting_names.h"

#include <gtest/gtest.h>

#include "site/config.h"
#include "site/demo/demo_site_config.h"

namespace tabrix::site {
namespace {

struct Case {
  const char* what;
  std::vector<std::string> keys;
  std::vector<std::string> tables;
  std::vector<std::string> warnings;
};

std::vector<std::pair<std::string, Variant>> Session(const std::vector<std::string>& keys) {
  std::vector<std::pair<std::string, Variant>> session;
  for (const std::string& key : keys) session.emplace_back(key, Variant("x"));
  return session;
}

TEST(UnreadSettingWarnings, NamesWhatAKeyWasProbablyMeantToBe) {
  const std::vector<std::string> shop = {"Orders", "customers", "order_items"};
  const Case cases[] = {
      {"every name the site reads, in any case",
       {"set_dns", "SET_REPLACE", "set_encryptkey", "set_projectname", "set_currency",
        "set_include_views", "set_enabled_tables", "set_disabled_tables", "Set_Pagers",
        "set_relation1", "set_relation2", "set_select1", "set_link1", "set_action1",
        "set_user1_username", "set_user1_password", "set_user1_name", "set_user1_cantable",
        "set_user1_CantTable", "set_user1_CantField", "set_user1_CanAction",
        "set_user1_CantAction", "set_orders_list", "set_ORDER_ITEMS_search"},
       shop,
       {}},
      {"a swap of two letters",
       {"set_dsn"},
       shop,
       {"[session] set_dsn is read by no setting; did you mean set_dns?"}},
      {"a numbered name keeps its number",
       {"set_relation1", "set_relation2", "set_relaton2", "set_user1_username",
        "set_user1_CanTabel"},
       shop,
       {"[session] set_relaton2 is read by no setting; did you mean set_relation2?",
        "[session] set_user1_CanTabel is read by no setting; did you mean set_user1_CanTable?"}},
      {"a numbered name without its number",
       {"set_select"},
       shop,
       {"[session] set_select is read by no setting; did you mean set_select1?"}},
      {"a table's own keys take the table's name as the database spells it",
       {"set_Orders_lst", "set_ordrs_list", "set_customer_search"},
       shop,
       {"[session] set_Orders_lst is read by no setting; did you mean set_Orders_list?",
        "[session] set_ordrs_list is read by no setting; did you mean set_Orders_list?",
        "[session] set_customer_search is read by no setting; did you mean "
        "set_customers_search?"}},
      {"nothing close",
       {"set_colour", "set_Invoices_list"},
       shop,
       {"[session] set_colour is read by no setting",
        "[session] set_Invoices_list is read by no setting: no table or view is named "
        "Invoices"}},
      {"without the schema a table's keys are not judged, the others are",
       {"set_Invoices_list", "set_ordrs_list", "set_dsn"},
       {},
       {"[session] set_dsn is read by no setting; did you mean set_dns?"}},
      {"a short name needs a closer match",
       {"set_x", "set_dn"},
       shop,
       {"[session] set_x is read by no setting",
        "[session] set_dn is read by no setting; did you mean set_dns?"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UnreadSettingWarnings(Session(c.keys), c.tables), c.warnings) << c.what;
}

TEST(UnreadSettingWarnings, NumberedEntriesAfterAGapOrOutOfRangeAreNeverRead) {
  const Case cases[] = {
      {"an entry after a gap",
       {"set_relation1", "set_relation3", "set_link2"},
       {},
       {"[session] set_relation3 is read by no setting: set_relation2 is missing, and a "
        "numbered list ends at its first missing number",
        "[session] set_link2 is read by no setting: set_link1 is missing, and a numbered "
        "list ends at its first missing number"}},
      {"the users end at the first number without a username",
       {"set_user1_username", "set_user2_password", "set_user2_name", "set_user3_username",
        "set_user3_CanTable"},
       {},
       {"[session] set_user2_password is read by no setting: set_user2_username is missing, "
        "and a numbered list ends at its first missing number",
        "[session] set_user2_name is read by no setting: set_user2_username is missing, and "
        "a numbered list ends at its first missing number",
        "[session] set_user3_username is read by no setting: set_user2_username is missing, "
        "and a numbered list ends at its first missing number",
        "[session] set_user3_CanTable is read by no setting: set_user2_username is missing, "
        "and a numbered list ends at its first missing number"}},
      {"numbers the lists never reach",
       {"set_action0", "set_action01", "set_action10001"},
       {},
       {"[session] set_action0 is read by no setting: set_action entries are numbered from 1 "
        "to 10000, without leading zeros",
        "[session] set_action01 is read by no setting: set_action entries are numbered from 1 "
        "to 10000, without leading zeros",
        "[session] set_action10001 is read by no setting: set_action entries are numbered "
        "from 1 to 10000, without leading zeros"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UnreadSettingWarnings(Session(c.keys), c.tables), c.warnings) << c.what;
}

TEST(UnreadSettingWarnings, AKeyOutsideTheSettingsIsCalledOut) {
  // Such a value reads through into every session, "UserOk" among them.
  EXPECT_EQ(UnreadSettingWarnings(Session({"UserOk", "dns"}), {}),
            (std::vector<std::string>{
                "[session] UserOk is read by no setting (setting names begin with set_; a value "
                "under another name reads into every visitor's session)",
                "[session] dns is read by no setting (setting names begin with set_; a value "
                "under another name reads into every visitor's session)"}));
}

TEST(UnreadSettingWarnings, TheDemosSiteUsesOnlyNamesThatAreRead) {
  SiteConfig config =
      ParseConfig(demo::DemoSiteToml(demo::CountsFor(2000), "k3y"), "/srv/demo/site.toml");
  EXPECT_EQ(UnreadSettingWarnings(config.session, {"customers", "employees", "order_items",
                                                   "order_totals", "orders", "products"}),
            std::vector<std::string>{});
}

}  // namespace
}  // namespace tabrix::site
