#include "kx8rt/files/my_filestream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx8 {
namespace {

std::vector<uint8_t> Bytes(const TMemoryStream& ms) { return {ms.Memory(), ms.Memory() + ms.Size()}; }

TMemoryStream From(const std::vector<uint8_t>& b) {
  TMemoryStream ms;
  if (!b.empty()) ms.Write(b.data(), static_cast<int32_t>(b.size()));
  ms.SetPosition(0);
  return ms;
}

TEST(CountedPointer, WideLayoutAndRoundTrip) {
  TMemoryStream ms;
  EXPECT_TRUE(WriteUnknownLengthPointer(ms, u"abc", true));
  EXPECT_EQ(Bytes(ms), (std::vector<uint8_t>{3, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0}));
  ms.SetPosition(0);
  TStreamText t = ReadUnknownLengthPointer(ms, true);
  ASSERT_TRUE(t.W);
  EXPECT_EQ(t.Length, 3);
  EXPECT_EQ(std::u16string(t.W.get()), u"abc");
}

TEST(CountedPointer, EightBitNilAndKnownLength) {
  TMemoryStream ms;
  EXPECT_TRUE(WriteUnknownLengthPointer(ms, nullptr, false));
  EXPECT_TRUE(WriteKnownLengthPointer(ms, "hello", false, 2));
  EXPECT_TRUE(WriteKnownLengthPointer(ms, nullptr, false, -5));  // count alone for n < 1
  EXPECT_EQ(ms.Size(), 4 + 4 + 2 + 4);
  ms.SetPosition(0);
  EXPECT_TRUE(ReadUnknownLengthPointer(ms, false).IsNil());
  TStreamText t = ReadUnknownLengthPointer(ms, false);
  ASSERT_TRUE(t.A);
  EXPECT_EQ(std::string(t.A.get()), "he");
  EXPECT_THROW(ReadUnknownLengthPointer(ms, false), EReadError);  // the -5
}

TEST(CountedPointer, LimitsAndTruncation) {
  const struct {
    std::vector<uint8_t> bytes;
    int32_t max;
    const char* why;
  } bad[] = {
      {{0x51, 0xC3, 0, 0}, 50000, "50001 is past the default limit"},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 50000, "negative count"},
      {{5, 0, 0, 0}, 4, "past a caller's limit"},
      {{4, 0, 0, 0, 'a', 0}, 50000, "count the stream cannot hold"},
      {{4, 0}, 50000, "truncated count"},
  };
  for (const auto& c : bad) {
    TMemoryStream ms = From(c.bytes);
    EXPECT_THROW(ReadUnknownLengthPointerMaxSize(ms, true, c.max), EReadError) << c.why;
  }
  TMemoryStream ms = From({0x51, 0xC3, 0, 0});
  try {
    ReadUnknownLengthPointer(ms, true);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), u"file read error (50001) : ReadUnknownLengthPointer");
  }
}

TEST(ShortString, LayoutEmptyAndLong) {
  TMemoryStream ms;
  EXPECT_TRUE(WriteShortString(ms, "abc"));
  EXPECT_TRUE(WriteShortString(ms, ""));
  EXPECT_TRUE(WriteShortString(ms, std::string(300, 'x')));
  std::vector<uint8_t> b = Bytes(ms);
  ASSERT_EQ(b.size(), 4u + 1u + 256u);
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 5), (std::vector<uint8_t>{3, 'a', 'b', 'c', 0}));
  EXPECT_EQ(b[5], 255);
  ms.SetPosition(0);
  EXPECT_EQ(ReadShortString(ms), "abc");
  EXPECT_EQ(ReadShortString(ms), "");
  EXPECT_EQ(ReadShortString(ms), std::string(255, 'x'));
  TMemoryStream cut = From({5, 'a', 'b'});
  EXPECT_THROW(ReadShortString(cut), EReadError);
}

TEST(ZeroTerminated, WideAndEightBit) {
  TMemoryStream ms;
  StreamWritePchar(ms, u"k\u00e9y");
  StreamWritePchar(ms, nullptr);
  StreamWritePAnsichar(ms, "ab");
  StreamWritePAnsichar(ms, "");
  EXPECT_EQ(ms.Size(), (4 + 6) + 4 + (2 + 2) + 2);
  ms.SetPosition(0);
  EXPECT_EQ(std::u16string(StreamReadPchar(ms).get()), u"k\u00e9y");
  EXPECT_EQ(std::u16string(StreamReadPchar(ms).get()), u"");
  EXPECT_EQ(std::string(StreamReadPAnsichar(ms).get()), "ab");
  EXPECT_EQ(std::string(StreamReadPAnsichar(ms).get()), "");
  // A huge count on a short stream is refused before any allocation.
  TMemoryStream big = From({0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});
  EXPECT_THROW(StreamReadPchar(big), EReadError);
  TMemoryStream neg = From({0, 0, 0, 0x80});
  EXPECT_THROW(StreamReadPchar(neg), EReadError);
  TMemoryStream ansi = From({0xFF, 0xFF, 'a'});
  EXPECT_THROW(StreamReadPAnsichar(ansi), EReadError);
}

TEST(MyFileStream, WritesShortStrings) {
  const UnicodeString name = Utf8ToUtf16(::testing::TempDir() + "kx8_short_string.bin");
  {
    TMyFileStream fs(name, fmCreate);
    fs.WriteAShortString("hi");
  }
  TFileStream in(name, fmOpenRead);
  EXPECT_EQ(in.Size(), 3);
  EXPECT_EQ(ReadShortString(in), "hi");
}

}  // namespace
}  // namespace kx8
