// System information lines from the machine layer.
#include "design/sysinf.h"

#include <algorithm>
#include <cmath>

#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/machine.h"

namespace qern {

SystemFacts CurrentSystemFacts() {
  SystemFacts f;
  f.ComputerName = HostName();
  f.UserName = UserName();
  f.ProgramFile = ProgramFilePath();
  const std::string folder = f.ProgramFile.empty() ? "." : ExtractFolder(f.ProgramFile);
  f.FileSystem = FileSystemType(folder);
  f.DiskTotalBytes = DiskSizeBytes(folder);
  f.DiskFreeBytes = DiskFreeBytes(folder);
  f.DiskReadable = f.DiskTotalBytes > 0;
  GetWindowsVersionName(f.OsVersionName);
  f.CpuMHz = GetCpuMHz();
  GetSystemInfoStr(f.SystemInfo);
  f.Addresses = GetLocalIPList();
  return f;
}

std::string MegabyteText(std::uint64_t bytes) {
  const std::string digits = std::to_string((bytes + 524288) / 1048576);
  const std::string sep = DecimalSeparator() == "," ? "." : ",";
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += sep;
    grouped += digits[i];
  }
  return AlignRight(grouped, std::max<int>(6, static_cast<int>(grouped.size())));
}

std::vector<std::string> SystemInfoLines(const SystemFacts& f) {
  std::vector<std::string> lines;
  auto add = [&lines](const std::string& label, const std::string& value) {
    lines.push_back(AlignLeft(label, 12) + ": " + value);
  };
  add("PC Name", f.ComputerName);
  add("User", f.UserName);
  add("File name", LowerStr(f.ProgramFile));
  add("File syst.", f.FileSystem);
  if (f.DiskReadable) {
    add("HD total", MegabyteText(f.DiskTotalBytes) + " MB");
    add("HD free", MegabyteText(f.DiskFreeBytes) + " MB");
  } else {
    lines.push_back("File system error");
  }
  add("Operat.sys.", f.OsVersionName);
  add("Clock speed", IntStr(std::llround(f.CpuMHz)) + " MHz");
  lines.push_back(f.SystemInfo);
  lines.push_back("IP-Adress:");
  for (const std::string& a : f.Addresses) lines.push_back(a);
  return lines;
}

}  // namespace qern
