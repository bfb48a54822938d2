#include "host/locale/boolean_words.h"

#include "host/locale/locale.h"

namespace tabrix::regional {

namespace {

struct LanguageWords {
  std::string_view language, true_word, false_word;
};

// True and False in the languages that name them in words of their own.
constexpr LanguageWords kWords[] = {
    {"cs", "Pravda", "Nepravda"},
    {"da", "Sand", "Falsk"},
    {"de", "Wahr", "Falsch"},
    {"es", "Verdadero", "Falso"},
    {"fi", "Tosi", "Ep\xC3\xA4tosi"},
    {"fr", "Vrai", "Faux"},
    {"hu", "Igaz", "Hamis"},
    {"it", "Vero", "Falso"},
    {"nb", "Sann", "Usann"},
    {"nl", "Waar", "Onwaar"},
    {"no", "Sann", "Usann"},
    {"pl", "Prawda", "Fa\xC5\x82sz"},
    {"pt", "Verdadeiro", "Falso"},
    {"ru", "\xD0\x98\xD1\x81\xD1\x82\xD0\xB8\xD0\xBD\xD0\xB0", "\xD0\x9B\xD0\xBE\xD0\xB6\xD1\x8C"},
    {"sv", "Sant", "Falskt"},
    {"tr", "Do\xC4\x9Fru", "Yanl\xC4\xB1\xC5\x9F"},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

BooleanWords BooleanWordsFor(std::string_view language) {
  for (const LanguageWords& w : kWords)
    if (w.language == language) return {std::string(w.true_word), std::string(w.false_word)};
  return {};
}

std::optional<bool> ParseBoolean(std::string_view text, const BooleanWords& words) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (EqualsIgnoreCase(text, "True") || EqualsIgnoreCase(text, words.true_word)) return true;
  if (EqualsIgnoreCase(text, "False") || EqualsIgnoreCase(text, words.false_word)) return false;
  return std::nullopt;
}

}  // namespace tabrix::regional
