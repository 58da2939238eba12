// Replay of DXF block files on the screen: group reader, entity handlers and the recursive insert
// with the composed transform. Block files may come from the user, so nothing in them is trusted.
#include "drawing/dxblock.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

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

long double DxfGroupReader::Real() const { return DxfValueNumber(value_); }

long double DxfValueNumber(const std::string& value) {
  // Up to 19 digits as a whole number and the power of ten of the decimals are both exact in a long
  // double, so their quotient is the correctly rounded value, as the full conversion gives it.
  static constexpr long double kPowers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                            1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                            1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L};
  std::size_t i = 0;
  const bool negative = !value.empty() && value[0] == '-';
  if (negative) ++i;
  uint64_t whole = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; i < value.size(); ++i) {
    const char c = value[i];
    if (c >= '0' && c <= '9') {
      if (++digits > 19) break;
      whole = whole * 10 + static_cast<uint64_t>(c - '0');
      if (point) ++decimals;
    } else if (c == '.' && !point && digits > 0) {
      point = true;
    } else {
      break;
    }
  }
  if (i == value.size() && digits > 0 && (!point || decimals > 0)) {
    const long double x = static_cast<long double>(whole) / kPowers[decimals];
    return negative ? -x : x;
  }
  const long double x = StrToReal(value);  // blanks, commas, exponents, long or odd numbers
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

// What a code-0 group names, told apart once when the file is read.
enum class Name : uint8_t {
  Other, Eof, Line, Circle, Arc, Text, Solid, Polyline, Insert, Vertex, Seqend
};

Name NameOf(const std::string& v) {
  static const std::pair<const char*, Name> kNames[] = {
      {"EOF", Name::Eof},   {"LINE", Name::Line},         {"CIRCLE", Name::Circle},
      {"ARC", Name::Arc},   {"TEXT", Name::Text},         {"SOLID", Name::Solid},
      {"INSERT", Name::Insert}, {"POLYLINE", Name::Polyline}, {"VERTEX", Name::Vertex},
      {"SEQEND", Name::Seqend}};
  for (const auto& [text, name] : kNames)
    if (v == text) return name;
  return Name::Other;
}

// One group of a block file with its value read as a number once (0 when it is none), for a layer
// group its pen, for a code-0 group what it names.
struct Group {
  int code;
  std::string value;
  long double real;
  int pen;
  Name name;
};
using Groups = std::vector<Group>;

// The block files read in the current screen output, by file name.
struct BlockFileMemory {
  bool open = false;
  bool use = true;
  long reads = 0;
  std::unordered_map<std::string, std::shared_ptr<const Groups>> files;
  std::unordered_map<std::string, std::string> ownFiles;  // block name -> its file read this output
} g_memory;

// The groups of a block file up to its EOF group (a replay never reads further), or up to a code
// line that is not a number; nothing when the file cannot be read.
std::shared_ptr<const Groups> ReadGroups(const std::string& file) {
  if (g_memory.open && g_memory.use) {
    auto it = g_memory.files.find(file);
    if (it != g_memory.files.end()) return it->second;
  }
  TextFile f;
  f.Assign(file);
  if (file.empty() || !f.Reset()) return nullptr;
  ++g_memory.reads;
  auto groups = std::make_shared<Groups>();
  DxfGroupReader reader(f);
  std::string layer;  // the last layer read with its pen: entities mostly share one
  int pen = LayerNumber(layer);
  while (reader.Next()) {
    const int code = reader.Code();
    const std::string& value = reader.Value();
    if (code == 8 && value != layer) {
      layer = value;
      pen = LayerNumber(layer);
    }
    // Only the codes the replay reads as numbers: coordinates, sizes, angles, scales, flags.
    const bool number = (code >= 10 && code <= 51) || code == 70;
    groups->push_back({code, value, number ? reader.Real() : 0, code == 8 ? pen : 0,
                       code == 0 ? NameOf(value) : Name::Other});
    if (code == 0 && value == "EOF") break;
  }
  f.Close();
  if (g_memory.open && g_memory.use) g_memory.files[file] = groups;
  return groups;
}

bool Remembered(const std::string& file) {
  return g_memory.open && g_memory.use && g_memory.files.count(file) > 0;
}

// The file replayed for a block: the one this run wrote for it, else the user's; "" for none.
std::string BlockFileFor(const std::string& name) {
  if (g_memory.open && g_memory.use) {
    auto it = g_memory.ownFiles.find(name);
    if (it != g_memory.ownFiles.end() && Remembered(it->second)) return it->second;
  }
  if (CadBlockDefined(name)) {
    const std::string own = CadTempBlockFile(name);
    if (!own.empty() && (Remembered(own) || FileCanOpen(own))) {
      if (g_memory.open && g_memory.use) g_memory.ownFiles[name] = own;
      return own;
    }
  }
  return CadUserBlockFile(name);
}

// Reads the groups of a block file one after the other, as DxfGroupReader reads the file.
class GroupCursor {
 public:
  explicit GroupCursor(const Groups& groups) : next_(groups.data()), end_(next_ + groups.size()) {}
  bool Next() {
    if (next_ == end_) return false;
    current_ = next_++;
    return true;
  }
  int Code() const { return current_->code; }
  const std::string& Value() const { return current_->value; }
  // What the current group names when its code is 0.
  Name Names() const { return current_->name; }
  // The groups read after the current one (the start of an entity's groups).
  const Group* Following() const { return next_; }

 private:
  const Group* next_;
  const Group* end_;
  const Group* current_ = nullptr;
};

// The groups of one entity up to the next code-0 group, which stays current in the reader; a code
// given more than once counts with its last value.
struct Entity {
  const Group* begin = nullptr;
  const Group* end = nullptr;
  const Group* Find(int code) const {
    for (const Group* g = end; g != begin;)
      if ((--g)->code == code) return g;
    return nullptr;
  }
  long double Real(int code, long double fallback = 0) const {
    const Group* g = Find(code);
    return g ? g->real : fallback;
  }
  bool Has(int code) const { return Find(code) != nullptr; }
  // The pen of the layer group; the caller knows there is one.
  int Pen() const { return Find(8)->pen; }
  std::string Text(int code) const {
    const Group* g = Find(code);
    return g ? g->value : std::string();
  }
};

class Replayer {
 public:
  explicit Replayer(GroupCursor& r) : r_(r) {}
  void Run();

 private:
  // Reads groups up to the next code 0; false when the file ended on the way.
  bool ReadEntity(Entity& e) {
    e.begin = e.end = r_.Following();
    while (r_.Next()) {
      if (r_.Code() == 0) return true;
      e.end = r_.Following();
    }
    return false;
  }
  void TakePen(const Entity& e) {
    if (e.Has(8)) pen_ = e.Pen();
  }
  bool Count() {
    if (++g_budget.entities <= kMaxReplayEntities) return true;
    g_budget.exhausted = true;
    return false;
  }
  bool Polyline(const Entity& header, bool more);
  void Segment(long double x1, long double y1, long double x2, long double y2, long double angle);

  GroupCursor& r_;
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
  if (r_.Names() != Name::Vertex) {
    ErrorMessage("Error in DXF File");
    return true;  // the polyline is dropped; the current group is dispatched next
  }
  Entity v;
  long double firstX = 0, firstY = 0, prevX = 0, prevY = 0, prevAngle = 0;
  int count = 0;
  while (more && r_.Code() == 0 && r_.Names() == Name::Vertex) {
    more = ReadEntity(v);
    const int pen = v.Has(8) ? v.Pen() : pen_;
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
  if (more && r_.Code() == 0 && r_.Names() == Name::Seqend) {
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
    const Name type = r_.Names();
    if (type == Name::Eof) return;
    if (type == Name::Other || type == Name::Vertex || type == Name::Seqend) {
      AddError("Fehler : DXF: " + r_.Value());
      return;
    }
    more = ReadEntity(e);
    if (type == Name::Polyline) {
      more = Polyline(e, more);
    } else if (Count()) {
      TakePen(e);
      CadSetPen(pen_);
      if (type == Name::Line) {
        CadTransformedLine(e.Real(10), e.Real(20), e.Real(11), e.Real(21));
      } else if (type == Name::Circle) {
        CadTransformedCircle(e.Real(10), e.Real(20), e.Real(40));
      } else if (type == Name::Arc) {
        CadTransformedArc(e.Real(10), e.Real(20), e.Real(50), e.Real(51), e.Real(40));
      } else if (type == Name::Text) {
        // The accumulated insert angle: a text turns with every insert around it.
        const long double h = e.Real(40);
        CadSetTextStyle(2, e.Real(50) + CadState.CadInsertAngle, h * CadState.CadInsertScaleY,
                        h * e.Real(41, 1) * CadState.CadInsertScaleX);
        CadTransformedText(e.Text(1), e.Real(10), e.Real(20));
      } else if (type == Name::Solid) {
        CadTransformedSolid(e.Real(10), e.Real(20), e.Real(11), e.Real(21), e.Real(12),
                            e.Real(22), e.Real(13), e.Real(23));
      } else if (type == Name::Insert) {
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
  if (const std::shared_ptr<const Groups> groups = ReadGroups(file)) {
    GroupCursor cursor(*groups);
    Replayer(cursor).Run();
  } else {
    AddError("Invalid temp directory");
    Flags.AbortFlag = true;
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

void OpenBlockFileMemory() {
  g_memory.files.clear();
  g_memory.ownFiles.clear();
  g_memory.open = true;
}

void CloseBlockFileMemory() {
  g_memory.files.clear();
  g_memory.ownFiles.clear();
  g_memory.open = false;
}

void ForgetBlockFile(const std::string& file) { g_memory.files.erase(file); }

void SetBlockFileMemoryUse(bool use) {
  g_memory.use = use;
  g_memory.files.clear();
  g_memory.ownFiles.clear();
}

long BlockFileReads() { return g_memory.reads; }

void ReplayBlockFileNamed(const std::string& file, long double x, long double y,
                          long double angle, long double scaleX, long double scaleY) {
  ReplayTop(file, x, y, angle, scaleX, scaleY);
}

}  // namespace qern
