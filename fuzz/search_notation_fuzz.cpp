// Feeds arbitrary UTF-8 through the search-notation translations and the file-mask matcher: the first
// line is taken as a mask list, the rest as the word or name.
#include <cstdint>
#include <string_view>
#include <vector>

#include "kx8rt/search/user_input_wildcard_parsing.h"
#include "kx8rt/platform/widemasks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t nl = bytes.find('\n');
  const kx8::UnicodeString mask = kx8::Utf8ToUtf16(bytes.substr(0, nl));
  const kx8::UnicodeString word = nl == std::string_view::npos ? mask : kx8::Utf8ToUtf16(bytes.substr(nl + 1));
  kx8::UnicodeString s = word;
  kx8::Parse_Retain(s, kx8::retain_code_base);
  kx8::Parse_Translate(s, kx8::any_string_symbol_str, kx8::sw_any_string_mark);
  kx8::Parse_Translate(s, u"*", kx8::sw_any_run);
  kx8::Parse_Restore(s, kx8::retain_code_base);
  (void)kx8::TagWildcardConverted(word);
  (void)kx8::CleanToTagOnOff(word);
  std::vector<kx8::UnicodeString> masks;
  kx8::BuildAMask(masks, mask);
  (void)kx8::WhereInAMask(word, masks);
  (void)kx8::MatchesMask(word, mask);
  return 0;
}
