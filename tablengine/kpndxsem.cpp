// Index semaphore files ".@S@": the login, reader and writer counts and the change counter through
// which programs share the indexes of one table, with the counted read and lock brackets.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/workfile.h"
#include "tablengine/kpapi.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpndxint.h"
#include "tablengine/kpstr.h"

namespace qern::kelpie {

using namespace ndx;

namespace {

const char* const kActionNames[] = {"LOGIN", "LOGOUT", "INCREAD", "DECREAD", "LOCKSEMAPHORE", "UNLOCKSEMAPHORE"};

constexpr int kTries = 1000;
constexpr int kTryWaitMs = 10;

bool RegionLock(SemaphoreState& s) {
  for (int i = 0; i < kTries; ++i) {
    if (LockRegion(false, s.Fd, 1, 4) == 0) {
      s.RegionLocked = true;
      return true;
    }
    DelayMs(kTryWaitMs);
  }
  return false;
}

bool RegionUnlock(SemaphoreState& s, const std::string& action) {
  if (!s.RegionLocked) return true;
  s.RegionLocked = false;
  const int code = LockRegion(true, s.Fd, 1, 4);
  if (code != 0) {
    SetError(code, "Cannot unlock index semaphore file: " + s.FileName + " " + action);
    return false;
  }
  return true;
}

// Reads or writes the 4-byte record; a failure releases the region first.
bool RecordIo(SemaphoreState& s, const std::string& action, bool write) {
  const bool ok = write ? WriteAt(s.Fd, s.Record, 4, 0) : ReadAt(s.Fd, s.Record, 4, 0);
  if (ok) return true;
  const int code = errno ? IoCodeFromErrno(errno) : (write ? 101 : 100);
  RegionUnlock(s, action);
  SetError(code, (write ? "Cannot write to: " : "Cannot read: ") + s.FileName + " " + action);
  return false;
}

bool ReadRecord(SemaphoreState& s, const std::string& action) { return RecordIo(s, action, false); }
bool WriteRecord(SemaphoreState& s, const std::string& action) { return RecordIo(s, action, true); }

uint16_t Counter(const SemaphoreState& s) { return static_cast<uint16_t>(s.Record[2] | s.Record[3] << 8); }

void SetCounter(SemaphoreState& s, uint16_t v) {
  s.Record[2] = static_cast<uint8_t>(v);
  s.Record[3] = static_cast<uint8_t>(v >> 8);
}

bool LockedRegion(SemaphoreState& s, const std::string& action) {
  if (RegionLock(s)) return true;
  SetError(1202, "10 second timeout: Cannot lock index semaphore file: " + s.FileName + " " + action +
                     "\r\nPossible cause: Network lock limit exceeded\r\n Lock result code: 33");
  return false;
}

// Another program changed the indexes since this one looked: positions and cache go.
void NoticeChange(int area, SemaphoreState& s) {
  if (Counter(s) != s.SeenCounter) {
    s.SeenCounter = Counter(s);
    IndexesChangedOutside(area);
  }
}

bool TableBaseLock(WorkArea& a, const std::string& action, const std::string& file) {
  for (int i = 0; i < kTries; ++i) {
    if (LockRegion(false, a.Handle, 0, 1) == 0) return true;
    DelayMs(kTryWaitMs);
  }
  SetError(1202, "Cannot lock database for: " + file + " Action=" + action + " [Database Semaphore]");
  return false;
}

void TableBaseUnlock(WorkArea& a) {
  const int code = LockRegion(true, a.Handle, 0, 1);
  if (code != 0)
    SetError(code, "Fehler beim Entsperren der Datei " + a.FileName + " in Bereich " + std::to_string(CurrentArea));
}

// Makes the lock file when there is none (at the place this user's links at its name lead to),
// complete with its zero record and with the table's rights, so that whoever may write the table
// may take its lock: made under a name of its own and linked into place, it is never seen half
// made. One that is there already (another program's) is kept.
bool CreateLockFile(const WorkArea& a, const std::string& file, const std::string& action) {
  const std::string target = FollowOwnLinks(file);
  if (target.empty()) {
    SetError(IoCodeFromErrno(errno), "Cannot open/create: " + file + " " + action);
    return false;
  }
  struct stat st{};
  if (::lstat(target.c_str(), &st) == 0) return true;
  std::string temp = WorkNameBeside(target, "XXXXXX");
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    SetError(IoCodeFromErrno(errno), "Cannot open/create: " + file + " " + action);
    return false;
  }
  const uint8_t zero[4] = {};
  bool ok = ::pwrite(fd, zero, 4, 0) == 4;
  int err = errno;
  if (ok) {
    // The table's mode and group (what cannot be given stays private to this user), and always
    // writable by its maker.
    const std::string table = FollowOwnLinks(a.FileName);
    TakeRightsOf(fd, table.empty() ? a.FileName : table);
    constexpr mode_t kNever = S_ISUID | S_ISGID | S_IXUSR | S_IXGRP | S_IXOTH;
    if (::fstat(fd, &st) == 0) ::fchmod(fd, (st.st_mode & 07777 & ~kNever) | S_IRUSR | S_IWUSR);
    ok = ::link(temp.c_str(), target.c_str()) == 0 || errno == EEXIST;
    err = errno;
  }
  ::close(fd);
  ::unlink(temp.c_str());
  if (!ok) {
    SetError(IoCodeFromErrno(err), "Cannot open/create: " + file + " " + action);
    return false;
  }
  return true;
}

void Login(int area, WorkArea& a, AreaIndexState& st) {
  const std::string action = kActionNames[SemLogin];
  if (a.Exclusive || st.Semaphore) return;
  const std::string file = SemaphoreFileName(a.FileName);
  if (!TableBaseLock(a, action, file)) return;
  struct Release {
    WorkArea& a;
    ~Release() {
      try {
        TableBaseUnlock(a);
      } catch (...) {
      }
    }
  } release{a};
  auto s = std::make_unique<SemaphoreState>();
  s->FileName = file;
  if (!CreateLockFile(a, file, action)) return;
  // Opened by the rule of every table file: through this user's links only.
  s->Fd = OpenForWriting(file, WriteOpen::Existing, O_RDWR, " " + action);
  if (s->Fd == -2) {
    s->Fd = -1;
    return;
  }
  if (s->Fd < 0) {
    SetError(IoCodeFromErrno(errno), "Cannot open: " + file + " " + action);
    return;
  }
  struct CloseOnFailure {
    std::unique_ptr<SemaphoreState>& s;
    ~CloseOnFailure() {
      if (s && s->Fd >= 0) ::close(s->Fd);
    }
  } closeOnFailure{s};
  if (!LockedRegion(*s, action)) return;
  DelayMs(5);
  if (!ReadRecord(*s, action)) return;
  s->Record[0] = static_cast<uint8_t>(s->Record[0] + 1);
  s->Login = s->Record[0];
  if (!WriteRecord(*s, action)) return;
  if (!RegionUnlock(*s, action)) return;
  s->SeenCounter = Counter(*s);
  st.Semaphore = std::move(s);
  (void)area;
}

void Logout(WorkArea& a, AreaIndexState& st) {
  const std::string action = kActionNames[SemLogout];
  if (!st.Semaphore) return;
  std::unique_ptr<SemaphoreState> s = std::move(st.Semaphore);
  struct Close {
    SemaphoreState& s;
    ~Close() {
      if (s.Fd >= 0) ::close(s.Fd);
      s.Fd = -1;
    }
  } close{*s};
  if (!TableBaseLock(a, action, s->FileName)) return;
  struct Release {
    WorkArea& a;
    ~Release() {
      try {
        TableBaseUnlock(a);
      } catch (...) {
      }
    }
  } release{a};
  if (s->RegionLocked) RegionUnlock(*s, action);
  if (!LockedRegion(*s, action)) return;
  if (!ReadRecord(*s, action)) return;
  if (s->Reading && s->Record[1] > 0) --s->Record[1];
  if (s->Record[0] > 0) --s->Record[0];
  const uint8_t logins = s->Record[0];
  if (!WriteRecord(*s, action)) return;
  if (!RegionUnlock(*s, action)) return;
  ::close(s->Fd);
  s->Fd = -1;
  if (logins == 0) {
    // The file, not this user's link to it.
    const std::string target = FollowOwnLinks(s->FileName);
    ::unlink((target.empty() ? s->FileName : target).c_str());
  }
}

// Why this user cannot delete a lock file left behind: whose it is ("" when this user can).
std::string WhoMayDelete(const std::string& file) {
  std::string dir, name, ext;
  SplitPath(file, dir, name, ext);
  struct stat st{}, folder{};
  if (::lstat(file.c_str(), &st) != 0 || ::stat(dir.empty() ? "." : dir.c_str(), &folder) != 0) return {};
  const uid_t me = ::geteuid();
  const bool sticky = folder.st_mode & S_ISVTX;
  if (::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0 &&
      (!sticky || me == 0 || st.st_uid == me || folder.st_uid == me))
    return {};
  std::string owner = std::to_string(st.st_uid);
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(st.st_uid, &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name)
    owner = found->pw_name;
  return "\r\n" + file + " belongs to user " + owner + ": only " + owner +
         (sticky ? " or the owner of its folder" : " or a user who may write its folder") + " can delete it.";
}

// Takes back a nesting level that its action did not complete (also when the action's error was
// raised): the failure belongs to that one call, and the next one tries again.
struct NestGuard {
  int32_t& nest;
  bool done = false;
  ~NestGuard() {
    if (!done) --nest;
  }
};

bool IncRead(int area, AreaIndexState& st) {
  const std::string action = kActionNames[SemIncRead];
  SemaphoreState* s = st.Semaphore.get();
  if (!s) return true;
  if (++s->ReadNest != 1 || s->LockNest > 0 || s->Reading) return true;
  NestGuard guard{s->ReadNest};
  if (!LockedRegion(*s, action) || !ReadRecord(*s, action)) return false;
  if (s->Record[1] < 127) ++s->Record[1];
  if (!WriteRecord(*s, action)) return false;
  s->Reading = true;
  guard.done = true;
  if (!RegionUnlock(*s, action)) return false;
  NoticeChange(area, *s);
  return true;
}

void DecRead(AreaIndexState& st) {
  const std::string action = kActionNames[SemDecRead];
  SemaphoreState* s = st.Semaphore.get();
  if (!s) return;
  if (--s->ReadNest < 0) {
    s->ReadNest = 0;
    SetError(254, "Unbalanced IncRead/DecRead for semaphore file: " + s->FileName);
    return;
  }
  if (s->ReadNest != 0 || !s->Reading || s->LockNest > 0) return;
  if (!LockedRegion(*s, action) || !ReadRecord(*s, action)) return;
  if (s->Record[1] > 0) --s->Record[1];
  if (!WriteRecord(*s, action)) return;
  if (!RegionUnlock(*s, action)) return;
  s->Reading = false;
}

bool LockSemaphore(int area, AreaIndexState& st) {
  const std::string action = kActionNames[SemLock];
  SemaphoreState* s = st.Semaphore.get();
  if (!s || ++s->LockNest != 1) return true;
  NestGuard guard{s->LockNest};
  const long start = Seconds();
  for (;;) {
    if (!LockedRegion(*s, action) || !ReadRecord(*s, action)) return false;
    // This program's own reader count does not keep it from writing.
    const int others = s->Record[1] - (s->Reading ? 1 : 0);
    if (others <= 0) break;
    RegionUnlock(*s, action);
    if (SemaphoreWaitLimit > 0 && Seconds() - start > SemaphoreWaitLimit) {
      SetError(1202, std::to_string(SemaphoreWaitLimit) + " second timeout, cannot read: " + s->FileName +
                         "\r\nPossible cause: Other user's program has terminated abnormally.\r\n"
                         "Cure: Log all users of this application off the network,\r\nthen delete " +
                         s->FileName + WhoMayDelete(s->FileName));
      return false;
    }
    DelayMs(1);
  }
  NoticeChange(area, *s);
  s->Record[1] = 1;
  if (!WriteRecord(*s, action)) return false;
  guard.done = true;
  return true;
}

void UnlockSemaphore(AreaIndexState& st) {
  const std::string action = kActionNames[SemUnlock];
  SemaphoreState* s = st.Semaphore.get();
  if (!s) return;
  if (--s->LockNest < 0) {
    s->LockNest = 0;
    RegionUnlock(*s, action);
    SetError(254, "Unbalanced Lock/Unlock for semaphore file: " + s->FileName);
    return;
  }
  if (s->LockNest != 0 || !s->RegionLocked) return;
  if (!ReadRecord(*s, action)) return;
  const uint16_t next = Counter(*s) >= 65534 ? 0 : static_cast<uint16_t>(Counter(*s) + 1);
  SetCounter(*s, next);
  s->Record[1] = s->Reading ? 1 : 0;
  if (!WriteRecord(*s, action)) return;
  if (!RegionUnlock(*s, action)) return;
  s->SeenCounter = next;
}

}  // namespace

std::string SemaphoreFileName(const std::string& tableName) {
  const std::string own = ForceExtension(tableName, "@S@");
  if (SemaphoreFolder.empty()) return own;
  std::string folder = SemaphoreFolder;
  if (folder.back() != '/') folder += '/';
  return folder + BaseName(own) + ".@S@";
}

namespace {

// One action for the current work area; false when it failed (its error reported).
bool RunAction(int action) {
  const int area = CurrentArea;
  if (area > 34) {
    SetError(254, "Work area [" + std::to_string(area) + " ] out of range. [HandleSemafore]");
    return false;
  }
  WorkArea* a = CheckWorkArea("HandleSemafore");
  if (!a) return false;
  AreaIndexState& st = AreaState(area);
  switch (action) {
    case SemLogin: Login(area, *a, st); return st.Semaphore != nullptr || a->Exclusive;
    case SemLogout: Logout(*a, st); return true;
    case SemIncRead: return IncRead(area, st);
    case SemDecRead: DecRead(st); return true;
    case SemLock: return LockSemaphore(area, st);
    case SemUnlock: UnlockSemaphore(st); return true;
    default: SetError(220, "Unzulässige Aktion [HandleSemafore]");
  }
  return false;
}

}  // namespace

void HandleSemafore(int action) { RunAction(action); }

namespace {

// A counted bracket: entering at 0 runs the first action, leaving to 0 the second. The count rises
// only once the first action has succeeded: after a failed wait the bracket is not held, and the
// next entry waits again.
bool Bracket(int AreaIndexState::*nest, bool enter, int first, int second, const char* routine) {
  AreaIndexState* st = AreaStateIfAny(CurrentArea);
  if (!st || !CurrentWorkArea()) return true;
  int& n = st->*nest;
  if (enter) {
    if (n > 0) {
      ++n;
      return true;
    }
    if (!RunAction(first)) return false;
    n = 1;
    return true;
  }
  if (n <= 0) {
    n = 0;
    SetError(254, std::string("Non-symmetrical Lock-Unlock [") + routine + "]");
    return false;
  }
  if (--n == 0) return RunAction(second);
  return true;
}

}  // namespace

bool SetReadSemaphoreProc(bool enter) {
  return Bracket(&AreaIndexState::ReadProcNest, enter, SemIncRead, SemDecRead, "SetReadSemaphoreProc");
}

bool SetLockSemaphoreProc(bool enter) {
  return Bracket(&AreaIndexState::LockProcNest, enter, SemLock, SemUnlock, "SetLockSemaphoreProc");
}

}  // namespace qern::kelpie
