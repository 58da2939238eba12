// The display list's canvas on a QPainter (window, printer, image), and the printout of the list.
#pragma once

#include <QColor>
#include <QString>

#include "framework/zorqgraf.h"

class QPainter;
class QPaintDevice;
class QPrinter;

namespace qern {

// A $00BBGGRR colour value as a QColor.
QColor ColorFromValue(uint32_t value);

class PainterCanvas : public Canvas {
 public:
  explicit PainterCanvas(QPainter& painter);
  void SetPen(uint32_t color, int width, int style) override;
  void SetBrush(uint32_t color) override;
  void Line(int x1, int y1, int x2, int y2) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Arc(int left, int top, int right, int bottom, double startDeg, double sweepDeg) override;
  void Polygon(const std::array<int, 8>& xy) override;
  void Text(int x, int y, const std::string& text, const CanvasFont& font) override;
  void Frame(int left, int top, int right, int bottom) override;
  void Pause(int ms) override;

 private:
  QPainter& p_;
  QColor brush_;
};

// Replays the display list on a page (a QPrinter, or an image in tests): the page size in device
// pixels replaces mapping's page size; PrintFlag is set meanwhile. False when painting could not
// begin on the device.
bool PrintDisplayList(QPaintDevice& page, const PrintMapping& mapping);

// Points the printer at pdfFile when the system has no printer; true when it did so.
bool UsePdfWhenNoPrinter(QPrinter& printer, const QString& pdfFile);

}  // namespace qern
