// The main window Thh: creation in its fixed order (captions, drawing device, identity, settings,
// session, start-up routine, size, language, title), its menu commands and its destruction.
#include "design/qt/qernu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QScreen>

#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernfile.h"
#include "design/qernstart.h"
#include "design/qt/qerngeo.h"
#include "design/qt/recentmenu.h"
#include "design/vmenuglem.h"
#include "drawing/qt/confgravura.h"
#include "framework/configio.h"
#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/listout.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/helperrwindow.h"
#include "framework/qt/lconfig.h"
#include "framework/qt/showtextfile.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"
#include "platform/dialogservice.h"

namespace qern {

namespace {
QString Caption(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }

ScreenMetrics ScreenOf(QWidget* w) {
  ScreenMetrics m;
  QScreen* screen = w && w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    m.Width = screen->geometry().width();
    m.Height = screen->geometry().height();
    m.LogPixelsY = static_cast<int>(screen->logicalDotsPerInchY() + 0.5);
  }
  return m;
}
}  // namespace

Thh::Thh(bool installQtDialogs, QWidget* parent)
    : TFzorqgra(parent), installQtDialogs_(installQtDialogs) {
  setObjectName("hh");
  CreateMenus();
  FormCreate();
}

Thh::~Thh() {
  FormDestroy();
  ReleaseDrawDevice();
  if (installQtDialogs_) {
    SetDialogHostWindow(nullptr);
    SetDialogService(nullptr);
  }
}

void Thh::CreateMenus() {
  mi_file = menuBar()->addMenu(QString());
  auto fileItem = [this](const char* name, QKeySequence keys, auto handler) {
    QAction* a = mi_file->addAction(QString());
    a->setObjectName(name);
    a->setShortcut(keys);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  mi_fileOpen = fileItem("mi_fileOpen", QKeySequence(Qt::CTRL | Qt::Key_O), [this] { mi_fileOpenClick(); });
  mi_FileSave = fileItem("mi_FileSave", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { mi_FileSaveClick(); });
  mi_FileSaveAs = fileItem("mi_FileSaveAs", QKeySequence(), [this] { mi_FileSaveAsClick(); });
  N4 = mi_file->addSeparator();
  mi_fileConfig = fileItem("mi_fileConfig", QKeySequence(), [this] { mi_fileConfigClick(); });
  N3 = mi_file->addSeparator();
  QAction** recent[] = {&mi_file1, &mi_file2, &mi_file3, &mi_file4};
  for (int k = 1; k <= 4; ++k) {
    const std::string name = "mi_file" + std::to_string(k);
    *recent[k - 1] = fileItem(name.c_str(), QKeySequence(Qt::SHIFT | (Qt::Key_F1 + k - 1)),
                              [this, k] { mi_fileRecentClick(k); });
  }
  N13 = mi_file->addSeparator();
  mi_fileexit = mi_file->addAction(QString());
  mi_fileexit->setObjectName("mi_fileexit");
  connect(mi_fileexit, &QAction::triggered, this, [this] { mi_fileexitClick(); });

  mi_edit = menuBar()->addMenu(QString());
  mi_editabmessungen = mi_edit->addAction(QString());
  mi_editabmessungen->setObjectName("mi_editabmessungen");
  connect(mi_editabmessungen, &QAction::triggered, this, [this] { mi_editabmessungenClick(); });

  mi_view = menuBar()->addMenu(QString());
  mi_viewausdruck = mi_view->addAction(QString());
  mi_viewausdruck->setObjectName("mi_viewausdruck");
  connect(mi_viewausdruck, &QAction::triggered, this, [this] { mi_viewausdruckClick(); });
  mi_viewErrorMessages = mi_view->addAction(QString());
  mi_viewErrorMessages->setObjectName("mi_viewErrorMessages");
  mi_viewErrorMessages->setEnabled(false);
  connect(mi_viewErrorMessages, &QAction::triggered, this, [this] { mi_viewErrorMessagesClick(); });
}

void Thh::FormCreate() {
  if (installQtDialogs_) {
    InstallQtDialogs(this);
    SetDialogHostWindow(this);
    InstallHelpViewer();
    InstallErrorHelpWindow();
    InstallQtListingHooks();
    InstallGravuraWindow();
  }
  ApplyMenuCaptions();
  // Drawing device, identity, configuration and session file.
  PrepareStart(ScreenOf(this));
  InitRecentFileItems(mi_file, mi_fileexit);
  // The start-up routine; a run that the command line ends stops here, before any showing.
  startExit_ = ProgramStart();
  if (startExit_) return;
  Flags.AbortFlag = false;
  SetupMainWindow(this);
  // The background colour is the drawing's; the menu keeps the desktop's readable colours.
  QPalette menuColours = QApplication::palette(menuBar());
  for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::Button,
                                   QPalette::ButtonText, QPalette::Base, QPalette::Text})
    menuColours.setColor(role, menuColours.color(role));  // set explicitly, so not inherited
  menuBar()->setPalette(menuColours);
  menuBar()->setAutoFillBackground(true);
  if (Settings.LanguageNumber > 0)
    SetLanguage(Settings.LanguageNumber);
  else
    ApplyMenuCaptions();
  mi_viewErrorMessages->setEnabled(Errors.ErrorCount > 0);
  UpdateMainCaption();
}

void Thh::FormDestroy() { WriteSessionFile(); }

void Thh::UpdateMainCaption() {
  std::string title;
  UpdateApplicationTitle(title);
  setWindowTitle(QString::fromStdString(title));
  RefreshRecentFileItems(mi_file);
}

void Thh::ApplyMenuCaptions() {
  mi_file->setTitle(Caption(MenuCaptions.File));
  mi_fileOpen->setText(Caption(MenuCaptions.FileOpen));
  mi_FileSave->setText(Caption(MenuCaptions.FileSave));
  mi_FileSaveAs->setText(Caption(MenuCaptions.FileSaveAs));
  mi_fileConfig->setText(Caption(MenuCaptions.Settings));
  mi_fileexit->setText(Caption(MenuCaptions.Exit));
  mi_edit->setTitle(Caption(MenuCaptions.Edit));
  mi_editabmessungen->setText(Caption(MenuCaptions.Dimensions));
  mi_view->setTitle(Caption(MenuCaptions.View));
  mi_viewausdruck->setText(Caption(MenuCaptions.Printout));
  mi_viewErrorMessages->setText(
      Caption(MenuCaptions.ErrorMessages + " (" + IntStr(Errors.ErrorCount) + ")"));
}

void Thh::SetLanguage(int n) {
  Settings.LanguageNumber = n;
  SetMenuLanguage(n);
  SetMenuWords(n);
  ApplyMenuCaptions();
  UpdateMainCaption();
}

void Thh::RefreshAfterCalculation() {
  mi_viewErrorMessages->setText(
      Caption(MenuCaptions.ErrorMessages + " (" + IntStr(Errors.ErrorCount) + ")"));
  mi_viewErrorMessages->setEnabled(Errors.ErrorCount > 0);
  // ---- the default drawing: wired when the drawing entry is in the tree ----------------------
  DrawingArea()->update();
}

void Thh::mi_editabmessungenClick() {
  Flags.AbortFlag = false;
  if (!EditDimensions(this) || Flags.AbortFlag) return;
  Flags.DesignModified = true;
  CalculateSerration();
  RefreshAfterCalculation();
  Flags.DesignModified = true;
}

void Thh::mi_viewausdruckClick() {
  Flags.AbortFlag = false;
  ListResults(0);
}

void Thh::mi_viewErrorMessagesClick() {
  Flags.AbortFlag = false;
  ViewErrorMessages();
}

void Thh::mi_fileexitClick() { close(); }

void Thh::mi_fileOpenClick() {
  if (FileOpenCommand()) RefreshAfterCalculation();
  UpdateMainCaption();
}

void Thh::mi_FileSaveClick() {
  FileSaveCommand();
  UpdateMainCaption();
}

void Thh::mi_FileSaveAsClick() {
  FileSaveAsCommand();
  UpdateMainCaption();
}

void Thh::mi_fileRecentClick(int k) {
  if (OpenRecentFile(k)) RefreshAfterCalculation();
  UpdateMainCaption();
}

void Thh::mi_fileConfigClick() {
  Flags.AbortFlag = false;
  ShowConfiguration(this);
  const int c = Settings.BackgroundColor;  // $00BBGGRR
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  setPalette(pal);
  DrawingArea()->update();
}

bool Thh::FormCloseQuery() {
  Flags.AbortFlag = false;
  SaveChangesQuery();
  if (Flags.AbortFlag) return false;
  return DeleteTempFilesOnExit();
}

void Thh::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

}  // namespace qern
