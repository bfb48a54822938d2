// Writes the demo into a PostgreSQL database, through the engine-neutral
// schema and rows of demo_schema.h and demo_data.h, over libpq.
//
// The whole load is one transaction: a load that fails leaves the database
// as it was. The rows go in with COPY, gathered per table and sent in
// batches, parents before children, so the foreign keys hold at every
// batch. The number of orders is recorded as the comment of the orders
// table, where PgDemoOrders finds it.
#pragma once

#include <cstdint>
#include <optional>

#include "site/session/pg_connections.h"

namespace tabrix::site::demo {

// Loads the demo with `orders` orders into the database of `params` (whose
// schema must hold none of the demo's tables), then analyses it. Returns
// the number of order lines. Raises std::runtime_error with the server's
// message when the database cannot be reached or refuses the load.
std::int64_t WritePgDemo(const PgParams& params, std::int64_t orders);

// The number of orders the demo in the database of `params` was made with;
// nullopt when its schema holds none of the demo's tables, 0 when it holds
// some that this command did not make. Raises std::runtime_error when the
// database cannot be reached.
std::optional<std::int64_t> PgDemoOrders(const PgParams& params);

}  // namespace tabrix::site::demo
