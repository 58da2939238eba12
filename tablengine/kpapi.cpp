// Work-area API: navigation, field access, appending, Peek and Poke, locks and closing areas.
#include "tablengine/kpapi.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/codepage.h"
#include "tablengine/kpdate.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

bool GlobalExclusive = false;
std::string LogicalYes = "ja", LogicalNo = "nein", LogicalTrue = "Wahr", LogicalFalse = "Falsch";

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

void Refresh(WorkArea& a) {
  if (!a.Exclusive && !a.IsVirtual) a.RecordCount = RecCountFromFile(a);
}

// Other programs only add records: the count needs the file only when n lies beyond it.
void RefreshBeyond(WorkArea& a, uint32_t n) {
  if (n > a.RecordCount) Refresh(a);
}

bool Indexed() {
  return IndexPresent && IndexHookTable.IndexActive && IndexHookTable.IndexActive();
}

// Begin and end of a positioning for the index (read semaphore); the end also runs on an exception.
class IndexPositioning {
 public:
  explicit IndexPositioning(bool indexed)
      : on_(indexed && IndexHookTable.ReadSemaphore && IndexHookTable.ReadSemaphore(true)) {}
  ~IndexPositioning() {
    if (on_) IndexHookTable.ReadSemaphore(false);
  }

 private:
  bool on_;
};

// The writers' lock of the indexes around a change of the table, taken before the table is written:
// a change that cannot have it writes nothing. Held() is false after the error was reported.
class IndexChange {
 public:
  explicit IndexChange(bool indexed) : on_(indexed && IndexHookTable.LockSemaphore) {
    if (on_) held_ = IndexHookTable.LockSemaphore(true);
  }
  ~IndexChange() {
    if (on_ && held_) IndexHookTable.LockSemaphore(false);
  }
  IndexChange(const IndexChange&) = delete;
  IndexChange& operator=(const IndexChange&) = delete;
  bool Held() const { return !on_ || held_; }

 private:
  bool on_;
  bool held_ = false;
};

// A memo field given its block number: a text put into it before is no longer meant.
void PutMemoBlock(WorkArea& a, int n, int32_t block) {
  std::erase_if(a.PendingMemos, [n](const auto& p) { return p.first == n - 1; });
  SetTypedMemoBlock(a, a.Fields[static_cast<size_t>(n - 1)], block);
}

// The memo texts put into the record, written once the change holds its locks.
bool MemosWritten(WorkArea& a, bool newRecord) {
  if (a.PendingMemos.empty() || !MemoHookTable.WritePendingMemos) return true;
  return MemoHookTable.WritePendingMemos(newRecord);
}

void CallSlot(void (*slot)()) {
  if (slot) slot();
}

void ReadAndLoad(WorkArea& a, uint32_t recno) {
  GetDbfRecord(a, recno);
  if (KelpieErrorCode == 0) LoadTypedRecord(a);
}

// Reads a record that navigation tests for visibility. When a filter expression alone decides, the
// typed record is built only for a record that passes: the filter reads the fields it names from
// the record buffer, so a hidden record costs only those fields.
void ReadForTest(WorkArea& a, uint32_t recno) {
  GetDbfRecord(a, recno);
  if (KelpieErrorCode != 0) {
    a.TypedPending = false;
    return;
  }
  if (a.FilterExpr && !a.FilterMethod && !a.IsVirtual) a.TypedPending = true;
  else LoadTypedRecord(a);
}

// Builds a pending typed record when the navigation that tested it ends (an exception included).
class CompletesTyped {
 public:
  explicit CompletesTyped(WorkArea& a) : a_(a) {}
  ~CompletesTyped() {
    if (a_.TypedPending) LoadTypedRecord(a_);
  }
  CompletesTyped(const CompletesTyped&) = delete;
  CompletesTyped& operator=(const CompletesTyped&) = delete;

 private:
  WorkArea& a_;
};

void BlankRecord(WorkArea& a) {
  if (a.IsVirtual) std::fill(a.Record.begin(), a.Record.end(), 0);
  else a.Record.assign(a.RecordLength, ' ');
  LoadTypedRecord(a);
}

// The table is beyond its last record; with bof also before its first (empty, or nothing visible):
// the controlling index is put in the same state, so that dEOF and dBOF agree in either order.
void IndexAtEnd(bool bof) {
  if (!Indexed()) return;
  IndexPositioning positioning(true);
  CallSlot(IndexHookTable.SyncOrder);
  if (bof) CallSlot(IndexHookTable.SetIndexBof);
}

bool Evaluates(CompiledExpr* e) {
  if (!e || !ParserPresent || !ParserHookTable.Evaluate) return true;
  const void* r = ParserHookTable.Evaluate(e);
  return r && *static_cast<const uint8_t*>(r) != 0;
}

void RunAfterMove(WorkArea& a) {
  if (!a.AfterMove) return;
  const AfterMoveProc proc = a.AfterMove;
  const uint8_t area = CurrentArea;
  const uint32_t record = a.CurrentRecord;
  bool* found = Indexed() && IndexHookTable.FoundFlag ? IndexHookTable.FoundFlag() : nullptr;
  const bool foundValue = found ? *found : false;
  a.AfterMove = nullptr;
  struct Restore {
    uint8_t area;
    AfterMoveProc proc;
    bool* found;
    bool foundValue;
    ~Restore() {
      CurrentArea = area;
      if (WorkArea* w = WorkAreaTable[area]) w->AfterMove = proc;
      if (found) *found = foundValue;
    }
  } restore{area, proc, found, foundValue};
  proc();
  WorkArea* now = WorkAreaTable[area];
  if (KelpieErrorCode == 0 && now && now->CurrentRecord != record) {
    CurrentArea = area;
    SetError(224, now->FileName);
  }
}

std::string AreaText() { return std::to_string(CurrentArea); }

WorkArea* FieldArea(int n, const std::string& routine) {
  WorkArea* a = CheckWorkArea(routine);
  if (!a) return nullptr;
  if (n < 1 || n > a->FieldCount) {
    SetError(220, "Ungültige Feldnr. [" + routine + "(" + std::to_string(n) + ")]");
    return nullptr;
  }
  return a;
}

// Peek cache: whole records of one table in the program's form.
struct PeekCache {
  std::string FileName;
  uint32_t First = 0;
  uint32_t Count = 0;
  std::vector<uint8_t> Data;
  void Clear() {
    FileName.clear();
    First = Count = 0;
    Data.clear();
    Data.shrink_to_fit();
  }
} peekCache;

// Where record n lies in the file, and its lock range above the base offset.
uint64_t RecordFilePos(const WorkArea& a, uint32_t n) {
  return static_cast<uint64_t>(a.HeaderLength) + static_cast<uint64_t>(n - 1) * a.RecordLength;
}

uint64_t RecordLockOffset(const WorkArea& a, uint32_t n) { return LockBaseOffset + RecordFilePos(a, n); }

}  // namespace

WorkArea* CheckWorkArea(const std::string& routine) {
  WorkArea* a = CurrentWorkArea();
  if (!a)
    SetError(215, "Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. [" + routine + "]  WorkArea = " +
                      AreaText());
  return a;
}

// ---------------------------------------------------------------------------------------------------
// Areas

void Select(int n) {
  KelpieErrorCode = 0;
  if (n >= 1 && n <= MaxSelectableArea) {
    CurrentArea = static_cast<uint8_t>(n);
    return;
  }
  if (n == 0) {
    for (int i = 1; i <= MaxSelectableArea; ++i)
      if (!WorkAreaTable[i]) {
        CurrentArea = static_cast<uint8_t>(i);
        return;
      }
    SetError(220, "Kein Arbeitsbereich frei [Select(0)]");
    return;
  }
  SetError(220, "Ungültiger Arbeitsbereich = [Select(" + std::to_string(n) + ")]");
}

std::string AreaFileName() {
  const WorkArea* a = CurrentWorkArea();
  return a ? a->FileName : std::string();
}

std::string AreaAlias() {
  const WorkArea* a = CurrentWorkArea();
  return a ? a->Alias : std::string();
}

void CloseArea() {
  WorkArea* a = CurrentWorkArea();
  if (!a) return;
  if (IndexPresent && IndexHookTable.CloseIndexes) IndexHookTable.CloseIndexes();
  Refresh(*a);
  Unlock();
  a->SpareRecord.clear();
  if (ParserPresent && ParserHookTable.Free) {
    if (a->FilterExpr) ParserHookTable.Free(a->FilterExpr);
    if (a->ScopeExpr) ParserHookTable.Free(a->ScopeExpr);
  }
  a->FilterExpr = a->ScopeExpr = nullptr;
  if (a->MemoFlag && MemoPresent && MemoHookTable.CloseMemofile) MemoHookTable.CloseMemofile();
  a->MemoFlag = false;
  InvalidatePeekCache(*a);
  std::unique_ptr<WorkArea> own(a);
  WorkAreaTable[CurrentArea] = nullptr;
  if (own->Exclusive) GlobalExclusive = false;
  CloseDbf(*own);
}

void CloseAll() {
  std::exception_ptr first;
  for (int i = 1; i <= MaxSelectableArea; ++i) {
    CurrentArea = static_cast<uint8_t>(i);
    try {
      CloseArea();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  CurrentArea = 1;
  if (first) std::rethrow_exception(first);
}

void KelpieShutdown() {
  for (int i : {34, 35}) {
    CurrentArea = static_cast<uint8_t>(i);
    try {
      CloseArea();
    } catch (...) {
    }
  }
  CloseAll();
}

void CloseTablesAtExit() {
  static const bool registered = [] {
    return std::atexit([] {
      // No message and no exception any more: a failure here only loses the header update.
      KelpieErrorCallback = [] {};
      try {
        KelpieShutdown();
      } catch (...) {
      }
    }) == 0;
  }();
  (void)registered;
}

int SetExclusive(bool on) {
  WorkArea* a = CheckWorkArea("SetExclusive");
  if (!a) return 6;
  if (a->Exclusive && !GlobalExclusive) return 5;
  if (a->IsVirtual) return 0;
  DropReadAhead(*a);
  struct flock fl{};
  fl.l_type = on ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(LockBaseOffset + ShareModeOffset);
  fl.l_len = 1;
  if (::fcntl(a->Handle, F_OFD_SETLK, &fl) != 0) return errno == EAGAIN ? 32 : IoCodeFromErrno(errno);
  if (on) a->RecordCount = RecCountFromFile(*a);
  a->Exclusive = on;
  GlobalExclusive = on;
  return 0;
}

// ---------------------------------------------------------------------------------------------------
// Fields

char FieldType(int n) {
  const WorkArea* a = FieldArea(n, "FieldType");
  return a ? a->Fields[n - 1].Type : ' ';
}

int FieldLen(int n) {
  const WorkArea* a = FieldArea(n, "FieldLen");
  if (!a) return 0;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'D') return CenturyFlag ? 10 : 8;
  return f.Length;
}

int FieldDec(int n) {
  const WorkArea* a = FieldArea(n, "FieldDec");
  return a ? a->Fields[n - 1].Decimals : 0;
}

uint8_t* FieldAddress(int n) {
  WorkArea* a = CheckWorkArea("FieldAddress");
  if (!a) return nullptr;
  if (n == 0) return a->Typed.data();
  if (n < 1 || n > a->FieldCount) {
    SetError(220, "Ungültige Feldnr. [FieldAddress(" + std::to_string(n) + ")]");
    return nullptr;
  }
  return a->Typed.data() + a->Fields[n - 1].TypedOffset;
}

int FieldCount() {
  const WorkArea* a = CurrentWorkArea();
  return a ? a->FieldCount : 0;
}

std::string FieldName(int n) {
  const WorkArea* a = FieldArea(n, "FieldName");
  return a ? std::string(a->Fields[n - 1].Name) : std::string();
}

int FieldNo(const std::string& name) {
  const WorkArea* a = CurrentWorkArea();
  if (!a) return 0;
  const std::string u = UpperString(AllTrim(name));
  for (size_t i = 0; i < a->Fields.size(); ++i)
    if (UpperString(a->Fields[i].Name) == u) return static_cast<int>(i) + 1;
  return 0;
}

namespace {

std::string DisplayText(const WorkArea& a, const FieldDescriptor& f) {
  switch (f.Type) {
    case 'C': return TypedChar(a, f);
    case 'D': {
      std::string t = TypedChar(a, f);
      if (!CenturyFlag && t.size() == 10) {
        // The four-digit year kept inside is shown with two digits.
        if (DateStyle == 1) t.erase(0, 2);
        else t.erase(6, 2);
      }
      return t;
    }
    case 'N': case 'F': {
      std::string s = f.Decimals > 0 ? NumberFieldText(TypedNumber(a, f), f.Length, f.Decimals)
                                     : IntegerFieldText(TypedInteger(a, f), f.Length);
      for (char& c : s)
        if (c == '.') c = DecimalSeparator;
      return s;
    }
    case 'L': return std::string(1, LogicalChars[TypedLogical(a, f) ? 1 : 0]);
    case 'M': {
      const int32_t b = TypedMemoBlock(a, f);
      return b == 0 ? "none" : b > 0 ? "MEMO" : "BLOB";
    }
    default: return std::string();
  }
}

}  // namespace

std::string FieldToStr(int n) {
  const WorkArea* a = FieldArea(n, "FieldToStr");
  return a ? DisplayText(*a, a->Fields[n - 1]) : std::string();
}

void ClearRecord() {
  WorkArea* a = CheckWorkArea("ClearRecord");
  if (!a) return;
  BlankRecord(*a);
}

std::string FieldStr(int n) {
  const WorkArea* a = FieldArea(n, "FieldStr");
  if (!a) return {};
  const auto& f = a->Fields[n - 1];
  return f.Type == 'C' ? TypedChar(*a, f) : DisplayText(*a, f);
}

double FieldNum(int n) {
  const WorkArea* a = FieldArea(n, "FieldNum");
  if (!a) return 0;
  const auto& f = a->Fields[n - 1];
  switch (f.Type) {
    case 'N': case 'F': return TypedNumber(*a, f);
    case 'D': return static_cast<double>(TypedDateJulian(*a, f));
    case 'L': return TypedLogical(*a, f) ? 1 : 0;
    case 'M': return TypedMemoBlock(*a, f);
    case 'C': return std::strtod(TypedChar(*a, f).c_str(), nullptr);
    default: return 0;
  }
}

int64_t FieldInt(int n) {
  const WorkArea* a = FieldArea(n, "FieldInt");
  if (!a) return 0;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'N' || f.Type == 'F') return TypedInteger(*a, f);
  return static_cast<int64_t>(FieldNum(n));
}

bool FieldBool(int n) {
  const WorkArea* a = FieldArea(n, "FieldBool");
  if (!a) return false;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'L') return TypedLogical(*a, f);
  return FieldNum(n) != 0;
}

std::string FieldDate(int n) {
  const WorkArea* a = FieldArea(n, "FieldDate");
  if (!a) return {};
  const auto& f = a->Fields[n - 1];
  if (f.Type != 'D') return std::string(8, ' ');
  return JulianToDate(TypedDateJulian(*a, f));
}

void PutFieldStr(int n, const std::string& value) {
  WorkArea* a = FieldArea(n, "PutFieldStr");
  if (!a) return;
  const auto& f = a->Fields[n - 1];
  switch (f.Type) {
    case 'C': SetTypedChar(*a, f, value); break;
    case 'D': {
      int y, m, d;
      const std::string t = AllTrim(value);
      long j = 0;
      if (t.size() == 8 && t.find_first_not_of("0123456789") == std::string::npos) j = DateToJulian(t);
      else if (ParseStyledDate(DateStyle, t, y, m, d)) j = JulianOf(y, m, d);
      SetTypedDateJulian(*a, f, j);
      break;
    }
    case 'N': case 'F': {
      std::string t = AllTrim(value);
      for (char& c : t)
        if (c == ',') c = '.';
      if (f.Decimals > 0 || t.find_first_not_of("+-0123456789") != std::string::npos)
        SetTypedNumber(*a, f, std::strtod(t.c_str(), nullptr));  // rounded for integer fields
      else
        SetTypedInteger(*a, f, std::strtoll(t.c_str(), nullptr, 10));
      break;
    }
    case 'L': {
      const char c = value.empty() ? 'F' : value[0];
      SetTypedLogical(*a, f, c == 'T' || c == 't' || c == 'Y' || c == 'y' || c == 'J' || c == 'j');
      break;
    }
    case 'M': PutMemoBlock(*a, n, static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10))); break;
    default: break;
  }
}

void PutFieldNum(int n, double value) {
  WorkArea* a = FieldArea(n, "PutFieldNum");
  if (!a) return;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'N' || f.Type == 'F') SetTypedNumber(*a, f, value);
  else if (f.Type == 'L') SetTypedLogical(*a, f, value != 0);
  else if (f.Type == 'D') SetTypedDateJulian(*a, f, static_cast<long>(value));
  else if (f.Type == 'M') PutMemoBlock(*a, n, static_cast<int32_t>(value));
  else SetError(220, "Feldtyp " + std::string(1, f.Type) + " [PutFieldNum(" + std::to_string(n) + ")]");
}

void PutFieldInt(int n, int64_t value) {
  WorkArea* a = FieldArea(n, "PutFieldInt");
  if (!a) return;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'N' || f.Type == 'F') SetTypedInteger(*a, f, value);
  else PutFieldNum(n, static_cast<double>(value));
}

void PutFieldBool(int n, bool value) {
  WorkArea* a = FieldArea(n, "PutFieldBool");
  if (!a) return;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'L') SetTypedLogical(*a, f, value);
  else SetError(220, "Feldtyp " + std::string(1, f.Type) + " [PutFieldBool(" + std::to_string(n) + ")]");
}

void PutFieldDate(int n, const std::string& yyyymmdd) {
  WorkArea* a = FieldArea(n, "PutFieldDate");
  if (!a) return;
  const auto& f = a->Fields[n - 1];
  if (f.Type == 'D') SetTypedDateJulian(*a, f, DateToJulian(yyyymmdd));
  else SetError(220, "Feldtyp " + std::string(1, f.Type) + " [PutFieldDate(" + std::to_string(n) + ")]");
}

std::string FieldToUtf8(int n) { return Cp1252ToUtf8(FieldStr(n)); }

void PutFieldUtf8(int n, const std::string& utf8) { PutFieldStr(n, Utf8ToCp1252(utf8)); }

bool Deleted() {
  const WorkArea* a = CheckWorkArea("Deleted");
  return a && !a->Typed.empty() && a->Typed[0] != 0;
}

void SetDeleted(bool on) {
  WorkArea* a = CheckWorkArea("SetDeleted");
  if (a && !a->Typed.empty()) a->Typed[0] = on ? 1 : 0;
}

void Replace() {
  WorkArea* a = CheckWorkArea("Replace");
  if (!a) return;
  const uint32_t rec = a->CurrentRecord;
  RefreshBeyond(*a, rec);
  if (a->Eof || rec < 1 || rec > a->RecordCount) {
    SetError(212, "Ungültige Datensatznr. = " + std::to_string(rec) + " Datenbank " + Quoted(a->FileName) +
                      " [Replace]");
    return;
  }
  if (KelpieSharedMode && !a->Exclusive && !a->IsVirtual && a->LockState != LockWholeFile &&
      a->LockState != LockTable && !IsLocked(rec)) {
    SetError(1200, "Datensatz nicht gesperrt " + std::to_string(rec) + " Datenbank " + Quoted(a->FileName) +
                       " [Replace]");
    return;
  }
  const bool indexed = Indexed() && IndexHookTable.CompareKeys;
  IndexChange change(indexed);
  if (!change.Held() || !MemosWritten(*a, false)) return;
  StoreTypedRecord(*a);
  PutDbfRecord(*a, rec);
  if (KelpieErrorCode != 0) return;
  LoadTypedRecord(*a);
  if (indexed) IndexHookTable.CompareKeys();
}

// ---------------------------------------------------------------------------------------------------
// Visibility

bool RecordInScope(WorkArea& a) {
  if (a.ScopeMethod) return a.ScopeMethod();
  return Evaluates(a.ScopeExpr);
}

bool RecordVisible(WorkArea& a) {
  if (a.IgnoreDeleted && !a.Record.empty()) {
    const bool deleted = a.IsVirtual ? a.Record[0] != 0 : a.Record[0] == '*';
    if (deleted) return false;
  }
  if (a.FilterMethod) {
    if (!a.FilterMethod()) return false;
  } else if (!Evaluates(a.FilterExpr)) {
    return false;
  }
  if (a.TypedPending) LoadTypedRecord(a);
  return RecordInScope(a);
}

void SetFilter(RecordCondition method) {
  WorkArea* a = CheckWorkArea("SetFilter");
  if (a) a->FilterMethod = std::move(method);
}

namespace {

bool SetExpr(CompiledExpr*& slot, const std::string& expression, const std::string& routine) {
  if (slot && ParserHookTable.Free) ParserHookTable.Free(slot);
  slot = nullptr;
  if (AllTrim(expression).empty()) return true;
  if (!ParserPresent || !ParserHookTable.Compile) {
    SetError(1103, "Kein Ausdrucks-Übersetzer eingebunden [" + routine + "]");
    return false;
  }
  CompiledExpr* e = ParserHookTable.Compile(expression);
  if (!e) return false;
  // A filter or scope says yes or no: any other result type is refused, not read as a byte.
  if (ParserHookTable.ResultType && ParserHookTable.ResultType(e) != 'L') {
    if (ParserHookTable.Free) ParserHookTable.Free(e);
    SetError(351, "Fehler in dBASE-Ausdruck : PARSER:Unvereinbare Typen in Ausdruck \"" + expression + "\" [" +
                      routine + "]");
    return false;
  }
  slot = e;
  return true;
}

}  // namespace

bool SetFilterExpr(const std::string& expression) {
  WorkArea* a = CheckWorkArea("SetFilterExpr");
  return a && SetExpr(a->FilterExpr, expression, "SetFilterExpr");
}

void SetScope(RecordCondition method) {
  WorkArea* a = CheckWorkArea("SetScope");
  if (a) a->ScopeMethod = std::move(method);
}

bool SetScopeExpr(const std::string& expression) {
  WorkArea* a = CheckWorkArea("SetScopeExpr");
  return a && SetExpr(a->ScopeExpr, expression, "SetScopeExpr");
}

// ---------------------------------------------------------------------------------------------------
// Navigation

void GoTop() {
  KelpieErrorCode = 0;
  WorkArea* a = CheckWorkArea("GoTop");
  if (!a) return;
  RefreshBeyond(*a, 1);
  if (a->RecordCount == 0) {
    a->Eof = a->Bof = true;
    a->CurrentRecord = 1;
    IndexAtEnd(true);
    return;
  }
  const bool indexed = Indexed();
  {
    IndexPositioning positioning(indexed);
    uint32_t rec = 1;
    if (indexed && IndexHookTable.FirstRecord) {
      rec = IndexHookTable.FirstRecord();
      if (rec > a->RecordCount) {
        BlankRecord(*a);
        a->CurrentRecord = a->RecordCount + 1;
        a->Eof = a->Bof = true;
        return RunAfterMove(*a);
      }
    }
    CompletesTyped completes(*a);
    ReadForTest(*a, rec);
    while (KelpieErrorCode == 0 && !a->Eof && !RecordVisible(*a)) {
      uint32_t next;
      if (indexed && IndexHookTable.NextRecord) {
        next = IndexHookTable.NextRecord();
        if (IndexHookTable.IndexEof && IndexHookTable.IndexEof()) next = a->RecordCount + 1;
      } else {
        next = a->CurrentRecord + 1;
      }
      RefreshBeyond(*a, next);
      if (next > a->RecordCount) {
        BlankRecord(*a);
        a->CurrentRecord = a->RecordCount + 1;
        a->Eof = a->Bof = true;
        if (indexed) {
          CallSlot(IndexHookTable.SyncOrder);
          CallSlot(IndexHookTable.SetIndexBof);
        }
        break;
      }
      ReadForTest(*a, next);
    }
    if (a->TypedPending) LoadTypedRecord(*a);
    if (indexed && !a->Eof) CallSlot(IndexHookTable.TakeKey);
  }
  RunAfterMove(*a);
}

void GO(uint32_t n) {
  KelpieErrorCode = 0;
  WorkArea* a = CheckWorkArea("GO");
  if (!a) return;
  RefreshBeyond(*a, n);
  const auto text = [&] {
    return "Ungültige Datensatznr. = " + std::to_string(n) + " Datenbank " + Quoted(a->FileName) + " [GO]";
  };
  if (a->RecordCount == 0) {
    a->Bof = a->Eof = true;
    BlankRecord(*a);
    IndexAtEnd(true);
    SetError(212, text());
    return;
  }
  if (n < 1 || n > a->RecordCount) {
    a->CurrentRecord = a->RecordCount + 1;
    a->Eof = true;
    BlankRecord(*a);
    IndexAtEnd(a->Bof);
    SetError(212, text());
    return;
  }
  a->Bof = a->Eof = false;
  const bool indexed = Indexed();
  {
    IndexPositioning positioning(indexed);
    ReadAndLoad(*a, n);
    if (indexed && KelpieErrorCode == 0) {
      CallSlot(IndexHookTable.SyncOrder);
      CallSlot(IndexHookTable.TakeKey);
    }
  }
  RunAfterMove(*a);
}

void Dbf4RawGo(uint32_t n) {
  WorkArea* a = CheckWorkArea("Dbf4RawGo");
  if (!a) return;
  RefreshBeyond(*a, n);
  if (n < 1 || n > a->RecordCount) {
    SetError(212, "Ungültige Datensatznr. = " + std::to_string(n) + " Datenbank " + Quoted(a->FileName) +
                      " [Dbf4RawGo]");
    return;
  }
  ReadAndLoad(*a, n);
}

void GoRecord(uint32_t n) {
  Dbf4RawGo(n);
  if (WorkArea* a = CurrentWorkArea(); a && KelpieErrorCode == 0) RunAfterMove(*a);
}

bool GoValid(uint32_t n) {
  if (n >= 1 && n <= RecCount()) {
    GO(n);
    return true;
  }
  return false;
}

void SKIP(int32_t n) {
  KelpieErrorCode = 0;
  WorkArea* a = CheckWorkArea("SKIP");
  if (!a) return;
  RefreshBeyond(*a, 1);
  if (n == 0) {
    if (a->RecordCount > 0 && !a->Eof && a->CurrentRecord <= a->RecordCount) {
      // Reading the record again clears BOF; the controlling index follows, as after GO.
      const bool indexed = Indexed();
      IndexPositioning positioning(indexed);
      ReadAndLoad(*a, a->CurrentRecord);
      if (indexed && KelpieErrorCode == 0) CallSlot(IndexHookTable.SyncOrder);
    } else {
      BlankRecord(*a);
    }
    return RunAfterMove(*a);
  }
  if (a->RecordCount == 0) {
    a->Bof = a->Eof = true;
    SetError(212, "Datenbank " + Quoted(a->FileName) + " ist leer. [SKIP]");
    return;
  }
  if (n > 0 && a->Eof) {
    SetError(212, "Datenbank " + Quoted(a->FileName) + " ist hinter EOF. [SKIP]");
    return;
  }
  if (a->Bof && n < 0) return;
  a->Bof = a->Eof = false;
  const bool indexed = Indexed();
  bool reachedEnd = false, reachedStart = false, lastVisible = true;
  {
    IndexPositioning positioning(indexed);
    if (SkipProc) {
      const uint32_t rec = SkipProc(n);
      if (rec >= 1 && rec <= a->RecordCount) ReadAndLoad(*a, rec);
      else reachedEnd = n > 0, reachedStart = n < 0;
    } else {
      CompletesTyped completes(*a);
      uint32_t remaining = n > 0 ? static_cast<uint32_t>(n) : static_cast<uint32_t>(-(int64_t)n);
      uint32_t rec = a->CurrentRecord;
      while (remaining > 0 && KelpieErrorCode == 0) {
        uint32_t next;
        if (n > 0) {
          if (indexed && IndexHookTable.NextRecord) {
            next = IndexHookTable.NextRecord();
            if (IndexHookTable.IndexEof && IndexHookTable.IndexEof()) next = a->RecordCount + 1;
          } else {
            next = rec + 1;
            RefreshBeyond(*a, next);
          }
          if (next > a->RecordCount) {
            reachedEnd = true;
            break;
          }
        } else {
          if (indexed && IndexHookTable.PriorRecord) {
            next = IndexHookTable.PriorRecord();
            if ((IndexHookTable.IndexBof && IndexHookTable.IndexBof()) || next < 1 || next > a->RecordCount) {
              reachedStart = true;
              break;
            }
          } else {
            if (rec <= 1) {
              reachedStart = true;
              break;
            }
            next = std::min(rec - 1, a->RecordCount);
          }
        }
        ReadForTest(*a, next);
        rec = next;
        lastVisible = RecordVisible(*a);
        if (lastVisible) --remaining;
      }
      if (a->TypedPending) LoadTypedRecord(*a);
    }
    if (reachedEnd) {
      a->CurrentRecord = a->RecordCount + 1;
      a->Eof = true;
      BlankRecord(*a);
      if (indexed) CallSlot(IndexHookTable.SyncOrder);
    } else if (reachedStart) {
      GoTop();
      a->Bof = true;
      if (indexed) CallSlot(IndexHookTable.SetIndexBof);
    } else if (!lastVisible) {
      if (n > 0) {
        a->Eof = true;
        if (indexed) CallSlot(IndexHookTable.SetIndexEof);
      } else {
        a->Bof = true;
        if (indexed) CallSlot(IndexHookTable.SetIndexBof);
      }
    } else if (indexed) {
      CallSlot(IndexHookTable.TakeKey);
    }
  }
  RunAfterMove(*a);
}

bool dEOF() {
  WorkArea* a = CheckWorkArea("dEOF");
  if (!a) return true;
  if (Indexed() && IndexHookTable.IndexEof) return IndexHookTable.IndexEof();
  RefreshBeyond(*a, a->CurrentRecord);
  if (a->CurrentRecord > a->RecordCount) a->Eof = true;
  return a->Eof;
}

bool dBOF() {
  WorkArea* a = CheckWorkArea("dBOF");
  if (!a) return true;
  if (Indexed() && IndexHookTable.IndexBof) return IndexHookTable.IndexBof();
  return a->Bof;
}

uint32_t RecNo() {
  const WorkArea* a = CheckWorkArea("RecNo");
  return a ? a->CurrentRecord : 0;
}

uint32_t RecCount() {
  WorkArea* a = CheckWorkArea("RecCount");
  if (!a) return 0;
  Refresh(*a);
  return a->RecordCount;
}

uint32_t RecSize() {
  const WorkArea* a = CheckWorkArea("RecSize");
  return a ? a->RecordLength : 0;
}

void SetIgnoreDel(bool on) {
  WorkArea* a = CheckWorkArea("SetIgnoreDel");
  if (a) a->IgnoreDeleted = on;
}

AfterMoveProc SetAfterMove(AfterMoveProc proc) {
  WorkArea* a = CheckWorkArea("SetAfterMove");
  if (!a) return nullptr;
  const AfterMoveProc previous = a->AfterMove;
  a->AfterMove = proc;
  if (proc) RunAfterMove(*a);
  return previous;
}

bool RevalidatePosition() {
  WorkArea* a = CheckWorkArea("RevalidatePosition");
  if (!a) return false;
  RefreshBeyond(*a, a->CurrentRecord);
  if (!a->Eof && a->CurrentRecord >= 1 && a->CurrentRecord <= a->RecordCount && RecordVisible(*a))
    return false;
  const uint32_t old = a->CurrentRecord;
  const AfterMoveProc proc = a->AfterMove;
  a->AfterMove = nullptr;
  struct Restore {
    uint8_t area;
    AfterMoveProc proc;
    ~Restore() {
      if (WorkArea* w = WorkAreaTable[area]) w->AfterMove = proc;
    }
  } restore{CurrentArea, proc};
  Unlock();
  if (!a->Eof) SKIP(1);
  if (a->Eof && a->RecordCount > 0) {
    if (old >= 1 && old <= a->RecordCount) {
      ReadAndLoad(*a, old);
    } else {
      a->CurrentRecord = a->RecordCount + 1;
    }
    a->Eof = false;
    SKIP(-1);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Appending and direct access

namespace {

// The lock of the record an append is about to write (shared mode, a table locked by ALock): taken
// before the write, released when the append is done.
class NewRecordLock {
 public:
  NewRecordLock(WorkArea& a, bool wanted) : a_(a), n_(a.RecordCount + 1) {
    if (!wanted || !KelpieSharedMode || a.Exclusive || a.IsVirtual || a.LockState == LockWholeFile ||
        std::find(a.LockedRecords.begin(), a.LockedRecords.end(), n_) != a.LockedRecords.end())
      return;
    if (!LockWithRetry(a.Handle, RecordLockOffset(a, n_), a.RecordLength)) {
      SetError(33, "Datensatz " + std::to_string(n_) + " ist von einem anderen Programm gesperrt: " + a.FileName +
                       " [APPEND]");
      failed_ = true;
      return;
    }
    held_ = true;
  }
  ~NewRecordLock() {
    if (held_) LockRegion(true, a_.Handle, RecordLockOffset(a_, n_), a_.RecordLength);
  }
  NewRecordLock(const NewRecordLock&) = delete;
  NewRecordLock& operator=(const NewRecordLock&) = delete;
  bool Held() const { return !failed_; }

 private:
  WorkArea& a_;
  uint32_t n_;
  bool held_ = false;
  bool failed_ = false;
};

}  // namespace

void Append() {
  KelpieErrorCode = 0;
  WorkArea* a = CheckWorkArea("APPEND");
  if (!a) return;
  if (KelpieSharedMode && !a->Exclusive && !a->IsVirtual && a->LockState != LockWholeFile &&
      a->LockState != LockTable) {
    SetError(5, "Datei muß gesperrt sein zum Anhängen: " + a->FileName + " [APPEND]");
    return;
  }
  // The record is written only under the writers' lock of the indexes, and stays locked until its
  // keys are in: no other program counts, locks or rewrites a record that its indexes lack.
  const bool indexed = Indexed() && IndexHookTable.AppendKeys;
  {
    IndexChange change(indexed);
    if (!change.Held()) return;
    Refresh(*a);
    NewRecordLock recordLock(*a, indexed);
    if (!recordLock.Held() || !MemosWritten(*a, true)) return;
    StoreTypedRecord(*a);
    AppendDbfRecord(*a);
    if (KelpieErrorCode != 0) return;
    LoadTypedRecord(*a);
    if (indexed) IndexHookTable.AppendKeys();
  }
  a->Eof = a->Bof = false;
  RunAfterMove(*a);
}

void InvalidatePeekCache(const WorkArea& area) {
  if (!peekCache.FileName.empty() && peekCache.FileName == area.FileName) peekCache.Clear();
}

std::string Peek(int n, uint32_t recno) {
  WorkArea* a = CheckWorkArea("Peek");
  if (!a) return {};
  const std::string tag = " [Peek(" + std::to_string(n) + "," + std::to_string(recno) + ")]";
  if (a->IsVirtual) {
    SetError(1100, "Search-Befehl bei virtuellen Dateien nicht erlaubt. [Peek]");
    return {};
  }
  if (n < 0 || n > a->FieldCount) {
    SetError(220, "Ungültige Feldnr." + tag);
    return {};
  }
  RefreshBeyond(*a, recno);
  if (recno < 1 || recno > a->RecordCount) {
    SetError(212, "DBF: " + a->FileName + tag);
    return {};
  }
  const size_t len = a->RecordLength;
  std::vector<uint8_t> one;
  const uint8_t* rec = nullptr;
  if (PeekCacheSize > 0) {
    if (peekCache.FileName != a->FileName || recno < peekCache.First ||
        recno >= peekCache.First + peekCache.Count) {
      peekCache.Clear();
      size_t bytes = std::min<size_t>({PeekCacheSize, 65520, static_cast<size_t>(MemAvail()) / 2});
      size_t records = std::max<size_t>(1, bytes / len);
      records = std::min<size_t>(records, a->RecordCount - recno + 1);
      try {
        peekCache.Data.resize(records * len);
      } catch (const std::bad_alloc&) {
        SetError(217, "Insufficient memory for cache [Peek]");
        return {};
      }
      const ssize_t got = ReadSome(a->Handle, peekCache.Data.data(), peekCache.Data.size(),
                                   RecordFilePos(*a, recno));
      if (got < static_cast<ssize_t>(len)) {
        const int code = got < 0 ? IoCodeFromErrno(errno) : 213;
        peekCache.Clear();
        SetError(code, "DBF: " + a->FileName + tag);
        return {};
      }
      peekCache.Count = static_cast<uint32_t>(static_cast<size_t>(got) / len);
      peekCache.Data.resize(peekCache.Count * len);
      TranslateRecords(false, a->Oem, a->ReadHook, peekCache.Data.size(), len, peekCache.Data.data());
      peekCache.First = recno;
      peekCache.FileName = a->FileName;
    }
    rec = peekCache.Data.data() + (recno - peekCache.First) * len;
  } else {
    one.resize(len);
    const ssize_t got = ReadSome(a->Handle, one.data(), len,
                                 RecordFilePos(*a, recno));
    if (got != static_cast<ssize_t>(len)) {
      SetError(got < 0 ? IoCodeFromErrno(errno) : 213, "DBF: " + a->FileName + tag);
      return {};
    }
    TranslateRecords(false, a->Oem, a->ReadHook, len, len, one.data());
    rec = one.data();
  }
  if (n == 0) return std::string(reinterpret_cast<const char*>(rec), len);
  const auto& f = a->Fields[n - 1];
  return std::string(reinterpret_cast<const char*>(rec + f.Offset), f.Length);
}

void Poke(const std::string& value, int n, uint32_t recno) {
  WorkArea* a = CheckWorkArea("Poke");
  if (!a) return;
  const std::string tag = " [Poke(" + value + "," + std::to_string(n) + "," + std::to_string(recno) + ")]";
  if (a->IsVirtual) {
    SetError(1100, tag);
    return;
  }
  if (n < 1 || n > a->FieldCount) {
    SetError(220, "Ungültige Feldnr." + tag);
    return;
  }
  RefreshBeyond(*a, recno);
  if (recno < 1 || recno > a->RecordCount) {
    SetError(212, "Ungültige Datensatznr. = " + std::to_string(recno) + tag);
    return;
  }
  if (KelpieSharedMode && !a->Exclusive && !IsLocked(recno)) {
    SetError(1200, "Datensatz nicht gesperrt " + std::to_string(recno) + " Datenbank " +
                       Quoted(a->FileName) + tag);
    return;
  }
  const auto& f = a->Fields[n - 1];
  std::string text = value.substr(0, f.Length);
  if (f.Type == 'N' || f.Type == 'F' || f.Type == 'M') text.insert(0, f.Length - text.size(), ' ');
  else text.resize(f.Length, ' ');
  if (a->Oem) text = AnsiToOemCopy(text);
  InvalidatePeekCache(*a);
  DropReadAhead(*a);
  if (!WriteAt(a->Handle, text.data(), text.size(), RecordFilePos(*a, recno) + f.Offset)) {
    SetError(101, "DBF: " + a->FileName + tag);
    return;
  }
  if (a->UpdateState != UpdateAppended) a->UpdateState = UpdateRewritten;
}

// ---------------------------------------------------------------------------------------------------
// Locks

int LockRegion(bool unlock, int handle, uint64_t offset, uint64_t length) {
  if (!KelpieSharedMode) return 0;
  struct flock fl{};
  fl.l_type = unlock ? F_UNLCK : F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  if (::fcntl(handle, F_OFD_SETLK, &fl) == 0) return 0;
  return IoCodeFromErrno(errno);
}

void DelayMs(int ms) {
  using clock = std::chrono::steady_clock;
  const auto end = clock::now() + std::chrono::milliseconds(ms);
  while (clock::now() < end) {
    if (ms >= 10 && KelpieProcessMessages && !KelpieProcessMessages()) return;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::microseconds(ms >= 10 ? 5000 : 1000)));
  }
}

bool LockWithRetry(int handle, uint64_t offset, uint64_t length) {
  for (;;) {
    const int attempts = std::max(0, LockRetries) + 1;
    for (int i = 0; i < attempts; ++i) {
      if (LockRegion(false, handle, offset, length) == 0) return true;
      if (i + 1 < attempts) DelayMs(LockWaitMs);
    }
    if (!LockRetryCallback || !LockRetryCallback()) return false;
  }
}

bool ALock() {
  WorkArea* a = CheckWorkArea("ALock");
  if (!a) return false;
  if (a->IsVirtual) {
    SetError(1100, " [ALock]");
    return false;
  }
  if (a->LockState == LockTable || a->LockState == LockWholeFile) return true;
  if (KelpieSharedMode && !a->Exclusive && !LockWithRetry(a->Handle, LockBaseOffset + 1, 1)) return false;
  a->LockState = LockTable;
  return true;
}

bool LockBaseByte() {
  WorkArea* a = CheckWorkArea("LockBaseByte");
  return a && !a->IsVirtual && LockWithRetry(a->Handle, LockBaseOffset, 1);
}

bool UnlockBaseByte() {
  WorkArea* a = CheckWorkArea("UnlockBaseByte");
  if (!a || a->IsVirtual) return false;
  const int code = LockRegion(true, a->Handle, LockBaseOffset, 1);
  if (code != 0) {
    SetError(code, "Fehler beim Entsperren der Datei " + a->FileName + " in Bereich " + AreaText());
    return false;
  }
  return true;
}

bool IsLocked(uint32_t recno) {
  WorkArea* a = CheckWorkArea("IsLocked");
  if (!a) return false;
  if (a->IsVirtual) {
    SetError(1100, "[IsLocked]");
    return false;
  }
  if (a->LockState == LockWholeFile) return true;
  return std::find(a->LockedRecords.begin(), a->LockedRecords.end(), recno) != a->LockedRecords.end();
}

bool LockRecord(uint32_t n) {
  WorkArea* a = CheckWorkArea("LockRecord");
  if (!a || a->IsVirtual || n < 1) return false;
  if (std::find(a->LockedRecords.begin(), a->LockedRecords.end(), n) != a->LockedRecords.end()) return true;
  if (KelpieSharedMode && !a->Exclusive && !LockWithRetry(a->Handle, RecordLockOffset(*a, n), a->RecordLength))
    return false;
  a->LockedRecords.push_back(n);
  a->LockCount = static_cast<uint16_t>(a->LockedRecords.size());
  if (a->LockState == LockNone) a->LockState = LockRecords;
  return true;
}

namespace {

bool ReleaseRecord(WorkArea& a, size_t index) {
  const uint32_t n = a.LockedRecords[index];
  a.LockedRecords.erase(a.LockedRecords.begin() + static_cast<long>(index));
  a.LockCount = static_cast<uint16_t>(a.LockedRecords.size());
  if (a.LockedRecords.empty() && a.LockState == LockRecords) a.LockState = LockNone;
  if (a.Exclusive) return true;
  return LockRegion(true, a.Handle, RecordLockOffset(a, n), a.RecordLength) == 0;
}

}  // namespace

bool UnlockRec(int32_t n) {
  WorkArea* a = CheckWorkArea("UnlockRec");
  if (!a) return false;
  const std::string tag = " [UnlockRec(" + std::to_string(n) + ")]";
  if (n >= 1) {
    const auto it = std::find(a->LockedRecords.begin(), a->LockedRecords.end(), static_cast<uint32_t>(n));
    if (it == a->LockedRecords.end()) {
      SetError(1200, "Record not locked." + tag);
      return false;
    }
    return ReleaseRecord(*a, static_cast<size_t>(it - a->LockedRecords.begin()));
  }
  if (n == -1 || n == -2) {
    if (a->LockedRecords.empty()) return true;
    return ReleaseRecord(*a, n == -1 ? a->LockedRecords.size() - 1 : 0);
  }
  if (n == -3) {
    bool ok = true;
    while (!a->LockedRecords.empty()) ok = ReleaseRecord(*a, a->LockedRecords.size() - 1) && ok;
    return ok;
  }
  SetError(220, "Unzulässiger Parameter" + tag);
  return false;
}

void Unlock() {
  WorkArea* a = CheckWorkArea("Unlock");
  if (!a || a->IsVirtual) return;
  while (!a->LockedRecords.empty()) ReleaseRecord(*a, a->LockedRecords.size() - 1);
  if (!a->Exclusive) {
    if (a->LockState == LockWholeFile) LockRegion(true, a->Handle, LockBaseOffset + 1, WholeFileLockLength);
    else if (a->LockState == LockTable) LockRegion(true, a->Handle, LockBaseOffset + 1, 1);
  }
  a->LockState = LockNone;
}

// ---------------------------------------------------------------------------------------------------
// Dataset side

bool s_IsEmptyDbf() {
  const WorkArea* a = CurrentWorkArea();
  return !a || (a->Bof && a->Eof);
}

void SetDatasetIgnoreDel(bool on) { SetIgnoreDel(on); }

std::string DatasetTableName(const std::string& name) {
  std::string t = AllTrim(name);
  std::string dir, base, ext;
  SplitPath(t, dir, base, ext);
  if (!t.empty() && t.back() == '.') t.pop_back();
  else if (!ext.empty()) return t;
  return t + ".DBF";
}

void DateStyleFromPlatform() {
  const uint16_t id = UserLanguageId();
  const int primary = id & 0x3FF;
  std::string format = "M/d/yyyy";
  switch (primary) {
    case 0x07: case 0x19: format = "dd.MM.yyyy"; break;
    case 0x09: format = (id >> 10) == 1 ? "M/d/yyyy" : "dd/MM/yyyy"; break;
    case 0x0A: case 0x0C: case 0x10: format = "dd/MM/yyyy"; break;
    default: break;
  }
  SetRegionalDefaults(id);
  std::string upper = UpperString(format);
  CenturyFlag = upper.find("YYYY") != std::string::npos;
  int style = 0;
  const char first = format.empty() ? ' ' : format[0];
  if (first == 'Y' || first == 'y') {
    style = 1;
  } else if (first == 'D' || first == 'd') {
    const size_t sep = format.find_first_not_of("dD");
    const char s = sep == std::string::npos ? ' ' : format[sep];
    style = s == '-' ? 3 : s == '.' ? 5 : 2;
  }
  SetDateFormat(style);
}

}  // namespace qern::kelpie
