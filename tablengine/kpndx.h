// NDX index files of the table engine: the B-tree of 512-byte blocks, up to 16 orders per work
// area, seek and stepping, key upkeep on append and change, creation by sorting, the semaphore
// files through which programs share a table's indexes, and the hooks into the engine core.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qern::kelpie {

constexpr int MaxOrders = 16;
constexpr int NdxBlockSize = 512;
constexpr int MaxKeyLength = 100;

// A user-supplied key function: the key bytes of the current record.
using KeyMaker = std::string (*)(void* arg);

// Settings of the index unit.
extern uint32_t IndexCacheSize;      // node cache of the controlling order in bytes (4096)
extern bool IndexNoCache;            // engine-wide: no node cache
extern int SemaphoreWaitLimit;       // seconds a writer waits for readers (100; 0 or less: no limit)
extern std::string SemaphoreFolder;  // empty: the table's folder
extern uint32_t IndexSortRunItems;   // keys sorted in memory per run of the index creation
// Called IndexProgressCalls times, at even intervals, while an index is built.
extern std::function<void()> IndexProgress;
extern int IndexProgressCalls;
// Set by seek and stepping when the key at the position is the one sought.
extern bool IndexFound;

// Opens an index file (name with the options " UNIQUE", " NOCACHE", " SOUNDEX", " DESCENDING")
// as order 1..16 of the current area and makes it the controlling order.
bool SetIndexTo(const std::string& nameWithOptions, int order, KeyMaker maker = nullptr, void* arg = nullptr);
// 0: natural order; 1..16 an open order.
void Set_Order_To(int order);
int CurrentOrder();
void CloseIndex(int order);
void CloseIndexes();

// Seeks a key in the controlling order and positions the table on its record (character keys:
// the text, compared over its length; numeric keys: a number; date keys: "YYYYMMDD"). Not found:
// end of file. Returns the found flag.
bool Seek(const std::string& value);
bool SeekNum(double value);

// Builds an index file by sorting every record of the current table (it is not opened).
void MakeIndex(const std::string& nameWithOptions, const std::string& expression, KeyMaker maker = nullptr,
               void* arg = nullptr);
// Rebuilds every open order of the current area.
void Reindex();

// The character key of a value: lower case, umlauts and sharp s spelt out, at most 100 bytes.
std::string CollationKey(const std::string& value, bool oem);
// A key expression without blanks outside strings, upper case, strings in double quotes.
std::string NormalizeKeyExpr(const std::string& expression);
const std::string& KeyMakerMarker();

// Semaphore actions for the current area.
enum SemaphoreAction : int { SemLogin = 0, SemLogout, SemIncRead, SemDecRead, SemLock, SemUnlock };
void HandleSemafore(int action);
// Counted brackets around index reads and changes; entering gives false when the bracket could not
// be taken (its error reported), and such an entry is not to be left.
bool SetReadSemaphoreProc(bool enter);
bool SetLockSemaphoreProc(bool enter);
// The semaphore file of a table.
std::string SemaphoreFileName(const std::string& tableName);

// Information about the orders of the current area.
std::string OrderFileName(int order);
std::string OrderKeyText(int order);
bool OrderAscending(int order);
bool OrderSoundex(int order);

// Every entry of an order in key order (record numbers), read straight from the file.
std::vector<uint32_t> IndexWalk(int order);

// Installs the index unit into the engine core's hook table.
void IndexInit();

}  // namespace qern::kelpie
