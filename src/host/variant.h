// Variant: the one value type of the component and its platform.
//
// A Variant is Empty (never assigned), Null, Boolean, Long (every whole
// number, 64-bit), Double, Currency (fixed point, four decimals), Decimal (up
// to 28 significant digits, exact), Date (days since 1899-12-30, the fraction
// being the time of day), String (UTF-8),
// Binary (bytes), Array (a one-dimensional list of Variants) or Object (a
// shared reference to a host object). Copies are cheap: strings are copied,
// arrays, binaries and objects are shared and never mutated in place.
//
// Conversions and comparisons follow the legacy scripting runtime where the
// component relies on it; they live in variant_ops.h. Variants are not
// thread-safe beyond the guarantees of the values they hold.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/error.h"
#include "host/object.h"

namespace tabrix {

enum class VarType : std::uint8_t {
  Empty, Null, Boolean, Long, Double, Currency, Decimal, Date, String, Binary, Array, Object
};

// Fixed-point money: the value times 10,000.
struct CurrencyValue {
  std::int64_t scaled = 0;
  bool operator==(const CurrencyValue&) const = default;
};

// An exact decimal number: a 96-bit magnitude divided by 10^scale (scale
// 0..28), with a sign. 1.5 and 1.50 are one value held at two scales; the
// operations live in host/decimal.h.
struct DecimalValue {
  std::uint64_t low = 0;   // bits 0..63 of the magnitude
  std::uint32_t high = 0;  // bits 64..95 of the magnitude
  std::uint8_t scale = 0;
  bool negative = false;
};

// Days since 1899-12-30; the fraction is the time of day.
struct DateValue {
  double serial = 0;
  bool operator==(const DateValue&) const = default;
};

class Variant;
using VariantArray = std::vector<Variant>;
using Bytes = std::vector<std::uint8_t>;

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  static Variant Binary(Bytes bytes);
  static Variant Array(VariantArray items);

  Variant(bool b) : v_(b) {}
  Variant(int n) : v_(static_cast<std::int64_t>(n)) {}
  Variant(long n) : v_(static_cast<std::int64_t>(n)) {}
  Variant(long long n) : v_(static_cast<std::int64_t>(n)) {}
  Variant(unsigned n) : v_(static_cast<std::int64_t>(n)) {}
  Variant(double d) : v_(d) {}
  Variant(CurrencyValue c) : v_(c) {}
  Variant(DecimalValue d) : v_(d) {}
  Variant(DateValue d) : v_(d) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(ObjectRef o) : v_(std::move(o)) {}
  template <class T>
    requires std::is_base_of_v<Object, T>
  Variant(std::shared_ptr<T> o) : v_(ObjectRef(std::move(o))) {}

  VarType type() const { return static_cast<VarType>(v_.index()); }
  bool IsEmpty() const { return type() == VarType::Empty; }
  bool IsNull() const { return type() == VarType::Null; }
  bool IsObject() const { return type() == VarType::Object; }
  bool IsString() const { return type() == VarType::String; }
  bool IsArray() const { return type() == VarType::Array; }
  // Boolean, Long, Double, Currency, Decimal or Date.
  bool IsNumericType() const;

  // Raw access to the held value; the caller has checked type().
  bool boolean() const { return std::get<bool>(v_); }
  std::int64_t long_value() const { return std::get<std::int64_t>(v_); }
  double double_value() const { return std::get<double>(v_); }
  CurrencyValue currency() const { return std::get<CurrencyValue>(v_); }
  DecimalValue decimal() const { return std::get<DecimalValue>(v_); }
  DateValue date() const { return std::get<DateValue>(v_); }
  const std::string& string() const { return std::get<std::string>(v_); }
  const Bytes& binary() const { return *std::get<BinaryHolder>(v_).bytes; }
  const VariantArray& array() const { return *std::get<ArrayHolder>(v_).items; }
  const ObjectRef& object() const { return std::get<ObjectRef>(v_); }

  // The name of the subtype, as tools show it ("Empty", "Long", ...).
  static std::string_view TypeName(VarType t);
  std::string_view TypeName() const { return TypeName(type()); }

  // Same subtype and same value (objects by identity, decimals by value
  // whatever their scale). Not the runtime's
  // "=": that is Compare() in variant_ops.h.
  bool Identical(const Variant& other) const;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct BinaryHolder {
    std::shared_ptr<const Bytes> bytes;
  };
  struct ArrayHolder {
    std::shared_ptr<const VariantArray> items;
  };
  std::variant<std::monostate, NullTag, bool, std::int64_t, double, CurrencyValue, DecimalValue,
               DateValue, std::string, BinaryHolder, ArrayHolder, ObjectRef>
      v_;
};

// The object held by `v` as a T. Raises 424 when `v` holds no object and
// 438 when the object is of another kind.
template <class T>
T& ObjectAs(const Variant& v) {
  if (!v.IsObject() || !v.object()) RaiseError(kErrObjectRequired);
  T* p = dynamic_cast<T*>(v.object().get());
  if (p == nullptr) RaiseError(kErrNoSuchMember);
  return *p;
}

template <class T>
std::shared_ptr<T> ObjectRefAs(const Variant& v) {
  ObjectAs<T>(v);
  return std::static_pointer_cast<T>(v.object());
}

}  // namespace tabrix
