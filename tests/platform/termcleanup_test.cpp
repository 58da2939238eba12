// A run ended by a termination signal removes its working folders and working files.
#include "platform/termcleanup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace qern {
namespace {

namespace fs = std::filesystem;

TEST(TerminationCleanup, SignalRemovesFoldersAndFilesThenEndsTheProcess) {
  const fs::path base = fs::temp_directory_path() / ("qern-term-" + std::to_string(::getpid()));
  fs::create_directories(base / "work");
  std::ofstream(base / "work" / "$$$1.txt") << "listing";
  std::ofstream(base / "work" / "outwin.txt") << "copy";
  std::ofstream(base / ".out.txt.Ab12Cd") << "half";
  std::ofstream(base / ".d.dxf.Xy34Zw") << "half";
  std::ofstream(base / "keep.txt") << "the user's";
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RegisterCleanupFolder((base / "work").string());
      RegisterCleanupFile((base / ".out.txt.Ab12Cd").string());
      RegisterCleanupFile((base / ".d.dxf.Xy34Zw").string());
      ::raise(sig);
      ::_exit(0);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_FALSE(fs::exists(base / "work"));
    EXPECT_FALSE(fs::exists(base / ".out.txt.Ab12Cd"));
    EXPECT_FALSE(fs::exists(base / ".d.dxf.Xy34Zw"));
    EXPECT_TRUE(fs::exists(base / "keep.txt"));
    fs::create_directories(base / "work");
    std::ofstream(base / ".out.txt.Ab12Cd") << "half";
    std::ofstream(base / ".d.dxf.Xy34Zw") << "half";
  }
  // Unregistered: nothing removed.
  const int folder = RegisterCleanupFolder((base / "work").string());
  const int file = RegisterCleanupFile((base / ".out.txt.Ab12Cd").string());
  ASSERT_GE(folder, 0);
  ASSERT_GE(file, 0);
  UnregisterCleanup(folder);
  UnregisterCleanup(file);
  RunTerminationCleanup();
  EXPECT_TRUE(fs::exists(base / "work"));
  EXPECT_TRUE(fs::exists(base / ".out.txt.Ab12Cd"));
  fs::remove_all(base);
}

}  // namespace
}  // namespace qern
