// The corpus commands of the built kx8 (concord, wordlist, compare) as a user runs them: exit statuses,
// counts, identical output with any number of workers, errors on standard error, checked writes. The
// tool sits beside this test executable (tools/kx8/kx8); without it the tests skip.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path ToolPath() {
  std::error_code ec;
  const auto self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path() / "tools" / "kx8" / "kx8";
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

class Kx8Commands : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_corpus_commands_" + std::to_string(getpid()));
  void SetUp() override {
    if (!fs::exists(ToolPath())) GTEST_SKIP() << "kx8 not built";
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  // Runs kx8 with args (a shell fragment) in dir; stdout to redirect when given.
  Outcome Run(const std::string& args, const std::string& redirect = "") {
    Outcome o;
    const std::string outFile = (dir / "out.txt").string(), errFile = (dir / "err.txt").string();
    const std::string cmd = "cd '" + dir.string() + "' && '" + ToolPath().string() + "' " + args + " >" +
                            (redirect.empty() ? outFile : redirect) + " 2>" + errFile;
    const int rc = std::system(cmd.c_str());
    o.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    auto slurp = [](const std::string& f) {
      std::ifstream in(f, std::ios::binary);
      return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    if (redirect.empty()) o.out = slurp(outFile);
    o.err = slurp(errFile);
    return o;
  }
};

TEST_F(Kx8Commands, ConcordExitStatusAndCount) {
  Write("t/a.txt", "a bank and a bank\n");
  Write("t/b.txt", "no such word here\n");
  Write("t/c.txt", "one bank\n");
  const Outcome found = Run("concord --count bank t");
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out, "t/a.txt:2\nt/c.txt:1\ntotal:3\n");
  const Outcome none = Run("concord --count zebra t");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "total:0\n");
  // A missing path is an error (status 2) named on stderr, and the other texts are still searched.
  const Outcome missing = Run("concord --count bank t missing.txt");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "t/a.txt:2\nt/c.txt:1\ntotal:3\n");
  EXPECT_NE(missing.err.find("missing.txt: No such file or directory"), std::string::npos) << missing.err;
  // A code page that is not there is refused up front, in every command, with convert's message.
  for (const std::string cmd : {"concord --codepage 12345 bank t", "wordlist --codepage 12345 t",
                                "compare --codepage 12345 t t"}) {
    const Outcome bad = Run(cmd);
    EXPECT_EQ(bad.status, 2) << cmd;
    EXPECT_NE(bad.err.find("code page 12345 is not available"), std::string::npos) << cmd << ": " << bad.err;
  }
}

TEST_F(Kx8Commands, WriteErrorsEndWithStatusTwo) {
  Write("ok.txt", "the bank\n");
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (const std::string cmd : {"concord the ok.txt", "wordlist ok.txt", "compare ok.txt ok.txt"}) {
    const Outcome o = Run(cmd, "/dev/full");
    EXPECT_EQ(o.status, 2) << cmd;
    EXPECT_NE(o.err.find("cannot write the output"), std::string::npos) << cmd << ": " << o.err;
  }
}

TEST_F(Kx8Commands, AnyNumberOfWorkersPrintsTheSameLines) {
  std::string big;
  for (int i = 0; i < 40000; ++i)
    big += "Line " + std::to_string(i) + ": the bank of the river. The Bank! l'eau\n" + (i % 7 == 0 ? "\n" : "");
  Write("big.txt", big);
  for (int i = 0; i < 30; ++i) Write("many/f" + std::to_string(i) + ".txt", big.substr(static_cast<size_t>(i) * 997, 5000));
  for (const std::string args : {"concord bank big.txt", "concord --sort R1,L1 the many", "concord --json 'bank*' many"}) {
    const Outcome one = Run(args + " -j1");
    const Outcome four = Run(args + " -j4");
    EXPECT_EQ(one.status, 0) << args;
    EXPECT_GT(one.out.size(), 1000u) << args;
    EXPECT_EQ(one.out, four.out) << args;
  }
}

TEST_F(Kx8Commands, SortFollowsTheLanguagesCollation) {
  Write("s.txt", "x zwei. x Z\xC3\xA4hler. x XYZ. x \xC3\xA9" "crire. x apple.\n");
  // The first word right of each node, in the order the lines are printed.
  auto rightWords = [&](const std::string& args) {
    const Outcome o = Run("concord --context 12 " + args + " x s.txt");
    std::vector<std::string> words;
    for (size_t at = o.out.find("] "); at != std::string::npos; at = o.out.find("] ", at + 1))
      words.push_back(o.out.substr(at + 2, o.out.find_first_of(". \n", at + 2) - at - 2));
    return words;
  };
  EXPECT_EQ(rightWords("--sort R1"), (std::vector<std::string>{"apple", "\xC3\xA9" "crire", "XYZ", "Z\xC3\xA4hler", "zwei"}));
  EXPECT_EQ(rightWords("--sort -R1"), (std::vector<std::string>{"zwei", "Z\xC3\xA4hler", "XYZ", "\xC3\xA9" "crire", "apple"}));
  EXPECT_EQ(rightWords("--sort R1 --codepoint-sort"),
            (std::vector<std::string>{"apple", "XYZ", "zwei", "Z\xC3\xA4hler", "\xC3\xA9" "crire"}));
}

TEST_F(Kx8Commands, WordlistReadsCodePagesAndArchives) {
  Write("latin.txt", "f\xFCr \xFC" "ber f\xFCr\n");
  const Outcome o = Run("wordlist --json --codepage 1252 latin.txt");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("\"word\":\"f\xC3\xBCr\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"tokens\":3"), std::string::npos) << o.out;
  // Hindi keeps its vowel signs inside the word; an elision stays one word, as concord finds it.
  Write("hi.txt", "\xE0\xA4\xAA\xE0\xA5\x8D\xE0\xA4\xB0\xE0\xA4\xA6\xE0\xA4\xB0\xE0\xA5\x8D\xE0\xA4\xB6\xE0\xA4\xBF"
                  "\xE0\xA4\xA4 l'installation installation\n");
  const Outcome h = Run("wordlist --json hi.txt");
  EXPECT_NE(h.out.find("\"tokens\":3"), std::string::npos) << h.out;
  EXPECT_EQ(Run("concord --count \"l'installation\" hi.txt").out, "hi.txt:1\ntotal:1\n");
  // compare says what each percentage is of, in its output and its help.
  Write("a.txt", "one two two three\n");
  Write("b.txt", "two three three three four\n");
  const Outcome cmp = Run("compare a.txt b.txt");
  EXPECT_EQ(cmp.status, 0);
  EXPECT_NE(cmp.out.find("% of the types of both"), std::string::npos) << cmp.out;
  EXPECT_NE(cmp.out.find("% of the tokens of both"), std::string::npos) << cmp.out;
  const Outcome help = Run("compare --help");
  EXPECT_NE(help.out.find("can pass 100%"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("swapping"), std::string::npos) << help.out;
  // compare refuses a side it cannot read rather than comparing with nothing.
  const Outcome c = Run("compare latin.txt nothing-here.txt");
  EXPECT_EQ(c.status, 2);
  EXPECT_NE(c.err.find("nothing-here.txt"), std::string::npos) << c.err;
}

TEST_F(Kx8Commands, TableColumnsLineUpInEveryScript) {
  // Words whose bytes, characters and columns all differ: two-byte letters, a letter with a combining
  // accent (no column), wide Han characters (two columns each), Devanagari with a vowel sign that takes
  // a column of its own, and plain ASCII. The frequency column must start at the same column on every
  // line, counted as a terminal shows it.
  Write("mixed.txt",
        "f\xC3\xBCr ca\xCC\x81" "fe \xE6\x96\x87\xE4\xBB\xB6 \xE0\xA4\x95\xE0\xA4\xBF\xE0\xA4\xB8 plain "
        "f\xC3\xBCr\n");
  const Outcome o = Run("wordlist mixed.txt");
  ASSERT_EQ(o.status, 0) << o.err;
  // The columns each word takes, as written above.
  const std::vector<std::pair<std::string, int>> words = {
      {"f\xC3\xBCr", 3}, {"ca\xCC\x81" "fe", 4}, {"\xE6\x96\x87\xE4\xBB\xB6", 4},
      {"\xE0\xA4\x95\xE0\xA4\xBF\xE0\xA4\xB8", 3}, {"plain", 5}};
  std::set<size_t> freqColumns;
  for (const auto& [word, columns] : words) {
    const size_t at = o.out.find("  " + word + " ");
    ASSERT_NE(at, std::string::npos) << word << "\n" << o.out;
    const size_t lineStart = o.out.rfind('\n', at) + 1;
    // Columns before the word (all ASCII), the word's own, then the spaces up to the frequency.
    size_t after = at + 2 + word.size();
    while (o.out[after] == ' ') ++after;
    const size_t spaces = after - (at + 2 + word.size());
    freqColumns.insert((at + 2 - lineStart) + static_cast<size_t>(columns) + spaces);
  }
  EXPECT_EQ(freqColumns.size(), 1u) << o.out;
}

TEST_F(Kx8Commands, ConcordanceContextsFillTheirColumnsInEveryScript) {
  // Each context takes --context terminal columns, the left one right-aligned: a wide Han or kana
  // character takes two (one that does not fit leaves a space), a combining accent none (it stays with
  // its letter), ASCII one. The lines as a terminal shows them, worked out by hand.
  struct Case {
    const char* text;
    const char* word;
    const char* line;  // after the tab
  };
  const Case cases[] = {
      // Left of x, 好 and two spaces take 4 columns, 很 2 more, 包 would make 8: one space fills. Right,
      // a space and 软件包 take all 7.
      {"\xE8\xBD\xAF\xE4\xBB\xB6\xE5\x8C\x85\xE5\xBE\x88\xE5\xA5\xBD  x \xE8\xBD\xAF\xE4\xBB\xB6\xE5\x8C\x85"
       "\xE5\xBE\x88\xE5\xA5\xBD xyz\n",
       "x", " \xE5\xBE\x88\xE5\xA5\xBD  [x] \xE8\xBD\xAF\xE4\xBB\xB6\xE5\x8C\x85"},
      // c a-acute f e: four columns for five units, the accent with its a; nothing on the left.
      {"cafe ca\xCC\x81" "fe cafe\n", "cafe", "       [cafe] ca\xCC\x81" "fe "},
      // Katakana on the left: キ would take the seventh and eighth columns, and is dropped whole.
      {"\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88  abc\n", "abc",
       " \xE3\x82\xB9\xE3\x83\x88  [abc]  "},  // (the text's end gives two spaces, as before)
      // Plain ASCII, as before: characters are columns.
      {"one two three four five\n", "three", "ne two [three] four f"},
  };
  for (const Case& c : cases) {
    Write("c.txt", c.text);
    const Outcome o = Run(std::string("concord --context 7 --segment off ") + c.word + " c.txt");
    ASSERT_EQ(o.status, 0) << o.err;
    const size_t tab = o.out.find('\t');
    ASSERT_NE(tab, std::string::npos) << o.out;
    EXPECT_EQ(o.out.substr(tab + 1, o.out.find('\n', tab) - tab - 1), c.line) << c.text;
  }
}

TEST_F(Kx8Commands, ContextsAreWrittenAsTheirOwnUtf8InEveryScript) {
  // --json keeps each context whole, so its bytes are the file's own: runs of eight or more units of one
  // kind are written eight at a time, the rest one by one, and the units at the edges of the kinds
  // (U+07FF two bytes, U+0800 three, U+D7FF and U+E000 about the surrogates, a pair of them four) must
  // come out the same either way. A tab becomes a space.
  const std::string han = "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xE7\xAC\xA6";  // four Han letters
  const std::string edges = "\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80";  // U+07FF U+0800 U+D7FF U+E000
  const std::string emoji = "\xF0\x9F\x98\x80";                                     // U+1F600
  const std::string left[] = {
      han + han + han,                               // 12 three-byte units
      han + han + edges + han + han,                 // the edges inside a run
      han + han + emoji + han + han,                 // a pair inside a run
      han + "\xC3\x9F\xD0\xB6" + han + han + "ab",  // two-byte letters, then ASCII
      "abcdefgh" + han + han + "12345678",          // ASCII runs round a Han one
  };
  for (const std::string& l : left) {
    const std::string right = han + "\t" + han + han + edges;
    Write("u.txt", l + " xyz " + right + "\n");
    const Outcome o = Run("concord --json --context 200 --segment off xyz u.txt");
    ASSERT_EQ(o.status, 0) << o.err;
    std::string flatRight = right;
    flatRight[han.size()] = ' ';
    EXPECT_NE(o.out.find("\"left\":\"" + l + " \""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"right\":\" " + flatRight), std::string::npos) << o.out;
  }
}

TEST_F(Kx8Commands, ServeListensOnLoopbackAndStopsOnASignal) {
  Write("t/a.txt", "a bank\n");
  // No path, or an address it cannot listen on, is an error before anything is served.
  EXPECT_EQ(Run("serve").status, 2);
  const Outcome bad = Run("serve --bind 256.1.1.1 --port 0 t");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("cannot listen on 256.1.1.1"), std::string::npos) << bad.err;
  EXPECT_EQ(Run("serve --codepage 12345 t").status, 2);
  // Started on any free port, it names its address and ends cleanly (status 0) on SIGTERM.
  const std::string out = (dir / "serve.txt").string();
  const std::string cmd = "cd '" + dir.string() + "' && timeout --preserve-status -s TERM 2 '" + ToolPath().string() +
                          "' serve --port 0 t >" + out + " 2>&1";
  const int rc = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << rc;
  std::ifstream in(out);
  const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(said.rfind("kx8 serve: http://127.0.0.1:", 0), 0u) << said;

  // kx8 starts the serve program beside it; a kx8 without it says so.
  const fs::path alone = dir / "alone";
  fs::create_directories(alone);
  fs::copy_file(ToolPath(), alone / "kx8");
  const std::string lone = "'" + (alone / "kx8").string() + "' serve --port 0 t 2>" + (dir / "lone.txt").string();
  const int lonely = std::system(lone.c_str());
  EXPECT_TRUE(WIFEXITED(lonely) && WEXITSTATUS(lonely) == 2) << lonely;
  std::ifstream why(dir / "lone.txt");
  const std::string told((std::istreambuf_iterator<char>(why)), std::istreambuf_iterator<char>());
  EXPECT_NE(told.find("kx8 serve: cannot start " + (alone / "kx8-serve").string()), std::string::npos) << told;
}

}  // namespace
