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

// The lines of the edited message-help file, written in blocks. A stored line of plain ASCII is
// written as it stands (the code page keeps it so), any other decoded and written in CP850 where
// it fits, as TextFile::WriteLn does; a line longer than a read block is written as stored,
// piece by piece.
class LineWriter {
 public:
  explicit LineWriter(TextFile& out) : out_(out) {}
  bool Stored(std::string_view raw) {
    if (!IsAscii(raw)) return Text(DecodeTextLine(raw, LegacyCodePage::Oem850));
    block_.append(raw);
    return EndLine();
  }
  bool Piece(std::string_view piece) {
    block_.append(piece);
    return block_.size() < BlockSize || Flush();
  }
  bool Text(const std::string& line) {
    block_ += EncodeCp850Line(line);
    return EndLine();
  }
  bool EndLine() {
    block_ += "\r\n";
    return block_.size() < BlockSize || Flush();
  }
  bool Flush() {
    ok_ = ok_ && out_.Write(block_);
    block_.clear();
    return ok_;
  }
  bool Ok() const { return ok_; }

 private:
  static constexpr size_t BlockSize = size_t{64} << 10;
  TextFile& out_;
  std::string block_;
  bool ok_ = true;
};

// The bytes of a line's head that hold its key in any coding (four bytes a character at most),
// with a character cut at their end left out.
constexpr size_t KeyHeadBytes = 4 * MessageKeyLength + 4;
std::string_view WholeCharacters(std::string_view head) {
  const size_t n = head.size();
  size_t back = 0;
  while (back < 3 && n > back && (static_cast<unsigned char>(head[n - 1 - back]) & 0xC0) == 0x80) ++back;
  if (n == back) return head;
  const unsigned char lead = static_cast<unsigned char>(head[n - 1 - back]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length > back + 1 ? head.substr(0, n - 1 - back) : head;
}

// Reads the next line: true in matched when it begins with *key (not looked at without a key);
// copied to copy (when given) as stored. A long line is never held whole: only its head is looked
// at.
bool NextKeyLine(TextFile& f, const std::string_view* key, bool& matched, LineWriter* copy) {
  // Most lines lie whole in the read buffer: taken there without more ado.
  std::string_view line;
  if (f.ReadBufferedLine(line)) {
    matched = key && StoredLineMatches(line, *key);
    return !copy || copy->Stored(line);
  }
  std::string head;
  bool whole = false;
  matched = false;
  const bool read = f.ReadLineInPieces([&](std::string_view piece, bool w) {
    whole = w;
    if (w) {
      matched = key && StoredLineMatches(piece, *key);
      if (copy) copy->Stored(piece);
      return;
    }
    if (key && head.size() < KeyHeadBytes) head.append(piece.substr(0, KeyHeadBytes - head.size()));
    if (copy) copy->Piece(piece);
  });
  if (!read) return false;
  if (!whole) {
    matched = key &&
              StoredLineMatches(head.size() < KeyHeadBytes ? head : WholeCharacters(head), *key);
    if (copy) copy->EndLine();
  }
  return !copy || copy->Ok();
}

// Reads the file line by line up to the first line that matches message (by its key), so the file
// may be of any size and its lines of any length. Returns false when the file cannot be opened or
// read, or when copying fails; found tells whether a line matched, and the file then stands after
// it. Every line before the match, and the match, is copied to copy (when given) as stored.
bool SeekKeyLine(TextFile& f, const std::string& name, const std::string& message, bool& found,
                 LineWriter* copy = nullptr) {
  found = false;
  f.Assign(name);
  f.SetCodePage(LegacyCodePage::Oem850);
  if (!f.Reset()) return false;
  const std::string_view key = MessageKey(message);
  while (!f.Eof()) {
    bool matched = false;
    if (!NextKeyLine(f, &key, matched, copy)) return false;
    if (matched) {
      found = true;
      return true;
    }
  }
  return true;
}

// The next line, cut where a shown line is (cause and remedy are only shown and listed), or
// false at the end of the file or when it cannot be read.
bool NextLine(TextFile& f, std::string& line) {
  line.clear();
  return !f.Eof() && f.ReadLineCut(line, TextFile::ShownLineLimit);
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
  bool read = SeekKeyLine(in, source, message, found, opened ? &writer : nullptr);
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
    for (int skip = 0; skip < 2 && !in.Eof() && in.ReadRawLineCut(raw, 0); ++skip) {
    }
    bool matched = false;
    while (writer.Ok() && !in.Eof() && NextKeyLine(in, nullptr, matched, &writer)) {
    }
    read = in.IoResult() == IoOk;
  }
  const int readError = in.IoResult();
  in.Close();
  const bool written = opened && writer.Flush();
  if (written && read && out.Commit()) return;
  const int writeError = out.WriteError() != IoOk ? out.WriteError() : out.IoResult();
  out.Close();
  if (!read && (!opened || writer.Ok())) {
    ErrorMessage("Datei " + source + " " + "kann nicht gelesen werden: " +
                 FileIoErrorText(readError != IoOk ? readError : IoReadError, source, FileAccess::Read) +
                 " !");
    Flags.AbortFlag = true;
    return;
  }
  ErrorMessage("Datei " + target + " " + "kann nicht gespeichert werden: " +
               FileIoErrorText(writeError != IoOk ? writeError : IoWriteError, target) + " !");
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
