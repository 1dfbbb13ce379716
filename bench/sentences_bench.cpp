// Sentence splitting, markup removal and whole-word replacement over tagged English paragraphs, beside
// a baseline that only counts the full stops of the same text: throughputs in MB/s (bytes of UTF-16).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "kx8rt/strings/sentences.h"
#include "kx8rt/strings/tags.h"

namespace {

const kx8::UnicodeString& Paragraph() {
  static const kx8::UnicodeString text = [] {
    const kx8::UnicodeString pieces[] = {
        u"<s n=\"1\">Dr. Smith arrived at 10.30 on the morning of the meeting, e.g. before the others.</s> ",
        u"\u201CIt\u2019s not over,\u201D she said, and nobody in the room disagreed with her at all! ",
        u"<p>The price rose by 3.5 percent in May (see <ref>Table 2</ref>), which was unexpected.</p> ",
        u"Was the committee\u2019s na\u00EFve r\u00E9sum\u00E9 of the year really enough to convince them? ",
    };
    kx8::UnicodeString s;
    for (size_t i = 0; s.size() < 4000; ++i) s += pieces[i % std::size(pieces)];
    return s;
  }();
  return text;
}

void SetThroughput(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(Paragraph().size() * sizeof(char16_t)));
}

void BM_Baseline_CountFullStops(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(std::count(Paragraph().begin(), Paragraph().end(), u'.'));
  SetThroughput(state);
}

void BM_SentencesFromParagraph_Automatic(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kx8::SentencesFromParagraph(Paragraph(), u"", 0x0409, 100));
  SetThroughput(state);
}

void BM_SentencesExtractedFromParagraph(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kx8::SentencesExtractedFromParagraph(false, 5, Paragraph()));
  SetThroughput(state);
}

void BM_WithoutMarkup(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kx8::WithoutMarkup(Paragraph(), 40));
  SetThroughput(state);
}

void BM_ReplaceWholeWord_IgnoringCase(benchmark::State& state) {
  int32_t n = 0;
  for (auto _ : state) benchmark::DoNotOptimize(kx8::ReplaceWholeWord(Paragraph(), u"the", u"THE", false, n));
  SetThroughput(state);
}

BENCHMARK(BM_Baseline_CountFullStops);
BENCHMARK(BM_SentencesFromParagraph_Automatic);
BENCHMARK(BM_SentencesExtractedFromParagraph);
BENCHMARK(BM_WithoutMarkup);
BENCHMARK(BM_ReplaceWholeWord_IgnoringCase);

}  // namespace

BENCHMARK_MAIN();
