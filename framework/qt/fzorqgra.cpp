// Graphics window: Qt events to the window logic of the core, paint by replaying the list.
#include "framework/qt/fzorqgra.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QRubberBand>

#include "framework/progvar.h"
#include "framework/qt/paintercanvas.h"

namespace qern {

namespace {
MouseButton ButtonOf(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    default: return MouseButton::Middle;
  }
}
}  // namespace

ZorqgraArea::ZorqgraArea(TFzorqgra* owner) : QWidget(owner), owner_(owner) {
  setObjectName("ZorqgraArea");
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ZorqgraArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColorFromValue(static_cast<uint32_t>(Settings.BackgroundColor)));
  PainterCanvas canvas(painter);
  owner_->FormPaint(&canvas);
  if (!owner_->directLines_.empty()) {
    painter.setPen(ColorFromValue(static_cast<uint32_t>(Settings.ColorPalette[15])));
    for (const QLine& l : owner_->directLines_) painter.drawLine(l);
    owner_->directLines_.clear();
  }
}

// Drawings map to the area as it really is (the menu bar and the window manager take their share
// of the window).
void ZorqgraArea::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  owner_->SetDrawingAreaSize(width(), height());
}

void ZorqgraArea::mousePressEvent(QMouseEvent* e) {
  QPoint p = e->position().toPoint();
  owner_->FormMouseDown(ButtonOf(e->button()), p.x(), p.y());
}

void ZorqgraArea::mouseMoveEvent(QMouseEvent* e) {
  QPoint p = e->position().toPoint();
  owner_->FormMouseMove(p.x(), p.y());
}

void ZorqgraArea::mouseReleaseEvent(QMouseEvent* e) {
  QPoint p = e->position().toPoint();
  owner_->FormMouseUp(ButtonOf(e->button()), p.x(), p.y());
}

void ZorqgraArea::mouseDoubleClickEvent(QMouseEvent* e) {
  // The double click stands in for the second press: flag first, then the press that acts on it.
  owner_->FormDblClick();
  mousePressEvent(e);
}

TFzorqgra::TFzorqgra(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("ZorqGraf");
  area_ = new ZorqgraArea(this);
  setCentralWidget(area_);
  band_ = new QRubberBand(QRubberBand::Rectangle, area_);
  FZorqgra = this;
}

TFzorqgra::~TFzorqgra() {
  // Later drawings without a window map to the configured size again.
  Graph.AreaWidth = Graph.AreaHeight = 0;
}

void TFzorqgra::keyPressEvent(QKeyEvent* e) {
  const bool keypad = e->modifiers() & Qt::KeypadModifier;
  GraphicKey key;
  switch (e->key()) {
    case Qt::Key_Escape: key = GraphicKey::Escape; break;
    case Qt::Key_F5: key = GraphicKey::F5; break;
    case Qt::Key_Plus:
      if (!keypad) return QMainWindow::keyPressEvent(e);
      key = GraphicKey::NumPlus;
      break;
    case Qt::Key_Minus:
      if (!keypad) return QMainWindow::keyPressEvent(e);
      key = GraphicKey::NumMinus;
      break;
    case Qt::Key_Up: key = GraphicKey::Up; break;
    case Qt::Key_Down: key = GraphicKey::Down; break;
    case Qt::Key_PageUp: key = GraphicKey::PageUp; break;
    case Qt::Key_PageDown: key = GraphicKey::PageDown; break;
    case Qt::Key_Left: key = GraphicKey::Left; break;
    case Qt::Key_Right: key = GraphicKey::Right; break;
    default: return QMainWindow::keyPressEvent(e);
  }
  processKey(key);
  e->accept();
}

void TFzorqgra::RequestRepaint() { area_->update(); }

void TFzorqgra::DrawDirectLine(int x1, int y1, int x2, int y2) {
  directLines_.emplace_back(x1, y1, x2, y2);
  area_->update();
}

void TFzorqgra::ShowRubberBand(int x1, int y1, int x2, int y2) {
  band_->setGeometry(QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized());
  band_->show();
}

void TFzorqgra::HideRubberBand() { band_->hide(); }

}  // namespace qern
