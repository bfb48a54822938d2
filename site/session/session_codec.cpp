#include "site/session/session_codec.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace tabrix::site {

namespace {

constexpr std::string_view kMagic = "TBS\x02";
// Arrays inside arrays: deep enough for any value the component makes, and
// a hostile text cannot recurse without end.
constexpr int kMaxDepth = 16;

enum Tag : std::uint8_t {
  kEmpty = 0, kNull, kBoolean, kLong, kDouble, kCurrency, kDecimal, kDate, kString, kBinary,
  kArray, kKeptInProcess
};

void PutVarint(std::string& out, std::uint64_t n) {
  while (n >= 0x80) {
    out += static_cast<char>((n & 0x7f) | 0x80);
    n >>= 7;
  }
  out += static_cast<char>(n);
}

void PutFixed(std::string& out, std::uint64_t n, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((n >> (8 * i)) & 0xff);
}

void PutBytes(std::string& out, const void* data, std::size_t size) {
  PutVarint(out, size);
  out.append(static_cast<const char*>(data), size);
}

bool HoldsObject(const Variant& value) {
  if (value.IsObject()) return true;
  if (!value.IsArray()) return false;
  for (const Variant& item : value.array())
    if (HoldsObject(item)) return true;
  return false;
}

void PutValue(std::string& out, const Variant& value) {
  if (HoldsObject(value)) {
    out += static_cast<char>(kKeptInProcess);
    return;
  }
  switch (value.type()) {
    case VarType::Empty: out += static_cast<char>(kEmpty); break;
    case VarType::Null: out += static_cast<char>(kNull); break;
    case VarType::Boolean:
      out += static_cast<char>(kBoolean);
      out += static_cast<char>(value.boolean() ? 1 : 0);
      break;
    case VarType::Long:
      out += static_cast<char>(kLong);
      PutFixed(out, static_cast<std::uint64_t>(value.long_value()), 8);
      break;
    case VarType::Double:
      out += static_cast<char>(kDouble);
      PutFixed(out, std::bit_cast<std::uint64_t>(value.double_value()), 8);
      break;
    case VarType::Currency:
      out += static_cast<char>(kCurrency);
      PutFixed(out, static_cast<std::uint64_t>(value.currency().scaled), 8);
      break;
    case VarType::Decimal: {
      DecimalValue d = value.decimal();
      out += static_cast<char>(kDecimal);
      PutFixed(out, d.low, 8);
      PutFixed(out, d.high, 4);
      out += static_cast<char>(d.scale);
      out += static_cast<char>(d.negative ? 1 : 0);
      break;
    }
    case VarType::Date:
      out += static_cast<char>(kDate);
      PutFixed(out, std::bit_cast<std::uint64_t>(value.date().serial), 8);
      break;
    case VarType::String:
      out += static_cast<char>(kString);
      PutBytes(out, value.string().data(), value.string().size());
      break;
    case VarType::Binary:
      out += static_cast<char>(kBinary);
      PutBytes(out, value.binary().data(), value.binary().size());
      break;
    case VarType::Array:
      out += static_cast<char>(kArray);
      PutVarint(out, value.array().size());
      for (const Variant& item : value.array()) PutValue(out, item);
      break;
    case VarType::Object: break;  // HoldsObject above
  }
}

// Reads the format above from `bytes`, checking each length first.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool AtEnd() const { return pos_ == bytes_.size(); }

  [[noreturn]] static void Fail(const std::string& why) {
    throw SessionCodecError("stored session: " + why);
  }

  std::string_view Take(std::size_t n) {
    if (n > bytes_.size() - pos_) Fail("it ends early");
    std::string_view part = bytes_.substr(pos_, n);
    pos_ += n;
    return part;
  }

  std::uint8_t Byte() { return static_cast<std::uint8_t>(Take(1)[0]); }

  std::uint64_t Fixed(int n) {
    std::string_view part = Take(static_cast<std::size_t>(n));
    std::uint64_t value = 0;
    for (int i = n - 1; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(part[i]);
    return value;
  }

  std::uint64_t Varint() {
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      std::uint8_t b = Byte();
      value |= static_cast<std::uint64_t>(b & 0x7f) << shift;
      if ((b & 0x80) == 0) return value;
    }
    Fail("a length is too long");
  }

  // A length that must fit in what is left (every counted item takes at
  // least one byte), so no count makes the reader reserve more than it has.
  std::size_t Length() {
    std::uint64_t n = Varint();
    if (n > bytes_.size() - pos_) Fail("a length passes its end");
    return static_cast<std::size_t>(n);
  }

  // The value; `kept` is set when it is the "kept in the process" mark.
  Variant Value(int depth, bool* kept) {
    *kept = false;
    std::uint8_t tag = Byte();
    switch (tag) {
      case kEmpty: return Variant();
      case kNull: return Variant::Null();
      case kBoolean: {
        std::uint8_t b = Byte();
        if (b > 1) Fail("a Boolean is neither 0 nor 1");
        return Variant(b == 1);
      }
      case kLong: return Variant(static_cast<long long>(Fixed(8)));
      case kDouble: return Variant(std::bit_cast<double>(Fixed(8)));
      case kCurrency: return Variant(CurrencyValue{static_cast<std::int64_t>(Fixed(8))});
      case kDecimal: {
        DecimalValue d;
        d.low = Fixed(8);
        d.high = static_cast<std::uint32_t>(Fixed(4));
        d.scale = Byte();
        std::uint8_t sign = Byte();
        if (d.scale > 28 || sign > 1) Fail("a Decimal is out of range");
        d.negative = sign == 1;
        return Variant(d);
      }
      case kDate: return Variant(DateValue{std::bit_cast<double>(Fixed(8))});
      case kString: return Variant(std::string(Take(Length())));
      case kBinary: {
        std::string_view raw = Take(Length());
        return Variant::Binary(Bytes(raw.begin(), raw.end()));
      }
      case kArray: {
        if (depth >= kMaxDepth) Fail("arrays are nested too deep");
        std::size_t count = Length();
        VariantArray items;
        items.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
          bool item_kept = false;
          items.push_back(Value(depth + 1, &item_kept));
          if (item_kept) Fail("an array item is marked as kept in the process");
        }
        return Variant::Array(std::move(items));
      }
      case kKeptInProcess: *kept = true; return Variant();
      default: Fail("unknown value tag " + std::to_string(tag));
    }
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string EncodeSession(const Session& session) {
  std::vector<Session::OwnEntry> entries = session.OwnEntries();
  std::string out(kMagic);
  PutVarint(out, entries.size());
  for (const Session::OwnEntry& e : entries) {
    PutBytes(out, e.key.data(), e.key.size());
    out += static_cast<char>(e.kind);
    if (e.kind != Session::OwnKind::kRemoved) PutValue(out, e.value);
  }
  return out;
}

std::shared_ptr<Session> DecodeSession(std::string_view bytes, const Session* local,
                                       std::shared_ptr<const Session> site) {
  if (!bytes.starts_with(kMagic.substr(0, 3)))
    Reader::Fail("it does not start with the session mark");
  if (bytes.size() < kMagic.size() || bytes[3] != kMagic[3])
    Reader::Fail("it is of a version this program does not read");
  Reader reader(bytes.substr(kMagic.size()));
  auto session = std::make_shared<Session>(std::move(site));
  std::size_t count = reader.Length();
  for (std::size_t i = 0; i < count; ++i) {
    Session::OwnEntry entry;
    entry.key = std::string(reader.Take(reader.Length()));
    std::uint8_t kind = reader.Byte();
    if (kind > static_cast<std::uint8_t>(Session::OwnKind::kRemoved))
      Reader::Fail("unknown entry kind " + std::to_string(kind));
    entry.kind = static_cast<Session::OwnKind>(kind);
    if (entry.kind != Session::OwnKind::kRemoved) {
      bool kept = false;
      entry.value = reader.Value(0, &kept);
      if (kept) {
        if (local == nullptr || !local->Contains(entry.key) ||
            !HoldsObject(local->Value(entry.key)))
          continue;
        entry.value = local->Value(entry.key);
      }
    }
    if (!session->Restore(std::move(entry))) Reader::Fail("a key comes twice");
  }
  if (!reader.AtEnd()) Reader::Fail("bytes follow its last entry");
  return session;
}

}  // namespace tabrix::site
