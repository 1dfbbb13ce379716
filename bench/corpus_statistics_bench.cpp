// Corpus statistics from files on disk to figures, beside a plain Python computation of the same figures
// (collections.Counter over the same words) in the same run: collocates of a frequent word in the
// common licences repeated 360 times (about 109 MB), and key words of the first half of that text against
// the second. Each row prints both wall times and the ratio Python/library (5 or more is the goal), then
// checks that every figure of both lists agrees. The library runs with one worker, as Python does.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_texts.h"
#include "kx8rt/corpus/corpus_statistics.h"
#include "kx8rt/platform/char_classes.h"

namespace {

namespace fs = std::filesystem;
using namespace kx8;

using kx8bench::ReadAll;

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// The same words as the word rule on this text (7-bit only): runs of letters and digits, an apostrophe
// between letters and '.' or ',' between digits kept inside; met upper-cased. The formulas are written
// out again from their textbook forms, independently of the library's.
const char* const kScript = R"PY(
import json, math, re, sys
from collections import Counter
WORD = re.compile(r"[^\W_]+(?:(?:(?<=[^\W\d_])['\u2019](?=[^\W\d_])|(?<=\d)[.,\u00b7](?=\d))[^\W_]+)*")

def words(path):
    with open(path, encoding='utf-8') as f:
        return [w.upper() for w in WORD.findall(f.read())]

def cell(o, e):
    return o * math.log(o / e) if o > 0 else 0.0

mode, out = sys.argv[1], sys.argv[2]
result = {}
if mode == 'collocates':
    path, node, L, R, minf = sys.argv[3], sys.argv[4].upper(), int(sys.argv[5]), int(sys.argv[6]), int(sys.argv[7])
    toks = words(path)
    corpus = Counter(toks)
    left, right = Counter(), Counter()
    hits = positions = 0
    for i, w in enumerate(toks):
        if w != node:
            continue
        hits += 1
        l = toks[max(0, i - L):i]
        r = toks[i + 1:i + 1 + R]
        left.update(l)
        right.update(r)
        positions += len(l) + len(r)
    n = len(toks)
    cols = {}
    for w in set(left) | set(right):
        o11 = left[w] + right[w]
        if o11 < minf:
            continue
        c1 = corpus[w]
        e11 = positions * c1 / n
        o12, o21 = max(positions - o11, 0), max(c1 - o11, 0)
        o22 = max(n - positions - c1 + o11, 0)
        e12, e21, e22 = positions * (n - c1) / n, (n - positions) * c1 / n, (n - positions) * (n - c1) / n
        g2 = 2 * (cell(o11, e11) + cell(o12, e12) + cell(o21, e21) + cell(o22, e22))
        if o11 < e11:
            g2 = -g2
        cols[w] = [left[w], right[w], o11, c1, math.log2(o11 / e11), math.log2(o11 ** 3 / e11),
                   (o11 - e11) / math.sqrt(o11), g2, 14 + math.log2(2 * o11 / (hits + c1))]
    result = {'hits': hits, 'tokens': n, 'positions': positions, 'collocates': cols}
else:
    target, reference, minf, maxp = sys.argv[3], sys.argv[4], int(sys.argv[5]), float(sys.argv[6])
    ft, fr = Counter(words(target)), Counter(words(reference))
    c, d = sum(ft.values()), sum(fr.values())
    keys = {}
    for w in set(ft) | set(fr):
        a, b = ft[w], fr[w]
        if a + b < minf:
            continue
        e1, e2 = c * (a + b) / (c + d), d * (a + b) / (c + d)
        g2 = 2 * (cell(a, e1) + cell(b, e2))
        p = math.erfc(math.sqrt(g2 / 2))
        if g2 <= 0 or p > maxp:
            continue
        adjusted = a == 0 or b == 0
        ra, rb = (a or 0.5) / c, (b or 0.5) / d
        keys[w] = [a, b, g2, p, math.log2(ra / rb), (ra - rb) / rb * 100, adjusted]
    result = {'target_tokens': c, 'reference_tokens': d, 'keywords': keys}
with open(out, 'w') as f:
    json.dump(result, f)
)PY";

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)); }

// Runs the script; its wall time, or a negative number when it failed.
double RunPython(const fs::path& script, const std::string& args) {
  const auto t0 = std::chrono::steady_clock::now();
  const std::string cmd = "python3 '" + script.string() + "' " + args;
  const int rc = std::system(cmd.c_str());
  const double s = Seconds(t0);
  return rc == 0 ? s : -1;
}

}  // namespace

int main() {
  if (std::system("python3 --version > /dev/null 2>&1") != 0) {
    std::printf("corpus_statistics_bench: needs python3; skipped\n");
    return 0;
  }
  const fs::path dir = fs::temp_directory_path() / "kx8_statistics_corpus";
  fs::create_directories(dir);
  const fs::path all = dir / "licences.txt", halfA = dir / "half-a.txt", halfB = dir / "half-b.txt";
  const fs::path script = dir / "same_figures.py";
  std::ofstream(script, std::ios::binary) << kScript;
  if (!fs::exists(halfB)) {
    const std::string once = kx8bench::LicenceTexts();
    std::string text;
    text.reserve(once.size() * 360);
    for (int i = 0; i < 360; ++i) text += once;
    std::ofstream(all, std::ios::binary) << text;
    // Halves cut at the line break nearest the middle, so that they differ a little.
    size_t cut = text.size() / 2 + once.size() / 3;
    while (cut < text.size() && text[cut] != '\n') ++cut;
    std::ofstream(halfA, std::ios::binary) << text.substr(0, cut + 1);
    std::ofstream(halfB, std::ios::binary) << text.substr(cut + 1);
  }
  std::printf("corpus: %s, %.1f MB; halves %.1f and %.1f MB\n", all.c_str(), fs::file_size(all) / 1e6,
              fs::file_size(halfA) / 1e6, fs::file_size(halfB) / 1e6);
  std::printf("%-34s %10s %10s %8s  %s\n", "row", "library", "python", "ratio", "figures");

  // ---- collocates of a frequent word ----
  {
    TCollocateOptions o;
    o.search.search_word = u"software";
    o.search.workers = 1;
    o.min_freq = 3;
    const auto t0 = std::chrono::steady_clock::now();
    const TCollocateResult r = CorpusCollocates({Utf8ToUtf16(all.string())}, o, nullptr, nullptr);
    const double lib = Seconds(t0);
    const fs::path out = dir / "collocates.json";
    const double py = RunPython(script, "collocates '" + out.string() + "' '" + all.string() + "' software 5 5 3");
    std::string verdict = "python failed";
    if (py > 0) {
      const auto j = nlohmann::json::parse(ReadAll(out));
      const auto& cols = j["collocates"];
      size_t same = 0, differ = 0;
      for (const TCollocate& c : r.collocates) {
        const std::string w = Utf16ToUtf8(ToUpper(c.word));
        if (!cols.contains(w)) {
          ++differ;
          continue;
        }
        const auto& p = cols[w];
        const bool ok = p[0] == c.left && p[1] == c.right && p[2] == c.total && p[3] == c.corpus_freq &&
                        Near(c.scores.mi, p[4]) && Near(c.scores.mi3, p[5]) && Near(c.scores.t_score, p[6]) &&
                        Near(c.scores.log_likelihood, p[7]) && Near(c.scores.log_dice, p[8]);
        ++(ok ? same : differ);
      }
      const bool totals = j["hits"] == r.node_hits && j["tokens"] == r.totals.tokens &&
                          j["positions"] == r.span_positions && cols.size() == r.collocates.size();
      char b[256];
      std::snprintf(b, sizeof b, "%s: %zu collocates agree, %zu differ (%lld hits, %lld tokens)",
                    totals && differ == 0 ? "identical" : "DIFFERENT", same, differ, static_cast<long long>(r.node_hits),
                    static_cast<long long>(r.totals.tokens));
      verdict = b;
      for (size_t i = 0; i < std::min<size_t>(3, r.collocates.size()); ++i) {
        const TCollocate& c = r.collocates[i];
        const auto& p = cols[Utf16ToUtf8(ToUpper(c.word))];
        std::printf("    %-12s total %lld/%lld  MI %.6f/%.6f  G2 %.4f/%.4f  logDice %.6f/%.6f\n",
                    Utf16ToUtf8(c.word).c_str(), static_cast<long long>(c.total), p[2].get<long long>(), c.scores.mi,
                    p[4].get<double>(), c.scores.log_likelihood, p[7].get<double>(), c.scores.log_dice,
                    p[8].get<double>());
      }
    }
    std::printf("%-34s %9.2fs %9.2fs %8.1f  %s\n", "collocates of software, L5..R5", lib, py, py / lib, verdict.c_str());
  }

  // ---- key words of one half against the other ----
  {
    TKeywordOptions o;
    o.max_p = 1;  // every word weighed, so that every figure of the halves is compared
    const auto t0 = std::chrono::steady_clock::now();
    const TKeywordResult r =
        CorpusKeywords({Utf8ToUtf16(halfA.string())}, {Utf8ToUtf16(halfB.string())}, o, nullptr, nullptr);
    const double lib = Seconds(t0);
    const fs::path out = dir / "keywords.json";
    const double py = RunPython(script, "keywords '" + out.string() + "' '" + halfA.string() + "' '" + halfB.string() +
                                            "' 3 " + std::to_string(o.max_p));
    std::string verdict = "python failed";
    if (py > 0) {
      const auto j = nlohmann::json::parse(ReadAll(out));
      const auto& keys = j["keywords"];
      size_t same = 0, differ = 0;
      for (const TKeyword& k : r.keywords) {
        const std::string w = Utf16ToUtf8(ToUpper(k.word));
        if (!keys.contains(w)) {
          ++differ;
          continue;
        }
        const auto& p = keys[w];
        const bool ok = p[0] == k.freq_target && p[1] == k.freq_reference && Near(k.scores.log_likelihood, p[2]) &&
                        Near(k.scores.p, p[3]) && Near(k.scores.log_ratio, p[4]) && Near(k.scores.percent_diff, p[5]) &&
                        p[6] == k.scores.adjusted;
        ++(ok ? same : differ);
      }
      const bool totals = j["target_tokens"] == r.target.tokens && j["reference_tokens"] == r.reference.tokens &&
                          keys.size() == r.keywords.size();
      char b[256];
      std::snprintf(b, sizeof b, "%s: %zu key words agree, %zu differ (%lld and %lld tokens)",
                    totals && differ == 0 ? "identical" : "DIFFERENT", same, differ,
                    static_cast<long long>(r.target.tokens), static_cast<long long>(r.reference.tokens));
      verdict = b;
      for (size_t i = 0; i < std::min<size_t>(3, r.keywords.size()); ++i) {
        const TKeyword& k = r.keywords[i];
        const auto& p = keys[Utf16ToUtf8(ToUpper(k.word))];
        std::printf("    %-12s %lld/%lld against %lld/%lld  G2 %.6f/%.6f  LogRatio %.6f/%.6f\n",
                    Utf16ToUtf8(k.word).c_str(), static_cast<long long>(k.freq_target), p[0].get<long long>(),
                    static_cast<long long>(k.freq_reference), p[1].get<long long>(), k.scores.log_likelihood,
                    p[2].get<double>(), k.scores.log_ratio, p[4].get<double>());
      }
    }
    std::printf("%-34s %9.2fs %9.2fs %8.1f  %s\n", "key words, half against half (all)", lib, py, py / lib, verdict.c_str());
  }
  return 0;
}
