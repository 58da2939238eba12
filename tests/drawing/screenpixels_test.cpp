// What every drawing kind paints on the screen, kept as fingerprints of the
// canvas calls of its replay: pixels, pens, colours, and arc angles in the
// sixteenths of a degree the window takes. The arithmetic that brings a drawing
// to the screen may change; what it paints may not.
#include <gtest/gtest.h>

#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/zorqgraf.h"
#include "support/testutil.h"

namespace qern::test {
namespace {

// Folds every call into one number (FNV-1a). A text counts by its place and font size, not by its
// characters (a sheet shows the date it was drawn).
class FingerprintCanvas : public Canvas {
 public:
  uint64_t hash = 14695981039346656037ULL;
  void SetPen(uint32_t c, int w, int s) override { Add(1, {int(c), w, s}); }
  void SetBrush(uint32_t c) override { Add(2, {int(c)}); }
  void Line(int a, int b, int c, int d) override { Add(3, {a, b, c, d}); }
  void Ellipse(int a, int b, int c, int d) override { Add(4, {a, b, c, d}); }
  void Arc(int a, int b, int c, int d, double s, double w) override {
    Add(5, {a, b, c, d, int(std::lround(s * 16)), int(std::lround(w * 16))});
  }
  void Polygon(const std::array<int, 8>& p) override {
    Add(6, {p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]});
  }
  void Text(int x, int y, const std::string&, const CanvasFont& f) override {
    Add(7, {x, y, f.Height, f.Width, int(std::lround(f.Angle * 10))});
  }
  void Frame(int a, int b, int c, int d) override { Add(8, {a, b, c, d}); }

 private:
  void Add(int code, std::initializer_list<int> values) {
    Mix(code);
    for (int v : values) Mix(v);
  }
  void Mix(int v) {
    for (int i = 0; i < 4; ++i) {
      hash ^= (static_cast<uint32_t>(v) >> (8 * i)) & 0xFF;
      hash *= 1099511628211ULL;
    }
  }
};

struct PixelCase {
  const char* file;  // under the shipped data; "" the default design
  int teeth;         // 0: as the design has it
  std::vector<int> kinds;
  std::vector<uint64_t> fingerprints;
};

// Names a case in the test list by its design, not by its bytes.
void PrintTo(const PixelCase& c, std::ostream* os) {
  *os << (*c.file ? c.file : "default design");
  if (c.teeth > 0) *os << ", " << c.teeth << " teeth";
}

std::vector<int> AllKinds() {
  std::vector<int> k;
  for (int i = 1; i <= DrawingKindCount; ++i) k.push_back(i);
  return k;
}

class ScreenPixels : public ::testing::TestWithParam<PixelCase> {
 protected:
  void SetUp() override {
    InitProgramState();
    InitDrawingInfo();
    Settings.TempFolder = dir_.Path() + "/";
    Settings.ScreenWidth = 1024;
    Settings.ScreenHeight = 768;
    Flags.ErrorBoxesEnabled = false;
  }
  void TearDown() override {
    Flags.ErrorBoxesEnabled = true;
    DisplayList.clear();
    SetDefaultDesign();
    InitDrawingInfo();
    ResetErrors();
  }
  TempFolder dir_;
};

TEST_P(ScreenPixels, EveryKindPaintsWhatItPainted) {
  const PixelCase& d = GetParam();
  if (*d.file) {
    ReadDataFile(std::string(QERN_SOURCE_DATA "/") + d.file);
  } else {
    SetDefaultDesign();
  }
  if (d.teeth > 0) {
    Design.ToothCount[1] = d.teeth;
    Design.ToothCount[2] = -d.teeth;
  }
  CalculateSerration();
  Session.CurrentFileName = dir_.File("d");
  std::string got;
  for (size_t i = 0; i < d.kinds.size(); ++i) {
    Flags.AbortFlag = false;
    DrawMenu(CadDeviceScreen, d.kinds[i]);
    FingerprintCanvas canvas;
    ReplayDisplayList(DisplayList, &canvas);
    char text[40];
    std::snprintf(text, sizeof text, "0x%016" PRIx64 "ULL, ", canvas.hash);
    got += text;
    if (i < d.fingerprints.size()) {
      EXPECT_EQ(canvas.hash, d.fingerprints[i]) << "kind " << d.kinds[i];
    }
  }
  EXPECT_EQ(d.fingerprints.size(), d.kinds.size()) << got;
  if (HasFailure()) ADD_FAILURE() << "fingerprints now: " << got;
}

INSTANTIATE_TEST_SUITE_P(
    Designs, ScreenPixels,
    ::testing::Values(
        PixelCase{"",
                  0,
                  AllKinds(),
                  {0x57ff30f93ff99997ULL, 0x73fa2d886ec6d7ceULL, 0xde3d7dc05697998dULL,
                   0xde3d7dc05697998dULL, 0x0152c3339d803ad2ULL, 0x6085b5c24bc9b2adULL,
                   0xb2401eed956b19b4ULL, 0x2bdede6a2879635aULL, 0x74be76d36118fdfbULL,
                   0xe85c6b683ac9e65bULL, 0xf0110c57d650e5b1ULL, 0xf0110c57d650e5b1ULL,
                   0x37b395be3ef514d3ULL, 0x80ce1a95dc805f04ULL, 0x7e47969bbcafee1dULL,
                   0x85fd21715e54ea56ULL, 0xf34145858528d206ULL, 0x4618707b8d153e44ULL,
                   0xd512e9e2468dd708ULL, 0xc1a1980203192babULL, 0xe932a4f381e06577ULL}},
        PixelCase{"examples/diametral_pitch.qrk",
                  0,
                  AllKinds(),
                  {0xff800089f263c261ULL, 0x7e19ac2e5abc77b1ULL, 0xde3d7dc05697998dULL,
                   0xde3d7dc05697998dULL, 0xe538d44a1d2f33fcULL, 0x1535bcd90240e4efULL,
                   0xa6f9b61e1ae5d361ULL, 0x493c3467e3588f7cULL, 0x74be76d36118fdfbULL,
                   0xe85c6b683ac9e65bULL, 0xf0110c57d650e5b1ULL, 0xf0110c57d650e5b1ULL,
                   0x37b395be3ef514d3ULL, 0x98f36060f679838aULL, 0x23157238255fdad0ULL,
                   0x2cbecdad9bfdb928ULL, 0x0d6d0d98907193c1ULL, 0x65dba09033262a0dULL,
                   0x519e15b2e5ecd8b8ULL, 0x35ad473baf5e0eebULL, 0x1b40de796bfe0753ULL}},
        PixelCase{"examples/welle_mit_spielen.qrk",
                  0,
                  AllKinds(),
                  {0x72234c0568689ceeULL, 0x690fc56478be5be5ULL, 0xde3d7dc05697998dULL,
                   0xde3d7dc05697998dULL, 0xd25a12746b02dc3cULL, 0x60d902225c647ac1ULL,
                   0x5193836bd572d714ULL, 0x758561c39e21ca85ULL, 0x74be76d36118fdfbULL,
                   0xe85c6b683ac9e65bULL, 0xf0110c57d650e5b1ULL, 0xf0110c57d650e5b1ULL,
                   0x37b395be3ef514d3ULL, 0xf3ffa8fd1a66883bULL, 0x86a2b233baec41feULL,
                   0x3f02e1839a8a8a99ULL, 0xd208893fd3ecbc69ULL, 0xd46df00deff7c544ULL,
                   0x9c9d1a4015b1b7ebULL, 0x0e70f7fa683a96e3ULL, 0x9eb535bca2678dd5ULL}},
        PixelCase{"", 1000, {7, 18}, {0x94b4fc4006d9348bULL, 0x5db7f573305c2900ULL}},
        PixelCase{"", 9999, {7}, {0xb2ed6c3b3f1b5ad3ULL}}));

}  // namespace
}  // namespace qern::test
