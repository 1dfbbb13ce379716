#include "kx8rt/strings/readable_strings.h"

#include <gtest/gtest.h>

#include "kx8rt/platform/yield.h"
#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

TEST(KXFormattedReadableStringToWorkString, BraceForms) {
  const struct { const char16_t* in; const char16_t* out; } cases[] = {
      {u"Tab{CHR(9)}here", u"Tab\there"},
      {u"{chr(x41)}", u"A"},
      {u"{CHR(41h)}", u"A"},
      {u"{CHR($41)}", u"A"},
      {u"{Chr(X42)}{cHr(67)}", u"BC"},
      {u"{CHR(65601)}", u"A"},        // taken modulo 65536
      {u"{CHR(abc)}", u"{CHR(abc)}"},  // not a number: left as it is
      {u"{CHR(abc)}{CHR(66)}", u"{CHR(abc)}B"},
      {u"{CHR(65", u"{CHR(65"},        // no closer
      {u"{CHR()}{CHR(66)}", u"{CHR()}{CHR(66)}"},  // empty code ends the pass
      {u"CHR(65)}", u"CHR(65)}"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(KXFormattedReadableStringToWorkString(c.in), UnicodeString(c.out)) << Utf16ToUtf8(c.in);
  // A NUL result cannot sit in the table, whose literals stop at their zero.
  EXPECT_EQ(KXFormattedReadableStringToWorkString(u"{CHR(0)}x"), UnicodeString(u"\0x", 2));
}

TEST(KXFormattedReadableStringToWorkString, HashForms) {
  const struct { const char16_t* in; const char16_t* out; } cases[] = {
      {u"#x41;BC", u"ABC"},
      {u"#$41", u"A"},
      {u"#h41", u"A"},
      {u"#65", u"A"},
      {u"#65#66", u"AB"},
      {u"X# and #66", u"X# and #66"},  // the first "#" is no code, so the pass ends there
      {u"#x", u"#x"},
      {u"#", u"#"},
      {u"#99999999999", u"#99999999999"},  // does not fit 32 bits
      {u"#35;65", u"#;65"},              // decimal takes no ";" and decodes to "#" again
      {u"#3565", u"\u0ded"},
      {u"#x23;x41", u"A"},               // a decoded "#" begins a new code
  };
  for (const auto& c : cases) EXPECT_EQ(KXFormattedReadableStringToWorkString(c.in), UnicodeString(c.out)) << Utf16ToUtf8(c.in);
}

TEST(KXFormattedReadableStringToWorkString, BracesBeforeHashes) {
  // The brace pass makes a "#" that the hash pass then decodes.
  EXPECT_EQ(KXFormattedReadableStringToWorkString(u"{CHR(35)}66"), u"B");
  EXPECT_EQ(KXFormattedReadableStringToWorkString(u"a{CHR(9)}b#x43;"), u"a\tbC");
}

TEST(KXFormattedReadableStringToWorkString, YieldsWhileDecoding) {
  int calls = 0;
  Global_YieldProcessProc = [&calls] { ++calls; };
  KXFormattedReadableStringToWorkString(u"{CHR(65)}#66");
  Global_YieldProcessProc = nullptr;
  EXPECT_GE(calls, 2);
}

TEST(KXFormattedWorkStringToReadableString, RoundTripOfEveryControl) {
  UnicodeString all;
  for (char16_t c = 0; c < 32; ++c) all += c;
  all += u"text";
  const UnicodeString readable = KXFormattedWorkStringToReadableString(all, 32);
  EXPECT_EQ(readable.substr(0, 16), u"{CHR(0)}{CHR(1)}");
  EXPECT_EQ(readable.find(u'\t'), UnicodeString::npos);
  EXPECT_EQ(KXFormattedReadableStringToWorkString(readable), all);
  for (char16_t c = 0; c < 32; ++c) {
    const UnicodeString one(1, c);
    EXPECT_EQ(KXFormattedReadableStringToWorkString(KXFormattedWorkStringToReadableString(one, 32)), one) << int(c);
  }
}

TEST(KXFormattedWorkStringToReadableString, Limits) {
  EXPECT_EQ(KXFormattedWorkStringToReadableString(u"a\tb", 32), u"a{CHR(9)}b");
  EXPECT_EQ(KXFormattedWorkStringToReadableString(u"a\tb", 0), u"a\tb");
  EXPECT_EQ(KXFormattedWorkStringToReadableString(u"a\tb", -5), u"a\tb");
  EXPECT_EQ(KXFormattedWorkStringToReadableString(u"AB", 66), u"{CHR(65)}B");
  EXPECT_EQ(KXFormattedWorkStringToReadableString(u"", 32), u"");
}

TEST(BracedNumberStrToDigitalformat, Forms) {
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"x41"), u"$41");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"41h"), u"$41");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"65"), u"65");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"$ff"), u"$FF");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u"h"), u"$");
  EXPECT_EQ(BracedNumberStrToDigitalformat(u""), u"");
}

TEST(CodeStrings, HexPairsAndFourDigitGroups) {
  EXPECT_EQ(ToHexNumStr(u"AB"), u"41,42,");
  EXPECT_EQ(ToHexNumStr(u"\n\u00ff"), u"0A,FF,");
  EXPECT_EQ(ToHexNumStr(u"\u20ac"), u"20AC,");
  EXPECT_EQ(FromHexNumStr(u"41,42,"), u"AB");
  EXPECT_EQ(FromHexNumStr(u"41,42"), u"A");    // no full group for the second
  EXPECT_EQ(FromHexNumStr(u"41,zz,43,"), u"AC");  // a bad pair is skipped
  EXPECT_EQ(ToNumStr(u"A"), u"0041");
  EXPECT_EQ(ToNumStr(u"\uffff\u0001"), u"FFFF0001");
  EXPECT_EQ(FromNumStr(u"00410042"), u"AB");
  EXPECT_EQ(FromNumStr(u"0041004"), u"A");
  EXPECT_EQ(FromNumStr(u"00g10042"), u"B");
  EXPECT_EQ(FromNumStr(u"-041"), u"");
  UnicodeString every;
  for (unsigned c = 0; c < 65536; c += 97) every += static_cast<char16_t>(c);
  EXPECT_EQ(FromNumStr(ToNumStr(every)), every);
}

TEST(WideCharFromCardinal, SixteenBitsOrQuestionMark) {
  EXPECT_EQ(WideCharFromCardinal(0x41), u'A');
  EXPECT_EQ(WideCharFromCardinal(0xFFFF), u'\uffff');
  EXPECT_EQ(WideCharFromCardinal(0x10000), u'?');
  EXPECT_EQ(WideStringFromCardinal(0x20AC), u"\u20ac");
  EXPECT_EQ(WideStringFromCardinal(0xFFFFFFFF), u"?");
}

TEST(CopyBuffers, ZeroFilledAndCutAt255) {
  char* a = GetCopyOfAnsiEncodedAsAnsi(AnsiString(300, 'x'), 0);
  EXPECT_EQ(a, copyA);
  EXPECT_EQ(std::string(a), AnsiString(255, 'x'));
  a = GetCopyOfAnsiEncodedAsAnsi("ab", 7);
  EXPECT_EQ(std::string(a), "ab");
  EXPECT_EQ(copyA[3], 0);  // the longer earlier copy is wiped
  char16_t* w = GetCopyOfSTringEncodedASUnicode(UnicodeString(256, u'\u00e9'), 0);
  EXPECT_EQ(w, copyW);
  EXPECT_EQ(UnicodeString(w), UnicodeString(255, u'\u00e9'));
  w = GetCopyOfSTringEncodedASUnicode(u"", 0);
  EXPECT_EQ(copyW[0], 0);
  EXPECT_EQ(copyW[254], 0);
}

TEST(UnixStringToWindowsString, LineEnds) {
  int32_t count = -1;
  EXPECT_EQ(UnixStringToWindowsStringW(count, u"a\nb\rc\r\n"), u"a\r\nb\r\nc\r\n");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(UnixStringToWindowsStringW(count, u"x\r"), u"x\r");  // a final CR stays alone
  EXPECT_EQ(count, 0);
  EXPECT_EQ(UnixStringToWindowsStringW(count, u"\n\n"), u"\r\n\r\n");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(UnixStringToWindowsStringW(count, u"\r\r"), u"\r\n\r");
  EXPECT_EQ(count, 1);
  EXPECT_EQ(UnixStringToWindowsStringW(count, u""), u"");
  EXPECT_EQ(count, 0);
  EXPECT_EQ(UnixStringToWindowsString(count, "a\nb\rc\r\n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(count, 2);
  EXPECT_EQ(UnixStringToWindowsString(count, AnsiString("\0\n", 2)), AnsiString("\0\r\n", 3));
  EXPECT_EQ(count, 1);
}

TEST(QuotingHelpers, TrimQuoteAndUnderscore) {
  EXPECT_EQ(DoubleQuotesAdded(u"  big cat\t\r\n"), u"\"big cat\"");
  EXPECT_EQ(DoubleQuotesAdded(u""), u"\"\"");
  EXPECT_EQ(DoubleQuotesRemoved(u" \"big\" \"cat\" "), u"big cat");
  EXPECT_EQ(DoubleQuotesRemoved(u"\" x \""), u" x ");
  EXPECT_EQ(UnderscoredStr(u" a b\tc "), u"_a_b\tc_");
  EXPECT_EQ(Ansicrlf, "\r\n");
}

TEST(IntegerInsideSquareBrackets, DigitsAfterFirstBracket) {
  EXPECT_EQ(IntegerInsideSquareBrackets(u"no bracket"), 0);
  EXPECT_EQ(IntegerInsideSquareBrackets(u"item [42] and [7]"), 42);
  EXPECT_EQ(IntegerInsideSquareBrackets(u"[12abc"), 12);
  EXPECT_EQ(IntegerInsideSquareBrackets(u"x[0]"), 0);
  EXPECT_THROW(IntegerInsideSquareBrackets(u"x[]"), EConvertError);
  EXPECT_THROW(IntegerInsideSquareBrackets(u"x[-1]"), EConvertError);
  EXPECT_THROW(IntegerInsideSquareBrackets(u"x["), EConvertError);
  EXPECT_THROW(IntegerInsideSquareBrackets(u"[99999999999]"), EConvertError);
}

}  // namespace
}  // namespace kx8
