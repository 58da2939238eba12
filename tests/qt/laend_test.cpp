// Change-entry and drawing-information windows: what OK stores (numbers with a decimal comma,
// the placed-text rows taken, rows the ISO grid does not show), and that Cancel stores nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <functional>

#include "design/aendvar.h"
#include "drawing/aend1.h"
#include "drawing/qt/laend1.h"
#include "drawing/qt/laend2.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;

namespace {

class DrawingMetadataWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    Settings.TempFolder = folder_.Path() + "/";
    Session.CurrentFileFolder = folder_.Path() + "/";
    SetListingHooks({[](const std::string&) {}});
    InitDrawingInfo();
    DrawingInfo.ChangeCount = 3;
    DrawingInfo.ChangeEntries[2] = {"Toleranz", "2024-03-01", "Weiß", "eng\nund kurz"};
    DrawingInfo.TitleReleaseDate = "2024-05-01";
    DrawingInfo.TitleReleaseName = "Groß";
    DrawingInfo.PlacedTextCount = 2;
    DrawingInfo.PlacedTexts[0] = {10, 20, 3.5L, 0, "Prüfzeichen"};
    DrawingInfo.PlacedTexts[1] = {30, 40, 2.5L, 90, "zweiter"};
    InstallChangeLogWindows();
  }
  void TearDown() override {
    SetChangeLogWindows({});
    SetListingHooks({});
  }

  // Runs show() with the window that opens modally handed to edit, then OK or Cancel.
  template <typename Form>
  void Run(const std::function<void()>& show, const std::function<void(Form*)>& edit, bool ok) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<Form*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      seen = true;
      edit(w);
      (ok ? w->Button_ok : w->Button_cancel)->click();
    });
    show();
    EXPECT_TRUE(seen);
  }

  // The widget Tab moves to from w (widgets that take no Tab focus or lie inside w skipped).
  static QWidget* NextTabStop(QWidget* w) {
    QWidget* n = w->nextInFocusChain();
    while (n != w && (!(n->focusPolicy() & Qt::TabFocus) || !n->isVisibleTo(w->window()) ||
                      w->isAncestorOf(n)))
      n = n->nextInFocusChain();
    return n;
  }

  static void SetCell(QTableWidget* g, int row, int col, const char* text) {
    g->item(row, col)->setText(QString::fromUtf8(text));
  }

  test::TempFolder folder_;
};

TEST_F(DrawingMetadataWindowTest, ChangeEntryShowsAndStoresEntryN) {
  Run<TForm_EinAend>(
      [] { EditChangeEntry(3); },
      [](TForm_EinAend* w) {
        EXPECT_EQ(w->windowTitle(), "Änderung 3");
        EXPECT_EQ(w->Edit_bearbeiter->text(), "Weiß");
        EXPECT_EQ(w->Memo_beschreibung->toPlainText(), "eng\nund kurz");
        EXPECT_EQ(w->Button_datum->text().toStdString(), "<" + TodayStr());
        EXPECT_EQ(NextTabStop(w->Edit_datum), w->Button_datum);  // Tab order
        EXPECT_EQ(NextTabStop(w->Button_datum), w->Edit_bearbeiter);
        w->Edit_text->setText("Maß geändert");
        w->Button_datumClick();
        w->Memo_beschreibung->setPlainText("Zeile 1\nZeile 2");
      },
      true);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DrawingInfo.ChangeEntries[2],
            (ChangeEntry{"Maß geändert", TodayStr(), "Weiß", "Zeile 1\nZeile 2"}));

  const ChangeEntry before = DrawingInfo.ChangeEntries[2];
  Run<TForm_EinAend>([] { EditChangeEntry(3); },
                     [](TForm_EinAend* w) { w->Edit_text->setText("verworfen"); }, false);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(DrawingInfo.ChangeEntries[2], before);
}

TEST_F(DrawingMetadataWindowTest, NewEntryFromTheMenuIsAddedOnOkOnly) {
  Run<TForm_EinAend>([] { ChangeLogMenu(1); },
                     [](TForm_EinAend* w) {
                       EXPECT_EQ(w->windowTitle(), "Änderung 4");
                       EXPECT_EQ(w->Edit_text->text(), "");
                       EXPECT_EQ(w->Edit_datum->text().toStdString(), TodayStr());
                     },
                     false);
  EXPECT_EQ(DrawingInfo.ChangeCount, 3);
  Run<TForm_EinAend>([] { ChangeLogMenu(1); },
                     [](TForm_EinAend* w) { w->Edit_text->setText("Bohrung"); }, true);
  EXPECT_EQ(DrawingInfo.ChangeCount, 4);
  EXPECT_EQ(DrawingInfo.ChangeEntries[3].ChangeText, "Bohrung");
}

TEST_F(DrawingMetadataWindowTest, DinLayoutStoresGridsAndPlacedTexts) {
  Settings.TitleBlockKind = 0;
  Settings.ReleaseFieldText = "Freigabe";
  Run<TForm_zeichInfo>(ShowDrawingInfo,
                       [](TForm_zeichInfo* w) {
                         EXPECT_EQ(w->windowTitle(), "Zeichnungsinfo DIN 6771");
                         ASSERT_EQ(w->StringGrid1->rowCount(), 4);
                         EXPECT_EQ(w->StringGrid1->verticalHeaderItem(3)->text(), "Freigabe");
                         EXPECT_EQ(w->StringGrid1->item(3, 1)->text(), "Groß");
                         EXPECT_EQ(w->StringGrid2->item(0, 4)->text(), "Prüfzeichen");
                         EXPECT_FALSE(w->StringGrid3->isVisibleTo(w));
                         EXPECT_EQ(NextTabStop(w->ComboBox_zeichtextmode), w->StringGrid2);
                         EXPECT_EQ(NextTabStop(w->Edit_ersetztdurch), w->StringGrid1);
                         SetCell(w->StringGrid1, 3, 0, "");
                         w->DateButtonClick(4);
                         SetCell(w->StringGrid1, 1, 1, "Müller");
                         SetCell(w->StringGrid2, 0, 0, "12,5");
                         SetCell(w->StringGrid2, 0, 1, "abc");
                         SetCell(w->StringGrid2, 1, 4, "  ");  // a blank text ends the list
                         SetCell(w->StringGrid2, 2, 4, "nicht genommen");
                         w->Edit_ersatzfuer->setText("ZW-0700");
                         w->ComboBox_zeichtextmode->setCurrentIndex(3);
                         EXPECT_FALSE(w->StringGrid2->isVisibleTo(w));
                       },
                       true);
  const DrawingInfoRecord& d = DrawingInfo;
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(d.TitleReleaseDate, TodayStr());
  EXPECT_EQ(d.TitleCheckedName, "Müller");
  EXPECT_EQ(d.TitleReplaces, "ZW-0700");
  EXPECT_EQ(d.PlacedTextCount, 1);
  EXPECT_EQ(d.PlacedTexts[0].X, 12.5L);
  EXPECT_EQ(d.PlacedTexts[0].Y, 0.0L);
  EXPECT_EQ(d.PlacedTexts[0].Height, 3.5L);
  EXPECT_EQ(d.PlacedTextMode, 3);
}

// A placed text's number is checked where it is typed, with the range message the design file
// gives it; OK keeps the window open while one is out of range and stores nothing.
TEST_F(DrawingMetadataWindowTest, PlacedTextNumbersAreCheckedWhereTyped) {
  struct Case {
    int Column;
    const char* Text;
    const char* Message;  // "" = taken
  };
  const Case cases[] = {
      {0, "2000000", "Zeichnungstext 1 X = 2000000: Gültiger Wertebereich: -1000000 .. 1000000 !"},
      {0, "1000000", ""},
      {1, "-1000000,0000001", "Zeichnungstext 1 Y = -1000000.0000001: Gültiger Wertebereich: -1000000 .. 1000000 !"},
      {2, "1e7", "Zeichnungstext 1 Höhe = 10000000: Gültiger Wertebereich: -1000000 .. 1000000 !"},
      {3, "-999999", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    ScopedScriptedDialogs dialogs;
    DrawingInfo.PlacedTexts[0] = {10, 20, 3.5L, 0, "Prüfzeichen"};
    TForm_zeichInfo w;
    w.show();
    SetCell(w.StringGrid2, 0, c.Column, c.Text);
    const bool refused = *c.Message != 0;
    ASSERT_EQ(dialogs->Messages().size(), refused ? 1u : 0u);
    if (refused) EXPECT_EQ(dialogs->Messages()[0], c.Message);
    w.Button_ok->click();
    EXPECT_EQ(w.isVisible(), refused);
    EXPECT_EQ(DrawingInfo.PlacedTexts[0].X == 10 && DrawingInfo.PlacedTexts[0].Y == 20 &&
                  DrawingInfo.PlacedTexts[0].Height == 3.5L && DrawingInfo.PlacedTexts[0].Angle == 0,
              refused);
  }
}

TEST_F(DrawingMetadataWindowTest, EmptyPlacedTextGridStoresOnePlacedText) {
  DrawingInfo.PlacedTextCount = 0;
  Run<TForm_zeichInfo>(ShowDrawingInfo, [](TForm_zeichInfo*) {}, true);
  EXPECT_EQ(DrawingInfo.PlacedTextCount, 1);
  EXPECT_EQ(DrawingInfo.PlacedTexts[0], PlacedText{});
}

TEST_F(DrawingMetadataWindowTest, IsoLayoutKeepsTheReleaseRowAndStoresTheHeaderFields) {
  Settings.TitleBlockKind = 2;
  DrawingInfo.TitleDocumentType = "Teilzeichnung";
  Run<TForm_zeichInfo>(ShowDrawingInfo,
                       [](TForm_zeichInfo* w) {
                         EXPECT_EQ(w->windowTitle(), "Zeichnungsinfo ISO 7200");
                         EXPECT_EQ(w->StringGrid1->rowCount(), 3);
                         EXPECT_EQ(w->StringGrid1->horizontalHeaderItem(0)->text(), " (Datum)");
                         EXPECT_FALSE(w->DateButtons[3]->isVisibleTo(w));
                         EXPECT_EQ(w->StringGrid3->item(1, 0)->text(), "Teilzeichnung");
                         SetCell(w->StringGrid3, 2, 0, "freigegeben");
                         SetCell(w->StringGrid1, 0, 1, "Öztürk");
                       },
                       true);
  const DrawingInfoRecord& d = DrawingInfo;
  EXPECT_EQ(d.TitleReleaseDate, "2024-05-01");
  EXPECT_EQ(d.TitleReleaseName, "Groß");
  EXPECT_EQ(d.TitleDrawnName, "Öztürk");
  EXPECT_EQ(d.TitleDocumentStatus, "freigegeben");
  EXPECT_EQ(d.PlacedTextCount, 2);
}

TEST_F(DrawingMetadataWindowTest, CancelStoresNothing) {
  const DrawingInfoRecord before = DrawingInfo;
  Run<TForm_zeichInfo>(ShowDrawingInfo,
                       [](TForm_zeichInfo* w) {
                         w->Edit_ersetztdurch->setText("verworfen");
                         SetCell(w->StringGrid2, 0, 4, "");
                       },
                       false);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(DrawingInfo, before);
}

}  // namespace
