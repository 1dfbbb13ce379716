#include "kx8rt/strings/word_lists.h"

#include "kx8rt/containers/useful_classes_stringlist_sorts.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {

namespace {

// Per-unit tables for the Basic Multilingual Plane, made once, so that the tallying loop does one load
// per character: whether the unit is a letter or digit, and its simple upper case (units whose upper
// case lies outside the plane keep their own). Surrogates are tested as pairs.
struct TWordTables {
  std::array<uint8_t, 0x10000> wordChar{};
  std::array<char16_t, 0x10000> upper{};
  TWordTables() {
    for (char32_t c = 0; c < 0x10000; ++c) {
      const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
      wordChar[c] = !surrogate && IsLetterOrDigit(c);
      const char32_t u = surrogate ? c : ToUpper(c);
      upper[c] = static_cast<char16_t>(u <= 0xFFFF ? u : c);
    }
  }
};

const TWordTables& WordTables() {
  static const TWordTables tables;
  return tables;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The key under which case variants of a word meet: every unit upper-cased (surrogates kept).
void FoldInto(std::u16string_view word, UnicodeString& key) {
  const TWordTables& t = WordTables();
  key.resize(word.size());
  for (size_t i = 0; i < word.size(); ++i) key[i] = t.upper[word[i]];
}

struct TViewHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>()(s); }
};
struct TViewEqual {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const { return a == b; }
};

// Calls OnWord(start, length) for every maximal run of letters and digits in text, yielding to the
// tool before each character. A surrogate pair counts as one character of its code point.
template <class WordFn>
void ForEachWord(std::u16string_view text, WordFn&& OnWord) {
  const TWordTables& t = WordTables();
  const size_t n = text.size();
  size_t start = 0;
  bool inWord = false;
  for (size_t i = 0; i < n; ++i) {
    if (Global_YieldProcessProc) Global_YieldProcessProc();
    const char16_t c = text[i];
    bool wordChar = t.wordChar[c] != 0;
    size_t units = 1;
    if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      wordChar = IsLetterOrDigit(cp);
      units = 2;
    }
    if (wordChar) {
      if (!inWord) start = i;
      inWord = true;
    } else if (inWord) {
      OnWord(start, i - start);
      inWord = false;
    }
    i += units - 1;
  }
  if (inWord) OnWord(start, n - start);
}

template <class Counts>
TStringListAndInteger Tally(const UnicodeString& text, Counts&& counts, bool sortByFrequency) {
  struct TType {
    size_t start, length;  // the form met first, within text
    int32_t freq;
  };
  std::vector<TType> types;
  std::unordered_map<UnicodeString, size_t, TViewHash, TViewEqual> index;
  UnicodeString key;
  key.reserve(64);
  int32_t tokens = 0;
  ForEachWord(text, [&](size_t start, size_t length) {
    const std::u16string_view word(text.data() + start, length);
    if (!counts(word)) return;
    if (tokens < std::numeric_limits<int32_t>::max()) ++tokens;
    FoldInto(word, key);
    const auto it = index.find(std::u16string_view(key));
    if (it != index.end()) {
      int32_t& freq = types[it->second].freq;
      if (freq < std::numeric_limits<int32_t>::max()) ++freq;
    } else {
      index.emplace(key, types.size());
      types.push_back({start, length, 1});
    }
  });

  auto list = std::make_unique<TStringList>();
  list->SetCapacity(static_cast<int32_t>(types.size()));
  for (const TType& t : types) list->AddInteger(text.substr(t.start, t.length), t.freq);
  if (sortByFrequency) {
    // The suite's frequency sort, turned to descending as its word lists show it.
    global_descending_sort = true;
    list->CustomSort(StringListCompare_Freq);
  } else {
    list->SetSorted(true);
  }
  return {list.release(), tokens};
}

// Look-up of words in a word list as the list itself would find them: a sorted list by its own
// binary search; an unsorted one through an index of its lines with case folded (its own look-up is
// case-blind, and a linear search per word would make comparing two lists quadratic).
class TWordListLookup {
 public:
  explicit TWordListLookup(const TStringList& list) : fList(list) {
    if (list.Sorted()) return;
    fIndex.reserve(static_cast<size_t>(list.Count()));
    UnicodeString key;
    for (int32_t i = 0; i < list.Count(); ++i) {
      FoldInto(list.StoredString(i), key);
      fIndex.emplace(key, i);  // the first line of a key wins, as IndexOf would find it
    }
  }
  // The line of word, or -1.
  int32_t Find(const UnicodeString& word) const {
    if (fList.Sorted()) {
      int32_t at = -1;
      return fList.Find(word, at) ? at : -1;
    }
    FoldInto(word, fKey);
    const auto it = fIndex.find(std::u16string_view(fKey));
    return it == fIndex.end() ? -1 : it->second;
  }

 private:
  const TStringList& fList;
  std::unordered_map<UnicodeString, int32_t, TViewHash, TViewEqual> fIndex;
  mutable UnicodeString fKey;
};

int32_t Saturated(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

TStringListAndInteger SimpleTallierOfTxt(const UnicodeString& text, int32_t minLength, bool sortByFrequency) {
  return Tally(
      text, [minLength](std::u16string_view word) { return static_cast<int64_t>(word.size()) >= minLength; },
      sortByFrequency);
}

TStringListAndInteger SimpleTallierOfTxt(const UnicodeString& text, const TWordFilter& filter, bool sortByFrequency) {
  return Tally(
      text, [&filter](std::u16string_view word) { return !filter || filter(UnicodeString(word)); }, sortByFrequency);
}

TFreqDifference BagOfWordsSimilar(const UnicodeString& text1, const UnicodeString& text2, int32_t maxDiff,
                                  int32_t minFreq, int32_t minLength) {
  TFreqDifference result;
  const std::unique_ptr<TStringList> list1(SimpleTallierOfTxt(ToUpper(text1), minLength, true).SLIst);
  const std::unique_ptr<TStringList> list2(SimpleTallierOfTxt(ToUpper(text2), minLength, true).SLIst);
  const bool firstIsLonger = list1->Count() > list2->Count();
  const TStringList& longer = firstIsLonger ? *list1 : *list2;
  const TStringList& other = firstIsLonger ? *list2 : *list1;
  // Both texts are upper-cased, so the words meet exactly.
  std::unordered_map<std::u16string_view, int32_t> otherFreq;
  otherFreq.reserve(static_cast<size_t>(other.Count()));
  for (int32_t i = 0; i < other.Count(); ++i)
    otherFreq.emplace(other.StoredString(i), static_cast<int32_t>(other.Integers(i)));
  for (int32_t i = 0; i < longer.Count(); ++i) {
    MyYieldProcess();
    const int32_t f = static_cast<int32_t>(longer.Integers(i));
    if (f < minFreq) continue;
    const auto it = otherFreq.find(longer.StoredString(i));
    const int32_t g = it == otherFreq.end() ? 0 : it->second;
    if (std::llabs(int64_t{f} - g) > maxDiff) {
      result.wd = longer.Get(i);
      result.first_text_freq = firstIsLonger ? f : g;
      result.second_text_freq = firstIsLonger ? g : f;
      break;
    }
  }
  return result;
}

TTypeAndTokenAndSinglesDifferences TypeAndTokenDifferences2SimpleWordLists(const TStringList& list1,
                                                                          const TStringList& list2, float,
                                                                          float threshold2, UnicodeString& word) {
  TTypeAndTokenAndSinglesDifferences result;
  const TWordListLookup in1(list1), in2(list2);
  std::vector<bool> matched(static_cast<size_t>(list2.Count()), false);
  int64_t tokens = 0, typeDiffs = 0, tokenDiffs = 0, extraTypes = 0;
  for (int32_t i = 0; i < list1.Count(); ++i) {
    const int64_t f1 = list1.Integers(i);
    tokens += f1;
    const int32_t at = in2.Find(list1.StoredString(i));
    if (at < 0) {
      word = list1.Get(i);
      tokenDiffs += f1;
      ++typeDiffs;
    } else {
      matched[static_cast<size_t>(at)] = true;
      tokenDiffs += std::llabs(list2.Integers(at) - f1);
    }
  }
  for (int32_t j = 0; j < list2.Count(); ++j) {
    if (matched[static_cast<size_t>(j)] || in1.Find(list2.StoredString(j)) >= 0) continue;
    const int64_t f2 = list2.Integers(j);
    word = list2.Get(j);
    ++extraTypes;
    ++typeDiffs;
    tokenDiffs += f2;
    tokens += f2;
  }
  result.type_diffs = Saturated(typeDiffs);
  result.token_diffs = Saturated(tokenDiffs);
  // Nothing to divide by means nothing differs.
  const int64_t types = list1.Count() + extraTypes;
  result.type_diff_pc = types > 0 ? static_cast<float>(static_cast<double>(typeDiffs) * 100.0 / static_cast<double>(types)) : 0.0f;
  result.token_diff_pc = tokens > 0 ? static_cast<float>(static_cast<double>(tokenDiffs) * 100.0 / static_cast<double>(tokens)) : 0.0f;
  result.show_it = result.type_diff_pc <= threshold2 || result.token_diff_pc <= threshold2;
  return result;
}

}  // namespace kx8
