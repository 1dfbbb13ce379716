// Linguistic (locale) casing of zero-terminated buffers in place, kept apart from the rest of text
// cleaning because it needs the platform's locale and code-page services.
#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <cstring>
#include <string>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/strings/text_cleaning.h"

namespace kx8 {

namespace {

// The ICU locale name of an identifier; the root locale (plain Unicode casing) when ICU knows none.
std::string IcuLocaleOf(LCID locale) {
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = uloc_getLocaleForLCID(locale, name, ULOC_FULLNAME_CAPACITY, &status);
  if (U_FAILURE(status) || n <= 0) return std::string();
  return std::string(name, static_cast<size_t>(n));
}

// Maps text[0..n) in place, one character for one: each code point gets the locale's full mapping
// when that is a single character of the same UTF-16 length, and stays as it is otherwise (so that
// the buffer never grows, as linguistic casing of a buffer never does).
void MapInPlace(char16_t* text, int32_t n, const char* localeName, bool upper) {
  int32_t i = 0;
  while (i < n) {
    const int32_t start = i;
    UChar32 c;
    U16_NEXT(text, i, n, c);
    UChar src[2];
    int32_t srcLen = 0;
    U16_APPEND_UNSAFE(src, srcLen, c);
    UChar dst[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t m = upper ? u_strToUpper(dst, 8, src, srcLen, localeName, &status)
                            : u_strToLower(dst, 8, src, srcLen, localeName, &status);
    if (U_FAILURE(status) || m != i - start) continue;
    int32_t k = 0;
    UChar32 mapped;
    U16_NEXT(dst, k, m, mapped);
    if (k != m) continue;  // more than one character
    std::memcpy(text + start, dst, static_cast<size_t>(m) * sizeof(char16_t));
  }
}

// Cases a zero-terminated buffer in place; returns the characters mapped with the terminating zero,
// or 0 when 8-bit text cannot be mapped without changing its byte length.
int32_t CaseBuffer(LCID locale, void* buffer, bool isUnicode, bool upper) {
  if (buffer == nullptr) return 0;
  const std::string localeName = IcuLocaleOf(locale);
  if (isUnicode) {
    auto* text = static_cast<char16_t*>(buffer);
    const size_t n = std::char_traits<char16_t>::length(text);
    if (n >= static_cast<size_t>(INT32_MAX)) return 0;
    MapInPlace(text, static_cast<int32_t>(n), localeName.c_str(), upper);
    return static_cast<int32_t>(n) + 1;
  }
  auto* bytes = static_cast<char*>(buffer);
  const size_t n = std::strlen(bytes);
  if (n >= static_cast<size_t>(INT32_MAX)) return 0;
  if (n == 0) return 1;
  // A locale without an 8-bit code page reports 0, which reads the text in the system code page.
  const uint32_t codePage = LCIDToAnsiCodePage(locale);
  UnicodeString wide = AnsiToUnicode(std::string_view(bytes, n), codePage);
  MapInPlace(wide.data(), static_cast<int32_t>(wide.size()), localeName.c_str(), upper);
  const AnsiString back = UnicodeToAnsi(wide, codePage);
  // Double-byte code pages can need another byte count for a cased character; the buffer cannot grow.
  if (back.size() != n) return 0;
  std::memcpy(bytes, back.data(), n);
  return static_cast<int32_t>(n) + 1;
}

}  // namespace

void* WinLowerCased(LCID locale, void* buffer, bool isUnicode) {
  CaseBuffer(locale, buffer, isUnicode, false);
  return buffer;
}

void* WinUpperCased(LCID locale, void* buffer, bool isUnicode) {
  CaseBuffer(locale, buffer, isUnicode, true);
  return buffer;
}

int32_t Capitalise(LCID locale, void* buffer, bool isUnicode) { return CaseBuffer(locale, buffer, isUnicode, true); }

}  // namespace kx8
