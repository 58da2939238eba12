// The help-picture window: its list, spin button and buttons each close it with the user's
// choice; OK ends the menu; the window keeps its place.
#include "framework/qt/whbildwindow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QToolButton>

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

}  // namespace
}  // namespace qern
