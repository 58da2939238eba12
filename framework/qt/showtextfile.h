// The listing window TForm_showtextfile (a text viewer over the display copy of a listing) and
// the Qt printer behind PrintTextFile; InstallQtListingHooks connects both to the listing engine.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "framework/textprint.h"

class QAction;
class QMenu;
class QMenuBar;
class QPainter;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace qern {

class PdfFileOutput;

class TForm_showtextfile : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_showtextfile(QWidget* parent = nullptr);

  // The listing file that "Drucken" prints.
  void SetListFileName(const std::string& name) { listFileName_ = name; }
  const std::string& ListFileName() const { return listFileName_; }
  // The shown file: the display copy "outwin.txt" in the temporary folder.
  const std::string& ShownFileName() const { return shownFileName_; }

  QMenuBar* MainMenu;
  QMenu* mi_Datei;
  QAction* mi_dateiExportNotepad;
  QAction* ExportWordpad1;
  QAction* mi_DateiDrucken;
  QAction* mi_dateiBeenden;
  QMenu* mi_Edit;
  QAction* mi_EditMarkAll;
  QAction* mi_EditCopy;
  QPlainTextEdit* Memo1;
  QPushButton* Button_ok;

  void mi_dateiExportNotepadClick();
  void mi_DateiDruckenClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void LoadShownFile();
  std::string listFileName_;
  std::string shownFileName_;
  bool loaded_ = false;
};

// The printer of PrintTextFile: a QPrinter behind the print dialog; with no printer installed
// the dialog starts on PDF output into the temporary folder.
class QtTextPrintTarget : public TextPrintTarget {
 public:
  QtTextPrintTarget();
  ~QtTextPrintTarget() override;

  // Set: no dialog, every page goes to this PDF file (headless runs and tests).
  std::string PdfOutput;

  bool ChoosePages(const std::string& title, int pageCount, int& firstPage, int& lastPage) override;
  bool BeginDocument(const PrintFontSpec& font, int linesPerPage) override;
  void NewPage() override;
  void PrintRow(int row, const std::string& text) override;
  std::string EndDocument() override;

 private:
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<PdfFileOutput> pdf_;  // a PDF file: painted in memory, written when whole
  std::unique_ptr<QPainter> painter_;
  int lineHeight_ = 1;
  int ascent_ = 0;
};

// The printer that InstallQtListingHooks installs.
QtTextPrintTarget& QtListingPrinter();

// Installs the listing window and the Qt printer into the listing engine and PrintTextFile.
// Call once after the QApplication exists.
void InstallQtListingHooks();

}  // namespace qern
