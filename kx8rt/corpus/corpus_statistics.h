// Corpus statistics: collocates of a search word, clusters (n-grams) of words, key words of one corpus
// against another and the dispersion of a word over texts. Every routine reads its texts through the
// corpus pipeline (the same text choice, decoding and word rule as the concordance and the word lists),
// words are met without case and shown in the form first seen, and the figures come from the formulas of
// corpus_measures.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "kx8rt/corpus/concordance.h"
#include "kx8rt/corpus/corpus_measures.h"
#include "kx8rt/corpus/corpus_texts.h"
#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// How the words of a corpus are read: the texts, their decoding and the word rule.
struct TCorpusWordReading {
  TCorpusWordRule word_rule;   // middle characters (tags are not marked: a tag's letters are words here)
  uint16_t codepage = 0;       // of 8-bit texts; 0: the system's
  TCorpusTextChoice choice;
  int32_t chunk_units = 4 << 20;
  int32_t margin_units = 4 << 10;  // a word longer than this at a window's edge is cut there
};

// What became of one text of a statistics run.
struct TCorpusStatisticsText {
  UnicodeString name;
  bool read = false;
  bool unreadable = false;  // not read because it could not be (rather than being no text)
  UnicodeString skipped_because;
  int64_t tokens = 0;
};
using TCorpusStatisticsTextEvent = std::function<void(const TCorpusStatisticsText&)>;

// Counts every run shares.
struct TCorpusStatisticsTotals {
  int64_t tokens = 0;
  int64_t texts = 0, texts_read = 0, texts_skipped = 0, problems = 0;
};

// ---- collocates ----

// The order of a collocate list.
enum TCollocateMeasure : uint8_t {
  cm_log_dice,
  cm_mi,
  cm_mi3,
  cm_t_score,
  cm_log_likelihood,
  cm_frequency
};

// The measure a user names ("logdice", "mi", "mi3", "t", "ll" or "g2", "freq"); false for anything else.
bool ParseCollocateMeasure(std::u16string_view name, TCollocateMeasure& measure);

struct TCollocateOptions {
  // The node: the full search notation with its case, lemma and stop options; its word rule, code page
  // and text choice are the run's (reading below is ignored in favour of them).
  TConcordanceOptions search;
  int32_t span_left = 5, span_right = 5;  // words each side of the node, 0..50 (the concordance-span scale)
  int64_t min_freq = 3;                   // collocates seen fewer times within the spans are left out
  TCollocateMeasure sort_by = cm_log_dice;
  // When set, a collocate is kept only when its scores pass these thresholds.
  std::optional<TCogridMutualChecks> thresholds;
  int32_t chunk_units = 4 << 20;
  int32_t margin_units = 4 << 10;
};

struct TCollocate {
  UnicodeString word;       // the form first met in the corpus
  int64_t left = 0, right = 0, total = 0;  // occurrences within the left spans, the right spans, both
  int64_t corpus_freq = 0;  // occurrences in the whole corpus
  TCollocationScores scores;
};

struct TCollocateResult {
  std::vector<TCollocate> collocates;  // sorted on the measure (descending), then frequency, then word
  int64_t node_hits = 0;               // hits of the node
  int64_t span_positions = 0;          // words counted in all spans (r1 of the tables)
  TCorpusStatisticsTotals totals;
};

// The collocates of options.search in the texts under paths. Spans are counted in words of the word
// rule and stop at a text's ends (not at sentence ends); the node's own words are not in its span,
// but another hit's words within it are. Raises kx8::Exception for a search that cannot be made.
TCollocateResult CorpusCollocates(const std::vector<UnicodeString>& paths, const TCollocateOptions& options,
                                  const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem);

// ---- clusters ----

// Where the word a cluster must hold stands in it.
enum TClusterPosition : uint8_t { cp_any, cp_left, cp_right };

struct TClusterOptions {
  TCorpusWordReading reading;
  int32_t n = 3;                 // words a cluster, 2..5
  UnicodeString word;            // when not empty, only clusters holding this word (met without case)
  TClusterPosition position = cp_any;
  int64_t min_freq = 2;          // clusters seen fewer times are left out
};

struct TCluster {
  UnicodeString words;  // the words, one space between them, each in the form first met
  int64_t freq = 0;
  int64_t range = 0;    // texts holding it
};

struct TClusterResult {
  std::vector<TCluster> clusters;  // by frequency, then range (both descending), then words
  TCorpusStatisticsTotals totals;
};

// The clusters of n words in the texts under paths. A cluster never spans a sentence end or a paragraph
// end (the segment markers of the word rule) nor a text's end: words on two sides of a full stop do not
// make a phrase.
TClusterResult CorpusClusters(const std::vector<UnicodeString>& paths, const TClusterOptions& options,
                              const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem);

// ---- key words ----

struct TKeywordOptions {
  TCorpusWordReading reading;
  int64_t min_freq = 3;  // a word is weighed when the two corpora hold it this often together
  double max_p = 0.05;   // words whose G2 has a larger p-value are left out (1: every word)
};

struct TKeyword {
  UnicodeString word;
  int64_t freq_target = 0, freq_reference = 0;
  TKeynessScores scores;
};

struct TKeywordResult {
  // The positive key words (by G2, descending), then the negative ones (the same); ties by word.
  std::vector<TKeyword> keywords;
  int64_t positive = 0, negative = 0;
  TCorpusStatisticsTotals target, reference;
};

// Key words of the texts under targetPaths against those under referencePaths.
TKeywordResult CorpusKeywords(const std::vector<UnicodeString>& targetPaths,
                              const std::vector<UnicodeString>& referencePaths, const TKeywordOptions& options,
                              const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem);

// ---- dispersion ----

struct TDispersionText {
  UnicodeString name;
  int64_t words = 0;  // tokens of the text under the word rule
  int64_t hits = 0;
  double per_million = 0;  // hits per million words of the text
};

struct TDispersionResult {
  std::vector<TDispersionText> texts;  // the texts searched, in corpus order
  int64_t hits = 0, words = 0;
  double per_million = 0;
  TDispersionScores scores;
  TCorpusStatisticsTotals totals;
};

// Hits of search per text and their dispersion over the texts searched (texts without words take no
// part in DP and D).
TDispersionResult CorpusDispersion(const std::vector<UnicodeString>& paths, const TConcordanceOptions& search,
                                   const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem);

}  // namespace kx8
