// Number formatting and reading under a format-settings record: Format with the classic specifiers,
// FloatToStr, FloatToStrF, FormatFloat and StrToFloat.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// The order in which a short date gives day, month and year (used when reading typed dates).
enum TDateOrder : uint8_t { doMDY, doDMY, doYMD };

// Layouts of FloatToStrF.
enum TFloatFormat : uint8_t { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Separators, names and layouts used by every number and date routine of the library.
struct TFormatSettings {
  char16_t DecimalSeparator = u'.';
  char16_t ThousandSeparator = u',';
  char16_t DateSeparator = u'/';
  char16_t TimeSeparator = u':';
  // "/" and ":" in these formats stand for DateSeparator and TimeSeparator.
  UnicodeString ShortDateFormat = u"m/d/yyyy";
  UnicodeString LongDateFormat = u"dddd, mmmm d, yyyy";
  UnicodeString ShortTimeFormat = u"h:nn AMPM";
  UnicodeString LongTimeFormat = u"h:nn:ss AMPM";
  UnicodeString ShortMonthNames[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                       u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
  UnicodeString LongMonthNames[12] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                      u"July",    u"August",   u"September", u"October", u"November", u"December"};
  UnicodeString ShortDayNames[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};  // Sunday first
  UnicodeString LongDayNames[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                   u"Thursday", u"Friday", u"Saturday"};
  UnicodeString TimeAMString = u"AM";
  UnicodeString TimePMString = u"PM";
  // Era names of "g" (abbreviated) and "gg" (full). Every date a TDateTime holds (years 1-9999) lies in
  // the one era of the Gregorian calendar, so a name each is all the formatting needs; they live here
  // beside the month and day names, so that a tool setting another language sets them too.
  UnicodeString ShortEraName = u"AD";
  UnicodeString LongEraName = u"A.D.";
  TDateOrder DateOrder = doMDY;
  // A two-digit year read from text lands in the hundred years from this many years before the current
  // year (0: the current century).
  int32_t TwoDigitYearCenturyWindow = 50;
  UnicodeString CurrencyString = u"$";
  uint8_t CurrencyFormat = 0;     // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t NegCurrFormat = 0;      // 0 "($1)", 1 "-$1", ... 15 "(1 $)", the classic sixteen layouts
  uint8_t CurrencyDecimals = 2;
};

// The English defaults: "." decimals, "," thousands, "/" dates, ":" times, English names, month-day-year.
TFormatSettings UserDefaultFormatSettings();

// The settings every routine without a settings argument uses; a tool may change them at start-up.
// Being a dynamically initialised global, it is not for use by another unit's static initialisers.
inline TFormatSettings FormatSettings = UserDefaultFormatSettings();

// One argument of Format: an integer of any width, a float, a UTF-16 or 8-bit string, a character or a
// pointer. The strings are viewed, not copied, so an argument list lives only for the call it is built for.
class TVarRec {
 public:
  enum TKind : uint8_t { vtInteger, vtUnsigned, vtFloat, vtUnicodeString, vtAnsiString, vtChar, vtPointer };

  template <std::signed_integral T>
    requires(!std::same_as<T, char> && !std::same_as<T, signed char>)
  TVarRec(T v) : fKind(vtInteger), fBits(sizeof(T) * 8), fInt(v) {}
  template <std::unsigned_integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char16_t> && !std::same_as<T, char32_t> &&
             !std::same_as<T, unsigned char> && !std::same_as<T, char8_t>)
  TVarRec(T v) : fKind(vtUnsigned), fBits(sizeof(T) * 8), fUInt(v) {}
  // Bytes are small integers, as in arithmetic; plain char is a character.
  TVarRec(signed char v) : fKind(vtInteger), fBits(8), fInt(v) {}
  TVarRec(unsigned char v) : fKind(vtUnsigned), fBits(8), fUInt(v) {}
  TVarRec(bool) = delete;  // no specifier takes a Boolean: say which text is meant
  TVarRec(double v) : fKind(vtFloat), fFloat(v) {}
  TVarRec(float v) : fKind(vtFloat), fFloat(v) {}
  TVarRec(long double v) : fKind(vtFloat), fFloat(static_cast<double>(v)) {}
  TVarRec(const UnicodeString& s) : fKind(vtUnicodeString), fU16(s) {}
  TVarRec(std::u16string_view s) : fKind(vtUnicodeString), fU16(s) {}
  TVarRec(const char16_t* s) : fKind(vtUnicodeString), fU16(s ? std::u16string_view(s) : std::u16string_view()) {}
  TVarRec(const AnsiString& s) : fKind(vtAnsiString), fA(s) {}
  TVarRec(std::string_view s) : fKind(vtAnsiString), fA(s) {}
  TVarRec(const char* s) : fKind(vtAnsiString), fA(s ? std::string_view(s) : std::string_view()) {}
  TVarRec(char16_t c) : fKind(vtChar), fChar(c) {}
  TVarRec(char c) : fKind(vtChar), fChar(static_cast<unsigned char>(c)) {}
  TVarRec(const void* p) : fKind(vtPointer), fPtr(p) {}
  TVarRec(std::nullptr_t) : fKind(vtPointer), fPtr(nullptr) {}

  TKind Kind() const noexcept { return fKind; }
  int Bits() const noexcept { return fBits; }  // width of the integer it came from
  int64_t AsInt64() const noexcept { return fInt; }
  uint64_t AsUInt64() const noexcept { return fUInt; }
  double AsFloat() const noexcept { return fFloat; }
  std::u16string_view AsUnicode() const noexcept { return fU16; }
  std::string_view AsAnsi() const noexcept { return fA; }
  char16_t AsChar() const noexcept { return fChar; }
  const void* AsPointer() const noexcept { return fPtr; }

 private:
  TKind fKind;
  uint8_t fBits = 64;
  union {
    int64_t fInt;
    uint64_t fUInt;
    double fFloat;
    char16_t fChar;
    const void* fPtr;
  };
  std::u16string_view fU16;
  std::string_view fA;
};

// Fills fmt with args: %[index:][-][width][.precision]type, with type one of
//   d (signed), u (unsigned), x or X (upper-case hexadecimal); precision = minimum digits, zero-padded;
//   f (fixed), n (fixed with thousand separators), m (currency); precision = decimals (default 2);
//   e (d.dddE+ddd), g (shortest of fixed and exponent); precision = significant digits (default 15);
//   s (string or character; precision = most characters), p (pointer in hexadecimal), %% a percent sign.
// Width and precision may be "*", taken from the next (integer) argument. An integer is accepted for
// the float types; any other mismatch, a missing argument or a bad specifier raises EConvertError
// "Format '%s' invalid or incompatible with argument".
UnicodeString Format(const UnicodeString& fmt, std::initializer_list<TVarRec> args);
UnicodeString Format(const UnicodeString& fmt, std::initializer_list<TVarRec> args, const TFormatSettings& settings);
// The same over an argument list built at run time.
UnicodeString Format(const UnicodeString& fmt, const std::vector<TVarRec>& args);
UnicodeString Format(const UnicodeString& fmt, const std::vector<TVarRec>& args, const TFormatSettings& settings);

// Up to 15 significant digits without trailing zeros; exponent form ("1.5E20", "1E-7") when the value
// has more than 15 integer digits or is below 0.00001. NaN and infinities give "NAN", "INF", "-INF".
UnicodeString FloatToStr(double value);
UnicodeString FloatToStr(double value, const TFormatSettings& settings);

// Formats value in one of the classic layouts: precision is significant digits (general, exponent; the
// fixed layouts fall back to general beyond it), digits the exponent's minimum digits (general, exponent)
// or the decimals (fixed, number, currency).
UnicodeString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
UnicodeString FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                          const TFormatSettings& settings);

// Formats value by a picture: "0" a digit always shown, "#" a digit shown when significant, "." the
// decimal separator, "," anywhere in the integer part turns thousand separators on, "E+00"/"E-00" an
// exponent, quoted text copied; "positive;negative;zero" sections. An empty format acts as FloatToStr.
UnicodeString FormatFloat(const UnicodeString& format, double value);
UnicodeString FormatFloat(const UnicodeString& format, double value, const TFormatSettings& settings);

// Reads a decimal number with the settings' decimal separator, optional sign and exponent, surrounding
// spaces allowed; "INF", "-INF" and "NAN" read back what FloatToStr writes. Too large a value fails.
bool TryStrToFloat(std::u16string_view s, double& value);
bool TryStrToFloat(std::u16string_view s, double& value, const TFormatSettings& settings);
// As TryStrToFloat, raising EConvertError "'%s' is not a valid floating point value" on bad text.
double StrToFloat(std::u16string_view s);
double StrToFloat(std::u16string_view s, const TFormatSettings& settings);
double StrToFloatDef(std::u16string_view s, double fallback);
double StrToFloatDef(std::u16string_view s, double fallback, const TFormatSettings& settings);

}  // namespace kx8
