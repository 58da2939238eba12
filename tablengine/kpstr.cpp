// Text and file helpers of the table engine, and its linked allocation lists.
#include "tablengine/kpstr.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/workfile.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdbf.h"

namespace qern::kelpie {

namespace fs = std::filesystem;

char UpperChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 32);
  // Windows-1252 letters: à..þ except ÷, and š œ ž ÿ.
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 32);
  if (b == 0x9A) return static_cast<char>(0x8A);
  if (b == 0x9C) return static_cast<char>(0x8C);
  if (b == 0x9E) return static_cast<char>(0x8E);
  if (b == 0xFF) return static_cast<char>(0x9F);
  return c;
}

char LowerChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 32);
  if (b == 0x8A) return static_cast<char>(0x9A);
  if (b == 0x8C) return static_cast<char>(0x9C);
  if (b == 0x8E) return static_cast<char>(0x9E);
  if (b == 0x9F) return static_cast<char>(0xFF);
  return c;
}

std::string UpperString(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = UpperChar(c);
  return r;
}

std::string RTrim(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 32) --n;
  return s.substr(0, n);
}

std::string TrimTrailing(const std::string& s) { return RTrim(s); }

std::string LTrim(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 32) ++i;
  return s.substr(i);
}

std::string AllTrim(const std::string& s) { return LTrim(RTrim(s)); }

std::string LongToStr(long n, int width) {
  std::string s = std::to_string(n);
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), ' ');
  return s;
}

bool StripKeyword(const std::string& keyword, std::string& text) {
  // Compared in upper case; the rest of the text keeps its case (file names are case-sensitive).
  std::string upper = UpperString(text);
  const std::string key = UpperString(keyword);
  bool removed = false;
  if (!key.empty()) {
    size_t pos = 0;
    while ((pos = upper.find(key, pos)) != std::string::npos) {
      const size_t end = pos + key.size();
      const char next = end < upper.size() ? upper[end] : ' ';
      const bool brk = end >= upper.size() ||
                       !(std::isalnum(static_cast<unsigned char>(next)) || next == '_' || next == '\\' ||
                         next == '/');
      if (brk) {
        text.erase(pos, key.size());
        upper.erase(pos, key.size());
        removed = true;
      } else {
        pos = end;
      }
    }
  }
  text = AllTrim(text);
  return removed;
}

std::string Soundex(const std::string& s) {
  static const char codes[] = "01230120022455012623010202";
  std::string u = s.substr(0, 100);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  std::string code = "0000";
  if (u.empty()) return code;
  auto isLetter = [](char c) { return c >= 'A' && c <= 'Z'; };
  code[0] = u[0];
  char previous = isLetter(u[0]) ? codes[u[0] - 'A'] : '0';
  size_t out = 1;
  for (size_t i = 1; i < u.size() && out < SoundexLength; ++i) {
    const char c = u[i];
    if (!isLetter(c)) continue;
    const char lc = codes[c - 'A'];
    if (lc != previous && lc != '0') code[out++] = lc;
    previous = lc;
  }
  return code;
}

BcdKey DoubleToBCD(double value) {
  BcdKey k{};
  if (value == 0 || !std::isfinite(value)) return k;
  if (value < 0) k[0] = 0x80;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.19e", std::fabs(value));  // d.ddddddddddddddddddde+XX
  const char* e = std::strchr(buf, 'e');
  const int exponent = std::clamp(std::atoi(e + 1) + 1 + 128, 1, 255);
  k[1] = static_cast<uint8_t>(exponent);
  std::string digits = std::string(1, buf[0]) + std::string(static_cast<const char*>(buf) + 2, e);
  digits.resize(20, '0');
  for (int i = 0; i < 10; ++i)
    k[2 + i] = static_cast<uint8_t>(((digits[2 * i] - '0') << 4) | (digits[2 * i + 1] - '0'));
  return k;
}

int CompareBCD(const BcdKey& a, const BcdKey& b) {
  const bool na = a[0] & 0x80, nb = b[0] & 0x80;
  if (na != nb) return na ? -1 : 1;
  // Same sign: compare magnitudes (exponent, then digits), reversed for negative values.
  int c = 0;
  for (size_t i = 1; i < a.size() && c == 0; ++i) c = a[i] < b[i] ? -1 : a[i] > b[i] ? 1 : 0;
  return na ? -c : c;
}

bool FileExist(const std::string& name) {
  struct stat st{};
  return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

namespace {

// A name with its letters in one case: the ASCII letters and, in UTF-8, the Latin-1 capitals
// U+00C0 to U+00DE (not U+00D7, the multiplication sign) as their small letters.
std::string FoldCase(const std::string& s) {
  std::string f = s;
  for (size_t i = 0; i < f.size(); ++i) {
    const auto c = static_cast<unsigned char>(f[i]);
    if (c >= 'A' && c <= 'Z') {
      f[i] = static_cast<char>(c + 32);
    } else if (c == 0xC3 && i + 1 < f.size()) {
      const auto next = static_cast<unsigned char>(f[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) f[i + 1] = static_cast<char>(next + 0x20);
      ++i;
    }
  }
  return f;
}

}  // namespace

std::string FileOfAnyCase(const std::string& name, std::vector<std::string>* several) {
  return FileOfAnyCase(name, several, std::string::npos);
}

namespace {

// The names in name's folder that are name's in any case (name's own among them when it exists).
std::vector<std::string> NamesOfAnyCase(const std::string& folder, const std::string& base) {
  std::vector<std::string> found;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return found;
  const std::string folded = FoldCase(base);
  while (const dirent* e = ::readdir(dir)) {
    const std::string n = e->d_name;
    if (n != "." && n != ".." && n.size() == base.size() && FoldCase(n) == folded) found.push_back(n);
  }
  ::closedir(dir);
  return found;
}

std::string FolderOf(const std::string& name) {
  const size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

}  // namespace

std::string FileOfAnyCase(const std::string& name, std::vector<std::string>* several, size_t typed) {
  if (several) several->clear();
  if (name.empty() || FileExist(name)) return name;
  const std::string folder = FolderOf(name);
  const std::string base = name.substr(folder.size());
  if (base.empty()) return name;
  std::vector<std::string> found = NamesOfAnyCase(folder, base);
  if (found.size() > 1 && typed < base.size()) {
    // The start the user typed decides among them.
    std::vector<std::string> exact;
    for (const std::string& n : found)
      if (n.compare(0, typed, base, 0, typed) == 0) exact.push_back(n);
    if (exact.size() == 1) found = exact;
  }
  if (found.size() == 1) return folder + found.front();
  std::sort(found.begin(), found.end());
  if (found.size() > 1 && several)
    for (const std::string& n : found) several->push_back(folder + n);
  return name;
}

namespace {

std::string ListOf(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return list;
}

}  // namespace

bool FindFileOfAnyCase(std::string& name, const std::string& tag) {
  std::vector<std::string> several;
  name = FileOfAnyCase(name, &several);
  if (several.empty()) return true;
  SetError(2, "Mehrere Dateien dieses Namens in anderer Schreibweise: " + ListOf(several) + tag);
  return false;
}

namespace {

bool HasCaseTwins(const std::string& name) {
  const std::string folder = FolderOf(name);
  const std::string base = name.substr(folder.size());
  return !base.empty() && NamesOfAnyCase(folder, base).size() > 1;
}

}  // namespace

bool ExactNameFor(const std::string& name, const std::string& table) {
  return FileExist(name) || HasCaseTwins(table);
}

bool FindFileOfTable(std::string& name, const std::string& table, const std::string& tag) {
  if (FileExist(name)) return true;
  if (!HasCaseTwins(table)) return FindFileOfAnyCase(name, tag);
  const std::string folder = FolderOf(name);
  std::vector<std::string> others = NamesOfAnyCase(folder, name.substr(folder.size()));
  if (others.empty()) return true;
  for (std::string& n : others) n = folder + n;
  std::sort(others.begin(), others.end());
  SetError(2, name + " fehlt; " + table + " hat Namensvettern in anderer Schreibweise, daher gilt " +
                  "nur der genaue Name, nicht " + ListOf(others) + tag);
  return false;
}

int OpenForWriting(const std::string& name, WriteOpen how, int flags, const std::string& tag) {
  const std::string file = FollowOwnLinks(name);
  if (file.empty()) return -1;  // links in a circle (errno ELOOP)
  flags |= O_NOFOLLOW | O_CLOEXEC;
  flags |= how == WriteOpen::Existing ? 0 : how == WriteOpen::Truncate ? O_CREAT | O_TRUNC : O_CREAT | O_EXCL;
  if (how == WriteOpen::Anew) {
    // A file made anew in place of one that is there takes its rights: made under a name of its
    // own beside it, given them and put in its place (who has the old one open keeps it).
    struct stat old{};
    if (::lstat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      std::string temp = WorkNameBeside(file, "XXXXXX");
      const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
      if (fd >= 0) {
        if (TakeRightsOf(fd, file) && ::rename(temp.c_str(), file.c_str()) == 0) return fd;
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        errno = err;
        return -1;
      }
    }
    ::unlink(file.c_str());
  }
  const int fd = ::open(file.c_str(), flags, 0644);
  if (fd >= 0) return fd;
  const int err = errno;
  struct stat st{};
  if (::lstat(file.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    errno = err;
    return -1;
  }
  // Another user's link: its file is never written.
  const size_t slash = file.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  if (::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_ISVTX)) {
    SetError(5, "Datei " + name + " ist eine Verknüpfung eines anderen Benutzers im gemeinsamen Ordner; " +
                    "sie wird nicht beschrieben" + tag);
    errno = EPERM;
    return -2;
  }
  if (how == WriteOpen::Existing) {
    errno = EACCES;
    return -1;
  }
  // The link goes; the file is made new in its place.
  if (::unlink(file.c_str()) != 0) return -1;
  return ::open(file.c_str(), (flags & ~O_TRUNC) | O_EXCL, 0644);
}

bool FileDatedToday(const std::string& name) {
  struct stat st{};
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return false;
  int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  int y, m, d, w, fy, fm, fd2, hh, mm, ss;
  GetSysDate(y, m, d, w);
  SplitFileTime(st.st_mtime, fy, fm, fd2, hh, mm, ss);
  return y == fy && m == fm && d == fd2;
}

void EraseFiles(const std::string& mask) {
  if (mask.find_first_of("*?") == std::string::npos) {
    if (::unlink(mask.c_str()) != 0) SetError(IoCodeFromErrno(errno), "Fehler beim Löschen von " + mask);
    return;
  }
  std::string dir, name, ext;
  SplitPath(mask, dir, name, ext);
  const std::string pattern = name + ext;
  int failed = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir.empty() ? "." : dir, ec)) {
    const std::string fn = e.path().filename().string();
    if (!e.is_regular_file(ec) || ::fnmatch(pattern.c_str(), fn.c_str(), FNM_CASEFOLD) != 0) continue;
    if (::unlink(e.path().c_str()) != 0) ++failed;
  }
  if (failed > 0)
    SetError(5, std::to_string(failed) + " Datei(en) mit Namen wie " + mask + " [EraseFiles]");
}

uint64_t DiskFreeKB(const std::string& path) {
  struct statvfs s{};
  if (::statvfs(path.empty() ? "." : path.c_str(), &s) != 0) return UINT64_MAX / 2;
  return static_cast<uint64_t>(s.f_bavail) * s.f_frsize / 1024;
}

bool UniqueFilename(std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp && *tmp ? tmp : "/tmp";
  std::string templ = dir + "/" + TempFilePrefix.substr(0, 3) + "XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());
  if (fd < 0) {
    SetError(IoCodeFromErrno(errno), "Fehler beim Anfordern des Dateinamens [UniqueFilename]");
    return false;
  }
  ::close(fd);
  name = buf.data();
  return true;
}

void SplitPath(const std::string& path, std::string& dir, std::string& name, std::string& ext) {
  const size_t slash = path.find_last_of('/');
  dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string rest = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = rest.find_last_of('.');
  if (dot == std::string::npos || dot == 0) {
    name = rest;
    ext.clear();
  } else {
    name = rest.substr(0, dot);
    ext = rest.substr(dot);
  }
  if (dir.size() > 255) dir.resize(255);
  if (name.size() > 64) name.resize(64);
  if (ext.size() > 64) ext.resize(64);
}

std::string DefaultExtension(const std::string& name, const std::string& ext) {
  std::string dir, base, e;
  SplitPath(name, dir, base, e);
  if (!e.empty()) return name;
  return dir + RTrim(base) + "." + ext;
}

std::string ForceExtension(const std::string& name, const std::string& ext) {
  std::string dir, base, e;
  SplitPath(name, dir, base, e);
  return dir + base + "." + ext;
}

std::string BaseName(const std::string& path) {
  std::string dir, base, e;
  SplitPath(path, dir, base, e);
  return base;
}

std::string FullPathName(const std::string& name) {
  std::error_code ec;
  const fs::path p = fs::absolute(name, ec);
  return ec ? name : p.lexically_normal().string();
}

long Seconds() {
  using namespace std::chrono;
  return static_cast<long>(duration_cast<seconds>(steady_clock::now().time_since_epoch()).count());
}

ListNode* LinkedAlloc(ListNode*& list, uint32_t size) {
  if (static_cast<int64_t>(size) + sizeof(ListNode) > static_cast<uint64_t>(MemAvail())) return nullptr;
  auto* node = static_cast<ListNode*>(std::calloc(1, sizeof(ListNode) + size));
  if (!node) return nullptr;
  node->Size = size;
  if (!list) {
    node->Prev = node->Next = node;
  } else {
    ListNode* first = list->Next;
    node->Prev = list;
    node->Next = first;
    list->Next = node;
    first->Prev = node;
  }
  list = node;  // the list points at its last node
  return node;
}

ListNode* ListNext(ListNode* list, ListNode* node) {
  if (!list) return nullptr;
  if (!node) return list->Next;
  if (node == list) return nullptr;
  return node->Next;
}

void ListRemove(ListNode*& list, ListNode* node) {
  if (!list || !node) return;
  if (node->Next == node) {
    list = nullptr;
  } else {
    node->Prev->Next = node->Next;
    node->Next->Prev = node->Prev;
    if (list == node) list = node->Prev;
  }
  std::free(node);
}

void ListRemoveLast(ListNode*& list) { ListRemove(list, list); }

void ListFreeAll(ListNode*& list) {
  while (list) ListRemoveLast(list);
}

}  // namespace qern::kelpie
