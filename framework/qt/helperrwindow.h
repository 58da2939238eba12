// The message-help window: one calculation message with its cause and remedy, which the user may
// edit; the core (framework/uhelperr.h) decides on saving.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qern {

class Thelperr : public QDialog {
  Q_OBJECT

 public:
  Thelperr(const std::string& message, const std::string& cause, const std::string& remedy,
           QWidget* parent = nullptr);

  std::string Cause() const;
  std::string Remedy() const;
  // Set by every change of either memo after the window was shown.
  bool Changed() const { return changed_; }

  QLabel* Label_meldung;
  QLineEdit* Edit_meldung;
  QLabel* Label_ursache;
  QPlainTextEdit* Memo_ursache;
  QLabel* Label_abhilfe;
  QPlainTextEdit* Memo_abhilfe;
  QPushButton* Button_ok;
  QPushButton* Button_help;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Button_helpClick();
  bool changed_ = false;
};

// Makes Thelperr the window of ShowHelpErrWindow; the program calls it once at start.
void InstallErrorHelpWindow();

}  // namespace qern
