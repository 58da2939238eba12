// The drawing entry: pick-list captions, the default kind, and the DXF files of the kinds as
// written (inserts and scales of the sheet and table kinds, the wheels' z1 inserts), audited by
// an independent reader for the default design and every shipped example.
#include "drawing/qernzeich.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/dxblock.h"
#include "drawing/schraff.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
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
  EXPECT_EQ(Errors.ErrorList[Errors.ErrorCount - 1], "Fehler : z > 1000, Zahnrad nicht gezeichnet");
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
  // The wheels with many teeth: one tooth block inserted again and again.
  Design.ToothCount[1] = 120;
  Design.ToothCount[2] = -120;
  EXPECT_LT(expectSame(18), 10) << "each block file once";
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
