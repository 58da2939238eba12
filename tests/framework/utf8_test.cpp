// Tests of the UTF-8 helpers: counts, padding, cutting and searching by character.
#include "framework/utf8.h"

#include <gtest/gtest.h>

using namespace qern;

TEST(Utf8Test, LengthAndValidity) {
  EXPECT_EQ(Utf8Length(""), 0);
  EXPECT_EQ(Utf8Length("Maß°²"), 5);
  EXPECT_EQ(Utf8Length("┌─┐"), 3);
  EXPECT_EQ(Utf8Length("中文"), 2);
  EXPECT_EQ(Utf8Length("\x80" "ab"), 3);  // a stray byte is a character, as Utf8Cut counts it
  EXPECT_EQ(Utf8PadRight("\x80" "ab", 4), "\x80" "ab ");
  EXPECT_TRUE(IsValidUtf8("Zähne ┼ 中 \xF0\x9F\x98\x80"));
  EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBD"));   // U+FFFD itself
  EXPECT_FALSE(IsValidUtf8("Z\xE4hne"));      // Windows-1252 ä
  EXPECT_FALSE(IsValidUtf8("\xC3"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

TEST(Utf8Test, PadAndCut) {
  EXPECT_EQ(Utf8PadRight("Maß", 5), "Maß  ");
  EXPECT_EQ(Utf8PadLeft("Maß", 5), "  Maß");
  EXPECT_EQ(Utf8PadLeft("7", 3, '0'), "007");
  EXPECT_EQ(Utf8PadRight("Maßstab", 3), "Maßstab");
  EXPECT_EQ(Utf8Cut("Maßstab", 3), "Maß");
  EXPECT_EQ(Utf8Cut("Maß", 10), "Maß");
  EXPECT_EQ(Utf8Cut("Maß", -1), "");
  EXPECT_EQ(Utf8Right("Übermaß", 3), "maß");
  EXPECT_EQ(Utf8Right("ab", 5), "ab");
}

TEST(Utf8Test, SubstringsBothBases) {
  EXPECT_EQ(Utf8Copy("Größe", 3, 2), "öß");
  EXPECT_EQ(Utf8Copy("Größe", 0, 2), "Gr");  // index below 1 counts as 1
  EXPECT_EQ(Utf8Copy("Größe", 9, 2), "");
  EXPECT_EQ(Utf8Copy("Größe", 4, 99), "ße");
  EXPECT_EQ(Utf8Substr("Größe", 2, 2), "öß");
  EXPECT_EQ(Utf8Substr("Größe", 3), "ße");
  EXPECT_EQ(Utf8ByteOffset("Größe", 3), 4u);
}

TEST(Utf8Test, PosCountsCharacters) {
  EXPECT_EQ(Utf8Pos("ß", "Größe"), 4);
  EXPECT_EQ(Utf8Pos("e", "Größe e", 6), 7);
  EXPECT_EQ(Utf8Pos("x", "Größe"), 0);
  EXPECT_EQ(Utf8Pos("", "Größe"), 0);
}

TEST(Utf8Test, DecodeAndAppendRoundTrip) {
  std::string s = "aß€😀";
  std::string out;
  for (std::size_t i = 0; i < s.size();) EncodeUtf8(out, Utf8Next(s, i));
  EXPECT_EQ(out, s);
  std::size_t i = 0;
  EXPECT_EQ(Utf8Next("\xE4x", i), U'\uFFFD');
  EXPECT_EQ(i, 1u);
}
