// Lists of file masks ("*.txt;*.htm") and matching file names against them.
#pragma once

#include <cstdint>
#include <vector>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Splits MaskText (trimmed; CR LF counts as ";") at each ";" into Masks, replacing what Masks held;
// an empty piece before a ";" stays as an empty mask, an empty last piece is dropped.
void BuildAMask(std::vector<UnicodeString>& Masks, const UnicodeString& MaskText);
// The file-name pattern match ("*", "?", no case; Mask may be a ";" list); false for an empty S.
bool MatchesMask(const UnicodeString& S, const UnicodeString& Mask);
// Index of the first non-empty mask that S matches; -1 when none.
int32_t WhereInAMask(const UnicodeString& S, const std::vector<UnicodeString>& Masks);

}  // namespace kx8
