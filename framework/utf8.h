// UTF-8 helpers: every width, column, position and character count in the program uses these.
// Positions and lengths here count characters (code points), never bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/utf8decode.h"  // DecodeUtf8, EncodeUtf8, IsValidUtf8

namespace qern {

// A character is a byte that does not continue another one, with the continuation bytes
// after it; a stray continuation byte at the start counts as a character of its own.

// Number of characters.
int Utf8Length(std::string_view s);

// s blank-padded on the right / left to n characters; a longer text is returned whole.
std::string Utf8PadRight(std::string_view s, int n, char fill = ' ');
std::string Utf8PadLeft(std::string_view s, int n, char fill = ' ');
// The first n characters of s (all of s when it is shorter).
std::string Utf8Cut(std::string_view s, int n);
// The last n characters of s.
std::string Utf8Right(std::string_view s, int n);
// count characters from 1-based character position index (Pascal Copy: index < 1 counts as 1,
// past the end gives "").
std::string Utf8Copy(std::string_view s, int index, int count);
// count characters from 0-based character position pos (npos: to the end).
std::string Utf8Substr(std::string_view s, std::size_t pos, std::size_t count = std::string::npos);
// 1-based character position of the first sub in s at or after character position from; 0 if none.
int Utf8Pos(std::string_view sub, std::string_view s, int from = 1);

// Byte offset of 0-based character position pos (s.size() when past the end).
std::size_t Utf8ByteOffset(std::string_view s, std::size_t pos);
// Byte length of the character starting at byte i (1 for a stray byte).
std::size_t Utf8CharBytes(std::string_view s, std::size_t i);
// Decodes the character at byte i and advances i; an invalid byte gives U+FFFD.
char32_t Utf8Next(std::string_view s, std::size_t& i);

}  // namespace qern
