// Names in [session] that no setting reads: most often a misspelling
// ("set_dsn" for "set_dns"), which otherwise fails silently, since a
// setting that is not there reads as empty and empty means "the default".
//
// The names the site reads:
//   set_dns, set_replace, set_encryptkey, set_projectname, set_currency,
//   set_include_views, set_enabled_tables, set_disabled_tables, set_pagers;
//   set_relationN, set_selectN, set_linkN, set_actionN;
//   set_userN_username, _password, _name, _CanTable, _CantTable,
//   _CantField, _CanAction, _CantAction;
//   set_<table>_list and set_<table>_search for each table or view.
// Names ignore letter case. N is a whole number from 1 to 10000 written
// without leading zeros, and each numbered list ends at its first missing
// number (users at the first N without set_userN_username), so an entry
// after a gap is never read either.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/variant.h"

namespace tabrix::site {

// One warning per key of `session` (SiteConfig::session) that no setting
// reads, in the order of `session`, each a plain sentence without a
// program prefix:
//   [session] set_dsn is read by no setting; did you mean set_dns?
// A close misspelling (an edit distance of at most 2 over the lower-cased
// names, and at most a third of the name's length) names what it was
// probably meant to be: a fixed name, a numbered one with the key's own
// number, or a per-table one with a table's name as `tables` spells it.
// `tables` lists the database's tables and views; when it is empty the
// per-table keys are not judged (the tables are unknown). Values play no
// part.
std::vector<std::string> UnreadSettingWarnings(
    const std::vector<std::pair<std::string, Variant>>& session,
    const std::vector<std::string>& tables);

}  // namespace tabrix::site
