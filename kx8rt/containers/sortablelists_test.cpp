#include "kx8rt/containers/sortablelists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "kx8rt/platform/yield.h"

namespace kx8 {
namespace {

// Puts the yield hook back after a test.
struct YieldGuard {
  TYieldProcessProc saved = Global_YieldProcessProc;
  ~YieldGuard() { Global_YieldProcessProc = saved; }
};

struct Row {
  int32_t key[3];
  int32_t id;
};

// A descendant as a tool writes one: sort_var names a key column; the comparison at a lower level
// also holds the keys of the levels above equal, so that runs never cross an upper key's boundary.
class TRowList : public T3SortYieldingList {
 public:
  std::vector<Row> rows;
  int32_t vars[3] = {0, 1, 2};
  const Row* base = nullptr;
  int32_t partitionDepth = 0;
  int32_t partitionBases = 0;  // SetBase calls made by partition steps (not by the run finder)
  int32_t comparisons = 0;

  void Fill(std::vector<Row> r) {
    rows = std::move(r);
    Clear();
    for (auto& row : rows) Add(&row);
  }
  void SetBase(void* item, int32_t) override {
    base = static_cast<const Row*>(item);
    if (partitionDepth > 0) ++partitionBases;
  }
  void DoAPrivateSort(const T3SortCompare& c, int32_t v, int32_t first, int32_t last) override {
    ++partitionDepth;
    T3SortYieldingList::DoAPrivateSort(c, v, first, last);
    --partitionDepth;
  }
  T3SortCompare Compare() {
    return [this](void* item) {
      ++comparisons;
      const Row& r = *static_cast<const Row*>(item);
      const int level = current_sort_rec.current_sort_doing;
      for (int l = 0; l < level; ++l)
        if (r.key[vars[l]] != base->key[vars[l]]) return r.key[vars[l]] < base->key[vars[l]] ? -1 : 1;
      const int32_t v = current_sort_rec.current_sort_var;
      return r.key[v] - base->key[v];
    };
  }
  std::vector<int32_t> Ids() const {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < Count(); ++i) out.push_back(static_cast<const Row*>(Get(i))->id);
    return out;
  }
};

std::vector<Row> RandomRows(int n, int range, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> d(0, range - 1);
  std::vector<Row> rows;
  for (int i = 0; i < n; ++i) rows.push_back({{d(gen), d(gen), d(gen)}, i});
  return rows;
}

TEST(T3SortYieldingList, TrebleSortOnRunsMatchesALexicographicOrder) {
  YieldGuard guard;
  int yields = 0;
  Global_YieldProcessProc = [&] { ++yields; };
  // Keys 2, 0, 1 with each mixture of directions; few distinct values make long runs at every level.
  for (int dirs = 0; dirs < 8; ++dirs) {
    TRowList list;
    list.Fill(RandomRows(600, 4, 17 + dirs));
    const bool asc[3] = {(dirs & 1) != 0, (dirs & 2) != 0, (dirs & 4) != 0};
    list.SetAscending(asc[0], asc[1], asc[2]);
    list.vars[0] = 2, list.vars[1] = 0, list.vars[2] = 1;
    yields = 0;
    list.DoATrebleSort(list.Compare(), 2, 0, 1);
    // Each key compared in its level's direction; rows equal on all three may come in any order.
    auto key = [&](const Row& r) {
      return std::make_tuple(asc[0] ? r.key[2] : -r.key[2], asc[1] ? r.key[0] : -r.key[0], asc[2] ? r.key[1] : -r.key[1]);
    };
    for (int32_t i = 1; i < list.Count(); ++i)
      ASSERT_LE(key(*static_cast<const Row*>(list.Get(i - 1))), key(*static_cast<const Row*>(list.Get(i))))
          << "directions " << dirs << " at " << i;
    std::vector<int32_t> ids = list.Ids();
    std::sort(ids.begin(), ids.end());
    for (int32_t i = 0; i < 600; ++i) ASSERT_EQ(ids[i], i);  // nothing lost or doubled
    // One yield per partition step, at every level, and none for the run finder's comparisons.
    EXPECT_GT(yields, 3 * 4);
    EXPECT_EQ(yields, list.partitionBases) << "directions " << dirs;
    EXPECT_TRUE(list.sorted);
    EXPECT_FALSE(list.BusySorting);
  }
}

TEST(T3SortYieldingList, PartitionStepsOnASmallList) {
  YieldGuard guard;
  int yields = 0;
  Global_YieldProcessProc = [&] { ++yields; };
  TRowList list;
  list.SetAscending(true, true, true);
  // 3 entries already in order: one partition around the middle entry settles them.
  list.Fill({{{1, 0, 0}, 0}, {{2, 0, 0}, 1}, {{3, 0, 0}, 2}});
  list.DoASingleSort(list.Compare(), 0);
  EXPECT_EQ(yields, 1);
  EXPECT_EQ(list.base_itemnum, 1);
  // 7 reversed entries.
  yields = 0;
  list.partitionBases = 0;
  list.Fill({{{7, 0, 0}, 0}, {{6, 0, 0}, 1}, {{5, 0, 0}, 2}, {{4, 0, 0}, 3}, {{3, 0, 0}, 4}, {{2, 0, 0}, 5}, {{1, 0, 0}, 6}});
  list.DoASingleSort(list.Compare(), 0);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{6, 5, 4, 3, 2, 1, 0}));
  EXPECT_EQ(yields, list.partitionBases);
  EXPECT_GE(yields, 3);
}

TEST(T3SortYieldingList, ReentrantSortIsIgnored) {
  YieldGuard guard;
  TRowList list;
  list.SetAscending(true, true, true);
  list.Fill(RandomRows(50, 100, 3));
  int innerComparisons = 0;
  T3SortCompare inner = [&](void*) { return ++innerComparisons, 1; };
  // From the comparison of a running sort ...
  const T3SortCompare outer = list.Compare();
  bool tried = false;
  list.DoASingleSort([&](void* item) {
    if (!tried) {
      tried = true;
      list.DoASingleSort(inner, 1);
      list.DoATrebleSort(inner, 1, 2, 0);
    }
    return outer(item);
  }, 0);
  // ... and from the yield hook.
  Global_YieldProcessProc = [&] { list.DoADoubleSort(inner, 2, 1); };
  list.DoASingleSort(list.Compare(), 0);
  EXPECT_TRUE(tried);
  EXPECT_EQ(innerComparisons, 0);
  for (int32_t i = 1; i < list.Count(); ++i)
    EXPECT_LE(static_cast<const Row*>(list.Get(i - 1))->key[0], static_cast<const Row*>(list.Get(i))->key[0]);
  // Once the sort is over a new one runs.
  Global_YieldProcessProc = nullptr;
  list.DoASingleSort(list.Compare(), 1);
  EXPECT_FALSE(list.BusySorting);
  for (int32_t i = 1; i < list.Count(); ++i)
    EXPECT_LE(static_cast<const Row*>(list.Get(i - 1))->key[1], static_cast<const Row*>(list.Get(i))->key[1]);
}

TEST(T3SortYieldingList, RangesAndShortLists) {
  TRowList list;
  list.SetAscending(true, false, false);
  for (int n : {0, 1}) {
    list.Fill(RandomRows(n, 5, 1));
    list.comparisons = 0;
    list.DoASingleSort(list.Compare(), 0);
    list.DoADoubleSort(list.Compare(), 0, 1);
    list.DoATrebleSort(list.Compare(), 0, 1, 2);
    EXPECT_EQ(list.comparisons, 0) << n;
    EXPECT_FALSE(list.sorted);
  }
  list.Fill({{{4, 0, 0}, 0}, {{3, 0, 0}, 1}, {{1, 0, 0}, 2}, {{2, 0, 0}, 3}});
  list.DoASingleSort(list.Compare(), 0, -5, 10);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{2, 3, 1, 0}));
  // A sub-range leaves the rest alone.
  list.Fill({{{4, 0, 0}, 0}, {{3, 0, 0}, 1}, {{1, 0, 0}, 2}, {{2, 0, 0}, 3}});
  list.DoASingleSort(list.Compare(), 0, 1, 2);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{0, 2, 1, 3}));

  int32_t s = -5, f = 10;
  EXPECT_TRUE(list.CheckStartAndFinish(s, f));
  EXPECT_EQ(s, 0);
  EXPECT_EQ(f, 3);
  s = 2, f = 2;
  EXPECT_FALSE(list.CheckStartAndFinish(s, f));
}

TEST(T3SortYieldingList, DirectionsAndEqualKeys) {
  TRowList list;
  // Descending first level: a comparison of entry minus base orders largest first.
  list.Fill({{{2, 0, 0}, 0}, {{9, 0, 0}, 1}, {{5, 0, 0}, 2}});
  list.DoASingleSort(list.Compare(), 0);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{1, 2, 0}));
  EXPECT_TRUE(list.ToggledMainSortAscending());
  list.DoASingleSort(list.Compare(), 0);
  EXPECT_EQ(list.Ids(), (std::vector<int32_t>{0, 2, 1}));
  EXPECT_EQ(list.AscendingSwapped(7), -7);
  list.SetSortToAscend(sort_first_sort, false);
  EXPECT_EQ(list.AscendingSwapped(7), 7);

  // Equal first and second keys: the second level never runs.
  list.SetAscending(true, true, true);
  list.Fill(RandomRows(40, 3, 9));
  bool secondLevelSeen = false;
  const T3SortCompare c = list.Compare();
  list.DoADoubleSort([&](void* item) {
    secondLevelSeen |= list.current_sort_rec.current_sort_doing != sort_first_sort;
    return c(item);
  }, 0, 0);
  EXPECT_FALSE(secondLevelSeen);
}

class TIntNonYieldingList : public T3SortNonYieldingList {
 public:
  int32_t base = 0;
  void SetBase(void* item, int32_t) override { base = *static_cast<int32_t*>(item); }
};

TEST(T3SortNonYieldingList, HookOffDuringTheSortAndBackAfter) {
  YieldGuard guard;
  int yields = 0;
  Global_YieldProcessProc = [&] { ++yields; };
  TIntNonYieldingList list;
  list.SetAscending(true, true, true);
  std::vector<int32_t> values = {5, 3, 8, 1, 9, 2, 7};
  for (auto& v : values) list.Add(&v);
  bool hookSeenEmpty = true;
  list.DoASingleSort([&](void* item) {
    hookSeenEmpty &= !Global_YieldProcessProc;
    return *static_cast<int32_t*>(item) - list.base;
  }, 0);
  for (int32_t i = 1; i < list.Count(); ++i)
    EXPECT_LT(*static_cast<int32_t*>(list.Get(i - 1)), *static_cast<int32_t*>(list.Get(i)));
  EXPECT_EQ(yields, 0);
  EXPECT_TRUE(hookSeenEmpty);
  ASSERT_TRUE(Global_YieldProcessProc);
  MyYieldProcess();
  EXPECT_EQ(yields, 1);
}

}  // namespace
}  // namespace kx8
