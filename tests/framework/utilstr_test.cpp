// Tests of the number format, text-to-number conversion and the string helpers.
#include "framework/utilstr.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>
#include <limits>

#include "framework/progvar.h"
#include "framework/utf8.h"

using namespace qern;

class UtilStrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
  }
  void TearDown() override { SetDecimalSeparator('.'); }
};

TEST_F(UtilStrTest, FloatStrKeepsThreeSignificantDigits) {
  EXPECT_EQ(FloatStr(0.000009L), "0");
  EXPECT_EQ(FloatStr(123.456L), "123.5");
  EXPECT_EQ(FloatStr(0.0123456L), "0.0123");
  EXPECT_EQ(FloatStr(2.5L), "2.5");
  EXPECT_EQ(FloatStr(100), "100");
  EXPECT_EQ(FloatStr(12345), "12345");
  EXPECT_EQ(FloatStr(1000), "1000");        // would run to negative decimals unclamped
  EXPECT_EQ(FloatStr(-2.5L), "-2.5");
  EXPECT_EQ(FloatStr(-0.0123456L), "-0.0123");
  EXPECT_EQ(FloatStr(29.99999L), "30");
  EXPECT_EQ(FloatStr6(3.14159265L), "3.141593");
  EXPECT_EQ(FloatStr(std::numeric_limits<long double>::infinity()), "INF");
  EXPECT_EQ(FloatStr(std::numeric_limits<long double>::quiet_NaN()), "NAN");
  SetDecimalSeparator(',');
  EXPECT_EQ(FloatStr(123.456L), "123,5");
  EXPECT_EQ(FloatStrDot(123.456L), "123.5");
  EXPECT_EQ(FloatStrDecimalsDot(2, 1.5L), "1.50");
  EXPECT_EQ(FloatStrFixedDot(4, 1, -1.25L), "  -1.3");  // half away from zero
}

TEST_F(UtilStrTest, GeneralFloatText) {
  EXPECT_EQ(GeneralFloatStr(1.0002L), "1.0002");
  EXPECT_EQ(GeneralFloatStr(0.0001L), "0.0001");
  EXPECT_EQ(GeneralFloatStr(0.000015L), "1.5E-5");
  EXPECT_EQ(GeneralFloatStr(1e20L), "1E20");
  EXPECT_EQ(GeneralFloatStr(1.0L / 3), "0.333333333333333");
  EXPECT_EQ(GeneralFloatStr(0), "0");
}

TEST_F(UtilStrTest, SignificantDigitsSteps) {
  int i, d;
  SignificantDigits(i, d, 3, 123.456L);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(d, 1);
  SignificantDigits(i, d, 3, 0.0123456L);
  EXPECT_EQ(i, 0);
  EXPECT_EQ(d, 4);
  SignificantDigits(i, d, 3, 0);  // counts as 0.5
  EXPECT_EQ(i, 0);
  EXPECT_EQ(d, 1);
  SignificantDigits(i, d, 3, 5e30L);
  EXPECT_EQ(i, 31);
  EXPECT_EQ(d, 0);
}

TEST_F(UtilStrTest, FloatStrFixedWidthsAndDecimalsSetting) {
  EXPECT_EQ(FloatStrFixed(3, 2, 1.5L), "  1.50");
  EXPECT_EQ(FloatStrFixed(4, 2, 0.000000001L), "   0.00");
  EXPECT_EQ(FloatStrFixed(4, 2, -0.000000001L), "   0.00");
  // Longer than the width: not cut, and held to width + decimals significant digits.
  EXPECT_EQ(FloatStrFixed(3, 2, 12345.678L), "12346.00");
  EXPECT_EQ(FloatStrFixed(5, 2, 12345.678L), "12345.68");
  EXPECT_EQ(FloatStrFixed(5, 0, 2.5L), "    3");
  EXPECT_EQ(FloatStrFixed(3, 3, -0.0004L), "  0.000");     // no "-0.000"
  EXPECT_EQ(FloatStrFixed(1, 1, 123456), "1.2E5");  // more integer digits than it shows
  Settings.Decimals = 5;
  EXPECT_EQ(FloatStrFixed(3, 2, 1.5L), "  1.5000");
  Settings.Decimals = 1;
  EXPECT_EQ(FloatStrFixed(3, 2, 1.5L), "  2");
  Settings.Decimals = 20;
  EXPECT_EQ(FloatStrFixed(0, 2, 1), "1.0000000000");
  Settings.Decimals = -20;
  EXPECT_EQ(FloatStrFixed(0, 2, 1), "1");
}

TEST_F(UtilStrTest, WrappersAndLengths) {
  EXPECT_EQ(FloatStrDecimals(2, 3.14159L), "3.14");
  EXPECT_EQ(FloatStrDecimals(1, 0), "0.0");
  EXPECT_EQ(FloatStrWidth(7, 30.5L), "   30.5");
  EXPECT_EQ(FloatStrWidth(7, 12), "     12");
  EXPECT_EQ(FloatStrWidth(7, 0), "      0");
  EXPECT_EQ(LengthStr(25.4L), "25.4");
  EXPECT_EQ(LengthUnitStr(), "mm");
  Settings.UnitSystem = 1;
  EXPECT_EQ(LengthStr(25.4L), "1.0000");
  EXPECT_EQ(LengthStrDecimals(2, 50.8L), "2.000");
  EXPECT_EQ(LengthStrFixed(4, 2, 25.4L), "  1.000");
  EXPECT_EQ(LengthUnitStr(), "in");
  EXPECT_NEAR(static_cast<double>(StrToLength("2")), 50.8, 1e-12);
}

TEST_F(UtilStrTest, AngleStrForms) {
  EXPECT_EQ(AngleStr(30), "     30°");
  Settings.AngleFormat = 2;
  EXPECT_EQ(AngleStr(30.5L), "   30°30'");
  EXPECT_EQ(AngleStr(10.25L), "   10°15'");
  EXPECT_EQ(AngleStr(12.0L), "     12°");
  EXPECT_EQ(AngleStr(29.99999L), "     30°");
  EXPECT_EQ(AngleStr(10.2525L), "10°15'9\"");
  EXPECT_EQ(AngleStr(-0.5L), "   -0°30'");   // sign kept between -1 and 0
  EXPECT_EQ(AngleStr(-30.5L), "  -30°30'");
  EXPECT_EQ(AngleStr(std::numeric_limits<long double>::infinity()), "    INF°");
  EXPECT_EQ(AngleStr(std::numeric_limits<long double>::quiet_NaN()), "    NAN°");
  Settings.SpecialCharMode = 1;
  EXPECT_EQ(AngleStr(30.5L), "   30deg30'");
}

TEST_F(UtilStrTest, DateFormats) {
  const char* expected[] = {"", "05.03.2024", "03/05/2024", "2024-03-05", "05/03/2024", "2024/03/05"};
  for (int f = 1; f <= 5; ++f) {
    Settings.DateFormat = f;
    EXPECT_EQ(DateStr(2024, 3, 5), expected[f]) << f;
  }
  Settings.DateFormat = 9;
  EXPECT_EQ(DateStr(24, 12, 31), "24/12/31");
}

TEST_F(UtilStrTest, StrToRealIsStrict) {
  EXPECT_EQ(StrToReal("1,5"), 1.5L);
  EXPECT_EQ(StrToReal("1.5"), 1.5L);
  EXPECT_EQ(StrToReal("  -2.25e1"), -22.5L);
  EXPECT_EQ(StrToReal("1,5,3"), 0.0L);
  EXPECT_EQ(StrToReal("abc"), 0.0L);
  EXPECT_EQ(StrToReal("1.5x"), 0.0L);
  EXPECT_EQ(StrToReal("1.5 "), 0.0L);
  EXPECT_EQ(StrToReal("inf"), 0.0L);
  EXPECT_EQ(StrToReal("1e99999"), 0.0L);
  EXPECT_EQ(StrToReal(".5"), 0.5L);
  EXPECT_EQ(StrToInteger(" 42"), 42);
  EXPECT_EQ(StrToInteger("-7"), -7);
  EXPECT_EQ(StrToInteger("4.2"), 0);
  EXPECT_EQ(StrToInteger("99999999999"), 0);
  EXPECT_EQ(StrToLongint("-2147483648"), -2147483647 - 1);
  SetDecimalSeparator(',');  // the reader does not follow the platform separator
  EXPECT_EQ(StrToReal("2.5"), 2.5L);
}

TEST_F(UtilStrTest, IntegerTexts) {
  EXPECT_EQ(IntStrZero(7, 3), "007");
  EXPECT_EQ(IntStrBlank(7, 3), "  7");
  EXPECT_EQ(IntStrBlank(12345, 3), "12345");
  EXPECT_EQ(NumberToLetter(1), "A");
  EXPECT_EQ(NumberToLetter(26), "Z");
}

TEST_F(UtilStrTest, StringHelpersCountCharacters) {
  EXPECT_EQ(UpperStr("größe"), "GRößE");
  EXPECT_EQ(LeftStr("Übermaß", 2), "Üb");
  EXPECT_EQ(RightStr("Übermaß", 2), "aß");
  EXPECT_EQ(AlignLeft("Maß", 5), "Maß  ");
  EXPECT_EQ(AlignLeft("Maßstab", 3), "Maß");
  EXPECT_EQ(AlignRight("  Maß ", 5), "  Maß");
  EXPECT_EQ(AlignRight("Maßstab", 3), "Maß");
  EXPECT_EQ(TrimBlanks("    "), "");
  EXPECT_EQ(TrimBlanks("\t a \t"), "\t a \t");
  EXPECT_EQ(WithoutBlanks(" a b "), "ab");
  std::string s = "a°b°";
  ReplaceChar("°", "*", s);
  EXPECT_EQ(s, "a*b*");
  EXPECT_EQ(PointToComma("1.5"), "1,5");
  EXPECT_EQ(CommaToPoint("1,5"), "1.5");
  EXPECT_EQ(LastOccurrence("/", "/home/ä/x.qrk"), 8);
  EXPECT_EQ(LastOccurrence("aa", "aaa"), 2);  // overlapping match counts
  EXPECT_EQ(LastOccurrence("z", "abc"), 0);
  EXPECT_EQ(CountChar("ä", "äaä"), 2);
  EXPECT_EQ(CountChar('|', "a|b|c"), 2);
}

TEST_F(UtilStrTest, OverwriteAndAbbreviate) {
  std::string s = "Größe 12";
  OverwriteStr("ß", s, 4);
  EXPECT_EQ(s, "Größe 12");
  OverwriteStr("XY", s, 7);
  EXPECT_EQ(s, "Größe XY");
  OverwriteStr("XYZ", s, 7);  // would pass the end
  EXPECT_EQ(s, "Größe XY");
  OverwriteStr("Q", s, 0);
  EXPECT_EQ(s, "Größe XY");
  std::string r;
  AbbreviateText("kurz", 10, r);
  EXPECT_EQ(r, "kurz");
  AbbreviateText("/home/user/zahnwelle/übermaß.qrk", 20, r);  // h = 7
  EXPECT_EQ(r, "/home/u ... rmaß.qrk");
  AbbreviateText("abcdefgh", 4, r);  // h = -1: neither head nor tail
  EXPECT_EQ(r, " ... ");
}

TEST_F(UtilStrTest, WrapTextReturnsEveryLine) {
  int lines = 0, width = 0;
  WrapText("eins zwei drei", ' ', 8, lines, width);
  ASSERT_EQ(lines, 3);
  EXPECT_EQ(Session.WrapLines[0], "eins ");
  EXPECT_EQ(Session.WrapLines[1], "zwei ");
  EXPECT_EQ(Session.WrapLines[2], "drei");
  EXPECT_EQ(width, 5);
  WrapText("abcdefghij", ' ', 4, lines, width);  // no break character: hard cut
  ASSERT_EQ(lines, 3);
  EXPECT_EQ(Session.WrapLines[0], "abcd");
  EXPECT_EQ(Session.WrapLines[2], "ij");
  EXPECT_EQ(width, 4);
  WrapText("ä b c d e f g h i j k l", ' ', 2, lines, width);  // more than five lines
  EXPECT_EQ(lines, 12);
  EXPECT_EQ(Session.WrapLines[0], "ä ");
  EXPECT_EQ(static_cast<int>(Session.WrapLines.size()), 12);
}

TEST_F(UtilStrTest, ParamPresentIgnoresCase) {
  SetProgramParams({"design.qrk", "/nogui"});
  EXPECT_TRUE(ParamPresent("/NOGUI"));
  EXPECT_FALSE(ParamPresent("/I"));
  SetProgramParams({});
}

TEST_F(UtilStrTest, DisplayTextByMode) {
  const std::string text = "Zähne ±0,5° │ Maß ─ µm²";
  EXPECT_EQ(ConvertDisplayText(text), "Zähne ±0,5° | Maß - µm²");
  EXPECT_EQ(ConvertDisplayText(std::string(300, 'a') + "═"), std::string(300, 'a') + "-");
  Settings.SpecialCharMode = 1;
  EXPECT_EQ(ConvertDisplayText(text), "Zaehne +/-0,5deg | Mass - um2");
  EXPECT_EQ(OemStrToAnsi("Ü"), "Ue");
  // Long texts are converted too.
  std::string longText(300, 'x');
  longText += "ö";
  EXPECT_EQ(ConvertDisplayText(longText), std::string(300, 'x') + "oe");
  EXPECT_EQ(AnsiStrToOem(longText), longText);
}

TEST_F(UtilStrTest, BoxDrawingBecomesAscii) {
  EXPECT_EQ(ReplaceOemChars("┌─┬─┐"), "+-+-+");
  EXPECT_EQ(ReplaceOemChars("║╠═╬╣║"), "||-+||");
  EXPECT_EQ(ReplaceOemChars("├┼┤└┘╚╝╔╗"), "|||++++++");
  EXPECT_EQ(ReplaceOemChars("a|b é Å"), "a|b é Å");  // ASCII bar and letters kept
  EXPECT_EQ(TransliterateUmlauts("Öl Übermaß ñá ═"), "Oel Uebermass na -");
}

TEST_F(UtilStrTest, OutputTextByCadTextMode) {
  const std::string text = "Maß 30° ┼";
  EXPECT_EQ(ConvertOutputText(text), "Maß 30° |");  // start value 2
  Settings.CadTextMode = 3;
  EXPECT_EQ(ConvertOutputText(text), "Mass 30deg ┼");
  Settings.CadTextMode = 1;
  EXPECT_EQ(ConvertOutputText(text), text);
  Settings.CadTextMode = 2;
  Settings.SpecialCharMode = 1;
  EXPECT_EQ(ConvertOutputText(text), "Mass 30deg |");
}

TEST_F(UtilStrTest, InitDecimalSeparatorLeavesCLocaleAlone) {
  std::string before = std::setlocale(LC_NUMERIC, nullptr);
  InitDecimalSeparator();
  EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), before);
  EXPECT_FALSE(DecimalSeparator().empty());
}

namespace {
// The fixed-point text the digit road gives: |x| to 18 significant digits, then rounded half up to
// `decimals` places (the rule the quick road must reproduce).
std::string EighteenDigitsHalfUp(long double x, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Le", std::fabs(x));
  std::string digits;
  const char* p = buf;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  const int exp10 = std::atoi(p + 1);
  // digits * 10^(exp10 - 17) as a whole number of 10^-decimals units, half up.
  std::string units = digits;  // scaled by 10^(17 - exp10)
  const int shift = decimals - (17 - exp10);
  if (shift >= 0) {
    units.append(static_cast<size_t>(shift), '0');
  } else {
    const int keep = static_cast<int>(units.size()) + shift;
    const bool up = keep >= 0 && keep < static_cast<int>(units.size()) && units[keep] >= '5';
    units = keep > 0 ? units.substr(0, static_cast<size_t>(keep)) : "0";
    if (up) {
      int i = static_cast<int>(units.size()) - 1;
      while (i >= 0 && units[i] == '9') units[i--] = '0';
      if (i >= 0) ++units[i]; else units.insert(units.begin(), '1');
    }
  }
  const unsigned long long n = std::stoull(units);
  return ScaledFixedText(x < 0, n, decimals, '.');
}
}  // namespace

// The quick road of the fixed-point texts gives the digits of the exact roads: printf's for the
// file writers' own format, the 18-digit rule for FloatStrFixed, ties included.
TEST_F(UtilStrTest, QuickFixedRoadMatchesTheExactRoads) {
  unsigned long long n = 0;
  EXPECT_FALSE(RoundScaled(2.0005L, 3, n));  // a tie in doubt: the exact road decides
  EXPECT_EQ(FloatStrDecimalsDot(3, 2.0005L), "2.001");
  EXPECT_EQ(FloatStrDecimalsDot(3, -0.0004L), "0.000");
  EXPECT_EQ(FloatStrFixedDot(0, 6, 1.0L), "1.000000");
  EXPECT_EQ(FloatStrFixedDot(0, 6, 1234567.5L), "1.23457E6");  // beyond 6 digits: exponent form
  EXPECT_EQ(ScaledFixedText(false, 5, 3, ','), "0,005");
  EXPECT_EQ(ScaledFixedText(true, 0, 2, '.'), "0.00");
  EXPECT_EQ(ScaledFixedText(true, 12345, 0, '.'), "-12345");
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::uniform_int_distribution<int> decade(-9, 9), places(0, 12);
  for (int i = 0; i < 20000; ++i) {
    long double x = mantissa(random) * std::pow(10.0L, decade(random));
    if (i % 4 == 0) x = std::round(x * 1000) / 1000 + 0.0005L;  // near ties
    const int d = places(random);
    if (RoundScaled(x, d, n)) {
      char buf[96];
      std::snprintf(buf, sizeof buf, "%.*Lf", d, std::fabs(x));
      ASSERT_EQ(ScaledFixedText(false, n, d, '.'), buf) << static_cast<double>(x) << " " << d;
      if (std::fabs(x) >= 1e-8L) {
        ASSERT_EQ(ScaledFixedText(x < 0, n, d, '.'), EighteenDigitsHalfUp(x, d));
      }
    }
    if (std::fabs(x) >= 1e-8L && std::fabs(x) < 1e6L) {
      const std::string t = FloatStrFixedDot(12, d, x);
      ASSERT_EQ(TrimBlanks(t), EighteenDigitsHalfUp(x, d)) << static_cast<double>(x) << " " << d;
    }
  }
}

// The fixed-point text of every length of n and every count of decimals, against the plain
// construction from the digits; and the appended texts padded as FloatStrFixedDot pads them.
TEST_F(UtilStrTest, FixedTextsOfEveryLength) {
  auto plain = [](bool negative, unsigned long long n, int d, char sep) {
    std::string digits = std::to_string(n);
    if (static_cast<int>(digits.size()) <= d) digits.insert(0, d + 1 - digits.size(), '0');
    std::string s = digits.substr(0, digits.size() - d);
    if (d > 0) s += sep + digits.substr(digits.size() - d);
    return (negative && n > 0 ? "-" : "") + s;
  };
  std::vector<unsigned long long> values = {0, 1, 9, 10, 99, 100, 18446744073709551615ULL};
  for (unsigned long long p = 10; p < 10000000000000000000ULL; p *= 10) {
    values.push_back(p - 1);
    values.push_back(p + 7);
  }
  for (unsigned long long n : values)
    for (int d = 0; d <= 18; ++d)
      for (bool negative : {false, true})
        ASSERT_EQ(ScaledFixedText(negative, n, d, ','), plain(negative, n, d, ',')) << n << " " << d;
  // Just below and at each power of ten the text has no padding (its integer places are exact).
  for (long double p = 1; p < 1e15L; p *= 10)
    for (long double x : {p - 0.25L, p, -(p + 0.5L)}) {
      const std::string t = FloatStrDecimalsDot(2, x);
      EXPECT_NE(t.front(), ' ') << t;
    }
  for (int width : {0, 3, 9, 40, 70})
    for (long double x : {0.0L, -1.5L, 123.4567L, -98765.4321L}) {
      std::string s = "|";
      AppendFloatStrFixedDot(s, width, 2, x);
      EXPECT_EQ(s, "|" + FloatStrFixedDot(width, 2, x)) << width << " " << static_cast<double>(x);
    }
}

// Fractions of one to nine places spread over their whole range, under whole parts of every length
// up to and past 2^32, against the plain construction from the digits.
TEST_F(UtilStrTest, FixedTextsOfManyFractions) {
  for (int d = 1; d <= 9; ++d) {
    unsigned long long scale = 1;
    for (int i = 0; i < d; ++i) scale *= 10;
    std::vector<unsigned long long> fractions = {0, 1, scale / 2, scale - 1};
    for (unsigned long long f = 3; f < scale; f = f * 3 + 7919 % scale) fractions.push_back(f);
    for (unsigned long long f = 0; f < scale; f += scale / 997 + 1) fractions.push_back(f);
    for (unsigned long long w :
         {0ULL, 7ULL, 42ULL, 999ULL, 123456ULL, 4294967295ULL, 4294967296ULL})
      for (unsigned long long f : fractions) {
        const unsigned long long n = w * scale + f;
        std::string digits = std::to_string(f);
        digits.insert(0, static_cast<size_t>(d) - digits.size(), '0');
        const std::string expected = std::to_string(w) + "," + digits;
        ASSERT_EQ(ScaledFixedText(false, n, d, ','), expected) << n << " " << d;
        ASSERT_EQ(ScaledFixedText(true, n, d, ','), (n > 0 ? "-" : "") + expected) << n << " " << d;
      }
  }
}

// The appended decimal texts give FloatStrDecimalsDot's text, also where the rounding carries into
// one more whole place, at the edges of the places and under other Decimals settings.
TEST_F(UtilStrTest, AppendedDecimalsTextsMatch) {
  std::vector<long double> values = {0.0L, -0.0L, 5e-9L, -5e-9L, 0.0004L, 0.0005L, 0.9996L,
                                     -0.9996L, 1.0L, 12.3456L, -987.6545L, 1e12L, 3e15L};
  for (long double p = 1e-3L; p < 1e13L; p *= 10)
    for (long double x : {p, p - p * 1e-7L, p * 0.99999L, -(p - p * 1e-7L), p + 0.0004L})
      values.push_back(x);
  for (int setting : {3, 0, 5, 10})
    for (int decimals : {0, 2, 3, 6})
      for (long double x : values) {
        Settings.Decimals = setting;
        std::string s = "|";
        AppendFloatStrDecimalsDot(s, decimals, x);
        ASSERT_EQ(s, "|" + FloatStrDecimalsDot(decimals, x))
            << setting << " " << decimals << " " << static_cast<double>(x);
      }
}

// The fixed-point texts written into a buffer give FloatStrFixedDot's text wherever they give one,
// and leave the padded and exponent texts to it; the seven-digit sequence numbers with their
// leading zeros.
TEST_F(UtilStrTest, FixedTextsIntoABufferAndSevenDigits) {
  std::vector<long double> values = {0.0L, -0.0L, 5e-9L, -5e-9L, 0.5L, 1.0L, -1.0L, 0.9999996L,
                                     123.4567891L, -98765.4321L, 1234567.5L, 1e12L,
                                     std::numeric_limits<long double>::infinity()};
  int written = 0;
  for (int setting : {3, 0, 5})
    for (int width : {0, 4, 12})
      for (int decimals : {0, 3, 6})
        for (long double x : values) {
          Settings.Decimals = setting;
          char buf[ScaledFixedMaxChars];
          if (const char* end = FixedDotChars(buf, width, decimals, x)) {
            ++written;
            ASSERT_EQ(std::string(static_cast<const char*>(buf), end), FloatStrFixedDot(width, decimals, x))
                << setting << " " << width << " " << decimals << " " << static_cast<double>(x);
          }
        }
  EXPECT_GT(written, 50);
  Settings.Decimals = 3;
  char buf[ScaledFixedMaxChars];
  EXPECT_EQ(std::string(buf, FixedDotChars(buf, 0, 6, -0.5L)), "-0.500000");
  EXPECT_EQ(FixedDotChars(buf, 12, 3, 1.5L), nullptr);  // padded
  EXPECT_EQ(FixedDotChars(buf, 0, 6, 1234567.5L), nullptr);  // exponent form

  for (unsigned n : {0U, 7U, 10U, 99U, 1000000U, 9999999U, 10000000U, 12345678U, 4294967295U}) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%07u", n % 10000000);
    ASSERT_EQ(std::string(buf, SevenDigitChars(buf, n)), digits) << n;
  }
  for (unsigned n = 0; n < 10000000; n += 997) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%07u", n);
    ASSERT_EQ(std::string(buf, SevenDigitChars(buf, n)), digits) << n;
  }
}

namespace {
// The digit road's text where the precision (width + decimals) is below the digits the decimals
// ask for: 18 significant digits, rounded half up to the precision, the other places zeros; "" for
// the exponent form.
std::string PrecisionHalfUp(long double x, int width, int decimals) {
  const int precision = std::clamp(width + decimals, 1, 18);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Le", std::fabs(x));
  std::string digits;
  const char* p = buf;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  int exp10 = std::atoi(p + 1);
  if (exp10 + 1 > precision) return "";
  const int k = std::min(precision, exp10 + 1 + decimals);
  if (k <= 0) return "";
  const bool up = digits[static_cast<size_t>(k)] >= '5';
  digits.resize(static_cast<size_t>(k));
  if (up) {
    int i = k - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {
      digits.insert(digits.begin(), '1');
      ++exp10;
    }
  }
  // digits * 10^(exp10 - size + 1) in units of 10^-decimals.
  digits.append(static_cast<size_t>(exp10 - static_cast<int>(digits.size()) + 1 + decimals), '0');
  return ScaledFixedText(x < 0, std::stoull(digits), decimals, '.');
}
}  // namespace

// Fixed-point texts whose precision is below the digits the decimals ask for (the CAD files'
// 6-decimal matrix entries): the zeros after the precision, as the digit road writes them.
TEST_F(UtilStrTest, FixedTextsBeyondThePrecision) {
  EXPECT_EQ(FloatStrFixedDot(0, 6, 1.0L), "1.000000");
  EXPECT_EQ(FloatStrFixedDot(0, 6, -0.5L), "-0.500000");
  EXPECT_EQ(FloatStrFixedDot(0, 6, 123456.7L), "123457.000000");
  EXPECT_EQ(FloatStrFixedDot(0, 6, 9.9999996L), "10.000000");
  EXPECT_EQ(FloatStrFixedDot(0, 6, 999999.7L), "1000000.000000");
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::uniform_int_distribution<int> decade(-3, 7), places(0, 9), widths(0, 3);
  for (int i = 0; i < 50000; ++i) {
    long double x = mantissa(random) * std::pow(10.0L, decade(random));
    if (i % 3 == 0) x = std::round(x * 100) / 100 + 0.005L;  // near ties
    if (i % 7 == 0) x = std::round(x);
    const int d = places(random), w = widths(random);
    if (std::fabs(x) < 1e-8L) continue;
    const std::string expected = PrecisionHalfUp(x, w, d);
    if (expected.empty()) continue;
    ASSERT_EQ(TrimBlanks(FloatStrFixedDot(w, d, x)), expected)
        << static_cast<double>(x) << " " << w << " " << d;
  }
}
