// String-list sorts: the comparison routines that order a string list by what the holders in its
// object slots carry, each with fixed tie-breaks so that every tool shows equal-scoring lines in the
// same order. Each has the shape of TStringList::CustomSort's comparison and answers -1, 0 or 1.
//
// A line whose slot does not hold the holder a routine expects (an empty slot, an integer, another
// class) is compared as if its holder carried the all-zero record; nothing is read out of place.
#pragma once

#include <cstdint>

#include "kx8rt/containers/comparisons.h"
#include "kx8rt/containers/holders.h"
#include "kx8rt/platform/string_list.h"

namespace kx8 {

// Turns round every key of the routines that consult it (they exchange the two indices first). Set by
// the typed lists from their "ascending" argument just before a sort; kept afterwards.
inline bool global_descending_sort = false;
// Which of long0 / long1 the two-integer-and-score routines read; set by the typed lists before a sort.
inline T2LongintSort temp_Sort_which2 = t2_long0;

// TStringAndIntegerHolder: i ascending (descending when global_descending_sort), then s ascending.
int StringListWithStringAndInteger_Sort_Int(TStringList& List, int32_t Index1, int32_t Index2);
// TStringAndIntegerHolder: s, then i; both turned round by global_descending_sort.
int StringListWithStringAndInteger_Sort_Substring(TStringList& List, int32_t Index1, int32_t Index2);
// TStringAndMeanAndSD_recHolder: mean descending, then sd ascending.
int StringListWithStringAndMeanAndSD_recDescending(TStringList& List, int32_t Index1, int32_t Index2);
// TTwoLongIntHolder: long0 descending, then long1 ascending, then the line ascending.
int StringListWithDoubleLongintListSortOn_Long0(TStringList& List, int32_t Index1, int32_t Index2);
// TTwoLongIntHolder: long1 descending, then long0 ascending, then the line ascending.
int StringListWithDoubleLongintListSortOn_Long1(TStringList& List, int32_t Index1, int32_t Index2);
// TIntegerAndSingleHolder: int ascending, then s descending; turned round by global_descending_sort.
int SListWIntAndSingleSortOn_Int(TStringList& List, int32_t Index1, int32_t Index2);
// TIntegerAndSingleHolder: s, then int, both ascending; turned round by global_descending_sort.
int SListWIntAndSingleSortOn_Single_Sort2_Int(TStringList& List, int32_t Index1, int32_t Index2);
// TIntegerAndSingleHolder: s, then the line, both ascending; turned round by global_descending_sort.
int SListWIntAndSingleSortOn_Single_Sort2_String(TStringList& List, int32_t Index1, int32_t Index2);
// TIntegerAndSingleHolder: the line ascending, then s ascending (descending when global_descending_sort).
int SListWIntAndSingleSortOn_Strings(TStringList& List, int32_t Index1, int32_t Index2);
// Holder of a T2LongintAndSingleRec: long0 or long1 (temp_Sort_which2) ascending, then s descending;
// turned round by global_descending_sort.
int SListWIntsAndSingleSortOn_Int(TStringList& List, int32_t Index1, int32_t Index2);
// Holder of a T2LongintAndSingleRec: s, then long0 or long1 (temp_Sort_which2), both ascending; turned
// round by global_descending_sort.
int SListWIntsAndSingleSortOn_Single_Sort2Int(TStringList& List, int32_t Index1, int32_t Index2);
// Holder of a T2LongintAndSingleRec: s, then the line, both ascending; turned round by global_descending_sort.
int SListWIntsAndSingleSortOn_Single_Sort2_String(TStringList& List, int32_t Index1, int32_t Index2);
// Holder of a T2LongintAndSingleRec: the line ascending, then s descending; turned round by
// global_descending_sort.
int SListWIntsAndSingleSortOn_Strings(TStringList& List, int32_t Index1, int32_t Index2);
// TLongIntHolder: the value descending, no tie-break.
int StringListWithALongintSortOn_Freq(TStringList& List, int32_t Index1, int32_t Index2);
// TSingleHolder: the value descending, no tie-break.
int StringListWithSingleSortOn_Freq(TStringList& List, int32_t Index1, int32_t Index2);
// A plain integer in the slot (an object there raises EInvalidCast): the integer (as 32 bits), then the
// line, both ascending; turned round by global_descending_sort.
int StringListCompare_Freq(TStringList& List, int32_t Index1, int32_t Index2);
// TDateTimeHolder: the date, then the line, both ascending; turned round by global_descending_sort.
int SListSortOn_Date(TStringList& List, int32_t Index1, int32_t Index2);
// The line ascending, ordinal by code unit whatever the list's own case setting; turned round by
// global_descending_sort.
int SListSortOn_Strings(TStringList& List, int32_t Index1, int32_t Index2);
// A pointer list (TList) in the slot: its Count descending, no tie-break; another object counts 0.
int StringListWithLongintListSortOn_ListCounts(TStringList& List, int32_t Index1, int32_t Index2);

}  // namespace kx8
