// The configuration window: the one place where the user edits the program settings, on nine
// tabs, with Save, Import and Export of configuration files and small default-value buttons.
// The window works on a copy: only OK, Save and Export take its values into the settings.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "framework/progvar.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace qern {

class TRadioGroup;

class Tconfig : public QDialog {
  Q_OBJECT
 public:
  explicit Tconfig(QWidget* parent = nullptr);

  // The pickers behind the colour and font buttons; tests put their own in place.
  // Colours are $00BBGGRR values; font styles the numbers of the configuration file.
  std::function<bool(int& color)> PickColor;
  std::function<bool(std::string& name, int& style, int& size)> PickFont;
  // Edits a plot-program command line in the plot settings window (Button_confgravura).
  static void SetPlotLineEditor(std::function<bool(std::string& line)> editor);

  // The window's values, shown from and taken into a settings record.
  void FillControls(const ProgramSettings& s, bool archiveMode);
  void TakeControls(ProgramSettings& s, bool& archiveMode) const;
  // The window's values into the program's settings, with the corrections, and the main window
  // sized to the screen size at once.
  void TakeIntoSettings();

  void Button_okClick();
  void Button_cancelClick();
  void Button_saveClick();
  void Button_importClick();
  void Button_exportClick();
  void Button_hintergrundfarbeClick();
  void Panel_colorClick(int i);
  void Button_selectlayercolorClick();
  void Button_selectcolorClick();
  void Button_resetcolorClick();
  void Button_dirtempenvClick();
  void Button_TextwindowClick();
  void Button_aufloesungClick();
  void Button_xClick();
  void Button_yClick();
  void Button_dialogsizeClick();
  void Button_fontClick();
  void Button_textfontClick();
  void Button_confgravuraClick();
  void Button_editgravuracommandlineClick();
  void RadioGroup_bildschirmgrafikClick();
  void AdjustTitleBlockControls();  // activation and every title-block or margin change

  QTabWidget* PageControl = nullptr;
  QWidget* Tab_dir = nullptr;
  QWidget* Tab_grafik = nullptr;
  QWidget* Tab_cad = nullptr;
  QWidget* Tab_color = nullptr;
  QWidget* Tab_drucker = nullptr;
  QWidget* Tab_textdruck = nullptr;
  QWidget* Tab_einstellung = nullptr;
  QWidget* Tab_extern = nullptr;
  QWidget* Tab_zeichnung = nullptr;

  // Tab_dir
  QLineEdit *Edit_dircad = nullptr, *Edit_dirdbf = nullptr, *Edit_dirplt = nullptr,
            *Edit_dirtemp = nullptr, *Edit_dirdata = nullptr, *Edit_direxe = nullptr,
            *Edit_diredi = nullptr;
  QPushButton *Button_dircad = nullptr, *Button_dirdbf = nullptr, *Button_dirplt = nullptr,
              *Button_dirtemp = nullptr, *Button_dirdata = nullptr, *Button_direxe = nullptr,
              *Button_diredi = nullptr, *Button_dirtempenv = nullptr;
  // Tab_grafik
  TRadioGroup* RadioGroup_bildschirmgrafik = nullptr;
  QLineEdit *Edit_x = nullptr, *Edit_y = nullptr, *Edit_font = nullptr,
            *Edit_textbreitenfaktor = nullptr, *Edit_texthoehenfaktor = nullptr,
            *Edit_zoomfaktor = nullptr, *Edit_panfaktor = nullptr, *Edit_3dx = nullptr,
            *Edit_3dy = nullptr, *Edit_3dz = nullptr;
  QPushButton *Button_x = nullptr, *Button_y = nullptr, *Button_aufloesung = nullptr,
              *Button_font = nullptr, *Button_textbreitenfaktor = nullptr,
              *Button_texthoehenfaktor = nullptr, *Button_hintergrundfarbe = nullptr,
              *Button_zoom = nullptr, *Button_pan = nullptr, *Button_dialogsize = nullptr,
              *Button_dialogelemente = nullptr, *Button_grafikhilfe = nullptr;
  QFrame* Panel_colour = nullptr;
  QCheckBox *CheckBox_umrandung = nullptr, *CheckBox_3dxyz = nullptr,
            *CheckBox_zeichfusszeile = nullptr;
  QSpinBox *SpinEdit_dialogfenster = nullptr, *SpinEdit_dialogelemente = nullptr;
  // Tab_cad
  QTableWidget* StringGrid_layer = nullptr;
  std::array<QPushButton*, 5> Button_layer{};  // Button_layer1 .. Button_layer5
  QPushButton *Button_selectlayercolor = nullptr, *Button_cadtextbreite = nullptr,
              *Button_cadtextwinkel = nullptr, *Button_cadhilfe = nullptr;
  QCheckBox *CheckBox_layermonochrom = nullptr, *CheckBox_diagrammgrenzen = nullptr,
            *CheckBox_3Dto2D = nullptr;
  QLineEdit *Edit_cadfont = nullptr, *Edit_cadtextbreite = nullptr, *Edit_cadtextwinkel = nullptr;
  QSpinBox* SpinEdit_dxfdec = nullptr;
  TRadioGroup* radiogroupcadtexttyp = nullptr;
  // Tab_color
  QTableWidget* StringGrid_color = nullptr;
  std::array<QPushButton*, 16> Panel_color{};  // Panel_color0 .. Panel_color15
  QPushButton *Button_dick1 = nullptr, *Button_dick2 = nullptr, *Button_dick3 = nullptr,
              *Button_resetcolor = nullptr, *Button_selectcolor = nullptr,
              *Button_colorhilfe = nullptr;
  // Tab_drucker
  QLineEdit *Edit_printxorigin = nullptr, *Edit_printyorigin = nullptr, *Edit_printscale = nullptr,
            *Edit_printscaley = nullptr;
  QPushButton *Button_printxorigin = nullptr, *Button_printyorigin = nullptr,
              *Button_printscalex1 = nullptr, *Button_scaleyx = nullptr, *Button_helpprint = nullptr;
  TRadioGroup *RadioGroup_printmono = nullptr, *RadioGroup_orientation = nullptr;
  QCheckBox* CheckBox_printerDialogbox = nullptr;
  QComboBox* ComboBox_lpt = nullptr;
  // Tab_textdruck
  TRadioGroup *RadioGroup_trenn = nullptr, *RadioGroup_date = nullptr, *RadioGroup_ff = nullptr,
              *RadioGroup_ausgrad = nullptr;
  QComboBox* ComboBox_ausdruckdefault = nullptr;
  QCheckBox* CheckBox_ausdruckshowdialog = nullptr;
  QLineEdit *Edit_left = nullptr, *Edit_top = nullptr, *Edit_width = nullptr, *Edit_height = nullptr;
  QSpinBox *SpinEdit_linesperpage = nullptr, *SpinEdit_spacelines = nullptr;
  QPushButton *Button_Textwindow = nullptr, *Button_textfont = nullptr, *Button_texthilfe = nullptr;
  QLabel* Label_textfont = nullptr;
  // Tab_einstellung
  TRadioGroup *RadioGroup_punktkomma = nullptr, *RadioGroup_hilfegrad = nullptr,
              *RadioGroup_ExcelDot = nullptr, *RadioGroup_chars = nullptr,
              *RadioGroup_ergebnisgrafik = nullptr;
  QCheckBox *CheckBox_archivmode = nullptr, *CheckBox_aktuellfile = nullptr,
            *CheckBox_saveMenuLanguage = nullptr;
  QSpinBox* SpinEdit_dezimalstellen = nullptr;
  QComboBox* ComboBox_unit = nullptr;
  QPushButton* Button_einstellunghilfe = nullptr;
  // Tab_extern
  QLineEdit *Edit_externhtml = nullptr, *Edit_externtxt = nullptr, *Edit_handbuchdir = nullptr;
  QPushButton *Button_externhtml = nullptr, *Button_externtxt = nullptr,
              *Button_handbuchdir = nullptr, *Button_confgravura = nullptr,
              *Button_editgravuracommandline = nullptr, *Button_externhilfe = nullptr;
  QListWidget* ListBox_gravura = nullptr;
  // Tab_zeichnung
  QLineEdit *Edit_freigabefeld = nullptr, *Edit_massfaktorconfig = nullptr;
  QPushButton *Button_freigabefeld = nullptr, *Button_massfaktorconfig = nullptr,
              *Button_zeichnunghilfe = nullptr;
  QLabel *Label_freigabefeld = nullptr, *Label_7200rand = nullptr, *Label_index = nullptr;
  QCheckBox *CheckBox_zeichzorquantitel = nullptr, *CheckBox_zeichfilename = nullptr,
            *CheckBox_zeichdatum = nullptr, *CheckBox_zeichlogo = nullptr,
            *CheckBox_zeichnungskopf = nullptr, *CheckBox_copyrightvermerk = nullptr,
            *CheckBox_abc123 = nullptr, *CheckBox_mmscale = nullptr,
            *CheckBox_aenderungen = nullptr, *CheckBox_zeichhead034 = nullptr,
            *CheckBox_zeichinsert034 = nullptr;
  QComboBox *ComboBox_zeichnkopf = nullptr, *ComboBox_7200rand = nullptr,
            *ComboBox_index = nullptr;
  // The window's buttons.
  QPushButton *Button_ok = nullptr, *Button_cancel = nullptr, *Button_save = nullptr,
              *Button_import = nullptr, *Button_export = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildDirTab();
  void BuildGrafikTab();
  void BuildCadTab();
  void BuildColorTab();
  void BuildDruckerTab();
  void BuildTextdruckTab();
  void BuildEinstellungTab();
  void BuildExternTab();
  void BuildZeichnungTab();
  void ShowColorPanels();
  void ShowBackground();
  void FillGravuraList();
  void EditGravuraLine(bool inWindow);
  void ApplyScreenFields();  // leaving Edit_x / Edit_y

  ProgramSettings edited_;  // what the window edits; taken on OK, Save and Export
  bool archive_ = false;
};

// The Settings command of the main window: creates the window, shows it modally, frees it.
void ShowConfiguration(QWidget* parent);

}  // namespace qern
