#include "kx8rt/corpus/ascii_window_counts.h"

#include <algorithm>

#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KX8_ASCII_COUNTS_AVX2 1
#endif

#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/strings/sentences.h"

namespace kx8 {

namespace {

constexpr bool IsAsciiLower(char16_t c) { return c >= u'a' && c <= u'z'; }
constexpr bool IsAsciiSeparator(char16_t c) { return c == u'.' || c == u','; }
// A zero unit is a space: 7-bit text handed on as bytes keeps the zero bytes the decoders make spaces.
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == 0; }
bool IsSpaceChar(char16_t c) { return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t' || c == 0; }

// The classes the sentence rule looks at beyond the word rule's, of the 7-bit characters (a 7-bit window
// holds no other): lower-case letters, the characters that may stand in a run of terminators (white space
// aside), and white space.
enum : uint8_t { kSentenceLower = 1, kSentencePotential = 2, kSentenceSpace = 4 };

struct TSentenceClassTable {
  alignas(64) uint8_t classes[128] = {};
  TSentenceClassTable() {
    for (char16_t c = 0; c < 128; ++c)
      classes[c] = static_cast<uint8_t>((IsAsciiLower(c) ? kSentenceLower : 0) |
                                        (IsPotentialSentenceTerminator(c) && !IsSpaceChar(c) ? kSentencePotential : 0) |
                                        (IsSpaceChar(c) ? kSentenceSpace : 0));
  }
  uint8_t Of(char16_t c) const { return c < 128 ? classes[c] : 0; }
};
const TSentenceClassTable kSentenceClasses;

// Take and Count run only where Available() says yes, on processors with 256-bit vectors, which all
// count bits in one instruction: they are built for it, so that a count is that instruction, not a call.
#if defined(KX8_ASCII_COUNTS_AVX2)
#define KX8_COUNTS_TARGET __attribute__((target("popcnt")))
#else
#define KX8_COUNTS_TARGET
#endif
inline int32_t PopCount(uint64_t v) { return static_cast<int32_t>(__builtin_popcountll(v)); }
KX8_COUNTS_TARGET int32_t PopCount(const uint64_t* v, size_t n) {
  int32_t c = 0;
  for (size_t w = 0; w < n; ++w) c += PopCount(v[w]);
  return c;
}

#if defined(KX8_ASCII_COUNTS_AVX2)
// The masks of sixty-four units, a bit a unit: letters and digits, digits, breaks, middle characters
// (up to four, 7-bit), number separators, terminators ('.', '!', '?'), line breaks, and blanks.
struct Masks64 {
  uint64_t alnum, digit, brk, middle, separator, terminator, newline, blank;
};

__attribute__((target("avx2,popcnt"))) inline uint32_t Bits32(__m256i m) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(m));
}

// Thirty-two units as 32 bytes in order (7-bit units fit a byte each).
__attribute__((target("avx2,popcnt"), always_inline)) inline __m256i Bytes32(const char16_t* p) {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 16));
  return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
}
__attribute__((target("avx2,popcnt"), always_inline)) inline __m256i Bytes32(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

template <typename Unit>
__attribute__((target("avx2,popcnt"), always_inline)) inline Masks64 MasksOf64(const Unit* p, const char16_t* middles, int middleCount) {
  Masks64 r{};
  for (int half = 0; half < 2; ++half) {
    const __m256i c = Bytes32(p + 32 * half);
    const __m256i folded = _mm256_or_si256(c, _mm256_set1_epi8(0x20));
    const __m256i digit = _mm256_and_si256(_mm256_cmpgt_epi8(c, _mm256_set1_epi8('0' - 1)),
                                           _mm256_cmpgt_epi8(_mm256_set1_epi8('9' + 1), c));
    const __m256i letter = _mm256_and_si256(_mm256_cmpgt_epi8(folded, _mm256_set1_epi8('a' - 1)),
                                            _mm256_cmpgt_epi8(_mm256_set1_epi8('z' + 1), folded));
    const __m256i brk = _mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(0x21), c),
                                        _mm256_cmpeq_epi8(c, _mm256_set1_epi8(0x7F)));
    __m256i middle = _mm256_setzero_si256();
    for (int k = 0; k < middleCount; ++k)
      middle = _mm256_or_si256(middle, _mm256_cmpeq_epi8(c, _mm256_set1_epi8(static_cast<char>(middles[k]))));
    const __m256i dot = _mm256_cmpeq_epi8(c, _mm256_set1_epi8('.'));
    const __m256i separator = _mm256_or_si256(dot, _mm256_cmpeq_epi8(c, _mm256_set1_epi8(',')));
    const __m256i terminator = _mm256_or_si256(
        dot, _mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8('!')), _mm256_cmpeq_epi8(c, _mm256_set1_epi8('?'))));
    const __m256i blank = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8(' ')), _mm256_cmpeq_epi8(c, _mm256_setzero_si256())),
        _mm256_or_si256(_mm256_cmpeq_epi8(c, _mm256_set1_epi8('\t')), _mm256_cmpeq_epi8(c, _mm256_set1_epi8('\r'))));
    const int shift = 32 * half;
    r.alnum |= uint64_t{Bits32(_mm256_or_si256(digit, letter))} << shift;
    r.digit |= uint64_t{Bits32(digit)} << shift;
    r.brk |= uint64_t{Bits32(brk)} << shift;
    r.middle |= uint64_t{Bits32(middle)} << shift;
    r.separator |= uint64_t{Bits32(separator)} << shift;
    r.terminator |= uint64_t{Bits32(terminator)} << shift;
    r.newline |= uint64_t{Bits32(_mm256_cmpeq_epi8(c, _mm256_set1_epi8('\n')))} << shift;
    r.blank |= uint64_t{Bits32(blank)} << shift;
  }
  return r;
}

// The masks of every whole block of sixty-four units; returns where it stopped.
template <typename Unit>
__attribute__((target("avx2,popcnt"))) int32_t MaskBlocks(const Unit* text, int32_t n, const char16_t* middles,
                                                         int middleCount, uint64_t* alnum, uint64_t* digit,
                                                         uint64_t* brk, uint64_t* middle, uint64_t* separator,
                                                         uint64_t* terminator, uint64_t* newline, uint64_t* blank) {
  int32_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const Masks64 m = MasksOf64(text + i, middles, middleCount);
    const size_t w = static_cast<size_t>(i) >> 6;
    alnum[w] = m.alnum, digit[w] = m.digit, brk[w] = m.brk, middle[w] = m.middle;
    separator[w] = m.separator, terminator[w] = m.terminator, newline[w] = m.newline, blank[w] = m.blank;
  }
  return i;
}

// The same masks from 512-bit vectors with byte permutes: a unit's eight classes are one byte of a
// 128-entry table (indexed by the 7-bit unit), so sixty-four units cost a look-up and eight tests.
enum : uint8_t {
  kClassAlnum = 1,
  kClassDigit = 2,
  kClassBreak = 4,
  kClassMiddle = 8,
  kClassSeparator = 16,
  kClassTerminator = 32,
  kClassNewline = 64,
  kClassBlank = 128
};

void FillClassTable(const char16_t* middles, int middleCount, uint8_t* table) {
  for (char16_t c = 0; c < 128; ++c) {
    uint8_t k = 0;
    if (IsAsciiAlnum(c)) k |= kClassAlnum;
    if (IsAsciiDigit(c)) k |= kClassDigit;
    if (IsAsciiBreak(c)) k |= kClassBreak;
    if (std::find(middles, middles + middleCount, c) != middles + middleCount) k |= kClassMiddle;
    if (IsAsciiSeparator(c)) k |= kClassSeparator;
    if (c == u'.' || c == u'!' || c == u'?') k |= kClassTerminator;
    if (c == u'\n') k |= kClassNewline;
    if (IsBlank(c)) k |= kClassBlank;
    table[c] = k;
  }
}

#define KX8_VECTORS512 __attribute__((target("avx512f,avx512bw,avx512vbmi,gfni,popcnt")))

// Sixty-four units as 64 bytes in order (units from 0x100 up would become 0xFF; the text is 7-bit).
KX8_VECTORS512 inline __m512i Bytes64(const uint8_t* p) { return _mm512_loadu_si512(p); }
KX8_VECTORS512 inline __m512i Bytes64(const char16_t* p) {
  const __m512i packed = _mm512_packus_epi16(_mm512_loadu_si512(p), _mm512_loadu_si512(p + 32));
  return _mm512_maskz_permutexvar_epi64(0xFF, _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packed);  // (maskz: the plain form warns)
}
// The first n (below 64) units the same way, zeros after them; nothing past them is touched.
KX8_VECTORS512 inline __m512i FirstBytes64(const uint8_t* p, int32_t n) {
  return _mm512_maskz_loadu_epi8((uint64_t{1} << n) - 1, p);
}
KX8_VECTORS512 inline __m512i FirstBytes64(const char16_t* p, int32_t n) {
  const uint64_t lanes = (uint64_t{1} << n) - 1;
  const __m512i packed = _mm512_packus_epi16(_mm512_maskz_loadu_epi16(static_cast<__mmask32>(lanes), p),
                                             _mm512_maskz_loadu_epi16(static_cast<__mmask32>(lanes >> 32), p + 32));
  return _mm512_maskz_permutexvar_epi64(0xFF, _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packed);
}

template <typename Unit>
KX8_VECTORS512 int32_t MaskBlocks512(const Unit* text, int32_t n, const uint8_t* table, uint64_t* alnum,
                                     uint64_t* digit, uint64_t* brk, uint64_t* middle, uint64_t* separator,
                                     uint64_t* terminator, uint64_t* newline, uint64_t* blank, uint64_t* lower,
                                     uint64_t* potential, uint64_t* space, const uint8_t* ahead, int32_t aheadLength) {
  const __m512i low = _mm512_loadu_si512(table), high = _mm512_loadu_si512(table + 64);
  const __m512i low2 = _mm512_loadu_si512(kSentenceClasses.classes);
  const __m512i high2 = _mm512_loadu_si512(kSentenceClasses.classes + 64);
  auto block = [&](__m512i bytes, size_t w, uint64_t lanes) KX8_VECTORS512 {
    const __m512i k = _mm512_permutex2var_epi8(low, bytes, high);
    const __m512i k2 = _mm512_permutex2var_epi8(low2, bytes, high2);
    lower[w] = _mm512_mask_test_epi8_mask(lanes, k2, _mm512_set1_epi8(kSentenceLower));
    potential[w] = _mm512_mask_test_epi8_mask(lanes, k2, _mm512_set1_epi8(kSentencePotential));
    space[w] = _mm512_mask_test_epi8_mask(lanes, k2, _mm512_set1_epi8(kSentenceSpace));
    alnum[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassAlnum));
    digit[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassDigit));
    brk[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassBreak));
    middle[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassMiddle));
    separator[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassSeparator));
    terminator[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassTerminator));
    newline[w] = _mm512_mask_test_epi8_mask(lanes, k, _mm512_set1_epi8(kClassNewline));
    blank[w] = _mm512_movepi8_mask(k) & lanes;  // the top bit
  };
  int32_t i = 0;
  for (; i + 64 <= n; i += 64) {
    // A line of what comes next a block: the first look at it then finds it in the second-level cache,
    // its fetch from memory overlapped with this work (some tenth of a 7-bit search's time otherwise).
    if (i < aheadLength) _mm_prefetch(reinterpret_cast<const char*>(ahead + i), _MM_HINT_T1);
    block(Bytes64(text + i), static_cast<size_t>(i) >> 6, ~uint64_t{0});
  }
  // The last units through a masked load rather than one at a time: a text of a few kilobytes spent as
  // long on its last few dozen units as on all its blocks.
  if (i < n) {
    block(FirstBytes64(text + i, n - i), static_cast<size_t>(i) >> 6, (uint64_t{1} << (n - i)) - 1);
    i = n;
  }
  return i;
}

// The word rule's loop over the masks (see TakeUnits) eight words at a time, from the first word; a
// word's neighbours come from the vector before by a lane shift. The paragraph sum's carry runs across
// the eight lanes as a carry does across the bits of a byte: lanes that make a carry and lanes that pass
// one on, added as small numbers. Returns the first word not done and the loop's state there.
struct TRuleState {
  uint64_t prevWord = 0, carry = 0, lastNewline = 0;
};

// Shifts of each lane, and the lanes moved up one with the last lane of `before` in the first. (The
// zero-masked forms: the plain ones leave GCC 12 warning about their undefined source.)
KX8_VECTORS512 inline __m512i Up(__m512i v, unsigned n) { return _mm512_maskz_slli_epi64(0xFF, v, n); }
KX8_VECTORS512 inline __m512i Down(__m512i v, unsigned n) { return _mm512_maskz_srli_epi64(0xFF, v, n); }
KX8_VECTORS512 inline __m512i AndNot(__m512i notThis, __m512i v) { return _mm512_maskz_andnot_epi64(0xFF, notThis, v); }
KX8_VECTORS512 inline __m512i LanesAfter(__m512i v, __m512i before) { return _mm512_maskz_alignr_epi64(0xFF, v, before, 7); }

// A sum of two vectors of eight 64-bit lanes as one 512-bit number plus a carry in (and out), where no
// lane can both make a carry and pass one on (the second addend lies within the first's ones).
KX8_VECTORS512 inline __m512i AddAcross(__m512i a, __m512i b, uint32_t& carry) {
  const __m512i partial = _mm512_add_epi64(a, b);
  const uint32_t makes = _mm512_cmplt_epu64_mask(partial, a);
  const uint32_t passes = _mm512_cmpeq_epi64_mask(partial, _mm512_set1_epi64(-1));
  const uint32_t carried = makes + (makes | passes) + carry;
  carry = (carried >> 8) & 1;
  return _mm512_mask_add_epi64(partial, static_cast<__mmask8>(carried ^ makes ^ (makes | passes)), partial,
                               _mm512_set1_epi64(1));
}

KX8_VECTORS512 size_t RuleBlocks512(size_t words, const uint64_t* alnum, const uint64_t* digits,
                                    const uint64_t* middles, const uint64_t* separators, const uint64_t* breaks,
                                    const uint64_t* terminators, const uint64_t* blanks, uint64_t* newlines,
                                    uint64_t* wordStarts, uint64_t* breakStarts, uint64_t* looked, TRuleState& state) {
  const __m512i zero = _mm512_setzero_si512();
  __m512i lastA = zero, lastD = zero, lastWord = zero, lastNl = zero;
  uint32_t carry = 0;
  size_t w = 0;
  // Whole blocks whose next word is readable (the arrays keep a spare word after the last).
  for (; w + 8 <= words; w += 8) {
    const __m512i a = _mm512_loadu_si512(alnum + w), d = _mm512_loadu_si512(digits + w);
    const __m512i aLeft = _mm512_or_si512(Up(a, 1), Down(LanesAfter(a, lastA), 63));
    const __m512i aRight = _mm512_or_si512(Down(a, 1), Up(_mm512_loadu_si512(alnum + w + 1), 63));
    const __m512i dLeft = _mm512_or_si512(Up(d, 1), Down(LanesAfter(d, lastD), 63));
    const __m512i dRight = _mm512_or_si512(Down(d, 1), Up(_mm512_loadu_si512(digits + w + 1), 63));
    const __m512i word = _mm512_or_si512(
        a, _mm512_or_si512(_mm512_and_si512(_mm512_loadu_si512(middles + w), _mm512_and_si512(aLeft, aRight)),
                           _mm512_and_si512(_mm512_loadu_si512(separators + w), _mm512_and_si512(dLeft, dRight))));
    const __m512i wordBefore = Down(LanesAfter(word, lastWord), 63);
    _mm512_storeu_si512(wordStarts + w, AndNot(_mm512_or_si512(Up(word, 1), wordBefore), word));
    const __m512i b = _mm512_loadu_si512(breaks + w);
    const __m512i bAfter = Up(_mm512_loadu_si512(breaks + w + 1), 63);
    _mm512_storeu_si512(breakStarts + w, AndNot(_mm512_or_si512(Down(b, 1), bAfter), b));
    _mm512_storeu_si512(looked + w, AndNot(aRight, _mm512_loadu_si512(terminators + w)));
    const __m512i nl = _mm512_loadu_si512(newlines + w), blank = _mm512_loadu_si512(blanks + w);
    const __m512i after = _mm512_or_si512(Up(nl, 1), Down(LanesAfter(nl, lastNl), 63));
    const __m512i sum = AddAcross(blank, _mm512_and_si512(after, blank), carry);
    _mm512_storeu_si512(newlines + w, _mm512_and_si512(nl, _mm512_or_si512(after, AndNot(blank, sum))));
    lastA = a, lastD = d, lastWord = word, lastNl = nl;
  }
  alignas(64) uint64_t lanes[8];
  _mm512_store_si512(lanes, lastWord);
  state.prevWord = lanes[7];
  _mm512_store_si512(lanes, lastNl);
  state.lastNewline = lanes[7] >> 63;
  state.carry = carry;
  return w;
}

// The whole 512 bits turned end to end: lanes in reverse order, and the bits of each reversed.
KX8_VECTORS512 inline __m512i Reversed(__m512i v) {
  const __m512i lanes = _mm512_maskz_permutexvar_epi64(0xFF, _mm512_setr_epi64(7, 6, 5, 4, 3, 2, 1, 0), v);
  alignas(64) static constexpr uint8_t kBytesReversed[64] = {
      7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,
      7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8};
  const __m512i bytes = _mm512_maskz_shuffle_epi8(~uint64_t{0}, lanes, _mm512_load_si512(kBytesReversed));
  return _mm512_maskz_gf2p8affine_epi64_epi8(~uint64_t{0}, bytes, _mm512_set1_epi64(0x8040201008040201), 0);
}

// The sentence ends of TakeUnits' walk, eight words at a time, for words a multiple of eight (the masks
// zero beyond the text). A terminator it looks at ends a sentence when the next letter or digit is not
// lower case: the gaps between letters and digits closed by such a one are found with the masks turned
// end to end, where a gap follows its closing letter and a carry added after that letter runs through
// the gap. From each terminator in such a gap a carry runs over the further terminators after it, and
// the sentence ends where it lands, when that is white space.
KX8_VECTORS512 void SentenceBlocks512(size_t words, const uint64_t* alnum, const uint64_t* lower, const uint64_t* looked,
                                      const uint64_t* potential, const uint64_t* space, uint64_t* gaps,
                                      uint64_t* sentences) {
  const __m512i ones = _mm512_set1_epi64(-1);
  __m512i before = _mm512_setzero_si512();
  uint32_t carry = 0;
  for (size_t w = words; w >= 8; w -= 8) {
    const __m512i a = _mm512_loadu_si512(alnum + w - 8);
    const __m512i gapBits = Reversed(_mm512_xor_si512(a, ones));
    const __m512i closers = Reversed(AndNot(_mm512_loadu_si512(lower + w - 8), a));
    const __m512i after = _mm512_and_si512(_mm512_or_si512(Up(closers, 1), Down(LanesAfter(closers, before), 63)), gapBits);
    _mm512_storeu_si512(gaps + w - 8, Reversed(AndNot(AddAcross(gapBits, after, carry), gapBits)));
    before = closers;
  }
  before = _mm512_setzero_si512();
  carry = 0;
  for (size_t w = 0; w < words; w += 8) {
    const __m512i q = _mm512_and_si512(_mm512_loadu_si512(looked + w), _mm512_loadu_si512(gaps + w));
    const __m512i next = _mm512_or_si512(Up(q, 1), Down(LanesAfter(q, before), 63));
    const __m512i run = _mm512_loadu_si512(potential + w);
    const __m512i landed = AndNot(run, AddAcross(run, _mm512_and_si512(next, run), carry));
    _mm512_storeu_si512(sentences + w, _mm512_and_si512(_mm512_or_si512(AndNot(run, next), landed),
                                                        _mm512_loadu_si512(space + w)));
    before = q;
  }
}

// How a block compares a place: a unit u is one of the place's when (u | fold) == value. A place of one
// unit has fold 0; one of a letter in both cases, fold 0x20 and the lower case. Other places are looked
// at one by one.
struct TPlaceTest {
  char fold = 0, value = 0;
};

bool PlaceTestOf(const TUnitPlace& place, TPlaceTest& test) {
  if (place.count == 1) {
    test = {0, static_cast<char>(place.units[0])};
    return true;
  }
  if (place.count == 2 && (place.units[0] ^ place.units[1]) == 0x20 && IsAsciiAlnum(place.units[0]) &&
      !IsAsciiDigit(place.units[0])) {
    test = {0x20, static_cast<char>(place.units[0] | 0x20)};
    return true;
  }
  return false;
}

// Appends base plus the index of each set bit, unless out would grow past most.
inline bool AppendPositions(uint64_t bits, int32_t base, std::vector<int32_t>& out, size_t most) {
  for (; bits != 0; bits &= bits - 1) {
    if (out.size() >= most) return false;
    out.push_back(base + __builtin_ctzll(bits));
  }
  return true;
}

// FindUnits' blocks for Places places, over positions below `end` (whose last place is readable below
// it plus the places after the first): where it stopped, or -1 when out would grow past most. (Units
// from 0x80 up would pack to 0 or 0xFF, which no test takes; the text is 7-bit anyway.)
template <int Places, typename Unit>
__attribute__((target("avx2,popcnt"))) int32_t FindUnitsBlocks(const Unit* text, int32_t end, int32_t from,
                                                              const TPlaceTest* tests, std::vector<int32_t>& out,
                                                              size_t most) {
  __m256i fold[Places], value[Places];
  for (int p = 0; p < Places; ++p) {
    fold[p] = _mm256_set1_epi8(tests[p].fold);
    value[p] = _mm256_set1_epi8(tests[p].value);
  }
  int32_t i = from;
  // The blocks without a candidate (nearly all) pass through a loop with no call in it, so that the
  // tests stay in registers; a call to append would have them saved to memory and reloaded each block.
  for (;;) {
    uint32_t bits = 0;
    for (; i + 32 <= end; i += 32) {
      __m256i eq = _mm256_cmpeq_epi8(_mm256_or_si256(Bytes32(text + i), fold[0]), value[0]);
      for (int p = 1; p < Places; ++p)
        eq = _mm256_and_si256(eq, _mm256_cmpeq_epi8(_mm256_or_si256(Bytes32(text + i + p), fold[p]), value[p]));
      if ((bits = static_cast<uint32_t>(_mm256_movemask_epi8(eq))) != 0) break;
    }
    if (bits == 0) return i;
    if (!AppendPositions(bits, i, out, most)) return -1;
    i += 32;
  }
}

// FindUnitsBlocks sixty-four positions at a time.
template <int Places, typename Unit>
KX8_VECTORS512 int32_t FindUnitsBlocks512(const Unit* text, int32_t end, int32_t from, const TPlaceTest* tests,
                                          std::vector<int32_t>& out, size_t most) {
  __m512i fold[Places], value[Places];
  for (int p = 0; p < Places; ++p) {
    fold[p] = _mm512_set1_epi8(tests[p].fold);
    value[p] = _mm512_set1_epi8(tests[p].value);
  }
  int32_t i = from;
  // (A loop with no call in it, as in FindUnitsBlocks.)
  for (;;) {
    __mmask64 eq = 0;
    for (; i + 64 <= end; i += 64) {
      eq = _mm512_cmpeq_epi8_mask(_mm512_or_si512(Bytes64(text + i), fold[0]), value[0]);
      for (int p = 1; p < Places; ++p)
        eq &= _mm512_cmpeq_epi8_mask(_mm512_or_si512(Bytes64(text + i + p), fold[p]), value[p]);
      if (eq != 0) break;
    }
    if (eq == 0) return i;
    if (!AppendPositions(eq, i, out, most)) return -1;
    i += 64;
  }
}

template <int Places, typename Unit>
int32_t FindUnitsWidest(const Unit* text, int32_t end, int32_t from, const TPlaceTest* tests,
                        std::vector<int32_t>& out, size_t most) {
  if (Global_UseVectors512) {
    from = FindUnitsBlocks512<Places>(text, end, from, tests, out, most);
    if (from < 0) return from;
  }
  return FindUnitsBlocks<Places>(text, end, from, tests, out, most);
}
#endif

}  // namespace

bool TAsciiWindowCounts::Available() {
#if defined(KX8_ASCII_COUNTS_AVX2)
  return Global_UseWideVectors;
#else
  return false;
#endif
}

namespace {

template <typename Unit>
bool FindUnitsOf(const Unit* text, int32_t n, int32_t from, int32_t to, const TUnitPlace* places, int placeCount,
                 std::vector<int32_t>& out, size_t most) {
  int32_t i = from;
#if defined(KX8_ASCII_COUNTS_AVX2)
  // The places a block compares: the first ones that have a test.
  TPlaceTest tests[4];
  int tested = 0;
  while (tested < std::min(placeCount, 4) && PlaceTestOf(places[tested], tests[tested])) ++tested;
  if (Global_UseWideVectors && tested > 0) {
    const size_t before = out.size();
    const int32_t end = std::min(to, n - (tested - 1));
    switch (tested) {
      case 1: i = FindUnitsWidest<1>(text, end, from, tests, out, most); break;
      case 2: i = FindUnitsWidest<2>(text, end, from, tests, out, most); break;
      case 3: i = FindUnitsWidest<3>(text, end, from, tests, out, most); break;
      default: i = FindUnitsWidest<4>(text, end, from, tests, out, most); break;
    }
    if (i < 0) return false;
    // Positions a block took are filtered by the remaining places below, with the rest.
    if (tested < placeCount) {
      size_t kept = before;
      for (size_t k = before; k < out.size(); ++k) {
        const int32_t c = out[k];
        int p = tested;
        while (p < placeCount && c + p < n &&
               std::find(places[p].units, places[p].units + places[p].count, text[c + p]) != places[p].units + places[p].count)
          ++p;
        if (p == placeCount) out[kept++] = c;
      }
      out.resize(kept);
    }
  }
#endif
  for (; i < to; ++i) {
    int p = 0;
    while (p < placeCount && i + p < n &&
           std::find(places[p].units, places[p].units + places[p].count, text[i + p]) != places[p].units + places[p].count)
      ++p;
    if (p < placeCount) continue;
    if (out.size() >= most) return false;
    out.push_back(i);
  }
  return true;
}

}  // namespace

bool TAsciiWindowCounts::FindUnits(const char16_t* text, int32_t n, int32_t from, int32_t to, const TUnitPlace* places,
                                   int placeCount, std::vector<int32_t>& out, size_t most) {
  return FindUnitsOf(text, n, from, to, places, placeCount, out, most);
}

bool TAsciiWindowCounts::FindUnits(const uint8_t* text, int32_t n, int32_t from, int32_t to, const TUnitPlace* places,
                                   int placeCount, std::vector<int32_t>& out, size_t most) {
  return FindUnitsOf(text, n, from, to, places, placeCount, out, most);
}

void TAsciiWindowCounts::Take(const char16_t* text, int32_t n, const UnicodeString& middleChars) {
  TakeUnits(text, n, middleChars, nullptr, 0);
}

void TAsciiWindowCounts::Take(const uint8_t* text, int32_t n, const UnicodeString& middleChars, const uint8_t* ahead,
                              int32_t ahead_length) {
  TakeUnits(text, n, middleChars, ahead, ahead_length);
}

template <typename Unit>
void TAsciiWindowCounts::TakeUnits(const Unit* text, int32_t n, const UnicodeString& middleChars, const uint8_t* ahead,
                                   int32_t aheadLength) {
  n_ = std::max(n, 0);
  const size_t words = (static_cast<size_t>(n_) + 63) / 64;
  // Every word is written below (whole blocks at once, the rest a unit at a time into cleared words),
  // with zero words after the last: to a multiple of eight, and eight more.
  const size_t padded = (words + 7) / 8 * 8 + 8;
  for (auto* v : {&breaks_, &wordStarts_, &breakStarts_, &alnum_, &digits_, &middles_, &separators_, &terminators_,
                  &newlines_, &blanks_, &looked_, &lower_, &potential_, &space_, &gaps_, &sentences_}) {
    v->resize(padded);
    std::fill(v->begin() + static_cast<std::ptrdiff_t>(words), v->end(), 0);
  }
  // The middle characters that can occur in 7-bit text (the rule takes the first ten; four are looked
  // for a block at a time, any more one by one).
  char16_t middles[10] = {};
  int middleCount = 0;
  for (size_t k = 0; k < std::min<size_t>(middleChars.size(), 10); ++k)
    if (middleChars[k] < 0x80 && std::find(middles, middles + middleCount, middleChars[k]) == middles + middleCount)
      middles[middleCount++] = middleChars[k];

  // The characters' own classes, a bit each.
  int32_t i = 0;
#if defined(KX8_ASCII_COUNTS_AVX2)
  if (Global_UseWideVectors && Global_UseVectors512) {
    if (middleCount != tableMiddleCount_ || !std::equal(middles, middles + middleCount, tableMiddles_)) {
      FillClassTable(middles, middleCount, classTable_);
      std::copy(middles, middles + middleCount, tableMiddles_);
      tableMiddleCount_ = middleCount;
    }
    i = MaskBlocks512(text, n_, classTable_, alnum_.data(), digits_.data(), breaks_.data(), middles_.data(),
                      separators_.data(), terminators_.data(), newlines_.data(), blanks_.data(), lower_.data(),
                      potential_.data(), space_.data(), ahead, ahead ? aheadLength : 0);
  } else if (middleCount <= 4)
    i = MaskBlocks(text, n_, middles, middleCount, alnum_.data(), digits_.data(), breaks_.data(), middles_.data(),
                   separators_.data(), terminators_.data(), newlines_.data(), blanks_.data());
#endif
  // (A block taken whole or in part is written whole: the words after it are cleared for the units left.)
  for (size_t w = (static_cast<size_t>(i) + 63) >> 6; w < words; ++w)
    for (auto* v : {&breaks_, &alnum_, &digits_, &middles_, &separators_, &terminators_, &newlines_, &blanks_, &lower_,
                    &potential_, &space_})
      (*v)[w] = 0;
  for (; i < n_; ++i) {
    const char16_t c = static_cast<char16_t>(text[i]);
    const size_t w = static_cast<size_t>(i) >> 6;
    const uint64_t bit = uint64_t{1} << (i & 63);
    if (IsAsciiAlnum(c)) alnum_[w] |= bit;
    if (IsAsciiDigit(c)) digits_[w] |= bit;
    if (IsAsciiBreak(c)) breaks_[w] |= bit;
    if (std::find(middles, middles + middleCount, c) != middles + middleCount) middles_[w] |= bit;
    if (IsAsciiSeparator(c)) separators_[w] |= bit;
    if (c == u'.' || c == u'!' || c == u'?') terminators_[w] |= bit;
    if (c == u'\n') newlines_[w] |= bit;
    if (IsBlank(c)) blanks_[w] |= bit;
    const uint8_t sentence = kSentenceClasses.Of(c);
    if (sentence & kSentenceLower) lower_[w] |= bit;
    if (sentence & kSentencePotential) potential_[w] |= bit;
    if (sentence & kSentenceSpace) space_[w] |= bit;
  }

  // Word characters as the rule leaves them: letters and digits; a middle character with a letter or
  // digit on each side (a neighbour is never a middle character made a letter: that one would need this
  // one to be a letter already); a separator between two digits. Then where words and runs of
  // non-break characters begin.
  uint64_t prevWord = 0;
  uint64_t carry = 0;        // of the sum that runs blanks forward from line breaks, into the next word
  uint64_t lastNewline = 0;  // whether the word before ends with a line break
  size_t w = 0;
#if defined(KX8_ASCII_COUNTS_AVX2)
  if (Global_UseWideVectors && Global_UseVectors512) {
    TRuleState state;
    w = RuleBlocks512(words, alnum_.data(), digits_.data(), middles_.data(), separators_.data(), breaks_.data(),
                      terminators_.data(), blanks_.data(), newlines_.data(), wordStarts_.data(), breakStarts_.data(),
                      looked_.data(), state);
    prevWord = state.prevWord, carry = state.carry, lastNewline = state.lastNewline;
  }
#endif
  for (; w < words; ++w) {
    const uint64_t a = alnum_[w], d = digits_[w];
    const uint64_t aLeft = (a << 1) | (w > 0 ? alnum_[w - 1] >> 63 : 0), aRight = (a >> 1) | (alnum_[w + 1] << 63);
    const uint64_t dLeft = (d << 1) | (w > 0 ? digits_[w - 1] >> 63 : 0), dRight = (d >> 1) | (digits_[w + 1] << 63);
    const uint64_t word = a | (middles_[w] & aLeft & aRight) | (separators_[w] & dLeft & dRight);
    wordStarts_[w] = word & ~((word << 1) | (prevWord >> 63));
    prevWord = word;
    const uint64_t b = breaks_[w];
    breakStarts_[w] = b & ~((b >> 1) | (breaks_[w + 1] << 63));
    // The terminators the sentence walk must look at: those not right before a letter or digit (one
    // there ends no sentence: "3.5", "e.g", "www.gnu.org").
    looked_[w] = terminators_[w] & ~aRight;
    // The line breaks that end a paragraph, unless a sentence ends on them: those whose last character
    // before, passing over blanks, is a line break. Adding a bit at the start of each run of blanks
    // that follows a line break carries it through the run to the character after; the carry goes on
    // into the next word.
    const uint64_t nl = newlines_[w], blank = blanks_[w];
    const uint64_t after = (nl << 1) | lastNewline;
    lastNewline = nl >> 63;
    uint64_t sum;
    const uint64_t over1 = __builtin_add_overflow(blank, after & blank, &sum);
    const uint64_t over2 = __builtin_add_overflow(sum, carry, &sum);
    carry = over1 | over2;
    newlines_[w] = nl & (after | (sum & ~blank));  // kept for below; the line breaks are not needed again
  }

  // Sentence ends, as the rule marks them: walked in order over the terminators. A sentence ends at the
  // white space after a run of terminators when the next letter or digit is not lower case (nor a digit
  // right after the terminator).
#if defined(KX8_ASCII_COUNTS_AVX2)
  if (Global_UseWideVectors && Global_UseVectors512) {
    SentenceBlocks512(padded - 8, alnum_.data(), lower_.data(), looked_.data(), potential_.data(), space_.data(),
                      gaps_.data(), sentences_.data());
  } else
#endif
  {
    // (Inline here, with the 7-bit terminators from the table: the walk meets one terminator in some
    // eighty characters of running text, and calls cost more than the rest of a step.)
    std::fill(sentences_.begin(), sentences_.begin() + static_cast<std::ptrdiff_t>(words), 0);
    const uint64_t* const alnum = alnum_.data();
    auto nextAlnum = [&](int32_t from) {
      if (from >= n_) return n_;
      auto w = static_cast<size_t>(from) >> 6;
      uint64_t v = alnum[w] & (~uint64_t{0} << (from & 63));
      while (v == 0) {
        if (++w >= words) return n_;
        v = alnum[w];
      }
      return std::min(n_, static_cast<int32_t>(w * 64) + __builtin_ctzll(v));
    };
    for (size_t w = 0; w < words; ++w)
      for (uint64_t bits = looked_[w]; bits != 0; bits &= bits - 1) {
        const int32_t q = static_cast<int32_t>(w * 64) + __builtin_ctzll(bits);
        // The next letter or digit, from the masks.
        const int32_t k = nextAlnum(q + 1);
        if (k >= n_) continue;
        const auto c = static_cast<char16_t>(text[k]);
        if (IsAsciiLower(c) || (k == q + 1 && IsAsciiDigit(c))) continue;
        int32_t e = q + 1;
        while (e < n_ && (kSentenceClasses.Of(static_cast<char16_t>(text[e])) & kSentencePotential)) ++e;
        if (e < n_ && IsSpaceChar(text[e])) sentences_[static_cast<size_t>(e) >> 6] |= uint64_t{1} << (e & 63);
      }
  }
  // Paragraph ends: the line breaks found above on which no sentence ends, kept as bits.
  for (size_t w = 0; w < words; ++w) newlines_[w] &= ~sentences_[w];
  sentenceCount_ = PopCount(sentences_.data(), words);
  paragraphCount_ = PopCount(newlines_.data(), words);
}

KX8_COUNTS_TARGET TCorpusCounts TAsciiWindowCounts::Count(int32_t from, int32_t to) const {
  TCorpusCounts c;
  from = std::max(from, 0);
  to = std::min(to, n_);
  if (to <= from) return c;
  // Whole words of the masks in the middle, the two ends cut to the range: the bits below `from` are
  // taken off the first word's counts, those from `to` on off the last's.
  const auto first = static_cast<size_t>(from) >> 6, last = static_cast<size_t>(to - 1) >> 6;
  int32_t words = 0, breaks = 0, sentences = 0, paragraphs = 0;
  for (size_t w = first; w <= last; ++w) {
    words += PopCount(wordStarts_[w]);
    breaks += PopCount(breakStarts_[w]);
    sentences += PopCount(sentences_[w]);
    paragraphs += PopCount(newlines_[w]);
  }
  const uint64_t below = ~(~uint64_t{0} << (from & 63));
  words -= PopCount(wordStarts_[first] & below);
  breaks -= PopCount(breakStarts_[first] & below);
  sentences -= PopCount(sentences_[first] & below);
  paragraphs -= PopCount(newlines_[first] & below);
  if ((to & 63) != 0) {
    const uint64_t beyond = ~uint64_t{0} << (to & 63);
    words -= PopCount(wordStarts_[last] & beyond);
    breaks -= PopCount(breakStarts_[last] & beyond);
    sentences -= PopCount(sentences_[last] & beyond);
    paragraphs -= PopCount(newlines_[last] & beyond);
  }
  c.words = words;
  c.break_starts = breaks;
  c.sentence_ends = sentences;
  c.paragraph_ends = paragraphs;
  return c;
}

}  // namespace kx8
