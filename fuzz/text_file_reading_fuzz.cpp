// Feeds arbitrary bytes to the text-file reader (both widths), to the dodgy-text string list, and as
// a date list to the file-date updater; and to the conversion to a UTF-16 file, whole and in chunks of a
// size taken from the input, which must agree byte for byte. Nothing may throw or read out of bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kx8rt/files/file_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  for (bool wide : {true, false}) {
    TBytesStream s(TBytes(data, data + size));
    TKXFileFormat fmt;
    size_t seen = 0;
    HandleTextFileReading(
        s, [&](const char* t) { seen += std::strlen(t); },
        [&](const char16_t* t) { seen += std::char_traits<char16_t>::length(t); }, wide, 1252, fmt);
    if (fmt == fc_UTF16_BigEndian) std::abort();  // always delivered little-endian
  }
  {
    // Code page 932 as well, for characters of two bytes split between chunks.
    const uint16_t cp = size % 2 ? 932 : 1252;
    std::string whole;
    TKXFileFormat wholeFmt, streamedFmt;
    const bool ok = ConvertedBytesToUTF16LE(data, size, cp, whole, wholeFmt);
    TBytesStream in(TBytes(data, data + size));
    TMemoryStream out;
    const int32_t chunk = size ? 1 + data[0] % 16 : 1;
    if (StreamedBytesToUTF16LE(in, out, cp, streamedFmt, chunk) != ok || streamedFmt != wholeFmt) std::abort();
    if (out.Size() != static_cast<int64_t>(ok ? whole.size() : 0)) std::abort();
    std::string streamed(static_cast<size_t>(out.Size()), '\0');
    out.SetPosition(0);
    if (!streamed.empty()) out.ReadBuffer(streamed.data(), out.Size());
    if (ok && streamed != whole) std::abort();
  }
  static const std::string path = "/tmp/kx8_text_reading_fuzz_" + std::to_string(::getpid()) + ".txt";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const UnicodeString name = Utf8ToUtf16(path);
  TPossiblyDodgyTextStringlist list;
  list.LoadFromFile(name);
  const UnicodeString files[3] = {u"/c/a.txt", u"b", u"/x/y/c.txt"};
  int32_t told = 0;
  TFileDateUpdater u([](TObject*) { return 3; }, [&](TObject*, int32_t n) { return files[n]; },
                     [&](TObject*, int32_t, double) { ++told; });
  u.HandleAFileList(name);
  if (told > 3) std::abort();
  std::remove(path.c_str());
  return 0;
}
