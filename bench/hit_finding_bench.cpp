// Throughput of the buffer matcher over a 100 MB UTF-16 English-like text with its type array, called
// from the buffer start to the end the way the engine calls it (on from each hit start), for a rare
// word, a frequent word and a wildcard word, through the case copies and through the case-closure table
// the engine uses; FastStrIPosW over the same buffer in the same run is the baseline. Figures are bytes of UTF-16 text per second. When ripgrep is installed, the same text as
// UTF-8 is counted with "rg -c -i -w" for comparison (its figures are bytes of UTF-8 per second).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <string>
#include <vector>

#include "kx8rt/search/hit_finding.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/text_primitives/char_types.h"

namespace {

using kx8::UnicodeString;

constexpr size_t kTextBytes = 100u * 1024 * 1024;

// Running text with a Zipf-like word distribution: common English words at the head, made-up words in
// the tail, sentences with capitals, commas, full stops and line breaks. "whereupon" is rare (a few
// dozen times), "the" frequent (about one word in sixteen).
struct Corpus {
  std::u16string text;
  std::vector<uint16_t> types;

  Corpus() {
    std::vector<std::u16string> words = {
        u"the",   u"of",    u"and",   u"to",     u"a",      u"in",    u"is",    u"that",  u"for",    u"it",
        u"as",    u"was",   u"with",  u"be",     u"by",     u"on",    u"not",   u"he",    u"this",   u"are",
        u"or",    u"his",   u"from",  u"at",     u"which",  u"but",   u"have",  u"an",    u"they",   u"you",
        u"were",  u"their", u"one",   u"all",    u"we",     u"can",   u"her",   u"has",   u"there",  u"been",
        u"if",    u"more",  u"when",  u"will",   u"would",  u"who",   u"so",    u"no",    u"don't",  u"it's",
        u"time",  u"people", u"year", u"way",    u"day",    u"man",   u"thing", u"woman", u"life",   u"child",
        u"world", u"school", u"state", u"family", u"student", u"group", u"country", u"problem", u"hand", u"part",
        u"place", u"case",  u"week",  u"company", u"system", u"program", u"question", u"work", u"government",
        u"number", u"night", u"point", u"home",  u"water",  u"room",  u"mother", u"area",  u"money",  u"story",
        u"colour", u"color", u"London", u"Thursday", u"3,000.5", u"rock'n'roll"};
    const char16_t* syllables[] = {u"ka", u"lo", u"mi", u"ten", u"ra", u"vel", u"sto", u"pen", u"dra", u"ic",
                                   u"on", u"ul", u"ber", u"gan", u"tis", u"ex", u"mor", u"pha", u"qui", u"zen"};
    std::mt19937 rng(2024);
    while (words.size() < 20000) {
      std::u16string w;
      const int n = 2 + static_cast<int>(rng() % 3);
      for (int k = 0; k < n; ++k) w += syllables[rng() % 20];
      words.push_back(w);
    }
    std::vector<double> weights(words.size());
    for (size_t r = 0; r < words.size(); ++r) weights[r] = 1.0 / static_cast<double>(r + 1);
    words.push_back(u"whereupon");
    weights.push_back(weights[0] * 3e-5);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());

    text.reserve(kTextBytes / 2 + 64);
    size_t inSentence = 0;
    while (text.size() * 2 < kTextBytes) {
      const std::u16string& w = words[pick(rng)];
      text += w;
      if (inSentence == 0 && w[0] >= u'a' && w[0] <= u'z') text[text.size() - w.size()] = static_cast<char16_t>(w[0] - 32);
      if (++inSentence > 8 + rng() % 12) {
        text += rng() % 5 == 0 ? u".\r\n" : u". ";
        inSentence = 0;
      } else {
        text += rng() % 11 == 0 ? u", " : u" ";
      }
    }
    text.resize(kTextBytes / 2);
    const auto n = static_cast<int32_t>(text.size());
    types.resize(text.size() + 2);
    kx8::GetStringTypeExNT2000(true, 0x0409, kx8::CT_CTYPE1, text.data(), n, types.data());
    kx8::HandleMiddleChars(text.data(), types.data(), u"'", 1, n, true, false, false);
    kx8::HandleMiddleCharsInNumbers(true, false, text.data(), types.data(), n);
  }
};

const Corpus& TheCorpus() {
  static const Corpus c;
  return c;
}

// The matcher from start to end: returns the number of hits. Closed: through the case-closure entry
// that the search-and-do engine calls, else through the case copies.
int64_t MatchAll(const Corpus& c, const kx8::TSearch_word_format_rec& rec, kx8::TSearchStatsRec& stats,
                 bool closed) {
  const auto n = static_cast<int32_t>(c.text.size());
  const char16_t* up = rec.copies[kx8::upper_copy].data();
  const char16_t* lo = rec.copies[kx8::lower_copy].data();
  const char16_t* ti = rec.copies[kx8::title_copy].data();
  const auto m = static_cast<uint16_t>(rec.search_text.size());
  bool inHeading = false;
  int64_t hits = 0;
  for (int32_t from = 0; from < n;) {
    uint16_t hitLength = 0, exactLength = 0;
    const void* p =
        closed ? kx8::NewFindWantedInBufferWithClosure(
                     c.text.data() + from, n - from, c.types.data() + from, c.types.data(), c.types.data() + n + 1, lo,
                     rec.case_closure.data(), m, false, rec.flags.Contains(kx8::myLeftBounded),
                     rec.flags.Contains(kx8::myRightBounded), true, false, hitLength, exactLength, stats, inHeading,
                     false, false, false, false)
               : kx8::NewFindWantedInBuffer(c.text.data() + from, n - from, c.types.data() + from, c.types.data(),
                                            c.types.data() + n + 1, up, lo, ti, m, false,
                                            rec.flags.Contains(kx8::myLeftBounded),
                                            rec.flags.Contains(kx8::myRightBounded), true, false, true, hitLength,
                                            exactLength, stats, inHeading, false, false, false, false);
    if (p == nullptr) break;
    ++hits;
    from = static_cast<int32_t>(static_cast<const char16_t*>(p) - c.text.data()) + 1;
  }
  return hits;
}

void MatchBench(benchmark::State& state, const char16_t* typed, bool closed) {
  const Corpus& c = TheCorpus();
  kx8::TIgnore_tag tags{};
  UnicodeString s = typed;
  kx8::TSearch_word_format_rec rec;
  kx8::Parsed_SearchWord(tags, s, rec);
  int64_t hits = 0, words = 0;
  for (auto _ : state) {
    kx8::TSearchStatsRec stats;
    hits = MatchAll(c, rec, stats, closed);
    words = stats.number[kx8::word_stats];
    benchmark::DoNotOptimize(hits);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.text.size() * 2));
  state.counters["hits"] = static_cast<double>(hits);
  state.counters["words"] = static_cast<double>(words);
}

void BM_NewFindWantedInBuffer(benchmark::State& state, const char16_t* typed) { MatchBench(state, typed, false); }
void BM_NewFindWantedInBufferWithClosure(benchmark::State& state, const char16_t* typed) {
  MatchBench(state, typed, true);
}

// Case-blind occurrences of a plain word, no word bounds and no statistics: the baseline.
void BM_FastStrIPosW(benchmark::State& state, const char16_t* word) {
  const Corpus& c = TheCorpus();
  const UnicodeString lo = kx8::ToLower(word), up = kx8::ToUpper(word);
  int64_t hits = 0;
  for (auto _ : state) {
    hits = 0;
    const char16_t* end = c.text.data() + c.text.size();
    for (const char16_t* p = c.text.data();;) {
      const char16_t* q = kx8::FastStrIPosW(p, lo.c_str(), up.c_str(), static_cast<int32_t>(end - p));
      if (q == nullptr) break;
      ++hits;
      p = q + 1;
    }
    benchmark::DoNotOptimize(hits);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.text.size() * 2));
  state.counters["hits"] = static_cast<double>(hits);
}

BENCHMARK_CAPTURE(BM_NewFindWantedInBuffer, rare_whereupon, u"whereupon")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FastStrIPosW, rare_whereupon, u"whereupon")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NewFindWantedInBuffer, frequent_the, u"the")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FastStrIPosW, frequent_the, u"the")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NewFindWantedInBuffer, wildcard_colou_r, u"colou?r")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NewFindWantedInBufferWithClosure, rare_whereupon, u"whereupon")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NewFindWantedInBufferWithClosure, frequent_the, u"the")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NewFindWantedInBufferWithClosure, wildcard_colou_r, u"colou?r")->Unit(benchmark::kMillisecond);
// Four members in the first place (the Greek iota), so that the vector scan compares all four keys.
BENCHMARK_CAPTURE(BM_NewFindWantedInBufferWithClosure, closure_of_four, u"ιδέα")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FastStrIPosW, plain_colour, u"colour")->Unit(benchmark::kMillisecond);

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// ripgrep on the same text as UTF-8, on one thread: best of three runs by CPU time (as the figures
// above are), wall time beside it. The CPU time includes starting the process.
void CompareWithRipgrep() {
  if (std::system("command -v rg >/dev/null 2>&1") != 0) {
    std::printf("ripgrep not installed: no comparison\n");
    return;
  }
  const std::string path = "/tmp/kx8_hit_finding_bench.txt";
  const std::string utf8 = kx8::Utf16ToUtf8(TheCorpus().text);
  std::ofstream(path, std::ios::binary).write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
  for (const char* word : {"whereupon", "the", "colou?r"}) {
    double bestCpu = 1e9, bestWall = 1e9;
    for (int run = 0; run < 3; ++run) {
      const double c0 = ChildCpuSeconds();
      const auto t0 = std::chrono::steady_clock::now();
      const std::string cmd = std::string("rg -j1 -c -i -w '") + word + "' " + path + " >/dev/null";
      if (std::system(cmd.c_str()) < 0) return;
      bestWall = std::min(bestWall, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
      bestCpu = std::min(bestCpu, ChildCpuSeconds() - c0);
    }
    std::printf("rg -c -i -w %-10s %8.1f MB/s of UTF-8 by CPU time (%.1f ms), %8.1f MB/s by wall time (%zu bytes)\n",
                word, static_cast<double>(utf8.size()) / bestCpu / 1e6, bestCpu * 1e3,
                static_cast<double>(utf8.size()) / bestWall / 1e6, utf8.size());
  }
  std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CompareWithRipgrep();
  return 0;
}
