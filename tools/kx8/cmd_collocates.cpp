// kx8 collocates: the words within a span of each hit of WORD, with their association scores, through the
// library's CorpusCollocates (hits found by the concordancer, words counted under the word rule).
#include <CLI/CLI.hpp>
#include <kx8rt/corpus/corpus_statistics.h>
#include <kx8rt/platform/char_classes.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands.h"
#include "corpus_options.h"
#include "output.h"
#include "statistics_report.h"

using namespace kx8;

namespace {

// "L,R" or one number for both sides.
bool ParseSpan(const std::string& s, int32_t& left, int32_t& right) {
  const size_t comma = s.find(',');
  int32_t l = 0, r = 0;
  if (!TryStrToInt(Utf8ToUtf16(s.substr(0, comma)), l)) return false;
  if (comma == std::string::npos) r = l;
  else if (!TryStrToInt(Utf8ToUtf16(s.substr(comma + 1)), r)) return false;
  if (l < 0 || l > 50 || r < 0 || r > 50 || l + r == 0) return false;
  left = l;
  right = r;
  return true;
}

// The names a --threshold is given by, in the order of TRelationshipStats.
constexpr const char* kThresholdNames[RelationshipStatsCount] = {"dice", "mi", "mi3", "z", "ll", "t", "logratio",
                                                                 "cpa", "cpb", "deltapa", "deltapb"};

// "NAME=VALUE": the measure must reach VALUE.
bool AddThreshold(const std::string& spec, TCogridMutualChecks& checks) {
  const size_t eq = spec.find('=');
  if (eq == std::string::npos) return false;
  const std::string name = Utf16ToUtf8(ToLower(Utf8ToUtf16(spec.substr(0, eq))));
  double value = 0;
  try {
    size_t used = 0;
    value = std::stod(spec.substr(eq + 1), &used);
    if (used != spec.size() - eq - 1) return false;
  } catch (const std::exception&) {
    return false;
  }
  for (int i = 0; i < RelationshipStatsCount; ++i)
    if (name == kThresholdNames[i] || (i == RelatStat_log_likelihood && name == "g2")) {
      checks.proc_settings[i] = {true, static_cast<float>(value)};
      return true;
    }
  return false;
}

}  // namespace

int CollocatesMain(int argc, char** argv) {
  CLI::App app{"kx8 collocates: the words within the span of each hit of WORD in the texts under each PATH, with "
               "their frequency left, right and in all, their corpus frequency and the association measures MI, MI3, "
               "t-score, log-likelihood (G2) and logDice (see the README's \"Corpus statistics\").",
               "kx8 collocates"};
  kx8tool::CorpusCliOptions corpus;
  std::string spanSpec = "5,5", measureName = "logdice", thresholdsFile;
  std::vector<std::string> thresholdSpecs, positional;
  int64_t minFreq = 3;
  int jobs = 0;
  bool matchCase = false, json = false;
  app.add_option("--span", spanSpec, "words left and right of the node, \"L,R\" (0..50 each; default 5,5)");
  app.add_option("--min-freq", minFreq, "least frequency within the spans (default 3)")->check(CLI::PositiveNumber);
  app.add_option("--measure", measureName, "sort on logdice (default), mi, mi3, t, ll, freq");
  app.add_option("--threshold", thresholdSpecs,
                 "keep collocates whose score reaches a value, NAME=VALUE with NAME one of dice, mi, mi3, z, ll, t, "
                 "logratio, cpa, cpb, deltapa, deltapb; all given must be reached");
  app.add_option("--thresholds", thresholdsFile, "relationship thresholds from a stored 256-byte record");
  app.add_flag("--case", matchCase, "match the node's case exactly (collocates are always met without case)");
  app.add_flag("--json", json, "one JSON object: node, hits, tokens, span, collocates");
  app.add_option("-j,--jobs", jobs, "texts searched at once for the node (default: the machine's cores)")
      ->check(CLI::Range(0, 64));
  corpus.Add(app);
  app.add_option("args", positional, "WORD PATH... (WORD in the search notation of kx8 concord)")->required();
  app.footer("Exit status: 0 when collocates were found, 1 when none were, 2 when an input could not be read or "
             "the output written.");
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (positional.size() < 2) {
    std::fputs(app.help().c_str(), stderr);
    return 2;
  }
  if (!corpus.CodepageOk("collocates")) return 2;
  TCollocateOptions o;
  if (!ParseSpan(spanSpec, o.span_left, o.span_right)) {
    std::fprintf(stderr, "kx8 collocates: --span takes L,R with 0..50 words each side, not both 0\n");
    return 2;
  }
  if (!ParseCollocateMeasure(Utf8ToUtf16(measureName), o.sort_by)) {
    std::fprintf(stderr, "kx8 collocates: --measure is one of logdice, mi, mi3, t, ll, freq\n");
    return 2;
  }
  if (!thresholdsFile.empty()) {
    std::ifstream in(thresholdsFile, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "kx8 collocates: cannot read %s\n", thresholdsFile.c_str());
      return 2;
    }
    try {
      o.thresholds = CogridMutualChecksFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kx8 collocates: %s: %s\n", thresholdsFile.c_str(), e.what());
      return 2;
    }
  }
  if (!thresholdSpecs.empty()) {
    // Thresholds typed on the command line must all be reached, whatever a stored record said.
    if (!o.thresholds) o.thresholds = TCogridMutualChecks{};
    o.thresholds->test_all_procedures = true;
    for (const auto& spec : thresholdSpecs)
      if (!AddThreshold(spec, *o.thresholds)) {
        std::fprintf(stderr, "kx8 collocates: --threshold takes NAME=VALUE, not \"%s\"\n", spec.c_str());
        return 2;
      }
  }
  o.search.search_word = Utf8ToUtf16(positional[0]);
  o.search.case_sensitive = matchCase;
  o.search.codepage = static_cast<uint16_t>(corpus.codepage);
  o.search.word_rule = corpus.Rule();
  o.search.choice = corpus.Choice();
  o.search.workers = jobs;
  o.min_freq = minFreq;
  const std::vector<std::string> paths(positional.begin() + 1, positional.end());
  kx8tool::StatisticsReport report("collocates");
  TCollocateResult r;
  try {
    r = CorpusCollocates(kx8tool::CorpusCliOptions::Paths(paths), o, report.TextEvent(), report.ProblemEvent());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 collocates: %s\n", e.what());
    return 2;
  }
  kx8tool::Output out;
  try {
    if (json) {
      nlohmann::json j;
      j["node"] = positional[0];
      j["hits"] = r.node_hits;
      j["tokens"] = r.totals.tokens;
      j["files"] = r.totals.texts_read;
      j["span"] = {{"left", o.span_left}, {"right", o.span_right}};
      j["span_positions"] = r.span_positions;
      j["sorted_on"] = measureName;
      auto& list = j["collocates"] = nlohmann::json::array();
      for (const TCollocate& c : r.collocates)
        list.push_back({{"word", Utf16ToUtf8(c.word)},
                        {"left", c.left},
                        {"right", c.right},
                        {"total", c.total},
                        {"corpus_freq", c.corpus_freq},
                        {"expected", c.scores.expected},
                        {"mi", c.scores.mi},
                        {"mi3", c.scores.mi3},
                        {"t_score", c.scores.t_score},
                        {"log_likelihood", c.scores.log_likelihood},
                        {"log_dice", c.scores.log_dice},
                        {"cells_clamped", c.scores.clamped}});
      out.Put(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    } else {
      char b[1024];
      std::snprintf(b, sizeof b, "node %s: %lld hits in %lld tokens of %lld file%s; span L%d..R%d; sorted on %s\n",
                    positional[0].c_str(), static_cast<long long>(r.node_hits), static_cast<long long>(r.totals.tokens),
                    static_cast<long long>(r.totals.texts_read), r.totals.texts_read == 1 ? "" : "s", o.span_left,
                    o.span_right, measureName.c_str());
      out.Put(b);
      std::snprintf(b, sizeof b, "%6s  %-24s %8s %8s %8s %10s %8s %8s %9s %11s %8s\n", "N", "Word", "Left", "Right",
                    "Total", "Corpus", "MI", "MI3", "T-score", "G2", "logDice");
      out.Put(b);
      int32_t rank = 0;
      for (const TCollocate& c : r.collocates) {
        std::snprintf(b, sizeof b, "%6d  %s %8lld %8lld %8lld %10lld %8s %8s %9s %11s %8s\n", ++rank,
                      kx8tool::Cell(c.word, 24).c_str(), static_cast<long long>(c.left), static_cast<long long>(c.right),
                      static_cast<long long>(c.total), static_cast<long long>(c.corpus_freq),
                      kx8tool::Fixed(c.scores.mi, 3).c_str(), kx8tool::Fixed(c.scores.mi3, 3).c_str(),
                      kx8tool::Fixed(c.scores.t_score, 3).c_str(), kx8tool::Fixed(c.scores.log_likelihood, 2).c_str(),
                      kx8tool::Fixed(c.scores.log_dice, 3).c_str());
        out.Put(b);
      }
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 collocates: %s\n", e.what());
    return 2;
  }
  if (report.Failed()) return 2;
  return r.collocates.empty() ? 1 : 0;
}
