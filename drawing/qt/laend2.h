// The drawing-information window: title-block dates and names, the replacement references, the
// ISO 7200 header fields and the free texts placed on the drawing.
#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "design/qernio.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qern {

class TForm_zeichInfo : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_zeichInfo(QWidget* parent = nullptr);

  // True for the two ISO 7200 title-block forms (TitleBlockKind 1 or 2), else DIN 6771.
  static bool IsoLayout();

  QLabel* Label_ersatzfuer = nullptr;
  QLabel* Label_ersetztdurch = nullptr;
  QLineEdit* Edit_ersatzfuer = nullptr;
  QLineEdit* Edit_ersetztdurch = nullptr;
  // Title-block rows (date, name): 4 rows in the DIN layout, 3 in the ISO layout.
  QTableWidget* StringGrid1 = nullptr;
  // Placed texts: 8 rows of x, y, h, phi and text.
  QTableWidget* StringGrid2 = nullptr;
  // The three ISO 7200 header fields (shown in the ISO layout only).
  QTableWidget* StringGrid3 = nullptr;
  QComboBox* ComboBox_zeichtextmode = nullptr;
  std::array<QPushButton*, 4> DateButtons{};  // Button1 .. Button4: today's date into row 1..4
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;

  void Button_okClick();
  void Button_cancelClick();
  void Button_helpClick();
  void DateButtonClick(int row);  // Button1Click .. Button4Click with row 1..4
  void ComboBox_zeichtextmodeChange();
  void reject() override;  // Esc and the close box act as Cancel

 private:
  // The placed texts of the grid into d.
  void TakePlacedTexts(DrawingInfoRecord& d) const;
  // The number of the grid at row/column that the design file could not hold (row -1: the first
  // of any cell).
  std::optional<OutOfRangeValue> PlacedNumberOutOfRange(int row, int column) const;
  // A number typed into the placed texts is checked at once.
  void PlacedCellChanged(int row, int column);
};

// Shows the window modally and frees it. OK clears AbortFlag and stores the texts; Cancel sets
// AbortFlag and stores nothing.
void ShowDrawingInfo();

}  // namespace qern
