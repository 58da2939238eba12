// Running the independent readers (tests/readers/) on our files: a missing reader skips the test
// locally and fails it in CI (CI=true).
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
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

// The reader's exit status and what it printed (standard output and error); kReaderMissing when
// it cannot start. The caller decides with ReaderAbsent what a missing reader means.
inline int RunReaderOutput(const std::vector<std::string>& argv, std::string& out) {
  out.clear();
  if (argv.empty() || !qern::ProgramExists(argv[0])) return kReaderMissing;
  std::string cmd;
  for (const std::string& a : argv) {
    std::string quoted = "'";
    for (char c : a) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    cmd += quoted + "' ";
  }
  FILE* p = ::popen((cmd + "2>&1").c_str(), "r");
  if (!p) return kReaderMissing;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// True when the reader could not run (status kReaderMissing): a failure in CI, else the caller
// skips the test.
inline bool ReaderAbsent(int status, const std::string& reader) {
  if (status != kReaderMissing) return false;
  const char* ci = std::getenv("CI");
  if (ci && std::string(ci) == "true") ADD_FAILURE() << reader << " is not installed";
  return true;
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
