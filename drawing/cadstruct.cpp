// Drawing structure on the CAD layer: extents with frame and screen footer, tables, named blocks and
// their inserts, the entity section with the logo blocks, polylines, arrows and vertical dimensions.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "drawing/cadbackend.h"
#include "drawing/dxblock.h"
#include "drawing/userblock.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/vektor.h"

namespace qern {

namespace {
// Blocks this output defined: lower-case name -> name as defined.
std::map<std::string, std::string> g_blocks;
// The block the last insert found, by the name it was asked for: a drawing inserts the same block
// many times in a row (teeth, arrows), and the lookup lowers the name and searches the map. The
// entry stays valid while blocks are added or defined anew; ResetCadBlocks forgets it.
std::string g_lastInsertName;
std::map<std::string, std::string>::const_iterator g_lastInsert;
bool g_lastInsertKnown = false;
std::string g_openBlock;  // the block being defined ("" outside a definition)
bool g_blockOpen = false;
bool g_framePending = false;  // the plot device's frame waits for the entity section
// Polyline in progress.
bool g_polyNative = false;
bool g_polyClosed = false;
long double g_polyFirstX = 0, g_polyFirstY = 0;

std::string Key(const std::string& name) { return LowerStr(name); }

CadBackEnd* B() { return CurrentCadBackEnd(); }

bool IsScreen() { return CadState.CadDevice == CadDeviceScreen; }
bool IsPlot() { return CadState.CadDevice == CadDevicePlot; }

void FrameRectangle() {
  const auto& e = CadState.CadExtents;
  CadSetPen(CadPenFrame);
  CadRectangle(e[0], e[2], e[1], e[3]);
}

// The footer of the screen: date, time, program and design file.
std::string FooterText() {
  std::string file;
  if (!Session.CurrentFileName.empty()) {
    AbbreviateText(AddBackslash(Session.CurrentFileFolder) + Session.CurrentFileName + "." +
                       Ident.DataExtension,
                   120, file);
  }
  return TodayStr() + " " + TimeStr() + " - " + "ZORQUAN " + Ident.ProductName + " V" +
         Ident.VersionText + " - " + file;
}
}  // namespace

void ResetCadBlocks() {
  g_lastInsertKnown = false;
  g_blocks.clear();
  g_openBlock.clear();
  g_blockOpen = false;
  g_framePending = false;
}

bool CadBlockDefined(const std::string& name) { return g_blocks.count(Key(name)) > 0; }

std::string CadUserBlockFile(const std::string& name) {
  if (name.empty() || name.find_first_of("*?/\\") != std::string::npos) return "";
  return FindUserBlockFile(AddBackslash(Settings.TempFolder), name);
}

void CadBeginDrawing(long double xmin, long double ymin, long double xmax, long double ymax) {
  const long double w = xmax - xmin, h = ymax - ymin;
  CadState.CadExtents = {xmin, xmax, ymin, ymax, w, h};
  if (B()) B()->BeginDrawing(xmin, ymin, xmax, ymax);
  if (Flags.PrintFrame && (IsScreen() || IsPlot())) {
    // In a DXF file the frame belongs into the entity section.
    if (IsPlot())
      g_framePending = true;
    else
      FrameRectangle();
  }
  if (IsScreen()) {
    CadSetTextStyle(2, 0, 0.006L * h, 0.0045L * w);
    CadSetPen(CadPenFooter);
    if (!Settings.DrawFooter) CadText(FooterText(), xmin + 0.005L * w, ymin + 0.002L * h);
  }
}

namespace {
// Boxes of shapes and blocks, for the measuring and the watching of a drawing.
double D(long double v) { return static_cast<double>(v); }
// x' = a x + b y + e, y' = c x + d y + f.
struct Map {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  Map operator*(const Map& m) const {
    return {a * m.a + b * m.c, a * m.b + b * m.d, c * m.a + d * m.c,
            c * m.b + d * m.d, a * m.e + b * m.f + e, c * m.e + d * m.f + f};
  }
};
// The arc about (x, y) of radius r, counter-clockwise from the direction (cs, ss) to (ce, se);
// a point has radius 0. Kept with its directions: bounding it takes no trigonometry.
struct Shape {
  double x = 0, y = 0, r = 0, cs = 1, ss = 0, ce = 1, se = 0;
  bool full = false, wide = false;  // a whole circle; a sweep beyond half a turn
};
struct Rect {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};
// r grown to hold p; an empty r becomes p.
void Unite(Rect& r, bool& empty, const Rect& p) {
  if (empty) {
    r = p;
    empty = false;
    return;
  }
  r.xmin = std::min(r.xmin, p.xmin), r.ymin = std::min(r.ymin, p.ymin);
  r.xmax = std::max(r.xmax, p.xmax), r.ymax = std::max(r.ymax, p.ymax);
}
// The largest of a box's numbers.
double Size(const Rect& b) {
  return std::max({std::fabs(b.xmin), std::fabs(b.xmax), std::fabs(b.ymin), std::fabs(b.ymax)});
}
// The distance of a box's farthest corner from the origin.
double CornerReach(const Rect& b) {
  return std::hypot(std::max(std::fabs(b.xmin), std::fabs(b.xmax)),
                    std::max(std::fabs(b.ymin), std::fabs(b.ymax)));
}
bool Finite(const Rect& b) {
  return std::isfinite(b.xmin) && std::isfinite(b.ymin) && std::isfinite(b.xmax) &&
         std::isfinite(b.ymax);
}
// A block's box b (its own shapes') united with the boxes of its inserts, and grown by rounding
// times the largest number met: inner finds an inserted block's box (false when it has none),
// insertBox gives the box an insert lands in and the size of its numbers. unbounded where a number
// is not finite or an insert has no box.
template <class Children, class Inner, class InsertBox>
void UniteInserts(Rect& b, bool& empty, bool& unbounded, const Children& inserts, double rounding,
                  Inner inner, InsertBox insertBox) {
  double size = empty ? 0 : Size(b);
  for (const auto& ch : inserts) {
    if (unbounded) break;
    if (!inner(*ch.block)) {
      unbounded = true;
      break;
    }
    if (ch.block->empty) continue;
    double mx = 0, my = 0;
    const Rect p = insertBox(ch, mx, my);
    if (!Finite(p)) {
      unbounded = true;
      break;
    }
    size = std::max({size, mx, my});
    Unite(b, empty, p);
  }
  if (!empty) {
    const double g = rounding * size;
    b = {b.xmin - g, b.ymin - g, b.xmax + g, b.ymax + g};
  }
}
// Whether the direction (ux, uy) lies within the arc's sweep.
bool Within(const Shape& sh, double ux, double uy) {
  if (sh.full) return true;
  const bool afterStart = sh.cs * uy - sh.ss * ux >= 0, beforeEnd = ux * sh.se - uy * sh.ce >= 0;
  return sh.wide ? afterStart || beforeEnd : afterStart && beforeEnd;
}
// The box of a shape in its own coordinates: an arc's ends and the points of its sweep that lie
// farthest along the axes.
Rect ShapeRect(const Shape& sh) {
  if (sh.r == 0) return {sh.x, sh.y, sh.x, sh.y};
  const double r = sh.r;
  Rect b{sh.x + r * std::min(sh.cs, sh.ce), sh.y + r * std::min(sh.ss, sh.se),
         sh.x + r * std::max(sh.cs, sh.ce), sh.y + r * std::max(sh.ss, sh.se)};
  if (Within(sh, 1, 0)) b.xmax = sh.x + r;
  if (Within(sh, -1, 0)) b.xmin = sh.x - r;
  if (Within(sh, 0, 1)) b.ymax = sh.y + r;
  if (Within(sh, 0, -1)) b.ymin = sh.y - r;
  return b;
}
// The box of b taken through m, grown by what its rounding may leave out; the size of its
// numbers in mx and my.
Rect Mapped(const Rect& b, const Map& m, double& mx, double& my) {
  const double ax0 = m.a * b.xmin, ax1 = m.a * b.xmax, by0 = m.b * b.ymin, by1 = m.b * b.ymax;
  const double cx0 = m.c * b.xmin, cx1 = m.c * b.xmax, dy0 = m.d * b.ymin, dy1 = m.d * b.ymax;
  mx = std::fabs(m.e) + std::max(std::fabs(ax0), std::fabs(ax1)) +
       std::max(std::fabs(by0), std::fabs(by1));
  my = std::fabs(m.f) + std::max(std::fabs(cx0), std::fabs(cx1)) +
       std::max(std::fabs(dy0), std::fabs(dy1));
  return {m.e + std::min(ax0, ax1) + std::min(by0, by1), m.f + std::min(cx0, cx1) + std::min(dy0, dy1),
          m.e + std::max(ax0, ax1) + std::max(by0, by1), m.f + std::max(cx0, cx1) + std::max(dy0, dy1)};
}

// Whether a text is plain ASCII, looked at eight bytes (or four, or three) at a time: the first
// and the last word may overlap.
[[gnu::always_inline]] inline bool PlainAscii(const std::string& s) {
  const char* const p = s.data();
  const size_t n = s.size();
  if (n >= 8) {
    std::uint64_t all, word;
    std::memcpy(&all, p + n - 8, 8);
    for (size_t i = 0; i + 8 < n; i += 8) {
      std::memcpy(&word, p + i, 8);
      all |= word;
    }
    return (all & 0x8080808080808080ULL) == 0;
  }
  if (n >= 4) {
    std::uint32_t first, last;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    return ((first | last) & 0x80808080U) == 0;
  }
  return n == 0 || ((p[0] | p[n / 2] | p[n - 1]) & 0x80) == 0;
}
// The characters of a text that is not plain ASCII (CadTextCharacters).
size_t TextCharactersBeyondAscii(const std::string& s);

// How far a text's top leans along the text (its height times the tangent of its slant) on a
// device that writes the slant (DXF: the plot program and CAD programs draw it); 0 elsewhere.
double TextLean() {
  const long double slant = CadState.CadTextSlant;
  if (slant == 0 ||
      (CadState.CadDevice != CadDeviceDxf && CadState.CadDevice != CadDevicePlot))
    return 0;
  // (Texts come in runs of one slant: its tangent is kept.)
  static long double keptSlant = 0;
  static double keptTan = 0;
  if (slant != keptSlant) keptSlant = slant, keptTan = std::tan(D(DegToRad(slant)));
  return D(CadState.CadTextHeight) * keptTan;
}

// The cosine and sine of a text's angle (degrees); texts come in runs of one angle (a table's,
// a sheet's upright notes): the last angle's are kept.
void TextTurn(long double angle, double& c, double& sn) {
  static long double keptAngle = 0;
  static double keptCos = 1, keptSin = 0;
  if (angle != keptAngle) {
    const double a = D(DegToRad(angle));
    keptAngle = angle, keptCos = std::cos(a), keptSin = std::sin(a);
  }
  c = keptCos, sn = keptSin;
}

// The corners of a text's box as the writers place it: from its anchor along its angle as wide as
// its characters at its height and width factor, and as high as its height across, its top
// leaning by its slant.
void TextCorners(const std::string& s, double x, double y, double (&p)[8]) {
  const double h = D(CadState.CadTextHeight);
  const double w = static_cast<double>(CadTextCharacters(s)) * h * D(CadState.CadTextWidth);
  double c = 1, sn = 0;
  if (const long double angle = CadState.CadTextRotation; angle != 0) TextTurn(angle, c, sn);
  const double lean = TextLean();
  const double ux = w * c, uy = w * sn, vx = -h * sn + lean * c, vy = h * c + lean * sn;
  p[0] = x, p[1] = y, p[2] = x + ux, p[3] = y + uy;
  p[4] = x + vx, p[5] = y + vy, p[6] = x + ux + vx, p[7] = y + uy + vy;
}

// Whether the device draws user block files (the others list them as not found).
bool DeviceTakesUserBlocks() {
  const int d = CadState.CadDevice;
  return d == CadDeviceDxf || d == CadDevicePlot || d == CadDeviceScreen;
}

// Replays a user block file through the current back end at (x, y) with angle and scales, as the
// screen draws it; the layer's state, the messages and the flags stay as they were (a file that
// cannot be read is only not measured).
void ReplayUserBlockFile(const std::string& file, long double x, long double y, long double angle,
                         long double scaleX, long double scaleY) {
  const CadOutputState state = CadState;
  const ErrorListRecord errors = Errors;
  const ProgramFlags flags = Flags;
  CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
  CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
  CadState.CadInsertDepth = 0;
  ReplayBlockFileNamed(file, x, y, angle, scaleX, scaleY);
  CadState = state;
  Errors = errors;
  Flags = flags;
}

// The box of an arc (degrees), as the writers take its sweep; empty when an angle is no number.
bool ArcRect(double x, double y, double r, long double startAngle, long double endAngle,
             Rect& box) {
  // The directions of an arc's ends and its sweep, by its angles. The same arcs come drawing
  // after drawing (a block's tooth flanks): the last few are kept.
  struct Ends {
    long double start = 0, end = 0;
    bool known = false, none = true, full = false, wide = false;
    double cs = 1, ss = 0, ce = 1, se = 0;
  };
  static std::array<Ends, 8> kept;
  static size_t next = 0;
  const Ends* ends = nullptr;
  for (const Ends& k : kept)
    if (k.known && k.start == startAngle && k.end == endAngle) ends = &k;
  if (!ends) {
    Ends& k = kept[next];
    next = (next + 1) % kept.size();
    const long double sweep = ArcSweep(startAngle, endAngle);
    k = {startAngle, endAngle, true, sweep == 0};
    if (sweep != 0) {
      const long double start = std::fmod(startAngle, 360.0L);
      const double s = D(DegToRad(start)), e = D(DegToRad(start + sweep));
      k.full = sweep >= 360, k.wide = sweep > 180;
      k.cs = std::cos(s), k.ss = std::sin(s), k.ce = std::cos(e), k.se = std::sin(e);
    }
    // (Angles that are no numbers are never met again: not kept.)
    k.known = startAngle == startAngle && endAngle == endAngle;
    ends = &k;
  }
  if (ends->none) return false;
  box = ShapeRect({x, y, r, ends->cs, ends->ss, ends->ce, ends->se, ends->full, ends->wide});
  return true;
}

// The back end that measures a drawing. A block keeps its own shapes in its coordinates and its
// inserts; the box maps every shape through the inserts that bring it into the drawing, so that it
// is the box of the drawn geometry itself (a wheel of turned teeth, not the turned boxes of its
// teeth). Doubles are precise enough for a box and keep a wheel of a thousand teeth quick.
// Given a room, a piece that lies wholly inside it is left out: each block's box is found once and
// taken through an insert's map as a box that surely holds the piece, and only a piece that may
// reach outside the room is bounded shape by shape.
class BoundsBackEnd : public CadBackEnd {
 public:
  // A new measurement within room (an empty room: everything is measured). The blocks' room
  // is kept from measurement to measurement.
  void Start(const CadBox& room) {
    empty_ = true;
    open_ = nullptr;
    last_ = nullptr;
    ++generation_;
    if (blocks_.size() > MaxKeptBlocks) blocks_.clear();
    for (auto& [name, block] : blocks_) block.Clear();
    users_.clear();
    hasRoom_ = !room.Empty();
    if (hasRoom_) {
      room_ = {static_cast<double>(room.xmin), static_cast<double>(room.ymin),
               static_cast<double>(room.xmax), static_cast<double>(room.ymax)};
      const long double size = std::max({std::fabs(room.xmin), std::fabs(room.xmax),
                                         std::fabs(room.ymin), std::fabs(room.ymax)});
      slack_ = static_cast<double>(1e-9L * size);
      inner_ = {room_.xmin + slack_, room_.ymin + slack_, room_.xmax - slack_, room_.ymax - slack_};
    }
  }
  CadBox Box() const {
    if (empty_) return {};
    return {box_.xmin, box_.ymin, box_.xmax, box_.ymax};
  }

  bool BeginBlock(const std::string& name) override {
    open_ = &blocks_[name];
    open_->Clear();
    ++generation_;  // the boxes of blocks that insert this one are found anew
    return true;
  }
  void EndBlock() override { open_ = nullptr; }
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY) override {
    if (!last_ || name != lastName_) {
      last_ = &blocks_[name];
      lastName_ = name;
    }
    const double a = D(DegToRad(angle)), c = std::cos(a), s = std::sin(a);
    const Map by{c * D(scaleX), -s * D(scaleY), s * D(scaleX), c * D(scaleY), D(x), D(y)};
    if (open_)
      open_->inserts.push_back({last_, by});
    else
      BoundInsert(*last_, by, 0);
  }
  // A user block file by its shapes: on the screen outside a block as the screen replays it;
  // otherwise as a block of the file's shapes (read once a measurement) through the insert, as a
  // CAD program draws the copy the DXF writer makes of it.
  bool InsertUserBlock(const std::string&, const std::string& file, long double x, long double y,
                       long double angle, long double scaleX, long double scaleY) override {
    if (!DeviceTakesUserBlocks()) return false;
    if (!open_ && CadState.CadDevice == CadDeviceScreen) {
      ReplayUserBlockFile(file, x, y, angle, scaleX, scaleY);
      return true;
    }
    auto [it, fresh] = users_.try_emplace(file);
    Block& bl = it->second;
    if (fresh) {
      Block* const outer = open_;
      open_ = &bl;
      ++generation_;
      ReplayUserBlockFile(file, 0, 0, 0, 1, 1);
      open_ = outer;
    }
    const double a = D(DegToRad(angle)), c = std::cos(a), s = std::sin(a);
    const Map by{c * D(scaleX), -s * D(scaleY), s * D(scaleX), c * D(scaleY), D(x), D(y)};
    if (open_)
      open_->inserts.push_back({&bl, by});
    else
      BoundInsert(bl, by, 0);
    return true;
  }

  void Line(long double x1, long double y1, long double x2, long double y2) override {
    Point(x1, y1);
    Point(x2, y2);
  }
  void Circle(long double x, long double y, long double r) override {
    PutArc(x, y, std::fabs(r), 0, 0, true);
  }
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r) override {
    PutArc(x, y, std::fabs(r), startAngle, endAngle, false);
  }
  // A text by its box, as the writers place it: from its anchor along its angle as wide as its
  // characters at its height and width factor, and as high as its height across.
  void Text(const std::string& s, long double x, long double y) override {
    double p[8];
    TextCorners(s, D(x), D(y), p);
    for (int i = 0; i < 8; i += 2) Point(p[i], p[i + 1]);
  }
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override {
    Point(x1, y1), Point(x2, y2), Point(x3, y3), Point(x4, y4);
  }

 private:
  struct Block;
  struct Child {
    Block* block;
    Map by;
  };
  // A shape of a block: a point (r 0), a circle (no sweep) or an arc with its sweep. The sweep's
  // directions are found in doubles for the block's box; those of the exact bounding (as the
  // drawing's own shapes take them) only when a piece may reach past the room.
  struct Piece {
    double x = 0, y = 0, r = 0;
    int sweep = -1;
  };
  struct Sweep {
    long double s = 0, e = 0;  // radians, e beyond s
    bool full = false, wide = false;  // a whole turn; more than half a turn
    Rect near;  // the arc's box, within the rounding of its directions
    bool exactKnown = false;
    Shape exact;
  };
  struct Block {
    std::vector<Piece> shapes;
    std::vector<Sweep> sweeps;
    std::vector<Child> inserts;
    // A box that holds the block's shapes and inserts, found for generation `known`; `open`
    // while it is being found, `unbounded` when no box could be given.
    Rect box;
    bool empty = true, unbounded = false, open = false;
    unsigned known = 0;
    // The box of the block's own shapes, kept as they come; ownSum not finite when a shape's
    // numbers were not (or too large to add up: the box is then not used).
    Rect own;
    double ownSum = 0;
    bool ownEmpty = true;
    void Clear() {
      shapes.clear();
      sweeps.clear();
      inserts.clear();
      known = 0;
      ownEmpty = true;
      ownSum = 0;
    }
    void Take(const Piece& p, const Rect& r) {
      shapes.push_back(p);
      ownSum += p.x + p.y + p.r;
      Unite(own, ownEmpty, r);
    }
  };

  void Point(long double x, long double y) {
    if (open_) {
      const double px = D(x), py = D(y);
      open_->Take({px, py}, {px, py, px, py});
    } else
      PutPoint(D(x) + 0.0, D(y) + 0.0);  // through the identity map, as in a block at the origin
  }
  void PutPoint(double x, double y) {
    if (hasRoom_ && x >= inner_.xmin && x <= inner_.xmax && y >= inner_.ymin && y <= inner_.ymax)
      return;
    Add(x, y);
  }
  void PutArc(long double x, long double y, long double r, long double startAngle,
              long double endAngle, bool circle) {
    const double cx = D(x), cy = D(y), cr = D(r);
    // A circle that lies inside the room needs no sweep.
    if (!open_ && Inside({cx - cr, cy - cr, cx + cr, cy + cr}, std::fabs(cx) + cr, std::fabs(cy) + cr))
      return;
    if (circle) {
      if (open_)
        open_->Take({cx, cy, cr}, {cx - cr, cy - cr, cx + cr, cy + cr});
      else
        Bound({cx, cy, cr, 1, 0, 1, 0, true}, Map{}, IdentityReach());
      return;
    }
    // The sweep as the writers take it, in degrees (the same directions the same as a full
    // circle); an angle that is no number draws nothing.
    const long double sweep = ArcSweep(startAngle, endAngle);
    if (sweep == 0) return;
    const long double start = std::fmod(startAngle, 360.0L);
    const long double s = DegToRad(start), e = DegToRad(start + sweep);
    const bool full = sweep >= 360, wide = sweep > 180;
    if (!open_) {
      Bound(ExactArc(cx, cy, cr, s, e, full, wide), Map{}, IdentityReach());
      return;
    }
    const double ds = D(s), de = D(e);
    const Shape near{cx, cy, cr, std::cos(ds), std::sin(ds), std::cos(de), std::sin(de), full, wide};
    const Rect box = ShapeRect(near);
    open_->sweeps.push_back({s, e, full, wide, box, false, {}});
    open_->Take({cx, cy, cr, static_cast<int>(open_->sweeps.size() - 1)}, box);
  }
  static Shape ExactArc(double x, double y, double r, long double s, long double e, bool full,
                        bool wide) {
    return {x, y, r, D(std::cos(s)), D(std::sin(s)), D(std::cos(e)), D(std::sin(e)), full, wide};
  }
  // A block's piece as the exact bounding takes it.
  static Shape Exact(Block& bl, const Piece& p) {
    if (p.r == 0 || p.sweep < 0) return {p.x, p.y, p.r, 1, 0, 1, 0, true};
    Sweep& sw = bl.sweeps[static_cast<size_t>(p.sweep)];
    if (!sw.exactKnown) {
      sw.exact = ExactArc(p.x, p.y, p.r, sw.s, sw.e, sw.full, sw.wide);
      sw.exactKnown = true;
    }
    return sw.exact;
  }
  // A block nested deeper than this inserts itself somewhere: its further copies are left out.
  static constexpr int MaxDepth = 16;
  // Names of blocks kept between measurements (their room is reused); more are forgotten.
  static constexpr size_t MaxKeptBlocks = 256;

  // Whether the box b, whose numbers are of the size mx and my, surely lies inside the room.
  bool Inside(const Rect& b, double mx, double my) const {
    if (!hasRoom_) return false;
    const double sx = slack_ + 1e-9 * mx, sy = slack_ + 1e-9 * my;
    return b.xmin >= room_.xmin + sx && b.xmax <= room_.xmax - sx && b.ymin >= room_.ymin + sy &&
           b.ymax <= room_.ymax - sy;
  }
  // The block's box in its own coordinates (found once for each state of the blocks); false when
  // it has none to give (a shape not finite, an insert of itself).
  bool BlockBox(Block& bl, int depth) {
    if (bl.known == generation_) return !bl.unbounded;
    if (bl.open || depth > MaxDepth) return false;
    bl.open = true;
    bool empty = bl.ownEmpty, unbounded = !std::isfinite(bl.ownSum);
    Rect b = bl.own;
    UniteInserts(
        b, empty, unbounded, bl.inserts, 1e-9, [&](Block& in) { return BlockBox(in, depth + 1); },
        [](const Child& ch, double& mx, double& my) {
          return Mapped(ch.block->box, ch.by, mx, my);
        });
    bl.open = false;
    bl.known = generation_;
    bl.box = b;
    bl.empty = empty;
    bl.unbounded = unbounded;
    return !unbounded;
  }
  // The block through the map m: left out when it lies inside the room, else shape by shape.
  void BoundInsert(Block& bl, const Map& m, int depth) {
    if (depth > MaxDepth) return;
    if (hasRoom_ && BlockBox(bl, depth)) {
      if (bl.empty) return;
      double mx = 0, my = 0;
      if (Inside(Mapped(bl.box, m, mx, my), mx, my)) return;
    }
    const Reach reach(m);
    for (const Piece& sh : bl.shapes) Bound(Exact(bl, sh), m, reach);
    for (const Child& ch : bl.inserts) BoundInsert(*ch.block, m * ch.by, depth + 1);
  }
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty_) {
      box_ = {x, y, x, y};
      empty_ = false;
      return;
    }
    box_.xmin = std::min(box_.xmin, x), box_.xmax = std::max(box_.xmax, x);
    box_.ymin = std::min(box_.ymin, y), box_.ymax = std::max(box_.ymax, y);
  }
  // Along a circle x' grows most in the direction (a, b) and y' in (c, d) of the map: how far a
  // unit circle reaches there, in x' and y'.
  struct Reach {
    explicit Reach(const Map& m)
        : nx(std::sqrt(m.a * m.a + m.b * m.b)), ny(std::sqrt(m.c * m.c + m.d * m.d)) {
      const double cross = m.a * m.c + m.b * m.d;
      yAtX = nx > 0 ? cross / nx : 0;
      xAtY = ny > 0 ? cross / ny : 0;
    }
    double nx, ny, yAtX = 0, xAtY = 0;
  };
  static const Reach& IdentityReach() {
    static const Reach reach{Map{}};
    return reach;
  }
  void Bound(const Shape& sh, const Map& m, const Reach& reach) {
    const double x0 = m.a * sh.x + m.b * sh.y + m.e, y0 = m.c * sh.x + m.d * sh.y + m.f;
    if (sh.r == 0) {
      Add(x0, y0);
      return;
    }
    const double r = sh.r;
    Add(x0 + r * (m.a * sh.cs + m.b * sh.ss), y0 + r * (m.c * sh.cs + m.d * sh.ss));
    Add(x0 + r * (m.a * sh.ce + m.b * sh.se), y0 + r * (m.c * sh.ce + m.d * sh.se));
    // The arc's extremes lie in those directions and opposite, where its sweep passes.
    if (reach.nx > 0) {
      if (Within(sh, m.a, m.b)) Add(x0 + r * reach.nx, y0 + r * reach.yAtX);
      if (Within(sh, -m.a, -m.b)) Add(x0 - r * reach.nx, y0 - r * reach.yAtX);
    }
    if (reach.ny > 0) {
      if (Within(sh, m.c, m.d)) Add(x0 + r * reach.xAtY, y0 + r * reach.ny);
      if (Within(sh, -m.c, -m.d)) Add(x0 - r * reach.xAtY, y0 - r * reach.ny);
    }
  }

  std::map<std::string, Block> blocks_;
  std::map<std::string, Block> users_;  // user block files by file, read in this measurement
  Block* open_ = nullptr;
  Block* last_ = nullptr;  // the block of the last insert, by its name
  std::string lastName_;
  unsigned generation_ = 0;
  bool hasRoom_ = false;
  Rect room_, inner_;  // the room, and what surely lies inside it whatever its rounding
  double slack_ = 0;
  Rect box_;  // what was measured, unless empty_
  bool empty_ = true;
};
}  // namespace

namespace {
class RoomWatch;
// The watch of the drawing being watched, the output it stands in front of, and the watch while
// a piece or a block's drawing goes straight to the output.
RoomWatch* g_watch = nullptr;
std::unique_ptr<CadBackEnd> g_watchedOutput;
std::unique_ptr<CadBackEnd> g_watchAside;
int g_bypassDepth = 0;
void BypassWatch() {
  if (!g_watch || g_bypassDepth++ > 0) return;
  g_watchAside = SwapCadBackEnd(std::move(g_watchedOutput));
}
void ResumeWatch() {
  if (!g_watch || --g_bypassDepth > 0) return;
  g_watchedOutput = SwapCadBackEnd(std::move(g_watchAside));
}

// The output's own back end, watched: every call goes on to it, and whether anything drawn may
// reach past a room is noted. Shapes count by boxes that surely hold them (an arc by its sweep, a
// text by its box, a block by the box of its shapes and of its inserts, a turned insert inside a
// block by the circle its block's box sweeps), taken through the inserts into the drawing; nothing
// is kept but the boxes, so that watching costs a few comparisons a shape.
class RoomWatch : public CadBackEnd {
 public:
  // A new watch of the output out within room. The room as given: a shape's numbers count as the
  // writers get them; the boxes found here are grown by their rounding (Rounding times the size
  // of their numbers). The blocks' room is kept from drawing to drawing.
  void Start(CadBackEnd& out, const CadBox& room) {
    out_ = &out;
    room_ = {D(room.xmin), D(room.ymin), D(room.xmax), D(room.ymax)};
    past_ = false;
    open_ = last_ = nullptr;
    sweep_ = {};
    if (blocks_.size() > MaxKeptBlocks) blocks_.clear();
    ++drawing_;  // (the blocks of earlier drawings count as not defined: reset when met)
    users_.clear();
  }
  // Whether something may have reached past the room.
  bool Past() const { return past_; }
  // Whether a block is being defined.
  bool InBlock() const { return open_ != nullptr; }
  // A piece known to lie within b: counted by its box, in the open block or against the room.
  void HoldPiece(const CadBox& b) {
    const Rect r{D(b.xmin), D(b.ymin), D(b.xmax), D(b.ymax)};
    if (!Finite(r)) {
      if (open_) open_->sum = std::numeric_limits<double>::infinity();
      else past_ = true;
      return;
    }
    Hold(Grown(r));
  }
  // A text of a piece that goes straight to the output (a table's, a sheet's: many, and short);
  // upright and unslanted, held here at once by its anchor and its far corner.
  void HoldText(const std::string& s, long double x, long double y) {
    if (!open_ && past_) return;
    if (CadState.CadTextRotation != 0 || CadState.CadTextSlant != 0) {
      HoldTextBox(s, x, y);
      return;
    }
    const double n = static_cast<double>(PlainAscii(s) ? s.size() : TextCharactersBeyondAscii(s));
    const double h = D(CadState.CadTextHeight), px = D(x), py = D(y);
    Hold(px, py, px + n * h * D(CadState.CadTextWidth), py + h);
  }

  void Open() override { out_->Open(); }
  void Close() override { out_->Close(); }
  void Abandon() override { out_->Abandon(); }
  void BeginDrawing(long double xmin, long double ymin, long double xmax,
                    long double ymax) override {
    out_->BeginDrawing(xmin, ymin, xmax, ymax);
  }
  void Tables() override { out_->Tables(); }
  void BeginBlocks() override { out_->BeginBlocks(); }
  bool BeginBlock(const std::string& name) override {
    open_ = &Named(name);
    open_->Reset();
    last_ = nullptr;
    sweep_ = {};
    return out_->BeginBlock(name);
  }
  void EndBlock() override {
    open_ = nullptr;
    sweep_ = {};
    out_->EndBlock();
  }
  void EndSection() override { out_->EndSection(); }
  void BeginEntities() override { out_->BeginEntities(); }
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY) override {
    if (!last_ || name != lastName_) {
      last_ = &Named(name);
      lastName_ = name;
      sweep_ = {};
    }
    if (open_) {
      // Turned about the same point at the same scales as the insert before (a wheel's teeth),
      // it sweeps the same circle: kept once.
      const Sweep next{last_, x, y, scaleX, scaleY};
      if (angle == 0 || !(next == sweep_) || open_->inserts.empty()) {
        open_->inserts.push_back({last_, D(x), D(y), D(angle), D(scaleX), D(scaleY)});
        sweep_ = angle == 0 ? Sweep{} : next;
      }
      out_->Insert(name, x, y, angle, scaleX, scaleY);
      return;
    }
    if (!past_) WatchInsert(*last_, D(x), D(y), D(angle), D(scaleX), D(scaleY));
    // Counted by its block's box, the block's drawing (where the device draws one: the screen)
    // goes straight to the output, unless user block files inside it are to be watched.
    if (past_ || !last_->users) {
      BypassWatch();
      out_->Insert(name, x, y, angle, scaleX, scaleY);
      ResumeWatch();
    } else {
      out_->Insert(name, x, y, angle, scaleX, scaleY);
    }
  }
  bool InsertUserBlock(const std::string& name, const std::string& file, long double x,
                       long double y, long double angle, long double scaleX,
                       long double scaleY) override {
    if (open_) open_->ownUsers = true;
    // On the screen its drawing comes through the primitives; a CAD file holds a copy of it,
    // counted by the box of the file's shapes (read once a drawing).
    if (CadState.CadDevice != CadDeviceScreen && DeviceTakesUserBlocks()) {
      Block& bl = UserFileBlock(file);
      if (open_)
        open_->inserts.push_back({&bl, D(x), D(y), D(angle), D(scaleX), D(scaleY)});
      else if (!past_)
        WatchInsert(bl, D(x), D(y), D(angle), D(scaleX), D(scaleY));
    }
    return out_->InsertUserBlock(name, file, x, y, angle, scaleX, scaleY);
  }
  void SetLayer(int pen) override { out_->SetLayer(pen); }
  void SetLineStyle(int style) override { out_->SetLineStyle(style); }
  void SetTextStyle(int font, long double angle, long double height, long double width) override {
    out_->SetTextStyle(font, angle, height, width);
  }
  void Line(long double x1, long double y1, long double x2, long double y2) override {
    if (open_ || !past_) Hold(D(x1), D(y1), D(x2), D(y2));
    out_->Line(x1, y1, x2, y2);
  }
  void Circle(long double x, long double y, long double r) override {
    const double cx = D(x), cy = D(y), cr = std::fabs(D(r));
    Hold({cx - cr, cy - cr, cx + cr, cy + cr});
    out_->Circle(x, y, r);
  }
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r) override {
    if (Rect box; ArcRect(D(x), D(y), std::fabs(D(r)), startAngle, endAngle, box)) Hold(Grown(box));
    out_->Arc(x, y, startAngle, endAngle, r);
  }
  void Text(const std::string& s, long double x, long double y) override {
    if (open_ || !past_) HoldTextBox(s, x, y);
    out_->Text(s, x, y);
  }
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override {
    Hold(D(x1), D(y1)), Hold(D(x2), D(y2)), Hold(D(x3), D(y3)), Hold(D(x4), D(y4));
    out_->Solid(x1, y1, x2, y2, x3, y3, x4, y4);
  }
  bool NativePolylines() const override { return out_->NativePolylines(); }
  void PolylineBegin(uint8_t flags) override {
    polyClosed_ = (flags & 1) != 0;
    vertices_ = 0;
    out_->PolylineBegin(flags);
  }
  void Vertex(long double x, long double y, long double bulge) override {
    Hold(D(x), D(y));
    if (vertices_ == 0)
      firstX_ = x, firstY_ = y;
    else if (prevBulge_ != 0)
      HoldBulge(prevX_, prevY_, x, y, prevBulge_);
    prevX_ = x, prevY_ = y, prevBulge_ = bulge;
    ++vertices_;
    out_->Vertex(x, y, bulge);
  }
  void PolylineEnd() override {
    if (polyClosed_ && vertices_ > 2 && prevBulge_ != 0)
      HoldBulge(prevX_, prevY_, firstX_, firstY_, prevBulge_);
    out_->PolylineEnd();
  }

 private:
  struct Block;
  struct Child {
    Block* block;
    double x, y, angle, scaleX, scaleY;
  };
  // A turned insert's block, point and scales, as the layer gave them.
  struct Sweep {
    Block* block = nullptr;
    long double x = 0, y = 0, scaleX = 0, scaleY = 0;
    bool operator==(const Sweep& o) const {
      return block == o.block && x == o.x && y == o.y && scaleX == o.scaleX && scaleY == o.scaleY;
    }
  };
  struct Block {
    Rect own;
    bool ownEmpty = true;
    double sum = 0;  // of the numbers of its own shapes: not finite where one is not
    std::vector<Child> inserts;
    int state = 0;  // 0 box not found yet, 1 being found, 2 found
    Rect box;
    bool empty = true, unbounded = false;
    double reach = 0;  // the distance from its origin that holds it, once its box is found
    // User block files inserted in it or in a block it inserts (their drawing is watched).
    bool ownUsers = false, users = false;
    std::uint64_t drawing = 0;  // the watched drawing it was last met in
    void Reset() {
      own = {};
      ownEmpty = true;
      ownUsers = users = false;
      sum = 0;
      inserts.clear();
      state = 0;
    }
  };
  // A block nested deeper than this inserts itself somewhere.
  static constexpr int MaxDepth = 16;
  // Names of blocks kept between drawings (their room is reused); more are forgotten.
  static constexpr size_t MaxKeptBlocks = 256;

  static constexpr double Rounding = 1e-12;
  // The block of a name in this drawing (a block of an earlier one starts afresh).
  Block& Named(const std::string& name) {
    Block& b = blocks_[name];
    if (b.drawing != drawing_) {
      b.Reset();
      b.drawing = drawing_;
    }
    return b;
  }
  // The block of a user block file's shapes, read on its first insert (nothing is output).
  Block& UserFileBlock(const std::string& file) {
    auto [it, fresh] = users_.try_emplace(file);
    if (!fresh) return it->second;
    static CadBackEnd none;
    CadBackEnd* const out = out_;
    Block* const outer = open_;
    const bool past = past_;
    out_ = &none;
    open_ = &it->second;
    ReplayUserBlockFile(file, 0, 0, 0, 1, 1);
    out_ = out;
    open_ = outer;
    past_ = past;
    return it->second;
  }
  bool Inside(double x, double y) const {
    return x >= room_.xmin && x <= room_.xmax && y >= room_.ymin && y <= room_.ymax;
  }
  // A point: in a block its box grows (numbers not finite found by their sum at the end).
  [[gnu::always_inline]] void Hold(double x, double y) {
    if (open_) {
      Block& b = *open_;
      b.sum += x + y;
      if (b.ownEmpty) {
        b.own = {x, y, x, y};
        b.ownEmpty = false;
        return;
      }
      b.own.xmin = std::min(b.own.xmin, x), b.own.xmax = std::max(b.own.xmax, x);
      b.own.ymin = std::min(b.own.ymin, y), b.own.ymax = std::max(b.own.ymax, y);
    } else if (!Inside(x, y)) {
      past_ = true;
    }
  }
  // Two points (a line's ends).
  [[gnu::always_inline]] void Hold(double x1, double y1, double x2, double y2) {
    if (open_) {
      Hold(x1, y1);
      Hold(x2, y2);
    } else if (!(Inside(x1, y1) && Inside(x2, y2))) {
      past_ = true;
    }
  }
  // A box found through trigonometry, grown by its rounding.
  static Rect Grown(const Rect& b) {
    const double g = Rounding * Size(b);
    return {b.xmin - g, b.ymin - g, b.xmax + g, b.ymax + g};
  }
  void Hold(const Rect& b) { Hold(b.xmin, b.ymin, b.xmax, b.ymax); }
  // The arc of a polyline segment from (x1, y1) to (x2, y2) with the bulge b of its first vertex
  // (the tangent of a quarter of its angle, counter-clockwise where positive), without
  // trigonometry: its centre lies (c / 2) (1 - b^2) / (2 b) to the left of the chord's middle, its
  // radius is (c / 2) (1 + b^2) / (2 |b|), and its ends give the directions of its sweep.
  void HoldBulge(long double x1, long double y1, long double x2, long double y2,
                 long double bulge) {
    const double ax = D(x1), ay = D(y1), bx = D(x2), by = D(y2), b = D(bulge);
    const double dx = bx - ax, dy = by - ay, c = std::sqrt(dx * dx + dy * dy);
    if (!(c > 0) || !std::isfinite(b)) {
      Hold(Grown({std::min(ax, bx), std::min(ay, by), std::max(ax, bx), std::max(ay, by)}));
      return;
    }
    const double along = (1 - b * b) / (4 * b), r = c * (1 + b * b) / (4 * std::fabs(b));
    const double xc = (ax + bx) / 2 - dy * along, yc = (ay + by) / 2 + dx * along;
    // Counter-clockwise from the first end to the second, or, turning the other way, from the
    // second to the first.
    const double px = (ax - xc) / r, py = (ay - yc) / r, qx = (bx - xc) / r, qy = (by - yc) / r;
    const bool wide = std::fabs(b) > 1;
    Hold(Grown(b > 0 ? ShapeRect({xc, yc, r, px, py, qx, qy, false, wide})
                     : ShapeRect({xc, yc, r, qx, qy, px, py, false, wide})));
  }
  // The box of a block in its own coordinates, grown by its rounding; false when it has none to
  // give (a number not finite, an insert of itself).
  bool BlockBox(Block& bl, int depth) {
    if (bl.state == 2) return !bl.unbounded;
    if (bl.state == 1 || depth > MaxDepth) return false;
    bl.state = 1;
    Rect b = bl.own;
    bool empty = bl.ownEmpty, unbounded = !std::isfinite(bl.sum);
    UniteInserts(
        b, empty, unbounded, bl.inserts, Rounding,
        [&](Block& in) { return BlockBox(in, depth + 1); },
        [](const Child& ch, double& mx, double& my) { return ChildRect(*ch.block, ch, mx, my); });
    bl.state = 2;
    bl.box = b;
    bl.empty = empty;
    bl.unbounded = unbounded;
    // How far from its origin it reaches: its box's farthest corner, or less where its inserts
    // reach less (a wheel is the circle its teeth sweep, whose box's corners lie beyond it).
    if (!empty && !unbounded) {
      double reach = bl.ownEmpty ? 0 : CornerReach(bl.own);
      for (const Child& ch : bl.inserts)
        if (!ch.block->empty)
          reach = std::max(reach, std::hypot(ch.x, ch.y) +
                                      ch.block->reach *
                                          std::max(std::fabs(ch.scaleX), std::fabs(ch.scaleY)));
      bl.reach = std::min(reach * (1 + 4 * Rounding), CornerReach(b));
    }
    bl.users = bl.ownUsers;
    for (const Child& ch : bl.inserts) bl.users = bl.users || ch.block->users;
    return !unbounded;
  }
  // A text by its box as the writers place it: upright and unslanted by its anchor and its far
  // corner, otherwise by its four corners.
  void HoldTextBox(const std::string& s, long double x, long double y) {
    const double h = D(CadState.CadTextHeight), px = D(x), py = D(y);
    if (CadState.CadTextRotation == 0 && (CadState.CadTextSlant == 0 || TextLean() == 0)) {
      const double n = static_cast<double>(CadTextCharacters(s));
      Hold(px, py, px + n * h * D(CadState.CadTextWidth), py + h);
      return;
    }
    double p[8];
    TextCorners(s, px, py, p);
    for (int i = 0; i < 8; i += 2) Hold(p[i], p[i + 1]);
  }
  // The box of an inserted block where it lands: through its scales and place where it is not
  // turned; turned, within the circle its box sweeps about the insert point (no trigonometry for
  // a wheel's teeth).
  static Rect ChildRect(const Block& bl, const Child& ch, double& mx, double& my) {
    if (ch.angle == 0) return Mapped(bl.box, {ch.scaleX, 0, 0, ch.scaleY, ch.x, ch.y}, mx, my);
    const double rx = std::max(std::fabs(bl.box.xmin), std::fabs(bl.box.xmax));
    const double ry = std::max(std::fabs(bl.box.ymin), std::fabs(bl.box.ymax));
    // (Grown by the rounding of its root.)
    const double reach = std::sqrt(rx * rx + ry * ry) * (1 + 1e-12) *
                         std::max(std::fabs(ch.scaleX), std::fabs(ch.scaleY));
    mx = std::fabs(ch.x) + reach, my = std::fabs(ch.y) + reach;
    return {ch.x - reach, ch.y - reach, ch.x + reach, ch.y + reach};
  }
  void WatchInsert(Block& bl, double x, double y, double angle, double scaleX, double scaleY) {
    if (!BlockBox(bl, 0)) {
      past_ = true;
      return;
    }
    if (bl.empty) return;
    const double a = angle * D(Pi) / 180, c = angle == 0 ? 1 : std::cos(a),
                 s = angle == 0 ? 0 : std::sin(a);
    double mx = 0, my = 0;
    Rect p = Mapped(bl.box, {c * scaleX, -s * scaleY, s * scaleX, c * scaleY, x, y}, mx, my);
    if (angle != 0) {
      // Turned, it lies also within the circle of its reach about the insert point.
      const double r =
          bl.reach * std::max(std::fabs(scaleX), std::fabs(scaleY)) * (1 + 4 * Rounding);
      p = {std::max(p.xmin, x - r), std::max(p.ymin, y - r), std::min(p.xmax, x + r),
           std::min(p.ymax, y + r)};
      mx = std::max(mx, std::fabs(x) + r), my = std::max(my, std::fabs(y) + r);
    }
    const double sx = Rounding * mx, sy = Rounding * my;
    if (!(p.xmin >= room_.xmin + sx && p.xmax <= room_.xmax - sx && p.ymin >= room_.ymin + sy &&
          p.ymax <= room_.ymax - sy))
      past_ = true;
  }

  CadBackEnd* out_ = nullptr;
  Rect room_;
  bool past_ = false;
  std::unordered_map<std::string, Block> blocks_;
  std::uint64_t drawing_ = 0;
  std::map<std::string, Block> users_;  // user block files by file, read in this drawing
  Block* open_ = nullptr;
  Block* last_ = nullptr;  // the block of the last insert, by its name
  std::string lastName_;
  Sweep sweep_;  // the last turned insert kept in the open block (block nullptr: none)
  bool polyClosed_ = false;
  int vertices_ = 0;
  long double firstX_ = 0, firstY_ = 0, prevX_ = 0, prevY_ = 0, prevBulge_ = 0;
};
}  // namespace

bool CadDrawWatched(const std::function<void()>& draw, const CadBox& room) {
  if (room.Empty()) return false;  // nothing to watch against: nothing drawn
  if (!B()) {
    draw();
    return true;
  }
  if (g_watch) {  // (a drawing is watched once)
    draw();
    return true;
  }
  g_watchedOutput = SwapCadBackEnd(nullptr);
  // One watch for every drawing: its blocks keep their room.
  static std::unique_ptr<CadBackEnd> kept = std::make_unique<RoomWatch>();
  std::unique_ptr<CadBackEnd> watch = kept ? std::move(kept) : std::make_unique<RoomWatch>();
  auto& watched = static_cast<RoomWatch&>(*watch);
  watched.Start(*g_watchedOutput, room);
  SwapCadBackEnd(std::move(watch));
  g_watch = &watched;
  g_bypassDepth = 0;
  // Left by an exception, the drawing leaves its output in place and the watch for the next one.
  struct Unwind {
    std::unique_ptr<CadBackEnd>& kept;
    ~Unwind() {
      if (!g_watch) return;
      if (B() == g_watch)
        kept = SwapCadBackEnd(std::move(g_watchedOutput));
      else
        kept = std::move(g_watchAside);
      g_watch = nullptr;
      g_bypassDepth = 0;
      CadPieceTextWatch = nullptr;
    }
  } unwind{kept};
  draw();
  g_watch = nullptr;
  std::unique_ptr<CadBackEnd> back = SwapCadBackEnd(std::move(g_watchedOutput));
  // (Only a drawing that began an output of its own would have put another back end in place.)
  if (back.get() != &watched) return true;
  const bool inside = !watched.Past();
  kept = std::move(back);
  return inside;
}

void (*CadPieceTextWatch)(const std::string& s, long double x, long double y) = nullptr;

void CadDrawPiece(const CadBox& box, const std::function<void()>& draw) {
  if (!g_watch || B() != g_watch || box.Empty()) {
    draw();
    return;
  }
  const long double ox = CadState.CadOriginX, oy = CadState.CadOriginY;
  g_watch->HoldPiece({box.xmin + ox, box.ymin + oy, box.xmax + ox, box.ymax + oy});
  auto* const before = CadPieceTextWatch;
  CadPieceTextWatch = [](const std::string& s, long double x, long double y) {
    if (g_watch) g_watch->HoldText(s, x, y);
  };
  BypassWatch();
  draw();
  ResumeWatch();
  CadPieceTextWatch = before;
}

namespace {
// Whether each Latin-1 sign or letter of a text (degree, plus-minus, umlauts) is one character
// of the file: not where umlauts and signs are spelled out (the screen spells them by the special
// character setting alone).
bool LatinOneAsOneCharacter() {
  const bool screenSpells = Settings.SpecialCharMode == 1 && CadState.CadDevice == CadDeviceScreen;
  return Settings.CadTextMode != 3 &&
         !(Settings.CadTextMode == 2 && Settings.SpecialCharMode == 1) && !screenSpells;
}

// The characters of a text with others than those of Latin-1 (U+00A0..U+00FF), or any where they
// are spelled out: the writer's conversion counts.
size_t ConvertedTextCharacters(const std::string& s) {
  const bool screenSpells = Settings.SpecialCharMode == 1 && CadState.CadDevice == CadDeviceScreen;
  const bool plain = LatinOneAsOneCharacter();
  size_t count = 0;
  for (size_t i = 0; i < s.size(); ++count) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const char32_t c = DecodeUtf8(s, i);
    if (!plain || c < 0xA0 || c > 0xFF) {
      const size_t most = std::max(static_cast<size_t>(Utf8Length(s)), CadFileText(s).size());
      if (!screenSpells) return most;
      return std::max(most, static_cast<size_t>(Utf8Length(ConvertDisplayText(s))));
    }
  }
  return count;
}

// The characters of a text that is not plain ASCII: runs of ASCII looked at eight bytes at a
// time, each Latin-1 character between (two bytes, U+00A0..U+00FF) one character of the file
// unless spelled.
size_t TextCharactersBeyondAscii(const std::string& s) {
  const size_t n = s.size();
  const auto byte = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
  size_t i = 0, latin = 0;
  if (!LatinOneAsOneCharacter()) return ConvertedTextCharacters(s);
  for (;;) {
    bool high = false;
    for (std::uint64_t word; i + 8 <= n;) {
      std::memcpy(&word, s.data() + i, 8);
      if (const std::uint64_t m = word & 0x8080808080808080ULL; m != 0) {
        // (Up to the first such byte.)
        i += static_cast<size_t>(std::endian::native == std::endian::little ? std::countr_zero(m)
                                                                            : std::countl_zero(m)) /
             8;
        high = true;
        break;
      }
      i += 8;
    }
    if (!high) {
      while (i < n && byte(i) < 0x80) ++i;
      if (i == n) return n - latin;
    }
    const unsigned char lead = byte(i), next = i + 1 < n ? byte(i + 1) : 0;
    if (!((lead == 0xC3 && (next & 0xC0) == 0x80) ||
          (lead == 0xC2 && next >= 0xA0 && next <= 0xBF)))
      return ConvertedTextCharacters(s);
    i += 2;
    ++latin;
  }
}
}  // namespace

size_t CadTextCharacters(const std::string& s) {
  return PlainAscii(s) ? s.size() : TextCharactersBeyondAscii(s);
}

namespace {
bool g_standIns = false;  // a drawing is measured with stand-ins
}  // namespace

bool CadMeasuringByStandIns() { return g_standIns; }

CadBox CadMeasureDrawing(const std::function<void()>& draw, const CadBox& room, bool standIns) {
  const CadOutputState state = CadState;
  const ErrorListRecord errors = Errors;
  const ProgramFlags flags = Flags;
  // The output's own blocks and structure state, kept aside while the measured drawing defines its
  // blocks.
  const std::map<std::string, std::string> blocks = g_blocks;
  const std::string openBlock = g_openBlock;
  const bool blockOpen = g_blockOpen, framePending = g_framePending;
  const bool polyNative = g_polyNative, polyClosed = g_polyClosed;
  const long double polyFirstX = g_polyFirstX, polyFirstY = g_polyFirstY;
  ResetCadBlocks();
  // One measuring back end for every drawing: its blocks keep their room.
  static std::unique_ptr<CadBackEnd> kept = std::make_unique<BoundsBackEnd>();
  std::unique_ptr<CadBackEnd> measure =
      kept ? std::move(kept) : std::make_unique<BoundsBackEnd>();
  auto& bounds = static_cast<BoundsBackEnd&>(*measure);
  bounds.Start(room);
  std::unique_ptr<CadBackEnd> own = SwapCadBackEnd(std::move(measure));
  const bool standInsBefore = g_standIns;
  g_standIns = standIns;
  draw();
  g_standIns = standInsBefore;
  std::unique_ptr<CadBackEnd> back = SwapCadBackEnd(std::move(own));
  // (Only a drawing that began an output of its own would have put another back end in place.)
  CadBox box;
  if (back.get() == &bounds) {
    box = bounds.Box();
    kept = std::move(back);
  }
  ResetCadBlocks();
  g_blocks = blocks;
  g_openBlock = openBlock;
  g_blockOpen = blockOpen, g_framePending = framePending;
  g_polyNative = polyNative, g_polyClosed = polyClosed;
  g_polyFirstX = polyFirstX, g_polyFirstY = polyFirstY;
  CadState = state;
  Errors = errors;
  Flags = flags;
  return box;
}

void CadTables() {
  if (B()) B()->Tables();
}

void CadBeginBlocks() {
  CadState.CadInBlocks = true;
  if (B()) B()->BeginBlocks();
}

void CadBeginBlock(const std::string& name) {
  if (Flags.AbortFlag) return;
  g_openBlock = name;
  g_blockOpen = B() ? B()->BeginBlock(name) : true;
  if (!g_blockOpen) Flags.AbortFlag = true;
}

void CadEndBlock() {
  // A block that was begun is always closed, also when a step inside it failed.
  if (g_blockOpen) {
    if (B()) B()->EndBlock();
    g_blocks[Key(g_openBlock)] = g_openBlock;
  }
  g_blockOpen = false;
  g_openBlock.clear();
  Flags.AbortFlag = false;
}

void CadEndSection() {
  CadState.CadInBlocks = false;
  if (B()) B()->EndSection();
}

namespace {
// The logo blocks: name and place up the drawing's height.
const struct {
  const char* name;
  long double f;
} kLogos[] = {{"LOGO_2", 0.01L}, {"LOGO_3", 0.96L}};
bool g_logosDrawn = true;
CadBox g_logoFrame;
}  // namespace

void CadBeginEntities() {
  if (B()) B()->BeginEntities();
  if (g_framePending) {
    g_framePending = false;
    const int pen = CadState.CadPen;
    FrameRectangle();
    CadSetPen(pen);
  }
  if (Flags.PrintPreset == 2 || Flags.PrintPreset == 3 || !(IsScreen() || IsPlot())) return;
  if (!g_logosDrawn) return;
  const auto& x = CadState.CadExtents;
  const CadBox& f = g_logoFrame;
  const std::array<long double, 6> e =
      f.Empty() ? x
                : std::array<long double, 6>{f.xmin, f.xmax, f.ymin, f.ymax, f.xmax - f.xmin,
                                             f.ymax - f.ymin};
  for (const auto& logo : kLogos) {
    if (CadUserBlockFile(logo.name).empty()) continue;
    CadInsertBlock(logo.name, e[0] + 0.91L * e[4], e[2] + logo.f * e[5], 0, e[4] / 480,
                   e[5] / 360);
  }
}

void CadPlaceLogos(bool draw, const CadBox& frame) {
  g_logosDrawn = draw;
  g_logoFrame = frame;
}

bool CadLogosPossible() {
  if (!(IsScreen() || IsPlot())) return false;
  for (const auto& logo : kLogos)
    if (!CadUserBlockFile(logo.name).empty()) return true;
  return false;
}

void CadInsertBlock(const std::string& name, long double x, long double y, long double angle,
                    long double scaleX, long double scaleY) {
  if (!B()) return;
  if (g_lastInsertKnown && name == g_lastInsertName) {
    B()->Insert(g_lastInsert->second, x, y, angle, scaleX, scaleY);
    return;
  }
  if (auto it = g_blocks.find(Key(name)); it != g_blocks.end()) {
    g_lastInsertName = name;
    g_lastInsert = it;
    g_lastInsertKnown = true;
    B()->Insert(it->second, x, y, angle, scaleX, scaleY);
    return;
  }
  const std::string file = CadUserBlockFile(name);
  if (!file.empty()) {
    // A user block file inside a piece drawn straight to the output is watched all the same.
    const bool bypassed = g_watch && B() != g_watch;
    auto* const texts = CadPieceTextWatch;
    if (bypassed) {
      CadPieceTextWatch = nullptr;
      g_watchedOutput = SwapCadBackEnd(std::move(g_watchAside));
    }
    const bool drawn = B()->InsertUserBlock(name, file, x, y, angle, scaleX, scaleY);
    if (bypassed) {
      g_watchAside = SwapCadBackEnd(std::move(g_watchedOutput));
      CadPieceTextWatch = texts;
    }
    if (drawn) return;
  }
  AddError("Blockname " + name + " not found !");
}

void CadInsertTurns(const std::string& name, long double x, long double y, int count,
                    long double scaleX, long double scaleY) {
  // In a block the watch takes a turned insert by the circle its block's box sweeps about the
  // point, whatever the angle: the first insert stands for all.
  bool bypassed = false;
  for (int i = 1; i <= count; ++i) {
    CadInsertBlock(name, x, y, 360.0L * i / count, scaleX, scaleY);
    if (i == 1 && g_watch && B() == g_watch && g_watch->InBlock()) {
      BypassWatch();
      bypassed = true;
    }
  }
  if (bypassed) ResumeWatch();
}

void CadInsertBlockAtOrigin(const std::string& name, long double x, long double y,
                            long double angle, long double scaleX, long double scaleY) {
  CadInsertBlock(name, x + CadState.CadOriginX, y + CadState.CadOriginY, angle, scaleX, scaleY);
}

// ---- Polylines ----------------------------------------------------------------------------------

long double ArcBulge(long double angle) { return std::tan(angle / 4); }

void CadPolylineBegin(uint8_t flags) {
  g_polyNative = CadState.CadNativePolylines && B() && B()->NativePolylines();
  g_polyClosed = (flags & 1) != 0;
  CadState.CadVertexCount = 1;
  CadState.CadPrevBulge = 0;
  if (g_polyNative) B()->PolylineBegin(flags);
}

namespace {
// The same value, bit for bit (a zero's sign counts).
bool Same(long double a, long double b) { return a == b && std::signbit(a) == std::signbit(b); }

// An emulated arc segment: its ends and angle, its centre, start and end angles and radius.
struct SegmentArc {
  long double x1 = 0, y1 = 0, x2 = 0, y2 = 0, angle = 0;
  long double xc = 0, yc = 0, ps = 0, pe = 0, r = 0;
};

// The arc from (x1, y1) to (x2, y2) through angle as GetArcCenter makes it. A tooth's polyline
// comes drawing after drawing with the same vertices: the last few arcs are kept. An angle whose
// half is zero has no arc (GetArcCenter reports it each time): never kept.
SegmentArc ArcOfSegment(long double x1, long double y1, long double x2, long double y2,
                        long double angle) {
  static std::array<SegmentArc, 16> kept;
  static size_t count = 0, next = 0;
  for (size_t i = 0; i < count; ++i) {
    const SegmentArc& k = kept[i];
    if (Same(k.x1, x1) && Same(k.y1, y1) && Same(k.x2, x2) && Same(k.y2, y2) &&
        Same(k.angle, angle))
      return k;
  }
  SegmentArc a{x1, y1, x2, y2, angle};
  GetArcCenter(a.xc, a.yc, a.ps, x1, y1, x2, y2, angle, a.pe, a.r);
  if (angle / 2 == 0) return a;
  kept[next] = a;
  next = (next + 1) % kept.size();
  if (count < kept.size()) ++count;
  return a;
}

// The emulated segment from the pen to (x, y) with the previous vertex's arc angle.
void EmulatedSegment(long double x, long double y) {
  if (CadState.CadPrevBulge == 0) {
    CadLineTo(x, y);
    return;
  }
  const SegmentArc a =
      ArcOfSegment(CadState.CadPenX, CadState.CadPenY, x, y, CadState.CadPrevBulge);
  CadArc(a.xc, a.yc, RadToDeg(a.ps), RadToDeg(a.pe), a.r);
  CadMoveTo(x, y);
}
}  // namespace

void CadVertex(long double x, long double y, long double arcAngle) {
  if (g_polyNative) {
    if (B()) B()->Vertex(x + CadState.CadOriginX, y + CadState.CadOriginY, ArcBulge(arcAngle));
  } else if (CadState.CadVertexCount <= 1) {
    CadMoveTo(x, y);
    g_polyFirstX = x;
    g_polyFirstY = y;
  } else {
    EmulatedSegment(x, y);
  }
  CadState.CadPrevBulge = arcAngle;
  ++CadState.CadVertexCount;
}

void CadPolylineEnd() {
  if (g_polyNative) {
    if (B()) B()->PolylineEnd();
  } else if (g_polyClosed && CadState.CadVertexCount > 2) {
    // Closed like the native polyline: back to the first vertex with the last vertex's arc.
    EmulatedSegment(g_polyFirstX, g_polyFirstY);
  }
  g_polyNative = g_polyClosed = false;
}

// ---- Arrows and dimensions ----------------------------------------------------------------------

namespace {
// The cosines and sines of an arrow's head sides (direction + and - half angle) and of its shaft.
struct ArrowTurn {
  long double direction = 0, halfAngle = 0;
  long double c[3] = {}, s[3] = {};
  bool Of(long double d, long double h) const { return Same(direction, d) && Same(halfAngle, h); }
};

// Dimension arrows point up and down with the same head, drawing after drawing: the last few
// arrows' trigonometry is kept (the same values, bit for bit).
const ArrowTurn& ArrowTurnOf(long double direction, long double halfAngle) {
  static std::array<ArrowTurn, 4> kept;
  static size_t count = 0, next = 0;
  for (size_t i = 0; i < count; ++i)
    if (kept[i].Of(direction, halfAngle)) return kept[i];
  ArrowTurn& t = kept[next];
  next = (next + 1) % kept.size();
  if (count < kept.size()) ++count;
  const long double d = DegToRad(direction), h = DegToRad(halfAngle);
  t.direction = direction;
  t.halfAngle = halfAngle;
  t.c[0] = std::cos(d + h), t.s[0] = std::sin(d + h);
  t.c[1] = std::cos(d - h), t.s[1] = std::sin(d - h);
  t.c[2] = std::cos(d), t.s[2] = std::sin(d);
  return t;
}
}  // namespace

void CadArrow(long double x, long double y, long double direction, long double halfAngle,
              long double headLength, long double shaftLength) {
  const ArrowTurn& t = ArrowTurnOf(direction, halfAngle);
  const long double L = headLength, S = shaftLength;
  CadSolid(x, y, x + L * t.c[0], y + L * t.s[0], x + L * t.c[1], y + L * t.s[1], x + L * t.c[2],
           y + L * t.s[2]);
  CadLine(x, y, x + S * t.c[2], y + S * t.s[2]);
}

void CadDimensionArrow(long double x, long double y, long double direction) {
  const long double s = CadState.CadSymbolScale;
  CadArrow(x, y, direction, 10, 3.5L * s, 3.5L * s);
}

void CadDimension(const std::string& value, const std::string& upper, const std::string& lower,
                  long double x1, long double y1, long double x2, long double y2,
                  long double xDim) {
  const long double s = CadState.CadSymbolScale;
  CadSetPen(CadPenDimension);
  const long double end = x1 > xDim ? xDim - s : xDim + s;
  CadLine(x1, y1, end, y1);
  CadLine(x2, y2, end, y2);
  CadDimensionText(value, upper, lower, y1, y2, xDim);
}

namespace {
// A deviation with its sign: a non-negative one gets a "+".
std::string SignedDeviation(const std::string& t) {
  const std::string v = TrimBlanks(t);
  if (!v.empty() && v[0] != '+' && v[0] != '-' && StrToReal(v) >= 0) return "+" + v;
  return v;
}
}  // namespace

void CadDimensionText(const std::string& value, const std::string& upper, const std::string& lower,
                      long double a, long double b, long double xDim) {
  const long double s = CadState.CadSymbolScale, X = xDim;
  if (b < a) SwapReals(a, b);
  if ((b - a) / s <= 10) SwapReals(a, b);  // a short dimension gets its arrows outside

  CadSetTextStyle(2, 90, 3.5L * s, 2.5L * s);
  const int lv = Utf8Length(value);
  const long double wDev =
      (std::max(Utf8Length(upper), Utf8Length(lower)) + 1) * 1.8L * CadState.CadTextWidth * s * 1.1L;
  const long double wAll = lv * 2.5L * CadState.CadTextWidth * s * 1.2L + wDev;
  long double p = (a + b) / 2 - wAll / 2;
  CadText(value, X - s, p);

  CadSetTextStyle(2, 90, 2.5L * s, 1.8L * s);
  p += (lv + 1) * 2.5L * CadState.CadTextWidth * s * 1.2L;
  const bool hasUpper = !upper.empty(), hasLower = !lower.empty();
  if (hasLower && !hasUpper) {
    CadText(lower, X - 0.5L * s, p);
  } else if (hasUpper && !hasLower) {
    CadText(upper, X - 2.5L * s, p);
  } else if (hasUpper && hasLower) {
    const long double u = StrToReal(upper), l = StrToReal(lower);
    if (u == -l && u != 0) {
      CadText("±" + upper, X + 1.25L * s, p);
    } else {
      CadText(SignedDeviation(upper), X - 2.5L * s, p);
      CadText(SignedDeviation(lower), X + 0.5L * s, p);
    }
  }
  CadLine(X, a, X, b);
  CadDimensionArrow(X, a, 90);
  CadDimensionArrow(X, b, 270);
}

void SwapReals(long double& a, long double& b) { std::swap(a, b); }

void SetPrintPreset(int n) { Flags.PrintPreset = n; }

}  // namespace qern
