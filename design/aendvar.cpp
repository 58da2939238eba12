// Drawing metadata of the design (change log, title-block texts, placed texts): start values,
// the reset of File > New and the two sections of the design-data file.
#include "design/aendvar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

DrawingInfoRecord DrawingInfo;

namespace {

const char* const ChangeLogMarker = "ÄNDERUNGEN";
const char* const IsoHeaderMarker = "ISO 7200 Header";
const char* const IsoHeaderEnd = "---";
const std::string Dashes20(20, '-');
const std::string Dashes14(14, '-');

// The section's first line, tolerant of the code page its "Ä" was written in.
bool IsChangeLogMarker(std::string_view line) {
  const std::string_view s = BlankTrimmed(line);
  const std::string_view tail = "NDERUNGEN";
  if (s.size() < tail.size() || s.size() > tail.size() + 3) return false;
  const std::string_view end = s.substr(s.size() - tail.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    const char c = end[i] >= 'a' && end[i] <= 'z' ? static_cast<char>(end[i] - 'a' + 'A') : end[i];
    if (c != tail[i]) return false;
  }
  return true;
}

// Field i (from 0) of a field line: the text before its "|"; text after the last "|" is dropped
// like a line end, and a field beyond the last "|" is empty.
std::string_view Field(std::string_view line, std::size_t i) {
  std::size_t start = 0;
  for (; i > 0; --i) {
    const std::size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) return {};
    start = bar + 1;
  }
  const std::size_t end = line.find('|', start);
  return end == std::string_view::npos ? std::string_view() : line.substr(start, end - start);
}

// The number of a field: an empty (or missing) field is 0; a text that is no number is a damaged
// section (false).
bool FieldNumber(std::string_view field, long double& x) {
  x = 0;
  return BlankTrimmed(field).empty() || TextToReal(field, x);
}

bool FieldNumber(std::string_view field, int& n) {
  int64_t v = 0;
  n = 0;
  if (BlankTrimmed(field).empty()) return true;
  if (!TextToWhole(field, v) || v < INT32_MIN || v > INT32_MAX) return false;
  n = static_cast<int>(v);
  return true;
}

}  // namespace

void InitDrawingInfo() {
  DrawingInfo = DrawingInfoRecord{};
  const std::string today = TodayStr();
  DrawingInfo.TitleDrawnDate = today;
  DrawingInfo.TitleCheckedDate = today;
  DrawingInfo.TitleStandardDate = today;
}

void ResetChangeLog() {
  DrawingInfoRecord& d = DrawingInfo;
  d.ChangeCount = 0;
  d.TitleReplaces.clear();
  d.TitleReplacedBy.clear();
  d.TitleDrawnDate = TodayStr();
  for (std::string* s : {&d.TitleDrawnName, &d.TitleCheckedDate, &d.TitleCheckedName,
                         &d.TitleStandardDate, &d.TitleStandardName, &d.TitleReleaseDate,
                         &d.TitleReleaseName, &d.TitleResponsibleDept, &d.TitleDocumentType,
                         &d.TitleDocumentStatus}) {
    s->clear();
  }
  d.PlacedTextCount = 0;
  d.PlacedTextMode = 0;
}

std::string OneLineValue(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;  // CR LF: one blank
    r += (s[i] == '\r' || s[i] == '\n') ? ' ' : s[i];
  }
  return r;
}

std::string FieldValue(const std::string& s) {
  std::string r = OneLineValue(s);
  std::replace(r.begin(), r.end(), '|', '/');
  return r;
}

std::string JoinDescription(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r') {
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      r += '|';
    } else if (c == '\n') {
      r += '|';
    } else {
      r += c == '|' ? '/' : c;
    }
  }
  return r;
}

std::string SplitDescription(const std::string& s) {
  std::string r = s;
  std::replace(r.begin(), r.end(), '|', '\n');
  return r;
}

std::string PlacedNumberText(long double x) {
  if (std::fabs(static_cast<double>(x)) < 1e-9) return "0";
  int intDigits = 0, decimals = 0;
  SignificantDigits(intDigits, decimals, 6, x);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.*Lf", std::clamp(decimals, 0, 18), x);
  std::string r = buf;
  if (r.find_first_of("123456789") == std::string::npos) return "0";  // rounded to zero
  std::string sep = DecimalSeparator();
  if (sep != ".") {
    auto p = r.find('.');
    if (p != std::string::npos) r.replace(p, 1, sep);
  }
  return r;
}

void WriteChangeLogSection(const DrawingInfoRecord& info) {
  WriteStringLine(ChangeLogMarker);
  const int changes = std::min<int>(info.ChangeCount, MaxChangeEntries);
  WriteIntegerLine(changes);
  WriteStringLine(Dashes20);
  for (int i = 0; i < changes; ++i) {
    const ChangeEntry& e = info.ChangeEntries[i];
    WriteStringLine(OneLineValue(e.ChangeText));
    WriteStringLine(OneLineValue(e.Date));
    WriteStringLine(OneLineValue(e.Editor));
    WriteStringLine(JoinDescription(e.Description));
    WriteStringLine(Dashes14);
  }
  const int placed = std::min<int>(info.PlacedTextCount, MaxPlacedTexts);
  WriteFields8(FieldValue(info.TitleCheckedDate), FieldValue(info.TitleCheckedName),
               FieldValue(info.TitleStandardDate), FieldValue(info.TitleStandardName),
               FieldValue(info.TitleReleaseDate), FieldValue(info.TitleReleaseName), IntStr(placed),
               "");
  WriteStringLine(OneLineValue(info.TitleDrawnDate));
  WriteStringLine(OneLineValue(info.TitleReplaces));
  WriteStringLine(OneLineValue(info.TitleReplacedBy));
  WriteStringLine(OneLineValue(info.TitleDrawnName));
  for (int i = 0; i < placed; ++i) {
    const PlacedText& p = info.PlacedTexts[i];
    WriteFields6(PlacedNumberText(p.X), PlacedNumberText(p.Y), PlacedNumberText(p.Height),
                 PlacedNumberText(p.Angle), FieldValue(p.Text), "");
  }
}

namespace {
// A text line of a section into s, or (keep false) passed over.
void TextLine(std::string& s, bool keep) {
  std::string_view passed;
  if (keep)
    ReadLine(s);
  else
    ReadLineView(passed);
}
}  // namespace

bool ReadChangeLogSection(DrawingInfoRecord& info, bool keep) {
  std::string_view mark;
  if (!ReadLineView(mark) || !IsChangeLogMarker(mark)) return false;
  std::uint16_t count = 0;
  if (!ReadWordLine(count)) return false;
  if (!ReadLineView(mark) || !IsDashLine(mark)) return false;
  std::string line;
  for (int i = 0; i < count; ++i) {
    if (keep && i < MaxChangeEntries) {
      ChangeEntry& e = info.ChangeEntries[i];
      ReadLine(e.ChangeText);
      ReadLine(e.Date);
      ReadLine(e.Editor);
      ReadLine(line);
      e.Description = SplitDescription(line);
    } else {
      // Surplus entries are dropped: their lines are passed over, not taken as texts.
      for (int k = 0; k < 4; ++k) ReadLineView(mark);
    }
    if (!ReadLineView(mark) || !IsDashLine(mark)) return false;
  }

  // The field lines are read whole (their numbers are checked); the other texts only when kept.
  ReadLine(line);
  int placed = 0;
  if (!FieldNumber(Field(line, 6), placed)) return false;
  placed = std::max(0, placed);
  if (keep) {
    info.ChangeCount = static_cast<std::uint16_t>(std::min<int>(count, MaxChangeEntries));
    info.TitleCheckedDate = Field(line, 0);
    info.TitleCheckedName = Field(line, 1);
    info.TitleStandardDate = Field(line, 2);
    info.TitleStandardName = Field(line, 3);
    info.TitleReleaseDate = Field(line, 4);
    info.TitleReleaseName = Field(line, 5);
  }
  TextLine(info.TitleDrawnDate, keep);
  TextLine(info.TitleReplaces, keep);
  TextLine(info.TitleReplacedBy, keep);
  TextLine(info.TitleDrawnName, keep);
  if (Flags.AbortFlag) return false;
  for (int i = 0; i < placed; ++i) {
    ReadLine(line);
    if (Flags.AbortFlag) return false;
    if (i >= MaxPlacedTexts) continue;
    PlacedText& p = info.PlacedTexts[i];
    if (!FieldNumber(Field(line, 0), p.X) || !FieldNumber(Field(line, 1), p.Y) ||
        !FieldNumber(Field(line, 2), p.Height) || !FieldNumber(Field(line, 3), p.Angle))
      return false;
    if (keep) p.Text = Field(line, 4);
  }
  info.PlacedTextCount = static_cast<std::uint16_t>(std::min(placed, MaxPlacedTexts));
  return true;
}

void WriteIsoHeaderSection(const DrawingInfoRecord& info, int titleBlockKind) {
  WriteStringLine(IsoHeaderMarker);
  WriteIntegerLine(titleBlockKind);
  WriteIntegerLine(info.PlacedTextMode);
  WriteStringLine(OneLineValue(info.TitleResponsibleDept));
  WriteStringLine(OneLineValue(info.TitleDocumentType));
  WriteStringLine(OneLineValue(info.TitleDocumentStatus));
  WriteStringLine(IsoHeaderEnd);
}

bool ReadIsoHeaderSection(DrawingInfoRecord& info, int& titleBlockKind, bool keep) {
  std::string_view line;
  if (!ReadLineView(line) || BlankTrimmed(line) != IsoHeaderMarker) return false;
  std::int32_t kind = 0, mode = 0;
  if (!ReadIntegerLine(kind) || !ReadIntegerLine(mode)) return false;
  TextLine(info.TitleResponsibleDept, keep);
  TextLine(info.TitleDocumentType, keep);
  TextLine(info.TitleDocumentStatus, keep);
  if (!ReadLineView(line) || BlankTrimmed(line) != IsoHeaderEnd) return false;
  if (!keep) return true;
  titleBlockKind = kind;
  info.PlacedTextMode = (mode >= 0 && mode <= 3) ? mode : 0;
  return true;
}

}  // namespace qern
