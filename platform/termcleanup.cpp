// Termination clean-up: the names live in fixed slots and the handler uses only system calls, so
// that it is safe to run at any point of the program.
#include "platform/termcleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace qern {

namespace {

// A slot is free, being filled (the handler skips it), or holds a name.
enum SlotState : int { Free = 0, Filling = 1, FileSet = 2, FolderSet = 3 };

struct CleanupSlot {
  std::atomic<int> state{Free};
  char path[PATH_MAX] = {};
};

// Enough for every working file and folder that can exist at one time.
constexpr int SlotCount = 32;
CleanupSlot slots[SlotCount];
std::atomic<bool> installed{false};

// Directory entries as the kernel gives them (getdents64).
struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

void OnTerminate(int sig) {
  RunTerminationCleanup();
  std::signal(sig, SIG_DFL);
  ::raise(sig);
}

int Register(const std::string& name, SlotState kind) {
  if (name.empty() || name.size() >= PATH_MAX) return -1;
  InstallTerminationCleanup();
  for (int i = 0; i < SlotCount; ++i) {
    int expected = Free;
    if (!slots[i].state.compare_exchange_strong(expected, Filling)) continue;
    std::memcpy(slots[i].path, name.c_str(), name.size() + 1);
    slots[i].state.store(kind);
    return i;
  }
  return -1;
}

}  // namespace

void RemoveFlatFolder(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  alignas(LinuxDirent64) char buf[4096];
  for (;;) {
    const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
    if (n <= 0) break;
    for (long pos = 0; pos < n;) {
      auto* d = reinterpret_cast<LinuxDirent64*>(buf + pos);
      pos += d->d_reclen;
      if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
      ::unlinkat(fd, d->d_name, 0);
    }
  }
  ::close(fd);
  ::rmdir(path);
}

void InstallTerminationCleanup() {
  if (installed.exchange(true)) return;
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&sa.sa_mask, sig);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

int RegisterCleanupFile(const std::string& file) { return Register(file, FileSet); }

int RegisterCleanupFolder(const std::string& folder) { return Register(folder, FolderSet); }

void UnregisterCleanup(int handle) {
  if (handle >= 0 && handle < SlotCount) slots[handle].state.store(Free);
}

void RunTerminationCleanup() {
  // Files first: a working file may lie in a registered folder.
  for (auto& slot : slots)
    if (slot.state.load() == FileSet) ::unlink(slot.path);
  for (auto& slot : slots)
    if (slot.state.load() == FolderSet) RemoveFlatFolder(slot.path);
}

}  // namespace qern
