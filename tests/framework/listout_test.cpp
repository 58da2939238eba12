// Listing output engine: the framed, TXT and HTML layouts of the row calls, page heads, paging,
// separator modes, the message section and the devices' open/close.
#include "framework/listout.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/textprint.h"
#include "framework/utf8.h"
#include "platform/scripteddialogs.h"

using namespace qern;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> ReadLines(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

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
    char tmpl[] = "/tmp/qern_list_XXXXXX";
    dir_ = mkdtemp(tmpl);
    Settings.TempFolder = dir_;
    Settings.PltFolder = dir_;
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
    SetTextPrintTarget(nullptr);
    fs::remove_all(dir_);
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
    return ReadLines(dir_ + "/OUTDOS.TXT");
  }
  void WriteErrFile(const std::string& text) { std::ofstream(dir_ + "/qern.err") << text; }

  std::string dir_;
  ScopedScriptedDialogs dialogs_;
};

TEST_F(ListingTest, SeparatorLinesOfEachMode) {
  Settings.SeparatorMode = 1;
  EXPECT_EQ(SeparatorLine(), std::string(70, '-'));
  EXPECT_EQ(DoubleSeparatorLine(), std::string(70, '='));
  EXPECT_EQ(BoxTopLine(), std::string(70, '*'));
  EXPECT_EQ(BoxSideChar(), "*");
  Settings.SeparatorMode = 2;
  EXPECT_EQ(Utf8Length(SeparatorLine()), 70);
  EXPECT_EQ(Utf8Copy(SeparatorLine(), 1, 1), "─");
  EXPECT_EQ(Utf8Copy(DoubleSeparatorLine(), 70, 1), "═");
  EXPECT_EQ(BoxTopLine(), "╔" + Utf8Copy(DoubleSeparatorLine(), 1, 68) + "╗");
  EXPECT_EQ(BoxMiddleLine(), "╠" + Utf8Copy(DoubleSeparatorLine(), 1, 68) + "╣");
  EXPECT_EQ(BoxBottomLine(), "╚" + Utf8Copy(DoubleSeparatorLine(), 1, 68) + "╝");
  EXPECT_EQ(BoxSideChar(), "║");
  Settings.SeparatorMode = 3;
  EXPECT_EQ(SeparatorLine(), std::string(70, ' '));
  EXPECT_EQ(BoxBottomLine(), std::string(70, ' '));
  EXPECT_EQ(BoxSideChar(), " ");
  Settings.SeparatorMode = 4;
  EXPECT_EQ(SeparatorLine(), "$!$");
  EXPECT_EQ(BoxMiddleLine(), "$!$");
  EXPECT_EQ(BoxSideChar(), " ");
}

TEST_F(ListingTest, FramedPageHeadColumnForColumn) {
  Open(DeviceOutDos);
  ListPageHeader(0, 1);
  const auto lines = CloseOutDos();
  const std::vector<std::string> expected = {
      "       **********************************************************************",
      "       *  QERN V1.0  Passverzahnung                                   Bl. 1 *",
      "       *                                                   2024-03-07 9:05  *",
      "       *  /home/k/welle.qrk                                                 *",
      "       **********************************************************************",
      "       *  Welle                                  Nr.: 4711                  *",
      "       *  Nabe                                   Nr.: 4712                  *",
      "       *  Kommentar 1                                                       *",
      "       **********************************************************************",
      "       *                                 Zeichen  Einheit Welle      Nabe   *",
      "       **********************************************************************",
      "       ",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(At(lines[1], 64, 5), "Bl. 1");
  EXPECT_EQ(At(lines[2], 53, 10), "2024-03-07");
  EXPECT_EQ(At(lines[2], 64, 4), "9:05");
}

TEST_F(ListingTest, SpaceLinesBeforeTheHeadAndWideShaftValues) {
  Settings.HeaderSpaceLines = 2;
  Open(DeviceOutDos);
  ListPageHeader(0, 0);
  ListTwoValueLine("d", "d", "mm", "123456789.123", "-1");
  const auto lines = CloseOutDos();
  EXPECT_EQ(lines[0], "       ");
  EXPECT_EQ(lines[1], "       ");
  EXPECT_EQ(lines[2], "       " + std::string(70, '*'));
  // A shaft value reaching into the hub column pushes the hub value one blank behind it.
  const std::string& row = lines[lines.size() - 2];
  EXPECT_EQ(At(row, 51, 13), "123456789.123");
  EXPECT_EQ(At(row, 64, 3), " -1");
}

TEST_F(ListingTest, PageNumberWithAndWithoutTotal) {
  Open(DeviceOutDos, 3);
  ListPageHeader(0, 0);
  ListPageBreak();
  ListPageHeader(0, 0);
  Listing.ListPageTotal = 0;
  ListPageBreak();
  ListPageHeader(0, 0);
  const auto lines = CloseOutDos();
  std::vector<std::string> pageMarks;
  for (const auto& l : lines)
    if (l.find("Bl.") != std::string::npos) pageMarks.push_back(l);
  ASSERT_EQ(pageMarks.size(), 3u);
  EXPECT_EQ(At(pageMarks[0], 60, 8), "Bl. 1/ 3");
  EXPECT_EQ(At(pageMarks[1], 60, 8), "Bl. 2/ 3");
  EXPECT_EQ(At(pageMarks[2], 64, 5), "Bl. 3");
  // Devices 3, 5 and 8 end a page without a form feed.
  for (const auto& l : lines) EXPECT_EQ(l.find('\f'), std::string::npos);
}

TEST_F(ListingTest, ValueRowsAndTheirColumns) {
  Open(DeviceOutDos);
  ListValueLine("Eingriffswinkel", "alpha", "°", " 30.00");
  ListValueLine("Lang", "v", "", "12345678901234567890");
  ListTwoValueLine("Zähnezahl", "z", "", "      24", "     -24");
  ListTwoValueLine("Teilkreisdurchmesser", "d", "mm", " 24.000000", "-24.0000000");
  const auto lines = CloseOutDos();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0],
            "       Eingriffswinkel                   alpha    °            30.00         ");
  EXPECT_EQ(lines[1], "       " + std::string(70, '-'));
  EXPECT_EQ(At(lines[2], 50, 20), "12345678901234567890");  // ends at position 69
  EXPECT_EQ(Utf8Length(lines[2]), 77);
  EXPECT_EQ(lines[4],
            "       Zähnezahl                         z                     24        -24  ");
  EXPECT_EQ(Utf8Length(lines[4]), 78);  // two-value rows are 71 characters wide
  EXPECT_EQ(At(lines[4], 51, 8), "      24");
  EXPECT_EQ(At(lines[4], 62, 8), "     -24");
  // An 11-character hub value extends the row instead of vanishing.
  EXPECT_EQ(At(lines[6], 51, 10), " 24.000000");
  EXPECT_EQ(At(lines[6], 62, 11), "-24.0000000");
}

TEST_F(ListingTest, OverlongTextsAreCutNotDropped) {
  Session.CurrentFileFolder = "/" + std::string(60, 'f');
  Session.CurrentFileName = "welle";
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

TEST_F(ListingTest, BoxDrawingModeWritesUtf8Characters) {
  Settings.SeparatorMode = 2;
  Open(DeviceOutDos);
  ListPageHeader(0, 0);
  ListValueLine("a", "b", "c", "1");
  const auto lines = CloseOutDos();
  EXPECT_EQ(lines[0], "       " + BoxTopLine());
  EXPECT_EQ(At(lines[1], 1, 1), "║");
  EXPECT_EQ(At(lines[1], 70, 1), "║");
  EXPECT_EQ(Utf8Length(lines[1]), 77);
  EXPECT_EQ(lines.back(), "       " + SeparatorLine());
}

TEST_F(ListingTest, PagingStartsANewHeadWhenThePageIsFull) {
  Settings.LinesPerPage = 30;
  Open(DevicePrinter);  // device 4 ends pages with a form-feed line
  SetTextPrintTarget(nullptr);
  ListPageHeader(0, 1);
  for (int i = 0; i < 20; ++i) ListValueLine("Zeile " + std::to_string(i), "s", "mm", "1");
  DataFile.Close();
  const auto lines = ReadLines(Listing.ListFileName);
  int pages = 1, onPage = 0, heads = 0;
  for (const auto& l : lines) {
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
}

TEST_F(ListingTest, TinyPagesDoNotLoopInTheHead) {
  Settings.LinesPerPage = 3;
  Open(DeviceOutDos);
  ListPageHeader(0, 1);
  ListValueLine("a", "b", "c", "1");
  const auto lines = CloseOutDos();
  EXPECT_GT(lines.size(), 12u);
}

TEST_F(ListingTest, HeaderModeTwoHeadsOnlyTheFirstPage) {
  Settings.HeaderMode = 2;
  Settings.LinesPerPage = 20;
  Open(DeviceOutDos);
  ListPageHeader(0, 0);
  for (int i = 0; i < 15; ++i) ListLine("x" + std::to_string(i));
  ListPageHeader(0, 0);
  const auto lines = CloseOutDos();
  int heads = 0, formFeeds = 0, single = 0;
  for (const auto& l : lines) {
    if (l.find("Bl.") != std::string::npos) ++heads;
    if (l == "\f") ++formFeeds;
    if (l == " ") ++single;
  }
  EXPECT_EQ(heads, 0);  // no page number at all in this mode
  EXPECT_EQ(At(lines[1], 4, 25), "QERN V1.0  Passverzahnung");
  EXPECT_EQ(formFeeds, 1);
  EXPECT_EQ(single, 1);
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
  DataFile.Close();
  const std::string text = ReadAll(Listing.ListFileName);
  EXPECT_EQ(text.find("$!$"), std::string::npos);
  EXPECT_EQ(text.find('\f'), std::string::npos);
  const auto lines = ReadLines(Listing.ListFileName);
  EXPECT_EQ(lines[0], "       ");  // the compressed head starts with an empty line
  EXPECT_EQ(At(lines.back(), 1, 1), "a");
}

TEST_F(ListingTest, CompressedModeEndsTheListingWithAFormFeed) {
  Settings.SeparatorMode = 4;
  Open(DeviceWindow);
  ListLine("text");
  CloseListOutput();
  EXPECT_EQ(ReadAll(dir_ + "/outwin.txt"), "       text\r\n\f\r\n");
}

TEST_F(ListingTest, TxtLayoutIsTabSeparatedWithoutSeparators) {
  Settings.SeparatorMode = 3;
  Session.CommentLines = {"K1", "K2", "K3"};
  Open(DeviceTxt);
  EXPECT_EQ(Listing.ListFileName, dir_ + "/$$$1.txt");
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
  const auto lines = ReadLines(dir_ + "/$$1.txt");
  const std::vector<std::string> expected = {
      "QERN   Kerbverzahnung V1.0\t2024-03-07\t9:05",
      dir_ + "/$$$1.txt",
      "K1", "K2", "K3", " ",
      "\tZeichen\tEinheit\t Welle\t Nabe",
      "Modul\tmn\tmm\t2.5",
      "Zähnezahl\tz\t\t24\t-24",
  };
  EXPECT_EQ(lines, expected);
  Open(DeviceTxt);
  EXPECT_EQ(Listing.ListFileName, dir_ + "/$$$2.txt");
  CloseListOutput();
  EXPECT_TRUE(fs::exists(dir_ + "/$$2.txt"));
}

TEST_F(ListingTest, BatchTxtCopyIsNamedAfterTheDesign) {
  Session.CurrentFileName = dir_ + "/welle";
  Open(DeviceBatchTxt);
  ListValueLine("Modul", "mn", "mm", "2.5");
  CloseListOutput();
  EXPECT_EQ(ReadLines(dir_ + "/welle.txt"), std::vector<std::string>{"Modul\tmn\tmm\t2.5"});
}

TEST_F(ListingTest, HtmlLayoutEscapesTextsAndBalancesTables) {
  WriteErrFile("Warnung: a < b & c\nUrsache <1>\nAbhilfe\n\nFehler : zwei\nU2\nA2\nEnde\n");
  AddError("Warnung: a < b & c");
  AddError("Fehler : zwei");
  Settings.HtmlBrowser = "/no/such/browser";
  Open(DeviceHtml);
  EXPECT_EQ(Listing.ListFileName, dir_ + "/qern.htm");
  EXPECT_EQ(Ident.DataExtension, "htm");
  ListPageHeader(0, 1);
  ListTwoValueLine("Zähne <z>", "z", "", "24", "-24");
  ListValueLine("A & B", "s", "mm", "1");
  ListLine("x > y");
  ListMessageSection();
  CloseListOutput();
  EXPECT_EQ(Ident.DataExtension, "qrk");  // put back although the browser is missing
  ASSERT_FALSE(dialogs_->Messages().empty());
  EXPECT_NE(dialogs_->Messages().back().find("/no/such/browser not found"), std::string::npos);

  const std::string html = ReadAll(dir_ + "/qern.htm");
  EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(html.find("<TR><TD>Zähne &lt;z&gt;</TD><TD>z</TD><TD></TD><TD>24</TD><TD>-24</TD></TR>"),
            std::string::npos);
  EXPECT_NE(html.find("<TD>A &amp; B</TD>"), std::string::npos);
  EXPECT_NE(html.find("<DIV ALIGN=RIGHT>1</DIV>"), std::string::npos);
  EXPECT_NE(html.find("<br>x &gt; y"), std::string::npos);
  EXPECT_NE(html.find("<TR><TD>Warnung: a &lt; b &amp; c</TD></TR>"), std::string::npos);
  EXPECT_NE(html.find("<TR><TD>Ursache &lt;1&gt;</TD></TR>"), std::string::npos);
  EXPECT_NE(html.find("<br><h4>QERN   Kerbverzahnung V1.0</h4>"), std::string::npos);
  EXPECT_EQ(Count(html, "<TABLE"), Count(html, "</TABLE>"));
  EXPECT_EQ(html.find("</TABLE>\r\n</TABLE>"), std::string::npos);
  EXPECT_EQ(html.find("$!$"), std::string::npos);
  EXPECT_NE(html.find("</BODY>\r\n</HTML>\r\n"), std::string::npos);
}

TEST_F(ListingTest, MessageSectionWrapsLongCausesOnFramedDevicesOnly) {
  const std::string cause =
      "Die Zahndicke der Welle ist kleiner als die Lueckenweite der Nabe, so dass ein Flankenspiel bleibt !";
  ASSERT_EQ(cause.size(), 100u);
  WriteErrFile("Warnung: Spiel zu gross\n" + cause + "\nx anpassen.\nEnde\n");
  AddError("Warnung: Spiel zu gross");
  Open(DeviceOutDos);
  ListMessageSection();
  const auto lines = CloseOutDos();
  const std::vector<std::string> expected = {
      "",
      "       BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN",
      "       " + std::string(70, '='),
      "",
      "       " + std::string(70, '-'),
      "       Warnung: Spiel zu gross",
      "       Die Zahndicke der Welle ist kleiner als die Lueckenweite der ",
      "       Nabe, so dass ein Flankenspiel bleibt !",
      "       x anpassen.",
      "       " + std::string(70, '-'),
  };
  EXPECT_EQ(lines, expected);

  Open(DeviceTxt);
  ListMessageSection();
  CloseListOutput();
  const auto txt = ReadLines(dir_ + "/$$1.txt");
  ASSERT_EQ(txt.size(), 3u);
  EXPECT_EQ(txt[1], "BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN");
  EXPECT_EQ(txt[2], "Warnung: Spiel zu gross\t" + cause + "\tx anpassen.");
}

TEST_F(ListingTest, WindowDeviceShowsTheConvertedCopyAndErasesTheWorkingFile) {
  std::string shown, content;
  SetListingHooks({[&](const std::string& name) {
    shown = name;
    content = ReadAll(dir_ + "/outwin.txt");
    EXPECT_TRUE(fs::exists(name));
  }});
  Open(DeviceWindow);
  const std::string working = Listing.ListFileName;
  EXPECT_EQ(working, dir_ + "/$OUT1.TMP");
  ListLine("Zähnezahl");
  CloseListOutput();
  EXPECT_EQ(shown, working);
  EXPECT_EQ(content, "       Zähnezahl\r\n");
  EXPECT_FALSE(fs::exists(working));
}

TEST_F(ListingTest, WorkingFilesGetUniqueNames) {
  std::ofstream(dir_ + "/$OUT1.TMP") << "in use";
  EXPECT_EQ(TempOutputFileName(), dir_ + "/$OUT2.TMP");
  EXPECT_EQ(ReadAll(dir_ + "/$OUT1.TMP"), "in use");
}

TEST_F(ListingTest, ViewErrorMessagesListsIntoTheWindow) {
  ViewErrorMessages();
  EXPECT_EQ(dialogs_->Messages().back(), "Berechnung erfolgreich ohne Fehlermeldungen");
  std::vector<std::string> shown;
  SetListingHooks({[&](const std::string&) { shown = ReadLines(dir_ + "/outwin.txt"); }});
  AddError("Warnung: eins");
  ViewErrorMessages();
  ASSERT_GT(shown.size(), 10u);
  EXPECT_EQ(At(shown[1], 4, 9), "QERN V1.0");
  EXPECT_EQ(At(shown[5], 4, 14), "Error Messages");
  bool found = false;
  for (const auto& l : shown) found = found || l == "       Warnung: eins";
  EXPECT_TRUE(found);
}

TEST_F(ListingTest, DeviceChoiceAndCancel) {
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

  // A device number outside 1..9 takes the listing window.
  Flags.AbortFlag = false;
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = 42;
  OpenListOutput(0, "");
  EXPECT_EQ(Listing.ListDevice, DeviceWindow);
}

TEST_F(ListingTest, FileDeviceWritesTheChosenFile) {
  const std::string target = dir_ + "/liste.txt";
  dialogs_->QueueText(target);
  Flags.ErrorBoxesEnabled = false;
  Open(DeviceFile);
  EXPECT_EQ(Listing.ListFileName, target);
  EXPECT_EQ(Ident.DataExtension, "qrk");
  ListLine("Inhalt");
  CloseListOutput();
  EXPECT_TRUE(Flags.ErrorBoxesEnabled);
  EXPECT_EQ(ReadLines(target), std::vector<std::string>{"       Inhalt"});
  EXPECT_TRUE(fs::exists(dir_ + "/outwin.txt"));
}

TEST_F(ListingTest, TextPrinterWritesToItsDeviceOrSpools) {
  const std::string port = dir_ + "/lp0";
  std::ofstream(port).close();
  Listing.TextPrinterPath = port;
  dialogs_->QueueNo();  // no pause after each page
  Open(DeviceTextPrinter);
  EXPECT_FALSE(Listing.PauseEachPage);
  ListLine("Zeile");
  ListPageBreak();
  CloseListOutput();
  EXPECT_EQ(ReadAll(port), "       Zeile\r\n\f");

  // Without a writable device the listing goes through the spooler command.
  Listing.TextPrinterPath = dir_ + "/missing/lp0";
  fs::create_directories(dir_ + "/spool");
  Listing.TextPrinterSpool = {"cp", "-t", dir_ + "/spool"};
  dialogs_->QueueNo();
  Open(DeviceTextPrinter);
  ListLine("Zeile");
  CloseListOutput();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadAll(dir_ + "/spool/$LPT1.TMP"), "       Zeile\r\n");
  EXPECT_FALSE(fs::exists(dir_ + "/$LPT1.TMP"));
}

TEST_F(ListingTest, PauseEachPageAsksBeforeEveryHead) {
  Listing.TextPrinterPath = dir_ + "/lp0";
  std::ofstream(Listing.TextPrinterPath).close();
  dialogs_->QueueYes();  // pause after each page
  Open(DeviceTextPrinter);
  EXPECT_TRUE(Listing.PauseEachPage);
  dialogs_->QueueNo();  // "Blatt in Drucker einlegen.  Fortfahren ?"
  ListPageHeader(0, 0);
  EXPECT_TRUE(Flags.AbortFlag);
  CloseListOutput();
  EXPECT_EQ(ReadAll(Listing.TextPrinterPath), "");
}

TEST_F(ListingTest, MissingTextProgramIsReported) {
  Settings.TextProgram = "/no/such/editor";
  Open(DeviceTextProgram);
  ListLine("x");
  CloseListOutput();
  EXPECT_EQ(dialogs_->Messages().back(), "/no/such/editor not found");
}

}  // namespace
