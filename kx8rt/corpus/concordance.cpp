#include "kx8rt/corpus/concordance.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "kx8rt/corpus/ascii_window_counts.h"
#include "kx8rt/corpus/text_delivery.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/large_buffers.h"
#include "kx8rt/platform/processors.h"
#include "kx8rt/search/lem_match_stop_rel_lists.h"
#include "kx8rt/search/search_and_do_engine.h"
#include "kx8rt/search/search_items.h"
#include "kx8rt/search/search_parsing.h"
#include "kx8rt/search/user_input_wildcard_parsing.h"
#include "kx8rt/strings/string_list_utilities.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {

bool ParseConcordanceKeyWord(std::u16string_view name, int32_t& key) {
  if (name == u"word" || name == u"C") {
    key = 0;
    return true;
  }
  if (name.size() == 2 && (name[0] == u'R' || name[0] == u'L') && name[1] >= u'1' && name[1] <= u'9') {
    key = (name[0] == u'R' ? 1 : -1) * (name[1] - u'0');
    return true;
  }
  return false;
}

namespace {

constexpr LCID kLocale = LOCALE_DEFAULT_LCID;


// The n-th word (1-based) right of index from, or left of index to (exclusive), within [0, len); words
// also part where segmentation found a word start inside a run of letters.
std::u16string_view NthWordRight(const char16_t* text, int32_t len, const uint16_t* types, int32_t from, int32_t n) {
  int32_t i = from;
  for (int32_t k = 1; k <= n; ++k) {
    while (i < len && !IsCorpusWordChar(types[i])) ++i;
    const int32_t s = i;
    if (i < len) ++i;
    while (i < len && IsCorpusWordChar(types[i]) && (types[i] & word_start_flag) == 0) ++i;
    if (k == n) return {text + s, static_cast<size_t>(i - s)};
  }
  return {};
}
std::u16string_view NthWordLeft(const char16_t* text, const uint16_t* types, int32_t to, int32_t n) {
  int32_t i = to;
  for (int32_t k = 1; k <= n; ++k) {
    while (i > 0 && !IsCorpusWordChar(types[i - 1])) --i;
    const int32_t e = i;
    while (i > 0 && IsCorpusWordChar(types[i - 1]) && (i == e || (types[i] & word_start_flag) == 0)) --i;
    if (k == n) return {text + i, static_cast<size_t>(e - i)};
  }
  return {};
}

// Whether a whole word matches a parsed search word, wildcards and case notation included: the matcher
// run over the word alone must find the pattern at its start, covering it.
bool WordMatches(std::u16string_view word, const TSearch_word_format_rec& rec) {
  if (word.empty() || rec.search_text.empty()) return false;
  const auto n = static_cast<int32_t>(word.size());
  uint16_t small[64];
  std::vector<uint16_t> big;
  uint16_t* types = small;
  if (word.size() + 2 > std::size(small)) {
    big.resize(word.size() + 2);
    types = big.data();
  }
  GetStringTypeExNT2000(true, kLocale, CT_CTYPE1, word.data(), n, types);
  const bool cs = rec.flags.Contains(myCaseIsSensitive);
  const UnicodeString& lo = cs ? rec.copies[unchanged_copy] : rec.copies[lower_copy];
  const size_t m = std::min({rec.search_text.size(), lo.size(), size_t{0xFFFF}});
  // The case closure as the engine compares it: every letter matches the other members of its case.
  const bool haveTable = !cs && rec.case_closure.size() >= m * case_closure_width;
  const UnicodeString table = cs || haveTable ? UnicodeString()
                                               : CaseClosureTable(rec.copies[upper_copy], rec.copies[lower_copy],
                                                                  rec.copies[title_copy]);
  const char16_t* closure = cs ? nullptr : haveTable ? rec.case_closure.data() : table.data();
  TFindRequest r;
  r.text = word.data();
  r.count = n;
  r.types = r.types_start = types;
  r.types_end = types + n + 1;
  r.pattern = lo.data();
  r.case_closure = closure;
  r.pattern_length = static_cast<uint16_t>(m);
  r.case_sensitive = cs;
  r.left_bounded = rec.flags.Contains(myLeftBounded);
  r.right_bounded = rec.flags.Contains(myRightBounded);
  TSearchStatsRec stats;
  bool inHeading = false;
  const TFindResult f = FindWanted(r, stats, inHeading);
  const void* hit = f.hit;
  const uint16_t hitLength = f.hit_length;
  return hit == word.data() && hitLength >= n;
}

// Whether one of the items' words is among the span words left or right of the hit; an empty list
// answers ifEmpty.
bool WithinSpan(const std::vector<TSearch_word_format_rec>& items, const char16_t* text, int32_t len,
                const uint16_t* types, int32_t pos, int32_t length, int32_t span, bool ifEmpty) {
  if (items.empty()) return ifEmpty;
  for (int32_t k = 1; k <= span; ++k) {
    const auto left = NthWordLeft(text, types, pos, k);
    const auto right = NthWordRight(text, len, types, pos + length, k);
    for (const auto& item : items)
      if (WordMatches(left, item) || WordMatches(right, item)) return true;
  }
  return false;
}

// Whether the context word of a " context:=" clause occurs within the clause's span around the hit.
bool ContextSatisfied(const TSearch_word_format_rec& rec, const TSearch_word_format_rec* contextWord,
                      const char16_t* text, int32_t len, const uint16_t* types, int32_t pos, int32_t length) {
  if (contextWord == nullptr) return true;
  const int32_t lm = rec.sw_context_spans.leftmost, rm = rec.sw_context_spans.rightmost;
  int32_t leftWords = lm < span_Centre ? span_Centre - lm : 0;
  int32_t rightWords = rm > span_Centre ? rm - span_Centre : 0;
  // A clause without a span leaves both sides at their zero value (which on the scale is fifty words
  // left, and nothing right); it looks five words each side, the suite's usual horizon.
  if (lm == 0 && rm == 0) leftWords = rightWords = 5;
  for (int32_t k = 1; k <= leftWords; ++k)
    if (WordMatches(NthWordLeft(text, types, pos, k), *contextWord)) return true;
  for (int32_t k = 1; k <= rightWords; ++k)
    if (WordMatches(NthWordRight(text, len, types, pos + length, k), *contextWord)) return true;
  return false;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// ---- results of a piece of work ----

// A search's counts of a window from its owned start up to `to`.
struct CountedSoFar {
  TCorpusCounts counts;
  int32_t to = 0;
};

// One hit as a worker found it: positions and counts relative to the piece's owned start, its texts in
// the piece's arena.
struct HitRec {
  int64_t pos = 0;
  int32_t length = 0;
  int32_t search = 0;
  int64_t breaks = 0, sentences = 0, paragraphs = 0;  // counted from the owned start up to the hit
  uint32_t textAt = 0;                                // left, node, right, keys in the arena, in turn
  uint32_t leftLen = 0, nodeLen = 0, rightLen = 0;
  uint32_t keysAt = 0;                                // index of the first key's length in keyLens
};

// A window's hits and their texts, made and let go window after window on every thread: from the pool
// of middling blocks, whose pages are present after the first windows.
using THitList = TPooledBuffer<HitRec>;
using THitTexts = std::basic_string<char16_t, std::char_traits<char16_t>, TPooledBufferAllocator<char16_t>>;

// What a chunk (or a run of chunks) owned: its hits and its totals.
struct PieceResult {
  THitList hits;
  THitTexts arena;
  std::vector<uint32_t> keyLens;
  int64_t units = 0, breaks = 0, sentences = 0, paragraphs = 0, words = 0;
  bool Empty() const { return units == 0 && hits.empty(); }
  void Clear() {
    hits.clear();
    arena.clear();
    keyLens.clear();
    units = breaks = sentences = paragraphs = words = 0;
  }
  void Append(PieceResult& other, int64_t posBase, int64_t breakBase, int64_t sentBase, int64_t paraBase) {
    const auto arenaBase = static_cast<uint32_t>(arena.size());
    const auto keysBase = static_cast<uint32_t>(keyLens.size());
    arena += other.arena;
    keyLens.insert(keyLens.end(), other.keyLens.begin(), other.keyLens.end());
    for (HitRec h : other.hits) {
      h.pos += posBase, h.breaks += breakBase, h.sentences += sentBase, h.paragraphs += paraBase;
      h.textAt += arenaBase, h.keysAt += keysBase;
      hits.push_back(h);
    }
    units += other.units, breaks += other.breaks, sentences += other.sentences, paragraphs += other.paragraphs;
    words += other.words;
  }
};

// The text-wide facts a piece reports.
struct TextFacts {
  bool searched = false;
  bool unreadable = false;
  UnicodeString note;
  TKXFileFormat format = fc_Unknown;
  int64_t units = 0;          // the whole text's units
  bool opensWithWord = false; // its first character is no white space (part 0 only)
  // format and units are what they are if the text is 7-bit throughout, as it is being read until a
  // window is not (or Worker::Settle is asked): hits must wait for the real units before they are handed on.
  bool provisional = false;
  // The text's real format and units, once known.
  void SettleAs(TKXFileFormat realFormat, int64_t realUnits) {
    format = realFormat;
    units = realUnits;
    provisional = false;
  }
};

}  // namespace

// ---- the parsed search ----

struct TConcordancer::Plan {
  TIgnore_tag tags{};
  std::vector<TSearch_word_format_rec> recs;
  std::vector<std::unique_ptr<TSearch_word_format_rec>> clauseWords;  // each rec's context clause word
  std::vector<TSearch_word_format_rec> contextWords, exclusionWords;
  TLemMatchStopRelHolder stopList;
  bool useStopList = false;
  bool anyTags = false;
};

TConcordancer::TConcordancer(TConcordanceOptions options) : fOptions(std::move(options)), fPlan(std::make_unique<Plan>()) {
  TConcordanceOptions& o = fOptions;
  o.context_chars = std::clamp(o.context_chars, 0, 10000);
  o.span = std::clamp(o.span, 0, 1000);
  o.chunk_units = std::max(o.chunk_units, 256);
  if (o.margin_units <= 0) {
    // Room for the context, a long hit and the span or key words (taken at 64 units a word), never
    // less than 4,096 units.
    int32_t words = o.span * (o.context_words.empty() && o.exclusion_words.empty() ? 0 : 1);
    for (const int32_t k : o.key_words) words = std::max(words, k < 0 ? -k : k);
    words = std::max(words, 50);  // a context clause looks up to fifty words away
    o.margin_units = std::clamp(o.context_chars + 1024 + words * 64, 4096, 1 << 20);
  }
  o.margin_units = std::max(o.margin_units, 64);
  if (o.codepage != 0 && !IsValidCodePage(o.codepage))
    throw EEncodingError(Format(u"code page %d is not available", {static_cast<int32_t>(o.codepage)}));
  Plan& p = *fPlan;
  p.tags[tag_on][0] = u'<';
  p.tags[tag_off][0] = u'>';
  TSearchWordItems searchItems(p.tags, kLocale, true);
  if (!o.search_word.empty()) searchItems.AddedSearchWords(o.search_word);
  if (!o.search_file.empty()) {
    TSimpleSearchlist requests;
    if (!requests.LoadFromFile(o.search_file, false)) throw EFOpenError(u"cannot read the search file " + o.search_file);
    for (int32_t i = 0; i < requests.Count(); ++i) searchItems.AddedSearchWords(requests.GetATypedInSW(i));
  }
  if (!o.lemma_file.empty()) {
    // Each typed word that is a head word or a variant brings in the head word and all its variants.
    TLemMatchStopRelHolder lemmas;
    if (!lemmas.StartUpAndLoadLemmaList(o.lemma_file, false)) throw EFOpenError(u"no lemmas in " + o.lemma_file);
    const auto typedWords = searchItems.TypedInWordsAsStringlist();
    for (int32_t i = 0; i < typedWords->Count(); ++i) {
      const UnicodeString w = ToUpper(typedWords->Get(i));
      UnicodeString head;
      if (lemmas.IndexOfWordInList(w, as_lemma) >= 0) head = w;
      else if (const int32_t v = lemmas.IndexOfLemmaVariant(w); v >= 0) head = lemmas.GetLemmalistVariantWithHeadword(v).first;
      if (head.empty()) continue;
      searchItems.AddedSearchWords(head);
      const auto forms = StringListFromString(u',', lemmas.GetLemmalistVariantsOf(head.c_str()));
      for (int32_t k = 0; k < forms->Count(); ++k)
        if (!Trim(forms->Get(k)).empty()) searchItems.AddedSearchWords(Trim(forms->Get(k)));
    }
  }
  auto parsedList = [&](const std::vector<UnicodeString>& words, std::vector<TSearch_word_format_rec>& out) {
    TContextWordItems items(p.tags, kLocale, true);
    for (const auto& w : words) items.AddedSearchWords(w);
    for (int32_t i = 0; i < items.Count(); ++i) out.push_back(items.GetSWR(i));
  };
  parsedList(o.context_words, p.contextWords);
  parsedList(o.exclusion_words, p.exclusionWords);
  if (!o.stop_file.empty()) {
    if (!p.stopList.StartUpAndLoadList(o.stop_file, as_stop, false)) throw EFOpenError(u"no stop words in " + o.stop_file);
    p.useStopList = p.stopList.GetWordCount(as_stop) > 0;
  }
  for (int32_t i = 0; i < searchItems.Count(); ++i) {
    TSearch_word_format_rec rec = searchItems.GetSWR(i);
    if (o.case_sensitive) rec.flags.Include(myCaseIsSensitive);
    p.anyTags |= rec.contains_a_tag;
    p.recs.push_back(std::move(rec));
  }
  for (const TSearch_word_format_rec& rec : p.recs) {
    if (!rec.has_file_based_context_word || rec.sw_context_needed.empty()) {
      p.clauseWords.emplace_back();
      continue;
    }
    UnicodeString typedContext = rec.sw_context_needed;
    auto parsed = std::make_unique<TSearch_word_format_rec>();
    Parsed_SearchWord(p.tags, typedContext, *parsed);
    if (o.case_sensitive) parsed->flags.Include(myCaseIsSensitive);
    p.clauseWords.push_back(std::move(parsed));
  }
  if (p.recs.empty()) throw EConvertError(u"nothing to search for in \"" + o.search_word + u"\"");
  // The words looked for around a hit carry their case-closure tables, made once here.
  auto closeOverCase = [](TSearch_word_format_rec& rec) {
    if (rec.case_closure.size() < rec.search_text.size() * case_closure_width)
      rec.case_closure = CaseClosureTable(rec.copies[upper_copy], rec.copies[lower_copy], rec.copies[title_copy]);
  };
  for (auto& rec : p.contextWords) closeOverCase(rec);
  for (auto& rec : p.exclusionWords) closeOverCase(rec);
  for (auto& rec : p.clauseWords)
    if (rec) closeOverCase(*rec);
}

TConcordancer::~TConcordancer() = default;

namespace {

// A pause in a spin loop, kind to a hyperthread sharing the core.
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// A large plain file is split among the workers in parts of this many chunks' bytes. Each part is
// mapped and unmapped on its own, and with several threads every unmapping interrupts the others: parts
// of eight chunks search a rare word over a large file 6-8% faster than parts of four, while a frequent
// word, whose hits the calling thread hands on, loses 2-4% to the coarser sharing.
constexpr int64_t kChunksPerPart = 8;
// The most a text's hits may hold while its units are not yet known.
constexpr size_t kHeldBytes = 16 << 20;
constexpr size_t kHeldDenseBytes = 1 << 20;

// Adds a piece to the hits of a text held until its units are known. Room is reserved once for the run
// (pages are touched only as used), so that growing it copies nothing.
void Hold(PieceResult& held, PieceResult& piece) {
  if (held.arena.capacity() < kHeldBytes / 2 / sizeof(char16_t)) {
    held.arena.reserve(kHeldBytes / 2 / sizeof(char16_t));
    held.hits.reserve(kHeldBytes / 4 / sizeof(HitRec));
  }
  held.Append(piece, held.units, held.breaks, held.sentences, held.paragraphs);
}

// Whether the held hits should wait no longer for the text's end: memory stays bounded, and --max is not
// kept waiting (past a few MB of hits, or with the hits asked for), and when hits are many for the text
// read, measuring its rest at once costs little beside handling them.
bool HeldEnough(const PieceResult& held, const TConcordanceOptions& o) {
  const size_t bytes = held.arena.size() * sizeof(char16_t) + held.hits.size() * sizeof(HitRec) +
                       held.keyLens.size() * sizeof(uint32_t);
  const bool dense = bytes >= kHeldDenseBytes && static_cast<int64_t>(bytes) * 4 >= held.units;
  return bytes >= kHeldBytes || dense || (o.max_hits >= 0 && static_cast<int64_t>(held.hits.size()) >= o.max_hits);
}

// The real info of texts split among the workers unmeasured, measured once, by whichever worker (or the
// hand-over) needs it first.
// (Texts arrive while the run goes on, and few are ever settled: each gets its entry when first asked.)
class SharedSettling {
 public:
  TCorpusTextInfo Settle(const TCorpusText& text, size_t index, uint16_t codepage) {
    Entry* e;
    {
      std::lock_guard<std::mutex> g(fLock);
      auto& slot = fEntries[index];
      if (!slot) slot = std::make_unique<Entry>();
      e = slot.get();
    }
    std::call_once(e->once, [&] {
      TCorpusTextSource source;
      UnicodeString note;
      if (!source.Open(text, codepage, note)) throw EReadError(text.full_name + u": " + note);
      source.Measure();
      e->info = source.Info();
    });
    return e->info;
  }

 private:
  struct Entry {
    std::once_flag once;
    TCorpusTextInfo info;
  };
  std::mutex fLock;
  std::unordered_map<size_t, std::unique_ptr<Entry>> fEntries;
};

// One searcher: an engine, its own copies of the search words (the engine adjusts them), the buffers.
class Worker {
 public:
  Worker(const TConcordanceOptions& o, const TConcordancer::Plan& plan, const std::atomic<bool>& stop,
         SharedSettling& settling)
      : fO(o), fPlan(plan), fStop(stop), fSettling(settling), fEngine(kLocale), fRecs(plan.recs),
        fCache(TCorpusTextSource::NewArchiveCache()) {
    fRule = o.word_rule;
    fRule.mark_tags = plan.anyTags;
    // The window's counts are taken by CountCorpusUnits, up to each hit as it is found: the matcher then
    // only compares characters.
    fEngine.SetCountingInMatcher(false);
    fSparseWords = o.sparse_plain_text && SparseSearchesPossible();  // sets fPhraseGaps
    fReader.SetUndecodedSevenBit(fSparseWords);
    fSource.SetArchiveCache(fCache.get());
  }

  // Searches an item of text, handing each chunk's result to sink in order (with positions and counts
  // relative to the item's owned start); facts tells what became of the text.
  void Process(const TCorpusTextPart& item, const TCorpusText& text, TextFacts& facts,
               const std::function<void(PieceResult&)>& sink) {
    // One source for every text, its buffers kept from one to the next; the text itself is let go as
    // soon as it has been read, but for a part of a file split among the searchers: the next part this
    // one takes is mostly of the same file, and is read through the same file and mapping (the source
    // lets the file go when the next text is opened, or with the searcher).
    TCorpusTextSource& source = fSource;
    const TCorpusTextSource::TDoneAtExit done(source);
    UnicodeString note;
    std::exception_ptr sinkFailure;
    if (item.parts > 1 ? !source.OpenPart(text, item.info, note) : !source.Open(text, fO.codepage, note)) {
      facts.note = note;
      facts.unreadable = source.ReadFailed();
      return;
    }
    try {
      // A whole text whose first bytes are 7-bit is read as 7-bit at once, not measured first; what is
      // found waits until the reader has seen it all, or a window that is not 7-bit settles the text.
      fSettled.reset();
      fCurrentItem = &item;
      fCurrentText = &text;
      TCorpusTextInfo info;
      const bool presumedPart = item.parts > 1 && item.seven_bit_presumed;
      if (presumedPart || (item.parts <= 1 && fO.presume_seven_bit && source.SevenBitPresumable())) {
        info = presumedPart ? item.info : source.SevenBitPresumedInfo();
        facts.provisional = true;
        fReader.PresumeSevenBit([this, &facts](int64_t sevenBitTo) { return Settle(facts, sevenBitTo); });
      } else {
        fReader.PresumeSevenBit(nullptr);
        info = InfoForPart(source, item);
      }
      facts.format = info.format;
      facts.units = info.units;
      fCurrentName = text.full_name;
      fReader.ForEach(source, info, item.from, item.to, fO.chunk_units, fO.margin_units, &fStop,
                      [&](const TCorpusWindow& w) {
                        SearchWindow(w, facts);
                        try {
                          sink(fPiece);
                        } catch (...) {
                          sinkFailure = std::current_exception();
                          throw;
                        }
                      });
      // A whole text read to its end as 7-bit is so (a part of one tells only of itself).
      if (item.parts <= 1) facts.provisional = false;
      facts.searched = true;
    } catch (const std::exception& e) {
      // What the caller's events threw is the caller's, not a fault of the text.
      if (sinkFailure) std::rethrow_exception(sinkFailure);
      facts.searched = false;
      facts.unreadable = true;
      facts.note = Utf8ToUtf16(e.what());
    }
  }

  // Settles the text being read while it is presumed 7-bit, for a caller that cannot wait for its end:
  // its rest is measured (by a second reading, from where it has been seen to be 7-bit).
  void Settle(TextFacts& facts) {
    if (facts.provisional) fReader.SettledAs(Settle(facts, fReader.SevenBitTo()));
  }

 private:
  // A part of a text split unmeasured settles the whole text, once for every worker; a whole text is
  // measured from where it has been seen to be 7-bit.
  TCorpusTextInfo Settle(TextFacts& facts, int64_t sevenBitTo) {
    const TCorpusTextPart& item = *fCurrentItem;
    const TCorpusText& text = *fCurrentText;
    if (!fSettled && item.parts > 1) fSettled = fSettling.Settle(text, item.text, fO.codepage);
    if (!fSettled) {
      TCorpusTextSource rest;
      UnicodeString note;
      if (!rest.Open(text, fO.codepage, note)) throw EReadError(text.full_name + u": " + note);
      rest.MeasureAfterSevenBit(sevenBitTo);
      fSettled = rest.Info();
    }
    facts.SettleAs(fSettled->format, fSettled->units);
    return *fSettled;
  }

  // Classifies and searches a window, keeping the hits that start in its owned part with their counts
  // from the owned start, into fPiece.
  void SearchWindow(const TCorpusWindow& w, TextFacts& facts) {
    fPiece.Clear();
    const char16_t* text = w.text;
    const int32_t n = w.length, own0 = w.own_from, own1 = w.own_to;
    const bool textStart = w.text_start;
    fEngine.BufferFormat = fc_UTF16;
    THitList& hits = fHits;
    hits.clear();
    const uint16_t* types = nullptr;
    int32_t acceptedThisSearch = 0;
    bool enough = false;  // the search in hand needs no more of this window
    const int64_t maxHits = fO.max_hits;
    // Each search's counts from the owned start up to its last hit (the first search's are carried on
    // to the owned end for the window's own counts).
    std::vector<CountedSoFar>& counted = fCounted;
    counted.assign(fRecs.size(), CountedSoFar{{}, own0});
    // A window of 7-bit text searched for words with a plain beginning is classified only around the
    // places where a search word's beginning stands (see SparseRegions); its counts then come from the
    // characters themselves. A window the reader hands on undecoded is 7-bit; its units are written only
    // where they are read: round the candidates and the hits, or everywhere when the search is not
    // sparse after all.
    // After a window with too many candidates the next few of the text are searched in full without
    // looking for them again: a word common in one stretch of a text is common in the next.
    if (textStart) fSparseRest = 0;
    const bool trySparse = fSparseWords && fRecsPrepared && (fSparseRest == 0 || --fSparseRest == 0);
    const uint8_t* bytes = w.seven_bit;
    bool sparse = false;
    // A 7-bit window that could have been searched sparsely but has too many candidates is searched in
    // full, and still counted from its characters' masks: cheaper than counting the type array up to
    // each of its many hits.
    bool maskCounts = false;
    // Search words of plain characters are matched in a 7-bit window from its masks alone: where the
    // whole word stands, with the word rule's bounds on each side. Nothing is typed and the matcher is
    // not run (only round the hits are units written, for their texts).
    bool maskMatch = false;
    if (bytes) {
      maskCounts = fSparseWords;
      if (maskCounts) fAscii.Take(bytes, n, fRule.middle_chars, w.ahead, w.ahead_length);
      maskMatch = maskCounts && fRecsPrepared && MaskMatchable();
      // (Typed in full, the window's units are written as they are typed, below.)
      sparse = !maskMatch && trySparse && SparseRegions(bytes, n, own0, own1);
    } else {
      sparse = trySparse && IsSevenBitText(text, n) && SparseRegions(text, n, own0, own1);
      maskCounts = sparse;
      if (sparse) fAscii.Take(text, n, fRule.middle_chars);
    }
    // (The type array is readable to its end, past the window's spare entry.)
    int32_t readable = 0;
    auto countTo = [&](CountedSoFar& c, int32_t to) {
      c.counts += maskCounts ? fAscii.Count(c.to, to) : CountCorpusUnits(types, c.to, to, readable);
      c.to = to;
    };
    auto found = [&](TSearchAndDoEngine& e, const TSearchFound_Rec& f) {
      const int32_t pos = f.hit_pos_in_characters, len = f.hit_characters;
      if (pos >= own1) {
        e.FoundEnough();
        enough = true;
        return false;
      }
      const TSearch_word_format_rec& rec = fRecs[static_cast<size_t>(f.search_number)];
      if (!ContextSatisfied(rec, fPlan.clauseWords[static_cast<size_t>(f.search_number)].get(), text, n, types, pos, len))
        return false;
      if (!WithinSpan(fPlan.contextWords, text, n, types, pos, len, fO.span, true)) return false;
      if (WithinSpan(fPlan.exclusionWords, text, n, types, pos, len, fO.span, false)) return false;
      if (fPlan.useStopList &&
          fPlan.stopList.IndexOfWordInList(ToUpper(UnicodeString(text + pos, static_cast<size_t>(len))), as_stop) >= 0)
        return false;
      // As the matcher would count: everything passed up to and including the hit's first character.
      CountedSoFar& c = counted[static_cast<size_t>(f.search_number)];
      countTo(c, pos + 1);
      HitRec h;
      h.pos = pos;
      h.length = len;
      h.search = f.search_number;
      h.breaks = c.counts.break_starts;
      h.sentences = c.counts.sentence_ends;
      h.paragraphs = c.counts.paragraph_ends;
      hits.push_back(h);
      // No search needs more than max_hits hits of a chunk: the first of them in the text's order are kept.
      if (maxHits >= 0 && ++acceptedThisSearch >= maxHits) {
        e.FoundEnough();
        enough = true;
      }
      return true;
    };
    uint16_t* t = nullptr;  // the type array, where the window is typed
    if (maskMatch) {
      if (textStart) facts.opensWithWord = n > 0 && !fAscii.BreakAt(0);
      if (own1 > own0) MatchByMasks(bytes, n, own0, own1, found, acceptedThisSearch, enough);
    } else {
      fEngine.SetClassifyingBuffer(!sparse && !bytes);
      fEngine.PrepareForConcordancing(fCurrentName, text, nullptr, nullptr, n * 2, n, 0, false, fO.skip_punctuation,
                                      found, {});
      t = fEngine.BufferDetails.data();
      types = t;
      readable = static_cast<int32_t>(fEngine.BufferDetails.size());
      if (bytes && !sparse) WidenAndTypeSevenBit(bytes, n, const_cast<char16_t*>(text), t);  // the reader's buffer
      TCorpusMarks marks;
      if (sparse) {
        // Only the stretches round the candidates are typed (the rest stays zero, where no match can be);
        // a sentence end marked differently near a stretch's edge changes no match, as the matcher takes
        // a marker for the white space it stands on.
        for (const auto& [a, b] : fRegions) {
          w.Widen(a - kWidenSlack, b + kWidenSlack);
          GetStringTypeExNT2000(true, LOCALE_DEFAULT_LCID, CT_CTYPE1, text + a, b - a, t + a);
          ApplyCorpusWordRule(text + a, t + a, b - a, fRule);
        }
        marks.sentence_ends = fAscii.SentenceEnds();
        marks.paragraph_ends = fAscii.ParagraphEnds();
      } else {
        marks = ApplyCorpusWordRule(text, t, n, fRule);
      }
      TTagsFoundArray markers{};
      markers[ts_sentence_end - ts_first_segment_marker] = marks.sentence_ends;
      markers[ts_paragraph_end - ts_first_segment_marker] = marks.paragraph_ends;
      fEngine.SetArrayOfTagsFound(markers.data());
      if (textStart) facts.opensWithWord = n > 0 && (sparse ? !fAscii.BreakAt(0) : (t[0] & whitespace_mask) == 0);
      if (own1 > own0) {
        for (size_t r = 0; r < fRecs.size(); ++r) {
          if (fStop.load(std::memory_order_relaxed)) break;
          Global_in_heading = false;
          acceptedThisSearch = 0;
          enough = false;
          fEngine.ClearChunkTextStats();
          if (!sparse) {
            Global_LowestJumpTo = own0 * 2;
            fEngine.SearchAndDo(&fRecs[r], static_cast<int32_t>(r));
            continue;
          }
          // Sparse: only the typed stretches are searched, each as a buffer ending where it ends (no hit
          // can start elsewhere, and none reads past its run).
          for (const auto& [a, b] : fRegions) {
            if (enough || b <= own0 || fStop.load(std::memory_order_relaxed)) {
              if (enough) break;
              continue;
            }
            Global_LowestJumpTo = std::max(a, own0) * 2;
            fEngine.SetBufferLength(b);
            fEngine.SearchAndDo(&fRecs[r], static_cast<int32_t>(r));
          }
          fEngine.SetBufferLength(n);
        }
        Global_LowestJumpTo = 0;
        // Each search has run once: its copies and case table are final.
        if (!fStop.load(std::memory_order_relaxed)) fRecsPrepared = true;
      }
    }
    // Alternatives may find the same place: keep it once (the first search word's), in text order.
    if (fRecs.size() > 1) {
      std::stable_sort(hits.begin(), hits.end(), [](const HitRec& a, const HitRec& b) { return a.pos < b.pos; });
      hits.erase(std::unique(hits.begin(), hits.end(), [](const HitRec& a, const HitRec& b) { return a.pos == b.pos; }),
                 hits.end());
    }
    if (maxHits >= 0 && static_cast<int64_t>(hits.size()) > maxHits) hits.resize(static_cast<size_t>(maxHits));
    // What the chunk owns: its units, word starts, sentence and paragraph ends, words.
    TCorpusCounts counts;
    if (!counted.empty() && own1 > own0 && counted[0].to <= own1) {
      countTo(counted[0], own1);
      counts = counted[0].counts;
    } else {
      counts = maskCounts ? fAscii.Count(own0, own1) : CountCorpusUnits(t, own0, own1, readable);
    }
    fPiece.units = own1 - own0;
    fPiece.breaks = counts.break_starts;
    fPiece.sentences = counts.sentence_ends;
    fPiece.paragraphs = counts.paragraph_ends;
    fPiece.words = counts.words;
    // The texts of each hit, cut on whole characters. Room for them all is made at once: a piece is
    // often new (the one before was handed on with its memory), and growing it hit by hit would copy
    // its texts and touch twice the pages.
    const int32_t context = fO.context_chars;
    size_t room = fPiece.arena.size();
    for (const HitRec& h : hits) room += static_cast<size_t>(h.length) + 2 * static_cast<size_t>(context);
    fPiece.arena.reserve(room);
    for (HitRec& h : hits) {
      const auto pos = static_cast<int32_t>(h.pos);
      if (sparse || maskMatch) w.Widen(pos - context - 1, pos + h.length + context + 1);
      int32_t from = std::max(0, pos - context);
      if (from > 0 && from < pos && IsLowSurrogate(text[from])) ++from;
      int32_t rightEnd = std::min(n, pos + h.length + context);
      if (rightEnd > pos + h.length && rightEnd < n && IsHighSurrogate(text[rightEnd - 1])) --rightEnd;
      h.textAt = static_cast<uint32_t>(fPiece.arena.size());
      fPiece.arena.append(text + from, static_cast<size_t>(rightEnd - from));
      h.leftLen = static_cast<uint32_t>(pos - from);
      h.nodeLen = static_cast<uint32_t>(h.length);
      h.rightLen = static_cast<uint32_t>(rightEnd - pos - h.length);
      h.keysAt = static_cast<uint32_t>(fPiece.keyLens.size());
      for (const int32_t k : fO.key_words) {
        std::u16string_view w;
        if (k == 0) w = {text + pos, static_cast<size_t>(h.length)};
        else if (k > 0) w = NthWordRight(text, n, t, pos + h.length, k);
        else w = NthWordLeft(text, t, pos, -k);
        const UnicodeString up = ToUpper(UnicodeString(w));
        fPiece.arena += up;
        fPiece.keyLens.push_back(static_cast<uint32_t>(up.size()));
      }
      h.pos -= own0;
    }
    fPiece.hits.swap(hits);
  }

  // Whether every search word can be searched sparsely in 7-bit text: words (or a phrase of them) with
  // no tag and no break character, beginning with a plain character, and no option that looks at the
  // words round a hit (context or exclusion words, key words, a context clause). Also notes in
  // fPhraseGaps the most spaces a search word holds.
  bool SparseSearchesPossible() {
    if (!TAsciiWindowCounts::Available() || fRule.mark_tags || !fPlan.contextWords.empty() ||
        !fPlan.exclusionWords.empty() || !fO.key_words.empty() || fRecs.empty())
      return false;
    for (const auto& clause : fPlan.clauseWords)
      if (clause) return false;
    for (const char16_t m : fRule.middle_chars)
      if (m <= 0x20 || m == 0x7F) return false;
    int32_t gaps = 0;
    for (const TSearch_word_format_rec& rec : fRecs) {
      const UnicodeString& p = rec.search_text;
      if (p.empty() || IsCode(p[0])) return false;
      for (const char16_t c : p)
        if (c == sw_tag_start || c == sw_tag_end || c == sw_not || (c < 0x20 && !IsCode(c)) || c == 0x7F) return false;
      gaps = std::max(gaps, static_cast<int32_t>(std::count(p.begin(), p.end(), u' ')));
    }
    fPhraseGaps = gaps;
    return true;
  }
  static bool IsCode(char16_t c) { return c == u' ' || (c >= sw_tag_end && c <= sw_not); }

  // Whether every search word can be matched from a 7-bit window's masks: a word of plain characters
  // (no wildcard, space or tag) bounded on both sides, and no stop list to consult (it reads the hit's
  // text). Decided once, when the words have been prepared by a first search.
  bool MaskMatchable() {
    if (fMaskMatchable < 0) {
      if (fBeginnings.empty()) TakeBeginnings();
      bool ok = !fPlan.useStopList && fPhraseGaps == 0 && !fRecs.empty();
      for (size_t r = 0; ok && r < fRecs.size(); ++r) {
        const TSearch_word_format_rec& rec = fRecs[r];
        // (The beginnings stop at the first wildcard or space: all of the word is plain when they do not.)
        ok = rec.flags.Contains(myLeftBounded) && rec.flags.Contains(myRightBounded) && !rec.search_text.empty() &&
             fBeginnings[r].size() == rec.search_text.size() && (fBlockPlaces[r].none || fBlockPlaces[r].count > 0);
      }
      fMaskMatchable = ok ? 1 : 0;
    }
    return fMaskMatchable > 0;
  }

  // The hits of plain search words in a 7-bit window, from its masks, handed to found as the matcher
  // would hand them: each word's in turn, in text order. A hit starts in [own0, own1) where every place
  // of the word holds one of its units (the word's own or, unless case counts, its case-closure
  // members), ends before the window's last character, and has no word character right before it or
  // right after it. (The matcher also takes a word start after white space for a bound; in 7-bit text
  // that follows a character that is no word character anyway.)
  template <typename Found>
  void MatchByMasks(const uint8_t* bytes, int32_t n, int32_t own0, int32_t own1, const Found& found,
                    int32_t& acceptedThisSearch, bool& enough) {
    const int32_t last = std::min(own1, n - 1);  // the last character never starts a hit
    for (size_t r = 0; r < fRecs.size(); ++r) {
      if (fStop.load(std::memory_order_relaxed)) break;
      acceptedThisSearch = 0;
      enough = false;
      const std::vector<UnitSet>& places = fBeginnings[r];
      const BlockPlaces& block = fBlockPlaces[r];
      if (block.none) continue;  // a place no 7-bit unit fills
      const auto m = static_cast<int32_t>(places.size());
      fCandidates.clear();
      AddPlainBeginnings(r, bytes, n, own0, last, SIZE_MAX);
      for (const int32_t c : fCandidates) {
        if (c + m > n - 1) break;
        if ((c > 0 && fAscii.WordAt(c - 1)) || fAscii.WordAt(c + m)) continue;
        TSearchFound_Rec f;
        f.hit_pos_in_characters = c;
        f.hit_characters = f.exact_hit_len = m;
        f.search_number = static_cast<int32_t>(r);
        found(fEngine, f);
        if (enough) break;
      }
    }
  }

  // Appends to fCandidates the places in [from, to) of text where search word r's whole plain beginning
  // stands: its first places looked for a block at a time, the rest one by one. False (with some
  // appended) once they would pass most.
  template <typename Unit>
  bool AddPlainBeginnings(size_t r, const Unit* text, int32_t n, int32_t from, int32_t to, size_t most) {
    const std::vector<UnitSet>& places = fBeginnings[r];
    const BlockPlaces& block = fBlockPlaces[r];
    const size_t before = fCandidates.size();
    if (!TAsciiWindowCounts::FindUnits(text, n, from, to, block.places, block.count, fCandidates, most)) return false;
    size_t kept = before;
    for (size_t i = before; i < fCandidates.size(); ++i) {
      const int32_t c = fCandidates[i];
      size_t k = static_cast<size_t>(block.count);
      while (k < places.size() && c + static_cast<int32_t>(k) < n && places[k].Has(text[c + static_cast<int32_t>(k)])) ++k;
      if (k == places.size()) fCandidates[kept++] = c;
    }
    fCandidates.resize(kept);
    return true;
  }

  // Each search word's plain beginning, a set of 7-bit units a place: the pattern's own unit and, unless
  // case counts, its case-closure members, as the matcher compares them.
  void TakeBeginnings() {
    fBeginnings.assign(fRecs.size(), {});
    for (size_t r = 0; r < fRecs.size(); ++r) {
      const TSearch_word_format_rec& rec = fRecs[r];
      const bool cs = rec.flags.Contains(myCaseIsSensitive);
      const UnicodeString& lo = rec.copies[lower_copy];
      const size_t m = rec.search_text.size();
      for (size_t k = 0; k < m; ++k) {
        const char16_t own = k < lo.size() ? lo[k] : rec.search_text[k];
        if (IsCode(own)) break;
        UnitSet set;
        auto add = [&](char16_t c) {
          if (c < 0x80) set.bits[c >> 6] |= uint64_t{1} << (c & 63);
        };
        add(own);
        if (!cs && rec.case_closure.size() >= (k + 1) * static_cast<size_t>(case_closure_width))
          for (int32_t j = 0; j < case_closure_width; ++j) add(rec.case_closure[k * case_closure_width + j]);
        fBeginnings[r].push_back(set);
      }
    }
    // Up to four places' units are looked for a block at a time (as long as each accepts at most four
    // units), the rest one by one. A place that accepts no 7-bit unit begins no word of 7-bit text.
    fBlockPlaces.assign(fRecs.size(), {});
    for (size_t r = 0; r < fRecs.size(); ++r) {
      BlockPlaces& block = fBlockPlaces[r];
      for (size_t k = 0; k < fBeginnings[r].size(); ++k) {
        TUnitPlace p;
        for (char16_t c = 0; c < 0x80 && p.count <= 4; ++c)
          if (fBeginnings[r][k].Has(c)) {
            if (p.count < 4) p.units[p.count] = c;
            ++p.count;
          }
        block.none |= p.count == 0;
        if (static_cast<int>(k) == block.count && block.count < 4 && p.count >= 1 && p.count <= 4)
          block.places[block.count++] = p;
      }
    }
  }

  // The places of [own0, own1) where a search word's plain beginning stands, and round each the run of
  // non-break characters it is in (and as many runs after it as a search word has spaces), with four
  // characters more each side: no match that starts there reads past those runs (only a pattern space
  // matches breaks, and it takes at least one run of them or stays inside a run), and the word rule's
  // steps look one character to each side. Returns false where the candidates are too many to gain by.
  template <typename Unit>
  bool SparseRegions(const Unit* text, int32_t n, int32_t own0, int32_t own1) {
    if (fBeginnings.empty()) TakeBeginnings();
    fCandidates.clear();
    // Beyond one candidate in 512 units, typing the stretches costs more than typing the window; where the
    // window's counts come from 512-bit vectors, beyond one in 256 (measured: a wildcard word with a
    // candidate in 290 units takes a fifth less sparse, while frequent words are no slower).
    const size_t most = static_cast<size_t>(n / (Global_UseVectors512 ? 256 : 512)) + 8;
    const int32_t last = std::min(own1, n - 1);  // the last character never starts a hit
    for (size_t r = 0; r < fBeginnings.size(); ++r) {
      const std::vector<UnitSet>& places = fBeginnings[r];
      const BlockPlaces& block = fBlockPlaces[r];
      if (places.empty()) return false;
      if (block.none) continue;
      if (block.count == 0) return false;
      if (!AddPlainBeginnings(r, text, n, own0, last, most)) {
        fSparseRest = kSparseRest;
        return false;
      }
    }
    std::sort(fCandidates.begin(), fCandidates.end());
    fRegions.clear();
    for (const int32_t c : fCandidates) {
      // A candidate in the run the last one began in needs no new look back, but its own runs after.
      if (fPhraseGaps == 0 && !fRegions.empty() && c < fRegions.back().second - 4) continue;
      int32_t a = c, b = c;
      while (a > 0 && !IsAsciiBreak(text[a - 1])) --a;
      // A pattern space takes a run of breaks (and of punctuation, when that is skipped); the word
      // after it lies in the next run of non-breaks.
      const bool skipPunct = fO.skip_punctuation;
      auto gap = [&](Unit u) {
        return IsAsciiBreak(u) || (skipPunct && !IsAsciiAlnum(u));
      };
      while (b < n && !IsAsciiBreak(text[b])) ++b;
      for (int32_t run = 0; run < fPhraseGaps; ++run) {
        while (b < n && gap(text[b])) ++b;
        while (b < n && !IsAsciiBreak(text[b])) ++b;
      }
      a = std::max(0, a - 4);
      b = std::min(n, b + 4);
      // Stretches kept at least two apart: typing one writes two spare entries after it.
      if (!fRegions.empty() && a < fRegions.back().second + 8) fRegions.back().second = std::max(fRegions.back().second, b);
      else fRegions.emplace_back(a, b);
    }
    return true;
  }

  const TConcordanceOptions& fO;
  const TConcordancer::Plan& fPlan;
  const std::atomic<bool>& fStop;
  SharedSettling& fSettling;
  TSearchAndDoEngine fEngine;
  std::vector<CountedSoFar> fCounted;
  // Searching 7-bit windows sparsely: whether the searches allow it, whether each has run once (so its
  // pattern and case table are final), their beginnings' accepted units (7-bit ones, a set of 128 a
  // place), and a window's counts, candidates and typed stretches.
  bool fSparseWords = false;
  int fMaskMatchable = -1;  // not yet decided
  int32_t fPhraseGaps = 0;  // the most spaces of a search word
  bool fRecsPrepared = false;
  struct UnitSet {
    uint64_t bits[2] = {0, 0};
    bool Has(char16_t c) const { return c < 0x80 && ((bits[c >> 6] >> (c & 63)) & 1); }
  };
  std::vector<std::vector<UnitSet>> fBeginnings;
  // For each search word, the first places of its beginning that are looked for a block at a time, and
  // whether some place of it accepts no 7-bit unit.
  struct BlockPlaces {
    TUnitPlace places[4];
    int count = 0;
    bool none = false;
  };
  std::vector<BlockPlaces> fBlockPlaces;
  TAsciiWindowCounts fAscii;
  // Units written round a typed stretch of an undecoded window beyond it: the typing and the matcher
  // look a unit or two past a stretch's ends.
  static constexpr int32_t kWidenSlack = 8;
  // Windows left to search in full before candidates are looked for again, and how many that is after a
  // window with too many.
  int32_t fSparseRest = 0;
  static constexpr int32_t kSparseRest = 4;
  std::vector<int32_t> fCandidates;
  std::vector<std::pair<int32_t, int32_t>> fRegions;
  std::vector<TSearch_word_format_rec> fRecs;
  std::unique_ptr<TCorpusTextSource::ArchiveCache> fCache;
  TCorpusTextSource fSource;
  TCorpusWordRule fRule;
  UnicodeString fCurrentName;
  const TCorpusTextPart* fCurrentItem = nullptr;
  const TCorpusText* fCurrentText = nullptr;
  std::optional<TCorpusTextInfo> fSettled;  // the text presumed 7-bit, as measured once it was not
  TCorpusWindowReader fReader;
  THitList fHits;
  PieceResult fPiece;
};

// Running numbers of a text while its pieces are handed on.
struct TextRun {
  int64_t units = 0, breaks = 0, sentences = 0, paragraphs = 0, words = 0, hits = 0;
  bool opensWithWord = false;
};

// Hands a piece's hits to the caller with the text's running counts added, then adds the piece's.
class Emitter {
 public:
  Emitter(const TConcordanceOptions& o, const TConcordanceHitEvent& onHit, TConcordanceTotals& totals)
      : fO(o), fOnHit(onHit), fTotals(totals) {}

  // False once max_hits hits have been handed on.
  bool Emit(int32_t textIndex, const TextFacts& facts, TextRun& run, const PieceResult& piece) {
    TConcordanceHit hit;
    hit.text = textIndex;
    hit.keys.resize(fO.key_words.size());
    const double denominator = static_cast<double>(std::max<int64_t>(facts.units, 0) + 1);
    for (const HitRec& h : piece.hits) {
      if (fO.max_hits >= 0 && fTotals.hits >= fO.max_hits) return false;
      hit.pos = run.units + h.pos;
      hit.length = h.length;
      hit.percent = static_cast<double>(hit.pos) * 100.0 / denominator;
      // The matcher counts the word starts that white space precedes: a text that opens with a word has
      // one more.
      hit.word = run.breaks + h.breaks + (run.opensWithWord ? 1 : 0);
      hit.sentence = run.sentences + h.sentences + 1;
      hit.paragraph = run.paragraphs + h.paragraphs + 1;
      hit.search_number = h.search;
      const char16_t* p = piece.arena.data() + h.textAt;
      hit.left = {p, h.leftLen};
      hit.node = {p + h.leftLen, h.nodeLen};
      hit.right = {p + h.leftLen + h.nodeLen, h.rightLen};
      const char16_t* k = p + h.leftLen + h.nodeLen + h.rightLen;
      for (size_t i = 0; i < hit.keys.size(); ++i) {
        const uint32_t len = piece.keyLens[h.keysAt + i];
        hit.keys[i] = {k, len};
        k += len;
      }
      ++fTotals.hits;
      ++run.hits;
      if (fOnHit) fOnHit(hit);
    }
    run.units += piece.units;
    run.breaks += piece.breaks;
    run.sentences += piece.sentences;
    run.paragraphs += piece.paragraphs;
    run.words += piece.words;
    return !(fO.max_hits >= 0 && fTotals.hits >= fO.max_hits);
  }

 private:
  const TConcordanceOptions& fO;
  const TConcordanceHitEvent& fOnHit;
  TConcordanceTotals& fTotals;
};

void Summarise(int32_t textIndex, const TextFacts& facts, const TextRun& run, TConcordanceTotals& totals,
               const TConcordanceTextEvent& onText) {
  TConcordanceTextSummary s;
  s.text = textIndex;
  s.searched = facts.searched;
  s.skipped_because = facts.note;
  s.unreadable = facts.unreadable;
  s.format = facts.format;
  s.characters = run.units;
  s.words = run.words;
  s.hits = run.hits;
  if (facts.searched) {
    ++totals.texts_searched;
    totals.characters += run.units;
    totals.words += run.words;
    if (run.hits > 0) ++totals.texts_with_hits;
  } else {
    ++totals.texts_skipped;
  }
  if (onText) onText(s);
}

// Things numbered from the start of a run, held from the first still wanted: those let go at the front
// no longer take memory, so that it holds what is in flight rather than everything the run has seen.
// References to what is held stay good until it is let go.
template <typename T>
class TRunWindow {
 public:
  T& operator[](size_t k) { return held_[k - first_]; }
  size_t size() const { return first_ + held_.size(); }
  T& emplace_back() { return held_.emplace_back(); }
  void push_back(T&& v) { held_.push_back(std::move(v)); }
  void DropBefore(size_t k) {
    for (; first_ < k && !held_.empty(); ++first_) held_.pop_front();
  }

 private:
  std::deque<T> held_;
  size_t first_ = 0;  // the number of the first held
};

}  // namespace

TConcordanceTotals TConcordancer::Run(const std::vector<UnicodeString>& paths, const TConcordanceHitEvent& onHit,
                                      const TConcordanceTextEvent& onText, const TCorpusProblemEvent& onProblem) {
  // The texts are searched as the walk finds them, so that the first hits come at once and the workers
  // do not wait for a large tree to be listed.
  return RunFeed(
      [&](const TCorpusProblemEvent& problem, const TCorpusTextsEvent& take) {
        WalkCorpusTexts(paths, fOptions.choice, problem, take);
      },
      onHit, onText, onProblem);
}

TConcordanceTotals TConcordancer::RunTexts(std::vector<TCorpusText> texts, const TConcordanceHitEvent& onHit,
                                           const TConcordanceTextEvent& onText) {
  return RunFeed(
      [&](const TCorpusProblemEvent&, const TCorpusTextsEvent& take) {
        if (!texts.empty()) take(texts);
      },
      onHit, onText, nullptr);
}

TConcordanceTotals TConcordancer::RunFeed(const TextFeed& feed, const TConcordanceHitEvent& onHit,
                                          const TConcordanceTextEvent& onText, const TCorpusProblemEvent& onProblem) {
  fTexts.clear();
  fCancelled.store(false);
  fCancelAsked.store(false);
  fTextsDone.store(0);
  TConcordanceTotals totals;
  const TConcordanceOptions& o = fOptions;
  int32_t workers = o.workers > 0 ? o.workers : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  workers = std::min<int32_t>(workers, 64);
  Emitter emitter(o, onHit, totals);
  SharedSettling settling;
  auto tellProblem = [&](const UnicodeString& path, const UnicodeString& why) {
    ++totals.problems;
    if (onProblem) onProblem(path, why);
  };

  if (workers == 1) {
    // One searcher on this thread, searching each text as the walk hands it on: each chunk's hits are
    // handed on as soon as it is searched.
    Worker worker(o, *fPlan, fCancelled, settling);
    // The pieces of a text read as 7-bit before that is known, kept until its units are (as one piece).
    PieceResult held;
    auto searchText = [&](size_t i) {
      TextFacts facts;
      TextRun run;
      bool more = true;
      TCorpusTextPart item;
      item.text = i;
      const auto textIndex = static_cast<int32_t>(i);
      held.Clear();
      auto handOn = [&](const PieceResult& piece) {
        if (more && !emitter.Emit(textIndex, facts, run, piece)) {
          more = false;
          fCancelled.store(true);
        }
      };
      auto handOnHeld = [&] {
        if (held.Empty()) return;
        handOn(held);
        held.Clear();
      };
      worker.Process(item, fTexts[i], facts, [&](PieceResult& piece) {
        run.opensWithWord = facts.opensWithWord;
        if (facts.provisional) {
          Hold(held, piece);
          if (!HeldEnough(held, o)) return;
          worker.Settle(facts);  // the rest of the text is measured now
          handOnHeld();  // this piece with them
          return;
        }
        handOnHeld();
        handOn(piece);
      });
      if (facts.searched) handOnHeld();
      Summarise(textIndex, facts, run, totals, onText);
      fTextsDone.fetch_add(1);
    };
    feed(tellProblem, [&](std::vector<TCorpusText>& batch) {
      for (TCorpusText& t : batch) {
        fTexts.push_back(std::move(t));
        // Once stopped, the walk still lists the rest, so that the totals count every text chosen.
        if (!fCancelled.load()) searchText(fTexts.size() - 1);
      }
      return !fCancelAsked.load();
    });
    totals.texts = static_cast<int64_t>(fTexts.size());
    totals.stopped = fCancelled.load();
    return totals;
  }

  // Several searchers: this thread walks, plans the items (a large plain file split into byte ranges),
  // hands the results on in order (with the walk's problems where the walk met them) and, when it has
  // nothing of that to do, searches items itself; workers - 1 more threads search the items in order.
  // As many threads as searchers, so that none waits for a processor, and this one is never woken
  // only to hand a few results on.
  struct Slot {
    TCorpusTextPart item;
    TCorpusText* text = nullptr;  // in found; null for a problem
    UnicodeString problemPath, problemWhy;
    int64_t bytesTo = 0;  // the items' bytes up to and with this one (at least a page each)
    bool ready = false;
    TextFacts facts;
    // The item's windows' results, in order: the first `count` of `pieces` (the rest are kept for their
    // memory). Each is moved here from the worker that filled it, never copied.
    std::vector<PieceResult> pieces;
    size_t count = 0;
  };
  // Both grow at the back and are let go at the front once handed on, on this thread under the lock; a
  // reference taken under the lock may be used outside it until then.
  TRunWindow<TCorpusText> found;
  TRunWindow<Slot> slots;
  size_t textsHandedOn = 0;  // the texts whose last item has been handed on
  size_t textsPassedOver = 0;  // the texts the walk found after a stop, counted only
  std::mutex lock;
  std::condition_variable readyCv, roomCv;
  size_t next = 0, consumed = 0;  // the next item to search; the items handed on
  // How far the searches may run ahead of the hand-over: a few items, or more while the items taken but
  // not handed on hold few bytes (small files). Memory stays bounded by the bytes, not by the number of
  // texts.
  const size_t ahead = static_cast<size_t>(workers) * 2 + 2;
  constexpr int64_t kAheadBytes = 16 << 20;
  auto bytesBefore = [&](size_t item) { return item == 0 ? int64_t{0} : slots[item - 1].bytesTo; };
  auto roomFor = [&](size_t item) {
    return item < consumed + ahead || slots[item].bytesTo - bytesBefore(consumed) <= kAheadBytes;
  };
  bool walked = false;          // the feed has ended: no more items come
  bool waitingReady = false;    // this thread waits for the item it must hand on next
  int32_t workersWaiting = 0;
  // Bumped, under the lock, whenever something a thread may wait for happens: items added, results ready
  // or handed on, the walk's end, a stop.
  std::atomic<uint64_t> progress{0};
  // Before a thread sleeps it watches for a while for the others' progress: a processor of a virtual
  // machine that has gone idle can take a millisecond or more to wake again, longer than most waits
  // here last. Only where every searcher has a processor of its own.
  const bool spinFirst = static_cast<unsigned>(workers) <= std::max(1u, std::thread::hardware_concurrency());
  auto spinWhileNot = [&](std::unique_lock<std::mutex>& g, const auto& done) {
    if (!spinFirst) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(250);
    while (!done()) {
      const uint64_t seen = progress.load(std::memory_order_relaxed);
      g.unlock();
      bool late = false;
      for (uint32_t k = 1; progress.load(std::memory_order_acquire) == seen; ++k) {
        CpuRelax();
        if ((k & 63) == 0 && (late = std::chrono::steady_clock::now() >= until)) break;
      }
      g.lock();
      if (late) return;
    }
  };
  std::atomic<bool>& stop = fCancelled;
  // Results handed on go back to be filled again, so that their memory is allocated once for the run
  // rather than once an item (and freed on another thread than made it).
  std::vector<std::vector<PieceResult>> spare;

  // Takes the next items to search, under the lock: a few small ones at once (up to eight, or 128 KB), so
  // that the lock is taken once for them rather than once an item. False when there is none (or no room).
  constexpr size_t kTakeItems = 8;
  constexpr int64_t kTakeBytes = 128 << 10;
  auto take = [&](std::vector<Slot*>& mine) {
    mine.clear();
    int64_t from = 0;
    while (mine.size() < kTakeItems) {
      while (next < slots.size() && !slots[next].text) ++next;  // problems are handed on, not searched
      if (stop.load() || next >= slots.size() || !roomFor(next)) break;
      if (mine.empty()) from = bytesBefore(next);
      else if (slots[next].bytesTo - from > kTakeBytes) break;
      Slot& s = slots[next++];
      // A result handed on earlier is filled again.
      if (!spare.empty()) {
        std::swap(s.pieces, spare.back());
        spare.pop_back();
      }
      mine.push_back(&s);
    }
    return !mine.empty();
  };
  // Searches the items taken, each one's windows' results kept in its slot, then marks them ready. Until
  // then no other thread looks at them, so they are filled outside the lock.
  auto search = [&](Worker& worker, const std::vector<Slot*>& mine) {
    for (Slot* s : mine) {
      TextFacts facts;
      s->count = 0;
      worker.Process(s->item, *s->text, facts, [&](PieceResult& piece) {
        // The window's result is swapped for one handed on earlier (its memory grown, its content
        // cleared by the worker's next window): pages are touched, and hits copied, once.
        if (s->count == s->pieces.size()) s->pieces.emplace_back();
        std::swap(s->pieces[s->count++], piece);
      });
      s->facts = std::move(facts);
    }
    bool wake;
    {
      std::lock_guard<std::mutex> g(lock);
      for (Slot* s : mine) s->ready = true;
      progress.fetch_add(1, std::memory_order_release);
      wake = waitingReady && consumed < slots.size() && slots[consumed].ready;
    }
    if (wake) readyCv.notify_one();
  };

  auto work = [&] {
    Worker worker(o, *fPlan, stop, settling);
    std::vector<Slot*> mine;
    for (;;) {
      {
        std::unique_lock<std::mutex> g(lock);
        bool got = take(mine);
        if (!got) {
          // (Once items are taken, no more are: take starts its list afresh.)
          auto settled = [&] {
            got = got || take(mine);
            return got || stop.load() || (walked && next >= slots.size());
          };
          spinWhileNot(g, settled);
          if (!settled()) {
            ++workersWaiting;
            roomCv.wait(g, settled);
            --workersWaiting;
          }
          if (!got) return;  // stopped, or every item is taken and no more will come
        }
      }
      search(worker, mine);
    }
  };
  // Whatever way this thread leaves (a caller's event may throw), the workers are stopped and joined.
  TWorkerPool pool([&] {
    {
      std::lock_guard<std::mutex> g(lock);
      stop.store(true);
      progress.fetch_add(1, std::memory_order_release);
    }
    roomCv.notify_all();
  });
  // Where every searcher has a processor of its own, each begins on one this thread is not on.
  const int here = spinFirst ? CurrentProcessor() : -1;
  for (int32_t w = 1; w < workers; ++w) pool.Start(here >= 0 ? ProcessorBesides(here, w - 1) : -1, work);

  Worker own(o, *fPlan, stop, settling);
  TextRun run;
  TextFacts textFacts;
  PieceResult held;  // the parts' hits of a text split unmeasured, until its units are known
  bool stopTold = false;  // once stopped, problems are told as met
  // Hands on the item `consumed`, ready.
  auto handOn = [&](Slot& s) {
    if (!s.text) {
      tellProblem(s.problemPath, s.problemWhy);
      return;
    }
    const TCorpusTextPart& item = s.item;
    const auto textIndex = static_cast<int32_t>(item.text);
    if (item.part == 0) {
      // The text joins Texts() before its hits are told; a whole text's searcher is done with it.
      if (item.parts == 1) fTexts.push_back(std::move(*s.text));
      else fTexts.push_back(*s.text);
      run = TextRun{};
      textFacts = s.facts;
      run.opensWithWord = s.facts.opensWithWord;
      held.Clear();
    } else if (!s.facts.searched && textFacts.searched) {
      textFacts.searched = false;  // a part that could not be read spoils the text's figures
      textFacts.unreadable = true;
      textFacts.note = s.facts.note;
    }
    if (textFacts.provisional && s.facts.searched && !s.facts.provisional)
      textFacts.SettleAs(s.facts.format, s.facts.units);  // a part met text that is not 7-bit
    if (!stop.load() && textFacts.searched) {
      bool isHeld = false;
      if (textFacts.provisional) {
        for (size_t k = 0; k < s.count; ++k) Hold(held, s.pieces[k]);
        isHeld = true;
        if (item.part + 1 == item.parts) {
          textFacts.provisional = false;  // every part was 7-bit
        } else if (HeldEnough(held, o)) {
          try {
            const TCorpusTextInfo info = settling.Settle(fTexts[item.text], item.text, o.codepage);
            textFacts.SettleAs(info.format, info.units);
          } catch (const std::exception& e) {
            textFacts.searched = false;
            textFacts.unreadable = true;
            textFacts.note = Utf8ToUtf16(e.what());
          }
        }
      }
      if (textFacts.searched && !textFacts.provisional) {
        if (!held.Empty()) {
          if (!emitter.Emit(textIndex, textFacts, run, held)) stop.store(true);
          held.Clear();
        }
        for (size_t k = 0; !isHeld && k < s.count && !stop.load(); ++k)
          if (!emitter.Emit(textIndex, textFacts, run, s.pieces[k])) stop.store(true);
      }
    }
    if (item.part + 1 == item.parts) {
      Summarise(textIndex, textFacts, run, totals, onText);
      fTextsDone.fetch_add(1);
      textsHandedOn = item.text + 1;
    }
  };
  // Does what there is to do until the walk should go on (enough items are waiting to be searched) or,
  // when the walk has ended, until everything has been handed on: hands on the results that are ready
  // (a run of them under one lock), else searches items, else waits for the next result.
  std::vector<Slot*> ownTaken, ready;
  auto pump = [&] {
    // Enough items waiting that the searchers never run dry while this thread walks a batch on.
    const size_t lowWater = static_cast<size_t>(workers) * 2 + 64;
    constexpr size_t kHandItems = 64;
    for (;;) {
      ready.clear();
      {
        std::unique_lock<std::mutex> g(lock);
        if (stop.load() || (walked && consumed >= slots.size())) return;
        for (size_t k = consumed; k < slots.size() && ready.size() < kHandItems && slots[k].ready; ++k)
          ready.push_back(&slots[k]);
        if (ready.empty()) {
          if (!walked && slots.size() - std::min(next, slots.size()) < lowWater) return;  // walk on
          if (!take(ownTaken)) {
            auto nextReady = [&] { return stop.load() || (consumed < slots.size() && slots[consumed].ready); };
            spinWhileNot(g, nextReady);
            if (!nextReady()) {
              waitingReady = true;
              readyCv.wait(g, nextReady);
              waitingReady = false;
            }
            continue;
          }
        }
      }
      if (ready.empty()) {
        search(own, ownTaken);
        continue;
      }
      size_t handed = 0;
      while (handed < ready.size()) {
        handOn(*ready[handed++]);
        if (stop.load()) break;
      }
      bool wake;
      {
        std::lock_guard<std::mutex> g(lock);
        for (size_t k = 0; k < handed; ++k) {
          Slot& s = *ready[k];
          s.count = 0;
          spare.push_back(std::move(s.pieces));
        }
        consumed += handed;
        // The last one handed on is kept: the bytes before the next are counted from it.
        slots.DropBefore(consumed - 1);
        found.DropBefore(textsHandedOn);
        progress.fetch_add(1, std::memory_order_release);
        wake = workersWaiting > 0;
      }
      if (wake) roomCv.notify_all();
    }
  };
  // Once stopped, the workers end, and what the walk has queued is passed over but for its problems.
  auto afterStop = [&] {
    if (stopTold) return;
    stopTold = true;
    roomCv.notify_all();
    for (size_t k = consumed; k < slots.size(); ++k)
      if (!slots[k].text) tellProblem(slots[k].problemPath, slots[k].problemWhy);
  };

  const int64_t partBytes = int64_t{o.chunk_units} * kChunksPerPart;
  std::vector<TCorpusTextPart> parts;
  feed(
      [&](const UnicodeString& path, const UnicodeString& why) {
        if (stop.load()) {
          afterStop();
          tellProblem(path, why);
          return;
        }
        {
          std::lock_guard<std::mutex> g(lock);
          Slot& s = slots.emplace_back();
          s.problemPath = path;
          s.problemWhy = why;
          s.bytesTo = bytesBefore(slots.size() - 1);
          s.ready = true;
          progress.fetch_add(1, std::memory_order_release);
        }
        pump();
      },
      [&](std::vector<TCorpusText>& batch) {
        if (stop.load()) {
          // Nothing more is searched; the rest is walked to count the texts chosen (unless cancelled).
          afterStop();
          textsPassedOver += batch.size();
          return !fCancelAsked.load();
        }
        // Planned outside the lock: a large file is opened, and may be measured, to be split.
        parts.clear();
        for (size_t k = 0; k < batch.size(); ++k)
          PlanCorpusTextParts(batch[k], found.size() + k, o.codepage, partBytes, workers, o.presume_seven_bit, parts);
        bool wake;
        {
          std::lock_guard<std::mutex> g(lock);
          for (TCorpusText& t : batch) found.push_back(std::move(t));
          for (const TCorpusTextPart& p : parts) {
            Slot& s = slots.emplace_back();
            s.item = p;
            s.text = &found[p.text];
            const int64_t bytes = p.from >= 0 ? p.to - p.from : s.text->size;
            s.bytesTo = bytesBefore(slots.size() - 1) + std::max<int64_t>(bytes, 4096);
          }
          progress.fetch_add(1, std::memory_order_release);
          wake = workersWaiting > 0;
        }
        if (wake) roomCv.notify_all();
        pump();
        if (stop.load()) afterStop();
        return !fCancelAsked.load();
      });
  {
    std::lock_guard<std::mutex> g(lock);
    walked = true;
    progress.fetch_add(1, std::memory_order_release);
  }
  roomCv.notify_all();
  pump();
  if (stop.load()) afterStop();
  pool.StopAndJoin();
  totals.texts = static_cast<int64_t>(found.size() + textsPassedOver);
  totals.stopped = totals.texts_searched + totals.texts_skipped < totals.texts ||
                   (o.max_hits >= 0 && totals.hits >= o.max_hits);
  return totals;
}

}  // namespace kx8
