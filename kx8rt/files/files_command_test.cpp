// kx8 files and kx8 convert as a user meets them at the edges: sizes past 4 GB, the exit statuses, what
// cannot be read named with the system's reason, and output that cannot be written (a full device, a
// reader that went away). The tool sits beside this test executable (tools/kx8/kx8); without it the
// tests skip.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path ToolPath() {
  std::error_code ec;
  const auto self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path() / "tools" / "kx8" / "kx8";
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ToolEdges : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_tool_edges_" + std::to_string(::getpid()));
  void SetUp() override {
    if (!fs::exists(ToolPath())) GTEST_SKIP() << "kx8 not built";
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  void Put(const fs::path& rel, const std::string& bytes) {
    fs::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << bytes;
  }

  // Runs kx8 with args in the folder, stdout going to outFd (or to a file read back into out when
  // outFd is -1); the exit status (-1 when it did not exit), with stderr in errors.
  int Run(const std::vector<std::string>& args, std::string& out, std::string& errors, int outFd = -1) {
    const fs::path outFile = dir.string() + ".out", errFile = dir.string() + ".err";
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir.c_str()) != 0) ::_exit(127);
      const int o = outFd >= 0 ? outFd : ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(o, 1);
      ::dup2(e, 2);
      std::vector<char*> argv{const_cast<char*>("kx8")};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(ToolPath().c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    auto slurp = [](const fs::path& p) {
      std::ifstream f(p, std::ios::binary);
      std::string s(std::istreambuf_iterator<char>(f), {});
      fs::remove(p);
      return s;
    };
    out = outFd >= 0 ? std::string() : slurp(outFile);
    errors = slurp(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(ToolEdges, FilesShowsAndSortsSizesPastFourGigabytes) {
  const int64_t gib = int64_t{1} << 30;
  Put("t/small.txt", "0123456789");
  for (const auto& [name, size] : {std::pair<const char*, int64_t>{"t/five.txt", 5 * gib}, {"t/three.txt", 3 * gib}}) {
    Put(name, "");
    ASSERT_EQ(::truncate((dir / name).c_str(), size), 0);  // sparse: no disk space taken
  }
  std::string out, errors;
  ASSERT_EQ(Run({"files", "--sort", "size", "t"}, out, errors), 0) << errors;
  const size_t small = out.find("small.txt"), three = out.find("three.txt"), five = out.find("five.txt");
  ASSERT_NE(five, std::string::npos) << out;
  EXPECT_LT(small, three);
  EXPECT_LT(three, five);
  EXPECT_TRUE(Has(out, "  5368709120  ")) << out;
  EXPECT_TRUE(Has(out, "  3221225472  ")) << out;
  ASSERT_EQ(Run({"files", "--json", "t/five.txt"}, out, errors), 0) << errors;
  EXPECT_TRUE(Has(out, "\"size\": 5368709120,")) << out;
}

TEST_F(ToolEdges, FilesExitStatusesAndUnreadablePaths) {
  std::string out, errors;
  fs::create_directories(dir / "empty");
  EXPECT_EQ(Run({"files", "empty"}, out, errors), 1);  // nothing found
  EXPECT_EQ(out, "");
  EXPECT_EQ(errors, "");

  Put("t/a.txt", "a");
  fs::create_directory_symlink("loop", dir / "loop");
  EXPECT_EQ(Run({"files", "missing", "loop", "t"}, out, errors), 2);
  EXPECT_TRUE(Has(errors, "kx8 files: missing: No such file or directory")) << errors;
  EXPECT_TRUE(Has(errors, "kx8 files: loop: Too many levels of symbolic links")) << errors;
  EXPECT_TRUE(Has(out, "t/a.txt")) << out;  // the rest is still listed

  // A folder below the start that the walk cannot open (here: its path is past the system's limit).
  const std::string level(200, 'd');
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(::mkdirat(fd, "deep", 0755), 0);
  int next = ::openat(fd, "deep", O_RDONLY | O_DIRECTORY);
  ::close(fd);
  fd = next;
  for (size_t len = dir.string().size() + 5; len < PATH_MAX + 300; len += level.size() + 1) {
    ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
    next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  ::close(fd);
  Put("deep/b.txt", "b");
  EXPECT_EQ(Run({"files", "-r", "deep"}, out, errors), 2);
  EXPECT_TRUE(Has(errors, "the path is longer than the system allows")) << errors;
  EXPECT_TRUE(Has(out, "deep/b.txt")) << out;

  EXPECT_EQ(Run({"files", "--sort", "colour", "t"}, out, errors), 2);
  EXPECT_TRUE(Has(errors, "--sort takes name, date, size or ext")) << errors;
}

TEST_F(ToolEdges, OutputThatCannotBeWrittenEndsWithStatusTwo) {
  for (int i = 0; i < 3000; ++i) Put("t/file" + std::to_string(i) + ".txt", "x");
  std::string out, errors;
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  EXPECT_EQ(Run({"files", "t"}, out, errors, full), 2);
  EXPECT_EQ(errors, "kx8 files: cannot write the output: No space left on device\n");
  ::close(full);

  // A reader that has gone: the write fails (no silent death by signal).
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ::close(p[0]);
  EXPECT_EQ(Run({"files", "t"}, out, errors, p[1]), 2);
  EXPECT_EQ(errors, "kx8 files: cannot write the output: Broken pipe\n");
  Put("c.txt", "converted all the same");
  EXPECT_EQ(Run({"convert", "c.txt"}, out, errors, p[1]), 2);
  EXPECT_TRUE(Has(errors, "kx8 convert: c.txt: converted, the original kept as c.txt.bak")) << errors;
  EXPECT_TRUE(Has(errors, "kx8 convert: cannot write the output: Broken pipe")) << errors;
  ::close(p[1]);
}

}  // namespace
