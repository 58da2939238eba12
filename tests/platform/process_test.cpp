// Tests of the argument-list program start.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/testutil.h"

namespace fs = std::filesystem;
using namespace qern;

TEST(Process, ArgumentsReachTheProgramLiterally) {
  test::TempFolder dir(true);
  // A shell would split this name and run the part after ";".
  const std::string odd = dir.File("a b;touch x");
  int code = 99;
  ASSERT_EQ(RunAndWait({"touch", odd}, code), StartResult::Started);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(fs::exists(odd));
  EXPECT_FALSE(fs::exists("x"));
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
  test::TempFolder dir;
  const std::string made = dir.File("made");
  ASSERT_EQ(StartDetached({"touch", made}), StartResult::Started);
  for (int i = 0; i < 200 && !fs::exists(made); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(made));
}
