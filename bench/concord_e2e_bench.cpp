// kx8 concord end to end, as a user runs it: from files on disk to printed lines (sent to /dev/null),
// beside rg -c -i -w on the same files in the same run. The corpus is the common licences repeated 360
// times (about 109 MB), its UTF-16 LE copy with signature, and the same text split into 10,000 files;
// a 436 MB file (four copies) checks that memory stays bounded. Each row prints the best wall time of
// five runs of kx8 and of rg taken in turn, the ratio rg/kx8 (1.0 or more: kx8 is as fast) and kx8's
// peak RSS. The
// -j1 rows set kx8 with one worker against rg with one thread; the all-core rows let both use every
// core. Build with make bench; it needs rg (ripgrep) on the path.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench_texts.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/platform/zip.h"

namespace {

namespace fs = std::filesystem;

using kx8bench::RunOnce;
using kx8bench::RunResult;

// Takes a run into the best so far: the shortest time, the highest peak RSS.
void KeepBest(RunResult& best, const RunResult& r) {
  best.seconds = std::min(best.seconds, r.seconds);
  best.maxRssKb = std::max(best.maxRssKb, r.maxRssKb);
  best.status = r.status;
}

RunResult Best(const std::vector<std::string>& args, int runs = 3) {
  RunResult best;
  best.seconds = 1e9;
  for (int i = 0; i < runs; ++i) KeepBest(best, RunOnce(args));
  return best;
}

// The best of five runs of each of two commands, taken in turn, so that a slow spell of the machine
// falls on both alike and the ratio holds.
void BestOfPair(const std::vector<std::string>& a, const std::vector<std::string>& b, RunResult& bestA, RunResult& bestB,
                int runs = 5) {
  bestA = RunResult();
  bestB = RunResult();
  bestA.seconds = bestB.seconds = 1e9;
  for (int i = 0; i < runs; ++i) {
    KeepBest(bestA, RunOnce(a));
    KeepBest(bestB, RunOnce(b));
  }
}

using kx8bench::ReadAll;

std::string Utf16le(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  out.reserve(utf8.size() * 2 + 2);
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) cp = c, extra = 0;
    else if (c >= 0xF0) cp = c & 0x07, extra = 3;
    else if (c >= 0xE0) cp = c & 0x0F, extra = 2;
    else cp = c & 0x1F, extra = 1;
    ++i;
    for (int k = 0; k < extra && i < utf8.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    auto unit = [&](char16_t u) {
      out += static_cast<char>(u & 0xFF);
      out += static_cast<char>(u >> 8);
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(static_cast<char16_t>(0xD800 + (cp >> 10)));
      unit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      unit(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path self = fs::read_symlink("/proc/self/exe");
  const std::string kx8 = argc > 1 ? argv[1] : (self.parent_path() / "tools" / "kx8" / "kx8").string();
  if (!fs::exists(kx8) || std::system("rg --version > /dev/null 2>&1") != 0) {
    std::printf("concord_e2e_bench: needs %s and rg; skipped\n", kx8.c_str());
    return 0;
  }
  const fs::path dir = fs::temp_directory_path() / "kx8_e2e_corpus";
  fs::create_directories(dir);
  const fs::path utf8File = dir / "licences.txt", utf16File = dir / "licences-utf16.txt", bigFile = dir / "licences4.txt";
  const fs::path folder = dir / "split";
  if (!fs::exists(utf8File)) {
    const std::string once = kx8bench::LicenceTexts();
    std::string all;
    all.reserve(once.size() * 360);
    for (int i = 0; i < 360; ++i) all += once;
    std::ofstream(utf8File, std::ios::binary) << all;
    std::ofstream(utf16File, std::ios::binary) << Utf16le(all);
    {
      std::ofstream big(bigFile, std::ios::binary);
      for (int i = 0; i < 4; ++i) big << all;
    }
    fs::create_directories(folder);
    const size_t piece = all.size() / 10000 + 1;
    for (size_t k = 0, at = 0; at < all.size(); ++k) {
      size_t end = std::min(all.size(), at + piece);
      while (end < all.size() && all[end] != '\n') ++end;  // whole lines per file
      char name[32];
      std::snprintf(name, sizeof name, "t%05zu.txt", k);
      std::ofstream(folder / name, std::ios::binary) << all.substr(at, end - at);
      at = end;
    }
  }
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  struct Row {
    const char* label;
    std::string word, rgPattern;
    fs::path path;
  };
  const std::vector<Row> rows = {
      {"the, UTF-8", "the", "the", utf8File},
      {"warranty, UTF-8", "warranty", "warranty", utf8File},
      {"absent word, UTF-8", "zyzzogeton", "zyzzogeton", utf8File},
      {"licen*, UTF-8", "licen*", "licen\\w*", utf8File},
      {"\"free software\", UTF-8", "free software", "free\\s+software", utf8File},
      {"the, UTF-16", "the", "the", utf16File},
      {"the, 10,000 files", "the", "the", folder},
      {"warranty, 10,000 files", "warranty", "warranty", folder},
  };
  std::printf("kx8 concord end to end (lines to /dev/null) against rg -c -i -w, best of 5 wall times taken in turn; %u cores\n", cores);
  std::printf("%-24s %8s %8s %7s %9s | %8s %8s %7s %9s\n", "row", "kx8 -j1", "rg -j1", "rg/kx8", "kx8 RSS", "kx8 -jN",
              "rg", "rg/kx8", "kx8 RSS");
  for (const Row& r : rows) {
    RunResult k1, g1, kn, gn;
    BestOfPair({kx8, "concord", "-j1", r.word, r.path.string()}, {"rg", "-j1", "-c", "-i", "-w", r.rgPattern, r.path.string()},
               k1, g1);
    BestOfPair({kx8, "concord", "-j" + std::to_string(cores), r.word, r.path.string()},
               {"rg", "-c", "-i", "-w", r.rgPattern, r.path.string()}, kn, gn);
    std::printf("%-24s %7.3fs %7.3fs %7.2f %6ld MB | %7.3fs %7.3fs %7.2f %6ld MB\n", r.label, k1.seconds, g1.seconds,
                g1.seconds / k1.seconds, k1.maxRssKb / 1024, kn.seconds, gn.seconds, gn.seconds / kn.seconds,
                kn.maxRssKb / 1024);
  }
  // The same 10,000 texts as entries of one archive: read in place, the archive opened once per worker.
  const fs::path archive = dir / "split.zip";
  if (!fs::exists(archive)) {
    std::vector<kx8::UnicodeString> files;
    for (const auto& e : fs::directory_iterator(folder)) files.push_back(kx8::Utf8ToUtf16(e.path().string()));
    std::sort(files.begin(), files.end());
    kx8::TZipArchive zip;
    zip.CreateArchive(kx8::Utf8ToUtf16(archive.string()), files, kx8::zsp_no_path);
  }
  const RunResult zf = Best({kx8, "concord", "-j1", "warranty", folder.string()});
  const RunResult zz = Best({kx8, "concord", "-j1", "warranty", archive.string()});
  std::printf("warranty, 10,000 texts -j1: folder %.3fs, zip archive %.3fs (zip/folder %.2f), peak RSS %ld MB\n",
              zf.seconds, zz.seconds, zz.seconds / zf.seconds, zz.maxRssKb / 1024);
  // Memory must not grow with the text or the hits: a file four times the size.
  const RunResult b1 = Best({kx8, "concord", "-j1", "the", bigFile.string()}, 1);
  const RunResult bn = Best({kx8, "concord", "-j" + std::to_string(cores), "the", bigFile.string()}, 1);
  std::printf("the, 436 MB file: -j1 %.3fs, peak RSS %ld MB; -j%u %.3fs, peak RSS %ld MB\n", b1.seconds,
              b1.maxRssKb / 1024, cores, bn.seconds, bn.maxRssKb / 1024);
  return 0;
}
