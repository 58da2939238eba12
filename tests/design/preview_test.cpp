// The file overview table: rows of a folder's designs calculated apart from the current design,
// unreadable files, sorting by value, search, opening a row and the export.
#include "design/preview.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utility>

#include "app/qernstart.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/spreadsheet.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class FileOverviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetProgramIdentity();
    SetDefaultDesign();
    Settings.TempFolder = folder_.Path();
  }
  // A design with z teeth, module mn and the shaft's profile shift x1, part numbers as given.
  void WriteDesign(const std::string& name, int z, long double mn, long double x1,
                   const std::string& number1 = "01") {
    DesignFileContent content = CurrentDesignContent();
    SetDefaultDesign(content.Record);
    content.Record.ToothCount[1] = z;
    content.Record.ToothCount[2] = -z;
    content.Record.NormalModule = mn;
    content.Record.XInputMode[1] = 1;
    content.Record.ProfileShift[1] = x1;
    content.Number[1] = number1;
    ASSERT_TRUE(WriteDesignFile(folder_.File(name), content));
  }
  // The file's time of last change set to t.
  void Stamp(const std::string& name, std::time_t t) {
    const timespec both[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder_.File(name).c_str(), both, 0), 0);
  }
  // The folder's overview: row i + 1 shows the date of times[i].
  FileOverview ExpectRowDates(const std::vector<std::time_t>& times) {
    FileOverview table;
    FillFileOverview(table, folder_.Path());
    EXPECT_EQ(table.RowCount(), static_cast<int>(times.size()) + 1);
    for (std::size_t i = 0; i < times.size() && i + 1 < table.Rows.size(); ++i)
      EXPECT_EQ(table.Rows[i + 1][1], FileDateStr(times[i])) << times[i];
    return table;
  }
  test::TempFolder folder_;
};

TEST_F(FileOverviewTest, RowsAreCalculatedApartFromTheCurrentDesign) {
  WriteDesign("b.qrk", 100, 1.0L, 0.2L, "Welle 7");
  WriteDesign("a.QRK", 31, 0.75L, -0.1L);
  test::WriteWholeFile(folder_.File("c.qrk"), "not a design\n");
  test::WriteWholeFile(folder_.File("notes.txt"), "x\n");
  fs::create_directory(folder_.File("sub.qrk"));

  Design.ToothCount[1] = 17;
  Session.CurrentFileName = "mine";
  Flags.DesignModified = true;
  AddError("Warnung: kept");
  FileOverview table;
  std::vector<std::string> seen;
  FillFileOverview(table, folder_.Path(), [&](const std::string& f) { seen.push_back(f); });

  EXPECT_EQ(seen, (std::vector<std::string>{"a.QRK", "b.qrk", "c.qrk"}));
  ASSERT_EQ(table.RowCount(), 4);
  EXPECT_EQ(table.Rows[0][0], "File");
  EXPECT_EQ(table.Rows[0][4], "d [mm]");
  EXPECT_EQ(table.Rows[0][6], "alpha [°]");
  const OverviewRow& a = table.Rows[1];
  EXPECT_EQ(a[0], "a.QRK");
  EXPECT_EQ(a[1].size(), 10u) << a[1];
  EXPECT_EQ(a[2], "01");
  EXPECT_EQ(a[4], "  23.250");  // 31 * 0.75, width 4 + 1 + 3
  EXPECT_EQ(a[5], " 0.750");
  EXPECT_EQ(a[7], " 31");
  EXPECT_EQ(a[8], "-0.100");
  EXPECT_EQ(table.Rows[2][2], "Welle 7");
  EXPECT_EQ(table.Rows[2][7], "100");
  // The unreadable file keeps its name and date, nothing of its neighbours.
  const OverviewRow& c = table.Rows[3];
  EXPECT_EQ(c[0], "c.qrk");
  EXPECT_FALSE(c[1].empty());
  for (int col = 2; col < OverviewColumns; ++col) EXPECT_EQ(c[col], "") << col;

  EXPECT_EQ(Design.ToothCount[1], 17) << "the current design is untouched";
  EXPECT_EQ(Session.CurrentFileName, "mine");
  EXPECT_TRUE(Flags.DesignModified);
  EXPECT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Warnung: kept");

  FileOverview empty;
  FillFileOverview(empty, folder_.File("none"));
  EXPECT_EQ(empty.RowCount(), 1) << "the header only";
}

// Each row's date is its file's, also for files changed seconds, hours or days apart.
TEST_F(FileOverviewTest, EachRowHasItsFilesDate) {
  const std::time_t base = 1700000000;  // 2023-11-14, 22:13 UTC
  const std::vector<std::time_t> times = {base, base + 1, base + 3600, base + 7 * 3600,
                                          base + 86400, base - 86400, base + 40 * 86400 + 5,
                                          base + 2};
  for (std::size_t i = 0; i < times.size(); ++i) {
    const std::string name = "d" + std::to_string(i) + ".qrk";
    WriteDesign(name, 20 + static_cast<int>(i), 1.0L, 0, "");
    Stamp(name, times[i]);
  }
  const FileOverview table = ExpectRowDates(times);
  ASSERT_EQ(table.RowCount(), static_cast<int>(times.size()) + 1);
  EXPECT_NE(table.Rows[5][1], table.Rows[1][1]);
}

// Files changed just before and after midnight, and on the days the clock is set forward or back
// (also at midnight itself), each get their own day.
TEST_F(FileOverviewTest, DatesAroundMidnightAndClockChanges) {
  const char* const old = std::getenv("TZ");
  const std::string kept = old ? old : "";
  for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "<-03>3<-02>,M10.1.0/0,M2.3.0/0", "UTC0"}) {
    SCOPED_TRACE(zone);
    ::setenv("TZ", zone, 1);
    ::tzset();
    fs::remove_all(folder_.Path());
    fs::create_directories(folder_.Path());
    // Every 25 minutes through three days around each change, in the order the rows are read.
    std::vector<std::time_t> times;
    for (std::time_t start : {std::time_t{1679702400}, std::time_t{1698451200},
                              std::time_t{1696118400}, std::time_t{1676764800}})
      for (std::time_t t = start - 86400; t < start + 2 * 86400; t += 1500) times.push_back(t);
    for (std::size_t i = 0; i < times.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "d%05zu.qrk", i);
      if (i == 0)
        WriteDesign(name, 20, 1.0L, 0, "");
      else
        fs::copy_file(folder_.File("d00000.qrk"), folder_.File(name));
      Stamp(name, times[i]);
    }
    ExpectRowDates(times);
  }
  if (old)
    ::setenv("TZ", kept.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

// A row takes only the part numbers of its file's texts, yet a file whose texts or sections are
// out of step has no values in its row, exactly when opening it fails.
TEST_F(FileOverviewTest, RowsCheckEverySectionAsOpeningDoes) {
  DesignFileContent content = CurrentDesignContent();
  content.Number[1] = "Welle-Ä1";
  content.Number[2] = "Nabe-ß2";
  content.Name[1] = "Zahnwelle €";
  content.CommentLines = {"Kommentar ö", "", "dritte"};
  content.Info.ChangeCount = 2;
  content.Info.ChangeEntries[0] = {"Erstausgabe", "2024-01-15", "Jäger", "neu"};
  content.Info.ChangeEntries[1] = {"Mass-ß", "2024-03-02", "Öz", "zwei\nZeilen"};
  content.Info.PlacedTextCount = 1;
  content.Info.PlacedTexts[0] = {10, 20, 3.5L, 0, "Text ü"};
  content.Links[0] = {"prog", "datei.pdf"};
  ASSERT_TRUE(WriteDesignFile(folder_.File("gut.qrk"), content));
  const std::vector<std::string> lines = test::ReadFileLines(folder_.File("gut.qrk"));
  auto at = [&](const std::string& text, int after = 0) {
    const auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
      // (the file holds its texts in the classic code page: found by their plain letters)
      return l.size() >= text.size() &&
             (l.compare(l.size() - text.size(), text.size(), text) == 0 || l.rfind(text, 0) == 0);
    });
    EXPECT_NE(it, lines.end()) << text;
    return static_cast<std::size_t>(it - lines.begin()) + after;
  };
  // Each variant changes one line (or ends the file there).
  const std::vector<std::pair<std::size_t, std::string>> variants = {
      {at("NDERUNGEN", 1), "zwei"},             // the count of changes
      {at("NDERUNGEN", 2), "Strich"},           // the separator before the entries
      {at("Erstausgabe", 4), "kein Strich"},    // an entry's separator
      {at("Mass", 5), "a|b|c|d|e|f|x||"},       // the count of placed texts
      {at("10|20|"), "x|20|3.5|0|Text ü||"},    // a placed text's place
      {at("10|20|"), "10|20|3.5|0|anders||"},   // a placed text's text: fine
      {at("Dokumente", 1), "fünf"},             // the count of links
      {at("Dokumente", 5), "kein Strich"},      // a link's separator
      {at("ISO 7200 Header", 1), "Blatt"},      // the title-block kind
      {at("ISO 7200 Header", 6), "Ende"},       // the section's end
      {at("Kommentar"), "Kommentar ändert"},    // a comment: fine
      {at("Zahnwelle"), "Welle"},               // a part name: fine
      {at("Erstausgabe", 2), ""},               // the file ends in the change log
      {at("ISO 7200 Header", 3), ""},           // the file ends in the ISO header
  };
  for (std::size_t v = 0; v < variants.size(); ++v) {
    std::vector<std::string> changed = lines;
    const auto& [line, text] = variants[v];
    if (text.empty())
      changed.resize(line);
    else
      changed[line] = text;
    test::WriteFileLines(folder_.File("v" + std::to_string(v) + ".qrk"), changed);
  }
  FileOverview table;
  FillFileOverview(table, folder_.Path());
  ASSERT_EQ(table.RowCount(), static_cast<int>(variants.size()) + 2);
  int broken = 0;
  for (int row = 1; row < table.RowCount(); ++row) {
    const std::string name = table.Rows[row][0];
    SCOPED_TRACE(name);
    DesignFileContent opened;
    const bool ok = ReadDesignFile(folder_.File(name), opened);
    EXPECT_EQ(!table.Rows[row][7].empty(), ok);
    if (!ok) ++broken;
    if (!ok) continue;
    EXPECT_EQ(table.Rows[row][2], ConvertDisplayText(opened.Number[1]));
    EXPECT_EQ(table.Rows[row][3], "Nabe-ß2");
  }
  EXPECT_EQ(broken, 11);
  EXPECT_EQ(table.Rows[1][2], "Welle-Ä1") << "gut.qrk";
}

// A row shows values exactly for the designs that Open opens: a placed text out of range and a
// design whose calculation stores a value out of range show none; a fatal design shows its own.
TEST_F(FileOverviewTest, ARowShowsValuesOnlyForADesignThatOpens) {
  struct Case {
    const char* Name;
    void (*Change)(DesignFileContent&);
    bool Opens;
  };
  const Case cases[] = {
      {"plain.qrk", [](DesignFileContent&) {}, true},
      {"text-far.qrk",
       [](DesignFileContent& c) {
         c.Info.PlacedTextCount = 1;
         c.Info.PlacedTexts[0] = {2000000, 10, 3.5L, 0, "weit"};
       },
       false},
      {"text-edge.qrk",
       [](DesignFileContent& c) {
         c.Info.PlacedTextCount = 1;
         c.Info.PlacedTexts[0] = {1000000, -1000000, 3.5L, 0, "Rand"};
       },
       true},
      {"huge.qrk", [](DesignFileContent& c) { c.Record.NormalModule = 1000000; }, false},
      {"zero.qrk", [](DesignFileContent& c) { c.Record.NormalModule = 0; }, true},
  };
  for (const Case& c : cases) {
    DesignFileContent content = CurrentDesignContent();
    c.Change(content);
    ASSERT_TRUE(WriteDesignFile(folder_.File(c.Name), content));
  }
  FileOverview table;
  FillFileOverview(table, folder_.Path());
  ASSERT_EQ(table.RowCount(), 6);
  ScopedScriptedDialogs dialogs;
  for (int row = 1; row < table.RowCount(); ++row) {
    const std::string name = table.Rows[row][0];
    const bool opens = std::find_if(std::begin(cases), std::end(cases), [&](const Case& c) {
                         return name == c.Name;
                       })->Opens;
    SCOPED_TRACE(name);
    ReadDataFile(folder_.File(name));
    EXPECT_EQ(!Flags.AbortFlag, opens);
    for (int column = 4; column < OverviewColumns; ++column)
      EXPECT_EQ(!table.Rows[row][column].empty(), opens) << column << ": " << table.Rows[row][column];
  }
}

// The file being read is shown at once, then at most once an interval, and the last one at the end.
TEST(ThrottledProgressTest, ShowsTheFirstThenOneAnIntervalAndTheLast) {
  using namespace std::chrono_literals;
  ThrottledProgress::Clock::time_point now{};
  std::vector<std::string> shown;
  ThrottledProgress progress([&](const std::string& s) { shown.push_back(s); }, 50ms,
                             [&] { return now; });
  progress("a");
  now += 10ms;
  progress("b");
  now += 39ms;
  progress("c");
  now += 1ms;
  progress("d");  // 50 ms after a
  now += 49ms;
  progress("e");
  EXPECT_EQ(shown, (std::vector<std::string>{"a", "d"}));
  progress.Finish();
  EXPECT_EQ(shown, (std::vector<std::string>{"a", "d", "e"}));
  progress.Finish();
  now += 1ms;
  progress("f");
  EXPECT_EQ(shown.size(), 3u) << "e was shown just now";
  now += 50ms;
  progress("g");
  progress.Finish();
  EXPECT_EQ(shown, (std::vector<std::string>{"a", "d", "e", "g"}));

  // Names farther apart than the interval are all shown.
  std::vector<std::string> all;
  ThrottledProgress slow([&](const std::string& s) { all.push_back(s); }, 50ms,
                         [&] { return now += 60ms; });
  for (const char* s : {"x", "y", "z"}) slow(s);
  slow.Finish();
  EXPECT_EQ(all, (std::vector<std::string>{"x", "y", "z"}));
}

// A row shows what opening its file shows, whatever file was read before it: the shipped
// designs, each after each other one.
TEST_F(FileOverviewTest, RowsShowTheValuesOfTheOpenedFile) {
  const std::vector<std::string> shipped = {"null.qrk", "examples/diametral_pitch.qrk",
                                            "examples/profilverschiebung.qrk",
                                            "examples/pruefmass.qrk",
                                            "examples/welle_mit_spielen.qrk"};
  int n = 0;
  for (int round = 0; round < 2; ++round)
    for (const std::string& file : shipped)
      fs::copy_file(std::string(QERN_SOURCE_DATA) + "/" + file,
                    folder_.File("f" + std::to_string(n++) + "_" + fs::path(file).filename().string()));
  FileOverview table;
  FillFileOverview(table, folder_.Path());
  ASSERT_EQ(table.RowCount(), n + 1);
  for (int row = 1; row < table.RowCount(); ++row) {
    ASSERT_TRUE(OpenOverviewRow(table, row)) << table.Rows[row][0];
    const OverviewRow& r = table.Rows[row];
    EXPECT_EQ(r[2], ConvertDisplayText(PartDrawingNumber[1])) << r[0];
    EXPECT_EQ(r[3], ConvertDisplayText(PartDrawingNumber[2])) << r[0];
    EXPECT_EQ(r[4], LengthStrFixed(4, 3, Design.PitchDiameter[1])) << r[0];
    EXPECT_EQ(r[5], LengthStrFixed(2, 3, Design.NormalModule)) << r[0];
    EXPECT_EQ(r[6], FloatStrFixed(3, 2, Design.PressureAngleDeg)) << r[0];
    EXPECT_EQ(r[7], IntStrBlank(Design.ToothCount[1], 3)) << r[0];
    EXPECT_EQ(r[8], FloatStrFixed(1, 3, Design.ProfileShift[1])) << r[0];
    EXPECT_EQ(r[9], FloatStrFixed(1, 3, Design.ProfileShift[2])) << r[0];
  }
  EXPECT_NE(table.Rows[1][4], table.Rows[2][4]) << "the designs differ";
}

TEST_F(FileOverviewTest, SortsByValueAndTheSelectionFollows) {
  FileOverview table;
  table.Rows = {OverviewHeader(),
                {"a", "", "", "", "", "", "", "100", "0.200", ""},
                {"b", "", "", "", "", "", "", " 31", "-0.500", ""},
                {"c", "", "", "", "", "", "", "", "-0.100", ""},
                {"d", "", "", "", "", "", "", "  9", "x", ""}};
  table.Selected = 1;
  std::vector<int> moved = SortByColumn(table, 7);
  EXPECT_EQ(table.Rows[1][0], "d");
  EXPECT_EQ(table.Rows[2][0], "b");
  EXPECT_EQ(table.Rows[3][0], "a");
  EXPECT_EQ(table.Rows[4][0], "c") << "empty cells last";
  EXPECT_EQ(table.Selected, 3);
  EXPECT_EQ(moved, (std::vector<int>{0, 3, 2, 4, 1}));

  SortByColumn(table, 8);
  EXPECT_EQ(table.Rows[1][8], "-0.500");
  EXPECT_EQ(table.Rows[2][8], "-0.100");
  EXPECT_EQ(table.Rows[3][8], "0.200");
  EXPECT_EQ(table.Rows[4][8], "x") << "texts after numbers";
  EXPECT_EQ(table.Rows[0][0], "File") << "the header stays";

  SortByColumn(table, 0);
  EXPECT_EQ(table.Rows[1][0], "a");
  EXPECT_EQ(table.Selected, 1);
}

TEST_F(FileOverviewTest, SearchFindsCellsBelowTheStartRow) {
  FileOverview table;
  table.Rows = {OverviewHeader(),
                {"x.qrk", "", "Nabe", "", "", "", "", "", "", ""},
                {"y.qrk", "", "01", "Welle 2", "", "", "", "", "", ""},
                {"Welle.qrk", "", "", "", "", "", "", "", "", ""}};
  table.SearchText = "Welle";
  ASSERT_TRUE(SearchGrid(table, 0));
  EXPECT_EQ(table.Selected, 2);
  EXPECT_EQ(table.SelectedColumn, 3);
  ASSERT_TRUE(SearchGrid(table, table.Selected));
  EXPECT_EQ(table.Selected, 3);
  EXPECT_EQ(table.SelectedColumn, 0);
  EXPECT_FALSE(SearchGrid(table, table.Selected));
  table.SearchText = "welle";
  EXPECT_FALSE(SearchGrid(table, 0)) << "letter case counts";
}

TEST_F(FileOverviewTest, OpeningARowReadsThatDesign) {
  WriteDesign("a.qrk", 24, 0.75L, 0.0L);
  test::WriteWholeFile(folder_.File("b.qrk"), "broken\n");
  FileOverview table;
  FillFileOverview(table, folder_.Path());
  Session.CurrentFileName = "mine";
  Session.CurrentFileFolder = "/elsewhere/";
  Flags.ErrorBoxesEnabled = false;

  EXPECT_FALSE(OpenOverviewRow(table, 2));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Session.CurrentFileName, "mine") << "a failed read keeps the design's name";
  EXPECT_EQ(Design.ToothCount[1], 31) << "the default design stays";

  // A row whose file has become a folder since the table was made says why it does not open.
  fs::remove(folder_.File("b.qrk"));
  fs::create_directory(folder_.File("b.qrk"));
  Flags.ErrorBoxesEnabled = true;
  {
    ScopedScriptedDialogs dialogs;
    EXPECT_FALSE(OpenOverviewRow(table, 2));
    EXPECT_EQ(dialogs->Messages(),
              std::vector<std::string>{"Datei " + folder_.File("b.qrk") + " kann nicht gelesen werden: " +
                                       folder_.File("b.qrk") + " ist ein Ordner; die aktuellen Daten bleiben unverändert !"});
  }
  EXPECT_EQ(Session.CurrentFileName, "mine");

  Flags.DesignModified = true;
  ASSERT_TRUE(OpenOverviewRow(table, 1));
  EXPECT_EQ(Session.CurrentFileName, "a");
  EXPECT_EQ(Session.CurrentFileFolder, AddBackslash(folder_.Path()));
  EXPECT_EQ(Design.ToothCount[1], 24);
  EXPECT_DOUBLE_EQ(static_cast<double>(Design.PitchDiameter[1]), 18.0);
  EXPECT_FALSE(Flags.DesignModified);
}

TEST_F(FileOverviewTest, ExportWritesEveryCellWithTheHeader) {
  WriteDesign("a.qrk", 31, 0.75L, 0.0L);
  FileOverview table;
  FillFileOverview(table, folder_.Path());
  setenv("QERN_SPREADSHEET", "/bin/true", 1);
  EXPECT_TRUE(ExportOverview(table));
  unsetenv("QERN_SPREADSHEET");
  EXPECT_TRUE(fs::exists(folder_.File("qern_files.xlsx")));
}

}  // namespace
}  // namespace qern
