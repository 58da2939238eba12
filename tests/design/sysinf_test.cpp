// System information lines: the label layout, a file system that cannot be read, two network
// addresses, the megabyte format, and the facts of this machine.
#include "design/sysinf.h"

#include <gtest/gtest.h>

#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "platform/machine.h"

namespace qern {
namespace {

SystemFacts Sample() {
  SystemFacts f;
  f.ComputerName = "werkstatt-7";
  f.UserName = "jäger";
  f.ProgramFile = "/opt/QERN/bin/wqern";
  f.FileSystem = "ext4";
  f.DiskReadable = true;
  f.DiskTotalBytes = 500000000000ULL;
  f.DiskFreeBytes = 1048576ULL * 512;
  f.OsVersionName = "6.1 Debian GNU/Linux 12 (bookworm)";
  f.CpuMHz = 2893.2;
  f.SystemInfo = "werkstatt-7/6.1/2.9GHz/16000MB/500GB/";
  f.Addresses = {"192.168.1.20", "10.0.0.5"};
  return f;
}

TEST(SystemInfo, LinesInTheirOrderAndLayout) {
  SetDecimalSeparator('.');
  const std::vector<std::string> expected = {
      "PC Name     : werkstatt-7",
      "User        : jäger",
      "File name   : /opt/qern/bin/wqern",
      "File syst.  : ext4",
      "HD total    : 476,837 MB",
      "HD free     :    512 MB",
      "Operat.sys. : 6.1 Debian GNU/Linux 12 (bookworm)",
      "Clock speed : 2893 MHz",
      "werkstatt-7/6.1/2.9GHz/16000MB/500GB/",
      "IP-Adress:",
      "192.168.1.20",
      "10.0.0.5",
  };
  EXPECT_EQ(SystemInfoLines(Sample()), expected);

  // A file system that cannot be read: one line in place of both sizes, then the rest.
  SystemFacts f = Sample();
  f.DiskReadable = false;
  f.Addresses = {"127.0.0.1"};
  const auto lines = SystemInfoLines(f);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[4], "File system error");
  EXPECT_EQ(lines[5], "Operat.sys. : 6.1 Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(lines[9], "127.0.0.1");

  SetDecimalSeparator(',');
  EXPECT_EQ(MegabyteText(1048576ULL * 1234567), "1.234.567");
  SetDecimalSeparator('.');
  EXPECT_EQ(MegabyteText(0), "     0");
}

TEST(SystemInfo, FactsOfThisMachine) {
  const SystemFacts f = CurrentSystemFacts();
  const auto lines = SystemInfoLines(f);
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "PC Name     : " + HostName());
  EXPECT_FALSE(f.ComputerName.empty());
  EXPECT_EQ(lines[2], "File name   : " + LowerStr(ProgramFilePath()));
  EXPECT_FALSE(f.FileSystem.empty());
  EXPECT_TRUE(f.DiskReadable);
  EXPECT_EQ(lines[4].rfind("HD total    : ", 0), 0u);
  EXPECT_EQ(lines[9], "IP-Adress:");
  EXPECT_EQ(lines.size(), 10 + f.Addresses.size());
}

TEST(SystemInfo, FileSystemTypeOfAMountPoint) {
  const std::string table =
      "/dev/sda1 / ext4 rw 0 0\n"
      "tmpfs /tmp tmpfs rw 0 0\n"
      "/dev/sdb1 /mnt/mein\\040Laufwerk vfat rw 0 0\n"
      "overlay /tmp overlay rw 0 0\n";
  EXPECT_EQ(FileSystemTypeIn(table, "/"), "ext4");
  EXPECT_EQ(FileSystemTypeIn(table, "/tmp"), "overlay");  // the later mount covers the earlier
  EXPECT_EQ(FileSystemTypeIn(table, "/mnt/mein Laufwerk"), "vfat");
  EXPECT_EQ(FileSystemTypeIn(table, "/home"), "");
}

}  // namespace
}  // namespace qern
