// The design-data file: SaveDataFile and ReadDataFile with their name rules, the fixed line order,
// the safe replace on saving and the all-or-nothing read.
#include "design/qernio.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "design/qerncalc.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

// Writes each value as one line of the file.
struct LineWriter {
  void operator()(const long double& x) { WriteExtendedLine(x); }
  void operator()(const std::int32_t& n) { WriteIntegerLine(n); }
  void operator()(const std::uint16_t& w) { WriteIntegerLine(w); }
  void operator()(const bool& b) { WriteBoolLine(b); }
  void operator()(const std::string& s) { WriteStringLine(OneLineValue(s)); }
  void ChangeLog(const DrawingInfoRecord& info) { WriteChangeLogSection(info); }
  void Documents(const std::array<DocumentLink, DocumentLinkSlots>& links, std::uint16_t) {
    WriteDocumentsSection(links);
  }
  void IsoHeader(const DrawingInfoRecord& info, int kind) { WriteIsoHeaderSection(info, kind); }
};

// Reads each value back from its line. A failed read, a number line that holds no number (or one
// beyond its type) or a section out of step sets AbortFlag, and everything after it is skipped.
struct LineReader {
  template <class T>
  void operator()(T& x) {
    if (!Flags.AbortFlag && !Read(x)) Flags.AbortFlag = true;
  }
  static bool Read(long double& x) { return ReadExtendedLine(x); }
  static bool Read(std::int32_t& n) { return ReadIntegerLine(n); }
  static bool Read(std::uint16_t& w) { return ReadWordLine(w); }
  static bool Read(bool& b) {
    ReadBoolTrue(b);
    return true;
  }
  static bool Read(std::string& s) {
    ReadLine(s);
    return true;
  }
  void ChangeLog(DrawingInfoRecord& info) { Section([&] { return ReadChangeLogSection(info); }); }
  void Documents(std::array<DocumentLink, DocumentLinkSlots>& links, std::uint16_t& count) {
    Section([&] { return ReadDocumentsSection(links, count); });
  }
  void IsoHeader(DrawingInfoRecord& info, int& kind) {
    Section([&] { return ReadIsoHeaderSection(info, kind); });
  }
  template <class F>
  void Section(F read) {
    if (!Flags.AbortFlag && !read()) Flags.AbortFlag = true;
  }
};

// The file after its head, in its fixed order; one list for writing and reading.
template <class Io, class Content>
void DesignLines(Io& io, Content& c) {
  auto& r = c.Record;
  io(r.PressureAngleDeg);
  io(r.NormalModule);
  io(r.ToothCount[1]);
  io(r.PitchInputMode);
  io(r.MajorDiameterInput);
  io(r.MinorDiameterInput);
  for (int k = 1; k <= 2; ++k) {
    io(c.Name[k]);
    io(c.Number[k]);
    io(c.Name2[k]);
    io(r.ToolAddendumFactor[k]);
    io(r.ToolDedendumFactor[k]);
    io(r.ToolTipRadiusFactor[k]);
    io(r.XInputMode[k]);
    io(r.ProfileShift[k]);
    io(r.PinDiameter[k]);
    io(r.PinDimension[k]);
    io(r.TipDiameterInput[k]);
    io(r.RootDiameterInput[k]);
  }
  io(r.ToothThicknessInput[1]);
  io(r.SpaceWidthInput[2]);
  io(r.ClearancesAsFactors);
  io(r.MajorClearance);
  io(r.MinorClearance);
  io(r.FlankClearance);
  io(r.FitMode);
  io(r.DiametralPitch);
  io.ChangeLog(c.Info);
  io.Documents(c.Links, c.LinkCount);
  io(r.MajorClearanceFactor);
  io(r.MinorClearanceFactor);
  io(r.FlankClearanceFactor);
  io.IsoHeader(c.Info, c.TitleBlockKind);
  io(r.AngleCode);
  io(r.FlankAngleExternal);
  io(r.FlankAngleInternal);
}

void WriteDesignContent(const DesignFileContent& c) {
  // The head carries the comment lines of the content, each on one line.
  const std::array<std::string, 3> sessionComments = Session.CommentLines;
  for (int i = 0; i < 3; ++i) Session.CommentLines[i] = OneLineValue(c.CommentLines[i]);
  WriteFileHeader();
  Session.CommentLines = sessionComments;
  LineWriter writer;
  DesignLines(writer, c);
}

// The whole numbers of a design take only the values the geometry window can give them: the
// tooth count of its spin box and the codes of its choices. Anything else is a damaged file.
bool WholeNumbersInRange(const DesignRecord& r) {
  auto in = [](long v, long lo, long hi) { return v >= lo && v <= hi; };
  return in(r.ToothCount[1], 0, MaxToothCount) && in(r.PitchInputMode, 1, 2) &&
         in(r.MajorDiameterInput, 0, 2) && in(r.MinorDiameterInput, 0, 2) &&
         in(r.XInputMode[1], 0, 3) && in(r.XInputMode[2], 0, 3) && in(r.FitMode, 0, 2) &&
         in(r.AngleCode, 0, 2);
}

// The real values of a design are sizes in millimetres, angles and factors: finite, and far
// below a million in any design a shaft can have. A value beyond that is a damaged file (it would
// only overflow in the calculation and the listing).
constexpr long double MaxRealMagnitude = 1e6L;

bool RealInRange(long double x) { return std::isfinite(x) && std::fabs(x) <= MaxRealMagnitude; }

// Visits the real values of the fixed line order.
struct RealRangeCheck {
  bool Ok = true;
  void operator()(const long double& x) { Ok = Ok && RealInRange(x); }
  template <class T>
  void operator()(const T&) {}
  void ChangeLog(const DrawingInfoRecord&) {}
  void Documents(const std::array<DocumentLink, DocumentLinkSlots>&, std::uint16_t) {}
  void IsoHeader(const DrawingInfoRecord&, int) {}
};

bool RealsInRange(const DesignFileContent& c) {
  RealRangeCheck check;
  DesignLines(check, c);
  for (int i = 0; i < c.Info.PlacedTextCount && i < MaxPlacedTexts; ++i) {
    const PlacedText& p = c.Info.PlacedTexts[i];
    for (long double x : {p.X, p.Y, p.Height, p.Angle}) check(x);
  }
  return check.Ok;
}

// Calls visit(text, label) for every text of the content; label() makes the text's name as the
// message about cut texts gives it.
template <class Visit>
void VisitTexts(DesignFileContent& c, Visit&& visit) {
  auto label = [](const char* first, std::size_t number, const char* last) {
    return [=] { return first + std::to_string(number) + last; };
  };
  for (int k = 1; k <= 2; ++k) {
    visit(c.Name[k], label("Teil ", k, " Benennung"));
    visit(c.Number[k], label("Teil ", k, " Zeichnungsnummer"));
    visit(c.Name2[k], label("Teil ", k, " Benennung 2"));
  }
  for (size_t i = 0; i < c.CommentLines.size(); ++i)
    visit(c.CommentLines[i], label("Kommentar ", i + 1, ""));
  DrawingInfoRecord& info = c.Info;
  for (size_t i = 0; i < info.ChangeEntries.size(); ++i) {
    ChangeEntry& e = info.ChangeEntries[i];
    visit(e.ChangeText, label("Änderung ", i + 1, " Text"));
    visit(e.Date, label("Änderung ", i + 1, " Datum"));
    visit(e.Editor, label("Änderung ", i + 1, " Bearbeiter"));
    visit(e.Description, label("Änderung ", i + 1, " Beschreibung"));
  }
  for (size_t i = 0; i < info.PlacedTexts.size(); ++i)
    visit(info.PlacedTexts[i].Text, label("Zeichnungstext ", i + 1, ""));
  const auto titleBlock = [] { return std::string("Schriftfeld"); };
  for (std::string* t : {&info.TitleDrawnDate, &info.TitleDrawnName, &info.TitleCheckedDate,
                         &info.TitleCheckedName, &info.TitleStandardDate, &info.TitleStandardName,
                         &info.TitleReleaseDate, &info.TitleReleaseName, &info.TitleReplaces,
                         &info.TitleReplacedBy, &info.TitleResponsibleDept,
                         &info.TitleDocumentType, &info.TitleDocumentStatus})
    visit(*t, titleBlock);
  for (size_t i = 0; i < c.Links.size(); ++i) {
    visit(c.Links[i].Program, label("Dokument ", i + 1, " Programm"));
    visit(c.Links[i].File, label("Dokument ", i + 1, " Datei"));
  }
}

// Cuts every text of the content to MaxDesignTextLength characters; the texts cut, each as
// "<which text>: <length>". A text's label is made only when the text is cut.
std::vector<std::string> LimitTexts(DesignFileContent& c) {
  std::vector<std::string> cut;
  // Bytes are never fewer than characters: a content without a longer text has nothing to cut.
  bool anyLong = false;
  VisitTexts(c, [&](const std::string& s, auto&&) { anyLong |= s.size() > MaxDesignTextLength; });
  if (!anyLong) return cut;
  VisitTexts(c, [&cut](std::string& s, auto&& which) {
    if (s.size() <= MaxDesignTextLength) return;
    const int n = Utf8Length(s);
    if (n <= MaxDesignTextLength) return;
    s = Utf8Cut(s, MaxDesignTextLength);
    cut.push_back(which() + ": " + std::to_string(n));
  });
  return cut;
}

// False when the file is out of step, ends early or holds a number out of range (content then
// partly filled).
bool ReadDesignContent(DesignFileContent& c) {
  std::string_view line;
  for (int i = 1; i <= 5; ++i) {
    if (!ReadLineView(line) || ((i == 1 || i == 5) && !IsDashLine(line))) return false;
  }
  for (std::string& comment : c.CommentLines) ReadLine(comment);
  LineReader reader;
  DesignLines(reader, c);
  if (Flags.AbortFlag || !WholeNumbersInRange(c.Record) || !RealsInRange(c)) return false;
  c.Record.ToothCount[2] = -c.Record.ToothCount[1];
  return true;
}

}  // namespace

DesignFileContent CurrentDesignContent() {
  DesignFileContent c;
  c.Record = Design;
  c.Name = PartDrawingName;
  c.Number = PartDrawingNumber;
  c.Name2 = PartDrawingName2;
  c.CommentLines = Session.CommentLines;
  c.Info = DrawingInfo;
  c.Links = DocumentLinks;
  c.LinkCount = DocumentLinkCount;
  c.TitleBlockKind = Settings.TitleBlockKind;
  return c;
}

void ApplyDesignContent(const DesignFileContent& c) {
  Design = c.Record;
  PartDrawingName = c.Name;
  PartDrawingNumber = c.Number;
  PartDrawingName2 = c.Name2;
  Session.CommentLines = c.CommentLines;
  DrawingInfo = c.Info;
  DocumentLinks = c.Links;
  DocumentLinkCount = c.LinkCount;
}

std::string DesignFileName(const std::string& name) {
  if (FileNamePart(name).find('.') != std::string::npos) return name;
  if (name.find('/') != std::string::npos) return name + "." + Ident.DataExtension;
  return AddBackslash(Session.CurrentFileFolder) + name + "." + Ident.DataExtension;
}

bool WriteDesignFile(const std::string& fileName, const DesignFileContent& content) {
  Flags.AbortFlag = false;
  DataFile.Assign(fileName);
  DataFile.SetCodePage(LegacyCodePage::Oem850);
  DataFile.SetReplacing(true);
  if (!DataFile.Rewrite()) {
    Flags.AbortFlag = true;
    return false;
  }
  WriteDesignContent(content);
  if (Flags.AbortFlag) {
    DataFile.Close();  // the working file is dropped
    return false;
  }
  if (!DataFile.Commit()) {
    Flags.AbortFlag = true;
    return false;
  }
  return true;
}

bool ReadDesignFile(const std::string& fileName, DesignFileContent& content,
                    std::vector<std::string>* cut, std::time_t* modified) {
  Flags.AbortFlag = false;
  DataFile.Assign(fileName);
  DataFile.SetCodePage(LegacyCodePage::Oem850);
  if (!DataFile.Reset()) {
    Flags.AbortFlag = true;
    return false;
  }
  if (modified) *modified = DataFile.ModifiedTime();
  const bool ok = ReadDesignContent(content);
  DataFile.Close();
  if (ok) {
    std::vector<std::string> cutTexts = LimitTexts(content);
    if (cut) *cut = std::move(cutTexts);
  }
  Flags.AbortFlag = !ok;
  return ok;
}

void SaveDataFile(const std::string& name) {
  Flags.AbortFlag = false;
  const std::string oldName = Session.CurrentFileName, oldFolder = Session.CurrentFileFolder;
  std::string fullName;
  // SaveAsDialog applies the name rules itself and needs the name as given ("aktuell").
  SaveAsDialog(TrimBlanks(name), fullName);
  if (Flags.AbortFlag) {
    // A refused overwrite leaves the design with the name and folder it had.
    Session.CurrentFileName = oldName;
    Session.CurrentFileFolder = oldFolder;
    return;
  }
  bool written = false;
  try {
    written = WriteDesignFile(fullName, CurrentDesignContent());
  } catch (const std::bad_alloc&) {
    // Memory that ran out (said by the command): the design keeps the file it came from.
    Session.CurrentFileName = oldName;
    Session.CurrentFileFolder = oldFolder;
    throw;
  }
  if (!written) {
    const int io = DataFile.IoResult();
    ErrorMessage("Datei " + fullName + " nicht gespeichert: " +
                 FileIoErrorText(io == IoOk ? IoWriteError : io, fullName) + " !");
    // The design still belongs to the file it came from.
    Session.CurrentFileName = oldName;
    Session.CurrentFileFolder = oldFolder;
    Flags.AbortFlag = true;
  }
  SetArrowCursor();
}

void ReadDataFile(const std::string& name) {
  Flags.AbortFlag = false;
  std::string fullName;
  std::string chosenFolder, chosenName;
  if (TrimBlanks(name).empty()) {
    chosenFolder = Session.CurrentFileFolder;
    SelectFileDialog(0, chosenFolder, "*." + Ident.DataExtension, chosenName);
    if (Flags.AbortFlag || chosenName.empty()) {
      Flags.AbortFlag = true;
      return;
    }
    chosenFolder = AddBackslash(chosenFolder);
    fullName = chosenFolder + chosenName;
  } else {
    fullName = DesignFileName(name);
  }

  DesignFileContent content = CurrentDesignContent();
  if (!FileCanOpen(fullName)) {
    CheckFileAccess(fullName);  // the "not found" message
    Flags.AbortFlag = true;
    SetArrowCursor();
    return;
  }
  std::vector<std::string> cut;
  if (!ReadDesignFile(fullName, content, &cut)) {
    ErrorMessage("Datei " + fullName +
                 " ist unvollständig oder fehlerhaft; die aktuellen Daten bleiben unverändert !");
    Flags.AbortFlag = true;
    SetArrowCursor();
    return;
  }
  if (!cut.empty()) {
    std::string which;
    for (const std::string& t : cut) which += (which.empty() ? "" : ", ") + t;
    ErrorMessage("Datei " + fullName + ": ein Text fasst höchstens " +
                 std::to_string(MaxDesignTextLength) + " Zeichen; länger sind (Zeichen) " + which +
                 ". Sie wurden gekürzt.");
  }
  ApplyDesignContent(content);
  if (!chosenName.empty()) {
    Session.CurrentFileFolder = chosenFolder;
    Session.CurrentFileName = FileNameWithoutExt(chosenName);
  }
  CalculateSerration();
  Flags.AbortFlag = false;
  SetArrowCursor();
}

}  // namespace qern
