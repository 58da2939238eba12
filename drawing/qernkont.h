// Geometry of the two parts in a drawing: side view of the shaft, half-section of the hub, one
// tooth pitch of each part (blocks zahn1/zahn2) and the circles of the gear pair.
#pragma once

#include <vector>

#include "design/qernvar.h"

namespace qern {

// A polyline vertex; bulge is the signed included angle (radians) of the arc that starts here,
// positive counter-clockwise, 0 for a straight segment.
struct ToothVertex {
  long double x = 0, y = 0, bulge = 0;
};

// One pitch of the shaft, the tooth space centred on the positive y axis: 7 vertices from the
// middle of the left tooth on the tip circle through the root arc to the middle of the right one
// (6 when the tip circle lies inside the pitch circle: the flank point there is then left out).
std::vector<ToothVertex> ShaftToothVertices(const DesignRecord& r);
// One pitch of the hub, its tooth centred on the positive y axis: 8 vertices from the middle of
// the left space on the root circle over the root fillet, flank, tip arc and back (6 when the
// tip circle lies outside the pitch circle: the flank points there are then left out).
std::vector<ToothVertex> HubToothVertices(const DesignRecord& r);

// The smallest box round a polyline of such vertices, each arc with its sweep.
struct ToothBox {
  long double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};
ToothBox ToothVerticesBox(const std::vector<ToothVertex>& v);
// How far such a polyline reaches from the origin, each arc with its sweep: the radius of the
// wheel its pitches build.
long double ToothVerticesReach(const std::vector<ToothVertex>& v);
// How far the hub's half-section reaches above and below its axis: the end faces or the wall
// band with its break line.
long double HubOutlineHalfHeight(const DesignRecord& r);

// Side view of the shaft (block WELLE); inserts the break symbol WLSTUMP at its start.
void ShaftOutline();
// Half-section of the hub (block NABE) with hatched walls ending in break lines.
void HubOutline();
// One tooth pitch as a polyline in pen 5: part 1 shaft, 2 hub, 0 both.
void ToothBlock(int part);
// Centre cross and the five circles (df1, df2, d1, da1, da2) of the pair about (x, y), scaled.
void DrawGearCircles(long double x, long double y, long double scale);

}  // namespace qern
