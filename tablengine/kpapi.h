// Work-area API: the dBase commands on the table of the current work area: Select, field access, GO,
// GoTop, SKIP with deleted records, filter and scope, Append under lock, Peek and Poke, the
// byte-range locks, and closing areas.
#pragma once

#include <cstdint>
#include <string>

#include "tablengine/kpcore.h"

namespace qern::kelpie {

// Reports error 215 and returns nullptr when the current slot is empty.
WorkArea* CheckWorkArea(const std::string& routine);

// Areas and tables
void Select(int n);
std::string AreaFileName();
std::string AreaAlias();
void CloseArea();
void CloseAll();
// Registers KelpieShutdown to run at program end (once; the opener calls it).
void CloseTablesAtExit();
int SetExclusive(bool on);
extern bool GlobalExclusive;

// Fields (n from 1)
char FieldType(int n);
int FieldLen(int n);
int FieldDec(int n);
uint8_t* FieldAddress(int n);
int FieldCount();
std::string FieldName(int n);
// Number of the field called name (case-insensitive), 0 when none.
int FieldNo(const std::string& name);
// Display text of field n (engine bytes, ANSI).
std::string FieldToStr(int n);
void ClearRecord();

// Typed reads and writes of the current record's fields (engine bytes). The writes change the
// typed record only; Replace writes it to the file.
std::string FieldStr(int n);           // C: text as stored; D: date text; N, F, L, M: FieldToStr
double FieldNum(int n);
int64_t FieldInt(int n);
bool FieldBool(int n);
// Date of a D field as "YYYYMMDD" (8 blanks when blank).
std::string FieldDate(int n);
void PutFieldStr(int n, const std::string& value);  // C: the text; D: a date text; N, F, L: parsed
void PutFieldNum(int n, double value);
void PutFieldInt(int n, int64_t value);
void PutFieldBool(int n, bool value);
void PutFieldDate(int n, const std::string& yyyymmdd);
// The same in UTF-8 for callers outside the engine (converted to and from the engine's ANSI bytes).
std::string FieldToUtf8(int n);
void PutFieldUtf8(int n, const std::string& utf8);
// Writes the typed record back as the current record.
void Replace();
// Delete flag of the current record (written with Replace).
bool Deleted();
void SetDeleted(bool on);

// Navigation
void GoTop();
void GO(uint32_t n);
void Dbf4RawGo(uint32_t n);
void GoRecord(uint32_t n);
bool GoValid(uint32_t n);
void SKIP(int32_t n = 1);
bool dEOF();
bool dBOF();
uint32_t RecNo();
uint32_t RecCount();
uint32_t RecSize();
void SetIgnoreDel(bool on);
AfterMoveProc SetAfterMove(AfterMoveProc proc);
bool RevalidatePosition();
// Filter and scope of the current area: a method, or an expression compiled through the parser hooks
// ("" removes it).
void SetFilter(RecordCondition method);
bool SetFilterExpr(const std::string& expression);
void SetScope(RecordCondition method);
bool SetScopeExpr(const std::string& expression);
bool RecordVisible(WorkArea& area);
bool RecordInScope(WorkArea& area);

// Appending and direct access
void Append();
std::string Peek(int n, uint32_t recno);
// Empties the Peek cache when it holds records of this table (every write to the table calls it).
void InvalidatePeekCache(const WorkArea& area);
void Poke(const std::string& value, int n, uint32_t recno);

// Locks. The tables' locks lie above LockBaseOffset, outside any real file size: the table lock
// (ALock) at base + 1, the whole file base + 1 .. base + WholeFileLockLength, record n at
// base + header length + (n - 1) x record length, the base byte at base. LockRegion and LockWithRetry
// take absolute offsets (open-file-description locks: the areas of one program exclude each other).
// LockRegion returns 0 or the engine's error code (33 when held elsewhere).
int LockRegion(bool unlock, int handle, uint64_t offset, uint64_t length);
bool LockWithRetry(int handle, uint64_t offset, uint64_t length);
void DelayMs(int ms);
bool ALock();
bool LockBaseByte();
bool UnlockBaseByte();
bool IsLocked(uint32_t recno);
// Locks record n (state 3); true when locked.
bool LockRecord(uint32_t n);
bool UnlockRec(int32_t n);
void Unlock();
// The share-mode byte, relative to LockBaseOffset: every open holds a shared lock on it, an exclusive
// (deny-all) open a write lock.
constexpr uint64_t ShareModeOffset = 0x40000000;

// Dataset side
bool s_IsEmptyDbf();
void SetDatasetIgnoreDel(bool on);
// Trims name and adds ".DBF" when it has no extension.
std::string DatasetTableName(const std::string& name);
void DateStyleFromPlatform();
extern std::string LogicalYes, LogicalNo, LogicalTrue, LogicalFalse;

}  // namespace qern::kelpie
