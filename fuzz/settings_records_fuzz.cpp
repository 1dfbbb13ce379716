// Feeds arbitrary bytes to every reader of the stored settings records at every format version: the
// first byte picks the reader, the second the version, the rest is the stream, read twice back to
// back. The readers answer true or false, never crash, and leave Booleans that are true or false and
// the fixed-up fields inside their ranges.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kx8rt/definitions/settings_records.h"

namespace {

// Loading a Boolean lets the sanitizer see any byte that is neither 0 nor 1.
void Touch(bool b) {
  volatile bool seen = b;
  (void)seen;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size < 2) return 0;
  // Named versions of every generation, the interim ones and those no table names.
  static constexpr int32_t kVersions[] = {0, 1, 3, 4, 5, 6, 7, 8, 17, 18, 19, 255, 256, -1};
  const uint8_t pick = data[0];
  const int32_t version = kVersions[data[1] % (sizeof kVersions / sizeof kVersions[0])];
  TBytesStream stream(TBytes(data + 2, data + size));
  for (int twice = 0; twice < 2; ++twice) {
    switch (pick % 9) {
      case 0: {
        Tfixed_lang_details32 rec;
        Readfixed_lang_details_rec(stream, rec, version);
        Touch(rec.allow_middles_at_right);
        Touch(rec.is_32_version);
        Touch(rec.custom_language);
        Touch(rec.hyphen_breaks_word);
        break;
      }
      case 1: {
        TTextsett_rec32 rec;
        ReadInTextSettings(stream, rec, version);
        Check(rec.language_info.lcid != 0);  // always filled in
        break;
      }
      case 2: {
        TChosenFile_BaseRec rec;
        TChosenFileRecFromStream(stream, rec);
        Check(!rec.jump_to);
        break;
      }
      case 3: {
        TFileInfoExtraStatsRec rec;
        ExtraStatsRecFromStream(stream, rec);
        break;
      }
      case 4: {
        TConcordSettingsRec32 rec;
        ReadConcordSettings(stream, rec, version);
        for (bool b : rec.sort_descending) Touch(b);
        Touch(rec.case_sensitive);
        Touch(rec.whole_words_only);
        Touch(rec.skip_punctuation);
        Touch(rec.remove_duplicates);
        Check(rec.chars_per_line > 0 && rec.max_entries >= 0 && rec.context_horizon.to_right <= MaxSettingsHorizon);
        Check(rec.context_word_span.leftmost <= rec.context_word_span.rightmost &&
              rec.context_word_span.rightmost <= span_R51);
        for (auto key : rec.sort_keys) Check(key <= cs_byte_position);
        Check(rec.context_word[80] == 0);
        break;
      }
      case 5: {
        TMutualInfoSettingsRec32 rec;
        ReadMutualInfoSettings(stream, rec, version);
        Touch(rec.test_all_procedures);
        Touch(rec.test_all_words);
        Touch(rec.stop_at_sentence_end);
        Check(rec.principal_statistic <= RelatStat_DeltaPB && rec.enabled.ToBits() < (1u << RelationshipStatsCount));
        for (double t : rec.thresholds) Check(std::isfinite(t));
        Check(rec.span.to_left >= 0 && rec.span.to_left <= MaxSettingsHorizon);
        const TCogridMutualChecks checks = MutualChecksFromSettings(rec);
        Touch(checks.search_needed);
        break;
      }
      case 6: {
        TKeyWordSettingsRec32 rec;
        ReadKeyWordSettings(stream, rec, version);
        Touch(rec.include_negative);
        Touch(rec.case_sensitive);
        Check(rec.p_value > 0 && rec.p_value <= 1 && rec.procedure_kind <= kwp_log_ratio);
        Check(rec.reference_corpus_words >= 0 && rec.reference_file[260] == 0);
        break;
      }
      case 7: {
        TGridHeadingsRec32 rec;
        ReadGridHeadings(stream, rec, version);
        for (bool b : rec.visible) Touch(b);
        Check(rec.count >= 0 && rec.count <= GridHeadingsCapacity && rec.grid <= grid_none);
        for (int32_t col = -1; col <= rec.count; ++col) Touch(GridHeading(rec, col).size() < 64);
        break;
      }
      default: {
        TPerTextStatsRec32 rec;
        ReadPerTextStats(stream, rec, version);
        Check(rec.tokens >= 0 && rec.std_ttr_basis >= 1 && std::isfinite(rec.ttr) && rec.ttr >= 0);
        break;
      }
    }
  }
  return 0;
}
