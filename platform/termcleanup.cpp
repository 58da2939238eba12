// Termination clean-up: the names live in fixed buffers and the handler uses only system calls,
// so that it is safe to run at any point of the program.
#include "platform/termcleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace qern {

namespace {

struct CleanupName {
  char path[PATH_MAX] = {};
  volatile std::sig_atomic_t set = 0;

  void Set(const std::string& name) {
    set = 0;
    if (name.empty() || name.size() >= sizeof path) return;
    std::memcpy(path, name.c_str(), name.size() + 1);
    set = 1;
  }
};

CleanupName folderName, fileName;
bool installed = false;

// Directory entries as the kernel gives them (getdents64).
struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

// Removes the plain entries of a flat folder, then the folder.
void RemoveFolder(const char* path) {
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

void OnTerminate(int sig) {
  RunTerminationCleanup();
  std::signal(sig, SIG_DFL);
  ::raise(sig);
}

}  // namespace

void InstallTerminationCleanup() {
  if (installed) return;
  installed = true;
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&sa.sa_mask, sig);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

void SetCleanupFolder(const std::string& folder) { folderName.Set(folder); }

void SetCleanupFile(const std::string& file) { fileName.Set(file); }

void RunTerminationCleanup() {
  if (fileName.set) ::unlink(fileName.path);
  if (folderName.set) RemoveFolder(folderName.path);
}

}  // namespace qern
