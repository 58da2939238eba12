// The design-data file (".qrk"): the design record, part texts, change log, document links and
// title-block texts, one value per line in a fixed order after the eight-line head. Texts are kept
// in CP850, each line in UTF-8 when a character of it has no CP850 form; reading takes a line as
// UTF-8 when it is valid UTF-8, else as CP850.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "design/aendvar.h"
#include "design/qernvar.h"
#include "framework/dokuconf.h"

namespace qern {

// Everything a design file holds, as one value: what ReadDataFile replaces at once.
struct DesignFileContent {
  DesignRecord Record;
  PerPart<std::string> Name, Number, Name2;  // PartDrawingName, -Number, -Name2
  std::array<std::string, 3> CommentLines;
  DrawingInfoRecord Info;
  std::array<DocumentLink, DocumentLinkSlots> Links;
  std::uint16_t LinkCount = DocumentLinkSlots;
  int TitleBlockKind = 0;  // as stored in the file; the reader does not apply it
};

// The program's current design, texts, change log and links as one value, and back.
DesignFileContent CurrentDesignContent();
void ApplyDesignContent(const DesignFileContent& content);

// The full file name of a design by the name rules: a name whose file-name part holds a "." is
// taken as given; a bare name ("null") is Session.CurrentFileFolder + name + "." + DataExtension;
// a name with a folder but no extension gets "." + DataExtension.
std::string DesignFileName(const std::string& name);

// Writes the current design. An empty name asks with the save dialog; the rules of SaveAsDialog
// apply. A design that Open would refuse (see ValuesOutOfRange) is not written: the message names
// the first value out of range. The file is written through a working file beside it that replaces the target's name
// only when every line was written, so a failed save leaves the previous file intact.
// Failure (or a cancelled dialog) sets AbortFlag; a failure is reported with ErrorMessage.
void SaveDataFile(const std::string& name);

// Reads a design. An empty name asks with the open dialog and, after a successful read, sets
// CurrentFileName and CurrentFileFolder. The whole file is read into a copy first: only a
// complete read replaces the current design (and calculates it once, so the results fit the
// inputs); a file that cannot be opened or read (the message names the reason), a truncated or
// corrupt one, or one that holds a value out of range (see ValuesOutOfRange), leaves everything
// as it was, sets AbortFlag and says so through ErrorMessage (silent while ErrorBoxesEnabled is
// clear). readError (when given) gets the errno of the open or read that failed; 0 when none did
// (the file was read and found damaged, or the dialog was cancelled).
void ReadDataFile(const std::string& name, int* readError = nullptr);
// "Datei <fullName> kann nicht gelesen werden: <reason>" for the errno of a failed open or read,
// "Datei <fullName> ist unvollständig oder fehlerhaft" for 0 (a file read and found damaged).
std::string DesignNotReadText(const std::string& fullName, int readError);

// Writes content to fileName through a working file and a rename; false (AbortFlag set, old
// file untouched) on any failure. No dialog, no message.
bool WriteDesignFile(const std::string& fileName, const DesignFileContent& content);
// Every text of a design holds at most this many characters (one line of the file each).
constexpr int MaxDesignTextLength = 255;

// Every real of a design (sizes in millimetres, angles, factors) is finite and within a million:
// beyond, a value would only overflow in the calculation, the listing and the drawings.
constexpr long double MaxDesignMagnitude = 1e6L;
// The smallest module: below the smallest of the standard series, so no real serration is
// refused, and large enough for the drawings to hold a tooth.
constexpr long double MinNormalModule = 0.01L;

// A stored value outside its range: one rule for what the geometry window takes, what Save
// writes and what the reader accepts, so that every design kept can be opened again.
struct OutOfRangeValue {
  std::string Name;  // as the window and the listing call it: "mn", "da1", "Zeichnungstext 2 X"
  long double Value = 0;
  long double Lo = 0, Hi = 0;
};
// The stored values of the content (or of a record alone) for which Open would refuse a file of
// it, in the order of the file: each value itself and as its line holds it (written and read
// back), the whole numbers (tooth count, codes of the choices) too. The geometry window checks
// the record after each calculation, and Open the design it read and calculated, so a value the
// calculation stores out of range is refused there.
std::vector<OutOfRangeValue> ValuesOutOfRange(const DesignFileContent& content);
std::vector<OutOfRangeValue> ValuesOutOfRange(const DesignRecord& record);
// "<name> = <value>: " and the range message of the dialogs.
std::string OutOfRangeText(const OutOfRangeValue& v);
// The same for a value in other units: "<name> = <value> <unit>: Gültiger Wertebereich: <lo> ..
// <hi> <unit> !" (no unit when it is empty). The bounds show up to 7 significant digits, rounded
// into the range where they need more; the value as many digits as it takes to lie visibly
// outside them.
std::string RangeMessage(const std::string& name, long double value, long double lo,
                         long double hi, const std::string& unit = "");
// The places, heights and angles of the placed drawing texts that the reader would refuse.
std::vector<OutOfRangeValue> PlacedTextsOutOfRange(const DrawingInfoRecord& info);

// What a read takes of a design's texts: all of them, or the design and its two part numbers
// only (the file overview's rows), every other text and section checked alike but not taken.
enum class DesignTexts { All, PartNumbers };

// Reads fileName into content; false on any failure (content then undefined). No message. A text
// longer than MaxDesignTextLength is cut to it; cut (when given) gets "<which text>: <length>" of
// each. modified (when given) gets the file's time of last change when the file opened. With
// DesignTexts::PartNumbers the texts not taken keep what content held. readError (when given)
// gets the errno of the open or read that failed, 0 when none did.
bool ReadDesignFile(const std::string& fileName, DesignFileContent& content,
                    std::vector<std::string>* cut = nullptr, std::time_t* modified = nullptr,
                    DesignTexts texts = DesignTexts::All, int* readError = nullptr);

}  // namespace qern
