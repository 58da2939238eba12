// Inside the index unit: the in-memory state of an open index, of a work area's orders and of its
// semaphore file, shared by the B-tree, the creation and the semaphore parts.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tablengine/kpcore.h"
#include "tablengine/kpndx.h"

namespace qern::kelpie::ndx {

using Block = std::array<uint8_t, NdxBlockSize>;

inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The first 24 bytes of the anchor block.
struct AnchorHeader {
  uint32_t Root = 1;
  uint32_t NextFree = 2;
  char KeyType = 'C';
  uint16_t KeyLength = 0;
  uint16_t KeysPerNode = 0;
  uint16_t NumericFlag = 0;
  uint16_t EntrySize = 0;
  uint8_t Unique = 0;
};
void EncodeAnchor(const AnchorHeader& h, uint8_t* block);
AnchorHeader DecodeAnchor(const uint8_t* block);
uint16_t EntrySizeFor(uint16_t keyLength);

// One level of the descent: the block, the entry taken there and a copy of the node.
struct PathLevel {
  uint32_t BlockNo = 0;
  int Entry = 0;
  Block Node{};
};

struct IndexDescriptor {
  IndexDescriptor() = default;
  IndexDescriptor(const IndexDescriptor&) = delete;
  IndexDescriptor& operator=(const IndexDescriptor&) = delete;
  ~IndexDescriptor();
  int Order = 0;
  std::string FileName;
  int Fd = -1;
  // The file mapped shared for reading nodes (nullptr: read with pread): a node costs a copy out of
  // the page cache that every program's writes go through, not a call.
  const uint8_t* Map = nullptr;
  size_t MapLength = 0;
  AnchorHeader H;
  std::string Expression;  // normalised
  bool AnchorChanged = false;
  bool CharKey = true;
  bool Bof = false, Eof = false;
  bool Soundex = false, Descending = false, NoCache = false;
  KeyMaker Maker = nullptr;
  void* MakerArg = nullptr;
  CompiledExpr* Expr = nullptr;
  int ExprLength = 10, ExprDecimals = 0;  // for the key text
  // Current position: the path from the root, the record and key there.
  std::vector<PathLevel> Path;
  bool Positioned = false;
  uint64_t PathStamp = 0;
  uint64_t ModCount = 0;
  uint32_t RecNo = 0;
  uint32_t SyncedRec = 0;  // the area record the position was last matched with
  std::string Key;
  // The key of the area's record KeyRecNo as last taken (for deleting it after a change).
  std::string RecordKey;
  uint32_t KeyRecNo = 0;
};

// The node cache of the controlling order: slots in use order, found through a map.
struct NodeCache {
  struct Slot {
    Block Node;
    size_t Pos;  // in Order
  };
  size_t Slots = 0;
  std::vector<uint32_t> Order;  // block numbers, most favoured first
  std::unordered_map<uint32_t, Slot> Nodes;
  void Clear() {
    Order.clear();
    Nodes.clear();
  }
};

struct SemaphoreState {
  int Fd = -1;
  std::string FileName;
  uint8_t Record[4] = {};
  uint8_t Login = 0;
  uint16_t SeenCounter = 0;
  bool RegionLocked = false;
  bool Reading = false;
  int32_t ReadNest = 0;
  int32_t LockNest = 0;
};

struct AreaIndexState {
  std::array<std::unique_ptr<IndexDescriptor>, MaxOrders + 1> Orders;  // by order number
  int Controlling = 0;  // order number, 0 = natural order
  bool Natural = false;
  NodeCache Cache;
  int ReadProcNest = 0;
  int LockProcNest = 0;
  std::unique_ptr<SemaphoreState> Semaphore;
  bool AnyOpen() const {
    for (const auto& d : Orders)
      if (d) return true;
    return false;
  }
};

// The state of an area (created on first use).
AreaIndexState& AreaState(int area);
AreaIndexState* AreaStateIfAny(int area);
IndexDescriptor* Controlling(int area);

// Node I/O (through the area's cache for the controlling order).
bool ReadNode(int area, IndexDescriptor& d, uint32_t blockNo, Block& out, const char* routine);
bool WriteNode(int area, IndexDescriptor& d, uint32_t blockNo, const Block& node, const char* routine);
bool WriteAnchorNode(int area, IndexDescriptor& d);
void ReadAnchorNodes(int area);

// Key of the current record for an order ("" with an error reported on failure); keys of
// character orders are padded or cut to the key length.
bool MakeRecordKey(IndexDescriptor& d, WorkArea& a, std::string& key);
// The raw key before padding (for the key length at creation).
bool MakeRawKey(IndexDescriptor& d, WorkArea& a, std::string& key);
// Length of the character key made for the area's current record: the characters of the
// expression's value (an umlaut's two-letter spelling is cut to the same room), the Soundex code,
// or a KeyMaker's result. False after an evaluation error.
bool KeyLengthOfRecord(IndexDescriptor& d, WorkArea& a, size_t& length);
int CompareKey(const IndexDescriptor& d, const uint8_t* a, const uint8_t* b, size_t n);
// Option words out of a name; the name keeps its case.
bool TakeOption(std::string& name, const std::string& word);
// The index file of a name: extension and folder added as the table has them, a file of the name in
// another case found (several such files: the name as made).
std::string IndexFileName(const std::string& name, const WorkArea& a);

void ErrorIo(int code, const std::string& text);
// Run with dispatch off; returns the error code the call left (0 = none).
template <class F>
int Quietly(F&& f) {
  const bool previous = SetErrorDispatch(false);
  const uint16_t saved = KelpieErrorCode;
  KelpieErrorCode = 0;
  try {
    f();
  } catch (...) {
    SetErrorDispatch(previous);
    throw;
  }
  const int code = KelpieErrorCode;
  SetErrorDispatch(previous);
  if (code == 0) KelpieErrorCode = saved;
  return code;
}

// Invalidates positions and cache after another program changed the index.
void IndexesChangedOutside(int area);

}  // namespace qern::kelpie::ndx
