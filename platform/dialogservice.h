// The one road by which core code asks the user something or shows a message.
// Core code never holds a window: it calls the current DialogService, which is the Qt one in the
// running program, the batch one (stderr, never blocks) in headless runs, or a scripted one in tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qern {

// Icon and caption family of a message box.
enum class MessageKind { Message, Error, Help };

// Answer of a question with Yes, No and Cancel.
enum class YesNoCancel { Yes, No, Cancel };

enum class CursorShape { Arrow, Wait };

// What an open or save dialog starts with.
struct FileDialogRequest {
  std::string Caption;
  std::string StartFolder;            // first folder shown ("" = the current folder)
  std::string ProposedName;           // name proposed in the name field (save dialog)
  std::vector<std::string> Patterns;  // name patterns offered, e.g. {"*.qrk"} or {"*.dxf", "*.*"}
};

// Primitive interactions. Every call is modal and returns only when the user has answered.
// A false result means Cancel (button, Esc or window close); the in/out arguments are then untouched.
class DialogService {
 public:
  virtual ~DialogService() = default;

  // One of items; index is 1-based in and out. asList: a list box, else a radio group.
  virtual bool Choose(const std::string& title, const std::vector<std::string>& items, bool asList,
                      int& index, int helpNumber) = 0;
  // The yes/no dialog preset to answer; answer := the choice.
  virtual bool AskYesNo(const std::string& prompt, bool& answer, int helpNumber) = 0;
  // A message box with Yes, No and Cancel and the question icon.
  virtual YesNoCancel AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
  // A message box with Retry and Cancel; true for Retry.
  virtual bool AskRetry(const std::string& caption, const std::string& text) = 0;
  // A message box with OK.
  virtual void ShowMessage(const std::string& caption, const std::string& text, MessageKind kind) = 0;
  // A window listing lines until OK.
  virtual void ShowLines(const std::string& caption, const std::vector<std::string>& lines) = 0;
  // The text input dialog with text in its field, at most maxLength characters; text := the edit.
  virtual bool InputText(const std::string& prompt, int maxLength, std::string& text,
                         int helpNumber) = 0;
  // File dialogs; fullName := the chosen file with its folder.
  virtual bool OpenFileName(const FileDialogRequest& request, std::string& fullName) = 0;
  virtual bool SaveFileName(const FileDialogRequest& request, std::string& fullName) = 0;
  // A folder picker; folder := the chosen folder (without closing "/").
  virtual bool ChooseFolder(const FileDialogRequest& request, std::string& folder) = 0;

  virtual void Beep() = 0;
  virtual void SetCursorShape(CursorShape shape) = 0;
  virtual void SetApplicationTitle(const std::string& title) = 0;
};

// Messages to stderr; every question is answered with Cancel, so a headless run never blocks and
// never overwrites or decides anything on its own.
class BatchDialogService : public DialogService {
 public:
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
  void Beep() override {}
  void SetCursorShape(CursorShape) override {}
  void SetApplicationTitle(const std::string& title) override { Title = title; }

  std::string Title;  // last application title set
};

// The current implementation; the batch one until SetDialogService installs another.
DialogService& Dialogs();
// Installs service (not owned; it must outlive its use). nullptr goes back to the batch service.
void SetDialogService(DialogService* service);

// Help buttons of the dialogs: mode 1 shows help entry number as text, mode 2 as picture.
// clearsAbort: the dialog clears the abort flag after the help (all but the yes/no dialog).
using DialogHelpHandler = std::function<void(int number, int mode, bool clearsAbort)>;
void SetDialogHelpHandler(DialogHelpHandler handler);
// Called by a dialog implementation when a help button is pressed; nothing without a handler.
void ShowDialogHelp(int number, int mode, bool clearsAbort);

}  // namespace qern
