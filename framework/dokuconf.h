// Document links of the design: five program/file pairs saved with the design and started from
// the links window (framework/qt/).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qern {

constexpr int DocumentLinkSlots = 5;

struct DocumentLink {
  std::string Program;  // empty: the file opens with the desktop's associated program
  std::string File;
  bool operator==(const DocumentLink&) const = default;
};

// Link i at [i-1]; the records live for the whole run.
extern std::array<DocumentLink, DocumentLinkSlots> DocumentLinks;
extern std::uint16_t DocumentLinkCount;  // 5 at start, 0 after ResetDocumentLinks

// Start values: the five programs, every file empty, count 5.
void InitDocumentLinks();
// File > New: the design's three comment lines are emptied and the count set to 0; the link
// texts stay.
void ResetDocumentLinks();

// The "Dokumente" section of the design-data file, through the shared DataFile: always five links.
void WriteDocumentsSection(const std::array<DocumentLink, DocumentLinkSlots>& links);
void WriteDocumentsSection();
// Reads the section back into links; count := the number of links the file lists (at most 5;
// surplus links are read and dropped). False when the section is out of step or the file ends
// (links then partly filled). keep false: checked alike, nothing taken.
bool ReadDocumentsSection(std::array<DocumentLink, DocumentLinkSlots>& links, std::uint16_t& count,
                          bool keep = true);

// The argument list that starts link's program with its file: {program, file}, the file left out
// when empty. Empty when the program is empty (the file is then opened by the desktop instead).
std::vector<std::string> DocumentLinkCommand(const DocumentLink& link);

}  // namespace qern
