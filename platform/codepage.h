// Code pages at file boundaries: CP850 (DOS) and Windows-1252 to and from the program's UTF-8.
// Characters a code page lacks get a best-fit stand-in (a close letter, ASCII, or '?').
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace qern {

// Full tables byte -> Unicode code point.
extern const std::array<char32_t, 256> Cp850ToUnicode;
extern const std::array<char32_t, 256> Cp1252ToUnicode;

std::string Cp850ToUtf8(std::string_view bytes);
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 to code-page bytes; characters the page lacks get their best fit, else '?'.
std::string Utf8ToCp850(std::string_view utf8);
std::string Utf8ToCp1252(std::string_view utf8);
// UTF-8 to CP850 one byte a character, as a text printer takes it: '?' for every character
// the page lacks, so that columns stay where they are.
std::string Utf8ToCp850Bytes(std::string_view utf8);

// The code page a text file's lines are taken in when they are not valid UTF-8: Windows-1252
// for the settings and other files of this platform, CP850 for the stored texts (design files,
// help files, message help).
enum class LegacyCodePage { Ansi1252, Oem850 };

// A line read from a text file: kept when it is valid UTF-8 (a leading byte-order mark
// dropped), else read in the given code page.
std::string DecodeTextLine(std::string_view line,
                           LegacyCodePage page = LegacyCodePage::Ansi1252);

// A line for a CP850 file: its CP850 bytes when every character has one, else the UTF-8 text
// unchanged, so that no character is lost. CP850 bytes that would read back as other UTF-8
// text keep the UTF-8 form too.
std::string EncodeCp850Line(std::string_view utf8);

// ASCII stand-in ('|', '+' or '-') for a box-drawing character (U+2500..U+257F), else 0.
char BoxDrawingToAscii(char32_t c);

}  // namespace qern
