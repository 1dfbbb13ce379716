// Character-type classification with the classic type-1 bits, Unicode categories, case mapping and
// precomposed normalisation, on ICU.
// (Declarations agreed first so that the text primitives can be written against them; the
// implementation lives in char_classes.cpp.)
#pragma once

#include <cstdint>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Type-1 classes, as the classic service reports them.
inline constexpr uint16_t C1_UPPER = 0x0001;
inline constexpr uint16_t C1_LOWER = 0x0002;
inline constexpr uint16_t C1_DIGIT = 0x0004;
inline constexpr uint16_t C1_SPACE = 0x0008;
inline constexpr uint16_t C1_PUNCT = 0x0010;
inline constexpr uint16_t C1_CNTRL = 0x0020;
inline constexpr uint16_t C1_BLANK = 0x0040;
inline constexpr uint16_t C1_XDIGIT = 0x0080;
inline constexpr uint16_t C1_ALPHA = 0x0100;
inline constexpr uint16_t C1_DEFINED = 0x0200;

// Information types of GetStringTypeEx*; only type 1 is provided.
inline constexpr uint32_t CT_CTYPE1 = 0x0001;

// Fills charType[0..cchSrc) with the type-1 word of each UTF-16 unit of src under Locale.
// False (nothing written) for a null pointer, cchSrc < 1, another info type or an unknown locale.
bool GetStringTypeExW(LCID Locale, uint32_t dwInfoType, const char16_t* src, int32_t cchSrc, uint16_t* charType);
// As GetStringTypeExW for 8-bit text, each byte read through the locale's 8-bit code page.
bool GetStringTypeExA(LCID Locale, uint32_t dwInfoType, const char* src, int32_t cchSrc, uint16_t* charType);

}  // namespace kx8
