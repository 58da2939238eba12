// Where windows go: wholly on the screen, kept by their client rectangle so that reopening them
// does not move them, and dialogs centred by the size they show with.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "design/qernvar.h"
#include "design/qt/kvnuni2.h"
#include "design/qt/qerngeo.h"
#include "design/qt/previewwindow.h"
#include "framework/progvar.h"
#include "framework/qt/dokuconfwindow.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/lconfig.h"
#include "framework/qt/showtextfile.h"
#include "framework/qt/whbildwindow.h"
#include "framework/sysutil.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

TEST(WindowPlace, FitOnScreenMovesFirstAndShrinksOnlyWhatIsTooLarge) {
  const QRect screen(0, 0, 1366, 768);
  const QMargins frame(4, 30, 4, 4);
  // Already on the screen: unchanged.
  EXPECT_EQ(FitClientOnScreen(QRect(100, 100, 400, 300), frame, screen), QRect(100, 100, 400, 300));
  // Its frame above or left of the screen: moved in.
  EXPECT_EQ(FitClientOnScreen(QRect(1, -19, 400, 300), frame, screen), QRect(4, 30, 400, 300));
  // Its lower right beyond the screen: moved back, size kept.
  EXPECT_EQ(FitClientOnScreen(QRect(1200, 600, 400, 300), frame, screen), QRect(962, 464, 400, 300));
  // Larger than the screen: as large as fits.
  EXPECT_EQ(FitClientOnScreen(QRect(0, 0, 1038, 900), frame, screen), QRect(4, 30, 1038, 734));
  // A screen that does not start at 0/0.
  EXPECT_EQ(FitClientOnScreen(QRect(0, 0, 200, 100), frame, QRect(1366, 24, 1024, 744)),
            QRect(1370, 54, 200, 100));
}

TEST(WindowPlace, ListingWindowReopensWhereItWas) {
  InitProgramState();
  test::TempFolder tmp;
  Settings.TempFolder = tmp.Path() + "/";
  test::WriteWholeFile(tmp.File("outwin.txt"), "Zeile\n");
  Settings.TextWindowRect = {12, 80, 500, 300};
  QRect first;
  for (int i = 0; i < 10; ++i) {
    TForm_showtextfile w;
    w.show();
    QApplication::processEvents();
    if (i == 0) first = w.geometry();
    EXPECT_EQ(w.geometry(), first) << "opening " << i + 1;
    w.accept();
  }
  EXPECT_EQ(Settings.TextWindowRect, (std::array<int, 4>{first.x(), first.y(), first.width(), first.height()}));
}

// The window of a dialog that sets no size of its own is centred by the size it then shows with.
class CentredDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    host_.setGeometry(0, 0, 760, 560);
    host_.show();
    SetDialogHostWindow(&host_);
  }
  void TearDown() override { SetDialogHostWindow(nullptr); }
  // Shown, the window keeps the size it was centred with.
  void ExpectCentred(QWidget* w) {
    if (!w->isVisible()) w->show();
    QApplication::processEvents();
    const QRect g = w->geometry();
    const QRect h = host_.frameGeometry();
    const FormRect want = CentredOn({0, 0, g.width(), g.height()}, {h.x(), h.y(), h.width(), h.height()});
    EXPECT_EQ(g.topLeft(), QPoint(want.Left, want.Top)) << w->objectName().toStdString();
  }
  QMainWindow host_;
};

TEST_F(CentredDialogs, DocumentLinksPartTextsAndSearch) {
  TForm_confDoku links;
  ExpectCentred(&links);
  TForm_kvneingabetext texts;
  ExpectCentred(&texts);
  QTimer::singleShot(0, [this] {
    QWidget* w = QApplication::activeModalWidget();
    ASSERT_NE(w, nullptr);
    ExpectCentred(w);
    w->close();
  });
  std::string text = "welle";
  AskSearchText(text, &host_);
}

// The help-picture window's first place (1/1) would cover the main window's menu bar.
TEST_F(CentredDialogs, HelpPictureWindowLeavesTheMenuBarFree) {
  host_.menuBar()->addMenu("Datei");
  QApplication::processEvents();
  Settings.HelpPictureLeft = Settings.HelpPictureTop = 1;
  TForm_hilfebild form(7, 1, &host_);
  form.show();
  QApplication::processEvents();
  const int menuBottom = host_.menuBar()->mapToGlobal(QPoint(0, host_.menuBar()->height())).y();
  EXPECT_GE(form.frameGeometry().top(), menuBottom);
  form.Button_ok->click();
}

// No window is made larger than the screen's free area: the dialog scales grow it only as far as
// it fits, whatever the settings allow; a window that fits keeps the scales asked for.
TEST(WindowPlace, ScaledWindowsFitTheScreensFreeArea) {
  InitProgramState();
  Ident.ProgramName = "QERN";
  SetDefaultDesign();
  const QFont appFont = QApplication::font();
  const double basePoints = appFont.pointSizeF();
  struct Case {
    QRect Area;
    int Scale;          // Dialogfenster and Dialogelemente
    bool KeepsTheScale;  // the font is scaled as asked
  };
  const Case cases[] = {
      {QRect(0, 0, 1366, 768), 999, false}, {QRect(0, 0, 1366, 768), 300, false},
      {QRect(0, 24, 1024, 744), 150, false}, {QRect(0, 0, 3840, 2160), 100, true},
      {QRect(100, 50, 7680, 4320), 150, true},
  };
  const std::vector<std::pair<const char*, std::function<QWidget*()>>> windows = {
      {"geometry", [] { return new TForm_qerngeo; }},
      {"configuration", [] { return new Tconfig; }},
  };
  for (const Case& c : cases) {
    for (const auto& [name, make] : windows) {
      SCOPED_TRACE(testing::Message() << name << " at " << c.Scale << " % on " << c.Area.width() << " x "
                                      << c.Area.height());
      SetAvailableScreenAreaOverride(c.Area);
      Settings.FontScalePercent = Settings.FormScalePercent = c.Scale;
      std::unique_ptr<QWidget> w(make());
      w->show();
      QApplication::processEvents();
      const QMargins frame = WindowFrameMargins();
      const QRect outer = w->geometry().marginsAdded(frame);
      EXPECT_TRUE(c.Area.contains(outer)) << outer.x() << "/" << outer.y() << " " << outer.width() << " x "
                                          << outer.height();
      const double factor = w->font().pointSizeF() / basePoints;
      EXPECT_GE(factor, 1.0);
      EXPECT_LE(factor, c.Scale / 100.0 + 1e-9);
      if (c.KeepsTheScale) EXPECT_NEAR(factor, c.Scale / 100.0, 1e-9);
      if (c.Scale >= 300) EXPECT_GT(factor, 1.2) << "scaled as far as it fits";
    }
  }
  SetAvailableScreenAreaOverride(QRect());
  Settings.FontScalePercent = Settings.FormScalePercent = 100;
}

}  // namespace
}  // namespace qern
