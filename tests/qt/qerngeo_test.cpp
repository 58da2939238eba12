// Geometry input window, offscreen: typing recalculates, messages show, presets, mirroring,
// unit toggle, OK refusing a fatal design, Cancel restoring the design exactly.
// With QERN_SCREENSHOT=<file.png> set, GeometryWindow.Screenshot saves a picture of the window.
#include "design/qt/qerngeo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <set>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/wait.h>

#include "design/qerncalc.h"
#include "design/qernform.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/help.h"
#include "framework/zorqgraf.h"
#include "framework/zorqdraw.h"
#include "framework/qt/formhelp.h"
#include "framework/qt/fzorqgra.h"
#include "framework/qt/whbildwindow.h"
#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "framework/whbild.h"
#include "platform/dialogservice.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

double D(long double x) { return static_cast<double>(x); }

// Bitwise equality of the record's numbers and codes.
bool SameDesign(const DesignRecord& a, const DesignRecord& b) {
  DesignRecord x = a, y = b;
  std::vector<long double> va, vb;
  ForEachRealField(x, [&](long double& v) { va.push_back(v); });
  ForEachRealField(y, [&](long double& v) { vb.push_back(v); });
  for (std::size_t i = 0; i < va.size(); ++i)
    if (std::memcmp(&va[i], &vb[i], 10) != 0) return false;
  return a.FitMode == b.FitMode && a.XInputMode == b.XInputMode &&
         a.PitchInputMode == b.PitchInputMode && a.AngleCode == b.AngleCode &&
         a.MajorDiameterInput == b.MajorDiameterInput &&
         a.MinorDiameterInput == b.MinorDiameterInput &&
         a.ClearancesAsFactors == b.ClearancesAsFactors && a.ToothCount == b.ToothCount;
}

// Replaces the text of an edit by typing, as a user would.
void Type(QLineEdit* e, const QString& text) {
  e->setFocus();
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, text);
}

// Runs act on the modal geometry window once EditDimensions has opened it.
void WhenOpen(std::function<void(TForm_qerngeo*)> act) {
  QTimer::singleShot(0, [act] {
    auto* w = qobject_cast<TForm_qerngeo*>(QApplication::activeModalWidget());
    ASSERT_NE(w, nullptr);
    act(w);
  });
}

class GeometryWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
    Settings.PltFolder = QERN_SOURCE_DATA "/";
    Ident.ProgramName = "QERN";
    SetDefaultDesign();
    SetDialogService(&dialogs);
  }
  void TearDown() override { SetDialogService(nullptr); }

  std::unique_ptr<TForm_qerngeo> Open() {
    auto w = std::make_unique<TForm_qerngeo>();
    w->show();
    return w;
  }

  ScriptedDialogService dialogs;
};

TEST_F(GeometryWindow, OpensCalculatedWithCaptionsHintsAndModes) {
  Design.ProfileShift[1] = 0.2L;  // not yet calculated
  auto w = Open();
  EXPECT_EQ(w->windowTitle().toStdString(), Ident.Banner);
  EXPECT_EQ(w->RadioGroup_wal->Item(1)->text(), "Lückenwinkel gammae");
  EXPECT_EQ(w->Label_mdr->text(), "Diametrales Zweirollenmaß");
  EXPECT_EQ(w->Button_help->text(), "&Hilfe");
  EXPECT_TRUE(w->Label_z->toolTip().contains("(5110)"));
  EXPECT_TRUE(w->RadioButton_rad1c->toolTip().contains("(5010)"));
  // The window opened calculated: the pin dimension belongs to x1 = 0.2.
  EXPECT_NEAR(D(Design.PinDimension[1]),
              D(PinDimensionForShift(31, 1, Design.NormalModule, Design.PressureAngle, 0.2L,
                                     Design.PinDiameter[1])), 1e-12);
  EXPECT_EQ(w->Label_d->text(), "d = 13.000 mm");
  // Default modes: gamma e given, rf for both groups, x given. A click on a mode changes the
  // enabled set only, and each preset button follows its field.
  EXPECT_TRUE(w->Edit_wgammae->isEnabled());
  EXPECT_FALSE(w->Edit_wal->isEnabled());
  EXPECT_EQ(w->Edit_wal->text(), "30");
  EXPECT_FALSE(w->Edit_fhf1->isEnabled() || w->Button_fhf1->isEnabled());
  int count = Errors.ErrorCount;
  w->RadioGroup_pm1->Item(2)->click();
  EXPECT_FALSE(w->Edit_xe1->isEnabled() || w->Button_xe1->isEnabled());
  EXPECT_TRUE(w->Edit_mdr1->isEnabled() && w->Button_mdr1->isEnabled());
  EXPECT_EQ(Design.XInputMode[1], 1);
  w->RadioButton_rad2c->click();
  EXPECT_FALSE(w->Edit_mdr1->isEnabled());
  w->CheckBox_cmn->click();
  EXPECT_EQ(w->Edit_ce->isEnabled(), !w->CheckBox_cmn->isChecked());
  EXPECT_EQ(w->Button_cemn->isEnabled(), w->CheckBox_cmn->isChecked());
  EXPECT_EQ(Errors.ErrorCount, count);
}

// Tab walks the window as it reads: the modes at the top, then each box row by row with every
// preset button after its field, the dialog buttons last.
TEST_F(GeometryWindow, TabOrderFollowsTheRows) {
  auto w = Open();
  std::vector<QWidget*> chain;
  QWidget* c = w.get();
  do {
    c = c->nextInFocusChain();
    chain.push_back(c);
  } while (c != w.get() && chain.size() < 500);
  auto at = [&chain](QWidget* x) {
    return std::find(chain.begin(), chain.end(), x) - chain.begin();
  };
  const std::vector<QWidget*> expected = {
      w->RadioButton_rad12, w->RadioGroup_wal->Item(0), w->RadioGroup_mnpn->Item(0), w->Edit_mn,
      w->SpinEdit_z,        w->Edit_wgammae,            w->RadioGroup_pm1->Item(0),  w->Edit_xe1,
      w->Button_xe1,        w->Edit_xe2,                w->Edit_dmess1,              w->Button_dmess1,
      w->RadioGroup_de->Item(0), w->Edit_da1,           w->RadioGroup_di->Item(0),   w->Edit_rf1,
      w->CheckBox_cmn,      w->Edit_ce,                 w->Edit_cemn,                w->Button_ok,
      w->Button_cancel};
  for (std::size_t i = 1; i < expected.size(); ++i)
    EXPECT_LT(at(expected[i - 1]), at(expected[i])) << expected[i]->objectName().toStdString();
}

TEST_F(GeometryWindow, TypingRecalculatesAndShowsMessages) {
  auto w = Open();
  w->SpinEdit_z->clear();
  QTest::keyClicks(w->SpinEdit_z, "31");
  EXPECT_EQ(Design.ToothCount[1], 31);
  EXPECT_EQ(Design.ToothCount[2], -31);
  EXPECT_EQ(w->Memo_err->isVisibleTo(w.get()), Errors.ErrorCount > 0);

  Type(w->Edit_xe1, "0.3");
  EXPECT_EQ(Design.ProfileShift[1], 0.3L);
  // The disabled pin dimension shows the value for the new x.
  EXPECT_EQ(w->Edit_mdr1->text().toStdString(), FieldText(GeoField::Mdr1, Design.PinDimension[1]));

  Type(w->Edit_mn, "0");
  EXPECT_TRUE(Flags.FatalError);
  EXPECT_TRUE(w->Memo_err->isVisibleTo(w.get()));
  EXPECT_TRUE(w->Label_err->isVisibleTo(w.get()));
  EXPECT_EQ(w->Label_err->text(), "Fehler : ");
  EXPECT_EQ(w->Memo_err->toPlainText(), "Fatal  : mn = 0 !");
  EXPECT_EQ(w->Memo_err->palette().color(QPalette::Base), QColor(255, 0, 0));
  // OK refuses while the fatal message stands and shows the message list.
  dialogs.Clear();
  bool closed = false;
  QObject::connect(w.get(), &QDialog::finished, [&] { closed = true; });
  w->Button_ok->click();
  EXPECT_FALSE(closed);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(dialogs.Log.empty());

  Type(w->Edit_mn, "0.5");
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_EQ(w->Memo_err->isVisibleTo(w.get()), Errors.ErrorCount > 0);
  EXPECT_FALSE(w->Memo_err->toPlainText().contains("mn = 0"));
  EXPECT_EQ(w->Label_d->text(), "d = 15.500 mm");

  // x beyond 1.5 warns, and the memo lists every message, one per line.
  Type(w->Edit_xe1, "1.6");
  EXPECT_TRUE(w->Memo_err->isVisibleTo(w.get()));
  QStringList lines = w->Memo_err->toPlainText().split('\n');
  EXPECT_EQ(lines.size(), Errors.ErrorCount);
  EXPECT_TRUE(lines.contains("Warnung: x > 1.5   (1) !"));

  // A disabled field is a result: changing it does not recalculate.
  Type(w->Edit_xe1, "0");
  int runs = Errors.ErrorCount;
  long double before = Design.PinDimension[2];
  w->Edit_mdr2->setText("99");
  EXPECT_EQ(Design.PinDimension[2], before);
  EXPECT_EQ(Errors.ErrorCount, runs);

  w->Button_ok->click();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Design.NormalModule, 0.5L);
}

// An entry that would give the design a value the file reader refuses is refused with the range
// message, and OK stays closed; what the window takes is saved and opens again.
TEST_F(GeometryWindow, EntriesBeyondTheFilesRangeAreRefusedAndWhatItTakesOpensAgain) {
  auto w = Open();
  bool closed = false;
  QObject::connect(w.get(), &QDialog::finished, [&] { closed = true; });
  w->SpinEdit_z->clear();
  QTest::keyClicks(w->SpinEdit_z, "28");
  w->RadioGroup_de->Item(0)->click();  // diameters from the tool factors
  w->RadioGroup_di->Item(0)->click();
  struct Entry {
    QLineEdit* Edit;
    const char* Text;
    const char* Message;  // empty: taken
  };
  const Entry entries[] = {
      {w->Edit_mn, "100000", "Gültiger Wertebereich: -1000000 .. 1000000 mm !"},
      {w->Edit_mn, "1000", ""},
      {w->Edit_mn, "0.0099", "Fatal  : mn = 0.0099 mm: Gültiger Wertebereich: 0.01 .. 1000000 mm !"},
      {w->Edit_mn, "-0.41934", "Fatal  : mn = -0.41934 mm: Gültiger Wertebereich: 0.01 .. 1000000 mm !"},
      {w->Edit_mn, "0.01", ""},
      {w->Edit_dmess1, "-1", "Fatal  : Dm1 = -1 mm: Gültiger Wertebereich: 0 .. 1000000 mm !"},
      {w->Edit_dmess1, "0", ""},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.Text);
    Type(e.Edit, e.Text);
    const bool refused = *e.Message != 0;
    EXPECT_EQ(Flags.FatalError, refused);
    const QString message = QString::fromUtf8(refused ? e.Message : "Gültiger Wertebereich");
    EXPECT_EQ(w->Memo_err->toPlainText().contains(message), refused)
        << w->Memo_err->toPlainText().toStdString();
    EXPECT_EQ(w->Label_d->text().isEmpty(), refused);
    if (!refused) continue;
    dialogs.Clear();
    w->Button_ok->click();
    EXPECT_FALSE(closed);
    EXPECT_FALSE(dialogs.Log.empty());
  }
  w->Button_ok->click();
  ASSERT_TRUE(closed);
  EXPECT_EQ(Design.NormalModule, 0.01L);

  test::TempFolder folder;
  Flags.AskOverwrite = false;
  SaveDataFile(folder.File("klein.qrk"));
  ASSERT_FALSE(Flags.AbortFlag);
  SetDefaultDesign();
  ReadDataFile(folder.File("klein.qrk"));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Design.NormalModule, 0.01L);
  EXPECT_EQ(Design.ToothCount[1], 28);
  const std::string run = "cd '" + folder.Path() + "' && env -u DISPLAY '" QERN_WQERN "' klein.qrk /I 0<&- >/dev/null 2>&1";
  const int status = std::system(run.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// While a fatal message stands no number of another design is shown; with Pn as the input a
// module of 0 in its disabled field is no error; long numbers fit their fixed-width fields.
TEST_F(GeometryWindow, FatalDesignsShowNoResultsAndFieldsKeepTheirWidths) {
  auto w = Open();
  w->RadioGroup_wal->Item(0)->click();
  const int editWidth = w->Edit_mn->width(), resultWidth = w->ResultLabels[0][1]->width();
  Type(w->Edit_wal, "95");
  ASSERT_TRUE(Flags.FatalError);
  EXPECT_EQ(w->Label_d->text(), "");
  for (const auto& row : w->ResultLabels) EXPECT_EQ(row[1]->text() + row[2]->text(), "");
  EXPECT_EQ(w->Edit_wgammae->text(), "") << "a derived field of the fatal design";
  Type(w->Edit_wal, "30");
  ASSERT_FALSE(Flags.FatalError);
  EXPECT_EQ(w->Label_d->text(), "d = 13.000 mm");
  EXPECT_EQ(w->Edit_wgammae->text(), "60");

  Type(w->Edit_mn, "1e300");
  EXPECT_EQ(w->Edit_mn->width(), editWidth);
  EXPECT_EQ(w->ResultLabels[0][1]->width(), resultWidth);
  for (const auto& row : w->ResultLabels)
    for (int part : {1, 2}) EXPECT_LE(row[part]->text().size(), ResultTextWidth) << row[part]->text().toStdString();
  // Every field's text fits its field, the derived ones too (Pn = 25.4 / mn).
  for (QLineEdit* e : w->findChildren<QLineEdit*>())
    EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()), e->width() - 10) << e->text().toStdString();

  // Pn is the input and the module field holds 0: the calculation derives mn from Pn.
  Type(w->Edit_mn, "0");
  w->RadioGroup_mnpn->Item(1)->click();
  Type(w->Edit_pn, "24");
  EXPECT_FALSE(w->Memo_err->toPlainText().contains("mn = 0"));
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_NEAR(D(Design.NormalModule), 25.4 / 24, 1e-12);
}

// The window fits the available screen with its buttons on it; hints wrap at a readable width.
TEST_F(GeometryWindow, FitsTheScreenAndWrapsItsHints) {
  auto w = Open();
  const QRect avail = w->screen()->availableGeometry();
  EXPECT_LE(w->height(), avail.height());
  EXPECT_LE(w->width(), avail.width());
  const QRect ok(w->Button_ok->mapTo(w.get(), QPoint(0, 0)), w->Button_ok->size());
  EXPECT_TRUE(w->rect().contains(ok));
  EXPECT_TRUE(avail.contains(w->geometry().topLeft()));
  const QString hint = w->Label_z->toolTip();
  for (const QString& line : hint.split('\n')) EXPECT_LE(line.size(), 60) << line.toStdString();
}

// On a low or narrow screen only the inputs scroll: the results and messages stay in view, at
// full width, whichever input is being edited, and every input can be scrolled to.
TEST_F(GeometryWindow, ResultsStayInViewWhileInputsScroll) {
  auto w = Open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  EXPECT_FALSE(w->ScrollArea_content->isAncestorOf(w->ResultsPanel));
  w->resize(w->ResultsPanel->minimumWidth() + 400, 360);  // a small screen
  QApplication::processEvents();
  const QRect window = w->rect();
  for (int i = 0; i < GeoFieldCount; ++i) {
    QWidget* field = w->FieldControl(FieldAt(i));
    ASSERT_TRUE(w->ScrollArea_content->isAncestorOf(field));
    w->ScrollArea_content->ensureWidgetVisible(field);
    QApplication::processEvents();
    // Scrolled to where typing goes (a line edit's cursor, at its start).
    const QPoint start = field->mapTo(w->ScrollArea_content->viewport(), QPoint(4, field->height() / 2));
    EXPECT_TRUE(w->ScrollArea_content->viewport()->rect().contains(start)) << FieldControlName(FieldAt(i));
    for (const auto& row : w->ResultLabels) {
      for (QLabel* l : row) {
        const QRect r(l->mapTo(w.get(), QPoint(0, 0)), l->size());
        EXPECT_TRUE(window.contains(r)) << l->objectName().toStdString();
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
      }
    }
  }
}

// A keystroke asks for no new layout of the window and repaints only what changed: the edited
// field and the results that moved, not the boxes and the window behind them.
TEST_F(GeometryWindow, KeystrokeRepaintsOnlyWhatChanged) {
  auto w = Open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  QApplication::processEvents();
  struct Counter : QObject {
    QWidget* window = nullptr;
    int layouts = 0;
    std::set<QObject*> painted;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::LayoutRequest && o == window) ++layouts;
      if (e->type() == QEvent::Paint) painted.insert(o);
      return false;
    }
  } counter;
  counter.window = w.get();
  auto type = [&](QLineEdit* e, Qt::Key key) {
    e->setFocus();
    e->end(false);
    QTest::qWait(50);  // what the showing and the focus left to do
    counter.layouts = 0;
    counter.painted.clear();
    qApp->installEventFilter(&counter);
    QTest::keyClick(e, key);
    QApplication::processEvents();
    qApp->removeEventFilter(&counter);
  };
  auto expectNothingBehind = [&] {
    EXPECT_EQ(counter.layouts, 0);
    EXPECT_FALSE(counter.painted.count(w.get())) << "the window behind the fields";
    for (QGroupBox* box : w->findChildren<QGroupBox*>()) EXPECT_FALSE(counter.painted.count(box));
  };
  type(w->Edit_xe1, Qt::Key_0);  // x1 = 00: nothing changes but the field
  expectNothingBehind();
  EXPECT_TRUE(counter.painted.count(w->Edit_xe1));
  EXPECT_FALSE(counter.painted.count(w->ResultLabels[0][1])) << "an unchanged result";
  std::vector<QString> before;
  for (const auto& row : w->ResultLabels) before.push_back(row[1]->text());
  type(w->Edit_mn, Qt::Key_5);  // the results follow
  expectNothingBehind();
  int changed = 0;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (w->ResultLabels[i][1]->text() == before[i]) continue;
    ++changed;
    EXPECT_TRUE(counter.painted.count(w->ResultLabels[i][1])) << i;
  }
  EXPECT_GT(changed, 0);
}

TEST_F(GeometryWindow, ShownRoundingNeverReachesTheDesign) {
  Design.NormalModule = 0.419341234567891L;
  Design.ProfileShift[2] = 0.1234567890123L;
  CalculateSerration();
  DesignRecord calculated = Design;
  auto w = Open();
  EXPECT_EQ(w->Edit_mn->text(), "0.4193412");
  // Mode changes and a unit toggle there and back leave every value as it was.
  w->RadioGroup_pm2->Item(2)->click();
  w->RadioGroup_pm2->Item(0)->click();
  w->Button_metric->click();
  EXPECT_EQ(Settings.UnitSystem, 1);
  EXPECT_EQ(w->UnitLabel(GeoField::Mn)->text(), "in");
  EXPECT_EQ(w->Edit_mn->text().toStdString(), FieldText(GeoField::Mn, Design.NormalModule));
  // Inch input is stored in millimetres; typing recalculates from the full values.
  Type(w->Edit_dmess1, "0.03");
  EXPECT_NEAR(D(Design.PinDiameter[1]), 0.762, 1e-15);
  w->Button_metric->click();
  EXPECT_EQ(w->UnitLabel(GeoField::Mdr1)->text(), "mm");
  w->Button_ok->click();
  EXPECT_EQ(Design.NormalModule, calculated.NormalModule);
  EXPECT_EQ(Design.ProfileShift[2], calculated.ProfileShift[2]);
  EXPECT_NEAR(D(Design.PinDiameter[1]), 0.762, 1e-15);
}

TEST_F(GeometryWindow, PresetsWriteTheirValues) {
  auto w = Open();
  // Clearance factors need a derived part and factor input.
  w->RadioButton_rad1c->click();
  if (!w->CheckBox_cmn->isChecked()) w->CheckBox_cmn->click();
  w->Button_cemn->click();
  w->Button_cimn->click();
  w->Button_cpmn->click();
  EXPECT_EQ(w->Edit_cemn->text(), "0.5");
  EXPECT_EQ(w->Edit_cpmn->text(), "0.1");
  EXPECT_EQ(Design.MajorClearanceFactor, 0.5L);
  EXPECT_EQ(Design.MinorClearanceFactor, 0.5L);
  EXPECT_EQ(Design.FlankClearanceFactor, 0.1L);
  EXPECT_NEAR(D(Design.FlankClearance), 0.1 * 0.41934, 1e-15);

  // Tip radius 0.25 mn.
  Type(w->Edit_rf1, "0.3");
  w->Button_rf1->click();
  EXPECT_NEAR(D(Design.ToolTipRadiusFactor[1]), 0.25, 1e-15);

  // Dedendum factor 0.5 / tan alpha, full precision.
  w->RadioGroup_de->Item(0)->click();
  w->Button_fhf1->click();
  EXPECT_NEAR(D(Design.ToolDedendumFactor[1]), 0.5 / std::tan(M_PI / 6), 1e-15);
  EXPECT_EQ(w->Edit_fhf1->text(), "0.8660254");

  // Standard pin diameter.
  Type(w->Edit_dmess1, "3");
  w->Button_dmess1->click();
  EXPECT_NEAR(D(Design.PinDiameter[1]), D(Design.StandardPinDiameter[1]), 1e-12);

  // Tip diameter of the shaft in fit mode 1: the hub's straight-flank root less 2 ce and 0.5 mn.
  w->RadioGroup_de->Item(1)->click();
  w->Button_da1->click();
  EXPECT_NEAR(D(Design.TipDiameterInput[1] * 100), std::round(D(Design.TipDiameterInput[1] * 100)), 1e-9);
  EXPECT_EQ(w->Edit_da1->text().toStdString(), FieldText(GeoField::Da1, Design.TipDiameterInput[1]));
  EXPECT_FALSE(w->Button_da2->isEnabled());
}

TEST_F(GeometryWindow, MirroringTakesTheMatesShift) {
  auto w = Open();
  Type(w->Edit_xe2, "0.4");
  w->Button_xe1->click();
  EXPECT_NEAR(D(Design.ProfileShift[1]), -0.4, 1e-15);
  EXPECT_EQ(w->Edit_xe1->text(), "-0.4");
  Type(w->Edit_xe1, "1.5");
  w->RadioGroup_pm2->Item(1)->click();
  w->Button_en2->click();
  EXPECT_TRUE(Design.ProfileShift[1] == 0 && Design.ProfileShift[2] == 0);
  EXPECT_TRUE(w->Edit_xe1->text() == "0" && w->Edit_xe2->text() == "0");
  EXPECT_TRUE(Design.XInputMode[1] == 1 && Design.XInputMode[2] == 2);  // the groups' codes again
}

TEST_F(GeometryWindow, CancelRestoresTheDesignExactly) {
  CalculateSerration();
  Errors.ErrorList[0] = "Warnung: vorher";
  Errors.ErrorCount = 1;
  DesignRecord before = Design;
  WhenOpen([](TForm_qerngeo* w) {
    Type(w->Edit_xe1, "0.7");
    w->RadioGroup_pm2->Item(1)->click();
    Type(w->Edit_en2, "0.5");
    w->Button_metric->click();
    EXPECT_NE(Design.ProfileShift[1], 0);
    w->Button_cancel->click();
  });
  EXPECT_FALSE(EditDimensions(nullptr));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_TRUE(SameDesign(Design, before));
  EXPECT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Warnung: vorher");
}

TEST_F(GeometryWindow, EditDimensionsOkKeepsTheEdits) {
  WhenOpen([](TForm_qerngeo* w) {
    Type(w->Edit_xe1, "0.25");
    QTest::keyClick(w, Qt::Key_Escape);  // Esc cancels
  });
  EXPECT_FALSE(EditDimensions(nullptr));
  EXPECT_EQ(Design.ProfileShift[1], 0);
  WhenOpen([](TForm_qerngeo* w) {
    Type(w->Edit_xe1, "0.25");
    w->Button_ok->click();
  });
  EXPECT_TRUE(EditDimensions(nullptr));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Design.ProfileShift[1], 0.25L);
}

// Saves a picture of the window when QERN_SCREENSHOT names a file (scripts/screenshot-geo.sh).
TEST_F(GeometryWindow, Screenshot) {
  const char* file = std::getenv("QERN_SCREENSHOT");
  if (!file || !*file) GTEST_SKIP() << "QERN_SCREENSHOT not set";
  Design.ProfileShift[1] = 1.6L;  // shows the message memo too
  auto w = Open();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
  QTest::qWait(200);
  ASSERT_TRUE(w->grab().save(file));
}


// The help pictures of the window's buttons appear beside it; the drawing window keeps its own
// picture, whatever the window ends with.
TEST_F(GeometryWindow, HelpPicturesShowBesideTheModalWindow) {
  TFzorqgra drawingWindow;
  TDrawDevice device;
  DrawDevice = &device;
  SetDialogHostWindow(&drawingWindow);
  InstallHelpPictureWindow();
  Settings.ScreenWidth = 639;
  Settings.ScreenHeight = 479;
  // The design's drawing on the drawing window.
  device.Header(0, 0, 0, 100, 80);
  device.Line(10, 10, 90, 70);
  const std::vector<std::string> drawing = DisplayListText();
  const GraphicState mapping = Graph;
  std::vector<std::string> shown;
  bool stayedModal = false;
  QImage picture;
  QSize viewSize;
  WhenOpen([&](TForm_qerngeo* w) {
    w->Button_dmess->click();
    auto* view = w->findChild<QWidget*>("HelpPictureView");
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(view->isWindow());
    viewSize = view->size();
    shown.push_back(DisplayListText() == drawing ? "kept" : "replaced");
    w->Button_hilfebild->click();
    shown.push_back(DisplayListText() == drawing ? "kept" : "replaced");
    EXPECT_EQ(w->findChildren<QWidget*>("HelpPictureView").size(), 1u) << "one window, reused";
    picture = view->grab().toImage();
    stayedModal = QApplication::activeModalWidget() == w;
    w->Button_cancel->click();
  });
  EditDimensions(&drawingWindow);
  SetHelpPictureHandler(nullptr);
  SetDialogHostWindow(nullptr);
  // Its labels as large as a dialog's text: the pin-dimension picture (DM ?) at the window's scale.
  HelpPictureDrawing pins;
  ASSERT_TRUE(DrawHelpPictureApart(HelpPictureFileName("qmessr"), pins));
  DrawDevice = nullptr;
  EXPECT_GE(SmallestTextHeight(pins) * viewSize.width() / pins.BoxWidth, MinReadableTextHeight - 0.01);
  EXPECT_EQ(shown, (std::vector<std::string>{"kept", "kept"}));
  EXPECT_EQ(DisplayListText(), drawing);
  EXPECT_EQ(Graph.WorldXMax, mapping.WorldXMax);
  EXPECT_EQ(Graph.ScaleY, mapping.ScaleY);
  EXPECT_TRUE(stayedModal);
  ASSERT_FALSE(picture.isNull());
  const QRgb background = picture.pixel(0, 0);
  int drawn = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) drawn += picture.pixel(x, y) != background;
  EXPECT_GT(drawn, 100);
}

}  // namespace
}  // namespace qern
