// The word rule's one-pass counter: the vector paths (eight and sixteen type words a block) must count
// exactly what a plain loop over the same type words counts, at every start and end.
#include "kx8rt/corpus/corpus_words.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {
namespace {

TCorpusCounts PlainCount(const std::vector<uint16_t>& t, int32_t from, int32_t to) {
  constexpr uint16_t kBreak = whitespace_mask | tag_char_flag | segment_marker_flag;
  auto brk = [](uint16_t x) { return (x & kBreak) != 0; };
  TCorpusCounts c;
  for (int32_t i = from; i < to; ++i) {
    const uint16_t x = t[static_cast<size_t>(i)], next = t[static_cast<size_t>(i) + 1];
    c.break_starts += !brk(next) && (brk(x) || (next & word_start_flag) != 0);
    c.words += i == 0 ? IsCorpusWordChar(x) : IsCorpusWordStart(t[static_cast<size_t>(i) - 1], x);
    c.sentence_ends += x == SegmentMarkerType(ts_sentence_end);
    c.paragraph_ends += x == SegmentMarkerType(ts_paragraph_end);
  }
  return c;
}

TEST(CountCorpusUnits, VectorPathsCountWhatAPlainLoopCounts) {
  // Letters, digits, spaces, punctuation, tags, both markers and word starts inside runs, mixed.
  const uint16_t kinds[] = {defined_letter_type, defined_lower_letter_type, defined_digit_type, C1_SPACE | C1_BLANK,
                            C1_PUNCT | C1_DEFINED, defined_letter_type | tag_char_flag,
                            SegmentMarkerType(ts_sentence_end), SegmentMarkerType(ts_paragraph_end),
                            defined_letter_type | word_start_flag, defined_char_type};
  std::mt19937 rng(7);
  std::vector<uint16_t> t(70000);
  for (auto& x : t) x = kinds[rng() % std::size(kinds)];
  t.back() = 0;  // the spare entry after the last character
  const int32_t n = static_cast<int32_t>(t.size()) - 1;
  for (const bool wide : {false, true}) {
    TWideVectorsSetting setting(wide);
    for (const auto& [from, to] : std::vector<std::pair<int32_t, int32_t>>{
             {0, n}, {1, n}, {0, 15}, {3, 40}, {17, 17}, {5, 66000}, {9, n - 3}}) {
      const TCorpusCounts want = PlainCount(t, from, to), got = CountCorpusUnits(t.data(), from, to);
      EXPECT_EQ(got.break_starts, want.break_starts) << from << ".." << to << " wide " << wide;
      EXPECT_EQ(got.words, want.words) << from << ".." << to << " wide " << wide;
      EXPECT_EQ(got.sentence_ends, want.sentence_ends) << from << ".." << to;
      EXPECT_EQ(got.paragraph_ends, want.paragraph_ends) << from << ".." << to;
    }
  }
}

}  // namespace
}  // namespace kx8
