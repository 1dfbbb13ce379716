#include "kx8rt/strings/custom_sort.h"

#include <algorithm>
#include <vector>

#include "kx8rt/containers/comparisons.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

int LongestUnitFirst(TStringList& list, int32_t a, int32_t b) {
  const UnicodeString& x = list.StoredString(a);
  const UnicodeString& y = list.StoredString(b);
  if (x.size() != y.size()) return x.size() > y.size() ? -1 : 1;
  return CrudeStringComparison(x, y);
}

int ByKey(TStringList& list, int32_t a, int32_t b) {
  return CrudeStringComparison(list.StoredString(a), list.StoredString(b));
}

}  // namespace

std::unique_ptr<TStringList> CommaSeparatedStrings(const UnicodeString& s) {
  auto list = std::make_unique<TStringList>();
  size_t start = 0;
  for (size_t comma = s.find(u','); comma != UnicodeString::npos; comma = s.find(u',', start)) {
    MyYieldProcess();
    list->Add(Trim(std::u16string_view(s).substr(start, comma - start)));
    start = comma + 1;
  }
  if (start < s.size()) list->Add(s.substr(start));
  return list;
}

std::unique_ptr<TStringList> CustomSortPreparedStringlist(const UnicodeString& definition) {
  const auto pieces = CommaSeparatedStrings(definition);
  auto prepared = std::make_unique<TStringList>();
  for (int32_t i = 0; i < pieces->Count(); ++i) {
    const UnicodeString& unit = pieces->StoredString(i);
    if (!unit.empty()) prepared->AddInteger(unit, prepared->Count());
  }
  prepared->CustomSort(LongestUnitFirst);
  return prepared;
}

UnicodeString NormalisedLineForCustomSort(const UnicodeString& line, const TStringList& prepared) {
  UnicodeString key = line;
  std::vector<bool> covered(line.size(), false);
  size_t firstFree = 0;  // every position before it is covered
  for (int32_t u = 0; u < prepared.Count(); ++u) {
    while (firstFree < covered.size() && covered[firstFree]) ++firstFree;
    if (firstFree >= covered.size()) break;  // the key is complete
    const UnicodeString& unit = prepared.StoredString(u);
    if (unit.empty()) continue;
    // Order numbers beyond the last code unit are held there rather than wrapping round.
    const char16_t order = static_cast<char16_t>(std::min<int64_t>(prepared.Integers(u) + 64, 0xFFFF));
    // Occurrences are sought in the line itself from the first free position on, so a shorter unit may
    // overwrite characters a longer one set further along.
    for (size_t at = line.find(unit, firstFree); at != UnicodeString::npos; at = line.find(unit, at + unit.size())) {
      for (size_t k = at; k < at + unit.size(); ++k) {
        covered[k] = true;
        key[k] = order;
      }
    }
  }
  return key;
}

std::unique_ptr<TStringList> CustomLinesSorted(const TStringList& lines, const TStringList& prepared) {
  auto keys = std::make_unique<TStringList>();
  keys->SetCapacity(lines.Count());
  for (int32_t i = 0; i < lines.Count(); ++i) {
    MyYieldProcess();
    keys->AddInteger(NormalisedLineForCustomSort(lines.Get(i), prepared), i);
  }
  keys->CustomSort(ByKey);
  for (int32_t i = 0; i < keys->Count(); ++i) keys->Put(i, lines.Get(static_cast<int32_t>(keys->Integers(i))));
  return keys;
}

}  // namespace kx8
