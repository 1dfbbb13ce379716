// kx8 wordlist: the words of the texts under the paths, tallied as one text, by frequency or alphabetically.
#include <kx8rt/strings/word_lists.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "word_list_files.h"

using namespace kx8;

int WordlistMain(int argc, char** argv) {
  static const char* const kWordlistUsage =
      "usage: kx8 wordlist [--alpha] [--min-length N] [--json] PATH...\n"
      "  the words (runs of letters and digits, case ignored) of the files under each PATH, tallied as one\n"
      "  text: rank, word, frequency and percentage of the tokens, then the tokens and types\n";
  bool alpha = false, json = false;
  int32_t minLength = 1;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--alpha") alpha = true;
    else if (a == "--json") json = true;
    else if (a == "--min-length") { if (!kx8tool::OptionNumber(argc, argv, i, "kx8 wordlist", 1, minLength)) return 2; }
    else if (a == "--help" || a == "-h") { std::fputs(kWordlistUsage, stdout); return 0; }
    else if (a.size() > 1 && a[0] == '-') { std::fprintf(stderr, "kx8 wordlist: unknown option %s\n", a.c_str()); return 2; }
    else paths.push_back(a);
  }
  if (paths.empty()) {
    std::fputs(kWordlistUsage, stderr);
    return 2;
  }
  UnicodeString text;
  size_t files = 0;
  if (!kx8tool::ReadTexts(paths, "kx8 wordlist", text, files)) return 2;

  const TStringListAndInteger tally = SimpleTallierOfTxt(text, minLength, !alpha);
  const std::unique_ptr<TStringList> list(tally.SLIst);
  const double tokens = tally.n;
  if (json) {
    std::printf("{\"files\":%zu,\"tokens\":%d,\"types\":%d,\"words\":[", files, tally.n, list->Count());
    for (int32_t i = 0; i < list->Count(); ++i) {
      const int64_t freq = list->Integers(i);
      std::printf("%s\n{\"rank\":%d,\"word\":%s,\"freq\":%lld,\"percent\":%.4f}", i ? "," : "", i + 1,
                  kx8tool::JsonString(list->StoredString(i)).c_str(), static_cast<long long>(freq),
                  tokens > 0 ? 100.0 * freq / tokens : 0.0);
    }
    std::printf("]}\n");
    return 0;
  }
  std::printf("%8s  %-24s %10s %8s\n", "N", "Word", "Freq.", "%");
  for (int32_t i = 0; i < list->Count(); ++i) {
    const int64_t freq = list->Integers(i);
    std::printf("%8d  %-24s %10lld %8.2f\n", i + 1, Utf16ToUtf8(list->StoredString(i)).c_str(),
                static_cast<long long>(freq), tokens > 0 ? 100.0 * freq / tokens : 0.0);
  }
  std::printf("\n%d tokens, %d types in %zu file%s\n", tally.n, list->Count(), files, files == 1 ? "" : "s");
  return 0;
}
