#include "kx8rt/containers/sortablelists.h"

#include <utility>

#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

// Sets BusySorting for the life of one sort, also when a comparison throws.
class TBusyGuard {
 public:
  explicit TBusyGuard(bool& flag) : fFlag(flag) { fFlag = true; }
  ~TBusyGuard() { fFlag = false; }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  bool& fFlag;
};

Tsort_num NextLevel(Tsort_num level) { return level == sort_first_sort ? sort_second_sort : sort_third_sort; }

}  // namespace

void T3SortYieldingList::SetAscending(bool a1, bool a2, bool a3) { fAscending = {a1, a2, a3}; }

void T3SortYieldingList::SetSortToAscend(Tsort_num level, bool ascending) {
  if (level <= sort_third_sort) fAscending[level] = ascending;
}

bool T3SortYieldingList::ToggledMainSortAscending() {
  fAscending[sort_first_sort] = !fAscending[sort_first_sort];
  return fAscending[sort_first_sort];
}

int32_t T3SortYieldingList::AscendingSwapped(int32_t n) const {
  // The smallest integer has no negation; its neighbour keeps the sign meaning.
  if (!fAscending[current_sort_rec.current_sort_doing]) return n;
  return n == INT32_MIN ? INT32_MAX : -n;
}

bool T3SortYieldingList::CheckStartAndFinish(int32_t& start, int32_t& finish) const {
  if (start < 0) start = 0;
  if (finish >= Count()) finish = Count() - 1;
  return finish > start;
}

void T3SortYieldingList::SetBase(void*, int32_t) {}

void T3SortYieldingList::DoAPrivateSort(const T3SortCompare& compare, int32_t sort_var, int32_t first, int32_t last) {
  sorted = true;
  current_sort_rec.current_sort_var = sort_var;
  if (first < 0 || last >= Count()) return;  // a descendant's stale range must not read past the list
  QuickSortRange(compare, sort_var, first, last);
}

void T3SortYieldingList::QuickSortRange(const T3SortCompare& compare, int32_t sort_var, int32_t first, int32_t last) {
  const bool ascending = fAscending[current_sort_rec.current_sort_doing];
  // The entry sorts before the base in the direction of this level.
  auto before = [&](int32_t k) {
    comparison_itemnum = k;
    const int32_t c = compare(Get(k));
    return ascending ? c < 0 : c > 0;
  };
  auto after = [&](int32_t k) {
    comparison_itemnum = k;
    const int32_t c = compare(Get(k));
    return ascending ? c > 0 : c < 0;
  };
  while (first < last) {
    MyYieldProcess();
    int32_t i = first, j = last;
    base_itemnum = static_cast<int32_t>((static_cast<uint32_t>(first) + static_cast<uint32_t>(last)) >> 1);
    SetBase(Get(base_itemnum), sort_var);
    do {
      // The bounds only matter for a comparison that is not a consistent order.
      while (i < last && before(i)) ++i;
      while (j > first && after(j)) --j;
      if (i <= j) {
        if (i != j) Exchange(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    // The smaller side by recursion, the larger by the loop, so the stack stays logarithmic; every part
    // still gets its own partition step and yield.
    if (j - first < last - i) {
      if (first < j) QuickSortRange(compare, sort_var, first, j);
      first = i;
    } else {
      if (i < last) QuickSortRange(compare, sort_var, i, last);
      last = j;
    }
  }
}

void T3SortYieldingList::DoASingleSort(const T3SortCompare& compare, int32_t sort_var, int32_t start, int32_t finish) {
  if (BusySorting) return;
  TBusyGuard busy(BusySorting);
  if (!CheckStartAndFinish(start, finish)) return;
  current_sort_rec.current_sort_doing = sort_first_sort;
  DoAPrivateSort(compare, sort_var, start, finish);
}

void T3SortYieldingList::DoASingleSort(const T3SortCompare& compare, int32_t sort_var) {
  DoASingleSort(compare, sort_var, 0, Count() - 1);
}

void T3SortYieldingList::DoADoubleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2,
                                       int32_t start, int32_t finish) {
  if (BusySorting) return;
  TBusyGuard busy(BusySorting);
  if (!CheckStartAndFinish(start, finish)) return;
  current_sort_rec.current_sort_doing = sort_first_sort;
  DoAPrivateSort(compare, sort_var1, start, finish);
  DoNextSort(compare, sort_var1, sort_var2, start, finish);
}

void T3SortYieldingList::DoADoubleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2) {
  DoADoubleSort(compare, sort_var1, sort_var2, 0, Count() - 1);
}

void T3SortYieldingList::DoATrebleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2,
                                       int32_t sort_var3, int32_t start, int32_t finish) {
  if (BusySorting) return;
  TBusyGuard busy(BusySorting);
  if (!CheckStartAndFinish(start, finish)) return;
  current_sort_rec.current_sort_doing = sort_first_sort;
  DoAPrivateSort(compare, sort_var1, start, finish);
  DoNextSort(compare, sort_var1, sort_var2, start, finish);
  current_sort_rec.current_sort_doing = sort_second_sort;
  DoNextSort(compare, sort_var2, sort_var3, start, finish);
}

void T3SortYieldingList::DoATrebleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2,
                                       int32_t sort_var3) {
  DoATrebleSort(compare, sort_var1, sort_var2, sort_var3, 0, Count() - 1);
}

void T3SortYieldingList::DoNextSort(const T3SortCompare& compare, int32_t prev_var, int32_t next_var, int32_t start,
                                    int32_t finish) {
  if (prev_var == next_var) return;
  if (!CheckStartAndFinish(start, finish)) return;
  const Tsort_num level = current_sort_rec.current_sort_doing;
  if (level == sort_third_sort) return;  // there is no level below the third
  current_sort_rec.current_sort_var = prev_var;
  int32_t i = start;
  do {
    base_itemnum = i;
    SetBase(Get(i), prev_var);
    int32_t k = i;
    while (k + 1 <= finish) {
      comparison_itemnum = k + 1;
      if (compare(Get(k + 1)) != 0) break;
      ++k;
    }
    if (k > i) {
      current_sort_rec.current_sort_doing = NextLevel(level);
      DoAPrivateSort(compare, next_var, i, k);
      current_sort_rec.current_sort_doing = level;
      current_sort_rec.current_sort_var = prev_var;
      i = k;
    } else {
      ++i;
    }
  } while (i < finish);
}

void T3SortNonYieldingList::DoAPrivateSort(const T3SortCompare& compare, int32_t sort_var, int32_t first,
                                           int32_t last) {
  // Put back even when a comparison throws.
  struct Restore {
    TYieldProcessProc saved;
    ~Restore() { Global_YieldProcessProc = std::move(saved); }
  } restore{std::move(Global_YieldProcessProc)};
  Global_YieldProcessProc = nullptr;
  T3SortYieldingList::DoAPrivateSort(compare, sort_var, first, last);
}

}  // namespace kx8
