// The help-picture window: its list, spin button and buttons each close it with the user's
// choice; OK ends the menu; the window keeps its place.
#include "framework/qt/whbildwindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "framework/progvar.h"

namespace qern {
namespace {

class HelpPictureWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    Ident.ProductName = "QERN";
    FillHelpPictureList({{"eins", "Bild 1"}, {"zwei", "Bild 2"}});
  }
  // Shows the window with entry selected, lets act() press something and returns the answer.
  template <typename Act>
  HelpPictureWindowAnswer Run(int selected, Act act) {
    TForm_hilfebild form(7, selected);
    form.show();
    act(form);
    EXPECT_FALSE(form.isVisible());
    return form.Answer();
  }
};

TEST_F(HelpPictureWindowTest, EveryControlClosesWithItsChoice) {
  {
    TForm_hilfebild form(7, 2);
    form.show();
    EXPECT_EQ(form.windowTitle().toStdString(), "QERN Hilfebilder");
    ASSERT_EQ(form.ListBox1->count(), 7);
    EXPECT_EQ(form.ListBox1->itemText(0).toStdString(), "eins    : Bild 1");
    EXPECT_EQ(form.ListBox1->currentIndex(), 1);
    EXPECT_TRUE(form.isVisible()) << "filling the list chooses nothing";
    EXPECT_EQ(form.Button_aendern->text().toStdString(), "&Ändern");
  }
  struct Case {
    int selected;
    std::function<void(TForm_hilfebild&)> act;
    HelpPictureWindowAnswer want;
  } cases[] = {
      {2, [](auto& f) { f.ListBox1->setCurrentIndex(0); }, {false, 1, 0}},
      {2, [](auto& f) { f.SpinButton1Up->click(); }, {false, 1, 0}},
      {1, [](auto& f) { f.SpinButton1Up->click(); }, {false, 1, 0}},
      {2, [](auto& f) { f.SpinButton1Down->click(); }, {false, 3, 0}},
      {7, [](auto& f) { f.SpinButton1Down->click(); }, {false, 7, 0}},
      {1, [](auto& f) { f.Button_neu->click(); }, {false, 3, 1}},
      {2, [](auto& f) { f.Button_einfuegen->click(); }, {false, 2, 2}},
      {2, [](auto& f) { f.Button_loeschen->click(); }, {false, 2, 3}},
      {2, [](auto& f) { f.Button_aendern->click(); }, {false, 2, 9}},
      {2, [](auto& f) { f.Button_ok->click(); }, {true, 2, 0}},
      {2, [](auto& f) { f.close(); }, {true, 2, 0}},
  };
  for (const Case& c : cases) {
    const HelpPictureWindowAnswer a = Run(c.selected, c.act);
    EXPECT_EQ(a.Finished, c.want.Finished);
    EXPECT_EQ(a.Selected, c.want.Selected);
    EXPECT_EQ(a.Action, c.want.Action);
  }
}

// The place is kept as the client's and set again as the client's: reopened again and again, the
// window stays where it was.
TEST_F(HelpPictureWindowTest, KeepsItsPlace) {
  QRect first;
  {
    TForm_hilfebild form(7, 1);
    form.show();
    form.move(123, 77);
    first = form.geometry();
    form.Button_ok->click();
  }
  EXPECT_EQ(Settings.HelpPictureLeft, first.x());
  EXPECT_EQ(Settings.HelpPictureTop, first.y());
  for (int i = 0; i < 3; ++i) {
    TForm_hilfebild form(7, 1);
    form.show();
    EXPECT_EQ(form.geometry().topLeft(), first.topLeft()) << "opening " << i + 2;
    form.Button_ok->click();
  }
}

// Covered area of the inputs by a window at r.
long long InputsCovered(const QRect& r, const std::vector<QRect>& inputs) {
  long long covered = 0;
  for (const QRect& i : inputs) {
    const QRect c = r & i;
    if (!c.isEmpty()) covered += static_cast<long long>(c.width()) * c.height();
  }
  return covered;
}

// The help picture of a dialog goes beside it where there is room, else where it covers the least
// of its inputs; always on the given screen.
TEST(HelpPicturePlace, BesideTheDialogOrOverTheLeastOfItsInputs) {
  const QSize view(560, 400);
  {  // Room right of the dialog.
    const QRect screen(0, 0, 1366, 768), dialog(100, 50, 600, 500);
    const QRect r = PlaceHelpPictureView(dialog, {QRect(120, 80, 200, 24)}, view, screen);
    EXPECT_EQ(r, QRect(700, 50, 560, 400));
  }
  {  // Room only left of it.
    const QRect screen(0, 0, 1366, 768), dialog(700, 100, 600, 500);
    const QRect r = PlaceHelpPictureView(dialog, {}, view, screen);
    EXPECT_EQ(r, QRect(140, 100, 560, 400));
  }
  {  // A dialog almost as large as the screen, its inputs in a column on the left and its buttons
     // at the bottom right: the picture goes over its results on the right, not at the top left.
    const QRect screen(0, 24, 1024, 744), dialog(4, 30, 1010, 730);
    std::vector<QRect> inputs;
    for (int y = 60; y < 680; y += 30) inputs.emplace_back(180, y, 120, 24);
    inputs.emplace_back(700, 720, 90, 28);
    inputs.emplace_back(800, 720, 90, 28);
    const QRect r = PlaceHelpPictureView(dialog, inputs, view, screen);
    EXPECT_TRUE(screen.contains(r));
    EXPECT_EQ(InputsCovered(r, inputs), 0);
    EXPECT_GE(r.left(), 300);
  }
  {  // No place free of inputs: the one that covers the fewest.
    const QRect screen(0, 0, 800, 600), dialog(0, 0, 800, 600);
    std::vector<QRect> inputs = {QRect(0, 0, 800, 200), QRect(0, 400, 800, 200), QRect(0, 200, 100, 200)};
    const QRect r = PlaceHelpPictureView(dialog, inputs, QSize(500, 300), screen);
    EXPECT_EQ(InputsCovered(r, inputs), 500LL * 100);
    EXPECT_GE(r.left(), 100);
  }
}

// What counts as the dialog's inputs: what the user enters or chooses, as far as it is in view;
// not the results it shows.
TEST(HelpPicturePlace, InputsAreWhatTheUserEntersOrChooses) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* edit = new QLineEdit(&dialog);
  auto* result = new QLineEdit(&dialog);
  result->setReadOnly(true);
  auto* disabled = new QLineEdit(&dialog);
  disabled->setEnabled(false);
  auto* memo = new QPlainTextEdit(&dialog);
  memo->setReadOnly(true);
  auto* button = new QPushButton("OK", &dialog);
  auto* scroll = new QScrollArea(&dialog);
  auto* content = new QWidget;
  auto* column = new QVBoxLayout(content);
  std::vector<QLineEdit*> scrolled;
  for (int i = 0; i < 30; ++i) column->addWidget(scrolled.emplace_back(new QLineEdit(content)));
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFixedHeight(80);
  for (QWidget* w : std::initializer_list<QWidget*>{edit, result, disabled, memo, button, scroll})
    layout->addWidget(w);
  dialog.show();
  QApplication::processEvents();
  const auto global = [](QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
  const std::vector<QRect> inputs = DialogInputRects(&dialog);
  const auto has = [&](const QRect& r) { return std::find(inputs.begin(), inputs.end(), r) != inputs.end(); };
  EXPECT_TRUE(has(global(edit)));
  EXPECT_TRUE(has(global(button)));
  EXPECT_TRUE(has(global(scrolled[0])));
  EXPECT_FALSE(has(global(result)));
  EXPECT_FALSE(has(global(disabled)));
  EXPECT_FALSE(has(global(memo)));
  EXPECT_FALSE(has(global(scroll)));
  // The inputs scrolled out of view are not there; none reaches below the scroll area.
  const QRect area(scroll->viewport()->mapToGlobal(QPoint(0, 0)), scroll->viewport()->size());
  EXPECT_LT(inputs.size(), 3u + scrolled.size());
  for (QLineEdit* e : scrolled) {
    if (!area.intersects(global(e))) {
      EXPECT_FALSE(has(global(e)));
    }
  }
  for (const QRect& r : inputs) EXPECT_LE(r.bottom(), std::max(area.bottom(), global(button).bottom()));
}

// Its size: the smallest labels at least MinReadableTextHeight pixels high where the screen allows.
TEST(HelpPicturePlace, SizeKeepsTheLabelsReadable) {
  const QRect screen(0, 0, 1024, 768);
  // A picture of 1000 x 700 pixels whose smallest capitals are 12.6 pixels high.
  const QSize size = HelpPictureViewSize(QSize(1000, 700), 12.6, screen);
  EXPECT_GE(12.6 * size.width() / 1000, MinReadableTextHeight - 0.01);
  EXPECT_LE(size.width(), 1024 * 3 / 4);
  EXPECT_NEAR(size.width() * 700.0 / 1000, size.height(), 1);
  // Large labels: a third of the picture; no labels: half of it.
  EXPECT_EQ(HelpPictureViewSize(QSize(900, 600), 60, screen), QSize(300, 200));
  EXPECT_EQ(HelpPictureViewSize(QSize(900, 600), 0, screen), QSize(450, 300));
  // Tiny labels: as large as three quarters of the screen allow.
  EXPECT_EQ(HelpPictureViewSize(QSize(1000, 500), 1, screen), QSize(768, 384));
}

}  // namespace
}  // namespace qern
