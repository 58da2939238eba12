// Drawing device: forwards the procedural drawing calls to the graphics window, maps plotter pens
// to palette colours and checks that picture files exist.
#include "framework/zorqdraw.h"

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

TDrawDevice* DrawDevice = nullptr;

namespace {
// Every message of the drawing device goes out here.
void PlainMessage(const std::string& text) { ShowMessageBox(text); }
}  // namespace

TDrawDevice::TDrawDevice() { DisplayList.clear(); }

TDrawDevice::~TDrawDevice() {
  DisplayList.clear();
  DisplayList.shrink_to_fit();
  if (DrawDevice == this) DrawDevice = nullptr;
}

void TDrawDevice::ClearDevice() { Window().Clear(); }

KeptDrawing::KeptDrawing() {
  if (!DrawDevice) return;
  window_ = &DrawDevice->Window();
  list_ = std::move(DisplayList);
  DisplayList.clear();
  graph_ = Graph;
  color_ = window_->CurColor;
  style_ = window_->CurLineStyle;
  width_ = window_->CurLineWidth;
}

void KeptDrawing::Restore() {
  if (!window_) return;
  DisplayList = std::move(list_);
  Graph = graph_;
  window_->CurColor = color_;
  window_->CurLineStyle = style_;
  window_->CurLineWidth = width_;
  window_->ClearViewPort();
  window_ = nullptr;
}

void TDrawDevice::SetWindow(bool keepAspect, bool frame, long double vx1, long double vy1,
                            long double vx2, long double vy2, long double xmin, long double ymin,
                            long double xmax, long double ymax) {
  Window().SetWindow(keepAspect, frame, vx1, vy1, vx2, vy2, xmin, ymin, xmax, ymax);
}

void TDrawDevice::OutTextXY(const std::string& text, long double x, long double y) {
  Window().OutTextXY(ConvertDisplayText(text), x, y);
}

void TDrawDevice::Header(int flag, long double xmin, long double ymin, long double xmax,
                         long double ymax) {
  Window().Header(flag, xmin, ymin, xmax, ymax);
}

void TDrawDevice::ClearViewPort() { Window().ClearViewPort(); }

void TDrawDevice::SetTextStyle(int font, long double angle, long double height,
                               long double width) {
  Window().SetTextStyle(font, angle, height, width);
}

void TDrawDevice::Solid(long double x1, long double y1, long double x2, long double y2,
                        long double x3, long double y3, long double x4, long double y4) {
  Window().Solid(x1, y1, x2, y2, x3, y3, x4, y4);
}

void TDrawDevice::ShowLogo() { Window().DrawZorquanLogo(); }

void TDrawDevice::CheckFileExists(const std::string& name) {
  // A file of its own, so that a caller's open DataFile is not disturbed.
  TextFile f;
  f.Assign(name);
  if (!f.Reset()) {
    PlainMessage(WithoutBlanks(name) + " " + "nicht gefunden" + " !");
    Flags.AbortFlag = true;
    return;
  }
  f.Close();
}

void TDrawDevice::SetWaitCursor() { Window().SetWaitCursor(); }
void TDrawDevice::SetNormalCursor() { Window().SetOldCursor(); }
void TDrawDevice::ShowMessage(const std::string& text) { PlainMessage(text); }

int DosColorIndex(int pen) {
  if (pen > 16) pen &= 15;
  switch (pen) {
    case 0: return 0;
    case 1: return 12;
    case 2: return 14;
    case 3: return 10;
    case 4: return 11;
    case 5: return 9;
    case 6: return 13;
    case 7: return 15;
    case 16: return 16;
    default: return pen >= 8 && pen <= 15 ? pen - 7 : pen;
  }
}

std::string DataFileName() {
  if (Session.CurrentFileName.empty()) return "";
  return AddBackslash(Session.CurrentFileFolder) + Session.CurrentFileName + "." +
         Ident.DataExtension;
}

}  // namespace qern
