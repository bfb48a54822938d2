// The stored form of a session, read back from a row any server of the
// site (or anyone with the database) may have written: any bytes either
// decode or raise SessionCodecError, and what decodes encodes into a text
// that decodes to the same session again.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "check.h"
#include "host/session.h"
#include "site/session/session_codec.h"

namespace {

// An object only this process holds: kept out of the stored form.
class Thing : public tabrix::Object {
 public:
  std::string_view ClassName() const override { return "Thing"; }
};

std::string Keys(const tabrix::Session& session) {
  std::string keys;
  for (const auto& entry : session.Entries()) keys += entry.first + '\0';
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static const std::shared_ptr<tabrix::Session> local = [] {
    auto session = std::make_shared<tabrix::Session>();
    session->SetValue("fields", tabrix::Variant(std::make_shared<Thing>()));
    session->SetValue("a", tabrix::Variant(std::make_shared<Thing>()));
    session->SetValue("name", tabrix::Variant("not an object"));
    return session;
  }();

  std::shared_ptr<tabrix::Session> first;
  try {
    first = tabrix::site::DecodeSession(bytes, (size & 1) ? local.get() : nullptr);
  } catch (const tabrix::site::SessionCodecError&) {
    return 0;
  }
  std::string encoded = tabrix::site::EncodeSession(*first);
  // Repeated keys and longer varints than needed read, but are not written.
  FUZZ_CHECK(encoded.size() <= bytes.size());
  std::shared_ptr<tabrix::Session> second = tabrix::site::DecodeSession(encoded, local.get());
  FUZZ_CHECK(Keys(*second) == Keys(*first));
  FUZZ_CHECK(tabrix::site::EncodeSession(*second) == encoded);
  return 0;
}
