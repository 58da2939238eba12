// Form sizing rules, dates and times, machine facts and the file copy and attribute helpers.
#include "framework/sysutil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <vector>

#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/machine.h"
#include "platform/workfile.h"

#ifndef QERN_VERSION_MAJOR
#define QERN_VERSION_MAJOR 1
#define QERN_VERSION_MINOR 0
#endif

namespace qern {

// ---------------------------------------------------------------------------------------------
// Forms

FormRect ScaledFormSize(FormRect form) {
  if (Settings.DialogScalingMode == 2) return form;
  form.Width = form.Width * Settings.FormScalePercent / 100;
  form.Height = form.Height * Settings.FormScalePercent / 100;
  return form;
}

FormRect CentredOn(FormRect dialog, FormRect host) {
  dialog.Left = host.Left + std::max(0, (host.Width - dialog.Width) / 2);
  dialog.Top = host.Top + std::max(0, (host.Height - dialog.Height) / 2) + 20;
  return dialog;
}

double DialogFontFactor() {
  if (Settings.DialogScalingMode == 2) return 1.0;
  return Settings.FontScalePercent / 100.0;
}

void ToggleUnitSystem() { Settings.UnitSystem = Settings.UnitSystem != 1 ? 1 : 0; }

std::string GetFileVersion(const std::string& fileName) {
  std::string name = TrimBlanks(fileName);
  std::string own = ProgramFilePath();
  bool isOwn = name.empty() || (!own.empty() && (name == own || name == FileNamePart(own)));
  if (!isOwn) return "0";
  return VersionNumberText(QERN_VERSION_MAJOR, QERN_VERSION_MINOR, 0, 0);
}

std::string VersionNumberText(int major, int minor, int release, int build) {
  std::string s = std::to_string(major) + "." + std::to_string(minor);
  if (release > 0) s += "." + std::to_string(release);
  if (release >= 1 && build >= 1) s += "." + std::to_string(build);
  return s;
}

// ---------------------------------------------------------------------------------------------
// Dates and times

namespace {
std::tm LocalNow(int* hundredths = nullptr) {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  std::time_t t = tv.tv_sec;
  std::tm tm{};
  ::localtime_r(&t, &tm);
  if (hundredths) *hundredths = static_cast<int>(tv.tv_usec / 10000);
  return tm;
}

std::string TwoDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}
}  // namespace

void GetDate(int& year, int& month, int& day, int& dayOfWeek) {
  std::tm tm = LocalNow();
  year = tm.tm_year + 1900;
  month = tm.tm_mon + 1;
  day = tm.tm_mday;
  dayOfWeek = 0;
}

void GetTime(int& hour, int& minute, int& second, int& hundredths) {
  std::tm tm = LocalNow(&hundredths);
  hour = tm.tm_hour;
  minute = tm.tm_min;
  second = tm.tm_sec;
}

std::string IsoDateText(int year, int month, int day) {
  return std::to_string(year) + "-" + TwoDigits(month) + "-" + TwoDigits(day);
}

std::string TimeText(int hour, int minute) { return std::to_string(hour) + ":" + TwoDigits(minute); }

std::string TodayIso() {
  int y, m, d, w;
  GetDate(y, m, d, w);
  return IsoDateText(y, m, d);
}

std::string TodayStr() {
  int y, m, d, w;
  GetDate(y, m, d, w);
  return DateStr(y, m, d);
}

std::string TimeStr() {
  int h, m, s, hs;
  GetTime(h, m, s, hs);
  return TimeText(h, m);
}

void TodayIso(std::string& s) { s = TodayIso(); }
void TodayStr(std::string& s) { s = TodayStr(); }
void TimeStr(std::string& s) { s = TimeStr(); }

std::string FileDateStr(std::time_t fileAge) {
  std::tm tm{};
  ::localtime_r(&fileAge, &tm);
  return std::to_string(tm.tm_year + 1900) + "/" + TwoDigits(tm.tm_mon + 1) + "/" +
         TwoDigits(tm.tm_mday);
}

void FileDateStr(std::time_t fileAge, std::string& s) { s = FileDateStr(fileAge); }

const std::string& FileDateCache::DateOf(std::time_t t) {
  auto it = days_.upper_bound(t);
  if (it != days_.begin() && t < std::prev(it)->second.to) return std::prev(it)->second.text;
  // The day of t spans from its local midnight 24 hours on when the clock keeps the offset from
  // UTC that t has all day: its first and last second then fall on the day at 0:00:00 and 23:59:59
  // with that offset. Otherwise (the clock set forward or back that day) only the second of t is
  // kept. A time far outside the calendar is not kept.
  constexpr std::time_t Far = std::numeric_limits<std::time_t>::max() / 2;
  std::tm tm{}, first{}, last{};
  if (t <= -Far || t >= Far || !::localtime_r(&t, &tm)) return outside_ = FileDateStr(t);
  std::time_t from = t - (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec), to = from + 86400;
  const auto sameDay = [&tm](const std::tm& other, int h, int m, int s) {
    return other.tm_year == tm.tm_year && other.tm_yday == tm.tm_yday &&
           other.tm_gmtoff == tm.tm_gmtoff && other.tm_hour == h && other.tm_min == m &&
           other.tm_sec == s;
  };
  const std::time_t end = to - 1;
  if (!(tm.tm_sec < 60 && ::localtime_r(&from, &first) && sameDay(first, 0, 0, 0) &&
        ::localtime_r(&end, &last) && sameDay(last, 23, 59, 59))) {
    from = t;
    to = t + 1;
  }
  return days_.emplace_hint(it, from, Day{to, FileDateStr(t)})->second.text;
}

// ---------------------------------------------------------------------------------------------
// Machine facts

double GetCpuMHz() { return CpuClockMHz(); }

std::string OsVersionName(int major, int minor, const std::string& name) {
  std::string s = std::to_string(major) + "." + std::to_string(minor);
  if (!name.empty()) s += " " + name;
  return s;
}

void GetWindowsVersionName(std::string& s) {
  int major, minor;
  KernelVersion(major, minor);
  s = OsVersionName(major, minor, OsName());
}

void GetSystemInfoStr(std::string& s) {
  int major, minor;
  KernelVersion(major, minor);
  std::string program = ProgramFilePath();
  std::string mount = MountPointOf(program.empty() ? "." : ExtractFolder(program));
  s = HostName() + "/" + std::to_string(major) + "." + std::to_string(minor) + "/" +
      TrimBlanks(FloatStrDecimals(1, GetCpuMHz() / 1000.0L)) + "GHz/" +
      std::to_string(TotalMemoryBytes() / 1000000) + "MB/" +
      TrimBlanks(FloatStrDecimals(0, DiskSizeBytes(mount) / 1e9L)) + "GB/" + AddBackslash(mount);
}

std::vector<std::string> GetLocalIPList() { return LocalIPv4Addresses(); }

int64_t GetDiskSize(const std::string& path) {
  return static_cast<int64_t>(DiskSizeBytes(path.empty() ? "." : path));
}

// ---------------------------------------------------------------------------------------------
// Files

namespace {
bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string FullPath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return name;
  return AddBackslash(cwd) + name;
}
}  // namespace

bool CopyFileTo(const std::string& source, const std::string& dest) {
  if (source.empty() || dest.empty()) return false;
  std::string target = FullPath(dest);
  struct stat ts {};
  if (::stat(target.c_str(), &ts) == 0 && S_ISDIR(ts.st_mode))
    target = AddBackslash(target) + FileNamePart(source);

  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat ss {};
  if (::fstat(in, &ss) != 0 || S_ISDIR(ss.st_mode) ||
      (::stat(target.c_str(), &ts) == 0 && SameFile(ss, ts))) {
    ::close(in);
    return false;
  }

  // The copy goes to a working file beside the target that replaces it only when complete, so a
  // failed copy never leaves a damaged target behind.
  WorkFile out;
  if (!out.Create(target)) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    if (!out.Write(std::string_view(buf, static_cast<size_t>(n)))) {
      ok = false;
      break;
    }
  }
  ::close(in);
  // The copy keeps the source's permissions.
  return ok && out.Commit(static_cast<int>(ss.st_mode & 07777));
}

int FileAttributes(const std::string& name) {
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return -1;
  int a = 0;
  if (S_ISDIR(st.st_mode))
    a |= faDirectory;
  else if (S_ISREG(st.st_mode))
    a |= faArchive;
  else
    a |= faSysFile;
  if (::access(name.c_str(), W_OK) != 0) a |= faReadOnly;
  std::string file = FileNamePart(RemoveBackslash(name));
  if (!file.empty() && file[0] == '.' && file != "." && file != "..") a |= faHidden;
  return a;
}

bool HasFileAttributes(const std::string& name, int mask) {
  int a = FileAttributes(name);
  return a >= 0 && (a & mask) == mask;
}

}  // namespace qern
