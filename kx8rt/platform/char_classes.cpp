#include "kx8rt/platform/char_classes.h"

#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/unorm2.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <string>
#include <memory>
#include <mutex>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/last_error.h"

namespace kx8 {

namespace {

// The type bits a general category gives every character of it.
uint16_t CategoryType1(UCharCategory gc) {
  if (gc == U_UNASSIGNED) return 0;
  uint16_t t = C1_DEFINED;
  switch (gc) {
    case U_UPPERCASE_LETTER:
    case U_TITLECASE_LETTER:
      t |= C1_ALPHA | C1_UPPER;
      break;
    case U_LOWERCASE_LETTER:
      t |= C1_ALPHA | C1_LOWER;
      break;
    case U_MODIFIER_LETTER:
    case U_OTHER_LETTER:
    case U_LETTER_NUMBER:
    case U_NON_SPACING_MARK:
    case U_COMBINING_SPACING_MARK:
    case U_ENCLOSING_MARK:
      t |= C1_ALPHA;
      break;
    case U_DECIMAL_DIGIT_NUMBER:
      t |= C1_DIGIT;
      break;
    case U_OTHER_NUMBER:
      t |= C1_PUNCT;
      break;
    case U_DASH_PUNCTUATION:
    case U_START_PUNCTUATION:
    case U_END_PUNCTUATION:
    case U_CONNECTOR_PUNCTUATION:
    case U_OTHER_PUNCTUATION:
    case U_INITIAL_PUNCTUATION:
    case U_FINAL_PUNCTUATION:
    case U_MATH_SYMBOL:
    case U_CURRENCY_SYMBOL:
    case U_MODIFIER_SYMBOL:
    case U_OTHER_SYMBOL:
      t |= C1_PUNCT;
      break;
    case U_SPACE_SEPARATOR:
      t |= C1_SPACE | C1_BLANK;
      break;
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
      t |= C1_SPACE;
      break;
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
      t |= C1_CNTRL;
      break;
    default:  // private use, surrogates
      break;
  }
  return t;
}

// Whether a category's characters need more than CategoryType1 and the cased and hex-digit properties.
bool CategoryTypedOneByOne(UCharCategory gc) {
  return gc == U_OTHER_NUMBER || gc == U_CONTROL_CHAR || gc == U_FORMAT_CHAR;
}

uint16_t ComputeType1(UChar32 c) {
  const auto gc = static_cast<UCharCategory>(u_charType(c));
  uint16_t t = CategoryType1(gc);
  if (gc == U_OTHER_NUMBER && u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) == U_NT_DIGIT) t |= C1_DIGIT;
  if (gc == U_CONTROL_CHAR) {
    if (u_isUWhiteSpace(c)) t |= C1_SPACE;
    if (c == 0x09) t |= C1_BLANK;
  }
  if (gc == U_FORMAT_CHAR && c == 0x00AD) t = static_cast<uint16_t>((t & ~C1_CNTRL) | C1_PUNCT);
  if (t & C1_ALPHA) {
    if (u_hasBinaryProperty(c, UCHAR_UPPERCASE)) t |= C1_UPPER;
    if (u_hasBinaryProperty(c, UCHAR_LOWERCASE)) t |= C1_LOWER;
  }
  if (u_hasBinaryProperty(c, UCHAR_HEX_DIGIT)) t |= C1_XDIGIT;
  return t;
}

// The type-1 word of every BMP code unit, built once on first use (thread-safe static initialisation).
// Surrogate units carry 0 here; the buffer loop types them by the pair they form. It is made a range of
// one category at a time, then the cased and hex-digit properties a range at a time: looking each unit's
// properties up would cost every process about a millisecond at its start.
struct Type1BmpTable {
  uint16_t t[65536];
  Type1BmpTable() {
    u_enumCharTypes(
        [](const void* context, UChar32 start, UChar32 limit, UCharCategory gc) -> UBool {
          uint16_t* table = static_cast<uint16_t*>(const_cast<void*>(context));
          if (start >= 0x10000) return false;
          limit = std::min<UChar32>(limit, 0x10000);
          if (CategoryTypedOneByOne(gc)) {
            for (UChar32 c = start; c < limit; ++c) table[c] = ComputeType1(c);
          } else {
            std::fill(table + start, table + limit, CategoryType1(gc));
          }
          return true;
        },
        t);
    auto orOver = [&](UProperty property, uint16_t bit, uint16_t only) {
      UErrorCode status = U_ZERO_ERROR;
      const USet* set = u_getBinaryPropertySet(property, &status);
      if (U_FAILURE(status)) {
        // Each unit looked up alone, as ComputeType1 does.
        for (UChar32 c = 0; c < 0x10000; ++c)
          if ((t[c] & only) == only && u_hasBinaryProperty(c, property)) t[c] |= bit;
        return;
      }
      for (int32_t i = 0, n = uset_getItemCount(set); i < n; ++i) {
        UChar32 first = 0, last = 0;
        UErrorCode itemStatus = U_ZERO_ERROR;
        if (uset_getItem(set, i, &first, &last, nullptr, 0, &itemStatus) != 0) continue;  // a string
        for (UChar32 c = first; c <= std::min<UChar32>(last, 0xFFFF); ++c)
          if ((t[c] & only) == only) t[c] |= bit;
      }
    };
    orOver(UCHAR_UPPERCASE, C1_UPPER, C1_ALPHA);
    orOver(UCHAR_LOWERCASE, C1_LOWER, C1_ALPHA);
    orOver(UCHAR_HEX_DIGIT, C1_XDIGIT, 0);
    std::fill(t + 0xD800, t + 0xE000, uint16_t{0});
  }
};

const uint16_t* Type1Table() {
  static const Type1BmpTable table;
  return table.t;
}

// Type words of the 256 bytes of a single-byte code page, built once per code page.
const uint16_t* Type1TableFor8Bit(uint32_t cp) {
  thread_local uint32_t lastCp = 0xFFFFFFFFu;
  thread_local const uint16_t* lastTable = nullptr;
  if (cp == lastCp) return lastTable;
  static std::mutex mutex;
  static std::unordered_map<uint32_t, std::unique_ptr<std::array<uint16_t, 256>>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(cp);
  if (it == cache.end()) {
    std::unique_ptr<std::array<uint16_t, 256>> types;
    if (const char16_t* toUnicode = SingleByteToUnicodeTable(cp)) {
      types = std::make_unique<std::array<uint16_t, 256>>();
      const uint16_t* wide = Type1Table();
      for (int b = 0; b < 256; ++b) (*types)[b] = toUnicode[b] == u'\uFFFD' ? 0 : wide[toUnicode[b]];
    }
    it = cache.emplace(cp, std::move(types)).first;
  }
  lastCp = cp;
  lastTable = it->second ? it->second->data() : nullptr;
  return lastTable;
}

UChar32 PairValue(char16_t lead, char16_t trail) {
  return 0x10000 + ((static_cast<UChar32>(lead) - 0xD800) << 10) + (static_cast<UChar32>(trail) - 0xDC00);
}

// Multi-byte code pages (and UTF-8 as the system code page): every byte of a character gets its type.
void ClassifyMultiByte(uint32_t cp, const uint8_t* src, int32_t n, uint16_t* out) {
  const uint16_t* wide = Type1Table();
  for (int32_t i = 0; i < n;) {
    int32_t width = 1;
    UChar32 c = -1;
    if (cp == CP_UTF8) {
      int32_t j = i;
      U8_NEXT(src, j, n, c);
      width = j - i;
    } else {
      const int32_t maxWidth = IsDBCSLeadByteEx(cp, src[i]) ? 4 : 1;
      for (int32_t w = maxWidth == 1 ? 1 : 2; w <= maxWidth && i + w <= n; w += 2) {
        char16_t units[4];
        const int32_t got = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(src + i), w,
                                                units, 4);
        if (got == 1) c = units[0];
        if (got == 2 && units[0] >= 0xD800 && units[0] <= 0xDBFF) c = PairValue(units[0], units[1]);
        if (c >= 0) {
          width = w;
          break;
        }
      }
    }
    const uint16_t t = c < 0 ? 0 : c < 0x10000 ? wide[c] : ComputeType1(c);
    for (int32_t k = 0; k < width; ++k) out[i + k] = t;
    i += width;
  }
}

}  // namespace

uint16_t CharType1(char32_t c) {
  if (c > 0x10FFFF) return 0;
  if (c < 0x10000) return Type1Table()[c];
  return ComputeType1(static_cast<UChar32>(c));
}

uint16_t CharType1Of(char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return ComputeType1(static_cast<UChar32>(c));
}

// The argument checks both classification calls make, with the classic error codes.
static bool TypeCallAccepted(LCID Locale, uint32_t dwInfoType, const void* src, int32_t cchSrc, const uint16_t* charType) {
  if (!src || !charType || cchSrc < 1) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (dwInfoType != CT_CTYPE1) {
    SetLastPlatformError(ERROR_INVALID_FLAGS);
    return false;
  }
  if (!ResolvedLCID(Locale)) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

bool GetStringTypeExW(LCID Locale, uint32_t dwInfoType, const char16_t* src, int32_t cchSrc, uint16_t* charType) {
  if (!TypeCallAccepted(Locale, dwInfoType, src, cchSrc, charType)) return false;
  const uint16_t* table = Type1Table();
#if defined(__SSE2__)
  const __m128i surrogateMask = _mm_set1_epi16(static_cast<int16_t>(0xF800));
  const __m128i surrogateBits = _mm_set1_epi16(static_cast<int16_t>(0xD800));
#endif
  int32_t i = 0;
  while (i < cchSrc) {
#if defined(__SSE2__)
    // Eight units without a surrogate among them are eight table loads and nothing else.
    if (i + 8 <= cchSrc &&
        _mm_movemask_epi8(_mm_cmpeq_epi16(
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), surrogateMask), surrogateBits)) == 0) {
      for (int k = 0; k < 8; ++k) charType[i + k] = table[src[i + k]];
      i += 8;
      continue;
    }
#endif
    const char16_t c = src[i];
    if ((c & 0xF800) != 0xD800) {
      charType[i++] = table[c];
    } else if (c <= 0xDBFF && i + 1 < cchSrc && (src[i + 1] & 0xFC00) == 0xDC00) {
      const uint16_t t = ComputeType1(PairValue(c, src[i + 1]));
      charType[i] = t;
      charType[i + 1] = t;
      i += 2;
    } else {
      charType[i++] = 0;  // a lone surrogate is no character
    }
  }
  return true;
}

bool GetStringTypeExA(LCID Locale, uint32_t dwInfoType, const char* src, int32_t cchSrc, uint16_t* charType) {
  if (!TypeCallAccepted(Locale, dwInfoType, src, cchSrc, charType)) return false;
  // A Unicode-only locale reads 8-bit text in the system code page.
  uint32_t cp = LCIDToAnsiCodePage(Locale);
  if (cp == 0) cp = GetACP();
  const auto* bytes = reinterpret_cast<const uint8_t*>(src);
  if (const uint16_t* table = Type1TableFor8Bit(cp)) {
    for (int32_t i = 0; i < cchSrc; ++i) charType[i] = table[bytes[i]];
    return true;
  }
  if (!IsValidCodePage(cp)) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return false;
  }
  ClassifyMultiByte(cp, bytes, cchSrc, charType);
  return true;
}

// ---- categories and tests ----

TUnicodeCategory GetUnicodeCategory(char32_t c) {
  if (c > 0x10FFFF) return ucUnassigned;
  switch (static_cast<UCharCategory>(u_charType(static_cast<UChar32>(c)))) {
    case U_UPPERCASE_LETTER: return ucUppercaseLetter;
    case U_LOWERCASE_LETTER: return ucLowercaseLetter;
    case U_TITLECASE_LETTER: return ucTitlecaseLetter;
    case U_MODIFIER_LETTER: return ucModifierLetter;
    case U_OTHER_LETTER: return ucOtherLetter;
    case U_NON_SPACING_MARK: return ucNonSpacingMark;
    case U_ENCLOSING_MARK: return ucEnclosingMark;
    case U_COMBINING_SPACING_MARK: return ucCombiningMark;
    case U_DECIMAL_DIGIT_NUMBER: return ucDecimalNumber;
    case U_LETTER_NUMBER: return ucLetterNumber;
    case U_OTHER_NUMBER: return ucOtherNumber;
    case U_SPACE_SEPARATOR: return ucSpaceSeparator;
    case U_LINE_SEPARATOR: return ucLineSeparator;
    case U_PARAGRAPH_SEPARATOR: return ucParagraphSeparator;
    case U_CONTROL_CHAR: return ucControl;
    case U_FORMAT_CHAR: return ucFormat;
    case U_PRIVATE_USE_CHAR: return ucPrivateUse;
    case U_SURROGATE: return ucSurrogate;
    case U_DASH_PUNCTUATION: return ucDashPunctuation;
    case U_START_PUNCTUATION: return ucOpenPunctuation;
    case U_END_PUNCTUATION: return ucClosePunctuation;
    case U_CONNECTOR_PUNCTUATION: return ucConnectPunctuation;
    case U_OTHER_PUNCTUATION: return ucOtherPunctuation;
    case U_MATH_SYMBOL: return ucMathSymbol;
    case U_CURRENCY_SYMBOL: return ucCurrencySymbol;
    case U_MODIFIER_SYMBOL: return ucModifierSymbol;
    case U_OTHER_SYMBOL: return ucOtherSymbol;
    case U_INITIAL_PUNCTUATION: return ucInitialPunctuation;
    case U_FINAL_PUNCTUATION: return ucFinalPunctuation;
    default: return ucUnassigned;
  }
}

bool IsLetter(char32_t c) {
  const TUnicodeCategory k = GetUnicodeCategory(c);
  return k >= ucLowercaseLetter && k <= ucUppercaseLetter;
}
bool IsDigit(char32_t c) { return GetUnicodeCategory(c) == ucDecimalNumber; }
bool IsLetterOrDigit(char32_t c) { return IsLetter(c) || IsDigit(c); }
bool IsUpper(char32_t c) { return GetUnicodeCategory(c) == ucUppercaseLetter; }
bool IsLower(char32_t c) { return GetUnicodeCategory(c) == ucLowercaseLetter; }
bool IsWhiteSpace(char32_t c) { return c <= 0x10FFFF && u_isUWhiteSpace(static_cast<UChar32>(c)); }
bool IsPunctuation(char32_t c) {
  const TUnicodeCategory k = GetUnicodeCategory(c);
  return k >= ucConnectPunctuation && k <= ucOpenPunctuation;
}
bool IsSymbol(char32_t c) {
  const TUnicodeCategory k = GetUnicodeCategory(c);
  return k >= ucCurrencySymbol && k <= ucOtherSymbol;
}
bool IsNumber(char32_t c) {
  const TUnicodeCategory k = GetUnicodeCategory(c);
  return k >= ucDecimalNumber && k <= ucOtherNumber;
}
bool IsControl(char32_t c) { return GetUnicodeCategory(c) == ucControl; }
bool IsSeparator(char32_t c) {
  const TUnicodeCategory k = GetUnicodeCategory(c);
  return k >= ucLineSeparator && k <= ucSpaceSeparator;
}

// ---- case ----

char32_t ToUpper(char32_t c) { return c > 0x10FFFF ? c : static_cast<char32_t>(u_toupper(static_cast<UChar32>(c))); }
char32_t ToLower(char32_t c) { return c > 0x10FFFF ? c : static_cast<char32_t>(u_tolower(static_cast<UChar32>(c))); }
char32_t ToTitle(char32_t c) { return c > 0x10FFFF ? c : static_cast<char32_t>(u_totitle(static_cast<UChar32>(c))); }
char32_t FoldCase(char32_t c) {
  return c > 0x10FFFF ? c : static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

int32_t CaseClosureOf(char32_t c, char32_t* members, int32_t capacity) {
  if (members == nullptr || capacity <= 0) return 0;
  members[0] = c;
  if (c > 0x10FFFF) return 1;
  int32_t n = 1;
  auto add = [&](char32_t d) {
    if (n < capacity && std::find(members, members + n, d) == members + n) members[n++] = d;
  };
  // Breadth first from c: each member's mappings and its case-insensitive equals (code points only;
  // equals that are strings, such as "ss" for ß, cannot stand in one place of a pattern).
  for (int32_t i = 0; i < n; ++i) {
    const char32_t x = members[i];
    add(ToUpper(x));
    add(ToLower(x));
    add(ToTitle(x));
    add(FoldCase(x));
    icu::UnicodeSet equals(static_cast<UChar32>(x), static_cast<UChar32>(x));
    equals.closeOver(USET_CASE_INSENSITIVE);
    for (int32_t r = 0; r < equals.getRangeCount(); ++r)
      for (UChar32 d = equals.getRangeStart(r); d <= equals.getRangeEnd(r); ++d) add(static_cast<char32_t>(d));
  }
  return n;
}

namespace {
template <typename Map>
UnicodeString MapSimple(std::u16string_view s, Map map) {
  UnicodeString out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if ((c & 0xF800) != 0xD800) {
      const char32_t m = map(c);
      if (m < 0x10000) out[i] = static_cast<char16_t>(m);  // a mapping out of the BMP would change the length
    } else if (c <= 0xDBFF && i + 1 < out.size() && (out[i + 1] & 0xFC00) == 0xDC00) {
      const char32_t m = map(static_cast<char32_t>(PairValue(c, out[i + 1])));
      if (m >= 0x10000) {
        out[i] = static_cast<char16_t>(0xD800 + ((m - 0x10000) >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + ((m - 0x10000) & 0x3FF));
      }
      ++i;
    }
  }
  return out;
}
}  // namespace

UnicodeString ToUpper(std::u16string_view s) { return MapSimple(s, [](char32_t c) { return ToUpper(c); }); }
UnicodeString ToLower(std::u16string_view s) { return MapSimple(s, [](char32_t c) { return ToLower(c); }); }

namespace {
uint32_t MapBufferInPlace(char16_t* buf, uint32_t len, uint32_t kind) {
  if (!buf) return 0;
  const LCID lcid = GetUserDefaultLCID();
  uint32_t done = 0;
  while (done < len) {
    // Chunks stop short of a lead surrogate so that a pair is never split.
    uint32_t chunk = std::min<uint32_t>(len - done, 1u << 30);
    if (done + chunk < len && (buf[done + chunk - 1] & 0xFC00) == 0xD800) --chunk;
    LCMapStringW(lcid, kind | LCMAP_LINGUISTIC_CASING, buf + done, static_cast<int32_t>(chunk), buf + done,
                 static_cast<int32_t>(chunk));
    done += chunk;
  }
  return len;
}
}  // namespace

uint32_t CharUpperBuffW(char16_t* buf, uint32_t len) { return MapBufferInPlace(buf, len, LCMAP_UPPERCASE); }
uint32_t CharLowerBuffW(char16_t* buf, uint32_t len) { return MapBufferInPlace(buf, len, LCMAP_LOWERCASE); }

// ---- normalisation ----

namespace {

const UNormalizer2* Normalizer(NORM_FORM form) {
  UErrorCode err = U_ZERO_ERROR;
  const UNormalizer2* n = nullptr;
  switch (form) {
    case NormalizationC: n = unorm2_getNFCInstance(&err); break;
    case NormalizationD: n = unorm2_getNFDInstance(&err); break;
    case NormalizationKC: n = unorm2_getNFKCInstance(&err); break;
    case NormalizationKD: n = unorm2_getNFKDInstance(&err); break;
    default: return nullptr;
  }
  return U_SUCCESS(err) ? n : nullptr;
}

// Index of the first lone surrogate, or -1.
int32_t LoneSurrogateAt(const char16_t* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    if ((c & 0xF800) != 0xD800) continue;
    if (c <= 0xDBFF && i + 1 < n && (s[i + 1] & 0xFC00) == 0xDC00) {
      ++i;
      continue;
    }
    return i;
  }
  return -1;
}

bool Normalize(const UNormalizer2* norm, const char16_t* s, int32_t n, UnicodeString& out) {
  out.assign(static_cast<size_t>(n) + 8, u'\0');
  UErrorCode err = U_ZERO_ERROR;
  int32_t got = unorm2_normalize(norm, reinterpret_cast<const UChar*>(s), n, reinterpret_cast<UChar*>(out.data()),
                                 static_cast<int32_t>(out.size()), &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<size_t>(got), u'\0');
    err = U_ZERO_ERROR;
    got = unorm2_normalize(norm, reinterpret_cast<const UChar*>(s), n, reinterpret_cast<UChar*>(out.data()), got, &err);
  }
  if (U_FAILURE(err)) return false;
  out.resize(static_cast<size_t>(got));
  return true;
}

// NFC that never lengthens the text: a segment whose composed form would be longer (a composition
// exclusion such as U+0958 decomposes under NFC) keeps its original units.
UnicodeString Precomposed(const UnicodeString& s) {
  UErrorCode err = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&err);
  UnicodeString whole;
  if (!Normalize(nfc, s.data(), static_cast<int32_t>(s.size()), whole)) return s;
  if (whole.size() <= s.size()) return whole;
  UnicodeString out, piece;
  size_t start = 0;
  for (size_t i = 1; i <= s.size(); ++i) {
    if (i < s.size()) {
      UChar32 c = s[i];
      if ((c & 0xFC00) == 0xDC00 && (s[i - 1] & 0xFC00) == 0xD800) continue;  // inside a pair
      if ((c & 0xFC00) == 0xD800 && i + 1 < s.size()) c = PairValue(s[i], s[i + 1]);
      if (!unorm2_hasBoundaryBefore(nfc, c)) continue;
    }
    const auto len = static_cast<int32_t>(i - start);
    if (Normalize(nfc, s.data() + start, len, piece) && piece.size() <= static_cast<size_t>(len))
      out += piece;
    else
      out.append(s, start, i - start);
    start = i;
  }
  return out;
}

// Characters the classic ligature expansion writes out as their letters.
const char16_t* LigatureExpansion(char16_t c) {
  switch (c) {
    case u'\u00C6': return u"AE";
    case u'\u00E6': return u"ae";
    case u'\u0152': return u"OE";
    case u'\u0153': return u"oe";
    case u'\u00DF': return u"ss";
    case u'\u0132': return u"IJ";
    case u'\u0133': return u"ij";
    case u'\u01C4': return u"D\u017D";
    case u'\u01C5': return u"D\u017E";
    case u'\u01C6': return u"d\u017E";
    case u'\u01C7': return u"LJ";
    case u'\u01C8': return u"Lj";
    case u'\u01C9': return u"lj";
    case u'\u01CA': return u"NJ";
    case u'\u01CB': return u"Nj";
    case u'\u01CC': return u"nj";
    case u'\u01F1': return u"DZ";
    case u'\u01F2': return u"Dz";
    case u'\u01F3': return u"dz";
    case u'\uFB00': return u"ff";
    case u'\uFB01': return u"fi";
    case u'\uFB02': return u"fl";
    case u'\uFB03': return u"ffi";
    case u'\uFB04': return u"ffl";
    case u'\uFB05': return u"\u017Ft";
    case u'\uFB06': return u"st";
    default: return nullptr;
  }
}

}  // namespace

int32_t FoldStringW(uint32_t dwMapFlags, const char16_t* src, int32_t cchSrc, char16_t* dst, int32_t cchDest) {
  if (!src || cchSrc == 0 || cchSrc < -1 || cchDest < 0 || (cchDest > 0 && !dst) || src == dst) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  constexpr uint32_t known = MAP_FOLDCZONE | MAP_PRECOMPOSED | MAP_COMPOSITE | MAP_FOLDDIGITS | MAP_EXPAND_LIGATURES;
  const int exclusive = ((dwMapFlags & MAP_PRECOMPOSED) != 0) + ((dwMapFlags & MAP_COMPOSITE) != 0) +
                        ((dwMapFlags & MAP_EXPAND_LIGATURES) != 0);
  if (dwMapFlags == 0 || (dwMapFlags & ~known) || exclusive > 1) {
    SetLastPlatformError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const int32_t len = cchSrc == -1 ? static_cast<int32_t>(std::char_traits<char16_t>::length(src)) + 1 : cchSrc;

  UnicodeString text;
  text.reserve(static_cast<size_t>(len));
  UErrorCode err = U_ZERO_ERROR;
  const UNormalizer2* nfkc = unorm2_getNFKCInstance(&err);
  UnicodeString piece;
  for (int32_t i = 0; i < len; ++i) {
    const char16_t c = src[i];
    if ((dwMapFlags & MAP_FOLDDIGITS) && (c & 0xF800) != 0xD800) {
      const int32_t nt = u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE);
      const double v = u_getNumericValue(c);
      if ((nt == U_NT_DECIMAL || nt == U_NT_DIGIT) && v >= 0 && v <= 9) {
        text.push_back(static_cast<char16_t>(u'0' + static_cast<int>(v)));
        continue;
      }
    }
    if ((dwMapFlags & MAP_EXPAND_LIGATURES)) {
      if (const char16_t* lig = LigatureExpansion(c)) {
        text += lig;
        continue;
      }
    }
    if ((dwMapFlags & MAP_FOLDCZONE) && c >= 0xF900 && c <= 0xFFEF && nfkc && Normalize(nfkc, &c, 1, piece)) {
      text += piece;
      continue;
    }
    text.push_back(c);
  }
  if (dwMapFlags & MAP_PRECOMPOSED) {
    text = Precomposed(text);
  } else if (dwMapFlags & MAP_COMPOSITE) {
    UnicodeString decomposed;
    if (Normalize(Normalizer(NormalizationD), text.data(), static_cast<int32_t>(text.size()), decomposed))
      text.swap(decomposed);
  }
  if (text.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastPlatformError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const auto need = static_cast<int32_t>(text.size());
  if (cchDest == 0) return need;
  if (cchDest < need) {
    SetLastPlatformError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(text.begin(), text.end(), dst);
  return need;
}

int32_t NormalizeString(NORM_FORM NormForm, const char16_t* src, int32_t cwSrcLength, char16_t* dst,
                        int32_t cwDstLength) {
  const UNormalizer2* norm = Normalizer(NormForm);
  if (!norm || !src || cwSrcLength < -1 || cwDstLength < 0 || (cwDstLength > 0 && !dst)) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int32_t len =
      cwSrcLength == -1 ? static_cast<int32_t>(std::char_traits<char16_t>::length(src)) + 1 : cwSrcLength;
  SetLastPlatformError(ERROR_SUCCESS);
  if (len == 0) return 0;
  if (const int32_t bad = LoneSurrogateAt(src, len); bad >= 0) {
    SetLastPlatformError(ERROR_NO_UNICODE_TRANSLATION);
    return -(bad + 1);
  }
  UnicodeString out;
  if (!Normalize(norm, src, len, out) || out.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto need = static_cast<int32_t>(out.size());
  if (cwDstLength == 0) return need;
  if (cwDstLength < need) {
    SetLastPlatformError(ERROR_INSUFFICIENT_BUFFER);
    return -need;
  }
  std::copy(out.begin(), out.end(), dst);
  return need;
}

bool IsNormalizedString(NORM_FORM NormForm, const char16_t* src, int32_t cwLength) {
  const UNormalizer2* norm = Normalizer(NormForm);
  if (!norm || !src || cwLength < -1) {
    SetLastPlatformError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const int32_t len = cwLength == -1 ? static_cast<int32_t>(std::char_traits<char16_t>::length(src)) : cwLength;
  if (LoneSurrogateAt(src, len) >= 0) {
    SetLastPlatformError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  UErrorCode err = U_ZERO_ERROR;
  const bool ok = unorm2_isNormalized(norm, reinterpret_cast<const UChar*>(src), len, &err);
  SetLastPlatformError(U_SUCCESS(err) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
  return U_SUCCESS(err) && ok;
}

UnicodeString NormalizedNFC(std::u16string_view s) {
  if (s.empty() || s.size() > static_cast<size_t>(INT32_MAX)) return UnicodeString(s);
  const auto n = static_cast<int32_t>(s.size());
  UnicodeString out;
  if (LoneSurrogateAt(s.data(), n) >= 0 || !Normalize(Normalizer(NormalizationC), s.data(), n, out))
    return UnicodeString(s);
  return out;
}

}  // namespace kx8

namespace kx8 {

UnicodeString FullUpperCase(std::u16string_view s) {
  if (s.empty()) return UnicodeString();
  UErrorCode err = U_ZERO_ERROR;
  const auto len = static_cast<int32_t>(s.size());
  UnicodeString out(s.size() + 16, u'\0');
  int32_t need = u_strToUpper(out.data(), static_cast<int32_t>(out.size()), s.data(), len, "", &err);
  if (err == U_BUFFER_OVERFLOW_ERROR) {
    err = U_ZERO_ERROR;
    out.assign(static_cast<size_t>(need), u'\0');
    need = u_strToUpper(out.data(), need, s.data(), len, "", &err);
  }
  if (U_FAILURE(err)) return UnicodeString(s);
  out.resize(static_cast<size_t>(need));
  return out;
}

}  // namespace kx8
