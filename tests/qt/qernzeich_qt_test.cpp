// Every drawing kind on the screen road, painted headless into an image: something is drawn, and
// the geometry stays inside the kind's extents. With QERN_DRAWING_SHOTS=<folder> set,
// DrawingScreens.Shots saves pictures of three kinds (scripts/screenshot-drawings.sh).
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/qernstart.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/qt/fzorqgra.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

class DrawingScreens : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetProgramIdentity();
    InitGraphicState();
    // The mapping's viewport is the screen size of the settings: the drawing area's size here.
    Settings.ScreenWidth = 1200;
    Settings.ScreenHeight = 850;
    Settings.BackgroundColor = 0xFFFFFF;
    Settings.TempFolder = dir_.Path() + "/";
    window_ = std::make_unique<TFzorqgra>();
    device_ = std::make_unique<TDrawDevice>();
    DrawDevice = device_.get();
    window_->DrawingArea()->setFixedSize(1200, 850);
    window_->show();
    SetDefaultDesign();
    CalculateSerration();
    Flags.AbortFlag = false;
  }
  void TearDown() override {
    DrawDevice = nullptr;
    device_.reset();
    window_.reset();
    FZorqgra = nullptr;
    SetDefaultDesign();
    ResetErrors();
  }
  QImage Draw(int kind) {
    Flags.AbortFlag = false;
    DrawMenu(3, kind);
    return window_->DrawingArea()->grab().toImage();
  }
  test::TempFolder dir_;
  std::unique_ptr<TFzorqgra> window_;
  std::unique_ptr<TDrawDevice> device_;
};

int Inked(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2)
      if ((img.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) ++n;
  return n;
}

// Lines, circles and arcs of the list lie inside the world box of its window record.
void ExpectInsideExtents(int kind) {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  int outside = 0, shapes = 0;
  std::string first;
  for (const DisplayRecord& r : DisplayList) {
    if (r.Code == RecWindow) {
      xmin = r.Args[4], ymin = r.Args[5], xmax = r.Args[6], ymax = r.Args[7];
      continue;
    }
    const double mx = 0.02 * (xmax - xmin), my = 0.02 * (ymax - ymin);
    auto in = [&](double x, double y) {
      return x >= xmin - mx && x <= xmax + mx && y >= ymin - my && y <= ymax + my;
    };
    if (r.Code == RecLine) {
      ++shapes;
      if (!in(r.Args[0], r.Args[1]) || !in(r.Args[2], r.Args[3])) {
        if (outside++ == 0) first = r.ToText();
      }
    } else if (r.Code == RecCircle) {
      ++shapes;
      if (!in(r.Args[0] - r.Args[2], r.Args[1] - r.Args[2]) || !in(r.Args[0] + r.Args[2], r.Args[1] + r.Args[2]))
        if (outside++ == 0) first = r.ToText();
    }
  }
  if (kind == 10) return;  // extents and logo blocks only
  EXPECT_GT(shapes, 0) << "kind " << kind;
  EXPECT_EQ(outside, 0) << "kind " << kind << " of " << shapes << ", first " << first << " in "
                        << xmin << " " << ymin << " " << xmax << " " << ymax;
}

TEST_F(DrawingScreens, EveryKindOfEveryDesignIsDrawnInsideItsExtents) {
  std::vector<std::string> designs = {""};
  for (const auto& f : std::filesystem::directory_iterator(QERN_SOURCE_DATA "/examples"))
    designs.push_back(f.path().string());
  for (const std::string& design : designs) {
    if (!design.empty()) {
      Flags.ErrorBoxesEnabled = false;
      ReadDataFile(design);
      Flags.ErrorBoxesEnabled = true;
      ASSERT_FALSE(Flags.AbortFlag) << design;
    }
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      SCOPED_TRACE(design + " kind " + std::to_string(kind));
      const QImage img = Draw(kind);
      EXPECT_FALSE(Flags.AbortFlag);
      if (kind != 10) {
        EXPECT_GT(Inked(img), 200);
      }
      ExpectInsideExtents(kind);
    }
    // The screen's blocks stay in memory: no file is left, none was made.
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path())) << design;
  }
}

TEST_F(DrawingScreens, Shots) {
  const char* folder = std::getenv("QERN_DRAWING_SHOTS");
  if (!folder || !*folder) GTEST_SKIP() << "QERN_DRAWING_SHOTS not set";
  Settings.BackgroundColor = ProgramSettings{}.BackgroundColor;  // the program's dark background
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  for (int kind : {5, 8, 14}) {
    Draw(kind);
    QTest::qWait(100);
    const std::string file = std::string(folder) + "/kind" + std::to_string(kind) + ".png";
    EXPECT_TRUE(window_->DrawingArea()->grab().save(QString::fromStdString(file))) << file;
  }
}

}  // namespace
}  // namespace qern
