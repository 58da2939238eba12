// A private temporary folder for a fuzz target's files, made once and removed when the run ends.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace qern::fuzz {

struct PrivateFolder {
  explicit PrivateFolder(std::string pattern) {
    if (const char* made = mkdtemp(pattern.data())) path = made;
  }
  ~PrivateFolder() {
    if (!path.empty()) rmdir(path.c_str());
  }
  std::string path;
};

// The folder of this run, "" when it could not be made; pattern ends in "XXXXXX".
inline const std::string& RunFolder(const char* pattern) {
  static const PrivateFolder folder(pattern);
  return folder.path;
}

}  // namespace qern::fuzz
