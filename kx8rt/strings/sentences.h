// Sentence ends, paragraph splitting into sentences, whole words, N-word context and small word and
// line tests. Positions are 1-based (0 or -1 = not found) except in the pointer routines, which work on
// zero-terminated buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/containers/search_types.h"
#include "kx8rt/strings/sentence_terminators.h"

namespace kx8 {

// ---- sentence ends ----

// True for a character that may end a sentence: "!", "." or "?" or one of other_sent_terminators.
bool IsPotentialSentenceTerminator(char16_t c);
// Whether the first letter or digit after the terminator at p (scanning up to the limit e, which must
// point at a readable character such as the terminating zero) shows that a sentence ended at p: false
// on a lower-case letter, or on a digit straight after the terminator (as in "3.5").
bool NextValidNotLowercaseW(const char16_t* p, const char16_t* e);
// The same on 8-bit text, each byte taken as the character of its value.
bool NextValidNotLowercaseA(const char* p, const char* e);
// The character after the next ".", "!" or "?" that ends a sentence, looking at most 250 characters
// on from p in zero-terminated text; the limit itself when none does.
const char16_t* NextAutoFoundSentenceEndW(const char16_t* p);
const char* NextAutoFoundSentenceEndA(const char* p);
// Position of the end of the sentence that starts at or after start (a terminator not followed by a
// letter or digit, or the end of the text); -1 when the rest holds no letter or digit.
int32_t EndOfSentence(int32_t start, const UnicodeString& text);
// Moves i forward to the first letter or digit (not beyond the last character).
int32_t FirstLetterOrDigitPosAfterSentenceEnd(const UnicodeString& text, int32_t i);
// True when the character at i is not lower case (or i is at or past the end).
bool FirstCharAfterSentenceEndUpperCase(const UnicodeString& text, int32_t i);
// First position at or after i where a sentence starts with a letter or digit that is not lower case;
// -1 when none.
int32_t FirstValidStartOfSentence(const UnicodeString& text, int32_t i);
// Splits a paragraph by Unicode categories: a sentence starts at a capital, an other-script letter or
// a digit and ends at a terminator not followed by a digit; pieces of minLength characters or fewer
// are dropped. With includeUnterminated, a begun sentence at the end of the paragraph is kept too.
std::unique_ptr<TStringList> SentencesExtractedFromParagraph(bool includeUnterminated, int32_t minLength,
                                                             const UnicodeString& paragraph);
// Splits a paragraph at separator (the character after each separator is passed over), or, with an
// empty separator, automatically by the locale's character types with tags (up to maxTagLen
// characters) taken as punctuation; automatic sentences are longer than 20 characters.
std::unique_ptr<TStringList> SentencesFromParagraph(const UnicodeString& paragraph, const UnicodeString& separator,
                                                    LCID locale, int32_t maxTagLen);

// ---- context and words ----

// The n words around (kinds 8, 11), to the left of (9, 12) or from and to the right of (10, 13)
// position pos; empty for any other kind or a position outside the text.
UnicodeString NManyWordsContext(TSearchRequirementSeeks kind, const UnicodeString& text, int32_t pos, int32_t n);
// Whether text[first..last] starts a word, ends a word, or both.
bool BoundedAtLeft(const UnicodeString& text, int32_t first, int32_t last);
bool BoundedAtRight(const UnicodeString& text, int32_t first, int32_t last);
bool BoundedWholeWord(const UnicodeString& text, int32_t first, int32_t last);
// The same with the position just after the word (q) instead of its last character.
bool IsBoundedOnLeft(const UnicodeString& text, int32_t p);
bool IsBoundedOnRight(const UnicodeString& text, int32_t q);
bool IsWholeWord(const UnicodeString& text, int32_t p, int32_t q);
// First whole-word occurrence of word at or after start (case-sensitive); 0 when none.
int32_t WholeWordPositionOfXinText(int32_t start, const UnicodeString& word, const UnicodeString& text);
// First occurrence at or after start bounded as flags ask (myLeftBounded, myRightBounded); -1 when none.
int32_t PosWordFoundIn(const UnicodeString& word, const UnicodeString& text, TMySearchFlags flags, int32_t start);
// Positions of every occurrence of word (overlaps included) bounded as wordFlags ask that has
// rightWord within span characters after it or leftWord within span characters before it; an empty
// context word counts as found.
std::vector<int32_t> CharacterPositionsWordFoundIn(const UnicodeString& word, const UnicodeString& leftWord,
                                                   const UnicodeString& rightWord, const UnicodeString& text,
                                                   int32_t span, TMySearchFlags wordFlags,
                                                   TMySearchFlags contextFlags);
// Replaces every whole-word occurrence of oldWord by newWord, adding the number replaced to counter.
UnicodeString ReplaceWholeWord(const UnicodeString& text, const UnicodeString& oldWord, const UnicodeString& newWord,
                               bool caseSensitive, int32_t& counter);

// ---- small tests ----

// 1 + the number of spaces.
int32_t WordsInCluster(const UnicodeString& s);
// Number of maximal runs of letters and digits.
int32_t BasicWordCount(const UnicodeString& s);
// Walking back from i, the position of the first CR or LF; -1 when none or i < 1.
int32_t BeginningOfSameLine(const UnicodeString& text, int32_t i);
// Position of the first character above U+0020; -1 when none.
int32_t FirstCharPosAboveSpace(const UnicodeString& s);
// The first lower-case letter when no capital, title-case letter, digit, number or currency sign comes
// before it; U+0000 otherwise.
char16_t FirstCharIsLowerCase(const UnicodeString& s);
// The first character is an upper-case letter.
bool FirstLetterIsCapitalised(const UnicodeString& s);
// The first letter or digit at or after i is upper case.
bool NextWordCapitalised(const UnicodeString& text, int32_t i);
// A line (ended by CR LF) longer than 120 characters: a paragraph-per-line text.
bool IsFlowingText(const UnicodeString& text);
// The next (or, backwards, the previous) position from i holding a visible character; -1 when none.
int32_t NextOrLastNonSpaceCharPos(int32_t i, const UnicodeString& text, bool backwards);
// The character at that position; U+0000 when there is none or it is the text's last character.
char16_t NextOrLastNonSpaceChar(int32_t i, const UnicodeString& text, bool backwards);
// From i, skipping white space, the first other character is punctuation.
bool NextValidCharIsPunctuation(int32_t i, const UnicodeString& text);

}  // namespace kx8
