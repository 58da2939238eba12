// Message-help lookup, saving of edited records and the message list after a calculation.
// The file is read through a file object of its own: the listing calls the lookup while it
// writes its output through DataFile.
#include "framework/uhelperr.h"

#include <functional>
#include <string_view>

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

// The part of a text that finds a message's record: its first MessageKeyLength characters.
std::string_view MessageKey(std::string_view s) {
  return s.substr(0, Utf8ByteOffset(s, MessageKeyLength));
}

bool IsAscii(std::string_view s) {
  unsigned char any = 0;
  for (const char c : s) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

// True when a line as the file stores it begins with key. Both code pages and UTF-8 keep plain
// ASCII as it is, so a line whose first characters are ASCII is compared undecoded.
bool StoredLineMatches(std::string_view raw, std::string_view key) {
  const std::string_view head = raw.substr(0, MessageKeyLength);
  if (IsAscii(head)) return head == key;
  return MessageKey(DecodeTextLine(raw, LegacyCodePage::Oem850)) == key;
}

// Reads the file line by line up to the first line that matches message (by its key). Only the
// line being read is held, so the file may be of any size. Returns false when the file cannot be
// opened or read, or when copy says no; found tells whether a line matched, and the file then
// stands after it. Every line before the match, and the match, is handed to copy as stored.
bool NoCopy(std::string_view) { return true; }

template <typename Copy = decltype(&NoCopy)>
bool SeekKeyLine(TextFile& f, const std::string& name, const std::string& message, bool& found,
                 Copy copy = &NoCopy) {
  found = false;
  f.Assign(name);
  f.SetCodePage(LegacyCodePage::Oem850);
  if (!f.Reset()) return false;
  const std::string_view key = MessageKey(message);
  std::string_view raw;
  while (!f.Eof()) {
    if (!f.ReadRawLine(raw)) return false;
    if (!copy(raw)) return false;
    if (StoredLineMatches(raw, key)) {
      found = true;
      return true;
    }
  }
  return true;
}

// The next line, or false at the end of the file or when it cannot be read.
bool NextLine(TextFile& f, std::string& line) {
  line.clear();
  return !f.Eof() && f.ReadLine(line);
}

// The lines of the edited message-help file, written in blocks. A stored line of plain ASCII is
// written as it stands (the code page keeps it so), any other decoded and written in CP850 where
// it fits, as TextFile::WriteLn does.
class LineWriter {
 public:
  explicit LineWriter(TextFile& out) : out_(out) {}
  bool Stored(std::string_view raw) {
    if (!IsAscii(raw)) return Text(DecodeTextLine(raw, LegacyCodePage::Oem850));
    block_.append(raw);
    return EndLine();
  }
  bool Text(const std::string& line) {
    block_ += EncodeCp850Line(line);
    return EndLine();
  }
  bool Flush() {
    ok_ = ok_ && out_.Write(block_);
    block_.clear();
    return ok_;
  }
  bool Ok() const { return ok_; }

 private:
  bool EndLine() {
    block_ += "\r\n";
    return block_.size() < BlockSize || Flush();
  }
  static constexpr size_t BlockSize = size_t{64} << 10;
  TextFile& out_;
  std::string block_;
  bool ok_ = true;
};

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
  return MessageKey(a) == MessageKey(b);
}

bool FindErrorHelp(const std::string& message, std::string& cause, std::string& remedy) {
  TextFile f;
  bool found = false;
  // A match on the last line has no cause: none.
  std::string nextCause, nextRemedy;
  if (!SeekKeyLine(f, ErrorHelpFileName(), message, found) || !found || !NextLine(f, nextCause))
    return false;
  if (!NextLine(f, nextRemedy) && f.IoResult() != IoOk) return false;
  cause = std::move(nextCause);
  remedy = std::move(nextRemedy);
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
  // The edited file goes to the PLT folder, where it is found first from then on; the shipped
  // copy beside the program stays as it is. It is written line by line as the source is read,
  // and replaces the old one only when the record was found and every line written.
  const std::string target = AddBackslash(Settings.PltFolder) + LowerStr(Ident.ProgramName) + ".err";
  TextFile in, out;
  out.Assign(target);
  out.SetCodePage(LegacyCodePage::Oem850);
  out.SetReplacing(true);
  const bool opened = out.Rewrite();
  LineWriter writer(out);
  bool found = false;
  bool read = opened ? SeekKeyLine(in, source, message, found,
                                   [&writer](std::string_view raw) { return writer.Stored(raw); })
                     : SeekKeyLine(in, source, message, found);
  if (read && !found) {
    // A message without a record changes nothing.
    in.Close();
    out.Close();
    ShowMessageBox(message + " not found.");
    return;
  }
  if (opened && writer.Ok() && read) {
    // Cause and remedy replace the two lines after the message (appended when the record is
    // cut). Each must stay one line, or the records after it would shift.
    writer.Text(OneLine(cause));
    writer.Text(OneLine(remedy));
    std::string_view raw;
    for (int skip = 0; skip < 2 && !in.Eof() && in.ReadRawLine(raw); ++skip) {
    }
    while (writer.Ok() && !in.Eof() && in.ReadRawLine(raw)) writer.Stored(raw);
    read = in.IoResult() == IoOk;
  }
  in.Close();
  const bool written = opened && writer.Flush();
  if (written && read && out.Commit()) return;
  out.Close();
  if (!read && (!opened || writer.Ok())) {
    ErrorMessage("Datei " + source + " " + "kann nicht gelesen werden" + " !");
    Flags.AbortFlag = true;
    return;
  }
  ErrorMessage("Datei " + target + " " + "kann nicht gespeichert werden" + " !");
  Flags.AbortFlag = true;
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
