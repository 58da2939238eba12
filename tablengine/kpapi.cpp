// Work-area API: navigation, field access, appending, Peek and Poke, locks and closing areas.
#include "tablengine/kpapi.h"

namespace qern::kelpie {

bool GlobalExclusive = false;
std::string LogicalYes, LogicalNo, LogicalTrue, LogicalFalse;

WorkArea* CheckWorkArea(const std::string&) { return CurrentWorkArea(); }
void Select(int) {}
std::string AreaFileName() { return {}; }
std::string AreaAlias() { return {}; }
void CloseArea() {}
void CloseAll() {}
int SetExclusive(bool) { return 0; }
char FieldType(int) { return ' '; }
int FieldLen(int) { return 0; }
int FieldDec(int) { return 0; }
uint8_t* FieldAddress(int) { return nullptr; }
int FieldCount() { return 0; }
std::string FieldName(int) { return {}; }
int FieldNo(const std::string&) { return 0; }
std::string FieldToStr(int) { return {}; }
void ClearRecord() {}
std::string FieldStr(int) { return {}; }
double FieldNum(int) { return 0; }
int64_t FieldInt(int) { return 0; }
bool FieldBool(int) { return false; }
std::string FieldDate(int) { return {}; }
void PutFieldStr(int, const std::string&) {}
void PutFieldNum(int, double) {}
void PutFieldInt(int, int64_t) {}
void PutFieldBool(int, bool) {}
void PutFieldDate(int, const std::string&) {}
std::string FieldToUtf8(int) { return {}; }
void PutFieldUtf8(int, const std::string&) {}
void Replace() {}
bool Deleted() { return false; }
void SetDeleted(bool) {}
void GoTop() {}
void GO(uint32_t) {}
void Dbf4RawGo(uint32_t) {}
void GoRecord(uint32_t) {}
bool GoValid(uint32_t) { return false; }
void SKIP(int32_t) {}
bool dEOF() { return true; }
bool dBOF() { return true; }
uint32_t RecNo() { return 0; }
uint32_t RecCount() { return 0; }
uint32_t RecSize() { return 0; }
void SetIgnoreDel(bool) {}
AfterMoveProc SetAfterMove(AfterMoveProc) { return nullptr; }
bool RevalidatePosition() { return false; }
void SetFilter(RecordCondition) {}
bool SetFilterExpr(const std::string&) { return false; }
void SetScope(RecordCondition) {}
bool SetScopeExpr(const std::string&) { return false; }
bool RecordVisible(WorkArea&) { return true; }
bool RecordInScope(WorkArea&) { return true; }
void Append() {}
std::string Peek(int, uint32_t) { return {}; }
void Poke(const std::string&, int, uint32_t) {}
int LockRegion(bool, int, uint64_t, uint64_t) { return 0; }
bool LockWithRetry(int, uint64_t, uint64_t) { return true; }
void DelayMs(int) {}
bool ALock() { return true; }
bool LockBaseByte() { return true; }
bool UnlockBaseByte() { return true; }
bool IsLocked(uint32_t) { return false; }
bool LockRecord(uint32_t) { return false; }
bool UnlockRec(int32_t) { return true; }
void Unlock() {}
bool s_IsEmptyDbf() { return true; }
void SetDatasetIgnoreDel(bool) {}
std::string DatasetTableName(const std::string& n) { return n; }
void DateStyleFromPlatform() {}
void KelpieShutdown() {}

}  // namespace qern::kelpie
