#include "site/demo/demo_site_config.h"

#include <random>
#include <stdexcept>

namespace tabrix::site::demo {

namespace {

// The most rows a relation lists in a drop-down on the forms; a bigger
// table gets a text box for its key instead.
constexpr std::int64_t kMaxDropDownRows = 500;

std::string YesWhenSmall(std::int64_t rows) { return rows <= kMaxDropDownRows ? "yes" : "no"; }

// A stored password no typed password matches: it has the hash's prefix,
// so it is never compared as plain text, and no valid hash after it.
constexpr std::string_view kNoPassword = "$argon2id$set-at-each-serve";

}  // namespace

const std::vector<DemoUser>& DemoUsers() {
  static const std::vector<DemoUser> users = {{"admin", "may do everything"},
                                              {"viewer", "may only view"},
                                              {"clerk", "some tables; some fields hidden"}};
  return users;
}

std::string TomlString(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string quoted = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      quoted += "\\u00";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 15];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string DemoSiteToml(const DemoCounts& counts, std::string_view encrypt_key,
                         std::string_view set_dns) {
  std::string toml = R"(# The Tabrix demo site (see the README's "tabrix demo").
# `tabrix demo --serve` serves it and gives its three users new passwords at
# each start: it rewrites their set_userN_password lines and nothing else.
listen = "127.0.0.1:8080"

[session]
set_dns = )" + TomlString(set_dns) + R"(
set_encryptkey = ")" + std::string(encrypt_key) + R"("
set_include_views = "yes"
set_pagers = "10,25,50,100"
set_currency = "EUR"
# Captions: the list, record and search pages look a field up by its name
# ("customer_id"), the menu and the forms by its readable name ("Customer id").
set_replace = "customers=Customers,products=Products,employees=Employees,orders=Orders,order_items=Order lines,Order items=Order lines,order_totals=Order totals,id=No.,customer_id=Customer,Customer id=Customer,employee_id=Salesperson,Employee id=Salesperson,order_id=Order,Order id=Order,product_id=Product,Product id=Product,ship_city=Ship to,Ship city=Ship to,shipped_at=Shipped,Shipped at=Shipped,units_in_stock=In stock,Units in stock=In stock,line_count=Lines,Line count=Lines,last_login=Last sign-in,Last login=Last sign-in"

# The grids and search panels (every column when a table has none).
set_customers_list = "id,name,email,city,country,segment,joined,vip"
set_customers_search = "name,city,country,segment,vip"
set_products_list = "id,name,category,unit_price,units_in_stock,discontinued"
set_products_search = "name,category,discontinued"
set_employees_search = "name,title,active"
set_orders_list = "id,customer_id,employee_id,order_date,status,shipped_at,ship_city,freight,paid"
set_orders_search = "customer_id,employee_id,order_date,status,ship_city,paid"
set_order_items_search = "order_id,product_id"

# Keys that name a row of another table: shown by its caption with a link.
set_relation1 = "orders.customer_id,customers,id,name,)" +
                     YesWhenSmall(counts.customers) + R"("
set_relation2 = "orders.employee_id,employees,id,name,)" +
                     YesWhenSmall(counts.employees) + R"("
set_relation3 = "order_items.order_id,orders,id,id,no"
set_relation4 = "order_items.product_id,products,id,name,)" +
                     YesWhenSmall(counts.products) + R"("
set_relation5 = "order_totals.order_id,orders,id,id,no"

# Stored codes shown as words.
set_select1 = "orders.status,0,New,1,Packed,2,Shipped,3,Delivered,4,Cancelled"
set_select2 = "customers.segment,R,Retail,W,Wholesale,O,Online"

# Links on the record pages.
set_link1 = "customers,Orders of this customer,Search.asp?t={orders}&go=1&customer_id=[id]"
set_link2 = "orders,Lines of this order,Search.asp?t={order_items}&go=1&order_id=[id]"
set_link3 = "products,Order lines with this product,Search.asp?t={order_items}&go=1&product_id=[id]"

# Bulk actions: name, the permission letter, the tables.
set_action1 = "Delete,D,ALL"
set_action2 = "Mark shipped,S,orders"
set_action3 = "Export,X,ALL"

set_user1_username = "admin"
set_user1_password = ")" + std::string(kNoPassword) + R"("
set_user1_name = "Administrator"
set_user1_CanTable = "customers[VAUDX],products[VAUDX],employees[VAUDX],orders[VAUDSX],order_items[VAUDX],order_totals[VX]"

set_user2_username = "viewer"
set_user2_password = ")" + std::string(kNoPassword) + R"("
set_user2_name = "Viewer"
set_user2_CanTable = "customers[V],products[V],employees[V],orders[V],order_items[V],order_totals[V]"

set_user3_username = "clerk"
set_user3_password = ")" + std::string(kNoPassword) + R"("
set_user3_name = "Clerk"
set_user3_CanTable = "customers[VAU],orders[VAUS],order_items[VA],products[V]"
set_user3_CantField = "customers.email[VAU],customers.phone[VAU],customers.credit_limit[VAU],orders.freight[VAU]"

[actions.1]
do = "delete"

[actions.2]
do = "set"
values = { status = 2 }

[actions.3]
do = "export"
)";
  return toml;
}

std::string WithPasswordHashes(std::string_view toml, const std::vector<std::string>& hashes) {
  std::string out(toml);
  for (size_t n = 1; n <= hashes.size(); ++n) {
    std::string key = "set_user" + std::to_string(n) + "_password";
    size_t at = 0;
    bool found = false;
    while ((at = out.find(key, at)) != std::string::npos) {
      bool line_start = at == 0 || out[at - 1] == '\n';
      size_t after = at + key.size();
      bool whole_key = after < out.size() && (out[after] == ' ' || out[after] == '=');
      if (line_start && whole_key) {
        found = true;
        break;
      }
      at = after;
    }
    if (!found) throw std::runtime_error("the configuration has no line \"" + key + " = ...\"");
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    out.replace(at, end - at, key + " = \"" + hashes[n - 1] + "\"");
  }
  return out;
}

std::string RandomSecret(size_t length) {
  static constexpr std::string_view kAlphabet = "abcdefghjkmnpqrstuvwxyz23456789";
  std::random_device source;  // the operating system's random bytes
  std::string secret;
  // 31 letters: drawing from 32 bits and refusing the top remainder keeps
  // every letter equally likely.
  const std::uint32_t limit = UINT32_MAX - UINT32_MAX % kAlphabet.size();
  while (secret.size() < length) {
    std::uint32_t value = source();
    if (value >= limit) continue;
    secret += kAlphabet[value % kAlphabet.size()];
  }
  return secret;
}

}  // namespace tabrix::site::demo
