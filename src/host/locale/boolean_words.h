// The words a locale reads as True and False.
//
// English "True" and "False" are read under every locale; a locale whose
// language has words of its own ("Wahr", "Falsch" in German) reads those
// too. The table is fixed at compile time and safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tabrix::regional {

struct BooleanWords {
  std::string true_word = "True";
  std::string false_word = "False";
};

// The words of ISO 639 `language` ("de"); English ones for a language
// without its own.
BooleanWords BooleanWordsFor(std::string_view language);

// True or False for "True", "False" or one of `words`, ignoring case and
// blanks around; nullopt for any other text (numbers included).
std::optional<bool> ParseBoolean(std::string_view text, const BooleanWords& words);

}  // namespace tabrix::regional
