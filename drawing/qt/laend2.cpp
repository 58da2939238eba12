// The drawing-information window: the title-block texts and the placed texts of the design.
#include "drawing/qt/laend2.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <vector>

#include "design/aendvar.h"
#include "design/qernio.h"
#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/sysutil.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

QString Shown(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }

QTableWidget* NewGrid(QWidget* parent, const char* name, int rows, const QStringList& columns,
                      const QStringList& rowHeads) {
  auto* g = new QTableWidget(rows, static_cast<int>(columns.size()), parent);
  g->setObjectName(name);
  g->setHorizontalHeaderLabels(columns);
  if (!rowHeads.isEmpty()) g->setVerticalHeaderLabels(rowHeads);
  g->horizontalHeader()->setStretchLastSection(true);
  g->setTabKeyNavigation(false);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < g->columnCount(); ++c) g->setItem(r, c, new QTableWidgetItem);
  return g;
}

// The grid exactly as high as its rows (no empty space below them).
void FitRows(QTableWidget* g) {
  int h = g->horizontalHeader()->sizeHint().height() + 2 * g->frameWidth();
  for (int r = 0; r < g->rowCount(); ++r) h += g->rowHeight(r);
  g->setFixedHeight(h);
  g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void SetCell(QTableWidget* g, int row, int col, const std::string& text) {
  g->item(row, col)->setText(Shown(text));
}

// Cell text as stored (row and column 0-based); a cell the grid does not have gives "".
std::string Cell(const QTableWidget* g, int row, int col) {
  if (row >= g->rowCount() || col >= g->columnCount() || !g->item(row, col)) return "";
  return AnsiStrToOem(g->item(row, col)->text().toStdString());
}

// Date and name of title-block rows 1 to 4.
std::array<std::pair<std::string*, std::string*>, 4> TitleRows(DrawingInfoRecord& d) {
  return {{{&d.TitleDrawnDate, &d.TitleDrawnName},
           {&d.TitleCheckedDate, &d.TitleCheckedName},
           {&d.TitleStandardDate, &d.TitleStandardName},
           {&d.TitleReleaseDate, &d.TitleReleaseName}}};
}

std::array<std::string*, 3> IsoFields(DrawingInfoRecord& d) {
  return {&d.TitleResponsibleDept, &d.TitleDocumentType, &d.TitleDocumentStatus};
}

}  // namespace

bool TForm_zeichInfo::IsoLayout() { return Settings.TitleBlockKind == 1 || Settings.TitleBlockKind == 2; }

TForm_zeichInfo::TForm_zeichInfo(QWidget* parent) : QDialog(parent) {
  setObjectName("TForm_zeichInfo");
  const bool iso = IsoLayout();
  setWindowTitle(QString::fromStdString(std::string("Zeichnungsinfo") + (iso ? " ISO 7200" : " DIN 6771")));
  DrawingInfoRecord& d = DrawingInfo;

  Label_ersatzfuer = new QLabel("Ersatz für", this);
  Label_ersatzfuer->setObjectName("Label_ersatzfuer");
  Label_ersetztdurch = new QLabel("Ersetzt durch", this);
  Label_ersetztdurch->setObjectName("Label_ersetztdurch");
  Edit_ersatzfuer = new QLineEdit(Shown(d.TitleReplaces), this);
  Edit_ersatzfuer->setObjectName("Edit_ersatzfuer");
  Edit_ersetztdurch = new QLineEdit(Shown(d.TitleReplacedBy), this);
  Edit_ersetztdurch->setObjectName("Edit_ersetztdurch");

  // Title-block rows.
  QStringList rowHeads;
  if (iso)
    rowHeads << "Erstellt durch" << "Genehmigt von" << "Technische Referenz";
  else
    rowHeads << "Bearb." << "Gepr." << "Norm" << Shown(Settings.ReleaseFieldText);
  StringGrid1 = NewGrid(this, "StringGrid1", static_cast<int>(rowHeads.size()),
                        {iso ? " (Datum)" : "Datum", "Name"}, rowHeads);
  const auto rows = TitleRows(d);
  for (int r = 0; r < StringGrid1->rowCount(); ++r) {
    SetCell(StringGrid1, r, 0, *rows[r].first);
    SetCell(StringGrid1, r, 1, *rows[r].second);
  }
  FitRows(StringGrid1);
  // The date buttons stand beside their rows.
  auto* dates = new QVBoxLayout;
  dates->setSpacing(0);
  dates->addSpacing(StringGrid1->horizontalHeader()->sizeHint().height() + StringGrid1->frameWidth());
  for (int i = 0; i < 4; ++i) {
    auto* b = new QPushButton(QString::fromStdString("< " + TodayStr()), this);
    b->setObjectName(QString("Button%1").arg(i + 1));
    b->setAutoDefault(false);
    b->setVisible(i < StringGrid1->rowCount());
    b->setFixedHeight(StringGrid1->rowHeight(0));
    connect(b, &QPushButton::clicked, this, [this, i] { DateButtonClick(i + 1); });
    DateButtons[i] = b;
    dates->addWidget(b);
  }
  dates->addStretch();

  StringGrid3 = NewGrid(this, "StringGrid3", 3, {"Text"},
                        {"Verantwortl. Abt.", "Dokumentenart", "Dokumentenstatus"});
  const auto iso3 = IsoFields(d);
  for (int r = 0; r < 3; ++r) SetCell(StringGrid3, r, 0, *iso3[r]);
  FitRows(StringGrid3);
  StringGrid3->setVisible(iso);

  // Placed texts.
  StringGrid2 = NewGrid(this, "StringGrid2", MaxPlacedTexts, {"x", "y", "h", "phi", "Text"}, {});
  for (int r = 0; r < std::min<int>(d.PlacedTextCount, MaxPlacedTexts); ++r) {
    const PlacedText& p = d.PlacedTexts[r];
    SetCell(StringGrid2, r, 0, PlacedNumberText(p.X));
    SetCell(StringGrid2, r, 1, PlacedNumberText(p.Y));
    SetCell(StringGrid2, r, 2, PlacedNumberText(p.Height));
    SetCell(StringGrid2, r, 3, PlacedNumberText(p.Angle));
    SetCell(StringGrid2, r, 4, p.Text);
  }
  FitRows(StringGrid2);
  connect(StringGrid2, &QTableWidget::cellChanged, this, &TForm_zeichInfo::PlacedCellChanged);
  ComboBox_zeichtextmode = new QComboBox(this);
  ComboBox_zeichtextmode->setObjectName("ComboBox_zeichtextmode");
  ComboBox_zeichtextmode->addItems({"A4", "A3", "A4+A3", "-"});
  ComboBox_zeichtextmode->setCurrentIndex(std::clamp(d.PlacedTextMode, 0, 3));
  connect(ComboBox_zeichtextmode, &QComboBox::currentIndexChanged, this,
          &TForm_zeichInfo::ComboBox_zeichtextmodeChange);
  ComboBox_zeichtextmodeChange();

  Button_ok = new QPushButton("OK", this);
  Button_ok->setObjectName("Button_ok");
  Button_ok->setDefault(true);
  Button_cancel = new QPushButton("Abbrechen", this);
  Button_cancel->setObjectName("Button_cancel");
  Button_cancel->setAutoDefault(false);
  Button_help = new QPushButton("&Hilfe", this);
  Button_help->setObjectName("Button_help");
  Button_help->setAutoDefault(false);
  connect(Button_ok, &QPushButton::clicked, this, &TForm_zeichInfo::Button_okClick);
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_zeichInfo::Button_cancelClick);
  connect(Button_help, &QPushButton::clicked, this, &TForm_zeichInfo::Button_helpClick);

  auto* refs = new QGridLayout;
  refs->addWidget(Label_ersatzfuer, 0, 0);
  refs->addWidget(Edit_ersatzfuer, 0, 1);
  refs->addWidget(Label_ersetztdurch, 1, 0);
  refs->addWidget(Edit_ersetztdurch, 1, 1);
  auto* title = new QHBoxLayout;
  title->addWidget(StringGrid1, 1, Qt::AlignTop);
  title->addLayout(dates);
  auto* placedHead = new QHBoxLayout;
  placedHead->addWidget(new QLabel("Text", this));
  placedHead->addWidget(ComboBox_zeichtextmode);
  placedHead->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  buttons->addWidget(Button_help);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(refs);
  layout->addLayout(title);
  layout->addWidget(StringGrid3);
  layout->addLayout(placedHead);
  layout->addWidget(StringGrid2);
  layout->addLayout(buttons);
  // Tab walks the window top down.
  std::vector<QWidget*> order = {Edit_ersatzfuer, Edit_ersetztdurch, StringGrid1};
  order.insert(order.end(), DateButtons.begin(), DateButtons.end());
  order.insert(order.end(), {StringGrid3, ComboBox_zeichtextmode, StringGrid2, Button_ok,
                             Button_cancel, Button_help});
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  setMinimumWidth(560);
  resize(sizeHint().expandedTo(minimumSize()));
  CentreDialog(this);
}

void TForm_zeichInfo::DateButtonClick(int row) {
  if (row >= 1 && row <= StringGrid1->rowCount())
    StringGrid1->item(row - 1, 0)->setText(QString::fromStdString(TodayStr()));
}

void TForm_zeichInfo::ComboBox_zeichtextmodeChange() {
  StringGrid2->setVisible(ComboBox_zeichtextmode->currentIndex() != 3);
}

void TForm_zeichInfo::TakePlacedTexts(DrawingInfoRecord& d) const {
  // Row 1 always, each further row while its text is not blank.
  int taken = 0;
  for (int r = 0; r < MaxPlacedTexts; ++r) {
    if (r > 0 && WithoutBlanks(Cell(StringGrid2, r, 4)).empty()) break;
    PlacedText& p = d.PlacedTexts[r];
    p.X = StrToReal(TrimBlanks(Cell(StringGrid2, r, 0)));
    p.Y = StrToReal(TrimBlanks(Cell(StringGrid2, r, 1)));
    p.Height = StrToReal(TrimBlanks(Cell(StringGrid2, r, 2)));
    p.Angle = StrToReal(TrimBlanks(Cell(StringGrid2, r, 3)));
    p.Text = Cell(StringGrid2, r, 4);
    ++taken;
  }
  d.PlacedTextCount = static_cast<std::uint16_t>(taken);
}

std::optional<OutOfRangeValue> TForm_zeichInfo::PlacedNumberOutOfRange(int row, int column) const {
  DrawingInfoRecord d = DrawingInfo;
  TakePlacedTexts(d);
  static const char* const what[] = {" X", " Y", " Höhe", " Winkel"};
  for (const OutOfRangeValue& v : PlacedTextsOutOfRange(d)) {
    if (row < 0) return v;
    if (column >= 0 && column < 4 &&
        v.Name == "Zeichnungstext " + std::to_string(row + 1) + what[column])
      return v;
  }
  return std::nullopt;
}

void TForm_zeichInfo::PlacedCellChanged(int row, int column) {
  if (column > 3) return;
  if (const auto v = PlacedNumberOutOfRange(row, column)) ErrorMessage(OutOfRangeText(*v));
}

void TForm_zeichInfo::Button_okClick() {
  Flags.AbortFlag = false;
  // A number the design file could not hold keeps the window open, as the geometry window does.
  if (const auto v = PlacedNumberOutOfRange(-1, -1)) {
    ErrorMessage(OutOfRangeText(*v));
    return;
  }
  DrawingInfoRecord& d = DrawingInfo;
  d.TitleReplaces = AnsiStrToOem(Edit_ersatzfuer->text().toStdString());
  d.TitleReplacedBy = AnsiStrToOem(Edit_ersetztdurch->text().toStdString());
  // Rows the grid does not show (the release row of the ISO layout) keep their stored texts.
  const auto rows = TitleRows(d);
  for (int r = 0; r < StringGrid1->rowCount() && r < 4; ++r) {
    *rows[r].first = Cell(StringGrid1, r, 0);
    *rows[r].second = Cell(StringGrid1, r, 1);
  }
  TakePlacedTexts(d);
  d.PlacedTextMode = ComboBox_zeichtextmode->currentIndex();
  if (IsoLayout()) {
    const auto iso3 = IsoFields(d);
    for (int r = 0; r < 3; ++r) *iso3[r] = Cell(StringGrid3, r, 0);
  }
  accept();
}

void TForm_zeichInfo::Button_cancelClick() {
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_zeichInfo::reject() { Button_cancelClick(); }

void TForm_zeichInfo::Button_helpClick() { ShowHelpEntry(3010, "", 1); }

void ShowDrawingInfo() {
  TForm_zeichInfo form(DialogHostWindow());
  form.exec();
}

}  // namespace qern
