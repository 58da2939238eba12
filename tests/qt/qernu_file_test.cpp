// The main window's File menu: open and save through the menu, the recent-file items, the close
// question with the clean-up of temporary block files, the configuration command and the menu
// words of the language switch.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "app/qernstart.h"
#include "app/qt/qernu.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "design/vmenuglem.h"
#include "drawing/cadscreen.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/lconfig.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/scripteddialogs.h"
#include "tests/qt/mainwindowenv.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class MainWindowFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    SetMenuLanguage(1);
    MenuWords = MenuWordSet{};
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  test::MainWindowEnvironment env_;
  fs::path dir_ = env_.Dir();
  ScopedScriptedDialogs dialogs_;
};

TEST_F(MainWindowFiles, OpenSaveAndTheRecentFileItems) {
  Thh window(false);
  ASSERT_FALSE(window.StartExitStatus().has_value());
  EXPECT_EQ(window.mi_fileOpen->text().toStdString(), "Ö&ffnen...");
  EXPECT_EQ(window.mi_FileSave->text().toStdString(), "&Speichern...");
  EXPECT_EQ(window.mi_FileSaveAs->text().toStdString(), "Speichern &Unter...");
  EXPECT_EQ(window.mi_fileConfig->text().toStdString(), "E&instellungen");
  EXPECT_EQ(window.mi_file1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F1));
  QAction* recent[] = {window.mi_file1, window.mi_file2, window.mi_file3, window.mi_file4};
  for (QAction* a : recent) EXPECT_FALSE(a->isVisible());
  EXPECT_FALSE(window.N13->isVisible());

  // Save As writes the design under a new name; Open reads another one.
  Design.NormalModule = 2.5L;
  dialogs_->QueueText(File("welle.qrk"));
  window.mi_FileSaveAs->trigger();
  ASSERT_TRUE(fs::exists(File("welle.qrk")));
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung  -  welle.qrk");
  EXPECT_TRUE(window.mi_file1->isVisible());
  EXPECT_EQ(window.mi_file1->text().toStdString(), "&1 " + File("welle.qrk"));
  EXPECT_TRUE(window.N13->isVisible());

  Design.NormalModule = 3.0L;
  window.mi_FileSave->trigger();
  Design.NormalModule = 1.0L;
  dialogs_->QueueText(File("welle.qrk"));
  window.mi_fileOpen->trigger();
  EXPECT_EQ(Design.NormalModule, 3.0L);
  EXPECT_FALSE(window.mi_file2->isVisible()) << "the same file once";

  // Five files: four items, newest first.
  for (const char* n : {"a", "b", "c", "d"}) {
    dialogs_->QueueText(File(std::string(n) + ".qrk"));
    window.mi_FileSaveAs->trigger();
  }
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(recent[k]->isVisible());
  EXPECT_EQ(window.mi_file1->text().toStdString(), "&1 " + File("d.qrk"));
  EXPECT_EQ(window.mi_file4->text().toStdString(), "&4 " + File("a.qrk"));
  // A recent file through its item.
  Design.NormalModule = 9;
  window.mi_file3->trigger();
  EXPECT_EQ(Session.CurrentFileName, "b");
  EXPECT_EQ(window.mi_file1->text().toStdString(), "&1 " + File("b.qrk"));
}

// Memory that runs out in a command, or any other exception, ends the command, not the program:
// opening a design whose part name is 60 MB long in a process with little room says so, keeps
// the design and its name, and the window goes on with its next command.
TEST_F(MainWindowFiles, AnExceptionEndsTheCommandNotTheProgram) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer's allocator ends the program where memory runs out";
#endif
  Thh window(false);
  ASSERT_FALSE(window.StartExitStatus().has_value());
  std::vector<std::string> lines = test::ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  ASSERT_EQ(lines[14], "External spline");
  lines[14] = std::string(size_t{60} << 20, 'W');
  test::WriteFileLines(File("gross.qrk"), lines);
  lines.clear();
  lines.shrink_to_fit();
  Design.NormalModule = 2.5L;
  EXPECT_TRUE(test::RunWithinMemory(size_t{40} << 20, [&] {
    dialogs_->QueueText(File("gross.qrk"));
    window.mi_fileOpen->trigger();
    const std::vector<std::string> said = dialogs_->Messages();
    bool ok = !said.empty() && said.back() == "Nicht genügend Speicher bei \"Öffnen...\" !";
    ok = ok && Design.NormalModule == 2.5L && Session.CurrentFileName != "gross";
    // The next command works.
    dialogs_->QueueText(File("klein.qrk"));
    window.mi_FileSaveAs->trigger();
    return ok && fs::exists(File("klein.qrk"));
  }));

  // Any other exception out of a command is said as well, and the window goes on.
  const std::string caption = "\"" + window.mi_viewzahn1->text().remove('&').toStdString() + "\"";
  window.DrawEntry = [](int, int) { throw std::runtime_error("kaputt"); };
  window.mi_viewzahn1->trigger();
  window.DrawEntry = [](int, int) { throw std::length_error("basic_string::_M_create"); };
  window.mi_viewzahn1->trigger();
  EXPECT_EQ(dialogs_->Messages(), (std::vector<std::string>{"Fehler bei " + caption + ": kaputt !",
                                                            "Nicht genügend Speicher bei " + caption + " !"}));
  window.DrawEntry = nullptr;
  EXPECT_TRUE(window.isEnabled());
}

TEST_F(MainWindowFiles, CloseAsksAndKeepsTheUsersBlockFiles) {
  Thh window(false);
  window.show();
  Settings.TempFolder = dir_.string();
  test::WriteWholeFile(File("$logo_1.dx$"), "0\nEOF\n");
  test::WriteWholeFile(File("$head_0.dx$"), "0\nEOF\n");
  Flags.DesignModified = true;
  dialogs_->QueueNo();
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(dialogs_->Last().Text, "Bisherige Eingaben verwerfen ?");
  dialogs_->QueueYes();
  EXPECT_TRUE(window.close());
  EXPECT_TRUE(fs::exists(File("$logo_1.dx$")));
  EXPECT_TRUE(fs::exists(File("$head_0.dx$")));
}

TEST_F(MainWindowFiles, ConfigurationCommandAndLanguage) {
  Thh window(false);
  QTimer::singleShot(0, [] {
    auto* config = qobject_cast<Tconfig*>(QApplication::activeModalWidget());
    ASSERT_NE(config, nullptr);
    config->Edit_cadfont->setText("ISO");
    config->Button_ok->click();
  });
  window.mi_fileConfig->trigger();
  EXPECT_EQ(Settings.CadTextStyle, "ISO");

  window.SetLanguage(2);
  EXPECT_EQ(MenuWords.Welle, "Sh&aft");
  EXPECT_EQ(window.mi_fileOpen->text().toStdString(), "&Open...");
  window.SetLanguage(1);
  EXPECT_EQ(MenuWords.Zahn, "Zahn");
}

}  // namespace
}  // namespace qern
