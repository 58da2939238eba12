// Plot-program command lines: the window's builder with its switches, the dialog sequence with
// the script for long lines, and the start of a stored line through the process layer.
#include "drawing/gravura.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "framework/progvar.h"
#include "framework/utf8.h"
#include "platform/process.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class GravuraLines : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Ident.ProgramName = "qern";
    Settings.TempFolder = "/tmp/q";
  }
  // A plot program that writes its arguments, one a line, into args.txt beside it.
  std::string MakeProgram(const std::string& folder, const std::string& name) {
    fs::create_directories(folder);
    const std::string program = folder + "/" + name;
    test::WriteWholeFile(program, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\n");
    chmod(program.c_str(), 0755);
    return program;
  }
  // Answers for the dialog sequence: Windows program in folder, HPL, parallel port 1, scale 1,
  // no rotation, no offsets, text width 1.
  void QueueDefaults(const std::string& folder) {
    dialogs_->QueueChoice(1);
    dialogs_->QueueText(folder);
    dialogs_->QueueChoice(1);
    dialogs_->QueueChoice(2);
    for (int i = 0; i < 6; ++i) i == 2 ? dialogs_->QueueNo() : dialogs_->QueueOk();
  }

  test::TempFolder tmp_;
  ScopedScriptedDialogs dialogs_;
};

TEST_F(GravuraLines, WindowSwitches) {
  GravuraWindowValues v = GravuraWindowStartValues();
  EXPECT_EQ(v.OutputFolder, "/tmp/q");
  EXPECT_EQ(BuildGravuraCommandLine(v), "/opt/gravura/wgravura /tmp/q/gravura /CHPL");
  struct Case {
    std::function<void(GravuraWindowValues&)> change;
    std::string switches;
  };
  const Case cases[] = {
      {[](auto& v) { v.Interface = GravuraSerial; v.Com = "2"; }, " /CHPL /D1 /P2"},
      {[](auto& v) { v.Interface = GravuraSerial; v.Com = "1"; }, " /CHPL /D1"},
      {[](auto& v) { v.Lpt = "3"; }, " /CHPL /P3"},
      {[](auto& v) { v.Interface = GravuraFile; v.OutputFolder = "/out"; }, " /CHPL /D3 /F/out/gravura"},
      {[](auto& v) { v.Interface = GravuraFile; v.OutputFolder = "  "; }, " /CHPL /D3"},
      {[](auto& v) { v.Scale = "0"; }, " /CHPL /M*"},
      {[](auto& v) { v.Scale = "2"; }, " /CHPL /M2"},
      {[](auto& v) { v.Scale = "1,0"; }, " /CHPL"},
      {[](auto& v) { v.XOffset = "5"; v.YOffset = "-2.5"; v.TextWidth = "0.8"; }, " /CHPL /X5 /Y-2.5 /B0.8"},
      {[](auto& v) { v.Rotate = true; v.Format = 4; }, " /CART /R"},
      {[](auto& v) { v.Format = GravuraPostScript; v.PostScriptFont = "Courier"; }, " /CPS /TCourier"},
  };
  for (const Case& c : cases) {
    GravuraWindowValues w = GravuraWindowStartValues();
    c.change(w);
    EXPECT_EQ(BuildGravuraCommandLine(w), "/opt/gravura/wgravura /tmp/q/gravura" + c.switches) << c.switches;
  }
  // The drawing handed over is the temporary one, wherever the output goes.
  v.Interface = GravuraFile;
  v.OutputFolder = "/plots";
  EXPECT_EQ(BuildGravuraCommandLine(v).substr(0, 37), "/opt/gravura/wgravura /tmp/q/gravura ");
}

TEST_F(GravuraLines, DialogSequenceBuildsTheLine) {
  const std::string folder = tmp_.Path() + "/gr";
  MakeProgram(folder, "gravura");
  std::string line = "old";
  dialogs_->QueueChoice(2);            // DOS program
  dialogs_->QueueText("/nowhere");     // not there: asked again
  dialogs_->QueueText(folder);
  dialogs_->QueueChoice(2);            // PostScript
  dialogs_->QueueText("*.dxf");        // mode 1: the file
  dialogs_->QueueChoice(1);            // serial
  dialogs_->QueueText("2");            // COM 2
  dialogs_->QueueText("0");            // fit
  dialogs_->QueueYes();                // rotate
  dialogs_->QueueText("5");
  dialogs_->QueueOk();
  dialogs_->QueueText("0.8");
  dialogs_->QueueText("Courier");
  AskGravuraCommandLine(line, 1);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(line, folder + "/gravura *.dxf /CPS /D1 /P2 /M* /X5 /R /B0.8 /TCourier");
  // A cancel anywhere keeps the line.
  dialogs_->QueueChoice(1);
  dialogs_->QueueCancel();
  AskGravuraCommandLine(line, 0);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(line, folder + "/gravura *.dxf /CPS /D1 /P2 /M* /X5 /R /B0.8 /TCourier");
}

TEST_F(GravuraLines, LongLinesGoIntoAScriptThatRunsTheSameArguments) {
  Settings.TempFolder = "/t";
  // line = folder + "/wgravura /t/gravura /CHPL": folder length + 26 characters.
  const std::string base = tmp_.Path() + "/";
  const std::string folder60 = base + std::string(34 - Utf8Length(base), 'a');
  const std::string folder61 = base + std::string(35 - Utf8Length(base), 'b');
  MakeProgram(folder60, "wgravura");
  const std::string program = MakeProgram(folder61, "wgravura");

  std::string line;
  QueueDefaults(folder60);
  AskGravuraCommandLine(line, 0);
  EXPECT_EQ(Utf8Length(line), 60);
  EXPECT_EQ(line, folder60 + "/wgravura /t/gravura /CHPL");

  QueueDefaults(folder61);
  dialogs_->QueueText("x.y");  // refused: a point in the name
  dialogs_->QueueText(tmp_.Path() + "/plot");
  AskGravuraCommandLine(line, 0);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(line, tmp_.Path() + "/plot.BAT");
  EXPECT_NE(dialogs_->Messages().front().find("Batch-Datei"), std::string::npos);

  // The script starts the program with exactly the words of the long line.
  EXPECT_EQ(GravuraArguments(line), (std::vector<std::string>{"/bin/sh", line}));
  int exitCode = -1;
  ASSERT_EQ(RunAndWait(GravuraArguments(line), exitCode), StartResult::Started);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(test::ReadFileLines(folder61 + "/args.txt"),
            (std::vector<std::string>{"/t/gravura", "/CHPL"}));
  // Double quotes group a word with blanks; other quotes stay single words inside the script.
  EXPECT_EQ(GravuraArguments("\"/opt/my plot/wgravura\"  /t/gravura /CHPL"),
            (std::vector<std::string>{"/opt/my plot/wgravura", "/t/gravura", "/CHPL"}));
  ASSERT_TRUE(WriteGravuraScript(tmp_.File("q.BAT"), program + " it's /X$HOME"));
  ASSERT_EQ(RunAndWait(GravuraArguments(tmp_.File("q.BAT")), exitCode), StartResult::Started);
  EXPECT_EQ(test::ReadFileLines(folder61 + "/args.txt"), (std::vector<std::string>{"it's", "/X$HOME"}));
}

TEST_F(GravuraLines, StartReportsAMissingProgram) {
  EXPECT_EQ(StartGravura(tmp_.File("none") + " x /CHPL"), 2);
  EXPECT_EQ(dialogs_->Messages().back(),
            "Programm " + tmp_.File("none") + " nicht gefunden oder nicht ausführbar !");
  // A program file that is there but may not be run, and one looked up in PATH.
  test::WriteWholeFile(tmp_.File("plain"), "#!/bin/sh\n");
  EXPECT_EQ(StartGravura(tmp_.File("plain") + " x"), 2);
  EXPECT_EQ(dialogs_->Messages().back(),
            "Programm " + tmp_.File("plain") + " nicht gefunden oder nicht ausführbar !");
  EXPECT_EQ(StartGravura("qern-no-such-plotter /t/gravura"), 2);
  EXPECT_EQ(dialogs_->Messages().back(),
            "Programm qern-no-such-plotter nicht gefunden oder nicht ausführbar !");
  const std::string program = MakeProgram(tmp_.Path() + "/p", "wgravura");
  EXPECT_GT(StartGravura(program + " /t/gravura /CPS"), 31);
  for (int i = 0; i < 100 && !fs::exists(tmp_.Path() + "/p/args.txt"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(test::ReadFileLines(tmp_.Path() + "/p/args.txt"),
            (std::vector<std::string>{"/t/gravura", "/CPS"}));
}

TEST_F(GravuraLines, ScriptReplacesALinkPlantedUnderItsName) {
  const std::string victim = tmp_.File("victim");
  { std::FILE* f = std::fopen(victim.c_str(), "wb"); std::fputs("keep\n", f); std::fclose(f); }
  QERN_PLANT_FOREIGN_LINK(victim, tmp_.File("l.BAT"));
  ASSERT_TRUE(WriteGravuraScript(tmp_.File("l.BAT"), "/opt/gravura/wgravura /t/gravura /CHPL"));
  EXPECT_EQ(test::ReadFileLines(victim), (std::vector<std::string>{"keep"}));
  EXPECT_FALSE(fs::is_symlink(tmp_.File("l.BAT")));
  EXPECT_EQ(test::ReadFileLines(tmp_.File("l.BAT")),
            (std::vector<std::string>{"'/opt/gravura/wgravura' '/t/gravura' '/CHPL'"}));
}

}  // namespace
}  // namespace qern
