#include "kx8rt/strings/string_list_utilities.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

#include "kx8rt/containers/comparisons.h"
#include "kx8rt/containers/useful_classes_stringlist_sorts.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"
#include "kx8rt/platform/yield.h"
#include "kx8rt/strings/tags.h"

namespace kx8 {

// ---- TNotifyStringlist ----

TNotifyStringlist::TNotifyStringlist(TTellCountEvent aOnTellContagem) : OnTellContagem(std::move(aOnTellContagem)) {}

void TNotifyStringlist::SetTextStr(const UnicodeString& text) {
  int32_t count = 0;
  BeginUpdate();
  try {
    Clear();
    ForEachTextLine(text, LineBreak(), [&](UnicodeString&& line) {
      Add(line);
      ++count;
      if ((count & 0xFF) == 0xFF && OnTellContagem) OnTellContagem(count);
    });
  } catch (...) {
    EndUpdate();
    if (OnTellContagem) OnTellContagem(count);
    throw;
  }
  EndUpdate();
  if (OnTellContagem) OnTellContagem(count);
}

// ---- TFilenamesStringlist ----

bool TFilenamesStringlist::IsAnExistingFilename(const UnicodeString& name) {
  if (name.empty()) return false;
  std::error_code ec;
  const auto st = std::filesystem::status(std::filesystem::path(Utf16ToUtf8(name)), ec);
  return !ec && std::filesystem::is_regular_file(st);
}

UnicodeString TFilenamesStringlist::FilenameInLine(const UnicodeString& line) {
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find(u'\t', start);
    UnicodeString field = line.substr(start, tab == UnicodeString::npos ? UnicodeString::npos : tab - start);
    if (IsAnExistingFilename(field)) return field;
    if (tab == UnicodeString::npos) return UnicodeString();
    start = tab + 1;
  }
}

void TFilenamesStringlist::ReduceToExistingFilenames() {
  for (int32_t i = Count() - 1; i >= 0; --i) {
    const UnicodeString name = FilenameInLine(Get(i));
    if (name.empty())
      Delete(i);
    else
      Put(i, name);
  }
}

// ---- TInsertedTextPositionList ----


int32_t TInsertedTextPositionList::AddOne(const TInsertedTextRec& rec) {
  auto holder = std::make_unique<TInsertedTextHolder>(rec);
  const int32_t i = Add(holder.get());
  holder.release();
  return i;
}



TInsertedTextRec TInsertedTextPositionList::GetOne(int32_t i) const {
  if (i < 0 || i >= Count() || Get(i) == nullptr) return TInsertedTextRec{};
  return static_cast<const TInsertedTextHolder*>(Get(i))->data;
}

int32_t TInsertedTextPositionList::GetAHitStart(int32_t i) const { return GetOne(i).hit_place_in_chars; }

// ---- CopyStringsReplacing ----

UnicodeString CopyStringsReplacing(const UnicodeString& text, const UnicodeString& old_, const UnicodeString& new_,
                                   const TInsertedTextPositionList& positions, TRightOrLeft side) {
  const int64_t oldLen = static_cast<int64_t>(old_.size());
  const int64_t newLen = static_cast<int64_t>(new_.size());
  const int64_t textLen = static_cast<int64_t>(text.size());
  UnicodeString result;
  result.reserve(static_cast<size_t>(std::max<int64_t>(0, textLen + (newLen - oldLen) * positions.Count())));
  int64_t src = 1;
  for (int32_t k = 0; k < positions.Count(); ++k) {
    MyYieldProcess();
    const int64_t h = positions.GetAHitStart(k);
    int64_t plain = side == at_left ? h - src : h - src - oldLen;
    // A hit that lies before the current position (positions out of order or overlapping) copies no
    // plain text, and plain text never runs beyond the end of text; the replacement still goes in.
    if (plain < 0) plain = 0;
    if (src - 1 + plain > textLen) plain = std::max<int64_t>(0, textLen - (src - 1));
    if (plain > 0) result.append(text, static_cast<size_t>(src - 1), static_cast<size_t>(plain));
    result += new_;
    src += plain + oldLen;
  }
  return result;
}

// ---- random sampling ----
// One Mersenne twister for the unit, seeded from the steady and system clocks at the start of each
// sample unless a caller fixed the seed (for repeatable samples and tests).

namespace {
std::mt19937_64& SampleGenerator() {
  static std::mt19937_64 gen;
  return gen;
}
bool fixed_seed = false;

void SeedFromClock() {
  if (fixed_seed) return;
  const auto t1 = std::chrono::steady_clock::now().time_since_epoch().count();
  const auto t2 = std::chrono::system_clock::now().time_since_epoch().count();
  SampleGenerator().seed(static_cast<uint64_t>(t1) ^ (static_cast<uint64_t>(t2) << 1));
}

int32_t RandomIndex(int32_t n) {
  std::uniform_int_distribution<int32_t> dist(0, n - 1);
  return dist(SampleGenerator());
}
}  // namespace

void SetStringListRandomSeed(uint64_t seed) {
  SampleGenerator().seed(seed);
  fixed_seed = true;
}

void CopyRandomSampleFromStringlistAtoB(const TStringList& A, TStringList& B, int32_t n, TSamplePreference preference) {
  B.Clear();
  const int32_t N = A.Count();
  const int32_t q = N / 4;
  SeedFromClock();
  if (N <= n || n <= 0) return;
  // B's look-up ignores case, whatever B's own setting, so that a line differing only in case counts
  // as already taken.
  const bool oldCase = B.CaseSensitive();
  if (oldCase) B.SetCaseSensitive(false);
  int32_t misses = 0;
  while (B.Count() < n && misses <= 1000) {
    MyYieldProcess();
    const int32_t r = RandomIndex(N);
    bool ok = false;
    switch (preference) {
      case ts_top_quarter: ok = r <= q; break;
      case ts_middle_quarter: ok = N / 2 - q / 2 <= r && r <= N / 2 + q / 2; break;
      case ts_bottom_quarter: ok = r >= N - q; break;
      case ts_anywhere: ok = true; break;
    }
    if (ok && B.IndexOf(A.Get(r)) < 0)
      B.Add(A.Get(r));
    else
      ++misses;
  }
  if (oldCase) B.SetCaseSensitive(true);
  B.Sort();
}

int32_t RandomReduceStringlist(TStringList& list, int32_t n) {
  SeedFromClock();
  if (n < 0) n = 0;
  while (list.Count() > n) list.Delete(RandomIndex(list.Count()));
  return list.Count();
}

// ---- tab fields ----

UnicodeString PreXCharOf(char16_t c, const UnicodeString& s) {
  const size_t p = s.find(c);
  return p == UnicodeString::npos ? UnicodeString() : s.substr(0, p);
}

UnicodeString AfterXCharOf(char16_t c, const UnicodeString& s) {
  const size_t p = s.find(c);
  return p == UnicodeString::npos ? UnicodeString() : s.substr(p + 1);
}

UnicodeString PreTabPart(const UnicodeString& s) { return PreXCharOf(u'\t', s); }
UnicodeString PreTabPathAndFilenameOf(const UnicodeString& s) { return PreXCharOf(u'\t', s); }
UnicodeString PreTabFilenameOf(const UnicodeString& s) { return BothSlashesExtractFilename(PreTabPart(s)); }

UnicodeString AfterTabPart(const UnicodeString& s, int32_t n) {
  if (n <= 0) return PreTabPart(s);
  size_t start = 0;
  for (int32_t k = 0; k < n; ++k) {
    const size_t tab = s.find(u'\t', start);
    if (tab == UnicodeString::npos) return UnicodeString();
    start = tab + 1;
  }
  const size_t end = s.find(u'\t', start);
  return s.substr(start, end == UnicodeString::npos ? UnicodeString::npos : end - start);
}

UnicodeString DigitsOnlyOf(const UnicodeString& s) {
  int32_t v = 0;
  if (TryStrToInt(s, v)) return s;
  UnicodeString r;
  for (char16_t c : s)
    if (c >= u'0' && c <= u'9') r += c;
  return r;
}

int32_t AfterTabIntegerOf(const UnicodeString& s, int32_t n) {
  int32_t v = 0;
  return TryStrToInt(DigitsOnlyOf(AfterTabPart(s, n)), v) ? v : -1;
}

float AfterTabFloatOf(const UnicodeString& s, int32_t n) {
  double v = 0;
  static const TFormatSettings defaults = UserDefaultFormatSettings();
  if (!TryStrToFloat(AfterTabPart(s, n), v, defaults)) return -1.0f;
  // Out of single range counts as not a float.
  if (v > 3.4028234663852886e38 || v < -3.4028234663852886e38) return -1.0f;
  return static_cast<float>(v);
}

namespace {
// The library's stored-date settings: "yyyy/mm/dd" with "/" and times "hh:nn:ss" with ":".
const TFormatSettings& StoredDateSettings() {
  static const TFormatSettings fs = [] {
    TFormatSettings f = UserDefaultFormatSettings();
    f.DateSeparator = u'/';
    f.TimeSeparator = u':';
    f.ShortDateFormat = u"yyyy/mm/dd";
    f.LongTimeFormat = u"hh:nn:ss";
    f.DateOrder = doYMD;
    return f;
  }();
  return fs;
}

bool TryStoredDateTime(const UnicodeString& text, TDateTime& dt) {
  const UnicodeString s = Trim(text);
  const size_t sp = s.find(u' ');
  TDateTime date = 0;
  if (!TryStrToDate(s.substr(0, sp), date, StoredDateSettings())) return false;
  if (sp == UnicodeString::npos) {
    dt = date;
    return true;
  }
  // "hh:nn" or "hh:nn:ss"
  const UnicodeString t = Trim(s.substr(sp + 1));
  int32_t parts[3] = {0, 0, 0};
  int32_t k = 0;
  size_t start = 0;
  for (;;) {
    if (k >= 3) return false;
    const size_t colon = t.find(u':', start);
    const UnicodeString piece = t.substr(start, colon == UnicodeString::npos ? UnicodeString::npos : colon - start);
    if (piece.empty() || !TryStrToInt(piece, parts[k])) return false;
    ++k;
    if (colon == UnicodeString::npos) break;
    start = colon + 1;
  }
  if (k < 2) return false;
  TDateTime time = 0;
  if (!TryEncodeTime(parts[0], parts[1], parts[2], 0, time)) return false;
  dt = ComposeDateTime(date, time);
  return true;
}
}  // namespace

TDateTime AfterTabDateOf(const UnicodeString& s, int32_t n) {
  TDateTime dt = 0;
  return TryStoredDateTime(AfterTabPart(s, n), dt) ? dt : Now();
}

UnicodeString AddWithTab(const UnicodeString& s1, const UnicodeString& s2) {
  return s1.empty() ? s2 : s1 + u'\t' + s2;
}

int32_t IndexOfPreTabFnameOnly(const TStringList& list, const UnicodeString& name) {
  for (int32_t i = 0; i < list.Count(); ++i)
    if (PreTabPathAndFilenameOf(list.Get(i)) == name) return i;
  return -1;
}

// ---- sorting by a tab field ----

void SetSortDescendingAndSort(bool descending, TStringList& list, TStringListSortCompare compare) {
  global_descending_sort = descending;
  list.CustomSort(compare);
}

namespace {
template <int N>
int StrAfter(TStringList& L, int32_t i, int32_t j) {
  if (global_descending_sort) std::swap(i, j);
  return Compare2Strings(AfterTabPart(L.Get(i), N), AfterTabPart(L.Get(j), N));
}
template <int N>
int IntAfter(TStringList& L, int32_t i, int32_t j) {
  if (global_descending_sort) std::swap(i, j);
  return CompareLongints(AfterTabIntegerOf(L.Get(i), N), AfterTabIntegerOf(L.Get(j), N));
}
template <int N>
int FloatAfter(TStringList& L, int32_t i, int32_t j) {
  if (global_descending_sort) std::swap(i, j);
  return CompareSingles(AfterTabFloatOf(L.Get(i), N), AfterTabFloatOf(L.Get(j), N));
}
template <int N>
int DateAfter(TStringList& L, int32_t i, int32_t j) {
  if (global_descending_sort) std::swap(i, j);
  return CompareDates(AfterTabDateOf(L.Get(i), N), AfterTabDateOf(L.Get(j), N));
}
}  // namespace

int StringListCompareStringsStrAfter1Tab(TStringList& L, int32_t i, int32_t j) { return StrAfter<1>(L, i, j); }
int StringListCompareStringsStrAfter2Tabs(TStringList& L, int32_t i, int32_t j) { return StrAfter<2>(L, i, j); }
int StringListCompareStringsStrAfter3Tabs(TStringList& L, int32_t i, int32_t j) { return StrAfter<3>(L, i, j); }
int StringListCompareStringsStrAfter4Tabs(TStringList& L, int32_t i, int32_t j) { return StrAfter<4>(L, i, j); }
int StringListCompareStringsIntegerAfter1Tab(TStringList& L, int32_t i, int32_t j) { return IntAfter<1>(L, i, j); }
int StringListCompareStringsIntegerAfter2Tabs(TStringList& L, int32_t i, int32_t j) { return IntAfter<2>(L, i, j); }
int StringListCompareStringsIntegerAfter3Tabs(TStringList& L, int32_t i, int32_t j) { return IntAfter<3>(L, i, j); }
int StringListCompareStringsIntegerAfter4Tabs(TStringList& L, int32_t i, int32_t j) { return IntAfter<4>(L, i, j); }
int StringListCompareStringsFloatAfter1Tab(TStringList& L, int32_t i, int32_t j) { return FloatAfter<1>(L, i, j); }
int StringListCompareStringsFloatAfter2Tabs(TStringList& L, int32_t i, int32_t j) { return FloatAfter<2>(L, i, j); }
int StringListCompareStringsFloatAfter3Tabs(TStringList& L, int32_t i, int32_t j) { return FloatAfter<3>(L, i, j); }
int StringListCompareStringsFloatAfter4Tabs(TStringList& L, int32_t i, int32_t j) { return FloatAfter<4>(L, i, j); }
int StringListCompareStringsDateAfter1Tab(TStringList& L, int32_t i, int32_t j) { return DateAfter<1>(L, i, j); }
int StringListCompareStringsDateAfter2Tabs(TStringList& L, int32_t i, int32_t j) { return DateAfter<2>(L, i, j); }
int StringListCompareStringsDateAfter3Tabs(TStringList& L, int32_t i, int32_t j) { return DateAfter<3>(L, i, j); }
int StringListCompareStringsDateAfter4Tabs(TStringList& L, int32_t i, int32_t j) { return DateAfter<4>(L, i, j); }

int StringListCompareStringsFilenamePreTab(TStringList& L, int32_t i, int32_t j) {
  if (global_descending_sort) std::swap(i, j);
  return Compare2Strings(AnsiUpperCase(PreTabFilenameOf(L.Get(i))), AnsiUpperCase(PreTabFilenameOf(L.Get(j))));
}

// ---- lists and delimited strings ----

UnicodeString StringListToString(char16_t separator, const TStringList& list, int32_t first, int32_t maxLength) {
  UnicodeString result;
  const UnicodeString sep(1, separator);
  for (int32_t i = std::max(first, 0); i < list.Count(); ++i) {
    const UnicodeString line = list.Get(i);
    if (line.empty()) continue;
    result = AddToListWithSeparatorIfNeeded(result, line, sep);
    if (static_cast<int64_t>(result.size()) >= maxLength) {
      if (i < list.Count() - 1) result += u' ' + UnicodeString(KXEtc);
      break;
    }
  }
  return result;
}

UnicodeString StringListToString(char16_t separator, const TStringList& list) {
  return StringListToString(separator, list, 0, 2147483647);
}

int32_t StringToStringList(char16_t separator, const UnicodeString& s, TStringList& list) {
  list.Clear();
  if (s.empty()) return 0;
  UnicodeString field;
  bool inQuotes = false;
  char16_t prev = 0;
  for (char16_t c : s) {
    if (c == u'"') {
      inQuotes = !inQuotes;
      if (!inQuotes) {
        list.Add(field);
        field.clear();
      }
    } else if (c == separator) {
      if (prev != u'"') list.Add(field);
      field.clear();
    } else {
      field += c;
    }
    prev = c;
  }
  list.Add(field);
  return inQuotes ? -list.Count() : list.Count();
}

std::vector<UnicodeString> StringArrayFromString(char16_t separator, const UnicodeString& s) {
  std::vector<UnicodeString> pieces;
  const bool trim = separator <= u' ';
  size_t start = 0;
  for (;;) {
    const size_t p = s.find(separator, start);
    UnicodeString piece = s.substr(start, p == UnicodeString::npos ? UnicodeString::npos : p - start);
    pieces.push_back(trim ? Trim(piece) : std::move(piece));
    if (p == UnicodeString::npos) break;
    start = p + 1;
    if (start < s.size() && s[start] == u'\n') ++start;
  }
  return pieces;
}

std::unique_ptr<TStringList> StringListFromString(char16_t separator, const UnicodeString& s) {
  auto list = std::make_unique<TStringList>();
  for (auto& piece : StringArrayFromString(separator, s)) list->Add(piece);
  return list;
}

std::unique_ptr<TStringList> StringListFromString(const UnicodeString& s) { return StringListFromString(u'\r', s); }

}  // namespace kx8
