// The concordancer over real files: hits and their numbers must not depend on how a text is cut into
// chunks or shared among workers, every encoding must give the same hits, and bad input is reported
// while the rest is still searched.
#include "kx8rt/corpus/concordance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

struct Line {
  int32_t text;
  int64_t pos, word, sentence, paragraph;
  int percent10;
  std::u16string left, node, right;
  bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Line& l) {
  return os << l.text << ":" << l.pos << " w" << l.word << " s" << l.sentence << " p" << l.paragraph << " ["
            << Utf16ToUtf8(l.left) << "|" << Utf16ToUtf8(l.node) << "|" << Utf16ToUtf8(l.right) << "]";
}

class Concordance : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_concordance_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }

  struct Result {
    std::vector<Line> lines;
    std::vector<TConcordanceTextSummary> texts;
    std::vector<std::string> problems;
    TConcordanceTotals totals;
  };
  static Result Run(TConcordanceOptions o, const std::vector<std::string>& paths) {
    Result r;
    TConcordancer c(o);
    std::vector<UnicodeString> p;
    for (const auto& s : paths) p.push_back(Utf8ToUtf16(s));
    r.totals = c.Run(
        p,
        [&](const TConcordanceHit& h) {
          r.lines.push_back({h.text, h.pos, h.word, h.sentence, h.paragraph, static_cast<int>(h.percent * 10),
                             std::u16string(h.left), std::u16string(h.node), std::u16string(h.right)});
        },
        [&](const TConcordanceTextSummary& s) { r.texts.push_back(s); },
        [&](const UnicodeString& path, const UnicodeString& why) { r.problems.push_back(Utf16ToUtf8(path + u": " + why)); });
    return r;
  }
};

// A text with sentences, paragraphs, apostrophes, numbers, non-Latin letters and characters beyond the
// first plane, long enough to cross many small chunks.
std::string Prose(int paragraphs) {
  std::string s;
  for (int p = 0; p < paragraphs; ++p) {
    s += "The bank's river ran by the bank. Die Bank am Fluss, 3,000.5 Meter; \xCE\xA4\xCE\xB7\xCF\x82 bank! ";
    s += "Was it a bank? \xF0\x9F\x98\x80 bank \xF0\x9F\x98\x80 e.g. banking and bank-notes.\n";
    if (p % 3 == 2) s += "\n";
  }
  return s;
}

std::string Utf16(const std::string& utf8, bool bigEndian, bool signature) {
  const UnicodeString u = Utf8ToUtf16(utf8);
  std::string out;
  if (signature) out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t c : u) {
    const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

TEST_F(Concordance, ChunkingAndWorkersNeverChangeTheHits) {
  const std::string text = Prose(60);
  const std::string file = Write("prose.txt", text);
  TConcordanceOptions whole;
  whole.search_word = u"bank/τη*";
  whole.context_chars = 12;
  whole.chunk_units = 1 << 24;
  whole.workers = 1;
  const Result reference = Run(whole, {file});
  // Seven a paragraph ("bank's" and "banking" are other words); a blank line after every third.
  ASSERT_EQ(reference.lines.size(), 420u);
  EXPECT_EQ(reference.lines.front().word, 7);
  EXPECT_EQ(reference.lines.back().paragraph, 20);
  EXPECT_EQ(reference.lines.back().sentence, reference.texts[0].words > 0 ? reference.lines.back().sentence : 0);
  struct Case {
    int32_t chunk, margin, workers;
  };
  // Chunk sizes that put edges everywhere (inside words, hits, surrogate pairs, multi-byte characters),
  // one worker and several (a large text is then split among them).
  for (const Case c : {Case{37, 64, 1}, Case{64, 64, 1}, Case{100, 80, 1}, Case{257, 64, 1}, Case{1000, 200, 1},
                       Case{37, 64, 2}, Case{100, 64, 4}, Case{333, 100, 3}}) {
    TConcordanceOptions o = whole;
    o.chunk_units = c.chunk;
    o.margin_units = c.margin;
    o.workers = c.workers;
    const Result r = Run(o, {file});
    EXPECT_EQ(r.lines, reference.lines) << "chunk " << c.chunk << " workers " << c.workers;
    ASSERT_EQ(r.texts.size(), 1u);
    EXPECT_EQ(r.texts[0].words, reference.texts[0].words);
    EXPECT_EQ(r.texts[0].characters, reference.texts[0].characters);
  }
}

TEST_F(Concordance, SparseSearchOfPlainTextFindsWhatTheFullSearchFinds) {
  // 7-bit text (and one window with a letter beyond it) searched for single words, some of them rare,
  // with windows typed only round their candidates, against the same search typing every window.
  const char* const pieces[] = {"word ", "The ", "the ", "a ", "3.5 ", "1,000.5 ", "e.g. ", ". ", "! ", "? ", "\n",
                                "\n\n", " \n", "\t", "\r\n", "don't ", "x-y ", "theory ", "wORd. ", "other ",
                                "words", "(the) ", "\"Word\" ", "W0rd ", "the.", "...", "OK: ", "3,5 ", "3 ",
                                "the3 ", "_the_ ", "the'", "'the ", "key ", "KEY-", "so'me ", "some,", "3.x "};
  // Rare words every few hundred characters, in several forms, among the frequent ones.
  const char* const rare[] = {"zebra ", "Zebra. ", "zebras ", "zebra's ", "ZEBRA\n", "zebra-like ", "(zebra) "};
  std::string text;
  unsigned state = 5;
  for (int k = 0; text.size() < 60000; ++k) {
    state = state * 1103515245u + 12345u;
    text += pieces[(state >> 16) % (sizeof pieces / sizeof pieces[0])];
    if (k % 97 == 0) text += rare[(state >> 8) % (sizeof rare / sizeof rare[0])];
  }
  const std::string plain = Write("plain.txt", text);
  const std::string mixed = Write("mixed.txt", text.substr(0, 30000) + "caf\xC3\xA9 word " + text.substr(30000));
  // Zero bytes past the first look at a text are read as spaces: between lines, after a sentence's end,
  // inside a rare word's run.
  std::string zeros = text + text;
  for (const size_t at : {size_t{70000}, size_t{90000}, size_t{100000}})
    zeros.insert(at, std::string("\n\0\nzebra.\0The zebra\0zebra ", 26));
  const std::string zeroed = Write("zeros.txt", zeros);
  // Plain words (matched from the masks, without the matcher) among them: with digits, punctuation
  // inside or at an end, in one case only, and letters beyond 7 bits whose other cases are 7-bit (the
  // Kelvin sign, the long s).
  for (const char16_t* word : {u"zebra", u"zeb*", u"z?bra", u"==Zebra==", u"zebra's", u"zebra/the", u"the", u"word",
                               u"wor*", u"don't", u"3.5", u"x-y", u"*ord", u"ok", u"zebra the", u"zebra  word",
                               u"zebra* the wor*", u"3", u"e.g", u"e.g.", u"==the==", u"the/word/a", u"\u212Aey",
                               u"\u017Fome", u"'the", u"the'", u"_the_", u"so'me", u"3,5", u"KEY-"})
    for (const int32_t workers : {1, 2}) {
      TConcordanceOptions o;
      o.search_word = word;
      o.skip_punctuation = workers == 2;  // phrases across punctuation too
      o.context_chars = 10;
      o.chunk_units = 4096;
      o.workers = workers;
      const Result sparse = Run(o, {plain, mixed, zeroed});
      o.sparse_plain_text = false;
      const Result full = Run(o, {plain, mixed, zeroed});
      EXPECT_EQ(sparse.lines, full.lines) << Utf16ToUtf8(word) << " workers " << workers;
      EXPECT_EQ(sparse.totals.words, full.totals.words) << Utf16ToUtf8(word);
      EXPECT_EQ(sparse.totals.hits, full.totals.hits) << Utf16ToUtf8(word);
      ASSERT_EQ(sparse.texts.size(), full.texts.size());
      // (Sentence and paragraph numbers, carried from window to window, are in the lines.)
      for (size_t t = 0; t < full.texts.size(); ++t) {
        EXPECT_EQ(sparse.texts[t].words, full.texts[t].words) << Utf16ToUtf8(word);
        EXPECT_EQ(sparse.texts[t].characters, full.texts[t].characters) << Utf16ToUtf8(word);
      }
    }
}

TEST_F(Concordance, EveryEncodingGivesTheSameHits) {
  const std::string text = Prose(20);
  TConcordanceOptions o;
  o.search_word = u"bank";
  o.context_chars = 10;
  o.chunk_units = 90;
  o.margin_units = 64;
  const Result utf8 = Run(o, {Write("u8.txt", text)});
  ASSERT_FALSE(utf8.lines.empty());
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"u8bom.txt", "\xEF\xBB\xBF" + text},
           {"le.txt", Utf16(text, false, true)},
           {"be.txt", Utf16(text, true, true)},
           {"le-nosig.txt", Utf16(text, false, false)}}) {
    const Result r = Run(o, {Write(name, bytes)});
    ASSERT_EQ(r.lines.size(), utf8.lines.size()) << name;
    for (size_t i = 0; i < r.lines.size(); ++i) {
      EXPECT_EQ(r.lines[i].pos, utf8.lines[i].pos) << name;
      EXPECT_EQ(r.lines[i].word, utf8.lines[i].word) << name;
      EXPECT_EQ(r.lines[i].left, utf8.lines[i].left) << name;
      EXPECT_EQ(r.lines[i].right, utf8.lines[i].right) << name;
    }
  }
}

TEST_F(Concordance, EightBitTextInTheCodePage) {
  // "für über Fuß" in Windows-1252, and a late non-UTF-8 byte in a text longer than one look at its head.
  const std::string latin = "f\xFCr \xFC" "ber Fu\xDF\n";
  std::string late(70000, 'a');
  late += " Stra\xDF" "e\n";
  TConcordanceOptions o;
  o.search_word = u"über/straße";
  o.codepage = 1252;
  const Result r = Run(o, {Write("latin.txt", latin), Write("late.txt", late)});
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0].node, u"\u00FCber");
  EXPECT_EQ(r.lines[1].node, u"Stra\u00DFe");
  EXPECT_EQ(r.texts[1].format, fc_ANSI);
}

TEST_F(Concordance, TextReadAsSevenBitBeforeItIsKnownGivesWhatMeasuringFirstGives) {
  // Texts whose first 64 KB are 7-bit are read at once as 7-bit and settled where a window is not: the
  // hits must be those of a run that measures each text first, whole or split among workers. Some texts
  // stay 7-bit; some turn to UTF-8 or to the code page after hits were found; one has hits enough that
  // the rest is measured before its end.
  std::string ascii;  // few hits: they wait for the text's end or for a part that settles it
  for (int line = 0; ascii.size() < 70000; ++line)
    ascii += line % 40 == 0 ? "The bank ran by the river. Money in the bank.\n" : "The road ran by the river.\n";
  std::string dense;
  while (dense.size() < 300000) dense += "bank bank, bank. ";
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"ascii.txt", ascii + "A last bank.\n"},
      {"utf8.txt", ascii + "Caf\xC3\xA9 bank \xF0\x9F\x98\x80 bank.\n" + ascii},
      {"cp1252.txt", ascii + "Stra\xDF" "e bank f\xFCr bank.\n" + ascii},
      {"dense.txt", dense + "\xC3\xA9t\xC3\xA9 bank.\n" + dense},
      {"dense7.txt", dense}};
  std::vector<std::string> files;
  for (const auto& [name, bytes] : texts) files.push_back(Write(name, bytes));
  TConcordanceOptions measured;
  measured.search_word = u"bank";
  measured.codepage = 1252;
  measured.workers = 1;
  measured.presume_seven_bit = false;
  const Result reference = Run(measured, files);
  ASSERT_EQ(reference.texts.size(), texts.size());
  EXPECT_EQ(reference.texts[0].format, fc_ASCII);
  EXPECT_EQ(reference.texts[1].format, fc_UTF8);
  EXPECT_EQ(reference.texts[2].format, fc_ANSI);
  EXPECT_EQ(reference.texts[3].format, fc_UTF8);
  // One worker, and several: over whole texts, and over parts of 4 chunks (a text above 8 chunks is split).
  for (const auto& [chunk, workers] : std::vector<std::pair<int32_t, int32_t>>{
           {1 << 18, 1}, {4096, 1}, {300, 1}, {1 << 18, 2}, {4096, 2}, {1000, 3}, {300, 2}}) {
    TConcordanceOptions o = measured;
    o.presume_seven_bit = true;
    o.workers = workers;
    o.chunk_units = chunk;
    const std::string where = "chunk " + std::to_string(chunk) + ", workers " + std::to_string(workers);
    const Result r = Run(o, files);
    ASSERT_EQ(r.lines.size(), reference.lines.size()) << where;
    for (size_t i = 0; i < r.lines.size(); ++i) ASSERT_EQ(r.lines[i], reference.lines[i]) << where << ", hit " << i;
    ASSERT_EQ(r.texts.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(r.texts[i].format, reference.texts[i].format) << texts[i].first << ", " << where;
      EXPECT_EQ(r.texts[i].characters, reference.texts[i].characters) << texts[i].first << ", " << where;
      EXPECT_EQ(r.texts[i].words, reference.texts[i].words) << texts[i].first << ", " << where;
    }
    // The first hits asked for come as the full run has them.
    o.max_hits = 3;
    const Result few = Run(o, {files[3]});
    ASSERT_EQ(few.lines.size(), 3u);
    EXPECT_EQ(few.lines[2].percent10, reference.lines[static_cast<size_t>(reference.texts[0].hits +
                                                                          reference.texts[1].hits +
                                                                          reference.texts[2].hits) + 2].percent10);
  }
}

TEST_F(Concordance, MaxTakesTheFirstHitsInTextOrderAcrossAlternatives) {
  TConcordanceOptions o;
  o.search_word = u"a/b";
  o.max_hits = 2;
  const Result r = Run(o, {Write("ab.txt", "a b a b\n")});
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0].pos, 0);
  EXPECT_EQ(r.lines[1].pos, 2);
  EXPECT_TRUE(r.totals.stopped);
}

TEST_F(Concordance, ContextIsCutOnWholeCharacters) {
  // Each side's cut would fall inside a surrogate pair: the half character is left out.
  TConcordanceOptions o;
  o.search_word = u"x";
  o.context_chars = 3;
  const Result r = Run(o, {Write("s.txt", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80 x \xF0\x9F\x98\x80\xF0\x9F\x98\x80\n")});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].left, u"\U0001F600 ");
  EXPECT_EQ(r.lines[0].right, u" \U0001F600");
}

TEST_F(Concordance, BadInputIsReportedAndTheRestSearched) {
  Write("folder/good.txt", "a good bank\n");
  Write("folder/image.png", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(100, '\0'));
  Write("folder/prog", std::string("\x7F" "ELF\x02\x01\x01", 7) + std::string(64, '\0') + "bank");
  Write("folder/zeros.dat", std::string("bank\0bank", 9));
  Write("bad.zip", "PK\x03\x04 this is no archive");
  TConcordanceOptions o;
  o.search_word = u"bank";
  const Result r = Run(o, {(dir / "folder").string(), (dir / "missing.txt").string(), (dir / "bad.zip").string()});
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.totals.texts_searched, 1);
  EXPECT_EQ(r.totals.texts_skipped, 3);
  for (const auto& t : r.texts) {
    if (t.searched) continue;
    EXPECT_FALSE(t.unreadable) << Utf16ToUtf8(t.skipped_because);
    EXPECT_NE(t.skipped_because.find(u"not text"), UnicodeString::npos) << Utf16ToUtf8(t.skipped_because);
  }
  ASSERT_EQ(r.problems.size(), 2u);
  EXPECT_NE(r.problems[0].find("missing.txt"), std::string::npos);
  EXPECT_NE(r.problems[1].find("bad.zip"), std::string::npos);

  // A broken archive met while walking a folder's archives is reported once; the folder's texts on
  // either side of it are still searched.
  Write("walked/a.txt", "a bank\n");
  Write("walked/b.zip", "PK\x03\x04 this is no archive");
  Write("walked/c.txt", "another bank\n");
  o.choice.zips = true;
  const Result w = Run(o, {(dir / "walked").string()});
  EXPECT_EQ(w.lines.size(), 2u);
  EXPECT_EQ(w.totals.texts_searched, 2);
  ASSERT_EQ(w.problems.size(), 1u);
  EXPECT_NE(w.problems[0].find("b.zip"), std::string::npos) << w.problems[0];
}

TEST_F(Concordance, ArchiveEntriesAreSearchedInPlace) {
  const std::string a = Write("src/a.txt", "first bank here\n");
  const std::string b = Write("src/b.txt", Prose(30));
  TZipArchive zip;
  const std::string archive = (dir / "texts.zip").string();
  ASSERT_EQ(zip.CreateArchive(Utf8ToUtf16(archive), {Utf8ToUtf16(a), Utf8ToUtf16(b)}, zsp_no_path), 2);
  TConcordanceOptions o;
  o.search_word = u"bank";
  o.chunk_units = 120;  // entries are read forward, window after window
  o.margin_units = 64;
  const Result inZip = Run(o, {archive});
  const Result plain = Run(o, {a, b});
  ASSERT_EQ(inZip.lines.size(), plain.lines.size());
  for (size_t i = 0; i < plain.lines.size(); ++i) {
    EXPECT_EQ(inZip.lines[i].pos, plain.lines[i].pos);
    EXPECT_EQ(inZip.lines[i].sentence, plain.lines[i].sentence);
  }
}

TEST_F(Concordance, ArchiveBombsAreRefusedAndRelativeArchivesFound) {
  // 80 MB of one letter packs into a few hundred KB: refused with a note before anything is inflated.
  const std::string bomb = Write("src/bomb.txt", std::string(80u << 20, 'a'));
  const std::string small = Write("src/small.txt", "a bank\n");
  TZipArchive zip;
  ASSERT_EQ(zip.CreateArchive(Utf8ToUtf16((dir / "bomb.zip").string()), {Utf8ToUtf16(bomb), Utf8ToUtf16(small)},
                              zsp_no_path),
            2);
  fs::remove(bomb);
  // A bare archive name is an archive in the current folder.
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  TConcordanceOptions o;
  o.search_word = u"bank";
  const Result r = Run(o, {"bomb.zip"});
  fs::current_path(before);
  ASSERT_EQ(r.texts.size(), 2u);
  EXPECT_FALSE(r.texts[0].searched);
  EXPECT_NE(r.texts[0].skipped_because.find(u"decompression bomb"), UnicodeString::npos)
      << Utf16ToUtf8(r.texts[0].skipped_because);
  EXPECT_EQ(r.lines.size(), 1u);
  EXPECT_TRUE(r.problems.empty());
}

TEST_F(Concordance, ManyTextsGiveTheSameResultWithAnyNumberOfWorkers) {
  for (int i = 0; i < 40; ++i) Write("many/t" + std::to_string(100 + i) + ".txt", Prose(1 + i % 7));
  TConcordanceOptions o;
  o.search_word = u"bank*";
  o.workers = 1;
  const Result one = Run(o, {(dir / "many").string()});
  o.workers = 4;
  o.chunk_units = 300;  // and split the larger texts too
  o.margin_units = 100;
  const Result four = Run(o, {(dir / "many").string()});
  EXPECT_EQ(four.lines, one.lines);
  EXPECT_EQ(four.totals.words, one.totals.words);
  EXPECT_EQ(four.totals.texts_with_hits, 40);
}

// The texts are searched as the walk finds them: what the caller is told (hits, texts, problems) comes
// in the walk's order, the same with any number of workers, and a stop by max_hits still counts every
// text chosen and tells every problem met.
TEST_F(Concordance, TextsAreSearchedAsTheWalkFindsThem) {
  for (int d = 0; d < 3; ++d)
    for (int i = 0; i < 5; ++i)
      Write("tree/d" + std::to_string(d) + "/t" + std::to_string(i) + ".txt", Prose(1 + (i + d) % 4));
  Write("tree/d1/broken.zip", "PK\x03\x04 this is no archive");
  const std::string big = Write("big.txt", Prose(400));
  TConcordanceOptions o;
  o.search_word = u"bank*";
  o.choice.recurse = o.choice.zips = true;
  o.chunk_units = 2000;  // the large text split among the workers
  o.margin_units = 200;
  // Every event in order, as one list: hits, text summaries, problems.
  auto events = [&](int32_t workers, int64_t maxHits, TConcordanceTotals& totals) {
    o.workers = workers;
    o.max_hits = maxHits;
    std::vector<std::string> ev;
    TConcordancer c(o);
    totals = c.Run(
        {Utf8ToUtf16((dir / "missing1").string()), Utf8ToUtf16((dir / "tree").string()), Utf8ToUtf16(big),
         Utf8ToUtf16((dir / "missing2").string())},
        [&](const TConcordanceHit& h) {
          // The text told of is already among Texts().
          EXPECT_LT(static_cast<size_t>(h.text), c.Texts().size());
          ev.push_back("hit " + std::to_string(h.text) + ":" + std::to_string(h.pos));
        },
        [&](const TConcordanceTextSummary& s) {
          ev.push_back("text " + Utf16ToUtf8(fs::path(Utf16ToUtf8(c.Texts().at(s.text).full_name)).filename().u16string()));
        },
        [&](const UnicodeString& path, const UnicodeString&) {
          ev.push_back("problem " + fs::path(Utf16ToUtf8(path)).filename().string());
        });
    return ev;
  };
  TConcordanceTotals one{}, four{};
  const std::vector<std::string> a = events(1, -1, one), b = events(4, -1, four);
  EXPECT_EQ(b, a);
  EXPECT_EQ(one.texts, 16);
  EXPECT_EQ(one.problems, 3);
  EXPECT_EQ(four.problems, 3);
  // The problems stand where the walk met them: the first path first, the archive among its folder's
  // texts, the last path last.
  auto at = [&](const std::string& e) { return std::find(a.begin(), a.end(), e) - a.begin(); };
  EXPECT_EQ(at("problem missing1"), 0);
  EXPECT_LT(at("text t4.txt"), at("problem broken.zip"));  // the last text of d0 ...
  EXPECT_LT(at("problem broken.zip"), at("text big.txt"));
  EXPECT_EQ(at("problem missing2"), static_cast<std::ptrdiff_t>(a.size()) - 1);

  // Stopped by max_hits in the first folder: the rest is still walked, counted and its problems told.
  for (int32_t workers : {1, 4}) {
    TConcordanceTotals t{};
    const std::vector<std::string> ev = events(workers, 3, t);
    EXPECT_EQ(std::count_if(ev.begin(), ev.end(), [](const std::string& e) { return e.rfind("hit", 0) == 0; }), 3);
    EXPECT_TRUE(t.stopped);
    EXPECT_EQ(t.texts, 16) << workers;
    EXPECT_EQ(t.problems, 3) << workers;
    EXPECT_EQ(ev.back(), "problem missing2") << workers;
  }
}

// Cancel ends the walk as well as the search; an event that throws leaves the run at once, with its
// threads ended, and the concordancer can run again.
TEST_F(Concordance, CancelEndsTheWalkAndAThrowingEventLeavesCleanly) {
  for (int d = 0; d < 4; ++d)
    for (int i = 0; i < 3; ++i) Write("tree/d" + std::to_string(d) + "/t" + std::to_string(i) + ".txt", Prose(2));
  TConcordanceOptions o;
  o.search_word = u"bank";
  o.choice.recurse = true;
  const std::vector<UnicodeString> tree{Utf8ToUtf16((dir / "tree").string())};
  for (int32_t workers : {1, 4}) {
    o.workers = workers;
    TConcordancer c(o);
    int64_t hits = 0;
    const TConcordanceTotals t = c.Run(tree, [&](const TConcordanceHit&) { if (++hits == 1) c.Cancel(); }, nullptr, nullptr);
    EXPECT_TRUE(t.stopped);
    EXPECT_EQ(t.texts_searched, 1) << workers;
    // One worker: the walk ends with the folder it was in (the top folder holds no texts: d0's three).
    // (Several: the walker may have listed the whole small tree by then.)
    if (workers == 1) {
      EXPECT_EQ(t.texts, 3);
    }

    int calls = 0;
    EXPECT_THROW(c.Run(tree, [&](const TConcordanceHit&) { if (++calls == 2) throw std::runtime_error("caller"); },
                       nullptr, nullptr),
                 std::runtime_error)
        << workers;
    const TConcordanceTotals again = c.Run(tree, nullptr, nullptr, nullptr);
    EXPECT_EQ(again.texts, 12) << workers;
    EXPECT_EQ(again.texts_with_hits, 12) << workers;
    EXPECT_FALSE(again.stopped);
  }
}

TEST_F(Concordance, NamesThatAreNoUtf8AreRead) {
  // A Latin-1 file name: found in a folder walk and taken as a path, never reported as missing.
  const std::string name = std::string("caf\xE9") + ".txt";
  Write("names/" + name, "a bank\n");
  TConcordanceOptions o;
  o.search_word = u"bank";
  const Result walked = Run(o, {(dir / "names").string()});
  EXPECT_EQ(walked.lines.size(), 1u);
  EXPECT_TRUE(walked.problems.empty());
  TConcordancer c(o);
  int hits = 0;
  c.Run({NativeNameToUtf16((dir / "names" / name).string())}, [&](const TConcordanceHit&) { ++hits; }, nullptr,
        [](const UnicodeString& p, const UnicodeString& why) { ADD_FAILURE() << Utf16ToUtf8(p + u": " + why); });
  EXPECT_EQ(hits, 1);
  EXPECT_EQ(Utf16ToNativeName(c.Texts()[0].full_name), (dir / "names" / name).string());
}

// A text handed over in memory is searched exactly as the same text in a file: positions, numbers and
// contexts across chunks and workers, characters beyond the first plane, zero units read as spaces.
TEST_F(Concordance, TextHeldInMemoryIsSearchedAsItsFileIs) {
  const std::string prose = Prose(40);
  const std::string file = Write("prose.txt", prose);
  TConcordanceOptions o;
  o.search_word = u"bank*";
  o.chunk_units = 512;
  const Result fromFile = Run(o, {file});
  ASSERT_GT(fromFile.lines.size(), 100u);
  for (const int32_t workers : {1, 3}) {
    o.workers = workers;
    TConcordancer c(o);
    std::vector<Line> lines;
    const auto totals = c.RunTexts({HeldCorpusText(u"held", std::make_shared<const UnicodeString>(Utf8ToUtf16(prose)))},
                                   [&](const TConcordanceHit& h) {
                                     lines.push_back({h.text, h.pos, h.word, h.sentence, h.paragraph,
                                                      static_cast<int>(h.percent * 10), std::u16string(h.left),
                                                      std::u16string(h.node), std::u16string(h.right)});
                                   },
                                   nullptr);
    EXPECT_EQ(lines, fromFile.lines) << workers << " workers";
    EXPECT_EQ(totals.characters, fromFile.totals.characters);
    EXPECT_EQ(totals.words, fromFile.totals.words);
    EXPECT_EQ(c.Texts()[0].full_name, u"held");
  }

  // Zero units do not end the text; an empty text is searched and has no hits.
  o.workers = 1;
  TConcordancer c(o);
  std::vector<int64_t> at;
  std::vector<std::u16string> right;
  c.RunTexts({HeldCorpusText(u"zeros", std::make_shared<const UnicodeString>(u"bank\0x\0bank", 11))},
             [&](const TConcordanceHit& h) {
               at.push_back(h.pos);
               right.emplace_back(h.right);
             },
             nullptr);
  EXPECT_EQ(at, (std::vector<int64_t>{0, 7}));
  ASSERT_FALSE(right.empty());
  EXPECT_EQ(right[0].substr(0, 3), u" x ");
  std::vector<TConcordanceTextSummary> summaries;
  const auto none = c.RunTexts({HeldCorpusText(u"empty", std::make_shared<const UnicodeString>())},
                               [&](const TConcordanceHit&) { ADD_FAILURE() << "a hit in an empty text"; },
                               [&](const TConcordanceTextSummary& s) { summaries.push_back(s); });
  EXPECT_EQ(none.hits, 0);
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_TRUE(summaries[0].searched);
}

TEST(ConcordanceOptions, BadOptionsAreRefusedUpFront) {
  TConcordanceOptions o;
  EXPECT_THROW(TConcordancer{o}, Exception);  // nothing to search for
  o.search_word = u"x";
  o.codepage = 12345;
  EXPECT_THROW(TConcordancer{o}, Exception);
  o.codepage = 0;
  o.stop_file = u"/nonexistent/stop.txt";
  EXPECT_THROW(TConcordancer{o}, Exception);
}

TEST(ConcordanceOptions, SortKeyNames) {
  int32_t k = 99;
  EXPECT_TRUE(ParseConcordanceKeyWord(u"R1", k));
  EXPECT_EQ(k, 1);
  EXPECT_TRUE(ParseConcordanceKeyWord(u"L9", k));
  EXPECT_EQ(k, -9);
  EXPECT_TRUE(ParseConcordanceKeyWord(u"word", k));
  EXPECT_EQ(k, 0);
  for (const char16_t* bad : {u"R0", u"L10", u"X1", u""}) EXPECT_FALSE(ParseConcordanceKeyWord(bad, k)) << Utf16ToUtf8(bad);
}

}  // namespace
}  // namespace kx8
