// The part-texts window (Edit > Text and File > New): drawing name, number and second name line of
// shaft and hub, and the first two comment lines of the design.
#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qern {

class TForm_kvneingabetext : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_kvneingabetext(QWidget* parent = nullptr);

  QGroupBox* GroupBox_INT = nullptr;  // part 1, the shaft ("Innenteil")
  QGroupBox* GroupBox_EXT = nullptr;  // part 2, the hub ("Außenteil")
  QLineEdit* Edit_zeichname1 = nullptr;
  QLineEdit* Edit_zeichnr1 = nullptr;
  QLineEdit* Edit_zeichname21 = nullptr;
  QLineEdit* Edit_zeichname2 = nullptr;
  QLineEdit* Edit_zeichnr2 = nullptr;
  QLineEdit* Edit_zeichname22 = nullptr;
  QLabel* Label_info1 = nullptr;
  QLabel* Label_info2 = nullptr;
  QLineEdit* Edit_info1 = nullptr;
  QLineEdit* Edit_info2 = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;

  void Button_okClick();
  void Button_cancelClick();
  void reject() override;  // Esc and the close box act as Cancel
};

// Creates the window, shows it modally and frees it. OK stores the eight texts and clears
// AbortFlag; Cancel sets AbortFlag and leaves them unchanged.
void ShowPartTexts();

}  // namespace qern
