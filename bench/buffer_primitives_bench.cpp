// Throughput of the buffer primitives over a 100 MB UTF-16 text, each beside a standard-library
// baseline run over the same buffer in the same process. Figures are bytes of text per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/uchar.h>

#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/text_primitives/char_types.h"

namespace {

constexpr size_t kTextBytes = 100u * 1024 * 1024;

// English-like running text: common words, some capitalised, apostrophes and punctuation, line breaks.
const std::u16string& Corpus() {
  static const std::u16string text = [] {
    const char16_t* words[] = {u"the",    u"of",      u"and",    u"to",       u"in",     u"a",     u"is",
                               u"that",   u"for",     u"it",     u"as",       u"was",    u"with",  u"be",
                               u"by",     u"on",      u"not",    u"he",       u"this",   u"are",   u"or",
                               u"his",    u"from",    u"at",     u"which",    u"but",    u"have", u"an",
                               u"they",   u"you",     u"were",   u"their",    u"one",    u"all",   u"we",
                               u"can",    u"her",     u"has",    u"there",    u"been",   u"if",    u"more",
                               u"when",   u"will",    u"would",  u"who",      u"so",     u"no",    u"don't",
                               u"it's",   u"question", u"quite", u"language", u"corpus", u"words", u"text",
                               u"rock'n'roll", u"3,000.5", u"sentence", u"London", u"Thursday"};
    const size_t nwords = sizeof(words) / sizeof(words[0]);
    std::mt19937 rng(2024);
    std::u16string t;
    t.reserve(kTextBytes / 2 + 64);
    size_t inSentence = 0;
    while (t.size() * 2 < kTextBytes) {
      std::u16string_view w = words[rng() % nwords];
      if (inSentence == 0 && !w.empty()) {
        t.push_back(static_cast<char16_t>(w[0] >= u'a' && w[0] <= u'z' ? w[0] - 32 : w[0]));
        t.append(w.substr(1));
      } else {
        t.append(w);
      }
      if (++inSentence > 8 + rng() % 12) {
        t.append(rng() % 5 == 0 ? u".\r\n" : u". ");
        inSentence = 0;
      } else {
        t.push_back(rng() % 11 == 0 ? u',' : u' ');
      }
    }
    t.resize(kTextBytes / 2);
    return t;
  }();
  return text;
}

// Absent from the text; its first letter is common in it, so first-unit scans get many false starts.
constexpr char16_t kAbsentLower[] = u"quagmire";
constexpr char16_t kAbsentUpper[] = u"QUAGMIRE";

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Corpus().size() * 2));
}

void BM_FastStrPosW_absent(benchmark::State& state) {
  const auto& t = Corpus();
  for (auto _ : state) {
    const char16_t* hit = kx8::FastStrPosW(t.data(), kAbsentLower, static_cast<int32_t>(t.size()));
    if (hit != nullptr) state.SkipWithError("the word occurs");
    benchmark::DoNotOptimize(hit);
  }
  SetBytes(state);
}

void BM_FastStrIPosW_absent(benchmark::State& state) {
  const auto& t = Corpus();
  for (auto _ : state) {
    const char16_t* hit = kx8::FastStrIPosW(t.data(), kAbsentLower, kAbsentUpper, static_cast<int32_t>(t.size()));
    if (hit != nullptr) state.SkipWithError("the word occurs");
    benchmark::DoNotOptimize(hit);
  }
  SetBytes(state);
}

void BM_u16string_view_find_absent(benchmark::State& state) {
  const std::u16string_view t = Corpus();
  for (auto _ : state) {
    const size_t at = t.find(kAbsentLower);
    if (at != std::u16string_view::npos) state.SkipWithError("the word occurs");
    benchmark::DoNotOptimize(at);
  }
  SetBytes(state);
}

void BM_std_search_absent(benchmark::State& state) {
  const std::u16string_view t = Corpus();
  const std::u16string_view w = kAbsentLower;
  for (auto _ : state) {
    auto it = std::search(t.begin(), t.end(), w.begin(), w.end());
    if (it != t.end()) state.SkipWithError("the word occurs");
    benchmark::DoNotOptimize(it);
  }
  SetBytes(state);
}

void BM_std_search_horspool_absent(benchmark::State& state) {
  const std::u16string_view t = Corpus();
  const std::u16string_view w = kAbsentLower;
  const std::boyer_moore_horspool_searcher searcher(w.begin(), w.end());
  for (auto _ : state) {
    auto it = std::search(t.begin(), t.end(), searcher);
    if (it != t.end()) state.SkipWithError("the word occurs");
    benchmark::DoNotOptimize(it);
  }
  SetBytes(state);
}

void BM_FastStrScanW_absent(benchmark::State& state) {
  const auto& t = Corpus();
  for (auto _ : state) {
    const char16_t* hit = kx8::FastStrScanW(t.data(), u'\x01', static_cast<int32_t>(t.size()));
    benchmark::DoNotOptimize(hit);
  }
  SetBytes(state);
}

void BM_u16string_view_find_char_absent(benchmark::State& state) {
  const std::u16string_view t = Corpus();
  for (auto _ : state) {
    const size_t at = t.find(u'\x01');
    benchmark::DoNotOptimize(at);
  }
  SetBytes(state);
}

// The type array of the whole text, filled once for the middle-character runs.
std::vector<uint16_t>& TypeArray() {
  static std::vector<uint16_t> types = [] {
    const auto& t = Corpus();
    std::vector<uint16_t> v(t.size() + 2);
    kx8::GetStringTypeExNT2000(true, kx8::LOCALE_DEFAULT_LCID, kx8::CT_CTYPE1, t.data(),
                               static_cast<int32_t>(t.size()), v.data());
    return v;
  }();
  return types;
}

void BM_GetStringTypeExNT2000_fill(benchmark::State& state) {
  const auto& t = Corpus();
  std::vector<uint16_t> types(t.size() + 2);
  for (auto _ : state) {
    if (!kx8::GetStringTypeExNT2000(true, kx8::LOCALE_DEFAULT_LCID, kx8::CT_CTYPE1, t.data(),
                                    static_cast<int32_t>(t.size()), types.data()))
      state.SkipWithError("classification failed");
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

// Baseline: asking ICU for each unit's general category into the same array.
void BM_icu_charType_loop(benchmark::State& state) {
  const auto& t = Corpus();
  std::vector<uint16_t> types(t.size() + 2);
  for (auto _ : state) {
    for (size_t i = 0; i < t.size(); ++i) types[i] = static_cast<uint16_t>(u_charType(t[i]));
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

void BM_HandleMiddleChars_apostrophe(benchmark::State& state) {
  const auto& t = Corpus();
  auto& types = TypeArray();
  for (auto _ : state) {
    kx8::HandleMiddleChars(t.data(), types.data(), u"'", 1, static_cast<int32_t>(t.size()), true, false, false);
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

// Baseline: one plain pass counting the apostrophes.
void BM_count_apostrophes_loop(benchmark::State& state) {
  const auto& t = Corpus();
  for (auto _ : state) {
    size_t n = 0;
    for (char16_t c : t) n += c == u'\'';
    benchmark::DoNotOptimize(n);
  }
  SetBytes(state);
}

}  // namespace

BENCHMARK(BM_FastStrPosW_absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastStrIPosW_absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_u16string_view_find_absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_std_search_absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_std_search_horspool_absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastStrScanW_absent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_u16string_view_find_char_absent)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_GetStringTypeExNT2000_fill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_icu_charType_loop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HandleMiddleChars_apostrophe)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_count_apostrophes_loop)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
