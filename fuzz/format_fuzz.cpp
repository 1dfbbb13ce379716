// Feeds arbitrary format pictures and number and date texts to the formatting and reading routines.
// The first byte picks the routine, the rest (as UTF-8) is the text; only EConvertError may come out.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kx8rt/platform/datetime.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using namespace kx8;
  const UnicodeString text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  static const UnicodeString word = u"w\u00e9rd";
  static int anchor = 0;
  try {
    switch (data[0] % 6) {
      case 0: Format(text, {42, -7.25, word, "narrow", &anchor, int64_t{-1}, 3u, u'c'}); break;
      case 1:
        for (double v : {0.0, -0.0, 1.0, -2.675, 1234567.891, 1e-300, 9.999e17, 1e300})
          FormatFloat(text, v);
        break;
      case 2: {
        double v;
        if (TryStrToFloat(text, v)) FloatToStr(v);
        break;
      }
      case 3: {
        // The three readers; every other input also with "." as both separators and empty designators.
        TDateTime d;
        TFormatSettings fs = UserDefaultFormatSettings();
        fs.DateOrder = static_cast<TDateOrder>(size % 3);
        if (size % 2) {
          fs.DateSeparator = fs.TimeSeparator = u'.';
          fs.TimeAMString.clear();
        }
        if (TryStrToDate(text, d, fs)) DateToStr(d, fs);
        if (TryStrToTime(text, d, fs)) TimeToStr(d, fs);
        if (TryStrToDateTime(text, d, fs)) DateTimeToStr(d, fs);
        break;
      }
      case 4: FormatDateTime(text, EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59, 999)); break;  // g, gg too
      default: {
        // The text as settings formats, so that nesting and self-reference are exercised too.
        TFormatSettings fs = UserDefaultFormatSettings();
        fs.ShortDateFormat = text;
        fs.LongTimeFormat = text;
        FormatDateTime(u"c ddddd dddddd tt " + text, -1.25, fs);
        break;
      }
    }
  } catch (const EConvertError&) {
  }
  return 0;
}
