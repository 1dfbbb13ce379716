// Plain text from files: the whole file as CR LF lines, and the same without markup.
#include <fstream>
#include <iterator>

#include "kx8rt/platform/code_pages.h"
#include "kx8rt/strings/tags.h"

namespace kx8 {

namespace {

// Bytes to text: a byte-order mark names the encoding, otherwise the system 8-bit code page.
UnicodeString DecodeByMark(const std::string& bytes) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
    return Utf8ToUtf16(std::string_view(bytes).substr(3));
  if (bytes.size() >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF))) {
    const bool little = b(0) == 0xFF;
    UnicodeString text;
    text.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(static_cast<char16_t>(little ? (b(i) | (b(i + 1) << 8)) : ((b(i) << 8) | b(i + 1))));
    return text;  // an odd last byte is not a whole unit and is dropped
  }
  return AnsiToUnicode(bytes, CP_ACP);
}

}  // namespace

UnicodeString GetTextFromFile(const UnicodeString& fileName) {
  std::ifstream in(Utf16ToUtf8(fileName), std::ios::binary);
  if (!in) return UnicodeString();
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return UnicodeString();
  const UnicodeString text = DecodeByMark(bytes);
  // As lines: CR LF, CR or LF ends a line, and every line (the last too) gets CR LF.
  UnicodeString out;
  out.reserve(text.size() + text.size() / 16 + 2);
  size_t i = 0;
  while (i < text.size()) {
    const size_t e = text.find_first_of(u"\r\n", i);
    if (e == UnicodeString::npos) {
      out.append(text, i, UnicodeString::npos);
      out += u"\r\n";
      break;
    }
    out.append(text, i, e - i);
    out += u"\r\n";
    i = e + ((text[e] == u'\r' && e + 1 < text.size() && text[e + 1] == u'\n') ? 2 : 1);
  }
  return out;
}

UnicodeString MarkupFreeTextFromAFile(const UnicodeString& fileName, int32_t maxGap) {
  return WithoutMarkup(GetTextFromFile(fileName), u'<', u'>', maxGap);
}

}  // namespace kx8
