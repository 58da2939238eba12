// Running the independent readers (tests/readers/) on our files: a missing reader skips the test
// locally and fails it in CI (CI=true).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"

namespace qern::test {

// Exit status a reader script gives when its library is missing.
constexpr int kReaderMissing = 3;

// The reader's exit status; kReaderMissing when it cannot run or its library is missing, 1 for
// that in CI.
inline int RunReader(const std::vector<std::string>& argv) {
  int code = -1;
  if (qern::RunAndWait(argv, code) != qern::StartResult::Started) code = kReaderMissing;
  const char* ci = std::getenv("CI");
  if (code == kReaderMissing && ci && std::string(ci) == "true") return 1;
  return code;
}

}  // namespace qern::test

// Runs a reader (its argument vector); skips the test when the reader is missing, fails it when the
// reader fails.
#define QERN_RUN_READER(...)                                                          \
  do {                                                                                \
    const int qernReaderStatus = ::qern::test::RunReader(__VA_ARGS__);                \
    if (qernReaderStatus == ::qern::test::kReaderMissing)                             \
      GTEST_SKIP() << "reader missing (CI fails here)";                               \
    ASSERT_EQ(qernReaderStatus, 0) << "reader script failed";                         \
  } while (0)
