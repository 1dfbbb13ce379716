// Named shared memory on POSIX shm_open: a block that processes find by name and map whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The POSIX object name of a block name: "/" followed by the name in UTF-8, each "/" and NUL of the
// name turned into "_" (an object name may hold no other slash).
std::string SharedMemoryObjectName(std::u16string_view name);

// Removes the named block so that no process finds it any more (processes that mapped it keep their
// view); true when it existed.
bool RemoveSharedMemory(std::u16string_view name);

// Whether a block of that name exists now.
bool SharedMemoryExists(std::u16string_view name);

// One process's view of a named block. The process that creates the block removes its name again when
// it closes, so that a block lives as long as its creator keeps it open (views already taken by other
// processes stay valid); a process that only opened a block leaves the name alone.
class TSharedMemoryBlock {
 public:
  TSharedMemoryBlock() = default;
  ~TSharedMemoryBlock() { Close(); }
  TSharedMemoryBlock(const TSharedMemoryBlock&) = delete;
  TSharedMemoryBlock& operator=(const TSharedMemoryBlock&) = delete;

  // Opens the block of that name read-write, or creates it NewSize bytes long (zero-filled) when there
  // is none; then maps all of it. False, leaving this closed, when neither works (a bad name, no
  // permission, NewSize 0, no memory).
  bool OpenOrCreate(std::u16string_view name, size_t NewSize);
  // Unmaps and closes; removes the name when this view created the block.
  void Close();

  bool IsOpen() const { return fData != nullptr; }
  // Whether this view created the block (rather than finding it).
  bool Created() const { return fCreated; }
  // The mapped bytes and their number: the block's real size when it was mapped.
  uint8_t* Data() const { return fData; }
  size_t Length() const { return fLength; }
  // The file descriptor of the open block, -1 when closed.
  int Handle() const { return fFd; }

 private:
  std::string fObjectName;
  int fFd = -1;
  uint8_t* fData = nullptr;
  size_t fLength = 0;
  bool fCreated = false;
};

}  // namespace kx8
