// IGES writer: fixed 80-column records in the sections S, G, D, P and T, the entities of the drawings
// (line 110, arc 100, copious data 106/11, note 212, subfigure 308, instance 408, matrix 124), and the
// IGES back end of the CAD output layer. Texts are written in Windows-1252 (one byte per character),
// so Hollerith counts and record columns count the bytes of the file.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/cadbackend.h"

namespace qern {

// The writer's state for one file; IgesResetCounters starts it afresh.
struct IgesWriterState {
  int S = 0, G = 0, D = 0, P = 0, T = 0;  // records per section (also their sequence numbers)
  int IgesEntityNumber = -1;              // directory number of the current entity (1, 3, 5 ...)
  int IgesParameterPointer = 1;           // first P sequence number of the next entity
  int IgesParameterLines = 0;             // P records of the current entity
  int IgesColor = 0;                      // IGES colour number of the following entities
  int IgesLineFont = 1;                   // IGES line font pattern of the following entities
  bool IgesInSubfigure = false;           // a subfigure definition is open
  int IgesMemberCount = 0, IgesBlockCount = 0;
  std::vector<int> Members;  // entity numbers of the open subfigure's members
  struct Subfigure {
    std::string Name;
    int Directory = 0;  // directory number of its 308 entity
  };
  std::vector<Subfigure> Blocks;  // subfigures defined in this file
  // Shared matrices by the bits of their angle, x and y.
  using MatrixKey = std::array<unsigned char, 32>;
  struct MatrixKeyHash {
    size_t operator()(const MatrixKey& k) const {
      std::uint64_t h = 0;
      for (size_t i = 0; i < k.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, k.data() + i, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ULL;
      }
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  struct Matrix {
    MatrixKey key;
    int entity;
  };
  std::vector<Matrix> MatrixOrder;  // as written
  // The matrices by their keys: an open table of indices into MatrixOrder, each plus one (0: a
  // free slot), at most half full (no node to make and free for each of a wheel's rotations).
  std::vector<std::uint32_t> MatrixSlots;
  size_t NextMatrix = 0;  // the one after the last found
  std::string Directory;          // the D section as written
  std::string Parameters;         // the P section, appended at the end
};
extern IgesWriterState Iges;

// Where the start, global, directory and terminate records go (the output file's text).
extern std::string* IgesOut;

// Number and string texts.
std::string IgesReal(long double x);                  // 3 decimals (shifted by Decimals), "."
std::string IgesHollerith(const std::string& bytes);  // "4HFILE"
// The generation date and time "YYYYMMDD.HHNNSS" of the global section.
std::string IgesDate(int year, int month, int day, int hour, int minute, int second);

// One 80-column record: data from column 1, a trailing field ending at column 72, the section
// letter in column 73, the sequence number (7 digits) in 74-80.
std::string IgesRecord(const std::string& data, const std::string& trailing, char letter, int seq);
void IgesWriteRecord(std::string& file, const std::string& text, const std::string& trailing,
                     char letter);
// A parameter text as P records of at most 64 data columns with the entity number in 65-72. Records
// break after a delimiter outside Hollerith strings; a string too long for one record continues on
// the next (the record is then filled to column 64).
void IgesWriteParameters(std::string& file, std::string_view text, int entityNumber);
// A delimited text cut into pieces of at most width columns by the same rule.
std::vector<std::string> IgesSplitParameters(const std::string& text, size_t width);

void IgesOpenParameterFile();
void IgesResetCounters();
// The S and G sections; fileName is the output's base name, the date "YYYYMMDD.HHNNSS".
void IgesStartAndGlobal(const std::string& fileName, long double maxCoordinate,
                        const std::string& date);
// The P section and the T record after the D section.
void IgesEndFile();

// Directory fields: each trimmed of blanks, cut to 8 columns and right-aligned in them.
std::string IgesDirectoryEntry(const std::vector<std::string>& fields);

// Entities.
void IgesLine(long double x1, long double y1, long double x2, long double y2);
void IgesArc(long double xc, long double yc, long double x1, long double y1, long double x2,
             long double y2);
void IgesCircle(long double x, long double y, long double r);
void IgesSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
               long double y3, long double x4, long double y4);
void IgesText(const std::string& s, long double x, long double y);
void IgesInsert(const std::string& name, long double x, long double y, long double angle,
                long double scale);
// An instance of the subfigure whose 308 entity has the directory number d.
void IgesInstance(int d, long double x, long double y, long double angle, long double scale);
// The same at scale 1, its transformation matrix written once for each rotation and place and
// shared by the instances that have them (as the teeth of wheels turned alike, at any scale), in
// one record where it fits (a rotation about the origin always does).
void IgesSharedInstance(int d, long double x, long double y, long double angle);

// Subfigures: names are matched without regard to case.
void IgesBeginBlock(const std::string& name);
void IgesEndBlock();
// The 308 entity of the open subfigure's members under name (the subfigure is closed); its
// directory number. The member numbers go in groups of twelve, or packed into as few records as
// they fill (a scaled wheel's thousands of teeth).
int IgesWriteSubfigure(const std::string& name, bool packed = false);
// Index into Iges.Blocks, -1 (with "Blockname <name> not found !" listed) when none.
int IgesFindBlock(const std::string& name);
void IgesAddToBlock();

void IgesSetLayer(int pen);
void IgesSetColor(int c);  // program colour 0..15; others count as 0
void IgesSetLineFont(int n);

// A 2D path (copious data 106 form 11) through the points.
void IgesPath(const std::vector<long double>& xy);

// IGES device: the file is written through its working file as it grows. An insert at scale 1 is a
// subfigure instance; a scaled one (which common readers drop, and whose unequal scales an
// instance cannot carry) is an instance at scale 1 of the block's subfigure scaled once, written
// when a scale is first used (a block inserted inside it stays an instance where the scales allow,
// and is written in place, transformed, where they do not). Every rotated instance shares the
// matrix of its rotation and place with the other instances of the file.
// Block definitions are held until their first use at scale 1 (see Held).
class IgesBackEnd : public CadBackEnd {
 public:
  ~IgesBackEnd() override { CloseStaging(); }
  void Open() override;
  void Close() override;
  void Abandon() override;
  void BeginDrawing(long double xmin, long double ymin, long double xmax,
                    long double ymax) override;
  bool BeginBlock(const std::string& name) override;
  void EndBlock() override;
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY) override;
  void SetLayer(int pen) override;
  void Line(long double x1, long double y1, long double x2, long double y2) override;
  void Circle(long double x, long double y, long double r) override;
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r) override;
  void Text(const std::string& s, long double x, long double y) override;
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override;

 private:
  // A call inside a block definition, kept so that a scaled insert can repeat it transformed: its
  // numbers (a text's: x, y, height, width, rotation) are kept one after the other in its block,
  // and its text (a text, or the inserted block's name) by index.
  struct Call {
    enum Kind : std::uint8_t { Layer, Line, Circle, Arc, Text, Solid, Insert } kind;
    explicit Call(Kind k) : kind(k) {}
    int pen = 0;
    std::uint32_t value = 0, text = 0;
  };
  struct Recorded {
    std::string key;  // the block's name, lower case
    int colour = 0, font = 1;  // the pen it began with
    bool held = false;         // recorded, its subfigure not yet written
    std::vector<Call> calls;
    size_t inserts = 0;  // of its calls
    // The numbers of its calls, each call's one after the other in pieces of room that are
    // never moved (a wheel records thousands of inserts: growing one room by doubling copied
    // them again and again into fresh memory) and not cleared first.
    struct Numbers {
      static constexpr size_t Piece = 1024;  // numbers a piece (a call has at most 8)
      std::vector<std::unique_ptr<long double[]>> pieces;
      size_t used = 0;  // the positions taken (a call that would not fit a piece's end skips it)
      const long double* At(size_t i) const { return pieces[i / Piece].get() + i % Piece; }
      // Room for n more at position used - n afterwards; where they go.
      long double* Add(size_t n);
    } values;
    std::vector<std::string> texts;
  };
  // An affine map x' = a x + b y + e, y' = c x + d y + f.
  struct Affine {
    long double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  };
  // Room for the numbers of a new call in the block being defined, filled in by the caller;
  // nullptr when none is. Inline: every entity asks, and most are outside blocks.
  long double* Record(Call::Kind kind, size_t values, const std::string* text = nullptr,
                      int pen = 0) {
    return recording_ ? NewCall(kind, values, text, pen) : nullptr;
  }
  long double* NewCall(Call::Kind kind, size_t values, const std::string* text, int pen);
  void Expand(const std::string& name, const Affine& m, int depth);
  // The directory number of the block's subfigure scaled by scaleX and scaleY (0 when there is
  // none), written at its first use.
  int ScaledDefinition(const std::string& name, long double scaleX, long double scaleY, int depth);
  // A large file is not held whole: the directory so far goes to the working file, the parameter
  // section so far to a staging file, each once it holds SpillBytes.
  void Drain();
  // Blocks are held (recorded, not written) until their first use at scale 1 (an insert, or one
  // inside a block written so); those never used so are left out (a wheel drawn scaled needs no
  // copy of its teeth at scale 1), unless the drawing has nothing outside its blocks: they are then
  // all written at the end, as they came.
  bool Held() const;
  // IgesFindBlock, held blocks included.
  int Find(const std::string& name);
  // Something is drawn outside the blocks (see Held).
  void Drawn();
  // The directory number of a block's subfigure, written first where it was held; 0 for none.
  int BlockDirectory(const std::string& name);
  int BlockDirectory(size_t k);
  // An insert: an instance of the block's subfigure, or of its subfigure scaled once.
  void Instance(const std::string& name, long double x, long double y, long double angle,
                long double scaleX, long double scaleY);
  void StageParameters();
  void CloseStaging();
  static constexpr size_t SpillBytes = 256 * 1024;

  // A block scaled once, for the pen its first insert had.
  struct Scaled {
    std::string key;
    long double scaleX, scaleY;
    int colour, font;
    int directory;
  };

  CadOutputFile file_;
  std::vector<Recorded> blocks_;  // defined blocks
  bool recording_ = false;
  bool pending_ = true;  // nothing drawn outside the blocks yet
  std::vector<Scaled> scaled_;
  int staged_ = -1;  // the parameter section so far, when it grew large (a file without a name)
  bool stageFailed_ = false;
  int stageError_ = 0;
};

}  // namespace qern
