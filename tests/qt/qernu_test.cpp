// The main window's start on the offscreen platform: settings, default design, one calculation,
// captions, the dimensions command, and a clean close. QERN_MAIN_SCREENSHOT=<file.png> saves a
// picture of the started window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "app/qernstart.h"
#include "app/qt/qernu.h"
#include "design/aendvar.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "design/qt/qerngeo.h"
#include "framework/qt/formhelp.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "framework/zorqgraf.h"
#include "tests/qt/mainwindowenv.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class MainWindowStart : public ::testing::Test {
 protected:
  void SetUp() override {
    // A modal window during the start would wait for an answer: note it and close it.
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        ++modalWindows_;
        lastModal_ = modal->objectName().toStdString();
        modal->close();
      }
    });
    watchdog_.start(20);
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      names.insert(e.path().lexically_relative(dir_).string());
    return names;
  }

  test::MainWindowEnvironment env_;
  fs::path dir_ = env_.Dir();
  QTimer watchdog_;
  int modalWindows_ = 0;
  std::string lastModal_;
};

// With a screen the usage lines stand in the list window, shown modally; the run then ends.
TEST_F(MainWindowStart, UsageInTheListWindow) {
  SetProgramParams({"/?"});
  Thh window;
  EXPECT_EQ(window.StartExitStatus(), std::optional<int>(ExitOk));
  EXPECT_EQ(modalWindows_, 1);
  EXPECT_EQ(lastModal_, "TShowScreen");
  SetProgramParams({});
}

// Qt's own dialogs speak the program's language.
TEST_F(MainWindowStart, QtTextsInTheProgramsLanguage) {
  Thh window;
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
  window.SetLanguage(3);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annuler");
  window.SetLanguage(1);
}

TEST_F(MainWindowStart, ReadsTheDefaultDesignCalculatesAndClosesCleanly) {
  DesignFileContent expected;
  ASSERT_TRUE(ReadDesignFile((dir_ / "null.qrk").string(), expected));
  const std::set<std::string> before = Names();
  {
    Thh window;
    EXPECT_FALSE(window.StartExitStatus().has_value());
    EXPECT_EQ(FZorqgra, static_cast<GraphicWindow*>(&window));
    window.show();
    QApplication::processEvents();

    EXPECT_EQ(Session.CurrentFileName, "");
    EXPECT_EQ(Session.CurrentFileFolder, AddBackslash(dir_.string()));
    EXPECT_FALSE(Flags.DesignModified);
    EXPECT_FALSE(Flags.FatalError);
    EXPECT_EQ(Design.ToothCount[1], expected.Record.ToothCount[1]);
    EXPECT_EQ(Design.NormalModule, expected.Record.NormalModule);
    // Calculated: the results fit the inputs.
    EXPECT_GT(Design.PitchDiameter[1], 0);
    EXPECT_EQ(Design.ToothCount[2], -Design.ToothCount[1]);
    // The default drawing (Quick 3) of the start calculation replaced the logo.
    bool quick3 = false;
    for (const DisplayRecord& r : DisplayList)
      if (r.Code == RecWindow && r.Args[6] == 160 && r.Args[7] == 120) quick3 = true;
    EXPECT_TRUE(quick3);
    EXPECT_GT(DisplayList.size(), 500u);
    if (const char* file = std::getenv("QERN_MAIN_SCREENSHOT"); file && *file) {
      EXPECT_TRUE(window.grab().save(file));
    }
    EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung");
    EXPECT_EQ(window.mi_viewErrorMessages->text().toStdString(),
              "&Fehlermeldungen (" + IntStr(Errors.ErrorCount) + ")");
    EXPECT_EQ(window.mi_viewErrorMessages->isEnabled(), Errors.ErrorCount > 0);
    EXPECT_EQ(window.mi_editabmessungen->text().toStdString(), "&Abmessungen");
    // The menu keeps readable colours on the drawing background.
    EXPECT_EQ(window.menuBar()->palette().color(QPalette::Window),
              QApplication::palette(window.menuBar()).color(QPalette::Window));

    EXPECT_EQ(modalWindows_, 0) << "no window asks anything during the start";
    // The dimensions window cancelled: nothing is marked or recalculated.
    window.mi_editabmessungenClick();
    EXPECT_FALSE(Flags.DesignModified);

    window.mi_fileexit->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(window.isVisible());
  }
  EXPECT_EQ(FZorqgra, nullptr);
  EXPECT_EQ(Names(), before) << "only the start's own temporary files, all deleted";
}

TEST_F(MainWindowStart, CalculateButtonDrawsTheDefaultDrawingBehindTheDialog) {
  Thh window;
  watchdog_.stop();
  size_t drawn = 0;
  QTimer::singleShot(0, [&drawn] {
    auto* w = qobject_cast<TForm_qerngeo*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    DisplayList.clear();
    w->Button_calc->click();
    drawn = DisplayList.size();
    w->Button_cancel->click();
  });
  window.mi_editabmessungenClick();
  EXPECT_GT(drawn, 500u);
}

// A calculation drawn from the geometry window and then cancelled: the main window shows the
// restored design again, with its own message count.
TEST_F(MainWindowStart, CancelAfterCalculateRestoresTheDrawingAndMessages) {
  Thh window;
  watchdog_.stop();
  const std::vector<std::string> drawingBefore = DisplayListText();
  const int errorsBefore = Errors.ErrorCount;
  const QString captionBefore = window.mi_viewErrorMessages->text();
  std::vector<std::string> drawnInside;
  QTimer::singleShot(0, [&drawnInside] {
    auto* w = qobject_cast<TForm_qerngeo*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    w->Edit_mn->setText("1.25");
    w->Button_calc->click();
    drawnInside = DisplayListText();
    w->Button_cancel->click();
  });
  window.mi_editabmessungenClick();
  EXPECT_NE(drawnInside, drawingBefore) << "the calculate button drew the edited design";
  EXPECT_EQ(DisplayListText(), drawingBefore);
  EXPECT_EQ(Errors.ErrorCount, errorsBefore);
  EXPECT_EQ(window.mi_viewErrorMessages->text(), captionBefore);
  EXPECT_TRUE(Flags.AbortFlag);
}

// The drawing is mapped to the drawing area below the menu bar, also when the window cannot be as
// large as the configured drawing size: the whole sheet, frame and footer, is in view.
TEST_F(MainWindowStart, ManufacturingDrawingLiesWithinTheDrawingArea) {
  Thh window;
  watchdog_.stop();
  window.show();
  QApplication::processEvents();
  QWidget* area = window.DrawingArea();
  EXPECT_EQ(area->width(), Settings.ScreenWidth + 1);
  EXPECT_EQ(area->height(), Settings.ScreenHeight + 1);
  auto expectInside = [&](const char* what) {
    SCOPED_TRACE(what);
    EXPECT_GE(Graph.ViewLeft, 0);
    EXPECT_GE(Graph.ViewTop, 0);
    EXPECT_LT(Graph.ViewRight, area->width());
    EXPECT_LT(Graph.ViewBottom, area->height());
    EXPECT_LT(MapY(Graph.VisibleYMin), area->height());
  };
  window.mi_viewfertigungszeichnungwelle->trigger();
  expectInside("configured size");
  window.mi_viewfertigungszeichnungwellenabe->trigger();
  expectInside("shaft and hub");
  // A drawing size larger than the screen: the window is fitted on the screen, the drawing follows.
  Settings.ScreenHeight = 5000;
  SizeMainWindow(&window);
  QApplication::processEvents();
  EXPECT_LT(area->height(), 5000);
  expectInside("kept drawing after the resize");
  window.mi_viewfertigungszeichnungwelle->trigger();
  expectInside("drawn in the smaller area");
}

TEST_F(MainWindowStart, ListingCommandShowsTheResultListingInTheViewer) {
  Thh window;
  EXPECT_EQ(window.mi_viewausdruck->text().toStdString(), "&Ausdruck");
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = 1;
  window.mi_viewausdruck->trigger();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(modalWindows_, 1) << "the listing window";
  const std::string shown = test::ReadWholeFile(AddBackslash(Settings.TempFolder) + "outwin.txt");
  EXPECT_NE(shown.find("Eingriffswinkel"), std::string::npos);
}

TEST_F(MainWindowStart, CommandLineEndsTheRunBeforeTheWindowIsShown) {
  SetProgramParams({"x"});
  Thh window;
  ASSERT_TRUE(window.StartExitStatus().has_value());
  EXPECT_EQ(*window.StartExitStatus(), 0);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(modalWindows_, 1) << "the missing-extension message";
}

// A drawing run that names no device asks for it with a screen; closing the choice cancels it.
TEST_F(MainWindowStart, DrawingRunWithoutItsDeviceAsksForIt) {
  fs::copy_file(dir_ / "null.qrk", dir_ / "named.qrk");
  SetProgramParams({"named.qrk", "/CADx:1"});
  Thh window;
  EXPECT_EQ(window.StartExitStatus(), std::optional<int>(ExitOutputFailed));
  EXPECT_EQ(modalWindows_, 1) << "the device choice";
  SetProgramParams({});
}

TEST_F(MainWindowStart, StartsWithTheNamedFile) {
  fs::copy_file(dir_ / "null.qrk", dir_ / "named.qrk");
  SetProgramParams({"named.qrk", "/NOGUI"});
  Thh window;
  EXPECT_FALSE(window.StartExitStatus().has_value());
  EXPECT_TRUE(Flags.StartedWithFile);
  EXPECT_EQ(Session.CurrentFileName, "named");
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung  -  named.qrk");
  EXPECT_EQ(modalWindows_, 0);
}

TEST_F(MainWindowStart, DocumentationAndOleMenusReachTheirWindows) {
  Thh window;
  EXPECT_EQ(window.mi_doc->title().toStdString(), "D&okument");
  EXPECT_EQ(window.mi_docuNewChange->text().toStdString(), "&Neue Änderung");
  EXPECT_EQ(window.mi_HelpAbout->text().toStdString(), "QERN");
  EXPECT_EQ(window.mi_helphistory->text().toStdString(), "QERN Info (www)");
  window.mi_docdrawinginfo->trigger();
  EXPECT_EQ(modalWindows_, 1) << "the drawing-information window";
  EXPECT_TRUE(Flags.AbortFlag) << "closed like Cancel";
  EXPECT_FALSE(Flags.DesignModified);
  window.mi_docudeleteChange->trigger();  // no entries: the log is shown, nothing changes
  EXPECT_FALSE(Flags.DesignModified);
  DrawingInfo.ChangeCount = 1;
  window.mi_docudeleteChange->trigger();
  EXPECT_TRUE(Flags.DesignModified) << "a changed log is saved with the design";
  modalWindows_ = 1;

  // Start Excel: the unnamed design is refused and the export stays disabled.
  EXPECT_EQ(window.mi_OleExportExcel->text().toStdString(), "Export QERN -> Excel");
  window.mi_OleStartExcel->trigger();
  EXPECT_EQ(modalWindows_, 2) << "the save message";
  EXPECT_FALSE(window.mi_OleExportExcel->isEnabled());
  Session.CurrentFileName = "welle";
  setenv("QERN_SPREADSHEET", "/bin/true", 1);
  window.mi_OleStartExcel->trigger();
  unsetenv("QERN_SPREADSHEET");
  EXPECT_TRUE(window.mi_OleExportExcel->isEnabled());
  EXPECT_EQ(modalWindows_, 2);
}

TEST_F(MainWindowStart, FilePrintOpensThePrintWindow) {
  Thh window;
  EXPECT_EQ(window.mi_fileprint->text().toStdString(), "&Drucken...");
  EXPECT_EQ(window.mi_fileprint->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
  modalWindows_ = 0;
  window.mi_fileprint->trigger();
  EXPECT_EQ(modalWindows_, 1) << "the print window";
  EXPECT_TRUE(Flags.AbortFlag) << "closed like Cancel: nothing printed";
}

}  // namespace
}  // namespace qern

namespace qern {
namespace {

TEST_F(MainWindowStart, HelpPictureCommandShowsTheCatalogueWindow) {
  Thh window;
  EXPECT_EQ(window.mi_help->title().toStdString(), "&Hilfe");
  EXPECT_EQ(window.mi_HelpHilfebild->text().toStdString(), "&Hilfebild");
  window.mi_HelpHilfebild->trigger();
  EXPECT_EQ(modalWindows_, 1) << "the catalogue window, closed: the command ends";
}

}  // namespace
}  // namespace qern

#include <QMessageBox>

#include "framework/help.h"

namespace qern {
namespace {

// Help pictures asked for from the geometry window show beside it: the main window keeps the
// design's drawing while it is open and after it closes, by OK or by Cancel.
TEST_F(MainWindowStart, HelpPicturesOfTheGeometryWindowLeaveTheDrawing) {
  Thh window;
  watchdog_.stop();
  Settings.PltFolder = QERN_SOURCE_DATA;
  window.mi_viewQuick3->trigger();
  const std::vector<std::string> drawing = DisplayListText();
  ASSERT_GT(drawing.size(), 500u);
  for (bool ok : {false, true}) {
    bool viewShown = false;
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<TForm_qerngeo*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      w->Button_hilfebild->click();
      w->Button_dmess->click();
      EXPECT_EQ(DisplayListText(), drawing);
      if (QWidget* view = w->findChild<QWidget*>("HelpPictureView")) {
        viewShown = view->isVisible();
        view->close();
      }
      (ok ? w->Button_ok : w->Button_cancel)->click();
    });
    window.mi_editabmessungenClick();
    EXPECT_TRUE(viewShown);
    EXPECT_EQ(DisplayListText(), drawing) << (ok ? "OK" : "Abbrechen");
  }
}

// An entry of the CAD device choice has no picture: its picture button says so, and the main
// window keeps the drawing.
TEST_F(MainWindowStart, PictureButtonOfAnEntryWithoutPictureSaysSo) {
  Thh window;
  watchdog_.stop();
  Settings.PltFolder = QERN_SOURCE_DATA;
  window.mi_viewQuick3->trigger();
  const std::vector<std::string> drawing = DisplayListText();
  std::string message;
  bool viewMade = true, choiceAsked = false;
  QTimer::singleShot(0, [&] {
    QWidget* choice = QApplication::activeModalWidget();
    ASSERT_NE(choice, nullptr);
    auto* button = choice->findChild<QPushButton*>("Button_hilfebild");
    ASSERT_NE(button, nullptr);
    choiceAsked = true;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      message = box->text().toStdString();
      box->close();
    });
    button->click();
    EXPECT_EQ(DisplayListText(), drawing);
    viewMade = choice->findChild<QWidget*>("HelpPictureView") != nullptr;
    choice->findChild<QPushButton*>("button_cancel")->click();
  });
  window.mi_cadquick3->trigger();
  EXPECT_TRUE(choiceAsked);
  EXPECT_EQ(message, NoHelpPictureText);
  EXPECT_FALSE(viewMade);
  EXPECT_EQ(DisplayListText(), drawing);
}

}  // namespace
}  // namespace qern
