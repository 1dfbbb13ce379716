// Measuring a text longer than one look at its head: its UTF-16 length and whether it is 7-bit, UTF-8 or
// the code page, over pieces whose ends fall inside characters of every length.
#include "kx8rt/corpus/text_delivery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "kx8rt/platform/strings.h"

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class MeasureText : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_measure_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }

  TCorpusTextInfo Measured(const std::string& name, const std::string& bytes, int32_t threads = 1) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    TCorpusText t;
    t.full_name = Utf8ToUtf16(p.string());
    t.size = static_cast<int64_t>(bytes.size());
    TCorpusTextSource source;
    UnicodeString note;
    EXPECT_TRUE(source.Open(t, 1252, note)) << Utf16ToUtf8(note);
    source.Measure(threads);
    return source.Info();
  }
};

// Text of the given pieces, chosen at random, to about `bytes` long.
std::string Mixed(const std::vector<std::string>& pieces, size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < bytes) s += pieces[rng() % pieces.size()];
  return s;
}

TEST_F(MeasureText, UnitsAndEncodingOfLongTexts) {
  const std::vector<std::string> ascii = {"the ", "Licence. ", "\n", "x"};
  // Two-, three- and four-byte characters (the last two units each) among 7-bit ones.
  const std::vector<std::string> utf8 = {"Gr\xC3\xBC\xC3\x9F" "e ", "\xE6\x96\x87\xE4\xBB\xB6", "\xF0\x9D\x84\x9E", "a ", "\n"};
  struct Case {
    const char* name;
    std::string bytes;
    TKXFileFormat format;
  };
  std::string lateBad = Mixed(ascii, 3 << 20, 2);
  lateBad += "caf\xE9\n";  // cp1252, not UTF-8, past the third piece
  const std::string signature = "\xEF\xBB\xBF" + Mixed(utf8, 1 << 20, 3);
  const Case cases[] = {
      {"ascii.txt", Mixed(ascii, 3 << 20, 1), fc_ASCII},
      {"utf8.txt", Mixed(utf8, (5 << 19) + 7, 4), fc_UTF8},
      {"utf8-short-pieces.txt", Mixed(utf8, 200000, 5), fc_UTF8},
      {"late-cp1252.txt", lateBad, fc_ANSI},
      {"signature.txt", signature, fc_UTF8},
  };
  for (const Case& c : cases) {
    const TCorpusTextInfo info = Measured(c.name, c.bytes);
    EXPECT_EQ(info.format, c.format) << c.name;
    const int64_t want = c.format == fc_ANSI
                             ? static_cast<int64_t>(c.bytes.size())
                             : static_cast<int64_t>(Utf8ToUtf16(c.bytes.substr(info.signature_bytes)).size());
    EXPECT_EQ(info.units, want) << c.name;
  }
}

TEST_F(MeasureText, SeveralThreadsMeasureWhatOneDoes) {
  // Long enough to be split among threads, with the stretches' edges falling anywhere: well-formed
  // UTF-8 of every length, and 7-bit text with one code-page byte in its last stretch.
  const std::vector<std::string> utf8 = {"Gr\xC3\xBC\xC3\x9F" "e ", "\xE6\x96\x87\xE4\xBB\xB6", "\xF0\x9D\x84\x9E", "a ", "\n"};
  std::string late = Mixed({"the ", "x\n"}, 17 << 20, 6);
  late.insert(late.size() - 100, "caf\xE9");
  const std::pair<const char*, std::string> cases[] = {{"utf8.txt", Mixed(utf8, (17 << 20) + 3, 7)},
                                                       {"late.txt", late}};
  for (const auto& [name, bytes] : cases) {
    const TCorpusTextInfo one = Measured(name, bytes, 1);
    for (const int32_t threads : {2, 3}) {
      const TCorpusTextInfo many = Measured(name, bytes, threads);
      EXPECT_EQ(many.units, one.units) << name << " " << threads;
      EXPECT_EQ(many.format, one.format) << name << " " << threads;
      EXPECT_EQ(many.encoding, one.encoding) << name << " " << threads;
    }
  }
  EXPECT_EQ(Measured("utf8.txt", cases[0].second, 2).units,
            static_cast<int64_t>(Utf8ToUtf16(cases[0].second).size()));
  EXPECT_EQ(Measured("late.txt", late, 3).format, fc_ANSI);
}

}  // namespace
}  // namespace kx8
