// Word segmentation's cost: a concordance of a common word over a Chinese text of at least 20 MB (the
// translated messages of the installed packages' Chinese catalogues, repeated), one of those of its
// lines that are sentences (20 characters or more, mostly Han letters), one of its lines that are
// three quarters Han letters or more, one of Han words alone drawn from ICU's dictionary, a Japanese
// one made the same way as the first, and an English one of the same size, with segmentation on (auto)
// and off, in characters per second of CPU time. The catalogues repeat a few hundred thousand
// characters, so that their cut meets few words and finds them in the caches; the dictionary's text has
// the wide vocabulary of real prose, and nothing but Han letters and the commas and stops between its
// clauses.
// With segmentation, the first search of a text (its cut windows not yet kept) and a search again (they
// are). Then the same searches end to end, as a user runs kx8 concord (every core, wall time, lines
// printed). Text without Chinese, Japanese, Thai, Lao, Khmer or Myanmar letters must cost the same
// either way; a fully Chinese text should keep at least half its speed.
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unicode/ucharstrie.h>
#include <unicode/udata.h>
#include <unicode/unistr.h>

#include <cmath>
#include <random>

#include "bench_texts.h"
#include "kx8rt/corpus/concordance.h"
#include "kx8rt/corpus/word_start_cache.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/text_primitives/utf8_unit.h"

namespace {

namespace fs = std::filesystem;

double CpuSeconds() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

using kx8bench::ReadAll;

uint32_t Le32(const std::string& b, size_t at) {
  if (at + 4 > b.size()) return 0;
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

// The translated strings of the compiled message catalogues in a folder (those in UTF-8: a few
// catalogues are in other encodings).
std::string CatalogueText(const fs::path& folder) {
  std::string out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    if (e.path().extension() != ".mo") continue;
    const std::string b = ReadAll(e.path());
    if (Le32(b, 0) != 0x950412deu) continue;
    const uint32_t n = Le32(b, 8), table = Le32(b, 16);
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t len = Le32(b, table + 8 * i), at = Le32(b, table + 8 * i + 4);
      if (at + len > b.size() || len == 0) continue;
      std::string s = b.substr(at, len);
      if (!kx8::IsValidUTF8(reinterpret_cast<const uint8_t*>(s.data()), s.size())) continue;
      std::replace(s.begin(), s.end(), '\0', '\n');
      out += s;
      out += '\n';
    }
  }
  return out;
}

// The lines of text of at least minChars characters of which at least the share han are Han letters.
std::string HanLines(const std::string& text, size_t minChars, double han) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    size_t chars = 0, letters = 0;
    for (size_t i = at; i < end; ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      if ((b & 0xC0) == 0x80) continue;
      ++chars;
      if ((b & 0xF0) == 0xE0 && i + 2 < end) {
        const uint32_t c = (b & 0x0Fu) << 12 | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6 |
                           (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        letters += c >= 0x4E00 && c <= 0x9FFF;
      }
    }
    if (chars > 0 && chars >= minChars && static_cast<double>(letters) >= han * static_cast<double>(chars))
      out.append(text, at, end - at).push_back('\n');
    at = end + 1;
  }
  return out;
}

// Text of at least bytes of Han words of ICU's Chinese and Japanese dictionary, drawn as the words of
// prose fall: the k-th of them by cost (the dictionary's measure of how rare a word is) with a weight of
// 1 / k^1.1, their mean length about 1.4 letters as in running Chinese. Clauses of 3 to 12 words end
// in a comma or, after one to four, a stop; a line holds about four sentences. Empty without the
// dictionary.
std::string DictionaryWordsText(size_t bytes) {
  UErrorCode status = U_ZERO_ERROR;
  UDataMemory* file = udata_open(U_ICUDATA_NAME U_TREE_SEPARATOR_STRING "brkitr", "dict", "cjdict", &status);
  if (U_FAILURE(status) || !file) return {};
  const auto* indexes = static_cast<const int32_t*>(udata_getMemory(file));
  std::vector<std::string> words;
  std::vector<int32_t> costs;
  if (indexes && (indexes[4] & 7) == 1 && indexes[0] >= 32) {
    const auto* trie = reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(indexes) + indexes[0]);
    icu::UCharsTrie::Iterator it(trie, 0, status);
    while (U_SUCCESS(status) && it.next(status)) {
      const icu::UnicodeString& w = it.getString();
      bool han = !w.isEmpty();
      for (int32_t i = 0; i < w.length() && han; ++i) han = w[i] >= 0x4E00 && w[i] <= 0x9FFF;
      if (!han) continue;
      std::string utf8;
      words.push_back(w.toUTF8String(utf8));
      costs.push_back(it.getValue());
    }
  }
  udata_close(file);
  if (words.empty()) return {};
  std::vector<size_t> rank(words.size());
  for (size_t i = 0; i < rank.size(); ++i) rank[i] = i;
  std::stable_sort(rank.begin(), rank.end(), [&](size_t a, size_t b) { return costs[a] < costs[b]; });
  std::vector<double> weights(words.size());
  for (size_t k = 0; k < rank.size(); ++k) weights[rank[k]] = 1.0 / std::pow(static_cast<double>(k + 1), 1.1);
  std::mt19937_64 random(42);
  std::discrete_distribution<size_t> word(weights.begin(), weights.end());
  std::uniform_int_distribution<int> clauseWords(3, 12), sentenceClauses(1, 4);
  std::string out;
  while (out.size() < bytes) {
    const int clauses = sentenceClauses(random);
    for (int c = 0; c < clauses; ++c) {
      for (int k = clauseWords(random); k > 0; --k) out += words[word(random)];
      out += c + 1 < clauses ? "\xEF\xBC\x8C" : "\xE3\x80\x82";  // ， and 。
    }
    if (random() % 4 == 0) out += '\n';
  }
  out += '\n';
  return out;
}

// One concordance's characters per CPU second.
double Rate(const std::string& file, const char16_t* word, bool segment, int64_t& chars) {
  kx8::TConcordanceOptions o;
  o.search_word = word;
  o.word_rule.segment = segment;
  o.workers = 1;
  const double t0 = CpuSeconds();
  const auto totals = kx8::TConcordancer(o).Run({kx8::Utf8ToUtf16(file)}, [](const kx8::TConcordanceHit&) {}, nullptr, nullptr);
  const double t = CpuSeconds() - t0;
  chars = totals.characters;
  return static_cast<double>(chars) / std::max(t, 1e-9);
}

// The best rates of five runs of each kind, taken in turn, so that the machine's speed drifting in
// between weighs on all alike: with segmentation, the first search (the cache of cut windows emptied
// before it) and a search again; and without.
void Rates(const std::string& file, const char16_t* word, double& first, double& again, double& off, int64_t& chars) {
  first = again = off = 0;
  for (int run = 0; run < 5; ++run) {
    kx8::TWordStartCache::Process().Clear();
    first = std::max(first, Rate(file, word, true, chars));
    again = std::max(again, Rate(file, word, true, chars));
    off = std::max(off, Rate(file, word, false, chars));
  }
}

// The spaces that fill label out to width columns of a terminal (a Chinese or Japanese letter, three
// bytes of UTF-8, takes two).
int Pad(const char* label, int width) {
  int columns = 0;
  for (const char* p = label; *p; ++p) {
    const auto b = static_cast<unsigned char>(*p);
    if ((b & 0xC0) != 0x80) columns += b >= 0xE0 ? 2 : 1;
  }
  return std::max(0, width - columns);
}

// kx8 concord as a user runs it, from the file to printed lines (to /dev/null) with every core, in
// characters per second of wall time: the best of five runs of each kind, taken in turn (the cache of
// cut windows emptied before each first search).
void EndToEndRates(const std::string& kx8, const std::string& file, const std::string& word, int64_t chars,
                   double& first, double& again, double& off) {
  first = again = off = 0;
  auto rate = [&](const char* segment) {
    const kx8bench::RunResult r = kx8bench::RunOnce({kx8, "concord", "--segment", segment, word, file});
    // (Exit status 1 is a search that found nothing: a whole clause is one word without the cut.)
    return r.status == 0 || r.status == 1 ? static_cast<double>(chars) / std::max(r.seconds, 1e-9) : 0.0;
  };
  for (int run = 0; run < 5; ++run) {
    kx8::TWordStartCache::Process().Clear();
    first = std::max(first, rate("auto"));
    again = std::max(again, rate("auto"));
    off = std::max(off, rate("off"));
  }
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / "kx8_segmentation_bench";
  fs::create_directories(dir);
  // The cut windows are kept in a cache folder of the bench's own, not the user's.
  setenv("KX8_CACHE_DIR", (dir / "cache").c_str(), 1);
  const fs::path zhFile = dir / "zh.txt", hanFile = dir / "zh_han_lines.txt", jaFile = dir / "ja.txt";
  const fs::path sentenceFile = dir / "zh_sentences.txt", dictionaryFile = dir / "zh_dictionary_words.txt";
  const fs::path enFile = dir / "en.txt";
  constexpr size_t kBytes = 24u << 20;
  // A text of at least kBytes, written once, from its source repeated; false if the source is (nearly)
  // empty.
  auto make = [&](const fs::path& file, const std::string& source) {
    if (fs::exists(file)) return true;
    if (source.size() < 1000) return false;
    std::string text;
    while (text.size() < kBytes) text += source;
    std::ofstream(file, std::ios::binary) << text;
    return true;
  };
  const std::string chinese = fs::exists(zhFile) && fs::exists(hanFile) && fs::exists(sentenceFile)
                                  ? std::string()
                                  : CatalogueText("/usr/share/locale/zh_CN/LC_MESSAGES");
  if (!make(zhFile, chinese)) {
    std::printf("segmentation_bench: no Chinese message catalogues installed; skipped\n");
    return 0;
  }
  const bool sentences = make(sentenceFile, HanLines(chinese, 20, 0.6));
  const bool hanLines = make(hanFile, HanLines(chinese, 1, 0.75));
  // (Made only when missing: drawing the words takes a while.)
  const bool dictionaryWords = fs::exists(dictionaryFile) || make(dictionaryFile, DictionaryWordsText(kBytes));
  const bool japanese = make(jaFile, CatalogueText("/usr/share/locale/ja/LC_MESSAGES"));
  make(enFile, kx8bench::LicenceTexts());
  std::printf("concordance of a common word, one worker, characters per CPU second (best of 5, in turn)\n");
  std::printf("%-26s %12s %12s %12s %7s %7s\n", "text", "auto, first", "auto, again", "off", "first", "again");
  struct Row {
    const char* label;
    fs::path file;
    const char16_t* word;
  };
  std::vector<Row> rows{Row{"Chinese (\xE6\x96\x87\xE4\xBB\xB6)", zhFile, u"文件"}};
  if (sentences) rows.push_back(Row{"Chinese, sentences (\xE6\x96\x87\xE4\xBB\xB6)", sentenceFile, u"文件"});
  if (hanLines) rows.push_back(Row{"Chinese, Han lines (\xE6\x96\x87\xE4\xBB\xB6)", hanFile, u"文件"});
  if (dictionaryWords)
    rows.push_back(Row{"Chinese, Zipf words (\xE6\x96\x87\xE4\xBB\xB6)", dictionaryFile, u"文件"});
  if (japanese) rows.push_back(Row{"Japanese (\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB)", jaFile, u"ファイル"});
  rows.push_back(Row{"English (the)", enFile, u"the"});
  std::vector<int64_t> characters;
  for (const Row& r : rows) {
    int64_t chars = 0;
    double first = 0, again = 0, off = 0;
    Rates(r.file.string(), r.word, first, again, off, chars);
    characters.push_back(chars);
    std::printf("%s%*s %8.1f M/s %8.1f M/s %8.1f M/s %7.2f %7.2f  (%lld characters)\n", r.label, Pad(r.label, 26), "",
                first / 1e6, again / 1e6, off / 1e6, first / off, again / off, static_cast<long long>(chars));
  }
  // The same searches end to end, by the kx8 built beside this bench.
  const std::string kx8 = (fs::read_symlink("/proc/self/exe").parent_path() / "tools" / "kx8" / "kx8").string();
  if (!fs::exists(kx8)) {
    std::printf("kx8 not built beside the bench: end to end rows skipped\n");
    return 0;
  }
  std::printf("\nkx8 concord end to end, lines to /dev/null, every core, characters per second of wall time "
              "(best of 5, in turn)\n");
  std::printf("%-26s %12s %12s %12s %7s %7s\n", "text", "auto, first", "auto, again", "off", "first", "again");
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    double first = 0, again = 0, off = 0;
    EndToEndRates(kx8, r.file.string(), kx8::Utf16ToUtf8(r.word), characters[i], first, again, off);
    std::printf("%s%*s %8.1f M/s %8.1f M/s %8.1f M/s %7.2f %7.2f\n", r.label, Pad(r.label, 26), "", first / 1e6,
                again / 1e6, off / 1e6, off > 0 ? first / off : 0.0, off > 0 ? again / off : 0.0);
  }
  return 0;
}
