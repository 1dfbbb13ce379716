// Feeds arbitrary UTF-8 to the word-processor document-part reader and to the markup scanners, which
// must end (no endless alternate-content loop) without faults.
#include <cstdint>
#include <string_view>

#include "kx8rt/strings/tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kx8::UnicodeString text = kx8::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)kx8::DOCXTextFromDocumentPart(text);
  (void)kx8::WithoutMarkup(text, 40);
  (void)kx8::MarkupWithoutText(text);
  (void)kx8::NumberOfTagsWithinChunk(text, 100);
  (void)kx8::OpenWithoutCloseTagInText(u"", u"", text, true, false, 20, nullptr);
  (void)kx8::PalavraFromString(text);
  (void)kx8::StringToIgnoreTag(text);
  return 0;
}
