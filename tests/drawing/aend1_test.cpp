// Change-log printout: its lines in the listing window, the index style, and a file device with
// its page head.
#include "drawing/aend1.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "design/aendvar.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "platform/scripteddialogs.h"

namespace qern {
namespace {

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ChangeLogPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    char pattern[] = "/tmp/qern_aend_XXXXXX";
    dir_ = mkdtemp(pattern);
    Settings.TempFolder = dir_ + "/";
    Session.CurrentFileFolder = dir_ + "/";
    Session.CurrentFileName = "welle";
    SetListingHooks({[this](const std::string& file) { shown_ = ReadAll(file); }});
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
    std::filesystem::remove_all(dir_);
  }
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
  // A description of two lines gives two listing lines.
  EXPECT_NE(shown_.find(m + " MdR neu\r\n" + m + " Prüfplan neu\r\n"), std::string::npos);
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
  const std::string text = ReadAll(dir_ + "/protokoll.txt");
  EXPECT_NE(text.find("Änderungsprotokoll"), std::string::npos);
  EXPECT_NE(text.find("Erstausgabe"), std::string::npos);

  dialogs->Clear();
  dialogs->QueueCancel();
  PrintChangeLog(DeviceFile);
  EXPECT_TRUE(Flags.AbortFlag);
}

}  // namespace
}  // namespace qern
