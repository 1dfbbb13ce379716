#include "kx8rt/corpus/corpus_measures.h"

#include <algorithm>
#include <cmath>

namespace kx8 {

namespace {

// O ln(O / E), taken as 0 for an empty cell (its limit).
double CellTerm(double o, double e) { return o > 0 && e > 0 ? o * std::log(o / e) : 0.0; }

}  // namespace

std::array<float, RelationshipStatsCount> TCollocationScores::AsRelationshipScores() const {
  std::array<float, RelationshipStatsCount> s{};
  s[RelatStat_Dice] = static_cast<float>(dice);
  s[RelatStat_MI] = static_cast<float>(mi);
  s[RelatStat_MI3] = static_cast<float>(mi3);
  s[RelatStat_Z] = static_cast<float>(z_score);
  s[RelatStat_log_likelihood] = static_cast<float>(log_likelihood);
  s[RelatStat_T_Score] = static_cast<float>(t_score);
  s[RelatStat_Log_Ratio] = static_cast<float>(log_ratio);
  s[RelatStat_ConditionalProbA] = static_cast<float>(cond_prob_a);
  s[RelatStat_ConditionalProbB] = static_cast<float>(cond_prob_b);
  s[RelatStat_DeltaPA] = static_cast<float>(delta_p_a);
  s[RelatStat_DeltaPB] = static_cast<float>(delta_p_b);
  return s;
}

TCollocationScores CollocationScores(const TCollocationTable& t) {
  TCollocationScores s;
  if (t.o11 <= 0 || t.n <= 0 || t.r1 <= 0 || t.c1 <= 0) return s;
  const double n = t.n, o11 = t.o11, r1 = t.r1, c1 = t.c1;
  double o12 = r1 - o11, o21 = c1 - o11, o22 = n - r1 - c1 + o11;
  // Spans of hits close together overlap, so one occurrence can count for two hits and a cell can go
  // below zero; it is then taken as empty rather than feeding a logarithm a negative count.
  if (o12 < 0 || o21 < 0 || o22 < 0) s.clamped = true;
  o12 = std::max(o12, 0.0);
  o21 = std::max(o21, 0.0);
  o22 = std::max(o22, 0.0);
  const double r2 = n - r1, c2 = n - c1;
  const double e11 = r1 * c1 / n, e12 = r1 * c2 / n, e21 = r2 * c1 / n, e22 = r2 * c2 / n;
  s.expected = e11;
  s.mi = std::log2(o11 / e11);
  s.mi3 = std::log2(o11 * o11 * o11 / e11);
  s.t_score = (o11 - e11) / std::sqrt(o11);
  s.z_score = (o11 - e11) / std::sqrt(e11);
  const double g2 = 2.0 * (CellTerm(o11, e11) + CellTerm(o12, e12) + CellTerm(o21, e21) + CellTerm(o22, e22));
  // Signed, so that sorting on it brings attraction first and avoidance last.
  s.log_likelihood = o11 < e11 ? -std::max(g2, 0.0) : std::max(g2, 0.0);
  if (t.node_freq + c1 > 0) {
    s.dice = 2.0 * o11 / (t.node_freq + c1);
    s.log_dice = 14.0 + std::log2(s.dice);
  }
  s.cond_prob_a = o11 / r1;
  s.cond_prob_b = o11 / c1;
  s.delta_p_a = r2 > 0 ? o11 / r1 - o21 / r2 : o11 / r1;
  s.delta_p_b = c2 > 0 ? o11 / c1 - o12 / c2 : o11 / c1;
  if (r2 > 0) {
    double outside = o21;
    if (outside <= 0) {
      outside = kKeynessZeroAdjustment;
      s.log_ratio_adjusted = true;
    }
    s.log_ratio = std::log2((o11 / r1) / (outside / r2));
  }
  return s;
}

double ChiSquare1UpperTail(double x) {
  // With one degree of freedom chi-square is the square of a standard normal: P(X >= x) = erfc(sqrt(x / 2)).
  return x > 0 ? std::erfc(std::sqrt(x / 2.0)) : 1.0;
}

TKeynessScores KeynessScores(int64_t freqTarget, int64_t sizeTarget, int64_t freqReference, int64_t sizeReference) {
  TKeynessScores k;
  const double a = static_cast<double>(std::max<int64_t>(freqTarget, 0));
  const double b = static_cast<double>(std::max<int64_t>(freqReference, 0));
  const double c = static_cast<double>(std::max<int64_t>(sizeTarget, 0));
  const double d = static_cast<double>(std::max<int64_t>(sizeReference, 0));
  if (c <= 0 || d <= 0 || a + b <= 0) return k;
  k.expected_target = c * (a + b) / (c + d);
  k.expected_reference = d * (a + b) / (c + d);
  k.log_likelihood = std::max(0.0, 2.0 * (CellTerm(a, k.expected_target) + CellTerm(b, k.expected_reference)));
  k.p = ChiSquare1UpperTail(k.log_likelihood);
  k.positive = a / c > b / d;
  double fa = a, fb = b;
  if (fa == 0 || fb == 0) {
    k.adjusted = true;
    if (fa == 0) fa = kKeynessZeroAdjustment;
    if (fb == 0) fb = kKeynessZeroAdjustment;
  }
  const double rateTarget = fa / c, rateReference = fb / d;
  k.log_ratio = std::log2(rateTarget / rateReference);
  k.percent_diff = (rateTarget - rateReference) / rateReference * 100.0;
  return k;
}

TDispersionScores DispersionScores(const std::vector<int64_t>& hits, const std::vector<int64_t>& words) {
  TDispersionScores r;
  const size_t n = std::min(hits.size(), words.size());
  double totalWords = 0, totalHits = 0;
  for (size_t i = 0; i < n; ++i)
    if (words[i] > 0) {
      ++r.parts;
      totalWords += static_cast<double>(words[i]);
      totalHits += static_cast<double>(std::max<int64_t>(hits[i], 0));
    }
  if (r.parts == 0 || totalHits <= 0) return r;
  double diff = 0, minShare = 1, meanRate = 0;
  for (size_t i = 0; i < n; ++i) {
    if (words[i] <= 0) continue;
    const double share = static_cast<double>(words[i]) / totalWords;
    const double hitShare = static_cast<double>(std::max<int64_t>(hits[i], 0)) / totalHits;
    diff += std::fabs(hitShare - share);
    minShare = std::min(minShare, share);
    meanRate += static_cast<double>(std::max<int64_t>(hits[i], 0)) / static_cast<double>(words[i]);
  }
  r.dp = diff / 2.0;
  r.dp_norm = minShare < 1 ? r.dp / (1.0 - minShare) : 0.0;
  if (r.parts >= 2) {
    // Parts differ in size, so D is taken over relative frequencies; the deviation is the population's.
    meanRate /= r.parts;
    double var = 0;
    for (size_t i = 0; i < n; ++i) {
      if (words[i] <= 0) continue;
      const double dev = static_cast<double>(std::max<int64_t>(hits[i], 0)) / static_cast<double>(words[i]) - meanRate;
      var += dev * dev;
    }
    const double sd = std::sqrt(var / r.parts);
    r.juilland_d = 1.0 - (sd / meanRate) / std::sqrt(static_cast<double>(r.parts - 1));
    r.d_defined = true;
  }
  return r;
}

}  // namespace kx8
