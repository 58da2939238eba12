// The design-data file: SaveDataFile and ReadDataFile with their name rules, the fixed line order,
// the safe replace on saving and the all-or-nothing read.
#include "design/qernio.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>
#include <algorithm>

#include "design/qerncalc.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "platform/fileerror.h"

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
// With only the part numbers taken (shown holds them), every other text is passed over.
struct LineReader {
  std::array<const std::string*, 2> shown{};
  bool all = true;

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
  bool Read(std::string& s) const {
    if (all || &s == shown[0] || &s == shown[1]) {
      ReadLine(s);
    } else {
      std::string_view passed;
      ReadLineView(passed);
    }
    return true;
  }
  void ChangeLog(DrawingInfoRecord& info) {
    Section([&] { return ReadChangeLogSection(info, all); });
  }
  void Documents(std::array<DocumentLink, DocumentLinkSlots>& links, std::uint16_t& count) {
    Section([&] { return ReadDocumentsSection(links, count, all); });
  }
  void IsoHeader(DrawingInfoRecord& info, int& kind) {
    Section([&] { return ReadIsoHeaderSection(info, kind, all); });
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
template <class Report>
void CheckWholeNumbers(const DesignRecord& r, Report&& report) {
  auto in = [&](long v, long lo, long hi, const char* name) {
    if (v < lo || v > hi) report(name, v, lo, hi);
  };
  in(r.ToothCount[1], 0, MaxToothCount, "z");
  in(r.PitchInputMode, 1, 2, "mn/Pn");
  in(r.MajorDiameterInput, 0, 2, "de");
  in(r.MinorDiameterInput, 0, 2, "di");
  in(r.XInputMode[1], 0, 3, "x1");
  in(r.XInputMode[2], 0, 3, "x2");
  in(r.FitMode, 0, 2, "Passung");
  in(r.AngleCode, 0, 2, "alpha/gamma");
}

// The range of a stored real; Zero: 0 lies in it besides (a value not given).
struct RealRange {
  long double Lo, Hi;
  bool Zero;
};

// The module has a lower bound, and so has its inverse, the diametral pitch; either may be 0 (a
// module of 0 is a design the calculation stops with its fatal message, a pitch of 0 one never
// calculated). A measuring pin has no negative diameter (0 asks for the standard one). Every
// other real may take either sign.
RealRange RangeOf(const DesignRecord& r, const long double* field) {
  if (field == &r.NormalModule) return {MinNormalModule, MaxDesignMagnitude, true};
  if (field == &r.DiametralPitch)
    return {25.4L / MaxDesignMagnitude, 25.4L / MinNormalModule, true};
  if (field == &r.PinDiameter[1] || field == &r.PinDiameter[2]) return {0, MaxDesignMagnitude, false};
  return {-MaxDesignMagnitude, MaxDesignMagnitude, false};
}

// The name of a stored real as the window and the listing give it.
std::string NameOf(const DesignRecord& r, const long double* field) {
  const std::pair<const long double*, const char*> single[] = {
      {&r.PressureAngleDeg, "alpha"},       {&r.NormalModule, "mn"},
      {&r.ToothThicknessInput[1], "sn1"},   {&r.SpaceWidthInput[2], "en2"},
      {&r.MajorClearance, "ce"},            {&r.MinorClearance, "ci"},
      {&r.FlankClearance, "cp"},            {&r.DiametralPitch, "Pn"},
      {&r.MajorClearanceFactor, "ce/mn"},   {&r.MinorClearanceFactor, "ci/mn"},
      {&r.FlankClearanceFactor, "cp/mn"},   {&r.FlankAngleExternal, "gammae"},
      {&r.FlankAngleInternal, "gammai"}};
  for (const auto& [f, name] : single)
    if (f == field) return name;
  const std::pair<const PerPart<long double>*, const char*> perPart[] = {
      {&r.ToolAddendumFactor, "ha#/mn"}, {&r.ToolDedendumFactor, "hf#/mn"},
      {&r.ToolTipRadiusFactor, "rf#/mn"}, {&r.ProfileShift, "x#"},
      {&r.PinDiameter, "Dm#"},           {&r.PinDimension, "MdR#"},
      {&r.TipDiameterInput, "da#"},      {&r.RootDiameterInput, "df#"}};
  for (const auto& [a, name] : perPart) {
    for (int k = 1; k <= 2; ++k) {
      if (&(*a)[k] != field) continue;
      std::string n = name;
      n[n.find('#')] = static_cast<char>('0' + k);
      return n;
    }
  }
  return "?";
}

// Whether v lies in the range.
bool InRange(long double v, const RealRange& range) {
  return std::isfinite(v) && ((v >= range.Lo && v <= range.Hi) || (range.Zero && v == 0));
}

// Checks the reals of the fixed line order: each value itself and, when asWritten, also as the
// file holds it (in the seven decimals of its line, read back). A value that lies clearly inside
// its range is not written out to be checked: its line differs from it by far less.
template <class Report>
struct RealRangeCheck {
  const DesignRecord& Rec;
  bool AsWritten;
  Report& Out;
  void operator()(const long double& x) {
    const RealRange range = RangeOf(Rec, &x);
    constexpr long double Margin = 1e-6L;
    if (std::isfinite(x) && x > range.Lo + Margin && x < range.Hi - Margin) return;
    long double v = x;
    if (InRange(x, range)) {
      if (!AsWritten || !TextToReal(ExtendedLineText(x), v) || InRange(v, range)) return;
    }
    Out(NameOf(Rec, &x), v, range.Lo, range.Hi);
  }
  template <class T>
  void operator()(const T&) {}
  void ChangeLog(const DrawingInfoRecord&) {}
  void Documents(const std::array<DocumentLink, DocumentLinkSlots>&, std::uint16_t) {}
  void IsoHeader(const DrawingInfoRecord&, int) {}
};

// The places, heights and angles of the placed drawing texts; each value itself and, when
// asWritten, also as its line holds it.
template <class Report>
void CheckPlacedTexts(const DrawingInfoRecord& info, bool asWritten, Report&& out) {
  for (int i = 0; i < info.PlacedTextCount && i < MaxPlacedTexts; ++i) {
    const PlacedText& p = info.PlacedTexts[i];
    const std::pair<long double, const char*> values[] = {
        {p.X, " X"}, {p.Y, " Y"}, {p.Height, " Höhe"}, {p.Angle, " Winkel"}};
    for (const auto& [x, what] : values) {
      const auto outside = [](long double y) {
        return !std::isfinite(y) || std::fabs(y) > MaxDesignMagnitude;
      };
      long double v = x;
      if (!outside(x) && asWritten && !TextToReal(PlacedNumberText(x), v)) v = x;
      if (outside(v))
        out("Zeichnungstext " + std::to_string(i + 1) + what, v, -MaxDesignMagnitude,
            MaxDesignMagnitude);
    }
  }
}

// Every stored value of the content, the placed drawing texts when withTexts.
template <class Content, class Report>
void CheckRanges(const Content& c, bool withTexts, bool asWritten, Report&& out) {
  CheckWholeNumbers(c.Record, out);
  RealRangeCheck<Report> check{c.Record, asWritten, out};
  DesignLines(check, c);
  if (withTexts) CheckPlacedTexts(c.Info, asWritten, out);
}

// Collects what CheckRanges reports.
struct RangeList {
  std::vector<OutOfRangeValue> Found;
  void operator()(const std::string& name, long double v, long double lo, long double hi) {
    Found.push_back({name, v, lo, hi});
  }
};

// The values of a file just read, taken as they are.
bool ReadValuesInRange(const DesignFileContent& c) {
  bool ok = true;
  CheckRanges(c, true, false, [&ok](const std::string&, long double, long double, long double) {
    ok = false;
  });
  return ok;
}

// A record alone, walked as the lines of a content whose texts and sections are those of an empty
// one (the range check passes over them): no content is made for it.
struct RecordOnly {
  const DesignRecord& Record;
  const PerPart<std::string>& Name;
  const PerPart<std::string>& Number;
  const PerPart<std::string>& Name2;
  const DrawingInfoRecord& Info;
  const std::array<DocumentLink, DocumentLinkSlots>& Links;
  std::uint16_t LinkCount;
  int TitleBlockKind;
};

// What the reader refuses in a file of the content: a value out of range as its line holds it.
template <class Content>
std::vector<OutOfRangeValue> RefusedOnOpening(const Content& c, bool withTexts) {
  RangeList list;
  CheckRanges(c, withTexts, true, list);
  return list.Found;
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
bool ReadDesignContent(DesignFileContent& c, DesignTexts texts) {
  std::string_view line;
  for (int i = 1; i <= 5; ++i) {
    if (!ReadLineView(line) || ((i == 1 || i == 5) && !IsDashLine(line))) return false;
  }
  LineReader reader;
  reader.all = texts == DesignTexts::All;
  reader.shown = {&c.Number[1], &c.Number[2]};
  for (std::string& comment : c.CommentLines) reader.Read(comment);
  DesignLines(reader, c);
  if (Flags.AbortFlag || !ReadValuesInRange(c)) return false;
  c.Record.ToothCount[2] = -c.Record.ToothCount[1];
  return true;
}

}  // namespace

std::vector<OutOfRangeValue> ValuesOutOfRange(const DesignFileContent& c) {
  return RefusedOnOpening(c, true);
}

std::vector<OutOfRangeValue> ValuesOutOfRange(const DesignRecord& r) {
  static const DesignFileContent empty;
  const RecordOnly c{r, empty.Name, empty.Number, empty.Name2, empty.Info, empty.Links, 0, 0};
  return RefusedOnOpening(c, false);
}

std::vector<OutOfRangeValue> PlacedTextsOutOfRange(const DrawingInfoRecord& info) {
  RangeList list;
  CheckPlacedTexts(info, true, list);
  return list.Found;
}

namespace {

// A number as text in the program's decimal separator.
std::string WithSeparator(std::string s) {
  if (const std::size_t dot = s.find('.'); dot != std::string::npos) s.replace(dot, 1, DecimalSeparator());
  return s;
}

// A bound with up to 7 significant digits, without trailing zeros; a bound that needs more is
// rounded into the range (the lower one up, the upper one down), so that what the text shows is
// taken. shown gets the value of the text.
std::string BoundText(long double bound, bool lower, long double& shown) {
  shown = bound;
  if (bound == 0) return "0";
  if (!std::isfinite(bound)) return WithSeparator(std::to_string(bound));
  const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(bound))));
  const int decimals = std::clamp(6 - magnitude, 0, 18);
  const long double scale = std::pow(10.0L, decimals);
  const long double scaled = bound * scale;
  long double whole = std::round(scaled);
  if (std::fabs(scaled - whole) > 1e-4L)
    whole = lower ? std::ceil(scaled) : std::floor(scaled);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%.*Lf", decimals, whole / scale);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  shown = std::strtold(s.c_str(), nullptr);
  return WithSeparator(s);
}

}  // namespace

std::string RangeMessage(const std::string& name, long double value, long double lo,
                         long double hi, const std::string& unit) {
  long double shownLo = lo, shownHi = hi;
  const std::string loText = BoundText(lo, true, shownLo);
  const std::string hiText = BoundText(hi, false, shownHi);
  // The value with as many digits as it takes to lie visibly outside the bounds shown
  // (0.00999999999 is no 0.01).
  std::string valueText;
  // Whole numbers up to 15 digits without an exponent.
  const int wholeDigits = std::isfinite(value) && std::fabs(value) >= 1 && std::fabs(value) < 1e15L
                              ? static_cast<int>(std::floor(std::log10(std::fabs(value)))) + 1
                              : 0;
  for (int digits = std::max(7, wholeDigits); digits <= 21; ++digits) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.*Lg", digits, value);
    valueText = buf;
    const long double shown = std::strtold(buf, nullptr);
    if (!std::isfinite(value) || shown < shownLo || shown > shownHi) break;
  }
  const std::string suffix = unit.empty() ? "" : " " + unit;
  return name + " = " + WithSeparator(valueText) + suffix + ": " + RangeText(loText, hiText + suffix);
}

std::string OutOfRangeText(const OutOfRangeValue& v) {
  return RangeMessage(v.Name, v.Value, v.Lo, v.Hi);
}

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
                    std::vector<std::string>* cut, std::time_t* modified, DesignTexts texts,
                    int* readError) {
  Flags.AbortFlag = false;
  DataFile.Assign(fileName);
  DataFile.SetCodePage(LegacyCodePage::Oem850);
  if (!DataFile.Reset()) {
    if (readError) *readError = DataFile.ReadErrno() ? DataFile.ReadErrno() : EIO;
    Flags.AbortFlag = true;
    return false;
  }
  if (modified) *modified = DataFile.ModifiedTime();
  const bool ok = ReadDesignContent(content, texts);
  if (readError) *readError = DataFile.ReadErrno();
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
  const DesignFileContent content = CurrentDesignContent();
  // A file that the reader would refuse is not written: the old file stays as it was.
  if (const std::vector<OutOfRangeValue> out = ValuesOutOfRange(content); !out.empty()) {
    ErrorMessage("Datei " + fullName + " nicht gespeichert: " + OutOfRangeText(out.front()));
    Session.CurrentFileName = oldName;
    Session.CurrentFileFolder = oldFolder;
    Flags.AbortFlag = true;
    SetArrowCursor();
    return;
  }
  bool written = false;
  try {
    written = WriteDesignFile(fullName, content);
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

std::string DesignNotReadText(const std::string& fullName, int readError) {
  if (readError == 0) return "Datei " + fullName + " ist unvollständig oder fehlerhaft";
  return "Datei " + fullName + " kann nicht gelesen werden: " +
         FileErrorText(readError, fullName, FileAccess::Read);
}

void ReadDataFile(const std::string& name, int* readError) {
  Flags.AbortFlag = false;
  if (readError) *readError = 0;
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
  std::vector<std::string> cut;
  int error = 0;
  if (!ReadDesignFile(fullName, content, &cut, nullptr, DesignTexts::All, &error)) {
    ErrorMessage(DesignNotReadText(fullName, error) + "; die aktuellen Daten bleiben unverändert !");
    if (readError) *readError = error;
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
  // Open hands on the design calculated, and that is what Save writes: a value the calculation
  // stores out of range (the standard pin diameter of a huge module) refuses the design here.
  ErrorListRecord messages;
  bool fatal = false;
  CalculateSerration(content.Record, messages, fatal);
  if (const std::vector<OutOfRangeValue> out = ValuesOutOfRange(content.Record); !out.empty()) {
    ErrorMessage("Datei " + fullName + " nicht geöffnet: " + OutOfRangeText(out.front()));
    Flags.AbortFlag = true;
    SetArrowCursor();
    return;
  }
  ApplyDesignContent(content);
  if (!chosenName.empty()) {
    Session.CurrentFileFolder = chosenFolder;
    Session.CurrentFileName = FileNameWithoutExt(chosenName);
  }
  Errors = std::move(messages);
  Flags.FatalError = fatal;
  Flags.AbortFlag = false;
  SetArrowCursor();
}

}  // namespace qern
