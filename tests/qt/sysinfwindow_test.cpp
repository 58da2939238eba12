// System-information and about windows: captions, the first facts of this machine in the list,
// and the program's identity.
#include "design/qt/sysinfwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/fzorqgra.h"
#include "framework/zorqdraw.h"
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

// Both windows show the logo on the main window while they are open; the drawing that was there
// comes back when they close.
TEST(SystemInfoWindows, GiveTheDrawingBackWhenTheyClose) {
  InitProgramState();
  TFzorqgra drawingWindow;
  TDrawDevice device;
  DrawDevice = &device;
  SetDialogHostWindow(&drawingWindow);
  device.Header(0, 0, 0, 100, 80);
  device.SetColor(4);
  device.Line(10, 10, 90, 70);
  const std::vector<std::string> drawing = DisplayListText();
  for (auto show : {ShowSystemInfo, ShowAboutBox}) {
    bool logo = false;
    QTimer::singleShot(0, [&] {
      QWidget* w = QApplication::activeModalWidget();
      ASSERT_NE(w, nullptr);
      logo = !DisplayList.empty() && DisplayListText() != drawing;
      w->findChild<QPushButton*>("OKButton")->click();
    });
    show();
    EXPECT_TRUE(logo);
    EXPECT_EQ(DisplayListText(), drawing);
    EXPECT_EQ(Graph.WorldXMax, 100);
    EXPECT_EQ(device.Window().GetColor(), 4);
  }
  SetDialogHostWindow(nullptr);
  DrawDevice = nullptr;
}

}  // namespace
}  // namespace qern
