// Plain text from files: the whole file as CR LF lines, and the same without markup.
#include <sys/stat.h>

#include "kx8rt/platform/exceptions.h"
#include "kx8rt/platform/string_list.h"
#include "kx8rt/strings/tags.h"

namespace kx8 {

UnicodeString GetTextFromFile(const UnicodeString& fileName) {
  struct stat sb;
  if (::stat(Utf16ToUtf8(fileName).c_str(), &sb) != 0 || S_ISDIR(sb.st_mode)) return UnicodeString();
  try {
    // The string list takes the encoding from a byte-order mark, else the system 8-bit code page, and
    // its text gives every line (the last too) followed by CR LF.
    TStringList lines;
    lines.LoadFromFile(fileName);
    return lines.Text();
  } catch (const Exception&) {
    return UnicodeString();  // unreadable counts as no text, as a missing file does
  }
}

UnicodeString MarkupFreeTextFromAFile(const UnicodeString& fileName, int32_t maxGap) {
  return WithoutMarkup(GetTextFromFile(fileName), u'<', u'>', maxGap);
}

}  // namespace kx8
