// The print window and the table-view window: opening values by preset, Cancel and a refused scale
// of 0, presets appended and read back by python3-dbf, a python3-dbf table listed and chosen, and
// the printout as PDF whose page (as PNG) shows a known line at the chosen scale and origin.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "app/qernstart.h"
#include "app/qt/printcon.h"
#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "framework/progvar.h"
#include "framework/qt/fzorqgra.h"
#include "framework/utilstr.h"
#include "framework/wprinvar.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"
#include "platform/process.h"
#include "platform/scripteddialogs.h"
#include "tablengine/dbfaccess.h"
#include "tablengine/kelpie.h"
#include "tablengine/qt/dbfview.h"
#include "tests/support/testutil.h"

using namespace qern;

namespace {

const std::string kReader = std::string(QERN_SOURCE_DATA) + "/../tests/readers/printout_dbf.py";
constexpr int kMissing = 3;

// 0, the script's failure, or kMissing when python3-dbf is missing here (in CI that fails).
int RunReader(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"/usr/bin/python3", kReader};
  argv.insert(argv.end(), args.begin(), args.end());
  int code = -1;
  if (RunAndWait(argv, code) != StartResult::Started) code = kMissing;
  const char* ci = std::getenv("CI");
  if (code == kMissing && ci && std::string(ci) == "true") return 1;
  return code;
}

#define RUN_READER(...)                                                                   \
  do {                                                                                    \
    const int r = RunReader({__VA_ARGS__});                                               \
    if (r == kMissing) GTEST_SKIP() << "python3-dbf missing (CI fails here)";             \
    ASSERT_EQ(r, 0) << "reader script failed";                                            \
  } while (0)

double Value(const QLineEdit* e) { return static_cast<double>(StrToReal(e->text().toStdString())); }

class PrintWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kelpie::KelpieInit();
    InitProgramState();
    DisplayList.clear();
    Settings.DbfFolder = folder_.Path() + "/";
    Settings.TempFolder = folder_.Path() + "/";
    Settings.PrintPresetFolder = folder_.Path() + "/";
    Settings.ScreenWidth = 800;
    Settings.ScreenHeight = 600;
    InstallTableViewWindow();
  }
  void TearDown() override {
    DbfCloseTable();
    SetTableViewer({});
    kelpie::CloseAll();
    kelpie::KelpieInit();
  }
  // Runs the window modally; act gets it once it shows. Returns the exec result.
  int Run(const std::function<void(TForm_printconf*)>& act) {
    TForm_printconf form;
    QTimer::singleShot(0, [&] { act(&form); });
    return form.exec();
  }
  // Once the next modal window shows, hands it to act.
  template <typename Form>
  static void WhenShown(std::function<void(Form*)> act) {
    QTimer::singleShot(0, [act] {
      auto* w = qobject_cast<Form*>(QApplication::activeModalWidget());
      ASSERT_NE(w, nullptr);
      act(w);
    });
  }
  ScopedScriptedDialogs dialogs_;
  test::TempFolder folder_;
};

TEST_F(PrintWindowTest, OpensByPresetAndCancelKeepsTheVariables) {
  Settings.ScreendumpScale = 2;
  Settings.ScreendumpScaleY = 3;
  Settings.ScreendumpOriginX = 15;
  Settings.ScreendumpBorder = true;
  Settings.PrintOrientation = 2;
  Flags.PrintPreset = 2;
  const int result = Run([](TForm_printconf* w) {
    EXPECT_EQ(w->windowTitle(), "Ausdruck");
    EXPECT_EQ(Value(w->Edit_scalex), 0.95);
    EXPECT_EQ(Value(w->Edit_scaley), 1.0);
    EXPECT_EQ(w->Edit_xorigin->text(), "0");
    EXPECT_FALSE(w->CheckBox_umrandung->isChecked());
    EXPECT_EQ(TForm_printconf::ItemIndex(w->hochquerItems), 0);  // portrait
    EXPECT_GE(w->Label_printer->text().size(), 40);  // right-aligned in 40 characters
    w->Edit_scalex->setText("7");
    w->Button_cancel->click();
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(PrintVars.PrintScaleX, 0.95);
  Flags.PrintPreset = 3;  // the saved user settings
  Run([](TForm_printconf* w) {
    EXPECT_EQ(Value(w->Edit_scalex), 2.0);
    EXPECT_EQ(Value(w->Edit_scaley), 3.0);
    EXPECT_EQ(w->Edit_xorigin->text(), "15");
    EXPECT_TRUE(w->CheckBox_umrandung->isChecked());
    EXPECT_EQ(TForm_printconf::ItemIndex(w->hochquerItems), 1);  // landscape
    w->Button_cancel->click();
  });
  EXPECT_EQ(Settings.ScreendumpScale, 2);  // the window never changes the saved settings
}

TEST_F(PrintWindowTest, ScaleZeroIsRefusedAndTheWindowStays) {
  Flags.PrintPreset = 0;
  const std::string pdf = folder_.File("null.pdf");
  GraphicPrinter().setOutputFormat(QPrinter::PdfFormat);
  GraphicPrinter().setOutputFileName(QString::fromStdString(pdf));
  bool stayed = false;
  Run([&](TForm_printconf* w) {
    w->Edit_scaley->setText("abc");  // not a number: 0
    w->Button_ok->click();
    stayed = w->isVisible();
    w->Button_cancel->click();
  });
  EXPECT_TRUE(stayed);
  ASSERT_EQ(dialogs_->Messages().size(), 1u);
  EXPECT_NE(dialogs_->Messages()[0].find("Maßstab 0"), std::string::npos);
  EXPECT_EQ(PrintVars.PrintScaleY, 1.0);
  EXPECT_FALSE(std::filesystem::exists(pdf));
}

// Without a printer the drawing goes to a PDF file named after the design; an existing one is
// replaced only after the overwrite question.
TEST_F(PrintWindowTest, StandInPdfIsNamedAfterTheDesignAndAsksBeforeReplacing) {
  Flags.PrintPreset = 0;
  Session.CurrentFileName = "pruefmass.qrk";  // as the command line names it
  const std::string pdf = folder_.File("pruefmass.pdf");
  EXPECT_EQ(DesignPdfFileName().toStdString(), pdf);
  PrintToDesignPdf(GraphicPrinter());
  Run([](TForm_printconf* w) { w->Button_ok->click(); });
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_TRUE(dialogs_->Messages().empty()) << "a new file is not asked for";

  test::WriteWholeFile(pdf, "kept");
  dialogs_->QueueNo();
  bool stayed = false;
  Run([&](TForm_printconf* w) {
    w->Button_ok->click();
    stayed = w->isVisible();
    w->Button_cancel->click();
  });
  EXPECT_TRUE(stayed);
  EXPECT_EQ(test::ReadWholeFile(pdf), "kept");
  dialogs_->QueueYes();
  Run([](TForm_printconf* w) { w->Button_ok->click(); });
  EXPECT_NE(test::ReadWholeFile(pdf), "kept");
  Session.CurrentFileName.clear();
}

TEST_F(PrintWindowTest, AppendedPresetsAreReadByPythonDbf) {
  Flags.PrintPreset = 0;
  dialogs_->QueueText("Übersicht A3");
  dialogs_->QueueText("zweiter");
  Run([](TForm_printconf* w) {
    w->Edit_scalex->setText("0,5");
    w->Edit_scaley->setText("1.25");
    w->Edit_xorigin->setText("-12");
    w->Edit_yorigin->setText("30");
    TForm_printconf::SetItemIndex(w->hochquerItems, 1);
    TForm_printconf::SetItemIndex(w->printmonoItems, 0);
    w->CheckBox_anpassen->setChecked(true);
    w->CheckBox_umrandung->setChecked(false);
    w->Button_append->click();  // creates the missing table, then appends
    TForm_printconf::SetItemIndex(w->hochquerItems, 0);
    TForm_printconf::SetItemIndex(w->printmonoItems, 1);
    w->Button_append->click();
    w->Button_cancel->click();
  });
  EXPECT_TRUE(dialogs_->Messages().empty());
  const std::string out = folder_.File("read.txt");
  RUN_READER("read", folder_.File("printout.dbf"), out);
  EXPECT_EQ(test::ReadFileLines(out),
            (std::vector<std::string>{"1|0|Übersicht A3|0.5000|1.2500|-12|30|T|T|T|F",
                                      "2|0|zweiter|0.5000|1.2500|-12|30|F|F|T|F"}));
}

TEST_F(PrintWindowTest, PythonDbfTableIsListedAndAPresetChosen) {
  RUN_READER("write", folder_.File("printout.dbf"));
  Flags.PrintPreset = 0;
  Run([](TForm_printconf* w) {
    WhenShown<TForm_dbfview>([](TForm_dbfview* v) {
      ASSERT_EQ(v->Grid->rowCount(), 2);
      EXPECT_EQ(v->Grid->columnCount(), 9);
      EXPECT_EQ(v->Grid->item(0, 0)->text(), "A4 hoch Übersicht");
      EXPECT_EQ(v->Grid->item(1, 1)->text(), "1.2500");
      EXPECT_TRUE(v->Navigator[TForm_dbfview::NavInsert]->isVisibleTo(v));  // editing mode
      EXPECT_NE(v->windowTitle().toStdString().find("Printout"), std::string::npos);
      v->Navigate(TForm_dbfview::NavLast);
      v->Button_ok->click();
    });
    w->Button_db->click();
    EXPECT_EQ(w->Edit_scalex->text(), "1.2500");
    EXPECT_EQ(w->Edit_scaley->text(), "1.5000");
    EXPECT_EQ(w->Edit_xorigin->text(), "-5");
    EXPECT_EQ(w->Edit_yorigin->text(), "7");
    EXPECT_EQ(TForm_printconf::ItemIndex(w->hochquerItems), 1);
    EXPECT_EQ(TForm_printconf::ItemIndex(w->printmonoItems), 1);
    EXPECT_TRUE(w->CheckBox_anpassen->isChecked());
    EXPECT_FALSE(w->CheckBox_umrandung->isChecked());
    // The next time the table opens on the chosen record; Cancel takes nothing.
    WhenShown<TForm_dbfview>([](TForm_dbfview* v) {
      EXPECT_EQ(v->Grid->currentRow(), 1);
      v->Grid->setCurrentCell(0, 0);
      v->Button_cancel->click();
    });
    w->Button_db->click();
    EXPECT_EQ(w->Edit_scalex->text(), "1.2500");
    w->Button_cancel->click();
  });
  EXPECT_EQ(PrintVars.PresetRecord, 2);
}

TEST_F(PrintWindowTest, EditingModeWritesTypedFields) {
  RUN_READER("write", folder_.File("printout.dbf"));
  DbfUse(folder_.File("printout.dbf"));
  DbfSetCaptions("Printout", "");
  WhenShown<TForm_dbfview>([](TForm_dbfview* v) {
    v->Grid->item(0, 3)->setText("44");
    v->Navigate(TForm_dbfview::NavInsert);
    EXPECT_EQ(v->Grid->rowCount(), 3);
    v->Grid->setCurrentCell(1, 0);
    v->Navigate(TForm_dbfview::NavDelete);
    EXPECT_EQ(v->Grid->verticalHeaderItem(1)->text(), "2*");
    v->Button_ok->click();
  });
  EXPECT_TRUE(DbfShowTable("CLOSE", 2));
  EXPECT_FALSE(DbfTable().Active());
  const std::string out = folder_.File("read.txt");
  RUN_READER("read", folder_.File("printout.dbf"), out);
  const auto lines = test::ReadFileLines(out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "1|0|A4 hoch Übersicht|0.5000|0.5000|44|20|F|T|F|T");
  EXPECT_EQ(lines[1].substr(0, 4), "2|1|");
  // Viewing only: four navigator buttons, no editing items, cells not editable.
  DbfUse(folder_.File("printout.dbf"));
  WhenShown<TForm_dbfview>([](TForm_dbfview* v) {
    EXPECT_EQ(v->Grid->rowCount(), 2);  // the deleted record is hidden
    EXPECT_TRUE(v->Navigator[TForm_dbfview::NavLast]->isVisibleTo(v));
    EXPECT_FALSE(v->Navigator[TForm_dbfview::NavInsert]->isVisibleTo(v));
    EXPECT_FALSE(v->EditItems[0]->isVisible());
    EXPECT_EQ(v->Grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    v->Button_cancel->click();
  });
  Flags.AbortFlag = false;
  EXPECT_FALSE(DbfShowTable("", 1));
  EXPECT_TRUE(Flags.AbortFlag);
}

// Dark pixels of the PNG page: the longest horizontal run (its start and length).
struct Run1 {
  int Start = 0, Length = 0, Row = 0;
};
Run1 LongestDarkRun(const QImage& img) {
  Run1 best;
  for (int y = 0; y < img.height(); ++y) {
    int start = -1;
    for (int x = 0; x <= img.width(); ++x) {
      const bool dark = x < img.width() && qGray(img.pixel(x, y)) < 160;
      if (dark && start < 0) start = x;
      if (!dark && start >= 0) {
        if (x - start > best.Length) best = {start, x - start, y};
        start = -1;
      }
    }
  }
  return best;
}

// Prints the display list through the window with scale x and origin x as typed, turns the page
// into a PNG and checks the longest dark horizontal run against the world line (x1..x2) mapped
// by the print formula: its length within 1 %, its start within 3 pixels.
void ExpectPrintedLine(const std::string& folder, const char* sx, const char* ox, double x1, double x2,
                       const std::function<int(const std::function<void(TForm_printconf*)>&)>& run) {
  const double scaleX = std::atof(sx);
  const int originMm = std::atoi(ox);
  const std::string pdf = folder + "/page" + ox + ".pdf";
  QPrinter& printer = GraphicPrinter();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  const int result = run([&](TForm_printconf* f) {
    f->Edit_scalex->setText(sx);
    f->Edit_xorigin->setText(ox);
    f->Button_ok->click();
  });
  ASSERT_EQ(result, QDialog::Accepted) << sx;
  EXPECT_EQ(PrintVars.PrintScaleX, scaleX);
  EXPECT_EQ(PrintVars.PrintOffsetX, originMm);
  const int dpi = 200;
  int code = -1;
  const std::string png = folder + "/page";
  ASSERT_EQ(RunAndWait({"pdftoppm", "-r", std::to_string(dpi), "-png", "-singlefile", pdf, png}, code),
            StartResult::Started);
  ASSERT_EQ(code, 0);
  QImage img(QString::fromStdString(png + ".png"));
  ASSERT_FALSE(img.isNull());
  // Printer pixels of the page's printable area and where it lies on the sheet.
  const double res = printer.resolution();
  const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
  const double pw = area.width();
  const double sw = Settings.ScreenWidth;
  const long double k = Graph.ScaleX;
  const double expectedLength = pw * k * (x2 - x1) * scaleX / sw * dpi / res;
  const double expectedStart =
      (area.left() + pw * ((x1 - Graph.VisibleXMin) * k + Graph.ViewLeft) * scaleX / sw + pw * originMm / 210) *
      dpi / res;
  const Run1 line = LongestDarkRun(img);
  EXPECT_NEAR(line.Length, expectedLength, expectedLength * 0.01) << sx;
  EXPECT_NEAR(line.Start, expectedStart, 3) << sx;
  std::filesystem::remove(png + ".png");
}

TEST_F(PrintWindowTest, PrintsAKnownLineAtScaleAndOrigin) {
  // 200 world units long in a 400 x 300 world box.
  GraphicWindow w;
  FZorqgra = &w;
  w.SetWindow(true, true, 0, 0, 1, 1, 0, 0, 400, 300);
  w.SetColor(0 + 16);  // black
  w.SetLineWidth(3);  // 12 printer pixels: the caps add 0.25 mm
  w.line(50, 150, 250, 150);
  Flags.PrintPreset = 0;
  Settings.PrintOrientation = 1;
  Settings.ColorGraphics = false;
  auto run = [this](const std::function<void(TForm_printconf*)>& act) { return Run(act); };
  ExpectPrintedLine(folder_.Path(), "1", "0", 50, 250, run);
  ExpectPrintedLine(folder_.Path(), "0.5", "20", 50, 250, run);
  FZorqgra = nullptr;
  DisplayList.clear();
}

// The default design's drawing on the graphics window (landscape, white background) while it lives.
class DefaultDrawing {
 public:
  DefaultDrawing() {
    SetProgramIdentity();
    InitGraphicState();
    Settings.BackgroundColor = 0xFFFFFF;
    Settings.PrintOrientation = 2;
    Flags.PrintPreset = 0;
    DrawDevice = &device_;
    SetDefaultDesign();
    CalculateSerration();
    Flags.AbortFlag = false;
    ShowDefaultDrawing();
    Shown = !Flags.AbortFlag;
  }
  ~DefaultDrawing() {
    DrawDevice = nullptr;
    FZorqgra = nullptr;
    SetDefaultDesign();
    ResetErrors();
    DisplayList.clear();
  }
  bool Shown = false;

 private:
  TFzorqgra window_;
  TDrawDevice device_;
};

TEST_F(PrintWindowTest, PrintsTheDefaultDrawing) {
  Settings.ColorGraphics = false;
  DefaultDrawing drawing;
  ASSERT_TRUE(drawing.Shown);
  // The drawing's longest horizontal line is the known one.
  double x1 = 0, x2 = 0;
  for (const DisplayRecord& r : DisplayList)
    if (r.Code == RecLine && r.Args[1] == r.Args[3] && std::fabs(r.Args[2] - r.Args[0]) > x2 - x1) {
      x1 = std::min(r.Args[0], r.Args[2]);
      x2 = std::max(r.Args[0], r.Args[2]);
    }
  ASSERT_GT(x2 - x1, 40);
  auto run = [this](const std::function<void(TForm_printconf*)>& act) { return Run(act); };
  ExpectPrintedLine(folder_.Path(), "0.8", "0", x1, x2, run);
  ExpectPrintedLine(folder_.Path(), "0.5", "25", x1, x2, run);
}

}  // namespace

#include <QMainWindow>

#include "framework/qt/formhelp.h"
#include "framework/sysutil.h"

namespace {

// The output's name (a PDF file with its folder) widens the window: it shows centred all the same.
TEST_F(PrintWindowTest, ShowsCentredWithItsOutputNameSet) {
  QMainWindow host;
  host.setGeometry(0, 0, 760, 560);
  host.show();
  SetDialogHostWindow(&host);
  Settings.TempFolder = folder_.Path() + "/ausgaben-des-druckfensters/";
  Session.CurrentFileName = "pruefmass";
  PrintToDesignPdf(GraphicPrinter());
  QRect shown, hostFrame;
  Run([&](TForm_printconf* w) {
    QApplication::processEvents();
    shown = w->geometry();
    hostFrame = host.frameGeometry();
    EXPECT_TRUE(w->Label_printer->text().contains("pruefmass.pdf"));
    w->Button_cancel->click();
  });
  SetDialogHostWindow(nullptr);
  Session.CurrentFileName.clear();
  const FormRect want = CentredOn({0, 0, shown.width(), shown.height()},
                                  {hostFrame.x(), hostFrame.y(), hostFrame.width(), hostFrame.height()});
  EXPECT_EQ(shown.topLeft(), QPoint(want.Left, want.Top)) << shown.width() << " wide";
}

}  // namespace

#include <sys/mount.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>

namespace {

// Names in the folder, hidden ones too, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A PDF file that poppler reads and that ends with its end-of-file mark.
bool WholePdf(const std::string& file) {
  const std::string bytes = test::ReadWholeFile(file);
  const size_t mark = bytes.rfind("%%EOF");
  if (bytes.size() < 1000 || mark == std::string::npos || bytes.size() - mark > 7) return false;
  int code = -1;
  return RunAndWait({"pdfinfo", file}, code) == StartResult::Started && code == 0;
}

// A grey scale chosen in the platform's print dialog holds for a PDF file: a red line prints grey.
TEST_F(PrintWindowTest, GreyScaleChosenForAPdfFilePrintsGrey) {
  GraphicWindow w;
  FZorqgra = &w;
  w.SetWindow(true, true, 0, 0, 1, 1, 0, 0, 400, 300);
  Settings.ColorPalette[16] = 0x0000FF;  // red ($00BBGGRR)
  w.SetColor(16);
  w.SetLineWidth(3);
  w.line(50, 150, 250, 150);
  Flags.PrintPreset = 0;
  Settings.PrintColorMode = 2;
  const std::string pdf = folder_.File("grau.pdf"), png = folder_.File("grau");
  QPrinter& printer = GraphicPrinter();
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  for (QPrinter::ColorMode mode : {QPrinter::Color, QPrinter::GrayScale}) {
    printer.setColorMode(mode);
    ASSERT_EQ(Run([](TForm_printconf* f) { f->Button_ok->click(); }), QDialog::Accepted);
    int code = -1;
    ASSERT_EQ(RunAndWait({"pdftoppm", "-r", "50", "-png", "-singlefile", pdf, png}, code), StartResult::Started);
    ASSERT_EQ(code, 0);
    const QImage img(QString::fromStdString(png + ".png"));
    int red = 0, grey = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const QColor c = img.pixelColor(x, y);
        red += c.red() > 200 && c.green() < 60;
        grey += c.red() < 200 && std::abs(c.red() - c.green()) < 8 && std::abs(c.green() - c.blue()) < 8;
      }
    EXPECT_EQ(red > 20, mode == QPrinter::Color) << red;
    EXPECT_EQ(grey > 20, mode == QPrinter::GrayScale) << grey;
  }
  printer.setColorMode(QPrinter::Color);
  FZorqgra = nullptr;
  DisplayList.clear();
}

// A print that cannot be written whole is said with its reason and leaves the old file; the next
// print in the same run is whole. The disk is full (a small tmpfs, as root) or the file size is
// limited (the limit of the process, its signal ignored).
TEST_F(PrintWindowTest, AFailedPrintIsSaidLeavesTheOldFileAndTheNextIsWhole) {
  DefaultDrawing drawing;  // about 25 KB as PDF
  ASSERT_TRUE(drawing.Shown);

  struct Case {
    const char* What;
    std::string Reason;
  } cases[] = {{"full disk", "Diskette/Platte voll"}, {"file size limit", "Datei zu groß"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string full = folder_.File("voll");
    std::filesystem::create_directory(full);
    const bool tmpfs = c.Reason == cases[0].Reason;
    if (tmpfs && (::geteuid() != 0 || ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=16k") != 0)) {
      GTEST_LOG_(WARNING) << "no small tmpfs (needs root): the full disk is not tried";
      std::filesystem::remove(full);
      continue;
    }
    const std::string pdf = full + "/d.pdf";
    test::WriteWholeFile(pdf, "alte Fassung");
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (!tmpfs) {
      const rlimit small{8192, saved.rlim_max};
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    GraphicPrinter().setOutputFormat(QPrinter::PdfFormat);
    GraphicPrinter().setOutputFileName(QString::fromStdString(pdf));
    dialogs_->Clear();
    bool stayed = false;
    Run([&](TForm_printconf* w) {
      w->Button_ok->click();
      stayed = w->isVisible();
      w->Button_cancel->click();
    });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_TRUE(stayed) << "the window stays for another printer";
    EXPECT_EQ(dialogs_->Messages(),
              std::vector<std::string>{"Datei " + pdf + " kann nicht geschrieben werden: " + c.Reason + " !"});
    EXPECT_TRUE(test::ReadWholeFile(pdf) == "alte Fassung") << std::filesystem::file_size(pdf) << " bytes";
    EXPECT_EQ(Names(full), std::vector<std::string>{"d.pdf"});
    if (tmpfs) ::umount(full.c_str());
    std::filesystem::remove_all(full);

    // Again in the same run, to a folder with room: whole.
    const std::string good = folder_.File("gut.pdf");
    GraphicPrinter().setOutputFileName(QString::fromStdString(good));
    dialogs_->Clear();
    EXPECT_EQ(Run([](TForm_printconf* w) { w->Button_ok->click(); }), QDialog::Accepted);
    EXPECT_TRUE(dialogs_->Messages().empty());
    EXPECT_TRUE(WholePdf(good)) << std::filesystem::file_size(good) << " bytes";
    std::filesystem::remove(good);
  }
}

}  // namespace
