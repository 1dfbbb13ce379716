#include "kx8rt/containers/my_streammemlists.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

// Every test works on a block name of its own (process id and a counter) and removes it at the end,
// checking that nothing was left behind.
class SharedListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    name_ = u"kx8test_" + IntToStr(getpid()) + u"_" + IntToStr(++counter);
  }
  void TearDown() override {
    const UnicodeString full = UnicodeString(FlexibleSizeMapPrefix) + name_;
    const bool leftOver = RemoveSharedMemory(full);
    EXPECT_FALSE(leftOver) << "a block was left behind";
  }
  UnicodeString FullName() const { return UnicodeString(FlexibleSizeMapPrefix) + name_; }

  // A raw block holding exactly bytes, as another process might have left it.
  std::unique_ptr<TSharedMemoryBlock> RawBlock(const std::vector<uint8_t>& bytes) {
    auto block = std::make_unique<TSharedMemoryBlock>();
    EXPECT_TRUE(block->OpenOrCreate(FullName(), bytes.size()));
    EXPECT_TRUE(block->Created());
    std::memcpy(block->Data(), bytes.data(), bytes.size());
    return block;
  }

  UnicodeString name_;
};

void PutLE32(std::vector<uint8_t>& bytes, int32_t v) {
  for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
}

// An entry of TWideStringMemList: length, then the units and a NUL.
void PutEntry(std::vector<uint8_t>& bytes, std::u16string_view s) {
  PutLE32(bytes, static_cast<int32_t>(2 * (s.size() + 1)));
  for (const char16_t c : s) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
}

std::vector<UnicodeString> Entries(const TWideStringMemList& list) {
  std::vector<UnicodeString> out;
  for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
  return out;
}

TEST_F(SharedListTest, EmptyListCopiesAsTotalFour) {
  TWideStringMemList writer(name_);
  EXPECT_TRUE(writer.memmap->CreatedBlock());
  EXPECT_TRUE(writer.CopyToMemmap());
  EXPECT_EQ(writer.memmap->Size(), 4);
  EXPECT_EQ(writer.memmap->GetMemL(0), 4);
  TWideStringMemList reader(name_);
  EXPECT_FALSE(reader.memmap->CreatedBlock());
  EXPECT_TRUE(reader.LoadFromMemmap());
  EXPECT_EQ(reader.Count(), 0);
  EXPECT_FALSE(reader.data_only_in_memmap);
}

TEST_F(SharedListTest, ForkedReaderLoadsWhatTheWriterCopied) {
  const std::vector<UnicodeString> words = {u"alpha", u"", u"\u03B2\u00EAta", UnicodeString(3000, u'z')};
  TWideStringMemList writer(name_);
  for (const auto& w : words) writer.AddString(w);
  ASSERT_TRUE(writer.CopyToMemmap());
  EXPECT_EQ(writer.memmap->GetMemL(0), 4 + 4 * 4 + 2 * (5 + 1 + 0 + 1 + 4 + 1 + 3000 + 1));
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TWideStringMemList reader(name_);
    const bool ok = !reader.memmap->CreatedBlock() && reader.LoadFromMemmap() && Entries(reader) == words;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(SharedListTest, MoveLeavesEntriesOnlyInTheBlock) {
  TWideStringMemList writer(name_);
  writer.AddString(u"one");
  writer.AddString(u"two");
  EXPECT_TRUE(writer.MoveToMemmap());
  EXPECT_TRUE(writer.data_only_in_memmap);
  EXPECT_EQ(writer.Count(), 0);
  TWideStringMemList reader(name_);
  EXPECT_TRUE(reader.LoadFromMemmap());
  EXPECT_EQ(Entries(reader), (std::vector<UnicodeString>{u"one", u"two"}));
  // Loading again replaces rather than appends.
  EXPECT_TRUE(reader.LoadFromMemmap());
  EXPECT_EQ(reader.Count(), 2);
}

TEST_F(SharedListTest, ReaderOfAnotherSizeDoesNotShrinkTheBlock) {
  TWideStringMemList writer(name_);
  for (const char16_t* w : {u"a", u"bb", u"ccc"}) writer.AddString(w);
  ASSERT_TRUE(writer.CopyToMemmap());
  const int32_t total = writer.memmap->Size();
  {
    TFlexibleSizeMap small(name_, 1);
    EXPECT_EQ(small.Size(), total);  // the creator's size wins
    small.Checksize(2);              // re-opens the same block, which keeps its size
    EXPECT_EQ(small.Size(), total);
  }
  TWideStringMemList reader(name_);
  EXPECT_TRUE(reader.LoadFromMemmap());
  EXPECT_EQ(Entries(reader), (std::vector<UnicodeString>{u"a", u"bb", u"ccc"}));
}

TEST_F(SharedListTest, WriterReplacesABlockOfAnotherSize) {
  TWideStringMemList writer(name_);
  writer.AddString(u"short");
  ASSERT_TRUE(writer.CopyToMemmap());
  writer.AddString(u"a longer second entry");
  ASSERT_TRUE(writer.CopyToMemmap());
  TWideStringMemList reader(name_);
  EXPECT_TRUE(reader.LoadFromMemmap());
  EXPECT_EQ(reader.Count(), 2);
}

TEST_F(SharedListTest, ReadsAndWordsOutsideTheData) {
  TFlexibleSizeMap map(name_, 12);
  ASSERT_TRUE(map.IsOpen());
  EXPECT_EQ(map.Size(), 12);
  uint8_t buffer[32] = {};
  EXPECT_EQ(map.ReadFromMemmap(buffer, 12, 4), 0);
  EXPECT_EQ(map.Position(), 12);  // moved even though nothing was read
  EXPECT_EQ(map.ReadFromMemmap(buffer, 40, 4), 0);
  EXPECT_EQ(map.Position(), 40);
  EXPECT_EQ(map.ReadFromMemmap(buffer, 4, -1), 0);
  EXPECT_EQ(map.ReadFromMemmap(buffer, -4, 4), 0);
  EXPECT_EQ(map.ReadFromMemmap(buffer, 10, 32), 2);  // cut at FSize
  EXPECT_EQ(map.Position(), 12);

  map.SetMemL(8, -7);
  EXPECT_EQ(map.GetMemL(8), -7);
  EXPECT_THROW(map.GetMemL(12), EReadError);
  EXPECT_THROW(map.SetMemL(-1, 0), EWriteError);
  EXPECT_THROW(map.SetMemL(1 << 30, 0), EWriteError);
  EXPECT_FALSE(map.WriteToMemmap(buffer, 10, 32));
  EXPECT_EQ(map.ConvertPointer(1 << 30), nullptr);
  map.Close();
  EXPECT_EQ(map.Size(), 0);
  EXPECT_EQ(map.MapHandle(), 0u);
  EXPECT_EQ(map.ReadFromMemmap(buffer, 0, 4), 0);
  map.Remap(12);
  EXPECT_TRUE(map.IsOpen());
}

TEST_F(SharedListTest, MissingBlockIsMadeEmpty) {
  {
    TWideStringMemList reader(name_);
    EXPECT_TRUE(reader.LoadFromMemmap());
    EXPECT_EQ(reader.Count(), 0);
  }
  EXPECT_FALSE(SharedMemoryExists(FullName()));  // the reader made it, and removed it on closing
}

TEST_F(SharedListTest, DamagedBlocksGiveTheEntriesBeforeTheFault) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool result;
    std::vector<UnicodeString> entries;
  };
  std::vector<Case> cases;
  cases.push_back({"two bytes", {0x10, 0x00}, false, {}});
  {
    std::vector<uint8_t> b;  // a total far beyond the block: the block's real size bounds the reading
    PutLE32(b, 1000);
    PutEntry(b, u"ok");
    cases.push_back({"total beyond size", b, true, {u"ok"}});
  }
  {
    std::vector<uint8_t> b;
    PutLE32(b, 4 + 10 + 8);
    PutEntry(b, u"one");
    PutLE32(b, 1 << 30);  // an entry length past the end
    PutLE32(b, 0);
    cases.push_back({"entry past end", b, false, {u"one"}});
  }
  {
    std::vector<uint8_t> b;
    PutLE32(b, 4 + 8 + 4 + 8);
    PutEntry(b, u"x");
    PutLE32(b, 0);  // a zero length ends the list
    PutEntry(b, u"y");
    cases.push_back({"zero length", b, true, {u"x"}});
  }
  {
    std::vector<uint8_t> b;
    PutLE32(b, 4 + 5);
    PutLE32(b, 1);  // one byte is not a whole code unit
    b.push_back('a');
    cases.push_back({"odd length", b, false, {}});
  }
  {
    std::vector<uint8_t> b;
    PutLE32(b, -20);
    PutEntry(b, u"neg");
    cases.push_back({"negative total", b, false, {}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto block = RawBlock(c.bytes);
    for (int round = 0; round < 2; ++round) {  // the block is unchanged for the next reader
      TWideStringMemList reader(name_);
      EXPECT_EQ(reader.LoadFromMemmap(), c.result);
      EXPECT_EQ(Entries(reader), c.entries);
      EXPECT_EQ(std::memcmp(block->Data(), c.bytes.data(), c.bytes.size()), 0);
    }
  }
}

}  // namespace
}  // namespace kx8
