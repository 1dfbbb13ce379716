#include "kx8rt/files/perusedir.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kx8rt/containers/base_lists.h"
#include "kx8rt/files/zip_utils.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

UnicodeString U(const fs::path& p) { return Utf8ToUtf16(p.string()); }

// A walker with the usual defaults; tests change what they need.
struct Opts {
  UnicodeString files = u"*.txt";
  UnicodeString dirs = u"*";
  UnicodeString zipmask = u"*.txt";
  UnicodeString exclDirs;
  UnicodeString exclExts;
  bool macos = true, zips = false, zipAsFile = false, system = false, hiddenFiles = false, hiddenDirs = false;
  TPeruseDir Make() const {
    return TPeruseDir(files, dirs, zipmask, exclDirs, exclExts, macos, zips, zipAsFile, system, hiddenFiles,
                      hiddenDirs);
  }
};

std::vector<std::string> Names(const TMySearchRecList& l) {
  std::vector<std::string> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(Utf16ToUtf8(l.GetAMySearchRec(i).ShortName));
  return v;
}

class Peruse : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("kx8_peruse_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    global_panic_state = panic_no_panic;
  }
  void TearDown() override {
    global_panic_state = panic_no_panic;
    fs::remove_all(root);
  }
  void Put(const fs::path& rel, const std::string& text) {
    fs::create_directories((root / rel).parent_path());
    std::ofstream(root / rel, std::ios::binary) << text;
  }
  // An archive of the named texts, entries in the order given.
  void Zip(const fs::path& rel, const std::vector<std::pair<std::string, std::string>>& entries) {
    const fs::path staging = root / "staging";
    fs::create_directories(staging);
    std::vector<UnicodeString> files;
    for (const auto& [name, text] : entries) {
      fs::create_directories((staging / name).parent_path());
      std::ofstream(staging / name, std::ios::binary) << text;
      files.push_back(U(staging / name));
    }
    TZipArchive z;
    z.CreateArchive(U(root / rel), files, zsp_relative_path, U(staging));
    fs::remove_all(staging);
  }
  fs::path root;
};

TEST_F(Peruse, MaskPiecesInOrderAndTwice) {
  Put("b.htm", "");
  Put("a.txt", "");
  Put("c.txt", "");
  Put("notes", "");
  Opts o;
  o.files = u"*.htm;*.txt;;a.*";
  TPeruseDir p = o.Make();
  TMySearchRecList list;
  EXPECT_TRUE(p.HandleAllFilesIn(U(root), &list));
  const auto n = Names(list);
  ASSERT_EQ(n.size(), 4u);
  EXPECT_EQ(n[0], "b.htm");  // every .htm before any .txt
  EXPECT_EQ(std::count(n.begin(), n.end(), "a.txt"), 2);  // matched by two pieces
  EXPECT_EQ(n[3], "a.txt");
  const TMySearchRec r = list.GetAMySearchRec(0);
  EXPECT_EQ(r.Number_Within_Zip, 0);
  EXPECT_EQ(r.Attr, faArchive);
  EXPECT_GT(r.DateTime, 40000.0);
}

// A large folder handed on while it is listed: batches of the size asked for, taken in the order the
// whole list has, the rest left in the list at the end.
TEST_F(Peruse, ListedInBatchesInTheOrderOfTheWholeList) {
  for (int i = 0; i < 150; ++i) Put("f" + std::to_string(1000 + i) + ".txt", "");
  Put("skip.htm", "");
  Opts o;
  o.files = u"*.txt;f100*";
  TMySearchRecList whole;
  TPeruseDir all = o.Make();
  ASSERT_TRUE(all.HandleAllFilesIn(U(root), &whole));
  ASSERT_EQ(whole.Count(), 160);  // f1000..f1009 twice

  for (int32_t batch : {1, 64, 160, 500}) {
    TPeruseDir p = o.Make();
    std::vector<std::string> taken;
    std::vector<int32_t> sizes;
    p.listed_batch = batch;
    p.OnListed = [&](TMySearchRecList& l) {
      sizes.push_back(l.Count());
      for (const std::string& n : Names(l)) taken.push_back(n);
      l.Clear();
    };
    TMySearchRecList rest;
    EXPECT_TRUE(p.HandleAllFilesIn(U(root), &rest));
    for (const std::string& n : Names(rest)) taken.push_back(n);
    EXPECT_EQ(taken, Names(whole)) << batch;
    EXPECT_EQ(sizes.size(), static_cast<size_t>(160 / batch)) << batch;
    for (int32_t n : sizes) EXPECT_EQ(n, batch);
    EXPECT_EQ(rest.Count(), 160 % batch) << batch;
  }
}

TEST_F(Peruse, ZipEntriesNumberedFromOneAndArchiveSkipped) {
  Put("plain.txt", "p");
  Zip("a.zip", {{"one.txt", "1"}, {"skip.dat", "x"}, {"in/two.txt", "22"}});
  for (bool asFile : {false, true}) {
    Opts o;
    o.files = u"*.txt;*.zip";
    o.zips = true;
    o.zipAsFile = asFile;
    TPeruseDir p = o.Make();
    int started = 0, done = 0;
    p.OnZipStartReading = [&](const UnicodeString&) { ++started; };
    p.OnDoneZipReading = [&](int32_t n) { done = n; };
    TMySearchRecList list;
    EXPECT_TRUE(p.HandleAllFilesIn(U(root) + u"/", &list));
    const auto n = Names(list);
    ASSERT_EQ(n.size(), asFile ? 4u : 3u);
    const std::string zip = (root / "a.zip").string();
    EXPECT_EQ(n[0], zip + "/one.txt");
    EXPECT_EQ(list.GetAMySearchRec(0).Number_Within_Zip, 1);
    EXPECT_EQ(n[1], zip + "/in/two.txt");
    EXPECT_EQ(list.GetAMySearchRec(1).Number_Within_Zip, 3);
    EXPECT_EQ(list.GetAMySearchRec(1).Size, 2);
    EXPECT_EQ(n[2], "plain.txt");
    if (asFile) {
      EXPECT_EQ(n[3], "a.zip");
    }
    EXPECT_EQ(p.TotalFilesInZips(), 2);
    EXPECT_EQ(p.ZipsExamined(), 1);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(done, 1);
    // The names the walk gives read back through the archive routines.
    EXPECT_EQ(ContentsOfFileWithinZipFile(list.GetAMySearchRec(1).ShortName), u"22");
    EXPECT_EQ(ContentsOfFileWithinZipFile(U(root / "a.zip"), list.GetAMySearchRec(1).Number_Within_Zip), u"22");
  }
}

TEST_F(Peruse, SearchingTheZipMatchesTheUnzippedFolder) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"a.txt", "the cat sat on the mat"}, {"d/b.txt", "The other cat"}, {"c.txt", "no felines here"}};
  for (const auto& [name, text] : texts) Put(fs::path("unzipped") / name, text);
  Zip("corpus.zip", texts);
  auto hits = [](const UnicodeString& text) {
    int n = 0;
    for (size_t at = text.find(u"cat"); at != UnicodeString::npos; at = text.find(u"cat", at + 1)) ++n;
    return n;
  };
  Opts o;
  o.zips = true;
  int folderHits = 0, zipHits = 0;
  TPeruseDir p = o.Make();
  TMySearchRecList list;
  p.OnFoundDir = [&](const UnicodeString& d) { p.HandleAllFilesIn(d, &list); };
  p.HandleAllFilesIn(U(root / "unzipped"), &list);
  p.ProcessAllSubDirectories(U(root / "unzipped"));
  p.HandleAllFilesIn(U(root), &list);
  ASSERT_EQ(list.Count(), 6);
  TStringList folderNames;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TMySearchRec r = list.GetAMySearchRec(i);
    if (r.Number_Within_Zip > 0) {
      zipHits += hits(ContentsOfFileWithinZipFile(r.ShortName));
    } else {
      folderNames.Add(r.ShortName);
    }
  }
  for (const auto& [name, text] : texts) folderHits += hits(Utf8ToUtf16(text));
  EXPECT_EQ(folderNames.Count(), 3);
  EXPECT_EQ(zipHits, 2);
  EXPECT_EQ(zipHits, folderHits);
}

TEST_F(Peruse, IgnoredFiles) {
  Put("a.txt", "");
  Put(".hidden.txt", "");
  Put("._mac.txt", "");
  Put("prog.EXE", "");
  Put("README", "");
  ASSERT_EQ(::mkfifo((root / "pipe.txt").c_str(), 0600), 0);
  const struct {
    UnicodeString files;
    bool system, hidden, macos;
    std::vector<std::string> want;
  } cases[] = {
      {u"*.txt", false, false, true, {"a.txt"}},
      {u"*.txt", true, false, true, {"a.txt", "pipe.txt"}},  // the FIFO has only the system bit
      {u"*.txt", false, true, true, {".hidden.txt", "a.txt"}},
      {u"*.txt", false, true, false, {"._mac.txt", ".hidden.txt", "a.txt"}},
      {u"*", false, false, true, {"README", "a.txt"}},  // .EXE excluded (no case); no dot, no extension
  };
  for (const auto& c : cases) {
    Opts o;
    o.files = c.files;
    o.system = c.system;
    o.hiddenFiles = c.hidden;
    o.macos = c.macos;
    o.exclExts = u".exe";
    TPeruseDir p = o.Make();
    TMySearchRecList list;
    p.HandleAllFilesIn(U(root), &list);
    list.SetSort(sr_sort_by_name);
    auto n = Names(list);
    std::sort(n.begin(), n.end());
    EXPECT_EQ(n, c.want) << Utf16ToUtf8(c.files) << c.system << c.hidden << c.macos;
  }
}

TEST_F(Peruse, VetoAndNilList) {
  Put("a.txt", "");
  Put("b.txt", "");
  TPeruseDir p = Opts().Make();
  int asked = 0;
  p.OnCheckFileAcceptable = [&](const TMySearchRec&, bool inZip) {
    EXPECT_FALSE(inZip);
    ++asked;
    return false;
  };
  TMySearchRecList list;
  EXPECT_FALSE(p.HandleAllFilesIn(U(root), &list));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(asked, 2);
  p.OnCheckFileAcceptable = nullptr;
  EXPECT_TRUE(p.HandleAllFilesIn(U(root), nullptr));  // counts without collecting
  EXPECT_FALSE(p.HandleAllFilesIn(U(root / "missing"), &list));
}

TEST_F(Peruse, StopStates) {
  Put("a.txt", "");
  Put("b.txt", "");
  Put("c.txt", "");
  Zip("z.zip", {{"e.txt", "e"}});
  for (Tpanic_mode mode : {panic_stop_at_EOF, panic_stop_asap}) {
    global_panic_state = panic_no_panic;
    Opts o;
    o.zips = true;
    TPeruseDir p = o.Make();
    p.OnCheckFileAcceptable = [&](const TMySearchRec&, bool inZip) {
      if (!inZip) global_panic_state = mode;
      return true;
    };
    TMySearchRecList list;
    p.HandleAllFilesIn(U(root), &list);
    // The zip pass ran before the stop; the file pass goes on only for a stop at the end of the file.
    EXPECT_EQ(list.Count(), mode == panic_stop_at_EOF ? 4 : 2) << mode;
    global_panic_state = mode;
    TMySearchRecList after;
    p.HandleAllFilesIn(U(root), &after);
    EXPECT_EQ(after.Count(), mode == panic_stop_at_EOF ? 3 : 0) << mode;  // no zip pass once stopping
  }
}

TEST_F(Peruse, BrokenArchiveIsPassedOverKeepingWhatWasCollected) {
  Put("a.txt", "");
  Put("b.zip", "PK\x03\x04 this is no archive");
  Opts o;
  o.zips = true;
  TPeruseDir p = o.Make();
  TMySearchRecList list;
  TMySearchRec kept;
  kept.ShortName = u"earlier";
  list.AddRec(kept);
  EXPECT_TRUE(p.HandleAllFilesIn(U(root), &list));
  ASSERT_EQ(list.Count(), 2);  // what was there, and the folder's text after the archive
  EXPECT_EQ(list.GetAMySearchRec(0).ShortName, u"earlier");
  EXPECT_EQ(list.GetAMySearchRec(1).ShortName, u"a.txt");
}

TEST_F(Peruse, SubFoldersDepthFirstWithExclusions) {
  for (const char* d : {"x/temp/deep", "x/temporary/deep", "x/.git/objects", "y", "x/old"}) fs::create_directories(root / d);
  Opts o;
  o.exclDirs = u"temp;old";
  TPeruseDir p = o.Make();
  EXPECT_EQ(p.DirExcludeMasks(), (std::vector<UnicodeString>{u"*/temp", u"*/old"}));
  std::vector<std::string> found;
  p.OnFoundDir = [&](const UnicodeString& d) { found.push_back(Utf16ToUtf8(d).substr(root.string().size())); };
  p.ProcessAllSubDirectories(U(root));
  std::vector<std::string> want = {"/x", "/x/temporary", "/x/temporary/deep", "/y"};
  std::vector<std::string> sorted = found;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, want);
  // Each folder comes before its own sub-folders.
  const auto at = [&](const char* s) { return std::find(found.begin(), found.end(), s) - found.begin(); };
  EXPECT_LT(at("/x"), at("/x/temporary"));
  EXPECT_LT(at("/x/temporary"), at("/x/temporary/deep"));
  EXPECT_EQ(p.SubDirsFound(), 4);
}

TEST_F(Peruse, LinkToAnAncestorIsNotFollowed) {
  fs::create_directories(root / "a/b");
  fs::create_directory_symlink(root / "a", root / "a/b/up");
  fs::create_directory_symlink(root / "a/b", root / "side");  // another way in, not a loop
  std::vector<std::string> found;
  TPeruseDir p = Opts().Make();
  p.OnFoundDir = [&](const UnicodeString& d) { found.push_back(Utf16ToUtf8(d).substr(root.string().size())); };
  p.ProcessAllSubDirectories(U(root));
  std::sort(found.begin(), found.end());
  // Through "side" the walk may go down to "up" (not an ancestor on that path), but never round again.
  EXPECT_EQ(found, (std::vector<std::string>{"/a", "/a/b", "/side", "/side/up"}));
}

TEST_F(Peruse, EachSearchSeesItsOwnKindOfEntry) {
  // Folders named like texts and archives, links to a folder and to a text, a link to nothing and a
  // FIFO: the folder walk enters the folders (links included), the file search takes the texts.
  Put("top.txt", "12345");
  Put("d.txt/inner.txt", "1");
  Put("arch.zip/in_folder.txt", "12");
  Put("real/r.txt", "123");
  fs::create_directory_symlink(root / "real", root / "via");
  fs::create_symlink(root / "top.txt", root / "alias.txt");
  fs::create_symlink(root / "nowhere", root / "dead.txt");
  ASSERT_EQ(::mkfifo((root / "real/pipe.txt").c_str(), 0600), 0);
  Zip("z.zip", {{"e.txt", "e"}});
  for (const bool system : {false, true}) {
    Opts o;
    o.zips = true;
    o.system = system;
    TPeruseDir p = o.Make();
    std::vector<std::string> folders, files;
    auto collect = [&](const UnicodeString& d) {
      TMySearchRecList list;
      p.HandleAllFilesIn(d, &list);
      for (int32_t i = 0; i < list.Count(); ++i) {
        const TMySearchRec r = list.GetAMySearchRec(i);
        std::string name = Utf16ToUtf8(r.ShortName);
        if (r.Number_Within_Zip == 0) name = Utf16ToUtf8(d).substr(root.string().size()) + "/" + name;
        else name = name.substr(root.string().size());
        files.push_back(name + ":" + std::to_string(r.Size));
      }
    };
    p.OnFoundDir = [&](const UnicodeString& d) {
      folders.push_back(Utf16ToUtf8(d).substr(root.string().size()));
      collect(d);
    };
    collect(U(root));
    p.ProcessAllSubDirectories(U(root));
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(folders, (std::vector<std::string>{"/arch.zip", "/d.txt", "/real", "/via"}));
    std::vector<std::string> want = {"/alias.txt:5",       "/arch.zip/in_folder.txt:2", "/d.txt/inner.txt:1",
                                     "/real/r.txt:3",      "/top.txt:5",                "/via/r.txt:3",
                                     "/z.zip/e.txt:1"};
    if (system) {
      // A link to nothing (examined itself: its size is its target's name) and a FIFO carry only the
      // system bit.
      want.push_back("/dead.txt:" + std::to_string(fs::read_symlink(root / "dead.txt").string().size()));
      want.push_back("/real/pipe.txt:0");
      want.push_back("/via/pipe.txt:0");
      std::sort(want.begin(), want.end());
    }
    EXPECT_EQ(files, want) << system;
    EXPECT_EQ(p.ZipsExamined(), 1);  // the folder named like an archive is not opened as one
  }
}

TEST_F(Peruse, SubFolderStopStates) {
  for (const char* d : {"a/a1", "a/a2", "b/b1", "c"}) fs::create_directories(root / d);
  for (Tpanic_mode mode : {panic_stop_at_EOF, panic_stop_asap}) {
    global_panic_state = panic_no_panic;
    TPeruseDir p = Opts().Make();
    int reported = 0;
    p.OnFoundDir = [&](const UnicodeString&) {
      ++reported;
      global_panic_state = mode;
    };
    p.ProcessAllSubDirectories(U(root));
    // At the end of a file: the folder in hand is finished, its descent included (one sub-folder),
    // and no further match is taken; as soon as possible: nothing more at all.
    EXPECT_EQ(reported, mode == panic_stop_at_EOF ? 2 : 1) << mode;
  }
}

TEST(SearchRecList, FindAndSort) {
  TMySearchRecList l;
  auto rec = [](const char16_t* n, int32_t size, double dt) {
    TMySearchRec r;
    r.ShortName = n;
    r.Size = size;
    r.DateTime = dt;
    return r;
  };
  l.AddRec(rec(u"b.TXT", 10, 2));
  l.AddRec(rec(u"a.txt", 10, 1));
  l.AddRec(rec(u"C.htm", 5, 3));
  l.AddRec(rec(u"a.txt", 10, 1));
  EXPECT_EQ(l.Find(rec(u"a.txt", 10, 1)), 1);  // unsorted: the first equal record
  EXPECT_EQ(l.Find(rec(u"A.TXT", 10, 1)), -1);  // names compare with case here
  l.SetSort(sr_sort_by_size);
  EXPECT_EQ(l.CurrentSort(), sr_sort_by_size);
  EXPECT_EQ(l.GetAMySearchRec(0).ShortName, u"C.htm");
  const int32_t i = l.Find(rec(u"b.TXT", 10, 2));  // equal sizes: the linear fall-back finds it
  ASSERT_GE(i, 0);
  EXPECT_EQ(l.GetAMySearchRec(i).ShortName, u"b.TXT");
  EXPECT_EQ(l.Find(rec(u"zzz", 7, 0)), -1);
  l.SetSort(sr_sort_by_name);
  EXPECT_EQ(Names(l), (std::vector<std::string>{"a.txt", "a.txt", "b.TXT", "C.htm"}));
  l.SetSort(sr_sort_by_extension);
  EXPECT_EQ(l.GetAMySearchRec(0).ShortName, u"C.htm");
  EXPECT_EQ(l.Find(rec(u"C.htm", 5, 3)), 0);
  EXPECT_EQ(l.GetAMySearchRec(99).ShortName, u"");
  l.Clear();
  EXPECT_EQ(l.CurrentSort(), sr_sort_none);
}

TEST(SearchRecList, StreamLayoutAndFolderRoundTrip) {
  TFolderful f(u"/data/texts");
  EXPECT_EQ(f.DirName(), u"/data/texts/");
  TMySearchRec r;
  r.ShortName = u"ab";
  r.Size = 7;
  r.Attr = faArchive;
  r.Number_Within_Zip = 2;
  r.DateTime = 45000.5;
  f.ListOfFiles()->AddRec(r);
  r.ShortName = u"";
  f.ListOfFiles()->AddRec(r);
  f.Setdirnum(3);
  f.SetStarts(10);
  f.SetEnds(11);
  f.SetCurrentSort(sr_sort_by_date);
  TMemoryStream ms;
  ASSERT_TRUE(f.SaveToStream(ms));
  const uint8_t* b = ms.Memory();
  EXPECT_EQ(b[0], sr_sort_by_date);
  EXPECT_EQ(b[1], 10);
  EXPECT_EQ(b[9], 3);
  // sort byte, three numbers, the 12-unit folder name, then the list: count and two entries
  EXPECT_EQ(ms.Size(), 1 + 12 + 4 + 2 * 12 + 4 + (20 + 4 + 4) + (20 + 4));
  EXPECT_EQ(b[1 + 12 + 4 + 24], 2);
  ms.SetPosition(0);
  TFolderful g(u"/elsewhere");
  g.ListOfFiles()->AddRec(r);
  ASSERT_TRUE(g.ReadFromStream(ms));
  EXPECT_EQ(g.DirName(), f.DirName());
  EXPECT_EQ(g.CurrentSort(), sr_sort_by_date);
  EXPECT_EQ(g.ListOfFiles()->CurrentSort(), sr_sort_none);  // read back, not re-sorted
  EXPECT_EQ(g.dirnum(), 3);
  EXPECT_EQ(g.Ends(), 11);
  ASSERT_EQ(g.Count(), 2);
  EXPECT_EQ(g.fGetAShortName(0), u"ab");
  EXPECT_EQ(g.fGetAFullname(0), u"/data/texts/ab");
  EXPECT_EQ(g.fGetASearchRec(0).DateTime, 45000.5);
  EXPECT_TRUE(g.fGetIsZipfile(0));
  EXPECT_EQ(g.fGetASimpleSearchRec(0).Size, 7);
  EXPECT_EQ(g.GetAFileSize(5), -1);
  EXPECT_EQ(g.fGetAFullname(-1), u"");
  g.Clear();
  EXPECT_EQ(g.Count(), 0);
  EXPECT_TRUE(g.Empty());
}

TEST(SearchRecList, DamagedStreams) {
  TMySearchRecList src;
  TMySearchRec r;
  r.ShortName = u"name.txt";
  src.AddRec(r);
  src.AddRec(r);
  TMemoryStream ms;
  src.SaveToStream(ms);
  const int64_t whole = ms.Size();
  for (int64_t cut : {whole - 1, whole - 20, int64_t{5}}) {
    ms.SetSize(whole);
    TMemoryStream part;
    part.Write(ms.Memory(), static_cast<int32_t>(cut));
    part.SetPosition(0);
    TMySearchRecList l;
    EXPECT_THROW(l.ReadFromStream(part), EReadError) << cut;
    EXPECT_EQ(l.Count(), cut > whole / 2 ? 1 : 0) << cut;  // entries read stay
  }
  const struct {
    std::vector<uint8_t> bytes;
    const char* why;
  } bad[] = {
      {{0xFF, 0xFF, 0xFF, 0xFF}, "negative count"},
      {{0xFF, 0xFF, 0xFF, 0x7F}, "count the stream cannot hold"},
      {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}, "negative name length"},
      {{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x01, 0x00}, "name past the limit"},
  };
  for (const auto& c : bad) {
    TMemoryStream s;
    s.Write(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    s.SetPosition(0);
    TMySearchRecList l;
    EXPECT_THROW(l.ReadFromStream(s), EReadError) << c.why;
  }
}

TEST_F(Peruse, RenamingAFile) {
  Put("old.txt", "x");
  TFolderful f(U(root));
  TPeruseDir p = Opts().Make();
  ASSERT_TRUE(f.FillList(p));
  f.fSetAFullName(0, U(root / "new.txt"));
  EXPECT_EQ(f.fGetAShortName(0), u"new.txt");
  EXPECT_TRUE(fs::exists(root / "new.txt"));
  try {
    f.fSetAFullName(0, U(root / "no/such/folder.txt"));
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), u"cannot rename " + U(root / "new.txt"));
  }
  EXPECT_EQ(f.fGetAShortName(0), u"new.txt");
  f.fSetAFullName(7, u"ignored");
}

// ---- problems are reported, not passed over ----

struct Problems {
  std::vector<std::pair<std::string, std::string>> seen;  // path, reason
  void Hook(TPeruseDir& p) {
    p.OnProblem = [this](const UnicodeString& path, const UnicodeString& reason) {
      seen.emplace_back(Utf16ToUtf8(path), Utf16ToUtf8(reason));
    };
  }
};

TEST_F(Peruse, UnreadableFoldersAndCaughtFailuresAreReported) {
  Put("ok/a.txt", "a");
  fs::create_directory_symlink("loop", root / "loop");  // a folder that can never be opened
  Put("plain.txt", "not a folder");
  Opts o;
  TPeruseDir p = o.Make();
  Problems pr;
  pr.Hook(p);
  TMySearchRecList list;
  EXPECT_FALSE(p.HandleAllFilesIn(U(root / "loop"), &list));
  EXPECT_FALSE(p.HandleAllFilesIn(U(root / "plain.txt"), &list));
  EXPECT_FALSE(p.HandleAllFilesIn(U(root / "missing"), &list));  // nothing there is no problem
  EXPECT_FALSE(p.HandleAllFilesIn(U(root / "loop"), &list));     // reported once
  ASSERT_EQ(pr.seen.size(), 2u);
  EXPECT_EQ(pr.seen[0], std::make_pair((root / "loop").string(), std::string("Too many levels of symbolic links")));
  EXPECT_EQ(pr.seen[1], std::make_pair((root / "plain.txt").string(), std::string("Not a directory")));

  // An exception from the caller's own event ends the folder's walk and is handed back, not logged away.
  pr.seen.clear();
  p.OnCheckFileAcceptable = [](const TMySearchRec&, bool) -> bool { throw std::runtime_error("veto failed"); };
  EXPECT_FALSE(p.HandleAllFilesIn(U(root / "ok"), &list));
  ASSERT_EQ(pr.seen.size(), 1u);
  EXPECT_EQ(pr.seen[0], std::make_pair((root / "ok").string(), std::string("veto failed")));

  // An archive that cannot be opened is named and passed over; the folder's other texts are still listed.
  pr.seen.clear();
  p.OnCheckFileAcceptable = nullptr;
  Put("z/b.zip", "PK\x03\x04 this is no archive");
  Put("z/c.txt", "c");
  Opts zo;
  zo.zips = true;
  TPeruseDir pz = zo.Make();
  pr.Hook(pz);
  TMySearchRecList zipList;
  EXPECT_TRUE(pz.HandleAllFilesIn(U(root / "z"), &zipList));
  ASSERT_EQ(pr.seen.size(), 1u);
  EXPECT_EQ(pr.seen[0].first, (root / "z/b.zip").string());
  EXPECT_NE(pr.seen[0].second.find("Not a zip archive"), std::string::npos) << pr.seen[0].second;
  ASSERT_EQ(zipList.Count(), 1);
  EXPECT_EQ(zipList.GetAMySearchRec(0).ShortName, u"c.txt");

  if (::geteuid() != 0) {  // permissions do not stop the superuser
    fs::create_directories(root / "shut");
    ::chmod((root / "shut").c_str(), 0);
    pr.seen.clear();
    EXPECT_FALSE(p.HandleAllFilesIn(U(root / "shut"), &list));
    ::chmod((root / "shut").c_str(), 0755);
    ASSERT_EQ(pr.seen.size(), 1u);
    EXPECT_EQ(pr.seen[0].second, "Permission denied");
  }
}

TEST_F(Peruse, PathsPastTheSystemLimitAreReportedOnce) {
  // Folders nested past PATH_MAX, made one level at a time through descriptors.
  const std::string level(200, 'd');
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  fs::path deep = root;
  while (deep.string().size() < PATH_MAX + 300) {
    ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
    const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
    deep /= level;
  }
  ::close(fd);
  Opts o;
  TPeruseDir p = o.Make();
  Problems pr;
  pr.Hook(p);
  int32_t folders = 0;
  p.OnFoundDir = [&](const UnicodeString& d) {
    ++folders;
    p.HandleAllFilesIn(d, nullptr);  // meets the same folders as the sub-folder walk
  };
  p.ProcessAllSubDirectories(U(root));
  ASSERT_EQ(pr.seen.size(), 1u);
  EXPECT_GT(pr.seen[0].first.size(), static_cast<size_t>(PATH_MAX));
  EXPECT_NE(pr.seen[0].second.find("longer than the system allows"), std::string::npos);
  EXPECT_GT(folders, 10);
}

TEST_F(Peruse, ArchivesPastTheNumberableEntriesSayHowManyAreLeftOut) {
  const fs::path zipPath = root / "many.zip";
  int err = 0;
  zip_t* za = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(za, nullptr);
  const int32_t entries = INT16_MAX + 40;
  for (int32_t e = 0; e < entries; ++e) {
    zip_source_t* src = zip_source_buffer(za, "", 0, 0);
    ASSERT_GE(zip_file_add(za, ("e" + std::to_string(e) + ".txt").c_str(), src, ZIP_FL_ENC_UTF_8), 0);
  }
  ASSERT_EQ(zip_close(za), 0);
  Opts o;
  TPeruseDir p = o.Make();
  Problems pr;
  pr.Hook(p);
  int32_t zipProblems = 0;
  p.OnZipProblem = [&](TObject&) { ++zipProblems; };
  TMySearchRecList list;
  p.AddAZip(&list, U(root), u"many.zip");
  EXPECT_EQ(list.Count(), INT16_MAX);
  EXPECT_EQ(list.GetAMySearchRec(INT16_MAX - 1).Number_Within_Zip, INT16_MAX);
  EXPECT_EQ(zipProblems, 1);
  ASSERT_EQ(pr.seen.size(), 1u);
  EXPECT_EQ(pr.seen[0].first, zipPath.string());
  EXPECT_EQ(pr.seen[0].second, "40 of its 32807 entries are left out: entries past the 32,767th cannot be numbered");
}

TEST_F(Peruse, SizesPastFourGigabytesAreKeptWhole) {
  // Sparse files: sizes without the disk space.
  const int64_t gib = int64_t{1} << 30;
  for (const auto& [name, size] : {std::pair<const char*, int64_t>{"five.txt", 5 * gib}, {"three.txt", 3 * gib},
                                   {"small.txt", 10}}) {
    Put(name, "");
    ASSERT_EQ(::truncate((root / name).c_str(), size), 0);
  }
  Opts o;
  TPeruseDir p = o.Make();
  TMySearchRecList list;
  ASSERT_TRUE(p.HandleAllFilesIn(U(root), &list));
  list.SetSort(sr_sort_by_size);
  ASSERT_EQ(Names(list), (std::vector<std::string>{"small.txt", "three.txt", "five.txt"}));
  EXPECT_EQ(list.GetAMySearchRec(2).Size64, 5 * gib);
  EXPECT_EQ(list.GetAMySearchRec(2).Size, static_cast<int32_t>(gib));  // the low 32 bits, as stored
  EXPECT_EQ(WholeSize(list.GetAMySearchRec(1)), 3 * gib);
  // A record with only the 32 bits (read from a stored list) sorts by them, read as unsigned.
  TMySearchRec stored;
  stored.Size = static_cast<int32_t>(3u * 1024 * 1024 * 1024);
  EXPECT_EQ(WholeSize(stored), 3 * gib);
}

}  // namespace
}  // namespace kx8
