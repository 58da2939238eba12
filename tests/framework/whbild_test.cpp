// Help pictures: the catalogue file, the menu loop with its catalogue commands, the raw HP-GL/2
// printout to a port, drawing a picture by name, and the shipped pictures and help entries.
#include "framework/whbild.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/zorqdraw.h"
#include "platform/printerport.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;

namespace {

using Strings = std::vector<std::string>;
using Entries = std::vector<HelpPictureEntry>;

class HelpPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Ident.ProgramName = "qern";
    Settings.PltFolder = dir_.Path();
    Settings.TempFolder = dir_.Path();
    SetShippedDataFolder(dir_.File("shipped/"));
    DrawDevice = &device_;
    SetDialogService(&dialogs_);
  }
  void TearDown() override {
    SetHelpPictureWindow(nullptr);
    SetDialogService(nullptr);
    SetShippedDataFolder("");
    DrawDevice = nullptr;
  }
  // Answers of the catalogue window, one per showing; the menu ends when they run out.
  void Script(std::deque<HelpPictureWindowAnswer> answers) {
    answers_ = std::move(answers);
    SetHelpPictureWindow([this](int count, int selected) {
      shown_.push_back({count, selected});
      if (answers_.empty()) return HelpPictureWindowAnswer{};
      HelpPictureWindowAnswer a = answers_.front();
      answers_.pop_front();
      return a;
    });
  }
  static HelpPictureWindowAnswer Pick(int entry, int action = 0) { return {false, entry, action}; }
  Strings Catalogue() { return ReadFileLines(dir_.File("qern.dbh")); }
  void WriteCatalogue(const Strings& lines) { WriteFileLines(dir_.File("qern.dbh"), lines); }

  TempFolder dir_;
  TDrawDevice device_;
  ScriptedDialogService dialogs_;
  std::deque<HelpPictureWindowAnswer> answers_;
  std::vector<std::pair<int, int>> shown_;  // count and selection of each showing
};

TEST_F(HelpPictureTest, CatalogueLinesAndList) {
  WriteCatalogue({"\"start\",\"Startbild\"", "\"verzahnungsbild\",\"langer Name\"",
                  "", "kaputt,\"ohne Anführung\"", "\"nur Name"});
  const Entries e = ReadHelpPictureCatalogue();
  EXPECT_EQ(e, (Entries{{"start", "Startbild"},
                        {"verzahnungsbild", "langer Name"},
                        {"aputt,", "hne Anführung"},
                        {"nur Name", ""}}));
  // Each field that does not open with a double quote is reported; its first character is lost.
  EXPECT_EQ(dialogs_.Messages(), (Strings{"DBH file error", "DBH file error"}));

  // Names padded to 8 but never cut; the five commands follow the pictures.
  EXPECT_EQ(FillHelpPictureList(e), 4);
  EXPECT_EQ(Session.ChoiceTexts[0], "start   : Startbild");
  EXPECT_EQ(Session.ChoiceTexts[1], "verzahnungsbild: langer Name");
  EXPECT_EQ(Session.ChoiceTexts[4], "-----  Erweitern  -----");
  EXPECT_EQ(Session.ChoiceTexts[8], "-----  HP-GL/2 drucken/plotten  ------");
  // A double quote in a field would end it early: it is written as "'".
  EXPECT_EQ(DbhLine("a", "Maß \"M\""), "\"a\",\"Maß 'M'\"");

  // At most 130 pictures are listed, but a rewrite keeps every line.
  Entries many;
  for (int i = 0; i < 140; ++i) many.push_back({"b" + std::to_string(i), "Bild " + std::to_string(i)});
  EXPECT_EQ(FillHelpPictureList(many), MaxListedHelpPictures);
  EXPECT_EQ(Session.ChoiceTexts[130], "-----  Erweitern  -----");
  ASSERT_TRUE(WriteHelpPictureCatalogue(many));
  EXPECT_EQ(ReadHelpPictureCatalogue(), many);
  EXPECT_FALSE(FileCanOpen(dir_.File("$$$.dbh")));
}

TEST_F(HelpPictureTest, CatalogueFromTheShippedFolderIsRewrittenIntoThePltFolder) {
  std::filesystem::create_directory(dir_.File("shipped"));
  WriteFileLines(dir_.File("shipped/qern.dbh"), {"\"start\",\"Startbild\""});
  EXPECT_EQ(ReadHelpPictureCatalogue(), (Entries{{"start", "Startbild"}}));
  ASSERT_TRUE(WriteHelpPictureCatalogue({{"start", "Startbild"}, {"neu", "Neues Bild"}}));
  EXPECT_EQ(Catalogue(), (Strings{"\"start\",\"Startbild\"", "\"neu\",\"Neues Bild\""}));
  EXPECT_EQ(ReadFileLines(dir_.File("shipped/qern.dbh")), (Strings{"\"start\",\"Startbild\""}));
  // An unwritable folder: message, flag, and the old catalogue stays.
  Settings.PltFolder = dir_.File("fehlt");
  Flags.AbortFlag = false;
  EXPECT_FALSE(WriteHelpPictureCatalogue({}));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs_.Messages().back(),
            "Datei " + dir_.File("fehlt") + "/qern.dbh kann nicht gespeichert werden: Ordner " +
                dir_.File("fehlt") + "/ existiert nicht !");
}

TEST_F(HelpPictureTest, PicturesAreDrawnOnAClearedSheetOfTheirOwn) {
  WriteWholeFile(dir_.File("start.plt"), "SP1;PU0,0;PD400,0;");
  Flags.PrintPreset = 0;
  DisplayList.assign(3, DisplayRecord{RecLine, {}, ""});  // an earlier drawing
  ShowHelpPicture("START");
  EXPECT_EQ(Flags.PrintPreset, 1);
  const Strings records = DisplayListText();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].rfind("10;", 0), 0u);  // the 160 x 120 mm box stays in the list
  EXPECT_NE(records[0].find(";0;0;160;120"), std::string::npos);
  EXPECT_EQ(records[3], "4;0;0;10;0");
  // A help entry with a picture draws it through the same road.
  WriteWholeFile(dir_.File("qern.hlp"), "5050:start\nText\n");
  DisplayList.clear();
  ShowHelpEntry(5050, "", 2);
  EXPECT_EQ(DisplayListText().back(), "4;0;0;10;0");
}

// A picture for a window of its own: the drawing window's list, mapping and pens stay as they were.
TEST_F(HelpPictureTest, PictureDrawnApartLeavesTheDrawingWindowsPicture) {
  WriteWholeFile(dir_.File("bild.plt"), "SP1;PU0,0;PD400,0;SI0.15,0.22;LBText\x03;SI0.3,0.4;LBGross\x03;");
  Settings.ScreenWidth = 639;
  Settings.ScreenHeight = 479;
  device_.Header(0, 0, 0, 100, 50);
  device_.SetColor(4);
  device_.Line(1, 2, 3, 4);
  const Strings drawing = DisplayListText();
  const GraphicState mapping = Graph;
  HelpPictureDrawing picture;
  ASSERT_TRUE(DrawHelpPictureApart(dir_.File("bild.plt"), picture));
  EXPECT_EQ(DisplayListText(), drawing);
  EXPECT_EQ(Graph.WorldXMax, mapping.WorldXMax);
  EXPECT_EQ(Graph.ScaleX, mapping.ScaleX);
  EXPECT_EQ(device_.Window().GetColor(), 4) << "the next colour 4 of the drawing writes no record";
  // The picture on a 160 x 120 mm box, as the drawing window would have shown it.
  ASSERT_FALSE(picture.Records.empty());
  EXPECT_EQ(picture.Records[0].Code, RecWindow);
  EXPECT_EQ(picture.Mapping.WorldXMax, 160);
  EXPECT_EQ(picture.Mapping.WorldYMax, 120);
  EXPECT_EQ(picture.Records.back().ToText().rfind("6;", 0), 0u);
  // The box takes the whole 640 x 480 area, and the smaller text's capitals are 2.2 mm high.
  EXPECT_LE(picture.BoxWidth, 640);
  EXPECT_GT(picture.BoxWidth, 600);
  EXPECT_NEAR(SmallestTextHeight(picture), 2.2 * static_cast<double>(picture.Mapping.ScaleY), 1e-6);
  // A missing picture: the message, and nothing drawn anywhere.
  EXPECT_FALSE(DrawHelpPictureApart(dir_.File("fehlt.plt"), picture));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs_.Messages().back(), dir_.File("fehlt.plt") + " nicht gefunden !");
  EXPECT_EQ(DisplayListText(), drawing);
}

TEST_F(HelpPictureTest, MenuShowsPicturesAndEndsWithOk) {
  WriteCatalogue({"\"eins\",\"Bild 1\"", "\"zwei\",\"Bild 2\""});
  WriteWholeFile(dir_.File("zwei.plt"), "SP1;PD400,0;");
  Script({Pick(2), Pick(1)});
  HelpPictureMenu();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Session.HelpNumber, 2300);
  // Shown three times: first entry, then each chosen picture selected again.
  EXPECT_EQ(shown_, (std::vector<std::pair<int, int>>{{7, 1}, {7, 2}, {7, 1}}));
  // The missing picture of entry 1 was reported; the list went on.
  EXPECT_EQ(dialogs_.Messages(), (Strings{dir_.File("eins.plt") + " nicht gefunden !"}));
}

TEST_F(HelpPictureTest, MenuExtendsDeletesChangesAndInserts) {
  WriteCatalogue({"\"eins\",\"Bild 1\"", "\"zwei\",\"Bild 2\""});
  // Extend (button "Neu"): open dialog, description.
  dialogs_.QueueText(dir_.File("dreizehn.plt"));
  dialogs_.QueueText("Bild 13");
  // Delete line 1 after the confirmation.
  dialogs_.QueueChoice(1);
  dialogs_.QueueYes();
  // Change line 2 (now "dreizehn").
  dialogs_.QueueChoice(2);
  dialogs_.QueueText("drei");
  dialogs_.QueueText("Bild 3");
  // Insert before line 1, then a cancelled insert that changes nothing.
  dialogs_.QueueChoice(1);
  dialogs_.QueueText(dir_.File("null.plt"));
  dialogs_.QueueText("Bild 0");
  dialogs_.QueueCancel();
  Script({Pick(3, 1), Pick(1, 3), Pick(1, 9), Pick(1, 2), Pick(1, 2)});
  HelpPictureMenu();
  EXPECT_EQ(Catalogue(), (Strings{"\"null\",\"Bild 0\"", "\"zwei\",\"Bild 2\"",
                                  "\"drei\",\"Bild 3\""}));
  EXPECT_TRUE(dialogs_.Replies.empty());
  // The open dialog starts in the PLT folder with plot files; each list showing after a change
  // reads the catalogue again.
  EXPECT_EQ(dialogs_.Log[0].Kind, "open");
  EXPECT_EQ(dialogs_.Log[0].Items, (Strings{"*.plt"}));
  EXPECT_EQ(shown_[1].first, 3 + 5);
  EXPECT_EQ(shown_.back().first, 3 + 5);
}

TEST_F(HelpPictureTest, MenuSendsAPictureRawToThePort) {
  WriteCatalogue({"\"eins\",\"Bild 1\""});
  WriteWholeFile(dir_.File("eins.plt"), "IN;SP1;PD400,0;");
  const std::string port = dir_.File("lpt2");
  WriteWholeFile(port, "");
  SetPrinterPortPath(2, port);
  // Picture 1, port 2, with the control sequences; then again without them, through the
  // spooler, since port 3 cannot be written.
  dialogs_.QueueChoice(1);
  dialogs_.QueueText("2");
  dialogs_.QueueYes();
  dialogs_.QueueChoice(1);
  dialogs_.QueueText("3");
  dialogs_.QueueNo();
  SetPrinterPortPath(3, dir_.File("fehlt/lpt3"));
  const std::vector<std::string> spooler = RawSpoolCommand();
  // A spooler that keeps the job (appended as its last argument).
  RawSpoolCommand() = {"sh", "-c", "cat \"$1\" > \"$0\"/spooled", dir_.Path()};
  Script({Pick(6), Pick(6)});
  HelpPictureMenu();
  RawSpoolCommand() = spooler;
  SetPrinterPortPath(2, "");
  SetPrinterPortPath(3, "");
  EXPECT_EQ(ReadWholeFile(port), "\x1B" "E\x1B%0BIN;SP1;PD400,0;\x1B%0A\x1B" "E");
  EXPECT_EQ(dialogs_.Log[1].Caption, "Druckerschnittstelle (max = 3, default=1)");
  EXPECT_EQ(ReadWholeFile(dir_.File("spooled")), "IN;SP1;PD400,0;");
  EXPECT_TRUE(FilesMatching(dir_.Path(), "$LPT*").empty());
}

TEST(PrinterPort, PathsAndFailedSpooler) {
  EXPECT_EQ(PrinterPortPath(1), "/dev/lp0");
  setenv("QERN_LPT2", "/tmp/mein-drucker", 1);
  EXPECT_EQ(PrinterPortPath(2), "/tmp/mein-drucker");
  SetPrinterPortPath(2, "/dev/null");
  EXPECT_EQ(PrinterPortPath(2), "/dev/null");
  SetPrinterPortPath(2, "");
  unsetenv("QERN_LPT2");
  TempFolder dir;
  SetPrinterPortPath(3, dir.File("fehlt/lp"));
  const std::vector<std::string> spooler = RawSpoolCommand();
  RawSpoolCommand() = {"false"};
  std::string error;
  EXPECT_FALSE(SendRawToPrinterPort(3, "x", dir.Path(), error));
  EXPECT_EQ(error, dir.File("fehlt/lp") + " / false: Ausgabe auf Drucker fehlgeschlagen");
  RawSpoolCommand() = spooler;
  SetPrinterPortPath(3, "");
  EXPECT_TRUE(FilesMatching(dir.Path(), "*").empty());
}

TEST(ShippedPictures, EveryPictureAHelpEntryNamesIsShippedAndListed) {
  InitProgramState();
  Ident.ProgramName = "qern";
  Settings.PltFolder = QERN_SOURCE_DATA;
  std::set<std::string> listed;
  for (const auto& e : ReadHelpPictureCatalogue()) {
    listed.insert(e.File);
    EXPECT_TRUE(FileCanOpen(HelpPictureFileName(e.File))) << e.File;
    EXPECT_FALSE(e.Description.empty()) << e.File;
  }
  EXPECT_TRUE(listed.count("start"));
  std::set<std::string> named;
  for (const char* name : {"zorquan.hlp", "qern.hlp"}) {
    for (const std::string& line : ReadFileLines(std::string(QERN_SOURCE_DATA) + "/" + name)) {
      int n;
      std::string picture;
      ParseHelpHeader(line, n, picture);
      if (n >= 0 && picture != "NULL") named.insert(picture);
    }
  }
  EXPECT_GE(named.size(), 4u);
  for (const std::string& picture : named) {
    SCOPED_TRACE(picture);
    EXPECT_TRUE(listed.count(picture));
    EXPECT_TRUE(FileCanOpen(std::string(QERN_SOURCE_DATA) + "/" + picture + ".plt"));
  }
}

}  // namespace
