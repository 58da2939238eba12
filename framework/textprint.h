// Text files on the printer and their display copies: PrintTextFile splits a listing into pages at
// form feeds and prints a page range through a TextPrintTarget (installed by the Qt side);
// ConvertTextFile makes the display copy; the font-style number of the configuration file.
#pragma once

#include <string>
#include <vector>

namespace qern {

// Font style bits as the configuration file stores them: bold 1, italic 2, underline 4, strike-out 8.
struct FontStyle {
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  bool operator==(const FontStyle&) const = default;
};
int FontStyleToInt(const FontStyle& style);
// The style of n for 0..15; a number outside that returns current unchanged.
FontStyle IntToFontStyle(int n, const FontStyle& current);

// The print font of the settings (PrintFontName, PrintFontSize, PrintFontStyle).
struct PrintFontSpec {
  std::string Name;
  int Size = 10;
  FontStyle Style;
};
PrintFontSpec CurrentPrintFont();

// Copies source line by line into dest through ConvertDisplayText. The copy is written beside dest
// and replaces it only when complete: when source cannot be read or the copy cannot be written,
// AbortFlag := 1 and dest stays as it was. Returns 0, or the I/O code of the failure. Without sync
// the copy is not waited for on the disk (a listing waits for one file only).
int ConvertTextFile(const std::string& source, const std::string& dest, bool sync = true);

// A printer that takes text lines. Rows count from 0 at the top of each sheet; the target places
// row r at r times (page height div linesPerPage).
class TextPrintTarget {
 public:
  virtual ~TextPrintTarget() = default;
  // The print dialog: document title, pages 1..pageCount offered, first/last preset to all of
  // them. False on cancel; else first/last := the chosen range.
  virtual bool ChoosePages(const std::string& title, int pageCount, int& firstPage, int& lastPage) = 0;
  // Begins the document on a first sheet; false when the printer cannot be started.
  virtual bool BeginDocument(const PrintFontSpec& font, int linesPerPage) = 0;
  virtual void NewPage() = 0;
  virtual void PrintRow(int row, const std::string& text) = 0;
  // Ends the document: "" or the message why it could not be printed whole.
  virtual std::string EndDocument() = 0;
};
// Installs the printer (not owned); nullptr leaves PrintTextFile without a printer.
void SetTextPrintTarget(TextPrintTarget* target);
TextPrintTarget* GetTextPrintTarget();

// The pages of a text file: a line that begins with a form feed starts the next page and is not
// printed itself; a last page without lines (a closing form feed) is no page.
std::vector<std::vector<std::string>> SplitTextPages(const std::vector<std::string>& lines);

// Prints fileName on the installed printer: the print dialog offers its pages, the chosen range
// is printed one page per sheet, each line converted for display.
void PrintTextFile(const std::string& fileName);

}  // namespace qern
