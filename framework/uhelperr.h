// Message help: cause and remedy of each calculation message from the message-help file qern.err
// (records of three lines: message, cause, remedy; a message is found by its first 14 characters),
// the window that shows and edits them, and the message list shown after a calculation.
#pragma once

#include <functional>
#include <string>

namespace qern {

// Number of leading characters by which a message finds its record.
constexpr int MessageKeyLength = 14;

// PLT folder + lower-case ProgramName + ".err".
std::string ErrorHelpFileName();
// True when the first 14 characters of both texts are equal (shorter texts compare whole).
bool SameMessageKey(const std::string& a, const std::string& b);

// Looks message up in the message-help file. Returns false when the file cannot be read or holds
// no record for it (a match on the file's last line counts as none).
bool FindErrorHelp(const std::string& message, std::string& cause, std::string& remedy);

// Cause and remedy of ErrorList entry i (1-based). Cause: "" without file, the no-description text
// without a record. Remedy: "" without file or record.
void GetErrorCause(int i, std::string& s);
void GetErrorRemedy(int i, std::string& s);
// Text given as the cause of a message without a record.
extern const char* const NoErrorDescription;

// Shows cause and remedy of ErrorList entry i (1-based) in the message-help window; a missing file
// is reported and sets AbortFlag.
void ShowErrorHelp(int i);
// The message-help window with the three texts; after OK with changes and a confirmed
// "Save Changes ?", the edited cause and remedy are saved with SaveErrorHelp.
void ShowHelpErrWindow(const std::string& message, const std::string& cause,
                       const std::string& remedy);
// Replaces cause and remedy of message's record. The new file is written under a temporary name in
// the same folder and renamed over the old one; every failure is reported and sets AbortFlag, and
// the old file is then left as it was.
void SaveErrorHelp(const std::string& message, const std::string& cause, const std::string& remedy);

// The message list after a calculation: "Berechnung erfolgreich ohne Fehlermeldungen" without
// messages, else a choice over the messages and "Weiter/zurück..." that explains the chosen one.
// Nothing with "/NOGUI" on the command line.
void ShowCalculationMessages();

// What the message-help window hands back: the edited texts and whether the user changed them and
// left the window with OK.
struct ErrorHelpEdit {
  std::string Cause, Remedy;
  bool Changed = false;
};
// The window that shows one record (the Qt one in the running program). Without an editor the
// texts are shown in a message box and cannot be edited.
using ErrorHelpEditor = std::function<ErrorHelpEdit(
    const std::string& message, const std::string& cause, const std::string& remedy)>;
void SetErrorHelpEditor(ErrorHelpEditor editor);

}  // namespace qern
