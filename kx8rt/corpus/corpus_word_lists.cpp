#include "kx8rt/corpus/corpus_word_lists.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "kx8rt/corpus/corpus_word_list_merging.h"
#include "kx8rt/corpus/text_delivery.h"
#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

namespace {

// A tally keyed by the upper-cased word, keeping the form first seen.
class Tally {
 public:
  void Add(std::u16string_view word) {
    fKey.assign(word);
    fKey = ToUpper(fKey);
    const auto it = fIndex.find(fKey);
    if (it != fIndex.end()) {
      ++fFreq[it->second];
      return;
    }
    fIndex.emplace(fKey, fForms.size());
    fForms.emplace_back(word);
    fFreq.push_back(1);
  }
  std::unique_ptr<TStringList> List(bool byFrequency) const {
    auto list = std::make_unique<TStringList>();
    list->SetCapacity(static_cast<int32_t>(fForms.size()));
    for (size_t i = 0; i < fForms.size(); ++i) list->AddInteger(fForms[i], fFreq[i]);
    SortCorpusWordList(*list, byFrequency);
    return list;
  }

 private:
  UnicodeString fKey;
  std::unordered_map<UnicodeString, size_t> fIndex;
  std::vector<UnicodeString> fForms;
  std::vector<int64_t> fFreq;
};

// The words that begin in [from, to) of a classified window, each with its whole extent.
template <typename F>
void WordsOf(const char16_t* text, const uint16_t* types, int32_t n, int32_t from, int32_t to, F&& onWord) {
  int32_t i = from;
  // A word already running at from began in the part before: it is that part's.
  if (i > 0)
    while (i < to && IsCorpusWordChar(types[i]) && IsCorpusWordChar(types[i - 1])) ++i;
  while (i < to) {
    while (i < to && !IsCorpusWordChar(types[i])) ++i;
    if (i >= to) break;
    const int32_t s = i;
    while (i < n && IsCorpusWordChar(types[i])) ++i;
    onWord(text + s, static_cast<size_t>(i - s), s);
  }
}

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
  std::vector<uint16_t> types(buffer.size() + 2);
  GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, buffer.data(), n, types.data());
  ApplyCorpusWordRule(buffer.data(), types.data(), n, rule);
  WordsOf(buffer.data(), types.data(), n, 0, n,
          [&](const char16_t*, size_t length, int32_t start) { onWord(static_cast<size_t>(start), length); });
}

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
  TCorpusWindowReader reader;
  auto cache = TCorpusTextSource::NewArchiveCache();
  std::vector<uint16_t> types;
  TCorpusWordRule rule = options.word_rule;
  rule.mark_tags = false;
  const size_t minLength = static_cast<size_t>(std::max(options.min_length, 1));
  for (const TCorpusText& t : texts) {
    TCorpusWordListText report;
    report.name = t.full_name;
    TCorpusTextSource source;
    source.SetArchiveCache(cache.get());
    if (!source.Open(t, options.codepage, report.skipped_because)) {
      report.unreadable = source.ReadFailed();
      ++result.texts_skipped;
      if (onText) onText(report);
      continue;
    }
    try {
      if (source.Info().units < 0) source.Measure();
      report.format = source.Info().format;
      reader.ForEach(source, source.Info(), -1, 0, options.chunk_units, options.margin_units, nullptr,
                     [&](const TCorpusWindow& w) {
                       if (types.size() < static_cast<size_t>(w.length) + 2) types.resize(static_cast<size_t>(w.length) + 2);
                       GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, w.text, w.length, types.data());
                       ApplyCorpusWordRule(w.text, types.data(), w.length, rule);
                       WordsOf(w.text, types.data(), w.length, w.own_from, w.own_to,
                               [&](const char16_t* word, size_t length, int32_t) {
                                 if (length < minLength) return;
                                 ++report.tokens;
                                 tally.Add({word, length});
                               });
                     });
      report.read = true;
      ++result.texts_read;
      result.tokens += report.tokens;
    } catch (const std::exception& e) {
      report.skipped_because = Utf8ToUtf16(e.what());
      report.unreadable = true;
      ++result.texts_skipped;
    }
    if (onText) onText(report);
  }
  result.list = tally.List(options.by_frequency);
  return result;
}

}  // namespace kx8
