// SimpleTallierOfTxt over a 100 MB English text, beside a plain std::unordered_map count of the same
// text and the shell's `tr -cs 'A-Za-z' '\n' | sort | uniq -c`, in MB/s of the text's bytes.
//
// The text is English prose gathered from the licence and copyright texts on this machine (or the file
// named by KX8_BENCH_TEXT), cut to ASCII and repeated up to 100 MB; the tallier's token total is checked
// against the map's. tr counts letter runs only, so its lines differ where digits stand in words.
#include <benchmark/benchmark.h>

#include <kx8rt/strings/word_lists.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include <unistd.h>

#include "bench_texts.h"

namespace fs = std::filesystem;
using namespace kx8;

namespace {

constexpr size_t kTextBytes = 100u << 20;
std::string gTextPath;  // the text's file once written, removed at the end

struct TBenchText {
  std::string bytes;       // ASCII
  UnicodeString text;      // the same as UTF-16
  std::string path;        // the same on disk, for the shell pipeline
};

using kx8bench::ReadAll;

const TBenchText& BenchText() {
  static const TBenchText t = [] {
    std::string seed;
    if (const char* given = std::getenv("KX8_BENCH_TEXT")) seed = ReadAll(given);
    std::error_code ec;
    for (const char* dir : {"/usr/share/common-licenses", "/usr/share/doc"}) {
      if (!seed.empty() && std::getenv("KX8_BENCH_TEXT")) break;
      for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
           it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && (name == "copyright" || it->path().parent_path() == dir)) seed += ReadAll(it->path()) + "\n";
      }
    }
    if (seed.empty()) seed = "The quick brown fox jumps over the lazy dog 42 times.\n";
    for (char& c : seed)
      if (static_cast<unsigned char>(c) >= 0x80 || c == '\0') c = ' ';
    TBenchText out;
    out.bytes.reserve(kTextBytes + seed.size());
    while (out.bytes.size() < kTextBytes) out.bytes += seed;
    out.bytes.resize(kTextBytes);
    out.text.assign(out.bytes.begin(), out.bytes.end());
    out.path = (fs::temp_directory_path() / ("kx8_tallier_bench_" + std::to_string(getpid()) + ".txt")).string();
    gTextPath = out.path;
    std::ofstream(out.path, std::ios::binary).write(out.bytes.data(), static_cast<std::streamsize>(out.bytes.size()));
    return out;
  }();
  return t;
}

// Words as the tallier sees ASCII text: runs of letters and digits, case folded.
size_t MapCount(const std::string& bytes, std::unordered_map<std::string, int>& counts) {
  size_t tokens = 0;
  std::string word;
  for (size_t i = 0; i <= bytes.size(); ++i) {
    const unsigned char c = i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : ' ';
    if (std::isalnum(c)) {
      word += static_cast<char>(std::toupper(c));
    } else if (!word.empty()) {
      ++counts[word];
      ++tokens;
      word.clear();
    }
  }
  return tokens;
}

void BM_SimpleTallierOfTxt(benchmark::State& state) {
  const TBenchText& t = BenchText();
  const bool byFrequency = state.range(0) != 0;
  int32_t tokens = 0, types = 0;
  for (auto _ : state) {
    const TStringListAndInteger r = SimpleTallierOfTxt(t.text, 1, byFrequency);
    tokens = r.n;
    types = r.SLIst->Count();
    delete r.SLIst;
  }
  std::unordered_map<std::string, int> counts;
  if (static_cast<size_t>(tokens) != MapCount(t.bytes, counts) || static_cast<size_t>(types) != counts.size())
    state.SkipWithError("token or type totals differ from the map's");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bytes.size()));
  state.counters["tokens"] = tokens;
  state.counters["types"] = types;
}
BENCHMARK(BM_SimpleTallierOfTxt)->Arg(1)->Arg(0)->ArgName("by_frequency")->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UnorderedMapCount(benchmark::State& state) {
  const TBenchText& t = BenchText();
  size_t tokens = 0, types = 0;
  for (auto _ : state) {
    std::unordered_map<std::string, int> counts;
    tokens = MapCount(t.bytes, counts);
    types = counts.size();
    benchmark::DoNotOptimize(counts);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bytes.size()));
  state.counters["tokens"] = static_cast<double>(tokens);
  state.counters["types"] = static_cast<double>(types);
}
BENCHMARK(BM_UnorderedMapCount)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TrSortUniq(benchmark::State& state) {
  const TBenchText& t = BenchText();
  const std::string command = "LC_ALL=C tr -cs 'A-Za-z' '\\n' < '" + t.path + "' | LC_ALL=C sort | uniq -c > /dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("tr | sort | uniq -c failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.bytes.size()));
}
BENCHMARK(BM_TrSortUniq)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  if (!gTextPath.empty()) fs::remove(gTextPath, ec);
  return 0;
}
