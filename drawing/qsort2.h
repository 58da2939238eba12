// Sort of up to ten values that carries an index array along (the hatch crossings are ordered
// with it).
#pragma once

#include <array>

namespace qern {

constexpr int Qsort2Capacity = 10;

// values[0..n-1] ascending; index[i] starts as i + 1 for all ten entries and moves with its value,
// so index[k] names the original position (1-based) of the k-th smallest value.
// n > 10: "Fatal  : QSORT2 error" and AbortFlag; nothing is sorted.
void Qsort2(std::array<double, Qsort2Capacity>& values, std::array<int, Qsort2Capacity>& index,
            int n);

}  // namespace qern
