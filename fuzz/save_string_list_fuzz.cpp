// The binary form of the saving string list from any bytes: a load either succeeds or raises the
// read error, never more; what loads saves and loads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/platform/exceptions.h"

using namespace kx8;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool objects = data[0] & 1;
  TMemoryStream in;
  if (size > 1) in.WriteBuffer(data + 1, static_cast<int64_t>(size - 1));
  in.SetPosition(0);
  TMySaveStringList list(objects);
  try {
    list.LoadFromStream(in);
  } catch (const EReadError&) {
    return 0;
  }
  TMemoryStream out;
  list.SaveToStream(out);
  out.SetPosition(0);
  TMySaveStringList back(objects);
  back.LoadFromStream(out);
  if (back.Count() != list.Count()) std::abort();
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (back.Get(i) != list.Get(i)) std::abort();
    if (objects && back.Integers(i) != list.Integers(i)) std::abort();
  }
  return 0;
}
