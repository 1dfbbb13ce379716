// The quick sort behind every list sort of the library: in place, by index, not stable.
#pragma once

#include <cstdint>

namespace kx8 {

// Sorts positions Lo..Hi (inclusive) given Compare(i, j) -> negative, 0 or positive and Exchange(i, j).
// The pivot is the middle element, followed by index as elements move, so Compare may read the list.
// A comparison that is not a consistent order leaves the elements in some order; it never reads
// outside Lo..Hi. The smaller part is sorted first by recursion, so the stack stays logarithmic.
template <class CompareFn, class ExchangeFn>
void QuickSortIndexed(int64_t Lo, int64_t Hi, CompareFn&& Compare, ExchangeFn&& Exchange) {
  // Short runs are finished by insertion through exchanges, cheaper there than further partitions.
  constexpr int64_t kShortRun = 12;
  while (Hi - Lo >= kShortRun) {
    int64_t i = Lo, j = Hi, p = Lo + (Hi - Lo) / 2;
    do {
      while (i < Hi && Compare(i, p) < 0) ++i;
      while (j > Lo && Compare(j, p) > 0) --j;
      if (i <= j) {
        if (i != j) {
          Exchange(i, j);
          if (p == i) p = j;
          else if (p == j) p = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - Lo < Hi - i) {
      if (Lo < j) QuickSortIndexed(Lo, j, Compare, Exchange);
      Lo = i;
    } else {
      if (i < Hi) QuickSortIndexed(i, Hi, Compare, Exchange);
      Hi = j;
    }
  }
  for (int64_t k = Lo + 1; k <= Hi; ++k)
    for (int64_t m = k; m > Lo && Compare(m, m - 1) < 0; --m) Exchange(m, m - 1);
}

}  // namespace kx8
