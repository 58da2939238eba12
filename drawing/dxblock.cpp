// Replay of DXF block files on the screen: group reader, entity handlers and the recursive insert
// with the composed transform. Block files may come from the user, so nothing in them is trusted.
#include "drawing/dxblock.h"

#include <cmath>
#include <map>

#include "drawing/cadscreen.h"
#include "drawing/dxfout.h"
#include "drawing/zorqcad.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/vektor.h"

namespace qern {

bool DxfGroupReader::Next() {
  std::string line;
  if (file_.Eof() || !file_.ReadLine(line)) return false;
  int64_t code = 0;
  if (!TextToWhole(line, code) || code < -1 || code > 9999) return false;
  code_ = static_cast<int>(code);
  value_.clear();
  if (!file_.Eof()) file_.ReadLine(value_);
  return true;
}

long double DxfGroupReader::Real() const {
  const long double x = StrToReal(value_);
  return std::isfinite(x) ? x : 0;
}

int LayerNumber(const std::string& value) {
  for (int n = 0; n <= 5; ++n)
    if (Settings.CadLayerNames[n] == value || (n > 0 && DxfLayerName(n) == value)) return n;
  int64_t k = 0;
  if (!TextToWhole(value, k) || k < 0) return 0;
  return static_cast<int>(std::min<int64_t>(k, 1000000));
}

namespace {

// Entities drawn and block files opened in one top-level replay at most: a block file that inserts
// itself many times would otherwise multiply its work with every level.
constexpr long kMaxReplayEntities = 200000;
constexpr long kMaxReplayFiles = 10000;

struct ReplayBudget {
  long entities = 0;
  long files = 0;
  bool depthReported = false;
  bool exhausted = false;
};
ReplayBudget g_budget;

struct Transform {
  long double x, y, angle, sx, sy;
  int depth;
};

Transform SaveTransform() {
  return {CadState.CadInsertX,      CadState.CadInsertY,      CadState.CadInsertAngle,
          CadState.CadInsertScaleX, CadState.CadInsertScaleY, CadState.CadInsertDepth};
}

void RestoreTransform(const Transform& t) {
  CadState.CadInsertX = t.x;
  CadState.CadInsertY = t.y;
  CadState.CadInsertAngle = t.angle;
  CadState.CadInsertScaleX = t.sx;
  CadState.CadInsertScaleY = t.sy;
  CadState.CadInsertDepth = t.depth;
}

// The file replayed for a block: the one this run wrote for it, else the user's; "" for none.
std::string BlockFileFor(const std::string& name) {
  if (CadBlockDefined(name)) {
    const std::string own = CadTempBlockFile(name);
    if (!own.empty() && FileCanOpen(own)) return own;
  }
  return CadUserBlockFile(name);
}

// The groups of one entity up to the next code-0 group, which stays current in the reader.
struct Entity {
  std::map<int, std::string> values;
  long double Real(int code, long double fallback = 0) const {
    auto it = values.find(code);
    if (it == values.end()) return fallback;
    const long double x = StrToReal(it->second);
    return std::isfinite(x) ? x : 0;
  }
  bool Has(int code) const { return values.count(code) > 0; }
  std::string Text(int code) const {
    auto it = values.find(code);
    return it == values.end() ? std::string() : it->second;
  }
};

class Replayer {
 public:
  explicit Replayer(DxfGroupReader& r) : r_(r) {}
  void Run();

 private:
  // Reads groups up to the next code 0; false when the file ended on the way.
  bool ReadEntity(Entity& e) {
    e.values.clear();
    while (r_.Next()) {
      if (r_.Code() == 0) return true;
      e.values[r_.Code()] = r_.Value();
    }
    return false;
  }
  void TakePen(const Entity& e) {
    if (e.Has(8)) pen_ = LayerNumber(e.Text(8));
  }
  bool Count() {
    if (++g_budget.entities <= kMaxReplayEntities) return true;
    g_budget.exhausted = true;
    return false;
  }
  bool Polyline(const Entity& header, bool more);
  void Segment(long double x1, long double y1, long double x2, long double y2, long double angle);

  DxfGroupReader& r_;
  int pen_ = 0;
};

void Replayer::Segment(long double x1, long double y1, long double x2, long double y2,
                       long double angleDeg) {
  if (angleDeg == 0) {
    CadTransformedLine(x1, y1, x2, y2);
    return;
  }
  long double xc = 0, yc = 0, ps = 0, pe = 0, r = 0;
  GetArcCenter(xc, yc, ps, x1, y1, x2, y2, DegToRad(angleDeg), pe, r);
  CadTransformedArc(xc, yc, RadToDeg(ps), RadToDeg(pe), r);
}

// The vertices after a POLYLINE header; the reader stands on the group after the header.
bool Replayer::Polyline(const Entity& header, bool more) {
  TakePen(header);
  // Only bit 0 (closed) counts; a value out of range is no flag at all.
  const long double flagValue = header.Real(70);
  const int64_t flags =
      std::fabs(flagValue) < 1e9L ? static_cast<int64_t>(flagValue) : int64_t{0};
  if (!more) return false;
  if (r_.Value() != "VERTEX") {
    ErrorMessage("Error in DXF File");
    return true;  // the polyline is dropped; the current group is dispatched next
  }
  Entity v;
  long double firstX = 0, firstY = 0, prevX = 0, prevY = 0, prevAngle = 0;
  int count = 0;
  while (more && r_.Code() == 0 && r_.Value() == "VERTEX") {
    more = ReadEntity(v);
    const int pen = v.Has(8) ? LayerNumber(v.Text(8)) : pen_;
    const long double x = v.Real(10), y = v.Real(20);
    if (count > 0 && Count()) {
      CadSetPen(pen);
      Segment(prevX, prevY, x, y, prevAngle);
    }
    if (count == 0) firstX = x, firstY = y;
    prevX = x;
    prevY = y;
    prevAngle = RadToDeg(4 * std::atan(v.Real(42)));
    ++count;
    if (g_budget.exhausted) return false;
  }
  // Closed (bit 0): back to the first vertex with the last vertex's arc.
  if ((flags & 1) && count > 1 && Count()) Segment(prevX, prevY, firstX, firstY, prevAngle);
  if (more && r_.Code() == 0 && r_.Value() == "SEQEND") {
    Entity end;
    more = ReadEntity(end);
  }
  return more;
}

void Replayer::Run() {
  bool more = r_.Next();
  Entity e;
  while (more) {
    if (r_.Code() != 0) {  // groups outside an entity are skipped
      more = r_.Next();
      continue;
    }
    const std::string type = r_.Value();
    if (type == "EOF") return;
    if (type != "LINE" && type != "CIRCLE" && type != "ARC" && type != "TEXT" &&
        type != "SOLID" && type != "POLYLINE" && type != "INSERT") {
      AddError("Fehler : DXF: " + type);
      return;
    }
    more = ReadEntity(e);
    if (type == "POLYLINE") {
      more = Polyline(e, more);
    } else if (Count()) {
      TakePen(e);
      CadSetPen(pen_);
      if (type == "LINE") {
        CadTransformedLine(e.Real(10), e.Real(20), e.Real(11), e.Real(21));
      } else if (type == "CIRCLE") {
        CadTransformedCircle(e.Real(10), e.Real(20), e.Real(40));
      } else if (type == "ARC") {
        CadTransformedArc(e.Real(10), e.Real(20), e.Real(50), e.Real(51), e.Real(40));
      } else if (type == "TEXT") {
        // The accumulated insert angle: a text turns with every insert around it.
        const long double h = e.Real(40);
        CadSetTextStyle(2, e.Real(50) + CadState.CadInsertAngle, h * CadState.CadInsertScaleY,
                        h * e.Real(41, 1) * CadState.CadInsertScaleX);
        CadTransformedText(e.Text(1), e.Real(10), e.Real(20));
      } else if (type == "SOLID") {
        CadTransformedSolid(e.Real(10), e.Real(20), e.Real(11), e.Real(21), e.Real(12),
                            e.Real(22), e.Real(13), e.Real(23));
      } else if (type == "INSERT") {
        const int saved = pen_;
        ReplayBlockFile(e.Text(2), e.Real(10), e.Real(20), e.Real(50), e.Real(41, 1),
                        e.Real(42, 1));
        pen_ = saved;
        CadSetPen(pen_);
      }
    }
    if (Flags.AbortFlag || g_budget.exhausted) return;
  }
}

void Replay(const std::string& file, long double x, long double y, long double angle,
            long double scaleX, long double scaleY) {
  const Transform saved = SaveTransform();
  const int depth = CadState.CadInsertDepth + 1;
  if (depth > MaxBlockDepth) {
    if (!g_budget.depthReported) ErrorMessage("error blockno." + IntStr(depth));
    g_budget.depthReported = true;
    return;
  }
  CadState.CadInsertDepth = depth;
  long double nx = 0, ny = 0;
  ScaleRotateTranslate(nx, ny, saved.sx, saved.sy, saved.x, saved.y, saved.angle, x, y);
  CadState.CadInsertX = nx;
  CadState.CadInsertY = ny;
  CadState.CadInsertAngle = saved.angle + angle;
  CadState.CadInsertScaleX = saved.sx * scaleX;
  CadState.CadInsertScaleY = saved.sy * scaleY;

  if (++g_budget.files > kMaxReplayFiles) {
    g_budget.exhausted = true;
    RestoreTransform(saved);
    return;
  }
  TextFile f;
  f.Assign(file);
  if (file.empty() || !f.Reset()) {
    AddError("Invalid temp directory");
    Flags.AbortFlag = true;
  } else {
    DxfGroupReader reader(f);
    Replayer(reader).Run();
    f.Close();
  }
  RestoreTransform(saved);
}

// A top-level replay starts a fresh budget; nested ones share it.
void ReplayTop(const std::string& file, long double x, long double y, long double angle,
               long double scaleX, long double scaleY) {
  const bool top = CadState.CadInsertDepth == 0;
  if (top) g_budget = {};
  Replay(file, x, y, angle, scaleX, scaleY);
  if (top && g_budget.exhausted)
    AddError("Fehler : DXF: zu viele Elemente in Block");
}

}  // namespace

void ReplayBlockFile(const std::string& name, long double x, long double y, long double angle,
                     long double scaleX, long double scaleY) {
  const std::string file = BlockFileFor(name);
  if (file.empty()) {
    AddError("Blockname " + name + " not found !");
    return;
  }
  ReplayTop(file, x, y, angle, scaleX, scaleY);
}

void ReplayBlockFileNamed(const std::string& file, long double x, long double y,
                          long double angle, long double scaleX, long double scaleY) {
  ReplayTop(file, x, y, angle, scaleX, scaleY);
}

}  // namespace qern
