// Counting a 7-bit window from its characters must give what classifying it, applying the word rule and
// counting the type array give, over every range and with any middle characters.
#include "kx8rt/corpus/ascii_window_counts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {
namespace {

TEST(AsciiWindowCounts, CountsWhatTheClassifiedWindowCounts) {
  if (!TAsciiWindowCounts::Available()) GTEST_SKIP() << "no 256-bit vectors here";
  // Letters of both cases, digits, the rule's separators, terminators, blanks, line breaks, controls,
  // apostrophes, hyphens and other punctuation, in runs that make words, numbers, sentences and
  // paragraphs.
  const std::vector<std::u16string> pieces = {u"word", u"The", u"a", u"3", u"1,000.5", u"e.g.", u" ", u" ", u"  ",
                                              u". ", u"! ", u"?", u"...", u"\n", u"\n\n", u" \n", u"\t", u"\r\n",
                                              u"'", u"don't", u"-", u"x-y", u":", u"\"", u"\x01", u"\x7F", u"A.",
                                              u"3.5", u"www.gnu.org", u". 4", u".)", u"'s", u"Ok", u",", u"9",
                                              std::u16string(1, u'\0'), u"\n\0\n",
                                              // blanks over whole words of the masks, after a line break
                                              u"\n" + std::u16string(150, u' ') + u"\n", std::u16string(70, u'\t')};
  const UnicodeString middleSets[] = {u"'\u2019", u"'", u"'-", u"'-:x.", u"'-:x.,;/", u""};
  // Both vector widths where the processor has the 512-bit ones, each over the same texts.
  for (const bool use512 : {true, false}) {
    const TVectors512Setting width(use512);
    std::mt19937 rng(17);
    // One object for every window, as the concordancer keeps it.
    TAsciiWindowCounts counts, fromBytes;
    for (const UnicodeString& middles : middleSets)
      for (const size_t target : {1, 63, 64, 65, 200, 4096, 20000}) {
        // The units as bytes too, where a zero byte stands for the space the decoders make of it.
        std::u16string text;
        while (text.size() < target) text += pieces[rng() % pieces.size()];
        std::vector<uint8_t> bytes(text.begin(), text.end());
        std::replace(text.begin(), text.end(), u'\0', u' ');
        const auto n = static_cast<int32_t>(text.size());
        TCorpusWordRule rule;
        rule.middle_chars = middles;
        std::vector<uint16_t> types;
        const TCorpusMarks marks = ClassifyCorpusWindow(text.data(), n, types, rule);
        counts.Take(text.data(), n, middles);
        fromBytes.Take(bytes.data(), n, middles);
        EXPECT_EQ(counts.SentenceEnds(), marks.sentence_ends) << n;
        EXPECT_EQ(counts.ParagraphEnds(), marks.paragraph_ends) << n;
        EXPECT_EQ(fromBytes.SentenceEnds(), marks.sentence_ends) << n;
        EXPECT_EQ(fromBytes.ParagraphEnds(), marks.paragraph_ends) << n;
        // A break is white space, or a marker (which stands on white space).
        for (int32_t i = 0; i < n; ++i) {
          const bool isBreak = (types[static_cast<size_t>(i)] & (whitespace_mask | segment_marker_flag)) != 0;
          ASSERT_EQ(counts.BreakAt(i), isBreak) << i;
          ASSERT_EQ(fromBytes.BreakAt(i), isBreak) << i;
        }
        std::vector<std::pair<int32_t, int32_t>> ranges = {{0, n}, {0, 1}, {n - 1, n}, {n / 3, n / 2}};
        for (int k = 0; k < 40; ++k) {
          const auto a = static_cast<int32_t>(rng() % static_cast<uint32_t>(n + 1));
          const auto b = static_cast<int32_t>(rng() % static_cast<uint32_t>(n + 1));
          ranges.emplace_back(std::min(a, b), std::max(a, b));
        }
        for (const auto& [from, to] : ranges) {
          const TCorpusCounts want = CountCorpusUnits(types.data(), from, to), got = counts.Count(from, to);
          const std::string where = std::to_string(from) + ".." + std::to_string(to) + " of " + std::to_string(n) +
                                    " middles " + std::to_string(middles.size());
          ASSERT_EQ(got.break_starts, want.break_starts) << where;
          ASSERT_EQ(got.words, want.words) << where;
          ASSERT_EQ(got.sentence_ends, want.sentence_ends) << where;
          ASSERT_EQ(got.paragraph_ends, want.paragraph_ends) << where;
          const TCorpusCounts byBytes = fromBytes.Count(from, to);
          ASSERT_EQ(byBytes.break_starts, want.break_starts) << where << " (bytes)";
          ASSERT_EQ(byBytes.words, want.words) << where << " (bytes)";
          ASSERT_EQ(byBytes.sentence_ends, want.sentence_ends) << where << " (bytes)";
          ASSERT_EQ(byBytes.paragraph_ends, want.paragraph_ends) << where << " (bytes)";
        }
        // Where a search word's first places stand (one to four of them: one unit, a letter's two cases, or
        // other sets, which are looked at one by one), found in the units and in the bytes alike.
        const std::vector<std::vector<std::u16string>> placeSets = {
            {u"tT", u"hH", u"eE", u"rR"}, {u"w", u"o", u"r", u"d"}, {u"tTw", u"ho"}, {u"tT", u"ho", u"e"},
            {u".", u"."}, {u"3", u".", u"5"}, {u"'", u"sS"}};  // (no place is a space: a search word's plain beginning ends before one)
        for (const auto& placeUnits : placeSets)
        for (int placeCount = 1; placeCount <= static_cast<int>(placeUnits.size()); ++placeCount) {
          TUnitPlace places[4];
          for (int p = 0; p < placeCount; ++p)
            for (const char16_t c : placeUnits[static_cast<size_t>(p)]) places[p].units[places[p].count++] = c;
          std::vector<int32_t> inUnits, inBytes, want;
          for (int32_t i = 0; i < n; ++i) {
            int p = 0;
            while (p < placeCount && i + p < n &&
                   placeUnits[static_cast<size_t>(p)].find(text[static_cast<size_t>(i + p)]) != std::u16string::npos)
              ++p;
            if (p == placeCount) want.push_back(i);
          }
          ASSERT_TRUE(TAsciiWindowCounts::FindUnits(text.data(), n, 0, n, places, placeCount, inUnits, SIZE_MAX));
          ASSERT_TRUE(TAsciiWindowCounts::FindUnits(bytes.data(), n, 0, n, places, placeCount, inBytes, SIZE_MAX));
          EXPECT_EQ(inUnits, want) << n << " places " << placeCount;
          EXPECT_EQ(inBytes, want) << n << " places " << placeCount;
          if (want.size() > 1) {
            std::vector<int32_t> few;
            EXPECT_FALSE(TAsciiWindowCounts::FindUnits(bytes.data(), n, 0, n, places, placeCount, few, 1));
          }
        }
      }
  }
}

}  // namespace
}  // namespace kx8
