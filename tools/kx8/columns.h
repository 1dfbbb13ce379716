// The columns a terminal gives characters, for lines that must line up in any script: the word column of
// the tables and the contexts of concordance lines.
#pragma once

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <array>
#include <cstdint>
#include <string_view>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#include <kx8rt/platform/cpu_features.h>
#endif

namespace kx8tool {

// Columns a character takes on a terminal: none for combining marks, format characters and the
// conjoining vowels and finals of Hangul (each joins the character before), two for East Asian wide and
// fullwidth characters, one for any other.
inline int CharColumns(UChar32 c) {
  const int8_t type = u_charType(c);
  if (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_FORMAT_CHAR) return 0;
  if (c >= 0x1160 && c <= 0x11FF) return 0;
  const int32_t width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
  return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

// CharColumns of every unit of the first plane, looked up once (a concordance or a word list prints
// many lines, and ICU's look-ups cost some dozens of nanoseconds a character). A surrogate pair is
// measured whole by ColumnsBefore and ColumnsAt; a lone surrogate, written as U+FFFD, takes one column.
// (Three bytes of padding after the last: a vector gather reads four bytes at a unit's place.)
inline const std::array<uint8_t, 0x10000 + 3>& UnitColumnsTable() {
  static const std::array<uint8_t, 0x10000 + 3> table = [] {
    std::array<uint8_t, 0x10000 + 3> t{};
    for (UChar32 c = 0; c < 0x10000; ++c) t[static_cast<size_t>(c)] = static_cast<uint8_t>(CharColumns(c));
    return t;
  }();
  return table;
}

// Whether every unit of s is below U+0300, where a character is one column (no wide characters and no
// combining marks): most text's contexts, measured by their length.
inline bool AllNarrow(std::u16string_view s) {
  char16_t any = 0;
  for (const char16_t c : s) any |= c >= 0x300 ? char16_t{1} : char16_t{0};
  return any == 0;
}

// The columns of the character of s that ends at end (a surrogate pair whole), and its units in units;
// table is UnitColumnsTable()'s (taken once by the callers: each use of the function-local table tests
// whether it is made, and kept the loops' counts in memory).
inline int ColumnsBefore(const uint8_t* table, std::u16string_view s, size_t end, size_t& units) {
  const char16_t c = s[end - 1];
  if (U16_IS_TRAIL(c) && end >= 2 && U16_IS_LEAD(s[end - 2])) {
    units = 2;
    return CharColumns(U16_GET_SUPPLEMENTARY(s[end - 2], c));
  }
  units = 1;
  return table[c];
}
// The same for the character that begins at at.
inline int ColumnsAt(const uint8_t* table, std::u16string_view s, size_t at, size_t& units) {
  const char16_t c = s[at];
  if (U16_IS_LEAD(c) && at + 1 < s.size() && U16_IS_TRAIL(s[at + 1])) {
    units = 2;
    return CharColumns(U16_GET_SUPPLEMENTARY(c, s[at + 1]));
  }
  units = 1;
  return table[c];
}

#if defined(__x86_64__) && defined(__GNUC__)
// The columns of the sixteen units at s, none of them a surrogate, from table; -1 if one is. (A context of
// Chinese or Japanese is measured so sixteen characters at a time instead of a look-up and two tests each.)
__attribute__((target("avx512f,avx512bw"))) inline int SixteenColumns(const uint8_t* table, const char16_t* s) {
  constexpr __mmask16 all = 0xFFFF;
  const __m512i c = _mm512_maskz_cvtepu16_epi32(all, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)));
  if (_mm512_cmplt_epu32_mask(_mm512_sub_epi32(c, _mm512_set1_epi32(0xD800)), _mm512_set1_epi32(0x800)) != 0) return -1;
  const __m512i w = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), all, c, table, 1);
  // (Each lane's low byte is its unit's; the sixteen summed as bytes.)
  const __m128i sums = _mm_sad_epu8(_mm512_maskz_cvtepi32_epi8(all, w), _mm_setzero_si128());
  return _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
}
#endif

// The units of s taken sixteen at a time from at, forward or (back) backward, while each sixteen holds
// no surrogate and fits in the columns left beside used, which grows by theirs: taking them one by one
// would take them all too, so the one-character loops of TailInColumns and HeadInColumns go on from
// there. None where the processor has no 512-bit vectors.
inline size_t WholeSixteensThatFit(const uint8_t* table, std::u16string_view s, size_t at, bool back, int columns,
                                   int& used) {
  size_t taken = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (!kx8::Global_UseWideVectors || !kx8::Global_UseVectors512) return 0;
  while (back ? at - taken >= 16 : at + taken + 16 <= s.size()) {
    const int w = SixteenColumns(table, s.data() + (back ? at - taken - 16 : at + taken));
    if (w < 0 || used + w > columns) break;
    used += w;
    taken += 16;
  }
#else
  (void)table, (void)s, (void)at, (void)back, (void)columns, (void)used;
#endif
  return taken;
}

// The end of s that fits in columns, and in used the columns it takes: as many whole characters from the
// end as fit, without the marks of a character that did not (they belonged to it).
inline std::u16string_view TailInColumns(std::u16string_view s, int columns, int& used) {
  if (AllNarrow(s)) {
    const size_t keep = std::min(s.size(), static_cast<size_t>(columns));
    used = static_cast<int>(keep);
    return s.substr(s.size() - keep);
  }
  const uint8_t* const table = UnitColumnsTable().data();
  int taken = 0;
  size_t from = s.size();
  from -= WholeSixteensThatFit(table, s, from, true, columns, taken);
  while (from > 0) {
    size_t units = 0;
    const int w = ColumnsBefore(table, s, from, units);
    if (taken + w > columns) {
      while (from < s.size()) {
        size_t markUnits = 0;
        if (ColumnsAt(table, s, from, markUnits) != 0) break;
        from += markUnits;
      }
      break;
    }
    taken += w;
    from -= units;
  }
  used = taken;
  return s.substr(from);
}

// The start of s that fits in columns: as many whole characters as fit, with the marks that follow the
// last of them.
inline std::u16string_view HeadInColumns(std::u16string_view s, int columns) {
  if (AllNarrow(s)) return s.substr(0, std::min(s.size(), static_cast<size_t>(columns)));
  const uint8_t* const table = UnitColumnsTable().data();
  int used = 0;
  size_t to = WholeSixteensThatFit(table, s, 0, false, columns, used);
  while (to < s.size()) {
    size_t units = 0;
    const int w = ColumnsAt(table, s, to, units);
    if (used + w > columns) break;
    used += w;
    to += units;
  }
  return s.substr(0, to);
}

}  // namespace kx8tool
