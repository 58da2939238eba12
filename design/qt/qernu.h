// The main window Thh: the program's only drawing surface (a graphics window) with its menu.
// Creating it reads settings and session, handles the command line and prepares the default design.
#pragma once

#include <optional>

#include "framework/qt/fzorqgra.h"

class QAction;
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
  void FormDestroy();  // deletes the temporary block files, writes the session file

  // Caption from UpdateApplicationTitle (banner and file name).
  void UpdateMainCaption();
  // Every menu caption from the current language's words.
  void ApplyMenuCaptions();
  // Menu language n, then captions and title.
  void SetLanguage(int n);
  // The Error Messages item shows the number of messages of the last calculation.
  void RefreshAfterCalculation();

  // Menu commands.
  void mi_editabmessungenClick();
  void mi_viewausdruckClick();  // result listing to the configured listing device
  void mi_viewErrorMessagesClick();
  void mi_fileexitClick();
  void mi_fileprintClick();  // the print window; its OK prints what the window shows
  void mi_docdrawinginfoClick();
  void ChangeLogClick(int choice);  // the change-log items: ChangeLogMenu(choice)
  void mi_OleStartExcelClick();     // success enables the export
  void mi_OleExportExcelClick();
  void mi_OlePrintoutExcelClick();
  void mi_helpSysInfoClick();
  void mi_HelpAboutClick();
  void mi_HelpHilfebildClick();  // the help-picture catalogue

  QMenu* mi_file = nullptr;
  QAction* mi_fileexit = nullptr;
  QAction* mi_fileprint = nullptr;
  QMenu* mi_edit = nullptr;
  QAction* mi_editabmessungen = nullptr;
  QMenu* mi_view = nullptr;
  QAction* mi_viewausdruck = nullptr;
  QAction* mi_viewErrorMessages = nullptr;
  QMenu* mi_doc = nullptr;
  QAction* mi_docdrawinginfo = nullptr;
  QAction* mi_docuShowChanges1 = nullptr;
  QAction* mi_docuPrintChanges = nullptr;
  QAction* mi_docuNewChange = nullptr;
  QAction* mi_docuModifyChanges = nullptr;
  QAction* mi_docudeleteChange = nullptr;
  QMenu* mi_ole = nullptr;
  QAction* mi_OleStartExcel = nullptr;
  QAction* mi_OleExportExcel = nullptr;
  QAction* mi_OlePrintoutExcel = nullptr;
  QMenu* mi_help = nullptr;
  QAction* mi_HelpHilfebild = nullptr;
  QAction* mi_helphistory = nullptr;
  QAction* mi_helpwww = nullptr;
  QAction* mi_helpemail = nullptr;
  QAction* mi_helpSysInfo = nullptr;
  QAction* mi_HelpAbout = nullptr;

 private:
  void CreateMenus();
  bool installQtDialogs_;
  std::optional<int> startExit_;
};

}  // namespace qern
