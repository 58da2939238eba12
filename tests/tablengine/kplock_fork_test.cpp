// Several processes append to one table through the table lock: no record is lost or overwritten,
// and the header count and end marker written at each close stay right.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <set>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;

namespace {

constexpr int kWriters = 4;
constexpr int kRecords = 2000;

// One writer process: appends kRecords records "W<writer>" / i, each under ALock.
[[noreturn]] void Writer(const std::string& name, int writer) {
  int status = 0;
  try {
    LockRetries = 1000000;
    LockWaitMs = 0;
    Select(1);
    UseDbf(name);
    for (int i = 1; i <= kRecords; ++i) {
      if (!ALock()) {
        status = 3;
        break;
      }
      ClearRecord();
      PutFieldStr(1, "W" + std::to_string(writer));
      PutFieldInt(2, i);
      Append();
      Unlock();
    }
    CloseAll();
  } catch (...) {
    status = 2;
  }
  _exit(status);
}

TEST(KpLockFork, ParallelAppendsLoseNoRecord) {
  KelpieInit();
  qern::test::TempFolder tmp;
  const std::string name = tmp.File("shared.dbf");
  ASSERT_TRUE(CreateDbf(name, {{"WER", 'C', 4, 0}, {"NR", 'N', 6, 0}}));
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) Writer(name, w);
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  const std::string file = qern::test::ReadWholeFile(name);
  const uint32_t headerCount = static_cast<uint8_t>(file[4]) | (static_cast<uint8_t>(file[5]) << 8) |
                               (static_cast<uint8_t>(file[6]) << 16);
  EXPECT_EQ(headerCount, static_cast<uint32_t>(kWriters * kRecords));
  EXPECT_EQ(file.size(), 32u + 2 * 32 + 1 + kWriters * kRecords * 11u + 1);
  EXPECT_EQ(file.back(), '\x1A');
  Select(1);
  ASSERT_TRUE(UseDbf(name));
  ASSERT_EQ(RecCount(), static_cast<uint32_t>(kWriters * kRecords));
  std::set<std::pair<std::string, int64_t>> seen;
  for (GoTop(); !dEOF(); SKIP(1)) seen.insert({FieldStr(1), FieldInt(2)});
  EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kRecords));
  CloseAll();
  KelpieInit();
}

}  // namespace

namespace {

TEST(KpLockFork, ProgramEndWritesWhatIsPending) {
  KelpieInit();
  qern::test::TempFolder tmp;
  const std::string name = tmp.File("ende.dbf");
  ASSERT_TRUE(CreateDbf(name, {{"NR", 'N', 4, 0}}));
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // Appends under the lock, then ends without closing or unlocking.
    Select(1);
    UseDbf(name);
    ALock();
    for (int i = 1; i <= 3; ++i) {
      PutFieldInt(1, i);
      Append();
    }
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string file = qern::test::ReadWholeFile(name);
  EXPECT_EQ(file[4], 3);
  EXPECT_EQ(file.size(), 32u + 32 + 1 + 3 * 5u + 1);
  EXPECT_EQ(file.substr(file.size() - 5), "   3\x1A");
}

}  // namespace

namespace {

// An append is in the file when it returns: a program killed under the table lock, before it could
// unlock or close, has lost none of the records it appended.
TEST(KpLockFork, KilledProgramKeepsItsAppends) {
  KelpieInit();
  qern::test::TempFolder tmp;
  const std::string name = tmp.File("kill.dbf");
  ASSERT_TRUE(CreateDbf(name, {{"NR", 'N', 4, 0}}));
  for (const bool exclusive : {false, true}) {
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Select(1);
      UseDbf(name, "", exclusive);
      ALock();
      for (int i = 1; i <= 3; ++i) {
        PutFieldInt(1, i);
        Append();
      }
      const char done = KelpieErrorCode == 0 ? 'y' : 'n';
      [[maybe_unused]] const auto w = ::write(pipeFd[1], &done, 1);
      ::pause();
      _exit(0);
    }
    ::close(pipeFd[1]);
    char done = 0;
    ASSERT_EQ(::read(pipeFd[0], &done, 1), 1);
    ::close(pipeFd[0]);
    EXPECT_EQ(done, 'y');
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    Select(1);
    ASSERT_TRUE(UseDbf(name));
    ASSERT_EQ(RecCount(), exclusive ? 6u : 3u) << exclusive;
    std::vector<int64_t> values;
    for (GoTop(); !dEOF(); SKIP(1)) values.push_back(FieldInt(1));
    EXPECT_EQ(values.back(), 3);
    CloseAll();
  }
  KelpieInit();
}

}  // namespace
