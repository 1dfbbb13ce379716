#include "kx8rt/containers/comparisons.h"

#include "kx8rt/platform/char_classes.h"

#include <cmath>
#include <utility>
#include <vector>

#include "kx8rt/containers/pointer_utils.h"

namespace kx8 {

namespace {
template <class T>
int32_t Three(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}
template <class F>
int32_t ThreeFloat(F a, F b) {
  if (std::isnan(a) || std::isnan(b)) return 0;
  return Three(a, b);
}
}  // namespace

int32_t CompareLongints(int32_t a, int32_t b) { return Three(a, b); }
int32_t CompareCardinals(uint32_t a, uint32_t b) { return Three(a, b); }
int32_t CompareInt64s(int64_t a, int64_t b) { return Three(a, b); }
int32_t Compare16BitWords(uint16_t a, uint16_t b) { return Three(a, b); }
int32_t Compare16Bit(uint16_t a, uint16_t b) { return Three(a, b); }
int32_t CompareChars(char16_t a, char16_t b) { return Three(a, b); }
int32_t CompareBytes(uint8_t a, uint8_t b) { return Three(a, b); }
int32_t CompareSingles(float a, float b) { return ThreeFloat(a, b); }
int32_t CompareDoubles(double a, double b) { return ThreeFloat(a, b); }
int32_t CompareDates(TDateTime a, TDateTime b) { return ThreeFloat(a, b); }
int32_t CompareJulianDates(double a, double b) { return ThreeFloat(a, b); }

int32_t Compare2Strings(const UnicodeString& a, const UnicodeString& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int32_t Compare2StringsCaseInsensitively(const UnicodeString& a, const UnicodeString& b) {
  if (SameText(a, b)) return 0;
  const int c = FullUpperCase(a).compare(FullUpperCase(b));
  // Texts that differ only where full upper-casing merges them still differ: keep the order total.
  if (c == 0) return Compare2Strings(a, b);
  return c < 0 ? -1 : 1;
}

int32_t CrudeStringComparison(const UnicodeString& a, const UnicodeString& b) {
  const char16_t* p = a.c_str();
  const char16_t* q = b.c_str();
  while (*p && *p == *q) {
    ++p;
    ++q;
  }
  return static_cast<int32_t>(*p) - static_cast<int32_t>(*q);
}

int32_t LCIDStringComparison(const UnicodeString& a, const UnicodeString& b, LCID lcid) {
  if (a.empty() || b.empty()) return 0;
  return CompareLCIDPchar(lcid, a.c_str(), b.c_str());
}

int32_t ReversedComparisonInteger(int32_t n) { return n == INT32_MIN ? INT32_MAX : -n; }

int32_t Compare2LongintRecs(const T2_longint_rec& a, const T2_longint_rec& b, T2LongintSort which) {
  return which == t2_long1 ? CompareLongints(a.long1, b.long1) : CompareLongints(a.long0, b.long0);
}
int32_t Compare2CardinalsCard1(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b) {
  return CompareCardinals(a.card1, b.card1);
}
int32_t Compare2CardinalsCard2(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b) {
  return CompareCardinals(a.card2, b.card2);
}
int32_t CompareIntAnd2CardinalsCard1(const TIntegerAnd2CardinalsRec& a, const TIntegerAnd2CardinalsRec& b) {
  return CompareCardinals(a.value.card1, b.value.card1);
}
int32_t CompareIntAnd2CardinalsCard2(const TIntegerAnd2CardinalsRec& a, const TIntegerAnd2CardinalsRec& b) {
  return CompareCardinals(a.value.card2, b.value.card2);
}
int32_t CompareIntAnd2CardinalsFreq(const TIntegerAnd2CardinalsRec& a, const TIntegerAnd2CardinalsRec& b) {
  return CompareLongints(a.freq, b.freq);
}
int32_t CompareIntAnd3CardinalsCard1(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b) {
  return CompareCardinals(a.value.card1, b.value.card1);
}
int32_t CompareIntAnd3CardinalsCard2(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b) {
  return CompareCardinals(a.value.card2, b.value.card2);
}
int32_t CompareIntAnd3CardinalsCard3(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b) {
  return CompareCardinals(a.value.card3, b.value.card3);
}
int32_t CompareIntAnd3CardinalsFreq(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b) {
  return CompareCardinals(static_cast<uint32_t>(a.freq), static_cast<uint32_t>(b.freq));
}

void ExchangeTwoIntegers(int32_t& a, int32_t& b) { std::swap(a, b); }
void ExchangeTwoChars(char16_t& a, char16_t& b) { std::swap(a, b); }
void ExchangeTwoStrings(UnicodeString& a, UnicodeString& b) { a.swap(b); }
void ExchangeTwoPointers(void*& a, void*& b) { std::swap(a, b); }

}  // namespace kx8
