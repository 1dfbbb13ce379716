#include "kx8rt/dates/juliandateroutines.h"

#include <gtest/gtest.h>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

std::string U8(const UnicodeString& s) { return Utf16ToUtf8(s); }

TYearMonthDay YMD(int32_t y, int32_t m, int32_t d) { return {y, m, d}; }

double JulianOf(int y, int m, int d) { return DateTimeToJulianDate(EncodeDate(y, m, d)); }

TEST(JulianConversions, OffsetCarriesYearsBeforeTheEra) {
  // -500 passes through the date-time routines as 4000 and comes back as -500.
  const double jd = YearMonthDayToJulianAddingConst(YMD(-500, 3, 1));
  EXPECT_DOUBLE_EQ(jd, JulianOf(4000, 3, 1));
  EXPECT_EQ(JulianDateToYearMonthDay(jd, true), YMD(-500, 3, 1));
  EXPECT_EQ(JulianDateToYearMonthDay(jd, false), YMD(4000, 3, 1));
  EXPECT_EQ(U8(JulianToStringRemovingConst(jd, tlpb_years, false)), "-0500");
  EXPECT_EQ(U8(JulianToStringRemovingConst(jd, tlpb_days, false)), "-0500/03/01");
  // The no-date record goes through as year 499 and back.
  const double none = YearMonthDayToJulianAddingConst(AClearYearMonthDayRec());
  EXPECT_EQ(JulianDateToYearMonthDay(none, true), AClearYearMonthDayRec());
  EXPECT_EQ(U8(JulianToStringRemovingConst(none, tlpb_years, false)), "??");
}

TEST(JulianConversions, ClampsAndFallBacks) {
  EXPECT_DOUBLE_EQ(YearMonthDayToJulianAddingConst(YMD(1850, 14, 40)), JulianOf(6350, 12, 31));
  EXPECT_EQ(YearMonthDayToJulianAddingConst(YMD(1850, 2, 30)), 0);
  EXPECT_EQ(YearMonthDayToJulianAddingConst(YMD(5500, 1, 1)), 0);  // beyond year 9999 with the offset
  EXPECT_EQ(YearMonthDayToJulianAddingConst(YMD(INT32_MAX, 1, 1)), 0);
  const double today = DateTimeToJulianDate(Date());
  EXPECT_DOUBLE_EQ(YearMonthDayToJulianDateSemConvertir(YMD(2023, 2, 29)), today);
  EXPECT_DOUBLE_EQ(YearMonthDayToJulianDateSemConvertir(YMD(2024, 2, 29)), JulianOf(2024, 2, 29));
  uint16_t y, m, d;
  DecodeDate(Date(), y, m, d);
  EXPECT_EQ(JulianDateToYearMonthDay(0, true), YMD(y, m, d));
  EXPECT_EQ(JulianDateToYearMonthDaySemConvertir(1e12), YMD(y, m, d));
  EXPECT_EQ(JulianDateToYearMonthDay(-5, true), AClearYearMonthDayRec());
  EXPECT_EQ(YearMonthDayToDate(YMD(-5, 1, 1)), Date());
  EXPECT_EQ(DateTimeToJulianAddingConst(EncodeDate(6000, 1, 1)), 0);
  EXPECT_DOUBLE_EQ(DateTimeToJulianAddingConst(EncodeDate(1990, 5, 6) + 0.75), JulianOf(6490, 5, 6));
}

TEST(JulianConversions, DateTimesBothWays) {
  EXPECT_EQ(MyJulianDateToDateTime(0, true), 0);
  EXPECT_DOUBLE_EQ(MyJulianDateToDateTime(JulianOf(6490, 5, 6), true), EncodeDate(1990, 5, 6));
  EXPECT_DOUBLE_EQ(MyJulianDateToDateTime(JulianOf(1990, 5, 6), false), EncodeDate(1990, 5, 6));
  EXPECT_THROW(MyJulianDateToDateTime(JulianOf(1990, 5, 6), true), EConvertError);  // year -2510
  EXPECT_THROW(MyJulianDateToDateTime(1.0, false), EConvertError);
  const TDateTimeYMDrec r = TrueDateOfDate(JulianOf(6490, 5, 6));
  EXPECT_EQ(r.ymd, YMD(1990, 5, 6));
  // Leap day of an offset year that is no leap year after the offset is taken off.
  EXPECT_EQ(TrueDateOfDate(JulianOf(6400, 2, 29)).ymd, YMD(1900, 2, 28));
}

TEST(JulianConversions, UntrustworthyFlagAndMiddles) {
  const bool saved = global_dates_Untrustworthy;
  global_dates_Untrustworthy = false;
  (void)DateToYearMonthDay(EncodeDate(9999, 12, 31), false);
  EXPECT_FALSE(global_dates_Untrustworthy);
  uint16_t y, m, d;
  DecodeDate(Date(), y, m, d);
  EXPECT_EQ(DateToYearMonthDay(MaxDateTime + 10, false), YMD(y, m, d));
  EXPECT_TRUE(global_dates_Untrustworthy);
  global_dates_Untrustworthy = saved;
  EXPECT_EQ(DateToYearMonthDayRemovingConst(EncodeDate(4000, 3, 1)), YMD(-500, 3, 1));
  EXPECT_EQ(MiddleOfTwoYMDs(YMD(2000, 1, 1), YMD(2000, 1, 31)), YMD(2000, 1, 16));
  EXPECT_EQ(MiddleOfTwoDates(2, 5), 3.5);
  double a = 1, b = 2;
  ExchangeTwoDateTimes(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
  TYearMonthDay c = YMD(1, 2, 3);
  ClearAYearMonthDayRec(c);
  EXPECT_EQ(c, YMD(-4001, 1, 1));
  EXPECT_FALSE(YearMonthDayWithin(YMD(2020, 6, 15), YMD(2019, 7, 1), YMD(2021, 3, 1)));
  EXPECT_TRUE(YearMonthDayWithin(YMD(2020, 6, 15), YMD(2019, 1, 1), YMD(2021, 12, 31)));
}

TEST(TimeLinePeriods, EdgesOfPeriods) {
  const TDateTime may5 = EncodeDate(1995, 5, 5) + 0.5;
  const double last = EncodeTime(23, 59, 59, 999);
  struct Case { TTimeLineDisplayBasis basis; TDateTime start, finish; };
  const Case cases[] = {
      {tlpb_millennia, EncodeDate(1000, 1, 1), EncodeDate(1999, 12, 31) + last},
      {tlpb_centuries, EncodeDate(1900, 1, 1), EncodeDate(1999, 12, 31) + last},
      {tlpb_decades, EncodeDate(1990, 1, 1), EncodeDate(1999, 12, 31) + last},
      {tlpb_years, EncodeDate(1995, 1, 1), EncodeDate(1995, 12, 31) + last},
      {tlpb_months, EncodeDate(1995, 5, 1), EncodeDate(1995, 5, 31) + last},
      {tlpb_weeks, EncodeDate(1995, 5, 1), EncodeDate(1995, 5, 7) + last},  // Monday to Sunday
      {tlpb_days, EncodeDate(1995, 5, 5), EncodeDate(1995, 5, 5) + last},
      {tlpb_hours, may5, may5},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(EdgeOfPeriod(may5, c.basis, t_starting), c.start, 1e-9) << int(c.basis);
    EXPECT_NEAR(EdgeOfPeriod(may5, c.basis, t_finishing), c.finish, 1e-9) << int(c.basis);
  }
  // A week across a year's turn: 31 December 2024 (a Tuesday) lies in the week of Monday 30 December.
  EXPECT_EQ(EdgeOfPeriod(EncodeDate(2024, 12, 31), tlpb_weeks, t_starting), EncodeDate(2024, 12, 30));
  EXPECT_NEAR(EdgeOfPeriod(EncodeDate(2021, 1, 2), tlpb_weeks, t_finishing), EncodeDate(2021, 1, 3) + last, 1e-9);
  // The first decade has no year 0.
  EXPECT_EQ(EdgeOfPeriod(EncodeDate(5, 6, 1), tlpb_decades, t_starting), EncodeDate(1, 1, 1));
}

TEST(TimeLinePeriods, StepsForwardAndBack) {
  struct Case { TYearMonthDay from; TTimeLineDisplayBasis basis; TYearMonthDay next, before; };
  const Case cases[] = {
      {YMD(2023, 12, 31), tlpb_days, YMD(2024, 1, 1), YMD(2023, 12, 30)},
      {YMD(2024, 1, 31), tlpb_months, YMD(2024, 2, 31), YMD(2023, 12, 31)},
      {YMD(2024, 3, 1), tlpb_months, YMD(2024, 4, 1), YMD(2024, 2, 29)},
      {YMD(1990, 1, 1), tlpb_decades, YMD(2000, 1, 1), YMD(1989, 12, 31)},
      {YMD(-500, 1, 1), tlpb_millennia, YMD(500, 1, 1), YMD(-501, 12, 31)},
      {YMD(2024, 12, 28), tlpb_weeks, YMD(2025, 1, 4), YMD(2024, 12, 27)},
      {YMD(2024, 1, 1), tlpb_weeks, YMD(2024, 1, 8), YMD(2023, 12, 31)},
      {YMD(2024, 12, 1), tlpb_months, YMD(2025, 1, 1), YMD(2024, 11, 30)},
      {YMD(2024, 5, 5), tlpb_hours, YMD(2024, 5, 5), YMD(2024, 5, 5)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IncrementedYMD(c.from, c.basis), c.next) << c.from.year << " " << int(c.basis);
    EXPECT_EQ(RoundedDownYMD(c.from, c.basis), c.before) << c.from.year << " " << int(c.basis);
  }
}

TEST(TimeLinePeriods, AllPeriodsAndDetails) {
  const TDateTime first = EncodeDate(1999 + 4500, 7, 1), last = EncodeDate(2001 + 4500, 1, 1);
  EXPECT_EQ(ComputedAllPeriodsTrue(tlpb_years, first, last), (TYearMonthDayArray{YMD(1999, 7, 1), YMD(2000, 7, 1)}));
  EXPECT_EQ(ComputedAllPeriodsTrue(tlpb_months, last, last), (TYearMonthDayArray{YMD(2001, 1, 1)}));
  EXPECT_EQ(ComputedAllPeriodsTrue(tlpb_months, last, first), (TYearMonthDayArray{YMD(2001, 1, 1)}));
  EXPECT_EQ(ComputedAllPeriodsTrue(tlpb_hours, first, last), (TYearMonthDayArray{YMD(1999, 7, 1)}));
  EXPECT_EQ(ComputedAllPeriodsTrue(tlpb_days, first, last).size(), 551u);
  const TDatePeriodDetailsRec r = DatePeriodDetails(0, 0, JulianOf(6500, 1, 1), 0, tlpb_months);
  EXPECT_EQ(r.period_start, YMD(2000, 1, 1));
  EXPECT_EQ(r.period_end, YMD(2000, 2, 1));
  EXPECT_EQ(r.period_mid, YMD(2000, 1, 16));
}

TEST(TimeLineLabels, FullAndAbbreviated) {
  struct Case { TYearMonthDay ymd; TTimeLineDisplayBasis basis; const char* full; const char* abbr; };
  const Case cases[] = {
      {YMD(1850, 3, 7), tlpb_months, "1850/03", "Mar"},
      {YMD(1850, 3, 7), tlpb_years, "1850", "50"},
      {YMD(1850, 3, 7), tlpb_days, "1850/03/07", "7"},
      {YMD(1850, 3, 7), tlpb_hours, "1850/03/07 00", "0"},
      {YMD(1850, 3, 7), tlpb_custom, "1850/03/07 00:00", "50/03/07 00:00"},
      {YMD(-500, 3, 1), tlpb_decades, "-0500", "??"},
      {YMD(42, 1, 1), tlpb_centuries, "0042", "0042"},
      {YMD(1850, 2, 30), tlpb_days, "??", "??"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U8(YearMonthDayAsString(c.ymd, c.basis)), c.full) << c.full;
    EXPECT_EQ(U8(AbbreviatedYearMonthDayAsString(c.ymd, c.basis)), c.abbr) << c.full;
  }
  EXPECT_EQ(U8(TimeLineBasisFormatString(tlpb_unknown)), "");
  const TYearMonthDayArray arr{YMD(2000, 1, 1), YMD(2000, 2, 1)};
  EXPECT_EQ(U8(JulianDateStrFromTimelineData(1, arr, tlpb_months, false)), "2000/02");
  EXPECT_EQ(U8(JulianDateStrFromTimelineData(0, arr, tlpb_days, false)), "2000/01/01");
  EXPECT_EQ(U8(JulianDateStrFromTimelineData(2, arr, tlpb_months, false)), "??");
  EXPECT_EQ(U8(JulianDateStrFromTimelineData(-1, arr, tlpb_months, true)), "??");
  EXPECT_EQ(U8(JulianToStringRemovingConst(1.0, tlpb_years, false)), "??");
}

TEST(UserDates, RecordPrintedAndRead) {
  const TYrMmDyHrMn rec{2024, 3, 7, 9, 5};
  EXPECT_EQ(U8(StringFromTYrMmDyHrMn(rec, u"yyyy-mm-dd h:nn")), "2024-03-07 9:05");
  EXPECT_EQ(U8(StringFromTYrMmDyHrMn(rec, u"yy/m/d yyy")), "2024/3/7 ");
  EXPECT_EQ(U8(StringFromTYrMmDyHrMn({5, 1, 1, 0, 0}, u"yyyy")), "0005");
  EXPECT_EQ(DatefromUsersString(u"07/03/24", u"dd/mm/yy"), (TYrMmDyHrMn{2024, 3, 7, 0, 0}));
  EXPECT_EQ(DatefromUsersString(u"7/3/24", u"dd/mm/yy"), TYrMmDyHrMn{});
  EXPECT_EQ(DatefromUsersString(u"1850.12.31 23:59", u"yyyy.mm.dd hh:nn"), (TYrMmDyHrMn{1850, 12, 31, 23, 59}));
  // Bad fields give -1, then clamped; a year of three letters is no year.
  EXPECT_EQ(DatefromUsersString(u"xx/99/202", u"dd/mm/yyy"), (TYrMmDyHrMn{0, 12, 1, 0, 0}));
  EXPECT_EQ(DatefromUsersString(u"", u""), TYrMmDyHrMn{});
}

TEST(UserDates, TypedDatesParsed) {
  const double noDate = YearMonthDayToJulianAddingConst(AClearYearMonthDayRec());
  EXPECT_DOUBLE_EQ(UserStrDateAndTimeParsed(u" 1850 "), JulianOf(6350, 7, 1));
  EXPECT_DOUBLE_EQ(UserStrDateAndTimeParsed(u"-500/3/1"), JulianOf(4000, 3, 1));
  EXPECT_DOUBLE_EQ(UserStrDateAndTimeParsed(u"1850/13/40"), JulianOf(6350, 12, 31));
  EXPECT_EQ(UserStrDateAndTimeParsed(u"1850/2/30"), 0);
  for (const char16_t* bad : {u"1850/x/3", u"abc", u"<no date found>", u"185", u"1850/3", u"1850/$3/3",
                              u"1850/3/ 3", u"a <b> date", u"file <no date found> here"})
    EXPECT_DOUBLE_EQ(UserStrDateAndTimeParsed(bad), noDate) << U8(bad);
}

}  // namespace
}  // namespace kx8
