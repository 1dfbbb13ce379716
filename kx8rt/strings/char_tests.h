// Unicode character tests used by the string functions: letter or digit, case, white space,
// punctuation, general category and the classic type-1 flag word of one UTF-16 unit.
#pragma once

#include <cstdint>

namespace kx8::chartests {

// General categories, numbered as the Unicode character database orders them.
enum TUnicodeCategory : uint8_t {
  uc_Cn, uc_Lu, uc_Ll, uc_Lt, uc_Lm, uc_Lo, uc_Mn, uc_Me, uc_Mc, uc_Nd, uc_Nl, uc_No, uc_Zs, uc_Zl, uc_Zp,
  uc_Cc, uc_Cf, uc_Co, uc_Cs, uc_Pd, uc_Ps, uc_Pe, uc_Pc, uc_Po, uc_Sm, uc_Sc, uc_Sk, uc_So, uc_Pi, uc_Pf
};

// The general category of one code unit (a lone surrogate is Cs).
TUnicodeCategory Category(char16_t c);
bool IsLetter(char16_t c);         // any L category
bool IsDigit(char16_t c);          // Nd
bool IsLetterOrDigit(char16_t c);  // any L category or Nd
bool IsLower(char16_t c);          // Ll
bool IsUpper(char16_t c);          // Lu
bool IsWhiteSpace(char16_t c);     // Unicode white space, controls such as tab and line breaks included
bool IsPunctuation(char16_t c);    // any P category
// Simple one-to-one upper-case mapping (the length of a string never changes).
char16_t ToUpper(char16_t c);
// The classic type-1 word (C1_UPPER ... C1_ALPHA, C1_DEFINED) of one code unit.
uint16_t TypeFlags(char16_t c);

}  // namespace kx8::chartests
