#include "kx8rt/strings/number_lists.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"

namespace kx8 {
namespace {

std::unique_ptr<TStringList> Lines(std::initializer_list<const char16_t*> lines) {
  auto list = std::make_unique<TStringList>();
  for (const char16_t* line : lines) list->Add(line);
  return list;
}

TEST(NumberRendering, LargeNumbersAndSizes) {
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(999), u"999");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(1000), u"1.0K");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(1234567), u"1.2M");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(2.5e9f), u"2.5G");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(4e12f), u"4.0Yikes");
  EXPECT_EQ(EasiestNRepresentationOfLargeNumber(2.5e14f), u"250.0Yikes");  // k beyond 4 stays Yikes
  EXPECT_FALSE(EasiestNRepresentationOfLargeNumber(std::numeric_limits<float>::infinity()).empty());

  struct Case {
    int64_t v;
    const char16_t* text;
  };
  const Case sizes[] = {
      {512, u"512bytes"},
      {1048576, u"1048576bytes"},        // exactly 1 MiB is not above it
      {1048577, u"1024Kb"},
      {8 * 1048576, u"8192Kb"},          // exactly 8 MiB
      {8 * 1048576 + 1, u"8Mb"},
      {8LL << 30, u"8192Mb"},            // exactly 8 GiB
      {(8LL << 30) + 1, u"8Gb"},
      {-5, u"-5bytes"},
  };
  for (const Case& c : sizes) EXPECT_EQ(ValueToByteStr(c.v), c.text) << c.v;
}

TEST(NumberRendering, DecimalsAndDisplayKinds) {
  TNumberDisplayAndSinglesRec rec{1234.5f, gdd_only_as_float};
  EXPECT_EQ(FormattedWithDecimals(rec, 2, true), u"1,234.50");
  EXPECT_EQ(FormattedWithDecimals(rec, 2, false), u"1234.50");
  EXPECT_EQ(FormattedWithDecimals(rec, 0, true), u"1,235");
  EXPECT_EQ(FormattedWithDecimals(rec, -3, false), u"1235");
  rec.number_display = gdd_per_thousand;
  EXPECT_EQ(FormattedWithDecimals(rec, 2, true), u"1,234.50 ptw");
  rec.number_display = gdd_per_million;
  EXPECT_EQ(FormattedWithDecimals(rec, 1, false), u"1234.5 pmw");
  rec = {12.25f, gdd_per_cent};
  EXPECT_EQ(FormattedWithDecimals(rec, 2, true), u"12.25%");
}

TEST(NumberRendering, OrdinalsAndLeftZeros) {
  struct Ordinal {
    int32_t n;
    const char16_t* text;
  };
  const Ordinal ordinals[] = {{1, u"1st"},   {2, u"2nd"},   {3, u"3rd"},  {4, u"4th"},  {11, u"11st"},
                              {12, u"12nd"}, {13, u"13rd"}, {21, u"21st"}, {0, u"0th"}, {-1, u"-1th"}};
  for (const Ordinal& o : ordinals) EXPECT_EQ(Format(OrdinalFormatOf(o.n), {o.n}), o.text) << o.n;

  EXPECT_EQ(WithLeftZeros(4, 7), u"0007");
  EXPECT_EQ(WithLeftZeros(2, 123), u"123");
  EXPECT_EQ(WithLeftZeros(4, -7), u"00-7");
  EXPECT_EQ(WithLeftZeros(-5, 7), u"7");
  EXPECT_EQ(WithLeftZeros(12, std::numeric_limits<int32_t>::min()), u"0-2147483648");
}

TEST(NumberRendering, RelationshipRequirementsListsEnabledThresholds) {
  TCogridMutualChecks checks{};
  EXPECT_EQ(RelationshipRequirements(checks), u"");
  checks.proc_settings[RelatStat_MI] = {true, 3.0f};
  checks.proc_settings[RelatStat_log_likelihood] = {true, 1234.5f};
  EXPECT_EQ(RelationshipRequirements(checks), u"Specific Mutual Information 3.000,Log likelihood 1,234.500");
}

TEST(NumberListCompression, RunsPairsAndSingles) {
  struct Case {
    std::initializer_list<const char16_t*> lines;
    const char16_t* notation;
  };
  const Case cases[] = {
      {{u"4", u"5"}, u"4,5"},
      {{u"4", u"5", u"6"}, u"4-6"},
      {{u"7"}, u"7"},
      {{u"1", u"3", u"4", u"5", u"9"}, u"1,3-5,9"},
      {{u"1", u"2", u"3", u"5", u"7", u"8"}, u"1-3,5,7,8"},
      {{u"4", u"5", u"9"}, u"4,5,9"},
      {{u"4", u"x", u"5", u"", u"6", u"about"}, u"4-6"},  // text lines are skipped, even after the last
      {{u"2147483647", u"1"}, u"2147483647,1"},             // the sentinel's successor does not overflow
      {{u"5", u"4", u"3"}, u"5,4,3"},
      {{}, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(HumanAbbreviatedNumberListString(*Lines(c.lines)), c.notation);

  EXPECT_EQ(HumanAbbreviatedNumberListString({1, 2, 3, 6}, 1), u"2-4,7");
  const auto list = TArrayOfIntegersToStringlist({1, -2}, 10);
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Get(1), u"8");
}

TEST(NumberListReading, ExpandedAndAsIntegers) {
  EXPECT_EQ(HumanAbbreviatedNumberListStringExpanded(u"10-12"), u"10,11,12");
  EXPECT_EQ(HumanAbbreviatedNumberListStringExpanded(u"1-3,5"), u"1,2,3,5");
  EXPECT_EQ(HumanAbbreviatedNumberListStringExpanded(u" 1 - 3 ,x5"), u"1,2,3,5");
  EXPECT_EQ(HumanAbbreviatedNumberListStringAsIntegers(u"2-4,7", 1), (std::vector<int32_t>{1, 2, 3, 6}));
  EXPECT_EQ(HumanAbbreviatedNumberListStringAsIntegers(u"7,2-3,2", 0), (std::vector<int32_t>{7, 2, 3, 2}));
}

TEST(NumberListReading, CompressedSetExpandsBack) {
  const std::vector<int32_t> values = {1, 2, 3, 5, 8, 9, 10, 11, 20, 21, 30};
  const UnicodeString notation = HumanAbbreviatedNumberListString(values, 0);
  EXPECT_EQ(notation, u"1-3,5,8-11,20,21,30");
  EXPECT_EQ(HumanAbbreviatedNumberListStringAsIntegers(notation, 0), values);
  EXPECT_EQ(HumanAbbreviatedNumberListStringExpanded(notation), u"1,2,3,5,8,9,10,11,20,21,30");
}

TEST(NumberListReading, MalformedNotation) {
  struct Case {
    const char16_t* notation;
    const char16_t* expanded;
    std::vector<int32_t> integers;
  };
  const Case cases[] = {
      {u"-", u"", {}},                       // no high end: nothing
      {u"5-3", u"", {}},                     // high below low: nothing
      {u"1--2", u"0,1,2", {0, 1, 2}},        // the second "-" starts a range of its own from 0
      {u",,", u",,", {}},
      {u"abc", u"", {}},
      {u"123456789012", u"123456789012", {}},  // twelve digits are text, not a 32-bit number
      {u"1-123456789012", u"", {}},
      {u"-3", u"0,1,2,3", {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HumanAbbreviatedNumberListStringExpanded(c.notation), c.expanded) << Utf16ToUtf8(c.notation);
    EXPECT_EQ(HumanAbbreviatedNumberListStringAsIntegers(c.notation, 0), c.integers) << Utf16ToUtf8(c.notation);
  }
  // An offset that takes a number out of the 32-bit range leaves it out.
  EXPECT_EQ(HumanAbbreviatedNumberListStringAsIntegers(u"0,5", std::numeric_limits<int32_t>::min() + 1),
            (std::vector<int32_t>{std::numeric_limits<int32_t>::max()}));
}

TEST(NumberListReading, HugeRangesAreRefused) {
  EXPECT_THROW(HumanAbbreviatedNumberListStringExpanded(u"0-2000000000"), EConvertError);
  EXPECT_THROW(HumanAbbreviatedNumberListStringAsIntegers(u"0-2000000000", 0), EConvertError);
  EXPECT_THROW(ANumberInHumanString(u"1,0-2147483647", 1), EConvertError);
  EXPECT_EQ(HumanAbbreviatedNumberListStringAsIntegers(u"1-1000000", 0).size(), 1000000u);
}

TEST(NumberListReading, NthNumber) {
  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 2), u"2");
  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 4), u"5");
  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 40), u"5");
  EXPECT_EQ(ANumberInHumanString(u"  1-3,5 ", 1), u"1");
  EXPECT_EQ(ANumberInHumanString(u"1-3,5", 0), u"1");
  EXPECT_EQ(ANumberInHumanString(u"", 1), u"");
  EXPECT_EQ(ANumberInHumanString(u"7,123456789012", 2), u"");
}

TEST(NumberListReading, MonthNames) {
  EXPECT_EQ(HumanAbbreviatedNumberListStringToMonths(u"01-03,12"), u"Jan-Mar,Dec");
  EXPECT_EQ(HumanAbbreviatedNumberListStringToMonths(u"2010"), u"2Jan0");  // found inside the year
  EXPECT_EQ(HumanAbbreviatedNumberListStringToMonths(u"01,01"), u"Jan,01");  // only the first of each
  EXPECT_EQ(HumanAbbreviatedNumberListStringToMonths(u"1,2"), u"1,2");
}

}  // namespace
}  // namespace kx8
