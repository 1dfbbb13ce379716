#include "kx8rt/definitions/concordance_spans.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {
namespace {

TEST(ConcordanceSpan, ScaleEnds) {
  EXPECT_EQ(span_L50, 0);
  EXPECT_EQ(span_L01, 49);
  EXPECT_EQ(span_Centre, 50);
  EXPECT_EQ(span_R01, 51);
  EXPECT_EQ(span_R51, 101);
  EXPECT_EQ(cs_right5, 10);
  EXPECT_EQ(cs_byte_position, 30);
  EXPECT_EQ(sizeof(TConcordance_span), 1u);
}

TEST(HorizonToConcSpan, BothSidesAndWrapping) {
  EXPECT_EQ(HorizonToConcSpan(5, at_left), span_L05);
  EXPECT_EQ(HorizonToConcSpan(50, at_left), span_L50);
  EXPECT_EQ(HorizonToConcSpan(51, at_right), span_R51);
  EXPECT_EQ(HorizonToConcSpan(0, at_right), span_Centre);
  // One byte: 50 - 51 wraps to 255, 50 + 206 wraps to 0.
  EXPECT_EQ(static_cast<int>(HorizonToConcSpan(51, at_left)), 255);
  EXPECT_EQ(HorizonToConcSpan(206, at_right), span_L50);
  EXPECT_EQ(static_cast<int>(HorizonToConcSpan(std::numeric_limits<int32_t>::min(), at_left)), 50);
}

TEST(HorizonsToConcSpans, PairsAndCollocSpan) {
  EXPECT_EQ(HorizonsToConcSpans({5, 5}), std::make_pair(span_L05, span_R05));
  EXPECT_EQ(HorizonsToConcSpans({0, 0}), std::make_pair(span_Centre, span_Centre));
  EXPECT_EQ(HorizonsToConcSpans({50, 51}), std::make_pair(span_L50, span_R51));
  EXPECT_EQ(CollocSpan({3, 7}), std::make_pair(span_L03, span_R07));
}

TEST(MaxMinSpan, ByOrdinal) {
  EXPECT_EQ(MaxSpan(span_L05, span_R01), span_R01);
  EXPECT_EQ(MinSpan(span_L05, span_R01), span_L05);
  EXPECT_EQ(MaxSpan(span_L50, span_L01), span_L01);
}

TEST(ConcordanceSpanStr, Names) {
  EXPECT_EQ(ConcordanceSpanStr(span_L50), u"L50");
  EXPECT_EQ(ConcordanceSpanStr(span_L05), u"L5");
  EXPECT_EQ(ConcordanceSpanStr(span_L01), u"L1");
  EXPECT_EQ(ConcordanceSpanStr(span_Centre), u"Centre");
  EXPECT_EQ(ConcordanceSpanStr(span_R01), u"R1");
  EXPECT_EQ(ConcordanceSpanStr(span_R50), u"R50");
  EXPECT_EQ(ConcordanceSpanStr(span_R51), u"Centre");
  EXPECT_EQ(ConcordanceSpanStr(static_cast<TConcordance_span>(255)), u"");
}

TEST(SortSpanFromSort, PositionalKeys) {
  EXPECT_EQ(SortSpanFromSort(cs_left5), span_L05);
  EXPECT_EQ(SortSpanFromSort(cs_left1), span_L01);
  EXPECT_EQ(SortSpanFromSort(cs_centre), span_Centre);
  EXPECT_EQ(SortSpanFromSort(cs_right5), span_R05);
  EXPECT_EQ(SortSpanFromSort(cs_filename), span_Centre);
}

TEST(RelationshipAsString, DisplayNames) {
  EXPECT_EQ(RelationshipAsString(RelatStat_Dice), u"Dice coefficient");
  EXPECT_EQ(RelationshipAsString(RelatStat_MI), u"Specific Mutual Information");
  EXPECT_EQ(RelationshipAsString(RelatStat_log_likelihood), u"Log likelihood");
  EXPECT_EQ(RelationshipAsString(RelatStat_ConditionalProbB), u"Conditional Probability B");
  EXPECT_EQ(RelationshipAsString(RelatStat_DeltaPA), u"DeltaP A");
  EXPECT_EQ(RelationshipAsString(static_cast<TRelationshipStats>(11)), u"");
}

TEST(DisplayNames, FollowTheCatalogueTranslation) {
  SetMessageText(KXDeltaP, u"Delta-P");
  SetMessageText(KXCentre, u"Noeud");
  SetMessageText(KXSpanLeftLetter, u"G");
  EXPECT_EQ(RelationshipAsString(RelatStat_DeltaPB), u"Delta-P B");
  EXPECT_EQ(ConcordanceSpanStr(span_R51), u"Noeud");
  EXPECT_EQ(ConcordanceSpanStr(span_L03), u"G3");
  ResetMessageTexts();
  EXPECT_EQ(ConcordanceSpanStr(span_L03), u"L3");
}

// Builds checks with the given measures enabled at the given thresholds.
TCogridMutualChecks Checks(bool allProcedures, bool allWords,
                           std::initializer_list<std::pair<TRelationshipStats, float>> enabled) {
  TCogridMutualChecks c{};
  c.test_all_procedures = allProcedures;
  c.test_all_words = allWords;
  for (const auto& [stat, threshold] : enabled) c.proc_settings[stat] = {true, threshold};
  return c;
}

std::array<float, RelationshipStatsCount> Scores(std::initializer_list<std::pair<TRelationshipStats, float>> given) {
  std::array<float, RelationshipStatsCount> s{};
  for (const auto& [stat, v] : given) s[stat] = v;
  return s;
}

TEST(PassesRelationshipThresholdTests, NoMeasureEnabledPassesInBothModes) {
  const auto scores = Scores({});
  for (bool allProc : {false, true})
    for (bool allWords : {false, true})
      EXPECT_TRUE(PassesRelationshipThresholdTests(Checks(allProc, allWords, {}), scores)) << allProc << allWords;
}

TEST(PassesRelationshipThresholdTests, AnyModeStopsAtFirstFailureUnlessAllWords) {
  const auto scores = Scores({{RelatStat_Dice, 0.1f}, {RelatStat_MI, 5.0f}});
  const std::initializer_list<std::pair<TRelationshipStats, float>> req = {{RelatStat_Dice, 0.5f},
                                                                           {RelatStat_MI, 3.0f}};
  EXPECT_FALSE(PassesRelationshipThresholdTests(Checks(false, false, req), scores));
  EXPECT_TRUE(PassesRelationshipThresholdTests(Checks(false, true, req), scores));
  // All enabled measures failing gives false even when the visit goes on.
  EXPECT_FALSE(PassesRelationshipThresholdTests(Checks(false, true, req), Scores({})));
  // Disabled measures in between are skipped, not counted as failures.
  EXPECT_TRUE(PassesRelationshipThresholdTests(Checks(false, false, {{RelatStat_DeltaPB, 1.0f}}),
                                               Scores({{RelatStat_DeltaPB, 1.0f}})));
}

TEST(PassesRelationshipThresholdTests, AllProceduresModeNeedsEveryEnabledMeasure) {
  const std::initializer_list<std::pair<TRelationshipStats, float>> req = {{RelatStat_Z, 2.0f},
                                                                           {RelatStat_T_Score, 2.0f}};
  EXPECT_TRUE(PassesRelationshipThresholdTests(Checks(true, false, req),
                                               Scores({{RelatStat_Z, 2.0f}, {RelatStat_T_Score, 9.0f}})));
  EXPECT_FALSE(PassesRelationshipThresholdTests(Checks(true, false, req),
                                                Scores({{RelatStat_Z, 9.0f}, {RelatStat_T_Score, 1.99f}})));
  // A NaN score never passes.
  EXPECT_FALSE(PassesRelationshipThresholdTests(
      Checks(true, false, {{RelatStat_Z, -1e30f}}), Scores({{RelatStat_Z, std::nanf("")}})));
}

TEST(CogridMutualChecks, ByteLayoutAndRoundTrip) {
  TCogridMutualChecks c{};
  c.search_needed = true;
  c.test_all_words = true;
  c.proc_settings[RelatStat_Dice] = {true, 1.0f};
  c.proc_settings[RelatStat_DeltaPB] = {true, -2.5f};
  SetCogridSearchString(c, u"cat\u00e9");
  const auto bytes = CogridMutualChecksToBytes(c);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(bytes[2], 1);
  EXPECT_EQ(bytes[4], 1);  // Dice enabled
  // 1.0f is 0x3F800000, little-endian after three alignment bytes.
  EXPECT_EQ(bytes[8], 0x00);
  EXPECT_EQ(bytes[10], 0x80);
  EXPECT_EQ(bytes[11], 0x3F);
  EXPECT_EQ(bytes[4 + 8 * 10], 1);  // DeltaPB enabled
  EXPECT_EQ(bytes[92], 'c');
  EXPECT_EQ(bytes[93], 0);
  EXPECT_EQ(bytes[98], 0xE9);
  EXPECT_EQ(bytes[99], 0x00);
  const TCogridMutualChecks back = CogridMutualChecksFromBytes(bytes.data(), bytes.size());
  EXPECT_TRUE(back.search_needed);
  EXPECT_FALSE(back.test_all_procedures);
  EXPECT_TRUE(back.test_all_words);
  EXPECT_TRUE(back.proc_settings[RelatStat_DeltaPB].enabled);
  EXPECT_EQ(back.proc_settings[RelatStat_DeltaPB].threshold, -2.5f);
  EXPECT_FALSE(back.proc_settings[RelatStat_MI].enabled);
  EXPECT_EQ(CogridSearchString(back), u"cat\u00e9");
}

TEST(CogridMutualChecks, ShortOrUnterminatedInput) {
  std::array<uint8_t, 256> bytes;
  bytes.fill(0x41);
  EXPECT_THROW(CogridMutualChecksFromBytes(bytes.data(), 255), EReadError);
  EXPECT_THROW(CogridMutualChecksFromBytes(nullptr, 256), EReadError);
  const TCogridMutualChecks c = CogridMutualChecksFromBytes(bytes.data(), bytes.size());
  EXPECT_TRUE(c.search_needed);
  EXPECT_EQ(CogridSearchString(c).size(), 80u);  // forced terminator
  TCogridMutualChecks longOne{};
  SetCogridSearchString(longOne, UnicodeString(200, u'x'));
  EXPECT_EQ(CogridSearchString(longOne), UnicodeString(80, u'x'));
}

TEST(EndOfSameWord, BackwardsAndForwards) {
  const std::u16string_view s = u"the big cat sat";
  EXPECT_EQ(EndOfSameWord(9, s, true), 9);
  EXPECT_EQ(EndOfSameWord(11, s, true), 9);
  EXPECT_EQ(EndOfSameWord(9, s, false), 11);
  EXPECT_EQ(EndOfSameWord(1, s, true), -1);   // nothing before position 1
  EXPECT_EQ(EndOfSameWord(3, s, true), -1);   // passes position 1 with no delimiter
  EXPECT_EQ(EndOfSameWord(13, s, false), -1); // runs to the end
  EXPECT_EQ(EndOfSameWord(15, s, false), -1);
  EXPECT_EQ(EndOfSameWord(30, s, true), 30);  // beyond the end counts as a delimiter
  EXPECT_EQ(EndOfSameWord(3, u"a<bc>d", true), 3);
  EXPECT_EQ(EndOfSameWord(3, u"a<bc>d", false), 4);
  EXPECT_EQ(EndOfSameWord(3, u"a\tbc\u00a0d", true), 3);
  EXPECT_EQ(EndOfSameWord(3, u"a\tbc\u00a0d", false), 4);
  EXPECT_EQ(EndOfSameWord(std::numeric_limits<int32_t>::min(), s, true), -1);
  EXPECT_EQ(EndOfSameWord(std::numeric_limits<int32_t>::max(), s, false), -1);
}

TEST(LineInThreeSections, NodeInTheMiddle) {
  const TLineSections t = LineInThreeSections(u"the big cat sat", 9, 0);
  EXPECT_EQ(t.left, u"the big ");
  EXPECT_EQ(t.node, u"cat");
  EXPECT_EQ(t.right, u" sat");
}

TEST(LineInThreeSections, NodeTouchingTheEnds) {
  TLineSections t = LineInThreeSections(u"cat sat", 1, 0);
  EXPECT_EQ(t.left, u"");
  EXPECT_EQ(t.node, u"cat");
  EXPECT_EQ(t.right, u" sat");
  t = LineInThreeSections(u"big cat", 5, 0);
  EXPECT_EQ(t.left, u"big ");
  EXPECT_EQ(t.node, u"cat");
  EXPECT_EQ(t.right, u"");
  t = LineInThreeSections(u"cat", 2, 0);
  EXPECT_EQ(t.left, u"");
  EXPECT_EQ(t.node, u"cat");
  EXPECT_EQ(t.right, u"");
  t = LineInThreeSections(u"", 1, 0);
  EXPECT_EQ(t.left + t.node + t.right, u"");
  t = LineInThreeSections(u"ab", 40, 0);
  EXPECT_EQ(t.left + t.node + t.right, u"ab");
}

}  // namespace
}  // namespace kx8
