// Code pages: conversion between 8-bit (or multi-byte) text and UTF-16, and the system 8-bit code page.
// (Declarations agreed first; the implementation lives in code_pages.cpp.)
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "kx8rt/platform/strings.h"

namespace kx8 {

inline constexpr uint32_t CP_ACP = 0;       // the system 8-bit code page
inline constexpr uint32_t CP_OEMCP = 1;     // the OEM (DOS) code page of the default locale
inline constexpr uint32_t CP_MACCP = 2;     // Mac Roman
inline constexpr uint32_t CP_THREAD_ACP = 3;  // the same as CP_ACP: there is one system code page
inline constexpr uint32_t CP_UTF7 = 65000;
inline constexpr uint32_t CP_UTF8 = 65001;

// Flags of MultiByteToWideChar. MB_COMPOSITE and MB_USEGLYPHCHARS are not provided: asking for them
// fails with ERROR_INVALID_FLAGS.
inline constexpr uint32_t MB_PRECOMPOSED = 0x0001;
inline constexpr uint32_t MB_COMPOSITE = 0x0002;
inline constexpr uint32_t MB_USEGLYPHCHARS = 0x0004;
inline constexpr uint32_t MB_ERR_INVALID_CHARS = 0x0008;

// Flags of WideCharToMultiByte.
inline constexpr uint32_t WC_DISCARDNS = 0x0010;       // with WC_COMPOSITECHECK: drop marks that do not compose
inline constexpr uint32_t WC_SEPCHARS = 0x0020;        // with WC_COMPOSITECHECK: convert them separately (default)
inline constexpr uint32_t WC_DEFAULTCHAR = 0x0040;     // with WC_COMPOSITECHECK: base and marks become the default
inline constexpr uint32_t WC_ERR_INVALID_CHARS = 0x0080;  // UTF-8 only: fail on an unpaired surrogate
inline constexpr uint32_t WC_COMPOSITECHECK = 0x0200;  // compose base + mark sequences first
inline constexpr uint32_t WC_NO_BEST_FIT_CHARS = 0x0400;  // no near-miss mappings: unmappable is the default

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

// Reads text in a code page piece by piece, for texts too large to convert whole: a character whose
// bytes are split between two pieces is completed from the next one, so the pieces give the same units
// as AnsiToUnicode of the whole text (bytes that are no character become U+FFFD, as there).
class TCodePageDecoder {
 public:
  // EEncodingError for a code page that is not available (CP_ACP and the other aliases resolve).
  explicit TCodePageDecoder(uint32_t codePage);
  ~TCodePageDecoder();
  TCodePageDecoder(const TCodePageDecoder&) = delete;
  TCodePageDecoder& operator=(const TCodePageDecoder&) = delete;

  // Appends the units of the next n bytes to out. Bytes of a character not finished by them are held
  // for the next call; last says no more bytes follow, and what is held is then read as it stands.
  void Decode(const char* bytes, size_t n, bool last, UnicodeString& out);
  // Forgets any bytes held, for reading another text from its start.
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> fState;
};

// The OEM code page of the default locale (437 for 0x0409).
uint32_t GetOEMCP();
// True when conversions in codePage are available (CP_ACP and the other aliases included).
bool IsValidCodePage(uint32_t codePage);
// True when byte starts a two-byte character in codePage (always false for single-byte code pages).
bool IsDBCSLeadByteEx(uint32_t codePage, uint8_t byte);
// The 256 UTF-16 units of a single-byte code page (undefined bytes give U+FFFD, except 0x80-0x9F holes,
// which give the C1 control of the same number as the classic tables do); null for multi-byte or
// unknown code pages. The table lives as long as the process.
const char16_t* SingleByteToUnicodeTable(uint32_t codePage);

// Results of IsTextUnicode, and the tests asked for when *lpiResult is given.
inline constexpr int32_t IS_TEXT_UNICODE_ASCII16 = 0x0001;
inline constexpr int32_t IS_TEXT_UNICODE_STATISTICS = 0x0002;
inline constexpr int32_t IS_TEXT_UNICODE_CONTROLS = 0x0004;
inline constexpr int32_t IS_TEXT_UNICODE_SIGNATURE = 0x0008;
inline constexpr int32_t IS_TEXT_UNICODE_REVERSE_ASCII16 = 0x0010;
inline constexpr int32_t IS_TEXT_UNICODE_REVERSE_STATISTICS = 0x0020;
inline constexpr int32_t IS_TEXT_UNICODE_REVERSE_CONTROLS = 0x0040;
inline constexpr int32_t IS_TEXT_UNICODE_REVERSE_SIGNATURE = 0x0080;
inline constexpr int32_t IS_TEXT_UNICODE_ILLEGAL_CHARS = 0x0100;
inline constexpr int32_t IS_TEXT_UNICODE_ODD_LENGTH = 0x0200;
inline constexpr int32_t IS_TEXT_UNICODE_NULL_BYTES = 0x1000;
inline constexpr int32_t IS_TEXT_UNICODE_UNICODE_MASK = 0x000F;
inline constexpr int32_t IS_TEXT_UNICODE_REVERSE_MASK = 0x00F0;
inline constexpr int32_t IS_TEXT_UNICODE_NOT_UNICODE_MASK = 0x0F00;
inline constexpr int32_t IS_TEXT_UNICODE_NOT_ASCII_MASK = 0xF000;

// Statistical test of whether iSize bytes at lpv are UTF-16LE text. With lpiResult null every test runs;
// otherwise *lpiResult names the tests to run and receives those that fired. True when a requested
// positive test fired and no requested negative one did (a little-endian signature always wins).
bool IsTextUnicode(const void* lpv, int32_t iSize, int32_t* lpiResult);

}  // namespace kx8
