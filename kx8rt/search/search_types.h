// Types shared by the search notation, the search-word parser and the string functions that take
// search flags or context requirements.
#pragma once

#include <cstdint>

#include "kx8rt/platform/sets.h"

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
