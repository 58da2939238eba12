// Drawing metadata of the design: change log, title-block texts and free texts placed on the drawing,
// with their two sections of the design-data file and the reset done by File > New.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qern {

constexpr int MaxChangeEntries = 25;
constexpr int MaxPlacedTexts = 8;

// One change-log entry; the description may hold line breaks ("\n").
struct ChangeEntry {
  std::string ChangeText, Date, Editor, Description;
  bool operator==(const ChangeEntry&) const = default;
};

// A free text on the drawing: position, height (drawing units) and angle (degrees).
struct PlacedText {
  long double X = 0, Y = 0, Height = 0, Angle = 0;
  std::string Text;
  bool operator==(const PlacedText&) const = default;
};

// Everything the sheet frame, title block and revision table read besides the geometry.
struct DrawingInfoRecord {
  std::array<ChangeEntry, MaxChangeEntries> ChangeEntries;  // entry i at [i-1]
  std::uint16_t ChangeCount = 0;                             // entries 1..ChangeCount are valid
  std::array<PlacedText, MaxPlacedTexts> PlacedTexts;
  std::uint16_t PlacedTextCount = 0;
  std::int32_t PlacedTextMode = 0;  // sheet of the placed texts: 0 A4, 1 A3, 2 A4+A3, 3 none

  // Title block rows 1..4 (drawn, checked, standards check, release), replacement references,
  // and the three header fields of the ISO 7200 layout.
  std::string TitleDrawnDate, TitleDrawnName;
  std::string TitleCheckedDate, TitleCheckedName;
  std::string TitleStandardDate, TitleStandardName;
  std::string TitleReleaseDate, TitleReleaseName;
  std::string TitleReplaces, TitleReplacedBy;
  std::string TitleResponsibleDept, TitleDocumentType, TitleDocumentStatus;

  bool operator==(const DrawingInfoRecord&) const = default;
};

extern DrawingInfoRecord DrawingInfo;

// Start values: everything empty, counts 0, and the drawn, checked and standards dates today.
void InitDrawingInfo();
// File > New: counts and title texts cleared, the drawn date today; the change entries' texts stay.
void ResetChangeLog();

// Both sections go through the shared DataFile; a write or read error sets AbortFlag.
// The "ÄNDERUNGEN" section (change log, title-block rows, placed texts) of the design-data file.
void WriteChangeLogSection(const DrawingInfoRecord& info);
// Reads that section back into info. Surplus entries beyond 25 changes or 8 placed texts are
// read and dropped so the file stays in step. Returns false (file out of step or ended) on failure.
// keep false: the section is checked alike but only the placed texts' places, heights, angles
// and count are taken (their range is the reader's to check); every text stays as it was.
bool ReadChangeLogSection(DrawingInfoRecord& info, bool keep = true);

// The "ISO 7200 Header" section: title-block kind, placed-text sheet and the three ISO header fields.
void WriteIsoHeaderSection(const DrawingInfoRecord& info, int titleBlockKind);
// Reads it back; the stored title-block kind is returned in titleBlockKind (the caller decides).
// keep false: checked alike, nothing taken.
bool ReadIsoHeaderSection(DrawingInfoRecord& info, int& titleBlockKind, bool keep = true);

// The text of a placed-text number in the file: 6 significant digits, whatever the Decimals
// display setting, with the platform's decimal separator.
std::string PlacedNumberText(long double x);

// Texts written on one line of a data file: line breaks become blanks.
std::string OneLineValue(const std::string& s);
// A field of a "|"-separated line: "|" becomes "/" and line breaks blanks, so fields never shift.
std::string FieldValue(const std::string& s);
// A description on one line: a "|" of its own becomes "/", each line break (CR LF, LF or CR) "|".
std::string JoinDescription(const std::string& s);
// The inverse: each "|" becomes a line break ("\n").
std::string SplitDescription(const std::string& s);

}  // namespace qern
