// The columns of concordance contexts: the sixteen-unit measure must cut every string where the measure
// of one character at a time does, whatever mixes of scripts, marks and surrogates it holds.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "columns.h"

namespace {

using kx8tool::HeadInColumns;
using kx8tool::TailInColumns;

struct Cut {
  size_t headUnits, tailUnits;
  int tailColumns;
  bool operator==(const Cut& o) const {
    return headUnits == o.headUnits && tailUnits == o.tailUnits && tailColumns == o.tailColumns;
  }
};

Cut CutOf(const std::u16string& s, int columns) {
  Cut c{};
  c.headUnits = HeadInColumns(s, columns).size();
  c.tailUnits = TailInColumns(s, columns, c.tailColumns).size();
  return c;
}

// With the processor's vectors, or with the one-character loop alone.
Cut CutWith(bool vectors, const std::u16string& s, int columns) {
  const bool saved = kx8::Global_UseVectors512;
  kx8::Global_UseVectors512 = vectors && saved;
  const Cut c = CutOf(s, columns);
  kx8::Global_UseVectors512 = saved;
  return c;
}

TEST(ContextColumns, HandCountedCuts) {
  const std::u16string han(20, u'文');  // two columns each
  const std::u16string mixed = u"ab文件，" + han;  // 2 + 4 + 2 + 40 columns
  const std::u16string marked = std::u16string(17, u'e') + u"\u0301";  // a mark on the last letter
  const std::u16string orphan = u"文\u0301" + std::u16string(16, u'e');    // a mark on a wide letter
  struct Case {
    const std::u16string* s;
    int columns;
    Cut want;
  } cases[] = {
      {&han, 33, {16, 16, 32}},     // a character that would take a half column is left out
      {&han, 40, {20, 20, 40}},
      {&han, 0, {0, 0, 0}},
      {&mixed, 47, {24, 24, 47}},   // each end leaves out the character at the other
      {&mixed, 48, {25, 25, 48}},
      {&marked, 17, {18, 18, 17}},  // the mark goes with its letter, at either end
      {&marked, 1, {1, 2, 1}},
      {&orphan, 16, {16, 16, 16}},  // the tail leaves out the mark of the letter it leaves out
  };
  for (const Case& c : cases)
    for (const bool vectors : {false, true}) {
      const Cut got = CutWith(vectors, *c.s, c.columns);
      EXPECT_EQ(got.headUnits, c.want.headUnits) << c.columns << (vectors ? " vectors" : "");
      EXPECT_EQ(got.tailUnits, c.want.tailUnits) << c.columns << (vectors ? " vectors" : "");
      EXPECT_EQ(got.tailColumns, c.want.tailColumns) << c.columns << (vectors ? " vectors" : "");
    }
}

TEST(ContextColumns, SixteenAtATimeCutsAsOneAtATime) {
  if (!kx8::Global_UseVectors512) GTEST_SKIP() << "no 512-bit vectors here";
  // Units of every kind the measure tells apart: narrow, wide, fullwidth, zero-width marks and Hangul
  // finals, a pair beyond the first plane (wide and narrow ones) and lone surrogates.
  const std::u16string pieces[] = {u"a", u" ", u"\u00E9", u"文", u"件", u"，", u"。", u"カ", u"\u0301", u"\u200B",
                                   u"\u11A8", u"\U00020000", u"\U0001F600", u"\U00010400", u"\xD800", u"\xDC00",
                                   u"\uFF21", u"\uFF61", u"\t"};
  std::mt19937 random(7);
  int compared = 0;
  for (int round = 0; round < 4000; ++round) {
    std::u16string s;
    const int length = static_cast<int>(random() % 80);
    // Mostly one kind at a time, as real contexts are, so that whole vectors of it come about.
    const size_t usual = random() % std::size(pieces);
    for (int k = 0; k < length; ++k) s += pieces[random() % 4 == 0 ? random() % std::size(pieces) : usual];
    const int columns = static_cast<int>(random() % 100);
    const Cut one = CutWith(false, s, columns), sixteen = CutWith(true, s, columns);
    ASSERT_TRUE(one == sixteen) << "round " << round << ": " << one.headUnits << "/" << sixteen.headUnits << " "
                                << one.tailUnits << "/" << sixteen.tailUnits;
    ++compared;
  }
  EXPECT_EQ(compared, 4000);
}

}  // namespace
