// Message-help lookup, saving of edited records and the message list after a calculation.
// The file is read through a file object of its own: the listing calls the lookup while it
// writes its output through DataFile.
#include "framework/uhelperr.h"

#include <algorithm>
#include <vector>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "platform/dialogservice.h"

namespace qern {

const char* const NoErrorDescription = "keine Beschreibung dieser Fehlermeldung vorhanden.";

namespace {

ErrorHelpEditor& Editor() {
  static ErrorHelpEditor editor;
  return editor;
}

// All lines of the file; false when it cannot be opened or read.
bool ReadAllLines(const std::string& name, std::vector<std::string>& lines) {
  lines.clear();
  TextFile f;
  f.Assign(name);
  f.SetCodePage(LegacyCodePage::Oem850);
  if (!f.Reset()) return false;
  std::string line;
  while (!f.Eof()) {
    if (!f.ReadLine(line)) {
      f.Close();
      return false;
    }
    lines.push_back(line);
  }
  f.Close();
  return true;
}

// Index of the first line that matches message, or -1.
int FindKeyLine(const std::vector<std::string>& lines, const std::string& message) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (SameMessageKey(lines[i], message)) return static_cast<int>(i);
  return -1;
}

std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

const std::string* ErrorText(int i) {
  if (i < 1 || i > Errors.ErrorCount) return nullptr;
  return &Errors.ErrorList[i - 1];
}

}  // namespace

std::string ErrorHelpFileName() {
  return ProgramDataFile(Settings.PltFolder, LowerStr(Ident.ProgramName) + ".err");
}

bool SameMessageKey(const std::string& a, const std::string& b) {
  return Utf8Cut(a, MessageKeyLength) == Utf8Cut(b, MessageKeyLength);
}

bool FindErrorHelp(const std::string& message, std::string& cause, std::string& remedy) {
  std::vector<std::string> lines;
  if (!ReadAllLines(ErrorHelpFileName(), lines)) return false;
  const int k = FindKeyLine(lines, message);
  if (k < 0 || k + 1 >= static_cast<int>(lines.size())) return false;
  cause = lines[k + 1];
  remedy = k + 2 < static_cast<int>(lines.size()) ? lines[k + 2] : std::string();
  return true;
}

void GetErrorCause(int i, std::string& s) {
  const std::string* message = ErrorText(i);
  if (!message || !FileCanOpen(ErrorHelpFileName())) {
    s.clear();
    return;
  }
  if (Flags.AbortFlag) return;
  std::string cause, remedy;
  s = FindErrorHelp(*message, cause, remedy) ? cause : NoErrorDescription;
}

void GetErrorRemedy(int i, std::string& s) {
  const std::string* message = ErrorText(i);
  std::string cause, remedy;
  s = message && FindErrorHelp(*message, cause, remedy) ? remedy : std::string();
}

void ShowErrorHelp(int i) {
  const std::string* message = ErrorText(i);
  if (!message) return;
  CheckFileAccess(ErrorHelpFileName());
  if (Flags.AbortFlag) return;
  std::string cause, remedy;
  if (!FindErrorHelp(*message, cause, remedy)) {
    MessageBoxTitled("Meldung", NoErrorDescription);
    return;
  }
  ShowHelpErrWindow(*message, cause, remedy);
}

void ShowHelpErrWindow(const std::string& message, const std::string& cause,
                       const std::string& remedy) {
  if (!Editor()) {
    Dialogs().ShowMessage(ConvertDisplayText("Fehlermeldung"),
                          ConvertDisplayText(message + "\n\nUrsache: " + cause +
                                             "\n\nAbhilfe: " + remedy),
                          MessageKind::Help);
    return;
  }
  const ErrorHelpEdit edit =
      Editor()(ConvertDisplayText(message), ConvertDisplayText(cause), ConvertDisplayText(remedy));
  if (edit.Changed && ConfirmBox("Save Changes ?"))
    SaveErrorHelp(message, AnsiStrToOem(edit.Cause), AnsiStrToOem(edit.Remedy));
}

void SaveErrorHelp(const std::string& message, const std::string& cause, const std::string& remedy) {
  const std::string source = ErrorHelpFileName();
  CheckFileAccess(source);
  if (Flags.AbortFlag) return;
  std::vector<std::string> lines;
  if (!ReadAllLines(source, lines)) {
    ErrorMessage("Datei " + source + " " + "kann nicht gelesen werden" + " !");
    Flags.AbortFlag = true;
    return;
  }
  const int k = FindKeyLine(lines, message);
  if (k < 0) {
    ShowMessageBox(message + " not found.");
    return;
  }
  // Cause and remedy replace the two lines after the message (appended when the record is cut).
  // Each must stay one line, or the records after it would shift.
  lines.resize(std::max<size_t>(lines.size(), static_cast<size_t>(k) + 3));
  lines[k + 1] = OneLine(cause);
  lines[k + 2] = OneLine(remedy);

  // The edited file goes to the PLT folder, where it is found first from then on; the shipped
  // copy beside the program stays as it is.
  const std::string target = AddBackslash(Settings.PltFolder) + LowerStr(Ident.ProgramName) + ".err";
  if (!ReplaceFileWithLines(target, lines, LegacyCodePage::Oem850)) {
    ErrorMessage("Datei " + target + " " + "kann nicht gespeichert werden" + " !");
    Flags.AbortFlag = true;
  }
}

void ShowCalculationMessages() {
  if (ParamPresent("/NOGUI")) return;
  const int n = Errors.ErrorCount;
  if (n == 0) {
    ShowMessageBox("Berechnung erfolgreich ohne Fehlermeldungen");
    return;
  }
  Flags.AbortFlag = false;
  for (int i = 0; i < n; ++i) Session.ChoiceTexts[i] = Errors.ErrorList[i];
  Session.ChoiceTexts[n] = "Weiter/zurück...";
  int k = Settings.HelpLevel < 2 ? n + 1 : 1;
  do {
    SetHelpContext(1210);
    SelectChoice("Berechnungsmodul meldet Warnungen oder Fehler, siehe Ursache und Abhilfe.", n + 1,
                 k);
    if (Flags.AbortFlag || k == n + 1) break;
    ShowErrorHelp(k);
    if (Flags.AbortFlag) break;
    ++k;
  } while (k != n + 1);
}

void SetErrorHelpEditor(ErrorHelpEditor editor) { Editor() = std::move(editor); }

}  // namespace qern
