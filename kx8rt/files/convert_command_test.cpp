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
  // Runs kx8 convert in the folder; the exit status, with what it wrote to stderr in errors.
  int Run(const std::string& args, std::string& errors) {
    const std::string cmd = "cd '" + dir.string() + "' && '" + ToolPath().string() + "' convert " + args + " 2>&1";
    errors.clear();
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), buf.size(), p)) errors += buf.data();
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
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

  std::string errors;
  ASSERT_EQ(Run("big.txt be.txt latin.txt", errors), 0) << errors;
  EXPECT_EQ(errors, "");
  EXPECT_TRUE(Bytes("big.txt") == Whole(utf8, 1252));
  EXPECT_TRUE(Bytes("big.bak") == utf8);
  EXPECT_EQ(Bytes("be.txt"), std::string("\xFF\xFE" "h\0i\0\x3D\xD8\x00\xDE", 10));
  EXPECT_EQ(Bytes("be.bak"), be);
  EXPECT_EQ(Bytes("latin.txt"), Whole("na\xEFve caf\xE9", 1252));
  struct stat after;
  ASSERT_EQ(::stat((dir / "big.txt").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // rewritten in place: the other name sees the new text
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_mtim.tv_sec, old[1].tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, old[1].tv_nsec);
  EXPECT_TRUE(Bytes("other_name_of_big") == Bytes("big.txt"));
}

TEST_F(ConvertCommand, CodePageAndRefusals) {
  Put("cyr.txt", "\xCF\xF0\xE8\xE2\xE5\xF2");
  std::string errors;
  ASSERT_EQ(Run("--codepage 1251 cyr.txt", errors), 0) << errors;
  EXPECT_EQ(Bytes("cyr.txt"), Whole("\xCF\xF0\xE8\xE2\xE5\xF2", 1251));

  // No text: left alone without a backup, and not a failure.
  Put("archive.txt", "PK\x03\x04 zipped");
  EXPECT_EQ(Run("archive.txt", errors), 0);
  EXPECT_NE(errors.find("archive.txt: not a text file, skipped"), std::string::npos) << errors;
  EXPECT_EQ(Bytes("archive.txt"), "PK\x03\x04 zipped");
  EXPECT_FALSE(fs::exists(dir / "archive.bak"));

  // Two files that would share one backup: the second is left alone.
  Put("notes.txt", "first");
  Put("notes.csv", "second");
  EXPECT_EQ(Run("notes.txt notes.csv", errors), 1);
  EXPECT_NE(errors.find("notes.csv: its backup"), std::string::npos) << errors;
  EXPECT_EQ(Bytes("notes.bak"), "first");
  EXPECT_EQ(Bytes("notes.csv"), "second");

  // What cannot be read, and a code page that is not there, which stops the run before any file.
  fs::create_directories(dir / "folder.txt");
  EXPECT_EQ(Run("missing.txt folder.txt", errors), 1);
  EXPECT_NE(errors.find("missing.txt: cannot read"), std::string::npos) << errors;
  EXPECT_NE(errors.find("folder.txt: cannot read"), std::string::npos) << errors;
  Put("plain.txt", "caf\xE9");
  EXPECT_EQ(Run("--codepage 4242 plain.txt", errors), 2);
  EXPECT_NE(errors.find("code page 4242 is not available"), std::string::npos) << errors;
  EXPECT_EQ(Bytes("plain.txt"), "caf\xE9");
  EXPECT_FALSE(fs::exists(dir / "plain.bak"));

  // A file whose backup is itself cannot be backed up, so it is not converted.
  Put("keep.bak", "old text");
  EXPECT_EQ(Run("keep.bak", errors), 1);
  EXPECT_NE(errors.find("cannot make the backup"), std::string::npos) << errors;
  EXPECT_EQ(Bytes("keep.bak"), "old text");
}

}  // namespace
}  // namespace kx8
