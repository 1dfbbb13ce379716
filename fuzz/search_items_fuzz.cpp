// Search items from any stream and any text file: reading never fails other than by answering false,
// and whatever was read saves without error.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kx8rt/search/search_items.h"

using namespace kx8;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  TIgnore_tag tags{};
  tags[0][0] = u'<';
  tags[1][0] = u'>';
  if (data[0] & 1) {
    TMemoryStream in;
    if (size > 1) in.WriteBuffer(data + 1, static_cast<int64_t>(size - 1));
    in.SetPosition(0);
    TBaseSearchItems items(tags, LOCALE_DEFAULT_LCID, (data[0] & 2) != 0);
    items.ReadFromStream(in);
    TMemoryStream out;
    if (!items.SaveToStream(out)) std::abort();
    out.SetPosition(0);
    TBaseSearchItems back(tags, LOCALE_DEFAULT_LCID, (data[0] & 2) != 0);
    back.ReadFromStream(out);  // a typed text near the length limit may not fit once its numbers are added
  } else {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kx8_search_items_fuzz_" + std::to_string(getpid()) + ".txt");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data + 1),
                                                static_cast<std::streamsize>(size - 1));
    TSearchWordItems items(tags, LOCALE_DEFAULT_LCID, true);
    const bool ok = items.LoadFromFile(Utf8ToUtf16(path.string()), 0);
    if (ok != (items.Count() > 0) || ok != items.fFrom_a_file) std::abort();
    items.AllTypedSearchWordsAsOne(true);
    items.ComputePlainSearchWords();
    std::filesystem::remove(path);
  }
  return 0;
}
