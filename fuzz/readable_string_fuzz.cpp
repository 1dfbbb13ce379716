// Fuzzes the readable-notation decoder. The first byte chooses how the rest is read: odd for UTF-16
// little-endian code units, even for UTF-8. Decoding must end and never lengthen the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kx8rt/strings/readable_strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool asUtf16 = (data[0] & 1) != 0;
  const uint8_t* body = data + 1;
  const size_t n = size - 1;
  kx8::UnicodeString input;
  if (asUtf16) {
    input.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) input += static_cast<char16_t>(body[i] | body[i + 1] << 8);
  } else {
    input = kx8::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(body), n));
  }
  const kx8::UnicodeString decoded = kx8::KXFormattedReadableStringToWorkString(input);
  // Every decode replaces a code by one unit, so the result can only be shorter.
  if (decoded.size() > input.size()) std::abort();
  // Encoding the controls and decoding again must reproduce text that holds no "#" or "{".
  if (decoded.find(u'#') == kx8::UnicodeString::npos && decoded.find(u'{') == kx8::UnicodeString::npos) {
    const kx8::UnicodeString again =
        kx8::KXFormattedReadableStringToWorkString(kx8::KXFormattedWorkStringToReadableString(decoded, 32));
    if (again != decoded) std::abort();
  }
  return 0;
}
