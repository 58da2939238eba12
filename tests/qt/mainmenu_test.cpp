// The main window's menu on the offscreen platform: every item triggered with what it called and
// the state after it, captions in every language, shortcuts, the Error Messages item after a
// calculation, and the file overview table opened from the File menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QHeaderView>
#include <QTableView>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <utility>
#include <vector>

#include "app/qernstart.h"
#include "app/qt/qernu.h"
#include "design/aendvar.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "design/qt/previewwindow.h"
#include "design/vmenuglem.h"
#include "framework/dokuconf.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "tests/qt/mainwindowenv.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;

class MainMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMenuLanguage(1);
    SetMenuWords(1);
    // Every modal window is noted by its class and handed to onModal_, else closed (a cancel).
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      // A window met before carries a mark (a new one may reuse an old one's address).
      if (!modal || modal->property("qernSeen").toBool()) return;
      modal->setProperty("qernSeen", true);
      modals_.push_back(modal->metaObject()->className());
      if (onModal_ && onModal_(modal)) return;
      modal->close();
    });
    watchdog_.start(10);
  }
  void TearDown() override { SetDesktopHooks({}); }
  // A design with z teeth in the test folder.
  void WriteDesign(const std::string& name, int z) {
    DesignFileContent content = CurrentDesignContent();
    SetDefaultDesign(content.Record);
    content.Record.ToothCount[1] = z;
    content.Record.ToothCount[2] = -z;
    ASSERT_TRUE(WriteDesignFile((dir_ / name).string(), content));
  }
  std::vector<std::string> TakeModals() {
    return std::exchange(modals_, {});
  }

  test::MainWindowEnvironment env_;
  fs::path dir_ = env_.Dir();
  QTimer watchdog_;
  std::vector<std::string> modals_;
  std::function<bool(QWidget*)> onModal_;  // true: the handler deals with the window
};

// Every action of the menu bar, submenus included, with its menu path.
void CollectActions(QMenu* menu, std::vector<QAction*>& out) {
  for (QAction* a : menu->actions()) {
    out.push_back(a);
    if (a->menu()) CollectActions(a->menu(), out);
  }
}
std::vector<QAction*> AllActions(Thh& window) {
  std::vector<QAction*> out;
  for (QAction* a : window.menuBar()->actions()) {
    out.push_back(a);
    if (a->menu()) CollectActions(a->menu(), out);
  }
  return out;
}

// Presses the window's OK button ("Button_ok"); false when it has none.
bool PressOk(QWidget* w) {
  auto* ok = w->findChild<QPushButton*>("Button_ok");
  if (!ok) return false;
  QTimer::singleShot(0, ok, [ok] { ok->click(); });
  return true;
}

TEST_F(MainMenu, DrawingItemsCallTheDrawingEntryWithTheirDeviceAndKind) {
  Thh window;
  std::vector<std::pair<int, int>> calls;
  window.DrawEntry = [&](int device, int kind) { calls.emplace_back(device, kind); };
  const std::vector<std::pair<QAction*, std::pair<int, int>>> expected = {
      {window.mi_viewQuick3, {3, 14}},
      {window.mi_ViewQuick, {3, 7}},
      {window.mi_viewfertigungszeichnungwellenabe, {3, 8}},
      {window.mi_viewfertigungszeichnungwelle, {3, 5}},
      {window.mi_viewfertigungszeichnungnabe, {3, 6}},
      {window.mi_viewzahnprofilwellenabe, {3, 18}},
      {window.mi_viewzahnprofilwelle, {3, 16}},
      {window.mi_viewzahnprofilnabe, {3, 17}},
      {window.mi_viewzahn12, {3, 21}},
      {window.mi_viewzahn1, {3, 19}},
      {window.mi_viewzahn2, {3, 20}},
      {window.mi_cadquick3, {0, 14}},
      {window.mi_cadquick, {0, 7}},
      {window.mi_cadfertigungszeichnung1, {0, 5}},
      {window.mi_cadfertigungszeichnung2, {0, 6}},
      {window.mi_cadzahn12, {0, 21}},
      {window.mi_cadzahn1, {0, 19}},
      {window.mi_cadzahn2, {0, 20}},
      {window.mi_cadzahnprofil12, {0, 18}},
      {window.mi_cadZahnprofilWelle, {0, 16}},
      {window.mi_cadZahnprofilNabe, {0, 17}},
  };
  for (const auto& [action, call] : expected) {
    calls.clear();
    Flags.AbortFlag = true;
    action->trigger();
    ASSERT_EQ(calls.size(), 1u) << action->objectName().toStdString();
    EXPECT_EQ(calls[0], call) << action->objectName().toStdString();
    EXPECT_FALSE(Flags.AbortFlag) << "the prologue clears the flag";
  }
  EXPECT_TRUE(TakeModals().empty());
  EXPECT_FALSE(Flags.DesignModified) << "drawing changes nothing";

  // The real entry: a screen drawing ends in the display list.
  window.DrawEntry = nullptr;
  DisplayList.clear();
  window.mi_viewzahn1->trigger();
  EXPECT_FALSE(DisplayList.empty());
}

TEST_F(MainMenu, WindowItemsOpenTheirWindowsAndCancelChangesNothing) {
  Thh window;
  std::vector<std::string> urls, files;
  SetDesktopHooks({[&](const std::string& f) { files.push_back(f); return true; },
                   [&](const std::string& u) { urls.push_back(u); return true; }});
  const std::vector<std::pair<QAction*, const char*>> expected = {
      {window.mi_EditText, "qern::TForm_kvneingabetext"},
      {window.mi_editabmessungen, "qern::TForm_qerngeo"},
      {window.mi_docdrawinginfo, "qern::TForm_zeichInfo"},
      {window.mi_DocumentSetup, "qern::TForm_confDoku"},
      {window.mi_helpSysInfo, "qern::TSysinfo"},
      {window.mi_HelpAbout, "qern::TAboutBox"},
      {window.mi_fileOpenTable, "qern::TForm_preview"},
      {window.mi_HelpHilfebild, "qern::TForm_hilfebild"},
      {window.mi_fileprint, "qern::TForm_printconf"},
      {window.mi_fileConfig, "qern::Tconfig"},
  };
  for (const auto& [action, windowClass] : expected) {
    TakeModals();
    action->trigger();
    QApplication::processEvents();
    EXPECT_EQ(TakeModals(), std::vector<std::string>{windowClass})
        << action->objectName().toStdString();
    EXPECT_FALSE(Flags.DesignModified) << action->objectName().toStdString();
  }

  // The listing goes to the listing window; the messages of the Help menu to their box.
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = 1;
  window.mi_viewausdruck->trigger();
  EXPECT_EQ(TakeModals().size(), 1u);
  window.mi_helpErrorMessages->trigger();
  EXPECT_EQ(TakeModals().size(), 1u) << "the calculation's messages (none)";

  // Web and mail items go to the desktop.
  window.mi_helphistory->trigger();
  window.mi_helpwww->trigger();
  window.mi_helpemail->trigger();
  ASSERT_EQ(urls.size(), 3u);
  EXPECT_EQ(urls[2].rfind("mailto:", 0), 0u) << urls[2];

  // The manual: missing, a message; present, opened with the desktop's program.
  Settings.ManualFolder = dir_.string();
  window.mi_helphandbuch->trigger();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(TakeModals().size(), 1u);
  test::WriteWholeFile((dir_ / "qern.pdf").string(), "%PDF-1.4\n");
  window.mi_helphandbuch->trigger();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(files, std::vector<std::string>{(dir_ / "qern.pdf").string()});

  // OLE: Start Excel enables export and import.
  EXPECT_FALSE(window.mi_OleImportExcel->isEnabled());
  Session.CurrentFileName = "welle";
  setenv("QERN_SPREADSHEET", "/bin/true", 1);
  window.mi_OleStartExcel->trigger();
  unsetenv("QERN_SPREADSHEET");
  EXPECT_TRUE(window.mi_OleExportExcel->isEnabled());
  EXPECT_TRUE(window.mi_OleImportExcel->isEnabled());
  TakeModals();
  window.mi_OleImportExcel->trigger();
  EXPECT_EQ(TakeModals().size(), 1u) << "import says where designs come from";
}

TEST_F(MainMenu, ItemsThatChangeTheDesignMarkItModified) {
  Thh window;
  // Part texts and document links answered with OK.
  onModal_ = PressOk;
  window.mi_EditText->trigger();
  EXPECT_TRUE(Flags.DesignModified);
  Flags.DesignModified = false;
  window.mi_DocumentSetup->trigger();
  EXPECT_TRUE(Flags.DesignModified);
}

TEST_F(MainMenu, NewStartsFromTheDefaultDesignAndStopsWhenThePartTextsAreCancelled) {
  Thh window;
  Session.CurrentFileName = "old";
  Design.ToothCount[1] = 44;
  DrawingInfo.ChangeCount = 2;
  DocumentLinkCount = 5;
  window.mi_fileNew->trigger();
  EXPECT_EQ(TakeModals(), std::vector<std::string>{"qern::TForm_kvneingabetext"});
  EXPECT_EQ(Session.CurrentFileName, "");
  EXPECT_EQ(Design.ToothCount[1], 31) << "null.qrk read again";
  EXPECT_EQ(DrawingInfo.ChangeCount, 0);
  EXPECT_EQ(DocumentLinkCount, 0);
  EXPECT_FALSE(Flags.DesignModified) << "cancelled before the geometry window";
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung");

  // Texts with OK, the geometry window with OK: calculated, drawn and modified.
  onModal_ = PressOk;
  window.mi_fileNew->trigger();
  EXPECT_EQ(TakeModals(),
            (std::vector<std::string>{"qern::TForm_kvneingabetext", "qern::TForm_qerngeo"}));
  EXPECT_TRUE(Flags.DesignModified);
}

TEST_F(MainMenu, ErrorMessagesItemShowsTheCountOfTheLastCalculation) {
  Thh window;
  ClearErrorList();
  window.RefreshAfterCalculation();
  EXPECT_EQ(window.mi_viewErrorMessages->text().toStdString(), "&Fehlermeldungen (0)");
  EXPECT_FALSE(window.mi_viewErrorMessages->isEnabled());
  AddError("Warnung: a");
  AddError("Warnung: b");
  AddError("Fehler : c");
  window.RefreshAfterCalculation();
  EXPECT_EQ(window.mi_viewErrorMessages->text().toStdString(), "&Fehlermeldungen (3)");
  EXPECT_TRUE(window.mi_viewErrorMessages->isEnabled());
  window.SetLanguage(2);
  EXPECT_EQ(window.mi_viewErrorMessages->text().toStdString(), "&Error messages (3)");
  TakeModals();
  window.mi_viewErrorMessages->trigger();
  EXPECT_EQ(TakeModals().size(), 1u) << "the message list";
}

TEST_F(MainMenu, LanguageSwitchChangesEveryCaption) {
  Thh window;
  // Captions that are the form's own stay in every language.
  const std::set<std::string> own = {"mi_ole", "mi_OleStartExcel", "mi_OleExportExcel",
                                     "mi_OleImportExcel", "mi_OlePrintoutExcel",
                                     "mi_helplanguageDeutsch", "mi_helplanguageEnglish",
                                     "mi_helplanguageRoman", "mi_helplanguageKorea",
                                     "mi_helplanguageChinese", "mi_helphistory", "mi_helpwww",
                                     "mi_helpemail", "mi_helpSysInfo", "mi_HelpAbout",
                                     "mi_DocumentSetup"};
  auto captions = [&] {
    std::map<std::string, std::string> m;
    for (QAction* a : AllActions(window)) {
      const QObject* named = a->menu() ? static_cast<QObject*>(a->menu()) : a;
      const std::string name = named->objectName().toStdString();
      // The recent-file items show file names.
      if (a->isSeparator() || (name.size() == 8 && name.rfind("mi_file", 0) == 0)) continue;
      m[name] = a->text().toStdString();
    }
    return m;
  };
  const auto german = captions();
  EXPECT_EQ(german.at("mi_fileOpenTable"), "Ö&ffnen... (&Tabelle)");
  EXPECT_EQ(german.at("mi_viewzahnprofil"), "&Verzahnung");
  EXPECT_EQ(german.at("mi_viewzahn"), "Zahn");
  EXPECT_EQ(german.at("mi_cadZahnprofilNabe"), "Zahn&form &Nabe - Internal Spline");
  EXPECT_EQ(german.at("mi_cadfertigungszeichnung1"), "&Fertigungszeichnung Welle");
  EXPECT_EQ(german.at("mi_viewQuick3"), "&Quick &3");
  for (const auto& [name, text] : german) EXPECT_FALSE(text.empty()) << name;

  // Chinese shares no caption with German.
  window.mi_helplanguageChinese->trigger();
  EXPECT_EQ(Settings.LanguageNumber, 12);
  const auto chinese = captions();
  ASSERT_EQ(chinese.size(), german.size());
  for (const auto& [name, text] : german) {
    if (own.count(name))
      EXPECT_EQ(chinese.at(name), text) << name;
    else
      EXPECT_NE(chinese.at(name), text) << name << " stays " << text;
  }
  window.mi_helplanguageEnglish->trigger();
  const auto english = captions();
  EXPECT_EQ(english.at("mi_file"), "&File");
  EXPECT_EQ(english.at("mi_fileprint"), "&Print...");
  EXPECT_EQ(english.at("mi_viewzahn1"), "Sh&aft");
  EXPECT_EQ(english.at("mi_viewzahnprofil"), "&Toothing");
  EXPECT_EQ(english.at("mi_cadZahnprofilNabe"), "&Tooth Profile &Hub - Internal Spline");

  window.mi_helplanguageDeutsch->trigger();
  EXPECT_EQ(captions(), german) << "German again restores every caption";
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung");
}

TEST_F(MainMenu, ShortcutsOfTheFileMenu) {
  Thh window;
  EXPECT_EQ(window.mi_fileNew->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
  EXPECT_EQ(window.mi_fileprint->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
  std::map<std::string, QKeySequence> keys;
  for (QAction* a : AllActions(window)) keys[a->objectName().toStdString()] = a->shortcut();
  EXPECT_EQ(keys["mi_fileOpen"], QKeySequence(Qt::CTRL | Qt::Key_O));
  EXPECT_EQ(keys["mi_FileSave"], QKeySequence(Qt::CTRL | Qt::Key_S));
  for (int k = 1; k <= 4; ++k)
    EXPECT_EQ(keys["mi_file" + std::to_string(k)], QKeySequence(Qt::SHIFT | (Qt::Key_F1 + k - 1)));
}

// The text of a grid cell (data rows from 1).
std::string table(TForm_preview* form, int row, int column) {
  return form->StringGrid1->model()->index(row - 1, column).data().toString().toStdString();
}

TEST_F(MainMenu, FileTableOpensARowAndLeavesOnlyByExit) {
  WriteDesign("a.qrk", 24);
  WriteDesign("b.qrk", 40);
  test::WriteWholeFile((dir_ / "c.qrk").string(), "broken\n");
  Thh window;
  ASSERT_EQ(Session.CurrentFileFolder, AddBackslash(dir_.string()));
  const int before = Design.ToothCount[1];
  const std::string titleBefore = window.windowTitle().toStdString();
  int shown = 0;
  onModal_ = [&](QWidget* w) {
    auto* form = qobject_cast<TForm_preview*>(w);
    if (!form) return false;
    ++shown;
    // The files were only scanned: the title still names the design that is open.
    EXPECT_EQ(window.windowTitle().toStdString(), titleBefore);
    QTimer::singleShot(0, form, [&, form] {
      EXPECT_EQ(Design.ToothCount[1], before) << "filling the table leaves the design alone";
      EXPECT_EQ(window.windowTitle().toStdString(), titleBefore);
      // Sorted by z: a (24), null (31), b (40), the broken file last.
      form->HeaderPressed(7);
      EXPECT_EQ(table(form, 3, 0), "b.qrk");
      EXPECT_EQ(table(form, 4, 0), "c.qrk");
      form->StringGrid1SelectCell(7, 3);
      EXPECT_EQ(Design.ToothCount[1], 40);
      EXPECT_EQ(Session.CurrentFileName, "b");
      EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung  -  b.qrk");
      form->close();  // the close box leaves the table like Exit
    });
    return true;
  };
  Flags.DesignModified = false;
  window.mi_fileOpenTable->trigger();
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(Design.ToothCount[1], 40);
  EXPECT_FALSE(Flags.DesignModified);
  EXPECT_EQ(window.windowTitle().toStdString(), "QERN   Kerbverzahnung  -  b.qrk");
  EXPECT_EQ(Session.RecentFiles[0], (dir_ / "b.qrk").string()) << "the opened file is a recent file";
}

}  // namespace
}  // namespace qern

namespace qern {
namespace {

TEST_F(MainMenu, OverviewWindowSearchesSortsByTheHeadAndLeavesByExit) {
  Thh window;  // the program's dialogs
  FileOverview table;
  table.Rows = {OverviewHeader(),
                {"x.qrk", "", "Nabe", "", "", "", "", "100", "", ""},
                {"y.qrk", "", "01", "Welle 2", "", "", "", " 31", "", ""},
                {"Welle.qrk", "", "", "", "", "", "", "  9", "", ""}};
  std::vector<int> opened;
  TForm_preview form(table, [&](int row) { opened.push_back(row); }, &window);
  form.show();
  EXPECT_EQ(form.mi_File->title().toStdString(), "&Datei");
  EXPECT_EQ(form.mi_fileExit->text().toStdString(), "&Beenden");
  EXPECT_EQ(form.windowTitle().toStdString(), Session.CurrentFileFolder + "  QERN");

  // A row opened, then the same row again: opened once.
  form.StringGrid1SelectCell(0, 1);
  form.StringGrid1SelectCell(2, 1);
  EXPECT_EQ(opened, std::vector<int>{1});
  // Sorting moves the open file's row; a press on the head of z sorts by value.
  form.HeaderPressed(7);
  EXPECT_EQ(table.Rows[1][0], "Welle.qrk");
  EXPECT_EQ(form.RememberedRow(), 3);

  // Search: the text typed into the search window; the next search continues below.
  onModal_ = [](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("Edit_search");
    if (!edit) return false;
    edit->setText("Welle");
    QTimer::singleShot(0, w, [w] { static_cast<QDialog*>(w)->accept(); });
    return true;
  };
  form.mi_editsearch->trigger();
  EXPECT_EQ(table.Selected, 1);
  EXPECT_EQ(form.StringGrid1->currentIndex().row(), 0);
  form.SearchNext1->trigger();
  EXPECT_EQ(table.Selected, 2);
  EXPECT_EQ(table.SelectedColumn, 3);
  onModal_ = nullptr;
  TakeModals();
  form.SearchNext1->trigger();
  EXPECT_EQ(TakeModals().size(), 1u) << "Welle not found.";
  EXPECT_EQ(opened, std::vector<int>{1}) << "a search only selects";

  form.mi_HelpHelp->trigger();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(TakeModals().size(), 1u) << "the help text";

  form.mi_fileExit->trigger();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(form.isVisible());
}

// Each column takes the width its texts need where the window has room for all; in a window too
// narrow for them the widest are cut to one width, and no column keeps room it does not need.
TEST_F(MainMenu, OverviewColumnsTakeTheWidthTheirTextsNeed) {
  Thh window;
  FileOverview table;
  table.Rows = {OverviewHeader(),
                {"profilverschiebung_und_flankenspiel.qrk", "2026/12/07", "01", "Welle 2",
                 "   25.000", " 1.250", " 30.00", " 18", "0.100", "-0.100"},
                {"a.qrk", "2026/12/06", "WN-0815/1", "", "  100.000", " 2.500", " 30.00", "  9",
                 "-0.250", "0.000"}};
  TForm_preview form(table, {}, &window);
  QFont font = form.StringGrid1->font();
  font.setPixelSize(12);  // the same room on every machine
  form.StringGrid1->setFont(font);
  form.StringGrid1->horizontalHeader()->setFont(font);
  form.FormCreate();
  form.show();
  const QFontMetrics metrics(font);
  std::vector<int> need(OverviewColumns, 0);
  for (int c = 0; c < OverviewColumns; ++c)
    for (const OverviewRow& row : table.Rows)
      need[c] = std::max(need[c], metrics.horizontalAdvance(QString::fromStdString(row[c])));
  auto widths = [&] {
    std::vector<int> w;
    for (int c = 0; c < OverviewColumns; ++c) w.push_back(form.StringGrid1->columnWidth(c));
    return w;
  };
  auto sum = [](const std::vector<int>& w) { return std::accumulate(w.begin(), w.end(), 0); };

  // A window of a 1024 x 768 screen: every text whole, no column with room to spare.
  form.resize(1000, 600);
  QApplication::processEvents();
  std::vector<int> w = widths();
  const int room = form.StringGrid1->viewport()->width();
  ASSERT_LE(sum(need) + 20 * OverviewColumns, room) << "the window holds every column";
  for (int c = 0; c < OverviewColumns; ++c) {
    EXPECT_GE(w[c], need[c]) << "column " << c << " cut";
    if (c < OverviewColumns - 1) {
      EXPECT_LE(w[c], need[c] + 24) << "column " << c << " too wide";
    }
  }
  EXPECT_LE(sum(w), room);

  // Narrower by the room to spare and half the file name: the file column is cut, the others
  // stay whole. Narrower still: the widest columns are cut to one width.
  const int spare = room - sum(w) + w[OverviewColumns - 1] - need[OverviewColumns - 1] - 24;
  for (int cut : {need[0] / 2, need[0] + 200}) {
    form.resize(1000 - spare - cut, 600);
    QApplication::processEvents();
    w = widths();
    const int narrow = form.StringGrid1->viewport()->width();
    EXPECT_LT(w[0], need[0]) << cut;
    const int widest = *std::max_element(w.begin(), w.end() - 1);
    EXPECT_EQ(w[0], widest) << cut;
    for (int c = 1; c < OverviewColumns - 1; ++c)
      EXPECT_TRUE(w[c] >= need[c] || w[c] == widest) << "column " << c << ": " << w[c];
    if (cut < need[0]) {
      for (int c = 1; c < OverviewColumns; ++c) EXPECT_GE(w[c], need[c]) << "column " << c;
    }
    EXPECT_LE(sum(w), narrow + 1);
    EXPECT_GE(sum(w), narrow - OverviewColumns) << "the room is used";
  }
}

}  // namespace
}  // namespace qern

namespace qern {
namespace {

// Saves a picture of the whole screen with the started main window, its default drawing and the
// View menu open, then the file table over it, when QERN_MAIN_SCREENSHOT names a file
// (scripts/screenshot-main.sh).
TEST_F(MainMenu, Screenshot) {
  const char* file = std::getenv("QERN_MAIN_SCREENSHOT");
  if (!file || !*file) GTEST_SKIP() << "QERN_MAIN_SCREENSHOT not set";
  watchdog_.stop();
  Thh window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::qWait(300);
  const QRect item = window.menuBar()->actionGeometry(window.mi_view->menuAction());
  window.mi_view->popup(window.menuBar()->mapToGlobal(item.bottomLeft()));
  window.mi_view->setActiveAction(window.mi_viewzahnprofil->menuAction());
  window.mi_viewzahnprofil->popup(window.mi_view->mapToGlobal(
      window.mi_view->actionGeometry(window.mi_viewzahnprofil->menuAction()).topRight()));
  QTest::qWait(500);
  EXPECT_FALSE(DisplayList.empty()) << "the default drawing";
  const QPixmap screen = window.screen()->grabWindow(0);
  EXPECT_TRUE(screen.save(file));
  window.mi_viewzahnprofil->hide();
  window.mi_view->hide();

  // The Korean and Chinese menus beside it (<name>-ko.png, <name>-zh.png): every character of
  // their captions drawn with a glyph of a font that has it, none as an empty box.
  for (const auto& [language, suffix] : {std::pair{8, "-ko.png"}, std::pair{12, "-zh.png"}}) {
    window.SetLanguage(language);
    window.mi_view->popup(window.menuBar()->mapToGlobal(item.bottomLeft()));
    QTest::qWait(500);
    QStringList captions{window.mi_view->title()};
    for (const QAction* a : window.mi_view->actions()) captions << a->text();
    for (QString text : captions) {
      text.remove('&');
      QTextLayout layout(text, window.mi_view->font());
      layout.beginLayout();
      layout.createLine();
      layout.endLayout();
      for (const QGlyphRun& run : layout.glyphRuns())
        EXPECT_FALSE(run.glyphIndexes().contains(0))
            << "no glyph in " << run.rawFont().familyName().toStdString() << " for "
            << text.toStdString();
    }
    QString languageFile = QString::fromUtf8(file);
    languageFile.replace(QRegularExpression("\\.png$"), suffix);
    EXPECT_TRUE(window.screen()->grabWindow(0).save(languageFile));
    window.mi_view->hide();
  }
  window.SetLanguage(1);

  // The file table over three designs, sorted by z, beside it: <name>-table.png.
  WriteDesign("welle_a.qrk", 24);
  WriteDesign("welle_b.qrk", 40);
  QString tableFile = QString::fromUtf8(file);
  tableFile.replace(QRegularExpression("\\.png$"), "-table.png");
  onModal_ = [&](QWidget* w) {
    auto* form = qobject_cast<TForm_preview*>(w);
    if (!form) return false;
    QTimer::singleShot(300, form, [&, form] {
      form->HeaderPressed(7);
      form->StringGrid1SelectCell(7, 2);
      QTest::qWait(300);
      EXPECT_TRUE(window.screen()->grabWindow(0).save(tableFile));
      form->mi_fileExit->trigger();
    });
    return true;
  };
  watchdog_.start(10);
  window.mi_fileOpenTable->trigger();
}

}  // namespace
}  // namespace qern
