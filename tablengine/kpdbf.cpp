// DBF table file: header, records, end marker, code pages, typed record, opening and creating tables.
#include "tablengine/kpdbf.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#include "platform/workfile.h"
#include "tablengine/kpapi.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t RecordOffset(const WorkArea& a, uint32_t recno) {
  return static_cast<uint64_t>(a.HeaderLength) + static_cast<uint64_t>(recno - 1) * a.RecordLength;
}

// The stored text of a numeric field without its blanks (and zero bytes).
void TrimRange(const uint8_t*& b, const uint8_t*& e) {
  while (b < e && (*b == ' ' || *b == 0)) ++b;
  while (e > b && (e[-1] == ' ' || e[-1] == 0)) --e;
}

// Plain decimal text of at most 15 digits: the digits as an exact integer divided by an exact power
// of ten, which rounds once and so gives the same double as a full conversion, only faster.
bool FastDecimal(const uint8_t* p, const uint8_t* e, double& out) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  bool negative = false;
  if (p < e && (*p == '-' || *p == '+')) negative = *p++ == '-';
  uint64_t mantissa = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; p < e; ++p) {
    if (*p >= '0' && *p <= '9') {
      if (++digits > 15) return false;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
      decimals += point;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double d = static_cast<double>(mantissa) / kPow10[decimals];
  out = negative ? -d : d;
  return true;
}

double ParseDouble(const uint8_t* b, const uint8_t* e) {
  TrimRange(b, e);
  if (b == e) return 0;
  if (double fast; FastDecimal(b, e, fast)) return fast;
  const char* first = reinterpret_cast<const char*>(b);
  const char* last = reinterpret_cast<const char*>(e);
  if (*first == '+') ++first;
  double d = 0;
  const auto r = std::from_chars(first, last, d);
  if (r.ec == std::errc() && r.ptr == last) return std::isfinite(d) ? d : 0;
  // Unusual texts ("1,5", trailing signs): the C library's reading of the part that is a number.
  std::string t(reinterpret_cast<const char*>(b), static_cast<size_t>(e - b));
  for (char& c : t)
    if (c == ',') c = '.';
  d = std::strtod(t.c_str(), nullptr);
  return std::isfinite(d) ? d : 0;
}

int64_t ParseInteger(const uint8_t* b, const uint8_t* e) {
  TrimRange(b, e);
  if (b == e) return 0;
  const char* first = reinterpret_cast<const char*>(b);
  const char* last = reinterpret_cast<const char*>(e);
  if (*first == '+') ++first;
  if (last - first <= 18) {
    // Plain digits with an optional minus: no conversion call needed.
    const char* p = first;
    const bool negative = p < last && *p == '-';
    if (negative) ++p;
    int64_t v = 0;
    const char* digitsStart = p;
    while (p < last && *p >= '0' && *p <= '9') v = v * 10 + (*p++ - '0');
    if (p == last && p > digitsStart) return negative ? -v : v;
  }
  int64_t v = 0;
  const auto r = std::from_chars(first, last, v);
  if (r.ec == std::errc() && r.ptr == last) return v;
  const double d = ParseDouble(b, e);
  if (d >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (d <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);
}

int Digits(const uint8_t* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return -1;
    v = v * 10 + (p[i] - '0');
  }
  return v;
}

bool ValidDate(int y, int m, int d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return d <= days[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
}

void PutDigits(uint8_t* p, int v, int n) {
  for (int i = n - 1; i >= 0; --i) {
    p[i] = static_cast<uint8_t>('0' + v % 10);
    v /= 10;
  }
}

// Positions of day, month and year in the ten-character typed date text of a style.
struct DateLayout {
  int Day, Month, Year;
};
DateLayout LayoutOf(int style) {
  if (style == 0) return {3, 0, 6};
  if (style == 1) return {8, 5, 0};
  return {0, 3, 6};
}

// The typed date slot (length byte and ten characters, four-digit year) from its parts.
void WriteTypedDate(uint8_t* slot, int y, int m, int d) {
  const DateLayout l = LayoutOf(DateStyle);
  const uint8_t sep = static_cast<uint8_t>(DateSeparatorOf(DateStyle));
  slot[0] = 10;
  uint8_t* t = slot + 1;
  std::memset(t, sep, 10);
  PutDigits(t + l.Day, d, 2);
  PutDigits(t + l.Month, m, 2);
  PutDigits(t + l.Year, y, 4);
}

void WriteBlankTypedDate(uint8_t* slot) {
  slot[0] = 10;
  uint8_t* t = slot + 1;
  std::memset(t, ' ', 10);
  const uint8_t sep = static_cast<uint8_t>(DateSeparatorOf(DateStyle));
  if (DateStyle == 1) {
    t[4] = t[7] = sep;
  } else {
    t[2] = t[5] = sep;
  }
}

// Reads the typed date text; false when it is blank or no valid date.
bool ReadTypedDate(const uint8_t* slot, size_t room, int& y, int& m, int& d) {
  const size_t n = std::min<size_t>(slot[0], room);
  const uint8_t* t = slot + 1;
  if (n == 10) {
    const DateLayout l = LayoutOf(DateStyle);
    d = Digits(t + l.Day, 2);
    m = Digits(t + l.Month, 2);
    y = Digits(t + l.Year, 4);
    if (d >= 0 && m >= 0 && y >= 0) return ValidDate(y, m, d);
  }
  return ParseStyledDate(DateStyle, std::string(reinterpret_cast<const char*>(t), n), y, m, d);
}

// A write into the table while another program may append: the count is taken from the file under
// the table lock, so that the header count and the end marker never fall behind another's records.
class CommitLock {
 public:
  explicit CommitLock(WorkArea& a) : area_(a) {
    if (!KelpieSharedMode || a.Exclusive || a.IsVirtual || a.LockState == LockTable ||
        a.LockState == LockWholeFile)
      return;
    for (int i = 0; i < 2000; ++i) {
      if (LockRegion(false, a.Handle, LockBaseOffset + 1, 1) == 0) {
        held_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~CommitLock() {
    if (held_) LockRegion(true, area_.Handle, LockBaseOffset + 1, 1);
  }

 private:
  WorkArea& area_;
  bool held_ = false;
};

// Header and (after appends) end marker; false with errno set.
bool WriteHeaderAndMarker(WorkArea& a, int& code) {
  code = 0;
  if (!a.Exclusive) a.RecordCount = RecCountFromFile(a);
  const uint16_t saved = KelpieErrorCode;
  const bool dispatch = SetErrorDispatch(false);
  KelpieErrorCode = 0;
  WriteDbfHeader(a);
  code = KelpieErrorCode;
  KelpieErrorCode = saved;
  SetErrorDispatch(dispatch);
  if (code != 0) return false;
  if (a.UpdateState == UpdateAppended) {
    const uint8_t marker = EndOfFileMarker;
    if (!WriteAt(a.Handle, &marker, 1, RecordOffset(a, a.RecordCount + 1))) {
      code = IoCodeFromErrno(errno);
      return false;
    }
  }
  return true;
}

}  // namespace

// Whole reads and writes at an offset; false with errno set (0 for a short read).
bool ReadAt(int fd, void* buf, size_t n, uint64_t off) {
  auto* p = static_cast<uint8_t*>(buf);
  while (n > 0) {
    const ssize_t r = ::pread(fd, p, n, static_cast<off_t>(off));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) {
      errno = 0;
      return false;
    }
    p += r;
    n -= static_cast<size_t>(r);
    off += static_cast<uint64_t>(r);
  }
  return true;
}

bool WriteAt(int fd, const void* buf, size_t n, uint64_t off) {
  const auto* p = static_cast<const uint8_t*>(buf);
  while (n > 0) {
    const ssize_t r = ::pwrite(fd, p, n, static_cast<off_t>(off));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += r;
    n -= static_cast<size_t>(r);
    off += static_cast<uint64_t>(r);
  }
  return true;
}

ssize_t ReadSome(int fd, void* buf, size_t n, uint64_t off) {
  auto* p = static_cast<uint8_t*>(buf);
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd, p + done, n - done, static_cast<off_t>(off + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<ssize_t>(done);
}

int IoCodeFromErrno(int err) {
  switch (err) {
    case ENOENT: return 2;
    case ENOTDIR: case ENAMETOOLONG: case ELOOP: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EROFS: case EISDIR: return 5;
    case EBADF: return 6;
    case ENOMEM: return 8;
    case EAGAIN: return 33;
    case ETXTBSY: case EBUSY: return 32;
    case ENOSPC: case EDQUOT: case EFBIG: return 101;
    case EIO: return 100;
    case 0: return 100;  // short read
    default: return 31;
  }
}

bool ValidVersion(uint8_t v) {
  switch (v) {
    case 0x02: case 0x03: case 0x83: case 0x04: case 0x8B: case 0x8C: case 0xF5: return true;
    default: return v != 0 && (v == ExtraVersion1 || v == ExtraVersion2);
  }
}

bool SupportedVersion(uint8_t v) {
  // 0x04 and 0x8C use a longer header layout.
  if (v == 0x04 || v == 0x8C) return false;
  return ValidVersion(v);
}

bool ShortHeader(uint8_t v) { return v == 0x02 && ExtraVersion1 == 0 && ExtraVersion2 == 0; }

bool VersionHasMemo(uint8_t v) { return v == 0x83 || v == 0x8B || v == 0x8C || v == 0xF5; }

bool LanguageIsOem(uint8_t b) {
  if (b == 0x01 || b == 0x02) return true;
  if (b >= 0x08 && b <= 0x12) return true;
  if (b >= 0x14 && b <= 0x1D) return true;
  if (b == 0x1F || (b >= 0x22 && b <= 0x26) || b == 0x37 || b == 0x40) return true;
  return b >= 0x64 && b <= 0x6C;
}

uint32_t SwapLong(uint32_t v) { return __builtin_bswap32(v); }
uint16_t SwapWord(uint16_t v) { return __builtin_bswap16(v); }

void TranslateRecords(bool toFile, bool oem, RecordHook hook, size_t length, size_t recordLength,
                      uint8_t* buffer) {
  if ((!oem && !hook) || recordLength < 2) return;
  for (size_t pos = 0; pos + recordLength <= length; pos += recordLength) {
    uint8_t* r = buffer + pos + 1;
    const size_t n = recordLength - 1;
    if (toFile) {
      if (oem) AnsiToOemBuffer(r, n);
      if (hook) hook(r, n);
    } else {
      if (hook) hook(r, n);
      if (oem) OemToAnsiBuffer(r, n);
    }
  }
}

uint32_t RecCountFromFile(WorkArea& a) {
  if (a.IsVirtual || a.Handle < 0) return a.RecordCount;
  struct stat st{};
  if (::fstat(a.Handle, &st) != 0) return a.RecordCount;
  const int64_t size = st.st_size;
  if (size <= a.HeaderLength || a.RecordLength == 0) return 0;
  const uint64_t n = static_cast<uint64_t>(size - a.HeaderLength) / a.RecordLength;
  return n > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(n);
}

namespace {

// Hands an operation on a record list to the record-list unit; false when it reported an error.
bool CallVirtual(WorkArea& a, int mode, uint32_t recno, const std::string& routine) {
  if (!VirtualFileProc) {
    SetError(1101, " [" + routine + "]");
    return false;
  }
  a.VirtualMode = mode;
  a.VirtualRecNo = recno;
  VirtualFileProc(a);
  return KelpieErrorCode == 0;
}

}  // namespace

namespace {

// A table truncated by another program under the mapping raises SIGBUS on the vanished pages; the
// copy out of the mapping catches it and reports a short record instead of ending the program.
thread_local sigjmp_buf* volatile busJump = nullptr;
struct sigaction previousBus {};

void OnBus(int sig, siginfo_t* info, void* context) {
  if (sigjmp_buf* jump = busJump) {
    busJump = nullptr;
    siglongjmp(*jump, 1);
  }
  // Not a copy of ours: the disposition that was there before.
  if ((previousBus.sa_flags & SA_SIGINFO) != 0 && previousBus.sa_sigaction != nullptr) {
    previousBus.sa_sigaction(sig, info, context);
    return;
  }
  if (previousBus.sa_handler != SIG_DFL && previousBus.sa_handler != SIG_IGN) {
    previousBus.sa_handler(sig);
    return;
  }
  ::sigaction(SIGBUS, &previousBus, nullptr);
  ::raise(sig);
}

bool InstallBusHandler() {
  static const bool installed = [] {
    struct sigaction sa {};
    sa.sa_sigaction = OnBus;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    return ::sigaction(SIGBUS, &sa, &previousBus) == 0;
  }();
  return installed;
}

bool CopyFromMap(uint8_t* dst, const uint8_t* src, size_t n) {
  sigjmp_buf jump;
  if (sigsetjmp(jump, 0) != 0) return false;
  busJump = &jump;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(dst, src, n);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  busJump = nullptr;
  return true;
}

void Unmap(WorkArea& a) {
  if (a.Map) ::munmap(const_cast<uint8_t*>(a.Map), a.MapLength);
  a.Map = nullptr;
  a.MapLength = 0;
}

// Maps the file so far that it covers end (with room for growth: pages beyond the file's end are
// never touched, and records appended later appear in them). False when the file cannot be mapped.
bool MapTo(WorkArea& a, uint64_t end) {
  if (a.Map && end <= a.MapLength) return true;
  Unmap(a);
  a.Map = MapShared(a.Handle, end, a.MapLength);
  return a.Map != nullptr;
}

}  // namespace

const uint8_t* MapShared(int fd, uint64_t end, size_t& length) {
  length = 0;
  if (fd < 0 || !InstallBusHandler()) return nullptr;
  const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  uint64_t n = end + std::max<uint64_t>(end / 4, 1u << 20);
  n = (n + page - 1) / page * page;
  if (n > std::numeric_limits<size_t>::max() / 2) return nullptr;
  void* p = ::mmap(nullptr, static_cast<size_t>(n), PROT_READ, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return nullptr;
  length = static_cast<size_t>(n);
  return static_cast<const uint8_t*>(p);
}

bool CopyFromMapping(uint8_t* dst, const uint8_t* src, size_t n) { return CopyFromMap(dst, src, n); }

namespace {

// The file bytes of record recno into a.FileImage (or straight into dst); false with errno set (0 for
// a record shorter than the record length).
bool ReadRecordBytes(WorkArea& a, uint32_t recno, uint8_t* dst) {
  const uint64_t off = RecordOffset(a, recno);
  if (MapTo(a, off + a.RecordLength)) {
    if (CopyFromMap(dst, a.Map + off, a.RecordLength)) return true;
    Unmap(a);  // the file shrank: read it plainly from now on
    errno = 0;
    return false;
  }
  if (!a.Exclusive) return ReadAt(a.Handle, dst, a.RecordLength, off);
  // Not mapped, exclusive: nobody else writes, so sequential reads take blocks; a random
  // positioning reads its one record.
  if (recno < a.ReadAheadFirst || recno >= a.ReadAheadFirst + a.ReadAheadCount) {
    if (recno != a.LastRead + 1) return ReadAt(a.Handle, dst, a.RecordLength, off);
    const uint32_t n = std::min<uint32_t>(std::max<uint32_t>(1, 65536 / a.RecordLength),
                                          a.RecordCount - recno + 1);
    a.ReadAhead.resize(static_cast<size_t>(n) * a.RecordLength);
    a.ReadAheadCount = 0;
    const ssize_t got = ReadSome(a.Handle, a.ReadAhead.data(), a.ReadAhead.size(), off);
    if (got < static_cast<ssize_t>(a.RecordLength)) return ReadAt(a.Handle, dst, a.RecordLength, off);
    a.ReadAheadFirst = recno;
    a.ReadAheadCount = static_cast<uint32_t>(static_cast<size_t>(got) / a.RecordLength);
  }
  std::memcpy(dst, a.ReadAhead.data() + static_cast<size_t>(recno - a.ReadAheadFirst) * a.RecordLength,
              a.RecordLength);
  return true;
}

}  // namespace

void GetDbfRecord(WorkArea& a, uint32_t recno) {
  a.PendingMemos.clear();
  if (a.IsVirtual) {
    if (CallVirtual(a, 3, recno, "GetDbfRecord")) {
      a.Eof = a.Bof = false;
      a.CurrentRecord = recno;
    }
    return;
  }
  if (recno < 1 || recno > a.RecordCount) {
    SetError(212, "Ungültige Datensatznr. = " + std::to_string(recno) + " (" + a.FileName +
                      ")  [GetDbfRecord]");
    return;
  }
  // Only an OEM table keeps the file's bytes beside the record (see PutDbfRecord); any other table
  // is read straight into the record.
  const bool keepImage = a.Oem && !a.ReadHook && !a.WriteHook;
  std::vector<uint8_t>& target = keepImage ? a.FileImage : a.Record;
  if (target.size() != a.RecordLength) target.resize(a.RecordLength);
  if (!ReadRecordBytes(a, recno, target.data())) {
    const int err = errno;
    a.ImageValid = false;
    if (err == 0) {
      SetError(213, "Datei:  " + a.FileName + "  [GetDbfRecord]");
    } else {
      if (err == ESPIPE || err == EINVAL) a.Eof = true;
      SetError(IoCodeFromErrno(err), "Datei:  " + a.FileName + "  [GetDbfRecord]");
    }
    return;
  }
  a.LastRead = recno;
  if (keepImage) a.Record = a.FileImage;
  if (a.Oem || a.ReadHook)
    TranslateRecords(false, a.Oem, a.ReadHook, a.Record.size(), a.RecordLength, a.Record.data());
  a.ImageValid = keepImage;
  a.Eof = a.Bof = false;
  a.CurrentRecord = recno;
}

void DropReadAhead(WorkArea& a) {
  a.ReadAheadCount = 0;
  a.ReadAheadFirst = 0;
  a.LastRead = 0;
}

void PutDbfRecord(WorkArea& a, uint32_t recno) {
  if (a.IsVirtual) {
    CallVirtual(a, 8, recno, "PutDbfRecord");
    return;
  }
  InvalidatePeekCache(a);
  const bool appending = recno > a.RecordCount;
  if (appending) recno = a.RecordCount + 1;
  // The file's form: fields the program did not change keep their file bytes exactly.
  std::vector<uint8_t>& out = a.WriteScratch;
  out = a.Record;
  TranslateRecords(true, a.Oem, a.WriteHook, out.size(), a.RecordLength, out.data());
  if (a.ImageValid && a.Oem && !a.WriteHook && !a.ReadHook && a.FileImage.size() == out.size()) {
    // The record as it was read, in the program's form.
    a.ReadImage = a.FileImage;
    TranslateRecords(false, a.Oem, nullptr, a.ReadImage.size(), a.RecordLength, a.ReadImage.data());
    for (size_t i = 1; i < out.size(); ++i)
      if (a.Record[i] == a.ReadImage[i]) out[i] = a.FileImage[i];
  }
  // Every record, appended ones too, is in the file when the call returns: a program that ends
  // without closing the table loses none of them.
  if (!WriteAt(a.Handle, out.data(), out.size(), RecordOffset(a, recno))) {
    SetError(IoCodeFromErrno(errno), "Datei:  " + a.FileName + " [Replace/Append/PutDbfRecord]");
    return;
  }
  if (recno >= a.ReadAheadFirst && recno < a.ReadAheadFirst + a.ReadAheadCount)
    std::memcpy(a.ReadAhead.data() + static_cast<size_t>(recno - a.ReadAheadFirst) * a.RecordLength,
                out.data(), out.size());
  a.ImageValid = a.Oem && !a.ReadHook && !a.WriteHook;
  if (a.ImageValid) a.FileImage = out;
  if (a.Oem || a.ReadHook || a.WriteHook) {
    a.Record = out;
    TranslateRecords(false, a.Oem, a.ReadHook, a.Record.size(), a.RecordLength, a.Record.data());
  }
  if (appending) {
    a.RecordCount = recno;
    a.CurrentRecord = recno;
    a.UpdateState = UpdateAppended;
    if (ImmediateCommit) UpdateHeader(a);
  } else {
    if (a.UpdateState != UpdateAppended) a.UpdateState = UpdateRewritten;
    if (ImmediateCommit) FlushFile(a);
  }
}

void AppendDbfRecord(WorkArea& a) { PutDbfRecord(a, a.RecordCount + 1); }

void WriteDbfHeader(WorkArea& a) {
  int y, m, d, w;
  GetSysDate(y, m, d, w);
  const bool shortHeader = ShortHeader(a.Header[0]);
  if (shortHeader) {
    // dBase II: a 16-bit count, then month, day, year; the record length stays.
    Put16(a.Header + 1, static_cast<uint16_t>(std::min<uint32_t>(a.RecordCount, 0xFFFF)));
    a.Header[3] = static_cast<uint8_t>(m);
    a.Header[4] = static_cast<uint8_t>(d);
    a.Header[5] = static_cast<uint8_t>(y - 1900);
  } else {
    uint8_t keep[12];
    if (ReadAt(a.Handle, keep, sizeof keep, 16)) std::memcpy(a.Header + 16, keep, sizeof keep);
    a.Header[1] = static_cast<uint8_t>(y - 1900);
    a.Header[2] = static_cast<uint8_t>(m);
    a.Header[3] = static_cast<uint8_t>(d);
    Put32(a.Header + 4, a.RecordCount);
  }
  if (!WriteAt(a.Handle, a.Header, shortHeader ? 8 : 32, 0)) {
    KelpieErrorCode = static_cast<uint16_t>(IoCodeFromErrno(errno));
    KelpieLastError = KelpieErrorCode;
    KelpieErrorText = "Datei:  " + a.FileName + " [WriteDbfHeader]";
    if (KelpieAutoDispatch) DispatchError();
  }
}

void FlushFile(WorkArea& a) {
  if (a.IsVirtual || a.Handle < 0) return;
  if (::fsync(a.Handle) != 0 && errno != EINVAL && errno != EROFS)
    SetError(IoCodeFromErrno(errno), "Zurückschreiben (Flush) unmöglich für Datei [FlushFile]");
}

void UpdateHeader(WorkArea& a) {
  if (a.IsVirtual) return;
  if (a.UpdateState == UpdateRewritten || a.UpdateState == UpdateAppended) {
    int code = 0;
    {
      CommitLock lock(a);
      WriteHeaderAndMarker(a, code);
    }
    if (code != 0) {
      SetError(code, "Datei:  " + a.FileName + " [UpdateHeader]");
      return;
    }
    a.UpdateState = UpdateClean;
  }
  FlushFile(a);
}

void CloseDbf(WorkArea& a) {
  if (a.IsVirtual) {
    if (VirtualFileProc) CallVirtual(a, 1, 0, "CloseDbf");
    a.UpdateState = UpdateClosed;
    a.Record.clear();
    a.Fields.clear();
    return;
  }
  int code = 0;
  if (a.Handle >= 0) {
    if (a.UpdateState == UpdateRewritten || a.UpdateState == UpdateAppended) {
      CommitLock lock(a);
      WriteHeaderAndMarker(a, code);
    }
    Unmap(a);
    if (::close(a.Handle) != 0 && code == 0) code = IoCodeFromErrno(errno);
    a.Handle = -1;
  }
  a.UpdateState = UpdateClosed;
  a.Record.clear();
  a.Fields.clear();
  if (code != 0) SetError(code, "Datei:  " + a.FileName + " [CloseDbf(" + a.FileName + ")]");
}

// ---------------------------------------------------------------------------------------------------
// Typed record

size_t TypedSlotSize(const FieldDescriptor& f) {
  switch (f.Type) {
    case 'C': return static_cast<size_t>(f.Length) + 1;
    case 'D': return static_cast<size_t>(f.Length) + 3;
    case 'N': case 'F': return 8;
    case 'L': return 1;
    case 'M': return 4;
    default: return 0;
  }
}

std::string NumberFieldText(double value, int length, int decimals) {
  if (!std::isfinite(value) || length <= 0) return std::string(std::max(length, 0), '*');
  char buf[400];
  // An exact half rounds away from zero (the exact conversion would round it to even). The value
  // lies halfway when it has just one decimal more than asked and that decimal is 5.
  if (std::ldexp(value, decimals + 1) == std::trunc(std::ldexp(value, decimals + 1))) {
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals + 1);
    if (r.ec == std::errc() && r.ptr[-1] == '5') value = std::nextafter(value, value < 0 ? -HUGE_VAL : HUGE_VAL);
  }
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  size_t n = r.ec == std::errc() ? static_cast<size_t>(r.ptr - buf) : sizeof buf;
  // Zero has no sign: "-0.0" is written "0.0".
  const char* text = buf;
  const auto zeroDigit = [](char c) { return c == '0' || c == '.'; };
  if (r.ec == std::errc() && buf[0] == '-' && std::all_of(buf + 1, buf + n, zeroDigit)) {
    ++text;
    --n;
  }
  if (n > static_cast<size_t>(length)) return std::string(length, '*');
  std::string s(length - n, ' ');
  s.append(text, n);
  return s;
}

std::string IntegerFieldText(int64_t value, int length) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  const size_t n = static_cast<size_t>(r.ptr - buf);
  if (length <= 0 || n > static_cast<size_t>(length)) return std::string(std::max(length, 0), '*');
  std::string s(length - n, ' ');
  s.append(buf, n);
  return s;
}

namespace {

// The field was given a value: StoreTypedRecord writes it even when it equals the loaded one.
void MarkWritten(WorkArea& a, const FieldDescriptor& f) {
  if (a.TypedWritten.size() != a.Typed.size()) a.TypedWritten.assign(a.Typed.size(), 0);
  a.TypedWritten[f.TypedOffset] = 1;
}

void ClearWritten(WorkArea& a) { a.TypedWritten.assign(a.Typed.size(), 0); }

}  // namespace

std::string TypedChar(const WorkArea& a, const FieldDescriptor& f) {
  if (f.Type != 'C' && f.Type != 'D') return std::string();
  const uint8_t* p = a.Typed.data() + f.TypedOffset;
  const size_t room = TypedSlotSize(f) - 1;
  const size_t n = std::min<size_t>(p[0], room);
  return std::string(reinterpret_cast<const char*>(p + 1), n);
}

void SetTypedChar(WorkArea& a, const FieldDescriptor& f, const std::string& s) {
  if (f.Type != 'C' && f.Type != 'D') return;
  MarkWritten(a, f);
  uint8_t* p = a.Typed.data() + f.TypedOffset;
  const size_t room = TypedSlotSize(f) - 1;
  const size_t n = std::min(s.size(), room);
  std::memset(p + 1, ' ', room);
  std::memcpy(p + 1, s.data(), n);
  p[0] = static_cast<uint8_t>(f.Type == 'D' ? n : room);
  if (f.Type == 'C') {
    // C slots always hold the field length; shorter texts are padded with blanks.
    p[0] = static_cast<uint8_t>(room);
  }
}

double TypedNumber(const WorkArea& a, const FieldDescriptor& f) {
  const uint8_t* p = a.Typed.data() + f.TypedOffset;
  if (f.Decimals > 0) {
    double d;
    std::memcpy(&d, p, 8);
    return d;
  }
  int64_t v;
  std::memcpy(&v, p, 8);
  return static_cast<double>(v);
}

int64_t TypedInteger(const WorkArea& a, const FieldDescriptor& f) {
  const uint8_t* p = a.Typed.data() + f.TypedOffset;
  if (f.Decimals > 0) {
    double d;
    std::memcpy(&d, p, 8);
    if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) return 0;
    return static_cast<int64_t>(d);
  }
  int64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void SetTypedNumber(WorkArea& a, const FieldDescriptor& f, double value) {
  MarkWritten(a, f);
  uint8_t* p = a.Typed.data() + f.TypedOffset;
  if (f.Decimals > 0) {
    std::memcpy(p, &value, 8);
  } else {
    int64_t v = 0;
    if (std::isfinite(value)) {
      if (value >= 9.2e18) v = std::numeric_limits<int64_t>::max();
      else if (value <= -9.2e18) v = std::numeric_limits<int64_t>::min();
      else v = static_cast<int64_t>(std::llround(value));
    }
    std::memcpy(p, &v, 8);
  }
}

void SetTypedInteger(WorkArea& a, const FieldDescriptor& f, int64_t value) {
  MarkWritten(a, f);
  uint8_t* p = a.Typed.data() + f.TypedOffset;
  if (f.Decimals > 0) {
    const double d = static_cast<double>(value);
    std::memcpy(p, &d, 8);
  } else {
    std::memcpy(p, &value, 8);
  }
}

bool TypedLogical(const WorkArea& a, const FieldDescriptor& f) { return a.Typed[f.TypedOffset] != 0; }

void SetTypedLogical(WorkArea& a, const FieldDescriptor& f, bool value) {
  MarkWritten(a, f);
  a.Typed[f.TypedOffset] = value ? 1 : 0;
}

long TypedDateJulian(const WorkArea& a, const FieldDescriptor& f) {
  if (f.Type != 'D') return 0;
  int y, m, d;
  if (!ReadTypedDate(a.Typed.data() + f.TypedOffset, TypedSlotSize(f) - 1, y, m, d)) return 0;
  return JulianOf(y, m, d);
}

void SetTypedDateJulian(WorkArea& a, const FieldDescriptor& f, long jdn) {
  if (f.Type != 'D') return;
  MarkWritten(a, f);
  uint8_t* slot = a.Typed.data() + f.TypedOffset;
  if (jdn <= JulianFirst || jdn >= JulianLast) {
    WriteBlankTypedDate(slot);
    return;
  }
  int y, m, d;
  JulianToYmd(jdn, y, m, d);
  WriteTypedDate(slot, y, m, d);
}

int32_t TypedMemoBlock(const WorkArea& a, const FieldDescriptor& f) {
  int32_t v;
  std::memcpy(&v, a.Typed.data() + f.TypedOffset, 4);
  return v;
}

void SetTypedMemoBlock(WorkArea& a, const FieldDescriptor& f, int32_t block) {
  MarkWritten(a, f);
  std::memcpy(a.Typed.data() + f.TypedOffset, &block, 4);
}

double RecordNumber(const WorkArea& a, const FieldDescriptor& f) {
  const uint8_t* raw = a.Record.data() + f.Offset;
  if (f.Decimals > 0) return ParseDouble(raw, raw + f.Length);
  return static_cast<double>(ParseInteger(raw, raw + f.Length));
}

bool RecordLogical(const WorkArea& a, const FieldDescriptor& f) {
  const uint8_t c = a.Record[f.Offset];
  return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

long RecordDateJulian(const WorkArea& a, const FieldDescriptor& f) {
  const uint8_t* raw = a.Record.data() + f.Offset;
  const int y = Digits(raw, 4), m = Digits(raw + 4, 2), d = Digits(raw + 6, 2);
  return ValidDate(y, m, d) ? JulianOf(y, m, d) : 0;
}

void LoadTypedRecord(WorkArea& a) {
  a.TypedPending = false;
  a.PendingMemos.clear();
  if (a.Record.size() < a.RecordLength || a.Typed.empty()) return;
  std::fill(a.Typed.begin(), a.Typed.end(), 0);
  a.Typed[0] = a.Record[0] == '*' ? 1 : 0;
  for (const auto& f : a.Fields) {
    const uint8_t* raw = a.Record.data() + f.Offset;
    switch (f.Type) {
      case 'C': {
        uint8_t* p = a.Typed.data() + f.TypedOffset;
        p[0] = f.Length;
        std::memcpy(p + 1, raw, f.Length);
        break;
      }
      case 'D': {
        const int y = Digits(raw, 4), m = Digits(raw + 4, 2), d = Digits(raw + 6, 2);
        uint8_t* slot = a.Typed.data() + f.TypedOffset;
        if (ValidDate(y, m, d)) WriteTypedDate(slot, y, m, d);
        else WriteBlankTypedDate(slot);
        break;
      }
      case 'N': case 'F':
        if (f.Decimals > 0) SetTypedNumber(a, f, ParseDouble(raw, raw + f.Length));
        else SetTypedInteger(a, f, ParseInteger(raw, raw + f.Length));
        break;
      case 'L': SetTypedLogical(a, f, RecordLogical(a, f)); break;
      case 'M': {
        const int64_t v = ParseInteger(raw, raw + f.Length);
        SetTypedMemoBlock(a, f, v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN
                                                                           : static_cast<int32_t>(v));
        break;
      }
      default: break;
    }
  }
  a.TypedLoaded = a.Typed;
  ClearWritten(a);
}

void StoreTypedRecord(WorkArea& a) {
  if (a.Record.size() < a.RecordLength || a.Typed.empty()) return;
  const bool compare = a.TypedLoaded.size() == a.Typed.size();
  const bool marks = a.TypedWritten.size() == a.Typed.size();
  if (!compare || a.Typed[0] != a.TypedLoaded[0]) a.Record[0] = a.Typed[0] ? '*' : ' ';
  for (const auto& f : a.Fields) {
    const size_t slot = TypedSlotSize(f);
    if (slot == 0) continue;
    if (compare && !(marks && a.TypedWritten[f.TypedOffset]) &&
        std::memcmp(a.Typed.data() + f.TypedOffset, a.TypedLoaded.data() + f.TypedOffset, slot) == 0)
      continue;  // neither written nor changed: its stored bytes stay as they are
    uint8_t* raw = a.Record.data() + f.Offset;
    switch (f.Type) {
      case 'C': {
        const uint8_t* p = a.Typed.data() + f.TypedOffset;
        const size_t n = std::min<size_t>(p[0], f.Length);
        std::memcpy(raw, p + 1, n);
        std::memset(raw + n, ' ', f.Length - n);
        break;
      }
      case 'D': {
        int y, m, d;
        if (ReadTypedDate(a.Typed.data() + f.TypedOffset, slot - 1, y, m, d)) {
          PutDigits(raw, y, 4);
          PutDigits(raw + 4, m, 2);
          PutDigits(raw + 6, d, 2);
        } else {
          std::memset(raw, ' ', 8);
        }
        break;
      }
      case 'N': case 'F': {
        const std::string text = f.Decimals > 0 ? NumberFieldText(TypedNumber(a, f), f.Length, f.Decimals)
                                                : IntegerFieldText(TypedInteger(a, f), f.Length);
        std::memcpy(raw, text.data(), std::min<size_t>(text.size(), f.Length));
        break;
      }
      case 'L': raw[0] = TypedLogical(a, f) ? 'T' : 'F'; break;
      case 'M': {
        const int32_t b = TypedMemoBlock(a, f);
        std::string text = b == 0 ? std::string() : IntegerFieldText(b, f.Length);
        text.resize(f.Length, ' ');
        std::memcpy(raw, text.data(), f.Length);
        break;
      }
      default: break;
    }
  }
  a.TypedLoaded = a.Typed;
  ClearWritten(a);
}

// ---------------------------------------------------------------------------------------------------
// Memo files

std::string MemoExtension(uint8_t version) {
  if (!ValidVersion(version) && version != 0x30) version = DefaultVersion;
  return version == 0xF5 || version == 0x30 ? "FPT" : "DBT";
}

std::string MemoFileName(const std::string& tableName, uint8_t version) {
  std::string dir, base, ext;
  SplitPath(tableName, dir, base, ext);
  std::string memoExt = MemoExtension(version);
  // "t.dbf" gets "t.dbt": the memo's extension in the case of the table's.
  const auto isUpper = [](char c) { return c >= 'A' && c <= 'Z'; };
  const auto isLower = [](char c) { return c >= 'a' && c <= 'z'; };
  const bool lower = std::none_of(ext.begin(), ext.end(), isUpper) && std::any_of(ext.begin(), ext.end(), isLower);
  if (lower)
    for (char& c : memoExt) c = LowerChar(c);
  return ForceExtension(tableName, memoExt);
}

namespace {

// The name under which the memo file of tableName is made; false after the error.
bool MemoNameToMake(const std::string& tableName, uint8_t version, const std::string& tag, std::string& memoName) {
  // A memo file of the name in another case is the one made anew (not for a table among case
  // twins: that one's memo has its exact name).
  memoName = MemoFileName(tableName, version);
  return ExactNameFor(memoName, tableName) || FindFileOfAnyCase(memoName, tag);
}

bool Exists(const std::string& name) {
  struct stat st{};
  return ::lstat(name.c_str(), &st) == 0;
}

}  // namespace

bool CreateMemoFile(const std::string& tableName, uint8_t version, uint16_t blockSize,
                    const std::string& routine) {
  const std::string tag = " [" + routine + "]";
  std::string memoName;
  if (!MemoNameToMake(tableName, version, tag, memoName)) return false;
  if (!ValidVersion(version)) version = DefaultVersion;
  if (blockSize == 0) blockSize = 512;
  std::vector<uint8_t> data;
  if (version == 0x83) {
    data.assign(513, 0);
    data[0] = 1;
    data[512] = 0x1A;
  } else if (version == 0xF5) {
    data.assign(512, 0);
    const uint32_t next = 511 / blockSize + 1;
    data[0] = static_cast<uint8_t>(next >> 24);
    data[1] = static_cast<uint8_t>(next >> 16);
    data[2] = static_cast<uint8_t>(next >> 8);
    data[3] = static_cast<uint8_t>(next);
    data[6] = static_cast<uint8_t>(blockSize >> 8);
    data[7] = static_cast<uint8_t>(blockSize);
  } else {
    data.assign(24, 0);
    Put32(data.data(), 1);
    const std::string base = BaseName(tableName).substr(0, 8);
    std::memcpy(data.data() + 8, base.data(), base.size());
    Put16(data.data() + 18, 258);
    Put16(data.data() + 20, blockSize);
  }
  const int fd = OpenForWriting(memoName, WriteOpen::Truncate, O_WRONLY, tag);
  if (fd == -2) return false;
  bool ok = fd >= 0 && WriteAt(fd, data.data(), data.size(), 0);
  const int err = errno;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (!ok) {
    SetError(IoCodeFromErrno(err), "Cannot create memo file " + memoName + tag);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Opening and creating tables

namespace {

struct FdGuard {
  int fd = -1;
  ~FdGuard() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

bool ShareModeLock(int fd, bool exclusive) {
  struct flock fl{};
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(LockBaseOffset + ShareModeOffset);
  fl.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool UseDbf(const std::string& fileName, const std::string& alias, bool exclusive) {
  const std::string routine = " [USE(" + fileName + ")]";
  if (CurrentWorkArea()) CloseArea();
  // A table from DOS or Windows is often named in upper case: a file of the name in another case
  // is the one meant.
  std::string full = FullPathName(fileName);
  if (!FindFileOfAnyCase(full, routine)) return false;
  FdGuard fd;
  // Non-blocking: a pipe given as a table must not hang the open (it is refused below).
  // Written only where no other user's link leads; such a table is read (or refused in a shared
  // folder).
  fd.fd = OpenForWriting(full, WriteOpen::Existing, O_RDWR | O_NONBLOCK, routine);
  if (fd.fd == -2) return false;
  if (fd.fd < 0 && (errno == EACCES || errno == EROFS) && !exclusive)
    fd.fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd.fd < 0) {
    SetError(IoCodeFromErrno(errno), "Datei:  " + full + routine);
    return false;
  }
  struct stat st{};
  if (::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SetError(5, "Datei:  " + full + routine);
    return false;
  }
  if (!ShareModeLock(fd.fd, exclusive)) {
    SetError(32, "Datei:  " + full + routine);
    return false;
  }
  auto area = std::make_unique<WorkArea>();
  area->FileName = full;
  area->Handle = -1;
  if (st.st_size < 8 || !ReadAt(fd.fd, area->Header, static_cast<size_t>(std::min<off_t>(st.st_size, 32)), 0)) {
    SetError(213, "Datei:  " + full + routine);
    return false;
  }
  const uint8_t version = area->Header[0];
  if (!ValidVersion(version) && version != 0x30 && version != 0x31) {
    SetError(210, "Keine dBASE-Datei: " + full + routine);
    return false;
  }
  if (!SupportedVersion(version)) {
    SetError(1300, "Datei:  " + full + routine);
    return false;
  }
  const bool shortHeader = ShortHeader(version);
  if (!shortHeader && st.st_size < 32) {
    SetError(213, "Datei:  " + full + routine);
    return false;
  }
  // dBase II: 8 header bytes, 32 descriptors of 16 bytes and one more byte; records at 521.
  const uint16_t headerLength = shortHeader ? kShortHeaderLength : Get16(area->Header + 8);
  const uint16_t recordLength = Get16(area->Header + (shortHeader ? 6 : 10));
  if (shortHeader) std::memset(area->Header + 8, 0, sizeof area->Header - 8);
  if (headerLength < 33 || headerLength > 0x7FFF || recordLength < 1) {
    SetError(210, "Kopf ungültig: " + full + routine);
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) < headerLength) {
    SetError(213, "Kopf länger als die Datei: " + full + routine);
    return false;
  }
  std::vector<uint8_t> head(headerLength);
  if (!ReadAt(fd.fd, head.data(), head.size(), 0)) {
    SetError(213, "Datei:  " + full + routine);
    return false;
  }
  // Descriptors: name (11 bytes), type; then length and decimals at 16 and 17 of 32 bytes, or at
  // 12 and 15 of the 16 bytes of dBase II.
  const size_t first = shortHeader ? 8 : 32, size = shortHeader ? 16 : 32;
  const size_t lengthAt = shortHeader ? 12 : 16, decimalsAt = shortHeader ? 15 : 17;
  const size_t end = shortHeader ? 8 + 32 * 16 : headerLength;
  uint32_t offset = 1;
  size_t typedSize = 1;
  for (size_t pos = first; pos + size <= end && head[pos] != 0x0D && !(shortHeader && head[pos] == 0);
       pos += size) {
    if (area->Fields.size() == 255) {
      SetError(210, "Zu viele Felder: " + full + routine);
      return false;
    }
    FieldDescriptor f;
    std::memcpy(f.Name, head.data() + pos, 11);
    f.Name[10] = 0;
    for (int i = 0; i < 11; ++i)
      if (f.Name[i] == 0) {
        std::memset(f.Name + i, 0, 11 - i);
        break;
      }
    f.Type = static_cast<char>(head[pos + 11]);
    if (f.Type >= 'a' && f.Type <= 'z') f.Type = static_cast<char>(f.Type - 32);
    f.Length = head[pos + lengthAt];
    f.Decimals = head[pos + decimalsAt];
    const std::string fieldText = " Feld " + std::to_string(area->Fields.size() + 1) + ": " + full + routine;
    if (f.Length == 0 || (f.Type == 'D' && f.Length != 8) ||
        ((f.Type == 'N' || f.Type == 'F') && f.Decimals >= f.Length && f.Decimals > 0)) {
      SetError(211, "Unzulässige Feldangabe" + fieldText);
      return false;
    }
    f.Offset = static_cast<uint16_t>(offset);
    offset += f.Length;
    if (offset > recordLength) {
      SetError(210, "Felder länger als der Datensatz:" + fieldText);
      return false;
    }
    f.TypedOffset = static_cast<uint16_t>(typedSize);
    typedSize += TypedSlotSize(f);
    area->Fields.push_back(f);
  }
  area->HeaderLength = static_cast<int16_t>(headerLength);
  area->RecordLength = recordLength;
  area->FieldCount = static_cast<uint8_t>(area->Fields.size());
  // dBase II has no language byte; it wrote its tables in the DOS code page.
  area->Oem = shortHeader || LanguageIsOem(area->Header[29]);
  std::string a = alias.empty() ? UpperString(BaseName(full)) : alias;
  if (a.size() > 64) a.resize(64);
  area->Alias = a;
  area->Exclusive = exclusive;
  area->Record.assign(recordLength, ' ');
  area->Typed.assign(typedSize, 0);
  area->Handle = fd.fd;
  fd.fd = -1;
  area->RecordCount = RecCountFromFile(*area);
  area->UpdateState = UpdateClean;
  area->CurrentRecord = 1;
  WorkArea* raw = area.release();
  WorkAreaTable[CurrentArea] = raw;
  CloseTablesAtExit();
  if (raw->RecordCount == 0) {
    raw->Eof = raw->Bof = true;
    raw->CurrentRecord = 1;
    LoadTypedRecord(*raw);
  } else {
    GetDbfRecord(*raw, 1);
    LoadTypedRecord(*raw);
  }
  if (VersionHasMemo(version) && MemoPresent && MemoHookTable.Use) {
    MemoHookTable.Use(full);
    raw->MemoFlag = KelpieErrorCode == 0;
  }
  return true;
}

bool CreateDbf(const std::string& name, const std::vector<FieldSpec>& fields, bool oem,
               uint8_t version) {
  const std::string routine = " [CreateDbf(" + name + ")]";
  // A table of the name in another case is the one made anew: the tables come from file systems
  // where the two names are one.
  std::string fileName = name;
  if (!FindFileOfAnyCase(fileName, routine)) return false;
  bool memo = false;
  uint32_t recordLength = 1;
  if (fields.empty() || fields.size() > 255) {
    SetError(211, "Feldanzahl" + routine);
    return false;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    const auto& f = fields[i];
    const char t = UpperChar(f.Type);
    bool ok = !f.Name.empty() && f.Name.size() <= 10 && f.Length >= 1 && f.Length <= 255;
    for (char c : f.Name) ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    switch (t) {
      case 'C': ok = ok && f.Decimals == 0; break;
      case 'D': ok = ok && f.Length == 8; break;
      case 'L': ok = ok && f.Length == 1; break;
      case 'M': ok = ok && f.Length == 10; memo = true; break;
      case 'N': case 'F': ok = ok && f.Length <= 20 && f.Decimals >= 0 &&
                               (f.Decimals == 0 || f.Decimals <= f.Length - 2); break;
      default: ok = false;
    }
    for (size_t j = 0; j < i && ok; ++j) ok = UpperString(fields[j].Name) != UpperString(f.Name);
    if (!ok) {
      SetError(211, "Unzulässige Feldangabe " + f.Name + routine);
      return false;
    }
    recordLength += static_cast<uint32_t>(f.Length);
  }
  if (recordLength > 0xFFFF) {
    SetError(211, "Datensatz zu lang" + routine);
    return false;
  }
  if (version == 0) version = memo ? 0x83 : 0x03;
  if (!SupportedVersion(version) || ShortHeader(version)) {
    SetError(1300, routine);
    return false;
  }
  const size_t headerLength = 32 + 32 * fields.size() + 1;
  std::vector<uint8_t> data(headerLength + 1, 0);
  int y, m, d, w;
  GetSysDate(y, m, d, w);
  data[0] = version;
  data[1] = static_cast<uint8_t>(y - 1900);
  data[2] = static_cast<uint8_t>(m);
  data[3] = static_cast<uint8_t>(d);
  Put16(data.data() + 8, static_cast<uint16_t>(headerLength));
  Put16(data.data() + 10, static_cast<uint16_t>(recordLength));
  data[29] = oem ? LanguageOem850 : LanguageAnsi1252;
  for (size_t i = 0; i < fields.size(); ++i) {
    uint8_t* p = data.data() + 32 + 32 * i;
    const std::string name = UpperString(fields[i].Name);
    std::memcpy(p, name.data(), name.size());
    p[11] = static_cast<uint8_t>(UpperChar(fields[i].Type));
    p[16] = static_cast<uint8_t>(fields[i].Length);
    p[17] = static_cast<uint8_t>(fields[i].Decimals);
  }
  data[headerLength - 1] = 0x0D;
  data[headerLength] = EndOfFileMarker;
  // The memo's name is tried first: where it is refused (another user's link in a shared folder),
  // nothing is made. A table or memo made here goes again when the other cannot be made.
  std::string memoName;
  bool memoMade = false;
  if (memo) {
    if (!MemoNameToMake(fileName, version, routine, memoName)) return false;
    const bool existed = Exists(FollowOwnLinks(memoName));
    const int probe = OpenForWriting(memoName, WriteOpen::Existing, O_WRONLY | O_CREAT, routine);
    if (probe == -2) return false;
    if (probe >= 0) {
      ::close(probe);
      memoMade = !existed;
    }
  }
  const auto removeMade = [](bool made, const std::string& name) {
    if (made) ::unlink(FollowOwnLinks(name).c_str());
  };
  const bool tableMade = !Exists(FollowOwnLinks(fileName));
  const int fd = OpenForWriting(fileName, WriteOpen::Truncate, O_WRONLY, routine);
  bool ok = fd >= 0 && WriteAt(fd, data.data(), data.size(), 0);
  const int err = errno;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  if (!ok) {
    removeMade(fd >= 0 && tableMade, fileName);
    removeMade(memoMade, memoName);
    if (fd != -2) SetError(IoCodeFromErrno(err), "Datei:  " + fileName + routine);
    return false;
  }
  if (memo && !CreateMemoFile(fileName, version, MemoBlockSize, "CreateDbf")) {
    removeMade(tableMade, fileName);
    removeMade(memoMade, memoName);
    return false;
  }
  return true;
}

}  // namespace qern::kelpie
