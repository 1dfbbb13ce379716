#include "kx8rt/corpus/corpus_words.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include <unicode/brkiter.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

#include "kx8rt/corpus/dictionary_words.h"
#include "kx8rt/corpus/word_start_cache.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/strings/sentences.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; }
bool IsSpaceChar(char16_t c) { return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t'; }

// Whether what follows the terminator at q (past any characters that are neither letters nor digits)
// starts a new sentence: not a lower-case letter, and not a digit right after it ("3.5").
bool NextStartsSentence(const uint16_t* types, int32_t q, int32_t n) {
  for (int32_t k = q + 1; k < n; ++k) {
    const uint16_t t = types[k];
    if (t & segment_marker_flag) continue;
    if (t & C1_LOWER) return false;
    if (k == q + 1 && (t & C1_DIGIT)) return false;
    if (t & (C1_ALPHA | C1_DIGIT)) return true;
  }
  return false;
}

// Where the units the word rule looks at stand: '.', '!', '?', line breaks, zero width joiners and the
// (at most two) middle characters m0 and m1, in order, into found (n entries at most); and whether any
// unit is at or above U+0E00 (where the scripts written without spaces begin). One pass does for all the
// rule's steps what each would otherwise do over the whole window on its own.
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
// The same sixteen units at a time, on processors with 256-bit vectors; returns where it stopped.
__attribute__((target("avx2"))) int32_t FindRuleUnits16(const char16_t* text, int32_t n, char16_t m0, char16_t m1,
                                                        int32_t* found, int32_t& count, bool& above) {
  const __m256i dot = _mm256_set1_epi16(u'.'), bang = _mm256_set1_epi16(u'!'), query = _mm256_set1_epi16(u'?'),
                nl = _mm256_set1_epi16(u'\n'), zwj = _mm256_set1_epi16(static_cast<int16_t>(0x200D)),
                k0 = _mm256_set1_epi16(static_cast<int16_t>(m0)), k1 = _mm256_set1_epi16(static_cast<int16_t>(m1));
  const __m256i flip = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
  const __m256i limit = _mm256_set1_epi16(static_cast<int16_t>(0x0DFF ^ 0x8000));
  __m256i highSeen = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
    highSeen = _mm256_or_si256(highSeen, _mm256_cmpgt_epi16(_mm256_xor_si256(v, flip), limit));
    const __m256i m = _mm256_or_si256(
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi16(v, dot), _mm256_cmpeq_epi16(v, bang)),
                        _mm256_or_si256(_mm256_cmpeq_epi16(v, query), _mm256_cmpeq_epi16(v, nl))),
        _mm256_or_si256(_mm256_cmpeq_epi16(v, zwj),
                        _mm256_or_si256(_mm256_cmpeq_epi16(v, k0), _mm256_cmpeq_epi16(v, k1))));
    auto bits = static_cast<unsigned>(_mm256_movemask_epi8(m)) & 0x55555555u;
    while (bits != 0) {
      found[count++] = i + __builtin_ctz(bits) / 2;
      bits &= bits - 1;
    }
  }
  above |= !_mm256_testz_si256(highSeen, highSeen);
  return i;
}

// FindRuleUnits16 for text whose units are all 7-bit, thirty-two units a block: the units are packed
// into bytes and looked up by their two halves (a bit for each high half 0..7 in the low half's table
// entry: exact, and nothing at or above 0x80 matches). The middle characters must be 7-bit too.
__attribute__((target("avx2"))) int32_t FindAsciiRuleUnits32(const char16_t* text, int32_t n, char16_t m0,
                                                             char16_t m1, int32_t* found, int32_t& count) {
  alignas(16) uint8_t lowTable[16] = {};
  alignas(16) uint8_t highTable[16] = {};
  for (const char16_t c : {char16_t(u'.'), char16_t(u'!'), char16_t(u'?'), char16_t(u'\n'), m0, m1})
    lowTable[c & 15] |= static_cast<uint8_t>(1u << (c >> 4));
  for (int h = 0; h < 8; ++h) highTable[h] = static_cast<uint8_t>(1u << h);
  const __m256i lows = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(lowTable)));
  const __m256i highs = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(highTable)));
  const __m256i nibble = _mm256_set1_epi8(0x0F), zero = _mm256_setzero_si256();
  int32_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 16));
    // Packing interleaves the two halves by 128-bit lane; the permute puts the bytes back in order.
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
    const __m256i lo = _mm256_shuffle_epi8(lows, _mm256_and_si256(bytes, nibble));
    const __m256i hi = _mm256_shuffle_epi8(highs, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), nibble));
    auto bits = ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(lo, hi), zero)));
    while (bits != 0) {
      found[count++] = i + __builtin_ctz(bits);
      bits &= bits - 1;
    }
  }
  return i;
}

// IsSevenBitText's blocks, sixty-four units a test: where it stopped, or -1 at a unit from 0x80 up.
__attribute__((target("avx2"))) int32_t SevenBitBlocks(const char16_t* text, int32_t n) {
  const __m256i high = _mm256_set1_epi16(static_cast<int16_t>(0xFF80));
  int32_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i)),
                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 16)));
    const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 32)),
                                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 48)));
    if (!_mm256_testz_si256(_mm256_or_si256(a, b), high)) return -1;
  }
  return i;
}
#endif

int32_t FindRuleUnits(const char16_t* text, int32_t n, char16_t m0, char16_t m1, int32_t* found, bool& high) {
  int32_t count = 0, i = 0;
  bool above = false;
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors) {
    // Most windows of most corpora are 7-bit throughout: then nothing is at or above U+0E00, no joiner
    // or other middle character can occur, and the units looked for are found by their bytes.
    if (IsSevenBitText(text, n)) {
      i = FindAsciiRuleUnits32(text, n, m0 < 0x80 ? m0 : u'.', m1 < 0x80 ? m1 : u'.', found, count);
    } else {
      i = FindRuleUnits16(text, n, m0, m1, found, count, above);
    }
  }
#endif
#if defined(__SSE2__)
  const __m128i dot = _mm_set1_epi16(u'.'), bang = _mm_set1_epi16(u'!'), query = _mm_set1_epi16(u'?'),
                nl = _mm_set1_epi16(u'\n'), zwj = _mm_set1_epi16(static_cast<int16_t>(0x200D)),
                k0 = _mm_set1_epi16(static_cast<int16_t>(m0)), k1 = _mm_set1_epi16(static_cast<int16_t>(m1));
  // Unsigned v >= 0x0E00, compared as signed after turning the top bit over.
  const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i limit = _mm_set1_epi16(static_cast<int16_t>(0x0DFF ^ 0x8000));
  __m128i highSeen = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    highSeen = _mm_or_si128(highSeen, _mm_cmpgt_epi16(_mm_xor_si128(v, flip), limit));
    const __m128i m = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, dot), _mm_cmpeq_epi16(v, bang)),
                     _mm_or_si128(_mm_cmpeq_epi16(v, query), _mm_cmpeq_epi16(v, nl))),
        _mm_or_si128(_mm_cmpeq_epi16(v, zwj), _mm_or_si128(_mm_cmpeq_epi16(v, k0), _mm_cmpeq_epi16(v, k1))));
    auto bits = static_cast<unsigned>(_mm_movemask_epi8(m)) & 0x5555u;
    while (bits != 0) {
      found[count++] = i + __builtin_ctz(bits) / 2;
      bits &= bits - 1;
    }
  }
  above |= _mm_movemask_epi8(highSeen) != 0;
#endif
  for (; i < n; ++i) {
    const char16_t c = text[i];
    above |= c >= 0x0E00;
    if (c == u'.' || c == u'!' || c == u'?' || c == u'\n' || c == 0x200D || c == m0 || c == m1) found[count++] = i;
  }
  high = above;
  return count;
}

// The first index from i on whose unit is at or above U+0E00, or n.
int32_t NextUnitFrom0E00(const char16_t* text, int32_t i, int32_t n) {
#if defined(__SSE2__)
  // Unsigned v >= 0x0E00, compared as signed after turning the top bit over.
  const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i limit = _mm_set1_epi16(static_cast<int16_t>(0x0DFF ^ 0x8000));
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), flip);
    if (const int bits = _mm_movemask_epi8(_mm_cmpgt_epi16(v, limit)))
      return i + __builtin_ctz(static_cast<unsigned>(bits)) / 2;
  }
#endif
  for (; i < n; ++i)
    if (text[i] >= 0x0E00) return i;
  return n;
}

bool HasUnitsFrom0E00(const char16_t* text, int32_t n) { return NextUnitFrom0E00(text, 0, n) < n; }

// One word-break iterator for each thread that segments (making one is costly; sharing one is not safe).
icu::BreakIterator* ThreadWordBreaker() {
  thread_local std::unique_ptr<icu::BreakIterator> breaker;
  thread_local bool tried = false;
  if (!tried) {
    tried = true;
    UErrorCode status = U_ZERO_ERROR;
    breaker.reset(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) breaker.reset();
  }
  return breaker.get();
}

}  // namespace

bool IsSevenBitText(const char16_t* text, int32_t n) {
  int32_t i = 0;
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors && (i = SevenBitBlocks(text, n)) < 0) return false;
#endif
  for (; i < n; ++i)
    if (text[i] >= 0x80) return false;
  return true;
}

bool IsUnspacedScriptChar(char32_t c) {
  return (c >= 0x0E00 && c <= 0x0EFF) ||    // Thai, Lao
         (c >= 0x1000 && c <= 0x109F) ||    // Myanmar
         (c >= 0x1780 && c <= 0x17FF) ||    // Khmer
         (c >= 0x19E0 && c <= 0x19FF) ||    // Khmer symbols
         (c >= 0x3040 && c <= 0x30FF) ||    // Hiragana, Katakana
         (c >= 0x31F0 && c <= 0x31FF) ||    // Katakana extensions
         (c >= 0x3400 && c <= 0x4DBF) ||    // Han extension A
         (c >= 0x4E00 && c <= 0x9FFF) ||    // Han
         (c >= 0xF900 && c <= 0xFAFF) ||    // Han compatibility
         (c >= 0xFF66 && c <= 0xFF9F) ||    // halfwidth Katakana
         (c >= 0xA9E0 && c <= 0xA9FF) ||    // Myanmar extended B
         (c >= 0xAA60 && c <= 0xAA7F) ||    // Myanmar extended A
         (c >= 0x20000 && c <= 0x3134F);    // Han beyond the first plane
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// RunMasks' words of 64 units that fit, where the processor has 512-bit vectors; returns how many units.
__attribute__((target("avx512f,avx512bw,popcnt"))) int32_t RunMasks512(const char16_t* text, const uint16_t* types,
                                                                      int32_t n, uint64_t* word, uint64_t* high,
                                                                      bool& starts, int64_t& highUnits) {
  const __m512i letter = _mm512_set1_epi16(0x0104), outside = _mm512_set1_epi16(static_cast<int16_t>(0x8800));
  const __m512i limit = _mm512_set1_epi16(0x0DFF);
  __m512i all = _mm512_setzero_si512();
  int32_t i = 0;
  for (; i + 64 <= n; i += 64) {
    uint64_t w = 0, h = 0;
    for (int32_t half = 0; half < 2; ++half) {
      const __m512i t = _mm512_loadu_si512(types + i + 32 * half);
      const __m512i c = _mm512_loadu_si512(text + i + 32 * half);
      const __mmask32 isWord = _mm512_test_epi16_mask(t, letter) & _mm512_testn_epi16_mask(t, outside);
      w |= uint64_t{isWord} << (32 * half);
      h |= uint64_t{isWord & _mm512_cmpgt_epu16_mask(c, limit)} << (32 * half);
      all = _mm512_or_si512(all, t);
    }
    word[i >> 6] = w;
    high[i >> 6] = h;
    highUnits += __builtin_popcountll(h);
  }
  starts = _mm512_test_epi16_mask(all, _mm512_set1_epi16(static_cast<int16_t>(word_start_flag))) != 0;
  return i;
}

#endif

// The masks of a window's units, 64 units a word (the bits past n clear, and one more word of word
// characters, clear, after the last): which are word characters under the rule, and which of those are
// at or above U+0E00, and how many of those there are in highUnits. Returns whether any of the types has
// word_start_flag already.
bool RunMasks(const char16_t* text, const uint16_t* types, int32_t n, uint64_t* word, uint64_t* high,
              int64_t& highUnits) {
  const int32_t words = (n + 63) / 64;
  std::fill_n(word, words + 1, 0);
  std::fill_n(high, words, 0);
  int32_t i = 0;
  bool starts = false;
  highUnits = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors && Global_UseVectors512) i = RunMasks512(text, types, n, word, high, starts, highUnits);
#endif
  const int32_t looked = i;  // (the types looked at for starts and counted)
#if defined(__SSE2__)
  const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i limit = _mm_set1_epi16(static_cast<int16_t>(0x0DFF ^ 0x8000));
  const __m128i outside = _mm_set1_epi16(static_cast<int16_t>(0x8800)), letter = _mm_set1_epi16(0x0104);
  const __m128i zero = _mm_setzero_si128();
  auto isWord = [&](__m128i t) {
    return _mm_andnot_si128(_mm_cmpeq_epi16(_mm_and_si128(t, letter), zero),
                            _mm_cmpeq_epi16(_mm_and_si128(t, outside), zero));
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i w = _mm_packs_epi16(isWord(_mm_loadu_si128(reinterpret_cast<const __m128i*>(types + i))),
                                      isWord(_mm_loadu_si128(reinterpret_cast<const __m128i*>(types + i + 8))));
    const __m128i h = _mm_packs_epi16(
        _mm_cmpgt_epi16(_mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), flip), limit),
        _mm_cmpgt_epi16(_mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8)), flip), limit));
    const auto wordBits = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(w)));
    const auto highBits = static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(w, h))));
    word[i >> 6] |= wordBits << (i & 63);
    high[i >> 6] |= highBits << (i & 63);
  }
#endif
  for (; i < n; ++i) {
    const bool w = IsCorpusWordChar(types[i]);
    word[i >> 6] |= uint64_t{w} << (i & 63);
    high[i >> 6] |= uint64_t{w && text[i] >= 0x0E00} << (i & 63);
  }
  for (int32_t j = looked / 64; j < words; ++j) highUnits += __builtin_popcountll(high[j]);  // (whole words above)
  if (!starts) {
    uint16_t all = 0;
    for (int32_t k = looked; k < n; ++k) all |= types[k];
    starts = (all & word_start_flag) != 0;
  }
  return starts;
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx512f,avx512bw"))) void WordStartBits512(const uint16_t* types, int32_t n, uint64_t* bits) {
  const __m512i flag = _mm512_set1_epi16(static_cast<int16_t>(word_start_flag));
  for (int32_t i = 0; i < n; i += 64) {
    uint64_t b = 0;
    for (int32_t half = 0; half < 2 && i + 32 * half < n; ++half) {
      const int32_t at = i + 32 * half;
      const __mmask32 lanes = n - at >= 32 ? ~__mmask32{0} : (__mmask32{1} << (n - at)) - 1;
      const __m512i t = _mm512_maskz_loadu_epi16(lanes, types + at);
      b |= uint64_t{_mm512_mask_test_epi16_mask(lanes, t, flag)} << (32 * half);
    }
    bits[i >> 6] = b;
  }
}
#endif

// Writes into bits ((n + 63) / 64 words) which of the n types have word_start_flag.
void WordStartBits(const uint16_t* types, int32_t n, uint64_t* bits) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors && Global_UseVectors512) return WordStartBits512(types, n, bits);
#endif
  std::fill_n(bits, (n + 63) / 64, 0);
  for (int32_t i = 0; i < n; ++i) bits[i >> 6] |= uint64_t{(types[i] & word_start_flag) != 0} << (i & 63);
}

// SegmentUnspacedRuns once a unit at or above U+0E00 is known to be there.
int32_t SegmentRuns(const char16_t* text, uint16_t* types, int32_t n, TWordStartCache& cache) {
  icu::BreakIterator* breaker = nullptr;
  int32_t runs = 0;
  UText whole = UTEXT_INITIALIZER;
  // Taken once a chunk: each use of a thread-local in a shared library is a call.
  thread_local THanKanaCutter threadCutter;
  // (The window-long arrays from the pool of huge pages: see TWordStartList.)
  thread_local TWordStartList threadStarts;
  thread_local TPooledBuffer<uint64_t> threadMasks;
  THanKanaCutter& cutter = threadCutter;
  TWordStartList& starts = threadStarts;
  starts.clear();
  // Every script written without spaces lies from U+0E00 up, and a run of word characters with no such
  // unit is one word: the runs looked at are those round such units (about half the characters of
  // Chinese text in the wild are Latin letters, digits and punctuation), found from the window's masks
  // of word characters and of those among them from U+0E00 up, a run's ends a bit search each.
  const int32_t words = (n + 63) / 64;
  auto& masks = threadMasks;
  if (masks.size() < 2 * static_cast<size_t>(words) + 1) masks.resize(2 * static_cast<size_t>(words) + 1);
  uint64_t* const word = masks.data();
  uint64_t* const high = word + words + 1;
  int64_t highUnits = 0;
  const bool startsBefore = RunMasks(text, types, n, word, high, highUnits);
  // A window with something to cut that was cut before (the same units, the same word characters, the same
  // dictionary and build) takes its word starts from the cache.
  const bool kept = cache.Wanted(n, highUnits);
  TWordStartKey key;
  uint64_t quick = 0;
  bool keyed = false;
  thread_local TPooledBuffer<uint64_t> threadBits;
  uint64_t* bits = nullptr;  // where the starts found are written, to keep
  const uint64_t make = kept ? WordCutMake() : 0;
  if (kept) {
    quick = TWordStartCache::QuickKeyOf(text, n, word, make);
    if (cache.MayHave(quick)) {
      key = TWordStartCache::KeyOf(text, n, word, make);
      keyed = true;
      if (cache.Apply(key, n, types, runs)) return runs;
    }
    // The starts kept are the flags set after the cut, which sets all there are: a window with some set
    // already (cut before in the same types) is not kept.
    if (!startsBefore) {
      threadBits.resize(static_cast<size_t>(words));
      bits = threadBits.data();
    }
  }
  // Most runs are plain Han or kana: taken from the masks at once, their bits cleared in high.
  cutter.AddPlainRuns(text, n, word, high, starts);
  for (int32_t j = 0; j < words;) {
    if (high[j] == 0) {
      ++j;
      continue;
    }
    int32_t k = j * 64 + __builtin_ctzll(high[j]);
    // The run's first unit: after the last unit before k that is no word character.
    int32_t b = j;
    uint64_t gap = ~word[b] & ((uint64_t{1} << (k & 63)) - 1);
    while (gap == 0 && b > 0) gap = ~word[--b];
    const int32_t start = gap == 0 ? 0 : b * 64 + 64 - __builtin_clzll(gap);
    // Its end: the first unit after k that is no word character (the bits past n are such).
    int32_t e = j;
    gap = ~word[e] & (~uint64_t{0} << (k & 63));
    while (gap == 0) gap = ~word[++e];
    const int32_t i = std::min(n, e * 64 + __builtin_ctzll(gap));
    // Go on after the run (its end is no word character, so no unit of it is left in high).
    j = i >> 6;
    if (j < words) high[j] &= ~uint64_t{0} << (i & 63);
    if (i - start < 2) continue;
    // Chinese and Japanese runs are cut by the dictionary's own trie, many times faster than by the
    // break iterator and to the same words (their pieces wait, and are cut together at the end);
    // other scripts, and runs it declines, go to ICU.
    if (cutter.Add(text, n, start, i, starts)) {
      ++runs;
      continue;
    }
    bool unspaced = false;
    for (; k < i && !unspaced; ++k) {
      char32_t c = text[k];
      if (c >= 0xD800 && c <= 0xDBFF && k + 1 < n && text[k + 1] >= 0xDC00 && text[k + 1] <= 0xDFFF)
        c = 0x10000 + ((c - 0xD800) << 10) + (text[k + 1] - 0xDC00u);
      unspaced = IsUnspacedScriptChar(c);
    }
    if (!unspaced) continue;
    if (!breaker) {
      if (!(breaker = ThreadWordBreaker())) break;
      // The whole chunk is handed over once, as a UText over it: setting the text for each short run
      // costs more than finding its words, and a UnicodeString, even one that only aliases the chunk,
      // is copied whole by the break iterator.
      UErrorCode status = U_ZERO_ERROR;
      utext_openUChars(&whole, text, n, &status);
      breaker->setText(&whole, status);
      if (U_FAILURE(status)) break;
    }
    for (int32_t b = breaker->following(start); b != icu::BreakIterator::DONE && b < i; b = breaker->next()) {
      // No word starts on the second half of a surrogate pair or on a mark that belongs to the letter before.
      if (IsCorpusWordChar(types[b])) types[b] |= word_start_flag;
    }
    ++runs;
  }
  utext_close(&whole);  // (the break iterator keeps a shallow copy, set anew before each use)
  cutter.Cut(starts);
  // (Every start the cutter finds lies inside a run of word characters.)
  for (const int32_t b : starts) types[b] |= word_start_flag;
  if (bits) {
    // (The whole window hashed now: before the cut it would push the dictionary out of the caches.)
    if (!keyed) key = TWordStartCache::KeyOf(text, n, word, make);
    WordStartBits(types, n, bits);
    cache.Keep(key, quick, n, bits, runs);
  }
  return runs;
}

}  // namespace

uint64_t WordCutMake() {
  // This build of the runs' cut, beside the dictionary's cutter's (see HanKanaCutMake).
  static const uint64_t make =
      HanKanaCutMake() * 0x9E3779B97F4A7C15u + std::hash<std::string_view>{}("corpus words " __DATE__ " " __TIME__);
  return make;
}

int32_t SegmentUnspacedRuns(const char16_t* text, uint16_t* types, int32_t n) {
  return SegmentUnspacedRuns(text, types, n, TWordStartCache::Process());
}

int32_t SegmentUnspacedRuns(const char16_t* text, uint16_t* types, int32_t n, TWordStartCache& cache) {
  // Most texts have no character at or above U+0E00 at all; they cost one quick look.
  if (n <= 0 || !HasUnitsFrom0E00(text, n)) return 0;
  return SegmentRuns(text, types, n, cache);
}

TCorpusMarks ApplyCorpusWordRule(const char16_t* text, uint16_t* types, int32_t n, const TCorpusWordRule& rule) {
  TCorpusMarks marks;
  if (n <= 0) return marks;
  // The units each step looks at are found in one pass; with more than two middle characters those are
  // looked for on their own.
  const auto middles = static_cast<int32_t>(std::min<size_t>(rule.middle_chars.size(), 10));
  const char16_t m0 = middles > 0 && middles <= 2 ? rule.middle_chars[0] : u'.';
  const char16_t m1 = middles == 2 ? rule.middle_chars[1] : m0;
  // (From the pool of huge pages, and grown without copying or clearing: on some virtual machines the
  // first touch of a fresh small page costs more than finding the units it holds.)
  thread_local TPooledBuffer<int32_t> foundUnits;
  if (foundUnits.size() < static_cast<size_t>(n)) {
    foundUnits.clear();
    foundUnits.resize(static_cast<size_t>(n));
  }
  bool high = false;
  const int32_t* found = foundUnits.data();
  const int32_t founds = FindRuleUnits(text, n, m0, m1, foundUnits.data(), high);

  // Every zero width joiner becomes exactly "defined", so that it stays inside its word.
  if (high)
    for (int32_t f = 0; f < founds; ++f)
      if (text[found[f]] == 0x200D) types[found[f]] = defined_char_type;
  if (middles > 2) {
    HandleMiddleChars(text, types, rule.middle_chars, static_cast<uint16_t>(middles), n, true, false, false);
  } else if (n >= 2) {
    // Each middle character in turn, as HandleMiddleChars takes them; the last unit is never one.
    for (int32_t k = 0; k < middles; ++k)
      for (int32_t f = 0; f < founds && found[f] < n - 1; ++f)
        if (text[found[f]] == rule.middle_chars[k]) HandleMiddleCharAt(types, found[f], n, false, false);
  }
  HandleMiddleCharsInNumbers(true, false, text, types, n);
  // (The scan above has looked for units from U+0E00 up.)
  if (rule.segment && high) SegmentRuns(text, types, n, TWordStartCache::Process());

  // One forward pass over the terminators and line breaks only.
  const uint16_t sentenceEnd = SegmentMarkerType(ts_sentence_end);
  const uint16_t paragraphEnd = SegmentMarkerType(ts_paragraph_end);
  for (int32_t f = 0; f < founds; ++f) {
    const int32_t i = found[f];
    const char16_t c = text[i];
    if (c != u'.' && c != u'!' && c != u'?' && c != u'\n') continue;
    if (c == u'\n') {
      if (IsSegmentMarker(types[i])) continue;  // already a sentence end
      int32_t j = i - 1;
      while (j >= 0 && IsBlank(text[j])) --j;
      if (j >= 0 && text[j] == u'\n') {
        types[i] = paragraphEnd;
        ++marks.paragraph_ends;
      }
      continue;
    }
    if (!NextStartsSentence(types, i, n)) continue;
    // The sentence takes the terminators after it; it ends at the white space that follows them.
    int32_t w = i + 1;
    while (w < n && !IsSpaceChar(text[w]) && IsPotentialSentenceTerminator(text[w])) ++w;
    if (w < n && IsSpaceChar(text[w]) && !IsSegmentMarker(types[w])) {
      types[w] = sentenceEnd;
      ++marks.sentence_ends;
    }
  }

  if (rule.mark_tags) {
    bool inTag = false;
    for (int32_t i = 0; i < n; ++i) {
      if (text[i] == u'<') inTag = true;
      if (inTag && !IsSegmentMarker(types[i])) types[i] |= tag_char_flag;
      if (text[i] == u'>') inTag = false;
    }
  }
  return marks;
}

TCorpusMarks ClassifyCorpusWindow(const char16_t* text, int32_t n, std::vector<uint16_t>& types,
                                  const TCorpusWordRule& rule) {
  if (types.size() < static_cast<size_t>(n) + 2) types.resize(static_cast<size_t>(n) + 2);
  GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, text, n, types.data());
  return ApplyCorpusWordRule(text, types.data(), n, rule);
}

#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#define KX8_CORPUS_AVX2 1
namespace {

// Adds the sums of the four counters' 16-bit lanes to c's four counts, in their order, at once.
__attribute__((target("avx2"))) void AddLaneSums(__m256i breaks, __m256i words, __m256i sentences,
                                                 __m256i paragraphs, TCorpusCounts& c) {
  static_assert(offsetof(TCorpusCounts, words) == 8 && offsetof(TCorpusCounts, sentence_ends) == 16 &&
                    offsetof(TCorpusCounts, paragraph_ends) == 24 && sizeof(TCorpusCounts) == 32,
                "the four counts in a row, as the lanes' sums are laid out");
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i bw = _mm256_hadd_epi32(_mm256_madd_epi16(breaks, one), _mm256_madd_epi16(words, one));
  const __m256i sp = _mm256_hadd_epi32(_mm256_madd_epi16(sentences, one), _mm256_madd_epi16(paragraphs, one));
  const __m256i all = _mm256_hadd_epi32(bw, sp);  // each half: the four counters' sums of its lanes
  const __m128i four = _mm_add_epi32(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
  auto* counts = reinterpret_cast<__m256i*>(&c);
  _mm256_storeu_si256(counts, _mm256_add_epi64(_mm256_loadu_si256(counts), _mm256_cvtepi32_epi64(four)));
}

// CountCorpusUnits' blocks sixteen type words at a time, on processors with 256-bit vectors. Counts the
// blocks of [i, to) that fit, adding to c, and returns where it stopped. The units left after the last
// whole block are counted as one more block, its lanes from to on masked off, when the entries it reads
// are below readable (a count up to each hit, a few hundred units, then costs no loop over single units).
__attribute__((target("avx2"))) int32_t CountBlocks16(const uint16_t* t, int32_t i, int32_t to, int32_t readable,
                                                      TCorpusCounts& c) {
  constexpr uint16_t kBreak = whitespace_mask | tag_char_flag | segment_marker_flag;
  const __m256i brkBits = _mm256_set1_epi16(static_cast<int16_t>(kBreak));
  const __m256i tagMarker = _mm256_set1_epi16(static_cast<int16_t>(tag_or_marker_mask));
  const __m256i wordBits = _mm256_set1_epi16(static_cast<int16_t>(word_char_mask));
  const __m256i se = _mm256_set1_epi16(static_cast<int16_t>(SegmentMarkerType(ts_sentence_end)));
  const __m256i pe = _mm256_set1_epi16(static_cast<int16_t>(SegmentMarkerType(ts_paragraph_end)));
  const __m256i startBit = _mm256_set1_epi16(static_cast<int16_t>(word_start_flag));
  const __m256i zero = _mm256_setzero_si256(), ones = _mm256_set1_epi16(-1);
  // Of a last block of to - i units, the lanes kept: kLanes from 16 - (to - i) on.
  static constexpr int16_t kLanes[32] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                         0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0};
  while (i + 16 <= to || (i < to && i + 16 < readable)) {
    __m256i nb = zero, nw = zero, ns = zero, np = zero;
    // (Lane counters of 16 bits gain at most one a block: summed before they can overflow, and madd
    // reads them as signed.)
    const int32_t blocks = std::min<int32_t>((to - i) / 16, 16383);
    const int32_t last = i + 16 * blocks;
    const int32_t partial = last < to && to - last < 16 && last + 16 < readable ? 1 : 0;
    for (int32_t k = 0; k < blocks + partial; ++k, i += 16) {
      const __m256i keep =
          k < blocks ? ones : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLanes + 16 - (to - i)));
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + 1));
      const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i - 1));
      const __m256i notBrkA = _mm256_cmpeq_epi16(_mm256_and_si256(a, brkBits), zero);
      const __m256i notBrkB = _mm256_cmpeq_epi16(_mm256_and_si256(b, brkBits), zero);
      const __m256i startA = _mm256_cmpeq_epi16(_mm256_and_si256(a, startBit), startBit);
      const __m256i startB = _mm256_cmpeq_epi16(_mm256_and_si256(b, startBit), startBit);
      const __m256i breakStart =
          _mm256_and_si256(notBrkB, _mm256_or_si256(_mm256_xor_si256(notBrkA, ones), startB));
      // A word character: a letter or digit outside tags and markers.
      const __m256i wordA = _mm256_andnot_si256(_mm256_cmpeq_epi16(_mm256_and_si256(a, wordBits), zero),
                                                _mm256_cmpeq_epi16(_mm256_and_si256(a, tagMarker), zero));
      const __m256i wordP = _mm256_andnot_si256(_mm256_cmpeq_epi16(_mm256_and_si256(p, wordBits), zero),
                                                _mm256_cmpeq_epi16(_mm256_and_si256(p, tagMarker), zero));
      const __m256i wordStart = _mm256_and_si256(wordA, _mm256_or_si256(_mm256_xor_si256(wordP, ones), startA));
      nb = _mm256_sub_epi16(nb, _mm256_and_si256(breakStart, keep));
      nw = _mm256_sub_epi16(nw, _mm256_and_si256(wordStart, keep));
      ns = _mm256_sub_epi16(ns, _mm256_and_si256(_mm256_cmpeq_epi16(a, se), keep));
      np = _mm256_sub_epi16(np, _mm256_and_si256(_mm256_cmpeq_epi16(a, pe), keep));
    }
    if (partial) i = to;
    AddLaneSums(nb, nw, ns, np, c);
  }
  return i;
}

}  // namespace
#endif

TCorpusCounts CountCorpusUnits(const uint16_t* t, int32_t from, int32_t to, int32_t readable) {
  TCorpusCounts c;
  if (to <= from) return c;
  constexpr uint16_t kBreak = whitespace_mask | tag_char_flag | segment_marker_flag;
  const uint16_t sentenceEnd = SegmentMarkerType(ts_sentence_end), paragraphEnd = SegmentMarkerType(ts_paragraph_end);
  auto brk = [](uint16_t x) { return (x & kBreak) != 0; };
  // A word start as the matcher counts it: a character that is no break after a break, or where a word
  // begins inside a run of letters.
  auto one = [&](int32_t i) {
    const uint16_t x = t[i];
    c.break_starts += !brk(t[i + 1]) && (brk(x) || (t[i + 1] & word_start_flag) != 0);
    c.words += i == 0 ? IsCorpusWordChar(x) : IsCorpusWordStart(t[i - 1], x);
    c.sentence_ends += x == sentenceEnd;
    c.paragraph_ends += x == paragraphEnd;
  };
  int32_t i = from;
  if (i == 0) one(i++);
#if defined(KX8_CORPUS_AVX2)
  if (Global_UseWideVectors) i = CountBlocks16(t, i, to, readable, c);
#endif
#if defined(__SSE2__)
  const __m128i brkBits = _mm_set1_epi16(static_cast<int16_t>(kBreak));
  const __m128i tagMarker = _mm_set1_epi16(static_cast<int16_t>(tag_or_marker_mask));
  const __m128i wordBits = _mm_set1_epi16(static_cast<int16_t>(word_char_mask));
  const __m128i se = _mm_set1_epi16(static_cast<int16_t>(sentenceEnd));
  const __m128i pe = _mm_set1_epi16(static_cast<int16_t>(paragraphEnd));
  const __m128i startBit = _mm_set1_epi16(static_cast<int16_t>(word_start_flag));
  const __m128i zero = _mm_setzero_si128();
  auto isWord = [&](__m128i x) {
    return _mm_andnot_si128(_mm_cmpeq_epi16(_mm_and_si128(x, wordBits), zero),
                            _mm_cmpeq_epi16(_mm_and_si128(x, tagMarker), zero));
  };
  auto sum = [](__m128i v) -> int64_t {
    const __m128i pairs = _mm_madd_epi16(v, _mm_set1_epi16(1));
    const __m128i two = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtsi128_si32(_mm_add_epi32(two, _mm_shuffle_epi32(two, _MM_SHUFFLE(2, 3, 0, 1))));
  };
  while (i + 8 <= to) {
    // Lane counters of 16 bits, each gaining at most one a block: summed before they can overflow
    // (madd reads them as signed, so at most 16,383 blocks at a time).
    __m128i nb = zero, nw = zero, ns = zero, np = zero;
    const int32_t blocks = std::min<int32_t>((to - i) / 8, 16383);
    for (int32_t k = 0; k < blocks; ++k, i += 8) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 1));
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i - 1));
      const __m128i notBrkA = _mm_cmpeq_epi16(_mm_and_si128(a, brkBits), zero);
      const __m128i notBrkB = _mm_cmpeq_epi16(_mm_and_si128(b, brkBits), zero);
      const __m128i startA = _mm_cmpeq_epi16(_mm_and_si128(a, startBit), startBit);
      const __m128i startB = _mm_cmpeq_epi16(_mm_and_si128(b, startBit), startBit);
      nb = _mm_sub_epi16(nb, _mm_and_si128(notBrkB, _mm_or_si128(_mm_xor_si128(notBrkA, _mm_set1_epi16(-1)), startB)));
      const __m128i wordA = isWord(a);
      nw = _mm_sub_epi16(nw, _mm_and_si128(wordA, _mm_or_si128(_mm_xor_si128(isWord(p), _mm_set1_epi16(-1)), startA)));
      ns = _mm_sub_epi16(ns, _mm_cmpeq_epi16(a, se));
      np = _mm_sub_epi16(np, _mm_cmpeq_epi16(a, pe));
    }
    c.break_starts += sum(nb);
    c.words += sum(nw);
    c.sentence_ends += sum(ns);
    c.paragraph_ends += sum(np);
  }
#endif
  for (; i < to; ++i) one(i);
  return c;
}

}  // namespace kx8
