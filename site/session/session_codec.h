// The bytes a session's values are kept as outside the process (a row of
// the site's database), so that every server of the site sees one session.
//
// Only what a session holds of its own is kept (Session::OwnEntries): the
// site's settings are the site's, read through, never stored with a session.
//
// Version 2, every number little-endian:
//   "TBS" 0x02, then a varint count of entries, then per entry a varint
//   length and the key's bytes, one byte saying what the entry is (0 a value
//   stored during the session, 1 a value stored again after the site's key
//   was removed, 2 removed: it hides the site's value), then for 0 and 1 its
//   value: one tag byte and
//     Empty 0, Null 1                      nothing more
//     Boolean 2                            one byte, 0 or 1
//     Long 3, Currency 5                   8 bytes (the scaled value for Currency)
//     Double 4, Date 7                     8 bytes, the IEEE bits (exact)
//     Decimal 6                            8 low + 4 high bytes, scale, sign
//     String 8, Binary 9                   varint length, the bytes
//     Array 10                             varint count, the items
//     kept in the process 11               nothing more
// A value holding an object (or an array holding one) cannot leave the
// process: it is written as "kept in the process" and read back from the
// session this process already holds under that key, when it holds an object
// there; otherwise the key is left out, as if the session had not kept it
// (and a server that did not hold the object writes the session back
// without that key: the object is rebuilt where it is needed next).
// Entries keep the session's order and the case of their keys. Version 1
// (which held a copy of the whole configuration) is not read; the database
// store deletes such rows at start (its setup names the mark "TBS" 0x02).
//
// Decoding checks every length against the bytes there are: a truncated,
// padded, foreign or newer text raises SessionCodecError, never reads past
// the end. Both functions are pure: any thread may call them at once.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/session.h"

namespace tabrix::site {

class SessionCodecError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The session's own values in the format above.
std::string EncodeSession(const Session& session);

// A new session over the site's settings `site` (may be null) holding the
// values of `bytes`; an entry kept in the process takes its object from
// `local` (may be null). Raises SessionCodecError.
std::shared_ptr<Session> DecodeSession(std::string_view bytes, const Session* local,
                                       std::shared_ptr<const Session> site = nullptr);

}  // namespace tabrix::site
