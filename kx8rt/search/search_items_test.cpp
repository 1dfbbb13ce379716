#include "kx8rt/search/search_items.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

TIgnore_tag AngleTags() {
  TIgnore_tag t{};
  t[0][0] = u'<';
  t[1][0] = u'>';
  return t;
}

TEST(SearchItems, AlternativesLastFirstAndNoRepeats) {
  TBaseSearchItems items(AngleTags(), LOCALE_DEFAULT_LCID, true);
  const auto idx = items.AddedSearchWords(u"a/b");
  ASSERT_EQ(items.Count(), 2);
  EXPECT_EQ(items.GetSWR(0).typed_in_text, u"b");
  EXPECT_EQ(items.GetSWR(1).typed_in_text, u"a");
  EXPECT_EQ(idx, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(items.AddedSearchWords(u"a"), (std::vector<int32_t>{1}));  // present: its index, nothing added
  EXPECT_EQ(items.Count(), 2);
  EXPECT_TRUE(items.AddedSearchWords(u"   ").empty());
  EXPECT_EQ(items.Count(), 2);
  const auto lang = items.AddedSearchWords(u"c", static_cast<int16_t>(7));
  EXPECT_EQ(items.GetLanguage(lang[0]), 7);
  const auto want = items.AddedSearchWords(u"d", 5);
  EXPECT_EQ(items.GetNToFind(want[0]), 5);
  // IndexOf also wants the same language
  TSearch_word_format_rec r = items.GetSWR(2);
  EXPECT_EQ(items.IndexOf(r), 2);
  r.Langnum = 1;
  EXPECT_EQ(items.IndexOf(r), -1);
  EXPECT_EQ(items.TypeInIndexOf(u"C"), -1);
  EXPECT_EQ(items.TypeInIndexOf(u"C", false), 2);

  TSearchWordItems sw(AngleTags(), LOCALE_DEFAULT_LCID, true);
  EXPECT_EQ(sw.AddedSearchWords(u"x").size(), 1u);
  EXPECT_TRUE(sw.AddedSearchWords(u"x").empty());
  EXPECT_EQ(sw.Count(), 1);
  EXPECT_EQ(sw.ftempEngine, nullptr);
}

TEST(SearchItems, ContextClauseMakesTheHelpers) {
  TSearchWordItems sw(AngleTags(), LOCALE_DEFAULT_LCID, true);
  sw.AddedSearchWords(u"bank context:=river");
  ASSERT_EQ(sw.Count(), 1);
  EXPECT_TRUE(sw.GetHasContextWord(0));
  EXPECT_TRUE(sw.HasAnyContextWords);
  EXPECT_NE(sw.ftempEngine, nullptr);
  ASSERT_NE(sw.ftempCWItems, nullptr);
  EXPECT_TRUE(sw.ftempCWItems->fSplitting_at_slashes);
  EXPECT_FALSE(sw.GetHasContextWord(9));
}

TEST(SearchItems, NeutralValuesAndHits) {
  TBaseSearchItems items;
  EXPECT_EQ(items.fCurrentSearch, -1);
  items.AddedSearchWords(u"one");
  items.AddedSearchWords(u"two");
  for (int32_t bad : {-1, 2}) {
    EXPECT_EQ(items.GetPtr(bad), nullptr);
    EXPECT_EQ(items.GetSWR(bad).typed_in_text, u"");
    EXPECT_TRUE(items.GetAFlag(bad).Empty());
    EXPECT_EQ(items.GetHitsFound(bad), 0);
    EXPECT_EQ(items.GetNToFind(bad), 0);
    EXPECT_EQ(items.GetSpacesInSW(bad), 0);
    EXPECT_EQ(items.GetLanguage(bad), 0);
    EXPECT_FALSE(items.GetSearchFound(bad));
    EXPECT_EQ(items.TypedInWord(bad, true), nullptr);
    items.IncrementHits(bad);
    items.SetSearchFound(bad, true);
    items.PutSWR(bad, TSearch_word_format_rec{});
  }
  EXPECT_THROW(items.SetHitsFound(5, 1), EListError);
  items.IncrementHits(0);
  items.IncrementHits(0);
  items.SetHits({0, 4, 9});
  EXPECT_EQ(items.TotalHits(), 4);
  items.ClearHits();
  EXPECT_EQ(items.TotalHits(), 0);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(items.TypedInWord(1, true))), u"two");
  const void* a = items.TypedInWord(0, false);
  EXPECT_STREQ(static_cast<const char*>(a), "one");
  items.TypedInWord(1, false);
  EXPECT_STREQ(static_cast<const char*>(a), "two");  // the shared buffer was overwritten
  items.MoveToTop(1);
  EXPECT_EQ(items.GetSWR(0).typed_in_text, u"two");
  items.ClearOne(0);
  EXPECT_EQ(items.Count(), 1);
}

TEST(SearchItems, TopInsertJoinAndPlain) {
  TBaseSearchItems items(AngleTags(), LOCALE_DEFAULT_LCID, true);
  items.AddedSearchWords(u"x/y");
  std::vector<int32_t> idx;
  items.InsertSearchWordsAtTop(u"a/b", idx);
  EXPECT_EQ(idx, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(items.AllTypedSearchWordsAsOne(false), u"b/a/y/x");
  TBaseSearchItems many(AngleTags(), LOCALE_DEFAULT_LCID, false);
  for (int i = 1; i <= 12; ++i) many.AddedSearchWords(u"w" + IntToStr(i));
  EXPECT_EQ(many.AllTypedSearchWordsAsOne(true), u"etc. w1/w2/w3/w4/w5/w6/w7/w8/w9/w10");
  EXPECT_EQ(many.SearchesPlannedCount(), 12);
  many.AddedSearchWords(u"*ing");
  const auto& plain = many.ComputePlainSearchWords();
  ASSERT_EQ(plain.Count(), 13);
  EXPECT_EQ(plain.GetASearchRec(12).mainwd.wd, u"ing");
  EXPECT_FALSE(plain.GetASearchRec(12).mainwd.flags.Contains(myLeftBounded));
  EXPECT_EQ(plain.GetASearchRec(12).n_wanted, 1);
  EXPECT_EQ(many.TypeInParts(u"a  b/c")->Count(), 1);  // not splitting at slashes
  EXPECT_EQ(items.TypeInParts(u"a  b/c")->Get(0), u"a b");
}

TEST(SearchItems, StreamsRoundTripAndBrokenStreams) {
  TBaseSearchItems items(AngleTags(), LOCALE_DEFAULT_LCID, true);
  items.AddedSearchWords(u"cat/dog");
  items.SetHitsFound(0, 3);
  items.SetLanguage(1, 2);
  TMemoryStream m;
  ASSERT_TRUE(items.SaveToStream(m));
  TBaseSearchItems back(AngleTags(), LOCALE_DEFAULT_LCID, true);
  m.SetPosition(0);
  ASSERT_TRUE(back.ReadFromStream(m));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.GetSWR(0).typed_in_text, u"dog");
  EXPECT_EQ(back.GetHitsFound(0), 3);
  EXPECT_EQ(back.GetLanguage(1), 2);
  // a string without TABs restores only the typed text
  TMemoryStream plain;
  int32_t one = 1;
  plain.WriteBuffer(&one, 4);
  WriteAString(plain, u"bird");
  plain.SetPosition(0);
  TBaseSearchItems p;
  EXPECT_TRUE(p.ReadFromStream(plain));
  EXPECT_EQ(p.GetSWR(0).typed_in_text, u"bird");
  EXPECT_EQ(p.GetHitsFound(0), 0);
  // broken: a huge count over one good string, then the end; the good item stays
  TMemoryStream broken;
  int32_t huge = 0x7fffffff;
  broken.WriteBuffer(&huge, 4);
  WriteAString(broken, u"fish\t1\t0");
  broken.SetPosition(0);
  TBaseSearchItems b;
  EXPECT_FALSE(b.ReadFromStream(broken));
  EXPECT_EQ(b.Count(), 1);
  TMemoryStream neg;
  int32_t minus = -3;
  neg.WriteBuffer(&minus, 4);
  neg.SetPosition(0);
  EXPECT_TRUE(b.ReadFromStream(neg));
  EXPECT_EQ(b.Count(), 1);
}

TEST(SearchItems, TextFiles) {
  const auto dir = std::filesystem::temp_directory_path() / ("kx8_search_items_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const UnicodeString f = Utf8ToUtf16((dir / "sw.txt").string());
  TBaseSearchItems items(AngleTags(), LOCALE_DEFAULT_LCID, true);
  items.AddedSearchWords(u"caf\u00e9/tea");
  ASSERT_TRUE(items.SaveToFile(f));
  TMemoryStream raw;
  raw.LoadFromFile(f);
  ASSERT_GE(raw.Size(), 2);
  EXPECT_EQ(raw.Memory()[0], 0xFF);
  EXPECT_EQ(raw.Memory()[1], 0xFE);
  TBaseSearchItems back(AngleTags(), LOCALE_DEFAULT_LCID, true);
  EXPECT_TRUE(back.LoadFromFile(f, 4));
  EXPECT_TRUE(back.fFrom_a_file);
  EXPECT_EQ(back.AllTypedSearchWordsAsOne(false), u"tea/caf\u00e9");
  EXPECT_EQ(back.GetNToFind(0), 4);
  TStringList blank;
  blank.Add(u"");
  blank.Add(u"");
  blank.SaveToFile(f);
  EXPECT_FALSE(back.LoadFromFile(f, 1));
  EXPECT_EQ(back.Count(), 0);
  EXPECT_FALSE(back.fFrom_a_file);
  EXPECT_FALSE(back.LoadFromFile(Utf8ToUtf16((dir / "none.txt").string()), 1));
  EXPECT_FALSE(items.SaveToFile(Utf8ToUtf16((dir / "no" / "such" / "x.txt").string())));
  std::filesystem::remove_all(dir);
}

TEST(SearchFoundList, OrdersByOffset) {
  const char16_t text[] = u"abcdefgh";
  TSearchFoundList l;
  for (int off : {6, 2, 4}) {
    TSearchFound_Rec r;
    r.start_of_text = text;
    r.where_hit_started = text + off;
    l.AddOne(r);
  }
  l.SetBase(l.Get(0), 0);
  EXPECT_EQ(l.base_int, 12);
  EXPECT_EQ(l.Compare(l.Get(0)), 0);
  EXPECT_EQ(l.Compare(l.Get(1)), 1);  // smaller offset
  l.SetBase(l.Get(1), 0);
  EXPECT_EQ(l.Compare(l.Get(2)), -1);  // greater offset
  l.SortByOffset();
  std::vector<int64_t> offs;
  for (int32_t i = 0; i < l.Count(); ++i) offs.push_back(SearchFoundOffset(static_cast<TSearchFoundHolder*>(l.Get(i))->fData));
  EXPECT_EQ(offs, (std::vector<int64_t>{4, 8, 12}));
}

}  // namespace
}  // namespace kx8
