#include "kx8rt/strings/sentences.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kx8;

namespace {

using Strings = std::vector<UnicodeString>;

Strings Lines(const std::unique_ptr<TStringList>& list) {
  Strings out;
  for (int32_t i = 0; i < list->Count(); ++i) out.push_back(list->Get(i));
  return out;
}

TEST(SentenceTables, AreSortedAndSized) {
  EXPECT_TRUE(std::is_sorted(other_sent_terminators.begin(), other_sent_terminators.end()));
  EXPECT_TRUE(std::is_sorted(punct_not_ending_sent.begin(), punct_not_ending_sent.end()));
  EXPECT_EQ(other_sent_terminators.front(), 0x0589);
  EXPECT_EQ(other_sent_terminators.back(), 0xFF61);
  EXPECT_EQ(punct_not_ending_sent.size(), 276u);
  // No character both ends and never ends a sentence.
  for (char16_t c : other_sent_terminators)
    EXPECT_FALSE(std::binary_search(punct_not_ending_sent.begin(), punct_not_ending_sent.end(), c)) << int(c);
}

TEST(SentenceEnds, IsPotentialSentenceTerminator) {
  struct Case { char16_t c; bool expected; } cases[] = {
      {u'.', true}, {u'!', true}, {u'?', true}, {0x3002, true}, {0x0964, true}, {0xFF61, true}, {0x0589, true},
      {u',', false}, {u'a', false}, {u' ', false}, {0x3001, false}, {0x0588, false}, {u';', false}, {0, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPotentialSentenceTerminator(c.c), c.expected) << int(c.c);
}

TEST(SentenceEnds, NextAutoFoundSentenceEndW) {
  const char16_t* t1 = u"Dr. Smith arrived. Then";
  EXPECT_EQ(NextAutoFoundSentenceEndW(t1), t1 + 3);
  const char16_t* t2 = u"e.g. this is";
  EXPECT_EQ(NextAutoFoundSentenceEndW(t2), t2 + 12);  // both stops passed, the text's end reached
  const char16_t* t3 = u"3.5 kg. Next";
  EXPECT_EQ(NextAutoFoundSentenceEndW(t3), t3 + 7);
  const char16_t* t4 = u"He said \"Stop.\" Then";
  EXPECT_EQ(NextAutoFoundSentenceEndW(t4), t4 + 14);  // quotes are passed over to reach "T"
  const UnicodeString longText(300, u'a');
  EXPECT_EQ(NextAutoFoundSentenceEndW(longText.c_str()), longText.c_str() + 250);
  const char16_t* empty = u"";
  EXPECT_EQ(NextAutoFoundSentenceEndW(empty), empty);
}

TEST(SentenceEnds, NextAutoFoundSentenceEndA) {
  const char* t = "It rained. so what? Fine";
  EXPECT_EQ(NextAutoFoundSentenceEndA(t), t + 19);
  // A byte above 0x7F is its Latin-1 character: "\xC9" (E acute) is a capital.
  const char* u = "Fin. \xC9t\xE9";
  EXPECT_EQ(NextAutoFoundSentenceEndA(u), u + 4);
  const char* l = "Fin. \xE9t\xE9";
  EXPECT_EQ(NextAutoFoundSentenceEndA(l), l + 8);
}

TEST(SentenceEnds, NextValidNotLowercaseAtLimit) {
  const char16_t* t = u"a. ";
  EXPECT_FALSE(NextValidNotLowercaseW(t + 1, t + 1));  // p at the limit
  EXPECT_FALSE(NextValidNotLowercaseW(t + 1, t + 3));  // only spaces up to the limit
}

TEST(SentenceEnds, EndOfSentenceAndStarts) {
  EXPECT_EQ(EndOfSentence(1, u"Hi there. Next"), 9);
  EXPECT_EQ(EndOfSentence(1, u"Hi there"), 8);
  EXPECT_EQ(EndOfSentence(1, u"..."), -1);
  EXPECT_EQ(EndOfSentence(1, u"It is 3.5 m. Yes"), 12);  // "." between digits is not an end
  EXPECT_EQ(EndOfSentence(20, u"short"), -1);
  EXPECT_EQ(FirstLetterOrDigitPosAfterSentenceEnd(u"end.  Next", 4), 7);
  EXPECT_EQ(FirstLetterOrDigitPosAfterSentenceEnd(u"end.  ", 4), 6);  // stops at the last character
  EXPECT_TRUE(FirstCharAfterSentenceEndUpperCase(u"x. Y", 4));
  EXPECT_FALSE(FirstCharAfterSentenceEndUpperCase(u"x. yz", 4));
  EXPECT_TRUE(FirstCharAfterSentenceEndUpperCase(u"x. y", 4));  // at the end counts as upper
  EXPECT_EQ(FirstValidStartOfSentence(u"  Hello. World", 1), 3);
  EXPECT_EQ(FirstValidStartOfSentence(u"so on. still lower. Then up", 1), 21);
  EXPECT_EQ(FirstValidStartOfSentence(u"so on. still lower", 1), 18);  // the last character counts as a start
  EXPECT_EQ(FirstValidStartOfSentence(u"a.", 1), -1);
}

TEST(SentenceSplit, ExtractedByCategories) {
  EXPECT_EQ(Lines(SentencesExtractedFromParagraph(false, 5, u"Hello there. How are you? fine")),
            (Strings{u"Hello there.", u"How are you?"}));
  EXPECT_EQ(Lines(SentencesExtractedFromParagraph(true, 5, u"Hello there. How are you? fine")),
            (Strings{u"Hello there.", u"How are you?"}));
  EXPECT_EQ(Lines(SentencesExtractedFromParagraph(true, 5, u"Hello there. And the rest")),
            (Strings{u"Hello there.", u"And the rest"}));
  // A full stop followed by a digit does not end a sentence; a piece with too few letters runs on.
  EXPECT_EQ(Lines(SentencesExtractedFromParagraph(false, 3, u"Version 2.5 is out. Ok. Good news!")),
            (Strings{u"Version 2.5 is out.", u"Ok. Good news!"}));
  // Other scripts: ideographic and Devanagari full stops.
  EXPECT_EQ(Lines(SentencesExtractedFromParagraph(false, 2, u"我们今天去公园。他们明天来。")),
            (Strings{u"我们今天去公园。", u"他们明天来。"}));
  EXPECT_EQ(Lines(SentencesExtractedFromParagraph(false, 2, u"यह पहला वाक्य है। यह दूसरा है।")),
            (Strings{u"यह पहला वाक्य है।", u"यह दूसरा है।"}));
}

TEST(SentenceSplit, WithSeparator) {
  EXPECT_EQ(Lines(SentencesFromParagraph(u"A|B|C", u"|", 0x0409, 100)), (Strings{u"A"}));
  EXPECT_EQ(Lines(SentencesFromParagraph(u"One| Two| Three", u"|", 0x0409, 100)), (Strings{u"One", u"Two", u"Three"}));
  EXPECT_EQ(Lines(SentencesFromParagraph(u"", u"|", 0x0409, 100)), Strings{});
}

TEST(SentenceSplit, Automatic) {
  struct Case { const char16_t* text; Strings expected; } cases[] = {
      {u"This is the first sentence. this goes on. And here is the second one.",
       {u"This is the first sentence. this goes on.", u"And here is the second one."}},
      // Abbreviations give short pieces, which join the next sentence.
      {u"Dr. Smith went to Washington today. He was late.",
       {u"Dr. Smith went to Washington today.", u"He was late."}},
      // Numbers and "e.g." do not end sentences.
      {u"The price rose by 3.5 percent in May. We had, e.g. more costs then.",
       {u"The price rose by 3.5 percent in May.", u"We had, e.g. more costs then."}},
      // Closing quotes and tags go with their sentence.
      {u"\"This sentence is quoted all the way.\" Then another one comes here.",
       {u"\"This sentence is quoted all the way.\"", u"Then another one comes here."}},
      {u"<s>This first sentence is long enough.</s> <s>And this is the second sentence.</s>",
       {u"<s>This first sentence is long enough.</s>", u"<s>And this is the second sentence.</s>"}},
      // A full stop inside a tag does not split the tagged sentence.
      {u"See the page <a href=\"x.Html\">here</a> for the whole story. Another sentence follows on.",
       {u"See the page <a href=\"x.Html\">here</a> for the whole story.", u"Another sentence follows on."}},
      {u"我们今天早上一起去了城市中心的那个很大的公园散步。他们明天下午会来我们家一起吃晚饭和聊天。",
       {u"我们今天早上一起去了城市中心的那个很大的公园散步。", u"他们明天下午会来我们家一起吃晚饭和聊天。"}},
      {u"यह हिंदी भाषा में लिखा गया पहला लंबा वाक्य है। यह दूसरा वाक्य भी काफी लंबा है।",
       {u"यह हिंदी भाषा में लिखा गया पहला लंबा वाक्य है।", u"यह दूसरा वाक्य भी काफी लंबा है।"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(SentencesFromParagraph(c.text, u"", 0x0409, 100)), c.expected) << Utf16ToUtf8(c.text);
  // Without the platform's character types for the locale there is nothing to split by.
  EXPECT_EQ(Lines(SentencesFromParagraph(u"One sentence that is long. Another sentence that is long.", u"", 0x12345, 100)),
            Strings{});
  // A "<" that is not a tag (too long before any ">") keeps its text's own classes.
  EXPECT_EQ(Lines(SentencesFromParagraph(u"The value a < b holds here. And c > d holds there too.", u"", 0x0409, 5)),
            (Strings{u"The value a < b holds here.", u"And c > d holds there too."}));
}

TEST(Context, NManyWordsContext) {
  EXPECT_EQ(NManyWordsContext(ccp_FoundWithinNWordsToLeftOfSearchword, u"aa bb cc XX", 10, 2), u" bb cc ");
  EXPECT_EQ(NManyWordsContext(ccp_FoundWithinNWordsToRightOfSearchword, u"XX dd ee", 1, 1), u"XX dd ");
  EXPECT_EQ(NManyWordsContext(ccp_FoundWithinNWordsOf, u"aa bb XX cc dd", 7, 1), u" bb XX cc ");
  EXPECT_EQ(NManyWordsContext(ccp_FoundWithinNWordsToLeftOf, u"aa XX", 4, 5), u"aa ");
  EXPECT_EQ(NManyWordsContext(ccp_FoundWithinNWordsToRightOf, u"XX, dd", 1, 5), u"XX, dd");
  EXPECT_EQ(NManyWordsContext(static_cast<TSearchRequirementSeeks>(3), u"aa XX", 4, 1), u"");
  EXPECT_EQ(NManyWordsContext(ccp_FoundWithinNWordsOf, u"aa XX", 9, 1), u"");
}

TEST(Words, BoundsAndWholeWords) {
  EXPECT_FALSE(IsWholeWord(u"cats", 1, 4));
  EXPECT_TRUE(IsWholeWord(u"cat", 1, 4));
  EXPECT_TRUE(IsWholeWord(u"a cat.", 3, 6));
  EXPECT_FALSE(IsWholeWord(u"scat", 2, 5));
  EXPECT_TRUE(BoundedWholeWord(u"the cat sat", 5, 7));
  EXPECT_FALSE(BoundedAtLeft(u"the cat", 0, 2));
  EXPECT_FALSE(BoundedAtRight(u"the cat", 5, 8));
  EXPECT_FALSE(BoundedAtRight(u"cat5", 1, 3));  // digits join words
  EXPECT_EQ(WholeWordPositionOfXinText(1, u"cat", u"concat cats cat"), 13);
  EXPECT_EQ(WholeWordPositionOfXinText(1, u"Cat", u"concat cats cat"), 0);

  const TMySearchFlags left{myLeftBounded}, right{myRightBounded}, both{myLeftBounded, myRightBounded};
  EXPECT_EQ(PosWordFoundIn(u"cat", u"concat cats cat", {}, 1), 4);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"concat cats cat", left, 1), 8);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"concat cats cat", right, 1), 4);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"concat cats cat", both, 1), 13);
  EXPECT_EQ(PosWordFoundIn(u"cat", u"concat cats cat", both, 14), -1);
  EXPECT_EQ(PosWordFoundIn(u"", u"cat", {}, 1), -1);
}

TEST(Words, CharacterPositionsWordFoundIn) {
  const TMySearchFlags both{myLeftBounded, myRightBounded};
  const UnicodeString text = u"big dog and small dog and dogma";
  EXPECT_EQ(CharacterPositionsWordFoundIn(u"dog", u"", u"", text, 10, both, both), (std::vector<int32_t>{5, 19}));
  EXPECT_EQ(CharacterPositionsWordFoundIn(u"dog", u"", u"", text, 10, {}, both),
            (std::vector<int32_t>{5, 19, 27}));
  // With both context words given, one side within the span suffices.
  EXPECT_EQ(CharacterPositionsWordFoundIn(u"dog", u"small", u"none", text, 7, both, both),
            (std::vector<int32_t>{19}));
  EXPECT_EQ(CharacterPositionsWordFoundIn(u"dog", u"none", u"and", text, 3, both, both),
            (std::vector<int32_t>{5, 19}));
  EXPECT_EQ(CharacterPositionsWordFoundIn(u"dog", u"none", u"and", text, 0, both, both), std::vector<int32_t>{});
  EXPECT_EQ(CharacterPositionsWordFoundIn(u"aa", u"", u"", u"aaa", 0, {}, {}), (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(CharacterPositionsWordFoundIn(u"", u"", u"", text, 5, {}, {}).empty());
}

TEST(Words, ReplaceWholeWord) {
  int32_t n = 1;
  EXPECT_EQ(ReplaceWholeWord(u"cat concat cat", u"cat", u"dog", true, n), u"dog concat dog");
  EXPECT_EQ(n, 3);
  n = 0;
  EXPECT_EQ(ReplaceWholeWord(u"Cat cat CAT cats", u"cat", u"kitten", false, n), u"kitten kitten kitten cats");
  EXPECT_EQ(n, 3);
  n = 0;
  EXPECT_EQ(ReplaceWholeWord(u"Cat cat", u"cat", u"x", true, n), u"Cat x");
  EXPECT_EQ(n, 1);
  n = 0;
  EXPECT_EQ(ReplaceWholeWord(u"été Été", u"été", u"summer", false, n), u"summer summer");
  EXPECT_EQ(n, 2);
}

TEST(SmallTests, WordsAndLines) {
  EXPECT_EQ(WordsInCluster(u"in the end"), 3);
  EXPECT_EQ(WordsInCluster(u""), 1);
  EXPECT_EQ(BasicWordCount(u"  it's 42, ok?"), 4);
  EXPECT_EQ(BasicWordCount(u"..."), 0);
  EXPECT_EQ(BeginningOfSameLine(u"ab\r\ncd", 6), 4);
  EXPECT_EQ(BeginningOfSameLine(u"abcd", 3), -1);
  EXPECT_EQ(BeginningOfSameLine(u"ab\ncd", 0), -1);
  EXPECT_EQ(FirstCharPosAboveSpace(u" \t x"), 4);
  EXPECT_EQ(FirstCharPosAboveSpace(u"  "), -1);
  EXPECT_EQ(FirstCharIsLowerCase(u"  (hello"), u'h');
  EXPECT_EQ(FirstCharIsLowerCase(u"Hello"), 0);
  EXPECT_EQ(FirstCharIsLowerCase(u"$ok"), 0);
  EXPECT_EQ(FirstCharIsLowerCase(u"..."), 0);
  EXPECT_TRUE(FirstLetterIsCapitalised(u"Été"));
  EXPECT_FALSE(FirstLetterIsCapitalised(u" Été"));
  EXPECT_FALSE(FirstLetterIsCapitalised(u""));
  EXPECT_TRUE(NextWordCapitalised(u"end. Next", 4));
  EXPECT_FALSE(NextWordCapitalised(u"end. next", 4));
}

TEST(SmallTests, FlowingTextAndNeighbours) {
  const UnicodeString longLine(121, u'x'), shortLine(120, u'x');
  EXPECT_TRUE(IsFlowingText(u"ab\r\n" + longLine + u"\r\n"));
  EXPECT_FALSE(IsFlowingText(u"ab\r\n" + shortLine.substr(1) + u"\r\n"));
  EXPECT_FALSE(IsFlowingText(longLine));  // no line ends at all
  EXPECT_EQ(NextOrLastNonSpaceCharPos(1, u"a  b c", false), 4);
  EXPECT_EQ(NextOrLastNonSpaceCharPos(4, u"a  b c", true), 1);
  EXPECT_EQ(NextOrLastNonSpaceCharPos(1, u"a   ", false), -1);
  EXPECT_EQ(NextOrLastNonSpaceChar(1, u"a  b c", false), u'b');
  EXPECT_EQ(NextOrLastNonSpaceChar(4, u"a  b c", false), 0);  // the last character gives U+0000
  EXPECT_TRUE(NextValidCharIsPunctuation(2, u"a  , b"));
  EXPECT_FALSE(NextValidCharIsPunctuation(2, u"a  b ,"));
  EXPECT_FALSE(NextValidCharIsPunctuation(2, u"a   "));
}

}  // namespace
