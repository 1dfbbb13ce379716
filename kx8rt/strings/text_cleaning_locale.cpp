// Linguistic (locale) casing of zero-terminated buffers in place, kept apart from the rest of text
// cleaning because it needs the platform's locale and code-page services.
#include <cstring>
#include <string>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/strings/text_cleaning.h"

namespace kx8 {

namespace {

// Cases a zero-terminated buffer in place, one character for one; returns what the platform's
// mapping reports (the characters with the terminating zero), or 0 when nothing could be mapped.
int32_t CaseBuffer(LCID locale, void* buffer, bool isUnicode, bool upper) {
  if (buffer == nullptr) return 0;
  const uint32_t flags = (upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE) | LCMAP_LINGUISTIC_CASING;
  if (isUnicode) {
    auto* text = static_cast<char16_t*>(buffer);
    const size_t n = std::char_traits<char16_t>::length(text);
    if (n >= static_cast<size_t>(INT32_MAX)) return 0;
    return LCMapStringW(locale, flags, text, -1, text, static_cast<int32_t>(n) + 1);
  }
  auto* bytes = static_cast<char*>(buffer);
  const size_t n = std::strlen(bytes);
  if (n >= static_cast<size_t>(INT32_MAX)) return 0;
  // A locale without an 8-bit code page reports 0, which reads the text in the system code page.
  const uint32_t codePage = LCIDToAnsiCodePage(locale);
  UnicodeString wide = AnsiToUnicode(std::string_view(bytes, n), codePage);
  const int32_t mapped = LCMapStringW(locale, flags, wide.c_str(), -1, wide.data(), static_cast<int32_t>(wide.size()) + 1);
  if (mapped == 0) return 0;
  const AnsiString back = UnicodeToAnsi(wide, codePage);
  // Double-byte code pages can need another byte count for a cased character, and the buffer
  // cannot grow: such text is left as it was.
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
