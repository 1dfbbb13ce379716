// Quick word lists of one text (a word is a run of letters and digits; case is ignored when counting)
// and two comparisons of texts: alike as bags of words, and how many word types and tokens differ.
#pragma once

#include <cstdint>
#include <functional>

#include "kx8rt/containers/holders.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// The first word found to differ between two texts, with its frequency in each.
struct TFreqDifference {
  int32_t first_text_freq = 0;
  int32_t second_text_freq = 0;
  UnicodeString wd;
};

// How far two word lists differ in types and tokens, and whether that is little enough to show.
struct TTypeAndTokenAndSinglesDifferences {
  bool show_it = false;
  int32_t type_diffs = 0;
  int32_t token_diffs = 0;
  float type_diff_pc = 0;
  float token_diff_pc = 0;
};

// Decides whether a word is counted.
using TWordFilter = std::function<bool(const UnicodeString& word)>;

// The words of text of at least minLength UTF-16 units: SLIst (a new list the caller frees) holds each
// type once, in the form met first, with its frequency as the slot's integer; n is the tokens counted.
// Case is ignored in telling types apart. The list is in sorted mode (the list's own case-blind
// comparison), or, with sortByFrequency, unsorted and ordered by frequency descending, ties by the
// word in descending code-unit order.
TStringListAndInteger SimpleTallierOfTxt(const UnicodeString& text, int32_t minLength, bool sortByFrequency);
// The same, counting the words for which filter answers true (an empty filter counts every word).
TStringListAndInteger SimpleTallierOfTxt(const UnicodeString& text, const TWordFilter& filter, bool sortByFrequency);

// The first word (upper-cased), in the frequency order of the text with more types (the second on a
// tie), of at least minFreq occurrences there whose frequencies in the two texts differ by more than
// maxDiff; wd is empty when there is none, and then the frequencies are 0.
TFreqDifference BagOfWordsSimilar(const UnicodeString& text1, const UnicodeString& text2, int32_t maxDiff,
                                  int32_t minFreq, int32_t minLength);

// Types and tokens found in only one of two word lists (as SimpleTallierOfTxt makes them) and their
// shares; show_it when either share is at most threshold2. threshold1 is not consulted: both shares
// answer to the one threshold the tools show. word ends holding the last word found in one list only
// (a word of list2 when there is one), or keeps its value when there is none. Two empty lists differ
// by nothing: shares 0, show_it true.
TTypeAndTokenAndSinglesDifferences TypeAndTokenDifferences2SimpleWordLists(const TStringList& list1,
                                                                          const TStringList& list2,
                                                                          float threshold1, float threshold2,
                                                                          UnicodeString& word);

}  // namespace kx8
