// Part-texts window: shows the eight texts, OK stores them, Cancel keeps them.
#include "design/qt/kvnuni2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "design/qernvar.h"
#include "framework/progvar.h"

using namespace qern;

namespace {

TEST(PartTextsWindowTest, ShowsAndStoresTheTexts) {
  InitProgramState();
  SetDefaultDesign();
  PartDrawingName2 = {};
  Session.CommentLines = {"Kommentar 1", "Kommentar 2", "bleibt"};
  TForm_kvneingabetext w;
  EXPECT_EQ(w.GroupBox_INT->title(), " Innenteil ");
  EXPECT_EQ(w.GroupBox_EXT->title(), " Außenteil ");
  EXPECT_EQ(w.Edit_zeichname1->text(), "External spline");
  EXPECT_EQ(w.Edit_zeichnr2->text(), "02");
  EXPECT_EQ(w.Edit_info2->text(), "Kommentar 2");
  w.Edit_zeichname1->setText("Welle Größe 3");
  w.Edit_zeichnr1->setText("W-17");
  w.Edit_zeichname22->setText("gehärtet");
  w.Edit_info1->setText("Für Kunde Müller");
  Flags.AbortFlag = true;
  w.Button_ok->click();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(PartDrawingName[1], "Welle Größe 3");
  EXPECT_EQ(PartDrawingNumber[1], "W-17");
  EXPECT_EQ(PartDrawingName2[2], "gehärtet");
  EXPECT_EQ(PartDrawingName[2], "Internal spline");
  EXPECT_EQ(Session.CommentLines[0], "Für Kunde Müller");
  EXPECT_EQ(Session.CommentLines[2], "bleibt");
}

TEST(PartTextsWindowTest, CancelLeavesEveryTextAndSetsTheFlag) {
  InitProgramState();
  SetDefaultDesign();
  QTimer::singleShot(0, [] {
    auto* w = qobject_cast<TForm_kvneingabetext*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    w->Edit_zeichname2->setText("verworfen");
    w->Edit_info1->setText("verworfen");
    w->Button_cancel->click();
  });
  ShowPartTexts();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(PartDrawingName[2], "Internal spline");
  EXPECT_EQ(Session.CommentLines[0], "");
}

}  // namespace
