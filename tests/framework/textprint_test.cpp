// Text-file printing by pages and ranges, display copies of text files and font-style numbers.
#include "framework/textprint.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>

#include "framework/progvar.h"
#include "framework/textfile.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

// Records what would reach the printer; each sheet is a list of (row, text).
class RecordingPrinter : public TextPrintTarget {
 public:
  bool ChoosePages(const std::string& title, int pageCount, int& first, int& last) override {
    Title = title;
    Offered = pageCount;
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, pageCount);
    if (Cancel) return false;
    if (First) first = First;
    if (Last) last = Last;
    return true;
  }
  bool BeginDocument(const PrintFontSpec& font, int linesPerPage) override {
    Font = font;
    LinesPerPage = linesPerPage;
    Sheets.emplace_back();
    return true;
  }
  void NewPage() override { Sheets.emplace_back(); }
  void PrintRow(int row, const std::string& text) override { Sheets.back().push_back({row, text}); }
  std::string EndDocument() override {
    Ended = true;
    return "";
  }

  bool Cancel = false;
  int First = 0, Last = 0;
  std::string Title;
  int Offered = -1, LinesPerPage = 0;
  PrintFontSpec Font;
  std::vector<std::vector<std::pair<int, std::string>>> Sheets;
  bool Ended = false;
};

class TextPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetTextPrintTarget(&printer_);
    Session.CurrentFileName = "welle";
  }
  void TearDown() override { SetTextPrintTarget(nullptr); }
  std::string Write(const std::string& text) {
    WriteWholeFile(folder_.File("list.txt"), text);
    return folder_.File("list.txt");
  }
  TempFolder folder_;
  const std::string dir_ = folder_.Path();
  RecordingPrinter printer_;
  ScopedScriptedDialogs dialogs_;
};

TEST_F(TextPrintTest, RangeOfThreePagesWithoutClosingFormFeed) {
  // Two form-feed lines (the rest of such a line is not printed) and a last page that no form
  // feed closes: three pages.
  printer_.First = 2;
  printer_.Last = 3;
  PrintTextFile(Write("eins\r\n\f\r\nzwei\r\nzwei b\r\n\fRest\r\ndrei\r\n"));
  EXPECT_EQ(printer_.Offered, 3);
  EXPECT_EQ(printer_.Title, "welle");
  ASSERT_EQ(printer_.Sheets.size(), 2u);
  EXPECT_EQ(printer_.Sheets[0], (std::vector<std::pair<int, std::string>>{{0, "zwei"}, {1, "zwei b"}}));
  EXPECT_EQ(printer_.Sheets[1], (std::vector<std::pair<int, std::string>>{{0, "drei"}}));
  EXPECT_TRUE(printer_.Ended);
  EXPECT_EQ(printer_.LinesPerPage, 66);
  EXPECT_EQ(printer_.Font.Name, "Courier New");
  EXPECT_TRUE(printer_.Font.Style.Bold && printer_.Font.Style.Italic);
}

TEST_F(TextPrintTest, FileWithoutFormFeedsIsOnePageAndManyPagesAllPrint) {
  PrintTextFile(Write("a\nb\n"));
  EXPECT_EQ(printer_.Offered, 1);
  ASSERT_EQ(printer_.Sheets.size(), 1u);
  EXPECT_EQ(printer_.Sheets[0].size(), 2u);

  printer_.Sheets.clear();
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "Seite " + std::to_string(i) + "\r\n\f\r\n";
  PrintTextFile(Write(text));
  EXPECT_EQ(printer_.Offered, 300);
  ASSERT_EQ(printer_.Sheets.size(), 300u);
  EXPECT_EQ(printer_.Sheets[299][0].second, "Seite 300");
}

TEST_F(TextPrintTest, MissingFileCancelAndAbort) {
  PrintTextFile(dir_ + "/none.txt");
  EXPECT_EQ(dialogs_->Messages().back(), dir_ + "/none.txt not found !");
  printer_.Cancel = true;
  PrintTextFile(Write("a\n"));
  EXPECT_TRUE(printer_.Sheets.empty());
  printer_.Cancel = false;
  Flags.AbortFlag = true;
  PrintTextFile(Write("a\n"));
  EXPECT_EQ(printer_.Offered, 1);  // only the cancelled call reached the dialog
  EXPECT_TRUE(printer_.Sheets.empty());
}

TEST_F(TextPrintTest, ConvertTextFileCopiesForDisplay) {
  const std::string source = Write("Zähne ─═\r\nzweite\r\n");
  const std::string dest = dir_ + "/outwin.txt";
  Settings.SpecialCharMode = 1;
  ConvertTextFile(source, dest);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(dest), "Zaehne --\r\nzweite\r\n");

  ConvertTextFile(dir_ + "/none.txt", dir_ + "/copy.txt");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(fs::exists(dir_ + "/copy.txt"));
  Flags.AbortFlag = false;
  ConvertTextFile(source, dir_ + "/no/folder/copy.txt");
  EXPECT_TRUE(Flags.AbortFlag);

  // A pipe of that name is left alone; a link is replaced by the copy, its target stays as it was.
  Flags.AbortFlag = false;
  ASSERT_EQ(::mkfifo((dir_ + "/pipe.txt").c_str(), 0600), 0);
  EXPECT_EQ(ConvertTextFile(source, dir_ + "/pipe.txt"), IoAccessDenied);
  EXPECT_TRUE(fs::is_fifo(dir_ + "/pipe.txt"));
  QERN_PLANT_FOREIGN_LINK(dest, dir_ + "/link.txt");
  Flags.AbortFlag = false;
  Settings.SpecialCharMode = 0;
  EXPECT_EQ(ConvertTextFile(source, dir_ + "/link.txt"), IoOk);
  EXPECT_FALSE(fs::is_symlink(dir_ + "/link.txt"));
  EXPECT_EQ(ReadWholeFile(dir_ + "/link.txt"), "Zähne --\r\nzweite\r\n");
  EXPECT_EQ(ReadWholeFile(dest), "Zaehne --\r\nzweite\r\n");
}

// The disk fills up while the copy is written: the earlier file stays, no working file is left.
TEST_F(TextPrintTest, FailedCopyKeepsTheEarlierFile) {
  const std::string source = Write(std::string(4000, 'x') + "\r\n");
  const std::string dest = dir_ + "/liste.txt";
  WriteWholeFile(dest, "alt");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const int io = ConvertTextFile(source, dest);
    ::_exit(io == IoWriteError && Flags.AbortFlag ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadWholeFile(dest), "alt");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST(FontStyleNumber, BitsAndRange) {
  const FontStyle five = IntToFontStyle(5, {});
  EXPECT_TRUE(five.Bold && five.Underline);
  EXPECT_FALSE(five.Italic || five.StrikeOut);
  for (int n = 0; n <= 15; ++n) EXPECT_EQ(FontStyleToInt(IntToFontStyle(n, {})), n);
  const FontStyle current{false, true, false, false};
  EXPECT_EQ(IntToFontStyle(16, current), current);
}

}  // namespace
