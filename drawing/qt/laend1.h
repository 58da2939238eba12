// The change-entry window: change text, date, editor and description of one change-log entry,
// and the installation of the change-log menu's two windows.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qern {

class TForm_EinAend : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_EinAend(QWidget* parent = nullptr);

  int n = 1;  // the entry edited (1-based); set before the window is shown

  QLabel* Label_text = nullptr;
  QLabel* Label_datum = nullptr;
  QLabel* Label_bearbeiter = nullptr;
  QLabel* Label_beschreibung = nullptr;
  QLineEdit* Edit_text = nullptr;
  QLineEdit* Edit_datum = nullptr;
  QLineEdit* Edit_bearbeiter = nullptr;
  QPlainTextEdit* Memo_beschreibung = nullptr;
  QPushButton* Button_datum = nullptr;
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;

  void FormShow();  // caption with the entry number, the fields from entry n
  void Button_okClick();
  void Button_cancelClick();
  void Button_helpClick();
  void Button_datumClick();
  void reject() override;  // Esc and the close box act as Cancel

 protected:
  void showEvent(QShowEvent* event) override;
};

// Shows the window modally for entry n (1..25) and frees it. OK clears AbortFlag and stores the
// entry; Cancel sets AbortFlag and leaves it as it was.
void EditChangeEntry(int n);

// Connects the change-log menu to this window and the drawing-information window.
void InstallChangeLogWindows();

}  // namespace qern
