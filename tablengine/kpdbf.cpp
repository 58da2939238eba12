// DBF table file: header, records, end marker, code pages, typed record, opening and creating tables.
#include "tablengine/kpdbf.h"

namespace qern::kelpie {

bool ValidVersion(uint8_t) { return false; }
bool SupportedVersion(uint8_t) { return false; }
bool VersionHasMemo(uint8_t) { return false; }
void GetDbfRecord(WorkArea&, uint32_t) {}
void PutDbfRecord(WorkArea&, uint32_t) {}
void AppendDbfRecord(WorkArea&) {}
void WriteDbfHeader(WorkArea&) {}
void UpdateHeader(WorkArea&) {}
void CloseDbf(WorkArea&) {}
void FlushFile(WorkArea&) {}
uint32_t RecCountFromFile(WorkArea&) { return 0; }
void TranslateRecords(bool, bool, RecordHook, size_t, size_t, uint8_t*) {}
size_t TypedSlotSize(const FieldDescriptor&) { return 0; }
void LoadTypedRecord(WorkArea&) {}
void StoreTypedRecord(WorkArea&) {}
std::string TypedChar(const WorkArea&, const FieldDescriptor&) { return {}; }
void SetTypedChar(WorkArea&, const FieldDescriptor&, const std::string&) {}
double TypedNumber(const WorkArea&, const FieldDescriptor&) { return 0; }
int64_t TypedInteger(const WorkArea&, const FieldDescriptor&) { return 0; }
void SetTypedNumber(WorkArea&, const FieldDescriptor&, double) {}
void SetTypedInteger(WorkArea&, const FieldDescriptor&, int64_t) {}
bool TypedLogical(const WorkArea&, const FieldDescriptor&) { return false; }
void SetTypedLogical(WorkArea&, const FieldDescriptor&, bool) {}
int32_t TypedMemoBlock(const WorkArea&, const FieldDescriptor&) { return 0; }
void SetTypedMemoBlock(WorkArea&, const FieldDescriptor&, int32_t) {}
std::string NumberFieldText(double, int, int) { return {}; }
std::string IntegerFieldText(int64_t, int) { return {}; }
std::string MemoExtension(uint8_t) { return "DBT"; }
bool CreateMemoFile(const std::string&, uint8_t, uint16_t, const std::string&) { return false; }
uint32_t SwapLong(uint32_t v) { return __builtin_bswap32(v); }
uint16_t SwapWord(uint16_t v) { return __builtin_bswap16(v); }
bool LanguageIsOem(uint8_t) { return false; }
bool UseDbf(const std::string&, const std::string&, bool) { return false; }
bool CreateDbf(const std::string&, const std::vector<FieldSpec>&, bool, uint8_t) { return false; }
int IoCodeFromErrno(int) { return 0; }

}  // namespace qern::kelpie
