// The login check: the visitor's name and password against the numbered
// user definitions in the settings. Names and passwords both match without
// regard to letter case; the first matching number wins. A stored password
// that is an argon2id hash is checked as one, and then the letter case of
// what was typed matters. A failed check that verified no hash while some
// user has one verifies a dummy hash of that cost, so a name that does not
// exist costs what a wrong password does and timing does not tell names.
#include <string>

#include "access/password_hash.h"
#include "component/numbered_settings.h"
#include "component/tabrix1.h"
#include "host/text/case_fold.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

// Whether a typed value equals a stored one, ignoring case. Null on either
// side never matches, as a comparison with Null is never true.
bool MatchesIgnoringCase(const Variant& typed, const Variant& stored) {
  if (typed.IsNull() || stored.IsNull()) return false;
  return text::FoldedCodePoints(ToText(typed)) == text::FoldedCodePoints(ToText(stored));
}

// Whether a typed password is the stored one: a stored hash is verified (a
// malformed one never matches; `*verified` is set); plain text is compared
// ignoring case.
bool PasswordMatches(const Variant& typed, const Variant& stored, bool* verified) {
  if (typed.IsNull() || stored.IsNull()) return false;
  std::string stored_text = ToText(stored);
  if (IsPasswordHash(stored_text)) {
    *verified = true;
    return VerifyPasswordHash(stored_text, ToText(typed));
  }
  return MatchesIgnoringCase(typed, stored);
}

}  // namespace

Variant Tabrix1::CheckLogin(const Variant& User, const Variant& Pass, const Variant& M1,
                            const Variant& M2) {
  Session& settings = SessionObject();
  bool verified = false;
  std::string some_hash;  // the cost a dummy verification spends
  for (long n = 1; n <= kMaxNumberedEntry; ++n) {
    std::string prefix = EntryKey("set_user", n);
    // Only a number that was never stored ends the list; "" does not.
    if (!settings.Contains(prefix + "_username")) break;
    Variant stored = Setting(prefix + "_password");
    if (some_hash.empty() && stored.IsString() && stored.string().rfind("$argon2id$", 0) == 0)
      some_hash = stored.string();
    if (!MatchesIgnoringCase(User, Setting(prefix + "_username")) ||
        !PasswordMatches(Pass, stored, &verified))
      continue;
    settings.SetValue("UserOk", Variant("yes"));
    settings.SetValue("UserId", Variant(n));
    std::string name = ConcatText(Setting(prefix + "_name"));
    settings.SetValue("msg", Variant(text::ReplaceIgnoringCase(ToText(M2), "#user#", name)));
    return Variant(true);
  }
  if (!verified && !some_hash.empty())
    VerifyDummyPasswordHash(some_hash, Pass.IsNull() ? std::string() : ToText(Pass));
  // A failed check leaves an earlier login as it was.
  settings.SetValue("msg", M1);
  return Variant(false);
}

}  // namespace tabrix
