// Delimited strings into lists: StringToStringList's count matches the lines it made (negated for
// an open quote), and StringListFromString's pieces joined by the separator give back the text when
// no trimming or LF skipping applies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kx8rt/strings/string_list_utilities.h"

using namespace kx8;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const char16_t sep = data[0];
  UnicodeString s;
  for (size_t i = 1; i + 1 < size; i += 2) s += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  TStringList list;
  const int32_t n = StringToStringList(sep, s, list);
  if ((n < 0 ? -n : n) != list.Count()) std::abort();
  const auto pieces = StringArrayFromString(sep, s);
  if (pieces.empty()) std::abort();
  if (sep > u' ' && s.find(u'\n') == UnicodeString::npos) {
    UnicodeString joined;
    for (size_t k = 0; k < pieces.size(); ++k) {
      if (k) joined += sep;
      joined += pieces[k];
    }
    if (joined != s) std::abort();
  }
  const auto l = StringListFromString(sep, s);
  if (l->Count() != static_cast<int32_t>(pieces.size())) std::abort();
  StringListToString(sep, *l, 0, 10);
  return 0;
}
