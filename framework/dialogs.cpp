// The standard interactions as plain routines over the current DialogService, with the abort-flag
// convention: a cancel sets Flags.AbortFlag and leaves the caller's variable unchanged.
#include "framework/dialogs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <vector>

#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/dialogservice.h"
#include "platform/fileerror.h"
#include "platform/workfile.h"

namespace qern {

namespace {
DialogService& D() { return Dialogs(); }

std::string Shown(const std::string& text) { return ConvertDisplayText(text); }
}  // namespace

// ---------------------------------------------------------------------------------------------
// Choices and questions

void SelectChoice(const std::string& title, int n, int& index) {
  n = std::clamp(n, 0, ChoiceTextCount);
  int current = (index < 1 || index > n) ? 1 : index;
  std::vector<std::string> items;
  for (int i = 0; i < n; ++i) items.push_back(Shown(Session.ChoiceTexts[i]));
  if (D().Choose(Shown(title), items, n >= 8, current, Session.HelpNumber)) {
    if (current >= 1 && current <= n) index = current;
  } else {
    Flags.AbortFlag = true;
  }
}

void AskYesNo(const std::string& prompt, bool& answer) {
  bool choice = answer;
  if (D().AskYesNo(Shown(prompt), choice, Session.HelpNumber))
    answer = choice;
  else
    Flags.AbortFlag = true;
}

void AskYesNoChar(const std::string& prompt, char& answer) {
  bool yes = !(answer == 'N' || answer == 'n');
  if (D().AskYesNo(Shown(prompt), yes, Session.HelpNumber))
    answer = yes ? 'J' : 'N';
  else
    Flags.AbortFlag = true;
}

bool ConfirmBox(const std::string& text) {
  YesNoCancel a = D().AskYesNoCancel(Shown(Ident.Banner), Shown(text));
  if (a == YesNoCancel::Cancel) Flags.AbortFlag = true;
  return a == YesNoCancel::Yes;
}

bool Confirm(const std::string& text) { return ConfirmBox(text); }

void ShowChoiceList() {
  std::vector<std::string> lines;
  for (int i = 0; i < 22; ++i) lines.push_back(Shown(Session.ChoiceTexts[i]));
  D().ShowLines(Shown(Ident.ProductName), lines);
}

// ---------------------------------------------------------------------------------------------
// Messages

void ShowMessageKind(const std::string& text, int kind) {
  const char* caption = kind == KindError ? "Fehler : " : kind == KindHelp ? "Hilfe" : "Meldung:";
  MessageKind mk = kind == KindError  ? MessageKind::Error
                   : kind == KindHelp ? MessageKind::Help
                                      : MessageKind::Message;
  D().ShowMessage(caption, Shown(text), mk);
}

void ErrorMessage(const std::string& text) {
  if (Flags.ErrorBoxesEnabled) ShowMessageKind(text, KindError);
}

void ErrorBox(const std::string& text) { ShowMessageKind(text, KindError); }
void ShowMessageBox(const std::string& text) { ShowMessageKind(text, KindMessage); }
void InfoMessage(const std::string& text) { ShowMessageKind(text, KindInfo); }

void MessageBoxTitled(const std::string& title, const std::string& text) {
  D().ShowMessage(Shown(title), Shown(text), MessageKind::Message);
}

void ShowWorkingMessage(const std::string&) {}

void ArchiveModeMessage() {
  ErrorMessage("File- und User- Befehle sind im Archivierungsmodus nicht möglich.");
}

void UpdateApplicationTitle(std::string& title) {
  title = Shown(Ident.Banner);
  if (!Session.CurrentFileName.empty()) {
    title += "  -  " + Session.CurrentFileName;
    if (Session.CurrentFileName.find('.') == std::string::npos) title += "." + Ident.DataExtension;
  }
  D().SetApplicationTitle(title);
  D().SetCursorShape(CursorShape::Arrow);
}

void SetWaitCursor() { D().SetCursorShape(CursorShape::Wait); }
void SetArrowCursor() { D().SetCursorShape(CursorShape::Arrow); }
void RestoreCursor() { SetArrowCursor(); }
void SetHelpContext(int n) { Session.HelpNumber = n; }

void SetHelpEntryViewer(std::function<void(int number, int mode)> viewer) {
  if (!viewer) {
    SetDialogHelpHandler(nullptr);
    return;
  }
  SetDialogHelpHandler([viewer](int number, int mode, bool clearsAbort) {
    viewer(number, mode);
    if (clearsAbort) Flags.AbortFlag = false;
  });
}

// ---------------------------------------------------------------------------------------------
// Input

void InputString(const std::string& prompt, int maxLength, std::string& s) {
  std::string text = Shown(s);
  if (D().InputText(Shown(prompt), maxLength, text, Session.HelpNumber))
    s = text;
  else
    Flags.AbortFlag = true;
}

namespace {
std::string InvalidInputText(const std::string& text) {
  return "Ungültige Eingabe \"" + text + "\" !";
}
}  // namespace

std::string RangeText(const std::string& lo, const std::string& hi) {
  return "Gültiger Wertebereich: " + lo + " .. " + hi + " !";
}

void InputRealInRange(const std::string& prompt, long double& x, long double min,
                      long double max) {
  const long double start = x;
  long double value = x;
  for (;;) {
    const std::string shown = TrimBlanks(FloatStr(value));
    std::string text = shown;
    if (!D().InputText(Shown(prompt), 30, text, Session.HelpNumber)) {
      Flags.AbortFlag = true;
      return;  // x keeps the value it had at the call
    }
    if (text != shown) {  // an unchanged text keeps the value at full precision
      long double parsed = 0;
      if (!TextToReal(text, parsed)) {
        D().Beep();
        ErrorBox(InvalidInputText(text));
        value = start;
        continue;
      }
      value = parsed;
    }
    if (value < min || value > max) {
      D().Beep();
      ErrorBox(RangeText(TrimBlanks(FloatStr(min)), TrimBlanks(FloatStr(max))));
      continue;
    }
    x = value;
    return;
  }
}

void InputRealInRange(const std::string& prompt, double& x, double min, double max) {
  long double v = x;
  InputRealInRange(prompt, v, min, max);
  x = static_cast<double>(v);
}

namespace {
// The whole-number loop shared by the three integer inputs.
bool InputWholeInRange(const std::string& prompt, int64_t& n, int64_t a, int64_t b) {
  if (a > b) std::swap(a, b);
  const int64_t start = n;
  int64_t value = n;
  for (;;) {
    const std::string shown = std::to_string(value);
    std::string text = shown;
    if (!D().InputText(Shown(prompt), 12, text, Session.HelpNumber)) {
      Flags.AbortFlag = true;
      return false;
    }
    if (text != shown) {
      int64_t parsed = 0;
      if (!TextToWhole(text, parsed)) {
        D().Beep();
        ErrorBox(InvalidInputText(text));
        value = start;
        continue;
      }
      value = parsed;
    }
    if (value < a || value > b) {
      D().Beep();
      ErrorBox(RangeText(std::to_string(a), std::to_string(b)));
      continue;
    }
    n = value;
    return true;
  }
}
}  // namespace

void InputNumberInRange(const std::string& prompt, int32_t& n, int32_t a, int32_t b) {
  int64_t v = n;
  if (InputWholeInRange(prompt, v, a, b)) n = static_cast<int32_t>(v);
}

void InputLongInRange(const std::string& prompt, int32_t& n, int32_t a, int32_t b) {
  InputNumberInRange(prompt, n, a, b);
}

void InputWordInRange(const std::string& prompt, uint16_t& n, uint16_t a, uint16_t b) {
  int64_t v = n;
  if (InputWholeInRange(prompt, v, a, b)) n = static_cast<uint16_t>(v);
}

// ---------------------------------------------------------------------------------------------
// Checked file operations

std::string WriteErrorText(int ioCode) {
  switch (ioCode) {
    case IoReadError: return "Lesefehler";
    case IoWriteError: return "Diskette/Platte voll";
    case IoBadNumber: return "Falsches numerisches Format";
    default: return "Fehler bei Zugriff auf Diskette/Platte";
  }
}

void WriteLineChecked(TextFile& f, const std::string& s) {
  if (Flags.AbortFlag) return;
  if (f.WriteLn(s)) return;
  ErrorMessage(WriteErrorText(f.IoResult()));
  Flags.AbortFlag = true;
}

void CloseFileChecked(TextFile& f) {
  if (f.Close()) return;
  ErrorMessage(f.IoResult() == IoWriteError ? "Diskette/Platte voll"
                                            : "Fehler beim Schließen einer Datei");
  Flags.AbortFlag = true;
}

void RewriteChecked(TextFile& f) {
  if (f.Rewrite()) return;
  ReportWriteError(f.Name(), f.IoResult());
  Flags.AbortFlag = true;
}

std::string FileIoErrorText(int ioCode, const std::string& name, FileAccess access) {
  if (ioCode == IoBadNumber) return WriteErrorText(ioCode);
  return FileErrorText(ErrnoOfIoCode(ioCode), name, access);
}

void ReportWriteError(const std::string& name, int ioCode) {
  ErrorMessage("Datei " + name + " nicht geschrieben: " +
               FileIoErrorText(ioCode == IoOk ? IoWriteError : ioCode, name) + " !");
}

void RewriteWithRetry(TextFile& f) {
  while (!f.Rewrite()) {
    // The file and the reason, so that the user knows what to mend before the retry.
    const std::string text = "Datei " + f.Name() + " kann nicht geschrieben werden: " +
                             FileIoErrorText(f.IoResult(), f.Name()) + " !";
    // The user may retry after mending the cause, or give up; a batch run gives up at once.
    if (!D().AskRetry(Shown(Ident.Banner), Shown(text))) {
      Flags.AbortFlag = true;
      return;
    }
  }
}

void CheckFileAccess(const std::string& name) {
  if (FileCanOpen(name)) return;
  ErrorMessage("Datei " + TrimBlanks(name) + " " + "nicht gefunden oder kein Zugriffsrecht" + " !");
  Flags.AbortFlag = true;
}

bool OpenDocumentWithDesktop(const std::string& file, const std::string& what) {
  const std::string name = TrimBlanks(file);
  if (FileCanOpen(name) && OpenWithDesktop(name)) return true;
  ReportDocumentNotOpened(name, what);
  return false;
}

void ReportDocumentNotOpened(const std::string& file, const std::string& what) {
  const std::string name = TrimBlanks(file);
  Flags.AbortFlag = true;
  if (!FileCanOpen(name)) {
    // The folder as searched: a name without one is looked for in the current folder.
    std::error_code ec;
    std::string folder = std::filesystem::absolute(name.empty() ? "." : name, ec).parent_path();
    if (ec) folder = ExtractFolder(name);
    ErrorMessage(what + " " + FileNamePart(name) + " im Ordner " + folder + " " + "nicht gefunden" +
                 " !");
    return;
  }
  const std::string ext = ExtensionAfterDot(name);
  InfoMessage("Kein Programm für " +
              (ext.empty() ? std::string("Dateien ohne Erweiterung") : "." + ext + "-Dateien") +
              " eingerichtet: " + name);
}

// ---------------------------------------------------------------------------------------------
// File names and file dialogs

namespace {
// "" when name could be written the way every output is: a working file can be made beside it
// (it is removed again) and the name is one the file system takes; else the reason. Nothing of
// that name, nor a link's target, is opened; a folder, device or pipe of that name is refused, and
// so is a file that its owner made read-only.
std::string OutputNameProblem(const std::string& name) {
  if (name.empty()) return "kein Name";
  if (FileNamePart(name).size() > MaxFileNameBytes) return FileErrorText(ENAMETOOLONG, name);
  if (IsReadOnlyFile(name)) return FileErrorText(EACCES, name);
  WorkFile probe;
  return probe.Create(name) ? "" : FileErrorText(probe.Error(), name);
}

// The refusal of an output name, with the reason.
void RefuseOutputName(const std::string& name, const std::string& reason) {
  ErrorMessage("Ungültiger Dateiname \"" + name + "\": " + reason + " !");
  Flags.AbortFlag = true;
}

std::vector<std::string> Patterns(const std::string& filter) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= filter.size()) {
    size_t bar = filter.find('|', pos);
    std::string p = filter.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos);
    if (!p.empty() && std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
    if (bar == std::string::npos) break;
    pos = bar + 1;
  }
  return out;
}
}  // namespace

void CheckOutputFileName(const std::string& name) {
  const std::string file = FileNamePart(name);
  if (std::count(file.begin(), file.end(), '.') > 1) {
    ShowMessageBox(name + " not allowed (too many dots)!");
    Flags.AbortFlag = true;
    return;
  }
  struct stat st {};
  bool exists = !name.empty() && ::stat(name.c_str(), &st) == 0;
  if (exists && name.find("aktuell") == std::string::npos && Flags.AskOverwrite) {
    SetHelpContext(3055);
    if (!ConfirmBox(name + " " + "existiert bereits" + ".   " + "überschreiben" + " ?")) {
      Flags.AbortFlag = true;
      return;
    }
  }
  if (Flags.AbortFlag) return;
  if (const std::string problem = OutputNameProblem(name); !problem.empty()) RefuseOutputName(name, problem);
}

void CheckOutputNotReadOnly(const std::string& name) {
  if (IsReadOnlyFile(name)) RefuseOutputName(name, FileErrorText(EACCES, name));
}

void SaveAsDialog(const std::string& name, std::string& fullName) {
  if (Flags.ArchiveMode && Flags.StartedWithFile) {
    if (name != "aktuell") {
      ArchiveModeMessage();
      Flags.AbortFlag = true;
      return;
    }
  } else if (!Flags.ArchiveMode) {
    Flags.StartedWithFile = false;
  }

  const std::string ext = Ident.DataExtension;
  if (name.empty()) {
    FileDialogRequest request;
    request.StartFolder = AddBackslash(Session.CurrentFileFolder);
    request.ProposedName = Session.CurrentFileName;
    request.Patterns = {"*." + ext};
    std::string chosen;
    if (!D().SaveFileName(request, chosen) || chosen.empty()) {
      Flags.AbortFlag = true;
      SetArrowCursor();
      return;
    }
    Session.CurrentFileFolder = ExtractFolder(chosen);
    std::string base = FileNameWithoutExt(chosen);
    fullName = AddBackslash(Session.CurrentFileFolder) + base + "." + ext;
    CheckOutputFileName(fullName);
    if (!Flags.AbortFlag) Session.CurrentFileName = base;
    SetArrowCursor();
    return;
  }
  // Only the file name's own point counts: folders such as ~/.zorquan/ hold points too.
  if (FileNamePart(name).find('.') != std::string::npos)
    fullName = name;
  else if (name.find('/') != std::string::npos)
    fullName = name + "." + ext;
  else
    fullName = AddBackslash(Session.CurrentFileFolder) + name + "." + ext;
  CheckOutputFileName(fullName);
}

void SelectFolderDialog(const std::string& startFolder, std::string& folder) {
  FileDialogRequest request;
  request.StartFolder = FolderExists(startFolder) ? startFolder : "";
  std::string chosen;
  if (D().ChooseFolder(request, chosen) && !chosen.empty())
    folder = AddBackslash(chosen);
  else
    folder = startFolder;
}

void BrowseFile(const std::string& current, const std::string& filter, std::string& fileName) {
  FileDialogRequest request;
  request.StartFolder = ExtractFolder(current);
  request.ProposedName = FileNamePart(current);
  request.Patterns = Patterns(filter);
  std::string chosen;
  if (D().OpenFileName(request, chosen) && !chosen.empty()) {
    fileName = chosen;
  } else {
    fileName = current;
    Flags.AbortFlag = true;
  }
}

void SelectFileDialog(int mode, std::string& folder, const std::string& filter, std::string& name) {
  FileDialogRequest request;
  request.StartFolder = folder;
  request.Patterns = Patterns(filter);
  std::string chosen;
  if (!D().OpenFileName(request, chosen) || chosen.empty()) {
    name.clear();
    Flags.AbortFlag = true;
    return;
  }
  folder = ExtractFolder(chosen);
  name = mode == 5 ? chosen : FileNamePart(chosen);
  if (mode == 4) Ident.DataExtension = ExtensionAfterDot(FileNamePart(chosen));
}

}  // namespace qern
