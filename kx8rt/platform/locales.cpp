#include "kx8rt/platform/locales.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucurr.h>
#include <unicode/uloc.h>
#include <unicode/ulocdata.h>
#include <unicode/unorm2.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/last_error.h"

namespace kx8 {

namespace {

std::atomic<LCID> gUserDefaultLCID{LOCALE_DEFAULT_LCID};

int32_t Fail(uint32_t code) {
  SetLastPlatformError(code);
  return 0;
}

// ---- code pages of a language ----

struct CodePages {
  uint16_t ansi;
  uint16_t oem;
};

// Language ids (primary and sub-language) whose code pages differ from their primary language's.
struct LangIdCodePages {
  uint16_t langId;
  CodePages pages;
};
constexpr LangIdCodePages kByLangId[] = {
    {0x0404, {950, 950}},   {0x0409, {1252, 437}},  {0x042C, {1254, 857}},  {0x0443, {1254, 857}},
    {0x0450, {1251, 866}},  {0x0804, {936, 936}},   {0x081A, {1250, 852}},  {0x082C, {1251, 866}},
    {0x0843, {1251, 866}},  {0x0850, {0, 0}},       {0x085D, {1252, 437}},  {0x0C04, {950, 950}},
    {0x0C1A, {1251, 855}},  {0x1004, {936, 936}},   {0x101A, {1250, 852}},  {0x141A, {1250, 852}},
    {0x1404, {950, 950}},   {0x181A, {1250, 852}},  {0x1C09, {1252, 437}},  {0x1C1A, {1251, 855}},
    {0x201A, {1251, 855}},  {0x241A, {1250, 852}},  {0x281A, {1251, 855}},  {0x2C1A, {1250, 852}},
    {0x301A, {1251, 855}},  {0x3409, {1252, 437}},  {0x4009, {1252, 437}},
};

// Code pages by primary language; languages not listed have no 8-bit code page (0, Unicode only).
struct PrimaryCodePages {
  uint16_t primary;
  CodePages pages;
};
constexpr PrimaryCodePages kByPrimary[] = {
    {0x01, {1256, 720}}, {0x02, {1251, 866}}, {0x03, {1252, 850}}, {0x04, {936, 936}},   {0x05, {1250, 852}},
    {0x06, {1252, 850}}, {0x07, {1252, 850}}, {0x08, {1253, 737}}, {0x09, {1252, 850}},  {0x0A, {1252, 850}},
    {0x0B, {1252, 850}}, {0x0C, {1252, 850}}, {0x0D, {1255, 862}}, {0x0E, {1250, 852}},  {0x0F, {1252, 850}},
    {0x10, {1252, 850}}, {0x11, {932, 932}},  {0x12, {949, 949}},  {0x13, {1252, 850}},  {0x14, {1252, 850}},
    {0x15, {1250, 852}}, {0x16, {1252, 850}}, {0x17, {1252, 850}}, {0x18, {1250, 852}},  {0x19, {1251, 866}},
    {0x1A, {1250, 852}}, {0x1B, {1250, 852}}, {0x1C, {1250, 852}}, {0x1D, {1252, 850}},  {0x1E, {874, 874}},
    {0x1F, {1254, 857}}, {0x20, {1256, 720}}, {0x21, {1252, 850}}, {0x22, {1251, 866}},  {0x23, {1251, 866}},
    {0x24, {1250, 852}}, {0x25, {1257, 775}}, {0x26, {1257, 775}}, {0x27, {1257, 775}},  {0x28, {1251, 866}},
    {0x29, {1256, 720}}, {0x2A, {1258, 1258}}, {0x2C, {1254, 857}}, {0x2D, {1252, 850}}, {0x2E, {1252, 850}},
    {0x2F, {1251, 866}}, {0x32, {1252, 850}}, {0x34, {1252, 850}}, {0x35, {1252, 850}},  {0x36, {1252, 850}},
    {0x38, {1252, 850}}, {0x3B, {1252, 850}}, {0x3C, {1252, 850}}, {0x3E, {1252, 850}},  {0x3F, {1251, 866}},
    {0x40, {1251, 866}}, {0x41, {1252, 437}}, {0x42, {1250, 852}}, {0x43, {1254, 857}},  {0x44, {1251, 866}},
    {0x50, {1251, 866}}, {0x52, {1252, 850}}, {0x56, {1252, 850}}, {0x5F, {1252, 850}},  {0x62, {1252, 850}},
    {0x64, {1252, 437}}, {0x68, {1252, 437}}, {0x6A, {1252, 437}}, {0x6B, {1252, 850}},  {0x6C, {1252, 850}},
    {0x6D, {1251, 866}}, {0x6E, {1252, 850}}, {0x6F, {1252, 850}}, {0x70, {1252, 437}},  {0x7A, {1252, 850}},
    {0x7C, {1252, 850}}, {0x7E, {1252, 850}}, {0x7F, {1252, 437}}, {0x80, {1256, 720}},  {0x82, {1252, 850}},
    {0x83, {1252, 850}}, {0x84, {1252, 850}}, {0x85, {1251, 866}}, {0x86, {1252, 850}},  {0x87, {1252, 437}},
    {0x88, {1252, 850}}, {0x8C, {1256, 720}}, {0x91, {1252, 850}},
};

CodePages CodePagesOf(LCID resolved) {
  const auto langId = static_cast<uint16_t>(resolved & 0xFFFF);
  for (const auto& e : kByLangId)
    if (e.langId == langId) return e.pages;
  const auto primary = static_cast<uint16_t>(PrimaryLangID(resolved));
  for (const auto& e : kByPrimary)
    if (e.primary == primary) return e.pages;
  return {0, 0};
}

// ---- ICU locale of an identifier ----

bool IcuLocaleOf(LCID resolved, char* buf, int32_t cap) {
  if ((resolved & 0xFFFF) == LOCALE_INVARIANT) {
    std::strcpy(buf, "root");
    return true;
  }
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n = uloc_getLocaleForLCID(resolved, buf, cap, &err);
  return U_SUCCESS(err) && n > 0 && n < cap;
}

// ---- collators ----

using CollatorPtr = std::unique_ptr<UCollator, decltype(&ucol_close)>;

constexpr uint32_t kCompareFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS | SORT_STRINGSORT |
                                   SORT_DIGITSASNUMBERS;

UCollator* MakeCollator(LCID resolved, uint32_t flags) {
  char name[ULOC_FULLNAME_CAPACITY];
  if (!IcuLocaleOf(resolved, name, sizeof name)) return nullptr;
  UErrorCode err = U_ZERO_ERROR;
  UCollator* coll = ucol_open(name, &err);
  if (U_FAILURE(err) || !coll) return nullptr;
  const bool ignoreCase = flags & NORM_IGNORECASE;
  const bool ignoreMarks = flags & NORM_IGNORENONSPACE;
  // Full comparison goes to the quaternary level, where Japanese tells hiragana from katakana.
  UColAttributeValue strength = UCOL_QUATERNARY;
  if (ignoreMarks) {
    strength = UCOL_PRIMARY;
    if (!ignoreCase) ucol_setAttribute(coll, UCOL_CASE_LEVEL, UCOL_ON, &err);
  } else if (ignoreCase) {
    strength = UCOL_SECONDARY;
  }
  // Ignored symbols must not come back as quaternary differences.
  if ((flags & NORM_IGNORESYMBOLS) && strength == UCOL_QUATERNARY) strength = UCOL_TERTIARY;
  ucol_setAttribute(coll, UCOL_STRENGTH, strength, &err);
  if (flags & NORM_IGNORESYMBOLS) {
    // Spaces, punctuation, symbols and currency signs weigh nothing.
    ucol_setAttribute(coll, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &err);
    ucol_setMaxVariable(coll, UCOL_REORDER_CODE_CURRENCY, &err);
  } else if (!(flags & SORT_STRINGSORT)) {
    // Word sort: spaces and punctuation (hyphens, apostrophes) weigh nothing at first, so that
    // "co-op" sorts beside "coop"; CompareStringW breaks the tie with the string-sort collator.
    ucol_setAttribute(coll, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &err);
    ucol_setMaxVariable(coll, UCOL_REORDER_CODE_PUNCTUATION, &err);
  }
  if (flags & SORT_DIGITSASNUMBERS) ucol_setAttribute(coll, UCOL_NUMERIC_COLLATION, UCOL_ON, &err);
  if (U_FAILURE(err)) {
    ucol_close(coll);
    return nullptr;
  }
  return coll;
}

// One collator per locale and flag set, made on first use and kept for the life of the process.
// Comparing through a collator is thread-safe once it is set up.
const UCollator* CollatorFor(LCID resolved, uint32_t flags) {
  const uint64_t key = (static_cast<uint64_t>(resolved) << 32) | flags;
  thread_local uint64_t lastKey = ~uint64_t{0};
  thread_local const UCollator* lastColl = nullptr;
  if (key == lastKey) return lastColl;
  static std::mutex mutex;
  static std::unordered_map<uint64_t, CollatorPtr> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, CollatorPtr(MakeCollator(resolved, flags), &ucol_close)).first;
  lastKey = key;
  lastColl = it->second.get();
  return lastColl;
}

UnicodeString FromUChars(const UChar* s, int32_t n) {
  return UnicodeString(reinterpret_cast<const char16_t*>(s), static_cast<size_t>(std::max(n, 0)));
}

// ---- case mapping ----

bool UsesTurkicCasing(LCID resolved) {
  const uint32_t primary = PrimaryLangID(resolved);
  return primary == 0x1F || primary == 0x2C;  // Turkish, Azerbaijani
}

char32_t MapCase(char32_t c, uint32_t kind, bool turkic) {
  if (turkic) {
    if (kind == LCMAP_UPPERCASE || kind == LCMAP_TITLECASE) {
      if (c == U'i') return U'\u0130';
    } else {
      if (c == U'I') return U'\u0131';
      if (c == U'\u0130') return U'i';
    }
  }
  switch (kind) {
    case LCMAP_UPPERCASE: return ToUpper(c);
    case LCMAP_LOWERCASE: return ToLower(c);
    default: return ToTitle(c);
  }
}

// Maps n units from src to dst (which may be src) one unit for one unit.
void MapCaseUnits(const char16_t* src, char16_t* dst, int32_t n, uint32_t kind, bool turkic) {
  bool inWord = false;
  for (int32_t i = 0; i < n;) {
    char32_t c = src[i];
    int32_t width = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
      width = 2;
    }
    uint32_t k = kind;
    if (kind == LCMAP_TITLECASE) {
      // Title case: the first letter of each word in title case, the other letters in lower case.
      const bool letter = IsLetter(c);
      if (letter && inWord) k = LCMAP_LOWERCASE;
      inWord = letter || (inWord && GetUnicodeCategory(c) == ucNonSpacingMark);
    }
    char32_t m = MapCase(c, k, turkic);
    if ((m >= 0x10000) != (width == 2)) m = c;  // a mapping that would change the length is not taken
    if (width == 1) {
      dst[i] = static_cast<char16_t>(m);
    } else {
      dst[i] = static_cast<char16_t>(0xD800 + ((m - 0x10000) >> 10));
      dst[i + 1] = static_cast<char16_t>(0xDC00 + ((m - 0x10000) & 0x3FF));
    }
    i += width;
  }
}

const UChar* AsUChar(const char16_t* s) { return reinterpret_cast<const UChar*>(s); }

}  // namespace

// ---- identifiers ----

LCID GetUserDefaultLCID() { return gUserDefaultLCID.load(std::memory_order_relaxed); }

bool SetUserDefaultLCID(LCID Locale) {
  const LCID r = ResolvedLCID(Locale);
  if (!r) return false;
  gUserDefaultLCID.store(r, std::memory_order_relaxed);
  return true;
}

LCID ResolvedLCID(LCID Locale) {
  if (Locale >> 20) return 0;  // reserved bits
  switch (Locale) {
    case LOCALE_NEUTRAL:
    case LOCALE_USER_DEFAULT:
    case LOCALE_SYSTEM_DEFAULT:
    case LOCALE_CUSTOM_DEFAULT:
    case LOCALE_CUSTOM_UNSPECIFIED:
    case LOCALE_CUSTOM_UI_DEFAULT:
      return GetUserDefaultLCID();
    case LOCALE_INVARIANT:
      return LOCALE_INVARIANT;
    default:
      break;
  }
  // The last answer is kept: callers that type text piece by piece ask for the same locale each time,
  // and ICU's round trip costs more than typing a short piece.
  static std::atomic<uint64_t> last{0};
  const uint64_t known = last.load(std::memory_order_relaxed);
  if (known != 0 && static_cast<LCID>(known >> 32) == Locale) return static_cast<LCID>(known & 0xFFFFFFFFu);
  LCID resolved = 0;
  char name[ULOC_FULLNAME_CAPACITY];
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n = uloc_getLocaleForLCID(Locale, name, sizeof name, &err);
  // ICU falls back to the language for an unknown sub-language; only an exact round trip is known.
  if (U_SUCCESS(err) && n > 0 && n < static_cast<int32_t>(sizeof name) && uloc_getLCID(name) == Locale) resolved = Locale;
  last.store((uint64_t{Locale} << 32) | resolved, std::memory_order_relaxed);
  return resolved;
}

bool IsValidLocale(LCID Locale) { return ResolvedLCID(Locale) != 0; }

std::string LCIDToICULocale(LCID Locale) {
  const LCID r = ResolvedLCID(Locale);
  char name[ULOC_FULLNAME_CAPACITY];
  if (!r || !IcuLocaleOf(r, name, sizeof name)) return {};
  return name;
}

LCID ICULocaleToLCID(std::string_view localeId) {
  if (localeId.empty() || localeId.size() >= ULOC_FULLNAME_CAPACITY) return 0;
  const std::string id(localeId);
  if (id == "root") return LOCALE_INVARIANT;
  char canonical[ULOC_FULLNAME_CAPACITY];
  UErrorCode err = U_ZERO_ERROR;
  if (id.find('-') != std::string::npos) {
    int32_t parsed = 0;
    uloc_forLanguageTag(id.c_str(), canonical, sizeof canonical, &parsed, &err);
    if (U_FAILURE(err) || parsed != static_cast<int32_t>(id.size())) return 0;
  } else {
    uloc_canonicalize(id.c_str(), canonical, sizeof canonical, &err);
    if (U_FAILURE(err)) return 0;
  }
  const LCID lcid = uloc_getLCID(canonical);
  return lcid && ResolvedLCID(lcid) == lcid ? lcid : 0;
}

UnicodeString LCIDToLocaleName(LCID Locale) {
  const std::string icu = LCIDToICULocale(Locale);
  if (icu.empty()) return {};
  if (icu == "root") return {};  // the invariant locale's name is the empty string
  char tag[ULOC_FULLNAME_CAPACITY];
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n = uloc_toLanguageTag(icu.c_str(), tag, sizeof tag, false, &err);
  if (U_FAILURE(err) || n <= 0) return {};
  return Latin1ToUtf16(std::string_view(tag, static_cast<size_t>(n)));
}

LCID LocaleNameToLCID(std::u16string_view name) {
  if (name.empty()) return LOCALE_INVARIANT;
  std::string ascii;
  for (char16_t c : name) {
    if (c > 0x7E) return 0;
    ascii.push_back(static_cast<char>(c));
  }
  return ICULocaleToLCID(ascii);
}

const std::vector<LCID>& InstalledLCIDs() {
  static const std::vector<LCID> lcids = [] {
    std::vector<LCID> out;
    for (LCID id = 0x0400; id <= 0xFFFF; ++id) {
      if (SubLangID(id) == 0 || id == LOCALE_CUSTOM_DEFAULT || id == LOCALE_CUSTOM_UNSPECIFIED ||
          id == LOCALE_CUSTOM_UI_DEFAULT || id == LOCALE_SYSTEM_DEFAULT)
        continue;
      if (ResolvedLCID(id) == id) out.push_back(id);
    }
    return out;
  }();
  return lcids;
}

uint32_t LCIDToAnsiCodePage(LCID Locale) {
  const LCID r = ResolvedLCID(Locale);
  return r ? CodePagesOf(r).ansi : 0;
}

uint32_t LCIDToOemCodePage(LCID Locale) {
  const LCID r = ResolvedLCID(Locale);
  return r ? CodePagesOf(r).oem : 0;
}

// ---- locale information ----

namespace {

// Answers one item for a known locale; false when the item is unknown or ICU has no answer.
bool LocaleItem(LCID resolved, uint32_t item, UnicodeString& out, uint32_t& number, bool& numeric) {
  char loc[ULOC_FULLNAME_CAPACITY];
  if (!IcuLocaleOf(resolved, loc, sizeof loc)) return false;
  UChar buf[256];
  UErrorCode err = U_ZERO_ERROR;
  int32_t n = 0;
  numeric = false;
  const CodePages pages = CodePagesOf(resolved);
  switch (item) {
    case LOCALE_ILANGUAGE: {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(resolved & 0xFFFF));
      out = Latin1ToUtf16(hex);
      return true;
    }
    case LOCALE_SLANGUAGE:
    case LOCALE_SNATIVEDISPLAYNAME:
      n = uloc_getDisplayName(loc, loc, buf, 256, &err);
      break;
    case LOCALE_SENGLISHDISPLAYNAME:
      n = uloc_getDisplayName(loc, "en", buf, 256, &err);
      break;
    case LOCALE_SNATIVELANGNAME:
      n = uloc_getDisplayLanguage(loc, loc, buf, 256, &err);
      break;
    case LOCALE_SENGLANGUAGE:
      n = uloc_getDisplayLanguage(loc, "en", buf, 256, &err);
      break;
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY:
      n = uloc_getDisplayCountry(loc, "en", buf, 256, &err);
      break;
    case LOCALE_SNATIVECTRYNAME:
      n = uloc_getDisplayCountry(loc, loc, buf, 256, &err);
      break;
    case LOCALE_IDEFAULTCODEPAGE:
      numeric = true;
      number = pages.oem;
      out = IntToStr(static_cast<int64_t>(number));
      return true;
    case LOCALE_IDEFAULTANSICODEPAGE:
      numeric = true;
      number = pages.ansi;
      out = IntToStr(static_cast<int64_t>(number));
      return true;
    case LOCALE_IMEASURE: {
      numeric = true;
      const UMeasurementSystem ms = ulocdata_getMeasurementSystem(loc, &err);
      if (U_FAILURE(err)) return false;
      number = ms == UMS_US ? 1 : 0;
      out = IntToStr(static_cast<int64_t>(number));
      return true;
    }
    case LOCALE_SCURRENCY:
    case LOCALE_SINTLSYMBOL: {
      UChar iso[4];
      const int32_t isoLen = ucurr_forLocale(loc, iso, 4, &err);
      if (U_FAILURE(err) || isoLen != 3) return false;
      if (item == LOCALE_SINTLSYMBOL) {
        out = FromUChars(iso, 3);
        return true;
      }
      iso[3] = 0;
      UBool isChoice = false;
      const UChar* sym = ucurr_getName(iso, loc, UCURR_SYMBOL_NAME, &isChoice, &n, &err);
      if (U_FAILURE(err) || !sym) return false;
      out = FromUChars(sym, n);
      return true;
    }
    case LOCALE_SDECIMAL:
    case LOCALE_STHOUSAND:
    case LOCALE_SLIST: {
      UNumberFormat* fmt = unum_open(UNUM_DECIMAL, nullptr, 0, loc, nullptr, &err);
      if (U_FAILURE(err)) return false;
      const UNumberFormatSymbol sym = item == LOCALE_STHOUSAND ? UNUM_GROUPING_SEPARATOR_SYMBOL : UNUM_DECIMAL_SEPARATOR_SYMBOL;
      n = unum_getSymbol(fmt, sym, buf, 256, &err);
      unum_close(fmt);
      if (U_FAILURE(err)) return false;
      out = FromUChars(buf, n);
      // The list separator is the one that cannot be taken for the decimal separator.
      if (item == LOCALE_SLIST) out = out == u"," ? u";" : u",";
      return true;
    }
    case LOCALE_SISO639LANGNAME: {
      char lang[ULOC_LANG_CAPACITY];
      n = uloc_getLanguage(loc, lang, sizeof lang, &err);
      if (U_FAILURE(err)) return false;
      out = Latin1ToUtf16(std::string_view(lang, static_cast<size_t>(n)));
      return true;
    }
    case LOCALE_SISO3166CTRYNAME: {
      char country[ULOC_COUNTRY_CAPACITY];
      n = uloc_getCountry(loc, country, sizeof country, &err);
      if (U_FAILURE(err)) return false;
      out = Latin1ToUtf16(std::string_view(country, static_cast<size_t>(n)));
      return true;
    }
    case LOCALE_SNAME:
      out = LCIDToLocaleName(resolved);
      return true;
    default:
      return false;
  }
  if (U_FAILURE(err) || n < 0 || n > 256) return false;
  out = FromUChars(buf, n);
  return true;
}

constexpr uint32_t kLocaleItemModifiers = LOCALE_NOUSEROVERRIDE | LOCALE_RETURN_NUMBER;

}  // namespace

int32_t GetLocaleInfoW(LCID Locale, uint32_t LCType, char16_t* lpLCData, int32_t cchData) {
  if (cchData < 0 || (cchData > 0 && !lpLCData)) return Fail(ERROR_INVALID_PARAMETER);
  const LCID r = ResolvedLCID(Locale);
  if (!r) return Fail(ERROR_INVALID_PARAMETER);
  UnicodeString text;
  uint32_t number = 0;
  bool numeric = false;
  if (!LocaleItem(r, LCType & ~kLocaleItemModifiers, text, number, numeric)) return Fail(ERROR_INVALID_FLAGS);
  if (LCType & LOCALE_RETURN_NUMBER) {
    if (!numeric) return Fail(ERROR_INVALID_FLAGS);
    if (cchData == 0) return 2;
    if (cchData < 2) return Fail(ERROR_INSUFFICIENT_BUFFER);
    lpLCData[0] = static_cast<char16_t>(number & 0xFFFF);
    lpLCData[1] = static_cast<char16_t>(number >> 16);
    return 2;
  }
  const auto need = static_cast<int32_t>(text.size() + 1);
  if (cchData == 0) return need;
  if (cchData < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::copy(text.begin(), text.end(), lpLCData);
  lpLCData[text.size()] = u'\0';
  return need;
}

UnicodeString GetLocaleInfoString(LCID Locale, uint32_t LCType) {
  char16_t buf[1024];
  const int32_t n = GetLocaleInfoW(Locale, LCType & ~LOCALE_RETURN_NUMBER, buf, 1024);
  return n > 0 ? UnicodeString(buf, static_cast<size_t>(n - 1)) : UnicodeString();
}

// ---- comparison ----

namespace {

// Width and kana type are third-level differences to a collator, beside case, and ICU has no attribute
// that drops them while keeping case. So both strings are folded before they are collated: the folds
// are small fixed mappings, and a string that holds nothing to fold (the usual case) is not copied.
constexpr uint32_t kFoldFlags = NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;

// The fullwidth and halfwidth forms block (U+FF00-U+FFEF), each unit's ordinary character (0 for
// none), taken once from the Unicode <wide> and <narrow> compatibility mappings, which are one BMP
// character each: "Ａ" to "A", "ｱ" to "ア", "ﾞ" to the combining voiced mark, "￥" to "¥".
const std::array<char16_t, 0xF0>& WidthFoldTable() {
  static const std::array<char16_t, 0xF0> table = [] {
    std::array<char16_t, 0xF0> t{};
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* nfkc = unorm2_getNFKCInstance(&err);
    for (UChar32 c = 0xFF00; c <= 0xFFEF; ++c) {
      const int32_t type = u_getIntPropertyValue(c, UCHAR_DECOMPOSITION_TYPE);
      if (type != U_DT_WIDE && type != U_DT_NARROW) continue;
      UChar d[4];
      err = U_ZERO_ERROR;
      if (unorm2_getRawDecomposition(nfkc, c, d, 4, &err) == 1 && U_SUCCESS(err)) t[c - 0xFF00] = d[0];
    }
    return t;
  }();
  return table;
}

char16_t WidthFolded(char16_t c) {
  if (c == 0x3000) return u' ';  // the ideographic space, the one wide form outside the block
  if (c < 0xFF00 || c > 0xFFEF) return c;
  const char16_t f = WidthFoldTable()[c - 0xFF00];
  return f ? f : c;
}

char16_t KanaFolded(char16_t c) {
  if (c >= 0x3041 && c <= 0x3096) return static_cast<char16_t>(c + 0x60);  // ぁ..ゖ to ァ..ヶ
  if (c == 0x309D || c == 0x309E) return static_cast<char16_t>(c + 0x60);  // the iteration marks ゝゞ
  return c;
}

bool Folds(char16_t c, uint32_t fold) {
  if (c < 0x3000) return false;
  if ((fold & NORM_IGNOREWIDTH) && WidthFolded(c) != c) return true;
  return (fold & NORM_IGNOREKANATYPE) && KanaFolded(c) != c;
}

// A string as it is compared: the caller's units, or a folded copy of them.
class TComparedText {
 public:
  TComparedText(const char16_t* s, int32_t n, uint32_t fold) : fText(s), fLength(n) {
    if (!fold) return;
    const int32_t len = n == -1 ? u_strlen(AsUChar(s)) : n;
    int32_t first = 0;
    while (first < len && !Folds(s[first], fold)) ++first;
    if (first == len) return;
    fCopy.reserve(static_cast<size_t>(len));
    fCopy.assign(s, static_cast<size_t>(first));
    UErrorCode err = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&err);
    for (int32_t i = first; i < len; ++i) {
      char16_t c = s[i];
      if (fold & NORM_IGNOREWIDTH) {
        c = WidthFolded(c);
        // A halfwidth (semi-)voiced mark joins the kana before it, as the fullwidth text has it: "ｶﾞ"
        // compares as "ガ".
        if ((c == 0x3099 || c == 0x309A) && !fCopy.empty() && U_SUCCESS(err)) {
          const UChar32 pair = unorm2_composePair(nfc, fCopy.back(), c);
          if (pair > 0 && pair <= 0xFFFF) {
            fCopy.back() = static_cast<char16_t>(pair);
            continue;
          }
        }
      }
      if (fold & NORM_IGNOREKANATYPE) c = KanaFolded(c);
      fCopy.push_back(c);
    }
    fText = fCopy.c_str();
    fLength = static_cast<int32_t>(fCopy.size());
  }

  TComparedText(const TComparedText&) = delete;
  TComparedText& operator=(const TComparedText&) = delete;

  const UChar* Text() const { return AsUChar(fText); }
  int32_t Length() const { return fLength; }

 private:
  const char16_t* fText;
  int32_t fLength;
  std::u16string fCopy;
};

bool IsKatakanaWithHiragana(char16_t c) { return (c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE; }

// Tells apart strings the collator found equal, when they differ in width or kana type and the flags
// want that told. Collators disagree here: the Japanese one, for one, gives halfwidth katakana the same
// weights as fullwidth ones, and below the third level none of them sees width. The strings are ordered
// by where their width forms stand, then their katakana: the ordinary form and hiragana first, as the
// collators put them where they do tell them apart.
UCollationResult WidthAndKanaTieBreak(const char16_t* s1, int32_t n1, const char16_t* s2, int32_t n2, uint32_t tell) {
  auto key = [](const char16_t* s, int32_t n, uint32_t which) {
    std::u16string k;
    const int32_t len = n == -1 ? u_strlen(AsUChar(s)) : n;
    for (int32_t i = 0; i < len; ++i) {
      const char16_t w = WidthFolded(s[i]);
      // A halfwidth voiced mark belongs to the kana before it, as it does when folded.
      if ((w == 0x3099 || w == 0x309A) && w != s[i] && !k.empty()) continue;
      if (which == NORM_IGNOREWIDTH) k.push_back(w != s[i] ? u'1' : u'0');
      else k.push_back(IsKatakanaWithHiragana(w) ? u'1' : u'0');
    }
    return k;
  };
  for (const uint32_t which : {NORM_IGNOREWIDTH, NORM_IGNOREKANATYPE}) {
    if (!(tell & which)) continue;
    const int c = key(s1, n1, which).compare(key(s2, n2, which));
    if (c != 0) return c < 0 ? UCOL_LESS : UCOL_GREATER;
  }
  return UCOL_EQUAL;
}

bool HasFoldable(const char16_t* s, int32_t n) {
  const int32_t len = n == -1 ? u_strlen(AsUChar(s)) : n;
  for (int32_t i = 0; i < len; ++i)
    if (Folds(s[i], kFoldFlags) || IsKatakanaWithHiragana(s[i])) return true;
  return false;
}

}  // namespace

int32_t CompareStringW(LCID Locale, uint32_t dwCmpFlags, const char16_t* s1, int32_t n1, const char16_t* s2,
                       int32_t n2) {
  if (!s1 || !s2 || n1 < -1 || n2 < -1) return Fail(ERROR_INVALID_PARAMETER);
  if (dwCmpFlags &
      ~(kCompareFlags | kFoldFlags | LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC | NORM_LINGUISTIC_CASING))
    return Fail(ERROR_INVALID_FLAGS);
  uint32_t flags = dwCmpFlags & kCompareFlags;
  if (dwCmpFlags & LINGUISTIC_IGNORECASE) flags |= NORM_IGNORECASE;
  if (dwCmpFlags & LINGUISTIC_IGNOREDIACRITIC) flags |= NORM_IGNORENONSPACE;
  const LCID r = ResolvedLCID(Locale);
  if (!r) return Fail(ERROR_INVALID_PARAMETER);
  const UCollator* coll = CollatorFor(r, flags);
  if (!coll) return Fail(ERROR_INVALID_PARAMETER);
  const TComparedText a(s1, n1, dwCmpFlags & kFoldFlags), b(s2, n2, dwCmpFlags & kFoldFlags);
  UCollationResult res = ucol_strcoll(coll, a.Text(), a.Length(), b.Text(), b.Length());
  if (res == UCOL_EQUAL && !(flags & (SORT_STRINGSORT | NORM_IGNORESYMBOLS))) {
    // Word sort: strings equal but for punctuation are ordered by it.
    if (const UCollator* strict = CollatorFor(r, flags | SORT_STRINGSORT))
      res = ucol_strcoll(strict, a.Text(), a.Length(), b.Text(), b.Length());
  }
  // Ignoring case ignores every third-level difference, width and kana type among them; otherwise what
  // the flags do not ignore is told apart.
  const uint32_t tell = (flags & NORM_IGNORECASE) ? 0 : kFoldFlags & ~dwCmpFlags;
  if (res == UCOL_EQUAL && tell && (HasFoldable(s1, n1) || HasFoldable(s2, n2)))
    res = WidthAndKanaTieBreak(s1, n1, s2, n2, tell);
  return res == UCOL_LESS ? CSTR_LESS_THAN : res == UCOL_EQUAL ? CSTR_EQUAL : CSTR_GREATER_THAN;
}

namespace {

// Appends the collator's key for text; false when the collator gives none.
bool AppendCollationKey(const UCollator* coll, const TComparedText& text, std::string& key) {
  const size_t at = key.size();
  key.resize(at + 64 + static_cast<size_t>(text.Length()) * 4);
  for (;;) {
    const int32_t room = static_cast<int32_t>(std::min<size_t>(key.size() - at, INT32_MAX));
    const int32_t need = ucol_getSortKey(coll, text.Text(), text.Length(), reinterpret_cast<uint8_t*>(&key[at]), room);
    if (need <= 0) return false;
    if (need <= room) {
      key.resize(at + static_cast<size_t>(need));  // the key's closing zero byte included
      return true;
    }
    key.resize(at + static_cast<size_t>(need));
  }
}

}  // namespace

// A collator key is a run of non-zero bytes closed by a zero byte, so keys laid end to end (the word
// sort's strict key after the first) compare as the comparison goes: first key first.
bool CompareStringSortKey(LCID Locale, uint32_t dwCmpFlags, const char16_t* s, int32_t n, std::string& key) {
  key.clear();
  if (!s || n < -1) return false;
  if (dwCmpFlags &
      ~(kCompareFlags | kFoldFlags | LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC | NORM_LINGUISTIC_CASING))
    return false;
  uint32_t flags = dwCmpFlags & kCompareFlags;
  if (dwCmpFlags & LINGUISTIC_IGNORECASE) flags |= NORM_IGNORECASE;
  if (dwCmpFlags & LINGUISTIC_IGNOREDIACRITIC) flags |= NORM_IGNORENONSPACE;
  const uint32_t tell = (flags & NORM_IGNORECASE) ? 0 : kFoldFlags & ~dwCmpFlags;
  if (tell && HasFoldable(s, n)) return false;
  const LCID r = ResolvedLCID(Locale);
  if (!r) return false;
  const UCollator* coll = CollatorFor(r, flags);
  if (!coll) return false;
  const TComparedText text(s, n, dwCmpFlags & kFoldFlags);
  bool ok = AppendCollationKey(coll, text, key);
  if (ok && !(flags & (SORT_STRINGSORT | NORM_IGNORESYMBOLS))) {
    const UCollator* strict = CollatorFor(r, flags | SORT_STRINGSORT);
    ok = strict != nullptr && AppendCollationKey(strict, text, key);
  }
  if (!ok) key.clear();
  return ok;
}

int32_t CompareStringA(LCID Locale, uint32_t dwCmpFlags, const char* s1, int32_t n1, const char* s2, int32_t n2) {
  if (!s1 || !s2 || n1 < -1 || n2 < -1) return Fail(ERROR_INVALID_PARAMETER);
  const LCID r = ResolvedLCID(Locale);
  if (!r) return Fail(ERROR_INVALID_PARAMETER);
  uint32_t cp = CodePagesOf(r).ansi;
  if (cp == 0) cp = GetACP();
  auto widen = [cp](const char* s, int32_t n) {
    const size_t len = n == -1 ? std::strlen(s) : static_cast<size_t>(n);
    return len == 0 ? UnicodeString() : AnsiToUnicode(std::string_view(s, len), cp);
  };
  const UnicodeString w1 = widen(s1, n1), w2 = widen(s2, n2);
  return CompareStringW(r, dwCmpFlags, w1.c_str(), static_cast<int32_t>(w1.size()), w2.c_str(),
                        static_cast<int32_t>(w2.size()));
}

// ---- case mapping ----

int32_t LCMapStringW(LCID Locale, uint32_t dwMapFlags, const char16_t* src, int32_t cchSrc, char16_t* dst,
                     int32_t cchDest) {
  if (!src || cchSrc == 0 || cchSrc < -1 || cchDest < 0 || (cchDest > 0 && !dst)) return Fail(ERROR_INVALID_PARAMETER);
  const uint32_t kind = dwMapFlags & ~LCMAP_LINGUISTIC_CASING;
  if (kind != LCMAP_LOWERCASE && kind != LCMAP_UPPERCASE && kind != LCMAP_TITLECASE) return Fail(ERROR_INVALID_FLAGS);
  const LCID r = ResolvedLCID(Locale);
  if (!r) return Fail(ERROR_INVALID_PARAMETER);
  const int32_t len = cchSrc == -1 ? u_strlen(AsUChar(src)) + 1 : cchSrc;
  if (cchDest == 0) return len;
  if (cchDest < len) return Fail(ERROR_INSUFFICIENT_BUFFER);
  // Partly overlapping buffers would be read after being written.
  if (dst != src && dst < src + len && src < dst + len) return Fail(ERROR_INVALID_PARAMETER);
  MapCaseUnits(src, dst, len, kind, (dwMapFlags & LCMAP_LINGUISTIC_CASING) && UsesTurkicCasing(r));
  return len;
}

namespace {
UnicodeString MapWhole(LCID Locale, uint32_t flags, std::u16string_view s) {
  UnicodeString out(s);
  if (out.empty()) return out;
  const LCID r = ResolvedLCID(Locale);
  if (!r) return out;
  MapCaseUnits(out.data(), out.data(), static_cast<int32_t>(out.size()), flags & ~LCMAP_LINGUISTIC_CASING,
               (flags & LCMAP_LINGUISTIC_CASING) && UsesTurkicCasing(r));
  return out;
}
}  // namespace

UnicodeString LocaleUpperCase(LCID Locale, std::u16string_view s) {
  return MapWhole(Locale, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING, s);
}
UnicodeString LocaleLowerCase(LCID Locale, std::u16string_view s) {
  return MapWhole(Locale, LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING, s);
}

UnicodeString AnsiUpperCase(std::u16string_view s) { return LocaleUpperCase(GetUserDefaultLCID(), s); }
UnicodeString AnsiLowerCase(std::u16string_view s) { return LocaleLowerCase(GetUserDefaultLCID(), s); }

AnsiString AnsiUpperCase(std::string_view s) {
  if (s.empty()) return {};
  return UnicodeToAnsi(AnsiUpperCase(AnsiToUnicode(s)));
}
AnsiString AnsiLowerCase(std::string_view s) {
  if (s.empty()) return {};
  return UnicodeToAnsi(AnsiLowerCase(AnsiToUnicode(s)));
}

namespace {
int32_t DefaultLocaleCompare(std::u16string_view a, std::u16string_view b, uint32_t flags) {
  if (a.size() > INT32_MAX || b.size() > INT32_MAX) throw EConvertError(u"String too long to compare");
  const int32_t r = CompareStringW(GetUserDefaultLCID(), flags, a.empty() ? u"" : a.data(), static_cast<int32_t>(a.size()),
                                   b.empty() ? u"" : b.data(), static_cast<int32_t>(b.size()));
  // The default locale is always a known one, so the call cannot fail; fall back to code-unit order.
  return r ? r - 2 : (a < b ? -1 : a == b ? 0 : 1);
}
}  // namespace

int32_t AnsiCompareStr(std::u16string_view a, std::u16string_view b) { return DefaultLocaleCompare(a, b, 0); }
int32_t AnsiCompareText(std::u16string_view a, std::u16string_view b) {
  return DefaultLocaleCompare(a, b, NORM_IGNORECASE);
}
bool AnsiSameText(std::u16string_view a, std::u16string_view b) { return AnsiCompareText(a, b) == 0; }
bool AnsiSameStr(std::u16string_view a, std::u16string_view b) { return AnsiCompareStr(a, b) == 0; }

}  // namespace kx8
