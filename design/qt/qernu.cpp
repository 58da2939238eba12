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

#include "design/aendvar.h"
#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernfile.h"
#include "design/qernole.h"
#include "design/qernstart.h"
#include "design/qt/qerngeo.h"
#include "design/qt/recentmenu.h"
#include "design/qt/sysinfwindow.h"
#include "design/vmenuglem.h"
#include "drawing/aend1.h"
#include "drawing/qernzeich.h"
#include "drawing/qt/confgravura.h"
#include "drawing/qt/laend1.h"
#include "drawing/qt/laend2.h"
#include "drawing/zorqcad.h"
#include "framework/configio.h"
#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/listout.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/helperrwindow.h"
#include "framework/qt/lconfig.h"
#include "framework/qt/printcon.h"
#include "framework/qt/qttranslation.h"
#include "framework/qt/showtextfile.h"
#include "framework/qt/whbildwindow.h"
#include "framework/utilstr.h"
#include "framework/whbild.h"
#include "framework/zorqdraw.h"
#include "platform/dialogservice.h"
#include "platform/qt/qtdesktop.h"
#include "tablengine/qt/dbfview.h"

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
  auto item = [this](QMenu* menu, const char* name, auto handler) {
    QAction* a = menu->addAction(QString());
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  mi_file = menuBar()->addMenu(QString());
  auto fileItem = [this, &item](const char* name, QKeySequence keys, auto handler) {
    QAction* a = item(mi_file, name, handler);
    a->setShortcut(keys);
    return a;
  };
  mi_fileOpen = fileItem("mi_fileOpen", QKeySequence(Qt::CTRL | Qt::Key_O), [this] { mi_fileOpenClick(); });
  mi_FileSave = fileItem("mi_FileSave", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { mi_FileSaveClick(); });
  mi_FileSaveAs = fileItem("mi_FileSaveAs", QKeySequence(), [this] { mi_FileSaveAsClick(); });
  mi_file->addSeparator();
  mi_fileprint = fileItem("mi_fileprint", QKeySequence(Qt::CTRL | Qt::Key_P), [this] { mi_fileprintClick(); });
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

  mi_doc = menuBar()->addMenu(QString());
  mi_docdrawinginfo = item(mi_doc, "mi_docdrawinginfo", [this] { mi_docdrawinginfoClick(); });
  mi_doc->addSeparator();
  mi_docuShowChanges1 = item(mi_doc, "mi_docuShowChanges1", [this] { ChangeLogClick(4); });
  mi_docuPrintChanges = item(mi_doc, "mi_docuPrintChanges", [this] { ChangeLogClick(5); });
  mi_docuNewChange = item(mi_doc, "mi_docuNewChange", [this] { ChangeLogClick(1); });
  mi_docuModifyChanges = item(mi_doc, "mi_docuModifyChanges", [this] { ChangeLogClick(2); });
  mi_docudeleteChange = item(mi_doc, "mi_docudeleteChange", [this] { ChangeLogClick(3); });

  // The OLE menu keeps its own captions in every language.
  mi_ole = menuBar()->addMenu("&OLE");
  mi_OleStartExcel = item(mi_ole, "mi_OleStartExcel", [this] { mi_OleStartExcelClick(); });
  mi_OleStartExcel->setText("Start Excel");
  mi_OleExportExcel = item(mi_ole, "mi_OleExportExcel", [this] { mi_OleExportExcelClick(); });
  mi_OleExportExcel->setText("Export QERN -> Excel");
  mi_OleExportExcel->setEnabled(false);
  mi_ole->addSeparator();
  mi_OlePrintoutExcel = item(mi_ole, "mi_OlePrintoutExcel", [this] { mi_OlePrintoutExcelClick(); });
  mi_OlePrintoutExcel->setText("Printout -> Excel");

  mi_help = menuBar()->addMenu(QString());
  mi_HelpHilfebild = item(mi_help, "mi_HelpHilfebild", [this] { mi_HelpHilfebildClick(); });
  mi_helphistory = item(mi_help, "mi_helphistory", [] { OpenInfoPage(); });
  mi_helpwww = item(mi_help, "mi_helpwww", [] { OpenHomePage(); });
  mi_helpemail = item(mi_help, "mi_helpemail", [] { MailToMaker(); });
  mi_helpSysInfo = item(mi_help, "mi_helpSysInfo", [this] { mi_helpSysInfoClick(); });
  mi_HelpAbout = item(mi_help, "mi_HelpAbout", [this] { mi_HelpAboutClick(); });
}

void Thh::FormCreate() {
  if (installQtDialogs_) {
    InstallQtDialogs(this);
    SetDialogHostWindow(this);
    InstallHelpViewer();
    InstallErrorHelpWindow();
    InstallQtListingHooks();
    InstallGravuraWindow();
    InstallChangeLogWindows();
    InstallQtDesktop();
    InstallTableViewWindow();
    InstallHelpPictureWindow();
  }
  // The geometry window's calculate button draws the default drawing behind the dialog.
  SetGeometryDrawingHandler([] {
    Flags.AbortFlag = false;
    ShowDefaultDrawing();
  });
  ApplyMenuCaptions();
  // Drawing device, identity, configuration and session file.
  PrepareStart(ScreenOf(this));
  InitRecentFileItems(mi_file, mi_fileexit);
  LoadQtTranslations(Settings.LanguageNumber);
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
  // The default drawing of the start calculation.
  RefreshAfterCalculation();
  mi_viewErrorMessages->setEnabled(Errors.ErrorCount > 0);
  UpdateMainCaption();
}

void Thh::FormDestroy() {
  // The screen drawings' temporary block files go with the window that showed them.
  CadDeleteTempBlockFiles();
  WriteSessionFile();
}

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
  mi_fileprint->setText(Caption(MenuCaptions.Print));
  mi_edit->setTitle(Caption(MenuCaptions.Edit));
  mi_editabmessungen->setText(Caption(MenuCaptions.Dimensions));
  mi_view->setTitle(Caption(MenuCaptions.View));
  mi_viewausdruck->setText(Caption(MenuCaptions.Printout));
  mi_viewErrorMessages->setText(
      Caption(MenuCaptions.ErrorMessages + " (" + IntStr(Errors.ErrorCount) + ")"));
  mi_doc->setTitle(Caption(MenuCaptions.Document));
  mi_docdrawinginfo->setText(Caption(MenuCaptions.DrawingData));
  mi_docuShowChanges1->setText(Caption(MenuCaptions.ChangeInfo));
  mi_docuPrintChanges->setText(Caption(MenuCaptions.ChangePrintout));
  mi_docuNewChange->setText(Caption(MenuCaptions.ChangeNew));
  mi_docuModifyChanges->setText(Caption(MenuCaptions.ChangeEditLast));
  mi_docudeleteChange->setText(Caption(MenuCaptions.ChangeDeleteLast));
  mi_help->setTitle(Caption(MenuCaptions.Help));
  mi_HelpHilfebild->setText(Caption(MenuCaptions.HelpPicture));
  mi_helphistory->setText(Caption(Ident.ProductName + " Info (www)"));
  mi_helpwww->setText(Caption("&ZORQUAN Homepage"));
  mi_helpemail->setText(Caption("&E-Mail an ZORQUAN"));
  mi_helpSysInfo->setText(Caption("System Info"));
  mi_HelpAbout->setText(Caption(Ident.ProductName));
}

void Thh::SetLanguage(int n) {
  Settings.LanguageNumber = n;
  SetMenuLanguage(n);
  SetMenuWords(n);
  LoadQtTranslations(n);
  ApplyMenuCaptions();
  UpdateMainCaption();
}

void Thh::RefreshAfterCalculation() {
  mi_viewErrorMessages->setText(
      Caption(MenuCaptions.ErrorMessages + " (" + IntStr(Errors.ErrorCount) + ")"));
  mi_viewErrorMessages->setEnabled(Errors.ErrorCount > 0);
  Flags.AbortFlag = false;
  ShowDefaultDrawing();
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

void Thh::mi_fileprintClick() {
  Flags.AbortFlag = false;
  ShowPrintWindow();
}

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

bool Thh::DeleteTempFilesOnExit() {
  Flags.AbortFlag = false;
  ShowWorkingMessage("Lösche temporäre Dateien ...");
  // Screen drawings keep their block files in a folder of their own below the folder for
  // temporary files; "$*.dx$" files directly in it are the user's logo, head and insert blocks.
  CadDeleteTempBlockFiles();
  return true;
}

void Thh::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// Title-block texts and change entries are saved with the design: a change marks it modified, so
// that closing asks before it is lost.
void Thh::mi_docdrawinginfoClick() {
  Flags.AbortFlag = false;
  const DrawingInfoRecord before = DrawingInfo;
  ShowDrawingInfo();
  if (!(DrawingInfo == before)) Flags.DesignModified = true;
}

void Thh::ChangeLogClick(int choice) {
  Flags.AbortFlag = false;
  const DrawingInfoRecord before = DrawingInfo;
  ChangeLogMenu(choice);
  if (!(DrawingInfo == before)) Flags.DesignModified = true;
}

void Thh::mi_OleStartExcelClick() {
  Flags.AbortFlag = false;
  StartExcel();
  if (!Flags.AbortFlag) mi_OleExportExcel->setEnabled(true);
}

void Thh::mi_OleExportExcelClick() {
  Flags.AbortFlag = false;
  ExportDesignToExcel();
}

void Thh::mi_OlePrintoutExcelClick() { PrintoutToExcel(); }

void Thh::mi_helpSysInfoClick() { ShowSystemInfo(); }

void Thh::mi_HelpAboutClick() { ShowAboutBox(); }

// Opens a window of its own: the abort flag is left as it is.
void Thh::mi_HelpHilfebildClick() { HelpPictureMenu(); }

}  // namespace qern
