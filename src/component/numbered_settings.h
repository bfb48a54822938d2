// Numbered definition lists in the session settings ("set_relation1",
// "set_select2", "set_action3", "set_user4_username", ...).
//
// A list runs from number 1 upwards and ends at the first key that was never
// stored; a key holding "" does not end it. Each entry is one text split at
// every comma, nothing trimmed. Positions an entry lacks are subscript
// errors (9) whose description names the key.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "component/tabrix1.h"

namespace tabrix {

// No list is read past this number.
inline constexpr long kMaxNumberedEntry = 10000;

// The key of entry `n` of the list named `prefix` ("set_relation" + n).
std::string EntryKey(std::string_view prefix, long n);

// Whether entry `n` exists: its key was stored in the Session.
bool EntryExists(const Tabrix1& object, std::string_view prefix, long n);

// The positions of entry `n`; a Null value raises 94.
std::vector<std::string> EntryPositions(const Tabrix1& object, std::string_view prefix, long n);

// Entry `n` (1 or more) as EntryExists and EntryPositions read it, with
// the same errors, but split only when its text is not the one split at
// the last read: null when the entry does not exist. The entry stays valid
// until the next read of the same entry.
NumberedEntryMemo* FindEntry(Tabrix1& object, std::string_view prefix, long n);
// As EntryPositions (no check that the entry exists), split only when its
// text changed since the last read of the entry.
NumberedEntryMemo& ReadEntry(Tabrix1& object, std::string_view prefix, long n);
// The first position of `entry` split at "."; error 9 naming the entry's
// key when it has no first position.
const std::vector<std::string>& DottedFirstPosition(NumberedEntryMemo& entry,
                                                    std::string_view what);

// positions[index], or error 9 naming `key` and what the position holds.
const std::string& RequirePosition(const std::vector<std::string>& positions, size_t index,
                                   const std::string& key, std::string_view what);

}  // namespace tabrix
