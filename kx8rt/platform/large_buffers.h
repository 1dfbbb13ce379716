// Memory for buffers the size of whole texts: a corpus file's characters, its type words. Such buffers
// are written once from end to end, so the pages are mapped and filled in one system call when the
// block is taken rather than faulted in one at a time on first write, which on virtual machines costs
// several times the work done on the page. Small blocks come from the ordinary heap.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace kx8 {

// Blocks of at least this many bytes are mapped whole; smaller ones come from the heap.
inline constexpr size_t kLargeBufferThreshold = size_t{1} << 20;

// A block of Bytes bytes, its pages present; raises std::bad_alloc when there is no memory. The
// contents are unspecified (zero for a mapped block). Bytes 0 gives a unique non-null pointer.
void* AllocateLargeBuffer(size_t Bytes);
// Gives back a block of AllocateLargeBuffer, with the same Bytes; a null pointer is ignored. The last
// few large blocks given back (up to 512 MB) are kept for the next requests of a similar size.
void FreeLargeBuffer(void* Block, size_t Bytes) noexcept;
// Returns the kept blocks to the system, for a tool that has finished with its texts.
void ReleaseKeptLargeBuffers() noexcept;

// An allocator for vectors of whole-text buffers. Elements that are made without a value (resize(n),
// a vector of n) are left as they are rather than zero-filled, as the buffer is about to be written
// anyway; an explicit value (assign(n, 0)) is stored as usual.
template <typename T>
struct TLargeBufferAllocator {
  using value_type = T;
  TLargeBufferAllocator() = default;
  template <typename U>
  TLargeBufferAllocator(const TLargeBufferAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateLargeBuffer(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { FreeLargeBuffer(p, n * sizeof(T)); }

  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const TLargeBufferAllocator<U>&) const noexcept {
    return true;
  }
};

// A vector of type words (or other plain values) for a whole text.
template <typename T>
using TLargeBuffer = std::vector<T, TLargeBufferAllocator<T>>;

}  // namespace kx8
