// Walking an archive against walking the same texts in a folder, through TPeruseDir: archives of
// 1,000 to 10,000 tiny entries (entries per second should not fall as the archive grows: the walk is
// linear), and a summary of 10,000 entries zipped against 10,000 files in one folder with the ratio of
// their rates (the aim: the archive within 2x of the folder). The texts are made once in /tmp and
// deleted at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "kx8rt/files/perusedir.h"

namespace fs = std::filesystem;
using namespace kx8;

namespace {

constexpr int kSizes[] = {1000, 2000, 5000, 10000};

const fs::path& Root() {
  static const fs::path root = fs::path("/tmp") / ("kx8_zip_walk_bench_" + std::to_string(::getpid()));
  return root;
}

// Built with append rather than operator+, which g++ 12 warns about falsely in optimised builds.
std::string EntryName(int e) {
  std::string name = "e";
  name.append(std::to_string(e)).append(".txt");
  return name;
}
std::string EntryText(int e) { return "text number " + std::to_string(e) + "\n"; }

// One archive per size (each in a folder of its own) and one folder of the 10,000 texts themselves.
void MakeTexts() {
  fs::remove_all(Root());
  for (int n : kSizes) {
    const fs::path d = Root() / ("zip" + std::to_string(n));
    fs::create_directories(d);
    int err = 0;
    zip_t* za = zip_open((d / "texts.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    for (int e = 0; e < n; ++e) {
      const std::string text = EntryText(e);
      char* copy = static_cast<char*>(std::malloc(text.size()));
      std::copy(text.begin(), text.end(), copy);
      zip_source_t* src = zip_source_buffer(za, copy, text.size(), 1);  // libzip frees the copy
      if (zip_file_add(za, EntryName(e).c_str(), src, ZIP_FL_ENC_UTF_8) < 0) zip_source_free(src);
    }
    zip_close(za);
  }
  const fs::path folder = Root() / "folder";
  fs::create_directories(folder);
  for (int e = 0; e < 10000; ++e) std::ofstream(folder / EntryName(e)) << EntryText(e);
}

// One walk of a folder (its archives only when zips); the number of texts found.
int64_t Walk(const fs::path& folder, bool zips) {
  TPeruseDir walker(u"*.txt", u"*", u"*.txt", u"", u"", true, zips, false, false, false, false);
  TMySearchRecList list;
  walker.HandleAllFilesIn(Utf8ToUtf16(folder.string()), &list);
  return list.Count();
}

void BM_ZipWalk(benchmark::State& state) {
  const fs::path d = Root() / ("zip" + std::to_string(state.range(0)));
  int64_t found = 0;
  for (auto _ : state) found = Walk(d, true);
  if (found != state.range(0)) state.SkipWithError("wrong count");
  state.counters["entries/s"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FolderWalk(benchmark::State& state) {
  int64_t found = 0;
  for (auto _ : state) found = Walk(Root() / "folder", false);
  if (found != 10000) state.SkipWithError("wrong count");
  state.counters["files/s"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ZipWalk)->Arg(1000)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FolderWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

// The best of some walks, in texts per second.
double Rate(const fs::path& folder, bool zips) {
  double best = 1e30;
  int64_t found = 0;
  for (int i = 0; i < 7; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    found = Walk(folder, zips);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return static_cast<double>(found) / best;
}

}  // namespace

int main(int argc, char** argv) {
  MakeTexts();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double zipRate = Rate(Root() / "zip10000", true), folderRate = Rate(Root() / "folder", false);
  std::printf("\n10,000 texts through TPeruseDir: zipped %.0f entries/s, in a folder %.0f files/s; "
              "the folder is %.2fx the archive (aim: at most 2x)\n",
              zipRate, folderRate, folderRate / zipRate);
  fs::remove_all(Root());
  return 0;
}
