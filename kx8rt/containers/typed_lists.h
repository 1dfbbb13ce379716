// Typed lists: one small class per value type with the same vocabulary (AddOne, GetOne/GetAValue,
// SetOne/SetAValue, FreeAndNilOne, Find or IndexOf, Sort...). Family A are string lists whose object
// slot holds each line's value; family B are lists of holders of one value or record. Indices out of
// range never raise: reads give 0, -1, -999999 or a zero record as each class says, writes do nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/containers/comparisons.h"
#include "kx8rt/containers/holders.h"
#include "kx8rt/containers/useful_classes_stringlist_sorts.h"
#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- records of this unit ----

struct T4_longint_rec {
  int32_t long0 = 0, long1 = 0, long2 = 0, long3 = 0;
};
struct T5_longint_rec {
  int32_t long0 = 0, long1 = 0, long2 = 0, long3 = 0, long4 = 0;
};
struct T6_longint_rec {
  int32_t long0 = 0, long1 = 0, long2 = 0, long3 = 0, long4 = 0, long5 = 0;
};
// A line with the int_ and s of its TIntegerAndSingleHolder.
struct TStringIntegerAndSingleRec {
  UnicodeString str;
  int32_t int_ = 0;
  float s = 0;
};
// A line with the long0, long1 and s of its T2IntsAndSingleHolder.
struct TString2IntsAndSingleRec {
  UnicodeString str;
  T2_longint_rec t2;
  float s = 0;
};
// A small and a 32-bit integer; a pointer and two unsigned values; an index and a pointer.
struct TSmall_and_long_rec {
  int16_t small = 0;
  int32_t long_ = 0;
};
struct TPointerAnd2CardinalsRec {
  void* p = nullptr;  // not owned
  Tdouble_cardinal_rec cards;
};
struct TIndexAndPointerRec {
  int32_t index = 0;
  void* p = nullptr;  // not owned
};
// A scored item as the statistics routines produce it.
struct TIntegerAndSingleForScoringRec {
  int32_t n = 0;
  float score = 0;
};

// The kind of value a display column shows.
enum TAlternativeTypes : uint8_t { at_integer, at_float, at_date, at_string, at_other };
// A display column: its header, its width in percent and its kind.
struct TStringIntegerAndKindRec {
  UnicodeString s;
  int32_t i = 0;
  TAlternativeTypes kind = at_integer;
};

// ---- free routines ----

void ExchangeTwoDoubleCardinalRecs(Tdouble_cardinal_rec& a, Tdouble_cardinal_rec& b);
void ExchangeTwoDoubleLongintRecs(T2_longint_rec& a, T2_longint_rec& b);
void ExchangeTwoSmallAndLongRecs(TSmall_and_long_rec& a, TSmall_and_long_rec& b);
void ExchangeTwoPointerAnd2CardinalsRecs(TPointerAnd2CardinalsRec& a, TPointerAnd2CardinalsRec& b);
void ExchangeTwoIndexAndPointerRecs(TIndexAndPointerRec& a, TIndexAndPointerRec& b);

// Pointer-list comparisons (ascending) on the holders' values: TLongIntHolder, TCardinalHolder,
// TInt64Holder, the s of TIntegerAndSingleHolder, the freq (unsigned) of TIntegerAnd3CardinalsHolder.
int SortLongints(void* a, void* b);
int SortCardinals(void* a, void* b);
int SortInt64s(void* a, void* b);
int SortIntAndSingles(void* a, void* b);
int SortIntegerAnd3CardinalsFreq(void* a, void* b);

TIntegerAndSingleRec IntegerAndSingleForScoringRecToIntegerAndSingleRec(const TIntegerAndSingleForScoringRec& r);
TIntegerAndSingleForScoringRec IntegerAndSingleRecToIntegerAndSingleForScoringRec(const TIntegerAndSingleRec& r);

// The columns of a display, one per header: kind and width from the arrays where they reach, else
// zero; then the last column's width := 100 - min(sum of the given widths, 99).
std::vector<TStringIntegerAndKindRec> HeadersOfN(const std::vector<UnicodeString>& headers,
                                                 const std::vector<TAlternativeTypes>& kinds,
                                                 const std::vector<int32_t>& widths);
// n boundaries dividing total bytes into n parts: element k = round-half-even((k+1) * step) with
// step = total / n held as a 32-bit float. An n below 1 gives no boundaries.
std::vector<int64_t> ComputedByteDivisions(int64_t total, int32_t n);

// ---- family A: string lists with a value per line ----

// A string list owning a Holder (with a public data member of type Value) in each line's slot. Lines
// stay in insertion order; IndexOf is linear with the list's comparison (case-insensitive by default).
template <class Holder, class Value>
class TStringListWithHolder : public TIndexCheckStringlist {
 public:
  TStringListWithHolder() : TIndexCheckStringlist(true) {}
  // Appends line s with a new holder of value; returns its index. Duplicates are allowed.
  int32_t AddOne(const UnicodeString& s, const Value& value) {
    return AddObject(s, std::unique_ptr<TObject>(std::make_unique<Holder>(value)));
  }
  // The value of line i, or a zero value for an index out of range or an empty slot.
  Value GetOne(int32_t i) const {
    const Holder* h = HolderAt(i);
    return h ? h->data : Value{};
  }
  // Replaces the value of line i; nothing out of range.
  void SetOne(int32_t i, const Value& value) {
    if (Holder* h = HolderAt(i)) h->data = value;
  }
  // Frees line i's holder and empties its slot.
  void FreeAndNilOne(int32_t i) override {
    if (i >= 0 && i < Count() && Objects(i)) PutObject(i, nullptr);
  }

 protected:
  Holder* HolderAt(int32_t i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return dynamic_cast<Holder*>(Objects(i));
  }
};

// A 32-bit signed value per line.
class TStringListWithALongint : public TStringListWithHolder<TLongIntHolder, int32_t> {
 public:
  ~TStringListWithALongint() override { Clear(); }
  // Adds n to the value of s when present, else AddOne(s, n); the line's index.
  int32_t AddOrIncFreq(const UnicodeString& s, int32_t n);
  // Adds 1 to the value of s when present, else AddOne(s, n); the line's index.
  int32_t AddOrIncByOne(const UnicodeString& s, int32_t n);
  // The largest value, from 0.
  int32_t HighestFrequency() const;
  // Value descending.
  void SortOnFreq() { CustomSort(StringListWithALongintSortOn_Freq); }
  // Replaces the content with lines "word TAB count"; a line without a TAB after its first
  // character, or whose count is not an integer, is kept whole with -1.
  void SetTextStr(const UnicodeString& Value) override;
};

// A 32-bit float per line.
class TStringListWithASingle : public TStringListWithHolder<TSingleHolder, float> {
 public:
  // Adds 1.0 to the value of s when present, else AddOne(s, x); the line's index.
  int32_t AddOrIncByOne(const UnicodeString& s, float x);
  // Value descending.
  void SortOnFreq() { CustomSort(StringListWithSingleSortOn_Freq); }
};

// A 32-bit integer kept in the slot itself (nothing owned).
class TStringListWithFreqPointers : public TIndexCheckStringlist {
 public:
  int32_t AddOne(const UnicodeString& s, int32_t n) { return AddInteger(s, n); }
  // The integer of line i; 0 out of range or for an empty slot.
  int32_t GetOne(int32_t i) const;
  void SetOne(int32_t i, int32_t n);
  // Empties the slot; there is nothing to free.
  void FreeAndNilOne(int32_t i) override;
  // Integer descending, then line descending.
  void SortOnFreq();
};

// A mean and standard deviation (and an extra text) per line.
class TStringListWithStringAndMeanAndSD_rec
    : public TStringListWithHolder<TStringAndMeanAndSD_recHolder, TStringAndMeanAndSD_rec> {
 public:
  // Mean descending, then standard deviation ascending.
  void SortOnMeans() { CustomSort(StringListWithStringAndMeanAndSD_recDescending); }
};

// A string and an integer per line.
class TStringListWithStringAndIntList : public TStringListWithHolder<TStringAndIntegerHolder, TStringAndIntegerRec> {
 public:
  // The integer, then the string. Neither sort sets global_descending_sort: the direction is whatever
  // the flag holds (after TStringListWithFreqPointers::SortOnFreq, descending); set it first to choose.
  void SortOnInts();
  // The string, then the integer; the flag turns both keys round.
  void SortOnSubStrings();
};

// An integer and a float per line.
class TStringListWithIntAndSingle : public TStringListWithHolder<TIntegerAndSingleHolder, TIntegerAndSingleRec> {
 public:
  // The line, int_ and s together; a zero record out of range.
  TStringIntegerAndSingleRec GetOneStrIntSingle(int32_t i) const;
  void SortOnInt(bool ascending);
  void SortOnSingleSort2Int(bool ascending);
  void SortOnSingleSort2String(bool ascending);
  void SortOnStrings(bool ascending);
};

// Two integers and a float per line.
class TStringListWith2IntsAndSingle : public TStringListWithHolder<T2IntsAndSingleHolder, T2LongintAndSingleRec> {
 public:
  TString2IntsAndSingleRec GetOneStrIntsSingle(int32_t i) const;
  void SortOn_Int(T2LongintSort which, bool ascending);
  void SortOnSingle_Sort2Int(T2LongintSort which, bool ascending);
  void SortOnSingle_Sort2String(bool ascending);
  void SortOnStrings(bool ascending);
};

// A date per line.
class TStringListWithDate : public TStringListWithHolder<TDateTimeHolder, TDateTime> {
 public:
  // The date, then the line.
  void SortOnDates(bool ascending);
};

// Two integers per line.
class TStringListWith2LongintRec : public TStringListWithHolder<TTwoLongIntHolder, T2_longint_rec> {
 public:
  // Adds n to long0 or long1 of line i; nothing out of range.
  void AddToOneFreq(int32_t i, int32_t n, T2LongintSort which);
  void IncOne(int32_t i, T2LongintSort which) { AddToOneFreq(i, 1, which); }
  // The number of lines whose chosen field is above 1.
  int32_t Repeateds(T2LongintSort which) const;
  // The chosen field descending, then the other ascending, then the line.
  void SortOnFreq(T2LongintSort which);
};

class T1LongintList;
class T2LongintList;

// A T1LongintList per line, owned by the line.
class TStringListWithLongintList : public TIndexCheckStringlist {
 public:
  TStringListWithLongintList() : TIndexCheckStringlist(true) {}
  ~TStringListWithLongintList() override { Clear(); }
  // Frees the line's list and empties its slot.
  void FreeAndNilOne(int32_t i) override {
    if (IndexAssignedOK(i) && Objects(i)) PutObject(i, nullptr);
  }
  // Adds n to the list of s unless it holds n already, or adds s with a new list of n; returns the
  // count of that line's list.
  int32_t AddOneOrAddToList(const UnicodeString& s, int32_t n);
  // When s is present: a list already holding n has n added to that stored value; otherwise n is
  // appended. When absent, s is added with a list of n. Returns the count of the line's list.
  // Kept as the suite always did it, since saved results depend on it: the "by one" in the name is
  // historical and the stored value no longer equals n after the addition.
  int32_t AddOrIncByOne(const UnicodeString& s, int32_t n);
  // The line's list itself (not a copy), or null.
  T1LongintList* GetOne(int32_t i) const;
  // Lines by the counts of their lists, descending.
  void SortOnListCounts() { CustomSort(StringListWithLongintListSortOn_ListCounts); }
};

// A T2LongintList of pairs per line, owned by the line.
class TStringListWith2LongintList : public TIndexCheckStringlist {
 public:
  TStringListWith2LongintList() : TIndexCheckStringlist(true) {}
  ~TStringListWith2LongintList() override { Clear(); }
  void FreeAndNilOne(int32_t i) override {
    if (IndexAssignedOK(i) && Objects(i)) PutObject(i, nullptr);
  }
  // Appends pair to the list of s (creating line and list when absent); the count of that list.
  int32_t AddOrAddPair(const UnicodeString& s, const T2_longint_rec& pair);
  T2LongintList* GetOne(int32_t i) const;
  // Sorts every line's list on long0 then long1 (t2_long0) or long1 then long0 (t2_long1).
  void SortListOn(T2LongintSort which);
};

// ---- family B: value lists ----

// Rows of one 32-bit value, sortable, with sorted insertion.
class T1LongintList : public TMultiLongintList {
 public:
  T1LongintList() : TMultiLongintList(tml_1) {}
  using TMultiLongintList::AddOne;
  using TMultiLongintList::GetAValue;
  using TMultiLongintList::InsertOne;
  using TMultiLongintList::SetAValue;
  // Binary search of an ascending list; the index or -1. Leaves the last mid in nearest.
  int32_t Find(int32_t value);
  // Find when sorted, else a linear scan.
  int32_t IndexOf(int32_t value);
  // Appends, or when sorted inserts at value's place (before an equal one); the new index.
  int32_t AddOne(int32_t value);
  void InsertOne(int32_t index, int32_t value) {
    if (index >= 0 && index <= Count()) TMultiLongintList::InsertOne(index, {value});
  }
  // The value, or -999999 out of range (and for an emptied slot).
  int32_t GetAValue(int32_t i) const { return TMultiLongintList::GetAValue(i, tml_0); }
  void SetAValue(int32_t i, int32_t n) { TMultiLongintList::SetAValue(i, tml_0, n); }
  void AddToValue(int32_t i, int32_t n) { AddToOneFreq(i, n, tml_0); }
  // Find and, if found, free that entry leaving its slot empty; the index or -1.
  int32_t FindAndFree(int32_t value);
  // A new list with the same values.
  std::unique_ptr<T1LongintList> GetACopyOfSelf() const;
  int32_t ComparedValues(int32_t i, int32_t j) override;
  void SortAscendingDefault() { SingleSort(tml_0); }
  int32_t Nearest() const { return nearest; }
};

// A T1LongintList with a current index.
class TKXActiveLongintList : public T1LongintList {
 public:
  // AddOne(n), then current := Count - 1.
  void AddOneAndSetCountCurrent(int32_t n);
  void Clear() override;
  // FindAndFree, then moves current back when it was the freed index.
  int32_t FindAndFree(int32_t n);
  int32_t GetCurrentItem() const { return fcurrentItem; }
  void SetCurrentItem(int32_t i) { fcurrentItem = i; }
  // The value at current, or -1 when current is outside the list.
  int32_t CurrentItemValue() const;

 private:
  int32_t fcurrentItem = -1;
};

// Lists of rows of two to six integers.
template <class Rec, TMultiLongintSize W>
class TNLongintList : public TMultiLongintList {
 public:
  TNLongintList() : TMultiLongintList(W) {}
  using TMultiLongintList::AddOne;
  // Appends rec; its index.
  int32_t AddOne(const Rec& rec) { return TMultiLongintList::AddOne(ToRow(rec)); }
  // The record, every field -999999 out of range.
  Rec GetAValue(int32_t i) const {
    Rec r;
    int32_t* f = &r.long0;
    for (int k = 0; k < static_cast<int>(W); ++k) f[k] = TMultiLongintList::GetAValue(i, static_cast<TMultiLongintSize>(k));
    return r;
  }
  void SetAValue(int32_t i, const Rec& rec) {
    const int32_t* f = &rec.long0;
    for (int k = 0; k < static_cast<int>(W); ++k) TMultiLongintList::SetAValue(i, static_cast<TMultiLongintSize>(k), f[k]);
  }

 private:
  static std::vector<int32_t> ToRow(const Rec& rec) {
    const int32_t* f = &rec.long0;
    return std::vector<int32_t>(f, f + static_cast<int>(W));
  }
  static_assert(sizeof(Rec) == sizeof(int32_t) * size_t{W}, "rows are plain integers");
};
// Pairs; a class of its own so that other headers can name it ahead.
class T2LongintList : public TNLongintList<T2_longint_rec, tml_2> {};
using T3LongintList = TNLongintList<T3_longint_rec, tml_3>;
using T4LongintList = TNLongintList<T4_longint_rec, tml_4>;
using T5LongintList = TNLongintList<T5_longint_rec, tml_5>;
using T6LongintList = TNLongintList<T6_longint_rec, tml_6>;

// Sortable lists of one scalar: binary Find on an ascending list, linear IndexOf otherwise.
template <class Holder, class V>
class TScalarList : public TUsefulBaseListSorts {
 public:
  TScalarList() : TUsefulBaseListSorts(ClassOf<Holder>()) {}
  // Binary search of an ascending list; the index or -1.
  int32_t Find(V value);
  int32_t IndexOf(V value);
  // Appends; the new index.
  int32_t AddOne(V value) { return AddEntry(std::make_unique<Holder>(value)); }
  void InsertOne(int32_t index, V value);
  // The value, or OutOfRange() out of range.
  V GetAValue(int32_t i) const;
  void SetAValue(int32_t i, V value);
  int32_t ComparedValues(int32_t i, int32_t j) override;
  void SortAscendingDefault();

 protected:
  static V OutOfRange() { return V{}; }
  const Holder* At(int32_t i) const { return IndexAssignedOK(i) ? static_cast<const Holder*>(Entry(i)) : nullptr; }
};

// Unsigned 32-bit values.
using TCardinalList = TScalarList<TCardinalHolder, uint32_t>;
// 32-bit floats.
using TSinglesList = TScalarList<TSingleHolder, float>;

// 64-bit floats stored through a 32-bit float, so with single precision.
class TDoublesList : public TScalarList<TDoubleHolder, double> {
 public:
  int32_t AddOne(double value) { return AddEntry(std::make_unique<TDoubleHolder>(static_cast<float>(value))); }
  void InsertOne(int32_t index, double value);
};

// 64-bit signed values with sorted insertion; -1 out of range.
class TKXInt64List : public TScalarList<TInt64Holder, int64_t> {
 public:
  // Binary search; leaves the last mid in nearest.
  int32_t FindInSorted(int64_t value);
  int32_t IndexOf(int64_t value);
  // Appends, or when sorted inserts at value's place (before an equal one).
  int32_t AddOne(int64_t value);
  int64_t GetAValue(int32_t i) const { return IndexAssignedOK(i) ? At(i)->data : -1; }
  int32_t Nearest() const { return nearest; }
};

// Unsigned values with frequencies.
class TCardinalAndFreqList : public TUsefulBaseListSorts {
 public:
  TCardinalAndFreqList() : TUsefulBaseListSorts(ClassOf<TCardinalAndFreqHolder>()) {}
  // Adds 1 to the frequency of rec.c when present, else inserts rec (at its place when sorted).
  // Returns the entry's index.
  int32_t AddOneOrIncFreq(const TCardinalAndFreq& rec);
  // Binary search on c; leaves the last mid in nearest.
  int32_t Find(uint32_t c);
  int32_t IndexOf(uint32_t c);
  TCardinalAndFreq GetACardAndFreq(int32_t i) const;
  void SetACardAndFreq(int32_t i, const TCardinalAndFreq& rec);
  // c ascending (unsigned).
  void SortOnCardinals();
  // f descending when descending is true, else ascending; sets global_descending_sort.
  void SortOnFrequencies(bool descending);
  int32_t Nearest() const { return nearest; }
};

// Sortable lists of integers with a float, searched on the float.
template <class Holder, class Rec>
class TIntsAndSingleList : public TUsefulBaseListSorts {
 public:
  TIntsAndSingleList() : TUsefulBaseListSorts(ClassOf<Holder>()) {}
  int32_t AddOne(const Rec& rec) { return AddEntry(std::make_unique<Holder>(rec)); }
  // The record; zero out of range.
  Rec GetAValue(int32_t i) const { return IndexAssignedOK(i) ? static_cast<const Holder*>(Entry(i))->data : Rec{}; }
  void SetAValue(int32_t i, const Rec& rec) {
    if (IndexAssignedOK(i)) static_cast<Holder*>(Entry(i))->data = rec;
  }
  // Binary search on s of a list sorted ascending; the index or -1.
  int32_t Find(float x);
  // First entry whose s equals x exactly; -1 when none.
  int32_t IndexOfSingle(float x) const;
  int32_t ComparedValues(int32_t i, int32_t j) override;
  // s ascending.
  void SortAscendingDefault();

 protected:
  // First entry whose integer k equals n; -1 when none.
  int32_t IndexOfIntegerAt(int k, int32_t n) const;
};

class TIntegerAndSingleList : public TIntsAndSingleList<TIntegerAndSingleHolder, TIntegerAndSingleRec> {
 public:
  int32_t IndexOfInteger(int32_t n) const { return IndexOfIntegerAt(0, n); }
};
class T2LongintAndSingleList : public TIntsAndSingleList<T2LongIntAndSingleHolder, T2LongintAndSingleRec> {
 public:
  int32_t IndexOfInteger0(int32_t n) const { return IndexOfIntegerAt(0, n); }
  int32_t IndexOfInteger1(int32_t n) const { return IndexOfIntegerAt(1, n); }
};
class T3LongintAndSingleList : public TIntsAndSingleList<T3LongIntAndSingleHolder, T3LongintAndSingleRec> {
 public:
  int32_t IndexOfInteger0(int32_t n) const { return IndexOfIntegerAt(0, n); }
  int32_t IndexOfInteger1(int32_t n) const { return IndexOfIntegerAt(1, n); }
  int32_t IndexOfInteger2(int32_t n) const { return IndexOfIntegerAt(2, n); }
};

// A frequency with three unsigned values.
class TIntegerAnd3CardinalsList : public TUsefulBaseList {
 public:
  TIntegerAnd3CardinalsList() : TUsefulBaseList(ClassOf<TIntegerAnd3CardinalsHolder>()) {}
  int32_t AddOne(const TIntegerAnd3CardinalsRec& rec) {
    return AddEntry(std::make_unique<TIntegerAnd3CardinalsHolder>(rec));
  }
  TIntegerAnd3CardinalsRec GetAValue(int32_t i) const;
  void SetAFreq(int32_t i, int32_t f);
  // freq ascending, unsigned.
  void SortAscendingDefault() { Sort(SortIntegerAnd3CardinalsFreq); }
};

// Words with frequencies and source numbers, and a read cursor.
class TWordFreqAndSourceNumList : public TUsefulBaseListSorts {
 public:
  TWordFreqAndSourceNumList() : TUsefulBaseListSorts(ClassOf<TWordFreqAndSourceNumHolder>()) {}
  int32_t AddOne(const TWordFreqAndSourceNum& rec) {
    return AddEntry(std::make_unique<TWordFreqAndSourceNumHolder>(rec));
  }
  TWordFreqAndSourceNum GetOne(int32_t i) const;
  // The record at the cursor (zero past the end), then the cursor moves on.
  TWordFreqAndSourceNum GetNext();
  int32_t HighestFrequency() const;
  // f descending.
  void SortOnFreqs();
  void Clear() override;
  int32_t Cursor() const { return this_; }

 private:
  int32_t this_ = 0;  // the read cursor ("this" is a C++ keyword)
};

// Two strings and two integers per entry.
class T2StringsAnd2IntegersList : public TUsefulBaseList {
 public:
  T2StringsAnd2IntegersList() : TUsefulBaseList(ClassOf<T2StringsAnd2IntegersHolder>()) {}
  int32_t AddOne(const T2StringsAnd2IntegersRec& rec) {
    return AddEntry(std::make_unique<T2StringsAnd2IntegersHolder>(rec));
  }
  // A copy of entry i's record, or a zero record.
  T2StringsAnd2IntegersRec GetTwoStringsAndInt(int32_t i) const;
};

// A string, its true column number and its background colour per entry.
class TStringColumnAndColourList : public TUsefulBaseList {
 public:
  TStringColumnAndColourList() : TUsefulBaseList(ClassOf<TStringTrueColumnAndColourHolder>()) {}
  int32_t AddOne(const TStringTrueColumnAndColourRec& rec) {
    return AddEntry(std::make_unique<TStringTrueColumnAndColourHolder>(rec));
  }
  TStringTrueColumnAndColourRec GetARec(int32_t i) const;
  void SetARec(int32_t i, const TStringTrueColumnAndColourRec& rec);
  UnicodeString GetAString(int32_t i) const { return GetARec(i).s; }
  void SetAString(int32_t i, const UnicodeString& s);
  int32_t GetATrueColumn(int32_t i) const { return GetARec(i).true_column_number; }
  void SetATrueColumn(int32_t i, int32_t n);
  int32_t GetAColour(int32_t i) const { return GetARec(i).background_colour; }
  void SetAColour(int32_t i, int32_t colour);
  // The first entry with that column, or -1.
  int32_t IndexOfTrueColumn(int32_t n) const;

 private:
  TStringTrueColumnAndColourHolder* At(int32_t i) const;
};

// Pairs of pointers the list does not own.
class TDoublePointerList : public TUsefulBaseList {
 public:
  TDoublePointerList() : TUsefulBaseList(ClassOf<TDoublePointerHolder>()) {}
  int32_t AddOne(const T2_Pointer& pair) { return AddEntry(std::make_unique<TDoublePointerHolder>(pair)); }
  T2_Pointer GetADoublePointer(int32_t i) const;
  void SetADoublePointer(int32_t i, const T2_Pointer& pair);
};

// 16-bit values streamed as bare 2-byte integers.
class TSmallintList : public TOwningList<TSmallIntHolder, TList> {
 public:
  TSmallintList() = default;
  TSmallintList(const TSmallintList&) = delete;
  TSmallintList& operator=(const TSmallintList&) = delete;
  int32_t AddOne(int16_t value);
  // The value, 0 out of range.
  int16_t GetAValue(int32_t i) const;
  // Reads n values (n taken as a 16-bit count, so at most 32767) and appends them; false on an
  // exception or a short read, keeping the values read.
  bool ReadFromStream(int32_t n, TStream& stream);
  // Writes every value as 2 bytes, with no count.
  bool SaveToStream(TStream& stream) const;
};

}  // namespace kx8
