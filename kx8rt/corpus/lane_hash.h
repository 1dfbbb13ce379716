// A fast 128-bit hash of byte strings, for keys and checks of what the library keeps on disk: the cut
// windows of the word start cache, and the dictionary's trie and the ICU data it is made from, which
// every process that cuts hashes once (megabytes: a hash of one 64-bit lane at a time cost more than
// the rest of a search of a small text).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx8 {

struct THash128 {
  uint64_t low = 0, high = 0;
  bool operator==(const THash128&) const = default;
};

// Eight 64-bit lanes, 64 bytes a step, each lane adding the product of the two halves of its word (mixed
// with a secret) and its neighbour's word, and every 1 KB scrambled; taken by 256-bit vectors where the
// processor has them (some 20 bytes a cycle), by the same arithmetic one lane at a time elsewhere, to
// the same value.
class TLaneHash {
 public:
  explicit TLaneHash(uint64_t seed);
  // Adds n bytes; the value depends on how the bytes are split among calls (each call ends a stripe).
  void Add(const void* data, size_t n);
  THash128 Key() const;

 private:
  void Stripe(const uint8_t* p);
  size_t Stripes256(const uint8_t* p, size_t n);

  uint64_t lane_[8], secret_[8], scramble_[8];
  uint64_t stripes_ = 0, length_ = 0;
};

// The hash of n bytes from a seed, as 64 bits.
uint64_t LaneHash64(const void* data, size_t n, uint64_t seed);

}  // namespace kx8
