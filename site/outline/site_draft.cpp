#include "site/outline/site_draft.h"

#include <set>

#include "host/adodb/field.h"
#include "host/locale/locale.h"
#include "site/demo/demo_site_config.h"

namespace tabrix::site {

namespace {

using demo::TomlString;

// The most fields a drafted grid and search panel name.
constexpr size_t kListFields = 8;
constexpr size_t kSearchFields = 6;

bool IsBareKey(std::string_view key) {
  for (char c : key)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
          c == '-'))
      return false;
  return !key.empty();
}

std::string TomlKey(const std::string& key) { return IsBareKey(key) ? key : TomlString(key); }

std::string Line(const std::string& key, const std::string& value) {
  return TomlKey(key) + " = " + TomlString(value) + "\n";
}

bool IsBinary(long type) {
  return type == adodb::kBinary || type == adodb::kVarBinary || type == adodb::kLongVarBinary;
}

bool IsMemo(long type) { return type == adodb::kLongVarChar || type == adodb::kLongVarWChar; }

bool IsDate(long type) {
  return type == adodb::kDate || type == adodb::kDBDate || type == adodb::kDBTimeStamp;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

bool HasRelation(const DerivedRelations& relations, const std::string& table,
                 const std::string& field) {
  for (const DerivedRelation& relation : relations.relations)
    if (relation.table == table && relation.field == field) return true;
  return false;
}

bool HasValueList(const DatabaseOutline& outline, const std::string& table,
                  const std::string& field) {
  for (const OutlineValueList& list : outline.value_lists)
    if (list.table == table && list.column == field) return true;
  return false;
}

// The grid: the first columns that show in a cell (no pictures, no memos).
std::vector<std::string> ListFields(const OutlineTable& table) {
  std::vector<std::string> fields;
  for (const OutlineColumn& column : table.columns)
    if (fields.size() < kListFields && !IsBinary(column.type) && !IsMemo(column.type) &&
        column.name.find(',') == std::string::npos)
      fields.push_back(column.name);
  return fields;
}

// The search panel: what people look for by: short texts, dates, yes/no,
// references and coded values.
std::vector<std::string> SearchFields(const DatabaseOutline& outline, const OutlineTable& table,
                                      const DerivedRelations& relations) {
  std::vector<std::string> fields;
  for (const OutlineColumn& column : table.columns) {
    if (fields.size() >= kSearchFields || column.name.find(',') != std::string::npos) continue;
    if (IsShortText(column.type) || IsDate(column.type) || column.type == adodb::kBoolean ||
        HasRelation(relations, table.name, column.name) ||
        HasValueList(outline, table.name, column.name))
      fields.push_back(column.name);
  }
  return fields;
}

bool FitsPermissionEntry(std::string_view name) {
  return !name.empty() && name.find_first_of(",[]") == std::string_view::npos;
}

constexpr std::string_view kHeading = R"(# Every setting is explained where it appears; the full reference is
# docs/settings.md beside Tabrix's README (and `man tabrix`). Session settings
# ignore letter case in their keys; names of tables and fields in values
# match in any case, except where the database holds names that differ only
# in case.

)";

constexpr std::string_view kTopLevel = R"(# Declared foreign keys no set_relation entry below covers become relations
# too, and a record page lists the rows of other tables that refer to it,
# with their counts (only tables the user may view).
foreign_key_relations = true

# Keep a history of every change made through the pages (who, when, the
# record before and after), shown from a record's page to users holding the
# letter H on its table; history_days = N drops entries older than N days.
# history = true

[session]
)";

constexpr std::string_view kPerTable = R"(
# Grids and search panels: set_<table>_list names the columns of the table's
# list page, set_<table>_search the fields of its search panel, in order
# (without one: every column). Drafted by type: no pictures or memos in the
# grids; texts, dates, yes/no fields, references and coded values to search.
)";

constexpr std::string_view kRelations = R"(
# Relations: "table.field,parent table,parent key,caption,yes|no". A field
# that holds a parent row's key shows the parent's caption (a column or any
# SQL expression over the parent) with a link to it; "yes" offers the
# parent's rows in a drop-down on the forms and the search panel (drafted
# only for parents of at most 500 rows). "*.field" applies to every table
# with that field.
)";

constexpr std::string_view kValueLists = R"(
# Value lists: "table.field,value,caption,value,caption,...". Stored codes
# are shown by their captions and offered in a drop-down. Drafted from the
# CHECK (field IN (...)) constraints, each value its own caption: give them
# words.
)";

constexpr std::string_view kOptional = R"(
# Captions: "name=caption,..." shows a table or field by another name, e.g.
# set_replace = "cust_id=Customer,Cust id=Customer,orders=Orders"
# Links under a record: "table,text,address", {table} standing for a
# table's code and [field] for the record's value, e.g.
# set_link1 = "customers,Orders of this customer,Search.asp?t={orders}&go=1&customer_id=[id]"
# The menu lists every table (and view) unless one of these names them:
# set_enabled_tables = "customers,orders"   # only these
# set_disabled_tables = "audit_log"         # all but these
# set_currency = "EUR"                      # money fields in this currency
)";

constexpr std::string_view kActions = R"(
# Bulk actions: "name,letter,ALL" (or "name,letter,table,table,..."). The
# list and record pages offer action N to a user who holds its letter on
# the table; [actions.N] at the end says what it does: delete the picked
# records, set fields to values, or export them as CSV. Deleting needs
# both: the letter D in a user's entry and this action.
)";

constexpr std::string_view kUsers = R"(
# Users, numbered from 1 without gaps: set_userN_username, set_userN_password
# (an argon2id hash from `echo 'password' | tabrix hash-password`, or plain
# text), set_userN_name (shown in the menu), and what the user may do:
#   set_userN_CanTable  = "table[LETTERS],..."  the tables the user may open
#                          and how; a table not named is closed to them
#   set_userN_CantTable = "table[LETTERS],..."  instead: every table, less
#                          these letters (when set, CanTable is not read)
#   set_userN_CantField = "table.field[LETTERS],..."  V hides a field, A and
#                          U keep it off the add and update forms
# Letters: V view, A add, U update, H history (with history = true), and
# the letter of each action above
# (D delete, X export). Names are written without blanks after the commas.
)";

}  // namespace

SiteDraft DraftSite(const DatabaseOutline& outline, const DerivedRelations& relations,
                    const DraftOptions& options) {
  SiteDraft draft;
  std::string& toml = draft.toml;
  toml = "# A Tabrix site for " + options.database + ".\n" + std::string(kHeading);
  toml += "listen = " + TomlString(options.listen) + "   # host:port the site answers on\n";
  toml += "locale = " + TomlString(options.locale) +
          "              # how dates and numbers are written\n\n";
  toml += kTopLevel;
  toml += "# The database: \"Provider=SQLite;Data Source=FILE\" (Mode=Read: read only;\n"
          "# Journal Mode=WAL: switch the file to WAL) or a postgresql:// address.\n";
  toml += Line("set_dns", options.set_dns);
  toml += "# The secret that keys the table codes in links: keep it private.\n";
  toml += Line("set_encryptkey", options.encrypt_key);
  toml += "# Views are in the menu too (shown, never written).\n";
  toml += Line("set_include_views", "yes");
  toml += "# The page sizes a list offers.\n";
  toml += Line("set_pagers", "10,25,50,100");

  // Per-table keys ignore case, so of two tables whose names differ only
  // in case only the first gets its own.
  std::set<std::string> keyed;
  std::string per_table;
  for (const OutlineTable& table : outline.tables) {
    if (!keyed.insert(FoldCase(table.name)).second) {
      draft.notes.push_back("the table \"" + ShownName(table.name) +
                            "\" differs from another only in case: it gets no list or search "
                            "setting of its own");
      continue;
    }
    std::vector<std::string> list = ListFields(table);
    if (!list.empty()) per_table += Line("set_" + table.name + "_list", Joined(list));
    std::vector<std::string> search = SearchFields(outline, table, relations);
    if (!search.empty()) per_table += Line("set_" + table.name + "_search", Joined(search));
  }
  if (!per_table.empty()) toml += std::string(kPerTable) + per_table;

  if (!relations.relations.empty()) {
    toml += kRelations;
    long n = 0;
    for (const DerivedRelation& relation : relations.relations)
      toml += Line("set_relation" + std::to_string(++n), relation.Entry());
  }
  std::string lists;
  long select = 0;
  for (const OutlineValueList& list : outline.value_lists) {
    std::string entry = list.table + "." + list.column;
    bool fits = list.table.find_first_of(",.") == std::string::npos &&
                list.column.find_first_of(",.") == std::string::npos;
    for (const std::string& value : list.values) {
      fits = fits && value.find(',') == std::string::npos;
      entry += "," + value + "," + value;
    }
    if (fits) {
      lists += Line("set_select" + std::to_string(++select), entry);
    } else {
      draft.notes.push_back("the values of " + ShownName(list.table + "." + list.column) +
                            " hold a comma, or its names a dot: no value list (a list is "
                            "written with commas)");
    }
  }
  if (!lists.empty()) toml += std::string(kValueLists) + lists;
  toml += kOptional;

  toml += kActions;
  toml += Line("set_action1", "Delete,D,ALL");
  toml += Line("set_action2", "Export,X,ALL");

  toml += kUsers;
  std::string can_table;
  for (const OutlineTable& table : outline.tables) {
    if (!FitsPermissionEntry(table.name)) {
      draft.notes.push_back("the table \"" + ShownName(table.name) +
                            "\" has a comma or a bracket in its name: no permission entry can "
                            "name it, so it is served to no one");
      continue;
    }
    std::string letters = options.read_only ? "V" : table.view ? "VX" : "VAUDX";
    can_table += (can_table.empty() ? "" : ",") + table.name + "[" + letters + "]";
  }
  toml += Line("set_user1_username", "admin");
  toml += Line("set_user1_password", options.admin_password);
  toml += Line("set_user1_name", "Administrator");
  toml += Line("set_user1_CanTable", can_table);
  toml += "# set_user1_CantField = \"customers.email[VAU]\"\n";

  toml += R"(
[actions.1]
do = "delete"                   # the picked records, all or none

[actions.2]
do = "export"                   # the picked records as a CSV download

# An action may also set fields, e.g. with set_action3 = "Close,C,orders":
# [actions.3]
# do = "set"
# values = { status = "closed" }
)";
  return draft;
}

}  // namespace tabrix::site
