// The rows that refer to a record: under the record page, one link per
// table whose declared foreign key holds the record's key, to that table's
// list of those rows, with their count. Only tables and fields the user may
// view are listed; each count reads at most kMaxCounted + 1 rows. A number
// key links to the referring table's list of exactly those rows; a text or
// date key, which the list's search would match more loosely, is counted
// without a link.
#pragma once

#include <string>

#include "component/tabrix1.h"
#include "site/outline/foreign_key_relations.h"

namespace tabrix::site {

inline constexpr long kMaxCounted = 1000;
// The most referring tables one record lists, and the most it counts to
// find them.
inline constexpr std::size_t kMaxReferringLinks = 50;
inline constexpr std::size_t kMaxReferringCounts = 200;

// The section for the record `record_id` of `page`'s current table (Info
// has run on `page`); empty when nothing the user may view refers to it.
std::string ReferringRowsHtml(Tabrix1& page, const ReferringKeys& keys, const Variant& record_id);

}  // namespace tabrix::site
