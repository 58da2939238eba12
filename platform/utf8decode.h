// The one UTF-8 decoder and encoder of the program, shared by the code-page conversions and
// the framework's character helpers (framework/utf8.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qern {

// What DecodeUtf8 gives for a malformed sequence.
inline constexpr char32_t Utf8Malformed = 0xFFFFFFFF;

inline bool IsUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes the character at byte i and advances i past it. A malformed sequence (stray or
// cut-short bytes, overlong forms, surrogates, values above U+10FFFF) gives Utf8Malformed
// and advances one byte.
inline char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  int extra;
  char32_t cp, minimum;
  if (c < 0x80) {
    ++i;
    return c;
  } else if ((c & 0xE0) == 0xC0) {
    extra = 1, cp = c & 0x1F, minimum = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, cp = c & 0x0F, minimum = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, cp = c & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return Utf8Malformed;
  }
  std::size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= s.size() || !IsUtf8Continuation(static_cast<unsigned char>(s[j]))) {
      ++i;
      return Utf8Malformed;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return Utf8Malformed;
  }
  i = j;
  return cp;
}

// Appends the UTF-8 form of code point c.
inline void EncodeUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// True when s is well-formed UTF-8.
inline bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();)
    if (DecodeUtf8(s, i) == Utf8Malformed) return false;
  return true;
}

}  // namespace qern
