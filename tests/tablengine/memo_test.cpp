// Memo files: dBase III, dBase IV and FPT layouts, appending and replacing with the free chain,
// copying, packing, the text device, and files that announce or point at what is not there.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::Le32At;
using qern::test::ReadCalls;
using qern::test::ReadWholeFile;
using qern::test::TempFolder;
using qern::test::WriteWholeFile;

namespace {

class Memo : public ::testing::Test {
 protected:
  void SetUp() override { KelpieStart(); }
  void TearDown() override {
    CloseAll();
    KelpieStart();
  }

  // A table NAME C(10), TEXT M of the version, open exclusively in area 1.
  void Table(uint8_t version, const std::string& file = "m.dbf", uint16_t blockSize = 512) {
    name_ = tmp_.File(file);
    MemoBlockSize = blockSize;
    ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, false, version));
    MemoBlockSize = 512;
    Select(1);
    ASSERT_TRUE(UseDbf(name_, "", true));
  }

  // Appends a record with a memo; returns the memo's first block.
  int32_t Add(const std::string& name, const std::string& text) {
    ClearRecord();
    PutFieldStr(1, name);
    PutMemoField(2, text);
    Append();
    return static_cast<int32_t>(FieldInt(2));
  }

  std::string MemoFile() const {
    return ReadWholeFile(MemoFileName(name_, static_cast<uint8_t>(ReadWholeFile(name_)[0])));
  }

  TempFolder tmp_;
  std::string name_;
};

TEST_F(Memo, DbaseThreeMemosStartAtBlockOneAndEndInEndBytes) {
  Table(0x83);
  EXPECT_EQ(MemoFile().size(), 513u);
  EXPECT_EQ(GetMemoType(), 0x83);
  EXPECT_EQ(Add("a", "erste Zeile\r\nzweite Zeile"), 1);
  EXPECT_EQ(Add("b", std::string(600, 'x')), 2);
  const std::string f = MemoFile();
  EXPECT_EQ(f.size(), 4u * 512);
  EXPECT_EQ(Le32At(f, 0), 4u);
  EXPECT_EQ(f.substr(512, 11), "erste Zeile");
  EXPECT_EQ(f[512 + 25], '\x1A');
  GO(1);
  EXPECT_EQ(MemoFieldText(2), "erste Zeile\r\nzweite Zeile");
  GetMemo(1);
  EXPECT_EQ(MemoLines, (std::vector<std::string>{"erste Zeile", "zweite Zeile"}));
  // A replaced dBase III memo goes to the end; the old blocks stay unused.
  PutMemoField(2, "neu");
  Replace();
  EXPECT_EQ(FieldInt(2), 4);
  EXPECT_EQ(MemoFieldText(2), "neu");
  GO(2);
  EXPECT_EQ(MemoFieldText(2), std::string(600, 'x'));
}

// A memo field in an expression is its text, read through the memo file of its own table.
TEST_F(Memo, MemoFieldsInExpressionsAreTheirText) {
  Table(0x8B);
  Add("a", "Notiz eins");
  Add("b", "");
  const auto eval = [](const std::string& text) {
    CompiledExpr* e = AssignExpr(text);
    EXPECT_NE(e, nullptr) << KelpieErrorText;
    if (!e) return std::string();
    EXPECT_EQ(e->ResultType, 'M');
    const ExprValue* v = EvaluateValue(e);
    const std::string out = v ? v->Text : "?";
    FreeExpr(e);
    return out;
  };
  GO(1);
  EXPECT_EQ(eval("TEXT"), "Notiz eins");
  GO(2);
  EXPECT_EQ(eval("TEXT"), "");
  // A text put into the record but not yet stored is the field's text, as MemoFieldText has it.
  PutMemoField(2, "noch nicht gespeichert");
  EXPECT_EQ(eval("TEXT"), "noch nicht gespeichert");
  GO(1);
  // Another area's memo through the alias; the current area stays.
  const std::string other = tmp_.File("n.dbf");
  ASSERT_TRUE(CreateDbf(other, {{"TEXT", 'M', 10, 0}}, false, 0x8B));
  Select(2);
  ASSERT_TRUE(UseDbf(other, "", true));
  ClearRecord();
  PutMemoField(1, "zweite Tabelle");
  Append();
  EXPECT_EQ(eval("TEXT"), "zweite Tabelle");
  EXPECT_EQ(eval("M->TEXT"), "Notiz eins");
  EXPECT_EQ(CurrentArea, 2);
  EXPECT_EQ(KelpieErrorCode, 0);
}

TEST_F(Memo, AppendPadsAFileThatIsNoWholeNumberOfBlocks) {
  Table(0x83);
  Add("a", "eins");
  CloseArea();
  const std::string memo = ForceExtension(name_, "dbt");
  WriteWholeFile(memo, ReadWholeFile(memo) + "abc");
  Select(1);
  ASSERT_TRUE(UseDbf(name_, "", true));
  EXPECT_EQ(Add("b", "zwei"), 3);
  EXPECT_EQ(ReadWholeFile(memo).size(), 4u * 512);
}

TEST_F(Memo, DbaseFourReusesBlocksThroughTheFreeChain) {
  Table(0x8B);
  const std::string f0 = MemoFile();
  EXPECT_EQ(f0.size(), 24u);
  EXPECT_EQ(static_cast<uint8_t>(f0[20]) | static_cast<uint8_t>(f0[21]) << 8, 512);
  EXPECT_EQ(Add("a", std::string(1000, 'a')), 1);  // 1008 bytes: 2 blocks
  EXPECT_EQ(Add("b", std::string(504, 'b')), 3);   // exactly one block
  EXPECT_EQ(Add("c", "c"), 4);
  EXPECT_EQ(Le32At(MemoFile(), 0), 5u);
  // Same size again: stays, no block too many is given back.
  GO(2);
  PutMemoField(2, std::string(504, 'B'));
  Replace();
  EXPECT_EQ(FieldInt(2), 3);
  EXPECT_EQ(Le32At(MemoFile(), 0), 5u);
  // Shorter: stays in place, its second block becomes free.
  GO(1);
  PutMemoField(2, "kurz");
  Replace();
  EXPECT_EQ(FieldInt(2), 1);
  std::string f = MemoFile();
  EXPECT_EQ(Le32At(f, 0), 2u);
  EXPECT_EQ(Le32At(f, 1024), 5u);  // the group ends at the end of the file
  EXPECT_EQ(Le32At(f, 1028), 1u);
  // A new memo at the end leaves the chain pointing at the new end, not into the memo.
  EXPECT_EQ(Add("d", std::string(600, 'd')), 5);
  f = MemoFile();
  EXPECT_EQ(Le32At(f, 0), 2u);
  EXPECT_EQ(Le32At(f, 1024), 7u);
  // Longer: moves; the free group takes a one-block memo.
  GO(3);
  PutMemoField(2, "x");
  Replace();
  EXPECT_EQ(FieldInt(2), 4);
  GO(2);
  PutMemoField(2, std::string(1500, 'q'));  // 4 blocks: none free that large, to the end
  Replace();
  EXPECT_EQ(FieldInt(2), 7);
  GO(4);
  PutMemoField(2, "y");
  Replace();
  EXPECT_EQ(FieldInt(2), 5);  // its first block suffices, the second becomes free
  ClearRecord();
  PutFieldStr(1, "e");
  PutMemoField(2, "klein");
  Append();
  EXPECT_EQ(FieldInt(2), 2);  // from the free chain
  const std::vector<std::string> expect = {"kurz", std::string(1500, 'q'), "x", "y", "klein"};
  for (uint32_t r = 1; r <= 5; ++r) {
    GO(r);
    EXPECT_EQ(MemoFieldText(2), expect[r - 1]) << r;
  }
}

TEST_F(Memo, FptBlocksFollowTheHeaderBlockSize) {
  Table(0xF5, "f.dbf", 64);
  std::string f = MemoFile();
  EXPECT_EQ(f.size(), 512u);
  EXPECT_EQ(static_cast<uint8_t>(f[3]), 8);  // 512 / 64: the first free block
  EXPECT_EQ(f[7], 64);
  EXPECT_EQ(Add("a", "hallo"), 8);
  EXPECT_EQ(Add("b", std::string(100, 'z')), 9);
  EXPECT_EQ(Add("c", ""), 11);
  f = MemoFile();
  EXPECT_EQ(f.size(), 12u * 64);
  EXPECT_EQ(static_cast<uint8_t>(f[3]), 12);
  EXPECT_EQ(f.substr(8 * 64, 8), std::string("\0\0\0\1\0\0\0\5", 8));
  GO(2);
  EXPECT_EQ(MemoFieldText(2), std::string(100, 'z'));
}

TEST_F(Memo, BlockSizeZeroTakesTheDefault) {
  Table(0x8B);
  CloseArea();
  std::string memo = ForceExtension(name_, "dbt");
  std::string f = ReadWholeFile(memo);
  f[20] = f[21] = 0;
  WriteWholeFile(memo, f);
  Select(1);
  ASSERT_TRUE(UseDbf(name_, "", true));
  EXPECT_EQ(Add("a", "x"), 1);
  EXPECT_EQ(ReadWholeFile(memo).size(), 1024u);
}

TEST_F(Memo, SmallBlocksAndUnterminatedTextsAreReadInLargePieces) {
  // A block size of 1 from the header and a memo without its end byte running to the file's end:
  // a handful of reads, not one per block.
  Table(0x8B, "s.dbf");
  CloseArea();
  const std::string memo = ForceExtension(name_, "dbt");
  std::string f = ReadWholeFile(memo);
  f[20] = 1;
  f[21] = 0;
  f += "kurz\x1A";
  const size_t at = f.size();
  f += std::string(3u << 20, 'u');
  WriteWholeFile(memo, f);
  Select(1);
  ASSERT_TRUE(UseDbf(name_, "", true));
  for (const size_t block : {at - 5, at}) {
    ClearRecord();
    PutFieldInt(2, static_cast<int64_t>(block));
    Append();
  }
  const long before = ReadCalls();
  EXPECT_EQ(MemoFieldText(2), std::string(3u << 20, 'u'));
  if (before >= 0) {
    EXPECT_LT(ReadCalls() - before, 40);
  }
  // Ends inside a piece and at a piece's edge are found.
  f[at + 100] = 0x1A;
  WriteWholeFile(memo, f);
  EXPECT_EQ(MemoFieldText(2), std::string(100, 'u'));
  f[at + 100] = 'u';
  f[at + 512] = 0x1A;
  WriteWholeFile(memo, f);
  EXPECT_EQ(MemoFieldText(2), std::string(512, 'u'));
  GO(1);
  EXPECT_EQ(MemoFieldText(2), "kurz");
}

TEST_F(Memo, CopyAndPack) {
  Table(0x8B, "a.dbf");
  Add("a", "eins");
  Add("b", std::string(700, 'b'));
  Add("c", "drei");
  GO(2);
  PutMemoField(2, "zwei");  // stays at block 2, block 3 becomes free
  Replace();
  const std::string first = name_;
  ASSERT_TRUE(CreateDbf(tmp_.File("b.dbf"), {{"TEXT", 'M', 10, 0}}, false, 0xF5));
  Select(2);
  ASSERT_TRUE(UseDbf(tmp_.File("b.dbf"), "", true));
  EXPECT_EQ(CopyMemo(1, 4, 0), 1);  // to the end of the (empty) FPT file
  EXPECT_EQ(CopyMemo(1, 0, 0), 0);
  EXPECT_EQ(ReadMemo(1), "drei");
  EXPECT_EQ(CopyMemo(1, 2, 1), 2);
  EXPECT_EQ(ReadMemo(2), "zwei");
  // Pack: every memo moves into a new file, the records follow.
  Select(1);
  const size_t before = ReadWholeFile(ForceExtension(first, "dbt")).size();
  PackMemofile();
  const std::string packed = ReadWholeFile(ForceExtension(first, "dbt"));
  EXPECT_LT(packed.size(), before);
  EXPECT_FALSE(FileExist(ForceExtension(first, "$$$")));
  const std::vector<std::string> expect = {"eins", "zwei", "drei"};
  for (uint32_t r = 1; r <= 3; ++r) {
    GO(r);
    EXPECT_EQ(MemoFieldText(2), expect[r - 1]);
    EXPECT_EQ(FieldInt(2), static_cast<int64_t>(r));
  }
}

TEST_F(Memo, TextDeviceWritesAndReadsLines) {
  Table(0x83);
  ClearRecord();
  Append();
  int32_t block = 0;
  MemoTextFile t;
  AssignMemo(t, block);
  MemoRewrite(t);
  MemoWriteLn(t, "Zeile 1");
  MemoWriteLn(t, std::string(300, 'w') + " ende");
  MemoClose(t);
  EXPECT_EQ(block, 1);
  MemoAppend(t);
  MemoWriteLn(t, "dazu");
  MemoClose(t);
  EXPECT_EQ(block, 2);
  MemoReset(t);
  std::vector<std::string> lines;
  for (std::string l; MemoReadLn(t, l);) lines.push_back(l);
  MemoClose(t);
  ASSERT_EQ(lines.size(), 4u);  // the long line breaks at its last blank within the line width
  EXPECT_EQ(lines[0], "Zeile 1");
  EXPECT_EQ(lines[1], std::string(255, 'w'));
  EXPECT_EQ(lines[2], std::string(45, 'w') + " ende");
  EXPECT_EQ(lines[3], "dazu");
}

TEST_F(Memo, MissingFilesAndBadAddresses) {
  // A version byte with memo but no memo field: the missing memo file does no harm.
  name_ = tmp_.File("n.dbf");
  ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 10, 0}}, false, 0x83));
  Select(1);
  ASSERT_TRUE(UseDbf(name_));
  EXPECT_EQ(RecCount(), 0u);
  CloseArea();
  // With a memo field it is an error.
  Table(0x83, "w.dbf");
  CloseArea();
  std::remove(ForceExtension(name_, "dbt").c_str());
  Select(1);
  try {
    UseDbf(name_);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 2);
  }
  CloseArea();
  Table(0x83, "x.dbf");
  Add("a", "eins");
  try {
    USE(name_);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 1007);
  }
  EXPECT_THROW(ReadMemo(99), EKelpieError);
  EXPECT_EQ(KelpieErrorCode, 30);
  // A length beyond the file and a free chain in a circle end with errors.
  CloseArea();
  Table(0x8B, "y.dbf");
  Add("a", "eins");
  Add("b", "zwei");
  CloseArea();
  const std::string memo = ForceExtension(name_, "dbt");
  std::string f = ReadWholeFile(memo);
  f[512 + 7] = '\x7F';
  f[0] = 2;                        // free chain: block 2 ...
  std::memcpy(&f[1024], "\x02\0\0\0\x01\0\0\0", 8);  // ... whose next is itself
  WriteWholeFile(memo, f);
  Select(1);
  ASSERT_TRUE(UseDbf(name_, "", true));
  EXPECT_THROW(ReadMemo(1), EKelpieError);
  EXPECT_THROW(EditMemo(0, std::string(2000, 'z')), EKelpieError);
}

}  // namespace
