// Dialog sizing and centring by the form and font scale settings, main-window set-up, and the
// installation of the Qt dialog service.
#include "framework/qt/formhelp.h"

#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <memory>

#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/qt/paintercanvas.h"
#include "platform/qt/qtdialogs.h"

namespace qern {

namespace {
QPointer<QWidget> host;
std::unique_ptr<QtDialogService> service;
QRect areaOverride;

FormRect HostRect() {
  if (host) {
    QRect g = host->frameGeometry();
    return {g.x(), g.y(), g.width(), g.height()};
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect g = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  return {g.x(), g.y(), g.width(), g.height()};
}

// The font scaled by factor.
QFont ScaledFont(QFont f, double factor) {
  if (f.pointSizeF() > 0)
    f.setPointSizeF(f.pointSizeF() * factor);
  else if (f.pixelSize() > 0)
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * factor))));
  return f;
}

// The least size of a window as its layout stands now.
QSize LeastSize(QWidget* form) {
  if (QLayout* l = form->layout()) {
    l->invalidate();
    l->activate();
  }
  return form->minimumSizeHint().expandedTo(form->minimumSize());
}

// Size by FormScalePercent, the font by FontScalePercent; the dialog starts from its parent's font.
// A window is never made larger than the screen's free area: the font grows only as far as the
// window's least size still fits there (never below the unscaled font), and the size is bounded
// when the window is placed.
FormRect Scale(QWidget* form) {
  if (QWidget* parent = form->parentWidget()) form->setFont(parent->font());
  double factor = DialogFontFactor();
  if (factor != 1.0 && factor > 0) {
    const QFont base = form->font();
    const QRect area = AvailableScreenArea();
    const QMargins frame = WindowFrameMargins();
    const QSize room(area.width() - frame.left() - frame.right(),
                     area.height() - frame.top() - frame.bottom());
    for (int round = 0;; ++round) {
      form->setFont(ScaledFont(base, factor));
      const QSize least = LeastSize(form);
      if (least.width() <= room.width() && least.height() <= room.height()) break;
      if (factor <= 1.0 || round == 8) break;
      // Sizes grow about as the font: shrink by what is too much, a little more each round.
      const double fit = std::min(static_cast<double>(room.width()) / least.width(),
                                  static_cast<double>(room.height()) / least.height());
      factor = std::max(1.0, factor * std::min(0.97, fit));
    }
    // Grow to fit the scaled controls, but keep the dialog's own size as the least.
    form->resize(form->size().expandedTo(form->sizeHint()));
  }
  FormRect r = ScaledFormSize({form->x(), form->y(), form->width(), form->height()});
  form->resize(r.Width, r.Height);
  return r;
}
}  // namespace

QRect FitClientOnScreen(const QRect& client, const QMargins& frame, const QRect& available) {
  QRect r = client;
  const QSize room(available.width() - frame.left() - frame.right(),
                   available.height() - frame.top() - frame.bottom());
  r.setSize(r.size().boundedTo(room).expandedTo(QSize(1, 1)));
  const int left = available.left() + frame.left();
  const int top = available.top() + frame.top();
  const int right = available.left() + available.width() - frame.right() - r.width();
  const int bottom = available.top() + available.height() - frame.bottom() - r.height();
  r.moveTo(std::clamp(r.x(), left, std::max(left, right)), std::clamp(r.y(), top, std::max(top, bottom)));
  return r;
}

QMargins WindowFrameMargins() {
  if (host && host->isVisible()) {
    const QRect f = host->frameGeometry(), g = host->geometry();
    if (f != g) return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
    // Shown without a frame so far: either there is none, or the window manager has not told yet.
    if (QGuiApplication::platformName() == "offscreen") return {};
  }
  return {4, 30, 4, 4};
}

void SetAvailableScreenAreaOverride(const QRect& area) { areaOverride = area; }

QRect AvailableScreenArea() {
  if (!areaOverride.isEmpty()) return areaOverride;
  QScreen* screen = host && host->screen() ? host->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void PlaceWindowClient(QWidget* window, const QRect& client) {
  if (!window) return;
  window->setGeometry(FitClientOnScreen(client, WindowFrameMargins(), AvailableScreenArea()));
}

void SetDialogHostWindow(QWidget* w) { host = w; }
QWidget* DialogHostWindow() { return host; }

void CentreDialog(QWidget* form) {
  if (!form) return;
  // Centred by the size it will show with: a dialog that set none takes its layout's now.
  if (!form->testAttribute(Qt::WA_Resized)) form->adjustSize();
  FormRect r = CentredOn(Scale(form), HostRect());
  PlaceWindowClient(form, QRect(r.Left, r.Top, r.Width, r.Height));
}

void PlaceDialogAtSavedPos(QWidget* form) {
  if (!form) return;
  if (!form->testAttribute(Qt::WA_Resized)) form->adjustSize();
  Scale(form);
  QRect r(Settings.HelpPictureLeft, Settings.HelpPictureTop, form->width(), form->height());
  // Below the main window's menu bar, which stays usable.
  if (auto* main = qobject_cast<QMainWindow*>(host.data()); main && main->isVisible()) {
    const int below = main->menuBar()->mapToGlobal(QPoint(0, main->menuBar()->height())).y();
    r.moveTop(std::max(r.top(), below + WindowFrameMargins().top()));
  }
  PlaceWindowClient(form, r);
}

void ScaleDialog(QWidget* form) {
  if (form) Scale(form);
}

void SizeMainWindow(QWidget* form) {
  if (!form) return;
  int menu = 0;
  if (auto* main = qobject_cast<QMainWindow*>(form); main && main->menuWidget())
    menu = main->menuWidget()->sizeHint().height();
  const QRect avail = AvailableScreenArea();
  const QMargins frame = WindowFrameMargins();
  const QRect client = FitClientOnScreen(QRect(avail.left() + frame.left(), avail.top() + frame.top(),
                                               Settings.ScreenWidth + 1, Settings.ScreenHeight + 1 + menu),
                                         frame, avail);
  // At the screen's top left corner with its frame (a place that is set only, never read back).
  form->resize(client.size());
  form->move(avail.topLeft());
}

void SetupMainWindow(QWidget* form) {
  if (!form) return;
  SizeMainWindow(form);
  QPalette pal = form->palette();
  pal.setColor(QPalette::Window, ColorFromValue(static_cast<uint32_t>(Settings.BackgroundColor)));
  form->setPalette(pal);
  form->setAutoFillBackground(true);
  if (QWidget* parent = form->parentWidget()) form->setFont(parent->font());
}

namespace {
// The drawing area of a graphics window: its central widget (below the menu bar), else itself.
QSize DrawingClientSize(QWidget* graphicsWindow) {
  if (auto* main = qobject_cast<QMainWindow*>(graphicsWindow); main && main->centralWidget())
    return main->centralWidget()->size();
  return graphicsWindow->size();
}
}  // namespace

int MaxDrawingWidth(QWidget* graphicsWindow) {
  QScreen* screen = graphicsWindow && graphicsWindow->screen() ? graphicsWindow->screen()
                                                                : QGuiApplication::primaryScreen();
  int screenWidth = screen ? screen->geometry().width() : 1024;
  int frame = graphicsWindow
                  ? graphicsWindow->frameGeometry().width() - DrawingClientSize(graphicsWindow).width()
                  : 0;
  return screenWidth - frame;
}

int MaxDrawingHeight(QWidget* graphicsWindow) {
  QScreen* screen = graphicsWindow && graphicsWindow->screen() ? graphicsWindow->screen()
                                                                : QGuiApplication::primaryScreen();
  int screenHeight = screen ? screen->geometry().height() : 768;
  // Frame, title bar and menu bar.
  int frame = graphicsWindow ? graphicsWindow->frameGeometry().height() -
                                   DrawingClientSize(graphicsWindow).height()
                             : 0;
  return screenHeight - static_cast<int>(std::lround(1.65 * frame));
}

void InstallQtDialogs(QWidget* mainWindow) {
  service = std::make_unique<QtDialogService>([](QWidget* dialog, DialogPlacement placement) {
    if (placement == DialogPlacement::Centre)
      CentreDialog(dialog);
    else
      ScaleDialog(dialog);
  });
  service->SetMainWindow(mainWindow);
  if (mainWindow && !host) host = mainWindow;
  SetDialogService(service.get());
}

}  // namespace qern
