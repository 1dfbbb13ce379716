// kx8 keywords: the words of the target texts that are relatively more (positive) or less (negative)
// frequent than in the reference texts, weighed by log-likelihood, through the library's CorpusKeywords.
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

int KeywordsMain(int argc, char** argv) {
  CLI::App app{"kx8 keywords: key words of the texts under each TARGET against those under each REF (words met "
               "without case): frequencies in both, log-likelihood G2 with its p-value (chi-square, one degree of "
               "freedom), Log Ratio and %DIFF. A word missing from one side has 0.5 in place of its 0 in Log Ratio "
               "and %DIFF, marked '*' (\"adjusted\" in JSON).",
               "kx8 keywords"};
  kx8tool::CorpusCliOptions corpus;
  std::vector<std::string> targets, references;
  int64_t minFreq = 3;
  double maxP = 0.05;
  bool json = false;
  app.add_option("--reference,-R", references, "REF... the reference texts")->required();
  app.add_option("--min-freq", minFreq, "least frequency in both corpora together (default 3)")
      ->check(CLI::PositiveNumber);
  app.add_option("--max-p", maxP, "largest p-value listed (default 0.05; 1 lists every word)")
      ->check(CLI::Range(0.0, 1.0));
  app.add_flag("--json", json, "one JSON object: sizes, positive and negative key words");
  corpus.Add(app);
  app.add_option("targets", targets, "TARGET...")->required();
  app.footer("Exit status: 0 when key words were found, 1 when none were, 2 when an input could not be read or the "
             "output written.");
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  if (!corpus.CodepageOk("keywords")) return 2;
  TKeywordOptions o;
  o.reading.word_rule = corpus.Rule();
  o.reading.codepage = static_cast<uint16_t>(corpus.codepage);
  o.reading.choice = corpus.Choice();
  o.min_freq = minFreq;
  o.max_p = maxP;
  kx8tool::StatisticsReport report("keywords");
  TKeywordResult r;
  try {
    r = CorpusKeywords(kx8tool::CorpusCliOptions::Paths(targets), kx8tool::CorpusCliOptions::Paths(references), o,
                       report.TextEvent(), report.ProblemEvent());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 keywords: %s\n", e.what());
    return 2;
  }
  // Key words against an empty side mean nothing: say so rather than list every word.
  if (r.target.tokens == 0 || r.reference.tokens == 0) {
    std::fprintf(stderr, "kx8 keywords: the %s corpus holds no words\n", r.target.tokens == 0 ? "target" : "reference");
    return 2;
  }
  kx8tool::Output out;
  try {
    if (json) {
      nlohmann::json j;
      j["target"] = {{"files", r.target.texts_read}, {"tokens", r.target.tokens}};
      j["reference"] = {{"files", r.reference.texts_read}, {"tokens", r.reference.tokens}};
      j["zero_adjustment"] = kKeynessZeroAdjustment;
      auto& pos = j["positive"] = nlohmann::json::array();
      auto& neg = j["negative"] = nlohmann::json::array();
      for (const TKeyword& k : r.keywords)
        (k.scores.positive ? pos : neg)
            .push_back({{"word", Utf16ToUtf8(k.word)},
                        {"freq_target", k.freq_target},
                        {"freq_reference", k.freq_reference},
                        {"log_likelihood", k.scores.log_likelihood},
                        {"p", k.scores.p},
                        {"log_ratio", k.scores.log_ratio},
                        {"percent_diff", k.scores.percent_diff},
                        {"adjusted", k.scores.adjusted}});
      out.Put(j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
      out.Put('\n');
    } else {
      char b[1024];
      std::snprintf(b, sizeof b, "target: %lld tokens in %lld file%s; reference: %lld tokens in %lld file%s\n",
                    static_cast<long long>(r.target.tokens), static_cast<long long>(r.target.texts_read),
                    r.target.texts_read == 1 ? "" : "s", static_cast<long long>(r.reference.tokens),
                    static_cast<long long>(r.reference.texts_read), r.reference.texts_read == 1 ? "" : "s");
      out.Put(b);
      bool anyAdjusted = false;
      for (int side = 0; side < 2; ++side) {
        const bool positive = side == 0;
        std::snprintf(b, sizeof b, "\n%s key words (%lld)\n%6s  %-24s %10s %10s %11s %10s %10s %12s\n",
                      positive ? "Positive" : "Negative", static_cast<long long>(positive ? r.positive : r.negative),
                      "N", "Word", "Target", "Reference", "G2", "p", "LogRatio", "%DIFF");
        out.Put(b);
        int32_t rank = 0;
        for (const TKeyword& k : r.keywords) {
          if (k.scores.positive != positive) continue;
          const char* mark = k.scores.adjusted ? "*" : " ";
          anyAdjusted |= k.scores.adjusted;
          std::snprintf(b, sizeof b, "%6d  %s %10lld %10lld %11s %10s %9s%s %11s%s\n", ++rank,
                        kx8tool::Cell(k.word, 24).c_str(), static_cast<long long>(k.freq_target),
                        static_cast<long long>(k.freq_reference), kx8tool::Fixed(k.scores.log_likelihood, 2).c_str(),
                        kx8tool::PValue(k.scores.p).c_str(), kx8tool::Fixed(k.scores.log_ratio, 3).c_str(), mark,
                        kx8tool::Fixed(k.scores.percent_diff, 1).c_str(), mark);
          out.Put(b);
        }
      }
      if (anyAdjusted)
        out.Put("\n* the word is missing from one corpus: 0.5 stands in for its 0 in Log Ratio and %DIFF\n");
    }
    out.Flush();
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 keywords: %s\n", e.what());
    return 2;
  }
  if (report.Failed()) return 2;
  return r.keywords.empty() ? 1 : 0;
}
