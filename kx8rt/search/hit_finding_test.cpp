#include "kx8rt/search/hit_finding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {
namespace {

constexpr LCID kEnglish = 0x0409;

// A text with its type array as a search sees it: classified, apostrophes inside words made letters,
// separators inside numbers made digits, characters from "<" to ">" flagged as tag characters.
struct Text {
  UnicodeString s;
  std::vector<uint16_t> types;

  explicit Text(UnicodeString text, bool spaceInNumbers = false) : s(std::move(text)), types(s.size() + 2) {
    const auto n = static_cast<int32_t>(s.size());
    GetStringTypeExNT2000(true, kEnglish, CT_CTYPE1, s.data(), n, types.data());
    HandleMiddleChars(s.data(), types.data(), u"'", 1, n, true, false, false);
    HandleMiddleCharsInNumbers(true, spaceInNumbers, s.data(), types.data(), n);
    bool inTag = false;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == u'<') inTag = true;
      if (inTag) types[i] |= tag_char_flag;
      if (s[i] == u'>') inTag = false;
    }
  }
  // Puts a segment marker on every occurrence of the character ch.
  Text& Mark(char16_t ch, Ttext_segments code) {
    for (size_t i = 0; i < s.size(); ++i)
      if (s[i] == ch) types[i] = SegmentMarkerType(code);
    return *this;
  }
  int32_t Size() const { return static_cast<int32_t>(s.size()); }
};

struct Hit {
  int32_t at = -1;
  int32_t length = 0;
  int32_t exact = 0;
  bool operator==(const Hit&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Hit& h) {
  return os << "{at " << h.at << ", length " << h.length << ", exact " << h.exact << "}";
}

// Runs one parsed word over a text as the engine does: from each hit start on to the next.
struct Search {
  TSearch_word_format_rec rec;
  bool skipPunctuation = false;
  bool endsMarked[4] = {false, false, false, false};
  TSearchStatsRec stats;
  bool inHeading = false;
  bool closure = false;  // through the case-closure entry, as the engine searches

  explicit Search(const UnicodeString& typed) {
    TIgnore_tag tags{};
    tags[tag_on][0] = u'<';
    tags[tag_off][0] = u'>';
    UnicodeString s = typed;
    Parsed_SearchWord(tags, s, rec);
  }

  Hit From(const Text& t, int32_t from) {
    const bool cs = rec.flags.Contains(myCaseIsSensitive);
    const UnicodeString& up = cs ? rec.copies[unchanged_copy] : rec.copies[upper_copy];
    const UnicodeString& lo = cs ? rec.copies[unchanged_copy] : rec.copies[lower_copy];
    const UnicodeString& ti = cs ? rec.copies[unchanged_copy] : rec.copies[title_copy];
    uint16_t hitLength = 0, exactLength = 0;
    const auto m = static_cast<uint16_t>(rec.search_text.size());
    const void* p =
        closure ? NewFindWantedInBufferWithClosure(
                      t.s.data() + from, t.Size() - from, t.types.data() + from, t.types.data(),
                      t.types.data() + t.Size() + 1, lo.data(), rec.case_closure.data(), m, cs,
                      rec.flags.Contains(myLeftBounded), rec.flags.Contains(myRightBounded), true, skipPunctuation,
                      hitLength, exactLength, stats, inHeading, endsMarked[0], endsMarked[1], endsMarked[2], endsMarked[3])
                : NewFindWantedInBuffer(t.s.data() + from, t.Size() - from, t.types.data() + from, t.types.data(),
                                        t.types.data() + t.Size() + 1, up.data(), lo.data(), ti.data(), m, cs,
                                        rec.flags.Contains(myLeftBounded), rec.flags.Contains(myRightBounded), true,
                                        skipPunctuation, true, hitLength, exactLength, stats, inHeading, endsMarked[0],
                                        endsMarked[1], endsMarked[2], endsMarked[3]);
    if (p == nullptr) return {};
    return {static_cast<int32_t>(static_cast<const char16_t*>(p) - t.s.data()), hitLength, exactLength};
  }

  std::vector<Hit> All(const Text& t) {
    std::vector<Hit> hits;
    for (int32_t from = 0; from < t.Size();) {
      const Hit h = From(t, from);
      if (h.at < 0) break;
      hits.push_back(h);
      from = h.at + 1;
    }
    return hits;
  }

  std::vector<int32_t> Starts(const Text& t) {
    std::vector<int32_t> at;
    for (const Hit& h : All(t)) at.push_back(h.at);
    return at;
  }
};

// The hits of a search through the entry that counts nothing (as the concordancer searches).
std::vector<Hit> UncountedHits(const Search& search, const Text& t) {
  const TSearch_word_format_rec& rec = search.rec;
  const bool cs = rec.flags.Contains(myCaseIsSensitive);
  const UnicodeString& pattern = cs ? rec.copies[unchanged_copy] : rec.copies[lower_copy];
  std::vector<Hit> got;
  for (int32_t from = 0; from < t.Size();) {
    uint16_t hitLength = 0, exactLength = 0;
    const void* p = NewFindWantedInBufferUncounted(
        t.s.data() + from, t.Size() - from, t.types.data() + from, t.types.data(), t.types.data() + t.Size() + 1,
        pattern.data(), rec.case_closure.data(), static_cast<uint16_t>(rec.search_text.size()), cs,
        rec.flags.Contains(myLeftBounded), rec.flags.Contains(myRightBounded), true, search.skipPunctuation, hitLength,
        exactLength);
    if (p == nullptr) break;
    const auto at = static_cast<int32_t>(static_cast<const char16_t*>(p) - t.s.data());
    got.push_back({at, hitLength, exactLength});
    from = at + 1;
  }
  return got;
}

struct Case {
  const char16_t* typed;
  const char16_t* text;
  std::vector<int32_t> starts;
};

void ExpectStarts(const std::vector<Case>& cases, bool skipPunctuation = false, bool spaceInNumbers = false,
                  bool closure = false) {
  for (const Case& c : cases) {
    Search search(c.typed);
    search.skipPunctuation = skipPunctuation;
    search.closure = closure;
    EXPECT_EQ(search.Starts(Text(c.text, spaceInNumbers)), c.starts)
        << Utf16ToUtf8(c.typed) << " in \"" << Utf16ToUtf8(c.text) << "\"";
  }
}

TEST(NewFindWantedInBuffer, WordBoundsAndAsterisks) {
  ExpectStarts({
      {u"cat", u"concatenate", {}},
      {u"*cat*", u"concatenate", {3}},
      {u"cat", u"cat scat cats cat", {0, 14}},
      {u"cat", u"cat's", {}},  // the apostrophe inside the word is a letter
      {u"*ing", u"singing ring", {4, 9}},
      {u"colo*r", u"color colour colonizer colo r", {0, 6, 13}},
      {u"un*able", u"unbelievable un stable", {0}},
      {u"colo*r", u"colorer", {0}},  // the asterisk gives back until the word ends there
      {u"a*b*c", u"axbyc abc ac", {0, 6}},
  });
  Search trailing(u"cat*");
  EXPECT_EQ(trailing.All(Text(u"cats")), (std::vector<Hit>{{0, 4, 3}}));
  Search zwj(u"ab*");  // a zero-width joiner inside the word is carried by the right extension
  Text joined(u"abc\u200Dd x");
  SetZeroWidthJoinersToDefined(joined.s.data(), joined.types.data(), joined.Size());
  EXPECT_EQ(zwj.All(joined), (std::vector<Hit>{{0, 5, 2}}));
  Search stretch(u"colo*r");
  EXPECT_EQ(stretch.All(Text(u"colorer")), (std::vector<Hit>{{0, 7, 7}}));
}

TEST(NewFindWantedInBuffer, CaseNotation) {
  ExpectStarts({
      {u"==Cat==", u"cat Cat CAT cAt", {4}},
      {u"cat", u"cat Cat CAT cAT", {0, 4, 8, 12}},
      {u"==ÉTÉ==", u"été ÉTÉ Été", {4}},
      {u"été", u"été ÉTÉ Été", {0, 4, 8}},
  });
}

TEST(NewFindWantedInBuffer, OneCharacterAndOneLetter) {
  ExpectStarts({
      {u"colou?r", u"colour color colouXr", {0, 13}},
      {u"dog? cat", u"dog cat dogs cat dogma cat", {0, 8}},
      {u"dog?", u"dog dogs dogma dog.", {0, 4, 15}},
      {u"^at", u"cat bat 8at at", {0, 4, 12}},  // or no letter at all
      {u"b^g", u"big b9g bug", {0, 8}},
      {u"?at", u"cat  at", {0, 5}},  // "?" never stands for a space, but may stand for nothing
      {u"a?b", u"a b", {}},
  });
}

// Where each whole word of a text starts, in text order, for expectations written as words.
std::vector<int32_t> WordsAt(const UnicodeString& text, std::initializer_list<std::u16string_view> words) {
  std::vector<int32_t> at;
  for (const std::u16string_view w : words)
    for (size_t p = text.find(w); p != UnicodeString::npos; p = text.find(w, p + 1)) {
      const bool startsWord = p == 0 || !IsLetter(text[p - 1]);
      const bool endsWord = p + w.size() == text.size() || !IsLetter(text[p + w.size()]);
      if (startsWord && endsWord) at.push_back(static_cast<int32_t>(p));
    }
  std::sort(at.begin(), at.end());
  return at;
}

TEST(NewFindWantedInBuffer, RunsOfOptionalWildcardsTakeEachPlaceAlike) {
  ExpectStarts({
      {u"paque??", u"paquet paquets abc", {0, 7}},  // the second "?" is not left to carry the "s" alone
      {u"paque??", u"paque paquetage", {0}},
      {u"^^^", u"paquet paquets abc", {15}},
      {u"^^^", u"a bb ccc dddd", {0, 2, 5}},  // from one to three letters
      {u"^", u"  abc", {}},                   // no word of one letter, and never an empty hit
      {u"^", u"  a bc", {2}},
      {u"?a?", u"aab", {0}},            // the first "?" must take a character for the last to fit
      {u"b?^d", u"bd b1d bxyd b12d", {0, 3, 7}},  // a "^" never takes the digit that "?" could
      {u"^?^", u"x1y 12z", {0}},
      {u"b*a?", u"banana", {0}},  // an asterisk and then a "?" both go back over their choices
  });
  // A French fixture: the plural and the singular, not the longer words that share the stem.
  const UnicodeString french =
      u"Le facteur a laissé un paquet chez la voisine, puis deux paquets devant la porte; "
      u"le paquebot et le paquetage attendront.";
  ExpectStarts({{u"paque??", french.c_str(), WordsAt(french, {u"paquet", u"paquets"})}});
  Search run(u"paque??");
  EXPECT_EQ(run.All(Text(u"paquets")), (std::vector<Hit>{{0, 7, 7}}));
}

TEST(NewFindWantedInBuffer, AHitIsNeverEmpty) {
  // Patterns made of wildcards alone, bounded and not, over texts that begin with spaces, tags and
  // punctuation: each hit covers at least one character and starts on one that is not whitespace.
  const UnicodeString text = u"  a <b>bc</b> , d\u00E9f 42  ";
  for (const char16_t* typed : {u"?", u"^", u"??", u"^^^", u"*?", u"*^*", u"***", u"*?*", u"?*"}) {
    Search search(typed);
    const Text t(text);
    for (const Hit& h : search.All(t)) {
      EXPECT_GE(h.exact, 1) << Utf16ToUtf8(typed) << " at " << h.at;
      EXPECT_GE(h.length, h.exact);
      EXPECT_FALSE(IsWhiteSpace(t.s[h.at])) << Utf16ToUtf8(typed) << " at " << h.at;
    }
  }
  Search any(u"*?*");  // no bounds: one hit a character of each word
  EXPECT_EQ(any.Starts(Text(u"  ab c")), (std::vector<int32_t>{2, 3, 5}));
}

TEST(NewFindWantedInBuffer, NumbersWithSeparators) {
  ExpectStarts({
      {u"#", u"1,000 and 3.5 or 7", {0, 10, 17}},
      {u"# dollars", u"3,000.5 dollars", {0}},
      {u"#", u"3, 000", {0, 3}},  // a comma followed by a space is never inside a number
      {u"#", u"3 000", {0, 2}},
      {u"page #", u"page 12 page x", {0}},
  });
  ExpectStarts({{u"#", u"3 000", {0}}}, false, true);
  Search number(u"#");
  EXPECT_EQ(number.All(Text(u"1,000")), (std::vector<Hit>{{0, 5, 5}}));
}

TEST(NewFindWantedInBuffer, OneWholeWord) {
  ExpectStarts({
      {u"the * of", u"the end of the of the <b>big</b> of the great, of", {0, 18, 36}},
      {u"a * * d", u"a b c d a b d", {0}},
  });
  Search word(u"the * of");
  EXPECT_EQ(word.All(Text(u"the middle of")), (std::vector<Hit>{{0, 13, 13}}));
}

TEST(NewFindWantedInBuffer, PhrasesAcrossSpacesAndPunctuation) {
  ExpectStarts({
      {u"the of", u"the   of", {0}},
      {u"the of", u"the\tof the\r\nof", {0, 7}},
      {u"the of", u"the , of", {}},
      {u"the of", u"the of them theof", {0}},
  });
  ExpectStarts({{u"the of", u"the, of the , of the ,;of", {0, 8, 17}}}, true);
  Search phrase(u"the of");
  EXPECT_EQ(phrase.All(Text(u"the   of")), (std::vector<Hit>{{0, 8, 8}}));
}

TEST(NewFindWantedInBuffer, TagsInTheTextAreSteppedOver) {
  ExpectStarts({
      {u"big cat", u"big <b>cat</b>", {0}},
      {u"big cat", u"big<b> cat", {0}},
      {u"big cat", u"big <b> cat", {0}},
      {u"cat", u"<cat> <b>cat</b>", {9}},  // never a hit that starts inside a tag
      {u"bold", u"<bold>", {}},
      {u"ab", u"a<i>b</i>", {0}},
  });
  Search across(u"big cat");
  EXPECT_EQ(across.All(Text(u"big <b>cat")), (std::vector<Hit>{{0, 10, 10}}));
}

TEST(NewFindWantedInBuffer, PatternsThatBeginWithATag) {
  ExpectStarts({
      {u"<b>big", u"x <b>big <i>big", {2}},
      {u"<b>", u"a <b> c <B>", {2, 8}},
      {u"<p*>", u"<p class=x> <q>", {0}},
      {u"big</b>", u"big</b> big</i>", {0}},
  });
}

TEST(NewFindWantedInBuffer, ContextClauseAndAlternatives) {
  ExpectStarts({{u"book context:=library [[5,3]]", u"a book in the library", {2}}});
  UnicodeString typed = u"make/makes/made";
  const Text t(u"she made it; he makes them; we make");
  std::vector<int32_t> found;
  const auto alternatives = SplitSWList(typed, true);
  for (int32_t i = 0; i < alternatives->Count(); ++i) {
    Search s(alternatives->Strings(i));
    for (int32_t at : s.Starts(t)) found.push_back(at);
  }
  EXPECT_EQ(found, (std::vector<int32_t>{31, 16, 4}));
}

TEST(NewFindWantedInBufferWithClosure, CaseClosureMatchesEveryCaseOfALetterBothWays) {
  // Greek, German and digraph fixtures: whichever member of a case closure is typed, all are found.
  const UnicodeString greek = u"Ο γιος ΤΗΣ γειτόνισσας είπε ότι η γάτα της φίλης της Της κοιμάται.";
  const std::vector<int32_t> tis = WordsAt(greek, {u"ΤΗΣ", u"της", u"Της"});
  ASSERT_EQ(tis.size(), 4u);
  const UnicodeString german = u"Die STRAẞE ist lang; die Straße endet an der strasse.";
  const std::vector<int32_t> strasse = WordsAt(german, {u"STRAẞE", u"Straße"});
  const UnicodeString digraph = u"ǅungla ǆungla Ǆungla dzungla";
  ExpectStarts(
      {
          {u"ΤΗΣ", greek.c_str(), tis},  // the final sigma of "της" is in the capital's closure
          {u"της", greek.c_str(), tis},
          {u"Της", greek.c_str(), tis},
          {u"==της==", greek.c_str(), WordsAt(greek, {u"της"})},
          {u"σ", u"σ ς Σ s", {0, 2, 4}},
          {u"ς", u"σ ς Σ s", {0, 2, 4}},
          {u"straße", german.c_str(), strasse},  // ß and ẞ alike; "ss" is two characters, not one
          {u"STRAẞE", german.c_str(), strasse},
          {u"ǆungla", digraph.c_str(), {0, 7, 14}},
          {u"Ǆungla", digraph.c_str(), {0, 7, 14}},
          {u"ǅ*", digraph.c_str(), {0, 7, 14}},
          {u"\U00010428", u"\U00010400 \U00010428", {0, 3}},  // a pair of units, closed as one character
          {u"kelvin", u"\u212Aelvin KELVIN", {0, 7}},
      },
      false, false, true);
  // The copies alone (upper, lower, title) miss the final sigma from the capitals and the capital sharp
  // s from the small one; this is what the closure adds.
  ExpectStarts({
      {u"ΤΗΣ", greek.c_str(), WordsAt(greek, {u"ΤΗΣ"})},
      {u"straße", german.c_str(), WordsAt(german, {u"Straße"})},
  });
}

TEST(NewFindWantedInBufferWithClosure, VectorScanKeepsAllFourMembers) {
  // Iota has four members; the block scan must let each through as a first (and second) character at
  // every place within a block, with both vector widths.
  const char16_t* kIotas[] = {u"\u0399", u"\u03B9", u"\u0345", u"\u1FBE"};
  for (const bool wide : {false, true}) {
    const TWideVectorsSetting width(wide);
    UnicodeString text;
    std::vector<int32_t> want;
    for (int32_t round = 0; round < 48; ++round) {
      text += UnicodeString(static_cast<size_t>(1 + round % 11), u'w') + u' ';
      want.push_back(static_cast<int32_t>(text.size()));
      text += kIotas[round % 4];
      text += kIotas[(round / 4) % 4];
      text += u"δέα ";
    }
    Search search(u"ιιδέα");
    search.closure = true;
    EXPECT_EQ(search.Starts(Text(text)), want) << (wide ? "wide" : "narrow");
  }
}

TEST(NewFindWantedInBufferWithClosure, VectorScanTestsTheThirdCharacterWithAllItsMembers) {
  // The third pattern character in each of its four forms, and near misses that share the first two,
  // at every place within a block; the text ends right after a hit, where the scan reads no further.
  const char16_t* kThirds[] = {u"\u0399", u"\u03B9", u"\u0345", u"\u1FBE"};
  for (const bool wide : {false, true}) {
    const TWideVectorsSetting width(wide);
    UnicodeString text;
    std::vector<int32_t> want;
    for (int32_t round = 0; round < 64; ++round) {
      text += UnicodeString(static_cast<size_t>(1 + round % 13), u'w') + u' ';
      text += round % 3 == 0 ? u"\u03BA\u03BF\u03C3 " : u"";  // κοσ: a near miss
      want.push_back(static_cast<int32_t>(text.size()));
      text += round % 2 ? u"\u039A\u039F" : u"\u03BA\u03BF";  // ΚΟ or κο
      text += kThirds[round % 4];
      if (round < 63) text += u" ";
    }
    Search search(u"\u03BA\u03BF\u03B9");  // κοι
    search.closure = true;
    const Text t(text);
    EXPECT_EQ(search.Starts(t), want) << (wide ? "wide" : "narrow");
    std::vector<int32_t> uncounted;
    for (const Hit& h : UncountedHits(search, t)) uncounted.push_back(h.at);
    EXPECT_EQ(uncounted, want) << "uncounted " << (wide ? "wide" : "narrow");
  }
}

TEST(NewFindWantedInBufferWithClosure, WithoutATableOnlyThePatternMatches) {
  const Text t(u"Straße STRASSE straße");
  TSearchStatsRec stats;
  bool inHeading = false;
  uint16_t hitLength = 0, exactLength = 0;
  const UnicodeString pattern = u"straße";
  const void* p = NewFindWantedInBufferWithClosure(t.s.data(), t.Size(), t.types.data(), t.types.data(),
                                                   t.types.data() + t.Size() + 1, pattern.data(), nullptr, 6, false,
                                                   true, true, true, false, hitLength, exactLength, stats, inHeading,
                                                   false, false, false, false);
  EXPECT_EQ(p, t.s.data() + 15);
  EXPECT_EQ(NewFindWantedInBufferWithClosure(t.s.data(), t.Size(), t.types.data(), t.types.data(),
                                             t.types.data() + t.Size() + 1, pattern.data(), nullptr, 0, false, true,
                                             true, true, false, hitLength, exactLength, stats, inHeading, false, false,
                                             false, false),
            nullptr);
}

TEST(NewFindWantedInBuffer, QuotedSymbolsAndLineBreaks) {
  ExpectStarts({
      {u"5\"*\"3", u"5*3 523", {0}},
      {u"why\"?\"", u"why? why", {0}},
      {u"end/\\", u"the end\x13 end", {4}},
      {u"/\\Start", u"Start \x10Start", {6}},
  });
}

TEST(NewFindWantedInBuffer, EightBitBuffer) {
  const std::string text = "Caf\xE9 au CAF\xC9 caf";
  std::vector<uint16_t> types(text.size() + 2);
  ASSERT_TRUE(GetStringTypeExNT2000(false, kEnglish, CT_CTYPE1, text.data(), static_cast<int32_t>(text.size()),
                                    types.data()));
  const UnicodeString up = u"CAF\u00C9", lo = u"caf\u00E9", ti = u"Caf\u00E9";  // byte values of code page 1252
  std::vector<int32_t> found;
  TSearchStatsRec stats;
  bool inHeading = false;
  for (int32_t from = 0; from < static_cast<int32_t>(text.size());) {
    uint16_t hitLength = 0, exactLength = 0;
    const void* p = NewFindWantedInBuffer(text.data() + from, static_cast<int32_t>(text.size()) - from,
                                          types.data() + from, types.data(), types.data() + text.size() + 1, up.data(),
                                          lo.data(), ti.data(), 4, false, true, true, false, false, false, hitLength,
                                          exactLength, stats, inHeading, false, false, false, false);
    if (p == nullptr) break;
    found.push_back(static_cast<int32_t>(static_cast<const char*>(p) - text.data()));
    EXPECT_EQ(exactLength, 4);
    from = found.back() + 1;
  }
  EXPECT_EQ(found, (std::vector<int32_t>{0, 8}));
  EXPECT_EQ(stats.number[word_stats], 3);
}

TEST(NewFindWantedInBuffer, LongTextsCountEveryWordBeforeEachHit) {
  // Hits and word counts over texts long enough for the block-at-a-time scan, with the wanted word at
  // every position within a block and (in the second text) a stretch of over a million characters with
  // no candidate at all, with more word starts than a 16-bit count per lane could hold.
  for (const bool useWide : {false, true})
  for (const int32_t fillerWords : {3, 300000}) {
    const TWideVectorsSetting width(useWide);  // both vector widths where the processor has both
    UnicodeString text;
    std::vector<std::pair<int32_t, int32_t>> want;  // where each "the" starts and how many words precede it
    int32_t words = 0;
    for (int32_t round = 0; round < 40; ++round) {
      for (int32_t k = 0; k < (round == 20 ? fillerWords : 1 + round % 4); ++k) {
        if (words > 0) text += u' ';
        text += UnicodeString(static_cast<size_t>(1 + (round + k) % 9), u'w');
        ++words;
      }
      text += round % 2 ? u" The" : u" the";
      want.emplace_back(static_cast<int32_t>(text.size()) - 3, words);
      ++words;
      text += u" other";  // "th" not at a word start: a candidate the pair test lets through
      ++words;
    }
    const Text t(text);
    Search search(u"the");
    std::vector<std::pair<int32_t, int32_t>> got;
    for (int32_t from = 0; from < t.Size();) {
      const Hit h = search.From(t, from);
      if (h.at < 0) break;
      got.emplace_back(h.at, search.stats.number[word_stats]);
      from = h.at + 1;
    }
    EXPECT_EQ(got, want) << fillerWords << (useWide ? " wide" : "");
  }
}

TEST(NewFindWantedInBuffer, NothingToSearch) {
  const Text t(u"cat");
  TSearchStatsRec stats;
  bool inHeading = false;
  uint16_t hitLength = 7, exactLength = 7;
  const char16_t pattern[] = u"cat";
  EXPECT_EQ(NewFindWantedInBuffer(t.s.data(), 3, t.types.data(), t.types.data(), t.types.data() + 4, pattern, pattern,
                                  pattern, 0, false, true, true, true, false, false, hitLength, exactLength, stats,
                                  inHeading, false, false, false, false),
            nullptr);
  EXPECT_EQ(hitLength, 0);
  EXPECT_EQ(NewFindWantedInBuffer(t.s.data(), 0, t.types.data(), t.types.data(), t.types.data() + 4, pattern, pattern,
                                  pattern, 3, false, true, true, true, false, false, hitLength, exactLength, stats,
                                  inHeading, false, false, false, false),
            nullptr);
  // The pattern runs past the characters given: no hit, even though the text goes on.
  EXPECT_EQ(NewFindWantedInBuffer(t.s.data(), 2, t.types.data(), t.types.data(), t.types.data() + 4, pattern, pattern,
                                  pattern, 3, false, true, true, true, false, false, hitLength, exactLength, stats,
                                  inHeading, false, false, false, false),
            nullptr);
}

// ---- statistics and section ends ----

struct EndCalls {
  std::vector<std::pair<int32_t, int32_t>> calls;
};

// Points the four section-end procedures at recorders and puts the defaults back afterwards.
class SectionEnds : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = {HandleSentenceEndProc, HandleParagraphEndProc, HandleHeadingEndProc, HandleSectionEndProc};
    HandleSentenceEndProc = [this](int32_t n, int32_t at) { ends_[sentence_stats].calls.emplace_back(n, at); };
    HandleParagraphEndProc = [this](int32_t n, int32_t at) { ends_[paragraph_stats].calls.emplace_back(n, at); };
    HandleHeadingEndProc = [this](int32_t n, int32_t at) { ends_[heading_stats].calls.emplace_back(n, at); };
    HandleSectionEndProc = [this](int32_t n, int32_t at) { ends_[section_stats].calls.emplace_back(n, at); };
  }
  void TearDown() override {
    HandleSentenceEndProc = saved_[0];
    HandleParagraphEndProc = saved_[1];
    HandleHeadingEndProc = saved_[2];
    HandleSectionEndProc = saved_[3];
  }
  std::array<THandleTextSectionProc, 4> saved_;
  std::array<EndCalls, text_stats_count> ends_;
};

struct UnitCodes {
  Ttext_stats unit;
  Ttext_segments start, end;
};
const UnitCodes kUnits[] = {
    {sentence_stats, ts_sentence_start, ts_sentence_end},
    {paragraph_stats, ts_paragraph_start, ts_paragraph_end},
    {heading_stats, ts_heading_start, ts_heading_end},
    {section_stats, ts_section_start, ts_section_end},
};

TEST_F(SectionEnds, WordsAndUnitEndsAreCountedUpToTheHit) {
  // A word starts where a break (whitespace, tag or marker) is followed by a non-break; the first word of
  // the buffer has no break before it and is not counted.
  for (const UnitCodes& u : kUnits) {
    ends_ = {};
    Search s(u"five");
    Text t(u"One two.| Three four.| Five");
    t.Mark(u'|', u.end);
    EXPECT_EQ(s.Starts(t), std::vector<int32_t>{23}) << int(u.unit);
    EXPECT_EQ(s.stats.number[word_stats], 4);
    // Outside a heading its word position does not move.
    const std::vector<std::pair<int32_t, int32_t>> expected =
        u.unit == heading_stats ? std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 1}}
                                : std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {1, 3}};
    EXPECT_EQ(ends_[u.unit].calls, expected) << int(u.unit);
    EXPECT_EQ(s.stats.number[u.unit], 2);
    for (const UnitCodes& other : kUnits)
      if (other.unit != u.unit) {
        EXPECT_TRUE(ends_[other.unit].calls.empty());
      }
    if (u.unit != heading_stats) {
      EXPECT_EQ(s.stats.position[u.unit], 2);
    }
    EXPECT_EQ(s.stats.out_of[u.unit], s.stats.position[u.unit]);
    EXPECT_FALSE(s.inHeading);
  }
}

TEST_F(SectionEnds, StartMarkersEndAUnitOnlyWhenEndsAreNotMarked) {
  for (const UnitCodes& u : kUnits) {
    for (const bool endsMarked : {false, true}) {
      ends_ = {};
      Search s(u"five");
      s.endsMarked[u.unit - sentence_stats] = endsMarked;
      Text t(u"One two.| Three four.| Five");
      t.Mark(u'|', u.start);
      EXPECT_EQ(s.Starts(t), std::vector<int32_t>{23});
      EXPECT_EQ(ends_[u.unit].calls.size(), endsMarked ? 0u : 2u) << int(u.unit) << endsMarked;
      EXPECT_EQ(s.stats.number[u.unit], endsMarked ? 0 : 2) << int(u.unit) << endsMarked;
      // A heading start always enters a heading; without end markers it is closed again at once.
      EXPECT_EQ(s.inHeading, u.unit == heading_stats && endsMarked);
    }
  }
}

TEST_F(SectionEnds, HeadingsCountTheirWordsAndCarryOverCalls) {
  Search s(u"here");
  s.endsMarked[heading_stats - sentence_stats] = true;
  Text t(u"[Title here and there] Body text here");
  t.Mark(u'[', ts_heading_start).Mark(u']', ts_heading_end);
  EXPECT_EQ(s.From(t, 0).at, 7);
  EXPECT_TRUE(s.inHeading);  // the flag is handed back to the next call
  EXPECT_EQ(s.stats.position[heading_stats], 1);
  const Hit next = s.From(t, 8);
  EXPECT_EQ(next.at, 33);
  EXPECT_FALSE(s.inHeading);
  EXPECT_EQ(ends_[heading_stats].calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}}));
  EXPECT_EQ(s.stats.number[heading_stats], 1);
  EXPECT_EQ(s.stats.number[word_stats], 7);
}

TEST_F(SectionEnds, MarkersAmongBlocksAreCountedAsOneByOne) {
  // Sentence and paragraph markers at every place within the blocks of the vector scan, some right
  // before or on a candidate, with tags about; each hit's word count and each end call must be what a
  // plain walk over the same types gives.
  UnicodeString text;
  for (int32_t k = 0; k < 700; ++k) {
    text += UnicodeString(static_cast<size_t>(1 + k % 7), u'a' + static_cast<char16_t>(k % 5));
    text += k % 11 == 0 ? u" the" : (k % 13 == 0 ? u" <b>the</b>" : u"");
    text += k % 3 == 0 ? u". " : (k % 17 == 0 ? u"\n\n" : u" ");
  }
  Text t(text);
  for (size_t i = 0; i + 1 < t.s.size(); ++i) {
    if (t.s[i] == u' ' && t.s[i - 1] == u'.') t.types[i] = SegmentMarkerType(ts_sentence_end);
    if (t.s[i] == u'\n' && t.s[i + 1] == u'\n') t.types[i + 1] = SegmentMarkerType(ts_paragraph_end);
  }
  // The plain walk: a word starts after i where a non-break follows a break (or carries the start bit);
  // the search is given one type word past the text (a zero), as the engine gives it.
  const uint16_t brk = whitespace_mask | tag_char_flag | segment_marker_flag;
  std::vector<int32_t> wordsBefore(t.s.size() + 1, 0);
  std::array<std::vector<std::pair<int32_t, int32_t>>, 2> wantCalls;
  int32_t words = 0, number[2] = {0, 0}, position[2] = {0, 0};
  for (int32_t i = 0; i < t.Size(); ++i) {
    wordsBefore[static_cast<size_t>(i)] = words;
    const uint16_t a = t.types[static_cast<size_t>(i)], b = t.types[static_cast<size_t>(i) + 1];
    if ((b & brk) == 0 && ((a & brk) != 0 || (b & word_start_flag) != 0)) {
      ++words;
      ++position[0];
      ++position[1];
    }
    if (a & segment_marker_flag) {
      const int u = (a & segment_marker_code_mask) == ts_sentence_end ? 0 : 1;
      wantCalls[static_cast<size_t>(u)].emplace_back(number[u]++, position[u]);
      position[u] = 1;
    }
  }
  for (const bool useWide : {false, true})
    for (const char16_t* typed : {u"the", u"th*"}) {
      const TWideVectorsSetting width(useWide);
      ends_ = {};
      Search s(typed);
      int32_t hits = 0;
      for (int32_t from = 0; from < t.Size();) {
        const Hit h = s.From(t, from);
        if (h.at < 0) break;
        ++hits;
        // Pass has seen the hit's own character before the match is tried.
        const int32_t want = wordsBefore[static_cast<size_t>(h.at)] +
                             ((t.types[static_cast<size_t>(h.at) + 1] & brk) == 0 &&
                              (t.types[static_cast<size_t>(h.at)] & brk) != 0);
        ASSERT_EQ(s.stats.number[word_stats], want) << Utf16ToUtf8(typed) << " at " << h.at << (useWide ? " wide" : "");
        from = h.at + 1;
      }
      EXPECT_GT(hits, 60);
      EXPECT_EQ(s.stats.number[word_stats], words);
      EXPECT_EQ(ends_[sentence_stats].calls, wantCalls[0]) << Utf16ToUtf8(typed) << (useWide ? " wide" : "");
      EXPECT_EQ(ends_[paragraph_stats].calls, wantCalls[1]) << Utf16ToUtf8(typed) << (useWide ? " wide" : "");
    }
}

TEST(NewFindWantedInBufferUncounted, FindsWhatTheCountingScanFinds) {
  // The same hits, lengths included, with markers and tags about, for plain words, wildcards, phrases
  // and a tag in the pattern, at both vector widths.
  UnicodeString text;
  for (int32_t k = 0; k < 900; ++k) {
    text += UnicodeString(static_cast<size_t>(1 + k % 6), u'a' + static_cast<char16_t>(k % 7));
    if (k % 9 == 0) text += u" The other";
    if (k % 14 == 0) text += u" <b>the</b> free  software";
    if (k % 5 == 0) text += u" colour color THE";
    if (k % 11 == 0) text += u" t<i>he f<i>ree software";  // tags inside a word are stepped over
    text += k % 4 == 0 ? u". " : (k % 19 == 0 ? u"\n\n" : u" ");
  }
  Text t(text);
  for (size_t i = 1; i + 1 < t.s.size(); ++i) {
    if (t.s[i] == u' ' && t.s[i - 1] == u'.') t.types[i] = SegmentMarkerType(ts_sentence_end);
    if (t.s[i] == u'\n' && t.s[i + 1] == u'\n') t.types[i + 1] = SegmentMarkerType(ts_paragraph_end);
  }
  for (const bool useWide : {false, true})
    for (const char16_t* typed : {u"the", u"th*", u"t?e", u"colou?r", u"free software", u"*our", u"<b>the", u"==THE=="}) {
      const TWideVectorsSetting width(useWide);
      Search counted(typed);
      counted.closure = true;
      const std::vector<Hit> want = counted.All(t);
      const std::vector<Hit> got = UncountedHits(counted, t);
      EXPECT_FALSE(want.empty()) << Utf16ToUtf8(typed);
      EXPECT_EQ(got, want) << Utf16ToUtf8(typed) << (useWide ? " wide" : "");
    }
}

TEST(GlobalOneTextStats, ClearingResetsHeadingAndFileStats) {
  const TSearchStatsRec saved = Global_OneFilesStats;
  const bool savedHeading = Global_in_heading;
  Global_OneFilesStats.number[word_stats] = 12;
  Global_in_heading = true;
  ClearGlobalOneTextStats();
  EXPECT_EQ(Global_OneFilesStats.number[word_stats], 0);
  EXPECT_FALSE(Global_in_heading);
  Global_OneFilesStats = saved;
  Global_in_heading = savedHeading;
}

}  // namespace
}  // namespace kx8
