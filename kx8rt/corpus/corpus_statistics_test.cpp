// Corpus statistics: every measure on small tables worked out by hand, then the corpus walks on texts
// small enough to count by eye (spans at text ends, clusters at sentence ends, words of one corpus only,
// dispersion over texts of different sizes), and the built kx8 commands as a user runs them.
#include "kx8rt/corpus/corpus_statistics.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

// ---- the formulas ----

TEST(CollocationMeasures, HandWorkedTable) {
  // 10 of a collocate's 20 occurrences lie in 100 span positions of a 1,000-token corpus; the node has 10 hits.
  // E11 = 100 * 20 / 1000 = 2; cells O = 10, 90, 10, 890 against E = 2, 98, 18, 882.
  const TCollocationScores s = CollocationScores({10, 100, 20, 1000, 10});
  EXPECT_DOUBLE_EQ(s.expected, 2.0);
  EXPECT_NEAR(s.mi, std::log2(5.0), 1e-12);           // 2.3219
  EXPECT_NEAR(s.mi3, std::log2(500.0), 1e-12);        // 8.9658
  EXPECT_NEAR(s.t_score, 8 / std::sqrt(10.0), 1e-12); // 2.5298
  EXPECT_NEAR(s.z_score, 8 / std::sqrt(2.0), 1e-12);  // 5.6569
  // 2 (10 ln 5 + 90 ln(90/98) + 10 ln(10/18) + 890 ln(890/882)) = 21.177
  EXPECT_NEAR(s.log_likelihood, 21.177, 5e-4);
  EXPECT_NEAR(s.dice, 20.0 / 30.0, 1e-12);
  EXPECT_NEAR(s.log_dice, 14 + std::log2(20.0 / 30.0), 1e-12);  // 13.415
  EXPECT_NEAR(s.log_ratio, std::log2(0.1 / (10.0 / 900.0)), 1e-12);  // 3.1699
  EXPECT_NEAR(s.cond_prob_a, 0.1, 1e-12);
  EXPECT_NEAR(s.cond_prob_b, 0.5, 1e-12);
  EXPECT_NEAR(s.delta_p_a, 0.1 - 10.0 / 900.0, 1e-12);
  EXPECT_NEAR(s.delta_p_b, 0.5 - 90.0 / 980.0, 1e-12);
  EXPECT_FALSE(s.clamped);
  // The threshold record sees the same scores in its own order.
  const auto r = s.AsRelationshipScores();
  EXPECT_FLOAT_EQ(r[RelatStat_MI], static_cast<float>(s.mi));
  EXPECT_FLOAT_EQ(r[RelatStat_log_likelihood], static_cast<float>(s.log_likelihood));
  EXPECT_FLOAT_EQ(r[RelatStat_DeltaPB], static_cast<float>(s.delta_p_b));
}

TEST(CollocationMeasures, AvoidanceOverlapAndEmptyTables) {
  // Seen less than expected: 1 in 100 positions of a word 100 times in 1,000 (E11 = 10). MI and t are
  // negative and G2 takes their sign: 2 (1 ln 0.1 + 99 ln(99/90) + 99 ln(99/90) + 801 ln(801/810)) = 15.2380.
  const TCollocationScores a = CollocationScores({1, 100, 100, 1000, 20});
  EXPECT_NEAR(a.mi, std::log2(0.1), 1e-12);
  EXPECT_NEAR(a.t_score, -9.0, 1e-12);
  EXPECT_NEAR(a.log_likelihood, -15.2380, 5e-4);
  // Overlapping spans: a word counted 6 times in spans but only 3 times in the corpus. The cell c1 - o11
  // is taken as empty, and no score is NaN.
  const TCollocationScores o = CollocationScores({6, 12, 3, 20, 3});
  EXPECT_TRUE(o.clamped);
  EXPECT_TRUE(o.log_ratio_adjusted);
  for (const double v : {o.mi, o.mi3, o.t_score, o.log_likelihood, o.log_dice, o.log_ratio}) EXPECT_TRUE(std::isfinite(v));
  // Nothing seen, or nothing to see in: all zeros rather than logarithms of zero.
  for (const TCollocationTable t : {TCollocationTable{0, 10, 5, 100, 2}, TCollocationTable{3, 10, 5, 0, 2}}) {
    const TCollocationScores z = CollocationScores(t);
    EXPECT_EQ(z.mi, 0);
    EXPECT_EQ(z.log_likelihood, 0);
    EXPECT_EQ(z.log_dice, 0);
  }
}

TEST(KeynessMeasures, HandWorkedTables) {
  struct Case {
    int64_t a, c, b, d;
    double g2, p, logRatio, percentDiff;
    bool positive, adjusted;
  };
  const Case cases[] = {
      // 10 in 1,000 against 5 in 2,000: E = 5 and 10, G2 = 2 (10 ln 2 + 5 ln 0.5) = 6.9315; rates 0.01 and
      // 0.0025, Log Ratio log2(4) = 2, %DIFF 300.
      {10, 1000, 5, 2000, 6.9315, 0.008469, 2.0, 300.0, true, false},
      // The same the other way round: the same G2, a negative key word.
      {5, 2000, 10, 1000, 6.9315, 0.008469, -2.0, -75.0, false, false},
      // Absent from the reference: G2 = 2 (8 ln(8/4)) = 11.0904; 0.5 stands in for the 0 in the effect sizes:
      // log2(0.008 / 0.0005) = 4, %DIFF (0.008 - 0.0005) / 0.0005 * 100 = 1500.
      {8, 1000, 0, 1000, 11.0904, 0.000868, 4.0, 1500.0, true, true},
      // Absent from the target: log2(0.0005 / 0.008) = -4, %DIFF -93.75.
      {0, 1000, 8, 1000, 11.0904, 0.000868, -4.0, -93.75, false, true},
      // The same rate on both sides: nothing to tell.
      {3, 1000, 6, 2000, 0.0, 1.0, 0.0, 0.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << "/" << c.c << " against " << c.b << "/" << c.d);
    const TKeynessScores k = KeynessScores(c.a, c.c, c.b, c.d);
    EXPECT_NEAR(k.log_likelihood, c.g2, 5e-5);
    EXPECT_NEAR(k.p, c.p, 5e-6);
    EXPECT_NEAR(k.log_ratio, c.logRatio, 1e-12);
    EXPECT_NEAR(k.percent_diff, c.percentDiff, 1e-9);
    EXPECT_EQ(k.positive, c.positive);
    EXPECT_EQ(k.adjusted, c.adjusted);
  }
  // An empty corpus gives no division by zero, only nothing.
  const TKeynessScores none = KeynessScores(3, 0, 0, 1000);
  EXPECT_EQ(none.log_likelihood, 0);
  EXPECT_EQ(none.p, 1);
  // The tail of chi-square with one degree of freedom at its textbook critical values.
  EXPECT_NEAR(ChiSquare1UpperTail(3.841459), 0.05, 1e-6);
  EXPECT_NEAR(ChiSquare1UpperTail(6.634897), 0.01, 1e-6);
  EXPECT_NEAR(ChiSquare1UpperTail(10.827566), 0.001, 1e-7);
  EXPECT_EQ(ChiSquare1UpperTail(0), 1.0);
}

TEST(DispersionMeasures, HandWorkedParts) {
  // Parts of 100, 200 and 700 words (shares .1, .2, .7) hold 5, 0 and 5 hits (shares .5, 0, .5):
  // DP = (|.5 - .1| + |0 - .2| + |.5 - .7|) / 2 = 0.4; normalised 0.4 / (1 - .1) = 0.4444.
  // Relative frequencies .05, 0, 1/140: mean .0190476, population sd .0220800, V = 1.159202,
  // D = 1 - V / sqrt(2) = 0.180320.
  const TDispersionScores s = DispersionScores({5, 0, 5}, {100, 200, 700});
  EXPECT_EQ(s.parts, 3);
  EXPECT_NEAR(s.dp, 0.4, 1e-12);
  EXPECT_NEAR(s.dp_norm, 0.4 / 0.9, 1e-12);
  ASSERT_TRUE(s.d_defined);
  EXPECT_NEAR(s.juilland_d, 0.180320, 1e-6);
  // Five equal parts with 1..5 hits: mean 3, sd sqrt(2), V = 0.4714, D = 1 - V / 2 = 0.764298; DP =
  // (.4/3 + .2/3 ... ) worked out: shares of hits 1/15..5/15 against .2 each: (2/15 + 1/15 + 0 + 1/15 + 2/15) / 2 = 0.2.
  const TDispersionScores e = DispersionScores({1, 2, 3, 4, 5}, {10, 10, 10, 10, 10});
  EXPECT_NEAR(e.juilland_d, 0.764298, 1e-6);
  EXPECT_NEAR(e.dp, 0.2, 1e-12);
  // Evenly spread: DP 0 and D 1. One part only: DP 0, D not defined. A part without words takes no part.
  const TDispersionScores even = DispersionScores({2, 4, 0}, {100, 200, 0});
  EXPECT_EQ(even.parts, 2);
  EXPECT_NEAR(even.dp, 0.0, 1e-12);
  EXPECT_NEAR(even.juilland_d, 1.0, 1e-12);
  const TDispersionScores one = DispersionScores({3}, {50});
  EXPECT_FALSE(one.d_defined);
  EXPECT_EQ(one.dp, 0);
  EXPECT_FALSE(DispersionScores({0, 0}, {10, 10}).d_defined);
}

// ---- the corpus walks ----

class CorpusStatistics : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_corpus_statistics_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  UnicodeString Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return Utf8ToUtf16(p.string());
  }
  static std::map<std::string, std::pair<int64_t, int64_t>> LeftRight(const TCollocateResult& r) {
    std::map<std::string, std::pair<int64_t, int64_t>> m;
    for (const TCollocate& c : r.collocates) m[Utf16ToUtf8(ToUpper(c.word))] = {c.left, c.right};
    return m;
  }
  static std::map<std::string, int64_t> Clusters(const TClusterResult& r) {
    std::map<std::string, int64_t> m;
    for (const TCluster& c : r.clusters) m[Utf16ToUtf8(c.words)] = c.freq;
    return m;
  }
};

TEST_F(CorpusStatistics, SpansStopAtTextEnds) {
  // The node ends one text and begins the next: its spans hold only the words of its own text.
  const UnicodeString a = Write("a.txt", "one two three NODE\n");
  const UnicodeString b = Write("b.txt", "NODE four five\n");
  TCollocateOptions o;
  o.search.search_word = u"node";
  o.span_left = 3;
  o.span_right = 3;
  o.min_freq = 1;
  const TCollocateResult r = CorpusCollocates({a, b}, o, nullptr, nullptr);
  EXPECT_EQ(r.node_hits, 2);
  EXPECT_EQ(r.totals.tokens, 7);
  EXPECT_EQ(r.span_positions, 5);  // three left of the first, two right of the second
  const std::map<std::string, std::pair<int64_t, int64_t>> want = {
      {"ONE", {1, 0}}, {"TWO", {1, 0}}, {"THREE", {1, 0}}, {"FOUR", {0, 1}}, {"FIVE", {0, 1}}};
  EXPECT_EQ(LeftRight(r), want);
}

TEST_F(CorpusStatistics, SpansCountWordsOfTheRuleAroundPhrasesAndNearbyHits) {
  // Punctuation is no word and a sentence end does not stop a span; the words of a phrase node are not in
  // its span; another hit within the span is counted like any word; an elision is one word.
  const UnicodeString t = Write("t.txt", "x, y. free software, don't free software z\n");
  TCollocateOptions o;
  o.search.search_word = u"free software";
  o.span_left = 2;
  o.span_right = 2;
  o.min_freq = 1;
  const TCollocateResult r = CorpusCollocates({t}, o, nullptr, nullptr);
  EXPECT_EQ(r.node_hits, 2);
  const std::map<std::string, std::pair<int64_t, int64_t>> want = {
      {"X", {1, 0}},        {"Y", {1, 0}},     {"DON'T", {1, 1}},
      {"SOFTWARE", {1, 0}}, {"FREE", {0, 1}},  {"Z", {0, 1}}};
  EXPECT_EQ(LeftRight(r), want);
  EXPECT_EQ(r.span_positions, 7);
  // Corpus frequencies count every occurrence, the node's own included.
  for (const TCollocate& c : r.collocates) {
    if (ToUpper(c.word) == u"FREE") {
      EXPECT_EQ(c.corpus_freq, 2);
    }
  }
}

TEST_F(CorpusStatistics, CollocatesTheSameForAnyWindowSize) {
  // Positions of hits and words must agree across window edges, whatever the window size.
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "Line " + std::to_string(i % 17) + ": the bank of the river. A bank, " + (i % 3 ? "money" : "water") + "\n";
  const UnicodeString t = Write("big.txt", text);
  TCollocateOptions big;
  big.search.search_word = u"bank";
  TCollocateOptions small = big;
  small.chunk_units = small.search.chunk_units = 1000;
  small.margin_units = small.search.margin_units = 300;
  const TCollocateResult x = CorpusCollocates({t}, big, nullptr, nullptr);
  const TCollocateResult y = CorpusCollocates({t}, small, nullptr, nullptr);
  EXPECT_EQ(x.node_hits, 6000);
  EXPECT_EQ(x.span_positions, y.span_positions);
  EXPECT_EQ(x.totals.tokens, y.totals.tokens);
  EXPECT_EQ(LeftRight(x), LeftRight(y));
  EXPECT_EQ(LeftRight(x).at("RIVER"), (std::pair<int64_t, int64_t>{3000, 3000}));
}

TEST_F(CorpusStatistics, CollocatesSortAndThresholds) {
  const UnicodeString t = Write("t.txt", "strong tea. strong tea. strong tea. strong the. the tea. the a. the b.\n");
  TCollocateOptions o;
  o.search.search_word = u"strong";
  o.span_left = 0;
  o.span_right = 1;
  o.min_freq = 1;
  o.sort_by = cm_frequency;
  TCollocateResult r = CorpusCollocates({t}, o, nullptr, nullptr);
  ASSERT_EQ(r.collocates.size(), 2u);
  EXPECT_EQ(r.collocates[0].word, u"tea");
  EXPECT_EQ(r.collocates[0].total, 3);
  EXPECT_EQ(r.collocates[0].corpus_freq, 4);
  // A stored threshold record over 14 tokens, 4 span positions: MI of at least 1 keeps tea
  // (MI log2(3 / (4 * 4 / 14)) = 1.39) and drops the (log2(1 / (4 * 4 / 14)) = -0.19).
  TCogridMutualChecks checks{};
  checks.test_all_procedures = true;
  checks.proc_settings[RelatStat_MI] = {true, 1.0f};
  o.thresholds = checks;
  r = CorpusCollocates({t}, o, nullptr, nullptr);
  ASSERT_EQ(r.collocates.size(), 1u);
  EXPECT_EQ(r.collocates[0].word, u"tea");
  EXPECT_NEAR(r.collocates[0].scores.mi, std::log2(3.0 / (4.0 * 4.0 / 14.0)), 1e-9);
  // Nothing to search for is refused before any text is read.
  o.search.search_word.clear();
  EXPECT_THROW(CorpusCollocates({t}, o, nullptr, nullptr), Exception);
  o.search.search_word = u"strong";
  o.span_right = 0;
  EXPECT_THROW(CorpusCollocates({t}, o, nullptr, nullptr), Exception);
}

TEST_F(CorpusStatistics, ClustersStopAtSentenceParagraphAndTextEnds) {
  const UnicodeString a = Write("a.txt", "The old man. The old man sat\n\nold man sat down\n");
  const UnicodeString b = Write("b.txt", "the old\n");
  const UnicodeString c = Write("c.txt", "man sat\n");
  TClusterOptions o;
  o.n = 2;
  o.min_freq = 1;
  const TClusterResult r = CorpusClusters({a, b, c}, o, nullptr, nullptr);
  // No "man The" (sentence end), no "sat old" (paragraph end), no "old man" across b and c.
  const std::map<std::string, int64_t> want = {
      {"The old", 3}, {"old man", 3}, {"man sat", 3}, {"sat down", 1}};
  EXPECT_EQ(Clusters(r), want);
  std::map<std::string, int64_t> range;
  for (const TCluster& k : r.clusters) range[Utf16ToUtf8(k.words)] = k.range;
  EXPECT_EQ(range, (std::map<std::string, int64_t>{{"The old", 2}, {"old man", 1}, {"man sat", 2}, {"sat down", 1}}));
  EXPECT_EQ(r.clusters[0].freq, 3);
  EXPECT_EQ(r.clusters.back().words, u"sat down");

  // Only clusters holding a word, at the place asked for; the form shown is the text's, not the option's.
  o.n = 3;
  o.word = u"MAN";
  o.position = cp_any;
  EXPECT_EQ(Clusters(CorpusClusters({a}, o, nullptr, nullptr)),
            (std::map<std::string, int64_t>{{"The old man", 2}, {"old man sat", 2}, {"man sat down", 1}}));
  o.position = cp_left;
  EXPECT_EQ(Clusters(CorpusClusters({a}, o, nullptr, nullptr)), (std::map<std::string, int64_t>{{"man sat down", 1}}));
  o.position = cp_right;
  EXPECT_EQ(Clusters(CorpusClusters({a}, o, nullptr, nullptr)), (std::map<std::string, int64_t>{{"The old man", 2}}));
  o.min_freq = 2;
  o.position = cp_any;
  EXPECT_EQ(CorpusClusters({a}, o, nullptr, nullptr).clusters.size(), 2u);
  o.word = u"two words";
  EXPECT_THROW(CorpusClusters({a}, o, nullptr, nullptr), Exception);
}

TEST_F(CorpusStatistics, KeywordsOfBothSignsAndOfOneCorpusOnly) {
  // Target: 1,000 tokens with "alpha" 10 times; reference 2,000 with "alpha" 5 times: G2 6.93 as by hand.
  // "beta" only in the target, "gamma" mostly in the reference.
  std::string target, reference;
  for (int i = 0; i < 10; ++i) target += "alpha ";
  for (int i = 0; i < 8; ++i) target += "beta ";
  for (int i = 0; i < 982; ++i) target += "filler ";
  for (int i = 0; i < 5; ++i) reference += "alpha ";
  for (int i = 0; i < 40; ++i) reference += "gamma ";
  for (int i = 0; i < 1955; ++i) reference += "filler ";
  const UnicodeString t = Write("t.txt", target), r = Write("r.txt", reference);
  TKeywordOptions o;
  o.max_p = 1;
  const TKeywordResult k = CorpusKeywords({t}, {r}, o, nullptr, nullptr);
  EXPECT_EQ(k.target.tokens, 1000);
  EXPECT_EQ(k.reference.tokens, 2000);
  std::map<std::string, TKeyword> by;
  for (const TKeyword& w : k.keywords) by[Utf16ToUtf8(w.word)] = w;
  ASSERT_TRUE(by.count("alpha") && by.count("beta") && by.count("gamma") && by.count("filler"));
  EXPECT_NEAR(by["alpha"].scores.log_likelihood, 6.93, 0.005);
  EXPECT_EQ(by["alpha"].freq_reference, 5);
  EXPECT_TRUE(by["beta"].scores.positive);
  EXPECT_TRUE(by["beta"].scores.adjusted);
  EXPECT_EQ(by["beta"].freq_reference, 0);
  EXPECT_TRUE(std::isfinite(by["beta"].scores.log_ratio));
  EXPECT_FALSE(by["gamma"].scores.positive);
  EXPECT_TRUE(by["gamma"].scores.adjusted);
  // Positive ones first, each side by G2: beta (G2 = 2 * 8 ln 3 = 17.58) before alpha.
  EXPECT_EQ(k.keywords.front().word, u"beta");
  EXPECT_EQ(k.keywords.back().word, u"gamma");
  EXPECT_EQ(k.positive, 3);  // filler too: 982 / 1000 against 1955 / 2000
  EXPECT_EQ(k.negative, 1);
  // The default cut at p 0.05 drops filler (G2 well under 3.84) and keeps the rest.
  const TKeywordResult cut = CorpusKeywords({t}, {r}, TKeywordOptions{}, nullptr, nullptr);
  for (const TKeyword& w : cut.keywords) EXPECT_NE(w.word, u"filler");
  EXPECT_EQ(cut.keywords.size(), 3u);
}

TEST_F(CorpusStatistics, DispersionPerText) {
  const UnicodeString a = Write("d/a.txt", "word word other\n");
  const UnicodeString b = Write("d/b.txt", "other other other other other word\n");
  const UnicodeString c = Write("d/c.txt", "nothing here\n");
  TConcordanceOptions o;
  o.search_word = u"word";
  const TDispersionResult r = CorpusDispersion({a, b, c}, o, nullptr, nullptr);
  ASSERT_EQ(r.texts.size(), 3u);
  EXPECT_EQ(r.texts[0].hits, 2);
  EXPECT_EQ(r.texts[0].words, 3);
  EXPECT_NEAR(r.texts[0].per_million, 2e6 / 3, 1e-6);
  EXPECT_EQ(r.texts[2].hits, 0);
  EXPECT_EQ(r.hits, 3);
  EXPECT_EQ(r.words, 11);
  // Shares of size 3/11, 6/11, 2/11 against shares of hits 2/3, 1/3, 0.
  const double dp = (std::fabs(2.0 / 3 - 3.0 / 11) + std::fabs(1.0 / 3 - 6.0 / 11) + 2.0 / 11) / 2;
  EXPECT_NEAR(r.scores.dp, dp, 1e-12);
  EXPECT_EQ(r.scores.dp, DispersionScores({2, 1, 0}, {3, 6, 2}).dp);
}

// ---- the built commands ----

fs::path ToolPath() {
  std::error_code ec;
  const auto self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path() / "tools" / "kx8" / "kx8";
}

TEST_F(CorpusStatistics, BuiltCommandsExitStatusesAndFigures) {
  if (!fs::exists(ToolPath())) GTEST_SKIP() << "kx8 not built";
  std::string target, reference;
  for (int i = 0; i < 10; ++i) target += "Alpha beta. ";
  for (int i = 0; i < 10; ++i) reference += "Gamma delta. ";
  Write("t.txt", target);
  Write("r.txt", reference);
  auto run = [&](const std::string& args, std::string* out = nullptr) {
    const std::string outFile = (dir / "out.txt").string();
    const std::string cmd = "cd '" + dir.string() + "' && '" + ToolPath().string() + "' " + args + " >" + outFile + " 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    if (out) {
      std::ifstream in(outFile, std::ios::binary);
      *out = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  };
  std::string out;
  EXPECT_EQ(run("collocates --json --span 0,1 alpha t.txt r.txt", &out), 0);
  EXPECT_NE(out.find("\"word\":\"beta\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"right\":10"), std::string::npos) << out;
  EXPECT_EQ(run("collocates zebra t.txt"), 1);
  EXPECT_EQ(run("collocates alpha t.txt missing.txt"), 2);
  EXPECT_EQ(run("collocates --span 0,0 alpha t.txt"), 2);
  // Words of one corpus only: Log Ratio is flagged as adjusted, never printed as an infinity.
  EXPECT_EQ(run("keywords --json t.txt --reference r.txt", &out), 0);
  EXPECT_NE(out.find("\"adjusted\":true"), std::string::npos) << out;
  EXPECT_EQ(out.find("inf"), std::string::npos) << out;
  EXPECT_EQ(run("keywords t.txt --reference t.txt"), 1);
  EXPECT_EQ(run("clusters --n 2 t.txt", &out), 0);
  EXPECT_NE(out.find("Alpha beta"), std::string::npos) << out;
  EXPECT_EQ(out.find("beta Alpha"), std::string::npos) << out;  // across a sentence end
  EXPECT_EQ(run("dispersion alpha t.txt r.txt", &out), 0);
  EXPECT_NE(out.find("DP: 0.5000"), std::string::npos) << out;
  EXPECT_EQ(run("dispersion zebra t.txt"), 1);
}

}  // namespace
}  // namespace kx8
