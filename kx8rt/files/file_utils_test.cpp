#include "kx8rt/files/file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/text_primitives/bare_assemb.h"
#include "kx8rt/platform/message_box.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kx8_fu_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    savedHook = Global_MessageBoxHook;
  }
  void TearDown() override {
    Global_MessageBoxHook = savedHook;
    fs::remove_all(dir);
  }
  UnicodeString Put(const char* leaf, std::string_view bytes) {
    std::ofstream(dir / leaf, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return Name(leaf);
  }
  UnicodeString Name(const char* leaf) { return Utf8ToUtf16((dir / leaf).string()); }
  std::string Bytes(const char* leaf) {
    std::ifstream f(dir / leaf, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  fs::path dir;
  TMessageBoxHook savedHook;
};

TEST(FileFormats, FirstCheckThatAppliesDecides) {
  struct Case { std::string bytes; TKXFileFormat fmt; int32_t sig; bool utf8signed; };
  const Case cases[] = {
      {"abc", fc_Unknown, 0, false},
      {std::string("\xFF\xFE" "A\0", 4), fc_UTF16, 2, false},
      {std::string("\xFE\xFF\0A", 4), fc_UTF16_BigEndian, 2, false},
      {"\xD0\xCF\x11\xE0rest", fc_Storage, 0, false},
      {std::string("\xDB\xA5\x2D\0rest", 8), fc_early_Word, 0, false},
      {"PK\x03\x04rest", fc_Zip, 0, false},
      {std::string("h\0e\0l\0l\0o\0 \0w\0o\0r\0l\0d\0", 22), fc_UTF16, 0, false},
      {"\xEF\xBB\xBFtext", fc_UTF8, 3, true},
      {"plain text", fc_ASCII, 0, false},
      {"caf\xC3\xA9 au lait", fc_UTF8, 0, false},
      {"caf\xE9 au lait", fc_ANSI, 0, false},
      {std::string("ascii\0\xE9\xE9", 8), fc_ASCII, 0, false},  // only bytes up to the first zero count
  };
  for (const Case& c : cases) {
    const auto* p0 = reinterpret_cast<const uint8_t*>(c.bytes.data());
    const uint8_t* p = p0;
    const TKXFileFormatAndSignatureLen r = FileBufferType(p, static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(r.fmt, c.fmt) << c.bytes;
    EXPECT_EQ(r.signature_length, c.sig) << c.bytes;
    EXPECT_EQ(r.UTF8_signed, c.utf8signed) << c.bytes;
    EXPECT_EQ(p - p0, c.sig) << c.bytes;
  }
  EXPECT_EQ(FileFormatComparison(fc_ASCII, fc_UTF8), -1);
  EXPECT_EQ(FileFormatComparison(fc_Zip, fc_Zip), 0);
  EXPECT_TRUE(VariantFlavoursOfUTF16(fc_UTF16, fc_UTF16_BigEndian));
  EXPECT_FALSE(VariantFlavoursOfUTF16(fc_UTF16, fc_UTF8));
  EXPECT_FALSE(StringIsInUnicode(reinterpret_cast<const uint8_t*>("\xFF\xFE"), 2));
}

struct Delivered {
  std::string ansi;
  std::u16string wide;
  int calls = 0;
};

Delivered Read(std::string_view bytes, bool wantUnicode, uint16_t cp, TKXFileFormat& fmt) {
  Delivered d;
  TBytesStream s(TBytes(bytes.begin(), bytes.end()));
  HandleTextFileReading(
      s, [&](const char* t) { d.ansi = t, ++d.calls; }, [&](const char16_t* t) { d.wide = t, ++d.calls; },
      wantUnicode, cp, fmt);
  return d;
}

TEST(TextReading, DeliveredByFormat) {
  TKXFileFormat fmt;
  Delivered d = Read(std::string("\xFE\xFF\0h\0\xE9", 6), false, 1252, fmt);
  EXPECT_EQ(fmt, fc_UTF16);  // big-endian delivered little-endian
  EXPECT_EQ(d.wide, u"h\u00e9");
  d = Read(std::string("h\0i\0!\0?\0", 8), true, 1252, fmt);
  EXPECT_EQ(fmt, fc_UTF16);
  EXPECT_EQ(d.wide, u"hi!?");
  // Plain 7-bit text reads the same either way.
  EXPECT_EQ(Read("plain", true, 1252, fmt).wide, u"plain");
  EXPECT_EQ(Read("plain", false, 1252, fmt).ansi, "plain");
  // 8-bit text is converted with the code page asked for.
  EXPECT_EQ(Read("\xC0\xC1\xC2!", true, 1251, fmt).wide, u"\u0410\u0411\u0412!");
  EXPECT_EQ(fmt, fc_ANSI);
  EXPECT_EQ(Read("caf\xE9", false, 1251, fmt).ansi, "caf\xE9");
  d = Read("\xEF\xBB\xBF" "caf\xC3\xA9", false, 1252, fmt);
  EXPECT_EQ(fmt, fc_UTF8);
  EXPECT_EQ(d.ansi, "caf\xE9");  // re-encoded in the system code page
  EXPECT_EQ(Read("caf\xC3\xA9", true, 1252, fmt).wide, u"caf\u00e9");
  d = Read("PK\x03\x04zipped", true, 1252, fmt);
  EXPECT_EQ(fmt, fc_Zip);
  EXPECT_EQ(d.calls, 0);
  d = Read("abc", true, 1252, fmt);
  EXPECT_EQ(fmt, fc_Unknown);
  EXPECT_EQ(d.calls, 0);
  d = Read(std::string("\xFF\xFE" "a\0b", 5), true, 1252, fmt);  // odd length: the lone byte dropped
  EXPECT_EQ(d.wide, u"a");
}

TEST(TextReading, BytesToUTF16LEFile) {
  struct Case { std::string in; uint16_t cp; bool ok; std::string out; };
  const Case cases[] = {
      {"", 0, true, "\xFF\xFE"},
      {"caf\xC3\xA9", 0, true, std::string("\xFF\xFE" "c\0a\0f\0\xE9\0", 10)},
      {"caf\xE9", 1252, true, std::string("\xFF\xFE" "c\0a\0f\0\xE9\0", 10)},
      {"\xC0\xC1\xC2\xC3", 1251, true, std::string("\xFF\xFE\x10\x04\x11\x04\x12\x04\x13\x04", 10)},
      {std::string("\xFE\xFF\0a\0b", 6), 0, true, std::string("\xFF\xFE" "a\0b\0", 6)},
      {"PK\x03\x04zip", 0, false, ""},
      {"ab", 0, false, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    TKXFileFormat fmt;
    EXPECT_EQ(ConvertedBytesToUTF16LE(reinterpret_cast<const uint8_t*>(c.in.data()), c.in.size(), c.cp, out, fmt), c.ok)
        << c.in;
    EXPECT_EQ(out, c.out) << c.in;
  }
}

// The streamed conversion of bytes, chunk bytes at a time, beside the conversion of the whole.
struct Converted {
  bool ok;
  TKXFileFormat fmt;
  std::string bytes;
};

Converted Streamed(const std::string& in, uint16_t cp, int32_t chunk, const std::string& before = "") {
  TMemoryStream src, dst;
  if (!in.empty()) src.WriteBuffer(in.data(), static_cast<int64_t>(in.size()));
  if (!before.empty()) dst.WriteBuffer(before.data(), static_cast<int64_t>(before.size()));
  Converted c{};
  c.ok = StreamedBytesToUTF16LE(src, dst, cp, c.fmt, chunk);
  c.bytes.resize(static_cast<size_t>(dst.Size()));
  dst.SetPosition(0);
  if (!c.bytes.empty()) dst.ReadBuffer(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
  return c;
}

Converted Whole(const std::string& in, uint16_t cp) {
  Converted c{};
  c.ok = ConvertedBytesToUTF16LE(reinterpret_cast<const uint8_t*>(in.data()), in.size(), cp, c.bytes, c.fmt);
  return c;
}

std::string Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string h;
  for (unsigned char c : s) (h += d[c >> 4]) += d[c & 15];
  return h;
}

void ExpectSameAsWhole(const std::string& in, uint16_t cp, int32_t chunk) {
  const Converted want = Whole(in, cp), got = Streamed(in, cp, chunk);
  EXPECT_EQ(got.ok, want.ok) << Hex(in) << " chunk " << chunk;
  EXPECT_EQ(static_cast<int>(got.fmt), static_cast<int>(want.fmt)) << Hex(in) << " chunk " << chunk;
  EXPECT_EQ(Hex(got.bytes), Hex(want.ok ? want.bytes : std::string())) << Hex(in) << " chunk " << chunk;
}

TEST(TextReading, StreamedConversionGivesWhatTheWholeGivesAtEveryChunkEdge) {
  std::string longUtf8;
  for (int i = 0; i < 60; ++i) longUtf8 += "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 ";
  struct Case { const char* what; std::string in; uint16_t cp; };
  const Case cases[] = {
      {"empty", "", 0},
      {"too short", "abc", 0},
      {"7-bit", "plain text, four bytes and more", 0},
      {"UTF-8 of 2, 3 and 4 bytes", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 end", 0},
      {"signed UTF-8", "\xEF\xBB\xBF" "caf\xC3\xA9 \xF0\x9F\x98\x80", 0},
      {"signed UTF-8 with bad bytes", "\xEF\xBB\xBF" "a\xC3(b\xE2\x82 \xF8\x88\x80\x80\x80 \xED\xA0\x80 \xF0\x9F\x98", 0},
      {"a signature inside the text", "a\xEF\xBB\xBF" "b\xEF\xBB\xBF", 0},
      {"signed, with a second signature", "\xEF\xBB\xBF\xEF\xBB\xBF" "x", 0},
      {"8-bit after a long UTF-8 stretch", longUtf8 + "na\xEFve" + longUtf8, 1252},
      {"overlong form", "abcd \xC0\xAF", 1252},
      {"encoded surrogate", "abcd \xED\xA0\x80", 1252},
      {"beyond U+10FFFF", "abcd \xF4\x90\x80\x80", 1252},
      {"UTF-8 cut short at the end", "abc \xE2\x82", 1252},
      {"text ends at a zero byte", std::string("abc\xC3\xA9\0\xFF\xFF", 8), 1252},
      {"zero byte inside a character", std::string("ab\xE2\x82\0xyz", 8), 1252},
      {"7-bit up to a zero byte", std::string("ascii\0\xE9\xE9", 8), 1252},
      {"Windows-1252", "caf\xE9 na\xEFve", 1252},
      {"Windows-1251", "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0", 1251},
      {"Shift-JIS", "\x82\xA0\x82\xA2 abc \x83\x41\xB1\x88\x9F \x82\xA4\x82", 932},
      {"UTF-16 LE", std::string("\xFF\xFE" "a\0\x3D\xD8\x00\xDE\xFF\xFE" "b\0", 12), 0},
      {"UTF-16 LE, odd length", std::string("\xFF\xFE" "a\0\x3D\xD8\x00\xDE" "b", 9), 0},
      {"UTF-16 BE", std::string("\xFE\xFF\0a\xD8\x3D\xDE\x00\xFE\xFF\0b", 12), 0},
      {"UTF-16 LE unsigned", std::string("h\0e\0l\0l\0o\0 \0w\0o\0r\0l\0d\0", 22), 0},
      {"zip", "PK\x03\x04zipped", 0},
      {"compound", "\xD0\xCF\x11\xE0rest", 0},
      {"early word processor", std::string("\xDB\xA5\x2D\0rest", 8), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int32_t chunk : {1, 2, 3, 4, 5, 7, 64, 1 << 18}) ExpectSameAsWhole(c.in, c.cp, chunk);
  }
}

TEST(TextReading, StreamedConversionOfRandomBytes) {
  // Pieces that make chunk edges interesting: characters of every length, bad and lone bytes,
  // Shift-JIS pairs, signatures and zeros.
  const std::string pieces[] = {"a",        "word ",    "\xC3\xA9",         "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                "\xC3",     "\x80",     "\xED\xA0\x80",     "\xFF",         "\x82\xA0",
                                "\xB1",     "\xE9",     "\xEF\xBB\xBF",     "\xFE\xFF",     std::string(1, '\0'),
                                "\xF4\x8F\xBF\xBF", "\xE0\xA0", "\r\n"};
  std::mt19937 rng(20261206);
  for (int round = 0; round < 400; ++round) {
    std::string in;
    const bool noZero = rng() % 2;
    for (int k = static_cast<int>(rng() % 40); k > 0; --k) {
      const std::string& p = pieces[rng() % std::size(pieces)];
      if (noZero && p[0] == '\0') continue;
      in += p;
    }
    if (rng() % 4 == 0) in.insert(0, "\xEF\xBB\xBF");
    const uint16_t cp = std::array<uint16_t, 3>{1252, 932, 1251}[rng() % 3];
    ExpectSameAsWhole(in, cp, static_cast<int32_t>(1 + rng() % 9));
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(TextReading, StreamedConversionWritesAtThePositionAndCutsBackThere) {
  // 8-bit text found late: the UTF-8 written so far is cut back to just after this call's signature.
  const std::string text = std::string(5000, 'x') + "\xC3\xA9" + std::string(5000, 'y') + "\xE9";
  const Converted got = Streamed(text, 1252, 1000, "HEAD!");
  const Converted want = Whole(text, 1252);
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(got.fmt, fc_ANSI);
  EXPECT_EQ(got.bytes, "HEAD!" + want.bytes);
  // Refused input writes nothing at all.
  EXPECT_EQ(Streamed("PK\x03\x04zip", 0, 64, "HEAD!").bytes, "HEAD!");
  // A code page that is not there matters only to 8-bit text.
  TKXFileFormat fmt;
  TMemoryStream in, out;
  in.WriteBuffer("caf\xE9", 4);
  EXPECT_THROW(static_cast<void>(StreamedBytesToUTF16LE(in, out, 4242, fmt)), EEncodingError);
  EXPECT_TRUE(Streamed("caf\xC3\xA9", 4242, 64).ok);
}

TEST(TextReading, ConvertibleTextByTheFirstBytes) {
  const std::pair<std::string, bool> cases[] = {
      {"", true},          {"ab", false},          {"abcd", true},           {"PK\x03\x04", false},
      {"PK\x03x", true},   {"\xD0\xCF\x11\xE0", false}, {std::string("\xDB\xA5\x2D\0", 4), false},
      {"\xFF\xFE" "a", false}, {std::string("\xFF\xFE" "a\0", 4), true}, {"\xEF\xBB\xBF" "x", true},
  };
  for (const auto& [bytes, want] : cases) {
    TMemoryStream m;
    if (!bytes.empty()) m.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    m.SetPosition(m.Size());
    EXPECT_EQ(StreamIsConvertibleText(m), want) << Hex(bytes);
    EXPECT_EQ(m.Position(), 0) << Hex(bytes);
    EXPECT_EQ(Whole(bytes, 1252).ok, want) << Hex(bytes);  // the two routines agree
  }
}

TEST_F(FileUtilsTest, ChecksumIsTheWordSumWhateverTheReadSizes) {
  std::string bytes;
  for (int i = 0; i < 70001; ++i) bytes.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  const UnicodeString name = Put("sum.bin", bytes);
  const uint32_t whole = My4Checksum(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(CheckSumOfAFile(name), whole);
  // Reads that split words at every offset give the same sum; the last, incomplete word counts nothing.
  for (int32_t chunk : {1, 3, 5, 4097}) {
    TMyCheckSumFileStream f(name);
    std::string buf(static_cast<size_t>(chunk), '\0');
    while (f.Read(buf.data(), chunk) > 0) {
    }
    EXPECT_EQ(f.Checksum(), whole) << chunk;
  }
  EXPECT_EQ(CheckSumOfAFile(Name("missing.bin")), 0u);
}

TEST_F(FileUtilsTest, FileContentsFormats) {
  Put("b.txt", std::string("\xFE\xFF\0a\0b", 6));
  EXPECT_THROW(FileContentsFormat(Name("missing.txt")), EFOpenError);
  EXPECT_EQ(FileContentsFormat(Name("b.txt")), fc_UTF16_BigEndian);
}

TEST_F(FileUtilsTest, DodgyListAndConversion) {
  TPossiblyDodgyTextStringlist list;
  list.LoadFromFile(Put("s.txt", "\xEF\xBB\xBF" "a\r\n\rb\nc"));
  EXPECT_TRUE(list.SignedUTF8);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list[1], u"");
  EXPECT_EQ(TextFileContents(Name("s.txt")), u"a\r\n\r\nb\r\nc");
  EXPECT_EQ(TextFileContents(Name("none.txt")), u"");
  list.SetLineBreak(u"|");
  list.SetTextStr(u"x|y\r\nz");
  EXPECT_EQ(list.Count(), 2);

  const UnicodeString f = Put("w.txt", "caf\xE9\r\n");
  ASSERT_TRUE(SetFileDate(f, u"07/03/2001"));
  const TDateTime age = GetFileAge(f);
  ASSERT_TRUE(ConvertTextFileToUnicode(f, 1252));
  EXPECT_EQ(Bytes("w.txt"), std::string("\xFF\xFE" "c\0a\0f\0\xE9\0\r\0\n\0", 14));
  EXPECT_NEAR(GetFileAge(f), age, 1e-6);
  EXPECT_FALSE(ConvertTextFileToUnicode(Name("none.txt")));
  EXPECT_TRUE(SavedTextAsStream(u"\u00e9", Name("saved.txt")));
  EXPECT_EQ(Bytes("saved.txt"), std::string("\xFF\xFE\xE9\0", 4));
  EXPECT_FALSE(SavedTextAsStream(u"", Name("never.txt")));
  EXPECT_FALSE(fs::exists(dir / "never.txt"));
}

TEST_F(FileUtilsTest, BackupsAndInsertion) {
  const UnicodeString f = Put("t.txt", "hello");
  EXPECT_TRUE(InsertIntoFileW(f, u">", true, 1));
  EXPECT_EQ(Bytes("t.bak"), "hello");
  EXPECT_EQ(TextFileContents(f), u">hello");
  EXPECT_TRUE(InsertIntoFileW(f, u"<", false, 99));
  EXPECT_EQ(TextFileContents(f), u">hello\r\n<");  // the list's text ends with its line break
  const UnicodeString g = Put("a.txt", "abc");
  EXPECT_TRUE(InsertIntoFileA(g, u"-", false, 0));
  EXPECT_EQ(Bytes("a.txt"), "-abc\r\n");  // still 8-bit
  EXPECT_THROW(static_cast<void>(InsertIntoFileW(Name("none.txt"), u"x", false, 1)), EFOpenError);
  EXPECT_TRUE(EmptyFileKeepingBackup(g));
  EXPECT_EQ(Bytes("a.txt"), "\xFF\xFE");
  EXPECT_EQ(Bytes("a.bak"), "-abc\r\n");
  EXPECT_TRUE(DeleteFileKeepingBackup(f));
  EXPECT_FALSE(fs::exists(dir / "t.txt"));
  EXPECT_FALSE(DeleteFileKeepingBackup(f));
  EXPECT_EQ(CheckSumOfAFile(Put("sum", std::string("\x01\0\0\0\x02\0\0\0\x05", 9))), 3u);
  EXPECT_EQ(CheckSumOfAFile(Name("none")), 0u);
}

TEST_F(FileUtilsTest, DeletingNeedsAYesAndNeverARoot) {
  std::vector<UnicodeString> asked;
  int32_t answer = IDCANCEL;
  Global_MessageBoxHook = [&](const UnicodeString& text, const UnicodeString&, uint32_t) {
    asked.push_back(text);
    return answer;
  };
  Put("x1.txt", "1");
  Put("x2.txt", "2");
  Put("keep.dat", "3");
  DeleteAllFilesOn(u"/", u"*.txt");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], u"Won't delete all files on /");
  const UnicodeString folder = Utf8ToUtf16(dir.string());
  DeleteAllFilesOn(folder, u"*.txt");
  EXPECT_EQ(asked.back(), u"Delete all 2 *.txt files in " + folder + u"?");
  EXPECT_TRUE(fs::exists(dir / "x1.txt"));
  Global_MessageBoxHook = nullptr;  // no tool to ask: the safe answer keeps everything
  DeleteAllFilesOn(folder, u"*.txt");
  EXPECT_TRUE(fs::exists(dir / "x2.txt"));
  Global_MessageBoxHook = [&](const UnicodeString& text, const UnicodeString&, uint32_t) {
    asked.push_back(text);
    return answer;
  };
  answer = IDOK;
  fs::create_directories(dir / "bk");
  DeleteAllFilesOn(folder, u"*.txt", Utf8ToUtf16((dir / "bk").string()), true, false, false);
  EXPECT_FALSE(fs::exists(dir / "x1.txt"));
  EXPECT_EQ(Bytes("bk/x2.txt"), "2");
  EXPECT_TRUE(fs::exists(dir / "keep.dat"));
  EXPECT_TRUE(OKToDeleteFile(Name("keep.dat")));
  EXPECT_FALSE(fs::exists(dir / "keep.dat"));
}

TEST_F(FileUtilsTest, DatesFromAList) {
  Put("dates.txt", "a.txt\t1850\nb\t1901/2/3\n/x/c.txt\tnonsense\n");
  const std::vector<UnicodeString> files = {u"/corpus/a.txt", u"/other/b.txt", u"/x/c.txt", u"/y/d.txt"};
  std::vector<std::pair<int32_t, double>> told;
  TFileDateUpdater u([&](TObject*) { return static_cast<int32_t>(files.size()); },
                     [&](TObject*, int32_t n) { return files[static_cast<size_t>(n)]; },
                     [&](TObject*, int32_t n, double jd) { told.emplace_back(n, jd); });
  u.HandleAFileList(Name("dates.txt"));
  ASSERT_EQ(told.size(), 3u);
  EXPECT_DOUBLE_EQ(told[0].second, YearMonthDayToJulianAddingConst({1850, 7, 1}));
  EXPECT_DOUBLE_EQ(told[1].second, YearMonthDayToJulianAddingConst({1901, 2, 3}));
  EXPECT_DOUBLE_EQ(told[2].second, YearMonthDayToJulianAddingConst(AClearYearMonthDayRec()));
  u.SetOnTellAFileDate(nullptr);
  u.HandleAFileList(Name("dates.txt"));
  EXPECT_EQ(told.size(), 3u);
  const UnicodeString f = Put("d.txt", "x");
  EXPECT_FALSE(SetFileDate(f, u"7/3/2001"));
  EXPECT_FALSE(SetFileDate(f, TYearMonthDay{2001, 2, 30}));
  EXPECT_FALSE(SetFileDate(f, u"a", u"3", u"2001"));
  ASSERT_TRUE(SetFileDate(f, 9, 7, 3, 2001));
  EXPECT_NEAR(GetFileAge(f), EncodeDate(2001, 3, 7) + 9.0 / 24, 1e-6);
  const UnicodeString g = Put("e.txt", "y");
  EXPECT_TRUE(CopyDateOfFile(f, g));
  EXPECT_NEAR(GetFileAge(g), GetFileAge(f), 1e-6);
  EXPECT_FALSE(CopyFileRetainingDate(f, g, true));
  EXPECT_TRUE(CopyFileRetainingDate(f, Name("copy.txt")));
  EXPECT_EQ(Bytes("copy.txt"), "x");
}

TEST(Paths, NamesAndPlaceholders) {
  EXPECT_EQ(PathDelimiterCount(u"/a/b/c.txt"), 3);
  EXPECT_EQ(NameUpToXPathDelimiters(u"/a/b/c.txt", 3), u"/a/b");
  EXPECT_EQ(NameUpToXPathDelimiters(u"/a/b/c.txt", 4), u"");
  EXPECT_EQ(FileNameWithParentFolderOnly(u"/a/b/c.txt"), u"b/c.txt");
  EXPECT_EQ(CommonDrivePathElements(u"/Data/One/x", u"/data/onE/y"), u"/Data/One/");
  EXPECT_EQ(CommonDrivePathElements(u"/data/ab", u"/data/ac"), u"/data/");
  EXPECT_EQ(CommonDrivePathElements(u"abc", u"abd"), u"");
  EXPECT_EQ(CleanedUpFilename(u"C:\\x\\a:b?.txt"), u"ab.txt");
  EXPECT_EQ(CleanedUpFilename(u"/x/a\tb|<c>.txt"), u"abc.txt");
  EXPECT_EQ(FileFilterWithinFilterText(u"Text files (*.txt)"), u"*.txt");
  EXPECT_EQ(FileFilterWithinFilterText(u"All ( )"), u"*.*");
  EXPECT_EQ(FileFilterWithinFilterText(u" *.doc "), u"*.doc");
  EXPECT_EQ(ConvertedFilenameFromUserDirFName(u"/home/u/data", u"$userdir/lists/a.txt"), u"/home/u/data/lists/a.txt");
  EXPECT_EQ(ConvertedFilenameFromUserDirFName(u"/home/u/data", u"/plain/a.txt"), u"/plain/a.txt");
  const UnicodeString drive = ExtractFileDrive(ProgramFolder());
  EXPECT_EQ(ConvertedFilenameFromUserDirFName(ProgramFolder(), u"$user_drive/x.txt"), drive + u"/x.txt");
  EXPECT_EQ(ConvertedFilenameIfUserDrive(u"$user_drive/x.txt", false), drive + u"/x.txt");
  EXPECT_EQ(ConvertedFilenameIfUserDrive(drive + u"/x.txt", true), u"$user_drive/x.txt");
  TStringList names;
  names.Add(u"$userdir/a");
  names.Add(u"relative");
  CheckUserDirConstFolder(names, false);
  EXPECT_EQ(names[0], ProgramFolder() + u"a");
  EXPECT_EQ(names[1], u"relative");
  EXPECT_EQ(VolumeSerialNumberStr(u"/").size(), 9u);
}

TEST_F(FileUtilsTest, FoldersAndListings) {
  fs::create_directories(dir / "sub" / "deeper");
  Put("b.txt", "b");
  Put("a.txt", "a");
  Put(".hidden.txt", "h");
  Put("sub/c.txt", "c");
  Put("sub/d.dat", "d");
  const UnicodeString folder = Utf8ToUtf16(dir.string());
  const auto files = ListOfAllFilesIn(folder, u"*.txt");
  ASSERT_EQ(files->Count(), 2);
  EXPECT_EQ((*files)[0], folder + u"/a.txt");
  std::unique_ptr<TStringList> dirs, all;
  ListOfFilesAndDirs(folder, u"*.txt", true, dirs, all);
  EXPECT_EQ(dirs->Count(), 3);
  EXPECT_EQ((*dirs)[0], folder + u"/");
  EXPECT_EQ(all->Count(), 4);  // the hidden file counts here, as a directory search sees it
  EXPECT_TRUE(FolderIsEmpty(Utf8ToUtf16((dir / "sub" / "deeper").string())));
  EXPECT_FALSE(FolderIsEmpty(folder));
  EXPECT_TRUE(RemovedEmptyFolder(Utf8ToUtf16((dir / "sub" / "deeper").string())));
  EXPECT_FALSE(fs::exists(dir / "sub" / "deeper"));
  EXPECT_TRUE(RemovedEmptyFolder(folder));  // not empty: left, and true
  EXPECT_TRUE(IsDirectoryWriteable(folder));
  EXPECT_FALSE(fs::exists(dir / "chk.tmp"));
  EXPECT_FALSE(IsDirectoryWriteable(folder + u"/nothere"));
  EXPECT_EQ(FileSize(Name("a.txt")), 1);
  EXPECT_EQ(FileSize(Name("none")), -1);
  EXPECT_EQ(GetFileStatusOfAFile(Name("a.txt"), false), fs_exists);
  EXPECT_EQ(GetFileStatusOfAFile(Name("none"), false), fs_moved);
  EXPECT_EQ(GetFileStatusOfAFile(u"//server/share/a.txt", false), fs_unknown);
  EXPECT_TRUE(DriveAndFileExist(u"//server/share/a.txt", true, false));
  EXPECT_TRUE(DriveAndFolderExist(folder));
  EXPECT_FALSE(DriveAndFileExist(folder));
  EXPECT_EQ(FormattedFNAsParameter(Name("a.txt")), u"\"" + Name("a.txt") + u"\"");
  EXPECT_EQ(FileNameFromSuggestedOrExisting(Name("a.doc"), u"new.doc", u".txt"), Name("a.txt"));
  EXPECT_EQ(FileNameFromSuggestedOrExisting(Name("q.doc"), u"new.doc", u".txt"), u"new.txt");
  EXPECT_TRUE(TryToCopyFileToTEMP(Name("a.txt")));
  EXPECT_TRUE(fs::exists(dir / "KX8_TEMP" / "a.txt"));
  EXPECT_FALSE(DriveWithMostFreeSpace().empty() && fs::exists("/dev/root"));
}

}  // namespace
}  // namespace kx8
