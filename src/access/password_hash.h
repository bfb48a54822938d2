// Password hashes for the user definitions: a stored password may be an
// argon2id hash in the PHC string format
// ("$argon2id$v=19$m=65536,t=3,p=1$<salt>$<hash>", salt and hash in base64
// without padding) instead of the plain text.
//
// Threads: every function may run on any thread at once; nothing is shared.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabrix {

// The cost of a new hash: passes over memory, memory in KiB, lanes.
struct Argon2Cost {
  std::uint32_t passes = 3;
  std::uint32_t memory_kib = 64 * 1024;
  std::uint32_t lanes = 1;
};

// Whether a stored password is meant as a hash: it begins "$argon2" (any
// variant). Such a value is never compared as plain text.
bool IsPasswordHash(std::string_view stored);

// Whether `password` is the one `stored` was made from. False, never an
// error, for a value that is not a well-formed argon2id string (another
// variant such as "$argon2i$", bad base64, missing parts) and for one whose
// cost is beyond what a login may spend (over 1 GiB of memory, 100 passes
// or 64 lanes).
bool VerifyPasswordHash(std::string_view stored, std::string_view password);

// Spends on `password` the work of verifying it against a stored hash of
// the cost written in `like` (an argon2id string; the default cost when it
// is none or its cost is out of bounds), and discards the outcome: a login
// for a name that does not exist takes as long as one for a name that does.
void VerifyDummyPasswordHash(std::string_view like, std::string_view password);

// How many argon2id verifications this process has run, real or dummy
// (diagnostics and tests).
std::uint64_t PasswordHashVerifications();

// A new argon2id string for `password`, salted with 16 random bytes from
// the operating system. Raises std::runtime_error when no random bytes can
// be read or the cost is refused by the library.
std::string HashPassword(std::string_view password, const Argon2Cost& cost = {});

}  // namespace tabrix
