// Dictionary words of Chinese and Japanese: runs of Han, Hiragana and Katakana letters cut into the
// words of ICU's Chinese-Japanese dictionary, giving the same cuts as ICU's word break iterator but many
// times faster. The dictionary is read from ICU's data once per process and turned into a trie that is
// walked one code unit at a time; a run is cut along the path of least cost through the words it holds.
#pragma once

#include <cstdint>
#include <vector>

namespace kx8 {

// Whether c is a letter the Chinese-Japanese dictionary cuts: Han, Hiragana, Katakana, the prolonged
// sound marks and the halfwidth voicing marks (letters that ICU's dictionary break engine takes).
bool IsHanKanaChar(char32_t c);

// Appends to starts the positions in (from, to) of text where dictionary words begin, for a run
// [from, to) of the n characters of text that holds Han, Hiragana and Katakana letters only. Returns
// false, appending nothing, when it cannot give ICU's answer itself: the dictionary is missing, the run
// holds a character outside those scripts or one that NFKC would change (halfwidth Katakana,
// compatibility ideographs, voicing marks), or a character of the dictionary's scripts touches the run
// on either side (ICU would cut the longer run). The caller then asks ICU's break iterator.
bool FindHanKanaWordStarts(const char16_t* text, int32_t n, int32_t from, int32_t to, std::vector<int32_t>& starts);

// Loads the dictionary now rather than on the first run (the first call costs the load; later ones
// nothing). Returns whether it is available.
bool LoadHanKanaDictionary();

}  // namespace kx8
