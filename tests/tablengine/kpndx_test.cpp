// NDX indexes: creation and walks in key order, seek, options, node splits, key upkeep through
// appends and changes (with a long random run), damaged files, semaphore files, collation keys.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>

#include "support/testutil.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;
using qern::test::Le32At;
using qern::test::ReadCalls;
using qern::test::ReadWholeFile;
using qern::test::TempFolder;
using qern::test::WriteWholeFile;

namespace {

class Ndx : public ::testing::Test {
 public:
  struct Row {
    std::string name;
    int64_t nr;
    std::string am;
  };

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

  // A table NAME C(20), NR N(10), AM D with the rows, open in area 1.
  void Table(const std::vector<Row>& rows, bool exclusive = false, const std::string& file = "t.dbf") {
    name_ = tmp_.File(file);
    ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 20, 0}, {"NR", 'N', 10, 0}, {"AM", 'D', 8, 0}}));
    Select(1);
    ASSERT_TRUE(UseDbf(name_, "", exclusive));
    ASSERT_TRUE(ALock());
    for (const auto& r : rows) Add(r);
    Unlock();
  }

  void Add(const Row& r) {
    ClearRecord();
    PutFieldUtf8(1, r.name);
    PutFieldInt(2, r.nr);
    PutFieldDate(3, r.am);
    Append();
  }

  // Record numbers in the order of the controlling index, through the work-area navigation.
  std::vector<uint32_t> Walk() {
    std::vector<uint32_t> out;
    for (GoTop(); !dEOF(); SKIP(1)) out.push_back(RecNo());
    return out;
  }
  std::vector<uint32_t> WalkBack() {
    std::vector<uint32_t> out;
    GoTop();
    while (!dEOF()) SKIP(1);
    for (SKIP(-1); !dBOF(); SKIP(-1)) out.push_back(RecNo());
    return out;
  }

  TempFolder tmp_;
  std::string name_;
};

const std::vector<Ndx::Row> kRows = {{"Müller", 30, "20240229"}, {"apfel", -5, "19991231"}, {"Zander", 12, "20000101"},
                                     {"Äpfel", 0, "        "},  {"muller", 30, "20240229"}, {"Bär", 7, "18500315"}};

TEST_F(Ndx, KeysOfEachTypeWalkInOrderBothWays) {
  Table(kRows);
  MakeIndex("name", "NAME");
  MakeIndex("nr", "NR");
  MakeIndex("am.ndx", "AM");
  ASSERT_TRUE(SetIndexTo("name", 1));
  // Collation: lower case, ä as ae; equal keys by record number.
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{4, 2, 6, 1, 5, 3}));
  EXPECT_EQ(WalkBack(), (std::vector<uint32_t>{3, 5, 1, 6, 2, 4}));
  ASSERT_TRUE(SetIndexTo("nr", 2));
  EXPECT_EQ(CurrentOrder(), 2);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{2, 4, 6, 3, 1, 5}));
  ASSERT_TRUE(SetIndexTo("am.ndx", 3));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{4, 6, 2, 3, 1, 5}));
  Set_Order_To(1);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{4, 2, 6, 1, 5, 3}));
  Set_Order_To(0);
  EXPECT_EQ(CurrentOrder(), 0);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
  // The anchor: root, next free, key type and length, entry size, expression, record count.
  const std::string f = ReadWholeFile(tmp_.File("nr.ndx"));
  ASSERT_EQ(f.size(), 1024u);
  EXPECT_EQ(Le32At(f, 0), 1u);
  EXPECT_EQ(Le32At(f, 4), 2u);
  EXPECT_EQ(f[9], 'N');
  EXPECT_EQ(f[12], 8);
  EXPECT_EQ(f[16], 1);
  EXPECT_EQ(f[18], 16);
  EXPECT_EQ(f[14], 504 / 16);
  EXPECT_EQ(f.substr(24, 3), std::string("NR\0", 3));
  EXPECT_EQ(Le32At(f, 492), 6u);
  EXPECT_EQ(Le32At(f, 488), ~6u);
  EXPECT_EQ(f.substr(496, 6), std::string("t.dbf\0", 6));
}

TEST_F(Ndx, EmptyTableGivesAnchorAndEmptyRoot) {
  Table({});
  MakeIndex("e", "NAME");
  const std::string f = ReadWholeFile(tmp_.File("e.ndx"));
  ASSERT_EQ(f.size(), 1024u);
  EXPECT_EQ(Le32At(f, 0), 1u);
  EXPECT_EQ(Le32At(f, 4), 2u);
  EXPECT_EQ(Le32At(f, 512), 0u);
  ASSERT_TRUE(SetIndexTo("e", 1));
  GoTop();
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  // Appends go into the empty index.
  ASSERT_TRUE(ALock());
  for (const auto& r : kRows) Add(r);
  Unlock();
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{4, 2, 6, 1, 5, 3}));
}

TEST_F(Ndx, SeekFindsKeysPrefixesNumbersAndDates) {
  Table(kRows);
  MakeIndex("name", "NAME");
  MakeIndex("nr", "NR");
  MakeIndex("am", "AM");
  ASSERT_TRUE(SetIndexTo("name", 1));
  EXPECT_TRUE(Seek("M\xFCller"));  // engine bytes: Müller, collated mueller
  EXPECT_EQ(RecNo(), 1u);
  EXPECT_TRUE(IndexFound);
  SKIP(1);
  EXPECT_EQ(RecNo(), 5u);
  EXPECT_TRUE(Seek("MULLER"));
  EXPECT_EQ(RecNo(), 5u);
  EXPECT_TRUE(Seek("BAE"));  // a prefix of "baer", collated
  EXPECT_EQ(RecNo(), 6u);
  EXPECT_FALSE(Seek("zz"));
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(Seek("ab"));  // between keys: not found, end of file
  EXPECT_TRUE(dEOF());
  ASSERT_TRUE(SetIndexTo("nr", 2));
  EXPECT_TRUE(SeekNum(12));
  EXPECT_EQ(RecNo(), 3u);
  EXPECT_TRUE(Seek("-5"));
  EXPECT_EQ(RecNo(), 2u);
  ASSERT_TRUE(SetIndexTo("am", 3));
  EXPECT_TRUE(Seek("18500315"));
  EXPECT_EQ(RecNo(), 6u);
  EXPECT_TRUE(Seek("31.12.1999"));
  EXPECT_EQ(RecNo(), 2u);
}

TEST_F(Ndx, UniqueDescendingAndSoundexOptions) {
  Table({{"Robert", 3, ""}, {"rupert", 0, ""}, {"Anna", -2, ""}, {"robert", 3, ""}, {"Zeta", 1, ""}});
  MakeIndex("u UNIQUE", "UPPER(NAME)");
  ASSERT_TRUE(SetIndexTo("u", 1));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{3, 1, 2, 5}));
  MakeIndex("d.ndx descending", "NR");
  ASSERT_TRUE(SetIndexTo("d.ndx descending", 2));
  EXPECT_FALSE(OrderAscending(2));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{1, 4, 5, 2, 3}));
  EXPECT_TRUE(SeekNum(0));
  EXPECT_EQ(RecNo(), 2u);
  MakeIndex("dn descending", "NAME");
  ASSERT_TRUE(SetIndexTo("dn DESCENDING", 3));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{5, 2, 1, 4, 3}));
  MakeIndex("s soundex", "NAME");
  ASSERT_TRUE(SetIndexTo("s SOUNDEX", 4));
  EXPECT_TRUE(OrderSoundex(4));
  EXPECT_TRUE(Seek("Rupert"));  // R163 like Robert
  EXPECT_EQ(RecNo(), 1u);
  // Appends keep every order, unique ones included.
  ASSERT_TRUE(ALock());
  Add({"ANNA", 9, ""});
  Unlock();
  Set_Order_To(1);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{3, 1, 2, 5}));
  Set_Order_To(2);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{6, 1, 4, 5, 2, 3}));
}

TEST_F(Ndx, FullNodeSplitsIntoHalvesAndTheRootGrows) {
  // Keys of 100 bytes: 4 per node.
  name_ = tmp_.File("s.dbf");
  ASSERT_TRUE(CreateDbf(name_, {{"K", 'C', 100, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(name_, "", true));
  MakeIndex("s", "K");
  ASSERT_TRUE(SetIndexTo("s", 1));
  for (const char* k : {"a", "b", "c", "d", "e"}) {
    ClearRecord();
    PutFieldStr(1, k);
    Append();
  }
  CloseIndexes();
  const std::string f = ReadWholeFile(tmp_.File("s.ndx"));
  ASSERT_EQ(f.size(), 4u * 512);
  EXPECT_EQ(f[14], 4);
  EXPECT_EQ(Le32At(f, 0), 3u);       // the new root
  EXPECT_EQ(Le32At(f, 4), 4u);
  EXPECT_EQ(Le32At(f, 512), 2u);     // old leaf: n - n div 2
  EXPECT_EQ(Le32At(f, 1024), 3u);    // new leaf: n div 2 and the new key
  EXPECT_EQ(Le32At(f, 1536), 1u);    // root: one separator
  EXPECT_EQ(Le32At(f, 1536 + 4), 1u);
  EXPECT_EQ(f[1536 + 12], 'b');
  EXPECT_EQ(Le32At(f, 1536 + 4 + 108), 2u);
  ASSERT_TRUE(SetIndexTo("s", 1));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(Seek("c"));
  EXPECT_EQ(RecNo(), 3u);
}

// Random appends, key changes and deletions; the index walk stays the sorted keys.
TEST_F(Ndx, RandomInsertsAndDeletesKeepTheOrder) {
  IndexCacheSize = 1 << 20;
  Table({}, true);
  MakeIndex("rn", "NAME");
  MakeIndex("rz", "NR");
  ASSERT_TRUE(SetIndexTo("rz", 2));
  ASSERT_TRUE(SetIndexTo("rn", 1));
  std::mt19937 rng(20261207);
  std::vector<std::string> names;
  std::vector<int64_t> numbers;
  std::vector<bool> deleted;
  auto randomName = [&] {
    std::string s;
    const int n = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < n; ++i) s += static_cast<char>('a' + rng() % 6);
    return s;
  };
  for (int op = 0; op < 100000; ++op) {
    const unsigned kind = names.size() < 50 ? 0 : rng() % 4;
    if (kind <= 1) {
      names.push_back(randomName());
      numbers.push_back(static_cast<int64_t>(rng() % 20000) - 10000);
      deleted.push_back(false);
      Add({names.back(), numbers.back(), ""});
    } else {
      const uint32_t r = 1 + rng() % static_cast<uint32_t>(names.size());
      GO(r);
      if (kind == 2) {
        names[r - 1] = randomName();
        numbers[r - 1] = static_cast<int64_t>(rng() % 20000) - 10000;
        PutFieldStr(1, names[r - 1]);
        PutFieldInt(2, numbers[r - 1]);
      } else {
        deleted[r - 1] = !deleted[r - 1];
        SetDeleted(deleted[r - 1]);
      }
      Replace();
    }
    ASSERT_EQ(KelpieErrorCode, 0) << op;
  }
  std::vector<std::pair<std::string, uint32_t>> expect;
  for (uint32_t i = 0; i < names.size(); ++i) {
    std::string k = names[i];
    k.resize(20, ' ');
    if (!deleted[i]) expect.push_back({k, i + 1});
  }
  std::stable_sort(expect.begin(), expect.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  SetIgnoreDel(true);
  std::vector<std::string> walked;
  for (GoTop(); !dEOF(); SKIP(1)) walked.push_back(FieldStr(1));
  ASSERT_EQ(walked.size(), expect.size());
  for (size_t i = 0; i < walked.size(); ++i) ASSERT_EQ(walked[i], expect[i].first) << i;
  // Every record is in each order exactly once, in key order.
  std::vector<uint32_t> byNumber = IndexWalk(2);
  ASSERT_EQ(byNumber.size(), names.size());
  for (size_t i = 1; i < byNumber.size(); ++i) ASSERT_LE(numbers[byNumber[i - 1] - 1], numbers[byNumber[i] - 1]);
  std::vector<uint32_t> sorted = byNumber;
  std::sort(sorted.begin(), sorted.end());
  for (uint32_t i = 0; i < sorted.size(); ++i) ASSERT_EQ(sorted[i], i + 1);
}

TEST_F(Ndx, CreationBySortedRunsMatchesOneRunAndReportsProgress) {
  std::vector<Row> rows;
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) rows.push_back({std::to_string(rng() % 500), static_cast<int64_t>(rng() % 100), ""});
  Table(rows, true);
  MakeIndex("one", "NAME");
  IndexSortRunItems = 256;
  int calls = 0;
  IndexProgress = [&] { ++calls; };
  IndexProgressCalls = 7;
  MakeIndex("runs", "NAME");
  MakeIndex("runs2 UNIQUE", "NR");
  IndexProgress = nullptr;
  IndexSortRunItems = 1u << 20;
  EXPECT_EQ(calls, 14);
  EXPECT_EQ(ReadWholeFile(tmp_.File("one.ndx")), ReadWholeFile(tmp_.File("runs.ndx")));
  ASSERT_TRUE(SetIndexTo("runs", 1));
  const auto walk = Walk();
  ASSERT_EQ(walk.size(), rows.size());
  for (size_t i = 1; i < walk.size(); ++i) {
    const auto& a = rows[walk[i - 1] - 1].name;
    const auto& b = rows[walk[i] - 1].name;
    ASSERT_TRUE(a < b || (a == b && walk[i - 1] < walk[i])) << i;
  }
  ASSERT_TRUE(SetIndexTo("runs2", 2));
  EXPECT_EQ(Walk().size(), 100u);
  // Reindex rebuilds with the same options.
  Reindex();
  EXPECT_EQ(CurrentOrder(), 2);
  EXPECT_EQ(Walk().size(), 100u);
  EXPECT_EQ(ReadWholeFile(tmp_.File("one.ndx")), ReadWholeFile(tmp_.File("runs.ndx")));
}

TEST_F(Ndx, UmlautsOfTheCurrentRecordDoNotLengthenTheKey) {
  Table({{"Größe", 1, ""}, {"abc", 2, ""}});
  GO(1);  // positioned on a record whose key grows by its umlauts
  MakeIndex("g", "NAME");
  EXPECT_EQ(static_cast<uint8_t>(ReadWholeFile(tmp_.File("g.ndx"))[12]), 20);
  ASSERT_TRUE(SetIndexTo("g", 1));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{2, 1}));
}

// An index whose expression now makes keys of another length (the field was widened since) is
// stale: opening it is refused with 266. A trimmed key's length depends on the record and is not
// held against the file.
TEST_F(Ndx, StaleKeyLengthIsRefused) {
  Table(kRows);
  MakeIndex("s", "NAME");
  GO(3);
  MakeIndex("t", "TRIM(NAME)");
  CloseAll();
  ASSERT_TRUE(CreateDbf(name_, {{"NAME", 'C', 30, 0}, {"NR", 'N', 10, 0}, {"AM", 'D', 8, 0}}));
  Select(1);
  ASSERT_TRUE(UseDbf(name_));
  ASSERT_TRUE(ALock());
  for (const auto& r : kRows) Add(r);
  Unlock();
  try {
    SetIndexTo("s", 1);
    FAIL() << "stale index opened";
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 266);
    EXPECT_NE(std::string(e.what()).find("Erwartete Länge= " + std::string(" 20")), std::string::npos) << e.what();
  }
  EXPECT_EQ(CurrentOrder(), 0);
  ASSERT_TRUE(SetIndexTo("t", 1));
  EXPECT_EQ(Walk().size(), kRows.size());
}

// Index files take the case of the table's extension, and an index of the other case is found.
TEST_F(Ndx, IndexExtensionFollowsTheTableAndEitherCaseIsFound) {
  Table(kRows, false, "LOW.DBF");
  MakeIndex("up", "NR");
  EXPECT_TRUE(FileExist(tmp_.File("up.NDX")));
  std::rename(tmp_.File("up.NDX").c_str(), tmp_.File("up.ndx").c_str());
  ASSERT_TRUE(SetIndexTo("up", 1));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{2, 4, 6, 3, 1, 5}));
  CloseAll();
  Table(kRows, false, "small.dbf");
  MakeIndex("nr", "NR");
  EXPECT_TRUE(FileExist(tmp_.File("nr.ndx")));
  EXPECT_FALSE(FileExist(tmp_.File("nr.NDX")));
  std::rename(tmp_.File("nr.ndx").c_str(), tmp_.File("nr.NDX").c_str());
  ASSERT_TRUE(SetIndexTo("nr", 1));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{2, 4, 6, 3, 1, 5}));
  // Built anew, the index in the other case is the one replaced.
  CloseIndexes();
  MakeIndex("nr", "NR");
  EXPECT_FALSE(FileExist(tmp_.File("nr.ndx")));
}

// Files from DOS or Windows named in upper case: table, memo and index are found by names in
// another case; several files that differ only in case are an error naming them, unless one has
// the exact name.
TEST_F(Ndx, TableMemoAndIndexNamesInAnotherCaseAreFound) {
  const std::string upper = tmp_.File("LOW2.DBF");
  ASSERT_TRUE(CreateDbf(upper, {{"NAME", 'C', 10, 0}, {"TEXT", 'M', 10, 0}}, false, 0x83));
  ASSERT_TRUE(FileExist(tmp_.File("LOW2.DBT")));
  Select(1);
  ASSERT_TRUE(UseDbf(upper));
  ASSERT_TRUE(ALock());
  for (const char* n : {"b", "a"}) {
    ClearRecord();
    PutFieldStr(1, n);
    PutMemoField(2, std::string("memo ") + n);
    Append();
  }
  Unlock();
  MakeIndex("LOW2.NDX", "NAME");
  CloseAll();
  std::rename(tmp_.File("LOW2.DBT").c_str(), tmp_.File("Low2.dbt").c_str());
  ASSERT_TRUE(UseDbf(tmp_.File("low2.dbf")));
  EXPECT_EQ(AreaFileName(), upper);
  ASSERT_TRUE(SetIndexTo("low2", 1));
  EXPECT_EQ(OrderFileName(1), tmp_.File("LOW2.NDX"));
  GoTop();
  EXPECT_EQ(AllTrim(FieldStr(1)), "a");
  EXPECT_EQ(MemoFieldText(2), "memo a");
  ASSERT_TRUE(Seek("b"));
  EXPECT_EQ(MemoFieldText(2), "memo b");
  CloseAll();
  // Several files of the name in other cases: an error naming them, for the table, the memo and
  // the index alike; the exact name still opens, and the table's index and memo have their exact
  // names too.
  const bool dispatch = SetErrorDispatch(false);
  qern::test::WriteWholeFile(tmp_.File("low2.DBF"), ReadWholeFile(upper));
  EXPECT_FALSE(UseDbf(tmp_.File("low2.dbf")));
  EXPECT_EQ(KelpieErrorCode, 2);
  EXPECT_NE(KelpieErrorText.find(upper), std::string::npos) << KelpieErrorText;
  EXPECT_NE(KelpieErrorText.find(tmp_.File("low2.DBF")), std::string::npos) << KelpieErrorText;
  ASSERT_TRUE(UseDbf(upper));
  ASSERT_TRUE(SetIndexTo("LOW2", 1));
  CloseIndexes();
  qern::test::WriteWholeFile(tmp_.File("low2.NDX"), ReadWholeFile(tmp_.File("LOW2.NDX")));
  EXPECT_FALSE(SetIndexTo("Low2", 1));
  EXPECT_EQ(KelpieErrorCode, 2);
  EXPECT_NE(KelpieErrorText.find(tmp_.File("low2.NDX")), std::string::npos) << KelpieErrorText;
  EXPECT_TRUE(SetIndexTo("LOW2", 1));
  CloseAll();
  qern::test::WriteWholeFile(tmp_.File("LOW2.dbt"), ReadWholeFile(tmp_.File("Low2.dbt")));
  UseDbf(upper);  // the table opens without its memo file
  EXPECT_EQ(KelpieErrorCode, 2);
  EXPECT_NE(KelpieErrorText.find(tmp_.File("LOW2.dbt")), std::string::npos) << KelpieErrorText;
  EXPECT_NE(KelpieErrorText.find(tmp_.File("Low2.dbt")), std::string::npos) << KelpieErrorText;
  SetErrorDispatch(dispatch);
}

// Case twins K.DBF (index IX.NDX) and k.dbf: opened by its exact name, k.dbf has its index and memo
// only under their exact names; an index made for it is made under the name typed and never
// rebuilds IX.NDX, which K.DBF goes on using.
TEST_F(Ndx, CaseTwinsKeepTheirOwnIndexesAndMemos) {
  const std::vector<FieldSpec> fields = {{"NAME", 'C', 20, 0}, {"TEXT", 'M', 10, 0}};
  for (const char* file : {"K.DBF", "x.dbf"}) {
    ASSERT_TRUE(CreateDbf(tmp_.File(file), fields, false, 0x8B));
    Select(1);
    ASSERT_TRUE(UseDbf(tmp_.File(file), "", true));
    ClearRecord();
    PutFieldStr(1, file[0] == 'K' ? "upper" : "lower");
    PutMemoField(2, std::string("memo of ") + file);
    Append();
    if (file[0] == 'K') MakeIndex("IX", "NAME");
    CloseAll();
  }
  std::rename(tmp_.File("x.dbf").c_str(), tmp_.File("k.dbf").c_str());
  std::rename(tmp_.File("x.dbt").c_str(), tmp_.File("k.dbt").c_str());
  const std::string upperIndex = ReadWholeFile(tmp_.File("IX.NDX"));
  const bool dispatch = SetErrorDispatch(false);
  Select(1);
  ASSERT_TRUE(UseDbf(tmp_.File("k.dbf")));
  EXPECT_EQ(MemoFieldText(2), "memo of x.dbf");
  EXPECT_FALSE(SetIndexTo("ix", 1));  // IX.NDX is K.DBF's
  EXPECT_EQ(KelpieErrorCode, 2);
  for (const char* named : {"ix.ndx", "IX.NDX"})
    EXPECT_NE(KelpieErrorText.find(tmp_.File(named)), std::string::npos) << KelpieErrorText;
  MakeIndex("ix", "NAME");
  EXPECT_EQ(KelpieErrorCode, 0) << KelpieErrorText;
  ASSERT_TRUE(SetIndexTo("ix", 1));
  EXPECT_TRUE(Seek("lower"));
  CloseAll();
  EXPECT_TRUE(ReadWholeFile(tmp_.File("IX.NDX")) == upperIndex) << "K.DBF's index rebuilt";
  // A memo only in the twin's case is not this table's.
  std::rename(tmp_.File("k.dbt").c_str(), tmp_.File("k.dbt.away").c_str());
  UseDbf(tmp_.File("k.dbf"));
  EXPECT_EQ(KelpieErrorCode, 2);
  CloseAll();
  SetErrorDispatch(dispatch);
  ASSERT_TRUE(UseDbf(tmp_.File("K.DBF")));
  ASSERT_TRUE(SetIndexTo("IX", 1));
  ASSERT_TRUE(Seek("upper"));
  EXPECT_EQ(MemoFieldText(2), "memo of K.DBF");
  EXPECT_FALSE(Seek("lower"));
}

// Index order and natural order give the same record, EOF, BOF and error after every move (the
// index's order here is the record order): beyond the end, before the start, all records hidden.
TEST_F(Ndx, EofAndBofAgreeWithNaturalOrder) {
  Table({{"a", 1, ""}, {"b", 2, ""}});
  MakeIndex("n", "NAME");
  const bool dispatch = SetErrorDispatch(false);
  const auto run = [](bool indexed) {
    Set_Order_To(indexed ? 1 : 0);
    std::vector<std::string> states;
    const auto note = [&](const std::string& what) {
      const uint16_t code = KelpieErrorCode;
      states.push_back(what + ": " + std::to_string(RecNo()) + (dEOF() ? " EOF" : "") + (dBOF() ? " BOF" : "") +
                       (code ? " error " + std::to_string(code) : ""));
    };
    GO(1), note("GO 1");
    GO(9), note("GO 9");
    SKIP(1), note("SKIP 1");
    SKIP(-1), note("SKIP -1");
    GoTop(), note("GoTop");
    SKIP(-1), note("SKIP -1");
    SKIP(1), note("SKIP 1");
    GO(2), note("GO 2");
    SKIP(1), note("SKIP 1");
    GO(0), note("GO 0");
    SKIP(-1), note("SKIP -1");
    GoTop(), SKIP(-1), note("SKIP -1 at the top");
    SKIP(0), note("SKIP 0 at the top");
    GO(7), note("GO 7");
    SKIP(0), note("SKIP 0 at the end");
    SetFilterExpr("NR > 5");
    GoTop(), note("GoTop hidden");
    SKIP(-1), note("SKIP -1 hidden");
    GO(1), note("GO 1 hidden");
    SKIP(1), note("SKIP 1 hidden");
    SetFilterExpr("NR = 1");
    GO(1), note("GO 1");
    SKIP(1), note("SKIP 1 one");
    SetFilterExpr("");
    return states;
  };
  ASSERT_TRUE(SetIndexTo("n", 1));
  const auto natural = run(false);
  EXPECT_EQ(natural[1], "GO 9: 3 EOF error 212");
  EXPECT_EQ(natural[12], "SKIP 0 at the top: 1");
  EXPECT_EQ(natural[13], "GO 7: 3 EOF error 212");
  EXPECT_EQ(natural[15], "GoTop hidden: 3 EOF BOF");
  EXPECT_EQ(run(true), natural);
  // An empty table.
  CloseAll();
  Table({}, false, "e.dbf");
  MakeIndex("e", "NAME");
  ASSERT_TRUE(SetIndexTo("e", 1));
  const auto emptyNatural = run(false);
  EXPECT_EQ(emptyNatural[0], "GO 1: 1 EOF BOF error 212");
  EXPECT_EQ(run(true), emptyNatural);
  // One record, deleted records ignored.
  CloseAll();
  Table({{"a", 1, ""}}, false, "one.dbf");
  MakeIndex("one", "NAME");
  ASSERT_TRUE(SetIndexTo("one", 1));
  SetIgnoreDel(true);
  const auto oneNatural = run(false);
  EXPECT_EQ(oneNatural[11], "SKIP -1 at the top: 1 BOF");
  EXPECT_EQ(oneNatural[12], "SKIP 0 at the top: 1");
  EXPECT_EQ(run(true), oneNatural);
  SetErrorDispatch(dispatch);
}

TEST_F(Ndx, ChangedKeyWithMissingEntryStillGoesIn) {
  Table({{"b", 1, ""}, {"c", 2, ""}});
  MakeIndex("m", "NAME");
  MakeIndex("mu UNIQUE", "NAME");
  ASSERT_TRUE(ALock());
  Add({"d", 3, ""});  // no index open: record 3 is missing from both
  ASSERT_TRUE(SetIndexTo("m", 1));
  ASSERT_TRUE(SetIndexTo("mu", 2));
  Set_Order_To(0);
  GO(3);
  PutFieldStr(1, "a");
  Replace();
  EXPECT_EQ(KelpieErrorCode, 1);  // no message, and the new key is there
  Set_Order_To(1);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{3, 1, 2}));
  Set_Order_To(2);
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{3, 1, 2}));
  Unlock();
}

TEST_F(Ndx, ErrorsOfOpeningAndCreating) {
  Table(kRows);
  MakeIndex("x", "NAME");
  EXPECT_THROW(SetIndexTo("x", 17), EKelpieError);
  EXPECT_EQ(KelpieLastError, 0);
  try {
    SetIndexTo("x", 0);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 220);
  }
  try {
    MakeIndex("y", "NAME+" + std::string(96, 'X'));
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 300);
  }
  try {
    SetIndexTo("missing", 1);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 2);
  }
  ASSERT_TRUE(SetIndexTo("x", 1));
  Select(2);
  ASSERT_TRUE(UseDbf(name_, "B"));
  try {
    MakeIndex("x", "NAME");
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 214);
  }
  try {
    SetIndexTo("x", 1);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 220);
  }
  try {
    Set_Order_To(3);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 221);
  }
}

TEST_F(Ndx, DamagedFilesAreRefusedOrRepaired) {
  Table(kRows);
  MakeIndex("ok", "NAME");
  const std::string good = ReadWholeFile(tmp_.File("ok.ndx"));
  WriteWholeFile(tmp_.File("short.ndx"), good.substr(0, 1023));
  try {
    SetIndexTo("short.ndx", 1);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 222);
  }
  // 3 blocks and 100 bytes: next free 3; exactly 4 blocks: 4.
  WriteWholeFile(tmp_.File("long.ndx"), good + std::string(512 + 100, '\0'));
  ASSERT_TRUE(SetIndexTo("long.ndx", 1));
  EXPECT_EQ(Le32At(ReadWholeFile(tmp_.File("long.ndx")), 4), 3u);
  CloseIndexes();
  WriteWholeFile(tmp_.File("long.ndx"), good + std::string(1024, '\0'));
  ASSERT_TRUE(SetIndexTo("long.ndx", 1));
  EXPECT_EQ(Le32At(ReadWholeFile(tmp_.File("long.ndx")), 4), 4u);
  CloseIndexes();
  // A root beyond the file, and a child pointing back at its own node.
  std::string bad = good;
  bad[0] = 9;
  WriteWholeFile(tmp_.File("bad.ndx"), bad);
  EXPECT_THROW(SetIndexTo("bad.ndx", 1), EKelpieError);
  std::string loop = good + std::string(512, '\0');
  loop[0] = 2;  // root 2: interior, its only child is itself
  loop[4] = 3;
  std::memcpy(&loop[1024 + 4], "\x02\0\0\0", 4);
  WriteWholeFile(tmp_.File("loop.ndx"), loop);
  EXPECT_THROW(SetIndexTo("loop.ndx", 1), EKelpieError);
}

TEST_F(Ndx, NodesAreCopiedFromTheMappedFileAndAShrunkFileIsAnError) {
  IndexCacheSize = 0;  // every node from the file
  std::vector<Row> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({"k" + std::to_string(100000 + i * 7 % 3000), i, "20260101"});
  Table(rows, true);
  MakeIndex("big", "NAME");
  ASSERT_TRUE(SetIndexTo("big", 1));
  ASSERT_TRUE(Seek("k100000"));
  const long before = ReadCalls();
  for (int i = 0; i < 500; ++i) {
    const std::string key = "k" + std::to_string(100000 + i * 5);
    ASSERT_TRUE(Seek(key)) << key;
    ASSERT_EQ(RTrim(FieldToUtf8(1)), key);
  }
  if (before >= 0) {
    EXPECT_LT(ReadCalls() - before, 50);
  }
  EXPECT_FALSE(Seek("k0"));
  // Another program cuts the file down: seeks fail with an error instead of a signal.
  // (the index takes the case of the table's extension)
  ASSERT_EQ(::truncate(tmp_.File("big.ndx").c_str(), 1024), 0);
  int found = 0, errors = 0;
  for (int i = 0; i < 20; ++i) {
    try {
      found += Seek("k" + std::to_string(100000 + i * 100));
    } catch (const EKelpieError&) {
      ++errors;
    }
  }
  EXPECT_EQ(found, 0);
  EXPECT_GT(errors, 0);
  KelpieErrorCode = 0;
}

TEST_F(Ndx, SemaphoreFileCountsProgramsReadersAndChanges) {
  Table(kRows);
  MakeIndex("sem", "NAME");
  const std::string sem = SemaphoreFileName(name_);
  EXPECT_EQ(sem, tmp_.File("t.@S@"));
  ASSERT_TRUE(SetIndexTo("sem", 1));
  EXPECT_EQ(ReadWholeFile(sem), std::string("\x01\0\0\0", 4));
  Select(2);
  ASSERT_TRUE(UseDbf(name_, "B"));
  MakeIndex("sem2", "NR");
  ASSERT_TRUE(SetIndexTo("sem2", 1));
  EXPECT_EQ(ReadWholeFile(sem)[0], 2);
  // A change inside this program's own read bracket does not wait for itself.
  SemaphoreWaitLimit = 2;
  SetReadSemaphoreProc(true);
  EXPECT_EQ(ReadWholeFile(sem)[1], 1);
  ASSERT_TRUE(ALock());
  Add({"neu", 99, ""});
  Unlock();
  SetReadSemaphoreProc(false);
  SemaphoreWaitLimit = 100;
  std::string after = ReadWholeFile(sem);
  EXPECT_EQ(after[1], 0);
  EXPECT_EQ(static_cast<uint8_t>(after[2]), 1);
  // Reader count stops at 127; the change counter wraps after 65534.
  WriteWholeFile(sem, std::string("\x02\x7F\xFE\xFF", 4));
  SetReadSemaphoreProc(true);
  EXPECT_EQ(static_cast<uint8_t>(ReadWholeFile(sem)[1]), 127);
  SetReadSemaphoreProc(false);
  WriteWholeFile(sem, std::string("\x02\0\xFE\xFF", 4));
  SetLockSemaphoreProc(true);
  SetLockSemaphoreProc(false);
  after = ReadWholeFile(sem);
  EXPECT_EQ(after.substr(1, 3), std::string("\0\0\0", 3));
  EXPECT_THROW(SetLockSemaphoreProc(false), EKelpieError);
  EXPECT_EQ(KelpieErrorCode, 254);
  // The new record is in the order open where it was appended.
  EXPECT_EQ(Walk().size(), 7u);
  Select(1);
  EXPECT_EQ(Walk().size(), 6u);
  CloseArea();
  EXPECT_EQ(ReadWholeFile(sem)[0], 1);
  Select(2);
  CloseArea();
  EXPECT_FALSE(FileExist(sem));
}

TEST_F(Ndx, CollationKeysAndExpressionNormalisation) {
  EXPECT_EQ(CollationKey("\xC4pfel Gr\xF6\xDF" "e", false), "aepfel groesse");
  EXPECT_EQ(CollationKey("\xC4pfel", true), AnsiToOemCopy("\xC4") == "\x8E" ? "\x8Epfel" : CollationKey("\xC4pfel", true));
  EXPECT_EQ(CollationKey(std::string(119, 'A') + "\xDF", false), std::string(100, 'a'));
  EXPECT_EQ(CollationKey(std::string(99, 'A') + "\xFC", false), std::string(99, 'a') + "u");
  EXPECT_EQ(NormalizeKeyExpr("upper( name ) + 'a b' + \"c\""), "UPPER(NAME)+\"a b\"+\"c\"");
  EXPECT_EQ(KeyMakerMarker(), "ANWENDER-DEFINIERTENKEYMAKERBENUTZT,UMINDEXZUERZEUGEN");
}

std::string NrKey(void*) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%06lld", static_cast<long long>(FieldInt(2) + 100000));
  return buf;
}

TEST_F(Ndx, KeyMakerIndexesNeedTheirFunction) {
  Table(kRows);
  MakeIndex("km", "", &NrKey);
  try {
    SetIndexTo("km", 1);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 223);
  }
  ASSERT_TRUE(SetIndexTo("km", 1, &NrKey));
  EXPECT_EQ(Walk(), (std::vector<uint32_t>{2, 4, 6, 3, 1, 5}));
  MakeIndex("ex", "NAME");
  try {
    SetIndexTo("ex", 2, &NrKey);
    FAIL();
  } catch (const EKelpieError& e) {
    EXPECT_EQ(e.Code, 223);
  }
}

}  // namespace
