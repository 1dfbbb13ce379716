// Puts arbitrary bytes in a folder as a.zip and walks the folder with archives examined, then reads
// every entry found by number and by name and copies one to the temporary text. A damaged archive may
// only end the walk with false or raise the zip error from the readers; nothing is written outside
// the temporary folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kx8rt/files/perusedir.h"
#include "kx8rt/files/zip_utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  namespace fs = std::filesystem;
  static const fs::path dir = fs::temp_directory_path() / ("kx8_zip_walk_fuzz_" + std::to_string(::getpid()));
  fs::create_directories(dir / "tmp");
  my_temp_path = Utf8ToUtf16((dir / "tmp").string());
  const fs::path zip = dir / "a.zip";
  if (FILE* f = std::fopen(zip.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  TPeruseDir walker(u"*.txt", u"*", u"*", u"", u"", true, true, false, false, false, false);
  TMySearchRecList list;
  walker.HandleAllFilesIn(Utf8ToUtf16(dir.string()), &list);
  for (int32_t i = 0; i < list.Count() && i < 16; ++i) {
    const TMySearchRec r = list.GetAMySearchRec(i);
    try {
      ContentsOfFileWithinZipFile(Utf8ToUtf16(zip.string()), r.Number_Within_Zip);
      ContentsOfFileWithinZipFile(r.ShortName);
      OpenedAZipFileToTempDir(Utf8ToUtf16(zip.string()), r.Number_Within_Zip);
    } catch (const EZipError&) {
    }
  }
  fs::remove_all(dir);
  my_temp_path.clear();
  return 0;
}
