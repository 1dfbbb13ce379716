#include "kx8rt/containers/useful_classes_stringlist_sorts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

// Restores the process-wide sort keys a test changes.
struct SortFlagsGuard {
  bool descending = global_descending_sort;
  T2LongintSort which = temp_Sort_which2;
  ~SortFlagsGuard() {
    global_descending_sort = descending;
    temp_Sort_which2 = which;
  }
};

// A list of tagged lines: the tag of each line is its position when the list was filled, so the order
// after a sort reads as a string of tags ("2 0 1").
struct Tagged {
  TStringList list{true};
  std::vector<const TObject*> objects;  // by tag; integers and empty slots are tagged by line text

  void Add(const char16_t* line, std::unique_ptr<TObject> o) {
    objects.push_back(o.get());
    list.AddObject(line, std::move(o));
  }
  std::string Order() const {
    std::string out;
    for (int32_t i = 0; i < list.Count(); ++i) {
      if (!out.empty()) out += ' ';
      const TObject* o = list.SlotHoldsInteger(i) ? nullptr : list.Objects(i);
      size_t tag = 0;
      while (tag < objects.size() && objects[tag] != o) ++tag;
      out += o ? std::to_string(tag) : Utf16ToUtf8(list.Get(i));
    }
    return out;
  }
};

std::unique_ptr<TObject> SI(const char16_t* s, int32_t i) { return std::make_unique<TStringAndIntegerHolder>(TStringAndIntegerRec{s, i}); }
std::unique_ptr<TObject> MSD(float mean, float sd) {
  return std::make_unique<TStringAndMeanAndSD_recHolder>(TStringAndMeanAndSD_rec{{mean, sd}, {}});
}
std::unique_ptr<TObject> TwoL(int32_t a, int32_t b) { return std::make_unique<TTwoLongIntHolder>(T2_longint_rec{a, b}); }
std::unique_ptr<TObject> IS(int32_t i, float s) { return std::make_unique<TIntegerAndSingleHolder>(TIntegerAndSingleRec{i, s}); }
std::unique_ptr<TObject> IIS(int32_t a, int32_t b, float s) {
  return std::make_unique<T2IntsAndSingleHolder>(T2LongintAndSingleRec{{a, b}, s});
}
// The plain record holder, which the two-integer routines also accept.
std::unique_ptr<TObject> IISRec(int32_t a, int32_t b, float s) {
  return std::make_unique<TRecordHolder<T2LongintAndSingleRec>>(T2LongintAndSingleRec{{a, b}, s});
}

const float kNaN = std::nanf("");

struct SortCase {
  const char* name;
  TStringListSortCompare routine;
  T2LongintSort which;
  std::function<void(Tagged&)> fill;
  const char* ascending;   // order with global_descending_sort false
  const char* descending;  // order with it true
};

TEST(StringListSorts, EachRoutineKeysTieBreaksAndDescendingFlag) {
  SortFlagsGuard guard;
  const std::vector<SortCase> cases = {
      // Only the integer turns round; equal integers keep s ascending.
      {"Sort_Int", StringListWithStringAndInteger_Sort_Int, t2_long0,
       [](Tagged& t) { t.Add(u"a", SI(u"x", 2)); t.Add(u"b", SI(u"z", 1)); t.Add(u"c", SI(u"w", 2)); },
       "1 2 0", "2 0 1"},
      {"Sort_Substring", StringListWithStringAndInteger_Sort_Substring, t2_long0,
       [](Tagged& t) { t.Add(u"a", SI(u"m", 2)); t.Add(u"b", SI(u"m", 1)); t.Add(u"c", SI(u"k", 5)); },
       "2 1 0", "0 1 2"},
      {"MeanAndSD", StringListWithStringAndMeanAndSD_recDescending, t2_long0,
       [](Tagged& t) { t.Add(u"a", MSD(1, 2)); t.Add(u"b", MSD(3, 1)); t.Add(u"c", MSD(1, 0.5f)); },
       "1 2 0", "1 2 0"},
      {"Long0", StringListWithDoubleLongintListSortOn_Long0, t2_long0,
       [](Tagged& t) { t.Add(u"b", TwoL(5, 1)); t.Add(u"a", TwoL(5, 1)); t.Add(u"c", TwoL(7, 9)); t.Add(u"d", TwoL(5, 0)); },
       "2 3 1 0", "2 3 1 0"},
      {"Long1", StringListWithDoubleLongintListSortOn_Long1, t2_long0,
       [](Tagged& t) { t.Add(u"b", TwoL(1, 5)); t.Add(u"a", TwoL(1, 5)); t.Add(u"c", TwoL(9, 7)); t.Add(u"d", TwoL(0, 5)); },
       "2 3 1 0", "2 3 1 0"},
      // Equal int: the larger score first.
      {"IntAndSingle_Int", SListWIntAndSingleSortOn_Int, t2_long0,
       [](Tagged& t) { t.Add(u"x", IS(5, 0.5f)); t.Add(u"y", IS(5, 0.9f)); t.Add(u"z", IS(3, 0.1f)); },
       "2 1 0", "0 1 2"},
      {"IntAndSingle_Single_Sort2_Int", SListWIntAndSingleSortOn_Single_Sort2_Int, t2_long0,
       [](Tagged& t) { t.Add(u"a", IS(2, 0.5f)); t.Add(u"b", IS(1, 0.5f)); t.Add(u"c", IS(0, 0.1f)); },
       "2 1 0", "0 1 2"},
      // A not-a-number score ties and falls through to the integer.
      {"IntAndSingle_NaN_falls_through", SListWIntAndSingleSortOn_Single_Sort2_Int, t2_long0,
       [](Tagged& t) { t.Add(u"a", IS(2, kNaN)); t.Add(u"b", IS(1, 0.5f)); t.Add(u"c", IS(3, 0.5f)); },
       "1 0 2", "2 0 1"},
      {"IntAndSingle_Single_Sort2_String", SListWIntAndSingleSortOn_Single_Sort2_String, t2_long0,
       [](Tagged& t) { t.Add(u"b", IS(9, 0.5f)); t.Add(u"a", IS(1, 0.5f)); t.Add(u"c", IS(0, 0.9f)); },
       "1 0 2", "2 0 1"},
      // Lines stay ascending; only the score between equal lines turns round.
      {"IntAndSingle_Strings", SListWIntAndSingleSortOn_Strings, t2_long0,
       [](Tagged& t) { t.Add(u"b", IS(0, 1)); t.Add(u"a", IS(0, 0.2f)); t.Add(u"a", IS(0, 0.7f)); },
       "1 2 0", "2 1 0"},
      {"IntsAndSingle_Int_long1", SListWIntsAndSingleSortOn_Int, t2_long1,
       [](Tagged& t) { t.Add(u"a", IIS(9, 1, 0.2f)); t.Add(u"b", IIS(0, 1, 0.8f)); t.Add(u"c", IISRec(5, 0, 0.1f)); },
       "2 1 0", "0 1 2"},
      {"IntsAndSingle_Int_long0", SListWIntsAndSingleSortOn_Int, t2_long0,
       [](Tagged& t) { t.Add(u"a", IIS(9, 1, 0.2f)); t.Add(u"b", IIS(0, 1, 0.8f)); t.Add(u"c", IISRec(5, 0, 0.1f)); },
       "1 2 0", "0 2 1"},
      {"IntsAndSingle_Single_Sort2Int", SListWIntsAndSingleSortOn_Single_Sort2Int, t2_long1,
       [](Tagged& t) { t.Add(u"a", IIS(0, 3, 0.5f)); t.Add(u"b", IIS(7, 2, 0.5f)); t.Add(u"c", IIS(0, 9, 0.1f)); },
       "2 1 0", "0 1 2"},
      {"IntsAndSingle_Single_Sort2_String", SListWIntsAndSingleSortOn_Single_Sort2_String, t2_long0,
       [](Tagged& t) { t.Add(u"b", IIS(0, 0, 0.5f)); t.Add(u"a", IIS(0, 0, 0.5f)); t.Add(u"c", IIS(0, 0, 0.1f)); },
       "2 1 0", "0 1 2"},
      {"IntsAndSingle_Strings", SListWIntsAndSingleSortOn_Strings, t2_long0,
       [](Tagged& t) { t.Add(u"a", IIS(0, 0, 0.2f)); t.Add(u"a", IIS(0, 0, 0.7f)); t.Add(u"b", IIS(0, 0, 0)); },
       "1 0 2", "2 0 1"},
      {"ALongint_Freq", StringListWithALongintSortOn_Freq, t2_long0,
       [](Tagged& t) { t.Add(u"a", std::make_unique<TLongIntHolder>(3)); t.Add(u"b", std::make_unique<TLongIntHolder>(9));
                       t.Add(u"c", std::make_unique<TLongIntHolder>(-1)); },
       "1 0 2", "1 0 2"},
      {"Single_Freq", StringListWithSingleSortOn_Freq, t2_long0,
       [](Tagged& t) { t.Add(u"a", std::make_unique<TSingleHolder>(0.3f)); t.Add(u"b", std::make_unique<TSingleHolder>(0.9f));
                       t.Add(u"c", std::make_unique<TSingleHolder>(-2)); },
       "1 0 2", "1 0 2"},
      {"Date", SListSortOn_Date, t2_long0,
       [](Tagged& t) { t.Add(u"b", std::make_unique<TDateTimeHolder>(40000.5)); t.Add(u"a", std::make_unique<TDateTimeHolder>(40000.5));
                       t.Add(u"c", std::make_unique<TDateTimeHolder>(39000)); },
       "2 1 0", "0 1 2"},
      // Ordinal, case-sensitive: "B" (0x42) before "a" (0x61).
      {"Strings", SListSortOn_Strings, t2_long0,
       [](Tagged& t) { t.Add(u"a", IS(0, 0)); t.Add(u"B", IS(0, 0)); t.Add(u"ab", IS(0, 0)); },
       "1 0 2", "2 0 1"},
      {"ListCounts", StringListWithLongintListSortOn_ListCounts, t2_long0,
       [](Tagged& t) {
         for (int n : {1, 3, 0}) {
           auto l = std::make_unique<TList>();
           for (int k = 0; k < n; ++k) l->Add(nullptr);
           t.Add(u"x", std::move(l));
         }
       },
       "1 0 2", "1 0 2"},
      // A slot without the expected holder compares as the zero record.
      {"Wrong holder is zero", SListWIntAndSingleSortOn_Int, t2_long0,
       [](Tagged& t) { t.Add(u"a", IS(5, 0)); t.Add(u"b", TwoL(-9, -9)); t.Add(u"c", IS(-1, 0)); },
       "2 1 0", "0 1 2"},
  };
  for (const auto& c : cases) {
    for (bool descending : {false, true}) {
      Tagged t;
      c.fill(t);
      global_descending_sort = descending;
      temp_Sort_which2 = c.which;
      t.list.CustomSort(c.routine);
      EXPECT_EQ(t.Order(), descending ? c.descending : c.ascending) << c.name << (descending ? " descending" : "");
    }
  }
}

TEST(StringListSorts, SameIndexIsEqualWithoutReadingTheList) {
  SortFlagsGuard guard;
  TStringList empty;  // any read would raise: the list has no lines
  for (auto routine : {StringListWithStringAndInteger_Sort_Int, SListWIntsAndSingleSortOn_Strings, StringListCompare_Freq,
                       StringListWithLongintListSortOn_ListCounts, SListSortOn_Date})
    EXPECT_EQ(routine(empty, 3, 3), 0);
}

TEST(StringListSorts, FreqInSlotsAndTheFlagCarriedToTheNextSort) {
  SortFlagsGuard guard;
  TStringList freq;
  freq.AddInteger(u"b", 2);
  freq.AddInteger(u"a", 2);
  freq.AddInteger(u"c", 1);
  // A frequency list sorts with the flag set (largest first, then lines descending) ...
  global_descending_sort = true;
  freq.CustomSort(StringListCompare_Freq);
  EXPECT_EQ(freq.Text(), u"b\r\na\r\nc\r\n");
  // ... and a following sort that does not set it still runs descending.
  Tagged t;
  t.Add(u"a", SI(u"x", 1));
  t.Add(u"b", SI(u"x", 7));
  t.list.CustomSort(StringListWithStringAndInteger_Sort_Int);
  EXPECT_EQ(t.Order(), "1 0");
  global_descending_sort = false;
  freq.CustomSort(StringListCompare_Freq);
  EXPECT_EQ(freq.Text(), u"c\r\na\r\nb\r\n");
  // An object where a frequency should be is an error, not a misread.
  TStringList wrong(true);
  wrong.AddObject(u"a", std::make_unique<TLongIntHolder>(1));
  wrong.AddInteger(u"b", 1);
  EXPECT_THROW(StringListCompare_Freq(wrong, 0, 1), EInvalidCast);
}

}  // namespace
}  // namespace kx8
