// Locale-aware comparison of zero-terminated texts under the process-wide sort flags.
#pragma once

#include <cstdint>

#include "kx8rt/platform/locales.h"

namespace kx8 {

// CompareStringW flags used by CompareLCIDPchar; 0 unless a tool sets them.
inline uint32_t my_default_sort = 0;

// The platform's locale-aware comparison of two zero-terminated texts with my_default_sort, minus 2:
// -1, 0 or 1, and -2 when the comparison fails (null texts, unknown locale).
int32_t CompareLCIDPchar(LCID lcid, const char16_t* a, const char16_t* b);

}  // namespace kx8
