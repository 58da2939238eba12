// Command-line decision, program identity, usage lines and the window start's default design.
#include "app/qernstart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "design/aendvar.h"
#include "design/qernfile.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

TEST(CommandLine, DecisionTable) {
  struct Case {
    std::vector<std::string> params;
    StartMode mode;
  } cases[] = {
      {{}, StartMode::Window},
      {{"?"}, StartMode::Usage},
      {{"/?", "x.qrk", "/I"}, StartMode::Usage},
      {{"t.qrk", "/E"}, StartMode::WindowUnnamed},
      {{"t.qrk", "/e"}, StartMode::WindowUnnamed},
      {{"t.qrk", "/G"}, StartMode::WindowUnnamed},
      {{"t.qrk", "/g"}, StartMode::WindowWithFile},  // only upper case
      {{"t.qrk", "/I"}, StartMode::Listing},
      {{"t.qrk", "-i"}, StartMode::Listing},
      {{"t.qrk", "/Ix"}, StartMode::WindowWithFile},
      {{"t.qrk", "/CAD1:1"}, StartMode::Drawing},
      {{"t.qrk", "-cad2:3"}, StartMode::Drawing},
      {{"t.qrk", "/NOGUI"}, StartMode::WindowWithFile},
      {{"t.qrk"}, StartMode::WindowWithFile},
      {{"t.qrk", "/NOGUI", "/I"}, StartMode::WindowWithFile},  // only the second parameter decides
  };
  for (const Case& c : cases) {
    const CommandLineChoice choice = ParseCommandLine(c.params);
    EXPECT_EQ(choice.Mode, c.mode) << (c.params.empty() ? "" : c.params[0]) << " "
                                   << (c.params.size() > 1 ? c.params[1] : "");
  }
  EXPECT_TRUE(ParseCommandLine({"test"}).MissingExtension);
  EXPECT_FALSE(ParseCommandLine({"test", "/I"}).MissingExtension);
  EXPECT_FALSE(ParseCommandLine({"test.qrk"}).MissingExtension);
}

TEST(CommandLine, DrawingSwitchDeviceAndIndex) {
  struct Case {
    const char* sw;
    int device, index;
  } cases[] = {{"/CAD1:1", 1, 1}, {"/CAD2:13", 2, 13}, {"/CAD5x7", 5, 7},  // 6th char not read
               {"/CAD", 0, 0},     {"/CADx:2", 0, 2},   {"/CAD1:ab", 1, 0}};
  for (const Case& c : cases) {
    const CommandLineChoice choice = ParseCommandLine({"t.qrk", c.sw});
    EXPECT_EQ(choice.CadDevice, c.device) << c.sw;
    EXPECT_EQ(choice.CadIndex, c.index) << c.sw;
    // Only a drawing without its device asks for one (and so needs a screen).
    EXPECT_EQ(AsksForCadDevice(choice), c.device == 0 && c.index == 2) << c.sw;
  }
  EXPECT_FALSE(AsksForCadDevice(ParseCommandLine({"t.qrk", "/I"})));
  const int kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 0, 10, 0};
  for (int j = 0; j <= 14; ++j) EXPECT_EQ(DrawingKindForIndex(j), kinds[j]) << j;
}

TEST(ProgramIdentity, BannerAndUsageLines) {
  InitProgramState();
  SetProgramIdentity();
  EXPECT_EQ(Ident.Banner, "QERN   Kerbverzahnung");
  EXPECT_EQ(Ident.ProgramName, "qern");
  EXPECT_EQ(Ident.DataExtension, "qrk");
  const std::vector<std::string> lines = UsageLines();
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "QERN Command Line Mode");
  EXPECT_EQ(lines[2], "wqern Filename [/I] [/CADi:j] [/NOGUI]");
  EXPECT_EQ(lines[8], "            j: index (1,2,3, ..)");
  EXPECT_EQ(lines[14], "/?       -> Help");
  EXPECT_EQ(lines[17], "Example: wqern test.qrk             ->  GUI");
  EXPECT_EQ(lines[18], "Example: wqern test.qrk /I /NOGUI   ->  test.txt");
  for (int i : {1, 3, 5, 9, 10, 11, 12, 13, 15, 16}) EXPECT_EQ(lines[i], "") << i;
}

// Runs the start in a fresh folder (also the home folder) without a window.
class WindowStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    oldHome_ = home ? home : "";
    setenv("HOME", dir_.Path().c_str(), 1);
    InitProgramState();
    SetProgramIdentity();
    SetDefaultDesign();
    SetShippedDataFolder(QERN_SOURCE_DATA);
  }
  void TearDown() override {
    SetProgramParams({});
    SetShippedDataFolder("");
    setenv("HOME", oldHome_.c_str(), 1);
  }
  test::TempFolder dir_{true};
  std::string oldHome_;
};

TEST_F(WindowStartTest, PreparationDatesTheDrawingInformation) {
  DrawingInfo.TitleDrawnDate = "";
  DrawingInfo.ChangeCount = 3;
  PrepareStart(ScreenMetrics{});
  ReleaseDrawDevice();
  EXPECT_EQ(DrawingInfo.TitleDrawnDate, TodayStr());
  EXPECT_EQ(DrawingInfo.TitleStandardDate, TodayStr());
  EXPECT_EQ(DrawingInfo.ChangeCount, 0);
}

TEST_F(WindowStartTest, DefaultDesignFromTheShippedDataWhenTheDataFolderHasNone) {
  DesignFileContent shipped;
  ASSERT_TRUE(ReadDesignFile(std::string(QERN_SOURCE_DATA) + "/null.qrk", shipped));
  SetProgramParams({});
  EXPECT_FALSE(ProgramStart().has_value());
  EXPECT_EQ(Session.CurrentFileName, "");
  EXPECT_EQ(Session.CurrentFileFolder, AddBackslash(dir_.Path()));
  EXPECT_FALSE(Flags.DesignModified);
  EXPECT_EQ(Design.NormalModule, shipped.Record.NormalModule);
  EXPECT_EQ(Design.ToothCount[1], shipped.Record.ToothCount[1]);
  EXPECT_TRUE(fs::is_empty(dir_.Path())) << "the start leaves no file behind";
}

TEST_F(WindowStartTest, UnnamedStartNeverKeepsTheNamedFileAsSaveTarget) {
  // With no null.qrk anywhere the file named with /E must not become the current file.
  SetShippedDataFolder(dir_.File("none"));
  for (const char* sw : {"/E", "/G"}) {
    SetProgramParams({"keep.qrk", sw});
    EXPECT_FALSE(ProgramStart().has_value());
    EXPECT_EQ(Session.CurrentFileName, "") << sw;
    EXPECT_FALSE(Flags.StartedWithFile);
  }
}

TEST_F(WindowStartTest, StartWithANewFileNameLeavesNoTestFile) {
  SetProgramParams({"new.qrk"});
  EXPECT_FALSE(ProgramStart().has_value());
  EXPECT_TRUE(Flags.StartedWithFile);
  EXPECT_EQ(Session.CurrentFileName, "new");
  EXPECT_EQ(DataFileName(), AddBackslash(fs::current_path().string()) + "new.qrk");
  EXPECT_TRUE(fs::is_empty(dir_.Path()));
}

TEST_F(WindowStartTest, ADesignIsNamedAlikeFromTheCommandLineAndFromTheOpenDialog) {
  fs::create_directories("sub");
  fs::copy_file(std::string(QERN_SOURCE_DATA) + "/null.qrk", "sub/pruefmass.qrk");
  const std::string file = AddBackslash(fs::current_path().string()) + "sub/pruefmass.qrk";
  TDrawDevice device;
  DrawDevice = &device;
  // The footer of a screen drawing names the design file.
  auto footer = [] {
    DrawMenu(CadDeviceScreen, 1);
    for (const DisplayRecord& r : DisplayList)
      if (r.Code == RecText && r.Text.find("ZORQUAN QERN") != std::string::npos) return r.Text;
    return std::string("no footer");
  };
  auto expectNamed = [&](const char* how) {
    EXPECT_EQ(Session.CurrentFileName, "pruefmass") << how;
    EXPECT_EQ(Session.CurrentFileFolder, ExtractFolder(file)) << how;
    EXPECT_EQ(DataFileName(), file) << how;
    const std::string text = footer();
    EXPECT_EQ(text.substr(text.size() - std::min(text.size(), file.size())), file) << how;
    EXPECT_EQ(text.find(".qrk.qrk"), std::string::npos) << text;
  };
  SetProgramParams({"./sub/../sub/pruefmass.qrk"});
  ASSERT_FALSE(ProgramStart().has_value());
  EXPECT_TRUE(Flags.StartedWithFile);
  expectNamed("command line");

  // Saved, the design stays the same file under the same name.
  ScopedScriptedDialogs dialogs;
  Design.ProfileShift[1] = 0.125L;
  Flags.DesignModified = true;
  dialogs->QueueYes();
  SaveChangesQuery();
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(dialogs->Log.back().Text, "Datei speichern (" + file + ") ?");
  expectNamed("saved");
  EXPECT_EQ(std::set<std::string>({"pruefmass.qrk"}),
            std::set<std::string>({fs::directory_iterator("sub")->path().filename().string()}));
  DesignFileContent saved;
  ASSERT_TRUE(ReadDesignFile(file, saved));
  EXPECT_EQ(saved.Record.ProfileShift[1], 0.125L);

  // Opened from the recent files as Datei -> Öffnen opens it: the same.
  InitProgramState();
  SetProgramIdentity();
  Session.RecentFiles[0] = file;
  ASSERT_TRUE(OpenRecentFile(1));
  expectNamed("open");
  DrawDevice = nullptr;
}

TEST_F(WindowStartTest, AnExistingFileThatCannotBeReadIsNeverTakenAsTheNewFile) {
  // Damaged (no design), empty or binary: said so, and the window starts with the default design
  // without a name, so that no later save overwrites the user's file.
  for (const std::string& content : {std::string("no design\n"), std::string(), std::string("\0\xFF\x01", 3)}) {
    test::WriteWholeFile("notes.qrk", content);
    InitProgramState();
    Session.CurrentFileName = "vorher";
    SetProgramParams({"notes.qrk"});
    ScopedScriptedDialogs dialogs;
    EXPECT_FALSE(ProgramStart().has_value());
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_NE(dialogs->Messages()[0].find("notes.qrk ist unvollständig oder fehlerhaft"),
              std::string::npos);
    EXPECT_EQ(Session.CurrentFileName, "");
    EXPECT_FALSE(Flags.StartedWithFile);
    EXPECT_EQ(test::ReadWholeFile("notes.qrk"), content);
  }
}

// A file that is there but cannot be opened says why, and the window starts as above.
TEST_F(WindowStartTest, AnExistingFileThatCannotBeOpenedSaysWhy) {
  fs::create_directory("ordner.qrk");
  ASSERT_EQ(::mkfifo("pipe.qrk", 0600), 0);
  for (const auto& [name, reason] : {std::pair<std::string, std::string>{"ordner.qrk", "ordner.qrk ist ein Ordner"},
                                     {"pipe.qrk", "pipe.qrk ist keine normale Datei"}}) {
    InitProgramState();
    SetProgramParams({name});
    ScopedScriptedDialogs dialogs;
    EXPECT_FALSE(ProgramStart().has_value());
    EXPECT_EQ(dialogs->Messages(),
              std::vector<std::string>{"Datei " + name + " kann nicht gelesen werden: " + reason +
                                       "; das Programm startet mit den Standarddaten !"});
    EXPECT_EQ(Session.CurrentFileName, "");
    EXPECT_FALSE(Flags.StartedWithFile);
  }
}

TEST_F(WindowStartTest, StartPictureReplacesTheLogo) {
  TDrawDevice device;
  DrawDevice = &device;
  SetProgramParams({});
  // The shipped start.plt: drawn on the help pictures' sheet in place of the logo.
  EXPECT_FALSE(ProgramStart().has_value());
  ASSERT_FALSE(DisplayList.empty());
  EXPECT_EQ(DisplayList[0].Code, RecWindow);
  EXPECT_EQ(DisplayList[0].Args[6], 160);
  EXPECT_EQ(DisplayList[0].Args[7], 120);
  EXPECT_GT(DisplayList.size(), 100u);
  EXPECT_EQ(Flags.PrintPreset, 1);
  EXPECT_FALSE(Flags.AbortFlag);
  // Without one the logo stays.
  SetShippedDataFolder(dir_.File("none"));
  InitProgramState();
  device.ClearDevice();
  EXPECT_FALSE(ProgramStart().has_value());
  ASSERT_FALSE(DisplayList.empty());
  EXPECT_NEAR(DisplayList[0].Args[6], 36.9, 1e-9);
  DrawDevice = nullptr;
}

TEST(SameFileTest, ComparesTheFilesNotTheNames) {
  EXPECT_TRUE(SameFile(QERN_SOURCE_DATA "/null.qrk", QERN_SOURCE_DATA "/../data/null.qrk"));
  EXPECT_FALSE(SameFile(QERN_SOURCE_DATA "/null.qrk", QERN_SOURCE_DATA "/qern.err"));
  EXPECT_FALSE(SameFile(QERN_SOURCE_DATA "/null.qrk", "/no/such/file"));
}

}  // namespace
}  // namespace qern
