// Feeds arbitrary bytes to every reader of the list files' small stream encodings, one after the other
// on the same stream, as a damaged list file would present them. Only EReadError may come out, and no
// count may make a reader allocate more than the stream holds.
#include <cstddef>
#include <cstdint>

#include "kx8rt/files/my_filestream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size == 0) return 0;
  TMemoryStream ms;
  ms.Write(data + 1, static_cast<int32_t>(size - 1));
  const uint8_t order = data[0];
  for (int round = 0; round < 8; ++round) {
    ms.SetPosition(0);
    try {
      for (int step = 0; step < 6; ++step) {
        switch ((order + round + step) % 6) {
          case 0: ReadUnknownLengthPointer(ms, true); break;
          case 1: ReadUnknownLengthPointerMaxSize(ms, false, 1 << 20); break;
          case 2: ReadShortString(ms); break;
          case 3: StreamReadPchar(ms); break;
          case 4: StreamReadPAnsichar(ms); break;
          case 5: ReadUnknownLengthPointerMaxSize(ms, true, 7); break;
        }
      }
    } catch (const EReadError&) {
    }
  }
  return 0;
}
