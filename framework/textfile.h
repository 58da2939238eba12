// Line-oriented text files: the shared DataFile, its typed line readers and writers, the head of a
// design file, and the path and file helpers. Nothing here raises: failures set Flags.AbortFlag.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/workfile.h"

namespace qern {

// I/O result codes of TextFile (the classic numbering the messages are keyed on).
enum IoCode : int {
  IoOk = 0,
  IoFileNotFound = 2,
  IoPathNotFound = 3,
  IoTooManyFiles = 4,
  IoAccessDenied = 5,
  IoReadError = 100,     // read error, also reading past the end
  IoWriteError = 101,    // disk full or short write
  IoNotOpen = 103,
  IoNotOpenInput = 104,
  IoNotOpenOutput = 105,
  IoBadNumber = 106,
  IoWriteProtected = 150,
  IoDriveNotReady = 152,
};

// A buffered text file. Lines are written with CR LF; reading accepts LF or CR LF. Lines read are
// turned into UTF-8 (kept when valid UTF-8, else taken in the file's code page, Windows-1252
// unless SetCodePage says otherwise). Every operation sets IoResult(); it is 0 after success.
class TextFile {
 public:
  TextFile() = default;
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void Assign(const std::string& name);  // closes an open file first; code page Windows-1252
  // The code page of the file's stored texts. With CP850, WriteLn writes each line in CP850
  // when every character of it fits, else that line in UTF-8; Write writes its text as given.
  void SetCodePage(LegacyCodePage page) { page_ = page; }
  LegacyCodePage CodePage() const { return page_; }
  const std::string& Name() const { return name_; }
  // Output through a working file (platform/workfile): Rewrite then creates a new working file
  // beside the name, Commit renames it over the name, and Close without Commit drops it. Every
  // output file of the program is written so; Assign turns it off again.
  void SetReplacing(bool on) { replacing_ = on; }
  // Off: Commit does not wait for the disk (scratch files the program reads back or erases);
  // Assign turns it on again.
  void SetSync(bool on) { work_.SetSync(on); }
  bool Replacing() const { return replacing_; }
  bool Reset();    // open for reading
  bool Rewrite();  // create or truncate for writing (replacing: a new working file)
  bool Append();   // open for writing at the end (created when missing; never replacing)
  bool Close();    // false when the file was not open or the last data could not be written
  // Closes the file; a replacing file then replaces its name when every write succeeded (else it
  // is dropped and IoResult says why). Without replacing the same as Close.
  bool Commit();
  bool IsOpen() const { return file_ != nullptr || readFd_ >= 0; }
  // The time of last change of the file last opened for reading (taken when it was opened).
  std::time_t ModifiedTime() const { return modified_; }
  bool Eof();      // true at the end of a file open for reading (and when not open)

  bool ReadLine(std::string& line);  // past the end: IoReadError and line = ""
  // The next line's bytes as stored (without its line end, undecoded), valid until the next read:
  // for lines that hold numbers, which need no copy.
  bool ReadRawLine(std::string_view& line) {
    // A line that lies whole in the buffer is taken here; the rest in NextRawLine.
    if (ReadBufferedLine(line)) return true;
    const bool ok = NextRawLine();
    line = rawLine_;
    return ok;
  }
  // The next line as ReadRawLine gives it, when it lies whole in the read buffer; false (nothing
  // read) when it does not.
  bool ReadBufferedLine(std::string_view& line) {
    if (readPos_ < readEnd_) {
      const char* start = readBuffer_.data() + readPos_;
      const char* end = readBuffer_.data() + readEnd_;
      const char* nl = FindLineEnd(start, end);
      if (nl < end) {
        const size_t n = nl - start;
        readPos_ += n + 1;
        line = std::string_view(start, n > 0 && start[n - 1] == '\r' ? n - 1 : n);
        io_ = IoOk;
        return true;
      }
    }
    return false;
  }
  // The first '\n' in [start, end), or end: eight bytes at a time (the data files' lines are too
  // short for memchr to pay, and long enough for a byte loop to cost).
  static const char* FindLineEnd(const char* start, const char* end) {
    constexpr std::uint64_t Ones = 0x0101010101010101u, Highs = 0x8080808080808080u;
    const char* p = start;
    for (; end - p >= 8; p += 8) {
      std::uint64_t v;
      std::memcpy(&v, p, 8);
      v ^= Ones * '\n';  // a '\n' becomes a zero byte
      if (const std::uint64_t zero = (v - Ones) & ~v & Highs) {
        // The lowest flagged byte is the first zero one (flags above it may be false).
        if constexpr (std::endian::native == std::endian::little) return p + std::countr_zero(zero) / 8;
        break;
      }
    }
    while (p < end && *p != '\n') ++p;
    return p;
  }
  // A longer line is a read error (IoReadError): no text file of the program comes near it.
  static constexpr size_t MaxLineLength = size_t{64} << 20;
  // The next line as stored, without its line end: the whole line in one call take(line, true)
  // when it lies in the read buffer, else block by block, take(piece, false), so that a long line
  // is never held whole (nor limited in length).
  bool ReadLineInPieces(const std::function<void(std::string_view piece, bool whole)>& take);
  // The next line as stored, cut after maxBytes (at a character's start): for lines that are only
  // shown or looked at, whose rest is skipped without being held. Valid until the next read.
  bool ReadRawLineCut(std::string_view& line, size_t maxBytes) {
    if (!ReadBufferedLine(line)) return ReadLongLineCut(line, maxBytes);
    line = CutAtCharacter(line, maxBytes);
    return true;
  }
  // text cut after maxBytes, at the start of a character (never inside a UTF-8 sequence).
  static std::string_view CutAtCharacter(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t cut = maxBytes;
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80;
         ++back)
      --cut;
    return text.substr(0, cut);
  }
  // ReadLine of a line cut so.
  bool ReadLineCut(std::string& line, size_t maxBytes);
  // Where a line that is only shown is cut: far beyond what any window shows of one line.
  static constexpr size_t ShownLineLimit = size_t{64} << 10;
  bool Write(const std::string& s);
  bool WriteLn(const std::string& s);  // s + CR LF

  int IoResult() const { return io_; }
  // Why the file could not be read: the errno of a failed open for reading (EISDIR for a folder,
  // EACCES for what is no plain file) or of a failed read since; 0 when none failed.
  int ReadErrno() const { return readErrno_; }
  // The code of the first failed write since the file was opened (0: none), kept when later
  // writes succeed again.
  int WriteError() const { return writeError_; }

  // Test hook: the next n writes fail as with a full disk.
  void FailNextWrites(int n) { failWrites_ = n; }
  // Test hook: the next n reads of a file open for reading fail with the errno err.
  void FailNextReads(int n, int err) { failReads_ = n, failReadError_ = err; }

 private:
  bool Open(const char* mode, bool forWrite);
  bool OpenForReading();
  bool Fill();         // the next block of a file open for reading; false at its end or on error
  bool LineAhead();    // false (with its code) when no line can be read: not open, or at the end
  bool NextRawLine();  // the next line into rawLine_, without its line end
  bool ReadLongLineCut(std::string_view& line, size_t maxBytes);  // one beyond the buffer
  std::FILE* file_ = nullptr;  // a file open for writing
  // A file open for reading: read in blocks into a buffer kept from file to file, so a file costs
  // no allocation of its own; a line lies in the buffer or, across blocks, in lineBuffer_.
  int readFd_ = -1;
  std::string readBuffer_;
  size_t readPos_ = 0, readEnd_ = 0;
  bool readFailed_ = false;
  int readErrno_ = 0;
  // The size of the file open for reading and how much of it the blocks read so far hold: a long
  // line is given the room of what is left at once, rather than grown by doubling.
  std::uint64_t fileSize_ = 0, fileRead_ = 0;
  std::time_t modified_ = 0;
  std::string_view rawLine_;
  bool writing_ = false;
  std::string name_;
  int io_ = IoOk;
  int failWrites_ = 0;
  int failReads_ = 0, failReadError_ = 0;
  int writeError_ = IoOk;
  std::string lineBuffer_;  // the raw bytes of a line across blocks, kept for its capacity
  LegacyCodePage page_ = LegacyCodePage::Ansi1252;
  bool replacing_ = false;
  WorkFile work_;
};

// A line as stored turned into UTF-8 as ReadLine does it (valid UTF-8 kept, without a byte-order
// mark; else taken in the code page page).
void DecodeStoredLine(std::string_view raw, LegacyCodePage page, std::string& line);

// Code of the last errno, in the numbering above.
int IoCodeFromErrno(int err);
// The errno an I/O code stands for (an errno without a code of its own is its own code).
int ErrnoOfIoCode(int io);

// The one shared text-file variable; every caller opens, uses and closes it inside one routine.
extern TextFile DataFile;

// Readers: one line of DataFile each; an I/O error sets AbortFlag. The number readers give 0 for
// a line that is no number (or out of the target's range) and then return false, as they do after
// an I/O error: callers that must not take such a line as 0 test the result.
void ReadLine(std::string& s);
// The next line as stored (undecoded, without its line end), valid until the next read: for lines
// that are only tested (markers, separators). False (and AbortFlag) when it could not be read.
bool ReadLineView(std::string_view& s);
// A separator line of the data files: nothing but dashes (blanks around them allowed).
bool IsDashLine(std::string_view s);
// s without leading and trailing blanks (only the blank character).
inline std::string_view BlankTrimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}
void ReadFields(std::string& a, std::string& b, std::string& c, std::string& d);
void ReadCharLine(char& c);  // first byte of the line ('\0' for an empty line)
bool ReadIntegerLine(int32_t& n);
bool ReadLongintLine(int32_t& n);
bool ReadWordLine(uint16_t& w);
bool ReadExtendedLine(long double& x);  // a "," or a "." as the decimal separator
bool ReadDoubleLine(double& x);
void ReadBoolTrue(bool& b);      // "TRUE" in any case gives true, anything else false
void ReadBoolNotFalse(bool& b);  // "FALSE" in any case gives false, anything else true

// Writers to DataFile; an I/O error sets AbortFlag.
void WriteLine(const std::string& s);
void WriteStringLine(const std::string& s);
void WriteText(const std::string& s);
void WriteIntegerLine(int64_t n);
void WriteBoolLine(bool b);
void WriteExtendedLine(long double x);
void WriteFields4(const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d);
void WriteFields6(const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d, const std::string& e, const std::string& f);
void WriteFields8(const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d, const std::string& e, const std::string& f,
                  const std::string& g, const std::string& h);
// The text WriteExtendedLine writes: always 7 decimals, whatever the Decimals display setting.
std::string ExtendedLineText(long double x);

// Strict number texts (blanks around allowed; the first "," counts as the decimal point): false,
// and x or n untouched, when the text is not a number ("inf", "nan" and hexadecimal are none) or
// lies beyond the type's range.
bool TextToReal(std::string_view text, long double& x);
bool TextToWhole(std::string_view text, int64_t& n);

// The eight head lines of a design file; DesignFileHeadLines is how many a reader skips.
constexpr int DesignFileHeadLines = 8;
void WriteFileHeader();

// Path helpers; the folder separator is "/".
void AddBackslash(const std::string& path, std::string& result);  // appends "/" unless present
std::string AddBackslash(const std::string& path);
void RemoveBackslash(const std::string& path, std::string& result);
std::string RemoveBackslash(const std::string& path);
void ExtractFolder(const std::string& name, std::string& result);  // up to and with the last "/"
std::string ExtractFolder(const std::string& name);
void ExtractDrive(const std::string& path, std::string& result);  // "C:" style prefix, else ""
void ExtractBaseName(const std::string& name, std::string& result);
std::string ExtractBaseName(const std::string& name);
void FileNameWithoutExt(const std::string& name, std::string& result);
std::string FileNameWithoutExt(const std::string& name);
void RemoveFileExt(const std::string& name, std::string& result);
std::string RemoveFileExt(const std::string& name);
void ExtensionAfterDot(const std::string& name, std::string& result);  // of the file-name part
std::string ExtensionAfterDot(const std::string& name);
std::string FileNamePart(const std::string& name);  // the name without its folder

// File and folder tests.
bool FileCanOpen(const std::string& name);

// The data folder shipped beside the program (<program folder>/data/, with a trailing "/");
// tests may set another.
std::string ShippedDataFolder();
void SetShippedDataFolder(const std::string& folder);
// A file the program ships (help texts, message help): the copy in the given folder when it
// exists, else the shipped one when that exists, else the name in the given folder.
std::string ProgramDataFile(const std::string& folder, const std::string& name);
bool IsFolderWritable(const std::string& folder);
bool FolderFindable(const std::string& folder);
bool FolderExists(const std::string& path);
// Names in folder matching mask ("*" and "?", case ignored; "*.*" matches every name), sorted.
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& mask);

// Erasing and copying; every failure sets AbortFlag.
void EraseFileIfExists(const std::string& name);
void DeleteFilesByMask(const std::string& folder, const std::string& mask);
void CopyFileBlocks(const std::string& source, const std::string& dest);
// Writes lines (CR LF) through a working file that replaces target only when complete; lines are
// written in the file's code page (see TextFile::SetCodePage). False on any failure (its I/O code
// in *ioCode when given): target stays as it was.
bool ReplaceFileWithLines(const std::string& target, const std::vector<std::string>& lines,
                          LegacyCodePage page = LegacyCodePage::Ansi1252, int* ioCode = nullptr);
void CopyFileToFolderOf(const std::string& source, const std::string& dest);
void CopyFilesByMask(const std::string& mask, const std::string& sourceFolder,
                     const std::string& destFolder);

}  // namespace qern
