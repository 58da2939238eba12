// The configuration window: nine tabs over a copy of the settings, the field buttons, the
// colour and font pickers, and Save, Import and Export of configuration files.
#include "framework/qt/lconfig.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <cstdlib>

#include "framework/configio.h"
#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/lconfigmodel.h"
#include "framework/listout.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/lselcol.h"
#include "framework/qt/radiogroup.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/textprint.h"
#include "framework/utilstr.h"
#include "framework/qt/paintercanvas.h"
#include "platform/dialogservice.h"

namespace qern {

namespace {

std::function<bool(std::string&)> plotLineEditor;

// The start colours of the palette, for the reset button.
const ProgramSettings startValues;

QString Shown(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }
std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

QColor ColorOf(int value) { return ColorFromValue(static_cast<uint32_t>(value)); }
int ValueOf(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

// A real as the user would type it: no trailing zeros, tiny rounding noise removed.
std::string RealText(long double x) {
  return GeneralFloatStr(std::round(x * 1e6L) / 1e6L);
}

void Paint(QWidget* w, int value) {
  w->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid gray;")
                       .arg(ColorOf(value).name()));
}

QLabel* Label(QWidget* parent, const std::string& text) { return new QLabel(Shown(text), parent); }

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(name);
  return w;
}

QLineEdit* Edit(QWidget* parent, const char* name, int minWidth = 80) {
  auto* e = Named(new QLineEdit(parent), name);
  e->setMinimumWidth(minWidth);
  return e;
}

QCheckBox* Check(QWidget* parent, const char* name, const std::string& caption) {
  return Named(new QCheckBox(Shown(caption), parent), name);
}

QSpinBox* Spin(QWidget* parent, const char* name, int min, int max) {
  auto* s = Named(new QSpinBox(parent), name);
  s->setRange(min, max);
  return s;
}

TRadioGroup* Radio(QWidget* parent, const char* name, const std::string& caption,
                   std::initializer_list<std::string> items) {
  QStringList list;
  for (const std::string& i : items) list << Shown(i);
  return Named(new TRadioGroup(Shown(caption), list, parent), name);
}

QComboBox* Combo(QWidget* parent, const char* name, std::initializer_list<std::string> items) {
  auto* c = Named(new QComboBox(parent), name);
  for (const std::string& i : items) c->addItem(Shown(i));
  return c;
}

QTableWidget* Grid(QWidget* parent, const char* name, int rows, const QStringList& columns) {
  auto* g = Named(new QTableWidget(rows, columns.size(), parent), name);
  g->setHorizontalHeaderLabels(columns);
  g->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  g->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  g->horizontalHeader()->setStretchLastSection(true);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns.size(); ++c) g->setItem(r, c, new QTableWidgetItem);
  return g;
}

std::string Cell(const QTableWidget* g, int row, int column) {
  const QTableWidgetItem* item = g->item(row, column);
  return item ? item->text().toStdString() : std::string();
}
void SetCell(QTableWidget* g, int row, int column, const std::string& text) {
  g->item(row, column)->setText(QString::fromStdString(text));
}

int ScreenWidthPx() {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 1024;
}

}  // namespace

void Tconfig::SetPlotLineEditor(std::function<bool(std::string& line)> editor) {
  plotLineEditor = std::move(editor);
}

// ---- Creation ---------------------------------------------------------------------------------

Tconfig::Tconfig(QWidget* parent) : QDialog(parent) {
  setObjectName("config");
  setWindowTitle(Shown(Ident.ProductName + " " + "Konfiguration"));
  PickColor = [this](int& color) {
    const QColor c = QColorDialog::getColor(ColorOf(color), this);
    if (!c.isValid()) return false;
    color = ValueOf(c);
    return true;
  };
  PickFont = [this](std::string& name, int& style, int& size) {
    QFont initial(QString::fromStdString(name), size > 0 ? size : 10);
    const FontStyle fs = IntToFontStyle(style, {});
    initial.setBold(fs.Bold);
    initial.setItalic(fs.Italic);
    initial.setUnderline(fs.Underline);
    initial.setStrikeOut(fs.StrikeOut);
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, this);
    if (!ok) return false;
    name = f.family().toStdString();
    style = FontStyleToInt({f.bold(), f.italic(), f.underline(), f.strikeOut()});
    size = f.pointSize() > 0 ? f.pointSize() : size;
    return true;
  };

  PageControl = Named(new QTabWidget(this), "PageControl");
  BuildDirTab();
  BuildGrafikTab();
  BuildCadTab();
  BuildColorTab();
  BuildDruckerTab();
  BuildTextdruckTab();
  BuildEinstellungTab();
  BuildExternTab();
  BuildZeichnungTab();

  auto button = [this](const char* name, const std::string& caption, void (Tconfig::*slot)()) {
    auto* b = Named(new QPushButton(Shown(caption), this), name);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };
  Button_ok = button("Button_ok", "OK", &Tconfig::Button_okClick);
  Button_ok->setDefault(true);
  Button_cancel = button("Button_cancel", "Abbrechen", &Tconfig::Button_cancelClick);
  Button_save = button("Button_save", "Speichern", &Tconfig::Button_saveClick);
  Button_import = button("Button_import", "Import...", &Tconfig::Button_importClick);
  Button_export = button("Button_export", "Export...", &Tconfig::Button_exportClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button_import);
  buttons->addWidget(Button_export);
  buttons->addStretch();
  buttons->addWidget(Button_save);
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);

  edited_ = Settings;
  archive_ = Flags.ArchiveMode;
  FillControls(edited_, archive_);
  adjustSize();
  CentreDialog(this);
  // 10 pixels up, as far as the screen's free area lets it.
  PlaceWindowClient(this, geometry().translated(0, -10));
}

namespace {
// A tab page with a grid; rows are added by the Build functions.
QGridLayout* NewTab(QTabWidget* pages, QWidget*& tab, const char* name, const std::string& caption) {
  tab = Named(new QWidget(pages), name);
  pages->addTab(tab, Shown(caption));
  auto* grid = new QGridLayout(tab);
  grid->setColumnStretch(1, 1);
  return grid;
}

// The end of a tab: free space from row on, then the help button of the tab's help entry in
// column; the tab's hint is that text when help is wanted at all.
QPushButton* FinishTab(QGridLayout* g, int row, int column, const char* buttonName, int number,
                       Qt::Alignment alignment = {}) {
  QWidget* tab = g->parentWidget();
  g->setRowStretch(row, 1);
  auto* b = Named(new QPushButton(Shown("&Hilfe"), tab), buttonName);
  QObject::connect(b, &QPushButton::clicked, tab, [number] { ShowHelpEntry(number, "", 1); });
  g->addWidget(b, row + 1, column, alignment);
  if (Settings.HelpLevel > 0) {
    std::string hint;
    GetHelpHint(number, hint);
    tab->setToolTip(Shown(hint));
  }
  return b;
}

QPushButton* SmallButton(QWidget* parent, const char* name, const std::string& caption) {
  auto* b = Named(new QPushButton(Shown(caption), parent), name);
  b->setAutoDefault(false);
  return b;
}

// One grid row of a tab: caption, edit and, with a button name, a button that writes preset
// into the edit (the value is taken on OK or Save).
QLineEdit* FieldRow(QGridLayout* g, int row, const std::string& caption, const char* editName,
                    QPushButton** button = nullptr, const char* buttonName = nullptr,
                    const std::string& preset = "") {
  QWidget* tab = g->parentWidget();
  g->addWidget(Label(tab, caption), row, 0);
  QLineEdit* edit = Edit(tab, editName);
  g->addWidget(edit, row, 1);
  if (button) {
    *button = SmallButton(tab, buttonName, preset);
    QObject::connect(*button, &QPushButton::clicked, tab,
                     [edit, preset] { edit->setText(QString::fromStdString(preset)); });
    g->addWidget(*button, row, 2);
  }
  return edit;
}
}  // namespace

void Tconfig::BuildDirTab() {
  QGridLayout* g = NewTab(PageControl, Tab_dir, "Tab_dir", "Directories");
  struct Row {
    QLineEdit** edit;
    QPushButton** button;
    const char* editName;
    const char* buttonName;
    const char* caption;
  };
  const Row rows[] = {
      {&Edit_dircad, &Button_dircad, "Edit_dircad", "Button_dircad", "CAD Ordner"},
      {&Edit_dirdbf, &Button_dirdbf, "Edit_dirdbf", "Button_dirdbf", "DBF Ordner"},
      {&Edit_dirplt, &Button_dirplt, "Edit_dirplt", "Button_dirplt", "PLT Ordner"},
      {&Edit_dirtemp, &Button_dirtemp, "Edit_dirtemp", "Button_dirtemp",
       "Ordner für temporäre Dateien"},
      {&Edit_dirdata, &Button_dirdata, "Edit_dirdata", "Button_dirdata", "Daten Ordner"},
      {&Edit_direxe, &Button_direxe, "Edit_direxe", "Button_direxe", "Programmordner"},
      {&Edit_diredi, &Button_diredi, "Edit_diredi", "Button_diredi", "EDI Ordner"},
  };
  int r = 0;
  for (const Row& row : rows) {
    g->addWidget(Label(Tab_dir, row.caption), r, 0);
    *row.edit = Edit(Tab_dir, row.editName, 320);
    g->addWidget(*row.edit, r, 1);
    *row.button = SmallButton(Tab_dir, row.buttonName, "...");
    QLineEdit* edit = *row.edit;
    connect(*row.button, &QPushButton::clicked, this, [edit] {
      std::string folder = edit->text().toStdString();
      SelectFolderDialog(folder, folder);
      edit->setText(QString::fromStdString(folder));
    });
    g->addWidget(*row.button, r, 2);
    ++r;
  }
  Button_dirtempenv = SmallButton(Tab_dir, "Button_dirtempenv", "TEMP");
  connect(Button_dirtempenv, &QPushButton::clicked, this, &Tconfig::Button_dirtempenvClick);
  g->addWidget(Button_dirtempenv, 3, 3);
  FinishTab(g, r, 3, "Button_dirhilfe", 1900);
}

void Tconfig::BuildGrafikTab() {
  QGridLayout* g = NewTab(PageControl, Tab_grafik, "Tab_grafik", "Grafik");
  QWidget* t = Tab_grafik;
  RadioGroup_bildschirmgrafik =
      Radio(t, "RadioGroup_bildschirmgrafik", "Bildschirmgrafik", {"Farbe", "monochrom"});
  connect(RadioGroup_bildschirmgrafik, &TRadioGroup::Clicked, this,
          &Tconfig::RadioGroup_bildschirmgrafikClick);
  g->addWidget(RadioGroup_bildschirmgrafik, 0, 0, 2, 1);

  // Resolution.
  auto* res = new QGridLayout;
  Edit_x = Edit(t, "Edit_x", 60);
  Button_x = SmallButton(t, "Button_x", "4:3");
  Edit_y = Edit(t, "Edit_y", 60);
  Button_y = SmallButton(t, "Button_y", "4:3");
  Button_aufloesung = SmallButton(t, "Button_aufloesung", "Bildschirm");
  connect(Button_x, &QPushButton::clicked, this, &Tconfig::Button_xClick);
  connect(Button_y, &QPushButton::clicked, this, &Tconfig::Button_yClick);
  connect(Button_aufloesung, &QPushButton::clicked, this, &Tconfig::Button_aufloesungClick);
  connect(Edit_x, &QLineEdit::editingFinished, this, &Tconfig::ApplyScreenFields);
  connect(Edit_y, &QLineEdit::editingFinished, this, &Tconfig::ApplyScreenFields);
  res->addWidget(Label(t, "Auflösung x"), 0, 0);
  res->addWidget(Edit_x, 0, 1);
  res->addWidget(Button_x, 0, 2);
  res->addWidget(Label(t, "Auflösung y"), 1, 0);
  res->addWidget(Edit_y, 1, 1);
  res->addWidget(Button_y, 1, 2);
  res->addWidget(Button_aufloesung, 0, 3, 2, 1);
  g->addLayout(res, 0, 1, 2, 2);

  Edit_font = FieldRow(g, 2, "Schriftart", "Edit_font");
  Button_font = SmallButton(t, "Button_font", "...");
  connect(Button_font, &QPushButton::clicked, this, &Tconfig::Button_fontClick);
  g->addWidget(Button_font, 2, 2);
  Edit_textbreitenfaktor = FieldRow(g, 3, "Textbreitenfaktor", "Edit_textbreitenfaktor",
                                    &Button_textbreitenfaktor, "Button_textbreitenfaktor", "0.8");
  Edit_texthoehenfaktor = FieldRow(g, 4, "Texthöhenfaktor", "Edit_texthoehenfaktor",
                                   &Button_texthoehenfaktor, "Button_texthoehenfaktor", "1");
  g->addWidget(Label(t, "Hintergrundfarbe"), 5, 0);
  Panel_colour = Named(new QFrame(t), "Panel_colour");
  Panel_colour->setMinimumSize(60, 22);
  g->addWidget(Panel_colour, 5, 1);
  Button_hintergrundfarbe = SmallButton(t, "Button_hintergrundfarbe", "...");
  connect(Button_hintergrundfarbe, &QPushButton::clicked, this,
          &Tconfig::Button_hintergrundfarbeClick);
  g->addWidget(Button_hintergrundfarbe, 5, 2);
  Edit_zoomfaktor = FieldRow(g, 6, "Zoomfaktor", "Edit_zoomfaktor", &Button_zoom, "Button_zoom", "1.02");
  Edit_panfaktor = FieldRow(g, 7, "Panfaktor", "Edit_panfaktor", &Button_pan, "Button_pan", "0.02");

  g->addWidget(Label(t, "Dialogfenster %"), 8, 0);
  SpinEdit_dialogfenster = Spin(t, "SpinEdit_dialogfenster", 0, 1000);
  g->addWidget(SpinEdit_dialogfenster, 8, 1);
  Button_dialogsize = SmallButton(t, "Button_dialogsize", "Bildschirm");
  connect(Button_dialogsize, &QPushButton::clicked, this, &Tconfig::Button_dialogsizeClick);
  g->addWidget(Button_dialogsize, 8, 2);
  g->addWidget(Label(t, "Dialogelemente (Schrift) %"), 9, 0);
  SpinEdit_dialogelemente = Spin(t, "SpinEdit_dialogelemente", 0, 1000);
  g->addWidget(SpinEdit_dialogelemente, 9, 1);
  Button_dialogelemente = SmallButton(t, "Button_dialogelemente", "Bildschirm");
  connect(Button_dialogelemente, &QPushButton::clicked, this, &Tconfig::Button_dialogsizeClick);
  g->addWidget(Button_dialogelemente, 9, 2);

  CheckBox_umrandung = Check(t, "CheckBox_umrandung", "Umrandung beim Grafikausdruck");
  g->addWidget(CheckBox_umrandung, 10, 0, 1, 2);
  CheckBox_zeichfusszeile = Check(t, "CheckBox_zeichfusszeile", "Fußzeile zeichnen");
  g->addWidget(CheckBox_zeichfusszeile, 11, 0, 1, 2);
  CheckBox_3dxyz = Check(t, "CheckBox_3dxyz", "3D-Winkel x, y, z eingeben");
  g->addWidget(CheckBox_3dxyz, 12, 0);
  auto* angles = new QHBoxLayout;
  Edit_3dx = Edit(t, "Edit_3dx", 50);
  Edit_3dy = Edit(t, "Edit_3dy", 50);
  Edit_3dz = Edit(t, "Edit_3dz", 50);
  angles->addWidget(Edit_3dx);
  angles->addWidget(Edit_3dy);
  angles->addWidget(Edit_3dz);
  angles->addWidget(Label(t, "°"));
  g->addLayout(angles, 12, 1, 1, 2);
  Button_grafikhilfe = FinishTab(g, 13, 2, "Button_grafikhilfe", 1940);
}

void Tconfig::BuildCadTab() {
  QGridLayout* g = NewTab(PageControl, Tab_cad, "Tab_cad", "CAD");
  QWidget* t = Tab_cad;
  StringGrid_layer = Grid(t, "StringGrid_layer", 5,
                          {Shown("Layer"), Shown("Farbe"), Shown("Strichstärke")});
  QStringList heads;
  for (const char* h : LayerRowHeads) heads << Shown(h);
  StringGrid_layer->setVerticalHeaderLabels(heads);
  // The row heads line up their widths in columns.
  StringGrid_layer->verticalHeader()->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  StringGrid_layer->setFixedHeight(StringGrid_layer->verticalHeader()->length() +
                                   StringGrid_layer->horizontalHeader()->sizeHint().height() +
                                   2 * StringGrid_layer->frameWidth() + 2);
  g->addWidget(StringGrid_layer, 0, 0, 5, 3);
  auto* rowButtons = new QVBoxLayout;
  for (int row = 1; row <= 5; ++row) {
    const int number = 6 - row;  // Button_layer5 sets row 1, Button_layer1 row 5
    const std::string name = "Button_layer" + IntStr(number);
    QPushButton* b = SmallButton(t, name.c_str(), "Layer " + IntStr(number));
    Button_layer[number - 1] = b;
    connect(b, &QPushButton::clicked, this, [this, row] {
      const LayerRowPreset p = LayerButtonPreset(row);
      SetCell(StringGrid_layer, row - 1, 0, p.Name);
      SetCell(StringGrid_layer, row - 1, 1, p.Color);
      SetCell(StringGrid_layer, row - 1, 2, p.Width);
    });
    rowButtons->addWidget(b);
  }
  Button_selectlayercolor = SmallButton(t, "Button_selectlayercolor", "Farbe...");
  connect(Button_selectlayercolor, &QPushButton::clicked, this,
          &Tconfig::Button_selectlayercolorClick);
  rowButtons->addWidget(Button_selectlayercolor);
  g->addLayout(rowButtons, 0, 3, 5, 1);

  CheckBox_layermonochrom = Check(t, "CheckBox_layermonochrom", "Layer monochrom");
  g->addWidget(CheckBox_layermonochrom, 5, 0, 1, 2);
  Edit_cadfont = FieldRow(g, 6, "Textstil CAD", "Edit_cadfont");
  Edit_cadtextbreite = FieldRow(g, 7, "Textbreitenfaktor CAD", "Edit_cadtextbreite",
                                &Button_cadtextbreite, "Button_cadtextbreite", "1");
  Edit_cadtextwinkel = FieldRow(g, 8, "Textwinkel (Neigung) °", "Edit_cadtextwinkel",
                                &Button_cadtextwinkel, "Button_cadtextwinkel", "0");
  g->addWidget(Label(t, "Dezimalstellen DXF, TXT"), 9, 0);
  SpinEdit_dxfdec = Spin(t, "SpinEdit_dxfdec", 1, 32);
  g->addWidget(SpinEdit_dxfdec, 9, 1);
  CheckBox_diagrammgrenzen = Check(t, "CheckBox_diagrammgrenzen", "Diagrammgrenzen eingeben");
  g->addWidget(CheckBox_diagrammgrenzen, 10, 0, 1, 2);
  CheckBox_3Dto2D = Check(t, "CheckBox_3Dto2D", "3D-Zeichnungen als 2D ausgeben");
  g->addWidget(CheckBox_3Dto2D, 11, 0, 1, 2);
  radiogroupcadtexttyp = Radio(t, "radiogroupcadtexttyp", "Texte in CAD-Dateien",
                               {"OEM (Codepage 850)", "ANSI (Windows)", "ohne Umlaute (ae, oe, ue)"});
  g->addWidget(radiogroupcadtexttyp, 5, 3, 7, 1, Qt::AlignTop);
  Button_cadhilfe = FinishTab(g, 12, 3, "Button_cadhilfe", 1910);
}

void Tconfig::BuildColorTab() {
  QGridLayout* g = NewTab(PageControl, Tab_color, "Tab_color", "Farben");
  QWidget* t = Tab_color;
  StringGrid_color = Grid(t, "StringGrid_color", 16, {Shown("Farbe"), Shown("Strichstärke")});
  QStringList heads;
  for (int i = 0; i < 16; ++i) heads << QString("Layer %1").arg(ProgramSettings::ColorLayerFirst + i);
  StringGrid_color->setVerticalHeaderLabels(heads);
  StringGrid_color->setMinimumWidth(260);
  g->addWidget(StringGrid_color, 0, 0, 8, 1);

  auto* panels = new QGridLayout;
  for (int i = 0; i < 16; ++i) {
    const std::string name = "Panel_color" + IntStr(i);
    auto* p = SmallButton(t, name.c_str(), "");
    p->setFixedSize(36, 24);
    p->setToolTip(QString::number(i));
    connect(p, &QPushButton::clicked, this, [this, i] { Panel_colorClick(i); });
    Panel_color[i] = p;
    panels->addWidget(Label(t, IntStr(i)), (i / 4) * 2, i % 4, Qt::AlignHCenter | Qt::AlignBottom);
    panels->addWidget(p, (i / 4) * 2 + 1, i % 4);
  }
  auto* paletteBox = new QGroupBox(Shown("Farbpalette (0..15)"), t);
  paletteBox->setLayout(panels);
  g->addWidget(paletteBox, 0, 1, 1, 3);

  auto width = [this, t](const char* name, const char* value) {
    auto* b = SmallButton(t, name, std::string("Strichstärke ") + value);
    connect(b, &QPushButton::clicked, this, [this, value] {
      for (int r = 0; r < 16; ++r) SetCell(StringGrid_color, r, 1, value);
    });
    return b;
  };
  Button_dick1 = width("Button_dick1", "1");
  Button_dick2 = width("Button_dick2", "2");
  Button_dick3 = width("Button_dick3", "3");
  auto* widths = new QHBoxLayout;
  widths->addWidget(Button_dick1);
  widths->addWidget(Button_dick2);
  widths->addWidget(Button_dick3);
  g->addLayout(widths, 1, 1, 1, 3);
  Button_selectcolor = SmallButton(t, "Button_selectcolor", "Farbe...");
  connect(Button_selectcolor, &QPushButton::clicked, this, &Tconfig::Button_selectcolorClick);
  Button_resetcolor = SmallButton(t, "Button_resetcolor", "Palette zurücksetzen");
  connect(Button_resetcolor, &QPushButton::clicked, this, &Tconfig::Button_resetcolorClick);
  auto* colorButtons = new QHBoxLayout;
  colorButtons->addWidget(Button_selectcolor);
  colorButtons->addWidget(Button_resetcolor);
  g->addLayout(colorButtons, 2, 1, 1, 3);
  Button_colorhilfe = FinishTab(g, 6, 3, "Button_colorhilfe", 1915);
}

void Tconfig::BuildDruckerTab() {
  QGridLayout* g = NewTab(PageControl, Tab_drucker, "Tab_drucker", "Drucker");
  QWidget* t = Tab_drucker;
  Edit_printxorigin = FieldRow(g, 0, "Ursprung x (mm)", "Edit_printxorigin", &Button_printxorigin,
                               "Button_printxorigin", "0");
  Edit_printyorigin = FieldRow(g, 1, "Ursprung y (mm)", "Edit_printyorigin", &Button_printyorigin,
                               "Button_printyorigin", "0");
  Edit_printscale = FieldRow(g, 2, "Maßstab x", "Edit_printscale", &Button_printscalex1,
                             "Button_printscalex1", "1.0");
  Edit_printscaley = FieldRow(g, 3, "Maßstab y", "Edit_printscaley");
  Button_scaleyx = SmallButton(t, "Button_scaleyx", "= x");
  connect(Button_scaleyx, &QPushButton::clicked, this,
          [this] { Edit_printscaley->setText(Edit_printscale->text()); });
  g->addWidget(Button_scaleyx, 3, 2);
  RadioGroup_printmono =
      Radio(t, "RadioGroup_printmono", "Schattierung", {"monochrom", "farbig / Graustufen"});
  g->addWidget(RadioGroup_printmono, 4, 0, 1, 2);
  RadioGroup_orientation =
      Radio(t, "RadioGroup_orientation", "Papierformat", {"Hochformat", "Querformat"});
  g->addWidget(RadioGroup_orientation, 5, 0, 1, 2);
  CheckBox_printerDialogbox =
      Check(t, "CheckBox_printerDialogbox", "Druckfenster vor jedem Grafikausdruck");
  g->addWidget(CheckBox_printerDialogbox, 6, 0, 1, 3);
  g->addWidget(Label(t, "Druckerschnittstelle"), 7, 0);
  ComboBox_lpt = Combo(t, "ComboBox_lpt", {});
  for (int n = 1; n <= MaxPrinterPort(); ++n) ComboBox_lpt->addItem(QString("LPT%1").arg(n));
  g->addWidget(ComboBox_lpt, 7, 1);
  Button_helpprint = FinishTab(g, 8, 2, "Button_helpprint", 1935);
}

void Tconfig::BuildTextdruckTab() {
  QGridLayout* g = NewTab(PageControl, Tab_textdruck, "Tab_textdruck", "Textausdruck");
  QWidget* t = Tab_textdruck;
  RadioGroup_trenn = Radio(t, "RadioGroup_trenn", "Trennzeilen",
                           {SeparatorModeTexts[0], SeparatorModeTexts[1], SeparatorModeTexts[2],
                            SeparatorModeTexts[3]});
  // The box lines are shown as themselves, not converted like the other captions.
  RadioGroup_trenn->Item(1)->setText(QString::fromStdString(SeparatorModeTexts[1]));
  g->addWidget(RadioGroup_trenn, 0, 0, 1, 2);
  RadioGroup_date = Radio(t, "RadioGroup_date", "Datum",
                          {"dd.mm.yyyy", "mm/dd/yyyy", "yyyy-mm-dd", "dd/mm/yyyy", "yyyy/mm/dd"});
  g->addWidget(RadioGroup_date, 0, 2, 2, 1);
  RadioGroup_ff = Radio(t, "RadioGroup_ff", "Seitenkopf", {"mit Kopf", "Kopf nur 1.Seite"});
  g->addWidget(RadioGroup_ff, 1, 0);
  RadioGroup_ausgrad = Radio(t, "RadioGroup_ausgrad", "Winkelausgabe",
                             {"Dezimalgrad (12.5°)", "Grad und Minuten (12°30')"});
  g->addWidget(RadioGroup_ausgrad, 1, 1);

  auto* device = new QGridLayout;
  device->addWidget(Label(t, "Standard-Ausgabe"), 0, 0);
  OpenListOutput(DeviceNames, "");
  ComboBox_ausdruckdefault = Combo(t, "ComboBox_ausdruckdefault", {});
  for (int i = 0; i < 7; ++i) ComboBox_ausdruckdefault->addItem(Shown(Session.ChoiceTexts[i]));
  device->addWidget(ComboBox_ausdruckdefault, 0, 1);
  CheckBox_ausdruckshowdialog =
      Check(t, "CheckBox_ausdruckshowdialog", "Ausgabegerät bei jedem Ausdruck wählen");
  device->addWidget(CheckBox_ausdruckshowdialog, 1, 0, 1, 2);
  device->addWidget(Label(t, "Zeilen pro Seite"), 2, 0);
  SpinEdit_linesperpage = Spin(t, "SpinEdit_linesperpage", 5, 999);
  device->addWidget(SpinEdit_linesperpage, 2, 1);
  device->addWidget(Label(t, "Leerzeilen im Kopf"), 3, 0);
  SpinEdit_spacelines = Spin(t, "SpinEdit_spacelines", 0, 30);
  device->addWidget(SpinEdit_spacelines, 3, 1);
  device->addWidget(Label(t, "Druckschrift"), 4, 0);
  auto* font = new QHBoxLayout;
  Label_textfont = Named(new QLabel(t), "Label_textfont");
  font->addWidget(Label_textfont, 1);
  Button_textfont = SmallButton(t, "Button_textfont", "...");
  connect(Button_textfont, &QPushButton::clicked, this, &Tconfig::Button_textfontClick);
  font->addWidget(Button_textfont);
  device->addLayout(font, 4, 1);
  g->addLayout(device, 2, 0, 1, 3);

  auto* windowBox = new QGroupBox(Shown("Textfenster (Pixel)"), t);
  auto* w = new QGridLayout(windowBox);
  const char* captions[4] = {"links", "oben", "Breite", "Höhe"};
  QLineEdit** edits[4] = {&Edit_left, &Edit_top, &Edit_width, &Edit_height};
  const char* names[4] = {"Edit_left", "Edit_top", "Edit_width", "Edit_height"};
  for (int i = 0; i < 4; ++i) {
    w->addWidget(Label(windowBox, captions[i]), 0, i);
    *edits[i] = Edit(windowBox, names[i], 50);
    w->addWidget(*edits[i], 1, i);
  }
  Button_Textwindow = SmallButton(windowBox, "Button_Textwindow", "Standard");
  connect(Button_Textwindow, &QPushButton::clicked, this, &Tconfig::Button_TextwindowClick);
  w->addWidget(Button_Textwindow, 1, 4);
  g->addWidget(windowBox, 3, 0, 1, 3);
  Button_texthilfe = FinishTab(g, 4, 2, "Button_texthilfe", 1945, Qt::AlignRight);
}

void Tconfig::BuildEinstellungTab() {
  QGridLayout* g = NewTab(PageControl, Tab_einstellung, "Tab_einstellung", "Einstellungen");
  QWidget* t = Tab_einstellung;
  RadioGroup_punktkomma = Radio(t, "RadioGroup_punktkomma", "Dezimaltrenner CAD-Text", {"x.xx", "x,xx"});
  g->addWidget(RadioGroup_punktkomma, 0, 0);
  RadioGroup_ExcelDot = Radio(t, "RadioGroup_ExcelDot", "Excel", {"English x.xx", "German x,xx"});
  g->addWidget(RadioGroup_ExcelDot, 0, 1);
  RadioGroup_chars = Radio(t, "RadioGroup_chars", "Sonderzeichen", {"²  µ  °", "2 u  deg"});
  g->addWidget(RadioGroup_chars, 0, 2);
  RadioGroup_hilfegrad = Radio(t, "RadioGroup_hilfegrad", "Hilfegrad",
                               {"0 : Keine Info nach Eingabe", "1 : Normale Einstellung",
                                "2 : Erweiterte Hilfe, Einzeleingabe"});
  g->addWidget(RadioGroup_hilfegrad, 1, 0, 1, 2);
  RadioGroup_ergebnisgrafik =
      Radio(t, "RadioGroup_ergebnisgrafik", "Ergebnisgrafik",
            {ResultGraphicTexts[0], ResultGraphicTexts[1], ResultGraphicTexts[2],
             ResultGraphicTexts[3], ResultGraphicTexts[4], ResultGraphicTexts[5],
             ResultGraphicTexts[6]});
  g->addWidget(RadioGroup_ergebnisgrafik, 1, 2, 4, 1, Qt::AlignTop);
  auto* misc = new QGridLayout;
  misc->addWidget(Label(t, "Dezimalstellen"), 0, 0);
  SpinEdit_dezimalstellen = Spin(t, "SpinEdit_dezimalstellen", 1, 9);
  misc->addWidget(SpinEdit_dezimalstellen, 0, 1);
  misc->addWidget(Label(t, "Einheiten"), 1, 0);
  ComboBox_unit = Combo(t, "ComboBox_unit", {});
  for (const std::string& u : UnitSystemNames) ComboBox_unit->addItem(Shown(u));
  misc->addWidget(ComboBox_unit, 1, 1);
  CheckBox_archivmode = Check(t, "CheckBox_archivmode", "Archivierungsmodus");
  misc->addWidget(CheckBox_archivmode, 2, 0, 1, 2);
  CheckBox_aktuellfile = Check(t, "CheckBox_aktuellfile", "aktuelle Datei verwenden");
  misc->addWidget(CheckBox_aktuellfile, 3, 0, 1, 2);
  CheckBox_saveMenuLanguage = Check(t, "CheckBox_saveMenuLanguage", "Save Menu Language ?");
  misc->addWidget(CheckBox_saveMenuLanguage, 4, 0, 1, 2);
  g->addLayout(misc, 2, 0, 3, 2, Qt::AlignTop);
  Button_einstellunghilfe = FinishTab(g, 5, 2, "Button_einstellunghilfe", 1950, Qt::AlignRight);
}

void Tconfig::BuildExternTab() {
  QGridLayout* g = NewTab(PageControl, Tab_extern, "Tab_extern", "Extern");
  QWidget* t = Tab_extern;
  auto programRow = [&](int row, const std::string& caption, QLineEdit*& edit, const char* editName,
                        QPushButton*& button, const char* buttonName) {
    g->addWidget(Label(t, caption), row, 0);
    edit = Edit(t, editName, 320);
    g->addWidget(edit, row, 1);
    button = SmallButton(t, buttonName, "...");
    g->addWidget(button, row, 2);
  };
  programRow(0, "HTML Browser", Edit_externhtml, "Edit_externhtml", Button_externhtml,
             "Button_externhtml");
  programRow(1, "Textprogramm", Edit_externtxt, "Edit_externtxt", Button_externtxt,
             "Button_externtxt");
  programRow(2, "Handbuch", Edit_handbuchdir, "Edit_handbuchdir", Button_handbuchdir,
             "Button_handbuchdir");
  auto browse = [](QLineEdit* edit, auto filter) {
    return [edit, filter] {
      std::string chosen;
      BrowseFile(edit->text().toStdString(), filter(), chosen);
      if (!Flags.AbortFlag) edit->setText(QString::fromStdString(chosen));
      Flags.AbortFlag = false;
    };
  };
  connect(Button_externhtml, &QPushButton::clicked, this,
          browse(Edit_externhtml, [] { return std::string("*.exe"); }));
  connect(Button_externtxt, &QPushButton::clicked, this,
          browse(Edit_externtxt, [] { return std::string("*.exe"); }));
  connect(Button_handbuchdir, &QPushButton::clicked, this,
          browse(Edit_handbuchdir, [] { return LowerStr(Ident.ProgramName) + ".htm"; }));

  g->addWidget(Label(t, "GRAVURA-Kommandozeilen"), 3, 0, 1, 3);
  ListBox_gravura = Named(new QListWidget(t), "ListBox_gravura");
  ListBox_gravura->setMinimumHeight(ListBox_gravura->fontMetrics().height() * 6 + 8);
  g->addWidget(ListBox_gravura, 4, 0, 1, 3);
  connect(ListBox_gravura, &QListWidget::itemDoubleClicked, this,
          [this] { Button_editgravuracommandlineClick(); });
  auto* lineButtons = new QHBoxLayout;
  Button_confgravura = SmallButton(t, "Button_confgravura", "Einstellungen...");
  connect(Button_confgravura, &QPushButton::clicked, this, &Tconfig::Button_confgravuraClick);
  Button_editgravuracommandline = SmallButton(t, "Button_editgravuracommandline", "Bearbeiten...");
  connect(Button_editgravuracommandline, &QPushButton::clicked, this,
          &Tconfig::Button_editgravuracommandlineClick);
  lineButtons->addWidget(Button_confgravura);
  lineButtons->addWidget(Button_editgravuracommandline);
  lineButtons->addStretch();
  g->addLayout(lineButtons, 5, 0, 1, 3);
  Button_externhilfe = FinishTab(g, 6, 2, "Button_externhilfe", 1955);
}

void Tconfig::BuildZeichnungTab() {
  QGridLayout* g = NewTab(PageControl, Tab_zeichnung, "Tab_zeichnung", "Zeichnung");
  QWidget* t = Tab_zeichnung;
  Edit_freigabefeld = FieldRow(g, 0, "Freigabefeld", "Edit_freigabefeld", &Button_freigabefeld,
                               "Button_freigabefeld", "Frei");
  Label_freigabefeld = qobject_cast<QLabel*>(g->itemAtPosition(0, 0)->widget());
  Edit_massfaktorconfig = FieldRow(g, 1, "Maßfaktor", "Edit_massfaktorconfig",
                                   &Button_massfaktorconfig, "Button_massfaktorconfig", "1.0");
  g->addWidget(Label(t, "Schriftfeld"), 2, 0);
  ComboBox_zeichnkopf = Combo(t, "ComboBox_zeichnkopf",
                              {TitleBlockKindTexts[0], TitleBlockKindTexts[1],
                               TitleBlockKindTexts[2], TitleBlockKindTexts[3]});
  g->addWidget(ComboBox_zeichnkopf, 2, 1);
  Label_7200rand = Label(t, "Heftrand");
  g->addWidget(Label_7200rand, 3, 0);
  ComboBox_7200rand = Combo(t, "ComboBox_7200rand", {DrawingMarginTexts[0], DrawingMarginTexts[1]});
  g->addWidget(ComboBox_7200rand, 3, 1);
  Label_index = Label(t, "Änderungsindex");
  g->addWidget(Label_index, 4, 0);
  ComboBox_index = Combo(t, "ComboBox_index", {IndexStyleTexts[0], IndexStyleTexts[1],
                                                IndexStyleTexts[2], IndexStyleTexts[3]});
  g->addWidget(ComboBox_index, 4, 1);
  connect(ComboBox_zeichnkopf, &QComboBox::activated, this, &Tconfig::AdjustTitleBlockControls);
  connect(ComboBox_7200rand, &QComboBox::activated, this, &Tconfig::AdjustTitleBlockControls);

  auto* checks = new QGridLayout;
  const std::pair<QCheckBox**, std::pair<const char*, const char*>> boxes[] = {
      {&CheckBox_zeichnungskopf, {"CheckBox_zeichnungskopf", "Zeichnungsrahmen und Schriftfeld"}},
      {&CheckBox_zeichzorquantitel, {"CheckBox_zeichzorquantitel", "Programmtitel"}},
      {&CheckBox_zeichfilename, {"CheckBox_zeichfilename", "Dateiname"}},
      {&CheckBox_zeichdatum, {"CheckBox_zeichdatum", "Datum und Uhrzeit"}},
      {&CheckBox_zeichlogo, {"CheckBox_zeichlogo", "Logo"}},
      {&CheckBox_copyrightvermerk, {"CheckBox_copyrightvermerk", "Schutzvermerk"}},
      {&CheckBox_aenderungen, {"CheckBox_aenderungen", "Änderungstabelle"}},
      {&CheckBox_abc123, {"CheckBox_abc123", "Feldeinteilung (A, B, C / 1, 2, 3)"}},
      {&CheckBox_mmscale, {"CheckBox_mmscale", "Millimeterteilung"}},
      {&CheckBox_zeichhead034, {"CheckBox_zeichhead034", "Kopfblöcke $head_0/3/4.dx$"}},
      {&CheckBox_zeichinsert034, {"CheckBox_zeichinsert034", "Einfügeblöcke $insert_0/3/4.dx$"}},
  };
  int i = 0;
  for (const auto& [box, text] : boxes) {
    *box = Check(t, text.first, text.second);
    checks->addWidget(*box, i % 6, i / 6);
    ++i;
  }
  auto* checkBox = new QGroupBox(Shown("Zeichnen"), t);
  checkBox->setLayout(checks);
  g->addWidget(checkBox, 5, 0, 1, 3);
  Button_zeichnunghilfe = FinishTab(g, 6, 2, "Button_zeichnunghilfe", 1960);
}

// ---- Values -----------------------------------------------------------------------------------

void Tconfig::FillControls(const ProgramSettings& s, bool archiveMode) {
  auto set = [](QLineEdit* e, const std::string& text) { e->setText(QString::fromStdString(text)); };
  // Directories.
  set(Edit_dircad, s.CadFolder);
  set(Edit_dirdbf, s.DbfFolder);
  set(Edit_dirplt, s.PltFolder);
  set(Edit_dirtemp, s.TempFolder);
  set(Edit_dirdata, s.DefaultDataFolder);
  set(Edit_direxe, s.ExeFolder);
  set(Edit_diredi, s.EdiFolder);
  // Graphics: the fields show the drawing area's size (the setting + 1).
  RadioGroup_bildschirmgrafik->SetItemIndex(s.ColorGraphics ? 0 : 1);
  set(Edit_x, IntStr(s.ScreenWidth + 1));
  set(Edit_y, IntStr(s.ScreenHeight + 1));
  set(Edit_font, s.GraphicFontName);
  set(Edit_textbreitenfaktor, RealText(s.GraphicTextWidthFactor));
  set(Edit_texthoehenfaktor, RealText(s.GraphicTextHeightFactor));
  set(Edit_zoomfaktor, RealText(s.ZoomFactor));
  set(Edit_panfaktor, RealText(s.PanFactor));
  CheckBox_umrandung->setChecked(s.ScreendumpBorder);
  SpinEdit_dialogfenster->setValue(s.FormScalePercent);
  SpinEdit_dialogelemente->setValue(s.FontScalePercent);
  CheckBox_3dxyz->setChecked(s.Edit3DAngles);
  set(Edit_3dx, RealText(RadiansToDegrees(s.Default3DAngles[0])));
  set(Edit_3dy, RealText(RadiansToDegrees(s.Default3DAngles[1])));
  set(Edit_3dz, RealText(RadiansToDegrees(s.Default3DAngles[2])));
  CheckBox_zeichfusszeile->setChecked(!s.DrawFooter);
  // CAD layers 1..5.
  for (int r = 0; r < 5; ++r) {
    SetCell(StringGrid_layer, r, 0, s.CadLayerNames[r + 1]);
    SetCell(StringGrid_layer, r, 1, IntStr(s.CadLayerColors[r + 1]));
    SetCell(StringGrid_layer, r, 2, IntStr(s.LayerLineWidths[r + 1]));
  }
  CheckBox_layermonochrom->setChecked(s.LayerMonochrome);
  set(Edit_cadfont, s.CadTextStyle);
  set(Edit_cadtextbreite, RealText(s.CadTextWidthFactor));
  set(Edit_cadtextwinkel, RealText(s.CadTextAngle));
  CheckBox_diagrammgrenzen->setChecked(s.AskDiagramLimits);
  SpinEdit_dxfdec->setValue(s.CadDecimals);
  radiogroupcadtexttyp->SetItemIndex(s.CadTextMode - 1);
  CheckBox_3Dto2D->setChecked(s.Cad3DTo2D);
  // Colour layers and palette.
  for (int r = 0; r < 16; ++r) {
    SetCell(StringGrid_color, r, 0, IntStr(s.ColorLayerColors[r]));
    SetCell(StringGrid_color, r, 1, IntStr(s.ColorLayerLineWidths[r]));
  }
  // Printer.
  set(Edit_printxorigin, IntStr(s.ScreendumpOriginX));
  set(Edit_printyorigin, IntStr(s.ScreendumpOriginY));
  set(Edit_printscale, RealText(s.ScreendumpScale));
  set(Edit_printscaley, RealText(s.ScreendumpScaleY));
  RadioGroup_printmono->SetItemIndex(s.PrintColorMode - 1);
  RadioGroup_orientation->SetItemIndex(s.PrintOrientation - 1);
  CheckBox_printerDialogbox->setChecked(s.GraphicPrintDialog);
  ComboBox_lpt->setCurrentIndex(s.PrinterPort - 1);
  // Listings.
  RadioGroup_trenn->SetItemIndex(s.SeparatorMode - 1);
  RadioGroup_date->SetItemIndex(s.DateFormat >= 1 && s.DateFormat <= 4 ? s.DateFormat - 1 : 4);
  ComboBox_ausdruckdefault->setCurrentIndex(s.DefaultTextDevice - 1);
  CheckBox_ausdruckshowdialog->setChecked(s.AskTextDevice);
  set(Edit_left, IntStr(s.TextWindowRect[0]));
  set(Edit_top, IntStr(s.TextWindowRect[1]));
  set(Edit_width, IntStr(s.TextWindowRect[2]));
  set(Edit_height, IntStr(s.TextWindowRect[3]));
  SpinEdit_linesperpage->setValue(s.LinesPerPage);
  SpinEdit_spacelines->setValue(s.HeaderSpaceLines);
  RadioGroup_ff->SetItemIndex(s.HeaderMode - 1);
  RadioGroup_ausgrad->SetItemIndex(s.AngleFormat - 1);
  // Settings.
  RadioGroup_punktkomma->SetItemIndex(s.DecimalSeparatorMode - 1);
  RadioGroup_hilfegrad->SetItemIndex(s.HelpLevel);
  CheckBox_archivmode->setChecked(archiveMode);
  SpinEdit_dezimalstellen->setValue(s.Decimals);
  RadioGroup_ExcelDot->SetItemIndex(s.ExcelDecimalMode - 1);
  RadioGroup_chars->SetItemIndex(s.SpecialCharMode);
  RadioGroup_ergebnisgrafik->SetItemIndex(s.ResultGraphicKind);
  CheckBox_aktuellfile->setChecked(s.UseCurrentFile);
  ComboBox_unit->setCurrentIndex(s.UnitSystem);
  CheckBox_saveMenuLanguage->setChecked(s.SaveMenuLanguage);
  // External programs.
  set(Edit_externhtml, s.HtmlBrowser);
  set(Edit_externtxt, s.TextProgram);
  set(Edit_handbuchdir, s.ManualFolder);
  // Drawing.
  set(Edit_freigabefeld, s.ReleaseFieldText);
  set(Edit_massfaktorconfig, RealText(s.DimensionSizeFactor));
  CheckBox_zeichzorquantitel->setChecked(!s.DrawMakerTitle);
  CheckBox_zeichfilename->setChecked(!s.DrawFileName);
  CheckBox_zeichdatum->setChecked(!s.DrawDate);
  CheckBox_zeichlogo->setChecked(!s.DrawLogo);
  CheckBox_zeichnungskopf->setChecked(!s.DrawTitleBlock);
  ComboBox_zeichnkopf->setCurrentIndex(s.TitleBlockKind);
  CheckBox_copyrightvermerk->setChecked(!s.DrawProtectionNote);
  ComboBox_7200rand->setCurrentIndex(s.DrawingMargin);
  ComboBox_index->setCurrentIndex(s.IndexStyle);
  CheckBox_abc123->setChecked(!s.DrawFrameZones);
  CheckBox_mmscale->setChecked(!s.DrawMmScale);
  CheckBox_aenderungen->setChecked(s.DrawChangeLog);
  CheckBox_zeichhead034->setChecked(s.UseHeadBlockFiles);
  CheckBox_zeichinsert034->setChecked(s.UseInsertBlockFiles);
  // Values held by the window beyond its controls (colours, fonts, command lines).
  edited_ = s;
  archive_ = archiveMode;
  ShowColorPanels();
  ShowBackground();
  FillGravuraList();
  Label_textfont->setText(Shown(s.PrintFontName + ", " + IntStr(s.PrintFontSize)));
  AdjustTitleBlockControls();
}

void Tconfig::TakeControls(ProgramSettings& s, bool& archiveMode) const {
  s = edited_;
  auto real = [](const QLineEdit* e) { return StrToReal(Text(e)); };
  auto whole = [](const QLineEdit* e) { return StrToInteger(TrimBlanks(Text(e))); };
  auto index = [](int i, int fallback) { return i >= 0 ? i : fallback; };
  s.CadFolder = Text(Edit_dircad);
  s.DbfFolder = Text(Edit_dirdbf);
  s.PltFolder = Text(Edit_dirplt);
  s.TempFolder = Text(Edit_dirtemp);
  s.DefaultDataFolder = Text(Edit_dirdata);
  s.ExeFolder = Text(Edit_direxe);
  s.EdiFolder = Text(Edit_diredi);

  s.ColorGraphics = RadioGroup_bildschirmgrafik->ItemIndex() != 1;
  s.ScreenWidth = ScreenSizeFromField(Text(Edit_x), MaxDrawingWidth(DialogHostWindow()));
  s.ScreenHeight = ScreenSizeFromField(Text(Edit_y), MaxDrawingHeight(DialogHostWindow()));
  s.GraphicFontName = Text(Edit_font);
  s.GraphicTextWidthFactor = real(Edit_textbreitenfaktor);
  s.GraphicTextHeightFactor = real(Edit_texthoehenfaktor);
  s.ZoomFactor = real(Edit_zoomfaktor);
  s.PanFactor = real(Edit_panfaktor);
  s.ScreendumpBorder = CheckBox_umrandung->isChecked();
  s.FormScalePercent = SpinEdit_dialogfenster->value();
  s.FontScalePercent = SpinEdit_dialogelemente->value();
  s.Edit3DAngles = CheckBox_3dxyz->isChecked();
  s.Default3DAngles = {DegreesToRadians(real(Edit_3dx)), DegreesToRadians(real(Edit_3dy)),
                       DegreesToRadians(real(Edit_3dz))};
  s.DrawFooter = !CheckBox_zeichfusszeile->isChecked();

  for (int r = 0; r < 5; ++r) {
    s.CadLayerNames[r + 1] = Cell(StringGrid_layer, r, 0);
    s.CadLayerColors[r + 1] = StrToInteger(TrimBlanks(Cell(StringGrid_layer, r, 1)));
    s.LayerLineWidths[r + 1] = StrToInteger(TrimBlanks(Cell(StringGrid_layer, r, 2)));
  }
  s.LayerMonochrome = CheckBox_layermonochrom->isChecked();
  s.CadTextStyle = Text(Edit_cadfont);
  s.CadTextWidthFactor = real(Edit_cadtextbreite);
  s.CadTextAngle = real(Edit_cadtextwinkel);
  s.AskDiagramLimits = CheckBox_diagrammgrenzen->isChecked();
  s.CadDecimals = SpinEdit_dxfdec->value();
  s.CadTextMode = index(radiogroupcadtexttyp->ItemIndex(), s.CadTextMode - 1) + 1;
  s.Cad3DTo2D = CheckBox_3Dto2D->isChecked();
  for (int r = 0; r < 16; ++r) {
    s.ColorLayerColors[r] = StrToInteger(TrimBlanks(Cell(StringGrid_color, r, 0)));
    s.ColorLayerLineWidths[r] = StrToInteger(TrimBlanks(Cell(StringGrid_color, r, 1)));
  }

  s.ScreendumpOriginX = whole(Edit_printxorigin);
  s.ScreendumpOriginY = whole(Edit_printyorigin);
  s.ScreendumpScale = static_cast<double>(real(Edit_printscale));
  s.ScreendumpScaleY = static_cast<double>(real(Edit_printscaley));
  s.PrintColorMode = index(RadioGroup_printmono->ItemIndex(), s.PrintColorMode - 1) + 1;
  s.PrintOrientation = index(RadioGroup_orientation->ItemIndex(), s.PrintOrientation - 1) + 1;
  s.GraphicPrintDialog = CheckBox_printerDialogbox->isChecked();
  s.PrinterPort = index(ComboBox_lpt->currentIndex(), s.PrinterPort - 1) + 1;

  s.SeparatorMode = index(RadioGroup_trenn->ItemIndex(), s.SeparatorMode - 1) + 1;
  if (const int d = RadioGroup_date->ItemIndex(); d >= 0 && d <= 3)
    s.DateFormat = d + 1;
  else if (d == 4 && s.DateFormat >= 1 && s.DateFormat <= 4)
    s.DateFormat = 5;
  s.DefaultTextDevice = index(ComboBox_ausdruckdefault->currentIndex(), s.DefaultTextDevice - 1) + 1;
  s.AskTextDevice = CheckBox_ausdruckshowdialog->isChecked();
  s.TextWindowRect = {whole(Edit_left), whole(Edit_top), whole(Edit_width), whole(Edit_height)};
  s.LinesPerPage = SpinEdit_linesperpage->value();
  s.HeaderSpaceLines = SpinEdit_spacelines->value();
  s.HeaderMode = index(RadioGroup_ff->ItemIndex(), s.HeaderMode - 1) + 1;
  s.AngleFormat = index(RadioGroup_ausgrad->ItemIndex(), s.AngleFormat - 1) + 1;

  s.DecimalSeparatorMode = index(RadioGroup_punktkomma->ItemIndex(), s.DecimalSeparatorMode - 1) + 1;
  s.HelpLevel = index(RadioGroup_hilfegrad->ItemIndex(), s.HelpLevel);
  archiveMode = CheckBox_archivmode->isChecked();
  s.Decimals = SpinEdit_dezimalstellen->value();
  s.ExcelDecimalMode = index(RadioGroup_ExcelDot->ItemIndex(), s.ExcelDecimalMode - 1) + 1;
  s.SpecialCharMode = index(RadioGroup_chars->ItemIndex(), s.SpecialCharMode);
  s.ResultGraphicKind = index(RadioGroup_ergebnisgrafik->ItemIndex(), s.ResultGraphicKind);
  s.UseCurrentFile = CheckBox_aktuellfile->isChecked();
  s.UnitSystem = index(ComboBox_unit->currentIndex(), s.UnitSystem);
  s.SaveMenuLanguage = CheckBox_saveMenuLanguage->isChecked();

  s.HtmlBrowser = Text(Edit_externhtml);
  s.TextProgram = Text(Edit_externtxt);
  s.ManualFolder = Text(Edit_handbuchdir);

  s.ReleaseFieldText = Text(Edit_freigabefeld);
  s.DimensionSizeFactor = real(Edit_massfaktorconfig);
  s.DrawMakerTitle = !CheckBox_zeichzorquantitel->isChecked();
  s.DrawFileName = !CheckBox_zeichfilename->isChecked();
  s.DrawDate = !CheckBox_zeichdatum->isChecked();
  s.DrawLogo = !CheckBox_zeichlogo->isChecked();
  s.DrawTitleBlock = !CheckBox_zeichnungskopf->isChecked();
  s.TitleBlockKind = index(ComboBox_zeichnkopf->currentIndex(), s.TitleBlockKind);
  s.DrawProtectionNote = !CheckBox_copyrightvermerk->isChecked();
  s.DrawingMargin = index(ComboBox_7200rand->currentIndex(), s.DrawingMargin);
  s.IndexStyle = index(ComboBox_index->currentIndex(), s.IndexStyle);
  s.DrawFrameZones = !CheckBox_abc123->isChecked();
  s.DrawMmScale = !CheckBox_mmscale->isChecked();
  s.DrawChangeLog = CheckBox_aenderungen->isChecked();
  s.UseHeadBlockFiles = CheckBox_zeichhead034->isChecked();
  s.UseInsertBlockFiles = CheckBox_zeichinsert034->isChecked();

  CorrectTakenFactors(s);
  CorrectTextWindowRect(s.TextWindowRect, whole(Edit_y));
}

void Tconfig::TakeIntoSettings() {
  const int oldWidth = Settings.ScreenWidth, oldHeight = Settings.ScreenHeight;
  TakeControls(edited_, archive_);
  Settings = edited_;
  Flags.ArchiveMode = archive_;
  if (QWidget* main = DialogHostWindow();
      main && (Settings.ScreenWidth != oldWidth || Settings.ScreenHeight != oldHeight)) {
    SizeMainWindow(main);
    main->update();
  }
}

// ---- Buttons ----------------------------------------------------------------------------------

void Tconfig::Button_okClick() {
  TakeIntoSettings();
  Flags.AbortFlag = false;
  accept();
}

void Tconfig::Button_cancelClick() { reject(); }

void Tconfig::Button_saveClick() {
  TakeIntoSettings();
  Flags.AbortFlag = false;
  WriteConfiguration();
  Flags.AbortFlag = false;
}

namespace {
// Runs body with ConfigFolder and ProgramName set to those of file; both are restored after.
template <typename Body>
void WithConfigFile(const std::string& file, Body body) {
  const std::string folder = Settings.ConfigFolder, name = Ident.ProgramName;
  Settings.ConfigFolder = ExtractFolder(file);
  Ident.ProgramName = FileNameWithoutExt(file);
  body();
  Settings.ConfigFolder = folder;
  Ident.ProgramName = name;
}

bool AskConfigFile(bool save, std::string& file) {
  FileDialogRequest request;
  request.StartFolder = Settings.ConfigFolder;
  request.ProposedName = save ? Ident.ProgramName + ".cfg" : "";
  request.Patterns = {"*.cfg"};
  std::string chosen;
  const bool ok = save ? Dialogs().SaveFileName(request, chosen) : Dialogs().OpenFileName(request, chosen);
  if (!ok || chosen.empty()) return false;
  if (save && ExtensionAfterDot(chosen).empty()) chosen += ".cfg";
  file = chosen;
  return true;
}
}  // namespace

void Tconfig::Button_importClick() {
  std::string file;
  if (!AskConfigFile(false, file)) return;
  // The file is read over a copy: only OK, Save or Export take what it brought.
  const ProgramSettings before = Settings;
  const bool archiveBefore = Flags.ArchiveMode;
  ProgramSettings imported = Settings;
  bool importedArchive = archiveBefore;
  bool found = false;
  WithConfigFile(file, [&] {
    if (!FileCanOpen(ConfigurationFileName())) return;
    Flags.AbortFlag = false;
    ReadConfiguration();
    found = !Flags.AbortFlag;
    imported = Settings;
    importedArchive = Flags.ArchiveMode;
  });
  Settings = before;
  Flags.ArchiveMode = archiveBefore;
  Flags.AbortFlag = false;
  if (!found) {
    CheckFileAccess(file);
    Flags.AbortFlag = false;
    return;
  }
  // The folders of this run and the running language are no part of a configuration file.
  imported.ConfigFolder = before.ConfigFolder;
  imported.StartFolder = before.StartFolder;
  imported.PrintPresetFolder = before.PrintPresetFolder;
  imported.LanguageNumber = before.LanguageNumber;
  FillControls(imported, importedArchive);
}

void Tconfig::Button_exportClick() {
  TakeIntoSettings();
  std::string file;
  if (!AskConfigFile(true, file)) return;
  WithConfigFile(file, [] {
    Flags.AbortFlag = false;
    WriteConfiguration();
  });
  Flags.AbortFlag = false;
}

void Tconfig::ShowBackground() { Paint(Panel_colour, edited_.BackgroundColor); }

void Tconfig::ShowColorPanels() {
  for (int i = 0; i < 16; ++i) Paint(Panel_color[i], edited_.ColorPalette[i]);
}

void Tconfig::Button_hintergrundfarbeClick() {
  int color = edited_.BackgroundColor;
  if (!PickColor || !PickColor(color)) return;
  // The background colour is taken at once, whatever the window's end.
  edited_.BackgroundColor = color;
  Settings.BackgroundColor = color;
  ShowBackground();
}

void Tconfig::Panel_colorClick(int i) {
  int color = edited_.ColorPalette[i];
  if (!PickColor || !PickColor(color)) return;
  edited_.ColorPalette[i] = color;
  ShowColorPanels();
}

void Tconfig::Button_resetcolorClick() {
  for (int i = 0; i < 16; ++i) edited_.ColorPalette[i] = startValues.ColorPalette[i];
  ShowColorPanels();
}

void Tconfig::Button_selectlayercolorClick() {
  const int row = std::max(0, StringGrid_layer->currentRow());
  int number = StrToInteger(TrimBlanks(Cell(StringGrid_layer, row, 1)));
  if (SelectColorNumber(number, this)) SetCell(StringGrid_layer, row, 1, IntStr(number));
}

void Tconfig::Button_selectcolorClick() {
  if (StringGrid_color->currentColumn() != 0) return;
  const int row = std::max(0, StringGrid_color->currentRow());
  int number = StrToInteger(TrimBlanks(Cell(StringGrid_color, row, 0)));
  if (SelectColorNumber(number, this)) SetCell(StringGrid_color, row, 0, IntStr(number));
}

void Tconfig::Button_dirtempenvClick() {
  // Only the blanks around the value go: a folder may hold blanks in its name.
  if (const char* temp = std::getenv("TEMP"); temp && *temp)
    Edit_dirtemp->setText(QString::fromStdString(TrimBlanks(temp)));
}

void Tconfig::Button_TextwindowClick() {
  const auto r = TextWindowPreset(StrToInteger(TrimBlanks(Text(Edit_x))),
                                  StrToInteger(TrimBlanks(Text(Edit_y))), edited_.PrintFontSize);
  QLineEdit* edits[4] = {Edit_left, Edit_top, Edit_width, Edit_height};
  for (int i = 0; i < 4; ++i) edits[i]->setText(QString::number(r[i]));
}

void Tconfig::ApplyScreenFields() {
  QWidget* main = DialogHostWindow();
  if (!main) return;
  const int w = StrToInteger(TrimBlanks(Text(Edit_x)));
  const int h = StrToInteger(TrimBlanks(Text(Edit_y)));
  main->resize(w > 0 ? w : main->width(), h > 0 ? h : main->height());
}

void Tconfig::Button_aufloesungClick() {
  QScreen* s = QGuiApplication::primaryScreen();
  const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
  Edit_x->setText(QString::number(area.width()));
  Edit_y->setText(QString::number(area.height()));
  ApplyScreenFields();
}

void Tconfig::Button_xClick() {
  int w = StrToInteger(TrimBlanks(Text(Edit_x))), h = 0;
  FitWidthAt4to3(w, h, ScreenWidthPx());
  Edit_x->setText(QString::number(w));
  Edit_y->setText(QString::number(h));
}

void Tconfig::Button_yClick() {
  int w = 0, h = StrToInteger(TrimBlanks(Text(Edit_y)));
  FitHeightAt4to3(w, h, ScreenWidthPx());
  Edit_x->setText(QString::number(w));
  Edit_y->setText(QString::number(h));
}

void Tconfig::Button_dialogsizeClick() {
  QWidget* main = DialogHostWindow();
  QScreen* s = main && main->screen() ? main->screen() : QGuiApplication::primaryScreen();
  const int dpi = s ? static_cast<int>(s->logicalDotsPerInchY() + 0.5) : 96;
  const int percent = DialogScaleFromScreen(dpi, main ? main->frameGeometry().height() : 0,
                                            main ? main->height() : 0);
  SpinEdit_dialogfenster->setValue(percent);
  SpinEdit_dialogelemente->setValue(static_cast<int>(std::lround(dpi / 96.0 * 100)));
}

void Tconfig::Button_fontClick() {
  std::string name = Text(Edit_font);
  int style = edited_.GraphicFontStyle, size = 10;
  if (!PickFont || !PickFont(name, style, size)) return;
  Edit_font->setText(QString::fromStdString(name));
  edited_.GraphicFontStyle = style;
}

void Tconfig::Button_textfontClick() {
  std::string name = edited_.PrintFontName;
  int style = edited_.PrintFontStyle, size = edited_.PrintFontSize;
  if (!PickFont || !PickFont(name, style, size)) return;
  edited_.PrintFontName = name;
  edited_.PrintFontStyle = style;
  edited_.PrintFontSize = size;
  Label_textfont->setText(Shown(name + ", " + IntStr(size)));
}

void Tconfig::FillGravuraList() {
  ListBox_gravura->clear();
  for (int k = 0; k < 5; ++k)
    ListBox_gravura->addItem(QString::fromStdString(IntStr(k + 1) + ": " + edited_.GravuraCommandLines[k]));
  ListBox_gravura->setCurrentRow(0);
}

void Tconfig::EditGravuraLine(bool inWindow) {
  const int k = std::clamp(ListBox_gravura->currentRow(), 0, 4);
  std::string line = edited_.GravuraCommandLines[k];
  Flags.AbortFlag = false;
  bool ok;
  if (inWindow) {
    ok = plotLineEditor && plotLineEditor(line);
  } else {
    InputString("GRAVURA Command Line", 80, line);
    ok = !Flags.AbortFlag;
  }
  Flags.AbortFlag = false;
  if (!ok) return;
  edited_.GravuraCommandLines[k] = line;
  // A line beyond the stored ones becomes one of them.
  edited_.GravuraCommandCount = std::max(edited_.GravuraCommandCount, k + 1);
  FillGravuraList();
  ListBox_gravura->setCurrentRow(k);
}

void Tconfig::Button_confgravuraClick() { EditGravuraLine(true); }
void Tconfig::Button_editgravuracommandlineClick() { EditGravuraLine(false); }

void Tconfig::RadioGroup_bildschirmgrafikClick() {
  if (RadioGroup_bildschirmgrafik->ItemIndex() != 1) return;
  if (edited_.BackgroundColor == 0 || edited_.BackgroundColor == 1) {
    edited_.BackgroundColor = 0xFFFFFF;
    Settings.BackgroundColor = 0xFFFFFF;
    ShowBackground();
  }
}

void Tconfig::AdjustTitleBlockControls() {
  const int kind = ComboBox_zeichnkopf->currentIndex();
  const bool iso = kind == 1 || kind == 2;
  // The release field belongs to the DIN title blocks; the revision index to the ISO revision
  // table; zone marks and the millimetre scale need the 10 mm margin of the ISO forms.
  for (QWidget* w : {static_cast<QWidget*>(Label_freigabefeld), static_cast<QWidget*>(Edit_freigabefeld),
                     static_cast<QWidget*>(Button_freigabefeld)})
    w->setVisible(!iso);
  if (!iso) ComboBox_7200rand->setCurrentIndex(0);
  ComboBox_7200rand->setEnabled(iso);
  Label_index->setVisible(iso);
  ComboBox_index->setVisible(iso);
  const bool wide = iso && ComboBox_7200rand->currentIndex() == 1;
  CheckBox_abc123->setVisible(wide);
  CheckBox_mmscale->setVisible(wide);
}

void Tconfig::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  AdjustTitleBlockControls();
}

void ShowConfiguration(QWidget* parent) {
  Tconfig window(parent);
  window.exec();
}

}  // namespace qern
