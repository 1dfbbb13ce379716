#include "kx8rt/search/lem_match_stop_rel_lists.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

class ListFiles : public ::testing::Test {
 protected:
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kx8_lemma_lists_test_" + std::to_string(::getpid()));
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  // Writes UTF-8 text (with its byte-order mark) and returns the file's name.
  UnicodeString Write(const char* name, const std::string& text) {
    const auto p = dir / name;
    std::ofstream(p, std::ios::binary) << "\xEF\xBB\xBF" << text;
    return Utf8ToUtf16(p.string());
  }
  UnicodeString Missing() { return Utf8ToUtf16((dir / "missing.txt").string()); }
  TLemMatchStopRelHolder h;
};

TEST_F(ListFiles, LemmaLinesUpperCasedSortedThenParsed) {
  const auto f = Write("lemmas.txt",
                       "go -> goes,went,gone\r\n"
                       "B -> X\r\n"
                       "A -> Y\r\n"
                       "GOOD -> BETTER, BEST\r\n"
                       "BE -> AM,\r\n"
                       ";GO -> GOES\r\n"
                       "GO GOES\r\n"
                       "\r\n"
                       "KEEP -> \r\n");
  ASSERT_TRUE(h.StartUpAndLoadLemmaList(f, false));
  // sorted: A, B, BE, GO, GOOD, KEEP; comment and arrowless lines gone
  ASSERT_EQ(h.GetLemmaHeadWordCount(), 6);
  EXPECT_EQ(h.GetLemmalistHeadWord(0), u"A");
  EXPECT_EQ(h.GetLemmalistVariantWithHeadword(0), std::make_pair(UnicodeString(u"A"), UnicodeString(u"Y")));
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"GO"), u"GOES,WENT,GONE");
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"go"), u"GOES,WENT,GONE");  // case-insensitive list
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"GOOD"), u"BETTER, BEST");  // ' BEST' keeps its blank
  EXPECT_EQ(h.IndexOfLemmaVariant(u" BEST"), h.IndexOfLemmaVariant(u" best"));
  EXPECT_GE(h.IndexOfLemmaVariant(u" BEST"), 0);
  EXPECT_EQ(h.IndexOfLemmaVariant(u"BEST"), -1);
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"BE"), u"AM");  // a closing comma adds no empty variant
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"KEEP"), u"");
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"NONE"), u"");
  EXPECT_EQ(h.GetLemmalistVariantsOf(nullptr), u"");
  EXPECT_EQ(h.GetLemmaVariantCount(), 1 + 1 + 1 + 3 + 2);
  EXPECT_EQ(h.IndexOfWordInList(u"good", as_lemma), 4);
  EXPECT_FALSE(h.GetLemmaMatchRelationStoplistCheckAffixes(as_lemma));
  EXPECT_EQ(h.GetLemmalistVariantWithHeadword(99), std::make_pair(UnicodeString(), UnicodeString()));
  EXPECT_EQ(h.GetLemmalistHeadWord(6), u"");
  EXPECT_THROW(h.GetLemmalistHeadWord(-1), EListError);
}

TEST_F(ListFiles, LemmaEdgeCases) {
  TMyLemmalist l;
  l.AddALine(u"BE", u"AM,IS,A");
  l.AddALine(u"X", u"A,,B");
  l.AddALine(u"X", u"C");  // a repeated head word is stored again with its own variants
  EXPECT_EQ(l.headwords->Count(), 3);
  EXPECT_EQ(l.variants->Count(), 3 + 3 + 1);
  EXPECT_EQ(l.variants->Get(4), u"");
  EXPECT_EQ(l.variants->Integers(4), 2);
  EXPECT_EQ(l.variants->Integers(6), 3);

  const auto cased = Write("cased.txt", "go -> went\r\nGo -> Gone<s>\r\n");
  ASSERT_TRUE(h.StartUpAndLoadLemmaList(cased, true));
  EXPECT_TRUE(h.GetLemmaMatchRelationStoplistCheckAffixes(as_lemma));
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"go"), u"went");
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"GO"), u"");
  const auto none = Write("none.txt", "; only a comment\r\nno arrows here\r\n");
  EXPECT_FALSE(h.StartUpAndLoadLemmaList(none, false));
  EXPECT_EQ(h.GetLemmaHeadWordCount(), 0);
}

TEST_F(ListFiles, StopMatchAndRelationLists) {
  const auto stop = Write("stop.txt", "the,a,an\r\n\r\n;comment\r\nof,,\r\n");
  ASSERT_TRUE(h.StartUpAndLoadList(stop, as_stop, false));
  // sorted lines: "OF,,", "THE,A,AN" (the comment and the empty line skipped)
  EXPECT_EQ(h.GetWordCount(as_stop), 6);
  EXPECT_EQ(h.GetStoplistWord(0), u"OF");
  EXPECT_EQ(h.GetStoplistWord(1), u"");
  EXPECT_EQ(h.GetStoplistWord(3), u"THE");
  EXPECT_EQ(h.IndexOfWordInList(u"an", as_stop), 5);
  EXPECT_TRUE(h.AnyStoplistWordsFoundinString(u"IN THE END"));
  EXPECT_FALSE(h.AnyStoplistWordsFoundinString(u"THEEND"));
  EXPECT_TRUE(h.AnyStoplistWordsFoundinString(u"X  Y"));  // the empty piece is a stop word here
  const auto match = Write("match.txt", "<dog>,cat\r\n");
  ASSERT_TRUE(h.StartUpAndLoadList(match, as_match, false));
  EXPECT_TRUE(h.GetLemmaMatchRelationStoplistCheckAffixes(as_match));
  EXPECT_EQ(h.GetMatchlistWord(1), u"CAT");
  EXPECT_EQ(h.GetRelationlistWord(0), u"");
  // a missing file after a good load: empty and false
  EXPECT_FALSE(h.StartUpAndLoadList(Missing(), as_stop, false));
  EXPECT_EQ(h.GetWordCount(as_stop), 0);
  EXPECT_FALSE(h.StartUpAndLoadList(Missing(), as_lemma, false));
  h.ClearAList(as_match);
  EXPECT_EQ(h.GetWordCount(as_match), 0);
  EXPECT_FALSE(h.GetLemmaMatchRelationStoplistCheckAffixes(as_match));
  EXPECT_FALSE(h.StartUpAndLoadList(Write("empty.txt", ";x\r\n"), as_relation, false));
}

TEST_F(ListFiles, FreedKindsAnswerAsEmptyAndCanBeLoadedAgain) {
  const auto stop = Write("stop.txt", "the\r\n");
  h.FreeUpList(as_stop);
  EXPECT_EQ(h.StopList, nullptr);
  EXPECT_EQ(h.IndexOfWordInList(u"THE", as_stop), -1);
  EXPECT_FALSE(h.AnyStoplistWordsFoundinString(u"THE"));
  EXPECT_EQ(h.GetStoplistWord(0), u"");
  h.ClearAList(as_stop);
  EXPECT_TRUE(h.StartUpAndLoadList(stop, as_stop, false));
  EXPECT_TRUE(h.AnyStoplistWordsFoundinString(u"THE"));
  h.Free();
  EXPECT_EQ(h.LemmaList, nullptr);
  EXPECT_EQ(h.GetLemmaVariantCount(), 0);
  EXPECT_EQ(h.GetLemmalistVariantsOf(u"GO"), u"");
  EXPECT_EQ(h.GetWordCount(as_match), 0);
}

TEST(ListSettings, RecordsAndCaptions) {
  TMatchListSettingsRec r;
  r.template_ = StringToFiftyWideChar(UnicodeString(60, u'x'));
  EXPECT_EQ(FiftyWideCharToString(r.template_).size(), 50u);
  EXPECT_EQ(FiftyWideCharToString(StringToFiftyWideChar(u"ab")), u"ab");
  EXPECT_EQ(MatchActionCaption(matches_copy_to_set_column), u"copy any matches to Set Column");
  EXPECT_EQ(MatchActionCaption(matches_remove_match_marking), u"remove match marks");
}

}  // namespace
}  // namespace kx8
