// The graphics window on Qt: replay into images, the window's paint, keys, rubber band, printout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRubberBand>
#include <QTest>

#include "framework/progvar.h"
#include "framework/qt/fzorqgra.h"
#include "framework/qt/paintercanvas.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

QRgb Rgb(int value) { return ColorFromValue(static_cast<uint32_t>(value)).rgb(); }

// True when a pixel of colour c lies within d pixels of (x, y).
bool Near(const QImage& img, int x, int y, QRgb c, int d = 1) {
  for (int yy = y - d; yy <= y + d; ++yy)
    for (int xx = x - d; xx <= x + d; ++xx)
      if (img.valid(xx, yy) && img.pixel(xx, yy) == c) return true;
  return false;
}

int CountColour(const QImage& img, QRect r, QRgb c) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.valid(x, y) && img.pixel(x, y) == c) ++n;
  return n;
}

class GraphicQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    InitGraphicState();
    Settings.ScreenWidth = 640;
    Settings.ScreenHeight = 480;
    Settings.BackgroundColor = 0xFFFFFF;
    device = std::make_unique<TDrawDevice>();
    DrawDevice = device.get();
  }
  void TearDown() override {
    device.reset();
    FZorqgra = nullptr;
  }
  QImage Replay() {
    QImage img(641, 481, QImage::Format_RGB32);
    img.fill(Rgb(Settings.BackgroundColor));
    QPainter p(&img);
    PainterCanvas c(p);
    ReplayDisplayList(DisplayList, &c);
    return img;
  }
  std::unique_ptr<TDrawDevice> device;
};

TEST_F(GraphicQtTest, ReplayDrawsWhereTheMappingSays) {
  device->SetWindow(false, false, 0, 0, 1, 1, 0, 0, 100, 100);
  device->SetColor(4);
  device->Window().SetLineWidth(5);
  device->Line(0, 50, 100, 50);
  device->SetLineStyle(3);
  device->Window().SetLineWidth(1);
  device->Line(0, 20, 100, 20);
  device->SetLineStyle(0);
  device->SetColor(9);
  device->Circle(50, 50, 10);
  device->SetColor(2);
  device->Solid(10, 10, 20, 10, 20, 20, 10, 20);
  device->SetColor(13);
  device->Arc(50, 50, 0, 90, 20);
  device->SetColor(14);
  device->Arc(20, 80, 30, 390, 5);  // a whole turn
  device->SetColor(0);              // erases
  device->Line(90, 0, 90, 100);
  QImage img = Replay();

  const QRgb red = Rgb(Settings.ColorPalette[4]);
  EXPECT_EQ(img.pixel(MapX(25), MapY(50)), red);
  EXPECT_EQ(CountColour(img, QRect(MapX(75), 230, 1, 20), red), 5);  // five pixels wide
  EXPECT_EQ(img.pixel(MapX(90), 240), Rgb(Settings.BackgroundColor));  // erased by colour 0
  int dashed = CountColour(img, QRect(0, MapY(20), 640, 1), red);
  EXPECT_GT(dashed, 100);  // partly drawn
  EXPECT_LT(dashed, 600);

  const QRgb blue = Rgb(Settings.ColorPalette[9]);
  EXPECT_TRUE(Near(img, MapX(50), MapY(60), blue));  // top of the circle
  EXPECT_TRUE(Near(img, MapX(40), MapY(50) - 3, blue));

  const QRgb lime = Rgb(Settings.ColorPalette[2]);
  EXPECT_EQ(img.pixel(MapX(15), MapY(15)), lime);  // filled
  EXPECT_NE(img.pixel(MapX(25), MapY(15)), lime);

  const QRgb fuchsia = Rgb(Settings.ColorPalette[13]);
  const double c45 = 20 * std::sqrt(0.5);
  EXPECT_TRUE(Near(img, MapX(50 + c45), MapY(50 + c45), fuchsia, 2));  // inside the sweep
  EXPECT_FALSE(Near(img, MapX(50 - c45), MapY(50 - c45), fuchsia, 3));  // opposite side

  const QRgb yellow = Rgb(Settings.ColorPalette[14]);
  for (auto [x, y] : {std::pair{15, 80}, {25, 80}, {20, 75}}) EXPECT_TRUE(Near(img, MapX(x), MapY(y), yellow)) << x;
}

TEST_F(GraphicQtTest, TextLandsAboveItsReferencePoint) {
  device->SetWindow(false, false, 0, 0, 1, 1, 0, 0, 100, 100);
  device->SetColor(4);
  device->SetTextStyle(1, 0, 5, 5);
  device->OutTextXY("HHHH", 10, 50);
  QImage img = Replay();
  const QRgb red = Rgb(Settings.ColorPalette[4]);
  // Height 5 * 1.6 = 8 units: the text box runs from y 56 down to about y 48.
  int top = MapY(56), bottom = MapY(46);
  EXPECT_GT(CountColour(img, QRect(MapX(10), top, 300, bottom - top), red), 50);
  EXPECT_EQ(CountColour(img, QRect(0, 0, 640, top - 2), red), 0);
  EXPECT_EQ(CountColour(img, QRect(0, MapY(40), 640, 100), red), 0);
}

TEST_F(GraphicQtTest, WindowPaintsKeysZoomAndMousePans) {
  TFzorqgra w;
  ASSERT_EQ(FZorqgra, &w);
  EXPECT_EQ(w.windowTitle(), "ZorqGraf");
  w.DrawingArea()->setFixedSize(641, 481);
  w.show();
  device->SetWindow(false, false, 0, 0, 1, 1, 0, 0, 100, 100);
  device->SetColor(4);
  device->Line(0, 50, 100, 50);
  QImage img = w.DrawingArea()->grab().toImage();
  const QRgb red = Rgb(Settings.ColorPalette[4]);
  EXPECT_EQ(img.pixel(320, 240), red);
  EXPECT_EQ(img.pixel(320, 100), Rgb(Settings.BackgroundColor));

  QTest::keyClick(&w, Qt::Key_Plus);  // only the keypad's plus zooms
  EXPECT_EQ(Graph.ZoomRect.x1, 0);
  QTest::keyClick(&w, Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_EQ(Graph.ZoomRect.x1, 54);
  QTest::keyClick(&w, Qt::Key_Escape);
  QTest::keyClick(&w, Qt::Key_Left);  // world x 10 at the left edge
  img = w.DrawingArea()->grab().toImage();
  EXPECT_EQ(img.pixel(0, 240), red);
  EXPECT_NE(img.pixel(630, 240), red);  // world x 100 is now at pixel 576
  QTest::keyClick(&w, Qt::Key_F5);

  QWidget* area = w.DrawingArea();
  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(320, 240));
  QTest::mouseMove(area, QPoint(600, 10));
  EXPECT_TRUE(area->findChild<QRubberBand*>()->isVisible());
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(640, 0));  // the upper right quarter
  EXPECT_FALSE(area->findChild<QRubberBand*>()->isVisible());
  EXPECT_NEAR(double(Graph.VisibleXMin), 50, 1e-9);
  EXPECT_NEAR(double(Graph.VisibleXMax), 100, 1e-9);
  EXPECT_NEAR(double(Graph.VisibleYMin), 50, 1e-9);
  img = w.DrawingArea()->grab().toImage();
  EXPECT_EQ(img.pixel(320, 480), red);  // y 50 is now the bottom edge

  QTest::mouseClick(area, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_DOUBLE_EQ(double(Graph.VisibleXMin), 0);
  QTest::mousePress(area, Qt::LeftButton, {}, QPoint(320, 240));
  QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(640, 1));
  QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(5, 5));  // a double click shows all again
  EXPECT_DOUBLE_EQ(double(Graph.VisibleXMin), 0);
  EXPECT_FALSE(w.Dragging);
}

TEST_F(GraphicQtTest, DirectLinesVanishWithTheNextPaint) {
  TFzorqgra w;
  w.DrawingArea()->setFixedSize(641, 481);
  device->SetWindow(false, false, 0, 0, 1, 1, 0, 0, 100, 100);
  w.MoveTo(0, 25);
  w.LineTo(100, 25);
  const QRgb white = Rgb(Settings.ColorPalette[15]);
  Settings.BackgroundColor = 0;
  EXPECT_EQ(w.DrawingArea()->grab().toImage().pixel(320, 360), white);
  EXPECT_NE(w.DrawingArea()->grab().toImage().pixel(320, 360), white);
}

TEST_F(GraphicQtTest, PrintoutUsesThePageMappingAndWritesPdf) {
  device->SetWindow(false, false, 0, 0, 1, 1, 0, 0, 100, 100);
  device->SetColor(4);
  device->Line(0, 50, 100, 50);
  device->OutTextXY("Text", 10, 80);
  PrintMapping m;
  m.PrintScaleX = 0.5;
  m.PrintScaleY = 0.5;
  m.PrintOffsetY = 21;  // a tenth of the page width
  m.PrintColorMode = 2;
  QImage page(1000, 1400, QImage::Format_RGB32);
  page.fill(Qt::white);
  ASSERT_TRUE(PrintDisplayList(page, m));
  EXPECT_FALSE(Graph.PrintFlag);
  const QRgb red = Rgb(Settings.ColorPalette[4]);
  // x: 1000 * px * 0.5 / 640; y: 1400 * 240 * 0.5 / 480 + 1000 * 21 / 210.
  EXPECT_EQ(page.pixel(250, 450), red);
  EXPECT_EQ(page.pixel(499, 450), red);
  EXPECT_NE(page.pixel(600, 450), red);
  EXPECT_GT(CountColour(page, QRect(0, 0, 500, 400), red), 20);  // the text, on paper only

  test::TempFolder dir;
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.File("out.pdf")));
  ASSERT_TRUE(PrintDisplayList(printer, m));
  EXPECT_GT(test::ReadWholeFile(dir.File("out.pdf")).size(), 500u);

  QPrinter fallback;
  if (UsePdfWhenNoPrinter(fallback, QString::fromStdString(dir.File("fallback.pdf")))) {
    EXPECT_EQ(fallback.outputFormat(), QPrinter::PdfFormat);
  }
}

}  // namespace
}  // namespace qern
