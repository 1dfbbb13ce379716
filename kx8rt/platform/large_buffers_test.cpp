#include "kx8rt/platform/large_buffers.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

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

TEST(LargeBuffers, AKeptBlockTakenForLessIsCutToIt) {
  ReleaseKeptLargeBuffers();
  const size_t mb = size_t{1} << 20;
  auto* block = static_cast<char*>(AllocateLargeBuffer(4 * mb));
  FreeLargeBuffer(block, 4 * mb);
  ASSERT_EQ(AllocateLargeBuffer(2 * mb), block);  // kept, and taken (it wastes no more than as much again)
  // Its upper half is unmapped: the block goes back with the size asked for, and would leak it.
  unsigned char present = 0;
  EXPECT_EQ(::mincore(block + 2 * mb, 4096, &present), -1);
  EXPECT_EQ(errno, ENOMEM);
  EXPECT_EQ(::mincore(block, 4096, &present), 0);
  FreeLargeBuffer(block, 2 * mb);
  ReleaseKeptLargeBuffers();
}

// A block of the pool filled with a pattern of its own, to be checked before it is given back.
struct TPooled {
  uint8_t* p;
  size_t bytes;
  uint8_t mark;
  void Fill() const {
    for (size_t i = 0; i < bytes; i += 61) p[i] = static_cast<uint8_t>(mark + i);
    if (bytes > 0) p[bytes - 1] = mark;
  }
  size_t Wrong() const {
    size_t bad = 0;
    for (size_t i = 0; i + 1 < bytes; i += 61) bad += p[i] != static_cast<uint8_t>(mark + i);
    return bad + (bytes > 0 && p[bytes - 1] != mark);
  }
};

TEST(PooledBuffers, BlocksOfEverySizeHoldWhatIsWrittenAndNeverOverlap) {
  const size_t huge = size_t{2} << 20;
  // The heap below the pool, each size of the pool and the sizes between, a whole huge page, and a large
  // buffer above.
  const size_t sizes[] = {0,        1,         kPooledBufferMin - 1, kPooledBufferMin, kPooledBufferMin + 1,
                          3 << 16,  200 << 10, 512 << 10,            (1 << 20) + 7,    huge - 1,
                          huge,     huge + 1};
  std::vector<TPooled> live;
  for (int round = 0; round < 3; ++round)
    for (const size_t bytes : sizes) {
      live.push_back({static_cast<uint8_t*>(AllocatePooledBuffer(bytes)), bytes, static_cast<uint8_t>(live.size())});
      ASSERT_NE(live.back().p, nullptr) << bytes;
      live.back().Fill();
    }
  // Every block still holds its own pattern once all are written: none shares memory with another.
  for (const TPooled& b : live) EXPECT_EQ(b.Wrong(), 0u) << b.bytes;
  for (const TPooled& b : live) FreePooledBuffer(b.p, b.bytes);
  FreePooledBuffer(nullptr, kPooledBufferMin);  // ignored
}

TEST(PooledBuffers, HalvesAreJoinedAgainAndFreePagesBeyondAFewGoBack) {
  const size_t huge = size_t{2} << 20;
  // A page cut into its smallest blocks, all given back: joined again, it holds a whole page's block,
  // and the pool does not grow for it.
  std::vector<void*> small;
  for (size_t k = 0; k < huge / kPooledBufferMin; ++k) small.push_back(AllocatePooledBuffer(kPooledBufferMin));
  const size_t held = PooledBufferBytes();
  // Given back in a shuffled order, so that halves meet in every order.
  std::shuffle(small.begin(), small.end(), std::mt19937(7));
  for (void* p : small) FreePooledBuffer(p, kPooledBufferMin);
  void* whole = AllocatePooledBuffer(huge);
  EXPECT_EQ(PooledBufferBytes(), held);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(whole) % huge, 0u);
  FreePooledBuffer(whole, huge);
  // Many pages at once: once free, only a few are kept.
  std::vector<void*> pages;
  for (size_t k = 0; k < 3 * kPooledBufferKeptPages; ++k) pages.push_back(AllocatePooledBuffer(huge));
  EXPECT_GE(PooledBufferBytes(), 3 * kPooledBufferKeptPages * huge);
  for (void* p : pages) FreePooledBuffer(p, huge);
  EXPECT_EQ(PooledBufferBytes(), kPooledBufferKeptPages * huge);
  ReleaseKeptLargeBuffers();
}

TEST(PooledBuffers, BlocksPassBetweenThreads) {
  // Two threads make blocks of many sizes and give back, each, half of its own and half of the
  // other's: the pool's lists stay whole (no block is handed out twice).
  std::vector<TPooled> handed[2];
  std::mutex lock;
  size_t wrong = 0;
  auto work = [&](int t) {
    std::mt19937 random(static_cast<unsigned>(t + 1));
    std::vector<TPooled> mine;
    for (int i = 0; i < 3000; ++i) {
      const size_t bytes = kPooledBufferMin / 2 + random() % (size_t{1} << 20);
      mine.push_back({static_cast<uint8_t*>(AllocatePooledBuffer(bytes)), bytes, static_cast<uint8_t>(i * 2 + t)});
      mine.back().Fill();
      if (mine.size() > 16) {
        TPooled b = mine[random() % mine.size()];
        mine.erase(std::find_if(mine.begin(), mine.end(), [&](const TPooled& x) { return x.p == b.p; }));
        std::lock_guard<std::mutex> g(lock);
        if (i % 2) {
          handed[1 - t].push_back(b);
          continue;
        }
        wrong += b.Wrong();
        FreePooledBuffer(b.p, b.bytes);
        if (!handed[t].empty()) {
          wrong += handed[t].back().Wrong();
          FreePooledBuffer(handed[t].back().p, handed[t].back().bytes);
          handed[t].pop_back();
        }
      }
    }
    std::lock_guard<std::mutex> g(lock);
    for (const TPooled& b : mine) wrong += b.Wrong(), FreePooledBuffer(b.p, b.bytes);
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  for (auto& list : handed)
    for (const TPooled& b : list) wrong += b.Wrong(), FreePooledBuffer(b.p, b.bytes);
  EXPECT_EQ(wrong, 0u);
}

TEST(PooledBuffers, AProcessForkedWhileAnotherThreadAllocatesCanAllocate) {
  // Another thread takes and gives back blocks all the while (holding the pool's lock and the large
  // blocks' much of the time); each child forked meanwhile takes and gives back both kinds, and must end
  // before its alarm (two seconds) stops it.
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    while (!stop.load()) {
      void* a = AllocatePooledBuffer(kPooledBufferMin);
      void* b = AllocateLargeBuffer(kLargeBufferThreshold);
      FreeLargeBuffer(b, kLargeBufferThreshold);
      FreePooledBuffer(a, kPooledBufferMin);
    }
  });
  int ended = 0;
  for (int k = 0; k < 40; ++k) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::alarm(2);
      void* a = AllocatePooledBuffer(3 * kPooledBufferMin);
      void* b = AllocateLargeBuffer(kLargeBufferThreshold);
      FreeLargeBuffer(b, kLargeBufferThreshold);
      FreePooledBuffer(a, 3 * kPooledBufferMin);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ended += WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  stop.store(true);
  busy.join();
  EXPECT_EQ(ended, 40);
}

TEST(PooledBuffers, ContainersGrowAcrossTheSizesAndKeepTheirValues) {
  std::basic_string<char16_t, std::char_traits<char16_t>, TPooledBufferAllocator<char16_t>> text;
  std::vector<uint32_t, TPooledBufferAllocator<uint32_t>> numbers;
  for (uint32_t i = 0; i < (1u << 20); ++i) {
    text += static_cast<char16_t>(u'a' + i % 26);
    numbers.push_back(i * 3);
  }
  size_t bad = 0;
  for (uint32_t i = 0; i < (1u << 20); ++i) bad += text[i] != static_cast<char16_t>(u'a' + i % 26) || numbers[i] != i * 3;
  EXPECT_EQ(bad, 0u);
  text += std::u16string(u"文件");  // (as a view)
  EXPECT_EQ(text.substr(text.size() - 2), u"文件");
}

}  // namespace
}  // namespace kx8
