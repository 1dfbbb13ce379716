#include "kx8rt/platform/datetime.h"

#include <time.h>

#include <cmath>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date, exact for any year (era arithmetic).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2);
}

constexpr int64_t kEpochFrom1970 = -25569;  // 1899-12-30 counted from 1970-01-01
constexpr int64_t kFirstDay = -693593;      // 0001-01-01
constexpr int64_t kLastDay = 2958465;       // 9999-12-31

// A value split into its day (towards zero) and the milliseconds of its time of day, after rounding
// the whole value to the millisecond so that 23:59:59.9999 is the next midnight in date and time alike.
struct TStamp {
  int64_t Day = 0;
  int32_t MSec = 0;
};

bool ToStamp(TDateTime dt, TStamp& st) {
  if (!std::isfinite(dt) || std::fabs(dt) > 4.0e6) return false;  // far outside years 1-9999
  const int64_t ms = std::llround(dt * MSecsPerDay);
  st.Day = ms / MSecsPerDay;
  st.MSec = static_cast<int32_t>((ms < 0 ? -ms : ms) % MSecsPerDay);
  return true;
}

bool DayInRange(int64_t day) { return day >= kFirstDay && day <= kLastDay; }

int64_t FloorMod(int64_t a, int64_t b) { return ((a % b) + b) % b; }

bool DecodeDay(TDateTime dt, int64_t& day, int64_t& y, int64_t& m, int64_t& d) {
  TStamp st;
  if (!ToStamp(dt, st) || !DayInRange(st.Day)) return false;
  day = st.Day;
  CivilFromDays(st.Day + kEpochFrom1970, y, m, d);
  return true;
}

[[noreturn]] void RaiseBadDateTimeValue(TDateTime dt) {
  throw EConvertError(Format(KXXIsNotAValidDateAndTime, {FloatToStr(dt)}));
}

}  // namespace

bool IsLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

uint16_t DaysInAMonth(int32_t year, int32_t month) {
  if (month < 1 || month > 12) return 0;
  return MonthDays[IsLeapYear(year)][month - 1];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month)) return false;
  date = static_cast<double>(DaysFromCivil(year, month, day) - kEpochFrom1970);
  return true;
}

TDateTime EncodeDate(int32_t year, int32_t month, int32_t day) {
  TDateTime d;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError(u"Invalid argument to date encode");
  return d;
}

bool TryEncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec, TDateTime& time) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
  time = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec) {
  TDateTime t;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError(u"Invalid argument to time encode");
  return t;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  const double whole = std::trunc(date);
  const double fraction = std::fabs(time - std::trunc(time));
  return whole < 0 ? whole - fraction : whole + fraction;
}

void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day) {
  uint16_t dow;
  DecodeDateFully(dt, year, month, day, dow);
}

bool DecodeDateFully(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& dow) {
  int64_t dayNo, y, m, d;
  if (!DecodeDay(dt, dayNo, y, m, d)) {
    year = month = day = dow = 0;
    return false;
  }
  year = static_cast<uint16_t>(y);
  month = static_cast<uint16_t>(m);
  day = static_cast<uint16_t>(d);
  dow = static_cast<uint16_t>(FloorMod(dayNo + 6, 7) + 1);
  return IsLeapYear(year);
}

void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec) {
  TStamp st;
  if (!ToStamp(dt, st)) st.MSec = 0;
  hour = static_cast<uint16_t>(st.MSec / 3600000);
  min = static_cast<uint16_t>(st.MSec / 60000 % 60);
  sec = static_cast<uint16_t>(st.MSec / 1000 % 60);
  msec = static_cast<uint16_t>(st.MSec % 1000);
}

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  const double day = static_cast<double>(DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) - kEpochFrom1970);
  // A leap second (tm_sec 60) is held at :59.999 rather than rejected.
  const int32_t sec = local.tm_sec > 59 ? 59 : local.tm_sec;
  const int32_t ms = local.tm_sec > 59 ? 999 : static_cast<int32_t>(ts.tv_nsec / 1000000);
  return day + static_cast<double>(((local.tm_hour * 60 + local.tm_min) * 60 + sec) * 1000 + ms) / MSecsPerDay;
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  const TDateTime now = Now();
  return now - std::trunc(now);
}

TDateTime IncMonth(TDateTime dt, int32_t months) {
  int64_t dayNo, y, m, d;
  TStamp st;
  if (!DecodeDay(dt, dayNo, y, m, d) || !ToStamp(dt, st)) RaiseBadDateTimeValue(dt);
  const int64_t total = y * 12 + (m - 1) + months;
  const int64_t ny = total >= 0 ? total / 12 : -((-total + 11) / 12);
  const int64_t nm = total - ny * 12 + 1;
  if (ny < 1 || ny > 9999) throw EConvertError(u"Invalid argument to date encode");
  const int64_t nd = std::min<int64_t>(d, DaysInAMonth(static_cast<int32_t>(ny), static_cast<int32_t>(nm)));
  const TDateTime date = EncodeDate(static_cast<int32_t>(ny), static_cast<int32_t>(nm), static_cast<int32_t>(nd));
  return ComposeDateTime(date, static_cast<double>(st.MSec) / MSecsPerDay);
}

TDateTime IncDay(TDateTime dt, int64_t days) { return dt + static_cast<double>(days); }

int32_t DayOfWeek(TDateTime dt) {
  TStamp st;
  if (!ToStamp(dt, st)) RaiseBadDateTimeValue(dt);
  return static_cast<int32_t>(FloorMod(st.Day + 6, 7) + 1);  // 30 December 1899 was a Saturday
}

int32_t DayOfTheWeek(TDateTime dt) {
  TStamp st;
  if (!ToStamp(dt, st)) RaiseBadDateTimeValue(dt);
  return static_cast<int32_t>(FloorMod(st.Day + 5, 7) + 1);
}

uint16_t WeekOfTheYear(TDateTime dt, uint16_t& year) {
  int64_t dayNo, y, m, d;
  year = 0;
  if (!DecodeDay(dt, dayNo, y, m, d)) return 0;
  // The week belongs to the year of its Thursday.
  const int64_t thursday = dayNo - (FloorMod(dayNo + 5, 7) + 1) + 4;
  int64_t ty, tm, td;
  CivilFromDays(thursday + kEpochFrom1970, ty, tm, td);
  const int64_t jan1 = DaysFromCivil(ty, 1, 1) - kEpochFrom1970;
  year = static_cast<uint16_t>(ty);
  return static_cast<uint16_t>((thursday - jan1) / 7 + 1);
}

uint16_t WeekOfTheYear(TDateTime dt) {
  uint16_t year;
  return WeekOfTheYear(dt, year);
}

// ---- formatting ----

namespace {

class TDateFormatter {
 public:
  TDateFormatter(TDateTime dt, const TFormatSettings& fs) : fFs(fs) {
    uint16_t y, mo, d, dow, h, mi, s, ms;
    DecodeDateFully(dt, y, mo, d, dow);
    if (y == 0) RaiseBadDateTimeValue(dt);
    DecodeTime(dt, h, mi, s, ms);
    fYear = y, fMonth = mo, fDay = d, fDow = dow, fHour = h, fMin = mi, fSec = s, fMSec = ms;
  }

  void Append(UnicodeString& out, std::u16string_view fmt, int depth) {
    if (depth > 2) return;  // a settings format naming itself must not recurse for ever
    char16_t lastToken = u' ';
    const size_t n = fmt.size();
    size_t i = 0;
    while (i < n) {
      const char16_t c = fmt[i];
      char16_t up = Upper(c);
      if (up >= u'A' && up <= u'Z') {
        if (up == u'M' && lastToken == u'H') up = u'N';
        lastToken = up;
      }
      switch (up) {
        case u'Y': {
          const size_t count = Run(fmt, i);
          if (count <= 2) Number(out, fYear % 100, 2);
          else Number(out, fYear, 4);
          break;
        }
        case u'M': {
          const size_t count = Run(fmt, i);
          if (count <= 2) Number(out, fMonth, static_cast<int>(count));
          else out += count == 3 ? fFs.ShortMonthNames[fMonth - 1] : fFs.LongMonthNames[fMonth - 1];
          break;
        }
        case u'D': {
          const size_t count = Run(fmt, i);
          if (count <= 2) Number(out, fDay, static_cast<int>(count));
          else if (count == 3) out += fFs.ShortDayNames[fDow - 1];
          else if (count == 4) out += fFs.LongDayNames[fDow - 1];
          else Append(out, count == 5 ? fFs.ShortDateFormat : fFs.LongDateFormat, depth + 1);
          break;
        }
        case u'H': {
          const size_t count = Run(fmt, i);
          int hour = fHour;
          if (TwelveHourClock(fmt, i)) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          Number(out, hour, count >= 2 ? 2 : 1);
          break;
        }
        case u'N': {
          const size_t count = Run(fmt, i);
          Number(out, fMin, count >= 2 ? 2 : 1);
          break;
        }
        case u'S': {
          const size_t count = Run(fmt, i);
          Number(out, fSec, count >= 2 ? 2 : 1);
          break;
        }
        case u'Z': {
          const size_t count = Run(fmt, i);
          Number(out, fMSec, count >= 2 ? 3 : 1);
          break;
        }
        case u'T': {
          const size_t count = Run(fmt, i);
          Append(out, count == 1 ? fFs.ShortTimeFormat : fFs.LongTimeFormat, depth + 1);
          break;
        }
        case u'C': {
          Run(fmt, i);
          Append(out, fFs.ShortDateFormat, depth + 1);
          if (fHour != 0 || fMin != 0 || fSec != 0 || fMSec != 0) {
            out.push_back(u' ');
            Append(out, fFs.LongTimeFormat, depth + 1);
          }
          break;
        }
        case u'A': {
          const std::u16string_view rest = fmt.substr(i);
          const bool pm = fHour >= 12;
          if (StartsNoCase(rest, u"AM/PM")) {
            out.append(rest.substr(pm ? 3 : 0, 2));  // as written: "am/pm" gives "pm", "AM/PM" "PM"
            i += 5;
          } else if (StartsNoCase(rest, u"A/P")) {
            out.push_back(rest[pm ? 2 : 0]);
            i += 3;
          } else if (StartsNoCase(rest, u"AMPM")) {
            out += pm ? fFs.TimePMString : fFs.TimeAMString;
            i += 4;
          } else {
            out.push_back(c);
            ++i;
          }
          break;
        }
        case u'G': {
          const size_t count = Run(fmt, i);
          out += count == 1 ? fFs.ShortEraName : fFs.LongEraName;
          break;
        }
        case u'/':
          out.push_back(fFs.DateSeparator);
          ++i;
          break;
        case u':':
          out.push_back(fFs.TimeSeparator);
          ++i;
          break;
        case u'"':
        case u'\'': {
          size_t close = fmt.find(c, i + 1);
          if (close == std::u16string_view::npos) close = n;
          out.append(fmt.substr(i + 1, close - i - 1));
          i = close + 1;
          break;
        }
        default:
          out.push_back(c);
          ++i;
          break;
      }
    }
  }

 private:
  static char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

  // Length of the run of the letter at i (either case); moves i past it.
  static size_t Run(std::u16string_view fmt, size_t& i) {
    const char16_t letter = Upper(fmt[i]);
    const size_t start = i;
    while (i < fmt.size() && Upper(fmt[i]) == letter) ++i;
    return i - start;
  }

  static bool StartsNoCase(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
  }

  // An hour is on the 12-hour clock when an am/pm, a/p or ampm comes before the next hour or "a".
  static bool TwelveHourClock(std::u16string_view fmt, size_t from) {
    bool quoted = false;
    for (size_t p = from; p < fmt.size(); ++p) {
      const char16_t c = Upper(fmt[p]);
      if (c == u'"' || c == u'\'') quoted = !quoted;
      else if (quoted) continue;
      else if (c == u'H') return false;
      else if (c == u'A') {
        const std::u16string_view rest = fmt.substr(p);
        return StartsNoCase(rest, u"AM/PM") || StartsNoCase(rest, u"A/P") || StartsNoCase(rest, u"AMPM");
      }
    }
    return false;
  }

  static void Number(UnicodeString& out, int value, int minDigits) {
    char16_t buf[8];
    int n = 0;
    do {
      buf[n++] = static_cast<char16_t>(u'0' + value % 10);
      value /= 10;
    } while (value > 0);
    for (int k = n; k < minDigits; ++k) out.push_back(u'0');
    while (n > 0) out.push_back(buf[--n]);
  }

  const TFormatSettings& fFs;
  int fYear, fMonth, fDay, fDow, fHour, fMin, fSec, fMSec;
};

}  // namespace

UnicodeString FormatDateTime(const UnicodeString& format, TDateTime dt) { return FormatDateTime(format, dt, FormatSettings); }
UnicodeString FormatDateTime(const UnicodeString& format, TDateTime dt, const TFormatSettings& settings) {
  UnicodeString out;
  TDateFormatter(dt, settings).Append(out, format, 0);
  return out;
}

UnicodeString DateToStr(TDateTime dt) { return DateToStr(dt, FormatSettings); }
UnicodeString DateToStr(TDateTime dt, const TFormatSettings& settings) { return FormatDateTime(u"ddddd", dt, settings); }
UnicodeString TimeToStr(TDateTime dt) { return TimeToStr(dt, FormatSettings); }
UnicodeString TimeToStr(TDateTime dt, const TFormatSettings& settings) { return FormatDateTime(u"tt", dt, settings); }
UnicodeString DateTimeToStr(TDateTime dt) { return DateTimeToStr(dt, FormatSettings); }
UnicodeString DateTimeToStr(TDateTime dt, const TFormatSettings& settings) { return FormatDateTime(u"c", dt, settings); }

// ---- reading ----

namespace {

void SkipBlanks(std::u16string_view s, size_t& i) {
  while (i < s.size() && s[i] == u' ') ++i;
}

// A run of 1 to maxDigits decimal digits at i; a longer run fails (as more digits than any field takes
// cannot be meant as that field).
bool ScanNumber(std::u16string_view s, size_t& i, int maxDigits, int32_t& value, int& digits) {
  size_t j = i;
  int32_t v = 0;
  while (j < s.size() && s[j] >= u'0' && s[j] <= u'9' && static_cast<int>(j - i) <= maxDigits) {
    v = v * 10 + (s[j] - u'0');
    ++j;
  }
  const int n = static_cast<int>(j - i);
  if (n == 0 || n > maxDigits) return false;
  value = v;
  digits = n;
  i = j;
  return true;
}

// A designator at i in any case; an empty one never matches (it would match everywhere).
bool ScanWord(std::u16string_view s, size_t& i, std::u16string_view word) {
  if (word.empty() || s.size() - i < word.size() || !SameText(s.substr(i, word.size()), word)) return false;
  i += word.size();
  return true;
}

// 0 after an AM designator, 12 after a PM one, -1 when none stands at i.
int32_t ScanDesignator(std::u16string_view s, size_t& i, const TFormatSettings& fs) {
  if (ScanWord(s, i, fs.TimeAMString) || ScanWord(s, i, u"AM")) return 0;
  if (ScanWord(s, i, fs.TimePMString) || ScanWord(s, i, u"PM")) return 12;
  return -1;
}

// Two or three numbers separated by the date separator, from i; i is left after the date (and the blanks
// after it). The caller decides what may follow.
bool ScanDate(std::u16string_view s, size_t& i, TDateTime& date, const TFormatSettings& settings) {
  int32_t numbers[3];
  int digits[3];
  int count = 0;
  for (;;) {
    SkipBlanks(s, i);
    if (!ScanNumber(s, i, 4, numbers[count], digits[count])) return false;
    ++count;
    SkipBlanks(s, i);
    if (count == 3 || i >= s.size() || s[i] != settings.DateSeparator) break;
    ++i;
  }
  if (count < 2) return false;

  uint16_t thisYear, thisMonth, thisDay;
  DecodeDate(Now(), thisYear, thisMonth, thisDay);
  int32_t y = thisYear, m, d;
  int yearDigits = 4;
  if (count == 2) {
    if (settings.DateOrder == doDMY) d = numbers[0], m = numbers[1];
    else m = numbers[0], d = numbers[1];
  } else {
    switch (settings.DateOrder) {
      case doMDY: m = numbers[0], d = numbers[1], y = numbers[2], yearDigits = digits[2]; break;
      case doDMY: d = numbers[0], m = numbers[1], y = numbers[2], yearDigits = digits[2]; break;
      default: y = numbers[0], m = numbers[1], d = numbers[2], yearDigits = digits[0]; break;
    }
  }
  if (yearDigits <= 2) {
    const int32_t centuryBase = thisYear - settings.TwoDigitYearCenturyWindow;
    y += centuryBase / 100 * 100;
    if (settings.TwoDigitYearCenturyWindow > 0 && y < centuryBase) y += 100;
  }
  return TryEncodeDate(y, m, d, date);
}

// h[:m[:s[.zzz]]] with an optional designator before or after, from i; i is left after the time (and the
// blanks after it).
bool ScanTime(std::u16string_view s, size_t& i, TDateTime& time, const TFormatSettings& settings) {
  SkipBlanks(s, i);
  int32_t base = ScanDesignator(s, i, settings);
  SkipBlanks(s, i);
  int32_t hour = 0, min = 0, sec = 0, msec = 0;
  int digits = 0;
  if (!ScanNumber(s, i, 2, hour, digits)) return false;
  SkipBlanks(s, i);
  if (i < s.size() && s[i] == settings.TimeSeparator) {
    ++i;
    SkipBlanks(s, i);
    if (!ScanNumber(s, i, 2, min, digits)) return false;
    SkipBlanks(s, i);
    if (i < s.size() && s[i] == settings.TimeSeparator) {
      ++i;
      SkipBlanks(s, i);
      if (!ScanNumber(s, i, 2, sec, digits)) return false;
      // The digits after the separator are milliseconds as a number, so that what the "z" and "zzz"
      // letters write ("5" and "005" for 5 ms) reads back as it was written.
      if (i < s.size() && (s[i] == settings.DecimalSeparator || s[i] == u'.')) {
        ++i;
        if (!ScanNumber(s, i, 3, msec, digits)) return false;
      }
      SkipBlanks(s, i);
    }
  }
  if (base < 0) base = ScanDesignator(s, i, settings);
  if (base >= 0) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + base;
  }
  SkipBlanks(s, i);
  return TryEncodeTime(hour, min, sec, msec, time);
}

}  // namespace

bool TryStrToDate(std::u16string_view s, TDateTime& date) { return TryStrToDate(s, date, FormatSettings); }
bool TryStrToDate(std::u16string_view s, TDateTime& date, const TFormatSettings& settings) {
  size_t i = 0;
  TDateTime d;
  if (!ScanDate(s, i, d, settings) || i != s.size()) return false;
  date = d;
  return true;
}

TDateTime StrToDate(std::u16string_view s) { return StrToDate(s, FormatSettings); }
TDateTime StrToDate(std::u16string_view s, const TFormatSettings& settings) {
  TDateTime d;
  if (!TryStrToDate(s, d, settings)) throw EConvertError(Format(KXXIsNotAValidDate, {s}));
  return d;
}

bool TryStrToTime(std::u16string_view s, TDateTime& time) { return TryStrToTime(s, time, FormatSettings); }
bool TryStrToTime(std::u16string_view s, TDateTime& time, const TFormatSettings& settings) {
  size_t i = 0;
  TDateTime t;
  if (!ScanTime(s, i, t, settings) || i != s.size()) return false;
  time = t;
  return true;
}

TDateTime StrToTime(std::u16string_view s) { return StrToTime(s, FormatSettings); }
TDateTime StrToTime(std::u16string_view s, const TFormatSettings& settings) {
  TDateTime t;
  if (!TryStrToTime(s, t, settings)) throw EConvertError(Format(KXXIsNotAValidTime, {s}));
  return t;
}

bool TryStrToDateTime(std::u16string_view s, TDateTime& value) { return TryStrToDateTime(s, value, FormatSettings); }
bool TryStrToDateTime(std::u16string_view s, TDateTime& value, const TFormatSettings& settings) {
  size_t i = 0;
  TDateTime date;
  if (ScanDate(s, i, date, settings)) {
    if (i == s.size()) {
      value = date;
      return true;
    }
    // The date and the time stand apart: without a blank "3/7/2024" and "12:30" could not be told apart.
    TDateTime time;
    if (s[i - 1] == u' ' && ScanTime(s, i, time, settings) && i == s.size()) {
      value = ComposeDateTime(date, time);
      return true;
    }
  }
  // A time alone is a time on day 0; so is text whose leading numbers only looked like a date ("12.30"
  // with "." as both separators).
  return TryStrToTime(s, value, settings);
}

TDateTime StrToDateTime(std::u16string_view s) { return StrToDateTime(s, FormatSettings); }
TDateTime StrToDateTime(std::u16string_view s, const TFormatSettings& settings) {
  TDateTime v;
  if (!TryStrToDateTime(s, v, settings)) throw EConvertError(Format(KXXIsNotAValidDateAndTime, {s}));
  return v;
}

}  // namespace kx8
