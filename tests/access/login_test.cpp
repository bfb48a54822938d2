// The login check: numbered user definitions scanned until the first number
// never stored, names and passwords matched ignoring case, the welcome
// message, and a failed check that leaves an earlier login alone.
#include <gtest/gtest.h>

#include "access/password_hash.h"
#include "support/component_harness.h"

namespace tabrix {
namespace {

constexpr const char* kFailed = "Wrong name or password";
constexpr const char* kWelcome = "Welcome #user#!";

void DefineUser(testing::ComponentHarness& h, int n, Variant username, Variant password,
                const char* name = nullptr) {
  std::string prefix = "set_user" + std::to_string(n);
  h.Set(prefix + "_username", std::move(username));
  h.Set(prefix + "_password", std::move(password));
  if (name != nullptr) h.Set(prefix + "_name", Variant(name));
}

class LoginTest : public ::testing::Test {
 protected:
  void DefineUser(int n, Variant username, Variant password, const char* name = nullptr) {
    tabrix::DefineUser(h, n, std::move(username), std::move(password), name);
  }

  Variant Login(Variant user, Variant pass, Variant m2 = Variant(kWelcome)) {
    return h.object().CheckLogin(user, pass, Variant(kFailed), m2);
  }

  Variant Stored(const char* key) { return h.session().Value(key); }

  testing::ComponentHarness h;
};

struct LoginCase {
  const char* user;
  const char* pass;
  long expected_id;  // 0: the check fails
};

TEST(Login, FindsTheFirstMatchingUserUpToTheFirstMissingNumber) {
  const LoginCase cases[] = {
      {"alice", "Secret", 1},
      {"ALICE", "secret", 1},  // names and passwords ignore letter case
      {"Bob", "PW2", 2},
      {"şULE", "ĞüL", 3},      // non-ASCII letters fold too
      {"dave", "pw5", 0},      // 4 was never stored: number 5 is never reached
      {"alice", "wrong", 0},
      {"ali", "Secret", 0},    // whole names only
      {"alice", "", 0},
      {"", "", 0},
  };
  for (const auto& c : cases) {
    testing::ComponentHarness h;
    DefineUser(h, 1, Variant("Alice"), Variant("secret"), "Alice Smith");
    DefineUser(h, 2, Variant("bob"), Variant("pw2"), "Bob");
    DefineUser(h, 3, Variant("Şule"), Variant("ğül"), "Şule");
    DefineUser(h, 5, Variant("dave"), Variant("pw5"), "Dave");

    Variant result = h.object().CheckLogin(Variant(c.user), Variant(c.pass), Variant(kFailed),
                                           Variant(kWelcome));
    ASSERT_EQ(result.type(), VarType::Boolean) << c.user;
    EXPECT_EQ(result.boolean(), c.expected_id != 0) << c.user << " / " << c.pass;
    if (c.expected_id != 0) {
      EXPECT_EQ(h.session().Value("UserOk").string(), "yes");
      Variant id = h.session().Value("UserId");
      ASSERT_EQ(id.type(), VarType::Long) << "the number is stored as a number";
      EXPECT_EQ(id.long_value(), c.expected_id) << c.user;
    } else {
      EXPECT_FALSE(h.session().Contains("UserOk")) << c.user;
      EXPECT_FALSE(h.session().Contains("UserId")) << c.user;
      EXPECT_EQ(h.session().Value("msg").string(), kFailed) << c.user;
    }
  }
}

TEST_F(LoginTest, SameNameWithDifferentPasswordsLogsInAsEachNumber) {
  DefineUser(1, Variant("ops"), Variant("first"));
  DefineUser(2, Variant("ops"), Variant("second"));
  ASSERT_TRUE(Login(Variant("ops"), Variant("second")).boolean());
  EXPECT_EQ(Stored("UserId").long_value(), 2);
  ASSERT_TRUE(Login(Variant("ops"), Variant("first")).boolean());
  EXPECT_EQ(Stored("UserId").long_value(), 1);
}

TEST_F(LoginTest, AnEmptyLoginNameDoesNotEndTheListAndMatchesAnEmptyName) {
  DefineUser(1, Variant(""), Variant("guest"));
  DefineUser(2, Variant("carol"), Variant("pw"));
  ASSERT_TRUE(Login(Variant("carol"), Variant("pw")).boolean());
  EXPECT_EQ(Stored("UserId").long_value(), 2);
  ASSERT_TRUE(Login(Variant(""), Variant("GUEST")).boolean());
  EXPECT_EQ(Stored("UserId").long_value(), 1);
  // An unassigned value reads as "" too.
  ASSERT_TRUE(Login(Variant(), Variant("guest")).boolean());
  EXPECT_EQ(Stored("UserId").long_value(), 1);
}

TEST_F(LoginTest, NullNeverMatches) {
  DefineUser(1, Variant("nulpass"), Variant::Null());
  DefineUser(2, Variant::Null(), Variant("pw"));
  DefineUser(3, Variant("erin"), Variant("pw"));
  EXPECT_FALSE(Login(Variant("nulpass"), Variant("")).boolean());
  EXPECT_FALSE(Login(Variant("nulpass"), Variant::Null()).boolean());
  EXPECT_FALSE(Login(Variant::Null(), Variant("pw")).boolean());
  // A Null name does not end the list either.
  EXPECT_TRUE(Login(Variant("erin"), Variant("pw")).boolean());
  EXPECT_EQ(Stored("UserId").long_value(), 3);
}

TEST_F(LoginTest, WelcomeMessageNamesTheUserWhereverThePlaceholderStands) {
  const std::pair<const char*, const char*> cases[] = {
      {"Welcome #user#!", "Welcome Alice Smith!"},
      {"#USER#, hello #User# and #user#", "Alice Smith, hello Alice Smith and Alice Smith"},
      {"Welcome!", "Welcome!"},
      {"#user", "#user"},
      {"##user##", "#Alice Smith#"},
      {"", ""},
  };
  DefineUser(1, Variant("alice"), Variant("secret"), "Alice Smith");
  for (const auto& [m2, expected] : cases) {
    ASSERT_TRUE(Login(Variant("alice"), Variant("secret"), Variant(m2)).boolean());
    EXPECT_EQ(Stored("msg").string(), expected) << m2;
  }
}

TEST_F(LoginTest, AMissingDisplayNameLeavesTheGapEmpty) {
  DefineUser(1, Variant("frank"), Variant("pw"));
  ASSERT_TRUE(Login(Variant("frank"), Variant("pw")).boolean());
  EXPECT_EQ(Stored("msg").string(), "Welcome !");
}

TEST_F(LoginTest, AFailedCheckKeepsAnEarlierLoginAndStoresTheFailureMessageAsGiven) {
  DefineUser(1, Variant("alice"), Variant("secret"), "Alice");
  DefineUser(2, Variant("bob"), Variant("pw2"), "Bob");
  ASSERT_TRUE(Login(Variant("bob"), Variant("pw2")).boolean());

  Variant m1(42);
  Variant result = h.object().CheckLogin(Variant("bob"), Variant("nope"), m1, Variant(kWelcome));
  ASSERT_EQ(result.type(), VarType::Boolean);
  EXPECT_FALSE(result.boolean());
  EXPECT_EQ(Stored("UserOk").string(), "yes");
  EXPECT_EQ(Stored("UserId").long_value(), 2);
  EXPECT_TRUE(Stored("msg").Identical(m1)) << "the failure message is stored unchanged";
}

TEST_F(LoginTest, AHashedPasswordIsVerifiedAndKeepsItsLetterCase) {
  // libargon2's argon2id string for "Secret" (t=1, m=8 KiB, p=1).
  const char* hash =
      "$argon2id$v=19$m=8,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/"
      "j0bU";
  DefineUser(1, Variant("alice"), Variant(hash), "Alice");
  // The same hash text as another variant is no argon2id string: it never
  // matches, not even when the visitor types the stored text itself.
  DefineUser(2, Variant("bob"), Variant("$argon2i$" + std::string(hash).substr(10)), "Bob");
  DefineUser(3, Variant("carol"), Variant("$argon2id$broken"), "Carol");
  EXPECT_FALSE(Login(Variant("alice"), Variant("secret")).boolean());
  EXPECT_FALSE(Login(Variant("alice"), Variant(hash)).boolean());
  EXPECT_FALSE(Login(Variant("bob"), Variant("Secret")).boolean());
  EXPECT_FALSE(Login(Variant("bob"), Variant("$argon2i$" + std::string(hash).substr(10))).boolean());
  EXPECT_FALSE(Login(Variant("carol"), Variant("$argon2id$broken")).boolean());
  EXPECT_FALSE(Login(Variant("alice"), Variant::Null()).boolean());
  EXPECT_FALSE(h.session().Contains("UserOk"));

  ASSERT_TRUE(Login(Variant("ALICE"), Variant("Secret")).boolean()) << "the name still ignores case";
  EXPECT_EQ(Stored("UserId").long_value(), 1);
  EXPECT_EQ(Stored("msg").string(), "Welcome Alice!");
}

TEST(Login, AFailedCheckCostsOneVerificationWhetherOrNotTheNameExists) {
  // Argon2id strings for "Secret" at a small cost (t=1, m=8 KiB, p=1).
  const char* hash =
      "$argon2id$v=19$m=8,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$WljbYj8REtKBm5RL0C0TZFFv0b008LZLFVT0T5/"
      "j0bU";
  struct Case {
    const char* user;
    const char* pass;
    std::uint64_t verifications;
  };
  const Case cases[] = {
      {"alice", "wrong", 1},   // a hashed password
      {"nobody", "wrong", 1},  // no such name: a dummy of the same cost
      {"bob", "wrong", 1},     // a plain password: the dummy too
      {"bob", "pw", 0},        // a success need not hide
      {"", "", 1},
  };
  for (const Case& c : cases) {
    testing::ComponentHarness h;
    DefineUser(h, 1, Variant("alice"), Variant(hash), "Alice");
    DefineUser(h, 2, Variant("bob"), Variant("pw"), "Bob");
    std::uint64_t before = PasswordHashVerifications();
    h.object().CheckLogin(Variant(c.user), Variant(c.pass), Variant(kFailed), Variant(kWelcome));
    EXPECT_EQ(PasswordHashVerifications() - before, c.verifications) << c.user;
  }
  // A site without hashes has no hashing cost to hide.
  testing::ComponentHarness plain;
  DefineUser(plain, 1, Variant("bob"), Variant("pw"), "Bob");
  std::uint64_t before = PasswordHashVerifications();
  plain.object().CheckLogin(Variant("nobody"), Variant("x"), Variant(kFailed), Variant(kWelcome));
  EXPECT_EQ(PasswordHashVerifications(), before);
}

TEST_F(LoginTest, WithNoUsersEveryCheckFails) {
  EXPECT_FALSE(Login(Variant(""), Variant("")).boolean());
  EXPECT_EQ(Stored("msg").string(), kFailed);
}

TEST_F(LoginTest, FailsWithoutASession) {
  Tabrix1 object;
  try {
    object.CheckLogin(Variant("a"), Variant("b"), Variant(kFailed), Variant(kWelcome));
    FAIL() << "a check without a session must fail";
  } catch (const ScriptError& e) {
    EXPECT_EQ(e.number(), kErrObjectRequired);
  }
}

}  // namespace
}  // namespace tabrix
