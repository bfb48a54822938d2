// Stored password hashes: argon2id strings made by the reference library are
// verified, anything else that claims to be a hash never matches (and never
// raises), and a new hash verifies its own password only.
#include "access/password_hash.h"

#include <gtest/gtest.h>

namespace tabrix {
namespace {

// Made by libargon2 itself (argon2id_hash_encoded, t=1, m=8 KiB, p=1, salt
// "saltsaltsaltsalt") from the password "Secret".
constexpr const char* kSecretHash =
    "$argon2id$v=19$m=8,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/j0bU";

TEST(PasswordHash, VerifiesKnownHashesAndRefusesEverythingElse) {
  struct Case {
    const char* id;
    std::string stored;
    const char* password;
    bool matches;
  };
  const std::string good = kSecretHash;
  const Case cases[] = {
      {"hash-1.1", good, "Secret", true},
      {"hash-1.2", good, "secret", false},  // a hash keeps the letter case
      {"hash-1.3", good, "Secret ", false},
      {"hash-1.4", good, "", false},
      // The same string made with another variant is not argon2id.
      {"hash-2.1", "$argon2i$" + good.substr(10), "Secret", false},
      {"hash-2.2", "$argon2d$" + good.substr(10), "Secret", false},
      {"hash-2.3", "$ARGON2ID$" + good.substr(10), "Secret", false},
      // Malformed: cut short, bad base64, parameters missing or out of range.
      {"hash-3.1", good.substr(0, good.size() - 10), "Secret", false},
      {"hash-3.2", "$argon2id$v=19$m=8,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$", "Secret", false},
      {"hash-3.3", "$argon2id$v=19$m=8,t=1,p=1$!!!!$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/j0bU",
       "Secret", false},
      {"hash-3.4", "$argon2id$v=19$t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/j0bU",
       "Secret", false},
      {"hash-3.5", "$argon2id$v=19$m=0,t=0,p=0$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/j0bU",
       "Secret", false},
      {"hash-3.6", "$argon2id$", "", false},
      {"hash-3.7", "$argon2id$v=19$m=99999999999,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/j0bU",
       "Secret", false},
      // A cost beyond what a login may spend is refused before any work.
      {"hash-3.8", "$argon2id$v=19$m=4194304,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/j0bU",
       "Secret", false},
      {"hash-3.9", good + std::string(1, '\0'), "Secret", false},
      // Plain text is not a hash at all.
      {"hash-4.1", "Secret", "Secret", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VerifyPasswordHash(c.stored, c.password), c.matches) << c.id;
  }
}

TEST(PasswordHash, OnlyValuesBeginningWithTheArgon2MarkAreHashes) {
  EXPECT_TRUE(IsPasswordHash(kSecretHash));
  EXPECT_TRUE(IsPasswordHash("$argon2i$whatever"));
  EXPECT_TRUE(IsPasswordHash("$argon2"));
  EXPECT_FALSE(IsPasswordHash("argon2id"));
  EXPECT_FALSE(IsPasswordHash(" $argon2id$"));
  EXPECT_FALSE(IsPasswordHash(""));
}

TEST(PasswordHash, ANewHashVerifiesItsOwnPasswordWithAFreshSalt) {
  const Argon2Cost cheap{1, 8, 1};
  std::string first = HashPassword("pässword", cheap);
  std::string second = HashPassword("pässword", cheap);
  EXPECT_EQ(first.rfind("$argon2id$v=19$m=8,t=1,p=1$", 0), 0u) << first;
  EXPECT_NE(first, second) << "each hash has its own salt";
  EXPECT_TRUE(VerifyPasswordHash(first, "pässword"));
  EXPECT_TRUE(VerifyPasswordHash(second, "pässword"));
  EXPECT_FALSE(VerifyPasswordHash(first, "PÄSSWORD"));
  EXPECT_FALSE(VerifyPasswordHash(first, "password"));
}

}  // namespace
}  // namespace tabrix
