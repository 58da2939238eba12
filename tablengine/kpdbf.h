// DBF table file: header, field descriptors, reading and writing records, the end marker, code-page
// conversion per table, the typed record, opening and creating tables and creating empty memo files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tablengine/kpcore.h"

namespace qern::kelpie {

// Version bytes the engine knows.
bool ValidVersion(uint8_t version);
// The version bytes whose header layout the engine reads and writes (the others are refused with 1300).
bool SupportedVersion(uint8_t version);
// dBase II's short header: version 2 while no further version byte is configured. Its 8 header
// bytes hold a 16-bit record count, the date (month, day, year) and the record length; 32 field
// descriptors of 16 bytes follow, and the records start at kShortHeaderLength.
bool ShortHeader(uint8_t version);
constexpr uint16_t kShortHeaderLength = 521;
bool VersionHasMemo(uint8_t version);

void GetDbfRecord(WorkArea& area, uint32_t recno);
void PutDbfRecord(WorkArea& area, uint32_t recno);
void AppendDbfRecord(WorkArea& area);
void WriteDbfHeader(WorkArea& area);
void UpdateHeader(WorkArea& area);
void CloseDbf(WorkArea& area);
void FlushFile(WorkArea& area);
void DropReadAhead(WorkArea& area);
uint32_t RecCountFromFile(WorkArea& area);
void TranslateRecords(bool toFile, bool oem, RecordHook hook, size_t length, size_t recordLength,
                      uint8_t* buffer);

// Size of the typed record of a field list (the leading deleted byte included), and the typed slot
// of one field (0 for types that take no room).
size_t TypedSlotSize(const FieldDescriptor& f);
void LoadTypedRecord(WorkArea& area);
void StoreTypedRecord(WorkArea& area);

// Typed access to one field's slot (no checks; the work-area API checks the field number).
std::string TypedChar(const WorkArea& area, const FieldDescriptor& f);      // C and D: the slot text
void SetTypedChar(WorkArea& area, const FieldDescriptor& f, const std::string& s);
double TypedNumber(const WorkArea& area, const FieldDescriptor& f);          // N, F
int64_t TypedInteger(const WorkArea& area, const FieldDescriptor& f);        // N, F (truncated)
void SetTypedNumber(WorkArea& area, const FieldDescriptor& f, double value);
void SetTypedInteger(WorkArea& area, const FieldDescriptor& f, int64_t value);
bool TypedLogical(const WorkArea& area, const FieldDescriptor& f);
void SetTypedLogical(WorkArea& area, const FieldDescriptor& f, bool value);
// Day number of a D field's typed date (0 when blank).
long TypedDateJulian(const WorkArea& area, const FieldDescriptor& f);
void SetTypedDateJulian(WorkArea& area, const FieldDescriptor& f, long jdn);
int32_t TypedMemoBlock(const WorkArea& area, const FieldDescriptor& f);
void SetTypedMemoBlock(WorkArea& area, const FieldDescriptor& f, int32_t block);

// A field's value straight from the record buffer, as LoadTypedRecord would type it (for reads
// while the typed record is pending; a C field is its bytes in the buffer).
double RecordNumber(const WorkArea& area, const FieldDescriptor& f);     // N, F
bool RecordLogical(const WorkArea& area, const FieldDescriptor& f);      // L
long RecordDateJulian(const WorkArea& area, const FieldDescriptor& f);   // D (0 when blank)

// Stored text of a numeric value: right-aligned with the field's decimals, "*" filled when too long.
std::string NumberFieldText(double value, int length, int decimals);
std::string IntegerFieldText(int64_t value, int length);

std::string MemoExtension(uint8_t version);
// The memo file of a table: its extension in the case of the table's ("t.dbf": "t.dbt").
std::string MemoFileName(const std::string& tableName, uint8_t version);
// Creates the empty memo file of a table; false after reporting the error.
bool CreateMemoFile(const std::string& tableName, uint8_t version, uint16_t blockSize,
                    const std::string& routine);
uint32_t SwapLong(uint32_t v);
uint16_t SwapWord(uint16_t v);

// Language-driver bytes written into new tables (header byte 29).
constexpr uint8_t LanguageOem850 = 0x02;
constexpr uint8_t LanguageAnsi1252 = 0x03;
// True for language bytes of DOS code pages.
bool LanguageIsOem(uint8_t languageByte);

// Opens an existing table into the current work area (closing what is there). alias "" takes the
// base name. Errors through SetError; false on failure (the slot stays empty).
bool UseDbf(const std::string& fileName, const std::string& alias = "", bool exclusive = false);

// A field of a table to be created.
struct FieldSpec {
  std::string Name;  // up to 10 characters, stored upper case
  char Type = 'C';
  int Length = 10;
  int Decimals = 0;
};
// Creates a new empty table file (an existing file is replaced) and, for memo fields, its memo
// file. oem: character data in CP850 (language byte 0x02), else Windows-1252 (0x03).
// version 0: 0x03, or 0x83 with memo fields. False after reporting the error.
bool CreateDbf(const std::string& fileName, const std::vector<FieldSpec>& fields, bool oem = false,
               uint8_t version = 0);

// Whole reads and writes at a file offset; false with errno set (0 for a short read).
bool ReadAt(int fd, void* buf, size_t n, uint64_t off);
bool WriteAt(int fd, const void* buf, size_t n, uint64_t off);
// Reads up to n bytes at off; the count read, -1 on an error.
ssize_t ReadSome(int fd, void* buf, size_t n, uint64_t off);

// Marks a table's or an index's use beside other programs: shared by every program that has the
// file open, exclusive for sole use (and an index's creation). False when another program's use
// stands against it.
bool ShareModeLock(int fd, bool exclusive);

// A read-only shared mapping of fd covering at least end bytes, with room for the file to grow (its
// pages show every program's writes); nullptr when it cannot be made. Unmapped with munmap(length).
const uint8_t* MapShared(int fd, uint64_t end, size_t& length);
// Copies n bytes out of such a mapping; false when the pages are gone (the file shrank under it).
bool CopyFromMapping(uint8_t* dst, const uint8_t* src, size_t n);

// Platform errno to the engine's DOS-style code.
int IoCodeFromErrno(int err);

}  // namespace qern::kelpie
