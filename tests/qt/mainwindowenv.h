// A fresh program for a main-window test: a private working folder with its own HOME, the
// default design null.qrk in it, no command line and no shipped data folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/qernstart.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "tests/support/testutil.h"

namespace qern::test {

class MainWindowEnvironment {
 public:
  MainWindowEnvironment() {
    std::filesystem::create_directories(dir_ / "home");
    const char* home = std::getenv("HOME");
    oldHome_ = home ? home : "";
    setenv("HOME", (dir_ / "home").c_str(), 1);
    InitProgramState();
    SetDefaultDesign();
    SetProgramParams({});
    SetShippedDataFolder((dir_ / "none").string());
    std::filesystem::copy_file(std::filesystem::path(QERN_SOURCE_DATA) / "null.qrk", dir_ / "null.qrk");
  }
  ~MainWindowEnvironment() {
    SetShippedDataFolder("");
    setenv("HOME", oldHome_.c_str(), 1);
  }
  MainWindowEnvironment(const MainWindowEnvironment&) = delete;
  MainWindowEnvironment& operator=(const MainWindowEnvironment&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }

 private:
  TempFolder folder_{true};
  std::filesystem::path dir_ = folder_.Path();
  std::string oldHome_;
};

}  // namespace qern::test
