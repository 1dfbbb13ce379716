#include <gtest/gtest.h>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/strings/readable_strings.h"

namespace kx8 {
namespace {

TEST(ConvertedFromString, CodePageForm) {
  EXPECT_EQ(ConvertedFromString(1252, u"caf\u00e9 \u20ac"), "caf\xe9 \x80");
  EXPECT_EQ(ConvertedFromString(1251, u"\u0416"), "\xc6");
  EXPECT_EQ(ConvertedFromString(1252, nullptr), "");
  EXPECT_EQ(ConvertedFromString(1252, u""), "");
  EXPECT_EQ(ConvertedFromString(-7, u"abc"), "");  // no such code page
  // Stops at the terminating zero.
  const char16_t text[] = {u'a', u'b', 0, u'c', 0};
  EXPECT_EQ(ConvertedFromString(1252, text), "ab");
}

TEST(ConvertedFromString, NeverMoreBytesThanUnits) {
  // "é" takes two bytes in UTF-8: the text is cut at the last whole character that fits.
  EXPECT_EQ(ConvertedFromString(65001, u"ab\u00e9\u00e9"), "ab\xc3\xa9");
  EXPECT_EQ(ConvertedFromString(65001, u"\u00e9"), "");
  EXPECT_EQ(ConvertedFromString(65001, u"a\U0001F600b"), "a");
  EXPECT_EQ(ConvertedFromString(65001, u"plain"), "plain");
}

TEST(ConvertedFromString, LocaleAndDefaultForms) {
  EXPECT_EQ(ConvertedFromString(LCID{0x0419}, UnicodeString(u"\u0416")), "\xc6");    // Russian: 1251
  EXPECT_EQ(ConvertedFromString(LCID{0x0409}, UnicodeString(u"\u00e9")), "\xe9");    // English: 1252
  EXPECT_EQ(ConvertedFromString(UnicodeString(u"\u00e9x")), "\xe9x");                // system code page
  char* a = GetCopyOfSTringEncodedAsAnsi(u"\u0416\u0416", 0x0419);
  EXPECT_EQ(a, copyA);
  EXPECT_EQ(std::string(a), "\xc6\xc6");
  a = GetCopyOfSTringEncodedAsAnsi(UnicodeString(400, u'z'), 0x0409);
  EXPECT_EQ(std::string(a), std::string(255, 'z'));
}

}  // namespace
}  // namespace kx8
