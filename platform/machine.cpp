// Machine facts from Linux interfaces: uname, /etc/os-release, sysinfo, statvfs, getifaddrs,
// /proc/cpuinfo and /proc/self/exe. Files are read with platform/sysfile: nothing here throws.
#include "platform/machine.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <limits.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/sysfile.h"

namespace qern {

std::string HostName() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return "";
  return buf;
}

std::string UserName() {
  if (passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
  if (const char* u = std::getenv("USER")) return u;
  return "";
}

void KernelVersion(int& major, int& minor) {
  major = minor = 0;
  utsname u{};
  if (::uname(&u) != 0) return;
  std::sscanf(u.release, "%d.%d", &major, &minor);
}

std::string OsName() {
  for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::string text;
    ReadSystemFile(file, text);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
      std::string v = line.substr(12);
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      if (!v.empty()) return v;
    }
  }
  utsname u{};
  if (::uname(&u) == 0) return u.sysname;
  return "";
}

uint64_t TotalMemoryBytes() {
  struct sysinfo si {};
  if (::sysinfo(&si) != 0) return 0;
  return static_cast<uint64_t>(si.totalram) * si.mem_unit;
}

uint64_t DiskSizeBytes(const std::string& path) {
  struct statvfs st {};
  if (::statvfs(path.empty() ? "." : path.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
}

uint64_t DiskFreeBytes(const std::string& path) {
  struct statvfs st {};
  if (::statvfs(path.empty() ? "." : path.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

std::string MountPointOf(const std::string& path) {
  char real[PATH_MAX];
  if (!::realpath(path.empty() ? "." : path.c_str(), real)) return "/";
  std::string p = real;
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return "/";
  if (!S_ISDIR(st.st_mode)) p = p.substr(0, p.rfind('/'));
  if (p.empty()) return "/";
  dev_t dev = st.st_dev;
  // Climb while the parent still lies on the same device.
  while (p != "/") {
    size_t slash = p.rfind('/');
    std::string parent = slash == 0 ? "/" : p.substr(0, slash);
    struct stat ps {};
    if (::stat(parent.c_str(), &ps) != 0 || ps.st_dev != dev) break;
    p = parent;
  }
  return p;
}

namespace {
// A field of /proc/mounts with its octal escapes ("\040" for a blank) decoded.
std::string MountField(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
        s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      r += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      r += s[i];
    }
  }
  return r;
}
}  // namespace

std::string FileSystemTypeIn(const std::string& mountTable, const std::string& mountPoint) {
  std::string type, line;
  std::istringstream in(mountTable);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, point, fsType;
    if (!(fields >> device >> point >> fsType)) continue;
    if (MountField(point) == mountPoint) type = fsType;
  }
  return type;
}

std::string FileSystemType(const std::string& path) {
  std::string table;
  if (!ReadSystemFile("/proc/self/mounts", table)) return "";
  return FileSystemTypeIn(table, MountPointOf(path));
}

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> out, loopback;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return out;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP)) continue;
    char buf[INET_ADDRSTRLEN] = {};
    auto* in = reinterpret_cast<sockaddr_in*>(a->ifa_addr);
    if (!::inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf)) continue;
    (a->ifa_flags & IFF_LOOPBACK ? loopback : out).push_back(buf);
  }
  ::freeifaddrs(list);
  return out.empty() ? loopback : out;
}

double CpuClockMHz() {
  std::string text;
  ReadSystemFile("/proc/cpuinfo", text);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("cpu MHz", 0) != 0) continue;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    // from_chars: the text has a point whatever the locale says.
    std::string v = line.substr(colon + 1);
    size_t start = v.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    double mhz = 0;
    std::from_chars(v.data() + start, v.data() + v.size(), mhz);
    if (mhz > 0) return mhz;
  }
  std::string freq;
  ReadSystemFile("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", freq);
  double khz = 0;
  std::from_chars(freq.data(), freq.data() + freq.size(), khz);
  return khz > 0 ? khz / 1000.0 : 0;
}

std::string ProgramFilePath() {
  char buf[PATH_MAX] = {};
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace qern
