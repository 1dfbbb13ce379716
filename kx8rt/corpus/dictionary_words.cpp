#include "kx8rt/corpus/dictionary_words.h"

#include <unicode/ucharstrie.h>
#include <unicode/uchar.h>
#include <unicode/udata.h>
#include <unicode/uniset.h>
#include <unicode/unorm2.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
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
constexpr uint32_t kUnreached = std::numeric_limits<uint32_t>::max();
// How many units of pieces a cut takes at a time; the longest piece it takes (a path's cost stays far
// below kNoPath).
constexpr size_t kCutBatchUnits = 1024;
constexpr int32_t kMaxPieceUnits = 1 << 20;
constexpr uint32_t kNoPath = 1u << 30;

uint32_t KatakanaRunCost(int32_t length) {
  static constexpr uint32_t kCost[] = {8192, 984, 408, 240, 204, 252, 300, 372, 480};
  return length > 8 ? 8192 : kCost[length];
}

constexpr bool IsKatakana(char16_t c) {
  return (c >= 0x30A1 && c <= 0x30FE && c != 0x30FB) || (c >= 0xFF66 && c <= 0xFF9F);
}

constexpr bool IsLeadSurrogate(char16_t c) { return (c & 0xFC00) == 0xD800; }
constexpr bool IsTrailSurrogate(char16_t c) { return (c & 0xFC00) == 0xDC00; }
constexpr bool IsSurrogate(char16_t c) { return (c & 0xF800) == 0xD800; }

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
// for none), 8-11 the shape of its children's block, 12-31 half the slot where that block begins. A
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
constexpr uint32_t Shape(TLink l) { return (l >> 8) & 15; }
constexpr uint32_t BlockOf(TLink l) { return (l >> 11) & ~1u; }  // (blocks begin at even slots)
constexpr uint32_t kMaxSlots = 1u << 21;
constexpr int32_t kBucketSlots = 8;
constexpr uint32_t kMaxBucketBits = 11;
constexpr uint32_t kLaneMask[16] = {0,      0xC,    0x3C,   0x3FC,  0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC,
                                    0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC, 0xFFFC};
constexpr uint32_t kBucketMask[16] = {0, 0, 0, 0, 0, 1, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047};
constexpr uint32_t BucketOf(uint32_t unit, uint32_t shape) {
  return ((unit * 2654435761u) >> 20) & kBucketMask[shape];
}
static_assert(kUnknownLetterCost == kNoWord, "a letter's link gives the cost of the letter alone either way");
// The cost of a word of a value, kNoPath for none.
constexpr auto kWordCost = [] {
  std::array<uint32_t, 256> cost{};
  for (uint32_t v = 0; v < 256; ++v) cost[v] = v == kNoWord ? kNoPath : v;
  return cost;
}();

// What the table of letters holds for each unit: the link to its node below the root in the low 32
// bits, its kinds above.
constexpr uint64_t kInSet = 1, kCut = 2, kAscii = 4, kKatakana = 8;
constexpr uint32_t KindOf(uint64_t letter) { return static_cast<uint32_t>(letter >> 32); }

// A hash of n bytes, four lanes at a time (the cache's key is a hash of the 2 MB dictionary, and its
// contents are checked by one when read).
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

// The costs of the paths from a letter: through it alone, through the words of two and three letters
// that begin there (kNoPath or more: none).
struct TCutStep {
  uint32_t one, two, three;
};
// The best path known to a letter a cut has not reached: its cost, and where its last word begins.
struct TCutFar {
  uint32_t best;
  int32_t from;
};

// A word of four letters or more, or a run of Katakana, from at to to, of a cost.
struct TCutEdge {
  int32_t at, to;
  uint32_t cost;
};

// What a piece of a run is: Han and kana letters cut by the dictionary, or ASCII letters and digits,
// which ICU's rules keep together as one word.
enum class TPiece : uint8_t { none, han_kana, ascii };

}  // namespace

// The pieces waiting to be cut, one after another in units[0, used), each followed by a 0 (no word's
// letter: no word runs past the end of a piece, and the path's cost stays where it was), with the
// position in the text of each unit in at; whether any has Katakana; and the arrays a cut works in,
// kept from cut to cut.
struct THanKanaCutter::TCutWork {
  std::vector<char16_t> units = std::vector<char16_t>(kCutBatchUnits + 64);
  std::vector<int32_t> at = std::vector<int32_t>(kCutBatchUnits + 64);
  size_t used = 1;  // (units[0] is a 0 before the first piece)
  bool katakana = false;
  std::vector<TCutStep> steps;
  std::vector<TLink> twos;
  std::vector<int32_t> longer;
  std::vector<TCutFar> far;
  std::vector<int32_t> from;
  std::vector<TCutEdge> words, kana;
};
using TCutWork = THanKanaCutter::TCutWork;

class THanKanaDictionary {
 public:
  explicit THanKanaDictionary(const std::string& cacheDir) {
    UErrorCode status = U_ZERO_ERROR;
    set_.applyPattern(icu::UnicodeString(u"[[:Han:][:Hiragana:][:Katakana:]\\u30fc\\uff70\\uff9e\\uff9f]"), status);
    if (U_FAILURE(status)) return;
    set_.freeze();
    UDataMemory* file = udata_open(U_ICUDATA_NAME U_TREE_SEPARATOR_STRING "brkitr", "dict", "cjdict", &status);
    if (U_FAILURE(status) || !file) return;
    std::unique_ptr<UDataMemory, decltype(&udata_close)> closer(file, &udata_close);
    // The data begins with eight int32 indexes: [0] the trie's byte offset, [3] the data's size, [4] the
    // trie type (1 for a trie of UTF-16 units, 8 for "has values").
    const auto* indexes = static_cast<const int32_t*>(udata_getMemory(file));
    if (!indexes || (indexes[4] & 7) != 1 || !(indexes[4] & 8) || indexes[0] < 32 || indexes[3] < indexes[0]) return;
    const auto* trie = reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(indexes) + indexes[0]);
    // The trie made from this dictionary by this ICU (its properties decide the letters) in this layout.
    const uint64_t key = Hash64(indexes, static_cast<size_t>(indexes[3]),
                                Hash64(kCacheVersion, std::strlen(kCacheVersion), 0));
    std::string path;
    if (!cacheDir.empty()) {
      char name[40];
      std::snprintf(name, sizeof name, "hankana-%016llx.trie", static_cast<unsigned long long>(key));
      path = cacheDir + "/" + name;
      if (Load(path, key)) {
        ok_ = fromCache_ = true;
        return;
      }
    }
    ownLetters_.assign(0x10000, kNoNode);
    for (char32_t c = 0; c < 0x10000; ++c) {
      uint64_t kind = 0;
      if (c < 0x80 && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
        kind = kAscii;
      if (set_.contains(static_cast<UChar32>(c))) {
        kind = kInSet;
        if (NfkcStable(c) && !IsSurrogate(static_cast<char16_t>(c))) kind |= kCut;
      }
      if (IsKatakana(static_cast<char16_t>(c))) kind |= kKatakana;
      ownLetters_[c] |= kind << 32;
    }
    ok_ = Build(trie);
    if (!ok_) return;
    // The second half of a surrogate pair is a letter of no cost (the pair costs that of an unknown
    // letter, its first half's), so that the cut steps over it.
    for (char32_t c = 0xDC00; c < 0xE000; ++c) ownLetters_[c] &= ~uint64_t{0xFF};
    ownLetters_[0] &= ~uint64_t{0xFF};  // and so is the 0 after each piece waiting to be cut
    letters_ = ownLetters_.data(), units_ = ownUnits_.data(), links_ = ownLinks_.data();
    slotCount_ = ownLinks_.size();
    if (!path.empty()) Save(path, key);
  }
  ~THanKanaDictionary() {
    if (map_) ::munmap(map_, mapBytes_);
  }
  THanKanaDictionary(const THanKanaDictionary&) = delete;
  THanKanaDictionary& operator=(const THanKanaDictionary&) = delete;

  bool fromCache() const { return fromCache_; }
  bool ok() const { return ok_; }
  bool InSet(char32_t c) const {
    return c < 0x10000 ? (KindOf(letters_[c]) & kInSet) != 0 : set_.contains(static_cast<UChar32>(c));
  }
  // The piece the character at run[k] belongs to, and in width its length in units.
  TPiece PieceOf(const char16_t* run, int32_t k, int32_t len, int32_t& width) const {
    const char16_t u = run[k];
    width = 1;
    if (!IsSurrogate(u)) {
      const uint32_t kind = KindOf(letters_[u]);
      return (kind & kCut) ? TPiece::han_kana : kind == kAscii ? TPiece::ascii : TPiece::none;
    }
    if (!IsLeadSurrogate(u) || k + 1 >= len || !IsTrailSurrogate(run[k + 1])) return TPiece::none;
    const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (run[k + 1] - 0xDC00u);
    width = 2;
    return set_.contains(static_cast<UChar32>(c)) && NfkcStable(c) ? TPiece::han_kana : TPiece::none;
  }

  bool HasKatakana(char16_t u) const { return (KindOf(letters_[u]) & kKatakana) != 0; }
  // Whether a piece of the two letters a, b (neither half of a surrogate pair) is cut between them: when
  // the letters alone cost less than the word of both, and than the Katakana run of both (found first,
  // they win a tie). No other path runs through them.
  bool CutsPair(char16_t a, char16_t b) const {
    const uint64_t first = letters_[a], second = letters_[b];
    const uint32_t word = kWordCost[Value(Find(static_cast<TLink>(first), b))];
    const uint32_t kana = (KindOf(first) & KindOf(second) & kKatakana) ? KatakanaRunCost(2) : kNoPath;
    return Value(static_cast<TLink>(first)) + Value(static_cast<TLink>(second)) < std::min(word, kana);
  }
  // Cuts the pieces waiting in work, appending the positions in the text where words begin inside them
  // to starts, and empties work.
  void Cut(TCutWork& work, std::vector<int32_t>& starts) const;

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

  bool Build(const char16_t* trie);
  // The trie as a file of the cache: a header, then the letters' table, the blocks' units and the
  // blocks' links, each as this process holds them. Load maps one made for key (checking its size and
  // a hash of its contents); Save writes one (to a new name, then renamed, so that a reader never sees
  // half a file); a failure of either only means building, or not keeping.
  struct TCacheHeader {
    char magic[8];
    uint64_t key, slotCount, contentHash, reserved[4];
  };
  static constexpr char kCacheMagic[8] = {'K', 'X', '8', 'H', 'K', 'D', 'T', '3'};
  static constexpr const char* kCacheVersion = "kx8 han-kana trie 3 " U_ICU_VERSION " " U_UNICODE_VERSION;
  static size_t CacheBytes(size_t slots) {
    return 0x10000 * sizeof(uint64_t) + slots * (sizeof(char16_t) + sizeof(TLink));
  }
  bool Load(const std::string& path, uint64_t key);
  void Save(const std::string& path, uint64_t key) const;

  // The child of node for unit u, or kNoNode.
  TLink Find(TLink node, char16_t u) const { return FindIn(units_, links_, node, u); }
  static TLink FindIn(const char16_t* units, const TLink* links, TLink node, char16_t u) {
    const uint32_t shape = Shape(node);
    const uint32_t at = BlockOf(node) + BucketOf(u, shape) * kBucketSlots;
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

  bool ok_ = false, fromCache_ = false;
  icu::UnicodeSet set_;
  // What the lookups read: built here (the own arrays) or mapped from the cache.
  const uint64_t* letters_ = nullptr;  // of each unit: its kinds and its link below the root
  const char16_t* units_ = nullptr;    // the blocks of children of every node, their letters
  const TLink* links_ = nullptr;       // and their links
  size_t slotCount_ = 0;               // (a bucket's worth past the last block: loads stay inside)
  std::vector<uint64_t> ownLetters_;
  std::vector<char16_t> ownUnits_;
  std::vector<TLink> ownLinks_;
  void* map_ = nullptr;
  size_t mapBytes_ = 0;
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
  // Breadth first, the blocks of the letters most looked at (the first letters' children) come first
  // and lie together. Up to 4 children are in a row; more are hashed into buckets, as few as leave none
  // with more than 8, and a bucket never crosses a cache line.
  size_t size = kBucketSlots;  // the first bucket is that of no node
  std::vector<uint32_t> load;
  for (size_t k = 1; k < nodes.size(); ++k) {
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
  auto link = [&](const TNode& nd) { return TLink{nd.value} | nd.shape << 8 | nd.block << 11; };
  ownUnits_.assign(size, 0);
  ownLinks_.assign(size, kNoNode);
  for (uint32_t c = nodes[0].first; c < nodes[0].first + nodes[0].count; ++c)
    ownLetters_[nodes[c].unit] = (ownLetters_[nodes[c].unit] & ~uint64_t{0xFFFFFFFF}) | link(nodes[c]);
  for (size_t k = 1; k < nodes.size(); ++k) {
    const TNode& nd = nodes[k];
    for (uint32_t c = 0; c < nd.count; ++c) {
      const TNode& child = nodes[nd.first + c];
      uint32_t slot = nd.block + 1 + (nd.shape < 4 ? c : BucketOf(child.unit, nd.shape) * kBucketSlots);
      while (ownUnits_[slot] != 0) ++slot;
      ownUnits_[slot] = child.unit;
      ownLinks_[slot] = link(child);
    }
  }
  return true;
}

bool THanKanaDictionary::Load(const std::string& path, uint64_t key) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  TCacheHeader h{};
  const bool headed = ::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) > sizeof h &&
                      ::pread(fd, &h, sizeof h, 0) == static_cast<ssize_t>(sizeof h);
  const size_t bytes = sizeof h + CacheBytes(h.slotCount);
  if (!headed || std::memcmp(h.magic, kCacheMagic, sizeof h.magic) != 0 || h.key != key ||
      h.slotCount > kMaxSlots + 2 * kBucketSlots || h.slotCount % kBucketSlots != 0 ||
      static_cast<size_t>(st.st_size) != bytes) {
    ::close(fd);
    return false;
  }
  void* m = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  ::close(fd);
  if (m == MAP_FAILED) return false;
  const auto* p = static_cast<const uint8_t*>(m) + sizeof h;
  if (Hash64(p, bytes - sizeof h, key) != h.contentHash) {
    ::munmap(m, bytes);
    return false;
  }
  map_ = m, mapBytes_ = bytes;
  letters_ = reinterpret_cast<const uint64_t*>(p);
  units_ = reinterpret_cast<const char16_t*>(p + 0x10000 * sizeof(uint64_t));
  links_ = reinterpret_cast<const TLink*>(p + 0x10000 * sizeof(uint64_t) + h.slotCount * sizeof(char16_t));
  slotCount_ = h.slotCount;
  return true;
}

void THanKanaDictionary::Save(const std::string& path, uint64_t key) const {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return;
  std::string content;
  content.reserve(CacheBytes(slotCount_));
  content.append(reinterpret_cast<const char*>(letters_), 0x10000 * sizeof(uint64_t));
  content.append(reinterpret_cast<const char*>(units_), slotCount_ * sizeof(char16_t));
  content.append(reinterpret_cast<const char*>(links_), slotCount_ * sizeof(TLink));
  TCacheHeader h{};
  std::memcpy(h.magic, kCacheMagic, sizeof h.magic);
  h.key = key;
  h.slotCount = slotCount_;
  h.contentHash = Hash64(content.data(), content.size(), key);
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
  if (!written || ::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
}

template <bool kAnyKatakana>
void THanKanaDictionary::LookUp(TCutWork& w, int32_t len) const {
  // First the words that begin at each letter, all letters at once: the look-ups of one letter wait
  // neither on another's nor on the path so far. A step holds the costs of the letter alone (its word's,
  // or that of an unknown letter) and of the words of two and three letters from it (kNoPath: none).
  // The letters whose pairs begin longer words are listed, and their third letters looked up after; the
  // longer words and the Katakana runs, rare, are edges of their own. The look-ups of the second and
  // third letters run past a piece's last letter into its 0, which no word has.
  const char16_t* const u = w.units.data();
  const uint64_t* const letters = letters_;
  const char16_t* const units = units_;
  const TLink* const links = links_;
  TCutStep* const steps = w.steps.data();
  TLink* const twos = w.twos.data();
  int32_t* const longer = w.longer.data();
  int32_t longers = 0;
  bool prevKatakana = false;
  for (int32_t k = 0; k < len; ++k) {
    const uint64_t letter = letters[u[k]];
    const TLink two = FindIn(units, links, static_cast<TLink>(letter), u[k + 1]);
    steps[k] = {Value(static_cast<TLink>(letter)), kWordCost[Value(two)], kNoPath};
    twos[k] = two;
    longer[longers] = k;
    longers += Shape(two) != 0;
    if constexpr (kAnyKatakana) {
      const bool katakana = (KindOf(letter) & kKatakana) != 0;
      if (katakana && !prevKatakana) {
        int32_t j = k + 1;
        while (j - k < kMaxKatakanaRun && (KindOf(letters[u[j]]) & kKatakana)) ++j;
        if (j - k < kMaxKatakanaRun) w.kana.push_back({k, j, KatakanaRunCost(j - k)});
      }
      prevKatakana = katakana;
    }
  }
  for (int32_t i = 0; i < longers; ++i) {
    const int32_t k = longer[i];
    const TLink three = FindIn(units, links, twos[k], u[k + 2]);
    steps[k].three = kWordCost[Value(three)];
    if (Shape(three) != 0) [[unlikely]] {
      TLink e = three;
      for (int32_t j = k + 3, end = std::min(len, k + kMaxWordUnits); j < end && Shape(e) != 0; ++j)
        if (Value(e = FindIn(units, links, e, u[j])) != kNoWord) w.words.push_back({k, j + 1, Value(e)});
    }
  }
}

void THanKanaDictionary::Cut(TCutWork& w, std::vector<int32_t>& starts) const {
  const auto len = static_cast<int32_t>(w.used);
  w.units[w.used] = w.units[w.used + 1] = 0;
  const auto room = static_cast<size_t>(len) + 4;
  if (w.steps.size() < room) {
    w.steps.resize(room);
    w.twos.resize(room);
    w.longer.resize(room);
    w.far.resize(room);
    w.from.resize(room);
  }
  w.words.clear();
  w.kana.clear();
  if (w.katakana) {
    LookUp<true>(w, len);
  } else {
    LookUp<false>(w, len);
  }
  w.words.push_back({len, 0, 0});  // past the last letter: the walk below needs no test of the end
  w.kana.push_back({len, 0, 0});

  // Then the path through all the pieces at once, a letter at a time: here is the least cost of the
  // words that fill units[0, k), best1..3 (by from1..3) those known so far for k + 1 to k + 3, and
  // far[j] those for j beyond (by edges); from[j] is where the last word of the best path to j begins.
  // Of equal paths the one found first wins (a letter's words by length, then its Katakana run). A
  // piece's 0 is a letter of no cost that no word crosses, so the path is that of each piece on its
  // own, one after another. A path through no word costs kNoPath or more and is always beaten, by the
  // path through the letter before at least.
  TCutFar* const far = w.far.data();
  std::fill_n(far, room, TCutFar{kUnreached, 0});
  int32_t* const from = w.from.data();
  uint32_t here = 0, best1 = kUnreached, best2 = kUnreached, best3 = kUnreached;
  int32_t from1 = 0, from2 = 0, from3 = 0;
  // Without branches: whether a path is better is as good as random.
  auto relax = [](uint32_t c, int32_t k, uint32_t& best, int32_t& at) {
    const bool better = c < best;
    at = better ? k : at;
    best = better ? c : best;
  };
  auto relaxEdge = [&](int32_t k, const TCutEdge& e) {
    const uint32_t c = here + e.cost;
    switch (e.to - k) {
      case 1: relax(c, k, best1, from1); break;
      case 2: relax(c, k, best2, from2); break;
      case 3: relax(c, k, best3, from3); break;
      default: relax(c, k, far[e.to].best, far[e.to].from);
    }
  };
  const TCutStep* const steps = w.steps.data();
  const TCutEdge* word = w.words.data();
  const TCutEdge* kana = w.kana.data();
  for (int32_t k = 0; k < len; ++k) {
    const TCutStep& s = steps[k];
    relax(here + s.one, k, best1, from1);
    relax(here + s.two, k, best2, from2);
    relax(here + s.three, k, best3, from3);
    for (; word->at == k; ++word) [[unlikely]] relaxEdge(k, *word);
    for (; kana->at == k; ++kana) [[unlikely]] relaxEdge(k, *kana);
    from[k + 1] = from1;
    here = best1;
    best1 = best2, from1 = from2;
    best2 = best3, from2 = from3;
    best3 = far[k + 4].best, from3 = far[k + 4].from;
  }
  // Words begin where the path's words do, but for the first letter of a piece (after its 0, a start of
  // its own or of its run) and the second half of a surrogate pair (a letter of no cost: a character
  // beyond the first plane costs its first half's, as an unknown letter, and is no word's letter).
  // (Written without branches: a piece's first letter comes every few words.)
  const char16_t* const u = w.units.data();
  const int32_t* const at = w.at.data();
  const size_t mark = starts.size();
  starts.resize(mark + static_cast<size_t>(len));
  int32_t* const out = starts.data() + mark;
  size_t count = 0;
  for (int32_t k = from[len]; k > 0; k = from[k]) {
    out[count] = at[k];
    count += (u[k - 1] != 0) & (u[k] != 0) & !IsTrailSurrogate(u[k]);
  }
  starts.resize(mark + count);
  w.used = 1;
  w.katakana = false;
}

namespace {

// Where the trie is kept between processes: KX8_CACHE_DIR (empty: nowhere), else the user's cache
// folder.
std::string CacheDir() {
  if (const char* dir = std::getenv("KX8_CACHE_DIR")) return dir;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return std::string(xdg) + "/kx8";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.cache/kx8";
  return {};
}

const THanKanaDictionary& Dictionary() {
  static const std::unique_ptr<THanKanaDictionary> dictionary = std::make_unique<THanKanaDictionary>(CacheDir());
  return *dictionary;
}

}  // namespace

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
                         std::vector<int32_t>& starts) {
  const THanKanaDictionary& d = *dictionary_;
  if (!d.ok() || from < 0 || to > n || to - from < 1) return false;
  if (from > 0 && d.InSet(CharBefore(text, from))) return false;
  if (to < n && d.InSet(CharAt(text, to, n))) return false;
  // The run in pieces: every change between Han or kana and ASCII letters or digits begins a word, and
  // each Han and kana piece is cut by the dictionary on its own (it waits, with a 0 after it, if it has
  // two units or more).
  TCutWork& w = *work_;
  const auto len = static_cast<size_t>(to - from);
  if (w.units.size() < w.used + len + len / 2 + 4) {
    w.units.resize(2 * (w.used + len) + 4);
    w.at.resize(w.units.size());
  }
  char16_t* const units = w.units.data();
  int32_t* const at = w.at.data();
  const size_t startsMark = starts.size();
  size_t used = w.used;
  bool katakana = false;
  for (int32_t k = from, width = 0; k < to;) {
    TPiece piece = d.PieceOf(text, k, to, width);
    if (piece == TPiece::none) {
      starts.resize(startsMark);
      return false;
    }
    if (k > from) starts.push_back(k);
    if (piece == TPiece::ascii) {
      for (k += width; k < to && d.PieceOf(text, k, to, width) == TPiece::ascii;) k += width;
      continue;
    }
    const size_t first = used;
    do {
      katakana |= d.HasKatakana(text[k]);
      units[used] = text[k], at[used++] = k++;
      if (width == 2) units[used] = text[k], at[used++] = k++;
    } while (k < to && (piece = d.PieceOf(text, k, to, width)) == TPiece::han_kana);
    // Pieces so long that their paths' costs could reach kNoPath are left to ICU.
    if (used - first > static_cast<size_t>(kMaxPieceUnits)) {
      starts.resize(startsMark);
      return false;
    }
    if (used - first == 2 && !IsSurrogate(units[first])) {
      // Two letters, the commonest piece, are settled at once.
      if (d.CutsPair(units[first], units[first + 1])) starts.push_back(at[first + 1]);
      used = first;
    } else if (used - first > 1) {
      units[used] = 0, at[used++] = -1;
    } else {
      used = first;
    }
  }
  w.used = used;
  w.katakana |= katakana;
  // Cut many pieces at a time, but not so many that their arrays leave the cache.
  if (used > kCutBatchUnits) Cut(starts);
  return true;
}

void THanKanaCutter::Cut(std::vector<int32_t>& starts) {
  if (work_->used > 1) dictionary_->Cut(*work_, starts);
}

bool THanKanaCutter::WordStarts(const char16_t* text, int32_t n, int32_t from, int32_t to,
                                std::vector<int32_t>& starts) {
  const size_t mark = starts.size();
  if (!Add(text, n, from, to, starts)) return false;
  Cut(starts);
  std::sort(starts.begin() + static_cast<std::ptrdiff_t>(mark), starts.end());
  return true;
}

}  // namespace kx8
