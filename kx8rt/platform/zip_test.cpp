#include "kx8rt/platform/zip.h"

#include "kx8rt/platform/datetime.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace kx8;

namespace {

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kx8zip_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "src" / "sub");
  }
  void TearDown() override { fs::remove_all(dir); }

  UnicodeString W(const fs::path& p) const { return Utf8ToUtf16(p.string()); }
  fs::path Write(const fs::path& rel, const std::string& bytes) const {
    const fs::path p = dir / rel;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // An archive written with libzip itself, so that names our writer refuses can be tested on the reader.
  fs::path RawArchive(const std::string& file, const std::vector<std::pair<std::string, std::string>>& entries) {
    const fs::path p = dir / file;
    int err = 0;
    zip_t* za = zip_open(p.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    EXPECT_NE(za, nullptr);
    for (const auto& [name, data] : entries) {
      zip_source_t* s = zip_source_buffer(za, data.data(), data.size(), 0);
      EXPECT_GE(zip_file_add(za, name.c_str(), s, ZIP_FL_ENC_UTF_8), 0);
    }
    EXPECT_EQ(zip_close(za), 0);
    return p;
  }

  fs::path dir;
};

TEST_F(ZipTest, CreatesAndReadsBackEntriesWithComment) {
  const fs::path a = Write("src/a.txt", "alpha"), b = Write("src/sub/b.txt", std::string(100000, 'x'));
  TZipArchive z;
  EXPECT_EQ(z.CreateArchive(W(dir / "out.zip"), {W(a), W(b)}, zsp_relative_path, W(dir / "src"),
                            u"Tamrin Batch file .cnc"),
            2);
  z.Open(W(dir / "out.zip"));
  ASSERT_EQ(z.Count(), 2);
  EXPECT_EQ(z.Name(0), u"a.txt");
  EXPECT_EQ(z.Name(1), u"sub/b.txt");
  EXPECT_EQ(z.Size(1), 100000);
  EXPECT_EQ(z.Comment(), u"Tamrin Batch file .cnc");
  EXPECT_EQ(z.ExtractToString(0), "alpha");
  EXPECT_EQ(z.ExtractToString(1), std::string(100000, 'x'));
  EXPECT_EQ(z.IndexOf(u"SUB/B.TXT"), 1);
  EXPECT_EQ(z.IndexOf(u"SUB/B.TXT", true), -1);
  EXPECT_EQ(z.Attributes(0) & TZipArchive::zaArchive, TZipArchive::zaArchive);
  EXPECT_EQ(z.Attributes(0) & TZipArchive::zaDirectory, 0u);
  // The stored date is the file's, to DOS precision (two seconds), in local time.
  const double now = ZipUnixTimeToDateTime(static_cast<int64_t>(::time(nullptr)));
  EXPECT_LT(std::fabs(z.DateTime(0) - now), 120.0 / 86400.0);
}

TEST_F(ZipTest, PathModesNameEntriesDifferently) {
  const fs::path b = Write("src/sub/b.txt", "b");
  struct Case { TZipStorePathMode mode; std::string expected; } cases[] = {
      {zsp_no_path, "b.txt"},
      {zsp_relative_path, "sub/b.txt"},
      {zsp_full_path, b.relative_path().generic_string()},
  };
  for (const auto& c : cases) {
    TZipArchive z;
    z.CreateArchive(W(dir / "m.zip"), {W(b)}, c.mode, W(dir / "src"));
    z.Open(W(dir / "m.zip"));
    EXPECT_EQ(z.Name(0), Utf8ToUtf16(c.expected)) << int(c.mode);
  }
  // A file outside the base folder keeps only its name rather than a "../" path.
  const fs::path outside = Write("top.txt", "t");
  TZipArchive z;
  z.CreateArchive(W(dir / "m.zip"), {W(outside)}, zsp_relative_path, W(dir / "src"));
  z.Open(W(dir / "m.zip"));
  EXPECT_EQ(z.Name(0), u"top.txt");
}

TEST_F(ZipTest, FailureCallbackSkipsOrAborts) {
  const fs::path a = Write("src/a.txt", "alpha");
  std::vector<UnicodeString> reported;
  TZipArchive z;
  z.OnFileFailure = [&](const UnicodeString& f, const UnicodeString& op, const UnicodeString&, TZipFailureAction&) {
    reported.push_back(op + u":" + f);
  };
  const UnicodeString missing = W(dir / "nope.txt");
  EXPECT_EQ(z.CreateArchive(W(dir / "f.zip"), {missing, W(a)}, zsp_no_path), 1);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0], u"add:" + missing);
  // A second file of the same stored name is a failure too.
  reported.clear();
  EXPECT_EQ(z.CreateArchive(W(dir / "f.zip"), {W(a), W(a)}, zsp_no_path), 1);
  EXPECT_EQ(reported.size(), 1u);

  z.OnFileFailure = [](const UnicodeString&, const UnicodeString&, const UnicodeString&, TZipFailureAction& act) {
    act = zfa_abort;
  };
  EXPECT_THROW(z.CreateArchive(W(dir / "g.zip"), {missing, W(a)}, zsp_no_path), EZipError);
}

TEST_F(ZipTest, EmptyArchiveStillExistsWithItsComment) {
  TZipArchive z;
  EXPECT_EQ(z.CreateArchive(W(dir / "e.zip"), {}, zsp_no_path, u"", u"note"), 0);
  z.Open(W(dir / "e.zip"));
  EXPECT_EQ(z.Count(), 0);
  EXPECT_EQ(z.Comment(), u"note");
}

TEST_F(ZipTest, MissingOrCorruptArchivesRaise) {
  TZipArchive z;
  EXPECT_THROW(z.Open(W(dir / "absent.zip")), EZipError);
  EXPECT_THROW(z.Open(W(Write("empty.zip", ""))), EZipError);
  EXPECT_THROW(z.Open(W(Write("junk.zip", "this is not an archive at all, just text"))), EZipError);
  EXPECT_FALSE(z.Active());

  // A truncated archive loses its central directory.
  const fs::path good = RawArchive("good.zip", {{"a.txt", std::string(5000, 'q')}});
  std::string bytes = Slurp(good);
  EXPECT_THROW(z.Open(W(Write("cut.zip", bytes.substr(0, bytes.size() / 2)))), EZipError);

  // Damaged stored data opens but fails its checksum when read.
  const fs::path stored = dir / "stored.zip";
  {
    int err = 0;
    zip_t* za = zip_open(stored.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    static const char data[] = "0123456789abcdef";
    zip_int64_t i = zip_file_add(za, "d.txt", zip_source_buffer(za, data, 16, 0), 0);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(i), ZIP_CM_STORE, 0);
    ASSERT_EQ(zip_close(za), 0);
  }
  bytes = Slurp(stored);
  const size_t at = bytes.find("0123456789");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'X';
  z.Open(W(Write("crc.zip", bytes)));
  EXPECT_THROW(z.ExtractToString(0), EZipError);
  EXPECT_THROW(z.Name(1), EListError);
  EXPECT_THROW(z.Name(-1), EListError);
}

TEST_F(ZipTest, ExtractionStaysInsideItsFolder) {
  const fs::path evil = RawArchive("evil.zip", {{"ok/fine.txt", "fine"},
                                                {"../escaped.txt", "bad"},
                                                {"ok/../../escaped2.txt", "bad"},
                                                {"/tmp/kx8_abs_escape.txt", "bad"},
                                                {"..\\win.txt", "bad"},
                                                {"C:/drive.txt", "bad"}});
  TZipArchive z;
  z.Open(W(evil));
  const fs::path target = dir / "target";
  std::vector<UnicodeString> refused;
  z.OnFileFailure = [&](const UnicodeString& f, const UnicodeString&, const UnicodeString&, TZipFailureAction&) {
    refused.push_back(f);
  };
  EXPECT_EQ(z.ExtractAllToFolder(W(target)), 1);
  EXPECT_EQ(Slurp(target / "ok" / "fine.txt"), "fine");
  EXPECT_EQ(refused.size(), 5u);
  EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
  EXPECT_FALSE(fs::exists(dir / "escaped2.txt"));
  EXPECT_FALSE(fs::exists(dir / "win.txt"));
  EXPECT_FALSE(fs::exists("/tmp/kx8_abs_escape.txt"));
  EXPECT_THROW(z.ExtractToFolder(1, W(target)), EZipError);

  // A link planted inside the target folder does not carry writes out of it.
  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", target / "ok2");
  const fs::path linked = RawArchive("link.zip", {{"ok2/x.txt", "x"}});
  z.Open(W(linked));
  EXPECT_THROW(z.ExtractToFolder(0, W(target)), EZipError);
  EXPECT_FALSE(fs::exists(dir / "elsewhere" / "x.txt"));
}

TEST(ZipNames, SafeEntryNames) {
  struct Case { const char16_t* name; bool safe; } cases[] = {
      {u"a.txt", true},  {u"dir/a.txt", true},   {u"dir/", true},        {u"..a/b", true},
      {u"", false},      {u"../a", false},       {u"a/../../b", false},  {u"/etc/x", false},
      {u"\\x", false},   {u"a\\..\\b", false},   {u"C:x", false},        {u"..", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeZipEntryName(c.name), c.safe) << Utf16ToUtf8(c.name);
}

TEST(ZipNames, DateTimeIsLocalWallClock) {
  // Whatever the zone, the value shows the local calendar date and time of the instant.
  const time_t t = 1700000000;
  struct tm tmv;
  ASSERT_NE(localtime_r(&t, &tmv), nullptr);
  const double expected = EncodeDate(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday) +
                          EncodeTime(tmv.tm_hour, tmv.tm_min, tmv.tm_sec, 0);
  EXPECT_NEAR(ZipUnixTimeToDateTime(t), expected, 1e-9);
}

TEST(ZipNames, DateTimeOfUnixEpochIsItsDayNumber) {
  // Independent of the time zone only in whole days: midnight UTC lands within a day of 25569.
  EXPECT_NEAR(ZipUnixTimeToDateTime(0), 25569.0, 1.0);
  // One day later is exactly one more, whatever the zone (no daylight change in early January).
  EXPECT_DOUBLE_EQ(ZipUnixTimeToDateTime(86400) - ZipUnixTimeToDateTime(0), 1.0);
}

}  // namespace
