// User block files by name, case ignored: the candidates of a folder listed once and kept while the
// folder is unchanged; each answer still asks the file system whether its file is a plain file.
#include "drawing/userblock.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <vector>

namespace qern {

namespace {

constexpr int kMatch = FNM_CASEFOLD | FNM_PERIOD;

// A folder changed this recently may change again within the same tick of its time stamp.
constexpr time_t kSettledSeconds = 2;

// The kept listing of one folder.
struct FolderNames {
  bool kept = false;
  std::string folder;
  dev_t dev = 0;
  ino_t ino = 0;
  timespec modified{};
  std::vector<std::string> names;  // the block file names of the folder (case ignored), sorted
};

// The listings of the last few folders asked about (a program mostly asks about one).
constexpr std::size_t kKeptFolders = 4;
std::vector<FolderNames> g_folders;
long g_listings = 0;

bool PlainFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The kept listing of the folder while it still stands, else nullptr.
const FolderNames* KeptNames(const std::string& folder, const struct stat& st) {
  for (const FolderNames& f : g_folders)
    if (f.folder == folder)
      return f.kept && f.dev == st.st_dev && f.ino == st.st_ino &&
                     SameTime(f.modified, st.st_mtim)
                 ? &f
                 : nullptr;
  return nullptr;
}

// The names of the folder that may be block files, listed anew.
const FolderNames& ListNames(const std::string& folder, const struct stat& st) {
  auto it = std::find_if(g_folders.begin(), g_folders.end(),
                         [&](const FolderNames& f) { return f.folder == folder; });
  if (it == g_folders.end()) {
    if (g_folders.size() >= kKeptFolders) g_folders.erase(g_folders.begin());
    it = g_folders.insert(g_folders.end(), FolderNames{});
    it->folder = folder;
  }
  FolderNames& f = *it;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  ++g_listings;
  f.names.clear();
  if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
    while (const dirent* e = ::readdir(dir))
      if (::fnmatch("$*.dx$", e->d_name, kMatch) == 0) f.names.emplace_back(e->d_name);
    ::closedir(dir);
  }
  std::sort(f.names.begin(), f.names.end());
  f.dev = st.st_dev;
  f.ino = st.st_ino;
  f.modified = st.st_mtim;
  f.kept = now.tv_sec - st.st_mtim.tv_sec > kSettledSeconds;
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

}  // namespace qern
