// A paint device for widget tests: keeps the texts drawn on it, with their places, in the order
// drawn, and draws nothing else. A widget rendered on it shows which text it really painted.
#pragma once

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTextItem>
#include <QWidget>
#include <vector>

namespace qern::test {

class TextRecorder : public QPaintDevice {
 public:
  struct Piece {
    QPointF At;  // the start of its base line
    QString Text;
    qreal Width = 0;
  };
  explicit TextRecorder(const QWidget* like) : like_(like), engine_(this) {}
  QPaintEngine* paintEngine() const override { return &engine_; }
  std::vector<Piece> Pieces;

 protected:
  // The metrics of the widget drawn, so that its fonts resolve as on its screen.
  int metric(PaintDeviceMetric m) const override {
    switch (m) {
      case PdmWidth: return like_->width();
      case PdmHeight: return like_->height();
      case PdmDepth: return 32;
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
      case PdmDpiX: return like_->logicalDpiX();
      case PdmDpiY: return like_->logicalDpiY();
      case PdmPhysicalDpiX: return like_->physicalDpiX();
      case PdmPhysicalDpiY: return like_->physicalDpiY();
      case PdmWidthMM: return like_->widthMM();
      case PdmHeightMM: return like_->heightMM();
      default: return like_->colorCount();
    }
  }

 private:
  class Engine : public QPaintEngine {
   public:
    explicit Engine(TextRecorder* owner) : QPaintEngine(AllFeatures), owner_(owner) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
      owner_->Pieces.push_back({state->transform().map(p), item.text(), item.width()});
    }
    Type type() const override { return User; }

   private:
    TextRecorder* owner_;
  };
  const QWidget* like_;
  mutable Engine engine_;
};

// The texts a widget paints, joined in the order drawn.
inline QString DrawnText(QWidget* widget) {
  TextRecorder recorder(widget);
  widget->render(&recorder);
  QString text;
  for (const auto& piece : recorder.Pieces) text += piece.Text;
  return text;
}

// True when every text a widget paints lies inside it from left to right: none cut off at an edge.
inline bool DrawnInside(QWidget* widget) {
  TextRecorder recorder(widget);
  widget->render(&recorder);
  for (const auto& piece : recorder.Pieces)
    if (piece.At.x() < 0 || piece.At.x() + piece.Width > widget->width() + 0.5) return false;
  return true;
}

}  // namespace qern::test
