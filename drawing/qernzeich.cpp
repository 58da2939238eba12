// Drawing entry and the 21 drawing kinds.
#include "drawing/qernzeich.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "design/qernaus1.h"
#include "design/qernvar.h"
#include "drawing/freihand.h"
#include "drawing/qernkont.h"
#include "drawing/qerntab.h"
#include "drawing/schraff.h"
#include "drawing/zeichrah.h"
#include "drawing/zorqcad.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/uhelperr.h"
#include "framework/utilmath.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"

namespace qern {

int DrawingKind = 0;
ExtentsWay DrawingExtentsWay = ExtentsWay::Watched;

namespace {

std::string Words(std::initializer_list<std::string> words) {
  std::string s;
  for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
  return s;
}

// Values every kind reads.
struct Sizes {
  long double mn, z1, l1, l2, d1, d2abs, da1, df1, df2abs, w;
};
Sizes DesignSizes() {
  const DesignRecord& r = Design;
  Sizes s{};
  s.mn = r.NormalModule;
  s.z1 = r.ToothCount[1];
  s.l1 = r.DrawLength[1];
  s.l2 = r.DrawLength[2];
  s.d1 = r.PitchDiameter[1];
  s.d2abs = std::fabs(r.PitchDiameter[2]);
  s.da1 = r.TipDiameter[1];
  s.df1 = r.RootDiameter[1];
  s.df2abs = std::fabs(r.RootDiameter[2]);
  s.w = 0.52L * s.df2abs;
  return s;
}

// The room each kind sets aside for its drawing.
CadBox ExtentsBox(int kind, const Sizes& s) {
  switch (kind) {
    case 1: {
      // The break symbol stands upright at x = 0 and bulges to the left beyond -5 mn on wide
      // shafts.
      long double bulge = 0;
      for (const HatchPoint& p : ShaftBreakPoints(0, 0, s.da1)) bulge = MaxFloat(bulge, p.y);
      return {MinFloat(-5 * s.mn, -bulge), -s.w, 10 * s.mn + s.l1 + s.w, s.w};
    }
    case 2:
      // Room on the right for the tip diameter's dimension beyond the end face, whose extension
      // lines reach |df2| / 60 past it.
      return {-5 * s.mn, -2 * s.w, MaxFloat(5 * s.mn, s.df2abs / 60) + s.l2 + 0.2L * s.d2abs,
              2 * s.w};
    case 3: case 4: case 11: case 12: return {-5, -5, 130, 130};
    case 5: case 6: return SheetExtentsBox(SheetA4);
    case 15: return SheetExtentsBox(SheetA3);
    case 8: return {-5, -5, 435, 310};
    case 16: case 17: case 18: return {-s.w, -s.w, s.w, s.w};
    case 19: case 20: case 21: {
      // The pitches reach beyond +-1.7 mn (few teeth, the hub's wide spaces): the box grows to
      // hold those drawn.
      ToothBox b{-1.7L * s.mn, s.df1 / 2 - 0.05L * s.mn, 1.7L * s.mn, s.df2abs / 2};
      for (int part = 1; part <= 2; ++part) {
        if (kind != 21 && kind - 18 != part) continue;
        const ToothBox t = ToothVerticesBox(part == 1 ? ShaftToothVertices(Design)
                                                      : HubToothVertices(Design));
        b = {MinFloat(b.xmin, t.xmin), MinFloat(b.ymin, t.ymin), MaxFloat(b.xmax, t.xmax),
             MaxFloat(b.ymax, t.ymax)};
      }
      return {b.xmin, b.ymin, b.xmax, b.ymax};
    }
    default: {  // 7, 9, 10, 13, 14
      // The message tables of kinds 7 (at x 120) and 14 (at x 61) grow to the right with their
      // longest message.
      long double xmax = 160;
      if (kind == 7) xmax = MaxFloat(xmax, 120 + MessageTableWidth(1.5L, 0));
      if (kind == 14) xmax = MaxFloat(xmax, 61 + MessageTableWidth(1.3L, 16));
      return {0, 0, xmax, 120};
    }
  }
}

// The scale of the hub's view on an A4 sheet (kinds 6 and 8): its height 1.5 da1 in 90 mm and its
// length in 100, about the axis at y 235. Walls taller than that (few teeth) shrink the view so
// that it stays below the frame's top.
long double HubViewScale(const Sizes& s) {
  const long double scale = MinFloat(90 / (1.5L * s.da1), 100 / s.l2);
  const long double half = HubOutlineHalfHeight(Design);
  const long double room = InnerFrame(SheetA4).ymax - 235;
  return half * scale > room ? room / half : scale;
}

// The scale of the wheels of kind 15: the shaft 140 mm wide about (94, 212). A hub far wider than
// the shaft (few teeth) shrinks both so that they stay inside the frame.
long double Quick4WheelScale(const Sizes& s) {
  const long double scale = 140 / s.da1;
  const long double reach = MaxFloat(ToothVerticesReach(ShaftToothVertices(Design)),
                                     ToothVerticesReach(HubToothVertices(Design)));
  const SheetBox frame = InnerFrame(SheetA3);
  const long double room = MinFloat(94 - frame.xmin, frame.ymax - 212);
  return reach * scale > room ? room / reach : scale;
}

void Block(const std::string& name, const auto& body) {
  CadBeginBlock(name);
  if (!Flags.AbortFlag) body();
  CadEndBlock();
}

void PartFrame(const std::string& name, int format, int part) {
  Block(name, [&] {
    DrawSheetFrame(format, PartDrawingNumber[part], PartDrawingName[part], PartDrawingName2[part]);
  });
}

// From this many teeth on, a wheel is measured by its tip circle, and a drawing of wheels is
// measured before it is drawn rather than watched while it is drawn.
constexpr int ManyTeeth = 100;

void WheelBlocks(long double z1) {
  Block("zahn1", [] { ToothBlock(1); });
  Block("zahn2", [] { ToothBlock(2); });
  // Every tooth count a design may have is drawn. One beyond it (a record filled otherwise than
  // by the design file or the geometry window) would be millions of inserts: such wheels stay
  // empty, with a message.
  const bool drawable = z1 >= 1 && z1 <= MaxToothCount;
  if (!drawable) AddError("Fehler : z > " + IntStr(MaxToothCount) + ", Zahnrad nicht gezeichnet");
  const int z = drawable ? static_cast<int>(z1) : 0;
  for (const char* wheel : {"rad1", "rad2"}) {
    const bool shaft = wheel[3] == '1';
    const std::string tooth = shaft ? "zahn1" : "zahn2";
    Block(wheel, [&] {
      // Measured, a wheel of many teeth is the tip circle of its tooth: it holds the tooth however
      // turned (finding the circle costs about as much as a hundred inserts).
      if (CadMeasuringByStandIns() && z >= ManyTeeth) {
        if (z > 0)
          CadCircle(0, 0, ToothVerticesReach(shaft ? ShaftToothVertices(Design)
                                                   : HubToothVertices(Design)));
        return;
      }
      CadInsertTurns(tooth, 0, 0, z, 1, 1);
    });
  }
}

void BlockSection(int kind, const Sizes& s) {
  switch (kind) {
    case 1: Block("WLSTUMP", [&] { ShaftBreakSymbol(0, 0, s.da1); }); break;
    case 5:
      PartFrame("FRAME_1", SheetA4, 1);
      Block("WLSTUMP", [&] { ShaftBreakSymbol(0, 0, s.da1); });
      Block("WELLE", [] { ShaftOutline(); });
      Block("TABELLE", [] { GearDataTable(1, 0, 125, 3.5L); });
      break;
    case 6:
      PartFrame("FRAME_1", SheetA4, 2);
      Block("NABE", [] { HubOutline(); });
      Block("TABELLE", [] { GearDataTable(2, 0, 125, 3.5L); });
      break;
    case 8:
      PartFrame("FRAME_1", SheetA4, 1);
      PartFrame("FRAME_2", SheetA4, 2);
      Block("WLSTUMP", [&] { ShaftBreakSymbol(0, 0, s.da1); });
      Block("WELLE", [] { ShaftOutline(); });
      Block("TABELL1", [] { GearDataTable(1, 0, 125, 3.5L); });
      Block("NABE", [] { HubOutline(); });
      Block("TABELL2", [] { GearDataTable(2, 0, 125, 3.5L); });
      break;
    case 9: case 13:
      Block("TAB1", [] { GearDataField(1, 0, 125, 3.5L); });
      Block("TAB2", [] { GearDataField(2, 0, 125, 3.5L); });
      break;
    case 7: case 14: case 15: case 16: case 17: case 18: case 19: case 20: case 21:
      if (kind == 15)
        Block("frame_1", [] {
          DrawSheetFrame(SheetA3, PartDrawingNumber[1] + "/" + PartDrawingNumber[2],
                         PartDrawingName[1] + "/" + PartDrawingName[2],
                         PartDrawingName2[1] + "/" + PartDrawingName2[2]);
        });
      WheelBlocks(s.z1);
      break;
    default: break;
  }
}

// The two part texts and the comment lines, one text line after the other from (x, y); comments
// that are long start again at the lower left corner.
void PartTexts(long double x, long double y, long double h, long double w, bool longForm) {
  CadSetPen(19);
  CadSetTextStyle(0, 0, h, w);
  CadMoveTo(x, y);
  for (int part : {1, 2}) {
    if (longForm)
      CadTextAtPen(PartDrawingName[part] + "  " + PartDrawingNumber[part] + "   " +
                   PartDrawingName2[part]);
    else
      CadTextAtPen(PartDrawingName[part] + " " + PartDrawingNumber[part]);
  }
  const std::string& c1 = Session.CommentLines[0];
  const std::string& c2 = Session.CommentLines[1];
  if (!longForm && (Utf8Length(c1) >= 35 || Utf8Length(c2) >= 35)) {
    CadMoveTo(1, 5);
    CadSetTextStyle(0, 0, h, w);
  }
  CadTextAtPen(c1);
  CadTextAtPen(c2);
}

// The y of a gear-data table inserted on an A4 sheet: at 50, or higher when the revision table
// reaches up to it, so that the two stay apart.
long double SheetTableY(int part) {
  const long double bottom = 125 - GearDataTableHeight(part, 3.5L);
  return MaxFloat(50, TitleBlockTopOnSheet(SheetA4) + 2.5L - bottom);
}

void Entities(int kind, const Sizes& s) {
  const long double s5 = MinFloat(90 / s.da1, 100 / (10 * s.mn + s.l1));
  const long double s6 = kind == 6 || kind == 8 ? HubViewScale(s) : 0;
  switch (kind) {
    case 1: ShaftOutline(); break;
    case 2: HubOutline(); break;
    case 3: case 4: GearDataTable(kind - 2, 0, 125, 3.5L); break;
    case 11: case 12: GearDataField(kind - 10, 0, 125, 3.5L); break;
    case 5:
      CadSetPen(0);
      CadInsertBlock("FRAME_1", 0, 0, 0, 1, 1);
      CadInsertBlock("TABELLE", 45, SheetTableY(1), 0, 1, 1);
      CadInsertBlock("WELLE", 100 - (s.l1 / 2 + s.df1 / 4) * s5, 235, 0, s5, s5);
      break;
    case 6:
      CadSetPen(0);
      CadInsertBlock("FRAME_1", 0, 0, 0, 1, 1);
      CadInsertBlock("TABELLE", 45, SheetTableY(2), 0, 1, 1);
      CadInsertBlock("NABE", 100 - s.l2 / 2 * s6, 235, 0, s6, s6);
      break;
    case 7: {
      const long double sc = 115 / s.df2abs;
      CadInsertBlock("RAD1", 60, 60, 0, sc, sc);
      CadInsertBlock("RAD2", 60, 60, 0, sc, sc);
      CadSetPen(0);
      GearDataField(1, 32, 102, 1.7L);
      GearDataField(2, 32, 60, 1.7L);
      if (Errors.ErrorCount > 0) DrawMessageTable(29, 120, 118, 1.5L, 0);
      break;
    }
    case 8:
      CadSetPen(0);
      CadInsertBlock("FRAME_1", 0, 0, 0, 1, 1);
      CadInsertBlock("FRAME_2", 220, 0, 0, 1, 1);
      CadInsertBlock("TABELL1", 45, SheetTableY(1), 0, 1, 1);
      CadInsertBlock("WELLE", 100 - (s.l1 / 2 + s.df1 / 4) * s5, 235, 0, s5, s5);
      CadInsertBlock("TABELL2", 265, SheetTableY(2), 0, 1, 1);
      CadInsertBlock("NABE", 320 - s.l2 / 2 * s6, 235, 0, s6, s6);
      break;
    case 9: case 13: {
      const long double y = kind == 9 ? 42 : 10, sy = kind == 9 ? 0.6L : 0.75L;
      CadSetPen(0);
      CadInsertBlock("TAB1", 2, y, 0, 0.6L, sy);
      CadInsertBlock("TAB2", 82, y, 0, 0.6L, sy);
      break;
    }
    case 14: {
      const long double sc = 56 / s.df2abs;
      DrawGearCircles(30, 88, sc);
      CadInsertBlock("RAD1", 30, 88, 0, sc, sc);
      CadInsertBlock("RAD2", 30, 88, 0, sc, sc);
      const long double s2 = 56 / MaxFloat(s.df2abs - s.df1, 3.5L * s.mn);
      CadInsertBlock("ZAHN1", 30, 30 - s2 * s.d1 / 2, 0, s2, s2);
      CadInsertBlock("ZAHN2", 30, 30 - s2 * s.d1 / 2, 0, s2, s2);
      PartTexts(12, 92, 1.5L, 1.0L, false);
      GearDataField(1, 61, 117.5L, 1.33L);
      GearDataField(2, 114, 117.5L, 1.33L);
      GearPitchTable(61, 80, 1.33L);
      GearCommonTable(103, 80, 1.33L);
      ToolDataTable(61, 56, 1.33L);
      if (Errors.ErrorCount > 0) DrawMessageTable(0, 61, 30, 1.3L, 16);
      break;
    }
    case 15: {
      CadInsertBlock("frame_1", 0, 0, 0, 1, 1);
      const long double sc = Quick4WheelScale(s);
      CadInsertBlock("RAD1", 94, 212, 0, sc, sc);
      // The hub turned by half a turn, rounded to whole pitches so its teeth stay in the spaces.
      const long double pitch = 360 / s.z1;
      CadInsertBlock("RAD2", 94, 212, std::round((180 + pitch / 2) / pitch) * pitch, sc, sc);
      // The tool blocks WERKZ1 and WERKZ2 are defined by no drawing: they are left out.
      GearDataField(1, 330, 286, 2.2L);
      GearDataField(2, 330, 210, 2.2L);
      GearCommonTable(322, 130, 2.2L);
      PartTexts(44, 225, 2.5L, 1.9L, true);
      // Many messages shrink to stay above the title block and its revision table.
      if (Errors.ErrorCount > 0) {
        const long double space = MaxFloat(0, 130 - TitleBlockTopOnSheet(SheetA3) - 2.5L);
        DrawMessageTable(0, 250, 130, 2.2L, space);
      }
      break;
    }
    case 16: case 17: case 18: case 19: case 20: case 21: {
      // The wheels (16..18) or the single pitches (19..21) of the shaft, the hub or both.
      const std::string block = kind <= 18 ? "rad" : "zahn";
      const int which = (kind - 16) % 3;  // 0 shaft, 1 hub, 2 both
      for (int part = 1; part <= 2; ++part)
        if (which == 2 || which == part - 1) CadInsertBlock(block + IntStr(part), 0, 0, 0, 1, 1);
      break;
    }
    default: break;  // 10: extents, tables and logo blocks only
  }
}

// The drawing from its extents to its last entity.
void DrawKindIn(int kind, const Sizes& s, const CadBox& extents) {
  // One seed per output: the break lines of a drawing are the same every time it is written.
  SeedFreehand(static_cast<std::uint32_t>(kind));
  CadSetPen(0);
  CadBeginDrawing(extents.xmin, extents.ymin, extents.xmax, extents.ymax);
  CadTables();
  CadBeginBlocks();
  BlockSection(kind, s);
  CadEndSection();
  do {
    CadBeginEntities();
    Entities(kind, s);
    CadEndSection();
    SetPrintPreset(3);
  } while (!CadOutputDone());
}

// The kind's room, grown where the drawing reaches beyond it. A design the calculation found
// faulty (parts that overlap, diameters that do not suit the tooth count) draws its parts
// anywhere: the drawing is made once unseen to measure it, its wheels of many teeth by their tip
// circles unless drawnWhole. The hatch state it changes is put back, so the drawing made then is
// the same.
// What lies on the edge of a kind's box stays there, whatever the last bits of its computation:
// the room of the box reaches that little beyond it; only what reaches past the room counts.
long double EdgeTolerance(const CadBox& box) {
  return box.Empty() ? 0 : 1e-9L * MaxFloat(box.xmax - box.xmin, box.ymax - box.ymin);
}
CadBox RoomOf(const CadBox& box) {
  const long double tol = EdgeTolerance(box);
  return box.Empty() ? CadBox{}
                     : CadBox{box.xmin - tol, box.ymin - tol, box.xmax + tol, box.ymax + tol};
}

CadBox HoldingExtents(int kind, const Sizes& s, bool drawnWhole = false) {
  CadBox box = ExtentsBox(kind, s);
  const std::array<HatchPoint, MaxHatchPoints> points = HatchPoints;
  const int count = HatchPointCount, mode = HatchMode;
  const long double tol = EdgeTolerance(box);
  const CadBox room = RoomOf(box);
  const CadBox kindBox = box;
  auto grow = [&](const CadBox& frame) {
    const CadBox drawn = CadMeasureDrawing([&] { DrawKindIn(kind, s, frame); }, room, !drawnWhole);
    HatchPoints = points;
    HatchPointCount = count;
    HatchMode = mode;
    if (drawn.Empty() || box.Empty()) return;
    if (drawn.xmin < box.xmin - tol) box.xmin = drawn.xmin;
    if (drawn.ymin < box.ymin - tol) box.ymin = drawn.ymin;
    if (drawn.xmax > box.xmax + tol) box.xmax = drawn.xmax;
    if (drawn.ymax > box.ymax + tol) box.ymax = drawn.ymax;
  };
  // The logo blocks are placed by the extents the drawing has without them (they stay so placed
  // for the drawing that follows), then measured there.
  const bool logos = CadLogosPossible();
  if (logos) CadPlaceLogos(false);
  grow(kindBox);
  if (logos) {
    CadPlaceLogos(true, box);
    grow(kindBox);
  }
  return box;
}

// The state a drawing starts from, kept to begin it again.
struct DrawingStart {
  CadOutputState cad = CadState;
  ProgramFlags flags = Flags;
  // (Only the messages and the collected points there are: most drawings start with none.)
  int errorCount = Errors.ErrorCount;
  std::vector<std::string> errors{Errors.ErrorList.begin(),
                                  Errors.ErrorList.begin() + std::clamp(errorCount, 0, MaxErrors)};
  int count = HatchPointCount, mode = HatchMode;
  std::vector<HatchPoint> points{HatchPoints.begin(),
                                 HatchPoints.begin() + std::clamp(count, 0, MaxHatchPoints)};
  void Restore() const {
    CadState = cad, Flags = flags;
    // The messages the drawing added go; those before are as they were.
    for (int i = 0; i < std::min(std::max(Errors.ErrorCount, errorCount), MaxErrors); ++i)
      Errors.ErrorList[i] = i < static_cast<int>(errors.size()) ? errors[i] : std::string();
    Errors.ErrorCount = errorCount;
    std::copy(points.begin(), points.end(), HatchPoints.begin());
    HatchPointCount = count, HatchMode = mode;
  }
};

// Whether the last drawing of a kind on a device reached past its room (a design the calculation
// found faulty): the next one, most likely of the same design, is measured first rather than
// drawn, begun again, measured and drawn again. Either way gives the same drawing.
bool g_reachedPast[CadDeviceText + 1][DrawingKindCount + 1] = {};
bool Known(int device, int kind) {
  return device >= 0 && device <= CadDeviceText && kind >= 0 && kind <= DrawingKindCount;
}
bool ReachedPast(int device, int kind) {
  return Known(device, kind) && g_reachedPast[device][kind];
}
void NoteReachedPast(int device, int kind, bool past) {
  if (Known(device, kind)) g_reachedPast[device][kind] = past;
}

void DrawKind(int device, int kind) {
  CadPlaceLogos(true);
  CadBeginOutput(device);
  if (Flags.AbortFlag) return;
  const Sizes s = DesignSizes();
  const CadBox box = ExtentsBox(kind, s);
  // The wheels' thousands of inserts cost the watch more than measuring them by their tip circles.
  const bool manyTeeth = (kind == 7 || kind >= 14) && s.z1 >= ManyTeeth;
  if (DrawingExtentsWay == ExtentsWay::RoomOnly) {
    DrawKindIn(kind, s, box);
  } else if (DrawingExtentsWay == ExtentsWay::MeasuredFirst || manyTeeth) {
    DrawKindIn(kind, s, HoldingExtents(kind, s));
  } else if (ReachedPast(device, kind)) {
    const CadBox held = HoldingExtents(kind, s);
    NoteReachedPast(device, kind, held.xmin != box.xmin || held.ymin != box.ymin ||
                                      held.xmax != box.xmax || held.ymax != box.ymax);
    DrawKindIn(kind, s, held);
  } else {
    // Drawn at once within the kind's room, and watched: only a drawing that may reach past it (a
    // design the calculation found faulty) is begun again, measured unseen first and drawn within
    // the extents that hold it.
    const DrawingStart start;
    if (!CadDrawWatched([&] { DrawKindIn(kind, s, box); }, RoomOf(box))) {
      NoteReachedPast(device, kind, true);
      start.Restore();
      CadRestartOutput();
      if (Flags.AbortFlag) return;
      DrawKindIn(kind, s, HoldingExtents(kind, s));
    }
  }
  CadEndOutput();
  CadPlaceLogos(true);
  RestoreCursor();
}

}  // namespace

std::string DrawingKindCaption(int kind) {
  const DesignLabelTable& w = DesignLabels;
  const std::string both = w.Shaft + "+" + w.Hub;
  switch (kind) {
    case 1: return Words({w.Drawing, w.Shaft});
    case 2: return Words({w.Drawing, w.Hub});
    case 3: return Words({w.Table, w.Shaft});
    case 4: return Words({w.Table, w.Hub});
    case 5: return Words({w.ManufacturingDrawing, w.Shaft});
    case 6: return Words({w.ManufacturingDrawing, w.Hub});
    case 7: return Words({w.Table, both});
    case 8: return Words({w.ManufacturingDrawing, both});
    case 9: return "Quick";
    case 10: return Words({w.Tolerance, w.ToothThickness[0]});
    case 11: return "Datenfeld " + w.Shaft;
    case 12: return "Datenfeld " + w.Hub;
    case 13: return "Datenfeld " + Words({w.Shaft, w.Hub});
    case 14: return "Quick 3";
    case 15: return "Quick 4";
    case 16: return "Zahnrad " + w.Shaft;
    case 17: return "Zahnrad " + w.Hub;
    case 18: return "Zahnrad " + Words({w.Shaft, w.Hub});
    case 19: return "Zahn " + w.Shaft;
    case 20: return "Zahn " + w.Hub;
    case 21: return "Zahn " + Words({w.Shaft, w.Hub});
    case 22: return w.Back + " ..";
    default: return "";
  }
}

void DrawMenu(int device, int kind) {
  if (Flags.FatalError) {
    ShowCalculationMessages();
    return;
  }
  for (;;) {
    DrawingKind = DrawingKind >= DrawingKindCount ? 1 : DrawingKind + 1;
    // The captions are for the pick list only; a named kind is drawn without it.
    if (kind == 0)
      for (int k = 1; k <= DrawingKindBack; ++k) Session.ChoiceTexts[k - 1] = DrawingKindCaption(k);
    Session.HelpNumber = 8270;
    if (kind != 0)
      DrawingKind = kind;
    else
      SelectChoice(DesignLabels.PleaseChoose + " ..", DrawingKindBack, DrawingKind);
    if (Flags.AbortFlag || DrawingKind == DrawingKindBack) return;
    if (DrawingKind < 1 || DrawingKind > DrawingKindCount) return;
    DrawKind(device, DrawingKind);
    if (kind != 0 || Flags.AbortFlag) break;
  }
  if (DrawingKind == 8) SetPrintPreset(1);
}

int DefaultDrawingKind(int resultGraphicKind) {
  switch (resultGraphicKind) {
    case 1: return 7;
    case 3: return 8;
    default: return 14;
  }
}

CadBox DrawingExtents(int kind, bool drawnWhole) {
  if (kind < 1 || kind > DrawingKindCount) return {};
  const CadBox box = HoldingExtents(kind, DesignSizes(), drawnWhole);
  CadPlaceLogos(true);
  return box;
}

void ShowDefaultDrawing() { DrawMenu(CadDeviceScreen, DefaultDrawingKind(Settings.ResultGraphicKind)); }

}  // namespace qern
