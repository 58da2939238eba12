// Gear-data tables and the message table on one text-table object.
#include "drawing/qerntab.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "design/qernaus1.h"
#include "design/qernvar.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"

namespace qern {

// ---- TextTable ------------------------------------------------------------------------------

namespace {
// The columns' left edges from x at the text height h, and how many columns are used (up to the
// first that does not lie right of the one before).
int TableColumns(const std::array<int, TextTableColumns>& widths, long double x, long double h,
                 std::array<long double, TextTableColumns + 1>& colX) {
  colX[0] = x;
  for (int i = 0; i < TextTableColumns; ++i) colX[i + 1] = colX[i] + h * widths[i] * 0.9L;
  for (int i = 1; i <= TextTableColumns; ++i)
    if (colX[i] <= colX[i - 1]) return i - 1;
  return TextTableColumns;
}
bool AnyHeading(const TextTableRow& headings, int used) {
  for (int i = 0; i < used; ++i)
    if (!headings[i].empty()) return true;
  return false;
}
}  // namespace

CadBox TextTable::LinesBox(const std::string& title, const TextTableRow& headings,
                           const std::array<int, TextTableColumns>& widths, long double x,
                           long double y, long double h, size_t rowCount) {
  if (h == 0) h = 3.5L;
  std::array<long double, TextTableColumns + 1> colX{};
  const int used = TableColumns(widths, x, h, colX);
  // The bands from the top down, each 2 h high, as the table steps them.
  const size_t bands = rowCount + (title.empty() ? 0 : 1) + (AnyHeading(headings, used) ? 1 : 0);
  long double bottom = y;
  for (size_t i = 0; i < bands; ++i) bottom -= 2 * h;
  return {MinFloat(colX[0], colX[used]), MinFloat(y, bottom), MaxFloat(colX[0], colX[used]),
          MaxFloat(y, bottom)};
}

TextTable::TextTable(const std::string& title, const TextTableRow& headings,
                     const std::array<int, TextTableColumns>& widths, long double x, long double y,
                     long double h)
    : title_(title), headings_(headings), h_(h == 0 ? 3.5L : h), rowY_(y) {
  used_ = TableColumns(widths, x, h_, colX_);
  CadSetPen(17);
  if (!title_.empty()) {
    // Title row: the full width, no column lines.
    const long double top = rowY_;
    CadLine(colX_[0], top, colX_[used_], top);
    CadLine(colX_[0], top, colX_[0], top - 2 * h_);
    CadLine(colX_[used_], top, colX_[used_], top - 2 * h_);
    CadLine(colX_[0], top - 2 * h_, colX_[used_], top - 2 * h_);
    CadSetTextStyle(2, 0, h_, 0.75L * h_);
    CadText(title_, colX_[0] + 0.5L * h_, top - 1.5L * h_);
    rowY_ -= 2 * h_;
  } else {
    CadLine(colX_[0], rowY_, colX_[used_], rowY_);
  }
  if (AnyHeading(headings_, used_)) Headings();
}

void TextTable::Headings() {
  CadSetPen(17);
  RowLines(rowY_);
  CadSetPen(18);
  CadSetTextStyle(2, 0, 0.75L * h_, 0.55L * h_);
  for (int i = 0; i < used_; ++i)
    if (!headings_[i].empty()) CadText(" " + headings_[i], colX_[i], rowY_ - 1.4L * h_);
  rowY_ -= 2 * h_;
}

void TextTable::RowLines(long double top) {
  const long double bottom = top - 2 * h_;
  for (int i = 0; i <= used_; ++i) CadLine(colX_[i], top, colX_[i], bottom);
  CadLine(colX_[0], bottom, colX_[used_], bottom);
}

void TextTable::AddRow(const TextTableRow& cells) { Row(cells, true); }

void TextTable::AddRows(const std::vector<TextTableRow>& rows) {
  // A row's lines and texts leave the pen as it is: the rows after the first find it set.
  for (size_t r = 0; r < rows.size(); ++r) Row(rows[r], r == 0);
}

void TextTable::Row(const TextTableRow& cells, bool setPen) {
  if (setPen) CadSetPen(17);
  RowLines(rowY_);
  CadSetTextStyle(2, 0, 0.8L * h_, 0.6L * h_);
  for (int i = 0; i < used_; ++i)
    if (!cells[i].empty()) CadText(cells[i], colX_[i] + 0.4L * h_, rowY_ - 1.4L * h_);
  rowY_ -= 2 * h_;
}

// ---- Rows -----------------------------------------------------------------------------------

namespace {

std::string Len(int w, int d, long double v) { return TrimBlanks(LengthStrFixed(w, d, v)); }
std::string Num(int w, int d, long double v) { return TrimBlanks(FloatStrFixed(w, d, v)); }
std::string Suffix(int part) { return part == 1 ? "e" : "i"; }
std::string FlankAngleText(int part) { return TrimBlanks(AngleStr(RadToDeg(GetFlankAngle(part)))); }
bool ValidPart(int part) {
  if (part == 1 || part == 2) return true;
  AddError("Error Radnr !");
  return false;
}

// The rotational backlash as an arc on the shaft's pitch circle.
long double RotationalBacklash(const DesignRecord& r) { return r.FlankClearance; }

// Rows of the gear-data table of part 1 or 2 (GearDataRows).
constexpr size_t GearDataRowCount = 14;

// The rows moved into their vector: a braced list would be copied text by text.
template <size_t N>
std::vector<TextTableRow> MovedRows(TextTableRow (&rows)[N]) {
  return {std::make_move_iterator(rows), std::make_move_iterator(rows + N)};
}

}  // namespace

std::string GearTableTitle(int part) {
  return std::string(part == 1 ? "ZAHNWELLE " : "ZAHNNABE ") + PartDrawingNumber[part] + " (" +
         PartDrawingName[part] + ")";
}

std::vector<TextTableRow> GearDataRows(int part) {
  if (part != 1 && part != 2) return {};
  const DesignRecord& r = Design;
  const DesignLabelTable& w = DesignLabels;
  const std::string s = Suffix(part);
  const std::string unit = LengthUnitStr();
  std::vector<TextTableRow> rows;
  rows.reserve(GearDataRowCount);
  rows.push_back({w.ToothCount, "z", TrimBlanks(IntStrBlank(r.ToothCount[part], 6))});
  rows.push_back({w.Module, "m", TrimBlanks(LengthStrDecimals(3, r.NormalModule)), unit});
  // Angles carry their degree sign in the value: no unit column.
  rows.push_back({"Eingriffswinkel", "alpha", TrimBlanks(AngleStr(r.PressureAngleDeg))});
  rows.push_back({w.GapAngle, "gamma " + s, FlankAngleText(part)});
  rows.push_back({w.PitchDiameter, "d", Len(4, 3, std::fabs(r.PitchDiameter[part])), unit});
  if (part == 1) {
    rows.push_back({w.TipDiameter, "da1 (Dee)", Len(4, 3, r.TipDiameter[1]), unit});
    rows.push_back({"Fußformkreisdurchmesser", "dFf1 (DFe)", Len(4, 3, r.FormDiameter[1]), unit});
    rows.push_back({w.RootRadius, "rhof1 (Re)", Len(4, 3, r.ToolTipRadius[1]), unit});
    rows.push_back({w.ToothThickness[0], " sn (S)", Len(4, 3, r.ToothThickness[1]), unit});
  } else {
    rows.push_back({w.RootRadius, "rhof2 (Ri)", Len(4, 3, r.ToolTipRadius[2]), unit});
    rows.push_back({"Fußformkreisdurchmesser", "dFf2 (DFi)", Len(4, 3, r.FormDiameter[2]), unit});
    rows.push_back({w.TipDiameter, "da2 (Dii)", Len(4, 3, r.TipDiameter[2]), unit});
    rows.push_back({w.ToothThickness[3], "en (E)", Len(4, 3, r.SpaceWidth[2]), unit});
  }
  rows.push_back({w.ToothThickness[1], "Dm (DR" + s + ")", Len(4, 3, std::fabs(r.PinDiameter[part])), unit});
  rows.push_back({part == 1 ? w.ToothThickness[2] : w.ToothThickness[4], "MR" + s,
                  Len(4, 3, std::fabs(r.PinMeasurement[part])), unit});
  rows.push_back({w.Pitch, "P", Len(4, 3, r.NormalPitch), unit});
  rows.push_back({"Zahnhöhe", "h", Len(4, 3, r.ToothHeight[part]), unit});
  rows.push_back({"Gegenstück", "", PartDrawingNumber[3 - part]});
  return rows;
}

std::vector<TextTableRow> GearFieldRows(int part) {
  if (part != 1 && part != 2) return {};
  const DesignRecord& r = Design;
  const DesignLabelTable& w = DesignLabels;
  const std::string s = Suffix(part);
  const std::string n = IntStr(part);
  std::vector<TextTableRow> rows;
  rows.reserve(11);
  rows.push_back({w.ToothCount, " z", TrimBlanks(IntStrBlank(r.ToothCount[1], 6))});
  rows.push_back({w.Module, "m", Len(4, 4, r.NormalModule)});
  rows.push_back({"Eingriffswinkel", "alpha", TrimBlanks(AngleStr(r.PressureAngleDeg))});
  rows.push_back({w.GapAngle, "gam." + s, FlankAngleText(part)});
  rows.push_back({w.PitchDiameter, "d", Len(4, 3, std::fabs(r.PitchDiameter[part]))});
  if (part == 1) {
    rows.push_back({w.TipDiameter, "da1", Len(5, 3, r.TipDiameter[1])});
    rows.push_back({"Fußformkreisdurchmesser", "dFf1", Len(5, 3, r.FormDiameter[1])});
    rows.push_back({w.RootDiameter, "df1", Len(5, 3, r.RootDiameter[1])});
    rows.push_back({w.RootRadius, "rhof1", Len(4, 3, r.ToolTipRadius[1])});
    rows.push_back({w.ToothThickness[0], "sn1", Len(5, 3, r.ToothThickness[1])});
  } else {
    rows.push_back({w.RootDiameter, "df2", Len(5, 3, r.RootDiameter[2])});
    rows.push_back({"Fußformkreisdurchmesser", "dFf2", Len(5, 3, r.FormDiameter[2])});
    rows.push_back({w.TipDiameter, "da2", Len(5, 3, r.TipDiameter[2])});
    rows.push_back({w.RootRadius, "rhof2", Len(4, 3, r.ToolTipRadius[2])});
    rows.push_back({w.ToothThickness[3], "en2", Len(5, 3, r.SpaceWidth[2])});
  }
  rows.push_back({"Prüfmaß (DM=" + LengthStr(r.PinDiameter[part]) + ")", "MR" + n,
                  Len(5, 3, r.PinMeasurement[part])});
  return rows;
}

std::vector<TextTableRow> GearCommonRows() {
  const DesignRecord& r = Design;
  const DesignLabelTable& w = DesignLabels;
  auto len2 = [](const char* label, const char* sym, long double a, long double b) {
    return TextTableRow{label, sym, Len(5, 3, a), Len(5, 3, b)};
  };
  TextTableRow rows[] = {
      len2(w.PitchDiameter.c_str(), "d", r.PitchDiameter[1], std::fabs(r.PitchDiameter[2])),
      len2("Grundkreisdurchmesser", "db", r.BaseDiameter[1], r.BaseDiameter[2]),
      len2("Kopfspiel", "c e/i", r.TipClearance[1], r.TipClearance[2]),
      {"Flankenspiel", "cp", Len(5, 3, r.FlankClearance)},
      {"Profilverschiebungsfaktor", "x", Num(3, 5, r.ProfileShift[1]), Num(3, 5, r.ProfileShift[2])},
      len2("Profilverschiebung", "x*m", r.ProfileShift[1] * r.NormalModule,
           r.ProfileShift[2] * r.NormalModule),
      len2("Zahnhöhe", "h", r.ToothHeight[1], r.ToothHeight[2])};
  return MovedRows(rows);
}

std::vector<TextTableRow> GearPitchRows() {
  const DesignRecord& r = Design;
  TextTableRow rows[] = {
      {"Normalteilung", "pn", Len(5, 3, r.NormalPitch), LengthUnitStr()},
      {"Normal Pitch", "Pn", Num(5, 3, r.DiametralPitch), "1/in"},
      {"Flankenspiel", "cp", Len(5, 3, r.FlankClearance), LengthUnitStr()},
      {"Drehflankenspiel", "jn", Len(5, 3, RotationalBacklash(r)), LengthUnitStr()}};
  return MovedRows(rows);
}

std::vector<TextTableRow> ToolDataRows() {
  const DesignRecord& r = Design;
  auto num = [](const char* label, const char* sym, const PerPart<long double>& v) {
    return TextTableRow{label, sym, Num(3, 3, v[1]), Num(3, 3, v[2])};
  };
  auto len = [](const char* label, const char* sym, const PerPart<long double>& v) {
    return TextTableRow{label, sym, Len(3, 3, v[1]), Len(3, 3, v[2])};
  };
  TextTableRow rows[] = {num("Fußhöhenfaktor Werkzeug", "hfP0/mn", r.ToolDedendumFactor),
                         num("Kopfhöhenfakt. Werkzeug", "haP0/mn", r.ToolAddendumFactor),
                         num("Kopfrundungsradius Werkzeug", "rhoaP0/mn", r.ToolTipRadiusFactor),
                         len("Fußhöhe des Werkzeugs", "hfP0", r.ToolDedendum),
                         len("Kopfhöhe des Werkzeugs", "haP0", r.ToolAddendum),
                         len("Kopfrundungsradius Werkzeug", "rhoaP0", r.ToolTipRadius)};
  return MovedRows(rows);
}

// ---- Tables -----------------------------------------------------------------------------------

namespace {

void DrawRows(const std::string& title, const TextTableRow& headings,
              const std::array<int, TextTableColumns>& widths, long double x, long double y,
              long double h, const std::vector<TextTableRow>& rows) {
  // Its lines lie in the box its rows give: the watch of a drawing takes that for them.
  CadDrawPiece(TextTable::LinesBox(title, headings, widths, x, y, h, rows.size()), [&] {
    TextTable t(title, headings, widths, x, y, h);
    t.AddRows(rows);
  });
}

}  // namespace

void GearDataTable(int part, long double x, long double y, long double h) {
  if (!ValidPart(part)) return;
  CadSetPen(4);
  DrawRows(GearTableTitle(part), {}, {19, 9, 7, 3}, x, y, h, GearDataRows(part));
}

long double GearDataTableHeight(int part, long double h) {
  // The rows counted without being made.
  const size_t rows = part == 1 || part == 2 ? GearDataRowCount : 0;
  return 2 * (h == 0 ? 3.5L : h) * (1 + static_cast<long double>(rows));
}

void GearDataField(int part, long double x, long double y, long double h) {
  if (!ValidPart(part)) return;
  CadSetPen(4);
  DrawRows(GearTableTitle(part), {}, {20, 6, 7}, x, y, h, GearFieldRows(part));
}

void GearCommonTable(long double x, long double y, long double h) {
  DrawRows("", {"", "", "        e", "       i"}, {22, 5, 7, 7}, x, y, h, GearCommonRows());
}

void GearPitchTable(long double x, long double y, long double h) {
  DrawRows("", {}, {17, 5, 8, 4}, x, y, h, GearPitchRows());
}

void ToolDataTable(long double x, long double y, long double h) {
  DrawRows("Abmessungen Werkzeug", {"", "", "    1", "    2"}, {26, 9, 7, 7}, x, y, h,
           ToolDataRows());
}

long double MessageTableHeight(int count, long double h, long double space) {
  if (count > 1 && space > 0) return MinFloat(space / (count + 1) / 2, h);
  return h;
}

namespace {

// The message column: as wide as the longest message (a character takes about 2/3 of a width
// unit).
int MessageColumnWidth() {
  int longest = 16;
  for (int i = 0; i < Errors.ErrorCount; ++i)
    longest = std::max(longest, Utf8Length(Errors.ErrorList[i]));
  return longest * 2 / 3 + 2;
}

}  // namespace

void DrawMessageTable(int pen, long double x, long double y, long double h, long double space) {
  const int count = Errors.ErrorCount;
  if (count == 0) return;
  h = MessageTableHeight(count, h, space);
  CadSetPen(pen);
  std::vector<TextTableRow> rows;
  rows.reserve(count);
  for (int i = 0; i < count; ++i) rows.push_back({Errors.ErrorList[i]});
  DrawRows("Fehlermeldungen", {}, {MessageColumnWidth()}, x, y, h, rows);
}

long double MessageTableWidth(long double h, long double space) {
  if (Errors.ErrorCount == 0) return 0;
  h = MessageTableHeight(Errors.ErrorCount, h, space);
  return h * MessageColumnWidth() * 0.9L;
}

}  // namespace qern
