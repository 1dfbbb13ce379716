#include "kx8rt/platform/large_buffers.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace kx8 {

namespace {

// Blocks are mapped in whole huge pages, and aligned to one, so that the system can back them with
// huge pages: a text of hundreds of megabytes then takes a few hundred page faults, not tens of thousands.
constexpr size_t kHugePage = size_t{2} << 20;

size_t MappedBytes(size_t Bytes) { return (Bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocateLargeBuffer(size_t Bytes) {
  if (Bytes < kLargeBufferThreshold) {
    // malloc(0) may give null; a block of one byte keeps "null means failure" true.
    void* p = std::malloc(Bytes == 0 ? 1 : Bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  if (Bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  const size_t mapped = MappedBytes(Bytes);
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

void FreeLargeBuffer(void* Block, size_t Bytes) noexcept {
  if (Block == nullptr) return;
  if (Bytes < kLargeBufferThreshold)
    std::free(Block);
  else
    ::munmap(Block, MappedBytes(Bytes));
}

}  // namespace kx8
