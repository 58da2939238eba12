// Line-oriented text files: TextFile, the shared DataFile with its typed readers and writers, the
// design-file head, and the path, folder and copy helpers.
#include "framework/textfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/utilstr.h"
#include "platform/codepage.h"
#include "platform/machine.h"
#include "platform/utf8decode.h"

namespace qern {

TextFile DataFile;

// ---------------------------------------------------------------------------------------------
// TextFile

int IoCodeFromErrno(int err) {
  switch (err) {
    case 0: return IoOk;
    case ENOENT: return IoFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return IoPathNotFound;
    case EMFILE:
    case ENFILE: return IoTooManyFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY: return IoAccessDenied;
    case EROFS: return IoWriteProtected;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return IoWriteError;
    case EIO: return IoReadError;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: return IoDriveNotReady;
    default: return err;
  }
}

int ErrnoOfIoCode(int io) {
  switch (io) {
    case IoOk: return 0;
    case IoFileNotFound:
    case IoPathNotFound: return ENOENT;
    case IoTooManyFiles: return EMFILE;
    case IoAccessDenied: return EACCES;
    case IoReadError: return EIO;
    case IoWriteError: return ENOSPC;
    case IoNotOpen:
    case IoNotOpenInput:
    case IoNotOpenOutput: return EBADF;
    case IoWriteProtected: return EROFS;
    case IoDriveNotReady: return ENXIO;
    default: return io;  // an errno without a code of its own
  }
}

namespace {
// Code of a failed stream operation from errno; a failed write without a cause is a full disk.
int FailureCode(bool writing) {
  int code = IoCodeFromErrno(errno);
  if (writing && (code == IoOk || code == IoReadError)) code = IoWriteError;
  return code;
}
// The write function of a stream over a working file.
ssize_t WriteToWorkFile(void* cookie, const char* bytes, size_t size) {
  auto* work = static_cast<WorkFile*>(cookie);
  if (work->Write(std::string_view(bytes, size))) return static_cast<ssize_t>(size);
  errno = work->Error();
  return -1;
}
}  // namespace

TextFile::~TextFile() {
  if (file_) std::fclose(file_);
  if (readFd_ >= 0) ::close(readFd_);
}

void TextFile::Assign(const std::string& name) {
  if (IsOpen()) Close();
  name_ = name;
  io_ = IoOk;
  page_ = LegacyCodePage::Ansi1252;
  replacing_ = false;
  work_.SetSync(true);
}

bool TextFile::Open(const char* mode, bool forWrite) {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (readFd_ >= 0) {
    ::close(readFd_);
    readFd_ = -1;
  }
  readPos_ = readEnd_ = 0;
  errno = 0;
  if (name_.empty()) {
    io_ = IoFileNotFound;
    readErrno_ = ENOENT;
    return false;
  }
  work_.Discard();
  if (!forWrite) return OpenForReading();
  if (replacing_ && forWrite && mode[0] == 'w') {
    // A new working file of our own; the stream writes straight into it (no second descriptor,
    // nothing asked of the system but the writes).
    const bool made = work_.Create(name_);
    if (made) file_ = ::fopencookie(&work_, "wb", {nullptr, &WriteToWorkFile, nullptr, nullptr});
    if (!file_) {
      const int err = made ? errno : work_.Error();
      work_.Discard();
      io_ = IoCodeFromErrno(err);
      if (io_ == IoFileNotFound) io_ = IoPathNotFound;
      if (io_ == IoOk) io_ = IoWriteError;
      return false;
    }
    writing_ = true;
    io_ = IoOk;
    writeError_ = IoOk;
    return true;
  }
  // A folder is no file; a pipe or socket would block the open (or every read) for ever, and
  // reading is only ever meant for plain files.
  struct stat st {};
  if (::stat(name_.c_str(), &st) == 0 &&
      (S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
       (!forWrite && !S_ISREG(st.st_mode)))) {
    io_ = IoAccessDenied;
    return false;
  }
  file_ = std::fopen(name_.c_str(), mode);
  if (!file_) {
    io_ = IoCodeFromErrno(errno);
    // Creating a file in a folder that does not exist: the path is wrong, not the file.
    if (forWrite && io_ == IoFileNotFound) io_ = IoPathNotFound;
    return false;
  }
  writing_ = forWrite;
  io_ = IoOk;
  writeError_ = IoOk;
  return true;
}

bool TextFile::Reset() { return Open("rb", false); }
bool TextFile::Rewrite() { return Open("wb", true); }
bool TextFile::Append() { return Open("ab", true); }

bool TextFile::OpenForReading() {
  // Opened without waiting, so that a pipe cannot block the open; only a plain file is read (a
  // folder is no file, and a pipe, socket or device could block every read or never end).
  readFd_ = ::open(name_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (readFd_ < 0) {
    readErrno_ = errno;
    io_ = IoCodeFromErrno(readErrno_);
    return false;
  }
  struct stat st {};
  const bool known = ::fstat(readFd_, &st) == 0;
  if (!known || !S_ISREG(st.st_mode)) {
    readErrno_ = !known ? errno : S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    ::close(readFd_);
    readFd_ = -1;
    io_ = IoAccessDenied;
    return false;
  }
  readErrno_ = 0;
  modified_ = st.st_mtime;
  fileSize_ = static_cast<std::uint64_t>(st.st_size);
  fileRead_ = 0;
  if (readBuffer_.empty()) readBuffer_.resize(size_t{64} << 10);
  readPos_ = readEnd_ = 0;
  readFailed_ = false;
  writing_ = false;
  io_ = IoOk;
  writeError_ = IoOk;
  return true;
}

bool TextFile::Fill() {
  readPos_ = readEnd_ = 0;
  if (readFailed_) return false;
  ssize_t n;
  if (failReads_ > 0) {
    --failReads_;
    errno = failReadError_;
    n = -1;
  } else {
    do {
      n = ::read(readFd_, readBuffer_.data(), readBuffer_.size());
    } while (n < 0 && errno == EINTR);
  }
  if (n < 0) {
    readFailed_ = true;
    readErrno_ = errno;
  }
  if (n <= 0) return false;
  readEnd_ = static_cast<size_t>(n);
  fileRead_ += readEnd_;
  return true;
}

bool TextFile::Close() {
  if (readFd_ >= 0) {
    ::close(readFd_);
    readFd_ = -1;
    readPos_ = readEnd_ = 0;
    rawLine_ = {};
    // The room of a long line is not kept for the next file.
    if (lineBuffer_.capacity() > readBuffer_.size()) std::string().swap(lineBuffer_);
    io_ = IoOk;
    return true;
  }
  if (!file_) {
    io_ = IoNotOpen;
    return false;
  }
  errno = 0;
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  io_ = ok ? IoOk : FailureCode(writing_);
  if (!ok && writing_ && writeError_ == IoOk) writeError_ = io_;
  work_.Discard();  // a working file that was not committed is dropped
  return ok;
}

bool TextFile::Commit() {
  if (!file_ || !work_.IsOpen()) return Close();
  errno = 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!closed && writeError_ == IoOk) writeError_ = FailureCode(true);
  if (writeError_ != IoOk) {
    io_ = writeError_;
    work_.Discard();
    return false;
  }
  if (!work_.Commit()) {
    io_ = IoCodeFromErrno(work_.Error());
    if (io_ == IoOk) io_ = IoWriteError;
    writeError_ = io_;
    return false;
  }
  io_ = IoOk;
  return true;
}

bool TextFile::Eof() {
  if (readFd_ < 0) return true;
  return readPos_ == readEnd_ && !Fill();
}

bool TextFile::LineAhead() {
  if (readFd_ < 0) {
    io_ = file_ ? IoNotOpenInput : IoNotOpen;
    return false;
  }
  if (readPos_ == readEnd_ && !Fill()) {
    io_ = IoReadError;  // past the end, or the read itself failed
    return false;
  }
  return true;
}

bool TextFile::NextRawLine() {
  rawLine_ = {};
  if (!LineAhead()) return false;
  const char* start = readBuffer_.data() + readPos_;
  const char* end = readBuffer_.data() + readEnd_;
  if (const char* nl = static_cast<const char*>(std::memchr(start, '\n', end - start))) {
    // The whole line lies in the buffer: no copy.
    rawLine_ = std::string_view(start, nl - start);
    readPos_ += (nl - start) + 1;
  } else {
    // The line goes on in the next block (or ends with the file).
    std::string& raw = lineBuffer_;
    raw.assign(start, end);
    readPos_ = readEnd_;
    while (Fill()) {
      start = readBuffer_.data();
      end = start + readEnd_;
      const char* nl = static_cast<const char*>(std::memchr(start, '\n', end - start));
      // A line without end (a damaged file) must not eat all memory.
      if (raw.size() + ((nl ? nl : end) - start) > MaxLineLength) {
        io_ = IoReadError;
        return false;
      }
      // A line longer than a block gets the room of the rest of the file at once: growing it by
      // doubling would hold it up to three times over.
      if (!nl && raw.size() + readEnd_ > raw.capacity()) {
        const std::uint64_t rest = fileSize_ > fileRead_ ? fileSize_ - fileRead_ : 0;
        raw.reserve(static_cast<size_t>(
            std::min<std::uint64_t>(raw.size() + readEnd_ + rest, MaxLineLength + 1)));
      }
      raw.append(start, nl ? nl : end);
      readPos_ = nl ? (nl - start) + 1 : readEnd_;
      if (nl) break;
    }
    if (readFailed_) {
      io_ = IoReadError;
      return false;
    }
    rawLine_ = raw;
  }
  if (!rawLine_.empty() && rawLine_.back() == '\r') rawLine_.remove_suffix(1);
  io_ = IoOk;
  return true;
}

bool TextFile::ReadLineInPieces(const std::function<void(std::string_view, bool)>& take) {
  if (!LineAhead()) return false;
  bool whole = true;
  bool heldCr = false;  // a CR at the end of a block, which may belong to the line end
  for (;;) {
    const char* start = readBuffer_.data() + readPos_;
    const char* end = readBuffer_.data() + readEnd_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', end - start));
    std::string_view piece(start, (nl ? nl : end) - start);
    readPos_ = nl ? readPos_ + piece.size() + 1 : readEnd_;
    const bool cr = !piece.empty() && piece.back() == '\r';
    if (cr) piece.remove_suffix(1);
    if (nl) {
      if (heldCr && (!piece.empty() || cr)) take("\r", false);
      if (whole)
        take(piece, true);
      else if (!piece.empty())
        take(piece, false);
      io_ = IoOk;
      return true;
    }
    if (whole) {
      // The first piece is held until the next block tells whether the line ends with the file
      // (then it is the whole line, a CR at its end its line end).
      const std::string first(piece);
      const bool more = Fill();
      if (!more && readFailed_) {
        io_ = IoReadError;
        return false;
      }
      take(first, !more);
      heldCr = cr;
      whole = false;
      if (!more) {
        io_ = IoOk;
        return true;
      }
      continue;
    }
    if (heldCr) take("\r", false);
    if (!piece.empty()) take(piece, false);
    heldCr = cr;
    if (!Fill()) {
      // The line ends with the file (a CR at its very end is its line end), or the read failed.
      io_ = readFailed_ ? IoReadError : IoOk;
      return !readFailed_;
    }
  }
}

bool TextFile::ReadLongLineCut(std::string_view& line, size_t maxBytes) {
  // Gathered from its pieces up to one byte past the cut, the rest skipped.
  std::string& kept = lineBuffer_;
  kept.clear();
  const bool ok = ReadLineInPieces([&kept, maxBytes](std::string_view piece, bool) {
    if (kept.size() <= maxBytes) kept.append(piece.substr(0, maxBytes + 1 - kept.size()));
  });
  line = ok ? CutAtCharacter(kept, maxBytes) : std::string_view();
  rawLine_ = line;
  return ok;
}

bool TextFile::ReadLine(std::string& line) {
  std::string_view raw;
  if (!ReadRawLine(raw)) {
    line.clear();
    return false;
  }
  // A line gathered across blocks is handed over with its room, not copied.
  if (raw.data() == lineBuffer_.data() && raw.substr(0, 3) != "\xEF\xBB\xBF" && IsValidUtf8(raw)) {
    const size_t size = raw.size();
    line.swap(lineBuffer_);
    line.resize(size);
    rawLine_ = {};
    return true;
  }
  DecodeStoredLine(raw, page_, line);
  return true;
}

bool TextFile::ReadLineCut(std::string& line, size_t maxBytes) {
  std::string_view raw;
  if (!ReadRawLineCut(raw, maxBytes)) {
    line.clear();
    return false;
  }
  DecodeStoredLine(raw, page_, line);
  return true;
}

void DecodeStoredLine(std::string_view raw, LegacyCodePage page, std::string& line) {
  // Valid UTF-8 (every ASCII line) is taken as it stands, into the room line already has.
  if (IsValidUtf8(raw)) {
    std::string_view text = raw;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // Appended to the emptied line: the bytes never lie in line itself, so the overlap checks of
    // assign are not needed.
    line.clear();
    line.append(text.data(), text.size());
  } else {
    line = DecodeTextLine(raw, page);
  }
}

bool TextFile::Write(const std::string& s) {
  if (!file_) {
    io_ = readFd_ >= 0 ? IoNotOpenOutput : IoNotOpen;
    return false;
  }
  if (failWrites_ > 0) {
    --failWrites_;
    io_ = IoWriteError;
    if (writeError_ == IoOk) writeError_ = io_;
    return false;
  }
  errno = 0;
  if (std::fwrite(s.data(), 1, s.size(), file_) != s.size()) {
    io_ = FailureCode(true);
    if (writeError_ == IoOk) writeError_ = io_;
    return false;
  }
  io_ = IoOk;
  return true;
}

bool TextFile::WriteLn(const std::string& s) {
  if (page_ == LegacyCodePage::Oem850) return Write(EncodeCp850Line(s) + "\r\n");
  return Write(s + "\r\n");
}

// ---------------------------------------------------------------------------------------------
// Number texts

namespace {

// Powers of ten that long double holds exactly (5^27 < 2^64).
constexpr int ExactTenPowers = 27;
constexpr bool ExactPathUsable = std::numeric_limits<long double>::digits >= 64;

long double TenPower(int k) {
  static const auto table = [] {
    std::array<long double, ExactTenPowers + 1> t{};
    t[0] = 1;
    for (int i = 1; i <= ExactTenPowers; ++i) t[i] = t[i - 1] * 10;
    return t;
  }();
  return table[k];
}

}  // namespace

bool TextToReal(std::string_view text, long double& x) {
  const std::string_view s = BlankTrimmed(text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && s[i] == '+') ++i;  // "+" is no sign of from_chars: taken here
  else if (i < s.size() && s[i] == '-') negative = true, ++i;
  // Digits with at most one separator ("," or "."), then an optional exponent; no "inf", "nan"
  // or hexadecimal.
  uint64_t mantissa = 0;
  int significant = 0;
  bool exact = true;
  // The digits before and after the separator: leading zeros count for nothing, the first 19
  // significant digits make the mantissa. A run of any length only counts up to 20.
  auto digits = [&](size_t from) {
    size_t j = from;
    for (; j < s.size() && s[j] == '0' && significant == 0; ++j) {
    }
    for (; j < s.size(); ++j) {
      const unsigned d = static_cast<unsigned char>(s[j]) - '0';
      if (d > 9) break;
      if (significant == 19) exact = false;
      if (significant < 19) mantissa = mantissa * 10 + d, ++significant;
    }
    return j;
  };
  const size_t intStart = i;
  i = digits(i);
  bool digit = i > intStart;
  size_t fractionDigits = 0;
  if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
    const size_t fracStart = ++i;
    i = digits(i);
    fractionDigits = i - fracStart;
    digit = digit || i > fracStart;
  }
  if (!digit) return false;
  int exponent = 0;  // kept below a million: beyond, every value is 0 or out of range anyway
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    bool negExp = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) negExp = s[j++] == '-';
    if (j == s.size()) return false;
    for (; j < s.size(); ++j) {
      if (s[j] < '0' || s[j] > '9') return false;
      if (exponent < 100000) exponent = exponent * 10 + (s[j] - '0');
    }
    if (negExp) exponent = -exponent;
    i = j;
  }
  if (i != s.size()) return false;
  if (mantissa == 0) {
    // Only zeros, however many and whatever the exponent: zero, with the sign as written.
    x = negative ? -0.0L : 0.0L;
    return true;
  }
  const int64_t k = exponent - static_cast<int64_t>(fractionDigits);
  if (ExactPathUsable && exact && k >= -ExactTenPowers && k <= ExactTenPowers) {
    // The mantissa and the power of ten are exact: one rounding, the same value as from_chars.
    long double v = static_cast<long double>(mantissa);
    if (k < 0) v /= TenPower(static_cast<int>(-k));
    else if (k > 0) v *= TenPower(static_cast<int>(k));
    x = negative ? -v : v;
    return true;
  }
  // from_chars takes "." alone and no "+".
  std::string t(s.substr(s[0] == '+' ? 1 : 0));
  if (const size_t comma = t.find(','); comma != std::string::npos) t[comma] = '.';
  long double v = 0;
  const char* last = t.data() + t.size();
  auto [ptr, ec] = std::from_chars(t.data(), last, v, std::chars_format::general);
  if (ec != std::errc() || ptr != last) return false;
  x = v;
  return true;
}

bool TextToWhole(std::string_view text, int64_t& n) {
  std::string_view s = BlankTrimmed(text);
  if (s.empty()) return false;
  if (s[0] == '+') {
    s.remove_prefix(1);
    if (s.empty() || s[0] == '-') return false;
  }
  int64_t v = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || ptr != s.data() + s.size()) return false;
  n = v;
  return true;
}

std::string ExtendedLineText(long double x) {
  // Stored designs keep their full 7 decimals: the Decimals display setting is held at its neutral
  // value while the text is made.
  int savedDecimals = Settings.Decimals;
  Settings.Decimals = 3;
  std::string text;
  if (x < 1 && std::fabs(x - std::round(x)) <= 1e-10L)
    text = FloatStr(std::round(x));
  else
    text = FloatStrDecimals(7, x);
  Settings.Decimals = savedDecimals;
  return TrimBlanks(text);
}

// ---------------------------------------------------------------------------------------------
// Readers

namespace {
// One line of DataFile; false (and AbortFlag) when it could not be read.
bool NextLine(std::string& s) {
  if (DataFile.ReadLine(s)) return true;
  Flags.AbortFlag = true;
  return false;
}

// The next line of DataFile as stored: number lines need no decoding and no copy. A byte-order
// mark before the text is skipped as the decoder does.
bool NextRawLine(std::string_view& s) { return ReadLineView(s); }

// The whole number of the next line when it is one within lo..hi; else 0 and false.
bool NextWhole(int64_t& v, int64_t lo, int64_t hi) {
  std::string_view s;
  v = 0;
  if (!NextRawLine(s)) return false;
  if (!TextToWhole(s, v) || v < lo || v > hi) {
    v = 0;
    return false;
  }
  return true;
}

// The real of the next line; every "," counts as the decimal point (so two separators are none).
bool NextReal(long double& x) {
  std::string_view s;
  x = 0;
  if (!NextRawLine(s)) return false;
  if (!TextToReal(s, x)) {
    x = 0;
    return false;
  }
  return true;
}
}  // namespace

void ReadLine(std::string& s) { NextLine(s); }

bool ReadLineView(std::string_view& s) {
  if (!DataFile.ReadRawLine(s)) {
    Flags.AbortFlag = true;
    return false;
  }
  if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);  // as the decoder skips it
  return true;
}

bool IsDashLine(std::string_view s) {
  // Eight characters at a time: find_first_not_of asks a search of its own for every character.
  const std::string_view t = BlankTrimmed(s);
  constexpr std::uint64_t Dashes = 0x0101010101010101u * '-';
  std::size_t i = 0;
  for (; t.size() - i >= 8; i += 8) {
    std::uint64_t v;
    std::memcpy(&v, t.data() + i, 8);
    if (v != Dashes) return false;
  }
  for (; i < t.size(); ++i)
    if (t[i] != '-') return false;
  return !t.empty();
}

void ReadFields(std::string& a, std::string& b, std::string& c, std::string& d) {
  std::string line;
  NextLine(line);
  std::string* out[4] = {&a, &b, &c, &d};
  size_t pos = 0;
  bool missing = false;
  for (auto* field : out) {
    size_t bar = missing ? std::string::npos : line.find('|', pos);
    if (bar == std::string::npos) {
      missing = true;
      field->clear();
      continue;
    }
    *field = line.substr(pos, bar - pos);
    pos = bar + 1;
  }
}

void ReadCharLine(char& c) {
  std::string s;
  NextLine(s);
  c = s.empty() ? '\0' : s[0];
}

bool ReadIntegerLine(int32_t& n) {
  int64_t v = 0;
  const bool ok = NextWhole(v, INT32_MIN, INT32_MAX);
  n = static_cast<int32_t>(v);
  return ok;
}

bool ReadLongintLine(int32_t& n) { return ReadIntegerLine(n); }

bool ReadWordLine(uint16_t& w) {
  int64_t v = 0;
  const bool ok = NextWhole(v, 0, 65535);
  w = static_cast<uint16_t>(v);
  return ok;
}

bool ReadExtendedLine(long double& x) { return NextReal(x); }

bool ReadDoubleLine(double& x) {
  long double v = 0;
  const bool ok = NextReal(v);
  x = static_cast<double>(v);
  return ok;
}

void ReadBoolTrue(bool& b) {
  std::string s;
  NextLine(s);
  if (!Flags.AbortFlag) b = UpperStr(TrimBlanks(s)) == "TRUE";
}

void ReadBoolNotFalse(bool& b) {
  std::string s;
  NextLine(s);
  if (!Flags.AbortFlag) b = UpperStr(TrimBlanks(s)) != "FALSE";
}

// ---------------------------------------------------------------------------------------------
// Writers

namespace {
void Put(const std::string& s, bool lineEnd) {
  bool ok = lineEnd ? DataFile.WriteLn(s) : DataFile.Write(s);
  if (!ok) Flags.AbortFlag = true;
}

std::string Fields(std::initializer_list<const std::string*> fields) {
  std::string line;
  for (const auto* f : fields) line += *f + "|";
  return line;
}
}  // namespace

void WriteLine(const std::string& s) { Put(s, true); }
void WriteStringLine(const std::string& s) { Put(s, true); }
void WriteText(const std::string& s) { Put(s, false); }
void WriteIntegerLine(int64_t n) { Put(std::to_string(n), true); }
void WriteBoolLine(bool b) { Put(b ? "TRUE" : "FALSE", true); }
void WriteExtendedLine(long double x) { Put(ExtendedLineText(x), true); }

void WriteFields4(const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d) {
  Put(Fields({&a, &b, &c, &d}), true);
}

void WriteFields6(const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d, const std::string& e, const std::string& f) {
  Put(Fields({&a, &b, &c, &d, &e, &f}), true);
}

void WriteFields8(const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d, const std::string& e, const std::string& f,
                  const std::string& g, const std::string& h) {
  Put(Fields({&a, &b, &c, &d, &e, &f, &g, &h}), true);
}

void WriteFileHeader() {
  const std::string dashes(65, '-');
  WriteLine(dashes);
  WriteLine(Ident.Banner + "   V " + GetFileVersion(""));
  WriteLine("Version " + Ident.VersionText);
  WriteLine("");  // reserved line, skipped by readers
  WriteLine(dashes);
  for (const auto& comment : Session.CommentLines) WriteLine(comment);
}

// ---------------------------------------------------------------------------------------------
// Paths

void AddBackslash(const std::string& path, std::string& result) { result = AddBackslash(path); }

std::string AddBackslash(const std::string& path) {
  std::string p = TrimBlanks(path);
  if (p.empty() || p.back() == '/') return p;
  return p + "/";
}

void RemoveBackslash(const std::string& path, std::string& result) {
  result = RemoveBackslash(path);
}

std::string RemoveBackslash(const std::string& path) {
  std::string p = TrimBlanks(path);
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

void ExtractFolder(const std::string& name, std::string& result) { result = ExtractFolder(name); }

std::string ExtractFolder(const std::string& name) {
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

void ExtractDrive(const std::string& path, std::string& result) {
  // There are no drives here; a name that still starts with a drive letter gives it back.
  bool drive = path.size() >= 2 && path[1] == ':' &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  result = drive ? path.substr(0, 2) : "";
}

std::string FileNamePart(const std::string& name) {
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

void FileNameWithoutExt(const std::string& name, std::string& result) {
  result = FileNameWithoutExt(name);
}

std::string FileNameWithoutExt(const std::string& name) {
  std::string file = FileNamePart(name);
  size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

void ExtractBaseName(const std::string& name, std::string& result) {
  result = ExtractBaseName(name);
}

std::string ExtractBaseName(const std::string& name) {
  std::string drive;
  ExtractDrive(name, drive);
  return FileNameWithoutExt(name.substr(drive.size()));
}

void RemoveFileExt(const std::string& name, std::string& result) { result = RemoveFileExt(name); }

std::string RemoveFileExt(const std::string& name) {
  return ExtractFolder(name) + FileNameWithoutExt(name);
}

void ExtensionAfterDot(const std::string& name, std::string& result) {
  result = ExtensionAfterDot(name);
}

std::string ExtensionAfterDot(const std::string& name) {
  std::string file = FileNamePart(name);
  size_t dot = file.find('.');
  return dot == std::string::npos ? "" : file.substr(dot + 1);
}

// ---------------------------------------------------------------------------------------------
// File and folder tests

bool FileCanOpen(const std::string& name) {
  if (name.empty()) return false;
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) ||
      S_ISSOCK(st.st_mode))
    return false;
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

namespace {
std::string shippedDataOverride;
}

std::string ShippedDataFolder() {
  if (!shippedDataOverride.empty()) return AddBackslash(shippedDataOverride);
  const std::string exe = ProgramFilePath();
  if (exe.empty()) return "";
  return ExtractFolder(exe) + "data/";
}

void SetShippedDataFolder(const std::string& folder) { shippedDataOverride = folder; }

std::string ProgramDataFile(const std::string& folder, const std::string& name) {
  const std::string own = AddBackslash(folder) + name;
  if (FileCanOpen(own)) return own;
  const std::string shipped = ShippedDataFolder();
  if (!shipped.empty() && FileCanOpen(shipped + name)) return shipped + name;
  return own;
}

bool IsFolderWritable(const std::string& folder) {
  // A working file of our own, removed again: a user's file of any name is never touched.
  WorkFile probe;
  return probe.Create(AddBackslash(folder.empty() ? "." : folder) + "qern-probe");
}

bool FolderFindable(const std::string& folder) {
  std::string p = RemoveBackslash(folder);
  DIR* dir = ::opendir(p.empty() ? "." : p.c_str());
  if (!dir) return false;
  ::closedir(dir);
  return true;
}

bool FolderExists(const std::string& path) {
  std::string p = RemoveBackslash(path);
  if (p.empty()) return false;
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> FilesMatching(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  std::string p = RemoveBackslash(folder);
  DIR* dir = ::opendir(p.empty() ? "." : p.c_str());
  if (!dir) return names;
  std::string pattern = (mask == "*.*") ? "*" : mask;
  std::string base = AddBackslash(folder);
  while (dirent* e = ::readdir(dir)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (::fnmatch(pattern.c_str(), n.c_str(), FNM_CASEFOLD | FNM_PERIOD) != 0) continue;
    struct stat st {};
    if (::stat((base + n).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    names.push_back(n);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------------------------------------
// Erasing and copying

void EraseFileIfExists(const std::string& name) {
  struct stat st {};
  if (name.empty() || ::lstat(name.c_str(), &st) != 0) return;
  if (::unlink(name.c_str()) != 0) Flags.AbortFlag = true;
}

void DeleteFilesByMask(const std::string& folder, const std::string& mask) {
  std::string base = AddBackslash(folder);
  for (const auto& n : FilesMatching(folder, mask)) {
    if (::unlink((base + n).c_str()) != 0) {
      Flags.AbortFlag = true;
      return;
    }
  }
}

void CopyFileBlocks(const std::string& source, const std::string& dest) {
  if (!CopyFileTo(source, dest)) Flags.AbortFlag = true;
}

bool ReplaceFileWithLines(const std::string& target, const std::vector<std::string>& lines,
                          LegacyCodePage page, int* ioCode) {
  TextFile f;
  f.Assign(target);
  f.SetCodePage(page);
  f.SetReplacing(true);
  bool ok = f.Rewrite();
  for (size_t i = 0; ok && i < lines.size(); ++i) ok = f.WriteLn(lines[i]);
  if (ok) ok = f.Commit();
  if (ioCode) *ioCode = f.IoResult();
  if (!ok) f.Close();
  return ok;
}

void CopyFileToFolderOf(const std::string& source, const std::string& dest) {
  if (!FileCanOpen(source)) {
    Flags.AbortFlag = true;
    return;
  }
  if (!CopyFileTo(source, ExtractFolder(dest) + FileNamePart(source))) Flags.AbortFlag = true;
}

void CopyFilesByMask(const std::string& mask, const std::string& sourceFolder,
                     const std::string& destFolder) {
  auto names = FilesMatching(sourceFolder, mask);
  bool failed = names.empty();
  std::string source = AddBackslash(sourceFolder);
  std::string dest = AddBackslash(destFolder);
  for (const auto& n : names) {
    Flags.AbortFlag = false;
    CopyFileToFolderOf(source + n, dest + n);
    if (Flags.AbortFlag) failed = true;
  }
  Flags.AbortFlag = failed;
}

}  // namespace qern
