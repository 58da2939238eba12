// Graphics window core: the display list, the world-to-pixel mapping with zoom and pan, and the one
// replay routine that paints the list on any Canvas (screen, printer, test image). No toolkit here.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qern {

// ---------------------------------------------------------------------------------------------
// Display list

// Record codes of the display list.
enum DisplayCode : int {
  RecMove = 1,         // 1;x;y
  RecDraw = 2,         // 2;x;y            line from the pen
  RecCircle = 3,       // 3;x;y;r
  RecLine = 4,         // 4;x1;y1;x2;y2
  RecArc = 5,          // 5;x-r;y-r;x+r;y+r;xs;ys;xe;ye   counter-clockwise from (xs,ys) to (xe,ye)
  RecText = 6,         // 6;x;y;text
  RecSolid = 7,        // 7;x1;y1;x2;y2;x3;y3;x4;y4
  RecColor = 8,        // 8;c
  RecTextStyle = 9,    // 9;height;width;font;angle
  RecWindow = 10,      // 10;left;top;right;bottom;xmin;ymin;xmax;ymax
  RecLineStyle = 11,   // 11;s
  RecLineWidth = 12,   // 12;w
  RecPause = 13,       // 13;ms
};

// One drawing primitive. Numbers are kept as given; the text form rounds them to 8 digits.
struct DisplayRecord {
  int Code = 0;
  std::array<double, 9> Args{};  // the first DisplayArgCount(Code) are used
  std::string Text;              // record 6 only

  // "code;arg;arg..." with reals in the general format (8 significant digits), integers plain.
  std::string ToText() const;
};

// Number of numeric arguments of a record code (record 6: two, before its text); 0 for unknown codes.
int DisplayArgCount(int code);
// Reads the text form; the last field is the rest of the line (a text may hold ";"). Numbers may use
// "." or ",". Unknown codes and short or malformed records give nothing.
std::optional<DisplayRecord> ParseDisplayRecord(std::string_view text);
// General float text with at most `digits` significant digits ("0.5", "12.345679", "1.5E-6").
std::string DisplayNumberText(double x, int digits = 8);

// The records of the current picture; emptied by the drawing device and by Clear.
extern std::vector<DisplayRecord> DisplayList;

// Text forms of the whole list, for tests and debugging.
std::vector<std::string> DisplayListText();

// ---------------------------------------------------------------------------------------------
// Mapping and zoom state

// The part of the viewport currently shown, in viewport pixels.
struct ZoomRectangle {
  int x1 = 0, x2 = 640, y1 = 0, y2 = 480;
};

struct GraphicState {
  // Pixel viewport and world box of the last SetWindow (or replayed record 10).
  int ViewLeft = 0, ViewTop = 0, ViewRight = 1, ViewBottom = 1;
  long double WorldXMin = 0, WorldYMin = 0, WorldXMax = 1, WorldYMax = 1;
  std::array<int, 4> SavedViewport{};                 // left, top, right, bottom
  std::array<long double, 4> SavedLimit{0, 0, 1, 1};  // xmin, ymin, xmax, ymax
  long double ScaleX = 1, ScaleY = 1;                 // pixels per world unit
  bool PrintFlag = false;                             // set while the list is replayed on a printer
  // The shown part: viewport rectangle and its world window.
  ZoomRectangle ZoomRect;
  long double VisibleXMin = 0, VisibleXMax = 1, VisibleYMin = 0, VisibleYMax = 1;
  bool KeepAspect = true;  // one scale for both axes (the smaller), so circles stay round
  long double ZoomAspectFactor = 1;
  // The drawing area's client size in pixels as its window reports it; 0 without a window.
  int AreaWidth = 0, AreaHeight = 0;
};

extern GraphicState Graph;

// Start values of the mapping state (the graphics unit's start-up).
void InitGraphicState();

// The pixel extent drawings are mapped to: the drawing area's client size - 1 where a window
// reported one, else ScreenWidth by ScreenHeight (the configured drawing size).
int DrawingWidth();
int DrawingHeight();

// World to window pixels.
int MapX(long double x);
int MapY(long double y);
int MapLengthX(long double d);
int MapLengthY(long double d);

// Print scales and offsets handed to a printer replay.
struct PrintMapping {
  int PageWidth = 0, PageHeight = 0;  // printer pixels
  long double PrintScaleX = 1, PrintScaleY = 1;
  int PrintOffsetX = 0, PrintOffsetY = 0;  // millimetres on an A4 width of 210 mm
  int PrintColorMode = 1;                  // 1 monochrome, 2 or 3 colour
  bool PrintFrame = false;                 // a frame round the world box
};

// World to printer pixels.
int PrintMapX(const PrintMapping& p, long double x);
int PrintMapY(const PrintMapping& p, long double y);
int PrintLengthX(const PrintMapping& p, long double d);
int PrintLengthY(const PrintMapping& p, long double d);

// ---------------------------------------------------------------------------------------------
// Canvas: what a replay paints on. Colours are $00BBGGRR values.

struct CanvasFont {
  std::string Face;
  int Height = 0;      // pixels
  int Width = 0;       // average character width in pixels (0 = natural)
  double Angle = 0;    // degrees, counter-clockwise
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  uint32_t Color = 0;
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  // style: 0 solid, 1 dotted, 2 dash-dot, 3 dashed.
  virtual void SetPen(uint32_t color, int width, int style) = 0;
  virtual void SetBrush(uint32_t color) = 0;
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // Outline of the ellipse in the box (clear brush).
  virtual void Ellipse(int left, int top, int right, int bottom) = 0;
  // Arc of the ellipse in the box; angles in degrees counter-clockwise on the picture, measured
  // as the ellipse's parameter (0 = right, 90 = top).
  virtual void Arc(int left, int top, int right, int bottom, double startDeg, double sweepDeg) = 0;
  // Filled with the brush, outlined with the pen.
  virtual void Polygon(const std::array<int, 8>& xy) = 0;
  // Text whose unrotated top left corner is (x, y), rotated about that point; transparent.
  virtual void Text(int x, int y, const std::string& text, const CanvasFont& font) = 0;
  // Outline of a rectangle.
  virtual void Frame(int left, int top, int right, int bottom) = 0;
  virtual void Pause(int ms) {}
};

// Replays the list. window: the screen canvas (may be null); printer and its mapping: while
// printing (lines, shapes and colours go to both, texts to the printer only). Record 10 updates the
// mapping state. Returns false when a record 10 with an empty world box ended the replay
// (AbortFlag := 1). Never processes events.
bool ReplayDisplayList(const std::vector<DisplayRecord>& list, Canvas* window,
                       Canvas* printer = nullptr, const PrintMapping* print = nullptr);

// ---------------------------------------------------------------------------------------------
// The graphics window's logic. The Qt window TFzorqgra derives from it and supplies the hooks;
// without a toolkit the hooks do nothing, so drawings can be built and checked headless.

enum class GraphicKey { Escape, F5, NumPlus, NumMinus, Up, Down, PageUp, PageDown, Left, Right };
enum class MouseButton { Left, Right, Middle };

class GraphicWindow {
 public:
  GraphicWindow();
  virtual ~GraphicWindow();
  GraphicWindow(const GraphicWindow&) = delete;
  GraphicWindow& operator=(const GraphicWindow&) = delete;

  // Instance state.
  int TextSizeMode = 0;
  bool Dragging = false;
  bool DblClicked = false;
  int CurColor = -1;       // colour of the last colour record written; -1: none yet, so a
                           // first colour 0 is written too (on every window)
  int CurLineStyle = 99;   // 99 = none yet
  int CurLineWidth = 1;
  bool SingleStep = false;
  int DragX1 = 0, DragY1 = 0, DragX2 = 0, DragY2 = 0;  // rubber-band corners (client pixels)

  // Start values of the mapping state and of the instance fields.
  void FormCreate();
  // Replays the list on the window canvas (and on the printer while printing).
  bool FormPaint(Canvas* window, Canvas* printer = nullptr, const PrintMapping* print = nullptr);

  // Mapping.
  void SetWindow(bool keepAspect, bool frame, long double vx1, long double vy1, long double vx2,
                 long double vy2, long double xmin, long double ymin, long double xmax,
                 long double ymax);
  void SetScale(int x1, int y1, int x2, int y2);
  void SaveLimit();
  void RestoreLimit();
  void ResetZoom();
  void ReSetWindow();
  void Regen();
  void SaveViewPort();
  void RetrieveViewPort();
  long double EinX(long double f) const;
  long double EinY(long double f) const;
  void Header(int flag, long double xmin, long double ymin, long double xmax, long double ymax);

  // Record writers.
  void circle(long double x, long double y, long double r);
  void line(long double x1, long double y1, long double x2, long double y2);
  void LineRecord(double x1, double y1, double x2, double y2);  // line() of numbers in double
  void Arc(long double x, long double y, long double startDeg, long double endDeg, long double r);
  void Rectangle(long double x1, long double y1, long double x2, long double y2);
  void OutTextXY(const std::string& text, long double x, long double y);
  void SetTextStyle(int font, long double angle, long double height, long double width);
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4);
  // Pens are set again and again with nothing changed (every insert of a block sets its own): the
  // checks are inline, a record is written only for a change.
  void SetColor(int c) {
    if (c <= 16) AppendIfChanged(RecColor, c, CurColor);
  }
  int GetColor() const { return CurColor; }
  void SetLineStyle(int s) { AppendIfChanged(RecLineStyle, s, CurLineStyle); }
  void SetLineStyleName(const std::string& name);
  void SetLineWidth(int w) { AppendIfChanged(RecLineWidth, w, CurLineWidth); }
  void SleepMs(int ms);
  void SetTextSizeMode(int m) { TextSizeMode = m; }
  static int GetDirection(long double angleDeg);
  void DrawZorquanLogo();

  // Empties the list (and the writers' remembered colour and pen) and shows a blank picture.
  void Clear();
  // Repaint from the kept list.
  void ClearViewPort();
  // Direct drawing on the window, not recorded.
  void MoveTo(long double x, long double y);
  void LineTo(long double x, long double y);
  // The rubber-band rectangle in client pixels.
  void DrawRectangle(int x1, int y1, int x2, int y2) { ShowRubberBand(x1, y1, x2, y2); }

  void SetWaitCursor();
  void SetOldCursor();

  // The drawing area now has this client size: later drawings map to it, and the kept drawing's
  // viewports scale with it, so the whole picture stays in view.
  void SetDrawingAreaSize(int width, int height);

  // Input: keys and mouse in client pixels. Returns true when the key was handled.
  bool processKey(GraphicKey key);
  void FormMouseDown(MouseButton button, int x, int y);
  void FormMouseMove(int x, int y);
  void FormMouseUp(MouseButton button, int x, int y);
  void FormDblClick();

 protected:
  // Toolkit hooks. The cursor goes through the dialog service unless a window overrides it.
  virtual void RequestRepaint() {}
  virtual void ShowWaitCursor(bool wait);
  virtual void DrawDirectLine(int x1, int y1, int x2, int y2) {}
  virtual void ShowRubberBand(int x1, int y1, int x2, int y2) {}
  virtual void HideRubberBand() {}

 private:
  void Append(int code, std::initializer_list<long double> args, std::string text = {});
  // A one-number record, written only when the value differs from the last one written.
  void AppendIfChanged(int code, int value, int& last) {
    if (value != last) AppendChange(code, value, last);
  }
  void AppendChange(int code, int value, int& last);
  // SetWindow, with or without its record 10.
  void ApplyWindow(bool record, bool keepAspect, bool frame, long double vx1, long double vy1,
                   long double vx2, long double vy2, long double xmin, long double ymin,
                   long double xmax, long double ymax);
  void ZoomAbout(bool in);  // by ZoomFactor about the centre of ZoomRect
  void Pan(int dx, int dy);
  int PenX = 0, PenY = 0;  // direct-drawing pen (pixels)
};

// The drawing window; every drawing ends in its list.
extern GraphicWindow* FZorqgra;

}  // namespace qern
