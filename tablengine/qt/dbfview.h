// The table-view window: a grid over the table object with a navigator, a title and a table-name
// caption, a menu carrying the title with six editing items, and view or edit modes.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <vector>

#include "tablengine/dbfaccess.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QToolButton;

namespace qern {

class TForm_dbfview : public QDialog {
  Q_OBJECT

 public:
  TForm_dbfview(kelpie::DbfDataset& table, const TableViewSpec& spec, QWidget* parent = nullptr);

  // Navigator buttons in order: first, prior, next, last, insert, delete, edit, post, cancel,
  // refresh; view modes show the first four only.
  enum NavButton { NavFirst, NavPrior, NavNext, NavLast, NavInsert, NavDelete, NavEdit, NavPost,
                   NavCancel, NavRefresh, NavCount };

  QLabel* Label_title = nullptr;
  QLabel* Label_table = nullptr;
  QMenuBar* MenuBar = nullptr;
  QMenu* mi_title = nullptr;
  std::array<QAction*, 6> EditItems{};  // insert, delete, edit, post, cancel, refresh
  std::array<QToolButton*, NavCount> Navigator{};
  QTableWidget* Grid = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;

  // Record number of each grid row.
  const std::vector<uint32_t>& RowRecords() const { return rows_; }
  void Navigate(NavButton button);
  // Rebuilds the grid from the table and selects the table's current record.
  void Reload();

 private:
  void GridCurrentChanged(int row);
  void GridItemChanged(QTableWidgetItem* item);
  void ShowError();
  void SelectRecord(uint32_t recno);

  kelpie::DbfDataset& table_;
  TableViewSpec spec_;
  std::vector<uint32_t> rows_;
  bool loading_ = false;
};

// Makes the window the layer's table view (DbfShowTable).
void InstallTableViewWindow();

}  // namespace qern
