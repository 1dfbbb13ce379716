#include "kx8rt/files/file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

TEST_F(FileUtilsTest, CorpusFileTexts) {
  UnicodeString text, note;
  EXPECT_TRUE(CorpusFileText(Put("a.html", "<p>caf\xE9</p> <b>x</b>"), 1252, 100, text, note));
  EXPECT_EQ(text, u"caf\u00e9 x");
  EXPECT_TRUE(CorpusFileText(Put("b.txt", std::string("\xFE\xFF\0a\0b", 6)), 0, 0, text, note));
  EXPECT_EQ(text, u"ab");
  EXPECT_TRUE(CorpusFileText(Utf8ToUtf16(std::string(KX8_TESTDATA_DIR) + "/sample.docx"), 0, 0, text, note));
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(CorpusFileText(Put("c.doc", "\xD0\xCF\x11\xE0rest of it"), 0, 0, text, note));
  EXPECT_FALSE(note.empty());
  EXPECT_FALSE(CorpusFileText(Put("d.zip", "PK\x03\x04not really"), 0, 0, text, note));
  EXPECT_FALSE(CorpusFileText(Name("missing.txt"), 0, 0, text, note));
  EXPECT_EQ(note, u"no such file");
  EXPECT_TRUE(CorpusFileText(Put("e.txt", ""), 0, 0, text, note));
  EXPECT_EQ(text, u"");
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
  EXPECT_THROW(InsertIntoFileW(Name("none.txt"), u"x", false, 1), EFOpenError);
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
