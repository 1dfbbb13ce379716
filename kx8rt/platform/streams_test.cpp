#include "kx8rt/platform/streams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "kx8rt/platform/exceptions.h"

namespace kx8 {
namespace {

// A scratch folder of the test's own, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    char templ[] = "/tmp/kx8_streams_XXXXXX";
    const char* made = ::mkdtemp(templ);
    EXPECT_NE(made, nullptr);
    fPath = made ? made : "/tmp";
  }
  ~TempDir() { std::system(("rm -rf '" + fPath + "'").c_str()); }
  UnicodeString File(const char* name) const { return Utf8ToUtf16(fPath + "/" + name); }

 private:
  std::string fPath;
};

std::string ReadAll(TStream& s) {
  std::string out(static_cast<size_t>(s.Size() - s.Position()), '\0');
  s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

// A stream that hands over at most a few bytes per call, as a pipe or a slow device may.
class TTrickleStream : public TMemoryStream {
 public:
  int32_t Read(void* Buffer, int32_t Count) override { return TMemoryStream::Read(Buffer, std::min(Count, 3)); }
};

TEST(TMemoryStream, ReadWriteSeekAndShortReads) {
  TMemoryStream m;
  m.WriteBuffer("hello world", 11);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Position(), 11);
  EXPECT_EQ(m.Seek(-5, soFromEnd), 6);
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 16), 5);  // a short read answers with what there was
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(m.Read(buf, 4), 0);
  m.SetPosition(8);
  try {
    m.ReadBuffer(buf, 4);
    ADD_FAILURE() << "ReadBuffer past the end did not raise";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
  EXPECT_THROW(m.Seek(-12, soEnd), EStreamError);
  EXPECT_EQ(m.Read(buf, -3), 0);

  // Writing after a seek past the end fills the gap with zeros.
  m.Seek(2, soFromEnd);
  m.WriteBuffer("!", 1);
  ASSERT_EQ(m.Size(), 14);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.Memory()) + 11, 3), std::string("\0\0!", 3));
  m.SetSize(5);
  m.SetPosition(0);
  EXPECT_EQ(ReadAll(m), "hello");
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST(TStream, ReadBufferGathersShortTransfersAndCopyFromCopiesAll) {
  TTrickleStream src;
  src.WriteBuffer("abcdefghij", 10);
  src.SetPosition(0);
  char buf[11] = {};
  src.ReadBuffer(buf, 10);  // many 3-byte reads make one full read
  EXPECT_STREQ(buf, "abcdefghij");

  src.SetPosition(7);
  TMemoryStream dst;
  EXPECT_EQ(dst.CopyFrom(src, 0), 10);  // 0 copies the whole source from its start
  dst.SetPosition(0);
  EXPECT_EQ(ReadAll(dst), "abcdefghij");

  src.SetPosition(2);
  TMemoryStream part;
  EXPECT_EQ(part.CopyFrom(src, 4), 4);
  part.SetPosition(0);
  EXPECT_EQ(ReadAll(part), "cdef");
  src.SetPosition(8);
  EXPECT_THROW(part.CopyFrom(src, 5), EReadError);
}

TEST(TFileStream, CreateWriteReopenAndAppend) {
  TempDir dir;
  const UnicodeString name = dir.File("a.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.Size(), 10);
    f.SetSize(4);
    EXPECT_EQ(f.Position(), 4);
    EXPECT_EQ(f.FileName(), name);
  }
  {
    TFileStream f(name, fmOpenReadWrite);
    f.Seek(0, soEnd);
    f.WriteBuffer("xy", 2);
  }
  TFileStream r(name, fmOpenRead);
  EXPECT_EQ(ReadAll(r), "0123xy");
  EXPECT_THROW(r.WriteBuffer("z", 1), EWriteError);  // a read-only stream writes nothing
  char c;
  EXPECT_EQ(r.Read(&c, 1), 0);
  EXPECT_THROW(r.Seek(-1, soBeginning), EStreamError);
  {
    TFileStream again(name, fmCreate);  // fmCreate empties an existing file
  }
  EXPECT_EQ(TFileStream(name, fmOpenRead).Size(), 0);
}

TEST(TFileStream, OpenAndCreateFailuresNameTheFile) {
  TempDir dir;
  const UnicodeString missing = dir.File("missing.txt");
  try {
    TFileStream f(missing, fmOpenRead);
    ADD_FAILURE() << "opening a missing file did not raise";
  } catch (const EFOpenError& e) {
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("Cannot open file \"" + Utf16ToUtf8(missing) + "\". ", 0), 0u) << what;
    EXPECT_GT(what.size(), Utf16ToUtf8(missing).size() + 20);  // the system's reason follows
  }
  const UnicodeString inNoFolder = dir.File("no/such/folder/x.txt");
  try {
    TFileStream f(inNoFolder, fmCreate);
    ADD_FAILURE() << "creating in a missing folder did not raise";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + Utf16ToUtf8(inNoFolder) + "\". ", 0), 0u);
  }
  EXPECT_THROW(TFileStream(dir.File(""), fmOpenRead), EFOpenError);  // the folder itself
  { TFileStream f(dir.File("m"), fmCreate); }
  EXPECT_THROW(TFileStream(dir.File("m") + u'\0' + u"x", fmOpenRead), EFOpenError);  // not "m"
  EXPECT_THROW(TFileStream(dir.File("m"), 3), EFOpenError);  // no such access mode
  EXPECT_THROW(TFileStream(dir.File("m"), fmOpenRead | 0x50), EFOpenError);  // no such sharing flag
}

TEST(TFileStream, SharingFlagsAreAdvisoryLocks) {
  TempDir dir;
  const UnicodeString name = dir.File("shared.txt");
  { TFileStream f(name, fmCreate); }
  struct Case { uint16_t first, second; bool secondOpens; };
  const Case cases[] = {
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenWrite | fmShareExclusive, false},
      {fmOpenRead | fmShareDenyWrite, fmCreate, false},
      {fmOpenReadWrite | fmShareExclusive, fmOpenRead | fmShareDenyWrite, false},
      {fmOpenReadWrite | fmShareExclusive, fmOpenRead | fmShareDenyNone, true},
      {fmOpenRead | fmShareDenyNone, fmOpenWrite | fmShareExclusive, true},
      {fmOpenRead | fmShareDenyRead, fmOpenRead | fmShareDenyWrite, false},
  };
  for (const auto& c : cases) {
    TFileStream first(name, c.first);
    bool opened = true;
    try {
      TFileStream second(name, c.second);
    } catch (const EStreamError& e) {
      opened = false;
      EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos) << e.what();
    }
    EXPECT_EQ(opened, c.secondOpens) << std::hex << c.first << " then " << c.second;
  }
  // The lock goes with the stream: after it is freed the file opens exclusively again.
  { TFileStream f(name, fmOpenRead | fmShareExclusive); }
  TFileStream g(name, fmOpenRead | fmShareExclusive);
  EXPECT_EQ(g.Size(), 0);
}

TEST(TMemoryStream, FileRoundTripAndLoadFromStreamPosition) {
  TempDir dir;
  TMemoryStream m;
  const std::string data("\x00\x01\xFFxyz", 6);
  m.WriteBuffer(data.data(), 6);
  m.SaveToFile(dir.File("m.bin"));
  TMemoryStream back;
  back.LoadFromFile(dir.File("m.bin"));
  EXPECT_EQ(back.Position(), 0);
  EXPECT_EQ(ReadAll(back), data);

  m.SetPosition(3);
  TMemoryStream rest;
  rest.LoadFromStream(m);  // from the source's position on
  EXPECT_EQ(ReadAll(rest), "xyz");
  TMemoryStream copy;
  rest.SaveToStream(copy);
  EXPECT_EQ(copy.Size(), 3);
}

TEST(TStringStreamAndTBytesStream, TextInAnEncodingAndBytes) {
  TStringStream utf16(u"h\u00E9", TEncoding::Unicode());
  EXPECT_EQ(utf16.Size(), 4);
  EXPECT_EQ(std::memcmp(utf16.Memory(), "h\0\xE9\0", 4), 0);
  EXPECT_EQ(utf16.DataString(), u"h\u00E9");

  TStringStream utf8(u"", TEncoding::UTF8());
  utf8.WriteString(u"\u20AC1");
  EXPECT_EQ(utf8.Size(), 4);  // no signature inside a string stream
  utf8.SetPosition(0);
  EXPECT_EQ(utf8.ReadString(3), u"\u20AC");
  EXPECT_EQ(utf8.ReadString(100), u"1");
  EXPECT_EQ(utf8.ReadString(5), u"");

  TStringStream ansi(TBytes{'a', 'b'});  // default: the system 8-bit code page
  EXPECT_EQ(ansi.Encoding().Kind(), ekAnsi);
  EXPECT_EQ(ansi.DataString(), u"ab");

  TBytesStream b(TBytes{1, 2, 3});
  b.Seek(0, soEnd);
  b.WriteBuffer("\x04", 1);
  EXPECT_EQ(b.Bytes(), (TBytes{1, 2, 3, 4}));
}

}  // namespace
}  // namespace kx8
