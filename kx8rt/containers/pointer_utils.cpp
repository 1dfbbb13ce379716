#include "kx8rt/containers/pointer_utils.h"

namespace kx8 {

int32_t CompareLCIDPchar(LCID lcid, const char16_t* a, const char16_t* b) {
  if (!a || !b) return -2;
  return CompareStringW(lcid, my_default_sort, a, -1, b, -1) - 2;
}

}  // namespace kx8
