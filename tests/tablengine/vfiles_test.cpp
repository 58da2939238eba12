// Tests of the record lists: the list kinds, reading and writing by number, delete and pack, the
// error texts, and a filter expression over a list through the work-area API.
#include "tablengine/vfiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tablengine/kpapi.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpparser.h"
#include "tablengine/kpstr.h"

using namespace qern::kelpie;

namespace {

bool EvaluatesTrue(CompiledExpr* e) {
  const ExprValue* v = EvaluateValue(e);
  return v != nullptr && v->Type == ExprLogical && v->Logical;
}

class VFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KelpieInit();
    ParserInit();
    VFilesInit();
    SetErrorDispatch(false);
    Select(1);
  }
  void TearDown() override {
    CloseAll();
    SetErrorDispatch(true);
  }

  void Make(VirtualKind kind, VirtualKeyMethod key = {}) {
    ASSERT_TRUE(CreateVirtualFile({{"NAME", 'C', 8, 0}, {"QTY", 'N', 5, 0}}, "LIST", kind, std::move(key)));
  }
  static void Push(const std::string& name, int qty) {
    ClearRecord();
    PutFieldStr(1, name);
    PutFieldInt(2, qty);
    PushRec();
  }
  // Names of records 1..count read by number through the procedure.
  static std::string Names() {
    WorkArea& a = *CurrentWorkArea();
    std::string s;
    for (uint32_t n = 1; n <= a.RecordCount; ++n) {
      a.VirtualMode = VirtualRead;
      a.VirtualRecNo = n;
      VirtualFileProcedure(a);
      s += RTrim(std::string(a.Record.begin() + 1, a.Record.begin() + 9));
      s += a.Record[0] ? "* " : " ";
    }
    return s;
  }
  static void Call(int mode, uint32_t recno = 0) {
    WorkArea& a = *CurrentWorkArea();
    a.VirtualMode = mode;
    a.VirtualRecNo = recno;
    VirtualFileProcedure(a);
  }
};

TEST_F(VFilesTest, StackPushesAndPops) {
  Make(VirtualKind::Stack);
  Push("A", 1);
  Push("B", 2);
  Push("C", 3);
  EXPECT_EQ(Names(), "C B A ");
  std::string popped;
  for (int i = 0; i < 3; ++i) {
    PopRec();
    popped += RTrim(FieldStr(1));
  }
  EXPECT_EQ(popped, "CBA");
  EXPECT_EQ(RecCount(), 0u);
  PopRec();
  EXPECT_EQ(KelpieErrorCode, 1100);
  EXPECT_EQ(KelpieErrorText, "Leere virtuelle Datei: POP unmöglich von LIST [(PopRec) VFiles]");
}

TEST_F(VFilesTest, InsertModePlacesAfterTheCurrentRecordAndRefusesPop) {
  Make(VirtualKind::Insert);
  Push("A", 1);
  Push("C", 3);
  GO(1);
  Push("B", 2);
  EXPECT_EQ(RecNo(), 2u);
  EXPECT_EQ(Names(), "A B C ");
  PopRec();
  EXPECT_EQ(KelpieErrorCode, 1100);
  EXPECT_NE(KelpieErrorText.find("Einfüge-Modus"), std::string::npos);
  EXPECT_EQ(RecCount(), 3u);  // unchanged by the refused pop
}

TEST_F(VFilesTest, SortedKindsOrderByKey) {
  Make(VirtualKind::Ascending, [] { return FieldStr(2); });
  for (int q : {10, 9, 100, 9, -5}) Push("Q" + std::to_string(q), q);
  EXPECT_EQ(Names(), "Q-5 Q9 Q9 Q10 Q100 ");  // numbers compare as numbers

  CloseArea();
  Make(VirtualKind::Descending, [] { return FieldStr(1); });
  for (const char* n : {"Berta", "anton", "Cäsar", "Anton"}) Push(n, 0);
  EXPECT_EQ(Names(), "anton Cäsar Berta Anton ");

  // Rewriting a record re-sorts it and says whether it moved.
  GO(4);
  PutFieldStr(1, "Zora");
  Replace();
  EXPECT_EQ(VirtualWriteResult(*CurrentWorkArea()), VirtualMoved);
  EXPECT_EQ(Names(), "anton Zora Cäsar Berta ");
  GO(2);
  PutFieldStr(1, "anna");
  Replace();
  EXPECT_EQ(VirtualWriteResult(*CurrentWorkArea()), VirtualStayed);
}

TEST_F(VFilesTest, ReadingOutsideTheListAndPacking) {
  Make(VirtualKind::Append);
  for (const char* n : {"A", "B", "C", "D"}) Push(n, 1);
  EXPECT_EQ(RecNo(), 4u);
  Call(VirtualRead, 0);
  EXPECT_EQ(KelpieErrorCode, 212);
  EXPECT_EQ(KelpieErrorText,
            "Versuch auf ungültigen Datensatz zu positionieren 0  Anzahl Datensätze in Datenbank ist 4 LIST [VFiles]");
  KelpieErrorCode = 0;
  // Walks from either end and from the current record.
  for (uint32_t n : {3u, 1u, 4u, 2u, 2u, 3u}) {
    Call(VirtualRead, n);
    EXPECT_EQ(CurrentWorkArea()->Record[1], "ABCD"[n - 1]);
  }
  GO(2);
  Call(VirtualDelete);
  GO(4);
  Call(VirtualDelete);
  EXPECT_EQ(Names(), "A B* C D* ");
  GO(4);
  Call(VirtualRecall);
  Call(VirtualPack);
  EXPECT_EQ(Names(), "A C D ");
  GO(2);
  Call(VirtualRemove);
  EXPECT_EQ(Names(), "A D ");
  for (uint32_t n = 1; n <= 2; ++n) {
    GO(n);
    Call(VirtualDelete);
  }
  Call(VirtualPack);
  EXPECT_EQ(RecCount(), 0u);
  EXPECT_TRUE(CurrentWorkArea()->Eof);
  EXPECT_TRUE(CurrentWorkArea()->Bof);
  EXPECT_EQ(KelpieErrorCode, 0);
}

TEST_F(VFilesTest, FilterExpressionOverAList) {
  Make(VirtualKind::Append);
  for (int q = 1; q <= 8; ++q) {
    ClearRecord();
    PutFieldStr(1, "N" + std::to_string(q));
    PutFieldInt(2, q);
    Append();  // the work-area API's append writes through the list
  }
  ASSERT_EQ(RecCount(), 8u);
  ASSERT_TRUE(SetFilterExpr("MOD(QTY, 3) = 0 .OR. NAME = 'N8'"));
  const auto visible = [] {
    std::vector<uint32_t> seen;
    for (GoTop(); !dEOF(); SKIP(1)) seen.push_back(RecNo());
    return seen;
  };
  EXPECT_EQ(visible(), (std::vector<uint32_t>{3, 6, 8}));
  // Deleted through the API, the record is skipped and DELETED() sees it.
  GO(6);
  SetDeleted(true);
  Replace();
  CompiledExpr* deleted = AssignExpr("DELETED()");
  EXPECT_TRUE(EvaluatesTrue(deleted));
  FreeExpr(deleted);
  SetIgnoreDel(true);
  EXPECT_EQ(visible(), (std::vector<uint32_t>{3, 8}));
  ZapVirtual();
  EXPECT_EQ(RecCount(), 0u);
}

}  // namespace
