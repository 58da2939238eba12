// The table-view window over the table object: rows of the table in a grid, navigation, and in
// the editing modes typed-in fields written back under the table lock, records appended and
// deleted flags set.
#include "tablengine/qt/dbfview.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "framework/dialogs.h"
#include "framework/qt/formhelp.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

struct NavInfo {
  const char* Symbol;
  const char* Hint;
};
constexpr NavInfo kNav[TForm_dbfview::NavCount] = {
    {"|<", "Erster Datensatz"}, {"<", "Vorheriger Datensatz"}, {">", "Nächster Datensatz"},
    {">|", "Letzter Datensatz"}, {"+", "Datensatz einfügen"},  {"-", "Datensatz löschen"},
    {"^", "Datensatz bearbeiten"}, {"\u2713", "Daten speichern"}, {"x", "Bearbeitung abbrechen"},
    {"\u21bb", "Daten aktualisieren"}};
}  // namespace

TForm_dbfview::TForm_dbfview(kelpie::DbfDataset& table, const TableViewSpec& spec, QWidget* parent)
    : QDialog(parent), table_(table), spec_(spec) {
  setObjectName("Form_dbfview");
  setWindowTitle(Q(spec.Caption));
  MenuBar = new QMenuBar(this);
  mi_title = MenuBar->addMenu(Q(spec.TableCaption.empty() ? spec.Title : spec.TableCaption));
  Label_title = new QLabel(Q(spec.Title), this);
  Label_title->setObjectName("Label_title");
  Label_table = new QLabel(Q(spec.TableCaption), this);
  Label_table->setObjectName("Label_table");

  auto* nav = new QHBoxLayout;
  for (int i = 0; i < NavCount; ++i) {
    auto* b = new QToolButton(this);
    b->setText(QString::fromUtf8(kNav[i].Symbol));
    b->setToolTip(QString::fromUtf8(kNav[i].Hint));
    b->setObjectName(QString("Navigator%1").arg(i));
    b->setVisible(spec.Editable || i < NavInsert);
    b->setFocusPolicy(Qt::ClickFocus);  // a click ends the cell being typed in, which writes it
    connect(b, &QToolButton::clicked, this, [this, i] { Navigate(static_cast<NavButton>(i)); });
    Navigator[i] = b;
    nav->addWidget(b);
  }
  nav->addStretch();
  for (int i = 0; i < 6; ++i) {
    const NavButton button = static_cast<NavButton>(NavInsert + i);
    EditItems[i] = mi_title->addAction(QString::fromUtf8(kNav[button].Hint));
    EditItems[i]->setVisible(spec.Editable);
    connect(EditItems[i], &QAction::triggered, this, [this, button] { Navigate(button); });
  }

  Grid = new QTableWidget(this);
  Grid->setObjectName("Grid");
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setEditTriggers(spec.Editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                            QAbstractItemView::AnyKeyPressed
                                      : QAbstractItemView::NoEditTriggers);
  connect(Grid, &QTableWidget::currentCellChanged, this,
          [this](int row, int, int, int) { GridCurrentChanged(row); });
  connect(Grid, &QTableWidget::itemChanged, this, &TForm_dbfview::GridItemChanged);
  connect(Grid, &QTableWidget::cellDoubleClicked, this, [this] {
    if (!spec_.Editable) accept();
  });

  Button_ok = new QPushButton("OK", this);
  Button_ok->setObjectName("Button_ok");
  Button_ok->setDefault(true);
  Button_cancel = new QPushButton(Q(ConvertDisplayText("Abbrechen")), this);
  Button_cancel->setObjectName("Button_cancel");
  Button_cancel->setAutoDefault(false);
  connect(Button_ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button_cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* captions = new QHBoxLayout;
  captions->addWidget(Label_title);
  captions->addStretch();
  captions->addWidget(Label_table);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(MenuBar);
  layout->addLayout(captions);
  layout->addLayout(nav);
  layout->addWidget(Grid, 1);
  layout->addLayout(buttons);
  Reload();
  resize(std::max(480, sizeHint().width()), 360);
  CentreDialog(this);
}

void TForm_dbfview::SelectRecord(uint32_t recno) {
  for (size_t r = 0; r < rows_.size(); ++r)
    if (rows_[r] == recno) {
      Grid->setCurrentCell(static_cast<int>(r), std::max(0, Grid->currentColumn()));
      return;
    }
}

void TForm_dbfview::Reload() {
  loading_ = true;
  const uint32_t current = table_.RecNo();
  const int fields = table_.FieldCount();
  Grid->clear();
  Grid->setColumnCount(fields);
  QStringList heads;
  for (int f = 1; f <= fields; ++f) heads << Q(table_.FieldName(f));
  Grid->setHorizontalHeaderLabels(heads);
  rows_.clear();
  std::vector<std::vector<std::string>> cells;
  std::vector<bool> deleted;
  table_.First();
  while (!table_.IsEmpty() && !table_.Eof() && table_.ErrorCode() == 0) {
    rows_.push_back(table_.RecNo());
    deleted.push_back(table_.RecordDeleted());
    std::vector<std::string> row;
    for (int f = 1; f <= fields; ++f) row.push_back(table_.SField(f));
    cells.push_back(std::move(row));
    const uint32_t before = table_.RecNo();
    table_.Next();
    if (table_.RecNo() == before) break;
  }
  Grid->setRowCount(static_cast<int>(rows_.size()));
  QStringList numbers;
  for (size_t r = 0; r < rows_.size(); ++r) {
    numbers << QString::number(rows_[r]) + (deleted[r] ? "*" : "");
    for (int f = 0; f < fields; ++f)
      Grid->setItem(static_cast<int>(r), f, new QTableWidgetItem(Q(cells[r][static_cast<size_t>(f)])));
  }
  Grid->setVerticalHeaderLabels(numbers);
  Grid->resizeColumnsToContents();
  loading_ = false;
  if (current >= 1 && current <= table_.RecCount()) table_.Go(current);
  SelectRecord(current);
  if (Grid->currentRow() < 0 && !rows_.empty()) Grid->setCurrentCell(0, 0);
  ShowError();
}

void TForm_dbfview::GridCurrentChanged(int row) {
  if (loading_ || row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  if (table_.RecNo() != rows_[static_cast<size_t>(row)]) table_.Go(rows_[static_cast<size_t>(row)]);
}

void TForm_dbfview::GridItemChanged(QTableWidgetItem* item) {
  if (loading_ || !spec_.Editable || !item) return;
  const int row = item->row();
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  table_.Go(rows_[static_cast<size_t>(row)]);
  table_.Edit();
  table_.PutFieldText(item->column() + 1, item->text().toStdString());
  if (!table_.Post()) {
    ShowError();
    table_.Cancel();
  }
  // Show the field as the table now holds it (widths, decimals).
  loading_ = true;
  item->setText(Q(table_.SField(item->column() + 1)));
  loading_ = false;
}

void TForm_dbfview::ShowError() {
  if (table_.ErrorCode() == 0) return;
  ErrorMessage("Fehler : DBF Error " + IntStr(table_.ErrorCode()) + "\n" + table_.ErrorText());
  table_.ClearError();
}

void TForm_dbfview::Navigate(NavButton button) {
  const bool editing = spec_.Editable;
  switch (button) {
    case NavFirst: table_.First(); break;
    case NavPrior: table_.Prior(); break;
    case NavNext: table_.Next(); if (table_.Eof()) table_.Last(); break;
    case NavLast: table_.Last(); break;
    case NavInsert:
      if (!editing) return;
      table_.Insert();
      if (!table_.Post()) ShowError();
      Reload();
      return;
    case NavDelete:
      if (!editing) return;
      if (!table_.SetDeleted(!table_.RecordDeleted())) ShowError();
      Reload();
      return;
    case NavEdit:
      if (editing && Grid->currentItem()) Grid->editItem(Grid->currentItem());
      return;
    case NavPost:  // the button took the focus from the cell editor, which wrote the field
      return;
    case NavCancel:
    case NavRefresh:
      if (button == NavRefresh || editing) Reload();
      return;
    default: return;
  }
  ShowError();
  SelectRecord(table_.RecNo());
}

void InstallTableViewWindow() {
  SetTableViewer([](kelpie::DbfDataset& table, const TableViewSpec& spec) {
    TForm_dbfview form(table, spec, DialogHostWindow());
    return form.exec() == QDialog::Accepted;
  });
}

}  // namespace qern
