// The document-links window (Documentation > Links): edits the five program/file pairs of the
// design and starts each one, the program with its file or the file with the desktop's program.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "framework/dokuconf.h"
#include "platform/process.h"

class QLineEdit;
class QPushButton;

namespace qern {

// How the window starts things; tests replace them.
struct DocumentLinkActions {
  // Starts argv detached (default: StartDetached).
  std::function<StartResult(const std::vector<std::string>& argv)> Start;
  // Opens a file with the desktop's associated program (default: QDesktopServices).
  std::function<bool(const std::string& file)> Open;
};
void SetDocumentLinkActions(const DocumentLinkActions& actions);  // empty members: the defaults

class TForm_confDoku : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_confDoku(QWidget* parent = nullptr);

  // The ten edits show links; OK copies them back into DocumentLinks.
  void ShowLinks(const std::array<DocumentLink, DocumentLinkSlots>& links);
  std::array<DocumentLink, DocumentLinkSlots> EditedLinks() const;

  std::array<QLineEdit*, DocumentLinkSlots> Edit_prog{}, Edit_file{};
  std::array<QPushButton*, DocumentLinkSlots> Button_prog{}, Button_file{};  // browse
  std::array<QPushButton*, DocumentLinkSlots> Button_start{}, Button_startf{};  // Button1.., Button1f..
  QPushButton* Button_ok = nullptr;
  QPushButton* Button_cancel = nullptr;
  QPushButton* Button_help = nullptr;

  void Button_progClick(int i);   // i = 0..4
  void Button_fileClick(int i);
  void ButtonStartClick(int i);   // program + file
  void ButtonStartFileClick(int i);  // the file alone with its associated program
  void Button_okClick();
  void Button_cancelClick();
  void Button_helpClick();

  void reject() override;  // Esc and the close box act as Cancel
};

// Creates the window, shows it modally with the current links and frees it. OK clears AbortFlag
// and stores the links; Cancel sets AbortFlag and changes nothing.
void ShowDocumentLinks();

}  // namespace qern
