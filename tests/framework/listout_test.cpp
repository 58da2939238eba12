// Listing output engine: the framed, TXT and HTML layouts of the row calls, page heads, paging,
// separator modes, the message section and the devices' open/close.
#include "framework/listout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/textprint.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

// Characters from 1-based column pos of a framed line (after the seven-blank margin).
std::string At(const std::string& line, int pos, int count) { return Utf8Copy(line, 7 + pos, count); }

int Count(const std::string& text, const std::string& sub) {
  int n = 0;
  for (size_t p = text.find(sub); p != std::string::npos; p = text.find(sub, p + 1)) ++n;
  return n;
}

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    SetListingHooks({});
    SetTextPrintTarget(nullptr);
    Settings.TempFolder = dir_.Path();
    Settings.PltFolder = dir_.Path();
    Settings.HtmlBrowser.clear();
    Ident.ProductName = "QERN";
    Ident.ProgramName = "qern";
    Ident.Banner = "QERN   Kerbverzahnung";
    Ident.DataExtension = "qrk";
    Session.CurrentFileName = "welle";
    Session.CurrentFileFolder = "/home/k";
    SetListClock([] { return ListClockTime{2024, 3, 7, 9, 5}; });
  }
  void TearDown() override {
    SetListClock(nullptr);
    SetListingHooks({});
    DataFile.FailNextWrites(0);
  }

  // Opens device dev for a listing with the usual head texts; the DataFile is rewritten.
  void Open(int dev, int pageTotal = 0) {
    SetListHeader("QERN V1.0  Passverzahnung", FormatNrLine("Welle", "4711"), FormatNrLine("Nabe", "4712"),
                  "Kommentar 1", "", pageTotal);
    SetListColumns("", "Zeichen", "Einheit", " Welle", " Nabe");
    OpenListOutput(dev, Session.CurrentFileName);
    ASSERT_FALSE(Flags.AbortFlag);
    RewriteChecked(DataFile);
    ASSERT_FALSE(Flags.AbortFlag);
  }
  // The framed listing of device 8 after closing.
  std::vector<std::string> CloseOutDos() {
    CloseListOutput();
    return ReadFileLines(dir_.File("OUTDOS.TXT"));
  }
  // The temporary file of devices 1, 4 and 5 as far as written (committed under its name).
  std::vector<std::string> WorkingLines() {
    DataFile.Commit();
    return ReadFileLines(Listing.ListFileName);
  }

  TempFolder dir_;
  ScopedScriptedDialogs dialogs_;
};

// Mode 1 is in the golden listings of the result listing; here the other three.
TEST_F(ListingTest, SeparatorLinesOfModesTwoToFour) {
  Settings.SeparatorMode = 2;
  std::string singles, doubles;
  for (int i = 0; i < 70; ++i) singles += "─", doubles += "═";
  EXPECT_EQ(SeparatorLine(), singles);
  EXPECT_EQ(DoubleSeparatorLine(), doubles);
  doubles = Utf8Copy(doubles, 1, 68);
  EXPECT_EQ(BoxTopLine(), "╔" + doubles + "╗");
  EXPECT_EQ(BoxMiddleLine(), "╠" + doubles + "╣");
  EXPECT_EQ(BoxBottomLine(), "╚" + doubles + "╝");
  Open(DeviceOutDos);
  ListPageHeader(0, 0);
  const auto lines = CloseOutDos();
  EXPECT_EQ(At(lines[1], 1, 1), "║");
  EXPECT_EQ(At(lines[1], 70, 1), "║");  // positions count characters, not bytes
  EXPECT_EQ(Utf8Length(lines[1]), 77);
  for (const auto& [mode, line] : {std::pair{3, std::string(70, ' ')}, {4, std::string("$!$")}}) {
    Settings.SeparatorMode = mode;
    EXPECT_EQ((std::vector{SeparatorLine(), BoxMiddleLine(), BoxBottomLine(), BoxSideChar()}),
              (std::vector{line, line, line, std::string(" ")}));
  }
}

TEST_F(ListingTest, PageNumbersWithAndWithoutTotalAndSpaceLines) {
  Settings.HeaderSpaceLines = 2;
  Open(DeviceOutDos, 3);
  ListPageHeader(0, 0);
  ListPageBreak();
  ListPageHeader(0, 0);
  Listing.ListPageTotal = 0;
  ListPageBreak();
  ListPageHeader(0, 0);
  const auto lines = CloseOutDos();
  EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{"       ", "       ", "       " + std::string(70, '*')}));
  std::vector<std::string> pageMarks;
  for (const auto& l : lines)
    if (l.find("Bl.") != std::string::npos) pageMarks.push_back(At(l, 60, 9));
  EXPECT_EQ(pageMarks, (std::vector<std::string>{"Bl. 1/ 3 ", "Bl. 2/ 3 ", "    Bl. 3"}));
  // Devices 3, 5 and 8 end a page without a form feed.
  for (const auto& l : lines) EXPECT_EQ(l.find('\f'), std::string::npos);
}

TEST_F(ListingTest, ValueRowsAndTheirColumns) {
  Open(DeviceOutDos);
  ListValueLine("Eingriffswinkel", "alpha", "°", " 30.00");
  ListValueLine("Lang", "v", "", "12345678901234567890");
  ListTwoValueLine("Zähnezahl", "z", "", "      24", "     -24");
  ListTwoValueLine("Teilkreisdurchmesser", "d", "mm", " 24.000000", "-24.0000000");
  ListTwoValueLine("d", "d", "mm", "123456789.123", "-1");
  const auto lines = CloseOutDos();
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "       Eingriffswinkel                   alpha    °            30.00         ");
  EXPECT_EQ(lines[1], "       " + std::string(70, '-'));
  EXPECT_EQ(At(lines[2], 50, 20), "12345678901234567890");  // a value of 20 ends at position 69
  EXPECT_EQ(Utf8Length(lines[2]), 77);
  EXPECT_EQ(lines[4], "       Zähnezahl                         z                     24        -24  ");
  EXPECT_EQ(Utf8Length(lines[4]), 78);  // two-value rows are 71 characters wide
  // An 11-character hub value extends the row instead of vanishing.
  EXPECT_EQ(At(lines[6], 51, 10), " 24.000000");
  EXPECT_EQ(At(lines[6], 62, 11), "-24.0000000");
  // A shaft value reaching into the hub column pushes the hub value one blank behind it.
  EXPECT_EQ(At(lines[8], 51, 13), "123456789.123");
  EXPECT_EQ(At(lines[8], 64, 3), " -1");
}

TEST_F(ListingTest, OverlongTextsAreCutNotDropped) {
  Session.CurrentFileFolder = "/" + std::string(60, 'f');
  SetListHeader(std::string(80, 'T'), std::string(75, 'K'), "", "", "", 0);
  OpenListOutput(DeviceOutDos, "");
  RewriteChecked(DataFile);
  ListPageHeader(0, 0);
  const auto lines = CloseOutDos();
  EXPECT_EQ(At(lines[1], 4, 60), std::string(60, 'T'));
  EXPECT_EQ(At(lines[1], 64, 5), "Bl. 1");
  EXPECT_EQ(At(lines[3], 4, 10), "welle.qrk ");  // the full name does not fit: the short name
  EXPECT_EQ(At(lines[5], 4, 67), std::string(67, 'K'));
  for (const auto& l : lines) EXPECT_LE(Utf8Length(l), 77);
}

TEST_F(ListingTest, PagingStartsANewHeadWhenThePageIsFull) {
  Settings.LinesPerPage = 30;
  Open(DevicePrinter);  // device 4 ends pages with a form-feed line
  ListPageHeader(0, 1);
  for (int i = 0; i < 20; ++i) ListValueLine("Zeile " + std::to_string(i), "s", "mm", "1");
  int pages = 1, onPage = 0, heads = 0;
  for (const auto& l : WorkingLines()) {
    if (l == "\f") {
      ++pages;
      EXPECT_LE(onPage, 30);
      onPage = 0;
      continue;
    }
    ++onPage;
    if (l.find("Bl.") != std::string::npos) ++heads;
  }
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(heads, 3);
  EXPECT_EQ(Listing.ListPageCount, 3);

  // A page shorter than its head must not start page after page inside the head.
  Settings.LinesPerPage = 3;
  Open(DeviceOutDos);
  ListPageHeader(0, 1);
  ListValueLine("a", "b", "c", "1");
  EXPECT_GT(CloseOutDos().size(), 12u);
}

TEST_F(ListingTest, HeaderModeTwoHeadsOnlyTheFirstPage) {
  Settings.HeaderMode = 2;
  Settings.LinesPerPage = 20;
  Open(DeviceOutDos);
  ListPageHeader(0, 0);
  for (int i = 0; i < 15; ++i) ListLine("x" + std::to_string(i));
  ListPageHeader(0, 0);
  const auto lines = CloseOutDos();
  EXPECT_EQ(At(lines[1], 4, 25), "QERN V1.0  Passverzahnung");
  EXPECT_EQ(Count(lines[1], "Bl."), 0);  // no page number in this mode
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "\f"), 1);  // the full page
  EXPECT_EQ(std::count(lines.begin(), lines.end(), " "), 1);   // the second head
  EXPECT_EQ(Listing.ListPageCount, 1);
}

TEST_F(ListingTest, CompressedModeDropsSeparatorsAndShortPages) {
  Settings.SeparatorMode = 4;
  Settings.LinesPerPage = 40;
  Open(DevicePrinter);
  ListPageHeader(0, 1);
  ListValueLine("a", "b", "c", "1");
  ListLine(SeparatorLine());
  ListPageBreak();  // less than half a page: no page end
  EXPECT_GT(Listing.ListLineCount, 0);
  const auto lines = WorkingLines();
  EXPECT_EQ(lines[0], "       ");  // the compressed head starts with an empty line
  EXPECT_EQ(At(lines.back(), 1, 1), "a");
  for (const auto& l : lines) EXPECT_TRUE(l.find("$!$") == std::string::npos && l.find('\f') == std::string::npos);

  // The listing window's copy ends with a form feed.
  Open(DeviceWindow);
  ListLine("text");
  CloseListOutput();
  EXPECT_EQ(ReadWholeFile(dir_.File("outwin.txt")), "       text\r\n\f\r\n");
}

TEST_F(ListingTest, TxtLayoutIsTabSeparatedWithoutSeparators) {
  Settings.SeparatorMode = 3;
  Session.CommentLines = {"K1", "K2", "K3"};
  Open(DeviceTxt);
  EXPECT_EQ(Listing.ListFileName, dir_.File("$$$1.txt"));
  ListPageHeader(0, 1);
  ListColumnHeads();
  ListValueLine("Modul", "mn", "mm", "2.5");
  ListTwoValueLine("Zähnezahl", "z", "", "24", "-24");
  ListLine(SeparatorLine());
  ListLine(DoubleSeparatorLine());
  ListPageBreak();
  ListPageHeader(0, 1);  // later pages have no head in this layout
  CloseListOutput();
  EXPECT_EQ(Listing.TxtListingNumber, 1);
  const std::vector<std::string> expected = {
      "QERN   Kerbverzahnung V1.0\t2024-03-07\t9:05", dir_.File("$$$1.txt"), "K1", "K2", "K3", " ",
      "\tZeichen\tEinheit\t Welle\t Nabe", "Modul\tmn\tmm\t2.5", "Zähnezahl\tz\t\t24\t-24",
  };
  EXPECT_EQ(ReadFileLines(dir_.File("$$1.txt")), expected);
  Open(DeviceTxt);
  EXPECT_EQ(Listing.ListFileName, dir_.File("$$$2.txt"));
  CloseListOutput();
  EXPECT_TRUE(fs::exists(dir_.File("$$2.txt")));
}

TEST_F(ListingTest, HtmlLayoutEscapesTextsAndBalancesTables) {
  WriteWholeFile(dir_.File("qern.err"), "Warnung: a < b & c\nUrsache <1>\nAbhilfe\n\nFehler : zwei\nU2\nA2\nEnde\n");
  AddError("Warnung: a < b & c");
  AddError("Fehler : zwei");
  Settings.HtmlBrowser = "/no/such/browser";
  Open(DeviceHtml);
  EXPECT_EQ(Listing.ListFileName, dir_.File("qern.htm"));
  EXPECT_EQ(Ident.DataExtension, "htm");
  ListPageHeader(0, 1);
  ListTwoValueLine("Zähne <z>", "z", "", "24", "-24");
  ListValueLine("A & B", "s", "mm", "1");
  ListLine("x > y");
  ListMessageSection();
  CloseListOutput();
  EXPECT_EQ(Ident.DataExtension, "qrk");  // put back although the browser is missing
  EXPECT_EQ(dialogs_->Messages().back(), "/no/such/browser not found");

  const std::string html = ReadWholeFile(dir_.File("qern.htm"));
  for (const char* part : {"<TR><TD>Zähne &lt;z&gt;</TD><TD>z</TD><TD></TD><TD>24</TD><TD>-24</TD></TR>",
                           "<TD>A &amp; B</TD>", "<br>x &gt; y", "<TR><TD>Warnung: a &lt; b &amp; c</TD></TR>",
                           "<TR><TD>Ursache &lt;1&gt;</TD></TR>"})
    EXPECT_NE(html.find(part), std::string::npos) << part;
  EXPECT_EQ(Count(html, "<TABLE"), Count(html, "</TABLE>"));
  EXPECT_EQ(html.find("</TABLE>\r\n</TABLE>"), std::string::npos);
  EXPECT_EQ(html.find("$!$"), std::string::npos);
}

TEST_F(ListingTest, ViewErrorMessagesListsIntoTheWindow) {
  ViewErrorMessages();
  EXPECT_EQ(dialogs_->Messages().back(), "Berechnung erfolgreich ohne Fehlermeldungen");
  std::vector<std::string> shown;
  int windows = 0;
  SetListingHooks({[&](const std::string&) {
    ++windows;
    shown = ReadFileLines(dir_.File("outwin.txt"));
  }});
  AddError("Warnung: eins");
  ViewErrorMessages();
  ASSERT_GT(shown.size(), 10u);
  EXPECT_EQ(At(shown[1], 4, 9), "QERN V1.0");
  EXPECT_EQ(At(shown[5], 4, 14), "Error Messages");
  EXPECT_NE(std::find(shown.begin(), shown.end(), "       Warnung: eins"), shown.end());

  // A write error ends the listing: no half listing in the window, no working file left.
  DataFile.FailNextWrites(1000);
  ViewErrorMessages();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(windows, 1);
  EXPECT_FALSE(DataFile.IsOpen());
  EXPECT_FALSE(fs::exists(Listing.ListFileName));
}

TEST_F(ListingTest, DeviceChoiceCancelAndWorkingFileNames) {
  OpenListOutput(DeviceNames, "");
  EXPECT_EQ(Session.ChoiceTexts[0], "Bildschirm");
  EXPECT_EQ(Session.ChoiceTexts[6], "HTML Datei");

  Settings.AskTextDevice = true;
  dialogs_->QueueCancel();
  OpenListOutput(0, "");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs_->Last().Caption, "Ausgabe auf ..");

  // Cancel in the save dialog of the file device leaves name and extension as they were.
  Flags.AbortFlag = false;
  dialogs_->QueueChoice(DeviceFile);
  dialogs_->QueueCancel();
  OpenListOutput(0, "");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Ident.DataExtension, "qrk");
  EXPECT_EQ(Session.CurrentFileName, "welle");

  // A device number outside 1..9 takes the listing window. Its temporary file takes the first
  // name of $OUT1.TMP .. $OUT10.TMP that can be made: one left by an earlier run is made anew (so
  // they never pile up), one held by a folder is passed over.
  Flags.AbortFlag = false;
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = 42;
  WriteWholeFile(dir_.File("$OUT1.TMP"), "earlier run");
  OpenListOutput(0, "");
  EXPECT_EQ(Listing.ListDevice, DeviceWindow);
  EXPECT_EQ(Listing.ListFileName, dir_.File("$OUT1.TMP"));
  EXPECT_EQ(ReadWholeFile(dir_.File("$OUT1.TMP")), "");
  AbortListOutput();
  fs::create_directory(dir_.File("$OUT1.TMP"));
  OpenListOutput(0, "");
  EXPECT_EQ(Listing.ListFileName, dir_.File("$OUT2.TMP"));
  AbortListOutput();
}

// Another user who can write the temporary folder plants links under the names the listings use:
// each name is replaced by the listing's own file, the link's target is never written.
TEST_F(ListingTest, LinksPlantedUnderTheListingNamesAreReplacedNeverFollowed) {
  TempFolder other;
  const std::string victim = other.File("victim");
  WriteWholeFile(victim, "precious");
  const std::vector<std::string> names = {"outwin.txt", "$OUT1.TMP", "$$$1.txt", "$$1.txt",
                                          "OUTDOS.TXT", "qern.htm",  "chosen.txt", "welle.txt"};
  for (const std::string& n : names) QERN_PLANT_FOREIGN_LINK(victim, dir_.File(n));
  Session.CurrentFileName = dir_.File("welle");  // the command line's copy lands beside the design
  Settings.TextProgram = "/bin/true";
  Settings.HtmlBrowser = "/no/such/browser";
  Flags.AskOverwrite = false;
  dialogs_->QueueText(dir_.File("chosen.txt"));
  for (int dev : {DeviceTextProgram, DeviceTxt, DeviceOutDos, DeviceFile, DeviceBatchTxt, DeviceHtml,
                  DeviceWindow}) {
    SCOPED_TRACE(dev);
    Flags.AbortFlag = false;
    Open(dev);
    ListLine("Zeile");
    CloseListOutput();
    EXPECT_EQ(ReadWholeFile(victim), "precious");
  }
  for (const std::string& n : names) {
    EXPECT_FALSE(fs::is_symlink(dir_.File(n))) << n;
    if (n != "$OUT1.TMP") {
      EXPECT_NE(ReadWholeFile(dir_.File(n)).find("Zeile"), std::string::npos) << n;
    }
  }
}

// The text program's temporary file keeps its name from run to run instead of piling up.
TEST_F(ListingTest, TextProgramListingsReuseTheirTemporaryName) {
  Settings.TextProgram = "/bin/true";
  for (int run = 0; run < 3; ++run) {
    Open(DeviceTextProgram);
    ListLine("Zeile " + std::to_string(run));
    CloseListOutput();
    EXPECT_EQ(Listing.ListFileName, dir_.File("$OUT1.TMP"));
  }
  int temporary = 0;
  for (const auto& e : fs::directory_iterator(dir_.Path()))
    if (e.path().filename().string().rfind("$OUT", 0) == 0) ++temporary;
  EXPECT_EQ(temporary, 1);
  EXPECT_EQ(ReadFileLines(dir_.File("outwin.txt")), std::vector<std::string>{"       Zeile 2"});
}

TEST_F(ListingTest, FileDeviceAndMissingTextProgram) {
  const std::string target = dir_.File("liste.txt");
  dialogs_->QueueText(target);
  Flags.ErrorBoxesEnabled = false;
  Open(DeviceFile);
  EXPECT_EQ(Listing.ListFileName, target);
  EXPECT_EQ(Ident.DataExtension, "qrk");
  ListLine("Inhalt");
  CloseListOutput();
  EXPECT_TRUE(Flags.ErrorBoxesEnabled);
  EXPECT_EQ(ReadFileLines(target), std::vector<std::string>{"       Inhalt"});
  EXPECT_TRUE(fs::exists(dir_.File("outwin.txt")));

  Settings.TextProgram = "/no/such/editor";
  Open(DeviceTextProgram);
  CloseListOutput();
  EXPECT_EQ(dialogs_->Messages().back(), "/no/such/editor not found");

  // The Windows programs of the start values leave the listing to the desktop, which may have
  // nothing for it either.
  std::vector<std::string> opened;
  bool desktopOpens = true;
  SetDesktopHooks({[&](const std::string& f) {
                     opened.push_back(f);
                     return desktopOpens;
                   },
                   {}});
  const size_t messages = dialogs_->Messages().size();
  Settings.TextProgram = "C:\\WINDOWS\\WRITE.EXE";
  Open(DeviceTextProgram);
  ListLine("Text");
  CloseListOutput();
  Settings.HtmlBrowser = "c:\\Programme\\Internet Explorer\\Iexplore.exe";
  Open(DeviceHtml);
  CloseListOutput();
  EXPECT_EQ(opened, (std::vector<std::string>{dir_.File("outwin.txt"), dir_.File("qern.htm")}));
  EXPECT_EQ(ReadFileLines(dir_.File("outwin.txt")), std::vector<std::string>{"       Text"});
  EXPECT_EQ(dialogs_->Messages().size(), messages);
  desktopOpens = false;
  Open(DeviceTextProgram);
  CloseListOutput();
  EXPECT_EQ(dialogs_->Messages().back(), "C:\\WINDOWS\\WRITE.EXE not found, and no program of the "
                                         "desktop opens " + dir_.File("outwin.txt"));
  SetDesktopHooks({});
}

// A file the user chose is replaced only by a complete listing; every write error names the
// file and the reason.
TEST_F(ListingTest, FailedWritesKeepTheEarlierFileAndSayWhy) {
  const std::string target = dir_.File("liste.txt");
  WriteWholeFile(target, "frühere Liste\r\n");
  Flags.ErrorBoxesEnabled = true;
  for (int dev : {DeviceFile, DeviceWindow}) {
    SCOPED_TRACE(dev);
    dialogs_->Clear();
    Flags.AbortFlag = false;
    if (dev == DeviceFile) {
      dialogs_->QueueText(target);
      dialogs_->QueueYes();  // overwrite the existing file (asked by the dialog and the check)
      dialogs_->QueueYes();
    }
    Open(dev);
    const std::string name = Listing.ListFileName;
    DataFile.FailNextWrites(1);
    ListLine("Zeile");
    ListLine("Zeile 2");
    ASSERT_TRUE(Flags.AbortFlag);
    AbortListOutput();
    ASSERT_FALSE(dialogs_->Messages().empty());
    EXPECT_EQ(dialogs_->Messages().back(), "Datei " + name + " nicht geschrieben: Diskette/Platte voll !");
    EXPECT_EQ(ReadWholeFile(target), "frühere Liste\r\n");
    EXPECT_FALSE(fs::exists(Listing.ListFileName) && dev == DeviceWindow);
  }
  // No working file is left beside the target.
  for (const auto& e : fs::directory_iterator(dir_.Path()))
    EXPECT_EQ(e.path().filename().string().find(".liste.txt."), std::string::npos);

  // A complete listing replaces it.
  Flags.AbortFlag = false;
  dialogs_->QueueText(target);
  dialogs_->QueueYes();
  dialogs_->QueueYes();
  Open(DeviceFile);
  ListLine("neu");
  CloseListOutput();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadFileLines(target), std::vector<std::string>{"       neu"});
}

// A file of a listing that cannot be made is named with the reason, as a failed save is: the
// display copy of the text program and the window (here a folder holds its name), the temporary
// file of the window and the fixed file of device 8 (their folder is missing).
TEST_F(ListingTest, FilesThatCannotBeWrittenAreNamedWithTheReason) {
  const std::string outwin = dir_.File("outwin.txt");
  fs::create_directory(outwin);
  Settings.TextProgram = "/no/such/editor";
  int shown = 0;
  SetListingHooks({[&](const std::string&) { ++shown; }});
  for (int dev : {DeviceTextProgram, DeviceWindow}) {
    SCOPED_TRACE(dev);
    dialogs_->Clear();
    Flags.AbortFlag = false;
    Open(dev);
    ListLine("Zeile");
    CloseListOutput();
    EXPECT_TRUE(Flags.AbortFlag);
    ASSERT_FALSE(dialogs_->Messages().empty());
    // Reported, and nothing is handed on: no program started, no window shown.
    EXPECT_EQ(dialogs_->Messages().back(),
              "Datei " + outwin + " nicht geschrieben: " + outwin + " ist ein Ordner !");
    EXPECT_EQ(dialogs_->Messages().size(), 1u);
  }
  EXPECT_EQ(shown, 0);

  const std::string missing = dir_.File("fehlt");
  Settings.TempFolder = missing;
  for (int dev : {DeviceOutDos, DeviceWindow}) {
    SCOPED_TRACE(dev);
    dialogs_->Clear();
    Flags.AbortFlag = false;
    OpenListOutput(dev, "");
    EXPECT_TRUE(Flags.AbortFlag);
    ASSERT_FALSE(dialogs_->Messages().empty());
    const std::string file = missing + (dev == DeviceOutDos ? "/OUTDOS.TXT" : "/$OUT11.TMP");
    EXPECT_EQ(dialogs_->Messages().back(),
              "Datei " + file + " nicht geschrieben: Ordner " + missing + "/ existiert nicht !");
  }
}

// The shared temporary folder of the issue: another user's link under outwin.txt in a folder with
// the sticky bit. The text program's listing says which file it could not write.
TEST_F(ListingTest, AnotherUsersLinkUnderTheDisplayCopyIsNamed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
  ASSERT_EQ(::chmod(dir_.Path().c_str(), 01777), 0);
  TempFolder other;
  const std::string victim = other.File("victim");
  WriteWholeFile(victim, "precious");
  const std::string outwin = dir_.File("outwin.txt");
  fs::create_symlink(victim, outwin);  // root's link
  Settings.TextProgram = "/bin/true";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    OpenListOutput(DeviceTextProgram, "");
    if (Flags.AbortFlag) ::_exit(4);
    RewriteChecked(DataFile);
    ListLine("Zeile");
    CloseListOutput();
    const bool named = !dialogs_->Messages().empty() &&
                       dialogs_->Messages().back() ==
                           "Datei " + outwin + " nicht geschrieben: " + outwin +
                               " ist ein Verweis eines anderen Benutzers !";
    ::_exit(Flags.AbortFlag && named ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadWholeFile(victim), "precious");
  EXPECT_TRUE(fs::is_symlink(outwin));
}

// The command line's listing is written once, straight to its file and converted as it goes: no
// copy in the temporary folder, the same bytes as the converted copy of the TXT device.
TEST_F(ListingTest, TheCommandLinesListingIsWrittenOnce) {
  Settings.SeparatorMode = 2;
  Session.CurrentFileName = dir_.File("sub/welle");
  fs::create_directory(dir_.File("sub"));
  Open(DeviceBatchTxt);
  EXPECT_EQ(Listing.ListFileName, dir_.File("sub/welle.txt"));
  ListPageHeader(1, 1);
  ListValueLine("Modul", "m", "mm", "1,25");
  ListLine("Größe │ Wert ─ Ende");
  CloseListOutput();
  ASSERT_FALSE(Flags.AbortFlag);
  const std::string written = ReadWholeFile(dir_.File("sub/welle.txt"));
  EXPECT_EQ(Listing.TxtListingNumber, 1);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_.Path())) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"sub"});

  // The TXT device of the same listing, through its temporary file and converted copy.
  Session.CurrentFileName = "welle";
  Open(DeviceTxt);
  ListPageHeader(1, 1);
  ListValueLine("Modul", "m", "mm", "1,25");
  ListLine("Größe │ Wert ─ Ende");
  CloseListOutput();
  std::string copy = ReadWholeFile(dir_.File("$$2.txt"));
  const std::string from = WithoutBlanks(dir_.File("$$$2.txt")), to = "welle.txt";
  copy.replace(copy.find(from), from.size(), to);
  const std::string head = WithoutBlanks(dir_.File("sub/welle.txt"));
  std::string expected = written;
  expected.replace(expected.find(head), head.size(), to);
  EXPECT_EQ(expected, copy);
  EXPECT_NE(written.find("Größe | Wert - Ende"), std::string::npos);
}

TEST_F(ListingTest, TextPrinterWritesToItsDeviceOrSpools) {
  const std::string port = dir_.File("lp0");
  WriteWholeFile(port, "");
  Listing.TextPrinterPath = port;
  dialogs_->QueueNo();  // no pause after each page
  Open(DeviceTextPrinter);
  EXPECT_FALSE(Listing.PauseEachPage);
  ListLine("Zeile");
  ListPageBreak();
  CloseListOutput();
  EXPECT_EQ(ReadWholeFile(port), "       Zeile\r\n\f");

  // The printer takes CP850, one byte a character: umlauts and box lines in their CP850 bytes,
  // a character CP850 lacks as "?".
  WriteWholeFile(port, "");
  Settings.SeparatorMode = 2;
  dialogs_->QueueNo();
  Open(DeviceTextPrinter);
  ListWriteLine("Maß über ä € Ω");
  ListWriteLine(BoxTopLine());
  CloseListOutput();
  EXPECT_EQ(ReadWholeFile(port),
            "Ma\xE1 \x81" "ber \x84 ? ?\r\n\xC9" + std::string(68, '\xCD') + "\xBB\r\n");

  // Without a writable device the listing goes through the spooler command.
  Listing.TextPrinterPath = dir_.File("missing/lp0");
  fs::create_directories(dir_.File("spool"));
  Listing.TextPrinterSpool = {"cp", "-t", dir_.File("spool")};
  dialogs_->QueueYes();  // pause after each page
  Open(DeviceTextPrinter);
  EXPECT_TRUE(Listing.PauseEachPage);
  ListLine("Zeile");
  CloseListOutput();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(dir_.File("spool/$LPT1.TMP")), "       Zeile\r\n");
  EXPECT_FALSE(fs::exists(dir_.File("$LPT1.TMP")));

  // The pause belongs to the text printer: a later file listing asks no "Blatt in Drucker" question.
  const size_t shown = dialogs_->Log.size();
  Open(DeviceTxt);
  ListPageHeader(0, 0);
  EXPECT_EQ(dialogs_->Log.size(), shown);
}

}  // namespace
