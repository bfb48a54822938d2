// Table codes and the string cipher. Both work on the Windows-1252 code of
// each character, position by position; the key repeats over the text.
// DistinctCodes (table_codes.h) keeps the codes of one menu apart.
//
// A character outside the code page has no code: EnCr, which is one-way,
// takes it as "?" (as the code page's best-fit conversion does), while
// szEncryptDecrypt refuses such a text (error 5) so that it stays
// reversible. Key characters outside the code page are taken as "?" in
// both, which keeps the cipher symmetric.
#include "values/table_codes.h"

#include <string>
#include <unordered_set>

#include "component/tabrix1.h"
#include "host/text/utf8.h"
#include "host/text/windows1252.h"
#include "host/variant_ops.h"

namespace tabrix {

namespace {

constexpr std::string_view kCodeAlphabet = "ABCDEFGHIJKLMNOPRSTUVYZ0123456789";
constexpr unsigned char kUnmappable = '?';

// The code-page codes of the key; an empty key cannot make a key stream.
std::u32string KeyCodes(const Variant& key) {
  std::u32string codes = text::Decode(ConcatText(key));
  if (codes.empty()) RaiseError(kErrDivisionByZero, "the key is empty");
  for (char32_t& c : codes) c = text::CodePointToWindows1252(c).value_or(kUnmappable);
  return codes;
}

std::u32string DataCodePoints(const Variant& data) {
  if (data.IsNull()) RaiseError(kErrInvalidNull);
  return text::Decode(ToText(data));
}

}  // namespace

Variant Tabrix1::EnCr(const Variant& szData) {
  std::u32string key = KeyCodes(Setting("set_encryptkey"));
  std::u32string data = DataCodePoints(szData);
  std::string code;
  code.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    unsigned a = text::CodePointToWindows1252(data[i]).value_or(kUnmappable);
    unsigned b = key[i % key.size()];
    code += kCodeAlphabet[((a + b) / 2) % kCodeAlphabet.size()];
  }
  return Variant(code);
}

Variant Tabrix1::szEncryptDecrypt(const Variant& szData) {
  std::u32string key = KeyCodes(Setting("set_projectname"));
  std::u32string data = DataCodePoints(szData);
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    auto a = text::CodePointToWindows1252(data[i]);
    if (!a) {
      RaiseError(kErrInvalidArgument,
                 "the text holds a character outside the Windows-1252 code page at position " +
                     std::to_string(i + 1));
    }
    unsigned char x = static_cast<unsigned char>(*a ^ key[i % key.size()]);
    text::AppendCodePoint(out, text::Windows1252ToCodePoint(x));
  }
  return Variant(out);
}

namespace values {

namespace {

// The n-th suffix, counting from 0: "A" to "9", then "AA", "AB", ... (the
// alphabet as digits of a numbering without a zero).
std::string Suffix(std::size_t n) {
  std::string suffix;
  for (std::size_t rest = n + 1; rest > 0; rest = (rest - 1) / kCodeAlphabet.size())
    suffix.insert(suffix.begin(), kCodeAlphabet[(rest - 1) % kCodeAlphabet.size()]);
  return suffix;
}

}  // namespace

std::vector<std::string> DistinctCodes(const std::vector<std::string>& codes) {
  // Every code of the menu is taken: a suffixed code may not become the code
  // of a table further down, whose own code must stay as it is.
  std::unordered_set<std::string> taken(codes.begin(), codes.end());
  std::unordered_set<std::string> given;
  std::vector<std::string> distinct;
  distinct.reserve(codes.size());
  for (const std::string& code : codes) {
    std::string chosen = code;
    if (given.contains(code)) {
      // At most 2 * codes.size() codes are taken, so this ends within as
      // many tries plus one.
      for (std::size_t n = 0;; ++n) {
        chosen = code + Suffix(n);
        if (!taken.contains(chosen)) break;
      }
      taken.insert(chosen);
    }
    given.insert(chosen);
    distinct.push_back(std::move(chosen));
  }
  return distinct;
}

}  // namespace values

}  // namespace tabrix
