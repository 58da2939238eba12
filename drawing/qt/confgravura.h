// The plot-program settings window: program path, output format, interface, scale, rotation,
// offsets, text width and PostScript font, with the command line rebuilt on every change.
#pragma once

#include <QDialog>
#include <string>

#include "drawing/gravura.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qern {

class TRadioGroup;

class TForm_confgravura : public QDialog {
  Q_OBJECT
 public:
  // commandLine: the text shown until a control changes and returned when nothing changed.
  explicit TForm_confgravura(const std::string& commandLine = "", QWidget* parent = nullptr);

  // The command-line text (preset by the caller, rebuilt on every change).
  std::string CommandLine() const { return commandLine_; }
  // The controls' values.
  GravuraWindowValues Values() const;

  void BuildGravuraCommandLineFromControls();  // rebuild and show
  void RadioGroup_outcodeClick();
  void RadioGroup_dClick();
  void CheckBox_scaleClick();
  void Button_gravurapathClick();
  void Button_outDirClick();
  void Button_tempdirClick();
  void Button_okClick();
  void Button_cancelClick();

  QLineEdit* Edit_gravuraPath = nullptr;
  QPushButton* Button_gravurapath = nullptr;
  TRadioGroup* RadioGroup_outcode = nullptr;
  TRadioGroup* RadioGroup_d = nullptr;
  QLabel* Label_com = nullptr;
  QLabel* Label_lpt = nullptr;
  QLineEdit* Edit_com = nullptr;
  QLineEdit* Edit_lpt = nullptr;
  QLineEdit* Edit_outdir = nullptr;
  QLineEdit* Edit_scale = nullptr;
  QLabel* Label_scale = nullptr;
  QCheckBox* CheckBox_scale = nullptr;
  QCheckBox* CheckBox_rotate = nullptr;
  QLabel* Label_xnull = nullptr;
  QLineEdit* Edit_xnull = nullptr;
  QLabel* Label_ynull = nullptr;
  QLineEdit* Edit_ynull = nullptr;
  QLabel* Label_textbreitenfaktor = nullptr;
  QLineEdit* Edit_textbreitenfaktor = nullptr;
  QComboBox* ComboBox_psfont = nullptr;
  QPushButton* Button_help = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_ok = nullptr;
  QLabel* Label_psfont = nullptr;
  QPushButton* Button_outDir = nullptr;
  QLabel* Label_gravurapath = nullptr;
  QPushButton* Button_tempdir = nullptr;
  QLabel* Label1 = nullptr;  // caption of the command line
  QLabel* Label_commandline = nullptr;
  QLabel* Label2 = nullptr;  // caption of the output folder

 private:
  void SetHints();
  std::string commandLine_;
  bool building_ = true;
};

// Installs the window as the plot settings editor of the CAD device dialog and of the
// configuration window, and the dialog sequence as the device dialog's command-line builder.
void InstallGravuraWindow();

}  // namespace qern
