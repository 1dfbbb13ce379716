// Julian dates and time-line periods: conversions between year-month-day records, date-time values and
// Julian dates (with a fixed year offset so that years before the common era pass through the date-time
// routines), edges, steps and labels of time-line periods, and dates typed by users.
#pragma once

#include <cstdint>
#include <vector>

#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// A calendar day; year is the real year (may be zero or negative), month 1-12, day 1-31.
struct TYearMonthDay {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  bool operator==(const TYearMonthDay&) const = default;
};

using TYearMonthDayArray = std::vector<TYearMonthDay>;

// A date-time value with its calendar day.
struct TDateTimeYMDrec {
  TDateTime dt = 0;
  TYearMonthDay ymd;
};

// A date and time as typed by a user.
struct TYrMmDyHrMn {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  bool operator==(const TYrMmDyHrMn&) const = default;
};

// Start, middle and end (start of the next period) of one time-line period.
struct TDatePeriodDetailsRec {
  TYearMonthDay period_start;
  TYearMonthDay period_mid;
  TYearMonthDay period_end;
};

// The period a time-line is plotted by.
enum TTimeLineDisplayBasis : uint8_t {
  tlpb_unknown,
  tlpb_millennia,
  tlpb_centuries,
  tlpb_decades,
  tlpb_years,
  tlpb_months,
  tlpb_weeks,
  tlpb_days,
  tlpb_hours,
  tlpb_datafield,
  tlpb_custom,
  tlpb_spare
};

enum TStartingOrFinishing : uint8_t { t_starting, t_finishing };

// Years are stored this far ahead before they become date-time values or Julian dates, so that stored
// dates cover the years -4499 to 5499.
inline constexpr int32_t JulianYearOffset = 4500;
// The Julian date of the date-time value 0 (30 December 1899, 00:00).
inline constexpr double JulianDateOfDateTimeZero = 2415018.5;
// The year of the cleared record (the "no date" marker).
inline constexpr int32_t NoDateYear = -4001;

// Set whenever a date-time value beyond 31 December 9999 is turned into a year-month-day; never cleared
// here, so that a tool can warn that its texts' dates cannot be trusted.
inline bool global_dates_Untrustworthy = false;

// Plain conversions of the platform: Julian date of a date-time value, and back (EConvertError when the
// result lies outside years 1-9999); the Try form reports that as false instead.
double DateTimeToJulianDate(TDateTime dt);
bool TryJulianDateToDateTime(double jd, TDateTime& dt);
TDateTime JulianDateToDateTime(double jd);

// Julian date of (year + offset, month clamped to 1-12, day clamped to 1-31); 0 for no valid date.
double YearMonthDayToJulianAddingConst(const TYearMonthDay& ymd);
// The same without the offset; today's Julian date when the record is no valid date.
double YearMonthDayToJulianDateSemConvertir(const TYearMonthDay& ymd);
// Calendar day of jd (today for jd = 0), the offset taken off the year when removeConst.
TYearMonthDay JulianDateToYearMonthDay(double jd, bool removeConst);
// Calendar day of jd without the offset; today when jd is 0 or cannot be converted.
TYearMonthDay JulianDateToYearMonthDaySemConvertir(double jd);
// Date-time value of jd (0 for jd = 0), moved back by the offset when removeConst; the platform's
// EConvertError reaches the caller when the result leaves years 1-9999.
TDateTime MyJulianDateToDateTime(double jd, bool removeConst);
// Julian date of dt's day with the offset added to its year; 0 on failure.
double DateTimeToJulianAddingConst(TDateTime dt);
// Date-time value of the record (no offset); today when it is no valid day of years 1-9999.
TDateTime YearMonthDayToDate(const TYearMonthDay& ymd);
// Calendar day of dt, the offset taken off when removeConst; today when dt cannot be decoded. Sets
// global_dates_Untrustworthy for values beyond the largest date.
TYearMonthDay DateToYearMonthDay(TDateTime dt, bool removeConst);
TYearMonthDay DateToYearMonthDayRemovingConst(TDateTime dt);
// Date-time (offset removed) and calendar day of a Julian date carrying the offset.
TDateTimeYMDrec TrueDateOfDate(double jd);
// The "no date" record: year -4001, month 1, day 1.
void ClearAYearMonthDayRec(TYearMonthDay& ymd);
TYearMonthDay AClearYearMonthDayRec();
TDateTime MiddleOfTwoDates(TDateTime a, TDateTime b);
TYearMonthDay MiddleOfTwoYMDs(const TYearMonthDay& a, const TYearMonthDay& b);
void ExchangeTwoDateTimes(TDateTime& a, TDateTime& b);
// Each field of ymd within the same field of lo and hi (field by field, not a calendar range).
bool YearMonthDayWithin(const TYearMonthDay& ymd, const TYearMonthDay& lo, const TYearMonthDay& hi);

// Years in one period: 1000, 100, 10, else 1.
int32_t PlotMultiplicand(TTimeLineDisplayBasis basis);
// The first or last moment of the period of basis that holds dt.
TDateTime EdgeOfPeriod(TDateTime dt, TTimeLineDisplayBasis basis, TStartingOrFinishing which);
// The start of the next period.
TYearMonthDay IncrementedYMD(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis);
// The last day before ymd when ymd opens a period.
TYearMonthDay RoundedDownYMD(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis);
// The start of every period from first to last (date-time values carrying the offset); never empty.
TYearMonthDayArray ComputedAllPeriodsTrue(TTimeLineDisplayBasis basis, TDateTime first, TDateTime last);
// Start, middle and end of the period opening at d1 (a Julian date carrying the offset); i1, i2 and d2
// are not used.
TDatePeriodDetailsRec DatePeriodDetails(int32_t i1, int32_t i2, double d1, double d2, TTimeLineDisplayBasis basis);

// Date-time format for labels of basis, full and abbreviated.
UnicodeString TimeLineBasisFormatString(TTimeLineDisplayBasis basis);
UnicodeString TimeLineBasisAbbreviatedFormatString(TTimeLineDisplayBasis basis);
// Label of ymd: the year as "%5.4d" (so -500 is "-0500") then month and day by the basis' format; "??"
// on failure.
UnicodeString YearMonthDayAsString(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis);
// Short label by the abbreviated format; "??" on failure (years outside 1-9999 included).
UnicodeString AbbreviatedYearMonthDayAsString(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis);
// Label of a Julian date carrying the offset; "??" for the no-date value or on failure.
UnicodeString JulianToStringRemovingConst(double jd, TTimeLineDisplayBasis basis, bool abbreviated);
// Label of the middle of period i of arr; "??" when i is out of range.
UnicodeString JulianDateStrFromTimelineData(int32_t i, const TYearMonthDayArray& arr, TTimeLineDisplayBasis basis,
                                            bool abbreviated);
// Prints rec by runs of y, m, d, h, n in format ("yyyy" "%.4d", "mm" "%.2d", "m" "%d"...).
UnicodeString StringFromTYrMmDyHrMn(const TYrMmDyHrMn& rec, const UnicodeString& format);
// Reads s by the same letters at the same positions; all zero when s and format differ in length.
TYrMmDyHrMn DatefromUsersString(const UnicodeString& s, const UnicodeString& format);
// A typed date ("yyyy" or "yyyy/mm/dd") as a Julian date carrying the offset; the no-date value when it
// does not read, 0 for an impossible day.
double UserStrDateAndTimeParsed(const UnicodeString& s);

}  // namespace kx8
