// Types shared by the search notation, the search-word parser, the settings records and the string
// functions that take search flags, ignore-tags or context requirements; kept low so that every layer
// that stores or passes them can see them.
#pragma once

#include <array>
#include <cstdint>

#include "kx8rt/platform/sets.h"
#include "kx8rt/platform/strings.h"

namespace kx8 {

// One flag of a parsed search word.
enum TMySearchFlag : uint8_t {
  myReplace,          // replace what is found
  myConfirmFinds,     // ask before acting on a find
  myCaseIsSensitive,  // match case exactly
  mySW_To_Avoid,      // a word whose presence excludes a hit
  myLeftBounded,      // the find must start a word
  myRightBounded      // the find must end a word
};
// The flags of a search word, one byte, bit k = element k.
using TMySearchFlags = TSet<TMySearchFlag, 6>;
static_assert(sizeof(TMySearchFlags) == 1);

// Which half of an ignore-tag pair.
enum Ttag_on_off : uint8_t { tag_on = 0, tag_off = 1 };
// Up to six opener/closer pairs of ignore-tags: [tag_on][slot] openers, [tag_off][slot] closers; a
// slot is in use when both its units are non-zero. Stored whole in the text settings (24 bytes).
using TIgnore_tag = std::array<std::array<char16_t, 6>, 2>;
static_assert(sizeof(TIgnore_tag) == 24);

// Reads and strips the flag notation of S: a leading "*" (no left bound), "==" around the word (case
// sensitive) or a leading "~" (to avoid), then a trailing "*" (no right bound).
TMySearchFlags FlagsFromSW(UnicodeString& S);
// S with the flag notation of Flags written back ("*" for a missing bound, "==" for case).
UnicodeString SWStringPlusFlags(const UnicodeString& S, TMySearchFlags Flags);

// The fixed old search-word field: 81 UTF-16 units, zero-filled, at most 80 characters used.
using Tsearch_word32 = std::array<char16_t, 81>;
// S in the fixed old field, zero-filled, cut to 80 characters.
Tsearch_word32 StringToSearch_word_type32(const UnicodeString& S);
// The text of the fixed old field, up to its first zero.
UnicodeString Search_word_type32ToString(const Tsearch_word32& P);

// What a context requirement seeks. Only the N-word kinds are used by the library's own routines;
// the lower values belong to requirement kinds that the tools define for themselves.
enum TSearchRequirementSeeks : uint8_t {
  ccp_FoundWithinNWordsOfSearchword = 8,
  ccp_FoundWithinNWordsToLeftOfSearchword = 9,
  ccp_FoundWithinNWordsToRightOfSearchword = 10,
  ccp_FoundWithinNWordsOf = 11,
  ccp_FoundWithinNWordsToLeftOf = 12,
  ccp_FoundWithinNWordsToRightOf = 13
};

}  // namespace kx8
