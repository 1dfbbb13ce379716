// Feeds arbitrary bytes to the base-list stream readers: the first byte picks the row width of a
// TMultiLongintList (and a string limit), the rest is the stream. A read must end in true, false or
// the read error, never in a crash, and whatever was loaded must be readable and savable again.
#include <cstddef>
#include <cstdint>

#include "kx8rt/containers/useful_classes_base.h"
#include "kx8rt/platform/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size == 0) return 0;
  const auto width = static_cast<TMultiLongintSize>(data[0] % 7);
  const int32_t limit = (data[0] >> 3) * 16;
  // Keep a damaged count from asking for millions of entries in one run.
  const int32_t savedLimit = global_list_count_safety_limit;
  global_list_count_safety_limit = 4096;

  TMemoryStream stream;
  if (size > 1) stream.Write(data + 1, static_cast<int32_t>(size - 1));

  stream.SetPosition(0);
  TMultiLongintList list(width);
  try {
    list.ReadFromStream(stream);
  } catch (const EReadError&) {
  }
  int32_t sum = 0;
  for (int32_t i = 0; i < list.Count(); ++i) sum += list.GetAValue(i, tml_0) & 1;
  list.TripleSort(tml_0, width > 1 ? tml_1 : tml_0, tml_2);
  TMemoryStream out;
  list.SaveToStream(out);

  stream.SetPosition(0);
  try {
    while (stream.Position() < stream.Size()) {
      const int64_t before = stream.Position();
      ReadAString(stream, limit);
      if (stream.Position() == before) break;
    }
  } catch (const EReadError&) {
  }

  stream.SetPosition(0);
  TUsefulBaseList strings(ClassOf<T2StringsAnd2IntegersHolder>());
  try {
    strings.ReadFromStream(stream);
  } catch (const EReadError&) {
  }

  global_list_count_safety_limit = savedLimit;
  return sum == -1 ? 1 : 0;
}
