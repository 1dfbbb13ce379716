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
// The first bytes of the file fd read into a large buffer (given back by FreeLargeBuffer with bytes),
// for a file that is looked at all over (the dictionary's kept trie): a file mapped a small page at a
// time pays a fault for each page's first touch in each process, which on some virtual machines costs
// more than reading it. Null, the caller to map the file instead, where the system gives no huge pages
// (transparent huge pages neither always nor on asking: the buffer would be faulted in small pages as
// well), where Global_ReadFilesIntoLargeBuffers is off, when there is no memory, or when the read
// fails or comes short.
void* ReadIntoLargeBuffer(int fd, size_t bytes) noexcept;
// Whether ReadIntoLargeBuffer reads at all: on by default; tests turn it off to run the mapped path.
extern bool Global_ReadFilesIntoLargeBuffers;
// Gives back a block of AllocateLargeBuffer, with the same Bytes; a null pointer is ignored. The last
// few large blocks given back (up to 512 MB) are kept for the next requests of a similar size.
void FreeLargeBuffer(void* Block, size_t Bytes) noexcept;
// Returns the kept blocks to the system, for a tool that has finished with its texts.
void ReleaseKeptLargeBuffers() noexcept;

// An allocator for containers whose storage comes from a pair of functions of this file (Allocate and
// Free). Elements that are made without a value (resize(n), a vector of n) are left as they are rather
// than zero-filled, as such buffers are about to be written anyway; an explicit value (assign(n, 0)) is
// stored as usual.
template <typename T, void* (*Allocate)(size_t), void (*Free)(void*, size_t) noexcept>
struct TBlockAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = TBlockAllocator<U, Allocate, Free>;
  };
  TBlockAllocator() = default;
  template <typename U>
  TBlockAllocator(const TBlockAllocator<U, Allocate, Free>&) noexcept {}

  T* allocate(size_t n) {
    if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(Allocate(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) noexcept { Free(p, n * sizeof(T)); }

  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const TBlockAllocator<U, Allocate, Free>&) const noexcept {
    return true;
  }
};

// The allocator of whole-text buffers.
template <typename T>
using TLargeBufferAllocator = TBlockAllocator<T, &AllocateLargeBuffer, &FreeLargeBuffer>;

// A vector of type words (or other plain values) for a whole text.
template <typename T>
using TLargeBuffer = std::vector<T, TLargeBufferAllocator<T>>;

// Blocks of a middling size, from kPooledBufferMin bytes up to a huge page (2 MB), for buffers that are
// made and let go many times in a run and pass between threads (a window's hits and their texts): cut
// from huge pages the process keeps, in sizes of powers of two, halves of a block joined again when
// both are free. On a virtual machine a fresh small page can cost several times its filling, while a
// huge page costs about as much for 512 of them. Smaller blocks come from the heap, larger ones are
// large buffers. Bytes 0 gives a unique non-null pointer; raises std::bad_alloc when there is no memory.
inline constexpr size_t kPooledBufferMin = size_t{64} << 10;
void* AllocatePooledBuffer(size_t Bytes);
// Gives back a block of AllocatePooledBuffer, with the same Bytes; a null pointer is ignored. Huge pages
// wholly free beyond kPooledBufferKeptPages are given back as large buffers.
inline constexpr size_t kPooledBufferKeptPages = 8;
void FreePooledBuffer(void* Block, size_t Bytes) noexcept;
// The bytes of the huge pages the pool holds (for tests).
size_t PooledBufferBytes() noexcept;

// The allocator of the pool's blocks.
template <typename T>
using TPooledBufferAllocator = TBlockAllocator<T, &AllocatePooledBuffer, &FreePooledBuffer>;

// A vector of plain values from the pool (the window-long arrays a thread keeps from window to window).
template <typename T>
using TPooledBuffer = std::vector<T, TPooledBufferAllocator<T>>;

}  // namespace kx8
