// Corpus word lists: the same texts, decoding and word rule as the concordance, so that a word's
// frequency is what a concordance of it finds.
#include "kx8rt/corpus/corpus_word_lists.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "kx8rt/corpus/concordance.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/zip.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class CorpusWordLists : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_corpus_words_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::map<std::string, int64_t> Freqs(const TCorpusWordListResult& r) {
    std::map<std::string, int64_t> m;
    for (int32_t i = 0; i < r.list->Count(); ++i) m[Utf16ToUtf8(ToUpper(r.list->StoredString(i)))] = r.list->Integers(i);
    return m;
  }
};

TEST_F(CorpusWordLists, CodePageTextAndArchivesAreRead) {
  const std::string latin = Write("latin.txt", "f\xFCr \xFC" "ber F\xFCr\n");
  TCorpusWordListOptions o;
  o.codepage = 1252;
  const auto r = CorpusWordList({Utf8ToUtf16(latin)}, o, nullptr, nullptr);
  const auto f = Freqs(r);
  EXPECT_EQ(f.at("F\xC3\x9CR"), 2);
  EXPECT_EQ(f.at("\xC3\x9C" "BER"), 1);
  EXPECT_EQ(r.tokens, 3);

  // An archive is walked for its entries, not read as bytes.
  const std::string a = Write("src/a.txt", "one two two\n");
  TZipArchive zip;
  const std::string archive = (dir / "words.zip").string();
  ASSERT_EQ(zip.CreateArchive(Utf8ToUtf16(archive), {Utf8ToUtf16(a)}, zsp_no_path), 1);
  const auto z = CorpusWordList({Utf8ToUtf16(archive)}, TCorpusWordListOptions{}, nullptr, nullptr);
  EXPECT_EQ(Freqs(z), (std::map<std::string, int64_t>{{"ONE", 1}, {"TWO", 2}}));
  EXPECT_EQ(z.texts_read, 1);
}

TEST_F(CorpusWordLists, OneWordRuleInEveryScript) {
  // Hindi with its vowel signs and virama, an elision, Greek final sigma, a number, a joiner in an
  // emoji sequence: each a word as the concordance finds it.
  struct Case {
    std::string text;
    std::map<std::string, int64_t> words;
  };
  const Case cases[] = {
      {"\xE0\xA4\xAA\xE0\xA5\x8D\xE0\xA4\xB0\xE0\xA4\xA6\xE0\xA4\xB0\xE0\xA5\x8D\xE0\xA4\xB6\xE0\xA4\xBF\xE0\xA4\xA4\n",
       {{"\xE0\xA4\xAA\xE0\xA5\x8D\xE0\xA4\xB0\xE0\xA4\xA6\xE0\xA4\xB0\xE0\xA5\x8D\xE0\xA4\xB6\xE0\xA4\xBF\xE0\xA4\xA4", 1}}},
      {"l'installation installation\n", {{"L'INSTALLATION", 1}, {"INSTALLATION", 1}}},
      {"\xCF\x84\xCE\xB7\xCF\x82 3,000.5 x\n", {{"\xCE\xA4\xCE\x97\xCE\xA3", 1}, {"3,000.5", 1}, {"X", 1}}},
  };
  for (const Case& c : cases) {
    const std::string f = Write("case.txt", c.text);
    const auto r = CorpusWordList({Utf8ToUtf16(f)}, TCorpusWordListOptions{}, nullptr, nullptr);
    EXPECT_EQ(Freqs(r), c.words) << c.text;
  }
}

TEST_F(CorpusWordLists, FrequencyEqualsTheConcordanceHits) {
  const std::string text =
      "Der Hund l\xC3\xA4uft. Der HUND schl\xC3\xA4" "ft; l'eau et l'\xC3\xA9t\xC3\xA9 \xE2\x80\x94 "
      "\xCE\xA4\xCE\xB7\xCF\x82 \xCF\x84\xCE\xB7\xCF\x82 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 "
      "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\x82\xE0\xA4\xA6\xE0\xA5\x80 "
      "\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\x82\xE0\xA4\xA6\xE0\xA5\x80" " don't dont 2,5 2,5\n";
  std::string many;
  for (int i = 0; i < 30; ++i) many += text;
  const std::string f = Write("multi.txt", many);
  TCorpusWordListOptions o;
  o.chunk_units = 50;  // chunk edges inside words too
  o.margin_units = 64;
  const auto r = CorpusWordList({Utf8ToUtf16(f)}, o, nullptr, nullptr);
  ASSERT_GT(r.list->Count(), 10);
  for (int32_t i = 0; i < r.list->Count(); ++i) {
    TConcordanceOptions c;
    c.search_word = r.list->StoredString(i);
    int64_t hits = 0;
    TConcordancer(c).Run({Utf8ToUtf16(f)}, [&](const TConcordanceHit&) { ++hits; }, nullptr, nullptr);
    EXPECT_EQ(hits, r.list->Integers(i)) << Utf16ToUtf8(c.search_word);
  }
}

// Several workers, each counting texts and parts of a large file of its own, give the list one worker
// gives: the same forms (the first seen), frequencies, order and text reports.
TEST_F(CorpusWordLists, AnyNumberOfWorkersGivesTheSameList) {
  std::string prose;
  for (int i = 0; i < 400; ++i)
    prose += "Der Hund l\xC3\xA4uft. der HUND \xF0\x9F\x98\x80 don't " + std::to_string(i % 37) + " \xCE\xA4\xCE\xB7\xCF\x82\n";
  const UnicodeString wide = Utf8ToUtf16("Hund " + prose);
  std::string utf16 = "\xFF\xFE";
  for (const char16_t c : wide) utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const std::vector<UnicodeString> paths = {Utf8ToUtf16(Write("big.txt", prose)), Utf8ToUtf16(Write("small.txt", "hund\n")),
                                            Utf8ToUtf16(Write("wide.txt", utf16)), Utf8ToUtf16(Write("empty.txt", ""))};
  auto run = [&](int32_t workers, std::vector<std::string>& reports) {
    TCorpusWordListOptions o;
    o.workers = workers;
    o.chunk_units = 700;  // many parts, their edges inside words
    o.margin_units = 64;
    return CorpusWordList(paths, o, [&](const TCorpusWordListText& t) {
      reports.push_back(Utf16ToUtf8(t.name) + (t.read ? " read " : " skipped ") + std::to_string(t.tokens));
    }, nullptr);
  };
  std::vector<std::string> oneReports;
  const auto one = run(1, oneReports);
  ASSERT_GT(one.tokens, 3000);
  for (const int32_t workers : {2, 5}) {
    std::vector<std::string> reports;
    const auto many = run(workers, reports);
    ASSERT_EQ(many.list->Count(), one.list->Count()) << workers;
    for (int32_t i = 0; i < one.list->Count(); ++i) {
      EXPECT_EQ(many.list->StoredString(i), one.list->StoredString(i)) << workers << " workers, line " << i;
      EXPECT_EQ(many.list->Integers(i), one.list->Integers(i)) << workers << " workers, line " << i;
    }
    EXPECT_EQ(many.tokens, one.tokens);
    EXPECT_EQ(reports, oneReports);
  }
  // A caller's event that throws ends the run with its exception, the counters stopped and joined.
  for (const int32_t workers : {2, 5}) {
    TCorpusWordListOptions o;
    o.workers = workers;
    o.chunk_units = 700;
    o.margin_units = 64;
    int told = 0;
    EXPECT_THROW(CorpusWordList(paths, o, [&](const TCorpusWordListText&) {
      if (++told == 2) throw std::runtime_error("the caller's own");
    }, nullptr), std::runtime_error) << workers;
    EXPECT_EQ(told, 2) << workers;
  }
  // The form first seen is the big text's, though the small one is counted by another worker.
  EXPECT_EQ(Freqs(one).at("HUND"), 400 * 2 + 1 + (1 + 400 * 2));
  EXPECT_EQ(one.list->StoredString(one.list->IndexOf(u"Hund")), u"Hund");
}

TEST(CorpusWordListsCompare, FirstDifferingWord) {
  TStringList a, b;
  a.AddInteger(u"the", 5);
  a.AddInteger(u"cat", 2);
  a.AddInteger(u"sat", 1);
  b.AddInteger(u"The", 5);
  b.AddInteger(u"cat", 1);
  int64_t fa = 0, fb = 0;
  EXPECT_EQ(FirstDifferingWord(a, b, 0, 1, fa, fb), u"CAT");
  EXPECT_EQ(fa, 2);
  EXPECT_EQ(fb, 1);
  EXPECT_EQ(FirstDifferingWord(a, b, 1, 1, fa, fb), u"");
  EXPECT_EQ(FirstDifferingWord(a, b, 0, 3, fa, fb), u"");
}

}  // namespace
}  // namespace kx8
