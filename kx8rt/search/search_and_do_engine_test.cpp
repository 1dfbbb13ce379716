#include "kx8rt/search/search_and_do_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {
namespace {

constexpr LCID kEnglish = 0x0409;  // Windows-1252
constexpr LCID kRussian = 0x0419;  // Windows-1251

TSearch_word_format_rec Parsed(const UnicodeString& typed) {
  TIgnore_tag tags{};
  tags[tag_on][0] = u'<';
  tags[tag_off][0] = u'>';
  UnicodeString s = typed;
  TSearch_word_format_rec rec;
  Parsed_SearchWord(tags, s, rec);
  return rec;
}

// An engine on a UTF-16 (or 8-bit) buffer whose found event records each hit and answers with accept.
struct Harness {
  TSearchAndDoEngine engine;
  UnicodeString text;
  std::string bytes;
  std::vector<TSearchFound_Rec> hits;
  std::function<bool(TSearchAndDoEngine&, const TSearchFound_Rec&)> accept = [](auto&, auto&) { return true; };
  int wordCounts = 0;
  TSearchStatsRec lastCount;

  explicit Harness(LCID lcid = kEnglish) : engine(lcid) {}

  TSearchFoundEvent Found() {
    return [this](TSearchAndDoEngine& e, const TSearchFound_Rec& r) {
      hits.push_back(r);
      return accept(e, r);
    };
  }
  TWordCountEvent Counted() {
    return [this](TSearchAndDoEngine&, const TSearchStatsRec& s) {
      ++wordCounts;
      lastCount = s;
    };
  }
  void Wide(const UnicodeString& t, int32_t fileSize = 0) {
    text = t;
    engine.BufferFormat = fc_UTF16;
    engine.PrepareFirst(text.c_str(), fileSize ? fileSize : int32_t(text.size() * 2), 0, Found(), Counted());
  }
  void Narrow(const std::string& b) {
    bytes = b;
    engine.BufferFormat = fc_ANSI;
    engine.PrepareFirst(bytes.c_str(), int32_t(bytes.size()), 0, Found(), Counted());
  }
  std::vector<int32_t> Run(const UnicodeString& typed, int32_t nToFind = 0) {
    TSearch_word_format_rec rec = Parsed(typed);
    rec.n_to_find = nToFind;
    return Run(rec);
  }
  std::vector<int32_t> Run(TSearch_word_format_rec& rec) {
    hits.clear();
    EXPECT_TRUE(engine.SearchAndDo(&rec));
    std::vector<int32_t> at;
    for (const auto& h : hits) at.push_back(h.hit_pos_in_characters);
    return at;
  }
};

using Starts = std::vector<int32_t>;

TEST(SearchAndDoEngine, NToFindCountsOnlyAcceptedHits) {
  Harness h;
  h.Wide(u"cat dog cat cat cat cat.");
  // The first hit is refused, so two accepted hits take three reports.
  h.accept = [](TSearchAndDoEngine&, const TSearchFound_Rec& r) { return r.hit_pos_in_characters != 0; };
  EXPECT_EQ(h.Run(u"cat", 2), (Starts{0, 8, 12}));
  EXPECT_EQ(h.engine.HitsFound(), 3);
  EXPECT_EQ(h.wordCounts, 1);
  // No limit: every hit, accepted or not.
  EXPECT_EQ(h.Run(u"cat"), (Starts{0, 8, 12, 16, 20}));
  EXPECT_EQ(h.hits[1].exact_hit_len, 3);
  EXPECT_EQ(h.hits[1].where_hit_started, h.text.c_str() + 8);
  EXPECT_EQ(h.hits[1].start_of_text, h.text.c_str());
  EXPECT_EQ(h.engine.HitsFound(), 8);
}

TEST(SearchAndDoEngine, FoundEnoughAndCancel) {
  Harness h;
  h.Wide(u"a cat, a cat, a cat, a cat.");
  h.accept = [](TSearchAndDoEngine& e, const TSearchFound_Rec& r) {
    if (r.hit_pos_in_characters == 9) e.FoundEnough();
    return true;
  };
  EXPECT_EQ(h.Run(u"cat"), (Starts{2, 9}));
  EXPECT_EQ(h.wordCounts, 1);  // still told the statistics
  EXPECT_EQ(h.lastCount.number[word_stats], 3);
  // The next search starts afresh.
  h.accept = [](auto&, auto&) { return true; };
  EXPECT_EQ(h.Run(u"cat").size(), 4u);

  // Cancel from the user interface, reached through the yield at the top of each pass.
  TYieldProcessProc saved = Global_YieldProcessProc;
  Global_YieldProcessProc = [&] {
    if (h.hits.size() == 2 && !h.engine.Cancelled()) h.engine.Cancel();
  };
  EXPECT_EQ(h.Run(u"cat"), (Starts{2, 9}));
  EXPECT_TRUE(h.engine.Cancelled());
  Global_YieldProcessProc = saved;
  EXPECT_EQ(h.Run(u"cat").size(), 4u);  // a new search clears the cancel
  EXPECT_FALSE(h.engine.Cancelled());
  h.engine.Cancel();
  h.engine.ClearCancel();
  EXPECT_FALSE(h.engine.Cancelled());
}

TEST(SearchAndDoEngine, BufferEnds) {
  struct Case {
    const char16_t* text;
    const char16_t* typed;
    Starts starts;
  } cases[] = {
      {u"a", u"a", {}},              // one character: nothing to search
      {u"b a", u"a", {}},            // the last character never starts a hit
      {u"a b", u"a", {0}},
      {u"banana.", u"*ana*", {1, 3}},  // overlapping hits
      {u"x cat", u"cat", {}},        // a hit needs characters before the buffer's last
      {u"x cat ", u"cat", {2}},
  };
  for (const auto& c : cases) {
    Harness h;
    h.Wide(c.text);
    EXPECT_EQ(h.Run(c.typed), c.starts) << Utf16ToUtf8(c.text);
  }
}

TEST(SearchAndDoEngine, PercentOfFile) {
  UnicodeString t(100, u' ');
  t.replace(50, 3, u"cat");
  Harness h;
  h.Wide(t, 200);
  h.Run(u"cat");
  ASSERT_EQ(h.hits.size(), 1u);
  EXPECT_FLOAT_EQ(h.hits[0].percent_of_file, 50);
  // A UTF-16 conversion of an 8-bit file of 100 bytes: byte 100 of the buffer is byte 50 of the file.
  h.engine.BufferGotConverted = true;
  h.engine.PrepareFirst(h.text.c_str(), 100, 0, h.Found(), {});
  h.Run(u"cat");
  ASSERT_EQ(h.hits.size(), 1u);
  EXPECT_FLOAT_EQ(h.hits[0].percent_of_file, 50);
  h.engine.BufferGotConverted = false;
  // A later chunk: the buffer's place in the file counts; beyond the file's end the hit is dropped.
  h.engine.PrepareFirst(h.text.c_str(), 400, 100, h.Found(), {});
  h.Run(u"cat");
  ASSERT_EQ(h.hits.size(), 1u);
  EXPECT_FLOAT_EQ(h.hits[0].percent_of_file, 50);
  EXPECT_EQ(h.hits[0].FileBytePos, 100);
  h.engine.PrepareFirst(h.text.c_str(), 90, 0, h.Found(), {});
  EXPECT_EQ(h.Run(u"cat"), Starts{});
  EXPECT_EQ(h.engine.HitsFound(), 3);
}

TEST(SearchAndDoEngine, CaseOfItems) {
  Harness h;
  h.Wide(u"cat Cat CAT cAt dog.");
  EXPECT_EQ(h.Run(u"cAT"), (Starts{0, 4, 8, 12}));
  EXPECT_EQ(h.Run(u"==Cat=="), (Starts{4}));
  EXPECT_EQ(h.Run(u"==cat=="), (Starts{0}));
}

TEST(SearchAndDoEngine, EightBitBuffersInTheirCodePages) {
  {
    Harness h(kEnglish);
    h.Narrow(UnicodeToAnsi(u"un café noir, un CAFÉ. ", 1252));
    ASSERT_EQ(h.bytes[6], '\xE9');
    TSearch_word_format_rec rec = Parsed(u"Café");
    EXPECT_EQ(h.Run(rec), (Starts{3, 17}));
    EXPECT_TRUE(rec.copies_converted);
    EXPECT_EQ(rec.copies[lower_copy][3], 0xE9);
    EXPECT_EQ(rec.copies[upper_copy][3], 0xC9);
    EXPECT_EQ(h.Run(rec), (Starts{3, 17}));  // converted once, searched again
    EXPECT_EQ(h.Run(u"==CAFÉ=="), (Starts{17}));
  }
  {
    Harness h(kRussian);
    EXPECT_EQ(h.engine.Codepage, 1251u);
    h.Narrow(UnicodeToAnsi(u"Мир и мир, МИР. ", 1251));
    ASSERT_EQ(h.bytes[0], '\xCC');
    EXPECT_EQ(h.Run(u"мир"), (Starts{0, 6, 11}));
    EXPECT_EQ(h.Run(u"==Мир=="), (Starts{0}));
    EXPECT_EQ(h.Run(u"м?р"), (Starts{0, 6, 11}));
  }
}

TEST(SearchAndDoEngine, CaseClosureForEveryWordItSearches) {
  Harness h;
  h.Wide(u"Ο γιος ΤΗΣ γειτόνισσας είπε ότι η γάτα της φίλης της Της κοιμάται. ");
  const Starts greek{7, 39, 49, 53};
  ASSERT_EQ(h.text.substr(53, 3), u"Της");
  for (const char16_t* typed : {u"ΤΗΣ", u"της", u"Της", u"τησ"}) EXPECT_EQ(h.Run(typed), greek) << Utf16ToUtf8(typed);
  // A record whose table is missing (copies set by hand) is closed over by the engine itself.
  TSearch_word_format_rec handMade = Parsed(u"ΤΗΣ");
  handMade.case_closure.clear();
  EXPECT_EQ(h.Run(handMade), greek);
  EXPECT_EQ(handMade.case_closure, Parsed(u"ΤΗΣ").case_closure);

  h.Wide(u"Die STRAẞE ist lang; die Straße endet an der strasse. ");
  EXPECT_EQ(h.Run(u"straße"), (Starts{4, 25}));
  EXPECT_EQ(h.Run(u"STRAẞE"), (Starts{4, 25}));
  EXPECT_EQ(h.Run(u"==Straße=="), (Starts{25}));
}

TEST(SearchAndDoEngine, EightBitBuffersKeepTheClosureTheirCodePageCanHold) {
  Harness h(kEnglish);
  const std::string text = UnicodeToAnsi(u"Die STRASSE, die Straße und stra?e. ", 1252);
  h.Narrow(text);
  TSearch_word_format_rec rec = Parsed(u"STRAẞE");
  // The capital sharp s has no byte in the code page; its small form has, and "?" never stands for it.
  EXPECT_EQ(h.Run(rec), (Starts{static_cast<int32_t>(text.find("Stra\xDF"))}));
  EXPECT_TRUE(rec.copies_converted);
  for (char16_t unit : rec.case_closure) EXPECT_LT(unit, 0x100);
  EXPECT_EQ(h.Run(rec), (Starts{static_cast<int32_t>(text.find("Stra\xDF"))}));  // converted once

  Harness g(0x0408);  // Greek, code page 1253
  ASSERT_EQ(g.engine.Codepage, 1253u);
  g.Narrow(UnicodeToAnsi(u"ΤΗΣ της Της τησ. ", 1253));
  EXPECT_EQ(g.Run(u"ΤΗΣ"), (Starts{0, 4, 8, 12}));
  EXPECT_EQ(g.Run(u"==της=="), (Starts{4}));
}

TEST(SearchAndDoEngine, RunsOfWildcardsAndNoEmptyHits) {
  Harness h;
  h.Wide(u"paquet paquets abc\n");
  EXPECT_EQ(h.Run(u"paque??"), (Starts{0, 7}));
  EXPECT_EQ(h.Run(u"^^^"), (Starts{15}));
  h.Wide(u"  abc\n");
  EXPECT_EQ(h.Run(u"^"), Starts{});
  h.Wide(u"  abc de, f\n");
  for (const char16_t* typed : {u"^", u"?", u"*?*", u"*^^*", u"***"}) {
    h.Run(typed);
    for (const TSearchFound_Rec& f : h.hits) {
      EXPECT_GE(f.exact_hit_len, 1) << Utf16ToUtf8(typed) << " at " << f.hit_pos_in_characters;
      EXPECT_NE(h.text[static_cast<size_t>(f.hit_pos_in_characters)], u' ') << Utf16ToUtf8(typed);
    }
  }
  EXPECT_EQ(h.Run(u"*?*"), (Starts{2, 3, 4, 6, 7, 8, 10}));
}

TEST(SearchAndDoEngine, JumpsAndStatistics) {
  Harness h;
  h.Wide(u"one cat two cat three cat four cat end");
  const int32_t saved = Global_LowestJumpTo;
  // The event moves the search on past the next hit.
  h.accept = [](TSearchAndDoEngine& e, const TSearchFound_Rec& r) {
    if (r.hit_pos_in_characters == 4) {
      Global_LowestJumpTo = 2 * 20;
      e.fLowestJumpToChanged = true;
    }
    return true;
  };
  EXPECT_EQ(h.Run(u"cat"), (Starts{4, 22, 31}));
  // Searches start at the jump; a jump back is never taken.
  Global_LowestJumpTo = 2 * 15;
  EXPECT_EQ(h.Run(u"cat"), (Starts{22, 31}));
  h.accept = [](TSearchAndDoEngine& e, const TSearchFound_Rec&) {
    Global_LowestJumpTo = 0;
    e.fLowestJumpToChanged = true;
    return true;
  };
  Global_LowestJumpTo = 0;
  EXPECT_EQ(h.Run(u"cat"), (Starts{4, 12, 22, 31}));
  Global_LowestJumpTo = saved;

  // Statistics at each hit, with the heading marked absent.
  h.accept = [](auto&, auto&) { return true; };
  h.engine.ClearChunkTextStats();
  h.Run(u"cat");
  ASSERT_EQ(h.hits.size(), 4u);
  EXPECT_EQ(h.hits[2].count_stats.number[word_stats], 5);
  EXPECT_EQ(h.hits[2].count_stats.number[heading_stats], -1);
  EXPECT_EQ(h.hits[2].count_stats.position[heading_stats], -1);
  h.engine.SearchAndDo(nullptr, 7);
  TSearch_word_format_rec rec = Parsed(u"end");
  h.engine.SearchAndDo(&rec, 7);
  EXPECT_EQ(h.engine.current_search_number, 7);
}

TEST(SearchAndDoEngine, NotReady) {
  TSearchAndDoEngine e(kEnglish);
  TSearch_word_format_rec rec = Parsed(u"cat");
  EXPECT_FALSE(e.SearchAndDo(&rec));  // no buffer, no event
  const UnicodeString text = u"a cat.";
  e.BufferFormat = fc_UTF16;
  e.PrepareFirst(text.c_str(), 12, 0, {}, {});
  EXPECT_FALSE(e.Ready());
  EXPECT_FALSE(e.SearchAndDo(&rec));
  e.PrepareFirst(text.c_str(), 12, 0, [](auto&, auto&) { return true; }, {});
  EXPECT_TRUE(e.Ready());
  EXPECT_EQ(e.BufferLength(), 6);
  EXPECT_EQ(e.BufferDetailsEnd() - e.BufferDetailsStart(), 7);
  EXPECT_FALSE(e.SearchAndDo(nullptr));
  TSearch_word_format_rec empty;
  EXPECT_FALSE(e.SearchAndDo(&empty));
  EXPECT_TRUE(e.SearchAndDo(&rec));
  e.SetBufferLength(1000);  // never beyond the buffer
  EXPECT_EQ(e.BufferLength(), 6);
  e.SetABuffer(nullptr);
  EXPECT_EQ(e.BufferLength(), 0);
  EXPECT_FALSE(e.SearchAndDo(&rec));
}

TEST(SearchAndDoEngine, AllowablesAndMarkers) {
  Harness h;
  h.Wide(u"don't stop. don t. ");
  EXPECT_EQ(h.Run(u"don"), (Starts{0, 12}));
  h.engine.HandleAllowables(u"'", false, false);
  EXPECT_EQ(h.Run(u"don"), (Starts{12}));
  EXPECT_EQ(h.Run(u"don't"), (Starts{0}));
  const int32_t counts[8] = {0, 3, 0, 0, 0, 0, 0, 9};
  h.engine.SetArrayOfTagsFound(counts);
  EXPECT_EQ(h.engine.Arr_OfTextMarkersFound[1], 3);
  EXPECT_EQ(h.engine.Arr_OfTextMarkersFound[7], 9);
  h.engine.SetArrayOfTagsFound(nullptr);
  EXPECT_EQ(h.engine.Arr_OfTextMarkersFound[7], 0);
}

TEST(SearchAndDoEngine, LogLines) {
  namespace fs = std::filesystem;
  const fs::path log = fs::temp_directory_path() / ("kx8_engine_" + std::to_string(::getpid()) + ".log");
  fs::remove(log);
  const bool savedKeeping = global_keeping_log;
  const UnicodeString savedName = GetLogFilename();
  SetLogFilename(Utf8ToUtf16(log.string()));
  global_keeping_log = true;
  Harness h;
  h.Wide(u"a cat.");
  h.Run(u"cat");
  h.engine.SearchAndDo(nullptr);
  TAdditionalSearchAndDoEngine extra(kEnglish);
  extra.BufferFormat = fc_UTF16;
  extra.PrepareFirst(h.text.c_str(), 12, 0, [](auto&, auto&) { return true; }, {});
  TSearch_word_format_rec rec = Parsed(u"cat");
  extra.SearchAndDo(&rec);
  global_keeping_log = savedKeeping;
  SetLogFilename(savedName);

  std::ifstream in(log, std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove(log);
  ASSERT_GE(raw.size(), 2u);
  const UnicodeString text(reinterpret_cast<const char16_t*>(raw.data() + 2), (raw.size() - 2) / 2);
  const std::string s = Utf16ToUtf8(text);
  EXPECT_NE(s.find("seeking \r\n\"CAT\"\r\n\"cat\"\r\n\"Cat\"\r\nand file begins \"a cat....\""), std::string::npos) << s;
  EXPECT_NE(s.find("(1) \"cat.\" at chunk 000000+000002= byte 000004\tdone: 000000\tto go: 000005\t"), std::string::npos) << s;
  EXPECT_NE(s.find("item = nil: True and buffer = nil: False "), std::string::npos) << s;
  // The additional engine logs neither what it seeks nor its hits.
  size_t seeking = 0;
  for (size_t at = s.find("seeking"); at != std::string::npos; at = s.find("seeking", at + 1)) ++seeking;
  EXPECT_EQ(seeking, 1u);
}

TEST(TWLSearchAndDo, QuickSearchReadsTagsAsText) {
  TWLSearchAndDo e(kEnglish);
  const UnicodeString text = u"<b>Cats</b> sat.";
  e.BufferFormat = fc_UTF16;
  e.SetABuffer(text.c_str());
  const TMySearchFlags bounded{myLeftBounded, myRightBounded};
  e.SetSearchWord(u"cats", bounded);
  EXPECT_EQ(e.search_text, u"CATS");
  EXPECT_EQ(e.lo_copy, u"cats");
  EXPECT_EQ(e.title_copy, u"Cats");
  EXPECT_TRUE(e.QuickSearchFoundIgnoringTags());
  e.SetSearchWord(u"b", bounded);  // inside the tag, read as plain text
  EXPECT_TRUE(e.QuickSearchFoundIgnoringTags());
  e.SetSearchWord(u"cat", bounded);
  EXPECT_FALSE(e.QuickSearchFoundIgnoringTags());
  e.SetSearchWord(UnicodeString(u"cat") + sw_any_run, TMySearchFlags{myLeftBounded});
  EXPECT_TRUE(e.QuickSearchFoundIgnoringTags());
  e.SetSearchWord(u"cats", TMySearchFlags{myCaseIsSensitive, myLeftBounded, myRightBounded});
  EXPECT_FALSE(e.QuickSearchFoundIgnoringTags());
  // A buffer shorter than the word.
  const UnicodeString shortText = u"ca";
  e.SetABuffer(shortText.c_str());
  e.SetSearchWord(u"cat", bounded);
  EXPECT_FALSE(e.QuickSearchFoundIgnoringTags());
}

}  // namespace
}  // namespace kx8
