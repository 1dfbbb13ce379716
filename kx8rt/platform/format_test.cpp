#include "kx8rt/platform/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

std::string U8(const UnicodeString& s) { return Utf16ToUtf8(s); }

TEST(Format, IntegerSpecifiers) {
  struct Case { const char16_t* fmt; TVarRec arg; const char16_t* want; };
  const Case cases[] = {
      {u"%d", 42, u"42"},
      {u"%5d", 42, u"   42"},
      {u"%-5d|", 42, u"42   |"},
      {u"%5.4d", 42, u" 0042"},
      {u"%.4d", -5, u"-0005"},
      {u"%5.4d", -500, u"-0500"},
      {u"%2d", 12345, u"12345"},
      {u"%d", INT64_MIN, u"-9223372036854775808"},
      {u"%d", UINT64_MAX, u"18446744073709551615"},
      {u"%u", -1, u"4294967295"},
      {u"%u", int64_t{-1}, u"18446744073709551615"},
      {u"%x", 255, u"FF"},
      {u"%X", 48879, u"BEEF"},
      {u"%.4x", 255, u"00FF"},
      {u"%x", -1, u"FFFFFFFF"},
      {u"%x", int16_t{-1}, u"FFFF"},
      {u"%x", int64_t{-2}, u"FFFFFFFFFFFFFFFE"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(Format(c.fmt, {c.arg})), U8(c.want)) << U8(c.fmt);
}

TEST(Format, FloatSpecifiers) {
  struct Case { const char16_t* fmt; double arg; const char16_t* want; };
  const Case cases[] = {
      {u"%f", 3.14159, u"3.14"},
      {u"%5.3f", 3.14159, u"3.142"},
      {u"%7.3f", 2.0, u"  2.000"},
      {u"%8.3f", -2.5, u"  -2.500"},
      {u"%.0f", 2.5, u"3"},       // half away from zero
      {u"%.0f", -2.5, u"-3"},
      {u"%.1f", 0.25, u"0.3"},
      {u"%.2f", -0.001, u"0.00"},  // no minus on a value shown as zero
      {u"%.0n", 1234567.0, u"1,234,567"},
      {u"%n", 1234567.891, u"1,234,567.89"},
      {u"%.1n", -999.95, u"-1,000.0"},
      {u"%.0n", 999.0, u"999"},
      {u"%0.n", 1234567.0, u"1,234,567"},  // an empty precision is 0
      {u"%.1nK", 1234.5, u"1,234.5K"},
      {u"%e", 1.5, u"1.50000000000000E+000"},
      {u"%.3e", 12345.678, u"1.23E+004"},
      {u"%.3e", -0.00012345, u"-1.23E-004"},
      {u"%g", 1.5e20, u"1.5E20"},
      {u"%g", 0.5, u"0.5"},
      {u"%g", 123.456, u"123.456"},
      {u"%.3g", 123.456, u"123"},
      {u"%.2g", 123.456, u"1.2E2"},
      {u"%m", 1234.5, u"$1,234.50"},
      {u"%m", -3.0, u"($3.00)"},
      {u"%.0m", 7.5, u"$8"},
      {u"%f", NAN, u"NAN"},
      {u"%f", -INFINITY, u"-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(Format(c.fmt, {c.arg})), U8(c.want)) << U8(c.fmt) << " " << c.arg;
  // Integers are taken for the float specifiers.
  EXPECT_EQ(Format(u"%.0n", {1234567}), u"1,234,567");
  EXPECT_EQ(Format(u"%.1n", {uint64_t{1000}}), u"1,000.0");
}

TEST(Format, StringsIndexesAndStars) {
  EXPECT_EQ(Format(u"%s", {u"abc"}), u"abc");
  EXPECT_EQ(Format(u"[%5s][%-5s][%.2s]", {u"abc", u"abc", u"abc"}), u"[  abc][abc  ][ab]");
  EXPECT_EQ(Format(u"%s and %s", {UnicodeString(u"\u00e9t\u00e9"), "caf\xc3\xa9"}), u"\u00e9t\u00e9 and caf\u00e9");
  EXPECT_EQ(Format(u"%s%s", {u'x', 'y'}), u"xy");
  EXPECT_EQ(Format(u"%.1s", {u"\U0001F600z"}), u"");  // a surrogate pair is not split
  EXPECT_EQ(Format(u"%1:s %0:s %s", {u"a", u"b"}), u"b a b");
  EXPECT_EQ(Format(u"%*d", {5, 42}), u"   42");
  EXPECT_EQ(Format(u"%-*.*f|", {8, 1, 2.25}), u"2.3     |");
  EXPECT_EQ(Format(u"%.*s", {2, u"abcdef"}), u"ab");
  EXPECT_EQ(Format(u"100%% of %d", {3}), u"100% of 3");
  EXPECT_EQ(Format(u"no args", {}), u"no args");
  const UnicodeString word = u"word";
  std::vector<TVarRec> dynamic{word, 7};
  EXPECT_EQ(Format(u"%s=%d", dynamic), u"word=7");
  int x = 0;
  const UnicodeString p = Format(u"%p", {&x});
  EXPECT_EQ(p.size(), sizeof(void*) * 2);
  EXPECT_EQ(p, IntToHex(reinterpret_cast<uintptr_t>(&x), sizeof(void*) * 2));
  EXPECT_EQ(Format(u"%p", {nullptr}), UnicodeString(sizeof(void*) * 2, u'0'));
}

TEST(Format, BadSpecifierOrArgumentRaisesConvertError) {
  struct Case { const char16_t* fmt; std::vector<TVarRec> args; };
  const Case cases[] = {
      {u"%d", {1.5}},   {u"%d", {u"x"}},     {u"%x", {'c'}},     {u"%s", {5}},     {u"%f", {u"x"}},
      {u"%d", {}},      {u"%d %d", {1}},     {u"abc%", {1}},     {u"%y", {1}},     {u"%*d", {u"w", 1}},
      {u"%p", {5}},     {u"%2:d", {1}},      {u"%5", {1}},       {u"%99999999d", {1}},
  };
  for (const auto& c : cases) {
    try {
      Format(c.fmt, c.args);
      ADD_FAILURE() << "no error for " << U8(c.fmt);
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), u"Format '" + UnicodeString(c.fmt) + u"' invalid or incompatible with argument");
    }
  }
}

TEST(Format, SettingsChangeSeparators) {
  TFormatSettings fs = UserDefaultFormatSettings();
  fs.DecimalSeparator = u',';
  fs.ThousandSeparator = u'.';
  EXPECT_EQ(Format(u"%.2n", {1234.5}, fs), u"1.234,50");
  EXPECT_EQ(FormatFloat(u"#,##0.00", 1234.5, fs), u"1.234,50");
  EXPECT_EQ(FloatToStr(0.25, fs), u"0,25");
  EXPECT_EQ(StrToFloat(u"1,5", fs), 1.5);
  fs.CurrencyString = u"EUR";
  fs.CurrencyFormat = 3;
  fs.NegCurrFormat = 8;
  EXPECT_EQ(Format(u"%m", {1234.5}, fs), u"1.234,50 EUR");
  EXPECT_EQ(Format(u"%m", {-2.0}, fs), u"-2,00 EUR");
  // The process-wide settings are what the short forms use.
  const TFormatSettings saved = FormatSettings;
  FormatSettings.DecimalSeparator = u',';
  EXPECT_EQ(Format(u"%.1f", {1.5}), u"1,5");
  FormatSettings = saved;
  EXPECT_EQ(Format(u"%.1f", {1.5}), u"1.5");
}

TEST(FloatToStr, FifteenDigitsGeneralForm) {
  struct Case { double value; const char16_t* want; };
  const Case cases[] = {
      {0.0, u"0"},          {-0.0, u"0"},           {1.5, u"1.5"},         {-1.5, u"-1.5"},
      {0.1, u"0.1"},        {100.0, u"100"},        {12345.678, u"12345.678"},
      {1.0 / 3, u"0.333333333333333"},              {2.0 / 3, u"0.666666666666667"},
      {123456789012345.0, u"123456789012345"},      {1e15, u"1E15"},
      {1.5e20, u"1.5E20"},  {1.5e-20, u"1.5E-20"},  {0.00001, u"0.00001"}, {0.000001, u"1E-6"},
      {9.9999999999999999e22, u"1E23"},             {NAN, u"NAN"},         {INFINITY, u"INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(FloatToStr(c.value)), U8(c.want)) << c.value;
}

TEST(FloatToStr, FloatToStrFLayouts) {
  struct Case { TFloatFormat format; int precision, digits; double value; const char16_t* want; };
  const Case cases[] = {
      {ffFixed, 15, 2, 1234.5678, u"1234.57"},     {ffNumber, 15, 2, 1234.5678, u"1,234.57"},
      {ffNumber, 15, 0, -1234567.5, u"-1,234,568"}, {ffExponent, 4, 2, 1234.5678, u"1.235E+03"},
      {ffExponent, 3, 0, 0.0, u"0.00E+0"},          {ffGeneral, 4, 0, 1234.5678, u"1235"},
      {ffGeneral, 3, 0, 1234.5678, u"1.23E3"},      {ffGeneral, 3, 2, 1234.5678, u"1.23E03"},
      {ffCurrency, 15, 2, 1234.5678, u"$1,234.57"}, {ffFixed, 3, 1, 12345.0, u"1.23E4"},
      {ffFixed, 15, 3, 0.0005, u"0.001"},           {ffFixed, 15, 2, 0.004, u"0.00"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(U8(FloatToStrF(c.value, c.format, c.precision, c.digits)), U8(c.want)) << c.value;
}

TEST(FormatFloat, PicturesAndRounding) {
  struct Case { const char16_t* fmt; double value; const char16_t* want; };
  const Case cases[] = {
      {u"0.00", 2.675, u"2.67"},  // the double lies below 2.675
      {u"0.00", 0.125, u"0.13"},  // an exact tie goes away from zero
      {u"0.00", 1.005, u"1.00"},
      {u"0", 2.5, u"3"},
      {u"0", -2.5, u"-3"},
      {u"0.00", 9.999, u"10.00"},
      {u"#,##0.00", 1234567.891, u"1,234,567.89"},
      {u"#,##0", 0.0, u"0"},
      {u"#,##0", 12345678.0, u"12,345,678"},
      {u"#", 0.0, u""},
      {u"0.##", 1.5, u"1.5"},
      {u"0.##", 1.0, u"1"},
      {u"0.0#", 1.0, u"1.0"},
      {u"####,.00", 0.5, u".50"},
      {u"####,.00", 1234.5, u"1,234.50"},
      {u"####,.00", 0.0, u".00"},
      {u"000.0", 1.25, u"001.3"},
      {u"00", 123.0, u"123"},
      {u"0,000", 5.0, u"0,005"},
      {u"#,##0", -1234.0, u"-1,234"},
      {u"0", -0.4, u"0"},
      {u"0.00E+00", 12345.0, u"1.23E+04"},
      {u"0.00E-00", 12345.0, u"1.23E04"},
      {u"0.00e-00", 0.00012345, u"1.23e-04"},
      {u"0.00E+00", 9.999e9, u"1.00E+10"},
      {u"0.0E+0", 0.0, u"0.0E+0"},
      {u"\"$\"#,##0.00", 1234.5, u"$1,234.50"},
      {u"'x'0", 5.0, u"x5"},
      {u"0 'kg'", 5.0, u"5 kg"},
      {u"\"a;b\"0", 5.0, u"a;b5"},
      {u"", 1.5, u"1.5"},
      {u"0", 1e20, u"1E20"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(FormatFloat(c.fmt, c.value)), U8(c.want)) << U8(c.fmt) << " " << c.value;
}

TEST(FormatFloat, Sections) {
  struct Case { const char16_t* fmt; double value; const char16_t* want; };
  const Case cases[] = {
      {u"0.00;(0.00);\"zero\"", 5.0, u"5.00"},
      {u"0.00;(0.00);\"zero\"", -5.0, u"(5.00)"},
      {u"0.00;(0.00);\"zero\"", 0.0, u"zero"},
      {u"0.00;(0.00);\"zero\"", -0.001, u"zero"},  // rounds to zero, so the zero section
      {u"0.00;(0.00);\"zero\"", 0.004, u"zero"},
      {u"0.00;;\"zero\"", -5.0, u"-5.00"},         // empty negative section: positive with a minus
      {u"0.0;(0.0)", -0.01, u"0.0"},
      {u"0.0;(0.0)", 0.0, u"0.0"},
      {u"0;-0;z;ignored", 0.0, u"z"},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(FormatFloat(c.fmt, c.value)), U8(c.want)) << U8(c.fmt) << " " << c.value;
}

TEST(StrToFloat, ReadsNumbersAndRejectsBadText) {
  struct Good { const char16_t* text; double want; };
  const Good good[] = {
      {u"1.5", 1.5},   {u" -2.5e3 ", -2500.0}, {u".5", 0.5},   {u"5.", 5.0},     {u"+7", 7.0},
      {u"1E+2", 100.0}, {u"1e-999", 0.0},      {u"0.1", 0.1},  {u"000123", 123.0},
  };
  for (const auto& c : good) EXPECT_EQ(StrToFloat(c.text), c.want) << U8(c.text);
  EXPECT_TRUE(std::isinf(StrToFloat(u"-INF")) && StrToFloat(u"-inf") < 0);
  EXPECT_TRUE(std::isnan(StrToFloat(u"NAN")));

  const char16_t* bad[] = {u"", u"  ", u"abc", u"1.2.3", u"1e", u"--1", u"1,5", u"1 5", u"1e999", u".", u"e5", u"0x10"};
  for (const char16_t* text : bad) {
    double v = 42;
    EXPECT_FALSE(TryStrToFloat(text, v)) << U8(text);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(StrToFloatDef(text, 7.0), 7.0);
  }
  try {
    StrToFloat(u"abc");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"'abc' is not a valid floating point value");
  }
}

TEST(StrToFloat, RoundTripsFloatToStr) {
  for (double v : {0.1, -123.456, 1e-10, 6.02214076e23, 1.0 / 7, 98765.4321, -1e300}) {
    const double back = StrToFloat(FloatToStr(v));
    EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << v;
  }
}

}  // namespace
}  // namespace kx8
