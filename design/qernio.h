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
// apply. The file is written through a working file beside it that replaces the target's name
// only when every line was written, so a failed save leaves the previous file intact.
// Failure (or a cancelled dialog) sets AbortFlag; a failure is reported with ErrorMessage.
void SaveDataFile(const std::string& name);

// Reads a design. An empty name asks with the open dialog and, after a successful read, sets
// CurrentFileName and CurrentFileFolder. The whole file is read into a copy first: only a
// complete read replaces the current design (and calculates it once, so the results fit the
// inputs); a missing, truncated or corrupt file leaves everything as it was, sets AbortFlag and
// says so through ErrorMessage (silent while ErrorBoxesEnabled is clear).
void ReadDataFile(const std::string& name);

// Writes content to fileName through a working file and a rename; false (AbortFlag set, old
// file untouched) on any failure. No dialog, no message.
bool WriteDesignFile(const std::string& fileName, const DesignFileContent& content);
// Every text of a design holds at most this many characters (one line of the file each).
constexpr int MaxDesignTextLength = 255;

// What a read takes of a design's texts: all of them, or the design and its two part numbers
// only (the file overview's rows), every other text and section checked alike but not taken.
enum class DesignTexts { All, PartNumbers };

// Reads fileName into content; false on any failure (content then undefined). No message. A text
// longer than MaxDesignTextLength is cut to it; cut (when given) gets "<which text>: <length>" of
// each. modified (when given) gets the file's time of last change when the file opened. With
// DesignTexts::PartNumbers the texts not taken keep what content held.
bool ReadDesignFile(const std::string& fileName, DesignFileContent& content,
                    std::vector<std::string>* cut = nullptr, std::time_t* modified = nullptr,
                    DesignTexts texts = DesignTexts::All);

}  // namespace qern
