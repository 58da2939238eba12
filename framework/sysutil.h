// Form sizing rules, the unit-system toggle, program version, today's date and the time as text,
// machine facts for the system-information window, and the two file helpers CopyFileTo and
// HasFileAttributes. The Qt side of the form helpers is framework/qt/formhelp.h.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace qern {

// A window rectangle in screen pixels.
struct FormRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// Width and height by Settings.FormScalePercent (integer division), unless DialogScalingMode is 2.
FormRect ScaledFormSize(FormRect form);
// The dialog centred on the graphics window host, never left of or above it, 20 pixels lower.
FormRect CentredOn(FormRect dialog, FormRect host);
// Font scale factor of the dialogs: FontScalePercent / 100 (1 with DialogScalingMode 2).
double DialogFontFactor();

void ToggleUnitSystem();

// Version text of an executable: the program's own (an empty name, or the program's file) gives
// its build version "major.minor"; any other file has no version information here and gives "0".
std::string GetFileVersion(const std::string& fileName);
// "major.minor", then ".release" when release > 0, then ".build" when release and build are >= 1.
std::string VersionNumberText(int major, int minor, int release, int build);

// Dates and times (local time).
void GetDate(int& year, int& month, int& day, int& dayOfWeek);  // dayOfWeek is always 0
void GetTime(int& hour, int& minute, int& second, int& hundredths);
void TodayIso(std::string& s);  // yyyy-mm-dd
void TodayStr(std::string& s);  // by the DateFormat setting
void TimeStr(std::string& s);   // h:mm
std::string TodayIso();
std::string TodayStr();
std::string TimeStr();
// A file time stamp as yyyy/mm/dd.
void FileDateStr(std::time_t fileAge, std::string& s);
std::string FileDateStr(std::time_t fileAge);
// FileDateStr of many time stamps, such as a folder's files, each local day worked out once: a day
// is kept with the span of time stamps that fall on it, found from the day's start and end by
// localtime_r alone (mktime would look at the time-zone file at each call).
class FileDateCache {
 public:
  const std::string& DateOf(std::time_t t);

 private:
  struct Day {
    std::time_t to = 0;  // the span [key, to)
    std::string text;
  };
  std::map<std::time_t, Day> days_;
  std::string outside_;  // the last date of a time outside the calendar
};
// Formatting for given clock values (what the routines above use).
std::string TimeText(int hour, int minute);
std::string IsoDateText(int year, int month, int day);
constexpr int MaxPrinterPort() { return 3; }

// Machine facts.
double GetCpuMHz();                           // from /proc/cpuinfo; 0 when unknown
void GetSystemInfoStr(std::string& s);        // host/os version/GHz/MB/GB/mount point
void GetWindowsVersionName(std::string& s);   // "major.minor" of the kernel and the system name
std::string OsVersionName(int major, int minor, const std::string& name);
std::vector<std::string> GetLocalIPList();    // dotted IPv4 addresses
int64_t GetDiskSize(const std::string& path = "");  // file system of path ("" = current folder)

// Copies source to dest (into it under the source's name when dest is a folder). False, and
// nothing overwritten, when the source is missing or dest is the source itself; false when the
// copy is incomplete (a failed read or a short write).
bool CopyFileTo(const std::string& source, const std::string& dest);

// Attribute bits of HasFileAttributes.
constexpr int faReadOnly = 0x01;   // the user may not write it
constexpr int faHidden = 0x02;     // name starts with "."
constexpr int faSysFile = 0x04;    // not a regular file or folder (device, socket ...)
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;    // a regular file
bool HasFileAttributes(const std::string& name, int mask);
int FileAttributes(const std::string& name);  // -1 for a missing file

}  // namespace qern
