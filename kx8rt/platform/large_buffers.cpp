#include "kx8rt/platform/large_buffers.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace kx8 {

namespace {

// Blocks are mapped in whole huge pages, and aligned to one, so that the system can back them with
// huge pages: a text of hundreds of megabytes then takes a few hundred page faults, not tens of thousands.
constexpr size_t kHugePage = size_t{2} << 20;

size_t MappedBytes(size_t Bytes) { return (Bytes + kHugePage - 1) / kHugePage * kHugePage; }

// Blocks given back are kept for the next request of a similar size: a tool that makes a new engine
// (or buffer) for each text of a corpus then reuses the last one's pages, which the system would
// otherwise have to clear and map again. What is kept is bounded, in blocks and in bytes.
constexpr size_t kKeptBlocks = 4;
constexpr size_t kKeptBytes = size_t{512} << 20;

struct KeptBlock {
  void* block;
  size_t mapped;
};

struct KeptBlocks {
  std::mutex lock;
  std::vector<KeptBlock> blocks;  // oldest first
  size_t bytes = 0;

  // The smallest kept block that holds mapped bytes without wasting more than as much again.
  void* Take(size_t mapped) {
    std::lock_guard<std::mutex> guard(lock);
    auto best = blocks.end();
    for (auto it = blocks.begin(); it != blocks.end(); ++it)
      if (it->mapped >= mapped && it->mapped - mapped <= mapped && (best == blocks.end() || it->mapped < best->mapped))
        best = it;
    if (best == blocks.end()) return nullptr;
    void* block = best->block;
    // (A larger block is cut to the size asked for: it is given back with that size.)
    if (best->mapped > mapped) ::munmap(static_cast<char*>(block) + mapped, best->mapped - mapped);
    bytes -= best->mapped;
    blocks.erase(best);
    return block;
  }

  // Keeps a block, giving back the oldest ones to stay within bounds; false when it is too big to keep.
  bool Keep(void* block, size_t mapped) {
    if (mapped > kKeptBytes) return false;
    std::vector<KeptBlock> released;
    {
      std::lock_guard<std::mutex> guard(lock);
      while (!blocks.empty() && (blocks.size() >= kKeptBlocks || bytes + mapped > kKeptBytes)) {
        released.push_back(blocks.front());
        bytes -= blocks.front().mapped;
        blocks.erase(blocks.begin());
      }
      blocks.push_back({block, mapped});
      bytes += mapped;
    }
    for (const KeptBlock& k : released) ::munmap(k.block, k.mapped);
    return true;
  }

  std::vector<KeptBlock> TakeAll() {
    std::lock_guard<std::mutex> guard(lock);
    bytes = 0;
    return std::exchange(blocks, {});
  }
};

void HoldLocksAcrossFork();

// Never destroyed: blocks may be given back by objects destroyed after this unit's statics.
KeptBlocks& Kept() {
  static KeptBlocks* kept = (HoldLocksAcrossFork(), new KeptBlocks);
  return *kept;
}

}  // namespace

void ReleaseKeptLargeBuffers() noexcept {
  for (const KeptBlock& k : Kept().TakeAll()) ::munmap(k.block, k.mapped);
}

namespace {

// Whether the system backs large buffers with huge pages (transparent huge pages always, or on asking).
bool HugePagesGiven() {
  static const bool given = [] {
    char mode[128] = {};
    const int fd = ::open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = ::read(fd, mode, sizeof mode - 1);
    ::close(fd);
    return n > 0 && (std::strstr(mode, "[always]") || std::strstr(mode, "[madvise]"));
  }();
  return given;
}

}  // namespace

bool Global_ReadFilesIntoLargeBuffers = true;

void* ReadIntoLargeBuffer(int fd, size_t bytes) noexcept {
  if (!Global_ReadFilesIntoLargeBuffers || !HugePagesGiven()) return nullptr;
  void* block = nullptr;
  try {
    block = AllocateLargeBuffer(bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  size_t done = 0;
  while (done < bytes) {
    const ssize_t r = ::pread(fd, static_cast<char*>(block) + done, bytes - done, static_cast<off_t>(done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  if (done == bytes) return block;
  FreeLargeBuffer(block, bytes);
  return nullptr;
}

void* AllocateLargeBuffer(size_t Bytes) {
  if (Bytes < kLargeBufferThreshold) {
    // malloc(0) may give null; a block of one byte keeps "null means failure" true.
    void* p = std::malloc(Bytes == 0 ? 1 : Bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  if (Bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  const size_t mapped = MappedBytes(Bytes);
  if (void* kept = Kept().Take(mapped)) return kept;
  // Map one huge page more than needed and trim both ends to the alignment.
  void* raw = ::mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t end = start + mapped + kHugePage;
  if (end > aligned + mapped) ::munmap(reinterpret_cast<void*>(aligned + mapped), end - (aligned + mapped));
  void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
  // Only advice: where huge pages are off or none are free the block is an ordinary mapping.
  ::madvise(block, mapped, MADV_HUGEPAGE);
#endif
  return block;
}

namespace {

// The pool of middling blocks: for each size from kPooledBufferMin to a huge page, the free blocks of
// that size. A block's buddy (the other half of the block it was cut from) lies at its address with the
// size's bit turned over, huge pages being aligned.
constexpr size_t kPoolSizes = 6;
static_assert((kPooledBufferMin << (kPoolSizes - 1)) == kHugePage, "the pool's sizes run up to a huge page");

struct BufferPool {
  std::mutex lock;
  std::vector<uintptr_t> free[kPoolSizes];
  size_t pages = 0;  // huge pages held, free or in use

  static size_t SizeOf(size_t k) { return kPooledBufferMin << k; }
  static size_t SizeClass(size_t bytes) {
    size_t k = 0;
    while (SizeOf(k) < bytes) ++k;
    return k;
  }
  // (Under the lock.) A free block of size k, cut from a larger one if need be; 0 when there is none.
  uintptr_t Take(size_t k) {
    size_t j = k;
    while (j < kPoolSizes && free[j].empty()) ++j;
    if (j == kPoolSizes) return 0;
    const uintptr_t block = free[j].back();
    free[j].pop_back();
    for (; j > k; --j) free[j - 1].push_back(block + SizeOf(j - 1));  // the upper halves stay free
    return block;
  }
  // (Under the lock.) Frees a block of size k, joined with its buddy while that is free; returns a
  // wholly free huge page to give back, or 0.
  uintptr_t Give(uintptr_t block, size_t k) {
    for (; k + 1 < kPoolSizes; ++k) {
      std::vector<uintptr_t>& list = free[k];
      const auto buddy = std::find(list.begin(), list.end(), block ^ SizeOf(k));
      if (buddy == list.end()) break;
      *buddy = list.back();
      list.pop_back();
      block &= ~SizeOf(k);
    }
    if (k + 1 == kPoolSizes && free[k].size() >= kPooledBufferKeptPages) {
      --pages;
      return block;
    }
    free[k].push_back(block);
    return 0;
  }
};

BufferPool& Pool() {
  static BufferPool* pool = (HoldLocksAcrossFork(), new BufferPool);  // never destroyed, as Kept()
  return *pool;
}

// A process forked while another thread holds a lock here would find it held for ever (Python's worker
// processes are forked from a process that may be searching): both locks are taken before a fork and
// let go after it, in the parent and in the child.
void LockForFork() {
  Kept().lock.lock();
  Pool().lock.lock();
}
void UnlockAfterFork() {
  Pool().lock.unlock();
  Kept().lock.unlock();
}
void HoldLocksAcrossFork() {
  static const bool registered = ::pthread_atfork(&LockForFork, &UnlockAfterFork, &UnlockAfterFork) == 0;
  (void)registered;
}

}  // namespace

void* AllocatePooledBuffer(size_t Bytes) {
  if (Bytes < kPooledBufferMin || Bytes > kHugePage) return AllocateLargeBuffer(Bytes);
  BufferPool& pool = Pool();
  const size_t k = BufferPool::SizeClass(Bytes);
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    if (const uintptr_t block = pool.Take(k)) return reinterpret_cast<void*>(block);
  }
  void* page = AllocateLargeBuffer(kHugePage);  // (aligned to a huge page)
  std::lock_guard<std::mutex> guard(pool.lock);
  ++pool.pages;
  pool.free[kPoolSizes - 1].push_back(reinterpret_cast<uintptr_t>(page));
  return reinterpret_cast<void*>(pool.Take(k));
}

void FreePooledBuffer(void* Block, size_t Bytes) noexcept {
  if (Block == nullptr) return;
  if (Bytes < kPooledBufferMin || Bytes > kHugePage) {
    FreeLargeBuffer(Block, Bytes);
    return;
  }
  BufferPool& pool = Pool();
  uintptr_t page;
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    page = pool.Give(reinterpret_cast<uintptr_t>(Block), BufferPool::SizeClass(Bytes));
  }
  if (page) FreeLargeBuffer(reinterpret_cast<void*>(page), kHugePage);
}

size_t PooledBufferBytes() noexcept {
  BufferPool& pool = Pool();
  std::lock_guard<std::mutex> guard(pool.lock);
  return pool.pages * kHugePage;
}

void FreeLargeBuffer(void* Block, size_t Bytes) noexcept {
  if (Block == nullptr) return;
  if (Bytes < kLargeBufferThreshold)
    std::free(Block);
  else if (!Kept().Keep(Block, MappedBytes(Bytes)))
    ::munmap(Block, MappedBytes(Bytes));
}

}  // namespace kx8
