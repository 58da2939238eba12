// CAD text writer: tab-separated lines of the primitives and the structure, and its back end.
#include "drawing/cadtxt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "drawing/dxfout.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {

std::string* TxtOut = nullptr;

namespace {
// The lines of values are built in a block of memory, which is appended to the text when it is
// full and before anything else is written to the text or the text is taken: growing the text
// line by line cost more than the lines' own digits.
class LineBlock {
 public:
  static constexpr size_t Size = 32768;
  // Room for n bytes for TxtOut (after the block went to its text where it lacks the room or
  // belongs to another text); nullptr when n is more than a block.
  char* Room(size_t n) {
    if (owner_ != TxtOut || used_ + n > Size) Flush();
    owner_ = TxtOut;
    return n <= Size ? data_ + used_ : nullptr;
  }
  void Used(const char* end) { used_ = static_cast<size_t>(end - data_); }
  // The block's lines appended to their text.
  void Flush() {
    if (used_ > 0 && owner_) owner_->append(data_, used_);
    used_ = 0;
  }
  // The block's lines dropped (a text started again or discarded).
  void Drop() {
    used_ = 0;
    owner_ = nullptr;
  }

 private:
  char data_[Size];
  size_t used_ = 0;
  std::string* owner_ = nullptr;
};

LineBlock& Block() {
  static LineBlock block;
  return block;
}

void Put(const std::string& line) {
  if (!TxtOut) return;
  Block().Flush();
  *TxtOut += line;
  *TxtOut += "\r\n";
}

// A tab and the value's text appended to out.
void AppendValue(std::string& out, long double x) {
  out += '\t';
  if (!std::isfinite(x)) x = 0;
  const int d = ClampInteger(0, 15, Settings.CadDecimals);
  unsigned long long n = 0;
  if (!RoundScaled(x, d, n)) {
    out += TxtReal(x);
    return;
  }
  char buf[ScaledFixedMaxChars];
  const char* end =
      ScaledFixedChars(buf, x < 0, n, d, Settings.DecimalSeparatorMode == 2 ? ',' : '.');
  if (end - buf < 3) out.append(static_cast<size_t>(3 - (end - buf)), ' ');  // at least 3 wide
  out.append(buf, static_cast<size_t>(end - buf));
}

// A tab and the value's text (at least 3 wide) into p, the end; nullptr where the value is off the
// quick road (the exact road of AppendValue decides; an infinite or undefined value is off it too).
char* QuickValue(char* p, long double x, int decimals, char separator) {
  unsigned long long n = 0;
  if (!RoundScaled(x, decimals, n)) return nullptr;
  *p++ = '\t';
  char* end = ScaledFixedChars(p, x < 0, n, decimals, separator);
  if (end - p < 3) {
    const size_t length = static_cast<size_t>(end - p), pad = 3 - length;
    std::memmove(p + pad, p, length);
    std::memset(p, ' ', pad);
    end = p + 3;
  }
  return end;
}

// A head followed by its values, each after a tab, and (when given) a tab and a text. The line is
// written straight into the line block.
void PutValues(std::string_view head, std::initializer_list<long double> values,
               const std::string* text = nullptr) {
  if (!TxtOut) return;
  const size_t textSize = text ? 1 + text->size() : 0;
  char* p = Block().Room(head.size() + values.size() * (ScaledFixedMaxChars + 4) + textSize + 2);
  if (p) {
    std::memcpy(p, head.data(), head.size());
    p += head.size();
    const int d = std::clamp(Settings.CadDecimals, 0, 15);
    const char separator = Settings.DecimalSeparatorMode == 2 ? ',' : '.';
    for (long double v : values)
      if (!(p = QuickValue(p, v, d, separator))) break;
    if (p) {
      if (text) {
        *p++ = '\t';
        std::memcpy(p, text->data(), text->size());
        p += text->size();
      }
      p[0] = '\r';
      p[1] = '\n';
      Block().Used(p + 2);
      return;
    }
  }
  // A line longer than a block, or a value off the quick road: appended piece by piece.
  Block().Flush();
  std::string& out = *TxtOut;
  out += head;
  for (long double v : values) AppendValue(out, v);
  if (text) {
    out += '\t';
    out += *text;
  }
  out += "\r\n";
}
}  // namespace

std::string TxtReal(long double x) {
  if (!std::isfinite(x)) x = 0;
  const int d = ClampInteger(0, 15, Settings.CadDecimals);
  unsigned long long n = 0;
  if (RoundScaled(x, d, n)) {
    std::string t;
    AppendValue(t, x);
    return t.substr(1);
  }
  char buf[80];
  std::snprintf(buf, sizeof buf, "%3.*Lf", d, x);
  std::string s = buf;
  // A value that rounds to zero carries no sign.
  if (s.find('-') != std::string::npos && s.find_first_not_of(" -0.") == std::string::npos) {
    s.erase(s.find('-'), 1);
    if (s.size() < 3) s.insert(0, 3 - s.size(), ' ');
  }
  if (Settings.DecimalSeparatorMode == 2)
    for (char& c : s)
      if (c == '.') c = ',';
  return s;
}

void TxtMinMax(long double xmin, long double ymin, long double xmax, long double ymax) {
  PutValues("MINMAX", {xmin, ymin, xmax, ymax});
}

void TxtTables() {}
void TxtBeginBlocks() { Put("SECTION BLOCKS"); }
void TxtBlock(const std::string& name) { Put("BLOCK\t" + CadFileValue(name)); }
void TxtEndBlock() { Put("END OF BLOCK"); }
void TxtBeginEntities() { Put("SECTION ENTITIES"); }

void TxtLine(long double x1, long double y1, long double x2, long double y2) {
  PutValues("LINE", {x1, y1, x2, y2});
}

void TxtCircle(long double x, long double y, long double r) { PutValues("CIRCLE", {x, y, r}); }

void TxtArc(long double x, long double y, long double startAngle, long double endAngle,
            long double r) {
  if (IsFullCircle(startAngle, endAngle)) {
    TxtCircle(x, y, r);
    return;
  }
  PutValues("ARC", {x, y, r, startAngle, endAngle});
}

void TxtText(const std::string& s, long double x, long double y) {
  if (!TxtOut) return;
  // Printable ASCII (most texts) is its own file text: written as it is, without a converted copy.
  bool printable = true;
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
      printable = false;
      break;
    }
  if (printable) {
    PutValues("TEXT", {x, y}, &s);
    return;
  }
  const std::string text = CadFileText(s);
  PutValues("TEXT", {x, y}, &text);
}

void TxtSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
              long double y3, long double x4, long double y4) {
  PutValues("SOLID", {x1, y1, x2, y2, x3, y3, x4, y4});
}

void TxtInsert(const std::string& name, long double x, long double y, long double angle,
               long double scaleX, long double scaleY) {
  // A drawing inserts the same block many times in a row (teeth): its line head is kept.
  static std::string lastName, head;
  if (head.empty() || name != lastName) {
    lastName = name;
    head = "INSERT\t" + CadFileValue(name);
  }
  if (scaleX == 1 && scaleY == 1) {  // most inserts
    PutValues(head, {x, y, angle, scaleX, scaleY});
    return;
  }
  if (!TxtOut) return;
  Block().Flush();
  std::string& out = *TxtOut;
  out += head;
  for (long double v : {x, y, angle}) AppendValue(out, v);
  // The scales with the digits they need (at least 3 wide, as every number).
  for (long double v : {scaleX, scaleY}) {
    std::string t = DxfRealWithDigits(v);
    if (Settings.DecimalSeparatorMode == 2) std::replace(t.begin(), t.end(), '.', ',');
    out += '\t';
    if (t.size() < 3) out.append(3 - t.size(), ' ');
    out += t;
  }
  out += "\r\n";
}

void TxtEndFile() { Put("EOF"); }

void TxtSetLayer(int n) { DxfSetLayer(n); }

// ---- Back end -----------------------------------------------------------------------------------

void CadTextBackEnd::Open() {
  Block().Drop();
  file_.Open(CadState.CadFileName);
  TxtOut = &file_.Text();
}

void CadTextBackEnd::Abandon() {
  Block().Drop();
  file_.Discard();
  TxtOut = nullptr;
}

void CadTextBackEnd::BeginDrawing(long double xmin, long double ymin, long double xmax,
                                  long double ymax) {
  TxtOut = &file_.Text();
  TxtMinMax(xmin, ymin, xmax, ymax);
}

void CadTextBackEnd::Tables() { TxtTables(); }
void CadTextBackEnd::BeginBlocks() { TxtBeginBlocks(); }

bool CadTextBackEnd::BeginBlock(const std::string& name) {
  TxtBlock(name);
  return true;
}

void CadTextBackEnd::EndBlock() { TxtEndBlock(); }
void CadTextBackEnd::BeginEntities() { TxtBeginEntities(); }

void CadTextBackEnd::Insert(const std::string& name, long double x, long double y,
                            long double angle, long double scaleX, long double scaleY) {
  TxtInsert(name, x, y, angle, scaleX, scaleY);
}

void CadTextBackEnd::SetLayer(int pen) { TxtSetLayer(pen); }

void CadTextBackEnd::Line(long double x1, long double y1, long double x2, long double y2) {
  TxtLine(x1, y1, x2, y2);
}

void CadTextBackEnd::Circle(long double x, long double y, long double r) { TxtCircle(x, y, r); }

void CadTextBackEnd::Arc(long double x, long double y, long double startAngle,
                         long double endAngle, long double r) {
  TxtArc(x, y, startAngle, endAngle, r);
}

void CadTextBackEnd::Text(const std::string& s, long double x, long double y) { TxtText(s, x, y); }

void CadTextBackEnd::Solid(long double x1, long double y1, long double x2, long double y2,
                           long double x3, long double y3, long double x4, long double y4) {
  TxtSolid(x1, y1, x2, y2, x3, y3, x4, y4);
}

void CadTextBackEnd::Close() {
  TxtOut = &file_.Text();
  TxtEndFile();  // after the line block's lines
  TxtOut = nullptr;
  if (!file_.Commit()) ReportCadWriteError(file_);
}

}  // namespace qern
