#include "kx8rt/strings/text_cleaning.h"

#include <algorithm>

#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/char_classes.h"

namespace kx8 {

namespace {

UnicodeString Upper(std::u16string_view s) { return ToUpper(s); }
UnicodeString Lower(std::u16string_view s) { return ToLower(s); }

// Upper case of one unit; a unit whose mapping leaves the BMP stays, so the length never changes.
char16_t UpperUnit(char16_t c) {
  const char32_t m = ToUpper(static_cast<char32_t>(c));
  return m <= 0xFFFF ? static_cast<char16_t>(m) : c;
}

}  // namespace

UnicodeString StrippedDoubleSpaces(const UnicodeString& s) {
  UnicodeString out;
  out.reserve(s.size());
  for (const char16_t c : s) {
    MyYieldProcess();
    if (c == u' ' && !out.empty() && out.back() == u' ') continue;
    out += c;
  }
  return out;
}

UnicodeString WideTrimSpaceOnly(const UnicodeString& s) {
  size_t first = 0, last = s.size();
  while (first < last && IsWhiteSpace(s[first])) ++first;
  while (last > first && IsWhiteSpace(s[last - 1])) --last;
  return s.substr(first, last - first);
}

UnicodeString TitleCasedString(const UnicodeString& s, bool firstOnly) {
  UnicodeString result = Lower(s);
  const size_t len = s.size();
  if (len == 0) return result;
  // Positions are 1-based as in the rule they follow: a letter is capitalised when it starts the
  // string or follows a space or control character; one after punctuation stays lower case.
  size_t p = 1;
  for (;;) {
    while (p < len && !IsLetter(s[p - 1])) ++p;
    if (p == 1 || (p >= 2 && s[p - 2] <= u' ')) result[p - 1] = UpperUnit(result[p - 1]);
    if (firstOnly) break;
    ++p;
    while (p < len && s[p - 1] > u' ') ++p;
    if (p >= len) break;
  }
  return result;
}

UnicodeString TitleCasedString(const UnicodeString& s) { return TitleCasedString(s, true); }

UnicodeString OutputConvertedStr(TOutput_results_case outputCase, const UnicodeString& s) {
  switch (outputCase) {
    case upper_case_output: return Upper(s);
    case title_case_output: return TitleCasedString(s, false);
    case lower_case_output: return Lower(s);
    case as_it_comes_output: break;
  }
  return s;
}

int32_t CaseInsensitiveUpperedPos(const UnicodeString& sub, const UnicodeString& s) { return Pos(sub, Upper(s)); }

int32_t CaseInsensitivePos(const UnicodeString& sub, const UnicodeString& s) { return Pos(Upper(sub), Upper(s)); }

int32_t CaseInsensitiveUpperedPosEx(const UnicodeString& sub, const UnicodeString& s, int32_t offset) {
  return PosEx(sub, Upper(s), offset);
}

UnicodeString StrippedOfChar(const UnicodeString& s, char16_t c) {
  UnicodeString out;
  out.reserve(s.size());
  for (const char16_t x : s) {
    MyYieldProcess();
    if (x != c) out += x;
  }
  return out;
}

UnicodeString StrippedOfCommas(const UnicodeString& s) { return StrippedOfChar(s, u','); }

UnicodeString BackwardsStr(const UnicodeString& s) { return UnicodeString(s.rbegin(), s.rend()); }

UnicodeString AcceptableFilename(const UnicodeString& s) {
  UnicodeString out(s);
  for (char16_t& c : out) {
    if (InvalidFilenameChars.find(c) == std::u16string_view::npos) continue;
    c = c == u'<' ? u'(' : c == u'>' ? u')' : u'_';
  }
  return out;
}

}  // namespace kx8
