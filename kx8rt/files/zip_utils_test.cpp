#include "kx8rt/files/zip_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "kx8rt/platform/file_system.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

TEST(ZipNames, ArchiveExtensions) {
  const struct {
    const char16_t* name;
    bool zip;
    int32_t number;
  } cases[] = {
      {u"a.zip", true, -1},  {u"A.ZIP", true, -1},   {u"a.zip3", true, 3},  {u"/d/a.Zip17", true, 17},
      {u"a.zipx", false, -1}, {u"a.txt", false, -1}, {u"zip", false, -1},   {u"a.txt17", false, 17},
      {u"a.zip99999999999", false, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsAZipFile(c.name), c.zip) << Utf16ToUtf8(c.name);
    EXPECT_EQ(ZipFilePlusNumber(c.name), c.number) << Utf16ToUtf8(c.name);
  }
}

TEST(ZipNames, SplittingFullNames) {
  EXPECT_EQ(ZipFileFullFileName(u"/c/a.zip/d/e.txt", u""), u"/c/a.zip");
  EXPECT_EQ(ZipFileWantedFileNameWithin(u"/c/a.zip/d/e.txt", u""), u"d/e.txt");
  EXPECT_EQ(ZipFileFullFileName(u"/c/A.ZIP/e.txt", u""), u"/c/A.ZIP");
  EXPECT_EQ(ZipFileFullFileName(u"/c/a.txt", u""), u"");
  EXPECT_EQ(ZipFileWantedFileNameWithin(u"/c/a.txt", u""), u"");
  // Another marker only when ".zip/" is absent, and with case.
  EXPECT_EQ(ZipFileFullFileName(u"/c/b.jar/x.txt", u".jar/"), u"/c/b.jar");
  EXPECT_EQ(ZipFileWantedFileNameWithin(u"/c/b.jar/x.txt", u".jar/"), u"x.txt");
  EXPECT_EQ(ZipFileFullFileName(u"/c/b.JAR/x.txt", u".jar/"), u"");
  EXPECT_EQ(ZipFileFullFileName(u"/c/a.zip/b.jar/x", u".jar/"), u"/c/a.zip");
  EXPECT_TRUE(IsWithinAZipFile(u"/nowhere/a.zip/x.txt", u""));
  EXPECT_TRUE(IsWithinAZipFile(u"/nowhere/b.jar/x.txt", u".jar/"));
  EXPECT_FALSE(IsWithinAZipFile(u"/nowhere/b.jar/x.txt", u""));
}

TEST(ZipText, EntryBytesToText) {
  EXPECT_EQ(ZipEntryBytesToText("plain"), u"plain");
  EXPECT_EQ(ZipEntryBytesToText("caf\xC3\xA9"), u"caf\u00e9");
  EXPECT_EQ(ZipEntryBytesToText("caf\xE9"), u"caf\u00e9");  // not UTF-8: the 8-bit code page
  EXPECT_EQ(ZipEntryBytesToText(std::string("\xFF\xFE" "a\0b\0", 6)), u"ab");
  EXPECT_EQ(ZipEntryBytesToText(std::string("\xFE\xFF\0a\0b", 6)), u"ab");
  EXPECT_EQ(ZipEntryBytesToText("\xEF\xBB\xBFx"), u"x");
}

class ZipFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kx8_zip_utils_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "src");
    savedTemp = my_temp_path;
    my_temp_path = U(dir / "tmp");
    fs::create_directories(dir / "tmp");
  }
  void TearDown() override {
    my_temp_path = savedTemp;
    fs::permissions(dir / "src", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  static UnicodeString U(const fs::path& p) { return Utf8ToUtf16(p.string()); }
  UnicodeString Put(const std::string& name, const std::string& text) {
    std::ofstream(dir / "src" / name, std::ios::binary) << text;
    return U(dir / "src" / name);
  }
  UnicodeString MakeZip() {
    TStringList list;
    list.Add(Put("one.txt", "first text"));
    list.Add(Put("two.txt", "second\r\nline two"));
    const UnicodeString z = U(dir / "a.zip");
    EXPECT_TRUE(ZipASeriesOfFilesTo(list, z, zsp_no_path, false));
    return z;
  }
  fs::path dir;
  UnicodeString savedTemp;
};

TEST_F(ZipFiles, ReadingEntriesByNumberAndName) {
  const UnicodeString z = MakeZip();
  EXPECT_EQ(ContentsOfFileWithinZipFile(z, 1), u"first text");
  EXPECT_EQ(ContentsOfFileWithinZipFile(z, 2), u"second\r\nline two");
  EXPECT_THROW(ContentsOfFileWithinZipFile(z, 0), EZipError);
  EXPECT_THROW(ContentsOfFileWithinZipFile(z, 3), EZipError);
  EXPECT_EQ(ContentsOfFileWithinZipFile(z + u"/TWO.txt"), u"second\r\nline two");
  EXPECT_THROW(ContentsOfFileWithinZipFile(z + u"/three.txt"), EZipError);
  EXPECT_THROW(ContentsOfFileWithinZipFile(U(dir / "none.zip/one.txt")), EZipError);
  EXPECT_THROW(ContentsOfFileWithinZipFile(U(dir / "plain.txt")), EZipError);
  EXPECT_FALSE(IsWithinAZipFile(z, u""));  // the archive itself exists as a plain file
  EXPECT_TRUE(IsWithinAZipFile(z + u"/one.txt", u""));
}

TEST_F(ZipFiles, TempFileCopyOfAnEntry) {
  const UnicodeString z = MakeZip();
  const UnicodeString want = my_temp_path + u"/tempzip.txt";
  EXPECT_EQ(OpenedAZipFileToTempDir(z, 0), want);
  EXPECT_FALSE(FileExists(want));
  EXPECT_EQ(OpenedAZipFileToTempDir(z, 3), want);
  EXPECT_FALSE(FileExists(want));
  EXPECT_EQ(OpenedAZipFileToTempDir(z, 2), want);
  std::ifstream in(Utf16ToUtf8(want), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE" "s\0", 4));
  TStringList back;
  back.LoadFromFile(want);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Get(1), u"line two");
  // Only the fixed name is ever written: entry names never reach the file system.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "tmp"), fs::directory_iterator()), 1);
}

TEST_F(ZipFiles, SeriesWithDeletionAndPathModes) {
  TStringList list;
  list.Add(Put("x.txt", "x"));
  list.Add(Put("y.txt", "y"));
  const UnicodeString z = U(dir / "b.zip");
  std::ofstream(Utf16ToUtf8(z)) << "an older file of that name";
  EXPECT_TRUE(ZipASeriesOfFilesTo(list, z, zsp_full_path, true));
  EXPECT_FALSE(FileExists(list.Get(0)));
  EXPECT_FALSE(FileExists(list.Get(1)));
  TZipArchive a;
  a.Open(z);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Name(0), Copy(list.Get(0), 2));  // the whole path without its leading "/"
}

TEST_F(ZipFiles, UnreadableSourceRaisesAndDeletesNothing) {
  TStringList list;
  list.Add(Put("keep.txt", "keep"));
  list.Add(U(dir / "src" / "missing.txt"));
  const UnicodeString z = U(dir / "c.zip");
  std::ofstream(Utf16ToUtf8(z)) << "older";
  EXPECT_THROW(ZipASeriesOfFilesTo(list, z, zsp_no_path, true), EFOpenError);
  EXPECT_TRUE(FileExists(list.Get(0)));
  EXPECT_EQ(FileSizeByName(z), 5);  // the older archive is untouched too
  if (::geteuid() != 0) {
    TStringList locked;
    locked.Add(Put("locked.txt", "secret"));
    ::chmod(Utf16ToUtf8(locked.Get(0)).c_str(), 0);
    EXPECT_THROW(ZipASeriesOfFilesTo(locked, z, zsp_no_path, true), EFOpenError);
    EXPECT_TRUE(FileExists(locked.Get(0)));
  }
}

}  // namespace
}  // namespace kx8
