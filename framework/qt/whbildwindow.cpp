// Help-picture window: list, spin button and catalogue buttons; each closes the window with
// the user's choice, which the menu loop carries out.
#include "framework/qt/whbildwindow.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QPainter>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "framework/help.h"
#include "framework/progvar.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/paintercanvas.h"
#include "framework/zorqgraf.h"
#include "framework/utilstr.h"

namespace qern {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(ConvertDisplayText(s)); }
}  // namespace

TForm_hilfebild::TForm_hilfebild(int count, int selected, QWidget* parent)
    : QDialog(parent, Qt::Tool), count_(std::clamp(count, 0, ChoiceTextCount)) {
  setObjectName("Form_hilfebild");
  setWindowTitle(Q(Ident.ProductName + " " + "Hilfebilder"));
  answer_.Selected = std::clamp(selected, 1, std::max(1, count_));

  ListBox1 = new QComboBox(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setMinimumContentsLength(40);
  SpinButton1 = new QWidget(this);
  SpinButton1->setObjectName("SpinButton1");
  SpinButton1Up = new QToolButton(SpinButton1);
  SpinButton1Up->setArrowType(Qt::UpArrow);
  SpinButton1Down = new QToolButton(SpinButton1);
  SpinButton1Down->setArrowType(Qt::DownArrow);
  auto* spin = new QVBoxLayout(SpinButton1);
  spin->setContentsMargins(0, 0, 0, 0);
  spin->setSpacing(0);
  spin->addWidget(SpinButton1Up);
  spin->addWidget(SpinButton1Down);

  auto button = [this](const char* name, const std::string& caption) {
    auto* b = new QPushButton(Q(caption), this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  Button_ok = button("Button_ok", "OK");
  Button_ok->setDefault(true);
  Button_help = button("Button_help", "&Hilfe");
  Button_neu = button("Button_neu", "&Neu");
  Button_aendern = button("Button_aendern", "&Ändern");
  Button_einfuegen = button("Button_einfuegen", "&Einfügen");
  Button_loeschen = button("Button_loeschen", "&Löschen");

  auto* top = new QHBoxLayout;
  top->addWidget(ListBox1, 1);
  top->addWidget(SpinButton1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Button_ok, Button_help, Button_neu, Button_aendern, Button_einfuegen,
                         Button_loeschen})
    buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  PlaceDialogAtSavedPos(this);

  connect(ListBox1, &QComboBox::currentIndexChanged, this, &TForm_hilfebild::ListBox1Change);
  connect(SpinButton1Up, &QToolButton::clicked, this, &TForm_hilfebild::SpinButton1UpClick);
  connect(SpinButton1Down, &QToolButton::clicked, this, &TForm_hilfebild::SpinButton1DownClick);
  connect(Button_neu, &QPushButton::clicked, this, &TForm_hilfebild::Button_neuClick);
  connect(Button_aendern, &QPushButton::clicked, this, [this] { Choose(answer_.Selected, 9); });
  connect(Button_einfuegen, &QPushButton::clicked, this, [this] { Choose(answer_.Selected, 2); });
  connect(Button_loeschen, &QPushButton::clicked, this, [this] { Choose(answer_.Selected, 3); });
  connect(Button_ok, &QPushButton::clicked, this, &TForm_hilfebild::Button_okClick);
  connect(Button_help, &QPushButton::clicked, this, &TForm_hilfebild::Button_helpClick);
}

void TForm_hilfebild::showEvent(QShowEvent* event) {
  filling_ = true;
  ListBox1->clear();
  for (int i = 0; i < count_; ++i) ListBox1->addItem(Q(Session.ChoiceTexts[i]));
  ListBox1->setCurrentIndex(answer_.Selected - 1);
  answer_.Action = 0;
  filling_ = false;
  QDialog::showEvent(event);
}

void TForm_hilfebild::done(int result) {
  // The client's place, which is what PlaceDialogAtSavedPos sets again.
  Settings.HelpPictureLeft = geometry().x();
  Settings.HelpPictureTop = geometry().y();
  QDialog::done(result);
}

void TForm_hilfebild::Choose(int entry, int action) {
  answer_.Finished = false;
  answer_.Selected = entry;
  answer_.Action = action;
  accept();
}

void TForm_hilfebild::ListBox1Change(int row) {
  if (filling_ || row < 0) return;
  Choose(row + 1, 0);
}

void TForm_hilfebild::SpinButton1UpClick() {
  Choose(std::max(1, answer_.Selected - 1), 0);
}

void TForm_hilfebild::SpinButton1DownClick() {
  Choose(std::min(std::max(1, count_), answer_.Selected + 1), 0);
}

void TForm_hilfebild::Button_neuClick() {
  // The entry after the last picture: the first command entry.
  Choose(count_ - static_cast<int>(HelpPictureCommands.size()) + 1, 1);
}

void TForm_hilfebild::Button_okClick() {
  answer_.Finished = true;
  answer_.Action = 0;
  accept();
}

void TForm_hilfebild::Button_helpClick() {
  ShowHelpEntry(Session.HelpNumber, "", 1);
  Flags.AbortFlag = false;
}

namespace {

// A help picture asked for from a modal dialog: drawn apart from the drawing window's picture and
// shown, cut to its 160 x 120 mm box, in a window of its own beside the dialog.
class HelpPictureView : public QWidget {
 public:
  explicit HelpPictureView(QWidget* dialog) : QWidget(dialog, Qt::Tool) {
    setObjectName("HelpPictureView");
    setWindowTitle(Q(Ident.ProductName + " " + "Hilfebild"));
  }
  void SetPicture(HelpPictureDrawing picture) {
    picture_ = std::move(picture);
    box_ = QRect(picture_.BoxLeft, picture_.BoxTop, picture_.BoxWidth, picture_.BoxHeight);
    update();
  }
  QSize PictureSize() const { return box_.size(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromValue(static_cast<uint32_t>(Settings.BackgroundColor)));
    const double s = std::min(width() / double(box_.width()), height() / double(box_.height()));
    painter.scale(s, s);
    painter.translate(-box_.topLeft());
    PainterCanvas canvas(painter);
    // Replayed with the mapping it was drawn with; the drawing window keeps its own.
    const GraphicState kept = Graph;
    Graph = picture_.Mapping;
    ReplayDisplayList(picture_.Records, &canvas);
    Graph = kept;
  }

 private:
  HelpPictureDrawing picture_;
  QRect box_{0, 0, 1, 1};
};

// Covered area of a rectangle by another.
long long Covered(const QRect& a, const QRect& b) {
  const QRect c = a & b;
  return c.isEmpty() ? 0 : static_cast<long long>(c.width()) * c.height();
}

// A control the user enters or chooses something with; read-only texts and the frames that
// scroll others are shown results.
bool IsInput(const QWidget* w) {
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return !e->isReadOnly();
  if (auto* e = qobject_cast<const QAbstractSpinBox*>(w)) return !e->isReadOnly();
  if (auto* e = qobject_cast<const QPlainTextEdit*>(w)) return !e->isReadOnly();
  if (auto* e = qobject_cast<const QTextEdit*>(w)) return !e->isReadOnly();
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QAbstractItemView*>(w);
}

}  // namespace

std::vector<QRect> DialogInputRects(QWidget* dialog) {
  std::vector<QRect> inputs;
  for (QWidget* w : dialog->findChildren<QWidget*>()) {
    if (w->isWindow() || !w->isVisible() || !w->isEnabled() || !IsInput(w)) continue;
    const QRect shown = w->visibleRegion().boundingRect();
    if (!shown.isEmpty()) inputs.push_back(shown.translated(w->mapToGlobal(QPoint(0, 0))));
  }
  return inputs;
}

QSize HelpPictureViewSize(QSize picture, double smallestText, const QRect& available) {
  picture = picture.expandedTo(QSize(1, 1));
  // Large enough that the smallest labels read as the dialogs' own texts do, a third of the
  // drawing at the least; three quarters of the screen at the most, in the picture's proportions.
  double s = smallestText > 0 ? MinReadableTextHeight / smallestText : 0.5;
  s = std::max(s, 1.0 / 3);
  s = std::min({s, 0.75 * available.width() / picture.width(), 0.75 * available.height() / picture.height()});
  return QSize(std::max(1, int(std::lround(picture.width() * s))),
               std::max(1, int(std::lround(picture.height() * s))));
}

QRect PlaceHelpPictureView(const QRect& dialog, const std::vector<QRect>& inputs, const QSize& size,
                           const QRect& available) {
  const int w = size.width(), h = size.height();
  const int right = std::max(available.left(), available.left() + available.width() - w);
  const int bottom = std::max(available.top(), available.top() + available.height() - h);
  // Beside the dialog first, then the screen's edges, then along the inputs' edges.
  std::vector<int> xs = {dialog.right() + 1, dialog.left() - w, available.left(), right};
  std::vector<int> ys = {dialog.top(), available.top(), bottom, dialog.bottom() + 1, dialog.top() - h};
  for (const QRect& r : inputs) {
    xs.insert(xs.end(), {r.right() + 1, r.left() - w});
    ys.insert(ys.end(), {r.bottom() + 1, r.top() - h});
  }
  for (int& x : xs) x = std::clamp(x, available.left(), right);
  for (int& y : ys) y = std::clamp(y, available.top(), bottom);
  // Where it covers the least of the inputs, and then of the dialog.
  QRect best;
  std::pair<long long, long long> least{-1, -1};
  for (int x : xs)
    for (int y : ys) {
      const QRect r(x, y, w, h);
      long long inputsCovered = 0;
      for (const QRect& i : inputs) inputsCovered += Covered(r, i);
      const std::pair<long long, long long> cost{inputsCovered, Covered(r, dialog)};
      if (least.first < 0 || cost < least) {
        least = cost;
        best = r;
      }
    }
  return best;
}

void ShowHelpPictureBesideDialog(QWidget* dialog, HelpPictureDrawing picture) {
  auto* view = dynamic_cast<HelpPictureView*>(
      dialog->findChild<QWidget*>("HelpPictureView", Qt::FindDirectChildrenOnly));
  const bool first = !view;
  if (first) view = new HelpPictureView(dialog);
  const double smallest = SmallestTextHeight(picture);
  view->SetPicture(std::move(picture));
  if (first) {
    const QRect avail = AvailableScreenArea();
    const QMargins frame = WindowFrameMargins();
    const QSize room = avail.size().shrunkBy(frame);
    const QSize client = HelpPictureViewSize(view->PictureSize(), smallest, QRect(avail.topLeft(), room));
    const QRect placed = PlaceHelpPictureView(dialog->frameGeometry(), DialogInputRects(dialog),
                                              client.grownBy(frame), avail);
    PlaceWindowClient(view, placed.marginsRemoved(frame));
  }
  view->show();
  view->raise();
}

namespace {

// Help pictures from a modal dialog go beside it and leave the drawing window's picture as it is;
// without one they are drawn on the drawing window.
void ShowHelpPictureFile(const std::string& plotFile) {
  QWidget* dialog = QApplication::activeModalWidget();
  if (!dialog || dialog == DialogHostWindow()) {
    DrawHelpPictureFile(plotFile);
    return;
  }
  if (plotFile.empty()) {
    if (QWidget* view = dialog->findChild<QWidget*>("HelpPictureView", Qt::FindDirectChildrenOnly))
      view->hide();
    return;
  }
  HelpPictureDrawing picture;
  if (DrawHelpPictureApart(plotFile, picture)) ShowHelpPictureBesideDialog(dialog, std::move(picture));
}

}  // namespace

void InstallHelpPictureWindow() {
  SetHelpPictureHandler(ShowHelpPictureFile);
  SetHelpPictureWindow([](int count, int selected) {
    TForm_hilfebild form(count, selected, DialogHostWindow());
    form.exec();
    return form.Answer();
  });
}

}  // namespace qern
