// The change-log printout: the change log and the title-block references as a listing on any
// listing device.
#pragma once

#include <string>

namespace qern {

// The index of change entry i (1-based) in the printout and the revision table: the number when
// the IndexStyle setting is 1, otherwise the lower-case letter ("a" for 1).
std::string ChangeIndexText(int i);

// Writes the change log through the listing engine; device 1 is the listing window, 0 the default
// (or asked) device. A cancelled device choice or an I/O error sets AbortFlag and ends it.
void PrintChangeLog(int device);

}  // namespace qern
