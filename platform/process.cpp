// Program start through posix_spawn with an argument list; no shell is involved.
#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace qern {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Spawns argv; pid := the child. detach: own session, so it outlives a closing terminal.
StartResult Spawn(const std::vector<std::string>& argv, bool detach, pid_t& pid) {
  if (argv.empty() || argv[0].empty()) return StartResult::NotFound;
  if (!ProgramExists(argv[0])) return StartResult::NotFound;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (detach) posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc == ENOENT || rc == EACCES) return StartResult::NotFound;
  return rc == 0 ? StartResult::Started : StartResult::Failed;
}

}  // namespace

bool ProgramExists(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return IsExecutableFile(program);
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : std::string(".");
    if (IsExecutableFile(dir + "/" + program)) return true;
    start = end + 1;
  }
  return false;
}

StartResult StartDetached(const std::vector<std::string>& argv) {
  pid_t pid = 0;
  const StartResult r = Spawn(argv, true, pid);
  // Somebody has to collect the exit status, or the finished program stays a zombie.
  if (r == StartResult::Started) std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return r;
}

StartResult RunAndWait(const std::vector<std::string>& argv, int& exitCode) {
  exitCode = -1;
  pid_t pid = 0;
  const StartResult r = Spawn(argv, false, pid);
  if (r != StartResult::Started) return r;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return StartResult::Failed;
  }
  if (WIFEXITED(status)) exitCode = WEXITSTATUS(status);
  return StartResult::Started;
}

bool NamesWindowsProgram(const std::string& program) {
  std::string p = program;
  p.erase(0, p.find_first_not_of(" \t"));
  p.erase(p.find_last_not_of(" \t") + 1);
  const bool drive = p.size() >= 2 && p[1] == ':' &&
                     ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  std::string tail = p.size() >= 4 ? p.substr(p.size() - 4) : "";
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return drive || p.find('\\') != std::string::npos || tail == ".exe";
}

}  // namespace qern
