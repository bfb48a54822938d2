// The demo's rows: customers, products, employees, orders and their lines,
// made by a fixed pseudo-random sequence, so the same number of orders
// always gives the same rows.
//
// The rows reach the database only through a RunStatement callback that
// each engine's loader supplies: one SQL text with a "?" per value and the
// values to bind, in order. The same texts serve every engine (a loader
// whose engine numbers its parameters renumbers them).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "site/demo/demo_schema.h"

namespace tabrix::site::demo {

// The bytes of a picture column.
struct DemoBlob {
  std::string bytes;
};

// One bound value: NULL, a whole number, a number, a Boolean, a text (dates
// as ISO text, see ColumnKind) or bytes.
using DemoValue = std::variant<std::monostate, std::int64_t, double, bool, std::string, DemoBlob>;

// Runs one statement: `sql` with one "?" per item of `values` (none for the
// schema's statements). Raises on failure; the load then stops.
using RunStatement =
    std::function<void(const std::string& sql, const std::vector<DemoValue>& values)>;

// The most orders a demo may have: about 0.8 GB of SQLite file.
inline constexpr std::int64_t kMaxDemoOrders = 2'000'000;
inline constexpr std::int64_t kDefaultDemoOrders = 2'000;

// How many rows each table gets for a number of orders.
struct DemoCounts {
  std::int64_t orders = 0;
  std::int64_t customers = 0;
  std::int64_t products = 0;
  std::int64_t employees = 0;
};
DemoCounts CountsFor(std::int64_t orders);

// The whole demo: tables, rows, then indexes, the view and triggers.
// `orders` must be 1..kMaxDemoOrders (std::invalid_argument otherwise).
// Returns the number of order lines written.
std::int64_t WriteDemo(const DemoDialect& dialect, std::int64_t orders, const RunStatement& run);

// "YYYY-MM-DD" of the day `days` after 1970-01-01.
std::string IsoDate(std::int64_t days);

// A small GIF image (16x16): a round shape in one of a few colours picked
// by `seed`.
std::string PictureGif(std::uint64_t seed);

}  // namespace tabrix::site::demo
