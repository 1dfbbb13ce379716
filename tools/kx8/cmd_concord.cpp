// kx8 concord: key-word-in-context lines of a search word in the texts under each path. The search
// itself is the library's concordancer; this command parses the arguments and prints what it reports.
#include <CLI/CLI.hpp>
#include <kx8rt/corpus/concordance.h>
#include <kx8rt/platform/locales.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "columns.h"
#include "commands.h"
#include "corpus_options.h"
#include "output.h"

using namespace kx8;

namespace {

// A sort key: the file (then position), or a word (the hit, or the n-th word right or left of it).

// Decimal digits of v, two at a time from a table.
// A line kept for sorting: its printed form and what it sorts on.
struct KeptLine {
  int32_t text = 0;
  int64_t pos = 0;
  std::string line;
  std::string keys[3];  // collation keys (or UTF-8 in code-point order) of the word keys
};

}  // namespace

int ConcordMain(int argc, char** argv) {
  CLI::App app{"kx8 concord: key-word-in-context lines of WORD in the texts under each PATH", "kx8 concord"};
  TConcordanceOptions o;
  kx8tool::CorpusCliOptions corpus;
  std::string word, searchFile, lemmaFile, stopFile, sortSpec;
  std::vector<std::string> contextWords, excludeWords, positional;
  int64_t maxHits = -1;
  int context = 40, span = 5, jobs = 0;
  bool matchCase = false, skipPunct = false, json = false, count = false, codepointSort = false;
  app.add_option("--context", context, "characters of context on each side (default 40)")->check(CLI::Range(0, 10000));
  app.add_flag("--case", matchCase, "match case exactly (default: ignore case)");
  app.add_option("--max", maxHits, "stop after the first N hits in the corpus's order")->check(CLI::NonNegativeNumber);
  app.add_flag("--skip-punctuation", skipPunct, "punctuation between the words of a phrase is skipped like space");
  app.add_option("--sort", sortSpec,
                 "sort on one to three of R1..R9, L1..L9, word, file (\"-KEY\" descending), e.g. R1,L1,file; words "
                 "are ordered as wordlist --alpha orders them");
  app.add_flag("--codepoint-sort", codepointSort, "sort words by code point instead of the language's collation");
  app.add_flag("--json", json, "one JSON object a hit: file, pos, percent, word, sentence, paragraph, left, hit, right");
  app.add_flag("--count", count, "only the hits of each text that has some (NAME:N) and the total (total:N)");
  app.add_option("--context-word", contextWords, "keep hits with this word within --span words (wildcards work)");
  app.add_option("--exclude-word", excludeWords, "drop hits with this word within --span words");
  app.add_option("--span", span, "words each side for --context-word and --exclude-word (default 5)")
      ->check(CLI::Range(0, 1000));
  app.add_option("--search-file", searchFile, "search for the requests in FILE, one a line (then every argument is a path)");
  app.add_option("--lemmas", lemmaFile, "widen a head word or variant to all forms of its lemma");
  app.add_option("--stoplist", stopFile, "drop hits that are stop words");
  app.add_option("-j,--jobs", jobs, "texts searched at once (default: the machine's cores); output is the same")
      ->check(CLI::Range(0, 64));
  corpus.Add(app);
  app.add_option("args", positional, "WORD PATH... (search notation: alternatives a/b, * ? ^ #, ==Case==, <tags>, "
                                     "\"w context:=x[[L,R]]\")");
  app.footer("Exit status: 0 when a hit was found, 1 when none was, 2 when an input could not be read or the "
             "output written (each named on standard error).");
  if (int status = 0; !kx8tool::ParseCommandLine(app, argc, argv, status)) return status;
  std::vector<kx8tool::SortKey> sortKeys;
  if (!sortSpec.empty() && !kx8tool::ParseSortKeys(sortSpec, sortKeys)) {
    std::fprintf(stderr, "kx8 concord: --sort takes one to three of R1..R9, L1..L9, word, file (\"-\" before a key: "
                         "descending)\n");
    return 2;
  }
  const size_t firstPath = searchFile.empty() ? 1 : 0;
  if (positional.size() < firstPath + 1) {
    std::fputs(app.help().c_str(), stderr);
    return 2;
  }
  if (!corpus.CodepageOk("concord")) return 2;
  if (firstPath == 1) word = positional[0];
  const std::vector<std::string> paths(positional.begin() + static_cast<std::ptrdiff_t>(firstPath), positional.end());

  o.search_word = Utf8ToUtf16(word);
  o.search_file = Utf8ToUtf16(searchFile);
  o.lemma_file = Utf8ToUtf16(lemmaFile);
  o.stop_file = Utf8ToUtf16(stopFile);
  for (const auto& w : contextWords) o.context_words.push_back(Utf8ToUtf16(w));
  for (const auto& w : excludeWords) o.exclusion_words.push_back(Utf8ToUtf16(w));
  o.span = span;
  o.case_sensitive = matchCase;
  o.max_hits = maxHits;
  o.skip_punctuation = skipPunct;
  o.codepage = static_cast<uint16_t>(corpus.codepage);
  o.context_chars = context;
  o.word_rule = corpus.Rule();
  o.choice = corpus.Choice();
  o.workers = jobs;
  for (const kx8tool::SortKey& k : sortKeys)
    if (!k.file) o.key_words.push_back(k.word);

  std::unique_ptr<TConcordancer> concordancer;
  try {
    concordancer = std::make_unique<TConcordancer>(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kx8 concord: %s\n", e.what());
    return 2;
  }

  kx8tool::Output out;
  // The name of the text whose hits are being told, as printed: made once a text (hits and summaries
  // come text by text), not kept for every text of the run.
  int32_t namedText = -1;
  std::string name;
  auto nameOf = [&](int32_t text) -> const std::string& {
    if (text != namedText) {
      name = Utf16ToNativeName(concordancer->Texts()[static_cast<size_t>(text)].full_name);
      namedText = text;
    }
    return name;
  };
  bool readErrors = false;
  const bool sorting = !sortKeys.empty();
  std::vector<KeptLine> kept;
  std::string line;
  const TConcordanceHitEvent onHit = [&](const TConcordanceHit& h) {
    if (count) return;
    std::string& b = sorting ? line : out.Buffer();
    if (sorting) b.clear();
    const std::string& textName = nameOf(h.text);
    if (json) {
      nlohmann::json j;
      j["file"] = textName;
      j["pos"] = h.pos + 1;
      j["percent"] = std::round(h.percent * 10) / 10;
      j["word"] = h.word;
      j["sentence"] = h.sentence;
      j["paragraph"] = h.paragraph;
      std::string s;
      kx8tool::AppendFlatUtf8(s, h.left);
      j["left"] = s;
      s.clear();
      kx8tool::AppendFlatUtf8(s, h.node);
      j["hit"] = s;
      s.clear();
      kx8tool::AppendFlatUtf8(s, h.right);
      j["right"] = s;
      b += j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      b += '\n';
    } else {
      // name:pos (percent%) wN sN pN, as printf would write it (the percentage rounded half to even).
      b += textName;
      // The numbers are put together in place and appended at once (five appends a line cost more).
      char numbers[5 * 24 + 16];
      char* p = numbers;
      *p++ = ':';
      p = kx8tool::PutDecimal(p, h.pos + 1);
      std::memcpy(p, " (", 2);
      p = kx8tool::PutDecimal(p + 2, static_cast<long long>(std::nearbyint(h.percent)));
      std::memcpy(p, "%) w", 4);
      p = kx8tool::PutDecimal(p + 4, h.word);
      std::memcpy(p, " s", 2);
      p = kx8tool::PutDecimal(p + 2, h.sentence);
      std::memcpy(p, " p", 2);
      p = kx8tool::PutDecimal(p + 2, h.paragraph);
      *p++ = '\t';
      b.append(numbers, static_cast<size_t>(p - numbers));
      // Each context in a column of `context` terminal columns, the left one right-aligned, so that the
      // hits line up in any script: a wide Han or kana character takes two, so a line of Chinese shows
      // half the characters (--json keeps them all).
      int leftColumns = 0;
      const std::u16string_view left = kx8tool::TailInColumns(h.left, context, leftColumns);
      if (leftColumns < context) b.append(static_cast<size_t>(context - leftColumns), ' ');
      kx8tool::AppendFlatUtf8(b, left);
      b += '[';
      kx8tool::AppendFlatUtf8(b, h.node);
      b += ']';
      kx8tool::AppendFlatUtf8(b, kx8tool::HeadInColumns(h.right, context));
      b += '\n';
    }
    if (!sorting) {
      out.MaybeFlush();
      return;
    }
    KeptLine k;
    k.text = h.text;
    k.pos = h.pos;
    k.line = line;
    size_t w = 0;
    for (size_t i = 0; i < sortKeys.size(); ++i) {
      if (sortKeys[i].file) continue;
      const std::u16string_view s = h.keys[w++];
      if (codepointSort || !CompareStringSortKey(LOCALE_DEFAULT_LCID, NORM_IGNORECASE, s.data(),
                                                 static_cast<int32_t>(s.size()), k.keys[i]))
        k.keys[i] = Utf16ToUtf8(s);
    }
    kept.push_back(std::move(k));
  };
  const TConcordanceTextEvent onText = [&](const TConcordanceTextSummary& s) {
    if (!s.searched) {
      std::fprintf(stderr, "kx8 concord: skipped %s: %s\n", nameOf(s.text).c_str(), Utf16ToUtf8(s.skipped_because).c_str());
      readErrors |= s.unreadable;
      return;
    }
    if (count && s.hits > 0) {
      out.Put(nameOf(s.text));
      out.Put(':');
      out.PutInt(s.hits);
      out.Put('\n');
    }
  };
  const TCorpusProblemEvent onProblem = [&](const UnicodeString& path, const UnicodeString& why) {
    std::fprintf(stderr, "kx8 concord: %s: %s\n", Utf16ToNativeName(path).c_str(), Utf16ToUtf8(why).c_str());
  };

  try {
    const TConcordanceTotals totals = concordancer->Run(kx8tool::CorpusCliOptions::Paths(paths), onHit, onText, onProblem);
    if (sorting) {
      std::stable_sort(kept.begin(), kept.end(), [&](const KeptLine& a, const KeptLine& b) {
        for (size_t i = 0; i < sortKeys.size(); ++i) {
          int c;
          if (sortKeys[i].file) c = a.text != b.text ? (a.text < b.text ? -1 : 1) : (a.pos < b.pos ? -1 : a.pos > b.pos);
          else c = a.keys[i].compare(b.keys[i]);
          if (c != 0) return sortKeys[i].ascending ? c < 0 : c > 0;
        }
        return false;
      });
      for (const KeptLine& k : kept) out.Put(k.line);
    }
    if (count) {
      out.Put("total:");
      out.PutInt(totals.hits);
      out.Put('\n');
    } else {
      char summary[256];
      std::snprintf(summary, sizeof summary,
                    "\n%lld hits in %lld of %lld files; %lld characters, %lld words searched; %.2f hits per 1,000 words\n",
                    static_cast<long long>(totals.hits), static_cast<long long>(totals.texts_with_hits),
                    static_cast<long long>(totals.texts), static_cast<long long>(totals.characters),
                    static_cast<long long>(totals.words),
                    totals.words ? 1000.0 * static_cast<double>(totals.hits) / static_cast<double>(totals.words) : 0.0);
      if (json) {
        out.Flush();
        std::fputs(summary, stderr);
      } else {
        out.Put(summary);
      }
    }
    out.Flush();
    if (totals.texts_skipped > 0)
      std::fprintf(stderr, "kx8 concord: %lld file%s skipped\n", static_cast<long long>(totals.texts_skipped),
                   totals.texts_skipped == 1 ? "" : "s");
    if (totals.problems > 0 || readErrors) return 2;
    return totals.hits > 0 ? 0 : 1;
  } catch (const kx8tool::OutputError& e) {
    std::fprintf(stderr, "kx8 concord: %s\n", e.what());
    return 2;
  }
}
