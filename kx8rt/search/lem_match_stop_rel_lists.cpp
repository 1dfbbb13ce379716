#include "kx8rt/search/lem_match_stop_rel_lists.h"

#include <filesystem>
#include <system_error>

#include "kx8rt/containers/checked_string_lists.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/strings/string_list_utilities.h"

namespace kx8 {

namespace {
bool ListFileExists(const UnicodeString& filename) {
  if (filename.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(Utf16ToUtf8(filename)), ec);
}

// Reads a list file the way every kind is read: the whole text, upper-cased unless case-sensitive,
// then its lines sorted by the list's own ordering. Tells whether the text holds '<'.
std::unique_ptr<TStringList> ReadListFile(const UnicodeString& filename, bool case_sensitive, bool& has_affixes) {
  auto list = std::make_unique<TStringList>();
  list->SetCaseSensitive(case_sensitive);
  list->LoadFromFile(filename);
  UnicodeString text = list->Text();
  has_affixes = text.find(u'<') != UnicodeString::npos;
  if (!case_sensitive) list->SetTextStr(FullUnicodeUpperCase(text));
  list->Sort();
  return list;
}

std::unique_ptr<TStringList> NewWordList(bool case_sensitive) {
  auto l = std::make_unique<TStringList>();
  l->SetCaseSensitive(case_sensitive);
  return l;
}

UnicodeString WordAt(const TStringList* l, int32_t i) {
  if (l == nullptr || i >= l->Count()) return UnicodeString();
  return l->Get(i);  // a negative index raises the list-index error
}
}  // namespace

// ---- the list classes ----

TMyLemmalist::TMyLemmalist(bool case_sensitive)
    : headwords(NewWordList(case_sensitive)), variants(NewWordList(case_sensitive)) {}

void TMyLemmalist::AddALine(const UnicodeString& head_word, const UnicodeString& variant_text) {
  const int32_t k = headwords->Add(head_word);
  size_t start = 0;
  for (size_t comma = variant_text.find(u','); comma != UnicodeString::npos;
       comma = variant_text.find(u',', start)) {
    variants->AddInteger(variant_text.substr(start, comma - start), k + 1);
    start = comma + 1;
  }
  if (start < variant_text.size()) variants->AddInteger(variant_text.substr(start), k + 1);
}

void TMyLemmalist::Clear() {
  check_for_affixes = false;
  headwords->Clear();
  variants->Clear();
}

TMatchStopList::TMatchStopList(bool case_sensitive) : words(NewWordList(case_sensitive)) {}

void TMatchStopList::Clear() {
  check_for_affixes = false;
  words->Clear();
}

UnicodeString TMatchStopList::GetAWord(int32_t i) const { return WordAt(words.get(), i); }

// ---- the holder ----

TLemMatchStopRelHolder::TLemMatchStopRelHolder()
    : Matchlist(std::make_unique<TMyMatchlist>(false)),
      LemmaList(std::make_unique<TMyLemmalist>(false)),
      RelationList(std::make_unique<TMyRelationlist>(false)),
      StopList(std::make_unique<TMyStoplist>(false)) {}

TMatchStopList* TLemMatchStopRelHolder::WordList(TLemmaMatchStopRelOptions which) const {
  switch (which) {
    case as_match: return Matchlist.get();
    case as_stop: return StopList.get();
    case as_relation: return RelationList.get();
    default: return nullptr;
  }
}

bool TLemMatchStopRelHolder::StartUpAndLoadLemmaList(const UnicodeString& filename, bool case_sensitive) {
  if (!LemmaList) LemmaList = std::make_unique<TMyLemmalist>(case_sensitive);
  TMyLemmalist& l = *LemmaList;
  l.Clear();
  l.headwords->SetCaseSensitive(case_sensitive);
  l.variants->SetCaseSensitive(case_sensitive);
  if (!ListFileExists(filename)) return false;
  bool affixes = false;
  const auto lines = ReadListFile(filename, case_sensitive, affixes);
  l.check_for_affixes = affixes;
  static const UnicodeString arrow = u" -> ";
  for (int32_t i = 0; i < lines->Count(); ++i) {
    const UnicodeString& line = lines->StoredString(i);
    const size_t p = line.find(arrow);
    if (p == UnicodeString::npos || line[0] == u';') continue;
    l.AddALine(line.substr(0, p), line.substr(p + arrow.size()));
  }
  return l.headwords->Count() > 0;
}

bool TLemMatchStopRelHolder::StartUpAndLoadList(const UnicodeString& filename, TLemmaMatchStopRelOptions which,
                                                bool case_sensitive) {
  if (which == as_lemma) return StartUpAndLoadLemmaList(filename, case_sensitive);
  switch (which) {
    case as_match: if (!Matchlist) Matchlist = std::make_unique<TMyMatchlist>(case_sensitive); break;
    case as_stop: if (!StopList) StopList = std::make_unique<TMyStoplist>(case_sensitive); break;
    case as_relation: if (!RelationList) RelationList = std::make_unique<TMyRelationlist>(case_sensitive); break;
    default: return false;
  }
  ClearAList(which);
  TMatchStopList* target = WordList(which);
  if (!ListFileExists(filename)) return false;
  bool affixes = false;
  const auto lines = ReadListFile(filename, case_sensitive, affixes);
  auto words = NewWordList(case_sensitive);
  for (int32_t i = 0; i < lines->Count(); ++i) {
    const UnicodeString& line = lines->StoredString(i);
    if (line.empty() || line[0] == u';') continue;
    for (auto& piece : StringArrayFromString(u',', line)) words->Add(piece);
  }
  target->words = std::move(words);
  target->check_for_affixes = affixes;
  return target->words->Count() > 0;
}

void TLemMatchStopRelHolder::ClearAList(TLemmaMatchStopRelOptions which) {
  if (which == as_lemma) {
    if (LemmaList) LemmaList->Clear();
    return;
  }
  if (TMatchStopList* l = WordList(which)) l->Clear();
}

void TLemMatchStopRelHolder::FreeUpList(TLemmaMatchStopRelOptions which) {
  switch (which) {
    case as_lemma: LemmaList.reset(); break;
    case as_match: Matchlist.reset(); break;
    case as_stop: StopList.reset(); break;
    case as_relation: RelationList.reset(); break;
  }
}

void TLemMatchStopRelHolder::Free() {
  for (auto which : {as_lemma, as_match, as_stop, as_relation}) FreeUpList(which);
}

int32_t TLemMatchStopRelHolder::IndexOfWordInList(const UnicodeString& word, TLemmaMatchStopRelOptions which) const {
  if (which == as_lemma) return LemmaList ? LemmaList->headwords->IndexOf(word) : -1;
  const TMatchStopList* l = WordList(which);
  return l ? l->words->IndexOf(word) : -1;
}

int32_t TLemMatchStopRelHolder::IndexOfLemmaVariant(const UnicodeString& word) const {
  return LemmaList ? LemmaList->variants->IndexOf(word) : -1;
}

UnicodeString TLemMatchStopRelHolder::GetLemmalistVariantsOf(const char16_t* headword) const {
  if (!LemmaList || headword == nullptr) return UnicodeString();
  const int32_t k = LemmaList->headwords->IndexOf(UnicodeString(headword));
  if (k < 0) return UnicodeString();
  const TStringList& v = *LemmaList->variants;
  UnicodeString r;
  bool first = true;
  for (int32_t i = 0; i < v.Count(); ++i) {
    const int64_t stored = v.Integers(i);
    if (stored < k + 1) continue;
    if (stored > k + 1) break;
    if (!first) r += u',';
    r += v.StoredString(i);
    first = false;
  }
  return r;
}

std::pair<UnicodeString, UnicodeString> TLemMatchStopRelHolder::GetLemmalistVariantWithHeadword(int32_t i) const {
  if (!LemmaList || i >= LemmaList->variants->Count()) return {};
  const UnicodeString variant = LemmaList->variants->Get(i);  // a negative index raises
  const int64_t k = LemmaList->variants->Integers(i) - 1;
  const UnicodeString head =
      k >= 0 && k < LemmaList->headwords->Count() ? LemmaList->headwords->Get(static_cast<int32_t>(k)) : UnicodeString();
  return {head, variant};
}

UnicodeString TLemMatchStopRelHolder::GetLemmalistHeadWord(int32_t i) const {
  return WordAt(LemmaList ? LemmaList->headwords.get() : nullptr, i);
}
UnicodeString TLemMatchStopRelHolder::GetMatchlistWord(int32_t i) const {
  return WordAt(Matchlist ? Matchlist->words.get() : nullptr, i);
}
UnicodeString TLemMatchStopRelHolder::GetStoplistWord(int32_t i) const {
  return WordAt(StopList ? StopList->words.get() : nullptr, i);
}
UnicodeString TLemMatchStopRelHolder::GetRelationlistWord(int32_t i) const {
  return WordAt(RelationList ? RelationList->words.get() : nullptr, i);
}

int32_t TLemMatchStopRelHolder::GetLemmaHeadWordCount() const { return LemmaList ? LemmaList->headwords->Count() : 0; }
int32_t TLemMatchStopRelHolder::GetLemmaVariantCount() const { return LemmaList ? LemmaList->variants->Count() : 0; }

int32_t TLemMatchStopRelHolder::GetWordCount(TLemmaMatchStopRelOptions which) const {
  if (which == as_lemma) return GetLemmaHeadWordCount();
  const TMatchStopList* l = WordList(which);
  return l ? l->words->Count() : 0;
}

bool TLemMatchStopRelHolder::GetLemmaMatchRelationStoplistCheckAffixes(TLemmaMatchStopRelOptions which) const {
  if (which == as_lemma) return LemmaList && LemmaList->check_for_affixes;
  const TMatchStopList* l = WordList(which);
  return l && l->check_for_affixes;
}

bool TLemMatchStopRelHolder::AnyStoplistWordsFoundinString(const UnicodeString& s) const {
  if (!StopList) return false;
  size_t start = 0;
  for (;;) {
    const size_t sp = s.find(u' ', start);
    const UnicodeString piece = s.substr(start, sp == UnicodeString::npos ? UnicodeString::npos : sp - start);
    if (StopList->words->IndexOf(piece) >= 0) return true;
    if (sp == UnicodeString::npos) return false;
    start = sp + 1;
  }
}

// ---- settings helpers ----

fiftywidechar StringToFiftyWideChar(const UnicodeString& s) {
  fiftywidechar f{};
  const size_t n = std::min<size_t>(s.size(), 50);
  for (size_t i = 0; i < n; ++i) f[i] = s[i];
  return f;
}

UnicodeString FiftyWideCharToString(const fiftywidechar& f) {
  size_t n = 0;
  while (n < f.size() && f[n] != 0) ++n;
  return UnicodeString(f.data(), n);
}

UnicodeString MatchActionCaption(Tmatch_action action) {
  switch (action) {
    case matches_match_now: return KXMatchesMatchNow;
    case matches_delete_matches: return KXMatchesDeleteMatches;
    case matches_delete_non_matches: return KXMatchesDeleteNonMatches;
    case matches_copy_to_set_column: return KXMatchesCopyToSetColumn;
    case matches_remove_match_marking: return KXMatchesRemoveMatchMarking;
  }
  return UnicodeString();
}

}  // namespace kx8
