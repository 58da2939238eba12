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

// A seeded generator kept after its first number: seeding runs through the generator's whole
// state and the first number twists all of it, and each drawing seeds with its kind.
struct Seeded {
  std::mt19937 g;
  std::uint32_t first = 0;
};
// The seeded generator the next number comes from, copied only then: most drawings draw no
// freehand line.
const Seeded* g_pending = nullptr;
}  // namespace

void SeedFreehand(std::uint32_t seed) {
  static std::array<std::unique_ptr<Seeded>, 32> seeded;
  g_pending = nullptr;
  if (seed >= seeded.size()) {
    Generator().seed(seed);
    return;
  }
  if (!seeded[seed]) {
    auto s = std::make_unique<Seeded>();
    s->g.seed(seed);
    s->first = static_cast<std::uint32_t>(s->g());
    seeded[seed] = std::move(s);
  }
  g_pending = seeded[seed].get();
}

long double FreehandRandom() {
  // 32 random bits scaled into [0, 1); independent of the library's distribution code.
  std::uint32_t bits;
  if (g_pending) {
    Generator() = g_pending->g;
    bits = g_pending->first;
    g_pending = nullptr;
  } else {
    bits = static_cast<std::uint32_t>(Generator()());
  }
  return static_cast<long double>(bits) / 4294967296.0L;
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
