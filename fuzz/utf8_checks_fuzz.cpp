// Runs arbitrary bytes through the UTF-8 checks and the conversions to UTF-16, and checks that the
// quick judgements agree with the full one where they must.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "kx8rt/text_primitives/unicode_string_conversion.h"
#include "kx8rt/text_primitives/utf8_unit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  bool ascii = false;
  const bool checked = CheckedUTF(s, ascii);
  const bool valid = IsValidUTF8(data, size);
  // Whole-text validity implies the first sequence passes.
  if (valid && !checked) std::abort();
  const int32_t chars = UTF8LengthInChars(s);
  if (chars < 0 || static_cast<size_t>(chars) > size) std::abort();
  const UnicodeString u = ConvertedStringToUnicode(std::vector<uint8_t>(data, data + size));
  if (u.size() > size) std::abort();
  (void)AnsiConvertedToString(1252, s.data(), static_cast<int32_t>(size));
  (void)AnsiConvertedToString(932, s.data(), static_cast<int32_t>(size));
  (void)EnsurePrecomposed(u);
  UnicodeString t = u;
  (void)MyFormatValidNumberStr(t);
  if (t.size() > u.size()) std::abort();
  return 0;
}
