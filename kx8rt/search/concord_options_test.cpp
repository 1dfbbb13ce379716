// kx8 concord's search planning options, run over a small text: the expected concordance lines are
// held here. The tool sits beside this test executable (tools/kx8/kx8); without it the test skips.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::filesystem::path ToolPath() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path() / "tools" / "kx8" / "kx8";
}

class ConcordOptions : public ::testing::Test {
 protected:
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kx8_concord_options_" + std::to_string(getpid()));
  void SetUp() override {
    if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "kx8 not built";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "t.txt") << "The river bank was steep. She went to the bank to pay.\n"
                                    "He goes home. They went away. The bank of the river.\n";
    std::ofstream(dir / "lem.txt") << "go -> goes,went,gone\n";
    std::ofstream(dir / "stop.txt") << "the\n";
    std::ofstream(dir / "req.txt") << "; requests\nbank\nsteep=2\n";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  // The concordance lines (those naming the file) of one run.
  std::vector<std::string> Run(const std::string& args) {
    const std::string cmd = "cd '" + dir.string() + "' && '" + ToolPath().string() + "' concord " + args + " 2>/dev/null";
    std::vector<std::string> lines;
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return lines;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), buf.size(), p)) {
      std::string l(buf.data());
      if (!l.empty() && l.back() == '\n') l.pop_back();
      if (l.rfind("t.txt:", 0) == 0) lines.push_back(l);
    }
    pclose(p);
    return lines;
  }
};

TEST_F(ConcordOptions, EachPlanningOption) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Run("--context 12 --context-word river --span 3 bank t.txt"),
            (V{"t.txt:11 (9%) w3 s1 p1\t  The river [bank] was steep. ",
               "t.txt:90 (82%) w20 s5 p1\tt away. The [bank] of the rive"}));
  EXPECT_EQ(Run("--context 12 --exclude-word river --span 3 bank t.txt"),
            (V{"t.txt:43 (39%) w10 s2 p1\twent to the [bank] to pay. He "}));
  EXPECT_EQ(Run("--context 12 --lemmas lem.txt go t.txt"),
            (V{"t.txt:31 (28%) w7 s2 p1\t steep. She [went] to the bank",
               "t.txt:59 (53%) w14 s3 p1\t to pay. He [goes] home. They ",
               "t.txt:75 (68%) w17 s4 p1\t home. They [went] away. The b"}));
  EXPECT_EQ(Run("--context 8 --stoplist stop.txt 'the/bank' t.txt"),
            (V{"t.txt:11 (9%) w3 s1 p1\te river [bank] was ste", "t.txt:43 (39%) w10 s2 p1\t to the [bank] to pay.",
               "t.txt:90 (82%) w20 s5 p1\tay. The [bank] of the "}));
  EXPECT_EQ(Run("--context 8 --search-file req.txt t.txt"),
            (V{"t.txt:11 (9%) w3 s1 p1\te river [bank] was ste", "t.txt:20 (17%) w5 s1 p1\tank was [steep]. She we",
               "t.txt:43 (39%) w10 s2 p1\t to the [bank] to pay.", "t.txt:90 (82%) w20 s5 p1\tay. The [bank] of the "}));
  EXPECT_TRUE(Run("--context 8 --search-file missing.txt t.txt").empty());
}

TEST_F(ConcordOptions, ContextAndExclusionWordsTakeWildcardsAndSpans) {
  using V = std::vector<std::string>;
  const std::string bank11 = "t.txt:11 (9%) w3 s1 p1\t  The river [bank] was steep. ";
  const std::string bank43 = "t.txt:43 (39%) w10 s2 p1\twent to the [bank] to pay. He ";
  const std::string bank90 = "t.txt:90 (82%) w20 s5 p1\tt away. The [bank] of the rive";
  // Options: wildcards and the case notation in context and exclusion words.
  EXPECT_EQ(Run("--context 12 --context-word 'riv*' --span 3 bank t.txt"), (V{bank11, bank90}));
  EXPECT_EQ(Run("--context 12 --exclude-word 'ste?p' --span 3 bank t.txt"), (V{bank43, bank90}));
  EXPECT_TRUE(Run("--context 12 --context-word '==River==' --span 3 bank t.txt").empty());
  // The clause: five words each side without a span; with one, only the sides it names.
  EXPECT_EQ(Run("--context 12 'bank context:=river' t.txt"), (V{bank11, bank90}));
  EXPECT_EQ(Run("--context 12 'bank context:=riv* [[0,3]]' t.txt"), (V{bank90}));
  EXPECT_EQ(Run("--context 12 'bank context:=riv* [[2,0]]' t.txt"), (V{bank11}));
  EXPECT_TRUE(Run("--context 12 'bank context:=pay [[0,1]]' t.txt").empty());
}

}  // namespace
