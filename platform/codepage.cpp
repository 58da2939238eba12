// Code pages at file boundaries: CP850 and Windows-1252 tables, conversions to and from UTF-8
// with best-fit replacements, and the decoding of text-file lines.
#include "platform/codepage.h"

#include <unordered_map>

#include "platform/utf8decode.h"

namespace qern {

namespace {

// Bytes 0x80..0xFF of each page; below 0x80 both are ASCII.
// Code page 850 (DOS Latin-1), box-drawing characters from 0xB0 on.
constexpr char32_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// Windows-1252; the five unassigned bytes (81 8D 8F 90 9D) keep their C1 code points.
constexpr char32_t kCp1252High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,  // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,  // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,  // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // C8
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,  // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,  // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,  // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,  // E8
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,  // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,  // F8
};

constexpr std::array<char32_t, 256> FullTable(const char32_t (&high)[128]) {
  std::array<char32_t, 256> t{};
  for (int b = 0; b < 128; ++b) {
    t[b] = static_cast<char32_t>(b);
    t[b + 128] = high[b];
  }
  return t;
}

}  // namespace

const std::array<char32_t, 256> Cp850ToUnicode = FullTable(kCp850High);
const std::array<char32_t, 256> Cp1252ToUnicode = FullTable(kCp1252High);

namespace {

std::string ToUtf8(std::string_view bytes, const std::array<char32_t, 256>& table) {
  std::string r;
  r.reserve(bytes.size() + bytes.size() / 4);
  for (unsigned char b : bytes) EncodeUtf8(r, table[b]);
  return r;
}

using ReverseTable = std::unordered_map<char32_t, unsigned char>;

ReverseTable MakeReverse(const std::array<char32_t, 256>& table) {
  ReverseTable m;
  for (int b = 0; b < 256; ++b) m.emplace(table[b], static_cast<unsigned char>(b));
  return m;
}

// Base letters of U+0100..U+017F (Latin Extended-A), for letters a code page lacks.
constexpr std::u32string_view kLatinExtA =
    U"AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlL"
    U"lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
static_assert(kLatinExtA.size() == 128);

// Stand-in text for a character the target page lacks; it may itself hold letters that only
// one of the pages has (it is mapped again, with '?' as the last resort).
std::u32string BestFit(char32_t c) {
  if (char a = BoxDrawingToAscii(c)) return std::u32string(1, a);
  switch (c) {
    case 0x0152: return U"OE";
    case 0x0153: return U"oe";
    case 0x0132: return U"IJ";
    case 0x0133: return U"ij";
    case 0x20AC: return U"EUR";
    case 0x2122: return U"TM";
    case 0x2030: return U"%";
    case 0x2026: return U"...";
    case 0x201A: return U",";
    case 0x201E: case 0x201C: case 0x201D: case 0x2033: return U"\"";
    case 0x2018: case 0x2019: case 0x2032: return U"'";
    case 0x2020: case 0x2021: return U"+";
    case 0x02C6: return U"^";
    case 0x02DC: return U"~";
    case 0x2039: return U"<";
    case 0x203A: return U">";
    case 0x2022: return U"*";
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015:
    case 0x2212: return U"-";
    case 0x2017: return U"_";
    case 0x0192: return U"f";
    case 0x0131: return U"i";
    case 0x03BC: return U"\u00B5";  // Greek mu as micro sign
    case 0x2264: return U"<=";
    case 0x2265: return U">=";
    case 0x2248: return U"~";
    case 0x2591: case 0x2592: case 0x2593: case 0x2588: case 0x2584: case 0x2580:
    case 0x25A0: return U"#";
    default: break;
  }
  if (c >= 0x0100 && c <= 0x017F) return std::u32string(1, kLatinExtA[c - 0x0100]);
  return U"?";
}

std::string FromUtf8(std::string_view s, const ReverseTable& rev, bool bestFit = true) {
  std::string r;
  r.reserve(s.size());
  auto put = [&](char32_t c) {
    auto it = rev.find(c);
    if (it != rev.end()) {
      r += static_cast<char>(it->second);
      return true;
    }
    return false;
  };
  for (std::size_t i = 0; i < s.size();) {
    char32_t c = DecodeUtf8(s, i);
    if (c == Utf8Malformed) {
      r += '?';
      continue;
    }
    if (put(c)) continue;
    if (!bestFit) {
      r += '?';
      continue;
    }
    for (char32_t f : BestFit(c))
      if (!put(f)) r += '?';
  }
  return r;
}

const ReverseTable& Reverse850() {
  static const ReverseTable t = MakeReverse(Cp850ToUnicode);
  return t;
}

const ReverseTable& Reverse1252() {
  static const ReverseTable t = MakeReverse(Cp1252ToUnicode);
  return t;
}

}  // namespace

char BoxDrawingToAscii(char32_t c) {
  if (c < 0x2500 || c > 0x257F) return 0;
  switch (c) {
    case U'─': case U'━': case U'═': case U'┄': case U'┅': case U'┈': case U'┉':
    case U'╌': case U'╍': case U'╴': case U'╶': case U'╸': case U'╺': case U'╼': case U'╾':
      return '-';
    case U'│': case U'┃': case U'║': case U'┆': case U'┇': case U'┊': case U'┋':
    case U'╎': case U'╏': case U'╵': case U'╷': case U'╹': case U'╻': case U'╽': case U'╿':
    case U'┤': case U'├': case U'┼': case U'╡': case U'╢': case U'╣': case U'╞': case U'╟':
    case U'╠': case U'╤': case U'╫':
      return '|';
    default:
      return '+';  // corners and the remaining junctions
  }
}

std::string Cp850ToUtf8(std::string_view bytes) { return ToUtf8(bytes, Cp850ToUnicode); }

std::string Cp1252ToUtf8(std::string_view bytes) { return ToUtf8(bytes, Cp1252ToUnicode); }

std::string Utf8ToCp850(std::string_view utf8) { return FromUtf8(utf8, Reverse850()); }

std::string Utf8ToCp850Bytes(std::string_view utf8) { return FromUtf8(utf8, Reverse850(), false); }

std::string Utf8ToCp1252(std::string_view utf8) { return FromUtf8(utf8, Reverse1252()); }

std::string DecodeTextLine(std::string_view line, LegacyCodePage page) {
  if (IsValidUtf8(line)) {
    if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    return std::string(line);
  }
  return page == LegacyCodePage::Oem850 ? Cp850ToUtf8(line) : Cp1252ToUtf8(line);
}

std::string EncodeCp850Line(std::string_view utf8) {
  const ReverseTable& rev = Reverse850();
  std::string bytes;
  bytes.reserve(utf8.size());
  bool high = false;
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    auto it = c == Utf8Malformed ? rev.end() : rev.find(c);
    if (it == rev.end()) return std::string(utf8);
    high = high || it->second >= 0x80;
    bytes += static_cast<char>(it->second);
  }
  if (high && IsValidUtf8(bytes)) return std::string(utf8);
  return bytes;
}

}  // namespace qern
