// Message-help window: fields, changed flag, and the editor it installs for ShowHelpErrWindow.
#include "framework/qt/helperrwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "framework/progvar.h"
#include "framework/uhelperr.h"
#include "platform/scripteddialogs.h"

using namespace qern;

namespace {

TEST(HelpErrWindowTest, ShowsTheRecordAndNoticesChanges) {
  Thelperr w("Fehler : cp < 0 !", "Ursache alt", "Abhilfe alt");
  EXPECT_EQ(w.windowTitle(), "Fehlermeldung");
  EXPECT_TRUE(w.Edit_meldung->isReadOnly());
  EXPECT_EQ(w.Edit_meldung->text(), "Fehler : cp < 0 !");
  EXPECT_EQ(w.Label_ursache->text(), "Ursache");
  EXPECT_EQ(w.Label_abhilfe->text(), "Abhilfe");
  w.show();
  EXPECT_FALSE(w.Changed());
  w.Memo_abhilfe->setPlainText("Abhilfe neu");
  EXPECT_TRUE(w.Changed());
  EXPECT_EQ(w.Remedy(), "Abhilfe neu");
  EXPECT_EQ(w.Cause(), "Ursache alt");
}

// Tab leaves a memo for the next field and types nothing into the text.
TEST(HelpErrWindowTest, TabMovesBetweenTheFields) {
  Thelperr w("Fehler : cp < 0 !", "Ursache", "Abhilfe");
  w.show();
  QApplication::setActiveWindow(&w);
  w.Memo_ursache->setFocus();
  QTest::keyClick(w.Memo_ursache, Qt::Key_Tab);
  EXPECT_EQ(w.Cause(), "Ursache");
  EXPECT_FALSE(w.Changed());
  EXPECT_EQ(w.focusWidget(), w.Memo_abhilfe);
}

TEST(HelpErrWindowTest, InstalledWindowHandsBackEditsAfterOk) {
  InitProgramState();
  ScopedScriptedDialogs dialogs;
  InstallErrorHelpWindow();
  // Edit the cause and press OK once the window is up; the core then asks "Save Changes ?".
  QTimer::singleShot(0, [] {
    auto* w = qobject_cast<Thelperr*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    w->Memo_ursache->setPlainText("geändert");
    w->Button_ok->click();
  });
  dialogs->QueueNo();
  ShowHelpErrWindow("Fatal  : z = 0 !", "u", "a");
  ASSERT_FALSE(dialogs->Log.empty());
  EXPECT_EQ(dialogs->Last().Kind, "yesnocancel");
  EXPECT_EQ(dialogs->Last().Text, "Save Changes ?");
  SetErrorHelpEditor(nullptr);
}

}  // namespace
