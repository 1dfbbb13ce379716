// kx8 wordlist: the words of the texts under the paths, tallied as one, by frequency or alphabetically,
// through the library's corpus word list (the same texts, decoding and word rule as kx8 concord).
#include <CLI/CLI.hpp>
#include <kx8rt/corpus/corpus_word_lists.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "corpus_options.h"
#include "output.h"
#include "statistics_report.h"

using namespace kx8;

int WordlistMain(int argc, char** argv) {
  CLI::App app{"kx8 wordlist: the words of the texts under each PATH, tallied as one (case ignored): rank, word, "
               "frequency and percentage of the tokens, then the tokens and types. A word is what kx8 concord finds "
               "as one: letters and digits with their combining marks and joiners, the middle characters between "
               "letters, '.' and ',' between digits.",
               "kx8 wordlist"};
  bool alpha = false, json = false;
  int minLength = 1;
  std::vector<std::string> paths;
  kx8tool::CorpusCliOptions corpus;
  app.add_flag("--alpha", alpha, "in alphabetical order (the language's collation) instead of by frequency");
  app.add_option("--min-length", minLength, "shortest word counted (default 1)")->check(CLI::Range(1, 1000000));
  app.add_flag("--json", json, "one JSON object: files, tokens, types, words");
  corpus.Add(app);
  app.add_option("paths", paths, "PATH...")->required();
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (!corpus.CodepageOk("wordlist")) return 2;
  TCorpusWordListOptions o;
  o.word_rule = corpus.Rule();
  o.codepage = static_cast<uint16_t>(corpus.codepage);
  o.choice = corpus.Choice();
  o.min_length = minLength;
  o.by_frequency = !alpha;
  bool failed = false;
  TCorpusWordListResult r;
  try {
    r = CorpusWordList(
        kx8tool::CorpusCliOptions::Paths(paths), o,
        [&](const TCorpusWordListText& t) {
          if (t.read) return;
          failed |= t.unreadable;
          std::fprintf(stderr, "kx8 wordlist: skipped %s: %s\n", Utf16ToUtf8(t.name).c_str(),
                       Utf16ToUtf8(t.skipped_because).c_str());
        },
        [&](const UnicodeString& p, const UnicodeString& why) {
          failed = true;
          std::fprintf(stderr, "kx8 wordlist: %s: %s\n", Utf16ToUtf8(p).c_str(), Utf16ToUtf8(why).c_str());
        });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 wordlist: %s\n", e.what());
    return 2;
  }
  const TStringList& list = *r.list;
  const double tokens = static_cast<double>(r.tokens);
  kx8tool::Output out;
  try {
    if (json) {
      nlohmann::json j;
      j["files"] = r.texts_read;
      j["tokens"] = r.tokens;
      j["types"] = list.Count();
      auto& words = j["words"] = nlohmann::json::array();
      for (int32_t i = 0; i < list.Count(); ++i) {
        const int64_t freq = list.Integers(i);
        words.push_back({{"rank", i + 1},
                         {"word", Utf16ToUtf8(list.StoredString(i))},
                         {"freq", freq},
                         {"percent", tokens > 0 ? 100.0 * static_cast<double>(freq) / tokens : 0.0}});
      }
      out.Put(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    } else {
      char b[512];
      std::snprintf(b, sizeof b, "%8s  %-24s %10s %8s\n", "N", "Word", "Freq.", "%");
      out.Put(b);
      for (int32_t i = 0; i < list.Count(); ++i) {
        const int64_t freq = list.Integers(i);
        std::snprintf(b, sizeof b, "%8d  %s %10lld %8.2f\n", i + 1, kx8tool::Cell(list.StoredString(i), 24).c_str(),
                      static_cast<long long>(freq), tokens > 0 ? 100.0 * static_cast<double>(freq) / tokens : 0.0);
        out.Put(b);
      }
      std::snprintf(b, sizeof b, "\n%lld tokens, %d types in %lld file%s\n", static_cast<long long>(r.tokens), list.Count(),
                    static_cast<long long>(r.texts_read), r.texts_read == 1 ? "" : "s");
      out.Put(b);
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 wordlist: %s\n", e.what());
    return 2;
  }
  if (failed) return 2;
  return r.tokens > 0 ? 0 : 1;
}
