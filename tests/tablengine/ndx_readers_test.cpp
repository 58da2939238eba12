// Index and memo files judged by independent readers: Perl's XBase walks our NDX files (character,
// numeric and date keys, built by sorting and grown by insertion, keys of a trimmed field, an index
// kept whole while another program has it open), python3-dbf reads our DBT and FPT memos, and the
// engine reads the memos python3-dbf writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "support/readers.h"
#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::ReadFileLines;
using qern::test::TempFolder;

namespace {

const std::string kReaders = std::string(QERN_SOURCE_DATA) + "/../tests/readers/";

#define RUN_READER(...) QERN_RUN_READER({__VA_ARGS__})

class Readers : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieStart();
    SetDateFormat(5);
    CenturyFlag = true;
  }
  void TearDown() override {
    CloseAll();
    KelpieStart();
  }
  TempFolder tmp_;
};

// "<recno>|<key>" lines as the engine sees its own index.
std::vector<std::string> EngineWalk(int order, char type) {
  std::vector<std::string> lines;
  const std::vector<uint32_t> recs = IndexWalk(order);
  const int saved = CurrentOrder();
  Set_Order_To(0);
  for (uint32_t r : recs) {
    GO(r);
    std::string key;
    if (type == 'C') key = AllTrim(CollationKey(FieldStr(1), false));
    else if (type == 'N') key = std::to_string(FieldInt(2));
    else key = std::to_string(DateToJulian(FieldDate(3)));
    lines.push_back(std::to_string(r) + "|" + key);
  }
  Set_Order_To(saved);
  return lines;
}

TEST_F(Readers, PerlXBaseWalksOurIndexes) {
  const std::string table = tmp_.File("walk.dbf");
  ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 12, 0}, {"NR", 'N', 8, 0}, {"AM", 'D', 8, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(table, "", true));
  std::mt19937 rng(42);
  auto add = [&](int i) {
    ClearRecord();
    PutFieldStr(1, std::string(1, static_cast<char>('A' + rng() % 26)) + "\xE4" + std::to_string(rng() % 1000));
    PutFieldInt(2, static_cast<int64_t>(rng() % 2000) - 1000);
    PutFieldDate(3, JulianToDate(2440000 + static_cast<long>(rng() % 20000)));
    Append();
    (void)i;
  };
  for (int i = 0; i < 300; ++i) add(i);
  MakeIndex("name", "NAME");
  MakeIndex("nr", "NR");
  MakeIndex("am", "AM");
  ASSERT_TRUE(SetIndexTo("name", 1));
  ASSERT_TRUE(SetIndexTo("nr", 2));
  ASSERT_TRUE(SetIndexTo("am", 3));
  // Grown by insertion with splits, and changed keys.
  for (int i = 0; i < 700; ++i) add(i);
  for (int i = 0; i < 100; ++i) {
    GO(1 + rng() % 1000);
    PutFieldInt(2, static_cast<int64_t>(rng() % 2000) - 1000);
    Replace();
  }
  struct Case {
    int order;
    const char* file;
    char type;
  } cases[] = {{1, "name.ndx", 'C'}, {2, "nr.ndx", 'N'}, {3, "am.ndx", 'D'}};
  std::vector<std::vector<std::string>> expected;
  for (const auto& c : cases) expected.push_back(EngineWalk(c.order, c.type));
  CloseIndexes();
  for (size_t i = 0; i < 3; ++i) {
    const std::string out = tmp_.File(std::string("perl-") + cases[i].file + ".txt");
    RUN_READER("/usr/bin/perl", kReaders + "ndx_readers.pl", "walk", tmp_.File(cases[i].file), out);
    const auto lines = ReadFileLines(out);
    ASSERT_EQ(lines.size(), 1000u) << cases[i].file;
    EXPECT_EQ(lines, expected[i]) << cases[i].file;
  }
}

// The key length of a character index is that of the current record's key: TRIM(NAME) is built
// with the length of the name there, and umlauts on that record do not lengthen NAME's keys.
TEST_F(Readers, PerlXBaseWalksTrimmedAndUmlautKeys) {
  const std::string table = tmp_.File("trim.dbf");
  ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 12, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(table, "", true));
  for (const char* name : {"Zimmermann", "abc", "Größe", "Bär", "mö"}) {
    ClearRecord();
    PutFieldUtf8(1, name);
    Append();
  }
  GO(1);
  MakeIndex("trim", "TRIM(NAME)");
  ASSERT_EQ(KelpieErrorCode, 0) << KelpieErrorText;
  EXPECT_EQ(static_cast<uint8_t>(qern::test::ReadWholeFile(tmp_.File("trim.ndx"))[12]), 10);
  GO(3);
  MakeIndex("name", "NAME");
  EXPECT_EQ(static_cast<uint8_t>(qern::test::ReadWholeFile(tmp_.File("name.ndx"))[12]), 12);
  ASSERT_TRUE(SetIndexTo("trim", 1));
  ASSERT_TRUE(SetIndexTo("name", 2));
  EXPECT_EQ(IndexWalk(1), (std::vector<uint32_t>{2, 4, 3, 5, 1}));
  EXPECT_EQ(IndexWalk(2), (std::vector<uint32_t>{2, 4, 3, 5, 1}));
  CloseAll();
  const std::vector<std::string> expected = {"2|abc", "4|baer", "3|groesse", "5|moe", "1|zimmermann"};
  for (const char* file : {"trim.ndx", "name.ndx"}) {
    const std::string out = tmp_.File(std::string(file) + ".txt");
    RUN_READER("/usr/bin/perl", kReaders + "ndx_readers.pl", "walk", tmp_.File(file), out);
    EXPECT_EQ(ReadFileLines(out), expected) << file;
  }
}

// An index another program has open is not replaced (it would go on writing into the replaced
// file): the creation is refused with 225, and the other program's keys all reach the file.
TEST_F(Readers, IndexInUseIsNotReplaced) {
  const std::string table = tmp_.File("use.dbf");
  const std::string index = tmp_.File("use.ndx");
  ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 8, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  ASSERT_TRUE(ALock());
  for (const char* name : {"d", "b"}) {
    ClearRecord();
    PutFieldStr(1, name);
    Append();
  }
  Unlock();
  MakeIndex(index, "NAME");
  CloseAll();
  int toParent[2], toChild[2];
  ASSERT_EQ(::pipe(toParent), 0);
  ASSERT_EQ(::pipe(toChild), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int status = 0;
    try {
      KelpieStart();
      Select(1);
      char c = UseDbf(table) && SetIndexTo(index, 1) ? 'y' : 'n';
      if (::write(toParent[1], &c, 1) != 1 || ::read(toChild[0], &c, 1) != 1) status = 4;
      for (const char* name : {"a", "c"}) {
        if (!ALock()) status = 3;
        ClearRecord();
        PutFieldStr(1, name);
        Append();
        Unlock();
      }
      CloseAll();
    } catch (...) {
      status = 2;
    }
    _exit(status);
  }
  char c = 0;
  ASSERT_EQ(::read(toParent[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  Select(1);
  ASSERT_TRUE(UseDbf(table));
  const bool dispatch = SetErrorDispatch(false);
  MakeIndex(index, "NAME");
  EXPECT_EQ(KelpieErrorCode, 225);
  SetErrorDispatch(dispatch);
  CloseAll();
  ASSERT_EQ(::write(toChild[1], "g", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) ::close(fd);
  const std::string out = tmp_.File("use.txt");
  RUN_READER("/usr/bin/perl", kReaders + "ndx_readers.pl", "walk", index, out);
  EXPECT_EQ(ReadFileLines(out), (std::vector<std::string>{"3|a", "2|b", "4|c", "1|d"}));
}

TEST_F(Readers, Python3DbfReadsOurMemos) {
  for (const uint8_t version : {uint8_t{0x83}, uint8_t{0xF5}}) {
    // Upper-case names: the engine names the memo file with an upper-case extension.
    const std::string table = tmp_.File(version == 0x83 ? "DB3.DBF" : "FPT.DBF");
    ASSERT_TRUE(CreateDbf(table, {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, false, version));
    Select(1);
    ASSERT_TRUE(UseDbf(table, "", true));
    const std::vector<std::string> texts = {"erste Notiz\r\nzweite Zeile", "", std::string(1500, 'l') + "Ende",
                                            "Gr\xF6\xDF" "e"};
    for (const auto& t : texts) {
      ClearRecord();
      PutFieldStr(1, "x");
      if (!t.empty()) PutMemoField(2, t);
      Append();
    }
    GO(1);
    PutMemoField(2, "ersetzt");
    Replace();
    CloseArea();
    const std::string out = tmp_.File("memo.txt");
    RUN_READER("/usr/bin/python3", kReaders + "memo_readers.py", "read", table, "text", out);
    const std::vector<std::string> expect = {"1|ersetzt", "2|", "3|" + std::string(1500, 'l') + "Ende", "4|Größe"};
    EXPECT_EQ(ReadFileLines(out), expect) << static_cast<int>(version);
  }
}

TEST_F(Readers, TheEngineReadsMemosPython3DbfWrites) {
  for (const std::string kind : {"db3-ansi", "fp-oem"}) {
    const std::string table = tmp_.File(kind + ".dbf");
    RUN_READER("/usr/bin/python3", kReaders + "dbf_readers.py", "write", table, kind);
    Select(1);
    ASSERT_TRUE(UseDbf(table));
    const int text = FieldNo("TEXT");
    GoTop();
    EXPECT_EQ(MemoFieldUtf8(text), "erste Notiz") << kind;
    SKIP(1);
    EXPECT_EQ(MemoFieldUtf8(text), "") << kind;
    SKIP(1);
    EXPECT_EQ(MemoFieldUtf8(text), "weg") << kind;
    // Our own memo into their file, read back.
    ASSERT_TRUE(ALock());
    PutMemoFieldUtf8(text, "Ärger über Maße");
    Replace();
    Unlock();
    EXPECT_EQ(MemoFieldUtf8(text), "Ärger über Maße") << kind;
    CloseArea();
    const std::string out = tmp_.File("memo.txt");
    RUN_READER("/usr/bin/python3", kReaders + "memo_readers.py", "read", table, "text", out);
    EXPECT_EQ(ReadFileLines(out).back(), "3|Ärger über Maße") << kind;
  }
}

}  // namespace
