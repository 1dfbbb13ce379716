// Word lists of the parts of a corpus merged into the list of the whole, so that a corpus split into
// shards (counted on several machines) gives the list one count of all its texts gives.
#pragma once

#include <memory>
#include <vector>

#include "kx8rt/platform/string_list.h"

namespace kx8 {

// Orders a word list (each type once, its frequency as the line's integer) as CorpusWordList orders
// it: by frequency descending, ties by the word in descending code-unit order; or, when not
// byFrequency, in the list's own case-blind collated order (sorted mode).
void SortCorpusWordList(TStringList& list, bool byFrequency);

// The word lists of the parts, in the corpus's order, as one: frequencies of a word met without case
// are summed, the form kept is the first part's (as counting the parts' texts in order keeps the form
// first seen), and the result is ordered by SortCorpusWordList. Null parts are passed over.
std::unique_ptr<TStringList> MergeCorpusWordLists(const std::vector<const TStringList*>& parts, bool byFrequency);

}  // namespace kx8
