// Record lists (virtual files): work areas whose records live in a doubly linked list in memory,
// kept in arrival order, as a stack, with insertion after the current record, or sorted by a key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tablengine/kpcore.h"
#include "tablengine/kpdbf.h"

namespace qern::kelpie {

// Where a new record goes.
enum class VirtualKind : uint8_t {
  Append = 0,      // at the end
  Stack = 1,       // at the front; pop takes it back
  Insert = 2,      // after the current record; pop is refused
  Ascending = 3,   // at its key's place, smallest key first
  Descending = 4,  // at its key's place, largest key first
};

// Operations of the virtual-file procedure (the area's VirtualMode; VirtualRecNo names the record).
enum : int {
  VirtualClose = 1,
  VirtualDelete = 2,   // mark the current record deleted
  VirtualRead = 3,     // record VirtualRecNo into the raw record buffer
  VirtualForget = 4,   // empty the list
  VirtualPack = 5,     // remove the records marked deleted
  VirtualPop = 6,      // first record into the buffer and out of the list
  VirtualPush = 7,     // the buffer as a new record, placed by the list kind
  VirtualWrite = 8,    // the buffer as record VirtualRecNo (beyond the count: a new record)
  VirtualRecall = 9,   // clear the delete flag of the current record
  VirtualRemove = 10,  // remove the current record
  VirtualZap = 12,     // remove all records
};

// Result of the last VirtualWrite of an area: 1 the record stayed in place, 2 it moved.
enum : uint8_t { VirtualStayed = 1, VirtualMoved = 2 };

// The virtual-file procedure that the record layer calls; installed by VFilesInit.
void VirtualFileProcedure(WorkArea& area);
void VFilesInit();

// Makes the current work area (closing what it holds) an empty record list with these fields.
// The sorted kinds order records by key(), a text of up to 100 characters taken from the current
// record; keys that are both numbers compare as numbers. False after reporting an error.
bool CreateVirtualFile(const std::vector<FieldSpec>& fields, const std::string& alias, VirtualKind kind,
                       VirtualKeyMethod key = {});

// Stack operations on the current area: PushRec stores the typed record as a new record, PopRec
// takes the first record into the typed record and out of the list.
void PushRec();
void PopRec();
// Removes the records marked deleted / all records of the current record list.
void PackVirtual();
void ZapVirtual();
uint8_t VirtualWriteResult(const WorkArea& area);

}  // namespace qern::kelpie
