// Three-key sortable lists: pointer lists (entries owned by the descendant) with a quick sort that
// yields to the user interface at every partition step, compares entries with a remembered base entry
// and sorts on a second and third key by sorting each run of entries equal on the key before.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "kx8rt/platform/object_list.h"

namespace kx8 {

// The sort level.
enum Tsort_num : uint8_t { sort_first_sort, sort_second_sort, sort_third_sort };
// Per level, true for ascending.
using TAscendingSort = std::array<bool, 3>;

// The level being sorted now and the caller's number for its key (a column number, say).
struct TCurrentSortRec {
  Tsort_num current_sort_doing = sort_first_sort;
  int32_t current_sort_var = 0;
};

// Compares an entry with the base entry last given to SetBase, under the key current_sort_rec names:
// negative when the entry sorts before the base, 0 when equal, positive when after.
using T3SortCompare = std::function<int32_t(void* Item)>;

// A pointer list sorted on up to three keys, yielding (MyYieldProcess) once per partition step. The
// entries belong to the descendant; the list never creates or frees them, and they must not be added
// or removed while a sort runs.
class T3SortYieldingList : public TList {
 public:
  T3SortYieldingList() = default;

  // True while a Do...Sort runs; a sort asked for meanwhile (from a comparison or the yield hook) is ignored.
  bool BusySorting = false;
  TAscendingSort fAscending{};  // all descending until set
  TCurrentSortRec current_sort_rec;
  // True once any sort has run; never set back.
  bool sorted = false;
  // The entry being compared with the base at this moment, and the base (pivot) entry.
  int32_t comparison_itemnum = 0;
  int32_t base_itemnum = 0;

  // The direction of the three levels in order.
  void SetAscending(bool a1, bool a2, bool a3);
  void SetSortToAscend(Tsort_num level, bool ascending);
  // Inverts the direction of the first level and returns the new value.
  bool ToggledMainSortAscending();
  // -n when the level being sorted is ascending, n otherwise; for descendants' comparisons.
  int32_t AscendingSwapped(int32_t n) const;
  // Clamps start to 0 and finish to Count-1; true when something is left to sort (finish > start).
  bool CheckStartAndFinish(int32_t& start, int32_t& finish) const;

  // Quick sort of first..last on key sort_var at the level current_sort_rec names (no guard, no range check).
  virtual void DoAPrivateSort(const T3SortCompare& compare, int32_t sort_var, int32_t first, int32_t last);
  // Told of each new base entry before the comparisons against it; does nothing here.
  virtual void SetBase(void* item, int32_t sort_var);
  // One key over start..finish (clamped to the list), or over the whole list.
  virtual void DoASingleSort(const T3SortCompare& compare, int32_t sort_var, int32_t start, int32_t finish);
  virtual void DoASingleSort(const T3SortCompare& compare, int32_t sort_var);
  // Two keys: the first, then the second on runs equal on the first.
  virtual void DoADoubleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2, int32_t start,
                             int32_t finish);
  virtual void DoADoubleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2);
  // Three keys: as the double sort, then the third on runs equal at the second level.
  virtual void DoATrebleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2, int32_t sort_var3,
                             int32_t start, int32_t finish);
  virtual void DoATrebleSort(const T3SortCompare& compare, int32_t sort_var1, int32_t sort_var2, int32_t sort_var3);

  // Sorts by next_var (one level down) each run of adjacent entries in start..finish that the comparison
  // at the current level, on prev_var, calls equal. Nothing when prev_var = next_var.
  void DoNextSort(const T3SortCompare& compare, int32_t prev_var, int32_t next_var, int32_t start, int32_t finish);

 private:
  // The partition loop of DoAPrivateSort.
  void QuickSortRange(const T3SortCompare& compare, int32_t sort_var, int32_t first, int32_t last);
};

// The same list, but the yield hook is switched off while each sort runs and put back afterwards.
class T3SortNonYieldingList : public T3SortYieldingList {
 public:
  void DoAPrivateSort(const T3SortCompare& compare, int32_t sort_var, int32_t first, int32_t last) override;
};

}  // namespace kx8
