// Dialog sizing and centring by the form and font scale settings, main-window set-up, and the
// installation of the Qt dialog service.
#include "framework/qt/formhelp.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
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

FormRect HostRect() {
  if (host) {
    QRect g = host->frameGeometry();
    return {g.x(), g.y(), g.width(), g.height()};
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect g = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  return {g.x(), g.y(), g.width(), g.height()};
}

// Size by FormScalePercent, the font by FontScalePercent; the dialog starts from its parent's font.
FormRect Scale(QWidget* form) {
  if (QWidget* parent = form->parentWidget()) form->setFont(parent->font());
  double factor = DialogFontFactor();
  if (factor != 1.0 && factor > 0) {
    QFont f = form->font();
    if (f.pointSizeF() > 0)
      f.setPointSizeF(f.pointSizeF() * factor);
    else if (f.pixelSize() > 0)
      f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * factor))));
    form->setFont(f);
    // Grow to fit the scaled controls, but keep the dialog's own size as the least.
    form->resize(form->size().expandedTo(form->sizeHint()));
  }
  FormRect r = ScaledFormSize({form->x(), form->y(), form->width(), form->height()});
  form->resize(r.Width, r.Height);
  return r;
}
}  // namespace

void SetDialogHostWindow(QWidget* w) { host = w; }
QWidget* DialogHostWindow() { return host; }

void CentreDialog(QWidget* form) {
  if (!form) return;
  FormRect r = CentredOn(Scale(form), HostRect());
  form->move(r.Left, r.Top);
}

void PlaceDialogAtSavedPos(QWidget* form) {
  if (!form) return;
  Scale(form);
  form->move(Settings.HelpPictureLeft, Settings.HelpPictureTop);
}

void ScaleDialog(QWidget* form) {
  if (form) Scale(form);
}

void SetupMainWindow(QWidget* form) {
  if (!form) return;
  form->resize(Settings.ScreenWidth + 1, Settings.ScreenHeight + 1);
  form->move(0, 0);
  QPalette pal = form->palette();
  pal.setColor(QPalette::Window, ColorFromValue(static_cast<uint32_t>(Settings.BackgroundColor)));
  form->setPalette(pal);
  form->setAutoFillBackground(true);
  if (QWidget* parent = form->parentWidget()) form->setFont(parent->font());
}

int MaxDrawingWidth(QWidget* graphicsWindow) {
  QScreen* screen = graphicsWindow && graphicsWindow->screen() ? graphicsWindow->screen()
                                                                : QGuiApplication::primaryScreen();
  int screenWidth = screen ? screen->geometry().width() : 1024;
  int frame = graphicsWindow ? graphicsWindow->frameGeometry().width() - graphicsWindow->width() : 0;
  return screenWidth - frame;
}

int MaxDrawingHeight(QWidget* graphicsWindow) {
  QScreen* screen = graphicsWindow && graphicsWindow->screen() ? graphicsWindow->screen()
                                                                : QGuiApplication::primaryScreen();
  int screenHeight = screen ? screen->geometry().height() : 768;
  int frame =
      graphicsWindow ? graphicsWindow->frameGeometry().height() - graphicsWindow->height() : 0;
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
