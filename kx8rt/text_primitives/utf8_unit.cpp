#include "kx8rt/text_primitives/utf8_unit.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KX8_UTF8_AVX2 1
#endif

#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

constexpr uint8_t TrailingFor(int b) {
  return b < 0xC0 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : b < 0xF8 ? 3 : b < 0xFC ? 4 : 5;
}

struct TrailingTable {
  uint8_t v[256];
  constexpr TrailingTable() : v() {
    for (int b = 0; b < 256; ++b) v[b] = TrailingFor(b);
  }
};

constexpr TrailingTable kTrailing;

// Checks one sequence of n bytes (lead included) by the well-formedness table of UTF-8.
bool SequenceOK(const uint8_t* s, size_t n) {
  if (n < 1 || n > 4) return false;
  const uint8_t b0 = s[0];
  if (n == 1) return b0 < 0x80;
  if (b0 < 0xC2 || b0 > 0xF4) return false;
  const uint8_t b1 = s[1];
  uint8_t lo = 0x80, hi = 0xBF;
  if (b0 == 0xE0) lo = 0xA0;
  else if (b0 == 0xED) hi = 0x9F;  // surrogates are not characters
  else if (b0 == 0xF0) lo = 0x90;
  else if (b0 == 0xF4) hi = 0x8F;
  if (b1 < lo || b1 > hi) return false;
  for (size_t i = 2; i < n; ++i)
    if (s[i] < 0x80 || s[i] > 0xBF) return false;
  return true;
}

}  // namespace

const uint8_t UTF8TrailingBytes[256] = {
#define KX8_ROW(b) TrailingFor(b), TrailingFor(b + 1), TrailingFor(b + 2), TrailingFor(b + 3), \
                   TrailingFor(b + 4), TrailingFor(b + 5), TrailingFor(b + 6), TrailingFor(b + 7)
    KX8_ROW(0),   KX8_ROW(8),   KX8_ROW(16),  KX8_ROW(24),  KX8_ROW(32),  KX8_ROW(40),  KX8_ROW(48),  KX8_ROW(56),
    KX8_ROW(64),  KX8_ROW(72),  KX8_ROW(80),  KX8_ROW(88),  KX8_ROW(96),  KX8_ROW(104), KX8_ROW(112), KX8_ROW(120),
    KX8_ROW(128), KX8_ROW(136), KX8_ROW(144), KX8_ROW(152), KX8_ROW(160), KX8_ROW(168), KX8_ROW(176), KX8_ROW(184),
    KX8_ROW(192), KX8_ROW(200), KX8_ROW(208), KX8_ROW(216), KX8_ROW(224), KX8_ROW(232), KX8_ROW(240), KX8_ROW(248),
#undef KX8_ROW
};

bool IsUTF16LESigned(const uint8_t* P) { return P && P[0] == 0xFF && P[1] == 0xFE; }

bool IsUTF16BESigned(const uint8_t* P) { return P && P[0] == 0xFE && P[1] == 0xFF; }

bool IsUTF8SignatureA(const uint8_t* P) { return P && IsUTF8Signature(P[0], P[1], P[2]); }

bool IsUTF8SignatureW(const char16_t* P) {
  if (!P || P[0] == 0 || P[1] == 0) return false;
  // Bytes 0-2 of the buffer: both bytes of the first unit and the low byte of the second.
  return (P[0] & 0xFF) == 0xEF && (P[0] >> 8) == 0xBB && (P[1] & 0xFF) == 0xBF;
}

bool IsUTF8Signature(uint8_t b1, uint8_t b2, uint8_t b3) { return b1 == 0xEF && b2 == 0xBB && b3 == 0xBF; }

AnsiString UTF8SignatureAsUTF8String() { return AnsiString(UTF8_signature, 3); }

int32_t UTF8LengthInChars(std::string_view S) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  int32_t chars = 0;
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    size_t len;
    if (b < 0x80) len = 1;
    else if ((b & 0xE0) == 0xC0) len = 2;
    else if ((b & 0xF0) == 0xE0) len = 3;
    else if ((b & 0xF8) == 0xF0) len = 4;
    else if ((b & 0xFC) == 0xF8) len = 5;
    else if ((b & 0xFE) == 0xFC) len = 6;
    else return static_cast<int32_t>(n);  // continuation byte where a lead belongs, FE or FF
    if (i + len > n) return static_cast<int32_t>(n);
    i += len;
    ++chars;
  }
  return chars;
}

bool CheckedUTF(std::string_view S, bool& IsPureASCII) {
  IsPureASCII = true;
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  for (size_t i = 0; i < n; ++i) {
    MyYieldProcess();
    const size_t t = UTF8TrailingBytes[p[i]];
    if (i + t >= n) return false;
    if (!SequenceOK(p + i, t + 1)) return false;
    if (t > 0) {
      IsPureASCII = false;
      return true;
    }
  }
  return true;
}

#if defined(KX8_UTF8_AVX2)
// Two hundred and fifty-six bytes a test in 512-bit vectors: text the caller has just had brought near
// is looked at as fast as the cache hands it over (a fourth of the loads of 128-bit vectors).
__attribute__((target("avx512f,avx512bw"))) size_t SevenBitBlocks512(const uint8_t* p, size_t n) {
  size_t i = 0;
  for (; i + 256 <= n; i += 256) {
    const __m512i a = _mm512_or_si512(_mm512_loadu_si512(p + i), _mm512_loadu_si512(p + i + 64));
    const __m512i b = _mm512_or_si512(_mm512_loadu_si512(p + i + 128), _mm512_loadu_si512(p + i + 192));
    if (_mm512_movepi8_mask(_mm512_or_si512(a, b)) != 0) break;
  }
  return i;
}
#endif

size_t SevenBitPrefix(const uint8_t* p, size_t n) {
  size_t i = 0;
#if defined(KX8_UTF8_AVX2)
  if (Global_UseWideVectors && Global_UseVectors512) i = SevenBitBlocks512(p, n);
#endif
#if defined(__SSE2__)
  // Sixty-four bytes a test while all are 7-bit; then sixteen, to find where.
  for (; i + 64 <= n; i += 64) {
    const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
    const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 48)));
    if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) break;
  }
  for (; i + 16 <= n; i += 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    if (high != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(high)));
  }
#endif
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

void WidenBytes(const uint8_t* p, size_t n, char16_t* out) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) WidenSixteenBytes(p + i, out + i);
#endif
  for (; i < n; ++i) out[i] = p[i] == 0 ? u' ' : p[i];
}

#if defined(KX8_UTF8_AVX2)
namespace {

// Well-formedness of UTF-8 thirty-two bytes at a time. Each byte is looked at with the byte before it:
// three 16-entry tables, indexed by the high and low half of the byte before and the high half of this
// one, give the faults that pair may show (a bit each), and a fault is where all three agree. A byte's
// being a continuation or not must further match what the lead two or three bytes back asks for.
enum : uint8_t {
  kTooShort = 1 << 0,     // a lead, or 7-bit byte, where a continuation byte must come
  kTooLong = 1 << 1,      // a continuation byte after a 7-bit byte
  kOverlong3 = 1 << 2,    // E0 80..9F
  kTooLarge = 1 << 3,     // F4 90..BF, F5..FF
  kSurrogate = 1 << 4,    // ED A0..BF
  kOverlong2 = 1 << 5,    // C0, C1
  kTooLarge1000 = 1 << 6, // F5.. 80..8F
  kOverlong4 = 1 << 6,    // F0 80..8F
  kTwoConts = 1 << 7,     // a continuation byte after a continuation byte (the counts decide)
  kCarry = kTooShort | kTooLong | kTwoConts,
};

__attribute__((target("avx2"))) inline __m256i Table16(uint8_t t0, uint8_t t1, uint8_t t2, uint8_t t3, uint8_t t4,
                                                      uint8_t t5, uint8_t t6, uint8_t t7, uint8_t t8, uint8_t t9,
                                                      uint8_t t10, uint8_t t11, uint8_t t12, uint8_t t13,
                                                      uint8_t t14, uint8_t t15) {
  return _mm256_setr_epi8(static_cast<char>(t0), static_cast<char>(t1), static_cast<char>(t2), static_cast<char>(t3),
                          static_cast<char>(t4), static_cast<char>(t5), static_cast<char>(t6), static_cast<char>(t7),
                          static_cast<char>(t8), static_cast<char>(t9), static_cast<char>(t10), static_cast<char>(t11),
                          static_cast<char>(t12), static_cast<char>(t13), static_cast<char>(t14), static_cast<char>(t15),
                          static_cast<char>(t0), static_cast<char>(t1), static_cast<char>(t2), static_cast<char>(t3),
                          static_cast<char>(t4), static_cast<char>(t5), static_cast<char>(t6), static_cast<char>(t7),
                          static_cast<char>(t8), static_cast<char>(t9), static_cast<char>(t10), static_cast<char>(t11),
                          static_cast<char>(t12), static_cast<char>(t13), static_cast<char>(t14), static_cast<char>(t15));
}

// The bytes of input moved up by N, the last N of prev coming in first.
template <int N>
__attribute__((target("avx2"))) inline __m256i Before(__m256i input, __m256i prev) {
  return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(prev, input, 0x21), 16 - N);
}

// The faults found so far, and what the last block leaves for the next.
struct TUtf8Faults {
  __m256i error, prev, prevOpen, firstHigh, firstLow, secondHigh;
};

__attribute__((target("avx2"))) inline void CheckBlock(TUtf8Faults& f, __m256i input) {
  if (_mm256_movemask_epi8(input) == 0) {
    f.error = _mm256_or_si256(f.error, f.prevOpen);  // 7-bit bytes cannot end what the block before left open
    f.prevOpen = _mm256_setzero_si256();
  } else {
    const __m256i low4 = _mm256_set1_epi8(0x0F);
    const __m256i prev1 = Before<1>(input, f.prev);
    const __m256i faults = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(f.firstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low4)),
                         _mm256_shuffle_epi8(f.firstLow, _mm256_and_si256(prev1, low4))),
        _mm256_shuffle_epi8(f.secondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), low4)));
    const __m256i third = _mm256_subs_epu8(Before<2>(input, f.prev), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth = _mm256_subs_epu8(Before<3>(input, f.prev), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i mustContinue =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    f.error = _mm256_or_si256(f.error, _mm256_xor_si256(mustContinue, faults));
    // The last three bytes of a block that leave a sequence open: from F0 three back, E0 two, C0 one.
    const __m256i openAtEnd = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                               -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                                               static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
    f.prevOpen = _mm256_subs_epu8(input, openAtEnd);
  }
  f.prev = input;
}

__attribute__((target("avx2"))) bool IsValidUTF8Avx2(const uint8_t* p, size_t n) {
  TUtf8Faults f;
  f.firstHigh = Table16(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts,
                        kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                        kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
  constexpr uint8_t kLarge = kCarry | kTooLarge | kTooLarge1000;
  f.firstLow = Table16(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
                       kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                       kLarge | kSurrogate, kLarge, kLarge);
  constexpr uint8_t kCont80 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4;
  constexpr uint8_t kCont90 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
  constexpr uint8_t kContA0 = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;
  f.secondHigh = Table16(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                         kCont80, kCont90, kContA0, kContA0, kTooShort, kTooShort, kTooShort, kTooShort);
  f.error = f.prev = f.prevOpen = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    CheckBlock(f, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)));
    // A text that is not UTF-8 is mostly known early: looked at every 4 KB.
    if ((i & 4095) == 4064 && !_mm256_testz_si256(f.error, f.error)) return false;
  }
  // The rest padded with 7-bit bytes, which also closes the check of a sequence left open.
  alignas(32) uint8_t last[32] = {};
  std::memcpy(last, p + i, n - i);
  CheckBlock(f, _mm256_load_si256(reinterpret_cast<const __m256i*>(last)));
  CheckBlock(f, _mm256_setzero_si256());
  return _mm256_testz_si256(f.error, f.error) != 0;
}

}  // namespace
#endif

bool IsValidUTF8(const uint8_t* p, size_t n) {
#if defined(KX8_UTF8_AVX2)
  if (Global_UseWideVectors && n >= 32) return IsValidUTF8Avx2(p, n);
#endif
  size_t i = 0;
  while (i < n) {
    i += SevenBitPrefix(p + i, n - i);  // runs of 7-bit text a block at a time
    if (i >= n) break;
    const uint8_t c = p[i];
    const size_t t = kTrailing.v[c];
    if (t > 3 || i + t >= n || !SequenceOK(p + i, t + 1)) return false;
    i += t + 1;
  }
  return true;
}

#if defined(KX8_UTF8_AVX2)
namespace {

#define KX8_UTF8_VECTORS512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2")))

// The low 32 bytes as 32 units. (Zero-masked forms here: GCC 12 warns of the plain ones' undefined source.)
KX8_UTF8_VECTORS512 inline __m512i Widened32(__m512i x) {
  return _mm512_cvtepu8_epi16(_mm512_maskz_extracti64x4_epi64(0xF, x, 0));
}

// The characters of one, two and three bytes that begin in the first 48 of the 64 readable bytes at p,
// decoded together, up to 32 of them and up to the first byte that is none of those or out of place (a
// four-byte lead, a stray continuation byte, a sequence cut short), or the first ill-formed character:
// writes their units to out and returns the bytes they took (0 when the first is not one of them).
// The characters' starts are packed together, and their bytes gathered from there by byte permutes.
KX8_UTF8_VECTORS512 size_t BlockOfCharacters(const uint8_t* p, char16_t zeroAs, char16_t* out, size_t& made,
                                             bool& nonAscii) {
  const __m512i v = _mm512_loadu_si512(p);
  const uint64_t ascii = ~_mm512_movepi8_mask(v);
  const uint64_t cont = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, _mm512_set1_epi8(static_cast<char>(0xC0))),
                                               _mm512_set1_epi8(static_cast<char>(0x80)));
  const uint64_t lead2 = _mm512_cmpge_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xC2))) &
                         _mm512_cmple_epu8_mask(v, _mm512_set1_epi8(static_cast<char>(0xDF)));
  const uint64_t lead3 = _mm512_cmpeq_epi8_mask(_mm512_and_si512(v, _mm512_set1_epi8(static_cast<char>(0xF0))),
                                                _mm512_set1_epi8(static_cast<char>(0xE0)));
  // Where continuation bytes must stand, and the bytes that are where they should be.
  const uint64_t wanted = (lead2 << 1) | (lead3 << 1) | (lead3 << 2);
  const uint64_t starts = (ascii | lead2 | lead3) & ~wanted;
  const uint64_t inOrder = starts | (cont & wanted);
  const int firstBad = ~inOrder == 0 ? 64 : __builtin_ctzll(~inOrder);
  // The characters taken end at a start at or before the limit (so each is whole), at most 32 of them.
  int limit = std::min(firstBad, 48);
  uint64_t taken = starts & ((uint64_t{2} << limit) - 1);
  if (__builtin_popcountll(taken) > 32) limit = __builtin_ctzll(_pdep_u64(uint64_t{1} << 32, taken));
  taken &= (uint64_t{2} << limit) - 1;
  if (taken == 0) return 0;
  int used = 63 - __builtin_clzll(taken);  // the last start taken ends what is decoded
  taken &= (uint64_t{1} << used) - 1;
  if (taken == 0) return 0;
  alignas(64) static constexpr uint8_t kPositions[64] = {
      0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
      22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
      44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
  const __m512i at = _mm512_maskz_compress_epi8(taken, _mm512_load_si512(kPositions));
  const __m512i first = _mm512_maskz_permutexvar_epi8(~uint64_t{0}, at, v);
  const __m512i second = _mm512_maskz_permutexvar_epi8(~uint64_t{0}, _mm512_add_epi8(at, _mm512_set1_epi8(1)), v);
  const __m512i third = _mm512_maskz_permutexvar_epi8(~uint64_t{0}, _mm512_add_epi8(at, _mm512_set1_epi8(2)), v);
  const __m512i b0 = Widened32(first), b1 = Widened32(second), b2 = Widened32(third);
  const __m512i six = _mm512_set1_epi16(0x3F);
  const __m512i two = _mm512_or_si512(_mm512_maskz_slli_epi16(~0u, _mm512_and_si512(b0, _mm512_set1_epi16(0x1F)), 6),
                                      _mm512_and_si512(b1, six));
  const __m512i three = _mm512_or_si512(
      _mm512_or_si512(_mm512_maskz_slli_epi16(~0u, _mm512_and_si512(b0, _mm512_set1_epi16(0x0F)), 12),
                      _mm512_maskz_slli_epi16(~0u, _mm512_and_si512(b1, six), 6)),
      _mm512_and_si512(b2, six));
  const uint32_t isThree = _mm512_cmpge_epu16_mask(b0, _mm512_set1_epi16(0xE0));
  const uint32_t isTwo = _mm512_cmpge_epu16_mask(b0, _mm512_set1_epi16(0xC0)) & ~isThree;
  __m512i units = _mm512_mask_mov_epi16(_mm512_mask_mov_epi16(b0, isTwo, two), isThree, three);
  units = _mm512_mask_mov_epi16(units, _mm512_cmpeq_epi16_mask(b0, _mm512_setzero_si512()), _mm512_set1_epi16(static_cast<short>(zeroAs)));
  // A three-byte form below U+0800 or of a surrogate is no character: what is decoded stops before it.
  const uint32_t badThree =
      isThree & (_mm512_cmplt_epu16_mask(three, _mm512_set1_epi16(0x0800)) |
                 _mm512_cmpeq_epi16_mask(_mm512_and_si512(three, _mm512_set1_epi16(static_cast<short>(0xF800))),
                                         _mm512_set1_epi16(static_cast<short>(0xD800))));
  int count = __builtin_popcountll(taken);
  const uint32_t countMask = count == 32 ? ~0u : (1u << count) - 1;
  if (const uint32_t bad = badThree & countMask) {
    count = __builtin_ctz(bad);
    if (count == 0) return 0;
    used = __builtin_ctzll(_pdep_u64(uint64_t{1} << count, taken));
    taken &= (uint64_t{1} << used) - 1;
  }
  _mm512_mask_storeu_epi16(out, count == 32 ? ~0u : (1u << count) - 1, units);
  made = static_cast<size_t>(count);
  if (~ascii & ((uint64_t{1} << used) - 1)) nonAscii = true;
  return static_cast<size_t>(used);
}

}  // namespace
#endif

size_t DecodeUTF8Piece(const uint8_t* p, size_t n, bool last, bool strict, char16_t zeroAs, char16_t* out,
                       size_t& made, bool& bad, bool& nonAscii) {
  size_t i = 0, o = 0;
  while (i < n) {
    const uint8_t c = p[i];
    if (c < 0x80) {
#if defined(__SSE2__)
      // Runs of 7-bit text sixteen bytes at a time (looked for only where a 7-bit byte stands).
      if (i + 16 <= n && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0) {
        WidenSixteenBytes(p + i, out + o, zeroAs);
        i += 16;
        o += 16;
        continue;
      }
#endif
    }
#if defined(KX8_UTF8_AVX2)
    // Text mixing 7-bit characters with two- and three-byte ones (most of what is not Latin), a block at
    // a time where the processor has byte permutes and compression.
    if (i + 64 <= n && Global_UseVectors512) {
      size_t units = 0;
      if (const size_t used = BlockOfCharacters(p + i, zeroAs, out + o, units, nonAscii)) {
        i += used;
        o += units;
        continue;
      }
    }
#endif
    if (c < 0x80) {
      out[o++] = c == 0 ? zeroAs : c;
      ++i;
      continue;
    }
    nonAscii = true;
    // A whole, well-formed three-byte character (most of Chinese and Japanese) without the general steps.
    if ((c & 0xF0) == 0xE0 && i + 2 < n) {
      const uint8_t b1 = p[i + 1], b2 = p[i + 2];
      const char32_t cp = (static_cast<char32_t>(c & 0x0F) << 12) | (static_cast<char32_t>(b1 & 0x3F) << 6) | (b2 & 0x3F);
      if ((b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80 && cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) {
        out[o++] = static_cast<char16_t>(cp);
        i += 3;
        continue;
      }
    }
    int extra;
    char32_t cp, minimum;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, cp = c & 0x1F, minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, cp = c & 0x0F, minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, cp = c & 0x07, minimum = 0x10000;
    } else {
      if (strict) {
        bad = true;
        break;
      }
      out[o++] = 0xFFFD;
      ++i;
      continue;
    }
    size_t j = i + 1;
    int got = 0;
    while (got < extra && j < n && (p[j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (p[j] & 0x3F);
      ++j;
      ++got;
    }
    if (got < extra && j == n && !last) break;  // the rest of the character comes with the next bytes
    if (got < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      if (strict) {
        bad = true;
        break;
      }
      out[o++] = 0xFFFD;
      i = j;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out[o++] = static_cast<char16_t>(cp);
    }
    i = j;
  }
  made = o;
  return i;
}

}  // namespace kx8
