// A corpus file's whole text by format: mark-up stepped over, UTF-16 of either order, word-processor
// documents, and refusals for what is no text.
#include "kx8rt/corpus/corpus_file_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kx8 {
namespace {

namespace fs = std::filesystem;

class CorpusFileTextTest : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("kx8_corpus_file_text_" + std::to_string(getpid()));
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  UnicodeString Name(const char* leaf) const { return Utf8ToUtf16((dir / leaf).string()); }
  UnicodeString Put(const char* leaf, std::string_view bytes) {
    std::ofstream(dir / leaf, std::ios::binary) << bytes;
    return Name(leaf);
  }
};

TEST_F(CorpusFileTextTest, EveryFormat) {
  UnicodeString text, note;
  EXPECT_TRUE(CorpusFileText(Put("a.html", "<p>caf\xE9</p> <b>x</b>"), 1252, 100, text, note));
  EXPECT_EQ(text, u"caf\u00e9 x");
  EXPECT_TRUE(CorpusFileText(Put("b.txt", std::string("\xFE\xFF\0a\0b", 6)), 0, 0, text, note));
  EXPECT_EQ(text, u"ab");
  EXPECT_TRUE(CorpusFileText(Utf8ToUtf16(std::string(KX8_TESTDATA_DIR) + "/sample.docx"), 0, 0, text, note));
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(CorpusFileText(Put("c.doc", "\xD0\xCF\x11\xE0rest of it"), 0, 0, text, note));
  EXPECT_FALSE(note.empty());
  EXPECT_FALSE(CorpusFileText(Put("d.zip", "PK\x03\x04not really"), 0, 0, text, note));
  EXPECT_FALSE(CorpusFileText(Name("missing.txt"), 0, 0, text, note));
  EXPECT_EQ(note, u"no such file");
  EXPECT_TRUE(CorpusFileText(Put("e.txt", ""), 0, 0, text, note));
  EXPECT_EQ(text, u"");
}

}  // namespace
}  // namespace kx8
