#include "host/text/utf8.h"

namespace tabrix::text {

namespace {

// Length of the sequence starting at s[i] and its code point; 0 when invalid.
size_t DecodeOne(std::string_view s, size_t i, char32_t& cp) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t n;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    n = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  char32_t cp;
  for (size_t i = 0; i < bytes.size();) {
    size_t n = DecodeOne(bytes, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = DecodeOne(s, i, cp);
    if (n == 0) {
      out += U'\uFFFD';
      ++i;
    } else {
      out += cp;
      i += n;
    }
  }
  return out;
}

void AppendCodePoint(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Encode(std::u32string_view cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps) AppendCodePoint(out, cp);
  return out;
}

size_t Length(std::string_view s) {
  size_t n = 0;
  char32_t cp;
  for (size_t i = 0; i < s.size(); ++n) {
    size_t k = DecodeOne(s, i, cp);
    i += k == 0 ? 1 : k;
  }
  return n;
}

size_t ByteOffset(std::string_view s, size_t index) {
  size_t i = 0;
  char32_t cp;
  for (size_t n = 0; n < index && i < s.size(); ++n) {
    size_t k = DecodeOne(s, i, cp);
    i += k == 0 ? 1 : k;
  }
  return i;
}

std::string Mid(std::string_view s, size_t start, size_t count) {
  size_t from = ByteOffset(s, start);
  if (count == std::string::npos) return std::string(s.substr(from));
  size_t to = from + ByteOffset(s.substr(from), count);
  return std::string(s.substr(from, to - from));
}

}  // namespace tabrix::text
