// DBF table file: header checks of the opener, record reading and writing, typed record, end marker,
// fields that keep their stored bytes, memo file creation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::ReadWholeFile;
using qern::test::TempFolder;
using qern::test::WriteWholeFile;

namespace {

class KpDbf : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    SetDateFormat(5);
    CenturyFlag = true;
    CenturyPivot = 1956;
    name_ = tmp_.File("t.dbf");
  }
  void TearDown() override {
    CloseAll();
    KelpieInit();
  }
  void Create(bool oem = false) {
    ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 10, 0}, {"WERT", 'N', 10, 2}, {"ANZ", 'N', 12, 0},
                                  {"DATUM", 'D', 8, 0}, {"OK", 'L', 1, 0}},
                          oem));
  }
  // Raw bytes of record n of the file.
  std::string RawRecord(uint32_t n) {
    const std::string f = ReadWholeFile(name_);
    const uint16_t hl = static_cast<uint8_t>(f[8]) | (static_cast<uint8_t>(f[9]) << 8);
    const uint16_t rl = static_cast<uint8_t>(f[10]) | (static_cast<uint8_t>(f[11]) << 8);
    return f.substr(hl + (n - 1) * rl, rl);
  }
  int ErrorOfOpen(const std::string& file) {
    try {
      UseDbf(file);
    } catch (const EKelpieError& e) {
      return e.Code;
    }
    return 0;
  }
  TempFolder tmp_;
  std::string name_;
};

TEST_F(KpDbf, CreatedTableHeader) {
  Create();
  const std::string f = ReadWholeFile(name_);
  ASSERT_EQ(f.size(), 32u + 5 * 32 + 1 + 1);
  EXPECT_EQ(static_cast<uint8_t>(f[0]), 0x03);
  EXPECT_EQ(static_cast<uint8_t>(f[29]), LanguageAnsi1252);
  EXPECT_EQ(f[f.size() - 2], '\x0D');
  EXPECT_EQ(f.back(), '\x1A');
  ASSERT_TRUE(UseDbf(name_));
  EXPECT_EQ(FieldCount(), 5);
  EXPECT_EQ(RecCount(), 0u);
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(RecSize(), 1u + 10 + 10 + 12 + 8 + 1);
  EXPECT_EQ(FieldName(4), "DATUM");
  EXPECT_EQ(FieldNo("datum"), 4);
  EXPECT_EQ(FieldLen(4), 10);
  CenturyFlag = false;
  EXPECT_EQ(FieldLen(4), 8);
  EXPECT_EQ(FieldType(2), 'N');
  EXPECT_EQ(FieldDec(2), 2);
  EXPECT_THROW(FieldType(6), EKelpieError);
  // Typed layout: C length + 1, N and F always 8 (64-bit integers without decimals), D 11, L 1.
  EXPECT_EQ(FieldAddress(2) - FieldAddress(1), 11);
  EXPECT_EQ(FieldAddress(4) - FieldAddress(3), 8);
  EXPECT_EQ(FieldAddress(5) - FieldAddress(4), 11);
}

TEST_F(KpDbf, RefusedHeaders) {
  Create();
  const std::string good = ReadWholeFile(name_);
  struct Case {
    const char* what;
    size_t pos;
    char value;
    int code;
  } cases[] = {
      {"dBase II version over a long header", 0, 0x02, 210},
      {"longer header layout 0x04", 0, 0x04, 1300},
      {"longer header layout 0x8C", 0, static_cast<char>(0x8C), 1300},
      {"unknown version", 0, 0x7F, 210},
      {"header longer than the file", 9, 0x10, 213},
      {"record length shorter than the fields", 10, 0x05, 210},
      {"date field of length 3", 32 + 3 * 32 + 16, 3, 211},
  };
  for (const auto& c : cases) {
    std::string bad = good;
    bad[c.pos] = c.value;
    WriteWholeFile(name_, bad);
    EXPECT_EQ(ErrorOfOpen(name_), c.code) << c.what;
    EXPECT_EQ(CurrentWorkArea(), nullptr) << c.what;
  }
  WriteWholeFile(name_, good.substr(0, 20));
  EXPECT_EQ(ErrorOfOpen(name_), 213);
  EXPECT_EQ(ErrorOfOpen(tmp_.File("none.dbf")), 2);
  WriteWholeFile(name_, good);
  EXPECT_EQ(ErrorOfOpen(name_), 0);
}

// A dBase II table as that program wrote it: 8 header bytes, descriptors of 16 bytes ended by 0x0D,
// records from byte 521 on, the end byte 0x1A.
std::string DbaseTwoTable(const std::vector<std::string>& records) {
  std::string f(521, '\0');
  f[0] = 0x02;
  f[1] = static_cast<char>(records.size());
  f[3] = 11, f[4] = 30, f[5] = 84;  // month, day, year - 1900
  f[6] = 18;  // record length
  struct Field {
    const char* name;
    char type;
    int length, decimals;
  } fields[] = {{"NAME", 'C', 10, 0}, {"MENGE", 'N', 6, 2}, {"OK", 'L', 1, 0}};
  size_t pos = 8;
  for (const auto& fd : fields) {
    std::memcpy(&f[pos], fd.name, std::strlen(fd.name));
    f[pos + 11] = fd.type;
    f[pos + 12] = static_cast<char>(fd.length);
    f[pos + 13] = 0x34, f[pos + 14] = 0x12;  // an address in the writer's memory
    f[pos + 15] = static_cast<char>(fd.decimals);
    pos += 16;
  }
  f[pos] = 0x0D;
  for (const auto& r : records) f += r;
  return f + "\x1A";
}

TEST_F(KpDbf, DbaseTwoTablesAreReadAndWrittenInTheirShortHeader) {
  const std::string original = DbaseTwoTable({" Otto        1.50T", "*M\x81ller     -2.25F"});
  WriteWholeFile(name_, original);
  ASSERT_TRUE(UseDbf(name_, "", true));
  EXPECT_EQ(FieldCount(), 3);
  EXPECT_EQ(RecCount(), 2u);
  EXPECT_EQ(RecSize(), 18u);
  EXPECT_EQ(FieldName(2), "MENGE");
  EXPECT_EQ(FieldDec(2), 2);
  EXPECT_EQ(RTrim(FieldStr(1)), "Otto");
  EXPECT_DOUBLE_EQ(FieldNum(2), 1.5);
  EXPECT_TRUE(FieldBool(3));
  GO(2);
  EXPECT_TRUE(Deleted());
  EXPECT_EQ(RTrim(FieldStr(1)), "M\xFCller");  // DOS code page: 0x81 is the u umlaut
  EXPECT_DOUBLE_EQ(FieldNum(2), -2.25);
  PutFieldNum(2, 7.75);
  Replace();
  ClearRecord();
  PutFieldStr(1, "\xC4rger");
  PutFieldNum(2, 10);
  PutFieldBool(3, true);
  Append();
  CloseAll();
  const std::string f = ReadWholeFile(name_);
  ASSERT_EQ(f.size(), 521u + 3 * 18 + 1);
  int y, m, d, w;
  GetSysDate(y, m, d, w);
  EXPECT_EQ(f[1], 3);
  EXPECT_EQ(f[2], 0);
  EXPECT_EQ(f[3], m);
  EXPECT_EQ(f[4], d);
  EXPECT_EQ(f[5], y - 1900);
  EXPECT_EQ(f.substr(6, 521 - 6), original.substr(6, 521 - 6));  // length and descriptors stay
  EXPECT_EQ(f.substr(521, 18), original.substr(521, 18));
  EXPECT_EQ(f.substr(521 + 18, 18), "*M\x81ller      7.75F");
  EXPECT_EQ(f.substr(521 + 36, 18), " \x8Erger      10.00T");
  EXPECT_EQ(f.back(), '\x1A');
  // Reopened, shared this time.
  ASSERT_TRUE(UseDbf(name_));
  EXPECT_EQ(RecCount(), 3u);
  GO(3);
  EXPECT_EQ(RTrim(FieldStr(1)), "\xC4rger");
  CloseAll();
  // With a further version byte configured, version 2 has the long header (whose header length
  // would be the first field name's letters here).
  ExtraVersion1 = 0x30;
  EXPECT_EQ(ErrorOfOpen(name_), 213);
  ExtraVersion1 = 0;
  // New tables are not made in the short header.
  EXPECT_THROW(CreateDbf(tmp_.File("neu.dbf"), {{"NAME", 'C', 10, 0}}, false, 0x02), EKelpieError);
}

TEST_F(KpDbf, RecordsAndEndMarker) {
  Create();
  ASSERT_TRUE(UseDbf(name_, "", true));
  WorkArea& a = *CurrentWorkArea();
  ClearRecord();
  PutFieldStr(1, "Otto");
  PutFieldNum(2, 12.345);
  PutFieldInt(3, 5000000000LL);  // beyond 32 bits
  PutFieldDate(4, "19400115");
  PutFieldBool(5, true);
  Append();
  EXPECT_EQ(RecNo(), 1u);
  // Writing record count + 5 appends at count + 1.
  PutDbfRecord(a, a.RecordCount + 5);
  EXPECT_EQ(a.RecordCount, 2u);
  EXPECT_EQ(a.CurrentRecord, 2u);
  EXPECT_EQ(a.UpdateState, UpdateAppended);
  PutFieldNum(2, 123456789.0);  // does not fit in N(10,2)
  Replace();
  EXPECT_THROW(GetDbfRecord(a, 0), EKelpieError);
  EXPECT_EQ(a.CurrentRecord, 2u);
  EXPECT_THROW(GetDbfRecord(a, 3), EKelpieError);
  CloseArea();

  EXPECT_EQ(RawRecord(1), " Otto           12.35  5000000000" "19400115" "T");
  EXPECT_EQ(RawRecord(2).substr(11, 10), "**********");
  const std::string f = ReadWholeFile(name_);
  const size_t end = 32 + 5 * 32 + 1 + 2 * 42;
  EXPECT_EQ(f.size(), end + 1);
  EXPECT_EQ(f.back(), '\x1A');
  EXPECT_EQ(static_cast<uint8_t>(f[4]), 2);
  int y, m, d, w;
  GetSysDate(y, m, d, w);
  EXPECT_EQ(static_cast<uint8_t>(f[1]), y - 1900);
  EXPECT_EQ(static_cast<uint8_t>(f[2]), m);
  EXPECT_EQ(static_cast<uint8_t>(f[3]), d);
}

TEST_F(KpDbf, EmptyTableOfHeaderLength130) {
  std::string f(130, '\0');
  f[0] = 0x03;
  f[8] = static_cast<char>(130);
  f[10] = 20;
  std::memcpy(&f[32], "A", 1);
  f[32 + 11] = 'C';
  f[32 + 16] = 19;
  f[64] = 0x0D;
  f += '\x1A';
  WriteWholeFile(name_, f);
  ASSERT_TRUE(UseDbf(name_));
  EXPECT_EQ(RecCount(), 0u);
  EXPECT_EQ(RecCountFromFile(*CurrentWorkArea()), 0u);
}

TEST_F(KpDbf, RewriteChangesOnlyTheFieldsWritten) {
  Create(true);
  // A record written by another program: a 1940 date, a blank number, a value beyond 32 bits, an OEM
  // box character the ANSI side lacks, and "y" as true.
  std::string f = ReadWholeFile(name_);
  f.pop_back();
  const std::string rec = std::string(" ") + "M\x8E" "ller\xB3" "   " + "          " + "  9876543210" +
                          "19400102" + "y";
  f += rec + "\x1A";
  WriteWholeFile(name_, f);
  ASSERT_TRUE(UseDbf(name_, "", true));
  EXPECT_EQ(FieldStr(1), "M\xC4ller|   ");  // converted to ANSI, the box as its best fit
  EXPECT_TRUE(FieldBool(5));
  EXPECT_EQ(FieldInt(3), 9876543210LL);
  EXPECT_EQ(FieldDate(4), "19400102");
  EXPECT_EQ(FieldToStr(4), "02.01.1940");
  PutFieldBool(5, false);
  Replace();
  CloseArea();
  EXPECT_EQ(RawRecord(1), rec.substr(0, rec.size() - 1) + "F");
  // A changed text field is converted to OEM.
  ASSERT_TRUE(UseDbf(name_, "", true));
  PutFieldStr(1, "\xC4pfel");
  Replace();
  CloseArea();
  EXPECT_EQ(RawRecord(1).substr(1, 10), "\x8Epfel     ");
}

// Reads of a shared table show what other programs wrote since, records they appended, and a file
// they cut short is an error, not the end of the program; exclusive use reads the same at random.
TEST_F(KpDbf, SharedReadsFollowTheFile) {
  ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 200, 0}, {"NR", 'N', 6, 0}}));
  ASSERT_TRUE(UseDbf(name_));
  ASSERT_TRUE(ALock());
  for (int i = 1; i <= 40; ++i) {
    ClearRecord();
    PutFieldStr(1, "R" + std::to_string(i));
    PutFieldInt(2, i);
    Append();
  }
  Unlock();
  CloseArea();
  // Exclusive use: random positions and steps in both directions read the right records.
  ASSERT_TRUE(UseDbf(name_, "", true));
  for (uint32_t n : {30u, 5u, 6u, 7u, 40u, 1u}) {
    GO(n);
    EXPECT_EQ(FieldInt(2), n);
  }
  SKIP(1);
  SKIP(-1);
  SKIP(-1);
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(FieldInt(2), 1);
  CloseArea();

  ASSERT_TRUE(UseDbf(name_));
  GoTop();
  EXPECT_EQ(FieldInt(2), 1);
  const int other = ::open(name_.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  const std::string head = ReadWholeFile(name_).substr(0, 12);
  const uint16_t hl = static_cast<uint8_t>(head[8]) | (static_cast<uint8_t>(head[9]) << 8);
  const uint16_t rl = static_cast<uint8_t>(head[10]) | (static_cast<uint8_t>(head[11]) << 8);
  // Another program rewrites record 2 and appends record 41.
  ASSERT_EQ(::pwrite(other, "X2", 2, hl + rl + 1), 2);
  std::string rec41(rl, ' ');
  rec41.replace(1, 3, "R41");
  rec41.replace(rl - 6, 6, "    41");
  ASSERT_EQ(::pwrite(other, rec41.data(), rl, hl + 40 * rl), rl);
  SKIP(1);
  EXPECT_EQ(FieldStr(1).substr(0, 3), "X2 ");
  GO(41);
  EXPECT_EQ(KelpieErrorCode, 0);
  EXPECT_EQ(FieldInt(2), 41);
  SKIP(1);
  EXPECT_TRUE(dEOF());
  // Cut to the header and one record: reading record 30 fails with error 213.
  ASSERT_EQ(::ftruncate(other, hl + rl), 0);
  ::close(other);
  SetErrorDispatch(false);
  GO(30);
  EXPECT_EQ(KelpieErrorCode, 213);
  SetErrorDispatch(true);
}

TEST_F(KpDbf, MemoFiles) {
  ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}));
  EXPECT_EQ(static_cast<uint8_t>(ReadWholeFile(name_)[0]), 0x83);
  // The memo's extension takes the case of the table's.
  EXPECT_FALSE(std::filesystem::exists(tmp_.File("t.DBT")));
  const std::string dbt = ReadWholeFile(tmp_.File("t.dbt"));
  ASSERT_EQ(dbt.size(), 513u);
  EXPECT_EQ(dbt[0], 1);
  EXPECT_EQ(dbt[512], '\x1A');
  ASSERT_TRUE(CreateMemoFile(name_, 0xF5, 64, "test"));
  const std::string fpt = ReadWholeFile(tmp_.File("t.fpt"));
  ASSERT_EQ(fpt.size(), 512u);
  EXPECT_EQ(fpt.substr(0, 8), std::string("\0\0\0\x08\0\0\0\x40", 8));
  ASSERT_TRUE(CreateMemoFile(tmp_.File("kunden.dbf"), 0x8B, 512, "test"));
  const std::string db4 = ReadWholeFile(tmp_.File("kunden.dbt"));
  ASSERT_TRUE(CreateMemoFile(tmp_.File("KUNDEN.DBF"), 0xF5, 64, "test"));
  EXPECT_TRUE(std::filesystem::exists(tmp_.File("KUNDEN.FPT")));
  EXPECT_EQ(MemoFileName("/d/Preset", 0x83), "/d/Preset.DBT");
  ASSERT_EQ(db4.size(), 24u);
  EXPECT_EQ(db4.substr(8, 8), std::string("kunden\0\0", 8));
  EXPECT_EQ(db4.substr(18, 4), std::string("\x02\x01\x00\x02", 4));
  EXPECT_EQ(MemoExtension(0x30), "FPT");
  EXPECT_EQ(MemoExtension(0x77), "DBT");
  EXPECT_THROW(CreateMemoFile(tmp_.File("no/such/t.dbf"), 0x83, 512, "test"), EKelpieError);
}

// Stored numbers read exactly as the C library reads their text, whatever their digits.
TEST_F(KpDbf, StoredNumbersReadExactly) {
  ASSERT_TRUE(CreateDbf(name_, {{"WERT", 'N', 20, 6}, {"ANZ", 'N', 20, 0}}));
  ASSERT_TRUE(UseDbf(name_, "", true));
  ClearRecord();
  Append();
  std::mt19937_64 rng(7);
  std::vector<std::string> texts = {"0.1", "-0.000001", "123456789.012345", "9999999999999.99", "1.", "-.5",
                                    "+2.5", "12345678901234.123456", "0.30000000000000004"};
  for (int i = 0; i < 300; ++i) {
    const int decimals = static_cast<int>(rng() % 7);
    std::string t = std::to_string(static_cast<int64_t>(rng() % 100000000000000ull) - 50000000000000ll);
    if (decimals > 0) t.insert(t.size() > static_cast<size_t>(decimals) ? t.size() - decimals : 0, ".");
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    Poke(t.substr(0, 20), 1, 1);
    Poke(std::to_string(static_cast<int64_t>(rng() >> 1) / (1 + static_cast<int64_t>(rng() % 1000))), 2, 1);
    GO(1);
    EXPECT_EQ(FieldNum(1), std::strtod(t.substr(0, 20).c_str(), nullptr)) << t;
    EXPECT_EQ(FieldInt(2), std::strtoll(Peek(2, 1).c_str(), nullptr, 10)) << Peek(2, 1);
  }
}

TEST_F(KpDbf, NumberTexts) {
  EXPECT_EQ(NumberFieldText(-1.5, 6, 2), " -1.50");
  EXPECT_EQ(NumberFieldText(1e300, 6, 2), "******");
  EXPECT_EQ(IntegerFieldText(-42, 4), " -42");
  EXPECT_EQ(IntegerFieldText(12345, 4), "****");
  EXPECT_EQ(SwapLong(0x01020304u), 0x04030201u);
  EXPECT_EQ(SwapWord(0x0102), 0x0201);
}

}  // namespace
