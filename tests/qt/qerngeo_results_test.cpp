// The results of the geometry window at every dialog scale: each number drawn whole, with its
// sign and leading digits, or visibly shortened at its end when its field is too narrow.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <memory>

#include "design/qernvar.h"
#include "design/qerngeomodel.h"
#include "design/qt/qerngeo.h"
#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "platform/scripteddialogs.h"
#include "tests/qt/textrecorder.h"

namespace qern {
namespace {

class GeometryResultTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
    Ident.ProgramName = "QERN";
    SetDefaultDesign();
  }
  void TearDown() override { QApplication::setFont(appFont_); }

  // Results of every length: the longest plain numbers, and the exponent form of huge ones.
  static void LongResults() {
    Design.PitchDiameter[1] = 3.1e301L;
    Design.PitchDiameter[2] = -3.1e301L;
    Design.BaseDiameter[1] = 1.412e301L;
    Design.BaseDiameter[2] = -1.412e301L;
    Design.TipDiameter[1] = 12345678.123L;
    Design.TipDiameter[2] = -1234567.891L;
    Design.RootDiameter[1] = -99999999.999L;
    Design.RootDiameter[2] = -1.5e-300L;
  }

  // Opens the window at every font scale given, each with the form at 100 and 150 %, and hands it
  // to check.
  static void AtEveryScale(std::initializer_list<int> fontScales,
                           const std::function<void(TForm_qerngeo&)>& check) {
    for (const int fontScale : fontScales) {
      for (const int formScale : {100, 150}) {
        SCOPED_TRACE(testing::Message() << "font " << fontScale << " %, form " << formScale << " %");
        Settings.FontScalePercent = fontScale;
        Settings.FormScalePercent = formScale;
        auto w = std::make_unique<TForm_qerngeo>();
        w->show();
        check(*w);
      }
    }
  }

  ScopedScriptedDialogs dialogs_;
  const QFont appFont_ = QApplication::font();
};

TEST_F(GeometryResultTexts, EveryNumberIsDrawnWholeAtEveryScale) {
  AtEveryScale({100, 150, 200, 300}, [](TForm_qerngeo& window) {
    TForm_qerngeo* const w = &window;
    LongResults();
    w->ShowGeometryResults(1);
    const std::vector<GeometryResultLine> lines = GeometryResults(Design);
    ASSERT_EQ(lines.size(), w->ResultLabels.size());
    int negative = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      for (int part : {1, 2}) {
        QLabel* label = w->ResultLabels[i][part];
        const QString text = QString::fromStdString(part == 1 ? lines[i].Shaft : lines[i].Hub);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(test::DrawnText(label), text) << label->objectName().toStdString();
        EXPECT_TRUE(test::DrawnInside(label)) << text.toStdString() << " cut off";
        negative += text.startsWith('-');
      }
    }
    EXPECT_GE(negative, 4);
    EXPECT_EQ(test::DrawnText(w->Label_d), w->Label_d->text());
    EXPECT_TRUE(test::DrawnInside(w->Label_d));
    EXPECT_EQ(w->Label_d->text(), "d = 3.100E301 mm");
  });
}

// The input fields, the grey ones of derived values too: the longest numbers they show, whole
// with sign, leading digits and exponent, at every scale the settings allow.
TEST_F(GeometryResultTexts, EveryInputFieldShowsItsNumberWholeAtEveryScale) {
  const QString texts[] = {"-8.892452e-05", "0.000810854", "-1.234568e-300", "-0.04321235",
                           "-1234567", "-8.888888e+88"};
  AtEveryScale({100, 150, 200, 300, 1000}, [&texts](TForm_qerngeo& w) {
    for (int i = 0; i < GeoFieldCount; ++i) {
      QLineEdit* e = w.FieldEdit(FieldAt(i));
      if (!e) continue;
      for (const QString& text : texts) {
        e->setText(text);
        e->setCursorPosition(0);
        EXPECT_EQ(test::DrawnText(e), text) << e->objectName().toStdString();
        EXPECT_TRUE(test::DrawnInside(e)) << e->objectName().toStdString() << ": " << text.toStdString();
      }
    }
  });
}

TEST_F(GeometryResultTexts, ANumberTooWideIsShortenedVisiblyAtItsEnd) {
  auto w = std::make_unique<TForm_qerngeo>();
  w->show();
  LongResults();
  w->ShowGeometryResults(1);
  for (QLabel* label : {w->ResultLabels[0][2], w->ResultLabels[2][2], w->Label_d}) {
    const QString text = label->text();
    label->setFixedWidth(label->fontMetrics().horizontalAdvance(text) * 2 / 3);
    const QString drawn = test::DrawnText(label);
    EXPECT_TRUE(drawn.endsWith(QChar(0x2026))) << drawn.toStdString();
    EXPECT_TRUE(text.startsWith(drawn.left(drawn.size() - 1))) << drawn.toStdString();
    EXPECT_GE(drawn.size(), 4) << "the sign and leading digits stay";
    EXPECT_TRUE(test::DrawnInside(label));
  }
}

}  // namespace
}  // namespace qern
