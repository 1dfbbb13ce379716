#include "kx8rt/platform/string_list.h"

#include <algorithm>
#include <memory>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/quick_sort.h"

namespace kx8 {

namespace {

// Keeps an update open for the life of a scope, so that an exception still closes it.
class TUpdateScope {
 public:
  explicit TUpdateScope(TStringList& list) : fList(list) { fList.BeginUpdate(); }
  ~TUpdateScope() { fList.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TStringList& fList;
};

[[noreturn]] void RaiseSortedListError() { throw EListError(u"Operation not allowed on sorted list"); }

}  // namespace

TStringList::~TStringList() { FreeObjects(fList); }

void TStringList::FreeObjects(std::vector<TStringItem>& items) const {
  if (!fOwnsObjects) return;
  for (auto& item : items) {
    delete item.fObject;
    item.fObject = nullptr;
  }
}

void TStringList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count()) RaiseListError(u"List index out of bounds", Index);
}

void TStringList::CheckNotSorted() const {
  if (fSorted) RaiseSortedListError();
}

void TStringList::Changing() {
  if (fUpdateCount == 0 && OnChanging) OnChanging(*this);
}

void TStringList::Changed() {
  if (fUpdateCount == 0 && OnChange) OnChange(*this);
}

void TStringList::BeginUpdate() {
  if (fUpdateCount == 0) Changing();
  ++fUpdateCount;
}

void TStringList::EndUpdate() {
  if (fUpdateCount == 0) return;  // an unmatched EndUpdate changes nothing
  if (--fUpdateCount == 0) Changed();
}

void TStringList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < Count()) RaiseListError(u"List capacity out of bounds", NewCapacity);
  fList.reserve(static_cast<size_t>(NewCapacity));
}

// ---- lines and slots ----

UnicodeString TStringList::Get(int32_t Index) const {
  CheckIndex(Index);
  return fList[static_cast<size_t>(Index)].fString;
}

const UnicodeString& TStringList::StoredString(int32_t Index) const {
  CheckIndex(Index);
  return fList[static_cast<size_t>(Index)].fString;
}

void TStringList::Put(int32_t Index, const UnicodeString& S) {
  CheckNotSorted();
  CheckIndex(Index);
  Changing();
  fList[static_cast<size_t>(Index)].fString = S;
  Changed();
}

TObject* TStringList::Objects(int32_t Index) const {
  CheckIndex(Index);
  const auto& item = fList[static_cast<size_t>(Index)];
  return item.fIsInteger ? nullptr : item.fObject;
}

int64_t TStringList::Integers(int32_t Index) const {
  CheckIndex(Index);
  const auto& item = fList[static_cast<size_t>(Index)];
  if (item.fObject != nullptr) throw EInvalidCast(u"The slot of line " + IntToStr(Index) + u" holds an object, not an integer");
  return item.fInteger;
}

bool TStringList::SlotHoldsInteger(int32_t Index) const {
  CheckIndex(Index);
  return fList[static_cast<size_t>(Index)].fIsInteger;
}

void TStringList::ReplaceSlot(int32_t Index, TObject* AObject, int64_t Integer, bool IsInteger) {
  std::unique_ptr<TObject> incoming(fOwnsObjects ? AObject : nullptr);
  CheckIndex(Index);
  incoming.release();
  Changing();
  auto& item = fList[static_cast<size_t>(Index)];
  TObject* old = item.fObject;
  item.fObject = AObject;
  item.fInteger = Integer;
  item.fIsInteger = IsInteger;
  // Putting back the object already in the slot must not free it.
  if (fOwnsObjects && old != AObject) delete old;
  Changed();
}

void TStringList::PutObject(int32_t Index, TObject* AObject) { ReplaceSlot(Index, AObject, 0, false); }

void TStringList::PutInteger(int32_t Index, int64_t Value) { ReplaceSlot(Index, nullptr, Value, true); }

void TStringList::InsertItem(int32_t Index, const UnicodeString& S, TObject* AObject, int64_t Integer, bool IsInteger) {
  Changing();
  TStringItem item;
  item.fString = S;
  item.fObject = AObject;
  item.fInteger = Integer;
  item.fIsInteger = IsInteger;
  fList.insert(fList.begin() + Index, std::move(item));
  Changed();
}

int32_t TStringList::AddItem(const UnicodeString& S, TObject* AObject, int64_t Integer, bool IsInteger) {
  // An owning list has taken AObject: it is freed unless the line is added.
  std::unique_ptr<TObject> incoming(fOwnsObjects ? AObject : nullptr);
  int32_t index = Count();
  if (fSorted) {
    if (Find(S, index)) {
      switch (fDuplicates) {
        case dupIgnore:
          // Handing back the object the line already holds must not free it.
          if (fList[static_cast<size_t>(index)].fObject == AObject) incoming.release();
          return index;
        case dupError: throw EListError(u"String list does not allow duplicates");
        case dupAccept: {
          // After the equal lines already there, so that equal lines keep the order they came in.
          int32_t lo = index, hi = Count() - 1;
          while (lo <= hi) {
            const int32_t mid = lo + (hi - lo) / 2;
            if (CompareStrings(fList[static_cast<size_t>(mid)].fString, S) <= 0) lo = mid + 1;
            else hi = mid - 1;
          }
          index = lo;
          break;
        }
      }
    }
  }
  InsertItem(index, S, AObject, Integer, IsInteger);
  incoming.release();
  return index;
}

int32_t TStringList::Add(const UnicodeString& S) { return AddObject(S, nullptr); }

int32_t TStringList::AddObject(const UnicodeString& S, TObject* AObject) { return AddItem(S, AObject, 0, false); }

int32_t TStringList::AddObject(const UnicodeString& S, std::unique_ptr<TObject> AObject) {
  if (!fOwnsObjects) throw EListError(u"The list does not own its objects");
  return AddItem(S, AObject.release(), 0, false);
}

int32_t TStringList::AddInteger(const UnicodeString& S, int64_t Value) { return AddItem(S, nullptr, Value, true); }

void TStringList::Insert(int32_t Index, const UnicodeString& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int32_t Index, const UnicodeString& S, TObject* AObject) {
  std::unique_ptr<TObject> incoming(fOwnsObjects ? AObject : nullptr);
  CheckNotSorted();
  if (Index < 0 || Index > Count()) RaiseListError(u"List index out of bounds", Index);
  InsertItem(Index, S, AObject, 0, false);
  incoming.release();
}

void TStringList::InsertInteger(int32_t Index, const UnicodeString& S, int64_t Value) {
  CheckNotSorted();
  if (Index < 0 || Index > Count()) RaiseListError(u"List index out of bounds", Index);
  InsertItem(Index, S, nullptr, Value, true);
}

void TStringList::Delete(int32_t Index) {
  CheckIndex(Index);
  Changing();
  TObject* old = fList[static_cast<size_t>(Index)].fObject;
  fList.erase(fList.begin() + Index);
  if (fOwnsObjects) delete old;
  Changed();
}

void TStringList::Clear() {
  if (fList.empty()) return;
  Changing();
  std::vector<TStringItem> old;
  old.swap(fList);
  FreeObjects(old);
  Changed();
}

void TStringList::Exchange(int32_t Index1, int32_t Index2) {
  CheckNotSorted();
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  ExchangeItems(Index1, Index2);
  Changed();
}

void TStringList::Move(int32_t CurIndex, int32_t NewIndex) {
  CheckNotSorted();
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  if (CurIndex == NewIndex) return;
  Changing();
  auto first = fList.begin();
  if (CurIndex < NewIndex)
    std::rotate(first + CurIndex, first + CurIndex + 1, first + NewIndex + 1);
  else
    std::rotate(first + NewIndex, first + CurIndex, first + CurIndex + 1);
  Changed();
}

void TStringList::AddStrings(const TStringList& Source) {
  if (fOwnsObjects) {
    for (const auto& item : Source.fList)
      if (item.fObject != nullptr) throw EListError(u"An owning list cannot share objects with another list");
  }
  // Read through Get, as a descendant may compute its lines; copy first when appending to itself.
  std::vector<TStringItem> copy(Source.fList.size());
  for (int32_t i = 0; i < Source.Count(); ++i) {
    copy[static_cast<size_t>(i)] = Source.fList[static_cast<size_t>(i)];
    copy[static_cast<size_t>(i)].fString = Source.Get(i);
  }
  TUpdateScope update(*this);
  for (const auto& item : copy) AddItem(item.fString, item.fObject, item.fInteger, item.fIsInteger);
}

void TStringList::Assign(const TStringList& Source) {
  if (&Source == this) return;
  TUpdateScope update(*this);
  Clear();
  AddStrings(Source);
}

// ---- searching and sorting ----

int32_t TStringList::CompareStrings(std::u16string_view S1, std::u16string_view S2) const {
  if (fUseLocale) {
    // An empty view may carry no pointer at all, which the collation call refuses.
    const char16_t* p1 = S1.empty() ? u"" : S1.data();
    const char16_t* p2 = S2.empty() ? u"" : S2.data();
    const int32_t r = CompareStringW(fLocale, fCaseSensitive ? 0 : NORM_IGNORECASE, p1, static_cast<int32_t>(S1.size()),
                                     p2, static_cast<int32_t>(S2.size()));
    if (r != 0) return r - 2;
    // The collation service failed (an unknown locale): order ordinally rather than not at all.
  }
  return fCaseSensitive ? CompareStr(S1, S2) : CompareText(S1, S2);
}

bool TStringList::Find(const UnicodeString& S, int32_t& Index) const {
  if (!fSorted) {
    Index = IndexOf(S);
    if (Index >= 0) return true;
    Index = Count();
    return false;
  }
  bool found = false;
  int32_t lo = 0, hi = Count() - 1;
  while (lo <= hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    const int32_t c = CompareStrings(fList[static_cast<size_t>(mid)].fString, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) found = true;
    }
  }
  Index = lo;
  return found;
}

int32_t TStringList::IndexOf(const UnicodeString& S) const {
  if (fSorted) {
    int32_t index = -1;
    return Find(S, index) ? index : -1;
  }
  for (int32_t i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int32_t TStringList::IndexOfObject(const TObject* AObject) const {
  for (size_t i = 0; i < fList.size(); ++i)
    if (!fList[i].fIsInteger && fList[i].fObject == AObject) return static_cast<int32_t>(i);
  return -1;
}

int32_t TStringList::IndexOfInteger(int64_t Value) const {
  for (size_t i = 0; i < fList.size(); ++i)
    if (fList[i].fIsInteger && fList[i].fInteger == Value) return static_cast<int32_t>(i);
  return -1;
}

void TStringList::SortItems() {
  TStringItem* items = fList.data();
  if (fUseLocale && fList.size() >= 32) {
    // Each string collated once into a key, the keys then compared byte by byte: the same comparisons
    // give the same answers as collating at each, so the order is the same, found several times faster.
    std::vector<std::string> keys(fList.size());
    bool keyed = true;
    for (size_t i = 0; i < fList.size() && keyed; ++i) {
      const UnicodeString& s = fList[i].fString;
      keyed = CompareStringSortKey(fLocale, fCaseSensitive ? 0 : NORM_IGNORECASE, s.empty() ? u"" : s.data(),
                                   static_cast<int32_t>(s.size()), keys[i]);
    }
    if (keyed) {
      QuickSortIndexed(
          0, static_cast<int64_t>(fList.size()) - 1,
          [&](int64_t a, int64_t b) { return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]); },
          [&](int64_t a, int64_t b) {
            std::swap(items[a], items[b]);
            std::swap(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
          });
      return;
    }
  }
  QuickSortIndexed(
      0, static_cast<int64_t>(fList.size()) - 1,
      [&](int64_t a, int64_t b) { return CompareStrings(items[a].fString, items[b].fString); },
      [&](int64_t a, int64_t b) { std::swap(items[a], items[b]); });
}

void TStringList::Sort() {
  if (fSorted || Count() < 2) return;
  Changing();
  SortItems();
  Changed();
}

void TStringList::CustomSort(TStringListSortCompare Compare) {
  CheckNotSorted();
  if (Compare == nullptr) throw EListError(u"No comparison given for the sort");
  if (Count() < 2) return;
  Changing();
  QuickSortIndexed(
      0, static_cast<int64_t>(fList.size()) - 1,
      [&](int64_t a, int64_t b) { return Compare(*this, static_cast<int32_t>(a), static_cast<int32_t>(b)); },
      [&](int64_t a, int64_t b) { ExchangeItems(static_cast<int32_t>(a), static_cast<int32_t>(b)); });
  Changed();
}

void TStringList::SetSorted(bool Value) {
  if (Value == fSorted) return;
  if (Value && Count() > 1) {
    Changing();
    SortItems();
    Changed();
  }
  fSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (Value == fCaseSensitive) return;
  fCaseSensitive = Value;
  if (fSorted && Count() > 1) {
    Changing();
    SortItems();
    Changed();
  }
}

void TStringList::SetLocale(LCID Value) {
  if (Value == fLocale) return;
  fLocale = Value;
  if (fSorted && Count() > 1) {
    Changing();
    SortItems();
    Changed();
  }
}

void TStringList::SetUseLocale(bool Value) {
  if (Value == fUseLocale) return;
  fUseLocale = Value;
  if (fSorted && Count() > 1) {
    Changing();
    SortItems();
    Changed();
  }
}

// ---- whole text ----

UnicodeString TStringList::GetTextStr() const {
  size_t total = 0;
  for (const auto& item : fList) total += item.fString.size() + fLineBreak.size();
  UnicodeString text;
  text.reserve(total);
  for (int32_t i = 0; i < Count(); ++i) {
    text += Get(i);
    text += fLineBreak;
  }
  return text;
}

void TStringList::SetTextStr(const UnicodeString& Value) {
  TUpdateScope update(*this);
  Clear();
  ForEachTextLine(Value, fLineBreak, [this](UnicodeString&& line) { Add(line); });
}

// ---- delimited text and name=value lines ----

namespace {

UnicodeString QuotedDelimitedText(const TStringList& list, char16_t delimiter, char16_t quote, bool strict) {
  if (list.Count() == 1 && list.Get(0).empty()) return UnicodeString(2, quote);
  UnicodeString result;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const UnicodeString s = list.Get(i);
    const bool needsQuotes = std::any_of(s.begin(), s.end(), [&](char16_t c) {
      return c == quote || c == delimiter || (!strict && c <= u' ');
    });
    if (i > 0) result += delimiter;
    if (!needsQuotes) {
      result += s;
      continue;
    }
    result += quote;
    for (char16_t c : s) {
      if (c == quote) result += quote;
      result += c;
    }
    result += quote;
  }
  return result;
}

void ParseDelimitedText(TStringList& list, std::u16string_view text, char16_t delimiter, char16_t quote, bool strict) {
  auto isBlank = [&](char16_t c) { return !strict && c >= 1 && c <= u' '; };
  text = text.substr(0, text.find(u'\0'));
  size_t p = 0;
  const size_t n = text.size();
  while (p < n && isBlank(text[p])) ++p;
  while (p < n) {
    UnicodeString item;
    if (text[p] == quote) {
      // A quoted item: a doubled quote stands for one; the item ends at the lone closing quote.
      ++p;
      while (p < n) {
        if (text[p] == quote) {
          if (p + 1 < n && text[p + 1] == quote) {
            item += quote;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      const size_t start = p;
      while (p < n && text[p] != delimiter && !(!strict && text[p] <= u' ')) ++p;
      item.assign(text.substr(start, p - start));
    }
    list.Add(item);
    while (p < n && isBlank(text[p])) ++p;
    if (p < n && text[p] == delimiter) {
      ++p;
      if (p == n) list.Add(UnicodeString());  // a trailing delimiter ends an empty last item
      while (p < n && isBlank(text[p])) ++p;
    }
  }
}

}  // namespace

UnicodeString TStringList::DelimitedText() const {
  return QuotedDelimitedText(*this, fDelimiter, fQuoteChar, fStrictDelimiter);
}

void TStringList::SetDelimitedText(const UnicodeString& Value) {
  TUpdateScope update(*this);
  Clear();
  ParseDelimitedText(*this, Value, fDelimiter, fQuoteChar, fStrictDelimiter);
}

UnicodeString TStringList::CommaText() const { return QuotedDelimitedText(*this, u',', u'"', false); }

void TStringList::SetCommaText(const UnicodeString& Value) {
  TUpdateScope update(*this);
  Clear();
  ParseDelimitedText(*this, Value, u',', u'"', false);
}

UnicodeString TStringList::Names(int32_t Index) const {
  const UnicodeString s = Get(Index);
  const size_t p = s.find(fNameValueSeparator);
  return p == UnicodeString::npos ? UnicodeString() : s.substr(0, p);
}

UnicodeString TStringList::ValueFromIndex(int32_t Index) const {
  const UnicodeString s = Get(Index);
  const size_t p = s.find(fNameValueSeparator);
  return p == UnicodeString::npos ? UnicodeString() : s.substr(p + 1);
}

void TStringList::SetValueFromIndex(int32_t Index, const UnicodeString& Value) {
  const UnicodeString s = Get(Index);
  const size_t p = s.find(fNameValueSeparator);
  const UnicodeString name = p == UnicodeString::npos ? s : s.substr(0, p);
  Put(Index, name + fNameValueSeparator + Value);
}

int32_t TStringList::IndexOfName(const UnicodeString& Name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    const UnicodeString s = Get(i);
    const size_t p = s.find(fNameValueSeparator);
    if (p != UnicodeString::npos && CompareStrings(std::u16string_view(s).substr(0, p), Name) == 0) return i;
  }
  return -1;
}

UnicodeString TStringList::Values(const UnicodeString& Name) const {
  const int32_t i = IndexOfName(Name);
  return i < 0 ? UnicodeString() : ValueFromIndex(i);
}

void TStringList::SetValue(const UnicodeString& Name, const UnicodeString& Value) {
  const int32_t i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  const UnicodeString line = Name + fNameValueSeparator + Value;
  if (i < 0) Add(line);
  else if (fSorted) {
    // A sorted list cannot take Put: the new line goes in order.
    Delete(i);
    Add(line);
  } else {
    Put(i, line);
  }
}

// ---- loading and saving ----

void TStringList::LoadFromStream(TStream& Stream) { LoadFromStream(Stream, std::nullopt); }

void TStringList::LoadFromStream(TStream& Stream, const std::optional<TEncoding>& Encoding) {
  std::string bytes;
  constexpr int32_t kChunk = 64 * 1024;
  for (;;) {
    const size_t had = bytes.size();
    bytes.resize(had + kChunk);
    const int32_t got = Stream.Read(bytes.data() + had, kChunk);
    bytes.resize(had + static_cast<size_t>(std::max(got, 0)));
    if (got <= 0) break;  // a stream may hand over less than asked before its end
  }
  size_t markLength = 0;
  const std::optional<TEncoding> marked = TEncoding::FromSignature(bytes, markLength);
  TEncoding used = TEncoding::Default();
  size_t skip = 0;
  if (Encoding) {
    used = *Encoding;
    if (marked && marked->Kind() == used.Kind()) skip = markLength;
  } else if (marked) {
    used = *marked;
    skip = markLength;
  } else if (fDefaultEncoding) {
    used = *fDefaultEncoding;
  }
  const UnicodeString text = used.GetString(std::string_view(bytes).substr(skip));
  std::string().swap(bytes);
  SetTextStr(text);
  fEncoding = used;
}

void TStringList::LoadFromFile(const UnicodeString& FileName) { LoadFromFile(FileName, std::nullopt); }

void TStringList::LoadFromFile(const UnicodeString& FileName, const std::optional<TEncoding>& Encoding) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream, Encoding);
}

void TStringList::SaveToStream(TStream& Stream) const { SaveToStream(Stream, std::nullopt); }

void TStringList::SaveToStream(TStream& Stream, const std::optional<TEncoding>& Encoding) const {
  TEncoding used = TEncoding::Default();
  if (Encoding) used = *Encoding;
  else if (fEncoding) used = *fEncoding;
  else if (fDefaultEncoding) used = *fDefaultEncoding;
  if (fWriteBOM) {
    const std::string_view preamble = used.GetPreamble();
    Stream.WriteBuffer(preamble.data(), static_cast<int64_t>(preamble.size()));
  }
  const std::string bytes = used.GetBytes(GetTextStr());
  Stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TStringList::SaveToFile(const UnicodeString& FileName) const { SaveToFile(FileName, std::nullopt); }

void TStringList::SaveToFile(const UnicodeString& FileName, const std::optional<TEncoding>& Encoding) const {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(stream, Encoding);
}

}  // namespace kx8
