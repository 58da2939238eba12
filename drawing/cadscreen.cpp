// Screen back end: primitives into the display list through the drawing device, block definitions as
// DXF text kept in memory, replayed at each insert.
#include "drawing/cadscreen.h"

#include <cmath>

#include "drawing/dxblock.h"
#include "drawing/dxfout.h"
#include "drawing/zorqcad.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"

namespace qern {

namespace {
// The device for drawings built before any window exists.
[[gnu::noinline]] TDrawDevice& FallbackScreen() {
  static TDrawDevice* fallback = new TDrawDevice();
  return *fallback;
}

TDrawDevice& Screen() { return DrawDevice ? *DrawDevice : FallbackScreen(); }
}  // namespace

// Record 9's angle: between 5 and 85 degrees corrected for the screen's aspect, so that a text runs
// along the lines it labels on a screen whose pixels are not square in world units.
long double CadScreenTextAngle(long double angle) {
  const long double r = std::round(angle);
  const int w = Settings.ScreenWidth, h = Settings.ScreenHeight;
  if (r < 5 || r > 85 || w <= 0 || h <= 0) return angle;
  const long double a = DegToRad(angle);
  return RadToDeg(std::atan2(h * std::sin(a), w * std::cos(a) * 0.75L));
}

void ScreenBackEnd::Open() {
  OpenBlockFileMemory();
  Screen().ClearDevice();
  Screen().SetWaitCursor();
}

void ScreenBackEnd::Close() {
  Screen().ClearViewPort();
  Screen().SetNormalCursor();
  Abandon();
}

void ScreenBackEnd::Abandon() {
  blockName_.clear();
  maker_.reset();
  DxfOut = {};
  CloseBlockFileMemory();
}

void ScreenBackEnd::BeginDrawing(long double xmin, long double ymin, long double xmax,
                                 long double ymax) {
  Screen().Header(0, xmin, ymin, xmax, ymax);
}

bool ScreenBackEnd::BeginBlock(const std::string& name) {
  blockName_ = name;
  if (ScreenBlocksMadeDirectly()) {
    if (!maker_) maker_ = std::make_unique<ScreenBlockMaker>();
    return true;
  }
  maker_.reset();
  blockText_.clear();
  DxfOut = {&blockText_, false, true};
  StartBlockGroupRecording();
  return true;
}

ScreenBackEnd::~ScreenBackEnd() {
  if (DxfOut.Out == &blockText_) DxfOut = {};
}

void ScreenBackEnd::EndBlock() {
  if (InBlock() && maker_) {
    maker_->Keep(blockName_);
    blockName_.clear();
    return;
  }
  if (!ToBlock()) return;
  DxfEndFile();
  DxfOut = {};
  KeepScreenBlock(blockName_, std::move(blockText_));
  blockName_.clear();
  blockText_.clear();
}

void ScreenBackEnd::BeginEntities() {
  Screen().ClearViewPort();
  Screen().SetLineStyle(0);
}

void ScreenBackEnd::Replay(const std::string& file, const std::string& block, long double x,
                           long double y, long double angle, long double scaleX,
                           long double scaleY) {
  // The replay draws with the pens and text styles of the block; afterwards the drawing goes on
  // with its own, as it does after an insert in a CAD file.
  const int pen = CadState.CadPen;
  const CadOutputState saved = CadState;
  const TextStyleArgs style = style_;
  CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
  CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
  CadState.CadInsertDepth = 0;
  struct InDouble {
    const bool before = CadTransformsInDouble();
    InDouble() { CadTransformInDouble(true); }
    ~InDouble() { CadTransformInDouble(before); }
  };
  {
    const InDouble inDouble;
    if (file.empty())
      ReplayScreenBlock(block, x, y, angle, scaleX, scaleY);
    else
      ReplayBlockFileNamed(file, x, y, angle, scaleX, scaleY);
  }
  CadState.CadTextHeight = saved.CadTextHeight;
  CadState.CadTextWidth = saved.CadTextWidth;
  CadState.CadTextRotation = saved.CadTextRotation;
  CadState.CadTextSlant = saved.CadTextSlant;
  CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
  CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
  CadState.CadInsertDepth = 0;
  if (CadState.CadPen != pen) CadSetPen(pen);
  const TextStyleArgs& now = style_;
  if (style.set && (now.font != style.font || now.angle != style.angle ||
                    now.height != style.height || now.width != style.width))
    SetTextStyle(style.font, style.angle, style.height, style.width);
}

void ScreenBackEnd::Insert(const std::string& name, long double x, long double y,
                           long double angle, long double scaleX, long double scaleY) {
  if (InBlock() && maker_) {
    maker_->Insert(name, x, y, angle, scaleX, scaleY);
    return;
  }
  if (ToBlock()) {
    DxfInsert(name, x, y, angle, scaleX, scaleY);
    return;
  }
  Replay({}, name, x, y, angle, scaleX, scaleY);
}

bool ScreenBackEnd::InsertUserBlock(const std::string& name, const std::string& file,
                                    long double x, long double y, long double angle,
                                    long double scaleX, long double scaleY) {
  if (InBlock() && maker_)
    maker_->Insert(name, x, y, angle, scaleX, scaleY);
  else if (ToBlock())
    DxfInsert(name, x, y, angle, scaleX, scaleY);
  else
    Replay(file, {}, x, y, angle, scaleX, scaleY);
  return true;
}

void ScreenBackEnd::SetLayer(int n) {
  if (InBlock()) return;  // the block carries the layer name
  TDrawDevice& d = Screen();
  if (n <= 5) {
    d.SetLineStyle(n == 1 ? 2 : n == 2 ? 3 : 0);
    d.SetDosColor(Settings.CadLayerColors[n]);
  } else {
    d.SetLineStyle(0);
    if (n >= 16) d.SetDosColor(Settings.ColorLayerColors[n - ProgramSettings::ColorLayerFirst]);
  }
  int width = 1;
  if (n >= 1 && n <= 5) {
    width = Settings.LayerLineWidths[n];
  } else if (n >= 16) {
    const int w = Settings.ColorLayerLineWidths[n - ProgramSettings::ColorLayerFirst];
    width = w >= 2 && w <= 50 ? w : 1;
  }
  d.Window().SetLineWidth(width);
}

void ScreenBackEnd::SetLineStyle(int style) {
  if (!CadState.CadInBlocks && !InBlock()) Screen().SetLineStyle(style);
}

void ScreenBackEnd::SetTextStyle(int font, long double angle, long double height,
                                 long double width) {
  style_ = {true, font, angle, height, width};
  if (InBlock()) return;
  Screen().SetTextStyle(font, CadScreenTextAngle(angle), height, width * 0.95L);
}

void ScreenBackEnd::Line(long double x1, long double y1, long double x2, long double y2) {
  if (InBlock() && maker_)
    maker_->Line(x1, y1, x2, y2);
  else if (ToBlock())
    DxfLine(x1, y1, x2, y2);
  else
    Screen().Line(x1, y1, x2, y2);
}

void ScreenBackEnd::LineInDouble(double x1, double y1, double x2, double y2) {
  if (InBlock())
    Line(x1, y1, x2, y2);
  else
    Screen().Window().LineRecord(x1, y1, x2, y2);
}

void ScreenBackEnd::Circle(long double x, long double y, long double r) {
  if (InBlock() && maker_)
    maker_->Circle(x, y, r);
  else if (ToBlock())
    DxfCircle(x, y, r);
  else
    Screen().Circle(x, y, r);
}

void ScreenBackEnd::Arc(long double x, long double y, long double startAngle, long double endAngle,
                        long double r) {
  if (InBlock() && maker_)
    maker_->Arc(x, y, startAngle, endAngle, r);
  else if (ToBlock())
    DxfArc(x, y, startAngle, endAngle, r);
  else
    Screen().Arc(x, y, startAngle, endAngle, r);
}

void ScreenBackEnd::Text(const std::string& s, long double x, long double y) {
  if (InBlock() && maker_)
    maker_->Text(s, x, y);
  else if (ToBlock())
    DxfText(s, x, y);
  else
    Screen().OutTextXY(s, x, y);
}

void ScreenBackEnd::Solid(long double x1, long double y1, long double x2, long double y2,
                          long double x3, long double y3, long double x4, long double y4) {
  if (InBlock() && maker_)
    maker_->Solid(x1, y1, x2, y2, x3, y3, x4, y4);
  else if (ToBlock())
    DxfSolid(x1, y1, x2, y2, x3, y3, x4, y4);
  else
    Screen().Solid(x1, y1, x2, y2, x3, y3, x4, y4);
}

}  // namespace qern
