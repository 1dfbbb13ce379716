#include "kx8rt/strings/string_list_utilities.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "kx8rt/containers/useful_classes_stringlist_sorts.h"
#include "kx8rt/platform/datetime.h"

namespace kx8 {
namespace {

std::vector<UnicodeString> Lines(const TStringList& l) {
  std::vector<UnicodeString> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Get(i));
  return v;
}

TEST(NotifyStringlist, ReportsEvery256LinesAndTheEnd) {
  std::vector<int32_t> told;
  TNotifyStringlist l([&](int32_t n) { told.push_back(n); });
  UnicodeString text;
  for (int i = 0; i < 600; ++i) text += u"line\r\n";
  l.SetTextStr(text);
  EXPECT_EQ(l.Count(), 600);
  EXPECT_EQ(told, (std::vector<int32_t>{255, 511, 600}));
  told.clear();
  l.SetTextStr(u"a\rb\nc");
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"a", u"b", u"c"}));
  EXPECT_EQ(told, (std::vector<int32_t>{3}));
  TNotifyStringlist silent;  // no event: no calls, lines still set
  silent.SetTextStr(u"x\r\ny");
  EXPECT_EQ(silent.Count(), 2);
}

TEST(FilenamesStringlist, KeepsOnlyTheExistingFileField) {
  const auto dir = std::filesystem::temp_directory_path() / ("kx8_fnlist_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "x.txt";
  std::ofstream(file) << "x";
  const UnicodeString name = Utf8ToUtf16(file.string());
  TFilenamesStringlist l;
  l.Add(u"3\t" + name + u"\tz");
  l.Add(u"4\t/no/such/file.txt");
  l.ReduceToExistingFilenames();
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{name}));
  EXPECT_EQ(TFilenamesStringlist::FilenameInLine(name), name);  // a last field runs to the end
  EXPECT_FALSE(TFilenamesStringlist::IsAnExistingFilename(u""));
  EXPECT_FALSE(TFilenamesStringlist::IsAnExistingFilename(Utf8ToUtf16(dir.string())));  // a folder
  std::filesystem::remove_all(dir);
}

TEST(CopyStringsReplacing, FromEitherSide) {
  TInsertedTextPositionList left;
  left.AddOne({0, 1, 3, 3});
  EXPECT_EQ(CopyStringsReplacing(u"a cat sat", u"cat", u"dog", left, at_left), u"a dog");
  TInsertedTextPositionList right;
  right.AddOne({0, 1, 6, 3});
  EXPECT_EQ(CopyStringsReplacing(u"a cat sat", u"cat", u"dog", right, at_right), u"a dog");
  // two hits, a longer replacement
  TInsertedTextPositionList two;
  two.AddOne({0, 1, 1, 1});
  two.AddOne({0, 2, 5, 1});
  EXPECT_EQ(CopyStringsReplacing(u"a b a c", u"a", u"the", two, at_left), u"the b the");
  TInsertedTextPositionList none;
  EXPECT_EQ(CopyStringsReplacing(u"a cat", u"cat", u"dog", none, at_left), u"");
  // positions beyond the text or out of order never read outside it
  TInsertedTextPositionList bad;
  bad.AddOne({0, 1, 50, 1});
  bad.AddOne({0, 2, 2, 1});
  EXPECT_EQ(CopyStringsReplacing(u"abc", u"b", u"X", bad, at_left), u"abcXX");
  EXPECT_EQ(bad.GetAHitStart(5), 0);
  EXPECT_EQ(bad.GetOne(-1).hit_number, 0);
}

TEST(RandomSample, StaysInThePreferredQuarterAndStops) {
  SetStringListRandomSeed(42);
  TStringList a;
  for (int i = 0; i < 100; ++i) a.Add(IntToStr(1000 + i));
  TStringList b;
  CopyRandomSampleFromStringlistAtoB(a, b, 10, ts_top_quarter);
  ASSERT_EQ(b.Count(), 10);
  for (const auto& s : Lines(b)) EXPECT_LE(StrToInt(s) - 1000, 25) << Utf16ToUtf8(s);
  CopyRandomSampleFromStringlistAtoB(a, b, 10, ts_bottom_quarter);
  ASSERT_EQ(b.Count(), 10);
  for (const auto& s : Lines(b)) EXPECT_GE(StrToInt(s) - 1000, 75);
  CopyRandomSampleFromStringlistAtoB(a, b, 10, ts_middle_quarter);
  for (const auto& s : Lines(b)) {
    EXPECT_GE(StrToInt(s) - 1000, 38);
    EXPECT_LE(StrToInt(s) - 1000, 62);
  }
  // only 26 lines qualify for the top quarter: asking for 40 stops after the misses
  CopyRandomSampleFromStringlistAtoB(a, b, 40, ts_top_quarter);
  EXPECT_EQ(b.Count(), 26);
  const auto sampled = Lines(b);
  EXPECT_TRUE(std::is_sorted(sampled.begin(), sampled.end()));
  TStringList ten;
  for (int i = 0; i < 10; ++i) ten.Add(IntToStr(i));
  CopyRandomSampleFromStringlistAtoB(ten, b, 10, ts_anywhere);
  EXPECT_EQ(b.Count(), 0);
  // lines equal but for case count once
  TStringList cased;
  for (int i = 0; i < 50; ++i) cased.Add(i % 2 ? u"word" : u"WORD");
  CopyRandomSampleFromStringlistAtoB(cased, b, 5, ts_anywhere);
  EXPECT_EQ(b.Count(), 1);
  EXPECT_EQ(RandomReduceStringlist(a, 7), 7);
  EXPECT_EQ(RandomReduceStringlist(a, 70), 7);
}

TEST(TabFields, TableOfCases) {
  EXPECT_EQ(AfterTabPart(u"a\tb\tc", 2), u"c");
  EXPECT_EQ(AfterTabPart(u"a\tb\tc", 3), u"");
  EXPECT_EQ(AfterTabPart(u"a\tb\tc"), u"b");
  EXPECT_EQ(PreTabPart(u"abc"), u"");
  EXPECT_EQ(PreTabPart(u"abc\td"), u"abc");
  EXPECT_EQ(AfterXCharOf(u'=', u"k=v=w"), u"v=w");
  EXPECT_EQ(AfterXCharOf(u'=', u"kv"), u"");
  EXPECT_EQ(PreTabFilenameOf(u"C:\\dir\\x.txt\t5"), u"x.txt");
  EXPECT_EQ(PreTabFilenameOf(u"/d/y.txt\t5"), u"y.txt");
  EXPECT_EQ(DigitsOnlyOf(u"-12"), u"-12");
  EXPECT_EQ(DigitsOnlyOf(u"1,234 hits"), u"1234");
  EXPECT_EQ(AfterTabIntegerOf(u"w\t1,234", 1), 1234);
  EXPECT_EQ(AfterTabIntegerOf(u"w\tnone", 1), -1);
  EXPECT_FLOAT_EQ(AfterTabFloatOf(u"w\t2.5", 1), 2.5f);
  EXPECT_FLOAT_EQ(AfterTabFloatOf(u"w\tx", 1), -1.0f);
  EXPECT_FLOAT_EQ(AfterTabFloatOf(u"w\t1e300", 1), -1.0f);
  EXPECT_DOUBLE_EQ(AfterTabDateOf(u"w\t2020/03/04", 1), EncodeDate(2020, 3, 4));
  EXPECT_NEAR(AfterTabDateOf(u"w\t2020/03/04 12:00:00", 1), EncodeDate(2020, 3, 4) + 0.5, 1e-9);
  const TDateTime before = Now();
  EXPECT_GE(AfterTabDateOf(u"w\tnot a date", 1), before);  // falls back to now
  EXPECT_EQ(AddWithTab(u"", u"b"), u"b");
  EXPECT_EQ(AddWithTab(u"a", u"b"), u"a\tb");
  TStringList l;
  l.Add(u"f1.txt\t3");
  l.Add(u"f2.txt\t4");
  EXPECT_EQ(IndexOfPreTabFnameOnly(l, u"f2.txt"), 1);
  EXPECT_EQ(IndexOfPreTabFnameOnly(l, u"F2.txt"), -1);
}

TEST(TabFieldSorts, EachKindBothWays) {
  TStringList l;
  l.Add(u"/a/Zed.txt\tb\t10\t1.5\t2020/01/03");
  l.Add(u"/b/alpha.txt\tc\t9\t-2\t2019/12/31");
  l.Add(u"/c/mid.txt\ta\t100\t0.25\t2020/01/01");
  auto firsts = [&] {
    std::vector<UnicodeString> v;
    for (int32_t i = 0; i < l.Count(); ++i) v.push_back(AfterTabPart(l.Get(i), 1));
    return v;
  };
  SetSortDescendingAndSort(false, l, StringListCompareStringsStrAfter1Tab);
  EXPECT_EQ(firsts(), (std::vector<UnicodeString>{u"a", u"b", u"c"}));
  SetSortDescendingAndSort(true, l, StringListCompareStringsStrAfter1Tab);
  EXPECT_EQ(firsts(), (std::vector<UnicodeString>{u"c", u"b", u"a"}));
  SetSortDescendingAndSort(false, l, StringListCompareStringsIntegerAfter2Tabs);  // 9, 10, 100 numerically
  EXPECT_EQ(firsts(), (std::vector<UnicodeString>{u"c", u"b", u"a"}));
  SetSortDescendingAndSort(true, l, StringListCompareStringsFloatAfter3Tabs);
  EXPECT_EQ(firsts(), (std::vector<UnicodeString>{u"b", u"a", u"c"}));
  SetSortDescendingAndSort(false, l, StringListCompareStringsDateAfter4Tabs);
  EXPECT_EQ(firsts(), (std::vector<UnicodeString>{u"c", u"a", u"b"}));
  SetSortDescendingAndSort(false, l, StringListCompareStringsFilenamePreTab);  // ALPHA, MID, ZED
  EXPECT_EQ(firsts(), (std::vector<UnicodeString>{u"c", u"a", u"b"}));
  global_descending_sort = false;
}

TEST(DelimitedStrings, ToAndFromLists) {
  TStringList l;
  for (auto s : {u"a", u"", u"b", u"c"}) l.Add(s);
  EXPECT_EQ(StringListToString(u',', l, 0, 3), u"a,b etc.");
  EXPECT_EQ(StringListToString(u',', l), u"a,b,c");
  EXPECT_EQ(StringListToString(u',', l, 2, 1000), u"b,c");
  EXPECT_EQ(StringListToString(u',', l, 0, 5), u"a,b,c");  // the last line reached: no "etc."

  TStringList out;
  EXPECT_EQ(StringToStringList(u',', u"a,\"b\",c", out), 3);
  EXPECT_EQ(Lines(out), (std::vector<UnicodeString>{u"a", u"b", u"c"}));
  EXPECT_EQ(StringToStringList(u',', u"a,\"b,c", out), -3);  // open quote; its comma still splits
  EXPECT_EQ(Lines(out), (std::vector<UnicodeString>{u"a", u"b", u"c"}));
  EXPECT_EQ(StringToStringList(u',', u"", out), 0);
  EXPECT_EQ(out.Count(), 0);

  EXPECT_EQ(Lines(*StringListFromString(u',', u"a,b,")), (std::vector<UnicodeString>{u"a", u"b", u""}));
  EXPECT_EQ(Lines(*StringListFromString(u"a\r\nb")), (std::vector<UnicodeString>{u"a", u"b"}));
  EXPECT_EQ(Lines(*StringListFromString(u'\t', u" a \t\tb\n")), (std::vector<UnicodeString>{u"a", u"", u"b"}));
  EXPECT_EQ(Lines(*StringListFromString(u',', u" a , b")), (std::vector<UnicodeString>{u" a ", u" b"}));
  EXPECT_EQ(StringArrayFromString(u',', u""), (std::vector<UnicodeString>{u""}));
}

}  // namespace
}  // namespace kx8
