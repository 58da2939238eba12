// Tests of the batch and scripted dialog services and of the machine facts.
#include "platform/dialogservice.h"

#include <gtest/gtest.h>

#include "platform/machine.h"
#include "platform/scripteddialogs.h"

using namespace qern;

namespace {

TEST(DialogServiceTest, BatchIsCurrentByDefaultAndCancelsEveryQuestion) {
  SetDialogService(nullptr);
  DialogService& d = Dialogs();
  EXPECT_NE(dynamic_cast<BatchDialogService*>(&d), nullptr);
  // A headless run shows the items of a choice as well: they are often the messages themselves.
  int index = 2;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(d.Choose("Meldungen", {"Fatal  : z1 < 6", "Warnung: x"}, true, index, 0));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Meldungen"), std::string::npos);
  EXPECT_NE(err.find("Fatal  : z1 < 6"), std::string::npos);
  EXPECT_NE(err.find("Warnung: x"), std::string::npos);
  EXPECT_EQ(index, 2);
  bool yes = true;
  EXPECT_FALSE(d.AskYesNo("?", yes, 0));
  EXPECT_EQ(d.AskYesNoCancel("C", "überschreiben ?"), YesNoCancel::Cancel);
  EXPECT_FALSE(d.AskRetry("C", "I/O-Error 5"));
  std::string text = "x";
  EXPECT_FALSE(d.InputText("p", 10, text, 0));
  EXPECT_EQ(text, "x");
  std::string name;
  EXPECT_FALSE(d.OpenFileName({}, name));
  EXPECT_FALSE(d.SaveFileName({}, name));
  EXPECT_FALSE(d.ChooseFolder({}, name));
  testing::internal::CaptureStderr();
  d.ShowMessage("Fehler : ", "Diskette/Platte voll", MessageKind::Error);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Diskette/Platte voll"), std::string::npos);
}

TEST(DialogServiceTest, ScriptedHelpButtons) {
  ScopedScriptedDialogs ui;
  int helpSeen = 0, modeSeen = 0;
  bool clears = false;
  SetDialogHelpHandler([&](int n, int mode, bool c) {
    helpSeen = n;
    modeSeen = mode;
    clears = c;
  });
  ui->HelpPresses = {2};
  bool yes = false;
  ui->QueueOk();
  Dialogs().AskYesNo("?", yes, 99);
  EXPECT_EQ(helpSeen, 99);
  EXPECT_EQ(modeSeen, 2);
  EXPECT_FALSE(clears);  // the yes/no dialog keeps the abort flag
  SetDialogHelpHandler(nullptr);
}

TEST(MachineTest, FactsFromLinux) {
  EXPECT_GT(DiskSizeBytes("/"), 0u);
  EXPECT_GE(DiskSizeBytes("/"), DiskFreeBytes("/"));
  EXPECT_EQ(DiskSizeBytes("/gibt/es/nicht"), 0u);
  EXPECT_EQ(MountPointOf("/"), "/");
  EXPECT_EQ(MountPointOf("/proc/self").rfind("/proc", 0), 0u);
  EXPECT_GT(TotalMemoryBytes(), 0u);
  int major = 0, minor = 0;
  KernelVersion(major, minor);
  EXPECT_GT(major, 0);
  EXPECT_FALSE(OsName().empty());
  EXPECT_GE(CpuClockMHz(), 0.0);
  EXPECT_FALSE(ProgramFilePath().empty());
  for (const auto& ip : LocalIPv4Addresses()) EXPECT_EQ(std::count(ip.begin(), ip.end(), '.'), 3);
}

}  // namespace
