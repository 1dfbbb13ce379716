// Code pages: conversion between 8-bit (or multi-byte) text and UTF-16, and the system 8-bit code page.
// (Declarations agreed first; the implementation lives in code_pages.cpp.)
#pragma once

#include <cstdint>
#include <string_view>

#include "kx8rt/platform/strings.h"

namespace kx8 {

inline constexpr uint32_t CP_ACP = 0;       // the system 8-bit code page
inline constexpr uint32_t CP_UTF8 = 65001;

// The system 8-bit code page: 1252 unless a tool sets another.
uint32_t GetACP();
void SetSystemCodePage(uint32_t codePage);

// The classic conversion calls: with a null destination or a zero size they return the size needed;
// otherwise the number of units written, or 0 on failure (unknown code page, destination too small).
int32_t MultiByteToWideChar(uint32_t CodePage, uint32_t dwFlags, const char* src, int32_t cbSrc, char16_t* dst,
                            int32_t cchDst);
int32_t WideCharToMultiByte(uint32_t CodePage, uint32_t dwFlags, const char16_t* src, int32_t cchSrc, char* dst,
                            int32_t cbDst, const char* defaultChar, bool* usedDefaultChar);

// Whole-string forms; codePage CP_ACP means the system code page. Unmappable characters become "?".
UnicodeString AnsiToUnicode(std::string_view bytes, uint32_t codePage = CP_ACP);
AnsiString UnicodeToAnsi(std::u16string_view text, uint32_t codePage = CP_ACP);

}  // namespace kx8
