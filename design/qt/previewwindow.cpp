// The file overview window and its small search window.
#include "design/qt/previewwindow.h"

#include <QAbstractTableModel>
#include <QEvent>
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
#include <algorithm>
#include <array>
#include <unordered_map>

#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/menucaptions.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
constexpr int OverviewHelpEntry = 3400;
constexpr int MinColumnWidth = 24;
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
  StringGrid1->viewport()->installEventFilter(this);
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
  MeasureColumns();
  StringGrid1->horizontalHeader()->setStretchLastSection(true);
  // As wide as the columns need, within the screen's width.
  int width = StringGrid1->verticalHeader()->sizeHint().width() + 2 * StringGrid1->frameWidth() +
              StringGrid1->verticalScrollBar()->sizeHint().width() + 24;
  for (int w : contentWidths_) width += w;
  const QMargins frame = WindowFrameMargins();
  const int screenWidth = AvailableScreenArea().width() - frame.left() - frame.right();
  resize(std::max(this->width(), std::min(width, screenWidth)), height());
  CentreDialog(this);
  FitColumns();
}

void TForm_preview::MeasureColumns() {
  // Every cell's width is estimated from the advances of its characters (kept per character);
  // the few widest estimates of each column are then measured as the font sets them. So a
  // folder of many files costs no text layout per cell.
  constexpr int Measured = 12;
  constexpr int Padding = 14;
  const QFontMetrics cells = StringGrid1->fontMetrics();
  const QFontMetrics heads = StringGrid1->horizontalHeader()->fontMetrics();
  std::array<int, 128> ascii{};
  for (int c = 32; c < 128; ++c) ascii[c] = cells.horizontalAdvance(QChar(c));
  std::unordered_map<char32_t, int> other;
  auto estimate = [&](const std::string& s) {
    int w = 0;
    for (std::size_t i = 0; i < s.size();) {
      const unsigned char b = static_cast<unsigned char>(s[i]);
      if (b < 128) {
        w += ascii[b];
        ++i;
        continue;
      }
      const char32_t ch = DecodeUtf8(s, i);
      auto it = other.find(ch);
      if (it == other.end())
        it = other.emplace(ch, cells.horizontalAdvance(QString::fromUcs4(&ch, 1))).first;
      w += it->second;
    }
    return w;
  };
  contentWidths_.assign(OverviewColumns, 0);
  std::vector<std::pair<int, int>> widest;  // estimate, row
  for (int c = 0; c < OverviewColumns; ++c) {
    widest.clear();
    for (int r = 1; r < table_.RowCount(); ++r) {
      const std::string& text = table_.Rows[r][c];
      if (text.empty()) continue;
      const int w = estimate(text);
      if (static_cast<int>(widest.size()) < Measured) {
        widest.emplace_back(w, r);
        std::push_heap(widest.begin(), widest.end(), std::greater<>());
      } else if (w > widest.front().first) {
        std::pop_heap(widest.begin(), widest.end(), std::greater<>());
        widest.back() = {w, r};
        std::push_heap(widest.begin(), widest.end(), std::greater<>());
      }
    }
    int need = table_.Rows.empty() ? 0 : heads.horizontalAdvance(Q(table_.Rows[0][c])) + Padding;
    for (const auto& [w, r] : widest)
      need = std::max(need, cells.horizontalAdvance(Q(table_.Rows[r][c])) + Padding);
    contentWidths_[c] = std::max(need, MinColumnWidth);
  }
}

void TForm_preview::FitColumns() {
  if (contentWidths_.empty()) return;
  const int room = StringGrid1->viewport()->width();
  // The common width of the cut columns: the largest cap at which all columns fit.
  std::vector<int> sorted = contentWidths_;
  std::sort(sorted.begin(), sorted.end());
  int cap = sorted.back();
  int fixed = 0;  // the columns below the cap at their own widths
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    const int rest = static_cast<int>(sorted.size() - i);
    if (fixed + sorted[i] * rest > room) {
      cap = std::max(MinColumnWidth, (room - fixed) / rest);
      break;
    }
    fixed += sorted[i];
  }
  for (int c = 0; c < OverviewColumns; ++c)
    StringGrid1->setColumnWidth(c, std::min(contentWidths_[c], cap));
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
  if (watched == StringGrid1->viewport() && event->type() == QEvent::Resize) FitColumns();
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
