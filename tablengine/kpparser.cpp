// dBase expression compiler and evaluator: lexer, precedence parser with type rules emitting postfix
// code, and the stack machine that runs the code against the current records of the work areas.
#include "tablengine/kpparser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "tablengine/kpapi.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

namespace {

// ---- Tokens ------------------------------------------------------------------------------------
enum Token : int {
  kEnd = -1,
  kAbs = 257, kAsc = 259, kAt = 261, kCdow = 264, kChr = 266, kCmonth = 267, kCtod = 269, kDate = 270,
  kDay = 271, kDeleted = 272, kDow = 274, kDtoc = 275, kDtos = 277, kIif = 283, kInt = 284, kLeft = 288,
  kLen = 289, kLower = 292, kLtrim = 293, kMax = 294, kMin = 295, kMod = 296, kMonth = 297, kRecno = 300,
  kReplicate = 301, kRight = 302, kRound = 303, kRtrim = 305, kSoundex = 308, kSpace = 310, kStr = 311,
  kStuff = 312, kSubstr = 313, kTrim = 316, kUpper = 318, kVal = 319, kYear = 320,
  kFieldC = 321, kFieldN = 322, kFieldL = 323, kFieldD = 324, kFieldM = 325,  // + 5 with an alias
  kString = 331, kNumber = 332, kUnknownName = 336, kFalse = 337, kTrue = 338, kNot = 339, kOr = 340,
  kAnd = 341, kNotEqual = 342, kLessEqual = 343, kGreaterEqual = 344, kExactEqual = 345, kContains = 346,
};

// Evaluator-only codes.
enum PushCode : int { kPushNumber = 1000, kPushText, kPushLogical, kPushDate, kPushField, kNegate };
// Skips the next Field instructions when the logical on top of the stack is false (true), leaving
// it there: the right operand of .AND. (.OR.) when the left one already decides.
enum SkipCode : int { kSkipIfFalse = 1100, kSkipIfTrue };
// A C field compared with a text literal (=, <> or ==) in one step, on the field's bytes: Area and
// Field name the field, Text the literal, ArgCount the comparison.
constexpr int kFieldText = 1200;
// An N or F field compared with a number literal the same way (Number the literal).
constexpr int kFieldNumber = 1201;

struct Keyword {
  const char* Name;
  int Token;
  int PoolBytes;
};

// Abbreviations are rows of their own.
constexpr Keyword kKeywords[] = {
    {"ABS", kAbs, 0}, {"ASC", kAsc, 0}, {"AT", kAt, 0}, {"CDOW", kCdow, 15}, {"CHR", kChr, 2},
    {"CMON", kCmonth, 15}, {"CMONT", kCmonth, 15}, {"CMONTH", kCmonth, 15}, {"CTOD", kCtod, 0},
    {"DATE", kDate, 0}, {"DAY", kDay, 0}, {"DELE", kDeleted, 0}, {"DELET", kDeleted, 0},
    {"DELETE", kDeleted, 0}, {"DELETED", kDeleted, 0}, {"DOW", kDow, 0}, {"DTOC", kDtoc, 11},
    {"DTOS", kDtos, 9}, {"IIF", kIif, 256}, {"INT", kInt, 0}, {"LEFT", kLeft, 0}, {"LEN", kLen, 0},
    {"LOWE", kLower, 0}, {"LOWER", kLower, 0}, {"LTRI", kLtrim, 0}, {"LTRIM", kLtrim, 0}, {"MAX", kMax, 0},
    {"MIN", kMin, 0}, {"MOD", kMod, 0}, {"MONT", kMonth, 0}, {"MONTH", kMonth, 0}, {"RECN", kRecno, 0},
    {"RECNO", kRecno, 0}, {"REPL", kReplicate, 256}, {"REPLI", kReplicate, 256},
    {"REPLIC", kReplicate, 256}, {"REPLICA", kReplicate, 256}, {"REPLICAT", kReplicate, 256},
    {"REPLICATE", kReplicate, 256}, {"RIGH", kRight, 0}, {"RIGHT", kRight, 0}, {"ROUN", kRound, 0},
    {"ROUND", kRound, 0}, {"RTRI", kRtrim, 0}, {"RTRIM", kRtrim, 0}, {"SOUN", kSoundex, 15},
    {"SOUND", kSoundex, 15}, {"SOUNDE", kSoundex, 15}, {"SOUNDEX", kSoundex, 15}, {"SPAC", kSpace, 256},
    {"SPACE", kSpace, 256}, {"STR", kStr, 256}, {"STUF", kStuff, 0}, {"STUFF", kStuff, 0},
    {"SUBS", kSubstr, 0}, {"SUBST", kSubstr, 0}, {"SUBSTR", kSubstr, 0}, {"TRIM", kTrim, 0},
    {"UPPE", kUpper, 0}, {"UPPER", kUpper, 0}, {"VAL", kVal, 0}, {"YEAR", kYear, 0}, {".F.", kFalse, 0},
    {".T.", kTrue, 0}, {".NOT.", kNot, 0}, {".OR.", kOr, 0}, {".AND.", kAnd, 0},
};

// Argument types and result of each function (S = several forms, checked by hand).
struct FunctionRule {
  int Token;
  const char* Name;
  const char* Args;  // one letter per argument
  char Result;
};

constexpr FunctionRule kFunctions[] = {
    {kAbs, "ABS", "N", 'N'},         {kInt, "INT", "N", 'N'},          {kAsc, "ASC", "C", 'N'},
    {kLen, "LEN", "C", 'N'},         {kVal, "VAL", "C", 'N'},          {kAt, "AT", "CC", 'N'},
    {kMod, "MOD", "NN", 'N'},        {kRound, "ROUND", "NN", 'N'},     {kMax, "MAX", "S", 'S'},
    {kMin, "MIN", "S", 'S'},         {kDay, "DAY", "D", 'N'},          {kDow, "DOW", "D", 'N'},
    {kMonth, "MONTH", "D", 'N'},     {kYear, "YEAR", "D", 'N'},        {kCtod, "CTOD", "C", 'D'},
    {kDate, "DATE", "", 'D'},        {kRecno, "RECNO", "", 'N'},       {kDeleted, "DELETED", "", 'L'},
    {kCdow, "CDOW", "D", 'C'},       {kCmonth, "CMONTH", "D", 'C'},    {kDtoc, "DTOC", "D", 'C'},
    {kDtos, "DTOS", "D", 'C'},       {kUpper, "UPPER", "C", 'C'},      {kLower, "LOWER", "C", 'C'},
    {kTrim, "TRIM", "C", 'C'},       {kRtrim, "RTRIM", "C", 'C'},      {kLtrim, "LTRIM", "C", 'C'},
    {kSoundex, "SOUNDEX", "C", 'C'}, {kSpace, "SPACE", "N", 'C'},      {kChr, "CHR", "N", 'C'},
    {kLeft, "LEFT", "CN", 'C'},      {kRight, "RIGHT", "CN", 'C'},     {kReplicate, "REPLICATE", "CN", 'C'},
    {kSubstr, "SUBSTR", "CNN", 'C'}, {kStr, "STR", "S", 'C'},          {kStuff, "STUFF", "CNNC", 'C'},
    {kIif, "IIF", "LCC", 'C'},
};

const FunctionRule* FindFunction(int token) {
  for (const auto& f : kFunctions)
    if (f.Token == token) return &f;
  return nullptr;
}

int TypeOfLetter(char c) {
  switch (c) {
    case 'C': return ExprCharacter;
    case 'N': return ExprNumeric;
    case 'L': return ExprLogical;
    case 'D': return ExprDate;
    case 'M': return ExprMemo;
  }
  return 0;
}

char LetterOfType(int t) {
  switch (t) {
    case ExprCharacter: return 'C';
    case ExprNumeric: return 'N';
    case ExprLogical: return 'L';
    case ExprDate: return 'D';
    case ExprMemo: return 'M';
  }
  return '?';
}

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(unsigned char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

// Thrown inside the compiler only; AssignExpr turns it into error 351.
struct CompileError {
  std::string Message;
};

// Numbers to whole numbers without undefined conversions (NaN gives 0, far values are clamped).
long long ToWhole(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9.0e18) return 9000000000000000000LL;
  if (x <= -9.0e18) return -9000000000000000000LL;
  return static_cast<long long>(x);
}

int ToCount(double x) {
  const long long n = ToWhole(x);
  return n < -1000000 ? -1000000 : n > 1000000 ? 1000000 : static_cast<int>(n);
}

// ---- Engine access -----------------------------------------------------------------------------
struct ExprFieldInfo {
  int Number = 0;
  char Type = ' ';
  int Length = 0;
  int Decimals = 0;
};

WorkArea* AreaOf(int area) {
  if (area < 1 || area > MaxWorkAreas) return nullptr;
  return WorkAreaTable[area];
}

// Work area 1..32 whose alias begins like alias (at most 10 characters compared), 0 when none.
int ExprFindAlias(const std::string& alias) {
  for (int i = 1; i <= 32; ++i) {
    const WorkArea* a = WorkAreaTable[i];
    if (a == nullptr) continue;
    const std::string own = UpperString(a->Alias.substr(0, 10));
    if (own == alias.substr(0, 10)) return i;
  }
  return 0;
}

bool ExprFindField(int area, const std::string& name, ExprFieldInfo& info) {
  const WorkArea* a = AreaOf(area);
  if (a == nullptr || name.empty() || name.size() > 10) return false;
  for (std::size_t i = 0; i < a->Fields.size(); ++i) {
    const FieldDescriptor& f = a->Fields[i];
    if (UpperString(std::string(f.Name, strnlen(f.Name, sizeof f.Name))) != name) continue;
    info.Number = static_cast<int>(i) + 1;
    info.Type = f.Type;
    info.Length = f.Length;
    info.Decimals = f.Decimals;
    return true;
  }
  return false;
}

bool SameKind(char fieldType, int valueType) {
  switch (fieldType) {
    case 'C': return valueType == ExprCharacter;
    case 'N': case 'F': return valueType == ExprNumeric;
    case 'L': return valueType == ExprLogical;
    case 'D': return valueType == ExprDate;
    case 'M': return valueType == ExprMemo;
  }
  return false;
}

bool ValidDay(double jdn) { return jdn > JulianFirst && jdn < JulianLast; }

double DateValue(const std::string& text) { return static_cast<double>(DateTextToJulian(text)); }

// The field's value from the typed record of the area (0 = the current one); false when the field
// no longer has the type it was compiled with.
bool ExprReadField(int area, int field, int type, ExprValue& v) {
  WorkArea* a = AreaOf(area == 0 ? CurrentArea : area);
  if (a == nullptr || field < 1 || static_cast<std::size_t>(field) > a->Fields.size() || a->Typed.empty())
    return false;
  const FieldDescriptor& f = a->Fields[field - 1];
  if (!SameKind(f.Type, type)) return false;
  if (a->TypedPending) {
    // A filter test during navigation: only the fields the expression names are decoded.
    switch (type) {
      case ExprCharacter:
        v.Text.assign(reinterpret_cast<const char*>(a->Record.data() + f.Offset), f.Length);
        return true;
      case ExprNumeric: v.Number = RecordNumber(*a, f); return true;
      case ExprLogical: v.Logical = RecordLogical(*a, f); return true;
      case ExprDate: v.Number = static_cast<double>(RecordDateJulian(*a, f)); return true;
    }
    LoadTypedRecord(*a);
  }
  switch (type) {
    case ExprCharacter: v.Text = TypedChar(*a, f); return true;
    case ExprNumeric: v.Number = TypedNumber(*a, f); return true;
    case ExprLogical: v.Logical = TypedLogical(*a, f); return true;
    case ExprDate: v.Number = static_cast<double>(TypedDateJulian(*a, f)); return true;
    case ExprMemo:
      // A text put into the record and not yet stored is the field's text.
      for (const auto& [pending, text] : a->PendingMemos)
        if (pending == field - 1) {
          v.Text = text;
          return true;
        }
      v.Text = MemoPresent && MemoHookTable.ReadMemoOf
                   ? MemoHookTable.ReadMemoOf(area == 0 ? CurrentArea : area, TypedMemoBlock(*a, f))
                   : std::string();
      return true;
  }
  return false;
}

// The text of a C field of the area (0 = the current one) as it stands; false when the field is no
// longer a C field.
bool ExprFieldBytes(int area, int field, const char*& p, std::size_t& n) {
  const WorkArea* a = AreaOf(area == 0 ? CurrentArea : area);
  if (a == nullptr || field < 1 || static_cast<std::size_t>(field) > a->Fields.size() || a->Typed.empty())
    return false;
  const FieldDescriptor& f = a->Fields[field - 1];
  if (f.Type != 'C') return false;
  if (a->TypedPending) {
    p = reinterpret_cast<const char*>(a->Record.data() + f.Offset);
    n = f.Length;
    return true;
  }
  const uint8_t* slot = a->Typed.data() + f.TypedOffset;
  p = reinterpret_cast<const char*>(slot + 1);
  n = std::min<std::size_t>(slot[0], TypedSlotSize(f) - 1);
  return true;
}

double ExprRecNo() {
  const WorkArea* a = AreaOf(CurrentArea);
  return a == nullptr ? 0 : static_cast<double>(a->CurrentRecord);
}

bool ExprDeleted() {
  const WorkArea* a = AreaOf(CurrentArea);
  if (a == nullptr || a->Record.empty()) return false;
  return a->IsVirtual ? a->Record[0] != 0 : a->Record[0] == '*';
}

double ExprToday() {
  int y, m, d, dow;
  GetSysDate(y, m, d, dow);
  return static_cast<double>(JulianOf(y, m, d));
}

void ExprSplitDate(double jdn, int& y, int& m, int& d) {
  y = m = d = 0;
  if (ValidDay(jdn)) JulianToYmd(static_cast<long>(jdn), y, m, d);
}

int ExprDayOfWeek(double jdn) { return ValidDay(jdn) ? static_cast<int>((static_cast<long>(jdn) + 1) % 7) + 1 : 0; }

std::string ExprDayName(double jdn) {
  return ValidDay(jdn) ? DayName(ExprDayOfWeek(jdn), DateStyle) : std::string(10, ' ');
}

std::string ExprMonthName(double jdn) {
  int y, m, d;
  ExprSplitDate(jdn, y, m, d);
  return m > 0 ? MonthName(m, DateStyle) : std::string(10, ' ');
}

std::string ExprDateText(double jdn) { return JDateToStr(ValidDay(jdn) ? static_cast<long>(jdn) : 0); }
std::string ExprDateDigits(double jdn) { return JulianToDate(ValidDay(jdn) ? static_cast<long>(jdn) : 0); }
int ExprDateTextLength() { return CenturyFlag ? 10 : 8; }

// ---- Lexer and parser --------------------------------------------------------------------------
class Compiler {
 public:
  Compiler(const std::string& text, CompiledExpr& out) : src_(text), out_(out) {}

  void Run() {
    if (src_.size() > kExprMaxLength) {
      pos_ = kExprMaxLength;
      Fail("Ausdruck länger als 255 Zeichen");
    }
    Next();
    const TypeInfo t = ParseBinary(1);
    if (tok_.Kind != kEnd) Fail("Syntax error");
    out_.ResultType = LetterOfType(t.Type);
    out_.ResultLength = t.Length;
    out_.ResultDecimals = decimals_;
    out_.PoolSize = std::max<std::size_t>(pool_, 1);
    out_.StackDepth = maxDepth_;
  }

  std::size_t Position() const { return pos_; }

 private:
  struct Tok {
    int Kind = kEnd;
    double Number = 0;
    std::string Text;
    int Area = 0;
    int Field = 0;
    int Length = 0;
  };
  struct TypeInfo {
    int Type;
    int Length;
  };

  [[noreturn]] void Fail(const std::string& message) { throw CompileError{message}; }

  unsigned char At(std::size_t i) const { return i < src_.size() ? static_cast<unsigned char>(src_[i]) : 0; }

  // A "." at i that opens one of the dotted keywords ends a name before it.
  bool DottedKeywordAt(std::size_t i) const {
    if (At(i) != '.') return false;
    std::size_t j = i + 1;
    std::string word = ".";
    while (IsLetter(At(j))) word += UpperChar(static_cast<char>(At(j++)));
    if (At(j) != '.') return false;
    word += '.';
    return word == ".T." || word == ".F." || word == ".NOT." || word == ".AND." || word == ".OR.";
  }

  std::string ReadName() {
    std::string name;
    while (IsNameChar(At(pos_))) name += UpperChar(static_cast<char>(At(pos_++)));
    return name;
  }

  int LookupKeyword(const std::string& name) {
    if (name.size() > 10) return kUnknownName;
    for (const auto& k : kKeywords)
      if (name == k.Name) {
        pool_ += k.PoolBytes;
        return k.Token;
      }
    return kUnknownName;
  }

  bool LookupField(int area, const std::string& name, bool aliased) {
    ExprFieldInfo info;
    if (!ExprFindField(area, name, info)) return false;
    int kind;
    switch (info.Type) {
      case 'C': kind = kFieldC; pool_ += info.Length + 1; break;
      case 'N': case 'F': kind = kFieldN; decimals_ = info.Decimals; break;
      case 'L': kind = kFieldL; break;
      case 'D': kind = kFieldD; break;
      case 'M': kind = kFieldM; break;
      default: return false;
    }
    tok_.Kind = kind + (aliased ? 5 : 0);
    tok_.Area = aliased ? area : 0;
    tok_.Field = info.Number;
    tok_.Length = info.Length;
    return true;
  }

  void ReadNumber() {
    std::string digits;
    bool point = false;
    for (;;) {
      const unsigned char c = At(pos_);
      if (IsDigit(c)) {
        digits += char(c);
      } else if (c == '.' && !point && !IsLetter(At(pos_ + 1))) {
        point = true;
        digits += '.';
      } else if ((c == 'E' || c == 'e') &&
                 (IsDigit(At(pos_ + 1)) || ((At(pos_ + 1) == '+' || At(pos_ + 1) == '-') && IsDigit(At(pos_ + 2))))) {
        digits += 'E';
        if (!IsDigit(At(pos_ + 1))) digits += char(At(++pos_));
      } else {
        break;
      }
      ++pos_;
      if (digits.size() >= 80) break;
    }
    tok_.Kind = kNumber;
    tok_.Number = std::strtod(digits.c_str(), nullptr);
    tok_.Length = static_cast<int>(digits.size());
  }

  void Next() {
    tok_ = Tok{};
    while (At(pos_) == ' ' || At(pos_) == '\t') ++pos_;
    if (pos_ >= src_.size() || At(pos_) == 0) {
      tok_.Kind = kEnd;
      return;
    }
    const unsigned char c = At(pos_);
    if (IsDigit(c)) return ReadNumber();
    if (c == '\'' || c == '"') {
      const std::size_t end = src_.find(char(c), pos_ + 1);
      const std::size_t stop = end == std::string::npos ? src_.size() : end;
      tok_.Kind = kString;
      tok_.Text = src_.substr(pos_ + 1, stop - pos_ - 1);
      tok_.Length = static_cast<int>(tok_.Text.size());
      pool_ += tok_.Text.size() + 1;
      pos_ = end == std::string::npos ? src_.size() : end + 1;
      return;
    }
    if (c == '.' && !IsDigit(At(pos_ + 1))) {
      std::string word = ".";
      ++pos_;
      while (IsLetter(At(pos_))) word += UpperChar(static_cast<char>(At(pos_++)));
      if (At(pos_) == '.') {
        word += '.';
        ++pos_;
      }
      tok_.Kind = LookupKeyword(word);
      return;
    }
    if (c == '.') return ReadNumber();
    if (IsLetter(c) || c == '_') return ReadWord();
    ++pos_;
    const unsigned char d = At(pos_);
    switch (c) {
      case '=':
        if (d == '=') { ++pos_; tok_.Kind = kExactEqual; return; }
        break;
      case '#': tok_.Kind = kNotEqual; return;
      case '$': tok_.Kind = kContains; return;
      case '>':
        if (d == '=') { ++pos_; tok_.Kind = kGreaterEqual; return; }
        break;
      case '<':
        if (d == '=') { ++pos_; tok_.Kind = kLessEqual; return; }
        if (d == '>') { ++pos_; tok_.Kind = kNotEqual; return; }
        break;
      case '*':
        if (d == '*') { ++pos_; tok_.Kind = '^'; return; }
        break;
    }
    tok_.Kind = c;
  }

  void ReadWord() {
    std::string name = ReadName();
    tok_.Text = name;
    if (At(pos_) == '-' && At(pos_ + 1) == '>') {
      pos_ += 2;
      return ReadAliasedField(name);
    }
    if (At(pos_) == '.' && IsLetter(At(pos_ + 1)) && !DottedKeywordAt(pos_)) {
      ++pos_;
      return ReadAliasedField(name);
    }
    std::size_t after = pos_;
    while (At(after) == ' ' || At(after) == '\t') ++after;
    if (At(after) != '(' && LookupField(CurrentArea, name, false)) return;
    tok_.Kind = LookupKeyword(name);
  }

  void ReadAliasedField(const std::string& alias) {
    const std::string field = ReadName();
    tok_.Text = alias + "->" + field;
    const int area = ExprFindAlias(alias.substr(0, 10));
    if (area == 0 || !LookupField(area, field, true)) tok_.Kind = kUnknownName;
  }

  // ---- Code emission ----
  void Emit(ExprInstruction ins, int pops, int pushes) {
    depth_ = depth_ - pops + pushes;
    maxDepth_ = std::max(maxDepth_, depth_);
    out_.Code.push_back(std::move(ins));
  }
  void EmitOp(int op, int type, int pops) {
    ExprInstruction ins;
    ins.Op = op;
    ins.Type = type;
    Emit(std::move(ins), pops, 1);
  }

  void Nest() {
    if (++nesting_ > kExprMaxNesting) Fail("Parser_stack_overflow");
  }

  static int Precedence(int kind) {
    switch (kind) {
      case kOr: return 1;
      case kAnd: return 2;
      case '=': case kNotEqual: return 3;
      case kContains: case kExactEqual: return 4;
      case '<': case '>': case kLessEqual: case kGreaterEqual: return 5;
      case '+': case '-': return 6;
      case '*': case '/': return 7;
      case '^': return 8;
    }
    return 0;
  }

  static const char* OperatorName(int kind) {
    switch (kind) {
      case kOr: return ".OR.";
      case kAnd: return ".AND.";
      case kNot: return ".NOT.";
      case '=': return "=";
      case kNotEqual: return "<>";
      case kContains: return "$";
      case kExactEqual: return "==";
      case '<': return "<";
      case '>': return ">";
      case kLessEqual: return "<=";
      case kGreaterEqual: return ">=";
      case '+': return "+";
      case '-': return "-";
      case '*': return "*";
      case '/': return "/";
      case '^': return "** or ^";
    }
    return "?";
  }

  [[noreturn]] void TypeMismatch(const char* op) {
    Fail(std::string("PARSER:Unvereinbare Typen in Ausdruck \"") + op + "\"");
  }

  // Right operands climb at most eight levels before the next unary or primary, which count nesting.
  TypeInfo ParseBinary(int minPrecedence) {
    TypeInfo left = ParseUnary();
    for (;;) {
      const int op = tok_.Kind;
      const int prec = Precedence(op);
      if (prec == 0 || prec < minPrecedence) break;
      Next();
      const bool logical = (op == kAnd || op == kOr) && left.Type == ExprLogical;
      const std::size_t skipAt = out_.Code.size();
      if (logical) {
        ExprInstruction skip;
        skip.Op = op == kAnd ? kSkipIfFalse : kSkipIfTrue;
        Emit(std::move(skip), 0, 0);
      }
      const TypeInfo right = ParseBinary(prec + 1);
      left = Combine(op, left, right);
      if (logical) {
        // Only a right operand that cannot fail is skipped: skipping must not hide an error.
        const bool safe = std::all_of(out_.Code.begin() + static_cast<std::ptrdiff_t>(skipAt) + 1,
                                      out_.Code.end(), CannotFail);
        if (safe) out_.Code[skipAt].Field = static_cast<int>(out_.Code.size() - skipAt - 1);
        else out_.Code.erase(out_.Code.begin() + static_cast<std::ptrdiff_t>(skipAt));
      }
    }
    return left;
  }

  static bool CannotFail(const ExprInstruction& ins) {
    switch (ins.Op) {
      case kPushNumber: case kPushText: case kPushLogical: case kPushDate: case kPushField: case kFieldText:
      case kFieldNumber: case kNegate:
      case kNot: case kAnd: case kOr: case kSkipIfFalse: case kSkipIfTrue: case '=': case kNotEqual:
      case '<': case '>': case kLessEqual: case kGreaterEqual: case kExactEqual: case kContains:
        return true;
      case '+': case '-': case '*': return ins.Type != ExprCharacter;  // texts may overflow the pool
    }
    return false;
  }

  TypeInfo Combine(int op, TypeInfo l, TypeInfo r) {
    const int a = l.Type, b = r.Type;
    const bool nn = a == ExprNumeric && b == ExprNumeric;
    const bool same = a == b;
    switch (op) {
      case '+': case '-':
        if (nn) return EmitArith(op, ExprNumeric, l, r);
        // date + number, number + date, date - number; date - date gives days
        if ((a == ExprDate && b == ExprNumeric) || (op == '+' && a == ExprNumeric && b == ExprDate))
          return EmitTyped(op, ExprNumeric, {ExprDate, 8});
        if (op == '-' && a == ExprDate && same) return EmitTyped(op, ExprNumeric, {ExprNumeric, 12});
        if (a == ExprCharacter && same) return EmitTyped(op, ExprCharacter, {ExprCharacter, l.Length + r.Length});
        break;
      case '*': case '/': case '^':
        if (nn) return EmitArith(op, ExprNumeric, l, r);
        break;
      case '=': case kNotEqual:
        if (same && a != ExprMemo) return EmitCompare(op, a);
        break;
      case '<': case '>': case kLessEqual: case kGreaterEqual:
        if (same && (a == ExprNumeric || a == ExprDate || a == ExprCharacter)) return EmitCompare(op, a);
        break;
      case kExactEqual: case kContains:
        if (same && a == ExprCharacter) return EmitCompare(op, a);
        break;
      case kAnd: case kOr:
        if (same && a == ExprLogical) return EmitCompare(op, a);
        break;
    }
    TypeMismatch(OperatorName(op));
  }

  TypeInfo EmitTyped(int op, int operandType, TypeInfo result) {
    EmitOp(op, operandType, 2);
    return result;
  }
  TypeInfo EmitArith(int op, int type, TypeInfo l, TypeInfo r) {
    EmitOp(op, type, 2);
    return {ExprNumeric, std::max(l.Length, r.Length)};
  }
  TypeInfo EmitCompare(int op, int type) {
    const std::size_t n = out_.Code.size();
    if (type == ExprCharacter && (op == '=' || op == kNotEqual || op == kExactEqual) && n >= 2 &&
        out_.Code[n - 2].Op == kPushField && out_.Code[n - 1].Op == kPushText) {
      ExprInstruction fused = std::move(out_.Code[n - 2]);
      fused.Op = kFieldText;
      fused.Text = std::move(out_.Code[n - 1].Text);
      fused.ArgCount = op;
      out_.Code.resize(n - 2);
      depth_ -= 2;
      Emit(std::move(fused), 0, 1);
      return {ExprLogical, 1};
    }
    if (type == ExprNumeric && n >= 2 && out_.Code[n - 2].Op == kPushField &&
        out_.Code[n - 2].Type == ExprNumeric && out_.Code[n - 1].Op == kPushNumber) {
      ExprInstruction fused = std::move(out_.Code[n - 2]);
      fused.Op = kFieldNumber;
      fused.Number = out_.Code[n - 1].Number;
      fused.ArgCount = op;
      out_.Code.resize(n - 2);
      depth_ -= 2;
      Emit(std::move(fused), 0, 1);
      return {ExprLogical, 1};
    }
    EmitOp(op, type, 2);
    return {ExprLogical, 1};
  }

  TypeInfo ParseUnary() {
    const int op = tok_.Kind;
    if (op == '-' || op == '+' || op == kNot) {
      Nest();
      Next();
      const TypeInfo t = ParseUnary();
      --nesting_;
      if (op == kNot) {
        if (t.Type != ExprLogical) TypeMismatch(".NOT.");
        EmitOp(kNot, ExprLogical, 1);
      } else if (t.Type != ExprNumeric) {
        TypeMismatch(op == '-' ? "Unary -" : "Unary +");
      } else if (op == '-') {
        EmitOp(kNegate, ExprNumeric, 1);
      }
      return t;
    }
    return ParsePrimary();
  }

  TypeInfo ParsePrimary() {
    ExprInstruction ins;
    const Tok t = tok_;
    switch (t.Kind) {
      case kNumber:
        Next();
        ins.Op = kPushNumber;
        ins.Number = t.Number;
        Emit(std::move(ins), 0, 1);
        return {ExprNumeric, std::max(t.Length, 1)};
      case kString:
        Next();
        ins.Op = kPushText;
        ins.Text = t.Text;
        Emit(std::move(ins), 0, 1);
        return {ExprCharacter, t.Length};
      case kTrue: case kFalse:
        Next();
        ins.Op = kPushLogical;
        ins.Number = t.Kind == kTrue ? 1 : 0;
        Emit(std::move(ins), 0, 1);
        return {ExprLogical, 1};
      case '(': {
        Nest();
        Next();
        const TypeInfo inner = ParseBinary(1);
        if (tok_.Kind != ')') Fail("Syntax error");
        Next();
        --nesting_;
        return inner;
      }
    }
    if (t.Kind >= kFieldC && t.Kind <= kFieldM + 5) {
      Next();
      const int type = ExprCharacter + (t.Kind - kFieldC) % 5;
      ins.Op = kPushField;
      ins.Type = type;
      ins.Area = t.Area;
      ins.Field = t.Field;
      Emit(std::move(ins), 0, 1);
      return {type, type == ExprLogical ? 1 : type == ExprDate ? 8 : t.Length};
    }
    if (const FunctionRule* f = FindFunction(t.Kind)) return ParseFunction(*f);
    Fail("Syntax error");
  }

  TypeInfo ParseFunction(const FunctionRule& f) {
    Nest();
    Next();
    if (tok_.Kind != '(') Fail("Syntax error");
    Next();
    std::vector<TypeInfo> args;
    std::vector<double> literal;  // value of a numeric literal argument, NaN otherwise
    if (tok_.Kind != ')') {
      for (;;) {
        const std::size_t before = out_.Code.size();
        args.push_back(ParseBinary(1));
        const bool isLiteral = out_.Code.size() == before + 1 && out_.Code.back().Op == kPushNumber;
        literal.push_back(isLiteral ? out_.Code.back().Number : NAN);
        if (tok_.Kind != ',') break;
        Next();
      }
    }
    if (tok_.Kind != ')') Fail("Syntax error");
    Next();
    --nesting_;

    const auto mismatch = [&]() -> TypeInfo {
      Fail(std::string("PARSER:Unvereinbare Typen in Funktion \"") + f.Name + "\"");
    };
    const int n = static_cast<int>(args.size());
    int result = TypeOfLetter(f.Result);
    if (f.Args[0] == 'S') {
      if (f.Token == kStr) {
        if (n < 1 || n > 3) Fail("Syntax error");
        for (const auto& a : args)
          if (a.Type != ExprNumeric) return mismatch();
      } else {  // MAX, MIN
        if (n != 2) Fail("Syntax error");
        if (args[0].Type != args[1].Type || (args[0].Type != ExprNumeric && args[0].Type != ExprDate))
          return mismatch();
        result = args[0].Type;
      }
    } else {
      if (n != static_cast<int>(std::strlen(f.Args))) Fail("Syntax error");
      for (int i = 0; i < n; ++i)
        if (args[i].Type != TypeOfLetter(f.Args[i])) return mismatch();
    }

    ExprInstruction ins;
    ins.Op = f.Token;
    ins.ArgCount = n;
    Emit(std::move(ins), n, 1);
    return {result, ResultLength(f.Token, args, literal)};
  }

  static int ResultLength(int token, const std::vector<TypeInfo>& args, const std::vector<double>& literal) {
    const auto lit = [&](std::size_t i, int fallback) {
      return i < literal.size() && !std::isnan(literal[i]) ? std::clamp(ToCount(literal[i]), 0, 255) : fallback;
    };
    switch (token) {
      case kUpper: case kLower: case kTrim: case kRtrim: case kLtrim: return args[0].Length;
      case kLeft: case kRight: return std::min(args[0].Length, lit(1, args[0].Length));
      case kSubstr: return std::min(args[0].Length, lit(2, args[0].Length));
      case kStuff: return args[0].Length + args[3].Length;
      case kIif: return std::max(args[1].Length, args[2].Length);
      case kReplicate: return args[0].Length * lit(1, 1);
      case kSpace: return lit(0, 1);
      case kStr: return lit(1, 10);
      case kChr: return 1;
      case kSoundex: return 4;
      case kDtos: return 8;
      case kDtoc: return ExprDateTextLength();
      case kCdow: case kCmonth: return 10;
      case kDate: case kCtod: return 8;
      case kDeleted: return 1;
    }
    return args.empty() ? 10 : std::max(args[0].Length, 1);
  }

  std::string src_;
  CompiledExpr& out_;
  std::size_t pos_ = 0;
  std::size_t pool_ = 0;
  int decimals_ = 19;
  int nesting_ = 0;
  std::size_t depth_ = 0;
  std::size_t maxDepth_ = 0;
  Tok tok_;
};

// "[" or "[..." + up to 51 characters from 50 before the error position + "]" or "...]".
std::string ErrorWindow(const std::string& text, std::size_t position) {
  const std::size_t start = position < 51 ? 0 : position - 50;
  const std::size_t end = std::min(text.size(), start + 51);
  std::string w = start > 0 ? "[..." : "[";
  if (start < text.size()) w += text.substr(start, end - start);
  w += end < text.size() ? "...]" : "]";
  return w + "\r\n";
}

std::unordered_set<CompiledExpr*>& Expressions() {
  static std::unordered_set<CompiledExpr*> list;
  return list;
}

// ---- Evaluator ---------------------------------------------------------------------------------
struct EvalError {
  int Code;
  const char* Text;
};

constexpr EvalError kDivisionByZero{358, "Auswertungsfehler: Division durch 0 [Evaluate/Engine]"};
constexpr EvalError kPoolOverflow{354, "Arbeitspool übergelaufen [PARSER/Allocate]"};
constexpr EvalError kUnknownType{
    356, "Unbekannter Datentyp (nicht \"C\",\"N\",\"F\",\"L\",\"D\" oder \"M\") [PARSER/PushSD]"};

std::size_t Find(const std::string& needle, const std::string& hay) {
  if (needle.empty()) return 0;
  const std::size_t p = hay.find(needle);
  return p == std::string::npos ? 0 : p + 1;
}

// Numeric prefix of a text: blanks, sign, digits, point, exponent; nothing numeric gives 0.
double TextValue(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string num;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) num += s[i++];
  bool point = false;
  bool any = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (IsDigit(c)) {
      num += c;
      any = true;
    } else if (c == '.' && !point) {
      num += c;
      point = true;
    } else if ((c == 'E' || c == 'e') && any && i + 1 < s.size() &&
               (IsDigit(s[i + 1]) || ((s[i + 1] == '+' || s[i + 1] == '-') && i + 2 < s.size() && IsDigit(s[i + 2])))) {
      num += 'E';
      num += s[++i];
      while (i + 1 < s.size() && IsDigit(s[i + 1])) num += s[++i];
      break;
    } else {
      break;
    }
  }
  return any ? std::strtod(num.c_str(), nullptr) : 0.0;
}

// STR: right-aligned in len with dec decimals; too long gives len "*".
std::string NumberText(double x, int len, int dec) {
  return NumberFieldText(x, std::clamp(len, 0, 255), std::clamp(dec, 0, 99));
}

// ROUND cuts after n decimals: integer part plus the fraction cut toward zero.
double CutDecimals(double x, double n) {
  const double whole = std::trunc(x);
  const double digits = std::clamp(std::trunc(std::isnan(n) ? 0 : n), -20.0, 20.0);
  if (digits > 15) return x;
  const double scale = std::pow(10.0, digits);
  return whole + std::trunc((x - whole) * scale) / scale;
}

class Machine {
 public:
  explicit Machine(CompiledExpr& e) : e_(e), stack_(e.Stack) {
    if (stack_.size() < std::max<std::size_t>(e.StackDepth, 1)) stack_.resize(std::max<std::size_t>(e.StackDepth, 1));
  }

  void Run() {
    sp_ = 0;
    const std::size_t n = e_.Code.size();
    for (std::size_t i = 0; i < n; ++i) {
      const ExprInstruction& ins = e_.Code[i];
      if (ins.Op == kSkipIfFalse || ins.Op == kSkipIfTrue) {
        if (Top().Logical == (ins.Op == kSkipIfTrue)) i += static_cast<std::size_t>(ins.Field);
        continue;
      }
      Step(ins);
    }
    // The result without the text a non-text result's cell may still hold from earlier steps.
    const ExprValue& top = stack_[0];
    e_.Result.Type = top.Type;
    e_.Result.Number = top.Number;
    e_.Result.Logical = top.Logical;
    if (top.Type == ExprCharacter || top.Type == ExprMemo) e_.Result.Text = top.Text;
    else e_.Result.Text.clear();
  }

 private:
  ExprValue& Top() { return stack_[sp_ - 1]; }
  ExprValue& Arg(int i, int n) { return stack_[sp_ - n + i]; }

  ExprValue& Push(int type) {
    ExprValue& v = stack_[sp_++];
    v.Type = type;
    return v;
  }
  void SetNumber(ExprValue& v, double x) {
    v.Type = ExprNumeric;
    v.Number = x;
  }
  void SetLogical(ExprValue& v, bool b) {
    v.Type = ExprLogical;
    v.Logical = b;
  }
  void SetText(ExprValue& v, std::string s) {
    if (s.size() > e_.PoolSize) throw kPoolOverflow;
    v.Type = ExprCharacter;
    v.Text = std::move(s);
  }
  void CheckPool(std::size_t n) {
    if (n > e_.PoolSize) throw kPoolOverflow;
  }

  void Step(const ExprInstruction& ins) {
    switch (ins.Op) {
      case kPushNumber: SetNumber(Push(ExprNumeric), ins.Number); return;
      case kPushText: Push(ExprCharacter).Text = ins.Text; return;
      case kPushLogical: SetLogical(Push(ExprLogical), ins.Number != 0); return;
      case kPushField: {
        ExprValue& v = Push(ins.Type);
        if (!ExprReadField(ins.Area, ins.Field, ins.Type, v)) throw kUnknownType;
        return;
      }
      case kFieldText: {
        const char* p;
        std::size_t len;
        if (!ExprFieldBytes(ins.Area, ins.Field, p, len)) throw kUnknownType;
        const std::string& text = ins.Text;
        bool r;
        if (ins.ArgCount == kExactEqual) r = len == text.size() && SameBytes(p, text.data(), len);
        else r = !text.empty() && len >= text.size() && SameBytes(p, text.data(), text.size());
        SetLogical(Push(ExprLogical), ins.ArgCount == kNotEqual ? !r : r);
        return;
      }
      case kFieldNumber: {
        ExprValue& v = Push(ExprNumeric);
        if (!ExprReadField(ins.Area, ins.Field, ExprNumeric, v)) throw kUnknownType;
        return SetLogical(v, CompareNumbers(ins.ArgCount, v.Number, ins.Number));
      }
      case kNegate: Top().Number = -Top().Number; return;
      case kNot: Top().Logical = !Top().Logical; return;
    }
    if (ins.Op < 256 || (ins.Op >= kNot && ins.Op <= kContains)) return Operator(ins);
    Function(ins);
  }

  void Operator(const ExprInstruction& ins) {
    ExprValue& a = stack_[sp_ - 2];
    ExprValue& b = stack_[sp_ - 1];
    --sp_;
    if (ins.Type == ExprCharacter) {
      switch (ins.Op) {
        case '+':
          CheckPool(a.Text.size() + b.Text.size());
          a.Text += b.Text;
          return;
        case '-': {
          const std::size_t kept = RTrim(a.Text).size();
          const std::size_t blanks = a.Text.size() - kept;
          CheckPool(a.Text.size() + b.Text.size());
          a.Text.resize(kept);
          a.Text += b.Text;
          a.Text.append(blanks, ' ');
          return;
        }
        case '=': return SetLogical(a, BeginsWith(a.Text, b.Text));
        case kNotEqual: return SetLogical(a, !BeginsWith(a.Text, b.Text));
        case kExactEqual: return SetLogical(a, a.Text == b.Text);
        case kContains: return SetLogical(a, Find(a.Text, b.Text) > 0);
        case '<': return SetLogical(a, a.Text < b.Text);
        case '>': return SetLogical(a, a.Text > b.Text);
        case kLessEqual: return SetLogical(a, a.Text <= b.Text);
        case kGreaterEqual: return SetLogical(a, a.Text >= b.Text);
      }
      return;
    }
    if (ins.Type == ExprLogical) {
      switch (ins.Op) {
        case kAnd: return SetLogical(a, a.Logical && b.Logical);
        case kOr: return SetLogical(a, a.Logical || b.Logical);
        case '=': return SetLogical(a, a.Logical == b.Logical);
        case kNotEqual: return SetLogical(a, a.Logical != b.Logical);
      }
      return;
    }
    // Numbers and dates (day numbers); + and - keep the left operand's type unless both are dates.
    const double x = a.Number, y = b.Number;
    switch (ins.Op) {
      case '+':
        a.Number = x + y;
        if (b.Type == ExprDate) a.Type = ExprDate;
        return;
      case '-':
        a.Number = x - y;
        if (b.Type == ExprDate) a.Type = ExprNumeric;
        return;
      case '*': a.Number = x * y; return;
      case '/':
        if (y == 0) throw kDivisionByZero;
        a.Number = x / y;
        return;
      case '^': a.Number = std::pow(x, y); return;
      case '=': case kNotEqual: case '<': case '>': case kLessEqual: case kGreaterEqual:
        return SetLogical(a, CompareNumbers(ins.Op, x, y));
    }
  }

  static bool CompareNumbers(int op, double x, double y) {
    switch (op) {
      case '=': return x == y;
      case kNotEqual: return x != y;
      case '<': return x < y;
      case '>': return x > y;
      case kLessEqual: return x <= y;
      case kGreaterEqual: return x >= y;
    }
    return false;
  }

  // Short texts compared in place (a library call costs more than the few bytes of a field).
  static bool SameBytes(const char* x, const char* y, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      if (x[i] != y[i]) return false;
    return true;
  }

  static bool BeginsWith(const std::string& s, const std::string& prefix) {
    return !prefix.empty() && s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
  }

  void Function(const ExprInstruction& ins) {
    const int n = ins.ArgCount;
    if (n == 0) {
      ExprValue& v = Push(ExprNumeric);
      switch (ins.Op) {
        case kDate: v.Type = ExprDate; v.Number = ExprToday(); return;
        case kRecno: v.Number = ExprRecNo(); return;
        case kDeleted: SetLogical(v, ExprDeleted()); return;
      }
      return;
    }
    ExprValue& a = Arg(0, n);
    sp_ -= n - 1;  // the result replaces the first argument
    const ExprValue* b = n > 1 ? &stack_[sp_] : nullptr;
    const ExprValue* c = n > 2 ? &stack_[sp_ + 1] : nullptr;
    const ExprValue* d = n > 3 ? &stack_[sp_ + 2] : nullptr;
    switch (ins.Op) {
      case kAbs: a.Number = std::fabs(a.Number); return;
      case kInt: a.Number = std::trunc(a.Number); return;
      case kAsc: return SetNumber(a, a.Text.empty() ? 0 : static_cast<unsigned char>(a.Text[0]));
      case kLen: return SetNumber(a, static_cast<double>(a.Text.size()));
      case kVal: return SetNumber(a, TextValue(RTrim(a.Text)));
      case kAt: return SetNumber(a, static_cast<double>(Find(a.Text, b->Text)));
      case kMod: {
        const double x = std::trunc(a.Number), y = std::trunc(b->Number);
        if (y == 0) throw kDivisionByZero;
        a.Number = std::fmod(x, y);
        return;
      }
      case kRound: a.Number = CutDecimals(a.Number, b->Number); return;
      case kMax: a.Number = std::max(a.Number, b->Number); return;
      case kMin: a.Number = std::min(a.Number, b->Number); return;
      case kDay: case kMonth: case kYear: case kDow: {
        int y, m, dd;
        ExprSplitDate(a.Number, y, m, dd);
        if (ins.Op == kDow) return SetNumber(a, ExprDayOfWeek(a.Number));
        return SetNumber(a, ins.Op == kDay ? dd : ins.Op == kMonth ? m : y);
      }
      case kCtod:
        a.Type = ExprDate;
        a.Number = DateValue(a.Text.substr(0, 10));
        return;
      case kCdow: return SetText(a, ExprDayName(a.Number));
      case kCmonth: return SetText(a, ExprMonthName(a.Number));
      case kDtoc: return SetText(a, ExprDateText(a.Number));
      case kDtos: return SetText(a, ExprDateDigits(a.Number));
      case kUpper: case kLower:
        for (char& ch : a.Text) ch = ins.Op == kUpper ? UpperChar(ch) : LowerChar(ch);
        return;
      case kTrim: case kRtrim: a.Text = RTrim(a.Text); return;
      case kLtrim: a.Text = LTrim(a.Text); return;
      case kSoundex: return SetText(a, Soundex(a.Text.substr(0, 100)));
      case kSpace: {
        const int count = std::max(ToCount(a.Number), 0);
        CheckPool(static_cast<std::size_t>(count));
        return SetText(a, std::string(count, ' '));
      }
      case kChr: return SetText(a, std::string(1, static_cast<char>(ToWhole(a.Number) & 0xFF)));
      case kLeft: {
        const int count = ToCount(b->Number);
        if (count <= 0) a.Text.clear();
        else if (static_cast<std::size_t>(count) < a.Text.size()) a.Text.resize(count);
        return;
      }
      case kRight: {
        const int count = ToCount(b->Number);
        if (count <= 0) a.Text.clear();
        else if (static_cast<std::size_t>(count) < a.Text.size()) a.Text.erase(0, a.Text.size() - count);
        return;
      }
      case kReplicate: {
        const int count = std::max(ToCount(b->Number), 0);
        CheckPool(a.Text.size() * static_cast<std::size_t>(count));
        std::string r;
        r.reserve(a.Text.size() * count);
        for (int i = 0; i < count; ++i) r += a.Text;
        return SetText(a, std::move(r));
      }
      case kSubstr: a.Text = Copy(a.Text, ToCount(b->Number), ToCount(c->Number)); return;
      case kStuff: {
        std::string s = a.Text;
        const int start = ToCount(b->Number);
        const int count = ToCount(c->Number);
        if (start >= 1 && static_cast<std::size_t>(start) <= s.size() && count > 0)
          s.erase(start - 1, static_cast<std::size_t>(count));
        const std::size_t at = start < 1 ? 0 : std::min<std::size_t>(start - 1, s.size());
        CheckPool(s.size() + d->Text.size());
        s.insert(at, d->Text);
        return SetText(a, std::move(s));
      }
      case kStr: {
        const int len = n > 1 ? ToCount(b->Number) : 10;
        const int dec = n > 2 ? ToCount(c->Number) : 0;
        return SetText(a, NumberText(a.Number, len, dec));
      }
      case kIif:
        a.Type = ExprCharacter;
        a.Text = a.Logical ? b->Text : c->Text;
        return;
    }
  }

  // Copy(s, start, count) with start below 1 taken as 1.
  static std::string Copy(const std::string& s, int start, int count) {
    if (start < 1) start = 1;
    if (count <= 0 || static_cast<std::size_t>(start) > s.size()) return {};
    return s.substr(start - 1, static_cast<std::size_t>(count));
  }

  CompiledExpr& e_;
  std::vector<ExprValue>& stack_;
  std::size_t sp_ = 0;
};

}  // namespace

CompiledExpr* AssignExpr(const std::string& text) {
  if (KelpieErrorCode >= 350 && KelpieErrorCode <= 363) KelpieErrorCode = 0;
  auto expr = std::make_unique<CompiledExpr>();
  Compiler compiler(text, *expr);
  std::string message;
  try {
    compiler.Run();
  } catch (const CompileError& e) {
    message = e.Message;
  }
  if (!message.empty()) {
    expr.reset();
    SetError(351, "Fehler in dBASE-Ausdruck : " + message + "\r\n" +
                      ErrorWindow(text, compiler.Position()) + " [AssignExpr]");
    return nullptr;
  }
  expr->Text = text;
  CompiledExpr* p = expr.release();
  Expressions().insert(p);
  return p;
}

void FreeExpr(CompiledExpr* expr) {
  if (expr == nullptr || Expressions().erase(expr) == 0) return;
  delete expr;
}

const ExprValue* EvaluateValue(CompiledExpr* expr) {
  if (expr == nullptr) return nullptr;
  EvalError failure{0, nullptr};
  try {
    Machine(*expr).Run();
  } catch (const EvalError& e) {
    failure = e;
  }
  if (failure.Code != 0) {
    expr->Result = ExprValue{};
    SetError(failure.Code, failure.Text);
    return nullptr;
  }
  return &expr->Result;
}

const void* Evaluate(CompiledExpr* expr) {
  const ExprValue* v = EvaluateValue(expr);
  if (v == nullptr) return nullptr;
  switch (v->Type) {
    case ExprLogical:
      expr->LogicalResult = v->Logical ? 1 : 0;
      return &expr->LogicalResult;
    case ExprNumeric: case ExprDate:
      expr->NumberResult = v->Number;
      return &expr->NumberResult;
  }
  return expr->Result.Text.c_str();
}

std::string ExprResultText(const void* result) {
  return result == nullptr ? std::string() : std::string(static_cast<const char*>(result));
}

void ParserInit() {
  ParserHookTable.Compile = &AssignExpr;
  ParserHookTable.Free = &FreeExpr;
  ParserHookTable.Evaluate = &Evaluate;
  ParserHookTable.ResultText = &ExprResultText;
  ParserHookTable.ResultType = [](const CompiledExpr* e) { return e ? e->ResultType : ' '; };
  ParserPresent = true;
}

}  // namespace qern::kelpie
