// Facts about this machine and its user, read from Linux: host and user name, operating system,
// memory, disk sizes, network addresses and the processor clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qern {

std::string HostName();  // "" when unknown
std::string UserName();  // login name, else $USER, else ""

// Kernel release numbers from uname ("6.1.0-13-amd64" gives 6 and 1); 0 when unknown.
void KernelVersion(int& major, int& minor);
// PRETTY_NAME of /etc/os-release (or /usr/lib/os-release), else uname's system name.
std::string OsName();

uint64_t TotalMemoryBytes();  // physical memory; 0 when unknown
// Size and free space of the file system holding path; 0 when unknown.
uint64_t DiskSizeBytes(const std::string& path);
uint64_t DiskFreeBytes(const std::string& path);
// The mount point of the file system holding path ("/" when nothing better is known).
std::string MountPointOf(const std::string& path);

// Type of the file system mounted at the mount point of path ("ext4", "tmpfs" ...) from
// /proc/self/mounts; "" when unknown.
std::string FileSystemType(const std::string& path);
// The type of mountPoint in a mount table of /proc/mounts lines (the last entry for it wins, as
// a later mount covers an earlier one); octal escapes such as "\040" are decoded.
std::string FileSystemTypeIn(const std::string& mountTable, const std::string& mountPoint);

// Dotted IPv4 addresses of the network interfaces that are up; loopback only when nothing else.
std::vector<std::string> LocalIPv4Addresses();

// Processor clock in MHz from /proc/cpuinfo (else the cpufreq maximum); 0 when unknown.
// Reads files only: no priorities are changed and nothing waits.
double CpuClockMHz();

// Full name of the running program file; "" when unknown.
std::string ProgramFilePath();

}  // namespace qern
