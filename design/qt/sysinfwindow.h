// The system-information window (Help > System Info), facts about this computer for support
// questions, and the about window with the program's identity and file version.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace qern {

class TSysinfo : public QDialog {
  Q_OBJECT

 public:
  // FormCreate: placed on the main window, which shows the logo; caption ProductName + " System Info".
  explicit TSysinfo(QWidget* parent = nullptr);

  QListWidget* ListBox_info = nullptr;
  QPushButton* OKButton = nullptr;

  // Fills the list with the lines of this machine (also done when the window is first shown).
  void FormActivate();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool filled_ = false;
};

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // FormCreate: banner, version and file version of the program; the main window shows the logo.
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* Label_extended = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Label_fileversion = nullptr;
  QPushButton* OKButton = nullptr;
};

// Create the window, show it modally and free it.
void ShowSystemInfo();
void ShowAboutBox();

}  // namespace qern
