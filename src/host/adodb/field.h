// Field and Fields: the columns of a recordset's current row.
//
// A Field names one column: Name, Type (ADO DataTypeEnum number), Attributes
// (ADO FieldAttributeEnum bits) and DefinedSize, and gives the value of that
// column in its recordset's current row. Reading a value with no current row
// raises 3021. A Field made on its own (tools hand one to the permission
// checks) holds its value itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/object.h"
#include "host/variant.h"

namespace tabrix::adodb {

// ADO DataTypeEnum numbers used across the platform.
enum DataType : long {
  kEmpty = 0, kSmallInt = 2, kInteger = 3, kSingle = 4, kDouble = 5, kCurrency = 6, kDate = 7,
  kBSTR = 8, kIDispatch = 9, kError = 10, kBoolean = 11, kVariant = 12, kIUnknown = 13,
  kDecimal = 14, kTinyInt = 16, kUnsignedTinyInt = 17, kUnsignedSmallInt = 18,
  kUnsignedInt = 19, kBigInt = 20, kUnsignedBigInt = 21, kGUID = 72, kBinary = 128,
  kChar = 129, kWChar = 130, kNumeric = 131, kDBDate = 133, kDBTime = 134,
  kDBTimeStamp = 135, kVarChar = 200, kLongVarChar = 201, kVarWChar = 202,
  kLongVarWChar = 203, kVarBinary = 204, kLongVarBinary = 205,
};

// ADO FieldAttributeEnum bits.
enum FieldAttribute : long {
  kMayDefer = 0x2, kUpdatable = 0x4, kUnknownUpdatable = 0x8, kFixed = 0x10,
  kIsNullable = 0x20, kMayBeNull = 0x40, kLong = 0x80, kRowID = 0x100, kKeyColumn = 0x8000,
};

class Field : public Object {
 public:
  std::string_view ClassName() const override { return "Field"; }

  virtual const std::string& Name() const = 0;
  virtual long Type() const = 0;
  virtual long Attributes() const = 0;
  virtual long DefinedSize() const { return 0; }
  // The column's value in the current row; raises 3021 without one.
  virtual Variant Value() const = 0;
  // Assigns the column's value in the row being added or edited; raises
  // 3251 on a read-only recordset.
  virtual void SetValue(const Variant& value) = 0;
};

// A field that stands alone, holding its own value.
class StandaloneField : public Field {
 public:
  StandaloneField(std::string name, long type, long attributes, Variant value = {})
      : name_(std::move(name)), type_(type), attributes_(attributes), value_(std::move(value)) {}
  const std::string& Name() const override { return name_; }
  long Type() const override { return type_; }
  long Attributes() const override { return attributes_; }
  Variant Value() const override { return value_; }
  void SetValue(const Variant& value) override { value_ = value; }

 private:
  std::string name_;
  long type_;
  long attributes_;
  Variant value_;
};

// The fields collection of a recordset.
class Fields : public Object {
 public:
  std::string_view ClassName() const override { return "Fields"; }
  virtual long Count() const = 0;
  // By 0-based position (a number) or by name (text: the exact spelling,
  // else the first that differs only in case); raises 3265 when there is
  // no such field.
  virtual std::shared_ptr<Field> Item(const Variant& index_or_name) const = 0;
};

}  // namespace tabrix::adodb
