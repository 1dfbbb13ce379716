#include "kx8rt/platform/large_buffers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

namespace kx8 {
namespace {

TEST(LargeBuffers, BlocksOfEverySizeHoldWhatIsWritten) {
  // Both sides of the mapping threshold, and sizes that are not whole huge pages.
  for (const size_t bytes : {size_t{0}, size_t{1}, size_t{4096}, kLargeBufferThreshold - 1, kLargeBufferThreshold,
                             kLargeBufferThreshold * 3 + 12345}) {
    auto* p = static_cast<uint8_t*>(AllocateLargeBuffer(bytes));
    ASSERT_NE(p, nullptr) << bytes;
    for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(i * 7);
    size_t bad = 0;
    for (size_t i = 0; i < bytes; ++i) bad += p[i] != static_cast<uint8_t>(i * 7);
    EXPECT_EQ(bad, 0u) << bytes;
    FreeLargeBuffer(p, bytes);
  }
  FreeLargeBuffer(nullptr, kLargeBufferThreshold);  // ignored
}

TEST(LargeBuffers, VectorsGrowShrinkAndKeepTheirValues) {
  TLargeBuffer<uint16_t> v(10, 7);  // an explicit value is stored
  EXPECT_EQ(std::accumulate(v.begin(), v.end(), 0), 70);
  // Growing across the threshold moves the old values to the mapped block.
  v.resize(kLargeBufferThreshold);
  EXPECT_EQ(v[9], 7);
  std::iota(v.begin(), v.end(), uint16_t{0});
  EXPECT_EQ(v.back(), static_cast<uint16_t>(kLargeBufferThreshold - 1));
  v.resize(5);
  v.shrink_to_fit();
  EXPECT_EQ(v, (TLargeBuffer<uint16_t>{0, 1, 2, 3, 4}));
  v.assign(3, 0);  // assign with a value zero-fills as usual
  EXPECT_EQ(v, (TLargeBuffer<uint16_t>{0, 0, 0}));
  EXPECT_THROW(v.reserve(v.max_size() + 1), std::length_error);
}

TEST(LargeBuffers, BlocksGivenBackAreReusedForSimilarSizes) {
  ReleaseKeptLargeBuffers();
  const size_t mb = size_t{1} << 20;
  void* first = AllocateLargeBuffer(6 * mb);
  FreeLargeBuffer(first, 6 * mb);
  // A much smaller request would waste most of the kept block: it gets a block of its own (the kept
  // one is still mapped, so the new one cannot be at the same place).
  void* small = AllocateLargeBuffer(2 * mb);
  EXPECT_NE(small, first);
  // A request of about the same size takes the kept block.
  void* again = AllocateLargeBuffer(5 * mb);
  EXPECT_EQ(again, first);
  FreeLargeBuffer(again, 5 * mb);
  FreeLargeBuffer(small, 2 * mb);
  ReleaseKeptLargeBuffers();
}

}  // namespace
}  // namespace kx8
