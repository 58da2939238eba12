// Tests of the form sizing rules, the date and time texts, the version text and the file helpers.
#include "framework/sysutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "tests/support/testutil.h"

using namespace qern;
using qern::test::ReadWholeFile;
namespace fs = std::filesystem;

namespace {

class SysUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
  }
  qern::test::TempFolder tmp;
  const std::string dir = tmp.Path();
};

TEST_F(SysUtilTest, DialogSizingAndCentring) {
  Settings.FormScalePercent = 150;
  FormRect r = ScaledFormSize({0, 0, 400, 300});
  EXPECT_EQ(r.Width, 600);
  EXPECT_EQ(r.Height, 450);
  Settings.FormScalePercent = 102;
  r = ScaledFormSize({0, 0, 333, 100});
  EXPECT_EQ(r.Width, 339);  // integer division
  Settings.DialogScalingMode = 2;
  EXPECT_EQ(ScaledFormSize({0, 0, 333, 100}).Width, 333);
  EXPECT_EQ(DialogFontFactor(), 1.0);
  Settings.DialogScalingMode = 0;
  Settings.FontScalePercent = 125;
  EXPECT_DOUBLE_EQ(DialogFontFactor(), 1.25);

  FormRect host{100, 50, 800, 600};
  r = CentredOn({0, 0, 400, 300}, host);
  EXPECT_EQ(r.Left, 300);
  EXPECT_EQ(r.Top, 50 + 150 + 20);
  r = CentredOn({0, 0, 1000, 900}, host);  // larger than the window
  EXPECT_EQ(r.Left, 100);
  EXPECT_EQ(r.Top, 70);
}

TEST_F(SysUtilTest, DatesTimesAndVersions) {
  EXPECT_EQ(TimeText(9, 5), "9:05");
  EXPECT_EQ(TimeText(23, 59), "23:59");
  EXPECT_EQ(IsoDateText(2024, 3, 7), "2024-03-07");
  EXPECT_EQ(TodayIso().size(), 10u);
  Settings.DateFormat = 1;
  int y, m, d, w;
  GetDate(y, m, d, w);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(TodayStr(), DateStr(y, m, d));
  std::tm tm{};
  tm.tm_year = 2023 - 1900;
  tm.tm_mon = 0;
  tm.tm_mday = 9;
  tm.tm_hour = 12;
  EXPECT_EQ(FileDateStr(std::mktime(&tm)), "2023/01/09");
  int h, mi, s, hs;
  GetTime(h, mi, s, hs);
  EXPECT_TRUE(h >= 0 && h < 24 && hs >= 0 && hs < 100);

  EXPECT_EQ(GetFileVersion(""), "1.0");
  EXPECT_EQ(VersionNumberText(2, 1, 0, 5), "2.1");  // a build shows only with a release
  EXPECT_EQ(VersionNumberText(2, 1, 3, 0), "2.1.3");
  EXPECT_EQ(VersionNumberText(2, 1, 3, 4), "2.1.3.4");
  EXPECT_EQ(GetFileVersion("/bin/sh"), "0");
  EXPECT_EQ(OsVersionName(10, 0, ""), "10.0");
  EXPECT_EQ(OsVersionName(6, 1, "Debian GNU/Linux 12 (bookworm)"),
            "6.1 Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(MaxPrinterPort(), 3);

  ToggleUnitSystem();
  EXPECT_EQ(Settings.UnitSystem, 1);
  ToggleUnitSystem();
  EXPECT_EQ(Settings.UnitSystem, 0);
}

// The cached dates equal FileDateStr's in every zone: a clock that is set forward or back (by an
// hour, half an hour, or a whole day), at midnight or at night, and the machine's own zone (TZ
// unset). The times come in random order, many on the same days, as a folder's files do.
TEST_F(SysUtilTest, CachedFileDatesAreTheLocalDates) {
  const std::optional<std::string> zones[] = {std::nullopt,
                                              "Europe/Berlin",
                                              "CET-1CEST,M3.5.0,M10.5.0/3",
                                              "<-03>3<-02>,M10.1.0/0,M2.3.0/0",
                                              "Australia/Lord_Howe",
                                              "Pacific/Apia",
                                              "America/St_Johns",
                                              "UTC0"};
  std::mt19937_64 random(51);
  for (const auto& zone : zones) {
    SCOPED_TRACE(zone.value_or("TZ unset"));
    test::ScopedEnv tz("TZ", zone);
    ::tzset();
    FileDateCache cache;
    // Times over seven months (2011-09 to 2012-03: Apia's skipped day and the changes of both
    // halves of the earth), about 300 a day, some on the half hour and a second before.
    std::uniform_int_distribution<std::time_t> span(1314835200, 1314835200 + 215 * 86400);
    int wrong = 0;
    for (int i = 0; i < 20000; ++i) {
      const std::time_t r = span(random);
      for (const std::time_t t : {r, r - r % 1800, r - r % 1800 - 1})
        if (cache.DateOf(t) != FileDateStr(t) && ++wrong < 5)
          ADD_FAILURE() << t << ": " << cache.DateOf(t) << " instead of " << FileDateStr(t);
    }
    EXPECT_EQ(wrong, 0);
    for (const std::time_t t : {std::time_t{0}, std::time_t{-1}, std::time_t{253402300799},
                                std::numeric_limits<std::time_t>::max(),
                                std::numeric_limits<std::time_t>::min()})
      EXPECT_EQ(cache.DateOf(t), FileDateStr(t)) << t;
  }
  ::tzset();
}

TEST_F(SysUtilTest, MachineFactsText) {
  std::string s;
  GetSystemInfoStr(s);
  // host/kernel/GHz/MB/GB/mount point
  EXPECT_GE(std::count(s.begin(), s.end(), '/'), 6) << s;
  EXPECT_NE(s.find("GHz/"), std::string::npos);
  EXPECT_NE(s.find("MB/"), std::string::npos);
  EXPECT_NE(s.find("GB/"), std::string::npos);
  EXPECT_GT(GetDiskSize("/"), 0);
  GetWindowsVersionName(s);
  EXPECT_NE(s.find('.'), std::string::npos);
}

TEST_F(SysUtilTest, CopyFileToAndAttributes) {
  std::ofstream(dir + "/q.txt") << "Daten";
  fs::create_directory(dir + "/sub");
  EXPECT_TRUE(CopyFileTo(dir + "/q.txt", dir + "/sub"));  // into the folder, same name
  EXPECT_EQ(ReadWholeFile(dir + "/sub/q.txt"), "Daten");
  EXPECT_TRUE(CopyFileTo(dir + "/q.txt", dir + "/z.txt"));
  EXPECT_FALSE(CopyFileTo(dir + "/fehlt", dir + "/y.txt"));
  EXPECT_FALSE(fs::exists(dir + "/y.txt"));
  EXPECT_FALSE(CopyFileTo(dir + "/q.txt", dir + "/q.txt"));
  EXPECT_FALSE(CopyFileTo(dir + "/q.txt", dir));  // the folder holds the source itself
  EXPECT_EQ(ReadWholeFile(dir + "/q.txt"), "Daten");
  EXPECT_FALSE(CopyFileTo(dir + "/q.txt", dir + "/fehlt/q.txt"));
  // Nothing but the copies is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 3);

  EXPECT_FALSE(HasFileAttributes(dir + "/fehlt", 0));
  EXPECT_TRUE(HasFileAttributes(dir + "/q.txt", faArchive));
  EXPECT_FALSE(HasFileAttributes(dir + "/q.txt", faDirectory));
  EXPECT_TRUE(HasFileAttributes(dir + "/sub", faDirectory));
  std::ofstream(dir + "/.versteckt") << "";
  EXPECT_TRUE(HasFileAttributes(dir + "/.versteckt", faHidden | faArchive));
}

}  // namespace
