// Markup in corpus text: the ignore-tag notation, single-tag tests and builders, scans for tags and
// opener/closer chunks with call-backs, markup removal, and plain text from files and word-processor
// documents. Positions are 1-based (0 = not found).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "kx8rt/containers/holders.h"
#include "kx8rt/containers/search_types.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// ---- shared records ----

// Ttag_on_off and TIgnore_tag, the ignore-tag pairs, are in containers/search_types.h.

// A found tag handed to the open-tag test: Int = 1-based position of its "<", s1 = the tag,
// s2 = the context before it. (The field the suite calls "int" is Int here: int is a C++ keyword.)
struct T2StringsAndIntegerRec {
  int32_t Int = 0;
  UnicodeString s1;
  UnicodeString s2;
};

// TStringAndIntegerRec (a chunk handed to a chunk-count routine: s = the chunk, i = the running count
// of chunks so far) is the shared record of containers/holders.h.

// A tag split after its leading "<".
struct TTwoStringHalves {
  UnicodeString before;
  UnicodeString after;
};

// A word split for display in grids into a leading tag, the word and a trailing tag.
enum TDrawGridStringOrder : uint8_t { dgso_prefix, dgso_main, dgso_suffix };
using TPalavraStr = std::array<UnicodeString, 3>;

// Call-backs: true from any of them stops the scan.
using TOpenTagTestEvent = std::function<bool(const T2StringsAndIntegerRec& rec)>;
using TStringStudyEvent = std::function<bool(const UnicodeString& before, const UnicodeString& found,
                                             const UnicodeString& after, int32_t percent, int32_t position)>;
using TChunkStudyEvent = std::function<bool(const UnicodeString& before, const UnicodeString& chunk,
                                            int32_t percent, int32_t position)>;
// A plain routine (not bound to an object) given each chunk and the caller's integer.
using TChunkCountRoutine = bool (*)(const TStringAndIntegerRec& rec, int32_t callerValue);

// ---- ignore-tag notation ----

// Reads "<*>,[*]" (spaces and "*" ignored; first and last character of each comma-separated piece)
// into pairs; a seventh and later piece overwrite slot 5.
TIgnore_tag StringToIgnoreTag(const UnicodeString& s);
// Writes the pairs in use as opener "*" closer, joined by ",".
UnicodeString IgnoreTagToString(const TIgnore_tag& tags);

// ---- single tags ----

// Begins with "</".
bool IsAnOffTag(const UnicodeString& s);
// Holds a "%".
bool ContainsAPercent(const UnicodeString& s);
// No lower-case letter anywhere (true for the empty string).
bool IsAllUppercase(const UnicodeString& s);
// Holds a "<" and, after it, a ">".
bool AngleBracketedSubstringInString(const UnicodeString& s);
// A heading line: it ends with ending when one is given, otherwise its last character (after closing
// brackets) is not a potential sentence terminator.
bool IsAHeading(const UnicodeString& line, const UnicodeString& ending);
// The closing form of a tag: "<p>" gives "</p>".
UnicodeString SameTagButSwitchedOff(const UnicodeString& tag);
// Splits a word into leading tag, word and trailing (or inner) tag.
TPalavraStr PalavraFromString(const UnicodeString& s);
// "<p>" with 5 gives <p "5">; a tag not ending in ">" is returned unchanged.
UnicodeString TagOnNumbered(const UnicodeString& tag, int32_t n);
// s with open in front and close at the end unless already there.
UnicodeString BracketedWith(const UnicodeString& s, char16_t open, char16_t close);
// s without a leading open and a trailing close.
UnicodeString UNBracketedWith(const UnicodeString& s, char16_t open, char16_t close);
// s begins with open and ends with close.
bool IsBracketed(const UnicodeString& s, char16_t open, char16_t close);
// The same with "<" and ">", or "(" and ")".
UnicodeString Angle_Bracketed(const UnicodeString& s);
UnicodeString Round_Bracketed(const UnicodeString& s);
UnicodeString UNAngle_Bracketed(const UnicodeString& s);
bool IsAngleBracketed(const UnicodeString& s);
bool IsRoundBracketed(const UnicodeString& s);
// Every "<" as "&lt;" and every ">" as "&gt;".
UnicodeString AnyAngleBracketsToHTML(const UnicodeString& s);

// ---- scans with call-backs ----

// The first opening tag whose closing form occurs nowhere in text (closing tags, and as asked
// lower-case or "%" tags, skipped), accepted by test when one is given; empty when none.
// The two leading strings are accepted for the callers' sake and not consulted.
UnicodeString OpenWithoutCloseTagInText(const UnicodeString& unused1, const UnicodeString& unused2,
                                        const UnicodeString& text, bool skipPercentTags, bool onlyUpperCaseTags,
                                        int32_t contextLength, const TOpenTagTestEvent& test);
// Up to n characters just before position p.
UnicodeString PrecedingContext(const UnicodeString& s, int32_t n, int32_t p);
// Hands every occurrence of sought (overlaps included) with n characters of context either side to
// study until it returns true. Returns 0.
int32_t FindAndStudyStringInText(const UnicodeString& text, const UnicodeString& sought,
                                 const TStringStudyEvent& study, int32_t n);
// Hands every opener...closer chunk with n characters before it to study until it returns true. Returns 0.
int32_t FindAndStudyStringInText(const UnicodeString& text, const UnicodeString& opener, const UnicodeString& closer,
                                 const TChunkStudyEvent& study, int32_t n);
// Counts opener...closer chunks, handing each to countRoutine with limit until it returns true.
int32_t FindAndStudyStringInText(const UnicodeString& text, const UnicodeString& opener, const UnicodeString& closer,
                                 int32_t limit, TChunkCountRoutine countRoutine);
// Number of "<...>" stretches in s, counting stops at limit + 1.
int32_t NumberOfTagsWithinChunk(const UnicodeString& s, int32_t limit);
// All of them.
int32_t NumberOfTagsWithinChunk(const UnicodeString& s);

// ---- tag values ----

// The text between <tagName> and </tagName> (names compared exactly); found says whether both were there.
UnicodeString SimpleTagValue(const UnicodeString& tagName, const UnicodeString& text, bool& found);
// The same with spaces and control characters trimmed from both ends.
UnicodeString TrimmedSimpleTagValue(const UnicodeString& tagName, const UnicodeString& text, bool& found);
// The text between the first opener and the next closer; empty when either is missing.
UnicodeString ExtractMarkupDataFromText(const UnicodeString& text, const UnicodeString& opener,
                                        const UnicodeString& closer);

// ---- markup removal and plain text ----

// s without every open...close stretch that spans at most maxGap characters; maxGap <= 0 changes nothing.
UnicodeString WithoutMarkup(const UnicodeString& s, char16_t open, char16_t close, int32_t maxGap);
// The same with "<" and ">".
UnicodeString WithoutMarkup(const UnicodeString& s, int32_t maxGap);
// Only the open...close stretches of s, in order.
UnicodeString MarkupWithoutText(const UnicodeString& s, char16_t open, char16_t close);
// The same with "<" and ">".
UnicodeString MarkupWithoutText(const UnicodeString& s);
// The file's text (as GetTextFromFile) without "<...>" markup of at most maxGap characters.
UnicodeString MarkupFreeTextFromAFile(const UnicodeString& fileName, int32_t maxGap);
// The file's lines, each followed by CR LF; the encoding comes from a byte-order mark, else the system
// 8-bit code page. Empty when the file does not exist or cannot be read.
UnicodeString GetTextFromFile(const UnicodeString& fileName);
// "</p>", "</div>" and "</head>" (any case) replaced by CR LF.
UnicodeString ParaDivHeadingEndToCRLF(const UnicodeString& s);
// The plain text of a word-processor document (zipped XML): each non-empty paragraph's text runs
// followed by CR LF. The document part is decoded as UTF-8, which is what such documents use.
// Empty when the file is missing, is not a readable archive or has no document part.
UnicodeString DOCXFileText(const UnicodeString& fileName);
// The paragraphs of a document part's XML as DOCXFileText gives them (alternate content reduced to
// its fallback, entities left as they stand).
UnicodeString DOCXTextFromDocumentPart(const UnicodeString& part);
// The part of path after the last "/" or "\" (the whole path when it has neither).
UnicodeString BothSlashesExtractFilename(const UnicodeString& path);
// list + separator + item, or item alone when list is empty.
UnicodeString AddToListWithSeparatorIfNeeded(const UnicodeString& list, const UnicodeString& item,
                                             const UnicodeString& separator);

}  // namespace kx8
