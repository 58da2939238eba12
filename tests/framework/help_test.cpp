// Help texts: header parsing, entry end rules, file choice by number, display and the shipped files.
#include "framework/help.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Settings.PltFolder = dir_;
    Ident.ProgramName = "QERN";
  }
  void TearDown() override { SetHelpPictureHandler(nullptr); }
  void WriteFile(const std::string& name, const std::string& text) {
    WriteWholeFile(temp_.File(name), text);
  }
  HelpLines Read(int number, std::string* picture = nullptr) {
    HelpLines lines;
    std::string pic;
    ReadHelpEntry(number, lines, pic);
    if (picture) *picture = pic;
    return lines;
  }
  int CountLines(const HelpLines& lines) {
    int n = 0;
    for (const auto& l : lines) n += !l.empty();
    return n;
  }
  TempFolder temp_;
  const std::string dir_ = temp_.Path();
};

TEST_F(HelpTest, ParseHeader) {
  const struct { const char* line; int number; const char* picture; } kCases[] = {
      {"1050", 1050, "NULL"}, {"2070:zahnform", 2070, "zahnform"}, {"Text ohne Nummer", -1, "NULL"},
      {"Maß: siehe Bild", -1, "siehe Bild"}, {"", -1, "NULL"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    int n = 0;
    std::string pic;
    ParseHelpHeader(c.line, n, pic);
    EXPECT_EQ(n, c.number);
    EXPECT_EQ(pic, c.picture);
  }
}

TEST_F(HelpTest, EntryEndsAtNextNumberDivisibleByFive) {
  WriteFile("zorquan.hlp",
            "1050\nerste\n1051\nzweite\n1052\ndritte\n1055:bild\nfremd\n"
            "1060\nA\nB\nC\nD\n1065\nx\n"
            "1070\na\nb\nc\nd\ne\nf\n"
            "1080\nkopf\n1083\nübersprungen\nnoch eine\n");
  HelpLines l = Read(1050);
  EXPECT_EQ(CountLines(l), 3);
  EXPECT_EQ(l[0], "erste");
  EXPECT_EQ(l[2], "dritte");
  l = Read(1060);
  EXPECT_EQ(CountLines(l), 4);
  EXPECT_EQ(l[3], "D");
  l = Read(1070);  // six lines: only the first five
  EXPECT_EQ(l[0], "a");
  EXPECT_EQ(l[4], "e");
  // A header that is not the next consecutive number has its text read but not kept.
  l = Read(1080);
  EXPECT_EQ(l[0], "kopf");
  EXPECT_EQ(l[1], "");
  EXPECT_EQ(l[2], "noch eine");
  // A header line inside an entry can be asked for directly.
  l = Read(1052);
  EXPECT_EQ(l[0], "dritte");
}

TEST_F(HelpTest, HeadersAreFoundInLargeFilesWhateverTheirCoding) {
  // A header's text line is never a header itself, even when it reads like one; a CP850 header
  // with its picture, a byte-order mark before the first header; then 24 MB of empty lines before the last entry, whose number is the text line
  // of the header before it first.
  const size_t emptyLines = size_t{24} << 20;
  {
    std::ofstream out(dir_ + "/qern.hlp", std::ios::binary);
    out << "\xEF\xBB\xBF" "4000\r\nerste\r\n4005\r\n4010\r\n4015\r\nCR LF\r\n"
        << "4020:Ma\xE1" "e\nmit Bild \x84\n\x8E" "123\nkein Kopf\n"
        << std::string(emptyLines, '\n') << "4710\n4711\n4711:bild\nam Ende\n";
  }
  EXPECT_TRUE(RunWithinMemory(size_t{48} << 20, [this] {
    std::string pic;
    HelpLines l = Read(4000);
    bool ok = l[0] == "erste";
    l = Read(4005);
    ok = ok && l[0] == "4010" && CountLines(l) == 1;
    l = Read(4010);
    ok = ok && l[0] == "Hilfetext Nr 4010: keine Hilfe vorhanden.";
    l = Read(4015);
    ok = ok && l[0] == "CR LF";
    l = Read(4020, &pic);
    ok = ok && l[0] == "mit Bild ä" && pic == "Maße" && l[1] == "Ä123" && l[2] == "kein Kopf";
    l = Read(4711, &pic);
    ok = ok && l[0] == "am Ende" && pic == "bild";
    l = Read(4123);
    return ok && l[0] == "Hilfetext Nr 4123: keine Hilfe vorhanden.";
  }));
}

// Lines of 50 MB in a help file (an entry's text line, a header's text line passed over, a plain
// line between entries) are read within little memory; a text line is cut where a shown line is.
TEST_F(HelpTest, LongLinesAreReadWithinLittleMemory) {
  const size_t length = size_t{50} << 20;
  {
    std::ofstream out(dir_ + "/qern.hlp", std::ios::binary);
    out << "4000\n" << std::string(length, 'a') << "\n4001\nzweite\n4005\nf\x81nf\n"
        << std::string(length, 'p') << "\r\n4010\nzehn\n";
  }
  EXPECT_TRUE(RunWithinMemory(size_t{16} << 20, [this] {
    HelpLines l = Read(4000);
    bool ok = l[0] == std::string(TextFile::ShownLineLimit, 'a') && l[1] == "zweite" &&
              CountLines(l) == 2;
    l = Read(4005);
    ok = ok && l[0] == "fünf" && l[1] == std::string(TextFile::ShownLineLimit, 'p') && CountLines(l) == 2;
    l = Read(4010);
    ok = ok && l[0] == "zehn";
    std::string text;
    GetHelpText(4001, text);
    return ok && text == "zweite     (4001)";
  }));
}

TEST_F(HelpTest, FileByNumberAndMissingTexts) {
  WriteFile("zorquan.hlp", "3995\nallgemein\n");
  WriteFile("qern.hlp", "4000\neigen\n");
  EXPECT_EQ(HelpFileName(3999), dir_ + "/zorquan.hlp");
  EXPECT_EQ(HelpFileName(4000), dir_ + "/qern.hlp");
  EXPECT_EQ(GetHelpText(3995), "allgemein     (3995)");
  EXPECT_EQ(GetHelpText(4000), "eigen     (4000)");
  EXPECT_EQ(GetHelpText(3999), "Hilfetext Nr 3999: keine Hilfe vorhanden.");
  fs::remove(dir_ + "/qern.hlp");
  EXPECT_EQ(GetHelpText(4000), "Datei " + dir_ + "/qern.hlp nicht gefunden !");
}

TEST_F(HelpTest, ShowsMessageBoxAndPictureByMode) {
  WriteFile("zorquan.hlp", "1050\nZeile eins\nZeile zwei\n2070:zahnform\nmit Bild\n2075\nohne Bild\n");
  ScopedScriptedDialogs dialogs;
  // Without a handler the picture goes to the drawing device; there is none here.
  ShowHelpEntry(2070, "", 0);
  EXPECT_EQ(dialogs->Last().Caption, "HILFETEXT Nr.2070");
  dialogs->Clear();

  std::vector<std::string> pictures;
  SetHelpPictureHandler([&](const std::string& f) { pictures.push_back(f); });
  Flags.AbortFlag = true;
  Session.HelpNumber = 1050;
  ShowHelpEntry(0, "", 1);
  EXPECT_FALSE(Flags.AbortFlag);
  ASSERT_EQ(dialogs->Log.size(), 1u);
  EXPECT_EQ(dialogs->Last().Caption, "HILFETEXT Nr.1050");
  EXPECT_EQ(dialogs->Last().Text, "Zeile eins Zeile zwei    ");
  EXPECT_TRUE(pictures.empty());

  ShowHelpEntry(2070, "", 2);
  EXPECT_EQ(dialogs->Log.size(), 1u);  // picture only
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0], dir_ + "/zahnform.plt");

  ShowHelpEntry(2075, "", 0);
  EXPECT_EQ(dialogs->Log.size(), 2u);
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[1], "");  // window cleared, no picture

  // A missing entry shows its text and no picture.
  ShowHelpEntry(2080, "", 0);
  EXPECT_EQ(dialogs->Last().Text, "Hilfetext Nr 2080: keine Hilfe vorhanden.     ");
  EXPECT_EQ(pictures.back(), "");

  // The picture alone of an entry without one: said so, and nothing is drawn.
  pictures.clear();
  dialogs->Clear();
  for (int number : {2075, 2080}) {
    ShowHelpEntry(number, "", 2);
    EXPECT_EQ(dialogs->Last().Caption, "HILFETEXT Nr." + IntStr(number));
    EXPECT_EQ(dialogs->Last().Text, NoHelpPictureText);
  }
  EXPECT_EQ(dialogs->Log.size(), 2u);
  EXPECT_TRUE(pictures.empty());
  EXPECT_FALSE(Flags.AbortFlag);
}

// Every help number that the program's dialogs and commands set.
const int kReferencedHelpNumbers[] = {
    1000, 1030, 1040, 1050, 1060, 1070, 1210, 1935, 1940, 1970, 2050, 2055, 2060, 2080, 2090,
    2100, 2110, 2120, 2130, 2140, 2145, 2150, 2160, 2170, 2280, 2300, 2600, 2710, 2720, 2730,
    3000, 3055, 3400, 5010, 5020, 5030, 5035, 5040, 5045, 5050, 5080, 5100, 5105, 5110, 5400,
    5410, 5420, 5430, 5440, 5450, 6510, 6530, 6540, 6550, 6560, 6570, 6580, 6590, 8270};

TEST_F(HelpTest, ShippedFilesHoldEveryReferencedEntry) {
  Settings.PltFolder = QERN_SOURCE_DATA;
  Ident.ProgramName = "qern";
  for (int number : kReferencedHelpNumbers) {
    SCOPED_TRACE(number);
    HelpLines lines;
    std::string picture;
    ASSERT_TRUE(ReadHelpEntry(number, lines, picture));
    EXPECT_GE(CountLines(lines), 1);
    EXPECT_GT(lines[0].size(), 20u);
  }
}

TEST_F(HelpTest, ShippedFilesHaveOnlyWellFormedEntries) {
  // Every header starts an entry of its own (a multiple of 5), appears once and lies in its file's
  // range; plain text lines never look like headers.
  for (const char* name : {"zorquan.hlp", "qern.hlp"}) {
    SCOPED_TRACE(name);
    const auto lines = ReadFileLines(std::string(QERN_SOURCE_DATA) + "/" + name);
    ASSERT_FALSE(lines.empty());
    std::set<int> seen;
    bool afterHeader = false;
    for (const std::string& line : lines) {
      if (afterHeader) {
        afterHeader = false;
        continue;
      }
      int n;
      std::string pic;
      ParseHelpHeader(line, n, pic);
      if (n < 0) continue;
      EXPECT_EQ(n % 5, 0) << line;
      EXPECT_TRUE(seen.insert(n).second) << line;
      EXPECT_EQ(n >= 4000, std::string(name) == "qern.hlp") << line;
      afterHeader = true;
    }
  }
}

}  // namespace
