// Sheet frame, title block, revision table, zone marks and protection notice.
#include "drawing/zeichrah.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "design/aendvar.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"

namespace qern {

namespace {

// The company text of the logo field when no logo block is used: the program banner, fitted into
// the field.
std::string CompanyText() { return Ident.Banner; }

struct Label {
  const char* text;
  long double x, top;
};

bool IsIsoForm(int kind) { return kind == 1 || kind == 2; }
// The zone frame (10, 5)-(.., 287) with its marks: ISO forms with the 10 mm margin, zones wanted.
bool ZoneMarksDrawn() {
  return IsIsoForm(Settings.TitleBlockKind) && Settings.DrawingMargin == 1 &&
         !Settings.DrawFrameZones;
}
int ShownChanges() { return Settings.DrawChangeLog ? std::min<int>(8, DrawingInfo.ChangeCount) : 0; }
bool UserBlocksAllowed() {
  return CadState.CadDevice == CadDeviceScreen || CadState.CadDevice == CadDevicePlot;
}
// A user block file inserted at (x, y) relative to the title block when it exists.
void UserBlock(const std::string& name, long double x, long double y, long double sx,
               long double sy) {
  if (!CadUserBlockFile(name).empty()) CadInsertBlockAtOrigin(name, x, y, 0, sx, sy);
}

void LabelStyle() { CadSetTextStyle(2, 0, 1.6L, 1.3L); }
void FieldStyle() { CadSetTextStyle(2, 0, 2.5L, 1.8L); }
void Labels(const std::vector<Label>& labels) {
  LabelStyle();
  for (const Label& l : labels) CadText(l.text, l.x, l.top - 2.1L);
}
void FittedText(const std::string& s, long double h, long double w, long double maxLength,
                long double x, long double y) {
  CadSetTextStyleFit(2, s, 0, h, w, maxLength);
  CadText(s, x, y);
}
// A text of the style h, w fitted into its cell: from x up to `margin` before the cell's right line.
void CellText(const std::string& s, long double h, long double w, long double x,
              long double cellEnd, long double margin, long double y) {
  FittedText(s, h, w, cellEnd - margin - x, x, y);
}
// A field of the ISO forms below its label, fitted up to 1 before its cell's right line.
void Field(const std::string& s, long double x, long double top, long double cellEnd) {
  CellText(s, 2.5L, 1.8L, x, cellEnd, 1, top - 6.2L);
}

void IsoTitleBlock(int kind, const std::string& number, const std::string& name,
                   const std::string& name2) {
  const DrawingInfoRecord& di = DrawingInfo;
  const long double top = kind == 1 ? 27 : 36;
  CadRectangle(0, 0, 180, top);
  if (kind == 1) {
    CadLine(74, 0, 74, 27);
    CadLine(0, 18, 180, 18);
    CadLine(128, 0, 128, 18);
    CadLine(128, 9, 180, 9);
    for (long double x : {136.0L, 160.0L, 170.0L}) CadLine(x, 0, x, 9);
    CadLine(31, 0, 31, 27);
    CadLine(135, 18, 135, 27);
    CadLine(31, 9, 74, 9);
    Labels({{"Verantwortl. Abt.", 1, 27}, {"Technische Referenz", 32, 27},
            {"Dokumentenart", 75, 27}, {"Dokumentenstatus", 136, 27},
            {"Erstellt durch", 32, 18}, {"Titel, Zusätzlicher Titel", 75, 18},
            {"Genehmigt von", 32, 9}, {"Änd.", 129, 9}, {"Ausgabedatum", 137, 9},
            {"Spr.", 161, 9}, {"Blatt", 171, 9}});
    Field(di.TitleResponsibleDept, 2, 27, 31);
    Field(di.TitleStandardName, 33, 27, 74);
    Field(di.TitleDocumentType, 76, 27, 135);
    Field(di.TitleDocumentStatus, 137, 27, 180);
    Field(di.TitleDrawnName, 33, 18, 74);
    Field(di.TitleCheckedName, 33, 9, 74);
  } else {
    CadLine(74, 0, 74, 36);
    CadLine(0, 27, 180, 27);
    CadLine(74, 18, 180, 18);
    CadLine(128, 0, 128, 27);
    CadLine(128, 9, 180, 9);
    for (long double x : {136.0L, 160.0L, 170.0L}) CadLine(x, 0, x, 9);
    for (long double x : {31.0L, 116.0L, 158.0L}) CadLine(x, 27, x, 36);
    Labels({{"Verantwortl. Abt.", 1, 36}, {"Technische Referenz", 32, 36},
            {"Erstellt durch", 75, 36}, {"Genehmigt von", 117, 36},
            {"Dokumentenart", 75, 27}, {"Dokumentenstatus", 129, 27},
            {"Titel, Zusätzlicher Titel", 75, 18}, {"Änd.", 129, 9},
            {"Ausgabedatum", 137, 9}, {"Spr.", 161, 9}, {"Blatt", 171, 9}});
    Field(di.TitleResponsibleDept, 2, 36, 31);
    Field(di.TitleStandardName, 33, 36, 74);
    Field(di.TitleDrawnName, 76, 36, 116);
    Field(di.TitleCheckedName, 118, 36, 158);
    Field(di.TitleDocumentType, 76, 27, 128);
    Field(di.TitleDocumentStatus, 130, 27, 180);
  }
  FieldStyle();
  CadText("de", 162, 2.5L);
  CadText(TodayStr(), 138, 2.5L);
  FittedText(number, 3.5L, 2.8L, 48, 130, 12);
  FittedText(name, 3.5L, 2.8L, 50, 76, 8.5L);
  FittedText(name2, 2.5L, 1.8L, 50, 76, 2.5L);
}

void DinTitleBlock(int kind, const std::string& number, const std::string& name,
                   const std::string& name2) {
  const DrawingInfoRecord& di = DrawingInfo;
  const long double top = kind == 3 ? 55.25L : 38.25L;
  CadRectangle(0, 0, 187.2L, top);
  if (kind == 3) {
    CadLine(0, 38.25L, 187.2L, 38.25L);
    CadLine(98.8L, 48.875L, 187.2L, 48.875L);
    CadLine(150.8L, 48.875L, 150.8L, 55.25L);
  }
  CadLine(0, 4.25L, 187.2L, 4.25L);
  CadLine(54.6L, 17, 187.2L, 17);
  CadLine(54.6L, 0, 54.6L, top);
  CadLine(98.8L, 0, 98.8L, top);
  for (long double x : {7.8L, 33.8L, 46.8L}) CadLine(x, 0, x, 38.25L);
  CadLine(65, 17, 65, 38.25L);
  CadLine(80.6L, 17, 80.6L, kind == 3 ? 55.25L : 38.25L);
  CadLine(143, 0, 143, 4.25L);
  CadLine(174.2L, 4.25L, 174.2L, 17);
  CadLine(174.2L, 8.5L, 187.2L, 8.5L);
  for (long double y = 8.5L; y < 38.2L; y += 4.25L) CadLine(0, y, 54.6L, y);
  for (long double y = 21.25L; y < 38.2L; y += 4.25L) CadLine(54.6L, y, 98.8L, y);

  LabelStyle();
  CadText("Zust.", 1, 1);
  CadText("Änderung", 8.8L, 1);
  CadText("Datum", 34.8L, 1);
  CadText("Name", 47.8L, 1);
  CadSetTextStyle(2, 0, 1.8L, 1.5L);
  CadText("Datum", 66, 35);
  CadText("Name", 81.6L, 35);
  CadText("Bearb.", 55.6L, 30.75L);
  CadText("Gepr.", 55.6L, 26.5L);
  CadText("Norm", 55.6L, 22.25L);
  CadText(Settings.ReleaseFieldText, 55.6L, 18);
  const std::array<std::array<std::string, 2>, 4> rows = {{{di.TitleDrawnDate, di.TitleDrawnName},
                                                          {di.TitleCheckedDate, di.TitleCheckedName},
                                                          {di.TitleStandardDate, di.TitleStandardName},
                                                          {di.TitleReleaseDate, di.TitleReleaseName}}};
  // Dates and names of the four rows, each fitted into its cell up to 1 before its right line.
  for (int i = 0; i < 4; ++i) {
    const long double y = 30.75L - 4.25L * i;
    CellText(rows[i][0], 1.8L, 1.5L, 66, 80.6L, 1, y);
    CellText(rows[i][1], 1.8L, 1.5L, 81.6L, 98.8L, 1, y);
  }
  // The change rows above the column heads, the newest on top. Every text of a row sets its own
  // style, so none takes the size a fitted text of the row before left behind.
  const int shown = ShownChanges();
  const int first = DrawingInfo.ChangeCount - shown;
  for (int k = 0; k < shown; ++k) {
    const ChangeEntry& e = di.ChangeEntries[first + k];
    const long double y = 4.25L * (k + 1) + 1;
    auto cell = [y](const std::string& s, long double x, long double columnEnd) {
      CellText(s, 1.7L, 1.3L, x, columnEnd, 1, y);
    };
    cell(RevisionIndexText(first + k + 1), 1, 7.8L);
    cell(e.ChangeText, 8.8L, 33.8L);
    cell(e.Date, 34.8L, 46.8L);
    cell(e.Editor, 47.8L, 54.6L);
  }
  // The replacement references in their cells of the bottom row.
  CellText("Ersatz für " + di.TitleReplaces, 1.5L, 1.2L, 55.6L, 98.8L, 1, 1);
  CellText("Ersetzt durch " + di.TitleReplacedBy, 1.5L, 1.2L, 144, 187.2L, 1, 1);
  FittedText(name, 5.0L, 4.0L, 84, 100.8L, 28.625L);
  FittedText(name2, 3.5L, 2.8L, 84, 100.8L, 20.125L);
  FittedText(number, 5.0L, 4.0L, 71, 100.8L, 7.375L);
}

void RevisionTable(int kind) {
  const int shown = ShownChanges();
  if (shown == 0) return;
  CadSetPen(3);
  const long double y0 = kind == 1 ? 27 : 36, rowH = 3.5L;
  const long double top = y0 + (shown + 1) * rowH;
  CadRectangle(0, y0, 180, top);
  for (long double x : {4.0L, 12.5L, 20.0L, 35.0L}) CadLine(x, y0, x, top);
  for (int k = 1; k <= shown; ++k) CadLine(0, y0 + k * rowH, 180, y0 + k * rowH);
  // Every text fitted into its column, up to 0.5 before the column's end.
  auto cell = [](const std::string& s, long double x, long double columnEnd, long double y) {
    FittedText(s, 1.0L, 0.9L, columnEnd - 0.5L - x, x, y);
  };
  const std::array<std::pair<const char*, long double>, 5> heads = {
      {{"Index", 0.3L}, {"Datum", 4.5L}, {"Name", 13}, {"Änderung", 20.5L}, {"Beschreibung", 35.5L}}};
  const std::array<long double, 5> ends = {4, 12.5L, 20, 35, 180};
  for (size_t i = 0; i < heads.size(); ++i)
    cell(heads[i].first, heads[i].second, ends[i], y0 + 1.2L);
  const int first = DrawingInfo.ChangeCount - shown;
  for (int k = 0; k < shown; ++k) {
    const ChangeEntry& e = DrawingInfo.ChangeEntries[first + k];
    const long double y = y0 + (k + 1) * rowH + 1.2L;
    cell(RevisionIndexText(first + k + 1), 1, ends[0], y);
    cell(e.Date, 4.5L, ends[1], y);
    cell(e.Editor, 13, ends[2], y);
    cell(e.ChangeText, 20.5L, ends[3], y);
    cell(e.Description, 35.5L, ends[4], y);
  }
}

// The title block's lower left corner on the sheet.
void TitleBlockOrigin(int format, long double& ox, long double& oy) {
  const int kind = Settings.TitleBlockKind;
  const bool a3 = format == SheetA3;
  ox = 0, oy = 5;
  if (!IsIsoForm(kind))
    ox = a3 ? 227.6L : 17.9L;
  else if (Settings.DrawingMargin == 0)
    ox = a3 ? 235 : 25;
  else {
    ox = a3 ? 230 : 20;
    oy = 10;
  }
}

void TitleBlockFields(int format, const std::string& number, const std::string& name,
                      const std::string& name2) {
  const int kind = Settings.TitleBlockKind;
  const bool a3 = format == SheetA3;
  long double ox = 0, oy = 0;
  TitleBlockOrigin(format, ox, oy);
  CadSetOrigin(ox, oy);
  CadSetPen(5);
  if (IsIsoForm(kind)) {
    IsoTitleBlock(kind, number, name, name2);
    RevisionTable(kind);
    CadSetPen(5);
  } else {
    DinTitleBlock(kind, number, name, name2);
  }

  if (!Settings.DrawLogo) {
    CadSetPen(5);
    if (UserBlocksAllowed() && !CadUserBlockFile("logo_1").empty()) {
      if (kind == 1)
        CadInsertBlockAtOrigin("logo_1", 2, 4, 0, 0.7L, 0.9L);
      else if (kind == 2)
        CadInsertBlockAtOrigin("logo_1", 3, 4, 0, 1.75L, 1.75L);
      else
        CadInsertBlockAtOrigin("logo_1", 57, 5, 0, 1, 1);
    } else {
      CadSetPen(4);
      if (kind == 1) FittedText(CompanyText(), 11, 8, 29, 1.5L, 4);
      if (kind == 2) FittedText(CompanyText(), 19, 14, 72, 1.5L, 4);
    }
  }
  if (Settings.UseHeadBlockFiles && UserBlocksAllowed()) {
    const long double top = TitleBlockTop(kind);
    UserBlock("head_0", 0, top, 1, 1);
    UserBlock(a3 ? "head_3" : "head_4", 0, top, 1, 1);
  }
  if (Settings.UseInsertBlockFiles && UserBlocksAllowed()) {
    UserBlock("insert_0", 0, 0, 1, 1);
    UserBlock(a3 ? "insert_3" : "insert_4", 0, 0, 1, 1);
  }
  CadSetOrigin(0, 0);
}

void ProtectionNotice(int format) {
  if (Settings.DrawProtectionNote || (format != SheetA3 && format != SheetA4)) return;
  static const std::array<const char*, 5> english = {
      "Copying of this document and giving it to other and the use",
      "or communication of the contents therof, are forbidden with-",
      "out express authority. Offenders are liable to the payment",
      "of damages. All rights are reserved in the event of the grant",
      "of a patent or the registration of a utility model or design."};
  static const std::array<const char*, 5> german = {
      "Weitergabe sowie Vervielfältigung dieser Unterlage, Ver-",
      "wertung und Mitteilung ihres Inhalts nicht gestattet, soweit",
      "nicht ausdrücklich zugestanden. Zuwiderhandlungen verpflich-",
      "ten zu Schadensersatz. Alle Rechte für den Fall der Patent-",
      "erteilung oder Gebrauchsmuster-Eintragung vorbehalten."};
  long double x0 = format == SheetA4 ? 4 : 3, h = 1.8L, w = 1.5L, pitch = 2.7L;
  if (IsIsoForm(Settings.TitleBlockKind) && Settings.DrawingMargin != 0)
    x0 = Settings.DrawFrameZones ? 4 : 3;
  if (ZoneMarksDrawn()) {
    // The zone frame stands at x = 10: the five lines, upright text reaching h to the left of its
    // line, stay between the sheet's edge and that frame.
    x0 = 1.7L, h = 1.2L, w = 1.0L, pitch = 1.8L;
  }
  CadSetPen(3);
  CadSetTextStyle(2, 90, h, w);
  for (int i = 0; i < 5; ++i) {
    CadText(english[i], x0 + pitch * i, 5);
    CadText(german[i], x0 + pitch * i, 190);
  }
}

// Zone marks over the box (x1, y1)-(x2, y2) and the millimetre scale along the inner frame.
void FrameZoneMarks(int columns, int rows, long double x1, long double y1, long double x2,
                    long double y2, long double size, long double innerX, long double innerY) {
  CadSetPen(3);
  const long double cw = (x2 - x1) / columns, rh = (y2 - y1) / rows;
  if (!Settings.DrawFrameZones) {
    CadRectangle(x1, y1, x2, y2);
    CadSetTextStyle(2, 0, 2.5L, 1.8L);
    for (int i = 1; i < columns; ++i) {
      CadLine(x1 + i * cw, y2, x1 + i * cw, y2 - size);
      CadLine(x1 + i * cw, y1, x1 + i * cw, y1 + size);
    }
    for (int i = 0; i < columns; ++i) {
      const long double xc = x1 + (i + 0.5L) * cw - 0.9L;
      CadText(IntStr(i + 1), xc, y2 - size + 0.5L);
      CadText(IntStr(i + 1), xc, y1 + 1);
    }
    for (int j = 1; j < rows; ++j) {
      CadLine(x1, y1 + j * rh, x1 + size, y1 + j * rh);
      CadLine(x2, y1 + j * rh, x2 - size, y1 + j * rh);
    }
    for (int j = 0; j < rows; ++j) {
      const std::string letter = NumberToLetter(rows - j);  // A at the top
      const long double yc = y1 + (j + 0.5L) * rh - 1.25L;
      CadText(letter, x1 + 1, yc);
      CadText(letter, x2 - size + 1, yc);
    }
  }
  if (!Settings.DrawMmScale) {
    // 100 mm along the bottom and the left edge of the inner frame, ticks outwards. A label that
    // would meet a zone number is left out.
    auto nearZone = [&](long double pos, long double start, long double step, int count) {
      if (Settings.DrawFrameZones) return false;
      for (int i = 0; i < count; ++i)
        if (std::fabs(pos - (start + (i + 0.5L) * step)) < 4) return true;
      return false;
    };
    CadSetTextStyle(2, 0, 1.5L, 1.125L);
    for (int mm = 0; mm <= 100; ++mm) {
      const long double len = mm % 10 == 0 ? 3 : mm % 5 == 0 ? 2.25L : 1.5L;
      const long double x = innerX + 30 + mm;
      CadLine(x, innerY, x, innerY - len);
      if (mm % 10 == 0 && mm > 0 && !nearZone(x, x1, cw, columns))
        CadText(IntStr(mm), x - 0.5L, innerY - len - 1.7L);
    }
    CadSetTextStyle(2, 90, 1.5L, 1.125L);
    for (int mm = 0; mm <= 100; ++mm) {
      const long double len = mm % 10 == 0 ? 3 : mm % 5 == 0 ? 2.25L : 1.5L;
      const long double y = innerY + 40 + mm;
      CadLine(innerX, y, innerX - len, y);
      if (mm % 10 == 0 && mm > 0 && !nearZone(y, y1, rh, rows))
        CadText(IntStr(mm), innerX - len - 0.3L, y - 0.5L);
    }
  }
}

}  // namespace

CadBox SheetExtentsBox(int format) {
  if (format == SheetA3) return {-2, -5, 422, 305};
  if (format == SheetA4) return {-5, -5, 215, 307};
  return {};
}

void SheetExtents(int format) {
  const CadBox b = SheetExtentsBox(format);
  if (!b.Empty()) CadBeginDrawing(b.xmin, b.ymin, b.xmax, b.ymax);
}

std::string RevisionIndexText(int n) {
  switch (Settings.IndexStyle) {
    case 0: return n >= 1 && n <= 26 ? std::string(1, static_cast<char>('a' + n - 1)) : IntStr(n);
    case 1: return IntStr(n);
    case 2: return n >= 1 && n <= 26 ? std::string(1, static_cast<char>('A' + n - 1)) : IntStr(n);
    default: return "";
  }
}

long double TitleBlockTop(int kind) {
  const int changes = ShownChanges();
  const long double r = changes > 0 ? (changes + 1) * 3.5L : 0;
  switch (kind) {
    case 0: return 38.25L;
    case 1: return r + 27;
    case 2: return r + 36;
    default: return 55.25L;
  }
}

long double TitleBlockTopOnSheet(int format) {
  if (Settings.DrawTitleBlock) return 0;
  long double ox = 0, oy = 0;
  TitleBlockOrigin(format, ox, oy);
  return oy + TitleBlockTop(Settings.TitleBlockKind);
}

SheetBox InnerFrame(int format) {
  if (IsIsoForm(Settings.TitleBlockKind) && Settings.DrawingMargin != 0) {
    switch (format) {
      case 1: return {20, 10, 831, 574};
      case 2: return {20, 10, 584, 400};
      case 3: return {20, 10, 410, 287};
      default: return {20, 10, 200, 287};
    }
  }
  if (format == SheetA3) return {15, 5, 415, 292};
  return {17.9L, 5, 205.1L, 292};
}

namespace {
void DrawSheet(int format, const std::string& number, const std::string& name,
               const std::string& name2);
}  // namespace

CadBox SheetBoxOf(int format) {
  switch (format) {
    case 1: return {0, 0, 841, 594};
    case 2: return {0, 0, 594, 420};
    case 3: return {0, 0, 420, 297};
    default: return {0, 0, 210, 297};
  }
}

void DrawSheetFrame(int format, const std::string& drawingNumber, const std::string& drawingName,
                    const std::string& nameLine2) {
  auto clean = [](const std::string& s) { return WithoutBlanks(s).empty() ? std::string() : s; };
  const std::string number = clean(drawingNumber), name = clean(drawingName),
                    name2 = clean(nameLine2);
  SetPrintPreset(format == SheetA3 ? 3 : 2);
  if (Settings.DrawTitleBlock || Flags.AbortFlag) return;
  // Its lines stay on the sheet: the watch of a drawing takes the sheet's box for them.
  CadDrawPiece(SheetBoxOf(format), [&] { DrawSheet(format, number, name, name2); });
}

namespace {
void DrawSheet(int format, const std::string& number, const std::string& name,
               const std::string& name2) {
  const bool a3 = format == SheetA3;
  const bool iso = IsIsoForm(Settings.TitleBlockKind);

  CadSetPen(5);
  const SheetBox frame = InnerFrame(format);
  CadRectangle(frame.xmin, frame.ymin, frame.xmax, frame.ymax);
  CadSetPen(3);
  const CadBox sheet = SheetBoxOf(format);
  CadRectangle(sheet.xmin, sheet.ymin, sheet.xmax, sheet.ymax);
  TitleBlockFields(format, number, name, name2);
  ProtectionNotice(format);

  const int mode = DrawingInfo.PlacedTextMode;
  if (mode == 2 || (mode == 0 && !a3) || (mode == 1 && a3)) {
    for (int i = 0; i < DrawingInfo.PlacedTextCount && i < MaxPlacedTexts; ++i) {
      const PlacedText& t = DrawingInfo.PlacedTexts[i];
      CadSetTextStyle(2, t.Angle, t.Height, 0);
      CadText(t.Text, t.X, t.Y);
    }
  }
  if (iso && Settings.DrawingMargin == 1) {
    if (a3)
      FrameZoneMarks(8, 6, 10, 5, 410, 287, 4, 20, 10);
    else
      FrameZoneMarks(4, 6, 10, 5, 200, 287, 4, 20, 10);
  }
  CadSetPen(3);
  CadSetTextStyle(2, 0, 1.5L, 1.2L);
  if (!Settings.DrawFileName) {
    std::string file;
    AbbreviateText(DataFileName(), 150, file);
    CadText(file, 20, 1);
  }
  if (!Settings.DrawDate) CadText(TodayStr() + " " + TimeStr(), a3 ? 395 : 186, 1);
  CadSetTextStyle(2, 0, 3.5L, 3.0L);
  CadSetPen(5);
  if (!Settings.DrawMakerTitle)
    CadText("ZORQUAN   " + Ident.ProductName + "  V" + Ident.VersionText, 1, 300);
}
}  // namespace

}  // namespace qern
