// kx8 convert over real files: the converted bytes (checked against the whole-buffer conversion), the
// backup, the kept date, modes and links, and the cases it refuses. The tool sits beside this test
// executable (tools/kx8/kx8); without it the test skips.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kx8rt/files/file_utils.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

fs::path ToolPath() {
  std::error_code ec;
  const auto self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path() / "tools" / "kx8" / "kx8";
}

class ConvertCommand : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_convert_command_" + std::to_string(::getpid()));
  void SetUp() override {
    if (!fs::exists(ToolPath())) GTEST_SKIP() << "kx8 not built";
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  void Put(const std::string& leaf, const std::string& bytes) {
    std::ofstream(dir / leaf, std::ios::binary) << bytes;
  }
  std::string Bytes(const std::string& leaf) {
    std::ifstream f(dir / leaf, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // Runs a shell command line in the folder with the tool as $K; the exit status, with what it wrote
  // to stdout in out and to stderr in errors.
  int Shell(const std::string& line, std::string& out, std::string& errors) {
    const fs::path errFile = dir.parent_path() / (dir.filename().string() + ".stderr");
    const std::string cmd = "cd '" + dir.string() + "' && K='" + ToolPath().string() + "' && " + line + " 2>'" +
                            errFile.string() + "'";
    out.clear();
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), buf.size(), p)) out += buf.data();
    const int status = ::pclose(p);
    std::ifstream e(errFile, std::ios::binary);
    errors.assign(std::istreambuf_iterator<char>(e), {});
    fs::remove(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Run(const std::string& args, std::string& out, std::string& errors) {
    return Shell("\"$K\" convert " + args, out, errors);
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
  static std::string Whole(const std::string& in, uint16_t cp) {
    std::string out;
    TKXFileFormat fmt;
    EXPECT_TRUE(ConvertedBytesToUTF16LE(reinterpret_cast<const uint8_t*>(in.data()), in.size(), cp, out, fmt));
    return out;
  }
};

TEST_F(ConvertCommand, ConvertsInChunksKeepingBackupDateModesAndLinks) {
  // Far more than one chunk, with characters of two, three and four bytes at every offset, so that
  // chunk edges fall inside characters; a UTF-16 big-endian text; an 8-bit text.
  std::string utf8;
  for (int i = 0; utf8.size() < 700000; ++i) utf8 += (i % 7 ? "ab " : "x") + std::string("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  const std::string be = std::string("\xFE\xFF\0h\0i\xD8\x3D\xDE\x00", 10);
  Put("big.txt", utf8);
  Put("be.txt", be);
  Put("latin.txt", "na\xEFve caf\xE9");
  ::chmod((dir / "big.txt").c_str(), 0640);
  fs::create_hard_link(dir / "big.txt", dir / "other_name_of_big");
  const struct timespec old[2] = {{1000000000, 0}, {1000000000, 123456789}};  // 2001
  for (const char* f : {"big.txt", "be.txt", "latin.txt"}) ASSERT_EQ(::utimensat(AT_FDCWD, (dir / f).c_str(), old, 0), 0);
  struct stat before;
  ASSERT_EQ(::stat((dir / "big.txt").c_str(), &before), 0);

  std::string out, errors;
  ASSERT_EQ(Run("big.txt be.txt latin.txt", out, errors), 0) << errors;
  EXPECT_EQ(out,
            "big.txt: converted from UTF-8; the original is kept as big.txt.bak\n"
            "be.txt: converted from UTF-16 big-endian; the original is kept as be.txt.bak\n"
            "latin.txt: converted from 8-bit text in code page 1252; the original is kept as latin.txt.bak\n");
  EXPECT_EQ(errors, "kx8 convert: big.txt: 1 other name of this file keeps the original text\n");
  EXPECT_TRUE(Bytes("big.txt") == Whole(utf8, 1252));
  EXPECT_TRUE(Bytes("big.txt.bak") == utf8);
  EXPECT_EQ(Bytes("be.txt"), std::string("\xFF\xFE" "h\0i\0\x3D\xD8\x00\xDE", 10));
  EXPECT_EQ(Bytes("be.txt.bak"), be);
  EXPECT_EQ(Bytes("latin.txt"), Whole("na\xEFve caf\xE9", 1252));
  struct stat after;
  ASSERT_EQ(::stat((dir / "big.txt").c_str(), &after), 0);
  // A new file took the name; the backup is the old file itself, so the other name still has it.
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_mtim.tv_sec, old[1].tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, old[1].tv_nsec);
  EXPECT_TRUE(Bytes("other_name_of_big") == utf8);
}

TEST_F(ConvertCommand, RefusesBinariesAndNamesWhatCannotBeRead) {
  std::string out, errors;
  Put("cyr.txt", "\xCF\xF0\xE8\xE2\xE5\xF2");
  ASSERT_EQ(Run("--codepage 1251 cyr.txt", out, errors), 0) << errors;
  EXPECT_EQ(Bytes("cyr.txt"), Whole("\xCF\xF0\xE8\xE2\xE5\xF2", 1251));

  // Files that are no text are left exactly as they were, without a backup; the status says "not
  // everything was done".
  fs::copy_file("/bin/ls", dir / "ls.bin");
  const std::string ls = Bytes("ls.bin");
  struct Binary {
    const char* leaf;
    std::string bytes;
    const char* message;
  } binaries[] = {
      {"ls.bin", ls, "ls.bin: not converted: it is an ELF executable, not text"},
      {"pic.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "pic.png: not converted: it is a PNG image"},
      {"t.gz", std::string("\x1F\x8B\x08\0\0\0\0\0\0\x03", 10), "t.gz: not converted: it is gzip-compressed data"},
      {"archive.txt", "PK\x03\x04 zipped", "archive.txt: not converted: it is a zip archive"},
      {"nul.txt", std::string("one\0two\n", 8), "nul.txt: not converted: it holds a NUL byte (at byte 3)"},
  };
  for (const Binary& b : binaries) {
    if (std::string(b.leaf) != "ls.bin") Put(b.leaf, b.bytes);
    EXPECT_EQ(Run(b.leaf, out, errors), 1) << b.leaf;
    EXPECT_TRUE(Has(errors, b.message)) << errors;
    EXPECT_TRUE(Bytes(b.leaf) == b.bytes) << b.leaf;
    EXPECT_FALSE(fs::exists(dir / (std::string(b.leaf) + ".bak"))) << b.leaf;
  }

  // What cannot be read is named with the system's reason; the other files are still converted.
  fs::create_directories(dir / "folder.txt");
  Put("good.txt", "good");
  EXPECT_EQ(Run("missing.txt folder.txt good.txt", out, errors), 2);
  EXPECT_TRUE(Has(errors, "missing.txt: cannot read: No such file or directory")) << errors;
  EXPECT_TRUE(Has(errors, "folder.txt: cannot read: not a regular file")) << errors;
  EXPECT_EQ(out, "good.txt: converted from 7-bit text; the original is kept as good.txt.bak\n");

  // A code page that is not there stops the run before any file.
  Put("plain.txt", "caf\xE9");
  EXPECT_EQ(Run("--codepage 4242 plain.txt", out, errors), 2);
  EXPECT_TRUE(Has(errors, "code page 4242 is not available")) << errors;
  EXPECT_EQ(Bytes("plain.txt"), "caf\xE9");
  EXPECT_FALSE(fs::exists(dir / "plain.txt.bak"));
}

TEST_F(ConvertCommand, BackupsAreNeverOverwritten) {
  std::string out, errors;
  // Two files of one stem, a file with a backup's name, and backups already there.
  Put("notes.txt", "first");
  Put("notes.csv", "second");
  Put("keep.bak", "old text");
  Put("s.txt", "one");
  Put("s.txt.bak", "an earlier backup");
  ASSERT_EQ(Run("notes.txt notes.csv keep.bak s.txt", out, errors), 0) << errors;
  EXPECT_EQ(Bytes("notes.txt.bak"), "first");
  EXPECT_EQ(Bytes("notes.csv.bak"), "second");
  EXPECT_EQ(Bytes("keep.bak.bak"), "old text");
  EXPECT_EQ(Bytes("s.txt.bak"), "an earlier backup");
  EXPECT_EQ(Bytes("s.txt.2.bak"), "one");
  EXPECT_TRUE(Has(out, "s.txt: converted from 7-bit text; the original is kept as s.txt.2.bak")) << out;

  // Converting again finds nothing to do and makes no backup of the converted text.
  ASSERT_EQ(Run("s.txt", out, errors), 0) << errors;
  EXPECT_EQ(out, "s.txt: UTF-16 LE with signature already, left as it is\n");
  EXPECT_FALSE(fs::exists(dir / "s.txt.3.bak"));

  // One file under two names (the same name spelt twice, a link) is converted once.
  Put("t.txt", "twice");
  fs::create_symlink("t.txt", dir / "link_to_t");
  ASSERT_EQ(Run("t.txt ./t.txt link_to_t", out, errors), 0) << errors;
  EXPECT_TRUE(Has(errors, "./t.txt: the same file as t.txt, converted once")) << errors;
  EXPECT_TRUE(Has(errors, "link_to_t: the same file as t.txt, converted once")) << errors;
  EXPECT_EQ(Bytes("t.txt.bak"), "twice");
  EXPECT_EQ(Bytes("t.txt"), Whole("twice", 1252));
  EXPECT_FALSE(fs::exists(dir / "t.txt.2.bak"));
}

TEST_F(ConvertCommand, FailedWritesEndTheRunWithTheOriginalInPlace) {
  std::string out, errors;
  std::string big;
  for (int i = 0; big.size() < 3000000; ++i) big += "line " + std::to_string(i) + "\n";
  Put("big.txt", big);
  Put("after.txt", "after");
  // A file-size limit of 1 MB (blocks of 512 bytes in sh) refuses the temporary's writes part way
  // (EFBIG, the signal being ignored); the run stops there.
  EXPECT_EQ(Shell("trap '' XFSZ; ulimit -f 2048; \"$K\" convert big.txt after.txt", out, errors), 2);
  EXPECT_TRUE(Has(errors, "big.txt: not converted, the original is unchanged: cannot write")) << errors;
  EXPECT_TRUE(Has(errors, "File too large")) << errors;
  EXPECT_TRUE(Bytes("big.txt") == big);
  EXPECT_EQ(Bytes("after.txt"), "after");
  EXPECT_FALSE(fs::exists(dir / "big.txt.bak"));
  EXPECT_FALSE(fs::exists(dir / "after.txt.bak"));

  // Killed part way by the same limit, then run again: the earlier backup stays, the original is
  // whole until the new text replaces it.
  Put("big.txt.bak", "older");
  EXPECT_NE(Shell("ulimit -f 2048; \"$K\" convert big.txt", out, errors), 0);
  EXPECT_TRUE(Bytes("big.txt") == big);
  ASSERT_EQ(Run("big.txt", out, errors), 0) << errors;
  EXPECT_TRUE(Has(errors, "removed the unfinished")) << errors;
  EXPECT_TRUE(Bytes("big.txt.2.bak") == big);
  EXPECT_EQ(Bytes("big.txt.bak"), "older");
  EXPECT_TRUE(Bytes("big.txt") == Whole(big, 1252));

  // Output that cannot be written: the status is 2 and stderr still says where the original went.
  Put("c.txt", "to /dev/full");
  EXPECT_EQ(Shell("\"$K\" convert c.txt >/dev/full", out, errors), 2);
  EXPECT_TRUE(Has(errors, "kx8 convert: c.txt: converted, the original kept as c.txt.bak")) << errors;
  EXPECT_TRUE(Has(errors, "kx8 convert: cannot write the output: No space left on device")) << errors;
  EXPECT_EQ(Bytes("c.txt.bak"), "to /dev/full");
}

}  // namespace
}  // namespace kx8
