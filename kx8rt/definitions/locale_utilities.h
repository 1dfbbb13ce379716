// Languages and locales: which languages need UTF-16 text, write right to left or combine characters,
// and the names, countries, currencies and code pages of locales, all through one replaceable query.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// The locale query: the item QueryCode of locale Locale as text; empty when the platform has no answer.
using TGetLocaleFunct = std::function<UnicodeString(LCID Locale, uint32_t QueryCode)>;

// The built-in query: the platform's locale information with a 1024-unit buffer, empty on failure.
UnicodeString DefaultGetLocaleData(LCID Locale, uint32_t QueryCode);

// The query every routine below goes through; a tool (or a test) may replace it and put it back.
inline TGetLocaleFunct GetLocaleDataProc = DefaultGetLocaleData;

// Query codes used here (the platform's locale-information items).
inline constexpr uint32_t LocaleQueryLocalLanguage = 0x0002;
inline constexpr uint32_t LocaleQueryEnglishLanguage = 0x1001;
inline constexpr uint32_t LocaleQueryEnglishCountry = 0x1002;
inline constexpr uint32_t LocaleQueryCurrency = 0x0014;
inline constexpr uint32_t LocaleQueryOEMCodePage = 0x000B;
inline constexpr uint32_t LocaleQueryANSICodePage = 0x1004;

// True when the primary languages (low 10 bits) of a and b are equal.
bool SamePrimaryLanguage(LCID a, LCID b);
// True for the custom locale 0x1000 and for languages written with combining characters.
bool LanguageHasCombiningCharacters(LCID lcid);
// True for languages whose text must be held as UTF-16 (Arabic, Chinese, Hebrew, Japanese, ...).
bool LanguageRequiresUnicode(LCID lcid);
// True for the right-to-left languages: Arabic, Hebrew, Persian and Pashto.
bool BiDiModeFromLCID(LCID lcid);
// True for the right-to-left character sets 177 (Hebrew) and 178 (Arabic).
bool BiDiModeFromCharset(uint8_t charset);

// The language's name in its own language, its English name, the country's English name and the
// local currency symbol, each through GetLocaleDataProc.
UnicodeString LocalLanguageNameFromLCID(LCID lcid);
UnicodeString EnglishLanguageNameFromLCID(LCID lcid);
UnicodeString CountryFromLCID(LCID lcid);
UnicodeString CurrencyFromLCID(LCID lcid);
// The OEM (DOS) and ANSI (Windows) code pages; 0 when the answer is not a number.
int32_t DOSCodepageFromLCID(LCID lcid);
int32_t WindowsCodepageFromLCID(LCID lcid);

// The first installed locale (in ascending identifier order) whose English language name equals
// name ignoring case; 0 when none does.
LCID LanguageNameToLCID(const UnicodeString& name);
// A new sorted list of the English country names of the candidates sharing lcid's primary language,
// each line's slot holding its candidate's identifier as an integer; the first candidate of a country wins.
std::unique_ptr<TStringList> LCIDSubVarieties(LCID lcid, const std::vector<LCID>& candidates);
// The currency symbols of the candidates sharing lcid's primary language, in candidate order, joined
// by ","; a symbol already contained in the text gathered so far is not added again.
UnicodeString LCIDAllCurrencyString(LCID lcid, const std::vector<LCID>& candidates);

// name up to its first " (xxx"; name itself when it has none.
UnicodeString ShortenedSysLanguageName(const UnicodeString& name);
// name up to " (xxx", trimmed, with every "(" and ")" removed and trimmed again: "Portuguese (Brazil)"
// gives "Portuguese Brazil".
UnicodeString SysLanguageVariantName(const UnicodeString& name);
// The first character of name; empty for an empty name.
UnicodeString LanguageNameAbbreviated(const UnicodeString& name);

}  // namespace kx8
