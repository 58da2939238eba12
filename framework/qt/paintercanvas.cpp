// Canvas over QPainter: pens, brushes, shapes and texts of the display-list replay; printout.
#include "framework/qt/paintercanvas.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <string_view>

#include "platform/fileerror.h"
#include "platform/workfile.h"

namespace qern {

QColor ColorFromValue(uint32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

PainterCanvas::PainterCanvas(QPainter& painter) : p_(painter) {}

void PainterCanvas::SetPen(uint32_t color, int width, int style) {
  QPen pen(Shade(color));
  pen.setWidth(std::max(0, width));
  switch (style) {
    case 1: pen.setStyle(Qt::DotLine); break;
    case 2: pen.setStyle(Qt::DashDotLine); break;
    case 3: pen.setStyle(Qt::DashLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
  }
  p_.setPen(pen);
}

void PainterCanvas::SetBrush(uint32_t color) { brush_ = Shade(color); }

QColor PainterCanvas::Shade(uint32_t color) const {
  const QColor c = ColorFromValue(color);
  if (!grayscale_) return c;
  const int g = qGray(c.rgb());
  return QColor(g, g, g);
}

void PainterCanvas::Line(int x1, int y1, int x2, int y2) { p_.drawLine(x1, y1, x2, y2); }

void PainterCanvas::Ellipse(int left, int top, int right, int bottom) {
  p_.setBrush(Qt::NoBrush);
  p_.drawEllipse(QRect(left, top, right - left, bottom - top));
}

void PainterCanvas::Arc(int left, int top, int right, int bottom, double startDeg,
                        double sweepDeg) {
  p_.drawArc(QRect(left, top, right - left, bottom - top), int(std::lround(startDeg * 16)),
             int(std::lround(sweepDeg * 16)));
}

void PainterCanvas::Polygon(const std::array<int, 8>& xy) {
  const QPoint pts[4] = {{xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]}, {xy[6], xy[7]}};
  p_.setBrush(QBrush(brush_, Qt::SolidPattern));
  p_.drawPolygon(pts, 4);
}

QFont CellFont(const CanvasFont& font) {
  QFont f(QString::fromStdString(font.Face));
  f.setWeight(font.Bold ? QFont::Bold : QFont::Thin);
  f.setItalic(font.Italic);
  f.setUnderline(font.Underline);
  f.setStrikeOut(font.StrikeOut);
  // The capitals' height, measured once per face and style at a size where rounding does not
  // count, then the size that gives the cell's.
  static QHash<QString, double> capHeights;
  const QString key =
      f.family() + QChar('|') + QString::number(font.Bold) + QString::number(font.Italic);
  auto it = capHeights.find(key);
  if (it == capHeights.end()) {
    constexpr int Probe = 200;
    f.setPixelSize(Probe);
    const double top = QFontMetricsF(f).tightBoundingRect(QStringLiteral("H")).top();
    it = capHeights.insert(key, -top / Probe);
  }
  const double cap = *it;
  const double size = cap > 0.2 && cap < 1.5 ? CellCapHeight * font.Height / cap : font.Height;
  f.setPixelSize(std::max(1, int(std::lround(size))));
  if (font.Width > 0) {
    // The width is the average character width: stretch the font to it.
    int natural = QFontMetrics(f).averageCharWidth();
    if (natural > 0) f.setStretch(std::clamp(int(std::lround(100.0 * font.Width / natural)), 1, 4000));
  }
  return f;
}

void PainterCanvas::Text(int x, int y, const std::string& text, const CanvasFont& font) {
  if (font.Height <= 0 || text.empty()) return;
  const QFont f = CellFont(font);
  p_.save();
  p_.setFont(f);
  p_.setPen(Shade(font.Color));
  p_.translate(x, y);
  if (font.Angle != 0) p_.rotate(-font.Angle);
  p_.drawText(0, int(std::lround(CellBaseline * font.Height)), QString::fromStdString(text));
  p_.restore();
}

void PainterCanvas::Frame(int left, int top, int right, int bottom) {
  p_.setBrush(Qt::NoBrush);
  p_.drawRect(QRect(left, top, right - left, bottom - top));
}

void PainterCanvas::Pause(int ms) {
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(std::min(ms, 10000)));
}

bool PrintDisplayList(QPaintDevice& page, const PrintMapping& mapping, bool grayscale) {
  QPainter painter;
  if (!painter.begin(&page)) return false;
  PrintMapping m = mapping;
  m.PageWidth = page.width();
  m.PageHeight = page.height();
  PainterCanvas canvas(painter);
  canvas.SetGrayscale(grayscale);
  Graph.PrintFlag = true;
  if (FZorqgra) {
    FZorqgra->FormPaint(nullptr, &canvas, &m);
  } else {
    ReplayDisplayList(DisplayList, nullptr, &canvas, &m);
  }
  Graph.PrintFlag = false;
  painter.end();
  return true;
}

PdfFileOutput::PdfFileOutput(const QPrinter& printer)
    : file_(printer.outputFileName().toStdString()),
      grayscale_(printer.colorMode() == QPrinter::GrayScale),
      buffer_(std::make_unique<QBuffer>(&bytes_)) {
  buffer_->open(QIODevice::WriteOnly);
  writer_ = std::make_unique<QPdfWriter>(buffer_.get());
  writer_->setPdfVersion(printer.pdfVersion());
  writer_->setResolution(printer.resolution());
  writer_->setPageLayout(printer.pageLayout());
  writer_->setTitle(printer.docName());
  writer_->setCreator(printer.creator());
}

PdfFileOutput::~PdfFileOutput() = default;

std::string PdfFileOutput::Commit() {
  writer_.reset();  // (its painting has ended: the document is whole in memory)
  WorkFile work;
  if (!work.Create(file_) ||
      !work.Write(std::string_view(bytes_.constData(), static_cast<size_t>(bytes_.size()))) || !work.Commit())
    return FileErrorText(work.Error(), file_);
  return "";
}

std::string PrintDisplayListToPdf(const QPrinter& printer, const PrintMapping& mapping) {
  PdfFileOutput out(printer);
  // (The writer knows no grey: the canvas gives the shades the printer's engine would.)
  if (!PrintDisplayList(out.Writer(), mapping, out.Grayscale())) return FileErrorText(EIO, out.File());
  return out.Commit();
}

bool UsePdfWhenNoPrinter(QPrinter& printer, const QString& pdfFile) {
  if (!QPrinterInfo::availablePrinters().isEmpty()) return false;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdfFile);
  return true;
}

}  // namespace qern
