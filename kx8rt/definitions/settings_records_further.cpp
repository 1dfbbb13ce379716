#include "kx8rt/definitions/settings_records_further.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <utility>

#include "kx8rt/platform/code_pages.h"

namespace kx8 {

namespace {

// Which layout a format version names outright (see the header).
enum class TGeneration { sixteen_bit, first_32, current, unnamed };

TGeneration GenerationOf(int32_t version) {
  if (version >= 1 && version <= 4) return TGeneration::sixteen_bit;
  if (version == 5) return TGeneration::first_32;
  if (version == 6 || version == 7 || (version >= 18 && version <= 255)) return TGeneration::current;
  return TGeneration::unnamed;
}

// The head at the stream's position, the stream put back; zero when fewer than four bytes follow.
TSettingsRecHead PeekHead(TStream& stream) {
  const int64_t at = stream.Position();
  uint8_t b[4];
  const bool whole = ReadRecordBytes(stream, b, 4);
  stream.SetPosition(at);
  if (!whole) return {};
  return {static_cast<uint16_t>(b[0] | b[1] << 8), static_cast<uint16_t>(b[2] | b[3] << 8)};
}

template <typename Rec>
bool HeadNames(const TSettingsRecHead& h) {
  return h.rec_mark == SettingsRecMark && h.rec_size == sizeof(Rec);
}

// Runs of Boolean bytes in a layout: (offset, count).
using TBoolRuns = std::initializer_list<std::pair<size_t, size_t>>;

// Reads one layout whole (zeros after a short read), normalising its Boolean bytes first, since a bool
// may only hold 0 or 1.
template <typename Rec>
bool ReadLayout(TStream& stream, Rec& rec, TBoolRuns bools) {
  static_assert(std::is_trivially_copyable_v<Rec>);
  uint8_t raw[sizeof(Rec)];
  const bool ok = ReadRecordBytes(stream, raw, static_cast<int32_t>(sizeof(Rec)));
  for (const auto& [at, n] : bools)
    for (size_t k = at; k < at + n; ++k) raw[k] = raw[k] != 0;
  std::memcpy(&rec, raw, sizeof(Rec));
  return ok;
}

template <typename Rec>
std::array<uint8_t, sizeof(Rec)> LayoutToBytes(Rec rec) {
  rec.head = {static_cast<uint16_t>(sizeof(Rec)), SettingsRecMark};
  std::array<uint8_t, sizeof(Rec)> b{};
  std::memcpy(b.data(), &rec, sizeof(Rec));
  return b;
}

template <typename Rec>
void StampHead(Rec& rec) {
  rec.head = {static_cast<uint16_t>(sizeof(Rec)), SettingsRecMark};
}

// A length-prefixed 8-bit text of a fixed field (length byte included in N), widened from the system
// code page into a fixed text; a length byte larger than the field is held to it.
template <size_t N, size_t M>
void WidenShortString(const std::array<uint8_t, N>& src, std::array<char16_t, M>& dst) {
  const size_t n = std::min<size_t>(src[0], N - 1);
  SetFixedUnicodeText(dst, AnsiToUnicode(std::string_view(reinterpret_cast<const char*>(src.data() + 1), n)));
}

template <typename T>
void NotNegative(T& v) {
  if (v < 0) v = 0;
}

template <typename T>
T Clamped(T v, T lo, T hi) {
  return std::min(std::max(v, lo), hi);
}

void KeepTerminated(char16_t* units, size_t n) { units[n - 1] = 0; }

// Spans in order and on the scale; horizons held to the longest the scale has.
void FixHorizon(Tdouble_smallint& h) {
  h.to_left = Clamped<int16_t>(h.to_left, 0, MaxSettingsHorizon);
  h.to_right = Clamped<int16_t>(h.to_right, 0, MaxSettingsHorizon);
}

Tdouble_colloc_span SpanOfHorizon(const Tdouble_smallint& h) {
  const auto [l, r] = HorizonsToConcSpans(h);
  return {l, r};
}

// ---- concordance settings ----

constexpr TBoolRuns kConcordBools = {{offsetof(TConcordSettingsRec32, sort_descending), 7}};
constexpr TBoolRuns kConcordOldBools = {{offsetof(TConcordSettingsRec_old, case_sensitive), 2}};

void FixConcordSettings(TConcordSettingsRec32& r) {
  StampHead(r);
  NotNegative(r.max_entries);
  NotNegative(r.hits_per_file);
  NotNegative(r.min_collocate_frequency);
  if (r.chars_per_line < 1) r.chars_per_line = DefaultConcordCharsPerLine;
  FixHorizon(r.context_horizon);
  FixHorizon(r.collocate_horizon);
  Tdouble_colloc_span& s = r.context_word_span;
  if (s.leftmost > span_R51 || s.rightmost > span_R51) s = SpanOfHorizon(r.context_horizon);
  if (s.leftmost > s.rightmost) std::swap(s.leftmost, s.rightmost);
  for (auto& key : r.sort_keys)
    if (key > cs_byte_position) key = cs_centre;
  if (r.colours[cc_text] == r.colours[cc_background]) r.colours = BogStandardColours;
  KeepTerminated(r.font.fontname.data(), r.font.fontname.size());
  KeepTerminated(r.context_word.data(), r.context_word.size());
}

// ---- mutual-information settings ----

constexpr TBoolRuns kMutualBools = {{offsetof(TMutualInfoSettingsRec32, test_all_procedures), 3}};
constexpr TBoolRuns kMutualOldBools = {{offsetof(TMutualInfoSettingsRec_old, stop_at_sentence_end), 2}};

void FixMutualInfoSettings(TMutualInfoSettingsRec32& r) {
  StampHead(r);
  if (r.principal_statistic > RelatStat_DeltaPB) r.principal_statistic = RelatStat_MI;
  r.enabled = TRelationshipStatsSet::FromBits(r.enabled.ToBits());
  FixHorizon(r.span);
  if (r.span.to_left == 0 && r.span.to_right == 0) r.span = {DefaultMutualSpan, DefaultMutualSpan};
  for (double& t : r.thresholds)
    if (!std::isfinite(t)) t = 0;
  NotNegative(r.min_word_frequency);
  NotNegative(r.min_pair_frequency);
  NotNegative(r.max_pairs);
  KeepTerminated(r.search_string.data(), r.search_string.size());
}

// ---- key-word settings ----

constexpr TBoolRuns kKeyWordBools = {{offsetof(TKeyWordSettingsRec32, include_negative), 2}};
constexpr TBoolRuns kKeyWordV5Bools = {{offsetof(TKeyWordSettingsRec_v5, include_negative), 1}};

void FixKeyWordSettings(TKeyWordSettingsRec32& r) {
  StampHead(r);
  if (r.procedure_kind > kwp_log_ratio) r.procedure_kind = kwp_log_likelihood;
  // Written so that NaN fails too.
  if (!(r.p_value > 0 && r.p_value <= 1)) r.p_value = DefaultKeyWordPValue;
  NotNegative(r.min_frequency);
  NotNegative(r.max_wanted);
  NotNegative(r.reference_corpus_words);
  NotNegative(r.min_texts);
  KeepTerminated(r.reference_file.data(), r.reference_file.size());
}

// ---- grid headings ----

constexpr TBoolRuns kGridBools = {{offsetof(TGridHeadingsRec32, visible), GridHeadingsCapacity}};

void FixGridHeadings(TGridHeadingsRec32& r) {
  StampHead(r);
  r.count = Clamped<int16_t>(r.count, 0, GridHeadingsCapacity);
  if (r.grid > grid_none) r.grid = grid_none;
  for (auto& w : r.widths) NotNegative(w);
  for (auto& h : r.headings) KeepTerminated(h.data(), h.size());
}

// ---- per-text statistics ----

void FixPerTextStats(TPerTextStatsRec32& r) {
  StampHead(r);
  for (int64_t* c : {&r.bytes, &r.tokens, &r.types, &r.sentences, &r.paragraphs, &r.headings, &r.sections,
                     &r.numbers_removed, &r.stoplist_tokens})
    NotNegative(*c);
  for (auto& c : r.word_length_counts) NotNegative(c);
  for (double* d : {&r.ttr, &r.std_ttr, &r.std_ttr_sd, &r.mean_word_length, &r.sd_word_length,
                    &r.mean_sentence_length, &r.sd_sentence_length})
    if (!std::isfinite(*d) || *d < 0) *d = 0;
  if (!std::isfinite(r.text_date)) r.text_date = 0;
  if (r.ttr == 0 && r.tokens > 0) r.ttr = static_cast<double>(r.types) * 100.0 / static_cast<double>(r.tokens);
  if (r.std_ttr_basis < 1) r.std_ttr_basis = DefaultStdTTRBasis;
}

// The reading every record of two layouts shares: the version (or, for a version no table names, the
// record's head) picks the current layout or the old one, which is converted; the fix-ups follow.
template <typename Current, typename Old>
bool ReadCurrentOrOld(TStream& stream, Current& rec, int32_t version, TBoolRuns currentBools, TBoolRuns oldBools,
                      Current (*newFromOld)(const Old&), void (*fix)(Current&)) {
  rec = Current{};
  TGeneration g = GenerationOf(version);
  if (g == TGeneration::unnamed)
    g = HeadNames<Current>(PeekHead(stream)) ? TGeneration::current : TGeneration::sixteen_bit;
  bool ok;
  if (g == TGeneration::current) {
    ok = ReadLayout(stream, rec, currentBools);
  } else {
    Old old;
    ok = ReadLayout(stream, old, oldBools);
    rec = newFromOld(old);
  }
  fix(rec);
  return ok;
}

}  // namespace

// ---- concordance settings ----

std::array<uint8_t, 512> ConcordSettingsToBytes(const TConcordSettingsRec32& rec) { return LayoutToBytes(rec); }

TConcordSettingsRec32 ConcordSettingsNewFromOld(const TConcordSettingsRec_old& old) {
  TConcordSettingsRec32 r;
  r.max_entries = old.max_entries;
  r.hits_per_file = old.hits_per_file;
  r.chars_per_line = old.chars_per_line;
  r.context_horizon = {static_cast<int16_t>(old.words_left), static_cast<int16_t>(old.words_right)};
  FixHorizon(r.context_horizon);
  r.collocate_horizon = r.context_horizon;
  r.context_word_span = SpanOfHorizon(r.context_horizon);
  r.sort_keys = old.sort_keys;
  for (size_t k = 0; k < 3; ++k) r.sort_descending[k] = (old.descending_bits >> k) & 1;
  r.case_sensitive = old.case_sensitive;
  r.whole_words_only = old.whole_words_only;
  r.node_colour = old.node_colour;
  r.font = New_WinFontFromOldWin_Font(old.font);
  WidenShortString(old.context_word, r.context_word);
  return r;
}

bool ReadConcordSettings(TStream& stream, TConcordSettingsRec32& rec, int32_t version) {
  // The old layout is the 16-bit one, which the first 32-bit generation still wrote.
  return ReadCurrentOrOld<TConcordSettingsRec32, TConcordSettingsRec_old>(
      stream, rec, version, kConcordBools, kConcordOldBools, ConcordSettingsNewFromOld, FixConcordSettings);
}

// ---- mutual-information settings ----

std::array<uint8_t, 320> MutualInfoSettingsToBytes(const TMutualInfoSettingsRec32& rec) { return LayoutToBytes(rec); }

TMutualInfoSettingsRec32 MutualInfoSettingsNewFromOld(const TMutualInfoSettingsRec_old& old) {
  TMutualInfoSettingsRec32 r;
  r.principal_statistic = old.statistic < OldMutualStatistics.size() ? OldMutualStatistics[old.statistic] : RelatStat_MI;
  for (size_t k = 0; k < OldMutualStatistics.size(); ++k) {
    const TRelationshipStats stat = OldMutualStatistics[k];
    if ((old.enabled_bits >> k) & 1) r.enabled.Include(stat);
    r.thresholds[stat] = old.thresholds[k];
  }
  r.span = {static_cast<int16_t>(old.span_left), static_cast<int16_t>(old.span_right)};
  r.min_word_frequency = old.min_word_frequency;
  r.min_pair_frequency = old.min_pair_frequency;
  r.max_pairs = old.max_pairs;
  r.stop_at_sentence_end = old.stop_at_sentence_end;
  r.test_all_procedures = old.test_all_procedures;
  return r;
}

bool ReadMutualInfoSettings(TStream& stream, TMutualInfoSettingsRec32& rec, int32_t version) {
  return ReadCurrentOrOld<TMutualInfoSettingsRec32, TMutualInfoSettingsRec_old>(
      stream, rec, version, kMutualBools, kMutualOldBools, MutualInfoSettingsNewFromOld, FixMutualInfoSettings);
}

TCogridMutualChecks MutualChecksFromSettings(const TMutualInfoSettingsRec32& rec) {
  TCogridMutualChecks c{};
  c.search_needed = rec.search_string[0] != 0;
  c.test_all_procedures = rec.test_all_procedures;
  c.test_all_words = rec.test_all_words;
  for (int k = 0; k < RelationshipStatsCount; ++k) {
    c.proc_settings[k].enabled = rec.enabled.Contains(static_cast<TRelationshipStats>(k));
    c.proc_settings[k].threshold = static_cast<float>(rec.thresholds[k]);
  }
  SetCogridSearchString(c, FixedUnicodeText(rec.search_string));
  return c;
}

// ---- key-word settings ----

std::array<uint8_t, 640> KeyWordSettingsToBytes(const TKeyWordSettingsRec32& rec) { return LayoutToBytes(rec); }

TKeyWordSettingsRec32 KeyWordSettingsNewFromV5(const TKeyWordSettingsRec_v5& old) {
  TKeyWordSettingsRec32 r;
  r.procedure_kind = old.procedure_kind;
  r.include_negative = old.include_negative;
  r.p_value = old.p_value;
  r.min_frequency = old.min_frequency;
  r.max_wanted = old.max_wanted;
  r.reference_corpus_words = old.reference_corpus_words;
  WidenShortString(old.reference_file, r.reference_file);
  return r;
}

TKeyWordSettingsRec32 KeyWordSettingsNewFromOld(const TKeyWordSettingsRec_old& old) {
  TKeyWordSettingsRec32 r;
  r.procedure_kind = old.procedure_kind;
  r.p_value = old.p_value;
  r.min_frequency = old.min_frequency;
  r.max_wanted = old.max_wanted;
  r.reference_corpus_words = old.reference_corpus_words;
  WidenShortString(old.reference_file, r.reference_file);
  return r;
}

bool ReadKeyWordSettings(TStream& stream, TKeyWordSettingsRec32& rec, int32_t version) {
  rec = TKeyWordSettingsRec32{};
  TGeneration g = GenerationOf(version);
  if (g == TGeneration::unnamed) {
    const TSettingsRecHead h = PeekHead(stream);
    g = HeadNames<TKeyWordSettingsRec32>(h)    ? TGeneration::current
        : HeadNames<TKeyWordSettingsRec_v5>(h) ? TGeneration::first_32
                                               : TGeneration::sixteen_bit;
  }
  bool ok;
  if (g == TGeneration::current) {
    ok = ReadLayout(stream, rec, kKeyWordBools);
  } else if (g == TGeneration::first_32) {
    TKeyWordSettingsRec_v5 old;
    ok = ReadLayout(stream, old, kKeyWordV5Bools);
    rec = KeyWordSettingsNewFromV5(old);
  } else {
    TKeyWordSettingsRec_old old;
    ok = ReadLayout(stream, old, {});
    rec = KeyWordSettingsNewFromOld(old);
  }
  FixKeyWordSettings(rec);
  return ok;
}

// ---- grid headings ----

std::array<uint8_t, 5312> GridHeadingsToBytes(const TGridHeadingsRec32& rec) { return LayoutToBytes(rec); }

TGridHeadingsRec32 GridHeadingsNewFromOld(const TGridHeadingsRec_old& old) {
  TGridHeadingsRec32 r;
  r.grid = grid_none;
  r.count = Clamped<int16_t>(old.count, 0, OldGridHeadingsCapacity);
  for (size_t k = 0; k < OldGridHeadingsCapacity; ++k) {
    WidenShortString(old.headings[k], r.headings[k]);
    r.widths[k] = old.widths[k];
    r.visible[k] = static_cast<int32_t>(k) < r.count;
  }
  return r;
}

bool ReadGridHeadings(TStream& stream, TGridHeadingsRec32& rec, int32_t version) {
  return ReadCurrentOrOld<TGridHeadingsRec32, TGridHeadingsRec_old>(stream, rec, version, kGridBools, {},
                                                                    GridHeadingsNewFromOld, FixGridHeadings);
}

UnicodeString GridHeading(const TGridHeadingsRec32& rec, int32_t col) {
  if (col < 0 || col >= rec.count || col >= GridHeadingsCapacity) return {};
  return FixedUnicodeText(rec.headings[static_cast<size_t>(col)]);
}

void SetGridHeading(TGridHeadingsRec32& rec, int32_t col, std::u16string_view s) {
  if (col < 0 || col >= GridHeadingsCapacity) return;
  SetFixedUnicodeText(rec.headings[static_cast<size_t>(col)], s);
  if (rec.count <= col) rec.count = static_cast<int16_t>(col + 1);
}

// ---- per-text statistics ----

std::array<uint8_t, 352> PerTextStatsToBytes(const TPerTextStatsRec32& rec) { return LayoutToBytes(rec); }

TPerTextStatsRec32 PerTextStatsNewFromOld(const TPerTextStatsRec_old& old) {
  auto wide = [](int32_t v) { return static_cast<int64_t>(static_cast<uint32_t>(v)); };
  TPerTextStatsRec32 r;
  r.bytes = wide(old.bytes);
  r.tokens = wide(old.tokens);
  r.types = wide(old.types);
  r.sentences = wide(old.sentences);
  r.paragraphs = wide(old.paragraphs);
  r.headings = wide(old.headings);
  r.numbers_removed = wide(old.numbers_removed);
  r.ttr = old.ttr;
  r.std_ttr = old.std_ttr;
  r.std_ttr_basis = old.std_ttr_basis;
  r.mean_word_length = old.mean_word_length;
  r.mean_sentence_length = old.mean_sentence_length;
  for (size_t k = 0; k < WordLengthCounts; ++k) r.word_length_counts[k] = wide(old.word_length_counts[k]);
  return r;
}

bool ReadPerTextStats(TStream& stream, TPerTextStatsRec32& rec, int32_t version) {
  return ReadCurrentOrOld<TPerTextStatsRec32, TPerTextStatsRec_old>(stream, rec, version, {}, {},
                                                                    PerTextStatsNewFromOld, FixPerTextStats);
}

}  // namespace kx8
