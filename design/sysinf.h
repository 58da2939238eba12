// The lines of the system-information window: facts about this computer, its user, the program
// file and its file system, the operating system, the processor and the network addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qern {

struct SystemFacts {
  std::string ComputerName, UserName, ProgramFile, FileSystem;
  bool DiskReadable = false;  // size and free space of the program's file system are known
  std::uint64_t DiskTotalBytes = 0, DiskFreeBytes = 0;
  std::string OsVersionName;  // GetWindowsVersionName: kernel version and system name
  double CpuMHz = 0;
  std::string SystemInfo;     // GetSystemInfoStr
  std::vector<std::string> Addresses;
};

// The facts of this machine, read through the machine layer.
SystemFacts CurrentSystemFacts();

// The window's lines in their order; labels padded to 12 characters and ": ".
std::vector<std::string> SystemInfoLines(const SystemFacts& facts);

// Whole megabytes (2^20 bytes, rounded) with thousands separators, right-aligned in 6 characters
// (as "%6.0n"); the separator is "." when the decimal separator is ",", else ",".
std::string MegabyteText(std::uint64_t bytes);

}  // namespace qern
