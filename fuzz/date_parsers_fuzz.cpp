// Feeds arbitrary typed dates to both date readers. The input (UTF-8) is "text", or "text|format" for
// the reader by letters; what is read is then printed and labelled again. Nothing may throw.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kx8rt/dates/juliandateroutines.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  const UnicodeString text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  const double jd = UserStrDateAndTimeParsed(text);
  for (int b = tlpb_unknown; b <= tlpb_spare; ++b) {
    const auto basis = static_cast<TTimeLineDisplayBasis>(b);
    (void)JulianToStringRemovingConst(jd, basis, b % 2 == 0);
    const TDatePeriodDetailsRec r = DatePeriodDetails(0, 0, jd, 0, basis);
    (void)YearMonthDayAsString(r.period_mid, basis);
  }
  const size_t bar = text.find(u'|');
  const UnicodeString s = text.substr(0, bar);
  const UnicodeString format = bar == UnicodeString::npos ? UnicodeString(u"yyyy/mm/dd hh:nn") : text.substr(bar + 1);
  const TYrMmDyHrMn rec = DatefromUsersString(s, format);
  (void)StringFromTYrMmDyHrMn(rec, format);
  (void)AbbreviatedYearMonthDayAsString({rec.year, rec.month, rec.day}, tlpb_days);
  return 0;
}
