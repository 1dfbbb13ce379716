#include "kx8rt/containers/checked_string_lists.h"

#include "kx8rt/platform/char_classes.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

// ---- TIndexCheckStringlist ----

void TIndexCheckStringlist::Clear() {
  IsSorted = false;
  ReduceTo(0);
  TStringList::Clear();
}

void TIndexCheckStringlist::ReduceTo(int32_t n) {
  if (n < 0) n = 0;
  for (int32_t i = Count() - 1; i >= n; --i)
    if (Objects(i) != nullptr) FreeAndNilOne(i);
}

void TIndexCheckStringlist::CustomSort(TStringListSortCompare compare) {
  SetSorted(false);
  TStringList::CustomSort(compare);
  IsSorted = true;
}

void TIndexCheckStringlist::ReverseTheSort() {
  if (Count() < 2) return;
  SetSorted(false);  // a runtime-sorted list cannot be rearranged; reversed it is no longer in its order
  BeginUpdate();
  for (int32_t i = 0, j = Count() - 1; i < j; ++i, --j) ExchangeItems(i, j);
  EndUpdate();
}

void TIndexCheckStringlist::FreeAndNilOne(int32_t) {}

// ---- TBaseAcceptableCheckStringlist ----

void TBaseAcceptableCheckStringlist::SetTextStr(const UnicodeString& text) {
  BeginUpdate();
  try {
    Clear();
    ForEachTextLine(text, LineBreak(), [&](UnicodeString&& line) {
      if (AcceptableString(line)) Add(line);
    });
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

bool TBaseAcceptableCheckStringlist::AcceptableString(UnicodeString&) { return true; }

// ---- TMySaveStringList ----

void TMySaveStringList::SaveToStream(TStream& stream) const {
  const int32_t n = Count();
  stream.WriteBuffer(&n, 4);
  for (int32_t i = 0; i < n; ++i) {
    if (save_Objects_too) {
      const int32_t v = SlotHoldsInteger(i) ? static_cast<int32_t>(Integers(i)) : 0;
      stream.WriteBuffer(&v, 4);
    }
    WriteAString(stream, Get(i));
  }
}

namespace {
[[noreturn]] void ReadFailed(int64_t n) {
  throw EReadError(Format(KXFileReadError, {static_cast<int32_t>(n), u"ReadAString"}));
}

int32_t ReadInt32OrFail(TStream& stream) {
  int32_t v = 0;
  if (stream.Read(&v, 4) != 4) ReadFailed(stream.Position());
  return v;
}

// The string stream form, insisting on every unit: a stream that ends inside a line is damaged.
void ReadWholeString(TStream& stream, UnicodeString& s) {
  const int32_t n = ReadInt32OrFail(stream);
  if (n < 0 || n > global_string_safety_limit) ReadFailed(n);
  s.resize(static_cast<size_t>(n));
  if (n > 0 && stream.Read(s.data(), n * 2) != n * 2) ReadFailed(n);
}
}  // namespace

void TMySaveStringList::LoadFromStream(TStream& stream) {
  int32_t n = 0;
  const int32_t got = stream.Read(&n, 4);
  if (got == 0) return;
  if (got != 4) ReadFailed(got);
  // Lines are appended one by one as they are read, never reserved from the count, so a damaged count
  // costs nothing beyond the lines the stream really holds.
  UnicodeString line;
  for (int32_t i = 0; i < n; ++i) {
    int32_t value = 0;
    if (save_Objects_too) value = ReadInt32OrFail(stream);
    ReadWholeString(stream, line);
    if (save_Objects_too)
      AddInteger(line, value);
    else
      Add(line);
  }
}

// ---- free routines ----

TSimpleSearchSettings DefaultSimpleSearchSettings() { return {60, 200}; }

UnicodeString KeyOfKeyPlusValue(const UnicodeString& s) {
  const size_t p = s.find(u'=');
  return p == UnicodeString::npos ? UnicodeString() : Trim(s.substr(0, p));
}

int32_t ValueOfKeyPlusValue(const UnicodeString& s) {
  const size_t p = s.find(u'=');
  if (p == UnicodeString::npos) return 0;
  int32_t v = 0;
  return TryStrToInt(Trim(s.substr(p + 1)), v) ? v : 0;
}

// ---- TSimpleSearchlist ----

TSimpleSearchlist::TSimpleSearchlist(const TSimpleSearchSettings& settings) : Settings(settings) {}


void TSimpleSearchlist::PreParseTheList(TStringList&) {}

UnicodeString TSimpleSearchlist::PreParseAString(const UnicodeString& s) { return s; }



int32_t TSimpleSearchlist::AddOne(const TSearchContextRec& rec) {
  auto holder = std::make_unique<TSearchContextHolder>(rec);
  const int32_t i = Add(holder.get());
  holder.release();
  return i;
}

void TSimpleSearchlist::AddAll(const TSimpleSearchlist& other) {
  if (&other == this) {
    const int32_t n = Count();
    for (int32_t i = 0; i < n; ++i) AddOne(GetASearchRec(i));
    return;
  }
  for (int32_t i = 0; i < other.Count(); ++i) AddOne(other.GetASearchRec(i));
}

TSearchContextRec TSimpleSearchlist::GetASearchRec(int32_t i) const {
  if (!IndexAssignedOK(i) || Get(i) == nullptr) return TSearchContextRec{};
  return static_cast<const TSearchContextHolder*>(Get(i))->data;
}

UnicodeString TSimpleSearchlist::GetATypedInSW(int32_t i) const {
  if (!IndexAssignedOK(i)) return UnicodeString();
  const TSearchContextRec r = GetASearchRec(i);
  return SWStringPlusFlags(r.mainwd.wd, r.mainwd.flags);
}

int32_t TSimpleSearchlist::IndexOfSimpleSearchRecSeek(const UnicodeString& s) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (Get(i) != nullptr && static_cast<const TSearchContextHolder*>(Get(i))->data.mainwd.wd == s) return i;
  return -1;
}

UnicodeString TSimpleSearchlist::AsText(const UnicodeString& separator) const {
  UnicodeString r;
  for (int32_t i = 0; i < Count(); ++i) {
    if (i > 0) r += separator;
    r += GetASearchRec(i).mainwd.wd;
  }
  return r;
}

bool TSimpleSearchlist::LoadFromFile(const UnicodeString& filename, bool keyed) {
  Clear();
  std::error_code ec;
  if (filename.empty() || !std::filesystem::is_regular_file(std::filesystem::path(Utf16ToUtf8(filename)), ec))
    return false;
  TStringList list;
  list.LoadFromFile(filename);
  PreParseTheList(list);
  LoadFromAStringlist(list, keyed);
  return true;
}

void TSimpleSearchlist::LoadFromAStringlist(const TStringList& list, bool keyed) {
  static const UnicodeString arrow = u" -> ";
  for (int32_t i = 0; i < list.Count(); ++i) {
    MyYieldProcess();
    UnicodeString s = Trim(list.Get(i));
    if (s.empty() || s[0] == u';' || s.starts_with(u"//")) continue;
    s = PreParseAString(s);
    if (s.empty()) continue;
    size_t pos = 0;
    for (;;) {
      const size_t a = s.find(arrow, pos);
      if (a != UnicodeString::npos) {
        LoadFromAString(Trim(s.substr(pos, a - pos)), keyed);
        pos = a + arrow.size();
      }
      const size_t c = s.find(u',', pos);
      if (c == UnicodeString::npos) break;
      LoadFromAString(Trim(s.substr(pos, c - pos)), keyed);
      pos = c + 1;
    }
    LoadFromAString(Trim(s.substr(pos)), keyed);
  }
}

namespace {
// A TAB field as a number in the locale's notation, rounded to the nearest integer, halves to even;
// false for an empty field, a non-number or a value outside the 32-bit range.
bool RoundedField(const UnicodeString& field, int32_t& out) {
  if (field.empty()) return false;
  double v = 0;
  if (!TryStrToFloat(field, v, FormatSettings) || !std::isfinite(v)) return false;
  const double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
  if (r < -2147483648.0 || r > 2147483647.0) return false;
  out = static_cast<int32_t>(r);
  return true;
}

void SetWord(TWordAndSearchFlags& w, const UnicodeString& text) {
  w.wd = text;
  w.flags = FlagsFromSW(w.wd);
  if (!w.flags.Contains(myCaseIsSensitive)) w.wd = FullUpperCase(w.wd);
}
}  // namespace

void TSimpleSearchlist::LoadFromAString(const UnicodeString& s, bool keyed) {
  TSearchContextRec rec{};
  UnicodeString mainField;
  // The "=" of "word=n". A word in the case notation "==Paris==" keeps its own equals signs: the
  // search for the separator starts after the closing "==", so that case-sensitive requests can be
  // written on a line at all.
  size_t from = 0;
  if (const UnicodeString t = TrimLeft(s); t.starts_with(u"==")) {
    const size_t open = s.find(u"==");
    const size_t close = s.find(u"==", open + 2);
    if (close != UnicodeString::npos) from = close + 2;
  }
  const size_t eq = s.find(u'=', from);
  if (eq != UnicodeString::npos) {
    mainField = Trim(s.substr(0, eq));
    int32_t v = 0;
    rec.n_wanted = TryStrToInt(Trim(s.substr(eq + 1)), v) ? v : 0;
  } else {
    size_t start = 0;
    for (int field = 1; field <= 6; ++field) {
      const size_t tab = s.find(u'\t', start);
      const UnicodeString f = s.substr(start, tab == UnicodeString::npos ? UnicodeString::npos : tab - start);
      switch (field) {
        case 1: mainField = f; break;
        case 2: SetWord(rec.context_words[0], f); break;
        case 3: SetWord(rec.context_words[1], f); break;
        case 4: RoundedField(f, rec.context_seek_span); break;
        case 5: RoundedField(f, rec.otherSWs_required); break;
        case 6: RoundedField(f, rec.n_wanted); break;
      }
      if (tab == UnicodeString::npos) break;
      start = tab + 1;
    }
  }
  // With keyed set the main field is read as key=value. A string holding "=" was already split at its
  // first "=" above, so the keyed form only meets main fields without "=": such a field is taken as a
  // key without a value (the whole field, upper-cased, with the number wanted left as read) rather
  // than dropped, so that a plain word in a keyed list still asks for that word.
  if (keyed) {
    const bool hasKey = mainField.find(u'=') != UnicodeString::npos;
    if (hasKey) rec.n_wanted = ValueOfKeyPlusValue(mainField);
    SetWord(rec.mainwd, FullUpperCase(hasKey ? KeyOfKeyPlusValue(mainField) : mainField));
  } else {
    SetWord(rec.mainwd, mainField);
  }
  if (rec.n_wanted == 0) rec.n_wanted = 1;
  if (!rec.mainwd.wd.empty()) AddOne(rec);
}

}  // namespace kx8
