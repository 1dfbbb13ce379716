#include "kx8rt/containers/my_streammemlists.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "kx8rt/containers/pointer_utils.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

int32_t LoadLE32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

void StoreLE32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

constexpr int32_t kMaxBlockData = std::numeric_limits<int32_t>::max() - 4;

}  // namespace

// ---- TMemoryMapFile ----

TMemoryMapFile::TMemoryMapFile(const UnicodeString& name, int32_t size) : fMapname(name) { SetupMap(name, size); }

TMemoryMapFile::~TMemoryMapFile() { Close(); }

void TMemoryMapFile::SetupMap(const UnicodeString& name, int32_t size) {
  Close();
  fMapname = name;
  if (size < 0 || size > kMaxBlockData) return;
  if (!fBlock.OpenOrCreate(name, static_cast<size_t>(size) + 4)) return;
  fBase = FOffset = fBlock.Data();
  if (fBlock.Created()) {
    StoreLE32(fBase, size);
    FSize = size;
  } else if (fBlock.Length() >= 4) {
    // The creator's size rules, but never beyond what the block really holds.
    const int64_t stored = LoadLE32(fBase);
    FSize = static_cast<int32_t>(std::clamp<int64_t>(stored, 0, std::min<int64_t>(fBlock.Length(), kMaxBlockData)));
  } else {
    FSize = 0;
  }
}

void TMemoryMapFile::Close() {
  fBlock.Close();
  fBase = FOffset = nullptr;
  FSize = 0;
}

void TMemoryMapFile::Remap(int32_t size) {
  if (!IsOpen()) SetupMap(fMapname, size);
}

uint8_t* TMemoryMapFile::ConvertPointer(int32_t offset) const { return InView(offset, 0) ? FOffset + offset : nullptr; }

bool TMemoryMapFile::HandleException(uint8_t*, int32_t offset) { return offset >= 0 && offset < FSize; }

void TMemoryMapFile::SetMemL(int32_t offset, int32_t value) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (offset >= 0 && offset < FSize && InView(offset, 4)) {
      StoreLE32(FOffset + offset, value);
      return;
    }
    if (attempt == 0 && !HandleException(ConvertPointer(offset), offset)) break;
  }
  throw EWriteError(Format(u"Shared memory \"%s\": no 4 bytes at offset %d of %d", {fMapname, offset, FSize}));
}

int32_t TMemoryMapFile::GetMemL(int32_t offset) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (offset >= 0 && offset < FSize && InView(offset, 4)) return LoadLE32(FOffset + offset);
    if (attempt == 0 && !HandleException(ConvertPointer(offset), offset)) break;
  }
  throw EReadError(Format(u"Shared memory \"%s\": no 4 bytes at offset %d of %d", {fMapname, offset, FSize}));
}

// ---- TFlexibleSizeMap ----

TFlexibleSizeMap::TFlexibleSizeMap(const UnicodeString& name, int32_t size)
    : TMemoryMapFile(UnicodeString(FlexibleSizeMapPrefix) + name, size) {}

void TFlexibleSizeMap::Checksize(int32_t size) {
  if (FSize == size) return;
  Close();
  Remap(size);
}

int32_t TFlexibleSizeMap::ReadFromMemmap(void* buffer, int32_t offset, int32_t count) {
  FPosition = offset;
  if (count < 0 || offset < 0 || offset >= FSize) return 0;
  // FSize never exceeds the view, so the copy stays inside it.
  const int32_t n = std::min(count, FSize - offset);
  if (!InView(offset, n)) return 0;
  std::memcpy(buffer, FOffset + offset, static_cast<size_t>(n));
  FPosition = offset + n;
  return n;
}

bool TFlexibleSizeMap::WriteToMemmap(const void* buffer, int32_t offset, int32_t count) {
  FPosition = offset;
  if (!InView(offset, count)) return false;
  if (count > 0) std::memcpy(FOffset + offset, buffer, static_cast<size_t>(count));
  FPosition = offset + count;
  return true;
}

// ---- TMyStreamMemList ----

TMyStreamMemList::TMyStreamMemList(const UnicodeString& name) : memmap(std::make_unique<TFlexibleSizeMap>(name, 4)) {}

TMyStreamMemList::~TMyStreamMemList() = default;

bool TMyStreamMemList::CopyToMemmap() {
  int64_t total = 4;
  for (int32_t i = 0; i < Count(); ++i) {
    const int32_t size = SizeofHolderData(i);
    if (size < 4) return false;  // every entry carries at least its length
    total += size;
    if (total > kMaxBlockData) return false;
  }
  memmap->Checksize(static_cast<int32_t>(total));
  if (!memmap->IsOpen() || memmap->Size() < total) return false;
  uint8_t word[4];
  StoreLE32(word, static_cast<int32_t>(total));
  bool ok = memmap->WriteToMemmap(word, 0, 4);
  for (int32_t i = 0; i < Count() && ok; ++i) {
    MyYieldProcess();
    ok = WriteHolderToMap(i);
  }
  return ok;
}

bool TMyStreamMemList::MoveToMemmap() {
  const bool result = CopyToMemmap();
  Clear();
  data_only_in_memmap = true;
  return result;
}

bool TMyStreamMemList::LoadFromMemmap() {
  Clear();
  data_only_in_memmap = false;
  if (memmap->Size() < 4) return false;
  uint8_t word[4] = {};
  bool result = memmap->ReadFromMemmap(word, 0, 4) > 0;
  memmap->Checksize(LoadLE32(word));
  int64_t position = 4;
  while (position < memmap->Size()) {
    MyYieldProcess();
    if (memmap->ReadFromMemmap(word, static_cast<int32_t>(position), 4) < 4) break;
    fEntryLength = LoadLE32(word);
    if (fEntryLength <= 0) break;
    const int32_t read = ReadHolderFromMap();
    if (read != fEntryLength) {
      result = false;  // an entry running past the block, or one its reader refused
      break;
    }
    position += int64_t{fEntryLength} + 4;
  }
  return result;
}

// ---- TWideStringMemList ----

TWideStringMemList::~TWideStringMemList() { TWideStringMemList::Clear(); }

int32_t TWideStringMemList::AddString(std::u16string_view s) {
  const UnicodeString copy(s.substr(0, s.find(u'\0')));
  return Add(MyNewPChar(copy.c_str()));
}

UnicodeString TWideStringMemList::Strings(int32_t i) const { return UnicodeString(static_cast<const char16_t*>(Get(i))); }

void TWideStringMemList::Delete(int32_t Index) {
  char16_t* p = static_cast<char16_t*>(Get(Index));
  TMyStreamMemList::Delete(Index);
  DeletePChar(p);
}

void TWideStringMemList::Clear() {
  for (int32_t i = 0; i < Count(); ++i) DeletePChar(static_cast<char16_t*>(Get(i)));
  TMyStreamMemList::Clear();
}

int32_t TWideStringMemList::SizeofHolderData(int32_t i) {
  const int64_t size = 4 + 2 * (int64_t{StrLenW(static_cast<const char16_t*>(Get(i)))} + 1);
  return size > kMaxBlockData ? -1 : static_cast<int32_t>(size);
}

bool TWideStringMemList::WriteHolderToMap(int32_t i) {
  const auto* p = static_cast<const char16_t*>(Get(i));
  const uint32_t units = StrLenW(p) + 1;
  std::vector<uint8_t> bytes(4 + 2 * size_t{units});
  StoreLE32(bytes.data(), static_cast<int32_t>(2 * units));
  for (uint32_t k = 0; k < units; ++k) {
    bytes[4 + 2 * k] = static_cast<uint8_t>(p[k]);
    bytes[5 + 2 * k] = static_cast<uint8_t>(p[k] >> 8);
  }
  return memmap->WriteToMemmap(bytes.data(), memmap->Position(), static_cast<int32_t>(bytes.size()));
}

int32_t TWideStringMemList::ReadHolderFromMap() {
  const int32_t length = CurrentEntryLength();
  // Never trust the length for the allocation: take at most what the block still holds.
  const int32_t available = std::max(0, std::min(length, memmap->Size() - memmap->Position()));
  std::vector<uint8_t> bytes(static_cast<size_t>(available));
  const int32_t read = memmap->ReadFromMemmap(bytes.data(), memmap->Position(), available);
  if (read < length) return read;  // the entry runs past the block: not appended
  if (length % 2 != 0) return 0;   // not whole code units: refused
  UnicodeString s;
  s.reserve(static_cast<size_t>(read / 2));
  for (int32_t k = 0; k + 1 < read; k += 2) {
    const char16_t c = static_cast<char16_t>(bytes[k] | (bytes[k + 1] << 8));
    if (c == 0) break;
    s += c;
  }
  AddString(s);
  return read;
}

}  // namespace kx8
