#include "kx8rt/definitions/locale_utilities.h"

#include <algorithm>
#include <array>

#include "kx8rt/platform/char_classes.h"

namespace kx8 {

namespace {

constexpr std::array<uint32_t, 19> kCombiningLanguages = {1,  30, 41, 57, 69, 71, 72, 73, 74, 75,
                                                          76, 81, 83, 84, 91, 94, 97, 99, 106};
constexpr std::array<uint32_t, 9> kUnicodeLanguages = {1, 4, 13, 17, 18, 30, 41, 42, 99};
constexpr std::array<uint32_t, 4> kRightToLeftLanguages = {1, 13, 41, 99};
constexpr LCID kCustomLocale = 0x1000;
constexpr std::u16string_view kVariantMarker = u" (xxx";

template <size_t N>
bool InTable(const std::array<uint32_t, N>& table, uint32_t language) {
  return std::find(table.begin(), table.end(), language) != table.end();
}

UnicodeString Query(LCID lcid, uint32_t code) {
  return GetLocaleDataProc ? GetLocaleDataProc(lcid, code) : UnicodeString();
}

int32_t QueryNumber(LCID lcid, uint32_t code) {
  int32_t value = 0;
  return TryStrToInt(Query(lcid, code), value) ? value : 0;
}

}  // namespace

UnicodeString DefaultGetLocaleData(LCID Locale, uint32_t QueryCode) {
  char16_t buffer[1024];
  const int32_t written = GetLocaleInfoW(Locale, QueryCode, buffer, 1024);
  if (written <= 0) return {};
  const std::u16string_view text(buffer, static_cast<size_t>(written));
  return UnicodeString(text.substr(0, text.find(u'\0')));
}

bool SamePrimaryLanguage(LCID a, LCID b) { return PrimaryLangID(a) == PrimaryLangID(b); }

bool LanguageHasCombiningCharacters(LCID lcid) {
  if (lcid == kCustomLocale) return true;
  const uint32_t language = PrimaryLangID(lcid);
  return language <= 111 && InTable(kCombiningLanguages, language);
}

bool LanguageRequiresUnicode(LCID lcid) {
  const uint32_t language = PrimaryLangID(lcid);
  return language <= 103 && InTable(kUnicodeLanguages, language);
}

bool BiDiModeFromLCID(LCID lcid) { return InTable(kRightToLeftLanguages, PrimaryLangID(lcid)); }

bool BiDiModeFromCharset(uint8_t charset) { return charset == 177 || charset == 178; }

UnicodeString LocalLanguageNameFromLCID(LCID lcid) { return Query(lcid, LocaleQueryLocalLanguage); }
UnicodeString EnglishLanguageNameFromLCID(LCID lcid) { return Query(lcid, LocaleQueryEnglishLanguage); }
UnicodeString CountryFromLCID(LCID lcid) { return Query(lcid, LocaleQueryEnglishCountry); }
UnicodeString CurrencyFromLCID(LCID lcid) { return Query(lcid, LocaleQueryCurrency); }
int32_t DOSCodepageFromLCID(LCID lcid) { return QueryNumber(lcid, LocaleQueryOEMCodePage); }
int32_t WindowsCodepageFromLCID(LCID lcid) { return QueryNumber(lcid, LocaleQueryANSICodePage); }

LCID LanguageNameToLCID(const UnicodeString& name) {
  // Full Unicode upper-casing, so that names such as "Norwegian Bokmål" match in any case.
  const UnicodeString wanted = ToUpper(name);
  for (const LCID lcid : InstalledLCIDs()) {
    const UnicodeString english = EnglishLanguageNameFromLCID(lcid);
    if (!english.empty() && ToUpper(english) == wanted) return lcid;
  }
  return 0;
}

std::unique_ptr<TStringList> LCIDSubVarieties(LCID lcid, const std::vector<LCID>& candidates) {
  auto list = std::make_unique<TStringList>();
  list->SetSorted(true);
  list->SetDuplicates(dupIgnore);
  for (const LCID candidate : candidates) {
    if (!SamePrimaryLanguage(lcid, candidate)) continue;
    const UnicodeString country = CountryFromLCID(candidate);
    int32_t at = 0;
    if (!list->Find(country, at)) list->AddInteger(country, candidate);
  }
  return list;
}

UnicodeString LCIDAllCurrencyString(LCID lcid, const std::vector<LCID>& candidates) {
  UnicodeString result;
  for (const LCID candidate : candidates) {
    if (!SamePrimaryLanguage(lcid, candidate)) continue;
    const UnicodeString symbol = CurrencyFromLCID(candidate);
    // A locale without an answer adds nothing rather than an empty item.
    if (symbol.empty() || result.find(symbol) != UnicodeString::npos) continue;
    if (!result.empty()) result += u',';
    result += symbol;
  }
  return result;
}

UnicodeString ShortenedSysLanguageName(const UnicodeString& name) {
  const size_t at = name.find(kVariantMarker);
  return at == UnicodeString::npos ? name : name.substr(0, at);
}

UnicodeString SysLanguageVariantName(const UnicodeString& name) {
  UnicodeString result = Trim(ShortenedSysLanguageName(name));
  std::erase_if(result, [](char16_t c) { return c == u'(' || c == u')'; });
  return Trim(result);
}

UnicodeString LanguageNameAbbreviated(const UnicodeString& name) { return name.substr(0, std::min<size_t>(1, name.size())); }

}  // namespace kx8
