#include "kx8rt/platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class FileSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kx8_file_system_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
  }
  void TearDown() override { fs::remove_all(dir); }
  UnicodeString U(const std::string& name) const { return Utf8ToUtf16((dir / name).string()); }
  void Put(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
  std::map<std::string, int32_t> Find(const std::string& pattern, int32_t attr) {
    std::map<std::string, int32_t> found;
    TSearchRec sr;
    for (int32_t rc = FindFirst(U(pattern), attr, sr); rc == 0; rc = FindNext(sr)) found[Utf16ToUtf8(sr.Name)] = sr.Attr;
    FindClose(sr);
    return found;
  }
  fs::path dir;
};

TEST_F(FileSystem, AttributesAndFilter) {
  Put("a.txt", "abc");
  Put(".hidden.txt", "h");
  Put("B.TXT", "b");
  ASSERT_EQ(::mkfifo((dir / "pipe.txt").c_str(), 0600), 0);
  auto all = Find("*", faAnyFile);
  EXPECT_EQ(all.size(), 5u);  // "." and ".." are never reported
  EXPECT_EQ(all["a.txt"], faArchive);
  EXPECT_EQ(all[".hidden.txt"], faArchive | faHidden);
  EXPECT_EQ(all["pipe.txt"], faSysFile);
  EXPECT_EQ(all["sub"], faDirectory);
  auto plain = Find("*.txt", 0);  // hidden, system and folders only when asked for
  EXPECT_EQ(plain.size(), 2u);
  EXPECT_TRUE(plain.count("B.TXT"));  // patterns ignore case
  if (::geteuid() != 0) {
    ::chmod((dir / "a.txt").c_str(), 0444);
    EXPECT_EQ(FileGetAttr(U("a.txt")), faArchive | faReadOnly);
  }
  TSearchRec sr;
  EXPECT_EQ(FindFirst(U("*.none"), faAnyFile, sr), ENOENT);
  EXPECT_NE(FindFirst(U("missing/*"), faAnyFile, sr), 0);
  ASSERT_EQ(FindFirst(U("a.txt"), faAnyFile, sr), 0);
  EXPECT_EQ(sr.Size, 3);
  double dt = 0;
  EXPECT_TRUE(UnixTimeToLocalDateTime(sr.Time, dt));
  EXPECT_GT(dt, 40000.0);  // some time after 2009
}

// A folder is listed in byte order of its names, whatever order the file system keeps: names that
// share their first eight bytes or end within them, upper and lower case, bytes past 0x7F.
TEST_F(FileSystem, NamesComeInByteOrder) {
  std::vector<std::string> names = {"chapter_10.txt", "chapter_1.txt", "chapter_", "chapter", "chapter_2",
                                    "Chapter_1.txt", "chapter_100", "a", "ab", "abcdefgh", "abcdefghi",
                                    "abcdefgh0", "z\xC3\xA9", "z\xC3\xA8", "zz", "\xC3\xA9t\xC3\xA9", "_x", "0"};
  for (int i = 0; i < 300; ++i) names.push_back("t" + std::to_string(100000 + (i * 7919) % 1000));
  for (const std::string& n : names) Put(n, "x");
  std::vector<std::string> listed;
  TSearchRec sr;
  for (int32_t rc = FindFirst(U("*"), faAnyFile, sr, fk_files); rc == 0; rc = FindNext(sr))
    listed.push_back(Utf16ToNativeName(sr.Name));
  FindClose(sr);
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(listed, expected);
}

TEST_F(FileSystem, SearchKinds) {
  Put("a.txt", "abc");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_directories(dir / ".hid");
  fs::create_directory_symlink(dir / "sub", dir / "to_sub");
  fs::create_symlink(dir / "a.txt", dir / "to_a");
  fs::create_symlink(dir / "nowhere", dir / "dead");
  using Found = std::map<std::string, int32_t>;
  auto find = [&](int32_t attr, TFindKind kind) {
    Found found;
    TSearchRec sr;
    for (int32_t rc = FindFirst(U("*"), attr, sr, kind); rc == 0; rc = FindNext(sr)) {
      found[Utf16ToUtf8(sr.Name)] = sr.Attr;
      if (sr.Name == u"to_a") {
        EXPECT_EQ(sr.Size, 3);  // links are examined through
      }
    }
    return found;
  };
  EXPECT_EQ(find(faAnyFile, fk_any).size(), 7u);
  EXPECT_EQ(find(faAnyFile, fk_folders), (Found{{".hid", faDirectory | faHidden}, {"sub", faDirectory}, {"to_sub", faDirectory}}));
  EXPECT_EQ(find(faDirectory, fk_folders), (Found{{"sub", faDirectory}, {"to_sub", faDirectory}}));
  EXPECT_EQ(find(faAnyFile, fk_files),
            (Found{{"a.txt", faArchive}, {"dead", faSysFile}, {"pipe", faSysFile}, {"to_a", faArchive}}));
  EXPECT_EQ(find(0, fk_files), (Found{{"a.txt", faArchive}, {"to_a", faArchive}}));
  EXPECT_TRUE(find(0, fk_folders).empty());  // folders are still only returned when asked for
  TSearchRec sr;
  EXPECT_EQ(FindFirst(U("a.txt"), faAnyFile, sr, fk_folders), ENOENT);
  EXPECT_EQ(FindFirst(U("sub"), faAnyFile, sr, fk_files), ENOENT);
}

TEST_F(FileSystem, SearchesGiveBackTheFolderTheyHold) {
  for (const char* name : {"f0", "f1", "f2", "f3", "f4"}) Put(name, "x");
  auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
  {
    TSearchRec finished, closed, abandoned, copied;
    for (int32_t rc = FindFirst(U("*"), faAnyFile, finished); rc == 0; rc = FindNext(finished)) {
    }
    ASSERT_EQ(FindFirst(U("*"), faAnyFile, closed), 0);
    FindClose(closed);
    ASSERT_EQ(FindFirst(U("*"), faAnyFile, abandoned), 0);
    ASSERT_EQ(FindFirst(U("*"), faAnyFile, copied), 0);
    TSearchRec copy = copied;  // a copy goes on with the same search
    FindClose(copied);
    ASSERT_EQ(FindNext(copy), 0);
    EXPECT_EQ(copy.Name, u"f1");
  }
  EXPECT_EQ(openFiles(), before);
}

TEST_F(FileSystem, CopyMoveDelete) {
  Put("src.txt", "data");
  EXPECT_TRUE(CopyFile(U("src.txt"), U("dst.txt"), true));
  EXPECT_FALSE(CopyFile(U("src.txt"), U("dst.txt"), true));
  EXPECT_TRUE(CopyFile(U("src.txt"), U("dst.txt"), false));
  EXPECT_FALSE(CopyFile(U("none.txt"), U("x.txt"), false));
  EXPECT_FALSE(FileExists(U("x.txt")));
  EXPECT_EQ(FileSizeByName(U("dst.txt")), 4);
  EXPECT_TRUE(RenameFile(U("dst.txt"), U("sub/moved.txt")));
  EXPECT_TRUE(FileExists(U("sub/moved.txt")));
  EXPECT_FALSE(DeleteFile(U("sub")));  // not a folder
  EXPECT_TRUE(DeleteFile(U("sub/moved.txt")));
  EXPECT_FALSE(DeleteFile(U("sub/moved.txt")));
  EXPECT_TRUE(ForceDirectories(U("x/y/z/")));
  EXPECT_TRUE(DirectoryExists(U("x/y/z")));
  EXPECT_FALSE(FileExists(U("x/y")));
  EXPECT_TRUE(RemoveDir(U("x/y/z")));
  EXPECT_EQ(GetTempDirectory().back(), u'/');
}

TEST(PathNames, Parts) {
  EXPECT_EQ(ExtractFileName(u"/a/b.c/d.txt"), u"d.txt");
  EXPECT_EQ(ExtractFilePath(u"/a/b.c/d.txt"), u"/a/b.c/");
  EXPECT_EQ(ExtractFileExt(u"/a/b.c/d"), u"");  // a dot of the folder is not the extension
  EXPECT_EQ(ExtractFileExt(u"/a/d.tar.gz"), u".gz");
  EXPECT_EQ(ChangeFileExt(u"/a.b/c", u".x"), u"/a.b/c.x");
  EXPECT_EQ(ChangeFileExt(u"c.types", u".types_bak"), u"c.types_bak");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a"), u"/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a/"), u"/a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/"), u"/");
}

}  // namespace
}  // namespace kx8
