// CAD output layer: the device-independent drawing interface of the drawings. Every drawing is one
// pass of calls (begin output, drawing, tables, blocks, entities, end output) in millimetres, y up;
// the layer keeps pen, text style, origin and pen position and hands each primitive to the back end
// of CadDevice (DXF, IGES, screen, plot program, CAD text). Core code, no toolkit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace qern {

// Device codes of CadDevice.
constexpr int CadDeviceDxf = 1;
constexpr int CadDeviceIges = 2;
constexpr int CadDeviceScreen = 3;  // check output on screen (display list)
constexpr int CadDevicePlot = 4;    // DXF "gravura.dxf" handed to the plot program
constexpr int CadDeviceText = 5;    // tab-separated "CAD-Code" text

// Pens the structure calls use: dimension lines, the frame rectangle, the screen footer.
constexpr int CadPenDimension = 3;
constexpr int CadPenFrame = 19;
constexpr int CadPenFooter = 30;

// The layer's state; CadBeginOutput resets part of it (see there). Settings (layer names and colours,
// text style, decimals, plot command lines) live in Settings (framework/progvar.h).
struct CadOutputState {
  int CadDevice = CadDeviceScreen;
  int CadRequestedDevice = 0;  // device last passed to CadBeginOutput (0 = asked)
  std::string CadFileName;     // full name of the output file (the temporary one for the plot device)
  long double CadOriginX = 0, CadOriginY = 0;  // added by the primitives (not by CadMoveTo)
  long double CadPenX = 0, CadPenY = 0;        // pen of CadMoveTo/CadLineTo/CadTextAtPen, no origin
  int CadPen = 0;                              // layer number 0..31
  std::string CadLayerName = "0";              // layer written with each DXF entity
  // Current text style: height, width factor, rotation and slant in degrees.
  long double CadTextHeight = 5.0L, CadTextWidth = 1.0L, CadTextRotation = 0, CadTextSlant = 0;
  long double CadSymbolScale = 1.0L;  // size unit of arrows and dimension offsets
  // xmin, xmax, ymin, ymax, width, height of the drawing (CadBeginDrawing).
  std::array<long double, 6> CadExtents = {0, 160, 0, 120, 160, 120};
  bool CadInBlocks = false;  // between CadBeginBlocks and CadEndSection
  // Insert transform of the screen replay of block files.
  long double CadInsertX = 0, CadInsertY = 0, CadInsertAngle = 0;
  long double CadInsertScaleX = 1.0L, CadInsertScaleY = 1.0L;
  int CadInsertDepth = 0;
  // Polylines: native where the back end has them, else drawn as lines and arcs.
  bool CadNativePolylines = true;
  int CadVertexCount = 0;
  long double CadPrevBulge = 0;  // included angle (radians) of the previous vertex
  int GravuraCommandIndex = 1;   // plot command line in use, 1-based
};

extern CadOutputState CadState;

// ---- Output control ---------------------------------------------------------------------------
// Opens an output on device (0 = ask with CadAskDevice). Files: devices 1, 2, 5 through the save
// dialog (none in batch runs: the design's name with the device's extension), device 4 the file
// "gravura.dxf" in the folder for temporary files. A cancel sets AbortFlag and opens nothing.
void CadBeginOutput(int device);
// Finishes the output: the file is written completely under its name or not at all (a failure is
// reported and sets AbortFlag); the screen is repainted; the plot program is started.
void CadEndOutput();
// The device dialog and, for the plot device, the command-line dialogs; sets CadDevice.
void CadAskDevice();
void CadSetDevice(int device);
void CadSetOrigin(long double x, long double y);
// CadSymbolScale := f * DimensionSizeFactor; below 0.01 in size it becomes 1.
void CadSetSymbolScale(long double f);
// Current pen and layer; above 31 it becomes (n mod 16) + 16.
void CadSetPen(int n);
// Line style 0..3, on the screen only.
void CadSetLineStyle(int style);
// Text style: font number of the drawing calls, angle in degrees, height and character width in
// drawing units (width 0 = default proportion).
void CadSetTextStyle(int font, long double angle, long double height, long double width);
// The same, shrunk so that s fits into maxLength.
void CadSetTextStyleFit(int font, const std::string& s, long double angle, long double height,
                        long double width, long double maxLength);
bool CadOutputDone();

// ---- Primitives (drawing units; the origin offset is added) ------------------------------------
void CadLine(long double x1, long double y1, long double x2, long double y2);
void CadCircle(long double x, long double y, long double r);
// Degrees, counter-clockwise from start to end; radius 0 draws nothing.
void CadArc(long double x, long double y, long double startAngle, long double endAngle,
            long double r);
void CadText(const std::string& s, long double x, long double y);
void CadSolid(long double x1, long double y1, long double x2, long double y2, long double x3,
              long double y3, long double x4, long double y4);
void CadMoveTo(long double x, long double y);
void CadLineTo(long double x, long double y);
void CadRectangle(long double x1, long double y1, long double x2, long double y2);
void CadHLine(long double x, long double y, long double len);
void CadVLine(long double x, long double y, long double len);
void CadHLineCentred(long double x, long double y, long double len);
void CadVLineCentred(long double x, long double y, long double len);
// Text at the pen, then the pen moves one text line on (1.6 text heights).
void CadTextAtPen(const std::string& s);

// Primitives mapped by the insert transform (scale, rotate about the block origin, translate);
// used by the replay of block files. They take block coordinates and add no origin offset.
void CadTransformedLine(long double x1, long double y1, long double x2, long double y2);
void CadTransformedCircle(long double x, long double y, long double r);
void CadTransformedArc(long double x, long double y, long double startAngle, long double endAngle,
                       long double r);
void CadTransformedText(const std::string& s, long double x, long double y);
void CadTransformedSolid(long double x1, long double y1, long double x2, long double y2,
                         long double x3, long double y3, long double x4, long double y4);
// A point of a block mapped by the insert transform, as the primitives above map theirs.
void CadTransformedPoint(long double& xr, long double& yr, long double x, long double y);
// While set, the transform works in double: a replay on the screen, whose pixels are the same
// (files keep the long double arithmetic their bytes come from).
void CadTransformInDouble(bool on);
bool CadTransformsInDouble();

// ---- Drawing structure ------------------------------------------------------------------------
// Call order of one drawing: CadBeginOutput, CadSetPen(0), CadBeginDrawing, CadTables,
// CadBeginBlocks, {CadBeginBlock, primitives, CadEndBlock}, CadEndSection, CadBeginEntities,
// inserts and primitives, CadEndSection, SetPrintPreset(3), CadEndOutput.
void CadBeginDrawing(long double xmin, long double ymin, long double xmax, long double ymax);
// A box in drawing coordinates; empty while xmin > xmax.
struct CadBox {
  long double xmin = 1, ymin = 1, xmax = -1, ymax = -1;
  bool Empty() const { return xmin > xmax || ymin > ymax; }
};
// Runs draw, a whole drawing from CadBeginDrawing to its last entity, on a back end that only
// measures: the box of every point it draws (lines, arcs and circles with their sweep, solids, the
// anchors of texts; blocks through their inserts; user block files not looked into). Nothing is
// output; the layer's state, its blocks, the error list and the flags are as before.
// Given a room (not empty), what lies wholly inside it may be left out: each side of the box is
// then exact where the drawing reaches past that side of the room, and otherwise lies within
// the room (or the box is empty).
// With standIns, a piece whose box is known without drawing it may be drawn by a stand-in that
// holds it (see CadMeasuringByStandIns).
CadBox CadMeasureDrawing(const std::function<void()>& draw, const CadBox& room = {},
                         bool standIns = true);
// Runs draw, a whole drawing, on the output's own back end while watching it: true when nothing
// it draws may reach past room (not empty) — the output then stands as drawn; false when
// something may (the output is then to be begun again with CadRestartOutput, and the drawing
// measured before it is drawn again).
bool CadDrawWatched(const std::function<void()>& draw, const CadBox& room);
// The output begun again for the same device and file, with nothing of it written (no question
// asked); AbortFlag set when the device cannot be opened again.
void CadRestartOutput();
// Whether a drawing is being measured with stand-ins: a piece may then be drawn by lines or
// circles whose box holds it (a wheel of many teeth by its tip circle) instead of itself.
bool CadMeasuringByStandIns();
// Draws a piece whose shapes all lie within box (in the units of the primitives; the origin offset
// is added), such as a sheet's frame and title block. Watched, the piece counts by its box, taken
// once, and its shapes go straight to the output; only its texts and user block files are watched
// (a text may be written wider than it was fitted). Measured, it is drawn shape by shape.
void CadDrawPiece(const CadBox& box, const std::function<void()>& draw);
// The characters of a text as the widest writer has them (a file's text may write one character
// as several: a transliterated umlaut, an escaped character); a text's box is this many times its
// height and width factor long.
size_t CadTextCharacters(const std::string& s);
void CadTables();
void CadBeginBlocks();
// A named block; names are matched without regard to case. While AbortFlag is set at their start
// both do nothing else, and CadEndBlock clears the flag, so one failed block does not end the drawing.
void CadBeginBlock(const std::string& name);
void CadEndBlock();
void CadEndSection();
// Starts the entities (with the frame rectangle and the logo blocks where they belong).
void CadBeginEntities();
// Whether the logo blocks LOGO_2 and LOGO_3 are drawn, and the box they are placed and scaled by
// (empty: the drawing's extents). A drawing measured for its extents places them by the extents
// it has without them: a logo reaching past its frame would otherwise grow with the extents that
// hold it, and no extents would.
void CadPlaceLogos(bool draw, const CadBox& frame = {});
// Whether this output would draw a logo block (the device takes them and a logo file exists).
bool CadLogosPossible();
// Inserts a block defined in this output, or a user block file "$name.dx$" of the folder for
// temporary files on the screen and the DXF devices. Any other name draws nothing and lists
// "Blockname <name> not found !". The origin offset is not added.
void CadInsertBlock(const std::string& name, long double x, long double y, long double angle,
                    long double scaleX, long double scaleY);
// count inserts of name about (x, y), the i-th turned by 360 i / count degrees (a wheel's teeth).
void CadInsertTurns(const std::string& name, long double x, long double y, int count,
                    long double scaleX, long double scaleY);
void CadInsertBlockAtOrigin(const std::string& name, long double x, long double y,
                            long double angle, long double scaleX, long double scaleY);

// Polyline: flags bit 0 = closed; each vertex carries the included angle (radians, sign = direction)
// of the arc from it to the next vertex, 0 = straight.
void CadPolylineBegin(uint8_t flags);
void CadVertex(long double x, long double y, long double arcAngle);
void CadPolylineEnd();

// Arrow with its tip at (x, y), opening in direction (degrees): filled head and shaft.
void CadArrow(long double x, long double y, long double direction, long double halfAngle,
              long double headLength, long double shaftLength);
void CadDimensionArrow(long double x, long double y, long double direction);
// Vertical dimension from (x1, y1) to (x2, y2) drawn at xDim, with value and deviation texts.
void CadDimension(const std::string& value, const std::string& upper, const std::string& lower,
                  long double x1, long double y1, long double x2, long double y2, long double xDim);
void CadDimensionText(const std::string& value, const std::string& upper, const std::string& lower,
                      long double a, long double b, long double xDim);

void SwapReals(long double& a, long double& b);
void SetPrintPreset(int n);

// DXF bulge of an arc segment with the included angle (radians): tan(angle / 4).
long double ArcBulge(long double angle);

// ---- Block files ------------------------------------------------------------------------------
// A user block file "$name.dx$" in the folder for temporary files (case ignored), "" when none.
std::string CadUserBlockFile(const std::string& name);
// True when this output defined the block (case ignored).
bool CadBlockDefined(const std::string& name);

// ---- Plot program dialogs ---------------------------------------------------------------------
// The plot program's settings window (preset with the command line; false = cancelled) and the
// dialog sequence that builds a command line (mode 0 from the device dialog). Installed by the plot
// program's units; without them the device dialog keeps the stored line. Batch runs never reach
// them: the device choice is answered with Cancel there.
struct CadPlotDialogs {
  std::function<bool(std::string& line)> SettingsWindow;
  std::function<void(std::string& line, int mode)> AskCommandLine;
};
void SetCadPlotDialogs(const CadPlotDialogs& dialogs);

}  // namespace qern
