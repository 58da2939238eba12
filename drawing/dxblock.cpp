// Replay of DXF block files on the screen: group reader, the steps a block file turns into, and the
// recursive insert with the composed transform. Block files may come from the user, so nothing in
// them is trusted.
#include "drawing/dxblock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <unordered_map>
#include <string_view>
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
#include "platform/codepage.h"

namespace qern {

namespace {

// The lines of a block file's text held in memory, read exactly as TextFile reads the file.
class TextLines {
 public:
  explicit TextLines(const std::string& text) : text_(text) {}
  bool Eof() const { return pos_ >= text_.size(); }
  // The next line as TextFile::ReadLine gives it: a view of the text, or of scratch when it had to
  // be decoded; an empty view and false past the end or for an overlong line.
  bool ReadLine(std::string_view& line, std::string& scratch) {
    line = {};
    if (Eof()) return false;
    // The line's end, and whether it holds bytes beyond ASCII, in one pass.
    const char* const begin = text_.data() + pos_;
    const char* const end = text_.data() + text_.size();
    const char* p = begin;
    unsigned char high = 0;
    while (p != end && *p != '\n') high |= static_cast<unsigned char>(*p++);
    const std::size_t length = static_cast<std::size_t>(p - begin);
    if (length > TextFile::MaxLineLength) {  // the file reader stops one character past its limit
      pos_ += TextFile::MaxLineLength + 1;
      return false;
    }
    pos_ += length + (p == end ? 0 : 1);
    std::string_view raw(begin, length);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (high < 0x80) {
      line = raw;  // plain ASCII decodes to itself
    } else {
      scratch = DecodeTextLine(raw, LegacyCodePage::Ansi1252);
      line = scratch;
    }
    return true;
  }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
};

// A code line as TextToWhole reads it; the writer's right-aligned codes ("  0", " 10") quickly.
bool CodeNumber(std::string_view line, int64_t& n) {
  std::size_t i = line.find_first_not_of(' ');
  if (i != std::string_view::npos && line.size() - i <= 4) {
    int64_t v = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) v = v * 10 + (line[i] - '0');
    if (i == line.size()) {
      n = v;
      return true;
    }
  }
  return TextToWhole(std::string(line), n);
}

// The next group pair of a file or of text lines: a code line (an integer, blanks allowed) and a
// value line.
bool NextGroup(TextFile& file, int& code, std::string& value) {
  std::string line;
  if (file.Eof() || !file.ReadLine(line)) return false;
  int64_t n = 0;
  if (!CodeNumber(line, n) || n < -1 || n > 9999) return false;
  code = static_cast<int>(n);
  value.clear();
  if (!file.Eof()) file.ReadLine(value);
  return true;
}

// The same for text lines; the value is a view of the text or of scratch.
bool NextGroup(TextLines& lines, int& code, std::string_view& value, std::string& scratch) {
  std::string_view line;
  if (lines.Eof() || !lines.ReadLine(line, scratch)) return false;
  int64_t n = 0;
  if (!CodeNumber(line, n) || n < -1 || n > 9999) return false;
  code = static_cast<int>(n);
  value = {};
  if (!lines.Eof()) lines.ReadLine(value, scratch);
  return true;
}

}  // namespace

bool DxfGroupReader::Next() { return NextGroup(file_, code_, value_); }

long double DxfGroupReader::Real() const { return DxfValueNumber(value_); }

namespace {

// Powers of ten, exact in a long double.
constexpr long double kPowers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                   1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                   1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L};

long double ValueNumber(std::string_view value) {
  // Up to 19 digits as a whole number and the power of ten of the decimals are both exact in a long
  // double, so their quotient is the correctly rounded value, as the full conversion gives it.
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
  const long double x = StrToReal(std::string(value));  // blanks, commas, exponents, odd numbers
  return std::isfinite(x) ? x : 0;
}

}  // namespace

long double DxfValueNumber(const std::string& value) { return ValueNumber(value); }

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

Name NameOf(std::string_view v) {
  // Told apart by length first: every entity starts with one.
  switch (v.size()) {
    case 3:
      if (v == "EOF") return Name::Eof;
      if (v == "ARC") return Name::Arc;
      break;
    case 4:
      if (v == "LINE") return Name::Line;
      if (v == "TEXT") return Name::Text;
      break;
    case 5:
      if (v == "SOLID") return Name::Solid;
      break;
    case 6:
      if (v == "INSERT") return Name::Insert;
      if (v == "CIRCLE") return Name::Circle;
      if (v == "VERTEX") return Name::Vertex;
      if (v == "SEQEND") return Name::Seqend;
      break;
    case 8:
      if (v == "POLYLINE") return Name::Polyline;
      break;
    default: break;
  }
  return Name::Other;
}

// One group of a block file with its value read as a number once (0 when it is none), for a layer
// group its pen, for a code-0 group what it names.
struct Group {
  int code = 0;
  int pen = 0;
  Name name = Name::Other;
  // The value's text among the groups' texts (none for the codes read as numbers).
  std::size_t valueAt = 0, valueSize = 0;
  long double real = 0;
};
// The groups and their texts one after the other (a group is then a plain record, cheap to make
// and to drop by the ten thousand).
struct Groups {
  std::vector<Group> list;
  std::string texts;
  std::string_view Value(const Group& g) const {
    return std::string_view(texts).substr(g.valueAt, g.valueSize);
  }
};

// Turns group pairs, one after the other, into the groups of a block file up to its EOF group (a
// replay never reads further).
class GroupBuilder {
 public:
  explicit GroupBuilder(std::size_t expected = 0) { groups_.list.reserve(expected); }
  // False once the EOF group is taken. real: the value as a number when the caller knows it.
  bool Add(int code, std::string_view value, const long double* real = nullptr) {
    if (IsNumberCode(code)) {
      AddNumber(code, real ? *real : ValueNumber(value));
      return true;
    }
    if (code == 8 && (!penKnown_ || value != layer_)) {
      layer_ = value;
      pen_ = LayerNumber(layer_);
      penKnown_ = true;
    }
    // Only the codes the replay reads as numbers (coordinates, sizes, angles, scales, flags) are
    // read so, and their text is not kept.
    const Name name = code == 0 ? NameOf(value) : Name::Other;
    Group& g = groups_.list.emplace_back();
    g.code = code;
    g.pen = code == 8 ? pen_ : 0;
    g.name = name;
    // The text of a layer group (its pen is kept) and of an entity's known name is not read again.
    if (code != 8 && name == Name::Other) {
      g.valueAt = groups_.texts.size();
      g.valueSize = value.size();
      groups_.texts += value;
    }
    return name != Name::Eof;
  }
  // A group of a code read as a number (most groups: the writer knows their values).
  void AddNumber(int code, long double real) {
    Group& g = groups_.list.emplace_back();
    g.code = code;
    g.real = real;
  }
  static bool IsNumberCode(int code) { return (code >= 10 && code <= 51) || code == 70; }
  Groups Take() { return std::move(groups_); }
  const Groups& Taken() const { return groups_; }
  // Empty again for the next file, keeping the room its groups took.
  void Restart() {
    groups_.list.clear();
    groups_.texts.clear();
    layer_.clear();
    penKnown_ = false;
  }

 private:
  Groups groups_;
  std::string layer_;  // the last layer read with its pen: entities mostly share one
  int pen_ = 0;
  bool penKnown_ = false;
};

// The groups of a block file up to its EOF group, or up to a code line that is not a number;
// next(code, value) gives the next group or false.
template <class Next>
Groups ReadGroups(Next&& next, std::size_t expected = 0) {
  GroupBuilder builder(expected);
  int code = 0;
  std::string_view value;
  while (next(code, value) && builder.Add(code, value)) {
  }
  return builder.Take();
}

Groups ReadGroups(TextFile& file) {
  std::string text;
  return ReadGroups([&](int& code, std::string_view& value) {
    if (!NextGroup(file, code, text)) return false;
    value = text;
    return true;
  });
}

Groups ReadGroups(const std::string& text) {
  TextLines lines(text);
  std::string scratch;
  // A group of the writer's takes some 16 characters.
  return ReadGroups(
      [&](int& code, std::string_view& value) { return NextGroup(lines, code, value, scratch); },
      text.size() / 16 + 1);
}

// Reads the groups of a block file one after the other, as DxfGroupReader reads the file.
class GroupCursor {
 public:
  explicit GroupCursor(const Groups& groups)
      : groups_(groups), next_(groups.list.data()), end_(next_ + groups.list.size()) {}
  bool Next() {
    if (next_ == end_) return false;
    current_ = next_++;
    return true;
  }
  int Code() const { return current_->code; }
  std::string_view Value() const { return groups_.Value(*current_); }
  const Groups& All() const { return groups_; }
  // What the current group names when its code is 0.
  Name Names() const { return current_->name; }
  // The groups read after the current one (the start of an entity's groups).
  const Group* Following() const { return next_; }

 private:
  const Groups& groups_;
  const Group* next_;
  const Group* end_;
  const Group* current_ = nullptr;
};

// The groups of one entity up to the next code-0 group, which stays current in the reader; a code
// given more than once counts with its last value.
struct Entity {
  const Groups* groups = nullptr;
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
    return g ? std::string(groups->Value(*g)) : std::string();
  }
};

// A block file is turned once into the steps its replay takes: everything that depends on the
// file alone (which entity, its pen, the centre and angles of a polyline's arc, the messages) is
// worked out then, and every insert only runs the steps with its own transform.
enum class Op : uint8_t {
  Count,    // one entity more for the budget; the replay ends when it is spent
  Pen,      // CadSetPen(pen)
  Line,     // v: x1 y1 x2 y2
  Circle,   // v: x y r
  Arc,      // v: x y start end r (degrees)
  Text,     // v: angle height width*height x y; text
  Solid,    // v: the four corners
  Insert,   // text: block, v: x y angle scaleX scaleY; then CadSetPen(pen)
  Message,  // ErrorMessage(text)
  Error,    // AddError(text)
  Check,    // after an entity: the replay ends on AbortFlag or a spent budget
};

struct Step {
  Op op;
  // Most entities come as one step: their Count before it and their Check after it go as flags
  // (the Count and Check steps remain where no step is there to carry them).
  bool count = false;
  bool check = false;
  int pen = 0;
  std::array<long double, 8> v{};
  std::string text;
  // An insert's screen block as last found, while the memory's age is unchanged.
  mutable const std::vector<Step>* found = nullptr;
  mutable unsigned long foundAge = 0;
};
using Steps = std::vector<Step>;

// The block files turned into steps in the current screen output, by file name, and the blocks
// the screen defined in it.
struct BlockFileMemory {
  bool open = false;
  bool use = true;
  long reads = 0;
  // Counts the changes that drop or replace what a name or file led to; the screen block an
  // insert step found stays right while it is unchanged.
  unsigned long age = 1;
  std::unordered_map<std::string, std::shared_ptr<const Steps>> files;
  // The screen's own blocks by lower-case name: their text, and their steps while the memory is on.
  struct ScreenBlock {
    std::string text;
    std::shared_ptr<const Steps> steps;
  };
  std::unordered_map<std::string, ScreenBlock> own;
  bool On() const { return open && use; }
  // Everything dropped; what was found before is found anew.
  void Clear() {
    ++age;
    files.clear();
    own.clear();
  }
} g_memory;

// A screen block stands where a file name goes as its key after a NUL, which no file name holds.
std::string ScreenBlockFile(const std::string& key) { return std::string(1, '\0') + key; }
bool IsScreenBlockFile(const std::string& file) { return !file.empty() && file[0] == '\0'; }

// The groups of the block file the screen is writing, taken as the writer writes them, just as
// reading the text back gives them. A group whose lines would read back otherwise (a line break in
// a value, an overlong line, an odd code) spoils the recording: the text is read then.
struct BlockGroupRecording {
  bool intact = false;
  bool ended = false;  // the EOF group is taken: a reader stops there
  std::size_t end = 0;  // where the text's last recorded group ends
  GroupBuilder builder;  // kept from file to file with its room
} g_recording;

// Makes the steps of a block entity by entity: the counting, pen and check steps every entity
// takes, as a replay of the block's DXF text takes them.
class StepMaker {
 public:
  explicit StepMaker(Steps& steps) : steps_(steps) {}

 protected:
  Step& Add(Op op, std::initializer_list<long double> v = {}, std::string text = {}) {
    Step& s = steps_.emplace_back();
    s.op = op;
    s.count = counted_;
    counted_ = false;
    std::copy(v.begin(), v.end(), s.v.begin());
    s.text = std::move(text);
    return s;
  }
  // A waiting Count as a step of its own.
  void CountAlone() {
    if (!counted_) return;
    counted_ = false;
    Add(Op::Count);
  }
  // One entity more for the budget, before the next step.
  void Count() {
    CountAlone();
    counted_ = true;
  }
  // The replay ends here on AbortFlag or a spent budget.
  void Check() {
    CountAlone();
    if (steps_.empty())
      Add(Op::Check);
    else
      steps_.back().check = true;
  }
  // A pen set again with only drawing in between changes nothing: it is left out (unless the
  // memory is off, which keeps every step for comparisons).
  void SetPen(int pen) {
    if (pen == penInForce_ && g_memory.use) return;
    Add(Op::Pen).pen = pen;
    penInForce_ = pen;
  }
  void Message(Op op, std::string text) {
    Add(op, {}, std::move(text));
    penInForce_ = -1;
  }
  // One entity of one step on the pen of its layer.
  void Shape(int pen, Op op, std::initializer_list<long double> v, std::string text = {}) {
    Count();
    pen_ = pen;
    SetPen(pen_);
    Add(op, v, std::move(text));
    Check();
  }
  // An insert: the block's own pen is set again after it.
  void InsertShape(int pen, std::initializer_list<long double> v, std::string block) {
    Count();
    pen_ = pen;
    SetPen(pen_);
    Add(Op::Insert, v, std::move(block)).pen = pen_;
    penInForce_ = pen_;
    Check();
  }
  void Segment(long double x1, long double y1, long double x2, long double y2, long double angle);
  // As new, for the steps of another block.
  void Restart() {
    pen_ = 0;
    penInForce_ = -1;
    counted_ = false;
  }

  Steps& steps_;
  int pen_ = 0;
  int penInForce_ = -1;  // the pen of the last Pen step (-1: not known)
  bool counted_ = false;  // a Count waits for the next step
};

// Turns the groups into steps, reading them as a replay of the file reads them.
class Compiler : public StepMaker {
 public:
  Compiler(GroupCursor& r, Steps& steps) : StepMaker(steps), r_(r) {}
  void Run();

 private:
  // Reads groups up to the next code 0; false when the file ended on the way.
  bool ReadEntity(Entity& e) {
    e.groups = &r_.All();
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
  bool Polyline(const Entity& header, bool more);

  GroupCursor& r_;
};

void StepMaker::Segment(long double x1, long double y1, long double x2, long double y2,
                       long double angleDeg) {
  if (angleDeg == 0) {
    Add(Op::Line, {x1, y1, x2, y2});
    return;
  }
  long double xc = 0, yc = 0, ps = 0, pe = 0, r = 0;
  const long double dphi = DegToRad(angleDeg);
  if (std::sin(dphi / 2) != 0) {
    GetArcCenter(xc, yc, ps, x1, y1, x2, y2, dphi, pe, r);
  } else {
    // No arc: its message belongs to every replay, so it is caught here and given as a step.
    const ErrorListRecord errors = Errors;
    Errors.ErrorCount = 0;
    GetArcCenter(xc, yc, ps, x1, y1, x2, y2, dphi, pe, r);
    std::string text = Errors.ErrorCount > 0 ? Errors.ErrorList[0] : std::string();
    Errors = errors;
    if (!text.empty()) Message(Op::Error, std::move(text));
  }
  Add(Op::Arc, {xc, yc, RadToDeg(ps), RadToDeg(pe), r});
}

// The vertices after a POLYLINE header; the reader stands on the group after the header.
bool Compiler::Polyline(const Entity& header, bool more) {
  TakePen(header);
  // Only bit 0 (closed) counts; a value out of range is no flag at all.
  const long double flagValue = header.Real(70);
  const int64_t flags =
      std::fabs(flagValue) < 1e9L ? static_cast<int64_t>(flagValue) : int64_t{0};
  if (!more) return false;
  if (r_.Names() != Name::Vertex) {
    Message(Op::Message, "Error in DXF File");
    return true;  // the polyline is dropped; the current group is dispatched next
  }
  Entity v;
  long double firstX = 0, firstY = 0, prevX = 0, prevY = 0, prevAngle = 0;
  int count = 0;
  while (more && r_.Code() == 0 && r_.Names() == Name::Vertex) {
    more = ReadEntity(v);
    const int pen = v.Has(8) ? v.Pen() : pen_;
    const long double x = v.Real(10), y = v.Real(20);
    if (count > 0) {
      Count();
      SetPen(pen);
      Segment(prevX, prevY, x, y, prevAngle);
    }
    if (count == 0) firstX = x, firstY = y;
    prevX = x;
    prevY = y;
    prevAngle = RadToDeg(4 * std::atan(v.Real(42)));
    ++count;
  }
  // Closed (bit 0): back to the first vertex with the last vertex's arc.
  if ((flags & 1) && count > 1) {
    Count();
    Segment(prevX, prevY, firstX, firstY, prevAngle);
  }
  if (more && r_.Code() == 0 && r_.Names() == Name::Seqend) {
    Entity end;
    more = ReadEntity(end);
  }
  return more;
}

void Compiler::Run() {
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
      Message(Op::Error, "Fehler : DXF: " + std::string(r_.Value()));
      return;
    }
    more = ReadEntity(e);
    if (type == Name::Polyline) {
      more = Polyline(e, more);
      Check();
      continue;
    }
    const int pen = e.Has(8) ? e.Pen() : pen_;
    if (type == Name::Line) {
      Shape(pen, Op::Line, {e.Real(10), e.Real(20), e.Real(11), e.Real(21)});
    } else if (type == Name::Circle) {
      Shape(pen, Op::Circle, {e.Real(10), e.Real(20), e.Real(40)});
    } else if (type == Name::Arc) {
      Shape(pen, Op::Arc, {e.Real(10), e.Real(20), e.Real(50), e.Real(51), e.Real(40)});
    } else if (type == Name::Text) {
      const long double h = e.Real(40);
      Shape(pen, Op::Text, {e.Real(50), h, h * e.Real(41, 1), e.Real(10), e.Real(20)},
            e.Text(1));
    } else if (type == Name::Solid) {
      Shape(pen, Op::Solid, {e.Real(10), e.Real(20), e.Real(11), e.Real(21), e.Real(12),
                             e.Real(22), e.Real(13), e.Real(23)});
    } else if (type == Name::Insert) {
      InsertShape(pen, {e.Real(10), e.Real(20), e.Real(50), e.Real(41, 1), e.Real(42, 1)},
                  e.Text(2));
    }
  }
}

std::shared_ptr<const Steps> Compile(const Groups& groups) {
  auto steps = std::make_shared<Steps>();
  steps->reserve(groups.list.size() / 2 + 1);
  GroupCursor cursor(groups);
  Compiler(cursor, *steps).Run();
  return steps;
}


// The steps of a block file or screen block; nothing when the file cannot be read or the screen
// keeps no such block.
std::shared_ptr<const Steps> StepsOf(const std::string& file) {
  if (IsScreenBlockFile(file)) {
    const auto it = g_memory.own.find(file.substr(1));
    if (it == g_memory.own.end()) return nullptr;
    const BlockFileMemory::ScreenBlock& block = it->second;
    return block.steps ? block.steps : Compile(ReadGroups(std::as_const(block.text)));
  }
  if (g_memory.On()) {
    auto it = g_memory.files.find(file);
    if (it != g_memory.files.end()) return it->second;
  }
  TextFile f;
  f.Assign(file);
  if (file.empty() || !f.Reset()) return nullptr;
  ++g_memory.reads;
  const Groups groups = ReadGroups(f);
  f.Close();
  std::shared_ptr<const Steps> steps = Compile(groups);
  if (g_memory.On()) g_memory.files[file] = steps;
  return steps;
}

// What an insert of a block replays: the block the screen defined, else the user's block file;
// "" for none.
std::string BlockFileFor(const std::string& name) {
  if (!g_memory.own.empty() && CadBlockDefined(name)) {
    std::string key = LowerStr(name);
    if (g_memory.own.count(key) > 0) return ScreenBlockFile(key);
  }
  return CadUserBlockFile(name);
}

// Keeps the screen block an insert step found: the step finds it again until the memory drops
// or replaces something.
void KeepFound(const Step& insert, const std::string& file, const Steps& steps) {
  if (!g_memory.On() || !IsScreenBlockFile(file)) return;
  insert.found = &steps;
  insert.foundAge = g_memory.age;
}

void ReplayInsert(const Step& s);

bool CountEntity() {
  if (++g_budget.entities <= kMaxReplayEntities) return true;
  g_budget.exhausted = true;
  return false;
}

// Runs the steps of one block file with the insert transform in CadState.
void Execute(const Steps& steps) {
  for (const Step& s : steps) {
    if (s.count && !CountEntity()) return;
    const auto& v = s.v;
    switch (s.op) {
      case Op::Count:
        if (!CountEntity()) return;
        break;
      case Op::Pen: CadSetPen(s.pen); break;
      case Op::Line: CadTransformedLine(v[0], v[1], v[2], v[3]); break;
      case Op::Circle: CadTransformedCircle(v[0], v[1], v[2]); break;
      case Op::Arc: CadTransformedArc(v[0], v[1], v[2], v[3], v[4]); break;
      case Op::Text:
        // The accumulated insert angle: a text turns with every insert around it.
        CadSetTextStyle(2, v[0] + CadState.CadInsertAngle, v[1] * CadState.CadInsertScaleY,
                        v[2] * CadState.CadInsertScaleX);
        CadTransformedText(s.text, v[3], v[4]);
        break;
      case Op::Solid: CadTransformedSolid(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]); break;
      case Op::Insert:
        ReplayInsert(s);
        CadSetPen(s.pen);
        break;
      case Op::Message: ErrorMessage(s.text); break;
      case Op::Error: AddError(s.text); break;
      case Op::Check:
        if (Flags.AbortFlag || g_budget.exhausted) return;
        break;
    }
    if (s.check && (Flags.AbortFlag || g_budget.exhausted)) return;
  }
}

// Runs a block file's steps under the insert's transform. known: its steps when already found;
// insert: the step whose block this is, which keeps it when the memory gave it.
void Replay(const std::string& file, const Steps* known, const Step* insert, long double x,
            long double y, long double angle, long double scaleX, long double scaleY) {
  const Transform saved = SaveTransform();
  const int depth = CadState.CadInsertDepth + 1;
  if (depth > MaxBlockDepth) {
    if (!g_budget.depthReported) ErrorMessage("error blockno." + IntStr(depth));
    g_budget.depthReported = true;
    return;
  }
  CadState.CadInsertDepth = depth;
  long double nx = 0, ny = 0;
  CadTransformedPoint(nx, ny, x, y);  // (by the transform saved, still in place)
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
  // Steps found here are held while they run (those of a file read with the memory off live
  // only so long).
  std::shared_ptr<const Steps> held;
  const Steps* steps = known;
  if (!steps) {
    held = StepsOf(file);
    steps = held.get();
    if (insert && steps) KeepFound(*insert, file, *steps);
  }
  if (steps) {
    Execute(*steps);
  } else {
    AddError("Invalid temp directory");
    Flags.AbortFlag = true;
  }
  RestoreTransform(saved);
}

void ReplayInsert(const Step& s) {
  const auto& v = s.v;
  if (s.found && s.foundAge == g_memory.age) {
    Replay({}, s.found, &s, v[0], v[1], v[2], v[3], v[4]);
    return;
  }
  const std::string file = BlockFileFor(s.text);
  if (file.empty()) {
    AddError("Blockname " + s.text + " not found !");
    return;
  }
  Replay(file, nullptr, &s, v[0], v[1], v[2], v[3], v[4]);
}

// A top-level replay starts a fresh budget; nested ones share it.
void ReplayTop(const std::string& file, const Steps* known, long double x, long double y,
               long double angle, long double scaleX, long double scaleY) {
  const bool top = CadState.CadInsertDepth == 0;
  if (top) g_budget = {};
  Replay(file, known, nullptr, x, y, angle, scaleX, scaleY);
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
  ReplayTop(file, nullptr, x, y, angle, scaleX, scaleY);
}

void OpenBlockFileMemory() {
  ForgetKeptTurns();
  g_memory.Clear();
  g_memory.open = true;
}

void CloseBlockFileMemory() {
  g_memory.Clear();
  g_memory.open = false;
}

namespace {

// A number as reading the writer's text of it gives it back.
long double WrittenNumber(long double x) {
  const int decimals = std::clamp(Settings.CadDecimals, 0, 15);
  unsigned long long n = 0;
  if (!RoundScaled(x, decimals, n)) return ValueNumber(DxfReal(x));
  // n stays below 2^40: as a signed number it converts in one step.
  const long double v = static_cast<long double>(static_cast<long long>(n)) / kPowers[decimals];
  return x < 0 && n > 0 ? -v : v;  // a value written as zero carries no sign
}

// A number whose size is not fixed (text heights, insert scales) as reading the writer's text of
// it gives it back: with more digits where the usual decimals would lose some.
long double WrittenNumberWithDigits(long double x) {
  // The last few numbers (a block's heights and scales come again and again) are kept.
  struct Kept {
    long double x = 0, read = 0;
    int decimals = -1;
  };
  static std::array<Kept, 4> kept;
  static std::size_t last = 0;
  const int decimals = std::clamp(Settings.CadDecimals, 0, 15);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const std::size_t at = (last + i) % kept.size();
    const Kept& k = kept[at];
    if (k.decimals == decimals && k.x == x && std::signbit(k.x) == std::signbit(x)) {
      last = at;
      return k.read;
    }
  }
  unsigned long long n = 0;
  const long double read = RoundScaled(x, decimals, n) && DxfScaledReadsBack(x, n, decimals)
                               ? WrittenNumber(x)
                               : ValueNumber(DxfRealWithDigits(x));
  last = (last + 1) % kept.size();
  kept[last] = {x, read, decimals};
  return read;
}

// A name or text as reading its written line gives it back: a line beyond ASCII is decoded.
std::string WrittenText(const std::string& s) {
  std::string v = DxfPlainValue(s);
  for (char c : v)
    if (static_cast<unsigned char>(c) >= 0x80) return DecodeTextLine(v, LegacyCodePage::Ansi1252);
  return v;
}

// The steps of the block being made, in a list with the room the block before took (blocks of a
// drawing come in like sizes), so that they seldom move while it grows.
struct StepsHeld {
  Steps steps;
};

}  // namespace

class ScreenBlockMaker::Maker : public StepsHeld, public StepMaker {
 public:
  Maker() : StepMaker(steps) {}
  // The steps made, handed over whole; the next block starts with as much room.
  std::shared_ptr<Steps> Take() {
    const std::size_t room = steps.size();
    auto made = std::make_shared<Steps>(std::move(steps));
    steps = Steps();
    steps.reserve(room);
    Restart();
    return made;
  }
  // Members as the reader's entity handlers take them.
  using StepMaker::InsertShape;
  using StepMaker::Shape;
  // The pen of the current layer (the layer of the last shape is kept).
  int Pen() {
    if (!layerKnown_ || layer_ != CadState.CadLayerName) {
      layer_ = CadState.CadLayerName;
      layerPen_ = LayerNumber(DxfPlainLayer());
      layerKnown_ = true;
    }
    return layerPen_;
  }
  // The text style's width factor and angle as their written texts give them back (those of the
  // last few styles kept: texts come with a few in turn).
  std::pair<long double, long double> Style() {
    const CadOutputState& c = CadState;
    auto of = [&](const KeptStyle& k) {
      return k.known && k.width == c.CadTextWidth && k.rotation == c.CadTextRotation &&
             k.decimals == Settings.Decimals && k.cadDecimals == Settings.CadDecimals;
    };
    if (of(styles_[last_])) return styles_[last_].written;
    for (std::size_t i = 0; i < styles_.size(); ++i)
      if (of(styles_[i])) return styles_[last_ = i].written;
    last_ = (last_ + 1) % styles_.size();
    styles_[last_] = {c.CadTextWidth, c.CadTextRotation, Settings.Decimals, Settings.CadDecimals,
                      true,
                      {ValueNumber(DxfTextStyleNumber(c.CadTextWidth)),
                       ValueNumber(DxfTextStyleNumber(c.CadTextRotation))}};
    return styles_[last_].written;
  }

 private:
  struct KeptStyle {
    long double width = 0, rotation = 0;
    int decimals = 0, cadDecimals = 0;
    bool known = false;
    std::pair<long double, long double> written;
  };
  std::string layer_;
  int layerPen_ = 0;
  bool layerKnown_ = false;
  std::array<KeptStyle, 4> styles_;
  std::size_t last_ = 0;
};

namespace {
using N = long double;
N W(N x) { return WrittenNumber(x); }
N WD(N x) { return WrittenNumberWithDigits(x); }
}  // namespace

ScreenBlockMaker::ScreenBlockMaker() : maker_(std::make_unique<Maker>()) {}
ScreenBlockMaker::~ScreenBlockMaker() = default;

void ScreenBlockMaker::Line(N x1, N y1, N x2, N y2) {
  maker_->Shape(maker_->Pen(), Op::Line, {W(x1), W(y1), W(x2), W(y2)});
}

void ScreenBlockMaker::Circle(N x, N y, N r) {
  maker_->Shape(maker_->Pen(), Op::Circle, {W(x), W(y), W(r)});
}

void ScreenBlockMaker::Arc(N x, N y, N startAngle, N endAngle, N r) {
  if (IsFullCircle(startAngle, endAngle)) {
    Circle(x, y, r);
    return;
  }
  maker_->Shape(maker_->Pen(), Op::Arc, {W(x), W(y), W(startAngle), W(endAngle), W(r)});
}

void ScreenBlockMaker::Text(const std::string& s, N x, N y) {
  const auto [width, angle] = maker_->Style();
  const N h = WD(CadState.CadTextHeight);
  maker_->Shape(maker_->Pen(), Op::Text, {angle, h, h * width, W(x), W(y)}, WrittenText(s));
}

void ScreenBlockMaker::Solid(N x1, N y1, N x2, N y2, N x3, N y3, N x4, N y4) {
  maker_->Shape(maker_->Pen(), Op::Solid, {W(x1), W(y1), W(x2), W(y2), W(x3), W(y3), W(x4), W(y4)});
}

void ScreenBlockMaker::Insert(const std::string& name, N x, N y, N angle, N scaleX, N scaleY) {
  maker_->InsertShape(maker_->Pen(), {W(x), W(y), W(angle), WD(scaleX), WD(scaleY)},
                      WrittenText(name));
}

void ScreenBlockMaker::Keep(const std::string& name) {
  ++g_memory.age;
  BlockFileMemory::ScreenBlock& block = g_memory.own[LowerStr(name)];
  block.steps = maker_->Take();
  block.text.clear();
}

bool ScreenBlocksMadeDirectly() { return g_memory.On(); }

void ReplayScreenBlock(const std::string& name, long double x, long double y, long double angle,
                       long double scaleX, long double scaleY) {
  std::string key = LowerStr(name);
  const auto it = g_memory.own.find(key);
  if (g_memory.On() && it != g_memory.own.end() && it->second.steps)
    ReplayTop({}, it->second.steps.get(), x, y, angle, scaleX, scaleY);
  else
    ReplayTop(ScreenBlockFile(key), nullptr, x, y, angle, scaleX, scaleY);
}

void StartBlockGroupRecording() {
  g_recording.intact = true;
  g_recording.ended = false;
  g_recording.end = 0;
  g_recording.builder.Restart();
}

namespace {
// Whether the group's lines begin where the last recorded one ended; the recording is spoiled
// otherwise, or after the EOF group.
bool RecordingGoesOn(std::size_t begin, std::size_t end) {
  if (!g_recording.intact || g_recording.ended) return false;
  // Text written otherwise than as a group in between is not recorded.
  if (begin != g_recording.end) {
    g_recording.intact = false;
    return false;
  }
  g_recording.end = end;
  return true;
}
}  // namespace

void RecordBlockGroup(int code, std::string_view value, std::size_t begin, std::size_t end) {
  if (!RecordingGoesOn(begin, end)) return;
  unsigned char high = 0;
  for (char c : value) {
    if (c == '\n' || c == '\r') {
      g_recording.intact = false;
      return;
    }
    high |= static_cast<unsigned char>(c);
  }
  if (code < 0 || code > 9999 || value.size() > TextFile::MaxLineLength) {
    g_recording.intact = false;
    return;
  }
  // Read back, a line beyond ASCII is decoded as the reader decodes it.
  GroupBuilder& b = g_recording.builder;
  const bool more = high >= 0x80 ? b.Add(code, DecodeTextLine(value, LegacyCodePage::Ansi1252))
                                 : b.Add(code, value);
  g_recording.ended = !more;
}

void RecordBlockGroupNumber(int code, bool negative, unsigned long long scaled, int decimals,
                            std::string_view value, std::size_t begin, std::size_t end) {
  if (!RecordingGoesOn(begin, end)) return;
  if (code < 0 || code > 9999) {
    g_recording.intact = false;
    return;
  }
  // The text holds the digits of scaled with its decimals, after a "-" when negative: up to 19
  // digits read back as their whole number over the power of ten, exactly as the reader does.
  static constexpr unsigned long long kLimit = 1000000000000000000ULL;
  if (scaled < kLimit && decimals >= 0 && decimals <= 17 && GroupBuilder::IsNumberCode(code)) {
    const long double x = static_cast<long double>(scaled) / kPowers[decimals];
    g_recording.builder.AddNumber(code, negative ? -x : x);
  } else {
    g_recording.ended = !g_recording.builder.Add(code, value);
  }
}

void KeepScreenBlock(const std::string& name, std::string text) {
  const bool recorded =
      g_recording.intact && (g_recording.ended || g_recording.end == text.size());
  g_recording.intact = false;
  ++g_memory.age;
  BlockFileMemory::ScreenBlock& block = g_memory.own[LowerStr(name)];
  // Without the memory every insert reads the text again.
  block.steps = nullptr;
  if (g_memory.On())
    block.steps = recorded ? Compile(g_recording.builder.Taken())
                           : Compile(ReadGroups(std::as_const(text)));
  block.text = block.steps ? std::string() : std::move(text);
  g_recording.builder.Restart();
}

void SetBlockFileMemoryUse(bool use) {
  g_memory.use = use;
  g_memory.Clear();
}

long BlockFileReads() { return g_memory.reads; }

void ReplayBlockFileNamed(const std::string& file, long double x, long double y,
                          long double angle, long double scaleX, long double scaleY) {
  ReplayTop(file, nullptr, x, y, angle, scaleX, scaleY);
}

}  // namespace qern
