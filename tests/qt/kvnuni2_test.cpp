// Part-texts window: shows the eight texts, OK stores them and the listing's page head shows
// them; Cancel keeps every text and sets the abort flag.
#include "design/qt/kvnuni2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "tests/support/testutil.h"

using namespace qern;

namespace {

class PartTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    SetListingHooks({});
    SetDefaultDesign();
    PartDrawingName2 = {};
    Session.CommentLines = {"Kommentar 1", "Kommentar 2", "bleibt"};
    Settings.TempFolder = folder_.Path();
    Ident.ProductName = "QERN";
    Ident.DataExtension = "qrk";
    Ident.Banner = DesignBanner();
    CalculateSerration();
  }

  // Shows the window modally; edit fills it before OK or Cancel is pressed.
  void RunWindow(const std::function<void(TForm_kvneingabetext*)>& edit, bool ok) {
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<TForm_kvneingabetext*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      edit(w);
      (ok ? w->Button_ok : w->Button_cancel)->click();
    });
    ShowPartTexts();
  }

  // Lines 6 to 9 of the framed page head (part 1, part 2, two comment lines), without the margin.
  std::vector<std::string> HeadTitleLines() {
    ListResults(DeviceOutDos);
    const auto lines = test::ReadFileLines(folder_.File("OUTDOS.TXT"));
    std::vector<std::string> head;
    for (size_t i = 5; i < 9 && i < lines.size(); ++i) head.push_back(lines[i].substr(7));
    return head;
  }

  test::TempFolder folder_;
};

TEST_F(PartTextsTest, OkStoresTheTextsAndTheHeadShowsThem) {
  RunWindow(
      [](TForm_kvneingabetext* w) {
        EXPECT_EQ(w->windowTitle(), "QERN   Kerbverzahnung");
        EXPECT_EQ(w->GroupBox_INT->title(), " Innenteil ");
        EXPECT_EQ(w->GroupBox_EXT->title(), " Außenteil ");
        EXPECT_EQ(w->Edit_zeichname1->text(), "External spline");
        EXPECT_EQ(w->Edit_zeichnr2->text(), "02");
        EXPECT_EQ(w->Edit_info2->text(), "Kommentar 2");
        w->Edit_zeichname1->setText("Welle Größe 3");
        w->Edit_zeichnr1->setText("W-17");
        w->Edit_zeichname22->setText("gehärtet");
        w->Edit_info2->setText("Für Kunde Müller");
        // No field takes more than the design file keeps.
        for (QLineEdit* e : w->findChildren<QLineEdit*>()) EXPECT_EQ(e->maxLength(), 255);
      },
      true);
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(PartDrawingName2[2], "gehärtet");
  EXPECT_EQ(PartDrawingName[2], "Internal spline");
  EXPECT_EQ(Session.CommentLines[0], "Kommentar 1");
  EXPECT_EQ(Session.CommentLines[2], "bleibt");
  const std::vector<std::string> head = {
      "*  Welle Größe 3                          Nr.: W-17                  *",
      "*  Internal spline                        Nr.: 02                    *",
      "*  Kommentar 1                                                       *",
      "*  Für Kunde Müller                                                  *",
  };
  EXPECT_EQ(HeadTitleLines(), head);
}

TEST_F(PartTextsTest, CancelKeepsEveryTextAndSetsTheFlag) {
  RunWindow(
      [](TForm_kvneingabetext* w) {
        w->Edit_zeichnr2->setText("verworfen");
        w->Edit_info1->setText("verworfen");
      },
      false);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(PartDrawingNumber[2], "02");
  EXPECT_EQ(Session.CommentLines[0], "Kommentar 1");
  Flags.AbortFlag = false;
  const auto head = HeadTitleLines();
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ(head[1], "*  Internal spline                        Nr.: 02                    *");
}

}  // namespace
