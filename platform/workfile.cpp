// Working files beside their targets, private working folders and the removal of stale ones.
#include "platform/workfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/termcleanup.h"

namespace qern {

namespace {

constexpr int NameTries = 100;

// Six characters of [A-Za-z0-9] from the system's random source.
std::string RandomPart() {
  static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    // No random source: the clock and the process still make a name nobody can plant ahead.
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    unsigned long v = static_cast<unsigned long>(ts.tv_nsec) ^ (static_cast<unsigned long>(::getpid()) << 20);
    for (auto& b : bytes) b = static_cast<unsigned char>(v >>= 5);
  }
  std::string s;
  for (unsigned char b : bytes) s += chars[b % 62];
  return s;
}

std::string FolderOf(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

std::string NameOf(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Gives the open working file fd the owner (as root), the group and the mode of old, the file it
// replaces. A group that cannot be set leaves the file in this user's group, which then gets no
// more than everyone else had on the old file, so that nobody gains access by a save.
bool TakeOwnership(int fd, const struct stat& old) {
  mode_t perms = old.st_mode & 0777;
  if (::geteuid() == 0) {
    (void)::fchown(fd, old.st_uid, old.st_gid);
  } else {
    (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  struct stat now {};
  if (::fstat(fd, &now) != 0) return false;
  if (now.st_gid != old.st_gid) {
    const mode_t other = perms & S_IRWXO;
    perms = (perms & ~S_IRWXG) | ((other << 3) & (perms & S_IRWXG));
  }
  return ::fchmod(fd, perms) == 0;
}

}  // namespace

std::string FollowOwnLinks(const std::string& name) {
  const uid_t me = ::geteuid();
  std::string path = name;
  // The kernel's own limit of links followed in one name.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != me) return path;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return path;
    link.resize(static_cast<size_t>(n));
    path = link[0] == '/' ? link : FolderOf(path) + link;
  }
  errno = ELOOP;
  return "";
}

bool IsReadOnlyFile(const std::string& name) {
  const std::string file = FollowOwnLinks(name);
  struct stat st {};
  if (file.empty() || ::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if ((st.st_mode & 0222) == 0) return true;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0;
}

std::string WorkNameBeside(const std::string& target, const std::string& random) {
  std::string name = NameOf(target);
  const size_t room = MaxFileNameBytes - 2 - random.size();
  if (name.size() > room) {
    size_t cut = room;
    // Never inside a UTF-8 sequence: back up over its continuation bytes.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return FolderOf(target) + "." + name + "." + random;
}

WorkFile::~WorkFile() { Discard(); }

bool WorkFile::Create(const std::string& target) {
  Discard();
  error_ = 0;
  target_ = target;
  replaced_.clear();
  name_.clear();
  if (target.empty() || NameOf(target).empty()) {
    error_ = ENOENT;
    return false;
  }
  replaced_ = FollowOwnLinks(target);
  if (replaced_.empty() || NameOf(replaced_).empty()) {
    error_ = replaced_.empty() ? ELOOP : ENOENT;
    return false;
  }
  // Only a file or a link is ever replaced, and a file only when it may be written.
  struct stat st {};
  if (::lstat(replaced_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      error_ = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
      return false;
    }
    if (S_ISREG(st.st_mode) && IsReadOnlyFile(replaced_)) {
      error_ = EACCES;
      return false;
    }
  }
  for (int i = 0; i < NameTries; ++i) {
    std::string name = WorkNameBeside(replaced_, RandomPart());
    // Registered first: a signal between the create and the registration leaves nothing behind.
    const int cleanup = RegisterCleanupFile(name);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      // Taken over without an allocation: memory that runs out cannot leave the file unowned.
      fd_ = fd;
      cleanup_ = cleanup;
      name_ = std::move(name);
      return true;
    }
    const int err = errno;
    UnregisterCleanup(cleanup);
    if (err != EEXIST) {
      error_ = err;
      return false;
    }
  }
  error_ = EEXIST;
  return false;
}

bool WorkFile::Write(std::string_view bytes) {
  if (fd_ < 0) {
    error_ = EBADF;
    return false;
  }
  if (WriteAll(fd_, bytes)) return true;
  error_ = errno;
  return false;
}

bool WorkFile::Commit(int mode) {
  if (fd_ < 0) {
    if (error_ == 0) error_ = EBADF;
    return false;
  }
  bool ok = true;
  int err = 0;
  // The file as it is now: it may have come or gone since Create.
  struct stat old {};
  const bool replacing = ::lstat(replaced_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  if (mode < 0 && replacing) {
    if (!TakeOwnership(fd_, old)) ok = false, err = errno;
  } else if (::fchmod(fd_, mode >= 0 ? static_cast<mode_t>(mode) : NewFileMode()) != 0) {
    ok = false, err = errno;
  }
  if (ok && sync_ && ::fsync(fd_) != 0 && errno != EINVAL) ok = false, err = errno;
  if (::close(fd_) != 0 && ok) ok = false, err = errno;
  fd_ = -1;
  if (ok && ::rename(name_.c_str(), replaced_.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    ::unlink(name_.c_str());
    error_ = err;
  }
  // Unregistered only now: renamed, the working name is gone; failed, it has been removed.
  UnregisterCleanup(cleanup_);
  cleanup_ = -1;
  return ok;
}

void WorkFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(name_.c_str());
  }
  UnregisterCleanup(cleanup_);
  cleanup_ = -1;
}

bool ReplaceFileContents(const std::string& target, std::string_view bytes, int* error, bool sync) {
  WorkFile f;
  f.SetSync(sync);
  const bool ok = f.Create(target) && f.Write(bytes) && f.Commit();
  if (!ok && error) *error = f.Error();
  return ok;
}

// ---- Private folders ---------------------------------------------------------------------

PrivateFolder::~PrivateFolder() { Remove(); }

bool PrivateFolder::Create(const std::string& parent, const std::string& stem) {
  Remove();
  std::string base = parent.empty() ? "./" : parent;
  if (base.back() != '/') base += '/';
  for (int i = 0; i < NameTries; ++i) {
    std::string path =
        base + "." + stem + "-" + std::to_string(static_cast<long>(::getpid())) + "-" + RandomPart();
    const int cleanup = RegisterCleanupFolder(path);
    if (::mkdir(path.c_str(), 0700) == 0) {
      path_ = std::move(path);  // without an allocation, as the working file's name
      cleanup_ = cleanup;
      return true;
    }
    const int err = errno;
    UnregisterCleanup(cleanup);
    if (err != EEXIST) return false;
  }
  return false;
}

void PrivateFolder::Remove() {
  if (!path_.empty()) RemoveFlatFolder(path_.c_str());
  // Unregistered after the removal: a signal in between finds nothing left to do.
  UnregisterCleanup(cleanup_);
  cleanup_ = -1;
  path_.clear();
}

namespace {

bool IsRandomPart(const std::string& s) {
  if (s.size() != 6) return false;
  for (char c : s)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

// Seconds since the epoch at which process pid started; -1 when unknown.
double ProcessStartTime(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');  // the command name may hold blanks and brackets
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long ticks = 0;
  // Field 22 (start time in clock ticks after boot) is the 20th after the command name.
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) ticks = std::strtoull(field.c_str(), nullptr, 10);
  if (ticks == 0) return -1;
  std::ifstream procStat("/proc/stat");
  std::string key;
  long long boot = -1;
  while (procStat >> key) {
    if (key == "btime") {
      procStat >> boot;
      break;
    }
  }
  const long hz = ::sysconf(_SC_CLK_TCK);
  if (boot < 0 || hz <= 0) return -1;
  return static_cast<double>(boot) + static_cast<double>(ticks) / static_cast<double>(hz);
}

// True when the folder made by process pid at time made can still belong to it.
bool ProcessMayOwn(long pid, time_t made) {
  if (pid == static_cast<long>(::getpid())) return true;
  if (pid <= 0 || pid > 0x3FFFFFFF) return false;
  // EPERM: another user's process holds the number now, so ours has ended.
  if (::kill(static_cast<pid_t>(pid), 0) != 0) return false;
  const double started = ProcessStartTime(pid);
  // A process started after the folder was last changed cannot have made it.
  return started < 0 || started <= static_cast<double>(made) + 2;
}

}  // namespace

void RemoveStalePrivateFolders(const std::vector<std::string>& parents,
                               const std::vector<std::string>& stems) {
  const uid_t me = ::getuid();
  const time_t now = std::time(nullptr);
  for (std::string parent : parents) {
    if (parent.empty()) continue;
    if (parent.back() != '/') parent += '/';
    DIR* dir = ::opendir(parent.c_str());
    if (!dir) continue;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
      const std::string n = e->d_name;
      for (const std::string& stem : stems) {
        long pid = 0;
        bool legacy = false;
        const std::string dotted = "." + stem + "-";
        if (n.rfind(dotted, 0) == 0) {
          const std::string rest = n.substr(dotted.size());
          const size_t dash = rest.find('-');
          if (dash == std::string::npos || dash == 0 || dash > 10 || !IsRandomPart(rest.substr(dash + 1)))
            continue;
          if (rest.find_first_not_of("0123456789") != dash) continue;
          pid = std::stol(rest.substr(0, dash));
        } else if (n.rfind(stem + "-", 0) == 0 && IsRandomPart(n.substr(stem.size() + 1))) {
          legacy = true;
        } else {
          continue;
        }
        struct stat st {};
        const std::string path = parent + n;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != me) continue;
        const bool dead = legacy ? now - st.st_mtime > 3600 : !ProcessMayOwn(pid, st.st_mtime);
        if (dead) stale.push_back(path);
      }
    }
    ::closedir(dir);
    for (const std::string& path : stale) RemoveFlatFolder(path.c_str());
  }
}

}  // namespace qern
