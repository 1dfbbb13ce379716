// The tools' own stored settings records (concordance, mutual-information and key-word settings, the
// headings of a list grid, per-text statistics) in their current layouts, with readers that take any
// stored format version from a stream and return the current layout. Part of the settings-records
// unit (settings_records.h includes this file).
//
// Every layout here is this library's choice. Format versions are those of the file that holds the
// record, passed in by the tool that opened it:
//   1 to 4            files of the 16-bit generation;
//   5                 files of the first 32-bit generation;
//   6, 7, 18 to 255   current files (as for the text settings);
//   any other (0 for "not known", 8 to 17, negative, above 255): the reader looks at the record's first
//                     four bytes. Every 32-bit-generation layout begins with a TSettingsRecHead (its own
//                     size and the mark "KX"), which the 16-bit layouts lack, so the head tells them apart.
// Readers zero-fill the record, read the layout the version names, convert it field by field, apply
// the fix-ups listed at each reader, and return whether every read delivered all its bytes; after a
// short read the record holds what arrived, converted, on top of zeros. Stream errors propagate.
// Booleans read from a stream become true for any non-zero byte; 8-bit texts are in the system code page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kx8rt/containers/search_types.h"
#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/definitions/list_types.h"
#include "kx8rt/definitions/settings_records.h"
#include "kx8rt/definitions/text_structure.h"
#include "kx8rt/platform/colors.h"
#include "kx8rt/platform/sets.h"
#include "kx8rt/platform/streams.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- shared pieces ----

// The first four bytes of every 32-bit-generation record below: the record's size in bytes and
// SettingsRecMark. Writers stamp it; readers use it only to recognise a layout when the version does not.
struct TSettingsRecHead {
  uint16_t rec_size = 0;
  uint16_t rec_mark = 0;
};
static_assert(sizeof(TSettingsRecHead) == 4);
inline constexpr uint16_t SettingsRecMark = 0x584B;  // the bytes "K", "X"

// A zero-terminated fixed text as a string: up to the first zero unit, or all N units.
template <size_t N>
UnicodeString FixedUnicodeText(const std::array<char16_t, N>& a) {
  size_t n = 0;
  while (n < N && a[n] != 0) ++n;
  return UnicodeString(a.data(), n);
}
// Stores s in a fixed text, cut to N - 1 units so that a terminator always follows.
template <size_t N>
void SetFixedUnicodeText(std::array<char16_t, N>& a, std::u16string_view s) {
  a.fill(0);
  for (size_t k = 0; k < s.size() && k + 1 < N; ++k) a[k] = s[k];
}

// ---- concordance settings ----

// Longest horizon kept on either side of the node, in words (the span scale reaches L50).
inline constexpr int16_t MaxSettingsHorizon = 50;
// Characters a concordance line shows when a record gives none.
inline constexpr int32_t DefaultConcordCharsPerLine = 100;

// The concordancer's settings, current layout; 512 bytes.
struct TConcordSettingsRec32 {
  TSettingsRecHead head;
  int32_t max_entries = 0;          // most concordance lines; 0: no limit
  int32_t hits_per_file = 0;        // most lines from one text; 0: no limit
  int32_t chars_per_line = 0;       // characters of a line shown and saved
  Tdouble_smallint context_horizon{};    // words kept either side of the node, for sorting and display
  Tdouble_smallint collocate_horizon{};  // words either side counted as collocates
  Tdouble_colloc_span context_word_span;  // where a context word must lie
  std::array<TConcordance_sort_system, 3> sort_keys{};  // sort levels 1 to 3
  std::array<bool, 3> sort_descending{};                // per level
  bool case_sensitive = false;    // search words match case
  bool whole_words_only = false;  // a search word does not match inside a longer word
  bool skip_punctuation = false;  // punctuation between words is stepped over
  bool remove_duplicates = false;  // identical lines are kept once
  int32_t min_collocate_frequency = 0;
  TMyCanvasColourRec colours;     // text, selected text, background, selected background
  TColor node_colour = 0;         // the search word in a line
  TColor context_word_colour = 0;
  Tfixed_character_format_rec32 font;
  Tsearch_word32 context_word{};  // context word(s) a line must hold, zero-terminated
  std::array<uint8_t, 82> spare{};
};
static_assert(sizeof(TConcordSettingsRec32) == 512);
static_assert(offsetof(TConcordSettingsRec32, max_entries) == 4 && offsetof(TConcordSettingsRec32, hits_per_file) == 8 &&
              offsetof(TConcordSettingsRec32, chars_per_line) == 12 &&
              offsetof(TConcordSettingsRec32, context_horizon) == 16 &&
              offsetof(TConcordSettingsRec32, collocate_horizon) == 20 &&
              offsetof(TConcordSettingsRec32, context_word_span) == 24 &&
              offsetof(TConcordSettingsRec32, sort_keys) == 26 && offsetof(TConcordSettingsRec32, sort_descending) == 29 &&
              offsetof(TConcordSettingsRec32, case_sensitive) == 32 &&
              offsetof(TConcordSettingsRec32, whole_words_only) == 33 &&
              offsetof(TConcordSettingsRec32, skip_punctuation) == 34 &&
              offsetof(TConcordSettingsRec32, remove_duplicates) == 35 &&
              offsetof(TConcordSettingsRec32, min_collocate_frequency) == 36 &&
              offsetof(TConcordSettingsRec32, colours) == 40 && offsetof(TConcordSettingsRec32, node_colour) == 56 &&
              offsetof(TConcordSettingsRec32, context_word_colour) == 60 && offsetof(TConcordSettingsRec32, font) == 64 &&
              offsetof(TConcordSettingsRec32, context_word) == 268 && offsetof(TConcordSettingsRec32, spare) == 430);

// The concordancer's settings as the 16-bit generation stored them (format versions 1 to 5); 104 bytes.
// Counts were 16-bit, horizons one byte a side, the three descending flags bits 0 to 2 of one byte,
// one highlight colour, and the context word a short string of up to 50 characters.
struct TConcordSettingsRec_old {
  uint16_t max_entries = 0;
  uint16_t hits_per_file = 0;
  uint16_t chars_per_line = 0;
  uint8_t words_left = 0;
  uint8_t words_right = 0;
  TColor node_colour = 0;
  std::array<TConcordance_sort_system, 3> sort_keys{};
  uint8_t descending_bits = 0;  // bit k: level k + 1 descending
  bool case_sensitive = false;
  bool whole_words_only = false;
  Told_fixed_character_format_rec font;
  std::array<uint8_t, 51> context_word{};  // length byte and up to 50 characters
};
static_assert(sizeof(TConcordSettingsRec_old) == 104);
static_assert(offsetof(TConcordSettingsRec_old, hits_per_file) == 2 &&
              offsetof(TConcordSettingsRec_old, chars_per_line) == 4 && offsetof(TConcordSettingsRec_old, words_left) == 6 &&
              offsetof(TConcordSettingsRec_old, words_right) == 7 && offsetof(TConcordSettingsRec_old, node_colour) == 8 &&
              offsetof(TConcordSettingsRec_old, sort_keys) == 12 &&
              offsetof(TConcordSettingsRec_old, descending_bits) == 15 &&
              offsetof(TConcordSettingsRec_old, case_sensitive) == 16 &&
              offsetof(TConcordSettingsRec_old, whole_words_only) == 17 && offsetof(TConcordSettingsRec_old, font) == 18 &&
              offsetof(TConcordSettingsRec_old, context_word) == 53);

// The stored bytes of the current layout, head stamped.
std::array<uint8_t, 512> ConcordSettingsToBytes(const TConcordSettingsRec32& rec);
// The current record from a 16-bit one: counts widened, both horizons from the old one, the
// context-word span the whole horizon (old versions looked for context words anywhere in it), the
// descending bits spread out, the font and context word widened.
TConcordSettingsRec32 ConcordSettingsNewFromOld(const TConcordSettingsRec_old& old);
// Reads concordance settings stored by format version. Fix-ups, whatever the version: negative counts
// become 0; chars_per_line below 1 becomes DefaultConcordCharsPerLine; horizons are held to
// 0..MaxSettingsHorizon; a context-word span off the scale becomes the context horizon, and one whose
// ends are swapped is put in order; a sort key outside the enumeration becomes cs_centre; equal text
// and background colours become the standard colours; the texts are kept zero-terminated.
bool ReadConcordSettings(TStream& stream, TConcordSettingsRec32& rec, int32_t version);

// ---- mutual-information settings ----

// Span either side used when a record gives none (0 and 0 would pair no words at all).
inline constexpr int16_t DefaultMutualSpan = 5;
using TRelationshipStatsSet = TSet<TRelationshipStats, RelationshipStatsCount>;

// The mutual-information (relationships) tool's settings, current layout; 320 bytes.
struct TMutualInfoSettingsRec32 {
  TSettingsRecHead head;
  TRelationshipStats principal_statistic = RelatStat_Dice;  // computed first and sorted on
  bool test_all_procedures = false;   // a pair must pass every enabled measure (else any one)
  bool test_all_words = false;        // with any-one, go on testing after a failing measure
  bool stop_at_sentence_end = false;  // pairs do not reach across sentence ends
  TRelationshipStatsSet enabled;      // measures whose thresholds take part
  Tdouble_smallint span{};            // words to the left and right of a node
  std::array<uint8_t, 2> align{};
  int32_t min_word_frequency = 0;     // least frequency of each word of a pair
  int32_t min_pair_frequency = 0;     // least times the two occur together
  int32_t max_pairs = 0;              // most pairs kept; 0: no limit
  int32_t spare_int = 0;
  std::array<double, RelationshipStatsCount> thresholds{};  // indexed by TRelationshipStats
  Tsearch_word32 search_string{};     // only pairs holding this word, when given
  std::array<uint8_t, 38> spare{};
};
static_assert(sizeof(TMutualInfoSettingsRec32) == 320);
static_assert(offsetof(TMutualInfoSettingsRec32, principal_statistic) == 4 &&
              offsetof(TMutualInfoSettingsRec32, test_all_procedures) == 5 &&
              offsetof(TMutualInfoSettingsRec32, test_all_words) == 6 &&
              offsetof(TMutualInfoSettingsRec32, stop_at_sentence_end) == 7 &&
              offsetof(TMutualInfoSettingsRec32, enabled) == 8 && offsetof(TMutualInfoSettingsRec32, span) == 10 &&
              offsetof(TMutualInfoSettingsRec32, min_word_frequency) == 16 &&
              offsetof(TMutualInfoSettingsRec32, min_pair_frequency) == 20 &&
              offsetof(TMutualInfoSettingsRec32, max_pairs) == 24 && offsetof(TMutualInfoSettingsRec32, spare_int) == 28 &&
              offsetof(TMutualInfoSettingsRec32, thresholds) == 32 &&
              offsetof(TMutualInfoSettingsRec32, search_string) == 120 && offsetof(TMutualInfoSettingsRec32, spare) == 282);

// The measures of the 16-bit generation, in their old order: old ordinal k is OldMutualStatistics[k].
inline constexpr std::array<TRelationshipStats, 4> OldMutualStatistics = {RelatStat_MI, RelatStat_Z,
                                                                          RelatStat_log_likelihood, RelatStat_T_Score};

// Mutual-information settings as the 16-bit generation stored them (format versions 1 to 5); 28 bytes.
// Four measures (OldMutualStatistics) with 32-bit float thresholds, 16-bit counts, one byte a side.
struct TMutualInfoSettingsRec_old {
  uint8_t statistic = 0;     // old ordinal of the principal measure
  uint8_t enabled_bits = 0;  // bit k: old measure k takes part
  uint8_t span_left = 0;
  uint8_t span_right = 0;
  uint16_t min_word_frequency = 0;
  uint16_t min_pair_frequency = 0;
  std::array<float, 4> thresholds{};  // in the old order
  uint16_t max_pairs = 0;
  bool stop_at_sentence_end = false;
  bool test_all_procedures = false;
};
static_assert(sizeof(TMutualInfoSettingsRec_old) == 28);
static_assert(offsetof(TMutualInfoSettingsRec_old, enabled_bits) == 1 &&
              offsetof(TMutualInfoSettingsRec_old, span_left) == 2 && offsetof(TMutualInfoSettingsRec_old, span_right) == 3 &&
              offsetof(TMutualInfoSettingsRec_old, min_word_frequency) == 4 &&
              offsetof(TMutualInfoSettingsRec_old, min_pair_frequency) == 6 &&
              offsetof(TMutualInfoSettingsRec_old, thresholds) == 8 && offsetof(TMutualInfoSettingsRec_old, max_pairs) == 24 &&
              offsetof(TMutualInfoSettingsRec_old, stop_at_sentence_end) == 26 &&
              offsetof(TMutualInfoSettingsRec_old, test_all_procedures) == 27);

// The stored bytes of the current layout, head stamped.
std::array<uint8_t, 320> MutualInfoSettingsToBytes(const TMutualInfoSettingsRec32& rec);
// The current record from a 16-bit one: each old measure moved to its place in TRelationshipStats with
// its threshold widened, an unknown old principal measure taken as RelatStat_MI, counts widened.
TMutualInfoSettingsRec32 MutualInfoSettingsNewFromOld(const TMutualInfoSettingsRec_old& old);
// Reads mutual-information settings stored by format version. Fix-ups, whatever the version: a principal
// measure outside the enumeration becomes RelatStat_MI; set bits beyond the measures are dropped; each
// span side is held to 0..MaxSettingsHorizon, and a span of 0 and 0 becomes DefaultMutualSpan either
// side; a threshold that is not a finite number becomes 0; negative counts become 0; the search string
// is kept zero-terminated.
bool ReadMutualInfoSettings(TStream& stream, TMutualInfoSettingsRec32& rec, int32_t version);
// The threshold record that PassesRelationshipThresholdTests takes, from the settings (thresholds as
// 32-bit floats; search_needed when a search string is given).
TCogridMutualChecks MutualChecksFromSettings(const TMutualInfoSettingsRec32& rec);

// ---- key-word settings ----

// How a word's keyness is computed against the reference corpus.
enum TKeyWordProcedure : uint8_t { kwp_chi_square, kwp_log_likelihood, kwp_log_ratio };
// The p value a record falls back on when it holds none that makes sense.
inline constexpr double DefaultKeyWordPValue = 0.000001;

// The key-word tool's settings, current layout; 640 bytes.
struct TKeyWordSettingsRec32 {
  TSettingsRecHead head;
  TKeyWordProcedure procedure_kind = kwp_chi_square;
  bool include_negative = false;  // also words unusually rare in the text
  bool case_sensitive = false;
  uint8_t align = 0;
  double p_value = 0;               // largest p value of a key word
  int32_t min_frequency = 0;        // least frequency in the text
  int32_t max_wanted = 0;           // most key words kept; 0: no limit
  int64_t reference_corpus_words = 0;  // running words of the reference corpus
  int32_t min_texts = 0;            // least texts a key word is key in, for key key-words
  int32_t spare_int = 0;
  std::array<char16_t, 261> reference_file{};  // the reference word list, zero-terminated
  std::array<uint8_t, 78> spare{};
};
static_assert(sizeof(TKeyWordSettingsRec32) == 640);
static_assert(offsetof(TKeyWordSettingsRec32, procedure_kind) == 4 && offsetof(TKeyWordSettingsRec32, include_negative) == 5 &&
              offsetof(TKeyWordSettingsRec32, case_sensitive) == 6 && offsetof(TKeyWordSettingsRec32, p_value) == 8 &&
              offsetof(TKeyWordSettingsRec32, min_frequency) == 16 && offsetof(TKeyWordSettingsRec32, max_wanted) == 20 &&
              offsetof(TKeyWordSettingsRec32, reference_corpus_words) == 24 &&
              offsetof(TKeyWordSettingsRec32, min_texts) == 32 && offsetof(TKeyWordSettingsRec32, spare_int) == 36 &&
              offsetof(TKeyWordSettingsRec32, reference_file) == 40 && offsetof(TKeyWordSettingsRec32, spare) == 562);

// Key-word settings of the first 32-bit generation (format version 5); 288 bytes, head included.
// The reference word count was 32-bit and the file name a short string of up to 255 characters.
struct TKeyWordSettingsRec_v5 {
  TSettingsRecHead head;
  TKeyWordProcedure procedure_kind = kwp_chi_square;
  bool include_negative = false;
  std::array<uint8_t, 2> align{};
  double p_value = 0;
  int32_t min_frequency = 0;
  int32_t max_wanted = 0;
  int32_t reference_corpus_words = 0;
  std::array<uint8_t, 256> reference_file{};  // length byte and up to 255 characters
  std::array<uint8_t, 4> spare{};
};
static_assert(sizeof(TKeyWordSettingsRec_v5) == 288);
static_assert(offsetof(TKeyWordSettingsRec_v5, procedure_kind) == 4 &&
              offsetof(TKeyWordSettingsRec_v5, include_negative) == 5 && offsetof(TKeyWordSettingsRec_v5, p_value) == 8 &&
              offsetof(TKeyWordSettingsRec_v5, min_frequency) == 16 && offsetof(TKeyWordSettingsRec_v5, max_wanted) == 20 &&
              offsetof(TKeyWordSettingsRec_v5, reference_corpus_words) == 24 &&
              offsetof(TKeyWordSettingsRec_v5, reference_file) == 28 && offsetof(TKeyWordSettingsRec_v5, spare) == 284);

// Key-word settings of the 16-bit generation (format versions 1 to 4); 96 bytes. Counts were 16-bit,
// the p value a 32-bit float and the file name a short string of up to 79 characters.
struct TKeyWordSettingsRec_old {
  TKeyWordProcedure procedure_kind = kwp_chi_square;
  uint8_t align1 = 0;
  uint16_t min_frequency = 0;
  uint16_t max_wanted = 0;
  uint16_t align2 = 0;
  float p_value = 0;
  int32_t reference_corpus_words = 0;
  std::array<uint8_t, 80> reference_file{};  // length byte and up to 79 characters
};
static_assert(sizeof(TKeyWordSettingsRec_old) == 96);
static_assert(offsetof(TKeyWordSettingsRec_old, min_frequency) == 2 && offsetof(TKeyWordSettingsRec_old, max_wanted) == 4 &&
              offsetof(TKeyWordSettingsRec_old, p_value) == 8 &&
              offsetof(TKeyWordSettingsRec_old, reference_corpus_words) == 12 &&
              offsetof(TKeyWordSettingsRec_old, reference_file) == 16);

// The stored bytes of the current layout, head stamped.
std::array<uint8_t, 640> KeyWordSettingsToBytes(const TKeyWordSettingsRec32& rec);
// The current record from either earlier layout: fields copied and widened, the file name widened
// from the system code page.
TKeyWordSettingsRec32 KeyWordSettingsNewFromV5(const TKeyWordSettingsRec_v5& old);
TKeyWordSettingsRec32 KeyWordSettingsNewFromOld(const TKeyWordSettingsRec_old& old);
// Reads key-word settings stored by format version (5: the first 32-bit layout; for an unnamed
// version the head tells the current and the format-5 layouts from the 16-bit one). Fix-ups, whatever
// the version: a procedure outside the enumeration becomes kwp_log_likelihood; a p value that is not in
// (0, 1] becomes DefaultKeyWordPValue; negative counts become 0; the file name is kept zero-terminated.
bool ReadKeyWordSettings(TStream& stream, TKeyWordSettingsRec32& rec, int32_t version);

// ---- grid headings ----

inline constexpr int32_t GridHeadingsCapacity = 40;     // columns a current record holds
inline constexpr int32_t OldGridHeadingsCapacity = 20;  // columns a 16-bit record held

// The column headings of a list grid, current layout; 5312 bytes.
struct TGridHeadingsRec32 {
  TSettingsRecHead head;
  TGrid_alternatives grid = grid_concordance;  // the grid the headings belong to
  uint8_t align = 0;
  int16_t count = 0;  // columns in use
  std::array<std::array<char16_t, 64>, GridHeadingsCapacity> headings{};  // zero-terminated
  std::array<int16_t, GridHeadingsCapacity> widths{};  // in pixels; 0: the grid's default
  std::array<bool, GridHeadingsCapacity> visible{};
  std::array<uint8_t, 64> spare{};
};
static_assert(sizeof(TGridHeadingsRec32) == 5312);
static_assert(offsetof(TGridHeadingsRec32, grid) == 4 && offsetof(TGridHeadingsRec32, count) == 6 &&
              offsetof(TGridHeadingsRec32, headings) == 8 && offsetof(TGridHeadingsRec32, widths) == 5128 &&
              offsetof(TGridHeadingsRec32, visible) == 5208 && offsetof(TGridHeadingsRec32, spare) == 5248);

// The headings of a list grid as the 16-bit generation stored them (format versions 1 to 5); 682
// bytes: a count, 20 short strings of up to 31 characters and 20 widths. Old records did not say
// which grid they belonged to, nor hide columns.
struct TGridHeadingsRec_old {
  int16_t count = 0;
  std::array<std::array<uint8_t, 32>, OldGridHeadingsCapacity> headings{};  // length byte and characters
  std::array<int16_t, OldGridHeadingsCapacity> widths{};
};
static_assert(sizeof(TGridHeadingsRec_old) == 682);
static_assert(offsetof(TGridHeadingsRec_old, headings) == 2 && offsetof(TGridHeadingsRec_old, widths) == 642);

// The stored bytes of the current layout, head stamped.
std::array<uint8_t, 5312> GridHeadingsToBytes(const TGridHeadingsRec32& rec);
// The current record from a 16-bit one: the headings widened, widths copied, the columns in use
// visible, the grid grid_none (not known).
TGridHeadingsRec32 GridHeadingsNewFromOld(const TGridHeadingsRec_old& old);
// Reads grid headings stored by format version. Fix-ups, whatever the version: count held to
// 0..GridHeadingsCapacity; a grid outside the enumeration becomes grid_none; negative widths become 0;
// the headings are kept zero-terminated.
bool ReadGridHeadings(TStream& stream, TGridHeadingsRec32& rec, int32_t version);
// The heading of column col; empty outside 0..count - 1.
UnicodeString GridHeading(const TGridHeadingsRec32& rec, int32_t col);
// Sets the heading of column col (cut to 63 units), raising count to take it in; ignored outside
// 0..GridHeadingsCapacity - 1.
void SetGridHeading(TGridHeadingsRec32& rec, int32_t col, std::u16string_view s);

// ---- per-text statistics ----

inline constexpr int32_t WordLengthCounts = 20;  // words of 1 to 19 letters, then 20 or more
// Words per chunk of the standardised type/token ratio when a record gives none.
inline constexpr int32_t DefaultStdTTRBasis = 1000;

// One text's statistics as the word lister keeps them, current layout; 352 bytes.
struct TPerTextStatsRec32 {
  TSettingsRecHead head;
  int32_t std_ttr_basis = 0;  // words per chunk of the standardised type/token ratio
  int64_t bytes = 0;
  int64_t tokens = 0;         // running words
  int64_t types = 0;          // distinct words
  int64_t sentences = 0;
  int64_t paragraphs = 0;
  int64_t headings = 0;
  int64_t sections = 0;
  int64_t numbers_removed = 0;
  int64_t stoplist_tokens = 0;  // running words left out by a stop list
  double ttr = 0;               // types per 100 tokens
  double std_ttr = 0;
  double std_ttr_sd = 0;
  double mean_word_length = 0;  // in characters
  double sd_word_length = 0;
  double mean_sentence_length = 0;  // in words
  double sd_sentence_length = 0;
  std::array<int64_t, WordLengthCounts> word_length_counts{};  // index k: words of k + 1 letters
  double text_date = 0;  // the text's date as a Julian value; 0: none
  std::array<uint8_t, 48> spare{};
};
static_assert(sizeof(TPerTextStatsRec32) == 352);
static_assert(offsetof(TPerTextStatsRec32, std_ttr_basis) == 4 && offsetof(TPerTextStatsRec32, bytes) == 8 &&
              offsetof(TPerTextStatsRec32, tokens) == 16 && offsetof(TPerTextStatsRec32, types) == 24 &&
              offsetof(TPerTextStatsRec32, sentences) == 32 && offsetof(TPerTextStatsRec32, paragraphs) == 40 &&
              offsetof(TPerTextStatsRec32, headings) == 48 && offsetof(TPerTextStatsRec32, sections) == 56 &&
              offsetof(TPerTextStatsRec32, numbers_removed) == 64 &&
              offsetof(TPerTextStatsRec32, stoplist_tokens) == 72 && offsetof(TPerTextStatsRec32, ttr) == 80 &&
              offsetof(TPerTextStatsRec32, std_ttr) == 88 && offsetof(TPerTextStatsRec32, std_ttr_sd) == 96 &&
              offsetof(TPerTextStatsRec32, mean_word_length) == 104 &&
              offsetof(TPerTextStatsRec32, sd_word_length) == 112 &&
              offsetof(TPerTextStatsRec32, mean_sentence_length) == 120 &&
              offsetof(TPerTextStatsRec32, sd_sentence_length) == 128 &&
              offsetof(TPerTextStatsRec32, word_length_counts) == 136 && offsetof(TPerTextStatsRec32, text_date) == 296 &&
              offsetof(TPerTextStatsRec32, spare) == 304);

// One text's statistics as older versions stored them (format versions 1 to 5); 128 bytes: 32-bit
// counts, 32-bit float ratios and means, no sections, spreads, stop-list count or date.
struct TPerTextStatsRec_old {
  int32_t bytes = 0;
  int32_t tokens = 0;
  int32_t types = 0;
  int32_t sentences = 0;
  int32_t paragraphs = 0;
  int32_t headings = 0;
  int32_t numbers_removed = 0;
  float ttr = 0;
  float std_ttr = 0;
  int16_t std_ttr_basis = 0;
  std::array<uint8_t, 2> align{};
  float mean_word_length = 0;
  float mean_sentence_length = 0;
  std::array<int32_t, WordLengthCounts> word_length_counts{};
};
static_assert(sizeof(TPerTextStatsRec_old) == 128);
static_assert(offsetof(TPerTextStatsRec_old, tokens) == 4 && offsetof(TPerTextStatsRec_old, types) == 8 &&
              offsetof(TPerTextStatsRec_old, sentences) == 12 && offsetof(TPerTextStatsRec_old, paragraphs) == 16 &&
              offsetof(TPerTextStatsRec_old, headings) == 20 && offsetof(TPerTextStatsRec_old, numbers_removed) == 24 &&
              offsetof(TPerTextStatsRec_old, ttr) == 28 && offsetof(TPerTextStatsRec_old, std_ttr) == 32 &&
              offsetof(TPerTextStatsRec_old, std_ttr_basis) == 36 &&
              offsetof(TPerTextStatsRec_old, mean_word_length) == 40 &&
              offsetof(TPerTextStatsRec_old, mean_sentence_length) == 44 &&
              offsetof(TPerTextStatsRec_old, word_length_counts) == 48);

// The stored bytes of the current layout, head stamped.
std::array<uint8_t, 352> PerTextStatsToBytes(const TPerTextStatsRec32& rec);
// The current record from an old one. Counts are never negative, so a 32-bit count past 2^31 is
// taken as the unsigned value it wrapped into (texts of 2 to 4 GB); floats are widened.
TPerTextStatsRec32 PerTextStatsNewFromOld(const TPerTextStatsRec_old& old);
// Reads per-text statistics stored by format version. Fix-ups, whatever the version: negative counts
// become 0; a ratio, mean or spread that is negative or not a finite number becomes 0; a type/token
// ratio of 0 with words counted is worked out from types and tokens; std_ttr_basis below 1 becomes
// DefaultStdTTRBasis.
bool ReadPerTextStats(TStream& stream, TPerTextStatsRec32& rec, int32_t version);

}  // namespace kx8
