// Memo files of the table engine: DBT files of dBase III and IV and FPT files; reading, appending,
// replacing with the free chain, copying between tables, packing, and a text device over a memo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tablengine/kpcore.h"

namespace qern::kelpie {

// The open memo file of a work area.
struct MemoFileState {
  int Fd = -1;
  std::string Name;
  uint8_t Type = 0x83;  // 0x83 dBase III, 0x8B dBase IV, 0xF5 FPT
  uint16_t BlockSize = 512;
  bool Locked = false;
  uint32_t BlocksWritten = 0;  // added to the dBase IV counter at offset 32
};

// A text device over one memo: lines are read from it or written into it.
struct MemoTextFile {
  int Area = 0;
  int32_t* Block = nullptr;
  int Mode = 0;  // 0 closed, 1 reading, 2 writing
  std::vector<std::string> Lines;
  size_t Pos = 0;
};

// The memo line buffer (engine bytes) and its capacity in lines.
extern std::vector<std::string> MemoLines;
extern size_t MemoLineCapacity;
constexpr size_t MemoLineWidth = 255;

// Memo type of the current table (0x83, 0x8B or 0xF5) from its version byte.
uint8_t GetMemoType();
void USE(const std::string& tableName);
void CloseMemofile();
// The memo starting at firstBlock as text (engine bytes), and as lines into MemoLines.
std::string ReadMemo(int32_t firstBlock);
void GetMemo(int32_t firstBlock);
// A new memo at the end of the file; its first block (0 after an error).
int32_t AddMemo(const std::string& text);
// Writes text as the memo that replaces the one at oldBlock; returns its first block.
int32_t EditMemo(int32_t oldBlock, const std::string& text);
// The same with MemoLines as the text.
int32_t EditMemoLines(int32_t oldBlock);
// Copies one memo of another area's memo file: mode 0 to the end, mode 1 to the same block.
int32_t CopyMemo(int sourceArea, int32_t firstBlock, int mode);
void PackMemofile();
// Closes the memo file of the current table, makes it anew empty and opens it.
void RecreateMemofile();

// Memo fields of the current record: the text, and a new text written to the memo file (the
// typed record takes the new block; Replace or Append stores it).
std::string MemoFieldText(int n);
std::string MemoFieldUtf8(int n);
// The memo at firstBlock of the table in area (engine bytes); the current area stays.
std::string ReadMemoOf(int area, int32_t firstBlock);
void PutMemoField(int n, const std::string& text);
void PutMemoFieldUtf8(int n, const std::string& utf8);

// The text device.
void AssignMemo(MemoTextFile& file, int32_t& firstBlock);
void MemoReset(MemoTextFile& file);    // open for reading
void MemoRewrite(MemoTextFile& file);  // open for writing (an empty memo)
void MemoAppend(MemoTextFile& file);   // open for writing after the present lines
bool MemoReadLn(MemoTextFile& file, std::string& line);
void MemoWriteLn(MemoTextFile& file, const std::string& line);
void MemoClose(MemoTextFile& file);

// Installs the memo unit into the engine core's hook table.
void MemoInit();

}  // namespace qern::kelpie
