// Shared by the fuzz targets: a private working folder for the input files and a dialog service
// that shows nothing, so that a run neither writes outside its own folder nor floods the log.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "framework/progvar.h"
#include "platform/dialogservice.h"

namespace qern::fuzz {

// Answers like the batch service (no, cancel) and shows nothing.
class QuietDialogs : public BatchDialogService {
 public:
  void ShowMessage(const std::string&, const std::string&, MessageKind) override {}
  void ShowLines(const std::string&, const std::vector<std::string>&) override {}
  void Beep() override {}
};

// The folder of this process (with a closing "/"), removed when the process ends. Its name carries
// the process id, so that scripts/fuzz.sh can clear the folders of runs that were killed.
inline const std::string& WorkFolder() {
  // The name outlives every static object: the removal at exit runs after their destruction.
  static char path[4096];
  static const std::string folder = [] {
    // In memory where the system offers it: millions of rewritten files would otherwise wait
    // for the disk.
    std::error_code ec;
    const std::string base = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                                 ? std::string("/dev/shm")
                                 : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/qern-fuzz-" + std::to_string(::getpid()) + "-XXXXXX";
    if (pattern.size() >= sizeof path || !::mkdtemp(pattern.data())) std::abort();
    std::snprintf(path, sizeof path, "%s", pattern.c_str());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    });
    return pattern + "/";
  }();
  return folder;
}

// A folder of its own for one target's files inside the work folder (no closing "/").
inline const std::string& Folder(const std::string& name) {
  static std::map<std::string, std::string> folders;
  auto it = folders.find(name);
  if (it == folders.end()) {
    const std::string path = WorkFolder() + name;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) std::abort();
    it = folders.emplace(name, path).first;
  }
  return it->second;
}

inline void WriteFile(const std::string& name, const std::string& bytes) {
  if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

inline std::string ReadFile(const std::string& name) {
  std::string out;
  if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

// Writes the input as the file name in the work folder and returns its full name.
inline std::string WriteInput(const std::string& name, const uint8_t* data, size_t size) {
  const std::string full = WorkFolder() + name;
  ::unlink(full.c_str());  // a new file, not a truncated one
  std::FILE* f = std::fopen(full.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return full;
}

// Installs the quiet dialogs once.
inline void UseQuietDialogs() {
  static QuietDialogs quiet;
  SetDialogService(&quiet);
}

// Once per process: the program's start values, its short name "qern" and the quiet dialogs.
inline void StartOnce() {
  static const bool started = [] {
    InitProgramState();
    Ident.ProgramName = "qern";
    UseQuietDialogs();
    return true;
  }();
  (void)started;
}

}  // namespace qern::fuzz
