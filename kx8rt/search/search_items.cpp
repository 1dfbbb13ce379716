#include "kx8rt/search/search_items.h"

#include <algorithm>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/files/logging_utilities.h"
#include "kx8rt/platform/code_pages.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

// ---- TSWList ----




// ---- TSearchFoundList ----

int64_t SearchFoundOffset(const TSearchFound_Rec& rec) {
  return static_cast<const uint8_t*>(rec.where_hit_started) - static_cast<const uint8_t*>(rec.start_of_text);
}


int32_t TSearchFoundList::AddOne(const TSearchFound_Rec& rec) {
  auto h = std::make_unique<TSearchFoundHolder>(rec);
  const int32_t i = Add(h.get());
  h.release();
  return i;
}

void TSearchFoundList::SetBase(void* item, int32_t) {
  base_int = item ? SearchFoundOffset(static_cast<TSearchFoundHolder*>(item)->fData) : 0;
}

int32_t TSearchFoundList::Compare(void* item) const {
  const int64_t off = item ? SearchFoundOffset(static_cast<TSearchFoundHolder*>(item)->fData) : 0;
  if (off == base_int) return 0;
  return off > base_int ? -1 : 1;
}

void TSearchFoundList::SortByOffset() {
  SetAscending(true, true, true);
  // Compare answers from the base's side; the sort wants the entry's side (negative: before the base).
  DoASingleSort([this](void* item) { return -Compare(item); }, 0);
}



// ---- TBaseSearchItems ----

namespace {
UnicodeString ReduceDoubledSpaces(UnicodeString s) {
  for (size_t p = s.find(u"  "); p != UnicodeString::npos; p = s.find(u"  ", p)) s.erase(p, 1);
  return s;
}
}  // namespace

TBaseSearchItems::TBaseSearchItems()
    : fPlainSWS(std::make_unique<TSimpleSearchlist>(DefaultSimpleSearchSettings())),
      fSearchTallier(std::make_unique<TSWList>()) {}

TBaseSearchItems::TBaseSearchItems(const TIgnore_tag& Aignore_tags, LCID AnLCID, bool aSplit_SWs_at_slashes)
    : TBaseSearchItems() {
  ignore_tags = Aignore_tags;
  fLCID = AnLCID;
  fSplitting_at_slashes = aSplit_SWs_at_slashes;
}

TBaseSearchItems::~TBaseSearchItems() = default;

TSWHolder* TBaseSearchItems::HolderAt(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return fSearchTallier->Holder(i);
}

std::vector<int32_t> TBaseSearchItems::fAddedSearchWordsIndices(const UnicodeString& Typed) {
  UnicodeString s = ReduceDoubledSpaces(Typed);
  const auto alternatives = SplitSWList(s, fSplitting_at_slashes);
  std::vector<int32_t> result;
  for (int32_t a = alternatives->Count() - 1; a >= 0; --a) {
    UnicodeString alt = alternatives->Get(a);
    const UnicodeString asTyped = alt;
    TSearch_word_format_rec rec;
    if (fFormatPreChecked)
      UnParsed_SearchWord(alt, rec);
    else
      Parsed_SearchWord(ignore_tags, alt, rec);
    if (rec.typed_in_text.empty()) rec.typed_in_text = asTyped;
    if (global_keeping_log) AddToLogFile(Format(u"\"%s\" = \"%s\"", {asTyped, rec.search_text}));
    if (rec.search_text.empty()) continue;
    const int32_t existing = TypeInIndexOf(rec.typed_in_text, true);
    result.push_back(existing >= 0 ? existing : AddOneSW(rec));
  }
  return result;
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(const UnicodeString& Typed) {
  return fAddedSearchWordsIndices(Typed);
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(const UnicodeString& Typed, int16_t aLangnum) {
  auto r = fAddedSearchWordsIndices(Typed);
  for (int32_t i : r)
    if (i >= 0) SetLanguage(i, aLangnum);
  return r;
}

std::vector<int32_t> TBaseSearchItems::AddedSearchWords(const UnicodeString& Typed, int32_t aNToFind) {
  auto r = fAddedSearchWordsIndices(Typed);
  for (int32_t i : r)
    if (i >= 0) SetNToFind(i, aNToFind);
  return r;
}

int32_t TBaseSearchItems::AddOneSW(const TSearch_word_format_rec& rec) {
  auto h = std::make_unique<TSWHolder>(rec);
  const int32_t i = fSearchTallier->Add(h.get());
  h.release();
  return i;
}

int32_t TBaseSearchItems::EnsureContains(const TSearch_word_format_rec& rec) {
  const int32_t i = IndexOf(rec);
  return i >= 0 ? i : AddOneSW(rec);
}

void TBaseSearchItems::AddSWs(const TBaseSearchItems& Other) {
  const int32_t n = Other.Count();  // fixed first, so adding a list to itself ends
  for (int32_t i = 0; i < n; ++i) AddOneSW(Other.GetSWR(i));
}

void TBaseSearchItems::InsertSearchWordsAtTop(const UnicodeString& Typed, std::vector<int32_t>& indices) {
  indices = AddedSearchWords(Typed);
  if (indices.empty()) return;
  const int32_t last = static_cast<int32_t>(indices.size()) - 1;
  // Each new item (index above the array's last position) is to end at position k. Moving one item
  // shifts the others, so each is found again by its holder, and the moves go from the top down, so
  // that a later move never displaces an item already placed above it.
  std::vector<TSWHolder*> holders;
  for (int32_t idx : indices) holders.push_back(HolderAt(idx));
  for (int32_t k = 0; k <= last; ++k) {
    if (indices[k] <= last || holders[k] == nullptr) continue;
    const int32_t now = fSearchTallier->IndexOf(holders[k]);
    if (now >= 0 && now != k) fSearchTallier->Move(now, k);
    indices[k] = k;
  }
  // Items that stayed where they were may have been shifted by the moves: report where they are now.
  for (int32_t k = 0; k <= last; ++k)
    if (holders[k] != nullptr) indices[k] = fSearchTallier->IndexOf(holders[k]);
}

int32_t TBaseSearchItems::IndexOf(const TSearch_word_format_rec& rec) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const TSWHolder* h = fSearchTallier->Holder(i);
    if (h->data.typed_in_text == rec.typed_in_text) return h->data.Langnum == rec.Langnum ? i : -1;
  }
  return -1;
}

int32_t TBaseSearchItems::TypeInIndexOf(const UnicodeString& S, bool CaseSensitive) const {
  for (int32_t i = 0; i < Count(); ++i) {
    MyYieldProcess();
    const UnicodeString& t = fSearchTallier->Holder(i)->data.typed_in_text;
    if (CaseSensitive ? t == S : AnsiCompareText(t, S) == 0) return i;
  }
  return -1;
}

TSearch_word_format_rec* TBaseSearchItems::GetPtr(int32_t i) const {
  TSWHolder* h = HolderAt(i);
  return h ? &h->data : nullptr;
}

TSearch_word_format_rec TBaseSearchItems::GetSWR(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h ? h->data : TSearch_word_format_rec{};
}

void TBaseSearchItems::PutSWR(int32_t i, const TSearch_word_format_rec& rec) {
  if (TSWHolder* h = HolderAt(i)) h->data = rec;
}

TMySearchFlags TBaseSearchItems::GetAFlag(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h ? h->data.flags : TMySearchFlags{};
}

void TBaseSearchItems::SetAFlag(int32_t i, TMySearchFlags flags) {
  if (TSWHolder* h = HolderAt(i)) h->data.flags = flags;
}

int32_t TBaseSearchItems::GetHitsFound(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h ? h->data.hits_found : 0;
}
int32_t TBaseSearchItems::GetNToFind(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h ? h->data.n_to_find : 0;
}
int32_t TBaseSearchItems::GetSpacesInSW(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h ? h->data.spaces_in_sw : 0;
}
int16_t TBaseSearchItems::GetLanguage(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h ? h->data.Langnum : 0;
}
bool TBaseSearchItems::GetSearchFound(int32_t i) const {
  const TSWHolder* h = HolderAt(i);
  return h && h->data.achou_suficiente;
}
void TBaseSearchItems::SetSearchFound(int32_t i, bool b) {
  if (TSWHolder* h = HolderAt(i)) h->data.achou_suficiente = b;
}

// A bad index here is the caller's mistake: the list's own index error says so.
void TBaseSearchItems::SetHitsFound(int32_t i, int32_t n) { fSearchTallier->Holder(i)->data.hits_found = n; }
void TBaseSearchItems::SetNToFind(int32_t i, int32_t n) { fSearchTallier->Holder(i)->data.n_to_find = n; }
void TBaseSearchItems::SetLanguage(int32_t i, int16_t n) { fSearchTallier->Holder(i)->data.Langnum = n; }

void TBaseSearchItems::IncrementHits(int32_t i) {
  if (TSWHolder* h = HolderAt(i)) ++h->data.hits_found;
}

void TBaseSearchItems::ClearHits() {
  for (int32_t i = 0; i < Count(); ++i) fSearchTallier->Holder(i)->data.hits_found = 0;
}

void TBaseSearchItems::SetHits(const std::vector<int32_t>& hits) {
  const int32_t n = std::min<int32_t>(Count(), static_cast<int32_t>(hits.size()));
  for (int32_t k = 0; k < n; ++k) fSearchTallier->Holder(k)->data.hits_found = hits[k];
}

int64_t TBaseSearchItems::TotalHits() const {
  int64_t t = 0;
  for (int32_t i = 0; i < Count(); ++i) t += fSearchTallier->Holder(i)->data.hits_found;
  return t;
}

void TBaseSearchItems::ClearOne(int32_t i) {
  if (i >= 0 && i < Count()) fSearchTallier->Delete(i);
}

void TBaseSearchItems::Clear() {
  fPlainSWS->Clear();
  fSearchTallier->Clear();
  fFrom_a_file = false;
}

void TBaseSearchItems::MoveToTop(int32_t i) {
  if (i > 0 && i < Count()) fSearchTallier->Move(i, 0);
}

const void* TBaseSearchItems::TypedInWord(int32_t i, bool Unicode) const {
  const TSWHolder* h = HolderAt(i);
  if (h == nullptr) return nullptr;
  if (Unicode) return h->data.typed_in_text.c_str();
  Global_TypedInWordAnsiBuffer = UnicodeToAnsi(h->data.typed_in_text);
  return Global_TypedInWordAnsiBuffer.c_str();
}

std::unique_ptr<TStringList> TBaseSearchItems::TypedInWordsAsStringlist() const {
  auto l = std::make_unique<TStringList>();
  for (int32_t i = 0; i < Count(); ++i) l->Add(fSearchTallier->Holder(i)->data.typed_in_text);
  return l;
}

std::vector<TSearch_word_format_rec> TBaseSearchItems::CopyOfArrayOFSWItems(const std::vector<int32_t>& indices) const {
  std::vector<TSearch_word_format_rec> r;
  r.reserve(indices.size());
  for (int32_t i : indices) r.push_back(GetSWR(i));
  return r;
}

UnicodeString TBaseSearchItems::AllTypedSearchWordsAsOne(bool Limited) const {
  UnicodeString r;
  const int32_t n = Limited ? std::min<int32_t>(Count(), 10) : Count();
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0) r += u'/';
    r += fSearchTallier->Holder(i)->data.typed_in_text;
  }
  if (Limited && Count() > 10) r = UnicodeString(KXEtc) + u' ' + r;
  return r;
}

std::unique_ptr<TStringList> TBaseSearchItems::TypeInParts(const UnicodeString& S) const {
  UnicodeString s = ReduceDoubledSpaces(S);
  return SplitSWList(s, fSplitting_at_slashes);
}

int32_t TBaseSearchItems::SearchesPlannedCount() const {
  UnicodeString all = AllTypedSearchWordsAsOne(false);
  if (all.empty()) return 0;
  return SplitSWList(all, true)->Count();
}

TSimpleSearchlist& TBaseSearchItems::ComputePlainSearchWords() {
  fPlainSWS->Clear();
  for (int32_t i = 0; i < Count(); ++i) {
    TSearchContextRec rec{};
    rec.mainwd.wd = fSearchTallier->Holder(i)->data.typed_in_text;
    rec.mainwd.flags = FlagsFromSW(rec.mainwd.wd);
    rec.n_wanted = 1;
    fPlainSWS->AddOne(rec);
  }
  return *fPlainSWS;
}

bool TBaseSearchItems::SaveToFile(const UnicodeString& FileName) const {
  try {
    TStringList l;
    for (int32_t i = 0; i < Count(); ++i) l.Add(fSearchTallier->Holder(i)->data.typed_in_text);
    l.SetLineBreak(u"\r\n");
    l.SaveToFile(FileName, TEncoding::Unicode());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TBaseSearchItems::LoadFromFile(const UnicodeString& FileName, int32_t aNToFind) {
  Clear();
  TStringList l;
  try {
    l.LoadFromFile(FileName);
  } catch (const std::exception&) {
    return false;  // a missing or unreadable file loads nothing
  }
  bool any = false;
  for (int32_t i = 0; i < l.Count(); ++i) {
    const UnicodeString& line = l.StoredString(i);
    if (line.empty()) continue;
    if (!AddedSearchWords(line, aNToFind).empty()) any = true;
  }
  fFrom_a_file = any;
  return any;
}

bool TBaseSearchItems::SaveToStream(TStream& Stream) const {
  try {
    const int32_t n = Count();
    Stream.WriteBuffer(&n, 4);
    for (int32_t i = 0; i < n; ++i) {
      const auto& d = fSearchTallier->Holder(i)->data;
      WriteAString(Stream, d.typed_in_text + u'\t' + IntToStr(d.hits_found) + u'\t' + IntToStr(d.Langnum));
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

namespace {
// The string stream form, insisting on every unit; false for a short read or a bad length.
bool ReadFullString(TStream& s, UnicodeString& out) {
  int32_t n = 0;
  if (s.Read(&n, 4) != 4 || n < 0 || n > global_string_safety_limit) return false;
  out.resize(static_cast<size_t>(n));
  return n == 0 || s.Read(out.data(), n * 2) == n * 2;
}

int32_t FieldNumber(const UnicodeString& s, int32_t which) {
  size_t start = 0;
  for (int32_t k = 0; k < which; ++k) {
    const size_t tab = s.find(u'\t', start);
    if (tab == UnicodeString::npos) return -1;
    start = tab + 1;
  }
  const size_t end = s.find(u'\t', start);
  int32_t v = 0;
  return TryStrToInt(s.substr(start, end == UnicodeString::npos ? UnicodeString::npos : end - start), v) ? v : -1;
}
}  // namespace

bool TBaseSearchItems::ReadFromStream(TStream& Stream) {
  try {
    int32_t n = 0;
    if (Stream.Read(&n, 4) != 4) return false;
    UnicodeString s;
    for (int32_t i = 0; i < n; ++i) {
      if (!ReadFullString(Stream, s)) return false;
      const int32_t hits = FieldNumber(s, 1);
      const int32_t lang = FieldNumber(s, 2);
      const size_t tab = s.find(u'\t');
      const UnicodeString typed = tab == UnicodeString::npos ? s : s.substr(0, tab);
      for (int32_t idx : fAddedSearchWordsIndices(typed)) {
        if (idx < 0) continue;
        if (hits > -1) SetHitsFound(idx, hits);
        if (lang > -1 && lang <= INT16_MAX) SetLanguage(idx, static_cast<int16_t>(lang));
      }
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// ---- TSearchWordItems ----

TSearchWordItems::~TSearchWordItems() = default;

std::vector<int32_t> TSearchWordItems::fAddedSearchWordsIndices(const UnicodeString& Typed) {
  if (TypeInIndexOf(Typed, true) >= 0) return {};
  auto r = TBaseSearchItems::fAddedSearchWordsIndices(Typed);
  if (!r.empty() && Count() > 0 && fSearchTallier->Holder(0)->data.has_file_based_context_word && !ftempCWItems &&
      !ftempEngine) {
    ftempCWItems = std::make_unique<TContextWordItems>(ignore_tags, fLCID, true);
    ftempEngine = std::make_unique<TSearchAndDoEngine>(fLCID);
  }
  return r;
}

bool TSearchWordItems::GetHasContextWord(int32_t i) {
  const TSWHolder* h = HolderAt(i);
  const bool b = h && h->data.has_file_based_context_word;
  if (b) HasAnyContextWords = true;
  return b;
}

}  // namespace kx8
