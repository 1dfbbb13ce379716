// Runs the sentence, word and context routines over arbitrary text with positions taken from the
// input's first bytes, so that every 1-based position and pointer walk is checked at the text's edges.
#include <cstdint>
#include <string_view>

#include "kx8rt/strings/sentences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int32_t a = static_cast<int8_t>(data[0]), b = static_cast<int8_t>(data[1]), n = data[2] % 8;
  const std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
  const kx8::UnicodeString text = kx8::Utf8ToUtf16(rest);
  const std::string bytes(rest);  // zero-terminated for the 8-bit pointer walk

  (void)kx8::NextAutoFoundSentenceEndW(text.c_str());
  (void)kx8::NextAutoFoundSentenceEndA(bytes.c_str());
  (void)kx8::EndOfSentence(a, text);
  (void)kx8::FirstValidStartOfSentence(text, a);
  (void)kx8::SentencesExtractedFromParagraph(b & 1, n, text);
  (void)kx8::SentencesFromParagraph(text, u"", 0x0409, n * 4);
  (void)kx8::SentencesFromParagraph(text, u"|", 0x0409, 10);
  for (int kind = 8; kind <= 13; ++kind)
    (void)kx8::NManyWordsContext(static_cast<kx8::TSearchRequirementSeeks>(kind), text, a, n);
  (void)kx8::BoundedWholeWord(text, a, b);
  (void)kx8::IsWholeWord(text, a, b);
  const kx8::UnicodeString word = text.substr(0, static_cast<size_t>(n));
  (void)kx8::WholeWordPositionOfXinText(a, word, text);
  (void)kx8::PosWordFoundIn(word, text, kx8::TMySearchFlags{kx8::myLeftBounded, kx8::myRightBounded}, a);
  (void)kx8::CharacterPositionsWordFoundIn(word, u"a", u"b", text, b, {}, {kx8::myRightBounded});
  int32_t counter = 0;
  (void)kx8::ReplaceWholeWord(text, word, u"xy", b & 1, counter);
  (void)kx8::BeginningOfSameLine(text, a);
  (void)kx8::NextWordCapitalised(text, a);
  (void)kx8::NextOrLastNonSpaceChar(a, text, b & 1);
  (void)kx8::NextValidCharIsPunctuation(a, text);
  (void)kx8::IsFlowingText(text);
  (void)kx8::FirstCharIsLowerCase(text);
  return 0;
}
