// Programs sharing a table's index when the waits for its locks fail: a stopped reader, a writer
// killed inside its index write, programs opening an index that needs repair at once, and a record
// that others reach while its appender is still at work. Every append answered OK must be in the
// index once, found by the engine and by Perl's XBase; a failed wait belongs to its one command.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "support/pipes.h"
#include "support/readers.h"
#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::Await;
using qern::test::ReadFileLines;
using qern::test::ReadWholeFile;
using qern::test::Signal;

namespace {

const std::string kReaders = std::string(QERN_SOURCE_DATA) + "/../tests/readers/";

// A writer waits this long for the readers in these tests (seconds).
constexpr int kShortWait = 1;

// What the key function does on its next call: nothing, stop this program, or report on the pipe
// and wait there to be killed. It is called while the writers' lock is held, inside the append.
enum class InKey { Nothing, Stop, ReportAndWait };
InKey inKey = InKey::Nothing;
int inKeyFd = -1;

std::string NameKey(void*) {
  const InKey what = inKey;
  inKey = InKey::Nothing;
  if (what == InKey::Stop) ::raise(SIGSTOP);
  if (what == InKey::ReportAndWait) {
    Signal(inKeyFd);
    for (;;) ::pause();
  }
  return FieldStr(1);
}

// The error code a command raised or left (0 when none).
int RaisedCode(const std::function<void()>& command) {
  try {
    command();
  } catch (const EKelpieError& e) {
    return e.Code;
  }
  return KelpieErrorCode;
}

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe(fd), 0); }
  ~Pipe() {
    for (int f : fd)
      if (f >= 0) ::close(f);
  }
  int In() const { return fd[0]; }
  int Out() const { return fd[1]; }
};

// Child programs of a test: started on a fresh engine, their exit status the work's result; any
// left when the test ends are continued and killed.
class Programs {
 public:
  ~Programs() {
    for (pid_t p : pids_) {
      ::kill(p, SIGCONT);
      ::kill(p, SIGKILL);
      int status = 0;
      ::waitpid(p, &status, 0);
    }
  }
  pid_t Start(const std::function<int()>& work) {
    const pid_t pid = fork();
    if (pid == 0) {
      int status = 2;
      try {
        KelpieStart();
        LockRetries = 1000000;
        LockWaitMs = 1;
        SemaphoreWaitLimit = kShortWait;
        status = work();
        CloseAll();
        if (status == 0 && KelpieErrorCode != 0) status = 13;
      } catch (const EKelpieError& e) {
        status = e.Code == 1202 ? 12 : 11;
      } catch (...) {
        status = 2;
      }
      _exit(status);
    }
    if (pid > 0) pids_.insert(pid);
    return pid;
  }
  bool Stopped(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status);
  }
  // Exit status (-1 when it did not exit).
  int Wait(pid_t pid) {
    int status = 0;
    const bool ok = ::waitpid(pid, &status, 0) == pid;
    pids_.erase(pid);
    return ok && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  std::set<pid_t> pids_;
};

bool Open(const std::string& table, const std::string& index, bool keyFunction) {
  Select(1);
  return UseDbf(table) && SetIndexTo(index, 1, keyFunction ? &NameKey : nullptr);
}

// One append of name under the table lock; the engine's error code (0 when answered OK).
int AppendOne(const std::string& name) {
  if (!ALock()) return -1;
  const int code = RaisedCode([&] {
    ClearRecord();
    PutFieldStr(1, name);
    Append();
  });
  Unlock();
  return code;
}

// Appends prefix + i for i in [from, to); 0 when every one was answered OK.
int AppendRange(const std::string& prefix, int from, int to) {
  for (int i = from; i < to; ++i)
    if (AppendOne(prefix + std::to_string(i)) != 0) return 20;
  return 0;
}

std::vector<std::string> Names(const std::string& prefix, int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i < to; ++i) out.push_back(prefix + std::to_string(i));
  return out;
}

uint16_t ChangeCounter(const std::string& table) {
  const std::string s = ReadWholeFile(SemaphoreFileName(table));
  return s.size() < 4 ? 0 : static_cast<uint16_t>(static_cast<uint8_t>(s[2]) | static_cast<uint8_t>(s[3]) << 8);
}

int ReaderCount(const std::string& table) {
  const std::string s = ReadWholeFile(SemaphoreFileName(table));
  return s.size() < 2 ? -1 : static_cast<uint8_t>(s[1]);
}

class IndexLockErrors : public ::testing::Test {
 protected:
  void SetUp() override { KelpieStart(); }
  void TearDown() override {
    CloseAll();
    KelpieStart();
    SemaphoreWaitLimit = 100;
    inKey = InKey::Nothing;
  }

  // A table NAME C 10 with count records r0.. and its index (by the key function or by NAME).
  void MakeTable(int count, bool keyFunction, const std::string& name = "t") {
    table_ = tmp_.File(name + ".dbf");
    index_ = tmp_.File(name + ".ndx");
    ASSERT_TRUE(CreateDbf(table_, {{"NAME", 'C', 10, 0}}));
    Select(1);
    ASSERT_TRUE(UseDbf(table_, "", true));
    for (int i = 0; i < count; ++i) {
      ClearRecord();
      PutFieldStr(1, "r" + std::to_string(i));
      Append();
    }
    if (keyFunction) MakeIndex(index_, "", &NameKey);
    else MakeIndex(index_, "NAME");
    CloseAll();
    keyFunction_ = keyFunction;
  }

  // Every name has one entry and is found by Seek; no record has two entries, none lies beyond the
  // table; with everyRecord each record of the table has its entry. Perl's XBase walks the same.
  void ExpectKeysOnce(const std::vector<std::string>& names, bool everyRecord) {
    Select(1);
    ASSERT_TRUE(UseDbf(table_));
    ASSERT_TRUE(SetIndexTo(index_, 1, keyFunction_ ? &NameKey : nullptr));
    const std::vector<uint32_t> recs = IndexWalk(1);
    const uint32_t count = RecCount();
    EXPECT_EQ(std::set<uint32_t>(recs.begin(), recs.end()).size(), recs.size()) << "a record with two entries";
    if (everyRecord) {
      EXPECT_EQ(recs.size(), count) << "records without keys";
    }
    std::map<std::string, int> entries;
    Set_Order_To(0);
    for (uint32_t r : recs) {
      ASSERT_LE(r, count);
      GO(r);
      ++entries[AllTrim(FieldStr(1))];
    }
    Set_Order_To(1);
    for (const std::string& n : names) {
      EXPECT_EQ(entries[n], 1) << n;
      ASSERT_TRUE(Seek(n)) << n;
      EXPECT_EQ(AllTrim(FieldStr(1)), n);
    }
    CloseAll();
    const std::string out = tmp_.File("perl-walk.txt");
    QERN_RUN_READER({"/usr/bin/perl", kReaders + "ndx_readers.pl", "walk", index_, out});
    std::map<std::string, int> perl;
    const std::vector<std::string> lines = ReadFileLines(out);
    EXPECT_EQ(lines.size(), recs.size());
    for (const std::string& l : lines) ++perl[l.substr(l.find('|') + 1)];
    for (const std::string& n : names) EXPECT_EQ(perl[n], 1) << n;
  }

  qern::test::TempFolder tmp_;
  std::string table_, index_;
  bool keyFunction_ = false;
  Programs programs_;
};

// A reader counted by the filter's stop inside its walk; it walks on when continued.
pid_t StoppedReader(Programs& programs, const std::string& table, const std::string& index, bool keyFunction,
                    uint32_t records) {
  const pid_t pid = programs.Start([=] {
    if (!Open(table, index, keyFunction)) return 10;
    bool stop = true;
    SetFilter([&stop] {
      if (stop) {
        stop = false;
        ::raise(SIGSTOP);
      }
      return true;
    });
    uint32_t seen = 0;
    for (GoTop(); !dEOF(); SKIP(1)) ++seen;
    return seen >= records ? 0 : 21;
  });
  return pid;
}

// A reader stops inside its walk: one append waits and is refused, and adds no record; the same
// program's next appends take the writers' lock again (the change counter moves) while another
// writer appends beside it.
TEST_F(IndexLockErrors, AStoppedReaderRefusesOneAppendAndTheNextOnesLockAgain) {
  for (const bool keyFunction : {false, true}) {
    SCOPED_TRACE(keyFunction ? "key function" : "expression");
    MakeTable(300, keyFunction, keyFunction ? "k" : "e");
    const pid_t reader = StoppedReader(programs_, table_, index_, keyFunction, 300);
    ASSERT_TRUE(programs_.Stopped(reader));
    Pipe refused, goOn;
    const pid_t p = programs_.Start([&] {
      if (!Open(table_, index_, keyFunction)) return 10;
      const int first = AppendOne("p0");
      const uint32_t count = RecCount();
      Signal(refused.Out());
      if (first != 1202) return 30;
      if (count != 300) return 31;  // no record without its keys
      if (!Await(goOn.In())) return 14;
      for (int i = 1; i <= 200; ++i) {
        const uint16_t before = ChangeCounter(table_);
        if (AppendOne("p" + std::to_string(i)) != 0) return 20;
        if (ChangeCounter(table_) == before) return 32;  // written without the lock
      }
      return 0;
    });
    ASSERT_TRUE(Await(refused.In()));
    ::kill(reader, SIGCONT);
    EXPECT_EQ(programs_.Wait(reader), 0);
    const pid_t q = programs_.Start([&] { return Open(table_, index_, keyFunction) ? AppendRange("q", 0, 300) : 10; });
    Signal(goOn.Out());
    EXPECT_EQ(programs_.Wait(p), 0);
    EXPECT_EQ(programs_.Wait(q), 0);
    std::vector<std::string> names = Names("r", 0, 300);
    for (const auto& set : {Names("p", 1, 201), Names("q", 0, 300)}) names.insert(names.end(), set.begin(), set.end());
    ExpectKeysOnce(names, true);
  }
}

// With the error dispatch off nothing is raised: an append or a rewrite whose wait for the readers
// failed writes nothing, and the next one waits again. (Another program's reader count is put into
// the semaphore file.)
TEST_F(IndexLockErrors, WithoutRaisedErrorsARefusedChangeWritesNothing) {
  MakeTable(20, false);
  SemaphoreWaitLimit = kShortWait;
  ASSERT_TRUE(Open(table_, index_, false));
  const std::string sem = SemaphoreFileName(table_);
  std::string record = ReadWholeFile(sem);
  ASSERT_EQ(record.size(), 4u);
  record[1] = 1;
  qern::test::WriteWholeFile(sem, record);
  const bool dispatch = SetErrorDispatch(false);
  ASSERT_TRUE(ALock());
  ClearRecord();
  PutFieldStr(1, "neu");
  Append();
  EXPECT_EQ(KelpieErrorCode, 1202);
  EXPECT_EQ(RecCount(), 20u);
  GO(5);
  PutFieldStr(1, "anders");
  Replace();
  EXPECT_EQ(KelpieErrorCode, 1202);
  EXPECT_EQ(AllTrim(Peek(1, 5)), "r4");
  Unlock();
  SetErrorDispatch(dispatch);
  record[1] = 0;
  qern::test::WriteWholeFile(sem, record);
  const uint16_t before = ChangeCounter(table_);
  EXPECT_EQ(AppendOne("neu"), 0);
  EXPECT_EQ(ChangeCounter(table_), before + 1);
  CloseAll();
  std::vector<std::string> names = Names("r", 0, 20);
  names.push_back("neu");
  ExpectKeysOnce(names, true);
}

// A writer stops while it holds the writers' lock: a reader's GoTop waits and is refused; its next
// walk counts it as a reader again.
TEST_F(IndexLockErrors, AReaderRefusedOnceIsCountedInItsNextWalk) {
  MakeTable(100, true);
  ASSERT_TRUE(Open(table_, index_, true));
  const pid_t w = programs_.Start([&] {
    if (!Open(table_, index_, true)) return 10;
    inKey = InKey::Stop;
    return AppendOne("w0");
  });
  ASSERT_TRUE(programs_.Stopped(w));
  EXPECT_EQ(RaisedCode([] { GoTop(); }), 1202) << "GoTop did not wait for the writer";
  ::kill(w, SIGCONT);
  EXPECT_EQ(programs_.Wait(w), 0);
  int counted = -1;
  SetFilter([&] {
    if (counted < 0) counted = ReaderCount(table_);
    return true;
  });
  uint32_t seen = 0;
  for (GoTop(); !dEOF(); SKIP(1)) ++seen;
  EXPECT_EQ(counted, 1);
  EXPECT_EQ(seen, 101u);
  EXPECT_EQ(ReaderCount(table_), 0);
  // Seek goes through the same bracket.
  ASSERT_TRUE(Seek("w0"));
  EXPECT_EQ(RecNo(), 101u);
  CloseAll();
  std::vector<std::string> names = Names("r", 0, 100);
  names.push_back("w0");
  ExpectKeysOnce(names, true);
}

// A close that cannot have the writers' lock for its anchor reports the error and still closes the
// index; the next open and append take the lock again.
TEST_F(IndexLockErrors, ACloseWithoutTheLockStillClosesTheIndex) {
  MakeTable(50, false);
  SemaphoreWaitLimit = kShortWait;
  ASSERT_TRUE(Open(table_, index_, false));
  ASSERT_EQ(AppendRange("n", 0, 200), 0);  // new blocks: the anchor is written at close
  const pid_t reader = StoppedReader(programs_, table_, index_, false, 250);
  ASSERT_TRUE(programs_.Stopped(reader));
  EXPECT_EQ(RaisedCode([] { CloseIndexes(); }), 1202) << "closed without waiting for the reader";
  EXPECT_EQ(CurrentOrder(), 0);
  EXPECT_TRUE(OrderFileName(1).empty());
  ::kill(reader, SIGCONT);
  EXPECT_EQ(programs_.Wait(reader), 0);
  ASSERT_TRUE(SetIndexTo(index_, 1));
  const uint16_t before = ChangeCounter(table_);
  EXPECT_EQ(AppendOne("m0"), 0);
  EXPECT_EQ(ChangeCounter(table_), before + 1);
  CloseAll();
  std::vector<std::string> names = Names("r", 0, 50);
  for (const auto& set : {Names("n", 0, 200), std::vector<std::string>{"m0"}}) names.insert(names.end(), set.begin(), set.end());
  ExpectKeysOnce(names, true);
}

// A writer is killed inside its index write and leaves the writer count at 1: every append of the
// others is refused, each time, and adds no record (each waits under the table lock, so a few
// suffice); once the semaphore file is deleted with all programs logged off, seven writers append
// and every record is in the index once.
TEST_F(IndexLockErrors, AWriterKilledInsideItsIndexWriteLeavesNoAppendUnlocked) {
  MakeTable(50, true);
  Pipe inside;
  const pid_t k = programs_.Start([&] {
    if (!Open(table_, index_, true)) return 10;
    inKey = InKey::ReportAndWait;
    inKeyFd = inside.Out();
    return AppendOne("k0");
  });
  ASSERT_TRUE(Await(inside.In()));
  ::kill(k, SIGKILL);
  EXPECT_EQ(programs_.Wait(k), -1);
  ASSERT_EQ(ReaderCount(table_), 1);
  constexpr int kRefused = 2, kWriters = 7;
  std::vector<pid_t> writers;
  for (int w = 0; w < kRefused; ++w)
    writers.push_back(programs_.Start([&] {
      if (!Open(table_, index_, true)) return 10;
      const uint32_t count = RecCount();
      for (int i = 0; i < 2; ++i) {
        if (AppendOne("z" + std::to_string(i)) != 1202) return 30;
        if (RecCount() != count) return 31;
      }
      KelpieErrorCode = 0;
      return 0;
    }));
  for (pid_t pid : writers) EXPECT_EQ(programs_.Wait(pid), 0);
  ASSERT_TRUE(FileExist(SemaphoreFileName(table_)));
  ASSERT_EQ(::unlink(SemaphoreFileName(table_).c_str()), 0);
  writers.clear();
  std::vector<std::string> names = Names("r", 0, 50);
  for (int w = 0; w < kWriters; ++w) {
    const std::string prefix(1, static_cast<char>('a' + w));
    writers.push_back(programs_.Start([&, prefix] { return Open(table_, index_, true) ? AppendRange(prefix, 0, 300) : 10; }));
    const std::vector<std::string> more = Names(prefix, 0, 300);
    names.insert(names.end(), more.begin(), more.end());
  }
  for (pid_t pid : writers) EXPECT_EQ(programs_.Wait(pid), 0);
  // The killed writer's record is in the table without its key; every other one has its key.
  ExpectKeysOnce(names, false);
  Select(1);
  ASSERT_TRUE(UseDbf(table_));
  EXPECT_EQ(RecCount(), names.size() + 1);
}

// Four programs open at once an index whose next free block needs the repair while another program
// is inside its walk (stopped there for a moment): none waits for the others' reader counts, each
// opens once the reader is done and appends, and the anchor follows the file. Each has another
// index of the table open already, so that they start together (logged in).
TEST_F(IndexLockErrors, ProgramsOpeningAnIndexThatNeedsRepairDoNotWaitForEachOther) {
  MakeTable(300, false);
  const std::string other = tmp_.File("other.ndx");
  Select(1);
  ASSERT_TRUE(UseDbf(table_, "", true));
  MakeIndex(other, "NAME");
  CloseAll();
  std::vector<std::string> names = Names("r", 0, 300);
  constexpr int kOpeners = 4;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const pid_t reader = StoppedReader(programs_, table_, other, false, 300);
    ASSERT_TRUE(programs_.Stopped(reader));
    // A block more than the anchor counts.
    {
      const int fd = ::open(index_.c_str(), O_WRONLY | O_APPEND);
      ASSERT_GE(fd, 0);
      const std::string junk(512 + 100, '\0');
      ASSERT_EQ(::write(fd, junk.data(), junk.size()), static_cast<ssize_t>(junk.size()));
      ::close(fd);
    }
    Pipe start;
    std::vector<pid_t> openers;
    for (int o = 0; o < kOpeners; ++o) {
      const std::string prefix = "o" + std::to_string(round) + std::to_string(o) + "_";
      openers.push_back(programs_.Start([&, prefix] {
        SemaphoreWaitLimit = 5;
        if (!Open(table_, other, false)) return 10;
        if (!Await(start.In())) return 14;
        if (!SetIndexTo(index_, 2)) return 15;
        return AppendRange(prefix, 0, 20);
      }));
      const std::vector<std::string> more = Names(prefix, 0, 20);
      names.insert(names.end(), more.begin(), more.end());
    }
    const long began = Seconds();
    for (int o = 0; o < kOpeners; ++o) Signal(start.Out());
    ::usleep(300 * 1000);
    ::kill(reader, SIGCONT);
    EXPECT_EQ(programs_.Wait(reader), 0);
    for (pid_t pid : openers) EXPECT_EQ(programs_.Wait(pid), 0);
    EXPECT_LT(Seconds() - began, 5);
    const std::string bytes = ReadWholeFile(index_);
    EXPECT_EQ(qern::test::Le32At(bytes, 4), bytes.size() / 512);
  }
  ExpectKeysOnce(names, true);
}

// While its appender waits for the writers' lock, the new record is not in the table yet; while
// the appender puts in its keys, the record is locked, and no other program rewrites it before.
TEST_F(IndexLockErrors, ANewRecordIsLockedUntilItsKeysAreIn) {
  MakeTable(100, true);
  ASSERT_TRUE(Open(table_, index_, true));
  // The appender waits for a stopped reader.
  const pid_t reader = StoppedReader(programs_, table_, index_, true, 100);
  ASSERT_TRUE(programs_.Stopped(reader));
  Pipe appending;
  const pid_t w = programs_.Start([&] {
    SemaphoreWaitLimit = 30;
    if (!Open(table_, index_, true)) return 10;
    Signal(appending.Out());
    return AppendOne("w0");
  });
  ASSERT_TRUE(Await(appending.In()));
  ::usleep(300 * 1000);
  EXPECT_EQ(RecCount(), 100u);
  // Beyond the table, not a record missing from the index.
  EXPECT_EQ(RaisedCode([] { GO(101); }), 212);
  EXPECT_EQ(KelpieErrorText.find("nicht im Index"), std::string::npos) << KelpieErrorText;
  ::kill(reader, SIGCONT);
  EXPECT_EQ(programs_.Wait(reader), 0);
  EXPECT_EQ(programs_.Wait(w), 0);
  GO(101);
  EXPECT_EQ(AllTrim(FieldStr(1)), "w0");
  // The appender stops while it makes the keys: its record is written and stays locked.
  const pid_t x = programs_.Start([&] {
    if (!Open(table_, index_, true)) return 10;
    inKey = InKey::Stop;
    return AppendOne("x0");
  });
  ASSERT_TRUE(programs_.Stopped(x));
  LockRetries = 2;
  LockWaitMs = 10;
  const bool lockedEarly = LockRecord(102);
  EXPECT_FALSE(lockedEarly) << "the new record could be locked before its keys were in";
  if (lockedEarly) UnlockRec(102);
  ::kill(x, SIGCONT);
  EXPECT_EQ(programs_.Wait(x), 0);
  // Now it can be locked and rewritten: one entry, under its new key only.
  ASSERT_TRUE(LockRecord(102));
  GO(102);
  EXPECT_EQ(AllTrim(FieldStr(1)), "x0");
  PutFieldStr(1, "y0");
  Replace();
  UnlockRec(102);
  EXPECT_FALSE(Seek("x0"));
  CloseAll();
  std::vector<std::string> names = Names("r", 0, 100);
  names.push_back("w0");
  names.push_back("y0");
  ExpectKeysOnce(names, true);
}

// A rewrite and an append refused because a reader holds the index: the memo texts put into them are
// written nowhere (the record keeps its memo, the memo file does not grow), for dBase III, dBase IV
// and FoxPro memos alike; once the reader is gone the same rewrite writes the new text. (One writer
// program per memo type, at once: each refusal waits for the reader.)
TEST_F(IndexLockErrors, ARefusedChangeWritesNoMemo) {
  struct Table {
    uint8_t version;
    std::string table, index, memo;
    size_t size = 0;
    pid_t reader = 0, writer = 0;
    Pipe refused, goOn;
  };
  std::vector<std::unique_ptr<Table>> tables;
  for (const uint8_t version : {uint8_t{0x83}, uint8_t{0x8B}, uint8_t{0xF5}}) {
    auto t = std::make_unique<Table>();
    const std::string name = "m" + std::to_string(version);
    t->version = version;
    t->table = tmp_.File(name + ".dbf");
    t->index = tmp_.File(name + ".ndx");
    t->memo = tmp_.File(name + (version == 0xF5 ? ".fpt" : ".dbt"));
    ASSERT_TRUE(CreateDbf(t->table, {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, false, version));
    Select(1);
    ASSERT_TRUE(UseDbf(t->table, "", true));
    ClearRecord();
    PutFieldStr(1, "r0");
    PutMemoField(2, "old text");
    Append();
    MakeIndex(t->index, "NAME");
    CloseAll();
    t->size = ReadWholeFile(t->memo).size();
    t->reader = StoppedReader(programs_, t->table, t->index, false, 1);
    ASSERT_TRUE(programs_.Stopped(t->reader));
    tables.push_back(std::move(t));
  }
  for (auto& t : tables) {
    Table& m = *t;
    m.writer = programs_.Start([&m] {
      if (!Open(m.table, m.index, false)) return 10;
      SetErrorDispatch(false);
      if (!ALock()) return 11;
      ClearRecord();
      PutFieldStr(1, "n0");
      PutMemoField(2, "appended text");
      Append();
      if (KelpieErrorCode != 1202) return 30;
      Unlock();
      GO(1);
      if (!LockRecord(1)) return 11;
      PutFieldStr(1, "r1");
      PutMemoField(2, "new text");
      Replace();
      if (KelpieErrorCode != 1202) return 31;
      Signal(m.refused.Out());
      if (!Await(m.goOn.In())) return 14;
      // The rewrite again, now that it may have the lock.
      KelpieErrorCode = 0;
      Replace();
      return KelpieErrorCode == 0 ? 0 : 32;
    });
  }
  const auto expectRecord = [&](const Table& m, const std::string& key, const std::string& text) {
    const pid_t fresh = programs_.Start([&] {
      Select(1);
      if (!UseDbf(m.table) || RecCount() != 1) return 10;
      GO(1);
      return AllTrim(FieldStr(1)) == key && MemoFieldText(2) == text ? 0 : 20;
    });
    EXPECT_EQ(programs_.Wait(fresh), 0) << key << ": " << text;
  };
  for (auto& t : tables) {
    SCOPED_TRACE(static_cast<int>(t->version));
    ASSERT_TRUE(Await(t->refused.In()));
    EXPECT_EQ(ReadWholeFile(t->memo).size(), t->size);
    expectRecord(*t, "r0", "old text");
    ::kill(t->reader, SIGCONT);
    EXPECT_EQ(programs_.Wait(t->reader), 0);
    Signal(t->goOn.Out());
    EXPECT_EQ(programs_.Wait(t->writer), 0);
    expectRecord(*t, "r1", "new text");
  }
}

}  // namespace
