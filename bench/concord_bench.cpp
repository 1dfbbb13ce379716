// Concordancing a 100 MB UTF-16 English text with the search-and-do engine, from the bare buffer
// (classifying it into type words, the middle-character and number rules) to the found events, for a
// frequent word ("the"), a wildcard word ("licen*") and an absent one. The text is built by repeating
// the licence texts and the plain-text documents found under /usr/share/doc. Figures are MB of the text
// as UTF-8 per second, so that they stand beside "grep -c -i -w" and "rg -c -i -w" over the same text as
// UTF-8, run in the same process afterwards. All figures are CPU time (the machine may be shared).
// Last, the peak memory of "kx8 concord" on the UTF-16 file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/search/search_engines.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/text_primitives/char_types.h"

namespace {

namespace fs = std::filesystem;
using namespace kx8;

constexpr size_t kTextBytes = 100u * 1024 * 1024;

struct Corpus {
  std::string utf8;
  UnicodeString text;
  fs::path utf8File, utf16File;

  Corpus() {
    std::vector<fs::path> sources;
    for (const char* root : {"/usr/share/common-licenses", "/usr/share/doc"}) {
      std::error_code ec;
      for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
           it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file(ec) && it->path().extension() != ".gz") sources.push_back(it->path());
      }
    }
    std::sort(sources.begin(), sources.end());
    std::string distinct;
    for (const auto& p : sources) {
      std::ifstream in(p, std::ios::binary);
      std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      // Plain text only: no NULs, and mostly printable.
      if (b.empty() || b.find('\0') != std::string::npos) continue;
      const auto printable = std::count_if(b.begin(), b.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\r' || c == '\t';
      });
      if (printable < static_cast<long>(b.size()) * 98 / 100) continue;
      distinct += b;
      distinct += '\n';
    }
    // Valid UTF-8 both ways, so grep and the engine see the same characters.
    distinct = Utf16ToUtf8(Utf8ToUtf16(distinct));
    while (utf8.size() < kTextBytes) utf8 += distinct;
    // Exactly 100 MB or a little less: cut at the last line break before it.
    utf8.resize(utf8.rfind('\n', kTextBytes) + 1);
    text = Utf8ToUtf16(utf8);
    const fs::path dir = fs::temp_directory_path();
    utf8File = dir / ("kx8_concord_bench_" + std::to_string(::getpid()) + ".txt");
    utf16File = dir / ("kx8_concord_bench_" + std::to_string(::getpid()) + ".utf16.txt");
    std::ofstream(utf8File, std::ios::binary).write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
    std::ofstream o16(utf16File, std::ios::binary);
    o16.write("\xFF\xFE", 2);
    o16.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * 2));
    std::fprintf(stderr, "corpus: %zu source files, %zu bytes distinct, %.1f MB UTF-8, %.1f MB UTF-16\n",
                 sources.size(), distinct.size(), utf8.size() / 1e6, text.size() * 2 / 1e6);
  }
  ~Corpus() {
    std::error_code ec;
    fs::remove(utf8File, ec);
    fs::remove(utf16File, ec);
  }
};

Corpus& TheCorpus() {
  static Corpus c;
  return c;
}

// One concordance pass: buffer in, found events out. The event keeps what a concordancer keeps per hit.
// A tool keeps one engine for a whole corpus, so its type array is allocated once; a fresh engine with
// no memory kept from earlier texts shows what the first text of a run costs.
int64_t Concordance(const UnicodeString& text, const UnicodeString& typed, bool freshEngine) {
  TIgnore_tag tags{};
  UnicodeString s = typed;
  TSearch_word_format_rec rec;
  Parsed_SearchWord(tags, s, rec);
  int64_t hits = 0, posSum = 0;
  static TSearchAndDoEngine kept(LOCALE_DEFAULT_LCID);
  std::unique_ptr<TSearchAndDoEngine> fresh;
  if (freshEngine) {
    ReleaseKeptLargeBuffers();
    fresh = std::make_unique<TSearchAndDoEngine>(LOCALE_DEFAULT_LCID);
  }
  TSearchAndDoEngine& engine = freshEngine ? *fresh : kept;
  engine.BufferFormat = fc_UTF16;
  engine.PrepareFirst(text.c_str(), static_cast<int32_t>(std::min<size_t>(INT32_MAX, text.size() * 2)), 0,
                      [&](TSearchAndDoEngine&, const TSearchFound_Rec& f) {
                        ++hits;
                        posSum += f.hit_pos_in_characters + f.count_stats.number[word_stats];
                        return true;
                      },
                      {});
  const int32_t n = engine.BufferLength();
  engine.HandleAllowables(u"'", false, false);
  HandleMiddleCharsInNumbers(true, false, text.c_str(), engine.BufferDetails.data(), n);
  engine.SearchAndDo(&rec);
  benchmark::DoNotOptimize(posSum);
  return hits;
}

void BM_Concordance(benchmark::State& state, const char16_t* word, bool freshEngine) {
  const Corpus& c = TheCorpus();
  int64_t hits = 0;
  Concordance(c.text, word, false);  // the kept engine's array, allocated once as over a corpus
  for (auto _ : state) hits = Concordance(c.text, word, freshEngine);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.utf8.size()));
  state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK_CAPTURE(BM_Concordance, frequent_the, u"the", false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Concordance, wildcard_licen, u"licen*", false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Concordance, absent_zqxjv, u"zqxjv", false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Concordance, frequent_the_fresh_engine, u"the", true)->Unit(benchmark::kMillisecond)->Iterations(3);

double ChildrenCpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Runs a shell command three times; the best CPU time (user + system of the children, as the engine's
// figures are CPU time: the machine may be shared) in seconds and its first output line.
double TimedCommand(const std::string& cmd, std::string& out) {
  double best = 1e9;
  for (int k = 0; k < 3; ++k) {
    const double t0 = ChildrenCpuSeconds();
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char line[256] = {};
    out = std::fgets(line, sizeof line, p) ? line : "";
    while (std::fgets(line, sizeof line, p)) {
    }
    pclose(p);
    best = std::min(best, ChildrenCpuSeconds() - t0);
  }
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TheCorpus();
  // The engine's figures, kept for the closing note.
  struct Reporter : benchmark::ConsoleReporter {
    std::vector<std::pair<std::string, double>> rates;
    void ReportRuns(const std::vector<Run>& runs) override {
      for (const auto& r : runs) {
        const auto it = r.counters.find("bytes_per_second");
        if (it != r.counters.end()) rates.emplace_back(r.benchmark_name(), it->second.value / 1e6);
      }
      ConsoleReporter::ReportRuns(runs);
    }
  } reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  const Corpus& c = TheCorpus();
  const double mb = c.utf8.size() / 1e6;
  struct Baseline {
    const char* name;  // the engine's benchmark it stands beside
    const char* tool;
    std::string cmd;
  } baselines[] = {
      {"frequent_the/", "grep", "grep -c -i -w the " + c.utf8File.string()},
      {"frequent_the/", "rg", "rg -c -i -w the " + c.utf8File.string()},
      {"wildcard_licen", "grep", "grep -c -i -w -E 'licen[[:alnum:]]*' " + c.utf8File.string()},
      {"wildcard_licen", "rg", "rg -c -i -w 'licen\\w*' " + c.utf8File.string()},
      {"absent_zqxjv", "grep", "grep -c -i -w zqxjv " + c.utf8File.string()},
      {"absent_zqxjv", "rg", "rg -c -i -w zqxjv " + c.utf8File.string()},
  };
  std::printf("\nbaselines over the same text as UTF-8 (%.1f MB), CPU time, best of 3:\n", mb);
  for (const Baseline& b : baselines) {
    if (std::system((std::string("command -v ") + b.tool + " >/dev/null 2>&1").c_str()) != 0) {
      std::printf("  %-15s %s not installed\n", b.name, b.tool);
      continue;
    }
    std::string out;
    const double s = TimedCommand(b.cmd + " 2>/dev/null", out);
    const double rate = s > 0 ? mb / s : 0;
    double engineRate = 0;
    for (const auto& [name, r] : reporter.rates)
      if (name.find(b.name) != std::string::npos) engineRate = r;
    std::printf("  %-15s %-4s %.3f s = %4.0f MB/s (%s matching lines); engine %4.0f MB/s; engine/%s = %.2f\n", b.name,
                b.tool, s, rate, out.empty() ? "0" : out.c_str(), engineRate, b.tool, rate > 0 ? engineRate / rate : 0.0);
  }
  std::printf("  (the tools count matching lines, the engine every hit, overlapping hits included)\n");

  // Peak memory of the command-line concordancer on the UTF-16 file.
  const fs::path kx8 = fs::path(argv[0]).parent_path() / "tools" / "kx8" / "kx8";
  if (fs::exists(kx8)) {
    const std::string cmd = kx8.string() + " concord 'licen*' " + c.utf16File.string() + " > /dev/null";
    if (fs::exists("/usr/bin/time")) {
      std::string out;
      TimedCommand("/usr/bin/time -f 'peak %M KB, %e s' sh -c \"" + cmd + "\" 2>&1 | tail -1", out);
      std::printf("\nkx8 concord 'licen*' on the %.0f MB UTF-16 file: %s\n", c.text.size() * 2 / 1e6, out.c_str());
    } else {
      const int rc = std::system(cmd.c_str());
      rusage ru{};
      getrusage(RUSAGE_CHILDREN, &ru);
      std::printf("\nkx8 concord (exit %d): peak %ld KB\n", rc, ru.ru_maxrss);
    }
  } else {
    std::printf("\n(kx8 not built beside the benchmarks: no peak-memory figure)\n");
  }
  benchmark::Shutdown();
  return 0;
}
