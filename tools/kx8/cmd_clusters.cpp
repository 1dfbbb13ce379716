// kx8 clusters: the n-grams of words in the texts, with frequency and range, through the library's
// CorpusClusters (the word rule of kx8 concord; clusters stop at sentence and paragraph ends).
#include <CLI/CLI.hpp>
#include <kx8rt/corpus/corpus_statistics.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "corpus_options.h"
#include "output.h"
#include "statistics_report.h"

using namespace kx8;

int ClustersMain(int argc, char** argv) {
  CLI::App app{"kx8 clusters: the clusters of N words in the texts under each PATH (words met without case), with "
               "their frequency and range (the texts holding them). A cluster never runs across a sentence end, a "
               "paragraph end or the end of a text.",
               "kx8 clusters"};
  kx8tool::CorpusCliOptions corpus;
  std::string word, position = "any";
  std::vector<std::string> paths;
  int n = 3;
  int64_t minFreq = 2;
  bool json = false;
  app.add_option("--n", n, "words a cluster, 2..5 (default 3)")->check(CLI::Range(2, 5));
  app.add_option("--word", word, "only clusters holding this word (met without case)");
  app.add_option("--position", position, "where --word stands: L (first), R (last) or any (default)")
      ->check(CLI::IsMember({"L", "R", "any", "l", "r"}));
  app.add_option("--min-freq", minFreq, "least frequency (default 2)")->check(CLI::PositiveNumber);
  app.add_flag("--json", json, "one JSON object: files, tokens, clusters");
  corpus.Add(app);
  app.add_option("paths", paths, "PATH...")->required();
  app.footer("Exit status: 0 when clusters were found, 1 when none were, 2 when an input could not be read or the "
             "output written.");
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (!corpus.CodepageOk("clusters")) return 2;
  TClusterOptions o;
  o.reading.word_rule = corpus.Rule();
  o.reading.codepage = static_cast<uint16_t>(corpus.codepage);
  o.reading.choice = corpus.Choice();
  o.n = n;
  o.word = Utf8ToUtf16(word);
  o.position = (position == "L" || position == "l") ? cp_left : (position == "R" || position == "r") ? cp_right : cp_any;
  o.min_freq = minFreq;
  kx8tool::StatisticsReport report("clusters");
  TClusterResult r;
  try {
    r = CorpusClusters(kx8tool::CorpusCliOptions::Paths(paths), o, report.TextEvent(), report.ProblemEvent());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 clusters: %s\n", e.what());
    return 2;
  }
  kx8tool::Output out;
  try {
    if (json) {
      nlohmann::json j;
      j["files"] = r.totals.texts_read;
      j["tokens"] = r.totals.tokens;
      j["n"] = n;
      auto& list = j["clusters"] = nlohmann::json::array();
      for (const TCluster& c : r.clusters)
        list.push_back({{"cluster", Utf16ToUtf8(c.words)}, {"freq", c.freq}, {"range", c.range}});
      out.Put(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    } else {
      char b[2048];
      std::snprintf(b, sizeof b, "%8s  %-40s %10s %8s\n", "N", "Cluster", "Freq.", "Range");
      out.Put(b);
      int32_t rank = 0;
      for (const TCluster& c : r.clusters) {
        std::snprintf(b, sizeof b, "%8d  %s %10lld %8lld\n", ++rank, kx8tool::Cell(c.words, 40).c_str(),
                      static_cast<long long>(c.freq), static_cast<long long>(c.range));
        out.Put(b);
      }
      std::snprintf(b, sizeof b, "\n%zu clusters of %d words; %lld tokens in %lld file%s\n", r.clusters.size(), n,
                    static_cast<long long>(r.totals.tokens), static_cast<long long>(r.totals.texts_read),
                    r.totals.texts_read == 1 ? "" : "s");
      out.Put(b);
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 clusters: %s\n", e.what());
    return 2;
  }
  if (report.Failed()) return 2;
  return r.clusters.empty() ? 1 : 0;
}
