// Several processes append to one table while each has its index open: the semaphore file brackets
// every change, so that the index stays whole and every program sees the keys of the others.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;

namespace {

constexpr int kWriters = 3;
constexpr int kRecords = 300;

[[noreturn]] void Writer(const std::string& table, const std::string& index, int writer) {
  int status = 0;
  try {
    KelpieStart();
    LockRetries = 1000000;
    Select(1);
    UseDbf(table);
    SetIndexTo(index, 1);
    for (int i = 1; i <= kRecords; ++i) {
      if (!ALock()) {
        status = 3;
        break;
      }
      ClearRecord();
      PutFieldInt(1, (i * 7919 + writer * 13) % 1000);
      Append();
      Unlock();
    }
    CloseAll();
  } catch (...) {
    status = 2;
  }
  _exit(status);
}

TEST(KpNdxFork, ProgramsSharingAnIndexSeeEachOthersKeys) {
  KelpieStart();
  qern::test::TempFolder tmp;
  const std::string table = tmp.File("shared.dbf");
  const std::string index = tmp.File("shared.ndx");
  ASSERT_TRUE(CreateDbf(table, {{"NR", 'N', 6, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  MakeIndex(index, "NR");
  ASSERT_TRUE(SetIndexTo(index, 1));
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) Writer(table, index, w);
    pids.push_back(pid);
  }
  // Reading along while the others write: every walk is in key order and never shrinks.
  size_t seen = 0, running = pids.size();
  while (running > 0) {
    std::vector<int64_t> walk;
    for (GoTop(); !dEOF(); SKIP(1)) walk.push_back(FieldInt(1));
    EXPECT_TRUE(std::is_sorted(walk.begin(), walk.end()));
    EXPECT_GE(walk.size(), seen);
    seen = walk.size();
    for (pid_t& pid : pids) {
      int status = 0;
      if (pid == 0 || waitpid(pid, &status, WNOHANG) != pid) continue;
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      pid = 0;
      --running;
    }
  }
  std::vector<int64_t> keys;
  for (GoTop(); !dEOF(); SKIP(1)) keys.push_back(FieldInt(1));
  EXPECT_EQ(keys.size(), static_cast<size_t>(kWriters * kRecords));
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  std::vector<uint32_t> recs = IndexWalk(1);
  std::sort(recs.begin(), recs.end());
  ASSERT_EQ(recs.size(), static_cast<size_t>(kWriters * kRecords));
  for (uint32_t i = 0; i < recs.size(); ++i) ASSERT_EQ(recs[i], i + 1);
  CloseAll();
  EXPECT_FALSE(FileExist(SemaphoreFileName(table)));
  KelpieStart();
}

}  // namespace
