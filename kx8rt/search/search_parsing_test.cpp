#include "kx8rt/search/search_parsing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace kx8 {
namespace {

TIgnore_tag AngleTags() {
  TIgnore_tag tags{};
  tags[tag_on][0] = u'<';
  tags[tag_off][0] = u'>';
  return tags;
}

TSearch_word_format_rec Parsed(const UnicodeString& typed, const TIgnore_tag& tags = AngleTags()) {
  UnicodeString s = typed;
  TSearch_word_format_rec rec;
  Parsed_SearchWord(tags, s, rec);
  return rec;
}

const TMySearchFlags kBounded{myLeftBounded, myRightBounded};

TEST(FlagsFromSW, ReadsAndStripsTheNotation) {
  struct Case {
    const char16_t* typed;
    const char16_t* rest;
    TMySearchFlags flags;
  } cases[] = {
      {u"", u"", kBounded},
      {u"cat", u"cat", kBounded},
      {u"*ing", u"ing", {myRightBounded}},
      {u"un*", u"un", {myLeftBounded}},
      {u"*tion*", u"tion", {}},
      {u"==Cat==", u"Cat", {myCaseIsSensitive, myLeftBounded, myRightBounded}},
      {u"==Cat*==", u"Cat", {myCaseIsSensitive, myLeftBounded}},
      {u"==", u"==", kBounded},     // one pair is not case notation
      {u"==Cat", u"==Cat", kBounded},
      {u"~dog", u"dog", {mySW_To_Avoid, myLeftBounded, myRightBounded}},
      {u"~*dog", u"*dog", {mySW_To_Avoid, myLeftBounded, myRightBounded}},  // only one leading mark applies
      {u"*", u"", {myRightBounded}},
  };
  for (const Case& c : cases) {
    UnicodeString s = c.typed;
    EXPECT_EQ(FlagsFromSW(s).ToBits(), c.flags.ToBits()) << Utf16ToUtf8(c.typed);
    EXPECT_EQ(s, c.rest) << Utf16ToUtf8(c.typed);
  }
}

TEST(FlagsFromSW, NotationIsWrittenBackWithoutTheAvoidMark) {
  EXPECT_EQ(SWStringPlusFlags(u"cat", kBounded), u"cat");
  EXPECT_EQ(SWStringPlusFlags(u"cat", {}), u"*cat*");
  EXPECT_EQ(SWStringPlusFlags(u"Cat", {myCaseIsSensitive, myLeftBounded, myRightBounded}), u"==Cat==");
  EXPECT_EQ(SWStringPlusFlags(u"dog", {mySW_To_Avoid, myLeftBounded, myRightBounded}), u"dog");
  for (const char16_t* typed : {u"cat", u"*cat", u"cat*", u"==Cat=="}) {
    UnicodeString s = typed;
    const TMySearchFlags f = FlagsFromSW(s);
    EXPECT_EQ(SWStringPlusFlags(s, f), typed);
  }
}

TEST(SplitSWList, SplitsAtFreeSlashesOnly) {
  struct Case {
    const char16_t* typed;
    bool split;
    std::vector<UnicodeString> parts;
  } cases[] = {
      {u"a/b/c", true, {u"a", u"b", u"c"}},
      {u"make/makes/made", true, {u"make", u"makes", u"made"}},
      {u"a/b/c", false, {u"a/b/c"}},
      {u"and\"/\"or", true, {u"and\"/\"or"}},  // a quoted slash is literal
      {u"/a", true, {u"/a"}},
      {u"a/", true, {u"a/"}},
      {u"", true, {}},
      {u"", false, {}},
  };
  for (const Case& c : cases) {
    UnicodeString s = c.typed;
    const auto list = SplitSWList(s, c.split);
    std::vector<UnicodeString> got;
    for (int32_t i = 0; i < list->Count(); ++i) got.push_back(list->Strings(i));
    EXPECT_EQ(got, c.parts) << Utf16ToUtf8(c.typed);
  }
}

TEST(DoMainParse_Translates, WildcardsBecomeCodes) {
  UnicodeString s = u"^#*?";
  EXPECT_FALSE(DoMainParse_Translates(s));
  EXPECT_EQ(s, UnicodeString({sw_any_letter, sw_digit_run, sw_any_run, sw_any_char}));
  s = u"a}}}b";
  EXPECT_TRUE(DoMainParse_Translates(s));
  EXPECT_EQ(s, UnicodeString({u'a', sw_any_string_mark, u'}', u'}', u'b'}));
}

TEST(ContainsPairedTagMarkup, NeedsBothMarkersOfASlot) {
  const TIgnore_tag tags = AngleTags();
  UnicodeString s = u"<b>cat";
  EXPECT_TRUE(ContainsPairedTagMarkup(tags, s));
  EXPECT_EQ(s, UnicodeString({sw_tag_start, u'b', sw_tag_end, u'c', u'a', u't'}));
  s = u"<b cat";
  EXPECT_FALSE(ContainsPairedTagMarkup(tags, s));
  s = u"b> cat";
  EXPECT_FALSE(ContainsPairedTagMarkup(tags, s));
  EXPECT_EQ(s, u"b> cat");
  TIgnore_tag none{};
  s = u"<b>";
  EXPECT_FALSE(ContainsPairedTagMarkup(none, s));
  EXPECT_EQ(s, u"<b>");
  // A second slot with its own markers.
  TIgnore_tag two = tags;
  two[tag_on][1] = u'[';
  two[tag_off][1] = u']';
  s = u"[x]";
  EXPECT_TRUE(ContainsPairedTagMarkup(two, s));
  EXPECT_EQ(s, UnicodeString({sw_tag_start, u'x', sw_tag_end}));
}

TEST(Parsed_SearchWord, BoundsCaseAndAmbiguity) {
  auto r = Parsed(u"==Cat==");
  EXPECT_EQ(r.flags.ToBits(), TMySearchFlags({myCaseIsSensitive, myLeftBounded, myRightBounded}).ToBits());
  EXPECT_EQ(r.search_text, u"Cat");
  EXPECT_EQ(r.typed_in_text, u"==Cat==");
  EXPECT_TRUE(r.ambiguous);  // differs from what was typed

  r = Parsed(u"*tion*");
  EXPECT_TRUE(r.flags.Empty());
  EXPECT_EQ(r.search_text, u"tion");

  r = Parsed(u"cat");
  EXPECT_FALSE(r.ambiguous);
  EXPECT_EQ(r.flags.ToBits(), kBounded.ToBits());

  r = Parsed(u"colou?r");
  EXPECT_EQ(r.search_text, UnicodeString({u'c', u'o', u'l', u'o', u'u', sw_any_char, u'r'}));
  EXPECT_TRUE(r.ambiguous);

  r = Parsed(u"");
  EXPECT_TRUE(r.search_text.empty());
  EXPECT_TRUE(r.copies[title_copy].empty());
}

TEST(Parsed_SearchWord, CopiesAreIndexAlignedCaseVariants) {
  const auto r = Parsed(u"straße Ölen");
  EXPECT_EQ(r.copies[unchanged_copy], u"straße Ölen");
  EXPECT_EQ(r.copies[lower_copy], u"straße ölen");
  EXPECT_EQ(r.copies[upper_copy].size(), r.search_text.size());
  EXPECT_EQ(r.copies[upper_copy], u"STRAßE ÖLEN");  // simple mapping: ß has no one-letter capital
  EXPECT_EQ(r.copies[title_copy], u"Straße ölen");
  EXPECT_EQ(r.spaces_in_sw, 1);
}

// The members of one row of a case-closure table, the first apart and the rest sorted without repeats.
std::pair<char16_t, UnicodeString> Row(const UnicodeString& table, size_t k) {
  UnicodeString rest(table.substr(k * case_closure_width + 1, case_closure_width - 1));
  std::sort(rest.begin(), rest.end());
  rest.erase(std::unique(rest.begin(), rest.end()), rest.end());
  return {table[k * case_closure_width], rest};
}

TEST(CaseClosureTable, OneRowOfClosureMembersAPlace) {
  struct Case {
    const char16_t* typed;
    size_t place;
    char16_t first;
    const char16_t* others;  // sorted; the first member repeated where the row has room left
  };
  const Case cases[] = {
      {u"ΤΗΣ", 2, u'σ', u"ΣΣςσ"},  // σ first (the lower copy), then Σ and the final ς
      {u"της", 2, u'ς', u"Σςσ"},
      {u"straße", 4, u'ß', u"ßẞ"},
      {u"ǆungla", 0, u'ǆ', u"ǄǅǆǄ"},
      {u"k", 0, u'k', u"Kk\u212A"},  // the Kelvin sign too
      {u"a?b", 1, sw_any_char, u"\x1C"},  // a code stands for itself alone
      {u"1", 0, u'1', u"1"},
  };
  for (const Case& c : cases) {
    const auto r = Parsed(c.typed);
    ASSERT_EQ(r.case_closure.size(), r.search_text.size() * case_closure_width) << Utf16ToUtf8(c.typed);
    UnicodeString others = c.others;
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    EXPECT_EQ(Row(r.case_closure, c.place), std::make_pair(c.first, others)) << Utf16ToUtf8(c.typed);
  }
  // A pair of units is closed as one character: the high units in one row, the low ones in the next.
  const auto deseret = Parsed(u"\U00010428");
  EXPECT_EQ(Row(deseret.case_closure, 0), std::make_pair(char16_t{0xD801}, UnicodeString(u"\xD801")));
  EXPECT_EQ(Row(deseret.case_closure, 1), std::make_pair(char16_t{0xDC28}, UnicodeString(u"\xDC00\xDC28")));
  // Without closing over case the rows hold the copies' own units only; the shortest copy sets the size.
  const UnicodeString plain = CaseClosureTable(u"TĤΣX", u"tĥς", u"TĥΣ", false);
  ASSERT_EQ(plain.size(), 3u * case_closure_width);
  EXPECT_EQ(Row(plain, 2), std::make_pair(u'ς', UnicodeString(u"Σς")));
  UnicodeString typed = u"ΤΗΣ";
  TSearch_word_format_rec unparsed;
  UnParsed_SearchWord(typed, unparsed);
  EXPECT_EQ(unparsed.case_closure, Parsed(u"ΤΗΣ").case_closure);
}

TEST(Parsed_SearchWord, OneWordAsteriskAndQuotedSymbols) {
  auto r = Parsed(u"the * of");
  EXPECT_EQ(r.search_text, UnicodeString({u't', u'h', u'e', u' ', sw_one_whole_word, u' ', u'o', u'f'}));
  EXPECT_EQ(r.spaces_in_sw, 2);

  r = Parsed(u"a * b * c");
  EXPECT_EQ(r.search_text, UnicodeString({u'a', u' ', sw_one_whole_word, u' ', u'b', u' ', sw_one_whole_word, u' ', u'c'}));

  // A quoted asterisk stays a literal asterisk; it is still not what was typed.
  r = Parsed(u"5\"*\"3");
  EXPECT_EQ(r.search_text, u"5*3");
  EXPECT_TRUE(r.ambiguous);

  r = Parsed(u"\"?\"x\"#\"\"^\"");
  EXPECT_EQ(r.search_text, u"?x#^");
  r = Parsed(u"\"<\"b\">\"");
  EXPECT_EQ(r.search_text, u"<b>");
  EXPECT_FALSE(r.contains_a_tag);
  r = Parsed(u"a\"}}}\"");
  EXPECT_EQ(r.search_text, u"a}}}");
}

TEST(Parsed_SearchWord, LineBreakSymbolAndEscapes) {
  auto r = Parsed(u"end/\\");
  EXPECT_EQ(r.search_text, UnicodeString({u'e', u'n', u'd', 0x13}));
  r = Parsed(u"/\\Start");
  EXPECT_EQ(r.search_text, UnicodeString({0x10, u'S', u't', u'a', u'r', u't'}));
  r = Parsed(u"mid/\\dle");
  EXPECT_EQ(r.search_text, u"mid/\\dle");  // in the middle it stays as typed
  r = Parsed(u"\"/\\\"x");
  EXPECT_EQ(r.search_text, u"/\\x");  // quoted: a literal
  r = Parsed(u"tab{CHR(9)}here");  // "#" forms are taken by the number wildcard first
  EXPECT_EQ(r.search_text, u"tab\there");
}

TEST(Parsed_SearchWord, TagMarkupInThePattern) {
  auto r = Parsed(u"<b>big");
  EXPECT_TRUE(r.contains_a_tag);
  EXPECT_EQ(r.search_text, UnicodeString({sw_tag_start, u'b', sw_tag_end, u'b', u'i', u'g'}));
  r = Parsed(u"<b>big", TIgnore_tag{});
  EXPECT_FALSE(r.contains_a_tag);
  EXPECT_EQ(r.search_text, u"<b>big");
}

TEST(Parsed_SearchWord, ContextClauseWithSpan) {
  UnicodeString s = u"book context:=library [[5,3]]";
  TSearch_word_format_rec r;
  Parsed_SearchWord(AngleTags(), s, r);
  EXPECT_EQ(r.search_text, u"book");
  EXPECT_EQ(s, u"book");
  EXPECT_TRUE(r.has_file_based_context_word);
  EXPECT_EQ(r.sw_context_needed, u"library");
  EXPECT_EQ(r.sw_context_spans.leftmost, span_L05);
  EXPECT_EQ(r.sw_context_spans.rightmost, span_R03);
  EXPECT_EQ(r.typed_in_text, u"book context:=library [[5,3]]");

  r = Parsed(u"book context:=shelf");
  EXPECT_EQ(r.sw_context_needed, u"shelf");
  EXPECT_EQ(r.sw_context_spans.leftmost, span_L50);

  r = Parsed(u"book context:=shelf [[x,2]]");  // a side that is not a whole number stays 0
  EXPECT_EQ(r.sw_context_needed, u"shelf");
  EXPECT_EQ(r.sw_context_spans.leftmost, span_L50);
  EXPECT_EQ(r.sw_context_spans.rightmost, span_R02);

  r = Parsed(u"book context:=shelf [[4]]");  // no comma: no span
  EXPECT_EQ(r.sw_context_needed, u"shelf");
  EXPECT_EQ(r.sw_context_spans.rightmost, span_L50);

  r = Parsed(u"book context:=shelf [[4,4");  // unclosed: the clause stays whole
  EXPECT_EQ(r.sw_context_needed, u"shelf [[4,4");
}

TEST(Parsed_SearchWord, PatternBeforeTrimmingIsLeftInS) {
  UnicodeString s = u"  cat  ";
  TSearch_word_format_rec r;
  Parsed_SearchWord(AngleTags(), s, r);
  EXPECT_EQ(s, u"  cat  ");
  EXPECT_EQ(r.search_text, u"cat");
  EXPECT_TRUE(r.ambiguous);
}

TEST(UnParsed_SearchWord, ReadsFlagsOnly) {
  UnicodeString s = u"*col?r";
  TSearch_word_format_rec r;
  r.hits_found = 9;
  UnParsed_SearchWord(s, r);
  EXPECT_EQ(r.hits_found, 0);
  EXPECT_EQ(r.search_text, u"col?r");  // no wildcard translation
  EXPECT_EQ(r.flags.ToBits(), TMySearchFlags({myRightBounded}).ToBits());
  EXPECT_TRUE(r.ambiguous);
  EXPECT_EQ(r.copies[upper_copy], u"COL?R");
  s = u"plain";
  UnParsed_SearchWord(s, r);
  EXPECT_FALSE(r.ambiguous);
}

TEST(Search_word_type32, FixedFieldIsCutAndZeroFilled) {
  const Tsearch_word32 w = StringToSearch_word_type32(u"abc");
  EXPECT_EQ(w[3], 0);
  EXPECT_EQ(w[80], 0);
  EXPECT_EQ(Search_word_type32ToString(w), u"abc");
  const UnicodeString longer(100, u'x');
  const Tsearch_word32 cut = StringToSearch_word_type32(longer);
  EXPECT_EQ(cut[80], 0);
  EXPECT_EQ(Search_word_type32ToString(cut), UnicodeString(80, u'x'));
  Tsearch_word32 full;
  full.fill(u'y');  // no terminator: read to the end of the field
  EXPECT_EQ(Search_word_type32ToString(full).size(), 81u);
}

}  // namespace
}  // namespace kx8
