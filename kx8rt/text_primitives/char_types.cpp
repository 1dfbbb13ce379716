#include "kx8rt/text_primitives/char_types.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/text_primitives/utf8_unit.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace kx8 {
namespace {

// A neighbour of a middle character: the nearest character on one side that is not inside a tag.
// Returns its type word, or 0 (neither letter nor digit, so the look fails) when the walk runs out of
// characters or meets a segment marker.
uint16_t NeighbourType(const uint16_t* types, int64_t j, int64_t step, int64_t len) {
  for (; j >= 0 && j < len; j += step) {
    const uint16_t t = types[j];
    if (t & segment_marker_flag) return 0;
    if (!(t & tag_char_flag)) return t;
  }
  return 0;
}

// The type a middle character at i takes, or 0 when a looked-at side has no letter or digit beside it.
uint16_t MiddleCharType(const uint16_t* types, int64_t i, int64_t len, bool allowRight, bool allowLeft) {
  uint16_t candidate = defined_lower_letter_type;
  for (int side = 0; side < 2; ++side) {
    const bool left = side == 0;
    if (left ? allowLeft : allowRight) continue;
    const uint16_t t = NeighbourType(types, left ? i - 1 : i + 1, left ? -1 : 1, len);
    if ((t & word_char_mask) == 0) return 0;
    if (t & C1_DIGIT) candidate = defined_digit_type;
  }
  return candidate;
}

}  // namespace

void HandleMiddleCharAt(uint16_t* types, int64_t i, int64_t len, bool allowRight, bool allowLeft) {
  // Inside a tag the character belongs to the markup; a marker-carrying one keeps its marker.
  if (!(types[i] & tag_or_marker_mask))
    if (const uint16_t t = MiddleCharType(types, i, len, allowRight, allowLeft)) types[i] = t;
}

namespace {

template <class T>
void MiddleCharsIn(const T* buf, uint16_t* types, T m, int64_t len, bool allowRight, bool allowLeft) {
  // The last character is never a middle character; it may still be a right neighbour.
  const int64_t scanned = len - 1;
  const auto next = [&](int64_t from) -> int64_t {  // the next middle character from on, or -1
    if (from >= scanned) return -1;
    const auto n = static_cast<int32_t>(scanned - from);
    const T* hit;
    if constexpr (sizeof(T) == 1)
      hit = reinterpret_cast<const T*>(FastStrScan(reinterpret_cast<const char*>(buf + from), static_cast<char>(m), n));
    else
      hit = FastStrScanW(buf + from, m, n);
    return hit == nullptr ? -1 : hit - buf;
  };
  // The type words are read only around each middle character, so each is found one ahead and its
  // types fetched while this one is judged, rather than waited for.
  for (int64_t i = next(0); i >= 0;) {
    const int64_t following = next(i + 1);
    if (following >= 0) __builtin_prefetch(types + following);
    HandleMiddleCharAt(types, i, len, allowRight, allowLeft);
    i = following;
  }
}

// The byte that stands for a middle character in 8-bit text, or -1 when the system code page has none.
int ByteForMiddleChar(char16_t m) {
  if (m < 0x80) return m;
  const AnsiString a = UnicodeToAnsi(std::u16string_view(&m, 1));
  if (a.size() != 1 || a[0] == '?') return -1;
  return static_cast<unsigned char>(a[0]);
}

bool IsSeparatorInNumber(char16_t c, bool spaceIsSeparator) {
  return c == 0x00B7 || c == u'.' || c == u',' || (spaceIsSeparator && c == u' ');
}

// Membership of the table characters, built once per call: a look-up per character, nothing allocated.
using ByteSet = std::array<bool, 256>;
ByteSet SetOf(const TANSILower_or_upperStr& table) {
  ByteSet s{};
  for (char c : table.View()) s[static_cast<unsigned char>(c)] = true;
  return s;
}

}  // namespace

bool GetStringTypeExNT2000(bool IsUnicode, LCID Locale, uint32_t InfoType, const void* Buffer, int32_t Length,
                           uint16_t* Types) {
  if (Types == nullptr || Length < 0) return false;
  const size_t entries = static_cast<size_t>(Length) + 2;
  Types[entries - 2] = 0;
  Types[entries - 1] = 0;
  if (Length == 0) return true;
  const bool ok = Buffer != nullptr &&
                  (IsUnicode ? GetStringTypeExW(Locale, InfoType, static_cast<const char16_t*>(Buffer), Length, Types)
                             : GetStringTypeExA(Locale, InfoType, static_cast<const char*>(Buffer), Length, Types));
  if (!ok) std::fill_n(Types, entries, uint16_t{0});
  return ok;
}

void WidenAndTypeSevenBit(const uint8_t* Bytes, int32_t Length, char16_t* Text, uint16_t* Types) {
  // The types of the 128 characters, as the platform classifies them; a zero byte is a space.
  static const std::array<uint16_t, 128> kTypes = [] {
    std::array<uint16_t, 128> t{};
    for (char16_t c = 0; c < 128; ++c) t[c] = CharType1(c == 0 ? u' ' : c);
    return t;
  }();
  int32_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= Length; i += 16) {
    WidenSixteenBytes(Bytes + i, Text + i);
    for (int k = 0; k < 16; ++k) Types[i + k] = kTypes[Bytes[i + k] & 0x7F];
  }
#endif
  for (; i < Length; ++i) {
    const uint8_t c = Bytes[i] & 0x7F;
    Text[i] = c == 0 ? u' ' : c;
    Types[i] = kTypes[c];
  }
  if (Length >= 0) Types[Length] = Types[Length + 1] = 0;
}

void SetZeroWidthJoinersToDefined(const char16_t* Text, uint16_t* Types, int32_t Len) {
  if (Text == nullptr || Types == nullptr) return;
  for (int32_t i = 0; i < Len; ++i)
    if (Text[i] == 0x200D) Types[i] = defined_char_type;
}

void SetZeroWidthNonJoinersToDefinedAlpha(const char16_t* Text, uint16_t* Types, int32_t Len) {
  if (Text == nullptr || Types == nullptr) return;
  for (int32_t i = 0; i < Len; ++i)
    if (Text[i] == 0x200C) Types[i] = defined_letter_type;
}

// A middle character is judged by the nearest characters outside tags on each side. Only running out of
// buffer fails a look: a letter at the very start or end of the buffer is a neighbour like any other, so
// "I'm" opening a text is one word.
void HandleMiddleChars(const void* Buffer, uint16_t* Types, std::u16string_view MiddleChars,
                       uint16_t CountOfMiddleChars, int32_t Len, bool IsUnicode, bool AllowMiddlesAtRight,
                       bool AllowMiddlesAtLeft) {
  if (Buffer == nullptr || Types == nullptr || Len < 2) return;
  const size_t count = std::min<size_t>(CountOfMiddleChars, MiddleChars.size());
  for (size_t k = 0; k < count; ++k) {
    const char16_t m = MiddleChars[k];
    if (IsUnicode) {
      MiddleCharsIn(static_cast<const char16_t*>(Buffer), Types, m, Len, AllowMiddlesAtRight, AllowMiddlesAtLeft);
    } else {
      const int b = ByteForMiddleChar(m);
      if (b >= 0)
        MiddleCharsIn(static_cast<const unsigned char*>(Buffer), Types, static_cast<unsigned char>(b), Len,
                      AllowMiddlesAtRight, AllowMiddlesAtLeft);
    }
  }
}

namespace {

// Makes the character at start + 1 (between the digits at start and start + 2) a digit when it is one of
// the separators.
inline void NumberMiddle(const void* Buffer, bool IsUnicode, bool SpaceIsSeparator, uint16_t* Types, int64_t start) {
  // An 8-bit middle dot is 0xB7 in the Western code pages, so widening the byte serves both forms.
  const char16_t c = IsUnicode ? static_cast<const char16_t*>(Buffer)[start + 1]
                               : char16_t{static_cast<const unsigned char*>(Buffer)[start + 1]};
  if (IsSeparatorInNumber(c, SpaceIsSeparator)) Types[start + 1] = defined_digit_type;
}

// Each bit pair of mask (from the lowest) is one start from base on where a digit, a non-digit and a
// digit stand in a row. Changing the middle one never makes or unmakes another such start (both its
// neighbours are digits), so the whole mask may be taken from the types before any change.
inline void NumberMiddles(uint64_t mask, int64_t base, const void* Buffer, bool IsUnicode, bool SpaceIsSeparator,
                          uint16_t* Types) {
  for (; mask != 0; mask &= mask - 1, mask &= mask - 1)
    NumberMiddle(Buffer, IsUnicode, SpaceIsSeparator, Types, base + __builtin_ctzll(mask) / 2);
}

#if defined(__SSE2__)
// The text is read only at a number's middle, too seldom for the processor to fetch it ahead by itself,
// so the block scans fetch the character at index ahead by hand (an address past the buffer's end is
// harmless to a prefetch; it is made as an integer, not a pointer).
inline void FetchTextAhead(const void* Buffer, bool IsUnicode, int32_t index) {
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(Buffer) +
                                             static_cast<uintptr_t>(index) * (IsUnicode ? 2 : 1)),
               _MM_HINT_T0);
}

// Handles the starts from i on sixteen at a time and returns where fewer than that remain.
int32_t NumberMiddlesByBlocks(const void* Buffer, bool IsUnicode, bool SpaceIsSeparator, uint16_t* Types, int32_t i,
                              int32_t Len) {
  const __m128i digit = _mm_set1_epi16(static_cast<int16_t>(C1_DIGIT));
  const __m128i zero = _mm_setzero_si128();
  const auto notMiddles = [&](int32_t at) {  // all ones where no middle can start
    const auto load = [&](int32_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(Types + at + k)); };
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_andnot_si128(load(1), _mm_and_si128(load(0), load(2))), digit), zero)));
  };
  for (; i + 18 <= Len; i += 16) {
    FetchTextAhead(Buffer, IsUnicode, i + 512);
    const uint32_t mask = ~(notMiddles(i) | notMiddles(i + 8) << 16);
    if (mask != 0) NumberMiddles(mask, i, Buffer, IsUnicode, SpaceIsSeparator, Types);
  }
  return i;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same thirty-two at a time. (No lambdas here: they would not share this function's instruction set.)
__attribute__((target("avx2"))) int32_t NumberMiddlesByBlocksAvx2(const void* Buffer, bool IsUnicode,
                                                                  bool SpaceIsSeparator, uint16_t* Types, int32_t i,
                                                                  int32_t Len) {
  const __m256i digit = _mm256_set1_epi16(static_cast<int16_t>(C1_DIGIT));
  const __m256i zero = _mm256_setzero_si256();
  for (; i + 34 <= Len; i += 32) {
    FetchTextAhead(Buffer, IsUnicode, i + 1024);
    const auto* t = reinterpret_cast<const __m256i*>(Types + i);
    const auto* t1 = reinterpret_cast<const __m256i*>(Types + i + 1);
    const auto* t2 = reinterpret_cast<const __m256i*>(Types + i + 2);
    const __m256i a = _mm256_andnot_si256(_mm256_loadu_si256(t1), _mm256_and_si256(_mm256_loadu_si256(t), _mm256_loadu_si256(t2)));
    const __m256i b = _mm256_andnot_si256(_mm256_loadu_si256(t1 + 1),
                                          _mm256_and_si256(_mm256_loadu_si256(t + 1), _mm256_loadu_si256(t2 + 1)));
    if (_mm256_testz_si256(_mm256_or_si256(a, b), digit)) continue;
    const auto notA = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_and_si256(a, digit), zero)));
    const auto notB = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_and_si256(b, digit), zero)));
    NumberMiddles(~(uint64_t{notA} | uint64_t{notB} << 32), i, Buffer, IsUnicode, SpaceIsSeparator, Types);
  }
  return i;
}

#endif
#endif

}  // namespace

void HandleMiddleCharsInNumbers(bool IsUnicode, bool SpaceIsSeparator, const void* Buffer, uint16_t* Types,
                                int32_t Len) {
  if (Buffer == nullptr || Types == nullptr) return;
  int32_t i = 0;
#if defined(__SSE2__)
#if defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors) i = NumberMiddlesByBlocksAvx2(Buffer, IsUnicode, SpaceIsSeparator, Types, i, Len);
#endif
  i = NumberMiddlesByBlocks(Buffer, IsUnicode, SpaceIsSeparator, Types, i, Len);
#endif
  for (; i + 2 < Len; ++i)
    if ((Types[i] & C1_DIGIT) && !(Types[i + 1] & C1_DIGIT) && (Types[i + 2] & C1_DIGIT))
      NumberMiddle(Buffer, IsUnicode, SpaceIsSeparator, Types, i);
}

void TANSILower_or_upperStr::Assign(std::string_view s) {
  const size_t n = std::min<size_t>(s.size(), sizeof(chars));
  std::memset(chars, 0, sizeof(chars));
  std::memcpy(chars, s.data(), n);
  length = static_cast<uint8_t>(n);
}

// Pairs come from the code page's own characters: a byte above 'z' that is a lower-case letter whose
// simple upper-case form maps back to one byte of the same code page.
void MakeANSICaseTables(uint32_t CodePage, TANSILower_or_upperStr& Lowers, TANSILower_or_upperStr& Uppers) {
  std::string lowers, uppers;
  for (int b = 'z' + 1; b <= 0xFF && lowers.size() < 128; ++b) {
    const char byte = static_cast<char>(b);
    const UnicodeString u = AnsiToUnicode(std::string_view(&byte, 1), CodePage);
    if (u.size() != 1 || !IsLower(u[0])) continue;
    const char32_t up = ToUpper(char32_t{u[0]});
    if (up == u[0] || up > 0xFFFF) continue;
    const char16_t up16 = static_cast<char16_t>(up);
    const AnsiString a = UnicodeToAnsi(std::u16string_view(&up16, 1), CodePage);
    if (a.size() != 1 || static_cast<unsigned char>(a[0]) <= 'z') continue;
    if (AnsiToUnicode(a, CodePage) != std::u16string_view(&up16, 1)) continue;  // only a best-fit match
    lowers.push_back(byte);
    uppers.push_back(a[0]);
  }
  Lowers.Assign(lowers);
  Uppers.Assign(uppers);
}

void CutLowercaseWords(char* Buffer, const TANSILower_or_upperStr& Lowers, const TANSILower_or_upperStr& Uppers,
                       int32_t Len) {
  if (Buffer == nullptr || Len < 1) return;
  const ByteSet lower = SetOf(Lowers), upper = SetOf(Uppers);
  bool inCapitalisedWord = false;
  for (int32_t i = 0; i < Len; ++i) {
    const auto c = static_cast<unsigned char>(Buffer[i]);
    if (c <= 0x20) {
      inCapitalisedWord = false;
    } else if (c >= 'A' && c <= 'Z') {
      inCapitalisedWord = true;
    } else if (!inCapitalisedWord) {
      if (c >= 'a' && c <= 'z') Buffer[i] = ' ';
      else if (c > 'z' && lower[c]) Buffer[i] = ' ';
      else if (c > 'z' && upper[c]) inCapitalisedWord = true;
    }
  }
}

void CapitaliseABuffer(char* Buffer, const TANSILower_or_upperStr& Lowers, const TANSILower_or_upperStr& Uppers,
                       int32_t Len) {
  if (Buffer == nullptr || Len < 1) return;
  std::array<unsigned char, 256> map;
  for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  const std::string_view lo = Lowers.View(), up = Uppers.View();
  const size_t pairs = std::min(lo.size(), up.size());
  // Walk backwards so that the first position of a character repeated in Lowers wins.
  for (size_t k = pairs; k-- > 0;) {
    const auto c = static_cast<unsigned char>(lo[k]);
    if (c > 'z') map[c] = static_cast<unsigned char>(up[k]);
  }
  for (int32_t i = 0; i < Len; ++i) Buffer[i] = static_cast<char>(map[static_cast<unsigned char>(Buffer[i])]);
}

bool ContainsADigitA(const char* P) {
  if (P == nullptr) return false;
  for (; *P != 0; ++P)
    if (*P >= '0' && *P <= '9') return true;
  return false;
}

bool ContainsADigitW(const char16_t* P) {
  if (P == nullptr) return false;
  for (; *P != 0; ++P)
    if (*P >= u'0' && *P <= u'9') return true;
  return false;
}

}  // namespace kx8
