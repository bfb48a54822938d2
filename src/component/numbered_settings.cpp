#include "component/numbered_settings.h"

#include "host/error.h"
#include "host/text/split.h"
#include "host/variant_ops.h"

namespace tabrix {

std::string EntryKey(std::string_view prefix, long n) {
  return std::string(prefix) + std::to_string(n);
}

bool EntryExists(const Tabrix1& object, std::string_view prefix, long n) {
  return object.SessionObject().Contains(EntryKey(prefix, n));
}

std::vector<std::string> EntryPositions(const Tabrix1& object, std::string_view prefix, long n) {
  std::string key = EntryKey(prefix, n);
  Variant value = object.Setting(key);
  if (value.IsNull()) RaiseError(kErrInvalidNull, key + " holds Null");
  return text::Split(ToText(value), ",");
}

const std::string& RequirePosition(const std::vector<std::string>& positions, size_t index,
                                   const std::string& key, std::string_view what) {
  if (index >= positions.size())
    RaiseError(kErrSubscript, key + " has no " + std::string(what));
  return positions[index];
}

}  // namespace tabrix
