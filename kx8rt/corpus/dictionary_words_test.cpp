// The Chinese-Japanese dictionary cutter against ICU's word break iterator, which it must agree with
// word for word, and the runs it must leave to ICU.
#include <gtest/gtest.h>
#include <unistd.h>

#include <unicode/brkiter.h>
#include <unicode/ucharstrie.h>
#include <unicode/udata.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kx8rt/corpus/corpus_words.h"
#include "kx8rt/corpus/dictionary_words.h"
#include "kx8rt/platform/cpu_features.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/text_primitives/char_types.h"

namespace kx8 {
namespace {

struct TStarts {
  std::vector<int32_t> icu, ours;
  int32_t runs = 0, cut = 0;  // runs with a Han or kana letter; those the dictionary cutter took
};

// Word starts inside the runs of word characters of text (under the word rule's middle characters),
// found by ICU's word break iterator alone and by SegmentUnspacedRuns.
TStarts Starts(const std::u16string& text, const UnicodeString& middleChars = kCorpusDefaultMiddleChars) {
  TStarts s;
  const auto n = static_cast<int32_t>(text.size());
  TCorpusWordRule plain;
  plain.middle_chars = middleChars;
  plain.segment = false;
  std::vector<uint16_t> types;
  ClassifyCorpusWindow(text.c_str(), n, types, plain);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> bi(icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
  EXPECT_TRUE(U_SUCCESS(status));
  const icu::UnicodeString whole(false, text.c_str(), n);
  bi->setText(whole);
  TWordStartList found;
  THanKanaCutter cutter;
  for (int32_t i = 0; i < n;) {
    if (!IsCorpusWordChar(types[i])) {
      ++i;
      continue;
    }
    const int32_t start = i;
    bool hanKana = false;
    while (i < n && IsCorpusWordChar(types[i])) hanKana |= IsHanKanaChar(text[i++]);
    if (i - start < 2) continue;
    for (int32_t b = bi->following(start); b != icu::BreakIterator::DONE && b < i; b = bi->next())
      if (IsCorpusWordChar(types[b])) s.icu.push_back(b);
    if (!hanKana) continue;
    ++s.runs;
    found.clear();
    s.cut += cutter.WordStarts(text.c_str(), n, start, i, found);
  }
  // Plain runs are taken from the window's masks where the processor has 512-bit vectors, else run by
  // run: both must give ICU's words.
  for (const bool wide : {true, false}) {
    TVectors512Setting vectors(wide);
    std::vector<uint16_t> segmented(types);
    SegmentUnspacedRuns(text.c_str(), segmented.data(), n);
    std::vector<int32_t> starts;
    for (int32_t i = 0; i < n; ++i)
      if (segmented[i] & word_start_flag) starts.push_back(i);
    if (wide) {
      s.ours = starts;
    } else {
      EXPECT_EQ(starts, s.ours) << "run by run and from the masks differ";
    }
  }
  return s;
}

std::string Show(const std::u16string& text, const std::vector<int32_t>& starts) {
  std::u16string out;
  size_t from = 0;
  for (const int32_t b : starts) {
    out += text.substr(from, static_cast<size_t>(b) - from) + u"|";
    from = static_cast<size_t>(b);
  }
  return Utf16ToUtf8(out + text.substr(from));
}

// A sentence's words under the word rule's middle characters, ours as ICU's; and, when allTaken, every
// run with a Han or kana letter one the cutter takes.
void ExpectCutAsIcu(const char* sentence, bool allTaken, const UnicodeString& middleChars = kCorpusDefaultMiddleChars) {
  const std::u16string text = Utf8ToUtf16(sentence);
  const TStarts st = Starts(text, middleChars);
  EXPECT_EQ(Show(text, st.ours), Show(text, st.icu)) << sentence;
  if (allTaken) {
    EXPECT_EQ(st.cut, st.runs) << sentence;
  }
}

TEST(DictionaryWords, SentencesAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Sentences of our own, Chinese and Japanese, with Katakana runs of many lengths, ASCII letters and
  // digits inside runs, and Han letters beyond the first plane.
  const char* const kSentences[] = {
      "我们的软件包很好。软件包管理器安装了新的软件。",
      "中华人民共和国的首都是北京，上海是最大的城市。",
      "请确认您不想给您的密钥加上任何的保护，然后重新启动计算机",
      "研究生命起源的科学家们认为这个问题非常复杂",
      "今天天气很好我们去公园散步吧明天可能会下雨",
      "第3章介绍了Linux内核的编译方法和2023年的新功能",
      "用户abc无法访问文件def123请检查权限",
      "パッケージを新しくインストールしました。東京大学の学生です。",
      "私はコンピュータとインターネットとスマートフォンを使っています",
      "アイスクリームとチョコレートケーキとコーヒーを注文した",
      "ア イイ ウウウ エエエエ オオオオオ カカカカカカ キキキキキキキ クククククククク ケケケケケケケケケ",
      "コココココココココココココココココココ ササササササササササササササササササササ",
      "日本語の文章を単語に分割するのは難しいですね",
      "すもももももももものうち",
      "𠀋𠂉𪚥の字と𠮷野家の牛丼を食べた",
      "人々は時々々々に山々を見る",
      "ファイルを開けませんでしたエラー404が発生しました",
      // Apostrophes (middle characters) inside runs: a word of their own, but between ASCII letters or
      // between digits, and wherever they stand among the pieces.
      "用户'abc'无法访问文件，don't删除it's软件包’的文件",
      "第3'5章和a'3号与1'b类的'%s'值从x’y修改到了",
      "パッケージ'テスト'を’インストール’しました",
      "文件’命令'a'b'c'中文'1'2'3'测试",
  };
  for (const char* s : kSentences) ExpectCutAsIcu(s, true);  // (every run here is one the cutter takes)
}

TEST(DictionaryWords, MiddleCharactersInsideRunsAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Full stops, apostrophes and their like are kept inside a word between ASCII letters or between
  // digits, commas and semicolons between digits only; elsewhere each is a word of its own. Numbers and
  // words with such characters in Chinese and Japanese sentences, under a rule that makes them middle
  // characters (a colon among them: ICU's rules take it apart from its Unicode class, so such runs go
  // to ICU, as do runs with fullwidth digits).
  const char* const kSentences[] = {
      "为了与9.0版本之前的系统相兼容，请使用介于0.0和1.0之间的值",
      "共有1,000个文件和2;3个目录，a,b与x;y不是数字",
      "文件.命令和a.b.c以及1.a与a.1还有版本1.0.2的软件包",
      "引号‘文件’和它的’s与don't删除以及3'5号",
      "全角．句号和全角，逗号与全角．１２",
      "文件:命令和a:b与1:2",
      "パッケージ.テスト,インストール;確認.しました",
      "1.文件和.5与a.和,b",
  };
  const UnicodeString middles = u".,;\u2018\u2019'\uFF0E\uFF0C:";
  for (const char* sentence : kSentences) {
    const std::u16string text = Utf8ToUtf16(sentence);
    ExpectCutAsIcu(sentence, text.find(u':') == std::u16string::npos && text.find(u'\uFF11') == std::u16string::npos,
                   middles);
  }
}

TEST(DictionaryWords, ARunDeclinedAfterManyPiecesLeavesTheOthersCut) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Pieces of two letters wait to be settled many at a time. A run with hundreds of them that turns out
  // to be ICU's (a Thai letter at its end) must neither settle its own nor lose those of the runs before
  // it. (猫是: two words; 山水: one.)
  std::u16string text;
  for (int k = 0; k < 100; ++k) text += u"猫是 山水 ";
  for (int k = 0; k < 300; ++k) text += k % 2 ? u"猫是a" : u"山水a";
  text += u"\u0E20 ";
  for (int k = 0; k < 100; ++k) text += u"猫是 ";
  const TStarts st = Starts(text);
  EXPECT_EQ(Show(text, st.ours), Show(text, st.icu));
  EXPECT_EQ(st.cut, st.runs - 1);  // all but the one with the Thai letter
}

TEST(DictionaryWords, GeneratedRunsAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Common letters in random order make words, near-words and non-words of every length; a few ASCII
  // letters and digits, spaces and ideographic punctuation make runs begin and end anywhere.
  const std::u16string han =
      u"的一是不了人我在有他这中大来上国个到说们为子和你地出道也时年得就那要下以生会自着去之过家学对可她里后小么心"
      u"多天而能好都然没日于起还发成事只作当想看文无开手十用主行方又如前所本见经头面公同三已老从动两长知民样现分将外"
      u"但身些与高意进把法此实回二理美点月明其种声全工己话儿者向情部正名定女问力机给等几很业最间新什打便位因重被走电"
      u"四第门相次东政海口使教西再平真听世气信北少关并内加化由却代军产入先山五太水万市眼体别处总才场师书比住员九笑性"
      u"软件包管理器安装文件系统数据库服务器用户密码网络计算机程序设计语言字符编码";
  const std::u16string kana =
      u"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをんがぎぐげござじずぜぞ"
      u"だでどばびぶべぼぱぴぷぺぽっゃゅょーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨ"
      u"ラリルレロワヲンガギグゲゴザジズゼゾダデドバビブベボパピプペポッャュョヴ";
  const std::u16string other = u"abcXYZ0123'\u2019";
  std::mt19937 rng(20240522);
  auto pick = [&](const std::u16string& from) { return from[rng() % from.size()]; };
  int32_t runs = 0, cut = 0;
  for (int round = 0; round < 1000; ++round) {
    std::u16string text;
    for (int k = 0; k < 400; ++k) {
      const uint32_t r = rng() % 100;
      text += r < 50 ? pick(han) : r < 88 ? pick(kana) : r < 92 ? pick(other) : r < 96 ? u' ' : r < 98 ? u'、' : u'。';
    }
    const TStarts st = Starts(text);
    runs += st.runs;
    cut += st.cut;
    ASSERT_EQ(Show(text, st.ours), Show(text, st.icu)) << "round " << round;
  }
  EXPECT_GT(runs, 25000);
  EXPECT_EQ(cut, runs);
}

// The words of ICU's Chinese-Japanese dictionary of lengths from 2 to 20 units, by length.
std::vector<std::vector<std::u16string>> DictionaryWordsByLength() {
  std::vector<std::vector<std::u16string>> byLength(21);
  UErrorCode status = U_ZERO_ERROR;
  UDataMemory* file = udata_open(U_ICUDATA_NAME U_TREE_SEPARATOR_STRING "brkitr", "dict", "cjdict", &status);
  if (U_FAILURE(status) || !file) return byLength;
  const auto* indexes = static_cast<const int32_t*>(udata_getMemory(file));
  const auto* trie = reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(indexes) + indexes[0]);
  icu::UCharsTrie::Iterator it(trie, 0, status);
  while (U_SUCCESS(status) && it.next(status)) {
    const icu::UnicodeString& w = it.getString();
    if (w.length() >= 2 && w.length() <= 20) byLength[w.length()].emplace_back(w.getBuffer(), w.length());
  }
  udata_close(file);
  return byLength;
}

TEST(DictionaryWords, RunsOfDictionaryWordsAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  const auto byLength = DictionaryWordsByLength();
  std::vector<std::u16string> shortWords, longWords;
  for (size_t length = 2; length <= 20; ++length)
    (length < 5 ? shortWords : longWords).insert((length < 5 ? shortWords : longWords).end(),
                                                 byLength[length].begin(), byLength[length].end());
  ASSERT_GT(byLength[2].size(), 10000u);
  ASSERT_GT(longWords.size(), 10000u);
  std::mt19937 rng(77);
  auto pick = [&](const std::vector<std::u16string>& words) -> const std::u16string& {
    return words[rng() % words.size()];
  };
  // Runs of whole words, of words with a letter less or more, and of pieces of two letters (a word of
  // two, one reversed, its first letter with another's): the paths through the longest words, and the
  // pieces settled on their own.
  const char16_t seps[] = {u' ', u'、', u'。', u'\n'};
  int32_t runs = 0, cut = 0;
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    for (int r = 0; r < 40; ++r) {
      const uint32_t kind = rng() % 4;
      if (kind == 0) {
        const std::u16string& w = pick(byLength[2]);
        text += rng() % 2 ? w : std::u16string{w[1], w[0]};
        if (rng() % 3 == 0) text.back() = pick(byLength[2])[1];
      } else {
        for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k) {
          std::u16string w = pick(kind == 1 ? shortWords : longWords);
          if (rng() % 4 == 0) w.pop_back();
          if (rng() % 4 == 0) w += pick(byLength[2])[0];
          text += w;
          if (rng() % 8 == 0) text += u"ab1";
        }
      }
      text += seps[rng() % 4];
    }
    const TStarts st = Starts(text);
    runs += st.runs;
    cut += st.cut;
    ASSERT_EQ(Show(text, st.ours), Show(text, st.icu)) << "round " << round;
  }
  EXPECT_GT(runs, 9000);
  EXPECT_GT(cut, runs * 9 / 10);  // (a few hold a character ICU must see to)
}

TEST(DictionaryWords, ALongTextIsCutAsIcuCutsIt) {
  ASSERT_TRUE(THanKanaCutter().available());
  // One text of many runs, their pieces cut many thousands of letters at a time, with letters beyond the
  // first plane among them.
  const auto byLength = DictionaryWordsByLength();
  std::mt19937 rng(5);
  const std::u16string extra[] = {u"\U0002000B", u"\U00020B9F", u"\U0002A6A5", u"abc", u"42", u"パソコン", u"ー"};
  std::u16string text;
  while (text.size() < 60000) {
    const uint32_t r = rng() % 100;
    if (r < 70) {
      const auto& words = byLength[2 + rng() % 5];
      text += words[rng() % words.size()];
    } else if (r < 80) {
      text += extra[rng() % std::size(extra)];
    } else {
      text += r < 95 ? u'、' : u' ';
    }
  }
  const TStarts st = Starts(text);
  EXPECT_EQ(Show(text, st.ours), Show(text, st.icu));
  EXPECT_GT(st.runs, 2000);
  EXPECT_GT(st.cut, st.runs * 99 / 100);  // (a few words hold a character ICU must see to)
}

TEST(DictionaryWords, RunsAtTheEdgesOfTheWindowsMasksAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Runs are found from masks of 64 units a word: runs that begin or end at a word's first or last bit,
  // fill the window, cross one word or several, and windows whose length is a whole number of words.
  const std::u16string han = Utf8ToUtf16("我们的软件包很好软件包管理器安装了新的软件中华人民共和国的首都是北京");
  auto letters = [&](size_t n) {
    std::u16string out;
    while (out.size() < n) out += han;
    return out.substr(0, n);
  };
  struct Case {
    size_t before, ascii, run, after;  // spaces, ASCII letters, Han letters, spaces (a window of their sum)
  };
  const Case cases[] = {{0, 0, 64, 0},  {0, 0, 128, 0}, {0, 0, 63, 1},  {1, 0, 63, 0},   {1, 0, 62, 1},
                        {0, 0, 65, 0},  {63, 0, 2, 0},  {62, 0, 3, 63}, {60, 0, 8, 60},  {64, 0, 64, 0},
                        {5, 0, 200, 51}, {1, 0, 190, 1}, {127, 0, 1, 0}, {0, 0, 2, 126},  {0, 0, 300, 20},
                        // the run's first unit from U+0E00 up a mask word or more after its beginning
                        {0, 70, 3, 0},  {3, 130, 5, 2}, {63, 64, 2, 1}, {10, 54, 64, 0}, {0, 200, 1, 0}};
  for (const Case& c : cases) {
    const std::u16string text = std::u16string(c.before, u' ') + std::u16string(c.ascii, u'a') + letters(c.run) +
                                std::u16string(c.after, u' ');
    const TStarts st = Starts(text);
    const std::string what = std::to_string(c.before) + " " + std::to_string(c.ascii) + " " + std::to_string(c.run);
    EXPECT_EQ(Show(text, st.ours), Show(text, st.icu)) << what;
    EXPECT_EQ(st.runs, c.ascii + c.run >= 2 ? 1 : 0) << what;
  }
  // Several runs in one window, some a unit apart, some across words.
  std::u16string text;
  for (const size_t n : {3, 61, 1, 2, 64, 70, 5, 128, 2})
    text += letters(n) + (n % 2 ? u"、" : u" ");
  const TStarts st = Starts(text);
  EXPECT_EQ(Show(text, st.ours), Show(text, st.icu));
}

TEST(DictionaryWords, RunsOfHanAndAsciiAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Runs that mix Han or kana letters with ASCII letters and digits are taken from the masks too, a
  // word beginning at each change between the two. Pieces of one to five units of each kind, in
  // turn, so that changes and pieces fall at every place of the masks' words and pieces run across
  // them; then such runs beside a symbol of the dictionary's scripts, and with a character of neither
  // kind inside, which send them the longer way.
  const std::u16string han = Utf8ToUtf16("软件包管理器安装了新的软件パッケージを確認中华人民共和国");
  const std::u16string ascii = u"GstPreset42abcXYZ0";
  for (int32_t shift = 0; shift < 64; shift += 7) {
    std::u16string text(static_cast<size_t>(shift), u' ');
    size_t h = 0, a = 0;
    for (int32_t round = 0; round < 60; ++round) {
      const int32_t hanUnits = 1 + round % 5, asciiUnits = 1 + (round / 5) % 5;
      for (int32_t k = 0; k < hanUnits; ++k) text += han[h++ % han.size()];
      for (int32_t k = 0; k < asciiUnits; ++k) text += ascii[a++ % ascii.size()];
      if (round % 7 == 6) text += round % 2 ? u" " : u"、";
    }
    const TStarts st = Starts(text);
    EXPECT_EQ(Show(text, st.ours), Show(text, st.icu)) << shift;
    EXPECT_EQ(st.cut, st.runs) << shift;
  }
  const std::u16string odd[] = {u"\u2F08", u"\u3005", u"\u00E9", u"\uFF21", u"_"};
  for (const std::u16string& c : odd) {
    const std::u16string text = u"abc软件包" + c + u"管理器2 " + c + u"GNU文件x " + u"文件abc" + c + u" 3个文件";
    const TStarts st = Starts(text);
    EXPECT_EQ(Show(text, st.ours), Show(text, st.icu)) << Utf16ToUtf8(c);
  }
}

TEST(DictionaryWords, ShortRunsOfEveryLengthAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // Runs of up to sixteen letters are queued from vectors when all their letters are unified
  // ideographs, Hiragana, Katakana or the prolonged sound mark; a letter just outside those ranges
  // sends the run the longer way (or to ICU, or splits it). Runs of every length from 1 to 20, each
  // with such a character at each place in turn, among letters that make words; the last ends the
  // window, where no vector is read.
  const std::u16string letters = Utf8ToUtf16("软件包管理器コンピュータのインストールを確認しました一些");
  const char16_t outside[] = {
      0x3040, 0x3097,  // round the Hiragana letters
      0x30A0, 0x30FB, 0x30FD, 0x30FF,  // round the Katakana letters and the prolonged sound mark
      0x4DFF, 0x3400, 0xA000, 0x9FFF, 0x4E00, 0x30FC, 0x3041, 0x30FA,  // round the ideographs, and the ends
  };
  for (const char16_t odd : outside) {
    std::u16string text = u"a";
    for (int32_t length = 1; length <= 20; ++length)
      for (int32_t at = -1; at < length; ++at) {
        text += length % 3 ? u" " : u"、";
        for (int32_t k = 0; k < length; ++k)
          text += k == at ? odd : letters[static_cast<size_t>(k * 7 + at + 1) % letters.size()];
      }
    // (the last run ends the window)
    const TStarts st = Starts(text);
    EXPECT_EQ(Show(text, st.ours), Show(text, st.icu)) << std::hex << static_cast<int>(odd);
    EXPECT_GT(st.runs, 200);
  }
}

TEST(DictionaryWords, KatakanaRunsOfEveryLengthAndPlaceAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // A run of Katakana is a word of its own up to 19 letters (20 and more are none); runs are found
  // from masks of 64 letters, so each length from 1 to 24 stands at every place of a word of masks,
  // after kanji and before Hiragana. Then one run of thousands of letters (more than a cut takes at
  // once) with such runs all along it, some running on into the next piece's ASCII letters.
  const std::u16string katakana = Utf8ToUtf16("コンピュータインストールファイルシステムデータベースサーバー");
  const std::u16string kanji = Utf8ToUtf16("確認管理器软件包文件系统");
  const std::u16string hiragana = Utf8ToUtf16("しましたのを");
  auto run = [&](int32_t before, int32_t length, int32_t seed) {
    std::u16string r;
    for (int32_t k = 0; k < before; ++k) r += kanji[static_cast<size_t>(k + seed) % kanji.size()];
    for (int32_t k = 0; k < length; ++k) r += katakana[static_cast<size_t>(k * 5 + seed) % katakana.size()];
    return r + hiragana.substr(static_cast<size_t>(seed) % 3, 2);
  };
  std::u16string text;
  for (int32_t length = 1; length <= 24; ++length)
    for (int32_t before = 0; before < 64; before += 3) text += run(before, length, length + before) + u"。";
  std::u16string longRun;
  for (int32_t k = 0; longRun.size() < 3000; ++k) longRun += run(k % 7, k % 23 + 1, k) + (k % 9 == 0 ? u"abc" : u"");
  text += longRun + u"。";
  const TStarts st = Starts(text);
  EXPECT_EQ(Show(text, st.ours), Show(text, st.icu));
  EXPECT_EQ(st.cut, st.runs);
  EXPECT_GT(st.runs, 500);
}

TEST(DictionaryWords, RunsThatIcuMustCutAreDeclined) {
  ASSERT_TRUE(THanKanaCutter().available());
  struct Case {
    std::u16string text;
    int32_t from, to;
    bool taken;
  };
  const Case cases[] = {
      {u"软件包管理器", 0, 6, true},
      {u"软件包管理器", 1, 4, false},            // Han letters on both sides: ICU would cut the longer run
      {u"ภาษาไทย", 0, 7, false},                  // Thai
      {u"ｿﾌﾄｳｪｱ", 0, 6, false},                   // halfwidth Katakana changes under NFKC
      {u"\uF900\u4E00", 0, 2, false},             // a compatibility ideograph too
      {u"か\u3099き", 0, 3, false},               // a combining voicing mark composes with its letter
      {u"\u2F08人間", 1, 3, false},               // a Kangxi radical (Han) just before the run
      {u"文件’命令", 0, 5, true},                 // an apostrophe: a word of its own
      {u"don't文件", 0, 7, true},                 // and not between ASCII letters
      {u"'文件", 0, 3, false},                    // an apostrophe at an end of the run
      {u"文件’", 0, 3, false},
      {u"文件-命令", 0, 5, false},                // another middle character
      {u"文件.命令", 0, 5, true},                 // a full stop: a word of its own, as an apostrophe
      {u"版本9.1之前", 0, 7, true},               // and kept between digits
      {u"共1,000个", 0, 7, true},                 // as is a comma
      {u"文件:命令", 0, 5, false},                // a colon is left to ICU
      {u"ＡＢＣ文件", 0, 5, false},               // fullwidth letters
      {u"abc文件", 0, 5, true},
      {u"\U0002000B\u4EBA", 0, 3, true},          // a Han letter beyond the first plane
      {std::u16string{char16_t(0xD840), u'人'}, 0, 2, false},  // a lone lead surrogate
  };
  THanKanaCutter cutter;
  for (const Case& c : cases) {
    const std::u16string& text = c.text;
    TWordStartList starts{-1};
    EXPECT_EQ(cutter.WordStarts(text.c_str(), static_cast<int32_t>(text.size()), c.from, c.to, starts), c.taken)
        << Utf16ToUtf8(text);
    // Declining leaves the list as it was; taking appends starts strictly inside the run, ascending.
    if (!c.taken) {
      EXPECT_EQ(starts, TWordStartList{-1}) << Utf16ToUtf8(text);
    }
    for (size_t k = 1; k < starts.size(); ++k) {
      EXPECT_GT(starts[k], std::max(c.from, starts[k - 1])) << Utf16ToUtf8(text);
      EXPECT_LT(starts[k], c.to) << Utf16ToUtf8(text);
    }
  }
}

TEST(DictionaryWords, RunsNextToSymbolsOfTheDictionaryScriptsAreCutAsIcuCutsThem) {
  ASSERT_TRUE(THanKanaCutter().available());
  // A plain run is taken from the masks only when no unit beside it may be a letter of the dictionary's
  // scripts that is no word character: radicals and circled Katakana are symbols of those scripts, and
  // ICU cuts the longer run through them. Each such unit, and the punctuation just outside the ranges
  // they lie in, on either side of runs of two, three and many letters, and runs long enough to be cut
  // in several batches.
  const std::u16string han = Utf8ToUtf16("软件包管理器安装了新的软件中华人民共和国的首都是北京パッケージを確認");
  const char16_t beside[] = {0x2E80, 0x2E7F, 0x2F00, 0x2F0B, 0x2F17, 0x2F2D, 0x2FDF, 0x2FF0, 0x3004, 0x3005, 0x3007, 0x3008, 0x3020,
                             0x3021, 0x303B, 0x303C, 0x31C0, 0x3190, 0x32D0, 0x33FF, 0xFF65, 0xFF9F, 0xFFA0,
                             0xF900, 0xFE30, 0x3001, 0x30FB, 0xFF0C};
  // (Kangxi radicals become ideographs under NFKC, which ICU applies to the longer run: 一一 after ⼀ is
  // not cut as alone.)
  const std::u16string runs[] = {u"一一", u"时时刻刻", u"大学生", u"东京", u"年月日", han.substr(3, 2),
                                 han.substr(2, 3), han.substr(0, 7), han.substr(1, 40)};
  for (const char16_t c : beside) {
    std::u16string text;
    for (const std::u16string& run : runs) text += run + c + u" " + c + run + u" ";
    const TStarts st = Starts(text);
    EXPECT_EQ(Show(text, st.ours), Show(text, st.icu)) << std::hex << static_cast<int>(c);
  }
  std::u16string longRun;
  while (longRun.size() < 5000) longRun += han;
  for (const std::u16string& text : {longRun, u" " + longRun + u"、" + longRun.substr(7, 2600) + u" ab"}) {
    const TStarts st = Starts(text);
    EXPECT_EQ(Show(text, st.ours), Show(text, st.icu));
  }
}


TEST(DictionaryWords, TriesOfOtherVersionsLongUnwrittenAreLetGo) {
  // When a trie is written, those of other versions not written for 30 days go, as do half-written
  // files an hour old; recent tries of other versions, and files that are not tries, stay.
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kx8_hankana_stale_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const auto now = fs::file_time_type::clock::now();
  const struct {
    const char* name;
    std::chrono::hours age;
    bool stays;
  } files[] = {
      {"hankana-0000000000000001.trie", std::chrono::hours(24 * 40), false},
      {"hankana-0000000000000002.trie", std::chrono::hours(24 * 29), true},
      {"hankana-0000000000000003.trie.new.4242", std::chrono::hours(2), false},
      {"hankana-0000000000000004.trie.new.4243", std::chrono::hours(0), true},
      {"hankana-notes.txt", std::chrono::hours(24 * 400), true},
      {"other.trie", std::chrono::hours(24 * 400), true},
  };
  for (const auto& f : files) {
    std::ofstream(dir / f.name) << "x";
    fs::last_write_time(dir / f.name, now - f.age);
  }
  bool fromCache = true;
  ASSERT_TRUE(THanKanaCutter(LoadHanKanaDictionary(dir.string(), &fromCache)).available());
  EXPECT_FALSE(fromCache);
  for (const auto& f : files) EXPECT_EQ(fs::exists(dir / f.name), f.stays) << f.name;
  size_t tries = 0;
  for (const auto& e : fs::directory_iterator(dir)) tries += e.path().extension() == ".trie";
  EXPECT_EQ(tries, 3u);  // its own, the recent one and other.trie
  // Mapped from the cache, nothing is written and nothing removed.
  fs::last_write_time(dir / "hankana-0000000000000002.trie", now - std::chrono::hours(24 * 40));
  ASSERT_TRUE(THanKanaCutter(LoadHanKanaDictionary(dir.string(), &fromCache)).available());
  EXPECT_TRUE(fromCache);
  EXPECT_TRUE(fs::exists(dir / "hankana-0000000000000002.trie"));
  fs::remove_all(dir);
}

TEST(DictionaryWords, TheTrieKeptInTheCacheCutsAsTheOneMade) {
  // The trie is made and written once, then mapped from the cache; a damaged, cut short or foreign file
  // there is made anew (and rewritten); with no folder nothing is kept. Every one cuts alike.
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kx8_hankana_" + std::to_string(getpid()));
  fs::remove_all(dir);
  const std::u16string text = Utf8ToUtf16(
      "我们的软件包很好。软件包管理器安装了新的软件。パッケージを新しくインストールしました。東京大学の学生です。"
      "第3章介绍了Linux内核的编译方法和2023年的新功能");
  auto cuts = [&](std::shared_ptr<const THanKanaDictionary> d) {
    THanKanaCutter cutter(std::move(d));
    TWordStartList starts;
    const auto n = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < n;) {
      int32_t j = i;
      while (j < n && (IsHanKanaChar(text[j]) || (text[j] < 0x80 && std::isalnum(static_cast<int>(text[j]))))) ++j;
      if (j > i + 1) {
        EXPECT_TRUE(cutter.WordStarts(text.c_str(), n, i, j, starts));
      }
      i = std::max(j, i + 1);
    }
    return starts;
  };
  TWordStartList want;
  THanKanaCutter processOwn;
  for (int32_t i = 0, n = static_cast<int32_t>(text.size()); i < n;) {
    int32_t j = i;
    while (j < n && (IsHanKanaChar(text[j]) || (text[j] < 0x80 && std::isalnum(static_cast<int>(text[j]))))) ++j;
    if (j > i + 1) processOwn.WordStarts(text.c_str(), n, i, j, want);
    i = std::max(j, i + 1);
  }
  ASSERT_GT(want.size(), 20u);

  bool fromCache = true;
  EXPECT_EQ(cuts(LoadHanKanaDictionary(dir.string(), &fromCache)), want);
  EXPECT_FALSE(fromCache);
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);  // the trie, and no half-written file beside it
  const auto size = fs::file_size(files[0]);
  EXPECT_EQ(cuts(LoadHanKanaDictionary(dir.string(), &fromCache)), want);
  EXPECT_TRUE(fromCache);

  auto damage = [&](const std::function<void(std::string&)>& change) {
    std::string bytes;
    {
      std::ifstream in(files[0], std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    change(bytes);
    std::ofstream(files[0], std::ios::binary | std::ios::trunc) << bytes;
  };
  // The kept trie is read into huge pages where the system gives them, else mapped: both ways must
  // find it, and refuse a damaged one.
  const bool readWhole = Global_ReadFilesIntoLargeBuffers;
  for (const bool read : {true, false}) {
    Global_ReadFilesIntoLargeBuffers = read;
    EXPECT_EQ(cuts(LoadHanKanaDictionary(dir.string(), &fromCache)), want) << read;
    EXPECT_TRUE(fromCache) << read;
  }
  const std::vector<std::pair<const char*, std::function<void(std::string&)>>> damages = {
      {"a byte of the links", [](std::string& b) { b[b.size() - 1000] ^= 0x40; }},
      {"a byte of the letters' table", [](std::string& b) { b[64 + 2 * 0x4E00 + 1] ^= 1; }},
      {"a byte of the pairs' table", [](std::string& b) { b[b.size() - 200000] ^= 0x10; }},
      {"the pairs' hash in the header", [](std::string& b) { b[41] ^= 1; }},
      {"cut short", [](std::string& b) { b.resize(b.size() / 2); }},
      {"another dictionary's", [](std::string& b) { b[8] ^= 1; }},
      {"empty", [](std::string& b) { b.clear(); }}};
  for (const bool read : {true, false}) {
    Global_ReadFilesIntoLargeBuffers = read;
    for (const auto& [what, change] : damages) {
      damage(change);
      EXPECT_EQ(cuts(LoadHanKanaDictionary(dir.string(), &fromCache)), want) << what << read;
      EXPECT_FALSE(fromCache) << what << read;
      EXPECT_EQ(fs::file_size(files[0]), size) << what << read << ": made anew and rewritten";
      EXPECT_EQ(cuts(LoadHanKanaDictionary(dir.string(), &fromCache)), want) << what << read;
      EXPECT_TRUE(fromCache) << what << read;
    }
  }
  Global_ReadFilesIntoLargeBuffers = readWhole;
  fs::remove_all(dir);
  EXPECT_EQ(cuts(LoadHanKanaDictionary("", &fromCache)), want);
  EXPECT_FALSE(fromCache);
  EXPECT_FALSE(fs::exists(dir));
}

}  // namespace
}  // namespace kx8
