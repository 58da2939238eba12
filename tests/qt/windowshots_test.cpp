// Pictures of the whole screen with real windows under a window manager, for the eye: the main
// window's manufacturing drawings, the geometry window while a clearance is typed (with a help
// picture beside it, and the drawing kept after Cancel), the CAD device choice saying that its
// entries have no picture, the help-picture and listing windows after several openings, and the
// centred dialogs with the print window. Skipped unless QERN_WINDOWS_SCREENSHOTS names a folder; made by
// scripts/screenshot-windows.sh at several screen sizes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/qt/qernu.h"
#include "design/qt/kvnuni2.h"
#include "design/qt/previewwindow.h"
#include "design/qt/qerngeo.h"
#include "framework/progvar.h"
#include "framework/qt/dokuconfwindow.h"
#include "framework/qt/showtextfile.h"
#include "framework/qt/whbildwindow.h"
#include "framework/textfile.h"
#include "tests/qt/mainwindowenv.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

class WindowScreenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("QERN_WINDOWS_SCREENSHOTS");
    if (!dir || !*dir) GTEST_SKIP() << "QERN_WINDOWS_SCREENSHOTS not set";
    dir_ = dir;
    std::filesystem::create_directories(dir_);
  }
  // The whole screen, after the window manager and the windows have settled.
  void Shot(const std::string& name) {
    QTest::qWait(400);
    EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString::fromStdString(dir_ + "/" + name + ".png")));
  }
  // act runs on the next modal window once it is shown.
  static void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(300, [act] {
      QWidget* w = QApplication::activeModalWidget();
      ASSERT_NE(w, nullptr);
      act(w);
    });
  }
  std::string dir_;
};

TEST_F(WindowScreenshots, Windows) {
  test::MainWindowEnvironment env;
  Thh window;
  Settings.PltFolder = QERN_SOURCE_DATA "/";  // the shipped help pictures
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.mi_viewfertigungszeichnungwelle->trigger();
  Shot("1-drawing-shaft");
  window.mi_viewfertigungszeichnungwellenabe->trigger();
  Shot("1-drawing-shaft-hub");

  // The geometry window: a clearance typed (the last inputs), results in view; then a help picture.
  WhenModal([this](QWidget* w) {
    auto* geo = qobject_cast<TForm_qerngeo*>(w);
    ASSERT_NE(geo, nullptr);
    geo->RadioButton_rad1c->click();
    geo->ScrollArea_content->ensureWidgetVisible(geo->Edit_cpmn);
    geo->Edit_cpmn->setFocus();
    QTest::keyClick(geo->Edit_cpmn, Qt::Key_End);
    QTest::keyClick(geo->Edit_cpmn, Qt::Key_1);
    Shot("3-geometry-clearance-typed");
    geo->ScrollArea_content->ensureWidgetVisible(geo->Edit_mn);
    geo->Button_hilfebild->click();
    Shot("5-geometry-help-picture");
    geo->Button_cancel->click();
  });
  window.mi_editabmessungenClick();
  Shot("5-geometry-cancelled-drawing-kept");

  // The CAD device choice: its entries have no picture, which the picture button says.
  WhenModal([this](QWidget* choice) {
    WhenModal([this](QWidget* message) {
      Shot("5-cad-device-choice-no-picture");
      message->close();
    });
    choice->findChild<QPushButton*>("Button_hilfebild")->click();
    choice->findChild<QPushButton*>("button_cancel")->click();
  });
  window.mi_cadquick3->trigger();
  // The print window, centred with the name of its output set.
  WhenModal([this](QWidget* w) {
    Shot("4-centred-print-window");
    w->close();
  });
  window.mi_fileprint->trigger();

  // The help-picture window, opened four times where the last one was left.
  for (int i = 0; i < 4; ++i) {
    TForm_hilfebild form(7, 1, &window);
    form.show();
    QTest::qWait(200);
    if (i == 3) Shot("4-help-picture-window-4th");
    form.Button_ok->click();
  }
  // The listing window, opened ten times.
  test::WriteWholeFile(AddBackslash(Settings.TempFolder) + "outwin.txt", "Auslegung\n");
  for (int i = 0; i < 10; ++i) {
    TForm_showtextfile listing(&window);
    listing.show();
    QTest::qWait(100);
    if (i == 9) Shot("4-listing-window-10th");
    listing.accept();
  }
  // Centred dialogs.
  {
    TForm_confDoku links(&window);
    links.show();
    Shot("4-centred-document-links");
  }
  {
    TForm_kvneingabetext texts(&window);
    texts.show();
    Shot("4-centred-part-texts");
  }
  WhenModal([this](QWidget* w) {
    Shot("4-centred-search");
    w->close();
  });
  std::string text = "welle";
  AskSearchText(text, &window);
}

}  // namespace
}  // namespace qern
