// Quicksort of up to ten values with a companion index array.
#include "drawing/qsort2.h"

#include <utility>

#include "framework/progvar.h"

namespace qern {

namespace {

void Sort(std::array<double, Qsort2Capacity>& v, std::array<int, Qsort2Capacity>& idx, int lo,
          int hi) {
  int i = lo, j = hi;
  const double pivot = v[(lo + hi) / 2];
  while (i <= j) {
    while (i < hi && v[i] < pivot) ++i;
    while (j > lo && v[j] > pivot) --j;
    if (i <= j) {
      std::swap(v[i], v[j]);
      std::swap(idx[i], idx[j]);
      ++i;
      --j;
    }
  }
  if (lo < j) Sort(v, idx, lo, j);
  if (i < hi) Sort(v, idx, i, hi);
}

}  // namespace

void Qsort2(std::array<double, Qsort2Capacity>& values, std::array<int, Qsort2Capacity>& index,
            int n) {
  if (n > Qsort2Capacity) {
    AddError("Fatal  : QSORT2 error");
    Flags.AbortFlag = true;
    return;
  }
  for (int i = 0; i < Qsort2Capacity; ++i) index[i] = i + 1;
  if (n > 1) Sort(values, index, 0, n - 1);
}

}  // namespace qern
