// DXF writer: group pairs of the program's DXF subset into a text in memory, and the DXF and plot
// back ends that write that text as a file.
#include "drawing/dxfout.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>
#include <system_error>

#include "drawing/dxblock.h"
#include "drawing/gravura.h"
#include "drawing/zorqcad.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {

DxfTarget DxfOut;

namespace {
void Put(const std::string& s) {
  if (DxfOut.Out) {
    *DxfOut.Out += s;
    *DxfOut.Out += "\r\n";
  }
}

// A name or text value: in Windows-1252 for CAD files; the screen's blocks keep the program's
// UTF-8, so no character is lost on the way back. Control characters become blanks either way.
std::string Value(const std::string& s, bool convert = DxfOut.ConvertTexts) {
  if (convert) return CadFileValue(s);
  std::string v = s;
  for (char& c : v)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return v;
}

// A layer name as written: a character the code page lacks must not become a "?", which CAD programs
// refuse in layer names.
std::string LayerValue(const std::string& name, bool convert = DxfOut.ConvertTexts) {
  std::string v = Value(name, convert);
  for (char& c : v)
    if (c == '?') c = '_';
  return v;
}

// The current layer's name as written; every entity carries it, so the last one is kept.
const std::string& Layer() {
  static std::string name, value;
  static bool converted = false, known = false;
  if (!known || converted != DxfOut.ConvertTexts || name != CadState.CadLayerName) {
    value = LayerValue(CadState.CadLayerName);
    name = CadState.CadLayerName;
    converted = DxfOut.ConvertTexts;
    known = true;
  }
  return value;
}

}  // namespace

std::string DxfPlainValue(const std::string& s) { return Value(s, false); }

std::string DxfPlainLayer() { return LayerValue(CadState.CadLayerName, false); }

namespace {
// DxfLayerName written into out, keeping its room: a pen is set for every entity and insert.
void AssignLayerName(std::string& out, int n) {
  if (n < 1 || n > 5 || Settings.CadLayerNames[n].empty()) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, n);
    out.assign(digits, r.ptr);
    return;
  }
  out.assign(Settings.CadLayerNames[n]);
  // Characters that CAD programs refuse in a layer name.
  for (char& c : out) {
    switch (c) {
      case '<': case '>': case '/': case '\\': case '"': case ':': case ';': case '?': case '*':
      case '|': case '=': case '`':
        c = '_';
        break;
      default: break;
    }
  }
}
}  // namespace

std::string DxfLayerName(int n) {
  std::string name;
  AssignLayerName(name, n);
  return name;
}

std::string DxfReal(long double x) {
  if (!std::isfinite(x)) x = 0;  // a broken value must not break the file
  const int d = ClampInteger(0, 15, Settings.CadDecimals);
  unsigned long long n = 0;
  if (RoundScaled(x, d, n)) return ScaledFixedText(x < 0, n, d, '.');
  char buf[80];
  std::snprintf(buf, sizeof buf, "%.*Lf", d, x);
  std::string s = buf;
  // A value that rounds to zero carries no sign.
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

std::string DxfInteger(long long n) { return std::to_string(n); }

bool DxfScaledReadsBack(long double x, unsigned long long n, int decimals) {
  static constexpr double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  // Both n and 10^decimals are exact doubles: their quotient is rounded as reading the text
  // rounds the same number.
  if (decimals < 0 || decimals > 15 || n >= (1ULL << 53)) return false;
  return static_cast<double>(n) / powers[decimals] == std::fabs(static_cast<double>(x));
}

const std::string& DxfRealWithDigits(long double x) {
  // A drawing gives many inserts the same scale (a wheel's teeth) and its texts a few heights:
  // the texts of the last few numbers are kept.
  struct Kept {
    long double x = 0;
    int decimals = -1;
    std::string text;
  };
  static std::array<Kept, 4> kept;
  static std::size_t last = 0;
  const int decimals = Settings.CadDecimals;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const Kept& k = kept[(last + i) % kept.size()];
    if (k.decimals == decimals && k.x == x && std::signbit(k.x) == std::signbit(x)) return k.text;
  }
  last = (last + 1) % kept.size();
  Kept& k = kept[last];
  k.text = DxfReal(x);
  const double value = static_cast<double>(x);
  unsigned long long n = 0;
  const int d = std::clamp(decimals, 0, 15);
  const bool readsBack = RoundScaled(x, d, n) ? DxfScaledReadsBack(x, n, d)
                                              : std::strtod(k.text.c_str(), nullptr) == value;
  if (std::isfinite(x) && !readsBack) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec == std::errc()) k.text.assign(buf, r.ptr);
  }
  k.x = x;
  k.decimals = decimals;
  return k.text;
}

std::string DxfTextStyleNumber(long double x) {
  std::string text = FloatStrDot(x);
  if (std::isfinite(x) && std::strtod(text.c_str(), nullptr) == static_cast<double>(x))
    return text;
  return DxfRealWithDigits(x);
}

namespace {
// CodeLine for the codes beyond two digits, kept apart so that the common case stays small.
[[gnu::noinline]] char* LongCodeLine(char* line, int code) {
  if (code >= 100 && code < 1000) {
    line[0] = static_cast<char>('0' + code / 100);
    line[1] = static_cast<char>('0' + code / 10 % 10);
    line[2] = static_cast<char>('0' + code % 10);
    line += 3;
  } else {
    char buf[16];
    char* end = std::to_chars(buf, buf + sizeof buf, code).ptr;
    if (end - buf < 3) {
      const size_t pad = static_cast<size_t>(3 - (end - buf));
      std::memset(line, ' ', pad);
      line += pad;
    }
    std::memcpy(line, buf, static_cast<size_t>(end - buf));
    line += end - buf;
  }
  line[0] = '\r';
  line[1] = '\n';
  return line + 2;
}

// The group code right-aligned in three columns and its line end, into line (room for 16); the end.
char* CodeLine(char* line, int code) {
  if (code < 0 || code >= 100) return LongCodeLine(line, code);
  // The codes a drawing writes, ready right-aligned.
  static const auto columns = [] {
    std::array<std::array<char, 4>, 100> t{};
    for (int c = 0; c < 100; ++c)
      t[c] = {' ', c >= 10 ? static_cast<char>('0' + c / 10) : ' ', static_cast<char>('0' + c % 10),
              '\r'};
    return t;
  }();
  std::memcpy(line, columns[static_cast<size_t>(code)].data(), 4);
  line[4] = '\n';
  return line + 5;
}

// The groups of an entity written straight into the text (a drawing has tens of thousands of
// them; a line built elsewhere and copied in would be read back while still being written). Room
// for all of them is made at once and cut back to what was written at the end: growing a string
// fills its new room, and doing that for every group cost as much as writing the group's digits.
class GroupLines {
 public:
  // room: the bytes the groups are expected to take (more are made when a value needs them).
  GroupLines(std::string& out, size_t room) : out_(out) {
    const size_t used = out.size();
    out.resize(used + room);
    p_ = out.data() + used;
    end_ = out.data() + out.size();
  }
  ~GroupLines() { out_.resize(static_cast<size_t>(p_ - out_.data())); }
  GroupLines(const GroupLines&) = delete;
  GroupLines& operator=(const GroupLines&) = delete;

  // The room a group takes at most besides its value: the code line and the value's line end.
  static constexpr size_t LineRoom = 16 + 2;
  static constexpr size_t RealRoom = LineRoom + ScaledFixedMaxChars;

  [[gnu::always_inline]] void Text(int code, std::string_view value) {
    Reserve(LineRoom + value.size());
    char* const begin = p_;
    char* p = CodeLine(p_, code);
    std::memcpy(p, value.data(), value.size());
    p += value.size();
    p[0] = '\r';
    p[1] = '\n';
    p_ = p + 2;
    if (DxfOut.RecordGroups) RecordBlockGroup(code, value, Offset(begin), Offset(p_));
  }

  // A number whose size is not fixed (DxfRealWithDigits' text).
  void RealWithDigits(int code, long double x) {
    // Mostly the text with CadDecimals decimals holds it; the same number comes again and again
    // (the heights of a table's texts, the scale of a wheel's teeth): the last one's way is kept.
    static long double lastX = 0;
    static int lastD = -1;
    static unsigned long long lastN = 0;
    static bool lastFixed = false;
    const int d = std::clamp(Settings.CadDecimals, 0, 15);
    if (d != lastD || x != lastX || std::signbit(x) != std::signbit(lastX)) {
      lastFixed = RoundScaled(x, d, lastN) && DxfScaledReadsBack(x, lastN, d);
      lastX = x;
      lastD = d;
    }
    if (lastFixed)
      Scaled(code, x < 0, lastN, d);
    else
      Text(code, DxfRealWithDigits(x));
  }

  // A number with CadDecimals decimals (DxfReal's text).
  [[gnu::always_inline]] void Real(int code, long double x) {
    unsigned long long n = 0;
    const int d = std::clamp(Settings.CadDecimals, 0, 15);
    if (!RoundScaled(x, d, n)) {  // also an infinite or undefined value: DxfReal writes it as 0
      Text(code, DxfReal(x));
      return;
    }
    Scaled(code, x < 0, n, d);
  }

 private:
  // The number n / 10^d (negative when told) as its fixed-point text.
  [[gnu::always_inline]] void Scaled(int code, bool negative, unsigned long long n, int d) {
    Reserve(RealRoom);
    char* const begin = p_;
    char* const value = CodeLine(p_, code);
    char* const p = ScaledFixedChars(value, negative, n, d, '.');
    p[0] = '\r';
    p[1] = '\n';
    p_ = p + 2;
    if (DxfOut.RecordGroups)
      RecordBlockGroupNumber(code, *value == '-', n, d,
                             std::string_view(value, static_cast<size_t>(p - value)),
                             Offset(begin), Offset(p_));
  }
  size_t Offset(const char* p) const { return static_cast<size_t>(p - out_.data()); }
  void Reserve(size_t k) {
    if (static_cast<size_t>(end_ - p_) < k) Grow(k);
  }
  [[gnu::noinline]] void Grow(size_t k) {
    const size_t used = Offset(p_);
    out_.resize(out_.size() + std::max<size_t>(k, 256));
    p_ = out_.data() + used;
    end_ = out_.data() + out_.size();
  }

  std::string& out_;
  char* p_;
  char* end_;
};

void Group(int code, std::string_view value) {
  if (!DxfOut.Out) return;
  GroupLines(*DxfOut.Out, GroupLines::LineRoom + value.size()).Text(code, value);
}

// DxfTextStyleNumber of the text style's width, rotation and slant. Texts come with a few styles
// in turn, so the texts of the last few are kept (with the Decimals settings they were made with).
struct StyleTexts {
  long double width = 0, rotation = 0, slant = 0;
  int decimals = 0, cadDecimals = 0;
  bool known = false;
  std::string widthText, rotationText, slantText;
  bool Of(const CadOutputState& c) const {
    return known && width == c.CadTextWidth && rotation == c.CadTextRotation &&
           slant == c.CadTextSlant && decimals == Settings.Decimals &&
           cadDecimals == Settings.CadDecimals;
  }
};
const StyleTexts& StyleNumbers() {
  static std::array<StyleTexts, 4> kept;
  static size_t last = 0;
  const CadOutputState& c = CadState;
  if (kept[last].Of(c)) return kept[last];
  for (size_t i = 0; i < kept.size(); ++i)
    if (kept[i].Of(c)) return kept[last = i];
  last = (last + 1) % kept.size();
  kept[last] = {c.CadTextWidth,
                c.CadTextRotation,
                c.CadTextSlant,
                Settings.Decimals,
                Settings.CadDecimals,
                true,
                DxfTextStyleNumber(c.CadTextWidth),
                DxfTextStyleNumber(c.CadTextRotation),
                DxfTextStyleNumber(c.CadTextSlant)};
  return kept[last];
}
}  // namespace

void DxfGroup(int code, const std::string& value) { Group(code, value); }

void DxfGroupReal(int code, long double x) {
  if (!DxfOut.Out) return;
  GroupLines(*DxfOut.Out, GroupLines::RealRoom).Real(code, x);
}

void DxfHeader(long double xmin, long double ymin, long double xmax, long double ymax) {
  DxfGroup(0, "SECTION");
  DxfGroup(2, "HEADER");
  const struct {
    const char* name;
    long double x, y;
  } points[] = {{"$EXTMIN", xmin, ymin}, {"$EXTMAX", xmax, ymax},
                {"$LIMMIN", xmin, ymin}, {"$LIMMAX", xmax, ymax}};
  for (const auto& p : points) {
    DxfGroup(9, p.name);
    DxfGroupReal(10, p.x);
    DxfGroupReal(20, p.y);
  }
  DxfGroup(9, "$LTSCALE");
  DxfGroup(40, "15");
  // The code page of every text in the file.
  DxfGroup(9, "$DWGCODEPAGE");
  DxfGroup(3, "ANSI_1252");
  DxfGroup(0, "ENDSEC");
}

namespace {
void WriteTables() {
  DxfGroup(0, "SECTION");
  DxfGroup(2, "TABLES");

  DxfGroup(0, "TABLE");
  DxfGroup(2, "LTYPE");
  DxfGroup(70, "23");
  const struct {
    const char* name;
    const char* text;
    const char* count;
    const char* length;
    std::vector<const char*> dashes;
  } types[] = {{"CONTINUOUS", "Ausgezogene Linie", "0", "0.0", {}},
               {"DASHDOT", "--. --. --.-", "4", "1.0", {"0.5", "-0.25", "0.0", "-0.25"}},
               {"DASHED", "- - - - - - ", "2", "0.375", {"0.25", "-0.125"}}};
  for (const auto& t : types) {
    DxfGroup(0, "LTYPE");
    DxfGroup(2, t.name);
    DxfGroup(70, "64");
    DxfGroup(3, t.text);
    DxfGroup(72, "65");
    DxfGroup(73, t.count);
    DxfGroup(40, t.length);
    for (const char* d : t.dashes) DxfGroup(49, d);
  }
  DxfGroup(0, "ENDTAB");

  DxfGroup(0, "TABLE");
  DxfGroup(2, "LAYER");
  DxfGroup(70, DxfInteger(24));
  std::set<std::string> written;  // a name configured twice is one layer
  auto layer = [&](const std::string& name, int colour, const char* type) {
    const std::string value = LayerValue(name);
    if (!written.insert(UpperStr(value)).second) return;
    DxfGroup(0, "LAYER");
    DxfGroup(2, value);
    DxfGroup(70, "0");
    DxfGroup(62, DxfInteger(Settings.LayerMonochrome ? 1 : (colour & 0xFF)));
    DxfGroup(6, type);
  };
  layer("0", 1, "CONTINUOUS");
  for (int n = 1; n <= 5; ++n)
    layer(DxfLayerName(n), Settings.CadLayerColors[n],
          n == 1 ? "DASHDOT" : n == 2 ? "DASHED" : "CONTINUOUS");
  for (int n = 16; n <= 31; ++n)
    layer(IntStr(n), Settings.ColorLayerColors[n - ProgramSettings::ColorLayerFirst], "CONTINUOUS");
  DxfGroup(0, "ENDTAB");

  DxfGroup(0, "TABLE");
  DxfGroup(2, "STYLE");
  DxfGroup(70, "1");
  DxfGroup(0, "STYLE");
  DxfGroup(2, "STANDARD");
  DxfGroup(70, "0");
  DxfGroup(40, "0.0");
  DxfGroup(41, "1.0");
  DxfGroup(50, "0.0");
  DxfGroup(71, "0");
  DxfGroup(42, "3.5");
  DxfGroup(3, CadFileValue(UpperStr(Settings.CadTextStyle)));
  DxfGroup(4, "");
  Put("0");
  Put("ENDTAB");

  DxfGroup(0, "ENDSEC");
}
}  // namespace

void DxfTables() {
  if (!DxfOut.Out) return;
  // The tables follow only the layer and text-style settings: the text made for the last ones is
  // kept and written again while they stay the same.
  struct Key {
    std::array<std::string, 6> names;
    std::array<int, 6> colours;
    std::array<int, 16> colourLayers;
    bool monochrome;
    std::string style;
    bool converted;
    bool operator==(const Key&) const = default;
  };
  static Key keptKey;
  static std::string kept;
  static bool known = false;
  Key key{Settings.CadLayerNames,   Settings.CadLayerColors, Settings.ColorLayerColors,
          Settings.LayerMonochrome, Settings.CadTextStyle,   DxfOut.ConvertTexts};
  if (known && key == keptKey) {
    *DxfOut.Out += kept;
    return;
  }
  const size_t start = DxfOut.Out->size();
  WriteTables();
  kept = DxfOut.Out->substr(start);
  keptKey = std::move(key);
  known = true;
}

void DxfBeginBlocks() {
  DxfGroup(0, "SECTION");
  DxfGroup(2, "BLOCKS");
}

void DxfBlock(const std::string& name) {
  DxfGroup(0, "BLOCK");
  DxfGroup(8, Layer());
  DxfGroup(2, Value(name));
  DxfGroup(70, "0");
  DxfGroup(10, "0.0");
  DxfGroup(20, "0.0");
}

void DxfEndBlock() { DxfGroup(0, "ENDBLK"); }
void DxfEndSection() { DxfGroup(0, "ENDSEC"); }

void DxfBeginEntities() {
  DxfGroup(0, "SECTION");
  DxfGroup(2, "ENTITIES");
}

namespace {
// The room of an entity: its type and layer, reals numbers and further text values of textRoom
// bytes in all.
size_t EntityRoom(std::string_view type, const std::string& layer, size_t reals,
                  size_t textRoom = 0) {
  return 2 * GroupLines::LineRoom + type.size() + layer.size() + reals * GroupLines::RealRoom +
         textRoom;
}

// An entity's first groups: its type and the current layer.
[[gnu::always_inline]] inline void Entity(GroupLines& g, std::string_view type,
                                          const std::string& layer) {
  g.Text(0, type);
  g.Text(8, layer);
}

void Entity(std::string_view type) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  GroupLines g(*DxfOut.Out, EntityRoom(type, layer, 0));
  Entity(g, type, layer);
}
}  // namespace

void DxfLine(long double x1, long double y1, long double x2, long double y2) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  GroupLines g(*DxfOut.Out, EntityRoom("LINE", layer, 4));
  Entity(g, "LINE", layer);
  g.Real(10, x1);
  g.Real(20, y1);
  g.Real(11, x2);
  g.Real(21, y2);
}

void DxfCircle(long double x, long double y, long double r) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  GroupLines g(*DxfOut.Out, EntityRoom("CIRCLE", layer, 3));
  Entity(g, "CIRCLE", layer);
  g.Real(10, x);
  g.Real(20, y);
  g.Real(40, r);
}

bool IsFullCircle(long double startAngle, long double endAngle) {
  auto near = [](long double a, long double b) { return std::fabs(a - b) <= 1e-5L; };
  return startAngle == endAngle || (near(startAngle, 0) && near(endAngle, 360)) ||
         (near(startAngle, 360) && near(endAngle, 0));
}

void DxfArc(long double x, long double y, long double startAngle, long double endAngle,
            long double r) {
  if (IsFullCircle(startAngle, endAngle)) {
    DxfCircle(x, y, r);
    return;
  }
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  GroupLines g(*DxfOut.Out, EntityRoom("ARC", layer, 5));
  Entity(g, "ARC", layer);
  g.Real(10, x);
  g.Real(20, y);
  g.Real(40, r);
  g.Real(50, startAngle);
  g.Real(51, endAngle);
}

void DxfText(const std::string& s, long double x, long double y) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  const std::string text = DxfOut.ConvertTexts ? CadFileText(s) : Value(s);
  const StyleTexts& style = StyleNumbers();
  GroupLines g(*DxfOut.Out, EntityRoom("TEXT", layer, 3,
                                       5 * GroupLines::LineRoom + text.size() + 8 +
                                           style.widthText.size() + style.rotationText.size() +
                                           style.slantText.size()));
  Entity(g, "TEXT", layer);
  g.Real(10, x);
  g.Real(20, y);
  g.RealWithDigits(40, CadState.CadTextHeight);
  g.Text(1, text);
  g.Text(7, "STANDARD");
  g.Text(41, style.widthText);
  g.Text(50, style.rotationText);
  g.Text(51, style.slantText);
}

void DxfSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
              long double y3, long double x4, long double y4) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  GroupLines g(*DxfOut.Out, EntityRoom("SOLID", layer, 8));
  Entity(g, "SOLID", layer);
  const long double p[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
  for (int i = 0; i < 4; ++i) {
    g.Real(10 + i, p[2 * i]);
    g.Real(20 + i, p[2 * i + 1]);
  }
}

void DxfInsert(const std::string& name, long double x, long double y, long double angle,
               long double scaleX, long double scaleY) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  const std::string value = Value(name);
  GroupLines g(*DxfOut.Out, EntityRoom("INSERT", layer, 5, GroupLines::LineRoom + value.size()));
  Entity(g, "INSERT", layer);
  g.Text(2, value);
  g.Real(10, x);
  g.Real(20, y);
  g.RealWithDigits(41, scaleX);
  g.RealWithDigits(42, scaleY);
  g.Real(50, angle);
}

void DxfBeginPolyline(uint8_t flags) {
  Entity("POLYLINE");
  DxfGroup(66, "1");
  if (flags != 0) DxfGroup(70, DxfInteger(flags));
}

void DxfVertex(long double x, long double y, long double bulge) {
  if (!DxfOut.Out) return;
  const std::string& layer = Layer();
  GroupLines g(*DxfOut.Out, EntityRoom("VERTEX", layer, 3));
  Entity(g, "VERTEX", layer);
  g.Real(10, x);
  g.Real(20, y);
  if (bulge != 0) g.Real(42, bulge);
}

void DxfSeqEnd() { Entity("SEQEND"); }

void DxfEndFile() { DxfGroup(0, "EOF"); }

void DxfSetLayer(int n) { AssignLayerName(CadState.CadLayerName, n); }

// ---- DXF back end -------------------------------------------------------------------------------

DxfBackEnd::~DxfBackEnd() {
  if (DxfOut.Out == &file_.Text()) DxfOut = {};
}

void DxfBackEnd::Target() { DxfOut = {&file_.Text(), true}; }

void DxfBackEnd::Open() {
  file_.Open(CadState.CadFileName);
  Target();
}

void DxfBackEnd::Abandon() {
  file_.Discard();
  DxfOut = {};
}

void DxfBackEnd::BeginDrawing(long double xmin, long double ymin, long double xmax,
                              long double ymax) {
  Target();
  DxfHeader(xmin, ymin, xmax, ymax);
}

void DxfBackEnd::Tables() {
  Target();
  DxfTables();
}

void DxfBackEnd::BeginBlocks() {
  Target();
  DxfBeginBlocks();
  inBlocksSection_ = true;
}

bool DxfBackEnd::BeginBlock(const std::string& name) {
  Target();
  DxfBlock(name);
  return true;
}

void DxfBackEnd::EndBlock() {
  Target();
  DxfEndBlock();
}

void DxfBackEnd::EndSection() {
  Target();
  if (inBlocksSection_) {
    blocksEnd_ = file_.Text().size();
    sawBlocksSection_ = true;
    inBlocksSection_ = false;
  }
  inEntities_ = false;
  DxfEndSection();
}

void DxfBackEnd::BeginEntities() {
  Target();
  entitiesStart_ = file_.Text().size();
  DxfBeginEntities();
  inEntities_ = true;
}

void DxfBackEnd::Insert(const std::string& name, long double x, long double y, long double angle,
                        long double scaleX, long double scaleY) {
  Target();
  DxfInsert(name, x, y, angle, scaleX, scaleY);
}

bool DxfBackEnd::InsertUserBlock(const std::string& name, const std::string& file, long double x,
                                 long double y, long double angle, long double scaleX,
                                 long double scaleY) {
  // One definition per block, under the spelling of its first insert.
  std::string used = name;
  bool known = false;
  for (const auto& [n, f] : userBlocks_) {
    if (LowerStr(n) == LowerStr(name)) {
      used = n;
      known = true;
      break;
    }
  }
  if (!known) userBlocks_.emplace_back(name, file);
  Insert(used, x, y, angle, scaleX, scaleY);
  return true;
}

void DxfBackEnd::SetLayer(int pen) {}

void DxfBackEnd::Line(long double x1, long double y1, long double x2, long double y2) {
  DxfLine(x1, y1, x2, y2);
}

void DxfBackEnd::Circle(long double x, long double y, long double r) { DxfCircle(x, y, r); }

void DxfBackEnd::Arc(long double x, long double y, long double startAngle, long double endAngle,
                     long double r) {
  DxfArc(x, y, startAngle, endAngle, r);
}

void DxfBackEnd::Text(const std::string& s, long double x, long double y) { DxfText(s, x, y); }

void DxfBackEnd::Solid(long double x1, long double y1, long double x2, long double y2,
                       long double x3, long double y3, long double x4, long double y4) {
  DxfSolid(x1, y1, x2, y2, x3, y3, x4, y4);
}

void DxfBackEnd::PolylineBegin(uint8_t flags) { DxfBeginPolyline(flags); }
void DxfBackEnd::Vertex(long double x, long double y, long double bulge) {
  DxfVertex(x, y, bulge);
}
void DxfBackEnd::PolylineEnd() { DxfSeqEnd(); }

void DxfBackEnd::CopyUserBlocks() {
  if (userBlocks_.empty()) return;
  std::string blocks;
  DxfOut = {&blocks, true};
  // The user's files are replayed into the definitions with their own geometry (no transform).
  const CadOutputState saved = CadState;
  for (size_t i = 0; i < userBlocks_.size(); ++i) {
    const auto& [name, file] = userBlocks_[i];
    CadSetPen(0);
    DxfBlock(name);
    CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
    CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
    CadState.CadInsertDepth = 0;
    const bool abort = Flags.AbortFlag;
    ReplayBlockFileNamed(file, 0, 0, 0, 1, 1);
    Flags.AbortFlag = abort;
    DxfOut = {&blocks, true};
    DxfEndBlock();
  }
  CadState = saved;
  std::string& text = file_.Text();
  if (sawBlocksSection_) {
    text.insert(blocksEnd_, blocks);
  } else if (entitiesStart_ != std::string::npos) {
    text.insert(entitiesStart_, "  0\r\nSECTION\r\n  2\r\nBLOCKS\r\n" + blocks + "  0\r\nENDSEC\r\n");
  }
  Target();
}

bool DxfBackEnd::Finish() {
  CopyUserBlocks();
  Target();
  DxfEndFile();
  DxfOut = {};
  if (file_.Commit()) return true;
  ReportCadWriteError(file_);
  return false;
}

void DxfBackEnd::Close() { Finish(); }

// ---- Plot back end ------------------------------------------------------------------------------

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) args.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) args.push_back(cur);
  return args;
}

void PlotBackEnd::Close() {
  const bool written = Finish();
  if (written) {
    const int index =
        ClampInteger(1, ProgramSettings::GravuraLineCount, CadState.GravuraCommandIndex);
    // A script made for a long line runs through sh; failures are reported there.
    StartGravura(Settings.GravuraCommandLines[index - 1]);
  }
  SetArrowCursor();
}

}  // namespace qern
