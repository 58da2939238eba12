// Replay of "$name.dx$" block files on the screen: composed transforms, texts, layers, polylines,
// nesting limits and broken files; and the same geometry as the DXF insert.
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <tuple>

#include "cadtest.h"
#include "drawing/dxblock.h"
#include "framework/utilstr.h"

namespace qern::test {
namespace {

class DxBlockTest : public CadTest {
 protected:
  void SetUp() override {
    CadTest::SetUp();
    Flags.AbortFlag = false;
    CadBeginOutput(CadDeviceScreen);
  }
  // A user block file in the folder for temporary files.
  void Block(const std::string& name, const std::vector<std::string>& groups) {
    WriteFileLines(tmp_.File("$" + name + ".dx$"), groups);
  }
  // Records appended by inserting name at (x, y).
  std::vector<std::string> Insert(const std::string& name, long double x = 0, long double y = 0,
                                  long double angle = 0, long double sx = 1, long double sy = 1) {
    const size_t start = DisplayList.size();
    CadInsertBlock(name, x, y, angle, sx, sy);
    const auto all = DisplayListText();
    return std::vector<std::string>(all.begin() + start, all.end());
  }
  static std::vector<std::string> Only(const std::vector<std::string>& records,
                                       const std::string& code) {
    std::vector<std::string> out;
    for (const auto& r : records)
      if (r.rfind(code + ";", 0) == 0) out.push_back(r);
    return out;
  }
};

TEST_F(DxBlockTest, EmptyBlockDrawsNothing) {
  Block("leer", {"  0", "EOF"});
  EXPECT_TRUE(Insert("leer").empty());
  EXPECT_EQ(Errors.ErrorCount, 0);
  EXPECT_FALSE(Flags.AbortFlag);
}

TEST_F(DxBlockTest, NestedInsertComposesTheTransform) {
  Block("b", {"  0", "LINE", "  8", "0", " 10", "0", " 20", "0", " 11", "1", " 21", "0", "  0", "EOF"});
  Block("a", {"  0", "INSERT", "  2", "b", " 10", "10", " 20", "0", " 50", "90", "  0", "EOF"});
  EXPECT_EQ(Only(Insert("a", 100, 50, 0, 2, 2), "4"),
            (std::vector<std::string>{"4;120;50;120;52"}));
  EXPECT_EQ(CadState.CadInsertDepth, 0);
  EXPECT_EQ(CadState.CadInsertScaleX, 1.0L);
}

TEST_F(DxBlockTest, TextsScaleAndTurnWithTheInserts) {
  Block("t", {"  0", "TEXT", "  1", "Zähne", "  8", "4", " 10", "1", " 20", "0", " 40", "2.5",
              " 41", "0.8", " 50", "10", "  0", "EOF"});
  Block("outer", {"  0", "INSERT", "  2", "t", " 10", "0", " 20", "0", " 50", "30", "  0", "EOF"});
  const auto styled = Only(Insert("t", 0, 0, 0, 1, 2), "9");
  ASSERT_EQ(styled.size(), 1u);
  EXPECT_EQ(styled[0], "9;5;1.9;2;10") << "twice as high; width 2.5 * 0.8 * 0.95";
  const auto turned = Only(Insert("outer", 0, 0, 20, 1, 1), "9");
  ASSERT_EQ(turned.size(), 2u) << "the text's style, then the drawing's own again";
  EXPECT_EQ(turned[0], "9;2.5;1.9;2;60") << "its own 10 plus both inserts' 30 and 20";
  EXPECT_EQ(turned[1], styled[0]);
  EXPECT_EQ(Only(Insert("t", 5, 5), "6"), (std::vector<std::string>{"6;6;5;Zähne"}));
}

TEST_F(DxBlockTest, LayerNumbers) {
  Settings.CadLayerNames = {"0", "MITTE", "2", "3", "4", "KONTUR"};
  EXPECT_EQ(LayerNumber("KONTUR"), 5);
  EXPECT_EQ(LayerNumber("17"), 17);
  EXPECT_EQ(LayerNumber("Schraffur"), 0);
  EXPECT_EQ(LayerNumber("99999999999999999999"), 0);
  Block("p", {"  0", "LINE", "  8", "MITTE", " 10", "0", " 20", "0", " 11", "1", " 21", "0",
              "  0", "EOF"});
  const auto records = Insert("p");
  EXPECT_NE(std::find(records.begin(), records.end(), "11;2"), records.end()) << "pen 1: dash-dot";
}

TEST_F(DxBlockTest, ClosedPolylineUsesTheLastBulge) {
  // Flags 3 (closed and more): bit 0 closes it, with the last vertex's half circle.
  Block("poly", {"  0", "POLYLINE", "  8", "0", " 66", "1", " 70", "3",
                 "  0", "VERTEX", "  8", "0", " 10", "0", " 20", "0",
                 "  0", "VERTEX", "  8", "0", " 10", "10", " 20", "0", " 42", "1",
                 "  0", "SEQEND", "  8", "0", "  0", "EOF"});
  const auto records = Insert("poly");
  EXPECT_EQ(Only(records, "4"), (std::vector<std::string>{"4;0;0;10;0"}));
  const auto arcs = Only(records, "5");
  ASSERT_EQ(arcs.size(), 1u);
  EXPECT_EQ(arcs[0].substr(0, 15), "5;0;-5;10;5;10;") << "from (10, 0) back to (0, 0)";
}

TEST_F(DxBlockTest, BrokenFilesAreReportedNotFatal) {
  Block("self", {"  0", "LINE", " 10", "0", " 20", "0", " 11", "1", " 21", "1",
                 "  0", "INSERT", "  2", "SELF", "  0", "INSERT", "  2", "self", "  0", "EOF"});
  const auto records = Only(Insert("self"), "4");
  EXPECT_EQ(records.size(), 1u + 2 + 4 + 8) << "four levels of lines";
  EXPECT_EQ(dialogs_->Messages(), (std::vector<std::string>{"error blockno.5"}));

  dialogs_->Clear();
  Block("novertex", {"  0", "POLYLINE", " 70", "1", "  0", "LINE", " 10", "0", " 20", "0",
                     " 11", "1", " 21", "1", "  0", "EOF"});
  EXPECT_EQ(Only(Insert("novertex"), "4").size(), 1u);
  EXPECT_EQ(dialogs_->Messages(), (std::vector<std::string>{"Error in DXF File"}));

  Block("odd", {"  0", "LINE", " 10", "0", "  0", "HATCH", "  0", "LINE", "  0", "EOF"});
  EXPECT_EQ(Only(Insert("odd"), "4").size(), 1u);
  EXPECT_EQ(Errors.ErrorList[Errors.ErrorCount - 1], "Fehler : DXF: HATCH");

  Block("garbage", {"x", "y", "  0"});
  EXPECT_TRUE(Insert("garbage").empty());
  Block("huge", {"  0", "CIRCLE", " 10", "1e5000", " 20", "nan", " 40", "-2", "  0", "EOF"});
  EXPECT_EQ(Only(Insert("huge"), "3"), (std::vector<std::string>{"3;0;0;2"}));
  // Flags far beyond any whole number count as no flag: an open polyline of one line.
  Block("hugeflags", {"  0", "POLYLINE", " 70", "1e77", "  0", "VERTEX", " 10", "0", " 20", "0",
                      "  0", "VERTEX", " 10", "5", " 20", "0", "  0", "SEQEND", "  0", "EOF"});
  EXPECT_EQ(Only(Insert("hugeflags"), "4"), (std::vector<std::string>{"4;0;0;5;0"}));
  Insert("nirgends");
  EXPECT_EQ(Errors.ErrorList[Errors.ErrorCount - 1], "Blockname nirgends not found !");
  EXPECT_FALSE(Flags.AbortFlag);
}

TEST_F(DxBlockTest, ScreenBlocksStayInMemory) {
  // A user's file of the same name is neither replayed for the screen's block nor touched.
  Block("eigen", {"  0", "CIRCLE", " 10", "0", " 20", "0", " 40", "1", "  0", "EOF"});
  const std::string user = ReadWholeFile(tmp_.File("$eigen.dx$"));
  const std::vector<std::string> only{"$eigen.dx$"};
  CadBeginBlocks();
  CadBeginBlock("Eigen");
  CadLine(0, 0, 1, 1);
  CadEndBlock();
  CadBeginBlock("rahmen");
  CadInsertBlock("EIGEN", 0, 0, 90, 1, 1);
  CadEndBlock();
  CadEndSection();
  EXPECT_EQ(FolderEntries(tmp_.Path()), only) << "no file or folder of the screen's";
  EXPECT_EQ(Only(Insert("eigen", 10, 10), "4"), (std::vector<std::string>{"4;10;10;11;11"}));
  const auto framed = Insert("rahmen", 0, 5);
  EXPECT_EQ(Only(framed, "4"), (std::vector<std::string>{"4;0;5;-1;6"}));
  EXPECT_TRUE(Only(framed, "3").empty());
  CadEndOutput();
  EXPECT_EQ(FolderEntries(tmp_.Path()), only);
  EXPECT_EQ(ReadWholeFile(tmp_.File("$eigen.dx$")), user);
  EXPECT_EQ(Errors.ErrorCount, 0) << Errors.ErrorList[0];
}

TEST_F(DxBlockTest, ReplayStopsWhenItsEntitiesAreSpentOrTheOutputIsAborted) {
  // 250 inserts of 1,000 lines: every insert and every line counts, and the replay stops at the
  // 200,000th entity, within the 200th insert.
  std::vector<std::string> lines;
  for (int i = 0; i < 1000; ++i)
    lines.insert(lines.end(), {"  0", "LINE", " 10", "0", " 20", "0", " 11", "1", " 21", "1"});
  lines.insert(lines.end(), {"  0", "EOF"});
  Block("tausend", lines);
  std::vector<std::string> inserts;
  for (int i = 0; i < 250; ++i) inserts.insert(inserts.end(), {"  0", "INSERT", "  2", "tausend"});
  inserts.insert(inserts.end(), {"  0", "EOF"});
  Block("viele", inserts);
  EXPECT_EQ(Only(Insert("viele"), "4").size(), 199u * 1000 + 800);
  EXPECT_EQ(Errors.ErrorList[Errors.ErrorCount - 1], "Fehler : DXF: zu viele Elemente in Block");

  // With the output being aborted the replay ends after the entity it is drawing.
  Block("zwei", {"  0", "LINE", " 10", "0", " 20", "0", " 11", "2", " 21", "2", "  0", "LINE",
                 " 10", "0", " 20", "0", " 11", "3", " 21", "3", "  0", "EOF"});
  Flags.AbortFlag = true;
  EXPECT_EQ(Only(Insert("zwei"), "4"), (std::vector<std::string>{"4;0;0;2;2"}));
}

TEST_F(DxBlockTest, MirroredArcs) {
  // A quarter arc from 0 to 90 degrees, mirrored about the y axis: from (0, 2) to (-2, 0);
  // mirrored about the x axis: from (0, -1) to (1, 0).
  Block("q", {"  0", "ARC", " 10", "0", " 20", "0", " 40", "1", " 50", "0", " 51", "90", "  0", "EOF"});
  for (auto [sx, sy, expected] :
       {std::tuple{-2.0L, 2.0L, std::array<double, 8>{-2, -2, 2, 2, 0, 2, -2, 0}},
        std::tuple{1.0L, -1.0L, std::array<double, 8>{-1, -1, 1, 1, 0, -1, 1, 0}}}) {
    const auto arcs = Only(Insert("q", 0, 0, 0, sx, sy), "5");
    ASSERT_EQ(arcs.size(), 1u);
    const auto r = ParseDisplayRecord(arcs[0]);
    ASSERT_TRUE(r);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(r->Args[i], expected[i], 1e-9) << arcs[0];
  }
}

TEST_F(DxBlockTest, TextsSurviveTheBlockFile) {
  CadBeginBlocks();
  CadBeginBlock("t");
  CadSetTextStyle(2, 0, 2, 0);
  CadText("Zähne 齿 ±", 1, 2);
  CadEndBlock();
  CadEndSection();
  EXPECT_EQ(Only(Insert("T", 10, 10), "6"), (std::vector<std::string>{"6;11;12;Zähne 齿 ±"}));
}

TEST_F(DxBlockTest, BlocksNeedNoFolderForTemporaryFiles) {
  CadEndOutput();
  WriteFileLines(tmp_.File("datei"), {"x"});
  for (const std::string& folder : {tmp_.File("missing/"), tmp_.File("datei/"), std::string()}) {
    SCOPED_TRACE(folder);
    Settings.TempFolder = folder;
    ResetErrors();
    Flags.AbortFlag = false;
    CadBeginOutput(CadDeviceScreen);
    CadBeginBlocks();
    CadBeginBlock("a");
    CadLine(0, 0, 1, 0);
    CadEndBlock();
    CadEndSection();
    EXPECT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(Only(Insert("A", 1, 1, 0, 3, 3), "4"), (std::vector<std::string>{"4;1;1;4;1"}));
    CadEndOutput();
    EXPECT_EQ(Errors.ErrorCount, 0) << Errors.ErrorList[0];
  }
  EXPECT_EQ(FolderEntries(tmp_.Path()), (std::vector<std::string>{"datei"}));
}

TEST_F(DxBlockTest, SameGeometryAsTheDxfInsert) {
  auto drawing = [] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("Z");
    CadLine(1, 0, 3, 0);
    CadArc(0, 0, 0, 90, 2);
    CadSolid(0, 0, 1, 0, 0, 1, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("z", 10, 5, 90, 2, 2);
    CadEndSection();
  };
  CadEndOutput();
  DisplayList.clear();
  Output(CadDeviceScreen, drawing);
  const auto records = DisplayListText();
  EXPECT_EQ(Only(records, "4"), (std::vector<std::string>{"4;10;7;10;11"}));
  EXPECT_EQ(Only(records, "5"), (std::vector<std::string>{"5;6;1;14;9;10;9;6;5"}));
  EXPECT_EQ(Only(records, "7"), (std::vector<std::string>{"7;10;5;10;7;8;5;8;7"}));
  // The DXF keeps the block in block coordinates and the insert with its transform.
  const auto dxf = Dxf(drawing);
  const auto entities = Slice(dxf, "ENTITIES", "ENDSEC");
  EXPECT_EQ(CountGroups(entities, " 41", "2.000000"), 1);
  EXPECT_EQ(CountGroups(entities, " 50", "90.000000"), 1);
  EXPECT_EQ(CountGroups(Slice(dxf, "BLOCKS", "ENDSEC"), " 11", "3.000000"), 1);
}

TEST(DxfValueNumber, ReadsEveryValueAsStrToRealDoes) {
  auto same = [](const std::string& v) {
    long double expected = StrToReal(v);
    if (!std::isfinite(expected)) expected = 0;
    const long double got = DxfValueNumber(v);
    EXPECT_TRUE(got == expected && std::signbit(got) == std::signbit(expected)) << v;
  };
  for (const char* v : {"0.000000", "-0.000000", "123", "-45.5", "5.", ".5", "-.5", "1,5", " 7.25",
                        "7.25 ", "+3", "1e3", "2.5E-3", "9999999999999999999",
                        "18446744073709551615", "99999999999999999999.5", "0.1", "-0.3",
                        "0.3333333333333333333", "1e5000", "nan", "inf", "-", "", ".", "--1",
                        "1.2.3", "0x10", "12a"})
    same(v);
  // The writer's numbers: up to 13 digits before the point and 6 after, both signs.
  std::mt19937_64 random(29);
  for (int n = 0; n < 20000; ++n) {
    const int decimals = static_cast<int>(random() % 8);
    std::string digits = std::to_string(random() % 10000000000000000000ULL);
    digits = digits.substr(0, 1 + random() % digits.size());
    while (static_cast<int>(digits.size()) <= decimals) digits.insert(0, "0");
    if (decimals > 0) digits.insert(digits.size() - decimals, ".");
    same((random() % 2 ? "-" : "") + digits);
  }
}

// Each block file is read once per screen output and replayed from memory; the display list and the
// messages are exactly those of reading the file at every insert.
class BlockFileMemoryTest : public CadTest {
 protected:
  struct Result {
    std::vector<DisplayRecord> records;
    std::vector<std::string> errors, messages;
    long reads = 0;
    bool aborted = false;
  };
  Result Draw(bool memory, const std::function<void()>& body) {
    SetBlockFileMemoryUse(memory);
    ResetErrors();
    dialogs_->Clear();
    DisplayList.clear();
    const long before = BlockFileReads();
    Output(CadDeviceScreen, body);
    SetBlockFileMemoryUse(true);
    Result r;
    r.records = DisplayList;
    r.errors.assign(Errors.ErrorList.begin(), Errors.ErrorList.begin() + Errors.ErrorCount);
    r.messages = dialogs_->Messages();
    r.reads = BlockFileReads() - before;
    r.aborted = Flags.AbortFlag;
    return r;
  }
  static void ExpectSame(const Result& a, const Result& b) {
    ASSERT_EQ(a.records.size(), b.records.size());
    for (size_t i = 0; i < a.records.size(); ++i) {
      EXPECT_EQ(a.records[i].Code, b.records[i].Code) << i;
      EXPECT_EQ(a.records[i].Args, b.records[i].Args) << i;
      EXPECT_EQ(a.records[i].Text, b.records[i].Text) << i;
    }
    EXPECT_EQ(a.errors, b.errors);
    EXPECT_EQ(a.messages, b.messages);
    EXPECT_EQ(a.aborted, b.aborted);
  }
};

TEST_F(BlockFileMemoryTest, EachFileReadOncePerOutputWithTheSameDrawingAndMessages) {
  // A user block with an entity the replay does not know, inserted in every tooth.
  WriteFileLines(tmp_.File("$odd.dx$"), {"  0", "LINE", "  8", "MITTE", " 10", "0", " 20", "0",
                                         " 11", "1", " 21", "1", "  0", "HATCH", "  0", "EOF"});
  constexpr int kTeeth = 40;
  auto gear = [] {
    CadBeginDrawing(-60, -60, 60, 60);
    CadBeginBlocks();
    CadBeginBlock("zahn");
    CadSetPen(5);
    CadPolylineBegin(1);
    CadVertex(-1.2L, 50, -0.05L);
    CadVertex(-1.0L, 45, 0.9L);
    CadVertex(1.0L, 45, 0);
    CadPolylineEnd();
    CadSetTextStyle(2, 10, 2, 1.5L);
    CadText("z", 0, 52);
    CadInsertBlock("odd", 0, 40, 0, 1, 1);
    CadEndBlock();
    CadBeginBlock("rad");
    for (int i = 0; i < kTeeth; ++i) CadInsertBlock("zahn", 0, 0, 360.0L * i / kTeeth, 1, 1);
    CadInsertBlock("nirgends", 0, 0, 0, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("RAD", 0, 0, 0, 1, 1);
    CadInsertBlock("rad", 1, 2, 1.8L, 1.05L, 0.95L);
    CadInsertBlock("odd", 5, 5, 30, 2, 2);
    CadEndSection();
  };
  const Result each = Draw(false, gear), once = Draw(true, gear);
  ExpectSame(once, each);
  EXPECT_GT(once.records.size(), 4u * kTeeth);
  EXPECT_EQ(each.reads, 2 * kTeeth + 1) << "odd in every tooth: the screen's blocks are no files";
  EXPECT_EQ(once.reads, 1);
  EXPECT_FALSE(once.errors.empty());

  // A block defined anew within the output: its inserts replay the new definition, those within
  // another block too.
  auto twice = [] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("w");
    CadLine(0, 0, 1, 0);
    CadEndBlock();
    CadBeginBlock("v");
    CadInsertBlock("w", 0, 0, 0, 1, 1);
    CadInsertBlock("w", 0, 5, 90, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("w", 0, 0, 0, 1, 1);
    CadInsertBlock("v", 20, 20, 0, 1, 1);
    CadEndSection();
    CadBeginBlocks();
    CadBeginBlock("w");
    CadCircle(0, 0, 3);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("w", 10, 0, 0, 1, 1);
    CadInsertBlock("v", 40, 40, 0, 1, 1);
    CadEndSection();
  };
  // Texts beyond ASCII come back from the written text as from the file.
  auto texts = [] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("t");
    CadSetTextStyle(2, 0, 2, 0);
    CadText("Zähne \xB0 \xEF\xBB\xBFø", 1, 1);
    CadText("\xEF\xBB\xBFmit Marke", 1, 5);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("t", 5, 5, 0, 1, 1);
    CadEndSection();
  };
  const Result text = Draw(true, texts);
  ExpectSame(text, Draw(false, texts));
  EXPECT_EQ(text.reads, 0);
  const Result redefined = Draw(true, twice);
  ExpectSame(redefined, Draw(false, twice));
  EXPECT_EQ(redefined.reads, 0);
  const auto circles = std::count_if(redefined.records.begin(), redefined.records.end(),
                                     [](const DisplayRecord& r) { return r.Code == RecCircle; });
  EXPECT_EQ(circles, 3) << "the second v draws the new w twice";
}

}  // namespace
}  // namespace qern::test
