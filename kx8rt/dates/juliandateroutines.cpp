#include "kx8rt/dates/juliandateroutines.h"

#include <algorithm>
#include <cmath>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {

namespace {

constexpr int32_t kOffsetMonths = JulianYearOffset * 12;

TYearMonthDay Today() {
  uint16_t y, m, d;
  DecodeDate(Date(), y, m, d);
  return {y, m, d};
}

// Last day of a month for any year (the calendar's leap rule carried back before year 1).
int32_t LastDayOf(int32_t year, int32_t month) {
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return MonthDays[leap ? 1 : 0][std::clamp(month, 1, 12) - 1];
}

// Whole decimal integer with an optional sign; no blanks, no hexadecimal (a typed date never means one).
bool ReadDecimal(std::u16string_view s, int64_t& value) {
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) neg = s[i++] == u'-';
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < u'0' || s[i] > u'9') return false;
    v = v * 10 + (s[i] - u'0');
    if (v > 0x7FFFFFFFLL + 1) return false;
  }
  value = neg ? -v : v;
  return value >= INT32_MIN && value <= INT32_MAX;
}

bool Before(const TYearMonthDay& a, const TYearMonthDay& b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.month != b.month) return a.month < b.month;
  return a.day < b.day;
}

const double kLastMoment = 23.0 / 24 + 59.0 / 1440 + 59.0 / 86400 + 999.0 / 86400000;

}  // namespace

double DateTimeToJulianDate(TDateTime dt) { return dt + JulianDateOfDateTimeZero; }

bool TryJulianDateToDateTime(double jd, TDateTime& dt) {
  const double v = jd - JulianDateOfDateTimeZero;
  if (!std::isfinite(v) || v < MinDateTime || v > MaxDateTime) return false;
  dt = v;
  return true;
}

TDateTime JulianDateToDateTime(double jd) {
  TDateTime dt;
  if (!TryJulianDateToDateTime(jd, dt))
    throw EConvertError(Format(u"Julian date %g cannot be represented as a date-time value", {jd}));
  return dt;
}

double YearMonthDayToJulianAddingConst(const TYearMonthDay& ymd) {
  TDateTime dt;
  if (ymd.year > INT32_MAX - JulianYearOffset) return 0;
  if (!TryEncodeDate(ymd.year + JulianYearOffset, std::clamp(ymd.month, 1, 12), std::clamp(ymd.day, 1, 31), dt))
    return 0;
  return DateTimeToJulianDate(dt);
}

double YearMonthDayToJulianDateSemConvertir(const TYearMonthDay& ymd) {
  TDateTime dt;
  if (!TryEncodeDate(ymd.year, ymd.month, ymd.day, dt)) dt = Date();
  return DateTimeToJulianDate(dt);
}

TYearMonthDay JulianDateToYearMonthDay(double jd, bool removeConst) {
  if (jd == 0) return Today();
  TDateTime dt;
  // A value that is no date at all has no day to give: it is reported as the no-date record rather
  // than as today, so that a time-line does not plot it at the present.
  if (!TryJulianDateToDateTime(jd, dt)) return AClearYearMonthDayRec();
  uint16_t y, m, d;
  DecodeDate(dt, y, m, d);
  return {y - (removeConst ? JulianYearOffset : 0), m, d};
}

TYearMonthDay JulianDateToYearMonthDaySemConvertir(double jd) {
  TDateTime dt;
  if (jd == 0 || !TryJulianDateToDateTime(jd, dt)) return Today();
  uint16_t y, m, d;
  DecodeDate(dt, y, m, d);
  return {y, m, d};
}

TDateTime MyJulianDateToDateTime(double jd, bool removeConst) {
  if (jd == 0) return 0;
  TDateTime dt = JulianDateToDateTime(jd);
  if (removeConst) dt = IncMonth(dt, -kOffsetMonths);
  return dt;
}

double DateTimeToJulianAddingConst(TDateTime dt) {
  try {
    return DateTimeToJulianDate(IncMonth(std::floor(dt), kOffsetMonths));
  } catch (const Exception&) {
    return 0;
  }
}

TDateTime YearMonthDayToDate(const TYearMonthDay& ymd) {
  // Years before 1 fall back to today like any other invalid day: callers use this only for real
  // calendar dates of years 1-9999.
  TDateTime dt;
  if (!TryEncodeDate(ymd.year, ymd.month, ymd.day, dt)) return Date();
  return dt;
}

TYearMonthDay DateToYearMonthDay(TDateTime dt, bool removeConst) {
  if (dt > MaxDateTime) global_dates_Untrustworthy = true;
  if (!std::isfinite(dt) || dt < MinDateTime || dt >= MaxDateTime + 1) return Today();
  uint16_t y, m, d;
  DecodeDate(dt, y, m, d);
  if (y == 0) return Today();
  return {y - (removeConst ? JulianYearOffset : 0), m, d};
}

TYearMonthDay DateToYearMonthDayRemovingConst(TDateTime dt) { return DateToYearMonthDay(dt, true); }

TDateTimeYMDrec TrueDateOfDate(double jd) {
  TDateTimeYMDrec r;
  r.dt = MyJulianDateToDateTime(jd, true);
  r.ymd = DateToYearMonthDay(r.dt, false);
  return r;
}

void ClearAYearMonthDayRec(TYearMonthDay& ymd) { ymd = {NoDateYear, 1, 1}; }

TYearMonthDay AClearYearMonthDayRec() { return {NoDateYear, 1, 1}; }

TDateTime MiddleOfTwoDates(TDateTime a, TDateTime b) { return (a + b) / 2; }

TYearMonthDay MiddleOfTwoYMDs(const TYearMonthDay& a, const TYearMonthDay& b) {
  return DateToYearMonthDay((YearMonthDayToDate(a) + YearMonthDayToDate(b)) / 2, false);
}

void ExchangeTwoDateTimes(TDateTime& a, TDateTime& b) { std::swap(a, b); }

bool YearMonthDayWithin(const TYearMonthDay& ymd, const TYearMonthDay& lo, const TYearMonthDay& hi) {
  return lo.year <= ymd.year && ymd.year <= hi.year && lo.month <= ymd.month && ymd.month <= hi.month &&
         lo.day <= ymd.day && ymd.day <= hi.day;
}

int32_t PlotMultiplicand(TTimeLineDisplayBasis basis) {
  switch (basis) {
    case tlpb_millennia: return 1000;
    case tlpb_centuries: return 100;
    case tlpb_decades: return 10;
    default: return 1;
  }
}

TDateTime EdgeOfPeriod(TDateTime dt, TTimeLineDisplayBasis basis, TStartingOrFinishing which) {
  uint16_t y, m, d;
  DecodeDate(dt, y, m, d);
  if (y == 0) return dt;  // not a date of years 1-9999: nothing to round
  const bool start = which == t_starting;
  switch (basis) {
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades:
    case tlpb_years: {
      const int32_t mult = PlotMultiplicand(basis);
      int32_t first = (y / mult) * mult;
      // The first millennium or century starts at year 0, which the calendar lacks: it opens at year 1.
      if (first < 1) first = 1;
      if (start) return EncodeDate(first, 1, 1);
      // A long period finishes at the end of its last year, so the two edges enclose dt (the end of
      // its first year would lie before most dates in it).
      const int32_t last = std::min((y / mult) * mult + mult - 1, 9999);
      return EncodeDate(last, 12, 31) + kLastMoment;
    }
    case tlpb_months:
      return start ? EncodeDate(y, m, 1) : EncodeDate(y, m, DaysInAMonth(y, m)) + kLastMoment;
    case tlpb_weeks: {
      // The week is the ISO week that holds dt, with the year that week belongs to. Pairing the week
      // number with the calendar year instead would put 31 December of a week 1 into the January of
      // the same year, so the edges would not hold dt; the Monday on or before dt is always right.
      const double monday = std::floor(dt) - (DayOfTheWeek(dt) - 1);
      if (start) return std::max(monday, MinDateTime);
      return std::min(monday + 6 + kLastMoment, MaxDateTime);
    }
    case tlpb_days:
      return start ? std::floor(dt) : std::floor(dt) + kLastMoment;
    default:
      return dt;
  }
}

namespace {
// Month steps across the year's turn; the day is left to the caller.
void NextMonth(TYearMonthDay& r) {
  if (++r.month > 12) {
    r.month = 1;
    ++r.year;
  }
}
void PreviousMonth(TYearMonthDay& r) {
  if (--r.month < 1) {
    r.month = 12;
    --r.year;
  }
}
}  // namespace

TYearMonthDay IncrementedYMD(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis) {
  TYearMonthDay r = ymd;
  switch (basis) {
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades:
    case tlpb_years:
      r.year += PlotMultiplicand(basis);
      break;
    case tlpb_months:
      NextMonth(r);
      break;
    case tlpb_weeks:
      r = DateToYearMonthDay(YearMonthDayToDate(ymd) + 7, false);
      break;
    case tlpb_days:
      if (++r.day > LastDayOf(r.year, r.month)) {
        r.day = 1;
        NextMonth(r);
      }
      break;
    default:
      break;
  }
  return r;
}

TYearMonthDay RoundedDownYMD(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis) {
  TYearMonthDay r = ymd;
  switch (basis) {
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades:
    case tlpb_years:
      r = {ymd.year - 1, 12, 31};
      break;
    case tlpb_months:
      PreviousMonth(r);
      r.day = LastDayOf(r.year, r.month);
      break;
    case tlpb_weeks:
    case tlpb_days:
      if (--r.day < 1) {
        PreviousMonth(r);
        r.day = LastDayOf(r.year, r.month);
      }
      break;
    default:
      break;
  }
  return r;
}

TYearMonthDayArray ComputedAllPeriodsTrue(TTimeLineDisplayBasis basis, TDateTime first, TDateTime last) {
  TYearMonthDayArray out;
  TYearMonthDay cur = DateToYearMonthDay(first, true);
  if (basis < tlpb_millennia || basis > tlpb_days) {
    out.push_back(cur);
    return out;
  }
  const TYearMonthDay end = DateToYearMonthDay(last, true);
  do {
    out.push_back(cur);
    const TYearMonthDay next = IncrementedYMD(cur, basis);
    // A step that does not move forwards (a week step falling back to today) would never end.
    if (!Before(cur, next)) break;
    cur = next;
  } while (!Before(end, cur));
  return out;
}

TDatePeriodDetailsRec DatePeriodDetails(int32_t, int32_t, double d1, double, TTimeLineDisplayBasis basis) {
  TDatePeriodDetailsRec r;
  r.period_start = JulianDateToYearMonthDay(d1, true);
  r.period_end = IncrementedYMD(r.period_start, basis);
  r.period_mid = MiddleOfTwoYMDs(r.period_start, r.period_end);
  return r;
}

UnicodeString TimeLineBasisFormatString(TTimeLineDisplayBasis basis) {
  switch (basis) {
    case tlpb_unknown: return u"";
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades:
    case tlpb_years: return u"yyyy";
    case tlpb_months: return u"yyyy/mm";
    case tlpb_weeks:
    case tlpb_days: return u"yyyy/mm/dd";
    case tlpb_hours: return u"yyyy/mm/dd hh";
    default: return u"yyyy/mm/dd hh:nn";
  }
}

UnicodeString TimeLineBasisAbbreviatedFormatString(TTimeLineDisplayBasis basis) {
  switch (basis) {
    case tlpb_unknown: return u"";
    case tlpb_millennia:
    case tlpb_centuries:
    case tlpb_decades: return u"yyyy";
    case tlpb_years: return u"yy";
    case tlpb_months: return u"mmm";
    case tlpb_weeks: return u"w";
    case tlpb_days: return u"d";
    case tlpb_hours: return u"h";
    default: return u"yy/mm/dd hh:nn";
  }
}

UnicodeString YearMonthDayAsString(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis) {
  try {
    const UnicodeString year = Format(u"%5.4d", {ymd.year});
    // Month and day come from a placeholder year 2000 whose four digits are dropped, so that the year
    // itself may lie outside what the date-time value can hold.
    UnicodeString rest = FormatDateTime(TimeLineBasisFormatString(basis), EncodeDate(2000, ymd.month, ymd.day),
                                        UserDefaultFormatSettings());
    rest = Copy(rest, 5);
    return Trim(year + rest);
  } catch (const Exception&) {
    return u"??";
  }
}

UnicodeString AbbreviatedYearMonthDayAsString(const TYearMonthDay& ymd, TTimeLineDisplayBasis basis) {
  try {
    return FormatDateTime(TimeLineBasisAbbreviatedFormatString(basis), EncodeDate(ymd.year, ymd.month, ymd.day));
  } catch (const Exception&) {
    return u"??";
  }
}

UnicodeString JulianToStringRemovingConst(double jd, TTimeLineDisplayBasis basis, bool abbreviated) {
  TDateTime dt;
  if (!TryJulianDateToDateTime(jd, dt)) return u"??";
  const TYearMonthDay ymd = DateToYearMonthDayRemovingConst(dt);
  if (ymd.year == NoDateYear) return u"??";
  return abbreviated ? AbbreviatedYearMonthDayAsString(ymd, basis) : YearMonthDayAsString(ymd, basis);
}

UnicodeString JulianDateStrFromTimelineData(int32_t i, const TYearMonthDayArray& arr, TTimeLineDisplayBasis basis,
                                            bool abbreviated) {
  if (i < 0 || static_cast<size_t>(i) >= arr.size()) return u"??";
  const TYearMonthDay start = arr[static_cast<size_t>(i)];
  const TYearMonthDay last = RoundedDownYMD(IncrementedYMD(start, basis), basis);
  const TYearMonthDay middle = MiddleOfTwoYMDs(start, last);
  return abbreviated ? AbbreviatedYearMonthDayAsString(middle, basis) : YearMonthDayAsString(middle, basis);
}

namespace {

bool IsDateLetter(char16_t c) { return c == u'y' || c == u'm' || c == u'd' || c == u'h' || c == u'n'; }

int32_t& FieldOf(TYrMmDyHrMn& r, char16_t c) {
  switch (c) {
    case u'y': return r.year;
    case u'm': return r.month;
    case u'd': return r.day;
    case u'h': return r.hour;
    default: return r.minute;
  }
}

}  // namespace

UnicodeString StringFromTYrMmDyHrMn(const TYrMmDyHrMn& rec, const UnicodeString& format) {
  UnicodeString out;
  TYrMmDyHrMn r = rec;
  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (!IsDateLetter(c)) {
      out += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    const int32_t v = FieldOf(r, c);
    if (c == u'y') {
      if (run == 2) out += Format(u"%.2d", {v});
      else if (run == 4) out += Format(u"%.4d", {v});
    } else if (run == 1) {
      out += Format(u"%d", {v});
    } else if (run == 2) {
      out += Format(u"%.2d", {v});
    }
    i += run;
  }
  return out;
}

TYrMmDyHrMn DatefromUsersString(const UnicodeString& s, const UnicodeString& format) {
  TYrMmDyHrMn r;
  if (s.size() != format.size()) return r;
  size_t i = 0;
  while (i < format.size()) {
    const char16_t c = format[i];
    if (!IsDateLetter(c)) {
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    int64_t v = -1;
    const bool lengthOK = c == u'y' ? (run == 2 || run == 4) : (run == 1 || run == 2);
    if (!lengthOK || !ReadDecimal(std::u16string_view(s).substr(i, run), v)) v = -1;
    else if (c == u'y' && run == 2) v += 2000;
    int32_t& field = FieldOf(r, c);
    switch (c) {
      case u'd': field = static_cast<int32_t>(std::clamp<int64_t>(v, 1, 31)); break;
      case u'h': field = static_cast<int32_t>(std::clamp<int64_t>(v, 0, 23)); break;
      case u'm': field = static_cast<int32_t>(std::clamp<int64_t>(v, 1, 12)); break;
      case u'n': field = static_cast<int32_t>(std::clamp<int64_t>(v, 0, 59)); break;
      default: field = static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); break;
    }
    i += run;
  }
  return r;
}

double UserStrDateAndTimeParsed(const UnicodeString& s) {
  double result = YearMonthDayToJulianAddingConst(AClearYearMonthDayRec());
  const UnicodeString t = Trim(s);
  if (t.size() < 4 || t.find(u'<') != UnicodeString::npos) return result;
  if (t.find(LoadMessage(KXUnknown_date_str)) != UnicodeString::npos) return result;
  int64_t year, month, day;
  if (ReadDecimal(t, year)) return YearMonthDayToJulianAddingConst({static_cast<int32_t>(year), 7, 1});
  const size_t s1 = t.find(u'/');
  if (s1 == UnicodeString::npos) return result;
  const size_t s2 = t.find(u'/', s1 + 1);
  if (s2 == UnicodeString::npos) return result;
  const std::u16string_view v(t);
  if (!ReadDecimal(v.substr(0, s1), year) || !ReadDecimal(v.substr(s1 + 1, s2 - s1 - 1), month) ||
      !ReadDecimal(v.substr(s2 + 1), day))
    return result;
  return YearMonthDayToJulianAddingConst(
      {static_cast<int32_t>(year), static_cast<int32_t>(month), static_cast<int32_t>(day)});
}

}  // namespace kx8
