// The drawing entry: pick-list captions, the default kind, and the DXF files of the kinds as
// written (inserts and scales of the sheet and table kinds, the wheels' z1 inserts), audited by
// an independent reader for the default design and every shipped example.
#include "drawing/qernzeich.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "cadtest.h"
#include "drawing/cadbackend.h"
#include "drawing/dxblock.h"
#include "drawing/schraff.h"
#include "drawing/zeichrah.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "framework/zorqgraf.h"
#include "platform/process.h"
#include "platform/dialogservice.h"
#include "platform/scripteddialogs.h"
#include "tests/support/readers.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

namespace {

struct Insert {
  std::string block, name;  // block = "" in the entities section
  double x = 0, y = 0, sx = 1, sy = 1, angle = 0;
};

// The INSERT entities of a DXF file, with the block they stand in.
std::vector<Insert> Inserts(const std::string& file) {
  const std::vector<std::string> lines = ReadFileLines(file);
  std::vector<Insert> out;
  std::string block;
  Insert* cur = nullptr;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    const int code = std::atoi(lines[i].c_str());
    const std::string& v = lines[i + 1];
    if (code == 0) {
      cur = nullptr;
      if (v == "INSERT") {
        out.push_back({block, ""});
        cur = &out.back();
      } else if (v == "ENDBLK" || v == "ENDSEC") {
        block.clear();
      } else if (v == "BLOCK") {
        block = "?";
      }
      continue;
    }
    if (block == "?" && code == 2) block = v;
    if (!cur) continue;
    const double d = std::atof(v.c_str());
    switch (code) {
      case 2: cur->name = v; break;
      case 10: cur->x = d; break;
      case 20: cur->y = d; break;
      case 41: cur->sx = d; break;
      case 42: cur->sy = d; break;
      case 50: cur->angle = d; break;
      default: break;
    }
  }
  return out;
}

std::vector<Insert> InBlock(const std::vector<Insert>& all, const std::string& block) {
  std::vector<Insert> out;
  for (const Insert& i : all)
    if (i.block == block) out.push_back(i);
  return out;
}

// The default design with z teeth, its tip diameters moved with the pitch diameter.
void DefaultDesignWithTeeth(int z) {
  SetDefaultDesign();
  const long double mn = Design.NormalModule;
  Design.ToothCount[1] = z;
  Design.ToothCount[2] = -z;
  Design.TipDiameterInput[1] += (z - 31) * mn;
  Design.TipDiameterInput[2] += (z - 31) * mn;
  CalculateSerration();
}

class DrawingKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Settings;
    Settings.TempFolder = dir_.Path() + "/";
    SetDefaultDesign();
    CalculateSerration();
    Flags.AbortFlag = false;
  }
  void TearDown() override {
    Flags.BatchCadOutput = false;
    Settings = saved_;
    SetDefaultDesign();
    ResetErrors();
  }
  // Writes kind as DXF into the test folder under base + kind; returns the file name.
  std::string WriteDxf(int kind, const std::string& base = "k") {
    Flags.BatchCadOutput = true;
    Flags.AbortFlag = false;
    Session.CurrentFileName = dir_.File(base + std::to_string(kind));
    DrawMenu(1, kind);
    Flags.BatchCadOutput = false;
    return Session.CurrentFileName + ".dxf";
  }
  TempFolder dir_;
  ProgramSettings saved_;
};

TEST(DrawingEntry, PickListCaptionsAndDefaultKind) {
  const std::vector<std::string> captions = {
      "Zeichnung Welle", "Zeichnung Nabe", "Tabelle Welle", "Tabelle Nabe",
      "Fertigungszeichnung Welle", "Fertigungszeichnung Nabe", "Tabelle Welle+Nabe",
      "Fertigungszeichnung Welle+Nabe", "Quick", "Toleranz Zahndicke", "Datenfeld Welle",
      "Datenfeld Nabe", "Datenfeld Welle Nabe", "Quick 3", "Quick 4", "Zahnrad Welle",
      "Zahnrad Nabe", "Zahnrad Welle Nabe", "Zahn Welle", "Zahn Nabe", "Zahn Welle Nabe",
      "zurück .."};
  for (int k = 1; k <= 22; ++k) EXPECT_EQ(DrawingKindCaption(k), captions[k - 1]) << k;
  const int expected[] = {14, 7, 14, 8, 14, 14, 14, 14};
  for (int g = 0; g < 8; ++g) EXPECT_EQ(DefaultDrawingKind(g), expected[g]) << g;
}

TEST_F(DrawingKinds, SheetKindsInsertTheirBlocksAtTheirPlaces) {
  const DesignRecord& r = Design;
  const double l1 = r.DrawLength[1], da1 = r.TipDiameter[1], df1 = r.RootDiameter[1];
  const double mn = r.NormalModule, l2 = r.DrawLength[2];
  const double s5 = std::min(90 / da1, 100 / (10 * mn + l1));
  const double s6 = std::min(90 / (1.5 * da1), 100 / l2);
  auto check = [](const Insert& i, const char* name, double x, double y, double sx, double sy) {
    EXPECT_EQ(i.name, name);
    EXPECT_NEAR(i.x, x, 1e-5) << name;
    EXPECT_NEAR(i.y, y, 1e-5) << name;
    EXPECT_NEAR(i.sx, sx, 1e-5) << name;
    EXPECT_NEAR(i.sy, sy, 1e-5) << name;
  };
  std::vector<Insert> e = InBlock(Inserts(WriteDxf(5)), "");
  ASSERT_EQ(e.size(), 3u);
  check(e[0], "FRAME_1", 0, 0, 1, 1);
  check(e[1], "TABELLE", 45, 50, 1, 1);
  check(e[2], "WELLE", 100 - (l1 / 2 + df1 / 4) * s5, 235, s5, s5);

  e = InBlock(Inserts(WriteDxf(8)), "");
  ASSERT_EQ(e.size(), 6u);
  check(e[0], "FRAME_1", 0, 0, 1, 1);
  check(e[1], "FRAME_2", 220, 0, 1, 1);
  check(e[2], "TABELL1", 45, 50, 1, 1);
  check(e[3], "WELLE", 100 - (l1 / 2 + df1 / 4) * s5, 235, s5, s5);
  check(e[4], "TABELL2", 265, 50, 1, 1);
  check(e[5], "NABE", 320 - l2 / 2 * s6, 235, s6, s6);
  EXPECT_EQ(Flags.PrintPreset, 1);  // kind 8 drawn directly

  for (auto [kind, y, sy] : {std::tuple{9, 42.0, 0.6}, std::tuple{13, 10.0, 0.75}}) {
    e = InBlock(Inserts(WriteDxf(kind)), "");
    ASSERT_EQ(e.size(), 2u) << kind;
    check(e[0], "TAB1", 2, y, 0.6, sy);
    check(e[1], "TAB2", 82, y, 0.6, sy);
  }
  // The shaft's break symbol sits at the start of the shaft, turned upright.
  const std::vector<Insert> welle = InBlock(Inserts(dir_.File("k5.dxf")), "WELLE");
  ASSERT_EQ(welle.size(), 1u);
  check(welle[0], "WLSTUMP", 0, 0, 1, 1);
  EXPECT_NEAR(welle[0].angle, 90, 1e-9);
}

TEST_F(DrawingKinds, SheetFrameTitleBlockAndNotice) {
  Settings.TitleBlockKind = 1;  // ISO 7200 Fig.1
  Settings.DrawingMargin = 1;   // 10 mm
  Settings.DrawChangeLog = true;
  DrawingInfo.ChangeCount = 2;
  DrawingInfo.ChangeEntries[1] = {"Toleranz", "2026-01-02", "Weiß", "enger"};
  // A user logo block file is for the screen and the plot program only.
  WriteWholeFile(dir_.File("$logo_1.dx$"), "  0\r\nEOF\r\n");
  PartDrawingName2[1] = "   ";  // blanks only: no text
  const std::string dxf = ReadWholeFile(WriteDxf(5));
  DrawingInfo.ChangeCount = 0;
  EXPECT_EQ(dxf.find("  1\r\n   \r\n"), std::string::npos);
  // A TEXT entity with exactly this text.
  auto has = [&](const std::string& text) { return dxf.find("  1\r\n" + text + "\r\n") != std::string::npos; };
  // Inner frame (20, 10)-(200, 287): its left edge as a line.
  EXPECT_NE(dxf.find(" 10\r\n20.000000\r\n 20\r\n10.000000\r\n 11\r\n20.000000\r\n 21\r\n287.000000"),
            std::string::npos);
  for (const char* text : {"Verantwortl. Abt.", "Technische Referenz", "Dokumentenart", "Blatt",
                           "or communication of the contents therof, are forbidden with-",
                           "erteilung oder Gebrauchsmuster-Eintragung vorbehalten.", "1", "4", "A", "F",
                           "Index", "Beschreibung", "Toleranz", "b", "01", "External spline"})
    EXPECT_TRUE(has(text)) << text;
  EXPECT_FALSE(has("5"));  // four columns of zones
  EXPECT_FALSE(has("G"));  // six rows
  EXPECT_EQ(dxf.find("logo_1"), std::string::npos);
}

TEST_F(DrawingKinds, WheelsHoldOneToothPerPitch) {
  const int z1 = Design.ToothCount[1];
  ASSERT_EQ(z1, 31);
  const std::vector<Insert> all = Inserts(WriteDxf(18));
  for (const char* wheel : {"rad1", "rad2"}) {
    const std::vector<Insert> teeth = InBlock(all, wheel);
    ASSERT_EQ(static_cast<int>(teeth.size()), z1) << wheel;
    for (int i = 0; i < z1; ++i) {
      EXPECT_EQ(teeth[i].name, wheel[3] == '1' ? "zahn1" : "zahn2");
      EXPECT_NEAR(teeth[i].angle, 360.0 * (i + 1) / z1, 1e-5);
    }
  }
  // Quick 4 turns the hub by whole pitches only (31 teeth: 16 pitches).
  const std::vector<Insert> quick4 = InBlock(Inserts(WriteDxf(15)), "");
  ASSERT_EQ(quick4.size(), 3u);  // frame, both wheels; the tool blocks have no definition
  EXPECT_NEAR(quick4[2].angle, 16 * 360.0 / 31, 1e-5);
}

TEST_F(DrawingKinds, PickListProposesTheNextKindAndEndsWithBack) {
  ScriptedDialogService dialogs;
  SetDialogService(&dialogs);
  WriteDxf(5);
  // The pick list offers kind 6 after kind 5; "zurück" ends it without output.
  dialogs.QueueChoice(DrawingKindBack);
  DrawMenu(1, 0);
  SetDialogService(nullptr);
  ASSERT_EQ(dialogs.Log.size(), 1u);
  EXPECT_EQ(dialogs.Log[0].Kind, "choose");
  EXPECT_EQ(dialogs.Log[0].Caption, "Bitte wählen ..");
  EXPECT_EQ(dialogs.Log[0].Index, 6);
  ASSERT_EQ(dialogs.Log[0].Items.size(), 22u);
  EXPECT_EQ(dialogs.Log[0].Items[21], "zurück ..");
  EXPECT_FALSE(Flags.AbortFlag);
  // After "zurück" the next list starts again at the first kind.
  dialogs.Clear();
  SetDialogService(&dialogs);
  dialogs.QueueCancel();
  DrawMenu(1, 0);
  SetDialogService(nullptr);
  ASSERT_EQ(dialogs.Log.size(), 1u);
  EXPECT_EQ(dialogs.Log[0].Index, 1);
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST_F(DrawingKinds, BreakSymbolDrawsItsOutlineWhateverModeWasLeft) {
  // Hatch lines only (mode 2) left behind by an earlier drawing must not drop the symbol's outline.
  SetHatchMode(2);
  const std::vector<std::string> lines = ReadFileLines(WriteDxf(1));
  bool inStump = false, outline = false;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    if (lines[i] == "  2" && lines[i + 1] == "WLSTUMP") inStump = true;
    if (lines[i] == "  0" && lines[i + 1] == "ENDBLK") inStump = false;
    if (inStump && lines[i] == "  0" && lines[i + 1] == "POLYLINE") outline = true;
  }
  EXPECT_TRUE(outline);
}

TEST_F(DrawingKinds, AbsurdToothCountLeavesTheWheelsEmpty) {
  Design.ToothCount[1] = 20000000;
  Design.ToothCount[2] = -20000000;
  const std::vector<Insert> all = Inserts(WriteDxf(18));
  EXPECT_TRUE(InBlock(all, "rad1").empty());
  EXPECT_EQ(InBlock(all, "").size(), 2u);
  ASSERT_GE(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[Errors.ErrorCount - 1], "Fehler : z > 9999, Zahnrad nicht gezeichnet");
}

TEST_F(DrawingKinds, WheelsOfEveryToothCountADesignAcceptsAreDrawn) {
  for (int z : {1001, MaxToothCount}) {
    DefaultDesignWithTeeth(z);
    ASSERT_FALSE(Flags.FatalError) << z;
    ResetErrors();
    const std::vector<Insert> all = Inserts(WriteDxf(18));
    EXPECT_EQ(static_cast<int>(InBlock(all, "rad1").size()), z);
    EXPECT_EQ(static_cast<int>(InBlock(all, "rad2").size()), z);
    EXPECT_EQ(Errors.ErrorCount, 0) << Errors.ErrorList[0];
  }
}

TEST_F(DrawingKinds, OnTheScreenBlockFilesReplayedFromMemoryDrawTheSame) {
  ScopedScriptedDialogs dialogs;
  struct Drawn {
    std::vector<std::string> records, errors, messages;
    long reads = 0;
  };
  auto draw = [&](int kind, bool memory) {
    SetBlockFileMemoryUse(memory);
    ResetErrors();
    dialogs->Clear();
    Flags.AbortFlag = false;
    const long before = BlockFileReads();
    DrawMenu(CadDeviceScreen, kind);
    SetBlockFileMemoryUse(true);
    Drawn d;
    for (const DisplayRecord& r : DisplayList) {
      std::string exact = std::to_string(r.Code) + ";" + r.Text;
      for (double a : r.Args) exact += ";" + std::to_string(std::bit_cast<uint64_t>(a));
      d.records.push_back(exact);
    }
    d.errors.assign(Errors.ErrorList.begin(), Errors.ErrorList.begin() + Errors.ErrorCount);
    d.messages = dialogs->Messages();
    d.reads = BlockFileReads() - before;
    return d;
  };
  auto expectSame = [&](int kind) {
    const Drawn once = draw(kind, true), each = draw(kind, false);
    EXPECT_EQ(once.records, each.records) << kind;
    EXPECT_EQ(once.errors, each.errors) << kind;
    EXPECT_EQ(once.messages, each.messages) << kind;
    EXPECT_LE(once.reads, each.reads) << kind;
    return once.reads;
  };
  for (int kind = 1; kind <= DrawingKindCount; ++kind) expectSame(kind);
  // Other places, a comma, one-colour layers and another title block: the numbers and layers of
  // the blocks come back as their text would give them.
  const ProgramSettings kept = Settings;
  Settings.CadDecimals = 3;
  Settings.Decimals = 5;
  Settings.DecimalSeparatorMode = 2;
  Settings.LayerMonochrome = true;
  Settings.TitleBlockKind = 3;
  for (int kind = 1; kind <= DrawingKindCount; ++kind) expectSame(kind);
  Settings.CadDecimals = 0;
  for (int kind = 1; kind <= DrawingKindCount; ++kind) expectSame(kind);
  Settings = kept;
  // The wheels with many teeth: one tooth block inserted again and again.
  Design.ToothCount[1] = 120;
  Design.ToothCount[2] = -120;
  EXPECT_EQ(expectSame(18), 0) << "the screen's own blocks are no files";
}

TEST_F(DrawingKinds, SameDrawingTwiceGivesTheSameFile) {
  // Kind 6 carries the hub's freehand break lines; date, time and file name stay out of the frame.
  Settings.DrawDate = true;
  Settings.DrawFileName = true;
  EXPECT_EQ(ReadWholeFile(WriteDxf(6, "a")), ReadWholeFile(WriteDxf(6, "b")));
}

TEST_F(DrawingKinds, FatalDesignDrawsNothing) {
  Flags.FatalError = true;
  Errors.ErrorCount = 1;
  Errors.ErrorList[0] = "Fatal  : z = 0 !";
  EXPECT_FALSE(fs::exists(WriteDxf(1)));
  Flags.FatalError = false;
}

// Every kind of the default design and of each example, loaded and audited by ezdxf.
TEST_F(DrawingKinds, EveryKindPassesAnIndependentReader) {
  std::vector<std::string> designs = {""};
  for (const auto& f : fs::directory_iterator(QERN_SOURCE_DATA "/examples"))
    designs.push_back(f.path().string());
  std::vector<std::string> argv = {"/usr/bin/python3",
                                   QERN_SOURCE_DATA "/../tests/readers/dxf_audit.py"};
  for (size_t d = 0; d < designs.size(); ++d) {
    if (!designs[d].empty()) {
      Flags.ErrorBoxesEnabled = false;
      ReadDataFile(designs[d]);
      Flags.ErrorBoxesEnabled = true;
      ASSERT_FALSE(Flags.AbortFlag) << designs[d];
    }
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      const std::string file = WriteDxf(kind, "d" + std::to_string(d) + "_");
      ASSERT_TRUE(fs::exists(file)) << designs[d] << " kind " << kind;
      argv.push_back(file);
    }
  }
  std::string out;
  const int status = RunReaderOutput(argv, out);
  if (ReaderAbsent(status, "ezdxf (python3-ezdxf)")) GTEST_SKIP() << "ezdxf missing";
  EXPECT_EQ(status, 0) << out.substr(0, 4000);
  EXPECT_NE(out.find(std::to_string(argv.size() - 2) + " files, 0 with errors"), std::string::npos);
}

}  // namespace

namespace {

// The box of everything the screen's display list draws (lines, polylines, circles, arcs with their
// sweep, solids and text anchors) and the extents of its window record.
struct DrawnBox {
  double xmin = 1e300, ymin = 1e300, xmax = -1e300, ymax = -1e300;
  std::array<double, 4> extents{};  // xmin, ymin, xmax, ymax
  std::string first;                // the first record outside the extents
  void Add(double x, double y, const DisplayRecord& r) {
    xmin = std::min(xmin, x), xmax = std::max(xmax, x);
    ymin = std::min(ymin, y), ymax = std::max(ymax, y);
    const double tol = 1e-6 * std::max(extents[2] - extents[0], extents[3] - extents[1]);
    if (first.empty() && (x < extents[0] - tol || x > extents[2] + tol || y < extents[1] - tol ||
                          y > extents[3] + tol))
      first = r.ToText();
  }
};

DrawnBox ScreenBox() {
  DrawnBox b;
  for (const DisplayRecord& r : DisplayList) {
    const auto& a = r.Args;
    switch (r.Code) {
      case RecWindow: b.extents = {a[4], a[5], a[6], a[7]}; break;
      case RecMove: case RecDraw: case RecText: b.Add(a[0], a[1], r); break;
      case RecLine: b.Add(a[0], a[1], r), b.Add(a[2], a[3], r); break;
      case RecSolid:
        for (int k = 0; k < 4; ++k) b.Add(a[2 * k], a[2 * k + 1], r);
        break;
      case RecCircle:
        b.Add(a[0] - a[2], a[1] - a[2], r), b.Add(a[0] + a[2], a[1] + a[2], r);
        break;
      case RecArc: {
        const double xc = (a[0] + a[2]) / 2, yc = (a[1] + a[3]) / 2, rad = (a[2] - a[0]) / 2;
        const double s = std::atan2(a[5] - yc, a[4] - xc);
        double e = std::atan2(a[7] - yc, a[6] - xc);
        if (e <= s) e += 2 * Pi;
        b.Add(a[4], a[5], r), b.Add(a[6], a[7], r);
        for (int q = -4; q <= 8; ++q)
          if (q * Pi / 2 > s && q * Pi / 2 < e)
            b.Add(xc + rad * std::cos(q * Pi / 2), yc + rad * std::sin(q * Pi / 2), r);
        break;
      }
      default: break;
    }
  }
  return b;
}

// The designs the extents are checked with: the shipped examples and extreme ones. Few teeth widen
// a pitch beyond 3.4 mn and make the hub far wider than the shaft (most of all with a sharp tool
// or a large profile shift); many widen the shaft's break symbol and the hub's dimension beyond
// their margins; a large negative shift brings a long message.
std::vector<std::string> ExtentDesigns() {
  std::vector<std::string> designs = {"z8", "z120", "z1000", "z7 sharp", "z8 x+0.8", "z8 x-0.8",
                                      "z8 Pn"};
  for (const auto& f : fs::directory_iterator(QERN_SOURCE_DATA "/examples"))
    designs.push_back(f.path().string());
  return designs;
}

void LoadDesign(const std::string& name) {
  auto read = [](const std::string& file) {
    Flags.ErrorBoxesEnabled = false;
    ReadDataFile(file);
    Flags.ErrorBoxesEnabled = true;
  };
  if (name[0] != 'z') {
    read(name);
  } else if (name == "z8 Pn") {
    read(QERN_SOURCE_DATA "/examples/diametral_pitch.qrk");  // 20 teeth
    Design.ToothCount = {0, 8, -8};
    for (auto* d : {&Design.TipDiameterInput, &Design.RootDiameterInput})
      for (int i : {1, 2}) (*d)[i] -= 12 * Design.NormalModule;
  } else {
    DefaultDesignWithTeeth(std::atoi(name.c_str() + 1));
    if (name.find("sharp") != std::string::npos) Design.ToolTipRadiusFactor = {0, 0, 0};
    const size_t x = name.find(" x");
    if (x != std::string::npos) {
      const long double shift = std::atof(name.c_str() + x + 2), mn = Design.NormalModule;
      Design.XInputMode = {0, 1, 1};
      Design.ProfileShift = {0, shift, -shift};
      for (auto* d : {&Design.TipDiameterInput, &Design.RootDiameterInput})
        (*d)[1] += 2 * shift * mn, (*d)[2] -= 2 * shift * mn;
    }
  }
  CalculateSerration();
}

TEST_F(DrawingKinds, ExtentsHoldEverythingDrawn) {
  for (const std::string& design : ExtentDesigns()) {
    LoadDesign(design);
    ASSERT_FALSE(Flags.FatalError) << design;
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      DisplayList.clear();
      Flags.AbortFlag = false;
      DrawMenu(CadDeviceScreen, kind);
      const DrawnBox b = ScreenBox();
      EXPECT_TRUE(b.first.empty()) << design << " kind " << kind << ": " << b.first << " outside "
                                   << b.extents[0] << " " << b.extents[1] << " " << b.extents[2]
                                   << " " << b.extents[3];
    }
  }
}

TEST_F(DrawingKinds, SheetDrawingsStayInsideTheFrame) {
  // Without the sheet itself (and the screen's footer) all that is drawn is the parts' views, the
  // tables and the texts: they stay inside the frame of the title-block form, on both sheets of
  // kind 8.
  Settings.DrawTitleBlock = true;
  Settings.DrawFooter = true;
  for (const std::string& design : ExtentDesigns()) {
    LoadDesign(design);
    for (int form : {0, 2}) {
      Settings.TitleBlockKind = form;
      for (int kind : {5, 6, 8, 15}) {
        const SheetBox f = InnerFrame(kind == 15 ? SheetA3 : SheetA4);
        DisplayList.clear();
        Flags.AbortFlag = false;
        DrawMenu(CadDeviceScreen, kind);
        DrawnBox b = ScreenBox();
        EXPECT_GE(b.xmin, f.xmin) << design << " kind " << kind << " form " << form;
        EXPECT_GE(b.ymin, f.ymin) << design << " kind " << kind << " form " << form;
        EXPECT_LE(b.xmax, f.xmax + (kind == 8 ? 220 : 0)) << design << " kind " << kind;
        EXPECT_LE(b.ymax, f.ymax) << design << " kind " << kind << " form " << form;
      }
    }
  }
}

// LINE and TEXT entities of a DXF file with the block they stand in ("" in the entities).
struct Entity {
  std::string block, type, text;
  double x = 0, y = 0, x2 = 0, y2 = 0, height = 0, width = 0, angle = 0;
};
std::vector<Entity> LinesAndTexts(const std::string& file) {
  const std::vector<std::string> lines = ReadFileLines(file);
  std::vector<Entity> out;
  std::string block;
  Entity* cur = nullptr;
  bool blockName = false;
  for (size_t i = 0; i + 1 < lines.size(); i += 2) {
    const int code = std::atoi(lines[i].c_str());
    const std::string& v = lines[i + 1];
    if (code == 0) {
      cur = nullptr;
      blockName = v == "BLOCK";
      if (v == "ENDBLK" || v == "ENDSEC") block.clear();
      if (v == "LINE" || v == "TEXT") {
        out.push_back({block, v, ""});
        cur = &out.back();
      }
      continue;
    }
    if (blockName && code == 2) block = v, blockName = false;
    if (!cur) continue;
    const double d = std::atof(v.c_str());
    switch (code) {
      case 1: cur->text = v; break;
      case 10: cur->x = d; break;
      case 20: cur->y = d; break;
      case 11: cur->x2 = d; break;
      case 21: cur->y2 = d; break;
      case 40: cur->height = d; break;
      case 41: cur->width = d; break;
      case 50: cur->angle = d; break;
      default: break;
    }
  }
  return out;
}

// Lowest y of the lines of a block.
double Bottom(const std::vector<Entity>& all, const std::string& block) {
  double y = 1e300;
  for (const Entity& e : all)
    if (e.block == block && e.type == "LINE") y = std::min({y, e.y, e.y2});
  return y;
}

// Top of the revision table of a frame block: its highest line across the 180 wide table.
double RevisionTop(const std::vector<Entity>& all, const std::string& frame) {
  double top = 0;
  for (const Entity& e : all)
    if (e.block == frame && e.type == "LINE" && e.y == e.y2 && std::fabs(e.x2 - e.x) == 180 &&
        e.y < 200)
      top = std::max(top, e.y);
  return top;
}

class SheetTables : public DrawingKinds {
 protected:
  void SetUp() override {
    DrawingKinds::SetUp();
    savedInfo_ = DrawingInfo;
    Settings.DrawChangeLog = true;
    for (int i = 0; i < 12; ++i)
      DrawingInfo.ChangeEntries[i] = {"Stand " + std::to_string(i + 1), "2026-01-02", "Weiss", "neu"};
    DrawingInfo.ChangeCount = 12;
  }
  void TearDown() override {
    DrawingInfo = savedInfo_;
    DrawingKinds::TearDown();
  }
  DrawingInfoRecord savedInfo_;
};

// The lines of a sheet stay on it, whatever form of title block, margin, zones, millimetre scale
// and revision table it has: the watch of a drawing takes the sheet's box for them.
TEST_F(SheetTables, SheetLinesStayOnTheSheet) {
  DrawingInfo.PlacedTextCount = 0;
  for (int format = 1; format <= 4; ++format) {
    for (int form = 0; form <= 3; ++form) {
      for (int margin : {0, 1}) {
        for (bool plain : {false, true}) {
          Settings.TitleBlockKind = form;
          Settings.DrawingMargin = margin;
          Settings.DrawFrameZones = plain;
          Settings.DrawMmScale = plain;
          Settings.DrawChangeLog = !plain;
          const CadBox drawn = qern::test::ShapesBox::Of([&] {
            DrawSheetFrame(format, "Z-123456789-0123456789", "Welle mit langem Namen", "Zeile 2");
          });
          const CadBox sheet = SheetBoxOf(format);
          const std::string what = "format " + std::to_string(format) + " form " +
                                   std::to_string(form) + " margin " + std::to_string(margin) +
                                   (plain ? " plain" : " zones");
          ASSERT_FALSE(drawn.Empty()) << what;
          EXPECT_GE(drawn.xmin, sheet.xmin) << what;
          EXPECT_GE(drawn.ymin, sheet.ymin) << what;
          EXPECT_LE(drawn.xmax, sheet.xmax) << what;
          EXPECT_LE(drawn.ymax, sheet.ymax) << what;
        }
      }
    }
  }
}

TEST_F(SheetTables, RevisionTableStaysBelowTheGearDataTable) {
  for (int form : {1, 2}) {
    for (int margin : {0, 1}) {
      Settings.TitleBlockKind = form;
      Settings.DrawingMargin = margin;
      SCOPED_TRACE(testing::Message() << "form " << form << " margin " << margin);
      std::vector<Entity> all = LinesAndTexts(WriteDxf(5));
      const std::vector<Insert> five = InBlock(Inserts(dir_.File("k5.dxf")), "");
      ASSERT_EQ(five[1].name, "TABELLE");
      const double top = RevisionTop(all, "FRAME_1");
      EXPECT_GT(top, 60);  // 8 rows of changes drawn
      EXPECT_GT(five[1].y + Bottom(all, "TABELLE"), top);
      all = LinesAndTexts(WriteDxf(8));
      const std::vector<Insert> eight = InBlock(Inserts(dir_.File("k8.dxf")), "");
      ASSERT_EQ(eight[2].name, "TABELL1");
      ASSERT_EQ(eight[4].name, "TABELL2");
      EXPECT_GT(eight[2].y + Bottom(all, "TABELL1"), RevisionTop(all, "FRAME_1"));
      EXPECT_GT(eight[4].y + Bottom(all, "TABELL2"), RevisionTop(all, "FRAME_2"));
    }
  }
  // Without changes the table keeps its place.
  DrawingInfo.ChangeCount = 0;
  EXPECT_EQ(InBlock(Inserts(WriteDxf(5)), "")[1].y, 50);
}

TEST_F(SheetTables, ManyMessagesStayAboveTheRevisionTable) {
  Settings.TitleBlockKind = 2;
  Settings.DrawingMargin = 1;
  Errors.ErrorCount = 12;
  for (int i = 0; i < 12; ++i) Errors.ErrorList[i] = "Warnung: Meldung " + std::to_string(i + 1);
  const std::vector<Entity> all = LinesAndTexts(WriteDxf(15));
  double messagesBottom = 1e300;
  for (const Entity& e : all)
    if (e.block.empty() && e.type == "LINE" && e.x >= 250 && e.x < 320 && e.y <= 130)
      messagesBottom = std::min({messagesBottom, e.y, e.y2});
  EXPECT_LT(messagesBottom, 100);  // the table is there
  EXPECT_GT(messagesBottom, RevisionTop(all, "frame_1"));
}

TEST_F(SheetTables, DinChangeTextsFitTheirColumn) {
  DrawingInfo.ChangeCount = 2;
  DrawingInfo.ChangeEntries[1].ChangeText = "Verzahnung nach neuer Norm berechnet und Toleranzen angepasst";
  for (int form : {0, 3}) {
    Settings.TitleBlockKind = form;
    const std::vector<Entity> all = LinesAndTexts(WriteDxf(5));
    int found = 0;
    for (const Entity& e : all) {
      if (e.block != "FRAME_1" || e.type != "TEXT") continue;
      if (e.text == "Stand 1") {
        ++found;
        EXPECT_NEAR(e.height, 1.7, 1e-9);  // a short text keeps its size
      }
      if (e.text.rfind("Verzahnung", 0) == 0) {
        ++found;
        // Its length as the title block's fitting counts it ends before the date column at
        // 17.9 + 33.8.
        const double length = Utf8Length(e.text) * e.height * e.width *
                              static_cast<double>(Settings.GraphicTextWidthFactor) / 0.7;
        EXPECT_LT(e.height, 1.7);
        EXPECT_LE(e.x + length, 17.9 + 33.8) << form;
      }
    }
    EXPECT_EQ(found, 2) << form;
  }
}

// Where a text of a frame block ends as the title block's fitting counts its length (the file's
// width factor carries only the decimals of the settings: 0.01 is allowed for that), and the
// nearest vertical line of that block right of its start which spans its baseline: its column's end.
struct TextInColumn {
  double end = 0, columnEnd = 1e300;
};
TextInColumn Column(const std::vector<Entity>& all, const Entity& t) {
  TextInColumn c;
  c.end = t.x + Utf8Length(t.text) * t.height * t.width *
                    static_cast<double>(Settings.GraphicTextWidthFactor) / 0.7;
  for (const Entity& e : all)
    if (e.block == t.block && e.type == "LINE" && e.x == e.x2 && e.x > t.x &&
        std::min(e.y, e.y2) <= t.y && std::max(e.y, e.y2) >= t.y)
      c.columnEnd = std::min(c.columnEnd, e.x);
  return c;
}

TEST_F(SheetTables, RevisionTableTextsFitTheirColumns) {
  const ChangeEntry entry{"Verzahnung nach DIN 5480 angepasst", TodayStr(), "Mustermann-Schmidt",
                          "Toleranzfeld neu, " + std::string(150, 'x')};
  DrawingInfo.ChangeCount = 2;
  DrawingInfo.ChangeEntries[1] = entry;
  const std::vector<std::string> texts = {entry.ChangeText, entry.Date, entry.Editor,
                                          entry.Description, "Index", "Datum", "Name",
                                          "Beschreibung", "a", "b",
                                          "Stand 1", "2026-01-02", "Weiss", "neu"};
  for (int form : {1, 2}) {
    for (int margin : {0, 1}) {
      Settings.TitleBlockKind = form;
      Settings.DrawingMargin = margin;
      for (auto [kind, frame] : {std::pair{5, "FRAME_1"}, std::pair{6, "FRAME_1"},
                                 std::pair{8, "FRAME_2"}, std::pair{15, "frame_1"}}) {
        const std::vector<Entity> all = LinesAndTexts(WriteDxf(kind));
        int found = 0;
        for (const Entity& e : all) {
          // The revision table stands above the title block (27 or 36 high, at y 5 or 10).
          if (e.block != frame || e.type != "TEXT" || e.y < 30 || e.y > 80 ||
              std::find(texts.begin(), texts.end(), e.text) == texts.end())
            continue;
          ++found;
          const TextInColumn c = Column(all, e);
          EXPECT_LE(c.end, c.columnEnd + 0.01) << e.text << " form " << form << " kind " << kind;
          if (e.text == "Stand 1") {
            EXPECT_NEAR(e.height, 1.0, 1e-9);  // a short text keeps its size
          }
        }
        // Two entries of four texts and their index, and the headings (but "Änderung", which the
        // file holds in its code page).
        EXPECT_EQ(found, 14) << "form " << form << " margin " << margin << " kind " << kind;
      }
    }
  }
}

TEST_F(SheetTables, DinEditorNamesFitTheirColumn) {
  DrawingInfo.ChangeCount = 2;
  DrawingInfo.ChangeEntries[1].Editor = "Mustermann-Schmidt";
  for (int form : {0, 3}) {
    Settings.TitleBlockKind = form;
    for (auto [kind, frame] : {std::pair{5, "FRAME_1"}, std::pair{8, "FRAME_2"},
                               std::pair{15, "frame_1"}}) {
      const std::vector<Entity> all = LinesAndTexts(WriteDxf(kind));
      int found = 0;
      for (const Entity& e : all) {
        if (e.block != frame || e.type != "TEXT" || e.text != "Mustermann-Schmidt") continue;
        ++found;
        const TextInColumn c = Column(all, e);
        EXPECT_LT(e.height, 1.7);
        // Up to 1 before the line that ends the name column.
        EXPECT_LE(c.end, c.columnEnd - 1 + 0.01) << "form " << form << " kind " << kind;
      }
      EXPECT_EQ(found, 1) << "form " << form << " kind " << kind;
    }
  }
}

// The data texts of the title block and its change rows as the file holds them, each with the length
// the fitting counts (its characters).
struct SheetTexts {
  std::map<std::string, size_t> length;
  void Add(const std::string& s) { length[CadFileText(s)] = Utf8Length(s); }
};

// Every title-block text and every change entry filled from the words of one text set: short
// texts, realistic ones, or the longest the input takes (255 characters).
SheetTexts FillTitleBlock(int set, int changes) {
  DrawingInfoRecord& di = DrawingInfo;
  SheetTexts t;
  auto text = [&](const std::string& shortText, const std::string& realistic) {
    std::string s = set == 0 ? shortText : realistic;
    if (set == 2) s = (realistic + " " + std::string(255, 'W')).substr(0, 255);
    t.Add(s);
    return s;
  };
  di.TitleDrawnDate = text("1.2.26", "12.03.2025");
  di.TitleDrawnName = text("Li", "Mustermann-Schmidt");
  di.TitleCheckedDate = text("2.2.26", "13.03.2025");
  di.TitleCheckedName = text("Ott", "Dr. Hans-Peter Müller-Lüdenscheidt");
  di.TitleStandardDate = text("3.2.26", "14.03.2025");
  di.TitleStandardName = text("Abt", "Normenstelle Antriebstechnik");
  di.TitleReleaseDate = text("4.2.26", "15.03.2025");
  di.TitleReleaseName = text("Kay", "Freigabestelle Qualität");
  di.TitleResponsibleDept = text("KA", "Konstruktion Antriebstechnik");
  di.TitleDocumentType = text("Zng", "Fertigungszeichnung Welle-Nabe");
  di.TitleDocumentStatus = text("frei", "Freigegeben zur Fertigung");
  di.TitleReplaces = set == 0 ? "A1" : set == 1 ? "ZN-2025-000123-A" : std::string(244, 'R');
  di.TitleReplacedBy = set == 0 ? "B2" : set == 1 ? "ZN-2026-000456-B/01.x" : std::string(241, 'N');
  t.Add("Ersatz für " + di.TitleReplaces);
  t.Add("Ersetzt durch " + di.TitleReplacedBy);
  di.ChangeCount = static_cast<std::uint16_t>(changes);
  for (int i = 0; i < changes; ++i) {
    const std::string n = std::to_string(i + 1);
    ChangeEntry& e = di.ChangeEntries[i];
    e.ChangeText = text("Neu" + n, "Verzahnung nach DIN 5480 angepasst " + n);
    e.Date = text(n + ".1.26", (n.size() == 1 ? "0" + n : n) + ".01.2026");
    e.Editor = text("E" + n, "Mustermann-Schmidt " + n);
    e.Description = text("neu" + n, "Toleranzfeld neu festgelegt " + n);
  }
  return t;
}

// Every text of the title block and of every change row ends before its cell's right line, with
// short, realistic and the longest texts, in each form and margin, with 1, 8 and 25 changes; short
// texts keep their size, and every index keeps the size of its row whatever texts were fitted
// in the row before.
TEST_F(SheetTables, TitleBlockTextsFitTheirCellsInEveryRow) {
  Settings.IndexStyle = 0;
  for (int set = 0; set < 3; ++set) {
    for (int changes : {1, 8, 25}) {
      const SheetTexts texts = FillTitleBlock(set, changes);
      const int shown = std::min(8, changes);
      for (int form = 0; form < 4; ++form) {
        const bool iso = form == 1 || form == 2;
        for (int margin : {0, 1}) {
          Settings.TitleBlockKind = form;
          Settings.DrawingMargin = margin;
          for (auto [kind, frame] : {std::pair{5, "FRAME_1"}, std::pair{6, "FRAME_1"},
                                     std::pair{8, "FRAME_2"}, std::pair{15, "frame_1"}}) {
            const std::string where = testing::PrintToString(std::vector<int>{set, changes, form,
                                                                              margin, kind});
            const std::vector<Entity> all = LinesAndTexts(WriteDxf(kind));
            int found = 0, indexes = 0;
            for (const Entity& e : all) {
              if (e.block != frame || e.type != "TEXT") continue;
              if (e.text.size() == 1 && e.text[0] >= 'a' && e.text[0] <= 'y') {
                ++indexes;
                EXPECT_NEAR(e.height, iso ? 1.0 : 1.7, 1e-9) << e.text << " " << where;
                continue;
              }
              const auto it = texts.length.find(e.text);
              if (it == texts.length.end()) continue;
              ++found;
              const TextInColumn c = Column(all, e);
              const double end = e.x + it->second * e.height * e.width *
                                            static_cast<double>(Settings.GraphicTextWidthFactor) /
                                            0.7;
              EXPECT_LE(end, c.columnEnd + 0.01) << e.text << " " << where;
              if (set == 0) {
                EXPECT_TRUE(e.height == 1.0 || e.height == 1.5 || e.height == 1.7 ||
                            e.height == 1.8 || e.height == 2.5)
                    << e.text << " " << e.height << " " << where;
              }
            }
            EXPECT_EQ(indexes, shown) << where;
            // ISO: six fields and four texts per row of the revision table; DIN: four dates and
            // names, the two references and three texts per change row.
            EXPECT_EQ(found, iso ? 6 + 4 * shown : 10 + 3 * shown) << where;
          }
        }
      }
    }
  }
}

// On the screen too, every index of the DIN 6771 change rows is drawn at the size of the first,
// however long the editor's name of the row before.
TEST_F(SheetTables, DinIndexesKeepTheirSizeOnTheScreen) {
  ScopedScriptedDialogs dialogs;
  Settings.IndexStyle = 0;
  for (int i = 0; i < 12; ++i)
    DrawingInfo.ChangeEntries[i].Editor = i % 2 ? "Mustermann-Schmidt" : std::string(255, 'M');
  for (int form : {0, 3}) {
    Settings.TitleBlockKind = form;
    for (int kind : {5, 6, 8, 15}) {
      Flags.AbortFlag = false;
      DrawMenu(CadDeviceScreen, kind);
      // The indexes of the eight rows shown (entries 5 to 12, "e" to "l") stand in one column of
      // each sheet; other single letters of the drawing stand apart.
      std::map<double, std::vector<double>> columns;
      double height = 0;
      for (const DisplayRecord& r : DisplayList) {
        if (r.Code == RecTextStyle) height = r.Args[0];
        if (r.Code == RecText && r.Text.size() == 1 && r.Text[0] >= 'e' && r.Text[0] <= 'l')
          columns[r.Args[0]].push_back(height);
      }
      size_t sheets = 0;
      for (const auto& [x, heights] : columns) {
        if (heights.size() != 8) continue;
        ++sheets;
        for (double h : heights) EXPECT_EQ(h, heights[0]) << "form " << form << " kind " << kind;
      }
      EXPECT_EQ(sheets, kind == 8 ? 2u : 1u) << "form " << form << " kind " << kind;
    }
  }
}

TEST_F(SheetTables, ProtectionNoticeStaysInItsMargin) {
  // ISO 7200 with the 10 mm margin and zone marks: the zone frame stands at x = 10.
  Settings.TitleBlockKind = 2;
  Settings.DrawingMargin = 1;
  Settings.DrawFrameZones = false;
  for (auto [kind, frame] : {std::pair{5, "FRAME_1"}, std::pair{15, "frame_1"}}) {
    int lines = 0;
    for (const Entity& e : LinesAndTexts(WriteDxf(kind))) {
      if (e.block != frame || e.type != "TEXT" || e.angle != 90 || e.text.size() < 40) continue;
      ++lines;
      // Upright text reaches its height to the left of its line, descenders a quarter of it to
      // the right.
      EXPECT_GE(e.x - e.height, 0) << e.text;
      EXPECT_LE(e.x + 0.25 * e.height, 10) << e.text;
    }
    EXPECT_EQ(lines, 10) << kind;
  }
}

}  // namespace
