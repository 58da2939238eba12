// NDX index files: anchor and nodes, opening and closing orders, the node cache, seek, top, bottom,
// next and prior, key insertion with node splits, key deletion, key upkeep and the core's hooks.
#include "tablengine/kpndx.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tablengine/kpapi.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpndxint.h"
#include "tablengine/kpparser.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

uint32_t IndexCacheSize = 4096;
bool IndexNoCache = false;
int SemaphoreWaitLimit = 100;
std::string SemaphoreFolder;
uint32_t IndexSortRunItems = 1u << 20;
std::function<void()> IndexProgress;
int IndexProgressCalls = 0;
bool IndexFound = false;

namespace ndx {

namespace {

// Per-area states; plain pointers so that the unit can start before other objects are built.
AreaIndexState* areaStates[MaxWorkAreas + 1] = {};

constexpr int kMaxDepth = 40;

uint32_t Count(const Block& n) { return Get32(n.data()) & 0xFFFF; }
void SetCount(Block& n, uint32_t k) { Put32(n.data(), k); }
uint8_t* EntryAt(Block& n, const IndexDescriptor& d, uint32_t i) { return n.data() + 4 + i * d.H.EntrySize; }
const uint8_t* EntryAt(const Block& n, const IndexDescriptor& d, uint32_t i) {
  return n.data() + 4 + i * d.H.EntrySize;
}
uint32_t ChildOf(const Block& n, const IndexDescriptor& d, uint32_t i) { return Get32(EntryAt(n, d, i)); }
uint32_t RecOf(const Block& n, const IndexDescriptor& d, uint32_t i) { return Get32(EntryAt(n, d, i) + 4); }
const uint8_t* KeyOf(const Block& n, const IndexDescriptor& d, uint32_t i) { return EntryAt(n, d, i) + 8; }
bool IsLeaf(const Block& n, const IndexDescriptor& d) { return ChildOf(n, d, 0) == 0; }



std::string Quote(const std::string& s) { return "\"" + s + "\""; }

// The printable form of a key for messages.
std::string KeyForText(const IndexDescriptor& d, const std::string& key) {
  if (d.CharKey) return key;
  double v = 0;
  if (key.size() >= 8) std::memcpy(&v, key.data(), 8);
  return std::to_string(v);
}

struct Ctx {
  int Area;
  WorkArea* A;
  AreaIndexState* S;
};

bool CurrentCtx(Ctx& c, const char* routine) {
  c.Area = CurrentArea;
  c.A = CheckWorkArea(routine);
  if (!c.A) return false;
  c.S = &AreaState(c.Area);
  return true;
}

void MarkPositioned(IndexDescriptor& d) {
  d.Positioned = true;
  d.PathStamp = d.ModCount;
}

bool PathValid(const IndexDescriptor& d) { return d.Positioned && d.PathStamp == d.ModCount && !d.Path.empty(); }

void TakeEntry(IndexDescriptor& d) {
  const PathLevel& leaf = d.Path.back();
  if (static_cast<uint32_t>(leaf.Entry) < Count(leaf.Node)) {
    d.RecNo = RecOf(leaf.Node, d, leaf.Entry);
    d.Key.assign(reinterpret_cast<const char*>(KeyOf(leaf.Node, d, leaf.Entry)), d.H.KeyLength);
  }
}

// First entry whose key is not smaller than key (compared over n bytes).
uint32_t SearchNode(const IndexDescriptor& d, const Block& node, const uint8_t* key, size_t n) {
  uint32_t lo = 0, hi = Count(node);
  while (lo < hi) {
    const uint32_t mid = (lo + hi) / 2;
    if (CompareKey(d, KeyOf(node, d, mid), key, n) < 0) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

void Corrupt(const IndexDescriptor& d, const std::string& routine) {
  SetError(222, "Beschädigte Index-Datei: " + d.FileName + " [" + routine + "]");
}

// From block down to a leaf along the first (leftmost) or the last child.
bool DescendEdge(Ctx& c, IndexDescriptor& d, uint32_t blockNo, bool leftmost) {
  for (;;) {
    if (d.Path.size() > kMaxDepth) {
      Corrupt(d, "GetNode");
      return false;
    }
    PathLevel lv;
    lv.BlockNo = blockNo;
    if (!ReadNode(c.Area, d, blockNo, lv.Node, "GetNode")) return false;
    const uint32_t k = Count(lv.Node);
    const bool leaf = IsLeaf(lv.Node, d);
    if (leaf) lv.Entry = leftmost ? 0 : static_cast<int>(k) - 1;
    else lv.Entry = leftmost ? 0 : static_cast<int>(k);
    d.Path.push_back(lv);
    if (leaf) return true;
    blockNo = ChildOf(lv.Node, d, lv.Entry);
  }
}

// Descent for a key: every level takes the first entry not smaller (the trailing child after all).
bool Descend(Ctx& c, IndexDescriptor& d, const uint8_t* key, size_t n) {
  d.Path.clear();
  uint32_t b = d.H.Root;
  for (;;) {
    if (d.Path.size() > kMaxDepth) {
      Corrupt(d, "Seek");
      return false;
    }
    PathLevel lv;
    lv.BlockNo = b;
    if (!ReadNode(c.Area, d, b, lv.Node, "Seek")) return false;
    lv.Entry = static_cast<int>(SearchNode(d, lv.Node, key, n));
    d.Path.push_back(lv);
    if (IsLeaf(d.Path.back().Node, d)) return true;
    b = ChildOf(d.Path.back().Node, d, lv.Entry);
  }
}

bool StepNext(Ctx& c, IndexDescriptor& d) {
  // Empty leaves are passed over; more of them than blocks in the file means a damaged tree.
  for (uint32_t passed = 0;; ++passed) {
    if (passed > d.H.NextFree) {
      Corrupt(d, "_FindNextRec");
      return false;
    }
    if (d.Path.empty()) return false;
    PathLevel& leaf = d.Path.back();
    if (static_cast<uint32_t>(leaf.Entry) + 1 < Count(leaf.Node)) {
      ++leaf.Entry;
      TakeEntry(d);
      return true;
    }
    // Up to a node where the child left is not the last one.
    int l = static_cast<int>(d.Path.size()) - 2;
    while (l >= 0 && static_cast<uint32_t>(d.Path[l].Entry) >= Count(d.Path[l].Node)) --l;
    if (l < 0) return false;
    const std::vector<PathLevel> saved = d.Path;
    d.Path.resize(static_cast<size_t>(l) + 1);
    PathLevel& up = d.Path.back();
    ++up.Entry;
    if (!DescendEdge(c, d, ChildOf(up.Node, d, up.Entry), true)) {
      d.Path = saved;
      return false;
    }
    if (Count(d.Path.back().Node) > 0) {
      TakeEntry(d);
      return true;
    }
    d.Path.back().Entry = -1;  // an empty leaf: go on to the next one
  }
}

bool StepPrior(Ctx& c, IndexDescriptor& d) {
  for (uint32_t passed = 0;; ++passed) {
    if (passed > d.H.NextFree) {
      Corrupt(d, "_FindPriorRec");
      return false;
    }
    if (d.Path.empty()) return false;
    PathLevel& leaf = d.Path.back();
    if (leaf.Entry > 0 && Count(leaf.Node) > 0) {
      leaf.Entry = std::min<int>(leaf.Entry - 1, static_cast<int>(Count(leaf.Node)) - 1);
      TakeEntry(d);
      return true;
    }
    int l = static_cast<int>(d.Path.size()) - 2;
    while (l >= 0 && d.Path[l].Entry <= 0) --l;
    if (l < 0) return false;
    const std::vector<PathLevel> saved = d.Path;
    d.Path.resize(static_cast<size_t>(l) + 1);
    PathLevel& up = d.Path.back();
    --up.Entry;
    if (!DescendEdge(c, d, ChildOf(up.Node, d, up.Entry), false)) {
      d.Path = saved;
      return false;
    }
    if (Count(d.Path.back().Node) > 0) {
      TakeEntry(d);
      return true;
    }
    d.Path.back().Entry = 0;
  }
}

// Top or bottom; false for an empty index (or an error).
bool GoEdge(Ctx& c, IndexDescriptor& d, bool top) {
  d.Path.clear();
  if (!DescendEdge(c, d, d.H.Root, top)) return false;
  MarkPositioned(d);
  if (Count(d.Path.back().Node) == 0) {
    d.Path.back().Entry = top ? -1 : 0;
    if (!(top ? StepNext(c, d) : StepPrior(c, d))) return false;
  }
  TakeEntry(d);
  return true;
}

// Seek: positions on the first key not smaller than key (over n bytes); true when equal.
// After every key: end of file.
bool SeekKey(Ctx& c, IndexDescriptor& d, const uint8_t* key, size_t n) {
  if (!Descend(c, d, key, n)) return false;
  MarkPositioned(d);
  PathLevel& leaf = d.Path.back();
  const uint32_t k = Count(leaf.Node);
  if (static_cast<uint32_t>(leaf.Entry) >= k) {
    leaf.Entry = static_cast<int>(k) - 1;
    if (!StepNext(c, d)) {
      d.Eof = true;
      d.Bof = false;
      return false;
    }
  }
  TakeEntry(d);
  d.Eof = d.Bof = false;
  return CompareKey(d, reinterpret_cast<const uint8_t*>(d.Key.data()), key, n) == 0;
}

// Finds the entry of a record by walking every leaf (when its key is not known).
bool ScanForRecord(Ctx& c, IndexDescriptor& d, uint32_t rec) {
  if (!GoEdge(c, d, true)) return false;
  const uint64_t most = static_cast<uint64_t>(d.H.NextFree) * d.H.KeysPerNode;
  uint64_t seen = 0;
  do {
    if (d.RecNo == rec) return true;
  } while (++seen < most && StepNext(c, d));
  return false;
}

// Positions the order on the key and record; true when found.
bool FindEntry(Ctx& c, IndexDescriptor& d, const std::string& key, uint32_t rec) {
  const auto* k = reinterpret_cast<const uint8_t*>(key.data());
  bool found = SeekKey(c, d, k, key.size());
  while (found && d.RecNo != rec) {
    if (!StepNext(c, d) || CompareKey(d, reinterpret_cast<const uint8_t*>(d.Key.data()), k, key.size()) != 0)
      found = false;
  }
  return found;
}

void WriteAnchorHeader(Ctx& c, IndexDescriptor& d) {
  Block b{};
  EncodeAnchor(d.H, b.data());
  if (!WriteAt(d.Fd, b.data(), 24, 0))
    SetError(IoCodeFromErrno(errno), "Fehler beim Schreiben der Index-Datei:  " + d.FileName + " [WriteAnchorNode]");
  (void)c;
}

uint32_t NewBlock(IndexDescriptor& d) {
  d.AnchorChanged = true;
  return d.H.NextFree++;
}

// Inserts entry at pos of the node at path level; for an interior node rightChild becomes the
// child of the entry after it. A full node is split first.
bool InsertEntry(Ctx& c, IndexDescriptor& d, size_t level, uint32_t pos, const uint8_t* entry, uint32_t rightChild) {
  PathLevel& lv = d.Path[level];
  const uint32_t es = d.H.EntrySize;
  const uint32_t n = d.H.KeysPerNode;
  const uint32_t k = Count(lv.Node);
  const bool leaf = IsLeaf(lv.Node, d) && rightChild == 0;
  const uint32_t slots = leaf ? k : k + 1;  // entries held, with the trailing child of an interior node
  // The trailing child of an interior node has room for its pointer only.
  std::vector<uint8_t> t((slots + 1) * es, 0);
  std::memcpy(t.data(), EntryAt(lv.Node, d, 0), static_cast<size_t>(k) * es + (leaf ? 0 : 4));
  if (pos > slots) pos = slots;
  std::memmove(t.data() + (pos + 1) * es, t.data() + pos * es, static_cast<size_t>(slots - pos) * es);
  std::memcpy(t.data() + pos * es, entry, es);
  if (!leaf) Put32(t.data() + (pos + 1) * es, rightChild);
  const uint32_t keys = k + 1;
  auto fill = [&](Block& node, uint32_t from, uint32_t count, uint32_t entries) {
    node.fill(0);
    SetCount(node, count);
    const size_t bytes = entries > count ? static_cast<size_t>(count) * es + 4 : static_cast<size_t>(count) * es;
    std::memcpy(node.data() + 4, t.data() + from * es, bytes);
  };
  if (keys <= n) {
    Block node;
    fill(node, 0, keys, leaf ? keys : keys + 1);
    lv.Node = node;
    return WriteNode(c.Area, d, lv.BlockNo, node, "SeekAndWrite");
  }
  // Split: the lower n - n div 2 entries stay, the upper n div 2 move to a new block; the new
  // entry then sits in the half where it belongs.
  const uint32_t lower = n - n / 2;
  Block left, right;
  std::vector<uint8_t> sep(es, 0);
  if (leaf) {
    const uint32_t at = pos < lower ? lower + 1 : lower;
    fill(left, 0, at, at);
    fill(right, at, keys - at, keys - at);
    std::memcpy(sep.data(), t.data() + (at - 1) * es, es);
  } else {
    const uint32_t at = pos <= lower - 1 ? lower : lower - 1;  // the key that moves up
    fill(left, 0, at, at + 1);
    fill(right, at + 1, keys - at - 1, keys - at);
    std::memcpy(sep.data(), t.data() + at * es, es);
  }
  const uint32_t oldBlock = lv.BlockNo;
  const uint32_t newBlock = NewBlock(d);
  Put32(sep.data(), oldBlock);
  Put32(sep.data() + 4, 0);  // interior entries carry no record number
  if (!WriteNode(c.Area, d, oldBlock, left, "SeekAndWrite") || !WriteNode(c.Area, d, newBlock, right, "SeekAndWrite"))
    return false;
  if (level == 0) {
    const uint32_t root = NewBlock(d);
    Block r{};
    SetCount(r, 1);
    std::memcpy(r.data() + 4, sep.data(), es);
    Put32(r.data() + 4 + es, newBlock);
    if (!WriteNode(c.Area, d, root, r, "SeekAndWrite")) return false;
    d.H.Root = root;
    return true;
  }
  return InsertEntry(c, d, level - 1, static_cast<uint32_t>(d.Path[level - 1].Entry), sep.data(), newBlock);
}

bool ResetEmpty(Ctx& c, IndexDescriptor& d) {
  d.H.Root = 1;
  d.H.NextFree = 2;
  d.AnchorChanged = true;
  Block empty{};
  if (!WriteNode(c.Area, d, 1, empty, "SeekAndWrite")) return false;
  if (::ftruncate(d.Fd, 2 * NdxBlockSize) != 0) {
  }
  c.S->Cache.Clear();
  return true;
}

// The parent's separator of the node at level follows the node's new last key.
bool UpdateSeparator(Ctx& c, IndexDescriptor& d, size_t level) {
  const Block& node = d.Path[level].Node;
  const uint32_t k = Count(node);
  if (k == 0) return true;
  const uint8_t* last = EntryAt(node, d, k - 1);
  for (size_t l = level; l-- > 0;) {
    PathLevel& up = d.Path[l];
    if (static_cast<uint32_t>(up.Entry) < Count(up.Node)) {
      std::memcpy(EntryAt(up.Node, d, up.Entry) + 8, last + 8, d.H.EntrySize - 8u);
      return WriteNode(c.Area, d, up.BlockNo, up.Node, "SeekAndWrite");
    }
  }
  return true;
}

bool RemoveChildRef(Ctx& c, IndexDescriptor& d, size_t level);

bool RemoveAt(Ctx& c, IndexDescriptor& d, size_t level) {
  PathLevel& lv = d.Path[level];
  const uint32_t es = d.H.EntrySize;
  const uint32_t k = Count(lv.Node);
  const uint32_t i = static_cast<uint32_t>(lv.Entry);
  if (i >= k) return false;
  std::memmove(EntryAt(lv.Node, d, i), EntryAt(lv.Node, d, i + 1), static_cast<size_t>(k - 1 - i) * es);
  std::memset(EntryAt(lv.Node, d, k - 1), 0, es);
  SetCount(lv.Node, k - 1);
  if (k - 1 == 0) {
    if (level == 0) return ResetEmpty(c, d);
    return RemoveChildRef(c, d, level - 1);
  }
  if (!WriteNode(c.Area, d, lv.BlockNo, lv.Node, "SeekAndWrite")) return false;
  return i == k - 1 ? UpdateSeparator(c, d, level) : true;
}

// Removes the reference to the emptied child d.Path[level + 1] from the node at level.
bool RemoveChildRef(Ctx& c, IndexDescriptor& d, size_t level) {
  PathLevel& lv = d.Path[level];
  const uint32_t es = d.H.EntrySize;
  const uint32_t k = Count(lv.Node);
  const uint32_t e = static_cast<uint32_t>(lv.Entry);
  if (k == 0) {
    if (level == 0) return ResetEmpty(c, d);
    return RemoveChildRef(c, d, level - 1);
  }
  if (e < k) {
    std::memmove(EntryAt(lv.Node, d, e), EntryAt(lv.Node, d, e + 1), static_cast<size_t>(k - e - 1) * es + 4);
    std::memset(EntryAt(lv.Node, d, k - 1) + 4, 0, es);
  } else {
    // The trailing child goes: the child of the last key becomes the trailing one.
    std::memset(EntryAt(lv.Node, d, k - 1) + 4, 0, es);
  }
  SetCount(lv.Node, k - 1);
  if (level == 0 && k - 1 == 0) {
    // A root with one child left: the child becomes the root.
    d.H.Root = ChildOf(lv.Node, d, 0);
    d.AnchorChanged = true;
    c.S->Cache.Clear();
    return true;
  }
  return WriteNode(c.Area, d, lv.BlockNo, lv.Node, "SeekAndWrite");
}

bool InsertKey(Ctx& c, IndexDescriptor& d, const std::string& key, uint32_t rec) {
  const auto* k = reinterpret_cast<const uint8_t*>(key.data());
  if (d.H.Unique) {
    const bool found = SeekKey(c, d, k, key.size());
    if (KelpieErrorCode != 0) return false;
    if (found) return true;
  }
  if (!Descend(c, d, k, key.size())) return false;
  std::vector<uint8_t> entry(d.H.EntrySize, 0);
  Put32(entry.data() + 4, rec);
  std::memcpy(entry.data() + 8, key.data(), std::min<size_t>(key.size(), d.H.KeyLength));
  const AnchorHeader before = d.H;
  const bool ok = InsertEntry(c, d, d.Path.size() - 1, static_cast<uint32_t>(d.Path.back().Entry), entry.data(), 0);
  ++d.ModCount;
  if (ok && (before.Root != d.H.Root || before.NextFree != d.H.NextFree)) WriteAnchorHeader(c, d);
  return ok;
}

// Removes the entry of key and record; false when there is none.
bool DeleteKey(Ctx& c, IndexDescriptor& d, const std::string* key, uint32_t rec) {
  // With the old key known the entry is sought by it; without, every leaf is looked through.
  const bool found = key ? FindEntry(c, d, *key, rec) : KelpieErrorCode == 0 && ScanForRecord(c, d, rec);
  if (!found) return false;
  const AnchorHeader before = d.H;
  const bool ok = RemoveAt(c, d, d.Path.size() - 1);
  ++d.ModCount;
  if (before.Root != d.H.Root || before.NextFree != d.H.NextFree) WriteAnchorHeader(c, d);
  return ok;
}

std::string TableBaseName(const WorkArea& a) {
  std::string dir, base, ext;
  SplitPath(a.FileName, dir, base, ext);
  return base + ext;
}

// Positions the order on the area's record n (end of file beyond the table).
bool PositionOnRecord(Ctx& c, IndexDescriptor& d, uint32_t n, const char* routine) {
  if (n < 1 || n > c.A->RecordCount) {
    d.Eof = true;
    d.Bof = false;
    d.RecNo = 0;
    d.SyncedRec = n;
    return true;
  }
  std::string key;
  if (!MakeRecordKey(d, *c.A, key)) return false;
  bool found = SeekKey(c, d, reinterpret_cast<const uint8_t*>(key.data()), key.size());
  if (KelpieErrorCode != 0) return false;
  const bool keyFound = found;
  if (found && !d.H.Unique) found = FindEntry(c, d, key, n);
  if (!found) {
    if (std::string(routine) == "SyncIndex" && !keyFound)
      SetError(212, "Schlüssel: " + Quote(KeyForText(d, key)) + " nicht im Index: " + d.FileName +
                        ". [SyncIndex-1] Record: " + std::to_string(n));
    else
      SetError(212, "Datensatz mit Schlüssel: " + Quote(KeyForText(d, key)) + " nicht im Index: " + d.FileName +
                        ". [" + std::string(routine == std::string("SyncIndex") ? "SyncIndex-2" : routine) + "]");
    return false;
  }
  d.SyncedRec = n;
  d.RecordKey = key;
  d.KeyRecNo = n;
  return true;
}

bool Synced(const Ctx& c, const IndexDescriptor& d) {
  const uint32_t cur = c.A->CurrentRecord;
  return PathValid(d) && !d.Eof && (d.RecNo == cur || d.SyncedRec == cur);
}

// Root and next free block as the file holds them now (next free from the file size, as at
// opening); false after reporting a read fault.
bool AnchorFromFile(IndexDescriptor& d) {
  uint8_t b[24];
  if (!ReadAt(d.Fd, b, sizeof b, 0)) {
    SetError(errno ? IoCodeFromErrno(errno) : 100, "Fehler beim Lesen der Index-Datei:  " + d.FileName + " [ReadAnchorNodes]");
    return false;
  }
  const AnchorHeader h = DecodeAnchor(b);
  d.H.Root = h.Root;
  d.H.NextFree = h.NextFree;
  struct stat st{};
  if (::fstat(d.Fd, &st) == 0 && st.st_size > NdxBlockSize) d.H.NextFree = static_cast<uint32_t>(st.st_size / NdxBlockSize);
  return true;
}

void CloseOrder(Ctx& c, int order) {
  auto& slot = c.S->Orders[order];
  if (!slot) return;
  IndexDescriptor& d = *slot;
  std::string failure;
  int code = 0;
  if (d.AnchorChanged && d.Fd >= 0) {
    const bool shared = KelpieSharedMode && !c.A->Exclusive;
    // Other programs may have changed the index since this one did: root and next free block are
    // taken from the file under the writers' lock, the record count from the table as it is now.
    // Without the lock the anchor stays as the others wrote it; the file is closed all the same.
    bool held = false;
    const int lockCode = Quietly([&] { held = SetLockSemaphoreProc(true); });
    struct Leave {
      bool held;
      ~Leave() {
        try {
          if (held) SetLockSemaphoreProc(false);
        } catch (...) {
        }
      }
    } leave{held};
    if (!held || (c.S->Semaphore && !c.S->Semaphore->RegionLocked)) {
      code = held || lockCode == 0 ? 33 : lockCode;
      failure = held || lockCode == 0 ? "Konnte Index nicht sperren um Anchor-Knoten zu schreiben " + d.FileName
                                      : KelpieErrorText;
    } else if (shared && LockRegion(false, d.Fd, 0, 1) != 0) {
      code = 33;
      failure = "Konnte Index nicht sperren um Anchor-Knoten zu schreiben " + d.FileName;
    } else {
      if (!c.A->Exclusive && !c.A->IsVirtual) c.A->RecordCount = RecCountFromFile(*c.A);
      if (!AnchorFromFile(d) || !WriteAnchorNode(c.Area, d)) code = -1;
      if (shared && LockRegion(true, d.Fd, 0, 1) != 0 && code == 0) {
        code = 33;
        failure = "Konnte Index nicht entsperren nach Schreiben des Anchor-Knotens " + d.FileName;
      }
    }
  }
  if (d.Expr) FreeExpr(d.Expr);
  if (d.Fd >= 0 && ::close(d.Fd) != 0 && code == 0) {
    code = IoCodeFromErrno(errno);
    failure = "Fehler beim Schließen der Index-Datei:  " + d.FileName;
  }
  slot.reset();
  if (c.S->Controlling == order) {
    c.S->Controlling = 0;
    c.S->Cache.Clear();
  }
  if (!c.S->AnyOpen()) {
    c.S->Natural = false;
    c.S->Controlling = 0;
    if (c.S->Semaphore) HandleSemafore(SemLogout);
  }
  if (code > 0) SetError(code, failure);
}

void SetupCache(AreaIndexState& s, const IndexDescriptor& d) {
  s.Cache.Clear();
  s.Cache.Slots = 0;
  if (d.NoCache || IndexNoCache || IndexCacheSize == 0) return;
  const uint32_t bytes = std::max<uint32_t>(2048, IndexCacheSize / NdxBlockSize * NdxBlockSize);
  s.Cache.Slots = bytes / NdxBlockSize;
}

uint32_t BlocksOfFile(const struct stat& st) {
  return st.st_size <= NdxBlockSize ? 1u : static_cast<uint32_t>(st.st_size / NdxBlockSize);
}

bool RootInFile(const IndexDescriptor& d) {
  if (d.H.Root >= 1 && d.H.Root < d.H.NextFree) return true;
  SetError(222, "Beschädigte Index-Datei: " + d.FileName + " [OpenIndex/Set_Index_To]");
  return false;
}

// Opens the file into the descriptor; false after reporting the error.
bool OpenIndexFile(Ctx& c, IndexDescriptor& d, const std::string& tag) {
  for (int area = 1; area <= MaxWorkAreas; ++area) {
    AreaIndexState* s = AreaStateIfAny(area);
    if (!s) continue;
    for (int o = 1; o <= MaxOrders; ++o) {
      const auto& other = s->Orders[o];
      if (!other || other->FileName != d.FileName) continue;
      if (area == c.Area && o == d.Order) continue;
      const bool sameArea = area == c.Area;
      SetError(220, std::string(sameArea ? "Versuch gleichnamigen Index zu setzen für " : "Index-Datei bereits geöffnet: ") +
                        d.FileName + " für " + c.A->FileName + ". [OpenIndex/Set_Index_To]");
      return false;
    }
  }
  // Never written through another user's link (refused in a shared folder with its own message).
  d.Fd = OpenForWriting(d.FileName, WriteOpen::Existing, O_RDWR, tag);
  if (d.Fd == -2) {
    d.Fd = -1;
    return false;
  }
  if (d.Fd < 0) {
    SetError(IoCodeFromErrno(errno), "Kann Index nicht öffnen: " + d.FileName + tag);
    return false;
  }
  // Held while the file is open: a program that would build the index anew sees it in use.
  if (!ShareModeLock(d.Fd, false)) {
    SetError(32, "Kann Index nicht öffnen: " + d.FileName + tag);
    return false;
  }
  struct stat st{};
  Block anchor{};
  if (::fstat(d.Fd, &st) != 0 || st.st_size < 2 * NdxBlockSize || !ReadAt(d.Fd, anchor.data(), NdxBlockSize, 0)) {
    SetError(222, "Beschädigte Index-Datei: " + d.FileName + " [OpenIndex/Set_Index_To]");
    return false;
  }
  d.H = DecodeAnchor(anchor.data());
  const AnchorHeader& h = d.H;
  if (h.KeyLength == 0 || h.KeyLength > MaxKeyLength || h.EntrySize < h.KeyLength + 8u || h.KeysPerNode < 2 ||
      8u + static_cast<uint32_t>(h.KeysPerNode) * h.EntrySize > NdxBlockSize + 0u) {
    SetError(222, "Beschädigte Index-Datei: " + d.FileName + " [OpenIndex/Set_Index_To]");
    return false;
  }
  std::string expr(reinterpret_cast<const char*>(anchor.data() + 24), 101);
  expr.resize(std::min<size_t>(std::strlen(expr.c_str()), 100));
  if (c.A->Oem) expr = OemToAnsiCopy(expr);
  d.Expression = NormalizeKeyExpr(expr);
  if (!d.Maker) {
    if (d.Expression == KeyMakerMarker()) {
      SetError(223, "KeyMaker-Funktion benötigt, " + Quote(d.FileName) + " wurde von KeyMaker-Funktion erzeugt.");
      return false;
    }
    CompiledExpr* e = nullptr;
    const int code = Quietly([&] { e = AssignExpr(d.Expression); });
    if (code != 0 || !e) {
      SetError(222, "Ungültiger dBASE-Schlüsselausdruck oder Index-Datei beschädigt " + d.FileName);
      return false;
    }
    d.Expr = e;
    const char t = e->ResultType;
    if (t == 'C') {
      d.CharKey = true;
    } else if (t == 'D' || t == 'N' || t == 'F') {
      d.CharKey = false;
    } else {
      SetError(222, "Ungültiger dBASE-Schlüsselausdruck oder Index-Datei beschädigt " + d.FileName);
      return false;
    }
    d.ExprLength = e->ResultLength;
    d.ExprDecimals = e->ResultDecimals;
    if (d.CharKey != (h.NumericFlag == 0) || (!d.CharKey && h.KeyLength != 8)) {
      SetError(222, "Beschädigte Index-Datei: " + d.FileName + " [OpenIndex/Set_Index_To]");
      return false;
    }
  } else {
    if (d.Expression != KeyMakerMarker()) {
      SetError(223, "KeyMaker-Funktion mit durch dBase-Schlüsselausdruck erzeugter Index-Datei verwendet "
                    "[OpenIndex/Set_Index_ToCB(" + d.FileName + ")]");
      return false;
    }
    d.CharKey = true;
  }
  // The next free block follows the file size (a partial last block is overwritten); a difference
  // is repaired after the reading (RepairNextFree).
  const uint32_t blocks = BlocksOfFile(st);
  if (blocks != d.H.NextFree) {
    d.H.NextFree = blocks;
    d.AnchorChanged = true;
  }
  return RootInFile(d);
}

// Writes the next free block that the file size gives, under the writers' lock; root and next free
// are read again there, as another program may have repaired or grown the index meanwhile.
bool RepairNextFree(Ctx& c, IndexDescriptor& d) {
  if (!SetLockSemaphoreProc(true)) return false;
  struct Leave {
    ~Leave() {
      try {
        SetLockSemaphoreProc(false);
      } catch (...) {
      }
    }
  } leave;
  uint8_t b[24];
  struct stat st{};
  if (!ReadAt(d.Fd, b, sizeof b, 0) || ::fstat(d.Fd, &st) != 0) {
    SetError(errno ? IoCodeFromErrno(errno) : 100, "Fehler beim Lesen der Index-Datei:  " + d.FileName + " [ReadAnchorNodes]");
    return false;
  }
  const AnchorHeader h = DecodeAnchor(b);
  d.H.Root = h.Root;
  d.H.NextFree = BlocksOfFile(st);
  if (h.NextFree != d.H.NextFree) {
    WriteAnchorHeader(c, d);
    if (KelpieErrorCode != 0) return false;
  }
  return RootInFile(d);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Shared helpers

uint16_t EntrySizeFor(uint16_t keyLength) { return static_cast<uint16_t>((keyLength + 8 + 3) / 4 * 4); }

void EncodeAnchor(const AnchorHeader& h, uint8_t* b) {
  Put32(b, h.Root);
  Put32(b + 4, h.NextFree);
  b[8] = 0;
  b[9] = static_cast<uint8_t>(h.KeyType);
  b[10] = b[11] = 0;
  Put16(b + 12, h.KeyLength);
  Put16(b + 14, h.KeysPerNode);
  Put16(b + 16, h.NumericFlag);
  Put16(b + 18, h.EntrySize);
  b[20] = b[21] = b[22] = 0;
  b[23] = h.Unique;
}

AnchorHeader DecodeAnchor(const uint8_t* b) {
  AnchorHeader h;
  h.Root = Get32(b);
  h.NextFree = Get32(b + 4);
  h.KeyType = static_cast<char>(b[9]);
  h.KeyLength = Get16(b + 12);
  h.KeysPerNode = Get16(b + 14);
  h.NumericFlag = Get16(b + 16);
  h.EntrySize = Get16(b + 18);
  h.Unique = b[23] ? 1 : 0;
  if (h.KeyType != 'C' && h.KeyType != 'D' && h.KeyType != 'F' && h.KeyType != 'N')
    h.KeyType = h.NumericFlag ? 'N' : 'C';
  return h;
}

AreaIndexState* AreaStateIfAny(int area) {
  return area >= 1 && area <= MaxWorkAreas ? areaStates[area] : nullptr;
}

AreaIndexState& AreaState(int area) {
  if (!areaStates[area]) areaStates[area] = new AreaIndexState();
  return *areaStates[area];
}

IndexDescriptor* Controlling(int area) {
  AreaIndexState* s = AreaStateIfAny(area);
  if (!s || s->Controlling == 0) return nullptr;
  return s->Orders[s->Controlling].get();
}

IndexDescriptor::~IndexDescriptor() {
  if (Map) ::munmap(const_cast<uint8_t*>(Map), MapLength);
}

namespace {

// One block of the file: copied out of the mapping (remapped when the file grew beyond it), else
// read; false with errno set (0 for a short read).
bool ReadBlock(IndexDescriptor& d, uint8_t* out, uint64_t off) {
  if (!d.Map || off + NdxBlockSize > d.MapLength) {
    if (d.Map) ::munmap(const_cast<uint8_t*>(d.Map), d.MapLength);
    d.Map = MapShared(d.Fd, off + NdxBlockSize, d.MapLength);
  }
  if (d.Map) {
    if (CopyFromMapping(out, d.Map + off, NdxBlockSize)) return true;
    // The file shrank under the mapping: map it again at the next read.
    ::munmap(const_cast<uint8_t*>(d.Map), d.MapLength);
    d.Map = nullptr;
    d.MapLength = 0;
  }
  return ReadAt(d.Fd, out, NdxBlockSize, off);
}

}  // namespace

bool ReadNode(int area, IndexDescriptor& d, uint32_t blockNo, Block& out, const char* routine) {
  if (blockNo == 0) {
    SetError(254, "Ungültige Knotennummer (0) in DBF-Bereich " + std::to_string(area) + "\n, Ordnung " +
                      std::to_string(d.Order) + " [GetNode]");
    return false;
  }
  if (blockNo >= d.H.NextFree) {
    SetError(222, "Knoten " + std::to_string(blockNo) + " außerhalb der Index-Datei: " + d.FileName + " [" +
                      routine + "]");
    return false;
  }
  AreaIndexState* s = AreaStateIfAny(area);
  NodeCache* cache = s && s->Controlling == d.Order && s->Cache.Slots > 0 ? &s->Cache : nullptr;
  if (cache) {
    const auto it = cache->Nodes.find(blockNo);
    if (it != cache->Nodes.end()) {
      out = it->second.Node;
      // A hit moves one place towards the front.
      const size_t pos = it->second.Pos;
      if (pos > 0) {
        const uint32_t other = cache->Order[pos - 1];
        std::swap(cache->Order[pos], cache->Order[pos - 1]);
        it->second.Pos = pos - 1;
        cache->Nodes[other].Pos = pos;
      }
      return true;
    }
  }
  if (!ReadBlock(d, out.data(), static_cast<uint64_t>(blockNo) * NdxBlockSize)) {
    SetError(errno ? IoCodeFromErrno(errno) : 100, "Fehler beim Lesen der Index-Datei: " + d.FileName + " [SeekAndRead]");
    return false;
  }
  out[2] = out[3] = 0;  // the change mark
  const uint32_t k = Count(out);
  if (k > d.H.KeysPerNode) {
    Corrupt(d, routine);
    return false;
  }
  if (cache) {
    // A miss takes the first empty slot, else the last one.
    if (cache->Order.size() >= cache->Slots) {
      cache->Nodes.erase(cache->Order.back());
      cache->Order.back() = blockNo;
    } else {
      cache->Order.push_back(blockNo);
    }
    cache->Nodes[blockNo] = NodeCache::Slot{out, cache->Order.size() - 1};
  }
  return true;
}

bool WriteNode(int area, IndexDescriptor& d, uint32_t blockNo, const Block& node, const char* routine) {
  if (!WriteAt(d.Fd, node.data(), NdxBlockSize, static_cast<uint64_t>(blockNo) * NdxBlockSize)) {
    SetError(IoCodeFromErrno(errno), "Fehler beim Schreiben der Index-Datei: " + d.FileName + " [SeekAndWrite]");
    return false;
  }
  (void)routine;
  AreaIndexState* s = AreaStateIfAny(area);
  if (s && s->Controlling == d.Order) {
    const auto it = s->Cache.Nodes.find(blockNo);
    if (it != s->Cache.Nodes.end()) it->second.Node = node;
  }
  return true;
}

bool WriteAnchorNode(int area, IndexDescriptor& d) {
  WorkArea* a = WorkAreaTable[area];
  Block b{};
  EncodeAnchor(d.H, b.data());
  std::string expr = d.Maker ? KeyMakerMarker() : d.Expression;
  if (a && a->Oem) expr = AnsiToOemCopy(expr);
  std::memcpy(b.data() + 24, expr.data(), std::min<size_t>(expr.size(), 100));
  const uint32_t count = a ? a->RecordCount : 0;
  Put32(b.data() + 488, ~count);
  Put32(b.data() + 492, count);
  if (a) {
    std::string table = TableBaseName(*a).substr(0, 12);
    if (a->Oem) table = AnsiToOemCopy(table);
    std::memcpy(b.data() + 496, table.data(), table.size());
  }
  if (!WriteAt(d.Fd, b.data(), NdxBlockSize, 0)) {
    SetError(IoCodeFromErrno(errno), "Fehler beim Schreiben der Index-Datei:  " + d.FileName + " [WriteAnchorNode]");
    return false;
  }
  d.AnchorChanged = false;
  return true;
}

void ReadAnchorNodes(int area) {
  AreaIndexState* s = AreaStateIfAny(area);
  if (!s) return;
  for (auto& d : s->Orders) {
    if (!d) continue;
    uint8_t b[24];
    if (!ReadAt(d->Fd, b, sizeof b, 0)) {
      SetError(errno ? IoCodeFromErrno(errno) : 100, "Fehler beim Lesen der Index-Datei:  " + d->FileName + " [ReadAnchorNodes]");
      return;
    }
    const AnchorHeader h = DecodeAnchor(b);
    d->H.Root = h.Root;
    d->H.NextFree = std::max(d->H.NextFree, h.NextFree);
    struct stat st{};
    if (::fstat(d->Fd, &st) == 0 && st.st_size > NdxBlockSize)
      d->H.NextFree = static_cast<uint32_t>(st.st_size / NdxBlockSize);
  }
}

void IndexesChangedOutside(int area) {
  AreaIndexState* s = AreaStateIfAny(area);
  if (!s) return;
  s->Cache.Clear();
  ReadAnchorNodes(area);
  for (auto& d : s->Orders)
    if (d) ++d->ModCount;
}

int CompareKey(const IndexDescriptor& d, const uint8_t* x, const uint8_t* y, size_t n) {
  if (d.CharKey) {
    const int r = std::memcmp(x, y, n);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
  }
  double a, b;
  std::memcpy(&a, x, 8);
  std::memcpy(&b, y, 8);
  return a < b ? -1 : a > b ? 1 : 0;
}

bool MakeRawKey(IndexDescriptor& d, WorkArea& a, std::string& key) {
  if (d.Maker) {
    if (a.TypedPending) LoadTypedRecord(a);  // the maker reads the typed record
    key = d.Maker(d.MakerArg);
    if (d.Soundex) key = Soundex(key);
    return true;
  }
  const ExprValue* v = EvaluateValue(d.Expr);
  if (!v) return false;
  if (d.CharKey) {
    key = CollationKey(v->Text, a.Oem);
    if (d.Soundex) key = Soundex(key);
  } else {
    double x = v->Number;
    if (!std::isfinite(x)) x = 0;
    key.assign(reinterpret_cast<const char*>(&x), 8);
  }
  return true;
}

bool KeyLengthOfRecord(IndexDescriptor& d, WorkArea& a, size_t& length) {
  if (d.Maker || d.Soundex || !d.CharKey) {
    std::string key;
    if (!MakeRawKey(d, a, key)) return false;
    length = d.CharKey ? key.size() : 8;
    return true;
  }
  const ExprValue* v = EvaluateValue(d.Expr);
  if (!v) return false;
  length = std::min<size_t>(v->Text.size(), MaxKeyLength);
  return true;
}

bool MakeRecordKey(IndexDescriptor& d, WorkArea& a, std::string& key) {
  if (!MakeRawKey(d, a, key)) return false;
  if (d.CharKey) {
    key.resize(d.H.KeyLength, ' ');
    if (d.Descending)
      for (char& ch : key) ch = static_cast<char>(~static_cast<uint8_t>(ch));
  } else if (d.Descending) {
    // Descending numbers are negated (a flipped bit pattern would not sort, and 0 would be NaN).
    double x;
    std::memcpy(&x, key.data(), 8);
    x = x == 0 ? 0.0 : -x;
    key.assign(reinterpret_cast<const char*>(&x), 8);
  }
  return true;
}

bool TakeOption(std::string& name, const std::string& word) {
  std::string w = AllTrim(word);
  bool removed = false;
  std::string upper = name;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  size_t pos = 0;
  while ((pos = upper.find(w, pos)) != std::string::npos) {
    const size_t end = pos + w.size();
    const bool before = pos == 0 || upper[pos - 1] == ' ' || upper[pos - 1] == '\t';
    const bool after = end >= upper.size() || !(std::isalnum(static_cast<unsigned char>(upper[end])) ||
                                                upper[end] == '_' || upper[end] == '\\' || upper[end] == '/');
    if (before && after) {
      name.erase(pos, w.size());
      upper.erase(pos, w.size());
      removed = true;
    } else {
      pos = end;
    }
  }
  return removed;
}

std::string IndexFileName(const std::string& name, const WorkArea& a) {
  std::string n = AllTrim(name);
  std::string tableDir, tableBase, tableExt;
  SplitPath(a.FileName, tableDir, tableBase, tableExt);
  // Without an extension "NDX", in the case of the table's ("t.dbf": "x.ndx").
  const auto isUpper = [](char c) { return c >= 'A' && c <= 'Z'; };
  const auto isLower = [](char c) { return c >= 'a' && c <= 'z'; };
  const bool lower = std::none_of(tableExt.begin(), tableExt.end(), isUpper) &&
                     std::any_of(tableExt.begin(), tableExt.end(), isLower);
  const std::string typedName = n;
  n = DefaultExtension(n, lower ? "ndx" : "NDX");
  // The extension added here is no part of what was typed: what was typed decides exactly.
  const size_t slash = typedName.find_last_of('/');
  const size_t typed =
      n == typedName ? std::string::npos : typedName.size() - (slash == std::string::npos ? 0 : slash + 1);
  if (n.find('/') == std::string::npos && n.find(':') == std::string::npos && n.find('\\') == std::string::npos)
    n = tableDir + n;
  // A file of the name in another case is the index meant (one from DOS is often upper case),
  // unless the table has case twins: then the name is exact, as the table's was.
  n = FullPathName(n);
  if (ExactNameFor(n, a.FileName)) return n;
  return FileOfAnyCase(n, nullptr, typed);
}

}  // namespace ndx

using namespace ndx;

// ---------------------------------------------------------------------------------------------------
// Keys

std::string CollationKey(const std::string& value, bool oem) {
  std::string s = oem ? AnsiToOemCopy(value) : value;
  if (s.size() > MaxKeyLength) s.resize(MaxKeyLength);
  std::string out;
  out.reserve(s.size() + 8);
  for (char ch : s) {
    uint8_t b = static_cast<uint8_t>(ch);
    if (b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b + 32);
    else if (b == 196) b = 228;
    else if (b == 214) b = 246;
    else if (b == 220) b = 252;
    switch (b) {
      case 223: out += "ss"; break;
      case 228: out += "ae"; break;
      case 246: out += "oe"; break;
      case 252: out += "ue"; break;
      default: out += static_cast<char>(b);
    }
  }
  if (out.size() > MaxKeyLength) out.resize(MaxKeyLength);
  return out;
}

std::string NormalizeKeyExpr(const std::string& expression) {
  std::string out;
  char quote = 0;
  for (char ch : expression) {
    if (quote) {
      if (ch == quote) {
        out += '"';
        quote = 0;
      } else {
        out += ch;
      }
    } else if (ch == '"' || ch == '\'') {
      quote = ch;
      out += '"';
    } else if (ch != ' ' && ch != '\t') {
      out += UpperChar(ch);
    }
  }
  return out;
}

const std::string& KeyMakerMarker() {
  static const std::string marker = NormalizeKeyExpr("Anwender-definierten KeyMaker benutzt, um Index zu erzeugen");
  return marker;
}

// ---------------------------------------------------------------------------------------------------
// Opening, orders, closing

bool SetIndexTo(const std::string& nameWithOptions, int order, KeyMaker maker, void* arg) {
  KelpieErrorCode = 0;
  std::string name = nameWithOptions;
  TakeOption(name, " UNIQUE");
  bool noCache = TakeOption(name, " NOCACHE");
  const bool soundex = TakeOption(name, " SOUNDEX");
  const bool descending = TakeOption(name, " DESCENDING");
  name = AllTrim(name);
  const std::string tag = " [SetIndexTo(" + name + "," + std::to_string(order) + ")]";
  if (order < 1 || order > MaxOrders) {
    SetError(220, "Parameter Index-Ordnung außerhalb des zulässigen Bereichs [SetIndexTo(<>," + name + "," +
                      std::to_string(order) + ")]");
    return false;
  }
  WorkArea* a = CurrentWorkArea();
  if (!a) {
    SetError(215, "Öffnungsversuch von " + name + " Index-Datei ohne geöffnete DBF-Datei." + tag);
    return false;
  }
  Ctx c{CurrentArea, a, &AreaState(CurrentArea)};
  CloseOrder(c, order);
  std::string full = IndexFileName(name, *a);
  if (!FindFileOfTable(full, a->FileName, tag)) return false;
  if (!FileExist(full)) {
    SetError(2, full + tag);
    return false;
  }
  if (KelpieSharedMode && !a->Exclusive) noCache = true;
  if (!a->Exclusive && !c.S->Semaphore) {
    HandleSemafore(SemLogin);
    if (!c.S->Semaphore) return false;
  }
  auto d = std::make_unique<IndexDescriptor>();
  d->Order = order;
  d->FileName = full;
  d->Maker = maker;
  d->MakerArg = arg;
  d->Soundex = soundex;
  d->Descending = descending;
  d->NoCache = noCache;
  struct Undo {
    Ctx& c;
    std::unique_ptr<IndexDescriptor>& d;
    bool done = false;
    ~Undo() {
      if (done) return;
      if (d) {
        if (d->Expr) FreeExpr(d->Expr);
        if (d->Fd >= 0) ::close(d->Fd);
      }
      if (!c.S->AnyOpen() && c.S->Semaphore) {
        try {
          HandleSemafore(SemLogout);
        } catch (...) {
        }
      }
    }
  } undo{c, d};
  if (!SetReadSemaphoreProc(true)) return false;
  bool opened = false;
  try {
    opened = OpenIndexFile(c, *d, tag);
  } catch (...) {
    SetReadSemaphoreProc(false);
    throw;
  }
  SetReadSemaphoreProc(false);
  // The next free block is repaired under the writers' lock, taken only once this program no longer
  // counts as a reader: programs that open the index at once would otherwise wait for each other.
  if (opened && d->AnchorChanged) opened = RepairNextFree(c, *d);
  if (!opened) return false;
  if (c.S->Orders[order]) {
    SetError(254, "Index-Ordnung belegt" + tag);
    return false;
  }
  IndexDescriptor& ref = *d;
  c.S->Orders[order] = std::move(d);
  undo.done = true;
  c.S->Controlling = order;
  c.S->Natural = false;
  SetupCache(*c.S, ref);
  const uint32_t count = RecCount();
  if (count > 0) {
    if (ref.CharKey) {
      // Keys must have the stored length (checked on the empty record): a key function's always,
      // an expression's where its length does not depend on the record (a stale index whose
      // fields have changed their length is refused).
      std::vector<uint8_t> saved = a->Record;
      const uint32_t savedRec = a->CurrentRecord;
      ClearRecord();
      a->CurrentRecord = count + 1;
      std::string key;
      size_t length = 0;
      bool ok = true;
      if (ref.Maker) {
        key = ref.Maker(ref.MakerArg);
        if (ref.Soundex) key = Soundex(key);
        length = key.size();
      } else {
        ok = KeyLengthOfRecord(ref, *a, length);
        if (ok) {
          const ExprValue* v = EvaluateValue(ref.Expr);
          key = v ? v->Text : std::string();
        }
      }
      a->Record = saved;
      a->CurrentRecord = savedRec;
      LoadTypedRecord(*a);
      const bool fixed =
          ref.Maker || ref.Soundex || length == std::min<size_t>(std::max(ref.ExprLength, 0), MaxKeyLength);
      if (!ok || (fixed && length != ref.H.KeyLength)) {
        const std::string len = LongToStr(ref.H.KeyLength, 3);
        CloseOrder(c, order);
        if (!ok) return false;
        SetError(266, "Ungültige Schlüssellänge von anwender-definiertem KeyMaker geliefert.\r\nErwartete Länge= " +
                          len + "\r\nSchlüssel= [" + key + "] " + full + " [SetIndexTo/OpenIndex]");
        return false;
      }
    }
    GoTop();
  } else {
    ref.Bof = ref.Eof = true;
    ref.Key.assign(ref.H.KeyLength, ref.CharKey ? ' ' : '\0');
  }
  return true;
}

void CloseIndex(int order) {
  Ctx c;
  if (!CurrentCtx(c, "CloseIndex") || order < 1 || order > MaxOrders) return;
  CloseOrder(c, order);
}

void CloseIndexes() {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  if (!s || !CurrentWorkArea()) return;
  Ctx c{CurrentArea, CurrentWorkArea(), s};
  std::exception_ptr first;
  for (int o = 1; o <= MaxOrders; ++o) {
    try {
      CloseOrder(c, o);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  s->Natural = false;
  if (first) std::rethrow_exception(first);
}

void Set_Order_To(int order) {
  Ctx c;
  if (!CurrentCtx(c, "Set_Order_To")) return;
  if (order < 0 || order > MaxOrders) {
    SetError(220, "Unzulässige Ordnung [Set_Order_To(" + std::to_string(order) + ")]");
    return;
  }
  if (order == 0) {
    c.S->Controlling = 0;
    c.S->Natural = true;
    c.S->Cache.Clear();
    return;
  }
  if (!c.S->Orders[order]) {
    SetError(221, "Index nicht geöffnet.. (DBF=" + c.A->FileName + ") [Set_Order_To(" + std::to_string(order) + ")]");
    return;
  }
  IndexDescriptor* old = Controlling(c.Area);
  const bool wasEof = old ? old->Eof : c.A->Eof;
  c.S->Controlling = order;
  c.S->Natural = false;
  IndexDescriptor& d = *c.S->Orders[order];
  SetupCache(*c.S, d);
  d.Positioned = false;
  if (!SetReadSemaphoreProc(true)) return;
  struct Leave {
    ~Leave() { SetReadSemaphoreProc(false); }
  } leave;
  const bool found = IndexFound;
  if (wasEof || c.A->CurrentRecord < 1 || c.A->CurrentRecord > RecCount()) {
    d.Eof = true;
  } else {
    PositionOnRecord(c, d, c.A->CurrentRecord, "SyncIndex");
  }
  IndexFound = found;
}

int CurrentOrder() {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  return s && CurrentWorkArea() ? s->Controlling : 0;
}

// ---------------------------------------------------------------------------------------------------
// Seek

namespace {

bool SeekRaw(const std::string& key, const char* routine) {
  Ctx c;
  if (!CurrentCtx(c, routine)) return false;
  IndexDescriptor* d = Controlling(c.Area);
  if (!d) {
    SetError(221, "Index nicht geöffnet. (DBF=" + c.A->FileName + ") [" + routine + "]");
    return false;
  }
  bool found = false;
  {
    if (!SetReadSemaphoreProc(true)) return false;
    struct Leave {
      ~Leave() { SetReadSemaphoreProc(false); }
    } leave;
    RecCount();
    found = SeekKey(c, *d, reinterpret_cast<const uint8_t*>(key.data()), std::min<size_t>(key.size(), d->H.KeyLength));
    if (KelpieErrorCode != 0) return false;
  }
  if (found) {
    const uint32_t rec = d->RecNo;
    d->SyncedRec = rec;
    GoRecord(rec);
    if (KelpieErrorCode == 0 && IndexHookTable.TakeKey) IndexHookTable.TakeKey();
  } else {
    // Not found: end of file.
    c.A->CurrentRecord = c.A->RecordCount + 1;
    c.A->Eof = true;
    ClearRecord();
    d->Eof = true;
  }
  IndexFound = found;
  return found;
}

}  // namespace

bool Seek(const std::string& value) {
  Ctx c;
  if (!CurrentCtx(c, "Seek")) return false;
  IndexDescriptor* d = Controlling(c.Area);
  if (!d) {
    SetError(221, "Index nicht geöffnet. (DBF=" + c.A->FileName + ") [Seek]");
    return false;
  }
  if (!d->CharKey) {
    const std::string t = AllTrim(value);
    double x;
    if (d->H.KeyType == 'D')
      x = static_cast<double>(t.size() == 8 && t.find_first_not_of("0123456789") == std::string::npos
                                  ? DateToJulian(t)
                                  : DateTextToJulian(t));
    else
      x = std::strtod(t.c_str(), nullptr);
    return SeekNum(x);
  }
  std::string key = d->Maker ? value : CollationKey(value, c.A->Oem);
  if (d->Soundex) key = Soundex(key);
  if (key.size() > d->H.KeyLength) key.resize(d->H.KeyLength);
  if (d->Descending)
    for (char& ch : key) ch = static_cast<char>(~static_cast<uint8_t>(ch));
  return SeekRaw(key, "Seek");
}

bool SeekNum(double value) {
  Ctx c;
  if (!CurrentCtx(c, "SeekNum")) return false;
  IndexDescriptor* d = Controlling(c.Area);
  if (d && d->Descending) value = value == 0 ? 0.0 : -value;
  return SeekRaw(std::string(reinterpret_cast<const char*>(&value), 8), "SeekNum");
}

// ---------------------------------------------------------------------------------------------------
// Information

std::string OrderFileName(int order) {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  if (!s || order < 1 || order > MaxOrders || !s->Orders[order]) return {};
  return s->Orders[order]->FileName;
}

std::string OrderKeyText(int order) {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  WorkArea* a = CurrentWorkArea();
  if (!s || !a || order < 1 || order > MaxOrders || !s->Orders[order]) return {};
  IndexDescriptor& d = *s->Orders[order];
  if (d.Maker) return d.Maker(d.MakerArg);
  const ExprValue* v = EvaluateValue(d.Expr);
  if (!v) return {};
  if (d.H.KeyType == 'D') return JDateToStr(static_cast<long>(v->Number));
  if (!d.CharKey) return NumberFieldText(v->Number, d.ExprLength > 0 ? d.ExprLength : 10, d.ExprDecimals);
  return v->Text;
}

bool OrderAscending(int order) {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  return s && order >= 1 && order <= MaxOrders && s->Orders[order] && !s->Orders[order]->Descending;
}

bool OrderSoundex(int order) {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  return s && order >= 1 && order <= MaxOrders && s->Orders[order] && s->Orders[order]->Soundex;
}

std::vector<uint32_t> IndexWalk(int order) {
  std::vector<uint32_t> out;
  Ctx c;
  if (!CurrentCtx(c, "IndexWalk") || order < 1 || order > MaxOrders || !c.S->Orders[order]) return out;
  IndexDescriptor& d = *c.S->Orders[order];
  if (!SetReadSemaphoreProc(true)) return out;
  struct Leave {
    ~Leave() { SetReadSemaphoreProc(false); }
  } leave;
  if (!GoEdge(c, d, true)) return out;
  // A tree that shares nodes could repeat entries without end: no more than the file can hold.
  const uint64_t most = static_cast<uint64_t>(d.H.NextFree) * d.H.KeysPerNode;
  do {
    if (out.size() >= most) {
      Corrupt(d, "IndexWalk");
      return out;
    }
    out.push_back(d.RecNo);
  } while (StepNext(c, d));
  d.Positioned = false;
  return out;
}

// ---------------------------------------------------------------------------------------------------
// The core's hooks

namespace {

bool HookCtx(Ctx& c) {
  c.Area = CurrentArea;
  c.A = CurrentWorkArea();
  c.S = AreaStateIfAny(c.Area);
  return c.A && c.S;
}

bool HookIndexActive() {
  AreaIndexState* s = AreaStateIfAny(CurrentArea);
  return s && CurrentWorkArea() && s->AnyOpen();
}

bool EnsureSynced(Ctx& c, IndexDescriptor& d, const char* routine) {
  if (Synced(c, d)) return true;
  return PositionOnRecord(c, d, c.A->CurrentRecord, routine);
}

void HookSyncOrder() {
  Ctx c;
  if (!HookCtx(c)) return;
  IndexDescriptor* d = Controlling(c.Area);
  if (!d) return;
  PositionOnRecord(c, *d, c.A->CurrentRecord, "SyncIndex");
}

// The record of the entry reached. Another program may have appended since the count was taken:
// the count is taken again; an entry beyond the table still is the end.
uint32_t Reached(Ctx& c, IndexDescriptor& d, bool forward) {
  if (d.RecNo > c.A->RecordCount && !c.A->Exclusive) c.A->RecordCount = RecCountFromFile(*c.A);
  if (d.RecNo < 1 || d.RecNo > c.A->RecordCount) {
    IndexFound = false;
    if (forward) {
      d.Eof = true;
      return c.A->RecordCount + 1;
    }
    d.Bof = true;
    return 0;
  }
  d.Bof = d.Eof = false;
  d.SyncedRec = d.RecNo;
  IndexFound = true;
  return d.RecNo;
}

uint32_t HookNext() {
  Ctx c;
  if (!HookCtx(c)) return 0;
  IndexDescriptor* d = Controlling(c.Area);
  if (!d) return c.A->CurrentRecord + 1;
  const uint32_t end = c.A->RecordCount + 1;
  if (d->Eof || c.A->CurrentRecord > c.A->RecordCount) return end;
  if (!EnsureSynced(c, *d, "SoftSyncIndex") || d->Eof) return end;
  if (StepNext(c, *d)) return Reached(c, *d, true);
  d->Eof = true;
  IndexFound = false;
  return end;
}

uint32_t HookPrior() {
  Ctx c;
  if (!HookCtx(c)) return 0;
  IndexDescriptor* d = Controlling(c.Area);
  if (!d) return c.A->CurrentRecord - 1;
  if (d->Eof || c.A->CurrentRecord > c.A->RecordCount) {
    if (!GoEdge(c, *d, false)) {
      d->Bof = d->Eof = true;
      return 0;
    }
    return Reached(c, *d, false);
  }
  if (!EnsureSynced(c, *d, "SoftSyncIndex")) return 0;
  if (StepPrior(c, *d)) return Reached(c, *d, false);
  d->Bof = true;
  IndexFound = false;
  return 0;
}

uint32_t HookEdge(bool top) {
  Ctx c;
  if (!HookCtx(c)) return 0;
  IndexDescriptor* d = Controlling(c.Area);
  if (!d) return top ? 1 : c.A->RecordCount;
  if (!GoEdge(c, *d, top)) {
    d->Bof = d->Eof = true;
    return c.A->RecordCount + 1;
  }
  const uint32_t rec = Reached(c, *d, true);
  if (rec > c.A->RecordCount) d->Bof = true;
  return rec;
}

uint32_t HookFirst() { return HookEdge(true); }
uint32_t HookLast() { return HookEdge(false); }

bool HookEof() {
  Ctx c;
  if (!HookCtx(c)) return true;
  IndexDescriptor* d = Controlling(c.Area);
  return d ? d->Eof : c.A->Eof;
}

bool HookBof() {
  Ctx c;
  if (!HookCtx(c)) return true;
  IndexDescriptor* d = Controlling(c.Area);
  return d ? d->Bof : c.A->Bof;
}

// Keys of every order from the current record (the old keys of a later change).
void TakeKeys(Ctx& c) {
  const uint32_t cur = c.A->CurrentRecord;
  for (int o = 1; o <= MaxOrders; ++o) {
    IndexDescriptor* d = c.S->Orders[o].get();
    if (!d || d->KeyRecNo == cur) continue;
    if (cur < 1 || cur > c.A->RecordCount) {
      d->KeyRecNo = 0;
      continue;
    }
    if (o == c.S->Controlling && PathValid(*d) && d->RecNo == cur) {
      d->RecordKey = d->Key;
    } else {
      std::string key;
      if (!MakeRecordKey(*d, *c.A, key)) return;
      d->RecordKey = key;
    }
    d->KeyRecNo = cur;
  }
}

void HookTakeKey() {
  Ctx c;
  if (!HookCtx(c)) return;
  for (auto& d : c.S->Orders)
    if (d) d->KeyRecNo = 0;
  TakeKeys(c);
}

void HookSyncAll() {
  HookSyncOrder();
  HookTakeKey();
}

// A shared index is changed only under the writers' lock of its semaphore file.
bool WriterLockHeld(const Ctx& c, const char* routine) {
  const SemaphoreState* s = c.S->Semaphore.get();
  if (!s || s->RegionLocked) return true;
  SetError(254, "Index-Änderung ohne Sperre der Semaphor-Datei: " + s->FileName + " [" + routine + "]");
  return false;
}

void HookAppendKeys() {
  Ctx c;
  if (!HookCtx(c) || !WriterLockHeld(c, "AppendNewKey")) return;
  const uint32_t rec = c.A->CurrentRecord;
  for (int o = 1; o <= MaxOrders; ++o) {
    IndexDescriptor* d = c.S->Orders[o].get();
    if (!d) continue;
    std::string key;
    if (!MakeRecordKey(*d, *c.A, key)) return;
    if (!InsertKey(c, *d, key, rec)) return;
    d->RecordKey = key;
    d->KeyRecNo = rec;
  }
  if (IndexDescriptor* d = Controlling(c.Area)) {
    d->Positioned = false;
    PositionOnRecord(c, *d, rec, "AppendNewKey");
  }
}

void HookCompareKeys() {
  Ctx c;
  if (!HookCtx(c) || !WriterLockHeld(c, "CompareKeys")) return;
  const uint32_t rec = c.A->CurrentRecord;
  bool missing = false;
  for (int o = 1; o <= MaxOrders; ++o) {
    IndexDescriptor* d = c.S->Orders[o].get();
    if (!d) continue;
    std::string key;
    if (!MakeRecordKey(*d, *c.A, key)) return;
    const bool known = d->KeyRecNo == rec;
    if (known && d->RecordKey == key) continue;
    if (!DeleteKey(c, *d, known ? &d->RecordKey : nullptr, rec)) {
      if (KelpieErrorCode != 0) return;
      if (!d->H.Unique) missing = true;
    }
    // The new key goes in also when the old one was missing.
    if (!InsertKey(c, *d, key, rec)) return;
    d->RecordKey = key;
    d->KeyRecNo = rec;
  }
  if (IndexDescriptor* d = Controlling(c.Area)) {
    d->Positioned = false;
    PositionOnRecord(c, *d, rec, "CompareKeys");
  }
  if (missing && KelpieErrorCode == 0) {
    KelpieErrorCode = 1;
    KelpieLastError = 1;
  }
}

void HookSetBof() {
  if (IndexDescriptor* d = Controlling(CurrentArea)) d->Bof = true;
}

void HookSetEof() {
  if (IndexDescriptor* d = Controlling(CurrentArea)) d->Eof = true;
}

bool* HookFound() { return &IndexFound; }

std::string HookControllingKeyText() {
  const int o = CurrentOrder();
  if (o == 0) return "Rec:" + LongToStr(static_cast<long>(RecNo()), 10);
  return OrderKeyText(o);
}

}  // namespace

void IndexInit() {
  for (int area = 0; area <= MaxWorkAreas; ++area) {
    AreaIndexState* s = areaStates[area];
    if (!s) continue;
    for (auto& d : s->Orders)
      if (d && d->Fd >= 0) ::close(d->Fd);
    if (s->Semaphore && s->Semaphore->Fd >= 0) ::close(s->Semaphore->Fd);
    delete s;
    areaStates[area] = nullptr;
  }
  IndexFound = false;
  IndexHookTable.IndexActive = &HookIndexActive;
  IndexHookTable.SyncOrder = &HookSyncOrder;
  IndexHookTable.NextRecord = &HookNext;
  IndexHookTable.PriorRecord = &HookPrior;
  IndexHookTable.FirstRecord = &HookFirst;
  IndexHookTable.LastRecord = &HookLast;
  IndexHookTable.IndexEof = &HookEof;
  IndexHookTable.IndexBof = &HookBof;
  IndexHookTable.AppendKeys = &HookAppendKeys;
  IndexHookTable.TakeKey = &HookTakeKey;
  IndexHookTable.SyncAllOrders = &HookSyncAll;
  IndexHookTable.CompareKeys = &HookCompareKeys;
  IndexHookTable.SetIndexBof = &HookSetBof;
  IndexHookTable.SetIndexEof = &HookSetEof;
  IndexHookTable.FoundFlag = &HookFound;
  IndexHookTable.Reindex = &Reindex;
  IndexHookTable.CloseIndexes = &CloseIndexes;
  IndexHookTable.Unused17 = nullptr;
  IndexHookTable.OrderFileName = &OrderFileName;
  IndexHookTable.OrderKeyText = &OrderKeyText;
  IndexHookTable.ControllingKeyText = &HookControllingKeyText;
  IndexHookTable.OrderAscending = &OrderAscending;
  IndexHookTable.OrderSoundex = &OrderSoundex;
  IndexHookTable.ReadSemaphore = &SetReadSemaphoreProc;
  IndexHookTable.LockSemaphore = &SetLockSemaphoreProc;
  IndexPresent = true;
}

}  // namespace qern::kelpie
