// Listing window and Qt printer: a listing shown in the window, its place kept, and listings
// printed to PDF with one sheet per page.
#include "framework/qt/showtextfile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/textprint.h"
#include "framework/textfile.h"
#include "platform/desktop.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

#include <sys/resource.h>

using namespace qern;
namespace fs = std::filesystem;

namespace {

// Page count of a PDF written by Qt (the /Count of its page tree).
int PdfPages(const std::string& name) {
  const std::string pdf = test::ReadWholeFile(name);
  std::smatch m;
  if (!std::regex_search(pdf, m, std::regex("/Type\\s*/Pages[^>]*/Count\\s+(\\d+)"))) return -1;
  return std::stoi(m[1]);
}

class ListingWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    Settings.TempFolder = dir_;
    Ident.ProductName = "QERN";
    Session.CurrentFileName = "welle";
    SetListClock([] { return ListClockTime{2024, 3, 7, 9, 5}; });
    InstallQtListingHooks();
    QtListingPrinter().PdfOutput = dir_ + "/out.pdf";
  }
  void TearDown() override {
    QtListingPrinter().PdfOutput.clear();
    SetListingHooks({});
    SetTextPrintTarget(nullptr);
    SetListClock(nullptr);
  }
  // A framed listing of the given number of value rows on device dev.
  void WriteListing(int dev, int rows) {
    SetListHeader("QERN V1.0  Passverzahnung", "Zeile 1", "", "", "", 0);
    SetListColumns("", "Zeichen", "Einheit", " Welle", " Nabe");
    OpenListOutput(dev, "");
    ASSERT_FALSE(Flags.AbortFlag);
    RewriteChecked(DataFile);
    ListPageHeader(0, 1);
    for (int i = 0; i < rows; ++i) ListTwoValueLine("Zeile " + std::to_string(i), "z", "mm", "1", "-1");
  }
  test::TempFolder folder_;
  const std::string dir_ = folder_.Path();
  ScopedScriptedDialogs dialogs_;
};

TEST_F(ListingWindowTest, WindowShowsPrintsAndKeepsItsPlace) {
  Settings.TextWindowRect = {30, 50, 640, 400};
  std::string memo, title, fontFamily;
  bool bold = false, italic = false;
  QTimer::singleShot(0, [&] {
    auto* w = qobject_cast<TForm_showtextfile*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    memo = w->Memo1->toPlainText().toStdString();
    title = w->windowTitle().toStdString();
    bold = w->Memo1->font().bold();
    italic = w->Memo1->font().italic();
    EXPECT_EQ(w->mi_Datei->title(), "&Datei");
    EXPECT_EQ(w->mi_EditMarkAll->text(), "Alles aus&wählen");
    EXPECT_TRUE(fs::exists(w->ListFileName()));
    w->mi_DateiDrucken->trigger();  // prints the listing file
    w->setGeometry(40, 60, 600, 380);
    w->mi_dateiBeenden->trigger();
  });
  WriteListing(DeviceWindow, 2);
  CloseListOutput();
  EXPECT_EQ(PdfPages(dir_ + "/out.pdf"), 1);
  EXPECT_NE(memo.find("Passverzahnung"), std::string::npos);
  EXPECT_NE(memo.find("Zeile 1"), std::string::npos);
  EXPECT_EQ(title, "QERN    " + dir_ + "/outwin.txt");
  EXPECT_TRUE(bold && italic);  // print font style 3
  EXPECT_EQ(Settings.TextWindowRect[2], 600);
  EXPECT_EQ(Settings.TextWindowRect[3], 380);
}

TEST_F(ListingWindowTest, MissingDisplayCopyIsReported) {
  TForm_showtextfile w;
  QTimer::singleShot(0, [&] { w.accept(); });
  w.exec();
  EXPECT_EQ(dialogs_->Messages().back(), dir_ + "/outwin.txt not found !");
}

// Export with neither a text program nor the desktop's opener: said so, not silently nothing.
TEST_F(ListingWindowTest, ExportWithoutAnyTextProgramIsReported) {
  test::WriteWholeFile(dir_ + "/outwin.txt", "Liste\r\n");
  const char* path = std::getenv("PATH");
  const std::string oldPath = path ? path : "";
  setenv("PATH", dir_.c_str(), 1);
  Settings.TextProgram = "";
  SetDesktopHooks({});
  TForm_showtextfile w;
  w.mi_dateiExportNotepad->trigger();
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find("outwin.txt nicht geöffnet"), std::string::npos);
}

TEST_F(ListingWindowTest, PrinterDevicePrintsEveryPageToPdf) {
  Settings.LinesPerPage = 30;
  WriteListing(DevicePrinter, 20);  // 12 head lines + 40 row lines: three pages
  const std::string working = Listing.ListFileName;
  CloseListOutput();
  EXPECT_FALSE(fs::exists(working));
  EXPECT_EQ(PdfPages(dir_ + "/out.pdf"), 3);
}

// A listing printed to a PDF file that cannot be written whole (the file size is limited) is said
// with its reason and leaves the old file; the next print is whole.
TEST_F(ListingWindowTest, APrintToAFileThatCannotBeWrittenWholeIsSaid) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "Zeile " + std::to_string(i) + " der Liste, Maß über Stifte\r\n";
  const std::string list = dir_ + "/liste.txt", pdf = dir_ + "/out.pdf";
  test::WriteWholeFile(list, text);
  test::WriteWholeFile(pdf, "alte Fassung");
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit small{8192, saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  PrintTextFile(list);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs_->Messages(),
            std::vector<std::string>{"Datei " + pdf + " kann nicht geschrieben werden: Datei zu groß !"});
  EXPECT_TRUE(test::ReadWholeFile(pdf) == "alte Fassung") << fs::file_size(pdf) << " bytes";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2) << "no working file";

  Flags.AbortFlag = false;
  dialogs_->Clear();
  PrintTextFile(list);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(dialogs_->Messages().empty());
  EXPECT_GT(fs::file_size(pdf), 8192u);
  EXPECT_EQ(PdfPages(pdf), 1);
}

}  // namespace
