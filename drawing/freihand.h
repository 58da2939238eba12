// Freehand break line: six segments with random offsets across the line, like a line drawn by hand.
#pragma once

#include <cstdint>

namespace qern {

// Starts the generator of the break lines afresh; the drawing entry calls it once per output,
// so the same drawing written twice gives the same file.
void SeedFreehand(std::uint32_t seed);
// The next uniform number in [0, 1).
long double FreehandRandom();

// From (x1, y1) to (x2, y2) through five points offset across the line by up to +-2 amplitude
// (the difference of two uniform draws). addToHatch: every point also goes to the hatch polygon.
void FreehandLine(bool addToHatch, long double x1, long double y1, long double x2, long double y2,
                  long double amplitude);

}  // namespace qern
