// Sentence ends, paragraph splitting into sentences, whole words, N-word context and small word and
// line tests. Positions are 1-based (0 or -1 = not found) except in the pointer routines, which work on
// zero-terminated buffers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "kx8rt/platform/locales.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/search/search_types.h"

namespace kx8 {

// The three sentence ends of the Latin script.
inline constexpr std::array<char16_t, 3> basic_sent_terminators = {u'!', u'.', u'?'};
// Sentence ends of other scripts, ascending (Armenian, Arabic, Devanagari, CJK, full-width, ...).
inline constexpr std::array<char16_t, 63> other_sent_terminators = {
    0x0589, 0x061F, 0x06D4, 0x0700, 0x0701, 0x0702, 0x07F9, 0x0964, 0x0965, 0x104A, 0x104B, 0x1362,
    0x1367, 0x1368, 0x166E, 0x1803, 0x1809, 0x1944, 0x1945, 0x1AA8, 0x1AA9, 0x1AAA, 0x1AAB, 0x1B5A,
    0x1B5B, 0x1B5E, 0x1B5F, 0x1C3B, 0x1C3C, 0x1C7E, 0x1C7F, 0x203C, 0x203D, 0x2047, 0x2048, 0x2049,
    0x2E2E, 0x3002, 0xA4FF, 0xA60E, 0xA60F, 0xA6F3, 0xA6F7, 0xA876, 0xA877, 0xA8CE, 0xA8CF, 0xA92F,
    0xA9C8, 0xA9C9, 0xAA5D, 0xAA5E, 0xAA5F, 0xAAF0, 0xAAF1, 0xABEB, 0xFE52, 0xFE56, 0xFE57, 0xFF01,
    0xFF0E, 0xFF1F, 0xFF61
};
// Punctuation above U+00BF that never ends a sentence, ascending.
inline constexpr std::array<char16_t, 276> punct_not_ending_sent = {
    0x037E, 0x0387, 0x055A, 0x055B, 0x055C, 0x055D, 0x055E, 0x055F, 0x05C0, 0x05C3, 0x05C6, 0x05F3,
    0x05F4, 0x0609, 0x060A, 0x060C, 0x060D, 0x061B, 0x061E, 0x066A, 0x066B, 0x066C, 0x066D, 0x0703,
    0x0704, 0x0705, 0x0706, 0x0707, 0x0708, 0x0709, 0x070A, 0x070B, 0x070C, 0x070D, 0x07F7, 0x07F8,
    0x0830, 0x0831, 0x0832, 0x0833, 0x0834, 0x0835, 0x0836, 0x0837, 0x0838, 0x0839, 0x083A, 0x083B,
    0x083C, 0x083D, 0x083E, 0x0970, 0x0DF4, 0x0E4F, 0x0E5A, 0x0E5B, 0x0F04, 0x0F05, 0x0F06, 0x0F07,
    0x0F08, 0x0F09, 0x0F0A, 0x0F0B, 0x0F0C, 0x0F0D, 0x0F0E, 0x0F0F, 0x0F10, 0x0F11, 0x0F12, 0x0F85,
    0x0FD0, 0x0FD1, 0x0FD2, 0x0FD3, 0x0FD4, 0x104C, 0x104D, 0x104E, 0x104F, 0x10FB, 0x1361, 0x1363,
    0x1364, 0x1365, 0x1366, 0x166D, 0x16EB, 0x16EC, 0x16ED, 0x1735, 0x1736, 0x17D4, 0x17D5, 0x17D6,
    0x17D8, 0x17D9, 0x17DA, 0x1800, 0x1801, 0x1802, 0x1804, 0x1805, 0x1807, 0x1808, 0x180A, 0x19DE,
    0x19DF, 0x1A1E, 0x1A1F, 0x1AA0, 0x1AA1, 0x1AA2, 0x1AA3, 0x1AA4, 0x1AA5, 0x1AA6, 0x1AAC, 0x1AAD,
    0x1B5C, 0x1B5D, 0x1B60, 0x1C3D, 0x1C3E, 0x1C3F, 0x1CD3, 0x2016, 0x2017, 0x2020, 0x2021, 0x2022,
    0x2023, 0x2024, 0x2025, 0x2026, 0x2027, 0x2030, 0x2031, 0x2032, 0x2033, 0x2034, 0x2035, 0x2036,
    0x2037, 0x2038, 0x203B, 0x203E, 0x2041, 0x2042, 0x2043, 0x204A, 0x204B, 0x204C, 0x204D, 0x204E,
    0x204F, 0x2050, 0x2051, 0x2053, 0x2055, 0x2056, 0x2057, 0x2058, 0x2059, 0x205A, 0x205B, 0x205C,
    0x205D, 0x205E, 0x2CF9, 0x2CFA, 0x2CFB, 0x2CFC, 0x2CFE, 0x2CFF, 0x2E00, 0x2E01, 0x2E06, 0x2E07,
    0x2E08, 0x2E0B, 0x2E0E, 0x2E0F, 0x2E10, 0x2E11, 0x2E12, 0x2E13, 0x2E14, 0x2E15, 0x2E16, 0x2E18,
    0x2E19, 0x2E1B, 0x2E1E, 0x2E1F, 0x2E2A, 0x2E2B, 0x2E2C, 0x2E2D, 0x2E30, 0x2E31, 0x3001, 0x3003,
    0x303D, 0x30FB, 0xA4FE, 0xA60D, 0xA673, 0xA67E, 0xA6F2, 0xA6F4, 0xA6F5, 0xA6F6, 0xA874, 0xA875,
    0xA8F8, 0xA8F9, 0xA8FA, 0xA92E, 0xA95F, 0xA9C1, 0xA9C2, 0xA9C3, 0xA9C4, 0xA9C5, 0xA9C6, 0xA9C7,
    0xA9CA, 0xA9CB, 0xA9CC, 0xA9CD, 0xA9DE, 0xA9DF, 0xAA5C, 0xAADE, 0xAADF, 0xFE10, 0xFE11, 0xFE12,
    0xFE13, 0xFE14, 0xFE15, 0xFE16, 0xFE19, 0xFE30, 0xFE45, 0xFE46, 0xFE49, 0xFE4A, 0xFE4B, 0xFE4C,
    0xFE50, 0xFE51, 0xFE54, 0xFE55, 0xFE5F, 0xFE60, 0xFE61, 0xFE68, 0xFE6A, 0xFE6B, 0xFF02, 0xFF03,
    0xFF05, 0xFF06, 0xFF07, 0xFF0A, 0xFF0C, 0xFF0F, 0xFF1A, 0xFF1B, 0xFF20, 0xFF3C, 0xFF64, 0xFF65
};

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
std::vector<UnicodeString> SentencesExtractedFromParagraph(bool includeUnterminated, int32_t minLength,
                                                           const UnicodeString& paragraph);
// Splits a paragraph at separator (the character after each separator is passed over), or, with an
// empty separator, automatically by the locale's character types with tags (up to maxTagLen
// characters) taken as punctuation; automatic sentences are longer than 20 characters.
std::vector<UnicodeString> SentencesFromParagraph(const UnicodeString& paragraph, const UnicodeString& separator,
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
