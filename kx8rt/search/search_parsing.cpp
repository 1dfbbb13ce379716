#include "kx8rt/search/search_parsing.h"

#include <algorithm>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/strings/readable_strings.h"

namespace kx8 {

namespace {

// Trims spaces only: the line-break codes U+0010 and U+0013 at the ends must survive.
UnicodeString TrimSpaces(const UnicodeString& s) {
  const size_t first = s.find_first_not_of(u' ');
  if (first == UnicodeString::npos) return {};
  const size_t last = s.find_last_not_of(u' ');
  return s.substr(first, last - first + 1);
}

bool StartsWith(const UnicodeString& s, std::u16string_view p) { return s.size() >= p.size() && s.compare(0, p.size(), p) == 0; }
bool EndsWith(const UnicodeString& s, std::u16string_view p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// A whole, non-negative number of words; anything else leaves its side of the span untouched.
bool HorizonWords(const UnicodeString& part, int32_t& n) {
  const UnicodeString t = Trim(part);
  if (t.empty() || !std::all_of(t.begin(), t.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) return false;
  return TryStrToInt(t, n);
}

void ComputeCopies(TSearch_word_format_rec& Rec) {
  Rec.copies[unchanged_copy] = Rec.search_text;
  // Simple (one unit for one unit) case mapping keeps the copies index-aligned, which the matcher needs.
  Rec.copies[upper_copy] = ToUpper(Rec.search_text);
  Rec.copies[lower_copy] = ToLower(Rec.search_text);
  // The first character of the upper copy, then the lower copy (the copies have equal lengths).
  Rec.copies[title_copy] = Rec.copies[lower_copy];
  if (!Rec.copies[title_copy].empty()) Rec.copies[title_copy][0] = Rec.copies[upper_copy][0];
  Rec.case_closure = CaseClosureTable(Rec.copies[upper_copy], Rec.copies[lower_copy], Rec.copies[title_copy]);
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Adds u to a row of the table unless it is there already or the row is full.
void AddToRow(char16_t* row, int32_t& n, char16_t u) {
  if (n < case_closure_width && std::find(row, row + n, u) == row + n) row[n++] = u;
}

int32_t SpaceRuns(const UnicodeString& s) {
  int32_t runs = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == u' ' && (i == 0 || s[i - 1] != u' ')) ++runs;
  return runs;
}

}  // namespace

UnicodeString CaseClosureTable(std::u16string_view Upper, std::u16string_view Lower, std::u16string_view Title,
                               bool CloseOverCase) {
  const size_t m = std::min({Upper.size(), Lower.size(), Title.size()});
  UnicodeString table(m * case_closure_width, u'\0');
  for (size_t k = 0; k < m;) {
    char16_t* row = table.data() + k * case_closure_width;
    int32_t n = 0;
    row[n++] = Lower[k];
    // A pair in all three copies is closed as one character; its units go to two rows.
    const bool pair = k + 1 < m && IsHigh(Lower[k]) && IsLow(Lower[k + 1]) && IsHigh(Upper[k]) &&
                      IsLow(Upper[k + 1]) && IsHigh(Title[k]) && IsLow(Title[k + 1]);
    if (!CloseOverCase || (!pair && (IsHigh(Lower[k]) || IsLow(Lower[k])))) {
      AddToRow(row, n, Upper[k]);
      AddToRow(row, n, Title[k]);
      std::fill(row + n, row + case_closure_width, row[0]);
      ++k;
      continue;
    }
    char16_t* next = pair ? row + case_closure_width : nullptr;
    int32_t nextN = 0;
    if (pair) next[nextN++] = Lower[k + 1];
    for (const std::u16string_view copy : {Lower, Upper, Title}) {
      const char32_t c = pair ? static_cast<char32_t>(0x10000 + ((copy[k] - 0xD800) << 10) + (copy[k + 1] - 0xDC00))
                              : copy[k];
      char32_t members[max_case_closure];
      const int32_t count = CaseClosureOf(c, members, max_case_closure);
      for (int32_t i = 0; i < count; ++i) {
        const char32_t d = members[i];
        if (pair && d >= 0x10000) {
          // Rows are compared unit by unit, so a member's two units land in two rows.
          AddToRow(row, n, static_cast<char16_t>(0xD800 + ((d - 0x10000) >> 10)));
          AddToRow(next, nextN, static_cast<char16_t>(0xDC00 + ((d - 0x10000) & 0x3FF)));
        } else if (!pair && d < 0x10000) {
          AddToRow(row, n, static_cast<char16_t>(d));
        }
      }
    }
    std::fill(row + n, row + case_closure_width, row[0]);
    if (pair) std::fill(next + nextN, next + case_closure_width, next[0]);
    k += pair ? 2 : 1;
  }
  return table;
}


bool DoMainParse_Translates(UnicodeString& S) {
  Parse_Translate(S, u"^", sw_any_letter);
  Parse_Translate(S, u"#", sw_digit_run);
  Parse_Translate(S, u"*", sw_any_run);
  Parse_Translate(S, u"?", sw_any_char);
  return Parse_Translate(S, any_string_symbol_str, sw_any_string_mark);
}

bool ContainsPairedTagMarkup(const TIgnore_tag& IgnoreTags, UnicodeString& S) {
  bool paired = false;
  for (size_t k = 0; k < IgnoreTags[tag_on].size(); ++k) {
    const char16_t opener = IgnoreTags[tag_on][k];
    const char16_t closer = IgnoreTags[tag_off][k];
    if (opener != 0 && S.find(opener) != UnicodeString::npos) {
      std::replace(S.begin(), S.end(), opener, sw_tag_start);
      paired = true;
    }
    if (paired && closer != 0) {
      if (S.find(closer) != UnicodeString::npos)
        std::replace(S.begin(), S.end(), closer, sw_tag_end);
      else
        paired = false;
    }
  }
  return paired;
}

void Parse_SWChunk(const TIgnore_tag& IgnoreTags, bool& ContainsTag, UnicodeString& S, TMySearchFlags& Flags) {
  Flags = FlagsFromSW(S);
  Parse_Retain(S, retain_code_base);
  for (size_t p = S.find(any_word_symbol_char); p != UnicodeString::npos; p = S.find(any_word_symbol_char))
    S[p + 1] = sw_one_whole_word;
  DoMainParse_Translates(S);
  if (S.find(crlf_symbol_string) != UnicodeString::npos) {
    // "#x13;" and "#x10;" become the single characters U+0013 and U+0010 when the escapes are decoded.
    if (EndsWith(S, crlf_symbol_string)) {
      S.erase(S.size() - crlf_symbol_string.size());
      S += u"#x13;";
    } else if (StartsWith(S, crlf_symbol_string)) {
      S.erase(0, crlf_symbol_string.size());
      S.insert(0, u"#x10;");
    }
  }
  ContainsTag = ContainsPairedTagMarkup(IgnoreTags, S);
  S = KXFormattedReadableStringToWorkString(S);
  Parse_Restore(S, retain_code_base);
}

void Parsed_SearchWord(const TIgnore_tag& IgnoreTags, UnicodeString& S, TSearch_word_format_rec& Rec) {
  Rec = TSearch_word_format_rec{};
  Rec.typed_in_text = S;
  const size_t p = S.find(context_clause_str);
  if (p != UnicodeString::npos) {
    Rec.has_file_based_context_word = true;
    Rec.sw_context_needed = Trim(S.substr(p + context_clause_str.size()));
    S.erase(p);
    const size_t q = Rec.sw_context_needed.find(u"[[");
    const size_t r = q == UnicodeString::npos ? q : Rec.sw_context_needed.find(u"]]", q + 2);
    if (r != UnicodeString::npos) {
      const UnicodeString span = Rec.sw_context_needed.substr(q + 2, r - q - 2);
      Rec.sw_context_needed = Trim(Rec.sw_context_needed.substr(0, q));
      const size_t comma = span.find(u',');
      if (comma != UnicodeString::npos) {
        int32_t n = 0;
        if (HorizonWords(span.substr(0, comma), n)) Rec.sw_context_spans.leftmost = HorizonToConcSpan(n, at_left);
        if (HorizonWords(span.substr(comma + 1), n)) Rec.sw_context_spans.rightmost = HorizonToConcSpan(n, at_right);
      }
    }
  }
  Parse_SWChunk(IgnoreTags, Rec.contains_a_tag, S, Rec.flags);
  Rec.search_text = TrimSpaces(S);
  Rec.spaces_in_sw = SpaceRuns(Rec.search_text);
  Rec.ambiguous = Rec.typed_in_text != Rec.search_text ||
                  std::any_of(Rec.search_text.begin(), Rec.search_text.end(),
                              [](char16_t c) { return c >= sw_one_whole_word && c <= sw_not; });
  ComputeCopies(Rec);
}

void UnParsed_SearchWord(UnicodeString& S, TSearch_word_format_rec& Rec) {
  Rec = TSearch_word_format_rec{};
  Rec.typed_in_text = S;
  Rec.flags = FlagsFromSW(S);
  Rec.search_text = S;
  Rec.spaces_in_sw = SpaceRuns(Rec.search_text);
  Rec.ambiguous = Rec.typed_in_text != Rec.search_text;
  ComputeCopies(Rec);
}

std::unique_ptr<TStringList> SplitSWList(UnicodeString& S, bool SplitAtSlashes) {
  auto parts = std::make_unique<TStringList>();
  if (SplitAtSlashes) {
    // i is a 0-based index; a "/" there splits when it is neither first nor last and no double quote
    // touches it.
    size_t i = 1;
    while (i + 1 < S.size()) {
      if (S[i] == u'/' && S[i - 1] != u'"' && S[i + 1] != u'"') {
        parts->Add(S.substr(0, i));
        S.erase(0, i + 1);
        i = 1;
      } else {
        ++i;
      }
    }
  }
  if (!S.empty()) parts->Add(S);
  return parts;
}


}  // namespace kx8
