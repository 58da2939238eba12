// A run ended by a termination signal removes its working folder and the half-written file.
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

TEST(TerminationCleanup, SignalRemovesFolderAndFileThenEndsTheProcess) {
  const fs::path base = fs::temp_directory_path() / ("qern-term-" + std::to_string(::getpid()));
  fs::create_directories(base / "work");
  std::ofstream(base / "work" / "$$$1.txt") << "listing";
  std::ofstream(base / "work" / "outwin.txt") << "copy";
  std::ofstream(base / ".out.txt.tmp") << "half";
  std::ofstream(base / "keep.txt") << "the user's";
  for (int sig : {SIGTERM, SIGINT}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InstallTerminationCleanup();
      SetCleanupFolder((base / "work").string());
      SetCleanupFile((base / ".out.txt.tmp").string());
      ::raise(sig);
      ::_exit(0);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig;
    EXPECT_FALSE(fs::exists(base / "work"));
    EXPECT_FALSE(fs::exists(base / ".out.txt.tmp"));
    EXPECT_TRUE(fs::exists(base / "keep.txt"));
    fs::create_directories(base / "work");
  }
  // Nothing registered: nothing removed.
  SetCleanupFolder("");
  SetCleanupFile("");
  RunTerminationCleanup();
  EXPECT_TRUE(fs::exists(base / "work"));
  fs::remove_all(base);
}

}  // namespace
}  // namespace qern
