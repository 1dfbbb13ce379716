#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kx8rt/files/file_utils.h"
#include "kx8rt/platform/file_system.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class FurtherFileRoutines : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kx8_fur_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  // Writes text to a file below dir, making its folders.
  UnicodeString Put(const std::string& rel, const std::string& text = "x") {
    fs::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
    return Name(rel);
  }
  void Folder(const std::string& rel) { fs::create_directories(dir / rel); }
  UnicodeString Name(const std::string& rel) { return Utf8ToUtf16((dir / rel).string()); }
  UnicodeString Root() { return Utf8ToUtf16(dir.string()); }
  std::string Read(const std::string& rel) {
    std::ifstream f(dir / rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  std::vector<std::string> Lines(const TStringList& l) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < l.Count(); ++i) out.push_back(Utf16ToUtf8(l[i]));
    return out;
  }
  fs::path dir;
};

TEST(FurtherPathRoutines, RemoveDotsFromFilenameKeepsExtensionAndFolder) {
  struct Case { const char16_t* in; const char16_t* out; };
  const Case cases[] = {
      {u"/corpus/v1.2.final.txt", u"/corpus/v12final.txt"},
      {u"/a.b/c.d/name.txt", u"/a.b/c.d/name.txt"},  // dots of folders stay
      {u"/a.b/noext", u"/a.b/noext"},
      {u"x.y.z", u"xy.z"},
      {u"/data/.profile", u"/data/.profile"},  // the only dot starts the extension
      {u"a..b.txt", u"ab.txt"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(RemoveDotsFromFilename(c.in), c.out) << Utf16ToUtf8(c.in);
}

TEST(FurtherPathRoutines, FolderWithPatternJoinsWithOneDelimiter) {
  EXPECT_EQ(FolderWithPattern(u"/texts", u"*.txt"), u"/texts/*.txt");
  EXPECT_EQ(FolderWithPattern(u"/texts/", u"/*.txt"), u"/texts/*.txt");
  EXPECT_EQ(FolderWithPattern(u"/texts/", u""), u"/texts/*");
}

TEST(FurtherPathRoutines, SortListOfFilesGroupsEachFolder) {
  TStringList l;
  l.SetUseLocale(false);
  // Plain text order would put "a/b-x.txt" between the files of "a/b/".
  for (const char16_t* s : {u"/a/b/z.txt", u"/a/b-x.txt", u"/a/b/c.txt", u"/a/z.txt", u"/a/B.txt"}) l.Add(s);
  l.SetSorted(true);
  SortListOfFiles(l);
  EXPECT_FALSE(l.Sorted());
  const std::vector<std::string> want = {"/a/b-x.txt", "/a/B.txt", "/a/z.txt", "/a/b/c.txt", "/a/b/z.txt"};
  std::vector<std::string> got;
  for (int32_t i = 0; i < l.Count(); ++i) got.push_back(Utf16ToUtf8(l[i]));
  EXPECT_EQ(got, want);
}

TEST_F(FurtherFileRoutines, RemoveAllEmptyFoldersKeepsFoldersWithFiles) {
  Folder("e1/e2/e3");             // nested empty: all three go
  Put("keep/f.txt");              // a file keeps its folder
  Folder("keep/empty");           // an empty folder inside a kept one goes
  Put("deep/x/y/f.txt");          // a file deep down keeps every folder above it
  Folder("deep/x/z");
  EXPECT_EQ(RemoveAllEmptyFolders(Root()), 5);
  EXPECT_FALSE(fs::exists(dir / "e1"));
  EXPECT_FALSE(fs::exists(dir / "keep/empty"));
  EXPECT_FALSE(fs::exists(dir / "deep/x/z"));
  EXPECT_TRUE(fs::exists(dir / "keep/f.txt"));
  EXPECT_TRUE(fs::exists(dir / "deep/x/y/f.txt"));
  EXPECT_TRUE(fs::exists(dir));  // the folder itself stays even when emptied
  EXPECT_EQ(RemoveAllEmptyFolders(Root()), 0);
  EXPECT_EQ(RemoveAllEmptyFolders(Name("missing")), 0);
}

TEST_F(FurtherFileRoutines, CopyOrMoveRetainsStructureAndNeverOverwrites) {
  const UnicodeString src = Put("from/sub/deeper/t.txt", "original");
  ASSERT_TRUE(SetFileDate(src, 1, 2, 2003));
  const TDateTime date = GetFileAge(src);
  ASSERT_TRUE(CopyOrMoveAFileRetainingDirStructure(src, Name("from"), Name("to/new"), false));
  EXPECT_EQ(Read("to/new/sub/deeper/t.txt"), "original");
  EXPECT_DOUBLE_EQ(GetFileAge(Name("to/new/sub/deeper/t.txt")), date);
  EXPECT_TRUE(fs::exists(dir / "from/sub/deeper/t.txt"));

  // A second copy or a move onto the existing target is refused and leaves both files as they were.
  Put("from/sub/deeper/t.txt", "changed");
  EXPECT_FALSE(CopyOrMoveAFileRetainingDirStructure(src, Name("from/"), Name("to/new/"), false));
  EXPECT_FALSE(CopyOrMoveAFileRetainingDirStructure(src, Name("from"), Name("to/new"), true));
  EXPECT_EQ(Read("to/new/sub/deeper/t.txt"), "original");
  EXPECT_EQ(Read("from/sub/deeper/t.txt"), "changed");

  ASSERT_TRUE(CopyOrMoveAFileRetainingDirStructure(src, Name("from"), Name("moved"), true));
  EXPECT_FALSE(fs::exists(dir / "from/sub/deeper/t.txt"));
  EXPECT_EQ(Read("moved/sub/deeper/t.txt"), "changed");
}

TEST_F(FurtherFileRoutines, CopyOrMoveRefusesFilesOutsideTheRoot) {
  const UnicodeString f = Put("a/f.txt");
  Put("ab/g.txt");
  EXPECT_FALSE(CopyOrMoveAFileRetainingDirStructure(f, Name("b"), Name("to"), false));
  // "ab" is not below "a".
  EXPECT_FALSE(CopyOrMoveAFileRetainingDirStructure(Name("ab/g.txt"), Name("a"), Name("to"), false));
  EXPECT_FALSE(CopyOrMoveAFileRetainingDirStructure(Name("a/../ab/g.txt"), Name("a"), Name("to"), false));
  EXPECT_FALSE(CopyOrMoveAFileRetainingDirStructure(Name("a/none.txt"), Name("a"), Name("to"), false));
  EXPECT_FALSE(fs::exists(dir / "to"));
}

TEST_F(FurtherFileRoutines, NewSubFolderFromNeverReusesAFolder) {
  EXPECT_EQ(NewSubFolderFrom(Root(), u"out"), Name("out/"));
  EXPECT_EQ(NewSubFolderFrom(Root(), u"out"), Name("out_2/"));
  EXPECT_EQ(NewSubFolderFrom(Root() + u"/", u"out"), Name("out_3/"));
  EXPECT_TRUE(fs::is_directory(dir / "out_3"));
  EXPECT_EQ(NewSubFolderFrom(Name("missing"), u"out"), u"");
  EXPECT_EQ(NewSubFolderFrom(Root(), u"a/b"), u"");
  EXPECT_EQ(NewSubFolderFrom(Root(), u".."), u"");
}

TEST_F(FurtherFileRoutines, SameFolderAndSameHead) {
  Folder("corpus/sub");
  Folder("other");
  fs::create_directory_symlink(dir / "corpus", dir / "link");
  EXPECT_TRUE(FolderProposedIsOriginalFolder(Name("corpus/"), Name("corpus")));
  EXPECT_TRUE(FolderProposedIsOriginalFolder(Name("corpus/sub/.."), Name("corpus")));
  EXPECT_TRUE(FolderProposedIsOriginalFolder(Name("link"), Name("corpus")));
  EXPECT_TRUE(FolderProposedIsOriginalFolder(Name("new/x/.."), Name("new/")));  // neither exists yet
  EXPECT_FALSE(FolderProposedIsOriginalFolder(Name("corpus/sub"), Name("corpus")));
  EXPECT_FALSE(FolderProposedIsOriginalFolder(u"", Name("corpus")));

  EXPECT_TRUE(FoldersFromSameHead(Name("corpus"), Name("corpus/sub")));
  EXPECT_TRUE(FoldersFromSameHead(Name("corpus/sub/"), Name("corpus")));
  EXPECT_TRUE(FoldersFromSameHead(Name("link/sub"), Name("corpus")));
  EXPECT_FALSE(FoldersFromSameHead(Name("corpus"), Name("other")));
  EXPECT_FALSE(FoldersFromSameHead(Name("corpus"), Name("corpus2")));
  EXPECT_FALSE(FoldersFromSameHead(Name("corpus"), u""));
}

TEST_F(FurtherFileRoutines, ListOfAllFilesMatchingExtIgnoresCase) {
  Put("a.txt");
  Put("B.TXT");
  Put("c.Txt");
  Put("d.text");
  Put("e.txt.bak");
  Put(".hidden.txt");
  Put("noext");
  Put("sub/f.txt");
  const std::string r = dir.string();
  EXPECT_EQ(Lines(*ListOfAllFilesMatchingExt(Root(), u"txt", false)),
            (std::vector<std::string>{r + "/a.txt", r + "/B.TXT", r + "/c.Txt"}));
  EXPECT_EQ(Lines(*ListOfAllFilesMatchingExt(Root(), u".TXT", true)),
            (std::vector<std::string>{r + "/a.txt", r + "/B.TXT", r + "/c.Txt", r + "/sub/f.txt"}));
  EXPECT_EQ(Lines(*ListOfAllFilesMatchingExt(Root(), u"", false)), std::vector<std::string>{r + "/noext"});
  EXPECT_EQ(ListOfAllFilesMatchingExt(Name("missing"), u"txt", true)->Count(), 0);
}

TEST_F(FurtherFileRoutines, VolumesOfLocalPaths) {
  // The test folder is on a local file system, so no network volume holds it.
  EXPECT_EQ(NetworkVolume(Root()), u"");
  EXPECT_FALSE(VolumeID(Root()).empty());
  EXPECT_EQ(VolumeID(Name("a/not/yet/there")), VolumeID(Root()));  // the volume that would hold it
  EXPECT_EQ(NetworkVolume(u"//server/share/dir/f.txt"), u"//server/share");
  EXPECT_EQ(NetworkVolume(u"\\\\server\\share\\f.txt"), u"//server/share");
  EXPECT_EQ(NumberOfNetworkDrives(), AllNetworkDrives()->Count());
  const auto net = AllNetworkDrives();
  for (int32_t i = 0; i < net->Count(); ++i) EXPECT_EQ(NetworkVolume(net->Names(i)), net->Values(net->Names(i)));
}

}  // namespace
}  // namespace kx8
