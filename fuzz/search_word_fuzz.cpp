// Parses the first line as a typed search word and runs the matcher over the rest as a buffer, the way
// the engine does (from each hit start on), as UTF-16 and as 8-bit text, through both entries (the case
// copies and the case-closure table). Characters between "<" and ">" are flagged as tag characters and
// "|" carries a segment marker whose code comes from the next byte. Where the processor has 256-bit
// vectors, the classification and the search are run with and without them and must agree hit for hit
// and count for count; the search-and-do engine over the same UTF-16 text must report the hits of the
// closure entry. A case-insensitive hit must stay a hit when the text is upper-cased or case-folded
// (wherever that leaves every character's type as it was).
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/search/hit_finding.h"
#include "kx8rt/search/search_and_do_engine.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/text_primitives/char_types.h"

namespace {

struct Found {
  int32_t at, length, exact, words;
  bool operator==(const Found&) const = default;
};

template <typename Ch>
std::vector<Found> RunOver(const Ch* text, int32_t n, std::vector<uint16_t>& types,
                           const kx8::TSearch_word_format_rec& rec, bool isUnicode, bool flip, bool closed) {
  std::vector<Found> found;
  const bool cs = rec.flags.Contains(kx8::myCaseIsSensitive);
  const kx8::UnicodeString& up = cs ? rec.copies[kx8::unchanged_copy] : rec.copies[kx8::upper_copy];
  const kx8::UnicodeString& lo = cs ? rec.copies[kx8::unchanged_copy] : rec.copies[kx8::lower_copy];
  const kx8::UnicodeString& ti = cs ? rec.copies[kx8::unchanged_copy] : rec.copies[kx8::title_copy];
  const size_t m = std::min({rec.search_text.size(), up.size(), lo.size(), ti.size(), size_t{0xFFFF}});
  kx8::TSearchStatsRec stats;
  bool inHeading = false;
  for (int32_t from = 0; from < n;) {
    uint16_t hitLength = 0, exactLength = 0;
    const bool tableFits = rec.case_closure.size() >= m * kx8::case_closure_width;
    const void* p =
        closed ? kx8::NewFindWantedInBufferWithClosure(
                     text + from, n - from, types.data() + from, types.data(), types.data() + n + 1, lo.data(),
                     tableFits ? rec.case_closure.data() : nullptr, static_cast<uint16_t>(m), cs,
                     rec.flags.Contains(kx8::myLeftBounded), rec.flags.Contains(kx8::myRightBounded), isUnicode, flip,
                     hitLength, exactLength, stats, inHeading, flip, !flip, flip, !flip)
               : kx8::NewFindWantedInBuffer(text + from, n - from, types.data() + from, types.data(),
                                            types.data() + n + 1, up.data(), lo.data(), ti.data(),
                                            static_cast<uint16_t>(m), cs, rec.flags.Contains(kx8::myLeftBounded),
                                            rec.flags.Contains(kx8::myRightBounded), isUnicode, flip, true, hitLength,
                                            exactLength, stats, inHeading, flip, !flip, flip, !flip);
    if (p == nullptr) break;
    const auto at = static_cast<int32_t>(static_cast<const Ch*>(p) - text);
    // A hit is never empty.
    if (at < from || at >= n || exactLength == 0 || exactLength > hitLength || at + hitLength > n + 1)
      __builtin_trap();
    found.push_back({at, hitLength, exactLength, stats.number[kx8::word_stats]});
    from = at + 1;
  }
  return found;
}

// The same search with the wide vectors on and off must find the same.
template <typename Ch>
void RunBothWidths(const Ch* text, int32_t n, std::vector<uint16_t>& types, const kx8::TSearch_word_format_rec& rec,
                   bool isUnicode, bool flip) {
  for (const bool closed : {false, true}) {
    std::vector<Found> narrow, wide;
    {
      const kx8::TWideVectorsSetting width(false);
      narrow = RunOver(text, n, types, rec, isUnicode, flip, closed);
    }
    {
      const kx8::TWideVectorsSetting width(true);
      wide = RunOver(text, n, types, rec, isUnicode, flip, closed);
    }
    if (narrow != wide) __builtin_trap();
  }
}

// The text with each character mapped, where the mapping keeps its number of units.
kx8::UnicodeString MapEach(const kx8::UnicodeString& s, char32_t (*map)(char32_t)) {
  kx8::UnicodeString out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t u = out[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      const char32_t m = map(0x10000 + ((char32_t{u} - 0xD800) << 10) + (out[i + 1] - 0xDC00));
      if (m >= 0x10000 && m <= 0x10FFFF) {
        out[i] = static_cast<char16_t>(0xD800 + ((m - 0x10000) >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + ((m - 0x10000) & 0x3FF));
      }
      ++i;
    } else if (u < 0xD800 || u > 0xDFFF) {
      const char32_t m = map(u);
      if (m < 0x10000 && (m < 0xD800 || m > 0xDFFF)) out[i] = static_cast<char16_t>(m);
    }
  }
  return out;
}

char32_t Upper(char32_t c) { return kx8::ToUpper(c); }
char32_t Folded(char32_t c) { return kx8::FoldCase(c); }

void Classify(const void* text, int32_t n, bool isUnicode, std::vector<uint16_t>& types, const auto& unitAt) {
  types.assign(static_cast<size_t>(n) + 2, 0);
  kx8::GetStringTypeExNT2000(isUnicode, 0x0409, kx8::CT_CTYPE1, text, n, types.data());
  kx8::HandleMiddleChars(text, types.data(), u"'", 1, n, isUnicode, false, false);
  // The number rule with both vector widths must give the same types.
  std::vector<uint16_t> narrow = types;
  {
    const kx8::TWideVectorsSetting width(false);
    kx8::HandleMiddleCharsInNumbers(isUnicode, true, text, narrow.data(), n);
  }
  {
    const kx8::TWideVectorsSetting width(true);
    kx8::HandleMiddleCharsInNumbers(isUnicode, true, text, types.data(), n);
  }
  if (narrow != types) __builtin_trap();
  bool inTag = false;
  for (int32_t i = 0; i < n; ++i) {
    const char16_t c = unitAt(i);
    if (c == u'<') inTag = true;
    if (inTag) types[i] |= kx8::tag_char_flag;
    if (c == u'>') inTag = false;
    if (c == u'|' && i + 1 < n) types[i] = kx8::segment_marker_flag | (unitAt(i + 1) & 0x1F);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t nl = bytes.find('\n');
  if (nl == std::string_view::npos) return 0;
  kx8::TIgnore_tag tags{};
  tags[kx8::tag_on][0] = u'<';
  tags[kx8::tag_off][0] = u'>';
  kx8::UnicodeString typed = kx8::Utf8ToUtf16(bytes.substr(0, nl));
  kx8::TSearch_word_format_rec rec;
  kx8::Parsed_SearchWord(tags, typed, rec);
  const bool flip = size % 2 == 1;

  const std::string_view rest = bytes.substr(nl + 1);
  const kx8::UnicodeString text = kx8::Utf8ToUtf16(rest);
  std::vector<uint16_t> types;
  const auto n16 = static_cast<int32_t>(text.size());
  Classify(text.data(), n16, true, types, [&](int32_t i) { return text[i]; });
  RunBothWidths(text.data(), n16, types, rec, true, flip);

  // Case closure: every case-insensitive hit is still found in the upper-cased and the folded text.
  // More wildcard choices than the matcher keeps open at once (64) may end a search early; no typed
  // pattern has them, and they are left out here.
  const auto wildcards = std::count_if(rec.search_text.begin(), rec.search_text.end(), [](char16_t c) {
    return c == kx8::sw_any_char || c == kx8::sw_any_letter || c == kx8::sw_any_run;
  });
  if (!rec.flags.Contains(kx8::myCaseIsSensitive) && !rec.search_text.empty() && wildcards < 64) {
    const std::vector<Found> before = RunOver(text.data(), n16, types, rec, true, flip, true);
    for (auto map : {&Upper, &Folded}) {
      const kx8::UnicodeString mapped = MapEach(text, map);
      std::vector<uint16_t> mappedTypes;
      Classify(mapped.data(), n16, true, mappedTypes, [&](int32_t i) { return mapped[i]; });
      if (mappedTypes != types) continue;  // a character changed class: its words may change too
      const std::vector<Found> after = RunOver(mapped.data(), n16, mappedTypes, rec, true, flip, true);
      auto next = after.begin();
      for (const Found& f : before) {
        while (next != after.end() && next->at < f.at) ++next;
        if (next == after.end() || next->at != f.at) __builtin_trap();
      }
    }
  }

  // The engine over the same text closed by a line break (a hit never reaches a buffer's last
  // character): it classifies the text itself, without tags or markers, so it is compared only where
  // the text has neither, with the matcher run over the same units the way the engine runs it.
  if (!rec.search_text.empty() && text.find_first_of(kx8::UnicodeString(u"<>|\0", 4)) == kx8::UnicodeString::npos) {
    const kx8::UnicodeString closed = text + u'\n';
    const auto n = static_cast<int32_t>(closed.size());
    kx8::TSearchAndDoEngine engine(0x0409);
    engine.BufferFormat = kx8::fc_UTF16;
    std::vector<int32_t> starts;
    engine.PrepareFirst(closed.c_str(), n * 2, 0,
                        [&](kx8::TSearchAndDoEngine&, const kx8::TSearchFound_Rec& f) {
                          starts.push_back(f.hit_pos_in_characters);
                          return true;
                        },
                        {});
    engine.HandleAllowables(u"'", false, false);
    kx8::HandleMiddleCharsInNumbers(true, true, closed.c_str(), engine.BufferDetails.data(), engine.BufferLength());
    kx8::TSearch_word_format_rec copy = rec;
    engine.SearchAndDo(&copy);
    std::vector<uint16_t> closedTypes;
    Classify(closed.data(), n, true, closedTypes, [&](int32_t i) { return closed[i]; });
    std::vector<int32_t> want;
    for (const Found& f : RunOver(closed.data(), n - 1, closedTypes, rec, true, false, true)) want.push_back(f.at);
    if (starts != want) __builtin_trap();
  }

  const auto n8 = static_cast<int32_t>(rest.size());
  Classify(rest.data(), n8, false, types, [&](int32_t i) { return static_cast<char16_t>(static_cast<uint8_t>(rest[i])); });
  RunBothWidths(reinterpret_cast<const uint8_t*>(rest.data()), n8, types, rec, false, !flip);
  return 0;
}
