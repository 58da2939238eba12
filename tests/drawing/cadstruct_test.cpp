// Drawing structure: frame and footer, logo blocks, block definitions and inserts (case, unknown
// names, failures), polylines native and emulated, arrows and dimensions with their texts.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <stdexcept>

#include "cadtest.h"
#include "dxfbounds.h"
#include "drawing/cadscreen.h"
#include "drawing/dxfout.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/vektor.h"

namespace qern::test {
namespace {

class CadStructTest : public CadTest {
 protected:
  // The value lines of every group with the code in lines.
  static std::vector<std::string> Values(const std::vector<std::string>& lines,
                                         const std::string& code) {
    std::vector<std::string> out;
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
      if (lines[i] == code) out.push_back(lines[i + 1]);
    return out;
  }
  // A drawing in 0..100 begun with the block "tooth", a radial line from 40 to 45, and the block
  // "wheel" that wheel fills; its blocks section ended.
  static void ToothAndWheel(const std::function<void()>& wheel) {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("tooth");
    CadLine(0, 40, 0, 45);
    CadEndBlock();
    CadBeginBlock("wheel");
    wheel();
    CadEndBlock();
    CadEndSection();
  }
};

TEST_F(CadStructTest, DimensionArrowsOutsideWhenShort) {
  // The first SOLID is the arrow at a: its fourth corner lies on the side the head opens to.
  for (auto [length, outward] : {std::pair{8.0L, true}, std::pair{10.5L, false}}) {
    const auto lines = Dxf([&] { CadDimension("x", "", "", 0, 0, 0, length, 20); });
    const auto y4 = Values(lines, " 23");
    ASSERT_EQ(y4.size(), 2u);
    const double first = std::stod(y4[0]), second = std::stod(y4[1]);
    if (outward) {  // heads at 8 opening up, at 0 opening down
      EXPECT_NEAR(first, 8 + 3.5, 1e-6);
      EXPECT_NEAR(second, -3.5, 1e-6);
    } else {
      EXPECT_NEAR(first, 3.5, 1e-6);
      EXPECT_NEAR(second, 10.5 - 3.5, 1e-6);
    }
    // Extension lines end one symbol unit beyond the dimension line (x1 < xDim).
    EXPECT_EQ(CountGroups(lines, " 11", "21.000000"), 2);
    EXPECT_EQ(Values(lines, "  8")[0], "3");
  }
}

TEST_F(CadStructTest, ArrowsOfManyDirections) {
  // More directions than are kept, some again: each head and shaft where its angles put them.
  const std::vector<long double> directions = {90, 270, 33.3L, 181, 12, 300, 90, 33.3L, 270, 12};
  auto half = [](size_t i) { return i % 4 == 1 ? 20.0L : 10.0L; };  // 270 with both heads
  const auto lines = Dxf([&] {
    for (size_t i = 0; i < directions.size(); ++i) CadArrow(0, 0, directions[i], half(i), 3.5L, 5);
  });
  const std::vector<std::string> x2 = Values(lines, " 11"), y3 = Values(lines, " 22"),
                                  x4 = Values(lines, " 13");
  ASSERT_EQ(x2.size(), 2 * directions.size());  // a solid's and a line's second point
  for (size_t i = 0; i < directions.size(); ++i) {
    const long double d = DegToRad(directions[i]), h = DegToRad(half(i));
    EXPECT_NEAR(std::stod(x2[2 * i]), 3.5L * std::cos(d + h), 1e-6) << i;
    EXPECT_NEAR(std::stod(y3[i]), 3.5L * std::sin(d - h), 1e-6) << i;
    EXPECT_NEAR(std::stod(x4[i]), 3.5L * std::cos(d), 1e-6) << i;
    EXPECT_NEAR(std::stod(x2[2 * i + 1]), 5 * std::cos(d), 1e-6) << i;
  }
}

TEST_F(CadStructTest, DeviationTexts) {
  auto texts = [&](const std::string& upper, const std::string& lower) {
    return Values(Dxf([&] { CadDimensionText("12", upper, lower, 0, 20, 50); }), "  1");
  };
  EXPECT_EQ(texts("", ""), (std::vector<std::string>{"12"}));
  EXPECT_EQ(texts("0.05", "-0.05"), (std::vector<std::string>{"12", "\xB1" "0.05"}));
  EXPECT_EQ(texts("0.1", "-0.2"), (std::vector<std::string>{"12", "+0.1", "-0.2"}));
  EXPECT_EQ(texts("", "-0.2"), (std::vector<std::string>{"12", "-0.2"}));
  // The symmetric pair stands right of the line, the value left of it.
  const auto lines = Dxf([&] { CadDimensionText("12", "0.05", "-0.05", 0, 20, 50); });
  EXPECT_EQ(Values(lines, " 10")[0], "49.000000");
  EXPECT_EQ(Values(lines, " 10")[1], "51.250000");
  EXPECT_EQ(Values(lines, " 50")[0], "90");
}

TEST_F(CadStructTest, PolylinesNativeAndEmulated) {
  auto draw = [] {
    CadPolylineBegin(1);
    CadVertex(0, 0, 0);
    CadVertex(10, 0, Pi / 2);
    CadVertex(10, 10, 0);
    CadPolylineEnd();
  };
  const auto native = Dxf(draw);
  EXPECT_EQ(CountGroups(native, "  0", "VERTEX"), 3);
  EXPECT_EQ(CountGroups(native, "  0", "SEQEND"), 1);
  EXPECT_EQ(Values(native, " 42"), (std::vector<std::string>{"0.414214"}));

  CadState.CadNativePolylines = false;
  const auto emulated = Dxf(draw);
  EXPECT_EQ(CountGroups(emulated, "  0", "POLYLINE"), 0);
  EXPECT_EQ(CountGroups(emulated, "  0", "LINE"), 2) << "first segment and the closing one";
  ASSERT_EQ(CountGroups(emulated, "  0", "ARC"), 1);
  EXPECT_EQ(Values(emulated, " 40"), (std::vector<std::string>{"7.071068"}));
  EXPECT_EQ(Values(emulated, " 50"), (std::vector<std::string>{"-45.000000"}));
  EXPECT_EQ(Values(emulated, " 51"), (std::vector<std::string>{"45.000000"}));
}

TEST_F(CadStructTest, EmulatedArcsDrawnAgain) {
  // Closed polylines of arcs drawn again, with other angles, and after more arcs than are kept:
  // each arc where GetArcCenter puts it (the closing segment takes the last vertex's angle).
  auto ring = [](int n, long double radius) {
    std::vector<std::array<long double, 3>> v;
    for (int i = 0; i < n; ++i)
      v.push_back({radius * std::cos(i * 2 * Pi / n), radius * std::sin(i * 2 * Pi / n),
                   (i % 3 + 1) * 0.1L});
    return v;
  };
  const auto small = ring(6, 10), large = ring(20, 30);
  const std::vector<std::pair<const std::vector<std::array<long double, 3>>*, long double>> drawn =
      {{&small, 1}, {&small, 2}, {&small, 1}, {&large, 1}, {&small, 2}, {&small, 1}};
  CadState.CadNativePolylines = false;
  const auto lines = Dxf([&] {
    for (const auto& [v, f] : drawn) {
      CadPolylineBegin(1);
      for (const auto& p : *v) CadVertex(p[0], p[1], f * p[2]);
      CadPolylineEnd();
    }
  });
  const auto r = Values(lines, " 40"), start = Values(lines, " 50"), end = Values(lines, " 51");
  ASSERT_EQ(r.size(), 5 * small.size() + large.size());
  ASSERT_EQ(start.size(), r.size());
  size_t k = 0;
  for (const auto& [v, f] : drawn) {
    for (size_t i = 0; i < v->size(); ++i, ++k) {
      const auto &p = (*v)[i], &q = (*v)[(i + 1) % v->size()];
      long double xc = 0, yc = 0, ps = 0, pe = 0, rr = 0;
      GetArcCenter(xc, yc, ps, p[0], p[1], q[0], q[1], f * p[2], pe, rr);
      EXPECT_NEAR(std::stod(r[k]), rr, 1e-6) << k;
      EXPECT_NEAR(std::stod(start[k]), RadToDeg(ps), 1e-6) << k;
      EXPECT_NEAR(std::stod(end[k]), RadToDeg(pe), 1e-6) << k;
    }
  }
}

TEST_F(CadStructTest, BlocksAndInserts) {
  const auto lines = Dxf([] {
    CadBeginDrawing(0, 0, 100, 100);
    CadBeginBlocks();
    CadBeginBlock("rad1");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadSetOrigin(5, 5);
    CadInsertBlock("RAD1", 10, 10, 0, 1, 1);           // found without regard to case
    CadInsertBlockAtOrigin("Rad1", 10, 10, 0, 1, 1);   // with the origin offset
    CadInsertBlock("WERKZ1", 0, 0, 0, 1, 1);           // never defined
    CadEndSection();
  });
  EXPECT_EQ(Values(lines, "  2"),
            (std::vector<std::string>{"HEADER", "BLOCKS", "rad1", "ENTITIES", "rad1", "rad1"}));
  EXPECT_EQ(Values(lines, " 10").back(), "15.000000");
  EXPECT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Blockname WERKZ1 not found !");
}

// A drawing measured: arcs by their sweep through turned, scaled and nested inserts, texts by their
// box (anchor, height, width factor, angle); the output's own file, state and error list are left
// as they were.
TEST_F(CadStructTest, MeasuredDrawingHoldsWhatItDrawsAndOutputsNothing) {
  const auto lines = Dxf([] {
    CadBeginDrawing(0, 0, 420, 297);
    CadTables();
    CadBeginBlocks();
    CadBeginBlock("own");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadSetPen(2);
    const int errors = Errors.ErrorCount;
    const CadBox b = CadMeasureDrawing([] {
      CadBeginDrawing(0, 0, 10, 10);
      CadBeginBlocks();
      CadBeginBlock("quarter");
      CadArc(0, 0, 0, 90, 1);  // from (1, 0) to (0, 1)
      CadEndBlock();
      CadBeginBlock("pair");
      CadInsertBlock("quarter", 0, 0, 45, 2, 2);  // from (1.41, 1.41) over (0, 2) to (-1.41, 1.41)
      CadInsertBlock("quarter", 0, 0, 180, 1, 3);  // from (-1, 0) to (0, -3)
      CadEndBlock();
      CadEndSection();
      CadBeginEntities();
      CadSetPen(5);
      CadInsertBlock("pair", 100, 50, 0, 1, 1);
      CadInsertBlock("unknown", 0, 0, 0, 1, 1);
      CadSetTextStyle(2, 0, 3.5L, 2.5L);
      CadText("anchor", 100, 55);  // 6 characters 2.5 wide: to x 115, 3.5 high: to y 58.5
      CadSetTextStyle(2, 90, 2, 1);
      CadText("ab", 105, 58.5L);  // upwards to y 60.5, 2 high to the left (x 103)
      CadEndSection();
    });
    EXPECT_NEAR(static_cast<double>(b.xmin), 100 - std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(static_cast<double>(b.xmax), 115, 1e-9);
    EXPECT_NEAR(static_cast<double>(b.ymin), 47, 1e-9);
    EXPECT_NEAR(static_cast<double>(b.ymax), 60.5, 1e-9);
    EXPECT_EQ(CadState.CadPen, 2);
    EXPECT_EQ(Errors.ErrorCount, errors);  // the unknown block's message is not kept
    // The output's own block is still known; the measured drawing's are not.
    CadBeginEntities();
    CadInsertBlock("own", 0, 0, 0, 1, 1);
    CadInsertBlock("quarter", 0, 0, 0, 1, 1);
    CadEndSection();
    EXPECT_EQ(Errors.ErrorCount, errors + 1);
    EXPECT_EQ(Errors.ErrorList[errors], "Blockname quarter not found !");
  });
  const std::vector<std::string> blocks = Values(lines, "  2");
  EXPECT_EQ(std::count(blocks.begin(), blocks.end(), "quarter"), 0);
  EXPECT_EQ(std::count(blocks.begin(), blocks.end(), "own"), 2);  // defined and inserted
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "TEXT"), 0);
}

// Measured within a room: what lies inside it is left out, what reaches past it is measured exactly,
// a turned block by its shapes and not by its turned box.
TEST_F(CadStructTest, MeasuredWithinARoomOnlyWhatReachesPastItCounts) {
  CadSetDevice(CadDeviceDxf);  // no frame, no footer
  auto draw = [] {
    CadBeginDrawing(0, 0, 10, 10);
    CadBeginBlocks();
    CadBeginBlock("diagonal");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
    CadBeginBlock("quarter");
    CadArc(0, 0, 0, 90, 1);
    CadEndBlock();
    CadBeginBlock("wheel");  // nested: four turned quarters
    for (int i = 0; i < 4; ++i) CadInsertBlock("quarter", 0, 0, 90 * i, 1, 1);
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("diagonal", 3, 3, 0, 1, 1);    // inside
    CadInsertBlock("diagonal", 9.5L, 5, 45, 1, 1);  // its turned box reaches past, the line not
    CadInsertBlock("quarter", 9.5L, 5, 45, 1, 1);   // from 45 to 135 degrees: past the right side
    CadInsertBlock("wheel", 5, 1.5L, 0, 2, 2);      // a circle of radius 2: past the bottom
    CadCircle(5, 5, 1);                             // inside
    CadLine(5, 5, 5, 9);                            // inside
    CadEndSection();
  };
  const CadBox all = CadMeasureDrawing(draw);
  EXPECT_NEAR(static_cast<double>(all.xmin), 3, 1e-12);
  EXPECT_NEAR(static_cast<double>(all.ymax), 9, 1e-12);
  const CadBox b = CadMeasureDrawing(draw, CadBox{0, 0, 10, 10});
  ASSERT_FALSE(b.Empty());
  EXPECT_NEAR(static_cast<double>(b.xmax), 9.5 + std::sqrt(0.5), 1e-12);
  EXPECT_EQ(b.xmax, all.xmax);
  EXPECT_EQ(b.ymin, all.ymin);
  EXPECT_NEAR(static_cast<double>(b.ymin), -0.5, 1e-12);
  EXPECT_GE(b.xmin, 0);  // nothing reaches past the left or the top
  EXPECT_LE(b.ymax, 10);
  // All inside: nothing is measured.
  EXPECT_TRUE(CadMeasureDrawing(draw, CadBox{-1, -1, 11, 11}).Empty());
  // The same drawing once more (the measuring keeps its blocks' room between drawings).
  EXPECT_EQ(CadMeasureDrawing(draw, CadBox{0, 0, 10, 10}).xmax, b.xmax);
}

// Arcs whose angles are no number are left out by every back end and by the measuring; arcs whose
// angles lie turns apart or far from zero reach every back end with the same angles, within a turn
// of zero, and the measuring takes the arcs the DXF file draws.
TEST_F(CadStructTest, ArcsOfWildAnglesTheSameForEveryBackEnd) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const auto draw = [&] {
    CadBeginDrawing(0, 0, 10, 10);
    CadTables();
    CadBeginBlocks();
    CadBeginBlock("wild");
    CadArc(0, 0, 0, inf, 1);
    CadArc(0, 0, nan, 90, 1);
    CadArc(0, 0, 0, 1500, 1);  // 60 degrees, not four turns
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("wild", 50, 50, 0, 1, 1);
    CadInsertBlock("wild", 50, 50, 200, 2, 1);  // turned and scaled (the IGES ellipse path)
    CadArc(20, 20, -inf, 0, 1);
    CadArc(20, 20, 1e30L, 0, 2);   // from wherever 1e30 degrees points
    CadArc(30, 20, 10, -1e5L, 2);  // the end many turns below the start
    CadArc(40, 20, 7, 7 + 3600, 1.5L);  // ten turns: the same directions, a circle
    CadEndSection();
  };
  CadSetDevice(CadDeviceDxf);  // no frame, no footer
  const CadBox measured = CadMeasureDrawing(draw);
  const auto dxf = Dxf(draw);
  Output(CadDeviceText, draw);
  const auto txt = ReadFileLines(tmp_.File("out.txt"));
  Output(CadDeviceIges, draw);
  const auto igs = ReadFileLines(tmp_.File("out.igs"));

  // DXF: the block's arc and two arcs outside as ARC, the ten turns a CIRCLE; angles within a turn.
  std::vector<std::string> starts, ends;  // of the ARC entities
  std::string entity;
  for (size_t i = 0; i + 1 < dxf.size(); i += 2) {
    if (dxf[i] == "  0") entity = dxf[i + 1];
    if (entity == "ARC" && dxf[i] == " 50") starts.push_back(dxf[i + 1]);
    if (entity == "ARC" && dxf[i] == " 51") ends.push_back(dxf[i + 1]);
  }
  EXPECT_EQ(std::count(dxf.begin(), dxf.end(), "ARC"), 3);
  EXPECT_EQ(std::count(dxf.begin(), dxf.end(), "CIRCLE"), 1);
  ASSERT_EQ(starts.size(), 3u);
  ASSERT_EQ(ends.size(), 3u);
  EXPECT_EQ(starts[0], "0.000000");
  EXPECT_EQ(ends[0], "60.000000");
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_LT(std::fabs(std::stod(starts[i])), 360) << starts[i];
    EXPECT_LT(std::fabs(std::stod(ends[i])), 360) << ends[i];
  }
  EXPECT_EQ(ends[1], "0.000000");
  EXPECT_EQ(starts[2], "10.000000");
  EXPECT_NEAR(std::stod(ends[2]), std::fmod(-1e5, 360), 1e-6);
  // CAD text: the same arcs with the same angles.
  std::vector<std::string> arcs;
  for (const std::string& l : txt)
    if (l.starts_with("ARC\t") || l.starts_with("CIRCLE\t")) arcs.push_back(l);
  ASSERT_EQ(arcs.size(), 4u);
  EXPECT_EQ(arcs[0], "ARC\t0.000000\t0.000000\t1.000000\t0.000000\t60.000000");
  EXPECT_TRUE(arcs[1].ends_with("\t" + starts[1] + "\t" + ends[1])) << arcs[1];
  EXPECT_TRUE(arcs[2].ends_with("\t10.000000\t" + ends[2])) << arcs[2];
  EXPECT_TRUE(arcs[3].starts_with("CIRCLE\t40.000000\t20.000000\t")) << arcs[3];
  // IGES: the block's arc (at scale 1 and as a path under unequal scales) and the three outside,
  // none ending at its centre; the path of 60 degrees only.
  int arcEntities = 0, paths = 0;
  for (size_t i = 0; i < igs.size(); ++i) {
    if (igs[i].size() < 73 || igs[i][72] != 'P') continue;
    const std::string t = igs[i].substr(0, 64);
    if (t.starts_with("100,")) {
      ++arcEntities;
      double z, xc, yc, x2, y2;
      ASSERT_EQ(std::sscanf(t.c_str(), "100,%lf,%lf,%lf,%*f,%*f,%lf,%lf", &z, &xc, &yc, &x2, &y2), 5)
          << t;
      EXPECT_FALSE(x2 == xc && y2 == yc) << t;
    }
    if (t.starts_with("106,")) {
      ++paths;
      EXPECT_LE(std::atoi(t.c_str() + 6), 20) << t;  // points 5 degrees apart at most
    }
  }
  EXPECT_EQ(arcEntities, 4);
  EXPECT_EQ(paths, 1);
  // The measured box is the box of what the DXF file draws.
  const CadBox drawn = [&] {
    std::ofstream(tmp_.File("drawn.dxf")) << [&] {
      std::string all;
      for (const std::string& l : dxf) all += l + "\n";
      return all;
    }();
    CadBox box;
    for (const DxfPoint& p : DxfBounds(tmp_.File("drawn.dxf")).Points()) {
      if (box.Empty()) box = {p.x, p.y, p.x, p.y};
      box = {std::min<long double>(box.xmin, p.x), std::min<long double>(box.ymin, p.y),
             std::max<long double>(box.xmax, p.x), std::max<long double>(box.ymax, p.y)};
    }
    return box;
  }();
  ASSERT_FALSE(measured.Empty());
  EXPECT_NEAR(static_cast<double>(measured.xmin), static_cast<double>(drawn.xmin), 1e-4);
  EXPECT_NEAR(static_cast<double>(measured.ymin), static_cast<double>(drawn.ymin), 1e-4);
  EXPECT_NEAR(static_cast<double>(measured.xmax), static_cast<double>(drawn.xmax), 1e-4);
  EXPECT_NEAR(static_cast<double>(measured.ymax), static_cast<double>(drawn.ymax), 1e-4);
}

// A drawing watched as it is output: the output gets every call; the watch tells whether anything
// may reach past the room — a point, an arc by its sweep (not its whole circle), a text by its box,
// a block through a plain or a turned insert, a native polyline's arcs.
TEST_F(CadStructTest, WatchedDrawingSaysWhetherItMayReachPastItsRoom) {
  const CadBox room{0, 0, 100, 100};
  const auto watched = [&](const std::function<void()>& body) {
    bool inside = false;
    const auto lines = Dxf([&] {
      inside = CadDrawWatched([&] {
        ToothAndWheel([] {
          for (int i = 1; i <= 12; ++i) CadInsertBlock("tooth", 0, 0, 30.0L * i, 1, 1);
        });
        CadBeginEntities();
        body();
        CadEndSection();
      }, room);
    });
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "EOF"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "BLOCK"), 2);  // the output got the drawing
    return inside;
  };
  EXPECT_TRUE(watched([] { CadLine(1, 1, 99, 99); }));
  EXPECT_FALSE(watched([] { CadLine(1, 1, 100.5L, 99); }));
  EXPECT_TRUE(watched([] { CadArc(50, 90, 200, 340, 20); }));   // below its centre only
  EXPECT_FALSE(watched([] { CadArc(50, 90, 20, 160, 20); }));    // over the top
  EXPECT_TRUE(watched([] { CadInsertBlock("wheel", 50, 50, 0, 1, 1); }));
  EXPECT_FALSE(watched([] { CadInsertBlock("wheel", 50, 50, 0, 1.2L, 1.2L); }));
  // Turned, the wheel stays within the circle its teeth sweep (its box's corners would not).
  for (long double angle : {200.0L, 45.0L, -30.0L, 1.0L})
    EXPECT_TRUE(watched([&] { CadInsertBlock("wheel", 50, 50, angle, 1, 1); })) << angle;
  EXPECT_FALSE(watched([] { CadInsertBlock("wheel", 50, 50, 200, 1.2L, 1.2L); }));
  EXPECT_FALSE(watched([] { CadInsertBlock("wheel", 58, 50, 45, 1, 1); }));
  EXPECT_FALSE(watched([] { CadInsertBlock("tooth", 50, 50, 45, 2, 2); }));
  EXPECT_TRUE(watched([] {
    CadSetTextStyle(2, 0, 5, 3.5L);
    CadText("twenty-seven characters ok.", 1, 1);  // 27 x 3.5 = 94.5 wide
  }));
  EXPECT_FALSE(watched([] {
    CadSetTextStyle(2, 90, 5, 3.5L);
    CadText("twenty-seven characters up.", 50, 10);  // up to y 104.5
  }));
  EXPECT_FALSE(watched([] {
    CadPolylineBegin(0);
    CadVertex(10, 97, Pi);  // counter-clockwise from the right end: over the chord, up to y 101
    CadVertex(2, 97, 0);
    CadPolylineEnd();
  }));
  EXPECT_TRUE(watched([] {
    CadPolylineBegin(0);
    CadVertex(2, 97, Pi);  // from the left end: below the chord
    CadVertex(10, 97, 0);
    CadPolylineEnd();
  }));
}

// A piece drawn with a box known before: the watch takes the box for its shapes, which go to the
// output unseen by it (a wrong box lets them reach past the room unnoticed), while its texts are
// still watched; a block counts its pieces' boxes wherever it is inserted.
TEST_F(CadStructTest, PieceCountsByItsBoxAndItsTextsAreWatched) {
  const CadBox room{0, 0, 100, 100};
  const auto watched = [&](const CadBox& box, const std::function<void()>& shapes,
                           const std::function<void()>& entities = nullptr) {
    bool inside = false;
    const auto lines = Dxf([&] {
      inside = CadDrawWatched([&] {
        CadBeginDrawing(0, 0, 100, 100);
        CadBeginBlocks();
        CadBeginBlock("sheet");
        CadDrawPiece(box, shapes);
        CadEndBlock();
        CadEndSection();
        CadBeginEntities();
        if (entities) entities();
        else CadDrawPiece(box, shapes);
        CadEndSection();
      }, room);
    });
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "LINE"), 2) << "every line output";
    return inside;
  };
  const auto line = [](long double to) { return [to] { CadLine(10, 10, to, to); }; };
  EXPECT_TRUE(watched({10, 10, 90, 90}, line(90)));
  EXPECT_FALSE(watched({10, 10, 101, 90}, line(90)));  // the box reaches past: so may the piece
  EXPECT_TRUE(watched({10, 10, 90, 90}, line(150)));   // a wrong box hides what reaches past
  EXPECT_FALSE(watched({}, line(150)));                 // without a box: shape by shape
  EXPECT_TRUE(watched({-10, -10, 60, 60}, line(50), [] {
    CadInsertBlock("sheet", 20, 20, 0, 1, 1);
    CadLine(1, 1, 2, 2);
  }));
  EXPECT_FALSE(watched({-10, -10, 60, 60}, line(50), [] {
    CadInsertBlock("sheet", 50, 20, 0, 1, 1);  // its box reaches x 110
    CadLine(1, 1, 2, 2);
  }));
  // Texts: by their boxes, also in a block and through the origin offset.
  const auto text = [](const std::string& s, long double x) {
    return [s, x] {
      CadLine(10, 10, 20, 20);
      CadSetTextStyle(2, 0, 5, 3.5L);
      CadText(s, x, 50);
    };
  };
  EXPECT_TRUE(watched({10, 10, 90, 90}, text("twenty-two characters.", 20)));  // to x 97
  EXPECT_FALSE(watched({10, 10, 90, 90}, text("twenty-two characters..", 20)));  // to x 100.5
  EXPECT_FALSE(watched({10, 10, 90, 90}, text("twenty-two characters.", 20), [] {
    CadInsertBlock("sheet", 0, 0, 0, 1, 1);
    CadSetOrigin(5, 0);
    CadDrawPiece({10, 10, 90, 90}, [] { CadText("twenty-two characters.", 20, 50); });
    CadSetOrigin(0, 0);
    CadLine(1, 1, 2, 2);
  }));
}

// An exception out of a watched drawing, thrown inside a piece, a turned insert or none, leaves
// the output in place, and the next drawing is watched as ever.
TEST_F(CadStructTest, WatchedDrawingLeftByAnExceptionLeavesTheNextWatched) {
  const CadBox room{0, 0, 100, 100};
  const std::vector<std::function<void()>> throwers = {
      [] { throw std::runtime_error("plain"); },
      [] { CadDrawPiece({10, 10, 20, 20}, [] { throw std::runtime_error("piece"); }); },
      [] {
        CadBeginBlocks();
        CadBeginBlock("b");
        CadDrawPiece({10, 10, 20, 20}, [] {
          CadText("t", 15, 15);
          throw std::runtime_error("piece in a block");
        });
      },
  };
  for (const auto& thrower : throwers) {
    const auto lines = Dxf([&] {
      EXPECT_THROW(CadDrawWatched([&] {
        CadBeginDrawing(0, 0, 100, 100);
        thrower();
      }, room), std::runtime_error);
      CadLine(1, 2, 3, 4);  // on the output itself
      EXPECT_FALSE(CadDrawWatched([] { CadLine(1, 1, 150, 1); }, room));
      EXPECT_TRUE(CadDrawWatched([] { CadDrawPiece({10, 10, 20, 20}, [] {}); }, room));
    });
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "LINE"), 2);
    EXPECT_EQ(CadPieceTextWatch, nullptr);
  }
}

// A wheel's teeth as turned inserts of one block: the output gets each of them, in order; the
// watch counts the wheel by the circle the tooth sweeps, as it does inserts made one by one.
TEST_F(CadStructTest, TurnedInsertsAllOutputAndWatchedAsOne) {
  const CadBox room{0, 0, 100, 100};
  for (bool oneByOne : {false, true}) {
    for (long double scale : {1.0L, 1.2L}) {
      for (int count : {1, 5, 12}) {
        bool inside = false;
        const auto lines = Dxf([&] {
          inside = CadDrawWatched([&] {
            ToothAndWheel([&] {
              if (oneByOne)
                for (int i = 1; i <= count; ++i)
                  CadInsertBlock("tooth", 0, 0, 360.0L * i / count, 1, 1);
              else
                CadInsertTurns("tooth", 0, 0, count, 1, 1);
            });
            CadBeginEntities();
            CadInsertBlock("wheel", 50, 50, 0, scale, scale);
            CadEndSection();
          }, room);
        });
        const std::string what = std::string(oneByOne ? "one by one" : "turns") + " scale " +
                                 std::to_string(static_cast<double>(scale)) + " count " +
                                 std::to_string(count);
        // 45 x 1.2 = 54 from the middle: past the room.
        EXPECT_EQ(inside, scale == 1) << what;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "INSERT"), count + 1) << what;
        std::vector<std::string> angles = Values(Slice(lines, "wheel", "ENDBLK"), " 50");
        ASSERT_EQ(angles.size(), static_cast<size_t>(count)) << what;
        EXPECT_EQ(angles.back(), "360.000000") << what;
      }
    }
  }
}

// No writer writes a text longer than CadTextMostPerByte characters for each of its bytes: signs
// spelled out, characters without a Windows-1252 form escaped, in every text mode.
TEST_F(CadStructTest, TextsAreNoLongerThanTheirBytesAllow) {
  const std::vector<std::string> texts = {"a", "±", "°", "μ", "ä", "ß", "─", "€", "ő", "Ω",
                                          "中", "😀", "x±0,1°", "μμμ", "\xff"};
  for (int mode : {1, 2, 3}) {
    for (int special : {0, 1}) {
      Settings.CadTextMode = mode;
      Settings.SpecialCharMode = special;
      for (const std::string& t : texts) {
        EXPECT_LE(CadTextCharacters(t), CadTextMostPerByte * t.size())
            << t << " mode " << mode << " special " << special;
        EXPECT_LE(CadFileText(t).size(), CadTextMostPerByte * t.size()) << t << " mode " << mode;
      }
    }
  }
}

// A text's characters as the writers hold them, whatever the length and wherever its signs and
// umlauts stand (the quick ways look at words of bytes): a Latin-1 character is one where it is
// written as one, otherwise the widest of the text's characters and the file's text counts.
TEST_F(CadStructTest, TextCharactersCountedAsTheFileHoldsThem) {
  std::vector<std::string> texts = {"", "a", "ab", "abc", "abcd", "abcdefg", "abcdefgh",
                                    "abcdefghi", "ä", "ab ä", "1234567ä", "12345678ä",
                                    "Zähnezahl ± 0,05 °C", "Fußkreisdurchmesser Öl Maß",
                                    "\xc2\x85 C1", "x\xc3", "\xa4x", "\xc3\xc3\xa4\xa4",
                                    "ä€", "µ中", "\xc0\xaf", "abcdefgh\xff"};
  for (size_t n = 1; n <= 20; ++n) {
    texts.push_back(std::string(n, 'x'));
    texts.push_back(std::string(n, 'x') + "ü" + std::string(n, 'y'));
  }
  for (int device : {CadDeviceDxf, CadDeviceText, CadDeviceScreen}) {
    for (int mode : {1, 2, 3}) {
      for (int special : {0, 1}) {
        Settings.CadTextMode = mode;
        Settings.SpecialCharMode = special;
        CadState.CadDevice = device;
        const bool spelled = mode == 3 || (mode == 2 && special == 1) ||
                             (special == 1 && device == CadDeviceScreen);
        for (const std::string& t : texts) {
          bool latin = true;
          for (size_t i = 0; i < t.size();) {
            const char32_t c = DecodeUtf8(t, i);
            latin = latin && (c < 0x80 || (c >= 0xA0 && c <= 0xFF));
          }
          size_t expected = static_cast<size_t>(Utf8Length(t));
          const bool ascii = std::all_of(t.begin(), t.end(), [](char c) { return (c & 0x80) == 0; });
          if (!ascii && (spelled || !latin)) {
            expected = std::max(expected, CadFileText(t).size());
            if (special == 1 && device == CadDeviceScreen)
              expected = std::max(expected, static_cast<size_t>(Utf8Length(ConvertDisplayText(t))));
          }
          EXPECT_EQ(CadTextCharacters(t), expected)
              << '"' << t << "\" device " << device << " mode " << mode << " special " << special;
        }
      }
    }
  }
}

TEST_F(CadStructTest, RepeatedInsertsFollowTheBlocksOfTheirOutput) {
  const auto lines = Dxf([] {
    CadBeginBlocks();
    CadBeginBlock("rad1");
    CadLine(0, 0, 1, 1);
    CadEndBlock();
    CadBeginBlock("rad2");
    CadEndBlock();
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("RAD1", 0, 0, 0, 1, 1);
    CadInsertBlock("RAD1", 0, 0, 0, 1, 1);
    CadInsertBlock("rad2", 0, 0, 0, 1, 1);
    CadInsertBlock("RAD1", 0, 0, 0, 1, 1);
    CadBeginBlock("Rad1");  // defined anew: the inserts take the new name's spelling
    CadEndBlock();
    CadInsertBlock("RAD1", 0, 0, 0, 1, 1);
    CadEndSection();
  });
  const std::vector<std::string> names = Values(lines, "  2");
  EXPECT_EQ(std::vector<std::string>(names.end() - 6, names.end()),
            (std::vector<std::string>{"rad1", "rad1", "rad2", "rad1", "Rad1", "Rad1"}));
  EXPECT_EQ(Errors.ErrorCount, 0);
  // The next output knows none of these blocks.
  Dxf([] { CadInsertBlock("RAD1", 0, 0, 0, 1, 1); });
  ASSERT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Blockname RAD1 not found !");
}

TEST_F(CadStructTest, FailedBlockDoesNotEndTheDrawing) {
  const auto lines = Dxf([] {
    CadBeginBlocks();
    Flags.AbortFlag = true;  // a failed step before the block
    CadBeginBlock("A");
    CadEndBlock();
    EXPECT_FALSE(Flags.AbortFlag);
    CadBeginBlock("B");
    CadLine(0, 0, 1, 0);
    Flags.AbortFlag = true;  // a step inside the block fails: the block is still closed
    CadEndBlock();
    EXPECT_FALSE(Flags.AbortFlag);
    CadEndSection();
    CadBeginEntities();
    CadInsertBlock("A", 0, 0, 0, 1, 1);
    CadInsertBlock("B", 0, 0, 0, 1, 1);
    CadEndSection();
  });
  EXPECT_EQ(CountGroups(lines, "  0", "BLOCK"), 1);
  EXPECT_EQ(CountGroups(lines, "  0", "ENDBLK"), 1);
  EXPECT_EQ(CountGroups(lines, "  0", "INSERT"), 1);
  EXPECT_EQ(Errors.ErrorList[0], "Blockname A not found !");
}

TEST_F(CadStructTest, PlotFrameAndLogoInTheEntities) {
  WriteFileLines(tmp_.File("$logo_2.dx$"), {"  0", "EOF"});
  Settings.GravuraCommandLines[0] = tmp_.File("no-plot-program");
  Flags.PrintFrame = true;
  Output(CadDevicePlot, EmptySheet);
  const auto lines = ReadFileLines(tmp_.File("gravura.dxf"));
  const auto entities = Slice(lines, "ENTITIES", "ENDSEC");
  EXPECT_EQ(CountGroups(lines, "  0", "LINE"), 4);
  EXPECT_EQ(CountGroups(entities, "  8", "19"), 4) << "the frame lies in the entity section";
  EXPECT_EQ(CountGroups(entities, "  2", "LOGO_2"), 1);
  EXPECT_EQ(CountGroups(entities, " 10", "382.200000"), 1);
  EXPECT_EQ(CountGroups(entities, " 20", "2.970000"), 1);
  EXPECT_EQ(CountGroups(entities, " 41", "0.875000"), 1);
  EXPECT_EQ(CountGroups(entities, " 42", "0.825000"), 1);
  EXPECT_EQ(CountGroups(Slice(lines, "BLOCKS", "ENDSEC"), "  2", "LOGO_2"), 1);
  EXPECT_TRUE(FileCanOpen(tmp_.File("$logo_2.dx$"))) << "the user's file stays";

  // After a title block set the print preset, no logo.
  Output(CadDevicePlot, [] {
    CadBeginDrawing(0, 0, 420, 297);
    SetPrintPreset(2);
    CadBeginEntities();
    CadEndSection();
  });
  EXPECT_EQ(CountGroups(ReadFileLines(tmp_.File("gravura.dxf")), "  0", "INSERT"), 0);
}

TEST_F(CadStructTest, PlotProgramStart) {
  EXPECT_EQ(SplitCommandLine("\"/opt/my plot/wgravura\"  gravura.dxf /M1.0"),
            (std::vector<std::string>{"/opt/my plot/wgravura", "gravura.dxf", "/M1.0"}));
  EXPECT_TRUE(SplitCommandLine("  ").empty());
  Settings.GravuraCommandLines[1] = "/bin/true GRAVURA.DXF /M1.0";
  CadState.GravuraCommandIndex = 2;
  Output(CadDevicePlot, [] { CadLine(0, 0, 1, 1); });
  EXPECT_TRUE(dialogs_->Messages().empty());
  EXPECT_TRUE(FileCanOpen(tmp_.File("gravura.dxf")));
}

TEST_F(CadStructTest, ScreenFooterAndBlocks) {
  WriteFileLines(tmp_.File("$logo_1.dx$"), {"  0", "EOF"});
  WriteFileLines(tmp_.File("$head_0.dx$"), {"  0", "EOF"});
  Session.CurrentFileName = "welle";
  Session.CurrentFileFolder = "/daten";
  Ident.DataExtension = "qrk";
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceScreen);
  CadBeginDrawing(0, 0, 420, 297);
  EXPECT_NEAR(static_cast<double>(CadState.CadTextHeight), 1.782, 1e-12);
  const auto records = DisplayListText();
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[records.size() - 3], "9;1.782;1.7955;2;0");  // then the footer's colour
  EXPECT_EQ(records.back().substr(0, 12), "6;2.1;0.594;");
  EXPECT_NE(records.back().find("/daten/welle.qrk"), std::string::npos) << records.back();
  CadBeginBlocks();
  CadBeginBlock("Rad1");
  CadLine(0, 0, 1, 0);
  CadEndBlock();
  const std::vector<std::string> users{"$head_0.dx$", "$logo_1.dx$"};
  EXPECT_EQ(FolderEntries(tmp_.Path()), users) << "the block stays in memory";
  CadEndSection();
  CadBeginEntities();
  CadInsertBlock("RAD1", 10, 20, 90, 2, 2);
  EXPECT_EQ(DisplayListText().back(), "4;10;20;10;22");
  CadEndOutput();
  EXPECT_EQ(FolderEntries(tmp_.Path()), users);
}

}  // namespace
}  // namespace qern::test
