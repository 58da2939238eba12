// Table engine core: the work-area table, the open-table record, the engine settings, the one error
// routine with its German message table, and the hook tables through which the expression compiler,
// the index unit and the memo unit plug into the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qern::kelpie {

// ---------------------------------------------------------------------------------------------------
// Work areas

constexpr int MaxWorkAreas = 35;     // slots 1..35
constexpr int MaxSelectableArea = 33;  // slots 1..33 reachable through Select; 34, 35 internal

struct CompiledExpr;  // defined by the expression compiler
struct MemoFileState;  // defined by the memo unit
struct WorkArea;

// Field descriptor as kept in memory (the 32-byte descriptor of the file reduced to what is used).
struct FieldDescriptor {
  char Name[11] = {};    // zero-padded, upper case as stored
  char Type = ' ';       // C, D, F, L, M, N (others are carried but take no typed room)
  uint8_t Length = 0;
  uint8_t Decimals = 0;
  uint16_t Offset = 0;   // in the record; the delete flag is byte 0
  uint16_t TypedOffset = 0;  // in the typed record; its byte 0 is the deleted byte
};

// Update state of a table: what must be written back.
enum : uint8_t {
  UpdateClosed = 0,
  UpdateClean = 1,     // header up to date
  UpdateRewritten = 2, // records rewritten: header needs a new date
  UpdateAppended = 3,  // records appended: header needs date and count, the end marker is rewritten
};

// Lock state of a table.
enum : uint8_t {
  LockNone = 0,
  LockWholeFile = 1,
  LockTable = 2,   // by ALock
  LockRecords = 3,
};

// Conversion of whole records before writing and after reading (TranslateRecords).
using RecordHook = void (*)(uint8_t* record, size_t length);
// A filter or scope method: true when the current record counts as visible.
using RecordCondition = std::function<bool()>;
// Run after every positioning of the area.
using AfterMoveProc = void (*)();
// Key of a record of a record list (virtual file).
using VirtualKeyMethod = std::function<std::string()>;

// One open table.
struct WorkArea {
  std::string FileName;          // full name of the table file
  uint8_t Header[32] = {};       // header image as last read or written
  bool MemoFlag = false;         // a memo file belongs to the table
  bool IgnoreDeleted = false;    // deleted records are skipped by navigation
  int16_t HeaderLength = 0;      // byte offset of record 1
  uint16_t RecordLength = 0;     // bytes per record, delete flag included
  uint8_t FieldCount = 0;
  std::vector<FieldDescriptor> Fields;
  uint8_t UpdateState = UpdateClosed;
  std::vector<uint8_t> Record;   // current record in the program's form (ANSI); byte 0 '*' = deleted
  uint32_t RecordCount = 0;
  uint32_t CurrentRecord = 0;    // count + 1 at end of file
  bool Eof = false;
  bool Bof = false;
  bool Oem = false;              // character data stored in the OEM code page
  RecordHook WriteHook = nullptr;
  RecordHook ReadHook = nullptr;

  // The open file (descriptor, -1 = none).
  int Handle = -1;
  // Record list (virtual file) state instead of a file.
  bool IsVirtual = false;
  int VirtualMode = 0;           // mode handed to the virtual-file procedure
  uint32_t VirtualRecNo = 0;     // record number handed to it
  void* VirtualState = nullptr;  // the list unit's own state
  VirtualKeyMethod KeyMethod;

  // The current record as typed field values (LoadTypedRecord / StoreTypedRecord): byte 0 = 1 when
  // deleted, then per field at its TypedOffset: C length byte + text; D length byte + date text of
  // DateStyle, always with a four-digit year (10 characters); N and F with decimals a double, without
  // a signed 64-bit integer; L one byte 1/0; M a signed 32-bit block number.
  std::vector<uint8_t> Typed;
  // The typed record as last loaded: StoreTypedRecord re-encodes only the fields that differ from it
  // or were written since (a value written equal to the loaded one, say 0 on a blank record, is
  // stored too). TypedWritten marks a written field at its TypedOffset.
  std::vector<uint8_t> TypedLoaded;
  std::vector<uint8_t> TypedWritten;
  // While navigation tests a record against a filter expression: the record buffer holds the record
  // but the typed record is not built yet; the expression reads its fields from the buffer.
  bool TypedPending = false;
  // Memo texts put into fields of the typed record (field index from 0, engine bytes): written to
  // the memo file only by the Replace or Append that stores the record, once it holds its locks,
  // and dropped with the typed record.
  std::vector<std::pair<int, std::string>> PendingMemos;

  RecordCondition FilterMethod;
  CompiledExpr* FilterExpr = nullptr;
  AfterMoveProc AfterMove = nullptr;
  std::string Alias;             // up to 64 characters
  RecordCondition ScopeMethod;
  CompiledExpr* ScopeExpr = nullptr;
  MemoFileState* Memo = nullptr;
  uint8_t LockState = LockNone;
  uint16_t LockCount = 0;
  std::vector<uint32_t> LockedRecords;  // oldest first
  std::vector<uint8_t> SpareRecord;
  bool Exclusive = false;        // opened deny-all: the record count is kept in memory

  // The record as it came from the file before conversion (kept for OEM tables only): a field
  // written back unchanged keeps its file bytes (characters the ANSI side lacks survive).
  // ReadImage is the scratch in which the write compares it in the program's form.
  std::vector<uint8_t> FileImage;
  std::vector<uint8_t> ReadImage;
  bool ImageValid = false;

  // The table file mapped shared for reading: records are copied out of the page cache that every
  // program's writes go through, so a read sees the file as it is now, without a call per record.
  // nullptr when the file could not be mapped; then records are read with pread.
  const uint8_t* Map = nullptr;
  size_t MapLength = 0;
  // Records read ahead in exclusive use when the file is not mapped (file form).
  std::vector<uint8_t> ReadAhead;
  uint32_t ReadAheadFirst = 0;
  uint32_t ReadAheadCount = 0;
  uint32_t LastRead = 0;  // the record read last (sequential reads read ahead)
  std::vector<uint8_t> WriteScratch;  // the record in the file's form while it is written
};

// Slots 1..MaxWorkAreas; index 0 is unused.
extern WorkArea* WorkAreaTable[MaxWorkAreas + 1];
extern uint8_t CurrentArea;

// The current work area, nullptr when its slot is empty.
WorkArea* CurrentWorkArea();

// ---------------------------------------------------------------------------------------------------
// Settings

extern char LogicalChars[2];         // [0] false, [1] true; "NY"
extern char DecimalSeparator;
extern char ThousandsSeparator;
extern uint8_t DateStyle;            // 0..8
extern bool CenturyFlag;
extern int CenturyPivot;             // current year - 70
extern uint8_t DefaultVersion;       // 0x8B
extern uint8_t ExtraVersion1;        // further accepted version bytes (0 = none)
extern uint8_t ExtraVersion2;
extern uint16_t MemoBlockSize;       // 512
extern std::string TempFilePrefix;   // "KPP"
extern uint8_t KelpieSharedMode;     // 1: byte-range locks are really taken
extern int LockRetries;              // extra attempts after the first
extern int LockWaitMs;               // between attempts
extern std::function<bool()> LockRetryCallback;  // true: start the attempts again
extern uint64_t LockBaseOffset;      // 0x40000000
constexpr uint64_t WholeFileLockLength = 0x3FFFFFFF;
extern bool ImmediateCommit;
extern uint8_t EndOfFileMarker;      // 0x1A
extern uint32_t PeekCacheSize;       // bytes; 0 = no cache
extern bool KelpieAutoDispatch;
extern std::function<void()> KelpieErrorCallback;
// Raise EKelpieError from the dispatcher. On by default: an engine error never ends the program.
extern bool KelpieRaiseErrors;
// Called while the engine waits for a lock (>= 10 ms waits), so that a window stays responsive;
// returns false when the application is terminating.
extern std::function<bool()> KelpieProcessMessages;

// ---------------------------------------------------------------------------------------------------
// Hook tables of the optional units

// The expression compiler. Evaluate returns a pointer to the result value: for a logical result a
// uint8_t (1 = true), for numbers and dates a double (dates as Julian day numbers), for character
// results a zero-terminated text.
struct ParserHookSlots {
  CompiledExpr* (*Compile)(const std::string& text) = nullptr;       // 0
  void (*Free)(CompiledExpr* expr) = nullptr;                        // 1
  const void* (*Evaluate)(CompiledExpr* expr) = nullptr;             // 2
  std::string (*ResultText)(const void* result) = nullptr;          // 3
  char (*ResultType)(const CompiledExpr* expr) = nullptr;            // C, N, L, D or M
};
extern ParserHookSlots ParserHookTable;
extern bool ParserPresent;

// The index unit; every slot works on the current work area and its controlling order.
struct IndexHookSlots {
  bool (*IndexActive)() = nullptr;                 // 0 an index controls the current area
  void (*SyncOrder)() = nullptr;                   // 1 controlling order to the current record (EOF beyond the last)
  uint32_t (*NextRecord)() = nullptr;              // 2 record of the next key (count + 1 at end)
  uint32_t (*PriorRecord)() = nullptr;             // 3 record of the previous key
  uint32_t (*FirstRecord)() = nullptr;             // 4 record of the first key (count + 1 when none)
  uint32_t (*LastRecord)() = nullptr;              // 5 record of the last key
  bool (*IndexEof)() = nullptr;                    // 6
  bool (*IndexBof)() = nullptr;                    // 7
  void (*AppendKeys)() = nullptr;                  // 8 add the new record's keys
  void (*TakeKey)() = nullptr;                     // 9 controlling order's key from the current record
  void (*SyncAllOrders)() = nullptr;               // 10
  void (*CompareKeys)() = nullptr;                 // 11 update the keys of the changed record
  void (*SetIndexBof)() = nullptr;                 // 12
  void (*SetIndexEof)() = nullptr;                 // 13
  bool* (*FoundFlag)() = nullptr;                  // 14 address of the found flag
  void (*Reindex)() = nullptr;                     // 15
  void (*CloseIndexes)() = nullptr;                // 16 close all indexes of the current area
  void (*Unused17)() = nullptr;                    // 17
  std::string (*OrderFileName)(int order) = nullptr;     // 18
  std::string (*OrderKeyText)(int order) = nullptr;      // 19
  std::string (*ControllingKeyText)() = nullptr;         // 20
  bool (*OrderAscending)(int order) = nullptr;           // 21
  bool (*OrderSoundex)(int order) = nullptr;             // 22
  bool (*ReadSemaphore)(bool enter) = nullptr;           // 23 begin (true) / end (false) of a positioning
  bool (*LockSemaphore)(bool enter) = nullptr;           // 24 begin / end of a change; false: not held
};
extern IndexHookSlots IndexHookTable;
extern bool IndexPresent;

// The memo unit; every slot works on the current work area.
struct MemoTextFile;  // defined by the memo unit
struct MemoHookSlots {
  void (*AssignMemo)(MemoTextFile& file, int32_t& firstBlock) = nullptr;  // 0
  void (*PackMemofile)() = nullptr;                                       // 1
  void (*Use)(const std::string& tableName) = nullptr;                    // 2 open the memo file
  void (*CloseMemofile)() = nullptr;                                      // 3
  int32_t (*CopyMemoToEnd)(int sourceArea, int32_t firstBlock) = nullptr;    // 4
  int32_t (*CopyMemoInPlace)(int sourceArea, int32_t firstBlock) = nullptr;  // 5
  void (*RecreateMemofile)() = nullptr;                                   // 6
  int32_t (*AddMemo)(const std::string& text) = nullptr;                  // 7 returns the first block
  std::string (*ReadMemoOf)(int area, int32_t firstBlock) = nullptr;     // 8 a memo of an area's table
  // 9 writes the memo texts put into the current record (newRecord: none replaces an old memo);
  // false after the error
  bool (*WritePendingMemos)(bool newRecord) = nullptr;
};
extern MemoHookSlots MemoHookTable;
extern bool MemoPresent;

// The record-list unit: one procedure for every operation on a virtual file (mode and record
// number are in the area's VirtualMode and VirtualRecNo).
extern void (*VirtualFileProc)(WorkArea& area);
// The optional skip procedure: supplies the next record number for SKIP.
extern uint32_t (*SkipProc)(int32_t step);

// ---------------------------------------------------------------------------------------------------
// Errors

extern uint16_t KelpieErrorCode;
extern uint16_t KelpieLastError;
extern std::string KelpieErrorText;

class EKelpieError : public std::runtime_error {
 public:
  EKelpieError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}
  int Code;
};

// The single error entry of the engine: stores code and text and, with auto-dispatch on, runs the
// dispatcher (callback, exception, or the stop message).
void SetError(int code, const std::string& text);
// Runs the dispatcher for the pending code.
void DispatchError();
// Sets KelpieAutoDispatch, returns its previous value.
bool SetErrorDispatch(bool on);
// ErrText of the last code + CR LF + the stored text; clears both. Empty when no error.
std::string LastErrorText();
[[noreturn]] void RaiseKelpieError(const std::string& message);
// "Fehler Nr. " + code + " (" + message + ")"; empty for 0.
std::string ErrText(int code);
// The message of a code alone.
std::string ErrMessage(int code);
// The exit status the stop path uses for an error code: never 0, at most 255.
int ExitStatusForError(int code);

// ---------------------------------------------------------------------------------------------------
// Heap, clock, code pages, regional settings

void GetMem(void*& p, uint32_t size);
void FreeMem(void*& p, uint32_t size);
int32_t MemAvail();

// Today; dayOfWeek 1 = Sunday .. 7.
void GetSysDate(int& year, int& month, int& day, int& dayOfWeek);
// Splits a file time stamp (seconds since the epoch, local time).
void SplitFileTime(int64_t stamp, int& year, int& month, int& day, int& hour, int& minute, int& second);

// Byte-wise conversion between the engine's ANSI side (Windows-1252) and its OEM side (CP850).
std::string AnsiToOemCopy(const std::string& src);
std::string OemToAnsiCopy(const std::string& src);
void AnsiToOemBuffer(uint8_t* p, size_t n);
void OemToAnsiBuffer(uint8_t* p, size_t n);

// DateStyle := style (9 or more gives 0); the short date format follows it.
void SetDateFormat(int style);
// The short date format of the current style ("dd.MM.yy" ...) and its separator.
std::string ShortDateFormat();
char DateSeparatorOf(int style);
// From a language identifier (primary = low 10 bits, sublanguage above).
void SetRegionalDefaults(uint16_t languageId);
// The user's language identifier, from LC_ALL / LC_TIME / LANG.
uint16_t UserLanguageId();

// Start of the engine: clears the tables and sets every setting to its start value.
void KelpieInit();
// Closes every area (34, 35, then 1..33); runs at program end once a table was opened, so that
// headers, end markers and records appended under a lock reach the file.
void KelpieShutdown();

}  // namespace qern::kelpie
