// The shipped pictures against an independent HP-GL renderer: each picture, read by our reader
// and replayed headless, must cover the same part of the sheet and about as much ink, region by
// region, as hp2xx draws from the same file. Without hp2xx the test skips, except in CI.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "framework/hbild.h"
#include "framework/progvar.h"
#include "framework/qt/paintercanvas.h"
#include "framework/textfile.h"
#include "framework/whbild.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"
#include "platform/process.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

constexpr double SheetWidth = 160, SheetHeight = 120;  // mm
constexpr int Columns = 4, Rows = 3;                    // regions compared one by one

// Dark pixels of a picture, measured in millimetres on the sheet.
struct Ink {
  long Pixels = 0;
  double PixelsPerMm = 1;
  double Left = 1e9, Bottom = 1e9, Right = -1e9, Top = -1e9;  // extent, mm
  std::array<long, Columns * Rows> Regions{};

  void Add(double xMm, double yMm) {
    ++Pixels;
    Left = std::min(Left, xMm), Right = std::max(Right, xMm);
    Bottom = std::min(Bottom, yMm), Top = std::max(Top, yMm);
    const int c = std::clamp(int(xMm / SheetWidth * Columns), 0, Columns - 1);
    const int r = std::clamp(int(yMm / SheetHeight * Rows), 0, Rows - 1);
    ++Regions[r * Columns + c];
  }
  // Drawn length in millimetres (lines are one pixel wide).
  double Length(long pixels) const { return pixels / PixelsPerMm; }
};

// The sans fonts a system may substitute for the configured "Arial"; every one must give the
// same pictures. Those not installed are skipped, except in CI (scripts/deps.sh installs them).
const char* const SansFonts[] = {"DejaVu Sans", "Nimbus Sans", "Liberation Sans"};

std::vector<std::string> InstalledSansFonts() {
  std::vector<std::string> found;
  const QStringList families = QFontDatabase::families();
  const char* ci = std::getenv("CI");
  // A family that more than one foundry provides is listed with the foundry: "Nimbus Sans [urw]".
  auto installed = [&](const QString& family) {
    for (const QString& f : families)
      if (f == family || f.startsWith(family + " [")) return true;
    return false;
  };
  for (const char* family : SansFonts) {
    if (installed(QString::fromUtf8(family)))
      found.push_back(family);
    else if (ci && std::string(ci) == "true")
      ADD_FAILURE() << family << " is not installed (scripts/deps.sh installs it)";
  }
  return found;
}

// Our picture of HP-GL data on the help pictures' sheet, replayed in black on white.
Ink OurInk(const std::string& data, const std::string& font) {
  InitProgramState();
  InitGraphicState();
  Settings.GraphicFontName = font;
  Settings.ScreenWidth = 642;
  Settings.ScreenHeight = 482;
  Settings.ColorGraphics = false;
  Settings.GraphicFontStyle = 0;  // plain strokes, as near a plotter's font as a screen gets
  TDrawDevice device;
  DrawDevice = &device;
  device.ClearDevice();
  device.Header(0, 0, 0, SheetWidth, SheetHeight);
  DrawPlotData(data);
  QImage img(Settings.ScreenWidth + 1, Settings.ScreenHeight + 1, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    PainterCanvas canvas(p);
    ReplayDisplayList(DisplayList, &canvas);
  }
  DrawDevice = nullptr;
  Ink ink;
  ink.PixelsPerMm = double(Graph.ScaleX);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 128)
        ink.Add((x - Graph.ViewLeft) / double(Graph.ScaleX) + double(Graph.VisibleXMin),
                (Graph.ViewBottom - y) / double(Graph.ScaleY) + double(Graph.VisibleYMin));
  return ink;
}

// hp2xx's picture of the same file on the same sheet, as a bitmap (PBM) at 100 dpi.
bool Hp2xxInk(const std::string& plotFile, const std::string& folder, Ink& ink) {
  const std::string pbm = folder + "/out.pbm";
  int code = -1;
  const StartResult r = RunAndWait({"hp2xx", "-q", "-m", "pbm", "-d", "100", "-x", "0", "-X",
                                    "6400", "-y", "0", "-Y", "4800", "-t", "-f", pbm, plotFile},
                                   code);
  if (r != StartResult::Started || code != 0) return false;
  std::ifstream in(pbm, std::ios::binary);
  std::string magic;
  int w = 0, h = 0;
  in >> magic >> w >> h;
  in.get();
  if (magic != "P4" || w <= 0 || h <= 0) return false;
  const std::string bits((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int rowBytes = (w + 7) / 8;
  if (bits.size() < size_t(rowBytes) * h) return false;
  ink.PixelsPerMm = 100 / 25.4;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (static_cast<unsigned char>(bits[size_t(y) * rowBytes + x / 8]) & (0x80 >> (x % 8)))
        ink.Add(x / ink.PixelsPerMm, (h - 1 - y) / ink.PixelsPerMm);
  return true;
}

// The data without its labels: command by command, each LB up to its end-of-text character.
std::string WithoutLabels(const std::string& data) {
  std::string out;
  size_t i = 0;
  while (i < data.size()) {
    const bool label = data.compare(i, 2, "LB") == 0;
    const size_t end = data.find(label ? '\x03' : ';', i);
    const size_t next = end == std::string::npos ? data.size() : end + 1;
    if (!label) out.append(data, i, next - i);
    i = next;
  }
  return out;
}

std::vector<std::pair<std::string, HelpPictureEntry>> FontsAndPictures(
    const std::vector<std::string>& fonts, const std::vector<HelpPictureEntry>& pictures) {
  std::vector<std::pair<std::string, HelpPictureEntry>> all;
  for (const std::string& font : fonts)
    for (const HelpPictureEntry& e : pictures) all.emplace_back(font, e);
  return all;
}

TEST(HpglPictures, EveryShippedPictureMatchesHp2xx) {
  if (!ProgramExists("hp2xx")) {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true") FAIL() << "hp2xx is missing (scripts/deps.sh installs it)";
    GTEST_SKIP() << "hp2xx is not installed";
  }
  test::TempFolder dir;
  InitProgramState();
  Ident.ProgramName = "qern";
  Settings.PltFolder = QERN_SOURCE_DATA;
  std::vector<HelpPictureEntry> pictures = ReadHelpPictureCatalogue();
  ASSERT_GE(pictures.size(), 5u);
  const std::vector<std::string> fonts = InstalledSansFonts();
  if (fonts.empty()) GTEST_SKIP() << "none of the sans fonts is installed";
  for (const auto& [font, e] : FontsAndPictures(fonts, pictures)) {
    SCOPED_TRACE(font + ": " + e.File);
    const std::string file = std::string(QERN_SOURCE_DATA) + "/" + e.File + ".plt";
    std::string data;
    ASSERT_TRUE(ReadPlotFileBytes(file, data));
    // The whole picture covers the same part of the sheet. Labels start where the plotter's
    // do but run narrower in a screen font, so the right edge may fall short.
    Ink ours = OurInk(data, font), theirs;
    ASSERT_TRUE(Hp2xxInk(file, dir.Path(), theirs));
    ASSERT_GT(theirs.Pixels, 1000);
    EXPECT_NEAR(ours.Left, theirs.Left, 1.5);
    EXPECT_NEAR(ours.Bottom, theirs.Bottom, 1.5);
    EXPECT_NEAR(ours.Top, theirs.Top, 1.5);
    EXPECT_LE(ours.Right, theirs.Right + 1.5);
    EXPECT_GE(ours.Right, theirs.Right - 15);
    // Its line work lies in the same place and draws about the same length, in the whole and
    // region by region.
    const std::string lines = WithoutLabels(data);
    test::WriteWholeFile(dir.File("lines.plt"), lines);
    ours = OurInk(lines, font);
    theirs = Ink{};
    ASSERT_TRUE(Hp2xxInk(dir.File("lines.plt"), dir.Path(), theirs));
    EXPECT_NEAR(ours.Left, theirs.Left, 1.0);
    EXPECT_NEAR(ours.Right, theirs.Right, 1.0);
    EXPECT_NEAR(ours.Bottom, theirs.Bottom, 1.0);
    EXPECT_NEAR(ours.Top, theirs.Top, 1.0);
    const double total = theirs.Length(theirs.Pixels);
    EXPECT_NEAR(ours.Length(ours.Pixels), total, 0.08 * total);
    for (int i = 0; i < Columns * Rows; ++i) {
      SCOPED_TRACE("region " + std::to_string(i));
      const double want = theirs.Length(theirs.Regions[i]);
      EXPECT_NEAR(ours.Length(ours.Regions[i]), want, 0.1 * want + 5);
    }
  }
}

// Whatever the font, a text's capitals take the same height of its cell and its width is the
// asked one.
TEST(HpglPictures, EveryFontIsScaledToTheCharacterCell) {
  const std::vector<std::string> fonts = InstalledSansFonts();
  if (fonts.empty()) GTEST_SKIP() << "none of the sans fonts is installed";
  for (const std::string& font : fonts) {
    for (int height : {20, 60, 150}) {
      SCOPED_TRACE(font + " " + std::to_string(height));
      CanvasFont cell;
      cell.Face = font;
      cell.Height = height;
      const QFont f = CellFont(cell);
      EXPECT_EQ(QFontInfo(f).family().toStdString().substr(0, font.size()), font);
      EXPECT_NEAR(-QFontMetricsF(f).tightBoundingRect("H").top(), CellCapHeight * height,
                  0.02 * height + 0.5);
      cell.Width = height / 2;
      EXPECT_NEAR(QFontMetricsF(CellFont(cell)).averageCharWidth(), cell.Width, 0.05 * cell.Width + 1);
    }
  }
}

}  // namespace
}  // namespace qern
