// The geometry input window: the main place where a serration design is entered, with the
// calculation rerun after every change and its results and messages shown beside the inputs.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "design/qerngeomodel.h"
#include "framework/qt/radiogroup.h"
#include "design/qernvar.h"
#include "framework/progvar.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;

namespace qern {

class TForm_qerngeo : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_qerngeo(QWidget* parent = nullptr);

  // Choices.
  QRadioButton* RadioButton_rad12 = nullptr;
  QRadioButton* RadioButton_rad1c = nullptr;
  QRadioButton* RadioButton_rad2c = nullptr;
  TRadioGroup* RadioGroup_mnpn = nullptr;
  TRadioGroup* RadioGroup_wal = nullptr;
  TRadioGroup* RadioGroup_pm1 = nullptr;
  TRadioGroup* RadioGroup_pm2 = nullptr;
  TRadioGroup* RadioGroup_de = nullptr;
  TRadioGroup* RadioGroup_di = nullptr;
  QCheckBox* CheckBox_cmn = nullptr;

  // Input fields.
  QLineEdit* Edit_pn = nullptr;
  QLineEdit* Edit_mn = nullptr;
  QLineEdit* Edit_wal = nullptr;
  QLineEdit* Edit_wgammae = nullptr;
  QLineEdit* Edit_wgammai = nullptr;
  QSpinBox* SpinEdit_z = nullptr;
  QLineEdit* Edit_xe1 = nullptr;
  QLineEdit* Edit_xe2 = nullptr;
  QLineEdit* Edit_mdr1 = nullptr;
  QLineEdit* Edit_mdr2 = nullptr;
  QLineEdit* Edit_sn1 = nullptr;
  QLineEdit* Edit_en2 = nullptr;
  QLineEdit* Edit_dmess1 = nullptr;
  QLineEdit* Edit_dmess2 = nullptr;
  QLineEdit* Edit_fhf1 = nullptr;
  QLineEdit* Edit_fhf2 = nullptr;
  QLineEdit* Edit_fha1 = nullptr;
  QLineEdit* Edit_fha2 = nullptr;
  QLineEdit* Edit_rf1 = nullptr;
  QLineEdit* Edit_rf2 = nullptr;
  QLineEdit* Edit_df1 = nullptr;
  QLineEdit* Edit_df2 = nullptr;
  QLineEdit* Edit_da1 = nullptr;
  QLineEdit* Edit_da2 = nullptr;
  QLineEdit* Edit_ce = nullptr;
  QLineEdit* Edit_ci = nullptr;
  QLineEdit* Edit_cp = nullptr;
  QLineEdit* Edit_cemn = nullptr;
  QLineEdit* Edit_cimn = nullptr;
  QLineEdit* Edit_cpmn = nullptr;

  // Preset buttons.
  QPushButton* Button_fhf1 = nullptr;
  QPushButton* Button_fhf2 = nullptr;
  QPushButton* Button_rf1 = nullptr;
  QPushButton* Button_rf2 = nullptr;
  QPushButton* Button_cemn = nullptr;
  QPushButton* Button_cimn = nullptr;
  QPushButton* Button_cpmn = nullptr;
  QPushButton* Button_dmess1 = nullptr;
  QPushButton* Button_dmess2 = nullptr;
  QPushButton* Button_da1 = nullptr;
  QPushButton* Button_da2 = nullptr;
  QPushButton* Button_xe1 = nullptr;
  QPushButton* Button_sn1 = nullptr;
  QPushButton* Button_mdr1 = nullptr;
  QPushButton* Button_xe2 = nullptr;
  QPushButton* Button_en2 = nullptr;
  QPushButton* Button_mdr2 = nullptr;

  // Captions that carry a help hint.
  QLabel* Label_mn = nullptr;
  QLabel* Label_pn = nullptr;
  QLabel* Label_z = nullptr;
  QLabel* Label_d = nullptr;
  QLabel* Label_xe = nullptr;
  QLabel* Label_xe1 = nullptr;
  QLabel* Label_xe2 = nullptr;
  QLabel* Label_sn = nullptr;
  QLabel* Label_sn1 = nullptr;
  QLabel* Label_en2 = nullptr;
  QLabel* Label_mdr = nullptr;
  QLabel* Label_mdr1 = nullptr;
  QLabel* Label_mdr2 = nullptr;
  QLabel* Label_dm = nullptr;
  QLabel* label_dmess1 = nullptr;
  QLabel* Label_dmess2 = nullptr;
  QLabel* Label_dmajor = nullptr;
  QLabel* Label_dminor = nullptr;
  QLabel* Label_fhf = nullptr;
  QLabel* Label_fha = nullptr;
  QLabel* Label_fhf1 = nullptr;
  QLabel* Label_fhf2 = nullptr;
  QLabel* Label_fha1 = nullptr;
  QLabel* Label_fha2 = nullptr;
  QLabel* Label_da1 = nullptr;
  QLabel* Label_da2 = nullptr;
  QLabel* Label_df1 = nullptr;
  QLabel* Label_df2 = nullptr;
  QLabel* Label_fr1 = nullptr;
  QLabel* Label_fr2 = nullptr;
  QLabel* Label_rf1 = nullptr;
  QLabel* Label_rf2 = nullptr;
  QLabel* Label_ce = nullptr;
  QLabel* Label_ci = nullptr;
  QLabel* Label_cp = nullptr;
  QLabel* Label_cemn = nullptr;
  QLabel* Label_cimn = nullptr;
  QLabel* Label_cpmn = nullptr;

  // Results and messages.
  QLabel* Label_err = nullptr;
  QPlainTextEdit* Memo_err = nullptr;
  std::vector<std::array<QLabel*, 3>> ResultLabels;  // per line: caption, shaft, hub
  // The inputs; they scroll when the screen is too low for the window.
  QScrollArea* ScrollArea_content = nullptr;
  // Results and messages, beside the inputs and always in view.
  QWidget* ResultsPanel = nullptr;

  // Command buttons.
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;
  QPushButton* Button_hilfebild = nullptr;
  QPushButton* Button_dmess = nullptr;
  QPushButton* Button_metric = nullptr;
  QPushButton* Button_calc = nullptr;

  // The control of a field (a QLineEdit, or the spin box for z) and of a preset.
  QWidget* FieldControl(GeoField f) const { return fieldControls_[Index(f)]; }
  QLineEdit* FieldEdit(GeoField f) const;  // nullptr for z
  QPushButton* PresetButton(GeoPreset p) const { return presetButtons_[static_cast<int>(p)]; }
  // The unit label beside a length field (nullptr for other fields).
  QLabel* UnitLabel(GeoField f) const { return unitLabels_[Index(f)]; }
  // The value a field holds (record terms, full precision).
  long double FieldValue(GeoField f) const { return inputs_.Value[Index(f)]; }
  bool FieldEnabled(GeoField f) const { return enabled_[Index(f)]; }
  GeometryChoices CurrentChoices() const;  // as the radio buttons and check box stand
  bool Updating() const { return updating_; }

  // The window's routines.
  void ReadGeometryInputs();
  void RecalculateGeometry();
  void ShowGeometryResults(int mode);  // 0 every field from the record, 1 after a recalculation
  void UpdateGeometryInputStates();
  void MirrorProfileShift(int k);
  void FormShow();  // the first showing: calculate, fill, enable, recalculate

  // Handlers.
  void Button_okClick();
  void Button_cancelClick();
  void Button_metricClick();
  void Button_calcClick();
  void Button_helpClick();
  void Button_hilfebildClick();
  void Button_dmessClick();
  void PresetClick(GeoPreset p);
  void reject() override;  // Esc and the close box act as Cancel

 protected:
  void showEvent(QShowEvent* event) override;
  // A new font (the dialog font scale) sizes the result fields again.
  void changeEvent(QEvent* event) override;

 private:
  void BuildControls();
  void BuildLayout();
  void SetTabOrder();  // row by row as the window reads, each preset button after its edit
  void SetHints();
  void FieldChanged(GeoField f);
  void SetFieldText(GeoField f, long double value);
  void SetFieldByPreset(GeoField f, long double value);  // as if typed, keeping full precision
  void ShowChoices(const GeometryChoices& c);
  void ShowMessages();
  // The results panel, the pitch diameter and the disabled (derived) fields; all blank while a
  // fatal message stands.
  void ShowResultValues();
  // Size and place within the screen's available area, the buttons always on it.
  void FitToScreen();
  // The fixed widths of the pitch diameter and the result fields, from the current font.
  void SizeResultFields();
  // The fixed widths of the input fields, from the current font.
  void SizeInputFields();

  GeometryInputs inputs_;
  std::array<bool, GeoFieldCount> enabled_{};
  std::array<QWidget*, GeoFieldCount> fieldControls_{};
  std::array<QLabel*, GeoFieldCount> unitLabels_{};
  std::array<QPushButton*, GeoPresetCount> presetButtons_{};
  bool updating_ = true;
  bool calculating_ = false;
  bool shown_ = false;
  std::optional<GeoField> presetField_;
  long double presetValue_ = 0;

  // The design as it was when the window opened; Cancel puts it back.
  DesignRecord savedDesign_;
  ErrorListRecord savedErrors_;
  bool savedFatal_ = false;
};

// Opens the window modally on the global design. OK (after a calculation without fatal messages)
// keeps the edits and returns true; Cancel restores the design as it was and returns false with
// AbortFlag set.
bool EditDimensions(QWidget* parent);

// What the window's calculate button draws behind it (the main window installs its default
// drawing); without a handler the button only calculates.
void SetGeometryDrawingHandler(std::function<void()> handler);

}  // namespace qern
