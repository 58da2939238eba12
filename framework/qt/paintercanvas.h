// The display list's canvas on a QPainter (window, printer, image), and the printout of the list.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QString>
#include <memory>
#include <string>

#include "framework/zorqgraf.h"

class QBuffer;
class QPainter;
class QPdfWriter;
class QPaintDevice;
class QPrinter;

namespace qern {

// A $00BBGGRR colour value as a QColor.
QColor ColorFromValue(uint32_t value);

// The character cell of a text: the drawing makes it 1.6 times the text's height (times the
// configured factor) and puts its top 0.75 of it above the text's position. A plotter's label
// stands on its position with capitals of the text's height; every font is scaled and placed so,
// whatever font the system substitutes for the configured face.
inline constexpr double CellCapHeight = 1 / 1.6, CellBaseline = 0.75;
// The font of a canvas text, scaled to its character cell and stretched to its width.
QFont CellFont(const CanvasFont& font);

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
  // Colours given as their grey (a page printed in grey scale).
  void SetGrayscale(bool on) { grayscale_ = on; }

 private:
  QColor Shade(uint32_t color) const;
  QPainter& p_;
  QColor brush_;
  bool grayscale_ = false;
};

// Replays the display list on a page (a QPrinter, or an image in tests): the page size in device
// pixels replaces mapping's page size; PrintFlag is set meanwhile; grayscale gives every colour as
// its grey. False when painting could not begin on the device.
bool PrintDisplayList(QPaintDevice& page, const PrintMapping& mapping, bool grayscale = false);

// The PDF file a printer is directed to, written as every output is: the document is painted in
// memory by a writer of its own with the printer's page, resolution and title (a printer's engine
// that once failed to write its file writes nothing more for the rest of the run), then goes
// through a working file that replaces the file (the user's own link followed) only when whole.
class PdfFileOutput {
 public:
  explicit PdfFileOutput(const QPrinter& printer);
  ~PdfFileOutput();
  PdfFileOutput(const PdfFileOutput&) = delete;
  PdfFileOutput& operator=(const PdfFileOutput&) = delete;

  QPdfWriter& Writer() { return *writer_; }
  const std::string& File() const { return file_; }
  // The printer prints in grey scale (the writer knows no grey: the painting gives the shades).
  bool Grayscale() const { return grayscale_; }
  // Writes the document, its painting ended, as the file: "" or the reason of the failure, the
  // old file then as it was.
  std::string Commit();

 private:
  std::string file_;
  bool grayscale_;
  QByteArray bytes_;
  std::unique_ptr<QBuffer> buffer_;
  std::unique_ptr<QPdfWriter> writer_;
};

// Prints the display list into the PDF file the printer is directed to through a PdfFileOutput:
// "" or the reason of the failure.
std::string PrintDisplayListToPdf(const QPrinter& printer, const PrintMapping& mapping);

// Points the printer at pdfFile when the system has no printer; true when it did so.
bool UsePdfWhenNoPrinter(QPrinter& printer, const QString& pdfFile);

}  // namespace qern
