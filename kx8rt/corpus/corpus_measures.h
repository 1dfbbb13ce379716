// The statistics behind collocates, key words and dispersion, as plain functions of counts: association
// measures of a node and a collocate, keyness of a word in two corpora, dispersion of a word over texts.
// Kept apart from the corpus walks so that each formula can be checked on tables worked out by hand.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "kx8rt/definitions/concordance_spans.h"

namespace kx8 {

// A node's spans against the rest of the corpus: the two-by-two table of span positions (the node's side)
// and occurrences of the collocate. The cells are o11, r1 - o11, c1 - o11 and n - r1 - c1 + o11.
struct TCollocationTable {
  double o11 = 0;        // occurrences of the collocate within the node's spans
  double r1 = 0;         // span positions counted over all hits of the node
  double c1 = 0;         // the collocate's frequency in the corpus
  double n = 0;          // tokens of the corpus
  double node_freq = 0;  // hits of the node (for Dice and logDice)
};

// Every association score of one collocate. Logarithms are to base 2 except in G2 (natural).
struct TCollocationScores {
  double expected = 0;        // E11 = r1 * c1 / n
  double mi = 0;              // log2(O11 / E11)
  double mi3 = 0;             // log2(O11^3 / E11)
  double t_score = 0;         // (O11 - E11) / sqrt(O11)
  double z_score = 0;         // (O11 - E11) / sqrt(E11)
  double log_likelihood = 0;  // G2 over the four cells, negative when O11 < E11
  double dice = 0;            // 2 O11 / (node_freq + c1)
  double log_dice = 0;        // 14 + log2(dice)
  double log_ratio = 0;       // log2 of the collocate's rate inside the spans over its rate outside
  double cond_prob_a = 0;     // O11 / r1: the chance a span position holds the collocate
  double cond_prob_b = 0;     // O11 / c1: the share of the collocate's occurrences that lie in the spans
  double delta_p_a = 0;       // O11 / r1 - O21 / (n - r1)
  double delta_p_b = 0;       // O11 / c1 - O12 / (n - c1)
  bool clamped = false;       // a cell came out below zero (overlapping spans) and was taken as zero
  bool log_ratio_adjusted = false;  // no occurrence outside the spans: 0.5 stood in for it

  // The scores in the order of TRelationshipStats, for PassesRelationshipThresholdTests.
  std::array<float, RelationshipStatsCount> AsRelationshipScores() const;
};

// All scores of one table; a table with o11 = 0 or an empty corpus gives all zeros.
TCollocationScores CollocationScores(const TCollocationTable& t);

// Keyness of a word in a target corpus against a reference corpus.
struct TKeynessScores {
  double expected_target = 0, expected_reference = 0;
  double log_likelihood = 0;  // G2, never negative; the direction is in positive
  double p = 1;               // upper tail of chi-square with one degree of freedom at G2
  double log_ratio = 0;       // log2 of the relative frequencies, target over reference
  double percent_diff = 0;    // (target rate - reference rate) / reference rate * 100
  bool positive = false;      // relatively more frequent in the target
  bool adjusted = false;      // a frequency was 0 and 0.5 stood in for it in log_ratio and percent_diff
};

// The 0.5 that stands in for a zero frequency in the effect sizes, so that a word of one corpus only
// gets a finite Log Ratio and %DIFF, which the output flags as adjusted.
inline constexpr double kKeynessZeroAdjustment = 0.5;

// Keyness of a word met freqTarget times in sizeTarget tokens and freqReference times in sizeReference.
TKeynessScores KeynessScores(int64_t freqTarget, int64_t sizeTarget, int64_t freqReference, int64_t sizeReference);

// The probability that chi-square with one degree of freedom is at least x (1 for x <= 0).
double ChiSquare1UpperTail(double x);

// Dispersion of a word over parts of a corpus.
struct TDispersionScores {
  int32_t parts = 0;        // parts that hold words (the others take no part)
  double dp = 0;            // Gries' DP: half the summed differences of hit shares and size shares
  double dp_norm = 0;       // DP / (1 - the smallest size share)
  double juilland_d = 0;    // 1 - V / sqrt(parts - 1), V the variation coefficient of the relative frequencies
  bool d_defined = false;   // D needs two parts or more and a hit
};

// hits[i] of the word in a part of words[i] tokens; parts without tokens are left out.
TDispersionScores DispersionScores(const std::vector<int64_t>& hits, const std::vector<int64_t>& words);

}  // namespace kx8
