// Procedural drawing calls over the graphics window: the one drawing device through which the
// start-up, help pictures, the CAD screen output and the drawings draw into the display list.
#pragma once

#include <string>
#include <vector>

#include "framework/zorqgraf.h"

namespace qern {

// Palette index of a plotter pen number (above 16: its low four bits first).
int DosColorIndex(int pen);

class TDrawDevice {
 public:
  // Init: starts an empty display list.
  TDrawDevice();
  // Frees the display list.
  virtual ~TDrawDevice();
  TDrawDevice(const TDrawDevice&) = delete;
  TDrawDevice& operator=(const TDrawDevice&) = delete;

  void ClearDevice();  // empties the list and shows a blank picture
  void SetWindow(bool keepAspect, bool frame, long double vx1, long double vy1, long double vx2,
                 long double vy2, long double xmin, long double ymin, long double xmax,
                 long double ymax);
  // The primitives go straight to the window (inline: a drawing sends tens of thousands).
  void Circle(long double x, long double y, long double r) { Window().circle(x, y, r); }
  void Line(long double x1, long double y1, long double x2, long double y2) {
    Window().line(x1, y1, x2, y2);
  }
  void Arc(long double x, long double y, long double startDeg, long double endDeg, long double r) {
    Window().Arc(x, y, startDeg, endDeg, r);
  }
  void OutTextXY(const std::string& text, long double x, long double y);  // converted for display
  void SetColor(int c) { Window().SetColor(c); }           // palette index 0..16
  void SetDosColor(int c) { SetColor(DosColorIndex(c)); }  // plotter pen number
  void Header(int flag, long double xmin, long double ymin, long double xmax, long double ymax);
  void ClearViewPort();     // repaint from the list
  void SetLineStyle(int s) { Window().SetLineStyle(s); }
  void SetTextJustify(int h, int v) {}
  void SetTextStyle(int font, long double angle, long double height, long double width);
  void Solid(long double x1, long double y1, long double x2, long double y2, long double x3,
             long double y3, long double x4, long double y4);
  void ShowLogo();
  // A missing file: message "<name without blanks> nicht gefunden !" and AbortFlag := 1.
  void CheckFileExists(const std::string& name);
  void SetWaitCursor();
  void SetNormalCursor();
  void ShowMessage(const std::string& text);

  // The window the calls go to: FZorqgra, or a window without screen while none exists.
  GraphicWindow& Window() { return FZorqgra ? *FZorqgra : headless_; }

 private:
  GraphicWindow headless_;
};

// The one drawing device; created with the main window before anything is drawn.
extern TDrawDevice* DrawDevice;

// The drawing window's picture set aside while something else is drawn there for a while (a help
// picture, the logo of a window): Restore, or the end of the scope, gives back its list, mapping
// and pens and repaints it. Does nothing without a drawing device.
class KeptDrawing {
 public:
  KeptDrawing();
  ~KeptDrawing() { Restore(); }
  KeptDrawing(const KeptDrawing&) = delete;
  KeptDrawing& operator=(const KeptDrawing&) = delete;
  void Restore();

 private:
  GraphicWindow* window_ = nullptr;
  std::vector<DisplayRecord> list_;
  GraphicState graph_;
  int color_ = -1, style_ = 99, width_ = 1;
};

// Full name of the current design file ("" when there is none).
std::string DataFileName();

}  // namespace qern
