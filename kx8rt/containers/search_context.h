// A search word with its flags and the context requirements that go with it, and their holder for
// string-list object slots. The flag set itself is declared with the search types (a header-only
// enumeration and set, so this header adds no link dependency on the search subsystem).
#pragma once

#include <cstdint>

#include "kx8rt/containers/holders.h"
#include "kx8rt/platform/strings.h"
#include "kx8rt/containers/search_types.h"

namespace kx8 {

// A word and its search flags.
struct TWordAndSearchFlags {
  UnicodeString wd;
  TMySearchFlags flags;
};

// A main search word, how many hits are wanted, two context words, how far to look for them and how
// many other search words are required.
struct TSearchContextRec {
  TWordAndSearchFlags mainwd;
  int32_t n_wanted = 0;
  TWordAndSearchFlags context_words[2];
  int32_t context_seek_span = 0;
  int32_t otherSWs_required = 0;
};

// A search context in an object slot.
using TSearchContextHolder = TRecordHolder<TSearchContextRec>;

}  // namespace kx8
