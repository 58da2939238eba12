// Working files beside their targets, private working folders and the removal of stale ones.
#include "platform/workfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "platform/sysfile.h"
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

// The access ACL as the kernel keeps it in its extended attribute: a version word, then entries of
// a tag, the permission bits and the user or group id.
constexpr const char* AclAccessName = "system.posix_acl_access";
constexpr uint32_t AclVersion = 2;
constexpr uint16_t AclGroupObj = 0x04, AclGroup = 0x08, AclOther = 0x20;
constexpr size_t AclHeaderBytes = 4, AclEntryBytes = 8;

uint16_t Le16(const char* p) {
  return static_cast<uint16_t>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8);
}

void PutLe16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}

bool IsAcl(const std::string& acl) {
  if (acl.size() < AclHeaderBytes || (acl.size() - AclHeaderBytes) % AclEntryBytes != 0) return false;
  return (Le16(acl.data()) | static_cast<uint32_t>(Le16(acl.data() + 2)) << 16) == AclVersion;
}

// The ACL for a file whose owning group changed: members of the old group count as others now,
// and the new group's members may have been others or in a named group. Others get no more than
// the old owning group had, the new owning group no more than others and every named group had.
// The bits of the new other entry through other.
std::string AclForOtherGroup(std::string acl, mode_t* other) {
  uint16_t group = 7, others = 7, lowest = 7;
  for (size_t at = AclHeaderBytes; at < acl.size(); at += AclEntryBytes) {
    const uint16_t tag = Le16(&acl[at]), perm = Le16(&acl[at + 2]) & 7;
    if (tag == AclGroupObj) group = perm;
    if (tag == AclOther) others = perm;
    if (tag == AclGroup) lowest &= perm;
  }
  for (size_t at = AclHeaderBytes; at < acl.size(); at += AclEntryBytes) {
    const uint16_t tag = Le16(&acl[at]);
    if (tag == AclGroupObj) PutLe16(&acl[at + 2], group & others & lowest);
    if (tag == AclOther) PutLe16(&acl[at + 2], others & group);
  }
  *other = others & group;
  return acl;
}

// The value of an extended attribute of name (not followed through a link); false when unreadable.
bool AttributeOf(const std::string& name, const char* key, std::string& value) {
  value.resize(256);
  for (int tries = 0; tries < 4; ++tries) {
    const ssize_t n = ::lgetxattr(name.c_str(), key, value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;
    const ssize_t need = ::lgetxattr(name.c_str(), key, nullptr, 0);
    if (need < 0) return false;
    value.resize(static_cast<size_t>(need) + 64);
  }
  return false;
}

// The names of the extended attributes of name, each ended by a zero byte; "" when it has none or
// the file system keeps none.
std::string AttributeNames(const std::string& name) {
  std::string list(1024, '\0');
  for (int tries = 0; tries < 4; ++tries) {
    const ssize_t n = ::llistxattr(name.c_str(), list.data(), list.size());
    if (n >= 0) {
      list.resize(static_cast<size_t>(n));
      return list;
    }
    if (errno != ERANGE) break;
    const ssize_t need = ::llistxattr(name.c_str(), nullptr, 0);
    if (need < 0) break;
    list.resize(static_cast<size_t>(need) + 256);
  }
  return "";
}

// Gives the open working file fd the owner (as root), the group, the mode, the access ACL and the
// user's extended attributes of old, the file it replaces; the folder's default ACL, which the
// working file took at its creation, is not left on it. A group that cannot be set leaves the file
// in this user's group, which then gets no more than everyone else had on the old file, while
// everyone else gets no more than the old group had, so that nobody gains access by a save; an ACL
// that cannot be carried over leaves the mode narrowed to what the ACL gave every entry at most.
bool TakeOwnership(int fd, const std::string& oldName, const struct stat& old, uid_t me) {
  mode_t perms = old.st_mode & 0777;
  // A file may always be given the group it has; otherwise the group is kept only where allowed.
  const bool groupKept = me == 0 ? ::fchown(fd, old.st_uid, old.st_gid) == 0
                                 : ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
  bool aclCarried = false, oldAcl = false;
  mode_t aclGroup = 7;  // the owning group's entry of the old ACL (the mode's group bits are its mask)
  const std::string names = AttributeNames(oldName);
  std::string value;
  for (size_t at = 0; at < names.size();) {
    const std::string key = names.c_str() + at;
    at += key.size() + 1;
    if (key == AclAccessName) {
      if (!AttributeOf(oldName, key.c_str(), value) || !IsAcl(value)) continue;
      oldAcl = true;
      for (size_t e = AclHeaderBytes; e < value.size(); e += AclEntryBytes)
        if (Le16(&value[e]) == AclGroupObj) aclGroup = Le16(&value[e + 2]) & 7;
      mode_t other = perms & S_IRWXO;
      if (!groupKept) value = AclForOtherGroup(value, &other);
      if (::fsetxattr(fd, AclAccessName, value.data(), value.size(), 0) == 0) {
        aclCarried = true;
        perms = (perms & ~S_IRWXO) | other;
      }
    } else if (key.rfind("user.", 0) == 0 && AttributeOf(oldName, key.c_str(), value)) {
      (void)::fsetxattr(fd, key.c_str(), value.data(), value.size(), 0);
    }
  }
  if (!aclCarried) {
    mode_t group = (perms & S_IRWXG) >> 3, other = perms & S_IRWXO;
    if (oldAcl) group &= aclGroup;  // the mask no longer limits named entries: the group's own bits
    if (!groupKept) group = other = group & other;
    // An ACL the folder gave the working file goes; one that cannot be removed keeps no more than
    // others have through its mask.
    if (::fremovexattr(fd, AclAccessName) != 0 && errno != ENODATA && errno != ENOTSUP) group &= other;
    perms = (perms & S_IRWXU) | group << 3 | other;
  }
  return ::fchmod(fd, perms) == 0;
}

}  // namespace

namespace {

// FollowOwnLinks for the user me, with what lstat found at the name it ends at (st; false when
// nothing is there).
std::string FollowLinksOf(const std::string& name, uid_t me, struct stat& st, bool& exists) {
  std::string path = name;
  // The kernel's own limit of links followed in one name.
  for (int hop = 0; hop < 40; ++hop) {
    exists = ::lstat(path.c_str(), &st) == 0;
    if (!exists || !S_ISLNK(st.st_mode) || st.st_uid != me) return path;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n <= 0 || static_cast<size_t>(n) >= link.size()) return path;
    link.resize(static_cast<size_t>(n));
    path = link[0] == '/' ? link : FolderOf(path) + link;
  }
  errno = ELOOP;
  return "";
}

// True when the file file (found by lstat as st) may not be written by the user me: nobody has
// write permission (for root too), or the permissions say no. Only a file of another user, whose
// group and ACL may decide, costs the system's test.
bool ReadOnlyFor(const std::string& file, const struct stat& st, uid_t me) {
  if ((st.st_mode & 0222) == 0) return true;
  if (me == 0) return false;
  if (st.st_uid == me) return (st.st_mode & S_IWUSR) == 0;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0;
}

}  // namespace

std::string FollowOwnLinks(const std::string& name) {
  struct stat st {};
  bool exists = false;
  return FollowLinksOf(name, ::geteuid(), st, exists);
}

bool IsReadOnlyFile(const std::string& name) {
  const uid_t me = ::geteuid();
  struct stat st {};
  bool exists = false;
  const std::string file = FollowLinksOf(name, me, st, exists);
  return !file.empty() && exists && S_ISREG(st.st_mode) && ReadOnlyFor(file, st, me);
}

bool TakeRightsOf(int fd, const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return TakeOwnership(fd, name, st, ::geteuid());
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
  const uid_t me = me_ = ::geteuid();
  struct stat st {};
  bool exists = false;
  replaced_ = FollowLinksOf(target, me, st, exists);
  if (replaced_.empty() || NameOf(replaced_).empty()) {
    error_ = replaced_.empty() ? ELOOP : ENOENT;
    return false;
  }
  // Only a file or a link is ever replaced, and a file only when it may be written.
  if (exists) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      error_ = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
      return false;
    }
    if (S_ISREG(st.st_mode) && ReadOnlyFor(replaced_, st, me)) {
      error_ = EACCES;
      return false;
    }
  }
  // A new file is made with the permissions of a newly created one (the umask, or the folder's
  // default ACL, decide); one that replaces a file stays private until it takes that file's.
  fresh_ = !exists || !S_ISREG(st.st_mode);
  for (int i = 0; i < NameTries; ++i) {
    std::string name = WorkNameBeside(replaced_, RandomPart());
    // Registered first: a signal between the create and the registration leaves nothing behind.
    const int cleanup = RegisterCleanupFile(name);
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, fresh_ ? 0666 : 0600);
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
    if (!TakeOwnership(fd_, replaced_, old, me_)) ok = false, err = errno;
  } else if (mode >= 0 || !fresh_) {
    // (A file made fresh has the permissions of a new file already.)
    if (::fchmod(fd_, mode >= 0 ? static_cast<mode_t>(mode) : NewFileMode()) != 0) ok = false, err = errno;
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
  // Mostly empty by now: then one call removes it.
  if (!path_.empty() && ::rmdir(path_.c_str()) != 0) RemoveFlatFolder(path_.c_str());
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

// True when the folder made by process pid at time made can still belong to it.
bool ProcessMayOwn(long pid, time_t made) {
  if (pid == static_cast<long>(::getpid())) return true;
  if (pid <= 0 || pid > 0x3FFFFFFF) return false;
  // EPERM: another user's process holds the number now, so ours has ended.
  if (::kill(static_cast<pid_t>(pid), 0) != 0) return false;
  // It may end at any moment, also while its start is being read: then it has ended.
  bool gone = false;
  const double started = ProcessStartTime(pid, &gone);
  if (gone) return false;
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
