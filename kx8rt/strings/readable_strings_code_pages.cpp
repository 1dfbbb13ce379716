// The code-page half of the readable string routines, kept apart because it needs the platform's
// conversion tables.
#include <algorithm>
#include <cstring>
#include <vector>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/strings/readable_strings.h"

namespace kx8 {

namespace {

// Bytes needed for the first n units of text in codePage; 0 when the conversion fails.
int32_t BytesNeeded(uint32_t codePage, const char16_t* text, int32_t n) {
  return n == 0 ? 0 : WideCharToMultiByte(codePage, 0, text, n, nullptr, 0, nullptr, nullptr);
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

AnsiString ConvertedFromString(int32_t codePage, const char16_t* text) {
  if (text == nullptr) return AnsiString();
  const size_t units = std::char_traits<char16_t>::length(text);
  if (units == 0 || units > static_cast<size_t>(INT32_MAX)) return AnsiString();
  const auto cp = static_cast<uint32_t>(codePage);
  int32_t n = static_cast<int32_t>(units);
  // The result may take no more bytes than the text has units. When the whole text needs more,
  // keep the longest prefix of whole characters that fits rather than a split character.
  if (BytesNeeded(cp, text, n) > n) {
    int32_t lo = 0, hi = n;  // lo fits, hi does not
    while (hi - lo > 1) {
      const int32_t mid = lo + (hi - lo) / 2;
      const int32_t need = BytesNeeded(cp, text, mid);
      if (need > 0 && need <= static_cast<int32_t>(units)) lo = mid;
      else hi = mid;
    }
    n = lo;
    if (n > 0 && IsHighSurrogate(text[n - 1])) --n;  // never end on half a pair
  }
  if (n == 0) return AnsiString();
  std::vector<char> buffer(units);
  const int32_t written = WideCharToMultiByte(cp, 0, text, n, buffer.data(), static_cast<int32_t>(units), nullptr,
                                              nullptr);
  if (written <= 0) return AnsiString();
  return AnsiString(buffer.data(), static_cast<size_t>(written));
}

AnsiString ConvertedFromString(LCID locale, const UnicodeString& text) {
  // A locale without an 8-bit code page reports 0, which converts with the system code page.
  return ConvertedFromString(static_cast<int32_t>(LCIDToAnsiCodePage(locale)), text.c_str());
}

AnsiString ConvertedFromString(const UnicodeString& text) {
  return ConvertedFromString(static_cast<int32_t>(CP_ACP), text.c_str());
}

char* GetCopyOfSTringEncodedAsAnsi(const UnicodeString& s, LCID locale) {
  return GetCopyOfAnsiEncodedAsAnsi(ConvertedFromString(locale, s), 0);
}

}  // namespace kx8
