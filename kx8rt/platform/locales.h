// Locale identifiers (LCID) on ICU locales, their code pages and names, and locale-aware comparison.
// (Declarations agreed first; the implementation lives in locales.cpp.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kx8rt/platform/strings.h"

namespace kx8 {

using LCID = uint32_t;

inline constexpr LCID LOCALE_DEFAULT_LCID = 0x0409;  // English (United States)

// Identifiers that stand for another locale: the user's and the system's default (both the process-wide
// default LCID here), the invariant locale, and the neutral and custom placeholders (the default too).
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_CUSTOM_DEFAULT = 0x0C00;
inline constexpr LCID LOCALE_CUSTOM_UNSPECIFIED = 0x1000;
inline constexpr LCID LOCALE_CUSTOM_UI_DEFAULT = 0x1400;

// Comparison flags and results of CompareStringW, as the classic call has them.
inline constexpr uint32_t NORM_IGNORECASE = 0x00000001;
inline constexpr uint32_t NORM_IGNORENONSPACE = 0x00000002;
inline constexpr uint32_t NORM_IGNORESYMBOLS = 0x00000004;
inline constexpr uint32_t SORT_STRINGSORT = 0x00001000;
inline constexpr uint32_t SORT_DIGITSASNUMBERS = 0x00000008;       // "a10" after "a9"
inline constexpr uint32_t LINGUISTIC_IGNORECASE = 0x00000010;      // the same as NORM_IGNORECASE here
inline constexpr uint32_t LINGUISTIC_IGNOREDIACRITIC = 0x00000020;  // the same as NORM_IGNORENONSPACE here
inline constexpr uint32_t NORM_LINGUISTIC_CASING = 0x08000000;     // accepted; collation is always linguistic
inline constexpr uint32_t NORM_IGNOREKANATYPE = 0x00010000;  // hiragana compare as the katakana of the same sound
inline constexpr uint32_t NORM_IGNOREWIDTH = 0x00020000;     // fullwidth and halfwidth forms as the ordinary ones
inline constexpr int32_t CSTR_LESS_THAN = 1;
inline constexpr int32_t CSTR_EQUAL = 2;
inline constexpr int32_t CSTR_GREATER_THAN = 3;

// Compares two UTF-16 strings under Locale's collation: 1, 2 or 3 (less, equal, greater), 0 on failure.
// A length of -1 means the string ends at its first NUL. NORM_IGNORECASE ignores every third-level
// difference, width and kana type included; NORM_IGNOREWIDTH and NORM_IGNOREKANATYPE ignore those alone.
int32_t CompareStringW(LCID Locale, uint32_t dwCmpFlags, const char16_t* s1, int32_t n1, const char16_t* s2,
                       int32_t n2);

// The locale's 8-bit (ANSI) code page, 0 when it has none.
uint32_t LCIDToAnsiCodePage(LCID Locale);

// As CompareStringW for 8-bit strings in the locale's ANSI code page (the system code page when it has none).
int32_t CompareStringA(LCID Locale, uint32_t dwCmpFlags, const char* s1, int32_t n1, const char* s2, int32_t n2);

// ---- locale identifiers ----

// The process-wide default locale (0x0409 at start); the stand-in identifiers above resolve to it.
LCID GetUserDefaultLCID();
// Sets the default locale; false (and no change) for an identifier this system does not know.
bool SetUserDefaultLCID(LCID Locale);

// Primary language of an identifier: its low 10 bits.
constexpr uint32_t PrimaryLangID(LCID Locale) { return Locale & 0x3FF; }
// Sub-language: bits 10 to 15.
constexpr uint32_t SubLangID(LCID Locale) { return (Locale >> 10) & 0x3F; }

// The identifier a stand-in names (defaults, neutral, custom), or Locale itself when it is known;
// 0 for an identifier no ICU locale stands behind.
LCID ResolvedLCID(LCID Locale);
bool IsValidLocale(LCID Locale);
// ICU locale id ("en_US", "de_DE@collation=phonebook", "root" for the invariant locale); empty if unknown.
std::string LCIDToICULocale(LCID Locale);
// The identifier of an ICU locale id or BCP 47 tag ("tr_TR", "tr-TR"); 0 when none.
LCID ICULocaleToLCID(std::string_view localeId);
// BCP 47 name ("en-US"); empty if unknown.
UnicodeString LCIDToLocaleName(LCID Locale);
LCID LocaleNameToLCID(std::u16string_view name);
// Every specific (language and country) identifier available, ascending, made once.
const std::vector<LCID>& InstalledLCIDs();

// The OEM (DOS) code page of a locale, 0 when it has none (Unicode-only locales).
uint32_t LCIDToOemCodePage(LCID Locale);

// ---- locale information ----

// Items of GetLocaleInfoW, with their classic numbers.
inline constexpr uint32_t LOCALE_ILANGUAGE = 0x0001;           // language id, 4 hex digits ("0409")
inline constexpr uint32_t LOCALE_SLANGUAGE = 0x0002;           // language (country) in the locale's own language
inline constexpr uint32_t LOCALE_SNATIVELANGNAME = 0x0004;     // language in its own language ("Deutsch")
inline constexpr uint32_t LOCALE_SCOUNTRY = 0x0006;            // country in English (no UI language here)
inline constexpr uint32_t LOCALE_SNATIVECTRYNAME = 0x0008;     // country in the locale's own language
inline constexpr uint32_t LOCALE_IDEFAULTCODEPAGE = 0x000B;    // OEM code page, decimal
inline constexpr uint32_t LOCALE_SLIST = 0x000C;               // list separator
inline constexpr uint32_t LOCALE_IMEASURE = 0x000D;            // "0" metric, "1" U.S.
inline constexpr uint32_t LOCALE_SDECIMAL = 0x000E;
inline constexpr uint32_t LOCALE_STHOUSAND = 0x000F;
inline constexpr uint32_t LOCALE_SCURRENCY = 0x0014;           // local currency symbol
inline constexpr uint32_t LOCALE_SINTLSYMBOL = 0x0015;         // ISO 4217 code
inline constexpr uint32_t LOCALE_SISO639LANGNAME = 0x0059;
inline constexpr uint32_t LOCALE_SISO3166CTRYNAME = 0x005A;
inline constexpr uint32_t LOCALE_SNAME = 0x005C;               // "en-US"
inline constexpr uint32_t LOCALE_SENGLISHDISPLAYNAME = 0x0072;  // "German (Germany)"
inline constexpr uint32_t LOCALE_SNATIVEDISPLAYNAME = 0x0073;  // "Deutsch (Deutschland)"
inline constexpr uint32_t LOCALE_SENGLANGUAGE = 0x1001;        // language in English ("German")
inline constexpr uint32_t LOCALE_SENGCOUNTRY = 0x1002;         // country in English ("Germany")
inline constexpr uint32_t LOCALE_IDEFAULTANSICODEPAGE = 0x1004;  // ANSI code page, decimal
// Modifiers: no user overrides exist here, so LOCALE_NOUSEROVERRIDE changes nothing; LOCALE_RETURN_NUMBER
// answers a numeric item as a 32-bit value in two UTF-16 units.
inline constexpr uint32_t LOCALE_NOUSEROVERRIDE = 0x80000000;
inline constexpr uint32_t LOCALE_RETURN_NUMBER = 0x20000000;

// The classic call: writes the item with its terminator and returns the units written (with the
// terminator); cchData 0 returns the size needed. 0 on failure: unknown locale or item
// (ERROR_INVALID_PARAMETER / ERROR_INVALID_FLAGS), buffer too small (ERROR_INSUFFICIENT_BUFFER).
int32_t GetLocaleInfoW(LCID Locale, uint32_t LCType, char16_t* lpLCData, int32_t cchData);
// The item as a string, empty when the call fails.
UnicodeString GetLocaleInfoString(LCID Locale, uint32_t LCType);

// ---- locale case mapping ----

inline constexpr uint32_t LCMAP_LOWERCASE = 0x00000100;
inline constexpr uint32_t LCMAP_UPPERCASE = 0x00000200;
inline constexpr uint32_t LCMAP_TITLECASE = 0x00000300;
inline constexpr uint32_t LCMAP_LINGUISTIC_CASING = 0x01000000;

// Lower-, upper- or title-cases cchSrc units (-1: up to and with the NUL) into dst, one unit for one
// unit; in place when dst == src. Linguistic casing applies the locale's rules (Turkish and Azeri
// dotted and dotless i); without it the mapping is the locale-independent one. cchDest 0 returns the
// size needed. 0 on failure with the last platform error set.
int32_t LCMapStringW(LCID Locale, uint32_t dwMapFlags, const char16_t* src, int32_t cchSrc, char16_t* dst,
                     int32_t cchDest);
// Whole-string forms of LCMapStringW with linguistic casing; an unknown locale gives s unchanged.
UnicodeString LocaleUpperCase(LCID Locale, std::u16string_view s);
UnicodeString LocaleLowerCase(LCID Locale, std::u16string_view s);

// The classic Ansi* routines: linguistic case mapping and collation under the default locale.
UnicodeString AnsiUpperCase(std::u16string_view s);
UnicodeString AnsiLowerCase(std::u16string_view s);
// 8-bit forms work in the system code page.
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
// Negative, 0 or positive, by the default locale's collation; AnsiCompareText ignores case.
int32_t AnsiCompareStr(std::u16string_view a, std::u16string_view b);
int32_t AnsiCompareText(std::u16string_view a, std::u16string_view b);
bool AnsiSameText(std::u16string_view a, std::u16string_view b);
bool AnsiSameStr(std::u16string_view a, std::u16string_view b);

}  // namespace kx8
