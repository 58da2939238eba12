// The current dialog service, the help-button hook and the batch service for headless runs.
#include "platform/dialogservice.h"

#include <iostream>

namespace qern {

namespace {
BatchDialogService batchService;
DialogService* current = &batchService;
DialogHelpHandler helpHandler;

const char* KindWord(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return "error";
    case MessageKind::Help: return "help";
    default: return "message";
  }
}

// A question nobody can answer in a batch run: say so on stderr, then cancel.
void Unanswered(const std::string& what, const std::string& text) {
  std::cerr << "[" << what << ", cancelled] " << text << std::endl;
}
}  // namespace

DialogService& Dialogs() { return *current; }

void SetDialogService(DialogService* service) { current = service ? service : &batchService; }

void SetDialogHelpHandler(DialogHelpHandler handler) { helpHandler = std::move(handler); }

void ShowDialogHelp(int number, int mode, bool clearsAbort) {
  if (helpHandler) helpHandler(number, mode, clearsAbort);
}

bool BatchDialogService::Choose(const std::string& title, const std::vector<std::string>& items,
                                bool, int&, int) {
  // The items are often the messages themselves (the message list of a calculation).
  Unanswered("choice", title);
  for (const auto& item : items) std::cerr << "  " << item << '\n';
  std::cerr.flush();
  return false;
}

bool BatchDialogService::AskYesNo(const std::string& prompt, bool&, int) {
  Unanswered("question", prompt);
  return false;
}

YesNoCancel BatchDialogService::AskYesNoCancel(const std::string&, const std::string& text) {
  Unanswered("question", text);
  return YesNoCancel::Cancel;
}

bool BatchDialogService::AskRetry(const std::string&, const std::string& text) {
  Unanswered("retry", text);
  return false;
}

void BatchDialogService::ShowMessage(const std::string& caption, const std::string& text,
                                     MessageKind kind) {
  std::cerr << "[" << KindWord(kind) << "] " << caption << " " << text << std::endl;
}

void BatchDialogService::ShowLines(const std::string& caption,
                                   const std::vector<std::string>& lines) {
  std::cerr << caption << std::endl;
  for (const auto& l : lines) std::cerr << l << std::endl;
}

bool BatchDialogService::InputText(const std::string& prompt, int, std::string&, int) {
  Unanswered("input", prompt);
  return false;
}

bool BatchDialogService::OpenFileName(const FileDialogRequest& request, std::string&) {
  Unanswered("open file", request.Caption);
  return false;
}

bool BatchDialogService::SaveFileName(const FileDialogRequest& request, std::string&) {
  Unanswered("save file", request.Caption);
  return false;
}

bool BatchDialogService::ChooseFolder(const FileDialogRequest& request, std::string&) {
  Unanswered("folder", request.Caption);
  return false;
}

}  // namespace qern
