// The word rule's one-pass counter: the vector paths (eight and sixteen type words a block) must count
// exactly what a plain loop over the same type words counts, at every start and end. The rule's marking
// pass, which finds what each step looks at in one scan, must mark what the steps taken one by one mark.
#include "kx8rt/corpus/corpus_words.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/strings/sentences.h"
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
  // Long ranges, and short ones (as between two hits) ending at every place of a block, near the end
  // too, where a last block read past the end would leave what may be read.
  std::vector<std::pair<int32_t, int32_t>> ranges{{0, n}, {1, n}, {0, 15}, {3, 40}, {17, 17}, {5, 66000}, {9, n - 3}};
  for (int32_t from : {1, 100, n - 40})
    for (int32_t len = 1; len <= 40; ++len) ranges.emplace_back(from, std::min(n, from + len));
  for (const bool wide : {false, true}) {
    TWideVectorsSetting setting(wide);
    for (const int32_t readable : {0, n + 1})
      for (const auto& [from, to] : ranges) {
        const TCorpusCounts want = PlainCount(t, from, to), got = CountCorpusUnits(t.data(), from, to, readable);
        const auto where = ::testing::Message() << from << ".." << to << " wide " << wide << " readable " << readable;
        EXPECT_EQ(got.break_starts, want.break_starts) << where;
        EXPECT_EQ(got.words, want.words) << where;
        EXPECT_EQ(got.sentence_ends, want.sentence_ends) << where;
        EXPECT_EQ(got.paragraph_ends, want.paragraph_ends) << where;
      }
  }
}

// The word rule step by step, each step over the whole text on its own: joiners, middle characters,
// separators inside numbers, then sentence and paragraph ends (at the white space after a terminator
// run when a capital or other letter that is not lower case follows; at a line break that ends a line
// holding only blanks).
std::vector<uint16_t> StepByStep(const std::u16string& s, const UnicodeString& middles) {
  const auto n = static_cast<int32_t>(s.size());
  std::vector<uint16_t> t(s.size() + 2);
  GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, s.data(), n, t.data());
  for (int32_t i = 0; i < n; ++i)
    if (s[static_cast<size_t>(i)] == 0x200D) t[static_cast<size_t>(i)] = defined_char_type;
  if (!middles.empty())
    HandleMiddleChars(s.data(), t.data(), middles, static_cast<uint16_t>(middles.size()), n, true, false, false);
  HandleMiddleCharsInNumbers(true, false, s.data(), t.data(), n);
  auto isTerm = [](char16_t c) { return c == u'.' || c == u'!' || c == u'?'; };
  auto isSpace = [](char16_t c) { return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t'; };
  for (int32_t i = 0; i < n; ++i) {
    const char16_t c = s[static_cast<size_t>(i)];
    if (c == u'\n') {
      if (IsSegmentMarker(t[static_cast<size_t>(i)])) continue;
      int32_t j = i - 1;
      while (j >= 0 && (s[static_cast<size_t>(j)] == u' ' || s[static_cast<size_t>(j)] == u'\t' || s[static_cast<size_t>(j)] == u'\r')) --j;
      if (j >= 0 && s[static_cast<size_t>(j)] == u'\n') t[static_cast<size_t>(i)] = SegmentMarkerType(ts_paragraph_end);
      continue;
    }
    if (!isTerm(c)) continue;
    bool starts = false;
    for (int32_t k = i + 1; k < n; ++k) {
      const uint16_t x = t[static_cast<size_t>(k)];
      if (x & segment_marker_flag) continue;
      if (x & C1_LOWER) break;
      if (k == i + 1 && (x & C1_DIGIT)) break;
      if (x & (C1_ALPHA | C1_DIGIT)) {
        starts = true;
        break;
      }
    }
    if (!starts) continue;
    int32_t w = i + 1;
    while (w < n && !isSpace(s[static_cast<size_t>(w)]) && IsPotentialSentenceTerminator(s[static_cast<size_t>(w)])) ++w;
    if (w < n && isSpace(s[static_cast<size_t>(w)]) && !IsSegmentMarker(t[static_cast<size_t>(w)]))
      t[static_cast<size_t>(w)] = SegmentMarkerType(ts_sentence_end);
  }
  return t;
}

TEST(ApplyCorpusWordRule, OneScanMarksWhatTheStepsMarkOneByOne) {
  // Random text of the units the rule looks at, among letters, digits and spaces, at lengths around
  // the scan's blocks; with one, two and three middle characters (three are looked for on their own).
  // Text all 7-bit is scanned by its bytes, other text unit by unit: both kinds are tried.
  const std::u16string mixed = {u'a', u'B', u'c', u'7', u'3', u' ', u' ', u'.', u',', u'!', u'?', u'\n', u'\'',
                                0x2019, 0x200D, u'\t', u'x', u'Q', 0x00E9, u'-'};
  const std::u16string ascii = u"aBc73  .,!?\n'\txQ-\r\"0";
  std::mt19937 rng(11);
  for (const std::u16string& pieces : {mixed, ascii})
  for (const UnicodeString& middles : {UnicodeString(u"'"), UnicodeString(u"'\u2019"), UnicodeString(u"'\u2019-")})
    for (const bool wide : {false, true})
      for (const int32_t n : {1, 2, 7, 8, 9, 15, 16, 17, 31, 33, 63, 65, 200, 5000}) {
        TWideVectorsSetting setting(wide);
        std::u16string s(static_cast<size_t>(n), u' ');
        for (auto& c : s) c = pieces[rng() % pieces.size()];
        const std::vector<uint16_t> want = StepByStep(s, middles);
        std::vector<uint16_t> got(s.size() + 2);
        GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, s.data(), n, got.data());
        TCorpusWordRule rule;
        rule.middle_chars = middles;
        const TCorpusMarks marks = ApplyCorpusWordRule(s.data(), got.data(), n, rule);
        ASSERT_EQ(got, want) << "n " << n << " middles " << middles.size() << " wide " << wide;
        int32_t sentences = 0, paragraphs = 0;
        for (const uint16_t x : want) {
          sentences += x == SegmentMarkerType(ts_sentence_end);
          paragraphs += x == SegmentMarkerType(ts_paragraph_end);
        }
        EXPECT_EQ(marks.sentence_ends, sentences);
        EXPECT_EQ(marks.paragraph_ends, paragraphs);
      }
}

}  // namespace
}  // namespace kx8
