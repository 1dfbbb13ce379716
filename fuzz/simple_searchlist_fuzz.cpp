// Search requests from any file: loading reports the file present, every request added has a main
// word, and the numbers wanted are never 0.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kx8rt/containers/checked_string_lists.h"

using namespace kx8;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto path = std::filesystem::temp_directory_path() /
                    ("kx8_simple_searchlist_fuzz_" + std::to_string(getpid()) + ".txt");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data + 1),
                                              static_cast<std::streamsize>(size - 1));
  TSimpleSearchlist list;
  if (!list.LoadFromFile(Utf8ToUtf16(path.string()), (data[0] & 1) != 0)) std::abort();
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TSearchContextRec r = list.GetASearchRec(i);
    if (r.mainwd.wd.empty() || r.n_wanted == 0) std::abort();
    list.GetATypedInSW(i);
  }
  std::filesystem::remove(path);
  return 0;
}
