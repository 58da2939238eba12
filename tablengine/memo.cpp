// Memo files: DBT (dBase III and IV) and FPT. Opening beside the table, reading a memo, appending,
// replacing with reuse of blocks through the dBase IV free chain, copying, packing, text device.
#include "platform/workfile.h"
#include "tablengine/memo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "tablengine/kpapi.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

std::vector<std::string> MemoLines;
size_t MemoLineCapacity = 1024;

namespace {

constexpr uint8_t kDb3 = 0x83, kDb4 = 0x8B, kFpt = 0xF5;
constexpr int kChainLimit = 100;  // free groups searched for room

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[3]) | static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[0]) << 24;
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[3 - i] = static_cast<uint8_t>(v >> (8 * i));
}



int IoCode() { return errno ? IoCodeFromErrno(errno) : 100; }

uint64_t FileSize(int fd) {
  struct stat st{};
  return ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

uint8_t TypeOfVersion(uint8_t version) {
  if (version == kDb3) return kDb3;
  if (version == 0x8B || version == 0x8C) return kDb4;
  if (version == kFpt || version == 0x30) return kFpt;
  const uint8_t d = DefaultVersion;
  if (d == kDb3 || d == kFpt) return d;
  return kDb4;
}

uint64_t Ceil(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

WorkArea* MemoArea(const std::string& routine) {
  WorkArea* a = CheckWorkArea(routine);
  if (!a) return nullptr;
  if (!a->Memo) {
    SetError(1019, a->FileName + " No Memo Field [" + routine + "]");
    return nullptr;
  }
  return a;
}

// The memo file lock of an append or header update: one byte at offset 10.
class MemoLock {
 public:
  MemoLock(WorkArea& a, MemoFileState& m, const std::string& routine) : m_(m) {
    if (!KelpieSharedMode || a.Exclusive || m.Locked) {
      ok_ = true;
      return;
    }
    for (int i = 0; i < 11 && !ok_; ++i) {
      ok_ = LockRegion(false, m.Fd, 10, 1) == 0;
      if (!ok_) DelayMs(10);
    }
    if (!ok_) {
      SetError(1017, m.Name + " [" + routine + "]");
      return;
    }
    held_ = m.Locked = true;
  }
  ~MemoLock() {
    if (held_) {
      LockRegion(true, m_.Fd, 10, 1);
      m_.Locked = false;
    }
  }
  bool Ok() const { return ok_; }

 private:
  MemoFileState& m_;
  bool ok_ = false;
  bool held_ = false;
};

std::string ToFile(const WorkArea& a, std::string text) {
  if (a.Oem) AnsiToOemBuffer(reinterpret_cast<uint8_t*>(text.data()), text.size());
  return text;
}

std::string FromFile(const WorkArea& a, std::string text) {
  if (a.Oem) OemToAnsiBuffer(reinterpret_cast<uint8_t*>(text.data()), text.size());
  return text;
}

// The stored bytes of a memo in the file's format, padded to whole blocks.
std::vector<uint8_t> Encode(const MemoFileState& m, const std::string& fileText) {
  const uint32_t len = static_cast<uint32_t>(fileText.size());
  const size_t head = m.Type == kDb3 ? 0 : 8;
  // dBase III text ends in two end bytes (the first ends the text for this engine, readers of
  // the format look for both).
  const size_t used = head + len + (m.Type == kDb3 ? 2 : 0);
  std::vector<uint8_t> out(Ceil(used, m.BlockSize) * m.BlockSize, 0);
  if (len > 0) std::memcpy(out.data() + head, fileText.data(), len);
  if (m.Type == kDb3) {
    out[len] = out[len + 1] = 0x1A;
  } else if (m.Type == kFpt) {
    PutBe32(out.data(), 1);
    PutBe32(out.data() + 4, len);
  } else {
    out[0] = out[1] = 0xFF;
    out[2] = 0x08;
    PutLe32(out.data() + 4, len + 8);
  }
  return out;
}

// The memo's text as stored (file code page); false after reporting the error.
bool ReadStored(const MemoFileState& m, int32_t block, std::string& text, const std::string& where) {
  text.clear();
  if (block <= 0) return true;
  const uint64_t size = FileSize(m.Fd);
  const uint64_t off = static_cast<uint64_t>(block) * m.BlockSize;
  if (off >= size) {
    SetError(30, "Reading memo field in " + m.Name + where);
    return false;
  }
  uint8_t head[8] = {};
  const size_t headLen = static_cast<size_t>(std::min<uint64_t>(8, size - off));
  if (!ReadAt(m.Fd, head, headLen, off)) {
    SetError(IoCode(), "Reading memo field in " + m.Name + where);
    return false;
  }
  uint64_t start = off, length = 0;
  bool counted = false;
  if (m.Type == kFpt) {
    if (headLen < 8) {
      SetError(30, "Reading memo field in " + m.Name + where);
      return false;
    }
    start = off + 8;
    length = Be32(head + 4);
    counted = true;
  } else if (headLen == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
    start = off + 8;
    const uint32_t stored = Le32(head + 4);
    length = stored >= 8 ? stored - 8 : 0;
    counted = true;
  }
  if (counted) {
    if (length > size - start) {
      SetError(30, "Reading memo field in " + m.Name + where);
      return false;
    }
    text.resize(static_cast<size_t>(length));
    if (length > 0 && !ReadAt(m.Fd, text.data(), text.size(), start)) {
      SetError(IoCode(), "Reading memo field in " + m.Name + where);
      return false;
    }
    return true;
  }
  // dBase III text: up to the first end byte (or the end of the file). Read in pieces that start at
  // one block (at least 512 bytes) and double up to 1 MB, so that small blocks cost no call per
  // block and a short memo reads little beyond its end.
  constexpr uint64_t kLargestPiece = uint64_t{1} << 20;
  uint64_t want = std::max<uint64_t>(m.BlockSize, 512);
  for (uint64_t pos = off; pos < size; want = std::min(want * 2, kLargestPiece)) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(want, size - pos));
    const size_t at = text.size();
    text.resize(at + n);
    if (!ReadAt(m.Fd, text.data() + at, n, pos)) {
      text.clear();
      SetError(IoCode(), "Reading memo field in " + m.Name + where);
      return false;
    }
    const size_t end = text.find('\x1A', at);
    if (end != std::string::npos) {
      text.resize(end);
      break;
    }
    pos += n;
  }
  return true;
}

// Pads the file to a whole block and returns the append position (a new dBase III file of 513
// bytes takes its first memo at 512).
bool PadAndSeekEnd(MemoFileState& m, uint64_t& pos) {
  const uint64_t size = FileSize(m.Fd);
  if (m.Type == kDb3 && size == 513) {
    pos = 512;
    return true;
  }
  pos = Ceil(std::max<uint64_t>(size, 1), m.BlockSize) * m.BlockSize;
  if (pos != size) {
    const std::vector<uint8_t> zeros(static_cast<size_t>(pos - size), 0);
    if (!WriteAt(m.Fd, zeros.data(), zeros.size(), size)) {
      SetError(IoCode(), m.Name + " [AddMemo]");
      return false;
    }
  }
  return true;
}

bool WriteHead(MemoFileState& m, uint32_t head) {
  uint8_t b[4];
  if (m.Type == kFpt) PutBe32(b, head);
  else PutLe32(b, head);
  if (!WriteAt(m.Fd, b, 4, 0)) {
    SetError(IoCode(), m.Name + " [MainHeaderWrite()]");
    return false;
  }
  return true;
}

bool ReadHead(const MemoFileState& m, uint32_t& head) {
  uint8_t b[4] = {};
  if (!ReadAt(m.Fd, b, 4, 0)) {
    SetError(30, m.Name + " [MainHeaderWrite()]");
    return false;
  }
  head = m.Type == kFpt ? Be32(b) : Le32(b);
  return true;
}

bool ReadGroup(const MemoFileState& m, uint32_t block, uint32_t& next, uint32_t& count) {
  uint8_t b[8];
  if (!ReadAt(m.Fd, b, 8, static_cast<uint64_t>(block) * m.BlockSize)) {
    SetError(30, m.Name + " [EditMemo/CloseMemo]");
    return false;
  }
  next = Le32(b);
  count = Le32(b + 4);
  return true;
}

bool WriteGroup(const MemoFileState& m, uint32_t block, uint32_t next, uint32_t count) {
  uint8_t b[8];
  PutLe32(b, next);
  PutLe32(b + 4, count);
  if (!WriteAt(m.Fd, b, 8, static_cast<uint64_t>(block) * m.BlockSize)) {
    SetError(29, m.Name + " [EditMemo/CloseMemo]");
    return false;
  }
  return true;
}

uint32_t FileBlocks(const MemoFileState& m) { return static_cast<uint32_t>(Ceil(FileSize(m.Fd), m.BlockSize)); }

bool ChainEnd(uint32_t g, uint32_t blocks) { return g == 0 || g >= blocks; }

void ChainBroken(const MemoFileState& m) { SetError(30, "Freiblock-Kette beschädigt: " + m.Name + " [EditMemo/CloseMemo]"); }

// The dBase IV free chain ends at the end of the file; when the file grows from oldBlocks, the end
// pointer follows so that the chain never points into the new memos.
bool ChainFollowsEnd(MemoFileState& m, uint32_t oldBlocks, uint32_t newBlocks) {
  uint32_t head;
  if (!ReadHead(m, head)) return false;
  if (ChainEnd(head, oldBlocks)) return WriteHead(m, newBlocks);
  uint32_t g = head;
  for (uint32_t steps = 0;; ++steps) {
    if (steps > oldBlocks) {
      ChainBroken(m);
      return false;
    }
    uint32_t next, count;
    if (!ReadGroup(m, g, next, count)) return false;
    if (ChainEnd(next, oldBlocks)) return WriteGroup(m, g, newBlocks, count);
    g = next;
  }
}

bool UpdateMemoHeader(MemoFileState& m, uint32_t oldBlocks, uint32_t written) {
  const uint32_t blocks = FileBlocks(m);
  if (m.Type == kDb4) {
    if (!ChainFollowsEnd(m, oldBlocks, blocks)) return false;
    m.BlocksWritten += written;
    uint8_t b[4] = {};
    ReadAt(m.Fd, b, 4, 32);
    PutLe32(b, Le32(b) + written);
    if (!WriteAt(m.Fd, b, 4, 32)) {
      SetError(IoCode(), m.Name + " [UpdateMemoHeader()]");
      return false;
    }
    return true;
  }
  return WriteHead(m, blocks);
}

// Appends stored bytes at the end; the first block.
int32_t AppendStored(MemoFileState& m, const std::vector<uint8_t>& bytes) {
  const uint32_t oldBlocks = FileBlocks(m);
  uint64_t pos;
  if (!PadAndSeekEnd(m, pos)) return 0;
  if (!WriteAt(m.Fd, bytes.data(), bytes.size(), pos)) {
    SetError(IoCode(), m.Name + " [AddMemo]");
    return 0;
  }
  const uint32_t before = m.Type == kDb3 && pos == 512 ? 1 : std::max<uint32_t>(oldBlocks, static_cast<uint32_t>(pos / m.BlockSize));
  if (!UpdateMemoHeader(m, before, static_cast<uint32_t>(bytes.size() / m.BlockSize))) return 0;
  return static_cast<int32_t>(pos / m.BlockSize);
}

// Gives blocks [first, first + count) to the free chain, in block order.
bool ReleaseBlocks(MemoFileState& m, uint32_t first, uint32_t count) {
  if (count == 0) return true;
  const uint32_t blocks = FileBlocks(m);
  uint32_t head;
  if (!ReadHead(m, head)) return false;
  uint32_t prev = 0, g = head;
  for (uint32_t steps = 0; !ChainEnd(g, blocks) && g < first; ++steps) {
    if (steps > blocks) {
      ChainBroken(m);
      return false;
    }
    uint32_t next, n;
    if (!ReadGroup(m, g, next, n)) return false;
    prev = g;
    g = next;
  }
  const uint32_t follow = ChainEnd(g, blocks) ? blocks : g;
  if (!WriteGroup(m, first, follow, count)) return false;
  if (prev == 0) return WriteHead(m, first);
  uint32_t next, n;
  if (!ReadGroup(m, prev, next, n)) return false;
  return WriteGroup(m, prev, first, n);
}

// Takes room of count blocks from the free chain; 0 when no group is large enough.
bool TakeFromChain(MemoFileState& m, uint32_t count, uint32_t& block) {
  block = 0;
  const uint32_t blocks = FileBlocks(m);
  uint32_t head;
  if (!ReadHead(m, head)) return false;
  uint32_t prev = 0, g = head;
  for (int steps = 0; steps < kChainLimit && !ChainEnd(g, blocks); ++steps) {
    uint32_t next, n;
    if (!ReadGroup(m, g, next, n)) return false;
    if (n == 0 || g + static_cast<uint64_t>(n) > blocks) {
      ChainBroken(m);
      return false;
    }
    if (n >= count) {
      uint32_t follow = next;
      if (n > count) {
        // The rest of the group stays free in its place.
        if (!WriteGroup(m, g + count, next, n - count)) return false;
        follow = g + count;
      }
      if (prev == 0) {
        if (!WriteHead(m, follow)) return false;
      } else {
        uint32_t pn, pc;
        if (!ReadGroup(m, prev, pn, pc) || !WriteGroup(m, prev, follow, pc)) return false;
      }
      block = g;
      return true;
    }
    prev = g;
    g = next;
  }
  return true;
}

// Number of blocks of the dBase IV memo at block (0 when it is no counted memo).
uint32_t StoredBlocks(const MemoFileState& m, int32_t block) {
  if (block <= 0) return 0;
  const uint64_t size = FileSize(m.Fd);
  const uint64_t off = static_cast<uint64_t>(block) * m.BlockSize;
  uint8_t head[8];
  if (off + 8 > size || !ReadAt(m.Fd, head, 8, off)) return 0;
  if (!(head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00)) return 0;
  const uint64_t length = Le32(head + 4);
  if (off + length > size) return 0;
  return static_cast<uint32_t>(Ceil(std::max<uint64_t>(length, 1), m.BlockSize));
}

std::string Where(const WorkArea& a, const char* routine) {
  return " Record # " + std::to_string(a.CurrentRecord) + " [" + routine + "]";
}

void SplitLines(const std::string& text) {
  MemoLines.clear();
  std::string line;
  auto push = [&] {
    if (MemoLines.size() < MemoLineCapacity) MemoLines.push_back(line);
    line.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 13 || c == 0x8D || c == 10) {
      push();
      if (c != 10 && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      continue;
    }
    line += static_cast<char>(c);
    if (line.size() > MemoLineWidth) {
      // A long line breaks at its last blank.
      const size_t blank = line.find_last_of(' ', MemoLineWidth);
      const size_t cut = blank == std::string::npos || blank == 0 ? MemoLineWidth : blank;
      std::string rest = line.substr(cut == blank ? cut + 1 : cut);
      line.resize(cut);
      push();
      line = rest;
    }
  }
  if (!line.empty()) push();
}

}  // namespace

uint8_t GetMemoType() {
  const WorkArea* a = CurrentWorkArea();
  return TypeOfVersion(a ? a->Header[0] : DefaultVersion);
}

void USE(const std::string& tableName) {
  WorkArea* a = CheckWorkArea("USE");
  if (!a) return;
  if (a->Memo) {
    SetError(1007, a->FileName + " [USE]");
    return;
  }
  const uint8_t type = TypeOfVersion(a->Header[0]);
  // The memo named in the case of the table's extension, else a file of the name in another case
  // (not for a table among case twins: the other case is the twin's memo).
  std::string name = MemoFileName(tableName, a->Header[0]);
  if (!FindFileOfTable(name, tableName, " [USE]")) return;
  const bool shared = (KelpieSharedMode && !a->Exclusive);
  (void)shared;
  const int fd = OpenForWriting(name, WriteOpen::Existing, O_RDWR, " [USE]");
  if (fd == -2) return;
  if (fd < 0) {
    const int err = errno;
    // A table that announces memos but has no memo field does without its memo file.
    const bool memoFields =
        std::any_of(a->Fields.begin(), a->Fields.end(), [](const FieldDescriptor& f) { return f.Type == 'M'; });
    if (err == ENOENT && !memoFields) return;
    SetError(IoCodeFromErrno(err), "Memo-Datei nicht gefunden: " + name + " [USE]");
    return;
  }
  auto* m = new MemoFileState();
  m->Fd = fd;
  m->Name = name;
  m->Type = type;
  uint16_t bs = 0;
  uint8_t head[24] = {};
  const uint64_t size = FileSize(fd);
  if (type == kDb3) {
    bs = 512;
  } else if (type == kFpt) {
    if (size >= 8 && ReadAt(fd, head, 8, 0)) bs = static_cast<uint16_t>(head[6] << 8 | head[7]);
  } else if (size >= 24 && ReadAt(fd, head, 24, 0)) {
    bs = static_cast<uint16_t>(head[20] | head[21] << 8);
  }
  m->BlockSize = bs == 0 ? (MemoBlockSize ? MemoBlockSize : 512) : bs;
  a->Memo = m;
}

void CloseMemofile() {
  WorkArea* a = CurrentWorkArea();
  if (!a || !a->Memo) return;
  MemoFileState* m = a->Memo;
  a->Memo = nullptr;
  const int r = ::close(m->Fd);
  const int err = errno;
  const std::string name = m->Name;
  delete m;
  if (r != 0) SetError(IoCodeFromErrno(err), name + " [CloseMemofile]");
}

std::string ReadMemo(int32_t firstBlock) {
  WorkArea* a = MemoArea("GetMemo");
  if (!a) return {};
  std::string text;
  if (!ReadStored(*a->Memo, firstBlock, text, Where(*a, "GetMemo"))) return {};
  return FromFile(*a, text);
}

void GetMemo(int32_t firstBlock) {
  MemoLines.clear();
  const std::string text = ReadMemo(firstBlock);
  if (KelpieErrorCode == 0) SplitLines(text);
}

int32_t AddMemo(const std::string& text) {
  WorkArea* a = MemoArea("AddMemo");
  if (!a) return 0;
  MemoFileState& m = *a->Memo;
  MemoLock lock(*a, m, "AddMemo");
  if (!lock.Ok()) return 0;
  return AppendStored(m, Encode(m, ToFile(*a, text)));
}

int32_t EditMemo(int32_t oldBlock, const std::string& text) {
  WorkArea* a = MemoArea("EditMemo/CloseMemo");
  if (!a) return 0;
  MemoFileState& m = *a->Memo;
  if (m.Type != kDb4) return AddMemo(text);
  MemoLock lock(*a, m, "EditMemo/CloseMemo");
  if (!lock.Ok()) return 0;
  const std::vector<uint8_t> bytes = Encode(m, ToFile(*a, text));
  const uint32_t need = static_cast<uint32_t>(bytes.size() / m.BlockSize);
  const uint32_t old = StoredBlocks(m, oldBlock);
  if (old > 0 && old >= need) {
    // The old blocks suffice: the memo stays in place, its surplus becomes free.
    if (!WriteAt(m.Fd, bytes.data(), bytes.size(), static_cast<uint64_t>(oldBlock) * m.BlockSize)) {
      SetError(29, m.Name + " [EditMemo/CloseMemo]");
      return 0;
    }
    if (!ReleaseBlocks(m, static_cast<uint32_t>(oldBlock) + need, old - need)) return 0;
    return oldBlock;
  }
  if (old > 0 && !ReleaseBlocks(m, static_cast<uint32_t>(oldBlock), old)) return 0;
  uint32_t block;
  if (!TakeFromChain(m, need, block)) return 0;
  if (block == 0) return AppendStored(m, bytes);
  if (!WriteAt(m.Fd, bytes.data(), bytes.size(), static_cast<uint64_t>(block) * m.BlockSize)) {
    SetError(29, m.Name + " [EditMemo/CloseMemo]");
    return 0;
  }
  return static_cast<int32_t>(block);
}

int32_t EditMemoLines(int32_t oldBlock) {
  std::string text;
  for (size_t i = 0; i < MemoLines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += MemoLines[i];
  }
  return EditMemo(oldBlock, text);
}

int32_t CopyMemo(int sourceArea, int32_t firstBlock, int mode) {
  if (firstBlock <= 0) return 0;
  WorkArea* a = MemoArea("AppendFrom/CopyTo");
  if (!a) return 0;
  WorkArea* src = sourceArea >= 1 && sourceArea <= MaxWorkAreas ? WorkAreaTable[sourceArea] : nullptr;
  if (!src || !src->Memo) {
    SetError(1019, std::string(src ? src->FileName : "") + " No Memo Field [AppendFrom/CopyTo]");
    return 0;
  }
  std::string text;
  if (!ReadStored(*src->Memo, firstBlock, text, " [AppendFrom/CopyTo]")) return 0;
  text = ToFile(*a, FromFile(*src, text));
  MemoFileState& m = *a->Memo;
  MemoLock lock(*a, m, "AppendFrom/CopyTo");
  if (!lock.Ok()) return 0;
  const std::vector<uint8_t> bytes = Encode(m, text);
  if (mode == 0) return AppendStored(m, bytes);
  const uint32_t oldBlocks = FileBlocks(m);
  uint64_t pos;
  if (!PadAndSeekEnd(m, pos)) return 0;
  const uint64_t at = static_cast<uint64_t>(firstBlock) * m.BlockSize;
  if (!WriteAt(m.Fd, bytes.data(), bytes.size(), at)) {
    SetError(IoCode(), m.Name + " [AppendFrom/CopyTo]");
    return 0;
  }
  if (!UpdateMemoHeader(m, oldBlocks, static_cast<uint32_t>(bytes.size() / m.BlockSize))) return 0;
  return firstBlock;
}

void PackMemofile() {
  WorkArea* a = MemoArea("PackMemofile");
  if (!a) return;
  MemoFileState& m = *a->Memo;
  if (!FileExist(m.Name)) {
    SetError(2, "Memo-Datei nicht gefunden: " + m.Name + " [PackMemofile]");
    return;
  }
  std::string dir, base, ext;
  SplitPath(m.Name, dir, base, ext);
  const uint64_t sizeKb = Ceil(FileSize(m.Fd), 1024);
  if (sizeKb >= DiskFreeKB(dir.empty() ? "." : dir)) {
    SetError(1012, m.Name + " [PackMemofile]");
    return;
  }
  // The new file is built and made durable before any record points into it.
  MemoFileState fresh;
  fresh.Name = ForceExtension(m.Name, "$$$");
  fresh.Type = m.Type;
  fresh.BlockSize = m.BlockSize;
  struct Cleanup {
    MemoFileState& f;
    bool keep = false;
    ~Cleanup() {
      if (f.Fd >= 0) ::close(f.Fd);
      if (!keep) ::unlink(f.Name.c_str());
    }
  } cleanup{fresh};
  {
    // The empty file comes from the table layer, made beside a stand-in table in a private
    // folder and moved to the "$$$" name.
    std::string tmpl = dir + ".qernpack-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
      SetError(IoCodeFromErrno(errno), "Cannot create memo file " + fresh.Name + " [PackMemofile]");
      return;
    }
    const std::string standIn = tmpl + "/" + BaseName(a->FileName) + ".dbf";
    const bool made = CreateMemoFile(standIn, a->Header[0], m.BlockSize, "PackMemofile");
    const std::string madeName = MemoFileName(standIn, a->Header[0]);
    const bool moved = made && ::rename(madeName.c_str(), fresh.Name.c_str()) == 0;
    const int err = errno;
    ::unlink(madeName.c_str());
    ::rmdir(tmpl.c_str());
    if (!made) return;
    if (!moved) {
      SetError(IoCodeFromErrno(err), "Cannot create memo file " + fresh.Name + " [PackMemofile]");
      return;
    }
  }
  fresh.Fd = ::open(fresh.Name.c_str(), O_RDWR | O_CLOEXEC);
  if (fresh.Fd < 0) {
    SetError(IoCodeFromErrno(errno), "Cannot create memo file " + fresh.Name + " [PackMemofile]");
    return;
  }
  // The packed file takes the rights of the one it replaces.
  TakeRightsOf(fresh.Fd, FollowOwnLinks(m.Name));
  const uint32_t count = RecCount();
  const uint64_t oldSize = FileSize(m.Fd);
  struct Change {
    uint32_t Rec;
    size_t Field;
    int32_t Block;
  };
  std::vector<Change> changes;
  std::vector<uint8_t> record(a->RecordLength);
  for (uint32_t r = 1; r <= count; ++r) {
    const uint64_t off = static_cast<uint64_t>(a->HeaderLength) + static_cast<uint64_t>(r - 1) * a->RecordLength;
    if (!ReadAt(a->Handle, record.data(), record.size(), off)) {
      SetError(IoCode(), a->FileName + " [PackMemo]");
      return;
    }
    for (size_t f = 0; f < a->Fields.size(); ++f) {
      const FieldDescriptor& fd = a->Fields[f];
      if (fd.Type != 'M') continue;
      const std::string digits = AllTrim(std::string(reinterpret_cast<const char*>(record.data() + fd.Offset), fd.Length));
      const long block = std::strtol(digits.c_str(), nullptr, 10);
      if (block <= 0) continue;
      if (static_cast<uint64_t>(block) * m.BlockSize >= oldSize) {
        SetError(1003, " Memo block # " + std::to_string(block) + " Record # " + std::to_string(r) + " [PackMemo]");
        return;
      }
      std::string text;
      if (!ReadStored(m, static_cast<int32_t>(block), text, " Record # " + std::to_string(r) + " [PackMemo]")) return;
      const int32_t nb = AppendStored(fresh, Encode(fresh, text));
      if (nb == 0) return;
      changes.push_back({r, f, nb});
    }
  }
  if (!WriteHead(fresh, FileBlocks(fresh)) || ::fsync(fresh.Fd) != 0) {
    SetError(29, fresh.Name + " [PackMemo]");
    return;
  }
  ::close(fresh.Fd);
  fresh.Fd = -1;
  if (::rename(fresh.Name.c_str(), m.Name.c_str()) != 0) {
    SetError(IoCodeFromErrno(errno), m.Name + " [PackMemofile]");
    return;
  }
  cleanup.keep = true;
  const std::string name = m.Name;
  const uint8_t type = m.Type;
  const uint16_t bs = m.BlockSize;
  ::close(m.Fd);
  m.Fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
  if (m.Fd < 0) {
    SetError(IoCodeFromErrno(errno), "Memo-Datei nicht gefunden: " + name + " [PackMemofile]");
    return;
  }
  m.Type = type;
  m.BlockSize = bs;
  // Only now the records take the new block numbers.
  const uint32_t savedRec = a->CurrentRecord;
  const bool savedEof = a->Eof, savedBof = a->Bof;
  for (const Change& c : changes) {
    GetDbfRecord(*a, c.Rec);
    if (KelpieErrorCode != 0) return;
    LoadTypedRecord(*a);
    SetTypedMemoBlock(*a, a->Fields[c.Field], c.Block);
    StoreTypedRecord(*a);
    PutDbfRecord(*a, c.Rec);
    if (KelpieErrorCode != 0) return;
  }
  if (savedRec >= 1 && savedRec <= a->RecordCount) {
    GetDbfRecord(*a, savedRec);
    LoadTypedRecord(*a);
  }
  a->CurrentRecord = savedRec;
  a->Eof = savedEof;
  a->Bof = savedBof;
}

void RecreateMemofile() {
  WorkArea* a = CheckWorkArea("RecreateMemofile");
  if (!a) return;
  CloseMemofile();
  if (!CreateMemoFile(a->FileName, a->Header[0], MemoBlockSize, "RecreateMemofile")) return;
  USE(a->FileName);
}

// ---------------------------------------------------------------------------------------------------
// Memo fields

namespace {

const FieldDescriptor* MemoField(int n, const char* routine) {
  WorkArea* a = CheckWorkArea(routine);
  if (!a) return nullptr;
  if (n < 1 || n > a->FieldCount || a->Fields[n - 1].Type != 'M') {
    SetError(220, "Ungültige Feldnr. [" + std::string(routine) + "(" + std::to_string(n) + ")]");
    return nullptr;
  }
  return &a->Fields[n - 1];
}

}  // namespace

std::string MemoFieldText(int n) {
  const FieldDescriptor* f = MemoField(n, "MemoFieldText");
  if (!f) return {};
  const WorkArea& a = *CurrentWorkArea();
  for (const auto& [field, text] : a.PendingMemos)
    if (field == n - 1) return text;
  return ReadMemo(TypedMemoBlock(a, *f));
}

std::string MemoFieldUtf8(int n) { return Cp1252ToUtf8(MemoFieldText(n)); }

std::string ReadMemoOf(int area, int32_t firstBlock) {
  if (firstBlock <= 0 || area < 1 || area > MaxWorkAreas) return {};
  const uint8_t current = CurrentArea;
  CurrentArea = static_cast<uint8_t>(area);
  struct Restore {
    uint8_t area;
    ~Restore() { CurrentArea = area; }
  } restore{current};
  return ReadMemo(firstBlock);
}

void PutMemoField(int n, const std::string& text) {
  if (!MemoField(n, "PutMemoField")) return;
  WorkArea* a = MemoArea("EditMemo/CloseMemo");
  if (!a) return;
  // Kept with the typed record: the memo file is written by the Replace or Append that may.
  for (auto& [field, pending] : a->PendingMemos)
    if (field == n - 1) {
      pending = text;
      return;
    }
  a->PendingMemos.emplace_back(n - 1, text);
}

namespace {

bool WritePendingMemos(bool newRecord) {
  WorkArea* a = CurrentWorkArea();
  if (!a) return true;
  while (!a->PendingMemos.empty()) {
    const auto& [field, text] = a->PendingMemos.front();
    const FieldDescriptor& f = a->Fields[static_cast<size_t>(field)];
    // A new record's memo never takes the place of one that its typed record may still name.
    const int32_t block = EditMemo(newRecord ? 0 : TypedMemoBlock(*a, f), text);
    if (block <= 0) return false;  // its error reported
    SetTypedMemoBlock(*a, f, block);
    a->PendingMemos.erase(a->PendingMemos.begin());
  }
  return true;
}

}  // namespace

void PutMemoFieldUtf8(int n, const std::string& utf8) { PutMemoField(n, Utf8ToCp1252(utf8)); }

// ---------------------------------------------------------------------------------------------------
// Text device

void AssignMemo(MemoTextFile& file, int32_t& firstBlock) {
  file.Area = CurrentArea;
  file.Block = &firstBlock;
  file.Mode = 0;
  file.Lines.clear();
  file.Pos = 0;
}

void MemoReset(MemoTextFile& file) {
  const uint8_t area = CurrentArea;
  CurrentArea = static_cast<uint8_t>(file.Area);
  GetMemo(file.Block ? *file.Block : 0);
  CurrentArea = area;
  file.Lines = MemoLines;
  file.Pos = 0;
  file.Mode = 1;
}

void MemoRewrite(MemoTextFile& file) {
  file.Lines.clear();
  file.Pos = 0;
  file.Mode = 2;
}

void MemoAppend(MemoTextFile& file) {
  MemoReset(file);
  file.Mode = 2;
}

bool MemoReadLn(MemoTextFile& file, std::string& line) {
  if (file.Mode != 1 || file.Pos >= file.Lines.size()) {
    line.clear();
    return false;
  }
  line = file.Lines[file.Pos++];
  return true;
}

void MemoWriteLn(MemoTextFile& file, const std::string& line) {
  if (file.Mode != 2) {
    SetError(105, " [MemoWriteLn]");
    return;
  }
  if (file.Lines.size() < MemoLineCapacity) file.Lines.push_back(line);
}

void MemoClose(MemoTextFile& file) {
  if (file.Mode == 2) {
    const uint8_t area = CurrentArea;
    CurrentArea = static_cast<uint8_t>(file.Area);
    MemoLines = file.Lines;
    const int32_t block = EditMemoLines(file.Block ? *file.Block : 0);
    CurrentArea = area;
    if (block == 0 && !file.Lines.empty() && KelpieErrorCode == 0) SetError(101, " [MemoClose]");
    else if (file.Block) *file.Block = block;
  }
  file.Mode = 0;
  file.Lines.clear();
  file.Pos = 0;
}

namespace {

int32_t CopyToEnd(int sourceArea, int32_t block) { return CopyMemo(sourceArea, block, 0); }
int32_t CopyInPlace(int sourceArea, int32_t block) { return CopyMemo(sourceArea, block, 1); }

}  // namespace

void MemoInit() {
  MemoHookTable.AssignMemo = &AssignMemo;
  MemoHookTable.PackMemofile = &PackMemofile;
  MemoHookTable.Use = &USE;
  MemoHookTable.CloseMemofile = &CloseMemofile;
  MemoHookTable.CopyMemoToEnd = &CopyToEnd;
  MemoHookTable.CopyMemoInPlace = &CopyInPlace;
  MemoHookTable.RecreateMemofile = &RecreateMemofile;
  MemoHookTable.AddMemo = &AddMemo;
  MemoHookTable.ReadMemoOf = &ReadMemoOf;
  MemoHookTable.WritePendingMemos = &WritePendingMemos;
  MemoBlockSize = 512;
  MemoPresent = true;
}

}  // namespace qern::kelpie
