// Tables written by the engine as python3-dbf and GDAL's ogrinfo read them, and tables written by
// python3-dbf (ANSI and OEM, with memo and deleted records) as the engine reads them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/readers.h"
#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::ReadFileLines;
using qern::test::TempFolder;

namespace {

const std::string kScript = std::string(QERN_SOURCE_DATA) + "/../tests/readers/dbf_readers.py";

std::vector<std::string> ScriptArgs(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3", kScript};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

#define RUN_READER(...) QERN_RUN_READER(ScriptArgs({__VA_ARGS__}))

class DbfReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    SetDateFormat(5);
    CenturyFlag = true;
  }
  void TearDown() override {
    CloseAll();
    KelpieInit();
  }
  TempFolder tmp_;
};

TEST_F(DbfReaders, EngineTablesReadByOthers) {
  for (const bool oem : {false, true}) {
    const std::string name = tmp_.File(oem ? "oem.dbf" : "ansi.dbf");
    ASSERT_TRUE(CreateDbf(name, {{"NAME", 'C', 12, 0}, {"WERT", 'N', 10, 2}, {"ANZ", 'N', 12, 0},
                                 {"OK", 'L', 1, 0}, {"AM", 'D', 8, 0}},
                          oem));
    Select(1);
    ASSERT_TRUE(UseDbf(name));
    ASSERT_TRUE(ALock());
    struct Row {
      const char* name;
      double wert;
      int64_t anz;
      bool ok;
      const char* am;
      bool deleted;
    } rows[] = {{"Müller Größe", 12.5, 4000000000LL, true, "19400102", false},
                {"Zweite", -3.25, 0, false, "        ", false},
                {"Gelöscht", 1, 7, true, "20261207", true},
                {"Äpfel", 0.01, -12, false, "20000229", false}};
    for (const auto& r : rows) {
      ClearRecord();
      PutFieldUtf8(1, r.name);
      PutFieldNum(2, r.wert);
      PutFieldInt(3, r.anz);
      PutFieldBool(4, r.ok);
      PutFieldDate(5, r.am);
      SetDeleted(r.deleted);
      Append();
    }
    Unlock();
    CloseArea();
    const std::string out = tmp_.File("out.txt");
    RUN_READER("read", name, out);
    const std::vector<std::string> expected = {
        "dbf|1|0|Müller Größe|12.50|4000000000|T|19400102", "dbf|2|0|Zweite|-3.25|0|F|-",
        "dbf|3|1|Gelöscht|1.00|7|T|20261207",               "dbf|4|0|Äpfel|0.01|-12|F|20000229",
        "ogr|1|0|Müller Größe|12.50|4000000000|T|19400102", "ogr|2|0|Zweite|-3.25|0|F|-",
        "ogr|4|0|Äpfel|0.01|-12|F|20000229"};
    EXPECT_EQ(ReadFileLines(out), expected) << (oem ? "OEM" : "ANSI");
  }
}

TEST_F(DbfReaders, OtherTablesReadByTheEngine) {
  for (const std::string kind : {"db3-ansi", "fp-oem"}) {
    const std::string name = tmp_.File(kind + ".dbf");
    RUN_READER("write", name, kind);
    Select(1);
    ASSERT_TRUE(UseDbf(name));
    EXPECT_EQ(RecCount(), 3u) << kind;
    GoTop();
    EXPECT_EQ(FieldToUtf8(FieldNo("NAME")), "Müller Größe") << kind;
    EXPECT_DOUBLE_EQ(FieldNum(FieldNo("WERT")), 12.5);
    EXPECT_EQ(FieldInt(FieldNo("ANZ")), 42);
    EXPECT_TRUE(FieldBool(FieldNo("OK")));
    EXPECT_EQ(FieldDate(FieldNo("AM")), "19400102");
    EXPECT_EQ(FieldToStr(FieldNo("TEXT")), "MEMO");
    if (kind == "fp-oem") {
      EXPECT_EQ(FieldType(FieldNo("F")), 'F');
      EXPECT_DOUBLE_EQ(FieldNum(FieldNo("F")), 25.0);
    }
    SKIP(1);
    EXPECT_EQ(FieldDate(FieldNo("AM")), "        ");
    EXPECT_DOUBLE_EQ(FieldNum(FieldNo("WERT")), -3.25);
    EXPECT_FALSE(FieldBool(FieldNo("OK")));
    SKIP(1);
    EXPECT_TRUE(Deleted()) << kind;
    EXPECT_EQ(FieldToUtf8(FieldNo("NAME")), "Gelöscht    ");
    SetIgnoreDel(true);
    GoTop();
    SKIP(2);
    EXPECT_TRUE(dEOF()) << kind;
    CloseArea();
  }
}

}  // namespace
