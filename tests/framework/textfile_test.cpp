// Tests of the shared text file: typed lines round-trip, line ends, code pages, the abort flag on
// unreadable lines and failed writes, the design-file head, paths, folders, erasing and copying.
#include "framework/textfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "tests/support/testutil.h"

using namespace qern;
using qern::test::ReadWholeFile;
using qern::test::WriteWholeFile;
namespace fs = std::filesystem;

namespace {

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
  }
  void TearDown() override { DataFile.Assign(""); }
  void OpenForReading(const std::string& content) {
    WriteWholeFile(tmp.File("in.txt"), content);
    DataFile.Assign(tmp.File("in.txt"));
    ASSERT_TRUE(DataFile.Reset());
  }
  qern::test::TempFolder tmp;
  const std::string dir = tmp.Path();
};

TEST_F(TextFileTest, WritersAndReadersRoundTrip) {
  const std::string name = dir + "/alle.txt";
  DataFile.Assign(name);
  ASSERT_TRUE(DataFile.Rewrite());
  WriteLine("Zeile äöü ß °");
  WriteText("ohne ");
  WriteText("Ende");
  WriteStringLine("");
  WriteIntegerLine(-42);
  WriteBoolLine(true);
  WriteBoolLine(false);
  WriteExtendedLine(12.3456789L);
  WriteExtendedLine(-3);
  WriteFields4("a", "b", "c", "d");
  WriteFields6("1", "2", "3", "4", "5", "6");
  WriteFields8("1", "2", "3", "4", "5", "6", "7", "8");
  WriteLine("J");
  ASSERT_TRUE(DataFile.Close());
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(name),
            "Zeile äöü ß °\r\nohne Ende\r\n-42\r\nTRUE\r\nFALSE\r\n12.3456789\r\n-3\r\n"
            "a|b|c|d|\r\n1|2|3|4|5|6|\r\n1|2|3|4|5|6|7|8|\r\nJ\r\n");

  ASSERT_TRUE(DataFile.Reset());
  std::string s, a, b, c, d;
  int32_t n = 0;
  bool t = false, f = true;
  long double x = 0;
  double z = 0;
  char ch = 0;
  ReadLine(s);
  EXPECT_EQ(s, "Zeile äöü ß °");
  ReadLine(s);
  ReadIntegerLine(n);
  EXPECT_EQ(n, -42);
  ReadBoolTrue(t);
  ReadBoolNotFalse(f);
  EXPECT_TRUE(t);
  EXPECT_FALSE(f);
  ReadExtendedLine(x);
  EXPECT_NEAR(static_cast<double>(x), 12.3456789, 1e-12);
  ReadDoubleLine(z);
  EXPECT_EQ(z, -3);
  ReadFields(a, b, c, d);
  ReadFields(a, b, c, d);  // six fields: the first four
  EXPECT_EQ(a + b + c + d, "1234");
  ReadLine(s);
  ReadCharLine(ch);
  EXPECT_EQ(ch, 'J');
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(DataFile.Eof());

  // An unreadable line (past the end): AbortFlag, 0 for numbers, booleans untouched.
  n = 7;
  ReadIntegerLine(n);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(n, 0);
  t = true;
  ReadBoolTrue(t);
  EXPECT_TRUE(t);
  f = false;
  ReadBoolNotFalse(f);
  EXPECT_FALSE(f);
  DataFile.Close();
}

TEST_F(TextFileTest, ExtendedLineTextAlwaysSevenDecimals) {
  // Whole numbers plain, others with seven decimals; the display setting does not cut the
  // precision of stored values.
  const struct { int decimals; long double x; const char* text; } kCases[] = {
      {3, 0, "0"}, {3, -3, "-3"}, {3, -2.00000000001L, "-2"}, {3, 0.5L, "0.5000000"},
      {3, 2, "2.0000000"}, {3, 20, "20.0000000"}, {3, -2.5L, "-2.5000000"},
      {1, 1.23456789L, "1.2345679"}, {6, 1.5L, "1.5000000"}, {6, -1, "-1"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    Settings.Decimals = c.decimals;
    EXPECT_EQ(ExtendedLineText(c.x), c.text);
    EXPECT_EQ(Settings.Decimals, c.decimals);
  }
}

TEST_F(TextFileTest, ReadersConvertEachLine) {
  OpenForReading(
      "1,5\n2.123456789012\r\n  17 \nabc\n70000\n-1\n"
      "eins|zwei|\nnur\ntrue\nyes\nfalse\n\n"
      "Gr\xFC\xDF\x65 \x80\r\nschon UTF-8: \xC3\xA4\n");
  long double x = 0;
  ReadExtendedLine(x);
  EXPECT_EQ(x, 1.5L);  // a decimal comma reads like a point
  ReadExtendedLine(x);
  EXPECT_NEAR(static_cast<double>(x), 2.123456789012, 1e-15);
  int32_t n = 0;
  ReadIntegerLine(n);
  EXPECT_EQ(n, 17);
  ReadLongintLine(n);
  EXPECT_EQ(n, 0);  // not a number: 0, no abort
  uint16_t w = 5;
  ReadWordLine(w);
  EXPECT_EQ(w, 0);  // beyond 16 bits
  ReadWordLine(w);
  EXPECT_EQ(w, 0);

  std::string a = "x", b = "x", c = "x", d = "x";
  ReadFields(a, b, c, d);  // two separators: c and d empty
  EXPECT_EQ(a + "/" + b + "/" + c + "/" + d, "eins/zwei//");
  ReadFields(a, b, c, d);
  EXPECT_EQ(a, "");  // no separator at all
  bool t = false, f = true;
  ReadBoolTrue(t);
  EXPECT_TRUE(t);  // "true"
  ReadBoolTrue(t);
  EXPECT_FALSE(t);  // "yes"
  ReadBoolNotFalse(f);
  EXPECT_FALSE(f);  // "false"
  ReadBoolNotFalse(f);
  EXPECT_TRUE(f);  // ""

  // Lines that are not UTF-8 are taken as Windows-1252.
  std::string s;
  ReadLine(s);
  EXPECT_EQ(s, "Grüße €");
  ReadLine(s);
  EXPECT_EQ(s, "schon UTF-8: ä");
  EXPECT_FALSE(Flags.AbortFlag);
}

// Lines across the reader's blocks, a line longer than a block, CR LF split between two blocks
// and a last line without its end all read as written.
TEST_F(TextFileTest, LinesAcrossBlocksReadWhole) {
  const size_t block = size_t{64} << 10;
  std::vector<std::string> lines = {std::string(block - 1, 'a')};  // its CR ends the first block
  for (int i = 0; i < 3000; ++i)
    lines.push_back(std::to_string(i) + std::string(static_cast<size_t>(i * 37 % 200), 'x'));
  lines[1500] = std::string(150000, 'L') + "ä";
  lines.push_back("ohne Ende");
  std::string content;
  for (size_t i = 0; i < lines.size(); ++i)
    content += lines[i] + (i + 1 == lines.size() ? "" : i % 3 ? "\n" : "\r\n");
  OpenForReading(content);
  std::string line;
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(DataFile.ReadLine(line)) << i;
    ASSERT_EQ(line, lines[i]) << i;
  }
  EXPECT_TRUE(DataFile.Eof());
  EXPECT_FALSE(DataFile.ReadLine(line));
  DataFile.Close();
}

// Lines of every length up to a few words, of bytes beside '\n' in value (\t, \v, \x8A, \x0B, and
// bytes whose high bit is set), each line end at every place of an eight-byte word, read as written.
TEST_F(TextFileTest, LineEndsAtEveryPlaceOfAWord) {
  const std::string fill = "\t\v\x8A\x0B\xFF\x09\x8B\x80" "ab";
  std::vector<std::string> lines;
  for (size_t n = 0; n < 40; ++n)
    for (size_t shift = 0; shift < 3; ++shift) {
      std::string line;
      for (size_t k = 0; k < n; ++k) line += fill[(k + shift) % fill.size()];
      lines.push_back(line);
    }
  std::string content;
  for (const std::string& line : lines) content += line + "\n";
  OpenForReading(content);
  std::string_view raw;
  for (size_t i = 0; i < lines.size(); ++i) {
    ASSERT_TRUE(DataFile.ReadRawLine(raw)) << i;
    ASSERT_EQ(raw, lines[i]) << i;
  }
  EXPECT_TRUE(DataFile.Eof());
  DataFile.Close();
}

// A dash line is dashes between blanks, however long; one other character anywhere makes it none.
TEST_F(TextFileTest, DashLinesOfEveryLength) {
  EXPECT_FALSE(IsDashLine(""));
  EXPECT_FALSE(IsDashLine("   "));
  for (size_t n = 1; n < 70; ++n) {
    const std::string dashes(n, '-');
    EXPECT_TRUE(IsDashLine(dashes)) << n;
    EXPECT_TRUE(IsDashLine("  " + dashes + " ")) << n;
    for (size_t k = 0; k < n; ++k) {
      for (const char other : {'_', '=', '\xAD', '\t'}) {
        std::string line = dashes;
        line[k] = other;
        ASSERT_FALSE(IsDashLine(line)) << n << " " << k;
      }
      if (k > 0 && k + 1 < n) {
        std::string inner = dashes;
        inner[k] = ' ';
        ASSERT_FALSE(IsDashLine(inner)) << n << " " << k;
      }
    }
  }
}

// The number readers say whether the line was a number: a caller can tell "0" from "nan".
TEST_F(TextFileTest, NumberReadersSayWhenALineIsNoNumber) {
  OpenForReading("0\nnan\ninf\nInfinity\nnan(123)\nabc\n-0,5\n1,5,3\n\n0x10\n"
                 "7\n-inf\n2147483648\n65536\n1e5000\n");
  long double x = 9;
  EXPECT_TRUE(ReadExtendedLine(x));
  EXPECT_EQ(x, 0);
  for (const char* text : {"nan", "inf", "Infinity", "nan(123)", "abc"}) {
    SCOPED_TRACE(text);
    x = 9;
    EXPECT_FALSE(ReadExtendedLine(x));
    EXPECT_EQ(x, 0);
  }
  EXPECT_TRUE(ReadExtendedLine(x));
  EXPECT_EQ(x, -0.5L);
  EXPECT_FALSE(ReadExtendedLine(x));  // two separators
  double z = 1;
  EXPECT_FALSE(ReadDoubleLine(z));  // empty
  EXPECT_FALSE(ReadDoubleLine(z));  // hexadecimal
  int32_t n = 0;
  EXPECT_TRUE(ReadIntegerLine(n));
  EXPECT_EQ(n, 7);
  EXPECT_FALSE(ReadIntegerLine(n));
  EXPECT_FALSE(ReadLongintLine(n));  // beyond 32 bits
  uint16_t w = 1;
  EXPECT_FALSE(ReadWordLine(w));
  EXPECT_FALSE(ReadExtendedLine(x));  // beyond the range of long double
  EXPECT_FALSE(Flags.AbortFlag);      // none of them is a failed read
  EXPECT_FALSE(ReadIntegerLine(n));   // past the end
  EXPECT_TRUE(Flags.AbortFlag);
  DataFile.Close();
}

// The strict conversion gives exactly the value of the standard conversion of the same text.
TEST_F(TextFileTest, TextToRealGivesTheStandardConversionsValue) {
  std::vector<std::string> texts = {"20.0000000", "0.5000000", "-3", "12.3456789", "0.1",
                                    "1e-30", "123456789012345678901234", "9999999999999999999",
                                    "18446744073709551616", "3.14159265358979323846",
                                    "1.5e27", "1.5e28", "-0", "0.000000000000000000000000000123",
                                    "+7.25", ".5", "5.", "4.9406564584124654e-324",
                                    "000", "0.0000000", "007.50", "-00.000120", "0.00000000000000000000123456789",
                                    "10000000000000000000.5", "0.10000000000000000000001", "100", "1.0e-3"};
  unsigned seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int whole = static_cast<int>(seed % 100000);
    seed = seed * 1103515245u + 12345u;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%d.%07u", i % 3 ? "" : "-", whole, seed % 10000000u);
    texts.push_back(buf);
  }
  for (const std::string& t : texts) {
    SCOPED_TRACE(t);
    long double mine = 0, standard = 0;
    ASSERT_TRUE(TextToReal(t, mine));
    const std::string plain = t[0] == '+' ? t.substr(1) : t;
    std::from_chars(plain.data(), plain.data() + plain.size(), standard);
    EXPECT_EQ(mine, standard);
    EXPECT_EQ(std::signbit(mine), std::signbit(standard));
    std::string comma = t;
    if (const size_t dot = comma.find('.'); dot != std::string::npos) comma[dot] = ',';
    long double withComma = 0;
    ASSERT_TRUE(TextToReal(" " + comma + " ", withComma));
    EXPECT_EQ(withComma, standard);
  }
  for (const char* bad : {"", " ", ".", "+", "-", "+-1", "--1", "1e", "1e+", "e5", "1.2.3", "1,2,3",
                          "1 2", "inf", "nan", "0x1p3", "1e5000", "1d", "١", "0.-1", "00.,5", "..5",
                          "-.", "0 .5", "5.e"}) {
    SCOPED_TRACE(bad);
    long double x = 7;
    EXPECT_FALSE(TextToReal(bad, x));
    EXPECT_EQ(x, 7);
  }
}

// Zero in any spelling is 0, whatever its exponent and however many digits it has; a number of
// any other length or exponent is read or refused, never more.
TEST_F(TextFileTest, TextToRealTakesEveryZeroAndBoundsEveryExponentAndRun) {
  const std::string zeros100(100, '0'), zeros100k(100000, '0');
  for (const std::string& t : {std::string("0e29"), std::string("0e-40"), std::string("0.0e-40"),
                               std::string("0e28"), std::string("0.") + zeros100,
                               std::string("0,") + zeros100 + "e-3", std::string("0e99999"),
                               std::string("0e100000"), std::string("-0e100000"),
                               std::string("0e999999999"), std::string("+0E+99999999999999999999"),
                               std::string("0.") + zeros100k, zeros100k, zeros100k + ".e5",
                               std::string(".") + zeros100k + "e-99999", std::string("-0.0e-28")}) {
    SCOPED_TRACE(t.substr(0, 30) + " (" + std::to_string(t.size()) + " characters)");
    long double x = 7;
    ASSERT_TRUE(TextToReal(t, x));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(std::signbit(x), t[0] == '-');
  }
  // Long runs with an exponent that brings them back, and runs too long or too far out.
  struct Case {
    std::string Text;
    bool Read;
    long double Value;
  };
  const std::string zeros4k(4000, '0');
  for (const Case& c : {Case{"1." + zeros100k, true, 1}, Case{"1" + zeros4k + "e-4000", true, 1},
                        Case{"0." + zeros4k + "25e4001", true, 2.5L},
                        Case{"-0," + zeros100 + "5E+101", true, -5},
                        Case{"1" + zeros100k, false, 0}, Case{"0." + zeros100k + "1", false, 0},
                        Case{"1e99999", false, 0}, Case{"-1e100000", false, 0},
                        Case{"1e-99999", false, 0}, Case{"5e999999999", false, 0},
                        Case{"12345678901234567890123e-99999", false, 0}}) {
    SCOPED_TRACE(c.Text.substr(0, 30) + " (" + std::to_string(c.Text.size()) + " characters)");
    long double x = 7;
    EXPECT_EQ(TextToReal(c.Text, x), c.Read);
    EXPECT_EQ(x, c.Read ? c.Value : 7);
  }
}

TEST_F(TextFileTest, FailuresSetAbortFlag) {
  DataFile.Assign(dir + "/fehlt.txt");
  EXPECT_FALSE(DataFile.Reset());
  EXPECT_EQ(DataFile.IoResult(), IoFileNotFound);
  std::string s;
  ReadLine(s);  // not open
  EXPECT_TRUE(Flags.AbortFlag);

  Flags.AbortFlag = false;
  WriteLine("x");
  EXPECT_TRUE(Flags.AbortFlag);

  Flags.AbortFlag = false;
  DataFile.Assign(dir + "/ok.txt");
  ASSERT_TRUE(DataFile.Rewrite());
  DataFile.FailNextWrites(1);
  WriteBoolLine(true);
  EXPECT_TRUE(Flags.AbortFlag);
  DataFile.Close();

  // The first failed write is kept for the report, whatever the writes after it do.
  DataFile.Assign(dir + "/ok.txt");
  ASSERT_TRUE(DataFile.Rewrite());
  EXPECT_EQ(DataFile.WriteError(), IoOk);
  DataFile.FailNextWrites(1);
  EXPECT_FALSE(DataFile.WriteLn("a"));
  EXPECT_TRUE(DataFile.WriteLn("b"));
  EXPECT_EQ(DataFile.WriteError(), IoWriteError);
  DataFile.Close();
  ASSERT_TRUE(DataFile.Rewrite());
  EXPECT_EQ(DataFile.WriteError(), IoOk);
  DataFile.Close();

  DataFile.Assign(dir + "/nichtda/x.txt");
  EXPECT_FALSE(DataFile.Rewrite());
  EXPECT_EQ(DataFile.IoResult(), IoPathNotFound);
  DataFile.Assign(dir);
  EXPECT_FALSE(DataFile.Reset());
}

TEST_F(TextFileTest, Cp850FilesLineByLine) {
  TextFile f;
  f.Assign(dir + "/cp.txt");
  f.SetCodePage(LegacyCodePage::Oem850);
  ASSERT_TRUE(f.Rewrite());
  EXPECT_TRUE(f.WriteLn("Größe"));
  EXPECT_TRUE(f.WriteLn("≤ 3 €"));  // no CP850 form: this line stays UTF-8
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(test::ReadWholeFile(dir + "/cp.txt"), "Gr\x94\xE1" "e\r\n≤ 3 €\r\n");
  std::string a, b;
  f.Assign(dir + "/cp.txt");
  EXPECT_EQ(f.CodePage(), LegacyCodePage::Ansi1252) << "each file names its own code page";
  f.SetCodePage(LegacyCodePage::Oem850);
  ASSERT_TRUE(f.Reset());
  ASSERT_TRUE(f.ReadLine(a) && f.ReadLine(b));
  EXPECT_EQ(a, "Größe");
  EXPECT_EQ(b, "≤ 3 €");
  f.Close();
}

TEST_F(TextFileTest, PipesDevicesAndEndlessLinesNeverBlock) {
  // A named pipe without a writer (or reader) would block the open for ever.
  const std::string pipe = dir + "/pipe.qrk";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(FileCanOpen(pipe));
  DataFile.Assign(pipe);
  EXPECT_FALSE(DataFile.Reset());
  EXPECT_FALSE(DataFile.Rewrite());
  // A device is read without end: refused for reading, still a target for writing.
  DataFile.Assign("/dev/zero");
  EXPECT_FALSE(DataFile.Reset());
  DataFile.Assign("/dev/null");
  EXPECT_TRUE(DataFile.Rewrite());
  DataFile.Close();
  // A line longer than the limit is a read error, one just at the limit is read.
  WriteWholeFile(dir + "/lang.txt", std::string(TextFile::MaxLineLength, '7') + "\nx\n" +
                                        std::string(TextFile::MaxLineLength + 1, '7'));
  DataFile.Assign(dir + "/lang.txt");
  ASSERT_TRUE(DataFile.Reset());
  std::string s;
  EXPECT_TRUE(DataFile.ReadLine(s));
  EXPECT_EQ(s.size(), TextFile::MaxLineLength);
  EXPECT_TRUE(DataFile.ReadLine(s));
  EXPECT_EQ(s, "x");
  EXPECT_FALSE(DataFile.ReadLine(s));
  EXPECT_EQ(DataFile.IoResult(), IoReadError);
  DataFile.Close();
}

TEST_F(TextFileTest, LinesAcrossReadBlocks) {
  // A CR at the end of one 64 KB block and its LF at the start of the next, a line through three
  // blocks, a last line without end; raw lines are the bytes undecoded.
  const std::string first(65535 - 3, 'a'), longer(150000, 'b');
  WriteWholeFile(dir + "/bloecke.txt",
                 "12\n" + first + "\r\n" + longer + "\n\x84\r\nEnde");
  DataFile.Assign(dir + "/bloecke.txt");
  DataFile.SetCodePage(LegacyCodePage::Oem850);
  ASSERT_TRUE(DataFile.Reset());
  std::string s;
  std::string_view raw;
  EXPECT_TRUE(DataFile.ReadRawLine(raw));
  EXPECT_EQ(raw, "12");
  EXPECT_TRUE(DataFile.ReadLine(s));
  EXPECT_EQ(s, first);
  EXPECT_TRUE(DataFile.ReadRawLine(raw));
  EXPECT_EQ(raw, longer);
  EXPECT_TRUE(DataFile.ReadRawLine(raw));
  EXPECT_EQ(raw, "\x84");
  EXPECT_TRUE(DataFile.ReadLine(s));
  EXPECT_EQ(s, "Ende");
  EXPECT_TRUE(DataFile.Eof());
  EXPECT_FALSE(DataFile.ReadRawLine(raw));
  EXPECT_EQ(DataFile.IoResult(), IoReadError);
  DataFile.Close();
}

// Lines read in pieces and cut give what the whole-line reader gives: line ends and lone CRs at
// the end of a read block, a CR doubled before its LF there, a line through several blocks, a
// character of two bytes across the cut, a last line without end and one ending in a CR.
TEST_F(TextFileTest, LinesInPiecesAndCutAsTheWholeLineReaderGivesThem) {
  const size_t block = size_t{64} << 10;
  std::string content = std::string(block - 1, 'a') + "\r\n";   // CR at the block's end
  content += std::string(block - 2, 'b') + "\rc\n";               // a lone CR there
  content += std::string(block - 4, 'd') + "\r\r\n";             // a CR kept before the end
  content += "kurz\n" + std::string(200000, 'e') + "\xC3\xA4" + "\r\n";
  content += "\xC3\xA4\xC3\xA4\xC3\xA4\n\x84\x94\n";
  for (const std::string& last : {std::string("Ende"), std::string("Ende\r"), std::string()}) {
    SCOPED_TRACE(last);
    OpenForReading(content + last);
    std::vector<std::string> expected;
    std::string_view raw;
    while (!DataFile.Eof() && DataFile.ReadRawLine(raw)) expected.emplace_back(raw);
    DataFile.Close();
    ASSERT_EQ(expected.size(), last.empty() ? 7u : 8u);

    ASSERT_TRUE(DataFile.Reset());
    for (const std::string& want : expected) {
      std::string got;
      int pieces = 0;
      bool whole = false;
      ASSERT_TRUE(DataFile.ReadLineInPieces([&](std::string_view piece, bool w) {
        got.append(piece);
        ++pieces;
        whole = w;
      }));
      EXPECT_EQ(got, want);
      EXPECT_TRUE(!whole || pieces == 1) << "the whole line comes in one piece";
      if (want.size() < 10) EXPECT_TRUE(whole) << "a short line lies in one block";
    }
    EXPECT_TRUE(DataFile.Eof());
    EXPECT_FALSE(DataFile.ReadLineInPieces([](std::string_view, bool) {}));
    DataFile.Close();

    for (size_t cut : {size_t{0}, size_t{1}, size_t{5}, block + 7, size_t{200001}}) {
      SCOPED_TRACE(cut);
      ASSERT_TRUE(DataFile.Reset());
      for (const std::string& want : expected) {
        ASSERT_TRUE(DataFile.ReadRawLineCut(raw, cut));
        // Never inside a character: "ä" is cut whole.
        size_t n = std::min(cut, want.size());
        while (n > 0 && n < want.size() && (static_cast<unsigned char>(want[n]) & 0xC0) == 0x80) --n;
        EXPECT_EQ(raw, want.substr(0, n));
      }
      DataFile.Close();
    }
  }
}

// A line of 50 MB costs once its length when it is read whole, and nothing when it is read in
// pieces or cut.
TEST_F(TextFileTest, ALongLineIsHeldOnceOrNotAtAll) {
  const size_t length = size_t{50} << 20;
  {
    std::ofstream out(dir + "/lang.txt", std::ios::binary);
    out << "vorher\n" << std::string(length, 'L') << "\r\nnachher\n";
  }
  DataFile.Assign(dir + "/lang.txt");
  EXPECT_TRUE(test::RunWithinMemory(length + (size_t{12} << 20), [] {
    std::string line;
    if (!DataFile.Reset() || !DataFile.ReadLine(line) || line != "vorher") return false;
    if (!DataFile.ReadLine(line) || line.size() != length || line.back() != 'L') return false;
    return DataFile.ReadLine(line) && line == "nachher" && DataFile.Eof();
  }));
  EXPECT_TRUE(test::RunWithinMemory(size_t{8} << 20, [] {
    std::string_view raw;
    size_t total = 0;
    if (!DataFile.Reset() || !DataFile.ReadRawLineCut(raw, TextFile::ShownLineLimit)) return false;
    if (!DataFile.ReadLineInPieces([&total](std::string_view piece, bool) { total += piece.size(); }))
      return false;
    if (total != length || !DataFile.ReadRawLineCut(raw, TextFile::ShownLineLimit) || raw != "nachher")
      return false;
    DataFile.Close();
    if (!DataFile.Reset()) return false;
    DataFile.ReadRawLineCut(raw, 3);
    return DataFile.ReadRawLineCut(raw, TextFile::ShownLineLimit) &&
           raw == std::string(TextFile::ShownLineLimit, 'L');
  }));
  DataFile.Close();
}

TEST_F(TextFileTest, DesignFileHead) {
  Ident.Banner = "QERN   Zahnwelle";
  Ident.VersionText = "1.0";
  Session.CommentLines = {"K1", "", "K3"};
  DataFile.Assign(dir + "/kopf.qrk");
  ASSERT_TRUE(DataFile.Rewrite());
  WriteFileHeader();
  DataFile.Close();
  EXPECT_FALSE(Flags.AbortFlag);
  auto lines = qern::test::ReadFileLines(dir + "/kopf.qrk");
  ASSERT_EQ(lines.size(), static_cast<size_t>(DesignFileHeadLines));
  EXPECT_EQ(lines[0], std::string(65, '-'));
  EXPECT_EQ(lines[1], "QERN   Zahnwelle   V 1.0");
  EXPECT_EQ(lines[2], "Version 1.0");
  EXPECT_EQ(lines[4], std::string(65, '-'));
  EXPECT_EQ(lines[5], "K1");
  EXPECT_EQ(lines[7], "K3");

  // A failed head write reports through the flag instead of raising.
  DataFile.Assign(dir + "/kopf2.qrk");
  ASSERT_TRUE(DataFile.Rewrite());
  DataFile.FailNextWrites(8);
  WriteFileHeader();
  EXPECT_TRUE(Flags.AbortFlag);
  DataFile.Close();
}

TEST_F(TextFileTest, PathHelpers) {
  std::string drive1, drive2, rel;
  ExtractDrive("/a:b/c", drive1);
  ExtractDrive("C:/x", drive2);
  AddBackslash("rel", rel);
  const std::pair<std::string, std::string> kCases[] = {
      {AddBackslash("/home/x"), "/home/x/"}, {AddBackslash(" /home/x/ "), "/home/x/"},
      {AddBackslash("   "), ""}, {rel, "rel/"},
      // Names ending in any character get their separator.
      {AddBackslash("/d/Maß"), "/d/Maß/"}, {AddBackslash("/d/a-"), "/d/a-/"},
      {AddBackslash("/d/[x]"), "/d/[x]/"}, {AddBackslash("/d/v1."), "/d/v1./"},
      {RemoveBackslash("/a/b/"), "/a/b"}, {RemoveBackslash("/"), "/"},
      {ExtractFolder("/a/b/c.txt"), "/a/b/"}, {ExtractFolder("c.txt"), ""},
      {drive1, ""}, {drive2, "C:"},
      {ExtractBaseName("/a.b/welle.qrk"), "welle"}, {FileNameWithoutExt("/a.b/welle"), "welle"},
      {RemoveFileExt("/a.b/welle.qrk"), "/a.b/welle"}, {RemoveFileExt("/a.b/welle"), "/a.b/welle"},
      {ExtensionAfterDot("name.tar.gz"), "tar.gz"},
      {ExtensionAfterDot("/v1.2/name"), ""},  // the folder's point does not count
      {ExtensionAfterDot("/v1.2/name.qrk"), "qrk"}};
  for (size_t i = 0; i < std::size(kCases); ++i)
    EXPECT_EQ(kCases[i].first, kCases[i].second) << "case " << i;
}

// Replacing output: the file's name changes only at Commit, to the complete file; a link of that
// name is replaced, never written through; a dropped or failed output leaves the earlier file.
TEST_F(TextFileTest, ReplacingOutputGoesThroughAWorkingFile) {
  const std::string target = dir + "/out.txt", victim = dir + "/victim";
  WriteWholeFile(victim, "precious");
  QERN_PLANT_FOREIGN_LINK(victim, target);
  TextFile f;
  f.Assign(target);
  f.SetReplacing(true);
  ASSERT_TRUE(f.Rewrite());
  EXPECT_TRUE(f.WriteLn("neu"));
  EXPECT_TRUE(fs::is_symlink(target)) << "nothing replaced before the commit";
  ASSERT_TRUE(f.Commit());
  EXPECT_FALSE(fs::is_symlink(target));
  EXPECT_EQ(ReadWholeFile(target), "neu\r\n");
  EXPECT_EQ(ReadWholeFile(victim), "precious");

  // Closed without a commit: dropped.
  f.Assign(target);
  f.SetReplacing(true);
  ASSERT_TRUE(f.Rewrite());
  f.WriteLn("halb");
  f.Close();
  EXPECT_EQ(ReadWholeFile(target), "neu\r\n");
  // A failed write: the commit fails with its code and drops the file.
  ASSERT_TRUE(f.Rewrite());  // still replacing: Assign alone turns it off
  f.FailNextWrites(1);
  f.WriteLn("voll");
  EXPECT_FALSE(f.Commit());
  EXPECT_EQ(f.IoResult(), IoWriteError);
  EXPECT_EQ(ReadWholeFile(target), "neu\r\n");
  // A folder of that name is no target.
  fs::create_directory(dir + "/ordner");
  f.Assign(dir + "/ordner");
  f.SetReplacing(true);
  EXPECT_FALSE(f.Rewrite());
  EXPECT_EQ(f.IoResult(), IoAccessDenied);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"ordner", "out.txt", "victim"}));
}

TEST_F(TextFileTest, FolderTests) {
  EXPECT_TRUE(FolderExists(dir));
  EXPECT_TRUE(FolderExists(dir + "/"));
  EXPECT_FALSE(FolderExists(dir + "/fehlt"));
  EXPECT_TRUE(FolderFindable(dir));
  EXPECT_FALSE(FolderFindable(dir + "/fehlt"));
  EXPECT_TRUE(IsFolderWritable(dir));
  EXPECT_FALSE(IsFolderWritable(dir + "/fehlt"));
  // A user's file of the old probe name stays untouched; the probe leaves nothing behind.
  WriteWholeFile(dir + "/x.$$$", "Daten");
  EXPECT_TRUE(IsFolderWritable(dir));
  EXPECT_EQ(ReadWholeFile(dir + "/x.$$$"), "Daten");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);
  EXPECT_TRUE(FileCanOpen(dir + "/x.$$$"));
  EXPECT_FALSE(FileCanOpen(dir));
  EXPECT_FALSE(FileCanOpen(dir + "/fehlt"));
}

TEST_F(TextFileTest, EraseAndDeleteByMask) {
  WriteWholeFile(dir + "/$a.dx$", "1");
  WriteWholeFile(dir + "/$b.DX$", "2");
  WriteWholeFile(dir + "/c.dxf", "3");
  DeleteFilesByMask(AddBackslash(dir), "$*.dx$");
  EXPECT_FALSE(fs::exists(dir + "/$a.dx$"));
  EXPECT_FALSE(fs::exists(dir + "/$b.DX$"));
  EXPECT_TRUE(fs::exists(dir + "/c.dxf"));
  EXPECT_FALSE(Flags.AbortFlag);
  EraseFileIfExists(dir + "/c.dxf");
  EXPECT_FALSE(fs::exists(dir + "/c.dxf"));
  EraseFileIfExists(dir + "/c.dxf");  // missing: nothing to do
  EXPECT_FALSE(Flags.AbortFlag);
  fs::create_directory(dir + "/ordner");
  EraseFileIfExists(dir + "/ordner");  // cannot be erased as a file
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(TextFileTest, CopiesReportFailure) {
  WriteWholeFile(dir + "/q.txt", "Quelle");
  fs::create_directory(dir + "/ziel");
  CopyFileBlocks(dir + "/q.txt", dir + "/ziel/k.txt");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(dir + "/ziel/k.txt"), "Quelle");

  CopyFileBlocks(dir + "/fehlt.txt", dir + "/ziel/f.txt");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(fs::exists(dir + "/ziel/f.txt"));

  Flags.AbortFlag = false;
  CopyFileBlocks(dir + "/q.txt", dir + "/./q.txt");  // onto itself
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(dir + "/q.txt"), "Quelle");

  Flags.AbortFlag = false;
  CopyFileToFolderOf(dir + "/q.txt", dir + "/ziel/irgendwas.dat");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(dir + "/ziel/q.txt"), "Quelle");
  CopyFileToFolderOf(dir + "/fehlt.txt", dir + "/ziel/x");
  EXPECT_TRUE(Flags.AbortFlag);

  WriteWholeFile(dir + "/a.plt", "A");
  WriteWholeFile(dir + "/b.plt", "B");
  fs::create_directory(dir + "/plt");
  CopyFilesByMask("*.plt", dir, dir + "/plt");
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(dir + "/plt/b.plt"), "B");
  CopyFilesByMask("*.hpg", dir, dir + "/plt");
  EXPECT_TRUE(Flags.AbortFlag);
  CopyFilesByMask("*.plt", dir, dir + "/fehlt");
  EXPECT_TRUE(Flags.AbortFlag);
}

}  // namespace
