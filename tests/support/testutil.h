// Small helpers shared by the test programs: a private temporary folder and whole-file reads/writes.
#pragma once

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qern::test {

// A fresh folder under /tmp, removed with everything in it when the object goes.
// With enter = true the process works in it until then (the previous folder is restored).
class TempFolder {
 public:
  explicit TempFolder(bool enter = false) {
    char tmpl[] = "/tmp/qern-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    if (enter) {
      previous_ = std::filesystem::current_path();
      std::filesystem::current_path(path_);
    }
  }
  ~TempFolder() {
    std::error_code ec;
    if (!previous_.empty()) std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + name
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::filesystem::path previous_;
};

// A link at name to target that belongs to another user, as one planted in a shared folder: the
// program follows only its user's own links. Only root can give a link away; false elsewhere
// (the caller then skips).
inline bool PlantForeignLink(const std::string& target, const std::string& name) {
  std::filesystem::create_symlink(target, name);
  if (::geteuid() != 0) return false;
  return ::lchown(name.c_str(), 65534, 65534) == 0;  // nobody
}
#define QERN_PLANT_FOREIGN_LINK(target, name)                                              \
  do {                                                                                     \
    if (!::qern::test::PlantForeignLink(target, name))                                     \
      GTEST_SKIP() << "another user's link can only be planted by root; own links are followed"; \
  } while (0)

inline std::string ReadWholeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteWholeFile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
}

// The lines of a text file without their CR LF or LF ends.
inline std::vector<std::string> ReadFileLines(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Writes the lines with CR LF ends, as the program's own text files have them.
inline void WriteFileLines(const std::string& name, const std::vector<std::string>& lines) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  for (const auto& l : lines) out << l << "\r\n";
}

// The unsigned little-endian 32-bit number at byte offset at of a file's bytes.
inline uint32_t Le32At(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// Read calls of this process so far (the kernel's count; -1 where it is not kept).
inline long ReadCalls() {
  std::ifstream in("/proc/self/io");
  for (std::string key; in >> key;) {
    long v = 0;
    in >> v;
    if (key == "syscr:") return v;
  }
  return -1;
}

// Sets an environment variable for the life of the object (unset: nullopt).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs body in a child process whose address space may grow by at most extraBytes beyond what
// it has at the start; true when body returned true there (an allocation beyond the limit fails
// and ends the child otherwise).
inline bool RunWithinMemory(size_t extraBytes, const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE)) + extraBytes;
    const rlimit as{limit, limit};
    if (pages == 0 || ::setrlimit(RLIMIT_AS, &as) != 0) ::_exit(3);
    bool ok = false;
    try {
      ok = body();
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What a shell command writes to its standard output; its exit status through status.
inline std::string ShellOutput(const std::string& command, int* status = nullptr) {
  std::string text;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  const int rc = ::pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return text;
}

// Runs setfacl with the arguments; false when the tool is missing or the file system keeps no ACLs.
inline bool SetFacl(const std::string& args) {
  int status = -1;
  ShellOutput("setfacl " + args + " 2>/dev/null", &status);
  return status == 0;
}

// The ACL of a file as getfacl lists it (numeric ids, without its head), effective rights left out.
inline std::string FaclOf(const std::string& name) {
  return ShellOutput("getfacl -cnE '" + name + "' 2>/dev/null");
}

}  // namespace qern::test
