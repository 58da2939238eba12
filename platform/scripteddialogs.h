// Dialog service for tests: answers are queued beforehand, and everything shown is recorded.
// When the queue is empty every question is answered with Cancel, so a test never blocks.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogservice.h"

namespace qern {

class ScriptedDialogService : public DialogService {
 public:
  // One queued answer, taken by the next question of any kind.
  struct Reply {
    enum Kind { Ok, Cancel, Yes, No, Retry } What = Ok;
    std::optional<int> Index;         // Choose: the item picked (Ok without it keeps the current)
    std::optional<std::string> Text;  // InputText, file and folder dialogs: the answer
  };

  // One interaction as the user saw it.
  struct Shown {
    std::string Kind;                // "choose", "yesno", "yesnocancel", "retry", "message",
                                     // "lines", "input", "open", "save", "folder"
    std::string Caption;             // title, caption or prompt
    std::string Text;                // message text; the preset text of an input
    std::vector<std::string> Items;  // choice items, listed lines, file patterns
    int Index = 0;                   // preset index of a choice; max length of an input
    bool AsList = false;             // choice shown as a list box
    bool PresetYes = false;          // preset of a yes/no dialog
    MessageKind Message = MessageKind::Message;
    FileDialogRequest File;
  };

  // Queue helpers.
  void QueueOk() { Queue({Reply::Ok, {}, {}}); }
  void QueueCancel() { Queue({Reply::Cancel, {}, {}}); }
  void QueueYes() { Queue({Reply::Yes, {}, {}}); }
  void QueueNo() { Queue({Reply::No, {}, {}}); }
  void QueueRetry() { Queue({Reply::Retry, {}, {}}); }
  void QueueChoice(int index) { Queue({Reply::Ok, index, {}}); }
  void QueueText(const std::string& text) { Queue({Reply::Ok, {}, text}); }
  void Queue(const Reply& reply) { Replies.push_back(reply); }

  // Texts of every message box shown, in order.
  std::vector<std::string> Messages() const;
  // The last thing shown, or an empty record.
  Shown Last() const { return Log.empty() ? Shown{} : Log.back(); }
  void Clear() {
    Replies.clear();
    Log.clear();
    Beeps = 0;
  }

  std::deque<Reply> Replies;
  std::vector<Shown> Log;
  int Beeps = 0;
  CursorShape Cursor = CursorShape::Arrow;
  std::string Title;
  // Help buttons to press in the next dialog that has them: (number is the dialog's) mode 1 or 2.
  std::vector<int> HelpPresses;

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
  void Beep() override { ++Beeps; }
  void SetCursorShape(CursorShape shape) override { Cursor = shape; }
  void SetApplicationTitle(const std::string& title) override { Title = title; }

 private:
  Reply Next();
  void PressHelp(int number, bool clearsAbort);
  bool FileAnswer(const char* kind, const FileDialogRequest& request, std::string& name);
};

// Installs a scripted service for the lifetime of this object and puts the batch one back after.
class ScopedScriptedDialogs {
 public:
  ScopedScriptedDialogs() { SetDialogService(&Service); }
  ~ScopedScriptedDialogs() { SetDialogService(nullptr); }
  ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
  ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;
  ScriptedDialogService* operator->() { return &Service; }
  ScriptedDialogService Service;
};

}  // namespace qern
