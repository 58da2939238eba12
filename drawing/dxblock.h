// Replay of DXF blocks on the screen, the user's block files "$name.dx$" and the blocks the screen
// defines itself (kept in memory): the entities are read back and drawn through the transformed
// primitives of the CAD layer with the composed insert transform; inserts inside a block are
// replayed recursively, up to four blocks deep.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "framework/textfile.h"

namespace qern {

// Block files open at once at most (nesting depth).
constexpr int MaxBlockDepth = 4;

// Replays the block of name (one the screen defined in this output, else the user's block file) at
// (x, y) with angle (degrees) and scales, composed with the
// current insert transform of CadState (the caller resets it for a top-level insert). An unknown
// block lists "Blockname <name> not found !" and draws nothing; a block file that cannot be read
// lists "Invalid temp directory" and sets AbortFlag; nesting deeper than four files shows
// "error blockno.<depth>" and skips that insert. The transform is restored in every case.
void ReplayBlockFile(const std::string& name, long double x, long double y, long double angle,
                     long double scaleX, long double scaleY);
// The same for a given block file.
void ReplayBlockFileNamed(const std::string& file, long double x, long double y,
                          long double angle, long double scaleX, long double scaleY);

// Within one screen output each block file is read once, turned into the steps of its replay and
// replayed from memory at every insert (a drawing inserts one tooth block a thousand times). The
// display list and the messages are the same as when every insert reads its file. The screen back
// end opens the memory at the start of an output and closes it at the end. Outside an open memory
// every replay reads its file.
void OpenBlockFileMemory();
void CloseBlockFileMemory();
// A block the screen has just defined, with its DXF text: it lives in memory only, for the rest of
// the output (no file is written), and its inserts (those inside block files too) replay it. A
// block defined again replaces it.
void KeepScreenBlock(const std::string& name, std::string text);
// The steps of a block the screen defines, made as its shapes come while the memory is on: the
// steps that reading back the DXF text the writer would write for the block gives (numbers
// rounded to the places written, layers as pens, texts as written), without the text. Keep hands
// the block over as KeepScreenBlock does.
class ScreenBlockMaker {
 public:
  ScreenBlockMaker();
  ~ScreenBlockMaker();
  ScreenBlockMaker(const ScreenBlockMaker&) = delete;
  ScreenBlockMaker& operator=(const ScreenBlockMaker&) = delete;
  void Line(long double x1, long double y1, long double x2, long double y2);
  void Circle(long double x, long double y, long double r);
  void Arc(long double x, long double y, long double startAngle, long double endAngle,
           long double r);
  void Text(const std::string& s, long double x, long double y);
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4);
  void Insert(const std::string& name, long double x, long double y, long double angle,
              long double scaleX, long double scaleY);
  void Keep(const std::string& name);

 private:
  class Maker;
  std::unique_ptr<Maker> maker_;
};
// Whether the screen's blocks are made by ScreenBlockMaker (the memory is open and on); else
// through their DXF text and KeepScreenBlock.
bool ScreenBlocksMadeDirectly();

// Replays the block the screen defined as name (case ignored) like ReplayBlockFileNamed; one that
// is not kept lists "Invalid temp directory" and sets AbortFlag.
void ReplayScreenBlock(const std::string& name, long double x, long double y, long double angle,
                       long double scaleX, long double scaleY);
// The groups of the screen's block being written, as the DXF writer writes them (between the start
// and KeepScreenBlock, which takes them instead of reading its text when they read back alike): the
// group's code, value, and where its lines begin and end in the text.
void StartBlockGroupRecording();
void RecordBlockGroup(int code, std::string_view value, std::size_t begin, std::size_t end);
// The same for a number written as the digits of scaled with decimals of them after the point,
// after a "-" when negative.
void RecordBlockGroupNumber(int code, bool negative, unsigned long long scaled, int decimals,
                            std::string_view value, std::size_t begin, std::size_t end);
// False: every insert reads its file (a screen block: its text) again even within an output, and
// its steps keep every pen set again (for comparisons).
void SetBlockFileMemoryUse(bool use);
// Block files read from disk since the program started.
long BlockFileReads();

// Pen number of a layer name: the first of CadLayerNames[0..5] equal to it (or to the name written
// for it), else the name read as a whole number, else 0.
int LayerNumber(const std::string& value);

// A group value as a number, exactly as StrToReal reads it (0 when it is none or not finite); plain
// decimals such as the DXF writer's "-12.345678" take a quick way.
long double DxfValueNumber(const std::string& value);

// Reads the group pairs of a DXF text: a code line (an integer, blanks allowed) and a value line.
class DxfGroupReader {
 public:
  explicit DxfGroupReader(TextFile& file) : file_(file) {}
  // The next group; false at the end of the file or on a code line that is not a number.
  bool Next();
  int Code() const { return code_; }
  const std::string& Value() const { return value_; }
  long double Real() const;  // the value as a number (0 when it is none)

 private:
  TextFile& file_;
  int code_ = 0;
  std::string value_;
};

}  // namespace qern
