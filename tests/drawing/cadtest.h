// Shared set-up of the CAD layer tests: fresh program and layer state, a private folder for
// temporary files and output, scripted dialogs, and helpers that run one output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/cadbackend.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilmath.h"
#include "framework/zorqgraf.h"
#include "platform/scripteddialogs.h"
#include "support/testutil.h"

namespace qern::test {

class CadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    CadState = CadOutputState{};
    Settings.TempFolder = AddBackslash(tmp_.Path());
    Settings.ScreenWidth = 1024;
    Settings.ScreenHeight = 768;
    Session.CurrentFileName = tmp_.File("out");
    Flags.BatchCadOutput = true;
    DisplayList.clear();
  }
  void TearDown() override {
    CadEndOutput();
    Flags.BatchCadOutput = false;
  }

  // Runs body between CadBeginOutput(device) and CadEndOutput.
  void Output(int device, const std::function<void()>& body) {
    Flags.AbortFlag = false;
    CadBeginOutput(device);
    ASSERT_FALSE(Flags.AbortFlag);
    body();
    CadEndOutput();
  }
  // A whole DXF file written by body; its lines.
  std::vector<std::string> Dxf(const std::function<void()>& body) {
    Output(CadDeviceDxf, body);
    return ReadFileLines(tmp_.File("out.dxf"));
  }

  TempFolder tmp_;
  ScopedScriptedDialogs dialogs_;
};

// A back end that only notes the box of the shapes drawn: lines, solids, polyline vertices,
// circles and arcs by their whole circle; texts and inserts left out.
class ShapesBox : public CadBackEnd {
 public:
  void Line(long double x1, long double y1, long double x2, long double y2) override {
    Add(x1, y1), Add(x2, y2);
  }
  void Circle(long double x, long double y, long double r) override {
    Add(x - r, y - r), Add(x + r, y + r);
  }
  void Arc(long double x, long double y, long double, long double, long double r) override {
    Circle(x, y, r);
  }
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4) override {
    Add(x1, y1), Add(x2, y2), Add(x3, y3), Add(x4, y4);
  }
  void Vertex(long double x, long double y, long double) override { Add(x, y); }
  CadBox box;

  // The box of what body draws.
  static CadBox Of(const std::function<void()>& body) {
    std::unique_ptr<CadBackEnd> before = SwapCadBackEnd(std::make_unique<ShapesBox>());
    body();
    std::unique_ptr<CadBackEnd> drawn = SwapCadBackEnd(std::move(before));
    return static_cast<ShapesBox&>(*drawn).box;
  }

 private:
  void Add(long double x, long double y) {
    if (box.Empty()) {
      box = {x, y, x, y};
      return;
    }
    box = {std::min(box.xmin, x), std::min(box.ymin, y), std::max(box.xmax, x),
           std::max(box.ymax, y)};
  }
};

// An A3 drawing with every section and nothing in them.
inline void EmptySheet() {
  CadBeginDrawing(0, 0, 420, 297);
  CadTables();
  CadBeginBlocks();
  CadEndSection();
  CadBeginEntities();
  CadEndSection();
}

// The names in a folder (hidden ones too), sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The groups from the one whose value is `from` up to (without) the next one whose value is `to`.
inline std::vector<std::string> Slice(const std::vector<std::string>& lines, const std::string& from,
                                      const std::string& to) {
  std::vector<std::string> out;
  size_t i = 1;
  while (i < lines.size() && lines[i] != from) i += 2;
  if (i >= lines.size()) return out;
  for (--i; i < lines.size(); ++i) {
    if (!out.empty() && lines[i] == to) break;
    out.push_back(lines[i]);
  }
  return out;
}

// How often the group (code line, value) occurs.
inline int CountGroups(const std::vector<std::string>& lines, const std::string& code,
                       const std::string& value) {
  int n = 0;
  for (size_t i = 0; i + 1 < lines.size(); i += 2)
    if (lines[i] == code && lines[i + 1] == value) ++n;
  return n;
}

// Every primitive and structure call once, blocks nested three deep.
inline void EveryPrimitive() {
  CadSetPen(0);
  CadBeginDrawing(-2, -5, 422, 305);
  CadTables();
  CadBeginBlocks();
  CadBeginBlock("zahn1");
  CadSetPen(5);
  CadPolylineBegin(0);
  CadVertex(-2, 10, -0.3L);
  CadVertex(-1, 5, 0);
  CadVertex(1, 5, 0.4L);
  CadVertex(2, 10, 0);
  CadPolylineEnd();
  CadLine(0, 0, 0, 12);
  CadEndBlock();
  CadBeginBlock("rad1");
  for (int i = 1; i <= 12; ++i) CadInsertBlock("ZAHN1", 0, 0, 30.0L * i, 1, 1);
  CadSetPen(1);
  CadCircle(0, 0, 8);
  CadEndBlock();
  CadBeginBlock("TABELLE");
  CadSetPen(4);
  CadSetTextStyle(2, 0, 3.5L, 2.5L);
  CadText("Zähnezahl ± 0,05 °", 1, 1);
  CadSolid(0, 0, 5, 0, 0, 5, 5, 5);
  CadInsertBlock("rad1", 50, 50, 0, 0.5L, 0.5L);
  CadEndBlock();
  CadEndSection();

  CadBeginEntities();
  CadInsertBlock("RAD1", 100, 100, 15, 2, 2);
  CadInsertBlock("tabelle", 200, 50, 0, 1, 1);
  CadInsertBlock("WERKZ1", 250, 236, 0, 1, 1);  // never defined: skipped
  CadSetPen(2);
  CadArc(10, 10, 30, 120, 5);
  CadArc(10, 10, 0, 360, 4);
  CadSetPen(17);
  CadCircle(20, 20, 3);
  CadSetPen(8);
  CadRectangle(300, 10, 400, 60);
  CadHLine(300, 70, 10);
  CadVLine(300, 70, 10);
  CadHLineCentred(320, 80, 10);
  CadVLineCentred(320, 80, 10);
  CadSetTextStyle(2, 30, 2.5L, 0);
  CadMoveTo(300, 200);
  CadTextAtPen("Zeile 1");
  CadTextAtPen("Zeile 2");
  CadSetPen(0);
  CadSetSymbolScale(1);
  CadDimension("12.5", "", "", 40, 0, 40, 12.5L, 60);
  CadDimension("8", "0.05", "-0.05", 80, 0, 80, 8, 70);
  CadDimensionText("10", "+0.1", "-0.2", 0, 10, 90);
  CadArrow(150, 150, 45, 10, 5, 10);
  CadPolylineBegin(1);
  CadVertex(150, 10, 0);
  CadVertex(170, 10, Pi / 2);
  CadVertex(170, 30, 0);
  CadPolylineEnd();
  CadEndSection();
  SetPrintPreset(3);
}

}  // namespace qern::test
