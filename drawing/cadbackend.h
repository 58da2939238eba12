// The back ends of the CAD output layer: one class per output device behind one interface, and the
// output file every file-writing back end uses (written complete under its name, or not at all).
// Adding a device is one class here and one line in MakeCadBackEnd.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qern {

class WorkFile;

// One output device. The layer calls these with absolute drawing coordinates (origin offset and
// insert transform already applied), the current pen already selected through SetLayer and the text
// style in CadState. Defaults do nothing, so a back end implements only what its format knows.
class CadBackEnd {
 public:
  virtual ~CadBackEnd() = default;

  // Output control. Open runs once CadFileName is settled (file devices); a failure sets AbortFlag.
  virtual void Open() {}
  // The end of the output: the file is completed (or dropped on a failure, with the message and
  // AbortFlag), the screen repainted, a program started.
  virtual void Close() {}
  // The output ends without Close (a new output began): drop whatever is unfinished.
  virtual void Abandon() {}

  // Structure.
  virtual void BeginDrawing(long double xmin, long double ymin, long double xmax,
                            long double ymax) {}
  virtual void Tables() {}
  virtual void BeginBlocks() {}
  // A block definition; false when it could not be started (AbortFlag is then set).
  virtual bool BeginBlock(const std::string& name) { return true; }
  virtual void EndBlock() {}
  virtual void EndSection() {}
  virtual void BeginEntities() {}
  // An insert of a block this output defined (name as it was defined).
  virtual void Insert(const std::string& name, long double x, long double y, long double angle,
                      long double scaleX, long double scaleY) {}
  // An insert of a user block file; false when this device cannot take it (the layer then lists
  // the block as not found).
  virtual bool InsertUserBlock(const std::string& name, const std::string& file, long double x,
                               long double y, long double angle, long double scaleX,
                               long double scaleY) {
    return false;
  }

  // Attributes.
  virtual void SetLayer(int pen) {}
  virtual void SetLineStyle(int style) {}
  // The style arguments as CadSetTextStyle got them (screen: the angle corrected for its aspect).
  virtual void SetTextStyle(int font, long double angle, long double height, long double width) {}

  // Primitives.
  virtual void Line(long double x1, long double y1, long double x2, long double y2) {}
  // A line of a replay mapped in double (CadTransformInDouble): the screen keeps it so.
  virtual void LineInDouble(double x1, double y1, double x2, double y2) { Line(x1, y1, x2, y2); }
  virtual void Circle(long double x, long double y, long double r) {}
  virtual void Arc(long double x, long double y, long double startAngle, long double endAngle,
                   long double r) {}
  virtual void Text(const std::string& s, long double x, long double y) {}
  virtual void Solid(long double x1, long double y1, long double x2, long double y2,
                     long double x3, long double y3, long double x4, long double y4) {}

  // Native polylines; without them the layer draws lines and arcs.
  virtual bool NativePolylines() const { return false; }
  virtual void PolylineBegin(uint8_t flags) {}
  virtual void Vertex(long double x, long double y, long double bulge) {}
  virtual void PolylineEnd() {}
};

// The back end of a device code; nullptr for a code without one (every primitive is then a no-op).
std::unique_ptr<CadBackEnd> MakeCadBackEnd(int device);
// The back end of the output in progress (nullptr outside CadBeginOutput .. CadEndOutput).
CadBackEnd* CurrentCadBackEnd();
// Puts b in place of the output's back end for a while; returns the one it replaced.
std::unique_ptr<CadBackEnd> SwapCadBackEnd(std::unique_ptr<CadBackEnd> b);
// While a watched drawing draws a piece straight to its output (CadDrawPiece), the texts drawn
// are still shown to the watch through this (nullptr otherwise): a text may be written wider than
// its piece's box allows for.
extern void (*CadPieceTextWatch)(const std::string& s, long double x, long double y);

// A text output file built in memory and written at Commit through a working file (WorkFile), then
// renamed, so a failed or abandoned output never leaves a half-written file under the target name.
class CadOutputFile {
 public:
  CadOutputFile();
  ~CadOutputFile();  // uncommitted output is dropped
  CadOutputFile(const CadOutputFile&) = delete;
  CadOutputFile& operator=(const CadOutputFile&) = delete;

  void Open(const std::string& name);  // starts an empty text for name
  bool IsOpen() const { return open_; }
  const std::string& Name() const { return name_; }
  void Write(const std::string& bytes) { text_ += bytes; }
  void WriteLn(const std::string& bytes) { text_ += bytes; text_ += "\r\n"; }
  std::string& Text() { return text_; }
  // Text written after Text() at Commit, without joining the two (a section built apart).
  std::string& Tail() { return tail_; }
  // Writes the text so far to the working file up to the last whole page of the file and keeps
  // the rest, so a large output is not held whole in memory (the working file is made at the
  // first call); false once a write failed (the commit then fails too).
  bool Spill();
  // Spills the text, then appends the bytes of the file open as fd from its start (a section
  // staged apart), copied by the system where it can; false once a write failed.
  bool SpillFrom(int fd);
  // The output cannot be completed (errno value err): the commit fails.
  void Fail(int err) {
    spillFailed_ = true;
    if (!spillError_) spillError_ = err;
  }
  // Writes the text and renames it to the name; false (nothing left under the name, the I/O code
  // in IoResult) when that fails.
  bool Commit();
  void Discard();
  int IoResult() const { return io_; }

  // Test hook: the next commit fails as with a full disk.
  static void FailNextCommit(bool fail);
  // Benchmark hook: while on, outputs are committed into memory instead of a file (each commit
  // replaces the bytes InMemory holds), so a writer is timed without the disk.
  static void CommitToMemory(bool on);
  static const std::string& InMemory();

 private:
  std::string name_;
  std::string text_, tail_;
  // Spill; whole: the text written to its end.
  bool SpillText(bool whole);
  static constexpr size_t SpillPageBytes = 4096;

  std::unique_ptr<WorkFile> work_;  // the working file once the text was spilled
  size_t spilled_ = 0;              // the bytes written to it so far
  bool open_ = false;
  bool spillFailed_ = false;
  int spillError_ = 0;
  int io_ = 0;
};

// A text for a CAD file: ConvertOutputText, then Windows-1252 bytes (what the DXF header declares),
// a character without a Windows-1252 form as \U+XXXX; line breaks and other control characters
// become blanks so they cannot break the file's lines.
std::string CadFileText(const std::string& s);
// CadFileText writes no more characters than this for each byte of its text (a character of two
// bytes as \U+XXXX); nor does any writer: a text's box is never longer (CadTextCharacters).
constexpr size_t CadTextMostPerByte = 4;
// A name written into a CAD file (layers, blocks): Windows-1252, control characters as blanks.
std::string CadFileValue(const std::string& s);

// Reports a failed commit of an output file ("<name> konnte nicht geschrieben werden" with the
// I/O text) and sets AbortFlag.
void ReportCadWriteError(const CadOutputFile& f);

// Forgets the blocks the last output defined (the layer calls it when an output begins and ends).
void ResetCadBlocks();

}  // namespace qern
