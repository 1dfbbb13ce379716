// The comparison routines every sort of the suite is built from (negative, 0 or positive; -1, 0 or 1
// unless said otherwise), the small records some of them compare, and the exchange routines.
#pragma once

#include <cstdint>

#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Two 32-bit integers.
struct T2_longint_rec {
  int32_t long0 = 0;
  int32_t long1 = 0;
};
// Three 32-bit integers.
struct T3_longint_rec {
  int32_t long0 = 0;
  int32_t long1 = 0;
  int32_t long2 = 0;
};
// Selects long0 or long1 of a T2_longint_rec.
enum T2LongintSort : uint8_t { t2_long0, t2_long1 };

// Two and three unsigned 32-bit values.
struct Tdouble_cardinal_rec {
  uint32_t card1 = 0;
  uint32_t card2 = 0;
};
struct Ttriple_cardinal_rec {
  uint32_t card1 = 0;
  uint32_t card2 = 0;
  uint32_t card3 = 0;
};
// A frequency with two or three unsigned values.
struct TIntegerAnd2CardinalsRec {
  int32_t freq = 0;
  Tdouble_cardinal_rec value;
};
struct TIntegerAnd3CardinalsRec {
  int32_t freq = 0;
  Ttriple_cardinal_rec value;
};

// ---- scalars ----
int32_t CompareLongints(int32_t a, int32_t b);
int32_t CompareCardinals(uint32_t a, uint32_t b);
int32_t CompareInt64s(int64_t a, int64_t b);
int32_t Compare16BitWords(uint16_t a, uint16_t b);
int32_t Compare16Bit(uint16_t a, uint16_t b);
// By code unit value.
int32_t CompareChars(char16_t a, char16_t b);
int32_t CompareBytes(uint8_t a, uint8_t b);
// -1, 0 or 1; 0 when either is not a number.
int32_t CompareSingles(float a, float b);
int32_t CompareDoubles(double a, double b);
int32_t CompareDates(TDateTime a, TDateTime b);
int32_t CompareJulianDates(double a, double b);

// ---- strings ----
// Ordinal by UTF-16 code units (a proper prefix first): -1, 0 or 1.
int32_t Compare2Strings(const UnicodeString& a, const UnicodeString& b);
// 0 when equal with A..Z folded; otherwise both upper-cased with the full Unicode mapping and
// compared ordinally, -1 or 1.
int32_t Compare2StringsCaseInsensitively(const UnicodeString& a, const UnicodeString& b);
// As NUL-terminated texts: the difference of the first differing code units, stopping at a NUL.
int32_t CrudeStringComparison(const UnicodeString& a, const UnicodeString& b);
// 0 when either is empty; otherwise CompareLCIDPchar under the locale (-1, 0, 1; -2 on failure).
int32_t LCIDStringComparison(const UnicodeString& a, const UnicodeString& b, LCID lcid);
// -n (the largest value for the smallest n, which has no negation).
int32_t ReversedComparisonInteger(int32_t n);

// ---- records ----
// CompareLongints on long0 or long1.
int32_t Compare2LongintRecs(const T2_longint_rec& a, const T2_longint_rec& b, T2LongintSort which);
int32_t Compare2CardinalsCard1(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b);
int32_t Compare2CardinalsCard2(const Tdouble_cardinal_rec& a, const Tdouble_cardinal_rec& b);
int32_t CompareIntAnd2CardinalsCard1(const TIntegerAnd2CardinalsRec& a, const TIntegerAnd2CardinalsRec& b);
int32_t CompareIntAnd2CardinalsCard2(const TIntegerAnd2CardinalsRec& a, const TIntegerAnd2CardinalsRec& b);
// freq compared as signed.
int32_t CompareIntAnd2CardinalsFreq(const TIntegerAnd2CardinalsRec& a, const TIntegerAnd2CardinalsRec& b);
int32_t CompareIntAnd3CardinalsCard1(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b);
int32_t CompareIntAnd3CardinalsCard2(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b);
int32_t CompareIntAnd3CardinalsCard3(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b);
// freq compared as unsigned, as the lists sorted by it have always been.
int32_t CompareIntAnd3CardinalsFreq(const TIntegerAnd3CardinalsRec& a, const TIntegerAnd3CardinalsRec& b);

// ---- exchanges ----
void ExchangeTwoIntegers(int32_t& a, int32_t& b);
void ExchangeTwoChars(char16_t& a, char16_t& b);
void ExchangeTwoStrings(UnicodeString& a, UnicodeString& b);
void ExchangeTwoPointers(void*& a, void*& b);

}  // namespace kx8
