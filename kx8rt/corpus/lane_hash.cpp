#include "kx8rt/corpus/lane_hash.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <cstring>

#include "kx8rt/platform/cpu_features.h"

namespace kx8 {

namespace {

constexpr uint64_t kMul = 0x9E3779B97F4A7C15u;
constexpr uint64_t kPrime32 = 0x9E3779B1u;
constexpr int kStripesPerScramble = 16;

constexpr uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53u;
  return h ^ (h >> 33);
}

}  // namespace

TLaneHash::TLaneHash(uint64_t seed) {
  for (int j = 0; j < 8; ++j) {
    secret_[j] = Mix(seed + static_cast<uint64_t>(j + 1) * kMul);
    scramble_[j] = Mix(secret_[j] ^ seed);
    lane_[j] = Mix(scramble_[j] + static_cast<uint64_t>(j));
  }
}

void TLaneHash::Add(const void* data, size_t n) {
  const auto* b = static_cast<const uint8_t*>(data);
  size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
  if (Global_UseWideVectors) i = Stripes256(b, n);
#endif
  for (; i + 64 <= n; i += 64) Stripe(b + i);
  uint8_t tail[64] = {};
  std::memcpy(tail, b + i, n - i);
  tail[63] = static_cast<uint8_t>(n - i);
  Stripe(tail);
  length_ += n;
}

THash128 TLaneHash::Key() const {
  // (Each half from every lane.)
  uint64_t low = Mix(length_), high = Mix(~length_ ^ kMul);
  for (int j = 0; j < 8; ++j) low = Mix(low ^ lane_[j]), high = Mix(high + lane_[7 - j]);
  return {low, high};
}

void TLaneHash::Stripe(const uint8_t* p) {
  for (int j = 0; j < 8; ++j) {
    uint64_t d;
    std::memcpy(&d, p + 8 * j, 8);
    const uint64_t dk = d ^ secret_[j];
    lane_[j ^ 1] += d;
    lane_[j] += (dk & 0xFFFFFFFFu) * (dk >> 32);
  }
  if (++stripes_ % kStripesPerScramble == 0)
    for (int j = 0; j < 8; ++j) lane_[j] = ((lane_[j] ^ (lane_[j] >> 47)) ^ scramble_[j]) * kPrime32;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The whole stripes of n bytes, as Stripe takes them; returns how many bytes.
__attribute__((target("avx2"))) size_t TLaneHash::Stripes256(const uint8_t* p, size_t n) {
  __m256i acc[2], secret[2], scramble[2];
  for (int h = 0; h < 2; ++h) {
    acc[h] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lane_ + 4 * h));
    secret[h] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(secret_ + 4 * h));
    scramble[h] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(scramble_ + 4 * h));
  }
  const __m256i prime = _mm256_set1_epi64x(static_cast<int64_t>(kPrime32));
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    for (int h = 0; h < 2; ++h) {
      const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32 * h));
      const __m256i dk = _mm256_xor_si256(d, secret[h]);
      // (Lane j takes lane j ^ 1's word: the two 64-bit halves of each 128 bits swapped.)
      acc[h] = _mm256_add_epi64(acc[h], _mm256_shuffle_epi32(d, _MM_SHUFFLE(1, 0, 3, 2)));
      acc[h] = _mm256_add_epi64(acc[h], _mm256_mul_epu32(dk, _mm256_srli_epi64(dk, 32)));
    }
    if (++stripes_ % kStripesPerScramble == 0)
      for (int h = 0; h < 2; ++h) {
        const __m256i x = _mm256_xor_si256(_mm256_xor_si256(acc[h], _mm256_srli_epi64(acc[h], 47)), scramble[h]);
        acc[h] = _mm256_add_epi64(_mm256_mul_epu32(x, prime),
                                  _mm256_slli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), prime), 32));
      }
  }
  for (int h = 0; h < 2; ++h) _mm256_storeu_si256(reinterpret_cast<__m256i*>(lane_ + 4 * h), acc[h]);
  return i;
}
#else
size_t TLaneHash::Stripes256(const uint8_t*, size_t) { return 0; }
#endif

uint64_t LaneHash64(const void* data, size_t n, uint64_t seed) {
  TLaneHash h(seed);
  h.Add(data, n);
  return h.Key().low;
}

}  // namespace kx8
