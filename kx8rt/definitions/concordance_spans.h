// Concordance positions around a node word, horizons, line sections and the association-measure
// threshold test shared by every tool that collocates or sorts concordance lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Word positions counted outwards from the node: n words left is 50 - n, n words right is 50 + n.
// The scale reaches one place further right (R51) than left (L50).
enum TConcordance_span : uint8_t {
  span_L50,
  span_L49,
  span_L48,
  span_L47,
  span_L46,
  span_L45,
  span_L44,
  span_L43,
  span_L42,
  span_L41,
  span_L40,
  span_L39,
  span_L38,
  span_L37,
  span_L36,
  span_L35,
  span_L34,
  span_L33,
  span_L32,
  span_L31,
  span_L30,
  span_L29,
  span_L28,
  span_L27,
  span_L26,
  span_L25,
  span_L24,
  span_L23,
  span_L22,
  span_L21,
  span_L20,
  span_L19,
  span_L18,
  span_L17,
  span_L16,
  span_L15,
  span_L14,
  span_L13,
  span_L12,
  span_L11,
  span_L10,
  span_L09,
  span_L08,
  span_L07,
  span_L06,
  span_L05,
  span_L04,
  span_L03,
  span_L02,
  span_L01,
  span_Centre,
  span_R01,
  span_R02,
  span_R03,
  span_R04,
  span_R05,
  span_R06,
  span_R07,
  span_R08,
  span_R09,
  span_R10,
  span_R11,
  span_R12,
  span_R13,
  span_R14,
  span_R15,
  span_R16,
  span_R17,
  span_R18,
  span_R19,
  span_R20,
  span_R21,
  span_R22,
  span_R23,
  span_R24,
  span_R25,
  span_R26,
  span_R27,
  span_R28,
  span_R29,
  span_R30,
  span_R31,
  span_R32,
  span_R33,
  span_R34,
  span_R35,
  span_R36,
  span_R37,
  span_R38,
  span_R39,
  span_R40,
  span_R41,
  span_R42,
  span_R43,
  span_R44,
  span_R45,
  span_R46,
  span_R47,
  span_R48,
  span_R49,
  span_R50,
  span_R51
};

// Which side of the node a horizon counts on.
enum TRightOrLeft : uint8_t { at_left, at_right };

// A horizon: words to the left and words to the right of the node.
struct Tdouble_smallint {
  int16_t to_left;
  int16_t to_right;
};

// Sort keys of a concordance; the first eleven are word positions L5 to R5.
enum TConcordance_sort_system : uint8_t {
  cs_left5,
  cs_left4,
  cs_left3,
  cs_left2,
  cs_left1,
  cs_centre,
  cs_right1,
  cs_right2,
  cs_right3,
  cs_right4,
  cs_right5,
  cs_context_word_position,
  cs_set,
  cs_filename,
  cs_textdate,
  cs_by_tag,
  cs_by_tag_distance,
  cs_file_percent,
  cs_word_number,
  cs_sentence_number,
  cs_sentence_position,
  cs_paragraph_number,
  cs_paragraph_position,
  cs_heading_number,
  cs_heading_position,
  cs_section_number,
  cs_section_position,
  cs_word_rarity,
  cs_highlighted_collocate,
  cs_whole_line,
  cs_byte_position
};

// Association measures between a node and a collocate.
enum TRelationshipStats : uint8_t {
  RelatStat_Dice,
  RelatStat_MI,
  RelatStat_MI3,
  RelatStat_Z,
  RelatStat_log_likelihood,
  RelatStat_T_Score,
  RelatStat_Log_Ratio,
  RelatStat_ConditionalProbA,
  RelatStat_ConditionalProbB,
  RelatStat_DeltaPA,
  RelatStat_DeltaPB
};

inline constexpr int RelationshipStatsCount = RelatStat_DeltaPB + 1;

// One measure's requirement: whether it takes part and the least score that passes.
struct TRelationshipProcSetting {
  bool enabled;
  float threshold;
};

// The user's relationship requirements; 256 bytes when stored (see the byte routines below).
struct TCogridMutualChecks {
  bool search_needed;
  bool test_all_procedures;
  bool test_all_words;
  TRelationshipProcSetting proc_settings[RelationshipStatsCount];  // indexed by TRelationshipStats
  char16_t search_string[81];                                      // zero-terminated
};

inline constexpr size_t CogridMutualChecksSize = 256;
static_assert(sizeof(TRelationshipProcSetting) == 8);
static_assert(sizeof(TCogridMutualChecks) == CogridMutualChecksSize);
static_assert(offsetof(TCogridMutualChecks, proc_settings) == 4);
static_assert(offsetof(TCogridMutualChecks, search_string) == 92);

// The position n words to one side of the node, computed in one byte (so it wraps).
TConcordance_span HorizonToConcSpan(int32_t n, TRightOrLeft side);
// The (left, right) positions of a horizon.
std::pair<TConcordance_span, TConcordance_span> HorizonsToConcSpans(const Tdouble_smallint& h);
// The same pair as HorizonsToConcSpans, under the name the collocation code uses.
std::pair<TConcordance_span, TConcordance_span> CollocSpan(const Tdouble_smallint& h);
// The larger and the smaller of two positions.
TConcordance_span MaxSpan(TConcordance_span a, TConcordance_span b);
TConcordance_span MinSpan(TConcordance_span a, TConcordance_span b);

// Display name of a position: "L5", "R1", "Centre" (the node, and R51 too).
UnicodeString ConcordanceSpanStr(TConcordance_span span);

// The position that a positional sort key sorts on (cs_left5 -> span_L05 ... cs_right5 -> span_R05).
TConcordance_span SortSpanFromSort(TConcordance_sort_system sort);

// Display name of an association measure; empty for an ordinal outside the enumeration.
UnicodeString RelationshipAsString(TRelationshipStats stat);

// Whether the scores (one per TRelationshipStats ordinal) meet the enabled thresholds of checks.
bool PassesRelationshipThresholdTests(const TCogridMutualChecks& checks,
                                      const std::array<float, RelationshipStatsCount>& scores);

// Stored form of TCogridMutualChecks: 256 little-endian bytes, alignment bytes written as zero.
std::array<uint8_t, CogridMutualChecksSize> CogridMutualChecksToBytes(const TCogridMutualChecks& checks);
// Reads the stored form; raises EReadError when fewer than 256 bytes are given. The search string is
// always left zero-terminated.
TCogridMutualChecks CogridMutualChecksFromBytes(const uint8_t* data, size_t size);

// The search string as a string, and setting it (cut to 80 units).
UnicodeString CogridSearchString(const TCogridMutualChecks& checks);
void SetCogridSearchString(TCogridMutualChecks& checks, std::u16string_view s);

// Edge of the word containing pos (1-based): backwards, the first character after the delimiter to
// the left; forwards, the last character before the delimiter to the right; -1 when there is none.
// Delimiters are blanks, "<", ">" and Unicode white space.
int32_t EndOfSameWord(int32_t pos, std::u16string_view s, bool backwards);

// A concordance line split into left context, node word and right context.
struct TLineSections {
  UnicodeString left;
  UnicodeString node;
  UnicodeString right;
};

// Splits line around the word that contains node_start (1-based); third is not read.
TLineSections LineInThreeSections(std::u16string_view line, int32_t node_start, int32_t third);

// A context span: the leftmost and rightmost word positions around the node.
struct Tdouble_colloc_span {
  TConcordance_span leftmost = span_L50;
  TConcordance_span rightmost = span_L50;
};
static_assert(sizeof(Tdouble_colloc_span) == 2);

}  // namespace kx8
