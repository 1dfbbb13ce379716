// Lemma, match, stop and relation list files with any content: loading answers whether words came,
// and every variant points at a head word that exists.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "kx8rt/search/lem_match_stop_rel_lists.h"

using namespace kx8;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto path = std::filesystem::temp_directory_path() /
                    ("kx8_word_list_files_fuzz_" + std::to_string(getpid()) + ".txt");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data + 1),
                                              static_cast<std::streamsize>(size - 1));
  const auto which = static_cast<TLemmaMatchStopRelOptions>(data[0] % 4);
  const bool cased = (data[0] & 4) != 0;
  TLemMatchStopRelHolder h;
  const bool ok = h.StartUpAndLoadList(Utf8ToUtf16(path.string()), which, cased);
  if (ok != (h.GetWordCount(which) > 0)) std::abort();
  if (which == as_lemma) {
    for (int32_t i = 0; i < h.GetLemmaVariantCount(); ++i) {
      const int64_t k = h.LemmaList->variants->Integers(i);
      if (k < 1 || k > h.GetLemmaHeadWordCount()) std::abort();
    }
    if (h.GetLemmaHeadWordCount() > 0) {
      const UnicodeString head = h.GetLemmalistHeadWord(0);
      h.GetLemmalistVariantsOf(head.c_str());
    }
  } else {
    h.AnyStoplistWordsFoundinString(u"THE END  OF");
  }
  std::filesystem::remove(path);
  return 0;
}
