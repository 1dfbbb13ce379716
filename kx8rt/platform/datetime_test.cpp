#include "kx8rt/platform/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {
namespace {

std::string U8(const UnicodeString& s) { return Utf16ToUtf8(s); }

struct Ymd { int y, m, d; };

Ymd Decoded(TDateTime dt) {
  uint16_t y, m, d;
  DecodeDate(dt, y, m, d);
  return {y, m, d};
}

TEST(DateTime, EncodeDateKnownSerials) {
  struct Case { int y, m, d; double serial; };
  const Case cases[] = {
      {1899, 12, 30, 0}, {1899, 12, 31, 1}, {1900, 1, 1, 2}, {1899, 12, 29, -1}, {2000, 1, 1, 36526},
      {1970, 1, 1, 25569}, {1, 1, 1, MinDateTime}, {9999, 12, 31, std::trunc(MaxDateTime)}, {2024, 2, 29, 45351},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial) << c.y << "-" << c.m << "-" << c.d;
}

TEST(DateTime, BadDatesAndTimesRaise) {
  struct Case { int y, m, d; };
  const Case bad[] = {{2023, 2, 29}, {2024, 2, 30}, {1900, 2, 29}, {2024, 13, 1}, {2024, 0, 1},
                      {2024, 4, 31}, {0, 1, 1},     {10000, 1, 1}, {2024, 1, 0},  {-500, 3, 1}};
  for (const auto& c : bad) {
    TDateTime d = 123;
    EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, d));
    EXPECT_EQ(d, 123);
    try {
      EncodeDate(c.y, c.m, c.d);
      ADD_FAILURE() << c.y << "-" << c.m << "-" << c.d;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), u"Invalid argument to date encode");
    }
  }
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST(DateTime, EncodeDecodeRoundTripOverTheWholeRange) {
  // Every 97th day from year 1 to 9999, plus the first and last day of each month of a leap century.
  for (int64_t day = static_cast<int64_t>(MinDateTime); day <= static_cast<int64_t>(MaxDateTime); day += 97) {
    const Ymd ymd = Decoded(static_cast<double>(day));
    ASSERT_GE(ymd.y, 1);
    ASSERT_EQ(EncodeDate(ymd.y, ymd.m, ymd.d), static_cast<double>(day)) << day;
  }
  for (int y : {1600, 1700, 1900, 2000, 2023, 2024}) {
    for (int m = 1; m <= 12; ++m) {
      for (int d : {1, int(DaysInAMonth(y, m))}) {
        const Ymd got = Decoded(ComposeDateTime(EncodeDate(y, m, d), 0.75));
        EXPECT_TRUE(got.y == y && got.m == m && got.d == d) << y << "-" << m << "-" << d;
      }
    }
  }
  // Successive days decode to successive calendar days across a year end.
  const Ymd dec31 = Decoded(EncodeDate(1999, 12, 31));
  const Ymd jan1 = Decoded(EncodeDate(1999, 12, 31) + 1);
  EXPECT_TRUE(dec31.d == 31 && jan1.y == 2000 && jan1.m == 1 && jan1.d == 1);
}

TEST(DateTime, NegativeValuesAndOutOfRange) {
  // -1.25 is 29 December 1899 at 06:00: the day counts towards zero, the time forwards from midnight.
  const Ymd d = Decoded(-1.25);
  EXPECT_TRUE(d.y == 1899 && d.m == 12 && d.d == 29);
  uint16_t h, mi, s, ms;
  DecodeTime(-1.25, h, mi, s, ms);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
  EXPECT_EQ(ComposeDateTime(EncodeDate(1900, 1, 1), EncodeTime(6, 0, 0, 0)), 2.25);
  for (double bad : {MinDateTime - 1, MaxDateTime + 1, 1e300, double(NAN), double(INFINITY)}) {
    const Ymd z = Decoded(bad);
    EXPECT_TRUE(z.y == 0 && z.m == 0 && z.d == 0) << bad;
    EXPECT_THROW(FormatDateTime(u"yyyy", bad), EConvertError);
  }
}

TEST(DateTime, DecodeTimeRoundsToTheMillisecond) {
  const TDateTime t = EncodeDate(2024, 3, 7) + EncodeTime(13, 45, 30, 250);
  uint16_t h, m, s, ms;
  DecodeTime(t, h, m, s, ms);
  EXPECT_TRUE(h == 13 && m == 45 && s == 30 && ms == 250);
  // Just short of midnight by less than half a millisecond is midnight of the next day, date and time alike.
  const TDateTime nearly = EncodeDate(2024, 3, 7) + 1 - 1e-10;
  DecodeTime(nearly, h, m, s, ms);
  EXPECT_TRUE(h == 0 && m == 0 && s == 0 && ms == 0);
  EXPECT_EQ(Decoded(nearly).d, 8);
}

TEST(DateTime, CalendarFacts) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInAMonth(2024, 2), 29);
  EXPECT_EQ(DaysInAMonth(2023, 2), 28);
  EXPECT_EQ(DaysInAMonth(2023, 4), 30);
  EXPECT_EQ(DaysInAMonth(2023, 13), 0);
  EXPECT_EQ(MonthDays[1][1], 29);
  struct Case { int y, m, d, dow, iso; };
  const Case cases[] = {
      {1899, 12, 30, 7, 6}, {2000, 1, 1, 7, 6}, {2024, 3, 7, 5, 4}, {2021, 1, 3, 1, 7}, {2021, 1, 4, 2, 1}, {1, 1, 1, 2, 1},
  };
  for (const auto& c : cases) {
    const TDateTime dt = EncodeDate(c.y, c.m, c.d);
    EXPECT_EQ(DayOfWeek(dt), c.dow) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(DayOfTheWeek(dt), c.iso) << c.y << "-" << c.m << "-" << c.d;
    uint16_t y, m, d, dow;
    EXPECT_EQ(DecodeDateFully(dt, y, m, d, dow), IsLeapYear(c.y));
    EXPECT_EQ(dow, c.dow);
  }
  EXPECT_EQ(DayOfWeek(-1.25), 6);  // 29 December 1899, a Friday
}

TEST(DateTime, IsoWeeksAroundYearEnds) {
  struct Case { int y, m, d, week, weekYear; };
  const Case cases[] = {
      {2021, 1, 3, 53, 2020}, {2021, 1, 4, 1, 2021},  {2020, 12, 31, 53, 2020}, {2019, 12, 30, 1, 2020},
      {2018, 12, 31, 1, 2019}, {2016, 1, 1, 53, 2015}, {2017, 1, 1, 52, 2016},  {2024, 12, 30, 1, 2025},
      {2026, 1, 1, 1, 2026},  {2024, 6, 15, 24, 2024}, {2015, 12, 31, 53, 2015},
  };
  for (const auto& c : cases) {
    uint16_t year = 0;
    EXPECT_EQ(WeekOfTheYear(EncodeDate(c.y, c.m, c.d), year), c.week) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(year, c.weekYear) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST(DateTime, IncMonthClampsToTheMonthEnd) {
  struct Case { int y, m, d, by, wy, wm, wd; };
  const Case cases[] = {
      {2023, 1, 31, 1, 2023, 2, 28},  {2024, 1, 31, 1, 2024, 2, 29},  {2024, 3, 31, -1, 2024, 2, 29},
      {2024, 12, 15, 1, 2025, 1, 15}, {2024, 1, 15, -1, 2023, 12, 15}, {2024, 5, 31, 13, 2025, 6, 30},
      {2024, 5, 31, -25, 2022, 4, 30}, {2024, 2, 29, 12, 2025, 2, 28},  {2024, 7, 4, 0, 2024, 7, 4},
  };
  for (const auto& c : cases) {
    const TDateTime got = IncMonth(EncodeDate(c.y, c.m, c.d) + 0.5, c.by);
    EXPECT_EQ(got, EncodeDate(c.wy, c.wm, c.wd) + 0.5) << c.y << "-" << c.m << "-" << c.d << " by " << c.by;
  }
  EXPECT_THROW(IncMonth(EncodeDate(9999, 12, 1), 1), EConvertError);
  EXPECT_THROW(IncMonth(EncodeDate(1, 1, 1), -1), EConvertError);
  EXPECT_EQ(IncDay(EncodeDate(2023, 12, 31)), EncodeDate(2024, 1, 1));
  EXPECT_EQ(IncDay(EncodeDate(2024, 3, 1), -1), EncodeDate(2024, 2, 29));
}

TEST(DateTime, FormatDateTimeLetters) {
  const TDateTime dt = EncodeDate(2024, 3, 7) + EncodeTime(15, 4, 5, 9);  // a Thursday afternoon
  struct Case { const char16_t* fmt; const char16_t* want; };
  const Case cases[] = {
      {u"yyyy/mm/dd", u"2024/03/07"},
      {u"yy-m-d", u"24-3-7"},
      {u"y", u"24"},
      {u"mmm mmmm", u"Mar March"},
      {u"ddd dddd", u"Thu Thursday"},
      {u"hh:nn:ss.zzz", u"15:04:05.009"},
      {u"h:n:s z", u"15:4:5 9"},
      {u"hh:mm", u"15:04"},           // m after h is the minute
      {u"h mm", u"15 04"},
      {u"hh dd mm", u"15 07 03"},    // another letter in between: the month again
      {u"h:nn am/pm", u"3:04 pm"},
      {u"h:nn AM/PM", u"3:04 PM"},
      {u"h:nn a/p", u"3:04 p"},
      {u"hh:nn ampm", u"03:04 PM"},
      {u"\"day\" d 'of' mmmm", u"day 7 of March"},
      {u"YYYY-MM-DD", u"2024-03-07"},
      {u"ddddd", u"3/7/2024"},
      {u"dddddd", u"Thursday, March 7, 2024"},
      {u"t", u"3:04 PM"},
      {u"tt", u"3:04:05 PM"},
      {u"c", u"3/7/2024 3:04:05 PM"},
      {u"yyyy \"quote", u"2024 quote"},
      {u"[q]", u"[q]"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(FormatDateTime(c.fmt, dt)), U8(c.want)) << U8(c.fmt);
  EXPECT_EQ(FormatDateTime(u"c", EncodeDate(2024, 3, 7)), u"3/7/2024");  // midnight: no time
  EXPECT_EQ(FormatDateTime(u"h am/pm", EncodeDate(2024, 3, 7)), u"12 am");
  EXPECT_EQ(FormatDateTime(u"h am/pm", EncodeDate(2024, 3, 7) + 0.5), u"12 pm");
  EXPECT_EQ(FormatDateTime(u"yyyy", EncodeDate(500, 1, 1)), u"0500");
}

TEST(DateTime, SettingsDriveSeparatorsNamesAndShortForms) {
  TFormatSettings fs = UserDefaultFormatSettings();
  fs.DateSeparator = u'.';
  fs.TimeSeparator = u'h';
  fs.ShortDateFormat = u"dd/mm/yyyy";
  fs.LongTimeFormat = u"hh:nn";
  fs.LongMonthNames[2] = u"mars";
  fs.DateOrder = doDMY;
  const TDateTime dt = EncodeDate(2024, 3, 7) + EncodeTime(9, 30, 0, 0);
  EXPECT_EQ(FormatDateTime(u"d mmmm yyyy", dt, fs), u"7 mars 2024");
  EXPECT_EQ(DateToStr(dt, fs), u"07.03.2024");
  EXPECT_EQ(TimeToStr(dt, fs), u"09h30");
  EXPECT_EQ(DateTimeToStr(dt, fs), u"07.03.2024 09h30");
  EXPECT_EQ(StrToDate(u"07.03.2024", fs), EncodeDate(2024, 3, 7));
  // A settings format that refers to itself stops instead of recursing.
  fs.ShortDateFormat = u"ddddd";
  EXPECT_EQ(FormatDateTime(u"ddddd", dt, fs), u"");
}

TEST(DateTime, StrToDateByDateOrder) {
  TFormatSettings fs = UserDefaultFormatSettings();
  struct Case { TDateOrder order; const char16_t* text; int y, m, d; };
  const Case cases[] = {
      {doMDY, u"3/7/2024", 2024, 3, 7},    {doDMY, u"3/7/2024", 2024, 7, 3},  {doYMD, u"2024/3/7", 2024, 3, 7},
      {doMDY, u" 12 / 31 / 1999 ", 1999, 12, 31}, {doDMY, u"29/2/2024", 2024, 2, 29}, {doYMD, u"0500/1/2", 500, 1, 2},
  };
  for (const auto& c : cases) {
    fs.DateOrder = c.order;
    TDateTime got = 0;
    ASSERT_TRUE(TryStrToDate(c.text, got, fs)) << U8(c.text);
    EXPECT_EQ(got, EncodeDate(c.y, c.m, c.d)) << U8(c.text);
  }
  // Two numbers: this year. Two-digit years fall in the window before the current year.
  uint16_t thisYear, m, d;
  DecodeDate(Now(), thisYear, m, d);
  fs.DateOrder = doDMY;
  EXPECT_EQ(StrToDate(u"5/6", fs), EncodeDate(thisYear, 6, 5));
  fs.TwoDigitYearCenturyWindow = 50;
  const int base = thisYear - 50;
  for (int yy : {0, 10, 30, 75, 99}) {
    int want = base / 100 * 100 + yy;
    if (want < base) want += 100;
    EXPECT_EQ(StrToDate(u"1/2/" + IntToStr(yy), fs), EncodeDate(want, 2, 1)) << yy;
  }
  fs.TwoDigitYearCenturyWindow = 0;
  EXPECT_EQ(StrToDate(u"1/2/05", fs), EncodeDate(thisYear / 100 * 100 + 5, 2, 1));

  fs.DateOrder = doMDY;
  const char16_t* bad[] = {u"", u"3", u"2/30/2024", u"13/1/2024", u"3/7/2024/1", u"3-7-2024", u"a/b/c",
                           u"3/7/12345", u"3/7/2024x", u"/3/7", u"3//7"};
  for (const char16_t* text : bad) {
    TDateTime got = 99;
    EXPECT_FALSE(TryStrToDate(text, got, fs)) << U8(text);
    EXPECT_EQ(got, 99);
  }
  try {
    StrToDate(u"2/30/2024");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"'2/30/2024' is not a valid date");
  }
}

TEST(DateTime, EraLetters) {
  const TDateTime dt = EncodeDate(2024, 3, 7);
  EXPECT_EQ(FormatDateTime(u"yyyy g", dt), u"2024 AD");
  EXPECT_EQ(FormatDateTime(u"gg yyyy", dt), u"A.D. 2024");
  EXPECT_EQ(FormatDateTime(u"G/GGG", dt), u"AD/A.D.");  // either case; a longer run is the full name
  EXPECT_EQ(FormatDateTime(u"'g' yyyy", dt), u"g 2024");
  TFormatSettings fs = UserDefaultFormatSettings();
  fs.ShortEraName = u"n. Chr.";
  fs.LongEraName = u"nach Christus";
  EXPECT_EQ(FormatDateTime(u"d.m.yyyy g|gg", dt, fs), u"7.3.2024 n. Chr.|nach Christus");
  EXPECT_EQ(FormatDateTime(u"yyyy g", EncodeDate(1, 1, 1)), u"0001 AD");
}

struct Hmsz { int h, m, s, z; };

TDateTime TimeOf(const Hmsz& t) { return EncodeTime(t.h, t.m, t.s, t.z); }

TEST(DateTime, StrToTimeForms) {
  struct Case { const char16_t* text; Hmsz want; };
  const Case cases[] = {
      {u"9", {9, 0, 0, 0}},
      {u"9:05", {9, 5, 0, 0}},
      {u"09:05:07", {9, 5, 7, 0}},
      {u"23:59:59.999", {23, 59, 59, 999}},
      {u"0:00:01.5", {0, 0, 1, 5}},  // milliseconds as a number, as "z" writes them
      {u" 10 : 30 ", {10, 30, 0, 0}},
      {u"12:30 PM", {12, 30, 0, 0}},
      {u"12:30 AM", {0, 30, 0, 0}},
      {u"1:15:00 pm", {13, 15, 0, 0}},
      {u"11:59:59PM", {23, 59, 59, 0}},
      {u"PM 3:04", {15, 4, 0, 0}},
      {u"am 12", {0, 0, 0, 0}},
      {u"7 am", {7, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    TDateTime got = -1;
    ASSERT_TRUE(TryStrToTime(c.text, got)) << U8(c.text);
    EXPECT_DOUBLE_EQ(got, TimeOf(c.want)) << U8(c.text);
    EXPECT_DOUBLE_EQ(StrToTime(c.text), got);
  }
  const char16_t* bad[] = {u"",         u" ",          u"24:00",      u"12:60",    u"12:00:60", u"0 PM",
                           u"13:00 PM", u"PM",         u"12:",        u"12::30",   u":30",      u"12:30:",
                           u"1:2:3.",   u"1:2:3.1000", u"12:30 PM AM", u"AM 1 PM", u"123:00",   u"-1:00",
                           u"12.30",    u"12:30 XM",   u"12:30:15,5", u"1:2:3:4",  u"12 30"};
  for (const char16_t* text : bad) {
    TDateTime got = 99;
    EXPECT_FALSE(TryStrToTime(text, got)) << U8(text);
    EXPECT_EQ(got, 99) << U8(text);
  }
}

TEST(DateTime, StrToTimeFollowsTheSettings) {
  TFormatSettings fs = UserDefaultFormatSettings();
  fs.TimeSeparator = u'.';
  fs.DecimalSeparator = u',';
  fs.TimeAMString = u"vorm.";
  fs.TimePMString = u"nachm.";
  struct Case { const char16_t* text; Hmsz want; };
  const Case cases[] = {
      {u"14.05", {14, 5, 0, 0}},
      {u"14.05.09,250", {14, 5, 9, 250}},
      {u"14.05.09.250", {14, 5, 9, 250}},  // "." always separates the milliseconds
      {u"2.05 nachm.", {14, 5, 0, 0}},
      {u"NACHM. 2.05", {14, 5, 0, 0}},
      {u"12.00 Vorm.", {0, 0, 0, 0}},
      {u"2.05 PM", {14, 5, 0, 0}},  // the English designators are always understood
  };
  for (const Case& c : cases) {
    TDateTime got = -1;
    ASSERT_TRUE(TryStrToTime(c.text, got, fs)) << U8(c.text);
    EXPECT_DOUBLE_EQ(got, TimeOf(c.want)) << U8(c.text);
  }
  for (const char16_t* text : {u"14:05", u"2.05 vorm.x", u"14.05.09;250"}) {
    TDateTime got = 99;
    EXPECT_FALSE(TryStrToTime(text, got, fs)) << U8(text);
  }
  // An empty designator never matches: it would otherwise accept every hour as a morning one.
  fs.TimeAMString = u"";
  fs.TimePMString = u"";
  EXPECT_DOUBLE_EQ(StrToTime(u"14.05", fs), TimeOf({14, 5, 0, 0}));
  EXPECT_DOUBLE_EQ(StrToTime(u"2.05 pm", fs), TimeOf({14, 5, 0, 0}));
}

TEST(DateTime, StrToDateTimeForms) {
  TFormatSettings fs = UserDefaultFormatSettings();
  struct Case { TDateOrder order; const char16_t* text; int y, mo, d; Hmsz t; };
  const Case cases[] = {
      {doMDY, u"3/7/2024 15:04:05", 2024, 3, 7, {15, 4, 5, 0}},
      {doMDY, u"3/7/2024   3:04 PM", 2024, 3, 7, {15, 4, 0, 0}},
      {doMDY, u" 3/7/2024 ", 2024, 3, 7, {0, 0, 0, 0}},
      {doDMY, u"7/3/2024 0:00:00.001", 2024, 3, 7, {0, 0, 0, 1}},
      {doYMD, u"2024/03/07 23:59", 2024, 3, 7, {23, 59, 0, 0}},
      {doYMD, u"1899/12/29 06:00", 1899, 12, 29, {6, 0, 0, 0}},  // before the epoch: -1.25
      {doMDY, u"12/31/9999 23:59:59.999", 9999, 12, 31, {23, 59, 59, 999}},
  };
  for (const Case& c : cases) {
    fs.DateOrder = c.order;
    TDateTime got = 0;
    ASSERT_TRUE(TryStrToDateTime(c.text, got, fs)) << U8(c.text);
    EXPECT_DOUBLE_EQ(got, ComposeDateTime(EncodeDate(c.y, c.mo, c.d), TimeOf(c.t))) << U8(c.text);
  }
  fs.DateOrder = doYMD;
  EXPECT_DOUBLE_EQ(StrToDateTime(u"1899/12/29 06:00", fs), -1.25);
  // A time alone is on day 0.
  fs.DateOrder = doMDY;
  EXPECT_DOUBLE_EQ(StrToDateTime(u"18:00", fs), 0.75);
  EXPECT_DOUBLE_EQ(StrToDateTime(u"6 PM", fs), 0.75);
  // With "." as both separators, numbers that make no date are read as a time.
  fs.DateSeparator = u'.';
  fs.TimeSeparator = u'.';
  fs.DateOrder = doDMY;
  EXPECT_DOUBLE_EQ(StrToDateTime(u"12.30", fs), TimeOf({12, 30, 0, 0}));
  EXPECT_DOUBLE_EQ(StrToDateTime(u"7.3.2024 12.30", fs), EncodeDate(2024, 3, 7) + TimeOf({12, 30, 0, 0}));

  fs = UserDefaultFormatSettings();
  const char16_t* bad[] = {u"",  u"3/7/2024 25:00", u"3/7/202410:00", u"3/7/2024 10:00 x", u"3/7/2024x10:00",
                           u"2/30/2024 10:00", u"3/7/2024 10:", u"10:00 3/7/2024", u"3/7/2024/10:00", u"x"};
  for (const char16_t* text : bad) {
    TDateTime got = 99;
    EXPECT_FALSE(TryStrToDateTime(text, got, fs)) << U8(text);
    EXPECT_EQ(got, 99) << U8(text);
  }
}

TEST(DateTime, DateTimeStringsReadBack) {
  TFormatSettings dmy = UserDefaultFormatSettings();
  dmy.DateOrder = doDMY;
  dmy.ShortDateFormat = u"dd.mm.yyyy";
  dmy.LongTimeFormat = u"hh:nn:ss";
  dmy.DateSeparator = u'.';
  for (const TFormatSettings& fs : {UserDefaultFormatSettings(), dmy}) {
    const std::pair<TDateTime, TDateTime> values[] = {{EncodeDate(2024, 3, 7), EncodeTime(15, 4, 5, 0)},
                                                      {EncodeDate(1999, 12, 31), 0},
                                                      {EncodeDate(2000, 1, 1), EncodeTime(0, 0, 1, 0)},
                                                      {EncodeDate(2024, 2, 29), 0.5}};
    for (const auto& [date, time] : values) {
      const UnicodeString text = DateTimeToStr(date + time, fs);
      EXPECT_DOUBLE_EQ(StrToDateTime(text, fs), date + time) << U8(text);
      EXPECT_DOUBLE_EQ(StrToTime(TimeToStr(date + time, fs), fs), time) << U8(text);
    }
  }
  const TDateTime t = EncodeTime(8, 9, 10, 11);
  EXPECT_DOUBLE_EQ(StrToTime(FormatDateTime(u"h:n:s.z", t)), t);
  EXPECT_DOUBLE_EQ(StrToTime(FormatDateTime(u"hh:nn:ss.zzz ampm", t + 0.5)), t + 0.5);
}

TEST(DateTime, ReadingErrorsCarryTheCatalogueTexts) {
  struct Case { std::function<void()> call; const char16_t* want; };
  const Case cases[] = {
      {[] { StrToDate(u"2/30/2024"); }, u"'2/30/2024' is not a valid date"},
      {[] { StrToTime(u"25:00"); }, u"'25:00' is not a valid time"},
      {[] { StrToDateTime(u"3/7/2024 25:00"); }, u"'3/7/2024 25:00' is not a valid date and time"},
      {[] { StrToTime(u"100%"); }, u"'100%' is not a valid time"},  // the text is an argument, never a format
  };
  for (const Case& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << U8(c.want);
    } catch (const EConvertError& e) {
      EXPECT_EQ(U8(e.Message()), U8(c.want));
    }
  }
  // A translation of the catalogue is what the caller sees.
  ASSERT_TRUE(SetMessageText(u"_KXXIsNotAValidTime", u"\u00AB%s\u00BB n'est pas une heure valide"));
  try {
    StrToTime(u"x");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"\u00ABx\u00BB n'est pas une heure valide");
  }
  ResetMessageTexts();
  EXPECT_EQ(EnglishMessageText(KXXIsNotAValidDateAndTime), u"'%s' is not a valid date and time");
}

TEST(DateTime, NowDateAndTimeAgree) {
  const TDateTime before = Now();
  const TDateTime today = Date();
  const TDateTime time = Time();
  const TDateTime after = Now();
  EXPECT_EQ(today, std::trunc(today));
  EXPECT_GE(time, 0.0);
  EXPECT_LT(time, 1.0);
  EXPECT_LE(before, after);
  EXPECT_LE(after - before, 1.0 / SecsPerDay);
  EXPECT_LE(std::trunc(before), today);
  EXPECT_GE(Decoded(today).y, 2024);
}

}  // namespace
}  // namespace kx8
