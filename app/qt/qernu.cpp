// The main window Thh: creation in its fixed order (captions, drawing device, identity, settings,
// session, start-up routine, size, language, title), its menu commands and its destruction.
#include "app/qt/qernu.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <QtMath>
#include <chrono>
#include <functional>

#include "app/qernstart.h"
#include "app/qt/printcon.h"
#include "design/aendvar.h"
#include "design/preview.h"
#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernfile.h"
#include "design/qernio.h"
#include "design/qernole.h"
#include "design/qt/kvnuni2.h"
#include "design/qt/previewwindow.h"
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
#include "framework/dokuconf.h"
#include "framework/help.h"
#include "framework/listout.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/dokuconfwindow.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/helperrwindow.h"
#include "framework/qt/lconfig.h"
#include "framework/qt/paintercanvas.h"
#include "framework/qt/qttranslation.h"
#include "framework/qt/showtextfile.h"
#include "framework/qt/whbildwindow.h"
#include "framework/uhelperr.h"
#include "framework/utilstr.h"
#include "framework/whbild.h"
#include "framework/zorqdraw.h"
#include "platform/desktop.h"
#include "platform/dialogservice.h"
#include "platform/qt/qtdesktop.h"
#include "tablengine/qt/dbfview.h"

namespace qern {

namespace {
QString Caption(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }

// Room for each menu item's whole text. The menu gives an item the width of its text without the
// mnemonic marks, and the style shortens the text in its middle when it measures it wider. In some
// scripts the style counts the marks too (Hangul: "이형상(&T) 허브(&H) - Internal Spline" is measured
// with both "&"), so the widest such item of a menu lost its middle. Such an item is given the
// width the style measures.
class MenuTextRoomStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize room = QProxyStyle::sizeFromContents(type, option, size, widget);
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || !item || item->text.isEmpty()) return room;
    const qsizetype tab = item->text.indexOf(u'\t');
    const QString text = tab < 0 ? item->text : item->text.left(tab);
    const QFontMetrics metrics(item->font);
    if (metrics.elidedText(text, Qt::ElideMiddle, size.width(), Qt::TextShowMnemonic) == text)
      return room;
    const int needed = qCeil(QFontMetricsF(item->font).horizontalAdvance(text));
    room.rwidth() += std::max(0, needed - size.width());
    return room;
  }
};

// Runs the command of a menu item. Memory that runs out (or another exception) ends the command,
// not the program: what it had not finished is dropped, the message names the command, and the
// window goes on.
void RunMenuCommand(QAction* item, const std::function<void()>& command) {
  try {
    command();
  } catch (...) {
    ReportStepException("bei \"" + item->text().remove('&').toStdString() + "\"");
  }
}

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
    connect(a, &QAction::triggered, this, [a, handler] { RunMenuCommand(a, handler); });
    return a;
  };
  auto draw = [this, &item](QMenu* menu, const char* name, int device, int kind) {
    return item(menu, name, [this, device, kind] { DrawCommand(device, kind); });
  };
  auto submenu = [](QMenu* menu, const char* name) {
    QMenu* m = menu->addMenu(QString());
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
  };

  mi_file = menuBar()->addMenu(QString());
  mi_file->setObjectName("mi_file");
  mi_fileNew = item(mi_file, "mi_fileNew", [this] { mi_fileNewClick(); });
  mi_fileNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  mi_fileOpen = item(mi_file, "mi_fileOpen", [this] { mi_fileOpenClick(); });
  mi_fileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  mi_fileOpenTable = item(mi_file, "mi_fileOpenTable", [this] { mi_fileOpenTableClick(); });
  mi_FileSave = item(mi_file, "mi_FileSave", [this] { mi_FileSaveClick(); });
  mi_FileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  mi_FileSaveAs = item(mi_file, "mi_FileSaveAs", [this] { mi_FileSaveAsClick(); });
  mi_FileCopy = mi_file->addSeparator();
  mi_fileprint = item(mi_file, "mi_fileprint", [this] { mi_fileprintClick(); });
  N4 = mi_file->addSeparator();
  mi_fileConfig = item(mi_file, "mi_fileConfig", [this] { mi_fileConfigClick(); });
  N3 = mi_file->addSeparator();
  QAction** recent[] = {&mi_file1, &mi_file2, &mi_file3, &mi_file4};
  for (int k = 1; k <= 4; ++k) {
    const std::string name = "mi_file" + std::to_string(k);
    *recent[k - 1] = item(mi_file, name.c_str(), [this, k] { mi_fileRecentClick(k); });
    (*recent[k - 1])->setShortcut(QKeySequence(Qt::SHIFT | (Qt::Key_F1 + k - 1)));
  }
  N13 = mi_file->addSeparator();
  mi_fileexit = item(mi_file, "mi_fileexit", [this] { mi_fileexitClick(); });

  mi_edit = menuBar()->addMenu(QString());
  mi_edit->setObjectName("mi_edit");
  mi_EditText = item(mi_edit, "mi_EditText", [this] { mi_EditTextClick(); });
  mi_editabmessungen = item(mi_edit, "mi_editabmessungen", [this] { mi_editabmessungenClick(); });

  mi_view = menuBar()->addMenu(QString());
  mi_view->setObjectName("mi_view");
  mi_viewausdruck = item(mi_view, "mi_viewausdruck", [this] { mi_viewausdruckClick(); });
  mi_viewQuick3 = draw(mi_view, "mi_viewQuick3", 3, 14);
  mi_ViewQuick = draw(mi_view, "mi_ViewQuick", 3, 7);
  mi_viewfertigungszeichnung = submenu(mi_view, "mi_viewfertigungszeichnung");
  mi_viewfertigungszeichnungwellenabe =
      draw(mi_viewfertigungszeichnung, "mi_viewfertigungszeichnungwellenabe", 3, 8);
  mi_viewfertigungszeichnungwelle =
      draw(mi_viewfertigungszeichnung, "mi_viewfertigungszeichnungwelle", 3, 5);
  mi_viewfertigungszeichnungnabe =
      draw(mi_viewfertigungszeichnung, "mi_viewfertigungszeichnungnabe", 3, 6);
  mi_viewzahnprofil = submenu(mi_view, "mi_viewzahnprofil");
  mi_viewzahnprofilwellenabe = draw(mi_viewzahnprofil, "mi_viewzahnprofilwellenabe", 3, 18);
  mi_viewzahnprofilwelle = draw(mi_viewzahnprofil, "mi_viewzahnprofilwelle", 3, 16);
  mi_viewzahnprofilnabe = draw(mi_viewzahnprofil, "mi_viewzahnprofilnabe", 3, 17);
  mi_viewzahn = submenu(mi_view, "mi_viewzahn");
  mi_viewzahn12 = draw(mi_viewzahn, "mi_viewzahn12", 3, 21);
  mi_viewzahn1 = draw(mi_viewzahn, "mi_viewzahn1", 3, 19);
  mi_viewzahn2 = draw(mi_viewzahn, "mi_viewzahn2", 3, 20);
  mi_view->addSeparator();
  mi_viewErrorMessages = item(mi_view, "mi_viewErrorMessages", [this] { mi_viewErrorMessagesClick(); });
  mi_viewErrorMessages->setEnabled(false);

  mi_cad = menuBar()->addMenu(QString());
  mi_cad->setObjectName("mi_cad");
  mi_cadquick3 = draw(mi_cad, "mi_cadquick3", 0, 14);
  mi_cadquick = draw(mi_cad, "mi_cadquick", 0, 7);
  mi_cadfertigungszeichnung = submenu(mi_cad, "mi_cadfertigungszeichnung");
  mi_cadfertigungszeichnung1 = draw(mi_cadfertigungszeichnung, "mi_cadfertigungszeichnung1", 0, 5);
  mi_cadfertigungszeichnung2 = draw(mi_cadfertigungszeichnung, "mi_cadfertigungszeichnung2", 0, 6);
  mi_cadzahn = submenu(mi_cad, "mi_cadzahn");
  mi_cadzahn12 = draw(mi_cadzahn, "mi_cadzahn12", 0, 21);
  mi_cadzahn1 = draw(mi_cadzahn, "mi_cadzahn1", 0, 19);
  mi_cadzahn2 = draw(mi_cadzahn, "mi_cadzahn2", 0, 20);
  mi_cad->addSeparator();
  mi_cadzahnprofil12 = draw(mi_cad, "mi_cadzahnprofil12", 0, 18);
  mi_cadZahnprofilWelle = draw(mi_cad, "mi_cadZahnprofilWelle", 0, 16);
  mi_cadZahnprofilNabe = draw(mi_cad, "mi_cadZahnprofilNabe", 0, 17);

  mi_doc = menuBar()->addMenu(QString());
  mi_doc->setObjectName("mi_doc");
  mi_docdrawinginfo = item(mi_doc, "mi_docdrawinginfo", [this] { mi_docdrawinginfoClick(); });
  mi_doc->addSeparator();
  mi_docuShowChanges1 = item(mi_doc, "mi_docuShowChanges1", [this] { ChangeLogClick(4); });
  mi_docuPrintChanges = item(mi_doc, "mi_docuPrintChanges", [this] { ChangeLogClick(5); });
  mi_docuNewChange = item(mi_doc, "mi_docuNewChange", [this] { ChangeLogClick(1); });
  mi_docuModifyChanges = item(mi_doc, "mi_docuModifyChanges", [this] { ChangeLogClick(2); });
  mi_docudeleteChange = item(mi_doc, "mi_docudeleteChange", [this] { ChangeLogClick(3); });
  mi_doc->addSeparator();
  mi_DocumentSetup = item(mi_doc, "mi_DocumentSetup", [this] { mi_DocumentSetupClick(); });

  // The OLE menu keeps its own captions in every language.
  mi_ole = menuBar()->addMenu("&OLE");
  mi_ole->setObjectName("mi_ole");
  mi_OleStartExcel = item(mi_ole, "mi_OleStartExcel", [this] { mi_OleStartExcelClick(); });
  mi_OleStartExcel->setText("Start Excel");
  mi_OleExportExcel = item(mi_ole, "mi_OleExportExcel", [this] { mi_OleExportExcelClick(); });
  mi_OleExportExcel->setText("Export QERN -> Excel");
  mi_OleExportExcel->setEnabled(false);
  mi_OleImportExcel = item(mi_ole, "mi_OleImportExcel", [this] { mi_OleImportExcelClick(); });
  mi_OleImportExcel->setText("Import Excel -> QERN");
  mi_OleImportExcel->setEnabled(false);
  mi_ole->addSeparator();
  mi_OlePrintoutExcel = item(mi_ole, "mi_OlePrintoutExcel", [this] { mi_OlePrintoutExcelClick(); });
  mi_OlePrintoutExcel->setText("Printout -> Excel");

  mi_help = menuBar()->addMenu(QString());
  mi_help->setObjectName("mi_help");
  mi_helphandbuch = item(mi_help, "mi_helphandbuch", [this] { mi_helphandbuchClick(); });
  mi_HelpHilfebild = item(mi_help, "mi_HelpHilfebild", [this] { mi_HelpHilfebildClick(); });
  mi_helpErrorMessages = item(mi_help, "mi_helpErrorMessages", [this] { mi_helpErrorMessagesClick(); });
  mi_helphistory = item(mi_help, "mi_helphistory", [] { OpenInfoPage(); });
  // The language items keep their own captions in every language.
  mi_helplanguage = submenu(mi_help, "mi_helplanguage");
  auto language = [this, &item](const char* name, const char* caption, int n) {
    QAction* a = item(mi_helplanguage, name, [this, n] { SetLanguage(n); });
    a->setText(caption);
    return a;
  };
  mi_helplanguageDeutsch = language("mi_helplanguageDeutsch", "&Deutsch", 1);
  mi_helplanguageEnglish = language("mi_helplanguageEnglish", "&English", 2);
  mi_helplanguageRoman = language("mi_helplanguageRoman", "&Roman", 7);
  mi_helplanguageKorea = language("mi_helplanguageKorea", "&Korea", 8);
  mi_helplanguageChinese = language("mi_helplanguageChinese", "&Chinese", 12);
  mi_helpwww = item(mi_help, "mi_helpwww", [] { OpenHomePage(); });
  mi_helpemail = item(mi_help, "mi_helpemail", [] { MailToMaker(); });
  mi_helpSysInfo = item(mi_help, "mi_helpSysInfo", [this] { mi_helpSysInfoClick(); });
  mi_HelpAbout = item(mi_help, "mi_HelpAbout", [this] { mi_HelpAboutClick(); });

  // A widget's style does not pass to its child menus: each menu gets it.
  auto* room = new MenuTextRoomStyle;
  room->setParent(this);
  for (QMenu* menu : menuBar()->findChildren<QMenu*>()) menu->setStyle(room);
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
  SetGeometryDrawingHandler([this] {
    geometryDrew_ = true;
    Flags.AbortFlag = false;
    ShowDefaultDrawing();
  });
  ApplyMenuCaptions();
  // Drawing device, identity, configuration and session file. Memory that runs out here (or
  // another exception) ends the start as it ends a run without a window.
  try {
    PrepareStart(ScreenOf(this));
    InitRecentFileItems(mi_file, mi_fileexit);
    LoadQtTranslations(Settings.LanguageNumber);
  } catch (...) {
    ReportStepException("beim Lesen der Einstellungen");
    startExit_ = ExitOutputFailed;
    return;
  }
  // The start-up routine; a run that the command line ends stops here, before any showing.
  try {
    startExit_ = ProgramStart();
  } catch (...) {
    ReportStepException("beim Start");
    startExit_ = ExitOutputFailed;
  }
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
  // The start picture, where there is one, stays; else the default drawing of the start
  // calculation takes the logo's place.
  if (FileCanOpen(HelpPictureFileName("start"))) {
    mi_viewErrorMessages->setText(
        Caption(MenuCaptions.ErrorMessages + " (" + IntStr(Errors.ErrorCount) + ")"));
    mi_viewErrorMessages->setEnabled(Errors.ErrorCount > 0);
  } else {
    RefreshAfterCalculation();
  }
  UpdateMainCaption();
}

void Thh::FormDestroy() {
  WriteSessionFile();
}

void Thh::UpdateMainCaption() {
  std::string title;
  UpdateApplicationTitle(title);
  setWindowTitle(QString::fromStdString(title));
  RefreshRecentFileItems(mi_file);
}

namespace {
// "&" before a word that has no accelerator of its own.
std::string Accel(const std::string& word) {
  return word.find('&') == std::string::npos ? "&" + word : word;
}
}  // namespace

std::string Thh::WebItemCaption(int k) const {
  return k == 0 ? Ident.ProductName + " Info (www)" : "";
}

void Thh::ApplyMenuCaptions() {
  const MenuCaptionSet& c = MenuCaptions;
  const auto& w = MenuWords;
  auto set = [](QAction* a, const std::string& text) { a->setText(Caption(text)); };
  auto title = [](QMenu* m, const std::string& text) { m->setTitle(Caption(text)); };

  title(mi_file, c.File);
  set(mi_fileNew, c.FileNew);
  set(mi_fileOpen, c.FileOpen);
  set(mi_fileOpenTable, c.FileOpen + " (" + c.Table + ")");
  set(mi_FileSave, c.FileSave);
  set(mi_FileSaveAs, c.FileSaveAs);
  set(mi_fileprint, c.Print);
  mi_fileprint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  set(mi_fileConfig, c.Settings);
  set(mi_fileexit, c.Exit);

  title(mi_edit, c.Edit);
  set(mi_EditText, c.Text);
  set(mi_editabmessungen, c.Dimensions);

  const std::string shaftAndHub = w.Welle + " + " + w.Nabe;
  title(mi_view, c.View);
  set(mi_viewausdruck, c.Printout);
  set(mi_viewQuick3, Accel(c.Quick) + " &3");
  set(mi_ViewQuick, Accel(c.Quick) + " &1");
  title(mi_viewfertigungszeichnung, c.ProductionDrawing);
  set(mi_viewfertigungszeichnungwellenabe, shaftAndHub);
  set(mi_viewfertigungszeichnungwelle, w.Welle);
  set(mi_viewfertigungszeichnungnabe, w.Nabe);
  title(mi_viewzahnprofil, w.Verzahnung);
  set(mi_viewzahnprofilwellenabe, shaftAndHub);
  set(mi_viewzahnprofilwelle, w.Welle);
  set(mi_viewzahnprofilnabe, w.Nabe);
  title(mi_viewzahn, w.Zahn);
  set(mi_viewzahn12, shaftAndHub);
  set(mi_viewzahn1, w.Welle);
  set(mi_viewzahn2, w.Nabe);
  set(mi_viewErrorMessages, c.ErrorMessages + " (" + IntStr(Errors.ErrorCount) + ")");

  title(mi_cad, c.Cad);
  set(mi_cadquick3, Accel(c.Quick) + " 3");
  set(mi_cadquick, Accel(c.Quick));
  title(mi_cadfertigungszeichnung, c.ProductionDrawing);
  set(mi_cadfertigungszeichnung1, c.ProductionDrawing + " Welle");
  set(mi_cadfertigungszeichnung2, c.ProductionDrawing + " Nabe");
  title(mi_cadzahn, w.Zahn);
  set(mi_cadzahn12, w.Welle + "+" + w.Nabe);
  set(mi_cadzahn1, w.Welle);
  set(mi_cadzahn2, w.Nabe);
  set(mi_cadzahnprofil12, w.Zahnform + " " + w.Welle + "+" + w.Nabe);
  set(mi_cadZahnprofilWelle, w.Zahnform + " " + w.Welle + " - External Spline");
  set(mi_cadZahnprofilNabe, w.Zahnform + " " + w.Nabe + " - Internal Spline");

  title(mi_doc, c.Document);
  set(mi_docdrawinginfo, c.DrawingData);
  set(mi_docuShowChanges1, c.ChangeInfo);
  set(mi_docuPrintChanges, c.ChangePrintout);
  set(mi_docuNewChange, c.ChangeNew);
  set(mi_docuModifyChanges, c.ChangeEditLast);
  set(mi_docudeleteChange, c.ChangeDeleteLast);
  set(mi_DocumentSetup, c.Links);

  title(mi_help, c.Help);
  set(mi_helphandbuch, Accel(c.Manual));
  set(mi_HelpHilfebild, c.HelpPicture);
  set(mi_helpErrorMessages, c.ErrorMessages);
  set(mi_helphistory, WebItemCaption(0));
  title(mi_helplanguage, c.Menu + " " + c.Language);
  set(mi_helpwww, "&ZORQUAN Homepage");
  set(mi_helpemail, "&E-Mail an ZORQUAN");
  set(mi_helpSysInfo, "System Info");
  set(mi_HelpAbout, Ident.ProductName);
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

void Thh::mi_fileNewClick() {
  Flags.AbortFlag = false;
  SaveChangesQuery();
  if (Flags.AbortFlag) return;
  if (FileCanOpen(AddBackslash(Session.CurrentFileFolder) + "null." + Ident.DataExtension))
    ReadDataFile("null");
  Session.CurrentFileName = "";
  UpdateMainCaption();
  ResetChangeLog();
  ResetDocumentLinks();
  if (DrawDevice) DrawDevice->ClearDevice();
  DrawingArea()->update();
  Flags.AbortFlag = false;
  ShowPartTexts();
  if (Flags.AbortFlag) return;
  if (!EditDimensionsAndRedraw()) return;
  CalculateSerration();
  RefreshAfterCalculation();
  Flags.DesignModified = true;
}

void Thh::mi_fileOpenTableClick() {
  Flags.AbortFlag = false;
  SaveChangesQuery();
  if (Flags.AbortFlag) return;
  if (DrawDevice) DrawDevice->ClearDevice();
  DrawingArea()->update();

  FileOverview table;
  std::string title;
  UpdateApplicationTitle(title);
  SetWaitCursor();
  // The file being read, as often as a person can read it: each title is a round trip to the
  // display, which would cost more than reading the file.
  ThrottledProgress reading(
      [&](const std::string& file) { setWindowTitle(Caption(Ident.Banner + " -> " + file)); },
      std::chrono::milliseconds(50));
  FillFileOverview(table, Session.CurrentFileFolder, std::ref(reading));
  reading.Finish();
  RestoreCursor();
  Flags.AbortFlag = false;
  // The files were only scanned: the title names the current design again until a row is opened.
  UpdateMainCaption();

  TForm_preview form(table, [this, &table](int row) {
    if (!OpenOverviewRow(table, row)) return;
    AddRecentFile(Session.CurrentFileName);
    ApplyMenuCaptions();
    RefreshAfterCalculation();
    UpdateMainCaption();
  }, this);
  form.exec();
  UpdateMainCaption();
}

void Thh::mi_fileprintClick() {
  Flags.AbortFlag = false;
  ShowPrintWindow();
}

void Thh::mi_EditTextClick() {
  Flags.AbortFlag = false;
  ShowPartTexts();
  if (!Flags.AbortFlag) Flags.DesignModified = true;
}

bool Thh::EditDimensionsAndRedraw() {
  geometryDrew_ = false;
  if (EditDimensions(this) && !Flags.AbortFlag) return true;
  // Cancelled: a drawing made by the window's calculate button showed edits that are gone now.
  if (geometryDrew_) {
    RefreshAfterCalculation();
    Flags.AbortFlag = true;
  }
  return false;
}

void Thh::mi_editabmessungenClick() {
  Flags.AbortFlag = false;
  if (!EditDimensionsAndRedraw()) return;
  Flags.DesignModified = true;
  CalculateSerration();
  RefreshAfterCalculation();
  Flags.DesignModified = true;
}

void Thh::mi_viewausdruckClick() {
  Flags.AbortFlag = false;
  ListResults(0);
}

void Thh::DrawCommand(int device, int kind) {
  Flags.AbortFlag = false;
  if (DrawEntry)
    DrawEntry(device, kind);
  else
    DrawMenu(device, kind);
  DrawingArea()->update();
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
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ColorFromValue(static_cast<uint32_t>(Settings.BackgroundColor)));
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
  // Screen drawings keep their blocks in memory and leave no file; "$*.dx$" files in the folder
  // for temporary files are the user's logo, head and insert blocks, and stay.
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

void Thh::mi_DocumentSetupClick() {
  Flags.AbortFlag = false;
  ShowDocumentLinks();
  if (!Flags.AbortFlag) Flags.DesignModified = true;
}

void Thh::mi_OleStartExcelClick() {
  Flags.AbortFlag = false;
  StartExcel();
  if (Flags.AbortFlag) return;
  mi_OleExportExcel->setEnabled(true);
  mi_OleImportExcel->setEnabled(true);
}

void Thh::mi_OleExportExcelClick() {
  Flags.AbortFlag = false;
  ExportDesignToExcel();
}

// Designs come back from the spreadsheet as design files: the export is a copy for reading.
void Thh::mi_OleImportExcelClick() {
  Flags.AbortFlag = false;
  InfoMessage("Import Excel -> " + Ident.ProductName + ": die Auslegung wird über " +
              "Datei - Öffnen aus der ." + Ident.DataExtension + "-Datei gelesen.");
}

void Thh::mi_OlePrintoutExcelClick() { PrintoutToExcel(); }

// The manual: <program name>.pdf in the manual folder, opened with the desktop's program.
void Thh::mi_helphandbuchClick() {
  Flags.AbortFlag = false;
  const std::string manual =
      AddBackslash(Settings.ManualFolder) + LowerStr(Ident.ProgramName) + ".pdf";
  OpenDocumentWithDesktop(manual, "Handbuch");
}

void Thh::mi_helpErrorMessagesClick() {
  Flags.AbortFlag = false;
  ShowCalculationMessages();
}

void Thh::mi_helpSysInfoClick() { ShowSystemInfo(); }

void Thh::mi_HelpAboutClick() { ShowAboutBox(); }

// Opens a window of its own: the abort flag is left as it is.
void Thh::mi_HelpHilfebildClick() { HelpPictureMenu(); }

}  // namespace qern
