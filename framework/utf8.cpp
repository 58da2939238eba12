// UTF-8 helpers: character counts, padding, cutting, substrings and searches by character.
#include "framework/utf8.h"

namespace qern {

int Utf8Length(std::string_view s) {
  int n = 0;
  for (std::size_t i = 0; i < s.size(); i += Utf8CharBytes(s, i)) ++n;
  return n;
}

std::size_t Utf8CharBytes(std::string_view s, std::size_t i) {
  std::size_t j = i + 1;
  while (j < s.size() && IsUtf8Continuation(static_cast<unsigned char>(s[j]))) ++j;
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
  char32_t c = DecodeUtf8(s, i);
  return c == Utf8Malformed ? 0xFFFD : c;
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
  while (hit != std::string_view::npos && IsUtf8Continuation(static_cast<unsigned char>(s[hit])))
    hit = s.find(sub, hit + 1);
  if (hit == std::string_view::npos) return 0;
  return Utf8Length(s.substr(0, hit)) + 1;
}

}  // namespace qern
