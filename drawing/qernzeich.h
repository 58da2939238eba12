// The drawing entry: the 21 drawing kinds of a design, each emitted as one pass through the CAD
// output layer (extents, tables, named blocks, entities) on the screen or into a CAD file.
#pragma once

#include <string>

#include "drawing/zorqcad.h"

namespace qern {

constexpr int DrawingKindCount = 21;
constexpr int DrawingKindBack = 22;  // the pick list's last item, "zurück .."

// The current drawing kind (0 before the first drawing); the pick list proposes the next one.
extern int DrawingKind;

// The pick-list caption of kind 1..22 in the current language.
std::string DrawingKindCaption(int kind);

// device: 0 ask, 1 DXF, 2 IGES, 3 screen, 4 plot program, 5 CAD text. kind 0 offers the pick list
// until "zurück" or Cancel; 1..21 draws that kind once. With a fatal calculation only the
// messages are shown. Failures end through AbortFlag.
void DrawMenu(int device, int kind);
// The drawing chosen by the ResultGraphicKind setting, on the screen.
void ShowDefaultDrawing();
// The kind ShowDefaultDrawing draws for a ResultGraphicKind value.
int DefaultDrawingKind(int resultGraphicKind);

// How DrawMenu finds a drawing's extents: drawn at once and watched, measured again unseen only
// when it may reach past its kind's room (the program's way; wheels of many teeth are measured
// unseen first, by their tip circles); measured unseen before it is drawn (the earlier way); or the
// kind's room as it stands (no measuring). The latter two are for the benches' comparison.
enum class ExtentsWay { Watched, MeasuredFirst, RoomOnly };
extern ExtentsWay DrawingExtentsWay;

// The extents a drawing of kind states on the current device for the current design: the kind's
// room, grown where the drawing reaches past it (measured unseen, wheels of many teeth by
// their tip circles). drawnWhole measures every piece itself (for comparison).
CadBox DrawingExtents(int kind, bool drawnWhole = false);

}  // namespace qern
