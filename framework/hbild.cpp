// HP-GL picture reader: one pass over the picture's bytes, each command drawn at once through the
// drawing device. Every loop consumes input, every buffer has a limit, and every number is kept
// within the plotter's coordinate range, so no file can make it hang, grow without end or draw
// at infinite coordinates.
#include "framework/hbild.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/hbildvar.h"
#include "framework/progvar.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"
#include "platform/codepage.h"

namespace qern {

namespace {

constexpr char Etx = 3;  // label terminator
constexpr std::size_t MaxNumberChars = 64;
constexpr std::size_t MaxLabelBytes = 4 * MaxPlotLabelChars;
// The HP-GL/2 coordinate range in plotter units, and a bound for sizes and directions.
constexpr long double CoordinateLimit = 1073741823.0L;
constexpr long double SizeLimit = 1000.0L;
constexpr long double MmPerUnit = 1.0L / PlotUnitsPerMm;

long double Bounded(long double v, long double limit) { return std::clamp(v, -limit, limit); }

// One parameter as read: its value and whether any character stood before its terminator.
struct Param {
  long double Value = 0;
  bool Given = false;
};

class PlotReader {
 public:
  explicit PlotReader(std::string_view data) : d_(data) {}

  void Run() {
    while (!end_) {
      PlotState.PlotCommandEnd = false;
      int c1 = MnemonicStart();
      if (c1 < 0) break;
      int c2 = Get(true);
      if (c2 < 0) break;
      Command(c1, c2);
    }
  }

 private:
  // The next byte (CR and LF passed over, blanks too when skipBlanks); -1 at the end.
  int Get(bool skipBlanks) {
    while (pos_ < d_.size()) {
      const unsigned char c = static_cast<unsigned char>(d_[pos_++]);
      if (c == '\r' || c == '\n' || (skipBlanks && c == ' ')) continue;
      return c;
    }
    end_ = true;
    return -1;
  }
  int GetRaw() {
    if (pos_ < d_.size()) return static_cast<unsigned char>(d_[pos_++]);
    end_ = true;
    return -1;
  }

  // First letter of a mnemonic; terminators left over before it are passed over.
  int MnemonicStart() {
    int c;
    do c = Get(true);
    while (c == ';');
    return c;
  }

  void SkipToCommandEnd() {
    for (int c = GetRaw(); c >= 0; c = GetRaw())
      if (c == ';') break;
    PlotState.PlotCommandEnd = true;
  }

  // After the parameters a command uses: whatever else it carries is skipped up to its ";".
  void FinishCommand() {
    if (!PlotState.PlotCommandEnd && !end_) SkipToCommandEnd();
  }

  // One parameter up to and with "," or ";". Once the command has ended, its further
  // parameters are missing: nothing more is read, so the next command stays whole.
  Param Read(bool coordinate) {
    Param p;
    if (PlotState.PlotCommandEnd || end_) return p;
    std::string text;
    bool tooLong = false;
    for (;;) {
      int c = Get(true);
      if (c < 0) return p;
      if (c == ',') break;
      if (c == ';') {
        PlotState.PlotCommandEnd = true;
        break;
      }
      if (coordinate && (c == 'P' || c == 'A')) continue;
      if (text.size() < MaxNumberChars)
        text += static_cast<char>(c);
      else
        tooLong = true;
    }
    p.Given = !text.empty();
    if (!tooLong) p.Value = ParseReal(text);
    if (!std::isfinite(p.Value)) p.Value = 0;
    return p;
  }

  void Command(int c1, int c2) {
    if (c1 == 'P' && c2 == 'U') {
      PlotState.PlotPenDown = false;
      Pairs();
    } else if (c1 == 'P' && c2 == 'D') {
      PlotState.PlotPenDown = true;
      Pairs();
    } else if (c1 == 'P' && c2 == 'A') {
      Pairs();
    } else if (c1 == 'S' && c2 == 'P') {
      SelectPen();
    } else if (c1 == 'C' && c2 == 'I') {
      DrawCircle();
    } else if (c1 == 'A' && c2 == 'A') {
      DrawArc();
    } else if (c1 == 'S' && c2 == 'I') {
      CharacterSize();
    } else if (c1 == 'D' && c2 == 'I') {
      Direction();
    } else if (c1 == 'C' && c2 == 'S') {
      Param p = Read(false);
      PlotState.PlotCharSet = Bounded(p.Value, SizeLimit);
      FinishCommand();
    } else if (c1 == 'L' && c2 == 'B') {
      Label();
    } else if (c1 == 'P' && c2 == 'E') {
      EncodedPolyline();
    } else {
      SkipToCommandEnd();
    }
  }

  // Pens 1 to 7 have the plotter's colours; 0 and the pens above 7 name the palette index itself.
  void PenColor() {
    static constexpr int PenColors[8] = {0, 12, 14, 10, 11, 9, 13, 15};
    const int pen = PlotState.PlotPen;
    DrawDevice->SetColor(pen >= 0 && pen <= 7 ? PenColors[pen] : pen);
  }

  // Moves the pen to (x, y) mm, drawing when down.
  void MovePen(long double x, long double y, bool down) {
    if (down) {
      PenColor();
      DrawDevice->Line(PlotState.PlotPenX, PlotState.PlotPenY, x, y);
    }
    PlotState.PlotPenX = x;
    PlotState.PlotPenY = y;
  }

  void Pairs() {
    while (!PlotState.PlotCommandEnd && !end_) {
      const Param x = Read(true);
      if (PlotState.PlotCommandEnd || end_) return;  // x alone ends the list: no move
      const Param y = Read(true);
      if (end_) return;
      MovePen(Bounded(x.Value, CoordinateLimit) * MmPerUnit,
              Bounded(y.Value, CoordinateLimit) * MmPerUnit, PlotState.PlotPenDown);
    }
  }

  void SelectPen() {
    const Param p = Read(false);
    PlotState.PlotPen = p.Given ? static_cast<int>(std::clamp(std::trunc(p.Value), 0.0L, 255.0L)) : 1;
    FinishCommand();
  }

  void DrawCircle() {
    const Param r = Read(false);
    FinishCommand();
    if (!r.Given || end_) return;
    PenColor();
    DrawDevice->Circle(PlotState.PlotPenX, PlotState.PlotPenY,
                       std::fabs(Bounded(r.Value, CoordinateLimit)) * MmPerUnit);
  }

  // Arc about a centre from the pen position through the sweep angle (counter-clockwise when
  // positive); the pen stays where it is. A whole turn or more is a circle.
  void DrawArc() {
    const Param cx = Read(false), cy = Read(false), sweep = Read(false);
    FinishCommand();
    if (!cx.Given || !cy.Given || !sweep.Given || end_) return;
    const long double x = Bounded(cx.Value, CoordinateLimit) * MmPerUnit;
    const long double y = Bounded(cy.Value, CoordinateLimit) * MmPerUnit;
    const long double dx = PlotState.PlotPenX - x, dy = PlotState.PlotPenY - y;
    const long double r = std::hypot(dx, dy);
    const long double s = sweep.Value;
    if (r == 0 || s == 0) return;
    PenColor();
    if (std::fabs(s) >= 360) {
      DrawDevice->Circle(x, y, r);
      return;
    }
    const long double start = RadToDeg(std::atan2(dy, dx));
    if (s > 0)
      DrawDevice->Arc(x, y, start, start + s, r);
    else
      DrawDevice->Arc(x, y, start + s, start, r);
  }

  void CharacterSize() {
    const Param w = Read(false), h = Read(false);
    FinishCommand();
    if (!w.Given || !h.Given) return;
    PlotState.PlotCharWidth = Bounded(w.Value, SizeLimit);
    PlotState.PlotCharHeight = Bounded(h.Value, SizeLimit);
  }

  void Direction() {
    const Param run = Read(false), rise = Read(false);
    FinishCommand();
    const bool given = run.Given && rise.Given;
    PlotState.PlotDirRun = given ? Bounded(run.Value, SizeLimit) : 1;
    PlotState.PlotDirRise = given ? Bounded(rise.Value, SizeLimit) : 0;
  }

  // Text up to ETX, drawn at the pen position; an unterminated label ends the picture undrawn.
  void Label() {
    std::string raw;
    for (;;) {
      int c = GetRaw();
      if (c < 0) return;
      if (c == Etx) break;
      if (c == '\r' || c == '\n') continue;
      if (raw.size() < MaxLabelBytes) raw += static_cast<char>(c);
    }
    PlotState.PlotCommandEnd = true;
    const std::string text = Utf8Cut(PlotLabelText(raw, PlotState.PlotCharSet), MaxPlotLabelChars);
    PenColor();
    const long double angle = RadToDeg(ArcTanXY(PlotState.PlotDirRun, PlotState.PlotDirRise));
    DrawDevice->SetTextStyle(2, angle, PlotState.PlotCharHeight * 10, PlotState.PlotCharWidth * 10);
    DrawDevice->OutTextXY(text, PlotState.PlotPenX, PlotState.PlotPenY);
  }

  void EncodedPolyline() {
    bool penUp = false, absolute = false, sevenBit = false;
    for (;;) {
      int c = GetRaw();
      if (c < 0 || c == ';') break;
      if (c == ':') {
        int p = GetRaw();
        if (p < 0) break;
        PlotState.PlotPen = std::clamp(p, 1, 15);
      } else if (c == '<') {
        penUp = true;
      } else if (c == '=') {
        absolute = true;
      } else if (c == '>') {
        if (GetRaw() < 0) break;
      } else if (c == '7') {
        sevenBit = true;
      } else if (c >= 63) {
        --pos_;
        uint64_t nx = 0, ny = 0;
        if (!DecodePeNumber(d_, pos_, sevenBit, nx) || !DecodePeNumber(d_, pos_, sevenBit, ny)) {
          if (pos_ >= d_.size()) end_ = true;
          continue;  // stands on the ";" that ends the command
        }
        const long double limit = CoordinateLimit * MmPerUnit;
        long double x = Bounded(PeNumberMm(nx), limit), y = Bounded(PeNumberMm(ny), limit);
        if (!absolute) {
          x = Bounded(x + PlotState.PlotPenX, limit);
          y = Bounded(y + PlotState.PlotPenY, limit);
        }
        MovePen(x, y, !penUp);
        penUp = false;
        absolute = false;
      }
    }
    PlotState.PlotCommandEnd = true;
  }

  std::string_view d_;
  std::size_t pos_ = 0;
  bool end_ = false;  // the data ended inside a command, or after the last one
};

}  // namespace

bool ReadPlotFileBytes(const std::string& name, std::string& bytes) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return false;
  bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), MaxPlotFileBytes));
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return true;
}

bool DecodePeNumber(std::string_view data, std::size_t& pos, bool sevenBit, uint64_t& n) {
  const int digitFirst = 63, digitLast = sevenBit ? 94 : 126;
  const int endFirst = sevenBit ? 95 : 191, endLast = sevenBit ? 126 : 254;
  const int bits = sevenBit ? 5 : 6;
  n = 0;
  int shift = 0;
  while (pos < data.size()) {
    const int c = static_cast<unsigned char>(data[pos]);
    if (c == ';') return false;
    ++pos;
    int value;
    bool last = false;
    if (c >= digitFirst && c <= digitLast) {
      value = c - digitFirst;
    } else if (c >= endFirst && c <= endLast) {
      value = c - endFirst;
      last = true;
    } else {
      continue;
    }
    // Groups beyond 60 bits carry nothing a picture could use.
    if (shift <= 60 - bits) n |= static_cast<uint64_t>(value) << shift;
    shift += bits;
    if (last) return true;
  }
  return false;
}

long double PeNumberMm(uint64_t n) {
  if (n & 1) return -static_cast<long double>(n - 1) / 80;
  return static_cast<long double>(n) / 80;
}

std::string PlotLabelText(std::string_view raw, long double charSet) {
  const std::string text = IsValidUtf8(raw) ? std::string(raw) : Cp850ToUtf8(raw);
  if (charSet < 3) return text;
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = DecodeUtf8(text, i);
    if (c != U'}') {
      out += c;
      continue;
    }
    if (out.empty()) continue;
    switch (out.back()) {
      case U'a': out.back() = U'ä'; break;
      case U'o': out.back() = U'ö'; break;
      case U'u': out.back() = U'ü'; break;
      case U'A': out.back() = U'Ä'; break;
      case U'O': out.back() = U'Ö'; break;
      case U'U': out.back() = U'Ü'; break;
      default: break;
    }
  }
  std::string result;
  for (char32_t c : out) EncodeUtf8(result, c);
  return result;
}

void DrawPlotData(std::string_view data) {
  ResetPlotState();
  if (!DrawDevice) return;
  PlotReader(data).Run();
}

void ShowPlotFile(const std::string& fileName) {
  if (!DrawDevice) return;
  DrawDevice->SetWaitCursor();
  Flags.AbortFlag = false;
  DrawDevice->CheckFileExists(fileName);
  if (Flags.AbortFlag) {
    DrawDevice->SetNormalCursor();
    return;
  }
  std::string bytes;
  if (ReadPlotFileBytes(fileName, bytes)) DrawPlotData(bytes);
  Flags.AbortFlag = false;
  DrawDevice->SetNormalCursor();
}

}  // namespace qern
