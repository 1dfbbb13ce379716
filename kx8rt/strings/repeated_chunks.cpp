#include "kx8rt/strings/repeated_chunks.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "kx8rt/containers/comparisons.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/file_system.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/strings/sentences.h"
#include "kx8rt/strings/tags.h"
#include "kx8rt/text_primitives/bare_assemb.h"

namespace kx8 {

int64_t TListOfOccurrences::TotalFrequency() const {
  int64_t total = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (WithinRange(i, tml_1)) total += TMultiLongintList::GetAValue(i, tml_1);
  return total;
}

// ---- the string list with occurrences ----

TStringlistWithListOfOccurrences::~TStringlistWithListOfOccurrences() { TStringlistWithListOfOccurrences::Clear(); }

TListOfOccurrences* TStringlistWithListOfOccurrences::GetAListOfOccurrences(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return dynamic_cast<TListOfOccurrences*>(Objects(index));
}

int32_t TStringlistWithListOfOccurrences::AddOrIncOneByFreq(const UnicodeString& chunk, int32_t file_number,
                                                            int32_t freq) {
  int32_t k = IndexOf(chunk);
  if (k < 0) k = AddObject(chunk, std::unique_ptr<TObject>(std::make_unique<TListOfOccurrences>()));
  TListOfOccurrences* list = GetAListOfOccurrences(k);
  if (!list) {
    PutObject(k, new TListOfOccurrences);  // the owning list takes it at once
    list = GetAListOfOccurrences(k);
  }
  const int32_t at = list->LongIndexOf(file_number, tml_0);
  if (at >= 0) {
    list->AddToOneFreq(at, freq, tml_1);
  } else {
    list->AddOne(T2_longint_rec{file_number, freq});
  }
  return k;
}

int32_t TStringlistWithListOfOccurrences::Repeateds() const {
  int32_t n = 0;
  for (int32_t i = 0; i < Count(); ++i)
    if (const TListOfOccurrences* l = GetAListOfOccurrences(i); l && l->Count() > 1) ++n;
  return n;
}

namespace {

int64_t TotalOf(TStringList& list, int32_t i) {
  const auto* l = dynamic_cast<const TListOfOccurrences*>(list.Objects(i));
  return l ? l->TotalFrequency() : 0;
}
int32_t FirstFileOf(TStringList& list, int32_t i) {
  const auto* l = dynamic_cast<const TListOfOccurrences*>(list.Objects(i));
  return l && l->Count() > 0 ? l->TMultiLongintList::GetAValue(0, tml_0) : 0;
}

int SortOnTotalDescending(TStringList& list, int32_t i, int32_t j) {
  const int64_t a = TotalOf(list, i), b = TotalOf(list, j);
  if (a != b) return a > b ? -1 : 1;
  return Compare2Strings(list.StoredString(j), list.StoredString(i));
}

int SortOnFirstFileAscending(TStringList& list, int32_t i, int32_t j) {
  const int32_t a = FirstFileOf(list, i), b = FirstFileOf(list, j);
  if (a != b) return a < b ? -1 : 1;
  return Compare2Strings(list.StoredString(j), list.StoredString(i));
}

}  // namespace

void TStringlistWithListOfOccurrences::SortAllOccurrencesFreqDescending() { CustomSort(SortOnTotalDescending); }
void TStringlistWithListOfOccurrences::SortAllOccurrencesFileAscending() { CustomSort(SortOnFirstFileAscending); }

void TStringlistWithListOfOccurrences::Delete(int32_t index) {
  CheckIndex(index);
  if (Objects(index)) PutObject(index, nullptr);
  TStringList::Delete(index);
}

void TStringlistWithListOfOccurrences::Clear() {
  for (int32_t i = Count() - 1; i >= 0; --i) TStringlistWithListOfOccurrences::Delete(i);
  TStringList::Clear();
}

// ---- repeated sentences ----

TRepeatedChunks::TRepeatedChunks()
    : display_index(std::make_unique<T1LongintList>()),
      fnames(std::make_unique<TFolderEfficientFileStringlist>()),
      chunks_list(std::make_unique<TStringlistWithListOfOccurrences>()) {}

TRepeatedChunks::~TRepeatedChunks() = default;

void TRepeatedChunks::SetSettings(bool ainclude_unterminated_sentences, int32_t atag_span, int32_t amin_hits,
                                  int32_t amin_sent_len, TProgressChangedFunct athis, TProgressChangedFunct aoverall,
                                  TTellCountEvent arunning_total) {
  include_unterminated_sentences = ainclude_unterminated_sentences;
  tag_span = atag_span;
  min_hits = amin_hits;
  min_sentence_length = amin_sent_len;
  this_reporting = std::move(athis);
  overall_reporting = std::move(aoverall);
  running_total_reporting = std::move(arunning_total);
}

int32_t TRepeatedChunks::LoadATextFile(const UnicodeString& filename) {
  if (!FileExists(filename)) return -1;
  const int32_t n = fnames->Add(filename);
  txt = MarkupFreeTextFromAFile(filename, tag_span);
  return n;
}

void TRepeatedChunks::AddToRepeatedSentencesInTxt(int32_t file_number, int32_t total_files) {
  if (!chunks_list) throw Exception(u"list not assigned");
  processing = true;
  // A total of 0 would divide by zero; such a caller gets no overall progress.
  if (overall_reporting && total_files != 0)
    overall_reporting(static_cast<int32_t>(int64_t{file_number} * 100 / total_files));
  AddedToRepeatedSentencesInTxt(file_number, txt);
  if (running_total_reporting) running_total_reporting(chunks_list->Count());
}

namespace {
// The first occurrence of s in text at or after from (npos when none). Every sentence is looked for
// through the whole text, so this is the detector's hot loop: the vector search does it, except for a
// pattern holding a zero unit, which that search would take as its end.
size_t FindFrom(std::u16string_view text, const UnicodeString& s, size_t from) {
  if (from > text.size() || text.size() - from > static_cast<size_t>(INT32_MAX) || s.find(u'\0') != UnicodeString::npos)
    return text.find(s, from);
  const char16_t* hit = FastStrPosW(text.data() + from, s.c_str(), static_cast<int32_t>(text.size() - from));
  return hit == nullptr ? std::u16string_view::npos : static_cast<size_t>(hit - text.data());
}

// Where each run of eight units of a text starts, grouped by the run's hash: the places a sentence can
// occur are those where its own first eight units stand, so a sentence is counted by comparing it at
// the few places of its group instead of searching the whole text for it, once per sentence, which made
// the detector's time grow with the square of a text's length. A hash collision only adds places that
// the comparison then turns down. Overlapping occurrences are counted, as the search counts them.
class TRunIndex {
 public:
  static constexpr size_t kRun = 8;
  // Longer texts (over 256 MB of places) are searched sentence by sentence instead.
  static constexpr size_t kMaxRuns = size_t{1} << 26;

  static bool Suits(std::u16string_view text) { return text.size() >= kRun && text.size() - kRun + 1 <= kMaxRuns; }

  explicit TRunIndex(std::u16string_view text) : fText(text) {
    const size_t runs = text.size() - kRun + 1;
    // About two places a group, a power of two, at most 2^23 groups.
    size_t groups = 1024;
    while (groups < runs / 2 && groups < (size_t{1} << 23)) groups *= 2;
    fMask = groups - 1;
    fFirst.assign(groups + 1, 0);
    for (size_t i = 0; i < runs; ++i) ++fFirst[Group(text.data() + i) + 1];
    for (size_t g = 1; g <= groups; ++g) fFirst[g] += fFirst[g - 1];
    std::vector<uint32_t> next(fFirst.begin(), fFirst.end() - 1);
    fPlaces.resize(runs);
    for (size_t i = 0; i < runs; ++i) fPlaces[next[Group(text.data() + i)]++] = static_cast<uint32_t>(i);
  }

  // Occurrences of s (at least kRun units long) in the text.
  int32_t Count(const UnicodeString& s) const {
    const size_t g = Group(s.data());
    int32_t hits = 0;
    for (uint32_t k = fFirst[g]; k < fFirst[g + 1]; ++k) {
      const size_t at = fPlaces[k];
      hits += at + s.size() <= fText.size() && std::memcmp(fText.data() + at, s.data(), s.size() * 2) == 0;
    }
    return hits;
  }

 private:
  size_t Group(const char16_t* p) const {
    uint64_t a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 4, 8);
    uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
    return static_cast<size_t>(h) & fMask;
  }

  std::u16string_view fText;
  std::vector<uint32_t> fFirst;   // group g's places are fPlaces[fFirst[g] .. fFirst[g + 1])
  std::vector<uint32_t> fPlaces;  // in text order within each group
  size_t fMask = 0;
};

// Occurrences of s in text, overlapping ones included.
int32_t CountOccurrences(std::u16string_view text, const UnicodeString& s) {
  int32_t hits = 0;
  for (size_t at = FindFrom(text, s, 0); at != std::u16string_view::npos; at = FindFrom(text, s, at + 1)) ++hits;
  return hits;
}
}  // namespace

int32_t TRepeatedChunks::AddedToRepeatedSentencesInTxt(int32_t file_number, const UnicodeString& tagless) {
  if (!chunks_list) throw Exception(u"chunks_list not assigned");
  const int32_t before = chunks_list->Count();
  const std::u16string_view text(tagless);
  int32_t p = FirstValidStartOfSentence(tagless, 1);
  TStringList seen;  // the distinct sentences of this text, case ignored
  const std::unique_ptr<TRunIndex> places = TRunIndex::Suits(text) ? std::make_unique<TRunIndex>(text) : nullptr;
  seen.SetSorted(true);
  seen.SetUseLocale(false);
  while (processing && p >= 1) {
    const int32_t q = PosEx(u"\r\n", text, p);
    if (q == 0) break;
    const UnicodeString paragraph = Trim(text.substr(static_cast<size_t>(p - 1), static_cast<size_t>(q - p)));
    if (!paragraph.empty()) {
      const auto sentences = SentencesExtractedFromParagraph(include_unterminated_sentences, min_sentence_length, paragraph);
      for (int32_t k = 0; k < sentences->Count() && processing; ++k) {
        const UnicodeString& s = sentences->StoredString(k);
        int32_t where = 0;
        if (s.empty() || seen.Find(s, where)) continue;
        seen.Add(s);
        MyYieldProcess();
        if (tagless.size() > 100000 && this_reporting)
          this_reporting(static_cast<int32_t>(int64_t{p} * 100 / static_cast<int64_t>(tagless.size())));
        const int32_t hits = places && s.size() >= TRunIndex::kRun ? places->Count(s) : CountOccurrences(text, s);
        if (hits >= min_hits) chunks_list->AddOrIncOneByFreq(s, file_number, hits);
      }
    }
    const int32_t next = FirstValidStartOfSentence(tagless, q + 2);
    if (next < q) break;
    p = next;
  }
  return chunks_list->Count() - before;
}

UnicodeString TRepeatedChunks::GetAFilename(int32_t index) const {
  if (!fnames || index < 0 || index >= fnames->Count()) return {};
  return fnames->GetFullFilename(index);
}

void TRepeatedChunks::Clear() {
  if (chunks_list) chunks_list->Clear();
  if (fnames) fnames->Clear();
  if (display_index) display_index->Clear();
}

// ---- fixed-length chunks ----

std::unique_ptr<TStringListWith2LongintRec> RepeatedXCharChunks(int32_t chunkLen, int32_t minFreq, int32_t maxChunks,
                                                               const UnicodeString& text,
                                                               const TProgressChangedFunct& progress) {
  auto result = std::make_unique<TStringListWith2LongintRec>();
  result->SetSorted(true);
  const int64_t L = static_cast<int64_t>(text.size());
  const std::u16string_view all(text);
  int64_t start = 1;
  // A chunk length below 1 would never move on.
  if (chunkLen < 1) return result;
  int32_t repeating = 0;  // lines whose long0 is above 1
  while (start + chunkLen <= L) {
    const UnicodeString chunk = Trim(all.substr(static_cast<size_t>(start - 1), static_cast<size_t>(chunkLen)));
    start += chunkLen;
    const int64_t next = start;
    if (progress) progress(static_cast<int32_t>(start * 100 / L));
    if (chunk.size() > 100) {
      for (;;) {
        MyYieldProcess();
        const size_t found = FindFrom(all, chunk, static_cast<size_t>(start - 1));
        if (found == std::u16string_view::npos) break;
        const int64_t p = static_cast<int64_t>(found) + 1;
        int32_t line = -1;
        if (!result->Find(chunk, line)) {
          line = result->AddOne(chunk, T2_longint_rec{1, static_cast<int32_t>(p)});
        } else {
          result->IncOne(line, t2_long0);
          if (result->GetOne(line).long0 == 2) ++repeating;
        }
        start = p + 1;
        if (result->Count() >= maxChunks && repeating >= maxChunks) break;
      }
    }
    start = next;
  }
  if (result->Count() >= 2) {
    result->SetSorted(false);
    result->SortOnFreq(t2_long0);
    for (int32_t i = result->Count() - 1; i >= 0; --i)
      if (result->GetOne(i).long0 < minFreq) result->Delete(i);
  }
  return result;
}

}  // namespace kx8
