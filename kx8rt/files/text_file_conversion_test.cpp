// Converting a file in place: what is refused as no text, backup names that never replace a file, the
// original's bytes recoverable after every kind of failure (a write refused part way, a conversion
// killed part way, two conversions of one file at once), and what the new file keeps of the old.
#include "kx8rt/files/text_file_conversion.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kx8 {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

UnicodeString Why(const std::string& bytes) {
  TMemoryStream m;
  if (!bytes.empty()) m.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return NotTextReason(m);
}

std::string Utf16Le(const std::u16string& s) {
  std::string out;
  for (char16_t u : s) out += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  return out;
}

TEST(NotTextReason, RefusesBinaryAndAcceptsEveryTextLayout) {
  const std::string latinLines = [] {
    std::string s;
    for (int i = 0; i < 200; ++i) s += "line " + std::to_string(i) + " of a caf\xE9 text\r\n";
    return s;
  }();
  const std::string utf16 = Utf16Le(u"a UTF-16 text without its signature,\r\nin two lines\r\n");
  struct Case {
    const char* name;
    std::string bytes;
    const char16_t* reasonHas;  // null: text
  } cases[] = {
      {"empty", "", nullptr},
      {"7-bit", "plain words\n", nullptr},
      {"UTF-8", "caf\xC3\xA9 \xE2\x82\xAC\n", nullptr},
      {"8-bit", latinLines, nullptr},
      {"bzip2 magic as words", "BZh9 is what the notes call it\n", nullptr},
      {"UTF-16 LE signed", "\xFF\xFE" + Utf16Le(u"h\u00e9llo"), nullptr},
      {"UTF-16 BE signed", "\xFE\xFF\0h\0i"s, nullptr},
      {"UTF-16 LE unsigned", utf16, nullptr},
      {"ELF", "\x7F" "ELF\x02\x01\x01\0\0\0\0\0"s, u"ELF executable"},
      {"PNG", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, u"PNG image"},
      {"gzip", "\x1F\x8B\x08\0\0\0\0\0"s, u"gzip"},
      {"PDF", "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n", u"PDF document"},
      {"zip", "PK\x03\x04\x14\0\0\0"s, u"zip archive"},
      {"empty zip", "PK\x05\x06"s + std::string(18, '\0'), u"zip archive"},
      {"bzip2", "BZh91AY&SY\x01\x02", u"bzip2"},
      {"one NUL in 8-bit text", "hello\0world, a text with one stray NUL\n"s, u"NUL byte (at byte 5)"},
      {"NUL past the first 64 KB", latinLines + std::string(70000 - latinLines.size(), 'x') + "\0tail"s,
       u"NUL byte (at byte 70000)"},
      {"NUL unit in signed UTF-16", "\xFF\xFE" + Utf16Le(u"a") + "\0\0"s + Utf16Le(u"b"), u"NUL character"},
      {"odd signed UTF-16", "\xFF\xFE" + Utf16Le(u"ab") + "c", u"odd length"},
      {"zero unit in unsigned UTF-16", utf16 + "\0\0"s + utf16, u"NUL byte"},
      {"big-endian without signature", [&] {
         std::string be = utf16;
         for (size_t i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
         return be;
       }(), u"big-endian"},
  };
  for (const Case& c : cases) {
    const UnicodeString why = Why(c.bytes);
    if (!c.reasonHas) {
      EXPECT_EQ(why, u"") << c.name;
    } else {
      EXPECT_NE(why.find(c.reasonHas), UnicodeString::npos) << c.name << ": " << Utf16ToUtf8(why);
    }
  }
}

TEST(NumberedBackupFileNameOf, KeepsTheWholeName) {
  EXPECT_EQ(NumberedBackupFileNameOf(u"/d/a.txt", 1), u"/d/a.txt.bak");
  EXPECT_EQ(NumberedBackupFileNameOf(u"/d/a.txt", 2), u"/d/a.txt.2.bak");
  EXPECT_EQ(NumberedBackupFileNameOf(u"/d/a.htm", 1), u"/d/a.htm.bak");
  EXPECT_EQ(NumberedBackupFileNameOf(u"noext", 3), u"noext.3.bak");
}

class ConvertKeepingBackup : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_text_conversion_" + std::to_string(::getpid()));
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path Put(const std::string& leaf, const std::string& bytes) {
    std::ofstream(dir / leaf, std::ios::binary) << bytes;
    return dir / leaf;
  }
  std::string Bytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  static UnicodeString U(const fs::path& p) { return Utf8ToUtf16(p.string()); }
  std::vector<std::string> Leaves() {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
  static std::string Converted(const std::string& in, uint16_t cp = 1252) {
    std::string out;
    TKXFileFormat fmt;
    EXPECT_TRUE(ConvertedBytesToUTF16LE(reinterpret_cast<const uint8_t*>(in.data()), in.size(), cp, out, fmt));
    return out;
  }
  // Runs the conversion in a child process under limits set by prepare; its outcome, or 100 + the
  // signal that ended it.
  static int InChild(const fs::path& file, const std::function<void()>& prepare) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      prepare();
      const TConvertReport r = ConvertTextFileKeepingBackup(U(file), 1252);
      ::_exit(r.Outcome);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
  }
  static std::string BigText() {
    std::string s;
    for (int i = 0; s.size() < 2000000; ++i) s += "word " + std::to_string(i) + " na\xEFve\n";
    return s;
  }
};

TEST_F(ConvertKeepingBackup, ConvertsKeepingDateModesAndAnExactBackup) {
  const fs::path a = Put("a.txt", "na\xEFve caf\xE9\n");
  ::chmod(a.c_str(), 0640);
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), old, 0), 0);
  const TConvertReport r = ConvertTextFileKeepingBackup(U(a), 1252);
  ASSERT_EQ(r.Outcome, co_converted) << Utf16ToUtf8(r.Reason);
  EXPECT_EQ(r.Format, fc_ANSI);
  EXPECT_EQ(r.BackupName, U(dir / "a.txt.bak"));
  EXPECT_EQ(Bytes(a), Converted("na\xEFve caf\xE9\n"));
  EXPECT_EQ(Bytes(dir / "a.txt.bak"), "na\xEFve caf\xE9\n");
  for (const fs::path& p : {a, dir / "a.txt.bak"}) {
    struct stat st;
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << p;
    EXPECT_EQ(st.st_mtim.tv_sec, old[1].tv_sec) << p;
    EXPECT_EQ(st.st_mtim.tv_nsec, old[1].tv_nsec) << p;
  }
  EXPECT_TRUE(r.Notes.empty());
  EXPECT_EQ(Leaves(), (std::vector<std::string>{"a.txt", "a.txt.bak"}));  // no temporary left

  // Once converted, a second run has nothing to do and makes no second backup.
  const TConvertReport again = ConvertTextFileKeepingBackup(U(a), 1252);
  EXPECT_EQ(again.Outcome, co_already);
  EXPECT_EQ(Leaves(), (std::vector<std::string>{"a.txt", "a.txt.bak"}));

  // Files of one to three bytes, too short for the format detection, are converted all the same.
  const fs::path tiny = Put("tiny.txt", "\xC3\xA9!");
  ASSERT_EQ(ConvertTextFileKeepingBackup(U(tiny), 1252).Outcome, co_converted);
  EXPECT_EQ(Bytes(tiny), "\xFF\xFE\xE9\0!\0"s);
}

TEST_F(ConvertKeepingBackup, NeverOverwritesABackupAndNamesBackupsByTheWholeName) {
  Put("a.txt", "new words\n");
  Put("a.htm", "<p>page</p>\n");
  Put("a.txt.bak", "an older backup");
  Put("a.txt.2.bak", "another");
  const TConvertReport r = ConvertTextFileKeepingBackup(U(dir / "a.txt"), 0);
  ASSERT_EQ(r.Outcome, co_converted);
  EXPECT_EQ(r.BackupName, U(dir / "a.txt.3.bak"));
  EXPECT_EQ(Bytes(dir / "a.txt.bak"), "an older backup");
  EXPECT_EQ(Bytes(dir / "a.txt.2.bak"), "another");
  EXPECT_EQ(Bytes(dir / "a.txt.3.bak"), "new words\n");
  ASSERT_EQ(ConvertTextFileKeepingBackup(U(dir / "a.htm"), 0).Outcome, co_converted);
  EXPECT_EQ(Bytes(dir / "a.htm.bak"), "<p>page</p>\n");
}

TEST_F(ConvertKeepingBackup, RefusesWhatIsNoTextAndWhatCannotBeRead) {
  const std::string elf = "\x7F" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0"s;
  const fs::path bin = Put("prog", elf);
  const fs::path nul = Put("n.txt", "one\0NUL\n"s);
  for (const fs::path& p : {bin, nul}) {
    const TConvertReport r = ConvertTextFileKeepingBackup(U(p), 0);
    EXPECT_EQ(r.Outcome, co_not_text) << p;
    EXPECT_FALSE(r.Reason.empty());
  }
  EXPECT_EQ(Bytes(bin), elf);
  EXPECT_EQ(Bytes(nul), "one\0NUL\n"s);
  EXPECT_EQ(Leaves(), (std::vector<std::string>{"n.txt", "prog"}));

  const TConvertReport missing = ConvertTextFileKeepingBackup(U(dir / "missing.txt"), 0);
  EXPECT_EQ(missing.Outcome, co_unreadable);
  EXPECT_EQ(missing.Reason, u"No such file or directory");
  fs::create_directories(dir / "folder.txt");
  EXPECT_EQ(ConvertTextFileKeepingBackup(U(dir / "folder.txt"), 0).Outcome, co_unreadable);
}

TEST_F(ConvertKeepingBackup, LinksStayLinksAndOtherNamesAreNamed) {
  const fs::path target = Put("target.txt", "through a link\n");
  fs::create_symlink("target.txt", dir / "link.txt");
  const TConvertReport r = ConvertTextFileKeepingBackup(U(dir / "link.txt"), 0);
  ASSERT_EQ(r.Outcome, co_converted);
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(Bytes(target), Converted("through a link\n"));
  EXPECT_EQ(Bytes(dir / "target.txt.bak"), "through a link\n");

  // A hard link is a second name of the old file: it keeps the original, and the report says so.
  const fs::path h = Put("h.txt", "hard\n");
  fs::create_hard_link(h, dir / "h2.txt");
  const TConvertReport hr = ConvertTextFileKeepingBackup(U(h), 0);
  ASSERT_EQ(hr.Outcome, co_converted);
  ASSERT_EQ(hr.Notes.size(), 1u);
  EXPECT_EQ(hr.Notes[0], u"1 other name of this file keeps the original text");
  EXPECT_EQ(Bytes(dir / "h2.txt"), "hard\n");
}

TEST_F(ConvertKeepingBackup, AWriteRefusedPartWayLeavesTheOriginalAlone) {
  // The file-size limit makes the temporary's writes fail (EFBIG) a quarter of the way in.
  const std::string text = BigText();
  const fs::path a = Put("big.txt", text);
  const int outcome = InChild(a, [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit lim = {1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &lim);
  });
  EXPECT_EQ(outcome, co_not_written);
  EXPECT_TRUE(Bytes(a) == text);
  EXPECT_EQ(Leaves(), std::vector<std::string>{"big.txt"});  // no backup, no temporary
}

TEST_F(ConvertKeepingBackup, AConversionKilledPartWayLeavesTheOriginalAndTheNextRunGoesOn) {
  const std::string text = BigText();
  const fs::path a = Put("k.txt", text);
  Put("k.txt.bak", "a backup from long ago");
  // The default action of SIGXFSZ kills the process at its first write past the limit.
  const int outcome = InChild(a, [] {
    const struct rlimit lim = {1 << 20, 1 << 20};
    ::setrlimit(RLIMIT_FSIZE, &lim);
  });
  EXPECT_EQ(outcome, 100 + SIGXFSZ);
  EXPECT_TRUE(Bytes(a) == text);
  ASSERT_TRUE(fs::exists(dir / ".k.txt.kx8-converting"));  // what the killed run left

  const TConvertReport r = ConvertTextFileKeepingBackup(U(a), 1252);
  ASSERT_EQ(r.Outcome, co_converted) << Utf16ToUtf8(r.Reason);
  ASSERT_EQ(r.Notes.size(), 1u);
  EXPECT_NE(r.Notes[0].find(u"unfinished"), UnicodeString::npos);
  EXPECT_TRUE(Bytes(a) == Converted(text));
  EXPECT_TRUE(Bytes(dir / "k.txt.2.bak") == text);
  EXPECT_EQ(Bytes(dir / "k.txt.bak"), "a backup from long ago");
  EXPECT_EQ(Leaves(), (std::vector<std::string>{"k.txt", "k.txt.2.bak", "k.txt.bak"}));
}

TEST_F(ConvertKeepingBackup, OneConversionOfAFileAtATime) {
  const fs::path a = Put("busy.txt", "held\n");
  {
    // Another conversion holds the file's lock.
    const int fd = ::open(a.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const TConvertReport r = ConvertTextFileKeepingBackup(U(a), 0);
    EXPECT_EQ(r.Outcome, co_in_use);
    ::close(fd);
  }
  EXPECT_EQ(Bytes(a), "held\n");
  EXPECT_EQ(Leaves(), std::vector<std::string>{"busy.txt"});

  // Two processes at once over a large file: one converts, the other is stopped or finds it done;
  // either way the file holds the whole new text and one backup the whole original.
  const std::string text = BigText();
  const fs::path b = Put("both.txt", text);
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  pid_t kids[2];
  for (pid_t& k : kids) {
    k = ::fork();
    if (k == 0) {
      ::close(go[1]);
      char c;
      (void)!::read(go[0], &c, 1);  // both start together
      ::_exit(ConvertTextFileKeepingBackup(U(b), 1252).Outcome);
    }
  }
  ::close(go[0]);
  ::close(go[1]);
  int outcomes[2];
  for (int i = 0; i < 2; ++i) {
    int status = 0;
    ::waitpid(kids[i], &status, 0);
    outcomes[i] = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  EXPECT_EQ((outcomes[0] == co_converted) + (outcomes[1] == co_converted), 1);
  for (int o : outcomes) EXPECT_TRUE(o == co_converted || o == co_in_use || o == co_already) << o;
  EXPECT_TRUE(Bytes(b) == Converted(text));
  EXPECT_TRUE(Bytes(dir / "both.txt.bak") == text);
  EXPECT_FALSE(fs::exists(dir / "both.txt.2.bak"));
  EXPECT_FALSE(fs::exists(dir / ".both.txt.kx8-converting"));
}

}  // namespace
}  // namespace kx8
