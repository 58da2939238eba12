// Index creation: every record's key is made once, the (key, record) items are sorted in runs and
// merged through a temporary file, and the B-tree is written bottom-up, leaves first.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <queue>

#include "tablengine/kpapi.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpndxint.h"
#include "tablengine/kpparser.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

using namespace ndx;

namespace {

constexpr size_t kWriteBuffer = 65512;


// The sort items of one build: key bytes followed by the record number.
struct Sorter {
  const IndexDescriptor& D;
  size_t KeyLength;
  size_t ItemSize;
  bool Less(const uint8_t* a, const uint8_t* b) const {
    const int c = CompareKey(D, a, b, KeyLength);
    if (c != 0) return c < 0;
    return Get32(a + KeyLength) < Get32(b + KeyLength);
  }
};

// Nodes written bottom-up in block order through one buffer.
class TreeWriter {
 public:
  TreeWriter(const IndexDescriptor& d, int fd, const std::string& tag) : d_(d), fd_(fd), tag_(tag) {
    levels_.emplace_back();
  }

  bool Add(const uint8_t* key, uint32_t rec) {
    if (d_.H.Unique && havePrevious_ && std::memcmp(previous_.data(), key, d_.H.KeyLength) == 0) return true;
    previous_.assign(key, key + d_.H.KeyLength);
    havePrevious_ = true;
    Block& leaf = levels_[0].Node;
    if (levels_[0].Count == d_.H.KeysPerNode) {
      std::vector<uint8_t> last(Entry(leaf, levels_[0].Count - 1) + 4,
                                Entry(leaf, levels_[0].Count - 1) + d_.H.EntrySize);
      uint32_t child;
      if (!Flush(0, child)) return false;
      size_t l = 1;
      for (;; ++l) {
        if (levels_.size() <= l) levels_.emplace_back();
        Level& up = levels_[l];
        if (up.Count < d_.H.KeysPerNode) {
          uint8_t* e = Entry(up.Node, up.Count);
          Put32(e, child);
          Put32(e + 4, 0);  // interior entries carry no record number
          std::memcpy(e + 8, last.data() + 4, last.size() - 4);
          ++up.Count;
          break;
        }
        Put32(Entry(up.Node, up.Count), child);  // the trailing child
        if (!Flush(l, child)) return false;
      }
    }
    uint8_t* e = Entry(levels_[0].Node, levels_[0].Count);  // the levels may have moved
    Put32(e, 0);
    Put32(e + 4, rec);
    std::memcpy(e + 8, key, d_.H.KeyLength);
    ++levels_[0].Count;
    return true;
  }

  // Writes the partly filled nodes from the leaf up; returns the root block.
  bool Finish(uint32_t& root) {
    uint32_t child = 0;
    bool have = false;
    for (size_t l = 0; l < levels_.size(); ++l) {
      Level& lv = levels_[l];
      if (l > 0) {
        if (lv.Count == 0 && l + 1 < levels_.size()) continue;  // no key of its own: the child moves up
        Put32(Entry(lv.Node, lv.Count), child);
      }
      if (!Flush(l, child)) return false;
      have = true;
    }
    if (!have) return false;
    root = child;
    return FlushBuffer();
  }

  uint32_t Blocks() const { return next_; }

 private:
  struct Level {
    Block Node{};
    uint32_t Count = 0;
  };

  uint8_t* Entry(Block& node, uint32_t i) { return node.data() + 4 + i * d_.H.EntrySize; }

  bool Flush(size_t level, uint32_t& blockNo) {
    Level& lv = levels_[level];
    Put32(lv.Node.data(), lv.Count);
    blockNo = next_++;
    buffer_.insert(buffer_.end(), lv.Node.begin(), lv.Node.end());
    lv.Node.fill(0);
    lv.Count = 0;
    if (buffer_.size() + NdxBlockSize > kWriteBuffer) return FlushBuffer();
    return true;
  }

  bool FlushBuffer() {
    if (buffer_.empty()) return true;
    if (!WriteAt(fd_, buffer_.data(), buffer_.size(), static_cast<uint64_t>(bufferFirst_) * NdxBlockSize)) {
      SetError(IoCodeFromErrno(errno), "Fehler beim Schreiben der Index-Datei: " + d_.FileName + tag_);
      return false;
    }
    bufferFirst_ += static_cast<uint32_t>(buffer_.size() / NdxBlockSize);
    buffer_.clear();
    return true;
  }

  const IndexDescriptor& d_;
  int fd_;
  std::string tag_;
  std::vector<Level> levels_;
  std::vector<uint8_t> buffer_;
  uint32_t next_ = 1;
  uint32_t bufferFirst_ = 1;
  std::vector<uint8_t> previous_;
  bool havePrevious_ = false;
};

// A run read back from the temporary file during the merge.
struct Run {
  uint64_t Next = 0;  // file position of the unread part
  uint64_t End = 0;
  std::vector<uint8_t> Buffer;
  size_t Pos = 0;
};

struct Build {
  Build(WorkArea& a, IndexDescriptor& d, std::string tag) : A(a), D(d), Tag(std::move(tag)) {}
  WorkArea& A;
  IndexDescriptor& D;
  std::string Tag;
  int TempFd = -1;
  std::string TempName;
  uint64_t TempSize = 0;
  std::vector<uint64_t> RunStarts;
  std::vector<uint8_t> Items;
  std::vector<uint32_t> Order;
  size_t ItemSize = 0;
  size_t Capacity = 0;
  uint64_t Produced = 0;
  uint64_t Total = 0;
  int ProgressDone = 0;

  ~Build() {
    if (TempFd >= 0) ::close(TempFd);
    if (!TempName.empty()) ::unlink(TempName.c_str());
  }

  void Progress() {
    if (!IndexProgress || IndexProgressCalls <= 0 || Total == 0) return;
    ++Produced;
    while (ProgressDone < IndexProgressCalls &&
           Produced * static_cast<uint64_t>(IndexProgressCalls) >= (ProgressDone + 1) * Total) {
      ++ProgressDone;
      IndexProgress();
    }
  }

  // Sorts the run's items through references that carry the first sixteen key bytes as numbers
  // in key order, so that most comparisons touch no item.
  void SortRun() {
    struct Ref {
      uint64_t High, Low;
      uint32_t Index;
    };
    const size_t n = Items.size() / ItemSize;
    const size_t keyLength = D.H.KeyLength;
    std::vector<Ref> refs(n);
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* key = Items.data() + i * ItemSize;
      uint64_t high = 0, low = 0;
      if (D.CharKey) {
        for (size_t b = 0; b < 8; ++b) high = high << 8 | (b < keyLength ? key[b] : 0);
        for (size_t b = 8; b < 16; ++b) low = low << 8 | (b < keyLength ? key[b] : 0);
      } else {
        double x;
        std::memcpy(&x, key, 8);
        if (x == 0) x = 0;  // -0 sorts with 0
        std::memcpy(&high, &x, 8);
        high = (high & 0x8000000000000000ull) ? ~high : high | 0x8000000000000000ull;
      }
      refs[i] = {high, low, static_cast<uint32_t>(i)};
    }
    const uint8_t* base = Items.data();
    const size_t size = ItemSize;
    const bool more = D.CharKey && keyLength > 16;
    std::sort(refs.begin(), refs.end(), [&](const Ref& x, const Ref& y) {
      if (x.High != y.High) return x.High < y.High;
      if (x.Low != y.Low) return x.Low < y.Low;
      const uint8_t* a = base + x.Index * size;
      const uint8_t* b = base + y.Index * size;
      if (more) {
        const int c = std::memcmp(a + 16, b + 16, keyLength - 16);
        if (c != 0) return c < 0;
      }
      return Get32(a + keyLength) < Get32(b + keyLength);
    });
    Order.resize(n);
    for (size_t i = 0; i < n; ++i) Order[i] = refs[i].Index;
  }

  bool WriteRun() {
    SortRun();
    if (TempFd < 0) {
      if (!UniqueFilename(TempName)) return false;
      TempFd = ::open(TempName.c_str(), O_RDWR | O_CLOEXEC);
      if (TempFd < 0) {
        SetError(IoCodeFromErrno(errno), "Datei nicht geöffnet " + TempName + Tag);
        return false;
      }
    }
    RunStarts.push_back(TempSize);
    std::vector<uint8_t> out;
    out.reserve(std::min<size_t>(Items.size(), 1 << 20));
    for (size_t n = 0; n < Order.size(); ++n) {
      const size_t i = Order[n];
      out.insert(out.end(), Items.begin() + i * ItemSize, Items.begin() + (i + 1) * ItemSize);
      if (out.size() >= (1 << 20) || n + 1 == Order.size()) {
        if (!WriteAt(TempFd, out.data(), out.size(), TempSize)) {
          SetError(IoCodeFromErrno(errno), "Datei nicht geöffnet " + TempName + Tag);
          return false;
        }
        TempSize += out.size();
        out.clear();
      }
    }
    Items.clear();
    return true;
  }

  bool Collect() {
    const uint32_t count = RecCount();
    Total = count;
    ItemSize = D.H.KeyLength + 4u;
    Capacity = std::max<size_t>(256, IndexSortRunItems);
    Items.reserve(std::min<size_t>(Capacity, count + 1) * ItemSize);
    const size_t perRead = std::max<size_t>(1, (1u << 20) / A.RecordLength);
    std::vector<uint8_t> block;
    std::string key;
    for (uint32_t first = 1; first <= count;) {
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(perRead, count - first + 1));
      block.resize(static_cast<size_t>(n) * A.RecordLength);
      const uint64_t off = static_cast<uint64_t>(A.HeaderLength) + static_cast<uint64_t>(first - 1) * A.RecordLength;
      ssize_t got = 0;
      size_t done = 0;
      while (done < block.size()) {
        got = ::pread(A.Handle, block.data() + done, block.size() - done, static_cast<off_t>(off + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
      }
      if (done < block.size()) {
        SetError(got < 0 ? IoCodeFromErrno(errno) : 213, "Datei:  " + A.FileName + Tag);
        return false;
      }
      TranslateRecords(false, A.Oem, A.ReadHook, block.size(), A.RecordLength, block.data());
      for (uint32_t i = 0; i < n; ++i) {
        std::memcpy(A.Record.data(), block.data() + static_cast<size_t>(i) * A.RecordLength, A.RecordLength);
        A.CurrentRecord = first + i;
        LoadTypedRecord(A);
        if (!MakeRecordKey(D, A, key)) return false;
        if (Items.size() / ItemSize >= Capacity && !WriteRun()) return false;
        const size_t at = Items.size();
        Items.resize(at + ItemSize);
        std::memcpy(Items.data() + at, key.data(), D.H.KeyLength);
        Put32(Items.data() + at + D.H.KeyLength, first + i);
      }
      first += n;
    }
    return true;
  }

  bool Emit(TreeWriter& w) {
    if (RunStarts.empty()) {
      SortRun();
      for (uint32_t i : Order) {
        const uint8_t* item = Items.data() + static_cast<size_t>(i) * ItemSize;
        if (!w.Add(item, Get32(item + D.H.KeyLength))) return false;
        Progress();
      }
      return true;
    }
    if (!Items.empty() && !WriteRun()) return false;
    Items.shrink_to_fit();
    Order.clear();
    Order.shrink_to_fit();
    std::vector<Run> runs(RunStarts.size());
    const size_t pool = std::max<size_t>(ItemSize, 65502 / ItemSize * ItemSize);
    for (size_t r = 0; r < runs.size(); ++r) {
      runs[r].Next = RunStarts[r];
      runs[r].End = r + 1 < RunStarts.size() ? RunStarts[r + 1] : TempSize;
      runs[r].Buffer.reserve(pool);
    }
    auto fill = [&](Run& run) -> bool {
      run.Buffer.clear();
      run.Pos = 0;
      if (run.Next >= run.End) return true;
      const size_t n = static_cast<size_t>(std::min<uint64_t>(pool, run.End - run.Next));
      run.Buffer.resize(n);
      size_t done = 0;
      while (done < n) {
        const ssize_t r = ::pread(TempFd, run.Buffer.data() + done, n - done, static_cast<off_t>(run.Next + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
          SetError(r < 0 ? IoCodeFromErrno(errno) : 100, " [MakeIndex]");
          return false;
        }
        done += static_cast<size_t>(r);
      }
      run.Next += n;
      return true;
    };
    const Sorter s{D, D.H.KeyLength, ItemSize};
    auto greater = [&](size_t x, size_t y) {
      return s.Less(runs[y].Buffer.data() + runs[y].Pos, runs[x].Buffer.data() + runs[x].Pos);
    };
    std::priority_queue<size_t, std::vector<size_t>, decltype(greater)> heap(greater);
    for (size_t r = 0; r < runs.size(); ++r) {
      if (!fill(runs[r])) return false;
      if (!runs[r].Buffer.empty()) heap.push(r);
    }
    while (!heap.empty()) {
      const size_t r = heap.top();
      heap.pop();
      Run& run = runs[r];
      const uint8_t* item = run.Buffer.data() + run.Pos;
      if (!w.Add(item, Get32(item + D.H.KeyLength))) return false;
      Progress();
      run.Pos += ItemSize;
      if (run.Pos + ItemSize > run.Buffer.size() && !fill(run)) return false;
      if (run.Pos + ItemSize <= run.Buffer.size()) heap.push(r);
    }
    return true;
  }
};

}  // namespace

void MakeIndex(const std::string& nameWithOptions, const std::string& expression, KeyMaker maker, void* arg) {
  KelpieErrorCode = 0;
  std::string name = nameWithOptions;
  const bool unique = TakeOption(name, " UNIQUE");
  const bool soundex = TakeOption(name, " SOUNDEX");
  const bool descending = TakeOption(name, " DESCENDING");
  TakeOption(name, " NOCACHE");
  name = AllTrim(name);
  if (name.empty()) {
    SetError(220, "Index-Dateiname nicht angegeben [MakeIndex()]");
    return;
  }
  WorkArea* a = CurrentWorkArea();
  if (!a) {
    SetError(215, "Datenbank nicht geöffnet beim Indizieren von" + name + ".");
    return;
  }
  std::string full = IndexFileName(name, *a);
  const std::string tag = " [MakeIndex(<" + expression + ">," + full + ")]";
  // For a table among case twins the index is made under the name as given.
  if (!ExactNameFor(full, a->FileName) && !FindFileOfAnyCase(full, tag)) return;
  IndexDescriptor d;
  d.FileName = full;
  d.Maker = maker;
  d.MakerArg = arg;
  d.Soundex = soundex;
  d.Descending = descending;
  struct FreeExpression {
    IndexDescriptor& d;
    ~FreeExpression() {
      if (d.Expr) FreeExpr(d.Expr);
      if (d.Fd >= 0) ::close(d.Fd);
    }
  } freeExpression{d};
  if (!maker) {
    if (AllTrim(expression).empty()) {
      SetError(254, "Weder Ausdruck noch KeyMaker sind definiert" + tag);
      return;
    }
    if (expression.size() > MaxKeyLength) {
      SetError(300, "Index-Ausdruck länger als 100 Bytes" + tag);
      return;
    }
    d.Expr = AssignExpr(expression);
    if (!d.Expr) return;
    d.Expression = NormalizeKeyExpr(expression);
  }
  for (int area = 1; area <= 34; ++area) {
    AreaIndexState* s = AreaStateIfAny(area);
    if (!s) continue;
    for (const auto& other : s->Orders)
      if (other && other->FileName == full) {
        SetError(214, full + tag);
        return;
      }
  }
  // The index is built anew only where no other program has it open (they would go on working in
  // the replaced file): in use, the table must be had for exclusive use during the creation.
  struct EndExclusive {
    bool on = false;
    ~EndExclusive() {
      if (on) SetExclusive(false);
    }
  } exclusive;
  if (!a->Exclusive) {
    bool inUse = false;
    const int old = OpenForWriting(full, WriteOpen::Existing, O_RDWR, tag);
    if (old == -2) return;
    if (old >= 0) {
      inUse = !ShareModeLock(old, true);
      ::close(old);
    }
    if (inUse) {
      if (SetExclusive(true) != 0) {
        SetError(225, a->FileName + tag);
        return;
      }
      exclusive.on = true;
    }
  }
  d.Fd = OpenForWriting(full, WriteOpen::Anew, O_RDWR, tag);
  if (d.Fd == -2) return;
  if (d.Fd < 0) {
    SetError(IoCodeFromErrno(errno), "Datei nicht geöffnet " + full + tag);
    return;
  }
  char type = 'C';
  if (!maker) {
    type = d.Expr->ResultType;
    if (type != 'C' && type != 'D' && type != 'F' && type != 'N') {
      SetError(254, "Ungültiger Parser-Return-Typ" + tag);
      return;
    }
  }
  d.CharKey = type == 'C';
  d.H.KeyType = type;
  // The key length is that of the current record's key (so TRIM(NAME) takes the length of the name
  // there); the umlauts' two-letter spellings do not lengthen it.
  size_t keyLength = 8;
  if (maker && soundex) {
    keyLength = SoundexLength;
  } else if (d.CharKey && !KeyLengthOfRecord(d, *a, keyLength)) {
    return;
  }
  if (keyLength == 0 || keyLength > MaxKeyLength) {
    SetError(266, "Ungültige Schlüssellänge von anwender-definiertem KeyMaker geliefert." + tag);
    return;
  }
  d.H.KeyLength = static_cast<uint16_t>(keyLength);
  d.H.EntrySize = EntrySizeFor(d.H.KeyLength);
  d.H.KeysPerNode = static_cast<uint16_t>(504 / d.H.EntrySize);
  d.H.NumericFlag = d.CharKey ? 0 : 1;
  d.H.Unique = unique ? 1 : 0;
  {
    uint64_t n = RecCount();
    uint64_t need = n * d.H.EntrySize;
    while (n > 0) {
      n /= d.H.KeysPerNode;
      need += (n + 1) * NdxBlockSize;
    }
    need /= 1024;
    std::string dir, base, ext;
    SplitPath(full, dir, base, ext);
    const uint64_t free = DiskFreeKB(dir.empty() ? "." : dir);
    if (need > free) {
      SetError(227, "Verfügbarer Plattenplatz: " + std::to_string(free) + " KBytes;benötigt: " + std::to_string(need) +
                        " KBytes [MakeIndex]");
      return;
    }
  }
  const uint32_t savedRec = a->CurrentRecord;
  const bool savedEof = a->Eof, savedBof = a->Bof;
  const std::vector<uint8_t> savedRecord = a->Record;
  struct RestoreRecord {
    WorkArea& a;
    uint32_t rec;
    bool eof, bof;
    const std::vector<uint8_t>& record;
    ~RestoreRecord() {
      a.Record = record;
      a.CurrentRecord = rec;
      a.Eof = eof;
      a.Bof = bof;
      LoadTypedRecord(a);
    }
  } restore{*a, savedRec, savedEof, savedBof, savedRecord};
  TreeWriter writer(d, d.Fd, tag);
  uint32_t root = 1;
  {
    Build b(*a, d, tag);
    if (!b.Collect()) return;
    if (!b.Emit(writer)) return;
    if (!writer.Finish(root)) return;
    for (; b.ProgressDone < IndexProgressCalls && IndexProgress; ++b.ProgressDone) IndexProgress();
  }
  d.H.Root = root;
  d.H.NextFree = root + 1;
  Block anchor{};
  EncodeAnchor(d.H, anchor.data());
  std::string expr = maker ? KeyMakerMarker() : d.Expression;
  if (a->Oem) expr = AnsiToOemCopy(expr);
  std::memcpy(anchor.data() + 24, expr.data(), std::min<size_t>(expr.size(), 100));
  const uint32_t count = a->RecordCount;
  Put32(anchor.data() + 488, ~count);
  Put32(anchor.data() + 492, count);
  std::string dir, base, ext;
  SplitPath(a->FileName, dir, base, ext);
  std::string table = (base + ext).substr(0, 12);
  if (a->Oem) table = AnsiToOemCopy(table);
  std::memcpy(anchor.data() + 496, table.data(), table.size());
  if (!WriteAt(d.Fd, anchor.data(), NdxBlockSize, 0)) {
    SetError(IoCodeFromErrno(errno), "Fehler beim Schreiben der Index-Datei:  " + full + tag);
    return;
  }
  const int fd = d.Fd;
  d.Fd = -1;
  if (::close(fd) != 0) SetError(IoCodeFromErrno(errno), "Fehler beim Schließen der Index-Datei:  " + full + tag);
}

void Reindex() {
  WorkArea* a = CheckWorkArea("Reindex");
  if (!a) return;
  AreaIndexState& s = AreaState(CurrentArea);
  const int previous = s.Controlling;
  if (s.Orders[1]) Set_Order_To(1);
  for (int o = 1; o <= MaxOrders; ++o) {
    if (!s.Orders[o]) continue;
    const IndexDescriptor& d = *s.Orders[o];
    std::string expression;
    if (!d.Maker) {
      char raw[101] = {};
      if (::pread(d.Fd, raw, 100, 24) != 100) {
        SetError(errno ? IoCodeFromErrno(errno) : 100, "Fehler beim Lesen der Index-Datei:  [Reindex]");
        return;
      }
      expression = raw;
      if (a->Oem) expression = OemToAnsiCopy(expression);
    }
    std::string options;
    if (d.Soundex) options += " SOUNDEX";
    if (d.Descending) options += " DESCENDING";
    if (d.H.Unique) options += " UNIQUE";
    if (d.NoCache) options += " NOCACHE";
    const std::string file = d.FileName;
    const KeyMaker maker = d.Maker;
    void* arg = d.MakerArg;
    CloseIndex(o);
    MakeIndex(file + options, expression, maker, arg);
    if (KelpieErrorCode != 0) return;
    if (!SetIndexTo(file + options, o, maker, arg)) return;
  }
  Set_Order_To(previous);
}

}  // namespace qern::kelpie
