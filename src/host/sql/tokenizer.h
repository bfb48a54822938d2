// The SQL tokenizer shared by every dialect rewrite and query analysis.
//
// Tokenize() cuts SQL text into tokens that, joined in order, give back the
// input byte for byte: nothing is dropped or normalised, so a rewrite can
// change the tokens it cares about and pass every other byte through. It
// knows string literals ('' doubles an apostrophe), "quoted", [bracketed]
// and `backticked` names, line and block comments, numbers, parameters and
// operators. Unterminated literals, names and comments run to the end of the
// text. Bytes of 0x80 and above count as letters, so UTF-8 names stay whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::sql {

enum class TokenKind {
  kSpace,         // blanks, tabs, line breaks
  kComment,       // -- to the end of the line, or /* ... */
  kWord,          // keyword or bare name
  kQuotedName,    // "name"
  kBracketName,   // [name]
  kBacktickName,  // `name`
  kString,        // 'text'
  kNumber,        // 12, 1.5, .5, 1e3, 0x1F
  kParameter,     // ?, ?1, :name, @name, $name
  kPunct,         // operators and punctuation, one token per operator
};

struct Token {
  TokenKind kind;
  std::string_view text;  // a view into the tokenized input
};

// Splits `sql` into tokens; the views point into `sql`.
std::vector<Token> Tokenize(std::string_view sql);

// Whether the token is a comment or white space.
bool IsTrivia(const Token& token);
// Whether `token` is the word `word`, ignoring ASCII letter case.
bool IsWord(const Token& token, std::string_view word);
// Whether `token` is the punctuation `punct`.
bool IsPunct(const Token& token, std::string_view punct);

// Whether a string, quoted, bracketed or backticked token has its closing
// quote.
bool IsTerminated(const Token& token);
// The text between the quotes of a literal or quoted name, without the
// closing quote when it is missing; escapes are kept as written.
std::string_view InnerText(const Token& token);
// The name a quoted, bracketed or backticked token stands for, escapes
// undone ("a""b" and [a]]b] give a"b and a]b); a word as written.
std::string NameText(const Token& token);

}  // namespace tabrix::sql
