// Cut windows kept on disk: an entry is used only for the very window it was made from and gives the
// starts the cut gives; a damaged, missing or foreign pack only means the window is cut again; packs
// past the cap are let go least recently used first.
#include "kx8rt/corpus/word_start_cache.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

// Sentences of our own in Chinese, Japanese and Thai, with some English between.
std::u16string Sentences(int times, const char16_t* extra = u"") {
  std::u16string text;
  for (int i = 0; i < times; ++i)
    text += std::u16string(u"我们的软件包很好。软件包管理器安装了新的软件。パッケージを新しくインストールしました。") +
            u"東京大学の学生です。ภาษาไทยเป็นภาษาที่สวยงาม mixed 软件 text " + extra + u"\n";
  return text;
}

// A window classified as the search classifies it, before its runs are cut.
struct TWindow {
  std::u16string text;
  std::vector<uint16_t> types;
  explicit TWindow(std::u16string t) : text(std::move(t)) {
    TCorpusWordRule rule;
    rule.segment = false;
    ClassifyCorpusWindow(text.c_str(), n(), types, rule);
  }
  int32_t n() const { return static_cast<int32_t>(text.size()); }
  // The window's types with its runs cut through cache (none: nothing kept or looked up).
  std::vector<uint16_t> Cut(TWordStartCache& cache, int32_t* runs = nullptr) const {
    std::vector<uint16_t> t = types;
    const int32_t r = SegmentUnspacedRuns(text.c_str(), t.data(), n(), cache);
    if (runs) *runs = r;
    return t;
  }
  std::vector<uint16_t> Cut() const {
    TWordStartCache none("", 0, 0);
    return Cut(none);
  }
  // The keys the cut looks the window up by: its units, its word characters, the cutter's make.
  std::vector<uint64_t> Word() const {
    std::vector<uint64_t> word((types.size() + 63) / 64 + 1);
    for (int32_t i = 0; i < n(); ++i) word[i >> 6] |= uint64_t{IsCorpusWordChar(types[i])} << (i & 63);
    return word;
  }
  TWordStartKey Key() const { return TWordStartCache::KeyOf(text.c_str(), n(), Word().data(), WordCutMake()); }
  uint64_t Quick() const { return TWordStartCache::QuickKeyOf(text.c_str(), n(), Word().data(), WordCutMake()); }
};

class WordStartCache : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_word_starts_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  std::string Folder() const { return (dir / "words").string(); }
  // Every window is taken from cache, as its cut.
  static void ExpectTaken(TWordStartCache& cache, const std::vector<TWindow>& windows,
                          const std::vector<std::vector<uint16_t>>& cuts) {
    for (size_t k = 0; k < windows.size(); ++k) {
      std::vector<uint16_t> t = windows[k].types;
      int32_t runs = 0;
      EXPECT_TRUE(cache.Apply(windows[k].Key(), windows[k].n(), t.data(), runs)) << k;
      EXPECT_EQ(t, cuts[k]) << k;
    }
  }
  std::vector<fs::path> Files(const char* extension) const {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(Folder()))
      if (e.path().extension() == extension) files.push_back(e.path());
    return files;
  }
};

TEST_F(WordStartCache, KeptWindowsGiveTheStartsOfTheCut) {
  const TWindow w(Sentences(200));
  int32_t runs = 0, keptRuns = 0, takenRuns = 0, otherRuns = 0;
  TWordStartCache none("", 0, 0);
  const std::vector<uint16_t> cut = w.Cut(none, &runs);
  ASSERT_GT(runs, 0);
  ASSERT_NE(cut, w.types);
  {
    TWordStartCache cache(Folder(), 64 << 20, 1);
    EXPECT_EQ(w.Cut(cache, &keptRuns), cut);  // cut, and kept
    EXPECT_EQ(keptRuns, runs);
    EXPECT_EQ(w.Cut(cache, &takenRuns), cut);  // taken from what waits to be written
    EXPECT_EQ(takenRuns, runs);
  }  // (written as the process ends)
  EXPECT_EQ(Files(".kwp").size(), 1u);
  // Another process finds the window through the pack's index.
  TWordStartCache other(Folder(), 64 << 20, 1);
  EXPECT_EQ(w.Cut(other, &otherRuns), cut);
  EXPECT_EQ(otherRuns, runs);
  EXPECT_EQ(Files(".kwp").size(), 1u);  // nothing new to keep
  other.Clear();
  EXPECT_TRUE(Files(".kwp").empty() && Files(".kwi").empty());
  EXPECT_EQ(w.Cut(other), cut);  // cut again, and kept anew
}

TEST_F(WordStartCache, EveryVectorWidthKeepsAndTakesTheSame) {
  const TWindow w(Sentences(100));
  const std::vector<uint16_t> cut = w.Cut();
  for (const bool wide : {false, true}) {
    fs::remove_all(Folder());
    const TWideVectorsSetting setting(wide);
    {
      TWordStartCache writer(Folder(), 64 << 20, 1);
      EXPECT_EQ(w.Cut(writer), cut) << wide;  // kept
    }
    EXPECT_EQ(Files(".kwp").size(), 1u) << wide;
    // Taken by either width, and too few letters for the cache's least (counted by the masks) keeps
    // nothing.
    for (const bool readWide : {false, true}) {
      const TWideVectorsSetting reading(readWide);
      TWordStartCache reader(Folder(), 64 << 20, 1);
      std::vector<uint16_t> t = w.types;
      int32_t runs = 0;
      EXPECT_TRUE(reader.Apply(w.Key(), w.n(), t.data(), runs)) << wide << readWide;
      EXPECT_EQ(t, cut) << wide << readWide;
    }
    fs::remove_all(Folder());
    {
      TWordStartCache tooFew(Folder(), 64 << 20, w.n());
      EXPECT_EQ(w.Cut(tooFew), cut) << wide;
    }
    EXPECT_FALSE(fs::exists(Folder())) << wide;
  }
}

TEST_F(WordStartCache, LargeAndSmallEntriesShareAPack) {
  // Small entries gather and are written together, a large one (a window of 512 K units or more) at
  // once, after those gathered before it: all are found, by this process before anything is written
  // and by the next after.
  const std::vector<TWindow> windows{TWindow(Sentences(40, u"a")), TWindow(Sentences(6600, u"b")),
                                     TWindow(Sentences(40, u"c"))};
  ASSERT_GE(windows[1].n(), 1 << 19);
  std::vector<std::vector<uint16_t>> cuts;
  for (const TWindow& w : windows) cuts.push_back(w.Cut());
  {
    TWordStartCache cache(Folder(), 64 << 20, 1);
    for (size_t k = 0; k < windows.size(); ++k) EXPECT_EQ(windows[k].Cut(cache), cuts[k]) << k;
    ExpectTaken(cache, windows, cuts);
  }
  ASSERT_EQ(Files(".kwp").size(), 1u);
  TWordStartCache later(Folder(), 64 << 20, 1);
  ExpectTaken(later, windows, cuts);
}

TEST_F(WordStartCache, KeysAreTheSameWithOrWithoutVectors) {
  const TWindow w(Sentences(30));
  std::vector<TWordStartKey> keys;
  for (const bool wide : {true, false}) {
    const TWideVectorsSetting setting(wide);
    keys.push_back(w.Key());
    // Every length round the hash's 64-byte steps, and a change anywhere, gives another key.
    for (const int32_t n : {0, 1, 31, 32, 33, 511, 512, 513, 600}) {
      keys.push_back(TWordStartCache::KeyOf(w.text.c_str(), n, std::vector<uint64_t>(64).data(), 1));
      for (const int32_t at : {0, n / 2, n - 1}) {
        if (at < 0 || at >= n) continue;
        std::u16string changed = w.text;
        changed[static_cast<size_t>(at)] ^= 1;
        EXPECT_NE(TWordStartCache::KeyOf(changed.c_str(), n, std::vector<uint64_t>(64).data(), 1), keys.back())
            << n << " " << at;
      }
    }
  }
  const size_t half = keys.size() / 2;
  for (size_t k = 0; k < half; ++k) EXPECT_EQ(keys[k], keys[half + k]) << k;
  std::sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(half),
            [](const TWordStartKey& a, const TWordStartKey& b) { return a.low < b.low; });
  EXPECT_EQ(std::adjacent_find(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(half)),
            keys.begin() + static_cast<std::ptrdiff_t>(half));
}

TEST_F(WordStartCache, AnEntryServesOnlyItsOwnWindow) {
  const TWindow w(Sentences(50));
  // An entry of our own making under the window's key, a start at every unit it may have: the cut
  // takes it, so the key is the one the cut looks up.
  std::vector<uint64_t> every((w.types.size() + 63) / 64);
  for (int32_t i = 0; i < w.n(); ++i) every[i >> 6] |= uint64_t{IsCorpusWordChar(w.types[i])} << (i & 63);
  TWordStartCache cache(Folder(), 64 << 20, 1);
  cache.Keep(w.Key(), w.Quick(), w.n(), every.data(), 7);
  int32_t runs = 0;
  const std::vector<uint16_t> planted = w.Cut(cache, &runs);
  EXPECT_EQ(runs, 7);
  for (int32_t i = 0; i < w.n(); ++i)
    ASSERT_EQ((planted[i] & word_start_flag) != 0, IsCorpusWordChar(w.types[i])) << i;
  // Any change to what the cut reads finds another key, and the window is cut. (A unit the quick key
  // does not sample leaves it as it was: the key itself tells the windows apart.)
  TWindow unit = w;
  unit.text[w.n() / 2 + 1] = u'软';
  EXPECT_EQ(unit.Quick(), w.Quick());
  TWindow letter = w;
  for (int32_t i = 0; i < w.n(); ++i)
    if (w.text[i] == u'软') {
      letter.types[i] = 0;  // (no longer a word character)
      break;
    }
  TWindow longer(Sentences(50, u"x"));
  for (const TWindow* x : {&unit, &letter, &longer}) {
    EXPECT_NE(x->Key(), w.Key());
    EXPECT_EQ(x->Cut(cache), x->Cut());
  }
}

TEST_F(WordStartCache, DamagedOrMissingPacksMeanACut) {
  const TWindow w(Sentences(100));
  const std::vector<uint16_t> cut = w.Cut();
  auto flip = [](const fs::path& p, std::streamoff at) {
    std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(at);
    const char c = static_cast<char>(f.get() ^ 0x5A);
    f.seekp(at);
    f.put(c);
  };
  struct Case {
    const char* damage;
    std::function<void(const fs::path& pack, const fs::path& index)> apply;
    bool stillFound;
  };
  const Case cases[] = {
      {"pack cut short", [](const fs::path& p, const fs::path&) { fs::resize_file(p, fs::file_size(p) - 9); }, false},
      {"a start flipped", [&](const fs::path& p, const fs::path&) { flip(p, 100); }, false},
      {"header's key changed", [&](const fs::path& p, const fs::path&) { flip(p, 9); }, false},
      {"pack gone", [](const fs::path& p, const fs::path&) { fs::remove(p); }, false},
      {"index points past the pack",
       [](const fs::path&, const fs::path& i) {
         std::fstream f(i, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(24);  // (the record's place in the pack)
         const uint64_t far = uint64_t{1} << 40;
         f.write(reinterpret_cast<const char*>(&far), sizeof far);
       },
       false},
      // (A writer at work: its whole records are read.)
      {"half a record appended", [](const fs::path&, const fs::path& i) { std::ofstream(i, std::ios::app) << "abc"; },
       true},
  };
  for (const Case& c : cases) {
    fs::remove_all(Folder());
    {
      TWordStartCache writer(Folder(), 64 << 20, 1);
      ASSERT_EQ(w.Cut(writer), cut);
    }
    ASSERT_EQ(Files(".kwp").size(), 1u);
    c.apply(Files(".kwp")[0], Files(".kwi")[0]);
    TWordStartCache reader(Folder(), 64 << 20, 1);
    std::vector<uint16_t> t = w.types;
    int32_t runs = 0;
    EXPECT_EQ(reader.Apply(w.Key(), w.n(), t.data(), runs), c.stillFound) << c.damage;
    EXPECT_EQ(w.Cut(reader), cut) << c.damage;
  }
}

TEST_F(WordStartCache, PacksPastTheCapGoLeastRecentlyUsedFirst) {
  // Four processes keep a window each, a minute apart; the first one's is then used again.
  std::vector<TWindow> windows;
  for (const char16_t* extra : {u"a", u"b", u"c", u"d", u"e"}) windows.emplace_back(Sentences(100, extra));
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> seen;
  for (int k = 0; k < 4; ++k) {
    TWordStartCache process(Folder(), 64 << 20, 1);
    windows[static_cast<size_t>(k)].Cut(process);
    for (const fs::path& p : Files(".kwp"))
      if (std::find(seen.begin(), seen.end(), p) == seen.end()) {
        fs::last_write_time(p, now - std::chrono::minutes(10 - k));
        seen.push_back(p);
      }
  }
  ASSERT_EQ(Files(".kwp").size(), 4u);
  const uint64_t entry = fs::file_size(Files(".kwp")[0]);
  // A fifth process, whose cap holds about three entries, first uses the oldest one.
  {
    TWordStartCache fifth(Folder(), 3 * entry + entry / 2, 1);
    EXPECT_EQ(windows[0].Cut(fifth), windows[0].Cut());
    EXPECT_EQ(windows[4].Cut(fifth), windows[4].Cut());  // a fifth entry to keep: past the cap
  }
  // Down to three quarters of the cap: the two least recently used (the second's and third's) went,
  // each pack with its index.
  EXPECT_EQ(Files(".kwp").size(), 3u);
  EXPECT_EQ(Files(".kwi").size(), 3u);
  TWordStartCache later(Folder(), 64 << 20, 1);
  const auto kept = [&](size_t k) {
    std::vector<uint16_t> t = windows[k].types;
    int32_t runs = 0;
    return later.Apply(windows[k].Key(), windows[k].n(), t.data(), runs);
  };
  EXPECT_TRUE(kept(0));
  EXPECT_FALSE(kept(1));
  EXPECT_FALSE(kept(2));
  EXPECT_TRUE(kept(3));
  EXPECT_TRUE(kept(4));
}

TEST_F(WordStartCache, PacksPastTheirNumberGoOldestFirst) {
  // Each process that keeps a window makes a pack; past four (the number allowed here), a new one lets
  // the oldest go until three are left, its own among them.
  std::vector<TWindow> windows;
  for (const char16_t* extra : {u"a", u"b", u"c", u"d", u"e"}) windows.emplace_back(Sentences(30, extra));
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> made;
  for (size_t k = 0; k < windows.size(); ++k) {
    {
      TWordStartCache process(Folder(), 64 << 20, 1, 4);
      EXPECT_EQ(windows[k].Cut(process), windows[k].Cut()) << k;
    }
    for (const fs::path& p : Files(".kwp"))
      if (std::find(made.begin(), made.end(), p) == made.end()) {
        if (k + 1 < windows.size()) fs::last_write_time(p, now - std::chrono::minutes(10 - static_cast<int>(k)));
        made.push_back(p);
      }
  }
  ASSERT_EQ(made.size(), windows.size());
  std::vector<fs::path> left = Files(".kwp");
  std::sort(left.begin(), left.end());
  std::vector<fs::path> newest(made.begin() + 2, made.end());
  std::sort(newest.begin(), newest.end());
  EXPECT_EQ(left, newest);
  EXPECT_EQ(Files(".kwi").size(), 3u);
}

TEST_F(WordStartCache, AForkedProcessKeepsInAPackOfItsOwn) {
  // A process keeps a window and forks (as Python's workers are made); the child keeps another, the
  // parent a third. Neither writes over the other's entries, and each record is written once.
  std::vector<TWindow> windows;
  for (const char16_t* extra : {u"a", u"b", u"c"}) windows.emplace_back(Sentences(30, extra));
  std::vector<std::vector<uint16_t>> cuts;
  for (const TWindow& w : windows) cuts.push_back(w.Cut());
  auto* cache = new TWordStartCache(Folder(), 64 << 20, 1);
  EXPECT_EQ(windows[0].Cut(*cache), cuts[0]);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool same = windows[1].Cut(*cache) == cuts[1];
    delete cache;  // (its records written)
    _exit(same ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(windows[2].Cut(*cache), cuts[2]);
  delete cache;
  EXPECT_EQ(Files(".kwp").size(), 2u);
  TWordStartCache later(Folder(), 64 << 20, 1);
  ExpectTaken(later, windows, cuts);
  // Three records in all: the parent's first is not written by the child too.
  uint64_t records = 0;
  for (const fs::path& i : Files(".kwi")) records += fs::file_size(i);
  EXPECT_EQ(records, 3 * 32u);
}

TEST_F(WordStartCache, SearchersShareOneCache) {
  // Workers of one search cut, keep and take windows of their own and each other's at once.
  std::vector<TWindow> windows;
  std::vector<std::vector<uint16_t>> cuts;
  for (const char16_t* extra : {u"a", u"b", u"c", u"d", u"e", u"f"}) {
    windows.emplace_back(Sentences(40, extra));
    cuts.push_back(windows.back().Cut());
  }
  std::vector<int> wrong(2, 0);
  {
    TWordStartCache cache(Folder(), 64 << 20, 1);
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t)
      workers.emplace_back([&, t] {
        for (int round = 0; round < 3; ++round)
          for (size_t k = 0; k < windows.size(); ++k) {
            const size_t which = (k + static_cast<size_t>(t) * 3) % windows.size();
            wrong[static_cast<size_t>(t)] += windows[which].Cut(cache) != cuts[which];
          }
      });
    for (std::thread& w : workers) w.join();
  }  // (its records written as the process ends)
  EXPECT_EQ(wrong, std::vector<int>(2, 0));
  TWordStartCache later(Folder(), 64 << 20, 1);
  ExpectTaken(later, windows, cuts);
}

TEST_F(WordStartCache, WhatIsKeptAndWhereNothingCanBe) {
  struct Case {
    uint64_t cap;
    int64_t minUnits;
    int32_t n;
    int64_t units;
    bool wanted;
  };
  for (const Case& c : {Case{1 << 20, 16384, 1 << 18, 16384, true}, Case{1 << 20, 16384, 1 << 18, 16383, false},
                        Case{1 << 20, 16384, 1 << 20, 16384, false},  // too few to cut for a hash of it all
                        Case{1 << 20, 16384, 1 << 19, 16384, true}, Case{0, 16384, 1 << 18, 1 << 18, false}})
    EXPECT_EQ(TWordStartCache(Folder(), c.cap, c.minUnits).Wanted(c.n, c.units), c.wanted) << c.n << " " << c.units;
  EXPECT_FALSE(TWordStartCache("", 1 << 20, 1).Wanted(1 << 18, 1 << 18));
  // A folder that cannot be made (a file stands where it would be): the window is cut every time.
  std::ofstream(dir / "file") << "x";
  TWordStartCache cache((dir / "file" / "words").string(), 64 << 20, 1);
  const TWindow w(Sentences(20));
  EXPECT_EQ(w.Cut(cache), w.Cut());
  EXPECT_EQ(w.Cut(cache), w.Cut());
}

}  // namespace
}  // namespace kx8
