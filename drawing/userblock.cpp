// User block files by name, case ignored: the candidates of a folder listed once and kept while the
// folder is unchanged; each answer still asks the file system whether its file is a plain file.
//
// A folder on a local file system is watched (inotify): the kernel reports every name added to or
// taken from it, by any program, so the listing is kept until a block file name comes or goes,
// however often other files (saved designs, the program's own working files) change the folder.
// Any other folder is judged by its time stamps: the listing is kept while the folder's change
// time, modification time and size are the ones the listing saw, and only when the clock had passed
// the change time's tick when the listing was made (a later change within the same tick would
// leave the time stamp as it is).
#include "drawing/userblock.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace qern {

namespace {

constexpr int kMatch = FNM_CASEFOLD | FNM_PERIOD;

bool BlockFileName(const char* name) {
  return name[0] == '$' && ::fnmatch("$*.dx$", name, kMatch) == 0;
}

// The kept listing of one folder.
struct FolderNames {
  std::string folder;
  dev_t dev = 0;
  ino_t ino = 0;
  int watch = -1;         // the inotify watch of the folder, -1 none
  bool stale = false;     // (watched) a block file name came or went, or reports were lost
  bool settled = false;   // (not watched) the time stamps below show every later change
  timespec changed{}, modified{};
  off_t size = 0;
  std::vector<std::string> names;  // the block file names of the folder (case ignored), sorted
};

// The listings of the last few folders asked about (a program mostly asks about one).
constexpr std::size_t kKeptFolders = 4;
std::vector<FolderNames> g_folders;
long g_listings = 0;
bool g_watching = true;
int g_notify = -1;  // the inotify descriptor, -1 not made yet, -2 not to be had

bool PlainFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

long long Nanoseconds(const timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }

// The coarsest tick the file system may have cut a time stamp to: the largest power of ten of
// nanoseconds that divides it; whole seconds, or the two seconds of FAT, when it has none.
long long StampTick(const timespec& t) {
  if (t.tv_nsec == 0) return 2000000000LL;
  long long tick = 1;
  for (long n = t.tv_nsec; n % 10 == 0; n /= 10) tick *= 10;
  return tick;
}

// File systems that every change of passes through this machine's kernel, so that a watch hears
// of it (not so network and user-space file systems).
bool LocalFileSystem(const std::string& folder) {
  struct statfs fs {};
  if (::statfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
    case 0xF2F52010:  // f2fs
    case 0x794C7630:  // overlay
    case 0x4D44:      // vfat
    case 0x2011BAB0:  // exfat
    case 0x7366746E:  // ntfs3
    case 0x2FC12FC1:  // zfs
    case 0xCA451A4E:  // bcachefs
      return true;
    default:
      return false;
  }
}

void Unwatch(FolderNames& f) {
  const int watch = std::exchange(f.watch, -1);
  if (watch < 0) return;
  // Two names of one folder share its watch.
  for (const FolderNames& other : g_folders)
    if (other.watch == watch) return;
  ::inotify_rm_watch(g_notify, watch);
}

// The reports of the watches since the last question, each marking its folder's listing stale
// when a block file name came or went there.
void ReadReports() {
  if (g_notify < 0) return;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(g_notify, buffer, sizeof buffer);
    if (n <= 0) return;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      for (FolderNames& f : g_folders) {
        if (e->mask & IN_Q_OVERFLOW) {
          f.stale = true;
        } else if (f.watch == e->wd && f.watch >= 0) {
          if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
            f.stale = true;
          else if (e->len > 0 && BlockFileName(e->name))
            f.stale = true;
        }
      }
    }
  }
}

// A watch on the folder, when it is on a local file system and watches can be had; -1 otherwise.
int Watch(const std::string& folder) {
  if (!g_watching || !LocalFileSystem(folder)) return -1;
  if (g_notify == -1) {
    g_notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (g_notify < 0) g_notify = -2;
  }
  if (g_notify < 0) return -1;
  return ::inotify_add_watch(g_notify, folder.empty() ? "." : folder.c_str(),
                             IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                 IN_MOVE_SELF | IN_ONLYDIR);
}

// The kept listing of the folder while it still stands, else nullptr.
const FolderNames* KeptNames(const std::string& folder, const struct stat& st) {
  ReadReports();
  for (const FolderNames& f : g_folders) {
    if (f.folder != folder) continue;
    if (f.dev != st.st_dev || f.ino != st.st_ino) return nullptr;
    if (f.watch >= 0) return f.stale ? nullptr : &f;
    return f.settled && SameTime(f.changed, st.st_ctim) && SameTime(f.modified, st.st_mtim) &&
                   f.size == st.st_size
               ? &f
               : nullptr;
  }
  return nullptr;
}

// The names of the folder that may be block files, listed anew.
const FolderNames& ListNames(const std::string& folder, const struct stat& st) {
  auto it = std::find_if(g_folders.begin(), g_folders.end(),
                         [&](const FolderNames& f) { return f.folder == folder; });
  if (it == g_folders.end()) {
    if (g_folders.size() >= kKeptFolders) {
      FolderNames oldest = std::move(g_folders.front());
      g_folders.erase(g_folders.begin());
      Unwatch(oldest);
    }
    it = g_folders.insert(g_folders.end(), FolderNames{});
    it->folder = folder;
  }
  FolderNames& f = *it;
  // A watch of another folder once under this name, or one that reported its folder gone, is let
  // go; the new watch is set before the listing, so that no change after the listing is missed.
  if (f.watch >= 0 && (f.dev != st.st_dev || f.ino != st.st_ino || f.stale)) Unwatch(f);
  if (f.watch < 0) f.watch = Watch(folder);
  f.stale = false;
  ++g_listings;
  f.names.clear();
  if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
    while (const dirent* e = ::readdir(dir))
      if (BlockFileName(e->d_name)) f.names.emplace_back(e->d_name);
    ::closedir(dir);
  }
  std::sort(f.names.begin(), f.names.end());
  f.dev = st.st_dev;
  f.ino = st.st_ino;
  f.changed = st.st_ctim;
  f.modified = st.st_mtim;
  f.size = st.st_size;
  // Every later change gets a time stamp at or after the clock's coarse time now.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  f.settled = Nanoseconds(now) >= Nanoseconds(st.st_ctim) + StampTick(st.st_ctim);
  return f;
}

}  // namespace

std::string FindUserBlockFile(const std::string& folder, const std::string& name) {
  struct stat st {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0) return "";
  const std::string file = "$" + name + ".dx$";
  const FolderNames* names = KeptNames(folder, st);
  // A folder listed and unchanged since tells without a look whether the name is there.
  if (!names) {
    if (PlainFile(folder + file)) return folder + file;
    names = &ListNames(folder, st);
  }
  std::string found;
  for (const std::string& n : names->names) {
    if (::fnmatch(file.c_str(), n.c_str(), kMatch) != 0 || !PlainFile(folder + n)) continue;
    if (n == file) return folder + n;  // the exact name first
    if (found.empty()) found = folder + n;
  }
  return found;
}

long UserBlockFolderListings() { return g_listings; }

void WatchUserBlockFolders(bool on) {
  g_watching = on;
  for (FolderNames& f : g_folders) Unwatch(f);
  g_folders.clear();
}

}  // namespace qern
