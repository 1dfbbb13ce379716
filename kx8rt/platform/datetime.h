// The date-time value: days since 30 December 1899 with the time of day as the fraction, its encoding,
// decoding, calendar arithmetic, formatting and reading.
#pragma once

#include <cstdint>
#include <string_view>

#include "kx8rt/platform/format.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// Whole part: days since 30 December 1899 (negative before it); fraction: the time of day. Before
// the epoch the fraction still counts forwards from midnight, so -1.25 is 29 December 1899, 06:00.
using TDateTime = double;

inline constexpr double MinDateTime = -693593.0;           // 1 January 0001, 00:00
inline constexpr double MaxDateTime = 2958465.99999999;    // 31 December 9999, 23:59:59.999
inline constexpr int32_t HoursPerDay = 24;
inline constexpr int32_t MinsPerDay = 24 * 60;
inline constexpr int32_t SecsPerDay = 24 * 60 * 60;
inline constexpr int32_t MSecsPerDay = SecsPerDay * 1000;

// Days of each month, [leap year][month - 1].
inline constexpr uint16_t MonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                              {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Gregorian leap year (proleptic for every year).
bool IsLeapYear(int32_t year);
// Days in the month, 0 for a month outside 1-12.
uint16_t DaysInAMonth(int32_t year, int32_t month);

// Date value of a day of years 1-9999; false (date untouched) for anything else.
bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date);
// As TryEncodeDate, raising EConvertError "Invalid argument to date encode".
TDateTime EncodeDate(int32_t year, int32_t month, int32_t day);
// Fraction of a day for 0-23 h, 0-59 min, 0-59 s, 0-999 ms; false (time untouched) otherwise.
bool TryEncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec, TDateTime& time);
// As TryEncodeTime, raising EConvertError "Invalid argument to time encode".
TDateTime EncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec);
// Joins a date and a time of day, counting the time forwards from midnight on dates before the epoch.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Year, month and day of a value (rounded to the millisecond, as the time is); values outside years
// 1-9999 (or not finite) give 0, 0, 0.
void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day);
// As DecodeDate plus the day of the week (1 = Sunday, 0 when outside the range); true in a leap year.
bool DecodeDateFully(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& dow);
// Hour, minute, second and millisecond of the fraction (of its absolute value before the epoch).
void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec);

// The local date and time now, to the millisecond; today at midnight; the time of day now.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Moves a date by whole months, keeping the time of day; a day past the new month's end becomes its
// last day (31 January + 1 month = 28 or 29 February). EConvertError when the result leaves years 1-9999.
TDateTime IncMonth(TDateTime dt, int32_t months = 1);
// Moves a date by whole days.
TDateTime IncDay(TDateTime dt, int64_t days = 1);

// Day of the week, 1 = Sunday .. 7 = Saturday.
int32_t DayOfWeek(TDateTime dt);
// ISO day of the week, 1 = Monday .. 7 = Sunday.
int32_t DayOfTheWeek(TDateTime dt);
// ISO 8601 week number (weeks begin on Monday; week 1 holds the year's first Thursday); year receives
// the year the week belongs to, so 3 January 2021 is week 53 of 2020. 0 for values outside years 1-9999.
uint16_t WeekOfTheYear(TDateTime dt, uint16_t& year);
uint16_t WeekOfTheYear(TDateTime dt);

// Formats dt by the classic letters (case does not matter except in am/pm and a/p):
//   y yy: two-digit year; yyy yyyy: four-digit year; m mm: month (minute right after an h);
//   mmm mmmm: short and long month name; d dd: day; ddd dddd: short and long day name;
//   ddddd: the short date format; dddddd: the long date format; h hh: hour (12-hour when an am/pm
//   follows); n nn: minute; s ss: second; z zzz: millisecond; t tt: short and long time format;
//   c: short date, then the long time unless it is midnight; am/pm, a/p: as written; ampm: the settings'
//   AM and PM texts; g: the abbreviated era name, gg (or longer): the full one; "/" and ":" the date and
//   time separators; "text" and 'text' copied as they stand.
// A value outside years 1-9999 raises EConvertError.
UnicodeString FormatDateTime(const UnicodeString& format, TDateTime dt);
UnicodeString FormatDateTime(const UnicodeString& format, TDateTime dt, const TFormatSettings& settings);

// The date by the short date format, the time by the long time format, and both ("c").
UnicodeString DateToStr(TDateTime dt);
UnicodeString DateToStr(TDateTime dt, const TFormatSettings& settings);
UnicodeString TimeToStr(TDateTime dt);
UnicodeString TimeToStr(TDateTime dt, const TFormatSettings& settings);
UnicodeString DateTimeToStr(TDateTime dt);
UnicodeString DateTimeToStr(TDateTime dt, const TFormatSettings& settings);

// Reads two or three numbers (at most four digits each) separated by the date separator, in the
// settings' date order; with two the year is the current one. A year of one or two digits is placed by
// TwoDigitYearCenturyWindow. Spaces around the numbers are allowed.
bool TryStrToDate(std::u16string_view s, TDateTime& date);
bool TryStrToDate(std::u16string_view s, TDateTime& date, const TFormatSettings& settings);
// As TryStrToDate, raising EConvertError "'%s' is not a valid date".
TDateTime StrToDate(std::u16string_view s);
TDateTime StrToDate(std::u16string_view s, const TFormatSettings& settings);

// Reads a time of day, h[:m[:s[.zzz]]] with the settings' time separator, into a fraction of a day. An
// AM or PM designator (the settings' TimeAMString and TimePMString, or "AM" and "PM", in any case) may
// stand before or after it and puts the hour on the 12-hour clock (1-12). The milliseconds follow the
// settings' decimal separator or "."; blanks are allowed around the parts. Output untouched on failure.
bool TryStrToTime(std::u16string_view s, TDateTime& time);
bool TryStrToTime(std::u16string_view s, TDateTime& time, const TFormatSettings& settings);
// As TryStrToTime, raising EConvertError "'%s' is not a valid time".
TDateTime StrToTime(std::u16string_view s);
TDateTime StrToTime(std::u16string_view s, const TFormatSettings& settings);

// Reads a date as TryStrToDate does, then after blanks a time as TryStrToTime does; a date alone is
// that day at midnight and a time alone that time on day 0 (30 December 1899).
bool TryStrToDateTime(std::u16string_view s, TDateTime& value);
bool TryStrToDateTime(std::u16string_view s, TDateTime& value, const TFormatSettings& settings);
// As TryStrToDateTime, raising EConvertError "'%s' is not a valid date and time".
TDateTime StrToDateTime(std::u16string_view s);
TDateTime StrToDateTime(std::u16string_view s, const TFormatSettings& settings);

}  // namespace kx8
