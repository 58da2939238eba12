// Display list, mapping, zoom and pan of the graphics window core, and the drawing device.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"
#include "platform/scripteddialogs.h"

namespace qern {
namespace {

using Strings = std::vector<std::string>;

// Records every canvas call as text.
class LogCanvas : public Canvas {
 public:
  std::vector<std::string> Calls;
  void SetPen(uint32_t c, int w, int s) override { Add("pen", {int(c), w, s}); }
  void SetBrush(uint32_t c) override { Add("brush", {int(c)}); }
  void Line(int a, int b, int c, int d) override { Add("line", {a, b, c, d}); }
  void Ellipse(int a, int b, int c, int d) override { Add("ellipse", {a, b, c, d}); }
  void Arc(int a, int b, int c, int d, double s, double w) override {
    Add("arc", {a, b, c, d, int(std::lround(s)), int(std::lround(w))});
  }
  void Polygon(const std::array<int, 8>& xy) override {
    Add("polygon", {xy[0], xy[1], xy[2], xy[3], xy[4], xy[5], xy[6], xy[7]});
  }
  void Text(int x, int y, const std::string& t, const CanvasFont& f) override {
    Add("text " + t, {x, y, f.Height, int(f.Color)});
  }
  void Frame(int a, int b, int c, int d) override { Add("frame", {a, b, c, d}); }
  std::vector<std::string> Of(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& c : Calls)
      if (c.rfind(kind + " ", 0) == 0 || c == kind) out.push_back(c);
    return out;
  }

 private:
  void Add(const std::string& k, std::initializer_list<int> v) {
    std::string s = k;
    for (int x : v) s += " " + std::to_string(x);
    Calls.push_back(s);
  }
};

class GraphicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    InitGraphicState();
    Settings.ScreenWidth = 640;
    Settings.ScreenHeight = 480;
    SetDialogService(&dialogs);
    device = std::make_unique<TDrawDevice>();
    DrawDevice = device.get();
    win.FormCreate();
    FZorqgra = &win;
  }
  void TearDown() override {
    FZorqgra = nullptr;
    device.reset();
    SetDialogService(nullptr);
  }
  // Whole screen, no frame, no aspect correction.
  void PlainWindow(long double w = 100, long double h = 100) {
    win.SetWindow(false, false, 0, 0, 1, 1, 0, 0, w, h);
  }
  // The shown world box, to 1e-9.
  static void ExpectVisible(double xMin, double xMax, double yMin, double yMax) {
    EXPECT_NEAR(double(Graph.VisibleXMin), xMin, 1e-9);
    EXPECT_NEAR(double(Graph.VisibleXMax), xMax, 1e-9);
    EXPECT_NEAR(double(Graph.VisibleYMin), yMin, 1e-9);
    EXPECT_NEAR(double(Graph.VisibleYMax), yMax, 1e-9);
  }
  static std::array<int, 4> Zoom() {
    return {Graph.ZoomRect.x1, Graph.ZoomRect.y1, Graph.ZoomRect.x2, Graph.ZoomRect.y2};
  }
  ScriptedDialogService dialogs;
  GraphicWindow win;
  std::unique_ptr<TDrawDevice> device;
};

TEST_F(GraphicTest, WritersSuppressRepeatsAndClearStartsAfresh) {
  win.SetColor(3);
  win.SetColor(3);
  win.SetColor(17);
  win.SetLineStyle(2);
  win.SetLineStyle(2);
  win.SetLineWidth(1);  // 1 already
  win.SetLineWidth(3);
  EXPECT_EQ(DisplayListText(), (Strings{"8;3", "11;2", "12;3"}));
  EXPECT_EQ(win.GetColor(), 3);

  win.Clear();
  EXPECT_TRUE(DisplayList.empty());
  win.SetColor(0);  // a first colour 0 is written: drawing in it erases
  win.SetColor(3);
  win.SetLineStyle(2);
  win.SetLineWidth(1);  // the replay starts with width 1: nothing needed
  win.SetLineStyleName("punkt");  // names are case-sensitive
  win.SetLineStyleName("PUNKT");
  win.SetLineStyleName("STRICHPUNKT");
  win.SetLineStyleName("VERDECKT");
  EXPECT_EQ(DisplayListText(),
            (Strings{"8;0", "8;3", "11;2", "11;0", "11;1", "11;2", "11;3"}));
}

TEST_F(GraphicTest, ArcEndsLieWhereTheLibrarysSineAndCosinePutThem) {
  // The end points within a few units of the doubles' last place of the library's long double
  // sine and cosine (far below a pixel, whose fingerprints another test keeps), for arcs as drawings make them: any centre and radius,
  // angles in whole, decimal and odd degrees, beyond a turn and negative.
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> place(-500, 500), size(0.01, 300);
  for (int i = 0; i < 100000; ++i) {
    const long double x = i % 4 == 0 ? 0 : place(random), y = i % 8 == 1 ? 0 : place(random);
    const long double r = size(random);
    long double a = static_cast<long double>(static_cast<int64_t>(random() % 14400)) / 4 - 1800;
    if (i % 3 == 1) a += place(random);
    const long double b = a + 5 + static_cast<long double>(random() % 3500) / 10;
    DisplayList.clear();
    win.Arc(x, y, a, b, r);
    ASSERT_EQ(DisplayList.size(), 1u);
    const DisplayRecord& rec = DisplayList[0];
    ASSERT_EQ(rec.Code, RecArc);
    const long double sa = DegToRad(a), sb = DegToRad(b);
    // (Also the angle's rounding to a double, turned by the radius.)
    const double near = 0x1p-52 * static_cast<double>(4 * (std::fabs(x) + std::fabs(y) + r) +
                                                      r * std::fabs(b) * Pi / 180);
    ASSERT_NEAR(rec.Args[4], static_cast<double>(x + r * std::cos(sa)), near) << i;
    ASSERT_NEAR(rec.Args[5], static_cast<double>(y + r * std::sin(sa)), near) << i;
    ASSERT_NEAR(rec.Args[6], static_cast<double>(x + r * std::cos(sb)), near) << i;
    ASSERT_NEAR(rec.Args[7], static_cast<double>(y + r * std::sin(sb)), near) << i;
  }
  // Whole quarter turns end exactly on the axes through the centre.
  DisplayList.clear();
  win.Arc(0.1L, 0.2L, 450, 540, 3);
  ASSERT_EQ(DisplayList.size(), 1u);
  EXPECT_EQ((std::array{DisplayList[0].Args[4], DisplayList[0].Args[5], DisplayList[0].Args[6],
                        DisplayList[0].Args[7]}),
            (std::array{0.1, 3.2, -2.9, 0.2}));
}

TEST_F(GraphicTest, RecordTextForms) {
  win.line(1, 2.5, 3, 4);
  win.circle(10, 20, 0.125);
  win.Arc(0, 0, 10, 12, 10);   // short arc: a line between the end points
  win.Arc(0, 0, 0, 180, 10);   // a real arc
  win.OutTextXY("a;b", 1, 2);
  win.SetTextStyle(2, 90, 3.5, 2.5);
  win.Solid(0, 0, 1, 0, 1, 1, 0, 1);
  win.SleepMs(20);
  win.Arc(5, 6, 30, 390, 2);  // whole turns are circles
  win.Arc(5, 6, 0, -360, 2);
  auto t = DisplayListText();
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t[3].substr(0, 25), "5;-10;-10;10;10;10;0;-10;");  // end y: a rounding residue
  t[3] = "5";
  EXPECT_EQ(t, (Strings{"4;1;2.5;3;4", "3;10;20;0.125",
                                      "4;9.8480775;1.7364818;9.781476;2.0791169", "5", "6;1;2;a;b",
                                      "9;3.5;2.5;2;90", "7;0;0;1;0;1;1;0;1", "13;20", "3;5;6;2",
                                      "3;5;6;2"}));
}

TEST_F(GraphicTest, NumberTextsAndParsing) {
  const std::pair<long double, const char*> numbers[] = {
      {0, "0"},           {0.5, "0.5"},          {-12.3456789, "-12.345679"},      {100, "100"},
      {0.00012, "0.00012"}, {1.5e-6, "1.5E-6"}, {123456789, "1.2345679E8"}};
  for (const auto& [value, text] : numbers) EXPECT_EQ(DisplayNumberText(value), text);

  auto r = ParseDisplayRecord("6;1,5;2;text; with ;semicolons");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Code, 6);
  EXPECT_DOUBLE_EQ(r->Args[0], 1.5);
  EXPECT_EQ(r->Text, "text; with ;semicolons");
  auto w = ParseDisplayRecord("10;1;1;639;479;0;0;1.5E-6;2");
  ASSERT_TRUE(w);
  EXPECT_DOUBLE_EQ(w->Args[6], 1.5e-6);
  EXPECT_EQ(w->ToText(), "10;1;1;639;479;0;0;1.5E-6;2");
  for (const char* bad : {"14;1", "0;1", "4;1;2;3", "4;1;x;3;4", "8"})
    EXPECT_FALSE(ParseDisplayRecord(bad)) << bad;
}

TEST_F(GraphicTest, SetWindowMapsWorldToPixels) {
  PlainWindow();
  EXPECT_EQ(DisplayListText().back(), "10;0;0;640;480;0;0;100;100");
  EXPECT_DOUBLE_EQ(double(Graph.ScaleX), 6.4);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleY), 4.8);
  EXPECT_EQ(MapX(50), 320);
  EXPECT_EQ(MapY(25), 360);
  EXPECT_EQ(MapLengthY(10), 48);

  win.SetWindow(false, true, 0.1, 0.05, 0.95, 0.95, 0, 0, 1, 1);
  EXPECT_EQ((std::array{Graph.ViewLeft, Graph.ViewTop, Graph.ViewRight, Graph.ViewBottom}),
            (std::array{65, 25, 607, 455}));
}

// The pixel a mapped length comes to as it always has: rounded half to even, kept in the int
// range, 0 for what is no number.
int ReferencePixel(long double v) {
  if (!std::isfinite(static_cast<double>(v))) return 0;
  const long double r = RoundHalfEven(v);
  return r > 1e9L ? 1000000000 : r < -1e9L ? -1000000000 : static_cast<int>(r);
}

// Coordinates in and far beyond the shown part of windows large and small, zoomed or not, map to
// the pixels of the rounding above; halves go to the even pixel.
TEST_F(GraphicTest, MappedPixelsAreThoseRoundedHalfToEven) {
  struct Box {
    long double xmin, ymin, xmax, ymax;
    bool keepAspect;
  };
  const Box boxes[] = {{0, 0, 160, 120, false},     {-5e3L, -2e3L, 9e4L, 7e4L, true},
                       {1e-6L, 1e-6L, 2e-6L, 3e-6L, true}, {-1e8L, -1e8L, 1e8L, 1e8L, false},
                       {0.1L, 0.2L, 297.3L, 210.7L, true}};
  std::mt19937_64 rng(51);
  std::uniform_real_distribution<double> unit(-1, 2);
  std::uniform_int_distribution<int> px(0, 640);
  for (const Box& b : boxes) {
    for (int zoom = 0; zoom < 3; ++zoom) {
      win.SetWindow(b.keepAspect, true, 0, 0, 1, 1, b.xmin, b.ymin, b.xmax, b.ymax);
      if (zoom > 0) win.SetScale(px(rng), px(rng) * 3 / 4, px(rng), px(rng) * 3 / 4);
      for (int i = 0; i < 20000; ++i) {
        // (The display list keeps doubles.)
        const double x = static_cast<double>(b.xmin + (b.xmax - b.xmin) * unit(rng));
        const double y = static_cast<double>(b.ymin + (b.ymax - b.ymin) * unit(rng));
        ASSERT_EQ(MapX(x), ReferencePixel((x - Graph.VisibleXMin) * Graph.ScaleX) + Graph.ViewLeft)
            << x;
        ASSERT_EQ(MapY(y),
                  Graph.ViewBottom - ReferencePixel((y - Graph.VisibleYMin) * Graph.ScaleY))
            << y;
        ASSERT_EQ(MapLengthX(x), ReferencePixel(Graph.ScaleX * x)) << x;
      }
    }
  }
  // Four pixels to the unit: every eighth of a unit past a pixel is a half.
  PlainWindow(160, 120);
  for (int k = -4000; k <= 4000; ++k) {
    const long double x = (k + 0.5L) / 4;
    ASSERT_EQ(MapX(x), k % 2 == 0 ? k : k + 1) << k;
    ASSERT_EQ(MapY(x), 480 - (k % 2 == 0 ? k : k + 1)) << k;
  }
  EXPECT_EQ(MapX(1e300), 1000000000);
  EXPECT_EQ(MapX(-1e300), -1000000000);
  EXPECT_EQ(MapX(2.5e8L + 0.125L), 1000000000);  // a half past 1e9
  EXPECT_EQ(MapX(INFINITY), 0);
  EXPECT_EQ(MapX(NAN), 0);
}

// Drawings map to the drawing area a window reports; the kept drawing follows a new size.
TEST_F(GraphicTest, DrawingAreaSizeSetsTheExtentAndScalesTheKeptDrawing) {
  PlainWindow();
  win.SetDrawingAreaSize(321, 241);  // client pixels: the extent is one less
  EXPECT_EQ(DrawingWidth(), 320);
  EXPECT_EQ(DrawingHeight(), 240);
  EXPECT_EQ(DisplayListText().back(), "10;0;0;320;240;0;0;100;100");
  EXPECT_EQ(MapY(0), 240);
  EXPECT_EQ(MapX(100), 320);
  win.SetWindow(false, true, 0, 0, 1, 1, 0, 0, 10, 10);
  EXPECT_EQ(DisplayListText().back(), "10;1;1;319;239;0;0;10;10");
  // Without a window again: the configured size.
  win.SetDrawingAreaSize(0, 0);
  EXPECT_EQ(DrawingWidth(), 640);
  EXPECT_EQ(DisplayListText().back(), "10;2;2;638;478;0;0;10;10");
}

TEST_F(GraphicTest, KeepAspectUsesTheSmallerScaleForBothAxes) {
  win.SetWindow(true, false, 0, 0, 1, 1, 0, 0, 200, 100);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleX), 3.2);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleY), 3.2);
  EXPECT_EQ(MapX(200), 640);  // fills the width
  // A wide screen of square pixels: circles stay round (no 4:3 monitor assumed).
  Settings.ScreenWidth = 800;
  win.SetWindow(true, false, 0, 0, 1, 1, 0, 0, 100, 100);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleX), 4.8);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleY), 4.8);
  win.circle(50, 50, 40);
  LogCanvas c;
  win.FormPaint(&c);
  EXPECT_EQ(c.Of("ellipse"), (Strings{"ellipse 48 48 432 432"}));
}

TEST_F(GraphicTest, EmptyBoxOrScreenNeverDivides) {
  PlainWindow();
  win.SetWindow(false, false, 0, 0, 1, 1, 5, 0, 5, 10);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleX), 6.4);  // unchanged
  win.Header(0, 0, 0, 10, 10);                  // from an empty box: no aspect factor
  EXPECT_TRUE(std::isfinite(double(Graph.ZoomAspectFactor)));

  Settings.ScreenWidth = Settings.ScreenHeight = 0;
  win.SetWindow(true, true, 0, 0, 1, 1, 0, 0, 10, 10);
  win.ResetZoom();
  EXPECT_TRUE(std::isfinite(double(Graph.ScaleX)));
  EXPECT_TRUE(std::isfinite(double(Graph.ScaleY)));
  win.FormMouseDown(MouseButton::Left, 0, 0);
  win.FormMouseUp(MouseButton::Left, 10, 10);
  EXPECT_TRUE(std::isfinite(double(Graph.VisibleXMin)));
}

TEST_F(GraphicTest, KeysZoomAndPanTheShownPart) {
  PlainWindow();
  win.processKey(GraphicKey::NumPlus);  // factor 1.2 about the centre
  EXPECT_EQ(Zoom(), (std::array<int, 4>{54, 40, 586, 440}));
  EXPECT_DOUBLE_EQ(double(Graph.VisibleXMin), 8.4375);
  EXPECT_NEAR(double(Graph.VisibleXMax - Graph.VisibleXMin), 100 * 532 / 640.0, 1e-9);
  win.processKey(GraphicKey::NumMinus);
  EXPECT_NEAR(Graph.ZoomRect.x1, 0, 1);
  EXPECT_NEAR(Graph.ZoomRect.x2, 640, 1);
  EXPECT_EQ(Graph.ZoomRect.y1, 0);
  EXPECT_EQ(Graph.ZoomRect.y2, 480);

  win.processKey(GraphicKey::Escape);
  win.processKey(GraphicKey::Up);  // 0.1 of the height towards smaller world y
  EXPECT_DOUBLE_EQ(double(Graph.VisibleYMin), -10);
  EXPECT_DOUBLE_EQ(double(Graph.VisibleYMax), 90);
  win.processKey(GraphicKey::F5);
  win.processKey(GraphicKey::Left);  // towards larger world x
  EXPECT_DOUBLE_EQ(double(Graph.VisibleXMin), 10);
  win.processKey(GraphicKey::Right);
  win.processKey(GraphicKey::Right);
  EXPECT_DOUBLE_EQ(double(Graph.VisibleXMin), -10);
  win.processKey(GraphicKey::Escape);
  win.processKey(GraphicKey::PageDown);
  EXPECT_DOUBLE_EQ(double(Graph.VisibleYMin), 50);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleY), 4.8);  // pan keeps the scale
}

TEST_F(GraphicTest, RubberBandZoomsToTheDraggedWorldRectangle) {
  PlainWindow();
  win.FormMouseDown(MouseButton::Left, 320, 240);
  win.FormMouseMove(100, 100);
  win.FormMouseUp(MouseButton::Left, 0, 0);  // the upper left quarter
  ExpectVisible(0, 50, 50, 100);
  // Again inside the zoomed view.
  win.FormMouseDown(MouseButton::Left, 320, 480);
  win.FormMouseUp(MouseButton::Left, 640, 240);
  ExpectVisible(25, 50, 50, 75);

  win.FormMouseDown(MouseButton::Right, 5, 5);  // whole box again
  ExpectVisible(0, 100, 0, 100);

  // A double click shows the whole saved box again; the list and the aspect mode stay.
  win.Header(0, 0, 0, 200, 100);
  win.processKey(GraphicKey::NumPlus);
  const std::size_t records = DisplayList.size();
  for (int i = 0; i < 3; ++i) {
    win.FormDblClick();
    win.FormMouseDown(MouseButton::Left, 5, 5);  // a reset, not a drag
    EXPECT_FALSE(win.Dragging);
    EXPECT_FALSE(win.DblClicked);
  }
  EXPECT_EQ(DisplayList.size(), records);
  EXPECT_TRUE(Graph.KeepAspect);
  ExpectVisible(0, 200, 0, 100);
  EXPECT_DOUBLE_EQ(double(Graph.ScaleX), double(Graph.ScaleY));
}

TEST_F(GraphicTest, ReplayMapsRecordsAndKeepsTheZoom) {
  PlainWindow();
  win.SetColor(2);
  win.line(0, 0, 50, 50);
  win.circle(50, 50, 10);
  win.Arc(50, 50, 0, 90, 10);
  win.processKey(GraphicKey::NumPlus);
  LogCanvas c;
  EXPECT_TRUE(win.FormPaint(&c));
  // The replayed record 10 applies the zoom again.
  EXPECT_EQ(Graph.ZoomRect.x1, 54);
  auto box = [](const char* kind, int x1, int y1, int x2, int y2) {
    return std::vector<std::string>{std::string(kind) + " " + std::to_string(MapX(x1)) + " " +
                                    std::to_string(MapY(y1)) + " " + std::to_string(MapX(x2)) +
                                    " " + std::to_string(MapY(y2))};
  };
  EXPECT_EQ(c.Of("line"), box("line", 0, 0, 50, 50));
  EXPECT_EQ(c.Of("ellipse"), box("ellipse", 40, 60, 60, 40));
  ASSERT_EQ(c.Of("arc").size(), 1u);
  EXPECT_TRUE(c.Of("arc")[0].find(" 0 90") != std::string::npos) << c.Of("arc")[0];
  EXPECT_EQ(win.CurLineStyle, 99);  // a paint resets the writers' style and width
}

TEST_F(GraphicTest, ReplayColoursFollowTheSettings) {
  PlainWindow();
  win.SetColor(4);
  win.Solid(0, 0, 10, 0, 10, 10, 0, 10);
  win.SetColor(0);
  win.OutTextXY("x", 0, 0);
  LogCanvas c;
  ReplayDisplayList(DisplayList, &c);
  auto pens = c.Of("pen");
  EXPECT_EQ(pens[pens.size() - 2], "pen " + std::to_string(0x0000FF) + " 1 0");  // red
  EXPECT_EQ(c.Of("text x")[0].substr(c.Of("text x")[0].rfind(' ')), " 1");  // background 1

  Settings.ColorGraphics = false;
  LogCanvas m;
  ReplayDisplayList(DisplayList, &m);
  auto mp = m.Of("pen");
  EXPECT_EQ(mp[mp.size() - 2], "pen 0 1 0");  // black
  auto brushes = m.Of("brush");
  EXPECT_NE(std::find(brushes.begin(), brushes.end(), "brush 0"), brushes.end());
}

TEST_F(GraphicTest, EmptyWorldBoxEndsTheReplay) {
  DisplayList.push_back(*ParseDisplayRecord("10;0;0;640;480;3;0;3;10"));
  win.line(0, 0, 1, 1);
  LogCanvas c;
  dialogs.Cursor = CursorShape::Arrow;
  EXPECT_FALSE(win.FormPaint(&c));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_TRUE(c.Of("line").empty());
  EXPECT_EQ(dialogs.Cursor, CursorShape::Arrow);  // the wait cursor does not stay
}

TEST_F(GraphicTest, PrinterGetsShapesAndTextsWindowOnlyShapes) {
  PlainWindow();
  win.line(0, 0, 100, 100);
  win.OutTextXY("t", 50, 50);
  win.SetLineWidth(2);
  PrintMapping pm;
  pm.PageWidth = 2100;
  pm.PageHeight = 2970;
  pm.PrintOffsetX = 10;
  pm.PrintFrame = true;
  LogCanvas screen, printer;
  ReplayDisplayList(DisplayList, &screen, &printer, &pm);
  EXPECT_EQ(screen.Of("line").size(), 1u);
  EXPECT_TRUE(screen.Of("text t").empty());
  EXPECT_EQ(printer.Of("text t").size(), 1u);
  // x = PW * px * scale / ScreenWidth + PW * 10 / 210; y = PH * py / ScreenHeight.
  EXPECT_EQ(printer.Of("line")[0], "line 100 2970 2200 0");
  EXPECT_EQ(printer.Of("frame")[0], "frame 100 0 2200 2970");
  EXPECT_EQ(printer.Of("pen").back(), "pen 0 8 0");  // width 4 * w on paper
  EXPECT_EQ(screen.Of("pen").back(), "pen 8388608 2 0");
}

TEST_F(GraphicTest, DrawingDeviceMapsPensAndForwards) {
  for (auto [dos, index] : {std::pair{17, 12}, {1, 12}, {9, 2}, {5, 9}, {16, 16}})
    EXPECT_EQ(DosColorIndex(dos), index) << dos;
  device->SetDosColor(7);
  device->Header(0, 0, 0, 10, 10);
  device->Line(0, 0, 1, 1);
  device->Arc(0, 0, 0, 360, 1);
  auto t = DisplayListText();
  EXPECT_EQ(Strings(t.begin(), t.begin() + 3), (Strings{"8;15", "10;1;1;639;479;0;0;10;10", "11;0"}));
  EXPECT_EQ(t.back(), "3;0;0;1");
  device->ClearDevice();
  EXPECT_TRUE(DisplayList.empty());
  device->ShowLogo();
  EXPECT_GT(DisplayList.size(), 30u);

  FZorqgra = nullptr;  // no window yet: the calls still build the list
  device->ClearDevice();
  device->SetColor(5);
  device->Circle(1, 1, 1);
  EXPECT_EQ(DisplayListText(), (Strings{"8;5", "3;1;1;1"}));
}

TEST_F(GraphicTest, MissingFileAndDataFileName) {
  Flags.AbortFlag = false;
  device->CheckFileExists("/nonexistent dir/no file.plt");
  EXPECT_TRUE(Flags.AbortFlag);
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_EQ(dialogs.Messages()[0], "/nonexistentdir/nofile.plt nicht gefunden !");
  Flags.AbortFlag = false;
  device->CheckFileExists(QERN_TEST_DATA "/../CMakeLists.txt");
  EXPECT_FALSE(Flags.AbortFlag);

  Session.CurrentFileName = "";
  EXPECT_EQ(DataFileName(), "");
  Session.CurrentFileName = "welle";
  Session.CurrentFileFolder = "/home/u/data";
  Ident.DataExtension = "qrk";
  EXPECT_EQ(DataFileName(), "/home/u/data/welle.qrk");
  // One rule whichever way the design was opened.
  Flags.StartedWithFile = true;
  EXPECT_EQ(DataFileName(), "/home/u/data/welle.qrk");
}

}  // namespace
}  // namespace qern
