#include "kx8rt/search/user_input_wildcard_parsing.h"

#include "kx8rt/platform/exceptions.h"

namespace kx8 {

namespace {

char16_t CodeUnit(int32_t code) {
  if (code < 0 || code > 0xFFFF) throw EConvertError(u"Code " + IntToStr(code) + u" is not a UTF-16 unit");
  return static_cast<char16_t>(code);
}

UnicodeString Quoted(std::u16string_view symbol) {
  UnicodeString q;
  q.reserve(symbol.size() + 2);
  q += u'"';
  q += symbol;
  q += u'"';
  return q;
}

}  // namespace

bool Parse_Translate(UnicodeString& S, const UnicodeString& Sym, char16_t Code) {
  if (Sym.empty()) return false;
  bool found = false;
  for (size_t p = S.find(Sym); p != UnicodeString::npos; p = S.find(Sym, p + 1)) {
    S[p] = Code;
    found = true;
  }
  return found;
}

void Parse_RetainOne(UnicodeString& S, int32_t Code, const UnicodeString& QuotedSym) {
  const char16_t c = CodeUnit(Code);
  if (QuotedSym.empty()) return;
  S = StringReplace(S, QuotedSym, UnicodeString(1, c), rfReplaceAll);
}

void Parse_Retain(UnicodeString& S, int32_t Base) {
  for (size_t k = 0; k < retain_symbols.size(); ++k)
    Parse_RetainOne(S, Base + static_cast<int32_t>(k), Quoted(retain_symbols[k]));
}

void Parse_RestoreOne(UnicodeString& S, int32_t Code, const UnicodeString& QuotedSym) {
  const char16_t c = CodeUnit(Code);
  UnicodeString bare;
  for (char16_t ch : Trim(QuotedSym))
    if (ch != u'"') bare.push_back(ch);
  S = StringReplace(S, UnicodeString(1, c), bare, rfReplaceAll);
}

void Parse_Restore(UnicodeString& S, int32_t Base) {
  for (size_t k = 0; k < retain_symbols.size(); ++k)
    Parse_RestoreOne(S, Base + static_cast<int32_t>(k), Quoted(retain_symbols[k]));
}

UnicodeString TagWildcardConverted(const UnicodeString& S) {
  UnicodeString result = S;
  for (const auto& conv : tag_wildcards_converters) {
    const char16_t original = conv[original_char];
    const UnicodeString quoted = {u'"', original, u'"'};
    const size_t q = result.find(quoted);
    if (q != UnicodeString::npos) {
      result.replace(q, 3, 1, original);
      continue;
    }
    const size_t p = result.find(original);
    if (p != UnicodeString::npos) result[p] = conv[replacement_char];
  }
  return result;
}

UnicodeString CleanToTagOnOff(const UnicodeString& S) {
  UnicodeString result = S;
  // Walking backwards keeps the next ">" at hand, so each "<" is paired in one pass.
  size_t nextClose = UnicodeString::npos;
  for (size_t i = S.size(); i-- > 0;) {
    if (S[i] == u'>') {
      nextClose = i;
    }
    else if (S[i] == u'<' && nextClose != UnicodeString::npos) {
      result[i] = sw_tag_start;
      result[nextClose] = sw_tag_end;
    }
  }
  return result;
}

}  // namespace kx8
