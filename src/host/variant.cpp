#include "host/variant.h"

#include "host/decimal.h"

namespace tabrix {

Variant Variant::Null() {
  Variant v;
  v.v_ = NullTag{};
  return v;
}

Variant Variant::Binary(Bytes bytes) {
  Variant v;
  v.v_ = BinaryHolder{std::make_shared<const Bytes>(std::move(bytes))};
  return v;
}

Variant Variant::Array(VariantArray items) {
  Variant v;
  v.v_ = ArrayHolder{std::make_shared<const VariantArray>(std::move(items))};
  return v;
}

bool Variant::IsNumericType() const {
  switch (type()) {
    case VarType::Boolean:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Decimal:
    case VarType::Date:
      return true;
    default:
      return false;
  }
}

std::string_view Variant::TypeName(VarType t) {
  switch (t) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::Long: return "Long";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Decimal: return "Decimal";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Binary: return "Binary";
    case VarType::Array: return "Array";
    case VarType::Object: return "Object";
  }
  return "Empty";
}

bool Variant::Identical(const Variant& other) const {
  if (type() != other.type()) return false;
  switch (type()) {
    case VarType::Empty:
    case VarType::Null: return true;
    case VarType::Boolean: return boolean() == other.boolean();
    case VarType::Long: return long_value() == other.long_value();
    case VarType::Double: return double_value() == other.double_value();
    case VarType::Currency: return currency() == other.currency();
    case VarType::Decimal: return CompareDecimals(decimal(), other.decimal()) == 0;
    case VarType::Date: return date() == other.date();
    case VarType::String: return string() == other.string();
    case VarType::Binary: return binary() == other.binary();
    case VarType::Array: {
      const auto& a = array();
      const auto& b = other.array();
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i)
        if (!a[i].Identical(b[i])) return false;
      return true;
    }
    case VarType::Object: return object() == other.object();
  }
  return false;
}

}  // namespace tabrix
