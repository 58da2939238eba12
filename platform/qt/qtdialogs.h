// The Qt dialog service: real modal dialogs for every interaction of the dialog service.
// Dialog windows carry the object names the rest of the program and the tests know them by
// ("Tin_codedialog", "Tin_radiodialog", "Tin_janeindialog", "Tin_textdialog", "TShowScreen").
#pragma once

#include <QString>
#include <functional>

#include "platform/dialogservice.h"

class QWidget;
class QDialog;

namespace qern {

// How a dialog is placed when it is created: centred on the graphics window, or only scaled.
enum class DialogPlacement { Centre, Scale };
using DialogPlacer = std::function<void(QWidget* dialog, DialogPlacement placement)>;

class QtDialogService : public DialogService {
 public:
  explicit QtDialogService(DialogPlacer placer = {});

  // The window whose title SetApplicationTitle sets and that parents the dialogs (the main window).
  void SetMainWindow(QWidget* window) { main_ = window; }

  bool Choose(const std::string& title, const std::vector<std::string>& items, bool asList,
              int& index, int helpNumber) override;
  bool AskYesNo(const std::string& prompt, bool& answer, int helpNumber) override;
  YesNoCancel AskYesNoCancel(const std::string& caption, const std::string& text) override;
  bool AskRetry(const std::string& caption, const std::string& text) override;
  void ShowMessage(const std::string& caption, const std::string& text, MessageKind kind) override;
  void ShowLines(const std::string& caption, const std::vector<std::string>& lines) override;
  bool InputText(const std::string& prompt, int maxLength, std::string& text,
                 int helpNumber) override;
  bool OpenFileName(const FileDialogRequest& request, std::string& fullName) override;
  bool SaveFileName(const FileDialogRequest& request, std::string& fullName) override;
  bool ChooseFolder(const FileDialogRequest& request, std::string& folder) override;
  void Beep() override;
  void SetCursorShape(CursorShape shape) override;
  void SetApplicationTitle(const std::string& title) override;

 private:
  QWidget* Parent() const;
  int Run(QDialog& dialog, DialogPlacement placement);
  DialogPlacer placer_;
  QWidget* main_ = nullptr;
};

// Qt name-filter text of the patterns ("*.qrk" gives "*.qrk (*.qrk)"), joined with ";;".
QString QtNameFilters(const std::vector<std::string>& patterns);

}  // namespace qern
