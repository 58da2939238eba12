// System-information and about windows: captions, the first facts of this machine in the list,
// and the program's identity.
#include "design/qt/sysinfwindow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>

#include "framework/progvar.h"
#include "platform/machine.h"

namespace qern {
namespace {

TEST(SystemInfoWindows, ShowTheFactsAndTheIdentity) {
  InitProgramState();
  Ident.ProductName = "QERN";
  Ident.ProgramName = "qern";
  Ident.Banner = "QERN   Kerbverzahnung";
  {
    TSysinfo w;
    EXPECT_EQ(w.windowTitle(), "QERN System Info");
    w.FormActivate();
    ASSERT_GE(w.ListBox_info->count(), 10);
    EXPECT_EQ(w.ListBox_info->item(0)->text().toStdString(), "PC Name     : " + HostName());
    EXPECT_EQ(w.ListBox_info->item(1)->text().toStdString(), "User        : " + UserName());
  }
  TAboutBox about;
  EXPECT_EQ(about.windowTitle(), "QERN");
  EXPECT_EQ(about.Label_extended->text(), "QERN   Kerbverzahnung");
  EXPECT_EQ(about.ProductName->text(), "Version 1.0 für Linux");
  EXPECT_TRUE(about.Label_fileversion->text().startsWith("File Version : 1.0   (wqern:Qt "));
}

}  // namespace
}  // namespace qern
