// UTF-8 helpers: character counts, padding, cutting, substrings and searches by character.
#include "framework/utf8.h"

namespace qern {

namespace {
inline bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

int Utf8Length(std::string_view s) {
  int n = 0;
  for (unsigned char c : s)
    if (!IsContinuation(c)) ++n;
  return n;
}

std::size_t Utf8CharBytes(std::string_view s, std::size_t i) {
  std::size_t j = i + 1;
  while (j < s.size() && IsContinuation(static_cast<unsigned char>(s[j]))) ++j;
  return j - i;
}

std::size_t Utf8ByteOffset(std::string_view s, std::size_t pos) {
  std::size_t i = 0;
  while (pos > 0 && i < s.size()) {
    i += Utf8CharBytes(s, i);
    --pos;
  }
  return i;
}

char32_t Utf8Next(std::string_view s, std::size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  int extra;
  char32_t cp;
  char32_t minimum;
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
    return 0xFFFD;
  }
  std::size_t j = i + 1;
  for (int k = 0; k < extra; ++k, ++j) {
    if (j >= s.size() || !IsContinuation(static_cast<unsigned char>(s[j]))) {
      i += 1;
      return 0xFFFD;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    i += 1;
    return 0xFFFD;
  }
  i = j;
  return cp;
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t start = i;
    char32_t c = Utf8Next(s, i);
    // U+FFFD decoded from anything but its own three bytes marks an error.
    if (c == 0xFFFD && i - start != 3) return false;
  }
  return true;
}

void Utf8Append(std::string& out, char32_t c) {
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

std::string Utf8PadRight(std::string_view s, int n, char fill) {
  std::string r(s);
  int len = Utf8Length(s);
  if (len < n) r.append(n - len, fill);
  return r;
}

std::string Utf8PadLeft(std::string_view s, int n, char fill) {
  int len = Utf8Length(s);
  std::string r;
  if (len < n) r.assign(n - len, fill);
  r += s;
  return r;
}

std::string Utf8Cut(std::string_view s, int n) {
  if (n <= 0) return {};
  return std::string(s.substr(0, Utf8ByteOffset(s, static_cast<std::size_t>(n))));
}

std::string Utf8Right(std::string_view s, int n) {
  int len = Utf8Length(s);
  if (n <= 0) return {};
  if (n >= len) return std::string(s);
  return std::string(s.substr(Utf8ByteOffset(s, static_cast<std::size_t>(len - n))));
}

std::string Utf8Substr(std::string_view s, std::size_t pos, std::size_t count) {
  std::size_t b = Utf8ByteOffset(s, pos);
  if (count == std::string::npos) return std::string(s.substr(b));
  std::string_view rest = s.substr(b);
  return std::string(rest.substr(0, Utf8ByteOffset(rest, count)));
}

std::string Utf8Copy(std::string_view s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0) return {};
  return Utf8Substr(s, static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

int Utf8Pos(std::string_view sub, std::string_view s, int from) {
  if (from < 1) from = 1;
  std::size_t start = Utf8ByteOffset(s, static_cast<std::size_t>(from - 1));
  if (sub.empty() || start > s.size()) return 0;
  std::size_t hit = s.find(sub, start);
  // A match must begin on a character boundary (a valid sub never starts mid-character).
  while (hit != std::string_view::npos && IsContinuation(static_cast<unsigned char>(s[hit])))
    hit = s.find(sub, hit + 1);
  if (hit == std::string_view::npos) return 0;
  return Utf8Length(s.substr(0, hit)) + 1;
}

}  // namespace qern
