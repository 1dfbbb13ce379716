#include "kx8rt/containers/typed_lists.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "kx8rt/containers/stream_fields.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

template <class H>
const H* As(void* p) {
  return static_cast<const H*>(static_cast<TUsefulBaseListObject*>(p));
}

template <class T>
int Cmp(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// The binary search every sorted list uses: low..high halves, the hook gets a turn per step, and an
// equal entry ends the search. mid is left in lastMid (-1 for an empty list).
template <class CompareAt>
int32_t BinarySearch(int32_t count, CompareAt compareAt, int32_t& lastMid) {
  int32_t low = 0, high = count - 1;
  lastMid = -1;
  while (low <= high) {
    MyYieldProcess();
    const int32_t mid = low + (high - low) / 2;
    lastMid = mid;
    const int c = compareAt(mid);  // entry mid against the value sought
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) return mid;
    }
  }
  return -1;
}

// Where a value goes in an ascending list after a failed search that left nearest.
int32_t InsertionPoint(int32_t found, int32_t nearest, int count, bool nearestNotAbove) {
  if (found >= 0) return found;
  if (nearest < 0) return count;
  return nearestNotAbove ? nearest + 1 : nearest;
}

}  // namespace

// ---- free routines ----

void ExchangeTwoDoubleCardinalRecs(Tdouble_cardinal_rec& a, Tdouble_cardinal_rec& b) { std::swap(a, b); }
void ExchangeTwoDoubleLongintRecs(T2_longint_rec& a, T2_longint_rec& b) { std::swap(a, b); }
void ExchangeTwoSmallAndLongRecs(TSmall_and_long_rec& a, TSmall_and_long_rec& b) { std::swap(a, b); }
void ExchangeTwoPointerAnd2CardinalsRecs(TPointerAnd2CardinalsRec& a, TPointerAnd2CardinalsRec& b) { std::swap(a, b); }
void ExchangeTwoIndexAndPointerRecs(TIndexAndPointerRec& a, TIndexAndPointerRec& b) { std::swap(a, b); }

int SortLongints(void* a, void* b) { return Cmp(As<TLongIntHolder>(a)->data, As<TLongIntHolder>(b)->data); }
int SortCardinals(void* a, void* b) { return Cmp(As<TCardinalHolder>(a)->data, As<TCardinalHolder>(b)->data); }
int SortInt64s(void* a, void* b) { return Cmp(As<TInt64Holder>(a)->data, As<TInt64Holder>(b)->data); }
int SortIntAndSingles(void* a, void* b) {
  return CompareSingles(As<TIntegerAndSingleHolder>(a)->data.s, As<TIntegerAndSingleHolder>(b)->data.s);
}
int SortIntegerAnd3CardinalsFreq(void* a, void* b) {
  return CompareIntAnd3CardinalsFreq(As<TIntegerAnd3CardinalsHolder>(a)->data, As<TIntegerAnd3CardinalsHolder>(b)->data);
}

TIntegerAndSingleRec IntegerAndSingleForScoringRecToIntegerAndSingleRec(const TIntegerAndSingleForScoringRec& r) {
  return {r.n, r.score};
}
TIntegerAndSingleForScoringRec IntegerAndSingleRecToIntegerAndSingleForScoringRec(const TIntegerAndSingleRec& r) {
  return {r.int_, r.s};
}

std::vector<TStringIntegerAndKindRec> HeadersOfN(const std::vector<UnicodeString>& headers,
                                                 const std::vector<TAlternativeTypes>& kinds,
                                                 const std::vector<int32_t>& widths) {
  std::vector<TStringIntegerAndKindRec> out(headers.size());
  int64_t sum = 0;
  for (size_t k = 0; k < headers.size(); ++k) {
    out[k].s = headers[k];
    if (k < kinds.size()) out[k].kind = kinds[k];
    if (k < widths.size()) out[k].i = widths[k];
  }
  // Every width given counts, the last column's own included, as the tools have always computed it.
  for (int32_t w : widths) sum += w;
  if (!out.empty()) out.back().i = static_cast<int32_t>(100 - std::min<int64_t>(sum, 99));
  return out;
}

std::vector<int64_t> ComputedByteDivisions(int64_t total, int32_t n) {
  std::vector<int64_t> out;
  if (n < 1) return out;
  const float step = static_cast<float>(static_cast<double>(total) / n);
  out.reserve(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) out.push_back(static_cast<int64_t>(std::nearbyint(double(k + 1) * double(step))));
  return out;
}

// ---- family A ----

int32_t TStringListWithALongint::AddOrIncFreq(const UnicodeString& s, int32_t n) {
  const int32_t i = IndexOf(s);
  if (i < 0) return AddOne(s, n);
  SetOne(i, static_cast<int32_t>(static_cast<uint32_t>(GetOne(i)) + static_cast<uint32_t>(n)));
  return i;
}

int32_t TStringListWithALongint::AddOrIncByOne(const UnicodeString& s, int32_t n) {
  const int32_t i = IndexOf(s);
  if (i < 0) return AddOne(s, n);
  SetOne(i, static_cast<int32_t>(static_cast<uint32_t>(GetOne(i)) + 1u));
  return i;
}

int32_t TStringListWithALongint::HighestFrequency() const {
  int32_t best = 0;
  for (int32_t i = 0; i < Count(); ++i) best = std::max(best, GetOne(i));
  return best;
}

void TStringListWithALongint::SetTextStr(const UnicodeString& Value) {
  BeginUpdate();
  Clear();
  ForEachTextLine(Value, LineBreak(), [this](UnicodeString&& line) {
    const size_t tab = line.find(u'\t');
    int32_t n = 0;
    if (tab != UnicodeString::npos && tab > 0 && TryStrToInt(line.substr(tab + 1), n)) {
      AddOne(line.substr(0, tab), n);
    } else {
      AddOne(line, -1);
    }
  });
  EndUpdate();
}

int32_t TStringListWithASingle::AddOrIncByOne(const UnicodeString& s, float x) {
  const int32_t i = IndexOf(s);
  if (i < 0) return AddOne(s, x);
  SetOne(i, GetOne(i) + 1.0f);
  return i;
}

int32_t TStringListWithFreqPointers::GetOne(int32_t i) const {
  if (i < 0 || i >= Count() || !SlotHoldsInteger(i)) return 0;
  return static_cast<int32_t>(Integers(i));
}
void TStringListWithFreqPointers::SetOne(int32_t i, int32_t n) {
  if (i >= 0 && i < Count()) PutInteger(i, n);
}
void TStringListWithFreqPointers::FreeAndNilOne(int32_t i) {
  if (i >= 0 && i < Count()) PutObject(i, nullptr);
}
void TStringListWithFreqPointers::SortOnFreq() {
  global_descending_sort = true;
  CustomSort(StringListCompare_Freq);
}

// These two leave the flag as they find it, so that a list sorted after a frequency sort comes out in
// the same direction as that one did.
void TStringListWithStringAndIntList::SortOnInts() { CustomSort(StringListWithStringAndInteger_Sort_Int); }
void TStringListWithStringAndIntList::SortOnSubStrings() {
  CustomSort(StringListWithStringAndInteger_Sort_Substring);
}

TStringIntegerAndSingleRec TStringListWithIntAndSingle::GetOneStrIntSingle(int32_t i) const {
  if (i < 0 || i >= Count()) return {};
  const TIntegerAndSingleRec r = GetOne(i);
  return {Get(i), r.int_, r.s};
}
void TStringListWithIntAndSingle::SortOnInt(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListWIntAndSingleSortOn_Int);
}
void TStringListWithIntAndSingle::SortOnSingleSort2Int(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListWIntAndSingleSortOn_Single_Sort2_Int);
}
void TStringListWithIntAndSingle::SortOnSingleSort2String(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListWIntAndSingleSortOn_Single_Sort2_String);
}
void TStringListWithIntAndSingle::SortOnStrings(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListWIntAndSingleSortOn_Strings);
}

TString2IntsAndSingleRec TStringListWith2IntsAndSingle::GetOneStrIntsSingle(int32_t i) const {
  if (i < 0 || i >= Count()) return {};
  const T2LongintAndSingleRec r = GetOne(i);
  return {Get(i), r.t2, r.s};
}
void TStringListWith2IntsAndSingle::SortOn_Int(T2LongintSort which, bool ascending) {
  temp_Sort_which2 = which;
  global_descending_sort = !ascending;
  CustomSort(SListWIntsAndSingleSortOn_Int);
}
void TStringListWith2IntsAndSingle::SortOnSingle_Sort2Int(T2LongintSort which, bool ascending) {
  temp_Sort_which2 = which;
  global_descending_sort = !ascending;
  CustomSort(SListWIntsAndSingleSortOn_Single_Sort2Int);
}
void TStringListWith2IntsAndSingle::SortOnSingle_Sort2String(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListWIntsAndSingleSortOn_Single_Sort2_String);
}
void TStringListWith2IntsAndSingle::SortOnStrings(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListWIntsAndSingleSortOn_Strings);
}

void TStringListWithDate::SortOnDates(bool ascending) {
  global_descending_sort = !ascending;
  CustomSort(SListSortOn_Date);
}

void TStringListWith2LongintRec::AddToOneFreq(int32_t i, int32_t n, T2LongintSort which) {
  if (TTwoLongIntHolder* h = HolderAt(i)) {
    int32_t& f = which == t2_long0 ? h->data.long0 : h->data.long1;
    f = static_cast<int32_t>(static_cast<uint32_t>(f) + static_cast<uint32_t>(n));
  }
}
int32_t TStringListWith2LongintRec::Repeateds(T2LongintSort which) const {
  int32_t n = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    const T2_longint_rec r = GetOne(i);
    if ((which == t2_long0 ? r.long0 : r.long1) > 1) ++n;
  }
  return n;
}
void TStringListWith2LongintRec::SortOnFreq(T2LongintSort which) {
  CustomSort(which == t2_long0 ? StringListWithDoubleLongintListSortOn_Long0 : StringListWithDoubleLongintListSortOn_Long1);
}

T1LongintList* TStringListWithLongintList::GetOne(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return dynamic_cast<T1LongintList*>(Objects(i));
}

int32_t TStringListWithLongintList::AddOneOrAddToList(const UnicodeString& s, int32_t n) {
  const int32_t i = IndexOf(s);
  if (i >= 0) {
    T1LongintList* l = GetOne(i);
    if (!l) {
      PutObject(i, new T1LongintList);  // an owning list takes it at once
      l = GetOne(i);
    }
    if (l->IndexOf(n) < 0) l->AddOne(n);
    return l->Count();
  }
  auto l = std::make_unique<T1LongintList>();
  l->AddOne(n);
  T1LongintList* raw = l.get();
  AddObject(s, std::unique_ptr<TObject>(std::move(l)));
  return raw->Count();
}

int32_t TStringListWithLongintList::AddOrIncByOne(const UnicodeString& s, int32_t n) {
  const int32_t i = IndexOf(s);
  if (i >= 0) {
    T1LongintList* l = GetOne(i);
    if (!l) {
      PutObject(i, new T1LongintList);
      l = GetOne(i);
    }
    const int32_t k = l->IndexOf(n);
    if (k >= 0) {
      l->AddToValue(k, n);
    } else {
      l->AddOne(n);
    }
    return l->Count();
  }
  return AddOneOrAddToList(s, n);
}

T2LongintList* TStringListWith2LongintList::GetOne(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return dynamic_cast<T2LongintList*>(Objects(i));
}

int32_t TStringListWith2LongintList::AddOrAddPair(const UnicodeString& s, const T2_longint_rec& pair) {
  int32_t i = IndexOf(s);
  if (i < 0) i = AddObject(s, std::unique_ptr<TObject>(std::make_unique<T2LongintList>()));
  T2LongintList* l = GetOne(i);
  if (!l) {
    PutObject(i, new T2LongintList);
    l = GetOne(i);
  }
  l->AddOne(pair);
  return l->Count();
}

void TStringListWith2LongintList::SortListOn(T2LongintSort which) {
  for (int32_t i = 0; i < Count(); ++i) {
    if (T2LongintList* l = GetOne(i)) {
      if (which == t2_long0) {
        l->DoubleSort(tml_0, tml_1);
      } else {
        l->DoubleSort(tml_1, tml_0);
      }
    }
  }
}

// ---- T1LongintList and kin ----

int32_t T1LongintList::Find(int32_t value) {
  return BinarySearch(Count(), [&](int32_t mid) { return Cmp(GetAValue(mid), value); }, nearest);
}

int32_t T1LongintList::IndexOf(int32_t value) {
  if (sorted) return Find(value);
  for (int32_t i = 0; i < Count(); ++i) {
    MyYieldProcess();
    if (IndexAssignedOK(i) && GetAValue(i) == value) return i;
  }
  return -1;
}

int32_t T1LongintList::AddOne(int32_t value) {
  if (!sorted) return TMultiLongintList::AddOne(std::vector<int32_t>{value});
  const int32_t found = Find(value);
  const int32_t at = InsertionPoint(found, nearest, Count(), nearest >= 0 && GetAValue(nearest) <= value);
  InsertOne(at, value);
  return at;
}

int32_t T1LongintList::FindAndFree(int32_t value) {
  const int32_t i = Find(value);
  if (i >= 0) FreeAndNilOne(i);
  return i;
}

std::unique_ptr<T1LongintList> T1LongintList::GetACopyOfSelf() const {
  auto copy = std::make_unique<T1LongintList>();
  for (int32_t i = 0; i < Count(); ++i) copy->AddOne(GetAValue(i));
  return copy;
}

int32_t T1LongintList::ComparedValues(int32_t i, int32_t j) { return CompareLongints(GetAValue(i), GetAValue(j)); }

void TKXActiveLongintList::AddOneAndSetCountCurrent(int32_t n) {
  AddOne(n);
  fcurrentItem = Count() - 1;
}

void TKXActiveLongintList::Clear() {
  T1LongintList::Clear();
  fcurrentItem = -1;
}

int32_t TKXActiveLongintList::FindAndFree(int32_t n) {
  const int32_t i = T1LongintList::FindAndFree(n);
  if (i == fcurrentItem) fcurrentItem = fcurrentItem < 1 ? Count() - 1 : fcurrentItem - 1;
  return i;
}

int32_t TKXActiveLongintList::CurrentItemValue() const {
  if (fcurrentItem < 0 || fcurrentItem >= Count()) return -1;
  return GetAValue(fcurrentItem);
}

// ---- scalar lists ----

template <class Holder, class V>
int32_t TScalarList<Holder, V>::Find(V value) {
  int32_t mid = -1;
  return BinarySearch(Count(), [&](int32_t m) { return Cmp(GetAValue(m), value); }, mid);
}

template <class Holder, class V>
int32_t TScalarList<Holder, V>::IndexOf(V value) {
  if (sorted) return Find(value);
  for (int32_t i = 0; i < Count(); ++i) {
    MyYieldProcess();
    if (const Holder* h = At(i); h && h->data == value) return i;
  }
  return -1;
}

template <class Holder, class V>
void TScalarList<Holder, V>::InsertOne(int32_t index, V value) {
  if (index < 0 || index > Count()) return;
  auto h = std::make_unique<Holder>(value);
  Insert(index, static_cast<TUsefulBaseListObject*>(h.get()));
  h.release();
}

template <class Holder, class V>
V TScalarList<Holder, V>::GetAValue(int32_t i) const {
  const Holder* h = At(i);
  return h ? h->data : OutOfRange();
}

template <class Holder, class V>
void TScalarList<Holder, V>::SetAValue(int32_t i, V value) {
  if (IndexAssignedOK(i)) static_cast<Holder*>(Entry(i))->data = value;
}

template <class Holder, class V>
int32_t TScalarList<Holder, V>::ComparedValues(int32_t i, int32_t j) {
  if constexpr (std::is_floating_point_v<V>) {
    return CompareDoubles(GetAValue(i), GetAValue(j));
  } else {
    return Cmp(GetAValue(i), GetAValue(j));
  }
}

template <class Holder, class V>
void TScalarList<Holder, V>::SortAscendingDefault() {
  Sort([](void* a, void* b) -> int {
    const V x = As<Holder>(a)->data, y = As<Holder>(b)->data;
    if constexpr (std::is_floating_point_v<V>) {
      return CompareDoubles(x, y);
    } else {
      return Cmp(x, y);
    }
  });
}

template class TScalarList<TCardinalHolder, uint32_t>;
template class TScalarList<TSingleHolder, float>;
template class TScalarList<TDoubleHolder, double>;
template class TScalarList<TInt64Holder, int64_t>;

void TDoublesList::InsertOne(int32_t index, double value) {
  if (index < 0 || index > Count()) return;
  auto h = std::make_unique<TDoubleHolder>(static_cast<float>(value));
  Insert(index, static_cast<TUsefulBaseListObject*>(h.get()));
  h.release();
}

int32_t TKXInt64List::FindInSorted(int64_t value) {
  return BinarySearch(Count(), [&](int32_t mid) { return Cmp(GetAValue(mid), value); }, nearest);
}

int32_t TKXInt64List::IndexOf(int64_t value) {
  if (sorted) return FindInSorted(value);
  return TScalarList::IndexOf(value);
}

int32_t TKXInt64List::AddOne(int64_t value) {
  if (!sorted) return TScalarList::AddOne(value);
  const int32_t found = FindInSorted(value);
  const int32_t at = InsertionPoint(found, nearest, Count(), nearest >= 0 && GetAValue(nearest) <= value);
  InsertOne(at, value);
  return at;
}

// ---- cardinals with frequencies ----

int32_t TCardinalAndFreqList::Find(uint32_t c) {
  return BinarySearch(Count(), [&](int32_t mid) { return Cmp(GetACardAndFreq(mid).c, c); }, nearest);
}

int32_t TCardinalAndFreqList::IndexOf(uint32_t c) {
  if (sorted) return Find(c);
  for (int32_t i = 0; i < Count(); ++i) {
    MyYieldProcess();
    if (IndexAssignedOK(i) && GetACardAndFreq(i).c == c) return i;
  }
  return -1;
}

int32_t TCardinalAndFreqList::AddOneOrIncFreq(const TCardinalAndFreq& rec) {
  const int32_t found = IndexOf(rec.c);
  if (found >= 0) {
    auto* h = static_cast<TCardinalAndFreqHolder*>(Entry(found));
    h->data.f = static_cast<int32_t>(static_cast<uint32_t>(h->data.f) + 1u);
    return found;
  }
  if (!sorted) return AddEntry(std::make_unique<TCardinalAndFreqHolder>(rec));
  const int32_t at = InsertionPoint(-1, nearest, Count(), nearest >= 0 && GetACardAndFreq(nearest).c <= rec.c);
  auto h = std::make_unique<TCardinalAndFreqHolder>(rec);
  Insert(at, static_cast<TUsefulBaseListObject*>(h.get()));
  h.release();
  return at;
}

TCardinalAndFreq TCardinalAndFreqList::GetACardAndFreq(int32_t i) const {
  return IndexAssignedOK(i) ? static_cast<const TCardinalAndFreqHolder*>(Entry(i))->data : TCardinalAndFreq{};
}

void TCardinalAndFreqList::SetACardAndFreq(int32_t i, const TCardinalAndFreq& rec) {
  if (IndexAssignedOK(i)) static_cast<TCardinalAndFreqHolder*>(Entry(i))->data = rec;
}

void TCardinalAndFreqList::SortOnCardinals() {
  Sort([](void* a, void* b) -> int {
    return Cmp(As<TCardinalAndFreqHolder>(a)->data.c, As<TCardinalAndFreqHolder>(b)->data.c);
  });
}

void TCardinalAndFreqList::SortOnFrequencies(bool descending) {
  global_descending_sort = descending;
  Sort([](void* a, void* b) -> int {
    const int c = Cmp(As<TCardinalAndFreqHolder>(a)->data.f, As<TCardinalAndFreqHolder>(b)->data.f);
    return global_descending_sort ? -c : c;
  });
  // Sorted on frequencies, the list can no longer be searched on c.
  sorted = false;
}

// ---- integers with a float ----

namespace {
inline float SOf(const TIntegerAndSingleRec& r) { return r.s; }
inline float SOf(const T2LongintAndSingleRec& r) { return r.s; }
inline float SOf(const T3LongintAndSingleRec& r) { return r.s; }
inline int32_t IntOf(const TIntegerAndSingleRec& r, int) { return r.int_; }
inline int32_t IntOf(const T2LongintAndSingleRec& r, int k) { return k == 0 ? r.t2.long0 : r.t2.long1; }
inline int32_t IntOf(const T3LongintAndSingleRec& r, int k) {
  return k == 0 ? r.t3.long0 : (k == 1 ? r.t3.long1 : r.t3.long2);
}
}  // namespace

template <class Holder, class Rec>
int32_t TIntsAndSingleList<Holder, Rec>::Find(float x) {
  int32_t mid = -1;
  return BinarySearch(Count(), [&](int32_t m) { return CompareSingles(SOf(GetAValue(m)), x); }, mid);
}

template <class Holder, class Rec>
int32_t TIntsAndSingleList<Holder, Rec>::IndexOfSingle(float x) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (IndexAssignedOK(i) && SOf(GetAValue(i)) == x) return i;
  return -1;
}

template <class Holder, class Rec>
int32_t TIntsAndSingleList<Holder, Rec>::IndexOfIntegerAt(int k, int32_t n) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (IndexAssignedOK(i) && IntOf(GetAValue(i), k) == n) return i;
  return -1;
}

template <class Holder, class Rec>
int32_t TIntsAndSingleList<Holder, Rec>::ComparedValues(int32_t i, int32_t j) {
  return CompareSingles(SOf(GetAValue(i)), SOf(GetAValue(j)));
}

template <class Holder, class Rec>
void TIntsAndSingleList<Holder, Rec>::SortAscendingDefault() {
  Sort([](void* a, void* b) -> int { return CompareSingles(SOf(As<Holder>(a)->data), SOf(As<Holder>(b)->data)); });
}

template class TIntsAndSingleList<TIntegerAndSingleHolder, TIntegerAndSingleRec>;
template class TIntsAndSingleList<T2LongIntAndSingleHolder, T2LongintAndSingleRec>;
template class TIntsAndSingleList<T3LongIntAndSingleHolder, T3LongintAndSingleRec>;

// ---- other base lists ----

TIntegerAnd3CardinalsRec TIntegerAnd3CardinalsList::GetAValue(int32_t i) const {
  return IndexAssignedOK(i) ? static_cast<const TIntegerAnd3CardinalsHolder*>(Entry(i))->data : TIntegerAnd3CardinalsRec{};
}
void TIntegerAnd3CardinalsList::SetAFreq(int32_t i, int32_t f) {
  if (IndexAssignedOK(i)) static_cast<TIntegerAnd3CardinalsHolder*>(Entry(i))->data.freq = f;
}

TWordFreqAndSourceNum TWordFreqAndSourceNumList::GetOne(int32_t i) const {
  return IndexAssignedOK(i) ? static_cast<const TWordFreqAndSourceNumHolder*>(Entry(i))->data : TWordFreqAndSourceNum{};
}
TWordFreqAndSourceNum TWordFreqAndSourceNumList::GetNext() {
  TWordFreqAndSourceNum r = GetOne(this_);
  if (this_ < INT32_MAX) ++this_;
  return r;
}
int32_t TWordFreqAndSourceNumList::HighestFrequency() const {
  int32_t best = 0;
  for (int32_t i = 0; i < Count(); ++i) best = std::max(best, GetOne(i).f);
  return best;
}
void TWordFreqAndSourceNumList::SortOnFreqs() {
  Sort([](void* a, void* b) -> int {
    return Cmp(As<TWordFreqAndSourceNumHolder>(b)->data.f, As<TWordFreqAndSourceNumHolder>(a)->data.f);
  });
}
void TWordFreqAndSourceNumList::Clear() {
  TUsefulBaseListSorts::Clear();
  this_ = 0;
}

T2StringsAnd2IntegersRec T2StringsAnd2IntegersList::GetTwoStringsAndInt(int32_t i) const {
  return IndexAssignedOK(i) ? static_cast<const T2StringsAnd2IntegersHolder*>(Entry(i))->data : T2StringsAnd2IntegersRec{};
}

TStringTrueColumnAndColourHolder* TStringColumnAndColourList::At(int32_t i) const {
  return IndexAssignedOK(i) ? static_cast<TStringTrueColumnAndColourHolder*>(Entry(i)) : nullptr;
}
TStringTrueColumnAndColourRec TStringColumnAndColourList::GetARec(int32_t i) const {
  const auto* h = At(i);
  return h ? h->data : TStringTrueColumnAndColourRec{};
}
void TStringColumnAndColourList::SetARec(int32_t i, const TStringTrueColumnAndColourRec& rec) {
  if (auto* h = At(i)) h->data = rec;
}
void TStringColumnAndColourList::SetAString(int32_t i, const UnicodeString& s) {
  if (auto* h = At(i)) h->data.s = s;
}
void TStringColumnAndColourList::SetATrueColumn(int32_t i, int32_t n) {
  if (auto* h = At(i)) h->data.true_column_number = n;
}
void TStringColumnAndColourList::SetAColour(int32_t i, int32_t colour) {
  if (auto* h = At(i)) h->data.background_colour = colour;
}
int32_t TStringColumnAndColourList::IndexOfTrueColumn(int32_t n) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (const auto* h = At(i); h && h->data.true_column_number == n) return i;
  return -1;
}

T2_Pointer TDoublePointerList::GetADoublePointer(int32_t i) const {
  return IndexAssignedOK(i) ? static_cast<const TDoublePointerHolder*>(Entry(i))->data : T2_Pointer{};
}
void TDoublePointerList::SetADoublePointer(int32_t i, const T2_Pointer& pair) {
  if (IndexAssignedOK(i)) static_cast<TDoublePointerHolder*>(Entry(i))->data = pair;
}

// ---- small integers ----


int32_t TSmallintList::AddOne(int16_t value) {
  auto h = std::make_unique<TSmallIntHolder>(value);
  const int32_t i = Add(h.get());
  h.release();
  return i;
}

int16_t TSmallintList::GetAValue(int32_t i) const {
  if (i < 0 || i >= Count() || !Get(i)) return 0;
  return static_cast<const TSmallIntHolder*>(Get(i))->int_;
}

bool TSmallintList::ReadFromStream(int32_t n, TStream& stream) {
  try {
    const int16_t count = static_cast<int16_t>(n);
    for (int16_t k = 0; k < count; ++k) {
      MyYieldProcess();
      uint8_t b[2];
      stream.ReadBuffer(b, 2);
      AddOne(static_cast<int16_t>(b[0] | (b[1] << 8)));
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool TSmallintList::SaveToStream(TStream& stream) const {
  try {
    for (int32_t i = 0; i < Count(); ++i) {
      const uint16_t v = static_cast<uint16_t>(GetAValue(i));
      const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
      stream.WriteBuffer(b, 2);
    }
    return true;
  } catch (const Exception&) {
    return false;
  }
}



}  // namespace kx8
