#include "kx8rt/platform/object_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/quick_sort.h"

namespace kx8 {
namespace {

int CompareInts(void* a, void* b) {
  const int x = *static_cast<int*>(a), y = *static_cast<int*>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

std::vector<int> Values(const TList& list) {
  std::vector<int> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(*static_cast<int*>(list.Get(i)));
  return out;
}

TEST(TList, IndexErrorsCarryTheClassicMessage) {
  TList list;
  int a = 1;
  list.Add(&a);
  struct Case { const char* what; std::function<void()> call; const char* message; };
  const Case cases[] = {
      {"Get -1", [&] { list.Get(-1); }, "List index out of bounds (-1)"},
      {"Get Count", [&] { list.Get(1); }, "List index out of bounds (1)"},
      {"Put", [&] { list.Put(5, nullptr); }, "List index out of bounds (5)"},
      {"Delete", [&] { list.Delete(1); }, "List index out of bounds (1)"},
      {"Insert past end", [&] { list.Insert(2, nullptr); }, "List index out of bounds (2)"},
      {"Exchange", [&] { list.Exchange(0, 3); }, "List index out of bounds (3)"},
      {"Move", [&] { list.Move(-2, 0); }, "List index out of bounds (-2)"},
      {"SetCount", [&] { list.SetCount(-1); }, "List count out of bounds (-1)"},
      {"SetCapacity", [&] { list.SetCapacity(0); }, "List capacity out of bounds (0)"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << " did not raise";
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.what;
    }
  }
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(TList().Count(), 0);
  EXPECT_THROW(TList().First(), EListError);
}

TEST(TList, InsertMoveExchangeAndRemoveKeepOrder) {
  int v[5] = {0, 1, 2, 3, 4};
  TList list;
  for (int& x : v) list.Add(&x);
  list.Move(0, 3);  // 1 2 3 0 4
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 0, 4}));
  list.Move(4, 1);  // 1 4 2 3 0
  EXPECT_EQ(Values(list), (std::vector<int>{1, 4, 2, 3, 0}));
  list.Exchange(0, 4);
  EXPECT_EQ(Values(list), (std::vector<int>{0, 4, 2, 3, 1}));
  list.Insert(5, &v[2]);
  list.Insert(0, &v[3]);
  EXPECT_EQ(Values(list), (std::vector<int>{3, 0, 4, 2, 3, 1, 2}));
  EXPECT_EQ(list.IndexOf(&v[2]), 3);
  EXPECT_EQ(list.Remove(&v[2]), 3);
  EXPECT_EQ(list.IndexOf(&v[2]), 5);
  EXPECT_EQ(list.Extract(&v[0]), &v[0]);
  EXPECT_EQ(list.Extract(&v[0]), nullptr);
  EXPECT_EQ(Values(list), (std::vector<int>{3, 4, 3, 1, 2}));
}

TEST(TList, PackDropsNilSlotsAndClearReleasesCapacity) {
  int a = 1, b = 2;
  TList list;
  list.SetCount(3);
  list.Put(1, &a);
  list.Add(nullptr);
  list.Add(&b);
  list.Pack();
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));
  list.SetCapacity(100);
  EXPECT_GE(list.Capacity(), 100);
  list.SetCapacity(2);
  EXPECT_EQ(list.Capacity(), 2);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(TList, SortOrdersWithTheComparisonIncludingManyDuplicates) {
  std::mt19937 rng(42);
  for (int n : {0, 1, 2, 3, 17, 1000}) {
    for (int range : {3, 1000000}) {
      std::vector<int> v(static_cast<size_t>(n));
      for (int& x : v) x = static_cast<int>(rng() % static_cast<unsigned>(range));
      TList list;
      for (int& x : v) list.Add(&x);
      list.Sort(CompareInts);
      std::vector<int> want = v;
      std::sort(want.begin(), want.end());
      EXPECT_EQ(Values(list), want) << n << " " << range;
    }
  }
  TList list;
  EXPECT_THROW(list.Sort(nullptr), EListError);
}

TEST(QuickSortIndexed, InconsistentComparisonStaysInBoundsAndKeepsTheElements) {
  // A comparison that is not an order must neither read outside the range nor lose elements.
  std::vector<int> v(500);
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int>(i);
  std::mt19937 rng(7);
  QuickSortIndexed(
      0, static_cast<int64_t>(v.size()) - 1,
      [&](int64_t a, int64_t b) {
        EXPECT_TRUE(a >= 0 && a < 500 && b >= 0 && b < 500);
        return static_cast<int>(rng() % 3) - 1;
      },
      [&](int64_t a, int64_t b) { std::swap(v.at(static_cast<size_t>(a)), v.at(static_cast<size_t>(b))); });
  std::sort(v.begin(), v.end());
  for (size_t i = 0; i < v.size(); ++i) ASSERT_EQ(v[i], static_cast<int>(i));
}

}  // namespace
}  // namespace kx8
