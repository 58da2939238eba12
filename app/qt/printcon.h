// The print window "Ausdruck" (TForm_printconf): scales, origin, orientation, shading, frame and
// printer of the drawing printout, presets loaded from and appended to "printout.dbf", and OK,
// which replays the display list on the printer (a PDF file when the system has no printer).
#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace qern {

// The printer of drawing printouts; its choice and orientation last for the whole run.
QPrinter& GraphicPrinter();
// The PDF file that stands in for a missing printer: the design's name with ".pdf" in the folder
// for temporary files; PrintToDesignPdf directs the printer there.
QString DesignPdfFileName();
void PrintToDesignPdf(QPrinter& printer);

class TForm_printconf : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_printconf(QWidget* parent = nullptr);

  QLabel* Label_scalex = nullptr;
  QLabel* Label_scaley = nullptr;
  QLabel* Label_xorigin = nullptr;
  QLabel* Label_yorigin = nullptr;
  QLineEdit* Edit_scalex = nullptr;
  QLineEdit* Edit_scaley = nullptr;
  QLineEdit* Edit_xorigin = nullptr;
  QLineEdit* Edit_yorigin = nullptr;
  QGroupBox* RadioGroup_hochquer = nullptr;   // "Hochformat", "Querformat"
  QButtonGroup* hochquerItems = nullptr;
  QGroupBox* RadioGroup_printmono = nullptr;  // "Monochrom", "Color / Graustufen"
  QButtonGroup* printmonoItems = nullptr;
  QCheckBox* CheckBox_umrandung = nullptr;
  QCheckBox* CheckBox_anpassen = nullptr;
  QLabel* Label_printer = nullptr;
  QPushButton* Button_printer = nullptr;
  QPushButton* Button_db = nullptr;
  QPushButton* Button_append = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;

  // Item index of a radio group (0-based), and setting it.
  static int ItemIndex(QButtonGroup* group);
  static void SetItemIndex(QButtonGroup* group, int index);

  void FormCreate();
  void FormActivate();
  void Button_printerClick();
  // Takes the window's values into the print variables; false, with a message and nothing
  // taken, when a scale is 0.
  bool ApplyPrintSettings();
  void Button_okClick();
  void Button_cancelClick();
  void Button_helpClick();
  void Button_dbClick();
  void Button_appendClick();
  void reject() override;  // Esc and the close box act as Cancel

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The scales typed in; false with a message when one of them is 0.
  bool ScalesUsable(double& sx, double& sy);
};

// File/Print: shows the window modally; its OK prints what the graphics window shows.
void ShowPrintWindow();

}  // namespace qern
