#include "tools/man_page/markdown_roff.h"

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tabrix::man {

namespace {

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

std::string_view Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

size_t Indent(std::string_view line) {
  size_t n = line.find_first_not_of(' ');
  return n == std::string_view::npos ? line.size() : n;
}

bool IsPunctuation(char c) {
  return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
         (c >= '{' && c <= '~');
}

// The code point at `at` of UTF-8 `text`, and its length in bytes.
std::pair<char32_t, size_t> CodePointAt(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char first = byte(at);
  size_t length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3
                                   : (first >> 3) == 30 ? 4 : 0;
  if (length == 0 || at + length > text.size())
    throw std::runtime_error("the text is not UTF-8");
  char32_t cp = length == 1 ? first : first & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) throw std::runtime_error("the text is not UTF-8");
    cp = (cp << 6) | (byte(at + i) & 0x3F);
  }
  return {cp, length};
}

// Text as roff prints it: the escape character escaped, any character
// outside ASCII by its code, and in code a "-" as the minus sign that
// survives copying out of the page (a "-" of prose may print as a hyphen).
std::string Escaped(std::string_view text, bool code) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    auto [cp, length] = CodePointAt(text, i);
    i += length;
    if (cp == '\\') {
      out += "\\e";
    } else if (cp == '-' && code) {
      out += "\\-";
    } else if (cp >= 0x80) {
      char escape[16];
      std::snprintf(escape, sizeof escape, "\\[u%04X]", static_cast<unsigned>(cp));
      out += escape;
    } else {
      out += static_cast<char>(cp);
    }
  }
  return out;
}

// Each line of roff text made safe to start a line: a "." or "'" there
// would make it a request.
std::string LineSafe(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) out += "\\&";
    out += line;
    if (end == text.size()) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

// Inline markdown, as roff (`plain` false) or as the bare text.
class Inline {
 public:
  Inline(std::string_view text, bool plain) : text_(text), plain_(plain) {}

  std::string Run() {
    for (size_t i = 0; i < text_.size();) i = Step(i);
    while (!fonts_.empty()) Close();
    return out_;
  }

 private:
  size_t Step(size_t i) {
    char c = text_[i];
    if (link_ && i == link_->close) {
      // A web address stays readable after the link's text.
      if (!plain_ && link_->target.starts_with("http")) out_ += " <" + Escaped(link_->target, false) + ">";
      size_t after = link_->end;
      link_.reset();
      return after;
    }
    if (c == '\\' && i + 1 < text_.size() && IsPunctuation(text_[i + 1])) {
      Text(text_.substr(i + 1, 1), false);
      return i + 2;
    }
    if (c == '`') {
      size_t close = text_.find('`', i + 1);
      if (close != std::string_view::npos) {
        Code(text_.substr(i + 1, close - i - 1));
        return close + 1;
      }
    }
    if (text_.substr(i, 2) == "**") {
      if (Top() == 'B') {
        Close();
        return i + 2;
      }
      if (text_.find("**", i + 2) != std::string_view::npos) {
        Open('B');
        return i + 2;
      }
    } else if (c == '*') {
      if (Top() == 'I' && ClosesItalic(i)) {
        Close();
        return i + 1;
      }
      if (Top() != 'I' && OpensItalic(i)) {
        Open('I');
        return i + 1;
      }
    }
    if (c == '[' && !link_) {
      size_t close = text_.find(']', i + 1);
      if (close != std::string_view::npos && close + 1 < text_.size() && text_[close + 1] == '(') {
        size_t end = text_.find(')', close + 2);
        if (end != std::string_view::npos) {
          link_ = Link{close, end + 1, std::string(text_.substr(close + 2, end - close - 2))};
          return i + 1;
        }
      }
    }
    auto [cp, length] = CodePointAt(text_, i);
    Text(text_.substr(i, length), false);
    return i + length;
  }

  // A "*" opens italic after a blank (or at the start) before a letter or
  // digit, and only when one closes it later; it closes after a character
  // that is not a blank and before one that is not a letter or digit. So
  // "*.field" and "2*3" are text.
  bool OpensItalic(size_t i) const {
    bool after_blank = i == 0 || text_[i - 1] == ' ' || text_[i - 1] == '(' || text_[i - 1] == '\n';
    if (!after_blank || i + 1 >= text_.size() || !IsAlphanumeric(text_[i + 1])) return false;
    for (size_t j = text_.find('*', i + 2); j != std::string_view::npos; j = text_.find('*', j + 1))
      if (ClosesItalic(j)) return true;
    return false;
  }
  bool ClosesItalic(size_t i) const {
    return i > 0 && text_[i - 1] != ' ' && text_[i - 1] != '*' &&
           (i + 1 == text_.size() || !IsAlphanumeric(text_[i + 1]));
  }
  static bool IsAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  }

  void Text(std::string_view text, bool code) {
    if (plain_) out_ += text;
    else out_ += Escaped(text, code);
  }

  // Code is bold.
  void Code(std::string_view code) {
    if (!plain_) out_ += "\\fB";
    Text(code, true);
    if (!plain_) out_ += std::string("\\f") + Top();
  }

  char Top() const { return fonts_.empty() ? 'R' : fonts_.back(); }
  void Open(char font) {
    fonts_.push_back(font);
    if (!plain_) out_ += std::string("\\f") + font;
  }
  void Close() {
    fonts_.pop_back();
    if (!plain_) out_ += std::string("\\f") + Top();
  }

  struct Link {
    size_t close;  // the "]"
    size_t end;    // just after the ")"
    std::string target;
  };

  std::string_view text_;
  bool plain_;
  std::string out_;
  std::vector<char> fonts_;
  std::optional<Link> link_;
};

bool IsFence(std::string_view line) { return Trimmed(line).starts_with("```"); }
bool IsTableRow(std::string_view line) { return Trimmed(line).starts_with("|"); }

int HeadingLevel(std::string_view line) {
  size_t hashes = line.find_first_not_of('#');
  if (hashes == 0 || hashes > 6 || hashes == std::string_view::npos || line[hashes] != ' ')
    return 0;
  return static_cast<int>(hashes);
}

// A list item's marker at the start of `line` after its indent: "- ",
// "* " or "N. "; its length, or 0.
size_t MarkerLength(std::string_view line) {
  std::string_view rest = line.substr(Indent(line));
  if (rest.starts_with("- ") || rest.starts_with("* ")) return 2;
  size_t digits = rest.find_first_not_of("0123456789");
  if (digits > 0 && digits != std::string_view::npos && rest.substr(digits, 2) == ". ")
    return digits + 2;
  return 0;
}

std::vector<std::string_view> CellsOf(std::string_view row) {
  std::string_view inner = Trimmed(row);
  inner.remove_prefix(1);
  if (inner.ends_with("|") && !inner.ends_with("\\|")) inner.remove_suffix(1);
  std::vector<std::string_view> cells;
  size_t start = 0;
  bool in_code = false;
  for (size_t i = 0; i <= inner.size(); ++i) {
    if (i < inner.size() && inner[i] == '`') in_code = !in_code;
    bool split = i == inner.size() ||
                 (inner[i] == '|' && !in_code && (i == 0 || inner[i - 1] != '\\'));
    if (!split) continue;
    cells.push_back(Trimmed(inner.substr(start, i - start)));
    start = i + 1;
  }
  return cells;
}

class Converter {
 public:
  explicit Converter(std::string_view markdown) {
    size_t start = 0;
    while (start < markdown.size()) {
      size_t end = markdown.find('\n', start);
      if (end == std::string_view::npos) end = markdown.size();
      std::string_view line = markdown.substr(start, end - start);
      if (line.ends_with('\r')) line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  std::string Run() {
    size_t i = 0;
    while (i < lines_.size()) {
      std::string_view line = lines_[i];
      if (IsBlank(line)) {
        ++i;
      } else if (IsFence(line)) {
        i = CodeBlock(i);
      } else if (int level = HeadingLevel(line)) {
        Heading(level, line.substr(static_cast<size_t>(level) + 1));
        ++i;
      } else if (IsTableRow(line)) {
        i = Table(i);
      } else if (MarkerLength(line) > 0) {
        i = List(i, Indent(line));
      } else {
        i = Paragraph(i);
      }
    }
    CloseEntry();
    return out_;
  }

 private:
  [[noreturn]] void Fail(size_t line, const std::string& why) const {
    throw std::runtime_error("line " + std::to_string(line + 1) + ": " + why);
  }

  // Whether `line` starts a block other than running text.
  static bool StartsBlock(std::string_view line) {
    return IsFence(line) || HeadingLevel(line) > 0 || IsTableRow(line) || MarkerLength(line) > 0;
  }

  void Heading(int level, std::string_view text) {
    std::string plain = PlainText(Trimmed(text));
    if (level <= 3) CloseEntry();
    if (level == 1) {
      std::string upper;
      for (char c : plain) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
      section_ = upper;
      out_ += ".SH " + Escaped(upper, true) + "\n";
    } else if (level == 2) {
      out_ += ".SS " + Escaped(plain, true) + "\n";
    } else {
      out_ += ".PP\n" + LineSafe("\\fB" + Escaped(plain, true) + "\\fR") + "\n";
      if (level == 3) {
        out_ += ".RS 4\n";
        entry_open_ = true;
      }
    }
  }

  void CloseEntry() {
    if (entry_open_) out_ += ".RE\n";
    entry_open_ = false;
  }

  // Filled text of the lines' inline markdown, one output line per line.
  std::string Filled(const std::vector<std::string_view>& lines) const {
    std::string joined;
    for (std::string_view line : lines) joined += (joined.empty() ? "" : "\n") + std::string(Trimmed(line));
    std::string roff = InlineToRoff(joined);
    // The NAME line's dash is the one a page index looks for.
    if (section_ == "NAME") {
      size_t dash = roff.find(" - ");
      if (dash != std::string::npos) roff.replace(dash, 3, " \\- ");
    }
    return LineSafe(roff) + "\n";
  }

  size_t Paragraph(size_t i) {
    std::vector<std::string_view> lines;
    while (i < lines_.size() && !IsBlank(lines_[i]) && (lines.empty() || !StartsBlock(lines_[i])))
      lines.push_back(lines_[i++]);
    out_ += ".PP\n" + Filled(lines);
    return i;
  }

  size_t CodeBlock(size_t i) {
    size_t opened = i++;
    out_ += ".PP\n.RS 4\n.nf\n";
    while (i < lines_.size() && !IsFence(lines_[i])) {
      std::string_view line = lines_[i++];
      out_ += line.empty() ? "\\&" : LineSafe(Escaped(line, true));
      out_ += "\n";
    }
    if (i == lines_.size()) Fail(opened, "the code block is never closed");
    out_ += ".fi\n.RE\n";
    return i + 1;
  }

  size_t Table(size_t i) {
    size_t first = i;
    std::vector<std::vector<std::string_view>> rows;
    while (i < lines_.size() && IsTableRow(lines_[i])) rows.push_back(CellsOf(lines_[i++]));
    if (rows.size() < 2 || rows[1].empty() ||
        rows[1][0].find_first_not_of("-: ") != std::string_view::npos)
      Fail(first, "a table needs a header row and a \"|---|\" row");
    const std::vector<std::string_view>& header = rows[0];
    for (size_t r = 1; r < rows.size(); ++r) {
      if (rows[r].size() != header.size())
        Fail(first + r, "the row has " + std::to_string(rows[r].size()) + " cells, its header " +
                            std::to_string(header.size()));
      if (r == 1) continue;
      out_ += ".TP 4\n" + LineSafe(InlineToRoff(rows[r][0])) + "\n";
      for (size_t c = 1; c < header.size(); ++c) {
        std::string cell = InlineToRoff(rows[r][c]);
        if (header.size() > 2) cell = InlineToRoff(header[c]) + ": " + cell;
        if (c > 1) out_ += ".br\n";
        out_ += LineSafe(cell) + "\n";
      }
    }
    return i;
  }

  // A list whose markers stand `indent` spaces in. A line further in
  // after a blank line continues the item above, as a paragraph or a list
  // of its own.
  size_t List(size_t i, size_t indent) {
    std::string width = "2";  // the indent of the current item's text
    while (i < lines_.size()) {
      std::string_view line = lines_[i];
      if (IsBlank(line)) {
        size_t next = i;
        while (next < lines_.size() && IsBlank(lines_[next])) ++next;
        if (next == lines_.size() || Indent(lines_[next]) < indent ||
            (Indent(lines_[next]) == indent && MarkerLength(lines_[next]) == 0))
          return next;
        i = next;
        if (Indent(lines_[i]) > indent && MarkerLength(lines_[i]) == 0)
          i = ItemText(i, ".IP\n", 0);
        continue;
      }
      size_t marker = MarkerLength(line);
      if (marker == 0 || Indent(line) < indent || IsFence(line) || HeadingLevel(line) > 0)
        return i;
      if (Indent(line) > indent) {
        out_ += ".RS " + width + "\n";
        i = List(i, Indent(line));
        out_ += ".RE\n";
        continue;
      }
      std::string_view mark = Trimmed(line.substr(indent, marker));
      bool bullet = mark == "-" || mark == "*";
      width = bullet ? "2" : "4";
      i = ItemText(i, bullet ? ".IP \\(bu 2\n" : ".IP " + std::string(mark) + " 4\n",
                   indent + marker);
    }
    return i;
  }

  // An item's text from line `i` (its first line from byte `cut`): lines up
  // to a blank line, another item or another block.
  size_t ItemText(size_t i, const std::string& tag, size_t cut) {
    std::vector<std::string_view> lines{lines_[i].substr(std::min(cut, lines_[i].size()))};
    ++i;
    while (i < lines_.size() && !IsBlank(lines_[i]) && !StartsBlock(lines_[i]))
      lines.push_back(lines_[i++]);
    out_ += tag + Filled(lines);
    return i;
  }

  std::vector<std::string_view> lines_;
  std::string out_;
  std::string section_;
  bool entry_open_ = false;
};

}  // namespace

std::string TitleLine(std::string_view name, std::string_view section, std::string_view source,
                      std::string_view manual) {
  auto quoted = [](std::string_view text) { return "\"" + Escaped(text, false) + "\""; };
  return ".TH " + Escaped(name, false) + " " + Escaped(section, false) + " \"\" " + quoted(source) +
         " " + quoted(manual) + "\n";
}

std::string MarkdownToRoff(std::string_view markdown) { return Converter(markdown).Run(); }

std::string InlineToRoff(std::string_view text) { return Inline(text, false).Run(); }

std::string PlainText(std::string_view text) { return Inline(text, true).Run(); }

}  // namespace tabrix::man
