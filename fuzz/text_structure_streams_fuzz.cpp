// Feeds arbitrary bytes to the font-run, string-list and small-integer stream readers and to the
// word-TAB-count text reader: the first byte picks the reader (and the file version or count), the
// rest is the stream. Reads end in true or false, never a crash; what was read saves again.
#include <cstddef>
#include <cstdint>

#include "kx8rt/containers/typed_lists.h"
#include "kx8rt/definitions/text_structure.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  if (size == 0) return 0;
  const uint8_t pick = data[0];
  TBytesStream stream(TBytes(data + 1, data + size));
  switch (pick % 4) {
    case 0: {
      TExtraFontList list;
      list.XReadFromStream(stream, (pick >> 2) + 5);  // versions 5..68, both sides of 20
      list.SortOnStartpoints();
      list.IndexOfStartAndEnd(0, 100);
      TBytesStream out;
      if (!list.XSaveToStream(out, 20)) __builtin_trap();
      break;
    }
    case 1: {
      TMyStreamableStringlist list;
      list.ReadFromStream(stream);
      TBytesStream out;
      if (!list.SaveToStream(out)) __builtin_trap();
      break;
    }
    case 2: {
      TSmallintList list;
      list.ReadFromStream(static_cast<int32_t>(pick) * 131, stream);
      TBytesStream out;
      if (!list.SaveToStream(out)) __builtin_trap();
      break;
    }
    default: {
      UnicodeString text;
      for (size_t k = 1; k + 1 < size; k += 2) text.push_back(static_cast<char16_t>(data[k] | (data[k + 1] << 8)));
      TStringListWithALongint list;
      if (pick & 4) list.SetLineBreak(u"|");
      list.SetTextStr(text);
      list.SortOnFreq();
      list.HighestFrequency();
      break;
    }
  }
  return 0;
}
