#include "kx8rt/platform/string_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

std::vector<UnicodeString> Lines(const TStringList& list) {
  std::vector<UnicodeString> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
  return out;
}

using L = std::vector<UnicodeString>;

// Counts live instances, so that each test can see objects freed exactly once (ASan catches twice).
class TCounted : public TObject {
 public:
  explicit TCounted(int v) : value(v) { ++live; }
  ~TCounted() override { --live; }
  int value;
  static inline int live = 0;
};

TEST(TStringList, SortedAddAndFindFollowTheDuplicatesPolicy) {
  struct Case { TDuplicates dup; L want; bool raises; };
  const Case cases[] = {
      {dupIgnore, {u"apple", u"banana", u"cherry"}, false},
      {dupAccept, {u"apple", u"banana", u"BANANA", u"cherry"}, false},
      {dupError, {u"apple", u"banana", u"cherry"}, true},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.dup);
    list.Add(u"cherry");
    list.Add(u"banana");
    list.Add(u"apple");
    bool raised = false;
    try {
      list.Add(u"BANANA");  // equal to "banana" without regard to case
    } catch (const EListError& e) {
      raised = true;
      EXPECT_STREQ(e.what(), "String list does not allow duplicates");
    }
    EXPECT_EQ(raised, c.raises) << c.dup;
    EXPECT_EQ(Lines(list), c.want) << c.dup;
    int32_t index = -1;
    EXPECT_TRUE(list.Find(u"Banana", index));
    EXPECT_EQ(index, 1) << "Find gives the first equal line";
    EXPECT_FALSE(list.Find(u"blueberry", index));
    EXPECT_EQ(index, list.Count() - 1);  // before "cherry"
    EXPECT_FALSE(list.Find(u"zucchini", index));
    EXPECT_EQ(index, list.Count());
    EXPECT_EQ(list.IndexOf(u"CHERRY"), list.Count() - 1);
    EXPECT_EQ(list.IndexOf(u"date"), -1);
  }
}

TEST(TStringList, CaseSensitivityDecidesEqualityAndReSortsASortedList) {
  TStringList list;
  EXPECT_FALSE(list.CaseSensitive());
  list.Add(u"Word");
  list.Add(u"word");
  EXPECT_EQ(list.IndexOf(u"WORD"), 0);  // linear and case-blind by default
  EXPECT_EQ(list.CompareStrings(u"abc", u"ABC"), 0);
  EXPECT_LT(list.CompareStrings(u"a", u"B"), 0);
  EXPECT_GT(list.CompareStrings(u"c", u"B"), 0);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(u"WORD"), -1);
  EXPECT_EQ(list.IndexOf(u"word"), 1);
  EXPECT_NE(list.CompareStrings(u"abc", u"ABC"), 0);

  TStringList sorted;
  sorted.SetSorted(true);
  sorted.SetDuplicates(dupAccept);
  for (const char16_t* s : {u"b", u"B", u"a", u"A"}) sorted.Add(s);
  sorted.SetCaseSensitive(true);  // now "a" and "A" differ: a sorted list must still Find both
  int32_t i = -1;
  for (const char16_t* s : {u"a", u"A", u"b", u"B"}) {
    EXPECT_TRUE(sorted.Find(s, i)) << Utf16ToUtf8(s);
    EXPECT_EQ(sorted.Get(i), s);
  }
  for (int32_t k = 1; k < sorted.Count(); ++k) EXPECT_LT(sorted.CompareStrings(sorted.Get(k - 1), sorted.Get(k)), 0);
}

TEST(TStringList, CollationIsLocaleAware) {
  TStringList list;
  // Ordinally U+00E9 comes after 'f'; under the collation it sorts with 'e'.
  EXPECT_LT(list.CompareStrings(u"\u00E9t\u00E9", u"fa"), 0);
  EXPECT_EQ(list.CompareStrings(u"\u00C9T\u00C9", u"\u00E9t\u00E9"), 0);
  EXPECT_EQ(list.CompareStrings(std::u16string_view(), u""), 0);
  EXPECT_LT(list.CompareStrings(std::u16string_view(), u"a"), 0);
  // Dotless i is a letter of its own; only Turkish takes capital I for its upper case.
  EXPECT_NE(list.CompareStrings(u"\u0131", u"I"), 0);
  list.SetLocale(0x041F);
  EXPECT_EQ(list.CompareStrings(u"\u0131", u"I"), 0);
  EXPECT_NE(list.CompareStrings(u"\u0131", u"i"), 0);
  list.SetLocale(LOCALE_DEFAULT_LCID);
  list.SetUseLocale(false);
  EXPECT_GT(list.CompareStrings(u"\u00E9t\u00E9", u"fa"), 0);
}

TEST(TStringList, SortAndCustomSortOrderManyLines) {
  std::mt19937 rng(3);
  TStringList list;
  for (int i = 0; i < 3000; ++i) {
    UnicodeString w;
    for (unsigned n = 1 + rng() % 6; n > 0; --n) w += static_cast<char16_t>((rng() % 2 ? u'a' : u'A') + rng() % 4);
    list.AddInteger(w, i);
  }
  list.Sort();
  for (int32_t k = 1; k < list.Count(); ++k) ASSERT_LE(list.CompareStrings(list.Get(k - 1), list.Get(k)), 0) << k;
  // Every line kept its own slot through the exchanges.
  std::vector<int64_t> slots;
  for (int32_t k = 0; k < list.Count(); ++k) slots.push_back(list.Integers(k));
  std::sort(slots.begin(), slots.end());
  for (int k = 0; k < 3000; ++k) ASSERT_EQ(slots[static_cast<size_t>(k)], k);

  list.CustomSort([](TStringList& l, int32_t a, int32_t b) {
    const auto x = l.Integers(a), y = l.Integers(b);
    return x > y ? -1 : x < y ? 1 : 0;  // descending by slot
  });
  for (int32_t k = 0; k < list.Count(); ++k) ASSERT_EQ(list.Integers(k), 2999 - k);

  list.SetSorted(true);
  EXPECT_THROW(list.CustomSort([](TStringList&, int32_t, int32_t) { return 0; }), EListError);
  list.SetSorted(false);
  EXPECT_THROW(list.CustomSort(nullptr), EListError);
}

TEST(TStringList, SetTextStrSplitsLines) {
  struct Case { const char16_t* lineBreak; std::u16string text; L want; };
  const Case cases[] = {
      {u"\r\n", u"a\r\n\rb", {u"a", u"", u"b"}},
      {u"\r\n", u"a\nb\n", {u"a", u"b"}},
      {u"\r\n", u"a\r\r\nb", {u"a", u"", u"b"}},
      {u"\r\n", u"\r\n", {u""}},
      {u"\r\n", u"", {}},
      {u"\r\n", std::u16string(u"a\nb\0c\nd", 7), {u"a", u"b"}},  // the text ends at its first NUL
      {u"|", u"a|b||", {u"a", u"b", u""}},
      {u"|", u"a\r\nb", {u"a\r\nb"}},
      {u"<>", u"x<>y<", {u"x", u"y<"}},
      {u"", u"whole\ntext", {u"whole\ntext"}},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.Add(u"old");
    list.SetLineBreak(c.lineBreak);
    list.SetText(c.text);
    EXPECT_EQ(Lines(list), c.want) << Utf16ToUtf8(c.text);
  }
  TStringList list;
  list.SetText(u"a\nb");
  EXPECT_EQ(list.Text(), u"a\r\nb\r\n");
  list.SetLineBreak(u"\n");
  EXPECT_EQ(list.Text(), u"a\nb\n");
}

TEST(TStringList, OwningListFreesEachObjectExactlyOnce) {
  ASSERT_EQ(TCounted::live, 0);
  {
    TStringList list(true);
    list.AddObject(u"a", new TCounted(1));
    list.AddObject(u"b", new TCounted(2));
    list.AddObject(u"c", new TCounted(3));
    list.AddObject(u"d", new TCounted(4));
    EXPECT_EQ(TCounted::live, 4);
    list.Exchange(0, 3);
    list.Move(0, 2);
    list.Delete(1);  // frees one
    EXPECT_EQ(TCounted::live, 3);
    TObject* kept = list.Objects(0);
    list.PutObject(0, kept);  // putting back the same object frees nothing
    EXPECT_EQ(TCounted::live, 3);
    list.PutObject(0, new TCounted(5));  // the replaced object is freed
    EXPECT_EQ(TCounted::live, 3);
    list.PutInteger(1, 77);  // so is one replaced by an integer
    EXPECT_EQ(TCounted::live, 2);
    EXPECT_THROW(list.PutObject(9, new TCounted(6)), EListError);  // taken over and freed
    EXPECT_THROW(list.InsertObject(-1, u"x", new TCounted(7)), EListError);
    EXPECT_EQ(TCounted::live, 2);
    list.Clear();
    EXPECT_EQ(TCounted::live, 0);

    list.SetSorted(true);
    list.AddObject(u"k", new TCounted(8));
    list.AddObject(u"K", new TCounted(9));  // dupIgnore: not added, so freed
    EXPECT_EQ(TCounted::live, 1);
    EXPECT_EQ(static_cast<TCounted*>(list.Objects(0))->value, 8);
    list.SetDuplicates(dupError);
    EXPECT_THROW(list.AddObject(u"k", new TCounted(10)), EListError);
    EXPECT_THROW(list.InsertObject(0, u"j", new TCounted(11)), EListError);  // sorted lists refuse Insert
    EXPECT_EQ(TCounted::live, 1);
    list.AddObject(u"z", std::make_unique<TCounted>(12));
    TStringList other;
    other.AddObject(u"o", list.Objects(0));
    EXPECT_THROW(list.AddStrings(other), EListError);  // both would free it
  }
  EXPECT_EQ(TCounted::live, 0);  // the destructor freed the rest

  TCounted a(1);
  {
    TStringList borrowed;
    EXPECT_THROW(borrowed.AddObject(u"u", std::make_unique<TCounted>(2)), EListError);
    borrowed.AddObject(u"a", &a);
    borrowed.Delete(0);
    borrowed.AddObject(u"a", &a);
  }
  EXPECT_EQ(TCounted::live, 1);  // a list that does not own frees nothing
}

TEST(TStringList, SlotsHoldObjectsOrPlainIntegers) {
  TStringList list;
  TCounted obj(1);
  list.AddInteger(u"one", 1);
  list.AddObject(u"obj", &obj);
  list.Add(u"empty");
  EXPECT_TRUE(list.SlotHoldsInteger(0));
  EXPECT_EQ(list.Integers(0), 1);
  EXPECT_EQ(list.Objects(0), nullptr);
  EXPECT_EQ(list.Objects(1), &obj);
  EXPECT_THROW(list.Integers(1), EInvalidCast);
  EXPECT_EQ(list.Integers(2), 0);
  EXPECT_EQ(list.IndexOfObject(&obj), 1);
  EXPECT_EQ(list.IndexOfInteger(1), 0);
  EXPECT_EQ(list.IndexOfInteger(2), -1);
  list.InsertInteger(0, u"zero", 0);
  EXPECT_EQ(list.IndexOfInteger(0), 0);  // an integer 0 is not the empty slot of line 3
  EXPECT_EQ(list.IndexOfObject(nullptr), 3);
  TStringList copy;
  copy.Assign(list);
  EXPECT_EQ(Lines(copy), Lines(list));
  EXPECT_EQ(copy.Integers(1), 1);
  EXPECT_EQ(copy.Objects(2), &obj);
}

TEST(TStringList, IndexErrorsAndSortedModeRestrictions) {
  TStringList list;
  list.Add(u"a");
  try {
    list.Get(1);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (1)");
  }
  EXPECT_THROW(list.Delete(-1), EListError);
  EXPECT_THROW(list.Objects(3), EListError);
  EXPECT_THROW(list.Move(0, 1), EListError);
  list.Insert(1, u"b");
  list.Move(1, 0);
  EXPECT_EQ(Lines(list), (L{u"b", u"a"}));
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (L{u"a", u"b"}));
  for (auto call : {+[](TStringList& l) { l.Put(0, u"x"); }, +[](TStringList& l) { l.Insert(0, u"x"); },
                    +[](TStringList& l) { l.Exchange(0, 1); }, +[](TStringList& l) { l.Move(0, 1); }}) {
    try {
      call(list);
      ADD_FAILURE();
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), "Operation not allowed on sorted list");
    }
  }
}

TEST(TStringList, DelimitedAndCommaText) {
  TStringList list;
  list.SetCommaText(u"  a, b ,\"c d\",\"e\"\"f\",,g h,");
  EXPECT_EQ(Lines(list), (L{u"a", u"b", u"c d", u"e\"f", u"", u"g", u"h", u""}));
  EXPECT_EQ(list.CommaText(), u"a,b,\"c d\",\"e\"\"f\",,g,h,");

  list.SetDelimiter(u';');
  list.SetStrictDelimiter(true);
  list.SetDelimitedText(u" a b;'x;y';");
  list.SetQuoteChar(u'\'');
  EXPECT_EQ(Lines(list), (L{u" a b", u"'x", u"y'", u""}));
  list.SetDelimitedText(u" a b;'x;y';");
  EXPECT_EQ(Lines(list), (L{u" a b", u"x;y", u""}));
  EXPECT_EQ(list.DelimitedText(), u" a b;'x;y';");
  list.SetText(u"\n");
  EXPECT_EQ(list.DelimitedText(), u"''");  // one empty line stays visible
}

TEST(TStringList, NamesAndValues) {
  TStringList list;
  list.SetText(u"Key=1\nplain\nother=a=b\n");
  EXPECT_EQ(list.Names(0), u"Key");
  EXPECT_EQ(list.Names(1), u"");
  EXPECT_EQ(list.ValueFromIndex(2), u"a=b");
  EXPECT_EQ(list.Values(u"KEY"), u"1");
  EXPECT_EQ(list.Values(u"missing"), u"");
  list.SetValue(u"key", u"2");
  EXPECT_EQ(list.Get(0), u"key=2");
  list.SetValue(u"new", u"3");
  EXPECT_EQ(list.IndexOfName(u"new"), 3);
  list.SetValue(u"other", u"");
  EXPECT_EQ(Lines(list), (L{u"key=2", u"plain", u"new=3"}));
  list.SetValueFromIndex(1, u"v");
  EXPECT_EQ(list.Get(1), u"plain=v");
}

TEST(TStringList, UpdatesHoldBackChangeEvents) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject&) { ++changing; };
  list.OnChange = [&](TObject& sender) {
    EXPECT_EQ(&sender, &list);
    ++changed;
  };
  list.Add(u"a");
  EXPECT_EQ(changed, 1);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(u"b");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  list.EndUpdate();  // unmatched: ignored
  EXPECT_EQ(list.UpdateCount(), 0);
  list.SetText(u"x\ny\nz");  // one update for the whole text
  EXPECT_EQ(changed, 3);
}

// ---- loading and saving ----

class StringListFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/kx8_strlist_XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    fDir = templ;
  }
  void TearDown() override { std::system(("rm -rf '" + fDir + "'").c_str()); }
  UnicodeString File(const char* name) const { return Utf8ToUtf16(fDir + "/" + name); }
  static std::string Bytes(const UnicodeString& name) {
    TMemoryStream m;
    m.LoadFromFile(name);
    return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
  }
  static void WriteBytes(const UnicodeString& name, const std::string& bytes) {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  std::string fDir;
};

TEST_F(StringListFiles, SaveAndLoadRoundTripInEachEncoding) {
  struct Case { const char* what; TEncoding enc; std::string bytes; TEncodingKind loadedAs; };
  const Case cases[] = {
      {"UTF-16 LE", TEncoding::Unicode(), std::string("\xFF\xFEh\0\xE9\0\r\0\n\0", 10), ekUnicode},
      {"UTF-16 BE", TEncoding::BigEndianUnicode(), std::string("\xFE\xFF\0h\0\xE9\0\r\0\n", 10), ekBigEndianUnicode},
      {"UTF-8", TEncoding::UTF8(), "\xEF\xBB\xBFh\xC3\xA9\r\n", ekUTF8},
      {"8-bit", TEncoding::ANSI(), "h\xE9\r\n", ekAnsi},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.Add(u"h\u00E9");
    list.SaveToFile(File("t.txt"), c.enc);
    EXPECT_EQ(Bytes(File("t.txt")), c.bytes) << c.what;
    TStringList back;
    back.LoadFromFile(File("t.txt"));  // the byte-order mark decides
    EXPECT_EQ(Lines(back), (L{u"h\u00E9"})) << c.what;
    ASSERT_TRUE(back.Encoding().has_value());
    EXPECT_EQ(back.Encoding()->Kind(), c.loadedAs) << c.what;
    back.SaveToFile(File("again.txt"));  // saved again in the encoding it came in
    EXPECT_EQ(Bytes(File("again.txt")), c.bytes) << c.what;
  }
}

TEST_F(StringListFiles, TextWithoutSignatureIsEightBitUnlessToldOtherwise) {
  WriteBytes(File("u.txt"), "caf\xC3\xA9\nx");  // UTF-8 without a signature
  TStringList list;
  list.LoadFromFile(File("u.txt"));
  EXPECT_EQ(list.Get(0), u"caf\u00C3\u00A9");  // read as Windows-1252
  EXPECT_EQ(list.Encoding()->Kind(), ekAnsi);

  list.LoadFromFile(File("u.txt"), TEncoding::UTF8());
  EXPECT_EQ(Lines(list), (L{u"caf\u00E9", u"x"}));

  TStringList plain;
  plain.SetDefaultEncoding(std::nullopt);  // cleared: still the system code page
  plain.LoadFromFile(File("u.txt"));
  EXPECT_EQ(plain.Get(0), u"caf\u00C3\u00A9");
  plain.SetDefaultEncoding(TEncoding::UTF8(false));
  plain.LoadFromFile(File("u.txt"));
  EXPECT_EQ(plain.Get(0), u"caf\u00E9");

  // A signature the caller's encoding agrees with is skipped; UTF-8 without signature writes none.
  WriteBytes(File("s.txt"), "\xEF\xBB\xBF" "a");
  list.LoadFromFile(File("s.txt"), TEncoding::UTF8(false));
  EXPECT_EQ(Lines(list), (L{u"a"}));
  list.SaveToFile(File("n.txt"), TEncoding::UTF8(false));
  EXPECT_EQ(Bytes(File("n.txt")), "a\r\n");
  list.SetWriteBOM(false);
  list.SaveToFile(File("w.txt"), TEncoding::Unicode());
  EXPECT_EQ(Bytes(File("w.txt")), std::string("a\0\r\0\n\0", 6));
}

TEST_F(StringListFiles, LoadingOddInputAndMissingFiles) {
  WriteBytes(File("odd.txt"), std::string("\xFF\xFE" "a\0b", 5));  // half a code unit at the end
  TStringList list;
  list.LoadFromFile(File("odd.txt"));
  EXPECT_EQ(Lines(list), (L{u"a\uFFFD"}));
  WriteBytes(File("empty.txt"), "");
  list.LoadFromFile(File("empty.txt"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.LoadFromFile(File("missing.txt")), EFOpenError);

  // A stream that hands over a few bytes at a time is read to its end.
  class TTrickle : public TBytesStream {
   public:
    using TBytesStream::TBytesStream;
    int32_t Read(void* Buffer, int32_t Count) override { return TBytesStream::Read(Buffer, std::min(Count, 2)); }
  };
  TTrickle slow(TBytes{0xFF, 0xFE, 'a', 0, '\n', 0, 'b', 0});
  list.LoadFromStream(slow);
  EXPECT_EQ(Lines(list), (L{u"a", u"b"}));

  // Loading reads from the stream's position; saving appends at it.
  TMemoryStream m;
  m.WriteBuffer("skip", 4);
  TStringList two;
  two.SetText(u"x\ny");
  two.SaveToStream(m, TEncoding::UTF8());
  m.SetPosition(4);
  list.LoadFromStream(m);
  EXPECT_EQ(Lines(list), (L{u"x", u"y"}));
  EXPECT_EQ(list.Encoding()->Kind(), ekUTF8);
}

}  // namespace
}  // namespace kx8
