#include "kx8rt/strings/word_lists.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "kx8rt/platform/yield.h"

namespace kx8 {
namespace {

using Counts = std::vector<std::pair<UnicodeString, int64_t>>;

Counts CountsOf(const TStringList& list) {
  Counts out;
  for (int32_t i = 0; i < list.Count(); ++i) out.emplace_back(list.Get(i), list.Integers(i));
  return out;
}

// A word list as the tallier makes them, from (word, frequency) pairs, optionally in sorted mode.
std::unique_ptr<TStringList> WordList(const Counts& counts, bool sorted = false) {
  auto list = std::make_unique<TStringList>();
  for (const auto& [w, f] : counts) list->AddInteger(w, f);
  list->SetSorted(sorted);
  return list;
}

TEST(SimpleTallier, CaseIgnoredFirstFormListed) {
  const TStringListAndInteger r = SimpleTallierOfTxt(u"The cat, the CAT; a dog.", 2, false);
  const std::unique_ptr<TStringList> list(r.SLIst);
  EXPECT_EQ(r.n, 5);  // "a" is too short
  EXPECT_TRUE(list->Sorted());
  EXPECT_EQ(CountsOf(*list), (Counts{{u"cat", 2}, {u"dog", 1}, {u"The", 2}}));
  int32_t at = -1;
  EXPECT_TRUE(list->Find(u"THE", at));  // the list's own look-up still ignores case
}

TEST(SimpleTallier, WordsAreRunsOfLettersAndDigits) {
  const std::unique_ptr<TStringList> list(
      SimpleTallierOfTxt(u"abc123def 42 x-ray caf\u00E9 \u0394\u03B5\u03BB\u03C4\u03B1 \U00010400\U00010401", 0, false).SLIst);
  for (const char16_t* w : {u"abc123def", u"42", u"x", u"ray", u"caf\u00E9", u"\u0394\u03B5\u03BB\u03C4\u03B1",
                            u"\U00010400\U00010401"})
    EXPECT_GE(list->IndexOf(w), 0) << Utf16ToUtf8(w);
  EXPECT_EQ(list->Count(), 7);
  // A lone surrogate is no letter: it ends the word.
  const TStringListAndInteger lone = SimpleTallierOfTxt(UnicodeString(u"ab") + char16_t(0xD800) + u"cd", 1, false);
  delete lone.SLIst;
  EXPECT_EQ(lone.n, 2);
}

TEST(SimpleTallier, FrequencyOrderWithTiesInDescendingLineOrder) {
  const TStringListAndInteger r = SimpleTallierOfTxt(u"b a c b a c d d d", 1, true);
  const std::unique_ptr<TStringList> list(r.SLIst);
  EXPECT_FALSE(list->Sorted());
  EXPECT_EQ(CountsOf(*list), (Counts{{u"d", 3}, {u"c", 2}, {u"b", 2}, {u"a", 2}}));
  EXPECT_EQ(r.n, 9);
}

TEST(SimpleTallier, FilterFormAndYielding) {
  int yields = 0;
  const auto saved = Global_YieldProcessProc;
  Global_YieldProcessProc = [&yields] { ++yields; };
  const TStringListAndInteger r =
      SimpleTallierOfTxt(u"one two three two", [](const UnicodeString& w) { return w != u"two"; }, false);
  Global_YieldProcessProc = saved;
  const std::unique_ptr<TStringList> list(r.SLIst);
  EXPECT_EQ(yields, 17);  // once before each character
  EXPECT_EQ(r.n, 2);
  EXPECT_EQ(CountsOf(*list), (Counts{{u"one", 1}, {u"three", 1}}));

  const TStringListAndInteger empty = SimpleTallierOfTxt(u"", 1, true);
  EXPECT_EQ(empty.SLIst->Count(), 0);
  EXPECT_EQ(empty.n, 0);
  delete empty.SLIst;
}

TEST(BagOfWords, SameTextsAgreeAndAnExcessIsReported) {
  const UnicodeString text = u"the cat sat on the mat with the other cat";
  const TFreqDifference same = BagOfWordsSimilar(text, text, 0, 1, 1);
  EXPECT_EQ(same.wd, u"");
  EXPECT_EQ(same.first_text_freq, 0);

  const UnicodeString more = text + u" mat mat mat mat mat";
  const TFreqDifference d = BagOfWordsSimilar(text, more, 3, 1, 1);
  EXPECT_EQ(d.wd, u"MAT");
  EXPECT_EQ(d.first_text_freq, 1);
  EXPECT_EQ(d.second_text_freq, 6);
  // Swapped, each frequency stays with its own text.
  const TFreqDifference swapped = BagOfWordsSimilar(more, text, 3, 1, 1);
  EXPECT_EQ(swapped.wd, u"MAT");
  EXPECT_EQ(swapped.first_text_freq, 6);
  EXPECT_EQ(swapped.second_text_freq, 1);
  EXPECT_EQ(BagOfWordsSimilar(text, more, 5, 1, 1).wd, u"");
  EXPECT_EQ(BagOfWordsSimilar(text, more, 3, 7, 1).wd, u"");  // too rare to count
}

TEST(BagOfWords, SecondListLongerKeepsEachTextsField) {
  // The second text has more types, so it is walked; its excess word is reported in its own field.
  const TFreqDifference d = BagOfWordsSimilar(u"x y", u"x x x x x y z w", 2, 1, 1);
  EXPECT_EQ(d.wd, u"X");
  EXPECT_EQ(d.first_text_freq, 1);
  EXPECT_EQ(d.second_text_freq, 5);
  // A word missing from the first text altogether counts 0 there.
  const TFreqDifference missing = BagOfWordsSimilar(u"a", u"b b b b", 2, 1, 1);
  EXPECT_EQ(missing.wd, u"B");
  EXPECT_EQ(missing.first_text_freq, 0);
  EXPECT_EQ(missing.second_text_freq, 4);
}

TEST(TypeAndTokenDifferences, IdenticalAndDisjointLists) {
  UnicodeString word = u"before";
  const auto list = WordList({{u"a", 2}, {u"b", 1}});
  const auto same = TypeAndTokenDifferences2SimpleWordLists(*list, *list, 0, 0, word);
  EXPECT_EQ(same.type_diffs, 0);
  EXPECT_EQ(same.token_diffs, 0);
  EXPECT_TRUE(same.show_it);
  EXPECT_EQ(word, u"before");  // nothing found in one list only

  const auto l1 = WordList({{u"a", 2}, {u"b", 1}});
  const auto l2 = WordList({{u"a", 1}, {u"c", 4}});
  const auto d = TypeAndTokenDifferences2SimpleWordLists(*l1, *l2, 0, 50, word);
  EXPECT_EQ(d.type_diffs, 2);
  EXPECT_EQ(d.token_diffs, 6);
  EXPECT_FLOAT_EQ(d.type_diff_pc, 2.0f * 100 / 3);
  EXPECT_FLOAT_EQ(d.token_diff_pc, 6.0f * 100 / 7);
  EXPECT_EQ(word, u"c");  // the last word of list2 found there only
  EXPECT_FALSE(d.show_it);
  EXPECT_TRUE(TypeAndTokenDifferences2SimpleWordLists(*l1, *l2, 0, 66.7f, word).show_it);

  // The same figures through sorted lists and a case difference, which the look-up ignores.
  const auto s1 = WordList({{u"A", 2}, {u"b", 1}}, true);
  const auto s2 = WordList({{u"a", 1}, {u"c", 4}}, true);
  const auto ds = TypeAndTokenDifferences2SimpleWordLists(*s1, *s2, 0, 0, word);
  EXPECT_EQ(ds.type_diffs, 2);
  EXPECT_EQ(ds.token_diffs, 6);
}

TEST(TypeAndTokenDifferences, EmptyLists) {
  UnicodeString word;
  const auto none = WordList({});
  const auto both = TypeAndTokenDifferences2SimpleWordLists(*none, *none, 0, 0, word);
  EXPECT_EQ(both.type_diff_pc, 0);
  EXPECT_EQ(both.token_diff_pc, 0);
  EXPECT_TRUE(both.show_it);
  const auto some = WordList({{u"x", 3}});
  const auto one = TypeAndTokenDifferences2SimpleWordLists(*none, *some, 0, 10, word);
  EXPECT_EQ(one.type_diffs, 1);
  EXPECT_EQ(one.token_diffs, 3);
  EXPECT_FLOAT_EQ(one.type_diff_pc, 100);
  EXPECT_FLOAT_EQ(one.token_diff_pc, 100);
  EXPECT_FALSE(one.show_it);
  EXPECT_EQ(word, u"x");
}

TEST(TypeAndTokenDifferences, TalliedTexts) {
  const std::unique_ptr<TStringList> a(SimpleTallierOfTxt(u"to be or not to be", 1, true).SLIst);
  const std::unique_ptr<TStringList> b(SimpleTallierOfTxt(u"TO BE OR NOT", 1, true).SLIst);
  UnicodeString word;
  const auto d = TypeAndTokenDifferences2SimpleWordLists(*a, *b, 0, 40, word);
  EXPECT_EQ(d.type_diffs, 0);
  EXPECT_EQ(d.token_diffs, 2);
  EXPECT_FLOAT_EQ(d.token_diff_pc, 2.0f * 100 / 6);
  EXPECT_TRUE(d.show_it);
}

}  // namespace
}  // namespace kx8
