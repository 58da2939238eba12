// Programs that share a table with its index, each holding it open for a while: whatever one of them
// writes back when it closes must not undo the changes of the others.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <set>

#include "support/pipes.h"
#include "support/readers.h"
#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::Await;
using qern::test::ReadFileLines;
using qern::test::Signal;

namespace {

const std::string kReaders = std::string(QERN_SOURCE_DATA) + "/../tests/readers/";

// Opens the table with its index and appends count records NAME = prefix + i (with a memo when the
// table has a second field); 0 when every step went well.
int AppendNamed(const std::string& table, const std::string& index, const std::string& prefix, int count) {
  Select(1);
  if (!UseDbf(table) || !SetIndexTo(index, 1)) return 10;
  for (int i = 0; i < count; ++i) {
    if (!ALock()) return 11;
    ClearRecord();
    PutFieldStr(1, prefix + std::to_string(i));
    if (FieldCount() > 1) PutMemoField(2, "memo of " + prefix + std::to_string(i));
    Append();
    Unlock();
    if (KelpieErrorCode != 0) return 12;
  }
  return 0;
}

[[noreturn]] void Child(const std::function<int()>& work) {
  int status = 2;
  try {
    KelpieStart();
    LockRetries = 1000000;
    status = work();
    CloseAll();
    if (status == 0 && KelpieErrorCode != 0) status = 13;
  } catch (...) {
    status = 2;
  }
  _exit(status);
}

void ExpectExitedWell(pid_t pid) {
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The anchor counts every record, every name is found by Seek, the engine's walk holds every
// record once, and Perl's XBase walks as many entries.
void ExpectEveryKey(qern::test::TempFolder& tmp, const std::string& table, const std::string& index,
                    const std::vector<std::string>& names) {
  EXPECT_EQ(qern::test::Le32At(qern::test::ReadWholeFile(index), 492), names.size());
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  ASSERT_TRUE(SetIndexTo(index, 1));
  ASSERT_EQ(RecCount(), names.size());
  std::vector<uint32_t> recs = IndexWalk(1);
  std::sort(recs.begin(), recs.end());
  ASSERT_EQ(recs.size(), names.size());
  for (uint32_t i = 0; i < recs.size(); ++i) ASSERT_EQ(recs[i], i + 1);
  for (const std::string& n : names) {
    ASSERT_TRUE(Seek(n)) << n;
    ASSERT_EQ(AllTrim(FieldStr(1)), n);
  }
  CloseAll();
  const std::string out = tmp.File("perl-walk.txt");
  QERN_RUN_READER({"/usr/bin/perl", kReaders + "ndx_readers.pl", "walk", index, out});
  const std::vector<std::string> lines = ReadFileLines(out);
  EXPECT_EQ(lines.size(), names.size());
  std::set<std::string> keys;
  for (const std::string& l : lines) keys.insert(l.substr(l.find('|') + 1));
  for (const std::string& n : names) EXPECT_TRUE(keys.count(n)) << n;
}

class SharedIndex : public ::testing::Test {
 protected:
  void SetUp() override { KelpieStart(); }
  void TearDown() override {
    CloseAll();
    KelpieStart();
  }
  qern::test::TempFolder tmp_;
};

// A opens and appends, B opens, appends many more (new root, new blocks) and closes; A closes last.
TEST_F(SharedIndex, TheLastToCloseKeepsTheOthersKeys) {
  const std::string table = tmp_.File("t.dbf");
  const std::string index = tmp_.File("i.ndx");
  ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 10, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  MakeIndex(index, "NAME");
  CloseAll();
  int appended[2], closeNow[2];
  ASSERT_EQ(::pipe(appended), 0);
  ASSERT_EQ(::pipe(closeNow), 0);
  const pid_t a = fork();
  ASSERT_GE(a, 0);
  if (a == 0)
    Child([&] {
      const int r = AppendNamed(table, index, "a", 60);
      Signal(appended[1]);
      return Await(closeNow[0]) ? r : 14;
    });
  ASSERT_TRUE(Await(appended[0]));
  const pid_t b = fork();
  ASSERT_GE(b, 0);
  if (b == 0) Child([&] { return AppendNamed(table, index, "b", 400); });
  ExpectExitedWell(b);
  Signal(closeNow[1]);
  ExpectExitedWell(a);
  for (int fd : {appended[0], appended[1], closeNow[0], closeNow[1]}) ::close(fd);
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back("a" + std::to_string(i));
  for (int i = 0; i < 400; ++i) names.push_back("b" + std::to_string(i));
  ExpectEveryKey(tmp_, table, index, names);
}

// Eight programs append at once, each with the index and a memo per record; they stay open until
// all are done and close in the reverse order of finishing, so that the one with the oldest view
// of the index closes last.
TEST_F(SharedIndex, EightWritersLeaveEveryRecordInTheIndex) {
  constexpr int kWriters = 8;
  constexpr int kRecords = 3000;
  const std::string table = tmp_.File("w.dbf");
  const std::string index = tmp_.File("w.ndx");
  ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 100, 0}, {"TEXT", 'M', 10, 0}}, false, 0x8B));
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  MakeIndex(index, "NAME");
  CloseAll();
  int finished[2];
  ASSERT_EQ(::pipe(finished), 0);
  std::vector<pid_t> pids;
  std::vector<int> closeNow;
  for (int w = 0; w < kWriters; ++w) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
      Child([&] {
        const int r = AppendNamed(table, index, std::string(1, static_cast<char>('a' + w)), kRecords);
        const char me = static_cast<char>(w);
        (void)!::write(finished[1], &me, 1);
        return Await(p[0]) ? r : 14;
      });
    ::close(p[0]);
    pids.push_back(pid);
    closeNow.push_back(p[1]);
  }
  std::vector<int> order;
  for (int i = 0; i < kWriters; ++i) {
    char w = 0;
    ASSERT_EQ(::read(finished[0], &w, 1), 1);
    order.push_back(w);
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    Signal(closeNow[*it]);
    ExpectExitedWell(pids[*it]);
  }
  for (int fd : closeNow) ::close(fd);
  ::close(finished[0]);
  ::close(finished[1]);
  std::vector<std::string> names;
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kRecords; ++i) names.push_back(std::string(1, static_cast<char>('a' + w)) + std::to_string(i));
  ExpectEveryKey(tmp_, table, index, names);
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  for (uint32_t r = 1; r <= RecCount(); r += 97) {
    GO(r);
    EXPECT_EQ(MemoFieldText(2), "memo of " + AllTrim(FieldStr(1)));
  }
}

}  // namespace
