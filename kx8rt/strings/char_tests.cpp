#include "kx8rt/strings/char_tests.h"

#include <unicode/uchar.h>

#include "kx8rt/platform/char_classes.h"

namespace kx8::chartests {

static_assert(int{uc_Pf} == int{U_FINAL_PUNCTUATION} && int{uc_Po} == int{U_OTHER_PUNCTUATION} &&
              int{uc_Sc} == int{U_CURRENCY_SYMBOL});

TUnicodeCategory Category(char16_t c) { return static_cast<TUnicodeCategory>(u_charType(c)); }

bool IsLetter(char16_t c) { return (U_GET_GC_MASK(c) & U_GC_L_MASK) != 0; }
bool IsDigit(char16_t c) { return u_charType(c) == U_DECIMAL_DIGIT_NUMBER; }
bool IsLetterOrDigit(char16_t c) { return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_ND_MASK)) != 0; }
bool IsLower(char16_t c) { return u_charType(c) == U_LOWERCASE_LETTER; }
bool IsUpper(char16_t c) { return u_charType(c) == U_UPPERCASE_LETTER; }
bool IsWhiteSpace(char16_t c) { return u_isUWhiteSpace(c) != 0; }
bool IsPunctuation(char16_t c) { return (U_GET_GC_MASK(c) & U_GC_P_MASK) != 0; }
char16_t ToUpper(char16_t c) {
  const UChar32 u = u_toupper(c);
  return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

uint16_t TypeFlags(char16_t c) {
  const uint32_t m = U_GET_GC_MASK(c);
  uint16_t f = 0;
  if (m & (U_GC_LU_MASK | U_GC_LT_MASK)) f |= C1_UPPER;
  if (m & U_GC_LL_MASK) f |= C1_LOWER;
  if (m & U_GC_ND_MASK) f |= C1_DIGIT;
  if (u_isspace(c)) f |= C1_SPACE;
  if (m & (U_GC_P_MASK | U_GC_S_MASK)) f |= C1_PUNCT;
  if (m & U_GC_CC_MASK) f |= C1_CNTRL;
  if (c == u' ' || c == u'\t' || (m & U_GC_ZS_MASK)) f |= C1_BLANK;
  if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')) f |= C1_XDIGIT;
  // Combining marks belong to the letters they sit on, so a word in an Indic script stays one run.
  if (m & (U_GC_L_MASK | U_GC_MN_MASK | U_GC_MC_MASK)) f |= C1_ALPHA;
  if (!(m & U_GC_CN_MASK)) f |= C1_DEFINED;
  return f;
}

}  // namespace kx8::chartests
