// The main window Thh: the program's only drawing surface (a graphics window) with its menu.
// Creating it reads settings and session, handles the command line and prepares the default design.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "framework/qt/fzorqgra.h"

class QAction;
class QCloseEvent;
class QMenu;

namespace qern {

class Thh : public TFzorqgra {
  Q_OBJECT
 public:
  // Runs FormCreate. installQtDialogs: make the Qt dialog service current with this window as
  // host (the running program); tests keep the service they installed.
  explicit Thh(bool installQtDialogs = true, QWidget* parent = nullptr);
  // Runs FormDestroy.
  ~Thh() override;

  // Set when the command line ended the run during creation: the process ends with this status
  // and the window is never shown.
  std::optional<int> StartExitStatus() const { return startExit_; }

  void FormCreate();
  void FormDestroy();  // writes the session file

  // Caption from UpdateApplicationTitle (banner and file name).
  void UpdateMainCaption();
  // Every menu caption from the current language's words; Print gets Ctrl+P.
  void ApplyMenuCaptions();
  // Menu language n, then captions and title.
  void SetLanguage(int n);
  // The Error Messages item shows the number of messages of the last calculation (enabled only
  // when there are any); then the default drawing is drawn.
  void RefreshAfterCalculation();
  // The geometry window; after a Cancel the drawing shows the restored design again. True on OK.
  bool EditDimensionsAndRedraw();
  // The caption of the web information item (k = 0).
  std::string WebItemCaption(int k) const;

  // The drawing entry the View and CAD items call (DrawMenu; tests put a recorder here).
  std::function<void(int device, int kind)> DrawEntry;

  // Menu commands.
  void mi_fileNewClick();
  void mi_fileOpenTableClick();  // the file overview table
  void mi_fileprintClick();  // the print window; its OK prints what the window shows
  void mi_EditTextClick();
  void mi_editabmessungenClick();
  void mi_viewausdruckClick();  // result listing to the configured listing device
  void mi_viewErrorMessagesClick();
  void mi_fileexitClick();
  void DrawCommand(int device, int kind);  // View (3) and CAD (0) drawing items
  void mi_fileOpenClick();
  void mi_FileSaveClick();
  void mi_FileSaveAsClick();
  void mi_fileConfigClick();    // the configuration window
  void mi_fileRecentClick(int k);  // recent file k = 1..4
  // The close question: false keeps the window open.
  bool FormCloseQuery();
  // The exit's clean-up message; screen drawings leave no block files (the user's own block
  // files in the folder for temporary files stay). Returns true.
  static bool DeleteTempFilesOnExit();
  void mi_docdrawinginfoClick();
  void ChangeLogClick(int choice);  // the change-log items: ChangeLogMenu(choice)
  void mi_DocumentSetupClick();     // the document links
  void mi_OleStartExcelClick();     // success enables export and import
  void mi_OleExportExcelClick();
  void mi_OleImportExcelClick();
  void mi_OlePrintoutExcelClick();
  void mi_helphandbuchClick();      // the electronic manual
  void mi_helpErrorMessagesClick();
  void mi_helpSysInfoClick();
  void mi_HelpAboutClick();
  void mi_HelpHilfebildClick();  // the help-picture catalogue

  QMenu* mi_file = nullptr;
  QAction* mi_fileNew = nullptr;
  QAction* mi_fileOpen = nullptr;
  QAction* mi_fileOpenTable = nullptr;
  QAction* mi_FileSave = nullptr;
  QAction* mi_FileSaveAs = nullptr;
  QAction* mi_FileCopy = nullptr;  // a separator
  QAction* mi_fileprint = nullptr;
  QAction* N4 = nullptr;
  QAction* mi_fileConfig = nullptr;
  QAction* N3 = nullptr;
  QAction* mi_file1 = nullptr;
  QAction* mi_file2 = nullptr;
  QAction* mi_file3 = nullptr;
  QAction* mi_file4 = nullptr;
  QAction* N13 = nullptr;
  QAction* mi_fileexit = nullptr;
  QMenu* mi_edit = nullptr;
  QAction* mi_EditText = nullptr;
  QAction* mi_editabmessungen = nullptr;
  QMenu* mi_view = nullptr;
  QAction* mi_viewausdruck = nullptr;
  QAction* mi_viewQuick3 = nullptr;
  QAction* mi_ViewQuick = nullptr;
  QMenu* mi_viewfertigungszeichnung = nullptr;
  QAction* mi_viewfertigungszeichnungwellenabe = nullptr;
  QAction* mi_viewfertigungszeichnungwelle = nullptr;
  QAction* mi_viewfertigungszeichnungnabe = nullptr;
  QMenu* mi_viewzahnprofil = nullptr;
  QAction* mi_viewzahnprofilwellenabe = nullptr;
  QAction* mi_viewzahnprofilwelle = nullptr;
  QAction* mi_viewzahnprofilnabe = nullptr;
  QMenu* mi_viewzahn = nullptr;
  QAction* mi_viewzahn12 = nullptr;
  QAction* mi_viewzahn1 = nullptr;
  QAction* mi_viewzahn2 = nullptr;
  QAction* mi_viewErrorMessages = nullptr;
  QMenu* mi_cad = nullptr;
  QAction* mi_cadquick3 = nullptr;
  QAction* mi_cadquick = nullptr;
  QMenu* mi_cadfertigungszeichnung = nullptr;
  QAction* mi_cadfertigungszeichnung1 = nullptr;
  QAction* mi_cadfertigungszeichnung2 = nullptr;
  QMenu* mi_cadzahn = nullptr;
  QAction* mi_cadzahn12 = nullptr;
  QAction* mi_cadzahn1 = nullptr;
  QAction* mi_cadzahn2 = nullptr;
  QAction* mi_cadzahnprofil12 = nullptr;
  QAction* mi_cadZahnprofilWelle = nullptr;
  QAction* mi_cadZahnprofilNabe = nullptr;
  QMenu* mi_doc = nullptr;
  QAction* mi_docdrawinginfo = nullptr;
  QAction* mi_docuShowChanges1 = nullptr;
  QAction* mi_docuPrintChanges = nullptr;
  QAction* mi_docuNewChange = nullptr;
  QAction* mi_docuModifyChanges = nullptr;
  QAction* mi_docudeleteChange = nullptr;
  QAction* mi_DocumentSetup = nullptr;
  QMenu* mi_ole = nullptr;
  QAction* mi_OleStartExcel = nullptr;
  QAction* mi_OleExportExcel = nullptr;
  QAction* mi_OleImportExcel = nullptr;
  QAction* mi_OlePrintoutExcel = nullptr;
  QMenu* mi_help = nullptr;
  QAction* mi_helphandbuch = nullptr;
  QAction* mi_HelpHilfebild = nullptr;
  QAction* mi_helpErrorMessages = nullptr;
  QAction* mi_helphistory = nullptr;
  QMenu* mi_helplanguage = nullptr;
  QAction* mi_helplanguageDeutsch = nullptr;
  QAction* mi_helplanguageEnglish = nullptr;
  QAction* mi_helplanguageRoman = nullptr;
  QAction* mi_helplanguageKorea = nullptr;
  QAction* mi_helplanguageChinese = nullptr;
  QAction* mi_helpwww = nullptr;
  QAction* mi_helpemail = nullptr;
  QAction* mi_helpSysInfo = nullptr;
  QAction* mi_HelpAbout = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenus();
  bool installQtDialogs_;
  bool geometryDrew_ = false;  // the geometry window's calculate button drew on this window
  std::optional<int> startExit_;
};

}  // namespace qern
