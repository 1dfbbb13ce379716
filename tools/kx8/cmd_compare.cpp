// kx8 compare: how far the word lists of two sets of texts differ in types and tokens, and whether they
// are alike as bags of words, on the library's corpus word lists.
#include <CLI/CLI.hpp>
#include <kx8rt/corpus/corpus_word_lists.h>
#include <kx8rt/strings/word_lists.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "corpus_options.h"
#include "output.h"

using namespace kx8;

int CompareMain(int argc, char** argv) {
  CLI::App app{
      "kx8 compare: compares the word lists of the texts under A and under B (words met without case).\n"
      "  types in one only: word types found in one list and not the other, as a share of the types of both\n"
      "    lists together (A's types plus the types found only in B);\n"
      "  tokens differing: for each type, the difference of its frequencies (a type in one list only counts\n"
      "    all its occurrences), summed, as a share of the tokens of both lists together. A type whose\n"
      "    frequencies differ counts its whole difference, so this share can pass 100% when most words\n"
      "    differ, and it is measured against A's tokens plus those of B's types that A lacks, so swapping\n"
      "    A and B can change it;\n"
      "  close: either share at most the threshold;\n"
      "  bag of words: the first word (in the frequency order of the list with more types) of at least\n"
      "    --min-freq occurrences whose frequencies differ by more than --max-diff.",
      "kx8 compare"};
  bool json = false;
  double threshold = 10;
  int maxDiff = 0, minFreq = 1, minLength = 1;
  std::vector<std::string> paths;
  kx8tool::CorpusCliOptions corpus;
  app.add_option("--threshold", threshold, "percentage at or below which the lists count as close (default 10)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--max-diff", maxDiff, "frequency difference allowed in the bag-of-words test (default 0)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--min-freq", minFreq, "least frequency of a word the bag-of-words test looks at (default 1)")
      ->check(CLI::PositiveNumber);
  app.add_option("--min-length", minLength, "shortest word counted (default 1)")->check(CLI::PositiveNumber);
  app.add_flag("--json", json, "one JSON object");
  corpus.Add(app);
  app.add_option("paths", paths, "A B")->required()->expected(2);
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (!corpus.CodepageOk("compare")) return 2;
  TCorpusWordListOptions o;
  o.word_rule = corpus.Rule();
  o.codepage = static_cast<uint16_t>(corpus.codepage);
  o.choice = corpus.Choice();
  o.min_length = minLength;
  TCorpusWordListResult lists[2];
  for (int k = 0; k < 2; ++k) {
    bool failed = false;
    try {
      lists[k] = CorpusWordList(
          {Utf8ToUtf16(paths[static_cast<size_t>(k)])}, o,
          [&](const TCorpusWordListText& t) {
            if (t.read) return;
            failed |= t.unreadable;
            std::fprintf(stderr, "kx8 compare: skipped %s: %s\n", Utf16ToUtf8(t.name).c_str(),
                         Utf16ToUtf8(t.skipped_because).c_str());
          },
          [&](const UnicodeString& p, const UnicodeString& why) {
            failed = true;
            std::fprintf(stderr, "kx8 compare: %s: %s\n", Utf16ToUtf8(p).c_str(), Utf16ToUtf8(why).c_str());
          });
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kx8 compare: %s\n", e.what());
      return 2;
    }
    // Comparing against a text that could not be read would compare against nothing.
    if (failed || lists[k].texts_read == 0) {
      std::fprintf(stderr, "kx8 compare: no text could be read under %s; nothing compared\n", paths[static_cast<size_t>(k)].c_str());
      return 2;
    }
  }
  const TStringList& a = *lists[0].list;
  const TStringList& b = *lists[1].list;
  UnicodeString onlyOne;
  const auto diff = TypeAndTokenDifferences2SimpleWordLists(a, b, static_cast<float>(threshold),
                                                            static_cast<float>(threshold), onlyOne);
  int64_t freqA = 0, freqB = 0;
  const UnicodeString differing = FirstDifferingWord(a, b, maxDiff, minFreq, freqA, freqB);
  kx8tool::Output out;
  try {
    if (json) {
      nlohmann::json j = {{"a", {{"tokens", lists[0].tokens}, {"types", a.Count()}}},
                          {"b", {{"tokens", lists[1].tokens}, {"types", b.Count()}}},
                          {"type_diffs", diff.type_diffs},
                          {"token_diffs", diff.token_diffs},
                          {"type_diff_pc", diff.type_diff_pc},
                          {"token_diff_pc", diff.token_diff_pc},
                          {"close", diff.show_it},
                          {"last_word_in_one_only", Utf16ToUtf8(onlyOne)},
                          {"bag_of_words_alike", differing.empty()},
                          {"differing_word", Utf16ToUtf8(differing)},
                          {"freq_a", freqA},
                          {"freq_b", freqB}};
      out.Put(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    } else {
      char line[1024];
      std::snprintf(line, sizeof line, "A: %lld tokens, %d types\nB: %lld tokens, %d types\n",
                    static_cast<long long>(lists[0].tokens), a.Count(), static_cast<long long>(lists[1].tokens), b.Count());
      out.Put(line);
      std::snprintf(line, sizeof line,
                    "types in one only: %d (%.2f%% of the types of both); tokens differing: %d (%.2f%% of the tokens "
                    "of both; see --help); %s at %.2f%%\n",
                    diff.type_diffs, diff.type_diff_pc, diff.token_diffs, diff.token_diff_pc,
                    diff.show_it ? "close" : "not close", threshold);
      out.Put(line);
      if (!onlyOne.empty()) out.Put("last word in one list only: " + Utf16ToUtf8(onlyOne) + "\n");
      if (differing.empty()) {
        std::snprintf(line, sizeof line, "alike as bags of words: no word of %d+ occurrences differs by more than %d\n",
                      minFreq, maxDiff);
      } else {
        std::snprintf(line, sizeof line, "not alike as bags of words: %s occurs %lld times in A and %lld in B\n",
                      Utf16ToUtf8(differing).c_str(), static_cast<long long>(freqA), static_cast<long long>(freqB));
      }
      out.Put(line);
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 compare: %s\n", e.what());
    return 2;
  }
  return 0;
}
