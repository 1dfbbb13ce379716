#include "kx8rt/platform/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

TFormatSettings UserDefaultFormatSettings() { return TFormatSettings{}; }

namespace {

// ---- decimal digits of a double ----

// value = 0.Digits x 10^Exponent; Count 0 means zero. Digits carry no trailing zeros.
struct TDecimal {
  bool Negative = false;
  int Exponent = 0;
  int Count = 0;
  char Digits[20] = {};
};

constexpr int kMaxDigits = 18;

// Takes the double's first 18 significant digits, then rounds them half away from zero to at most
// precision significant digits and at most decimals digits after the point. Rounding on the decimal
// digits (not on the binary value) is what users see as right: 0.125 to two places is 0.13, while
// 2.675, stored as 2.67499999..., is 2.67.
void FloatToDecimal(double v, int precision, int decimals, TDecimal& d) {
  d = TDecimal{};
  if (v == 0 || !std::isfinite(v)) return;
  d.Negative = v < 0;
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, kMaxDigits - 1);
  char digits[kMaxDigits + 1];
  int n = 0;
  const char* p = buf;
  for (; p < r.ptr && *p != 'e'; ++p)
    if (*p != '.' && n < kMaxDigits) digits[n++] = *p;
  int e = 0;
  if (p < r.ptr) std::from_chars(p + 1 + (p[1] == '+'), r.ptr, e);
  int exponent = e + 1;
  const int64_t wanted = std::min<int64_t>(precision, int64_t{exponent} + decimals);
  if (wanted < 0) { d.Negative = false; return; }
  const int keep = static_cast<int>(std::min<int64_t>(wanted, n));
  const bool up = keep < n && digits[keep] >= '5';
  std::memcpy(d.Digits, digits, keep);
  int count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.Digits[i] == '9') d.Digits[i--] = '0';
    if (i >= 0) {
      ++d.Digits[i];
    } else {  // all nines (or nothing kept): the value becomes a power of ten
      d.Digits[0] = '1';
      count = 1;
      ++exponent;
    }
  }
  while (count > 0 && d.Digits[count - 1] == '0') --count;
  if (count == 0) { d.Negative = false; return; }
  d.Count = count;
  d.Exponent = exponent;
}

char16_t DigitAt(const TDecimal& d, int index) {
  return (index >= 0 && index < d.Count) ? static_cast<char16_t>(d.Digits[index]) : u'0';
}

void AppendExponent(UnicodeString& out, int exp, bool alwaysSign, int minDigits) {
  out.push_back(u'E');
  if (exp < 0) out.push_back(u'-');
  else if (alwaysSign) out.push_back(u'+');
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, exp < 0 ? -exp : exp);
  for (int i = static_cast<int>(r.ptr - buf); i < minDigits; ++i) out.push_back(u'0');
  for (const char* p = buf; p < r.ptr; ++p) out.push_back(static_cast<char16_t>(*p));
}

bool AppendSpecial(UnicodeString& out, double v) {
  if (std::isnan(v)) { out += u"NAN"; return true; }
  if (std::isinf(v)) { out += v < 0 ? u"-INF" : u"INF"; return true; }
  return false;
}

void AppendGeneral(UnicodeString& out, double v, int precision, int digits, const TFormatSettings& fs) {
  TDecimal d;
  FloatToDecimal(v, precision, 9999, d);
  if (d.Count == 0) { out.push_back(u'0'); return; }
  if (d.Negative) out.push_back(u'-');
  if (d.Exponent > precision || d.Exponent < -4) {
    out.push_back(static_cast<char16_t>(d.Digits[0]));
    if (d.Count > 1) {
      out.push_back(fs.DecimalSeparator);
      for (int i = 1; i < d.Count; ++i) out.push_back(static_cast<char16_t>(d.Digits[i]));
    }
    AppendExponent(out, d.Exponent - 1, false, digits);
    return;
  }
  if (d.Exponent <= 0) {
    out.push_back(u'0');
    out.push_back(fs.DecimalSeparator);
    for (int i = d.Exponent; i < 0; ++i) out.push_back(u'0');
    for (int i = 0; i < d.Count; ++i) out.push_back(static_cast<char16_t>(d.Digits[i]));
    return;
  }
  for (int i = 0; i < d.Exponent; ++i) out.push_back(DigitAt(d, i));
  if (d.Count > d.Exponent) {
    out.push_back(fs.DecimalSeparator);
    for (int i = d.Exponent; i < d.Count; ++i) out.push_back(static_cast<char16_t>(d.Digits[i]));
  }
}

void AppendExponentForm(UnicodeString& out, double v, int precision, int digits, const TFormatSettings& fs) {
  TDecimal d;
  FloatToDecimal(v, precision, 9999, d);
  if (d.Negative) out.push_back(u'-');
  out.push_back(DigitAt(d, 0));
  if (precision > 1) {
    out.push_back(fs.DecimalSeparator);
    for (int i = 1; i < precision; ++i) out.push_back(DigitAt(d, i));
  }
  AppendExponent(out, d.Count == 0 ? 0 : d.Exponent - 1, true, digits);
}

// Integer part (with thousand separators when asked), then exactly `decimals` decimals; the sign is
// left to the caller so that currency layouts can place it.
void AppendFixedDigits(UnicodeString& out, const TDecimal& d, int decimals, bool thousands, const TFormatSettings& fs) {
  if (d.Exponent <= 0) {
    out.push_back(u'0');
  } else {
    for (int i = 0; i < d.Exponent; ++i) {
      out.push_back(DigitAt(d, i));
      const int left = d.Exponent - 1 - i;
      if (thousands && left > 0 && left % 3 == 0) out.push_back(fs.ThousandSeparator);
    }
  }
  if (decimals > 0) {
    out.push_back(fs.DecimalSeparator);
    for (int i = 0; i < decimals; ++i) out.push_back(DigitAt(d, d.Exponent + i));
  }
}

void AppendCurrency(UnicodeString& out, const TDecimal& d, int decimals, const TFormatSettings& fs) {
  UnicodeString number;
  AppendFixedDigits(number, d, decimals, true, fs);
  static constexpr const char16_t* kPositive[4] = {u"$1", u"1$", u"$ 1", u"1 $"};
  static constexpr const char16_t* kNegative[16] = {u"($1)", u"-$1",  u"$-1",  u"$1-",  u"(1$)", u"-1$",
                                                    u"1-$",  u"1$-",  u"-1 $", u"-$ 1", u"1 $-", u"$ 1-",
                                                    u"$ -1", u"1- $", u"($ 1)", u"(1 $)"};
  const char16_t* layout = d.Negative ? kNegative[fs.NegCurrFormat % 16] : kPositive[fs.CurrencyFormat % 4];
  for (const char16_t* p = layout; *p; ++p) {
    if (*p == u'$') out += fs.CurrencyString;
    else if (*p == u'1') out += number;
    else out.push_back(*p);
  }
}

void AppendFloat(UnicodeString& out, double v, TFloatFormat format, int precision, int digits,
                 const TFormatSettings& fs) {
  if (AppendSpecial(out, v)) return;
  precision = std::clamp(precision, 1, kMaxDigits);
  switch (format) {
    case ffGeneral:
      AppendGeneral(out, v, precision, std::clamp(digits, 0, 4), fs);
      return;
    case ffExponent:
      AppendExponentForm(out, v, precision, std::clamp(digits, 0, 4), fs);
      return;
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      digits = std::clamp(digits, 0, kMaxDigits);
      TDecimal d;
      FloatToDecimal(v, kMaxDigits, digits, d);
      if (d.Exponent > precision) {  // too many integer digits for the precision asked
        AppendGeneral(out, v, precision, 0, fs);
        return;
      }
      if (format == ffCurrency) {
        AppendCurrency(out, d, digits, fs);
      } else {
        if (d.Negative) out.push_back(u'-');
        AppendFixedDigits(out, d, digits, format == ffNumber, fs);
      }
      return;
    }
  }
}

// ---- Format ----

constexpr int kMaxWidth = 1 << 20;  // widths and precisions beyond this are format errors, not allocations

class TFormatter {
 public:
  TFormatter(const UnicodeString& fmt, const TVarRec* args, size_t count, const TFormatSettings& fs)
      : fFmt(fmt), fArgs(args), fCount(count), fFs(fs) {}

  UnicodeString Run() {
    UnicodeString out;
    out.reserve(fFmt.size() + 16 * fCount);
    const size_t n = fFmt.size();
    while (fPos < n) {
      const char16_t c = fFmt[fPos++];
      if (c != u'%') { out.push_back(c); continue; }
      if (fPos >= n) Bad();
      if (fFmt[fPos] == u'%') { out.push_back(u'%'); ++fPos; continue; }
      Specifier(out);
    }
    return out;
  }

 private:
  [[noreturn]] void Bad() const { throw EConvertError(u"Format '" + fFmt + u"' invalid or incompatible with argument"); }

  const TVarRec& NextArg() {
    if (fNext >= fCount) Bad();
    return fArgs[fNext++];
  }

  static bool IsInteger(const TVarRec& a) { return a.Kind() == TVarRec::vtInteger || a.Kind() == TVarRec::vtUnsigned; }

  // Digits or "*"; false when neither is there.
  bool ReadNumber(int64_t& value) {
    const size_t n = fFmt.size();
    if (fPos < n && fFmt[fPos] == u'*') {
      ++fPos;
      const TVarRec& a = NextArg();
      if (!IsInteger(a)) Bad();
      value = a.Kind() == TVarRec::vtInteger ? a.AsInt64() : static_cast<int64_t>(std::min<uint64_t>(a.AsUInt64(), kMaxWidth + 1));
      if (value > kMaxWidth || value < -kMaxWidth) Bad();
      return true;
    }
    if (fPos >= n || fFmt[fPos] < u'0' || fFmt[fPos] > u'9') return false;
    value = 0;
    while (fPos < n && fFmt[fPos] >= u'0' && fFmt[fPos] <= u'9') {
      value = value * 10 + (fFmt[fPos++] - u'0');
      if (value > kMaxWidth) Bad();
    }
    return true;
  }

  void Specifier(UnicodeString& out) {
    const size_t n = fFmt.size();
    int64_t number = 0;
    bool have = ReadNumber(number);
    if (fPos < n && fFmt[fPos] == u':') {
      ++fPos;
      if (number < 0) Bad();
      fNext = have ? static_cast<size_t>(number) : 0;
      have = false;
    }
    bool left = false;
    if (!have && fPos < n && fFmt[fPos] == u'-') { left = true; ++fPos; }
    int64_t width = -1;
    if (have) width = number;
    else ReadNumber(width);
    if (width < -1) { left = true; width = -width; }  // a negative "*" width justifies left
    int64_t prec = -1;
    if (fPos < n && fFmt[fPos] == u'.') {
      ++fPos;
      prec = 0;
      ReadNumber(prec);
      if (prec < 0) prec = -1;  // a negative "*" precision means none
    }
    if (fPos >= n) Bad();
    char16_t type = fFmt[fPos++];
    if (type >= u'a' && type <= u'z') type = static_cast<char16_t>(type - 32);

    const size_t start = out.size();
    const TVarRec& a = NextArg();
    switch (type) {
      case u'D': case u'U': case u'X': Integer(out, a, type, static_cast<int>(prec)); break;
      case u'E': case u'F': case u'G': case u'N': case u'M': Float(out, a, type, static_cast<int>(prec)); break;
      case u'S': String(out, a, prec); break;
      case u'P': {
        if (a.Kind() != TVarRec::vtPointer) Bad();
        out += IntToHex(reinterpret_cast<uintptr_t>(a.AsPointer()), static_cast<int>(sizeof(void*) * 2));
        break;
      }
      default: Bad();
    }
    const size_t len = out.size() - start;
    if (width > static_cast<int64_t>(len)) {
      const size_t pad = static_cast<size_t>(width) - len;
      if (left) out.append(pad, u' ');
      else out.insert(start, pad, u' ');
    }
  }

  void Integer(UnicodeString& out, const TVarRec& a, char16_t type, int prec) {
    if (!IsInteger(a)) Bad();
    bool negative = false;
    uint64_t magnitude;
    if (type == u'D') {
      if (a.Kind() == TVarRec::vtInteger && a.AsInt64() < 0) {
        negative = true;
        magnitude = 0 - static_cast<uint64_t>(a.AsInt64());
      } else {
        magnitude = a.Kind() == TVarRec::vtInteger ? static_cast<uint64_t>(a.AsInt64()) : a.AsUInt64();
      }
    } else {
      // A negative value shows its two's complement in the width it came from, so -1 of 32 bits is FFFFFFFF.
      magnitude = a.Kind() == TVarRec::vtInteger ? static_cast<uint64_t>(a.AsInt64()) : a.AsUInt64();
      if (a.Bits() < 64) magnitude &= (uint64_t{1} << a.Bits()) - 1;
    }
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, magnitude, type == u'X' ? 16 : 10);
    if (negative) out.push_back(u'-');
    for (int i = static_cast<int>(r.ptr - buf); i < prec; ++i) out.push_back(u'0');
    for (const char* p = buf; p < r.ptr; ++p)
      out.push_back(static_cast<char16_t>(*p >= 'a' ? *p - 32 : *p));
  }

  void Float(UnicodeString& out, const TVarRec& a, char16_t type, int prec) {
    double v;
    if (a.Kind() == TVarRec::vtFloat) v = a.AsFloat();
    else if (a.Kind() == TVarRec::vtInteger) v = static_cast<double>(a.AsInt64());
    else if (a.Kind() == TVarRec::vtUnsigned) v = static_cast<double>(a.AsUInt64());
    else Bad();
    switch (type) {
      case u'E': AppendFloat(out, v, ffExponent, prec < 0 ? 15 : prec, 3, fFs); break;
      case u'G': AppendFloat(out, v, ffGeneral, prec < 0 ? 15 : prec, 0, fFs); break;
      case u'F': AppendFloat(out, v, ffFixed, kMaxDigits, prec < 0 ? 2 : prec, fFs); break;
      case u'N': AppendFloat(out, v, ffNumber, kMaxDigits, prec < 0 ? 2 : prec, fFs); break;
      default: AppendFloat(out, v, ffCurrency, kMaxDigits, prec < 0 ? fFs.CurrencyDecimals : prec, fFs); break;
    }
  }

  void String(UnicodeString& out, const TVarRec& a, int64_t prec) {
    const size_t start = out.size();
    switch (a.Kind()) {
      case TVarRec::vtUnicodeString: out += a.AsUnicode(); break;
      // Narrow arguments are taken as UTF-8, the encoding of narrow literals in this library and on
      // the platform; code-page text is converted by its owner before it is formatted.
      case TVarRec::vtAnsiString: out += Utf8ToUtf16(a.AsAnsi()); break;
      case TVarRec::vtChar: out.push_back(a.AsChar()); break;
      default: Bad();
    }
    if (prec >= 0 && out.size() - start > static_cast<size_t>(prec)) {
      size_t cut = start + static_cast<size_t>(prec);
      if (cut > start && out[cut - 1] >= 0xD800 && out[cut - 1] <= 0xDBFF) --cut;  // keep pairs whole
      out.resize(cut);
    }
  }

  const UnicodeString& fFmt;
  const TVarRec* fArgs;
  size_t fCount;
  const TFormatSettings& fFs;
  size_t fPos = 0;
  size_t fNext = 0;
};

// ---- FormatFloat ----

struct TSection {
  std::u16string_view Text;
  int IntPlaces = 0, IntMin = 0;    // digit placeholders before the point; those from the first "0" on
  int FracPlaces = 0, FracMin = 0;  // placeholders after the point; up to the last "0"
  bool Thousands = false;
  bool Scientific = false;
};

TSection AnalyseSection(std::u16string_view text) {
  TSection s;
  s.Text = text;
  bool point = false;
  int firstZero = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'"' || c == u'\'') {
      const size_t close = text.find(c, i + 1);
      i = close == std::u16string_view::npos ? text.size() : close;
    } else if (c == u'0' || c == u'#') {
      if (point) {
        ++s.FracPlaces;
        if (c == u'0') s.FracMin = s.FracPlaces;
      } else {
        if (c == u'0' && firstZero < 0) firstZero = s.IntPlaces;
        ++s.IntPlaces;
      }
    } else if (c == u'.') {
      point = true;
    } else if (c == u',') {
      s.Thousands = true;
    } else if ((c == u'E' || c == u'e') && i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
      s.Scientific = true;
      break;
    }
  }
  if (firstZero >= 0) s.IntMin = s.IntPlaces - firstZero;
  return s;
}

std::vector<std::u16string_view> SplitSections(std::u16string_view format) {
  std::vector<std::u16string_view> out;
  size_t begin = 0;
  for (size_t i = 0; i < format.size() && out.size() < 2; ++i) {
    const char16_t c = format[i];
    if (c == u'"' || c == u'\'') {
      const size_t close = format.find(c, i + 1);
      i = close == std::u16string_view::npos ? format.size() : close;
    } else if (c == u';') {
      out.push_back(format.substr(begin, i - begin));
      begin = i + 1;
    }
  }
  // A third ";" ends the zero section; anything after it is ignored.
  std::u16string_view rest = begin <= format.size() ? format.substr(begin) : std::u16string_view();
  if (out.size() == 2) {
    for (size_t i = 0; i < rest.size(); ++i) {
      const char16_t c = rest[i];
      if (c == u'"' || c == u'\'') {
        const size_t close = rest.find(c, i + 1);
        i = close == std::u16string_view::npos ? rest.size() : close;
      } else if (c == u';') {
        rest = rest.substr(0, i);
        break;
      }
    }
  }
  out.push_back(rest);
  return out;
}

// Renders |value| by one section; false when the value rounds to zero under it (and is not zero).
bool RenderSection(UnicodeString& out, const TSection& s, double value, bool minus, const TFormatSettings& fs) {
  TDecimal d;
  int exp10 = 0;
  UnicodeString intDigits, fracDigits;
  if (s.Scientific) {
    const int precision = std::clamp(s.IntPlaces + s.FracPlaces, 1, kMaxDigits);
    FloatToDecimal(value, precision, 9999, d);
    if (d.Count > 0) {
      exp10 = d.Exponent - s.IntPlaces;
      for (int i = 0; i < s.IntPlaces; ++i) intDigits.push_back(DigitAt(d, i));
    }
    for (int i = 0; i < s.FracPlaces; ++i) fracDigits.push_back(DigitAt(d, s.IntPlaces + i));
  } else {
    FloatToDecimal(value, kMaxDigits, s.FracPlaces, d);
    for (int i = 0; i < d.Exponent; ++i) intDigits.push_back(DigitAt(d, i));
    for (int i = 0; i < s.FracPlaces; ++i) fracDigits.push_back(DigitAt(d, d.Exponent + i));
  }
  if (d.Count == 0 && value != 0) return false;
  if (static_cast<int>(intDigits.size()) < s.IntMin) intDigits.insert(0, s.IntMin - intDigits.size(), u'0');
  while (static_cast<int>(fracDigits.size()) > s.FracMin && fracDigits.back() == u'0') fracDigits.pop_back();

  if (minus) out.push_back(u'-');
  const int L = static_cast<int>(intDigits.size());
  const int offset = L - s.IntPlaces;  // digits beyond the placeholders all go to the first one
  bool intDone = false;
  auto emitInt = [&](int from, int to) {  // digits [from, to] of the integer part
    for (int j = std::max(from, 0); j <= to && j < L; ++j) {
      out.push_back(intDigits[j]);
      const int left = L - 1 - j;
      if (s.Thousands && !s.Scientific && left > 0 && left % 3 == 0) out.push_back(fs.ThousandSeparator);
    }
  };
  auto finishInt = [&] {  // a section without integer placeholders still shows the integer digits
    if (!intDone && s.IntPlaces == 0) emitInt(0, L - 1);
    intDone = true;
  };
  int intIndex = 0, fracIndex = 0;
  bool point = false;
  const std::u16string_view t = s.Text;
  for (size_t i = 0; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (c == u'"' || c == u'\'') {
      size_t close = t.find(c, i + 1);
      if (close == std::u16string_view::npos) close = t.size();
      out.append(t.substr(i + 1, close - i - 1));
      i = close;
    } else if (c == u'0' || c == u'#') {
      if (!point) {
        emitInt(intIndex == 0 ? 0 : intIndex + offset, intIndex + offset);
        ++intIndex;
      } else {
        if (fracIndex < static_cast<int>(fracDigits.size())) out.push_back(fracDigits[fracIndex]);
        ++fracIndex;
      }
    } else if (c == u'.') {
      if (!point) {
        finishInt();
        point = true;
        if (!fracDigits.empty()) out.push_back(fs.DecimalSeparator);
      }
    } else if (c == u',') {
      // a flag, not text
    } else if ((c == u'E' || c == u'e') && s.Scientific && i + 1 < t.size() && (t[i + 1] == u'+' || t[i + 1] == u'-')) {
      finishInt();
      const bool alwaysSign = t[i + 1] == u'+';
      i += 2;
      int minDigits = 0;
      while (i < t.size() && (t[i] == u'0' || t[i] == u'#')) {
        if (t[i] == u'0') ++minDigits;
        ++i;
      }
      --i;
      const size_t at = out.size();
      AppendExponent(out, exp10, alwaysSign, std::min(minDigits, 4));
      out[at] = c;  // the exponent letter keeps the case it was written in
    } else {
      out.push_back(c);
    }
  }
  finishInt();
  return true;
}

bool AsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

// ---- public routines ----

UnicodeString Format(const UnicodeString& fmt, std::initializer_list<TVarRec> args) {
  return TFormatter(fmt, args.begin(), args.size(), FormatSettings).Run();
}
UnicodeString Format(const UnicodeString& fmt, std::initializer_list<TVarRec> args, const TFormatSettings& settings) {
  return TFormatter(fmt, args.begin(), args.size(), settings).Run();
}
UnicodeString Format(const UnicodeString& fmt, const std::vector<TVarRec>& args) {
  return TFormatter(fmt, args.data(), args.size(), FormatSettings).Run();
}
UnicodeString Format(const UnicodeString& fmt, const std::vector<TVarRec>& args, const TFormatSettings& settings) {
  return TFormatter(fmt, args.data(), args.size(), settings).Run();
}

UnicodeString FloatToStr(double value) { return FloatToStr(value, FormatSettings); }
UnicodeString FloatToStr(double value, const TFormatSettings& settings) {
  return FloatToStrF(value, ffGeneral, 15, 0, settings);
}

UnicodeString FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings);
}
UnicodeString FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                          const TFormatSettings& settings) {
  UnicodeString out;
  AppendFloat(out, value, format, precision, digits, settings);
  return out;
}

UnicodeString FormatFloat(const UnicodeString& format, double value) { return FormatFloat(format, value, FormatSettings); }
UnicodeString FormatFloat(const UnicodeString& format, double value, const TFormatSettings& settings) {
  UnicodeString out;
  if (AppendSpecial(out, value)) return out;
  if (format.empty()) return FloatToStr(value, settings);
  const auto parts = SplitSections(format);
  const TSection positive = AnalyseSection(parts[0]);
  auto zeroSection = [&]() { return parts.size() >= 3 && !parts[2].empty() ? AnalyseSection(parts[2]) : positive; };
  // Beyond 18 integer digits a picture has no digits to show; the general layout says it better.
  if (std::fabs(value) >= 1e18 && !positive.Scientific) return FloatToStr(value, settings);
  if (value == 0) {
    RenderSection(out, zeroSection(), 0.0, false, settings);
    return out;
  }
  const bool negative = value < 0;
  const bool ownNegative = negative && parts.size() >= 2 && !parts[1].empty();
  const TSection section = ownNegative ? AnalyseSection(parts[1]) : positive;
  if (!RenderSection(out, section, std::fabs(value), negative && !ownNegative, settings)) {
    out.clear();
    RenderSection(out, zeroSection(), 0.0, false, settings);
  }
  return out;
}

bool TryStrToFloat(std::u16string_view s, double& value) { return TryStrToFloat(s, value, FormatSettings); }
bool TryStrToFloat(std::u16string_view s, double& value, const TFormatSettings& settings) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  s = s.substr(b, e - b);
  if (s.empty()) return false;
  std::string ascii;  // the number rewritten for the standard reader
  ascii.reserve(s.size() + 8);
  size_t i = 0;
  bool negative = false;
  if (s[0] == u'+' || s[0] == u'-') { negative = s[0] == u'-'; ++i; }
  if (SameText(s.substr(i), u"INF")) { value = negative ? -HUGE_VAL : HUGE_VAL; return true; }
  if (SameText(s.substr(i), u"NAN")) { value = std::nan(""); return true; }
  int digits = 0, leadingPoint = 0;  // significant position of the first non-zero digit
  bool seenNonZero = false;
  int intDigits = 0;
  while (i < s.size() && AsciiDigit(s[i])) {
    ascii.push_back(static_cast<char>(s[i]));
    if (s[i] != u'0') seenNonZero = true;
    if (seenNonZero) ++intDigits;
    ++i, ++digits;
  }
  if (i < s.size() && s[i] == settings.DecimalSeparator) {
    ascii.push_back('.');
    ++i;
    while (i < s.size() && AsciiDigit(s[i])) {
      ascii.push_back(static_cast<char>(s[i]));
      if (!seenNonZero) {
        if (s[i] != u'0') seenNonZero = true;
        else ++leadingPoint;
      }
      ++i, ++digits;
    }
  }
  if (digits == 0) return false;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) { expNegative = s[i] == u'-'; ++i; }
    if (i >= s.size() || !AsciiDigit(s[i])) return false;
    while (i < s.size() && AsciiDigit(s[i])) {
      exponent = std::min<int64_t>(exponent * 10 + (s[i] - u'0'), 100000);  // far beyond any double either way
      ++i;
    }
    if (expNegative) exponent = -exponent;
    ascii.push_back('e');
    ascii += std::to_string(exponent);
  }
  if (i != s.size()) return false;
  double v = 0;
  const auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is an error.
    const int64_t magnitude = exponent + (intDigits > 0 ? intDigits : -leadingPoint);
    if (!seenNonZero || magnitude < 0) v = 0;
    else return false;
  } else if (r.ec != std::errc() || r.ptr != ascii.data() + ascii.size()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

double StrToFloat(std::u16string_view s) { return StrToFloat(s, FormatSettings); }
double StrToFloat(std::u16string_view s, const TFormatSettings& settings) {
  double v;
  if (!TryStrToFloat(s, v, settings))
    throw EConvertError(u"'" + UnicodeString(s) + u"' is not a valid floating point value");
  return v;
}
double StrToFloatDef(std::u16string_view s, double fallback) { return StrToFloatDef(s, fallback, FormatSettings); }
double StrToFloatDef(std::u16string_view s, double fallback, const TFormatSettings& settings) {
  double v;
  return TryStrToFloat(s, v, settings) ? v : fallback;
}

}  // namespace kx8
