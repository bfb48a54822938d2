#include "access/password_hash.h"

#include <argon2.h>

#include <atomic>
#include <charconv>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace tabrix {

namespace {

constexpr std::string_view kArgon2idPrefix = "$argon2id$";
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// What one login may spend on a stored hash; beyond it a value is treated
// as malformed rather than let a typo make every login hang.
constexpr std::uint64_t kMaxMemoryKib = 1024 * 1024;
constexpr std::uint64_t kMaxPasses = 100;
constexpr std::uint64_t kMaxLanes = 64;

// The value of "name=" in the parameter list "m=..,t=..,p=..", or
// `missing` when it is absent or not a number.
std::uint64_t ParameterOr(std::string_view list, std::string_view name, std::uint64_t missing) {
  std::size_t at = 0;
  while (at <= list.size()) {
    std::size_t end = list.find(',', at);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(at, end - at);
    if (item.size() > name.size() && item.substr(0, name.size()) == name &&
        item[name.size()] == '=') {
      std::string_view digits = item.substr(name.size() + 1);
      std::uint64_t value = 0;
      auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (ec != std::errc() || ptr != digits.data() + digits.size()) return missing;
      return value;
    }
    at = end + 1;
  }
  return missing;
}

// Whether the cost written in `stored` is within what a login may spend.
bool CostIsBounded(std::string_view stored) {
  // "$argon2id$v=19$m=..,t=..,p=..$salt$hash": the parameters follow the
  // version field when there is one.
  std::string_view rest = stored.substr(kArgon2idPrefix.size());
  if (rest.substr(0, 2) == "v=") {
    std::size_t dollar = rest.find('$');
    if (dollar == std::string_view::npos) return false;
    rest = rest.substr(dollar + 1);
  }
  std::string_view list = rest.substr(0, rest.find('$'));
  constexpr std::uint64_t kMissing = ~std::uint64_t{0};
  return ParameterOr(list, "m", kMissing) <= kMaxMemoryKib &&
         ParameterOr(list, "t", kMissing) <= kMaxPasses &&
         ParameterOr(list, "p", kMissing) <= kMaxLanes;
}

std::atomic<std::uint64_t> verifications{0};

bool Verify(const std::string& encoded, std::string_view password) {
  verifications.fetch_add(1, std::memory_order_relaxed);
  return argon2id_verify(encoded.c_str(), password.data(), password.size()) == ARGON2_OK;
}

// The "$argon2id$v=19$m=..,t=..,p=..$" head of a well-formed string within
// bounds, or "" when `stored` is none.
std::string CostHead(std::string_view stored) {
  if (stored.substr(0, kArgon2idPrefix.size()) != kArgon2idPrefix) return "";
  if (stored.find('\0') != std::string_view::npos || !CostIsBounded(stored)) return "";
  std::size_t salt = stored.rfind('$');
  if (salt == std::string_view::npos) return "";
  salt = stored.rfind('$', salt - 1);
  if (salt == std::string_view::npos || salt < kArgon2idPrefix.size()) return "";
  return std::string(stored.substr(0, salt + 1));
}

}  // namespace

bool IsPasswordHash(std::string_view stored) { return stored.substr(0, 7) == "$argon2"; }

bool VerifyPasswordHash(std::string_view stored, std::string_view password) {
  if (stored.substr(0, kArgon2idPrefix.size()) != kArgon2idPrefix) return false;
  if (stored.find('\0') != std::string_view::npos || !CostIsBounded(stored)) return false;
  return Verify(std::string(stored), password);
}

void VerifyDummyPasswordHash(std::string_view like, std::string_view password) {
  // Any salt and hash do: the outcome is thrown away, only the cost counts.
  static constexpr std::string_view kSaltAndHash =
      "ZHVtbXlzYWx0ZHVtbXlzYQ$ZHVtbXloYXNoZHVtbXloYXNoZHVtbXloYXNoZHVtbXk";
  std::string head = CostHead(like);
  if (head.empty()) {
    Argon2Cost cost;
    head = std::string(kArgon2idPrefix) + "v=19$m=" + std::to_string(cost.memory_kib) +
           ",t=" + std::to_string(cost.passes) + ",p=" + std::to_string(cost.lanes) + "$";
  }
  Verify(head + std::string(kSaltAndHash), password);
}

std::uint64_t PasswordHashVerifications() {
  return verifications.load(std::memory_order_relaxed);
}

std::string HashPassword(std::string_view password, const Argon2Cost& cost) {
  unsigned char salt[kSaltBytes];
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(salt), sizeof salt))
    throw std::runtime_error("cannot read /dev/urandom for a salt");
  std::vector<char> encoded(argon2_encodedlen(cost.passes, cost.memory_kib, cost.lanes,
                                              kSaltBytes, kHashBytes, Argon2_id));
  int rc = argon2id_hash_encoded(cost.passes, cost.memory_kib, cost.lanes, password.data(),
                                 password.size(), salt, sizeof salt, kHashBytes, encoded.data(),
                                 encoded.size());
  if (rc != ARGON2_OK)
    throw std::runtime_error(std::string("cannot hash the password: ") +
                             argon2_error_message(rc));
  return std::string(encoded.data());
}

}  // namespace tabrix
