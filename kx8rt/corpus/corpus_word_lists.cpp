#include "kx8rt/corpus/corpus_word_lists.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "kx8rt/corpus/corpus_word_list_merging.h"
#include "kx8rt/corpus/text_delivery.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/processors.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

namespace {

// A tally keyed by the upper-cased word, keeping the form first seen. Counting is a look-up a token,
// so the table is open-addressed over the keys' hashes (no node or key copy a token), and 7-bit words,
// most of most corpora, are upper-cased, hashed and compared without the Unicode tables (which were
// most of the cost of a count).
class Tally {
 public:
  Tally() : fSlots(1 << 10, 0) {}
  void Add(std::u16string_view word) {
    const size_t n = word.size();
    uint64_t h = kHashStart;
    size_t i = 0;
    for (; i < n && word[i] < 0x80; ++i) h = (h ^ Fold7(word[i])) * kHashStep;
    if (i == n) {
      // A 7-bit word is compared with the keys as it is, folded on the fly: no key is made unless it
      // is new.
      h ^= h >> 29;
      const size_t mask = fSlots.size() - 1;
      for (size_t s = h & mask;; s = (s + 1) & mask) {
        const uint32_t at = fSlots[s];
        if (at == 0) break;
        if (fHashes[at - 1] == h && SameFolded7(fKeys[at - 1], word)) {
          ++fFreq[at - 1];
          return;
        }
      }
      fKey.resize(n);
      for (size_t k = 0; k < n; ++k) fKey[k] = Fold7(word[k]);
    } else {
      fKey = ToUpper(word);
      h = kHashStart;
      for (const char16_t c : fKey) h = (h ^ c) * kHashStep;
      h ^= h >> 29;
    }
    Insert(h, fKey, word, 1);
  }
  // Adds another tally's counts, its types in the order it met them (so that a text counted in parts,
  // merged in order, keeps the form first seen).
  void Merge(const Tally& other) {
    for (size_t k = 0; k < other.fForms.size(); ++k) Insert(other.fHashes[k], other.fKeys[k], other.fForms[k], other.fFreq[k]);
  }
  std::unique_ptr<TStringList> List(bool byFrequency) const {
    auto list = std::make_unique<TStringList>();
    list->SetCapacity(static_cast<int32_t>(fForms.size()));
    for (size_t i = 0; i < fForms.size(); ++i) list->AddInteger(fForms[i], fFreq[i]);
    SortCorpusWordList(*list, byFrequency);
    return list;
  }

 private:
  void Insert(uint64_t h, const UnicodeString& key, std::u16string_view form, int64_t count) {
    const size_t mask = fSlots.size() - 1;
    for (size_t s = h & mask;; s = (s + 1) & mask) {
      const uint32_t at = fSlots[s];
      if (at == 0) {
        fSlots[s] = static_cast<uint32_t>(fForms.size() + 1);
        fHashes.push_back(h);
        fKeys.push_back(key);
        fForms.emplace_back(form);
        fFreq.push_back(count);
        if (fForms.size() * 2 > fSlots.size()) Grow();
        return;
      }
      if (fHashes[at - 1] == h && fKeys[at - 1] == key) {
        fFreq[at - 1] += count;
        return;
      }
    }
  }
  // A 7-bit character upper-cased, as the Unicode tables would.
  static char16_t Fold7(char16_t c) { return static_cast<char16_t>(c - (static_cast<char16_t>(c - u'a') < 26 ? 0x20 : 0)); }
  static bool SameFolded7(const UnicodeString& key, std::u16string_view word) {
    if (key.size() != word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k)
      if (key[k] != Fold7(word[k])) return false;
    return true;
  }
  // FNV-1a over the code units.
  static constexpr uint64_t kHashStart = 0xcbf29ce484222325ULL, kHashStep = 0x100000001b3ULL;
  void Grow() {
    std::vector<uint32_t> slots(fSlots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (size_t k = 0; k < fHashes.size(); ++k) {
      size_t s = fHashes[k] & mask;
      while (slots[s] != 0) s = (s + 1) & mask;
      slots[s] = static_cast<uint32_t>(k + 1);
    }
    fSlots.swap(slots);
  }
  UnicodeString fKey;
  std::vector<uint32_t> fSlots;  // 1 + index of the type, 0 for a free slot; at most half full
  std::vector<uint64_t> fHashes;
  std::vector<UnicodeString> fKeys, fForms;
  std::vector<int64_t> fFreq;
};

}  // namespace

UnicodeString FirstDifferingWord(const TStringList& list1, const TStringList& list2, int64_t maxDiff, int64_t minFreq,
                                 int64_t& freq1, int64_t& freq2) {
  freq1 = freq2 = 0;
  const bool firstIsLonger = list1.Count() > list2.Count();
  const TStringList& longer = firstIsLonger ? list1 : list2;
  const TStringList& other = firstIsLonger ? list2 : list1;
  std::unordered_map<UnicodeString, int64_t> otherFreq;
  otherFreq.reserve(static_cast<size_t>(other.Count()));
  for (int32_t i = 0; i < other.Count(); ++i) otherFreq.emplace(ToUpper(other.StoredString(i)), other.Integers(i));
  for (int32_t i = 0; i < longer.Count(); ++i) {
    const int64_t f = longer.Integers(i);
    if (f < minFreq) continue;
    const auto it = otherFreq.find(ToUpper(longer.StoredString(i)));
    const int64_t g = it == otherFreq.end() ? 0 : it->second;
    if ((f > g ? f - g : g - f) > maxDiff) {
      freq1 = firstIsLonger ? f : g;
      freq2 = firstIsLonger ? g : f;
      return ToUpper(longer.StoredString(i));
    }
  }
  return {};
}

void ForEachCorpusWord(std::u16string_view text, const TCorpusWordRule& rule,
                       const std::function<void(size_t start, size_t length)>& onWord) {
  UnicodeString buffer(text);
  buffer += u'\n';
  for (auto& c : buffer)
    if (c == 0) c = u' ';
  const auto n = static_cast<int32_t>(buffer.size());
  std::vector<uint16_t> types;
  ClassifyCorpusWindow(buffer.data(), n, types, rule);
  ForEachCorpusWordIn(
      types.data(), n, 0, n,
      [&](int32_t start, int32_t length) { onWord(static_cast<size_t>(start), static_cast<size_t>(length)); },
      [](int32_t) {});
}

namespace {

// A counter for one thread: its reader, buffers and archive cache.
class WordCounter {
 public:
  explicit WordCounter(const TCorpusWordListOptions& o)
      : fO(o), fCache(TCorpusTextSource::NewArchiveCache()), fMinLength(static_cast<size_t>(std::max(o.min_length, 1))) {
    fRule = o.word_rule;
    fRule.mark_tags = false;
    fSource.SetArchiveCache(fCache.get());
  }

  // Counts an item's words into tally; report tells what became of it (read, or why not).
  void Count(const TCorpusText& t, const TCorpusTextPart& item, Tally& tally, TCorpusWordListText& report) {
    // One source for every text, its buffers kept; a whole text is let go once read, a part's file is
    // kept open for the next part this counter takes (mostly of the same file; see OpenPart).
    TCorpusTextSource& source = fSource;
    const TCorpusTextSource::TDoneAtExit done(source);
    if (item.parts > 1 ? !source.OpenPart(t, item.info, report.skipped_because)
                       : !source.Open(t, fO.codepage, report.skipped_because)) {
      report.unreadable = source.ReadFailed();
      return;
    }
    try {
      const TCorpusTextInfo info = InfoForPart(source, item);
      report.format = info.format;
      fReader.ForEach(source, info, item.from, item.to, fO.chunk_units, fO.margin_units, nullptr,
                      [&](const TCorpusWindow& w) {
                        ClassifyCorpusWindow(w.text, w.length, fTypes, fRule);
                        ForEachCorpusWordIn(
                            fTypes.data(), w.length, w.own_from, w.own_to,
                            [&](int32_t start, int32_t length) {
                              if (static_cast<size_t>(length) < fMinLength) return;
                              ++report.tokens;
                              tally.Add({w.text + start, static_cast<size_t>(length)});
                            },
                            [](int32_t) {});
                      });
      report.read = true;
    } catch (const std::exception& e) {
      report.read = false;
      report.skipped_because = Utf8ToUtf16(e.what());
      report.unreadable = true;
    }
  }

 private:
  const TCorpusWordListOptions& fO;
  std::unique_ptr<TCorpusTextSource::ArchiveCache> fCache;
  TCorpusTextSource fSource;  // after fCache, which it uses
  TCorpusWindowReader fReader;
  std::vector<uint16_t> fTypes;
  TCorpusWordRule fRule;
  size_t fMinLength;
};


}  // namespace

TCorpusWordListResult CorpusWordList(const std::vector<UnicodeString>& paths, const TCorpusWordListOptions& options,
                                     const std::function<void(const TCorpusWordListText&)>& onText,
                                     const TCorpusProblemEvent& onProblem) {
  if (options.codepage != 0 && !IsValidCodePage(options.codepage))
    throw EEncodingError(Format(u"code page %d is not available", {static_cast<int32_t>(options.codepage)}));
  TCorpusWordListResult result;
  const std::vector<TCorpusText> texts = ChooseCorpusTexts(paths, options.choice, [&](const UnicodeString& p, const UnicodeString& why) {
    ++result.problems;
    if (onProblem) onProblem(p, why);
  });
  result.texts = static_cast<int64_t>(texts.size());
  Tally tally;
  auto finish = [&](TCorpusWordListText& report) {
    if (report.read) {
      ++result.texts_read;
      result.tokens += report.tokens;
    } else {
      ++result.texts_skipped;
    }
    if (onText) onText(report);
  };
  int32_t workers = options.workers > 0 ? options.workers : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  workers = std::min<int32_t>(workers, 64);

  if (workers == 1) {
    WordCounter counter(options);
    for (size_t i = 0; i < texts.size(); ++i) {
      TCorpusWordListText report;
      report.name = texts[i].full_name;
      TCorpusTextPart item;
      item.text = i;
      counter.Count(texts[i], item, tally, report);
      finish(report);
    }
    result.list = tally.List(options.by_frequency);
    return result;
  }

  // Several counters: each item is counted into a tally of its own, and the tallies are merged here in
  // the items' order, so that the list (forms first seen included) is the one a single counter makes.
  const std::vector<TCorpusTextPart> items =
      PlanCorpusTextParts(texts, options.codepage, std::max<int64_t>(int64_t{options.chunk_units}, 256), workers);
  struct Slot {
    bool ready = false;
    Tally tally;
    TCorpusWordListText report;
  };
  std::vector<std::unique_ptr<Slot>> slots(items.size());
  std::mutex lock;
  std::condition_variable readyCv, roomCv;
  size_t next = 0, consumed = 0;
  const size_t ahead = static_cast<size_t>(workers) * 2 + 2;  // items counted but not yet merged, at most
  auto work = [&] {
    WordCounter counter(options);
    for (;;) {
      size_t mine;
      {
        std::unique_lock<std::mutex> g(lock);
        roomCv.wait(g, [&] { return next >= items.size() || next < consumed + ahead; });
        if (next >= items.size()) return;
        mine = next++;
      }
      auto slot = std::make_unique<Slot>();
      const TCorpusTextPart& item = items[mine];
      slot->report.name = texts[item.text].full_name;
      counter.Count(texts[item.text], item, slot->tally, slot->report);
      {
        std::lock_guard<std::mutex> g(lock);
        slot->ready = true;
        slots[mine] = std::move(slot);
      }
      readyCv.notify_all();
    }
  };
  // Each counter begins on a processor of its own. Whatever way this thread leaves (the caller's event
  // may throw), the counters stop after the item in hand and are joined.
  TWorkerPool pool([&] {
    {
      std::lock_guard<std::mutex> g(lock);
      next = items.size();
    }
    roomCv.notify_all();
  });
  for (int32_t w = 0; w < workers; ++w) pool.Start(ProcessorBesides(-1, w), work);
  TCorpusWordListText textReport;
  for (size_t i = 0; i < items.size(); ++i) {
    std::unique_ptr<Slot> slot;
    {
      std::unique_lock<std::mutex> g(lock);
      readyCv.wait(g, [&] { return slots[i] && slots[i]->ready; });
      slot = std::move(slots[i]);
      consumed = i + 1;
    }
    roomCv.notify_all();
    const TCorpusTextPart& item = items[i];
    tally.Merge(slot->tally);
    if (item.part == 0) {
      textReport = std::move(slot->report);
    } else {
      textReport.tokens += slot->report.tokens;
      if (!slot->report.read && textReport.read) {
        // A part that could not be read spoils the text, as an error half-way through a single read does.
        textReport.read = false;
        textReport.unreadable = true;
        textReport.skipped_because = slot->report.skipped_because;
      }
    }
    if (item.part + 1 == item.parts) finish(textReport);
  }
  pool.StopAndJoin();
  result.list = tally.List(options.by_frequency);
  return result;
}

}  // namespace kx8
