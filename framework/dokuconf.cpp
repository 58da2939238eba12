// Document links: start values, the reset of File > New and the "Dokumente" section of the
// design-data file.
#include "framework/dokuconf.h"

#include <algorithm>

#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

std::array<DocumentLink, DocumentLinkSlots> DocumentLinks;
std::uint16_t DocumentLinkCount = DocumentLinkSlots;

namespace {

const char* const DocumentsMarker = "Dokumente";
const std::string Dashes20(20, '-');
const std::string Dashes14(14, '-');

// Link texts are single lines in the file.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

struct StartLinks {
  StartLinks() { InitDocumentLinks(); }
} startLinks;

}  // namespace

void InitDocumentLinks() {
  static const char* const programs[DocumentLinkSlots] = {"notepad.exe", "write.exe", "mspaint.exe",
                                                          "notepad.exe", "notepad.exe"};
  for (int i = 0; i < DocumentLinkSlots; ++i) DocumentLinks[i] = DocumentLink{programs[i], ""};
  DocumentLinkCount = DocumentLinkSlots;
}

void ResetDocumentLinks() {
  for (std::string& line : Session.CommentLines) line.clear();
  DocumentLinkCount = 0;
}

void WriteDocumentsSection(const std::array<DocumentLink, DocumentLinkSlots>& links) {
  WriteStringLine(DocumentsMarker);
  WriteIntegerLine(DocumentLinkSlots);
  WriteStringLine(Dashes20);
  for (const DocumentLink& link : links) {
    WriteStringLine(OneLine(link.Program));
    WriteStringLine(OneLine(link.File));
    WriteStringLine(Dashes14);
  }
}

void WriteDocumentsSection() { WriteDocumentsSection(DocumentLinks); }

bool ReadDocumentsSection(std::array<DocumentLink, DocumentLinkSlots>& links, std::uint16_t& count,
                          bool keep) {
  std::string_view line;
  if (!ReadLineView(line) || BlankTrimmed(line) != DocumentsMarker) return false;
  int32_t n = 0;
  if (!ReadIntegerLine(n)) return false;
  if (!ReadLineView(line) || n < 0 || !IsDashLine(line)) return false;
  for (int i = 0; i < n; ++i) {
    // Read in place: a failed read makes the whole section (and file) one not taken. The links
    // beyond the slots (and all when none is kept) are passed over.
    if (keep && i < DocumentLinkSlots) {
      ReadLine(links[i].Program);
      ReadLine(links[i].File);
    } else {
      ReadLineView(line);
      ReadLineView(line);
    }
    if (!ReadLineView(line) || !IsDashLine(line)) return false;
  }
  if (keep) count = static_cast<std::uint16_t>(std::min(n, DocumentLinkSlots));
  return true;
}

std::vector<std::string> DocumentLinkCommand(const DocumentLink& link) {
  std::vector<std::string> argv;
  std::string program = TrimBlanks(link.Program);
  if (program.empty()) return argv;
  argv.push_back(program);
  std::string file = TrimBlanks(link.File);
  if (!file.empty()) argv.push_back(file);
  return argv;
}

}  // namespace qern
