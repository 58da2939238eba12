// Graphics window core: display-list records and their text form, the world-to-pixel mapping with
// zoom and pan, the replay over a Canvas, and the window logic behind keys and mouse.
#include "framework/zorqgraf.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {

std::vector<DisplayRecord> DisplayList;
GraphicState Graph;
GraphicWindow* FZorqgra = nullptr;

// ---------------------------------------------------------------------------------------------
// Records

namespace {

constexpr int kArgCount[14] = {0, 2, 2, 3, 4, 8, 2, 8, 1, 4, 8, 1, 1, 1};

// Arguments written as whole numbers.
bool IsIntegerArg(int code, int i) {
  switch (code) {
    case RecColor: case RecLineStyle: case RecLineWidth: case RecPause: return true;
    case RecTextStyle: return i == 2;
    case RecWindow: return i < 4;
    default: return false;
  }
}

std::optional<double> ParseNumber(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  std::string t(s);
  std::replace(t.begin(), t.end(), ',', '.');
  double v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return v;
}

// Round to the nearest pixel (ties to even), kept inside the int range. Added to 1.5 * 2^63, a
// value is rounded to a whole number as the unit rounds every sum, to nearest with ties to even,
// and the number's last bits are those of the sum's significand: no floor, fmod or switch of the
// rounding mode per coordinate.
int RoundPx(long double v) {
  if (!(std::fabs(v) <= 1e9L)) {
    if (!std::isfinite(static_cast<double>(v))) return 0;
    return v > 0 ? 1000000000 : -1000000000;
  }
  const long double shifted = v + 0x1.8p63L;
  uint64_t significand;
  std::memcpy(&significand, &shifted, sizeof significand);
  return static_cast<int32_t>(static_cast<uint32_t>(significand));
}

}  // namespace

int DisplayArgCount(int code) { return code >= 1 && code <= 13 ? kArgCount[code] : 0; }

std::string DisplayNumberText(double x, int digits) {
  if (!std::isfinite(x) || x == 0) return "0";
  if (digits < 1) digits = 1;
  // Scientific digits after rounding to the wanted precision.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, digits - 1);
  std::string sci(buf, res.ptr);
  bool negative = sci[0] == '-';
  std::size_t epos = sci.find('e');
  int exponent = std::atoi(sci.c_str() + epos + 1);
  std::string mant;
  for (std::size_t i = negative ? 1 : 0; i < epos; ++i)
    if (sci[i] != '.') mant += sci[i];
  while (mant.size() > 1 && mant.back() == '0') mant.pop_back();
  const std::string sep = DecimalSeparator();
  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < digits) {
    if (exponent < 0) {
      out += "0" + sep + std::string(-exponent - 1, '0') + mant;
    } else {
      std::size_t intLen = static_cast<std::size_t>(exponent) + 1;
      if (mant.size() <= intLen) {
        out += mant + std::string(intLen - mant.size(), '0');
      } else {
        out += mant.substr(0, intLen) + sep + mant.substr(intLen);
      }
    }
  } else {
    out += mant.substr(0, 1);
    if (mant.size() > 1) out += sep + mant.substr(1);
    out += "E" + std::to_string(exponent);
  }
  return out;
}

std::string DisplayRecord::ToText() const {
  std::string s = std::to_string(Code);
  int n = DisplayArgCount(Code);
  for (int i = 0; i < n; ++i) {
    s += ';';
    if (IsIntegerArg(Code, i)) {
      s += std::to_string(static_cast<long long>(std::llround(Args[i])));
    } else {
      s += DisplayNumberText(Args[i]);
    }
  }
  if (Code == RecText) s += ";" + Text;
  return s;
}

std::optional<DisplayRecord> ParseDisplayRecord(std::string_view text) {
  std::size_t p = text.find(';');
  if (p == std::string_view::npos) return std::nullopt;
  auto code = ParseNumber(text.substr(0, p));
  if (!code) return std::nullopt;
  DisplayRecord rec;
  rec.Code = static_cast<int>(*code);
  int n = DisplayArgCount(rec.Code);
  if (n == 0 || rec.Code != *code) return std::nullopt;
  std::string_view rest = text.substr(p + 1);
  for (int i = 0; i < n; ++i) {
    bool last = i == n - 1 && rec.Code != RecText;
    std::string_view field = rest;
    if (!last) {
      std::size_t q = rest.find(';');
      if (q == std::string_view::npos) return std::nullopt;
      field = rest.substr(0, q);
      rest = rest.substr(q + 1);
    }
    auto v = ParseNumber(field);
    if (!v) return std::nullopt;
    rec.Args[i] = *v;
  }
  if (rec.Code == RecText) rec.Text = std::string(rest);
  return rec;
}

std::vector<std::string> DisplayListText() {
  std::vector<std::string> out;
  out.reserve(DisplayList.size());
  for (const auto& r : DisplayList) out.push_back(r.ToText());
  return out;
}

// ---------------------------------------------------------------------------------------------
// Mapping

void InitGraphicState() { Graph = GraphicState{}; }

int MapX(long double x) { return RoundPx((x - Graph.VisibleXMin) * Graph.ScaleX) + Graph.ViewLeft; }
int MapY(long double y) { return Graph.ViewBottom - RoundPx((y - Graph.VisibleYMin) * Graph.ScaleY); }
int MapLengthX(long double d) { return RoundPx(Graph.ScaleX * d); }
int MapLengthY(long double d) { return RoundPx(Graph.ScaleY * d); }

int DrawingWidth() { return Graph.AreaWidth > 1 ? Graph.AreaWidth - 1 : Settings.ScreenWidth; }
int DrawingHeight() { return Graph.AreaHeight > 1 ? Graph.AreaHeight - 1 : Settings.ScreenHeight; }

namespace {
long double ScreenW() { return DrawingWidth() > 0 ? DrawingWidth() : 1; }
long double ScreenH() { return DrawingHeight() > 0 ? DrawingHeight() : 1; }
}  // namespace

int PrintMapX(const PrintMapping& p, long double x) {
  return RoundPx(p.PageWidth * ((x - Graph.VisibleXMin) * Graph.ScaleX + Graph.ViewLeft) *
                 p.PrintScaleX / ScreenW()) +
         RoundPx(p.PageWidth * static_cast<long double>(p.PrintOffsetX) / 210);
}
int PrintMapY(const PrintMapping& p, long double y) {
  return RoundPx(p.PageHeight * (Graph.ViewBottom - (y - Graph.VisibleYMin) * Graph.ScaleY) *
                 p.PrintScaleY / ScreenH()) +
         RoundPx(p.PageWidth * static_cast<long double>(p.PrintOffsetY) / 210);
}
int PrintLengthX(const PrintMapping& p, long double d) {
  return RoundPx(p.PageWidth * Graph.ScaleX * d * p.PrintScaleX / ScreenW());
}
int PrintLengthY(const PrintMapping& p, long double d) {
  return RoundPx(p.PageHeight * Graph.ScaleY * d * p.PrintScaleY / ScreenH());
}

namespace {

// The shown part from a viewport rectangle; nothing for an empty rectangle, an empty viewport or
// an empty world box.
void ApplyScale(int x1, int y1, int x2, int y2) {
  GraphicState& g = Graph;
  if (x1 == x2 || y1 == y2) return;
  long double vw = g.ViewRight - g.ViewLeft, vh = g.ViewBottom - g.ViewTop;
  long double ww = g.WorldXMax - g.WorldXMin, wh = g.WorldYMax - g.WorldYMin;
  if (vw == 0 || vh == 0 || ww == 0 || wh == 0) return;
  g.ZoomRect = {x1, x2, y1, y2};
  g.VisibleXMin = g.WorldXMin + (x1 - g.ViewLeft) / vw * ww;
  g.VisibleXMax = g.WorldXMin + (x2 - g.ViewLeft) / vw * ww;
  g.VisibleYMin = g.WorldYMin + (y1 - g.ViewTop) / vh * wh;
  g.VisibleYMax = g.WorldYMin + (y2 - g.ViewTop) / vh * wh;
  g.ScaleX = vw / (g.VisibleXMax - g.VisibleXMin);
  g.ScaleY = vh / (g.VisibleYMax - g.VisibleYMin);
  // Screens have square pixels: the smaller scale serves both axes, so circles stay round.
  if (g.KeepAspect) g.ScaleX = g.ScaleY = std::min(g.ScaleX, g.ScaleY);
}

// ---------------------------------------------------------------------------------------------
// Replay

uint32_t Rgb(int c) { return static_cast<uint32_t>(c) & 0xFFFFFFu; }

struct Target {
  Canvas* canvas = nullptr;
  bool printer = false;
  uint32_t pen = 0, brush = 0, font = 0;
  int width = 1, style = 0;
  int penX = 0, penY = 0;
  void ApplyPen() { canvas->SetPen(pen, printer ? 4 * width : width, style); }
};

struct Replayer {
  Target targets[2];
  int count = 0;
  const PrintMapping* print = nullptr;
  int color = 1;
  long double textH = 3.5L, textW = 3.5L, textAngle = 0;

  int X(const Target& t, long double x) const { return t.printer ? PrintMapX(*print, x) : MapX(x); }
  int Y(const Target& t, long double y) const { return t.printer ? PrintMapY(*print, y) : MapY(y); }
  int LX(const Target& t, long double d) const {
    return t.printer ? PrintLengthX(*print, d) : MapLengthX(d);
  }
  int LY(const Target& t, long double d) const {
    return t.printer ? PrintLengthY(*print, d) : MapLengthY(d);
  }

  void SetColor(int c) {
    if (c < 0 || c > 16) return;
    color = c;
    const uint32_t black = 0, background = Rgb(Settings.BackgroundColor);
    for (int i = 0; i < count; ++i) {
      Target& t = targets[i];
      if (c == 0) {
        t.pen = t.brush = t.font = background;
      } else {
        bool colour = t.printer ? (print->PrintColorMode == 2 || print->PrintColorMode == 3)
                                : Settings.ColorGraphics;
        if (colour) {
          t.pen = t.brush = t.font = Rgb(Settings.ColorPalette[c]);
        } else {
          t.pen = black;
          t.brush = background;
          t.font = black;
        }
      }
      t.ApplyPen();
      t.canvas->SetBrush(t.brush);
    }
  }

  void Text(const DisplayRecord& r) {
    Target* t = nullptr;
    for (int i = 0; i < count; ++i)
      if (targets[i].printer == (print != nullptr)) t = &targets[i];
    if (!t) return;
    CanvasFont f;
    f.Face = Settings.GraphicFontName;
    f.Height = LY(*t, textH);
    f.Width = LX(*t, textW);
    f.Angle = static_cast<double>(RoundPx(textAngle * 10)) / 10;  // tenths of a degree
    int style = Settings.GraphicFontStyle;
    if (style > 0 && style <= 15) {
      f.Bold = style & 1;
      f.Italic = style & 2;
      f.Underline = style & 4;
      f.StrikeOut = style & 8;
    }
    f.Color = t->font;
    long double x = r.Args[0], y = r.Args[1];
    int px, py;
    if (textAngle == 0) {
      px = X(*t, x);
      py = Y(*t, y + 0.75L * textH);
    } else {
      long double a = DegToRad(textAngle);
      px = X(*t, x - 0.7L * textH * std::sin(a));
      py = Y(*t, y + 0.75L * textH * std::cos(a));
    }
    t->canvas->Text(px, py, r.Text, f);
  }

  void ArcRecord(const DisplayRecord& r) {
    const auto& a = r.Args;
    long double cx = (a[0] + a[2]) / 2, cy = (a[1] + a[3]) / 2;
    long double rx = (a[2] - a[0]) / 2, ry = (a[3] - a[1]) / 2;
    if (rx == 0 || ry == 0) return;
    // Angles as the ellipse's parameter; equal end points give the whole ellipse.
    long double s = RadToDeg(std::atan2((a[5] - cy) / ry, (a[4] - cx) / rx));
    long double e = RadToDeg(std::atan2((a[7] - cy) / ry, (a[6] - cx) / rx));
    long double sweep = std::fmod(e - s, 360.0L);
    if (sweep <= 0) sweep += 360;
    for (int i = 0; i < count; ++i) {
      Target& t = targets[i];
      int x1 = X(t, a[0]), x2 = X(t, a[2]), y1 = Y(t, a[3]), y2 = Y(t, a[1]);
      t.canvas->Arc(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2),
                    static_cast<double>(s), static_cast<double>(sweep));
    }
  }

  // Returns false when an empty world box ends the replay.
  bool Record(const DisplayRecord& r) {
    const auto& a = r.Args;
    switch (r.Code) {
      case RecMove:
        for (int i = 0; i < count; ++i) {
          targets[i].penX = X(targets[i], a[0]);
          targets[i].penY = Y(targets[i], a[1]);
        }
        break;
      case RecDraw:
        for (int i = 0; i < count; ++i) {
          Target& t = targets[i];
          int x = X(t, a[0]), y = Y(t, a[1]);
          t.canvas->Line(t.penX, t.penY, x, y);
          t.penX = x;
          t.penY = y;
        }
        break;
      case RecCircle:
        for (int i = 0; i < count; ++i) {
          Target& t = targets[i];
          int x1 = X(t, a[0] - a[2]), x2 = X(t, a[0] + a[2]);
          int y1 = Y(t, a[1] + a[2]), y2 = Y(t, a[1] - a[2]);
          t.canvas->Ellipse(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
        }
        break;
      case RecLine:
        for (int i = 0; i < count; ++i) {
          Target& t = targets[i];
          t.canvas->Line(X(t, a[0]), Y(t, a[1]), X(t, a[2]), Y(t, a[3]));
        }
        break;
      case RecArc: ArcRecord(r); break;
      case RecText: Text(r); break;
      case RecSolid:
        for (int i = 0; i < count; ++i) {
          Target& t = targets[i];
          std::array<int, 8> xy{};
          for (int k = 0; k < 4; ++k) {
            xy[2 * k] = X(t, a[2 * k]);
            xy[2 * k + 1] = Y(t, a[2 * k + 1]);
          }
          t.canvas->SetBrush(Settings.ColorGraphics ? t.brush : 0);
          t.canvas->Polygon(xy);
        }
        break;
      case RecColor: SetColor(static_cast<int>(std::lround(a[0]))); break;
      case RecTextStyle:
        textH = a[0] * 1.6L * Settings.GraphicTextHeightFactor;
        textW = a[1] * 1.1L * Settings.GraphicTextWidthFactor;
        textAngle = a[3];
        break;
      case RecWindow: {
        GraphicState& g = Graph;
        g.ViewLeft = static_cast<int>(std::lround(a[0]));
        g.ViewTop = static_cast<int>(std::lround(a[1]));
        g.ViewRight = static_cast<int>(std::lround(a[2]));
        g.ViewBottom = static_cast<int>(std::lround(a[3]));
        g.WorldXMin = a[4];
        g.WorldYMin = a[5];
        g.WorldXMax = a[6];
        g.WorldYMax = a[7];
        if (a[4] == a[6] || a[5] == a[7]) {
          Flags.AbortFlag = true;
          return false;
        }
        ApplyScale(g.ZoomRect.x1, g.ZoomRect.y1, g.ZoomRect.x2, g.ZoomRect.y2);
        break;
      }
      case RecLineStyle: {
        int s = static_cast<int>(std::lround(a[0]));
        for (int i = 0; i < count; ++i) {
          targets[i].style = s >= 1 && s <= 3 ? s : 0;
          targets[i].ApplyPen();
        }
        break;
      }
      case RecLineWidth:
        for (int i = 0; i < count; ++i) {
          targets[i].width = static_cast<int>(std::lround(a[0]));
          targets[i].ApplyPen();
        }
        break;
      case RecPause:
        for (int i = 0; i < count; ++i)
          if (!targets[i].printer) targets[i].canvas->Pause(static_cast<int>(std::lround(a[0])));
        break;
      default: break;
    }
    return true;
  }
};

}  // namespace

bool ReplayDisplayList(const std::vector<DisplayRecord>& list, Canvas* window, Canvas* printer,
                       const PrintMapping* print) {
  Replayer rp;
  if (printer && !print) printer = nullptr;
  rp.print = printer ? print : nullptr;
  if (window) rp.targets[rp.count++].canvas = window;
  if (printer) {
    rp.targets[rp.count].canvas = printer;
    rp.targets[rp.count++].printer = true;
  }
  for (int i = 0; i < rp.count; ++i) rp.targets[i].ApplyPen();
  rp.SetColor(1);
  if (printer && print->PrintFrame) {
    Target& t = rp.targets[rp.count - 1];
    printer->SetPen(Settings.ColorGraphics ? Rgb(Settings.ColorPalette[11]) : 0, 1, 0);
    int x1 = PrintMapX(*print, Graph.WorldXMin), x2 = PrintMapX(*print, Graph.WorldXMax);
    int y1 = PrintMapY(*print, Graph.WorldYMax), y2 = PrintMapY(*print, Graph.WorldYMin);
    printer->Frame(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    t.ApplyPen();
  }
  for (const auto& r : list) {
    if (!rp.Record(r)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Window logic

GraphicWindow::GraphicWindow() = default;

GraphicWindow::~GraphicWindow() {
  if (FZorqgra == this) FZorqgra = nullptr;
}

void GraphicWindow::FormCreate() {
  Graph.ViewLeft = Graph.ViewTop = 0;
  Graph.ViewRight = Graph.ViewBottom = 1;
  Graph.WorldXMin = Graph.WorldYMin = 0;
  Graph.WorldXMax = Graph.WorldYMax = 1;
  Graph.SavedLimit = {0, 0, 1, 1};
  Graph.ScaleX = Graph.ScaleY = 1;
  Graph.ZoomAspectFactor = 1;
  Graph.PrintFlag = false;
  Settings.GraphicCorrectionFactor = 1;
  Settings.ZoomFactor = 1.2L;
  Settings.PanFactor = 0.1L;
  TextSizeMode = 0;
  Dragging = DblClicked = SingleStep = false;
  CurColor = -1;
  CurLineStyle = 99;
  CurLineWidth = 1;
}

bool GraphicWindow::FormPaint(Canvas* window, Canvas* printer, const PrintMapping* print) {
  CurLineStyle = 99;
  CurLineWidth = 1;
  ShowWaitCursor(true);
  bool ok = ReplayDisplayList(DisplayList, window, printer, print);
  ShowWaitCursor(false);
  return ok;
}

void GraphicWindow::Append(int code, std::initializer_list<long double> args, std::string text) {
  // Built in place: a drawing appends tens of thousands of records.
  DisplayRecord& rec = DisplayList.emplace_back();
  rec.Code = code;
  std::size_t i = 0;
  for (long double a : args) rec.Args[i++] = static_cast<double>(a);
  rec.Text = std::move(text);
}

void GraphicWindow::SetWindow(bool keepAspect, bool frame, long double vx1, long double vy1,
                              long double vx2, long double vy2, long double xmin, long double ymin,
                              long double xmax, long double ymax) {
  ApplyWindow(true, keepAspect, frame, vx1, vy1, vx2, vy2, xmin, ymin, xmax, ymax);
}

void GraphicWindow::ApplyWindow(bool record, bool keepAspect, bool frame, long double vx1,
                                long double vy1, long double vx2, long double vy2, long double xmin,
                                long double ymin, long double xmax, long double ymax) {
  GraphicState& g = Graph;
  const int width = DrawingWidth(), height = DrawingHeight();
  g.ViewLeft = RoundPx(width * vx1);
  g.ViewRight = RoundPx(width * vx2);
  g.ViewTop = RoundPx(height * (1 - vy2));
  g.ViewBottom = RoundPx(height * (1 - vy1));
  if (frame) {
    g.ViewLeft += 1;
    g.ViewRight -= 1;
    g.ViewTop += 1;
    g.ViewBottom -= 1;
  }
  if (record) {
    Append(RecWindow, {static_cast<long double>(g.ViewLeft), static_cast<long double>(g.ViewTop),
                       static_cast<long double>(g.ViewRight), static_cast<long double>(g.ViewBottom),
                       xmin, ymin, xmax, ymax});
  }
  g.WorldXMin = xmin;
  g.WorldYMin = ymin;
  g.WorldXMax = xmax;
  g.WorldYMax = ymax;
  g.KeepAspect = keepAspect;
  if (xmin != xmax && ymin != ymax) {
    SetScale(g.ViewLeft, g.ViewTop, g.ViewRight, g.ViewBottom);
  } else {
    Flags.AbortFlag = true;
  }
}

void GraphicWindow::SetScale(int x1, int y1, int x2, int y2) { ApplyScale(x1, y1, x2, y2); }

void GraphicWindow::SaveLimit() {
  Graph.SavedLimit = {Graph.WorldXMin, Graph.WorldYMin, Graph.WorldXMax, Graph.WorldYMax};
}

void GraphicWindow::RestoreLimit() {
  const auto& s = Graph.SavedLimit;
  SetWindow(true, true, 0, 0, 1, 1, s[0], s[1], s[2], s[3]);
}

void GraphicWindow::ResetZoom() {
  SetScale(Graph.ViewLeft, Graph.ViewTop, Graph.ViewRight, Graph.ViewBottom);
}

void GraphicWindow::ReSetWindow() {
  SetWindow(false, false, 0, 0, 1, 1, 0, 0, 1, 1);
  ResetZoom();
}

void GraphicWindow::Regen() {
  RestoreLimit();
  SetWindow(true, true, 0, 0, 1, 1, 0, 0, 1, 1);
  ResetZoom();
  const ZoomRectangle z = Graph.ZoomRect;
  SetScale(z.x1, z.y1, z.x2, z.y2);
  ClearViewPort();
}

void GraphicWindow::SaveViewPort() {
  Graph.SavedViewport = {Graph.ViewLeft, Graph.ViewTop, Graph.ViewRight, Graph.ViewBottom};
}

void GraphicWindow::RetrieveViewPort() {
  Graph.ViewLeft = Graph.SavedViewport[0];
  Graph.ViewTop = Graph.SavedViewport[1];
  Graph.ViewRight = Graph.SavedViewport[2];
  Graph.ViewBottom = Graph.SavedViewport[3];
}

long double GraphicWindow::EinX(long double f) const { return f * (Graph.WorldXMax - Graph.WorldXMin); }
long double GraphicWindow::EinY(long double f) const { return f * (Graph.WorldYMax - Graph.WorldYMin); }

void GraphicWindow::Header(int flag, long double xmin, long double ymin, long double xmax,
                           long double ymax) {
  // Aspect factor from the box current before this call. Stored only: the mouse zoom takes its
  // rectangle from the mapping itself.
  long double ww = Graph.WorldXMax - Graph.WorldXMin, wh = Graph.WorldYMax - Graph.WorldYMin;
  if (ww != 0 && wh != 0 && DrawingHeight() > 0) {
    Graph.ZoomAspectFactor = DrawingWidth() * 0.75L / DrawingHeight() * 640 / ww / (480 / wh);
  }
  SetWindow(true, true, 0, 0, 1, 1, xmin, ymin, xmax, ymax);
  SetLineStyle(0);
  SaveLimit();
}

void GraphicWindow::circle(long double x, long double y, long double r) { Append(RecCircle, {x, y, r}); }

void GraphicWindow::line(long double x1, long double y1, long double x2, long double y2) {
  LineRecord(static_cast<double>(x1), static_cast<double>(y1), static_cast<double>(x2),
             static_cast<double>(y2));
}

void GraphicWindow::LineRecord(double x1, double y1, double x2, double y2) {
  // (The commonest record, built without a list of its numbers.)
  DisplayRecord& rec = DisplayList.emplace_back();
  rec.Code = RecLine;
  rec.Args[0] = x1, rec.Args[1] = y1, rec.Args[2] = x2, rec.Args[3] = y2;
}

void GraphicWindow::Arc(long double x, long double y, long double startDeg, long double endDeg,
                        long double r) {
  // A sweep of a whole turn is a circle (the angle difference alone would give a point).
  if (std::fabs(endDeg - startDeg) >= 360 - 1e-9L) {
    circle(x, y, r);
    return;
  }
  // The list keeps doubles, and the screen pixels: the ends in double arithmetic.
  double sa, ca, sb, cb;
  SinCosDegrees(static_cast<double>(startDeg), sa, ca);
  SinCosDegrees(static_cast<double>(endDeg), sb, cb);
  const double cx = static_cast<double>(x), cy = static_cast<double>(y);
  const double rd = static_cast<double>(r);
  const double xs = cx + rd * ca, ys = cy + rd * sa, xe = cx + rd * cb, ye = cy + rd * sb;
  if (std::fabs(AngleDifference(startDeg, endDeg)) < 4) {
    line(xs, ys, xe, ye);
  } else {
    Append(RecArc, {x - r, y - r, x + r, y + r, xs, ys, xe, ye});
  }
}

void GraphicWindow::Rectangle(long double x1, long double y1, long double x2, long double y2) {
  line(x1, y1, x2, y1);
  line(x2, y1, x2, y2);
  line(x2, y2, x1, y2);
  line(x1, y2, x1, y1);
}

void GraphicWindow::OutTextXY(const std::string& text, long double x, long double y) {
  Append(RecText, {x, y}, text);
}

void GraphicWindow::SetTextStyle(int font, long double angle, long double height,
                                 long double width) {
  Append(RecTextStyle, {height, width, static_cast<long double>(font), angle});
}

void GraphicWindow::Solid(long double x1, long double y1, long double x2, long double y2,
                          long double x3, long double y3, long double x4, long double y4) {
  Append(RecSolid, {x1, y1, x2, y2, x3, y3, x4, y4});
}

void GraphicWindow::AppendChange(int code, int value, int& last) {
  Append(code, {static_cast<long double>(value)});
  last = value;
}

void GraphicWindow::SetLineStyleName(const std::string& name) {
  int s = 0;
  if (name == "DOTTED" || name == "PUNKT") {
    s = 1;
  } else if (name == "CENTER" || name == "DASHDOT" || name == "STRICHPUNKT") {
    s = 2;
  } else if (name == "DASHED" || name == "HIDDEN" || name == "VERDECKT") {
    s = 3;
  }
  SetLineStyle(s);
}

void GraphicWindow::SleepMs(int ms) { Append(RecPause, {static_cast<long double>(ms)}); }

int GraphicWindow::GetDirection(long double a) {
  return (a > 45 && a < 135) || (a > 225 && a < 315) || (a > -135 && a < -45) ? 1 : 0;
}

void GraphicWindow::DrawZorquanLogo() {
  // A serrated hub ring round a shaft: blue hub segments, red teeth pointing inwards.
  Header(0, 0, 0, 36.9L, 32);
  const long double cx = 18.45L, cy = 16;
  const int teeth = 18;
  const long double rOut = 14, rHub = 10.5L, rTip = 7.5L;
  const long double step = 2 * Pi / teeth;
  SetColor(9);
  for (int i = 0; i < teeth; ++i) {
    long double a = i * step, b = (i + 1) * step;
    Solid(cx + rHub * std::cos(a), cy + rHub * std::sin(a), cx + rOut * std::cos(a),
          cy + rOut * std::sin(a), cx + rOut * std::cos(b), cy + rOut * std::sin(b),
          cx + rHub * std::cos(b), cy + rHub * std::sin(b));
  }
  SetColor(12);
  for (int i = 0; i < teeth; ++i) {
    long double m = (i + 0.5L) * step, w = step * 0.3L, t = step * 0.15L;
    Solid(cx + rHub * std::cos(m - w), cy + rHub * std::sin(m - w), cx + rTip * std::cos(m - t),
          cy + rTip * std::sin(m - t), cx + rTip * std::cos(m + t), cy + rTip * std::sin(m + t),
          cx + rHub * std::cos(m + w), cy + rHub * std::sin(m + w));
  }
  SetColor(15);
  circle(cx, cy, rOut);
  circle(cx, cy, rTip - 1);
}

void GraphicWindow::Clear() {
  DisplayList.clear();
  // A new drawing must write its first colour, style and width records.
  CurColor = -1;
  CurLineStyle = 99;
  CurLineWidth = 1;
  RequestRepaint();
}

void GraphicWindow::ClearViewPort() {
  SetWaitCursor();
  RequestRepaint();
}

void GraphicWindow::MoveTo(long double x, long double y) {
  PenX = MapX(x);
  PenY = MapY(y);
}

void GraphicWindow::LineTo(long double x, long double y) {
  int nx = MapX(x), ny = MapY(y);
  DrawDirectLine(PenX, PenY, nx, ny);
  PenX = nx;
  PenY = ny;
}

void GraphicWindow::SetDrawingAreaSize(int width, int height) {
  const int oldW = DrawingWidth(), oldH = DrawingHeight();
  Graph.AreaWidth = width;
  Graph.AreaHeight = height;
  const int newW = DrawingWidth(), newH = DrawingHeight();
  if ((newW == oldW && newH == oldH) || oldW <= 0 || oldH <= 0) return;
  // Viewports are fractions of the drawing extent: the same fractions of the new one.
  auto sx = [&](long double v) { return RoundPx(v * newW / oldW); };
  auto sy = [&](long double v) { return RoundPx(v * newH / oldH); };
  for (DisplayRecord& r : DisplayList) {
    if (r.Code != RecWindow) continue;
    r.Args[0] = sx(r.Args[0]);
    r.Args[1] = sy(r.Args[1]);
    r.Args[2] = sx(r.Args[2]);
    r.Args[3] = sy(r.Args[3]);
  }
  GraphicState& g = Graph;
  g.ViewLeft = sx(g.ViewLeft);
  g.ViewTop = sy(g.ViewTop);
  g.ViewRight = sx(g.ViewRight);
  g.ViewBottom = sy(g.ViewBottom);
  g.SavedViewport = {sx(g.SavedViewport[0]), sy(g.SavedViewport[1]), sx(g.SavedViewport[2]),
                     sy(g.SavedViewport[3])};
  const ZoomRectangle z = g.ZoomRect;
  SetScale(sx(z.x1), sy(z.y1), sx(z.x2), sy(z.y2));
  RequestRepaint();
}

void GraphicWindow::SetWaitCursor() { ShowWaitCursor(true); }
void GraphicWindow::SetOldCursor() { ShowWaitCursor(false); }

void GraphicWindow::ZoomAbout(bool in) {
  const long double f = Settings.ZoomFactor;
  if (in && f == 0) return;
  const ZoomRectangle z = Graph.ZoomRect;
  long double w = z.x2 - z.x1, h = z.y2 - z.y1;
  w = in ? w / f : w * f;
  h = in ? h / f : h * f;
  if (!(std::fabs(w) < 1e8L && std::fabs(h) < 1e8L)) return;  // too far out
  int hx = RoundPx(w) / 2, hy = RoundPx(h) / 2;
  int cx = (z.x1 + z.x2) / 2, cy = (z.y1 + z.y2) / 2;
  SetScale(cx - hx, cy - hy, cx + hx, cy + hy);
}

void GraphicWindow::Pan(int dx, int dy) {
  const ZoomRectangle z = Graph.ZoomRect;
  SetScale(z.x1 + dx, z.y1 + dy, z.x2 + dx, z.y2 + dy);
}

bool GraphicWindow::processKey(GraphicKey key) {
  const ZoomRectangle z = Graph.ZoomRect;
  const long double pan = Settings.PanFactor;
  ClearViewPort();
  switch (key) {
    case GraphicKey::Escape:
    case GraphicKey::F5: ResetZoom(); break;
    case GraphicKey::NumPlus: ZoomAbout(true); break;
    case GraphicKey::NumMinus: ZoomAbout(false); break;
    case GraphicKey::Up: Pan(0, -RoundPx(pan * (z.y2 - z.y1))); break;
    case GraphicKey::Down: Pan(0, RoundPx(pan * (z.y2 - z.y1))); break;
    case GraphicKey::PageUp: Pan(0, -RoundPx(5 * pan * (z.y2 - z.y1))); break;
    case GraphicKey::PageDown: Pan(0, RoundPx(5 * pan * (z.y2 - z.y1))); break;
    case GraphicKey::Left: Pan(RoundPx(pan * (z.x2 - z.x1)), 0); break;
    case GraphicKey::Right: Pan(-RoundPx(pan * (z.x2 - z.x1)), 0); break;
  }
  return true;
}

void GraphicWindow::FormMouseDown(MouseButton button, int x, int y) {
  if (button == MouseButton::Right) {
    ResetZoom();
    ClearViewPort();
  } else if (button == MouseButton::Left && DblClicked) {
    // The whole saved box again. Only the mapping changes: the list and the drawing's aspect
    // mode stay, so repeated double clicks neither grow the list nor stretch the picture.
    const auto& s = Graph.SavedLimit;
    ApplyWindow(false, Graph.KeepAspect, true, 0, 0, 1, 1, s[0], s[1], s[2], s[3]);
    ResetZoom();
    ClearViewPort();
  } else if (button == MouseButton::Left) {
    Dragging = true;
    DragX1 = DragX2 = x;
    DragY1 = DragY2 = y;
  }
  DblClicked = false;
}

void GraphicWindow::FormMouseMove(int x, int y) {
  if (!Dragging) return;
  DragX2 = x;
  DragY2 = y;
  ShowRubberBand(DragX1, DragY1, DragX2, DragY2);
}

void GraphicWindow::FormMouseUp(MouseButton button, int x, int y) {
  if (button != MouseButton::Left || !Dragging) return;
  Dragging = false;
  DragX2 = x;
  DragY2 = y;
  HideRubberBand();
  if (DragX1 == DragX2 || DragY1 == DragY2) return;
  const GraphicState& g = Graph;
  long double ww = g.WorldXMax - g.WorldXMin, wh = g.WorldYMax - g.WorldYMin;
  if (g.ScaleX == 0 || g.ScaleY == 0 || ww == 0 || wh == 0) return;
  SetWaitCursor();
  // The world point under each mouse edge, then its place in the viewport of the whole box.
  auto vx = [&](int mx) {
    long double wx = g.VisibleXMin + (mx - g.ViewLeft) / g.ScaleX;
    return RoundPx(g.ViewLeft + (wx - g.WorldXMin) / ww * (g.ViewRight - g.ViewLeft));
  };
  auto vy = [&](int my) {
    long double wy = g.VisibleYMin + (g.ViewBottom - my) / g.ScaleY;
    return RoundPx(g.ViewTop + (wy - g.WorldYMin) / wh * (g.ViewBottom - g.ViewTop));
  };
  int left = vx(std::min(DragX1, DragX2)), right = vx(std::max(DragX1, DragX2));
  int lower = vy(std::max(DragY1, DragY2)), upper = vy(std::min(DragY1, DragY2));
  SetScale(left, lower, right, upper);
  ClearViewPort();
}

void GraphicWindow::FormDblClick() { DblClicked = true; }

void GraphicWindow::ShowWaitCursor(bool wait) {
  if (wait) {
    qern::SetWaitCursor();
  } else {
    qern::SetArrowCursor();
  }
}

}  // namespace qern
