#include "kx8rt/strings/custom_sort.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx8 {
namespace {

std::vector<UnicodeString> LinesOf(const TStringList& list) {
  std::vector<UnicodeString> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

TEST(CommaSeparatedStrings, TrimsAllButTheLastPiece) {
  EXPECT_EQ(LinesOf(*CommaSeparatedStrings(u"x, y ,z")), (std::vector<UnicodeString>{u"x", u"y", u"z"}));
  EXPECT_EQ(LinesOf(*CommaSeparatedStrings(u"x,")), (std::vector<UnicodeString>{u"x"}));
  EXPECT_EQ(LinesOf(*CommaSeparatedStrings(u" a ,, b ")), (std::vector<UnicodeString>{u"a", u"", u" b "}));
  EXPECT_EQ(LinesOf(*CommaSeparatedStrings(u"\ta\r,b")), (std::vector<UnicodeString>{u"a", u"b"}));
  EXPECT_EQ(CommaSeparatedStrings(u"")->Count(), 0);
  EXPECT_EQ(LinesOf(*CommaSeparatedStrings(u",")), (std::vector<UnicodeString>{u""}));
}

TEST(CustomSortPrepared, LongerUnitsFirstWithTheirOrderNumbers) {
  const auto prepared = CustomSortPreparedStringlist(u"a,b,c,ch,d");
  ASSERT_EQ(prepared->Count(), 5);
  const std::vector<std::pair<UnicodeString, int64_t>> expected = {
      {u"ch", 3}, {u"a", 0}, {u"b", 1}, {u"c", 2}, {u"d", 4}};
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(prepared->Get(i), expected[i].first);
    EXPECT_EQ(prepared->Integers(i), expected[i].second);
  }
  // Empty pieces take no order number.
  const auto gaps = CustomSortPreparedStringlist(u"x,,y, ,z");
  ASSERT_EQ(gaps->Count(), 3);
  EXPECT_EQ(gaps->Integers(gaps->IndexOf(u"z")), 2);
  EXPECT_EQ(CustomSortPreparedStringlist(u"")->Count(), 0);
}

TEST(CustomSortKeys, UnitsBecomeOrderCharacters) {
  const auto prepared = CustomSortPreparedStringlist(u"a,b,c,ch,d");
  struct Case {
    const char16_t* line;
    UnicodeString key;
  };
  const Case cases[] = {
      {u"cat", UnicodeString{u'B', u'@', u't'}},
      {u"chat", UnicodeString{u'C', u'C', u'@', u't'}},
      {u"dog", u"Dog"},
      // "ch" is keyed C first; "c" then overwrites its first half from the first free position on.
      {u"cach", UnicodeString{u'B', u'@', u'B', u'C'}},
      {u"xyz", u"xyz"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalisedLineForCustomSort(c.line, *prepared), c.key) << Utf16ToUtf8(c.line);

  const auto empty = CustomSortPreparedStringlist(u"");
  EXPECT_EQ(NormalisedLineForCustomSort(u"anything", *empty), u"anything");
}

TEST(CustomLinesSorted, SortsByKeysAndKeepsIndices) {
  const auto prepared = CustomSortPreparedStringlist(u"a,b,c,ch,d");
  TStringList lines;
  for (const char16_t* s : {u"dog", u"chat", u"cat", u"bat"}) lines.Add(s);
  const auto sorted = CustomLinesSorted(lines, *prepared);
  EXPECT_EQ(LinesOf(*sorted), (std::vector<UnicodeString>{u"bat", u"cat", u"chat", u"dog"}));
  EXPECT_EQ(sorted->Integers(0), 3);
  EXPECT_EQ(sorted->Integers(3), 0);

  // A Spanish-style alphabet where "ll" follows "l": "luz" before "llave".
  const auto spanish = CustomSortPreparedStringlist(u"a,e,l,ll,u,v,z");
  TStringList words;
  for (const char16_t* s : {u"llave", u"luz", u"lazo"}) words.Add(s);
  EXPECT_EQ(LinesOf(*CustomLinesSorted(words, *spanish)), (std::vector<UnicodeString>{u"lazo", u"luz", u"llave"}));
}

}  // namespace
}  // namespace kx8
