#include "kx8rt/containers/useful_classes_base.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/yield.h"

namespace kx8 {
namespace {

// A memory stream that accepts only the first `room` bytes written.
class TCappedStream : public TMemoryStream {
 public:
  explicit TCappedStream(int64_t room) : fRoom(room) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const int32_t n = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(Count, fRoom)));
    fRoom -= n;
    return n > 0 ? TMemoryStream::Write(Buffer, n) : 0;
  }

 private:
  int64_t fRoom;
};

std::vector<uint8_t> Bytes(const TMemoryStream& s) { return {s.Memory(), s.Memory() + s.Size()}; }

TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
  TMemoryStream s;
  if (!bytes.empty()) s.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  s.SetPosition(0);
  return s;
}

// ---- the string stream form ----

TEST(StringStreamTest, LayoutAndRoundTrip) {
  TMemoryStream s;
  EXPECT_TRUE(WriteAString(s, u"Ab\u00E9"));
  EXPECT_TRUE(WriteAString(s, u""));
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{3, 0, 0, 0, 'A', 0, 'b', 0, 0xE9, 0, 0, 0, 0, 0}));
  s.SetPosition(0);
  EXPECT_EQ(ReadAString(s), u"Ab\u00E9");
  EXPECT_EQ(ReadAString(s), u"");
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(StringStreamTest, SafetyLimitIsInclusiveAndLongerRaisesTheReadError) {
  const UnicodeString atLimit(static_cast<size_t>(global_string_safety_limit), u'x');
  TMemoryStream s;
  WriteAString(s, atLimit);
  WriteAString(s, atLimit + u"y");
  s.SetPosition(0);
  EXPECT_EQ(ReadAString(s), atLimit);
  try {
    ReadAString(s);
    FAIL() << "no read error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), u"file read error (5001) : ReadAString");
  }
  s.SetPosition(0);
  EXPECT_THROW(ReadAString(s, 4999), EReadError);
  s.SetPosition(0);
  EXPECT_EQ(ReadAString(s, 6000).size(), 5000u);  // an explicit limit replaces the global one
}

TEST(StringStreamTest, NegativeZeroAndShortLengths) {
  TMemoryStream neg = StreamOf({0xFF, 0xFF, 0xFF, 0xFF, 'a', 0});
  try {
    ReadAString(neg);
    FAIL() << "no read error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), u"file read error (-1) : ReadAString");
  }
  TMemoryStream zero = StreamOf({0, 0, 0, 0, 'a', 0});
  EXPECT_EQ(ReadAString(zero), u"");
  EXPECT_EQ(zero.Position(), 4);  // nothing read past the length
  TMemoryStream shortLength = StreamOf({2, 0});
  EXPECT_EQ(ReadAString(shortLength), u"");
  TMemoryStream shortUnits = StreamOf({3, 0, 0, 0, 'a', 0, 'b'});
  EXPECT_EQ(ReadAString(shortUnits), u"a");
}

// ---- base lists ----

TEST(BaseListTest, EmptyListsSaveTheirHeadersAndLoadBackEmpty) {
  TUsefulBaseList plain(ClassOf<TLongIntHolder>());
  TUsefulBaseListSorts sortable(ClassOf<TLongIntHolder>());
  TMultiLongintList rows(tml_3);
  TMemoryStream a, b, c;
  EXPECT_TRUE(plain.SaveToStream(a));
  EXPECT_TRUE(sortable.SaveToStream(b));
  rows.sorted = true;
  EXPECT_TRUE(rows.SaveToStream(c));
  EXPECT_EQ(Bytes(a), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(Bytes(c), (std::vector<uint8_t>{0, 0, 0, 0, 1}));
  a.SetPosition(0);
  c.SetPosition(0);
  TMultiLongintList back(tml_3);
  EXPECT_TRUE(plain.ReadFromStream(a));
  EXPECT_TRUE(back.ReadFromStream(c));
  EXPECT_EQ(plain.Count(), 0);
  EXPECT_EQ(back.Count(), 0);
  EXPECT_TRUE(back.sorted);
}

TEST(BaseListTest, HoldersRoundTripThroughListStreams) {
  TUsefulBaseListSorts list(ClassOf<TLongIntHolder>());
  for (int32_t v : {7, -3, INT32_MAX}) list.AddEntry(std::make_unique<TLongIntHolder>(v));
  TMemoryStream s;
  ASSERT_TRUE(list.SaveToStream(s));
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{3, 0, 0, 0, 0, 7, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
  s.SetPosition(0);
  TUsefulBaseListSorts back(ClassOf<TLongIntHolder>());
  back.AddEntry(std::make_unique<TLongIntHolder>(99));  // loading appends
  ASSERT_TRUE(back.ReadFromStream(s));
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(static_cast<TLongIntHolder*>(back.Entry(1))->data, 7);
  EXPECT_EQ(static_cast<TLongIntHolder*>(back.Entry(3))->data, INT32_MAX);
}

TEST(BaseListTest, ShortReadGivesFalseAndLaterEntriesZeroed) {
  // Count 3, sorted byte, one full value and two bytes of the next.
  TMemoryStream s = StreamOf({3, 0, 0, 0, 1, 5, 0, 0, 0, 9, 9});
  TUsefulBaseListSorts list(ClassOf<TLongIntHolder>());
  EXPECT_FALSE(list.ReadFromStream(s));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_TRUE(list.sorted);
  EXPECT_EQ(static_cast<TLongIntHolder*>(list.Entry(0))->data, 5);
  EXPECT_EQ(static_cast<TLongIntHolder*>(list.Entry(1))->data, 0);
  EXPECT_EQ(static_cast<TLongIntHolder*>(list.Entry(2))->data, 0);

  TMemoryStream shortCount = StreamOf({1, 0});
  EXPECT_FALSE(list.ReadFromStream(shortCount));
  TMemoryStream noSortedByte = StreamOf({1, 0, 0, 0});
  EXPECT_FALSE(list.ReadFromStream(noSortedByte));
  EXPECT_EQ(list.Count(), 3);
}

TEST(BaseListTest, ImplausibleCountsFailBeforeMakingEntries) {
  TUsefulBaseList list(ClassOf<TDateTimeHolder>());
  TMemoryStream negative = StreamOf({0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_FALSE(list.ReadFromStream(negative));
  const int32_t saved = global_list_count_safety_limit;
  global_list_count_safety_limit = 10;
  TMemoryStream eleven = StreamOf({11, 0, 0, 0});
  EXPECT_FALSE(list.ReadFromStream(eleven));
  TMemoryStream ten = StreamOf({10, 0, 0, 0});
  EXPECT_TRUE(list.ReadFromStream(ten));
  global_list_count_safety_limit = saved;
  EXPECT_EQ(list.Count(), 10);
}

TEST(BaseListTest, ShortWritesGiveFalse) {
  TUsefulBaseListSorts list(ClassOf<TLongIntHolder>());
  for (int32_t v : {1, 2, 3}) list.AddEntry(std::make_unique<TLongIntHolder>(v));
  for (int64_t room : {0, 3, 4, 5, 8, 12}) {
    TCappedStream s(room);
    EXPECT_FALSE(list.SaveToStream(s)) << room;
  }
  TCappedStream exact(17);
  EXPECT_TRUE(list.SaveToStream(exact));
  // The failing entry puts out what the stream takes; the entries after it are not written at all.
  TCappedStream cut(7);
  EXPECT_FALSE(list.SaveToStream(cut));
  EXPECT_EQ(Bytes(cut), (std::vector<uint8_t>{3, 0, 0, 0, 0, 1, 0}));
}

TEST(BaseListTest, UnstreamedHoldersSaveOnlyTheCountAndLoadZeroed) {
  TUsefulBaseList list(ClassOf<TDateTimeHolder>());
  list.AddEntry(std::make_unique<TDateTimeHolder>(45000.5));
  list.AddEntry(std::make_unique<TDateTimeHolder>(1.0));
  TMemoryStream s;
  EXPECT_TRUE(list.SaveToStream(s));
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{2, 0, 0, 0}));
  s.SetPosition(0);
  TUsefulBaseList back(ClassOf<TDateTimeHolder>());
  EXPECT_TRUE(back.ReadFromStream(s));
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(static_cast<TDateTimeHolder*>(back.Entry(0))->data, 0.0);
}

TEST(BaseListTest, EntryOfAnotherClassOrNilSlotRaisesInvalidCast) {
  TUsefulBaseList list(ClassOf<TLongIntHolder>());
  list.AddEntry(std::make_unique<TCardinalHolder>(1u));
  TMemoryStream s;
  EXPECT_THROW(list.SaveToStream(s), EInvalidCast);
  TUsefulBaseList withNil(ClassOf<TLongIntHolder>());
  withNil.Add(nullptr);
  EXPECT_THROW(withNil.SaveToStream(s), EInvalidCast);
  // A descendant class is an instance of its base.
  TUsefulBaseList twos(ClassOf<T2LongIntAndSingleHolder>());
  twos.AddEntry(std::make_unique<T2IntsAndSingleHolder>(T2LongintAndSingleRec{{1, 2}, 0.5f}));
  EXPECT_TRUE(twos.SaveToStream(s));
}

TEST(BaseListTest, SavingAndLoadingYield) {
  TYieldProcessProc saved = Global_YieldProcessProc;
  int calls = 0;
  Global_YieldProcessProc = [&] { ++calls; };
  TUsefulBaseList list(ClassOf<TLongIntHolder>());
  for (int32_t v : {1, 2, 3}) list.AddEntry(std::make_unique<TLongIntHolder>(v));
  TMemoryStream s;
  list.SaveToStream(s);
  s.SetPosition(0);
  list.ReadFromStream(s);
  Global_YieldProcessProc = saved;
  EXPECT_EQ(calls, 6);
}

TEST(BaseListTest, ReduceToAndPack) {
  TUsefulBaseList list(ClassOf<TLongIntHolder>());
  for (int32_t v = 0; v < 5; ++v) list.AddEntry(std::make_unique<TLongIntHolder>(v));
  list.ReduceTo(2);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(static_cast<TLongIntHolder*>(list.Entry(1))->data, 1);

  for (int32_t v = 2; v < 5; ++v) list.AddEntry(std::make_unique<TLongIntHolder>(v));
  list.FreeAndNilOne(0);
  EXPECT_EQ(list.Count(), 5);  // the slot stays
  EXPECT_FALSE(list.IndexAssignedOK(0));
  list.FreeAndNilOne(0);  // already nil: nothing
  list.FreeAndNilOne(9);  // out of range: nothing
  list.ReduceTo(2);       // frees 4, 3, 2 and packs out slot 0
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(static_cast<TLongIntHolder*>(list.Entry(0))->data, 1);
  list.ReduceTo(5);  // nothing above: count unchanged
  EXPECT_EQ(list.Count(), 1);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.Delete(0), EListError);
}

TEST(BaseListTest, BaseComparisonNeverFindsDuplicates) {
  TUsefulBaseListSorts list(ClassOf<TLongIntHolder>());
  for (int k = 0; k < 3; ++k) list.AddEntry(std::make_unique<TLongIntHolder>(1));
  list.RemoveDuplicates();
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.ComparedValues(0, 1), -1);
}

TEST(BaseListTest, FilesSaveAndLoad) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("kx8_baselist_" + std::to_string(::getpid()) + ".bin");
  TMultiLongintList list(tml_2);
  list.AddOne({1, 2});
  list.AddOne({3, 4});
  ASSERT_TRUE(list.SaveToFile(Utf8ToUtf16(path.string())));
  TMultiLongintList back(tml_2);
  ASSERT_TRUE(back.LoadFromFile(Utf8ToUtf16(path.string())));
  std::filesystem::remove(path);
  EXPECT_EQ(back.ToArrayOfInteger(tml_1), (std::vector<int32_t>{2, 4}));
  EXPECT_THROW(back.LoadFromFile(Utf8ToUtf16(path.string())), EFOpenError);
}

// ---- rows of integers ----

// Compares rows on their first value, so that runs of equal values are duplicates.
class TFirstValueList : public TMultiLongintList {
 public:
  using TMultiLongintList::TMultiLongintList;
  int32_t ComparedValues(int32_t i, int32_t j) override { return CompareLongints(GetAValue(i, tml_0), GetAValue(j, tml_0)); }
};

TEST(MultiLongintTest, AddReadWriteAndOutOfRange) {
  TMultiLongintList list(tml_2);
  EXPECT_EQ(list.AddOne({1, 2, 3}), 0);  // the third is dropped
  EXPECT_EQ(list.AddOne({4}), 1);        // the second is 0
  list.InsertOne(0, {});
  EXPECT_EQ(list.ToArrayOfInteger(tml_0), (std::vector<int32_t>{0, 1, 4}));
  EXPECT_EQ(list.ToArrayOfInteger(tml_1), (std::vector<int32_t>{0, 2, 0}));
  EXPECT_EQ(list.GetAValue(1, tml_2), kNoMultiLongintValue);
  EXPECT_EQ(list.GetAValue(3, tml_0), -999999);
  EXPECT_EQ(list.GetAValue(-1, tml_0), -999999);
  list.SetAValue(1, tml_2, 50);
  list.SetAValue(7, tml_0, 50);
  list.SetAValue(2, tml_1, 8);
  list.IncOne(2, tml_1);
  list.AddToOneFreq(2, 10, tml_1);
  list.AddToOneFreq(2, 10, tml_5);
  EXPECT_EQ(list.GetAValue(2, tml_1), 19);
  EXPECT_EQ(list.LongIndexOf(19, tml_1), 2);
  EXPECT_EQ(list.LongIndexOf(4, tml_1), -1);
  EXPECT_EQ(list.TotalOf(tml_0), 5);
  list.SetAValue(0, tml_0, INT32_MAX);
  EXPECT_EQ(list.TotalOf(tml_0), static_cast<int32_t>(uint32_t{INT32_MAX} + 5u));  // wraps
  list.FreeAndNilOne(1);
  EXPECT_EQ(list.GetAValue(1, tml_0), -999999);
  EXPECT_FALSE(list.WithinRange(1, tml_0));
  EXPECT_EQ(list.ToArrayOfInteger(tml_0)[1], -999999);
}

TEST(MultiLongintTest, StreamLayoutShortReadAndShortWrite) {
  TMultiLongintList list(tml_2);
  list.AddOne({1, -1});
  list.AddOne({2, 3});
  TMemoryStream s;
  ASSERT_TRUE(list.SaveToStream(s));
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{2, 0, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 3, 0, 0, 0}));
  // Cut inside the first row's second value: both rows exist; the first keeps what arrived and 0,
  // the second was never read, so its row is empty and reads give the "no value" answer.
  std::vector<uint8_t> cut = Bytes(s);
  cut.resize(11);
  TMemoryStream shortStream = StreamOf(cut);
  TMultiLongintList back(tml_2);
  global_temp_Longint = 6;
  EXPECT_FALSE(back.ReadFromStream(shortStream));
  EXPECT_EQ(global_temp_Longint, 2);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.ToArrayOfInteger(tml_0), (std::vector<int32_t>{1, -999999}));
  EXPECT_EQ(back.ToArrayOfInteger(tml_1), (std::vector<int32_t>{0, -999999}));
  EXPECT_EQ(back.GetAValue(0, tml_2), -999999);  // rows are exactly tamanho long
  TCappedStream tight(13);
  EXPECT_FALSE(list.SaveToStream(tight));
  EXPECT_EQ(tight.Size(), 13);
}

TEST(MultiLongintTest, SortsOnOneTwoAndThreeKeys) {
  TMultiLongintList list(tml_3);
  const std::vector<std::vector<int32_t>> rows = {{2, 1, 9}, {1, 5, 0}, {2, 0, 3}, {1, 5, -4}, {-7, 8, 8}, {2, 0, 1}};
  for (const auto& r : rows) list.AddOne(r);
  list.SingleSort(tml_0);
  EXPECT_TRUE(list.sorted);
  EXPECT_EQ(list.ToArrayOfInteger(tml_0), (std::vector<int32_t>{-7, 1, 1, 2, 2, 2}));
  list.DoubleSort(tml_0, tml_1);
  EXPECT_EQ(list.ToArrayOfInteger(tml_1), (std::vector<int32_t>{8, 5, 5, 0, 0, 1}));
  list.TripleSort(tml_0, tml_1, tml_2);
  EXPECT_EQ(list.ToArrayOfInteger(tml_2), (std::vector<int32_t>{8, -4, 0, 1, 3, 9}));
  list.TripleSort(tml_2, tml_0, tml_1);  // keys in any order
  EXPECT_EQ(list.ToArrayOfInteger(tml_2), (std::vector<int32_t>{-4, 0, 1, 3, 8, 9}));
  list.ReverseTheSort();
  EXPECT_TRUE(list.sorted);
  EXPECT_EQ(list.ToArrayOfInteger(tml_2), (std::vector<int32_t>{9, 8, 3, 1, 0, -4}));
  list.Clear();
  EXPECT_FALSE(list.sorted);
  EXPECT_EQ(list.Count(), 0);
}

TEST(MultiLongintTest, RemoveDuplicatesKeepsTheFirstOfEachRun) {
  TFirstValueList list(tml_2);
  int32_t tag = 0;
  for (int32_t v : {1, 1, 2, 2, 2, 3}) list.AddOne({v, tag++});
  list.RemoveDuplicates();
  EXPECT_EQ(list.ToArrayOfInteger(tml_0), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(list.ToArrayOfInteger(tml_1), (std::vector<int32_t>{0, 2, 5}));
  TFirstValueList single(tml_1);
  single.RemoveDuplicates();
  single.AddOne({4});
  single.RemoveDuplicates();
  EXPECT_EQ(single.Count(), 1);
}

// ---- holders ----

template <class H>
std::unique_ptr<H> RoundTrip(H& holder, size_t expectedBytes) {
  TMemoryStream s;
  EXPECT_TRUE(holder.SaveToStream(s));
  EXPECT_EQ(static_cast<size_t>(s.Size()), expectedBytes);
  s.SetPosition(0);
  auto back = std::make_unique<H>();
  EXPECT_TRUE(back->ReadFromStream(s));
  EXPECT_EQ(s.Position(), s.Size());
  return back;
}

TEST(HolderTest, FixedSizeHoldersRoundTrip) {
  TLongIntHolder l(-5);
  EXPECT_EQ(RoundTrip(l, 4)->data, -5);
  TCardinalHolder c(0xFFFFFFF0u);
  EXPECT_EQ(RoundTrip(c, 4)->data, 0xFFFFFFF0u);
  TSingleHolder f(1.25f);
  EXPECT_EQ(RoundTrip(f, 4)->data, 1.25f);
  TDoubleHolder d(0.1f);
  EXPECT_EQ(d.data, static_cast<double>(0.1f));  // widened from the float
  EXPECT_EQ(RoundTrip(d, 8)->data, static_cast<double>(0.1f));
  TInt64Holder i64(-(int64_t{1} << 40));
  EXPECT_EQ(RoundTrip(i64, 8)->data, -(int64_t{1} << 40));
  TIntegerAndSingleHolder is({7, 2.5f});
  auto isBack = RoundTrip(is, 8);
  EXPECT_EQ(isBack->data.int_, 7);
  EXPECT_EQ(isBack->data.s, 2.5f);
  T2IntsAndSingleHolder two({{1, -2}, 3.5f});
  auto twoBack = RoundTrip(two, 12);
  EXPECT_EQ(twoBack->data.t2.long1, -2);
  EXPECT_EQ(twoBack->data.s, 3.5f);
  T3LongIntAndSingleHolder three({{1, 2, 3}, -1.0f});
  auto threeBack = RoundTrip(three, 16);
  EXPECT_EQ(threeBack->data.t3.long2, 3);
  EXPECT_EQ(threeBack->data.s, -1.0f);
  TIntegerAnd3CardinalsHolder ic({-9, {1, 2, 0xFFFFFFFFu}});
  auto icBack = RoundTrip(ic, 16);
  EXPECT_EQ(icBack->data.freq, -9);
  EXPECT_EQ(icBack->data.value.card3, 0xFFFFFFFFu);
  TCardinalAndFreqHolder cf({3u, -4});
  auto cfBack = RoundTrip(cf, 8);
  EXPECT_EQ(cfBack->data.c, 3u);
  EXPECT_EQ(cfBack->data.f, -4);
  TMultiLongintHolder row(TMultiLongintRec{{5, 6, 7}});
  global_temp_Longint = 3;
  EXPECT_EQ(RoundTrip(row, 12)->data.dados, (std::vector<int32_t>{5, 6, 7}));
}

TEST(HolderTest, FixedSizeLayoutIsFieldByFieldLittleEndian) {
  TIntegerAnd3CardinalsHolder h({0x01020304, {5, 6, 7}});
  TMemoryStream s;
  h.SaveToStream(s);
  EXPECT_EQ(Bytes(s), (std::vector<uint8_t>{4, 3, 2, 1, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0}));
  TMemoryStream shortStream = StreamOf({1, 2, 3});
  TIntegerAnd3CardinalsHolder back;
  EXPECT_FALSE(back.ReadFromStream(shortStream));
  EXPECT_EQ(back.data.freq, 0);
}

TEST(HolderTest, StringHolders) {
  T2StringsAnd2IntegersHolder h({1, 2, u"one", u""});
  auto back = RoundTrip(h, 8 + 4 + 6 + 4);
  EXPECT_EQ(back->data.int2, 2);
  EXPECT_EQ(back->data.s1, u"one");
  EXPECT_EQ(back->data.s2, u"");
  TMemoryStream shortInts = StreamOf({1, 0, 0, 0, 2});
  T2StringsAnd2IntegersHolder bad;
  EXPECT_FALSE(bad.ReadFromStream(shortInts));
  TMemoryStream badLength = StreamOf({1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F});
  EXPECT_THROW(bad.ReadFromStream(badLength), EReadError);

  TStringTrueColumnAndColourHolder col({3, 0x00FF00, u"cell"});
  auto colBack = RoundTrip(col, 8 + 4 + 8);
  EXPECT_EQ(colBack->data.true_column_number, 3);
  EXPECT_EQ(colBack->data.background_colour, 0x00FF00);
  EXPECT_EQ(colBack->data.s, u"cell");
  TMemoryStream colBad = StreamOf({1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
  TStringTrueColumnAndColourHolder swallowed;
  EXPECT_FALSE(swallowed.ReadFromStream(colBad));  // the read error is swallowed
}

TEST(HolderTest, StringLengthErrorPassesThroughListLoadingKeepingEntries) {
  TUsefulBaseList list(ClassOf<T2StringsAnd2IntegersHolder>());
  list.AddEntry(std::make_unique<T2StringsAnd2IntegersHolder>(T2StringsAnd2IntegersRec{1, 2, u"a", u"b"}));
  list.AddEntry(std::make_unique<T2StringsAnd2IntegersHolder>(
      T2StringsAnd2IntegersRec{3, 4, UnicodeString(6000, u'z'), u""}));
  TMemoryStream s;
  ASSERT_TRUE(list.SaveToStream(s));
  s.SetPosition(0);
  TUsefulBaseList back(ClassOf<T2StringsAnd2IntegersHolder>());
  EXPECT_THROW(back.ReadFromStream(s), EReadError);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(static_cast<T2StringsAnd2IntegersHolder*>(back.Entry(0))->data.s2, u"b");
}

TEST(HolderTest, PlainHoldersCarryTheirValues) {
  TStringList slots(true);
  slots.AddObject(u"a", new TStringAndIntegerHolder({u"x", 4}));
  slots.AddObject(u"b", new TSmallIntHolder(-3));
  slots.AddObject(u"c", new TPublicIntegerHolder(9));
  EXPECT_EQ(static_cast<TStringAndIntegerHolder*>(slots.Objects(0))->data.i, 4);
  EXPECT_EQ(static_cast<TSmallIntHolder*>(slots.Objects(1))->int_, -3);
  EXPECT_EQ(static_cast<TPublicIntegerHolder*>(slots.Objects(2))->data, 9);
  TStringAndMeanAndSD_recHolder m({{1.5f, 0.5f}, u"e"});
  EXPECT_EQ(m.data.score.sd, 0.5f);
  TSearchContextRec rec;
  rec.mainwd = {u"cat", {myCaseIsSensitive}};
  rec.context_words[1].wd = u"dog";
  rec.context_seek_span = 5;
  TSearchContextHolder ctx(rec);
  EXPECT_TRUE(ctx.data.mainwd.flags.Contains(myCaseIsSensitive));
  EXPECT_EQ(ctx.data.context_words[1].wd, u"dog");
  EXPECT_EQ(ctx.data.n_wanted, 0);
}

// ---- comparisons and exchanges ----

TEST(ComparisonTest, Scalars) {
  EXPECT_EQ(CompareLongints(-1, 1), -1);
  EXPECT_EQ(CompareCardinals(0xFFFFFFFFu, 1u), 1);
  EXPECT_EQ(CompareInt64s(5, 5), 0);
  EXPECT_EQ(Compare16BitWords(0xFFFF, 1), 1);
  EXPECT_EQ(Compare16Bit(1, 2), -1);
  EXPECT_EQ(CompareChars(u'b', u'a'), 1);
  EXPECT_EQ(CompareBytes(200, 100), 1);
  EXPECT_EQ(CompareSingles(1.0f, NAN), 0);
  EXPECT_EQ(CompareSingles(NAN, 1.0f), 0);
  EXPECT_EQ(CompareSingles(-1.0f, 1.0f), -1);
  EXPECT_EQ(CompareDoubles(2.0, 1.0), 1);
  EXPECT_EQ(CompareDates(1.5, 1.5), 0);
  EXPECT_EQ(CompareJulianDates(2415018.5, 2415019.5), -1);
  EXPECT_EQ(ReversedComparisonInteger(-1), 1);
  EXPECT_EQ(ReversedComparisonInteger(INT32_MIN), INT32_MAX);
}

TEST(ComparisonTest, Strings) {
  EXPECT_EQ(Compare2Strings(u"ab", u"abc"), -1);
  EXPECT_EQ(Compare2Strings(u"b", u"abc"), 1);
  EXPECT_EQ(Compare2Strings(u"", u""), 0);
  EXPECT_EQ(Compare2Strings(u"Z", u"a"), -1);  // ordinal
  EXPECT_EQ(Compare2StringsCaseInsensitively(u"ABC", u"abc"), 0);
  EXPECT_EQ(Compare2StringsCaseInsensitively(u"abc", u"ABD"), -1);
  EXPECT_EQ(Compare2StringsCaseInsensitively(u"stra\u00DFe", u"STRASSF"), -1);  // full mapping: STRASSE
  EXPECT_EQ(CrudeStringComparison(u"abc", u"abd"), u'c' - u'd');
  EXPECT_EQ(CrudeStringComparison(UnicodeString(u"ab\0x", 4), UnicodeString(u"ab\0y", 4)), 0);
  EXPECT_EQ(CrudeStringComparison(u"ab", u"a"), u'b');
  EXPECT_EQ(LCIDStringComparison(u"", u"x", 0x0409), 0);
  EXPECT_EQ(LCIDStringComparison(u"apple", u"Banana", 0x0409), -1);
  EXPECT_EQ(LCIDStringComparison(u"b", u"a", 0x0409), 1);
  EXPECT_EQ(LCIDStringComparison(u"x", u"x", 0x0409), 0);
}

TEST(ComparisonTest, Records) {
  EXPECT_EQ(Compare2LongintRecs({1, 9}, {2, 3}, t2_long0), -1);
  EXPECT_EQ(Compare2LongintRecs({1, 9}, {2, 3}, t2_long1), 1);
  EXPECT_EQ(Compare2CardinalsCard2({0, 0xFFFFFFFFu}, {0, 1}), 1);
  TIntegerAnd2CardinalsRec a{-1, {1, 2}}, b{1, {1, 1}};
  EXPECT_EQ(CompareIntAnd2CardinalsFreq(a, b), -1);
  EXPECT_EQ(CompareIntAnd2CardinalsCard1(a, b), 0);
  EXPECT_EQ(CompareIntAnd2CardinalsCard2(a, b), 1);
  TIntegerAnd3CardinalsRec c{-1, {1, 2, 3}}, d{1, {1, 2, 4}};
  EXPECT_EQ(CompareIntAnd3CardinalsFreq(c, d), 1);  // freq as unsigned: -1 is the largest
  EXPECT_EQ(CompareIntAnd3CardinalsCard3(c, d), -1);
  EXPECT_EQ(CompareIntAnd3CardinalsCard1(c, d), 0);
}

TEST(ComparisonTest, Exchanges) {
  int32_t i = 1, j = 2;
  ExchangeTwoIntegers(i, j);
  char16_t x = u'x', y = u'y';
  ExchangeTwoChars(x, y);
  UnicodeString s = u"s", t = u"t";
  ExchangeTwoStrings(s, t);
  void* p = &i;
  void* q = &j;
  ExchangeTwoPointers(p, q);
  EXPECT_EQ(i, 2);
  EXPECT_EQ(x, u'y');
  EXPECT_EQ(s, u"t");
  EXPECT_EQ(p, &j);
}

}  // namespace
}  // namespace kx8
