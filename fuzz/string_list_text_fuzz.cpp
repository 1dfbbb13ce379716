// Text into a string list every way it can arrive: a stream with or without a byte-order mark,
// whole text with several line breaks, delimited and comma text. Checks what must always hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kx8rt/platform/string_list.h"

using namespace kx8;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  TStringList list;
  switch (mode % 4) {
    case 0: {
      TBytesStream stream(TBytes(rest.begin(), rest.end()));
      list.LoadFromStream(stream);
      Check(list.Encoding().has_value());
      // Saved in the encoding it came in (where that can hold every character), it loads back equal.
      if (list.Encoding()->Kind() != ekAnsi) {
        TMemoryStream again;
        list.SaveToStream(again);
        again.SetPosition(0);
        TStringList back;
        back.LoadFromStream(again);
        Check(back.Count() == list.Count());
      }
      break;
    }
    case 1: {
      static const char16_t* breaks[] = {u"\r\n", u"\n", u"|", u""};
      list.SetLineBreak(breaks[(mode >> 2) % 4]);
      list.SetText(Utf8ToUtf16(rest));
      break;
    }
    case 2:
      list.SetStrictDelimiter((mode >> 2) & 1);
      list.SetDelimiter(static_cast<char16_t>(u';' + ((mode >> 3) & 1)));
      list.SetDelimitedText(Utf8ToUtf16(rest));
      break;
    case 3:
      list.SetCommaText(Utf8ToUtf16(rest));
      break;
  }
  // Comma text written out reads back as the same lines.
  TStringList round;
  round.SetCommaText(list.CommaText());
  Check(round.Count() == list.Count());
  for (int32_t i = 0; i < list.Count(); ++i) Check(round.Get(i) == list.Get(i));
  // A sort leaves the lines in order; Find then finds every line.
  list.SetSorted(true);
  for (int32_t i = 1; i < list.Count(); ++i) Check(list.CompareStrings(list.Get(i - 1), list.Get(i)) <= 0);
  for (int32_t i = 0; i < list.Count(); ++i) {
    int32_t at = -1;
    Check(list.Find(list.Get(i), at) && at <= i);
  }
  return 0;
}
