#include "kx8rt/corpus/corpus_word_list_merging.h"

#include <unordered_map>

#include "kx8rt/containers/useful_classes_stringlist_sorts.h"
#include "kx8rt/platform/char_classes.h"

namespace kx8 {

void SortCorpusWordList(TStringList& list, bool byFrequency) {
  if (byFrequency) {
    // The suite's frequency sort, descending as its word lists show it.
    const bool saved = global_descending_sort;
    global_descending_sort = true;
    list.CustomSort(StringListCompare_Freq);
    global_descending_sort = saved;
  } else {
    list.SetSorted(true);
  }
}

std::unique_ptr<TStringList> MergeCorpusWordLists(const std::vector<const TStringList*>& parts, bool byFrequency) {
  std::unordered_map<UnicodeString, int32_t> index;  // upper-cased word -> line
  std::vector<int64_t> freq;
  auto merged = std::make_unique<TStringList>();
  for (const TStringList* part : parts) {
    if (part == nullptr) continue;
    for (int32_t i = 0; i < part->Count(); ++i) {
      const UnicodeString& word = part->StoredString(i);
      const auto [it, added] = index.try_emplace(ToUpper(word), merged->Count());
      if (added) {
        merged->AddInteger(word, 0);
        freq.push_back(0);
      }
      freq[static_cast<size_t>(it->second)] += part->Integers(i);
    }
  }
  for (int32_t i = 0; i < merged->Count(); ++i) merged->PutInteger(i, freq[static_cast<size_t>(i)]);
  SortCorpusWordList(*merged, byFrequency);
  return merged;
}

}  // namespace kx8
