// Table and field names in the legacy SQL the component writes.
//
// A name that is a plain identifier (letters, digits and "_", not starting
// with a digit, not a keyword of SQL or of an engine the facade serves)
// stands bare, as the component always wrote it, so the SQL of ordinary
// schemas keeps its shape. Any other name ("Unit Price", "Select",
// "dash--x", "a]b") stands in square brackets with a "]" inside doubled,
// which every provider's rewrite reads back as the one name. Pure functions,
// safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace tabrix::sql {

// Whether `name` may stand bare in SQL. Letters are ASCII letters and any
// other Unicode letter or digit ("Заказы" is plain); keywords match without
// regard to case, and "top" counts as one (the legacy "select top N").
bool IsPlainName(std::string_view name);

// `name` in square brackets, every "]" inside doubled.
std::string BracketedName(std::string_view name);

// Whether `word` is one of those keywords (any letter case).
bool IsReservedWord(std::string_view word);

// `name` bare when it is plain, else bracketed.
std::string LegacyName(std::string_view name);

}  // namespace tabrix::sql
