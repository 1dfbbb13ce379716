#include "kx8rt/corpus/dictionary_words.h"

#include "kx8rt/corpus/lane_hash.h"
#include "kx8rt/platform/cpu_features.h"

#include <unicode/ucharstrie.h>
#include <unicode/uchar.h>
#include <unicode/udata.h>
#include <unicode/uniset.h>
#include <unicode/unorm2.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

namespace kx8 {

namespace {

// What ICU's dictionary break engine for Chinese and Japanese does, step for step, so that the cuts
// agree: a word is at most 20 code units; a letter with no one-letter word is a word of cost 255; a run
// of Katakana is also a word of a cost that depends on its length only; of equal paths the one found
// first wins.
constexpr int32_t kMaxWordUnits = 20;
constexpr uint32_t kUnknownLetterCost = 255;
constexpr int32_t kMaxKatakanaRun = 20;
// How many units of pieces a cut takes at a time; the longest piece it takes (a path's cost stays far
// below kNoPath).
constexpr size_t kCutBatchUnits = 1024;
constexpr int32_t kMaxPieceUnits = 1 << 20;
constexpr uint32_t kNoPath = 1u << 30;
// How many parts of a cut's path are walked back side by side.
constexpr int32_t kWalks = 4;  // (Cut's loop below names all four)

constexpr uint32_t KatakanaRunCost(int32_t length) {
  constexpr uint32_t kCost[] = {8192, 984, 408, 240, 204, 252, 300, 372, 480};
  return length > 8 ? 8192 : kCost[length];
}

// The Katakana letters, full width (but for the middle dot) and half width: the ranges IsKatakana and
// the vector loop of the Katakana runs test units against.
constexpr char16_t kKatakanaFirst = 0x30A1, kKatakanaLast = 0x30FE, kKatakanaMiddleDot = 0x30FB;
constexpr char16_t kHalfKatakanaFirst = 0xFF66, kHalfKatakanaLast = 0xFF9F;

constexpr bool IsKatakana(char16_t c) {
  return (c >= kKatakanaFirst && c <= kKatakanaLast && c != kKatakanaMiddleDot) ||
         (c >= kHalfKatakanaFirst && c <= kHalfKatakanaLast);
}

constexpr bool IsLeadSurrogate(char16_t c) { return (c & 0xFC00) == 0xD800; }
constexpr bool IsTrailSurrogate(char16_t c) { return (c & 0xFC00) == 0xDC00; }
constexpr bool IsSurrogate(char16_t c) { return (c & 0xF800) == 0xD800; }

// The middle characters a run may hold that the cut knows ICU's rules for: apostrophes, full stops and
// the like (word break classes Single_Quote and MidNumLet), which ICU keeps inside a word only between
// letters of the Latin kind (ASCII here) or between digits, and commas and semicolons (MidNum), only
// between digits; elsewhere each is a word of its own. (Colons are left to ICU, whose rules take them
// apart from their Unicode class.)
enum class TMiddle : uint8_t { none, letters_or_digits, digits };
TMiddle MiddleKind(char16_t c) {
  if (c == u'\'' || c == u'.' || c == u'\u2019') return TMiddle::letters_or_digits;  // (the common ones)
  if (c == u',' || c == u';') return TMiddle::digits;
  if (c < 0x80 || IsSurrogate(c)) return TMiddle::none;
  switch (u_getIntPropertyValue(c, UCHAR_WORD_BREAK)) {
    case U_WB_SINGLE_QUOTE:
    case U_WB_MIDNUMLET: return TMiddle::letters_or_digits;
    case U_WB_MIDNUM: return TMiddle::digits;
    default: return TMiddle::none;
  }
}
constexpr bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
constexpr bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
// Whether the middle character c keeps before and after in one word.
bool JoinedByMiddle(char16_t c, char16_t before, char16_t after) {
  const TMiddle kind = MiddleKind(c);
  return (kind == TMiddle::letters_or_digits && IsAsciiLetter(before) && IsAsciiLetter(after)) ||
         (kind != TMiddle::none && IsAsciiDigit(before) && IsAsciiDigit(after));
}

// The character of text that ends just before at, or that begins at at.
char32_t CharBefore(const char16_t* text, int32_t at) {
  const char16_t c = text[at - 1];
  if (IsTrailSurrogate(c) && at >= 2 && IsLeadSurrogate(text[at - 2]))
    return 0x10000 + ((static_cast<char32_t>(text[at - 2]) - 0xD800) << 10) + (c - 0xDC00u);
  return c;
}
char32_t CharAt(const char16_t* text, int32_t at, int32_t n) {
  const char16_t c = text[at];
  if (IsLeadSurrogate(c) && at + 1 < n && IsTrailSurrogate(text[at + 1]))
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[at + 1] - 0xDC00u);
  return c;
}

// A trie node, as the link its parent holds to it: bits 0-7 the cost of the word that ends there (0xFF
// for none), 8-27 half the slot where its children's block begins, 28-31 the block's shape. A
// block is an array of units (the children's letters) beside an array of the children's links, slot for
// slot.
// A shape from 1 to 3 is a block of 1, 2 or 4 children in a row; a shape of 4 + b is 2^b buckets of 8
// slots, a child in the bucket its letter's hash picks; 0 is no children. The first slot of a block and
// of each bucket holds no child but the link of no node (no word, no children), as do empty slots
// (unit 0). A look-up compares the 8 units from there at once, masks off those not the node's, and
// takes the highest match, or that first slot: no branch, for whether a pair of letters begins a word
// is as good as random in running text.
using TLink = uint32_t;
constexpr uint32_t kNoWord = 0xFF;
constexpr TLink kNoNode = kNoWord;
constexpr uint32_t Value(TLink l) { return l & 0xFF; }
constexpr uint32_t Shape(TLink l) { return l >> 28; }
constexpr uint32_t BlockOf(TLink l) { return (l >> 7) & 0x1FFFFE; }  // (blocks begin at even slots)
// Whether the node of a link has children (its shape is not 0): one comparison.
constexpr bool HasChildren(TLink l) { return l >= 1u << 28; }
constexpr uint32_t kMaxSlots = 1u << 21;
static_assert(BlockOf(~0u) == kMaxSlots - 2 && Shape(~0u) == 15 && Value(~0u) == 0xFF, "a link's fields");
constexpr int32_t kBucketSlots = 8;
constexpr uint32_t kMaxBucketBits = 11;
constexpr uint32_t kLaneMask[16] = {0,      0xC,    0x3C,   0x3FC,  0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC,
                                    0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC};
constexpr uint32_t kBucketMask[16] = {0, 0, 0, 0, 0, 1, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047};
constexpr uint32_t BucketOf(uint32_t unit, uint32_t shape) {
  return ((unit * 2654435761u) >> 20) & kBucketMask[shape];
}
static_assert(kUnknownLetterCost == kNoWord, "a letter's link gives the cost of the letter alone either way");

// The nodes of the first two letters of words (their links), by the two letters as one number: the
// second's unit above the first's. Each pair has exactly one slot (hash and displace): the pair's hash
// picks a bucket of a few pairs and a slot; the bucket's displacement, chosen when the table is made so
// that no two pairs share a slot, is xored into the slot. A look-up is two loads and no branch, where a
// walk from the first letter's node would be three loads and a search of its block. A slot holds the
// pair in its high half and the link in its low; an empty slot, the key 0 and the link of no node, so
// that a key no pair has finds no node either way.
constexpr uint32_t PairKey(char16_t a, char16_t b) { return static_cast<uint32_t>(b) << 16 | a; }
// The pair of units at u, as PairKey makes it: one load.
inline uint32_t PairAt(const char16_t* u) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint32_t key;
  std::memcpy(&key, u, sizeof key);
  return key;
#else
  return PairKey(u[0], u[1]);
#endif
}
struct TPairTable {
  static constexpr uint32_t kBucketLog = 3;  // about eight slots for each bucket
  const uint64_t* slots = nullptr;
  const uint16_t* shifts = nullptr;  // the buckets' displacements
  uint64_t multiplier = 0, mask = 0;
  uint32_t bits = 0, bucketShift = 64;

  void SetBits(uint32_t slotBits, uint64_t hashMultiplier) {
    bits = slotBits;
    mask = (uint64_t{1} << slotBits) - 1;
    bucketShift = 64 - (slotBits - kBucketLog);
    multiplier = hashMultiplier;
  }
  size_t Slots() const { return size_t{1} << bits; }
  size_t Buckets() const { return size_t{1} << (bits - kBucketLog); }
  uint64_t Hash(uint32_t key) const { return key * multiplier; }
  static uint32_t SlotIn(uint64_t hash, uint32_t shift, uint64_t mask) {
    return static_cast<uint32_t>(((hash >> 16) ^ shift) & mask);
  }
  uint32_t SlotOf(uint32_t key) const {
    const uint64_t h = Hash(key);
    return SlotIn(h, shifts[h >> bucketShift], mask);
  }
  // The same, its line asked for from memory at once (the table is too large for the nearer caches:
  // slots are found well before they are read).
  uint32_t SlotAskedFor(uint32_t key) const {
    const uint32_t slot = SlotOf(key);
    __builtin_prefetch(slots + slot);
    return slot;
  }
  // The link in a slot if it holds key, else the link of no node (without a branch: whether a pair
  // begins a word is as good as random in running text).
  static TLink LinkIn(uint64_t slot, uint32_t key) {
#if defined(__x86_64__) && defined(__GNUC__)
    // A conditional move (compilers tend to branch on the plain comparison).
    TLink link = kNoNode;
    asm("cmpl %k[key], %k[high]\n\tcmove %k[slot], %k[link]"
        : [link] "+r"(link)
        : [key] "r"(key), [high] "r"(static_cast<uint32_t>(slot >> 32)), [slot] "r"(static_cast<uint32_t>(slot))
        : "cc");
    return link;
#else
    const uint32_t same = 0u - static_cast<uint32_t>(static_cast<uint32_t>(slot >> 32) == key);
    return (static_cast<TLink>(slot) & same) | (kNoNode & ~same);
#endif
  }
  TLink Find(uint32_t key) const { return LinkIn(slots[SlotOf(key)], key); }
};

// What the table of letters holds for each unit: the cost of the letter alone (its word's, or that of
// an unknown letter) in the low 8 bits, its kinds above. Two bytes a letter keep the table of the Han
// letters (the most looked at) in the first-level cache.
using TLetter = uint16_t;
constexpr uint32_t kInSet = 1, kCut = 2, kAscii = 4, kKatakana = 8;
constexpr uint32_t KindOf(TLetter letter) { return static_cast<uint32_t>(letter >> 8); }

// A hash of n bytes, four lanes at a time, for short strings (the megabytes of the dictionary and of
// the kept trie are hashed by LaneHash64, several times faster).
uint64_t Hash64(const void* data, size_t n, uint64_t seed) {
  const auto* b = static_cast<const uint8_t*>(data);
  constexpr uint64_t kMul = 0x9E3779B97F4A7C15u;
  uint64_t lane[4] = {seed ^ n, seed + kMul, ~seed, seed ^ (n << 32)};
  size_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int k = 0; k < 4; ++k) {
      uint64_t w;
      std::memcpy(&w, b + i + 8 * k, 8);
      lane[k] = (lane[k] ^ w) * kMul;
      lane[k] ^= lane[k] >> 29;
    }
  uint64_t h = lane[0] ^ (lane[1] * 3) ^ (lane[2] * 5) ^ (lane[3] * 7);
  for (; i < n; ++i) h = (h ^ b[i]) * kMul;
  return h ^ (h >> 31);
}

// A path's cost and where its last word begins, as one number: the cost in the high half, the letter in
// the low. The least of two is the cheaper path, and of equal paths the one whose last word begins
// first, which is the one the cut finds first (it takes the letters in order): a relaxation is one
// comparison and one move.
using TPathEnd = uint64_t;
constexpr TPathEnd PathEnd(uint32_t cost, int32_t from) {
  return TPathEnd{cost} << 32 | static_cast<uint32_t>(from);
}
constexpr int32_t FromOf(TPathEnd p) { return static_cast<int32_t>(static_cast<uint32_t>(p)); }
constexpr TPathEnd kCostBits = ~TPathEnd{0} << 32;

// A step of the path's lanes: for each lane, the costs of the words from its letter: the letter alone,
// the words of two, three and four letters (a dictionary word's, or a Katakana run's where that costs
// less), kNoStep for none, a cost that always loses to the letters alone. (One 64-bit word, so that
// the walk moves each cost to its place in a path end with a shift and a mask.)
struct TStep {
  uint16_t alone, two, three, four;
};
static_assert(sizeof(TStep) == 8, "a step of a lane is one 64-bit word");
constexpr uint32_t kNoStep = 0x4000;
static_assert(kNoStep > 4 * kUnknownLetterCost, "a step's none never wins");
// The cost of a word of a value as a step's, kNoStep for none.
constexpr uint32_t StepCost(uint32_t value) { return value == kNoWord ? kNoStep : value; }
// A Katakana run that can be a word of the path: of two letters or more (one letter alone costs less
// than a run of one), and of at most eight (longer ones cost more than unknown letters alone).
constexpr int32_t kLongestWinningKatakanaRun = 8;
constexpr bool KatakanaRunCanWin(int32_t length) { return length >= 2 && length <= kLongestWinningKatakanaRun; }
static_assert(KatakanaRunCost(1) > kUnknownLetterCost && KatakanaRunCost(9) > kMaxKatakanaRun * kUnknownLetterCost &&
                  KatakanaRunCost(8) < 8 * kUnknownLetterCost,
              "which Katakana runs can win");
// What a unit's pair key is masked with, by the units left in its piece (with 1, no second letter).
constexpr uint32_t kRoomKeyMask[4] = {0xFFFF, 0xFFFF, ~0u, ~0u};
// What a pair's link must be above for its third letter to be looked up, by the units left in its piece:
// with children (see HasChildren), and room for a third letter.
constexpr TLink kLongerAbove[4] = {~0u, ~0u, ~0u, (1u << 28) - 1};
static_assert(HasChildren(kLongerAbove[3] + 1) && !HasChildren(kLongerAbove[3]), "links above the bound have children");

// A word of four letters or more, or a run of Katakana, from at to to, of a cost.
struct TCutEdge {
  int32_t at, to;
  uint32_t cost;
};

// The letters a short run is taken from at once, in vectors (TakeShortRun): the unified ideographs, and
// the Hiragana and Katakana letters with the prolonged sound mark, all of which the dictionary cuts when
// its table says so (checked when it is made or mapped). The last two ranges are Katakana.
struct TUnitRange {
  char16_t lo, hi;
};
constexpr TUnitRange kShortRunRanges[] = {{0x4E00, 0x9FFF}, {0x3041, 0x3096}, {0x30A1, 0x30FA}, {0x30FC, 0x30FC}};
constexpr size_t kFirstKatakanaRange = 2;

#if defined(__SSE2__)
// Whether the len (1 to 16) units of text from from are all in kShortRunRanges; if so they are written
// to units (with 16 - len units of the text after them), their places to at (the first as -1) and the
// units left in the run from each to room, and katakana tells whether any is Katakana. The 16 units
// from from must be readable.
inline bool TakeShortRun(const char16_t* text, int32_t from, int32_t len, char16_t* units, int32_t* at,
                         uint16_t* room, bool& katakana) {
  const __m128i flip = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  __m128i x[2];
  for (int half = 0; half < 2; ++half) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from + 8 * half));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(units + 8 * half), v);
    // Unsigned ranges as signed comparisons of the units with their top bit turned over.
    x[half] = _mm_xor_si128(v, flip);
  }
  auto inRange = [&](size_t r) {
    const __m128i lo = _mm_set1_epi16(static_cast<int16_t>((kShortRunRanges[r].lo - 1) ^ 0x8000));
    const __m128i hi = _mm_set1_epi16(static_cast<int16_t>((kShortRunRanges[r].hi + 1) ^ 0x8000));
    uint32_t bits = 0;
    for (int half = 0; half < 2; ++half)
      bits |= static_cast<uint32_t>(_mm_movemask_epi8(
                  _mm_and_si128(_mm_cmpgt_epi16(x[half], lo), _mm_cmplt_epi16(x[half], hi))))
              << (16 * half);
    return bits;
  };
  const auto lanes = static_cast<uint32_t>((uint64_t{1} << (2 * len)) - 1);
  // The ideographs first: a Chinese run has nothing else (and in Japanese text the test that follows
  // is as regular).
  uint32_t okBits = inRange(0), kanaBits = 0;
  if ((okBits & lanes) != lanes) {
    for (size_t r = 1; r < std::size(kShortRunRanges); ++r) {
      const uint32_t bits = inRange(r);
      okBits |= bits;
      kanaBits |= r >= kFirstKatakanaRange ? bits : 0;
    }
    if ((okBits & lanes) != lanes) return false;
  }
  katakana = (kanaBits & lanes) != 0;
  const __m128i place = _mm_add_epi32(_mm_set1_epi32(from), _mm_setr_epi32(0, 1, 2, 3));
  for (int k = 0; k < 16; k += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + k), _mm_add_epi32(place, _mm_set1_epi32(k)));
  at[0] = -1;
  const __m128i left = _mm_set1_epi16(static_cast<int16_t>(len)), three = _mm_set1_epi16(3);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(room),
                   _mm_min_epi16(_mm_sub_epi16(left, _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7)), three));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(room + 8),
                   _mm_min_epi16(_mm_sub_epi16(left, _mm_setr_epi16(8, 9, 10, 11, 12, 13, 14, 15)), three));
  return true;
}
#endif

// The units among which every letter of the dictionary's scripts lies (checked against the letters'
// table when the dictionary is made or mapped): a run of word characters touching none of them from
// outside is not part of a longer run in ICU's eyes. Wider than the letters (they take the CJK
// punctuation between letters too), but the common punctuation of Chinese and Japanese text (、。，
// ：（）「」 and the quotes) lies outside.
constexpr TUnitRange kMaybeInSetRanges[] = {{0x2E80, 0x2FFF}, {0x3005, 0x3007}, {0x3021, 0x9FFF},
                                            {0xD800, 0xDFFF}, {0xF900, 0xFAFF}, {0xFF66, 0xFF9F}};

// The masks a window's plain runs are found from, 64 units a word: the units in kShortRunRanges, those
// of them that are Katakana, those in kMaybeInSetRanges, and the ASCII letters and digits.
struct TPlainMasks {
  uint64_t plain, katakana, maybe, ascii;
};

// The bits of a word of masks one place up (towards later units), the last of the word before coming
// in; and one or two places down, the first of the word after coming in.
constexpr uint64_t Up1(uint64_t x, uint64_t before) { return x << 1 | before >> 63; }
constexpr uint64_t Down1(uint64_t x, uint64_t after) { return x >> 1 | after << 63; }
constexpr uint64_t Down2(uint64_t x, uint64_t after) { return x >> 2 | after << 62; }
// gen spread up (or down) through the runs of pro it touches (gen within pro). Up, by a carry: adding
// gen to pro clears each run from its lowest bit of gen up (and sets the bit past it), but for the other
// bits of gen, which stay set.
constexpr uint64_t FillUp(uint64_t gen, uint64_t pro) { return (pro & ~(pro + gen)) | gen; }
static_assert(FillUp(0b0011000, 0b1110111100) == 0b0111000 && FillUp(0b1000000001, 0b1110000011) == 0b1000000011,
              "FillUp");
constexpr uint64_t FillDown(uint64_t gen, uint64_t pro) {
  for (int s = 1; s < 64; s *= 2) {
    gen |= pro & (gen >> s);
    pro &= pro >> s;
  }
  return gen;
}

// Which ranges a unit lies in: kShortRunRanges (of them the Katakana ones), kMaybeInSetRanges, and the
// ASCII letters and digits.
constexpr bool InRanges(const TUnitRange* ranges, size_t n, uint32_t c) {
  for (size_t r = 0; r < n; ++r)
    if (c >= ranges[r].lo && c <= ranges[r].hi) return true;
  return false;
}
constexpr bool IsPlainUnit(uint32_t c) { return InRanges(kShortRunRanges, std::size(kShortRunRanges), c); }
constexpr bool IsKanaUnit(uint32_t c) {
  return InRanges(kShortRunRanges + kFirstKatakanaRange, std::size(kShortRunRanges) - kFirstKatakanaRange, c);
}
constexpr bool IsMaybeUnit(uint32_t c) { return InRanges(kMaybeInSetRanges, std::size(kMaybeInSetRanges), c); }
constexpr bool IsAsciiWordUnit(uint32_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

#if defined(__x86_64__) && defined(__GNUC__)
#define KX8_PLAIN_RUNS_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,popcnt")))

// The plain masks' classes of units, looked up by a unit's high byte and by its low one: a unit's
// classes are kClassTables.high[high] & (kClassTables.low[low] | kFull). Of the bits, kFull (the first two) say the
// whole block of 256 units is plain or maybe; each of the others says one class of the units of one
// block that only in part is (the high byte picks the block, the low byte the units).
struct TClassTables {
  uint8_t high[256] = {}, low[256] = {};
};
constexpr uint8_t kPlainAll = 1, kMaybeAll = 2, kAsciiOf00 = 4, kMaybeOf2E = 8, kPlainOf30 = 16, kKanaOf30 = 32,
                  kMaybeOf30 = 64, kMaybeOfFF = 128;
constexpr uint8_t kFull = kPlainAll | kMaybeAll;
constexpr uint8_t kPlainBits = kPlainAll | kPlainOf30, kKanaBits = kKanaOf30, kAsciiBits = kAsciiOf00,
                  kMaybeBits = kMaybeAll | kMaybeOf2E | kMaybeOf30 | kMaybeOfFF;
constexpr TClassTables kClassTables = [] {
  TClassTables t;
  for (uint32_t h = 0; h < 256; ++h) {
    uint32_t plain = 0, maybe = 0;
    for (uint32_t l = 0; l < 256; ++l) plain += IsPlainUnit(h << 8 | l), maybe += IsMaybeUnit(h << 8 | l);
    t.high[h] = static_cast<uint8_t>((plain == 256 ? kPlainAll : 0) | (maybe == 256 ? kMaybeAll : 0));
  }
  t.high[0x00] |= kAsciiOf00;
  t.high[0x2E] |= kMaybeOf2E;
  t.high[0x30] |= kPlainOf30 | kKanaOf30 | kMaybeOf30;
  t.high[0xFF] |= kMaybeOfFF;
  for (uint32_t l = 0; l < 256; ++l)
    t.low[l] = static_cast<uint8_t>((IsAsciiWordUnit(l) ? kAsciiOf00 : 0) | (IsMaybeUnit(0x2E00 | l) ? kMaybeOf2E : 0) |
                                    (IsPlainUnit(0x3000 | l) ? kPlainOf30 : 0) | (IsKanaUnit(0x3000 | l) ? kKanaOf30 : 0) |
                                    (IsMaybeUnit(0x3000 | l) ? kMaybeOf30 : 0) | (IsMaybeUnit(0xFF00 | l) ? kMaybeOfFF : 0));
  return t;
}();
// Whether the tables give every unit its classes: the blocks that only in part are plain, Katakana,
// maybe or ASCII letters and digits are the four the tables look into.
constexpr bool ClassTablesHold() {
  for (uint32_t c = 0; c < 0x10000; ++c) {
    const uint32_t x = kClassTables.high[c >> 8] & (kClassTables.low[c & 0xFF] | kFull);
    if (((x & kPlainBits) != 0) != IsPlainUnit(c) || ((x & kKanaBits) != 0) != IsKanaUnit(c) ||
        ((x & kMaybeBits) != 0) != IsMaybeUnit(c) || ((x & kAsciiBits) != 0) != IsAsciiWordUnit(c))
      return false;
  }
  return true;
}
static_assert(ClassTablesHold(), "the class tables give every unit its classes");

// The plain masks of the n units of text (bits past n clear), into masks[0, (n + 63) / 64): each unit's
// classes looked up by its two bytes, 32 units at a time.
KX8_PLAIN_RUNS_TARGET void PlainMasks512(const char16_t* text, int32_t n, TPlainMasks* masks) {
  const uint8_t* const h = kClassTables.high;
  const uint8_t* const l = kClassTables.low;
  const __m512i high0 = _mm512_loadu_si512(h), high1 = _mm512_loadu_si512(h + 64);
  const __m512i high2 = _mm512_loadu_si512(h + 128), high3 = _mm512_loadu_si512(h + 192);
  const __m512i low0 = _mm512_loadu_si512(l), low1 = _mm512_loadu_si512(l + 64);
  const __m512i low2 = _mm512_loadu_si512(l + 128), low3 = _mm512_loadu_si512(l + 192);
  const __m512i full = _mm512_set1_epi16(kFull);
  const __m512i plainBits = _mm512_set1_epi16(kPlainBits), kanaBits = _mm512_set1_epi16(kKanaBits);
  const __m512i maybeBits = _mm512_set1_epi16(kMaybeBits), asciiBits = _mm512_set1_epi16(kAsciiBits);
  for (int32_t j = 0; j * 64 < n; ++j) {
    uint64_t plain = 0, katakana = 0, maybe = 0, ascii = 0;
    for (int32_t half = 0; half < 2; ++half) {
      const int32_t at = j * 64 + half * 32;
      if (at >= n) break;
      const __mmask32 lanes = n - at >= 32 ? ~__mmask32{0} : (__mmask32{1} << (n - at)) - 1;
      const __m512i v = _mm512_maskz_loadu_epi16(lanes, text + at);
      // Every byte looked up in both tables (128 entries at a time, picked by the byte's top bit); of a
      // unit's, the high byte's in the one and the low byte's in the other are kept. (The masked-off
      // lanes are 0: of no class.)
      const __mmask64 top = _mm512_movepi8_mask(v);
      const __m512i byHigh = _mm512_mask_blend_epi8(top, _mm512_permutex2var_epi8(high0, v, high1),
                                                    _mm512_permutex2var_epi8(high2, v, high3));
      const __m512i byLow = _mm512_mask_blend_epi8(top, _mm512_permutex2var_epi8(low0, v, low1),
                                                   _mm512_permutex2var_epi8(low2, v, low3));
      // x = high & (low | full), in each unit's low byte (0xE0: a & (b | c)).
      const __m512i x = _mm512_ternarylogic_epi32(_mm512_srli_epi16(byHigh, 8), byLow, full, 0xE0);
      plain |= uint64_t{_mm512_test_epi16_mask(x, plainBits)} << (32 * half);
      katakana |= uint64_t{_mm512_test_epi16_mask(x, kanaBits)} << (32 * half);
      maybe |= uint64_t{_mm512_test_epi16_mask(x, maybeBits)} << (32 * half);
      ascii |= uint64_t{_mm512_test_epi16_mask(x, asciiBits)} << (32 * half);
    }
    masks[j] = {plain, katakana, maybe, ascii};
  }
}

// Appends the units of the word of masks j whose bits take holds to units from used, their places to at
// (those in noPlace as -1) and the units left in their pieces to room (1 for those in ends, 2 for those
// in beforeEnds, else 3); returns how many.
KX8_PLAIN_RUNS_TARGET size_t TakePlainUnits512(const char16_t* text, int32_t n, int32_t j, uint64_t take,
                                              uint64_t noPlace, uint64_t ends, uint64_t beforeEnds,
                                              char16_t* units, int32_t* at, uint16_t* room) {
  size_t used = 0;
  for (int32_t half = 0; half < 2; ++half) {
    const auto m = static_cast<__mmask32>(take >> (32 * half));
    if (m == 0) continue;
    const int32_t from = j * 64 + half * 32;
    const __mmask32 lanes = n - from >= 32 ? ~__mmask32{0} : n > from ? (__mmask32{1} << (n - from)) - 1 : 0;
    const __m512i v = _mm512_maskz_loadu_epi16(lanes, text + from);
    _mm512_storeu_si512(units + used, _mm512_maskz_compress_epi16(m, v));
    __m512i left = _mm512_set1_epi16(3);
    left = _mm512_mask_mov_epi16(left, static_cast<__mmask32>(beforeEnds >> (32 * half)), _mm512_set1_epi16(2));
    left = _mm512_mask_mov_epi16(left, static_cast<__mmask32>(ends >> (32 * half)), _mm512_set1_epi16(1));
    _mm512_storeu_si512(room + used, _mm512_maskz_compress_epi16(m, left));
    const auto none = static_cast<__mmask32>(noPlace >> (32 * half));
    const __m512i ramp = _mm512_add_epi32(_mm512_set1_epi32(from),
                                          _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const __m512i minus = _mm512_set1_epi32(-1);
    const __m512i low = _mm512_mask_mov_epi32(ramp, static_cast<__mmask16>(none), minus);
    const __m512i high = _mm512_mask_mov_epi32(_mm512_add_epi32(ramp, _mm512_set1_epi32(16)),
                                               static_cast<__mmask16>(none >> 16), minus);
    _mm512_storeu_si512(at + used, _mm512_maskz_compress_epi32(static_cast<__mmask16>(m), low));
    const size_t lows = static_cast<size_t>(__builtin_popcount(m & 0xFFFF));
    _mm512_storeu_si512(at + used + lows, _mm512_maskz_compress_epi32(static_cast<__mmask16>(m >> 16), high));
    used += static_cast<size_t>(__builtin_popcount(m));
  }
  return used;
}
#endif

#if defined(__x86_64__) && defined(__GNUC__)
// Whether the processor has the vectors of LookUpSteps512 (and those of the plain runs).
bool Vectors512Dq() {
  static const bool dq = __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
  return Global_UseWideVectors && Global_UseVectors512 && dq;
}

// The steps of the len letters of units (see LookUp), eight at a time: each letter's pair's slot taken
// from slots, its entry gathered from the table of pairs and its key compared, the letter's cost alone
// gathered from its table, no word of three or four yet. The letters whose pairs begin longer words are
// written to longer, their pairs' links to longerLink; returns how many. Writes the steps of up to seven
// letters past len, and reads as far in units, room and slots (and one more unit), all of which stay
// within the work's arrays.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,popcnt"))) ptrdiff_t LookUpSteps512(
    const char16_t* units, const uint16_t* room, const uint32_t* slots, const TLetter* letters, const uint64_t* pairSlots,
    int32_t len, TStep* steps, int32_t* longer, TLink* longerLink) {
  ptrdiff_t longers = 0;
  // (Zero-masked forms throughout: the plain ones start from undefined vectors, which GCC warns of.)
  const __m512i noNode = _mm512_set1_epi64(kNoNode);
  const __m256i one = _mm256_set1_epi32(1), three = _mm256_set1_epi32(3), costBits = _mm256_set1_epi32(0xFF);
  const __m256i noWord = _mm256_set1_epi32(static_cast<int32_t>(kNoWord)), noStep = _mm256_set1_epi32(kNoStep);
  const __m512i noThree = _mm512_set1_epi64(static_cast<int64_t>(uint64_t{kNoStep} << 32 | uint64_t{kNoStep} << 48));
  const __m256i noNode32 = _mm256_set1_epi32(static_cast<int32_t>(kNoNode));
  const __m256i lastChildless = _mm256_set1_epi32(static_cast<int32_t>(kLongerAbove[3]));
  const __m256i ramp = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (int32_t k = 0; k < len; k += 8) {
    const __mmask8 in = len - k >= 8 ? __mmask8{0xFF} : static_cast<__mmask8>((1u << (len - k)) - 1);
    const __m256i first = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(units + k)));
    const __m256i second = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(units + k + 1)));
    const __m256i left = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(room + k)));
    // (A letter with no room for a second: its pair's key with a 0 for the second, which no pair has.)
    const __m256i key = _mm256_mask_or_epi32(first, _mm256_cmpgt_epu32_mask(left, one), first, _mm256_slli_epi32(second, 16));
    const __m256i slot = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(slots + k));
    // (Lanes past len gather nothing: their slots were never found.)
    const __m512i entry = _mm512_mask_i32gather_epi64(noNode, in, slot, pairSlots, 8);
    const __mmask8 match = _mm512_cmpeq_epi64_mask(_mm512_maskz_srli_epi64(0xFF, entry, 32), _mm512_maskz_cvtepu32_epi64(0xFF, key));
    const __m256i two = _mm256_mask_mov_epi32(noNode32, match, _mm512_maskz_cvtepi64_epi32(0xFF, entry));
    // (A letter's entry is the low half of the 32 bits from it; pieces hold no unit 0xFFFF, after which
    // the table would end.)
    const __m256i letter = _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), in, first, letters, 2);
    // The letter alone, and the word of two (the pair's value; none, kNoStep) above it.
    const __m256i twoValue = _mm256_and_si256(two, costBits);
    const __m256i twoCost = _mm256_mask_mov_epi32(twoValue, _mm256_cmpeq_epi32_mask(twoValue, noWord), noStep);
    const __m256i aloneAndTwo = _mm256_or_si256(_mm256_and_si256(letter, costBits), _mm256_slli_epi32(twoCost, 16));
    _mm512_storeu_si512(steps + k, _mm512_or_si512(_mm512_maskz_cvtepu32_epi64(0xFF, aloneAndTwo), noThree));
    const __mmask8 longerHere = _mm256_mask_cmpgt_epu32_mask(_mm256_mask_cmpeq_epi32_mask(in, left, three), two, lastChildless);
    // (Compressed in a register and stored whole: the arrays have room past the letters.)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(longer + longers),
                        _mm256_maskz_compress_epi32(longerHere, _mm256_add_epi32(ramp, _mm256_set1_epi32(k))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(longerLink + longers),
                        _mm256_maskz_compress_epi32(longerHere, two));
    longers += __builtin_popcount(longerHere);
  }
  return longers;
}
#endif

// A walk along the trie from a letter: where it began and the node it has come to.
struct TDeepWalk {
  int32_t at;
  TLink node;
};

// Takes a Katakana run that can win, of length letters from at: a word of two to four letters in its
// first letter's step where it costs less than the dictionary's (of equal costs, the same path), a
// longer one an edge.
inline void TakeKatakanaRun(int32_t at, int32_t length, TStep* steps, std::vector<TCutEdge>& edges) {
  const auto cost = static_cast<uint16_t>(KatakanaRunCost(length));
  if (length == 2) {
    steps[at].two = std::min(steps[at].two, cost);
  } else if (length == 3) {
    steps[at].three = std::min(steps[at].three, cost);
  } else if (length == 4) {
    steps[at].four = std::min(steps[at].four, cost);
  } else {
    edges.push_back({at, at + length, cost});
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The Katakana runs of the len letters of units (those IsKatakana takes), each from its first letter to
// its end, a word of a cost by its length (a run ends where its piece does, room 1): those that can
// win (KatakanaRunCanWin) put in the steps when of two to four letters (TakeKatakanaRun), appended
// to edges when longer. The masks of 64 letters at a time: a Japanese text has a Katakana run every few
// letters, which a loop of letters guesses badly.
__attribute__((target("avx512f,avx512bw"))) void AddKatakanaRuns512(const char16_t* units, const uint16_t* room,
                                                                 int32_t len, TStep* steps,
                                                                 std::vector<TCutEdge>& edges) {
  const int32_t words = (len + 63) / 64;
  // The runs that start in a word of masks, each taken once the next word's joins are known (a run's
  // end may lie there): the starts and joins of the word before, and the joins of the word after.
  auto take = [&](int32_t j, uint64_t starts, uint64_t joins, uint64_t nextJoins) {
    for (; starts != 0; starts &= starts - 1) {
      const int32_t b = __builtin_ctzll(starts);
      // The joins after the start, 64 of them from the next letter on: the run ends at the first letter
      // that does not join (looked for no further than a run that can win).
      const unsigned __int128 pair = static_cast<unsigned __int128>(nextJoins) << 64 | joins;
      const auto after = static_cast<uint64_t>(pair >> (b + 1));
      const int32_t length = 1 + __builtin_ctzll(~after | uint64_t{1} << kLongestWinningKatakanaRun);
      if (KatakanaRunCanWin(length)) TakeKatakanaRun(j * 64 + b, length, steps, edges);
    }
  };
  uint64_t lastStarts = 0, lastJoins = 0;
  const __m512i first = _mm512_set1_epi16(static_cast<int16_t>(kKatakanaFirst));
  const __m512i middle = _mm512_set1_epi16(static_cast<int16_t>(kKatakanaMiddleDot));
  const __m512i firstHalf = _mm512_set1_epi16(static_cast<int16_t>(kHalfKatakanaFirst));
  const __m512i span = _mm512_set1_epi16(kKatakanaLast - kKatakanaFirst);
  const __m512i halfSpan = _mm512_set1_epi16(kHalfKatakanaLast - kHalfKatakanaFirst);
  const __m512i one = _mm512_set1_epi16(1);
  uint64_t carry = 0;  // whether the last letter of the word before is Katakana and its run goes on
  for (int32_t j = 0; j < words; ++j) {
    uint64_t k = 0, on = 0;
    for (int32_t half = 0; half < 2; ++half) {
      const int32_t at = j * 64 + half * 32;
      if (at >= len) break;
      const __mmask32 lanes = len - at >= 32 ? ~__mmask32{0} : (__mmask32{1} << (len - at)) - 1;
      const __m512i v = _mm512_maskz_loadu_epi16(lanes, units + at);
      const __mmask32 katakana =
          (_mm512_cmple_epu16_mask(_mm512_sub_epi16(v, first), span) & _mm512_cmpneq_epi16_mask(v, middle)) |
          _mm512_cmple_epu16_mask(_mm512_sub_epi16(v, firstHalf), halfSpan);
      const __mmask32 goesOn = _mm512_cmpgt_epu16_mask(_mm512_maskz_loadu_epi16(lanes, room + at), one);
      k |= uint64_t{katakana & lanes} << (32 * half);
      on |= uint64_t{goesOn & lanes} << (32 * half);
    }
    // A letter joins the one before when both are Katakana and the one before is no piece's last.
    const uint64_t goesOnKana = k & on;
    const uint64_t joins = k & (goesOnKana << 1 | carry);
    carry = goesOnKana >> 63;
    if (j > 0) take(j - 1, lastStarts, lastJoins, joins);
    lastStarts = k & ~joins, lastJoins = joins;
  }
  if (words > 0) take(words - 1, lastStarts, lastJoins, 0);
}
#endif

// What a piece of a run is: Han and kana letters cut by the dictionary, or ASCII letters and digits,
// which ICU's rules keep together as one word.
enum class TPiece : uint8_t { none, han_kana, ascii };

}  // namespace

// The pieces waiting to be cut, one after another in units[0, used), with the position in the text of
// each unit in at and in room how many units of its piece are left from it, at most 3 (no word of two
// or three letters runs past the end of a piece, and longer words and Katakana runs stop where room is
// 1); whether any has Katakana; and the arrays a cut works in, kept from cut to cut.
struct THanKanaCutter::TCutWork {
  std::vector<char16_t> units = std::vector<char16_t>(kCutBatchUnits + 64);
  std::vector<int32_t> at = std::vector<int32_t>(kCutBatchUnits + 64);
  std::vector<uint16_t> room = std::vector<uint16_t>(kCutBatchUnits + 64);
  size_t used = 0;
  // Grows the arrays of a unit each to hold at least size.
  void Reserve(size_t size) {
    if (units.size() >= size) return;
    units.resize(size);
    at.resize(size);
    room.resize(size);
    pairSlots.resize(size);
    longer.resize(size);
    longerLink.resize(size);
    firstEdge.resize(size, -1);
    deep.resize(size);
  }
  // Finds the pairs' slots of units[slotted, upTo), each asked for from memory at once.
  void SlotPairs(const TPairTable& table, size_t upTo) {
    // (Locals throughout: the stores could otherwise be taken to change what they hold.)
    const TPairTable pairs = table;
    const char16_t* const u = units.data();
    uint32_t* const slots = pairSlots.data();
    for (size_t k = slotted; k < upTo; ++k) slots[k] = pairs.SlotAskedFor(PairAt(u + k));
    slotted = std::max(slotted, upTo);
  }
  // Marks units[from, to) a piece.
  void SetRoom(size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) room[i] = static_cast<uint16_t>(std::min<size_t>(3, to - i));
  }
  bool katakana = false;
  // The pieces of two letters, settled apart (the commonest piece, and no path is needed for one): the
  // pair of each, and the place of its second letter.
  static constexpr size_t kMaxPairs = 256;
  size_t pairs = 0;
  std::array<uint32_t, kMaxPairs> pairKeys{}, pairKeySlots{};
  std::array<int32_t, kMaxPairs> pairAt{};
  // The lanes of a cut's path (see Cut): where each begins, and the steps of the longest.
  int32_t stop[kWalks + 1] = {};
  int32_t laneSteps = 0;
  std::vector<TStep> steps;  // a step for each letter
  // Each letter's pair's slot, of the first slotted letters (found as the plain runs are taken, so that
  // the table's lines are asked for while there is other work to do).
  std::vector<uint32_t> pairSlots = std::vector<uint32_t>(kCutBatchUnits + 64);
  size_t slotted = 0;
  // The letters whose pairs begin longer words.
  std::vector<int32_t> longer = std::vector<int32_t>(kCutBatchUnits + 64);
  std::vector<TLink> longerLink = std::vector<TLink>(kCutBatchUnits + 64);  // and their pairs' links
  std::vector<TPathEnd> far;    // kWalks a step
  std::vector<int32_t> from;    // kWalks a step
  std::vector<uint8_t> edges;   // a step's lanes with edges
  // The edges, words of five letters or more and Katakana runs of five to eight, in no order, and the
  // edges of each letter linked: the first at each letter (-1: none; all -1 between cuts) and the next
  // at the same letter.
  std::vector<TCutEdge> words;
  std::vector<int32_t> firstEdge = std::vector<int32_t>(kCutBatchUnits + 64, -1), nextEdge;
  // The walks to words of four letters or more, a letter at a time: where each began, and its node.
  std::vector<TDeepWalk> deep = std::vector<TDeepWalk>(kCutBatchUnits + 64);
  // A window's plain masks, and the units of its plain runs, then those of them that are Han or kana.
  // (As long as a window has words of 64 units: from the pool of huge pages, as the starts.)
  TPooledBuffer<TPlainMasks> plainMasks;
  TPooledBuffer<uint64_t> taken, plain;
};
using TCutWork = THanKanaCutter::TCutWork;

class THanKanaDictionary {
 public:
  explicit THanKanaDictionary(const std::string& cacheDir) {
    UErrorCode status = U_ZERO_ERROR;
    UDataMemory* file = udata_open(U_ICUDATA_NAME U_TREE_SEPARATOR_STRING "brkitr", "dict", "cjdict", &status);
    if (U_FAILURE(status) || !file) return;
    std::unique_ptr<UDataMemory, decltype(&udata_close)> closer(file, &udata_close);
    // The data begins with eight int32 indexes: [0] the trie's byte offset, [3] the data's size, [4] the
    // trie type (1 for a trie of UTF-16 units, 8 for "has values").
    const auto* indexes = static_cast<const int32_t*>(udata_getMemory(file));
    if (!indexes || (indexes[4] & 7) != 1 || !(indexes[4] & 8) || indexes[0] < 32 || indexes[3] < indexes[0]) return;
    const auto* trie = reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(indexes) + indexes[0]);
    // The trie made from this dictionary by this ICU (its properties decide the letters) in this layout.
    const uint64_t key = DataKey(indexes, Hash64(kCacheVersion, std::strlen(kCacheVersion), 0));
    key_ = key;
    std::string path;
    if (!cacheDir.empty()) {
      char name[40];
      std::snprintf(name, sizeof name, "hankana-%016llx.trie", static_cast<unsigned long long>(key));
      path = cacheDir + "/" + name;
      if (Load(path, key)) {
        ok_ = fromCache_ = true;
        CheckLetters();
        return;
      }
    }
    if (Set().isEmpty()) return;  // (ICU's properties missing)
    ownLetters_.assign(0x10000 + 2, kNoWord);  // (two past the last: see LookUpSteps512)
    for (char32_t c = 0; c < 0x10000; ++c) {
      uint32_t kind = 0;
      if (c < 0x80 && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
        kind = kAscii;
      if (Set().contains(static_cast<UChar32>(c))) {
        kind = kInSet;
        if (NfkcStable(c) && !IsSurrogate(static_cast<char16_t>(c))) kind |= kCut;
      }
      if (IsKatakana(static_cast<char16_t>(c))) kind |= kKatakana;
      ownLetters_[c] = static_cast<TLetter>(ownLetters_[c] | kind << 8);
    }
    ok_ = Build(trie);
    if (!ok_) return;
    // The second half of a surrogate pair is a letter of no cost (the pair costs that of an unknown
    // letter, its first half's), so that the cut steps over it.
    for (char32_t c = 0xDC00; c < 0xE000; ++c) ownLetters_[c] &= 0xFF00;
    letters_ = ownLetters_.data(), units_ = ownUnits_.data(), links_ = ownLinks_.data();
    pairs_.slots = ownPairs_.data(), pairs_.shifts = ownPairShifts_.data();
    slotCount_ = ownLinks_.size();
    CheckLetters();
    if (!path.empty()) Save(path, key);
  }
  ~THanKanaDictionary() { LetGoOfMap(); }
  THanKanaDictionary(const THanKanaDictionary&) = delete;
  THanKanaDictionary& operator=(const THanKanaDictionary&) = delete;

  bool fromCache() const { return fromCache_; }
  bool ok() const { return ok_; }
  // The trie's key (a hash of the dictionary's data, ICU's version and the trie's layout); 0 without
  // the dictionary.
  uint64_t key() const { return key_; }
  // Whether the letters' table agrees with TakeShortRun's ranges (see there).
  bool shortRunRanges() const { return shortRunRanges_; }
  // Whether plain runs may be taken from a window's masks: the short runs' ranges hold, and every
  // letter of the dictionary's scripts lies in kMaybeInSetRanges.
  bool plainRuns() const { return plainRuns_; }
  const TPairTable& Pairs() const { return pairs_; }
  const TLetter* Letters() const { return letters_; }
  bool InSet(char32_t c) const {
    return c < 0x10000 ? (KindOf(letters_[c]) & kInSet) != 0 : Set().contains(static_cast<UChar32>(c));
  }
  // The piece the character at run[k] belongs to, and in width its length in units; in kinds, the
  // kinds of its first unit added. (Halves of surrogate pairs have no kinds.)
  TPiece PieceOf(const char16_t* run, int32_t k, int32_t len, int32_t& width, uint32_t& kinds) const {
    const char16_t u = run[k];
    const uint32_t kind = KindOf(letters_[u]);
    width = 1;
    kinds |= kind;
    if (kind & kCut) return TPiece::han_kana;
    if (kind == kAscii) return TPiece::ascii;
    if (!IsLeadSurrogate(u) || k + 1 >= len || !IsTrailSurrogate(run[k + 1])) return TPiece::none;
    const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (run[k + 1] - 0xDC00u);
    width = 2;
    return Set().contains(static_cast<UChar32>(c)) && NfkcStable(c) ? TPiece::han_kana : TPiece::none;
  }

  // Settles the pieces of two letters waiting in work, appending to starts the places of the second
  // letters of those cut between their letters, and empties the list. A piece of the letters a, b
  // (neither half of a surrogate pair) is cut when the letters alone cost less than the word of both,
  // and than the Katakana run of both (found first, they win a tie): no other path runs through them.
  // The pairs' slots are all asked for first, as Cut's are.
  void CutPairs(TCutWork& w, TWordStartList& starts) const {
    const size_t n = w.pairs;
    for (size_t i = 0; i < n; ++i) w.pairKeySlots[i] = pairs_.SlotAskedFor(w.pairKeys[i]);
    const size_t mark = starts.size();
    starts.resize(mark + n);
    int32_t* const out = starts.data() + mark;
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint32_t key = w.pairKeys[i];
      const TLetter first = letters_[key & 0xFFFF], second = letters_[key >> 16];
      const uint32_t word = StepCost(Value(TPairTable::LinkIn(pairs_.slots[w.pairKeySlots[i]], key)));
      const uint32_t kana = (KindOf(first) & KindOf(second) & kKatakana) ? KatakanaRunCost(2) : kNoPath;
      out[count] = w.pairAt[i];
      count += Value(first) + Value(second) < std::min(word, kana);
    }
    starts.resize(mark + count);
    w.pairs = 0;
  }
  // Cuts the pieces waiting in work, appending the positions in the text where words begin inside them
  // to starts, and empties work.
  void Cut(TCutWork& work, TWordStartList& starts) const;

 private:
  // Cut's look-ups (with the Katakana runs only where any piece has Katakana).
  template <bool kAnyKatakana>
  void LookUp(TCutWork& work, int32_t len) const;

  // ICU normalises a run to NFKC before it looks words up, when the run is not in NFKC already. A run
  // whose every character has quick check "yes" and no combining class is in NFKC; a run with any other
  // character is left to ICU, which keeps its mapping back to the text exact (such runs are rare:
  // halfwidth Katakana, compatibility ideographs, combining voicing marks).
  static bool NfkcStable(char32_t c) {
    return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NFKC_QUICK_CHECK) == UNORM_YES &&
           u_getCombiningClass(static_cast<UChar32>(c)) == 0;
  }

  // A key of the dictionary's data (indexes[3] bytes from indexes). Data in a library file (ICU's data
  // library) is known by the file: its path, device, inode, size and times, which any change to it or
  // any other file changes, and the data's place and size in it. Hashing the data itself touches two
  // megabytes for the first time in every process, which on a virtual machine costs a millisecond or
  // more; that is left for data found elsewhere (a data file of ICU_DATA, or no file at all).
  static uint64_t DataKey(const int32_t* indexes, uint64_t seed) {
    Dl_info info{};
    struct stat st {};
    if (::dladdr(indexes, &info) != 0 && info.dli_fname && info.dli_fname[0] == '/' && info.dli_fbase &&
        ::stat(info.dli_fname, &st) == 0) {
      const uint64_t id[] = {static_cast<uint64_t>(st.st_dev),
                             static_cast<uint64_t>(st.st_ino),
                             static_cast<uint64_t>(st.st_size),
                             static_cast<uint64_t>(st.st_mtim.tv_sec),
                             static_cast<uint64_t>(st.st_mtim.tv_nsec),
                             static_cast<uint64_t>(st.st_ctim.tv_sec),
                             static_cast<uint64_t>(st.st_ctim.tv_nsec),
                             static_cast<uint64_t>(reinterpret_cast<const char*>(indexes) -
                                                   static_cast<const char*>(info.dli_fbase)),
                             static_cast<uint64_t>(indexes[3])};
      return Hash64(id, sizeof id, Hash64(info.dli_fname, std::strlen(info.dli_fname), seed));
    }
    return LaneHash64(indexes, static_cast<size_t>(indexes[3]), seed);
  }
  bool Build(const char16_t* trie);
  // The trie as a file of the cache: a header, then the letters' table, the blocks' units and the
  // blocks' links, each as this process holds them. Load maps one made for key (checking its size and
  // a hash of its contents); Save writes one (to a new name, then renamed, so that a reader never sees
  // half a file); a failure of either only means building, or not keeping.
  struct TCacheHeader {
    char magic[8];
    uint64_t key, slotCount, contentHash, pairBits, pairMultiplier, reserved[2];
  };
  static constexpr char kCacheMagic[8] = {'K', 'X', '8', 'H', 'K', 'D', 'T', '7'};
  static constexpr const char* kCacheVersion = "kx8 han-kana trie 7 " U_ICU_VERSION " " U_UNICODE_VERSION;
  static size_t CacheBytes(size_t slots, uint32_t pairBits) {
    return 0x10000 * sizeof(TLetter) + slots * (sizeof(char16_t) + sizeof(TLink)) +
           (size_t{1} << pairBits) * sizeof(uint64_t) +
           (size_t{1} << (pairBits - TPairTable::kBucketLog)) * sizeof(uint16_t);
  }
  bool Load(const std::string& path, uint64_t key);
  void Save(const std::string& path, uint64_t key) const;
  // Removes the tries of other versions in kept's folder that have not been written for a long time.
  static void RemoveStaleCacheFiles(const std::string& kept);
  // The seed of the hash of the contents: the key and the table of pairs' shape, which the header
  // holds outside the contents.
  static uint64_t ContentSeed(const TCacheHeader& h) {
    const uint64_t pairs[2] = {h.pairBits, h.pairMultiplier};
    return Hash64(pairs, sizeof pairs, h.key);
  }

  // Makes the table of pairs; false if no multiplier of the few tried separates them.
  bool BuildPairs(const std::vector<uint32_t>& keys, const std::vector<TLink>& links);
  // Asks for the lines FindIn reads to find u among node's children.
  static void AskForBlock(const char16_t* units, const TLink* links, TLink node, char16_t u) {
    const uint32_t at = BlockOf(node) + BucketOf(u, Shape(node)) * kBucketSlots;
    __builtin_prefetch(units + at);
    __builtin_prefetch(links + at);
  }
  static TLink FindIn(const char16_t* units, const TLink* links, TLink node, char16_t u) {
    const uint32_t shape = Shape(node);
    const uint32_t at = BlockOf(node) + BucketOf(u, shape) * kBucketSlots;
    // (The links' line is asked for with the units': in a walk each waits on the one before, and they
    // would otherwise come one after the other.)
    __builtin_prefetch(links + at);
#if defined(__SSE2__)
    const __m128i keys = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + at));
    const auto match = static_cast<uint32_t>(_mm_movemask_epi8(
        _mm_cmpeq_epi16(keys, _mm_set1_epi16(static_cast<int16_t>(u)))));
    return links[at + (31 - static_cast<uint32_t>(__builtin_clz((match & kLaneMask[shape]) | 1))) / 2];
#else
    for (uint32_t k = 1; k < static_cast<uint32_t>(kBucketSlots); ++k)
      if ((kLaneMask[shape] >> (2 * k) & 1) && units[at + k] == u) return links[at + k];
    return links[at];
#endif
  }

  // Whether the letters' table agrees with the ranges the vector loops test units against: the short
  // runs' (TakeShortRun), kMaybeInSetRanges (every letter of the dictionary's scripts lies there) and
  // IsKatakana's (the Katakana runs). One pass over the table, once a process.
  void CheckLetters() {
    bool shortRuns = true, maybe = true, katakana = true;
    for (char32_t c = 0; c < 0x10000; ++c) {
      const uint32_t kind = KindOf(letters_[c]);
      shortRuns &= !IsPlainUnit(c) || ((kind & kCut) && ((kind & kKatakana) != 0) == IsKanaUnit(c));
      maybe &= !(kind & kInSet) || IsMaybeUnit(c);
      katakana &= ((kind & kKatakana) != 0) == IsKatakana(static_cast<char16_t>(c));
    }
    shortRunRanges_ = shortRuns;
    plainRuns_ = shortRuns && maybe;
    katakanaRanges_ = katakana;
  }

  bool ok_ = false, fromCache_ = false, shortRunRanges_ = false, plainRuns_ = false, katakanaRanges_ = false;
  uint64_t key_ = 0;
  // The letters of the dictionary's scripts, for those beyond the first plane (the letters' table has
  // the others) and for making the table: made when first asked for, which a trie kept in the cache
  // seldom needs (making it costs about a millisecond).
  const icu::UnicodeSet& Set() const {
    std::call_once(setOnce_, [this] {
      UErrorCode status = U_ZERO_ERROR;
      set_.applyPattern(icu::UnicodeString(u"[[:Han:][:Hiragana:][:Katakana:]\\u30fc\\uff70\\uff9e\\uff9f]"), status);
      if (U_FAILURE(status)) set_.clear();
      set_.freeze();
    });
    return set_;
  }
  mutable std::once_flag setOnce_;
  mutable icu::UnicodeSet set_;
  // What the lookups read: built here (the own arrays) or mapped from the cache.
  const TLetter* letters_ = nullptr;   // of each unit: its kinds and its cost alone
  const char16_t* units_ = nullptr;    // the blocks of children of every node, their letters
  const TLink* links_ = nullptr;       // and their links
  size_t slotCount_ = 0;               // (a bucket's worth past the last block: loads stay inside)
  TPairTable pairs_;                   // the first two letters of words
  std::vector<TLetter> ownLetters_;
  std::vector<char16_t> ownUnits_;
  std::vector<TLink> ownLinks_;
  std::vector<uint64_t> ownPairs_;
  std::vector<uint16_t> ownPairShifts_;
  void* map_ = nullptr;  // the kept trie, mapped or read (read_) into a large buffer
  size_t mapBytes_ = 0;
  bool read_ = false;
  void LetGoOfMap() {
    if (map_ && read_) FreeLargeBuffer(map_, mapBytes_);
    if (map_ && !read_) ::munmap(map_, mapBytes_);
    map_ = nullptr, read_ = false;
  }
};

bool THanKanaDictionary::Build(const char16_t* trie) {
  UErrorCode status = U_ZERO_ERROR;
  // Every word, its units in one pool.
  struct TWord {
    uint32_t at;
    uint16_t length;
    uint8_t value;
  };
  std::vector<char16_t> pool;
  std::vector<TWord> words;
  icu::UCharsTrie::Iterator it(trie, 0, status);
  while (U_SUCCESS(status) && it.next(status)) {
    const icu::UnicodeString& w = it.getString();
    const int32_t v = it.getValue();
    if (w.isEmpty() || w.length() > 0xFFFF || v < 0 || v >= static_cast<int32_t>(kNoWord)) return false;
    // ICU looks code points up among the trie's UTF-16 units, so a word with a character beyond the
    // first plane is never found; leaving it out keeps surrogates out of the walk.
    if (std::any_of(w.getBuffer(), w.getBuffer() + w.length(), [](char16_t c) { return IsSurrogate(c); })) continue;
    words.push_back({static_cast<uint32_t>(pool.size()), static_cast<uint16_t>(w.length()), static_cast<uint8_t>(v)});
    pool.insert(pool.end(), w.getBuffer(), w.getBuffer() + w.length());
  }
  if (U_FAILURE(status) || words.empty()) return false;
  if (std::find(pool.begin(), pool.end(), u'\0') != pool.end()) return false;  // 0 marks an empty slot
  auto less = [&](const TWord& a, const TWord& b) {
    return std::lexicographical_compare(pool.begin() + a.at, pool.begin() + a.at + a.length, pool.begin() + b.at,
                                        pool.begin() + b.at + b.length);
  };
  if (!std::is_sorted(words.begin(), words.end(), less)) std::sort(words.begin(), words.end(), less);

  // The nodes breadth first (the children of a node are the groups of its words that share their next
  // unit), then each node's block of children placed, then the links written.
  struct TNode {
    char16_t unit = 0;
    uint32_t value = kNoWord;
    uint32_t first = 0, count = 0;  // children among the nodes
    uint32_t shape = 0, block = 0;  // their block
  };
  struct TPending {
    uint32_t node, lo, hi, depth;
  };
  std::vector<TNode> nodes(1);
  std::vector<TPending> queue{{0, 0, static_cast<uint32_t>(words.size()), 0}};
  for (size_t q = 0; q < queue.size(); ++q) {
    auto [node, lo, hi, depth] = queue[q];
    if (lo < hi && words[lo].length == depth) nodes[node].value = words[lo++].value;
    nodes[node].first = static_cast<uint32_t>(nodes.size());
    for (uint32_t g = lo; g < hi;) {
      const char16_t u = pool[words[g].at + depth];
      uint32_t h = g + 1;
      while (h < hi && pool[words[h].at + depth] == u) ++h;
      queue.push_back({static_cast<uint32_t>(nodes.size()), g, h, depth + 1});
      nodes.push_back(TNode{u});
      g = h;
    }
    nodes[node].count = static_cast<uint32_t>(nodes.size()) - nodes[node].first;
  }
  // The first letters are the table of letters and their pairs the table of pairs (below); the blocks
  // begin with the pairs' children, breadth first, so that the blocks most looked at lie together. Up
  // to 4 children are in a row; more are hashed into buckets, as few as leave none with more than 8,
  // and a bucket never crosses a cache line.
  const size_t pairNodes = size_t{nodes[0].first} + nodes[0].count;  // (the nodes below them)
  size_t size = kBucketSlots;  // the first bucket is that of no node
  std::vector<uint32_t> load;
  for (size_t k = pairNodes; k < nodes.size(); ++k) {
    TNode& nd = nodes[k];
    if (nd.count == 0) continue;
    if (nd.count <= 4) {
      nd.shape = nd.count <= 2 ? nd.count : 3;
    } else {
      uint32_t bits = 0;
      while (((kBucketSlots - 1) << bits) < static_cast<int32_t>(nd.count + nd.count / 4)) ++bits;
      for (;; ++bits) {
        if (bits > kMaxBucketBits) return false;
        load.assign(size_t{1} << bits, 0);
        uint32_t fullest = 0;
        for (uint32_t c = nd.first; c < nd.first + nd.count; ++c)
          fullest = std::max(fullest, ++load[BucketOf(nodes[c].unit, 4 + bits)]);
        if (fullest < static_cast<uint32_t>(kBucketSlots)) break;
      }
      nd.shape = 4 + bits;
      size = (size + kBucketSlots - 1) / kBucketSlots * kBucketSlots;
    }
    size += size & 1;
    nd.block = static_cast<uint32_t>(size);
    size += nd.shape < 4 ? 1 + (size_t{1} << (nd.shape - 1)) : size_t{kBucketSlots} << (nd.shape - 4);
    if (size > kMaxSlots) return false;
  }
  size = (size + 2 * kBucketSlots - 1) / kBucketSlots * kBucketSlots;  // a bucket's worth past the last
  auto link = [&](const TNode& nd) { return TLink{nd.value} | nd.block << 7 | nd.shape << 28; };
  ownUnits_.assign(size, 0);
  ownLinks_.assign(size, kNoNode);
  for (uint32_t c = nodes[0].first; c < nodes[0].first + nodes[0].count; ++c)
    ownLetters_[nodes[c].unit] = static_cast<TLetter>((ownLetters_[nodes[c].unit] & 0xFF00) | nodes[c].value);
  for (size_t k = pairNodes; k < nodes.size(); ++k) {
    const TNode& nd = nodes[k];
    for (uint32_t c = 0; c < nd.count; ++c) {
      const TNode& child = nodes[nd.first + c];
      uint32_t slot = nd.block + 1 + (nd.shape < 4 ? c : BucketOf(child.unit, nd.shape) * kBucketSlots);
      while (ownUnits_[slot] != 0) ++slot;
      ownUnits_[slot] = child.unit;
      ownLinks_[slot] = link(child);
    }
  }
  // The nodes of the first two letters, for the table of pairs.
  std::vector<uint32_t> pairKeys;
  std::vector<TLink> pairLinks;
  for (uint32_t c = nodes[0].first; c < nodes[0].first + nodes[0].count; ++c)
    for (uint32_t g = nodes[c].first; g < nodes[c].first + nodes[c].count; ++g) {
      pairKeys.push_back(PairKey(nodes[c].unit, nodes[g].unit));
      pairLinks.push_back(link(nodes[g]));
    }
  return BuildPairs(pairKeys, pairLinks);
}

bool THanKanaDictionary::BuildPairs(const std::vector<uint32_t>& keys, const std::vector<TLink>& links) {
  // Slots for at least 4/3 of the pairs; the buckets largest first, each given the first displacement
  // that puts all its pairs in free slots. A multiplier that leaves a bucket with no such displacement
  // (two of its pairs in one slot whatever the displacement) is replaced by the next.
  uint32_t bits = TPairTable::kBucketLog + 1;
  while ((uint64_t{3} << bits) < 4 * uint64_t{keys.size()}) ++bits;
  if (bits > 28) return false;
  TPairTable& t = pairs_;
  t.SetBits(bits, 0);
  std::vector<uint32_t> first(t.Buckets() + 1), order(keys.size()), bucketOrder(t.Buckets());
  std::vector<uint64_t> hashes(keys.size());
  std::vector<uint8_t> taken(t.Slots());
  for (uint64_t attempt = 0; attempt < 16; ++attempt) {
    t.SetBits(bits, (0x9E3779B97F4A7C15u + attempt * 0xD1B54A32D192ED03u) | 1);
    std::fill(first.begin(), first.end(), 0);
    for (size_t i = 0; i < keys.size(); ++i) ++first[((hashes[i] = t.Hash(keys[i])) >> t.bucketShift) + 1];
    for (size_t b = 0; b < t.Buckets(); ++b) first[b + 1] += first[b];
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (uint32_t i = 0; i < keys.size(); ++i) order[fill[hashes[i] >> t.bucketShift]++] = i;
    for (uint32_t b = 0; b < t.Buckets(); ++b) bucketOrder[b] = b;
    std::stable_sort(bucketOrder.begin(), bucketOrder.end(),
                     [&](uint32_t x, uint32_t y) { return first[x + 1] - first[x] > first[y + 1] - first[y]; });
    ownPairShifts_.assign(t.Buckets(), 0);
    ownPairs_.assign(t.Slots(), kNoNode);
    std::fill(taken.begin(), taken.end(), 0);
    auto slotOf = [&](uint32_t i, uint32_t d) { return TPairTable::SlotIn(hashes[order[i]], d, t.mask); };
    bool placed = true;
    for (const uint32_t b : bucketOrder) {
      const uint32_t lo = first[b], hi = first[b + 1];
      if (lo == hi) break;
      placed = false;
      for (uint32_t d = 0; d <= 0xFFFF && !placed; ++d) {
        uint32_t i = lo;
        for (; i < hi && !taken[slotOf(i, d)]; ++i) taken[slotOf(i, d)] = 1;
        placed = i == hi;
        if (placed) {
          ownPairShifts_[b] = static_cast<uint16_t>(d);
          for (uint32_t j = lo; j < hi; ++j) ownPairs_[slotOf(j, d)] = uint64_t{keys[order[j]]} << 32 | links[order[j]];
        } else {
          while (i > lo) taken[slotOf(--i, d)] = 0;
        }
      }
      if (!placed) break;
    }
    if (placed) return true;
  }
  return false;
}

bool THanKanaDictionary::Load(const std::string& path, uint64_t key) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  TCacheHeader h{};
  const bool headed = ::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) > sizeof h &&
                      ::pread(fd, &h, sizeof h, 0) == static_cast<ssize_t>(sizeof h);
  const bool sane = headed && h.slotCount <= kMaxSlots + 2 * kBucketSlots && h.slotCount % kBucketSlots == 0 &&
                    h.pairBits > TPairTable::kBucketLog && h.pairBits <= 28 && (h.pairMultiplier & 1) != 0;
  const size_t bytes = sane ? sizeof h + CacheBytes(h.slotCount, static_cast<uint32_t>(h.pairBits)) : 0;
  if (!sane || std::memcmp(h.magic, kCacheMagic, sizeof h.magic) != 0 || h.key != key ||
      static_cast<size_t>(st.st_size) != bytes) {
    ::close(fd);
    return false;
  }
  // Read into huge pages where the system gives them (the trie is looked up all over), else mapped.
  void* m = ReadIntoLargeBuffer(fd, bytes);
  read_ = m != nullptr;
  if (!m) {
    m = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (m == MAP_FAILED) m = nullptr;
  }
  ::close(fd);
  if (!m) return false;
  map_ = m, mapBytes_ = bytes;
  const auto* p = static_cast<const uint8_t*>(m) + sizeof h;
  if (LaneHash64(p, bytes - sizeof h, ContentSeed(h)) != h.contentHash) {
    LetGoOfMap();
    return false;
  }
  letters_ = reinterpret_cast<const TLetter*>(p);
  units_ = reinterpret_cast<const char16_t*>(p + 0x10000 * sizeof(TLetter));
  links_ = reinterpret_cast<const TLink*>(p + 0x10000 * sizeof(TLetter) + h.slotCount * sizeof(char16_t));
  pairs_.SetBits(static_cast<uint32_t>(h.pairBits), h.pairMultiplier);
  pairs_.slots = reinterpret_cast<const uint64_t*>(links_ + h.slotCount);
  pairs_.shifts = reinterpret_cast<const uint16_t*>(pairs_.slots + pairs_.Slots());
  slotCount_ = h.slotCount;
  return true;
}

void THanKanaDictionary::Save(const std::string& path, uint64_t key) const {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return;
  std::string content;
  content.reserve(CacheBytes(slotCount_, pairs_.bits));
  content.append(reinterpret_cast<const char*>(letters_), 0x10000 * sizeof(TLetter));
  content.append(reinterpret_cast<const char*>(units_), slotCount_ * sizeof(char16_t));
  content.append(reinterpret_cast<const char*>(links_), slotCount_ * sizeof(TLink));
  content.append(reinterpret_cast<const char*>(pairs_.slots), pairs_.Slots() * sizeof(uint64_t));
  content.append(reinterpret_cast<const char*>(pairs_.shifts), pairs_.Buckets() * sizeof(uint16_t));
  TCacheHeader h{};
  std::memcpy(h.magic, kCacheMagic, sizeof h.magic);
  h.key = key;
  h.slotCount = slotCount_;
  h.pairBits = pairs_.bits;
  h.pairMultiplier = pairs_.multiplier;
  h.contentHash = LaneHash64(content.data(), content.size(), ContentSeed(h));
  const std::string temp = path + ".new." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  bool written = true;
  for (const auto& [p, n] : {std::pair<const char*, size_t>{reinterpret_cast<const char*>(&h), sizeof h},
                             std::pair<const char*, size_t>{content.data(), content.size()}})
    for (size_t done = 0; written && done < n;) {
      const ssize_t w = ::write(fd, p + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      written = w > 0;
      if (written) done += static_cast<size_t>(w);
    }
  written = ::close(fd) == 0 && written;
  if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return;
  }
  RemoveStaleCacheFiles(path);
}

void THanKanaDictionary::RemoveStaleCacheFiles(const std::string& kept) {
  // Each version of the library (and of ICU and its dictionary) keeps a trie of its own, some 5-7 MB:
  // those of versions no longer in use would pile up. A trie not written for 30 days is let go (another
  // version still in use then makes its own again, once), as is a file left half-written by a writer
  // that stopped an hour ago or more.
  namespace fs = std::filesystem;
  const fs::path keptPath(kept);
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator it(keptPath.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string name = p.filename().string();
    if (p.filename() == keptPath.filename() || name.rfind("hankana-", 0) != 0) continue;
    const bool trie = name.size() == std::strlen("hankana-0123456789abcdef.trie") && name.ends_with(".trie");
    const bool halfWritten = name.find(".trie.new.") != std::string::npos;
    if (!trie && !halfWritten) continue;
    std::error_code timeError;
    const auto written = fs::last_write_time(p, timeError);
    if (timeError || !it->is_regular_file(timeError) || timeError) continue;
    if (now - written >= (trie ? std::chrono::hours(24 * 30) : std::chrono::hours(1))) fs::remove(p, timeError);
  }
}

template <bool kAnyKatakana>
void THanKanaDictionary::LookUp(TCutWork& w, int32_t len) const {
  // First the words that begin at each letter, all letters at once: the look-ups of one letter wait
  // neither on another's nor on the path so far. A step (see TStep) holds the cost of the letter alone
  // (its word's, or that of an unknown letter) and the words of two, three and four letters from it,
  // one for each letter in the letters' order (the path's lanes read theirs from where they begin). The
  // letters whose pairs begin longer words are listed, and their third letters looked up after; the
  // words of five letters or more and the longer Katakana runs, rare, are edges of their own. No word
  // runs past a piece's end: a letter with no room for a second has its pair taken as no word's, and
  // one with no room for a third has none looked up. (The loops keep their instructions few: those,
  // more than memory, are their cost.)
  const char16_t* const u = w.units.data();
  const uint16_t* const room = w.room.data();
  const TLetter* const letters = letters_;
  TStep* const steps = w.steps.data();
  int32_t* const longer = w.longer.data();
  TLink* const longerLink = w.longerLink.data();
  // (A copy of the table's fields: the stores below could otherwise be taken to change them.)
  const TPairTable pairs = pairs_;
  // The pairs' slots first, each asked for from memory at once: the table is too large for the nearer
  // caches, and the look-ups below then seldom wait. (The pair of a piece's last letter and the next
  // piece's first is asked for too, and passed over below.)
  w.SlotPairs(pairs, static_cast<size_t>(len));
  const uint32_t* const slots = w.pairSlots.data();
  ptrdiff_t longers = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (Vectors512Dq()) {
    longers = LookUpSteps512(u, room, slots, letters, pairs.slots, len, steps, longer, longerLink);
  } else
#endif
  {
    for (int32_t k = 0; k < len; ++k) {
      // (A letter with no room for a second: its pair's key with a 0 for the second, which no pair has.)
      const uint32_t left = room[k];
      const uint32_t key = PairAt(u + k) & kRoomKeyMask[left];
      const TLink two = TPairTable::LinkIn(pairs.slots[slots[k]], key);
      steps[k] = {static_cast<uint16_t>(Value(letters[key & 0xFFFF])), static_cast<uint16_t>(StepCost(Value(two))),
                  static_cast<uint16_t>(kNoStep), static_cast<uint16_t>(kNoStep)};
      longer[longers] = k;
      longerLink[longers] = two;
      longers += two > kLongerAbove[left];
    }
  }
  const char16_t* const units = units_;
  const TLink* const links = links_;
  // (The blocks of the third letters are asked for first as well.)
  for (ptrdiff_t i = 0; i < longers; ++i) AskForBlock(units, links, longerLink[i], u[longer[i] + 2]);
  // The words of four letters or more are walked a letter at a time, all walks at once, each next block
  // asked for as soon as its node is known: a walk's steps would otherwise each wait on memory, one
  // after the other. (The edges need no order: the path finds them by their letters.)
  TDeepWalk* const deep = w.deep.data();
  size_t walks = 0;
  for (ptrdiff_t i = 0; i < longers; ++i) {
    const int32_t k = longer[i];
    const TLink three = FindIn(units, links, longerLink[i], u[k + 2]);
    steps[k].three = static_cast<uint16_t>(StepCost(Value(three)));
    // (Room after the third letter: the fourth is within the piece.)
    const bool on = Shape(three) != 0 && room[k + 2] > 1;
    if (on) [[unlikely]] AskForBlock(units, links, three, u[k + 3]);
    deep[walks] = {k, three};
    walks += on;
  }
  for (int32_t depth = 3; walks > 0; ++depth) {
    size_t kept = 0, found = w.words.size();
    // (Room for a word from each walk, written without a branch, at the levels that make edges.)
    if (depth > 3) w.words.resize(found + walks);
    TCutEdge* const out = w.words.data();
    for (size_t i = 0; i < walks; ++i) {
      const int32_t k = deep[i].at, j = k + depth;  // (the letter looked for)
      const TLink e = FindIn(units, links, deep[i].node, u[j]);
      // (A word of four letters, at the first level, is the step's own; longer ones are edges.)
      if (depth == 3) {
        steps[k].four = static_cast<uint16_t>(StepCost(Value(e)));
      } else {
        out[found] = {k, j + 1, Value(e)};
        found += Value(e) != kNoWord;
      }
      // (Without a branch, whether a walk goes on being as good as random: one that does not asks for
      // the first block's lines, at hand.)
      const bool on = Shape(e) != 0 && room[j] > 1 && depth + 1 < kMaxWordUnits;
      AskForBlock(units, links, e & (0u - TLink{on}), u[j + 1]);
      deep[kept] = {k, e};
      kept += on;
    }
    w.words.resize(found);
    walks = kept;
  }
  // The Katakana runs last: the short ones take the steps' words of two to four letters where they cost
  // less.
  if constexpr (kAnyKatakana) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (katakanaRanges_ && Vectors512Dq()) {
      AddKatakanaRuns512(u, room, len, steps, w.words);
    } else
#endif
    {
      // (A piece's first letter follows a last one, whose room is 1: each piece begins anew.)
      bool prevKatakana = false;
      for (int32_t k = 0; k < len; ++k) {
        const bool katakana = (KindOf(letters[u[k]]) & kKatakana) != 0;
        if (katakana && !prevKatakana) {
          int32_t j = k + 1;
          // (Looked at no further than a run that can win: a longer one is no edge.)
          while (j - k <= kLongestWinningKatakanaRun && room[j - 1] > 1 && (KindOf(letters[u[j]]) & kKatakana)) ++j;
          if (KatakanaRunCanWin(j - k)) TakeKatakanaRun(k, j - k, steps, w.words);
        }
        prevKatakana = katakana && room[k] > 1;
      }
    }
  }
}

namespace {

// The path through a cut's pieces, four lanes side by side (see Cut): steps holds a step for each
// letter, lane q's from stop[q] on (laneSteps of each lane are read: a shorter lane's last ones are the
// next lane's, or padding, and give path ends no walk back reads), far the best path ends known
// beyond the next four letters (~0: none), from is written. Edges, all longer than four letters, are
// relaxed into far by relax(i, lanes, here) at the steps whose bit is set in edges, here holding the
// letters' places.

template <class Relax>
void WalkLanesPlain(const TStep* steps, const int32_t* stop, TPathEnd* far, int32_t* from, const uint8_t* edges,
                    int32_t laneSteps, Relax&& relax) {
  TPathEnd here[kWalks], best1[kWalks], best2[kWalks], best3[kWalks], best4[kWalks];
  for (int q = 0; q < kWalks; ++q) {
    here[q] = static_cast<uint32_t>(stop[q]);
    best1[q] = best2[q] = best3[q] = best4[q] = ~TPathEnd{0};
  }
  for (int32_t i = 0; i < laneSteps; ++i) {
    for (int q = 0; q < kWalks; ++q) {
      const TStep& s = steps[stop[q] + i];
      best1[q] = std::min(best1[q], here[q] + PathEnd(s.alone, 0));
      best2[q] = std::min(best2[q], here[q] + PathEnd(s.two, 0));
      best3[q] = std::min(best3[q], here[q] + PathEnd(s.three, 0));
      best4[q] = std::min(best4[q], here[q] + PathEnd(s.four, 0));
    }
    if (edges[i] != 0) [[unlikely]] relax(i, edges[i], here);
    for (int q = 0; q < kWalks; ++q) {
      from[(i + 1) * kWalks + q] = FromOf(best1[q]);
      here[q] = (best1[q] & kCostBits) | static_cast<uint32_t>(stop[q] + i + 1);
      best1[q] = best2[q], best2[q] = best3[q], best3[q] = best4[q], best4[q] = far[(i + 5) * kWalks + q];
    }
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same with the four lanes in one vector: one step's additions and comparisons at once, so that
// the path waits on one chain of them instead of four.
static_assert(kWalks == 4, "a 256-bit vector holds the four lanes' path ends");
template <class Relax>
__attribute__((target("avx512f,avx512vl"))) void WalkLanes512(const TStep* steps, const int32_t* stop, TPathEnd* far,
                                                            int32_t* from, const uint8_t* edges, int32_t laneSteps,
                                                            Relax&& relax) {
  __m256i place = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(stop)));
  __m256i here = place, best1 = _mm256_set1_epi64x(-1), best2 = best1, best3 = best1, best4 = best1;
  const __m256i costs = _mm256_set1_epi64x(static_cast<int64_t>(kCostBits)), one = _mm256_set1_epi64x(1);
  // (Each cost moved to the high half, where a path end holds its cost.)
  const __m256i cost = _mm256_set1_epi64x(int64_t{0xFFFF} << 32);
  // (The steps are no part of the chain the path waits on: four loads a step cost little.)
  static_assert(sizeof(TStep) == sizeof(long long), "a step loads as one 64-bit word");
  const auto* lane0 = reinterpret_cast<const long long*>(steps + stop[0]);
  const auto* lane1 = reinterpret_cast<const long long*>(steps + stop[1]);
  const auto* lane2 = reinterpret_cast<const long long*>(steps + stop[2]);
  const auto* lane3 = reinterpret_cast<const long long*>(steps + stop[3]);
  for (int32_t i = 0; i < laneSteps; ++i) {
    const __m256i s = _mm256_set_epi64x(lane3[i], lane2[i], lane1[i], lane0[i]);
    best1 = _mm256_min_epu64(best1, _mm256_add_epi64(here, _mm256_and_si256(_mm256_slli_epi64(s, 32), cost)));
    best2 = _mm256_min_epu64(best2, _mm256_add_epi64(here, _mm256_and_si256(_mm256_slli_epi64(s, 16), cost)));
    best3 = _mm256_min_epu64(best3, _mm256_add_epi64(here, _mm256_and_si256(s, cost)));
    best4 = _mm256_min_epu64(best4, _mm256_add_epi64(here, _mm256_and_si256(_mm256_srli_epi64(s, 16), cost)));
    if (edges[i] != 0) [[unlikely]] {
      alignas(32) TPathEnd h[4];
      _mm256_store_si256(reinterpret_cast<__m256i*>(h), here);
      relax(i, edges[i], h);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(from + (i + 1) * kWalks), _mm256_maskz_cvtepi64_epi32(0xF, best1));
    place = _mm256_add_epi64(place, one);
    here = _mm256_or_si256(_mm256_and_si256(best1, costs), place);
    best1 = best2, best2 = best3, best3 = best4;
    best4 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(far + (i + 5) * kWalks));
  }
}
#endif

}  // namespace

void THanKanaDictionary::Cut(TCutWork& w, TWordStartList& starts) const {
  const auto len = static_cast<int32_t>(w.used);
  // (A piece's last letter reads the unit after it as the second of a pair that is never looked for.)
  // The pieces' paths are apart (no word crosses from one piece to the next), so the path is found in
  // four lanes side by side, each a part of the pieces, and walked back so: lane q takes the letters
  // [stop[q], stop[q + 1]), stop[q] the first of a piece.
  const uint16_t* const room = w.room.data();
  int32_t* const stop = w.stop;
  stop[0] = 0, stop[kWalks] = len;
  for (int32_t q = 1; q < kWalks; ++q) {
    int32_t z = std::max(stop[q - 1], len * q / kWalks);
    while (z < len && z > 0 && room[z - 1] != 1) ++z;  // (the last piece ends at len)
    stop[q] = z;
  }
  int32_t laneSteps = 0;
  for (int32_t q = 0; q < kWalks; ++q) laneSteps = std::max(laneSteps, stop[q + 1] - stop[q]);
  w.laneSteps = laneSteps;
  // (The arrays of a unit each are as long as the units': see Reserve.)
  const auto laneRoom = static_cast<size_t>(laneSteps) + 8;
  if (w.far.size() < laneRoom * kWalks) {
    w.far.resize(laneRoom * kWalks, ~TPathEnd{0});  // (and so between cuts: see below)
    w.from.resize(laneRoom * kWalks);
    w.edges.resize(laneRoom);
  }
  // A step for each letter (and the eight a look-up writes at once past the last), then the padding
  // the last lane reads past the letters.
  const int32_t stepsEnd = stop[kWalks - 1] + laneSteps;
  if (w.steps.size() < static_cast<size_t>(std::max(len + 8, stepsEnd))) w.steps.resize(static_cast<size_t>(len + laneSteps) + 16);
  w.words.clear();
  if (w.katakana) {
    LookUp<true>(w, len);
  } else {
    LookUp<false>(w, len);
  }
  constexpr auto kNone = static_cast<uint16_t>(kNoStep);
  std::fill(w.steps.begin() + len, w.steps.begin() + std::max(len, stepsEnd), TStep{0, kNone, kNone, kNone});

  // Then the path, a letter of each lane at a time: here is the least cost of the words that fill the
  // lane's letters so far (in the high half, as the path ends of the steps are added to it), best1..4
  // the best path ends known so far to the next four letters, and far those beyond (by edges);
  // from[(i + 1) * kWalks + q] is where the last word of the best path to lane q's letter i + 1 begins. A
  // step's word that is none costs kNoStep and is always beaten, by the letters alone at least. (No
  // branches but for the edges: whether a path is better is as good as random.)
  TPathEnd* const far = w.far.data();
  int32_t* const from = w.from.data();
  uint8_t* const edges = w.edges.data();
  std::fill_n(edges, laneRoom, 0);
  // Each edge linked at its letter, and marked at its lane's step.
  const TCutEdge* const edge = w.words.data();
  const auto edgeCount = static_cast<int32_t>(w.words.size());
  int32_t* const firstEdge = w.firstEdge.data();
  if (w.nextEdge.size() < w.words.size()) w.nextEdge.resize(w.words.capacity());
  int32_t* const nextEdge = w.nextEdge.data();
  auto laneOf = [stop](int32_t at) { return (at >= stop[1]) + (at >= stop[2]) + (at >= stop[3]); };
  for (int32_t x = 0; x < edgeCount; ++x) {
    const int32_t at = edge[x].at, q = laneOf(at);
    edges[at - stop[q]] |= static_cast<uint8_t>(1u << q);
    nextEdge[x] = firstEdge[at];
    firstEdge[at] = x;
  }
  // (Every edge runs five letters or more, past the steps' words: it gives a path end beyond best4.)
  auto relax = [&](int32_t i, uint32_t lanes, const TPathEnd* here) {
    for (; lanes != 0; lanes &= lanes - 1) {
      const int32_t q = __builtin_ctz(lanes), k = stop[q] + i;
      for (int32_t x = firstEdge[k]; x >= 0; x = nextEdge[x]) {
        const TCutEdge* const e = edge + x;
        TPathEnd& end = far[(i + e->to - k) * kWalks + q];
        end = std::min(end, here[q] + PathEnd(e->cost, 0));  // (here holds k, the place)
      }
    }
  };
  const TStep* const steps = w.steps.data();
#if defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors && Global_UseVectors512) {
    WalkLanes512(steps, stop, far, from, edges, laneSteps, relax);
  } else {
    WalkLanesPlain(steps, stop, far, from, edges, laneSteps, relax);
  }
#else
  WalkLanesPlain(steps, stop, far, from, edges, laneSteps, relax);
#endif
  // far holds no path end between cuts, nor firstEdge an edge: those the edges wrote are cleared (few,
  // where clearing it all would write as much as the steps).
  for (int32_t x = 0; x < edgeCount; ++x) {
    const TCutEdge& e = edge[x];
    const int32_t q = laneOf(e.at);
    far[(e.to - stop[q]) * kWalks + q] = ~TPathEnd{0};
    firstEdge[e.at] = -1;
  }
  // Words begin where the path's words do, but for the units whose place is -1: the first letter of a
  // piece (a start of its own or of its run), the second half of a surrogate pair (a letter of no cost:
  // a character beyond the first plane costs its first half's, as an unknown letter, and is no word's
  // letter). (Written without branches: a piece's first letter comes every few words.) Each lane is
  // walked back from its end to its beginning, the four side by side (each step waits on a load); the
  // path to a lane's first letter is taken to come from the unit before it, where the walk stops.
  const int32_t* const at = w.at.data();
  const size_t mark = starts.size();
  starts.resize(mark + static_cast<size_t>(len));
  int32_t* const out = starts.data() + mark;
  size_t count = 0;
  for (int32_t q = 0; q < kWalks; ++q) from[q] = stop[q] - 1;  // (the path to a lane's first letter)
  int32_t k[kWalks];
  for (int32_t q = 0; q < kWalks; ++q) k[q] = from[(stop[q + 1] - stop[q]) * kWalks + q];
  auto step = [&](int32_t q) {
    out[count] = at[k[q]];
    count += at[k[q]] >= 0;
    k[q] = from[(k[q] - stop[q]) * kWalks + q];
  };
  while (k[0] >= stop[0] && k[1] >= stop[1] && k[2] >= stop[2] && k[3] >= stop[3])
    for (int32_t q = 0; q < kWalks; ++q) step(q);
  for (int32_t q = 0; q < kWalks; ++q)
    while (k[q] >= stop[q]) step(q);
  starts.resize(mark + count);
  w.used = 0;
  w.slotted = 0;
  w.katakana = false;
}

namespace {

const THanKanaDictionary& Dictionary() {
  static const std::unique_ptr<THanKanaDictionary> dictionary = std::make_unique<THanKanaDictionary>(UserCacheDir());
  return *dictionary;
}

}  // namespace

std::string UserCacheDir() {
  if (const char* dir = std::getenv("KX8_CACHE_DIR")) return dir;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/kx8";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/kx8";
  return {};
}

uint64_t HanKanaCutMake() {
  // The build's date and time stand for the cutter's code: cuts kept by one build are never taken for
  // another's, however the code changed in between.
  static constexpr char kBuild[] = "kx8 han-kana cut " U_ICU_VERSION " " __DATE__ " " __TIME__;
  static const uint64_t make = Hash64(kBuild, sizeof kBuild - 1, Dictionary().key());
  return make;
}

bool IsHanKanaChar(char32_t c) { return Dictionary().InSet(c); }

THanKanaCutter::THanKanaCutter() : dictionary_(&Dictionary()), work_(std::make_unique<TCutWork>()) {}

THanKanaCutter::THanKanaCutter(std::shared_ptr<const THanKanaDictionary> dictionary)
    : dictionary_(dictionary.get()), own_(std::move(dictionary)), work_(std::make_unique<TCutWork>()) {}

std::shared_ptr<const THanKanaDictionary> LoadHanKanaDictionary(const std::string& cacheDir, bool* fromCache) {
  auto d = std::make_shared<const THanKanaDictionary>(cacheDir);
  if (fromCache) *fromCache = d->fromCache();
  return d;
}

THanKanaCutter::~THanKanaCutter() = default;

bool THanKanaCutter::available() const { return dictionary_->ok(); }

bool THanKanaCutter::Add(const char16_t* text, int32_t n, int32_t from, int32_t to,
                         TWordStartList& starts) {
  const THanKanaDictionary& d = *dictionary_;
  if (!d.ok() || from < 0 || to > n || to - from < 1) return false;
  if (from > 0 && d.InSet(CharBefore(text, from))) return false;
  if (to < n && d.InSet(CharAt(text, to, n))) return false;
  // The run in pieces: every change between Han or kana and ASCII letters or digits begins a word, and
  // each Han and kana piece is cut by the dictionary on its own (it waits if it has more than two
  // units; two letters are a pair to settle). A unit where no word the cut finds can begin has the
  // place -1: the first of a piece (a start already, or its run's), the second half of a surrogate pair.
  TCutWork& w = *work_;
  const auto len = static_cast<size_t>(to - from);
  // (Room for the sixteen units a short run writes, too.)
  if (w.units.size() < w.used + len + 20) w.Reserve(2 * (w.used + len) + 20);
  char16_t* const units = w.units.data();
  int32_t* const at = w.at.data();
  size_t used = w.used;
#if defined(__SSE2__)
  // Most runs are a few Han or kana letters: taken in one vector, without a branch on their length.
  bool katakana = false;
  if (len <= 16 && from + 16 <= n && d.shortRunRanges() &&
      TakeShortRun(text, from, static_cast<int32_t>(len), units + used, at + used, w.room.data() + used, katakana)) {
    // A run of two letters is a pair to settle, a longer one a piece; both are written, and only the
    // one that the length picks is kept (which it is, is as good as random).
    const size_t two = len == 2, longer = len > 2;
    w.pairKeys[w.pairs] = PairAt(units + used);
    w.pairAt[w.pairs] = from + 1;
    w.pairs += two;
    w.used = used + (len & (0 - longer));
    w.katakana |= katakana & (longer != 0);
    if (w.pairs == TCutWork::kMaxPairs) d.CutPairs(w, starts);
    if (w.used > kCutBatchUnits) Cut(starts);
    return true;
  }
#endif
  {
    // Most runs are Han or kana letters alone, one piece: taken so without a branch a letter, and their
    // kinds looked at once at the end (else the run is taken again, piece by piece, below).
    const TLetter* const letters = d.Letters();
    uint32_t all = ~0u, any = 0;
    size_t end = used;
    for (int32_t k = from; k < to; ++k) {
      const TLetter letter = letters[text[k]];
      all &= letter, any |= letter;
      units[end] = text[k], at[end++] = k;
    }
    if (KindOf(static_cast<TLetter>(all)) & kCut) {
      at[used] = -1;  // (the run's first letter)
      if (end - used == 2) {
        w.pairKeys[w.pairs] = PairKey(units[used], units[used + 1]);
        w.pairAt[w.pairs] = at[used + 1];
        if (++w.pairs == TCutWork::kMaxPairs) d.CutPairs(w, starts);
      } else if (end - used > 2) {
        w.SetRoom(used, end);
        w.used = used = end;
        w.katakana |= (KindOf(static_cast<TLetter>(any)) & kKatakana) != 0;
        if (used > kCutBatchUnits) Cut(starts);
      }
      return true;
    }
  }
  // What a run found to be ICU's leaves as it was: the starts and the pairs waiting (none is settled
  // before the run is taken: settling them would give its words, and those of the runs before it, to
  // the list that declining takes back).
  const size_t startsMark = starts.size(), pairsMark = w.pairs;
  auto decline = [&] {
    starts.resize(startsMark);
    w.pairs = pairsMark;
    return false;
  };
  uint32_t kinds = 0;
  bool hanKana = false;
  for (int32_t k = from, width = 0; k < to;) {
    TPiece piece = d.PieceOf(text, k, to, width, kinds);
    if (piece == TPiece::none) {
      // An apostrophe inside the run (a middle character) is a word of its own (ICU's rules keep it
      // only between letters of the Latin kind or between digits, which the ASCII pieces take).
      if (MiddleKind(text[k]) == TMiddle::none || k == from || k + 1 >= to) return decline();
      starts.push_back(k++);
      continue;
    }
    if (k > from) starts.push_back(k);
    if (piece == TPiece::ascii) {
      for (k += width; k < to;) {
        if (d.PieceOf(text, k, to, width, kinds) == TPiece::ascii) {
          k += width;
        } else if (k + 1 < to && JoinedByMiddle(text[k], text[k - 1], text[k + 1])) {
          ++k;
        } else {
          break;
        }
      }
      continue;
    }
    hanKana = true;
    const size_t first = used;
    int32_t place = -1;  // (the piece's first unit)
    do {
      units[used] = text[k], at[used++] = place, ++k;
      if (width == 2) units[used] = text[k], at[used++] = -1, ++k;
      place = k;
    } while (k < to && (piece = d.PieceOf(text, k, to, width, kinds)) == TPiece::han_kana);
    // Pieces so long that their paths' costs could reach kNoPath are left to ICU.
    if (used - first > static_cast<size_t>(kMaxPieceUnits)) return decline();
    if (used - first == 2 && !IsSurrogate(units[first]) && w.pairs < TCutWork::kMaxPairs) {
      // Two letters, the commonest piece, are settled apart (when there is room for them, else cut as
      // any piece is).
      w.pairKeys[w.pairs] = PairKey(units[first], units[first + 1]);
      w.pairAt[w.pairs++] = at[first + 1];
      used = first;
    } else if (used - first > 1) {
      w.SetRoom(first, used);
    } else {
      used = first;
    }
  }
  // A run with no Han or kana letter (ASCII letters and digits joined by ’) is not one of these
  // scripts' runs, which alone are cut: it is declined, and its caller leaves it whole.
  if (!hanKana) return decline();
  w.used = used;
  w.katakana |= (kinds & kKatakana) != 0;
  if (w.pairs == TCutWork::kMaxPairs) d.CutPairs(w, starts);
  // Cut many pieces at a time, but not so many that their arrays leave the cache.
  if (used > kCutBatchUnits) Cut(starts);
  return true;
}

void THanKanaCutter::AddPlainRuns(const char16_t* text, int32_t n, const uint64_t* word, uint64_t* high,
                                  TWordStartList& starts) {
#if defined(__x86_64__) && defined(__GNUC__)
  const THanKanaDictionary& d = *dictionary_;
  if (n <= 0 || !d.ok() || !d.plainRuns() || !Global_UseWideVectors || !Global_UseVectors512) return;
  // A run of word characters is plain when all its units are in kShortRunRanges or are ASCII letters
  // and digits, and no unit next to it is in kMaybeInSetRanges: Add would take it whole. Most runs of
  // Chinese and Japanese text are plain; finding them from masks, and writing their units out by
  // vectors, costs a few instructions for every 64 units instead of some dozens for every run (whose
  // lengths a branch cannot guess).
  TCutWork& w = *work_;
  const auto words = static_cast<size_t>((n + 63) / 64);
  if (w.plainMasks.size() < words) {
    w.plainMasks.resize(words);
    w.taken.resize(words);
    w.plain.resize(words);
  }
  TPlainMasks* const masks = w.plainMasks.data();
  uint64_t* const taken = w.taken.data();
  uint64_t* const plain = w.plain.data();
  PlainMasks512(text, n, masks);
  auto outside = [&](size_t j) { return j < words ? masks[j].maybe & ~word[j] : 0; };
  // Units that make their run's not plain: a word character of neither kind, or one next to a unit in
  // kMaybeInSetRanges outside the run; spread up through their runs here (the declined units), down
  // below (leaving the taken ones).
  for (size_t j = 0; j < words; ++j) {
    const uint64_t bad = word[j] & (~(masks[j].plain | masks[j].ascii) | Up1(outside(j), j > 0 ? outside(j - 1) : 0) |
                                    Down1(outside(j), outside(j + 1)));
    const uint64_t carried = j > 0 ? taken[j - 1] >> 63 : 0;
    taken[j] = FillUp(bad | (carried & word[j]), word[j]);
  }
  for (size_t j = words, declinedAfter = 0; j-- > 0;) {
    // (Most words of masks have no declined unit.)
    const uint64_t seed = taken[j] | ((declinedAfter & 1) << 63 & word[j]);
    const uint64_t declined = seed != 0 ? FillDown(seed, word[j]) : 0;
    taken[j] = word[j] & ~declined;
    plain[j] = taken[j] & masks[j].plain;
    declinedAfter = declined;
  }
  // The plain runs, their Han and kana pieces apart from their ASCII ones (each change between the two
  // begins a word): a piece of one unit, nothing to cut; two, a pair to settle; three or more, a piece
  // to cut, its first unit placed at -1.
  uint64_t lastUnits = 0, lastEnds = 0;  // of the word before: the pieces' units, and of them their ends
  for (size_t j = 0; j < words; ++j) {
    const uint64_t t = taken[j], p = plain[j];
    if (t == 0 && (lastUnits >> 63) == 0) continue;
    if (w.units.size() < w.used + 160) w.Reserve(2 * w.units.size() + 160);
    if (w.pairs + 33 > TCutWork::kMaxPairs) d.CutPairs(w, starts);
    // (A piece is cut whole: not while one runs on from the word before.)
    if (w.used > kCutBatchUnits && (lastUnits & ~lastEnds) >> 63 == 0) Cut(starts);
    const uint64_t before = j > 0 ? plain[j - 1] : 0, after = j + 1 < words ? plain[j + 1] : 0;
    for (uint64_t change = t & Up1(t, j > 0 ? taken[j - 1] : 0) & (p ^ Up1(p, before)); change != 0; change &= change - 1)
      starts.push_back(static_cast<int32_t>(j * 64) + __builtin_ctzll(change));
    const uint64_t next1 = Down1(p, after), next2 = Down2(p, after);
    const uint64_t first = p & ~Up1(p, before), last = p & ~next1;
    const uint64_t three = first & next1 & next2;
    const uint64_t units = FillUp(three | (lastUnits >> 63 & p), p);
    const uint64_t ends = units & last;
    // (The units before the pieces' ends: the next word's first unit may be one's end.)
    const uint64_t beforeEnds = units & Down1(ends, after & ~(after >> 1) & 1);
    w.used += TakePlainUnits512(text, n, static_cast<int32_t>(j), units, three, ends, beforeEnds,
                                w.units.data() + w.used, w.at.data() + w.used, w.room.data() + w.used);
    // The pairs' slots of the letters taken whose next unit is taken too (the last waits for it).
    if (w.used > 0) w.SlotPairs(d.Pairs(), w.used - 1);
    w.katakana |= (units & masks[j].katakana) != 0;
    for (uint64_t two = first & next1 & ~next2; two != 0; two &= two - 1) {
      const int32_t k = static_cast<int32_t>(j * 64) + __builtin_ctzll(two);
      w.pairKeys[w.pairs] = PairAt(text + k);
      w.pairAt[w.pairs++] = k + 1;
    }
    high[j] &= ~t;
    lastUnits = units, lastEnds = ends;
  }
  if (w.used > kCutBatchUnits) Cut(starts);
#else
  (void)text, (void)n, (void)word, (void)high, (void)starts;
#endif
}

void THanKanaCutter::Cut(TWordStartList& starts) {
  if (work_->pairs > 0) dictionary_->CutPairs(*work_, starts);
  if (work_->used > 0) dictionary_->Cut(*work_, starts);
}

bool THanKanaCutter::WordStarts(const char16_t* text, int32_t n, int32_t from, int32_t to,
                                TWordStartList& starts) {
  const size_t mark = starts.size();
  if (!Add(text, n, from, to, starts)) return false;
  Cut(starts);
  std::sort(starts.begin() + static_cast<std::ptrdiff_t>(mark), starts.end());
  return true;
}

}  // namespace kx8
