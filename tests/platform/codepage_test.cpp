// Tests of the CP850 and Windows-1252 tables and their conversions to and from UTF-8.
#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace qern;

TEST(CodePageTest, KnownCharacters) {
  EXPECT_EQ(Cp850ToUtf8("\x81\x84\x94\xE1\xF8\xFD\xF1\xE6"), "üäöß°²±µ");
  EXPECT_EQ(Cp850ToUtf8("\xDA\xC4\xBF\xB3\xC0\xD9\xC9\xCD\xBB\xBA\xC8\xBC\xC5\xCE"),
            "┌─┐│└┘╔═╗║╚╝┼╬");
  EXPECT_EQ(Cp1252ToUtf8("\xFC\xE4\xB0\x80\x84\x93\x94"), "üä°€„“”");
  EXPECT_EQ(Utf8ToCp850("Maß 30°"), "Ma\xE1 30\xF8");
  EXPECT_EQ(Utf8ToCp1252("Maß 30°"), "Ma\xDF 30\xB0");
}

TEST(CodePageTest, RoundTripsEveryByte) {
  // Every byte back as it was: both tables are one-to-one.
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp850(Cp850ToUtf8(bytes)), bytes);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(bytes)), bytes);
  EXPECT_EQ(Cp850ToUtf8("Aa~"), "Aa~");
  // Latin-1 letters survive a trip through either page.
  const std::string text = "Zähne Größe Übermaß éàç ñ ÆØÅ";
  EXPECT_EQ(Cp850ToUtf8(Utf8ToCp850(text)), text);
  EXPECT_EQ(Cp1252ToUtf8(Utf8ToCp1252(text)), text);
}

TEST(CodePageTest, BestFitForMissingCharacters) {
  EXPECT_EQ(Utf8ToCp1252("┌─┬─┐ ║ ╬"), "+-+-+ | +");
  EXPECT_EQ(Utf8ToCp850("€ Œuvre “x” – Łódź"), "EUR OEuvre \"x\" - L\xA2" "dz");
  EXPECT_EQ(Utf8ToCp850("Ω 中"), "? ?");
  EXPECT_EQ(Utf8ToCp1252("μm"), "\xB5m");
  EXPECT_EQ(Utf8ToCp1252("a\xFF" "b"), "a?b");  // malformed input byte
}

TEST(CodePageTest, DecodeTextLine) {
  EXPECT_EQ(DecodeTextLine("Zähne"), "Zähne");
  EXPECT_EQ(DecodeTextLine("Z\xE4hne \x80"), "Zähne €");
  EXPECT_EQ(DecodeTextLine("\xEF\xBB\xBFqern"), "qern");
  EXPECT_EQ(DecodeTextLine(""), "");
}

TEST(CodePageTest, StoredTextsInCp850) {
  // Lines that are not UTF-8 are CP850 in the files of stored texts.
  EXPECT_EQ(DecodeTextLine("Pr\x81" "fma\xE1 Gr\x94\xE1" "e", LegacyCodePage::Oem850), "Prüfmaß Größe");
  EXPECT_EQ(DecodeTextLine("Prüfmaß", LegacyCodePage::Oem850), "Prüfmaß");
  // Written in CP850 where every character fits, else the line stays UTF-8.
  EXPECT_EQ(EncodeCp850Line("Prüfmaß 30°"), "Pr\x81" "fma\xE1 30\xF8");
  EXPECT_EQ(EncodeCp850Line("plain"), "plain");
  EXPECT_EQ(EncodeCp850Line("Maß ≤ 3 €"), "Maß ≤ 3 €");
  EXPECT_EQ(EncodeCp850Line("a\xFF"), "a\xFF");
  // "├ä" in CP850 is C3 84, which would read back as UTF-8 "Ä": such a line stays UTF-8.
  EXPECT_EQ(EncodeCp850Line("├ä"), "├ä");
  for (const char* text : {"Prüfmaß 30°", "Maß ≤ 3 €", "├ä", "╔═╗ ±"})
    EXPECT_EQ(DecodeTextLine(EncodeCp850Line(text), LegacyCodePage::Oem850), text);
}
