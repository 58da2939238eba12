// Freehand break line with its own seeded generator.
#include "drawing/freihand.h"

#include <array>
#include <cmath>
#include <memory>
#include <random>

#include "drawing/schraff.h"
#include "drawing/zorqcad.h"
#include "framework/utilmath.h"

namespace qern {

namespace {
std::mt19937& Generator() {
  static std::mt19937 g(1);
  return g;
}
}  // namespace

void SeedFreehand(std::uint32_t seed) {
  // Seeding runs through the generator's whole state, and each drawing seeds with its kind: the
  // seeded states are kept and copied.
  static std::array<std::unique_ptr<std::mt19937>, 32> seeded;
  if (seed >= seeded.size()) {
    Generator().seed(seed);
    return;
  }
  if (!seeded[seed]) seeded[seed] = std::make_unique<std::mt19937>(seed);
  Generator() = *seeded[seed];
}

long double FreehandRandom() {
  // 32 random bits scaled into [0, 1); independent of the library's distribution code.
  return static_cast<long double>(Generator()()) / 4294967296.0L;
}

void FreehandLine(bool addToHatch, long double x1, long double y1, long double x2, long double y2,
                  long double amplitude) {
  const long double l = Hypot(x2 - x1, y2 - y1);
  const long double phi = std::atan2(y2 - y1, x2 - x1);
  // The points turned by phi as RotatePoint turns them, its cosine and sine taken once.
  const long double c = std::cos(phi), s = std::sin(phi);
  CadMoveTo(x1, y1);
  if (addToHatch) AddHatchPoint(x1, y1);
  for (int k = 1; k <= 5; ++k) {
    const long double r1 = FreehandRandom(), r2 = FreehandRandom();
    const long double offset = (r1 - r2) * 2 * amplitude;
    const long double along = k * l / 6;
    long double px = along * c - offset * s;
    long double py = along * s + offset * c;
    px += x1;
    py += y1;
    CadLineTo(px, py);
    if (addToHatch) AddHatchPoint(px, py);
  }
  CadLineTo(x2, y2);
  if (addToHatch) AddHatchPoint(x2, y2);
}

}  // namespace qern
