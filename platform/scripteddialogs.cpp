// Scripted dialog service: queued answers in, a log of everything shown out.
#include "platform/scripteddialogs.h"

namespace qern {

std::vector<std::string> ScriptedDialogService::Messages() const {
  std::vector<std::string> out;
  for (const auto& s : Log)
    if (s.Kind == "message") out.push_back(s.Text);
  return out;
}

ScriptedDialogService::Reply ScriptedDialogService::Next() {
  if (Replies.empty()) return {Reply::Cancel, {}, {}};
  Reply r = Replies.front();
  Replies.pop_front();
  return r;
}

void ScriptedDialogService::PressHelp(int number, bool clearsAbort) {
  for (int mode : HelpPresses) ShowDialogHelp(number, mode, clearsAbort);
  HelpPresses.clear();
}

bool ScriptedDialogService::Choose(const std::string& title, const std::vector<std::string>& items,
                                   bool asList, int& index, int helpNumber) {
  Shown s;
  s.Kind = "choose";
  s.Caption = title;
  s.Items = items;
  s.Index = index;
  s.AsList = asList;
  Log.push_back(s);
  PressHelp(helpNumber, true);
  Reply r = Next();
  if (r.What == Reply::Cancel) return false;
  if (r.Index) index = *r.Index;
  return true;
}

bool ScriptedDialogService::AskYesNo(const std::string& prompt, bool& answer, int helpNumber) {
  Shown s;
  s.Kind = "yesno";
  s.Caption = prompt;
  s.PresetYes = answer;
  Log.push_back(s);
  PressHelp(helpNumber, false);
  Reply r = Next();
  if (r.What == Reply::Cancel) return false;
  if (r.What == Reply::Yes) answer = true;
  if (r.What == Reply::No) answer = false;
  return true;
}

YesNoCancel ScriptedDialogService::AskYesNoCancel(const std::string& caption,
                                                  const std::string& text) {
  Shown s;
  s.Kind = "yesnocancel";
  s.Caption = caption;
  s.Text = text;
  Log.push_back(s);
  Reply r = Next();
  if (r.What == Reply::Yes || r.What == Reply::Ok) return YesNoCancel::Yes;
  if (r.What == Reply::No) return YesNoCancel::No;
  return YesNoCancel::Cancel;
}

bool ScriptedDialogService::AskRetry(const std::string& caption, const std::string& text) {
  Shown s;
  s.Kind = "retry";
  s.Caption = caption;
  s.Text = text;
  Log.push_back(s);
  Reply r = Next();
  return r.What == Reply::Retry || r.What == Reply::Ok || r.What == Reply::Yes;
}

void ScriptedDialogService::ShowMessage(const std::string& caption, const std::string& text,
                                        MessageKind kind) {
  Shown s;
  s.Kind = "message";
  s.Caption = caption;
  s.Text = text;
  s.Message = kind;
  Log.push_back(s);
}

void ScriptedDialogService::ShowLines(const std::string& caption,
                                      const std::vector<std::string>& lines) {
  Shown s;
  s.Kind = "lines";
  s.Caption = caption;
  s.Items = lines;
  Log.push_back(s);
}

bool ScriptedDialogService::InputText(const std::string& prompt, int maxLength, std::string& text,
                                      int helpNumber) {
  Shown s;
  s.Kind = "input";
  s.Caption = prompt;
  s.Text = text;
  s.Index = maxLength;
  Log.push_back(s);
  PressHelp(helpNumber, true);
  Reply r = Next();
  if (r.What == Reply::Cancel) return false;
  if (r.Text) text = *r.Text;
  return true;
}

bool ScriptedDialogService::FileAnswer(const char* kind, const FileDialogRequest& request,
                                       std::string& name) {
  Shown s;
  s.Kind = kind;
  s.Caption = request.Caption;
  s.Text = request.StartFolder;
  s.Items = request.Patterns;
  s.File = request;
  Log.push_back(s);
  Reply r = Next();
  if (r.What == Reply::Cancel) return false;
  if (r.Text) name = *r.Text;
  return true;
}

bool ScriptedDialogService::OpenFileName(const FileDialogRequest& request, std::string& fullName) {
  return FileAnswer("open", request, fullName);
}

bool ScriptedDialogService::SaveFileName(const FileDialogRequest& request, std::string& fullName) {
  return FileAnswer("save", request, fullName);
}

bool ScriptedDialogService::ChooseFolder(const FileDialogRequest& request, std::string& folder) {
  return FileAnswer("folder", request, folder);
}

}  // namespace qern
