// Reads of the system's own files (/proc, /sys, /etc and the like) that never throw and never
// wait: plain open and read calls, plain files only, a limit on the size. A process can end
// between any two calls, so its entry in /proc may vanish at any moment: that is an ordinary
// failure here, and a process whose entry vanished has ended.
#pragma once

#include <cstddef>
#include <string>

namespace qern {

// Far beyond any system file the program reads (a mount table of thousands of mounts included).
constexpr std::size_t SystemFileLimit = std::size_t{16} << 20;

// The whole text of the plain file name (a file of /proc reports no size: it is read to its
// end). False, with errno set, when it cannot be opened or read, when it is no plain file (a
// folder, pipe or device), or when it holds more than maxBytes (EFBIG); text is then empty.
bool ReadSystemFile(const std::string& name, std::string& text,
                    std::size_t maxBytes = SystemFileLimit);

// The time at which process pid started, in seconds since the epoch, from its stat file in /proc;
// -1 when it is not known. gone (when given) is set when the process has ended: its entry was not
// there or vanished while it was read; else cleared.
double ProcessStartTime(long pid, bool* gone = nullptr);
// The same from a process's stat file given by its name.
double ProcessStartTimeOf(const std::string& statFile, bool* gone = nullptr);

}  // namespace qern
