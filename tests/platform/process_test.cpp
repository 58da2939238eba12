// Tests of the argument-list program start.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using namespace qern;

namespace {
fs::path TempDir() {
  fs::path dir = fs::temp_directory_path() / ("qern_process_" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir;
}
}  // namespace

TEST(Process, ArgumentsReachTheProgramLiterally) {
  const fs::path dir = TempDir();
  // A shell would split this name and run the part after ";".
  const fs::path odd = dir / "a b;touch x";
  int code = 99;
  ASSERT_EQ(RunAndWait({"touch", odd.string()}, code), StartResult::Started);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(fs::exists(odd));
  EXPECT_FALSE(fs::exists("x"));
  fs::remove_all(dir);
}

TEST(Process, ExitCodeAndMissingProgram) {
  int code = 0;
  EXPECT_EQ(RunAndWait({"false"}, code), StartResult::Started);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(RunAndWait({"/no/such/program"}, code), StartResult::NotFound);
  EXPECT_EQ(StartDetached({"no-such-program-qern"}), StartResult::NotFound);
  EXPECT_EQ(StartDetached({}), StartResult::NotFound);
  EXPECT_TRUE(ProgramExists("true"));
  EXPECT_FALSE(ProgramExists("/etc/passwd"));  // exists, but not executable
}

TEST(Process, DetachedProgramRunsOnItsOwn) {
  const fs::path dir = TempDir();
  const fs::path made = dir / "made";
  ASSERT_EQ(StartDetached({"touch", made.string()}), StartResult::Started);
  for (int i = 0; i < 200 && !fs::exists(made); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(made));
  fs::remove_all(dir);
}
