#include "kx8rt/definitions/concordance_spans.h"
#include "kx8rt/platform/little_endian.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {

TConcordance_span HorizonToConcSpan(int32_t n, TRightOrLeft side) {
  // Unsigned arithmetic so that any n wraps into the byte without overflow.
  const uint32_t centre = span_Centre;
  const uint32_t un = static_cast<uint32_t>(n);
  return static_cast<TConcordance_span>(static_cast<uint8_t>(side == at_left ? centre - un : centre + un));
}

std::pair<TConcordance_span, TConcordance_span> HorizonsToConcSpans(const Tdouble_smallint& h) {
  return {HorizonToConcSpan(h.to_left, at_left), HorizonToConcSpan(h.to_right, at_right)};
}

std::pair<TConcordance_span, TConcordance_span> CollocSpan(const Tdouble_smallint& h) {
  return HorizonsToConcSpans(h);
}

TConcordance_span MaxSpan(TConcordance_span a, TConcordance_span b) { return a > b ? a : b; }
TConcordance_span MinSpan(TConcordance_span a, TConcordance_span b) { return a < b ? a : b; }

UnicodeString ConcordanceSpanStr(TConcordance_span span) {
  if (span < span_Centre) return LoadMessage(KXSpanLeftLetter) + IntToStr(span_Centre - span);
  if (span > span_Centre && span < span_R51) return LoadMessage(KXSpanRightLetter) + IntToStr(span - span_Centre);
  if (span == span_Centre || span == span_R51) return LoadMessage(KXCentre);
  // A wrapped horizon lands beyond the scale: no position to name.
  return UnicodeString();
}

TConcordance_span SortSpanFromSort(TConcordance_sort_system sort) {
  // Keys that are not word positions sort on no position at all; the node is the neutral answer.
  if (sort > cs_right5) return span_Centre;
  return static_cast<TConcordance_span>(sort - cs_centre + span_Centre);
}

UnicodeString RelationshipAsString(TRelationshipStats stat) {
  switch (stat) {
    case RelatStat_Dice: return LoadMessage(KXDiceCoefficient);
    case RelatStat_MI: return LoadMessage(KXSpecificMutualInformation);
    case RelatStat_MI3: return LoadMessage(KXMI3);
    case RelatStat_Z: return LoadMessage(KXZScore);
    case RelatStat_log_likelihood: return LoadMessage(KXLogLikelihood);
    case RelatStat_T_Score: return LoadMessage(KXTScore);
    case RelatStat_Log_Ratio: return LoadMessage(KXLogRatio);
    case RelatStat_ConditionalProbA: return LoadMessage(KXConditionalProbability) + u" A";
    case RelatStat_ConditionalProbB: return LoadMessage(KXConditionalProbability) + u" B";
    case RelatStat_DeltaPA: return LoadMessage(KXDeltaP) + u" A";
    case RelatStat_DeltaPB: return LoadMessage(KXDeltaP) + u" B";
  }
  return UnicodeString();
}

bool PassesRelationshipThresholdTests(const TCogridMutualChecks& checks,
                                      const std::array<float, RelationshipStatsCount>& scores) {
  bool anyTookPart = false;
  for (int i = 0; i < RelationshipStatsCount; ++i) {
    const TRelationshipProcSetting& setting = checks.proc_settings[i];
    if (!setting.enabled) continue;
    anyTookPart = true;
    const bool passes = scores[static_cast<size_t>(i)] >= setting.threshold;  // a NaN score fails
    if (checks.test_all_procedures) {
      if (!passes) return false;
    } else {
      if (passes) return true;
      if (!checks.test_all_words) break;
    }
  }
  if (checks.test_all_procedures) return true;
  return !anyTookPart;
}

namespace {

void PutU32(uint8_t* p, uint32_t v) { PutLE32(p, v); }
uint32_t GetU32(const uint8_t* p) { return GetLE32(p); }

constexpr size_t kProcSettingsOffset = 4;
constexpr size_t kProcSettingSize = 8;
constexpr size_t kSearchStringOffset = 92;
constexpr size_t kSearchStringUnits = 81;

}  // namespace

std::array<uint8_t, CogridMutualChecksSize> CogridMutualChecksToBytes(const TCogridMutualChecks& checks) {
  std::array<uint8_t, CogridMutualChecksSize> out{};
  out[0] = checks.search_needed ? 1 : 0;
  out[1] = checks.test_all_procedures ? 1 : 0;
  out[2] = checks.test_all_words ? 1 : 0;
  for (int i = 0; i < RelationshipStatsCount; ++i) {
    uint8_t* p = out.data() + kProcSettingsOffset + kProcSettingSize * static_cast<size_t>(i);
    p[0] = checks.proc_settings[i].enabled ? 1 : 0;
    PutU32(p + 4, std::bit_cast<uint32_t>(checks.proc_settings[i].threshold));
  }
  for (size_t k = 0; k < kSearchStringUnits; ++k) {
    uint8_t* p = out.data() + kSearchStringOffset + 2 * k;
    p[0] = static_cast<uint8_t>(checks.search_string[k]);
    p[1] = static_cast<uint8_t>(checks.search_string[k] >> 8);
  }
  return out;
}

TCogridMutualChecks CogridMutualChecksFromBytes(const uint8_t* data, size_t size) {
  if (data == nullptr || size < CogridMutualChecksSize)
    throw EReadError(u"relationship settings need " + IntToStr(CogridMutualChecksSize) + u" bytes, got " +
                     IntToStr(static_cast<int64_t>(data == nullptr ? 0 : size)));
  TCogridMutualChecks checks{};
  // Any non-zero byte counts as true, so that stored garbage never yields an invalid bool.
  checks.search_needed = data[0] != 0;
  checks.test_all_procedures = data[1] != 0;
  checks.test_all_words = data[2] != 0;
  for (int i = 0; i < RelationshipStatsCount; ++i) {
    const uint8_t* p = data + kProcSettingsOffset + kProcSettingSize * static_cast<size_t>(i);
    checks.proc_settings[i].enabled = p[0] != 0;
    checks.proc_settings[i].threshold = std::bit_cast<float>(GetU32(p + 4));
  }
  for (size_t k = 0; k < kSearchStringUnits; ++k) {
    const uint8_t* p = data + kSearchStringOffset + 2 * k;
    checks.search_string[k] = static_cast<char16_t>(p[0] | p[1] << 8);
  }
  checks.search_string[kSearchStringUnits - 1] = 0;
  return checks;
}

UnicodeString CogridSearchString(const TCogridMutualChecks& checks) {
  const char16_t* begin = checks.search_string;
  return UnicodeString(begin, std::find(begin, begin + kSearchStringUnits, u'\0'));
}

void SetCogridSearchString(TCogridMutualChecks& checks, std::u16string_view s) {
  std::fill(std::begin(checks.search_string), std::end(checks.search_string), u'\0');
  const size_t n = std::min(s.size(), kSearchStringUnits - 1);
  std::copy_n(s.data(), n, checks.search_string);
}

namespace {

bool IsWordDelimiter(char16_t c) { return c == u' ' || c == u'<' || c == u'>' || IsWhiteSpace(c); }

}  // namespace

int32_t EndOfSameWord(int32_t pos, std::u16string_view s, bool backwards) {
  const int64_t len = static_cast<int64_t>(s.size());
  if (backwards) {
    for (int64_t i = static_cast<int64_t>(pos) - 1; i >= 1; --i) {
      if (i > len || IsWordDelimiter(s[static_cast<size_t>(i - 1)])) return static_cast<int32_t>(i + 1);
    }
    return -1;
  }
  for (int64_t i = static_cast<int64_t>(pos) + 1; i <= len; ++i) {
    if (IsWordDelimiter(s[static_cast<size_t>(i - 1)])) return static_cast<int32_t>(i - 1);
  }
  return -1;
}

TLineSections LineInThreeSections(std::u16string_view line, int32_t node_start, int32_t /*third*/) {
  const int32_t len = static_cast<int32_t>(std::min<size_t>(line.size(), INT32_MAX));
  // A node word touching an end of the line has no delimiter beyond it: it then runs from the first
  // character or to the last one, so the left or right section is simply empty.
  int32_t p1 = EndOfSameWord(node_start, line, true);
  if (p1 == -1) p1 = 1;
  int32_t p2 = EndOfSameWord(p1, line, false);
  if (p2 == -1) p2 = len;
  TLineSections sections;
  sections.left = Copy(line, 1, static_cast<int64_t>(p1) - 1);
  sections.node = Copy(line, p1, static_cast<int64_t>(p2) - p1 + 1);
  sections.right = Copy(line, static_cast<int64_t>(p2) + 1);
  return sections;
}

}  // namespace kx8
