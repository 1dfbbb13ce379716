// Reads arbitrary bytes as the two folder-list streams: a TMySearchRecList and a TFolderful. Only the
// read error may come out; entries read before it stay and are freed with their list.
#include <cstddef>
#include <cstdint>

#include "kx8rt/files/perusedir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size == 0) return 0;
  TMemoryStream ms;
  ms.Write(data + 1, static_cast<int32_t>(size - 1));
  ms.SetPosition(0);
  try {
    if (data[0] & 1) {
      TFolderful f(u"/x");
      f.ReadFromStream(ms);
      for (int32_t i = 0; i < f.Count(); ++i) f.fGetAFullname(i);
      f.SetCurrentSort(static_cast<TMySearchRecSort>(data[0] >> 1 & 7));
    } else {
      TMySearchRecList l;
      l.ReadFromStream(ms);
      l.SetSort(static_cast<TMySearchRecSort>(data[0] >> 1 & 7));
      if (l.Count() > 0) l.Find(l.GetAMySearchRec(l.Count() / 2));
    }
  } catch (const EReadError&) {
  }
  return 0;
}
