// Word lists of a corpus: the words of the chosen texts tallied as one, read through the same text
// delivery and word rule as the concordance, so that a word's frequency here is the number of hits a
// concordance of that word finds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kx8rt/corpus/corpus_texts.h"
#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/string_list.h"

namespace kx8 {

struct TCorpusWordListOptions {
  TCorpusWordRule word_rule;  // middle characters
  uint16_t codepage = 0;      // of 8-bit texts; 0: the system's
  TCorpusTextChoice choice;
  int32_t min_length = 1;     // shorter words are not counted
  bool by_frequency = true;   // else in the list's own (case-blind, collated) order
  int32_t workers = 1;        // texts (and parts of a large plain file) counted at once; 0: the machine's cores
  int32_t chunk_units = 4 << 20;
  int32_t margin_units = 4 << 10;  // a word longer than this at a chunk's edge is cut there
};

// What became of one text.
struct TCorpusWordListText {
  UnicodeString name;
  bool read = false;
  bool unreadable = false;  // not read because it could not be (rather than being no text)
  UnicodeString skipped_because;
  TKXFileFormat format = fc_Unknown;
  int64_t tokens = 0;
};

struct TCorpusWordListResult {
  std::unique_ptr<TStringList> list;  // each type once, in the form first seen, its frequency as the line's integer
  int64_t tokens = 0;
  int64_t texts = 0, texts_read = 0, texts_skipped = 0, problems = 0;
};

// The word list of the texts under paths (words compared without case). Raises EEncodingError for a
// code page that is not available. onText (may be empty) is told of each text, onProblem of each path
// that could not be walked.
TCorpusWordListResult CorpusWordList(const std::vector<UnicodeString>& paths, const TCorpusWordListOptions& options,
                                     const std::function<void(const TCorpusWordListText&)>& onText,
                                     const TCorpusProblemEvent& onProblem);

// The first word, in the frequency order of the list with more types (the second on a tie), of at least
// minFreq occurrences there whose frequencies in the two lists differ by more than maxDiff (words met
// without case); empty when there is none. Frequencies go to freq1 and freq2.
UnicodeString FirstDifferingWord(const TStringList& list1, const TStringList& list2, int64_t maxDiff, int64_t minFreq,
                                 int64_t& freq1, int64_t& freq2);

// The words of a text held in memory, under the same rule: each word's start and length, in order.
void ForEachCorpusWord(std::u16string_view text, const TCorpusWordRule& rule,
                       const std::function<void(size_t start, size_t length)>& onWord);

}  // namespace kx8
