// Lists passed between processes through named shared memory: a writer copies its entries into a block
// named after the list, a reader in another process constructs a list of the same name and loads them.
#pragma once

#include <cstdint>
#include <memory>

#include "kx8rt/platform/object_list.h"
#include "kx8rt/platform/shared_memory.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// A named shared block whose bytes 0..3 hold its size (little-endian) and whose data follow. The
// process that creates the block removes its name when it closes; see TSharedMemoryBlock.
class TMemoryMapFile : public TObject {
 public:
  // Opens the block called name, or creates it size + 4 bytes long (see SetupMap).
  TMemoryMapFile(const UnicodeString& name, int32_t size);
  ~TMemoryMapFile() override;
  TMemoryMapFile(const TMemoryMapFile&) = delete;
  TMemoryMapFile& operator=(const TMemoryMapFile&) = delete;

  // Opens the existing block of that name, taking FSize from its bytes 0..3 (the creator's size wins,
  // bounded by the block's real size); or creates it size + 4 bytes long and records size there. A
  // block that cannot be had (or a size below 0) leaves this closed with FSize 0.
  void SetupMap(const UnicodeString& name, int32_t size);
  // Unmaps; FSize becomes 0.
  void Close();
  // SetupMap again under the same name when closed; nothing when open.
  void Remap(int32_t size);
  // The address of offset in the view; nil when closed or when offset lies outside the view.
  uint8_t* ConvertPointer(int32_t offset) const;
  // Write or read a 32-bit little-endian value at offset. An access outside FSize (or the view) asks
  // HandleException, and is tried once more when it answers true; otherwise it raises EWriteError /
  // EReadError.
  void SetMemL(int32_t offset, int32_t value);
  int32_t GetMemL(int32_t offset);
  // Whether an access that failed at offset may be tried again: here, when offset lies within FSize.
  virtual bool HandleException(uint8_t* address, int32_t offset);

  const UnicodeString& MapName() const { return fMapname; }
  // The number of bytes, counted from the size word, that the block is taken to hold.
  int32_t Size() const { return FSize; }
  bool IsOpen() const { return fBase != nullptr; }
  // The start of the view (nil when closed).
  uint8_t* Base() const { return fBase; }
  // The platform handle of the block, 0 when closed.
  uint32_t MapHandle() const { return fBlock.IsOpen() ? static_cast<uint32_t>(fBlock.Handle()) + 1 : 0; }
  // Whether this process created the block (and so removes its name when closing).
  bool CreatedBlock() const { return fBlock.Created(); }

 protected:
  // Whether count bytes at offset lie inside the view.
  bool InView(int64_t offset, int64_t count) const {
    return fBase && offset >= 0 && count >= 0 && offset + count <= static_cast<int64_t>(fBlock.Length());
  }

  UnicodeString fMapname;
  int32_t FSize = 0;
  uint8_t* fBase = nullptr;
  uint8_t* FOffset = nullptr;
  TSharedMemoryBlock fBlock;
};

// The name prefix of every list block.
inline constexpr std::u16string_view FlexibleSizeMapPrefix = u"lexpool_compartilhar";

// A block named FlexibleSizeMapPrefix + name, read and written at a moving position.
class TFlexibleSizeMap : public TMemoryMapFile {
 public:
  TFlexibleSizeMap(const UnicodeString& name, int32_t size);

  // Closes and maps again when FSize differs from size (another process's block may still win).
  void Checksize(int32_t size);
  // The address of FPosition (nil when outside the view).
  uint8_t* PositionPtr() const { return ConvertPointer(FPosition); }
  // FPosition := offset; copies min(count, FSize - offset) bytes to buffer and moves FPosition after
  // them; returns the bytes copied (0 for count < 0 or an offset outside 0 .. FSize - 1).
  int32_t ReadFromMemmap(void* buffer, int32_t offset, int32_t count);
  // FPosition := offset; copies count bytes to offset and moves FPosition after them. Writes nothing
  // and answers false when they would not fit in the view.
  bool WriteToMemmap(const void* buffer, int32_t offset, int32_t count);

  int32_t Position() const { return FPosition; }
  void SetPosition(int32_t value) { FPosition = value; }

 protected:
  int32_t FPosition = 0;
};

// A pointer list that copies its entries into the shared block named after it and loads them back in
// another process. Block layout (little-endian): a 32-bit total (4 plus every entry's size), then per
// entry a 32-bit length L > 0 and L bytes that the descendant writes and reads.
class TMyStreamMemList : public TList {
 public:
  // Opens (or makes, 4 bytes of data) the block FlexibleSizeMapPrefix + name.
  explicit TMyStreamMemList(const UnicodeString& name);
  ~TMyStreamMemList() override;

  // Writes every entry into the block, re-made at the right size first; true when all were written.
  bool CopyToMemmap();
  // CopyToMemmap, then Clear; afterwards the entries live only in the block.
  bool MoveToMemmap();
  // Clears the list and appends the block's entries. False for a block of fewer than 4 bytes and when
  // an entry reads short; the entries before a fault stay. The block is only read.
  bool LoadFromMemmap();

  // True after MoveToMemmap; false after construction and after LoadFromMemmap.
  bool data_only_in_memmap = false;
  // The block (owned).
  std::unique_ptr<TFlexibleSizeMap> memmap;

 protected:
  // Bytes entry i takes in the block, its 4-byte length included.
  virtual int32_t SizeofHolderData(int32_t i) = 0;
  // Writes entry i (length and data) at memmap->Position() and advances it; false when it failed.
  virtual bool WriteHolderToMap(int32_t i) = 0;
  // Reads one entry of CurrentEntryLength() bytes from memmap->Position() (just after its length),
  // appends it and returns the data bytes read.
  virtual int32_t ReadHolderFromMap() = 0;
  // The length L of the entry ReadHolderFromMap is to read.
  int32_t CurrentEntryLength() const { return fEntryLength; }

 private:
  int32_t fEntryLength = 0;
};

// A list of UTF-16 strings held as NUL-terminated heap strings (MyNewPChar), passed through the block
// with each entry's data being its code units and a NUL unit.
class TWideStringMemList : public TMyStreamMemList {
 public:
  using TMyStreamMemList::TMyStreamMemList;
  ~TWideStringMemList() override;

  // Appends a copy of s (up to its first NUL) and returns its index.
  int32_t AddString(std::u16string_view s);
  // The string of entry i.
  UnicodeString Strings(int32_t i) const;
  // Free the strings as they leave the list.
  void Delete(int32_t Index) override;
  void Clear() override;

 protected:
  int32_t SizeofHolderData(int32_t i) override;
  bool WriteHolderToMap(int32_t i) override;
  int32_t ReadHolderFromMap() override;
};

}  // namespace kx8
