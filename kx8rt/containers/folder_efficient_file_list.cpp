#include "kx8rt/containers/folder_efficient_file_list.h"

#include "kx8rt/containers/comparisons.h"

namespace kx8 {

// ---- TMySimpleSearchRecHolderStringlist ----

TMySimpleSearchRecHolder* TMySimpleSearchRecHolderStringlist::HolderAt(int32_t i) const {
  if (!IndexAssignedOK(i)) return nullptr;
  return dynamic_cast<TMySimpleSearchRecHolder*>(Objects(i));
}

UnicodeString TMySimpleSearchRecHolderStringlist::Get(int32_t i) const {
  const auto* h = HolderAt(i);
  if (h) return h->data.ShortName;
  return IndexAssignedOK(i) ? TIndexCheckStringlist::Get(i) : UnicodeString();
}

TMySimpleSearchRec TMySimpleSearchRecHolderStringlist::GetASimpleSearchRec(int32_t i) const {
  const auto* h = HolderAt(i);
  return h ? h->data : TMySimpleSearchRec{};
}

int32_t TMySimpleSearchRecHolderStringlist::GetAFolderNumber(int32_t i) const {
  const auto* h = HolderAt(i);
  return h ? h->data.folder_number : 0;
}

int32_t TMySimpleSearchRecHolderStringlist::AddRec(const TMySimpleSearchRec& rec) {
  return AddObject(rec.ShortName, std::make_unique<TMySimpleSearchRecHolder>(rec));
}

void TMySimpleSearchRecHolderStringlist::FreeAndNilOne(int32_t i) {
  if (IndexAssignedOK(i)) PutObject(i, nullptr);  // the owning list frees the holder it replaces
}

// ---- TFolderEfficientFileStringlist ----

namespace {
size_t LastSeparator(const UnicodeString& s) { return s.find_last_of(u"/\\"); }

UnicodeString WithSeparator(const UnicodeString& folder) {
  if (folder.empty() || folder.back() == u'/' || folder.back() == u'\\') return folder;
  return folder + u'/';
}

UnicodeString NamePart(const UnicodeString& full) {
  const size_t p = LastSeparator(full);
  return p == UnicodeString::npos ? full : full.substr(p + 1);
}

UnicodeString FolderPart(const UnicodeString& full) {
  const size_t p = LastSeparator(full);
  return p == UnicodeString::npos ? UnicodeString() : full.substr(0, p + 1);
}

// The secondary key and the case rule of the running sort.
TMySimpleSearchRecSort sort_secondary = ss_none;
bool sort_names_ignore_case = false;

int32_t CompareKey(TMySimpleSearchRecSort key, const TMySimpleSearchRec& a, const TMySimpleSearchRec& b) {
  switch (key) {
    case ss_date: return CompareDates(a.DateTime, b.DateTime);
    case ss_size: return CompareLongints(a.Size, b.Size);
    case ss_folder: return CompareLongints(a.folder_number, b.folder_number);
    case ss_shortname:
      return sort_names_ignore_case ? Compare2StringsCaseInsensitively(a.ShortName, b.ShortName)
                                    : Compare2Strings(a.ShortName, b.ShortName);
    default: return 0;
  }
}

template <TMySimpleSearchRecSort Primary>
int CompareFiles(TStringList& L, int32_t i, int32_t j) {
  auto& list = static_cast<TMySimpleSearchRecHolderStringlist&>(L);
  const auto* a = list.HolderAt(i);
  const auto* b = list.HolderAt(j);
  const TMySimpleSearchRec ra = a ? a->data : TMySimpleSearchRec{};
  const TMySimpleSearchRec rb = b ? b->data : TMySimpleSearchRec{};
  const int32_t c = CompareKey(Primary, ra, rb);
  return c != 0 ? c : CompareKey(sort_secondary, ra, rb);
}
}  // namespace

TFolderEfficientFileStringlist::TFolderEfficientFileStringlist()
    : files(std::make_unique<TMySimpleSearchRecHolderStringlist>()), folders(std::make_unique<TStringList>()) {
  // Folder paths are told apart exactly, as the file system tells them apart.
  folders->SetCaseSensitive(true);
}

int32_t TFolderEfficientFileStringlist::FolderIndex(const UnicodeString& folder) {
  const int32_t k = folders->IndexOf(folder);
  return k >= 0 ? k : folders->Add(folder);
}

int32_t TFolderEfficientFileStringlist::AddOne(const UnicodeString& fullname) {
  TMySimpleSearchRec rec{};
  rec.ShortName = NamePart(fullname);
  rec.folder_number = FolderIndex(FolderPart(fullname));
  return files->AddRec(rec);
}

int32_t TFolderEfficientFileStringlist::AddOne(const UnicodeString& folder, const TMySimpleSearchRec& rec) {
  TMySimpleSearchRec r = rec;
  r.folder_number = FolderIndex(folder);
  return files->AddRec(r);
}

int32_t TFolderEfficientFileStringlist::AddOne(int32_t folder_index, const TMySimpleSearchRec& rec) {
  TMySimpleSearchRec r = rec;
  r.folder_number = folder_index;
  return files->AddRec(r);
}

void TFolderEfficientFileStringlist::Delete(int32_t i) {
  if (files->IndexAssignedOK(i)) files->Delete(i);
}

void TFolderEfficientFileStringlist::Clear() {
  files->Clear();
  folders->Clear();
}

UnicodeString TFolderEfficientFileStringlist::GetFullFilename(int32_t i) const {
  if (!files->IndexAssignedOK(i)) return UnicodeString();
  const TMySimpleSearchRec r = files->GetASimpleSearchRec(i);
  if (r.folder_number < 0 || r.folder_number >= folders->Count()) return r.ShortName;
  return WithSeparator(folders->Get(r.folder_number)) + r.ShortName;
}

std::unique_ptr<TStringList> TFolderEfficientFileStringlist::GetAsStringlist() const {
  auto l = std::make_unique<TStringList>();
  for (int32_t i = 0; i < Count(); ++i) l->Add(GetFullFilename(i));
  return l;
}

int32_t TFolderEfficientFileStringlist::IndexOfFullName(const UnicodeString& fullname) const {
  if (folders->IndexOf(FolderPart(fullname)) < 0) return -1;
  return files->IndexOf(NamePart(fullname));
}

void TFolderEfficientFileStringlist::SetFullFilename(int32_t i, const UnicodeString& name) {
  if (!files->IndexAssignedOK(i)) return;
  const UnicodeString shortName = NamePart(name);
  files->Put(i, shortName);
  if (auto* h = files->HolderAt(i)) h->data.ShortName = shortName;
}

void TFolderEfficientFileStringlist::DoASort(TMySimpleSearchRecSort sort1, TMySimpleSearchRecSort sort2,
                                             bool ascending) {
  sort_1 = sort1;
  sort_2 = sort2;
  if (sort1 == ss_none) return;
  sort_secondary = sort2 == sort1 ? ss_none : sort2;
  sort_names_ignore_case = case_insensitive && (sort1 == ss_folder || sort1 == ss_shortname);
  switch (sort1) {
    case ss_date: files->CustomSort(CompareFiles<ss_date>); break;
    case ss_size: files->CustomSort(CompareFiles<ss_size>); break;
    case ss_folder: files->CustomSort(CompareFiles<ss_folder>); break;
    case ss_shortname: files->CustomSort(CompareFiles<ss_shortname>); break;
    default: break;
  }
  if (!ascending) files->ReverseTheSort();
}

}  // namespace kx8
