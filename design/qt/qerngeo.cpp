// The geometry input window: shaft and hub inputs, live recalculation, results and messages.
// The mapping of fields to the design record, the enable rules and the presets are in
// design/qerngeomodel.h; this file only places the controls and wires them.
#include "design/qt/qerngeo.h"

#include <QButtonGroup>
#include <QGuiApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "design/qerncalc.h"
#include "framework/help.h"
#include "framework/qt/formhelp.h"
#include "framework/sysutil.h"
#include "framework/uhelperr.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

std::function<void()> drawingHandler;

QString Shown(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }

QLabel* NewLabel(QWidget* parent, const char* name, const std::string& text) {
  auto* l = new QLabel(Shown(text), parent);
  l->setObjectName(name);
  return l;
}

// A result: drawn whole when it fits, else shortened at its end with "…", so that its sign and
// leading digits always show (a right-aligned label cut them off at its left without a mark).
class ResultLabel : public QLabel {
 public:
  ResultLabel(QWidget* parent, const char* name, const std::string& text)
      : QLabel(Shown(text), parent) {
    setObjectName(name);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    const QRect room = contentsRect();
    if (fontMetrics().horizontalAdvance(text()) <= room.width()) return QLabel::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    p.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
  }
};

// A field whose value changes while the user types fills its own background: its repaint then
// needs no repaint of the boxes and the window behind it. The colour is the one its box paints
// there, taken when the window is first shown (MatchOwnBackgrounds).
void PaintsItsOwnBackground(QWidget* w) {
  w->setBackgroundRole(QPalette::Window);
  w->setAutoFillBackground(true);
  w->setProperty("qernOwnBackground", true);
}

// Each such field takes the colour its parent paints at the field's centre (a box may shade its
// inside a little), so the fill cannot be told from what lies around it.
void MatchOwnBackgrounds(QWidget* window) {
  std::map<QWidget*, QImage> backgrounds;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->property("qernOwnBackground").toBool() || !w->parentWidget()) continue;
    QWidget* parent = w->parentWidget();
    auto [it, fresh] = backgrounds.try_emplace(parent);
    if (fresh) {
      it->second = QImage(parent->size(), QImage::Format_ARGB32_Premultiplied);
      it->second.fill(Qt::transparent);
      parent->render(&it->second, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    }
    const QPoint c = w->geometry().center();
    if (!it->second.rect().contains(c)) continue;
    QColor colour = it->second.pixelColor(c);
    if (colour.alpha() != 255) continue;  // nothing opaque painted there: keep the window colour
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
  }
}

// A scroll area that asks for the whole size of its contents: the window takes that size when
// the screen has room for it and scrolls only on a smaller screen.
class WholeContentScrollArea : public QScrollArea {
 public:
  using QScrollArea::QScrollArea;
  QSize sizeHint() const override {
    const int frame = 2 * frameWidth();
    if (!widget()) return QScrollArea::sizeHint();
    return widget()->sizeHint() + QSize(frame + verticalScrollBar()->sizeHint().width(), frame);
  }
};

}  // namespace

// ---- Creation ---------------------------------------------------------------------------------

TForm_qerngeo::TForm_qerngeo(QWidget* parent) : QDialog(parent) {
  updating_ = true;
  savedDesign_ = Design;
  savedErrors_ = Errors;
  savedFatal_ = Flags.FatalError;
  setObjectName("TForm_qerngeo");
  setWindowTitle(Shown(Ident.Banner));
  inputs_ = InputsFromDesign(Design);
  enabled_ = EnabledFields(inputs_.Choices);
  BuildControls();
  BuildLayout();
  SetTabOrder();
  SetHints();
  resize(sizeHint());
  CentreDialog(this);
  FitToScreen();
  updating_ = false;
}

void TForm_qerngeo::FitToScreen() { PlaceWindowClient(this, geometry()); }

// A fixed size in both directions: a new value repaints the field alone and asks the window for
// no new layout. Room for the longest value (ResultTextWidth characters, each as wide as the
// widest character of a number) in the font of the moment.
void TForm_qerngeo::SizeResultFields() {
  if (!Label_d) return;
  // The window's own font: while it changes, the labels may not have taken it yet.
  const QFontMetrics metrics = fontMetrics();
  int widest = 0;
  for (const QChar c : QStringLiteral("0123456789+-.,E")) widest = std::max(widest, metrics.horizontalAdvance(c));
  const int number = widest * ResultTextWidth + 4;
  const int height = std::max(metrics.height(), metrics.lineSpacing());
  Label_d->setFixedSize(metrics.horizontalAdvance("d =  mm") + number, height);
  for (const auto& row : ResultLabels)
    for (int part : {1, 2}) row[part]->setFixedSize(number, height);
  if (ResultsPanel) {
    ResultsPanel->setMinimumWidth(0);
    if (QLayout* l = ResultsPanel->layout()) l->invalidate();
    ResultsPanel->setMinimumWidth(ResultsPanel->sizeHint().width());
  }
}

// Room for the longest text a field shows ("-1.234568e-300": 14 characters, each as wide as the
// widest character of a number) in the font of the moment, with the field's frame and margins:
// a number is shown whole, with its sign, leading digits and exponent, at every font scale.
void TForm_qerngeo::SizeInputFields() {
  // The window's own font, as for the result fields.
  const QFontMetrics metrics = fontMetrics();
  int widest = 0;
  for (const QChar c : QStringLiteral("0123456789+-.,eEINFA"))
    widest = std::max(widest, metrics.horizontalAdvance(c));
  for (QWidget* control : fieldControls_) {
    if (!control) continue;
    if (auto* e = qobject_cast<QLineEdit*>(control)) {
      // What the field adds around its text: the difference of its own size hint (17 'x' wide).
      const int x = e->fontMetrics().horizontalAdvance(QLatin1Char('x'));
      const int frame = std::max(0, e->sizeHint().width() - 17 * x);
      e->setFixedWidth(widest * 14 + frame + 2);
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
      spin->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00000")) + 40);
    }
  }
}

void TForm_qerngeo::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    SizeInputFields();
    SizeResultFields();
  }
}

void TForm_qerngeo::BuildControls() {
  RadioButton_rad12 = new QRadioButton(Shown("1 + 2"), this);
  RadioButton_rad12->setObjectName("RadioButton_rad12");
  RadioButton_rad1c = new QRadioButton(Shown("1 (external spline) + c"), this);
  RadioButton_rad1c->setObjectName("RadioButton_rad1c");
  RadioButton_rad2c = new QRadioButton(Shown("2 (internal spline) + c"), this);
  RadioButton_rad2c->setObjectName("RadioButton_rad2c");
  auto* fitGroup = new QButtonGroup(this);
  fitGroup->addButton(RadioButton_rad12);
  fitGroup->addButton(RadioButton_rad1c);
  fitGroup->addButton(RadioButton_rad2c);
  connect(fitGroup, &QButtonGroup::buttonClicked, this, [this] { UpdateGeometryInputStates(); });

  auto group = [this](const char* name, const std::string& caption, QStringList items,
                      Qt::Orientation orientation = Qt::Vertical) {
    auto* g = new TRadioGroup(Shown(caption), items, this, orientation);
    g->setObjectName(name);
    connect(g, &TRadioGroup::Clicked, this, [this] { UpdateGeometryInputStates(); });
    return g;
  };
  RadioGroup_mnpn = group("RadioGroup_mnpn", "Teilung", {"mn", "Pn"});
  RadioGroup_wal = group("RadioGroup_wal", "Winkel",
                         {Shown("Eingriffswinkel alpha"), Shown("Lückenwinkel gammae"),
                          Shown("Lückenwinkel gammai")});
  RadioGroup_pm1 = group("RadioGroup_pm1", "x aus", {"x", "sn", "MdR"}, Qt::Horizontal);
  RadioGroup_pm2 = group("RadioGroup_pm2", "x aus", {"x", "en", "MdR"}, Qt::Horizontal);
  RadioGroup_de = group("RadioGroup_de", "de aus", {"he/mn", "de", "rf"});
  RadioGroup_di = group("RadioGroup_di", "di aus", {"hi/mn", "di", "rf"});
  CheckBox_cmn = new QCheckBox(Shown("Spiele als Vielfaches von mn"), this);
  CheckBox_cmn->setObjectName("CheckBox_cmn");
  connect(CheckBox_cmn, &QCheckBox::clicked, this, [this] { UpdateGeometryInputStates(); });

  // Fields: every edit recalculates on change while it is enabled.
  QLineEdit** edits[GeoFieldCount] = {
      &Edit_pn,   &Edit_mn,   &Edit_wal,  &Edit_wgammae, &Edit_wgammai, nullptr,
      &Edit_xe1,  &Edit_xe2,  &Edit_mdr1, &Edit_mdr2,    &Edit_sn1,     &Edit_en2,
      &Edit_dmess1, &Edit_dmess2, &Edit_fhf1, &Edit_fhf2, &Edit_fha1,   &Edit_fha2,
      &Edit_rf1,  &Edit_rf2,  &Edit_df1,  &Edit_df2,     &Edit_da1,     &Edit_da2,
      &Edit_ce,   &Edit_ci,   &Edit_cp,   &Edit_cemn,    &Edit_cimn,    &Edit_cpmn};
  for (int i = 0; i < GeoFieldCount; ++i) {
    GeoField f = FieldAt(i);
    if (f == GeoField::Z) {
      SpinEdit_z = new QSpinBox(this);
      SpinEdit_z->setObjectName(FieldControlName(f));
      SpinEdit_z->setRange(0, MaxToothCount);
      SpinEdit_z->setValue(static_cast<int>(inputs_.Value[i]));
      connect(SpinEdit_z, &QSpinBox::valueChanged, this, [this] { FieldChanged(GeoField::Z); });
      fieldControls_[i] = SpinEdit_z;
    } else {
      auto* e = new QLineEdit(QString::fromStdString(FieldText(f, inputs_.Value[i])), this);
      e->setObjectName(FieldControlName(f));
      // One width whatever the contents, so that the window never shifts while typing
      // (SizeInputFields).
      PaintsItsOwnBackground(e);
      connect(e, &QLineEdit::textChanged, this, [this, f] { FieldChanged(f); });
      *edits[i] = e;
      fieldControls_[i] = e;
    }
    if (FieldKind(f) == GeoFieldKind::Length) {
      unitLabels_[i] = NewLabel(this, (std::string("Label_unit_") + (FieldControlName(f) + 5)).c_str(),
                                LengthUnitStr());
    }
  }

  QPushButton** presets[GeoPresetCount] = {
      &Button_fhf1, &Button_fhf2, &Button_rf1,  &Button_rf2,  &Button_cemn, &Button_cimn,
      &Button_cpmn, &Button_dmess1, &Button_dmess2, &Button_da1, &Button_da2, &Button_xe1,
      &Button_sn1,  &Button_mdr1, &Button_xe2,  &Button_en2,  &Button_mdr2};
  for (int i = 0; i < GeoPresetCount; ++i) {
    auto p = static_cast<GeoPreset>(i);
    auto* b = new QPushButton("<", this);
    b->setObjectName(QString::fromStdString(PresetControlName(p)));
    b->setAutoDefault(false);
    b->setFixedWidth(26);
    connect(b, &QPushButton::clicked, this, [this, p] { PresetClick(p); });
    *presets[i] = b;
    presetButtons_[i] = b;
  }

  Label_mn = NewLabel(this, "Label_mn", "Normalmodul mn");
  Label_pn = NewLabel(this, "Label_pn", "Normal Pitch Pn");
  Label_z = NewLabel(this, "Label_z", "Zähnezahl z");
  Label_d = new ResultLabel(this, "Label_d", PitchDiameterText(Design));
  PaintsItsOwnBackground(Label_d);
  Label_xe = NewLabel(this, "Label_xe", "Erzeug.Prof.versch.faktor");
  Label_xe1 = NewLabel(this, "Label_xe1", "x1");
  Label_xe2 = NewLabel(this, "Label_xe2", "x2");
  Label_sn = NewLabel(this, "Label_sn", "Normalzahndicke");
  Label_sn1 = NewLabel(this, "Label_sn1", "sn1");
  Label_en2 = NewLabel(this, "Label_en2", "en2");
  Label_mdr = NewLabel(this, "Label_mdr", "Diametrales Zweirollenmaß");
  Label_mdr1 = NewLabel(this, "Label_mdr1", "MdR1");
  Label_mdr2 = NewLabel(this, "Label_mdr2", "MdR2");
  Label_dm = NewLabel(this, "Label_dm", "DM");
  label_dmess1 = NewLabel(this, "label_dmess1", "Dm1");
  Label_dmess2 = NewLabel(this, "Label_dmess2", "Dm2");
  Label_dmajor = NewLabel(this, "Label_dmajor", "major diameter");
  Label_dminor = NewLabel(this, "Label_dminor", "minor diameter");
  Label_fhf = NewLabel(this, "Label_fhf", "Zahnhöhenfaktor");
  Label_fha = NewLabel(this, "Label_fha", "Zahnhöhenfaktor");
  Label_fhf1 = NewLabel(this, "Label_fhf1", "hf1/mn");
  Label_fhf2 = NewLabel(this, "Label_fhf2", "hf2/mn");
  Label_fha1 = NewLabel(this, "Label_fha1", "ha1/mn");
  Label_fha2 = NewLabel(this, "Label_fha2", "ha2/mn");
  Label_da1 = NewLabel(this, "Label_da1", "da1");
  Label_da2 = NewLabel(this, "Label_da2", "da2");
  Label_df1 = NewLabel(this, "Label_df1", "df1");
  Label_df2 = NewLabel(this, "Label_df2", "df2");
  Label_fr1 = NewLabel(this, "Label_fr1", "Fußausrundungsradius");
  Label_fr2 = NewLabel(this, "Label_fr2", "Fußausrundungsradius");
  Label_rf1 = NewLabel(this, "Label_rf1", "rf1");
  Label_rf2 = NewLabel(this, "Label_rf2", "rf2");
  Label_ce = NewLabel(this, "Label_ce", "ce");
  Label_ci = NewLabel(this, "Label_ci", "ci");
  Label_cp = NewLabel(this, "Label_cp", "cp");
  Label_cemn = NewLabel(this, "Label_cemn", "ce/mn");
  Label_cimn = NewLabel(this, "Label_cimn", "ci/mn");
  Label_cpmn = NewLabel(this, "Label_cpmn", "cp/mn");

  Label_err = NewLabel(this, "Label_err", "Fehler : ");
  Label_err->setVisible(false);
  Memo_err = new QPlainTextEdit(this);
  Memo_err->setObjectName("Memo_err");
  Memo_err->setReadOnly(true);
  Memo_err->setMinimumHeight(110);
  QPalette pal = Memo_err->palette();
  pal.setColor(QPalette::Base, QColor(255, 0, 0));  // colour 255
  pal.setColor(QPalette::Text, Qt::white);
  Memo_err->setPalette(pal);
  Memo_err->setVisible(false);

  for (const GeometryResultLine& line : GeometryResults(Design)) {
    int n = static_cast<int>(ResultLabels.size());
    std::array<QLabel*, 3> row{};
    row[0] = NewLabel(this, QStringLiteral("Label_result%1").arg(n).toUtf8().constData(), line.Caption);
    row[1] = new ResultLabel(this, QStringLiteral("Label_result%1_1").arg(n).toUtf8().constData(), line.Shaft);
    row[2] = new ResultLabel(this, QStringLiteral("Label_result%1_2").arg(n).toUtf8().constData(), line.Hub);
    row[1]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PaintsItsOwnBackground(row[1]);
    PaintsItsOwnBackground(row[2]);
    ResultLabels.push_back(row);
  }
  SizeResultFields();

  auto button = [this](const char* name, const std::string& caption) {
    auto* b = new QPushButton(Shown(caption), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  Button_ok = button("Button_ok", "OK");
  Button_ok->setDefault(true);
  Button_cancel = button("Button_cancel", "Abbrechen");
  Button_help = button("Button_help", "&Hilfe");
  Button_hilfebild = button("Button_hilfebild", "Hilfe&bild");
  Button_dmess = button("Button_dmess", "?");
  Button_dmess->setFixedWidth(26);
  Button_metric = button("Button_metric", "mm <--> in");
  Button_calc = button("Button_calc", "Berechnen");
  connect(Button_ok, &QPushButton::clicked, this, &TForm_qerngeo::Button_okClick);
  connect(Button_cancel, &QPushButton::clicked, this, &TForm_qerngeo::Button_cancelClick);
  connect(Button_help, &QPushButton::clicked, this, &TForm_qerngeo::Button_helpClick);
  connect(Button_hilfebild, &QPushButton::clicked, this, &TForm_qerngeo::Button_hilfebildClick);
  connect(Button_dmess, &QPushButton::clicked, this, &TForm_qerngeo::Button_dmessClick);
  connect(Button_metric, &QPushButton::clicked, this, &TForm_qerngeo::Button_metricClick);
  connect(Button_calc, &QPushButton::clicked, this, &TForm_qerngeo::Button_calcClick);

  ShowChoices(inputs_.Choices);
  for (int i = 0; i < GeoFieldCount; ++i) fieldControls_[i]->setEnabled(enabled_[i]);
  SizeInputFields();
}

void TForm_qerngeo::BuildLayout() {
  // A row of one part: caption, edit, unit, preset button.
  auto part = [this](QGridLayout* g, int row, int col, QLabel* caption, GeoField f, QPushButton* b) {
    if (caption) g->addWidget(caption, row, col);
    g->addWidget(FieldControl(f), row, col + 1);
    if (QLabel* unit = UnitLabel(f)) g->addWidget(unit, row, col + 2);
    if (b) g->addWidget(b, row, col + 3);
  };
  auto grid = [](QGroupBox* box) {
    auto* g = new QGridLayout(box);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(3);
    g->setColumnStretch(0, 1);
    return g;
  };
  auto head = [this](const char* text) {
    auto* l = new QLabel(Shown(text), this);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
  };

  // Fit mode, angle and pitch choices.
  auto* fitBox = new QGroupBox(Shown("Passungsart"), this);
  auto* fitLayout = new QVBoxLayout(fitBox);
  fitLayout->setContentsMargins(6, 2, 6, 2);
  fitLayout->setSpacing(0);
  fitLayout->addWidget(RadioButton_rad12);
  fitLayout->addWidget(RadioButton_rad1c);
  fitLayout->addWidget(RadioButton_rad2c);
  auto* choices = new QHBoxLayout;
  choices->addWidget(fitBox);
  choices->addWidget(RadioGroup_wal);
  choices->addWidget(RadioGroup_mnpn);

  // Basic data.
  auto* basicBox = new QGroupBox(Shown("Grunddaten"), this);
  auto* basic = grid(basicBox);
  auto* walLabel = new QLabel("alpha", this);
  auto* gammaELabel = new QLabel("gamma e", this);
  auto* gammaILabel = new QLabel("gamma i", this);
  auto* pnUnit = new QLabel("1/in", this);
  basic->addWidget(Label_mn, 0, 0);
  basic->addWidget(Edit_mn, 0, 1);
  basic->addWidget(UnitLabel(GeoField::Mn), 0, 2);
  basic->addWidget(Label_pn, 1, 0);
  basic->addWidget(Edit_pn, 1, 1);
  basic->addWidget(pnUnit, 1, 2);
  basic->addWidget(Label_z, 2, 0);
  basic->addWidget(SpinEdit_z, 2, 1);
  basic->addWidget(walLabel, 0, 3);
  basic->addWidget(Edit_wal, 0, 4);
  basic->addWidget(new QLabel(Shown(DegreeStr()), this), 0, 5);
  basic->addWidget(gammaELabel, 1, 3);
  basic->addWidget(Edit_wgammae, 1, 4);
  basic->addWidget(new QLabel(Shown(DegreeStr()), this), 1, 5);
  basic->addWidget(gammaILabel, 2, 3);
  basic->addWidget(Edit_wgammai, 2, 4);
  basic->addWidget(new QLabel(Shown(DegreeStr()), this), 2, 5);
  basic->addWidget(Label_d, 3, 0, 1, 3);

  // Profile shift and pin measurement per part.
  auto* shiftBox = new QGroupBox(Shown("Profilverschiebung und Prüfmaß"), this);
  auto* shift = grid(shiftBox);
  shift->addWidget(head("Welle (1)"), 0, 1, 1, 4);
  shift->addWidget(head("Nabe (2)"), 0, 5, 1, 4);
  shift->addWidget(RadioGroup_pm1, 1, 1, 1, 4);
  shift->addWidget(RadioGroup_pm2, 1, 5, 1, 4);
  shift->addWidget(Label_xe, 2, 0);
  part(shift, 2, 1, Label_xe1, GeoField::Xe1, Button_xe1);
  part(shift, 2, 5, Label_xe2, GeoField::Xe2, Button_xe2);
  shift->addWidget(Label_sn, 3, 0);
  part(shift, 3, 1, Label_sn1, GeoField::Sn1, Button_sn1);
  part(shift, 3, 5, Label_en2, GeoField::En2, Button_en2);
  shift->addWidget(Label_mdr, 4, 0);
  part(shift, 4, 1, Label_mdr1, GeoField::Mdr1, Button_mdr1);
  part(shift, 4, 5, Label_mdr2, GeoField::Mdr2, Button_mdr2);
  auto* dmRow = new QHBoxLayout;
  dmRow->addWidget(Label_dm);
  dmRow->addWidget(Button_dmess);
  dmRow->addStretch();
  shift->addLayout(dmRow, 5, 0);
  part(shift, 5, 1, label_dmess1, GeoField::Dmess1, Button_dmess1);
  part(shift, 5, 5, Label_dmess2, GeoField::Dmess2, Button_dmess2);

  // Major and minor diameters: each group's choice, then its three rows.
  auto* diaBox = new QGroupBox(Shown("Durchmesser und Werkzeug"), this);
  auto* dia = grid(diaBox);
  dia->setColumnStretch(0, 0);
  dia->setColumnStretch(1, 1);
  dia->addWidget(head("Welle (1)"), 0, 2, 1, 4);
  dia->addWidget(head("Nabe (2)"), 0, 6, 1, 4);
  // Each diameter group stands left of its three rows' captions.
  auto choiceColumn = [dia](int row, TRadioGroup* choice, QLabel* a, QLabel* b, QLabel* c) {
    dia->addWidget(choice, row, 0, 3, 1);
    dia->addWidget(a, row, 1);
    dia->addWidget(b, row + 1, 1);
    dia->addWidget(c, row + 2, 1);
  };
  // Major diameter: shaft tip, hub root.
  choiceColumn(1, RadioGroup_de, Label_fhf, Label_dmajor, Label_fr2);
  part(dia, 1, 2, Label_fhf1, GeoField::Fhf1, Button_fhf1);
  part(dia, 1, 6, Label_fha2, GeoField::Fha2, nullptr);
  part(dia, 2, 2, Label_da1, GeoField::Da1, Button_da1);
  part(dia, 2, 6, Label_df2, GeoField::Df2, nullptr);
  part(dia, 3, 6, Label_rf2, GeoField::Rf2, Button_rf2);
  // Minor diameter: shaft root, hub tip.
  choiceColumn(4, RadioGroup_di, Label_fha, Label_dminor, Label_fr1);
  part(dia, 4, 2, Label_fha1, GeoField::Fha1, nullptr);
  part(dia, 4, 6, Label_fhf2, GeoField::Fhf2, Button_fhf2);
  part(dia, 5, 2, Label_df1, GeoField::Df1, nullptr);
  part(dia, 5, 6, Label_da2, GeoField::Da2, Button_da2);
  part(dia, 6, 2, Label_rf1, GeoField::Rf1, Button_rf1);

  // Clearances.
  auto* clearBox = new QGroupBox(Shown("Spiele"), this);
  auto* clear = grid(clearBox);
  clear->setColumnStretch(0, 0);
  clear->addWidget(CheckBox_cmn, 0, 0, 1, 8);
  part(clear, 1, 0, Label_ce, GeoField::Ce, nullptr);
  part(clear, 1, 4, Label_cemn, GeoField::CeMn, Button_cemn);
  part(clear, 2, 0, Label_ci, GeoField::Ci, nullptr);
  part(clear, 2, 4, Label_cimn, GeoField::CiMn, Button_cimn);
  part(clear, 3, 0, Label_cp, GeoField::Cp, nullptr);
  part(clear, 3, 4, Label_cpmn, GeoField::CpMn, Button_cpmn);
  clear->setColumnStretch(8, 1);

  // Results and messages.
  auto* resultBox = new QGroupBox(Shown("Ergebnisse"), this);
  auto* results = new QGridLayout(resultBox);
  results->setContentsMargins(6, 4, 6, 4);
  results->setVerticalSpacing(2);
  results->addWidget(head("Welle (1)"), 0, 1, Qt::AlignRight);
  results->addWidget(head("Nabe (2)"), 0, 2, Qt::AlignRight);
  for (int i = 0; i < static_cast<int>(ResultLabels.size()); ++i)
    for (int c = 0; c < 3; ++c) results->addWidget(ResultLabels[i][c], i + 1, c);
  results->setRowStretch(static_cast<int>(ResultLabels.size()) + 1, 1);

  auto* left = new QVBoxLayout;
  left->addLayout(choices);
  left->addWidget(basicBox);
  left->addWidget(shiftBox);
  left->addWidget(diaBox);
  left->addWidget(clearBox);
  left->addStretch();

  // The results and messages stand beside the inputs, outside their scroll area: they stay in
  // view, at their full width, while any input is edited. Only the inputs scroll, on a screen
  // too small for them.
  ResultsPanel = new QWidget(this);
  ResultsPanel->setObjectName("ResultsPanel");
  auto* right = new QVBoxLayout(ResultsPanel);
  right->setContentsMargins(0, 0, 0, 0);
  right->addWidget(resultBox);
  right->addWidget(Label_err);
  right->addWidget(Memo_err, 1);
  ResultsPanel->setMinimumWidth(ResultsPanel->sizeHint().width());
  ResultsPanel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);

  auto* content = new QWidget;
  content->setObjectName("GeometryContent");
  content->setLayout(left);
  left->setContentsMargins(0, 0, 0, 0);
  ScrollArea_content = new WholeContentScrollArea(this);
  ScrollArea_content->setObjectName("ScrollArea_content");
  ScrollArea_content->setFrameShape(QFrame::NoFrame);
  ScrollArea_content->setWidgetResizable(true);
  ScrollArea_content->setWidget(content);

  auto* body = new QHBoxLayout;
  body->addWidget(ScrollArea_content, 1);
  body->addWidget(ResultsPanel);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button_metric);
  buttons->addWidget(Button_calc);
  buttons->addWidget(Button_help);
  buttons->addWidget(Button_hilfebild);
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);

  auto* layout = new QVBoxLayout(this);
  // Narrow margins: the window must fit a screen 1024 pixels wide with its frame.
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addLayout(body, 1);
  layout->addLayout(buttons);
}

void TForm_qerngeo::SetTabOrder() {
  std::vector<QWidget*> order = {RadioButton_rad12, RadioButton_rad1c, RadioButton_rad2c};
  auto items = [&order](TRadioGroup* g) {
    for (int i = 0; i < g->Count(); ++i) order.push_back(g->Item(i));
  };
  items(RadioGroup_wal);
  items(RadioGroup_mnpn);
  order.insert(order.end(), {Edit_mn, Edit_pn, SpinEdit_z, Edit_wal, Edit_wgammae, Edit_wgammai});
  items(RadioGroup_pm1);
  items(RadioGroup_pm2);
  order.insert(order.end(),
               {Edit_xe1, Button_xe1, Edit_xe2, Button_xe2, Edit_sn1, Button_sn1, Edit_en2,
                Button_en2, Edit_mdr1, Button_mdr1, Edit_mdr2, Button_mdr2, Button_dmess,
                Edit_dmess1, Button_dmess1, Edit_dmess2, Button_dmess2});
  items(RadioGroup_de);
  order.insert(order.end(), {Edit_fhf1, Button_fhf1, Edit_fha2, Edit_da1, Button_da1, Edit_df2,
                             Edit_rf2, Button_rf2});
  items(RadioGroup_di);
  order.insert(order.end(), {Edit_fha1, Edit_fhf2, Button_fhf2, Edit_df1, Edit_da2, Button_da2,
                             Edit_rf1, Button_rf1, CheckBox_cmn, Edit_ce, Edit_cemn, Button_cemn,
                             Edit_ci, Edit_cimn, Button_cimn, Edit_cp, Edit_cpmn, Button_cpmn,
                             Button_ok, Button_cancel, Button_metric, Button_calc, Button_help,
                             Button_hilfebild});
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm_qerngeo::SetHints() {
  const std::vector<std::pair<int, std::vector<QWidget*>>> hints = {
      {5010, {RadioButton_rad12, RadioButton_rad1c, RadioButton_rad2c}},
      {5020, {CheckBox_cmn}},
      {5030, {RadioGroup_de, Label_fhf}},
      {5035, {Label_dmajor}},
      {5040, {RadioGroup_di}},
      {5045, {Label_dminor}},
      {5050, {label_dmess1, Label_dmess2}},
      {5080, {RadioGroup_wal}},
      {5100, {Label_mn}},
      {5105, {Label_pn}},
      {5110, {Label_z}},
      {5400, {Label_ce, Label_cemn}},
      {5410, {Label_ci, Label_cimn}},
      {5420, {Label_d}},
      {5430, {Label_xe2}},
      {5440, {Label_en2}},
      {5450, {Label_cp, Label_cpmn}},
      {6510, {Label_mdr, Label_mdr1, Label_mdr2}},
      {6530, {Label_sn, Label_sn1}},
      {6540, {Label_xe, Label_xe1}},
      {6550, {Label_fhf1, Label_fhf2}},
      {6560, {Label_da1, Label_da2}},
      {6570, {Label_fha, Label_fha1, Label_fha2}},
      {6580, {Label_df1, Label_df2}},
      {6590, {Label_fr1, Label_fr2, Label_rf1, Label_rf2}},
  };
  for (const auto& [number, controls] : hints) {
    std::string text;
    GetHelpHint(number, text);
    for (QWidget* w : controls) w->setToolTip(Shown(WrappedHint(text)));
  }
}

// ---- Reading, calculating, showing ------------------------------------------------------------

QLineEdit* TForm_qerngeo::FieldEdit(GeoField f) const {
  return qobject_cast<QLineEdit*>(fieldControls_[Index(f)]);
}

GeometryChoices TForm_qerngeo::CurrentChoices() const {
  GeometryChoices c;
  c.FitMode = RadioButton_rad1c->isChecked() ? 1 : (RadioButton_rad2c->isChecked() ? 2 : 0);
  c.ShiftInput[1] = RadioGroup_pm1->ItemIndex();
  c.ShiftInput[2] = RadioGroup_pm2->ItemIndex();
  c.PitchInput = RadioGroup_mnpn->ItemIndex();
  c.AngleInput = RadioGroup_wal->ItemIndex();
  c.MajorInput = RadioGroup_de->ItemIndex();
  c.MinorInput = RadioGroup_di->ItemIndex();
  c.ClearancesAsFactors = CheckBox_cmn->isChecked();
  return c;
}

void TForm_qerngeo::ShowChoices(const GeometryChoices& c) {
  RadioButton_rad12->setChecked(c.FitMode == 0);
  RadioButton_rad1c->setChecked(c.FitMode == 1);
  RadioButton_rad2c->setChecked(c.FitMode == 2);
  RadioGroup_pm1->SetItemIndex(c.ShiftInput[1]);
  RadioGroup_pm2->SetItemIndex(c.ShiftInput[2]);
  RadioGroup_mnpn->SetItemIndex(c.PitchInput);
  RadioGroup_wal->SetItemIndex(c.AngleInput);
  RadioGroup_de->SetItemIndex(c.MajorInput);
  RadioGroup_di->SetItemIndex(c.MinorInput);
  CheckBox_cmn->setChecked(c.ClearancesAsFactors);
}

void TForm_qerngeo::ReadGeometryInputs() {
  if (updating_) return;
  inputs_.Choices = CurrentChoices();
  StoreInputs(inputs_, Design);
}

void TForm_qerngeo::RecalculateGeometry() {
  if (updating_ || calculating_) return;
  calculating_ = true;
  ReadGeometryInputs();
  // With Pn as the input the module is derived by the calculation: only a typed mn can be 0.
  if (Design.PitchInputMode != 2 && Design.NormalModule == 0) {
    // The calculation cannot start; the list shows only why.
    ResetErrors();
    AddError("Fatal  : mn = 0 !");
    Flags.FatalError = true;
    Flags.AbortFlag = true;
    ShowMessages();
    ShowResultValues();
  } else {
    CalculateGeometry();
    ShowGeometryResults(1);
  }
  calculating_ = false;
}

void TForm_qerngeo::SetFieldText(GeoField f, long double value) {
  QString text = QString::fromStdString(FieldText(f, value));
  if (f == GeoField::Z) {
    int z = static_cast<int>(std::max<long double>(std::min<long double>(value, MaxToothCount), 0));
    if (SpinEdit_z->value() != z) SpinEdit_z->setValue(z);
  } else if (QLineEdit* e = FieldEdit(f); e->text() != text) {
    e->setText(text);
    e->setCursorPosition(0);
  }
}

void TForm_qerngeo::ShowGeometryResults(int mode) {
  bool wasUpdating = updating_;
  updating_ = true;
  if (mode == 0) {
    inputs_ = InputsFromDesign(Design);
    ShowChoices(inputs_.Choices);
    for (int i = 0; i < GeoFieldCount; ++i) SetFieldText(FieldAt(i), inputs_.Value[i]);
    QString unit = QString::fromStdString(LengthUnitStr());
    for (QLabel* l : unitLabels_)
      if (l) l->setText(unit);
  } else {
    // Disabled fields hold what the calculation derived.
    for (int i = 0; i < GeoFieldCount; ++i) {
      if (enabled_[i]) continue;
      inputs_.Value[i] = FieldValueFromDesign(Design, FieldAt(i));
    }
  }
  ShowMessages();
  ShowResultValues();
  updating_ = wasUpdating;
}

void TForm_qerngeo::ShowResultValues() {
  const bool wasUpdating = updating_;
  updating_ = true;
  // While a fatal message stands the record holds no results of these inputs: nothing is shown
  // that could belong to another design.
  const bool fatal = Flags.FatalError;
  for (int i = 0; i < GeoFieldCount; ++i) {
    if (enabled_[i]) continue;
    if (!fatal) {
      SetFieldText(FieldAt(i), inputs_.Value[i]);
    } else if (QLineEdit* e = FieldEdit(FieldAt(i)); e && !e->text().isEmpty()) {
      e->clear();
    }
  }
  Label_d->setText(fatal ? QString() : Shown(PitchDiameterText(Design)));
  std::vector<GeometryResultLine> lines = GeometryResults(Design);
  for (std::size_t i = 0; i < lines.size() && i < ResultLabels.size(); ++i) {
    for (int part = 1; part <= 2; ++part) {
      const std::string& value = part == 1 ? lines[i].Shaft : lines[i].Hub;
      const QString text = fatal ? QString() : QString::fromStdString(value);
      if (ResultLabels[i][part]->text() != text) ResultLabels[i][part]->setText(text);
    }
    ResultLabels[i][0]->setEnabled(!fatal);
  }
  updating_ = wasUpdating;
}

void TForm_qerngeo::ShowMessages() {
  bool any = Errors.ErrorCount > 0;
  QString text;
  for (int i = 0; i < Errors.ErrorCount && i < MaxErrors; ++i) {
    if (i > 0) text += '\n';
    text += Shown(Errors.ErrorList[i]);
  }
  if (Memo_err->toPlainText() != text) Memo_err->setPlainText(text);
  if (Label_err->isVisibleTo(this) != any) Label_err->setVisible(any);
  if (Memo_err->isVisibleTo(this) != any) Memo_err->setVisible(any);
}

void TForm_qerngeo::UpdateGeometryInputStates() {
  enabled_ = EnabledFields(CurrentChoices());
  for (int i = 0; i < GeoFieldCount; ++i) fieldControls_[i]->setEnabled(enabled_[i]);
  for (int i = 0; i < GeoPresetCount; ++i)
    presetButtons_[i]->setEnabled(enabled_[Index(PresetField(static_cast<GeoPreset>(i)))]);
}

void TForm_qerngeo::FieldChanged(GeoField f) {
  if (updating_) return;
  // A disabled field holds a result, not an input.
  if (!enabled_[Index(f)]) return;
  if (presetField_ == f) {
    inputs_.Value[Index(f)] = presetValue_;
  } else if (f == GeoField::Z) {
    inputs_.Value[Index(f)] = SpinEdit_z->value();
  } else {
    inputs_.Value[Index(f)] = FieldValueFromText(f, FieldEdit(f)->text().toStdString());
  }
  RecalculateGeometry();
}

void TForm_qerngeo::FormShow() {
  CalculateSerration();
  ShowGeometryResults(0);
  UpdateGeometryInputStates();
  RecalculateGeometry();
}

void TForm_qerngeo::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  MatchOwnBackgrounds(this);
  FormShow();
}

// ---- Presets ----------------------------------------------------------------------------------

void TForm_qerngeo::SetFieldByPreset(GeoField f, long double value) {
  QLineEdit* e = FieldEdit(f);
  QString text = QString::fromStdString(FieldText(f, value));
  presetField_ = f;
  presetValue_ = value;
  if (e->text() != text) {
    e->setText(text);
  } else if (!updating_ && enabled_[Index(f)]) {
    // Same text, but the value behind it may have more digits than shown.
    inputs_.Value[Index(f)] = value;
    RecalculateGeometry();
  }
  presetField_.reset();
}

void TForm_qerngeo::MirrorProfileShift(int k) {
  ReadGeometryInputs();
  bool wasUpdating = updating_;
  updating_ = true;
  qern::MirrorProfileShift(k, inputs_.Choices);
  ShowGeometryResults(0);
  updating_ = wasUpdating;
}

void TForm_qerngeo::PresetClick(GeoPreset p) {
  switch (p) {
    case GeoPreset::Fhf1:
    case GeoPreset::Fhf2: {
      long double factor = 0;
      if (DedendumFactorPreset(StrToReal(Edit_wal->text().toStdString()), factor))
        SetFieldByPreset(PresetField(p), factor);
      break;
    }
    case GeoPreset::Rf1:
    case GeoPreset::Rf2:
      SetFieldByPreset(PresetField(p), TipRadiusPreset(Design));
      break;
    case GeoPreset::CeMn: SetFieldByPreset(GeoField::CeMn, MajorClearanceFactorPreset); break;
    case GeoPreset::CiMn: SetFieldByPreset(GeoField::CiMn, MinorClearanceFactorPreset); break;
    case GeoPreset::CpMn: SetFieldByPreset(GeoField::CpMn, FlankClearanceFactorPreset); break;
    case GeoPreset::Dmess1:
    case GeoPreset::Dmess2: {
      ReadGeometryInputs();
      int part = p == GeoPreset::Dmess1 ? 1 : 2;
      SetFieldByPreset(PresetField(p), PinDiameterPreset(Design, part));
      break;
    }
    case GeoPreset::Da1:
    case GeoPreset::Da2: {
      ReadGeometryInputs();
      CalculateGeometry();
      long double da = 0;
      if (!Flags.FatalError && TipDiameterPreset(Design, p == GeoPreset::Da1 ? 1 : 2, da))
        SetFieldByPreset(PresetField(p), da);
      else
        ShowGeometryResults(1);
      break;
    }
    case GeoPreset::Xe1:
    case GeoPreset::Sn1:
    case GeoPreset::Mdr1: MirrorProfileShift(1); break;
    case GeoPreset::Xe2:
    case GeoPreset::En2:
    case GeoPreset::Mdr2: MirrorProfileShift(2); break;
  }
}

// ---- Commands ---------------------------------------------------------------------------------

void TForm_qerngeo::Button_metricClick() {
  if (!updating_) {
    inputs_.Choices = CurrentChoices();
    StoreInputs(inputs_, Design);
  }
  ToggleUnitSystem();
  ShowGeometryResults(0);
}

void TForm_qerngeo::Button_calcClick() {
  ReadGeometryInputs();
  CalculateGeometry();
  if (drawingHandler) drawingHandler();
  ShowGeometryResults(1);
  update();
}

void TForm_qerngeo::Button_okClick() {
  Flags.AbortFlag = false;
  // One more calculation on exactly what the window shows; a fatal message keeps it open.
  RecalculateGeometry();
  if (Flags.FatalError) {
    ShowCalculationMessages();
    return;
  }
  Flags.AbortFlag = false;
  accept();
}

void TForm_qerngeo::Button_cancelClick() {
  Design = savedDesign_;
  Errors = savedErrors_;
  Flags.FatalError = savedFatal_;
  Flags.AbortFlag = true;
  QDialog::reject();
}

void TForm_qerngeo::reject() { Button_cancelClick(); }

void TForm_qerngeo::Button_helpClick() {
  ShowHelpEntry(1000, "", 1);
  update();
}

void TForm_qerngeo::Button_hilfebildClick() {
  ShowHelpEntry(5080, "", 2);
  update();
}

void TForm_qerngeo::Button_dmessClick() {
  ShowHelpEntry(5050, "", 2);
  update();
}

bool EditDimensions(QWidget* parent) {
  TForm_qerngeo form(parent ? parent : DialogHostWindow());
  int result = form.exec();
  if (result != QDialog::Accepted) {
    Flags.AbortFlag = true;  // a window closed any other way counts as cancelled
    return false;
  }
  return !Flags.AbortFlag;
}

void SetGeometryDrawingHandler(std::function<void()> handler) { drawingHandler = std::move(handler); }

}  // namespace qern
