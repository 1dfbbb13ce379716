#include "kx8rt/strings/sentences.h"

#include <algorithm>

#include "kx8rt/platform/char_classes.h"

namespace kx8 {

namespace {

// 1-based character access; callers have checked the range.
inline char16_t At(const UnicodeString& s, int32_t i) { return s[static_cast<size_t>(i - 1)]; }
inline int32_t Len(const UnicodeString& s) { return static_cast<int32_t>(s.size()); }

template <size_t N>
bool InTable(const std::array<char16_t, N>& table, char16_t c) {
  return std::binary_search(table.begin(), table.end(), c);
}

bool IsBasicTerminator(char16_t c) { return c == u'!' || c == u'.' || c == u'?'; }

// Shared by the two widths: the 8-bit form passes each byte's value as the character.
template <typename Ch>
bool NextValidNotLowercase(const Ch* p, const Ch* e) {
  if (p >= e) return false;
  const Ch* q = p;
  for (;;) {
    ++q;
    const char16_t c = static_cast<char16_t>(static_cast<std::make_unsigned_t<Ch>>(*q));
    if (IsLower(c)) return false;
    if (q == p + 1 && IsDigit(c)) return false;
    if (IsLetterOrDigit(c)) return true;
    if (q >= e) return false;
  }
}

template <typename Ch>
const Ch* NextAutoFoundSentenceEnd(const Ch* p) {
  if (!p) return p;
  const Ch* e = p;
  while (*e != 0 && e - p < 250) ++e;
  for (const Ch* q = p; q < e; ++q) {
    const auto c = static_cast<std::make_unsigned_t<Ch>>(*q);
    if (c < 0x40 && IsBasicTerminator(static_cast<char16_t>(c)) && NextValidNotLowercase(q, e)) return q + 1;
  }
  return e;
}

void AddTrimmedIfLonger(TStringList& list, const UnicodeString& piece, size_t minLength) {
  const UnicodeString s = Trim(piece);
  if (s.size() > minLength) list.Add(s);
}

std::unique_ptr<TStringList> SplitAutomatically(const UnicodeString& P, LCID locale, int32_t maxTagLen) {
  constexpr int32_t kMinLength = 20;
  auto out = std::make_unique<TStringList>();
  const int32_t L = Len(P);
  if (L == 0) return out;
  // T[k] for k = 1..L, then a zero and an alphabetic stop for the look-ahead.
  std::vector<uint16_t> T(static_cast<size_t>(L) + 3, 0);
  if (!GetStringTypeExW(locale, CT_CTYPE1, P.data(), L, T.data() + 1)) return out;
  const std::vector<uint16_t> own(T);  // each character's own flags, given back to a stretch that is no tag
  T[L + 1] = 0;
  T[L + 2] = C1_ALPHA;

  if (P.find(u'<') != UnicodeString::npos) {
    int32_t s = 1;
    while (s <= L) {
      if (At(P, s) != u'<') { ++s; continue; }
      int32_t j = s, marked = 0;
      while (j <= L && At(P, j) != u'>') {
        T[j] = C1_PUNCT;
        if (++marked > std::max(maxTagLen, 0)) {
          for (int32_t k = s; k <= j; ++k) T[k] = own[k];
          break;
        }
        ++j;
      }
      s = j + 1;  // after the ">" of a tag, or after the character where a non-tag passed the limit
    }
  }

  int32_t start = 1;
  for (int32_t i = 2; i <= L; ++i) {
    const char16_t c = At(P, i);
    if (!(T[i] & C1_PUNCT) || GetUnicodeCategory(c) != ucOtherPunctuation) continue;
    if (c > 0x00BF && InTable(punct_not_ending_sent, c)) continue;
    if (IsBasicTerminator(c) || InTable(other_sent_terminators, c)) {
      if (T[i + 1] & (C1_LOWER | C1_DIGIT)) continue;  // "e.g." or "3.5"
    }
    else {
      switch (c) {
        case u'"': case u'#': case u'%': case u'&': case u'\'': case u'*': case u',': case u'/': case u':':
        case u';': case u'@': case u'\\': case 0x00A1: case 0x00B7: case 0x00BF:
          continue;
        default: break;
      }
    }
    // The sentence takes the closing quotes, brackets and tags after it up to the first white space.
    int32_t end = i;
    bool counting = true;
    int32_t j = i + 1;
    while (!(T[j] & (C1_ALPHA | C1_DIGIT))) {
      if (counting) {
        ++end;
        if (T[j] & (C1_SPACE | C1_CNTRL | C1_BLANK)) counting = false;
      }
      ++j;
    }
    if (T[j] & C1_LOWER) continue;
    const UnicodeString sentence = Trim(Copy(P, start, end - start + 1));
    if (Len(sentence) > kMinLength) {
      out->Add(sentence);
      start = end + 1;
    }
  }
  if (L > start) {
    const UnicodeString rest = Trim(Copy(P, start));
    if (!rest.empty()) out->Add(rest);
  }
  return out;
}

}  // namespace

bool IsPotentialSentenceTerminator(char16_t c) {
  if (c < 0x21) return false;
  if (c >= 0x40 && c < 0x7E) return false;
  if (IsBasicTerminator(c)) return true;
  if (c >= other_sent_terminators[0]) return InTable(other_sent_terminators, c);
  return false;
}

bool NextValidNotLowercaseW(const char16_t* p, const char16_t* e) { return NextValidNotLowercase(p, e); }
bool NextValidNotLowercaseA(const char* p, const char* e) { return NextValidNotLowercase(p, e); }
const char16_t* NextAutoFoundSentenceEndW(const char16_t* p) { return NextAutoFoundSentenceEnd(p); }
const char* NextAutoFoundSentenceEndA(const char* p) { return NextAutoFoundSentenceEnd(p); }

int32_t EndOfSentence(int32_t start, const UnicodeString& text) {
  const int32_t n = Len(text);
  if (start > n) return -1;
  bool seen = false;
  for (int32_t i = std::max(start, 1); i <= n; ++i) {
    if (!seen && IsLetterOrDigit(At(text, i))) seen = true;
    if (!seen) continue;
    if (i == n) return i;
    if (IsPotentialSentenceTerminator(At(text, i)) && i > 1 && !IsLetterOrDigit(At(text, i + 1))) return i;
  }
  return -1;
}

int32_t FirstLetterOrDigitPosAfterSentenceEnd(const UnicodeString& text, int32_t i) {
  if (text.empty()) return i;
  i = std::max(i, 1);
  while (i < Len(text) && !IsLetterOrDigit(At(text, i))) ++i;
  return i;
}

bool FirstCharAfterSentenceEndUpperCase(const UnicodeString& text, int32_t i) {
  if (i >= Len(text) || i < 1) return true;  // nothing there can be lower case
  return !IsLower(At(text, i));
}

int32_t FirstValidStartOfSentence(const UnicodeString& text, int32_t i) {
  int32_t p = FirstLetterOrDigitPosAfterSentenceEnd(text, i);
  while (!FirstCharAfterSentenceEndUpperCase(text, p)) {
    p = EndOfSentence(p + 1, text);
    if (p < 0) return -1;
    p = FirstLetterOrDigitPosAfterSentenceEnd(text, p);
  }
  return p;
}

std::unique_ptr<TStringList> SentencesExtractedFromParagraph(bool includeUnterminated, int32_t minLength,
                                                             const UnicodeString& paragraph) {
  auto out = std::make_unique<TStringList>();
  const int32_t L = Len(paragraph);
  const size_t minLen = static_cast<size_t>(std::max(minLength, 0));
  int32_t start = -1, letters = 0, i = 0;
  auto emit = [&] {
    AddTrimmedIfLonger(*out, Copy(paragraph, start, i - start + 1), minLen);
    letters = 0;
  };
  while (i < L) {
    ++i;
    if (i == L && includeUnterminated) {
      if (start >= 1) emit();
      continue;
    }
    const char16_t c = At(paragraph, i);
    switch (GetUnicodeCategory(c)) {
      case ucLowercaseLetter: case ucModifierLetter: case ucCombiningMark: case ucEnclosingMark: case ucNonSpacingMark:
        ++letters;
        break;
      case ucOtherLetter: case ucTitlecaseLetter: case ucUppercaseLetter: case ucDecimalNumber: case ucLetterNumber: case ucOtherNumber:
        if (start < 1) start = i;
        ++letters;
        break;
      case ucOtherPunctuation:
        if (letters >= minLength && start >= 1 && IsPotentialSentenceTerminator(c) &&
            (i == L || !IsDigit(At(paragraph, i + 1)))) {
          emit();
          start = -1;
        }
        break;
      default: break;
    }
  }
  return out;
}

std::unique_ptr<TStringList> SentencesFromParagraph(const UnicodeString& paragraph, const UnicodeString& separator,
                                                    LCID locale, int32_t maxTagLen) {
  if (separator.empty()) return SplitAutomatically(paragraph, locale, maxTagLen);
  auto out = std::make_unique<TStringList>();
  int32_t start = 1;
  for (int32_t p = PosEx(separator, paragraph, start); p > 0; p = PosEx(separator, paragraph, start)) {
    const UnicodeString s = Trim(Copy(paragraph, start, p - start));
    if (!s.empty()) out->Add(s);
    start = p + Len(separator) + 1;  // the character right after a separator is passed over
  }
  if (Len(paragraph) > start) {
    const UnicodeString s = Trim(Copy(paragraph, start));
    if (!s.empty()) out->Add(s);
  }
  return out;
}

UnicodeString NManyWordsContext(TSearchRequirementSeeks kind, const UnicodeString& text, int32_t pos, int32_t n) {
  const int32_t len = Len(text);
  if (pos < 1 || pos > len) return UnicodeString();
  auto lod = [&](int32_t i) { return IsLetterOrDigit(At(text, i)); };
  int32_t left = pos;
  for (int32_t count = 0;;) {
    while (left > 0 && lod(left)) --left;
    if (++count > n) break;
    while (left >= 1 && !lod(left)) --left;
    if (left == 0) break;
  }
  int32_t right = pos;
  for (int32_t count = 0;;) {
    while (right <= len && lod(right)) ++right;
    ++count;
    while (right <= len && !lod(right)) ++right;
    if (count > n || right > len) break;
  }
  const int32_t from = std::max(left, 1);
  switch (kind) {
    case ccp_FoundWithinNWordsOfSearchword:
    case ccp_FoundWithinNWordsOf: return Copy(text, from, right - from);
    case ccp_FoundWithinNWordsToLeftOfSearchword:
    case ccp_FoundWithinNWordsToLeftOf: return Copy(text, from, pos - from);
    case ccp_FoundWithinNWordsToRightOfSearchword:
    case ccp_FoundWithinNWordsToRightOf: return Copy(text, pos, right - pos);
  }
  return UnicodeString();
}

bool BoundedAtLeft(const UnicodeString& text, int32_t first, int32_t /*last*/) {
  if (first == 1) return true;
  if (first < 1) return false;
  if (first - 1 > Len(text)) return false;
  return !IsLetterOrDigit(At(text, first - 1));
}

bool BoundedAtRight(const UnicodeString& text, int32_t /*first*/, int32_t last) {
  if (last == Len(text)) return true;
  if (last > Len(text)) return false;
  if (last < 0) return false;
  return !IsLetterOrDigit(At(text, last + 1));
}

bool BoundedWholeWord(const UnicodeString& text, int32_t first, int32_t last) {
  return BoundedAtLeft(text, first, last) && BoundedAtRight(text, first, last);
}

bool IsBoundedOnLeft(const UnicodeString& text, int32_t p) {
  if (p < 2) return true;
  if (p - 1 > Len(text)) return true;  // nothing there to join the word to
  return !IsLetterOrDigit(At(text, p - 1));
}

bool IsBoundedOnRight(const UnicodeString& text, int32_t q) {
  if (q > Len(text)) return true;
  if (q < 1) return true;
  return !IsLetterOrDigit(At(text, q));
}

bool IsWholeWord(const UnicodeString& text, int32_t p, int32_t q) {
  return IsBoundedOnLeft(text, p) && IsBoundedOnRight(text, q);
}

int32_t WholeWordPositionOfXinText(int32_t start, const UnicodeString& word, const UnicodeString& text) {
  for (int32_t p = PosEx(word, text, std::max(start, 1)); p > 0; p = PosEx(word, text, p + 1))
    if (IsWholeWord(text, p, p + Len(word))) return p;
  return 0;
}

int32_t PosWordFoundIn(const UnicodeString& word, const UnicodeString& text, TMySearchFlags flags, int32_t start) {
  if (word.empty() || text.empty()) return -1;
  const bool needLeft = flags.Contains(myLeftBounded), needRight = flags.Contains(myRightBounded);
  for (int32_t p = PosEx(word, text, std::max(start, 1)); p > 0; p = PosEx(word, text, p + 1)) {
    const int32_t last = p + Len(word) - 1;
    if (needLeft && !BoundedAtLeft(text, p, last)) continue;
    if (needRight && !BoundedAtRight(text, p, last)) continue;
    return p;
  }
  return -1;
}

std::vector<int32_t> CharacterPositionsWordFoundIn(const UnicodeString& word, const UnicodeString& leftWord,
                                                   const UnicodeString& rightWord, const UnicodeString& text,
                                                   int32_t span, TMySearchFlags wordFlags,
                                                   TMySearchFlags contextFlags) {
  std::vector<int32_t> out;
  if (word.empty() || text.empty()) return out;
  const bool needLeft = wordFlags.Contains(myLeftBounded), needRight = wordFlags.Contains(myRightBounded);
  for (int32_t p = PosEx(word, text, 1); p > 0; p = PosEx(word, text, p + 1)) {
    const int32_t last = p + Len(word) - 1;
    if (needLeft && !BoundedAtLeft(text, p, last)) continue;
    if (needRight && !BoundedAtRight(text, p, last)) continue;
    bool rightOk = rightWord.empty();
    if (!rightOk) {
      const int32_t q = PosWordFoundIn(rightWord, text, contextFlags, p + 1);
      rightOk = q >= 0 && static_cast<int64_t>(q) <= static_cast<int64_t>(p) + 1 + span;
    }
    // Either condition suffices, so a missing context word on one side accepts every occurrence.
    bool leftOk = leftWord.empty();
    if (!leftOk && !rightOk) {
      const int32_t q = PosWordFoundIn(leftWord, text, contextFlags, std::max<int64_t>(1, int64_t{p} - span));
      leftOk = q >= 0 && q < p;
    }
    if (rightOk || leftOk) out.push_back(p);
  }
  return out;
}

UnicodeString ReplaceWholeWord(const UnicodeString& text, const UnicodeString& oldWord, const UnicodeString& newWord,
                               bool caseSensitive, int32_t& counter) {
  UnicodeString result = text;
  if (oldWord.empty()) return result;
  // Simple upper-casing keeps every position of the copies equal to the text's.
  const UnicodeString searched = caseSensitive ? text : ToUpper(text);
  const UnicodeString sought = caseSensitive ? oldWord : ToUpper(oldWord);
  const int32_t oldLen = Len(oldWord);
  int64_t shift = 0;
  for (int32_t p = PosEx(sought, searched, 1); p > 0; p = PosEx(sought, searched, p + 1)) {
    if (!BoundedWholeWord(searched, p, p + oldLen - 1)) continue;
    ++counter;
    Delete(result, p + shift, oldLen);
    Insert(newWord, result, p + shift);
    shift += Len(newWord) - oldLen;
  }
  return result;
}

int32_t WordsInCluster(const UnicodeString& s) {
  return 1 + static_cast<int32_t>(std::count(s.begin(), s.end(), u' '));
}

int32_t BasicWordCount(const UnicodeString& s) {
  int32_t count = 0;
  bool inWord = false;
  for (char16_t c : s) {
    const bool lod = IsLetterOrDigit(c);
    if (lod && !inWord) ++count;
    inWord = lod;
  }
  return count;
}

int32_t BeginningOfSameLine(const UnicodeString& text, int32_t i) {
  if (i < 1) return -1;
  for (int32_t j = std::min(i, Len(text)); j >= 1; --j)
    if (At(text, j) == u'\r' || At(text, j) == u'\n') return j;
  return -1;
}

int32_t FirstCharPosAboveSpace(const UnicodeString& s) {
  for (int32_t i = 1; i <= Len(s); ++i)
    if (At(s, i) > 0x20) return i;
  return -1;
}

char16_t FirstCharIsLowerCase(const UnicodeString& s) {
  for (char16_t c : s) {
    switch (GetUnicodeCategory(c)) {
      case ucLowercaseLetter: return c;
      case ucTitlecaseLetter: case ucUppercaseLetter: case ucDecimalNumber: case ucLetterNumber: case ucOtherNumber: case ucCurrencySymbol: return 0;
      default: break;
    }
  }
  return 0;
}

bool FirstLetterIsCapitalised(const UnicodeString& s) { return !s.empty() && IsUpper(s[0]); }

bool NextWordCapitalised(const UnicodeString& text, int32_t i) {
  if (i < 1 || i > Len(text)) return false;
  while (i < Len(text) && !IsLetterOrDigit(At(text, i))) ++i;
  return IsUpper(At(text, i));
}

bool IsFlowingText(const UnicodeString& text) {
  constexpr int32_t kLongLine = 120;
  int32_t previousCR = 0;  // a stretch is measured from just after the previous CR
  for (int32_t p = PosEx(u"\r\n", text, 1); p > 0; p = PosEx(u"\r\n", text, p + 2)) {
    if (p - previousCR - 1 > kLongLine) return true;
    previousCR = p;
  }
  return false;
}

int32_t NextOrLastNonSpaceCharPos(int32_t i, const UnicodeString& text, bool backwards) {
  auto visible = [&](int32_t j) { return At(text, j) > 0x20 && !IsWhiteSpace(At(text, j)); };
  if (backwards) {
    for (int32_t j = std::min(i - 1, Len(text)); j >= 1; --j)
      if (visible(j)) return j;
  }
  else {
    for (int32_t j = std::max(i + 1, 1); j <= Len(text); ++j)
      if (visible(j)) return j;
  }
  return -1;
}

char16_t NextOrLastNonSpaceChar(int32_t i, const UnicodeString& text, bool backwards) {
  const int32_t p = NextOrLastNonSpaceCharPos(i, text, backwards);
  if (p < 1 || p >= Len(text)) return 0;
  return At(text, p);
}

bool NextValidCharIsPunctuation(int32_t i, const UnicodeString& text) {
  for (int32_t j = std::max(i, 1); j <= Len(text); ++j) {
    const char16_t c = At(text, j);
    if (c <= 0x20 || IsWhiteSpace(c)) continue;
    return IsPunctuation(c);
  }
  return false;
}

}  // namespace kx8
