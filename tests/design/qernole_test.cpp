// Spreadsheet exchange: the design file in column A and the listing's fields in cells, read back
// from the written workbooks by openpyxl; the start checks, the fatal printout, the user's
// listing settings, workbook failures, number cells and the maker's links.
#include "design/qernole.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/spreadsheet.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/process.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;

namespace {

struct ReadCell {
  char Type = 0;  // 's' text, 'n' number
  std::string Value, Format;
};

class SpreadsheetExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    SetListingHooks({});
    SetDefaultDesign();
    SetDesignLabels();
    Ident.ProductName = "QERN";
    Ident.ProgramName = "qern";
    Ident.VersionText = "1.0";
    Ident.DataExtension = "qrk";
    Ident.Banner = DesignBanner();
    Settings.TempFolder = tmp_.Path() + "/";
    Settings.PltFolder = QERN_SOURCE_DATA;
    Session.CurrentFileFolder = tmp_.Path() + "/";
    Session.CurrentFileName = "welle";
    ExcelApp = {};
    SetDesktopHooks({[this](const std::string& f) { opened_.push_back(f); return true; },
                     [this](const std::string& u) { urls_.push_back(u); return true; }});
    // The desktop of the test: a workbook program associated in the user's mimeapps.list only.
    WriteWholeFile(tmp_.File("mimeapps.list"),
                   std::string("[Default Applications]\n") + WorkbookMimeType + "=calc.desktop\n");
    CalculateSerration();
  }
  void TearDown() override {
    SetDesktopHooks({});
    ExcelApp = {};
  }

  // Whether a spreadsheet program is associated on the test desktop.
  void Associate(bool on) { configHome_.emplace("XDG_CONFIG_HOME", on ? tmp_.Path() : tmp_.File("none")); }

  // The cells openpyxl reads from a workbook; empty (and the test failed or skipped) without it.
  std::map<std::string, ReadCell> ReadBack(const std::string& workbook) {
    const std::string script = std::string(QERN_SOURCE_DATA) + "/../tests/readers/xlsx_cells.py";
    const std::string out = tmp_.File("cells.txt");
    int status = -1;
    const bool ran = RunAndWait({"/usr/bin/python3", script, workbook, out}, status) == StartResult::Started;
    if (!ran || status == 3) {
      const char* ci = std::getenv("CI");
      if (ci && std::string(ci) == "true") ADD_FAILURE() << "python3-openpyxl is needed to check workbooks";
      else GTEST_LOG_(WARNING) << "python3-openpyxl missing: workbook not checked";
      return {};
    }
    EXPECT_EQ(status, 0) << "openpyxl could not read " << workbook;
    std::map<std::string, ReadCell> cells;
    for (const std::string& line : ReadFileLines(out)) {
      const auto a = line.find('\t'), b = line.find('\t', a + 1), c = line.rfind('\t');
      cells[line.substr(0, a)] = {line[a + 1], line.substr(b + 1, c - b - 1), line.substr(c + 1)};
    }
    return cells;
  }

  TempFolder tmp_;
  std::optional<ScopedEnv> configHome_;
  ScopedEnv noProgram_{"QERN_SPREADSHEET", std::nullopt};
  ScopedEnv configDirs_{"XDG_CONFIG_DIRS", tmp_.File("none")};
  ScopedEnv dataHome_{"XDG_DATA_HOME", tmp_.File("none")};
  ScopedEnv dataDirs_{"XDG_DATA_DIRS", tmp_.File("none")};
  std::vector<std::string> opened_, urls_;
};

TEST_F(SpreadsheetExchangeTest, WorkbooksHoldTheDesignFileAndTheListingCells) {
  Associate(true);
  Session.CommentLines[0] = "Prüfstück Größe 3 – 20°";
  Session.CommentLines[1] = "Maß über Prüfmaß";  // stored in CP850: every character has a byte
  Flags.DesignModified = true;  // Export saves first
  StartExcel();
  ASSERT_FALSE(Flags.AbortFlag);
  ExportDesignToExcel();
  ASSERT_FALSE(Flags.AbortFlag);
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], tmp_.File("welle.xlsx"));

  std::vector<std::string> lines;
  DataFile.Assign(tmp_.File("welle.qrk"));
  DataFile.SetCodePage(LegacyCodePage::Oem850);
  ASSERT_TRUE(DataFile.Reset());
  std::string line;
  while (!DataFile.Eof() && DataFile.ReadLine(line)) lines.push_back(ConvertDisplayText(line));
  DataFile.Close();
  ASSERT_GT(lines.size(), 50u);
  EXPECT_NE(ReadWholeFile(tmp_.File("welle.qrk")).find("Ma\xE1 \x81" "ber Pr\x81" "fma\xE1"),
            std::string::npos);

  auto cells = ReadBack(opened_[0]);
  if (cells.empty()) return;
  bool umlauts = false, cp850 = false;
  for (size_t n = 1; n <= lines.size(); ++n) {
    const std::string a = "A" + std::to_string(n);
    if (lines[n - 1].empty()) {
      EXPECT_EQ(cells.count(a), 0u) << a;
      continue;
    }
    ASSERT_EQ(cells[a].Type, 's') << a;
    EXPECT_EQ(cells[a].Value, lines[n - 1]) << a;
    umlauts = umlauts || cells[a].Value == "Prüfstück Größe 3 – 20°";
    cp850 = cp850 || cells[a].Value == "Maß über Prüfmaß";
  }
  EXPECT_TRUE(umlauts);
  EXPECT_TRUE(cp850);
  EXPECT_EQ(cells.count("A" + std::to_string(lines.size() + 1)), 0u);
  EXPECT_EQ(cells.count("B1"), 0u);

  // The listing: one cell per tab-separated field, numbers as numbers with their decimals.
  PrintoutToExcel();
  ASSERT_FALSE(Flags.AbortFlag);
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[1], tmp_.File("$$1.xlsx"));
  cells = ReadBack(opened_[1]);
  int found = 0;
  for (const auto& [at, cell] : cells) {
    if (at[0] != 'A' || cell.Value != "Zähnezahl") continue;
    const std::string row = at.substr(1);
    EXPECT_EQ(cells["B" + row].Value, "z");
    EXPECT_EQ(cells["D" + row].Type, 'n');
    EXPECT_EQ(std::stod(cells["D" + row].Value), 31.0);
    EXPECT_EQ(std::stod(cells["E" + row].Value), -31.0);
    ++found;
  }
  EXPECT_EQ(found, 1);
  for (const auto& [at, cell] : cells) {
    if (at[0] != 'A' || cell.Value != "Lückenwinkel") continue;
    const std::string row = at.substr(1);
    EXPECT_EQ(cells["C" + row].Value, "°");
    EXPECT_EQ(cells["D" + row].Format, "0.00");
    ++found;
  }
  EXPECT_EQ(found, 2);
}

TEST_F(SpreadsheetExchangeTest, StartNeedsAFileNameAndAProgram) {
  ScopedScriptedDialogs dialogs;
  Associate(true);
  Session.CurrentFileName.clear();
  StartExcel();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(ExcelApp.Started);

  Flags.AbortFlag = false;
  Session.CurrentFileName = "welle";
  Associate(false);
  StartExcel();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(ExcelApp.Started);
  {
    ScopedEnv program("QERN_SPREADSHEET", "/bin/true");
    Flags.AbortFlag = false;
    StartExcel();
    EXPECT_FALSE(Flags.AbortFlag);
    EXPECT_TRUE(ExcelApp.Started);
  }
  EXPECT_EQ(dialogs->Messages(),
            (std::vector<std::string>{
                "Zuerst müssen Sie Ihre Eingabedaten speichern (Menü \"Datei->Speichern\")",
                "Excel kann nicht gestartet werden"}));

  // The export without a design file name.
  dialogs->Clear();
  Flags.AbortFlag = false;
  ExportTextToSpreadsheet("");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs->Messages(), (std::vector<std::string>{"File not found. Use \"File->Save\""}));
  EXPECT_TRUE(opened_.empty());
}

TEST_F(SpreadsheetExchangeTest, PrintoutKeepsListingSettingsAndShowsOnlyMessagesWhenFatal) {
  ScopedScriptedDialogs dialogs;
  Associate(true);
  Settings.AskTextDevice = true;
  Settings.DefaultTextDevice = DeviceHtml;
  PrintoutToExcel();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(opened_.size(), 1u);
  EXPECT_TRUE(Settings.AskTextDevice);
  EXPECT_EQ(Settings.DefaultTextDevice, DeviceHtml);

  Flags.FatalError = true;
  AddError("Fatal  : Test");
  dialogs->QueueCancel();
  PrintoutToExcel();
  EXPECT_EQ(opened_.size(), 1u);  // no workbook
  EXPECT_EQ(Listing.TxtListingNumber, 1);

  // No program: the message and no listing.
  Flags.FatalError = false;
  Associate(false);
  dialogs->Clear();
  PrintoutToExcel();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs->Messages(), (std::vector<std::string>{"Excel kann nicht gestartet werden"}));
  EXPECT_EQ(Listing.TxtListingNumber, 1);
}

// A workbook written again keeps the mode and access list the user gave the old one.
TEST_F(SpreadsheetExchangeTest, AWorkbookWrittenAgainKeepsItsAccessList) {
  Worksheet sheet;
  sheet.SetCell(1, 1, "Text");
  std::string error;
  const std::string book = tmp_.File("mappe.xlsx");
  ASSERT_TRUE(WriteWorkbook(sheet, book, error)) << error;
  ASSERT_EQ(::chmod(book.c_str(), 0600), 0);
  if (!qern::test::SetFacl("-m u:daemon:r '" + book + "'")) GTEST_SKIP() << "no setfacl or no ACLs here";
  const std::string acl = qern::test::FaclOf(book);
  sheet.SetCell(2, 1, "mehr");
  ASSERT_TRUE(WriteWorkbook(sheet, book, error)) << error;
  EXPECT_EQ(qern::test::FaclOf(book), acl);
  struct stat st {};
  ASSERT_EQ(::stat(book.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(SpreadsheetExchangeTest, WorkbookFailuresAreReportedAndLeaveNothingBehind) {
  ScopedScriptedDialogs dialogs;
  Worksheet sheet;
  sheet.SetCell(1, 1, "Text");
  std::string error;
  EXPECT_FALSE(WriteWorkbook(sheet, tmp_.File("fehlt/mappe.xlsx"), error));
  EXPECT_FALSE(error.empty());

  // A sheet beyond the format's rows: refused, the old workbook stays as it was.
  WriteWholeFile(tmp_.File("alt.xlsx"), "alt");
  sheet.SetCell(1048577, 1, "zu weit");
  EXPECT_FALSE(ShowWorkbook(sheet, tmp_.File("alt.xlsx")));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(tmp_.File("alt.xlsx")), "alt");
  EXPECT_EQ(dialogs->Messages().size(), 1u);
  EXPECT_TRUE(opened_.empty());
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(tmp_.Path())) files += e.is_regular_file();
  EXPECT_EQ(files, 2);  // mimeapps.list and alt.xlsx: no temporary file left

  // The desktop cannot start a program.
  Flags.AbortFlag = false;
  dialogs->Clear();
  SetDesktopHooks({[](const std::string&) { return false; }, {}});
  sheet.SetCell(1048577, 1, "");
  EXPECT_FALSE(ShowWorkbook(sheet, tmp_.File("neu.xlsx")));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs->Messages(),
            (std::vector<std::string>{"Excel kann nicht gestartet werden; die Tabelle steht in " +
                                      tmp_.File("neu.xlsx")}));
  // The workbook stays, with the permissions of any new file of the user.
  struct stat st {};
  ASSERT_EQ(::stat(tmp_.File("neu.xlsx").c_str(), &st), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
}

TEST(SpreadsheetCells, PlainDecimalNumbersOnly) {
  struct Case {
    const char* Text;
    bool Number;
    double Value;
    int Decimals;
  } cases[] = {{"    30.00", true, 30, 2}, {"-31", true, -31, 0}, {"0,25", true, 0.25, 2},
               {"0", true, 0, 0},         {"02", false, 0, 0},   {"1.", false, 0, 0},
               {"1e5", false, 0, 0},      {"1.2.3", false, 0, 0}, {"mm", false, 0, 0},
               {"", false, 0, 0},         {"nan", false, 0, 0},  {"-", false, 0, 0}};
  for (const Case& c : cases) {
    double v = -1;
    int d = -1;
    EXPECT_EQ(CellNumber(c.Text, v, d), c.Number) << c.Text;
    if (c.Number) {
      EXPECT_DOUBLE_EQ(v, c.Value) << c.Text;
      EXPECT_EQ(d, c.Decimals) << c.Text;
    }
  }
  Worksheet sheet;
  TabbedLinesToSheet({"a\tb\t\td", "", "x"}, sheet);
  EXPECT_EQ(sheet.Cell(1, 4), "d");
  EXPECT_EQ(sheet.Cell(1, 3), "");
  EXPECT_EQ(sheet.Cell(3, 1), "x");
  EXPECT_EQ(sheet.RowCount(), 3);
}

TEST_F(SpreadsheetExchangeTest, MakerLinksGoToTheDesktop) {
  OpenInfoPage();
  OpenHomePage();
  MailToMaker();
  ASSERT_EQ(urls_.size(), 3u);
  EXPECT_EQ(urls_[0], "https://www.zorquan.de/qern_d.htm");
  EXPECT_EQ(urls_[1], "https://www.zorquan.de/");
  EXPECT_EQ(urls_[2], "mailto:info@zorquan.de?subject=QERN%20V1.0");
}

TEST_F(SpreadsheetExchangeTest, LinksWithoutAProgramAreNamedInAMessage) {
  ScopedScriptedDialogs dialogs;
  SetDesktopHooks({{}, [this](const std::string& u) { urls_.push_back(u); return false; }});
  OpenHomePage();
  EXPECT_TRUE(Flags.AbortFlag);
  MailToMaker();
  EXPECT_EQ(urls_.size(), 2u);
  EXPECT_EQ(dialogs->Messages(),
            (std::vector<std::string>{
                "Kein Programm für Web-Seiten eingerichtet: https://www.zorquan.de/",
                "Kein Programm für E-Mail eingerichtet: info@zorquan.de, Betreff: QERN V1.0"}));
}

}  // namespace
