#include "kx8rt/search/user_input_wildcard_parsing.h"

#include <gtest/gtest.h>

#include "kx8rt/platform/exceptions.h"

using namespace kx8;

namespace {

UnicodeString Codes(std::initializer_list<char16_t> units) { return UnicodeString(units); }

TEST(Notation, ParseTranslate) {
  UnicodeString s = u"a}}}b";
  EXPECT_TRUE(Parse_Translate(s, any_string_symbol_str, sw_any_string_mark));
  EXPECT_EQ(s, Codes({u'a', 21, u'}', u'}', u'b'}));
  s = u"plain";
  EXPECT_FALSE(Parse_Translate(s, u"}}}", 21));
  EXPECT_EQ(s, u"plain");
  EXPECT_FALSE(Parse_Translate(s, u"", 21));
  // Every occurrence, including one that starts inside the previous one.
  s = u"a*b*c";
  EXPECT_TRUE(Parse_Translate(s, u"*", sw_any_run));
  EXPECT_EQ(s, Codes({u'a', 29, u'b', 29, u'c'}));
  s = u"}}}}";
  Parse_Translate(s, u"}}}", 21);
  EXPECT_EQ(s, Codes({21, 21, u'}', u'}'}));
  s = u"x * y";
  EXPECT_TRUE(Parse_Translate(s, any_word_symbol_char, u'!'));
  EXPECT_EQ(s, u"x!* y");  // only the first character of the symbol is replaced
}

TEST(Notation, RetainAndRestore) {
  for (const char16_t* word : {u"plain", u"a*b?c", u"", u"\"\"", u"x\"y"}) {
    UnicodeString s = word;
    Parse_Retain(s, retain_code_base);
    Parse_Restore(s, retain_code_base);
    EXPECT_EQ(s, word) << Utf16ToUtf8(word);
  }
  // A quoted asterisk survives the wildcard translation as a bare, literal "*".
  UnicodeString s = u"ab\"*\"c*";
  Parse_Retain(s, retain_code_base);
  EXPECT_EQ(s, Codes({u'a', u'b', 0xE002, u'c', u'*'}));
  Parse_Translate(s, u"*", sw_any_run);
  Parse_Restore(s, retain_code_base);
  EXPECT_EQ(s, Codes({u'a', u'b', u'*', u'c', 29}));
  // Each of the eleven symbols has its own code, in list order.
  s = u"\"^\"\"/\"\"==\"\"}}}\"\"/\\\"";
  Parse_Retain(s, 0xE000);
  EXPECT_EQ(s, Codes({0xE000, 0xE001, 0xE003, 0xE009, 0xE00A}));
  Parse_Restore(s, 0xE000);
  EXPECT_EQ(s, u"^/==}}}/\\");
  UnicodeString t = Codes({u'x', 0xE100});
  Parse_RestoreOne(t, 0xE100, u" \"==\" ");
  EXPECT_EQ(t, u"x==");
  EXPECT_THROW(Parse_RetainOne(t, 0x10000, u"\"*\""), EConvertError);
  EXPECT_THROW(Parse_RestoreOne(t, -1, u"\"*\""), EConvertError);
}

TEST(Notation, TagWildcardConverted) {
  EXPECT_EQ(TagWildcardConverted(u"<h*a*>"), Codes({u'<', u'h', 29, u'a', u'*', u'>'}));
  EXPECT_EQ(TagWildcardConverted(u"<~p \"*\" *>"), Codes({u'<', 31, u'p', u' ', u'*', u' ', u'*', u'>'}));
  EXPECT_EQ(TagWildcardConverted(u"<^?#>"), Codes({u'<', 30, 28, 27, u'>'}));
  EXPECT_EQ(TagWildcardConverted(u"<p>"), u"<p>");
  EXPECT_EQ(TagWildcardConverted(u""), u"");
}

TEST(Notation, CleanToTagOnOff) {
  EXPECT_EQ(CleanToTagOnOff(u"a<b>c"), Codes({u'a', 25, u'b', 24, u'c'}));
  EXPECT_EQ(CleanToTagOnOff(u"<a<b>"), Codes({25, u'a', 25, u'b', 24}));  // both pair with one ">"
  EXPECT_EQ(CleanToTagOnOff(u"x>y<z"), u"x>y<z");
  EXPECT_EQ(CleanToTagOnOff(u"<a>>"), Codes({25, u'a', 24, u'>'}));
}

TEST(Notation, Tables) {
  EXPECT_EQ(tag_wildcards_converters[question_type][original_char], u'?');
  EXPECT_EQ(tag_wildcards_converters[not_type][replacement_char], 31);
  EXPECT_EQ(retain_symbols[10], u"/\\");
  EXPECT_EQ(crlf_symbol_string, u"/\\");
}

}  // namespace
