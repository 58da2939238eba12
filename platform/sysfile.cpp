// Reads of system files with open and read: no stream that could throw, nothing that waits.
#include "platform/sysfile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string_view>

namespace qern {

bool ReadSystemFile(const std::string& name, std::string& text, std::size_t maxBytes) {
  text.clear();
  // Without waiting: a pipe at the name would hold the open until someone writes.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  int err = 0;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    err = errno;
  } else if (S_ISDIR(st.st_mode)) {
    err = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    err = EINVAL;  // a device or pipe could give bytes for ever
  } else {
    char block[4096];
    for (;;) {
      const ssize_t n = ::read(fd, block, sizeof block);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        err = errno;
        break;
      }
      if (n == 0) break;
      if (text.size() + static_cast<std::size_t>(n) > maxBytes) {
        err = EFBIG;
        break;
      }
      text.append(block, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  if (err == 0) return true;
  text.clear();
  errno = err;
  return false;
}

double ProcessStartTime(long pid, bool* gone) {
  bool vanished = false;
  const double started = ProcessStartTimeOf("/proc/" + std::to_string(pid) + "/stat", &vanished);
  // Where /proc is not mounted every entry is missing: the process itself must be gone too.
  if (gone) *gone = vanished && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
  return started;
}

namespace {

// The whole number that follows key and blanks at the start of a line of text; -1 when none.
long long NumberAfter(std::string_view text, std::string_view key) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.substr(0, key.size()) != key) continue;
    line.remove_prefix(key.size());
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    long long v = -1;
    if (std::from_chars(line.data(), line.data() + line.size(), v).ec != std::errc{}) return -1;
    return v;
  }
  return -1;
}

}  // namespace

double ProcessStartTimeOf(const std::string& statFile, bool* gone) {
  if (gone) *gone = false;
  std::string text;
  if (!ReadSystemFile(statFile, text)) {
    // ENOENT: the entry was gone at the open; ESRCH: the process ended after it.
    if (gone) *gone = errno == ENOENT || errno == ESRCH;
    return -1;
  }
  const std::size_t close = text.rfind(')');  // the command name may hold blanks and brackets
  if (close == std::string::npos) return -1;
  // Field 22 (start time in clock ticks after boot) is the 20th after the command name.
  std::string_view rest = std::string_view(text).substr(close + 1);
  unsigned long long ticks = 0;
  for (int field = 3; field <= 22; ++field) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const std::size_t blank = std::min(rest.find(' '), rest.size());
    if (blank == 0) return -1;
    if (field == 22 && std::from_chars(rest.data(), rest.data() + blank, ticks).ec != std::errc{})
      return -1;
    rest.remove_prefix(blank);
  }
  if (ticks == 0) return -1;
  std::string procStat;
  const long long boot = ReadSystemFile("/proc/stat", procStat) ? NumberAfter(procStat, "btime") : -1;
  const long hz = ::sysconf(_SC_CLK_TCK);
  if (boot < 0 || hz <= 0) return -1;
  return static_cast<double>(boot) + static_cast<double>(ticks) / static_cast<double>(hz);
}

}  // namespace qern
