// Work-area API: navigation over deleted and filtered records, appending under lock, Peek and Poke,
// byte-range locks between work areas, after-move procedures, UTF-8 access.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::TempFolder;

namespace {

class KpApi : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    name_ = tmp_.File("kunden.dbf");
    ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 12, 0}, {"NR", 'N', 5, 0}}));
  }
  void TearDown() override {
    KelpieRaiseErrors = true;
    CloseAll();
    KelpieInit();
  }
  // Opens the table in area 1 with records NR = 1..n; deleted ones marked.
  void Fill(int n, std::initializer_list<int> deleted = {}) {
    Select(1);
    ASSERT_TRUE(UseDbf(name_));
    ASSERT_TRUE(ALock());
    for (int i = 1; i <= n; ++i) {
      ClearRecord();
      PutFieldStr(1, "K" + std::to_string(i));
      PutFieldInt(2, i);
      for (int d : deleted) SetDeleted(SetDeletedFor(i, d));
      Append();
    }
    Unlock();
  }
  // True when another open file description of the table holds a lock on the byte at offset.
  bool LockedAt(uint64_t offset) {
    const int fd = ::open(name_.c_str(), O_RDWR);
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = 1;
    const bool ok = ::fcntl(fd, F_OFD_GETLK, &fl) == 0;
    ::close(fd);
    return ok && fl.l_type != F_UNLCK;
  }
  static bool SetDeletedFor(int i, int d) { return i == d || Deleted(); }
  static int ErrorCodeOf(const std::function<void()>& f, std::string* text = nullptr) {
    try {
      f();
    } catch (const EKelpieError& e) {
      if (text) *text = e.what();
      return e.Code;
    }
    return 0;
  }
  TempFolder tmp_;
  std::string name_;
};

TEST_F(KpApi, SkipAndGoAtTheEnds) {
  Fill(3);
  GoTop();
  EXPECT_EQ(FieldInt(2), 1);
  SKIP(2);
  EXPECT_EQ(RecNo(), 3u);
  EXPECT_FALSE(dEOF());
  SKIP(1);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 4u);
  EXPECT_EQ(FieldStr(1), std::string(12, ' '));
  std::string text;
  EXPECT_EQ(ErrorCodeOf([] { SKIP(1); }, &text), 212);
  EXPECT_NE(text.find("Datenbank \"" + name_ + "\" ist hinter EOF. [SKIP]"), std::string::npos);
  SKIP(-1);
  EXPECT_EQ(RecNo(), 3u);
  SKIP(-5);
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(RecNo(), 1u);
  EXPECT_EQ(ErrorCodeOf([] { GO(0); }, &text), 212);
  EXPECT_TRUE(dEOF());
  EXPECT_NE(text.find("Ungültige Datensatznr. = 0 Datenbank \"" + name_ + "\" [GO]"), std::string::npos);
  GO(2);
  EXPECT_EQ(FieldInt(2), 2);
  EXPECT_TRUE(GoValid(3));
  EXPECT_FALSE(GoValid(4));
}

TEST_F(KpApi, EmptyTable) {
  Select(1);
  ASSERT_TRUE(UseDbf(name_));
  GoTop();
  EXPECT_TRUE(s_IsEmptyDbf());
  std::string text;
  EXPECT_EQ(ErrorCodeOf([] { SKIP(1); }, &text), 212);
  EXPECT_NE(text.find("ist leer. [SKIP]"), std::string::npos);
  EXPECT_EQ(ErrorCodeOf([] { GO(1); }), 212);
}

TEST_F(KpApi, DeletedRecordsAndFilters) {
  Fill(5, {1, 3});
  SetIgnoreDel(true);
  GoTop();
  EXPECT_EQ(RecNo(), 2u);
  SKIP(1);
  EXPECT_EQ(RecNo(), 4u);
  SKIP(-1);
  EXPECT_EQ(RecNo(), 2u);
  SetFilter([] { return FieldInt(2) % 2 == 0; });
  GoTop();
  EXPECT_EQ(RecNo(), 2u);
  SKIP(1);
  EXPECT_EQ(RecNo(), 4u);
  SKIP(1);
  EXPECT_TRUE(dEOF());
  // A record that no longer passes the filter moves on to the next valid one.
  GO(5);
  EXPECT_TRUE(RevalidatePosition());
  EXPECT_EQ(RecNo(), 4u);
  EXPECT_FALSE(RevalidatePosition());
  SetFilter(nullptr);
  // All records deleted: GoTop ends at EOF with BOF set.
  CloseArea();
  std::remove(name_.c_str());
  ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 12, 0}, {"NR", 'N', 5, 0}}));
  Fill(2, {1, 2});
  SetIgnoreDel(true);
  GoTop();
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(RecNo(), 3u);
}

TEST_F(KpApi, AppendNeedsTheLockAndCopiesTheTypedRecord) {
  Fill(3);
  std::string text;
  EXPECT_EQ(ErrorCodeOf([] { Append(); }, &text), 5);
  EXPECT_NE(text.find("Datei muß gesperrt sein zum Anhängen: "), std::string::npos);
  EXPECT_NE(text.find("[APPEND]"), std::string::npos);
  ASSERT_TRUE(ALock());
  GO(3);
  Append();
  EXPECT_EQ(RecNo(), 4u);
  EXPECT_EQ(FieldInt(2), 3);
  ClearRecord();
  Append();
  EXPECT_EQ(RecCount(), 5u);
  EXPECT_EQ(FieldStr(1), std::string(12, ' '));
  EXPECT_EQ(Peek(2, 5), "     ");  // a blank number stays blank
  Unlock();
}

TEST_F(KpApi, LocksBetweenAreas) {
  Fill(2);
  Select(2);
  ASSERT_TRUE(UseDbf(name_, "ZWEI"));
  EXPECT_EQ(AreaAlias(), "ZWEI");
  Select(1);
  ASSERT_TRUE(ALock());
  EXPECT_TRUE(LockedAt(0x40000001));
  EXPECT_FALSE(LockedAt(0x40000002));
  Select(2);
  EXPECT_FALSE(ALock());  // held by area 1's open file
  EXPECT_EQ(SetExclusive(true), 32);
  Select(1);
  Unlock();
  Select(2);
  EXPECT_TRUE(ALock());
  Unlock();
  // Record locks.
  EXPECT_TRUE(LockRecord(2));
  EXPECT_TRUE(IsLocked(2));
  const uint64_t record2 = 0x40000000 + 32 + 2 * 32 + 1 + 18;  // base + header + one record
  EXPECT_TRUE(LockedAt(record2));
  EXPECT_TRUE(LockedAt(record2 + 17));
  EXPECT_FALSE(LockedAt(record2 + 18));
  Select(1);
  EXPECT_FALSE(LockRecord(2));
  EXPECT_TRUE(LockRecord(1));
  std::string text;
  EXPECT_EQ(ErrorCodeOf([] { UnlockRec(7); }, &text), 1200);
  EXPECT_NE(text.find("Record not locked. [UnlockRec(7)]"), std::string::npos);
  EXPECT_EQ(ErrorCodeOf([] { UnlockRec(-4); }), 220);
  EXPECT_TRUE(UnlockRec(-3));
  EXPECT_FALSE(IsLocked(1));
  // An exclusive open keeps every other open out.
  CloseAll();
  Select(1);
  ASSERT_TRUE(UseDbf(name_, "", true));
  Select(2);
  EXPECT_EQ(ErrorCodeOf([&] { UseDbf(name_); }), 32);
  // Shared mode off: every lock call succeeds at once.
  KelpieSharedMode = 0;
  EXPECT_EQ(LockRegion(false, -1, 0, 1), 0);
}

TEST_F(KpApi, PeekPokeAndTheirCache) {
  Fill(3);
  PeekCacheSize = 4096;
  EXPECT_EQ(Peek(1, 2), "K2          ");
  EXPECT_EQ(Peek(0, 3).substr(0, 3), " K3");
  std::string text;
  EXPECT_EQ(ErrorCodeOf([] { Poke("X", 1, 2); }, &text), 1200);
  ASSERT_TRUE(LockRecord(2));
  Poke("X", 1, 2);
  Poke("77", 2, 2);
  EXPECT_EQ(Peek(1, 2), "X           ");  // the cache was emptied by the write
  EXPECT_EQ(Peek(2, 2), "   77");
  GO(3);
  ASSERT_TRUE(LockRecord(3));
  PutFieldStr(1, "neu");
  Replace();
  EXPECT_EQ(Peek(1, 3), "neu         ");
  EXPECT_EQ(ErrorCodeOf([] { Peek(1, 9); }), 212);
  EXPECT_EQ(ErrorCodeOf([] { Peek(3, 1); }), 220);
  Unlock();
}

TEST_F(KpApi, AfterMoveProcedure) {
  Fill(3);
  static int runs;
  runs = 0;
  SetAfterMove([] { ++runs; });
  EXPECT_EQ(runs, 1);
  GoTop();
  SKIP(1);
  EXPECT_EQ(runs, 3);
  GO(1);
  SetAfterMove([] { GO(1); });  // runs once at once, staying on record 1
  std::string text;
  // Moving the record inside the procedure is a cyclic relation.
  EXPECT_EQ(ErrorCodeOf([] { SKIP(1); }, &text), 224);
  EXPECT_NE(text.find(name_), std::string::npos);
  SetAfterMove(nullptr);
}

TEST_F(KpApi, Utf8AccessAndDisplayTexts) {
  ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 12, 0}, {"BETRAG", 'N', 8, 2}, {"DA", 'L', 1, 0},
                                {"AM", 'D', 8, 0}, {"TEXT", 'M', 10, 0}},
                        true));
  Select(1);
  ASSERT_TRUE(UseDbf(name_));
  ASSERT_TRUE(ALock());
  ClearRecord();
  PutFieldUtf8(1, "Größe €");
  PutFieldNum(2, 1234.5);
  PutFieldStr(3, "j");
  PutFieldStr(4, "20261207");
  PutFieldStr(5, "12");
  Append();
  Unlock();
  SetDateFormat(5);
  CenturyFlag = false;
  GoTop();
  EXPECT_EQ(FieldToUtf8(1), "Größe ?     ");  // the OEM table has no euro sign
  DecimalSeparator = ',';
  EXPECT_EQ(FieldToStr(2), " 1234,50");
  EXPECT_EQ(FieldToStr(3), "Y");
  EXPECT_EQ(FieldToStr(4), "07.12.26");
  EXPECT_EQ(FieldToStr(5), "MEMO");
  EXPECT_EQ(DatasetTableName(" printout "), "printout.DBF");
  EXPECT_EQ(DatasetTableName("printout."), "printout.DBF");
  EXPECT_EQ(DatasetTableName("a.dbf"), "a.dbf");
}

TEST_F(KpApi, ErrorsWithoutDispatchLeaveTheCode) {
  Fill(1);
  SetErrorDispatch(false);
  GO(7);
  EXPECT_EQ(KelpieErrorCode, 212);
  GoTop();
  EXPECT_EQ(KelpieErrorCode, 0);
  SetErrorDispatch(true);
}

}  // namespace

namespace {

TEST_F(KpApi, AppendsUnderTheLockReachTheFileAtUnlock) {
  Fill(2);
  Select(2);
  ASSERT_TRUE(UseDbf(name_));
  Select(1);
  ASSERT_TRUE(ALock());
  for (int i = 0; i < 3; ++i) {
    ClearRecord();
    PutFieldInt(2, 100 + i);
    Append();
  }
  EXPECT_EQ(RecCount(), 5u);
  GO(4);  // read back before the unlock
  EXPECT_EQ(FieldInt(2), 101);
  Select(2);
  EXPECT_EQ(RecCount(), 5u);  // the read wrote them
  Select(1);
  ClearRecord();
  PutFieldInt(2, 200);
  Append();
  Unlock();
  Select(2);
  EXPECT_EQ(RecCount(), 6u);
  GO(6);
  EXPECT_EQ(FieldInt(2), 200);
}

TEST_F(KpApi, ExclusiveReadsSeeTheirOwnRewrites) {
  Fill(3);
  CloseAll();
  ASSERT_TRUE(UseDbf(name_, "", true));
  GO(1);
  PutFieldInt(2, 11);
  Replace();
  ASSERT_TRUE(LockRecord(2));
  Poke("22", 2, 2);
  GO(3);
  GO(1);
  EXPECT_EQ(FieldInt(2), 11);
  GO(2);
  EXPECT_EQ(FieldInt(2), 22);
}

}  // namespace
