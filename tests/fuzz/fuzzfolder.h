// Helpers of the table-engine fuzz targets: a private temporary folder per target and whole-file
// reads and writes.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <map>
#include <string>

namespace qern::fuzz {

inline const std::string& Folder(const std::string& name) {
  static std::map<std::string, std::string> folders;
  auto it = folders.find(name);
  if (it == folders.end()) {
    std::string tmpl = "/tmp/qern-" + name + "-fuzz-XXXXXX";
    const char* made = mkdtemp(tmpl.data());
    it = folders.emplace(name, made ? made : "/tmp").first;
  }
  return it->second;
}

inline void WriteFile(const std::string& name, const std::string& bytes) {
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

inline std::string ReadFile(const std::string& name) {
  std::string out;
  if (FILE* f = std::fopen(name.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

}  // namespace qern::fuzz
