// kx8 concord: key-word-in-context lines of a search word in the files under each path, found by the
// library's search-and-do engine: the typed word is parsed (alternatives, flags, wildcards, tags, a
// context clause), each file is read as UTF-16 and searched with the middle-character and number rules
// applied, and the lines can be sorted on up to three keys through the three-key sortable list.
#include <kx8rt/kx8rt.h>
#include <kx8rt/containers/comparisons.h>
#include <kx8rt/containers/sortablelists.h>
#include <kx8rt/files/file_utils.h>
#include <kx8rt/search/search_engines.h>
#include <kx8rt/search/lem_match_stop_rel_lists.h>
#include <kx8rt/search/search_items.h>
#include <kx8rt/search/search_parsing.h>
#include <kx8rt/strings/sentences.h>
#include <kx8rt/strings/string_list_utilities.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands.h"
#include "text_choice.h"

namespace fs = std::filesystem;
using namespace kx8;

namespace {

constexpr LCID kLocale = LOCALE_DEFAULT_LCID;

// A sort key: the file (then position), the hit itself, or the n-th word right or left of it.
enum KeyKind : int32_t { key_file = 0, key_word = 1, key_right = 10, key_left = 20 };
constexpr int32_t kMaxKeyWords = 9;

struct ConcordOptions {
  int32_t context = 40;
  bool matchCase = false;
  int64_t maxHits = -1;
  bool skipPunctuation = false;
  UnicodeString middles = u"'\u2019";  // apostrophes inside words are parts of them ("don't")
  bool json = false;
  std::vector<int32_t> sortVars;       // up to three keys
  std::vector<bool> sortAscending;
  UnicodeString word;
  std::vector<std::string> paths;
  kx8tool::TextChoiceOptions choice;  // which texts under the paths
  uint16_t codepage = 0;              // of 8-bit texts; 0: the system code page
  std::vector<UnicodeString> contextWords;  // --context-word: one must occur within span words
  std::vector<UnicodeString> excludeWords;  // --exclude-word: none may occur within span words
  int32_t span = 5;                         // --span
  std::string searchFile;                   // --search-file: search requests, one a line
  std::string lemmaFile;                    // --lemmas: widen each word to all forms of its lemma
  std::string stopFile;                     // --stoplist: drop hits that are stop words
};

struct ConcordLine {
  int32_t file = 0;
  int32_t pos = 0;  // 0-based character index of the hit
  int32_t length = 0;
  float percent = 0;
  int32_t wordNum = 0, sentenceNum = 0, paragraphNum = 0;
  UnicodeString left, hit, right;
  UnicodeString keys[3];  // upper-cased sort texts of the word keys
};

// The collected lines sorted through the three-key sortable list; the keys of the base line are read
// once per partition in SetBase.
class TConcordLines : public T3SortYieldingList {
 public:
  explicit TConcordLines(const std::vector<int32_t>& vars) : fVars(vars) {}
  void SetBase(void* item, int32_t) override { fBase = static_cast<const ConcordLine*>(item); }
  int32_t CompareWithBase(const ConcordLine& a) const {
    // A lower level also holds the upper levels' keys equal, so its runs never cross their boundaries.
    const int level = current_sort_rec.current_sort_doing;
    for (int l = 0; l <= level && l < static_cast<int>(fVars.size()); ++l)
      if (const int32_t c = CompareKey(a, l)) return c;
    return 0;
  }

 private:
  int32_t CompareKey(const ConcordLine& a, int l) const {
    const ConcordLine& b = *fBase;
    if (fVars[l] == key_file) {
      if (a.file != b.file) return a.file < b.file ? -1 : 1;
      return a.pos == b.pos ? 0 : (a.pos < b.pos ? -1 : 1);
    }
    return Compare2Strings(a.keys[l], b.keys[l]);
  }
  std::vector<int32_t> fVars;
  const ConcordLine* fBase = nullptr;
};

bool ParseSortKeys(const std::string& spec, ConcordOptions& o) {
  size_t start = 0;
  while (start <= spec.size()) {
    const size_t comma = spec.find(',', start);
    std::string k = spec.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool ascending = true;
    if (!k.empty() && k[0] == '-') ascending = false, k.erase(0, 1);
    int32_t var;
    if (k == "file") var = key_file;
    else if (k == "word" || k == "C") var = key_word;
    else if (k.size() == 2 && (k[0] == 'R' || k[0] == 'L') && k[1] >= '1' && k[1] <= '0' + kMaxKeyWords)
      var = (k[0] == 'R' ? key_right : key_left) + (k[1] - '0');
    else return false;
    o.sortVars.push_back(var);
    o.sortAscending.push_back(ascending);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !o.sortVars.empty() && o.sortVars.size() <= 3;
}

// Words are runs of letters and digits as the buffer's type words say (middle characters included).
bool IsWordType(uint16_t t) { return (t & (tag_or_marker_mask)) == 0 && (t & word_char_mask) != 0; }

// The n-th word (1-based) right of index `from`, or left of index `to` (exclusive).
UnicodeString NthWordRight(const UnicodeString& text, const uint16_t* types, int32_t from, int32_t n) {
  const auto len = static_cast<int32_t>(text.size());
  int32_t i = from;
  for (int32_t k = 1; k <= n; ++k) {
    while (i < len && !IsWordType(types[i])) ++i;
    const int32_t s = i;
    while (i < len && IsWordType(types[i])) ++i;
    if (k == n) return text.substr(s, i - s);
  }
  return {};
}
UnicodeString NthWordLeft(const UnicodeString& text, const uint16_t* types, int32_t to, int32_t n) {
  int32_t i = to;
  for (int32_t k = 1; k <= n; ++k) {
    while (i > 0 && !IsWordType(types[i - 1])) --i;
    const int32_t e = i;
    while (i > 0 && IsWordType(types[i - 1])) --i;
    if (k == n) return text.substr(i, e - i);
  }
  return {};
}

// Whether a whole word (as the span words are cut) matches a parsed search word, its wildcards and case
// notation included: the matcher run over the word alone must find the pattern at its start, covering it.
bool WordMatches(const UnicodeString& word, const TSearch_word_format_rec& rec) {
  if (word.empty() || rec.search_text.empty()) return false;
  const auto n = static_cast<int32_t>(word.size());
  std::vector<uint16_t> types(word.size() + 2);
  GetStringTypeExNT2000(true, kLocale, CT_CTYPE1, word.data(), n, types.data());
  const bool cs = rec.flags.Contains(myCaseIsSensitive);
  const UnicodeString& up = cs ? rec.copies[unchanged_copy] : rec.copies[upper_copy];
  const UnicodeString& lo = cs ? rec.copies[unchanged_copy] : rec.copies[lower_copy];
  const UnicodeString& ti = cs ? rec.copies[unchanged_copy] : rec.copies[title_copy];
  const size_t m = std::min({rec.search_text.size(), up.size(), lo.size(), ti.size(), size_t{0xFFFF}});
  TSearchStatsRec stats;
  bool inHeading = false;
  uint16_t hitLength = 0, exactLength = 0;
  const void* hit = NewFindWantedInBuffer(word.data(), n, types.data(), types.data(), types.data() + n + 1, up.data(),
                                          lo.data(), ti.data(), static_cast<uint16_t>(m), cs,
                                          rec.flags.Contains(myLeftBounded), rec.flags.Contains(myRightBounded), true,
                                          false, true, hitLength, exactLength, stats, inHeading, false, false, false, false);
  return hit == word.data() && hitLength >= n;
}

// Whether the context word of a " context:=" clause (parsed as a search word of its own) occurs within
// the clause's span around the hit.
bool ContextSatisfied(const TSearch_word_format_rec& rec, const TSearch_word_format_rec* contextWord,
                      const UnicodeString& text, const uint16_t* types, int32_t pos, int32_t length) {
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
    if (WordMatches(NthWordRight(text, types, pos + length, k), *contextWord)) return true;
  return false;
}

// Sentence ends (the first whitespace after a terminator that ends a sentence) and paragraph ends (a
// line break that follows a blank line) become segment markers, so the engine numbers sentences and
// paragraphs. Returns the counts per marker code 14..21.
TTagsFoundArray MarkSentencesAndParagraphs(const UnicodeString& text, uint16_t* types) {
  TTagsFoundArray found{};
  const auto len = static_cast<int32_t>(text.size());
  const char16_t* p = text.c_str();
  const char16_t* end = p + len;
  while (p < end) {
    const char16_t* e = NextAutoFoundSentenceEndW(p);
    if (e == nullptr || e <= p) break;
    if (e >= end) break;
    if (IsPotentialSentenceTerminator(e[-1])) {
      const char16_t* w = e;
      while (w < end && *w != u' ' && *w != u'\n' && *w != u'\r' && *w != u'\t' && IsPotentialSentenceTerminator(*w)) ++w;
      if (w < end && (*w == u' ' || *w == u'\n' || *w == u'\r' || *w == u'\t')) {
        types[w - text.c_str()] = SegmentMarkerType(ts_sentence_end);
        ++found[ts_sentence_end - ts_first_segment_marker];
      }
    }
    p = e;
  }
  for (int32_t i = 1; i < len; ++i) {
    if (text[i] != u'\n') continue;
    int32_t j = i - 1;
    while (j >= 0 && (text[j] == u' ' || text[j] == u'\t' || text[j] == u'\r')) --j;
    if (j >= 0 && text[j] == u'\n' && !IsSegmentMarker(types[i])) {
      types[i] = SegmentMarkerType(ts_paragraph_end);
      ++found[ts_paragraph_end - ts_first_segment_marker];
    }
  }
  return found;
}

// Characters from "<" to the next ">" are tag characters, for search words that hold tags.
void MarkTags(const UnicodeString& text, uint16_t* types) {
  bool inTag = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'<') inTag = true;
    if (inTag && !IsSegmentMarker(types[i])) types[i] |= tag_char_flag;
    if (text[i] == u'>') inTag = false;
  }
}

// Context with line breaks and tabs shown as spaces, so that each hit stays on one line.
std::string Flat(std::u16string_view s) {
  UnicodeString t(s);
  for (auto& c : t)
    if (c < 0x20) c = u' ';
  return Utf16ToUtf8(t);
}

std::string Json(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') out += '\\', out += static_cast<char>(c);
    else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else out += static_cast<char>(c);
  }
  return out + "\"";
}

void PrintLine(const ConcordLine& l, const std::vector<std::string>& names, const ConcordOptions& o) {
  const std::string left = Flat(l.left), hit = Flat(l.hit), right = Flat(l.right);
  if (o.json) {
    std::printf("{\"file\":%s,\"pos\":%d,\"percent\":%.1f,\"word\":%d,\"sentence\":%d,\"paragraph\":%d,"
                "\"left\":%s,\"hit\":%s,\"right\":%s}\n",
                Json(names[l.file]).c_str(), l.pos + 1, l.percent, l.wordNum, l.sentenceNum, l.paragraphNum,
                Json(left).c_str(), Json(hit).c_str(), Json(right).c_str());
    return;
  }
  // The left context right-aligned in its column, counted in characters rather than bytes.
  const int pad = std::max<int>(0, o.context - static_cast<int>(l.left.size()));
  std::printf("%s:%d (%.0f%%) w%d s%d p%d\t%*s%s[%s]%s\n", names[l.file].c_str(), l.pos + 1, l.percent, l.wordNum,
              l.sentenceNum, l.paragraphNum, pad, "", left.c_str(), hit.c_str(), right.c_str());
}

// The texts under the paths as the folder walker chooses them; a problem with a path is reported.
std::vector<kx8tool::ChosenText> CollectTexts(const ConcordOptions& o, bool& ok) {
  std::vector<std::string> problems;
  std::vector<kx8tool::ChosenText> texts = kx8tool::ChooseTexts(o.paths, o.choice, problems);
  for (const auto& p : problems) std::fprintf(stderr, "kx8 concord: %s\n", p.c_str());
  ok = problems.empty();
  return texts;
}

// One text read as UTF-16, from its file or from inside its archive; false with a note when it is no text.
bool ReadCorpusText(const kx8tool::ChosenText& t, uint16_t codepage, UnicodeString& text, UnicodeString& note) {
  if (t.rec.Number_Within_Zip <= 0) return CorpusFileText(t.fullName, codepage, 0, text, note);
  try {
    const std::string bytes = kx8tool::ReadChosenTextBytes(t);
    return CorpusBufferText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codepage, 0, text, note);
  } catch (const Exception& e) {
    note = e.Message();
    return false;
  }
}

// Whether one of the items' words (with their wildcards and case notation) is among the span words left
// or right of the hit. An empty list answers ifEmpty.
bool WithinSpan(const TBaseSearchItems& items, const UnicodeString& text, const uint16_t* types, int32_t pos,
                int32_t length, int32_t span, bool ifEmpty) {
  if (items.Count() == 0) return ifEmpty;
  for (int32_t k = 1; k <= span; ++k) {
    const UnicodeString left = NthWordLeft(text, types, pos, k);
    const UnicodeString right = NthWordRight(text, types, pos + length, k);
    for (int32_t i = 0; i < items.Count(); ++i)
      if (WordMatches(left, *items.GetPtr(i)) || WordMatches(right, *items.GetPtr(i))) return true;
  }
  return false;
}

int Concord(ConcordOptions& o) {
  // The typed word: alternatives, then each parsed with flags, wildcards, tags and a context clause.
  TIgnore_tag tags{};
  tags[tag_on][0] = u'<';
  tags[tag_off][0] = u'>';
  // The search is planned as search-word, context-word and exclusion-word items.
  TSearchWordItems searchItems(tags, kLocale, true);
  if (!o.word.empty()) searchItems.AddedSearchWords(o.word);
  if (!o.searchFile.empty()) {
    TSimpleSearchlist requests;
    if (!requests.LoadFromFile(Utf8ToUtf16(o.searchFile), false)) {
      std::fprintf(stderr, "kx8 concord: cannot read the search file %s\n", o.searchFile.c_str());
      return 2;
    }
    for (int32_t i = 0; i < requests.Count(); ++i) searchItems.AddedSearchWords(requests.GetATypedInSW(i));
  }
  if (!o.lemmaFile.empty()) {
    // Each typed word that is a head word or a variant brings in the head word and all its variants.
    TLemMatchStopRelHolder lemmas;
    if (!lemmas.StartUpAndLoadLemmaList(Utf8ToUtf16(o.lemmaFile), false)) {
      std::fprintf(stderr, "kx8 concord: no lemmas in %s\n", o.lemmaFile.c_str());
      return 2;
    }
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
  TContextWordItems contextItems(tags, kLocale, true);
  for (const auto& w : o.contextWords) contextItems.AddedSearchWords(w);
  TExclusionWordItems exclusionItems(tags, kLocale, true);
  for (const auto& w : o.excludeWords) exclusionItems.AddedSearchWords(w);
  TLemMatchStopRelHolder stopList;
  if (!o.stopFile.empty() && !stopList.StartUpAndLoadList(Utf8ToUtf16(o.stopFile), as_stop, false))
    std::fprintf(stderr, "kx8 concord: no stop words in %s\n", o.stopFile.c_str());
  std::vector<TSearch_word_format_rec> recs;
  bool anyTags = false;
  for (int32_t i = 0; i < searchItems.Count(); ++i) {
    TSearch_word_format_rec rec = searchItems.GetSWR(i);
    if (o.matchCase) rec.flags.Include(myCaseIsSensitive);
    anyTags |= rec.contains_a_tag;
    recs.push_back(std::move(rec));
  }
  // Each search word's context clause, parsed once as a search word of its own.
  std::vector<std::unique_ptr<TSearch_word_format_rec>> contextWords;
  for (const TSearch_word_format_rec& rec : recs) {
    if (!rec.has_file_based_context_word || rec.sw_context_needed.empty()) {
      contextWords.emplace_back();
      continue;
    }
    UnicodeString typedContext = rec.sw_context_needed;
    auto parsed = std::make_unique<TSearch_word_format_rec>();
    Parsed_SearchWord(tags, typedContext, *parsed);
    if (o.matchCase) parsed->flags.Include(myCaseIsSensitive);
    contextWords.push_back(std::move(parsed));
  }
  if (recs.empty()) {
    std::fprintf(stderr, "kx8 concord: nothing to search for in \"%s\"\n", Utf16ToUtf8(o.word).c_str());
    return 2;
  }
  bool pathsOk = true;
  const std::vector<kx8tool::ChosenText> chosen = CollectTexts(o, pathsOk);
  if (!pathsOk && chosen.empty()) return 2;
  std::vector<std::string> files;
  for (const auto& t : chosen) files.push_back(Utf16ToUtf8(t.fullName));

  // Progress on standard error through the yield hook, only for a person watching a terminal.
  const bool progress = isatty(STDERR_FILENO) && files.size() > 1;
  size_t fileNo = 0;
  int64_t totalHits = 0;
  auto lastShown = std::chrono::steady_clock::now();
  const TYieldProcessProc savedYield = Global_YieldProcessProc;
  if (progress)
    Global_YieldProcessProc = [&] {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastShown < std::chrono::milliseconds(200)) return;
      lastShown = now;
      std::fprintf(stderr, "\r%zu/%zu files, %lld hits ", fileNo, files.size(), static_cast<long long>(totalHits));
    };

  std::vector<std::unique_ptr<ConcordLine>> lines;
  const bool sorting = !o.sortVars.empty();
  int64_t totalChars = 0, totalWords = 0, filesWithHits = 0, unreadable = 0;
  TSearchAndDoEngine engine(kLocale);
  // One text buffer for the whole run, like the engine's type array: a corpus of large files is then
  // not given fresh memory (and its page faults) for every file.
  UnicodeString text, note;
  for (fileNo = 0; fileNo < files.size(); ++fileNo) {
    if (o.maxHits >= 0 && totalHits >= o.maxHits) break;
    const auto fileIndex = static_cast<int32_t>(fileNo);
    // Room for the text and its closing line break, so that adding the break does not copy the text.
    if (chosen[fileNo].rec.Number_Within_Zip <= 0) {
      const int64_t bytes = FileSize(chosen[fileNo].fullName);
      if (bytes > 0 && bytes < INT32_MAX) text.reserve(static_cast<size_t>(bytes) + 1);
    }
    if (!ReadCorpusText(chosen[fileNo], o.codepage, text, note)) {
      std::fprintf(stderr, "kx8 concord: skipped %s: %s\n", files[fileNo].c_str(), Utf16ToUtf8(note).c_str());
      ++unreadable;
      continue;
    }
    // A line break after the text: the engine never lets a hit reach the buffer's last character.
    text += u'\n';
    totalChars += static_cast<int64_t>(text.size()) - 1;
    std::vector<std::unique_ptr<ConcordLine>> here;
    const uint16_t* types = nullptr;
    auto found = [&](TSearchAndDoEngine& e, const TSearchFound_Rec& f) {
      const TSearch_word_format_rec& rec = recs[static_cast<size_t>(f.search_number)];
      const int32_t pos = f.hit_pos_in_characters, len = f.hit_characters;
      if (!ContextSatisfied(rec, contextWords[static_cast<size_t>(f.search_number)].get(), text, types, pos, len))
        return false;
      if (!WithinSpan(contextItems, text, types, pos, len, o.span, true)) return false;
      if (WithinSpan(exclusionItems, text, types, pos, len, o.span, false)) return false;
      if (stopList.GetWordCount(as_stop) > 0 && stopList.IndexOfWordInList(ToUpper(text.substr(pos, len)), as_stop) >= 0)
        return false;
      auto l = std::make_unique<ConcordLine>();
      l->file = fileIndex;
      l->pos = pos;
      l->length = len;
      l->percent = f.percent_of_file;
      // The word count includes the hit's word once whitespace preceded it; a text that opens with a
      // word has one more than the count says.
      l->wordNum = f.count_stats.number[word_stats] + ((types[0] & whitespace_mask) == 0 ? 1 : 0);
      l->sentenceNum = f.count_stats.number[sentence_stats] + 1;
      l->paragraphNum = f.count_stats.number[paragraph_stats] + 1;
      const int32_t from = std::max(0, pos - o.context);
      l->left = text.substr(from, pos - from);
      l->hit = text.substr(pos, len);
      l->right = text.substr(pos + len, o.context);
      for (size_t k = 0; k < o.sortVars.size(); ++k) {
        const int32_t v = o.sortVars[k];
        if (v == key_word) l->keys[k] = ToUpper(l->hit);
        else if (v > key_left) l->keys[k] = ToUpper(NthWordLeft(text, types, pos, v - key_left));
        else if (v > key_right) l->keys[k] = ToUpper(NthWordRight(text, types, pos + len, v - key_right));
      }
      here.push_back(std::move(l));
      ++totalHits;
      if (o.maxHits >= 0 && totalHits >= o.maxHits) e.FoundEnough();
      return true;
    };
    engine.BufferFormat = fc_UTF16;
    engine.PrepareForConcordancing(Utf8ToUtf16(files[fileNo]), text.c_str(), nullptr, nullptr,
                                   static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t(text.size()) * 2)), 0, 0,
                                   false, o.skipPunctuation, found, {});
    uint16_t* t = engine.BufferDetails.data();
    types = t;
    const auto n = engine.BufferLength();
    SetZeroWidthJoinersToDefined(text.c_str(), t, n);
    engine.HandleAllowables(o.middles, false, false);
    HandleMiddleCharsInNumbers(true, false, text.c_str(), t, n);
    const TTagsFoundArray markers = MarkSentencesAndParagraphs(text, t);
    if (anyTags) MarkTags(text, t);
    engine.SetArrayOfTagsFound(markers.data());
    Global_in_heading = false;
    for (size_t r = 0; r < recs.size(); ++r) {
      if (o.maxHits >= 0 && totalHits >= o.maxHits) break;
      engine.ClearChunkTextStats();
      engine.SearchAndDo(&recs[r], static_cast<int32_t>(r));
    }
    // Words of the whole file: the engine counts only up to its last hit, so count the rest here.
    int64_t words = n > 0 && IsWordType(t[0]) ? 1 : 0;
    for (int32_t i = 1; i < n; ++i) words += IsWordType(t[i]) && !IsWordType(t[i - 1]);  // no branch: vectorised
    totalWords += words;
    // Alternatives may find the same place; keep it once, in text order.
    std::stable_sort(here.begin(), here.end(), [](const auto& a, const auto& b) { return a->pos < b->pos; });
    here.erase(std::unique(here.begin(), here.end(), [](const auto& a, const auto& b) { return a->pos == b->pos; }),
               here.end());
    if (!here.empty()) ++filesWithHits;
    if (progress) std::fputs("\r\033[K", stderr);
    for (auto& l : here) {
      if (!sorting) PrintLine(*l, files, o);
      lines.push_back(std::move(l));
    }
  }
  if (progress) std::fputs("\r\033[K", stderr);

  if (sorting) {
    TConcordLines list(o.sortVars);
    for (auto& l : lines) list.Add(l.get());
    list.SetAscending(o.sortAscending[0], o.sortAscending.size() > 1 ? o.sortAscending[1] : true,
                      o.sortAscending.size() > 2 ? o.sortAscending[2] : true);
    const T3SortCompare compare = [&list](void* item) { return list.CompareWithBase(*static_cast<ConcordLine*>(item)); };
    switch (o.sortVars.size()) {
      case 1: list.DoASingleSort(compare, o.sortVars[0]); break;
      case 2: list.DoADoubleSort(compare, o.sortVars[0], o.sortVars[1]); break;
      default: list.DoATrebleSort(compare, o.sortVars[0], o.sortVars[1], o.sortVars[2]); break;
    }
    for (int32_t i = 0; i < list.Count(); ++i) PrintLine(*static_cast<ConcordLine*>(list.Get(i)), files, o);
  }
  Global_YieldProcessProc = savedYield;

  std::FILE* summary = o.json ? stderr : stdout;
  std::fprintf(summary,
               "\n%lld hits in %lld of %zu files; %lld characters, %lld words searched; %.2f hits per 1,000 words\n",
               static_cast<long long>(lines.size()), static_cast<long long>(filesWithHits), files.size(),
               static_cast<long long>(totalChars), static_cast<long long>(totalWords),
               totalWords ? 1000.0 * static_cast<double>(lines.size()) / static_cast<double>(totalWords) : 0.0);
  if (unreadable) std::fprintf(stderr, "kx8 concord: %lld files skipped (not text)\n", static_cast<long long>(unreadable));
  return 0;
}

}  // namespace

namespace {
// ParseTextChoiceOption with its complaint printed: the arguments used, or -1 for a missing value.
int TextChoiceOption(int argc, char** argv, int i, kx8tool::TextChoiceOptions& o) {
  try {
    return kx8tool::ParseTextChoiceOption(argc, argv, i, o);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "kx8 concord: %s\n", e.what());
    return -1;
  }
}
}  // namespace

int ConcordMain(int argc, char** argv) {
  ConcordOptions o;
  std::vector<std::string> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kx8 concord: %s needs %s\n", a.c_str(), what);
        return nullptr;
      }
      return argv[++i];
    };
    auto number = [&](int64_t& out) {
      const char* v = value("a number");
      int32_t n;
      if (v == nullptr || !TryStrToInt(Utf8ToUtf16(v), n) || n < 0) {
        if (v) std::fprintf(stderr, "kx8 concord: %s needs a number\n", a.c_str());
        return false;
      }
      out = n;
      return true;
    };
    int64_t n;
    if (a == "--context") {
      if (!number(n)) return 2;
      o.context = static_cast<int32_t>(std::min<int64_t>(n, 10000));
    } else if (a == "--max") {
      if (!number(n)) return 2;
      o.maxHits = n;
    } else if (a == "--case") {
      o.matchCase = true;
    } else if (a == "--skip-punctuation") {
      o.skipPunctuation = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--middle") {
      const char* v = value("the characters");
      if (!v) return 2;
      o.middles = Utf8ToUtf16(v);
    } else if (a == "--sort") {
      const char* v = value("keys");
      if (!v || !ParseSortKeys(v, o)) {
        std::fprintf(stderr, "kx8 concord: --sort takes one to three of R1..R9, L1..L9, word, file (\"-\" before "
                             "a key: descending)\n");
        return 2;
      }
    } else if (a == "--context-word" || a == "--exclude-word") {
      const char* v = value("a word");
      if (!v) return 2;
      (a == "--context-word" ? o.contextWords : o.excludeWords).push_back(Utf8ToUtf16(v));
    } else if (a == "--span") {
      if (!number(n)) return 2;
      o.span = static_cast<int32_t>(std::min<int64_t>(n, 1000));
    } else if (a == "--search-file" || a == "--lemmas" || a == "--stoplist") {
      const char* v = value("a file");
      if (!v) return 2;
      (a == "--search-file" ? o.searchFile : a == "--lemmas" ? o.lemmaFile : o.stopFile) = v;
    } else if (a == "--codepage") {
      if (!number(n) || n > 65535) return 2;
      o.codepage = static_cast<uint16_t>(n);
    } else if (int used = 0; (used = TextChoiceOption(argc, argv, i, o.choice)) != 0) {
      if (used < 0) return 2;
      i += used - 1;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "kx8 concord: unknown option %s\n", a.c_str());
      return 2;
    } else {
      rest.push_back(a);
    }
  }
  // With a search file the words come from it and every argument is a path.
  const size_t firstPath = o.searchFile.empty() ? 1 : 0;
  if (rest.size() < firstPath + 1) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (firstPath == 1) o.word = Utf8ToUtf16(rest[0]);
  o.paths.assign(rest.begin() + static_cast<std::ptrdiff_t>(firstPath), rest.end());
  return Concord(o);
}
