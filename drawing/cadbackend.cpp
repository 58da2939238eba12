// Output files of the CAD back ends (written complete through a working file, then renamed) and the
// conversion of texts for CAD files.
#include "drawing/cadbackend.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/codepage.h"
#include "platform/utf8decode.h"
#include "platform/workfile.h"

namespace qern {

namespace {
bool g_failNextCommit = false;
bool g_commitToMemory = false;
std::string g_inMemory;
// The text buffer of the last output, kept for the next one: a drawing's text grows to hundreds of
// kilobytes, and a fresh buffer would be grown and its pages touched anew for every file.
std::string g_spareText, g_spareTail;

// Control characters would break the line structure of a CAD file.
std::string BlankControls(std::string s) {
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return s;
}

// Plain ASCII is the same in every conversion and in Windows-1252 (most texts of a drawing are).
bool IsAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Printable ASCII (0x20 .. 0x7E) is written as it is, without a conversion or blanks: most texts
// of a drawing are, and every text is checked, so eight bytes are looked at in one step.
bool IsPrintableAscii(const std::string& s) {
  constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
  const char* p = s.data();
  size_t n = s.size();
  // A byte from 0x80 up, below 0x20 (less than 0x20 once 0x20 is taken away: it borrows into its
  // high bit), or 0x7F (zero after xor with 0x7F) marks its word.
  const auto marked = [](std::uint64_t w) {
    const std::uint64_t del = w ^ (0x7F * ones);
    return ((w | ((w - 0x20 * ones) & ~w) | ((del - ones) & ~del)) & highs) != 0;
  };
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (marked(w)) return false;
  }
  for (; n > 0; ++p, --n) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}
}  // namespace

CadOutputFile::CadOutputFile() = default;
CadOutputFile::~CadOutputFile() { Discard(); }

void CadOutputFile::Open(const std::string& name) {
  name_ = name;
  if (text_.capacity() < g_spareText.capacity()) text_.swap(g_spareText);
  text_.clear();
  if (tail_.capacity() < g_spareTail.capacity()) tail_.swap(g_spareTail);
  tail_.clear();
  open_ = true;
  io_ = IoOk;
  work_.reset();
  spilled_ = 0;
  spillFailed_ = false;
  spillError_ = 0;
}

bool CadOutputFile::Spill() { return SpillText(false); }

bool CadOutputFile::SpillText(bool whole) {
  if (!open_ || spillFailed_) return false;
  if (g_commitToMemory) {
    if (!work_) {
      g_inMemory.clear();
      work_ = std::make_unique<WorkFile>();  // (never created: marks the memory as begun)
    }
    g_inMemory += text_;
    text_.clear();
    return true;
  }
  if (!work_) {
    work_ = std::make_unique<WorkFile>();
    if (!work_->Create(name_)) {
      spillFailed_ = true;
      spillError_ = work_->Error();
    }
  }
  // Whole pages of the file only (unless whole): the page at the end is written out once it is
  // complete, not dirtied again while the disk writes it, nor written twice.
  size_t n = text_.size();
  if (!whole) n -= (spilled_ + n) % SpillPageBytes;
  if (!spillFailed_ && n > 0 && !work_->Write(std::string_view(text_).substr(0, n))) {
    spillFailed_ = true;
    spillError_ = work_->Error();
  }
  // The disk starts on what is written while the rest is made: the sync at the commit then waits
  // for little more than the last piece.
  if (!spillFailed_ && n > 0) ::sync_file_range(work_->Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
  spilled_ += n;
  text_.erase(0, n);
  return !spillFailed_;
}

bool CadOutputFile::SpillFrom(int fd) {
  if (!SpillText(true)) return false;
  off_t at = 0;
  if (!g_commitToMemory) {
    // Within one file system the system copies the bytes without bringing them up here, about a
    // megabyte at a time, each piece ending at a page of the file: the disk starts on each while
    // the next is copied.
    for (;;) {
      const size_t piece = (size_t{1} << 20) - spilled_ % SpillPageBytes;
      const ssize_t n = ::copy_file_range(fd, &at, work_->Fd(), nullptr, piece, 0);
      if (n == 0) return true;
      if (n < 0) {
        if (errno == EINTR) continue;
        break;  // the rest copied below (another file system, or no such call)
      }
      spilled_ += static_cast<size_t>(n);
      ::sync_file_range(work_->Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return false;
    }
    at += n;
    text_.append(buffer, static_cast<size_t>(n));
    if (!Spill()) return false;
  }
}

void CadOutputFile::FailNextCommit(bool fail) { g_failNextCommit = fail; }

void CadOutputFile::CommitToMemory(bool on) {
  g_commitToMemory = on;
  g_inMemory.clear();
}

const std::string& CadOutputFile::InMemory() { return g_inMemory; }

bool CadOutputFile::Commit() {
  if (!open_) return false;
  open_ = false;
  io_ = IoOk;
  if (g_commitToMemory) {
    if (work_) {
      g_inMemory += text_;
    } else {
      g_inMemory.swap(text_);  // (the two buffers trade their room)
    }
    g_inMemory += tail_;
    Discard();
    return true;
  }
  if (!work_) work_ = std::make_unique<WorkFile>();
  WorkFile& file = *work_;
  bool ok = !spillFailed_ && (file.IsOpen() || file.Create(name_)) && !g_failNextCommit &&
            file.Write(text_) && (tail_.empty() || file.Write(tail_)) && file.Commit();
  int err = spillFailed_ ? spillError_ : file.Error();
  if (g_failNextCommit) err = ENOSPC;
  g_failNextCommit = false;
  if (!ok) {
    file.Discard();
    io_ = IoCodeFromErrno(err);
    if (io_ == IoOk) io_ = IoWriteError;
  }
  Discard();
  return ok;
}

void CadOutputFile::Discard() {
  open_ = false;
  if (work_) work_->Discard();
  work_.reset();
  text_.clear();
  tail_.clear();
  if (text_.capacity() > g_spareText.capacity()) text_.swap(g_spareText);
  if (tail_.capacity() > g_spareTail.capacity()) tail_.swap(g_spareTail);
}

namespace {
std::string ConvertCadFileText(const std::string& s) {
  // Characters Windows-1252 lacks (and has no stand-in for) are written as the DXF escape \U+XXXX
  // instead of "?", so CAD programs still show them.
  const std::string text = ConvertOutputText(s);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {  // ASCII is the same in Windows-1252
      out += text[i++];
      continue;
    }
    const size_t start = i;
    const char32_t c = DecodeUtf8(text, i);
    const std::string_view ch(text.data() + start, i - start);
    std::string bytes = Utf8ToCp1252(ch);
    if (bytes == "?" && c != U'?' && c != Utf8Malformed && c <= 0xFFFF) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(c));
      bytes = buf;
    }
    out += bytes;
  }
  return BlankControls(out);
}

}  // namespace

std::string CadFileText(const std::string& s) {
  if (IsPrintableAscii(s)) return s;
  if (IsAscii(s)) return BlankControls(s);
  // The same texts (table captions, units, signs) come drawing after drawing: their conversions
  // are kept, for the text settings they were made with.
  static std::unordered_map<std::string, std::string> kept;
  static int keptMode = -1, keptSpecial = -1;
  if (keptMode != Settings.CadTextMode || keptSpecial != Settings.SpecialCharMode) {
    kept.clear();
    keptMode = Settings.CadTextMode;
    keptSpecial = Settings.SpecialCharMode;
  }
  if (auto it = kept.find(s); it != kept.end()) return it->second;
  if (kept.size() >= 4096) kept.clear();
  return kept.emplace(s, ConvertCadFileText(s)).first->second;
}

std::string CadFileValue(const std::string& s) {
  if (IsPrintableAscii(s)) return s;
  return BlankControls(IsAscii(s) ? s : Utf8ToCp1252(s));
}

void ReportCadWriteError(const CadOutputFile& f) {
  ErrorBox(f.Name() + " konnte nicht geschrieben werden (" + FileIoErrorText(f.IoResult(), f.Name()) +
           ") !");
  Flags.AbortFlag = true;
}

}  // namespace qern
