// The plot-program settings window and its installation as the plot line editor.
#include "drawing/qt/confgravura.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "drawing/zorqcad.h"
#include "framework/dialogs.h"
#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/lconfig.h"
#include "framework/qt/radiogroup.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
QString Shown(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(name);
  return w;
}
}  // namespace

TForm_confgravura::TForm_confgravura(const std::string& commandLine, QWidget* parent)
    : QDialog(parent) {
  setObjectName("TForm_confgravura");
  setWindowTitle(Shown("GRAVURA"));
  const GravuraWindowValues start = GravuraWindowStartValues(commandLine);
  commandLine_ = GravuraWindowLine(commandLine, start);
  auto label = [this](const char* name, const std::string& text) {
    return Named(new QLabel(Shown(text), this), name);
  };
  auto edit = [this](const char* name, const std::string& text, int width) {
    auto* e = Named(new QLineEdit(QString::fromStdString(text), this), name);
    e->setMinimumWidth(width);
    connect(e, &QLineEdit::textChanged, this, [this] { BuildGravuraCommandLineFromControls(); });
    return e;
  };
  auto button = [this](const char* name, const std::string& text, void (TForm_confgravura::*slot)()) {
    auto* b = Named(new QPushButton(Shown(text), this), name);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, slot);
    return b;
  };

  Label_gravurapath = label("Label_gravurapath", "GRAVURA Programmverzeichnis");
  Edit_gravuraPath = edit("Edit_gravuraPath", start.ProgramPath, 300);
  Button_gravurapath = button("Button_gravurapath", "...", &TForm_confgravura::Button_gravurapathClick);

  RadioGroup_outcode = Named(new TRadioGroup(Shown("Ausgabeformat"),
                                             {"HP-GL Laserjet (HPL)", "Postscript (PS)",
                                              "HP-GL Plotter (PLT)", "HP-GL/2 (PL2)", "Aristo (ART)"},
                                             this),
                             "RadioGroup_outcode");
  RadioGroup_outcode->SetItemIndex(start.Format);
  connect(RadioGroup_outcode, &TRadioGroup::Clicked, this, &TForm_confgravura::RadioGroup_outcodeClick);
  RadioGroup_d = Named(new TRadioGroup(Shown("Ausgabeschnittstelle"), {"seriell", "parallel", "Datei"}, this),
                       "RadioGroup_d");
  RadioGroup_d->SetItemIndex(start.Interface);
  connect(RadioGroup_d, &TRadioGroup::Clicked, this, &TForm_confgravura::RadioGroup_dClick);

  Label_com = label("Label_com", "COM-Port");
  Edit_com = edit("Edit_com", start.Com, 40);
  Label_lpt = label("Label_lpt", "LPT-Port");
  Edit_lpt = edit("Edit_lpt", start.Lpt, 40);
  Label2 = label("Label2", "Ausgabeordner");
  Edit_outdir = edit("Edit_outdir", start.OutputFolder, 240);
  Button_outDir = button("Button_outDir", "...", &TForm_confgravura::Button_outDirClick);
  Button_tempdir = button("Button_tempdir", "TEMP", &TForm_confgravura::Button_tempdirClick);

  Label_scale = label("Label_scale", "Maßstab");
  Edit_scale = edit("Edit_scale", start.Scale, 60);
  CheckBox_scale = Named(new QCheckBox(Shown("Maßstab anpassen ?"), this), "CheckBox_scale");
  connect(CheckBox_scale, &QCheckBox::clicked, this, &TForm_confgravura::CheckBox_scaleClick);
  CheckBox_rotate = Named(new QCheckBox(Shown("Plot um 90 Grad drehen ?"), this), "CheckBox_rotate");
  connect(CheckBox_rotate, &QCheckBox::clicked, this, [this] { BuildGravuraCommandLineFromControls(); });
  Label_xnull = label("Label_xnull", "Nullpunktverschiebung in x-Richtung");
  Edit_xnull = edit("Edit_xnull", start.XOffset, 60);
  Label_ynull = label("Label_ynull", "Nullpunktverschiebung in y-Richtung");
  Edit_ynull = edit("Edit_ynull", start.YOffset, 60);
  Label_textbreitenfaktor = label("Label_textbreitenfaktor", "Textbreitenfaktor");
  Edit_textbreitenfaktor = edit("Edit_textbreitenfaktor", start.TextWidth, 60);
  Label_psfont = label("Label_psfont", "Postscript-Zeichensatz");
  ComboBox_psfont = Named(new QComboBox(this), "ComboBox_psfont");
  ComboBox_psfont->setEditable(true);
  for (const char* f : GravuraPostScriptFonts) ComboBox_psfont->addItem(f);
  ComboBox_psfont->setCurrentIndex(-1);
  ComboBox_psfont->setEditText("");
  connect(ComboBox_psfont, &QComboBox::currentTextChanged, this,
          [this] { BuildGravuraCommandLineFromControls(); });

  Label1 = label("Label1", "Kommandozeile:");
  Label_commandline = Named(new QLabel(QString::fromStdString(commandLine_), this), "Label_commandline");
  Label_commandline->setWordWrap(true);
  Label_commandline->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Label_commandline->setFrameShape(QFrame::StyledPanel);
  Label_commandline->setMinimumHeight(Label_commandline->fontMetrics().height() * 2 + 8);

  Button_help = Named(new QPushButton(Shown("&Hilfe"), this), "Button_help");
  Button_help->setAutoDefault(false);
  connect(Button_help, &QPushButton::clicked, this, [] { ShowHelpEntry(2055, "", 1); });
  Button_ok = button("Button_ok", "OK", &TForm_confgravura::Button_okClick);
  Button_ok->setDefault(true);
  Button_cancel = button("Button_cancel", "Abbrechen", &TForm_confgravura::Button_cancelClick);

  // Layout: program path, then format | interface, then scale and offsets, the command line.
  auto* layout = new QVBoxLayout(this);
  auto* path = new QHBoxLayout;
  path->addWidget(Label_gravurapath);
  path->addWidget(Edit_gravuraPath, 1);
  path->addWidget(Button_gravurapath);
  layout->addLayout(path);

  auto* middle = new QHBoxLayout;
  middle->addWidget(RadioGroup_outcode, 0, Qt::AlignTop);
  auto* port = new QGridLayout;
  port->addWidget(RadioGroup_d, 0, 0, 3, 1, Qt::AlignTop);
  port->addWidget(Label_com, 0, 1);
  port->addWidget(Edit_com, 0, 2);
  port->addWidget(Label_lpt, 1, 1);
  port->addWidget(Edit_lpt, 1, 2);
  port->addWidget(Label2, 3, 0);
  auto* out = new QHBoxLayout;
  out->addWidget(Edit_outdir, 1);
  out->addWidget(Button_outDir);
  out->addWidget(Button_tempdir);
  port->addLayout(out, 4, 0, 1, 3);
  port->setRowStretch(2, 1);
  middle->addLayout(port, 1);
  layout->addLayout(middle);

  auto* values = new QGridLayout;
  values->addWidget(Label_scale, 0, 0);
  values->addWidget(Edit_scale, 0, 1);
  values->addWidget(CheckBox_scale, 0, 2);
  values->addWidget(Label_xnull, 1, 0);
  values->addWidget(Edit_xnull, 1, 1);
  values->addWidget(CheckBox_rotate, 1, 2);
  values->addWidget(Label_ynull, 2, 0);
  values->addWidget(Edit_ynull, 2, 1);
  values->addWidget(Label_textbreitenfaktor, 3, 0);
  values->addWidget(Edit_textbreitenfaktor, 3, 1);
  values->addWidget(Label_psfont, 4, 0);
  values->addWidget(ComboBox_psfont, 4, 1, 1, 2);
  values->setColumnStretch(2, 1);
  layout->addLayout(values);

  layout->addWidget(Label1);
  layout->addWidget(Label_commandline);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button_help);
  buttons->addStretch();
  buttons->addWidget(Button_ok);
  buttons->addWidget(Button_cancel);
  layout->addLayout(buttons);

  // Tab walks the controls row by row as they stand.
  QWidget* order[] = {Edit_gravuraPath, Button_gravurapath, RadioGroup_outcode, RadioGroup_d,
                      Edit_com, Edit_lpt, Edit_outdir, Button_outDir, Button_tempdir, Edit_scale,
                      CheckBox_scale, Edit_xnull, CheckBox_rotate, Edit_ynull,
                      Edit_textbreitenfaktor, ComboBox_psfont, Button_help, Button_ok, Button_cancel};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  RadioGroup_outcodeClick();
  RadioGroup_dClick();
  SetHints();
  building_ = false;
  adjustSize();
  CentreDialog(this);
}

void TForm_confgravura::SetHints() {
  if (Settings.HelpLevel <= 0) return;
  const std::vector<std::pair<int, std::vector<QWidget*>>> hints = {
      {2090, {RadioGroup_outcode}},
      {2120, {RadioGroup_d, Edit_com, Edit_lpt, Label_com, Label_lpt}},
      {2140, {Edit_scale, Label_scale, CheckBox_scale}},
      {2130, {Edit_outdir, Label2}},
      {2280, {ComboBox_psfont, Label_psfont}},
      {2145, {CheckBox_rotate}},
      {2150, {Edit_xnull, Edit_ynull, Label_xnull, Label_ynull}},
      {2160, {Edit_textbreitenfaktor, Label_textbreitenfaktor}},
      {2080, {Edit_gravuraPath, Label_gravurapath}},
  };
  for (const auto& [number, controls] : hints) {
    std::string text;
    GetHelpHint(number, text);
    for (QWidget* w : controls) w->setToolTip(Shown(text));
  }
}

GravuraWindowValues TForm_confgravura::Values() const {
  GravuraWindowValues v;
  v.ProgramPath = Edit_gravuraPath->text().toStdString();
  v.Format = std::max(0, RadioGroup_outcode->ItemIndex());
  v.Interface = RadioGroup_d->ItemIndex() < 0 ? GravuraParallel : RadioGroup_d->ItemIndex();
  v.Com = Edit_com->text().toStdString();
  v.Lpt = Edit_lpt->text().toStdString();
  v.OutputFolder = Edit_outdir->text().toStdString();
  v.Scale = Edit_scale->text().toStdString();
  v.Rotate = CheckBox_rotate->isChecked();
  v.XOffset = Edit_xnull->text().toStdString();
  v.YOffset = Edit_ynull->text().toStdString();
  v.TextWidth = Edit_textbreitenfaktor->text().toStdString();
  v.PostScriptFont = ComboBox_psfont->currentText().toStdString();
  return v;
}

void TForm_confgravura::BuildGravuraCommandLineFromControls() {
  if (building_) return;
  commandLine_ = BuildGravuraCommandLine(Values());
  Label_commandline->setText(QString::fromStdString(commandLine_));
}

void TForm_confgravura::RadioGroup_outcodeClick() {
  const bool postScript = RadioGroup_outcode->ItemIndex() == GravuraPostScript;
  ComboBox_psfont->setEnabled(postScript);
  Label_psfont->setEnabled(postScript);
  BuildGravuraCommandLineFromControls();
}

void TForm_confgravura::RadioGroup_dClick() {
  const int i = RadioGroup_d->ItemIndex();
  Edit_com->setEnabled(i == GravuraSerial);
  Edit_lpt->setEnabled(i == GravuraParallel);
  Edit_outdir->setEnabled(i == GravuraFile);
  BuildGravuraCommandLineFromControls();
}

void TForm_confgravura::CheckBox_scaleClick() {
  if (CheckBox_scale->isChecked()) Edit_scale->setText("0");
  Edit_scale->setEnabled(!CheckBox_scale->isChecked());
  BuildGravuraCommandLineFromControls();
}

void TForm_confgravura::Button_gravurapathClick() {
  std::string chosen;
  BrowseFile(Edit_gravuraPath->text().toStdString(), "*", chosen);
  if (!Flags.AbortFlag) Edit_gravuraPath->setText(QString::fromStdString(chosen));
  Flags.AbortFlag = false;
}

void TForm_confgravura::Button_outDirClick() {
  std::string folder = Edit_outdir->text().toStdString();
  SelectFolderDialog(folder, folder);
  Edit_outdir->setText(QString::fromStdString(folder));
}

void TForm_confgravura::Button_tempdirClick() {
  Edit_outdir->setText(QString::fromStdString(Settings.TempFolder));
}

void TForm_confgravura::Button_okClick() {
  Flags.AbortFlag = false;
  accept();
}

void TForm_confgravura::Button_cancelClick() {
  Flags.AbortFlag = true;
  reject();
}

void InstallGravuraWindow() {
  auto editor = [](std::string& line) {
    TForm_confgravura form(line, DialogHostWindow());
    if (form.exec() != QDialog::Accepted) return false;
    line = form.CommandLine();
    return true;
  };
  SetCadPlotDialogs({editor, AskGravuraCommandLine});
  Tconfig::SetPlotLineEditor(editor);
}

}  // namespace qern
