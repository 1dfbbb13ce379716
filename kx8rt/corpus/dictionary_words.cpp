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

#include <algorithm>
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

// A trie node, as the record its parent holds for it: bits 0-15 its unit, 16-23 the cost of the word
// that ends there (0xFF for none), 24-39 how many children it has (for a hashed block, the log2 of the
// block's size), bit 40 whether its children's block is hashed, 41-63 where that block begins. A walk
// step reads one record, and a node's children sit together, so that the words of common letters stay
// in the cache.
using TRecord = uint64_t;
constexpr uint32_t kNoWord = 0xFF;
constexpr uint32_t Unit(TRecord r) { return static_cast<uint32_t>(r & 0xFFFF); }
constexpr uint32_t Value(TRecord r) { return static_cast<uint32_t>((r >> 16) & 0xFF); }
constexpr uint32_t Count(TRecord r) { return static_cast<uint32_t>((r >> 24) & 0xFFFF); }
constexpr bool Hashed(TRecord r) { return ((r >> 40) & 1) != 0; }
constexpr uint32_t First(TRecord r) { return static_cast<uint32_t>(r >> 41); }
constexpr uint32_t kMaxFirst = (1u << 23) - 1;
// Blocks of more children than this are open-addressing tables at most half full, looked up by hash;
// smaller ones are searched in order.
constexpr uint32_t kLinearChildren = 6;

uint32_t HashSlot(uint32_t unit, uint32_t bits) { return (unit * 2654435761u) >> (32 - bits); }

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

// What a piece of a run is: Han and kana letters cut by the dictionary, or ASCII letters and digits,
// which ICU's rules keep together as one word.
enum class TPiece : uint8_t { none, han_kana, ascii };

}  // namespace

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
    ownKind_.assign(0x10000, 0);
    for (char32_t c = 0; c < 0x10000; ++c) {
      if (c < 0x80 && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) ownKind_[c] = kAscii;
      if (!set_.contains(static_cast<UChar32>(c))) continue;
      ownKind_[c] = kInSet;
      if (NfkcStable(c) && !IsSurrogate(static_cast<char16_t>(c))) ownKind_[c] |= kCut;
    }
    for (char32_t c = 0; c < 0x10000; ++c)
      if (IsKatakana(static_cast<char16_t>(c))) ownKind_[c] |= kKatakana;
    ownRoot_.assign(0x10000, TRecord{kNoWord} << 16);
    ownPairs_.assign(kPairWords, 0);
    ok_ = Build(trie);
    if (!ok_) return;
    kind_ = ownKind_.data(), root_ = ownRoot_.data(), pairs_ = ownPairs_.data();
    records_ = ownRecords_.data(), recordCount_ = ownRecords_.size();
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
    return c < 0x10000 ? (kind_[c] & kInSet) != 0 : set_.contains(static_cast<UChar32>(c));
  }
  // The piece the character at run[k] belongs to, and in width its length in units.
  TPiece PieceOf(const char16_t* run, int32_t k, int32_t len, int32_t& width) const {
    const char16_t u = run[k];
    width = 1;
    if (!IsSurrogate(u)) {
      const uint8_t kind = kind_[u];
      return (kind & kCut) ? TPiece::han_kana : kind == kAscii ? TPiece::ascii : TPiece::none;
    }
    if (!IsLeadSurrogate(u) || k + 1 >= len || !IsTrailSurrogate(run[k + 1])) return TPiece::none;
    const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (run[k + 1] - 0xDC00u);
    width = 2;
    return set_.contains(static_cast<UChar32>(c)) && NfkcStable(c) ? TPiece::han_kana : TPiece::none;
  }

  void Cut(const char16_t* run, int32_t len, int32_t base, std::vector<uint32_t>& cost, std::vector<int32_t>& prev,
           std::vector<int32_t>& starts) const;

 private:
  static constexpr uint8_t kInSet = 1, kCut = 2, kAscii = 4, kKatakana = 8;

  // ICU normalises a run to NFKC before it looks words up, when the run is not in NFKC already. A run
  // whose every character has quick check "yes" and no combining class is in NFKC; a run with any other
  // character is left to ICU, which keeps its mapping back to the text exact (such runs are rare:
  // halfwidth Katakana, compatibility ideographs, combining voicing marks).
  static bool NfkcStable(char32_t c) {
    return u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NFKC_QUICK_CHECK) == UNORM_YES &&
           u_getCombiningClass(static_cast<UChar32>(c)) == 0;
  }

  bool Build(const char16_t* trie);
  // The trie as a file of the cache: a header, then the letters' kinds, the root's records, the pairs'
  // bits and the records below the root, each as this process holds them. Load maps one made for key
  // (checking its size and a hash of its contents); Save writes one (to a new name, then renamed, so
  // that a reader never sees half a file); a failure of either only means building, or not keeping.
  struct TCacheHeader {
    char magic[8];
    uint64_t key, recordCount, contentHash, reserved[4];
  };
  static constexpr char kCacheMagic[8] = {'K', 'X', '8', 'H', 'K', 'D', 'T', '1'};
  static constexpr const char* kCacheVersion = "kx8 han-kana trie 1 " U_ICU_VERSION " " U_UNICODE_VERSION;
  static constexpr size_t kFixedBytes = 0x10000 + 0x10000 * sizeof(TRecord);  // (+ the pairs' words)
  bool Load(const std::string& path, uint64_t key);
  void Save(const std::string& path, uint64_t key) const;

  // The child of the node r for unit u, or 0.
  TRecord Child(TRecord r, char16_t u) const {
    const TRecord* block = records_ + First(r);
    if (!Hashed(r)) {
      for (uint32_t k = 0, count = Count(r); k < count; ++k)
        if (Unit(block[k]) == u) return block[k];
      return 0;
    }
    const uint32_t bits = Count(r), mask = (1u << bits) - 1;
    for (uint32_t h = HashSlot(u, bits);; h = (h + 1) & mask) {
      const TRecord e = block[h];
      if (e == 0 || Unit(e) == u) return e;
    }
  }

  // Whether some word may begin with the letters a, b: one bit of a table small enough to stay in the
  // cache, set for every pair that begins a word (and some that do not). Most pairs of running text
  // begin no word, and this answers for them without a look into the trie's far larger blocks.
  static constexpr int kPairBits = 21;
  static constexpr size_t kPairWords = size_t{1} << (kPairBits - 6);
  static uint32_t PairBit(char16_t a, char16_t b) {
    return static_cast<uint32_t>(((static_cast<uint64_t>(a) << 16 | b) * 0x9E3779B97F4A7C15u) >> (64 - kPairBits));
  }
  bool MayFollow(char16_t a, char16_t b) const { return (pairs_[PairBit(a, b) >> 6] >> (PairBit(a, b) & 63)) & 1; }

  bool ok_ = false, fromCache_ = false;
  icu::UnicodeSet set_;
  // What the lookups read: built here (the own arrays) or mapped from the cache.
  const uint8_t* kind_ = nullptr;   // of each unit
  const TRecord* root_ = nullptr;   // the record of each first unit (no word, no children for others)
  const uint64_t* pairs_ = nullptr;
  const TRecord* records_ = nullptr;  // the blocks of children of every node below the root
  size_t recordCount_ = 0;
  std::vector<uint8_t> ownKind_;
  std::vector<TRecord> ownRoot_, ownRecords_;
  std::vector<uint64_t> ownPairs_;
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
  // unit), then each node's block of children placed, then the records written.
  struct TNode {
    char16_t unit = 0;
    uint32_t value = kNoWord;
    uint32_t first = 0, count = 0;  // children among the nodes
    uint32_t block = 0;             // where the children's records go
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
  // The children of the first letters are always hashed (nearly every letter of a run looks its
  // successor up there); deeper blocks when large. A hashed block is at most half full.
  const uint32_t secondLevel = nodes[0].first + nodes[0].count;
  auto hashed = [&](size_t k) { return k < secondLevel ? nodes[k].count > 0 : nodes[k].count > kLinearChildren; };
  auto hashBits = [&](size_t k) {
    uint32_t bits = 1;
    while ((1u << bits) < 2 * nodes[k].count) ++bits;
    return bits;
  };
  size_t size = 0;
  for (size_t k = 1; k < nodes.size(); ++k) {
    TNode& nd = nodes[k];
    if (nd.count > 0xFFFF || size > kMaxFirst) return false;
    nd.block = static_cast<uint32_t>(size);
    size += hashed(k) ? size_t{1} << hashBits(k) : nd.count;
  }
  auto record = [&](size_t k) {
    const TNode& nd = nodes[k];
    const uint64_t count = hashed(k) ? hashBits(k) : nd.count;
    return static_cast<TRecord>(nd.unit) | (uint64_t{nd.value} << 16) | (count << 24) |
           (uint64_t{hashed(k)} << 40) | (uint64_t{nd.block} << 41);
  };
  ownRecords_.assign(size, 0);
  for (uint32_t c = nodes[0].first; c < secondLevel; ++c) {
    ownRoot_[nodes[c].unit] = record(c);
    for (uint32_t d = nodes[c].first; d < nodes[c].first + nodes[c].count; ++d) {
      const uint32_t bit = PairBit(nodes[c].unit, nodes[d].unit);
      ownPairs_[bit >> 6] |= uint64_t{1} << (bit & 63);
    }
  }
  for (size_t k = 1; k < nodes.size(); ++k) {
    const TNode& nd = nodes[k];
    const uint32_t bits = hashed(k) ? hashBits(k) : 0;
    for (uint32_t c = 0; c < nd.count; ++c) {
      uint32_t slot = c;
      if (bits)
        for (slot = HashSlot(nodes[nd.first + c].unit, bits); ownRecords_[nd.block + slot] != 0;
             slot = (slot + 1) & ((1u << bits) - 1)) {
        }
      ownRecords_[nd.block + slot] = record(nd.first + c);
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
  const size_t bytes = sizeof h + kFixedBytes + kPairWords * sizeof(uint64_t) + h.recordCount * sizeof(TRecord);
  if (!headed || std::memcmp(h.magic, kCacheMagic, sizeof h.magic) != 0 || h.key != key ||
      h.recordCount > kMaxFirst + 0x10000 || static_cast<size_t>(st.st_size) != bytes) {
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
  kind_ = p;
  root_ = reinterpret_cast<const TRecord*>(p + 0x10000);
  pairs_ = reinterpret_cast<const uint64_t*>(p + kFixedBytes);
  records_ = reinterpret_cast<const TRecord*>(p + kFixedBytes + kPairWords * sizeof(uint64_t));
  recordCount_ = h.recordCount;
  return true;
}

void THanKanaDictionary::Save(const std::string& path, uint64_t key) const {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return;
  std::string content;
  content.reserve(kFixedBytes + kPairWords * sizeof(uint64_t) + recordCount_ * sizeof(TRecord));
  content.append(reinterpret_cast<const char*>(kind_), 0x10000);
  content.append(reinterpret_cast<const char*>(root_), 0x10000 * sizeof(TRecord));
  content.append(reinterpret_cast<const char*>(pairs_), kPairWords * sizeof(uint64_t));
  content.append(reinterpret_cast<const char*>(records_), recordCount_ * sizeof(TRecord));
  TCacheHeader h{};
  std::memcpy(h.magic, kCacheMagic, sizeof h.magic);
  h.key = key;
  h.recordCount = recordCount_;
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

void THanKanaDictionary::Cut(const char16_t* run, int32_t len, int32_t base, std::vector<uint32_t>& cost,
                             std::vector<int32_t>& prev, std::vector<int32_t>& starts) const {
  // cost[k] is the least cost of the words that fill run[0, k), and prev[k] where the last of them begins.
  if (cost.size() < static_cast<size_t>(len) + 1) {
    cost.resize(static_cast<size_t>(len) + 1);
    prev.resize(static_cast<size_t>(len) + 1);
  }
  uint32_t* const best = cost.data();
  int32_t* const from = prev.data();
  std::fill_n(best, len + 1, kUnreached);
  best[0] = 0;
  // Without branches: whether a path is better is as good as random, and a mispredicted branch costs
  // more than the two conditional moves.
  auto relax = [&](int32_t k, int32_t to, uint32_t c) {
    const bool better = c < best[to];
    best[to] = better ? c : best[to];
    from[to] = better ? k : from[to];
  };
  // The cost of the path through a node's word, or kUnreached when no word ends there (or no node).
  auto through = [](uint32_t here, TRecord r) { return r != 0 && Value(r) != kNoWord ? here + Value(r) : kUnreached; };
  bool prevKatakana = false;
  for (int32_t k = 0; k < len; ++k) {
    if (best[k] == kUnreached) continue;  // the second half of a surrogate pair
    const uint32_t here = best[k];
    const char16_t u = run[k];
    if (IsLeadSurrogate(u)) {
      // ICU looks code points up among the trie's UTF-16 units, so a character beyond the first plane
      // never begins or continues a word.
      relax(k, k + 2, here + kUnknownLetterCost);
      prevKatakana = false;
      ++k;
      continue;
    }
    const TRecord r = root_[u];
    relax(k, k + 1, here + (Value(r) != kNoWord ? Value(r) : kUnknownLetterCost));
    if (Count(r) != 0 && k + 1 < len && MayFollow(u, run[k + 1])) {
      // The second letter, in the first letter's hashed block (a trail surrogate matches no unit).
      const char16_t v = run[k + 1];
      const TRecord* block = records_ + First(r);
      const uint32_t bits = Count(r), mask = (1u << bits) - 1;
      uint32_t h = HashSlot(v, bits);
      TRecord e = block[h];
      while (e != 0 && Unit(e) != v) e = block[h = (h + 1) & mask];
      relax(k, k + 2, through(here, e));
      if (e != 0 && Count(e) != 0) {
        const int32_t end = std::min(len, k + kMaxWordUnits);
        for (int32_t j = k + 2; j < end && Count(e) != 0; ++j) {
          if ((e = Child(e, run[j])) == 0) break;
          relax(k, j + 1, through(here, e));
        }
      }
    }
    const bool katakana = (kind_[u] & kKatakana) != 0;
    if (katakana && !prevKatakana) {
      int32_t j = k + 1;
      while (j < len && j - k < kMaxKatakanaRun && (kind_[run[j]] & kKatakana)) ++j;
      if (j - k < kMaxKatakanaRun) relax(k, j, here + KatakanaRunCost(j - k));
    }
    prevKatakana = katakana;
  }
  const size_t mark = starts.size();
  for (int32_t k = from[len]; k > 0; k = from[k]) starts.push_back(base + k);
  std::reverse(starts.begin() + static_cast<std::ptrdiff_t>(mark), starts.end());
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

THanKanaCutter::THanKanaCutter() : dictionary_(&Dictionary()) {}

THanKanaCutter::THanKanaCutter(std::shared_ptr<const THanKanaDictionary> dictionary)
    : dictionary_(dictionary.get()), own_(std::move(dictionary)) {}

std::shared_ptr<const THanKanaDictionary> LoadHanKanaDictionary(const std::string& cacheDir, bool* fromCache) {
  auto d = std::make_shared<const THanKanaDictionary>(cacheDir);
  if (fromCache) *fromCache = d->fromCache();
  return d;
}

THanKanaCutter::~THanKanaCutter() = default;

bool THanKanaCutter::available() const { return dictionary_->ok(); }

bool THanKanaCutter::WordStarts(const char16_t* text, int32_t n, int32_t from, int32_t to,
                                std::vector<int32_t>& starts) {
  const THanKanaDictionary& d = *dictionary_;
  if (!d.ok() || from < 0 || to > n || to - from < 1) return false;
  if (from > 0 && d.InSet(CharBefore(text, from))) return false;
  if (to < n && d.InSet(CharAt(text, to, n))) return false;
  // The run in pieces: every change between Han or kana and ASCII letters or digits begins a word, and
  // each Han and kana piece is cut by the dictionary on its own.
  const size_t mark = starts.size();
  const char16_t* run = text + from;
  const int32_t len = to - from;
  int32_t width = 0;
  TPiece piece = d.PieceOf(run, 0, len, width);
  for (int32_t k = 0; k < len;) {
    if (piece == TPiece::none) {
      starts.resize(mark);
      return false;
    }
    int32_t end = k + width;
    TPiece next = TPiece::none;
    while (end < len && (next = d.PieceOf(run, end, len, width)) == piece) end += width;
    if (k > 0) starts.push_back(from + k);
    if (piece == TPiece::han_kana && end - k > 1) d.Cut(run + k, end - k, from + k, cost_, prev_, starts);
    k = end;
    piece = next;
  }
  return true;
}

}  // namespace kx8
