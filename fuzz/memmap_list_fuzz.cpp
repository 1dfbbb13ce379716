// Fuzz target for loading a list of UTF-16 strings from a shared block holding arbitrary bytes: the
// load must end, keep inside the block and leave it unchanged.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kx8rt/containers/my_streammemlists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size == 0 || size > 65536) return 0;
  const UnicodeString name = u"kx8fuzz_" + IntToStr(getpid());
  const UnicodeString full = UnicodeString(FlexibleSizeMapPrefix) + name;
  TSharedMemoryBlock block;  // the "other process" that left these bytes; removes the block at the end
  if (!block.OpenOrCreate(full, size) || !block.Created()) {
    RemoveSharedMemory(full);
    return 0;
  }
  std::memcpy(block.Data(), data, size);
  {
    TWideStringMemList reader(name);
    (void)reader.LoadFromMemmap();
    for (int32_t i = 0; i < reader.Count(); ++i) (void)reader.Strings(i);
  }
  if (std::memcmp(block.Data(), data, size) != 0) std::abort();
  return 0;
}
