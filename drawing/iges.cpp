// IGES writer: records, counters, Hollerith strings, the subfigure table, colours and line fonts, and
// the IGES back end of the CAD output layer.
#include "drawing/iges.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <limits>
#include <string_view>

#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "platform/machine.h"

namespace qern {

IgesWriterState Iges;
std::string* IgesOut = nullptr;

namespace {
constexpr size_t RecordData = 72;     // data columns of an S, G, D or T record
constexpr size_t ParameterData = 64;  // data columns of a P record
constexpr size_t RecordBytes = RecordData + 10;  // a record with its sequence number and CR LF

std::string g_sink;  // where records go without an output

std::string& Out() { return IgesOut ? *IgesOut : g_sink; }

std::string IntText(long long n) { return std::to_string(n); }

// The parameter text of an entity is written group by group; each group starts a new record.
void Parameters(std::string_view text) {
  IgesWriteParameters(Iges.Parameters, text, Iges.IgesEntityNumber);
}

// Starts a new entity: its number, and its membership of the open subfigure.
void BeginEntity(bool member = true) {
  Iges.IgesParameterLines = 0;
  Iges.IgesEntityNumber += 2;
  if (member && Iges.IgesInSubfigure) IgesAddToBlock();
}

// cos and sin of an angle in degrees (of arcs and of rotated inserts). The teeth of a wheel insert
// the same block again and again, and the reduction of a long double angle is slow, so the values
// of recent angles are kept (by the angle's exact bits: the same angle always gives the same
// values).
struct CosSin {
  long double c, s;
};
CosSin CosSinOfDegrees(long double degrees) {
  constexpr size_t Bytes = std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);
  struct Entry {
    unsigned char key[sizeof(long double)];
    bool used;
    CosSin v;
  };
  static Entry kept[256];
  unsigned char key[sizeof(long double)] = {};
  std::memcpy(key, &degrees, Bytes);
  // The hash of the key's bytes taken eight at a time.
  std::uint64_t h = 0;
  for (size_t i = 0; i < Bytes; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, key + i, std::min<size_t>(8, Bytes - i));
    h = (h ^ word) * 0x9E3779B97F4A7C15ULL;
  }
  Entry& e = kept[h >> 56];
  if (e.used && std::memcmp(e.key, key, Bytes) == 0) return e.v;
  const long double a = DegToRad(degrees);
  e.v = {std::cos(a), std::sin(a)};
  std::memcpy(e.key, key, Bytes);
  e.used = true;
  return e.v;
}

// Length of the Hollerith string starting at text[i] ("12H..."), 0 when none starts there.
size_t HollerithLength(std::string_view text, size_t i) {
  size_t j = i;
  size_t count = 0;
  while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - i < 9) {
    count = count * 10 + static_cast<size_t>(text[j] - '0');
    ++j;
  }
  if (j == i || j >= text.size() || (text[j] != 'H' && text[j] != 'h')) return 0;
  // Only a field that starts with the count is a string ("1.0D-8" and "3H" in numbers are not).
  if (i > 0 && text[i - 1] != ',' && text[i - 1] != ';') return 0;
  return (j - i) + 1 + std::min(count, text.size() - j - 1);
}
}  // namespace

// ---- Texts and records --------------------------------------------------------------------------

std::string IgesReal(long double x) {
  if (!std::isfinite(x)) x = 0;
  return FloatStrDecimalsDot(3, x);
}

std::string IgesHollerith(const std::string& bytes) { return IntText(bytes.size()) + "H" + bytes; }

std::string IgesDate(int year, int month, int day, int hour, int minute, int second) {
  // Each part with leading zeros, its digits right to left up to the part's end.
  std::string text = "00000000.000000";
  auto put = [&text](size_t end, int v) {
    for (size_t i = end; v > 0; v /= 10) text[--i] = static_cast<char>('0' + v % 10);
  };
  put(4, ClampInteger(0, 9999, year));
  put(6, ClampInteger(0, 99, month));
  put(8, ClampInteger(0, 99, day));
  put(11, ClampInteger(0, 99, hour));
  put(13, ClampInteger(0, 99, minute));
  put(15, ClampInteger(0, 99, second));
  return text;
}

namespace {
// A short copy as a call of the library's copy: inlined with a known bound the compiler turns it
// into a string instruction that is slow to start, and records are copied by the ten thousand.
[[gnu::noinline]] void CopyChars(char* to, std::string_view from) {
  std::memcpy(to, from.data(), from.size());
}

// One record into record (room for RecordData + 8, its data columns already blank): data from
// column 1, the trailing field ending at column 72, the letter, the sequence number in seven digits
// with leading zeros.
void FillRecord(char* record, std::string_view data, std::string_view trailing, char letter,
                int seq) {
  trailing = trailing.substr(0, RecordData);
  data = data.substr(0, RecordData - trailing.size());
  if (!data.empty()) CopyChars(record, data);
  if (!trailing.empty()) CopyChars(record + RecordData - trailing.size(), trailing);
  record[RecordData] = letter;
  // (The sequence numbers count from 1 and stay below 10^7 but for huge files.)
  const unsigned n = seq >= 0 ? static_cast<unsigned>(seq) : 0U - static_cast<unsigned>(seq);
  SevenDigitChars(record + RecordData + 1, n);
}

// Field i (0..7, 8 the columns 65-72) of a record's blank columns: a number right-aligned.
void PutField(char* columns, int i, int n);
// The decimal digits of v, right to left in pairs, ending just before end (inlined: it is the
// whole work of a number field).
[[gnu::always_inline]] inline void DigitsBefore(char* end, unsigned v);

// Seven-digit sequence numbers of one section's records, which count up one by one: the first six
// digits of the last number are kept, and the last digit steps (a number that does not follow, or
// whose last digit carries, is converted). The kept digits are read only as written, in one piece:
// reading them just after stepping one byte stalled the processor.
class SequenceDigits {
 public:
  void Put(char* p, unsigned n) {
    if (n == last_ + 1 && n != 0 && lastDigit_ < 9) {
      ++lastDigit_;
    } else {
      char digits[7];
      SevenDigitChars(digits, n);
      std::memcpy(first_, digits, 6);
      lastDigit_ = digits[6] - '0';
    }
    last_ = n;
    std::memcpy(p, first_, 6);
    p[6] = static_cast<char>('0' + lastDigit_);
  }

 private:
  unsigned last_ = 0;
  int lastDigit_ = 0;
  char first_[6] = {'0', '0', '0', '0', '0', '0'};
};

// Appends one record (without a line end).
void AppendRecord(std::string& file, std::string_view data, std::string_view trailing, char letter,
                  int seq) {
  char record[RecordData + 8];
  std::memset(record, ' ', RecordData);
  FillRecord(record, data, trailing, letter, seq);
  file.append(record, sizeof record);
}

int& SectionCounter(char letter) {
  switch (letter) {
    case 'G': return Iges.G;
    case 'D': return Iges.D;
    case 'P': return Iges.P;
    case 'T': return Iges.T;
    default: return Iges.S;
  }
}

void WriteRecord(std::string& file, std::string_view text, std::string_view trailing, char letter) {
  int& counter = SectionCounter(letter);
  ++counter;
  // Written straight into the file's text with its line end (the blanks come with the room).
  const size_t old = file.size();
  file.append(RecordBytes, ' ');
  char* record = file.data() + old;
  FillRecord(record, text, trailing, letter, counter);
  record[RecordData + 8] = '\r';
  record[RecordData + 9] = '\n';
}

// Cuts a delimited text into records of at most width columns; emit gets each record. Records
// break after a delimiter outside Hollerith strings; a field longer than a record continues over
// the next records, each filled to the last column, so that a reader joining the columns gets the
// string back unchanged. Every record is a piece of the text, so the work grows with its length.
template <class Emit>
void SplitRecords(std::string_view text, size_t width, Emit emit) {
  if (text.size() <= width) {  // most entities: the whole text is its one record
    emit(text);
    return;
  }
  size_t start = 0;  // first column of the record being filled
  size_t i = 0;      // next field
  bool emitted = false;
  while (i < text.size()) {
    size_t end = i;
    const size_t h = HollerithLength(text, i);
    if (h > 0) end = i + h;
    while (end < text.size() && text[end] != ',' && text[end] != ';') ++end;
    if (end < text.size()) ++end;  // the delimiter stays with its field
    if (end - start <= width) {
      i = end;
      continue;
    }
    if (end - i <= width) {
      emit(text.substr(start, i - start));
      emitted = true;
      start = i;
      i = end;
      continue;
    }
    while (end - start > width) {
      emit(text.substr(start, width));
      emitted = true;
      start += width;
    }
    i = end;
  }
  if (start < text.size() || !emitted) emit(text.substr(start));
}
}  // namespace

std::string IgesRecord(const std::string& data, const std::string& trailing, char letter, int seq) {
  std::string line;
  line.reserve(80);
  AppendRecord(line, data, trailing, letter, seq);
  return line;
}

void IgesWriteRecord(std::string& file, const std::string& text, const std::string& trailing,
                     char letter) {
  WriteRecord(file, text, trailing, letter);
}

std::vector<std::string> IgesSplitParameters(const std::string& text, size_t width) {
  std::vector<std::string> records;
  SplitRecords(text, width, [&](std::string_view r) { records.emplace_back(r); });
  return records;
}

void IgesWriteParameters(std::string& file, std::string_view text, int entityNumber) {
  // A number wider than its eight columns: the data gives way to it (the records' general rule).
  if (entityNumber >= 100000000 || entityNumber <= -10000000) {
    char number[16];
    const std::string_view trailing(
        number, static_cast<size_t>(std::to_chars(number, number + sizeof number, entityNumber).ptr -
                                    number));
    SplitRecords(text, ParameterData, [&](std::string_view record) {
      WriteRecord(file, record, trailing, 'P');
      ++Iges.IgesParameterLines;
    });
    return;
  }
  // Each record a copy of a blank one with the data in columns 1-64, the entity number ending at
  // column 72 and the sequence number set into it (the copy is never changed: reading bytes just
  // written one by one stalls the processor).
  static const auto blank = [] {
    std::array<char, RecordBytes> record;
    record.fill(' ');
    record[RecordData] = 'P';
    record[RecordData + 8] = '\r';
    record[RecordData + 9] = '\n';
    return record;
  }();
  static SequenceDigits sequence;
  SplitRecords(text, ParameterData, [&](std::string_view record) {
    const size_t old = file.size();
    file.append(blank.data(), RecordBytes);
    char* p = file.data() + old;
    if (!record.empty()) CopyChars(p, record);
    PutField(p, 8, entityNumber);
    sequence.Put(p + RecordData + 1, static_cast<unsigned>(++Iges.P));
    ++Iges.IgesParameterLines;
  });
}

// ---- File ---------------------------------------------------------------------------------------

void IgesOpenParameterFile() { Iges.Parameters.clear(); }

void IgesResetCounters() {
  // The parameter text keeps its room from file to file (it grows to a megabyte and more).
  std::string parameters = std::move(Iges.Parameters);
  parameters.clear();
  Iges = IgesWriterState{};
  Iges.Parameters = std::move(parameters);
}

void IgesStartAndGlobal(const std::string& fileName, long double maxCoordinate,
                        const std::string& date) {
  IgesResetCounters();
  std::string& f = Out();
  IgesWriteRecord(f, "IGES-Datei generiert von " + Ident.ProductName, "", 'S');
  IgesWriteRecord(f, "Uebersetzer von ZORQUAN GMBH, Uebersetzerversion 3.1", "", 'S');
  const std::string name = CadFileValue(fileName);
  const std::string product = CadFileValue(Ident.ProductName + " V" + Ident.VersionText);
  // The user's name stays while the program runs, and looking it up reads the password file.
  static const std::string user = CadFileValue(UserName());
  const std::string groups[] = {
      ",," + IgesHollerith("FILE") + "," + IgesHollerith(name) + "," + IgesHollerith(product) +
          "," + IgesHollerith(product) + ",",
      "16,38,6,99,15,",
      IgesHollerith(name) + ",1.0,2," + IgesHollerith("MM") + ",32767,3.2767D1,",
      IgesHollerith(date) + ",1.0D-8," + IgesReal(maxCoordinate) + ",",
      IgesHollerith(user) + "," + IgesHollerith("ZORQUAN GMBH") + ",4,0;",
  };
  // Each group keeps its own record; one longer than a record continues on the next ones.
  for (const std::string& g : groups)
    for (const std::string& record : IgesSplitParameters(g, RecordData))
      IgesWriteRecord(f, record, "", 'G');
}

void IgesEndFile() {
  std::string& f = Out();
  f += Iges.Parameters;
  Iges.Parameters.clear();
  // The records per section, each after its letter in seven digits.
  const int counts[] = {Iges.S, Iges.G, Iges.D, Iges.P};
  char t[64];
  if (std::all_of(std::begin(counts), std::end(counts),
                  [](int n) { return n >= 0 && n < 10000000; })) {
    char* p = t;
    for (int i = 0; i < 4; ++i) {
      *p++ = "SGDP"[i];
      p = SevenDigitChars(p, static_cast<unsigned>(counts[i]));
    }
    *p = '\0';
  } else {
    std::snprintf(t, sizeof t, "S%07dG%07dD%07dP%07d", Iges.S, Iges.G, Iges.D, Iges.P);
  }
  IgesWriteRecord(f, t, "", 'T');
}

// ---- Directory ----------------------------------------------------------------------------------

namespace {
// Field i (0..7) of a directory record's blank data columns: v trimmed of blanks, cut to 8
// characters, right-aligned.
void PutField(char* columns, int i, std::string_view v) {
  if (v.empty()) return;
  if (v.front() != ' ' && v.back() != ' ') {  // most fields: nothing to trim
    v = v.substr(0, 8);
    std::memcpy(columns + 8 * i + 8 - v.size(), v.data(), v.size());
    return;
  }
  const size_t b = v.find_first_not_of(' ');
  if (b == std::string_view::npos) return;
  v = v.substr(b, v.find_last_not_of(' ') - b + 1).substr(0, 8);
  std::memcpy(columns + 8 * i + 8 - v.size(), v.data(), v.size());
}

inline void DigitsBefore(char* end, unsigned v) {
  static constexpr char pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  for (; v >= 100; v /= 100) {
    end -= 2;
    std::memcpy(end, pairs + 2 * (v % 100), 2);
  }
  if (v >= 10)
    std::memcpy(end - 2, pairs + 2 * v, 2);
  else
    end[-1] = static_cast<char>('0' + v);
}

void PutField(char* columns, int i, int n) {
  if (n >= 0 && n < 100000000) {  // the digits fit: right to left from the field's end
    DigitsBefore(columns + 8 * i + 8, static_cast<unsigned>(n));
    return;
  }
  char buf[16];
  PutField(columns, i,
           std::string_view(buf, static_cast<size_t>(
                                     std::to_chars(buf, buf + sizeof buf, n).ptr - buf)));
}

// The eight 8-column fields of a directory record.
class DirectoryFields {
 public:
  DirectoryFields() { std::memset(text_, ' ', sizeof text_); }
  void Set(int i, std::string_view v) { PutField(text_, i, v); }
  std::string_view Text() const { return {text_, sizeof text_}; }

 private:
  char text_[64];
};

// A small whole number into field i (most are one digit: colours, line fonts, record counts).
inline void PutNumber(char* columns, int i, int n) {
  if (n >= 0 && n < 10)
    columns[8 * i + 7] = static_cast<char>('0' + n);
  else
    PutField(columns, i, n);
}

// The two directory records of one kind of entity, line ends included, with the fields that stay
// the same from entity to entity already set: the type (in both), the structure, the matrix
// pointer, the status, the form and the label. An entity copies them and sets only its numbers
// (setting every field anew cost about as much as the entity's coordinates).
class DirectoryTemplate {
 public:
  DirectoryTemplate(std::string_view type, std::string_view matrix, std::string_view form,
                    std::string_view label) {
    std::memset(text_, ' ', sizeof text_);
    char* first = text_;
    char* second = text_ + RecordBytes;
    PutField(first, 0, type);
    PutField(first, 2, "1");
    PutField(first, 6, matrix);
    std::memcpy(first + RecordData - 8, "00000000", 8);
    PutField(second, 0, type);
    PutField(second, 4, form);
    PutField(second, 7, label);
    for (char* record : {first, second}) {
      record[RecordData] = 'D';
      record[RecordData + 8] = '\r';
      record[RecordData + 9] = '\n';
    }
  }

  // The current entity's records appended to the output; dependent sets the status of an entity
  // that is part of another one (a subfigure's member, an instance's matrix).
  void Write(bool dependent) const {
    std::string& file = Out();
    const size_t old = file.size();
    file.append(text_, sizeof text_);
    char* first = file.data() + old;
    char* second = first + RecordBytes;
    if (dependent) first[RecordData - 5] = '1';  // status 00010000
    PutNumber(first, 1, Iges.IgesParameterPointer);
    PutNumber(first, 3, Iges.IgesLineFont);
    PutNumber(first, 4, Iges.IgesColor);
    sequence_.Put(first + RecordData + 1, static_cast<unsigned>(++Iges.D));
    PutNumber(second, 2, Iges.IgesColor);
    PutNumber(second, 3, Iges.IgesParameterLines);
    sequence_.Put(second + RecordData + 1, static_cast<unsigned>(++Iges.D));
  }

 private:
  static inline SequenceDigits sequence_;  // of the D section, shared by all kinds
  char text_[2 * RecordBytes];
};

// The directory records of the entity just parameterised, then the pointer moves past its records.
void EndEntity(const DirectoryTemplate& directory) {
  directory.Write(Iges.IgesInSubfigure);
  Iges.IgesParameterPointer += Iges.IgesParameterLines;
}
}  // namespace

std::string IgesDirectoryEntry(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) {
    DirectoryFields one;
    one.Set(0, field);
    line += one.Text().substr(0, 8);
  }
  return line;
}

// ---- Entities -----------------------------------------------------------------------------------

namespace {
// IgesReal(x) and the delimiter appended to s.
void AddReal(std::string& s, long double x, char delimiter = ',') {
  if (!std::isfinite(x)) x = 0;
  AppendFloatStrDecimalsDot(s, 3, x);
  s += delimiter;
}

// A number with 6 decimals and "." (rotation angles and matrix entries) and the delimiter appended
// to s.
void AddReal6(std::string& s, long double x, char delimiter = ',') {
  if (!std::isfinite(x)) x = 0;
  AppendFloatStrFixedDot(s, 0, 6, x);
  s += delimiter;
}

// The parameter text of an entity being built: written in place into room kept for all entities
// (appending each number to a string cost about as much as the number's digits).
class ParamText {
 public:
  void Start(std::string_view head) {
    n_ = 0;
    Append(head);
  }
  void Clear() { n_ = 0; }
  // Inline: mostly a short text of known length, copied in a few moves.
  [[gnu::always_inline]] void Append(std::string_view s) {
    std::memcpy(Room(s.size()), s.data(), s.size());
    n_ += s.size();
  }
  // Room for k more bytes; where they go (Used gives their end).
  char* Room(size_t k) {
    if (n_ + k > room_.size()) Grow(n_ + k);
    return room_.data() + n_;
  }
  void Used(const char* end) { n_ = static_cast<size_t>(end - room_.data()); }
  std::string_view View() const { return {room_.data(), n_}; }
  char& Back() { return room_[n_ - 1]; }

 private:
  // Apart, so that Room is inlined where the numbers are written.
  [[gnu::noinline]] void Grow(size_t need) { room_.resize(std::max(2 * room_.size(), need)); }

  std::string room_ = std::string(1024, ' ');
  size_t n_ = 0;
};

// The numbers off the quick roads, through the string's AddReal and AddReal6. Apart, so that the
// quick roads keep no string and save no registers.
[[gnu::noinline]] void AddRealByString(ParamText& t, long double x, char delimiter, bool six) {
  std::string s;
  if (six)
    AddReal6(s, x, delimiter);
  else
    AddReal(s, x, delimiter);
  t.Append(s);
}

// (x by reference, as the quick roads take it.)
void AddReal(ParamText& t, const long double& x, char delimiter = ',') {
  // (An infinite or undefined value is off the quick road; the string's AddReal writes it as 0.)
  if (char* end = DecimalsDotChars(t.Room(ScaledFixedMaxChars + 1), 3, x)) {
    *end = delimiter;
    t.Used(end + 1);
    return;
  }
  AddRealByString(t, x, delimiter, false);
}

void AddReal6(ParamText& t, const long double& x, char delimiter = ',') {
  if (char* end = FixedDotChars(t.Room(ScaledFixedMaxChars + 1), 0, 6, x)) {
    *end = delimiter;
    t.Used(end + 1);
    return;
  }
  AddRealByString(t, x, delimiter, true);
}

void AddInt(ParamText& t, long long n, char delimiter = ',') {
  char* p = t.Room(24);
  if (n >= 0 && n < 100000000) {  // (entity numbers, counts) the digits two at a time
    const auto v = static_cast<unsigned>(n);
    p += v < 10 ? 1 : v < 100 ? 2 : v < 1000 ? 3 : v < 10000 ? 4 : v < 100000 ? 5
         : v < 1000000 ? 6 : v < 10000000 ? 7 : 8;
    DigitsBefore(p, v);
  } else {
    p = std::to_chars(p, p + 23, n).ptr;
  }
  *p = delimiter;
  t.Used(p + 1);
}

// The parameter text being built, started with head (one buffer for all entities).
ParamText& ParameterBuffer(std::string_view head) {
  static ParamText text;
  text.Start(head);
  return text;
}
}  // namespace

void IgesLine(long double x1, long double y1, long double x2, long double y2) {
  ParamText& p = ParameterBuffer("110,");
  AddReal(p, x1);
  AddReal(p, y1);
  const size_t start = p.View().size();
  p.Append("0.0,");
  AddReal(p, x2);
  AddReal(p, y2);
  // A line whose ends are written the same has no length in the file (a piece of a block drawn
  // at a very small scale): CAD readers refuse it, so it is left out.
  const std::string_view v = p.View();
  if (v.substr(4, start - 4) == v.substr(start + 4)) return;
  p.Append("0.0;");
  BeginEntity();
  Parameters(p.View());
  static const DirectoryTemplate directory("110", "", "", "");
  EndEntity(directory);
}

void IgesArc(long double xc, long double yc, long double x1, long double y1, long double x2,
             long double y2) {
  BeginEntity();
  ParamText& p = ParameterBuffer("100,0.0,");
  AddReal(p, xc);
  AddReal(p, yc);
  AddReal(p, x1);
  AddReal(p, y1);
  AddReal(p, x2);
  AddReal(p, y2, ';');
  Parameters(p.View());
  static const DirectoryTemplate directory("100", "0", "", "");
  EndEntity(directory);
}

void IgesCircle(long double x, long double y, long double r) {
  IgesArc(x, y, x + r, y, x + r, y);
}

void IgesSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
               long double y3, long double x4, long double y4) {
  BeginEntity();
  // The corners in DXF SOLID order (1, 2, 4, 3 run round the quadrilateral) as a closed path,
  // each point its own group.
  const long double path[] = {x1, y1, x2, y2, x4, y4, x3, y3, x1, y1};
  ParamText& p = ParameterBuffer("106,1,5,0.0,");
  for (int i = 0; i < 10; i += 2) {
    AddReal(p, path[i]);
    AddReal(p, path[i + 1], i == 8 ? ';' : ',');
    Parameters(p.View());
    p.Clear();
  }
  static const DirectoryTemplate directory("106", "0", "11", "");
  EndEntity(directory);
}

void IgesPath(const std::vector<long double>& xy) {
  BeginEntity();
  std::string group = "106,1," + IntText(static_cast<long long>(xy.size() / 2)) + ",0.0,";
  for (size_t i = 0; i + 1 < xy.size(); i += 2) {
    AddReal(group, xy[i]);
    AddReal(group, xy[i + 1], i + 2 < xy.size() ? ',' : ';');
    Parameters(group);
    group.clear();
  }
  static const DirectoryTemplate directory("106", "0", "11", "");
  EndEntity(directory);
}

void IgesText(const std::string& s, long double x, long double y) {
  const std::string text = CadFileText(s);
  const long double n = static_cast<long double>(text.size());
  const long double h = CadState.CadTextHeight;
  BeginEntity();
  ParamText& p = ParameterBuffer("212,1,");
  AddInt(p, static_cast<long long>(text.size()));
  AddReal(p, n * h * CadState.CadTextWidth);
  AddReal(p, h);
  p.Append("1,,");
  AddReal6(p, DegToRad(CadState.CadTextRotation));
  p.Append("0,0,");
  AddReal(p, x);
  AddReal(p, y);
  p.Append("0.0,");
  Parameters(p.View());
  p.Clear();
  AddInt(p, static_cast<long long>(text.size()), 'H');
  p.Append(text);
  p.Append(";");
  Parameters(p.View());
  static const DirectoryTemplate directory("212", "0", "", "");
  EndEntity(directory);
}

void IgesInsert(const std::string& name, long double x, long double y, long double angle,
                long double scale) {
  const int k = IgesFindBlock(name);
  if (k < 0) return;
  IgesInstance(Iges.Blocks[static_cast<size_t>(k)].Directory, x, y, angle, scale);
}

void IgesInstance(int d, long double x, long double y, long double angle, long double scale) {
  if (!std::isfinite(scale) || scale == 0) scale = 1;
  if (angle == 0) {
    BeginEntity();
    ParamText& p = ParameterBuffer("408,");
    AddInt(p, d);
    AddReal(p, x);
    AddReal(p, y);
    p.Append("0.0,");
    AddReal6(p, scale, ';');
    Parameters(p.View());
    static const DirectoryTemplate directory("408", "", "", "");
    EndEntity(directory);
    return;
  }
  // A rotated instance: a transformation matrix (not a member of the open subfigure), then the
  // instance that points at it.
  const CosSin rotation = CosSinOfDegrees(angle);
  const long double c = rotation.c, s = rotation.s;
  BeginEntity(false);
  ParamText& p = ParameterBuffer("124,");
  AddReal6(p, c);
  AddReal6(p, -s);
  p.Append("0.0,");
  AddReal(p, x);
  Parameters(p.View());
  p.Clear();
  AddReal6(p, s);
  AddReal6(p, c);
  p.Append("0.0,");
  AddReal(p, y);
  Parameters(p.View());
  Parameters("0.0,0.0,1.0,0.0;");
  static const DirectoryTemplate matrixDirectory("124", "", "0", "");
  matrixDirectory.Write(true);  // the matrix is a dependent entity
  Iges.IgesParameterPointer += Iges.IgesParameterLines;
  const int matrix = Iges.IgesEntityNumber;

  BeginEntity();
  p.Start("408,");
  AddInt(p, d);
  p.Append("0.0,0.0,0.0,");
  AddReal6(p, scale, ';');
  Parameters(p.View());
  EndEntity(DirectoryTemplate("408", IntText(matrix), "", ""));
}

namespace {
// A matrix entry in 6 decimals as short as it is exact: trailing zeros and the zero before the
// point left out ("1.", ".5", "-.001257", "0."), followed by the delimiter. A rotation's four
// entries and its fixed ones then fill one record. (Entries of a rotation lie within -1..1; others
// take the general road.)
void AddShortReal6(ParamText& t, long double x, char delimiter = ',') {
  if (!std::isfinite(x)) x = 0;
  char* p = t.Room(ScaledFixedMaxChars + 1);
  // (In double: 6 decimals of a number within -1..1 need far less than its precision, and a long
  // double made whole switches the processor's rounding mode.)
  const double scaled = std::fabs(static_cast<double>(x)) * 1e6;
  if (scaled <= 1e6) {
    const auto n = static_cast<long long>(scaled + 0.5);  // (a tie goes away from zero)
    if (n == 0) {
      *p++ = '0', *p++ = '.';  // no sign on zero
    } else {
      if (x < 0) *p++ = '-';
      if (n == 1000000) {
        *p++ = '1', *p++ = '.';
      } else {
        *p++ = '.';
        // The six digits in three pairs, all written; the trailing zeros then left behind.
        static constexpr char pairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        const auto v = static_cast<unsigned>(n);
        const unsigned p0 = v / 10000, p1 = v / 100 % 100, p2 = v % 100;
        std::memcpy(p, pairs + 2 * p0, 2);
        std::memcpy(p + 2, pairs + 2 * p1, 2);
        std::memcpy(p + 4, pairs + 2 * p2, 2);
        const unsigned last = p2 != 0 ? p2 : p1 != 0 ? p1 : p0;
        p += (p2 != 0 ? 6 : p1 != 0 ? 4 : 2) - (last % 10 == 0 ? 1 : 0);
      }
    }
    *p++ = delimiter;
    t.Used(p);
    return;
  }
  std::string text;
  AppendFloatStrFixedDot(text, 0, 6, x);
  std::string_view v(text);
  const bool negative = v.front() == '-';
  if (negative) v.remove_prefix(1);
  if (v.find('.') != std::string_view::npos)
    while (v.back() == '0') v.remove_suffix(1);
  if (negative) *p++ = '-';
  std::memcpy(p, v.data(), v.size());
  p += v.size();
  *p++ = delimiter;
  t.Used(p);
}
}  // namespace

namespace {
// Two keys compared eight bytes at a time (no call of the library's compare).
bool SameKey(const IgesWriterState::MatrixKey& a, const IgesWriterState::MatrixKey& b) {
  std::uint64_t x[4], y[4];
  static_assert(sizeof x == sizeof a);
  std::memcpy(x, a.data(), sizeof x);
  std::memcpy(y, b.data(), sizeof y);
  return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2]) | (x[3] ^ y[3])) == 0;
}

// The slot of key in the open table of matrices (which has room), or the free slot where it goes.
size_t FindMatrixSlot(const IgesWriterState::MatrixKey& key) {
  const std::vector<std::uint32_t>& slots = Iges.MatrixSlots;
  const std::vector<IgesWriterState::Matrix>& made = Iges.MatrixOrder;
  const size_t mask = slots.size() - 1;
  for (size_t i = IgesWriterState::MatrixKeyHash{}(key) & mask;; i = (i + 1) & mask)
    if (slots[i] == 0 || SameKey(made[slots[i] - 1].key, key)) return i;
}

// The table of matrices made ready for count matrices, at most half full: made larger (a power
// of two, 64 at least) where it is not, the matrices made so far set in again.
void MatrixRoom(size_t count) {
  std::vector<std::uint32_t>& slots = Iges.MatrixSlots;
  if (2 * count <= slots.size()) return;
  size_t size = std::max<size_t>(64, 2 * slots.size());
  while (size < 2 * count) size *= 2;
  slots.assign(size, 0);
  const std::vector<IgesWriterState::Matrix>& made = Iges.MatrixOrder;
  for (size_t i = 0; i < made.size(); ++i)
    slots[FindMatrixSlot(made[i].key)] = static_cast<std::uint32_t>(i + 1);
}

// The slot of key in the open table of matrices: where its index stands, or the free slot where it
// goes. The table is first made larger where one more matrix would fill it more than half.
size_t MatrixSlot(const IgesWriterState::MatrixKey& key) {
  MatrixRoom(Iges.MatrixOrder.size() + 1);
  return FindMatrixSlot(key);
}

// The list and the table of matrices made ready for n matrices at once where they have room for
// fewer (each insert of a block expanded may make one; the wheels turned alike share theirs), not
// grown by doubling as they come (each doubling copied them into fresh memory).
void ExpectMatrices(size_t n) {
  Iges.MatrixOrder.reserve(n);
  MatrixRoom(n);
}
}  // namespace

void IgesSharedInstance(int d, long double x, long double y, long double angle) {
  if (angle == 0) {
    IgesInstance(d, x, y, 0, 1);
    return;
  }
  // The matrix is known by the bits of its rotation and place (the same numbers give the same
  // text). The place is the matrix's, not the instance's: readers differ on whether an instance's
  // own translation is turned by its matrix.
  IgesWriterState::MatrixKey key;  // (its bytes after the three numbers zeroed below)
  constexpr size_t Bytes =
      std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);
  static_assert(3 * Bytes <= sizeof key);
  std::memcpy(key.data(), &angle, Bytes);
  std::memcpy(key.data() + Bytes, &x, Bytes);
  std::memcpy(key.data() + 2 * Bytes, &y, Bytes);
  std::fill(key.begin() + 3 * Bytes, key.end(), 0);
  // The wheels turned alike ask for the matrices in the order they were made: the one after the
  // last found is tried first.
  std::vector<IgesWriterState::Matrix>& made = Iges.MatrixOrder;
  int matrix = 0;
  size_t slot = 0;
  if (Iges.NextMatrix < made.size() && SameKey(made[Iges.NextMatrix].key, key)) {
    matrix = made[Iges.NextMatrix++].entity;
  } else if (const std::uint32_t known = Iges.MatrixSlots[slot = MatrixSlot(key)]; known != 0) {
    matrix = made[known - 1].entity;
    Iges.NextMatrix = known;
  } else {
    // Known from now on by its index in MatrixOrder (pushed below).
    Iges.MatrixSlots[slot] = static_cast<std::uint32_t>(made.size() + 1);
    // cos and sin in a few steps where they stand for the library's (each angle comes once).
    const long double a = DegToRad(angle);
    long double c, s;
    if (!QuickSinCos(a, s, c)) {
      const CosSin rotation = CosSinOfDegrees(angle);
      c = rotation.c, s = rotation.s;
    }
    BeginEntity(false);
    // One text, in as few records as it fills: one for a rotation about the origin (as every
    // tooth of a wheel), the fixed entries short.
    ParamText& p = ParameterBuffer("124,");
    AddShortReal6(p, c);
    AddShortReal6(p, -s);
    p.Append("0.,");
    if (x == 0) p.Append("0.,"); else AddReal(p, x);
    AddShortReal6(p, s);
    AddShortReal6(p, c);
    p.Append("0.,");
    if (y == 0) p.Append("0.,"); else AddReal(p, y);
    p.Append("0.,0.,1.,0.;");
    Parameters(p.View());
    static const DirectoryTemplate matrixDirectory("124", "", "0", "");
    matrixDirectory.Write(true);  // the matrix is a dependent entity
    Iges.IgesParameterPointer += Iges.IgesParameterLines;
    matrix = Iges.IgesEntityNumber;
    made.push_back({key, matrix});
    Iges.NextMatrix = made.size();
  }
  BeginEntity();
  ParamText& p = ParameterBuffer("408,");
  AddInt(p, d);
  p.Append("0.0,0.0,0.0,1.000000;");
  Parameters(p.View());
  // The records of a plain instance with the matrix's number set in.
  static const DirectoryTemplate directory("408", "", "", "");
  EndEntity(directory);
  std::string& file = Out();
  PutField(file.data() + file.size() - 2 * RecordBytes, 6, matrix);
}

// ---- Subfigures ---------------------------------------------------------------------------------

void IgesBeginBlock(const std::string& name) {
  ++Iges.IgesBlockCount;
  Iges.IgesInSubfigure = true;
  Iges.IgesMemberCount = 0;
  Iges.Members.clear();
  Iges.Blocks.push_back({CadFileValue(name), 0});
}

void IgesAddToBlock() {
  if (!Iges.IgesInSubfigure) return;
  ++Iges.IgesMemberCount;
  Iges.Members.push_back(Iges.IgesEntityNumber);
}

void IgesEndBlock() {
  if (Iges.Blocks.empty()) return;
  IgesWriterState::Subfigure& block = Iges.Blocks.back();
  block.Directory = IgesWriteSubfigure(block.Name);
}

int IgesWriteSubfigure(const std::string& name, bool packed) {
  Iges.IgesInSubfigure = false;
  const int directory = Iges.D + 1;
  BeginEntity(false);
  ParamText& p = ParameterBuffer("308,0,");
  AddInt(p, static_cast<long long>(name.size()), 'H');
  p.Append(name);
  p.Append(",");
  AddInt(p, Iges.IgesMemberCount);
  // Members in groups of twelve (or filling each record where packed); the last delimiter of the
  // text ends the entity. Packed behind a head that fits a record, each record is written once
  // the next member no longer fits it, as the splitting of the whole text would cut it (without
  // scanning a wheel's thousands of members again).
  const bool direct = packed && p.View().size() <= ParameterData;
  int inGroup = 0;
  for (size_t i = 0; i < Iges.Members.size(); ++i) {
    if (inGroup == 12 && !packed) {
      Parameters(p.View());
      p.Clear();
      inGroup = 0;
    }
    const size_t before = p.View().size();
    AddInt(p, Iges.Members[i]);
    ++inGroup;
    if (direct && p.View().size() > ParameterData) {
      char field[24];
      const std::string_view added = p.View().substr(before);
      std::memcpy(field, added.data(), added.size());
      p.Used(p.View().data() + before);
      Parameters(p.View());
      p.Clear();
      p.Append(std::string_view(field, added.size()));
    }
  }
  p.Back() = ';';
  Parameters(p.View());
  EndEntity(DirectoryTemplate("308", "", "", name));
  Iges.IgesMemberCount = 0;
  Iges.Members.clear();
  return directory;
}

namespace {
// Whether name in lower case (ASCII letters, as LowerStr) is lower, without making the copy.
bool LowerEquals(const std::string& name, const std::string& lower) {
  if (name.size() != lower.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) return false;
  }
  return true;
}
}  // namespace

namespace {
// A block name as its file value in lower case. The teeth insert the same block again and again, so
// the last name's value is kept (it depends on the name alone); the reference holds until the next
// call.
const std::string& LowerBlockName(const std::string& name) {
  static std::string lastName, lastValue = LowerStr(CadFileValue(lastName));
  if (name != lastName) {
    lastValue = LowerStr(CadFileValue(name));
    lastName = name;
  }
  return lastValue;
}
}  // namespace

int IgesFindBlock(const std::string& name) {
  const std::string& wanted = LowerBlockName(name);
  for (size_t i = 0; i < Iges.Blocks.size(); ++i)
    if (LowerEquals(Iges.Blocks[i].Name, wanted) && Iges.Blocks[i].Directory > 0)
      return static_cast<int>(i);
  AddError("Blockname " + name + " not found !");
  return -1;
}

// ---- Attributes ---------------------------------------------------------------------------------

void IgesSetColor(int c) {
  static const int table[16] = {0, 2, 5, 3, 7, 4, 6, 0, 8, 10, 11, 12, 13, 14, 15, 1};
  Iges.IgesColor = (c >= 0 && c <= 15) ? table[c] : 0;
}

void IgesSetLineFont(int n) { Iges.IgesLineFont = n; }

void IgesSetLayer(int pen) {
  if (pen >= 0 && pen <= 5) {
    IgesSetColor(pen == 0 ? 7 : Settings.CadLayerColors[static_cast<size_t>(pen)]);
    IgesSetLineFont(pen == 1 ? 4 : pen == 2 ? 2 : 1);
  } else if (pen >= 16 && pen <= 31) {
    IgesSetColor(Settings.ColorLayerColors[static_cast<size_t>(pen - 16)]);
    IgesSetLineFont(1);
  } else {
    IgesSetColor((pen % 16 + 16) % 16 + 1);
    IgesSetLineFont(1);
  }
}

// ---- Back end -----------------------------------------------------------------------------------

int IgesBackEnd::Find(const std::string& name) {
  const std::string& wanted = LowerBlockName(name);
  for (size_t i = 0; i < Iges.Blocks.size(); ++i)
    if (LowerEquals(Iges.Blocks[i].Name, wanted) &&
        (Iges.Blocks[i].Directory > 0 || (i < blocks_.size() && blocks_[i].held)))
      return static_cast<int>(i);
  AddError("Blockname " + name + " not found !");
  return -1;
}

void IgesBackEnd::Open() {
  CloseStaging();
  pending_ = true;
  scaled_.clear();
  blocks_.clear();
  recording_ = false;
  file_.Open(CadState.CadFileName);
  IgesOut = &file_.Text();
  IgesResetCounters();
  IgesOpenParameterFile();
  // The directory and the parameter text grow to SpillBytes and a little more before they go out:
  // their room is made once (doubling it copied them into fresh memory again and again).
  file_.Text().reserve(2 * SpillBytes);
  Iges.Parameters.reserve(2 * SpillBytes);
}

void IgesBackEnd::Abandon() {
  CloseStaging();
  file_.Discard();
  IgesOut = nullptr;
  IgesResetCounters();
}

void IgesBackEnd::BeginDrawing(long double xmin, long double ymin, long double xmax,
                               long double ymax) {
  IgesOut = &file_.Text();
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  IgesStartAndGlobal(RemoveFileExt(FileNamePart(CadState.CadFileName)), std::max(xmax, ymax),
                     IgesDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                              t.tm_sec));
}

bool IgesBackEnd::BeginBlock(const std::string& name) {
  // Held: the name is known (for the lookups of inserts), the calls are recorded only.
  ++Iges.IgesBlockCount;
  Iges.Blocks.push_back({CadFileValue(name), 0});
  Recorded& block = blocks_.emplace_back();
  block.key = LowerBlockName(name);
  block.calls.reserve(256);  // most blocks: room for all their calls at once
  block.values.Add(0);
  block.colour = Iges.IgesColor;
  block.font = Iges.IgesLineFont;
  block.held = true;
  recording_ = true;
  return true;
}

void IgesBackEnd::EndBlock() {
  if (!blocks_.empty() && !blocks_.back().held) IgesEndBlock();
  recording_ = false;
}

bool IgesBackEnd::Held() const { return recording_ && !blocks_.empty() && blocks_.back().held; }

void IgesBackEnd::Drawn() {
  if (!recording_) pending_ = false;
}

int IgesBackEnd::BlockDirectory(const std::string& name) {
  const int k = Find(name);
  return k < 0 ? 0 : BlockDirectory(static_cast<size_t>(k));
}

int IgesBackEnd::BlockDirectory(size_t k) {
  if (k >= blocks_.size() || k >= Iges.Blocks.size()) return 0;
  Recorded& block = blocks_[k];
  if (!block.held) return Iges.Blocks[k].Directory;
  block.held = false;
  // The subfigure open (a block being written) waits while this one is written.
  const bool open = Iges.IgesInSubfigure;
  const int count = Iges.IgesMemberCount;
  const int colour = Iges.IgesColor, font = Iges.IgesLineFont;
  std::vector<int> members;
  members.swap(Iges.Members);
  Iges.IgesInSubfigure = true;
  Iges.IgesMemberCount = 0;
  Iges.IgesColor = block.colour;
  Iges.IgesLineFont = block.font;
  // The calls as they came (the same records as when written at once).
  for (const Call& c : block.calls) {
    const long double* v = block.values.At(c.value);
    switch (c.kind) {
      case Call::Layer: IgesSetLayer(c.pen); break;
      case Call::Line: IgesLine(v[0], v[1], v[2], v[3]); break;
      case Call::Circle: IgesCircle(v[0], v[1], v[2]); break;
      case Call::Arc: {
        const CosSin a = CosSinOfDegrees(v[3]), b = CosSinOfDegrees(v[4]);
        IgesArc(v[0], v[1], v[0] + v[2] * a.c, v[1] + v[2] * a.s, v[0] + v[2] * b.c,
                v[1] + v[2] * b.s);
        break;
      }
      case Call::Text: {
        const long double h = CadState.CadTextHeight, w = CadState.CadTextWidth,
                          rot = CadState.CadTextRotation;
        CadState.CadTextHeight = v[2], CadState.CadTextWidth = v[3];
        CadState.CadTextRotation = v[4];
        IgesText(block.texts[c.text], v[0], v[1]);
        CadState.CadTextHeight = h, CadState.CadTextWidth = w, CadState.CadTextRotation = rot;
        break;
      }
      case Call::Solid: IgesSolid(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]); break;
      case Call::Insert: Instance(block.texts[c.text], v[0], v[1], v[2], v[3], v[4]); break;
    }
    Drain();
  }
  Iges.Blocks[k].Directory = IgesWriteSubfigure(Iges.Blocks[k].Name);
  Iges.IgesInSubfigure = open;
  Iges.IgesMemberCount = count;
  Iges.Members.swap(members);
  Iges.IgesColor = colour;
  Iges.IgesLineFont = font;
  return Iges.Blocks[k].Directory;
}

void IgesBackEnd::Instance(const std::string& name, long double x, long double y,
                           long double angle, long double scaleX, long double scaleY) {
  const int d = scaleX == 1 && scaleY == 1 ? BlockDirectory(name)
                                           : ScaledDefinition(name, scaleX, scaleY, 0);
  if (d > 0) IgesSharedInstance(d, x, y, angle);
}

long double* IgesBackEnd::NewCall(Call::Kind kind, size_t values, const std::string* text,
                                  int pen) {
  if (blocks_.empty()) return nullptr;
  Recorded& block = blocks_.back();
  Call& c = block.calls.emplace_back(kind);
  c.pen = pen;
  if (kind == Call::Insert) ++block.inserts;
  if (text) {
    // The teeth of a wheel insert one name again and again: it is kept once.
    if (block.texts.empty() || block.texts.back() != *text) block.texts.push_back(*text);
    c.text = static_cast<std::uint32_t>(block.texts.size() - 1);
  }
  long double* room = block.values.Add(values);
  c.value = static_cast<std::uint32_t>(block.values.used - values);
  return room;
}

long double* IgesBackEnd::Recorded::Numbers::Add(size_t n) {
  if (used % Piece + n > Piece) used += Piece - used % Piece;
  if (used / Piece >= pieces.size())
    pieces.push_back(std::make_unique_for_overwrite<long double[]>(Piece));
  long double* at = pieces[used / Piece].get() + used % Piece;
  used += n;
  return at;
}

void IgesBackEnd::Insert(const std::string& name, long double x, long double y, long double angle,
                         long double scaleX, long double scaleY) {
  if (long double* v = Record(Call::Insert, 5, &name)) {
    v[0] = x, v[1] = y, v[2] = angle, v[3] = scaleX, v[4] = scaleY;
  }
  if (Held()) return;
  Drawn();
  Instance(name, x, y, angle, scaleX, scaleY);
  Drain();
}

int IgesBackEnd::ScaledDefinition(const std::string& name, long double scaleX, long double scaleY,
                                  int depth) {
  if (Find(name) < 0 || depth > 16) return 0;
  const std::string& key = LowerBlockName(name);
  // Members drawn before the block sets a pen take the pen of the insert: it is part of the key.
  for (const Scaled& s : scaled_)
    if (s.scaleX == scaleX && s.scaleY == scaleY && s.colour == Iges.IgesColor &&
        s.font == Iges.IgesLineFont && s.key == key)
      return s.directory;
  Scaled made{key, scaleX, scaleY, Iges.IgesColor, Iges.IgesLineFont, 0};
  // The open subfigure (a block being defined) waits while this one is written.
  const bool open = Iges.IgesInSubfigure;
  const int count = Iges.IgesMemberCount;
  std::vector<int> members;
  members.swap(Iges.Members);
  Iges.IgesInSubfigure = true;
  Iges.IgesMemberCount = 0;
  Expand(name, {scaleX, 0, 0, scaleY, 0, 0}, depth);
  const int k = Find(name);
  made.directory =
      IgesWriteSubfigure(Iges.Blocks[static_cast<size_t>(k)].Name + "_" +
                             std::to_string(scaled_.size() + 1),
                         true);
  Iges.IgesInSubfigure = open;
  Iges.IgesMemberCount = count;
  Iges.Members.swap(members);
  scaled_.push_back(std::move(made));
  return scaled_.back().directory;
}

void IgesBackEnd::Drain() {
  if (file_.Text().size() >= SpillBytes) file_.Spill();
  if (Iges.Parameters.size() >= SpillBytes) StageParameters();
}

void IgesBackEnd::StageParameters() {
  if (staged_ < 0) {
    // A file without a name beside the output (one file system: the system can append it to the
    // output without a copy up here), else in the temporary folder; nothing of it outlives the run.
    const std::string folder = ExtractFolder(CadState.CadFileName);
    staged_ = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (staged_ < 0) {
      if (std::FILE* f = std::tmpfile()) {
        staged_ = ::dup(::fileno(f));
        std::fclose(f);
      }
    }
  }
  // Without a staging file the section stays in memory.
  if (staged_ < 0) return;
  const char* p = Iges.Parameters.data();
  size_t left = Iges.Parameters.size();
  while (left > 0 && !stageFailed_) {
    const ssize_t n = ::write(staged_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      stageFailed_ = true;
      stageError_ = n < 0 ? errno : EIO;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  Iges.Parameters.clear();
}

void IgesBackEnd::CloseStaging() {
  if (staged_ >= 0) ::close(staged_);
  staged_ = -1;
  stageFailed_ = false;
  stageError_ = 0;
}

void IgesBackEnd::Expand(const std::string& name, const Affine& m, int depth) {
  if (Find(name) < 0 || depth > 16) return;
  const std::string& key = LowerBlockName(name);
  const Recorded* block = nullptr;
  for (const Recorded& b : blocks_)
    if (b.key == key) block = &b;
  if (!block) return;
  auto map = [&m](long double x, long double y, long double& xr, long double& yr) {
    xr = m.a * x + m.b * y + m.e;
    yr = m.c * x + m.d * y + m.f;
  };
  // A map without shear and with equal scales keeps circles circles.
  const long double sx = std::hypot(m.a, m.c), sy = std::hypot(m.b, m.d);
  const long double det = m.a * m.d - m.b * m.c;
  const bool similar = std::fabs(m.a * m.b + m.c * m.d) <= 1e-12L * sx * sy &&
                       std::fabs(sx - sy) <= 1e-12L * std::max(sx, sy);
  // The layer of the entities after the insert is the one before it.
  const int colour = Iges.IgesColor, font = Iges.IgesLineFont;
  struct {
    std::uint32_t text;
    long double sx, sy;
    int colour, font, d;
  } last{0, 0, 0, 0, 0, 0};
  ExpectMatrices(block->inserts);
  for (const Call& c : block->calls) {
    const long double* v = block->values.At(c.value);
    switch (c.kind) {
      case Call::Layer: IgesSetLayer(c.pen); break;
      case Call::Line: {
        long double p[4];
        map(v[0], v[1], p[0], p[1]);
        map(v[2], v[3], p[2], p[3]);
        IgesLine(p[0], p[1], p[2], p[3]);
        break;
      }
      case Call::Circle:
      case Call::Arc: {
        const long double r = v[2];
        long double s = 0, e = 360;
        if (c.kind == Call::Arc) s = v[3], e = v[4];
        long double xc, yc;
        map(v[0], v[1], xc, yc);
        if (similar) {
          if (c.kind == Call::Circle) {
            IgesCircle(xc, yc, r * sx);
            break;
          }
          long double p[4];
          const CosSin from = CosSinOfDegrees(s), to = CosSinOfDegrees(e);
          map(v[0] + r * from.c, v[1] + r * from.s, p[0], p[1]);
          map(v[0] + r * to.c, v[1] + r * to.s, p[2], p[3]);
          // A mirroring map runs the arc the other way round.
          if (det < 0)
            IgesArc(xc, yc, p[2], p[3], p[0], p[1]);
          else
            IgesArc(xc, yc, p[0], p[1], p[2], p[3]);
          break;
        }
        // Unequal scales make an ellipse: a path through points of it, 5 degrees apart at most,
        // over the sweep every back end takes. An angle that is no number draws nothing.
        const long double sweep = ArcSweep(s, e);
        if (sweep == 0) break;
        s = std::fmod(s, 360.0L);
        e = s + sweep;
        const int n = std::max(2, static_cast<int>(std::ceil((e - s) / 5)));
        std::vector<long double> xy;
        for (int i = 0; i <= n; ++i) {
          const long double t = DegToRad(s + (e - s) * i / n);
          long double px, py;
          map(v[0] + r * std::cos(t), v[1] + r * std::sin(t), px, py);
          xy.push_back(px);
          xy.push_back(py);
        }
        IgesPath(xy);
        break;
      }
      case Call::Text: {
        // The text's own axes through the map: its direction, width and height.
        const long double t = DegToRad(v[4]), ux = std::cos(t), uy = std::sin(t);
        const long double dx = m.a * ux + m.b * uy, dy = m.c * ux + m.d * uy;
        const long double hx = -m.a * uy + m.b * ux, hy = -m.c * uy + m.d * ux;
        const long double along = std::hypot(dx, dy), across = std::hypot(hx, hy);
        const long double h = CadState.CadTextHeight, w = CadState.CadTextWidth,
                          rot = CadState.CadTextRotation;
        CadState.CadTextHeight = v[2] * across;
        CadState.CadTextWidth = across > 0 ? v[3] * along / across : v[3];
        CadState.CadTextRotation = RadToDeg(std::atan2(dy, dx));
        long double x, y;
        map(v[0], v[1], x, y);
        IgesText(block->texts[c.text], x, y);
        CadState.CadTextHeight = h, CadState.CadTextWidth = w, CadState.CadTextRotation = rot;
        break;
      }
      case Call::Solid: {
        long double p[8];
        for (int i = 0; i < 4; ++i) map(v[2 * i], v[2 * i + 1], p[2 * i], p[2 * i + 1]);
        IgesSolid(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
        break;
      }
      case Call::Insert: {
        // Within a map that only scales, an insert that turns no axis into another stays an
        // instance: of the block itself at scale 1, else of the block scaled once.
        if (m.b == 0 && m.c == 0 && (m.a == m.d || v[2] == 0)) {
          const long double sx = m.a * v[3], sy = m.d * v[4];
          long double x, y;
          map(v[0], v[1], x, y);
          // The teeth of a wheel insert one block again and again: its subfigure is looked up
          // once for the run.
          int d = last.d;
          if (c.text != last.text || sx != last.sx || sy != last.sy ||
              Iges.IgesColor != last.colour || Iges.IgesLineFont != last.font || d <= 0) {
            d = sx == 1 && sy == 1 ? BlockDirectory(block->texts[c.text])
                                   : ScaledDefinition(block->texts[c.text], sx, sy, depth + 1);
            last = {c.text, sx, sy, Iges.IgesColor, Iges.IgesLineFont, d};
          }
          if (d > 0) IgesSharedInstance(d, x, y, v[2]);
          break;
        }
        // The inner insert's map after this one's.
        const CosSin rotation = CosSinOfDegrees(v[2]);
        const long double cs = rotation.c, sn = rotation.s;
        const Affine n{cs * v[3], -sn * v[4], sn * v[3], cs * v[4], v[0], v[1]};
        Affine k;
        k.a = m.a * n.a + m.b * n.c;
        k.b = m.a * n.b + m.b * n.d;
        k.c = m.c * n.a + m.d * n.c;
        k.d = m.c * n.b + m.d * n.d;
        map(n.e, n.f, k.e, k.f);
        Expand(block->texts[c.text], k, depth + 1);
        break;
      }
    }
    Drain();
  }
  Iges.IgesColor = colour;
  Iges.IgesLineFont = font;
}

void IgesBackEnd::SetLayer(int pen) {
  Record(Call::Layer, 0, nullptr, pen);
  IgesSetLayer(pen);
}

void IgesBackEnd::Line(long double x1, long double y1, long double x2, long double y2) {
  if (long double* v = Record(Call::Line, 4)) {
    v[0] = x1, v[1] = y1, v[2] = x2, v[3] = y2;
  }
  if (Held()) return;
  Drawn();
  IgesLine(x1, y1, x2, y2);
  Drain();
}

void IgesBackEnd::Circle(long double x, long double y, long double r) {
  if (long double* v = Record(Call::Circle, 3)) {
    v[0] = x, v[1] = y, v[2] = r;
  }
  if (Held()) return;
  Drawn();
  IgesCircle(x, y, r);
  Drain();
}

void IgesBackEnd::Arc(long double x, long double y, long double startAngle, long double endAngle,
                      long double r) {
  if (long double* v = Record(Call::Arc, 5)) {
    v[0] = x, v[1] = y, v[2] = r, v[3] = startAngle, v[4] = endAngle;
  }
  if (Held()) return;
  Drawn();
  const CosSin a = CosSinOfDegrees(startAngle), b = CosSinOfDegrees(endAngle);
  IgesArc(x, y, x + r * a.c, y + r * a.s, x + r * b.c, y + r * b.s);
  Drain();
}

void IgesBackEnd::Text(const std::string& s, long double x, long double y) {
  if (long double* v = Record(Call::Text, 5, &s)) {
    v[0] = x, v[1] = y;
    v[2] = CadState.CadTextHeight, v[3] = CadState.CadTextWidth, v[4] = CadState.CadTextRotation;
  }
  if (Held()) return;
  Drawn();
  IgesText(s, x, y);
  Drain();
}

void IgesBackEnd::Solid(long double x1, long double y1, long double x2, long double y2,
                        long double x3, long double y3, long double x4, long double y4) {
  if (long double* v = Record(Call::Solid, 8)) {
    const long double p[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    std::copy(p, p + 8, v);
  }
  if (Held()) return;
  Drawn();
  IgesSolid(x1, y1, x2, y2, x3, y3, x4, y4);
  Drain();
}

void IgesBackEnd::Close() {
  // A drawing of blocks alone has them all, as they were defined, each with the pen it began with.
  recording_ = false;
  if (pending_) {
    pending_ = false;
    for (size_t k = 0; k < blocks_.size(); ++k) BlockDirectory(k);
  }
  // A staged parameter section follows the directory.
  if (staged_ >= 0) {
    if (stageFailed_)
      file_.Fail(stageError_);
    else
      file_.SpillFrom(staged_);
    CloseStaging();
  }
  // The parameter section and the terminate record follow the directory as the file's tail, so
  // the largest section is not copied once more.
  std::string& tail = file_.Tail();
  tail.clear();
  tail.swap(Iges.Parameters);
  IgesOut = &tail;
  IgesEndFile();
  IgesOut = nullptr;
  if (!file_.Commit()) ReportCadWriteError(file_);
}

}  // namespace qern
