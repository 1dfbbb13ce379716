// Measuring a text longer than one look at its head: its UTF-16 length and whether it is 7-bit, UTF-8 or
// the code page, over pieces whose ends fall inside characters of every length.
#include "kx8rt/corpus/text_delivery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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

  // A file of the folder holding bytes, as a walk finds it.
  TCorpusText WriteText(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    TCorpusText t;
    t.full_name = Utf8ToUtf16(p.string());
    t.size = static_cast<int64_t>(bytes.size());
    return t;
  }

  // The units the windows of [from, to) own, in order (7-bit text, read undecoded 150,000 units a
  // window); afterWindow runs after each.
  static std::string OwnedUnits(TCorpusTextSource& source, const TCorpusTextInfo& info, int64_t from, int64_t to,
                                const std::function<void()>& afterWindow = {}) {
    TCorpusWindowReader reader;
    reader.SetUndecodedSevenBit(true);
    std::string seen;
    reader.ForEach(source, info, from, to, 150000, 64, nullptr, [&](const TCorpusWindow& w) {
      w.Widen(w.own_from, w.own_to);
      seen.append(w.text + w.own_from, w.text + w.own_to);
      if (afterWindow) afterWindow();
    });
    return seen;
  }

  TCorpusTextInfo Measured(const std::string& name, const std::string& bytes, int32_t threads = 1) {
    const TCorpusText t = WriteText(name, bytes);
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

// A window as the consumer sees it once every unit is written.
struct SeenWindow {
  std::u16string units;
  int32_t own_from, own_to;
  bool start, end, undecoded;
  std::string ahead;  // the bytes the window said come next
};

std::vector<SeenWindow> Windows(TCorpusTextSource& source, const TCorpusTextInfo& info, int64_t from, int64_t to,
                                int32_t chunk, bool undecoded) {
  TCorpusWindowReader reader;
  reader.SetUndecodedSevenBit(undecoded);
  std::vector<SeenWindow> seen;
  reader.ForEach(source, info, from, to, chunk, 64, nullptr, [&](const TCorpusWindow& w) {
    const bool lazy = w.seven_bit != nullptr;
    if (lazy) {
      // Written in two overlapping pieces, as a consumer widens what it reads.
      w.Widen(-5, w.length / 2 + 3);
      w.Widen(w.length / 2, w.length + 5);
    }
    EXPECT_EQ(w.text[w.length], 0);
    seen.push_back({std::u16string(w.text, static_cast<size_t>(w.length)), w.own_from, w.own_to, w.text_start,
                    w.text_end, lazy, std::string(reinterpret_cast<const char*>(w.ahead), static_cast<size_t>(w.ahead_length))});
  });
  return seen;
}

TEST_F(MeasureText, AFileCutShortWhileItIsReadEndsWhereItNowEnds) {
  // Sized at 1 MB when opened, cut to 300,000 bytes before its windows are read (and again to 100,000
  // between them): windows large enough to be read through memory must not reach past the end (a
  // fault), and what they own is what the file still holds.
  const std::string bytes = Mixed({"the ", "Licence. ", "\n", "x"}, 1 << 20, 11);
  const fs::path p = dir / "shrinking.txt";
  for (const bool again : {false, true}) {
    const TCorpusText t = WriteText("shrinking.txt", bytes);
    TCorpusTextSource source;
    UnicodeString note;
    ASSERT_TRUE(source.Open(t, 1252, note)) << Utf16ToUtf8(note);
    const TCorpusTextInfo info = source.Info();
    fs::resize_file(p, 300000);
    int windows = 0;
    const std::string seen = OwnedUnits(source, info, -1, 0, [&] {
      if (again && ++windows == 1) fs::resize_file(p, 100000);
    });
    const size_t left = again ? 100000 : 300000;
    // The bytes read, then perhaps the line break a text's end is given; nothing beyond.
    ASSERT_GE(seen.size(), std::min<size_t>(left, 150000)) << again;
    EXPECT_LE(seen.size(), 300001u) << again;
    EXPECT_EQ(seen.substr(0, std::min(seen.size(), left)), bytes.substr(0, std::min(seen.size(), left))) << again;
  }
}

TEST_F(MeasureText, ASourceLeftOpenReadsTheNextPartOrTheNextFileAsAFreshOneDoes) {
  // A searcher keeps its source open after a part of a file: the next part of the same file is read
  // through it, another file (of the same size, even) is opened afresh, and each reads what a new source
  // reads there.
  const std::string a = Mixed({"the ", "Licence. ", "\n", "x"}, 1 << 20, 12);
  const std::string b = Mixed({"other ", "words, ", "\n"}, 2 << 20, 13).substr(0, a.size());
  const TCorpusText ta = WriteText("a.txt", a), tb = WriteText("b.txt", b);
  ASSERT_EQ(ta.size, tb.size);
  TCorpusTextInfo info;
  {
    TCorpusTextSource measured;
    UnicodeString note;
    ASSERT_TRUE(measured.Open(ta, 1252, note)) << Utf16ToUtf8(note);
    measured.Measure();
    info = measured.Info();
  }
  const std::pair<const TCorpusText*, std::pair<int64_t, int64_t>> parts[] = {
      {&ta, {0, 300000}}, {&ta, {600000, 900000}}, {&ta, {300000, 600000}}, {&tb, {300000, 600000}}, {&ta, {0, 150000}}};
  TCorpusTextSource kept;
  for (const auto& [text, range] : parts) {
    UnicodeString note;
    ASSERT_TRUE(kept.OpenPart(*text, info, note)) << Utf16ToUtf8(note);
    const std::string got = OwnedUnits(kept, info, range.first, range.second);
    TCorpusTextSource fresh;
    ASSERT_TRUE(fresh.OpenPart(*text, info, note));
    const std::string want = OwnedUnits(fresh, info, range.first, range.second);
    ASSERT_EQ(got.size(), static_cast<size_t>(range.second - range.first));
    // (Compared whole, without printing hundreds of kilobytes when they differ.)
    EXPECT_TRUE(got == want) << Utf16ToUtf8(text->full_name) << " " << range.first;
    EXPECT_TRUE(got == (text == &ta ? a : b).substr(static_cast<size_t>(range.first), got.size()))
        << Utf16ToUtf8(text->full_name) << " " << range.first;
  }
}

TEST_F(MeasureText, UndecodedSevenBitWindowsHoldTheDecodedUnits) {
  // 7-bit text with zero bytes past the first look (read as spaces), then a stretch with 8-bit
  // characters: windows over the 7-bit stretches are handed on undecoded, the others decoded, and
  // widened they hold what decoded windows hold, with the same edges.
  std::string bytes = Mixed({"the ", "Licence. ", "\n", "x", "\t"}, 200000, 8);
  for (size_t at : {size_t{70000}, size_t{70001}, size_t{150000}}) bytes[at] = '\0';
  bytes += Mixed({"Gr\xC3\xBC\xC3\x9F" "e ", "a ", "\n"}, 20000, 9);
  bytes += Mixed({"end ", ".\n"}, 9000, 10);
  const fs::path p = dir / "windows.txt";
  TCorpusText t = WriteText("windows.txt", bytes);
  for (const bool ascii : {false, true}) {
    // Measured as 7-bit, windows are not looked at again; the whole text looked at window by window.
    const std::string body = ascii ? bytes.substr(0, 200000) : bytes;
    std::ofstream(p, std::ios::binary | std::ios::trunc) << body;
    t.size = static_cast<int64_t>(body.size());
    TCorpusTextSource source;
    UnicodeString note;
    ASSERT_TRUE(source.Open(t, 1252, note)) << Utf16ToUtf8(note);
    source.Measure();
    const TCorpusTextInfo info = source.Info();
    ASSERT_EQ(info.format, ascii ? fc_ASCII : fc_UTF8);
    std::string read = body;  // as the windows hold it: zero bytes read as spaces
    std::replace(read.begin(), read.end(), '\0', ' ');
    for (const int32_t chunk : {1000, 65536, 150000}) {
      for (const auto& [from, to] : {std::pair<int64_t, int64_t>{-1, 0}, {150000, 190000}}) {
        const std::vector<SeenWindow> want = Windows(source, info, from, to, chunk, false);
        const std::vector<SeenWindow> got = Windows(source, info, from, to, chunk, true);
        ASSERT_EQ(got.size(), want.size()) << chunk;
        size_t undecoded = 0, aheads = 0;
        for (size_t k = 0; k < want.size(); ++k) {
          ASSERT_EQ(got[k].units, want[k].units) << "window " << k << " chunk " << chunk;
          EXPECT_EQ(got[k].own_from, want[k].own_from) << k;
          EXPECT_EQ(got[k].own_to, want[k].own_to) << k;
          EXPECT_EQ(got[k].start, want[k].start) << k;
          EXPECT_EQ(got[k].end, want[k].end) << k;
          EXPECT_FALSE(want[k].undecoded);
          const bool sevenBit = std::all_of(want[k].units.begin(), want[k].units.end(), [](char16_t c) { return c < 0x80; });
          EXPECT_EQ(got[k].undecoded, sevenBit) << k;
          undecoded += got[k].undecoded;
          // What a window says comes next is what follows its bytes in the file.
          if (!got[k].ahead.empty()) {
            ++aheads;
            ASSERT_TRUE(sevenBit);
            const std::string own(got[k].units.begin(), got[k].units.end());
            const size_t at = read.find(own);
            ASSERT_NE(at, std::string::npos) << k;
            EXPECT_EQ(body.compare(at + own.size(), got[k].ahead.size(), got[k].ahead), 0) << "window " << k;
            EXPECT_FALSE(got[k].end) << k;
          }
        }
        // Windows large enough to be mapped tell what comes next, save the last of what is read.
        if (chunk >= 150000 && from < 0) {
          EXPECT_GT(aheads, 0u);
        } else if (chunk < 65536) {
          EXPECT_EQ(aheads, 0u);
        }
        EXPECT_GT(undecoded, 0u) << chunk;
        if (!ascii && from < 0) {
          EXPECT_LT(undecoded, got.size()) << chunk;
        }
      }
    }
  }
}

TEST_F(MeasureText, LargeWindowsOfTextDecodedWholeHoldTheTextWithTheirMargins) {
  // Windows too large to be read a page or two at a time, of text that is not mostly 7-bit (read into
  // the reader's buffer, not mapped) and of text that is (mapped): what each owns follows on from the
  // last, the margins hold the text on either side, and all of it is the decoded text. (The part asked
  // for runs past the end of the shortest file, as when a file shrank after its parts were made.)
  const std::vector<std::string> chinese = {"\xE6\x96\x87\xE4\xBB\xB6", "\xE8\xBD\xAF\xE4\xBB\xB6\xE5\x8C\x85",
                                            "\xE3\x80\x82\n", "a ", "\xF0\x9D\x84\x9E"};
  const std::string utf8 = Mixed(chinese, (3 << 20) + 5, 14);
  const std::string latin = Mixed({"the ", "Licence. ", "Gr\xC3\xBC\xC3\x9F" "e ", "\n"}, 1 << 20, 15);
  const std::u16string wide = Utf8ToUtf16(utf8);
  std::string utf16 = "\xFF\xFE";
  for (const char16_t c : wide) utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const std::pair<const char*, const std::string*> cases[] = {
      {"chinese.txt", &utf8}, {"latin.txt", &latin}, {"utf16.txt", &utf16}};
  for (const auto& [name, bytes] : cases) {
    const TCorpusText t = WriteText(name, *bytes);
    TCorpusTextSource source;
    UnicodeString note;
    ASSERT_TRUE(source.Open(t, 1252, note)) << Utf16ToUtf8(note);
    source.Measure();
    const TCorpusTextInfo info = source.Info();
    const std::u16string want = bytes == &utf16 ? wide : Utf8ToUtf16(*bytes);
    ASSERT_EQ(info.units, static_cast<int64_t>(want.size())) << name;
    for (const auto& [from, to] : {std::pair<int64_t, int64_t>{-1, 0}, {700001, 1900000}}) {
      const std::vector<SeenWindow> seen = Windows(source, info, from, to, 150000, false);
      ASSERT_GT(seen.size(), 2u) << name;
      // Where the part's first window begins in the text: its owned units found there.
      std::u16string owned;
      for (const SeenWindow& w : seen) owned += w.units.substr(static_cast<size_t>(w.own_from), static_cast<size_t>(w.own_to - w.own_from));
      const size_t at = from < 0 ? 0 : want.find(owned.substr(0, 64));
      ASSERT_NE(at, std::u16string::npos) << name;
      if (from < 0) {
        // The whole text (and perhaps the line break a text's end is given).
        EXPECT_TRUE(owned == want || owned == want + u"\n") << name << " " << owned.size() << " " << want.size();
      } else {
        EXPECT_TRUE(owned == want.substr(at, owned.size())) << name;
        EXPECT_GT(owned.size(), 200000u) << name;
      }
      // Each window's margins are the text before and after what it owns.
      size_t own = at;
      for (size_t k = 0; k < seen.size(); ++k) {
        const SeenWindow& w = seen[k];
        const size_t first = own - static_cast<size_t>(w.own_from);
        // (The text's last window holds the line break its end is given too.)
        const size_t held = std::min(w.units.size(), want.size() - first);
        EXPECT_TRUE(w.units.substr(0, held) == want.substr(first, held)) << name << " window " << k;
        own += static_cast<size_t>(w.own_to - w.own_from);
      }
    }
  }
}


TEST_F(MeasureText, ASmallFileIsReadAsItIsNowWhateverSizeTheWalkSaw) {
  // A small file is read whole at once by the size its walk gave: when the file has grown or shrunk since,
  // or the walk gave no size, all of what it holds now is read, no more and no less.
  const std::string now = "The text as it stands now, r\xC3\xA9sum\xC3\xA9.\n";
  const fs::path p = dir / "small.txt";
  std::ofstream(p, std::ios::binary) << now;
  for (const int64_t walked : {int64_t(now.size()), int64_t(now.size()) - 5, int64_t(now.size()) + 7, int64_t(1), int64_t(0)}) {
    TCorpusText t;
    t.full_name = Utf8ToUtf16(p.string());
    t.size = walked;
    TCorpusTextSource source;
    UnicodeString note;
    ASSERT_TRUE(source.Open(t, 1252, note)) << Utf16ToUtf8(note);
    EXPECT_EQ(source.Info().size, static_cast<int64_t>(now.size())) << walked;
    EXPECT_EQ(source.Info().format, fc_UTF8) << walked;
    std::string read(now.size() + 10, '\0');
    read.resize(source.ReadAt(0, read.data(), read.size()));
    EXPECT_EQ(read, now) << walked;
    // The window reader looks at the bytes where the source holds them: the same bytes, none past the end.
    size_t held = 0;
    const uint8_t* at = source.HeldAt(3, now.size() + 10, held);
    ASSERT_NE(at, nullptr) << walked;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(at), held), now.substr(3)) << walked;
    EXPECT_EQ(source.HeldAt(static_cast<int64_t>(now.size()), 4, held), nullptr);
  }
  // No plain file: said so, whatever size was given.
  TCorpusText folder;
  folder.full_name = Utf8ToUtf16(dir.string());
  folder.size = 10;
  TCorpusTextSource source;
  UnicodeString note;
  EXPECT_FALSE(source.Open(folder, 1252, note));
  EXPECT_FALSE(note.empty());
}

TEST_F(MeasureText, OneSourceRecognisesTextAfterTextAsFreshOnesDo) {
  // Small files of every kind, read one after another by one source (as a searcher reads a folder) and
  // each by a fresh one: the same format, encoding, length and bytes, and nothing kept from the text
  // before. 7-bit text is told apart from what merely starts like it.
  struct Case {
    const char* name;
    std::string bytes;
    bool opens;
    TKXFileFormat format;
    int64_t units;
  };
  const std::string plain(70, 'a');
  const std::vector<Case> cases = {
      {"odd.txt", "The licence, version 3.\n", true, fc_ASCII, 24},
      {"even.txt", "The licence, version 2.\n\n", true, fc_ASCII, 25},
      {"long.txt", plain + "\n" + plain + ".\n", true, fc_ASCII, 143},
      {"one.txt", "x", true, fc_ASCII, 1},
      {"late8bit.txt", plain + "r\xC3\xA9sum\xC3\xA9", true, fc_UTF8, 76},
      {"late1252.txt", plain + "caf\xE9", true, fc_ANSI, 74},
      {"zero.txt", plain + std::string(1, '\0') + plain, false, fc_ASCII, 0},
      {"utf16.txt", std::string("T\0h\0e\0 \0l\0i\0c\0e\0n\0c\0e\0.\0", 24), true, fc_UTF16, 12},
      {"zip.txt", std::string("PK\x03\x04", 4) + plain, false, fc_ASCII, 0},
      {"pdf.txt", "%PDF-1.4\n" + plain, false, fc_ASCII, 0},
      {"after.txt", "ok\n", true, fc_ASCII, 3},
      // Past what is read whole at once, after small files: its head is its own.
      {"big.txt", std::string(70000, 'b') + "r\xC3\xA9sum\xC3\xA9", true, fc_UTF8, 70006},
      {"last.txt", std::string("\xFF\xFEo\0k\0", 6), true, fc_UTF16, 2},
  };
  TCorpusTextSource reused;
  for (const Case& c : cases) {
    const fs::path p = dir / c.name;
    std::ofstream(p, std::ios::binary) << c.bytes;
    TCorpusText t;
    t.full_name = Utf8ToUtf16(p.string());
    t.size = static_cast<int64_t>(c.bytes.size());
    TCorpusTextSource fresh;
    UnicodeString note, freshNote;
    const bool opened = reused.Open(t, 1252, note);
    ASSERT_EQ(fresh.Open(t, 1252, freshNote), opened) << c.name;
    EXPECT_EQ(opened, c.opens) << c.name << ": " << Utf16ToUtf8(note);
    EXPECT_EQ(note, freshNote) << c.name;
    if (!opened) {
      reused.Close();
      continue;
    }
    fresh.Measure();
    reused.Measure();
    EXPECT_EQ(reused.Info().format, c.format) << c.name;
    EXPECT_EQ(reused.Info().units, c.units) << c.name;
    EXPECT_EQ(reused.Info().format, fresh.Info().format) << c.name;
    EXPECT_EQ(reused.Info().encoding, fresh.Info().encoding) << c.name;
    EXPECT_EQ(reused.Info().units, fresh.Info().units) << c.name;
    std::string read(c.bytes.size() + 8, '\0');
    read.resize(reused.ReadAt(0, read.data(), read.size()));
    EXPECT_EQ(read, c.bytes) << c.name;
    reused.Close();
  }
}

}  // namespace
}  // namespace kx8
