#include "kx8rt/strings/number_lists.h"

#include <cmath>
#include <limits>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/format.h"
#include "kx8rt/platform/messages.h"

namespace kx8 {

namespace {

bool EndsWith(const UnicodeString& s, char16_t c) { return !s.empty() && s.back() == c; }
bool EndsWithDigit(const UnicodeString& s) { return !s.empty() && s.back() >= u'0' && s.back() <= u'9'; }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads a run of decimal digits as a 32-bit number; an empty or over-long run is no number.
bool DigitsToInt(const UnicodeString& digits, int32_t& value) { return !digits.empty() && TryStrToInt(digits, value); }

// Walks the notation as the readers share it: Item(digits) for a number closed by "," or the end
// (with Separator() after one closed by ","), Range(low, high) for "low-high".
template <class ItemFn, class SeparatorFn, class RangeFn>
void WalkNotation(std::u16string_view s, ItemFn&& Item, SeparatorFn&& Separator, RangeFn&& Range) {
  UnicodeString buffer;
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (IsAsciiDigit(c)) {
      buffer += c;
      ++i;
    } else if (c == u',') {
      Item(buffer);
      Separator();
      buffer.clear();
      ++i;
    } else if (c == u'-') {
      int32_t low = 0;
      if (!DigitsToInt(buffer, low)) low = 0;
      buffer.clear();
      UnicodeString high;
      // The high end runs to the next "," or "-" (which the walk then reads), skipping other characters.
      for (++i; i < s.size() && s[i] != u',' && s[i] != u'-'; ++i)
        if (IsAsciiDigit(s[i])) high += s[i];
      int32_t highValue = 0;
      if (DigitsToInt(high, highValue) && highValue >= low) Range(low, highValue);
    } else {
      ++i;
    }
  }
  Item(buffer);
}

// Counts the numbers written out so far and refuses to go past the bound.
class TNumberBudget {
 public:
  explicit TNumberBudget(const UnicodeString& notation) : fNotation(notation) {}
  void Take(int64_t n) {
    fUsed += n;
    if (fUsed > MaxNumbersInNumberList)
      throw EConvertError(Format(KXNumberListTooLong, {fNotation, MaxNumbersInNumberList}));
  }

 private:
  const UnicodeString& fNotation;
  int64_t fUsed = 0;
};

}  // namespace

UnicodeString EasiestNRepresentationOfLargeNumber(float x) {
  static const char16_t* const kUnits[] = {u"%.1nK", u"%.1nM", u"%.1nG", u"%.1nYikes"};
  // An infinite value would never fall below 1000; it and NaN are shown as they are.
  if (!std::isfinite(x)) return FloatToStr(x);
  double value = x;
  int k = 0;
  while (value >= 1000) {
    value /= 1000;
    ++k;
  }
  if (k == 0) return Format(u"%0.n", {value});
  return Format(kUnits[std::min(k, 4) - 1], {value});
}

UnicodeString FormattedWithDecimals(const TNumberDisplayAndSinglesRec& rec, int32_t decimals, bool thousands) {
  UnicodeString pattern = thousands ? u"###0,." : u"###0.";
  if (decimals > 0) pattern.append(static_cast<size_t>(std::min(decimals, 30)), u'0');
  switch (rec.number_display) {
    case gdd_per_cent:
      pattern += u"\"%\"";
      break;
    case gdd_per_thousand:
      pattern += u" \"" + LoadMessage(KXPtw) + u"\"";
      break;
    case gdd_per_million:
      pattern += u" \"" + LoadMessage(KXPmw) + u"\"";
      break;
    default:
      break;
  }
  return FormatFloat(pattern, rec.computed_value);
}

UnicodeString ValueToByteStr(int64_t v) {
  constexpr int64_t kMiB = int64_t{1} << 20;
  constexpr int64_t kGiB = int64_t{1} << 30;
  if (v > 8 * kGiB) return IntToStr(v / kGiB) + LoadMessage(KXGigabyte);
  if (v > 8 * kMiB) return IntToStr(v / kMiB) + LoadMessage(KXMegabyte);
  if (v > kMiB) return IntToStr(v / 1024) + LoadMessage(KXKilobyte);
  return IntToStr(v) + LoadMessage(KXByte);
}

UnicodeString RelationshipRequirements(const TCogridMutualChecks& checks) {
  UnicodeString result;
  for (size_t stat = 0; stat < RelationshipStatsCount; ++stat) {
    const TRelationshipProcSetting& setting = checks.proc_settings[stat];
    if (!setting.enabled) continue;
    if (!result.empty()) result += u',';
    result += Format(u"%s %.3n",
                     {RelationshipAsString(static_cast<TRelationshipStats>(stat)), static_cast<double>(setting.threshold)});
  }
  return result;
}

UnicodeString OrdinalFormatOf(int32_t n) {
  switch (n % 10) {
    case 1:
      return u"%dst";
    case 2:
      return u"%dnd";
    case 3:
      return u"%drd";
    default:
      return u"%dth";
  }
}

UnicodeString WithLeftZeros(int32_t width, int32_t value) {
  UnicodeString digits = IntToStr(value);
  if (width > static_cast<int64_t>(digits.size())) digits.insert(0, static_cast<size_t>(width) - digits.size(), u'0');
  return digits;
}

UnicodeString HumanAbbreviatedNumberListString(const TStringList& list) {
  // The line of the last number decides when a range still open must be closed, so that lines of
  // other text after it do not leave a dangling "-".
  int32_t lastNumberLine = -1;
  int32_t value = 0;
  for (int32_t i = list.Count() - 1; i >= 0 && lastNumberLine < 0; --i)
    if (TryStrToInt(list.Get(i), value)) lastNumberLine = i;

  UnicodeString result;
  // 64-bit so that last + 1 after the sentinel cannot overflow.
  int64_t last = std::numeric_limits<int32_t>::max();
  int64_t rangeStart = std::numeric_limits<int32_t>::max();
  UnicodeString previous;
  for (int32_t i = 0; i <= lastNumberLine; ++i) {
    int32_t cur = 0;
    if (!TryStrToInt(list.Get(i), cur)) continue;
    const UnicodeString line = IntToStr(cur);
    if (cur != last + 1) {
      UnicodeString item;
      if (!EndsWith(result, u'-')) {
        item = line;
      } else {
        if (last - rangeStart == 1) result.back() = u',';
        item = previous + u"," + line;
      }
      if (EndsWithDigit(result)) result += u',';
      result += item;
    } else {
      if (!EndsWith(result, u'-')) {
        rangeStart = last;
        result += u'-';
      }
      if (i == lastNumberLine) {
        if (cur - rangeStart == 1) result.back() = u',';
        if (EndsWithDigit(result)) result += u',';
        result += line;
      }
    }
    last = cur;
    previous = line;
  }
  return result;
}

std::unique_ptr<TStringList> TArrayOfIntegersToStringlist(const std::vector<int32_t>& values, int32_t offset) {
  auto list = std::make_unique<TStringList>();
  list->SetCapacity(static_cast<int32_t>(values.size()));
  for (const int32_t v : values) list->Add(IntToStr(static_cast<int64_t>(v) + offset));
  return list;
}

UnicodeString HumanAbbreviatedNumberListString(const std::vector<int32_t>& values, int32_t offset) {
  return HumanAbbreviatedNumberListString(*TArrayOfIntegersToStringlist(values, offset));
}

UnicodeString HumanAbbreviatedNumberListStringExpanded(const UnicodeString& s) {
  UnicodeString result;
  TNumberBudget budget(s);
  WalkNotation(
      s,
      [&](const UnicodeString& digits) {
        budget.Take(digits.empty() ? 0 : 1);
        result += digits;
      },
      [&] { result += u','; },
      [&](int32_t low, int32_t high) {
        budget.Take(int64_t{high} - low + 1);
        for (int64_t v = low; v <= high; ++v) {
          if (EndsWithDigit(result)) result += u',';
          result += IntToStr(v);
        }
      });
  return result;
}

std::vector<int32_t> HumanAbbreviatedNumberListStringAsIntegers(const UnicodeString& s, int32_t offset) {
  std::vector<int32_t> result;
  TNumberBudget budget(s);
  const auto add = [&](int64_t v) {
    const int64_t shifted = v - offset;
    if (shifted >= std::numeric_limits<int32_t>::min() && shifted <= std::numeric_limits<int32_t>::max())
      result.push_back(static_cast<int32_t>(shifted));
  };
  WalkNotation(
      s,
      [&](const UnicodeString& digits) {
        int32_t v = 0;
        if (!DigitsToInt(digits, v)) return;
        budget.Take(1);
        add(v);
      },
      [] {},
      [&](int32_t low, int32_t high) {
        budget.Take(int64_t{high} - low + 1);
        for (int64_t v = low; v <= high; ++v) add(v);
      });
  return result;
}

UnicodeString ANumberInHumanString(const UnicodeString& s, int32_t n) {
  const UnicodeString expanded = HumanAbbreviatedNumberListStringExpanded(Trim(s));
  UnicodeString digits;
  int32_t passed = 0;
  for (const char16_t c : expanded) {
    if (c != u',') {
      digits += c;
      continue;
    }
    if (++passed >= n) break;
    digits.clear();
  }
  int32_t value = 0;
  return DigitsToInt(digits, value) ? digits : UnicodeString();
}

UnicodeString HumanAbbreviatedNumberListStringToMonths(const UnicodeString& s) {
  UnicodeString result = s;
  for (int m = 1; m <= 12; ++m) {
    const UnicodeString twoDigits = WithLeftZeros(2, m);
    const size_t at = result.find(twoDigits);
    if (at != UnicodeString::npos) result.replace(at, 2, FormatSettings.ShortMonthNames[m - 1]);
  }
  return result;
}

}  // namespace kx8
