// Drawing sheet of the manufacturing drawings: sheet edge, inner frame, zone marks and millimetre
// scale, title block in four forms, revision table, protection notice, file name, date, stamp.
#pragma once

#include <string>

#include "drawing/zorqcad.h"

namespace qern {

// Sheet formats: 1 A1, 2 A2, 3 A3, 4 A4.
constexpr int SheetA3 = 3;
constexpr int SheetA4 = 4;

// The inner frame of a sheet as the title-block settings draw it: what a drawing places on the
// sheet stays inside it.
struct SheetBox {
  long double xmin, ymin, xmax, ymax;
};
SheetBox InnerFrame(int format);

// Extents of a sheet drawing (A3 and A4; other formats start no drawing).
void SheetExtents(int format);
// The box SheetExtents begins the drawing with; empty for other formats.
CadBox SheetExtentsBox(int format);
// The sheet's edge: every line, arc and solid of DrawSheetFrame lies within it (its texts and user
// block files may reach past it).
CadBox SheetBoxOf(int format);
// The whole sheet into the current block. A drawing number, name or second line made only of
// blanks counts as empty.
void DrawSheetFrame(int format, const std::string& drawingNumber, const std::string& drawingName,
                    const std::string& nameLine2);
// Index of change n in the revision table by the IndexStyle setting: 0 "a", 1 "1", 2 "A",
// any other style "".
std::string RevisionIndexText(int n);
// Height of the title block of the configured form with its revision table above it (ISO forms).
long double TitleBlockTop(int kind);
// The height on the sheet (format A3 or A4) up to which the title block and its revision table
// reach: tables placed on the sheet stay above it. 0 when no title block is drawn.
long double TitleBlockTopOnSheet(int format);

}  // namespace qern
