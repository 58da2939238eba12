// Result listing: the default design and a design with messages against golden listings in the
// framed, TXT and HTML layouts; fatal designs, inch units, aborted listings and the command
// line's headless road to device 9.
#include "design/qernaus1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/textprint.h"
#include "framework/utf8.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Golden(const std::string& name) { return ReadWholeFile(std::string(QERN_TEST_DATA) + "/" + name); }

// Every occurrence of from in s replaced by to.
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
    s.replace(p, from.size(), to);
  return s;
}

// Compares line by line, so that a failure names the first line that differs.
void ExpectSameListing(const std::string& actual, const std::string& expected) {
  ASSERT_FALSE(expected.empty());
  const auto a = Lines(actual), e = Lines(expected);
  for (size_t i = 0; i < std::min(a.size(), e.size()); ++i) ASSERT_EQ(a[i], e[i]) << "line " << i + 1;
  ASSERT_EQ(a.size(), e.size());
  EXPECT_EQ(actual, expected);  // line ends too
}

class ResultListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    SetListingHooks({});
    SetTextPrintTarget(nullptr);
    SetDefaultDesign();
    SetDesignLabels();
    Settings.TempFolder = dir_;
    Settings.PltFolder = QERN_SOURCE_DATA;  // the shipped message help qern.err
    Settings.HtmlBrowser.clear();
    Ident.ProductName = "QERN";
    Ident.ProgramName = "qern";
    Ident.VersionText = "1.0";
    Ident.DataExtension = "qrk";
    Ident.Banner = DesignBanner();
    Session.CurrentFileName = "null";
    Session.CurrentFileFolder = "/home/konstrukteur/qern";
    SetListClock([] { return ListClockTime{2024, 3, 7, 9, 5}; });
  }
  void TearDown() override {
    DataFile.FailNextWrites(0);
    if (!oldCwd_.empty()) fs::current_path(oldCwd_);
    SetListClock(nullptr);
    SetListingHooks({});
  }

  void Calculate(long double x1 = 0, long double x2 = 0) {
    Design.ProfileShift[1] = x1;
    Design.ProfileShift[2] = x2;
    CalculateSerration();
  }

  // The framed listing on the listing window: the working file as the window's print command
  // would see it, and the converted copy the window shows.
  std::string FramedListing() {
    std::string raw;
    SetListingHooks({[&raw](const std::string& listFile) { raw = ReadWholeFile(listFile); }});
    ListResults(DeviceWindow);
    EXPECT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(ReadWholeFile(dir_ + "/outwin.txt"), raw);
    return raw;
  }

  // The command line's road: device 9 by default, no questions, batch dialogs, the copy named
  // after the design in the current folder.
  std::string BatchListing() {
    oldCwd_ = fs::current_path();
    fs::current_path(dir_);
    Session.CurrentFileName = "test";
    Session.CurrentFileFolder = "";
    Settings.AskTextDevice = false;
    Settings.DefaultTextDevice = 9;
    SetDialogService(nullptr);
    ListResults(0);
    SetDialogService(&dialogs_.Service);
    return Replace(ReadWholeFile(dir_ + "/test.txt"), dir_, "$TEMP");
  }

  TempFolder folder_;
  const std::string dir_ = folder_.Path();
  fs::path oldCwd_;
  ScopedScriptedDialogs dialogs_;
};

TEST_F(ResultListingTest, DefaultDesignFramedMatchesGolden) {
  Calculate();
  ASSERT_EQ(Errors.ErrorCount, 0);
  // Two pages of 66 lines, the second from the tooth section on; no message section.
  ExpectSameListing(FramedListing(), Golden("result_listing_default_framed.txt"));
  // The working file of the window is gone once the window has closed.
  EXPECT_FALSE(fs::exists(Listing.ListFileName));
}

// The command line's "/I" road from the shipped default design file: read (which calculates),
// device 9 without questions, batch dialogs; the listing equals that of the default design.
TEST_F(ResultListingTest, DefaultDesignTxtMatchesGoldenOnTheCommandLineRoad) {
  SetDialogService(nullptr);
  ReadDataFile(std::string(QERN_SOURCE_DATA) + "/null.qrk");
  ASSERT_FALSE(Flags.AbortFlag || Flags.FatalError);
  ExpectSameListing(BatchListing(), Golden("result_listing_default.txt"));
  EXPECT_FALSE(Flags.AbortFlag);
  // Written once, straight to its own file: no scratch copy in the temporary folder.
  EXPECT_FALSE(fs::exists(dir_ + "/$$$1.txt"));
  EXPECT_EQ(Listing.ListDevice, DeviceBatchTxt);
}

TEST_F(ResultListingTest, DefaultDesignHtmlMatchesGolden) {
  Calculate();
  Settings.HtmlBrowser = "/no/such/browser";
  ListResults(DeviceHtml);
  ExpectSameListing(Replace(ReadWholeFile(dir_ + "/qern.htm"), dir_, "$TEMP"),
                    Golden("result_listing_default.htm"));
  EXPECT_EQ(Ident.DataExtension, "qrk");
  EXPECT_EQ(dialogs_->Messages().back(), "/no/such/browser not found");
}

TEST_F(ResultListingTest, MessagesAreListedWithCauseAndRemedy) {
  Calculate(0.3L, -0.3L);
  ASSERT_EQ(Errors.ErrorCount, 3);  // the texts are the calculation's, checked there
  ExpectSameListing(FramedListing(), Golden("result_listing_messages_framed.txt"));
  ResetListState();
  SetListClock([] { return ListClockTime{2024, 3, 7, 9, 5}; });
  ExpectSameListing(BatchListing(), Golden("result_listing_messages.txt"));
  EXPECT_FALSE(Flags.AbortFlag);
}

TEST_F(ResultListingTest, FatalDesignShowsTheMessagesInsteadOfAListing) {
  Design.NormalModule = 0;
  Calculate();
  ASSERT_TRUE(Flags.FatalError);
  dialogs_->QueueChoice(1);  // explain the one message; the list then closes
  ListResults(DeviceWindow);
  ASSERT_EQ(dialogs_->Log.size(), 2u);
  EXPECT_EQ(dialogs_->Log[0].Items, (std::vector<std::string>{"Fatal  : mn = 0 !", "Weiter/zurück..."}));
  EXPECT_NE(dialogs_->Log[1].Text.find("Ursache: Der Normalmodul mn ist 0"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir_));

  // The command line's road writes no file either and never blocks.
  EXPECT_TRUE(BatchListing().empty());
  EXPECT_FALSE(fs::exists(dir_ + "/test.txt"));
}

TEST_F(ResultListingTest, InchUnitsWidenLengthsOnly) {
  Settings.UnitSystem = 1;
  Calculate();
  const auto lines = Lines(FramedListing());
  auto row = [&](const std::string& label) {
    for (const auto& l : lines)
      if (Utf8Copy(l, 8, Utf8Length(label)) == label) return l;
    return std::string();
  };
  // 13.900 mm = 0.54724 in: one integer place less, one decimal more, unit "in".
  EXPECT_EQ(Utf8Copy(row("Kopfkreisdurchmesser"), 7 + 44, 2), "in");
  EXPECT_EQ(Utf8Copy(row("Kopfkreisdurchmesser"), 7 + 51, 9), "   0.5472");
  EXPECT_EQ(Utf8Copy(row("Kopfkreisdurchmesser"), 7 + 62, 9), "  -0.4843");
  EXPECT_EQ(Utf8Copy(row("Normalmodul"), 7 + 56, 9), "  0.01651");
  EXPECT_EQ(Utf8Copy(row("Eingriffswinkel"), 7 + 56, 9), "    30.00");
  EXPECT_EQ(Utf8Copy(row("Normal Pitch"), 7 + 44, 4), "1/in");
  EXPECT_EQ(Utf8Copy(row("Normal Pitch"), 7 + 56, 9), "   60.571");
  EXPECT_EQ(Utf8Copy(row("Kopfrundungsradius Werkzeug"), 7 + 51, 7), "  0.250");
}

// A cancelled device choice writes nothing. A listing that fails while it is written must not
// leave its working file (or a half listing) behind, nor the HTML device's extension in place of
// the design files' one.
TEST_F(ResultListingTest, CancelledOrAbortedListingLeavesNoFile) {
  Calculate();
  Settings.AskTextDevice = true;
  dialogs_->QueueCancel();
  ListResults(0);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs_->Log.at(0).Caption, "Ausgabe auf ..");
  EXPECT_TRUE(fs::is_empty(dir_));

  // The disk fills up while the listing is written.
  Settings.AskTextDevice = false;
  Settings.HtmlBrowser = "/no/such/browser";
  for (int device : {DeviceWindow, DeviceHtml}) {
    SCOPED_TRACE(device);
    Flags.AbortFlag = false;
    DataFile.FailNextWrites(1000);
    ListResults(device);
    DataFile.FailNextWrites(0);
    EXPECT_TRUE(Flags.AbortFlag);
    EXPECT_FALSE(DataFile.IsOpen());
    EXPECT_FALSE(fs::exists(Listing.ListFileName));
    EXPECT_TRUE(fs::is_empty(dir_));
    EXPECT_EQ(Ident.DataExtension, "qrk");
  }

  // The pause question of the text printer answered No before the first page.
  Flags.AbortFlag = false;
  Settings.PrinterPort = 1;
  Listing.TextPrinterPath = dir_ + "/no-port/lp";
  dialogs_->QueueYes();  // "Pause nach jeder Seite ?"
  dialogs_->QueueNo();   // "Blatt in Drucker einlegen.  Fortfahren ?"
  ListResults(DeviceTextPrinter);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(DataFile.IsOpen());
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
