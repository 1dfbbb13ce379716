#include "kx8rt/definitions/locale_utilities.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace kx8 {
namespace {

// Replaces the locale query for one test and puts the previous one back.
class StubbedLocaleQuery : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetLocaleDataProc; }
  void TearDown() override { GetLocaleDataProc = saved_; }

  // Answers from a table keyed by (locale, query code); empty for anything else.
  void Answer(std::map<std::pair<LCID, uint32_t>, UnicodeString> table) {
    GetLocaleDataProc = [table = std::move(table)](LCID lcid, uint32_t code) {
      const auto it = table.find({lcid, code});
      return it == table.end() ? UnicodeString() : it->second;
    };
  }

 private:
  TGetLocaleFunct saved_;
};

TEST(LanguageTables, PrimaryLanguageDecidesWhateverTheSubLanguage) {
  EXPECT_TRUE(SamePrimaryLanguage(0x0409, 0x0809));
  EXPECT_FALSE(SamePrimaryLanguage(0x0409, 0x0407));
  EXPECT_TRUE(BiDiModeFromLCID(0x0401));   // Arabic, Saudi Arabia
  EXPECT_TRUE(BiDiModeFromLCID(0x3C01));   // Arabic, Bahrain
  EXPECT_TRUE(BiDiModeFromLCID(0x040D));   // Hebrew
  EXPECT_FALSE(BiDiModeFromLCID(0x0409));
  EXPECT_TRUE(LanguageRequiresUnicode(0x0411));   // Japanese
  EXPECT_TRUE(LanguageRequiresUnicode(0x0804));   // Chinese, PRC
  EXPECT_FALSE(LanguageRequiresUnicode(0x0419));  // Russian has an 8-bit code page
  EXPECT_TRUE(LanguageHasCombiningCharacters(0x041E));  // Thai
  EXPECT_TRUE(LanguageHasCombiningCharacters(0x1000));  // the custom locale itself
  EXPECT_FALSE(LanguageHasCombiningCharacters(0x0409));
  EXPECT_TRUE(BiDiModeFromCharset(177));
  EXPECT_TRUE(BiDiModeFromCharset(178));
  EXPECT_FALSE(BiDiModeFromCharset(176));
  EXPECT_FALSE(BiDiModeFromCharset(179));
}

TEST(LanguageTables, BoundsAbove103And111) {
  EXPECT_TRUE(LanguageHasCombiningCharacters(106));  // Yoruba, the last of the table
  for (uint32_t language = 104; language <= 0x3FF; ++language)
    EXPECT_FALSE(LanguageRequiresUnicode(0x0400 | language)) << language;
  for (uint32_t language = 112; language <= 0x3FF; ++language)
    EXPECT_FALSE(LanguageHasCombiningCharacters(0x0400 | language)) << language;
}

TEST(LanguageNames, VariantMarkerIsLiteral) {
  struct Case {
    const char16_t* name;
    const char16_t* shortened;
    const char16_t* variant;
  };
  const Case cases[] = {
      {u"Portuguese (Brazil)", u"Portuguese (Brazil)", u"Portuguese Brazil"},
      {u"Serbian (xxx Latin)", u"Serbian", u"Serbian"},
      {u"  Sami (xxx) (Norway)", u"  Sami", u"Sami"},
      {u"", u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortenedSysLanguageName(c.name), c.shortened);
    EXPECT_EQ(SysLanguageVariantName(c.name), c.variant);
  }
  EXPECT_EQ(LanguageNameAbbreviated(u"Welsh"), u"W");
  EXPECT_EQ(LanguageNameAbbreviated(u""), u"");
}

TEST(BuiltInLocaleQuery, AnswersFromThePlatform) {
  EXPECT_EQ(EnglishLanguageNameFromLCID(0x0407), u"German");
  EXPECT_EQ(CountryFromLCID(0x0407), u"Germany");
  EXPECT_EQ(CurrencyFromLCID(0x0407), u"€");
  EXPECT_EQ(WindowsCodepageFromLCID(0x0409), 1252);
  EXPECT_EQ(DOSCodepageFromLCID(0x0409), 437);
  EXPECT_FALSE(LocalLanguageNameFromLCID(0x0407).empty());
  // The installed locales are walked in ascending identifier order, so the first German one wins.
  EXPECT_EQ(LanguageNameToLCID(u"gERMAN"), 0x0407u);
  EXPECT_EQ(LanguageNameToLCID(u"English"), 0x0409u);
  EXPECT_EQ(LanguageNameToLCID(u"Klingon"), 0u);
  EXPECT_EQ(DefaultGetLocaleData(0xFFFF, LocaleQueryEnglishCountry), u"");
}

TEST_F(StubbedLocaleQuery, EmptyAnswersGiveZeroCodePagesAndNoLanguage) {
  GetLocaleDataProc = [](LCID, uint32_t) { return UnicodeString(); };
  EXPECT_EQ(DOSCodepageFromLCID(0x0409), 0);
  EXPECT_EQ(WindowsCodepageFromLCID(0x0409), 0);
  EXPECT_EQ(LanguageNameToLCID(u"English"), 0u);
  EXPECT_EQ(CountryFromLCID(0x0409), u"");
}

TEST_F(StubbedLocaleQuery, CodePagesReadAsDecimal) {
  Answer({{{0x0409, LocaleQueryANSICodePage}, u"1252"},
          {{0x0409, LocaleQueryOEMCodePage}, u"OEM"},
          {{0x0419, LocaleQueryANSICodePage}, u"1251x"}});
  EXPECT_EQ(WindowsCodepageFromLCID(0x0409), 1252);
  EXPECT_EQ(DOSCodepageFromLCID(0x0409), 0);
  EXPECT_EQ(WindowsCodepageFromLCID(0x0419), 0);
}

TEST_F(StubbedLocaleQuery, SubVarietiesKeepTheFirstCandidateOfACountry) {
  Answer({{{0x0409, LocaleQueryEnglishCountry}, u"United States"},
          {{0x0809, LocaleQueryEnglishCountry}, u"United Kingdom"},
          {{0x1009, LocaleQueryEnglishCountry}, u"United States"},
          {{0x0407, LocaleQueryEnglishCountry}, u"Germany"}});
  const auto list = LCIDSubVarieties(0x0C09, {0x0409, 0x0407, 0x0809, 0x1009});
  ASSERT_EQ(list->Count(), 2);
  EXPECT_TRUE(list->Sorted());
  EXPECT_EQ(list->Get(0), u"United Kingdom");
  EXPECT_EQ(list->Integers(0), 0x0809);
  EXPECT_EQ(list->Get(1), u"United States");
  EXPECT_EQ(list->Integers(1), 0x0409);
}

TEST_F(StubbedLocaleQuery, CurrencySymbolsSkipThoseAlreadyContained) {
  Answer({{{0x0409, LocaleQueryCurrency}, u"US$"},
          {{0x0809, LocaleQueryCurrency}, u"£"},
          {{0x0C09, LocaleQueryCurrency}, u"$"},
          {{0x1009, LocaleQueryCurrency}, u"£"},
          {{0x0407, LocaleQueryCurrency}, u"€"}});
  EXPECT_EQ(LCIDAllCurrencyString(0x0409, {0x0409, 0x0407, 0x0809, 0x0C09, 0x1009, 0x1409}), u"US$,£");
  // In the other order "$" comes first and "US$" is not inside it.
  EXPECT_EQ(LCIDAllCurrencyString(0x0409, {0x0C09, 0x0409}), u"$,US$");
  EXPECT_EQ(LCIDAllCurrencyString(0x0409, {}), u"");
}

}  // namespace
}  // namespace kx8
