#include "kx8rt/containers/useful_classes_stringlist_sorts.h"

#include <utility>

namespace kx8 {

namespace {

// The record carried by the holder in line i's slot, or the zero record when the slot holds something
// else: a sort must not read an object as what it is not.
template <class Holder>
const auto& DataAt(TStringList& List, int32_t i) {
  static const decltype(Holder::data) zero{};
  const auto* h = dynamic_cast<const Holder*>(List.Objects(i));
  return h ? h->data : zero;
}

// Either holder of a T2LongintAndSingleRec.
const T2LongintAndSingleRec& TwoIntsAndSingleAt(TStringList& List, int32_t i) {
  static const T2LongintAndSingleRec zero{};
  TObject* o = List.Objects(i);
  if (const auto* h = dynamic_cast<const T2LongIntAndSingleHolder*>(o)) return h->data;
  if (const auto* h = dynamic_cast<const TRecordHolder<T2LongintAndSingleRec>*>(o)) return h->data;
  return zero;
}

int32_t Which2(const T2LongintAndSingleRec& r) { return temp_Sort_which2 == t2_long1 ? r.t2.long1 : r.t2.long0; }

const UnicodeString& Line(TStringList& List, int32_t i) { return List.StoredString(i); }

// Exchanges the indices of the routines that the descending flag turns round.
void SwapWhenDescending(int32_t& Index1, int32_t& Index2) {
  if (global_descending_sort) std::swap(Index1, Index2);
}

}  // namespace

int StringListWithStringAndInteger_Sort_Int(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  const auto& a = DataAt<TStringAndIntegerHolder>(List, Index1);
  const auto& b = DataAt<TStringAndIntegerHolder>(List, Index2);
  int r = CompareLongints(a.i, b.i);
  if (global_descending_sort) r = -r;
  return r != 0 ? r : Compare2Strings(a.s, b.s);
}

int StringListWithStringAndInteger_Sort_Substring(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const auto& a = DataAt<TStringAndIntegerHolder>(List, Index1);
  const auto& b = DataAt<TStringAndIntegerHolder>(List, Index2);
  const int r = Compare2Strings(a.s, b.s);
  return r != 0 ? r : CompareLongints(a.i, b.i);
}

int StringListWithStringAndMeanAndSD_recDescending(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  const auto& a = DataAt<TStringAndMeanAndSD_recHolder>(List, Index1).score;
  const auto& b = DataAt<TStringAndMeanAndSD_recHolder>(List, Index2).score;
  const int r = CompareSingles(b.mean, a.mean);
  return r != 0 ? r : CompareSingles(a.sd, b.sd);
}

int StringListWithDoubleLongintListSortOn_Long0(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  const auto& a = DataAt<TTwoLongIntHolder>(List, Index1);
  const auto& b = DataAt<TTwoLongIntHolder>(List, Index2);
  int r = CompareLongints(b.long0, a.long0);
  if (r == 0) r = CompareLongints(a.long1, b.long1);
  return r != 0 ? r : Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int StringListWithDoubleLongintListSortOn_Long1(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  const auto& a = DataAt<TTwoLongIntHolder>(List, Index1);
  const auto& b = DataAt<TTwoLongIntHolder>(List, Index2);
  int r = CompareLongints(b.long1, a.long1);
  if (r == 0) r = CompareLongints(a.long0, b.long0);
  return r != 0 ? r : Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int SListWIntAndSingleSortOn_Int(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const auto& a = DataAt<TIntegerAndSingleHolder>(List, Index1);
  const auto& b = DataAt<TIntegerAndSingleHolder>(List, Index2);
  const int r = CompareLongints(a.int_, b.int_);
  return r != 0 ? r : CompareSingles(b.s, a.s);
}

int SListWIntAndSingleSortOn_Single_Sort2_Int(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const auto& a = DataAt<TIntegerAndSingleHolder>(List, Index1);
  const auto& b = DataAt<TIntegerAndSingleHolder>(List, Index2);
  const int r = CompareSingles(a.s, b.s);
  return r != 0 ? r : CompareLongints(a.int_, b.int_);
}

int SListWIntAndSingleSortOn_Single_Sort2_String(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const auto& a = DataAt<TIntegerAndSingleHolder>(List, Index1);
  const auto& b = DataAt<TIntegerAndSingleHolder>(List, Index2);
  const int r = CompareSingles(a.s, b.s);
  return r != 0 ? r : Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int SListWIntAndSingleSortOn_Strings(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  const int r = Compare2Strings(Line(List, Index1), Line(List, Index2));
  if (r != 0) return r;
  const auto& a = DataAt<TIntegerAndSingleHolder>(List, Index1);
  const auto& b = DataAt<TIntegerAndSingleHolder>(List, Index2);
  return global_descending_sort ? CompareSingles(b.s, a.s) : CompareSingles(a.s, b.s);
}

int SListWIntsAndSingleSortOn_Int(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const auto& a = TwoIntsAndSingleAt(List, Index1);
  const auto& b = TwoIntsAndSingleAt(List, Index2);
  const int r = CompareLongints(Which2(a), Which2(b));
  return r != 0 ? r : CompareSingles(b.s, a.s);
}

int SListWIntsAndSingleSortOn_Single_Sort2Int(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const auto& a = TwoIntsAndSingleAt(List, Index1);
  const auto& b = TwoIntsAndSingleAt(List, Index2);
  const int r = CompareSingles(a.s, b.s);
  return r != 0 ? r : CompareLongints(Which2(a), Which2(b));
}

int SListWIntsAndSingleSortOn_Single_Sort2_String(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const int r = CompareSingles(TwoIntsAndSingleAt(List, Index1).s, TwoIntsAndSingleAt(List, Index2).s);
  return r != 0 ? r : Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int SListWIntsAndSingleSortOn_Strings(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const int r = Compare2Strings(Line(List, Index1), Line(List, Index2));
  return r != 0 ? r : CompareSingles(TwoIntsAndSingleAt(List, Index2).s, TwoIntsAndSingleAt(List, Index1).s);
}

int StringListWithALongintSortOn_Freq(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  return CompareLongints(DataAt<TLongIntHolder>(List, Index2), DataAt<TLongIntHolder>(List, Index1));
}

int StringListWithSingleSortOn_Freq(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  return CompareSingles(DataAt<TSingleHolder>(List, Index2), DataAt<TSingleHolder>(List, Index1));
}

int StringListCompare_Freq(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  // The slot carries a 32-bit frequency; only its low 32 bits are meaningful.
  const int r = CompareLongints(static_cast<int32_t>(List.Integers(Index1)), static_cast<int32_t>(List.Integers(Index2)));
  return r != 0 ? r : Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int SListSortOn_Date(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  SwapWhenDescending(Index1, Index2);
  const int r = CompareDates(DataAt<TDateTimeHolder>(List, Index1), DataAt<TDateTimeHolder>(List, Index2));
  return r != 0 ? r : Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int SListSortOn_Strings(TStringList& List, int32_t Index1, int32_t Index2) {
  SwapWhenDescending(Index1, Index2);
  return Compare2Strings(Line(List, Index1), Line(List, Index2));
}

int StringListWithLongintListSortOn_ListCounts(TStringList& List, int32_t Index1, int32_t Index2) {
  if (Index1 == Index2) return 0;
  const auto* a = dynamic_cast<const TList*>(List.Objects(Index1));
  const auto* b = dynamic_cast<const TList*>(List.Objects(Index2));
  return CompareLongints(b ? b->Count() : 0, a ? a->Count() : 0);
}

}  // namespace kx8
