// Relations from foreign keys and the drafted configuration, over outlines
// made by hand: which keys give a relation and which a note, what a
// relation shows, which set_relation entries already cover a field, and a
// draft that the configuration reader takes whatever the names.
#include <gtest/gtest.h>

#include <map>

#include "host/adodb/field.h"
#include "site/config.h"
#include "site/outline/foreign_key_relations.h"
#include "site/outline/site_draft.h"

namespace tabrix::site {
namespace {

OutlineTable Table(std::string name, std::vector<OutlineColumn> columns,
                   std::vector<std::string> key = {"id"}, bool view = false) {
  return {std::move(name), view, std::move(columns), std::move(key)};
}

OutlineColumn Number(std::string name) { return {std::move(name), adodb::kInteger, true}; }
OutlineColumn Text(std::string name) { return {std::move(name), adodb::kVarWChar, true}; }

// A shop: customers named by their name, products by nothing but their key.
DatabaseOutline Shop() {
  DatabaseOutline outline;
  outline.tables = {
      Table("customers", {Number("id"), Number("rank"), Text("name"), Text("city")}),
      Table("products", {Number("id"), Number("stock")}),
      Table("orders", {Number("id"), Number("customer_id"), Number("product_id"),
                       Text("status"), {"picture", adodb::kLongVarBinary, true}}),
      Table("lines", {Number("order_id"), Number("line")}, {"order_id", "line"}),
      Table("parcels", {Number("id"), Number("order_id"), Number("line")}),
      Table("staff", {Number("id"), Number("boss")}),
      Table("big orders", {Number("id")}, {}, true),
  };
  outline.foreign_keys = {
      {"fk1", "orders", "customers", {{"customer_id", "id"}}},
      {"", "orders", "products", {{"product_id", "id"}}},
      {"fk3", "parcels", "lines", {{"order_id", "order_id"}, {"line", "line"}}},
      {"fk4", "staff", "staff", {{"boss", "id"}}},
  };
  outline.value_lists = {{"orders", "status", {"new", "it's shipped"}}};
  return outline;
}

TEST(ForeignKeyRelations, OneColumnKeysToOtherTablesBecomeRelations) {
  std::map<std::string, int> asked;
  DerivedRelations derived = RelationsFromForeignKeys(
      Shop(), [&](const std::string& table, std::int64_t limit) -> std::int64_t {
        ++asked[table];
        return table == "customers" ? limit + 1 : 3;
      });
  ASSERT_EQ(derived.relations.size(), 2u);
  // The caption is the first text column outside the key; a parent without
  // one is named by its key. A parent past the limit offers no drop-down.
  EXPECT_EQ(derived.relations[0].Entry(), "orders.customer_id,customers,id,name,no");
  EXPECT_EQ(derived.relations[1].Entry(), "orders.product_id,products,id,id,yes");
  EXPECT_EQ(asked, (std::map<std::string, int>{{"customers", 1}, {"products", 1}}));
  ASSERT_EQ(derived.notes.size(), 2u);
  EXPECT_NE(derived.notes[0].find("parcels -> lines (fk3) has 2 columns"), std::string::npos);
  EXPECT_NE(derived.notes[1].find("refers to its own table"), std::string::npos);
}

TEST(ForeignKeyRelations, AParentIsNotNamedByAReferenceOfItsOwn) {
  DatabaseOutline outline;
  outline.tables = {Table("people", {Text("code"), Text("name")}, {"code"}),
                    Table("orders", {Number("id"), Text("person_code"), Text("title")}),
                    Table("lines", {Number("id"), Number("order_id")}),
                    Table("notes", {Number("id"), Number("line_id")})};
  outline.foreign_keys = {{"", "orders", "people", {{"person_code", "code"}}},
                          {"", "lines", "orders", {{"order_id", "id"}}},
                          {"", "notes", "lines", {{"line_id", "id"}}}};
  DerivedRelations derived =
      RelationsFromForeignKeys(outline, [](const std::string&, std::int64_t) { return 1; });
  ASSERT_EQ(derived.relations.size(), 3u);
  EXPECT_EQ(derived.relations[0].caption, "name");
  EXPECT_EQ(derived.relations[1].caption, "title");  // not person_code
  EXPECT_EQ(derived.relations[2].caption, "id");     // no text at all
}

TEST(ForeignKeyRelations, NamesTheSettingCannotHoldGiveANoteAndOddNamesAreBracketed) {
  DatabaseOutline outline;
  outline.tables = {Table("a.b", {Number("id"), Number("p")}), Table("kids", {Number("id")}),
                    Table("Parent Table", {Number("key col"), Text("select")}, {"key col"})};
  // The referring table's name splits at its dot: no entry can hold it.
  outline.foreign_keys = {{"", "a.b", "kids", {{"p", "id"}}},
                          {"", "kids", "Parent Table", {{"id", "key col"}}}};
  DerivedRelations derived =
      RelationsFromForeignKeys(outline, [](const std::string&, std::int64_t) { return 1; });
  ASSERT_EQ(derived.relations.size(), 1u);
  EXPECT_EQ(derived.relations[0].Entry(), "kids.id,Parent Table,[key col],[select],yes");
  ASSERT_EQ(derived.notes.size(), 1u);
  EXPECT_NE(derived.notes[0].find("a comma or a dot"), std::string::npos);
}

TEST(ForeignKeyRelations, AnEntryCoversAFieldAsTheLookUpWouldFindIt) {
  using Session = std::vector<std::pair<std::string, Variant>>;
  struct Case {
    const char* name;
    Session session;
    bool covered;
  };
  const Case cases[] = {
      {"none", {}, false},
      {"same field", {{"set_relation1", Variant("Orders.Customer_ID,people,id,name,yes")}}, true},
      {"any table", {{"set_relation1", Variant("*.customer_id,people,id,name,yes")}}, true},
      {"other field", {{"set_relation1", Variant("orders.client_id,people,id,name")}}, false},
      {"its own related table", {{"set_relation1", Variant("*.customer_id,orders,id,id")}},
       false},
      {"behind a gap",
       {{"set_relation1", Variant("x.y,z,id,id")}, {"set_relation3", Variant("*.customer_id,c")}},
       false},
      {"key in another case", {{"SET_RELATION1", Variant("orders.customer_id,c,id,id")}}, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RelationCovered(c.session, "orders", "customer_id"), c.covered) << c.name;

  SiteConfig config;
  config.session = {{"set_relation1", Variant("orders.customer_id,people,id,name,yes")},
                    {"set_relation2", Variant("x.y,z,id,id,no")}};
  DerivedRelations derived =
      RelationsFromForeignKeys(Shop(), [](const std::string&, std::int64_t) { return 1; });
  EXPECT_EQ(AddForeignKeyRelations(config, derived), 1u);
  ASSERT_EQ(config.session.size(), 3u);
  EXPECT_EQ(config.session[2].first, "set_relation3");
  EXPECT_EQ(config.session[2].second.string(), "orders.product_id,products,id,id,yes");
}

TEST(SiteDraft, TheDraftReadsBackWhateverTheNames) {
  DatabaseOutline outline = Shop();
  outline.tables.push_back(Table("Customers", {Number("id")}));   // a twin in case
  outline.tables.push_back(Table("a,b", {Number("id")}));         // no entry can name it
  outline.tables.push_back(Table("say \"hi\"", {Number("id")}));  // quotes in TOML
  DerivedRelations derived =
      RelationsFromForeignKeys(outline, [](const std::string&, std::int64_t) { return 1; });
  for (bool read_only : {false, true}) {
    SCOPED_TRACE(read_only ? "read only" : "read and write");
    DraftOptions options;
    options.database = "shop.db";
    options.set_dns = "Provider=SQLite;Data Source=\"/tmp/a;b.db\"";
    options.encrypt_key = "key";
    options.admin_password = "$argon2id$v=19$m=65536,t=3,p=1$c2FsdA$aGFzaA";
    options.read_only = read_only;
    SiteDraft draft = DraftSite(outline, derived, options);
    SiteConfig config = ParseConfig(draft.toml, "/tmp/site.toml");
    std::map<std::string, std::string> session;
    for (const auto& [key, value] : config.session) session[key] = value.string();
    EXPECT_EQ(session["set_dns"], options.set_dns);
    EXPECT_EQ(session["set_user1_username"], "admin");
    EXPECT_EQ(session["set_relation1"], "orders.customer_id,customers,id,name,yes");
    EXPECT_EQ(session["set_select1"], "orders.status,new,new,it's shipped,it's shipped");
    EXPECT_EQ(session["set_orders_list"], "id,customer_id,product_id,status");
    EXPECT_EQ(session["set_orders_search"], "customer_id,product_id,status");
    EXPECT_EQ(session["set_big orders_list"], "id");
    EXPECT_FALSE(session.contains("set_Customers_list"));
    std::string letters = read_only ? "[V]" : "[VAUDX]";
    EXPECT_EQ(session["set_user1_CanTable"],
              "customers" + letters + ",products" + letters + ",orders" + letters + ",lines" +
                  letters + ",parcels" + letters + ",staff" + letters + ",big orders" +
                  (read_only ? "[V]" : "[VX]") + ",Customers" + letters + ",say \"hi\"" +
                  letters);
    EXPECT_TRUE(config.foreign_key_relations);
    EXPECT_EQ(config.actions.size(), 2u);
    bool noted = false;
    for (const std::string& note : draft.notes) noted = noted || note.find("\"a,b\"") != std::string::npos;
    EXPECT_TRUE(noted);
  }
}

}  // namespace
}  // namespace tabrix::site
