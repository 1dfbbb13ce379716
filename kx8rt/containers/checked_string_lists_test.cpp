#include "kx8rt/containers/checked_string_lists.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

std::vector<UnicodeString> Lines(const TStringList& l) {
  std::vector<UnicodeString> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Get(i));
  return v;
}

// A checked list that owns TObjects and counts what FreeAndNilOne releases.
class TCountingList : public TIndexCheckStringlist {
 public:
  int freed = 0;
  void FreeAndNilOne(int32_t i) override {
    delete Objects(i);
    PutObject(i, nullptr);
    ++freed;
  }
};

int ByText(TStringList& l, int32_t a, int32_t b) { return l.Get(a).compare(l.Get(b)); }

TEST(IndexCheckStringlist, SortedFlagReduceAndReverse) {
  TCountingList l;
  l.AddObject(u"c", new TObject);
  l.Add(u"a");
  l.AddObject(u"b", new TObject);
  EXPECT_TRUE(l.IndexAssignedOK(2));
  EXPECT_FALSE(l.IndexAssignedOK(3));
  EXPECT_FALSE(l.IndexAssignedOK(-1));
  l.SetSorted(true);
  l.CustomSort(ByText);  // switches the runtime's own sorted mode off
  EXPECT_FALSE(l.Sorted());
  EXPECT_TRUE(l.IsSorted);
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"a", u"b", u"c"}));
  l.ReverseTheSort();
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"c", u"b", u"a"}));
  EXPECT_NE(l.Objects(0), nullptr);  // objects travel with their lines
  EXPECT_TRUE(l.IsSorted);
  l.ReduceTo(1);  // lines stay, objects of lines 1.. go
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l.freed, 1);
  EXPECT_NE(l.Objects(0), nullptr);
  l.Clear();
  EXPECT_EQ(l.freed, 2);
  EXPECT_FALSE(l.IsSorted);
  EXPECT_EQ(l.Count(), 0);
  l.ReverseTheSort();  // nothing to do
}

class TNoCommentsList : public TBaseAcceptableCheckStringlist {
 public:
  bool AcceptableString(UnicodeString& s) override {
    if (!s.empty() && s[0] == u'#') return false;
    s = Trim(s);
    return true;
  }
};

TEST(AcceptableCheckStringlist, SplitsAndFilters) {
  TBaseAcceptableCheckStringlist l;
  l.SetTextStr(u"a\r\n\rb");
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"a", u"", u"b"}));
  l.SetTextStr(UnicodeString(u"x\ny\0z", 5));  // the text ends at its NUL
  EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"x", u"y"}));
  TNoCommentsList f;
  f.SetTextStr(u"# no\r\n  keep  \r\n#x");
  EXPECT_EQ(Lines(f), (std::vector<UnicodeString>{u"keep"}));
  f.SetLineBreak(u"||");
  f.SetTextStr(u"a||b\r\nc");
  EXPECT_EQ(Lines(f), (std::vector<UnicodeString>{u"a", u"b\r\nc"}));
}

TEST(MySaveStringList, BinaryFormRoundTrip) {
  TMySaveStringList l(true);
  l.AddInteger(u"a", 7);
  l.AddInteger(u"bc", 0);
  TMemoryStream m;
  l.SaveToStream(m);
  ASSERT_EQ(m.Size(), 26);
  const uint8_t expected[26] = {2, 0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 0, 0, 0, 0, 2, 0, 0, 0, 'b', 0, 'c', 0};
  EXPECT_EQ(std::memcmp(m.Memory(), expected, 26), 0);
  TMySaveStringList back(true);
  back.Add(u"kept");
  m.SetPosition(0);
  back.LoadFromStream(m);  // appends
  EXPECT_EQ(Lines(back), (std::vector<UnicodeString>{u"kept", u"a", u"bc"}));
  EXPECT_EQ(back.Integers(1), 7);
  TMySaveStringList plain;
  plain.Add(u"x");
  TMemoryStream p;
  plain.SaveToStream(p);
  EXPECT_EQ(p.Size(), 4 + 4 + 2);
}

TEST(MySaveStringList, DamagedStreams) {
  auto stream = [](std::initializer_list<int32_t> words) {
    auto m = std::make_unique<TMemoryStream>();
    for (int32_t w : words) m->WriteBuffer(&w, 4);
    m->SetPosition(0);
    return m;
  };
  // one good line, then a negative length: the read error, the good line kept
  {
    auto m = stream({3, 1, 'a', -1});
    TMySaveStringList l;
    EXPECT_THROW(l.LoadFromStream(*m), EReadError);
    EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{UnicodeString(u"a\0", 1)}));
  }
  // 'a' stored as one unit in a 4-byte word reads as "a" followed by a NUL unit of the next length;
  // use exact bytes instead for the over-long case
  {
    TMemoryStream m;
    int32_t n = 2, len = 1;
    m.WriteBuffer(&n, 4);
    m.WriteBuffer(&len, 4);
    m.WriteBuffer(u"q", 2);
    len = global_string_safety_limit + 1;
    m.WriteBuffer(&len, 4);
    m.SetPosition(0);
    TMySaveStringList l;
    try {
      l.LoadFromStream(m);
      FAIL() << "an over-long length must raise";
    } catch (const EReadError& e) {
      EXPECT_NE(Utf16ToUtf8(e.Message()).find("file read error"), std::string::npos);
    }
    EXPECT_EQ(Lines(l), (std::vector<UnicodeString>{u"q"}));
  }
  // a huge count over a short stream: the read error at the end, no up-front allocation
  {
    auto m = stream({0x7fffffff, 1});
    TMySaveStringList l;
    EXPECT_THROW(l.LoadFromStream(*m), EReadError);
    EXPECT_EQ(l.Count(), 0);
  }
  // truncated inside a line's text, and inside the object value
  {
    TMemoryStream m;
    int32_t n = 1, len = 5;
    m.WriteBuffer(&n, 4);
    m.WriteBuffer(&len, 4);
    m.WriteBuffer(u"ab", 4);
    m.SetPosition(0);
    TMySaveStringList l;
    EXPECT_THROW(l.LoadFromStream(m), EReadError);
    auto v = stream({1});
    TMySaveStringList o(true);
    EXPECT_THROW(o.LoadFromStream(*v), EReadError);
  }
  // an empty stream and a negative count load nothing
  {
    TMemoryStream empty;
    TMySaveStringList l;
    l.LoadFromStream(empty);
    auto neg = stream({-5});
    l.LoadFromStream(*neg);
    EXPECT_EQ(l.Count(), 0);
  }
}

TEST(KeyPlusValue, Cases) {
  EXPECT_EQ(KeyOfKeyPlusValue(u" house = 5"), u"house");
  EXPECT_EQ(KeyOfKeyPlusValue(u"house"), u"");
  EXPECT_EQ(ValueOfKeyPlusValue(u"house= 5 "), 5);
  EXPECT_EQ(ValueOfKeyPlusValue(u"house=five"), 0);
  EXPECT_EQ(ValueOfKeyPlusValue(u"house"), 0);
  EXPECT_EQ(DefaultSimpleSearchSettings().default_contextword_span, 60);
  EXPECT_EQ(DefaultSimpleSearchSettings().markup_search_span, 200);
}

TEST(SimpleSearchlist, LoadFromAString) {
  TSimpleSearchlist l;
  l.LoadFromAString(u"house=5", false);
  l.LoadFromAString(u"house", false);
  l.LoadFromAString(u"bank\triver\t\t10", false);
  l.LoadFromAString(u"==Paris==\t*side\t~x\t2.5\t3.5\t7\textra", false);
  l.LoadFromAString(u"stra\u00dfe", false);
  l.LoadFromAString(u"", false);
  l.LoadFromAString(u"=4", false);  // no main word
  l.LoadFromAString(u"w\t\t\tten\t1e99", false);  // malformed numbers leave 0
  ASSERT_EQ(l.Count(), 6);
  EXPECT_EQ(l.GetASearchRec(0).mainwd.wd, u"HOUSE");
  EXPECT_EQ(l.GetASearchRec(0).n_wanted, 5);
  EXPECT_EQ(l.GetASearchRec(1).n_wanted, 1);
  const auto bank = l.GetASearchRec(2);
  EXPECT_EQ(bank.mainwd.wd, u"BANK");
  EXPECT_EQ(bank.context_words[0].wd, u"RIVER");
  EXPECT_EQ(bank.context_words[1].wd, u"");
  EXPECT_EQ(bank.context_seek_span, 10);
  const auto paris = l.GetASearchRec(3);
  EXPECT_EQ(paris.mainwd.wd, u"Paris");
  EXPECT_TRUE(paris.mainwd.flags.Contains(myCaseIsSensitive));
  EXPECT_EQ(paris.context_words[0].wd, u"SIDE");
  EXPECT_FALSE(paris.context_words[0].flags.Contains(myLeftBounded));
  EXPECT_TRUE(paris.context_words[1].flags.Contains(mySW_To_Avoid));
  EXPECT_EQ(paris.context_seek_span, 2);    // halves to even
  EXPECT_EQ(paris.otherSWs_required, 4);
  EXPECT_EQ(paris.n_wanted, 7);
  EXPECT_EQ(l.GetASearchRec(4).mainwd.wd, u"STRASSE");  // full upper-case mapping
  EXPECT_EQ(l.GetASearchRec(5).context_seek_span, 0);
  EXPECT_EQ(l.GetATypedInSW(3), u"==Paris==");
  EXPECT_EQ(l.GetATypedInSW(9), u"");
  EXPECT_EQ(l.GetASearchRec(-1).mainwd.wd, u"");
  EXPECT_EQ(l.IndexOfSimpleSearchRecSeek(u"BANK"), 2);
  EXPECT_EQ(l.IndexOfSimpleSearchRecSeek(u"bank"), -1);
  EXPECT_EQ(l.AsText(u"|"), u"HOUSE|HOUSE|BANK|Paris|STRASSE|W");
  // keyed: a key without "=" is still the word
  TSimpleSearchlist k;
  k.LoadFromAString(u"walk", true);
  k.LoadFromAString(u"run=3", true);
  ASSERT_EQ(k.Count(), 2);
  EXPECT_EQ(k.GetASearchRec(0).mainwd.wd, u"WALK");
  EXPECT_EQ(k.GetASearchRec(1).n_wanted, 3);
  TSimpleSearchlist cased;
  cased.LoadFromAString(u"==Rome===4", false);
  ASSERT_EQ(cased.Count(), 1);
  EXPECT_EQ(cased.GetASearchRec(0).mainwd.wd, u"Rome");
  EXPECT_EQ(cased.GetASearchRec(0).n_wanted, 4);
  TSimpleSearchlist both;
  both.AddAll(l);
  both.AddAll(both);
  EXPECT_EQ(both.Count(), 12);
}

TEST(SimpleSearchlist, LinesArrowsCommasAndFiles) {
  TStringList lines;
  lines.Add(u"  ; comment");
  lines.Add(u"// note");
  lines.Add(u"   ");
  lines.Add(u"GO -> GOES,WENT");
  lines.Add(u" a , b ");
  TSimpleSearchlist l;
  l.LoadFromAStringlist(lines, false);
  EXPECT_EQ(l.AsText(u","), u"GO,GOES,WENT,A,B");

  const auto dir = std::filesystem::temp_directory_path() / ("kx8_simple_search_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const UnicodeString file = Utf8ToUtf16((dir / "req.txt").string());
  TStringList f;
  f.Add(u"house=2");
  f.Add(u"cat\tdog");
  f.SaveToFile(file);
  EXPECT_TRUE(l.LoadFromFile(file, false));  // starts afresh
  EXPECT_EQ(l.AsText(u","), u"HOUSE,CAT");
  EXPECT_FALSE(l.LoadFromFile(Utf8ToUtf16((dir / "missing.txt").string()), false));
  EXPECT_EQ(l.Count(), 0);
  EXPECT_FALSE(l.LoadFromFile(Utf8ToUtf16(dir.string()), false));  // a folder is no list file
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kx8
