// Writes the demo into a new SQLite file, through the engine-neutral
// schema and rows of demo_schema.h and demo_data.h.
//
// The whole load is one transaction on prepared statements, with the
// journal off: the file is new, and a load that fails removes it, so there
// is nothing to roll back to.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tabrix::site::demo {

// Creates `file` (which must not exist) holding the demo with `orders`
// orders, and records `orders` in the file (its user_version). Returns the
// number of order lines. Raises std::runtime_error with SQLite's message
// when the file cannot be made; `file` is then removed.
std::int64_t WriteSqliteDemo(const std::filesystem::path& file, std::int64_t orders);

// The number of orders a demo file was made with; 0 for a file that is not
// a demo database. Raises std::runtime_error when it cannot be opened.
std::int64_t SqliteDemoOrders(const std::filesystem::path& file);

}  // namespace tabrix::site::demo
