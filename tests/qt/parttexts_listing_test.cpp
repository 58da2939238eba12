// Part-texts window and result listing together: what OK stores is what the listing's page head
// shows; Cancel leaves the head as it was.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "design/qernaus1.h"
#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "design/qt/kvnuni2.h"
#include "framework/listout.h"
#include "framework/progvar.h"

using namespace qern;

namespace {

class PartTextsListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    ResetListState();
    SetListingHooks({});
    SetDefaultDesign();
    char tmpl[] = "/tmp/qern_ptl_XXXXXX";
    dir_ = mkdtemp(tmpl);
    Settings.TempFolder = dir_;
    Ident.ProductName = "QERN";
    Ident.DataExtension = "qrk";
    Ident.Banner = DesignBanner();
    CalculateSerration();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Lines 6 to 9 of the framed head (part 1, part 2, two comment lines), without the margin.
  std::vector<std::string> HeadTitleLines() {
    ListResults(DeviceOutDos);
    std::ifstream in(dir_ + "/OUTDOS.TXT");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line.substr(0, line.find_last_not_of("\r") + 1));
    std::vector<std::string> head;
    for (int i = 5; i < 9 && i < static_cast<int>(lines.size()); ++i) head.push_back(lines[i].substr(7));
    return head;
  }

  // Shows the window modally and lets edit fill it before button is pressed.
  void RunWindow(const std::function<void(TForm_kvneingabetext*)>& edit, bool ok) {
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<TForm_kvneingabetext*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      edit(w);
      (ok ? w->Button_ok : w->Button_cancel)->click();
    });
    ShowPartTexts();
  }

  std::string dir_;
};

TEST_F(PartTextsListingTest, OkShowsTheNewNameAndNumberInTheHead) {
  RunWindow(
      [](TForm_kvneingabetext* w) {
        w->Edit_zeichname1->setText("Antriebswelle");
        w->Edit_zeichnr1->setText("4711-A");
        w->Edit_info2->setText("Baureihe 3");
      },
      true);
  ASSERT_FALSE(Flags.AbortFlag);
  const auto head = HeadTitleLines();
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ(head[0], "*  Antriebswelle                          Nr.: 4711-A                *");
  EXPECT_EQ(head[1], "*  Internal spline                        Nr.: 02                    *");
  EXPECT_EQ(head[3], "*  Baureihe 3                                                        *");
}

TEST_F(PartTextsListingTest, CancelKeepsTheHead) {
  RunWindow([](TForm_kvneingabetext* w) { w->Edit_zeichnr2->setText("verworfen"); }, false);
  EXPECT_TRUE(Flags.AbortFlag);
  Flags.AbortFlag = false;
  const auto head = HeadTitleLines();
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ(head[1], "*  Internal spline                        Nr.: 02                    *");
}

}  // namespace
