#include "kx8rt/strings/readable_strings.h"

#include <algorithm>
#include <cstring>

#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

bool IsHexSignal(char16_t c) { return c == u'X' || c == u'x' || c == u'$' || c == u'H' || c == u'h'; }

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// 0-based index of "{CHR(" in s at or after from, letters matched without case; npos when absent.
// Folding ASCII only is exact here: no other character upper-cases to C, H or R.
size_t FindBraceOpener(const UnicodeString& s, size_t from) {
  static constexpr char16_t kOpener[] = u"{CHR(";
  constexpr size_t n = 5;
  for (size_t i = from; i + n <= s.size(); ++i) {
    size_t k = 0;
    while (k < n && AsciiUpper(s[i + k]) == kOpener[k]) ++k;
    if (k == n) return i;
  }
  return UnicodeString::npos;
}

}  // namespace

UnicodeString BracedNumberStrToDigitalformat(const UnicodeString& t) {
  UnicodeString u = UpperCase(t);
  if (!u.empty() && u.front() == u'X') u.front() = u'$';
  if (!u.empty() && u.back() == u'H') {
    u.pop_back();
    u.insert(u.begin(), u'$');
  }
  return u;
}

UnicodeString KXFormattedReadableStringToWorkString(const UnicodeString& s) {
  UnicodeString result = s;

  // Brace pass. Positions below are 0-based; p only ever moves forward, so the pass ends.
  size_t from = 0;
  for (;;) {
    MyYieldProcess();
    const size_t p = FindBraceOpener(result, from);
    if (p == UnicodeString::npos) break;
    const size_t q = result.find(u")}", p);
    // Stop at an opener with no closer after it, or with nothing between the two.
    if (q == UnicodeString::npos || q <= p + 5) break;
    const UnicodeString code = BracedNumberStrToDigitalformat(result.substr(p + 5, q - p - 5));
    int32_t value;
    if (TryStrToInt(code, value)) result.replace(p, q - p + 2, 1, static_cast<char16_t>(value & 0xFFFF));
    from = p + 1;
  }

  // Hash pass. Every decode replaces at least two characters by one, so the pass ends.
  for (;;) {
    MyYieldProcess();
    const size_t p = result.find(u'#');
    if (p == UnicodeString::npos) break;
    const size_t len = result.size();
    size_t e = p;
    while (e + 1 < len && IsHexSignal(result[e + 1])) ++e;
    size_t f;
    UnicodeString code;
    if (e > p) {
      f = e;
      while (f + 1 < len && IsHexDigit(result[f + 1])) ++f;
      code.assign(1, u'$');
      code.append(result, e + 1, f - e);
      if (f + 1 < len && result[f + 1] == u';') ++f;
    } else {
      f = p;
      while (f + 1 < len && result[f + 1] >= u'0' && result[f + 1] <= u'9') ++f;
      code = result.substr(p + 1, f - p);
    }
    int32_t value;
    // The first "#" that does not begin a readable code ends the pass.
    if (!TryStrToInt(code, value)) break;
    result.replace(p, f - p + 1, 1, static_cast<char16_t>(value & 0xFFFF));
  }
  return result;
}

UnicodeString KXFormattedWorkStringToReadableString(const UnicodeString& s, int32_t limit) {
  UnicodeString result;
  result.reserve(s.size());
  for (const char16_t c : s) {
    if (static_cast<int32_t>(c) < limit) {
      result += u"{CHR(";
      result += IntToStr(c);
      result += u")}";
    } else {
      result += c;
    }
  }
  return result;
}

UnicodeString ToHexNumStr(const UnicodeString& s) {
  UnicodeString result;
  result.reserve(s.size() * 3);
  for (const char16_t c : s) {
    result += IntToHex(c, 2);
    result += u',';
  }
  return result;
}

UnicodeString FromHexNumStr(const UnicodeString& t) {
  UnicodeString result;
  for (size_t k = 0; k + 3 <= t.size(); k += 3) {
    const int hi = HexValue(t[k]);
    const int lo = HexValue(t[k + 1]);
    // A pair that is not hexadecimal is skipped rather than read as U+0000, which would cut the
    // string short wherever it is handed on as zero-terminated text.
    if (hi < 0 || lo < 0) continue;
    result += static_cast<char16_t>(hi * 16 + lo);
  }
  return result;
}

UnicodeString ToNumStr(const UnicodeString& s) {
  UnicodeString result;
  result.reserve(s.size() * 4);
  for (const char16_t c : s) result += IntToHex(c, 4);
  return result;
}

UnicodeString FromNumStr(const UnicodeString& t) {
  UnicodeString result;
  for (size_t k = 0; k + 4 <= t.size(); k += 4) {
    unsigned value = 0;
    bool ok = true;
    for (size_t i = 0; i < 4 && ok; ++i) {
      const int d = HexValue(t[k + i]);
      ok = d >= 0;
      value = value * 16 + static_cast<unsigned>(d);
    }
    if (ok) result += static_cast<char16_t>(value);
  }
  return result;
}

char16_t WideCharFromCardinal(uint32_t c) { return c < 65536 ? static_cast<char16_t>(c) : u'?'; }

UnicodeString WideStringFromCardinal(uint32_t c) { return UnicodeString(1, WideCharFromCardinal(c)); }

char* GetCopyOfAnsiEncodedAsAnsi(const AnsiString& s, uint32_t /*ignored*/) {
  std::memset(copyA, 0, sizeof copyA);
  std::memcpy(copyA, s.data(), std::min<size_t>(s.size(), sizeof copyA - 1));
  return copyA;
}

char16_t* GetCopyOfSTringEncodedASUnicode(const UnicodeString& s, uint32_t /*ignored*/) {
  std::fill(std::begin(copyW), std::end(copyW), u'\0');
  std::copy_n(s.data(), std::min<size_t>(s.size(), std::size(copyW) - 1), copyW);
  return copyW;
}

namespace {

template <class C>
std::basic_string<C> UnixToWindows(int32_t& count, const std::basic_string<C>& s) {
  constexpr C CR = 13, LF = 10;
  count = 0;
  std::basic_string<C> out;
  out.reserve(s.size() + s.size() / 8 + 2);
  bool prevCR = false;
  for (const C c : s) {
    MyYieldProcess();
    if (c == LF && !prevCR) {
      out += CR;
      out += LF;
      ++count;
    } else if (prevCR && c != LF) {
      out += LF;
      out += c;
      ++count;
    } else {
      out += c;
    }
    prevCR = c == CR;
  }
  return out;
}

}  // namespace

UnicodeString UnixStringToWindowsStringW(int32_t& count, const UnicodeString& s) { return UnixToWindows(count, s); }

AnsiString UnixStringToWindowsString(int32_t& count, const AnsiString& s) { return UnixToWindows(count, s); }

UnicodeString DoubleQuotesAdded(const UnicodeString& s) {
  // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on literal + temporary at -O2.
  UnicodeString quoted(1, u'"');
  quoted += Trim(s);
  quoted += u'"';
  return quoted;
}

UnicodeString DoubleQuotesRemoved(const UnicodeString& s) {
  UnicodeString t = Trim(s);
  t.erase(std::remove(t.begin(), t.end(), u'"'), t.end());
  return t;
}

UnicodeString UnderscoredStr(const UnicodeString& s) {
  UnicodeString t = s;
  std::replace(t.begin(), t.end(), u' ', u'_');
  return t;
}

int32_t IntegerInsideSquareBrackets(const UnicodeString& s) {
  const size_t open = s.find(u'[');
  if (open == UnicodeString::npos) return 0;
  size_t end = open + 1;
  while (end < s.size() && s[end] >= u'0' && s[end] <= u'9') ++end;
  return StrToInt(s.substr(open + 1, end - open - 1));
}

}  // namespace kx8
