// IGES and CAD-text writers: the worked files, record and string layout, subfigures, instances and
// the guards against long names, non-ASCII texts, unknown blocks and colours outside the table.
#include <regex>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <sstream>

#include "cadtest.h"
#include "support/readers.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/cadtxt.h"
#include "drawing/iges.h"
#include "framework/utilstr.h"

namespace qern::test {
namespace {

class IgesTest : public CadTest {
 protected:
  // A whole IGES file written by body, its lines.
  std::vector<std::string> Igs(const std::function<void()>& body) {
    Output(CadDeviceIges, [&] {
      CadSetPen(0);
      body();
    });
    return ReadFileLines(tmp_.File("out.igs"));
  }
  std::vector<std::string> Txt(const std::function<void()>& body) {
    Output(CadDeviceText, body);
    return ReadFileLines(tmp_.File("out.txt"));
  }
  // The shipped designs: "" the default design, then the examples.
  static std::vector<std::string> ShippedDesigns() {
    std::vector<std::string> designs = {""};
    for (const auto& f : std::filesystem::directory_iterator(QERN_SOURCE_DATA "/examples"))
      designs.push_back(f.path().string());
    return designs;
  }
  // The default design with z teeth, calculated.
  static void UseTeeth(int z) {
    UseDesign("");
    Design.ToothCount[1] = z;
    Design.ToothCount[2] = -z;
    CalculateSerration();
  }
  // Drawing kind written by each device as base + its extension; false when one was refused.
  static bool DrawKind(const std::string& base, int kind, std::initializer_list<int> devices) {
    for (int device : devices) {
      Session.CurrentFileName = base;
      Flags.AbortFlag = false;
      Flags.BatchCadOutput = true;
      DrawMenu(device, kind);
      Flags.BatchCadOutput = false;
      if (Flags.AbortFlag) return false;
    }
    return true;
  }
  // Reads one of them (quietly) and calculates it.
  static void UseDesign(const std::string& design) {
    SetDefaultDesign();
    if (!design.empty()) {
      Flags.ErrorBoxesEnabled = false;
      ReadDataFile(design);
      Flags.ErrorBoxesEnabled = true;
    }
    CalculateSerration();
  }
};

// The records of one section.
std::vector<std::string> Section(const std::vector<std::string>& lines, char letter) {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (l.size() == 80 && l[72] == letter) out.push_back(l);
  return out;
}

// n in seven digits with leading zeros.
std::string SevenDigits(int n) {
  char s[16];
  std::snprintf(s, sizeof s, "%07d", n);
  return s;
}

// The P section's data columns of one entity joined, each record without its padding.
std::string ParameterText(const std::vector<std::string>& lines, int entity) {
  std::string text;
  for (const std::string& l : Section(lines, 'P')) {
    if (std::stoi(l.substr(64, 8)) != entity) continue;
    std::string data = l.substr(0, 64);
    data.erase(data.find_last_not_of(' ') + 1);
    text += data;
  }
  return text;
}

// The worked one-line file, record by record (the generation date is the run's own).
TEST_F(IgesTest, OneLineFileRecordByRecord) {
  Ident.ProductName = "QERN";
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 10, 5);
    CadBeginEntities();
    CadLine(1, 2, 10, 5);
    CadEndSection();
  });
  ASSERT_EQ(lines.size(), 2u + 5u + 2u + 1u + 1u);
  for (const std::string& l : lines) EXPECT_EQ(l.size(), 80u) << l;
  EXPECT_EQ(lines[0], AlignLeft("IGES-Datei generiert von QERN", 72) + "S0000001");
  EXPECT_EQ(lines[1],
            AlignLeft("Uebersetzer von ZORQUAN GMBH, Uebersetzerversion 3.1", 72) + "S0000002");
  EXPECT_EQ(lines[2].substr(0, 17), ",,4HFILE,3Hout,9H");
  EXPECT_EQ(lines[3], AlignLeft("16,38,6,99,15,", 72) + "G0000002");
  EXPECT_EQ(lines[4], AlignLeft("3Hout,1.0,2,2HMM,32767,3.2767D1,", 72) + "G0000003");
  EXPECT_TRUE(std::regex_match(lines[5].substr(0, 72),
                               std::regex(R"(15H\d{8}\.\d{6},1\.0D-8,10\.000, *)")))
      << lines[5];
  EXPECT_EQ(lines[6].substr(72), "G0000005");
  EXPECT_EQ(lines[7], "     110       1       1       1       0                        00000000D0000001");
  EXPECT_EQ(lines[8], "     110               0       1                                        D0000002");
  EXPECT_EQ(lines[9], AlignLeft("110,1.000,2.000,0.0,10.000,5.000,0.0;", 64) + "       1P0000001");
  EXPECT_EQ(lines[10], AlignLeft("S0000002G0000005D0000002P0000001", 72) + "T0000001");
}

// A line whose ends the file's three decimals write the same is left out, directly and inside a
// block drawn at a small scale; one that keeps a length in the file stays.
TEST_F(IgesTest, LineWithoutLengthInTheFileIsLeftOut) {
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 10, 5);
    CadBeginBlocks();
    CadBeginBlock("teil");
    CadLine(0, 0, 100, 0);   // 0.001 long at the scale below: kept
    CadLine(0, 0, 40, 30);   // 0.0005 long: its ends are written the same
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadLine(1, 2, 1.0004L, 2.0004L);
    CadLine(1, 2, 1.002L, 2);
    CadInsertBlock("teil", 5, 5, 0, 1e-5L, 1e-5L);
    CadEndSection();
  });
  std::vector<std::string> params;
  for (const std::string& l : lines)
    if (l.size() == 80 && l[72] == 'P' && l.rfind("110,", 0) == 0)
      params.push_back(l.substr(0, l.find(';') + 1));
  // The line of the entities that keeps its length, and the block's scaled definition (the
  // insert places it) with its one line that has a length; the block is never used at scale 1.
  EXPECT_EQ(params, (std::vector<std::string>{"110,1.000,2.000,0.0,1.002,2.000,0.0;",
                                              "110,0.000,0.000,0.0,0.001,0.000,0.0;"}));
}

TEST_F(IgesTest, SubfigureInstancesTextAndSolid) {
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("Zahn");
    for (int i = 0; i < 13; ++i) CadLine(i, 0, i, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("ZAHN", 3, 4, 90, 1, 1);
    CadInsertBlock("zahn", 5, 6, 0, 0.5L, 0.5L);
    CadSetTextStyle(2, 0, 5, 3.5L);
    CadText("AB", 7, 8);
    CadSolid(0, 0, 10, 0, 0, 5, 10, 5);
    CadEndSection();
  });
  // 13 members (entities 1..25), the subfigure 27 with its members in groups of 12 and 1.
  const auto d = Section(lines, 'D');
  EXPECT_EQ(d[0].substr(64, 8), "00010000");
  EXPECT_EQ(d[27 - 1].substr(0, 8), "     308");
  EXPECT_EQ(d[27].substr(56, 8), "    Zahn");
  EXPECT_EQ(ParameterText(lines, 27),
            "308,0,4HZahn,13,1,3,5,7,9,11,13,15,17,19,21,23,25;");
  int groups = 0;
  for (const std::string& l : Section(lines, 'P')) groups += std::stoi(l.substr(64, 8)) == 27;
  EXPECT_EQ(groups, 2);

  // Rotated by 90 degrees: a matrix 124 (in one record, its entries short), then the instance
  // pointing at it.
  EXPECT_EQ(ParameterText(lines, 29), "124,0.,-1.,0.,3.000,1.,0.,0.,4.000,0.,0.,1.,0.;");
  EXPECT_EQ(d[28].substr(64, 8), "00010000");
  EXPECT_EQ(ParameterText(lines, 31), "408,27,0.0,0.0,0.0,1.000000;");
  EXPECT_EQ(d[30].substr(48, 8), "      29");
  // Scaled: the block's 13 lines at half size as the members (33..57) of a subfigure of its own
  // (59), and an instance of that at scale 1.
  EXPECT_EQ(ParameterText(lines, 33), "110,0.000,0.000,0.0,0.000,0.500,0.0;");
  EXPECT_EQ(ParameterText(lines, 57), "110,6.000,0.000,0.0,6.000,0.500,0.0;");
  EXPECT_EQ(d[32].substr(64, 8), "00010000");
  EXPECT_EQ(ParameterText(lines, 59), "308,0,6HZahn_1,13,33,35,37,39,41,43,45,47,49,51,53,55,57;");
  EXPECT_EQ(d[58].substr(64, 8), "00000000");
  EXPECT_EQ(ParameterText(lines, 61), "408,59,5.000,6.000,0.0,1.000000;");
  // Text "AB" of height 5 and width factor 0.7: box 7.000 by 5.000.
  EXPECT_EQ(ParameterText(lines, 63), "212,1,2,7.000,5.000,1,,0.000000,0,0,7.000,8.000,0.0,2HAB;");
  // The solid's outline runs round the quadrilateral: corners 1, 2, 4, 3, 1 of the DXF order.
  EXPECT_EQ(ParameterText(lines, 65),
            "106,1,5,0.0,0.000,0.000,10.000,0.000,10.000,5.000,0.000,5.000,0.000,0.000;");
  EXPECT_EQ(d[65].substr(32, 8), "      11");
}

// A text of some megabytes (a hostile part name) is cut into full records in one pass, and a reader
// joining the data columns gets it back whole.
TEST_F(IgesTest, MegabyteTextInFullRecords) {
  const std::string text(4 << 20, 'x');
  const auto lines = Igs([&] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginEntities();
    CadText(text, 1, 2);
    CadEndSection();
  });
  const std::string joined = ParameterText(lines, 1);
  const std::string head = "212,1,4194304,";
  EXPECT_EQ(joined.substr(0, head.size()), head);
  EXPECT_TRUE(joined.ends_with("4194304H" + text + ";"));
  // The string's group fills 64 columns a record: "4194304H", the text and ";".
  size_t stringRecords = 0;
  for (const std::string& l : Section(lines, 'P')) stringRecords += l.find('x') != std::string::npos;
  EXPECT_EQ(stringRecords, (text.size() + 9 + 63) / 64);
}

// A scaled insert is an instance at scale 1 of the block scaled once: its subfigure holds the
// geometry the DXF insert gives (equal scales keep circles and arcs, a mirroring map runs them the
// other way, unequal ones scale texts by their axes and make circles ellipses); the layer after the
// insert is the one before it.
TEST_F(IgesTest, ScaledInsertsAreInstancesOfScaledSubfigures) {
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("TAB");
    CadSetPen(4);
    CadLine(0, 0, 10, 0);
    CadArc(0, 0, 0, 90, 2);
    CadSetTextStyle(2, 0, 5, 3.5L);
    CadText("AB", 1, 2);
    CadEndBlock();
    CadBeginBlock("OUTER");
    CadInsertBlock("TAB", 10, 0, 0, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadSetPen(0);
    CadInsertBlock("tab", 2, 3, 90, 2, 2);
    CadInsertBlock("tab", 2, 3, 0, 0.6L, 0.75L);
    CadInsertBlock("outer", 0, 0, 0, -1, 1);
    CadLine(0, 0, 1, 1);
    CadEndSection();
  });
  // The drawing begins with a scaled insert: TAB and OUTER are never inserted at scale 1 and are
  // left out. Twice the size: TAB_1 (members 1..5), turned by 90 degrees about (2, 3) by its
  // instance.
  const auto d = Section(lines, 'D');
  EXPECT_EQ(ParameterText(lines, 1), "110,0.000,0.000,0.0,20.000,0.000,0.0;");
  EXPECT_EQ(d[0].substr(64, 8), "00010000");
  EXPECT_EQ(ParameterText(lines, 3), "100,0.0,0.000,0.000,4.000,0.000,0.000,4.000;");
  EXPECT_EQ(ParameterText(lines, 5),
            "212,1,2,14.000,10.000,1,,0.000000,0,0,2.000,4.000,0.0,2HAB;");
  EXPECT_EQ(ParameterText(lines, 7), "308,0,5HTAB_1,3,1,3,5;");
  EXPECT_EQ(d[6].substr(64, 8), "00000000");
  EXPECT_EQ(ParameterText(lines, 9), "124,0.,-1.,0.,2.000,1.,0.,0.,3.000,0.,0.,1.,0.;");
  EXPECT_EQ(ParameterText(lines, 11), "408,7,0.0,0.0,0.0,1.000000;");
  // 0.6 wide and 0.75 high (TAB_2, 13..19): the text 0.75 high with its width at 0.6, the arc an
  // elliptic path.
  EXPECT_EQ(ParameterText(lines, 13), "110,0.000,0.000,0.0,6.000,0.000,0.0;");
  const std::string path = ParameterText(lines, 15);
  EXPECT_EQ(path.substr(0, 40), "106,1,19,0.0,1.200,0.000,1.195,0.131,1.1");
  EXPECT_TRUE(path.ends_with(",0.000,1.500;")) << path;
  EXPECT_EQ(ParameterText(lines, 17), "212,1,2,4.200,3.750,1,,0.000000,0,0,0.600,1.500,0.0,2HAB;");
  EXPECT_EQ(ParameterText(lines, 19), "308,0,5HTAB_2,3,13,15,17;");
  EXPECT_EQ(ParameterText(lines, 21), "408,19,2.000,3.000,0.0,1.000000;");
  // Mirrored OUTER (OUTER_4): its inner TAB mirrored (TAB_3), the arc from (0, 2) to (-2, 0), and
  // placed at x = -10 by an instance inside OUTER_4.
  EXPECT_EQ(ParameterText(lines, 23), "110,0.000,0.000,0.0,-10.000,0.000,0.0;");
  EXPECT_EQ(ParameterText(lines, 25), "100,0.0,0.000,0.000,0.000,2.000,-2.000,0.000;");
  EXPECT_EQ(ParameterText(lines, 29), "308,0,5HTAB_3,3,23,25,27;");
  EXPECT_EQ(ParameterText(lines, 31), "408,29,-10.000,0.000,0.0,1.000000;");
  EXPECT_EQ(d[30].substr(64, 8), "00010000");
  EXPECT_EQ(ParameterText(lines, 33), "308,0,7HOUTER_4,1,31;");
  EXPECT_EQ(ParameterText(lines, 35), "408,33,0.000,0.000,0.0,1.000000;");
  // The pen of the line after the inserts is pen 0's again (colour 7 is IGES 0, line font 1).
  EXPECT_EQ(d[36].substr(24, 16), "       1       0");  // line 37: font 1, colour 0
  EXPECT_EQ(ParameterText(lines, 37), "110,0.000,0.000,0.0,1.000,1.000,0.0;");
  EXPECT_EQ(ParameterText(lines, 39), "");
}

// A block of many calls of different sizes (lines, circles, pens) inserted scaled: each entity
// of the scaled subfigure takes its own call's numbers, in order.
TEST_F(IgesTest, ManyRecordedCallsKeepTheirNumbers) {
  constexpr int Count = 700;
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("MIX");
    for (int i = 0; i < Count; ++i) {
      if (i % 7 == 0) CadSetPen(i % 3);
      CadLine(i, 0, i, 1);
      CadCircle(i, 5, 1);
    }
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("mix", 0, 0, 0, 2, 2);
    CadEndSection();
  });
  // (Each entity's text gathered in one pass.)
  std::map<int, std::string> text;
  for (const std::string& l : Section(lines, 'P')) {
    std::string data = l.substr(0, 64);
    data.erase(data.find_last_not_of(' ') + 1);
    text[std::stoi(l.substr(64, 8))] += data;
  }
  for (int i = 0; i < Count; ++i) {
    const std::string x = std::to_string(2 * i) + ".000";
    ASSERT_EQ(text[4 * i + 1], "110," + x + ",0.000,0.0," + x + ",2.000,0.0;") << "line " << i;
    ASSERT_TRUE(text[4 * i + 3].starts_with("100,0.0," + x + ",10.000,"))
        << "circle " << i << ": " << text[4 * i + 3];
  }
}

// A wheel: a tooth block inserted turned at scale 1 by a wheel block, the wheel inserted scaled.
// The file holds one scaled tooth and one scaled wheel of instances of it, however often the wheel
// is inserted at that scale; another scale makes another pair. The drawing begins with a scaled
// insert, so the blocks at scale 1 are written only when they are first inserted so.
TEST_F(IgesTest, ScaledWheelHoldsOneScaledTooth) {
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("zahn");
    CadLine(0, 10, 0, 12);
    CadEndBlock();
    CadBeginBlock("rad");
    for (int i = 1; i <= 4; ++i) CadInsertBlock("zahn", 0, 0, 90.0L * i, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("RAD", 50, 50, 0, 2, 2);
    CadInsertBlock("RAD", 20, 20, 45, 2, 2);
    CadInsertBlock("RAD", 50, 50, 0, 0.5L, 0.5L);
    CadInsertBlock("RAD", 1, 2, 0, 1, 1);
    CadEndSection();
  });
  std::vector<std::string> subfigures, instances;
  for (int e = 1; !ParameterText(lines, e).empty(); e += 2) {
    const std::string t = ParameterText(lines, e);
    if (t.starts_with("308,")) subfigures.push_back(t);
    if (t.starts_with("408,")) instances.push_back(t);
    EXPECT_FALSE(t.starts_with("110,") && t != "110,0.000,10.000,0.0,0.000,12.000,0.0;" &&
                 t != "110,0.000,20.000,0.0,0.000,24.000,0.0;" &&
                 t != "110,0.000,5.000,0.0,0.000,6.000,0.0;")
        << e << " " << t;
  }
  // zahn_1 3 (line 1), rad_2 21 (4 instances), its instances 23 and 27; zahn_3 31 (line 29),
  // rad_4 41 (4 instances sharing the matrices of rad_2's) and its instance 43; then rad, with
  // zahn written first inside it (line 45, subfigure 47), its teeth (49..55) sharing the same
  // matrices, rad 57 and its instance 59.
  ASSERT_EQ(subfigures.size(), 6u);
  EXPECT_EQ(subfigures[0], "308,0,6Hzahn_1,1,1;");
  EXPECT_EQ(subfigures[1], "308,0,5Hrad_2,4,7,11,15,19;");
  EXPECT_EQ(ParameterText(lines, 1), "110,0.000,20.000,0.0,0.000,24.000,0.0;");
  EXPECT_EQ(ParameterText(lines, 7), "408,3,0.0,0.0,0.0,1.000000;");
  EXPECT_EQ(subfigures[3], "308,0,5Hrad_4,4,33,35,37,39;");
  EXPECT_EQ(subfigures[4], "308,0,4Hzahn,1,45;");
  EXPECT_EQ(subfigures[5], "308,0,3Hrad,4,49,51,53,55;");
  // 4 + 4 + 4 teeth, 4 wheels; every instance at scale 1.
  ASSERT_EQ(instances.size(), 16u);
  for (const std::string& i : instances) EXPECT_TRUE(i.ends_with(",1.000000;")) << i;
  EXPECT_EQ(ParameterText(lines, 23), "408,21,50.000,50.000,0.0,1.000000;");
  EXPECT_EQ(ParameterText(lines, 27), "408,21,0.0,0.0,0.0,1.000000;");
  EXPECT_EQ(ParameterText(lines, 59), "408,57,1.000,2.000,0.0,1.000000;");
  // A shared rotation in one record; rad_4's instances point at rad_2's matrices.
  const auto d = Section(lines, 'D');
  EXPECT_EQ(ParameterText(lines, 5), "124,0.,-1.,0.,0.,1.,0.,0.,0.,0.,0.,1.,0.;");
  EXPECT_EQ(d[5].substr(24, 8), "       1");  // one parameter record
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(d[32 + 2 * i].substr(48, 8), d[6 + 4 * i].substr(48, 8));
    EXPECT_EQ(d[48 + 2 * i].substr(48, 8), d[6 + 4 * i].substr(48, 8));
  }
  EXPECT_EQ(d[32].substr(48, 8), "       5");
}

// Arcs of more angles than the writer keeps the cos and sin of, drawn twice: the second pass
// writes the same records as the first, and the known angles their exact points.
TEST_F(IgesTest, ArcsOfManyAnglesAgain) {
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginEntities();
    for (int pass = 0; pass < 2; ++pass)
      for (int k = 0; k < 400; ++k) CadArc(0, 0, k * 0.9L, k * 0.9L + 45, 10);
    CadEndSection();
  });
  for (int k = 0; k < 400; ++k)
    ASSERT_EQ(ParameterText(lines, 1 + 2 * k), ParameterText(lines, 801 + 2 * k)) << k;
  EXPECT_EQ(ParameterText(lines, 201), "100,0.0,0.000,0.000,0.000,10.000,-7.071,7.071;");
  EXPECT_EQ(ParameterText(lines, 1001), "100,0.0,0.000,0.000,0.000,10.000,-7.071,7.071;");
}

// The parameter section is written after the rest as the file's tail: a failed write leaves the
// old file, and the next file starts without the last one's tail.
TEST_F(IgesTest, FailedWriteKeepsTheOldFileAndTheNextStartsClean) {
  const std::string target = tmp_.File("out.igs");
  WriteWholeFile(target, "old");
  CadOutputFile::FailNextCommit(true);
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceIges);
  CadBeginDrawing(0, 0, 10, 10);
  CadBeginEntities();
  CadLine(0, 0, 1, 1);
  CadEndOutput();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(target), "old");
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 10, 5);
    CadBeginEntities();
    CadLine(1, 2, 10, 5);
    CadEndSection();
  });
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[9], AlignLeft("110,1.000,2.000,0.0,10.000,5.000,0.0;", 64) + "       1P0000001");
  EXPECT_EQ(lines[10], AlignLeft("S0000002G0000005D0000002P0000001", 72) + "T0000001");
}

// A file of megabytes goes to its working file as it grows: the records come out whole and in
// order, every directory entry points at its own parameter records, and a failed write of such a
// file leaves the old one and no working file.
TEST_F(IgesTest, LargeFileWrittenAsItGrows) {
  constexpr int count = 30000;  // some megabytes of directory and parameter records
  auto draw = [] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginEntities();
    for (int i = 0; i < count; ++i) CadLine(i, 0, i, 1);
    CadEndSection();
  };
  // Before the output ends, most of it is in the working file beside the target already.
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceIges);
  CadSetPen(0);
  draw();
  std::uintmax_t working = 0;
  for (const auto& f : std::filesystem::directory_iterator(tmp_.Path()))
    if (f.path().filename().string().starts_with(".out.igs.")) working += f.file_size();
  EXPECT_GT(working, 4000000u);
  CadEndOutput();
  const auto lines = ReadFileLines(tmp_.File("out.igs"));
  ASSERT_EQ(lines.size(), 2u + 5u + 3u * count + 1u);
  const auto d = Section(lines, 'D'), p = Section(lines, 'P');
  ASSERT_EQ(d.size(), 2u * count);
  ASSERT_EQ(p.size(), 1u * count);
  // A number right-aligned in 8 columns.
  auto field = [](int n) {
    const std::string t = std::to_string(n);
    return std::string(8 - t.size(), ' ') + t;
  };
  for (int i = 0; i < count; ++i) {
    ASSERT_EQ(d[2 * i].substr(8, 8), field(i + 1)) << i;
    ASSERT_EQ(d[2 * i + 1].substr(73), SevenDigits(2 * i + 2)) << i;
    const std::string x = std::to_string(i) + ".000";
    ASSERT_EQ(p[i], AlignLeft("110," + x + ",0.000,0.0," + x + ",1.000,0.0;", 64) +
                        field(2 * i + 1) + "P" + SevenDigits(i + 1))
        << i;
  }
  EXPECT_EQ(lines.back().substr(0, 32), "S0000002G0000005D0060000P0030000");

  const std::string target = tmp_.File("out.igs");
  WriteWholeFile(target, "old");
  CadOutputFile::FailNextCommit(true);
  Output(CadDeviceIges, draw);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(target), "old");
  int files = 0;
  for (const auto& f : std::filesystem::directory_iterator(tmp_.Path()))
    files += f.is_regular_file();
  EXPECT_EQ(files, 1);
}

// A long file name and non-ASCII texts: every record keeps 80 columns, strings keep their byte count
// and a reader joining the data columns gets them back whole.
TEST_F(IgesTest, LongNamesAndNonAsciiTextsKeepTheirCounts) {
  const std::string longName = tmp_.File(std::string(90, 'w') + "_Prüfmaß");
  Session.CurrentFileName = longName;
  Output(CadDeviceIges, [] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginEntities();
    CadSetTextStyle(2, 0, 5, 3.5L);
    CadText("Maß ± 0,05 " + std::string(70, 'x'), 1, 1);
    CadEndSection();
  });
  const auto lines = ReadFileLines(longName + ".igs");
  for (const std::string& l : lines) ASSERT_EQ(l.size(), 80u) << l;
  std::string global;
  for (const std::string& l : Section(lines, 'G')) global += l.substr(0, 72);
  const std::string name = std::string(90, 'w') + "_Pr\xFC" "fma\xDF";
  EXPECT_NE(global.find(",," + IgesHollerith("FILE") + "," + IgesHollerith(name) + ","),
            std::string::npos);
  EXPECT_NE(global.find("2HMM,32767"), std::string::npos);
  const std::string text = "Ma\xDF \xB1 0,05 " + std::string(70, 'x');
  EXPECT_EQ(ParameterText(lines, 1).substr(ParameterText(lines, 1).find(",0.0,") + 5),
            IgesHollerith(text) + ";");
}

TEST_F(IgesTest, SplitterBreaksOnlyOutsideStrings) {
  const auto parts = IgesSplitParameters("1,22,5Ha,b;c,333;", 8);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], "1,22,");
  EXPECT_EQ(parts[1], "5Ha,b;c,");
  EXPECT_EQ(parts[2], "333;");
  const auto longString = IgesSplitParameters("1,12Habcdefghijkl;", 8);
  ASSERT_EQ(longString.size(), 3u);
  EXPECT_EQ(longString[0], "1,12Habc");
  EXPECT_EQ(longString[1], "defghijk");
  EXPECT_EQ(longString[2], "l;");
}

// The block table starts empty in every file; an unknown block is listed and skipped; colours
// outside the table count as 0.
TEST_F(IgesTest, BlockTableAndColoursPerFile) {
  Igs([] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginBlocks();
    CadBeginBlock("A");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
    CadEndSection();
  });
  EXPECT_EQ(Iges.Blocks.size(), 1u);
  ClearErrorList();
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginEntities();
    IgesInsert("A", 0, 0, 0, 1);
    IgesSetColor(16);
    CadLine(0, 0, 1, 1);
    IgesSetColor(-1);
    CadEndSection();
  });
  EXPECT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Blockname A not found !");
  EXPECT_EQ(Section(lines, 'D').size(), 2u);
  EXPECT_EQ(Section(lines, 'D')[0].substr(32, 8), "       0");
  for (int pen : {0, 1, 2, 19, 40}) {
    IgesSetLayer(pen);
    EXPECT_GE(Iges.IgesColor, 0);
  }
  IgesSetLayer(1);
  EXPECT_EQ(Iges.IgesLineFont, 4);
  EXPECT_EQ(Iges.IgesColor, 5);  // layer colour 2 (green in the program) is IGES 5
}

// Sequence numbers in seven digits with leading zeros; larger ones keep their last seven digits.
TEST_F(IgesTest, RecordSequenceNumbers) {
  EXPECT_EQ(IgesRecord("A", "", 'S', 7), AlignLeft("A", 72) + "S0000007");
  EXPECT_EQ(IgesRecord("A", "12", 'P', 9999999), AlignLeft("A", 70) + "12P9999999");
  EXPECT_EQ(IgesRecord("A", "", 'D', 12345678), AlignLeft("A", 72) + "D2345678");
  EXPECT_EQ(IgesRecord("A", "", 'G', -5), AlignLeft("A", 72) + "G0000005");
}

// P records of one entity after another carry each its own number, also after an entity whose
// number is wider than its eight columns (its data then gives way to the number).
TEST_F(IgesTest, ParameterRecordsOfEntityAfterEntity) {
  IgesResetCounters();
  std::string file;
  IgesWriteParameters(file, "110,1.0;", 7);
  IgesWriteParameters(file, "110,2.0,", 9);
  IgesWriteParameters(file, "3.0;", 9);
  IgesWriteParameters(file, std::string(64, 'x'), 1234567890);
  IgesWriteParameters(file, "110,4.0;", 7);
  IgesWriteParameters(file, "5;", -5);
  IgesWriteParameters(file, "6;", 98765432);
  EXPECT_EQ(file, AlignLeft("110,1.0;", 64) + "       7P0000001\r\n" +
                      AlignLeft("110,2.0,", 64) + "       9P0000002\r\n" +
                      AlignLeft("3.0;", 64) + "       9P0000003\r\n" + std::string(62, 'x') +
                      "1234567890P0000004\r\n" + AlignLeft("110,4.0;", 64) +
                      "       7P0000005\r\n" + AlignLeft("5;", 64) + "      -5P0000006\r\n" +
                      AlignLeft("6;", 64) + "98765432P0000007\r\n");
  EXPECT_EQ(Iges.P, 7);
  EXPECT_EQ(Iges.IgesParameterLines, 7);
  IgesResetCounters();
}

// Blocks inserted in turn by names of either case each find their own subfigure, scaled or not,
// written at its first insert at scale 1; a name no block has is reported; an empty block is a
// subfigure without members; a block never inserted is left out.
TEST_F(IgesTest, BlocksInsertedInTurn) {
  ClearErrorList();
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("A");
    CadLine(0, 0, 1, 0);
    CadEndBlock();
    CadBeginBlock("B");
    CadLine(0, 0, 0, 1);
    CadEndBlock();
    CadBeginBlock("E");
    CadEndBlock();
    CadBeginBlock("Unused");
    CadLine(0, 0, 5, 5);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("A", 1, 1, 0, 1, 1);
    CadInsertBlock("b", 2, 2, 0, 1, 1);
    CadInsertBlock("e", 0, 0, 0, 1, 1);
    CadInsertBlock("C", 0, 0, 0, 1, 1);
    CadInsertBlock("a", 0, 0, 0, 2, 2);
    CadInsertBlock("B", 0, 0, 0, 3, 3);
    CadInsertBlock("C", 0, 0, 0, 2, 2);
    CadEndSection();
  });
  // A: line 1, subfigure 3, instance 5; B: line 7, subfigure 9, instance 11; E: subfigure 13,
  // instance 15.
  EXPECT_EQ(ParameterText(lines, 3), "308,0,1HA,1,1;");
  EXPECT_EQ(ParameterText(lines, 5), "408,3,1.000,1.000,0.0,1.000000;");
  EXPECT_EQ(ParameterText(lines, 9), "308,0,1HB,1,7;");
  EXPECT_EQ(ParameterText(lines, 11), "408,9,2.000,2.000,0.0,1.000000;");
  EXPECT_EQ(ParameterText(lines, 13), "308,0,1HE,0;");
  EXPECT_EQ(ParameterText(lines, 15), "408,13,0.000,0.000,0.0,1.000000;");
  // Scaled: A twice the size (line 17, subfigure 19, instance 21), B three times (23, 25, 27).
  EXPECT_EQ(ParameterText(lines, 17), "110,0.000,0.000,0.0,2.000,0.000,0.0;");
  EXPECT_EQ(ParameterText(lines, 19), "308,0,3HA_1,1,17;");
  EXPECT_EQ(ParameterText(lines, 21), "408,19,0.000,0.000,0.0,1.000000;");
  EXPECT_EQ(ParameterText(lines, 23), "110,0.000,0.000,0.0,0.000,3.000,0.0;");
  EXPECT_EQ(ParameterText(lines, 27), "408,25,0.000,0.000,0.0,1.000000;");
  EXPECT_EQ(ParameterText(lines, 29), "");
  ASSERT_EQ(Errors.ErrorCount, 1);  // (the list keeps a message once)
  EXPECT_EQ(Errors.ErrorList[0], "Blockname C not found !");
  ClearErrorList();
}

// The generation date with each part clamped to its columns and padded with zeros, as printf's
// "%04d%02d%02d.%02d%02d%02d" writes it; the terminate record's counts in seven digits, or all of
// their digits where a count has more.
TEST_F(IgesTest, DateAndTerminateRecord) {
  const int dates[][6] = {{2026, 12, 7, 9, 5, 3}, {5, 1, 2, 23, 59, 60}, {12345, 100, -1, 0, 0, 0},
                          {0, 0, 0, 0, 0, 0},      {9999, 99, 99, 99, 99, 99}};
  for (const auto& d : dates) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "%04d%02d%02d.%02d%02d%02d",
                  std::clamp(d[0], 0, 9999), std::clamp(d[1], 0, 99), std::clamp(d[2], 0, 99),
                  std::clamp(d[3], 0, 99), std::clamp(d[4], 0, 99), std::clamp(d[5], 0, 99));
    EXPECT_EQ(IgesDate(d[0], d[1], d[2], d[3], d[4], d[5]), expected) << d[0];
  }
  for (int s : {2, 12345678}) {
    std::string out;
    IgesOut = &out;
    IgesResetCounters();
    Iges.S = s, Iges.G = 5, Iges.D = 9999999, Iges.P = 0;
    IgesEndFile();
    IgesOut = nullptr;
    const std::string counts = s == 2 ? "S0000002G0000005D9999999P0000000"
                                      : "S12345678G0000005D9999999P0000000";
    EXPECT_EQ(out, AlignLeft(counts, 72) + "T0000001\r\n");
  }
  IgesResetCounters();
}

// Sequence numbers of records written one after another carry over into the next digits, and
// start again where a number does not follow the last one.
TEST_F(IgesTest, SequenceNumbersCarryOver) {
  IgesResetCounters();
  std::string file;
  auto last = [&file] { return file.substr(file.size() - 10, 8); };
  for (int start : {8, 98, 9999998, 41}) {
    Iges.P = start;
    IgesWriteParameters(file, "1;", 1);
    EXPECT_EQ(last(), IntStrZero((start + 1) % 10000000, 7).insert(0, "P")) << start;
    IgesWriteParameters(file, "1;", 1);
    EXPECT_EQ(last(), IntStrZero((start + 2) % 10000000, 7).insert(0, "P")) << start;
  }
  IgesResetCounters();
  Iges.D = 98;
  const auto lines = Igs([] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginEntities();
    Iges.D = 98;
    IgesLine(0, 0, 1, 1);
    IgesLine(0, 0, 1, 1);
    CadEndSection();
  });
  const auto d = Section(lines, 'D');
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].substr(72), "D0000099");
  EXPECT_EQ(d[1].substr(72), "D0000100");
  EXPECT_EQ(d[3].substr(72), "D0000102");
  IgesResetCounters();
}

// Infinite and undefined coordinates are written as zeros.
TEST_F(IgesTest, NonFiniteCoordinatesAreZeros) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const auto lines = Igs([&] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginEntities();
    IgesLine(std::numeric_limits<long double>::quiet_NaN(), -inf, inf, 1);
    CadEndSection();
  });
  EXPECT_EQ(ParameterText(lines, 1), "110,0.000,0.000,0.0,0.000,1.000,0.0;");
}

// Arcs of a block drawn under unequal scales (ellipse paths) whose angles are no number or lie many
// turns apart: the file is written, the paths short (a turn at the most).
TEST_F(IgesTest, EllipseArcsOfWildAnglesEnd) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const auto lines = Igs([&] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("ARCS");
    CadArc(0, 0, 0, inf, 1);
    CadArc(0, 0, -inf, 0, 1);
    CadArc(0, 0, 0, 1e30L, 1);
    CadArc(0, 0, 1e30L, 0, 1);
    CadArc(0, 0, 1e30L, 1e30L, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("arcs", 0, 0, 0, 2, 1);
    CadEndSection();
  });
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().substr(72, 1), "T");
  EXPECT_LT(lines.size(), 200u);
  IgesResetCounters();
}

// Number fields of the directory records: right-aligned; a negative number with its sign, one of
// more than eight digits cut to its first eight.
TEST_F(IgesTest, DirectoryNumberFields) {
  for (int font : {7, 123, -42, 12345678, 123456789}) {
    const auto lines = Igs([font] {
      CadBeginDrawing(0, 0, 10, 10);
      CadBeginEntities();
      IgesSetLineFont(font);
      IgesLine(0, 0, 1, 1);
      CadEndSection();
    });
    const std::string expected = font == 7     ? "       7"
                                 : font == 123 ? "     123"
                                 : font == -42 ? "     -42"
                                               : "12345678";
    ASSERT_EQ(Section(lines, 'D').size(), 2u);
    EXPECT_EQ(Section(lines, 'D')[0].substr(24, 8), expected) << font;
  }
}

TEST_F(IgesTest, CadTextLinesWithTheSeparatorAndTextModes) {
  Settings.CadDecimals = 2;
  Settings.DecimalSeparatorMode = 2;
  auto lines = Txt([] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginBlocks();
    CadBeginBlock("B");
    CadArc(1, 1, 0, 360, 2);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadLine(1, 2.5L, 3, 4);
    CadArc(1, 1, 10, 20, 2);
    CadInsertBlock("b", 1, 2, 0, 1, 1);
    CadText("grün", 1, 2);
    CadEndSection();
  });
  const std::vector<std::string> expected = {
      "MINMAX\t0,00\t0,00\t10,00\t10,00", "SECTION BLOCKS", "BLOCK\tB",
      "CIRCLE\t1,00\t1,00\t2,00", "END OF BLOCK", "SECTION ENTITIES",
      "LINE\t1,00\t2,50\t3,00\t4,00", "ARC\t1,00\t1,00\t2,00\t10,00\t20,00",
      "INSERT\tB\t1,00\t2,00\t0,00\t1,00\t1,00", "TEXT\t1,00\t2,00\tgr\xFCn", "EOF"};
  EXPECT_EQ(lines, expected);

  Settings.CadDecimals = 0;
  Settings.DecimalSeparatorMode = 1;
  Settings.CadTextMode = 3;
  lines = Txt([] {
    CadBeginDrawing(0, 0, 5, 5);
    CadText("grün", 5, -0.2L);
  });
  EXPECT_EQ(lines[0], "MINMAX\t  0\t  0\t  5\t  5");
  EXPECT_EQ(lines[1], "TEXT\t  5\t  0\tgruen");

  // Lines longer than the writer builds in one piece, and a value beyond the quick road.
  const std::string name(100, 'N'), text(300, 't');
  lines = Txt([&] {
    CadBeginDrawing(0, 0, 5, 5);
    CadBeginBlocks();
    CadBeginBlock(name);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock(name, 1, 2, 0, 1, 1);
    CadText(text, 1e14L, 2);
  });
  EXPECT_EQ(lines[5], "INSERT\t" + name + "\t  1\t  2\t  0\t  1\t  1");
  EXPECT_EQ(lines[6], "TEXT\t100000000000000\t  2\t" + text);

  // Printable ASCII goes in as it is; control characters and DEL become blanks.
  lines = Txt([] {
    CadBeginDrawing(0, 0, 5, 5);
    CadText(" a~Z{}|", 1, 2);
    CadText("a\tb\x7F" "c", 1, 2);
  });
  EXPECT_EQ(lines[1], "TEXT\t  1\t  2\t a~Z{}|");
  EXPECT_EQ(lines[2], "TEXT\t  1\t  2\ta b c");

  // Infinite and undefined values are written as zeros, in any place of a line.
  Settings.CadDecimals = 1;
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  lines = Txt([&] {
    CadBeginDrawing(0, 0, 5, 5);
    CadText("t", nan, 2);
    CadText("t", 1, -inf);
  });
  EXPECT_EQ(lines[1], "TEXT\t0.0\t2.0\tt");
  EXPECT_EQ(lines[2], "TEXT\t1.0\t0.0\tt");
}

// Lines in their order around a text longer than the writer's line block and after many lines; the
// lines of an output dropped before its end do not reach the next file.
TEST_F(IgesTest, CadTextLinesInOrderAndDroppedOutputs) {
  Settings.CadDecimals = 1;
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceText);
  CadBeginDrawing(0, 0, 5, 5);
  CadLine(9, 9, 9, 9);  // the output is left open: the next one drops it
  const std::string text(40000, 'x');
  const auto lines = Txt([&] {
    CadBeginDrawing(0, 0, 5, 5);
    for (int i = 0; i < 3000; ++i) CadLine(i, 0, 0, 1);
    CadText(text, 1, 2);
    CadLine(1, 2, 3, 4);
  });
  ASSERT_EQ(lines.size(), 1u + 3000u + 2u + 1u);
  EXPECT_EQ(lines[0], "MINMAX\t0.0\t0.0\t5.0\t5.0");
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(lines[1 + i], "LINE\t" + std::to_string(i) + ".0\t0.0\t0.0\t1.0") << i;
  EXPECT_EQ(lines[3001], "TEXT\t1.0\t2.0\t" + text);
  EXPECT_EQ(lines[3002], "LINE\t1.0\t2.0\t3.0\t4.0");
  EXPECT_EQ(lines[3003], "EOF");
}

#ifndef QERN_IGES_CHECK
#define QERN_IGES_CHECK ""
#endif

// Runs OpenCASCADE's reader on the files; its output and exit status.
int IgesCheck(const std::vector<std::string>& files, std::string& out) {
  std::vector<std::string> argv = {QERN_IGES_CHECK};
  argv.insert(argv.end(), files.begin(), files.end());
  if (argv[0].empty()) return kReaderMissing;
  return RunReaderOutput(argv, out);
}

// The entity count a reader must find: one per two directory records.
int WrittenEntities(const std::vector<std::string>& lines) {
  return static_cast<int>(Section(lines, 'D').size() / 2);
}

// Every primitive and structure call, blocks nested three deep, read by OpenCASCADE with no fail
// message and the entity count that was written.
TEST_F(IgesTest, OpenCascadeReadsEveryPrimitive) {
  Output(CadDeviceIges, EveryPrimitive);
  const auto lines = ReadFileLines(tmp_.File("out.igs"));
  std::string out;
  const int status = IgesCheck({tmp_.File("out.igs")}, out);
  if (ReaderAbsent(status, "OpenCASCADE's IGES reader")) GTEST_SKIP() << "OpenCASCADE missing";
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
  EXPECT_NE(out.find(" ENTITIES " + std::to_string(WrittenEntities(lines)) + "\n"),
            std::string::npos)
      << out;
}

// Every drawing kind of the default design and of each shipped example as IGES: OpenCASCADE reads
// each with no fail message and finds the entities written; the CAD text of each kind is complete.
TEST_F(IgesTest, EveryDrawingKindAsIgesAndCadText) {
  const std::vector<std::string> designs = ShippedDesigns();
  std::vector<std::pair<std::string, int>> files;  // IGES file and its entity count
  for (size_t d = 0; d < designs.size(); ++d) {
    UseDesign(designs[d]);
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      const std::string base = tmp_.File("d" + std::to_string(d) + "_" + std::to_string(kind));
      for (int device : {CadDeviceIges, CadDeviceText}) {
        Session.CurrentFileName = base;
        Flags.AbortFlag = false;
        DrawMenu(device, kind);
        ASSERT_FALSE(Flags.AbortFlag) << designs[d] << " kind " << kind;
      }
      const auto txt = ReadFileLines(base + ".txt");
      ASSERT_GT(txt.size(), 3u);
      EXPECT_EQ(txt.back(), "EOF");
      const auto igs = ReadFileLines(base + ".igs");
      for (const std::string& l : igs) ASSERT_EQ(l.size(), 80u) << base << ": " << l;
      files.emplace_back(base + ".igs", WrittenEntities(igs));
    }
  }
  SetDefaultDesign();
  std::vector<std::string> names;
  for (const auto& [file, count] : files) names.push_back(file);
  std::string out;
  const int status = IgesCheck(names, out);
  if (ReaderAbsent(status, "OpenCASCADE's IGES reader")) GTEST_SKIP() << "OpenCASCADE missing";
  // Kind 10 draws no entity at all; the reader's only word on such a file is that it has no data.
  // Every root the reader finds becomes a shape: nothing vanishes on import.
  int emptyFiles = 0;
  const std::regex roots(R"((\S+) ROOTS (\d+)\n(?:\S+ FAIL [^\n]*\n)*\S+ SHAPES (\d+)\n)");
  int rootFiles = 0;
  for (std::sregex_iterator m(out.begin(), out.end(), roots), end; m != end; ++m, ++rootFiles)
    EXPECT_EQ((*m)[2].str(), (*m)[3].str()) << (*m)[1].str() << " roots / shapes";
  EXPECT_EQ(rootFiles, static_cast<int>(files.size()));
  for (const auto& [file, count] : files) {
    EXPECT_NE(out.find(file + " ENTITIES " + std::to_string(count) + "\n"), std::string::npos)
        << file;
    if (count == 0) {
      ++emptyFiles;
      const std::string empty = file + " FAIL DATA NOT AVAILABLE FOR CHECK\n";
      for (size_t at; (at = out.find(empty)) != std::string::npos;) out.erase(at, empty.size());
    }
  }
  EXPECT_EQ(emptyFiles, static_cast<int>(designs.size()));
  EXPECT_EQ(out.find(" FAIL "), std::string::npos) << out.substr(0, 4000);
  EXPECT_EQ(status, emptyFiles > 0 ? 1 : 0) << out.substr(0, 4000);
}

// Lines without length in the three file formats: DXF LINE groups, IGES 110 parameters and CAD
// text LINE rows whose two ends are written the same.
int ZeroLengthLines(const std::string& file) {
  const auto lines = ReadFileLines(file);
  int count = 0;
  if (file.ends_with(".txt")) {
    for (const std::string& l : lines) {
      std::vector<std::string> f;
      std::stringstream row(l);
      for (std::string v; std::getline(row, v, '\t');) f.push_back(v);
      if (f.size() == 5 && f[0] == "LINE" && f[1] == f[3] && f[2] == f[4]) ++count;
    }
  } else if (file.ends_with(".dxf")) {
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
      if (lines[i] != "  0" || lines[i + 1] != "LINE") continue;
      std::map<std::string, std::string> g;
      for (size_t j = i + 2; j + 1 < lines.size() && lines[j] != "  0"; j += 2) g[lines[j]] = lines[j + 1];
      if (g[" 10"] == g[" 11"] && g[" 20"] == g[" 21"]) ++count;
    }
  } else {
    const auto d = Section(lines, 'D');
    for (size_t i = 0; i < d.size(); i += 2) {
      if (std::stoi(d[i].substr(0, 8)) != 110) continue;
      std::vector<std::string> f;
      std::stringstream text(ParameterText(lines, static_cast<int>(i) + 1));
      for (std::string v; std::getline(text, v, ',');) f.push_back(v);
      if (f.size() >= 7 && f[1] == f[4] && f[2] == f[5]) ++count;
    }
  }
  return count;
}

// Hatching through a corner of the outline (hub views, break symbols) draws no line without
// length in any format: CAD readers refuse them.
TEST_F(IgesTest, NoLineWithoutLengthInAnyFormat) {
  const std::vector<std::string> designs = ShippedDesigns();
  int files = 0;
  for (size_t d = 0; d < designs.size(); ++d) {
    UseDesign(designs[d]);
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      const std::string base = tmp_.File("z" + std::to_string(d) + "_" + std::to_string(kind));
      for (int device : {CadDeviceDxf, CadDeviceIges, CadDeviceText}) {
        Session.CurrentFileName = base;
        Flags.AbortFlag = false;
        DrawMenu(device, kind);
        ASSERT_FALSE(Flags.AbortFlag) << designs[d] << " kind " << kind;
      }
      for (const char* ext : {".dxf", ".igs", ".txt"}) {
        EXPECT_EQ(ZeroLengthLines(base + ext), 0) << designs[d] << " kind " << kind << ext;
        ++files;
      }
    }
  }
  SetDefaultDesign();
  EXPECT_EQ(files, static_cast<int>(designs.size()) * DrawingKindCount * 3);
}


// The straight pieces of a drawing: every edge between two points, an arc's by its two ends.
struct Piece {
  double x1, y1, x2, y2;
};

// The pieces a DXF file draws: lines, polyline segments (arcs between vertices by their ends),
// arcs and the outlines of solids, in model space, every insert exploded (nested ones included).
// Circles and pieces without length are left out.
std::vector<Piece> DxfPieces(const std::string& file) {
  std::vector<std::pair<int, std::string>> g;
  {
    const auto lines = ReadFileLines(file);
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
      std::string v = lines[i + 1];
      v.erase(0, v.find_first_not_of(' '));
      g.emplace_back(std::stoi(lines[i]), v);
    }
  }
  struct Entity {
    std::string type;
    std::map<int, std::string> v;
    std::vector<std::pair<double, double>> vertices;
    std::vector<double> bulges;
  };
  std::map<std::string, std::vector<Entity>> blocks;
  std::vector<Entity>* into = nullptr;
  std::vector<Entity> model;
  Entity* polyline = nullptr;
  for (size_t i = 0; i < g.size(); ++i) {
    if (g[i].first != 0) continue;
    const std::string type = g[i].second;
    std::map<int, std::string> v;
    for (size_t j = i + 1; j < g.size() && g[j].first != 0; ++j) v[g[j].first] = g[j].second;
    auto num = [&v](int code) { return v.count(code) ? std::stod(v[code]) : 0.0; };
    if (type == "SECTION") {
      into = v[2] == "ENTITIES" ? &model : nullptr;
    } else if (type == "BLOCK") {
      into = &blocks[LowerStr(v[2])];
    } else if (type == "ENDBLK") {
      into = nullptr;
    } else if (type == "VERTEX" && polyline) {
      polyline->vertices.emplace_back(num(10), num(20));
      polyline->bulges.push_back(num(42));
    } else if (type == "SEQEND") {
      polyline = nullptr;
    } else if (into) {
      into->push_back({type, v, {}, {}});
      if (type == "POLYLINE") polyline = &into->back();
    }
  }
  std::vector<Piece> pieces;
  struct Map {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    std::pair<double, double> operator()(double x, double y) const {
      return {a * x + b * y + e, c * x + d * y + f};
    }
  };
  std::function<void(const std::vector<Entity>&, const Map&, int)> draw =
      [&](const std::vector<Entity>& entities, const Map& m, int depth) {
        auto add = [&](double x1, double y1, double x2, double y2) {
          const auto [p, q] = m(x1, y1);
          const auto [r, s] = m(x2, y2);
          if (std::hypot(r - p, s - q) > 1e-4) pieces.push_back({p, q, r, s});
        };
        for (const Entity& en : entities) {
          auto v = en.v;
          auto num = [&v](int code) { return v.count(code) ? std::stod(v[code]) : 0.0; };
          if (en.type == "LINE") {
            add(num(10), num(20), num(11), num(21));
          } else if (en.type == "ARC") {
            const double r = num(40), a = num(50) * M_PI / 180, b = num(51) * M_PI / 180;
            add(num(10) + r * std::cos(a), num(20) + r * std::sin(a), num(10) + r * std::cos(b),
                num(20) + r * std::sin(b));
          } else if (en.type == "SOLID") {
            const double x[4] = {num(10), num(11), num(13), num(12)};
            const double y[4] = {num(20), num(21), num(23), num(22)};
            for (int k = 0; k < 4; ++k) add(x[k], y[k], x[(k + 1) % 4], y[(k + 1) % 4]);
          } else if (en.type == "POLYLINE") {
            const auto& p = en.vertices;
            for (size_t k = 0; k + 1 < p.size(); ++k)
              add(p[k].first, p[k].second, p[k + 1].first, p[k + 1].second);
            if ((static_cast<int>(num(70)) & 1) && p.size() > 2)
              add(p.back().first, p.back().second, p[0].first, p[0].second);
          } else if (en.type == "INSERT" && depth < 16) {
            const auto it = blocks.find(LowerStr(v[2]));
            if (it == blocks.end()) continue;
            const double sx = v.count(41) ? num(41) : 1, sy = v.count(42) ? num(42) : 1;
            const double a = num(50) * M_PI / 180, cs = std::cos(a), sn = std::sin(a);
            const Map n{cs * sx, -sn * sy, sn * sx, cs * sy, num(10), num(20)};
            Map k;
            k.a = m.a * n.a + m.b * n.c, k.b = m.a * n.b + m.b * n.d;
            k.c = m.c * n.a + m.d * n.c, k.d = m.c * n.b + m.d * n.d;
            std::tie(k.e, k.f) = m(n.e, n.f);
            draw(it->second, k, depth + 1);
          }
        }
      };
  draw(model, Map{}, 0);
  return pieces;
}

// The pieces of the dxf file that the IGES file's edges (as iges_check --edges reads them) lack,
// and the edges left over, each as text; pieces match with ends apart by tolerance at most.
std::vector<std::string> UnmatchedPieces(const std::vector<Piece>& dxf, const std::string& edges,
                                         double tolerance) {
  std::vector<Piece> iges;
  std::istringstream in(edges);
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(" EDGE ");
    if (at == std::string::npos) continue;
    Piece p{};
    std::istringstream(line.substr(at + 6)) >> p.x1 >> p.y1 >> p.x2 >> p.y2;
    if (std::hypot(p.x2 - p.x1, p.y2 - p.y1) > 1e-4) iges.push_back(p);  // circles left out
  }
  // The edges by the cell of their middle.
  const double cell = 0.05;
  auto key = [cell](double x, double y) {
    return std::pair<long long, long long>(std::llround((x) / cell), std::llround((y) / cell));
  };
  std::map<std::pair<long long, long long>, std::vector<size_t>> cells;
  for (size_t i = 0; i < iges.size(); ++i)
    cells[key((iges[i].x1 + iges[i].x2) / 2, (iges[i].y1 + iges[i].y2) / 2)].push_back(i);
  std::vector<bool> used(iges.size());
  std::vector<std::string> unmatched;
  auto text = [](const char* what, const Piece& p) {
    char s[160];
    std::snprintf(s, sizeof s, "%s %.4f %.4f %.4f %.4f", what, p.x1, p.y1, p.x2, p.y2);
    return std::string(s);
  };
  for (const Piece& p : dxf) {
    const auto [cx, cy] = key((p.x1 + p.x2) / 2, (p.y1 + p.y2) / 2);
    bool found = false;
    for (long long dx = -1; dx <= 1 && !found; ++dx)
      for (long long dy = -1; dy <= 1 && !found; ++dy) {
        const auto it = cells.find({cx + dx, cy + dy});
        if (it == cells.end()) continue;
        for (size_t i : it->second) {
          const Piece& q = iges[i];
          auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
          const bool same =
              near(p.x1, q.x1) && near(p.y1, q.y1) && near(p.x2, q.x2) && near(p.y2, q.y2);
          const bool turned =
              near(p.x1, q.x2) && near(p.y1, q.y2) && near(p.x2, q.x1) && near(p.y2, q.y1);
          if (!used[i] && (same || turned)) {
            used[i] = found = true;
            break;
          }
        }
      }
    if (!found) unmatched.push_back(text("DXF", p));
  }
  for (size_t i = 0; i < iges.size(); ++i)
    if (!used[i]) unmatched.push_back(text("IGES", iges[i]));
  return unmatched;
}

// The wheels drawn scaled (kind 7 with many teeth, kind 14 with its scaled teeth, kind 15 turned),
// the wheels and teeth at scale 1 (kinds 16 to 21) and the scaled sheet blocks (kinds 5, 6, 8, 9,
// 13): OpenCASCADE transfers every root of the IGES file, and the edges it gets are the pieces the
// same drawing draws as DXF.
TEST_F(IgesTest, OpenCascadeGetsTheGeometryOfTheDxf) {
  UseTeeth(997);
  std::vector<std::string> files;
  std::vector<std::vector<Piece>> pieces;
  for (int kind : {5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18, 19, 20, 21}) {
    const std::string base = tmp_.File("k" + std::to_string(kind));
    ASSERT_TRUE(DrawKind(base, kind, {CadDeviceIges, CadDeviceDxf})) << kind;
    files.push_back(base + ".igs");
    pieces.push_back(DxfPieces(base + ".dxf"));
  }
  SetDefaultDesign();
  for (size_t i = 0; i < files.size(); ++i) {
    std::string out;
    const int status = IgesCheck({"--edges", files[i]}, out);
    if (ReaderAbsent(status, "OpenCASCADE's IGES reader")) GTEST_SKIP() << "OpenCASCADE missing";
    EXPECT_EQ(status, 0) << out.substr(0, 2000);
    auto count = [&out](const std::string& what) {
      const size_t at = out.find(" " + what + " ");
      return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + what.size() + 2);
    };
    EXPECT_GT(count("ROOTS"), 0) << files[i];
    EXPECT_EQ(count("ROOTS"), count("SHAPES")) << files[i] << " roots / shapes";
    const bool wheels = i == 2 || (i >= 8 && i <= 10);  // kinds 7, 16, 17, 18
    EXPECT_GT(pieces[i].size(), wheels ? 997u : 3u) << files[i];
    const auto unmatched = UnmatchedPieces(pieces[i], out, 0.003);
    EXPECT_TRUE(unmatched.empty()) << files[i] << ": " << unmatched.size() << " unmatched, first "
                                   << (unmatched.empty() ? "" : unmatched.front());
  }
}

// The scale groups (41, 42) of the INSERT entities of a DXF file as written; with entitiesOnly
// those of its entities section only (not those inside blocks).
std::vector<std::string> DxfInsertScales(const std::string& file, bool entitiesOnly = false) {
  const auto lines = ReadFileLines(file);
  std::vector<std::string> scales;
  bool insert = false, entities = false;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    if (lines[i] == "  2" && lines[i + 1] == "ENTITIES") entities = true;
    if (lines[i] == "  0") insert = lines[i + 1] == "INSERT" && (entities || !entitiesOnly);
    if (insert && (lines[i] == " 41" || lines[i] == " 42")) scales.push_back(lines[i + 1]);
  }
  return scales;
}

// Six teeth on a small pitch diameter: the wheels and the hub view are inserted at a scale of a few
// millionths. The DXF and the CAD text hold that scale as the drawing used it (ezdxf reads it back),
// and the DXF draws what the IGES file (which applies the scale itself) draws.
TEST_F(IgesTest, SmallScalesReachTheDxfAsTheIgesUsesThem) {
  // The default design's file with z = 6 and the tip diameters d + 0.9 and d - 0.7.
  std::vector<std::string> design = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  ASSERT_GT(design.size(), 37u);
  const long double d = StrToReal(design[9]) * 6;
  design[10] = "6";
  design[24] = FloatStrDecimalsDot(7, d + 0.9L);
  design[36] = FloatStrDecimalsDot(7, d - 0.7L);
  WriteFileLines(tmp_.File("z6.qrk"), design);
  // Its calculation makes a tool factor beyond the file's range, so Open refuses it; the drawings
  // are made of the record as read and calculated.
  DesignFileContent content = CurrentDesignContent();
  ASSERT_TRUE(ReadDesignFile(tmp_.File("z6.qrk"), content));
  ApplyDesignContent(content);
  CalculateSerration();
  ASSERT_FALSE(Flags.FatalError) << Errors.ErrorList[0];
  std::vector<std::string> dxf, igs;
  for (int kind : {6, 7, 8, 14, 15}) {
    const std::string base = tmp_.File("z6_" + std::to_string(kind));
    ASSERT_TRUE(DrawKind(base, kind, {CadDeviceIges, CadDeviceDxf, CadDeviceText})) << kind;
    dxf.push_back(base + ".dxf");
    igs.push_back(base + ".igs");
    for (const char* ext : {".dxf", ".igs", ".txt"})
      EXPECT_EQ(ZeroLengthLines(base + ext), 0) << kind << ext;
    // The CAD text's scales are the DXF's texts.
    const std::vector<std::string> scales = DxfInsertScales(base + ".dxf");
    std::vector<std::string> txtScales;
    for (const std::string& line : ReadFileLines(base + ".txt")) {
      std::vector<std::string> f;
      std::stringstream row(line);
      for (std::string v; std::getline(row, v, '\t');) f.push_back(v);
      if (f.size() == 7 && f[0] == "INSERT") txtScales.insert(txtScales.end(), {f[5], f[6]});
    }
    EXPECT_EQ(txtScales, scales) << kind;
    const bool small = std::any_of(scales.begin(), scales.end(), [](const std::string& s) {
      return std::stod(s) < 1e-4;
    });
    EXPECT_TRUE(small) << "kind " << kind << " has its views at their usual size";
  }
  SetDefaultDesign();

  std::vector<std::string> audit = {"/usr/bin/python3",
                                    QERN_SOURCE_DATA "/../tests/readers/dxf_audit.py"};
  audit.insert(audit.end(), dxf.begin(), dxf.end());
  std::string out;
  const int status = RunReaderOutput(audit, out);
  if (ReaderAbsent(status, "ezdxf (python3-ezdxf)")) GTEST_SKIP() << "ezdxf missing";
  EXPECT_EQ(status, 0) << out.substr(0, 2000);
  // Every scale ezdxf read is the number the file's text holds, and the small ones are not those of
  // six decimals.
  std::istringstream in(out);
  std::vector<std::string> read;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("SCALE ", 0) != 0) continue;
    std::istringstream f(line.substr(6));
    std::string name, sx, sy;
    f >> name >> sx >> sy;
    read.insert(read.end(), {sx, sy});
  }
  std::vector<std::string> written;
  for (const std::string& f : dxf) {
    const auto scales = DxfInsertScales(f, true);
    written.insert(written.end(), scales.begin(), scales.end());
  }
  ASSERT_EQ(read.size(), written.size()) << out.substr(0, 2000);
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(std::stod(read[i]), std::stod(written[i])) << read[i] << " " << written[i];
    if (std::stod(written[i]) < 1e-4) {
      EXPECT_GT(written[i].size(), 8u) << written[i];
    }
  }

  for (size_t i = 0; i < igs.size(); ++i) {
    const int check = IgesCheck({"--edges", igs[i]}, out);
    if (ReaderAbsent(check, "OpenCASCADE's IGES reader")) GTEST_SKIP() << "OpenCASCADE missing";
    EXPECT_EQ(check, 0) << out.substr(0, 2000);
    const auto pieces = DxfPieces(dxf[i]);
    EXPECT_GT(pieces.size(), 10u) << dxf[i];
    const auto unmatched = UnmatchedPieces(pieces, out, 0.003);
    EXPECT_TRUE(unmatched.empty()) << dxf[i] << ": " << unmatched.size() << " unmatched, first "
                                   << (unmatched.empty() ? "" : unmatched.front());
  }
}

// Teeth turned about the wheel's centre and about a point off it, inside a block inserted at two
// scales: each rotation about the origin is written once, in one record, and shared by the teeth
// of both scales; a rotation about another point has that point in its matrix; OpenCASCADE puts
// every tooth where the DXF does.
TEST_F(IgesTest, SharedRotationsInOneRecordKeepTheirPlaces) {
  const auto body = [] {
    CadSetPen(0);
    CadBeginDrawing(0, 0, 100, 100);
    CadTables();
    CadBeginBlocks();
    CadBeginBlock("zahn");
    CadLine(0, 10, 1, 12);
    CadLine(1, 12, -1, 12.5L);
    CadEndBlock();
    CadBeginBlock("rad");
    for (int i = 0; i < 7; ++i) {
      CadInsertBlock("zahn", 0, 0, 360.0L / 7 * i, 1, 1);
      CadInsertBlock("zahn", 30, -20, 360.0L / 7 * i, 1, 1);
    }
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("rad", 50, 40, 0, 1.5L, 1.5L);
    CadInsertBlock("rad", 10, 20, 0, 0.5L, 0.5L);
    CadEndSection();
  };
  Output(CadDeviceIges, body);
  Output(CadDeviceDxf, body);
  const auto lines = ReadFileLines(tmp_.File("out.igs"));
  const auto d = Section(lines, 'D');
  int aboutOrigin = 0, aboutPoints = 0;
  std::string first;
  for (size_t i = 0; i + 1 < d.size(); i += 2) {
    if (d[i].substr(0, 8) != "     124") continue;
    const std::string t = ParameterText(lines, static_cast<int>(i) + 1);
    if (std::regex_match(t, std::regex("124,[-.0-9]+,[-.0-9]+,0\\.,0\\.,[-.0-9]+,[-.0-9]+,"
                                       "0\\.,0\\.,0\\.,0\\.,1\\.,0\\.;"))) {
      if (++aboutOrigin == 1) first = t;
      EXPECT_EQ(d[i + 1].substr(24, 8), "       1") << t;  // one parameter record
    } else {
      ++aboutPoints;
    }
    EXPECT_EQ(t.find(".000000"), std::string::npos) << t;  // the entries short
  }
  EXPECT_EQ(aboutOrigin, 6);  // one per angle but 0, for both scales
  EXPECT_EQ(aboutPoints, 12);  // (45, -30) and (15, -10)
  EXPECT_EQ(first, "124,.62349,-.781831,0.,0.,.781831,.62349,0.,0.,0.,0.,1.,0.;");
  // The wheels' 14 member numbers fill one record (not twelve to a group and two on the next).
  int wheels = 0;
  for (size_t i = 0; i + 1 < d.size(); i += 2) {
    const int entity = static_cast<int>(i) + 1;
    const std::string t = ParameterText(lines, entity);
    if (!t.starts_with("308,0,5Hrad_")) continue;
    ++wheels;
    EXPECT_TRUE(std::regex_match(t, std::regex("308,0,5Hrad_[24],14(,[0-9]+){14};"))) << t;
    EXPECT_EQ(d[i + 1].substr(24, 8), "       1") << t;
  }
  EXPECT_EQ(wheels, 2);
  std::string out;
  const int status = IgesCheck({"--edges", tmp_.File("out.igs")}, out);
  if (ReaderAbsent(status, "OpenCASCADE's IGES reader")) GTEST_SKIP() << "OpenCASCADE missing";
  EXPECT_EQ(status, 0) << out;
  const auto pieces = DxfPieces(tmp_.File("out.dxf"));
  EXPECT_EQ(pieces.size(), 2u * 2 * 14);
  const auto unmatched = UnmatchedPieces(pieces, out, 0.003);
  EXPECT_TRUE(unmatched.empty()) << unmatched.size() << " unmatched, first "
                                 << (unmatched.empty() ? "" : unmatched.front());
}

}  // namespace
}  // namespace qern::test

namespace qern::test {
namespace {

// Wheels of 9,999 teeth, scaled (kinds 14 and 15) or at scale 1 (16 to 18), and the teeth alone
// (19 to 21) beside wheels the drawing defines: the IGES file stays within 3.5 times the bytes of
// the same drawing as DXF, with one matrix for each angle of the teeth, whichever wheels use it.
TEST_F(IgesTest, WheelsOfManyTeethWithinTheBytesOfTheDxf) {
  constexpr int z = 9999;
  UseTeeth(z);
  ASSERT_FALSE(Flags.FatalError);
  for (int kind = 14; kind <= 21; ++kind) {
    const std::string base = tmp_.File("w" + std::to_string(kind));
    ASSERT_TRUE(DrawKind(base, kind, {CadDeviceIges, CadDeviceDxf})) << kind;
    const double igs = static_cast<double>(std::filesystem::file_size(base + ".igs"));
    const double dxf = static_cast<double>(std::filesystem::file_size(base + ".dxf"));
    EXPECT_LE(igs, 3.5 * dxf) << "kind " << kind << ": " << igs / dxf << " times the DXF";
    const auto d = Section(ReadFileLines(base + ".igs"), 'D');
    int matrices = 0;
    for (size_t i = 0; i < d.size(); i += 2) matrices += d[i].substr(0, 8) == "     124";
    EXPECT_LE(matrices, kind == 15 ? z + 1 : z) << "kind " << kind;  // (15 turns the hub's wheel)
  }
  SetDefaultDesign();
}

}  // namespace
}  // namespace qern::test

namespace qern::test {
namespace {

// A scaled wheel of many teeth (numbers of one to four digits, names short and long): its
// subfigure's member records are the records the splitting of its whole parameter text makes,
// each as full as the members allow.
TEST_F(IgesTest, PackedMembersFillTheirRecordsAsTheTextSplits) {
  for (const std::string& name : {std::string("rad"), std::string(40, 'w')}) {
    const auto lines = Igs([&] {
      CadBeginDrawing(0, 0, 100, 100);
      CadBeginBlocks();
      CadBeginBlock("zahn");
      CadLine(0, 10, 0, 12);
      CadEndBlock();
      CadBeginBlock(name);
      for (int i = 1; i <= 700; ++i) CadInsertBlock("zahn", 0, 0, 360.0L * i / 700, 1, 1);
      CadEndBlock();
      CadEndSection();
      CadBeginEntities();
      CadInsertBlock(name, 50, 50, 0, 2, 2);
      CadEndSection();
    });
    const auto d = Section(lines, 'D');
    int checked = 0;
    for (size_t i = 0; i + 1 < d.size(); i += 2) {
      if (d[i].substr(0, 8) != "     308") continue;
      const int entity = static_cast<int>(i) + 1;
      std::vector<std::string> records;
      for (const std::string& l : Section(lines, 'P')) {
        if (std::stoi(l.substr(64, 8)) != entity) continue;
        std::string data = l.substr(0, 64);
        data.erase(data.find_last_not_of(' ') + 1);
        records.push_back(data);
      }
      const std::string text = ParameterText(lines, entity);
      if (!text.starts_with("308,0," + std::to_string(name.size() + 2) + "H")) continue;
      EXPECT_EQ(records, IgesSplitParameters(text, 64)) << name;
      EXPECT_GT(records.size(), 40u) << name;  // 700 members of up to four digits
      ++checked;
    }
    EXPECT_EQ(checked, 1) << name;
  }
}

}  // namespace
}  // namespace qern::test
