// The file overview window (File > Open (Table)): the grid of a folder's design files; a click
// on a column head sorts, Search finds a text, Export Excel hands the grid to the spreadsheet,
// and a click on a row opens that design while the table stays open until File > Exit.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "design/preview.h"

class QAction;
class QMenu;
class QMenuBar;
class QTableView;

namespace qern {

class OverviewModel;

class TForm_preview : public QDialog {
  Q_OBJECT

 public:
  // openRow opens the file of a data row (1-based as in the table) for the main window.
  TForm_preview(FileOverview& table, std::function<void(int row)> openRow,
                QWidget* parent = nullptr);

  QMenuBar* MainMenu1 = nullptr;
  QMenu* mi_File = nullptr;
  QAction* mi_fileExportExcel = nullptr;
  QAction* mi_fileExit = nullptr;
  QMenu* mi_edit = nullptr;
  QAction* mi_editsearch = nullptr;
  QAction* SearchNext1 = nullptr;
  QMenu* mi_Help = nullptr;
  QAction* mi_HelpHelp = nullptr;
  QTableView* StringGrid1 = nullptr;

  int RememberedRow() const { return remembered_; }

  void FormCreate();
  void FormActivate();
  // A data row chosen: when it is not the remembered one, its file is opened.
  void StringGrid1SelectCell(int column, int row);
  // A press on a column head sorts by that column.
  void HeaderPressed(int column);
  void mi_editsearchClick();
  void SearchNext1Click();
  void mi_fileExportExcelClick();
  void mi_fileExitClick();
  void mi_HelpHelpClick();
  // Esc and the close box leave the table like File > Exit.
  void reject() override;

  // The grid shows the table again (after a sort or a search).
  void RefreshGrid();

  // The width each column's texts (and its head) need, padding included.
  const std::vector<int>& ContentWidths() const { return contentWidths_; }
  // Lays the columns out in the grid's present width: each as wide as its texts need when all
  // fit; else the widest are cut to one common width, so that no column keeps room it does not
  // need while another is cut.
  void FitColumns();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SearchFrom(int startRow);
  void MeasureColumns();
  FileOverview& table_;
  std::function<void(int)> openRow_;
  OverviewModel* model_ = nullptr;
  int remembered_ = 0;
  std::vector<int> contentWidths_;
};

// Asks for a search text in the small search window, starting with text; false on Cancel.
bool AskSearchText(std::string& text, QWidget* parent = nullptr);

}  // namespace qern
