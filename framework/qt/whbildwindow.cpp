// Help-picture window: list, spin button and catalogue buttons; each closes the window with
// the user's choice, which the menu loop carries out.
#include "framework/qt/whbildwindow.h"

#include <QApplication>
#include <QComboBox>
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

// A help picture shown while a modal dialog hides the drawing window: a copy of the picture's
// list, scaled into a window of its own beside the dialog.
class HelpPictureView : public QWidget {
 public:
  explicit HelpPictureView(QWidget* dialog) : QWidget(dialog, Qt::Tool) {
    setObjectName("HelpPictureView");
    setWindowTitle(Q(Ident.ProductName + " " + "Hilfebild"));
  }
  void SetPicture(std::vector<DisplayRecord> list, int width, int height) {
    list_ = std::move(list);
    extentW_ = std::max(1, width + 1);
    extentH_ = std::max(1, height + 1);
    update();
  }
  const std::vector<DisplayRecord>& Picture() const { return list_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromValue(static_cast<uint32_t>(Settings.BackgroundColor)));
    const double s = std::min(width() / double(extentW_), height() / double(extentH_));
    painter.scale(s, s);
    PainterCanvas canvas(painter);
    // The replay moves the mapping to the picture's; the drawing window keeps its own.
    const GraphicState kept = Graph;
    ReplayDisplayList(list_, &canvas);
    Graph = kept;
  }

 private:
  std::vector<DisplayRecord> list_;
  int extentW_ = 1, extentH_ = 1;
};

}  // namespace

void ShowHelpPictureBesideDialog() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (!dialog || dialog == DialogHostWindow()) return;
  auto* view = dynamic_cast<HelpPictureView*>(
      dialog->findChild<QWidget*>("HelpPictureView", Qt::FindDirectChildrenOnly));
  const bool first = !view;
  if (first) view = new HelpPictureView(dialog);
  view->SetPicture(DisplayList, DrawingWidth(), DrawingHeight());
  if (first) {
    // A third of the screen's width in the drawing's proportions, right of the dialog where there
    // is room, else left of it, else at the screen's left edge over the dialog's captions (its
    // results stay in view); always on the screen.
    const QRect avail = AvailableScreenArea();
    const QMargins frame = WindowFrameMargins();
    const int w = std::max(160, avail.width() / 3);
    const int h = w * (DrawingHeight() + 1) / std::max(1, DrawingWidth() + 1);
    const QRect d = dialog->frameGeometry();
    int x = d.right() + 1 + frame.left();
    if (x + w + frame.right() > avail.right() + 1) x = std::max(avail.left() + frame.left(), d.left() - frame.right() - w);
    PlaceWindowClient(view, QRect(x, d.top() + frame.top(), w, h));
  }
  view->show();
  view->raise();
}

void InstallHelpPictureWindow() {
  SetHelpPictureHandler([](const std::string& plotFile) {
    DrawHelpPictureFile(plotFile);
    ShowHelpPictureBesideDialog();
  });
  SetHelpPictureWindow([](int count, int selected) {
    TForm_hilfebild form(count, selected, DialogHostWindow());
    form.exec();
    return form.Answer();
  });
}

}  // namespace qern
