// Merging the word lists of a corpus's shards must give the list of the whole corpus counted at once:
// the same types in the same forms, frequencies and order.
#include "kx8rt/corpus/corpus_word_list_merging.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kx8rt/corpus/corpus_word_lists.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

std::vector<std::pair<std::string, int64_t>> Lines(const TStringList& list) {
  std::vector<std::pair<std::string, int64_t>> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.emplace_back(Utf16ToUtf8(list.StoredString(i)), list.Integers(i));
  return out;
}

class WordListMerging : public ::testing::TestWithParam<bool> {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_word_list_merging_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  UnicodeString Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return Utf8ToUtf16((dir / name).string());
  }
};

TEST_P(WordListMerging, ShardsMergedEqualTheWholeCountedAtOnce) {
  // Forms that differ in case across shards (the first shard's is kept), words in one shard only, ties of
  // frequency, a word beyond the first plane.
  const std::vector<UnicodeString> shards = {
      Write("a.txt", "Apple pear pear \xF0\x9D\x90\x80x fig\n"),
      Write("b.txt", "apple APPLE Pear plum plum plum zebra\n"),
      Write("c.txt", "fig Fig kiwi \xF0\x9D\x90\x80x apple\n"),
  };
  TCorpusWordListOptions o;
  o.by_frequency = GetParam();
  const auto whole = CorpusWordList(shards, o, nullptr, nullptr);
  std::vector<TCorpusWordListResult> parts;
  std::vector<const TStringList*> lists;
  for (const auto& s : shards) parts.push_back(CorpusWordList({s}, o, nullptr, nullptr));
  for (const auto& p : parts) lists.push_back(p.list.get());
  lists.insert(lists.begin() + 1, nullptr);  // passed over
  const auto merged = MergeCorpusWordLists(lists, o.by_frequency);
  EXPECT_EQ(Lines(*merged), Lines(*whole.list));
  // The first shard's form of a word met in several, and the sums.
  const auto l = Lines(*merged);
  const auto apple = std::find_if(l.begin(), l.end(), [](const auto& e) { return e.first == "Apple"; });
  ASSERT_NE(apple, l.end());
  EXPECT_EQ(apple->second, 4);
}

INSTANTIATE_TEST_SUITE_P(ByFrequencyAndAlphabetically, WordListMerging, ::testing::Bool());

TEST(WordListMergingEdges, NothingMergedIsAnEmptyList) {
  EXPECT_EQ(MergeCorpusWordLists({}, true)->Count(), 0);
  EXPECT_EQ(MergeCorpusWordLists({nullptr}, false)->Count(), 0);
}

}  // namespace
}  // namespace kx8
