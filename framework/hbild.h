// HP-GL picture reader: draws the help pictures and the start picture (".plt" files) through the
// drawing device, so that they land in the display list like any drawing. It understands PU, PD,
// PA, SP, CI, AA, SI, DI, CS, LB and PE (HP-GL/2 encoded polylines) and skips every other command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qern {

// Plotter units per millimetre.
constexpr long double PlotUnitsPerMm = 40.0L;
// A picture file is read up to this size; the rest of a larger file is ignored.
constexpr std::size_t MaxPlotFileBytes = std::size_t{16} << 20;
// Characters of a label that are drawn; the rest up to its terminator is skipped.
constexpr int MaxPlotLabelChars = 255;

// Reads fileName and draws it. A missing file: the drawing device's "nicht gefunden" message,
// AbortFlag set, nothing drawn. Otherwise AbortFlag is clear on return, also after a broken file.
void ShowPlotFile(const std::string& fileName);

// The bytes of a picture file, up to MaxPlotFileBytes; false when it is no plain file or cannot
// be opened.
bool ReadPlotFileBytes(const std::string& name, std::string& bytes);

// Draws HP-GL data through the drawing device, starting from the reader's start values.
// Every command is read in one pass; the data's end ends the picture.
void DrawPlotData(std::string_view data);

// Decodes one PE number of an encoded polyline from data at pos (advanced past it): base 64 in
// 8-bit mode, base 32 in 7-bit mode, the lowest group first. Characters that carry no digit are
// passed over. False when the data or the command (";") ends before the number's last group;
// pos then stands on the ";".
bool DecodePeNumber(std::string_view data, std::size_t& pos, bool sevenBit, uint64_t& n);
// An encoded number as millimetres: odd n is -(n - 1) / 80 mm, even n is n / 80 mm.
long double PeNumberMm(uint64_t n);

// A label's text: UTF-8 when valid, else code page 850; with character set 3 or above a "}"
// turns the a, o, u, A, O or U before it into its umlaut and is dropped itself.
std::string PlotLabelText(std::string_view raw, long double charSet);

}  // namespace qern
