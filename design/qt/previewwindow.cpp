// The file overview window and its small search window.
#include "design/qt/previewwindow.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTableView>
#include <QVBoxLayout>

#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
constexpr int OverviewHelpEntry = 3400;
}  // namespace

// The data rows of the table as a model; the header row is the horizontal header.
class OverviewModel : public QAbstractTableModel {
 public:
  OverviewModel(FileOverview& table, QObject* parent) : QAbstractTableModel(parent), table_(table) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : std::max(table_.RowCount() - 1, 0);
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : OverviewColumns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    // The values stand right-aligned, so their points line up.
    if (role == Qt::TextAlignmentRole && index.column() >= 4)
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    return Q(table_.Rows[index.row() + 1][index.column()]);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (table_.Rows.empty() || section < 0 || section >= OverviewColumns) return {};
    return Q(table_.Rows[0][section]);
  }
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  FileOverview& table_;
};

TForm_preview::TForm_preview(FileOverview& table, std::function<void(int row)> openRow,
                             QWidget* parent)
    : QDialog(parent), table_(table), openRow_(std::move(openRow)) {
  setObjectName("Form_preview");
  MainMenu1 = new QMenuBar(this);
  mi_File = MainMenu1->addMenu(QString());
  mi_fileExportExcel = mi_File->addAction("Export Excel");
  mi_fileExportExcel->setObjectName("mi_fileExportExcel");
  mi_fileExit = mi_File->addAction(QString());
  mi_fileExit->setObjectName("mi_fileExit");
  mi_edit = MainMenu1->addMenu(QString());
  mi_editsearch = mi_edit->addAction(QString());
  mi_editsearch->setObjectName("mi_editsearch");
  mi_editsearch->setShortcut(QKeySequence::Find);
  SearchNext1 = mi_edit->addAction("Search &Next");
  SearchNext1->setObjectName("SearchNext1");
  SearchNext1->setShortcut(QKeySequence::FindNext);
  mi_Help = MainMenu1->addMenu(QString());
  mi_HelpHelp = mi_Help->addAction(QString());
  mi_HelpHelp->setObjectName("mi_HelpHelp");
  connect(mi_fileExportExcel, &QAction::triggered, this, [this] { mi_fileExportExcelClick(); });
  connect(mi_fileExit, &QAction::triggered, this, [this] { mi_fileExitClick(); });
  connect(mi_editsearch, &QAction::triggered, this, [this] { mi_editsearchClick(); });
  connect(SearchNext1, &QAction::triggered, this, [this] { SearchNext1Click(); });
  connect(mi_HelpHelp, &QAction::triggered, this, [this] { mi_HelpHelpClick(); });

  StringGrid1 = new QTableView(this);
  StringGrid1->setObjectName("StringGrid1");
  model_ = new OverviewModel(table_, this);
  StringGrid1->setModel(model_);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setWordWrap(false);
  StringGrid1->verticalHeader()->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 6);
  StringGrid1->horizontalHeader()->setSectionsClickable(true);
  StringGrid1->horizontalHeader()->viewport()->installEventFilter(this);
  connect(StringGrid1, &QTableView::clicked, this,
          [this](const QModelIndex& i) { StringGrid1SelectCell(i.column(), i.row() + 1); });
  connect(StringGrid1, &QTableView::activated, this,
          [this](const QModelIndex& i) { StringGrid1SelectCell(i.column(), i.row() + 1); });

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(MainMenu1);
  layout->addWidget(StringGrid1);
  resize(900, 520);
  FormCreate();
}

void TForm_preview::FormCreate() {
  mi_File->setTitle(Q(ConvertDisplayText(MenuCaptions.File)));
  mi_fileExit->setText(Q(ConvertDisplayText(MenuCaptions.Exit)));
  mi_Help->setTitle(Q(ConvertDisplayText(MenuCaptions.Help)));
  mi_HelpHelp->setText(Q(ConvertDisplayText(MenuCaptions.Help)));
  mi_edit->setTitle(Q(ConvertDisplayText(MenuCaptions.Edit)));
  mi_editsearch->setText("Search");
  remembered_ = 0;
  // File, date and part numbers at their fixed widths (the date no narrower than its text), the
  // values as wide as their head; the window shows every column.
  const QFontMetrics metrics = StringGrid1->fontMetrics();
  const int padding = 12;
  StringGrid1->setColumnWidth(0, 120);
  StringGrid1->setColumnWidth(1, std::max(64, metrics.horizontalAdvance("2000/00/00") + padding));
  StringGrid1->setColumnWidth(2, 90);
  StringGrid1->setColumnWidth(3, 90);
  for (int c = 4; c < OverviewColumns; ++c)
    StringGrid1->setColumnWidth(
        c, std::max(64, metrics.horizontalAdvance(Q(table_.Rows.empty() ? "" : table_.Rows[0][c])) +
                            2 * padding));
  StringGrid1->horizontalHeader()->setStretchLastSection(true);
  int width = StringGrid1->verticalHeader()->sizeHint().width() + 2 * StringGrid1->frameWidth() +
              StringGrid1->verticalScrollBar()->sizeHint().width() + 24;
  for (int c = 0; c < OverviewColumns; ++c) width += StringGrid1->columnWidth(c);
  resize(std::max(this->width(), width), height());
  CentreDialog(this);
}

void TForm_preview::showEvent(QShowEvent* event) {
  FormActivate();
  QDialog::showEvent(event);
}

void TForm_preview::FormActivate() {
  setWindowTitle(Q(ConvertDisplayText(Session.CurrentFileFolder + "  " + Ident.ProductName)));
}

void TForm_preview::RefreshGrid() {
  model_->Reset();
  if (table_.Selected > 0 && table_.Selected < table_.RowCount()) {
    const QModelIndex index = model_->index(table_.Selected - 1, table_.SelectedColumn);
    StringGrid1->setCurrentIndex(index);
    StringGrid1->scrollTo(index);
  } else {
    StringGrid1->clearSelection();
  }
}

void TForm_preview::StringGrid1SelectCell(int column, int row) {
  if (row < 1 || row >= table_.RowCount()) return;
  table_.SelectedColumn = column;
  table_.Selected = row;
  if (row == remembered_) return;
  remembered_ = row;
  Flags.AbortFlag = false;
  if (openRow_) openRow_(row);
}

void TForm_preview::HeaderPressed(int column) {
  if (column < 0 || column >= OverviewColumns) return;
  const std::vector<int> moved = SortByColumn(table_, column);
  // The remembered row is the open file's: it moves with its row.
  if (remembered_ > 0 && remembered_ < static_cast<int>(moved.size())) remembered_ = moved[remembered_];
  RefreshGrid();
}

bool TForm_preview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StringGrid1->horizontalHeader()->viewport() &&
      event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    HeaderPressed(StringGrid1->horizontalHeader()->logicalIndexAt(mouse->position().toPoint()));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TForm_preview::SearchFrom(int startRow) {
  if (SearchGrid(table_, startRow))
    RefreshGrid();
  else
    ShowMessageBox(table_.SearchText + " not found.");
}

void TForm_preview::mi_editsearchClick() {
  std::string text = table_.SearchText;
  if (!AskSearchText(text, this)) return;
  table_.SearchText = text;
  SearchFrom(0);
}

void TForm_preview::SearchNext1Click() {
  if (table_.SearchText.empty()) {
    mi_editsearchClick();
    return;
  }
  SearchFrom(table_.Selected);
}

void TForm_preview::mi_fileExportExcelClick() { ExportOverview(table_); }

void TForm_preview::mi_fileExitClick() {
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_preview::reject() { mi_fileExitClick(); }

void TForm_preview::mi_HelpHelpClick() {
  ShowHelpEntry(OverviewHelpEntry, "", 1);
  Flags.AbortFlag = false;
}

bool AskSearchText(std::string& text, QWidget* parent) {
  QDialog form(parent);
  form.setObjectName("Form_Suchen");
  form.setWindowTitle("Search");
  auto* label = new QLabel("Search", &form);
  auto* edit = new QLineEdit(Q(text), &form);
  edit->setObjectName("Edit_search");
  edit->selectAll();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &form);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &form, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &form, &QDialog::reject);
  auto* layout = new QVBoxLayout(&form);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addWidget(buttons);
  CentreDialog(&form);
  if (form.exec() != QDialog::Accepted) return false;
  text = edit->text().toStdString();
  return true;
}

}  // namespace qern
