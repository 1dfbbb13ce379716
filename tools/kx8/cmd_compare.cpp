// kx8 compare: how far the word lists of two texts differ in types and tokens, and whether they are
// alike as bags of words.
#include <kx8rt/strings/word_lists.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "word_list_files.h"

using namespace kx8;

int CompareMain(int argc, char** argv) {
  static const char* const kCompareUsage =
      "usage: kx8 compare [--threshold PC] [--max-diff N] [--min-freq N] [--min-length N] [--json] A B\n"
      "  compares the word lists of the texts under A and under B: the word types and tokens found in one\n"
      "  only (shown as close when either share is at most PC per cent, default 10), and the first word of\n"
      "  at least N occurrences (default 1) whose frequencies differ by more than the maximum (default 0)\n";
  bool json = false;
  double threshold = 10;
  int32_t maxDiff = 0, minFreq = 1, minLength = 1;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--json") json = true;
    else if (a == "--threshold") {
      char* end = nullptr;
      threshold = i + 1 < argc ? std::strtod(argv[i + 1], &end) : NAN;
      if (i + 1 >= argc || end == argv[i + 1] || *end || !(threshold >= 0)) {
        std::fprintf(stderr, "kx8 compare: --threshold needs a percentage\n");
        return 2;
      }
      ++i;
    }
    else if (a == "--max-diff") { if (!kx8tool::OptionNumber(argc, argv, i, "kx8 compare", 0, maxDiff)) return 2; }
    else if (a == "--min-freq") { if (!kx8tool::OptionNumber(argc, argv, i, "kx8 compare", 1, minFreq)) return 2; }
    else if (a == "--min-length") { if (!kx8tool::OptionNumber(argc, argv, i, "kx8 compare", 1, minLength)) return 2; }
    else if (a == "--help" || a == "-h") { std::fputs(kCompareUsage, stdout); return 0; }
    else if (a.size() > 1 && a[0] == '-') { std::fprintf(stderr, "kx8 compare: unknown option %s\n", a.c_str()); return 2; }
    else paths.push_back(a);
  }
  if (paths.size() != 2) {
    std::fputs(kCompareUsage, stderr);
    return 2;
  }
  UnicodeString textA, textB;
  size_t filesA = 0, filesB = 0;
  if (!kx8tool::ReadTexts({paths[0]}, "kx8 compare", textA, filesA) ||
      !kx8tool::ReadTexts({paths[1]}, "kx8 compare", textB, filesB))
    return 2;

  const TStringListAndInteger a = SimpleTallierOfTxt(textA, minLength, true);
  const std::unique_ptr<TStringList> listA(a.SLIst);
  const TStringListAndInteger b = SimpleTallierOfTxt(textB, minLength, true);
  const std::unique_ptr<TStringList> listB(b.SLIst);
  UnicodeString onlyOne;
  const auto diff = TypeAndTokenDifferences2SimpleWordLists(*listA, *listB, static_cast<float>(threshold),
                                                            static_cast<float>(threshold), onlyOne);
  const TFreqDifference bag = BagOfWordsSimilar(textA, textB, maxDiff, minFreq, minLength);

  if (json) {
    std::printf(
        "{\"a\":{\"tokens\":%d,\"types\":%d},\"b\":{\"tokens\":%d,\"types\":%d},"
        "\"type_diffs\":%d,\"token_diffs\":%d,\"type_diff_pc\":%.4f,\"token_diff_pc\":%.4f,\"close\":%s,"
        "\"last_word_in_one_only\":%s,\"bag_of_words_alike\":%s,\"differing_word\":%s,\"freq_a\":%d,\"freq_b\":%d}\n",
        a.n, listA->Count(), b.n, listB->Count(), diff.type_diffs, diff.token_diffs, diff.type_diff_pc,
        diff.token_diff_pc, diff.show_it ? "true" : "false", kx8tool::JsonString(onlyOne).c_str(),
        bag.wd.empty() ? "true" : "false", kx8tool::JsonString(bag.wd).c_str(), bag.first_text_freq,
        bag.second_text_freq);
    return 0;
  }
  std::printf("A: %d tokens, %d types\nB: %d tokens, %d types\n", a.n, listA->Count(), b.n, listB->Count());
  std::printf("types in one only: %d (%.2f%%); tokens differing: %d (%.2f%%); %s at %.2f%%\n", diff.type_diffs,
              diff.type_diff_pc, diff.token_diffs, diff.token_diff_pc, diff.show_it ? "close" : "not close",
              threshold);
  if (!onlyOne.empty()) std::printf("last word in one list only: %s\n", Utf16ToUtf8(onlyOne).c_str());
  if (bag.wd.empty())
    std::printf("alike as bags of words: no word of %d+ occurrences differs by more than %d\n", minFreq, maxDiff);
  else
    std::printf("not alike as bags of words: %s occurs %d times in A and %d in B\n", Utf16ToUtf8(bag.wd).c_str(),
                bag.first_text_freq, bag.second_text_freq);
  return 0;
}
