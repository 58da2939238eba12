// Replay of DXF block files "$name.dx$" on the screen: the entities are read back and drawn through
// the transformed primitives of the CAD layer with the composed insert transform; inserts inside a
// block file are replayed recursively, up to four files deep. The files may be the user's own.
#pragma once

#include <string>
#include <string_view>

#include "framework/textfile.h"

namespace qern {

// Block files open at once at most (nesting depth).
constexpr int MaxBlockDepth = 4;

// Replays the block file of name at (x, y) with angle (degrees) and scales, composed with the
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
// replayed from memory at every insert (a drawing inserts one tooth block a thousand times); a
// block file the output writes itself is taken from the text it wrote. The display list and the
// messages are the same as when every insert reads its file. The screen back end opens the memory
// at the start of an output and closes it at the end; a block file it writes anew replaces the
// old one. Outside an open memory every replay reads its file.
void OpenBlockFileMemory();
void CloseBlockFileMemory();
void ForgetBlockFile(const std::string& file);
// A block file just written with this text: within the open memory its inserts replay the text
// as the file holds it, without reading the file back (its first insert only checks that the file
// is still there).
void RememberBlockFile(const std::string& file, const std::string& text);
// The groups of the block file being written, as the DXF writer writes them (between the start and
// RememberBlockFile, which takes them instead of reading its text when they read back alike): the
// group's code, value, and where its lines begin and end in the text.
void StartBlockGroupRecording();
void RecordBlockGroup(int code, std::string_view value, std::size_t begin, std::size_t end);
// The same for a number written as the digits of scaled with decimals of them after the point,
// after a "-" when negative.
void RecordBlockGroupNumber(int code, bool negative, unsigned long long scaled, int decimals,
                            std::string_view value, std::size_t begin, std::size_t end);
// False: every insert reads its file again even within an output, and its steps keep every pen
// set again (for comparisons).
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
