// Loads arbitrary bytes as a settings file and reads every section back as a multi-string and every
// value as a colour; only EConvertError (a value that is no colour) may come out.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kx8rt/files/inifilebase.h"
#include "kx8rt/platform/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kx8;
  static const std::string path = "/tmp/kx8_settings_fuzz_" + std::to_string(::getpid()) + ".ini";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const bool saved = MEMINI_include_checklistbox_checkeds;
  MEMINI_include_checklistbox_checkeds = size % 2 == 0;
  {
    TMyMemIniFile ini(Utf8ToUtf16(path));
    TStringList sections, values, keys;
    ini.ReadSections(sections);
    for (int32_t i = 0; i < sections.Count(); ++i) {
      ini.ReadMultiString(sections[i], values);
      ini.ReadSection(sections[i], keys);
      for (int32_t k = 0; k < keys.Count(); ++k) {
        try {
          (void)ini.ReadColor(sections[i], keys[k], clRed);
        } catch (const EConvertError&) {
        }
      }
    }
  }
  MEMINI_include_checklistbox_checkeds = saved;
  std::remove(path.c_str());
  return 0;
}
