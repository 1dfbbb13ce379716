#include "kx8rt/definitions/settings_records_further.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "kx8rt/containers/stream_fields.h"

namespace kx8 {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) { PutLE32(b.data() + at, v); }
void PutFloat(Bytes& b, size_t at, float f) { PutLE32(b.data() + at, FloatBits(f)); }
void PutDouble(Bytes& b, size_t at, double d) { PutLE64(b.data() + at, DoubleBits(d)); }
void PutShort(Bytes& b, size_t at, std::string_view s) {
  b[at] = static_cast<uint8_t>(s.size());
  std::memcpy(b.data() + at + 1, s.data(), s.size());
}
void PutHead(Bytes& b) {
  Put16(b, 0, static_cast<uint16_t>(b.size()));
  b[2] = 'K';
  b[3] = 'X';
}
template <size_t N>
Bytes Of(const std::array<uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}
TBytesStream StreamOf(const Bytes& v) { return TBytesStream(TBytes(v.begin(), v.end())); }
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---- images of the older layouts, built byte by byte ----

Bytes OldConcordImage() {
  Bytes b(104, 0);
  Put16(b, 0, 60000);  // past the signed 16-bit range
  Put16(b, 2, 25);
  Put16(b, 4, 120);
  b[6] = 5;
  b[7] = 70;  // past the scale: held to 50
  Put32(b, 8, 0x0000FF);
  b[12] = cs_right1;
  b[13] = cs_left2;
  b[14] = cs_filename;
  b[15] = 0b101;  // levels 1 and 3 descending
  b[16] = 2;      // any non-zero byte is true
  b[17] = 0;
  b[18] = 1;  // charset
  b[19] = 9;  // size
  PutShort(b, 20, "Arial");
  PutShort(b, 53, "caf\xE9");
  return b;
}

Bytes OldMutualImage() {
  Bytes b(28, 0);
  b[0] = 2;       // old log likelihood
  b[1] = 0b1001;  // old MI and T score take part
  b[2] = 4;
  b[3] = 3;
  Put16(b, 4, 5);
  Put16(b, 6, 3);
  PutFloat(b, 8, 3.0f);
  PutFloat(b, 12, 1.5f);
  PutFloat(b, 16, 6.63f);
  PutFloat(b, 20, 2.0f);
  Put16(b, 24, 400);
  b[26] = 1;
  b[27] = 7;
  return b;
}

Bytes OldKeyWordImage() {
  Bytes b(96, 0);
  b[0] = kwp_log_likelihood;
  Put16(b, 2, 3);
  Put16(b, 4, 500);
  PutFloat(b, 8, 0.01f);
  Put32(b, 12, 1'000'000);
  PutShort(b, 16, "C:\\BNC\\ALL.LST");
  return b;
}

Bytes V5KeyWordImage() {
  Bytes b(288, 0);
  PutHead(b);
  b[4] = kwp_chi_square;
  b[5] = 1;
  PutDouble(b, 8, 0.001);
  Put32(b, 16, 2);
  Put32(b, 20, 0);
  Put32(b, 24, 0x80000000u);  // negative once read as 32-bit: no count
  PutShort(b, 28, std::string(200, 'x') + "\xFC.lst");
  return b;
}

Bytes OldGridImage() {
  Bytes b(682, 0);
  Put16(b, 0, 3);
  PutShort(b, 2, "N");
  PutShort(b, 34, "Word");
  PutShort(b, 66, "Fr\xE9q.");
  b[98] = 200;  // a length byte larger than the field, in a column not in use
  std::memset(b.data() + 99, 'z', 31);
  Put16(b, 642, 40);
  Put16(b, 644, 160);
  Put16(b, 646, static_cast<uint16_t>(-7));
  return b;
}

Bytes OldStatsImage() {
  Bytes b(128, 0);
  Put32(b, 0, 0xC0000000u);  // 3 GB: wrapped negative as 32-bit
  Put32(b, 4, 1000);
  Put32(b, 8, 400);
  Put32(b, 12, 50);
  Put32(b, 16, 9);
  Put32(b, 20, 2);
  Put32(b, 24, 11);
  PutFloat(b, 28, 0.0f);  // not stored: worked out from types and tokens
  PutFloat(b, 32, 44.5f);
  Put16(b, 36, 0);  // no basis: the default
  PutFloat(b, 40, 4.25f);
  PutFloat(b, 44, std::numeric_limits<float>::quiet_NaN());
  for (size_t k = 0; k < 20; ++k) Put32(b, 48 + 4 * k, static_cast<uint32_t>(k + 1));
  return b;
}

// ---- conversions of every older version, field by field ----

TEST(ConcordSettings, OldRecordConvertsFieldByField) {
  for (int32_t version : {1, 4, 5, 0, 9, -1}) {  // named 16-bit versions, format 5, and a look at the head
    auto s = StreamOf(OldConcordImage());
    TConcordSettingsRec32 r;
    ASSERT_TRUE(ReadConcordSettings(s, r, version)) << version;
    EXPECT_EQ(s.Position(), 104);
    EXPECT_EQ(r.head.rec_size, 512);
    EXPECT_EQ(r.head.rec_mark, SettingsRecMark);
    EXPECT_EQ(r.max_entries, 60000);
    EXPECT_EQ(r.hits_per_file, 25);
    EXPECT_EQ(r.chars_per_line, 120);
    EXPECT_EQ(r.context_horizon.to_left, 5);
    EXPECT_EQ(r.context_horizon.to_right, 50);
    EXPECT_EQ(r.collocate_horizon.to_left, 5);
    EXPECT_EQ(r.collocate_horizon.to_right, 50);
    EXPECT_EQ(r.context_word_span.leftmost, span_L05);
    EXPECT_EQ(r.context_word_span.rightmost, span_R50);
    EXPECT_EQ(r.sort_keys[0], cs_right1);
    EXPECT_EQ(r.sort_keys[1], cs_left2);
    EXPECT_EQ(r.sort_keys[2], cs_filename);
    EXPECT_TRUE(r.sort_descending[0]);
    EXPECT_FALSE(r.sort_descending[1]);
    EXPECT_TRUE(r.sort_descending[2]);
    EXPECT_TRUE(r.case_sensitive);
    EXPECT_FALSE(r.whole_words_only);
    EXPECT_EQ(r.node_colour, 0x0000FF);
    EXPECT_EQ(r.colours.colours, BogStandardColours.colours);  // none stored: zero, so equal
    EXPECT_EQ(r.font.charset, 1);
    EXPECT_EQ(r.font.fontsize, 9);
    EXPECT_EQ(FixedUnicodeText(r.font.fontname), u"Arial");
    EXPECT_EQ(FixedUnicodeText(r.context_word), u"caf\u00e9");
  }
}

TEST(MutualInfoSettings, OldRecordConvertsFieldByField) {
  auto s = StreamOf(OldMutualImage());
  TMutualInfoSettingsRec32 r;
  ASSERT_TRUE(ReadMutualInfoSettings(s, r, 3));
  EXPECT_EQ(s.Position(), 28);
  EXPECT_EQ(r.principal_statistic, RelatStat_log_likelihood);
  EXPECT_EQ(r.enabled, (TRelationshipStatsSet{RelatStat_MI, RelatStat_T_Score}));
  EXPECT_DOUBLE_EQ(r.thresholds[RelatStat_MI], 3.0);
  EXPECT_DOUBLE_EQ(r.thresholds[RelatStat_Z], 1.5);
  EXPECT_DOUBLE_EQ(r.thresholds[RelatStat_log_likelihood], static_cast<double>(6.63f));
  EXPECT_DOUBLE_EQ(r.thresholds[RelatStat_T_Score], 2.0);
  EXPECT_EQ(r.thresholds[RelatStat_Dice], 0.0);
  EXPECT_EQ(r.span.to_left, 4);
  EXPECT_EQ(r.span.to_right, 3);
  EXPECT_EQ(r.min_word_frequency, 5);
  EXPECT_EQ(r.min_pair_frequency, 3);
  EXPECT_EQ(r.max_pairs, 400);
  EXPECT_TRUE(r.stop_at_sentence_end);
  EXPECT_TRUE(r.test_all_procedures);
  EXPECT_FALSE(r.test_all_words);

  // An old measure past the old four is taken as MI; a span of nothing gets the default.
  Bytes odd = OldMutualImage();
  odd[0] = 4;
  odd[2] = odd[3] = 0;
  auto o = StreamOf(odd);
  ASSERT_TRUE(ReadMutualInfoSettings(o, r, 5));
  EXPECT_EQ(r.principal_statistic, RelatStat_MI);
  EXPECT_EQ(r.span.to_left, DefaultMutualSpan);
  EXPECT_EQ(r.span.to_right, DefaultMutualSpan);
}

TEST(KeyWordSettings, BothEarlierVersionsConvertFieldByField) {
  struct Case {
    Bytes image;
    int32_t version;
  };
  // Named versions, then the head deciding for a version the table does not name.
  for (const Case& c : {Case{OldKeyWordImage(), 2}, Case{OldKeyWordImage(), 0}, Case{V5KeyWordImage(), 5},
                        Case{V5KeyWordImage(), 12}}) {
    auto s = StreamOf(c.image);
    TKeyWordSettingsRec32 r;
    ASSERT_TRUE(ReadKeyWordSettings(s, r, c.version)) << c.version;
    EXPECT_EQ(s.Position(), static_cast<int64_t>(c.image.size()));
    EXPECT_EQ(r.head.rec_size, 640);
    EXPECT_FALSE(r.case_sensitive);
    EXPECT_EQ(r.min_texts, 0);
    if (c.image.size() == 96) {
      EXPECT_EQ(r.procedure_kind, kwp_log_likelihood);
      EXPECT_FALSE(r.include_negative);
      EXPECT_DOUBLE_EQ(r.p_value, static_cast<double>(0.01f));
      EXPECT_EQ(r.min_frequency, 3);
      EXPECT_EQ(r.max_wanted, 500);
      EXPECT_EQ(r.reference_corpus_words, 1'000'000);
      EXPECT_EQ(FixedUnicodeText(r.reference_file), u"C:\\BNC\\ALL.LST");
    } else {
      EXPECT_EQ(r.procedure_kind, kwp_chi_square);
      EXPECT_TRUE(r.include_negative);
      EXPECT_DOUBLE_EQ(r.p_value, 0.001);
      EXPECT_EQ(r.min_frequency, 2);
      EXPECT_EQ(r.max_wanted, 0);
      EXPECT_EQ(r.reference_corpus_words, 0);  // a negative count is no count
      EXPECT_EQ(FixedUnicodeText(r.reference_file), UnicodeString(200, u'x') + u"\u00fc.lst");
    }
  }
}

TEST(GridHeadings, OldRecordConvertsAndAccessorsKeepToTheColumns) {
  auto s = StreamOf(OldGridImage());
  TGridHeadingsRec32 r;
  ASSERT_TRUE(ReadGridHeadings(s, r, 4));
  EXPECT_EQ(s.Position(), 682);
  EXPECT_EQ(r.grid, grid_none);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(GridHeading(r, 0), u"N");
  EXPECT_EQ(GridHeading(r, 1), u"Word");
  EXPECT_EQ(GridHeading(r, 2), u"Fr\u00e9q.");
  EXPECT_EQ(GridHeading(r, 3), u"");   // beyond the count
  EXPECT_EQ(GridHeading(r, -1), u"");
  EXPECT_EQ(FixedUnicodeText(r.headings[3]), UnicodeString(31, u'z'));  // the length byte held to the field
  EXPECT_EQ(r.widths[0], 40);
  EXPECT_EQ(r.widths[1], 160);
  EXPECT_EQ(r.widths[2], 0);  // negative
  EXPECT_TRUE(r.visible[0] && r.visible[1] && r.visible[2]);
  EXPECT_FALSE(r.visible[3]);

  SetGridHeading(r, 6, UnicodeString(70, u'h'));
  EXPECT_EQ(r.count, 7);
  EXPECT_EQ(GridHeading(r, 6), UnicodeString(63, u'h'));
  SetGridHeading(r, GridHeadingsCapacity, u"x");
  EXPECT_EQ(r.count, 7);

  Bytes many = OldGridImage();
  Put16(many, 0, 25);  // more than an old record holds
  auto m = StreamOf(many);
  ASSERT_TRUE(ReadGridHeadings(m, r, 1));
  EXPECT_EQ(r.count, OldGridHeadingsCapacity);
}

TEST(PerTextStats, OldRecordWidensCountsAndFillsWhatItLacked) {
  auto s = StreamOf(OldStatsImage());
  TPerTextStatsRec32 r;
  ASSERT_TRUE(ReadPerTextStats(s, r, 5));
  EXPECT_EQ(s.Position(), 128);
  EXPECT_EQ(r.bytes, 0xC0000000ll);
  EXPECT_EQ(r.tokens, 1000);
  EXPECT_EQ(r.types, 400);
  EXPECT_EQ(r.sentences, 50);
  EXPECT_EQ(r.paragraphs, 9);
  EXPECT_EQ(r.headings, 2);
  EXPECT_EQ(r.numbers_removed, 11);
  EXPECT_EQ(r.sections, 0);
  EXPECT_DOUBLE_EQ(r.ttr, 40.0);
  EXPECT_DOUBLE_EQ(r.std_ttr, 44.5);
  EXPECT_EQ(r.std_ttr_basis, DefaultStdTTRBasis);
  EXPECT_DOUBLE_EQ(r.mean_word_length, 4.25);
  EXPECT_EQ(r.mean_sentence_length, 0.0);  // NaN
  for (size_t k = 0; k < WordLengthCounts; ++k) EXPECT_EQ(r.word_length_counts[k], static_cast<int64_t>(k + 1));
  EXPECT_EQ(r.text_date, 0.0);
}

// ---- the current layouts ----

TConcordSettingsRec32 SomeConcordSettings() {
  TConcordSettingsRec32 c;
  c.max_entries = 2000;
  c.hits_per_file = 10;
  c.chars_per_line = 90;
  c.context_horizon = {6, 7};
  c.collocate_horizon = {3, 4};
  c.context_word_span = {span_L03, span_R02};
  c.sort_keys = {cs_textdate, cs_right3, cs_word_rarity};
  c.sort_descending = {false, true, false};
  c.whole_words_only = true;
  c.remove_duplicates = true;
  c.min_collocate_frequency = 2;
  c.colours = {{1, 2, 3, 4}};
  c.node_colour = 0x00FF00;
  c.context_word_colour = 0x123456;
  c.font.fontsize = 11;
  SetFixedUnicodeText(c.font.fontname, u"Noto Sans");
  SetFixedUnicodeText(c.context_word, u"tea/coffee");
  c.spare[81] = 0xAB;
  return c;
}

TEST(SettingsRecords, CurrentLayoutsReadBackByteForByte) {
  TMutualInfoSettingsRec32 m;
  m.principal_statistic = RelatStat_DeltaPB;
  m.test_all_words = true;
  m.enabled = {RelatStat_Dice, RelatStat_DeltaPB};
  m.span = {1, 9};
  m.thresholds[RelatStat_DeltaPB] = 0.125;
  SetFixedUnicodeText(m.search_string, u"strong");
  TKeyWordSettingsRec32 k;
  k.procedure_kind = kwp_log_ratio;
  k.case_sensitive = true;
  k.p_value = 1.0;
  k.reference_corpus_words = 5'000'000'000;
  k.min_texts = 4;
  SetFixedUnicodeText(k.reference_file, u"/corpora/bnc.lst");
  TGridHeadingsRec32 g;
  g.grid = grid_keywords;
  SetGridHeading(g, 0, u"Key word");
  SetGridHeading(g, 1, u"Keyness");
  g.visible[1] = true;
  g.widths[1] = 70;
  TPerTextStatsRec32 t;
  t.std_ttr_basis = 500;
  t.tokens = 6'000'000'000;
  t.types = 3;
  t.ttr = 12.5;
  t.sd_sentence_length = 3.5;
  t.word_length_counts[19] = 77;
  t.text_date = 2451545.0;

  struct Case {
    const char* name;
    Bytes image;
    std::function<Bytes(TStream&, int32_t)> reread;  // fails the test on a false result
  };
  auto via = [](auto reader, auto toBytes, auto rec) {
    return [=](TStream& s, int32_t v) {
      decltype(rec) r;
      EXPECT_TRUE(reader(s, r, v));
      return Of(toBytes(r));
    };
  };
  const std::vector<Case> cases = {
      {"concord", Of(ConcordSettingsToBytes(SomeConcordSettings())),
       via(ReadConcordSettings, ConcordSettingsToBytes, TConcordSettingsRec32{})},
      {"mutual", Of(MutualInfoSettingsToBytes(m)),
       via(ReadMutualInfoSettings, MutualInfoSettingsToBytes, TMutualInfoSettingsRec32{})},
      {"key words", Of(KeyWordSettingsToBytes(k)),
       via(ReadKeyWordSettings, KeyWordSettingsToBytes, TKeyWordSettingsRec32{})},
      {"grid", Of(GridHeadingsToBytes(g)), via(ReadGridHeadings, GridHeadingsToBytes, TGridHeadingsRec32{})},
      {"stats", Of(PerTextStatsToBytes(t)), via(ReadPerTextStats, PerTextStatsToBytes, TPerTextStatsRec32{})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.image[0] | c.image[1] << 8, static_cast<int>(c.image.size())) << c.name;
    EXPECT_EQ(c.image[2], 'K');
    EXPECT_EQ(c.image[3], 'X');
    // Named current versions, and versions the table does not name, recognised by the head.
    for (int32_t version : {6, 7, 18, 255, 0, 8, 17, 256, -3}) {
      auto s = StreamOf(c.image);
      EXPECT_EQ(c.reread(s, version), c.image) << c.name << " " << version;
      EXPECT_EQ(s.Position(), static_cast<int64_t>(c.image.size()));
    }
  }
}

// ---- fix-ups on values no tool should act on ----

TEST(SettingsRecords, FixUpsOnTheCurrentLayouts) {
  TConcordSettingsRec32 c = SomeConcordSettings();
  c.max_entries = -5;
  c.chars_per_line = 0;
  c.context_horizon = {-2, 300};
  c.context_word_span = {span_R04, span_L02};  // ends swapped
  c.sort_keys[1] = static_cast<TConcordance_sort_system>(99);
  c.colours = {{7, 1, 7, 2}};
  c.context_word.fill(u'w');
  auto s = StreamOf(Of(ConcordSettingsToBytes(c)));
  TConcordSettingsRec32 rc;
  ASSERT_TRUE(ReadConcordSettings(s, rc, 18));
  EXPECT_EQ(rc.max_entries, 0);
  EXPECT_EQ(rc.chars_per_line, DefaultConcordCharsPerLine);
  EXPECT_EQ(rc.context_horizon.to_left, 0);
  EXPECT_EQ(rc.context_horizon.to_right, MaxSettingsHorizon);
  EXPECT_EQ(rc.context_word_span.leftmost, span_L02);
  EXPECT_EQ(rc.context_word_span.rightmost, span_R04);
  EXPECT_EQ(rc.sort_keys[0], cs_textdate);
  EXPECT_EQ(rc.sort_keys[1], cs_centre);
  EXPECT_EQ(rc.colours.colours, BogStandardColours.colours);
  EXPECT_EQ(FixedUnicodeText(rc.context_word), UnicodeString(80, u'w'));
  c.context_word_span = {static_cast<TConcordance_span>(200), span_R01};  // off the scale: the horizon
  auto s2 = StreamOf(Of(ConcordSettingsToBytes(c)));
  ASSERT_TRUE(ReadConcordSettings(s2, rc, 6));
  EXPECT_EQ(rc.context_word_span.leftmost, span_Centre);
  EXPECT_EQ(rc.context_word_span.rightmost, span_R50);

  TMutualInfoSettingsRec32 m;
  m.principal_statistic = static_cast<TRelationshipStats>(40);
  m.thresholds[RelatStat_Z] = std::numeric_limits<double>::quiet_NaN();
  m.thresholds[RelatStat_MI] = -std::numeric_limits<double>::infinity();
  m.thresholds[RelatStat_Dice] = -0.5;  // negative thresholds are meaningful for some measures
  m.min_pair_frequency = -1;
  Bytes mb = Of(MutualInfoSettingsToBytes(m));
  mb[9] = 0xF8;  // set bits beyond the eleven measures
  auto ms = StreamOf(mb);
  TMutualInfoSettingsRec32 rm;
  ASSERT_TRUE(ReadMutualInfoSettings(ms, rm, 7));
  EXPECT_EQ(rm.principal_statistic, RelatStat_MI);
  EXPECT_EQ(rm.thresholds[RelatStat_Z], 0.0);
  EXPECT_EQ(rm.thresholds[RelatStat_MI], 0.0);
  EXPECT_EQ(rm.thresholds[RelatStat_Dice], -0.5);
  EXPECT_EQ(rm.min_pair_frequency, 0);
  EXPECT_EQ(rm.enabled.ToBits(), 0x0000);
  EXPECT_EQ(rm.span.to_left, DefaultMutualSpan);

  for (double p : {0.0, -0.1, 1.5, std::numeric_limits<double>::quiet_NaN()}) {
    TKeyWordSettingsRec32 k;
    k.p_value = p;
    k.procedure_kind = static_cast<TKeyWordProcedure>(3);
    k.reference_corpus_words = -1;
    auto ks = StreamOf(Of(KeyWordSettingsToBytes(k)));
    TKeyWordSettingsRec32 rk;
    ASSERT_TRUE(ReadKeyWordSettings(ks, rk, 255));
    EXPECT_EQ(rk.p_value, DefaultKeyWordPValue) << p;
    EXPECT_EQ(rk.procedure_kind, kwp_log_likelihood);
    EXPECT_EQ(rk.reference_corpus_words, 0);
  }

  TGridHeadingsRec32 g;
  g.count = 300;
  g.grid = static_cast<TGrid_alternatives>(77);
  g.widths[5] = -1;
  auto gs = StreamOf(Of(GridHeadingsToBytes(g)));
  TGridHeadingsRec32 rg;
  ASSERT_TRUE(ReadGridHeadings(gs, rg, 19));
  EXPECT_EQ(rg.count, GridHeadingsCapacity);
  EXPECT_EQ(rg.grid, grid_none);
  EXPECT_EQ(rg.widths[5], 0);

  TPerTextStatsRec32 t;
  t.tokens = -4;
  t.types = 5;
  t.std_ttr = std::numeric_limits<double>::infinity();
  t.mean_word_length = -1;
  t.word_length_counts[3] = -8;
  auto ts = StreamOf(Of(PerTextStatsToBytes(t)));
  TPerTextStatsRec32 rt;
  ASSERT_TRUE(ReadPerTextStats(ts, rt, 6));
  EXPECT_EQ(rt.tokens, 0);
  EXPECT_EQ(rt.ttr, 0.0);  // no tokens: nothing to work it out from
  EXPECT_EQ(rt.std_ttr, 0.0);
  EXPECT_EQ(rt.mean_word_length, 0.0);
  EXPECT_EQ(rt.word_length_counts[3], 0);
  EXPECT_EQ(rt.std_ttr_basis, DefaultStdTTRBasis);
}

TEST(MutualInfoSettings, ChecksFromSettingsDriveTheThresholdTest) {
  auto s = StreamOf(OldMutualImage());
  TMutualInfoSettingsRec32 r;
  ASSERT_TRUE(ReadMutualInfoSettings(s, r, 1));
  SetFixedUnicodeText(r.search_string, u"tea");
  const TCogridMutualChecks c = MutualChecksFromSettings(r);
  EXPECT_TRUE(c.search_needed);
  EXPECT_EQ(CogridSearchString(c), u"tea");
  EXPECT_TRUE(c.proc_settings[RelatStat_MI].enabled);
  EXPECT_FALSE(c.proc_settings[RelatStat_Z].enabled);
  EXPECT_EQ(c.proc_settings[RelatStat_T_Score].threshold, 2.0f);
  // Every enabled measure must pass: MI 3 and T 2.
  std::array<float, RelationshipStatsCount> scores{};
  scores[RelatStat_MI] = 3.5f;
  scores[RelatStat_T_Score] = 2.0f;
  EXPECT_TRUE(PassesRelationshipThresholdTests(c, scores));
  scores[RelatStat_T_Score] = 1.9f;
  EXPECT_FALSE(PassesRelationshipThresholdTests(c, scores));
}

// ---- streams of several records, and cut records ----

struct ReaderCase {
  const char* name;
  Bytes image;
  int32_t version;
  std::function<bool(TStream&, int32_t)> read;
};

template <typename Rec>
std::function<bool(TStream&, int32_t)> Reader(bool (*read)(TStream&, Rec&, int32_t)) {
  return [read](TStream& s, int32_t v) {
    Rec r;
    return read(s, r, v);
  };
}

std::vector<ReaderCase> AllImages() {
  const auto concord = Reader(ReadConcordSettings);
  const auto mutual = Reader(ReadMutualInfoSettings);
  const auto keys = Reader(ReadKeyWordSettings);
  const auto grid = Reader(ReadGridHeadings);
  const auto stats = Reader(ReadPerTextStats);
  const Bytes concordNow = Of(ConcordSettingsToBytes(SomeConcordSettings()));
  const Bytes mutualNow = Of(MutualInfoSettingsToBytes({}));
  const Bytes keysNow = Of(KeyWordSettingsToBytes({}));
  const Bytes gridNow = Of(GridHeadingsToBytes({}));
  const Bytes statsNow = Of(PerTextStatsToBytes({}));
  return {
      {"concord old", OldConcordImage(), 3, concord},    {"concord", concordNow, 18, concord},
      {"concord by head", concordNow, 0, concord},       {"mutual old", OldMutualImage(), 5, mutual},
      {"mutual", mutualNow, 6, mutual},                  {"mutual by head", mutualNow, 10, mutual},
      {"key words old", OldKeyWordImage(), 1, keys},     {"key words v5", V5KeyWordImage(), 5, keys},
      {"key words v5 by head", V5KeyWordImage(), 0, keys}, {"key words", keysNow, 7, keys},
      {"grid old", OldGridImage(), 2, grid},             {"grid", gridNow, 200, grid},
      {"stats old", OldStatsImage(), 4, stats},          {"stats", statsNow, 18, stats},
      {"stats by head", statsNow, -1, stats},
  };
}

TEST(SettingsRecords, TwoRecordsBackToBackBothRead) {
  for (const ReaderCase& c : AllImages()) {
    auto s = StreamOf(Cat(c.image, c.image));
    EXPECT_TRUE(c.read(s, c.version)) << c.name;
    EXPECT_EQ(s.Position(), static_cast<int64_t>(c.image.size())) << c.name;
    EXPECT_TRUE(c.read(s, c.version)) << c.name;
    EXPECT_EQ(s.Position(), static_cast<int64_t>(2 * c.image.size())) << c.name;
  }
  // Different layouts one after the other, each recognised by its head or the lack of one.
  const Bytes cur = Of(KeyWordSettingsToBytes({}));
  auto s = StreamOf(Cat(Cat(OldKeyWordImage(), V5KeyWordImage()), cur));
  TKeyWordSettingsRec32 a, b, c;
  ASSERT_TRUE(ReadKeyWordSettings(s, a, 0));
  ASSERT_TRUE(ReadKeyWordSettings(s, b, 0));
  ASSERT_TRUE(ReadKeyWordSettings(s, c, 0));
  EXPECT_EQ(a.max_wanted, 500);
  EXPECT_TRUE(b.include_negative);
  EXPECT_EQ(c.p_value, DefaultKeyWordPValue);
  EXPECT_EQ(s.Position(), 96 + 288 + 640);
}

TEST(SettingsRecords, EveryCutGivesFalse) {
  for (const ReaderCase& c : AllImages()) {
    for (size_t cut = 0; cut < c.image.size(); ++cut) {
      auto s = StreamOf(Bytes(c.image.begin(), c.image.begin() + static_cast<ptrdiff_t>(cut)));
      ASSERT_FALSE(c.read(s, c.version)) << c.name << " cut at " << cut;
    }
  }
}

TEST(SettingsRecords, ShortReadKeepsWhatArrived) {
  const Bytes img = OldConcordImage();
  auto s = StreamOf(Bytes(img.begin(), img.begin() + 8));  // counts and horizons only
  TConcordSettingsRec32 r;
  EXPECT_FALSE(ReadConcordSettings(s, r, 1));
  EXPECT_EQ(r.max_entries, 60000);
  EXPECT_EQ(r.chars_per_line, 120);
  EXPECT_EQ(r.context_horizon.to_right, 50);
  EXPECT_EQ(r.font.fontsize, 0);
  EXPECT_EQ(r.head.rec_mark, SettingsRecMark);
}

}  // namespace
}  // namespace kx8
