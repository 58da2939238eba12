// Help-file reader and help display. The help files are read through a file object of their own,
// so a help button may be pressed while another routine has DataFile open.
#include "framework/help.h"

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "framework/whbild.h"
#include "platform/dialogservice.h"

namespace qern {

namespace {

HelpPictureHandler& PictureHandler() {
  static HelpPictureHandler handler;
  return handler;
}

std::string MissingFileText(const std::string& name) {
  return "Datei " + name + " " + "nicht gefunden" + " !";
}

// Reads one line, cut where a shown line is; false at the end of the file. A help file's lines
// are only shown, and its lines of any length are read without being held whole.
bool NextLine(TextFile& f, std::string& line) {
  if (f.Eof()) return false;
  return f.ReadLineCut(line, TextFile::ShownLineLimit);
}

}  // namespace

std::string HelpFileName(int number) {
  if (number >= 4000) return ProgramDataFile(Settings.PltFolder, LowerStr(Ident.ProgramName) + ".hlp");
  return ProgramDataFile(Settings.PltFolder, "zorquan.hlp");
}

namespace {

// The number of a header's first four characters: optional leading blanks, then digits only;
// -1 when they are no number.
int HeaderNumber(std::string_view head) {
  size_t i = head.find_first_not_of(' ');
  if (i == std::string_view::npos) return -1;
  int value = 0;
  for (; i < head.size(); ++i) {
    if (head[i] < '0' || head[i] > '9') return -1;
    value = value * 10 + (head[i] - '0');
  }
  return value;
}

// The header number of a line as the file stores it. UTF-8 and both code pages keep plain ASCII
// as it is, so only a line with other bytes among its first four is decoded first.
int StoredHeaderNumber(std::string_view raw) {
  const std::string_view head = raw.substr(0, 4);
  for (const char c : head)
    if (static_cast<unsigned char>(c) >= 0x80)
      return HeaderNumber(Utf8Cut(DecodeTextLine(raw, LegacyCodePage::Oem850), 4));
  return HeaderNumber(head);
}

}  // namespace

void ParseHelpHeader(const std::string& line, int& number, std::string& picture) {
  number = HeaderNumber(Utf8Cut(line, 4));
  const size_t colon = line.find(':');
  picture = colon == std::string::npos ? "NULL" : TrimBlanks(line.substr(colon + 1));
}

bool ReadHelpEntry(int number, HelpLines& lines, std::string& picture) {
  lines = HelpLines{};
  picture = "null";
  const std::string name = HelpFileName(number);
  TextFile f;
  f.Assign(name);
  f.SetCodePage(LegacyCodePage::Oem850);
  if (!f.Reset()) {
    lines[0] = MissingFileText(name);
    return false;
  }
  // Search the header of the wanted number; a header's next line is its text line. Lines are
  // looked at as stored, and only the entry's own are decoded: help files may be large.
  std::string line, text, pic;
  std::string_view raw;
  int n = -1;
  for (;;) {
    if (f.Eof() || !f.ReadRawLineCut(raw, TextFile::ShownLineLimit)) {
      f.Close();
      NoHelpText(number, lines[0]);
      return false;
    }
    n = StoredHeaderNumber(raw);
    if (n < 0) continue;  // a plain text line
    if (n == number) {
      ParseHelpHeader(DecodeTextLine(raw, LegacyCodePage::Oem850), n, pic);
      if (!NextLine(f, text)) text.clear();
      break;
    }
    if (!f.Eof()) f.ReadRawLineCut(raw, 0);  // its text line, skipped
  }
  lines[0] = text;
  picture = pic;
  // Further lines: headers number + 1 .. number + 4 with their text lines, or plain text lines.
  // A number divisible by 5 starts the next entry.
  for (int k = 2; k <= HelpLineCount; ++k) {
    if (!NextLine(f, line)) break;
    ParseHelpHeader(line, n, pic);
    if (n >= 0) {
      if (n % 5 == 0) break;
      if (!NextLine(f, text)) text.clear();
      if (n == number + k - 1) lines[k - 1] = text;
    } else {
      lines[k - 1] = line;
    }
  }
  f.Close();
  return true;
}

void DisplayHelpEntry(const HelpLines& lines, const std::string& picture, int mode, int number) {
  const std::string caption = std::string("HILFETEXT") + " " + "Nr" + "." + IntStr(number);
  const bool hasPicture = !picture.empty() && UpperStr(picture) != "NULL";
  if (mode == 2 && !hasPicture) {
    // Asked for the picture alone: said so, and the drawing window keeps its picture.
    Dialogs().ShowMessage(ConvertDisplayText(caption), ConvertDisplayText(NoHelpPictureText),
                          MessageKind::Help);
    return;
  }
  // The picture first: the drawing window shows it while the text box waits for its OK.
  if (mode == 0 || mode == 2) {
    std::string plotFile;
    if (hasPicture) plotFile = HelpPictureFileName(picture);
    if (PictureHandler())
      PictureHandler()(plotFile);
    else
      DrawHelpPictureFile(plotFile);
  }
  if (mode == 0 || mode == 1) {
    std::string text;
    for (const std::string& l : lines) text += l + " ";
    Dialogs().ShowMessage(ConvertDisplayText(caption), ConvertDisplayText(text), MessageKind::Help);
  }
}

void ShowHelpEntry(int number, const std::string& /*text*/, int mode) {
  if (number == 0) number = Session.HelpNumber;
  HelpLines lines;
  std::string picture;
  ReadHelpEntry(number, lines, picture);
  DisplayHelpEntry(lines, picture, mode, number);
  Flags.AbortFlag = false;
}

void GetHelpText(int number, std::string& s) {
  HelpLines lines;
  std::string picture;
  if (!ReadHelpEntry(number, lines, picture)) {
    s = lines[0];
    return;
  }
  s.clear();
  for (int k = 0; k < HelpLineCount; ++k) {
    if (k > 0) s += " ";
    s += ConvertDisplayText(lines[k]);
  }
  s += " (" + IntStr(number) + ")";
}

std::string GetHelpText(int number) {
  std::string s;
  GetHelpText(number, s);
  return s;
}

void GetHelpHint(int number, std::string& s) { GetHelpText(number, s); }

void NoHelpText(int number, std::string& s) {
  s = "Hilfetext Nr " + IntStr(number) + ": " + "keine Hilfe vorhanden" + ".";
}

void SetHelpNumber(int n) { Session.HelpNumber = n; }

void SetHelpPictureHandler(HelpPictureHandler handler) { PictureHandler() = std::move(handler); }

void InstallHelpViewer() {
  SetHelpEntryViewer([](int number, int mode) { ShowHelpEntry(number, "", mode); });
}

}  // namespace qern
