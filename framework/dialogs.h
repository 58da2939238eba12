// The standard interactions as plain routines: choices, questions, messages, inputs with range
// checks, checked file operations with their German messages, output-name checks, file dialogs.
// Convention: a cancel sets Flags.AbortFlag and leaves the caller's variable unchanged.
// All of them go through the current DialogService (platform/dialogservice.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/textfile.h"
#include "platform/fileerror.h"

namespace qern {

// Message kinds of ShowMessageKind.
constexpr int KindMessage = 0;
constexpr int KindHelp = 3;
constexpr int KindInfo = 11;
constexpr int KindError = 12;

// Choices and questions.
void SelectChoice(const std::string& title, int n, int& index);  // items Session.ChoiceTexts[0..n-1]
void AskYesNo(const std::string& prompt, bool& answer);
void AskYesNoChar(const std::string& prompt, char& answer);  // 'J' or 'N'
bool ConfirmBox(const std::string& text);                    // Yes only; Cancel sets AbortFlag
bool Confirm(const std::string& text);
void ShowChoiceList();  // ChoiceTexts 1..22 until OK

// Messages.
void ShowMessageKind(const std::string& text, int kind);
void ErrorMessage(const std::string& text);  // only while Flags.ErrorBoxesEnabled
void ErrorBox(const std::string& text);      // always
void ShowMessageBox(const std::string& text);
void InfoMessage(const std::string& text);
void MessageBoxTitled(const std::string& title, const std::string& text);
void ShowWorkingMessage(const std::string& text);  // marks a long step; shows nothing
void ArchiveModeMessage();
void UpdateApplicationTitle(std::string& title);
void SetWaitCursor();
void SetArrowCursor();
void RestoreCursor();
void SetHelpContext(int n);  // Session.HelpNumber := n

// Help entries behind the dialogs' help buttons (mode 1 text, 2 picture); installed by the help unit.
void SetHelpEntryViewer(std::function<void(int number, int mode)> viewer);

// Input.
void InputString(const std::string& prompt, int maxLength, std::string& s);
void InputRealInRange(const std::string& prompt, long double& x, long double min, long double max);
void InputRealInRange(const std::string& prompt, double& x, double min, double max);
void InputNumberInRange(const std::string& prompt, int32_t& n, int32_t a, int32_t b);
void InputLongInRange(const std::string& prompt, int32_t& n, int32_t a, int32_t b);
void InputWordInRange(const std::string& prompt, uint16_t& n, uint16_t a, uint16_t b);
// The message of these inputs for a value outside lo .. hi.
std::string RangeText(const std::string& lo, const std::string& hi);

// Checked file operations on any text file; every failure sets AbortFlag and shows its message.
void WriteLineChecked(TextFile& f, const std::string& s);
void CloseFileChecked(TextFile& f);
// A file that cannot be made is reported with its name and the reason, as a failed save is.
void RewriteChecked(TextFile& f);
// "Datei <name> nicht geschrieben: <reason> !" for an I/O code (0 counts as a write error).
void ReportWriteError(const std::string& name, int ioCode);
// The reason of a failed operation on the file name for an I/O code (platform/fileerror.h).
std::string FileIoErrorText(int ioCode, const std::string& name,
                            FileAccess access = FileAccess::Write);
// Retry/Cancel on failure, naming the file and the reason; Cancel sets AbortFlag.
void RewriteWithRetry(TextFile& f);
void CheckFileAccess(const std::string& name);
// Opens file with the desktop's program for its kind (what names it in the messages: "Datei",
// "Handbuch"). When that fails, says why and sets AbortFlag: the file is not there, naming the
// folder searched (what + " qern.pdf im Ordner /opt/qern nicht gefunden !"), or no program is set
// up for files of its kind ("Kein Programm für .pdf-Dateien eingerichtet: /x/rt.pdf").
bool OpenDocumentWithDesktop(const std::string& file, const std::string& what = "Datei");
// The message of OpenDocumentWithDesktop for a file that was not opened; sets AbortFlag.
void ReportDocumentNotOpened(const std::string& file, const std::string& what = "Datei");
// The German text for an I/O code of WriteLineChecked.
std::string WriteErrorText(int ioCode);

// File names and file dialogs.
void CheckOutputFileName(const std::string& name);
// The refusal CheckOutputFileName gives a file that may not be written, for the outputs that are
// named without a dialog (the command line's files, the configuration): sets AbortFlag.
void CheckOutputNotReadOnly(const std::string& name);
void SaveAsDialog(const std::string& name, std::string& fullName);
void SelectFolderDialog(const std::string& startFolder, std::string& folder);
void BrowseFile(const std::string& current, const std::string& filter, std::string& fileName);
void SelectFileDialog(int mode, std::string& folder, const std::string& filter, std::string& name);

}  // namespace qern
