// CAD output layer: output opening and closing, the device dialog, pens, text style and the
// primitives, each handed to the back end of the current device.
#include "drawing/zorqcad.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "drawing/cadbackend.h"
#include "drawing/cadscreen.h"
#include "drawing/cadtxt.h"
#include "drawing/dxfout.h"
#include "drawing/iges.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "platform/dialogservice.h"

namespace qern {

CadOutputState CadState;

namespace {
std::unique_ptr<CadBackEnd> g_backend;
CadPlotDialogs g_plotDialogs;

CadBackEnd* B() { return g_backend.get(); }

// An arc or circle with a negative radius is the same curve with |r| turned by half a turn; back
// ends get a positive radius. (Every back end then gets an arc's angles within a turn of each
// other, or no arc where an angle is no number: see ArcAnglesWithinTurn.)
void NormaliseArc(long double& startAngle, long double& endAngle, long double& r) {
  if (r >= 0) return;
  r = -r;
  startAngle += 180;
  endAngle += 180;
}

// The file extension of a file-writing device, "" for the others.
std::string DeviceExtension(int device) {
  switch (device) {
    case CadDeviceDxf: return "dxf";
    case CadDeviceIges: return "igs";
    case CadDeviceText: return "txt";
    default: return "";
  }
}

// The output file name of devices 1, 2 and 5: the save dialog, or the design's name in batch runs.
void ChooseOutputFile(const std::string& ext) {
  if (Flags.BatchCadOutput) {
    CadState.CadFileName = Session.CurrentFileName + "." + ext;
    return;
  }
  FileDialogRequest request;
  request.StartFolder = Settings.CadFolder.empty() ? "" : AddBackslash(Settings.CadFolder);
  request.ProposedName = RemoveFileExt(Session.CurrentFileName);
  request.Patterns = {"*." + ext, "*.*"};
  std::string chosen;
  if (!Dialogs().SaveFileName(request, chosen)) {
    Flags.AbortFlag = true;
    return;
  }
  if (chosen.empty()) {
    CadState.CadFileName.clear();
    Flags.AbortFlag = true;
    return;
  }
  // Only the file name's own point counts, not one in a folder name.
  if (FileNamePart(chosen).find('.') != std::string::npos)
    CadState.CadFileName = RemoveFileExt(chosen) + "." + ext;
  else
    CadState.CadFileName = chosen + "." + ext;
  CheckOutputFileName(CadState.CadFileName);
}
}  // namespace

CadBackEnd* CurrentCadBackEnd() { return g_backend.get(); }

std::unique_ptr<CadBackEnd> SwapCadBackEnd(std::unique_ptr<CadBackEnd> b) {
  std::swap(b, g_backend);
  return b;
}

std::unique_ptr<CadBackEnd> MakeCadBackEnd(int device) {
  switch (device) {
    case CadDeviceDxf: return std::make_unique<DxfBackEnd>();
    case CadDeviceIges: return std::make_unique<IgesBackEnd>();
    case CadDeviceScreen: return std::make_unique<ScreenBackEnd>();
    case CadDevicePlot: return std::make_unique<PlotBackEnd>();
    case CadDeviceText: return std::make_unique<CadTextBackEnd>();
    default: return nullptr;
  }
}

void SetCadPlotDialogs(const CadPlotDialogs& dialogs) { g_plotDialogs = dialogs; }

// ---- Output control -----------------------------------------------------------------------------

void CadAskDevice() {
  const char* items[] = {"DXF", "IGES", "Kontrollausgabe auf Bildschirm",
                         "Ausgabe auf Laserprinter/Plotter mit GRAVURA", "TXT"};
  for (int i = 0; i < 5; ++i) Session.ChoiceTexts[i] = items[i];
  Session.HelpNumber = 2050;
  SelectChoice("CAD-Code", 5, CadState.CadDevice);
  if (Flags.AbortFlag || CadState.CadDevice != CadDevicePlot) return;

  const int count = std::min(Settings.GravuraCommandCount, ProgramSettings::GravuraLineCount);
  if (count >= 2) {
    for (int i = 0; i < count; ++i) Session.ChoiceTexts[i] = Settings.GravuraCommandLines[i];
    Session.HelpNumber = 2055;
    SelectChoice("GRAVURA Command Line", count, CadState.GravuraCommandIndex);
    if (Flags.AbortFlag) return;
  } else {
    CadState.GravuraCommandIndex = 1;
  }
  CadState.GravuraCommandIndex =
      ClampInteger(1, ProgramSettings::GravuraLineCount, CadState.GravuraCommandIndex);
  std::string& stored = Settings.GravuraCommandLines[CadState.GravuraCommandIndex - 1];

  if (g_plotDialogs.SettingsWindow) {
    std::string line = stored;
    const bool saved = Flags.AbortFlag;
    if (g_plotDialogs.SettingsWindow(line)) stored = line;
    Flags.AbortFlag = saved;  // a cancelled window only keeps the stored line
  }

  Session.HelpNumber = 2060;
  std::string line = stored;
  InputString("GRAVURA-Kommandozeile (0=Parameter)", 60, line);
  if (Flags.AbortFlag) return;
  if (line.empty() || line[0] == '0') {
    line = stored;
    if (g_plotDialogs.AskCommandLine) g_plotDialogs.AskCommandLine(line, 0);
    if (Flags.AbortFlag) return;
  }
  stored = line;
}

namespace {
// The output's back end in place and open, the layer's blocks forgotten, line style and symbol
// scale at their start.
void OpenBackEnd(std::unique_ptr<CadBackEnd> backend) {
  g_backend = std::move(backend);
  ResetCadBlocks();
  if (g_backend) {
    g_backend->Open();
    if (Flags.AbortFlag) {
      g_backend->Abandon();
      g_backend.reset();
      return;
    }
  }
  CadSetLineStyle(0);
  CadSetSymbolScale(1.0L);
}
}  // namespace

void CadBeginOutput(int device) {
  if (g_backend) {  // an output left open: drop it
    g_backend->Abandon();
    g_backend.reset();
  }
  CadState.CadRequestedDevice = device;
  CadSetOrigin(0, 0);
  Flags.PrintPreset = 0;
  if (device != 0)
    CadState.CadDevice = device;
  else
    CadAskDevice();
  if (Flags.AbortFlag) return;

  const int dev = CadState.CadDevice;
  std::unique_ptr<CadBackEnd> backend = MakeCadBackEnd(dev);
  const std::string ext = DeviceExtension(dev);
  if (!ext.empty() && !backend) {
    ErrorMessage(UpperStr(ext) + "-Ausgabe ist in dieser Version nicht vorhanden");
    Flags.AbortFlag = true;
    return;
  }
  if (dev == CadDevicePlot) {
    CadState.CadFileName = AddBackslash(Settings.TempFolder) + "gravura.dxf";
  } else if (!ext.empty()) {
    ChooseOutputFile(ext);
    if (Flags.AbortFlag) return;
  }

  CadState.CadInBlocks = false;
  CadState.CadInsertX = CadState.CadInsertY = CadState.CadInsertAngle = 0;
  CadState.CadInsertScaleX = CadState.CadInsertScaleY = 1;
  CadState.CadInsertDepth = 0;
  CadState.CadVertexCount = 0;
  CadState.CadPrevBulge = 0;
  OpenBackEnd(std::move(backend));
}

void CadRestartOutput() {
  if (!g_backend) return;
  g_backend->Abandon();
  g_backend.reset();
  OpenBackEnd(MakeCadBackEnd(CadState.CadDevice));
}

void CadEndOutput() {
  if (!g_backend) return;
  g_backend->Close();  // still the current back end: closing may replay user block files
  g_backend.reset();
  ResetCadBlocks();
}

void CadSetDevice(int device) { CadState.CadDevice = device; }

void CadSetOrigin(long double x, long double y) {
  CadState.CadOriginX = x;
  CadState.CadOriginY = y;
}

void CadSetSymbolScale(long double f) {
  long double s = f * Settings.DimensionSizeFactor;
  CadState.CadSymbolScale = std::fabs(s) < 0.01L || !std::isfinite(s) ? 1.0L : s;
}

void CadSetPen(int n) {
  if (n > 31) n = n % 16 + 16;
  if (n < 0) n = 0;
  CadState.CadPen = n;
  DxfSetLayer(n);
  if (B()) B()->SetLayer(n);
}

void CadSetLineStyle(int style) {
  if (B()) B()->SetLineStyle(style);
}

void CadSetTextStyle(int font, long double angle, long double height, long double width) {
  CadState.CadTextHeight = height;
  // A zero height has no proportion: it keeps the default one.
  if (width == 0 || height == 0)
    CadState.CadTextWidth = 0.7L * Settings.CadTextWidthFactor;
  else
    CadState.CadTextWidth = width / height * Settings.CadTextWidthFactor;
  // The angle as given: the correction for the screen's aspect belongs to painting the screen.
  CadState.CadTextRotation = angle;
  CadState.CadTextSlant = Settings.CadTextAngle;
  if (B()) B()->SetTextStyle(font, angle, height, width);
}

namespace {
// The characters of a text as the device holds it: a CAD file the text it writes (umlauts and
// signs spelled out where the text mode says so), the screen the text it shows.
size_t DeviceTextLength(const std::string& s) {
  const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  if (std::none_of(s.begin(), s.end(), high)) return s.size();  // (ASCII as it stands)
  if (CadState.CadDevice == CadDeviceScreen)
    return static_cast<size_t>(Utf8Length(ConvertDisplayText(s)));
  return CadFileText(s).size();
}
}  // namespace

void CadSetTextStyleFit(int font, const std::string& s, long double angle, long double height,
                        long double width, long double maxLength) {
  const long double needed = static_cast<long double>(DeviceTextLength(TrimBlanks(s))) * width *
                             Settings.GraphicTextWidthFactor / 0.7L;
  if (needed <= 0 || maxLength >= needed) {
    CadSetTextStyle(font, angle, height, width);
    return;
  }
  const long double f = std::max(maxLength, 0.0L) / needed;
  CadSetTextStyle(font, angle, height * f, width * f);
}

bool CadOutputDone() { return true; }

// ---- Primitives ---------------------------------------------------------------------------------

void CadLine(long double x1, long double y1, long double x2, long double y2) {
  const long double ox = CadState.CadOriginX, oy = CadState.CadOriginY;
  if (B()) B()->Line(x1 + ox, y1 + oy, x2 + ox, y2 + oy);
}

void CadCircle(long double x, long double y, long double r) {
  if (B()) B()->Circle(x + CadState.CadOriginX, y + CadState.CadOriginY, std::fabs(r));
}

void CadArc(long double x, long double y, long double startAngle, long double endAngle,
            long double r) {
  if (r == 0 || !B()) return;
  NormaliseArc(startAngle, endAngle, r);
  if (!ArcAnglesWithinTurn(startAngle, endAngle)) return;
  B()->Arc(x + CadState.CadOriginX, y + CadState.CadOriginY, startAngle, endAngle, r);
}

void CadText(const std::string& s, long double x, long double y) {
  CadBackEnd* const b = B();
  if (s.empty() || !b) return;
  const long double px = x + CadState.CadOriginX, py = y + CadState.CadOriginY;
  if (CadPieceTextWatch) CadPieceTextWatch(s, px, py);
  b->Text(s, px, py);
}

void CadSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
              long double y3, long double x4, long double y4) {
  const long double ox = CadState.CadOriginX, oy = CadState.CadOriginY;
  if (B()) B()->Solid(x1 + ox, y1 + oy, x2 + ox, y2 + oy, x3 + ox, y3 + oy, x4 + ox, y4 + oy);
}

void CadMoveTo(long double x, long double y) {
  CadState.CadPenX = x;
  CadState.CadPenY = y;
}

void CadLineTo(long double x, long double y) {
  CadLine(CadState.CadPenX, CadState.CadPenY, x, y);
  CadMoveTo(x, y);
}

void CadRectangle(long double x1, long double y1, long double x2, long double y2) {
  CadMoveTo(x1, y1);
  CadLineTo(x1, y2);
  CadLineTo(x2, y2);
  CadLineTo(x2, y1);
  CadLineTo(x1, y1);
}

void CadHLine(long double x, long double y, long double len) { CadLine(x, y, x + len, y); }
void CadVLine(long double x, long double y, long double len) { CadLine(x, y, x, y + len); }

void CadHLineCentred(long double x, long double y, long double len) {
  CadLine(x - len / 2, y, x + len / 2, y);
}

void CadVLineCentred(long double x, long double y, long double len) {
  CadLine(x, y - len / 2, x, y + len / 2);
}

void CadTextAtPen(const std::string& s) {
  if (s.empty()) return;
  CadText(s, CadState.CadPenX, CadState.CadPenY);
  const long double step = 1.6L * CadState.CadTextHeight;
  if (CadState.CadTextRotation == 0) {
    CadState.CadPenY -= step;
  } else {
    const long double a = DegToRad(CadState.CadTextRotation - 90);
    CadState.CadPenX += step * std::cos(a);
    CadState.CadPenY += step * std::sin(a);
  }
}

// ---- Transformed primitives ---------------------------------------------------------------------

namespace {
bool g_inDouble = false;

// The cosine and sine of the last insert angle, in double.
struct DoubleTurn {
  long double angle = 0;
  double c = 1, s = 0;
};

// A point of a block mapped in double (a replay on the screen).
void MapInDouble(double& xr, double& yr, long double x, long double y) {
  const CadOutputState& st = CadState;
  // A block's points all turn by the angle of its insert.
  thread_local DoubleTurn turn;
  if (turn.angle != st.CadInsertAngle) {
    turn.angle = st.CadInsertAngle;
    SinCosDegrees(static_cast<double>(turn.angle), turn.s, turn.c);
  }
  const double px = static_cast<double>(x) * static_cast<double>(st.CadInsertScaleX);
  const double py = static_cast<double>(y) * static_cast<double>(st.CadInsertScaleY);
  xr = static_cast<double>(st.CadInsertX) + (px * turn.c - py * turn.s);
  yr = static_cast<double>(st.CadInsertY) + (py * turn.c + px * turn.s);
}

void Map(long double& xr, long double& yr, long double x, long double y) {
  const CadOutputState& st = CadState;
  if (!g_inDouble) {
    ScaleRotateTranslate(xr, yr, st.CadInsertScaleX, st.CadInsertScaleY, st.CadInsertX,
                         st.CadInsertY, st.CadInsertAngle, x, y);
    return;
  }
  double dx, dy;
  MapInDouble(dx, dy, x, y);
  xr = dx, yr = dy;
}
}  // namespace

void CadTransformedPoint(long double& xr, long double& yr, long double x, long double y) {
  Map(xr, yr, x, y);
}

void CadTransformInDouble(bool on) { g_inDouble = on; }
bool CadTransformsInDouble() { return g_inDouble; }

void CadTransformedLine(long double x1, long double y1, long double x2, long double y2) {
  if (g_inDouble) {
    double a, b, c, d;
    MapInDouble(a, b, x1, y1);
    MapInDouble(c, d, x2, y2);
    if (B()) B()->LineInDouble(a, b, c, d);
    return;
  }
  long double a, b, c, d;
  Map(a, b, x1, y1);
  Map(c, d, x2, y2);
  if (B()) B()->Line(a, b, c, d);
}

void CadTransformedCircle(long double x, long double y, long double r) {
  long double a, b;
  Map(a, b, x, y);
  if (B()) B()->Circle(a, b, std::fabs(r * CadState.CadInsertScaleX));
}

void CadTransformedArc(long double x, long double y, long double startAngle, long double endAngle,
                       long double r) {
  const long double sx = CadState.CadInsertScaleX, sy = CadState.CadInsertScaleY;
  if (r == 0 || sx == 0 || !B()) return;
  NormaliseArc(startAngle, endAngle, r);
  // A mirrored insert mirrors the arc: it runs the other way round between mirrored angles.
  long double s = startAngle, e = endAngle;
  if (sx < 0 && sy >= 0) {
    s = 180 - endAngle;
    e = 180 - startAngle;
  } else if (sy < 0 && sx >= 0) {
    s = -endAngle;
    e = -startAngle;
  } else if (sx < 0 && sy < 0) {
    s = startAngle + 180;
    e = endAngle + 180;
  }
  s += CadState.CadInsertAngle;
  e += CadState.CadInsertAngle;
  if (!ArcAnglesWithinTurn(s, e)) return;
  long double a, b;
  Map(a, b, x, y);
  B()->Arc(a, b, s, e, r * std::fabs(sx));
}

void CadTransformedText(const std::string& s, long double x, long double y) {
  if (s.empty() || !B()) return;
  long double a, b;
  Map(a, b, x, y);
  B()->Text(s, a, b);
}

void CadTransformedSolid(long double x1, long double y1, long double x2, long double y2,
                         long double x3, long double y3, long double x4, long double y4) {
  long double p[8];
  Map(p[0], p[1], x1, y1);
  Map(p[2], p[3], x2, y2);
  Map(p[4], p[5], x3, y3);
  Map(p[6], p[7], x4, y4);
  if (B()) B()->Solid(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
}

}  // namespace qern
