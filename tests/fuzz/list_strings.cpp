// The component's list-string methods on any text: GetThis, IcindeVarmi
// and GetBols read settings lists that a site's configuration writes, so
// they must hold on whatever bytes, and cut only what is there.
//
// The input is cut at "\n" into the list, two markers and a number.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "component/tabrix1.h"
#include "host/error.h"
#include "host/text/case_fold.h"

using tabrix::Variant;

namespace {

std::vector<std::string> Fields(std::string_view bytes, size_t count) {
  std::vector<std::string> fields;
  while (fields.size() + 1 < count) {
    size_t cut = bytes.find('\n');
    if (cut == std::string_view::npos) break;
    fields.emplace_back(bytes.substr(0, cut));
    bytes.remove_prefix(cut + 1);
  }
  fields.emplace_back(bytes);
  fields.resize(count);
  return fields;
}

bool ContainsFolded(std::string_view haystack, std::string_view needle) {
  return tabrix::text::FoldedCodePoints(haystack).find(tabrix::text::FoldedCodePoints(needle)) !=
         std::u32string::npos;
}

// The call's result, or nullopt when it raised the runtime's error.
template <class F>
std::optional<Variant> Call(F f) {
  try {
    return f();
  } catch (const tabrix::ScriptError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> f =
      Fields(std::string_view(reinterpret_cast<const char*>(data), size), 4);
  const std::string& list = f[0];
  const std::string& start = f[1];
  const std::string& end = f[2];
  int number = f[3].empty() ? 1 : static_cast<signed char>(f[3][0]);
  tabrix::Tabrix1 object;

  // What GetThis cuts stands between the markers in the list.
  if (auto cut = Call([&] { return object.GetThis(Variant(list), Variant(number), Variant(start),
                                                  Variant(end)); })) {
    FUZZ_CHECK(cut->IsString());
    const std::string& section = cut->string();
    if (!section.empty()) {
      FUZZ_CHECK(list.find(section) != std::string::npos);
      FUZZ_CHECK(ContainsFolded(list, start + section + end));
    }
  }
  if (auto cut = Call([&] { return object.GetThis(Variant(list), Variant(number), Variant(start),
                                                  Variant::Null()); }))
    FUZZ_CHECK(cut->IsString() && cut->string().empty());

  // An item put in a list is found there, in any case; IcindeVarmi takes
  // anything the runtime can join as text.
  if (start.find(',') == std::string::npos) {
    Variant holds = object.IcindeVarmi(Variant(list + "," + start + "," + end), Variant(start));
    FUZZ_CHECK(holds.type() == tabrix::VarType::Boolean && holds.boolean());
  }
  Call([&] { return object.IcindeVarmi(Variant(list), Variant(number)); });
  Call([&] { return object.IcindeVarmi(Variant::Null(), Variant(list)); });

  // A part is a piece of the whole with no delimiter in it.
  if (auto part = Call([&] { return object.GetBols(Variant(list), Variant(start),
                                                   Variant(number)); })) {
    FUZZ_CHECK(part->IsString());
    const std::string& piece = part->string();
    FUZZ_CHECK(list.find(piece) != std::string::npos);
    if (!start.empty()) FUZZ_CHECK(piece.find(start) == std::string::npos);
  } else {
    FUZZ_CHECK(number < 0);
  }
  Call([&] { return object.GetBols(Variant(list), Variant(end), Variant(f[3])); });
  return 0;
}
