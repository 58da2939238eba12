// The colour picker of the configuration window: the 16 named colours as a list.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace qern {

class TForm_selectcolor : public QDialog {
  Q_OBJECT
 public:
  // Lists ChoiceTexts[1..16] as name + " (" + number + ")"; number (1..16) is preselected.
  explicit TForm_selectcolor(int number, QWidget* parent = nullptr);
  // The chosen colour number (list position + 1).
  int ColorNumber() const;

  QListWidget* ListBox_colors = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
};

// Puts the colour names into ChoiceTexts and shows the picker; true and number := the choice on
// OK. Cancel changes nothing and clears AbortFlag.
bool SelectColorNumber(int& number, QWidget* parent);

}  // namespace qern
