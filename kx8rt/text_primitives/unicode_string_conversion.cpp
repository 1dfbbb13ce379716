#include "kx8rt/text_primitives/unicode_string_conversion.h"

#include <cstring>

#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/last_error.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace kx8 {

namespace {

// Strict UTF-8 to UTF-16; false on any malformed sequence.
bool DecodeUTF8Strict(const uint8_t* p, size_t n, UnicodeString& out) {
  if (!IsValidUTF8(p, n)) return false;
  out = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(p), n));
  return true;
}

UnicodeString DecodeUTF16(const uint8_t* p, size_t n, bool bigEndian) {
  UnicodeString out(n / 2, u'\0');  // a lone last byte has no unit to belong to
  for (size_t i = 0; i < n / 2; ++i)
    out[i] = bigEndian ? static_cast<char16_t>(p[2 * i] << 8 | p[2 * i + 1])
                       : static_cast<char16_t>(p[2 * i + 1] << 8 | p[2 * i]);
  return out;
}

UnicodeString DecodeASCII(const uint8_t* p, size_t n) {
  UnicodeString out(n, u'\0');
  for (size_t i = 0; i < n; ++i) out[i] = p[i] < 0x80 ? p[i] : u'?';
  return out;
}

bool ReadNumber(std::u16string_view s, int32_t& value) { return !s.empty() && TryStrToInt(s, value); }

}  // namespace

UnicodeString AnsiConvertedToString(int32_t CodePage, const char* P, int32_t Len) {
  if (!P || Len < 1) return {};
  UnicodeString out(static_cast<size_t>(Len), u'\0');
  const int32_t n = MultiByteToWideChar(static_cast<uint32_t>(CodePage), 0, P, Len, out.data(), Len);
  out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return out;
}

UnicodeString AnsiConvertedToString(uint32_t AnLCID, const char* P) {
  if (!P) return {};
  return AnsiConvertedToString(static_cast<int32_t>(LCIDToAnsiCodePage(AnLCID)), P,
                               static_cast<int32_t>(std::strlen(P)));
}

UnicodeString AnsiConvertedToString(const char* P) {
  if (!P) return {};
  return AnsiConvertedToString(static_cast<int32_t>(GetACP()), P, static_cast<int32_t>(std::strlen(P)));
}

UnicodeString ConvertedStringToUnicode(const std::vector<uint8_t>& Bytes) {
  if (Bytes.empty()) return {};
  const uint8_t* p = Bytes.data();
  size_t n = Bytes.size();
  UnicodeString out;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    out = DecodeUTF16(p + 2, n - 2, false);
    p += 2, n -= 2;
  } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    out = DecodeUTF16(p + 2, n - 2, true);
    p += 2, n -= 2;
  } else {
    if (n >= 3 && IsUTF8SignatureA(p)) p += 3, n -= 3;
    if (!DecodeUTF8Strict(p, n, out)) out.clear();
  }
  if (out.empty()) out = DecodeASCII(p, n);
  return out;
}

UnicodeString ConvertedStringToUnicode(std::string_view S) {
  return ConvertedStringToUnicode(std::vector<uint8_t>(S.begin(), S.end()));
}

UnicodeString ConvertedStringToUnicode(const char* P) {
  if (!P) return {};
  return ConvertedStringToUnicode(std::string_view(P));
}

bool ConvertedStringlistToUnicode(TStringList& List) {
  const std::optional<TEncoding>& enc = List.Encoding();
  if (!enc || enc->IsUTF16()) return false;
  const std::string bytes = enc->GetBytes(List.Text());
  // Only bytes that really are UTF-8 are re-read as such: 8-bit text that is no UTF-8 already reads
  // right in its own code page, and the 7-bit fall-back would turn its accented letters into "?".
  if (IsValidUTF8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
    List.SetText(ConvertedStringToUnicode(std::string_view(bytes)));
  return true;
}

UnicodeString EnsurePrecomposed(const UnicodeString& S) {
  if (S.empty()) return {};
  // Composition never lengthens the text, so a buffer of S's size always suffices.
  UnicodeString out(S.size(), u'\0');
  const int32_t n = FoldStringW(MAP_PRECOMPOSED, S.data(), static_cast<int32_t>(S.size()), out.data(),
                                static_cast<int32_t>(out.size()));
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    return out;
  }
  const uint32_t err = GetLastPlatformError();
  if (err == ERROR_INVALID_PARAMETER || err == ERROR_INSUFFICIENT_BUFFER || err == ERROR_INVALID_FLAGS)
    throw EOSError(u"System Error.  Code: " + IntToStr(err) + u".  Precomposing text failed",
                   static_cast<int32_t>(err));
  return S;
}

int32_t MyFormatValidNumberStr(UnicodeString& S) {
  int32_t last = -1;
  // "{CHR(n)}", letters in any case.
  size_t from = 0;
  while (from < S.size()) {
    size_t at = UnicodeString::npos;
    for (size_t i = from; i + 5 <= S.size(); ++i) {
      if (S[i] == u'{' && (S[i + 1] | 0x20) == u'c' && (S[i + 2] | 0x20) == u'h' && (S[i + 3] | 0x20) == u'r' &&
          S[i + 4] == u'(') {
        at = i;
        break;
      }
    }
    if (at == UnicodeString::npos) break;
    const size_t close = S.find(u")}", at + 5);
    int32_t code;
    if (close == UnicodeString::npos) break;
    if (!ReadNumber(std::u16string_view(S).substr(at + 5, close - at - 5), code)) {
      from = at + 1;  // not a number: leave this notation and look further on
      continue;
    }
    MyYieldProcess();
    S.replace(at, close + 2 - at, 1, static_cast<char16_t>(code & 0xFFFF));
    last = code & 0xFFFF;
    from = at + 1;
  }
  // "#" and decimal digits.
  from = 0;
  while (from < S.size()) {
    const size_t at = S.find(u'#', from);
    if (at == UnicodeString::npos) break;
    size_t end = at + 1;
    while (end < S.size() && S[end] >= u'0' && S[end] <= u'9') ++end;
    int32_t code;
    if (end == at + 1 || !TryStrToInt(std::u16string_view(S).substr(at + 1, end - at - 1), code)) {
      from = at + 1;
      continue;
    }
    MyYieldProcess();
    S.replace(at, end - at, 1, static_cast<char16_t>(code & 0xFFFF));
    last = code & 0xFFFF;
    from = at + 1;
  }
  return last;
}

}  // namespace kx8
