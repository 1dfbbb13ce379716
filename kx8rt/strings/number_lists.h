// Short readable renderings of numbers and sizes, and the compact notation for sets of whole numbers
// ("1-3,5,8-10") that users type to choose texts, columns, years or months.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// How a computed value is shown in a grid cell.
enum TNumberDisplay : uint8_t { gdd_as_integer, gdd_only_as_float, gdd_per_cent, gdd_per_thousand, gdd_per_million };

// A value to show and how to show it. (The grid tools keep their raw counts elsewhere; only what the
// formatting needs lives here.)
struct TNumberDisplayAndSinglesRec {
  float computed_value = 0;
  TNumberDisplay number_display = gdd_as_integer;
};

// Most numbers a number list may stand for when written out (by the expanding readers below); a longer
// list raises EConvertError, since "0-2000000000" would otherwise ask for gigabytes of text.
inline constexpr int32_t MaxNumbersInNumberList = 1000000;

// x with thousands separators, or divided by 1000 as often as it takes to fall below 1000 with one
// decimal and K, M, G or "Yikes": 1234567 gives "1.2M".
UnicodeString EasiestNRepresentationOfLargeNumber(float x);
// rec.computed_value with decimals decimals (negative counts as 0), optionally with thousands
// separators, followed by "%", " ptw" or " pmw" as rec.number_display asks.
UnicodeString FormattedWithDecimals(const TNumberDisplayAndSinglesRec& rec, int32_t decimals, bool thousands);
// A size in bytes, "Kb", "Mb" or "Gb" with truncating division and no space: "512bytes", "3000Kb".
UnicodeString ValueToByteStr(int64_t v);
// The enabled relationship thresholds as "name threshold" items joined by ","; empty when none is on.
UnicodeString RelationshipRequirements(const TCogridMutualChecks& checks);
// "%dst", "%dnd", "%drd" or "%dth" by the last decimal digit of n (11 gives "%dst").
UnicodeString OrdinalFormatOf(int32_t n);
// value in decimal, with "0"s in front up to width characters (a minus sign counts and stays after them).
UnicodeString WithLeftZeros(int32_t width, int32_t value);

// The notation of the lines that read as 32-bit integers (other lines are skipped): runs of three or more
// consecutive numbers become ranges, pairs stay two numbers. 1,2,3,5,7,8 gives "1-3,5,7,8". Each number
// is written in decimal, whatever form its line had.
UnicodeString HumanAbbreviatedNumberListString(const TStringList& list);
// The same for the elements of values with offset added to each.
UnicodeString HumanAbbreviatedNumberListString(const std::vector<int32_t>& values, int32_t offset);
// A new list of the elements of values plus offset, in decimal.
std::unique_ptr<TStringList> TArrayOfIntegersToStringlist(const std::vector<int32_t>& values, int32_t offset);

// Every number of the notation written out: "1-3,5" gives "1,2,3,5". Characters other than digits, ","
// and "-" are ignored; a range whose low end is not a number starts at 0; one whose high end is missing,
// not a number or below the low end adds nothing. Raises EConvertError beyond MaxNumbersInNumberList.
UnicodeString HumanAbbreviatedNumberListStringExpanded(const UnicodeString& s);
// The numbers of the notation minus offset, in the order of the text, duplicates kept; items that are
// not 32-bit numbers (or leave that range once offset is taken off) are left out. Raises EConvertError
// beyond MaxNumbersInNumberList.
std::vector<int32_t> HumanAbbreviatedNumberListStringAsIntegers(const UnicodeString& s, int32_t offset);
// The n-th number (1-based) of the notation as a string; the last when n is beyond the end (the first
// when n < 1); empty when that item is not a 32-bit number.
UnicodeString ANumberInHumanString(const UnicodeString& s, int32_t n);
// s with the first "01" replaced by the first short month name, then the first "12" by the twelfth, and
// so on in between, wherever they stand.
UnicodeString HumanAbbreviatedNumberListStringToMonths(const UnicodeString& s);

}  // namespace kx8
