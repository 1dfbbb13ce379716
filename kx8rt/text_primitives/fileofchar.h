// An append-only UTF-16 text file.
#pragma once

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Appends the UTF-16 units of S (little-endian) to FileName; a missing file is created starting with
// the signature FF FE. An empty FileName does nothing; input/output failures raise EInOutError.
void AddToFileOfChar(const UnicodeString& FileName, const UnicodeString& S);

}  // namespace kx8
