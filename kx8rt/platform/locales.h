// Locale identifiers (LCID) on ICU locales, their code pages and names, and locale-aware comparison.
// (Declarations agreed first; the implementation lives in locales.cpp.)
#pragma once

#include <cstdint>

#include "kx8rt/platform/strings.h"

namespace kx8 {

using LCID = uint32_t;

inline constexpr LCID LOCALE_DEFAULT_LCID = 0x0409;  // English (United States)

// Comparison flags and results of CompareStringW, as the classic call has them.
inline constexpr uint32_t NORM_IGNORECASE = 0x00000001;
inline constexpr uint32_t NORM_IGNORENONSPACE = 0x00000002;
inline constexpr uint32_t NORM_IGNORESYMBOLS = 0x00000004;
inline constexpr uint32_t SORT_STRINGSORT = 0x00001000;
inline constexpr int32_t CSTR_LESS_THAN = 1;
inline constexpr int32_t CSTR_EQUAL = 2;
inline constexpr int32_t CSTR_GREATER_THAN = 3;

// Compares two UTF-16 strings under Locale's collation: 1, 2 or 3 (less, equal, greater), 0 on failure.
// A length of -1 means the string ends at its first NUL.
int32_t CompareStringW(LCID Locale, uint32_t dwCmpFlags, const char16_t* s1, int32_t n1, const char16_t* s2,
                       int32_t n2);

// The locale's 8-bit (ANSI) code page, 0 when it has none.
uint32_t LCIDToAnsiCodePage(LCID Locale);

}  // namespace kx8
