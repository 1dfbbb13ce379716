#include "kx8rt/search/hit_finding.h"

#include <algorithm>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/search/user_input_wildcard_parsing.h"
#include "kx8rt/text_primitives/char_types.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace kx8 {

void ClearGlobalOneTextStats() {
  Global_OneFilesStats = TSearchStatsRec{};
  Global_in_heading = false;
}

namespace {

// Bits of the character-type word.
constexpr uint16_t kDigit = C1_DIGIT;
constexpr uint16_t kPunct = C1_PUNCT;
constexpr uint16_t kAlpha = C1_ALPHA;
constexpr uint16_t kZeroWidthJoiner = defined_char_type;  // exactly "defined": a joiner inside a word
constexpr uint16_t kTag = tag_char_flag;
constexpr uint16_t kMarker = segment_marker_flag;
constexpr uint16_t kMarkerCode = segment_marker_code_mask;
constexpr uint16_t kWhitespace = whitespace_mask;
constexpr uint16_t kSeparator = separator_mask;
constexpr uint16_t kWordChar = word_char_mask;
// What ends a word for the word count: whitespace, a tag character or a marker. Counting tag characters
// as breaks keeps spaces inside tags (attributes) and tags between words from counting as words.
constexpr uint16_t kWordBreak = kWhitespace | kTag | kMarker;
// A word begins at this letter inside a run of letters (segmentation of scripts written without spaces).
constexpr uint16_t kWordStart = word_start_flag;

// A marker's low bits are its code, not character classes: a marker is never a letter, digit or
// punctuation, and it separates words like whitespace does.
constexpr bool IsMarker(uint16_t t) { return (t & kMarker) != 0; }
// A tag character; a marker counts as outside tags.
constexpr bool IsTag(uint16_t t) { return (t & (kTag | kMarker)) == kTag; }
constexpr bool IsWs(uint16_t t) { return (t & (kMarker | kWhitespace)) != 0; }
constexpr bool IsSep(uint16_t t) { return (t & (kMarker | kSeparator)) != 0; }
constexpr bool IsPunct(uint16_t t) { return (t & (kMarker | kPunct)) == kPunct; }
constexpr bool IsLetter(uint16_t t) { return (t & (kMarker | kAlpha)) == kAlpha; }
constexpr bool IsDigit(uint16_t t) { return (t & (kMarker | kDigit)) == kDigit; }
constexpr bool IsWordCharOutsideTags(uint16_t t) { return (t & (kMarker | kTag)) == 0 && (t & kWordChar) != 0; }

// Codes and the space: pattern characters that are not compared as plain characters.
constexpr bool IsPatternCode(char16_t p) { return p == u' ' || (p >= sw_tag_end && p <= sw_not); }

constexpr uint16_t Clamp16(int32_t n) { return static_cast<uint16_t>(std::min<int32_t>(n, 0xFFFF)); }

// What the block scan looks for: the units that count as the first pattern character (up to four: its
// case closure), those of the second one (for the pair test) likewise, and the type bits that send a
// block to the one-by-one path.
struct BlockKeys {
  char16_t first[4];
  char16_t second[4];
  bool pairTest;
  uint16_t special;
  // The third pattern character too, when it is a plain one after a plain second: a frequent pair
  // ("th") then stops the scan far less often. Only in the scan that does not count, whose blocks are
  // light enough for a third compare to pay; the counting scan is faster without it.
  char16_t third[4] = {0, 0, 0, 0};
  bool thirdTest = false;
};

#if defined(__SSE2__)

#if defined(__x86_64__) && defined(__GNUC__)
#define KX8_AVX2_DISPATCH 1
#endif

// Whether the first two keys of a place cover all four (so the vector path may compare two a block, not
// four: most letters have two cases). A closure row keeps its distinct units first, so this holds for
// every place with two members; other key sets that would need moving round take the four-key path.
constexpr bool TwoKeysSuffice(const char16_t* keys) {
  return (keys[2] == keys[0] || keys[2] == keys[1]) && (keys[3] == keys[0] || keys[3] == keys[1]);
}

// Scans whole blocks from i for a candidate start (i is left on it, candidate set), counting the word
// starts passed; stops early at a block holding a special type (scalarUntil is set past it) or when
// fewer than a block and one character remain. Word starts are counted per lane (a start lane is -1,
// so subtracting adds one) and summed across the lanes now and then, before a lane can overflow.
template <typename Ch, int N, bool Counting = true>
struct BlockScan {
  const Ch* text;
  const uint16_t* T;
  int32_t count;
  const BlockKeys& keys;
  int32_t i;
  int32_t scalarUntil;
  bool candidate = false;
  int32_t starts = 0;
  // Set when the scan stopped on a block whose only special types are segment markers: the caller
  // passes its first `lanes` characters (all of the block, or those before the candidate) in order,
  // with these two masks (two bits a character, as movemask gives them) of the markers and word starts.
  bool markers = false;
  int32_t lanes = 0;
  uint32_t markerBits = 0, startBits = 0;

  void Eight() {
    const __m128i c0 = _mm_set1_epi16(static_cast<int16_t>(keys.first[0]));
    [[maybe_unused]] const __m128i c1 = _mm_set1_epi16(static_cast<int16_t>(keys.first[1]));
    [[maybe_unused]] const __m128i c2 = _mm_set1_epi16(static_cast<int16_t>(keys.first[2]));
    [[maybe_unused]] const __m128i c3 = _mm_set1_epi16(static_cast<int16_t>(keys.first[3]));
    [[maybe_unused]] const __m128i d0 = _mm_set1_epi16(static_cast<int16_t>(keys.second[0]));
    [[maybe_unused]] const __m128i d1 = _mm_set1_epi16(static_cast<int16_t>(keys.second[1]));
    [[maybe_unused]] const __m128i d2 = _mm_set1_epi16(static_cast<int16_t>(keys.second[2]));
    [[maybe_unused]] const __m128i d3 = _mm_set1_epi16(static_cast<int16_t>(keys.second[3]));
    const __m128i brk = _mm_set1_epi16(static_cast<int16_t>(kWordBreak));
    const __m128i wordStart = _mm_set1_epi16(static_cast<int16_t>(kWordStart));
    const __m128i special = _mm_set1_epi16(static_cast<int16_t>(keys.special));
    const __m128i zero = _mm_setzero_si128();
    const __m128i laneIndex = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    __m128i startCounts = zero;
    int32_t blocksCounted = 0;
    const __m128i tagBits = _mm_set1_epi16(static_cast<int16_t>(keys.special & ~kMarker));
    const __m128i markerBit = _mm_set1_epi16(static_cast<int16_t>(kMarker));
    const __m128i e0 = _mm_set1_epi16(static_cast<int16_t>(keys.third[0]));
    [[maybe_unused]] const __m128i e1 = _mm_set1_epi16(static_cast<int16_t>(keys.third[1]));
    [[maybe_unused]] const __m128i e2 = _mm_set1_epi16(static_cast<int16_t>(keys.third[2]));
    [[maybe_unused]] const __m128i e3 = _mm_set1_epi16(static_cast<int16_t>(keys.third[3]));
    const int32_t reach = keys.thirdTest ? 9 : 8;  // units read past i, besides i itself
    // Without counting, type words are read only when a tag could matter.
    const bool readTypes = Counting || keys.special != 0;
    while (i + reach < count) {
      __m128i t0 = zero, t1 = zero;
      uint32_t markerLanes = 0;
      if (readTypes) {
        t0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(T + i));
        t1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(T + i + 1));
        const __m128i both = _mm_or_si128(t0, t1);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(both, special), zero)) != 0xFFFF) {
          // A marker is only counted; a tag character (when the pair test is on) needs the one-by-one path.
          if constexpr (Counting)
            markerLanes =
                static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(t0, markerBit), markerBit)));
          if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(both, tagBits), zero)) != 0xFFFF) {
            scalarUntil = i + 9;
            break;
          }
        }
      }
      __m128i chars, next;
      if constexpr (sizeof(Ch) == 2) {
        chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 1));
      } else {
        chars = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + i)), zero);
        next = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + i + 1)), zero);
      }
      __m128i eq = _mm_or_si128(_mm_cmpeq_epi16(chars, c0), _mm_cmpeq_epi16(chars, c1));
      if constexpr (N > 2) eq = _mm_or_si128(eq, _mm_or_si128(_mm_cmpeq_epi16(chars, c2), _mm_cmpeq_epi16(chars, c3)));
      if (keys.pairTest) {
        __m128i eq2 = _mm_or_si128(_mm_cmpeq_epi16(next, d0), _mm_cmpeq_epi16(next, d1));
        if constexpr (N > 2) eq2 = _mm_or_si128(eq2, _mm_or_si128(_mm_cmpeq_epi16(next, d2), _mm_cmpeq_epi16(next, d3)));
        eq = _mm_and_si128(eq, eq2);
      }
      if (keys.thirdTest) {
        __m128i third;
        if constexpr (sizeof(Ch) == 2) third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 2));
        else third = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + i + 2)), zero);
        __m128i eq3 = _mm_or_si128(_mm_cmpeq_epi16(third, e0), _mm_cmpeq_epi16(third, e1));
        if constexpr (N > 2) eq3 = _mm_or_si128(eq3, _mm_or_si128(_mm_cmpeq_epi16(third, e2), _mm_cmpeq_epi16(third, e3)));
        eq = _mm_and_si128(eq, eq3);
      }
      const __m128i notBreak0 = _mm_cmpeq_epi16(_mm_and_si128(t0, brk), zero);
      const __m128i notBreak1 = _mm_cmpeq_epi16(_mm_and_si128(t1, brk), zero);
      const __m128i inner1 = _mm_cmpeq_epi16(_mm_and_si128(t1, wordStart), wordStart);
      const __m128i startMask = _mm_or_si128(_mm_andnot_si128(notBreak0, notBreak1), _mm_and_si128(inner1, notBreak1));
      const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(eq));
      if constexpr (!Counting) {
        if (hits == 0) {
          i += 8;
          continue;
        }
        i += __builtin_ctz(hits) / 2;
        candidate = true;
        break;
      }
      if (markerLanes != 0) {
        StopAtMarkers(markerLanes, static_cast<uint32_t>(_mm_movemask_epi8(startMask)), hits, 8);
        break;
      }
      if (hits == 0) {
        startCounts = _mm_sub_epi16(startCounts, startMask);
        if (++blocksCounted == 0x4000) {
          starts += Sum8(startCounts);
          startCounts = zero;
          blocksCounted = 0;
        }
        i += 8;
        continue;
      }
      const int lane = __builtin_ctz(hits) / 2;  // two mask bits per character
      startCounts = _mm_sub_epi16(
          startCounts, _mm_and_si128(startMask, _mm_cmplt_epi16(laneIndex, _mm_set1_epi16(static_cast<int16_t>(lane)))));
      i += lane;
      candidate = true;
      break;
    }
    starts += Sum8(startCounts);
  }

  // Leaves a block with markers to the caller: the characters before the first candidate (or the whole
  // block) are passed there in order; i stays at the block's start.
  void StopAtMarkers(uint32_t markerMask, uint32_t startMask, uint32_t hits, int32_t blockLanes) {
    lanes = hits == 0 ? blockLanes : __builtin_ctz(hits) / 2;
    const uint32_t before = lanes >= 16 ? 0xFFFFFFFFu : (1u << (2 * lanes)) - 1;
    markers = true;
    markerBits = markerMask & before;
    startBits = startMask & before;
    candidate = hits != 0;
  }

  static int32_t Sum8(__m128i v) {
    const __m128i pairs = _mm_madd_epi16(v, _mm_set1_epi16(1));
    const __m128i sum2 = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtsi128_si32(_mm_add_epi32(sum2, _mm_shuffle_epi32(sum2, _MM_SHUFFLE(2, 3, 0, 1))));
  }

#if defined(KX8_AVX2_DISPATCH)
  // The same sixteen characters at a time, on processors that have the wider vectors.
  __attribute__((target("avx2"))) void Sixteen() {
    const __m256i c0 = _mm256_set1_epi16(static_cast<int16_t>(keys.first[0]));
    [[maybe_unused]] const __m256i c1 = _mm256_set1_epi16(static_cast<int16_t>(keys.first[1]));
    [[maybe_unused]] const __m256i c2 = _mm256_set1_epi16(static_cast<int16_t>(keys.first[2]));
    [[maybe_unused]] const __m256i c3 = _mm256_set1_epi16(static_cast<int16_t>(keys.first[3]));
    [[maybe_unused]] const __m256i d0 = _mm256_set1_epi16(static_cast<int16_t>(keys.second[0]));
    [[maybe_unused]] const __m256i d1 = _mm256_set1_epi16(static_cast<int16_t>(keys.second[1]));
    [[maybe_unused]] const __m256i d2 = _mm256_set1_epi16(static_cast<int16_t>(keys.second[2]));
    [[maybe_unused]] const __m256i d3 = _mm256_set1_epi16(static_cast<int16_t>(keys.second[3]));
    const __m256i brk = _mm256_set1_epi16(static_cast<int16_t>(kWordBreak));
    const __m256i wordStart = _mm256_set1_epi16(static_cast<int16_t>(kWordStart));
    const __m256i special = _mm256_set1_epi16(static_cast<int16_t>(keys.special));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i laneIndex = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m256i startCounts = zero;
    int32_t blocksCounted = 0;
    const __m256i tagBits = _mm256_set1_epi16(static_cast<int16_t>(keys.special & ~kMarker));
    const __m256i markerBit = _mm256_set1_epi16(static_cast<int16_t>(kMarker));
    const __m256i e0 = _mm256_set1_epi16(static_cast<int16_t>(keys.third[0]));
    [[maybe_unused]] const __m256i e1 = _mm256_set1_epi16(static_cast<int16_t>(keys.third[1]));
    [[maybe_unused]] const __m256i e2 = _mm256_set1_epi16(static_cast<int16_t>(keys.third[2]));
    [[maybe_unused]] const __m256i e3 = _mm256_set1_epi16(static_cast<int16_t>(keys.third[3]));
    const int32_t reach = keys.thirdTest ? 17 : 16;  // units read past i, besides i itself
    // Without counting, type words are read only when a tag could matter.
    const bool readTypes = Counting || keys.special != 0;
    while (i + reach < count) {
      __m256i t0 = zero, t1 = zero;
      uint32_t markerLanes = 0;
      if (readTypes) {
        t0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(T + i));
        t1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(T + i + 1));
        const __m256i both = _mm256_or_si256(t0, t1);
        if (!_mm256_testz_si256(both, special)) {
          // A marker is only counted; a tag character (when the pair test is on) needs the one-by-one path.
          if (!_mm256_testz_si256(both, tagBits)) {
            scalarUntil = i + 17;
            break;
          }
          if constexpr (Counting)
            markerLanes = static_cast<uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_and_si256(t0, markerBit), markerBit)));
        }
      }
      __m256i chars, next;
      if constexpr (sizeof(Ch) == 2) {
        chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i));
        next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 1));
      } else {
        chars = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)));
        next = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 1)));
      }
      __m256i eq = _mm256_or_si256(_mm256_cmpeq_epi16(chars, c0), _mm256_cmpeq_epi16(chars, c1));
      if constexpr (N > 2)
        eq = _mm256_or_si256(eq, _mm256_or_si256(_mm256_cmpeq_epi16(chars, c2), _mm256_cmpeq_epi16(chars, c3)));
      if (keys.pairTest) {
        __m256i eq2 = _mm256_or_si256(_mm256_cmpeq_epi16(next, d0), _mm256_cmpeq_epi16(next, d1));
        if constexpr (N > 2)
          eq2 = _mm256_or_si256(eq2, _mm256_or_si256(_mm256_cmpeq_epi16(next, d2), _mm256_cmpeq_epi16(next, d3)));
        eq = _mm256_and_si256(eq, eq2);
      }
      if (keys.thirdTest) {
        __m256i third;
        if constexpr (sizeof(Ch) == 2) third = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + i + 2));
        else third = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 2)));
        __m256i eq3 = _mm256_or_si256(_mm256_cmpeq_epi16(third, e0), _mm256_cmpeq_epi16(third, e1));
        if constexpr (N > 2)
          eq3 = _mm256_or_si256(eq3, _mm256_or_si256(_mm256_cmpeq_epi16(third, e2), _mm256_cmpeq_epi16(third, e3)));
        eq = _mm256_and_si256(eq, eq3);
      }
      const __m256i notBreak0 = _mm256_cmpeq_epi16(_mm256_and_si256(t0, brk), zero);
      const __m256i notBreak1 = _mm256_cmpeq_epi16(_mm256_and_si256(t1, brk), zero);
      const __m256i inner1 = _mm256_cmpeq_epi16(_mm256_and_si256(t1, wordStart), wordStart);
      const __m256i startMask =
          _mm256_or_si256(_mm256_andnot_si256(notBreak0, notBreak1), _mm256_and_si256(inner1, notBreak1));
      const auto hits = static_cast<unsigned>(_mm256_movemask_epi8(eq));
      if constexpr (!Counting) {
        if (hits == 0) {
          i += 16;
          continue;
        }
        i += __builtin_ctz(hits) / 2;
        candidate = true;
        break;
      }
      if (markerLanes != 0) {
        StopAtMarkers(markerLanes, static_cast<uint32_t>(_mm256_movemask_epi8(startMask)), hits, 16);
        break;
      }
      if (hits == 0) {
        startCounts = _mm256_sub_epi16(startCounts, startMask);
        if (++blocksCounted == 0x2000) {
          starts += Sum16(startCounts);
          startCounts = zero;
          blocksCounted = 0;
        }
        i += 16;
        continue;
      }
      const int lane = __builtin_ctz(hits) / 2;
      startCounts = _mm256_sub_epi16(
          startCounts,
          _mm256_and_si256(startMask, _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<int16_t>(lane)), laneIndex)));
      i += lane;
      candidate = true;
      break;
    }
    starts += Sum16(startCounts);
  }

  __attribute__((target("avx2"))) static int32_t Sum16(__m256i v) {
    const __m256i pairs = _mm256_madd_epi16(v, _mm256_set1_epi16(1));
    const __m128i four = _mm_add_epi32(_mm256_castsi256_si128(pairs), _mm256_extracti128_si256(pairs, 1));
    const __m128i two = _mm_add_epi32(four, _mm_shuffle_epi32(four, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtsi128_si32(_mm_add_epi32(two, _mm_shuffle_epi32(two, _MM_SHUFFLE(2, 3, 0, 1))));
  }
#endif
};

#endif  // __SSE2__

// What counts as equal at each pattern place: the pattern unit itself (lo[k], which also carries the
// codes) or one of three more, alt[n][k * stride]. The three-copy entry points these at the upper and
// title copies (stride 1); the closure entry at the columns of a case-closure table (stride 4).
struct Members {
  const char16_t* lo;
  const char16_t* alt[3];
  int32_t stride;
};

// A choice the matcher may revisit: a "*", or a run of "?" and "^" taken as one (a run of k takes 0..k
// characters, each given to the first place of the run, left to right, that accepts it; giving each to
// the earliest place that can take it leaves the most room for the characters after it).
struct Point {
  int32_t k0;    // the run's first place
  int32_t kEnd;  // the place after it
  int32_t j;     // the text index after what it has taken so far
  int32_t item;  // "?"/"^" run: the first place not yet given a character
  bool star;
  bool inTag;
};
// Failed continuations of this call, keyed by attempt start, pattern place and text index: the rest of
// the pattern from (k, j) matches or not whatever came before, so a failure need not be tried again.
// This keeps patterns with many wildcards from backtracking exponentially.
struct FailedAt {
  int32_t s, k, j;
};
constexpr int32_t kMaxPoints = 64;
constexpr int32_t kFailedSlots = 256;

// One call's scan state; everything lives on the stack.
template <typename Ch, bool Counting = true>
struct Scan {
  const Ch* text;
  int32_t count;
  const uint16_t* T;
  const uint16_t* typesStart;
  int64_t typesAvail;  // type words readable from T
  Members eq;
  int32_t m;
  bool caseSensitive, leftBounded, rightBounded, skipPunctuation;
  bool endsMarked[4];  // sentence, paragraph, heading, section
  TSearchStatsRec& stats;
  bool& inHeading;
  Point* points;      // kMaxPoints, not initialised
  FailedAt* failed;   // kFailedSlots, made ready at the first failure remembered
  bool failedReady;
  int32_t attemptStart = 0;  // where the attempt in hand began

  uint16_t TypeAt(int64_t j) const { return j < typesAvail ? T[j] : 0; }
  bool HasLeft(int32_t j) const { return T + j > typesStart; }
  bool TagStartsAt(int32_t j) const { return IsTag(T[j]) && (!HasLeft(j) || !IsTag(T[j - 1])); }
  bool TagEndsAt(int32_t j) const { return IsTag(T[j]) && !IsTag(TypeAt(j + 1)); }

  // ---- statistics ----

  void WordStarts(int32_t n) {
    stats.number[word_stats] += n;
    stats.position[sentence_stats] += n;
    stats.position[paragraph_stats] += n;
    stats.position[section_stats] += n;
    if (inHeading) stats.position[heading_stats] += n;
  }

  void UnitEnds(Ttext_stats unit, const THandleTextSectionProc& proc) {
    if (proc) proc(stats.number[unit], stats.position[unit]);
    if (unit == heading_stats) inHeading = false;
    ++stats.number[unit];
    stats.position[unit] = 1;
  }

  void Marker(uint16_t code) {
    switch (code) {
      case ts_sentence_start: if (!endsMarked[0]) UnitEnds(sentence_stats, HandleSentenceEndProc); break;
      case ts_sentence_end: UnitEnds(sentence_stats, HandleSentenceEndProc); break;
      case ts_paragraph_start: if (!endsMarked[1]) UnitEnds(paragraph_stats, HandleParagraphEndProc); break;
      case ts_paragraph_end: UnitEnds(paragraph_stats, HandleParagraphEndProc); break;
      case ts_heading_start:
        inHeading = true;
        if (!endsMarked[2]) UnitEnds(heading_stats, HandleHeadingEndProc);
        break;
      case ts_heading_end: UnitEnds(heading_stats, HandleHeadingEndProc); break;
      case ts_section_start: if (!endsMarked[3]) UnitEnds(section_stats, HandleSectionEndProc); break;
      case ts_section_end: UnitEnds(section_stats, HandleSectionEndProc); break;
      default: break;  // not a segment code: nothing to count
    }
  }

  // The statistics of one character passed by the main scan.
  void Pass(int32_t i) {
    if constexpr (!Counting) return;
    const uint16_t t = T[i];
    if (i + 1 < typesAvail && (T[i + 1] & kWordBreak) == 0 && ((t & kWordBreak) != 0 || (T[i + 1] & kWordStart) != 0))
      WordStarts(1);
    if (IsMarker(t)) Marker(t & kMarkerCode);
  }

  // ---- matching ----

  bool Literal(int32_t k, char16_t c, int32_t j) const {
    const char16_t p = eq.lo[k];
    if (p == sw_tag_start) return TagStartsAt(j);
    if (p == sw_tag_end) return TagEndsAt(j);
    if (c == p) return true;
    if (caseSensitive) return false;
    const size_t at = static_cast<size_t>(k) * static_cast<size_t>(eq.stride);
    return c == eq.alt[0][at] || c == eq.alt[1][at] || c == eq.alt[2][at];
  }

  bool RightEdgeOk(int32_t j) const {
    const uint16_t t = TypeAt(j);
    return (t & (kMarker | kTag | kWordStart)) != 0 || (t & kWordChar) == 0;
  }

  static size_t FailedSlot(int32_t k, int32_t j) {
    return (static_cast<uint32_t>(j) * 0x9E3779B1u + static_cast<uint32_t>(k) * 0x85EBCA6Bu) >> 24;
  }
  bool KnownToFail(int32_t s, int32_t k, int32_t j) const {
    if (!failedReady) return false;
    const FailedAt& f = failed[FailedSlot(k, j)];
    return f.s == s && f.k == k && f.j == j;
  }
  void RememberFailure(int32_t s, int32_t k, int32_t j) {
    if (!failedReady) {
      std::fill_n(failed, kFailedSlots, FailedAt{-1, -1, -1});
      failedReady = true;
    }
    failed[FailedSlot(k, j)] = {s, k, j};
  }

  // Whether a wildcard choice may take in the character at a (found after any tags when outside the
  // pattern's tag part); for a "?"/"^" run, gives it to the first place that accepts it.
  bool TakeOneMore(Point& P, int32_t& a) const {
    if (!P.inTag)
      while (a < count && IsTag(T[a])) ++a;
    // None takes in whitespace; inside the pattern's tag part, none takes the tag's end.
    if (a >= count || (P.inTag ? !IsTag(T[a]) || TagEndsAt(a) : IsWs(T[a]))) return false;
    // Nor does any take in the start of another word of a segmented run.
    if (a > attemptStart && (T[a] & kWordStart) != 0) return false;
    if (P.star) return true;
    int32_t place = P.item;
    while (place < P.kEnd && eq.lo[place] == sw_any_letter && !IsLetter(T[a])) ++place;
    if (place >= P.kEnd) return false;
    P.item = place + 1;
    return true;
  }

  // Matches the whole pattern from the start s; end receives the index after the last character matched.
  // "*" is any run inside a word, "?" one character or none and "^" one letter or none: "colou?r" finds
  // both "colour" and "color", and a run of k "?" finds from none to k characters, every "?" of the run
  // alike. Each is tried first with nothing and takes in one more character at a time when what follows
  // fails; the search goes back over every such choice, so whatever the pattern can match is found. None
  // of them takes in whitespace, and a hit is never empty: a pattern of wildcards alone must take in at
  // least one character. More than kMaxPoints choices open at once is beyond any typed pattern; the
  // oldest then keeps what it has.
  [[gnu::always_inline]] bool Attempt(int32_t s, int32_t& end) {
    int32_t k = 0, j = s;
    bool inTag = false;
    int32_t top = 0;
    for (;;) {
      if (k >= m) {
        if (j > s && (!rightBounded || RightEdgeOk(j))) {
          end = j;
          return true;
        }
        goto mismatch;
      }
      {
        const char16_t p = eq.lo[k];
        static_assert(sw_any_run == sw_any_char + 1 && sw_any_letter == sw_any_char + 2);
        if (p >= sw_any_char && p <= sw_any_letter) {
          if (!OpenChoice(s, k, j, inTag, top)) goto mismatch;
          continue;
        }
        if (p == sw_tag_start) inTag = true;
        // Tags in the text are invisible to the pattern outside its own tag part.
        if (!inTag)
          while (j < count && IsTag(T[j])) ++j;
        if (j >= count) goto mismatch;
        const char16_t c = static_cast<char16_t>(text[j]);
        const uint16_t t = T[j];
        switch (p) {
          case u' ': {
            if (inTag) {
              if (c != u' ') goto mismatch;
              ++j;
              ++k;
              continue;
            }
            if (c != u' ' && !IsSep(t)) goto mismatch;
            ++j;
            const bool keepTags = k + 1 < m && eq.lo[k + 1] == sw_tag_start;
            while (j < count) {
              const uint16_t u = T[j];
              if (IsWs(u) || (skipPunctuation && IsPunct(u)) || (!keepTags && IsTag(u)))
                ++j;
              else
                break;
            }
            ++k;
            continue;
          }
          case sw_one_whole_word:
            if (inTag) {
              // Inside a tag: up to and including the next space, which also stands for the pattern's space.
              while (j < count && IsTag(T[j]) && text[j] != u' ' && !TagEndsAt(j)) ++j;
              if (j < count && text[j] == u' ') {
                ++j;
                if (k + 1 < m && eq.lo[k + 1] == u' ') ++k;
              }
              ++k;
              continue;
            }
            if (IsWs(t)) goto mismatch;
            ++j;
            while (j < count && (!IsWs(T[j]) || IsTag(T[j]))) ++j;
            ++k;
            continue;
          case sw_digit_run:
            if (!IsDigit(t)) goto mismatch;
            ++j;
            while (j < count && IsDigit(T[j])) ++j;
            ++k;
            continue;
          default:
            if (!Literal(k, c, j)) goto mismatch;
            if (p == sw_tag_end) inTag = false;
            ++j;
            ++k;
            continue;
        }
      }
    mismatch:
      if (top == 0 || !Backtrack(s, top, k, j, inTag)) return false;
    }
  }

  // Wildcards are kept out of line: a plain word's attempt stays small enough to be built into the scan.
  // Opens a choice at place k (a "*", or the run of "?" and "^" that starts there) that first takes in
  // nothing; false when what follows is already known to fail from there.
  [[gnu::noinline]] bool OpenChoice(int32_t s, int32_t& k, int32_t j, bool inTag, int32_t& top) {
    const bool star = eq.lo[k] == sw_any_run;
    int32_t kEnd = k + 1;
    if (!star)
      while (kEnd < m && (eq.lo[kEnd] == sw_any_char || eq.lo[kEnd] == sw_any_letter)) ++kEnd;
    if (top == kMaxPoints) {
      std::copy(points + 1, points + top, points);
      --top;
    }
    points[top++] = Point{k, kEnd, j, k, star, inTag};
    k = kEnd;
    return !KnownToFail(s, k, j);
  }

  // The latest choice that can take in one more character does, and the pattern resumes after it (k,
  // j and inTag are set); false when no choice is left.
  [[gnu::noinline]] bool Backtrack(int32_t s, int32_t& top, int32_t& k, int32_t& j, bool& inTag) {
    while (top > 0) {
      Point& P = points[top - 1];
      RememberFailure(s, P.kEnd, P.j);
      int32_t a = P.j;
      if (!TakeOneMore(P, a)) {
        --top;
        continue;
      }
      P.j = a + 1;
      if (KnownToFail(s, P.kEnd, P.j)) continue;
      k = P.kEnd;
      j = P.j;
      inTag = P.inTag;
      return true;
    }
    return false;
  }

  // Tries a hit at s (the statistics of s are already counted); returns true and fills the lengths.
  [[gnu::always_inline]] bool TryAt(int32_t s, bool patternOpensTag, uint16_t& hitLength, uint16_t& exactLength) {
    const uint16_t t = T[s];
    if (IsTag(t) && !patternOpensTag) return false;
    if (leftBounded && HasLeft(s) && (t & kWordStart) == 0) {
      const uint16_t before = T[s - 1];
      if ((before & (kTag | kMarker)) == 0 && (before & kWordChar) != 0) return false;
    }
    int32_t end = 0;
    attemptStart = s;
    if (!Attempt(s, end)) return false;
    int64_t e = end;
    if (!rightBounded)
      while (e < typesAvail && (IsWordCharOutsideTags(T[e]) || T[e] == kZeroWidthJoiner) && (T[e] & kWordStart) == 0)
        ++e;
    exactLength = Clamp16(end - s);
    hitLength = Clamp16(static_cast<int32_t>(std::min<int64_t>(e - s, 0xFFFF)));
    return true;
  }

  // The units that count as pattern place k (all four the pattern unit when case matters).
  void PlaceKeys(int32_t k, char16_t* keys) const {
    keys[0] = keys[1] = keys[2] = keys[3] = eq.lo[k];
    if (caseSensitive) return;
    const size_t at = static_cast<size_t>(k) * static_cast<size_t>(eq.stride);
    for (int n = 0; n < 3; ++n) keys[n + 1] = eq.alt[n][at];
  }

#if defined(__SSE2__)
  // The characters set in a movemask of 16-bit lanes (two bits each), without a library call on
  // processors built for without a population-count instruction.
  static int32_t Lanes(uint32_t bits) {
    bits &= 0x55555555u;
    bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int32_t>((bits * 0x01010101u) >> 24);
  }

  // The vector path with N keys a place; returns whether it stopped on a candidate.
  template <int N>
  bool Blocks(const BlockKeys& keys, int32_t& i, int32_t& scalarUntil) {
    BlockScan<Ch, N, Counting> scan{text, T, count, keys, i, scalarUntil};
    for (;;) {
#if defined(KX8_AVX2_DISPATCH)
      if (Global_UseWideVectors) scan.Sixteen();
#endif
      if (!scan.candidate && !scan.markers && scan.i >= scan.scalarUntil) scan.Eight();
      WordStarts(scan.starts);
      scan.starts = 0;
      if (!scan.markers) break;
      // As Pass does one by one: each character's word start, then its marker.
      uint32_t markerBits = scan.markerBits, done = 0;
      while (markerBits != 0) {
        const int bit = __builtin_ctz(markerBits);
        const uint32_t upTo = bit >= 30 ? 0xFFFFFFFFu : (1u << (bit + 2)) - 1;
        WordStarts(Lanes(scan.startBits & upTo & ~done));
        done = upTo;
        Marker(T[scan.i + bit / 2] & kMarkerCode);
        markerBits &= markerBits - 1;
        markerBits &= ~upTo;
      }
      WordStarts(Lanes(scan.startBits & ~done));
      scan.i += scan.lanes;
      scan.markers = false;
      if (scan.candidate) break;
    }
    i = scan.i;
    scalarUntil = scan.scalarUntil;
    return scan.candidate;
  }
#endif

  [[gnu::always_inline]] const Ch* Run(uint16_t& hitLength, uint16_t& exactLength) {
    const char16_t p0 = eq.lo[0];
    const bool literalFirst = !IsPatternCode(p0);
    const bool opensTag = p0 == sw_tag_start;
    // The second pattern character, when it is a plain one, for the pair test of the vector path.
    const bool pairTest = literalFirst && m >= 2 && !IsPatternCode(eq.lo[1]);
    // Markers matter only to the counts; tags to the pair test.
    const uint16_t special = static_cast<uint16_t>((pairTest ? kTag : 0) | (Counting ? kMarker : 0));
    BlockKeys keys{{}, {}, pairTest, special};
    PlaceKeys(0, keys.first);
    if (pairTest) PlaceKeys(1, keys.second);
    keys.thirdTest = !Counting && pairTest && m >= 3 && !IsPatternCode(eq.lo[2]);
    if (keys.thirdTest) PlaceKeys(2, keys.third);
    [[maybe_unused]] const bool fourKeys = !TwoKeysSuffice(keys.first) || (pairTest && !TwoKeysSuffice(keys.second)) ||
                                           (keys.thirdTest && !TwoKeysSuffice(keys.third));
    const char16_t v0 = keys.first[0], v1 = keys.first[1], v2 = keys.first[2], v3 = keys.first[3];
    int32_t i = 0;
    int32_t scalarUntil = 0;  // characters before this are done one by one (a tag or marker is near)
    while (i < count) {
#if defined(__SSE2__)
      if (literalFirst && i >= scalarUntil) {
        // Blocks of characters at a time: find the first candidate start and count the word starts
        // before it. When the second pattern character is a plain one too, a candidate must also be
        // followed by it (and by the third, when that is plain too); that test is only sound where no tag
        // can come between, so a block holding a tag character is left to the one-by-one path. A block
        // holding a marker is passed in order by Blocks.
        const bool candidate = fourKeys ? Blocks<4>(keys, i, scalarUntil) : Blocks<2>(keys, i, scalarUntil);
        if (!candidate && i + 9 >= count) scalarUntil = count;
      }
#endif
      Pass(i);
      const char16_t c = static_cast<char16_t>(text[i]);
      if ((!literalFirst || c == v0 || c == v1 || c == v2 || c == v3) && TryAt(i, opensTag, hitLength, exactLength))
        return text + i;
      ++i;
    }
    return nullptr;
  }
};

// The members come as separate pointers and are put together here: a record built by the caller and
// copied whole would be read back in wider pieces than it was written, which stalls once a call (and
// the engine calls once a hit). Find, and the scan under it, is built into each entry: shared, a call
// would hand its two dozen arguments over twice.
template <bool Counting, typename Ch>
[[gnu::always_inline]] inline const void* Find(const Ch* text, int32_t count, const uint16_t* types, const uint16_t* typesStart,
                 const uint16_t* typesEnd, const char16_t* lo, const char16_t* alt0, const char16_t* alt1,
                 const char16_t* alt2, int32_t stride, uint16_t m, bool cs, bool lb, bool rb, bool skipPunct,
                 uint16_t& hitLength, uint16_t& exactLength, TSearchStatsRec& stats, bool& inHeading, bool e0, bool e1,
                 bool e2, bool e3) {
  const Members eq{lo, {alt0, alt1, alt2}, stride};
  const int64_t typesAvail = typesEnd - types;
  if (typesAvail <= 0) return nullptr;
  // Every character examined needs its type word.
  if (count > typesAvail) count = static_cast<int32_t>(typesAvail);
  // Left uninitialised: only patterns with wildcards touch them, and only as far as they need.
  Point points[kMaxPoints];
  FailedAt failed[kFailedSlots];
  Scan<Ch, Counting> scan{text, count, types, typesStart, typesAvail, eq, m, cs, lb, rb, skipPunct,
                {e0, e1, e2, e3}, stats, inHeading, points, failed, false};
  const Ch* hit = scan.Run(hitLength, exactLength);
  for (int u = sentence_stats; u <= section_stats; ++u) stats.out_of[u] = stats.position[u];
  return hit;
}

template <bool Counting = true>
[[gnu::always_inline]] inline const void* FindEither(const void* Text, int32_t Count, const uint16_t* Types, const uint16_t* TypesStart,
                       const uint16_t* TypesEnd, const char16_t* lo, const char16_t* alt0, const char16_t* alt1,
                       const char16_t* alt2, int32_t stride, uint16_t PatternLength, bool CaseSensitive,
                       bool LeftBounded, bool RightBounded, bool IsUnicode, bool SkipPunctuation, uint16_t& HitLength,
                       uint16_t& ExactLength, TSearchStatsRec& Stats, bool& InHeading, bool SentenceEndsMarked,
                       bool ParagraphEndsMarked, bool HeadingEndsMarked, bool SectionEndsMarked) {
  if (IsUnicode)
    return Find<Counting>(static_cast<const char16_t*>(Text), Count, Types, TypesStart, TypesEnd, lo, alt0, alt1, alt2, stride,
                PatternLength,
                CaseSensitive, LeftBounded, RightBounded, SkipPunctuation, HitLength, ExactLength, Stats, InHeading,
                SentenceEndsMarked, ParagraphEndsMarked, HeadingEndsMarked, SectionEndsMarked);
  return Find<Counting>(static_cast<const uint8_t*>(Text), Count, Types, TypesStart, TypesEnd, lo, alt0, alt1, alt2, stride,
              PatternLength, CaseSensitive,
              LeftBounded, RightBounded, SkipPunctuation, HitLength, ExactLength, Stats, InHeading, SentenceEndsMarked,
              ParagraphEndsMarked, HeadingEndsMarked, SectionEndsMarked);
}

}  // namespace

const void* NewFindWantedInBuffer(const void* Text, int32_t Count, const uint16_t* Types, const uint16_t* TypesStart,
                                  const uint16_t* TypesEnd, const char16_t* UpperPattern, const char16_t* LowerPattern,
                                  const char16_t* TitlePattern, uint16_t PatternLength, bool CaseSensitive,
                                  bool LeftBounded, bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                  bool SkipAnyTags, uint16_t& HitLength, uint16_t& ExactLength, TSearchStatsRec& Stats,
                                  bool& InHeading, bool SentenceEndsMarked, bool ParagraphEndsMarked,
                                  bool HeadingEndsMarked, bool SectionEndsMarked) {
  (void)SkipAnyTags;  // tags are always stepped over; the flag is kept for callers that pass it
  HitLength = 0;
  ExactLength = 0;
  if (PatternLength == 0 || Count <= 0 || Text == nullptr || Types == nullptr || TypesStart == nullptr ||
      TypesEnd == nullptr || UpperPattern == nullptr || LowerPattern == nullptr || TitlePattern == nullptr ||
      Types < TypesStart)
    return nullptr;
  return FindEither(Text, Count, Types, TypesStart, TypesEnd, LowerPattern, UpperPattern, TitlePattern, TitlePattern, 1,
                    PatternLength, CaseSensitive, LeftBounded,
                    RightBounded, IsUnicode, SkipPunctuation, HitLength, ExactLength, Stats, InHeading,
                    SentenceEndsMarked, ParagraphEndsMarked, HeadingEndsMarked, SectionEndsMarked);
}

namespace {

// The closure entries with and without counting: only the pattern's own units match when case counts
// or there is no table; else its table row's members.
template <bool Counting>
[[gnu::always_inline]] inline const void* FindWithClosure(const void* Text, int32_t Count, const uint16_t* Types,
                                                          const uint16_t* TypesStart, const uint16_t* TypesEnd,
                                                          const char16_t* Pattern, const char16_t* CaseClosure,
                                                          uint16_t PatternLength, bool CaseSensitive, bool LeftBounded,
                                                          bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                                          uint16_t& HitLength, uint16_t& ExactLength,
                                                          TSearchStatsRec& Stats, bool& InHeading, bool e0, bool e1,
                                                          bool e2, bool e3) {
  HitLength = 0;
  ExactLength = 0;
  if (PatternLength == 0 || Count <= 0 || Text == nullptr || Types == nullptr || TypesStart == nullptr ||
      TypesEnd == nullptr || Pattern == nullptr || Types < TypesStart)
    return nullptr;
  if (CaseSensitive || CaseClosure == nullptr)
    return FindEither<Counting>(Text, Count, Types, TypesStart, TypesEnd, Pattern, Pattern, Pattern, Pattern, 1,
                                PatternLength, true, LeftBounded, RightBounded, IsUnicode, SkipPunctuation, HitLength,
                                ExactLength, Stats, InHeading, e0, e1, e2, e3);
  return FindEither<Counting>(Text, Count, Types, TypesStart, TypesEnd, Pattern, CaseClosure + 1, CaseClosure + 2,
                              CaseClosure + 3, max_case_closure, PatternLength, false, LeftBounded, RightBounded,
                              IsUnicode, SkipPunctuation, HitLength, ExactLength, Stats, InHeading, e0, e1, e2, e3);
}

}  // namespace

const void* NewFindWantedInBufferWithClosure(const void* Text, int32_t Count, const uint16_t* Types,
                                             const uint16_t* TypesStart, const uint16_t* TypesEnd,
                                             const char16_t* Pattern, const char16_t* CaseClosure,
                                             uint16_t PatternLength, bool CaseSensitive, bool LeftBounded,
                                             bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                             uint16_t& HitLength, uint16_t& ExactLength, TSearchStatsRec& Stats,
                                             bool& InHeading, bool SentenceEndsMarked, bool ParagraphEndsMarked,
                                             bool HeadingEndsMarked, bool SectionEndsMarked) {
  return FindWithClosure<true>(Text, Count, Types, TypesStart, TypesEnd, Pattern, CaseClosure, PatternLength,
                               CaseSensitive, LeftBounded, RightBounded, IsUnicode, SkipPunctuation, HitLength,
                               ExactLength, Stats, InHeading, SentenceEndsMarked, ParagraphEndsMarked,
                               HeadingEndsMarked, SectionEndsMarked);
}

const void* NewFindWantedInBufferUncounted(const void* Text, int32_t Count, const uint16_t* Types,
                                           const uint16_t* TypesStart, const uint16_t* TypesEnd,
                                           const char16_t* Pattern, const char16_t* CaseClosure,
                                           uint16_t PatternLength, bool CaseSensitive, bool LeftBounded,
                                           bool RightBounded, bool IsUnicode, bool SkipPunctuation,
                                           uint16_t& HitLength, uint16_t& ExactLength) {
  TSearchStatsRec unused;
  bool inHeading = false;
  return FindWithClosure<false>(Text, Count, Types, TypesStart, TypesEnd, Pattern, CaseClosure, PatternLength,
                                CaseSensitive, LeftBounded, RightBounded, IsUnicode, SkipPunctuation, HitLength,
                                ExactLength, unused, inHeading, false, false, false, false);
}

}  // namespace kx8
