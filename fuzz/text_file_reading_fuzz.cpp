// Feeds arbitrary bytes to the text-file reader (both widths), to the dodgy-text string list, and as
// a date list to the file-date updater. Nothing may throw or read out of bounds.
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
