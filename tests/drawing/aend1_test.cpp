// Change-log menu and printout: its lines in the listing window, the index style, a file device
// with its page head, and the menu's new, modify and delete on the last entry.
#include "drawing/aend1.h"

#include <gtest/gtest.h>

#include "design/aendvar.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

using test::ReadWholeFile;

class ChangeLogPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    dir_ = tmp_.Path();
    Settings.TempFolder = dir_ + "/";
    Session.CurrentFileFolder = dir_ + "/";
    Session.CurrentFileName = "welle";
    SetListingHooks({[this](const std::string& file) { shown_ = ReadWholeFile(file); }});
    InitDrawingInfo();
    DrawingInfo.TitleDrawnDate = "2024-01-15";
    DrawingInfo.TitleDrawnName = "Jäger";
    DrawingInfo.ChangeCount = 3;
    DrawingInfo.ChangeEntries[0] = {"Erstausgabe", "2024-01-15", "Jäger", "neu"};
    DrawingInfo.ChangeEntries[1] = {"Maß geändert", "2024-02-01", "Öz", "MdR neu\nPrüfplan neu"};
    DrawingInfo.ChangeEntries[2] = {"Toleranz", "2024-03-01", "Weiß", "eng"};
  }
  void TearDown() override {
    SetListingHooks({});
    SetChangeLogWindows({});
  }
  test::TempFolder tmp_;
  std::string dir_, shown_;
};

TEST_F(ChangeLogPrintTest, WindowListingLinesAndIndexLetters) {
  PrintChangeLog(DeviceWindow);
  ASSERT_FALSE(Flags.AbortFlag);
  const std::string m = "       ";
  EXPECT_NE(shown_.find(m + "Erstellungsdatum: 2024-01-15     Erstellt von: Jäger\r\n"),
            std::string::npos);
  EXPECT_EQ(shown_.find("Ersatz für"), std::string::npos);  // only when given
  EXPECT_NE(shown_.find(m + "Index   Datum        Bearb.   Änderung            \r\n"),
            std::string::npos);
  EXPECT_NE(shown_.find(m + "  c     2024-03-01   Weiß     Toleranz            \r\n"),
            std::string::npos);
  // A description of two lines gives two listing lines: " " + description.
  EXPECT_NE(shown_.find(m + " MdR neu\r\n" + m + "Prüfplan neu\r\n"), std::string::npos);
  EXPECT_EQ(shown_.find("Änderungsprotokoll"), std::string::npos);  // no page head in the window
}

TEST_F(ChangeLogPrintTest, NumberIndexAndReplacementReferences) {
  Settings.IndexStyle = 1;
  DrawingInfo.TitleReplaces = "ZW-0700";
  DrawingInfo.TitleReplacedBy = "ZW-0900-und-noch-viel-mehr";
  PrintChangeLog(DeviceWindow);
  EXPECT_NE(shown_.find("  3     2024-03-01"), std::string::npos);
  EXPECT_NE(shown_.find("Ersatz für: ZW-0700        \r\n"), std::string::npos);
  EXPECT_NE(shown_.find("Ersetzt durch: ZW-0900-und-noc\r\n"), std::string::npos);
  EXPECT_EQ(ChangeIndexText(2), "2");
  Settings.IndexStyle = 0;
  EXPECT_EQ(ChangeIndexText(1), "a");
}

TEST_F(ChangeLogPrintTest, FileDeviceHasThePageHeadAndCancelStops) {
  ScopedScriptedDialogs dialogs;
  dialogs->QueueText(dir_ + "/protokoll.txt");
  PrintChangeLog(DeviceFile);
  ASSERT_FALSE(Flags.AbortFlag);
  const std::string text = ReadWholeFile(dir_ + "/protokoll.txt");
  EXPECT_NE(text.find("Änderungsprotokoll"), std::string::npos);
  EXPECT_NE(text.find("Erstausgabe"), std::string::npos);

  dialogs->Clear();
  dialogs->QueueCancel();
  PrintChangeLog(DeviceFile);
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(ChangeLogPrintTest, MenuActsOnTheLastEntryAndStopsAt25) {
  ScopedScriptedDialogs dialogs;
  std::vector<int> edited;
  SetChangeLogWindows({[&](int n) { edited.push_back(n); }, {}});

  // The choice dialog proposes "anzeigen"; "löschen" drops the last entry and shows the log.
  dialogs->QueueChoice(3);
  ChangeLogMenu(0);
  EXPECT_EQ(dialogs->Log[0].Caption, "Änderungen");
  EXPECT_EQ(dialogs->Log[0].Items.size(), 7u);
  EXPECT_EQ(dialogs->Log[0].Items[6], "zurück....");
  EXPECT_EQ(dialogs->Log[0].Index, 4);
  EXPECT_EQ(DrawingInfo.ChangeCount, 2);
  EXPECT_EQ(shown_.find("Toleranz"), std::string::npos);

  // "neu" takes the dropped slot back with its texts, dated today; "ändern" edits the last
  // entry.
  const ChangeEntry dropped = DrawingInfo.ChangeEntries[2];
  ASSERT_FALSE(dropped.ChangeText.empty());
  ChangeLogMenu(1);
  ChangeLogMenu(2);
  EXPECT_EQ(edited, (std::vector<int>{3, 3}));
  EXPECT_EQ(DrawingInfo.ChangeEntries[2],
            (ChangeEntry{dropped.ChangeText, TodayStr(), dropped.Editor, dropped.Description}));

  // A cancelled "neu" adds no entry and leaves the next slot as it was.
  DrawingInfo.ChangeEntries[3] = {"alt", "2020-01-01", "X", "y"};
  SetChangeLogWindows({[&](int n) {
    EXPECT_EQ(DrawingInfo.ChangeEntries[n - 1].ChangeText, "alt");
    EXPECT_EQ(DrawingInfo.ChangeEntries[n - 1].Date, TodayStr());
    Flags.AbortFlag = true;
  }, {}});
  ChangeLogMenu(1);
  EXPECT_EQ(DrawingInfo.ChangeCount, 3);
  EXPECT_EQ(DrawingInfo.ChangeEntries[3], (ChangeEntry{"alt", "2020-01-01", "X", "y"}));
  Flags.AbortFlag = false;

  // "zurück...." and Cancel end the menu.
  dialogs->Clear();
  dialogs->QueueChoice(7);
  ChangeLogMenu(0);
  ChangeLogMenu(0);
  EXPECT_EQ(DrawingInfo.ChangeCount, 3);

  // With no entries "ändern" does nothing; "löschen" shows the empty log.
  DrawingInfo.ChangeCount = 0;
  Flags.AbortFlag = false;
  edited.clear();
  shown_.clear();
  ChangeLogMenu(2);
  EXPECT_TRUE(edited.empty());
  EXPECT_TRUE(shown_.empty());
  ChangeLogMenu(3);
  EXPECT_EQ(DrawingInfo.ChangeCount, 0);
  EXPECT_FALSE(shown_.empty());

  // A 26th entry is refused.
  DrawingInfo.ChangeCount = 25;
  dialogs->Clear();
  ChangeLogMenu(1);
  EXPECT_EQ(DrawingInfo.ChangeCount, 25);
  ASSERT_EQ(dialogs->Messages().size(), 1u);
  EXPECT_EQ(dialogs->Messages()[0], "Max. Änderungen = 25 !");
}

}  // namespace
}  // namespace qern
