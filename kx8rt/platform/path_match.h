// Shell pattern matching of file names with "*" and "?", as the classic PathMatchSpecW does it.
#pragma once

#include <string_view>

namespace kx8 {

// True when fileName matches spec, a pattern or a ";"-separated list of patterns (spaces before each
// pattern are skipped). "*" matches any run of characters (none included), "?" exactly one; letters
// are compared without case (Unicode simple case folding); "*.*" matches every name, with or without
// a dot. An empty spec matches nothing.
bool PathMatchSpecW(std::u16string_view fileName, std::u16string_view spec);

}  // namespace kx8
