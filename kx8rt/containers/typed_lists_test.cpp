#include "kx8rt/containers/typed_lists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kx8rt/platform/yield.h"

namespace kx8 {
namespace {

std::vector<int32_t> Values(const T1LongintList& l) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.GetAValue(i));
  return v;
}

// Keeps the process-wide sort direction for the length of a test.
struct DescendingFlagKept {
  const bool saved = global_descending_sort;
  ~DescendingFlagKept() { global_descending_sort = saved; }
};

// ---- family A ----

TEST(StringListWithALongint, SetTextStrSplitsWordTabCount) {
  TStringListWithALongint l;
  l.AddOne(u"old", 1);
  l.SetTextStr(u"the\t10\r\nof\n\t5\rand\tx\r\n");
  ASSERT_EQ(l.Count(), 4);
  EXPECT_EQ(l[0], u"the");
  EXPECT_EQ(l.GetOne(0), 10);
  EXPECT_EQ(l[1], u"of");
  EXPECT_EQ(l.GetOne(1), -1);
  EXPECT_EQ(l[2], u"\t5");  // a TAB at the start keeps the line whole
  EXPECT_EQ(l.GetOne(2), -1);
  EXPECT_EQ(l[3], u"and\tx");
  EXPECT_EQ(l.GetOne(3), -1);
  // Only the first TAB cuts; the rest must be an integer.
  l.SetTextStr(u"a\t1\t2\nb\t-7");
  EXPECT_EQ(l[0], u"a\t1\t2");
  EXPECT_EQ(l.GetOne(1), -7);
  // A list with its own line break splits on that only.
  l.SetLineBreak(u"|");
  l.SetTextStr(u"x\t3|y\n\t4");
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l[1], u"y\n");  // LF is no break here, so the TAB cuts the second line
  EXPECT_EQ(l.GetOne(1), 4);
}

TEST(StringListWithALongint, AddOrIncAndHighest) {
  TStringListWithALongint l;
  EXPECT_EQ(l.HighestFrequency(), 0);
  l.AddOrIncByOne(u"a", 5);
  EXPECT_EQ(l.AddOrIncByOne(u"A", 5), 0);  // case-insensitive by default
  EXPECT_EQ(l.GetOne(0), 6);
  l.AddOrIncFreq(u"b", 5);
  l.AddOrIncFreq(u"b", 5);
  EXPECT_EQ(l.GetOne(1), 10);
  l.AddOne(u"neg", -40);
  EXPECT_EQ(l.HighestFrequency(), 10);
  l.SortOnFreq();
  EXPECT_EQ(l[0], u"b");
  EXPECT_EQ(l.GetOne(-1), 0);
  EXPECT_EQ(l.GetOne(3), 0);
  l.SetOne(9, 1);
  l.FreeAndNilOne(0);
  EXPECT_EQ(l.Objects(0), nullptr);
  EXPECT_EQ(l.GetOne(0), 0);
  l.AddOne(u"b", 1);  // duplicates allowed
  EXPECT_EQ(l.Count(), 4);
}

TEST(StringListFamilies, OtherValueKinds) {
  const DescendingFlagKept kept;  // the frequency sort below sets the flag
  TStringListWithASingle s;
  s.AddOrIncByOne(u"x", 2.5f);
  s.AddOrIncByOne(u"x", 9.0f);
  EXPECT_FLOAT_EQ(s.GetOne(0), 3.5f);

  TStringListWithFreqPointers p;
  p.AddOne(u"a", 3);
  p.AddOne(u"c", 7);
  p.AddOne(u"b", 7);
  p.SortOnFreq();
  EXPECT_EQ(p[0], u"c");
  EXPECT_EQ(p[1], u"b");
  EXPECT_EQ(p.GetOne(2), 3);
  p.FreeAndNilOne(2);
  EXPECT_EQ(p.GetOne(2), 0);

  TStringListWith2LongintRec r;
  r.AddOne(u"p", {1, 5});
  r.AddOne(u"q", {2, 1});
  r.IncOne(0, t2_long0);
  r.AddToOneFreq(1, 9, t2_long1);
  r.AddToOneFreq(7, 4, t2_long1);
  EXPECT_EQ(r.Repeateds(t2_long0), 2);
  EXPECT_EQ(r.Repeateds(t2_long1), 2);
  r.SortOnFreq(t2_long1);
  EXPECT_EQ(r[0], u"q");
  EXPECT_EQ(r.GetOne(0).long1, 10);

  TStringListWithIntAndSingle is;
  is.AddOne(u"one", {1, 0.5f});
  is.AddOne(u"two", {2, 0.25f});
  is.SortOnSingleSort2Int(true);
  EXPECT_EQ(is.GetOneStrIntSingle(0).str, u"two");
  EXPECT_EQ(is.GetOneStrIntSingle(0).int_, 2);
  EXPECT_EQ(is.GetOneStrIntSingle(5).str, u"");

  TStringListWithDate d;
  d.AddOne(u"late", 45000);
  d.AddOne(u"early", 100);
  d.SortOnDates(true);
  EXPECT_EQ(d[0], u"early");
  EXPECT_EQ(d.GetOne(9), 0);
  d.Delete(0);
  EXPECT_EQ(d.Count(), 1);
}

std::vector<UnicodeString> Lines(const TStringList& l) {
  std::vector<UnicodeString> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

TEST(StringListWithStringAndIntList, SortsFollowTheFlagTheyFindAndLeaveIt) {
  const DescendingFlagKept kept;
  struct Row {
    bool descending;
    std::vector<UnicodeString> onInts, onSubStrings;
  };
  // Lines x (b, 2), y (a, 2), z (c, 1), w (a, 3): descending turns only the integer key of SortOnInts
  // round (equal integers stay in ascending order of their strings), but both keys of SortOnSubStrings.
  for (const Row& row : {Row{false, {u"z", u"y", u"x", u"w"}, {u"y", u"w", u"x", u"z"}},
                         Row{true, {u"w", u"y", u"x", u"z"}, {u"z", u"x", u"w", u"y"}}}) {
    TStringListWithStringAndIntList l;
    l.AddOne(u"x", {u"b", 2});
    l.AddOne(u"y", {u"a", 2});
    l.AddOne(u"z", {u"c", 1});
    l.AddOne(u"w", {u"a", 3});
    global_descending_sort = row.descending;
    l.SortOnInts();
    EXPECT_EQ(Lines(l), row.onInts) << row.descending;
    EXPECT_EQ(global_descending_sort, row.descending);
    l.SortOnSubStrings();
    EXPECT_EQ(Lines(l), row.onSubStrings) << row.descending;
    EXPECT_EQ(global_descending_sort, row.descending);
  }
}

TEST(StringListWithStringAndIntList, AfterAFrequencySortIntegersComeDescending) {
  const DescendingFlagKept kept;
  global_descending_sort = false;
  TStringListWithFreqPointers freq;
  freq.AddOne(u"a", 1);
  freq.AddOne(u"b", 2);
  freq.SortOnFreq();
  TStringListWithStringAndIntList l;
  for (int32_t i : {4, 9, 1, 7}) l.AddOne(IntToStr(i), {u"s", i});
  l.SortOnInts();
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"9", u"7", u"4", u"1"}));
}

TEST(StringListWithLongintList, AddsToEachLinesList) {
  TStringListWithLongintList l;
  EXPECT_EQ(l.AddOneOrAddToList(u"w", 3), 1);
  EXPECT_EQ(l.AddOneOrAddToList(u"w", 3), 1);
  EXPECT_EQ(l.GetOne(0)->GetAValue(0), 3);
  EXPECT_EQ(l.AddOneOrAddToList(u"w", 4), 2);
  EXPECT_EQ(l.AddOrIncByOne(u"w", 4), 2);
  EXPECT_EQ(l.GetOne(0)->GetAValue(1), 8);  // the held 4 had 4 added
  EXPECT_EQ(l.AddOrIncByOne(u"w", 5), 3);
  EXPECT_EQ(l.AddOrIncByOne(u"v", 5), 1);
  EXPECT_EQ(l.GetOne(2), nullptr);
  l.SortOnListCounts();
  EXPECT_EQ(l[0], u"w");
  l.Delete(0);
  EXPECT_EQ(l.Count(), 1);

  TStringListWith2LongintList p;
  EXPECT_EQ(p.AddOrAddPair(u"s", {2, 9}), 1);
  EXPECT_EQ(p.AddOrAddPair(u"s", {1, 9}), 2);
  EXPECT_EQ(p.AddOrAddPair(u"s", {1, 3}), 3);  // duplicates stay
  p.SortListOn(t2_long0);
  EXPECT_EQ(p.GetOne(0)->GetAValue(0).long1, 3);
  EXPECT_EQ(p.GetOne(0)->GetAValue(2).long0, 2);
  p.SortListOn(t2_long1);
  EXPECT_EQ(p.GetOne(0)->GetAValue(0).long0, 1);
  EXPECT_EQ(p.GetOne(0)->GetAValue(2).long0, 2);
}

// ---- family B ----

TEST(T1LongintList, SortedInsertionKeepsOrder) {
  struct Case {
    int32_t value;
    int32_t at;
  } const cases[] = {{4, 2}, {3, 1}, {0, 0}, {9, 6}};  // each on the list the previous ones left
  T1LongintList l;
  for (int32_t v : {5, 1, 3}) l.AddOne(v);
  EXPECT_EQ(Values(l), (std::vector<int32_t>{5, 1, 3}));  // unsorted: appended
  l.SortAscendingDefault();
  ASSERT_TRUE(l.sorted);
  for (const Case& c : cases) {
    EXPECT_EQ(l.AddOne(c.value), c.at) << c.value;
  }
  EXPECT_EQ(Values(l), (std::vector<int32_t>{0, 1, 3, 3, 4, 5, 9}));
  EXPECT_TRUE(l.sorted);
}

TEST(T1LongintList, FindNearestAndFree) {
  T1LongintList l;
  EXPECT_EQ(l.Find(3), -1);
  EXPECT_EQ(l.Nearest(), -1);
  for (int32_t v : {10, 20, 30, 40}) l.AddOne(v);
  l.SortAscendingDefault();
  EXPECT_EQ(l.Find(30), 2);
  EXPECT_EQ(l.Find(35), -1);
  EXPECT_TRUE(l.Nearest() == 2 || l.Nearest() == 3);
  EXPECT_EQ(l.IndexOf(40), 3);
  int calls = 0;
  Global_YieldProcessProc = [&] { ++calls; };
  l.Find(10);
  Global_YieldProcessProc = nullptr;
  EXPECT_GT(calls, 0);
  EXPECT_EQ(l.FindAndFree(20), 1);
  EXPECT_EQ(l.GetAValue(1), -999999);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l.GetAValue(99), -999999);
  auto copy = l.GetACopyOfSelf();
  EXPECT_EQ(Values(*copy), Values(l));
  l.AddToValue(0, 5);
  l.InsertOne(99, 1);  // out of range: nothing
  EXPECT_EQ(l.GetAValue(0), 15);
  EXPECT_EQ(l.Count(), 4);
}

TEST(TKXActiveLongintList, CurrentFollowsFrees) {
  TKXActiveLongintList l;
  EXPECT_EQ(l.CurrentItemValue(), -1);
  l.AddOneAndSetCountCurrent(7);
  l.AddOneAndSetCountCurrent(8);
  EXPECT_EQ(l.GetCurrentItem(), 1);
  EXPECT_EQ(l.CurrentItemValue(), 8);
  l.SortAscendingDefault();
  EXPECT_EQ(l.FindAndFree(8), 1);
  EXPECT_EQ(l.GetCurrentItem(), 0);
  EXPECT_EQ(l.FindAndFree(99), -1);
  l.Clear();
  EXPECT_EQ(l.GetCurrentItem(), -1);
}

TEST(MultiLongintLists, RecordsAndOutOfRange) {
  T3LongintList t;
  t.AddOne(T3_longint_rec{1, 2, 3});
  EXPECT_EQ(t.GetAValue(0).long2, 3);
  EXPECT_EQ(t.GetAValue(1).long0, -999999);
  EXPECT_EQ(t.GetAValue(1).long2, -999999);
  T6LongintList s;
  s.AddOne(T6_longint_rec{1, 2, 3, 4, 5, 6});
  s.SetAValue(0, T6_longint_rec{6, 5, 4, 3, 2, 1});
  EXPECT_EQ(s.GetAValue(0).long5, 1);
}

TEST(ScalarLists, FindIndexOfAndConversions) {
  TKXInt64List big;
  EXPECT_EQ(big.GetAValue(0), -1);
  for (int64_t v : {int64_t{5} << 40, int64_t{1}, int64_t{3} << 33}) big.AddOne(v);
  big.SortAscendingDefault();
  EXPECT_EQ(big.AddOne(int64_t{4} << 33), 2);
  EXPECT_EQ(big.FindInSorted(int64_t{5} << 40), 3);
  EXPECT_EQ(big.IndexOf(7), -1);

  TCardinalList c;
  c.AddOne(0xFFFFFFF0u);
  c.AddOne(2);
  EXPECT_EQ(c.IndexOf(2), 1);
  c.SortAscendingDefault();
  EXPECT_EQ(c.GetAValue(1), 0xFFFFFFF0u);  // unsigned order
  EXPECT_EQ(c.Find(0xFFFFFFF0u), 1);
  EXPECT_EQ(c.GetAValue(9), 0u);

  TDoublesList d;
  d.AddOne(0.1);
  EXPECT_EQ(d.GetAValue(0), static_cast<double>(0.1f));  // single precision kept
  d.InsertOne(0, 2.0);
  d.SortAscendingDefault();
  EXPECT_EQ(d.Find(2.0), 1);
  d.AddOne(2.0);
  d.RemoveDuplicates();
  EXPECT_EQ(d.Count(), 2);

  TSinglesList f;
  f.AddOne(1.5f);
  EXPECT_EQ(f.IndexOf(1.5f), 0);
  EXPECT_EQ(f.GetAValue(-1), 0.0f);
}

TEST(CardinalAndFreqList, CountsAndKeepsSortedPlaces) {
  TCardinalAndFreqList l;
  l.AddOneOrIncFreq({9, 1});
  l.AddOneOrIncFreq({3, 1});
  l.AddOneOrIncFreq({9, 1});
  EXPECT_EQ(l.GetACardAndFreq(0).f, 2);
  l.SortOnCardinals();
  EXPECT_EQ(l.AddOneOrIncFreq({5, 1}), 1);
  EXPECT_EQ(l.AddOneOrIncFreq({1, 1}), 0);
  EXPECT_EQ(l.Find(9), 3);
  const bool saved = global_descending_sort;
  l.SortOnFrequencies(true);
  EXPECT_EQ(l.GetACardAndFreq(0).c, 9u);
  global_descending_sort = saved;
  EXPECT_EQ(l.GetACardAndFreq(8).c, 0u);
}

TEST(OtherValueLists, SinglesCursorsColumnsAndPointers) {
  T2LongintAndSingleList ts;
  ts.AddOne({{1, 2}, 0.75f});
  ts.AddOne({{3, 4}, 0.25f});
  EXPECT_EQ(ts.IndexOfInteger1(4), 1);
  ts.SortAscendingDefault();
  EXPECT_EQ(ts.Find(0.75f), 1);
  EXPECT_EQ(ts.IndexOfSingle(0.5f), -1);

  TWordFreqAndSourceNumList w;
  w.AddOne({u"a", 3, 1});
  w.AddOne({u"b", 8, 2});
  EXPECT_EQ(w.HighestFrequency(), 8);
  w.SortOnFreqs();
  EXPECT_EQ(w.GetNext().w, u"b");
  EXPECT_EQ(w.GetNext().w, u"a");
  EXPECT_EQ(w.GetNext().f, 0);  // past the end: zero record, cursor moves on
  EXPECT_EQ(w.Cursor(), 3);
  w.Clear();
  EXPECT_EQ(w.Cursor(), 0);

  TIntegerAnd3CardinalsList ic;
  ic.AddOne({-1, {1, 2, 3}});
  ic.AddOne({5, {4, 5, 6}});
  ic.SortAscendingDefault();
  EXPECT_EQ(ic.GetAValue(1).freq, -1);  // freq is unsigned here
  ic.SetAFreq(1, 2);
  EXPECT_EQ(ic.GetAValue(1).freq, 2);

  TStringColumnAndColourList sc;
  sc.AddOne({4, 0xFF, u"x"});
  sc.SetATrueColumn(0, 7);
  EXPECT_EQ(sc.IndexOfTrueColumn(7), 0);
  EXPECT_EQ(sc.IndexOfTrueColumn(4), -1);
  EXPECT_EQ(sc.GetAString(3), u"");

  int a = 0, b = 0;
  TDoublePointerList dp;
  dp.AddOne({&a, &b});
  EXPECT_EQ(dp.GetADoublePointer(0).p2, &b);
  EXPECT_EQ(dp.GetADoublePointer(1).p1, nullptr);

  T2StringsAnd2IntegersList s2;
  s2.AddOne({1, 2, u"p", u"q"});
  EXPECT_EQ(s2.GetTwoStringsAndInt(0).s2, u"q");
  EXPECT_EQ(s2.GetTwoStringsAndInt(1).int1, 0);
}

TEST(TSmallintList, StreamsBareValues) {
  TSmallintList l;
  for (int16_t v : {int16_t{-2}, int16_t{300}, int16_t{7}}) l.AddOne(v);
  TBytesStream s;
  ASSERT_TRUE(l.SaveToStream(s));
  ASSERT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Bytes()[0], 0xFE);
  s.SetPosition(0);
  TSmallintList back;
  ASSERT_TRUE(back.ReadFromStream(3, s));
  EXPECT_EQ(back.GetAValue(0), -2);
  EXPECT_EQ(back.GetAValue(1), 300);
  s.SetPosition(3);
  TSmallintList cut;
  EXPECT_FALSE(cut.ReadFromStream(3, s));  // 3 bytes left: one value, then a short read
  EXPECT_EQ(cut.Count(), 1);
  s.SetPosition(0);
  EXPECT_TRUE(cut.ReadFromStream(-5, s));  // a negative count reads nothing
  EXPECT_TRUE(cut.ReadFromStream(65536, s));  // taken as 16 bits: 0
  EXPECT_EQ(cut.Count(), 1);
}

TEST(FreeRoutines, HeadersAndByteDivisions) {
  const auto h = HeadersOfN({u"N", u"Word", u"Freq"}, {at_integer, at_string}, {10, 30});
  ASSERT_EQ(h.size(), 3u);
  EXPECT_EQ(h[1].kind, at_string);
  EXPECT_EQ(h[1].i, 30);
  EXPECT_EQ(h[2].kind, at_integer);
  EXPECT_EQ(h[2].i, 60);
  EXPECT_EQ(HeadersOfN({u"a"}, {}, {200})[0].i, 1);
  EXPECT_TRUE(HeadersOfN({}, {at_date}, {5}).empty());

  EXPECT_EQ(ComputedByteDivisions(1000, 4), (std::vector<int64_t>{250, 500, 750, 1000}));
  EXPECT_TRUE(ComputedByteDivisions(1000, 0).empty());
  // A step held as a 32-bit float: 10^10 / 3 rounds, so the last boundary is off by the float's step.
  const auto big = ComputedByteDivisions(10'000'000'000, 3);
  EXPECT_EQ(big.back(), static_cast<int64_t>(std::nearbyint(3.0 * double(float(10'000'000'000 / 3.0)))));
  EXPECT_NE(big.back(), 10'000'000'000);
  EXPECT_EQ(ComputedByteDivisions(5, 2), (std::vector<int64_t>{2, 5}));  // 2.5 rounds to even

  T2_longint_rec x{1, 2}, y{3, 4};
  ExchangeTwoDoubleLongintRecs(x, y);
  EXPECT_EQ(x.long0, 3);
  EXPECT_EQ(IntegerAndSingleForScoringRecToIntegerAndSingleRec({4, 0.5f}).int_, 4);
}

}  // namespace
}  // namespace kx8
