// Feeds arbitrary bytes to every reader of the stored settings records at every format version: the
// first byte picks the reader and the version, the rest is the stream, read twice back to back. The
// readers answer true or false, never crash, and leave Booleans that are true or false.
#include <cstddef>
#include <cstdint>

#include "kx8rt/definitions/settings_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size == 0) return 0;
  static constexpr int32_t kVersions[] = {0, 3, 5, 6, 7, 18, 19, 255, 256};
  const uint8_t pick = data[0];
  const int32_t version = kVersions[(pick >> 2) % 9];
  TBytesStream stream(TBytes(data + 1, data + size));
  for (int twice = 0; twice < 2; ++twice) {
    switch (pick % 4) {
      case 0: {
        Tfixed_lang_details32 rec;
        Readfixed_lang_details_rec(stream, rec, version);
        // Loading each Boolean lets the sanitizer see any byte that is neither 0 nor 1.
        volatile int seen = rec.allow_middles_at_right + rec.is_32_version + rec.custom_language + rec.hyphen_breaks_word;
        (void)seen;
        break;
      }
      case 1: {
        TTextsett_rec32 rec;
        ReadInTextSettings(stream, rec, version);
        if (rec.language_info.lcid == 0) __builtin_trap();  // always filled in
        break;
      }
      case 2: {
        TChosenFile_BaseRec rec;
        TChosenFileRecFromStream(stream, rec);
        if (rec.jump_to) __builtin_trap();
        break;
      }
      default: {
        TFileInfoExtraStatsRec rec;
        ExtraStatsRecFromStream(stream, rec);
        break;
      }
    }
  }
  return 0;
}
