#include "kx8rt/platform/strings.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

// Aligned 16-byte reads never cross a page, so reading the rest of the block that holds the terminator
// is safe, though it lies outside the string: the address checker is told not to look.
#if defined(__SSE2__)
__attribute__((no_sanitize_address)) size_t WideStrLen(const char16_t* p) {
  if (p == nullptr) return 0;
  const char16_t* q = p;
  // Unit by unit up to a 16-byte boundary (a UTF-16 string is at least 2-byte aligned).
  while ((reinterpret_cast<uintptr_t>(q) & 15) != 0) {
    if (*q == 0) return static_cast<size_t>(q - p);
    ++q;
  }
  const __m128i zero = _mm_setzero_si128();
  for (;;) {
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(q)), zero));
    if (mask != 0) return static_cast<size_t>(q - p) + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    q += 8;
  }
}
#else
size_t WideStrLen(const char16_t* p) {
  if (p == nullptr) return 0;
  const char16_t* q = p;
  while (*q != 0) ++q;
  return static_cast<size_t>(q - p);
}
#endif

// ---- UTF-8 and UTF-16 ----

UnicodeString Utf8ToUtf16(std::string_view utf8) {
  UnicodeString out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int extra;
    char32_t cp, minimum;
    if (c >= 0xC2 && c <= 0xDF) { extra = 1; cp = c & 0x1F; minimum = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { extra = 2; cp = c & 0x0F; minimum = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { extra = 3; cp = c & 0x07; minimum = 0x10000; }
    else { out.push_back(0xFFFD); ++i; continue; }
    size_t j = i + 1;
    int got = 0;
    while (got < extra && j < n && (p[j] & 0xC0) == 0x80) { cp = (cp << 6) | (p[j] & 0x3F); ++j; ++got; }
    if (got < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // One replacement for the maximal bad prefix, then carry on after it.
      out.push_back(0xFFFD);
      i = (j > i + 1) ? j : i + 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i = j;
  }
  return out;
}

namespace {

// UTF-16 as UTF-8, written straight into one string. An unpaired surrogate becomes U+FFFD, except, with
// keptBytes, U+DC80..U+DCFF, which stand for the bytes of a name that were no UTF-8 and become them again.
std::string EncodeUtf8(std::u16string_view utf16, bool keptBytes) {
  std::string out(utf16.size() * 3, '\0');
  char* p = out.data();
  const size_t n = utf16.size();
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = utf16[i];
    if (cp < 0x80) {
      *p++ = static_cast<char>(cp);
      continue;
    }
    if (keptBytes && cp >= 0xDC80 && cp <= 0xDCFF) {
      *p++ = static_cast<char>(cp - 0xDC00);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x800) {
      *p++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  out.resize(static_cast<size_t>(p - out.data()));
  // A long text does not keep room for three bytes a unit (a short one, a name, keeps it: no second
  // allocation).
  if (out.capacity() > 4096 && out.capacity() > 2 * out.size()) out.shrink_to_fit();
  return out;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view utf16) { return EncodeUtf8(utf16, false); }

UnicodeString Latin1ToUtf16(std::string_view bytes) {
  UnicodeString out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return out;
}

// ---- 1-based helpers, written once for both widths ----

namespace {

template <class C>
std::basic_string<C> CopyT(std::basic_string_view<C> s, int64_t index, int64_t count) {
  if (index < 1) index = 1;
  const auto len = static_cast<int64_t>(s.size());
  if (count <= 0 || index > len) return {};
  count = std::min(count, len - index + 1);
  return std::basic_string<C>(s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}

template <class C>
int32_t PosExT(std::basic_string_view<C> sub, std::basic_string_view<C> s, int64_t offset) {
  if (sub.empty() || offset < 1 || offset > static_cast<int64_t>(s.size())) return 0;
  const size_t at = s.find(sub, static_cast<size_t>(offset - 1));
  return at == std::basic_string_view<C>::npos ? 0 : static_cast<int32_t>(at + 1);
}

template <class C>
void DeleteT(std::basic_string<C>& s, int64_t index, int64_t count) {
  const auto len = static_cast<int64_t>(s.size());
  if (index < 1 || index > len || count <= 0) return;
  s.erase(static_cast<size_t>(index - 1), static_cast<size_t>(std::min(count, len - index + 1)));
}

template <class C>
void InsertT(std::basic_string_view<C> source, std::basic_string<C>& s, int64_t index) {
  if (index < 1) index = 1;
  const auto len = static_cast<int64_t>(s.size());
  if (index > len + 1) index = len + 1;
  s.insert(static_cast<size_t>(index - 1), source.data(), source.size());
}

template <class C>
std::basic_string<C> TrimT(std::basic_string_view<C> s, bool left, bool right) {
  size_t b = 0, e = s.size();
  if (left) while (b < e && static_cast<uint32_t>(s[b]) <= 0x20u) ++b;
  if (right) while (e > b && static_cast<uint32_t>(s[e - 1]) <= 0x20u) --e;
  return std::basic_string<C>(s.substr(b, e - b));
}

template <class C>
C AsciiUpper(C c) { return (c >= 'a' && c <= 'z') ? static_cast<C>(c - 32) : c; }
template <class C>
C AsciiLower(C c) { return (c >= 'A' && c <= 'Z') ? static_cast<C>(c + 32) : c; }

template <class C>
std::basic_string<C> MapT(std::basic_string_view<C> s, C (*f)(C)) {
  std::basic_string<C> out(s);
  for (auto& c : out) c = f(c);
  return out;
}

template <class C>
int32_t CompareT(std::basic_string_view<C> a, std::basic_string_view<C> b, bool fold) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    using U = std::make_unsigned_t<C>;
    int32_t ca = static_cast<U>(fold ? AsciiUpper(a[i]) : a[i]);
    int32_t cb = static_cast<U>(fold ? AsciiUpper(b[i]) : b[i]);
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

UnicodeString Copy(std::u16string_view s, int64_t index, int64_t count) { return CopyT(s, index, count); }
AnsiString Copy(std::string_view s, int64_t index, int64_t count) { return CopyT(s, index, count); }
UnicodeString Copy(std::u16string_view s, int64_t index) { return CopyT(s, index, std::numeric_limits<int64_t>::max()); }
AnsiString Copy(std::string_view s, int64_t index) { return CopyT(s, index, std::numeric_limits<int64_t>::max()); }

int32_t Pos(std::u16string_view sub, std::u16string_view s) { return PosExT(sub, s, 1); }
int32_t Pos(std::string_view sub, std::string_view s) { return PosExT(sub, s, 1); }
int32_t PosEx(std::u16string_view sub, std::u16string_view s, int64_t offset) { return PosExT(sub, s, offset); }
int32_t PosEx(std::string_view sub, std::string_view s, int64_t offset) { return PosExT(sub, s, offset); }

void Delete(UnicodeString& s, int64_t index, int64_t count) { DeleteT(s, index, count); }
void Delete(AnsiString& s, int64_t index, int64_t count) { DeleteT(s, index, count); }
void Insert(std::u16string_view source, UnicodeString& s, int64_t index) { InsertT(source, s, index); }
void Insert(std::string_view source, AnsiString& s, int64_t index) { InsertT(source, s, index); }

UnicodeString Trim(std::u16string_view s) { return TrimT(s, true, true); }
UnicodeString TrimLeft(std::u16string_view s) { return TrimT(s, true, false); }
UnicodeString TrimRight(std::u16string_view s) { return TrimT(s, false, true); }
AnsiString Trim(std::string_view s) { return TrimT(s, true, true); }
AnsiString TrimLeft(std::string_view s) { return TrimT(s, true, false); }
AnsiString TrimRight(std::string_view s) { return TrimT(s, false, true); }

UnicodeString StringOfChar(char16_t ch, int64_t count) {
  return count > 0 ? UnicodeString(static_cast<size_t>(count), ch) : UnicodeString();
}

UnicodeString UpperCase(std::u16string_view s) { return MapT<char16_t>(s, AsciiUpper<char16_t>); }
UnicodeString LowerCase(std::u16string_view s) { return MapT<char16_t>(s, AsciiLower<char16_t>); }
AnsiString UpperCase(std::string_view s) { return MapT<char>(s, AsciiUpper<char>); }
AnsiString LowerCase(std::string_view s) { return MapT<char>(s, AsciiLower<char>); }

int32_t CompareStr(std::u16string_view a, std::u16string_view b) { return CompareT(a, b, false); }
int32_t CompareStr(std::string_view a, std::string_view b) { return CompareT(a, b, false); }
int32_t CompareText(std::u16string_view a, std::u16string_view b) { return CompareT(a, b, true); }
int32_t CompareText(std::string_view a, std::string_view b) { return CompareT(a, b, true); }
bool SameText(std::u16string_view a, std::u16string_view b) { return a.size() == b.size() && CompareT(a, b, true) == 0; }
bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareT(a, b, true) == 0; }

UnicodeString StringReplace(std::u16string_view s, std::u16string_view from, std::u16string_view to,
                            unsigned flags) {
  if (from.empty()) return UnicodeString(s);
  const bool fold = (flags & rfIgnoreCase) != 0;
  UnicodeString haystack = fold ? UpperCase(s) : UnicodeString(s);
  UnicodeString needle = fold ? UpperCase(from) : UnicodeString(from);
  UnicodeString out;
  size_t at = 0;
  while (true) {
    const size_t hit = haystack.find(needle, at);
    if (hit == UnicodeString::npos) break;
    out.append(s.substr(at, hit - at));
    out.append(to);
    at = hit + from.size();
    if (!(flags & rfReplaceAll)) break;
  }
  out.append(s.substr(at));
  return out;
}

// ---- integers ----

UnicodeString IntToStr(int64_t value) {
  char16_t buf[24];
  int i = 24;
  // Work in unsigned so that the most negative value needs no special case.
  uint64_t u = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do { buf[--i] = static_cast<char16_t>(u'0' + u % 10); u /= 10; } while (u != 0);
  if (value < 0) buf[--i] = u'-';
  return UnicodeString(buf + i, buf + 24);
}

UnicodeString IntToHex(uint64_t value, int digits) {
  static const char16_t hex[] = u"0123456789ABCDEF";
  UnicodeString out;
  do { out.insert(out.begin(), hex[value & 0xF]); value >>= 4; } while (value != 0);
  if (digits > static_cast<int>(out.size())) out.insert(0, static_cast<size_t>(digits) - out.size(), u'0');
  return out;
}

namespace {

// Parses into 64 bits with limits for the target width; bits is 32 or 64.
bool ParseInteger(std::u16string_view s, int bits, int64_t& result) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && s[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == u'-' || s[i] == u'+')) { negative = s[i] == u'-'; ++i; }
  bool hex = false;
  if (i < n && s[i] == u'$') { hex = true; ++i; }
  else if (i + 1 < n && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) { hex = true; i += 2; }
  else if (i < n && (s[i] == u'x' || s[i] == u'X')) { hex = true; ++i; }
  if (i >= n) return false;
  const uint64_t unsignedMax = bits == 32 ? 0xFFFFFFFFull : ~0ull;
  const uint64_t signedMax = bits == 32 ? 0x7FFFFFFFull : 0x7FFFFFFFFFFFFFFFull;
  uint64_t acc = 0;
  for (; i < n; ++i) {
    const char16_t c = s[i];
    unsigned d;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    else if (hex && c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else if (hex && c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else return false;
    const uint64_t base = hex ? 16 : 10;
    if (acc > (unsignedMax - d) / base) return false;
    acc = acc * base + d;
  }
  if (hex) {
    // Hexadecimal covers the whole unsigned width and wraps into the signed type.
    if (bits == 32) {
      const uint32_t u = negative ? 0u - static_cast<uint32_t>(acc) : static_cast<uint32_t>(acc);
      result = static_cast<int32_t>(u);
    } else {
      result = static_cast<int64_t>(negative ? 0 - acc : acc);
    }
    return true;
  }
  if (negative) {
    if (acc > signedMax + 1) return false;
    result = acc == signedMax + 1 ? (bits == 32 ? INT32_MIN : INT64_MIN) : -static_cast<int64_t>(acc);
  } else {
    if (acc > signedMax) return false;
    result = static_cast<int64_t>(acc);
  }
  return true;
}

[[noreturn]] void RaiseBadInteger(std::u16string_view s) {
  throw EConvertError(u"'" + UnicodeString(s) + u"' is not a valid integer value");
}

}  // namespace

bool TryStrToInt(std::u16string_view s, int32_t& value) {
  int64_t v;
  if (!ParseInteger(s, 32, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(std::u16string_view s, int64_t& value) { return ParseInteger(s, 64, value); }

int32_t StrToInt(std::u16string_view s) {
  int32_t v;
  if (!TryStrToInt(s, v)) RaiseBadInteger(s);
  return v;
}

int64_t StrToInt64(std::u16string_view s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) RaiseBadInteger(s);
  return v;
}

int32_t StrToIntDef(std::u16string_view s, int32_t fallback) {
  int32_t v;
  return TryStrToInt(s, v) ? v : fallback;
}

int64_t StrToInt64Def(std::u16string_view s, int64_t fallback) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : fallback;
}

UnicodeString NativeNameToUtf16(std::string_view bytes) {
  UnicodeString out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0, minimum = 0;
    if (c >= 0xC2 && c <= 0xDF) extra = 1, cp = c & 0x1F, minimum = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2, cp = c & 0x0F, minimum = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3, cp = c & 0x07, minimum = 0x10000;
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + static_cast<size_t>(k) >= n || (p[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (ok && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out += static_cast<char16_t>(0xDC00 + c);  // the byte kept as it was
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string Utf16ToNativeName(std::u16string_view name) { return EncodeUtf8(name, true); }

}  // namespace kx8
