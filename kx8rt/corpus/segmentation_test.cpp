// Words of scripts written without spaces: runs of Chinese, Japanese and Thai letters are cut into
// dictionary words, and the concordance, its statistics and the word lists all see the same words.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "kx8rt/corpus/concordance.h"
#include "kx8rt/corpus/corpus_word_lists.h"
#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

// Sentences of our own: "Our software package is good. The package manager installed new software.",
// "I installed the package. Package management.", "Thai is a beautiful language."
const char* const kChinese = "我们的软件包很好。软件包管理器安装了新的软件。\n";
const char* const kJapanese = "パッケージを新しくインストールしました。東京大学の学生です。\n";
const char* const kThai = "ภาษาไทยเป็นภาษาที่สวยงาม\n";

class Segmentation : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_segmentation_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  static std::vector<std::string> Hits(const std::string& file, const char16_t* word, bool segment = true,
                                       int32_t chunk = 1 << 20) {
    TConcordanceOptions o;
    o.search_word = word;
    o.word_rule.segment = segment;
    o.chunk_units = chunk;
    o.margin_units = 64;
    std::vector<std::string> hits;
    TConcordancer(o).Run({Utf8ToUtf16(file)},
                         [&](const TConcordanceHit& h) {
                           hits.push_back(std::to_string(h.pos) + ":" + Utf16ToUtf8(UnicodeString(h.node)) + ":w" +
                                          std::to_string(h.word));
                         },
                         nullptr, nullptr);
    return hits;
  }
};

TEST_F(Segmentation, DictionaryWordsAreFoundAsWordsAndNotInsideOthers) {
  const std::string zh = Write("zh.txt", kChinese), ja = Write("ja.txt", kJapanese), th = Write("th.txt", kThai);
  using V = std::vector<std::string>;
  struct Case {
    std::string file;
    const char16_t* word;
    size_t hits;
  };
  for (const Case& c : {Case{zh, u"软件包", 2}, Case{zh, u"软件", 3}, Case{zh, u"件包", 0}, Case{zh, u"软件*", 3},
                        Case{ja, u"パッケージ", 1}, Case{ja, u"ッケー", 0}, Case{ja, u"学生", 1}, Case{th, u"ภาษา", 2},
                        Case{th, u"ไทย", 1}, Case{th, u"าษา", 0}})
    EXPECT_EQ(Hits(c.file, c.word).size(), c.hits) << Utf16ToUtf8(c.word);
  // A wildcard keeps to its word: the hit ends where the dictionary word does.
  EXPECT_EQ(Hits(zh, u"软件*"), (V{"3:软件:w3", "9:软件:w5", "20:软件:w12"}));
  // Without segmentation a run of letters is one word, as before.
  EXPECT_TRUE(Hits(zh, u"软件包", false).empty());
  EXPECT_EQ(Hits(zh, u"我们的软件包很好", false).size(), 1u);
}

TEST_F(Segmentation, NumbersAndWordListsAgreeAcrossChunks) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::string(kChinese) + kJapanese + kThai + "mixed 软件 text\n";
  const std::string f = Write("mixed.txt", text);
  // Word numbers and hits the same however the text is cut.
  for (const char16_t* w : {u"软件", u"パッケージ", u"ภาษา", u"text"})
    EXPECT_EQ(Hits(f, w, true, 37), Hits(f, w, true, 1 << 20)) << Utf16ToUtf8(w);
  TCorpusWordListOptions o;
  o.chunk_units = 41;
  o.margin_units = 64;
  const auto list = CorpusWordList({Utf8ToUtf16(f)}, o, nullptr, nullptr);
  ASSERT_GT(list.list->Count(), 15);
  for (int32_t i = 0; i < list.list->Count(); ++i) {
    const UnicodeString w = list.list->StoredString(i);
    EXPECT_EQ(static_cast<int64_t>(Hits(f, w.c_str()).size()), list.list->Integers(i)) << Utf16ToUtf8(w);
  }
  // The statistics count the segmented words.
  TConcordanceOptions c;
  c.search_word = u"text";
  const TConcordanceTotals totals = TConcordancer(c).Run({Utf8ToUtf16(f)}, nullptr, nullptr, nullptr);
  EXPECT_EQ(totals.words, list.tokens);
  o.word_rule.segment = false;
  const auto unsegmented = CorpusWordList({Utf8ToUtf16(f)}, o, nullptr, nullptr);
  EXPECT_LT(unsegmented.tokens, list.tokens);
}

TEST(SegmentationRule, TextWithoutUnspacedScriptsIsUntouched) {
  const std::u16string text = u"Plain English, Ελληνικά and Русский text 3.5 don't\n";
  std::vector<uint16_t> a(text.size() + 2), b(text.size() + 2);
  const auto n = static_cast<int32_t>(text.size());
  GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, text.data(), n, a.data());
  b = a;
  TCorpusWordRule on, off;
  off.segment = false;
  ApplyCorpusWordRule(text.data(), a.data(), n, on);
  ApplyCorpusWordRule(text.data(), b.data(), n, off);
  EXPECT_EQ(a, b);
  EXPECT_EQ(SegmentUnspacedRuns(text.data(), a.data(), n), 0);
  EXPECT_TRUE(IsUnspacedScriptChar(U'软'));
  EXPECT_TRUE(IsUnspacedScriptChar(U'ภ'));
  EXPECT_TRUE(IsUnspacedScriptChar(0x20000));
  EXPECT_FALSE(IsUnspacedScriptChar(U'a'));
  EXPECT_FALSE(IsUnspacedScriptChar(U'한'));  // Korean is written with spaces
}

}  // namespace
}  // namespace kx8
