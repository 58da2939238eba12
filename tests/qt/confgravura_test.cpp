// Plot settings window: start line, the command line rebuilt on every change, enabling by
// interface and format, OK and Cancel, and its use from the configuration window.
// QERN_GRAVURA_SCREENSHOT=<file.png> saves a picture of the window.
#include "drawing/qt/confgravura.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdlib>

#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/qt/lconfig.h"
#include "framework/qt/radiogroup.h"
#include "platform/scripteddialogs.h"

namespace qern {
namespace {

class GravuraWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Settings.TempFolder = "/tmp/q/";
  }
  ScopedScriptedDialogs dialogs_;
};

TEST_F(GravuraWindow, EveryChangeRebuildsTheLine) {
  // The Windows start value names no program of this system: the window shows its own program
  // in both the path and the line. A program that is there is shown with its stored line.
  TForm_confgravura w("C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0");
  EXPECT_EQ(w.Edit_gravuraPath->text(), "/opt/gravura/wgravura");
  EXPECT_EQ(w.Label_commandline->text(), "/opt/gravura/wgravura /tmp/q/gravura /CHPL");
  EXPECT_EQ(w.CommandLine(), "/opt/gravura/wgravura /tmp/q/gravura /CHPL");
  {
    TForm_confgravura local("/bin/sh /tmp/q/gravura /CPS");
    EXPECT_EQ(local.Edit_gravuraPath->text(), "/bin/sh");
    EXPECT_EQ(local.CommandLine(), "/bin/sh /tmp/q/gravura /CPS");
    EXPECT_EQ(local.Label_commandline->text().toStdString(), local.CommandLine());
  }
  EXPECT_EQ(w.Edit_outdir->text(), "/tmp/q/");
  EXPECT_FALSE(w.ComboBox_psfont->isEnabled());
  EXPECT_EQ(w.ComboBox_psfont->count(), 35);
  EXPECT_TRUE(w.Edit_lpt->isEnabled());
  EXPECT_FALSE(w.Edit_com->isEnabled());

  w.Edit_scale->setText("2");
  EXPECT_EQ(w.CommandLine(), "/opt/gravura/wgravura /tmp/q/gravura /CHPL /M2");
  EXPECT_EQ(w.Label_commandline->text().toStdString(), w.CommandLine());
  w.CheckBox_scale->click();
  EXPECT_EQ(w.Edit_scale->text(), "0");
  EXPECT_FALSE(w.Edit_scale->isEnabled());
  EXPECT_EQ(w.CommandLine(), "/opt/gravura/wgravura /tmp/q/gravura /CHPL /M*");
  w.CheckBox_scale->click();
  EXPECT_TRUE(w.Edit_scale->isEnabled());

  w.RadioGroup_d->Item(2)->click();
  EXPECT_TRUE(w.Edit_outdir->isEnabled());
  EXPECT_FALSE(w.Edit_lpt->isEnabled());
  w.Edit_outdir->setText("/plots");
  EXPECT_EQ(w.CommandLine(), "/opt/gravura/wgravura /tmp/q/gravura /CHPL /D3 /F/plots/gravura /M*");
  w.Button_tempdir->click();
  EXPECT_EQ(w.Edit_outdir->text(), "/tmp/q/");

  w.RadioGroup_outcode->Item(1)->click();
  EXPECT_TRUE(w.ComboBox_psfont->isEnabled());
  w.ComboBox_psfont->setCurrentText("Courier");
  w.CheckBox_rotate->click();
  EXPECT_EQ(w.CommandLine(), "/opt/gravura/wgravura /tmp/q/gravura /CPS /D3 /F/tmp/q/gravura /M* /R /TCourier");
  w.Button_okClick();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(w.result(), QDialog::Accepted);

  TForm_confgravura cancelled("x");
  cancelled.Button_cancelClick();
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(GravuraWindow, EditsALineOfTheConfigurationWindow) {
  InstallGravuraWindow();
  Tconfig config;
  config.ListBox_gravura->setCurrentRow(1);
  QTimer::singleShot(0, [] {
    auto* w = qobject_cast<TForm_confgravura*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    w->Edit_lpt->setText("2");
    w->Button_ok->click();
  });
  config.Button_confgravura->click();
  EXPECT_EQ(config.ListBox_gravura->item(1)->text().toStdString(),
            "2: /opt/gravura/wgravura /tmp/q/gravura /CHPL /P2");
  config.Button_okClick();
  EXPECT_EQ(Settings.GravuraCommandLines[1], "/opt/gravura/wgravura /tmp/q/gravura /CHPL /P2");
  EXPECT_EQ(Settings.GravuraCommandCount, 2);

  // The CAD device dialog: the window (closed: the stored line stays), then the line, whose "0"
  // starts the dialog sequence.
  Settings.GravuraCommandCount = 1;
  const std::string stored = Settings.GravuraCommandLines[0];
  bool windowShown = false;
  QTimer::singleShot(0, [&windowShown] {
    windowShown = qobject_cast<TForm_confgravura*>(QApplication::activeModalWidget()) != nullptr;
    QApplication::activeModalWidget()->close();
  });
  dialogs_->QueueChoice(4);
  dialogs_->QueueText("0");
  dialogs_->QueueCancel();
  CadAskDevice();
  EXPECT_TRUE(windowShown);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs_->Last().Caption, "GRAVURA/WGRAVURA");
  EXPECT_EQ(Settings.GravuraCommandLines[0], stored);
  SetCadPlotDialogs({});
  Tconfig::SetPlotLineEditor(nullptr);
}

TEST_F(GravuraWindow, Screenshot) {
  const char* file = std::getenv("QERN_GRAVURA_SCREENSHOT");
  if (!file || !*file) GTEST_SKIP() << "QERN_GRAVURA_SCREENSHOT not set";
  TForm_confgravura w("C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0");
  w.RadioGroup_outcode->Item(1)->click();
  w.ComboBox_psfont->setCurrentText("Helvetica");
  w.show();
  QApplication::processEvents();
  EXPECT_TRUE(w.grab().save(file));
}

}  // namespace
}  // namespace qern
