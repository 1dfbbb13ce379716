#include "kx8rt/corpus/corpus_statistics.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "kx8rt/corpus/corpus_word_lists.h"
#include "kx8rt/corpus/text_delivery.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

namespace {

// Every word type of a run, numbered in the order met: looked up by its upper-cased form, shown in the
// form first met. An open-addressing table over keys kept back to back, so that a look-up allocates
// nothing and 7-bit words (most of most corpora) are upper-cased without a call.
class WordIndex {
 public:
  WordIndex() { Rehash(1 << 16); }

  // The word's number, adding it when new.
  uint32_t Id(const char16_t* w, size_t n) {
    const std::u16string_view key = Upper(w, n);
    const uint64_t h = Hash(key);
    size_t slot = h & fMask;
    while (true) {
      const uint32_t e = fSlots[slot];
      if (e == 0) break;
      const uint32_t id = e - 1;
      if (fHashes[id] == h && KeyOf(id) == key) {
        if (!fFormSeen[id]) SetForm(id, {w, n});
        return id;
      }
      slot = (slot + 1) & fMask;
    }
    const auto id = static_cast<uint32_t>(fHashes.size());
    fHashes.push_back(h);
    fKeyAt.push_back(fKeys.size());
    fKeys.append(key);
    fKeyLen.push_back(static_cast<uint32_t>(key.size()));
    fFormAt.push_back(0);
    fFormLen.push_back(0);
    fFormSeen.push_back(false);
    SetForm(id, {w, n});
    fSlots[slot] = id + 1;
    if (fHashes.size() * 2 > fSlots.size()) Rehash(fSlots.size() * 2);
    return id;
  }
  // A word's number before any text is read: its form is taken from the first text that holds it.
  uint32_t Reserve(std::u16string_view w) {
    const uint32_t id = Id(w.data(), w.size());
    fFormSeen[id] = false;
    return id;
  }
  size_t Size() const { return fHashes.size(); }
  std::u16string_view KeyOf(uint32_t id) const { return {fKeys.data() + fKeyAt[id], fKeyLen[id]}; }
  UnicodeString Form(uint32_t id) const { return UnicodeString(fForms.data() + fFormAt[id], fFormLen[id]); }

 private:
  std::u16string_view Upper(const char16_t* w, size_t n) {
    char16_t wide = 0;
    for (size_t i = 0; i < n; ++i) wide |= w[i];
    if (wide >= 0x80) {
      fScratch = ToUpper(std::u16string_view(w, n));
      return fScratch;
    }
    fScratch.resize(n);
    for (size_t i = 0; i < n; ++i) fScratch[i] = (w[i] >= u'a' && w[i] <= u'z') ? static_cast<char16_t>(w[i] - 32) : w[i];
    return fScratch;
  }
  static uint64_t Hash(std::u16string_view k) {
    uint64_t h = 0x9E3779B97F4A7C15ULL ^ k.size();
    for (const char16_t c : k) h = (h ^ c) * 0x100000001B3ULL;
    return h ^ (h >> 29);
  }
  void SetForm(uint32_t id, std::u16string_view w) {
    fFormAt[id] = fForms.size();
    fFormLen[id] = static_cast<uint32_t>(w.size());
    fForms.append(w);
    fFormSeen[id] = true;
  }
  void Rehash(size_t slots) {
    fSlots.assign(slots, 0);
    fMask = slots - 1;
    for (uint32_t id = 0; id < fHashes.size(); ++id) {
      size_t s = fHashes[id] & fMask;
      while (fSlots[s] != 0) s = (s + 1) & fMask;
      fSlots[s] = id + 1;
    }
  }

  std::vector<uint32_t> fSlots;  // id + 1, 0 for an empty slot
  size_t fMask = 0;
  std::vector<uint64_t> fHashes;
  std::vector<size_t> fKeyAt, fFormAt;
  std::vector<uint32_t> fKeyLen, fFormLen;
  std::vector<bool> fFormSeen;
  std::u16string fKeys, fForms, fScratch;
};

// The texts of a run, problems counted and passed on.
std::vector<TCorpusText> ChooseTexts(const std::vector<UnicodeString>& paths, const TCorpusTextChoice& choice,
                                     TCorpusStatisticsTotals& totals, const TCorpusProblemEvent& onProblem) {
  std::vector<TCorpusText> texts = ChooseCorpusTexts(paths, choice, [&](const UnicodeString& p, const UnicodeString& why) {
    ++totals.problems;
    if (onProblem) onProblem(p, why);
  });
  totals.texts += static_cast<int64_t>(texts.size());
  return texts;
}

void CheckCodepage(uint16_t codepage) {
  if (codepage != 0 && !IsValidCodePage(codepage))
    throw EEncodingError(Format(u"code page %d is not available", {static_cast<int32_t>(codepage)}));
}

// Walks the words of each text in order: onWord(text, id, position, segmentBefore) for every word, the
// position in UTF-16 units from the text's start and segmentBefore set when a sentence or paragraph end
// lies between it and the word before; onTextEnd(text) after each text read. Windows are classified as
// the concordance classifies them, so that positions agree with its hits.
template <typename OnWord, typename OnTextEnd>
void WalkWords(const std::vector<TCorpusText>& texts, const TCorpusWordReading& reading, WordIndex& index,
               TCorpusStatisticsTotals& totals, const TCorpusStatisticsTextEvent& onText, OnWord&& onWord,
               OnTextEnd&& onTextEnd) {
  TCorpusWindowReader reader;
  auto cache = TCorpusTextSource::NewArchiveCache();
  std::vector<uint16_t> types;
  TCorpusWordRule rule = reading.word_rule;
  rule.mark_tags = false;
  for (size_t ti = 0; ti < texts.size(); ++ti) {
    const TCorpusText& t = texts[ti];
    const auto textIndex = static_cast<int32_t>(ti);
    TCorpusStatisticsText report;
    report.name = t.full_name;
    TCorpusTextSource source;
    source.SetArchiveCache(cache.get());
    if (!source.Open(t, reading.codepage, report.skipped_because)) {
      report.unreadable = source.ReadFailed();
      ++totals.texts_skipped;
      if (onText) onText(report);
      continue;
    }
    try {
      int64_t base = 0;  // text position of the current window's owned part
      bool segment = false;
      TCorpusTextPart whole;
      whole.text = ti;
      reader.ForEach(source, InfoForPart(source, whole), -1, 0, reading.chunk_units,
                     reading.margin_units, nullptr, [&](const TCorpusWindow& w) {
                       ClassifyCorpusWindow(w.text, w.length, types, rule);
                       ForEachCorpusWordIn(
                           types.data(), w.length, w.own_from, w.own_to,
                           [&](int32_t s, int32_t length) {
                             const uint32_t id = index.Id(w.text + s, static_cast<size_t>(length));
                             ++report.tokens;
                             onWord(textIndex, id, base + (s - w.own_from), segment);
                             segment = false;
                           },
                           [&](int32_t) { segment = true; });
                       base += w.own_to - w.own_from;
                     });
      report.read = true;
      ++totals.texts_read;
      totals.tokens += report.tokens;
    } catch (const std::exception& e) {
      report.skipped_because = Utf8ToUtf16(e.what());
      report.unreadable = true;
      ++totals.texts_skipped;
    }
    onTextEnd(textIndex);
    if (onText) onText(report);
  }
}

template <typename T>
void GrowTo(std::vector<T>& v, size_t n) {
  if (v.size() < n) v.resize(std::max(n, v.size() * 2));
}

// The single word of w under the word rule; raises when w holds none or several.
UnicodeString SingleWord(const UnicodeString& w, const TCorpusWordRule& rule) {
  std::vector<std::pair<size_t, size_t>> words;
  ForEachCorpusWord(w, rule, [&](size_t start, size_t length) { words.emplace_back(start, length); });
  if (words.size() != 1) throw EConvertError(u"\"" + w + u"\" is not one word");
  return w.substr(words[0].first, words[0].second);
}

double MeasureOf(const TCollocate& c, TCollocateMeasure m) {
  switch (m) {
    case cm_mi: return c.scores.mi;
    case cm_mi3: return c.scores.mi3;
    case cm_t_score: return c.scores.t_score;
    case cm_log_likelihood: return c.scores.log_likelihood;
    case cm_frequency: return static_cast<double>(c.total);
    case cm_log_dice: break;
  }
  return c.scores.log_dice;
}

}  // namespace

bool ParseCollocateMeasure(std::u16string_view name, TCollocateMeasure& measure) {
  const UnicodeString n = ToLower(name);
  if (n == u"logdice") measure = cm_log_dice;
  else if (n == u"mi") measure = cm_mi;
  else if (n == u"mi3") measure = cm_mi3;
  else if (n == u"t" || n == u"t-score") measure = cm_t_score;
  else if (n == u"ll" || n == u"g2") measure = cm_log_likelihood;
  else if (n == u"freq") measure = cm_frequency;
  else return false;
  return true;
}

TCollocateResult CorpusCollocates(const std::vector<UnicodeString>& paths, const TCollocateOptions& options,
                                  const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem) {
  if (options.span_left < 0 || options.span_left > 50 || options.span_right < 0 || options.span_right > 50 ||
      options.span_left + options.span_right == 0)
    throw EConvertError(u"a span is 0 to 50 words each side, and not 0 on both");
  TConcordanceOptions search = options.search;
  search.context_chars = 0;  // only the hits' places are wanted
  search.key_words.clear();
  CheckCodepage(search.codepage);
  TConcordancer concordancer(search);  // a bad search is refused before any text is read
  TCollocateResult result;
  const std::vector<TCorpusText> texts = ChooseTexts(paths, search.choice, result.totals, onProblem);

  // First the hits, in text order; then one walk over the words places each hit among them.
  struct Hit {
    int64_t pos, end;
  };
  std::vector<std::vector<Hit>> hits(texts.size());
  concordancer.RunTexts(texts, [&](const TConcordanceHit& h) {
    hits[static_cast<size_t>(h.text)].push_back({h.pos, h.pos + h.length});
  }, nullptr);

  TCorpusWordReading reading;
  reading.word_rule = search.word_rule;
  reading.codepage = search.codepage;
  reading.choice = search.choice;
  reading.chunk_units = options.chunk_units;
  reading.margin_units = options.margin_units;

  const auto L = static_cast<size_t>(options.span_left);
  const auto R = static_cast<int32_t>(options.span_right);
  WordIndex index;
  std::vector<int64_t> corpus, left, right;
  struct Recent {
    uint32_t id;
    int64_t pos;
  };
  std::array<Recent, 64> ring{};  // the last L words of the text, newest at (ringAt - 1)
  size_t ringAt = 0, ringCount = 0;
  struct Pending {
    int64_t end;         // the node's end: words from here on are right of it
    int32_t remaining;   // right-span words still to count
  };
  std::vector<Pending> pending;
  size_t nextHit = 0;
  int32_t currentText = -1;
  int64_t spanPositions = 0;

  auto countLeft = [&](int64_t hitPos) {
    size_t counted = 0;
    for (size_t k = 0; k < ringCount && counted < L; ++k) {
      const Recent& r = ring[(ringAt + ring.size() - 1 - k) % ring.size()];
      if (r.pos >= hitPos) continue;  // a word of the node itself
      ++left[r.id];
      ++counted;
    }
    spanPositions += static_cast<int64_t>(counted);
  };
  auto startText = [&](int32_t t) {
    currentText = t;
    nextHit = 0;
    ringCount = 0;
    pending.clear();
  };
  WalkWords(
      texts, reading, index, result.totals, onText,
      [&](int32_t t, uint32_t id, int64_t pos, bool) {
        if (t != currentText) startText(t);
        GrowTo(corpus, index.Size());
        GrowTo(left, index.Size());
        GrowTo(right, index.Size());
        ++corpus[id];
        const std::vector<Hit>& th = hits[static_cast<size_t>(t)];
        // Hits that begin at or before this word: the words before them are their left spans.
        while (nextHit < th.size() && th[nextHit].pos <= pos) {
          countLeft(th[nextHit].pos);
          if (R > 0) pending.push_back({th[nextHit].end, R});
          ++nextHit;
        }
        // This word is right of every hit whose node has ended.
        size_t keep = 0;
        for (Pending& p : pending) {
          if (pos >= p.end) {
            ++right[id];
            ++spanPositions;
            --p.remaining;
          }
          if (p.remaining > 0) pending[keep++] = p;
        }
        pending.resize(keep);
        ring[ringAt] = {id, pos};
        ringAt = (ringAt + 1) % ring.size();
        ringCount = std::min(ringCount + 1, ring.size());
      },
      [&](int32_t t) {
        if (t != currentText) startText(t);
        // Hits after the text's last word have only a left span.
        const std::vector<Hit>& th = hits[static_cast<size_t>(t)];
        while (nextHit < th.size()) countLeft(th[nextHit++].pos);
        currentText = -1;
      });

  for (const auto& th : hits) result.node_hits += static_cast<int64_t>(th.size());
  result.span_positions = spanPositions;
  const int64_t minFreq = std::max<int64_t>(options.min_freq, 1);
  for (uint32_t id = 0; id < index.Size() && id < left.size(); ++id) {
    const int64_t total = left[id] + right[id];
    if (total < minFreq) continue;
    TCollocate c;
    c.left = left[id];
    c.right = right[id];
    c.total = total;
    c.corpus_freq = corpus[id];
    TCollocationTable table;
    table.o11 = static_cast<double>(total);
    table.r1 = static_cast<double>(spanPositions);
    table.c1 = static_cast<double>(corpus[id]);
    table.n = static_cast<double>(result.totals.tokens);
    table.node_freq = static_cast<double>(result.node_hits);
    c.scores = CollocationScores(table);
    if (options.thresholds && !PassesRelationshipThresholdTests(*options.thresholds, c.scores.AsRelationshipScores()))
      continue;
    c.word = index.Form(id);
    result.collocates.push_back(std::move(c));
  }
  const TCollocateMeasure m = options.sort_by;
  std::sort(result.collocates.begin(), result.collocates.end(), [&](const TCollocate& a, const TCollocate& b) {
    const double x = MeasureOf(a, m), y = MeasureOf(b, m);
    if (x != y) return x > y;
    if (a.total != b.total) return a.total > b.total;
    return CompareStr(ToUpper(a.word), ToUpper(b.word)) < 0;
  });
  return result;
}

TClusterResult CorpusClusters(const std::vector<UnicodeString>& paths, const TClusterOptions& options,
                              const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem) {
  if (options.n < 2 || options.n > 5) throw EConvertError(u"a cluster is 2 to 5 words");
  CheckCodepage(options.reading.codepage);
  TClusterResult result;
  WordIndex index;
  constexpr uint32_t kNone = 0xFFFFFFFFu;
  uint32_t wanted = kNone;
  if (!options.word.empty()) wanted = index.Reserve(SingleWord(options.word, options.reading.word_rule));
  const std::vector<TCorpusText> texts = ChooseTexts(paths, options.reading.choice, result.totals, onProblem);

  using Key = std::array<uint32_t, 5>;
  struct KeyHash {
    size_t operator()(const Key& k) const {
      uint64_t h = 0x9E3779B97F4A7C15ULL;
      for (const uint32_t x : k) h = (h ^ x) * 0xFF51AFD7ED558CCDULL;
      return static_cast<size_t>(h ^ (h >> 32));
    }
  };
  struct Stat {
    int64_t freq = 0, range = 0;
    int32_t lastText = -1;
  };
  std::unordered_map<Key, Stat, KeyHash> tally;
  const auto n = static_cast<size_t>(options.n);
  Key last{};  // the last words of the current segment, oldest first
  size_t have = 0;
  int32_t currentText = -1;
  WalkWords(
      texts, options.reading, index, result.totals, onText,
      [&](int32_t t, uint32_t id, int64_t, bool segmentBefore) {
        if (t != currentText || segmentBefore) {
          currentText = t;
          have = 0;
        }
        if (have == n) {
          std::copy(last.begin() + 1, last.begin() + static_cast<std::ptrdiff_t>(n), last.begin());
          --have;
        }
        last[have++] = id;
        if (have < n) return;
        if (wanted != kNone) {
          const bool holds = options.position == cp_left    ? last[0] == wanted
                             : options.position == cp_right ? last[n - 1] == wanted
                                                            : std::find(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(n), wanted) !=
                                                                  last.begin() + static_cast<std::ptrdiff_t>(n);
          if (!holds) return;
        }
        Key key;
        key.fill(kNone);
        std::copy(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(n), key.begin());
        Stat& s = tally[key];
        ++s.freq;
        if (s.lastText != t) {
          s.lastText = t;
          ++s.range;
        }
      },
      [&](int32_t) { currentText = -1; });

  const int64_t minFreq = std::max<int64_t>(options.min_freq, 1);
  std::vector<UnicodeString> upperWords;  // for the tie-break
  for (const auto& [key, stat] : tally) {
    if (stat.freq < minFreq) continue;
    TCluster c;
    UnicodeString upper;
    for (size_t i = 0; i < n; ++i) {
      if (i) {
        c.words += u' ';
        upper += u' ';
      }
      c.words += index.Form(key[i]);
      upper += index.KeyOf(key[i]);
    }
    c.freq = stat.freq;
    c.range = stat.range;
    result.clusters.push_back(std::move(c));
    upperWords.push_back(std::move(upper));
  }
  std::vector<size_t> order(result.clusters.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const TCluster &x = result.clusters[a], &y = result.clusters[b];
    if (x.freq != y.freq) return x.freq > y.freq;
    if (x.range != y.range) return x.range > y.range;
    return upperWords[a] < upperWords[b];
  });
  std::vector<TCluster> sorted;
  sorted.reserve(order.size());
  for (const size_t i : order) sorted.push_back(std::move(result.clusters[i]));
  result.clusters.swap(sorted);
  return result;
}

TKeywordResult CorpusKeywords(const std::vector<UnicodeString>& targetPaths,
                              const std::vector<UnicodeString>& referencePaths, const TKeywordOptions& options,
                              const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem) {
  CheckCodepage(options.reading.codepage);
  TKeywordResult result;
  WordIndex index;
  std::vector<int64_t> freqTarget, freqReference;
  const std::vector<TCorpusText> targetTexts = ChooseTexts(targetPaths, options.reading.choice, result.target, onProblem);
  const std::vector<TCorpusText> referenceTexts =
      ChooseTexts(referencePaths, options.reading.choice, result.reference, onProblem);
  auto countInto = [&](std::vector<int64_t>& freq) {
    return [&](int32_t, uint32_t id, int64_t, bool) {
      GrowTo(freq, index.Size());
      ++freq[id];
    };
  };
  WalkWords(targetTexts, options.reading, index, result.target, onText, countInto(freqTarget), [](int32_t) {});
  WalkWords(referenceTexts, options.reading, index, result.reference, onText, countInto(freqReference), [](int32_t) {});
  freqTarget.resize(index.Size());
  freqReference.resize(index.Size());

  const int64_t minFreq = std::max<int64_t>(options.min_freq, 1);
  std::vector<uint32_t> ids;
  for (uint32_t id = 0; id < index.Size(); ++id) {
    const int64_t a = freqTarget[id], b = freqReference[id];
    if (a + b < minFreq) continue;
    TKeyword k;
    k.freq_target = a;
    k.freq_reference = b;
    k.scores = KeynessScores(a, result.target.tokens, b, result.reference.tokens);
    if (k.scores.log_likelihood <= 0 || k.scores.p > options.max_p) continue;
    k.word = index.Form(id);
    (k.scores.positive ? result.positive : result.negative) += 1;
    result.keywords.push_back(std::move(k));
    ids.push_back(id);
  }
  std::vector<size_t> order(ids.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const TKeyword &x = result.keywords[a], &y = result.keywords[b];
    if (x.scores.positive != y.scores.positive) return x.scores.positive;
    if (x.scores.log_likelihood != y.scores.log_likelihood) return x.scores.log_likelihood > y.scores.log_likelihood;
    return index.KeyOf(ids[a]) < index.KeyOf(ids[b]);
  });
  std::vector<TKeyword> sorted;
  sorted.reserve(order.size());
  for (const size_t i : order) sorted.push_back(std::move(result.keywords[i]));
  result.keywords.swap(sorted);
  return result;
}

TDispersionResult CorpusDispersion(const std::vector<UnicodeString>& paths, const TConcordanceOptions& search,
                                   const TCorpusStatisticsTextEvent& onText, const TCorpusProblemEvent& onProblem) {
  TConcordanceOptions o = search;
  o.context_chars = 0;
  o.key_words.clear();
  CheckCodepage(o.codepage);
  TConcordancer concordancer(o);
  TDispersionResult result;
  const std::vector<TCorpusText> texts = ChooseTexts(paths, o.choice, result.totals, onProblem);
  std::vector<int64_t> hits, words;
  concordancer.RunTexts(texts, nullptr, [&](const TConcordanceTextSummary& s) {
    TCorpusStatisticsText report;
    report.name = texts[static_cast<size_t>(s.text)].full_name;
    report.read = s.searched;
    report.unreadable = s.unreadable;
    report.skipped_because = s.skipped_because;
    report.tokens = s.words;
    if (s.searched) {
      ++result.totals.texts_read;
      result.totals.tokens += s.words;
      TDispersionText d;
      d.name = report.name;
      d.words = s.words;
      d.hits = s.hits;
      d.per_million = s.words > 0 ? static_cast<double>(s.hits) * 1e6 / static_cast<double>(s.words) : 0.0;
      result.hits += s.hits;
      result.words += s.words;
      hits.push_back(s.hits);
      words.push_back(s.words);
      result.texts.push_back(std::move(d));
    } else {
      ++result.totals.texts_skipped;
    }
    if (onText) onText(report);
  });
  result.per_million = result.words > 0 ? static_cast<double>(result.hits) * 1e6 / static_cast<double>(result.words) : 0.0;
  result.scores = DispersionScores(hits, words);
  return result;
}

}  // namespace kx8
