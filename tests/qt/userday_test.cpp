// A user's day with the main window, through its menus and windows as a user works them: open an
// example, change the module in the geometry window, list, draw two kinds on the screen, write
// DXF and IGES, save under a new name, open another design and reopen the saved one from the
// recent files. Runs offscreen in the suite and on a real X server with scripts/session-xvfb.sh.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>

#include "app/qernstart.h"
#include "app/qt/qernu.h"
#include "design/qernvar.h"
#include "design/qt/qerngeo.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "framework/zorqgraf.h"
#include "tests/qt/mainwindowenv.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class UserDay : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work_);
    for (const char* example : {"pruefmass.qrk", "welle_mit_spielen.qrk"})
      fs::copy_file(fs::path(QERN_SOURCE_DATA) / "examples" / example, work_ / example);
    // Each modal window is answered by the next step of the script.
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      // A window met before carries a mark (a new one may reuse an old one's address).
      if (!modal || modal->property("qernSeen").toBool()) return;
      modal->setProperty("qernSeen", true);
      const std::string name = modal->objectName().toStdString();
      const std::string cls = modal->metaObject()->className();
      if (script_.empty()) {
        ADD_FAILURE() << "unexpected window " << cls << " " << name;
        modal->close();
        return;
      }
      Step step = std::move(script_.front());
      script_.pop_front();
      EXPECT_TRUE(step.Window == name || step.Window == cls) << step.Window << " vs " << cls;
      QTimer::singleShot(50, modal, [modal, act = std::move(step.Act)] { act(modal); });
    });
    watchdog_.start(10);
  }
  struct Step {
    std::string Window;  // object name or class of the expected window
    std::function<void(QWidget*)> Act;
  };
  // Runs a menu item with the windows it opens answered by steps; all of them must be used.
  void Run(QAction* item, std::vector<Step> steps) {
    script_.assign(steps.begin(), steps.end());
    item->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(script_.empty()) << item->objectName().toStdString() << ": "
                                 << script_.size() << " windows did not appear";
    script_.clear();
  }
  // Answers a file dialog with a file of the work folder.
  static Step FileDialog(const char* name, fs::path file) {
    return {name, [file](QWidget* w) {
              // Typed into the name field as a user does, then Enter.
              auto* edit = w->findChild<QLineEdit*>("fileNameEdit");
              ASSERT_NE(edit, nullptr);
              edit->setText(QString::fromStdString(file.string()));
              QTest::keyClick(edit, Qt::Key_Return);
            }};
  }
  // Picks radio item k of the choice window and presses OK.
  static Step Choose(int k) {
    return {"Tin_radiodialog", [k](QWidget* w) {
              const auto radios = w->findChildren<QRadioButton*>();
              ASSERT_GE(radios.size(), k);
              radios[k - 1]->click();
              w->findChild<QPushButton*>("button_ok")->click();
            }};
  }
  static Step Close(const char* window) {
    return {window, [](QWidget* w) { w->close(); }};
  }

  test::MainWindowEnvironment env_;
  fs::path work_ = env_.Dir() / "work";
  QTimer watchdog_;
  std::deque<Step> script_;
};

TEST_F(UserDay, OpenChangeListDrawExportSaveAndReopen) {
  Thh window;
  window.show();
  QApplication::processEvents();

  // Open an example.
  Run(window.mi_fileOpen, {FileDialog("OpenDialog", work_ / "pruefmass.qrk")});
  EXPECT_EQ(Session.CurrentFileName, "pruefmass");
  EXPECT_EQ(Design.ToothCount[1], 18);
  EXPECT_FALSE(Flags.DesignModified);

  // The module typed into the geometry window, then OK.
  Run(window.mi_editabmessungen, {{"qern::TForm_qerngeo", [](QWidget* w) {
                                     auto* form = static_cast<TForm_qerngeo*>(w);
                                     form->Edit_mn->setFocus();
                                     form->Edit_mn->selectAll();
                                     QTest::keyClicks(form->Edit_mn, "1.25");
                                     QTest::keyClick(form->Edit_mn, Qt::Key_Tab);
                                     form->Button_ok->click();
                                   }}});
  EXPECT_DOUBLE_EQ(static_cast<double>(Design.NormalModule), 1.25);
  EXPECT_DOUBLE_EQ(static_cast<double>(Design.PitchDiameter[1]), 22.5);
  EXPECT_TRUE(Flags.DesignModified);

  // The listing in its window.
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = 1;
  Run(window.mi_viewausdruck, {Close("qern::TForm_showtextfile")});
  const std::string listing =
      test::ReadWholeFile(AddBackslash(Settings.TempFolder) + "outwin.txt");
  EXPECT_NE(listing.find("1.250"), std::string::npos);

  // Two drawings on the screen.
  DisplayList.clear();
  Run(window.mi_viewfertigungszeichnungwelle, {});
  const std::size_t sheet = DisplayList.size();
  EXPECT_GT(sheet, 100u);
  Run(window.mi_viewzahn12, {});
  EXPECT_GT(DisplayList.size(), 10u);
  EXPECT_NE(DisplayList.size(), sheet);

  // The shaft's drawing as DXF, the teeth as IGES.
  Run(window.mi_cadfertigungszeichnung1, {Choose(1), FileDialog("SaveDialog", work_ / "welle.dxf")});
  const std::vector<std::string> dxf = test::ReadFileLines((work_ / "welle.dxf").string());
  ASSERT_GT(dxf.size(), 100u);
  EXPECT_EQ(TrimBlanks(dxf[0]), "0");
  EXPECT_EQ(dxf[1], "SECTION");
  EXPECT_EQ(dxf.back(), "EOF");
  Run(window.mi_cadzahn12, {Choose(2), FileDialog("SaveDialog", work_ / "zahn.igs")});
  const std::vector<std::string> iges = test::ReadFileLines((work_ / "zahn.igs").string());
  ASSERT_GT(iges.size(), 10u);
  for (const std::string& line : iges) ASSERT_EQ(line.size(), 80u) << line;
  EXPECT_EQ(iges.front()[72], 'S');
  EXPECT_EQ(iges.back()[72], 'T');

  // Saved under a new name.
  Run(window.mi_FileSaveAs, {FileDialog("SaveDialog", work_ / "tag2.qrk")});
  EXPECT_TRUE(fs::exists(work_ / "tag2.qrk"));
  EXPECT_EQ(Session.CurrentFileName, "tag2");
  EXPECT_FALSE(Flags.DesignModified);
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung  -  tag2.qrk");

  // Another design, then the saved one again from the recent files.
  Run(window.mi_fileOpen, {FileDialog("OpenDialog", work_ / "welle_mit_spielen.qrk")});
  EXPECT_EQ(Session.CurrentFileName, "welle_mit_spielen");
  EXPECT_NE(Design.NormalModule, 1.25L);
  EXPECT_TRUE(window.mi_file2->isVisible());
  EXPECT_NE(window.mi_file2->text().toStdString().find("tag2.qrk"), std::string::npos);
  Run(window.mi_file2, {});
  EXPECT_EQ(Session.CurrentFileName, "tag2");
  EXPECT_DOUBLE_EQ(static_cast<double>(Design.NormalModule), 1.25);
  EXPECT_EQ(Design.ToothCount[1], 18);
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung  -  tag2.qrk");

  // An unchanged design closes without a question.
  Run(window.mi_fileexit, {});
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace qern
