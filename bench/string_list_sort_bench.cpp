// Sorting 1,000,000 random words: TStringList.Sort and CustomSort beside std::sort of the same
// std::u16string vector, with the same comparison where one is shared, in one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kx8rt/platform/string_list.h"

namespace {

using kx8::TStringList;
using kx8::UnicodeString;

constexpr int kWords = 1000000;

const std::vector<UnicodeString>& Words() {
  static const std::vector<UnicodeString> words = [] {
    std::mt19937 rng(20240601);
    std::vector<UnicodeString> w;
    w.reserve(kWords);
    for (int i = 0; i < kWords; ++i) {
      UnicodeString s;
      const unsigned len = 2 + rng() % 11;
      for (unsigned k = 0; k < len; ++k) {
        const unsigned r = rng() % 100;
        // Mostly lower case, some capitals and a few accented letters, as in running text.
        s += r < 90 ? static_cast<char16_t>(u'a' + rng() % 26)
           : r < 98 ? static_cast<char16_t>(u'A' + rng() % 26)
                    : static_cast<char16_t>(u'\u00E0' + rng() % 28);
      }
      w.push_back(std::move(s));
    }
    return w;
  }();
  return words;
}

void FillList(TStringList& list) {
  list.Clear();
  list.SetCapacity(kWords);
  for (const auto& w : Words()) list.Add(w);
}

std::map<std::string, double> gItemsPerSecond;

template <class Body>
void Timed(benchmark::State& state, const char* name, Body body) {
  double best = 0;
  for (auto _ : state) {
    const double seconds = body();
    state.SetIterationTime(seconds);
    best = std::max(best, kWords / seconds);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kWords);
  gItemsPerSecond[name] = best;
}

// The sorting thread's own CPU time: the machines these run on are shared, and wall time there
// measures the neighbours as much as the sort.
struct ThreadClock {
  using time_point = double;
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
};

double Since(double t0) { return ThreadClock::now() - t0; }

void BM_StdSortOrdinal(benchmark::State& state) {
  Timed(state, "std::sort ordinal", [] {
    std::vector<UnicodeString> v = Words();
    const auto t0 = ThreadClock::now();
    std::sort(v.begin(), v.end());
    const double s = Since(t0);
    benchmark::DoNotOptimize(v.data());
    return s;
  });
}

void BM_StdSortCompareStr(benchmark::State& state) {
  Timed(state, "std::sort CompareStr", [] {
    std::vector<UnicodeString> v = Words();
    const auto t0 = ThreadClock::now();
    std::sort(v.begin(), v.end(),
              [](const UnicodeString& a, const UnicodeString& b) { return kx8::CompareStr(a, b) < 0; });
    const double s = Since(t0);
    benchmark::DoNotOptimize(v.data());
    return s;
  });
}

void BM_StdSortCollation(benchmark::State& state) {
  Timed(state, "std::sort collation", [] {
    TStringList cmp;  // only for its CompareStrings: the same comparison TStringList.Sort uses
    std::vector<UnicodeString> v = Words();
    const auto t0 = ThreadClock::now();
    std::sort(v.begin(), v.end(),
              [&](const UnicodeString& a, const UnicodeString& b) { return cmp.CompareStrings(a, b) < 0; });
    const double s = Since(t0);
    benchmark::DoNotOptimize(v.data());
    return s;
  });
}

void BM_TStringListSort(benchmark::State& state) {
  Timed(state, "TStringList.Sort", [] {
    TStringList list;
    FillList(list);
    const auto t0 = ThreadClock::now();
    list.Sort();
    return Since(t0);
  });
}

void BM_TStringListCustomSortCollation(benchmark::State& state) {
  Timed(state, "CustomSort collation", [] {
    TStringList list;
    FillList(list);
    const auto t0 = ThreadClock::now();
    list.CustomSort([](TStringList& l, int32_t a, int32_t b) {
      return l.CompareStrings(l.StoredString(a), l.StoredString(b));
    });
    return Since(t0);
  });
}

void BM_TStringListCustomSortOrdinal(benchmark::State& state) {
  Timed(state, "CustomSort ordinal", [] {
    TStringList list;
    FillList(list);
    const auto t0 = ThreadClock::now();
    list.CustomSort([](TStringList& l, int32_t a, int32_t b) {
      return kx8::CompareStr(l.StoredString(a), l.StoredString(b));
    });
    return Since(t0);
  });
}

BENCHMARK(BM_StdSortOrdinal)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSortCompareStr)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TStringListCustomSortOrdinal)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdSortCollation)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TStringListSort)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TStringListCustomSortCollation)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

double Ratio(const char* a, const char* b) {
  const auto ia = gItemsPerSecond.find(a), ib = gItemsPerSecond.find(b);
  if (ia == gItemsPerSecond.end() || ib == gItemsPerSecond.end() || ib->second == 0) return 0;
  return ia->second / ib->second;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Words();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\nSorting %d random words (best run, items per CPU second):\n", kWords);
  for (const auto& [name, ips] : gItemsPerSecond) std::printf("  %-22s %12.0f\n", name.c_str(), ips);
  std::printf("Ratios (speed of the first over the second):\n");
  std::printf("  TStringList.Sort / std::sort, same collation:     %.2f\n",
              Ratio("TStringList.Sort", "std::sort collation"));
  std::printf("  CustomSort / std::sort, both collation:           %.2f\n",
              Ratio("CustomSort collation", "std::sort collation"));
  std::printf("  CustomSort / std::sort, both CompareStr:          %.2f\n",
              Ratio("CustomSort ordinal", "std::sort CompareStr"));
  std::printf("  CustomSort CompareStr / std::sort operator<:      %.2f\n",
              Ratio("CustomSort ordinal", "std::sort ordinal"));
  std::printf("  TStringList.Sort (collation) / std::sort ordinal: %.2f\n",
              Ratio("TStringList.Sort", "std::sort ordinal"));
  return 0;
}
