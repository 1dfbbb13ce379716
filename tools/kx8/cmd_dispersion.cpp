// kx8 dispersion: the hits of WORD in each text, per million words, and how evenly they spread over the
// texts (Gries' DP and Juilland's D), through the library's CorpusDispersion.
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

int DispersionMain(int argc, char** argv) {
  CLI::App app{"kx8 dispersion: hits of WORD in each text under each PATH and per million of its words, then "
               "Gries' DP (0: spread as the texts' sizes are, towards 1: in one text), DP normalised, and Juilland's "
               "D (1: even, 0: uneven) over the texts that hold words.",
               "kx8 dispersion"};
  kx8tool::CorpusCliOptions corpus;
  std::vector<std::string> positional;
  int jobs = 0;
  bool matchCase = false, json = false;
  app.add_flag("--case", matchCase, "match case exactly (default: ignore case)");
  app.add_flag("--json", json, "one JSON object: texts, totals, dp, dp_norm, juilland_d");
  app.add_option("-j,--jobs", jobs, "texts searched at once (default: the machine's cores)")->check(CLI::Range(0, 64));
  corpus.Add(app);
  app.add_option("args", positional, "WORD PATH... (WORD in the search notation of kx8 concord)")->required();
  app.footer("Exit status: 0 when WORD was found, 1 when it was not, 2 when an input could not be read or the output "
             "written.");
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (positional.size() < 2) {
    std::fputs(app.help().c_str(), stderr);
    return 2;
  }
  if (!corpus.CodepageOk("dispersion")) return 2;
  TConcordanceOptions o;
  o.search_word = Utf8ToUtf16(positional[0]);
  o.case_sensitive = matchCase;
  o.codepage = static_cast<uint16_t>(corpus.codepage);
  o.word_rule = corpus.Rule();
  o.choice = corpus.Choice();
  o.workers = jobs;
  const std::vector<std::string> paths(positional.begin() + 1, positional.end());
  kx8tool::StatisticsReport report("dispersion");
  TDispersionResult r;
  try {
    r = CorpusDispersion(kx8tool::CorpusCliOptions::Paths(paths), o, report.TextEvent(), report.ProblemEvent());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 dispersion: %s\n", e.what());
    return 2;
  }
  const TDispersionScores& s = r.scores;
  kx8tool::Output out;
  try {
    if (json) {
      nlohmann::json j;
      j["word"] = positional[0];
      j["hits"] = r.hits;
      j["words"] = r.words;
      j["per_million"] = r.per_million;
      j["parts"] = s.parts;
      j["dp"] = s.dp;
      j["dp_norm"] = s.dp_norm;
      j["juilland_d"] = s.d_defined ? nlohmann::json(s.juilland_d) : nlohmann::json(nullptr);
      auto& texts = j["texts"] = nlohmann::json::array();
      for (const TDispersionText& t : r.texts)
        texts.push_back({{"file", Utf16ToNativeName(t.name)}, {"words", t.words}, {"hits", t.hits},
                         {"per_million", t.per_million}});
      out.Put(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    } else {
      char b[2048];
      std::snprintf(b, sizeof b, "%10s %12s %14s  %s\n", "Hits", "Words", "Per million", "File");
      out.Put(b);
      for (const TDispersionText& t : r.texts) {
        std::snprintf(b, sizeof b, "%10lld %12lld %14s  ", static_cast<long long>(t.hits),
                      static_cast<long long>(t.words), kx8tool::Fixed(t.per_million, 2).c_str());
        out.Put(b);
        out.Put(Utf16ToNativeName(t.name));
        out.Put('\n');
      }
      std::snprintf(b, sizeof b, "%10lld %12lld %14s  total\n\n", static_cast<long long>(r.hits),
                    static_cast<long long>(r.words), kx8tool::Fixed(r.per_million, 2).c_str());
      out.Put(b);
      std::snprintf(b, sizeof b, "texts with words: %d\nDP: %s\nDP normalised: %s\nJuilland's D: %s\n", s.parts,
                    kx8tool::Fixed(s.dp, 4).c_str(), kx8tool::Fixed(s.dp_norm, 4).c_str(),
                    s.d_defined ? kx8tool::Fixed(s.juilland_d, 4).c_str() : "n/a (needs two texts and a hit)");
      out.Put(b);
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 dispersion: %s\n", e.what());
    return 2;
  }
  if (report.Failed()) return 2;
  return r.hits > 0 ? 0 : 1;
}
