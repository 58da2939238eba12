// The graphics window TFzorqgra: a main window whose central drawing area replays the display
// list; keys and a rubber band zoom and pan. The program's main window derives from it.
#pragma once

#include <QMainWindow>
#include <QWidget>
#include <vector>

#include "framework/zorqgraf.h"

class QRubberBand;

namespace qern {

class TFzorqgra;

// The client area: paints the background and replays the list; passes the mouse to the window.
class ZorqgraArea : public QWidget {
  Q_OBJECT
 public:
  explicit ZorqgraArea(TFzorqgra* owner);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TFzorqgra* owner_;
};

class TFzorqgra : public QMainWindow, public GraphicWindow {
  Q_OBJECT
 public:
  // Becomes FZorqgra; caption "ZorqGraf".
  explicit TFzorqgra(QWidget* parent = nullptr);
  ~TFzorqgra() override;

  ZorqgraArea* DrawingArea() const { return area_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void RequestRepaint() override;
  void DrawDirectLine(int x1, int y1, int x2, int y2) override;
  void ShowRubberBand(int x1, int y1, int x2, int y2) override;
  void HideRubberBand() override;

 private:
  friend class ZorqgraArea;
  ZorqgraArea* area_;
  QRubberBand* band_;
  std::vector<QLine> directLines_;  // LineTo output, shown by the next paint only
};

}  // namespace qern
