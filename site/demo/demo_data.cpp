#include "site/demo/demo_data.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>
#include <string_view>

namespace tabrix::site::demo {

namespace {

// SplitMix64: small, fast and the same everywhere.
class DemoRandom {
 public:
  explicit DemoRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number from `low` to `high`, both included.
  std::int64_t Between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(high - low + 1));
  }
  // True once in `n` times.
  bool OneIn(std::int64_t n) { return Between(1, n) == 1; }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<size_t>(Next() % N)];
  }

 private:
  std::uint64_t state_;
};

constexpr std::array<std::string_view, 24> kFirstNames = {
    "Ada",   "Alan",  "Grace", "Linus",  "Margaret", "Dennis", "Barbara", "Ken",
    "Edsger", "Frances", "John", "Radia", "Tim",     "Hedy",   "Niklaus", "Sophie",
    "Katherine", "Donald", "Lynn", "Bjarne", "Anita", "Guido", "Mary",    "Claude"};
constexpr std::array<std::string_view, 24> kLastNames = {
    "Lovelace", "Turing",  "Hopper",  "Torvalds", "Hamilton", "Ritchie", "Liskov", "Thompson",
    "Dijkstra", "Allen",   "Backus",  "Perlman",  "Berners",  "Lamarr",  "Wirth",  "Wilson",
    "Johnson",  "Knuth",   "Conway",  "Stroustrup", "Borg",   "Rossum",  "Keller", "Shannon"};

struct City {
  std::string_view city, country, phone_prefix;
};
constexpr std::array<City, 18> kCities = {{{"Berlin", "Germany", "+49 30"},
                                           {"Hamburg", "Germany", "+49 40"},
                                           {"München", "Germany", "+49 89"},
                                           {"Paris", "France", "+33 1"},
                                           {"Lyon", "France", "+33 4"},
                                           {"London", "United Kingdom", "+44 20"},
                                           {"Dublin", "Ireland", "+353 1"},
                                           {"Madrid", "Spain", "+34 91"},
                                           {"Lisboa", "Portugal", "+351 21"},
                                           {"Roma", "Italy", "+39 06"},
                                           {"Milano", "Italy", "+39 02"},
                                           {"Wien", "Austria", "+43 1"},
                                           {"Zürich", "Switzerland", "+41 44"},
                                           {"Amsterdam", "Netherlands", "+31 20"},
                                           {"Oslo", "Norway", "+47 22"},
                                           {"Stockholm", "Sweden", "+46 8"},
                                           {"Kraków", "Poland", "+48 12"},
                                           {"İstanbul", "Türkiye", "+90 212"}}};

struct Product {
  std::string_view noun, category;
};
constexpr std::array<Product, 12> kProducts = {{{"Desk", "Furniture"},
                                                {"Chair", "Furniture"},
                                                {"Shelf", "Furniture"},
                                                {"Lamp", "Lighting"},
                                                {"Lantern", "Lighting"},
                                                {"Pendant", "Lighting"},
                                                {"Cushion", "Textiles"},
                                                {"Throw", "Textiles"},
                                                {"Rug", "Textiles"},
                                                {"Bowl", "Kitchen"},
                                                {"Jug", "Kitchen"},
                                                {"Tray", "Kitchen"}}};
constexpr std::array<std::string_view, 10> kMaterials = {
    "Oak", "Steel", "Linen", "Glass", "Copper", "Walnut", "Cotton", "Marble", "Bamboo", "Leather"};

constexpr std::array<std::string_view, 4> kTitles = {"Sales representative", "Account manager",
                                                     "Sales manager", "Customer support"};
constexpr std::array<std::string_view, 3> kSegments = {"R", "W", "O"};
constexpr std::array<std::string_view, 5> kOrderNotes = {
    "Leave the parcel at the reception.", "Gift wrapping, please.",
    "Deliver after 2 pm.\r\nThe gate code is 4711.", "Invoice to the head office.",
    "Customer asked for one delivery with the next order."};
constexpr std::array<std::string_view, 4> kCustomerNotes = {
    "Prefers delivery before noon.\r\nCall before shipping.", "Pays by bank transfer.",
    "Long-standing customer since the first catalogue.", "Asks for paper invoices."};

// 2023-01-01 and the two years of orders after it.
constexpr std::int64_t kFirstOrderDay = 19358;
constexpr std::int64_t kOrderDays = 731;

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string DateTime(std::int64_t days, int hour, int minute) {
  char text[32];
  std::snprintf(text, sizeof text, " %02d:%02d:00", hour, minute);
  return IsoDate(days) + text;
}

double Money(std::int64_t cents) { return static_cast<double>(cents) / 100.0; }

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Inserts rows of one table with one reused value vector.
class TableWriter {
 public:
  TableWriter(std::string_view table, const RunStatement& run)
      : sql_(InsertSql(DemoTableNamed(table))), run_(run) {}
  std::vector<DemoValue>& Row() {
    values_.clear();
    return values_;
  }
  void Write() { run_(sql_, values_); }

 private:
  std::string sql_;
  const RunStatement& run_;
  std::vector<DemoValue> values_;
};

std::string Name(DemoRandom& random) {
  return std::string(random.Pick(kFirstNames)) + " " + std::string(random.Pick(kLastNames));
}

std::string Email(const std::string& name, std::int64_t id) {
  std::string address;
  for (char c : Lower(name)) address += c == ' ' ? '.' : c;
  return address + std::to_string(id) + "@example.com";
}

// Returns each customer's city.
std::vector<std::uint8_t> WriteCustomers(const DemoCounts& counts, DemoRandom& random,
                                         const RunStatement& run) {
  TableWriter writer("customers", run);
  std::vector<std::uint8_t> cities(static_cast<size_t>(counts.customers) + 1);
  for (std::int64_t id = 1; id <= counts.customers; ++id) {
    auto city = static_cast<std::uint8_t>(random.Between(0, kCities.size() - 1));
    cities[static_cast<size_t>(id)] = city;
    std::string name = Name(random);
    std::vector<DemoValue>& row = writer.Row();
    row.emplace_back(id);
    row.emplace_back(name);
    row.emplace_back(Email(name, id));
    row.emplace_back(std::string(kCities[city].phone_prefix) + " " +
                     std::to_string(random.Between(1000000, 9999999)));
    row.emplace_back(std::string(kCities[city].city));
    row.emplace_back(std::string(kCities[city].country));
    row.emplace_back(std::string(random.Pick(kSegments)));
    row.emplace_back(IsoDate(DaysFromCivil(2018, 1, 1) + random.Between(0, 6 * 365)));
    row.emplace_back(random.OneIn(8));
    row.emplace_back(Money(random.Between(1, 40) * 50000));
    if (random.OneIn(5))
      row.emplace_back(std::string(random.Pick(kCustomerNotes)));
    else
      row.emplace_back(std::monostate{});
    writer.Write();
  }
  return cities;
}

// Returns each product's price in cents.
std::vector<std::int64_t> WriteProducts(const DemoCounts& counts, DemoRandom& random,
                                        const RunStatement& run) {
  TableWriter writer("products", run);
  std::vector<std::int64_t> prices(static_cast<size_t>(counts.products) + 1);
  const std::int64_t kinds = static_cast<std::int64_t>(kMaterials.size() * kProducts.size());
  for (std::int64_t id = 1; id <= counts.products; ++id) {
    std::int64_t kind = (id - 1) % kinds;
    std::string_view material = kMaterials[static_cast<size_t>(kind / kProducts.size())];
    const Product& product = kProducts[static_cast<size_t>(kind % kProducts.size())];
    std::string name = std::string(material) + " " + std::string(product.noun);
    if (id > kinds) name += " " + std::to_string((id - 1) / kinds + 1);
    std::int64_t cents = random.Between(45, 4990) * 10;
    prices[static_cast<size_t>(id)] = cents;
    std::vector<DemoValue>& row = writer.Row();
    row.emplace_back(id);
    row.emplace_back(name);
    row.emplace_back(std::string(product.category));
    row.emplace_back(Money(cents));
    row.emplace_back(random.Between(0, 500));
    row.emplace_back(random.OneIn(12));
    row.emplace_back(DemoBlob{PictureGif(static_cast<std::uint64_t>(id))});
    row.emplace_back("A " + Lower(material) + " " + Lower(product.noun) + " from the " +
                     Lower(product.category) + " range.\r\nMade to last.");
    writer.Write();
  }
  return prices;
}

void WriteEmployees(const DemoCounts& counts, DemoRandom& random, const RunStatement& run) {
  TableWriter writer("employees", run);
  for (std::int64_t id = 1; id <= counts.employees; ++id) {
    std::string name = Name(random);
    std::vector<DemoValue>& row = writer.Row();
    row.emplace_back(id);
    row.emplace_back(name);
    row.emplace_back(std::string(random.Pick(kTitles)));
    row.emplace_back(Email(name, id));
    row.emplace_back(IsoDate(DaysFromCivil(2012, 1, 1) + random.Between(0, 11 * 365)));
    row.emplace_back(DateTime(kFirstOrderDay + kOrderDays - random.Between(1, 60),
                              static_cast<int>(random.Between(7, 19)),
                              static_cast<int>(random.Between(0, 59))));
    row.emplace_back(!random.OneIn(10));
    writer.Write();
  }
}

// Orders spread evenly over the two years, each with one to four lines;
// returns the number of lines.
std::int64_t WriteOrders(const DemoCounts& counts, const std::vector<std::uint8_t>& cities,
                         const std::vector<std::int64_t>& prices, DemoRandom& random,
                         const RunStatement& run) {
  TableWriter orders("orders", run);
  TableWriter lines("order_items", run);
  std::int64_t line_id = 0;
  for (std::int64_t id = 1; id <= counts.orders; ++id) {
    std::int64_t day = kFirstOrderDay + (id - 1) * kOrderDays / counts.orders;
    bool recent = day > kFirstOrderDay + kOrderDays - 30;
    std::int64_t status = recent ? random.Between(0, 3) : random.OneIn(20) ? 4 : 3;
    std::int64_t customer = random.Between(1, counts.customers);
    std::vector<DemoValue>& row = orders.Row();
    row.emplace_back(id);
    row.emplace_back(customer);
    row.emplace_back(random.Between(1, counts.employees));
    row.emplace_back(IsoDate(day));
    row.emplace_back(status);
    if (status == 2 || status == 3)
      row.emplace_back(DateTime(day + random.Between(1, 3), static_cast<int>(random.Between(8, 18)),
                                static_cast<int>(random.Between(0, 59))));
    else
      row.emplace_back(std::monostate{});
    row.emplace_back(std::string(kCities[cities[static_cast<size_t>(customer)]].city));
    row.emplace_back(Money(random.Between(49, 399) * 10));
    row.emplace_back(status >= 2 ? !random.OneIn(10) : random.OneIn(3));
    if (random.OneIn(9))
      row.emplace_back(std::string(random.Pick(kOrderNotes)));
    else
      row.emplace_back(std::monostate{});
    orders.Write();

    std::int64_t count = random.Between(1, 4);
    for (std::int64_t n = 0; n < count; ++n) {
      std::int64_t product = random.Between(1, counts.products);
      std::vector<DemoValue>& line = lines.Row();
      line.emplace_back(++line_id);
      line.emplace_back(id);
      line.emplace_back(product);
      line.emplace_back(random.Between(1, 10));
      line.emplace_back(Money(prices[static_cast<size_t>(product)]));
      static constexpr std::array<double, 5> kDiscounts = {0, 0, 0, 0.05, 0.1};
      line.emplace_back(random.Pick(kDiscounts));
      lines.Write();
    }
  }
  return line_id;
}

}  // namespace

DemoCounts CountsFor(std::int64_t orders) {
  DemoCounts counts;
  counts.orders = orders;
  counts.customers = std::max<std::int64_t>(10, orders / 10);
  counts.products = std::clamp<std::int64_t>(orders / 100, 12, 5000);
  counts.employees = std::clamp<std::int64_t>(orders / 400, 5, 500);
  return counts;
}

std::int64_t WriteDemo(const DemoDialect& dialect, std::int64_t orders, const RunStatement& run) {
  if (orders < 1 || orders > kMaxDemoOrders)
    throw std::invalid_argument("the number of orders must be 1 to " +
                                std::to_string(kMaxDemoOrders));
  for (const std::string& sql : DemoTableSql(dialect)) run(sql, {});
  DemoCounts counts = CountsFor(orders);
  DemoRandom random(20240501);
  std::vector<std::uint8_t> cities = WriteCustomers(counts, random, run);
  std::vector<std::int64_t> prices = WriteProducts(counts, random, run);
  WriteEmployees(counts, random, run);
  std::int64_t lines = WriteOrders(counts, cities, prices, random, run);
  for (const std::string& sql : DemoFinishSql(dialect)) run(sql, {});
  return lines;
}

std::string IsoDate(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  return text;
}

std::string PictureGif(std::uint64_t seed) {
  static constexpr std::array<std::array<unsigned char, 3>, 6> kColours = {
      {{37, 99, 235}, {22, 163, 74}, {220, 38, 38}, {234, 179, 8}, {147, 51, 234}, {8, 145, 178}}};
  const auto& colour = kColours[seed % kColours.size()];
  constexpr int kSize = 16;
  // Palette: 0 background, 1 the shape, 2 its outline, 3 a highlight.
  std::string gif = "GIF89a";
  auto put16 = [&](int v) {
    gif += static_cast<char>(v & 0xFF);
    gif += static_cast<char>(v >> 8);
  };
  put16(kSize);
  put16(kSize);
  gif += static_cast<char>(0x81);  // a global table of 4 colours
  gif += '\0';
  gif += '\0';
  const unsigned char palette[12] = {241, 245, 249, colour[0], colour[1], colour[2],
                                     30,  41,  59,  255,       255,       255};
  gif.append(reinterpret_cast<const char*>(palette), sizeof palette);
  gif += static_cast<char>(0x2C);
  put16(0);
  put16(0);
  put16(kSize);
  put16(kSize);
  gif += '\0';
  // LZW with a clear code before every second pixel, so every code keeps
  // the starting width of 3 bits.
  constexpr int kMinCodeSize = 2, kClear = 4, kEnd = 5, kWidth = 3;
  std::vector<int> codes;
  for (int i = 0; i < kSize * kSize; ++i) {
    int x = i % kSize, y = i / kSize;
    int dx = 2 * x - 15, dy = 2 * y - 15;
    int r2 = dx * dx + dy * dy;
    int pixel = r2 > 196 ? 0 : r2 > 144 ? 2 : (dx + 5) * (dx + 5) + (dy + 5) * (dy + 5) < 20 ? 3 : 1;
    if (i % 2 == 0) codes.push_back(kClear);
    codes.push_back(pixel);
  }
  codes.push_back(kEnd);
  std::string data;
  unsigned accumulator = 0;
  int bits = 0;
  for (int code : codes) {
    accumulator |= static_cast<unsigned>(code) << bits;
    bits += kWidth;
    while (bits >= 8) {
      data += static_cast<char>(accumulator & 0xFF);
      accumulator >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) data += static_cast<char>(accumulator & 0xFF);
  gif += static_cast<char>(kMinCodeSize);
  for (size_t at = 0; at < data.size(); at += 255) {
    size_t chunk = std::min<size_t>(255, data.size() - at);
    gif += static_cast<char>(chunk);
    gif += data.substr(at, chunk);
  }
  gif += '\0';
  gif += ';';
  return gif;
}

}  // namespace tabrix::site::demo
