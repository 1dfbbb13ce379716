#include "kx8rt/platform/exceptions.h"

#include <cstring>

namespace kx8 {

Exception::Exception(UnicodeString message) : fMessage(std::move(message)), fUtf8(Utf16ToUtf8(fMessage)) {}

void RaiseLastOSError(int32_t errorCode, const UnicodeString& what) {
  throw EOSError(what + u": " + Utf8ToUtf16(std::strerror(errorCode)) + u" (" + IntToStr(errorCode) + u")",
                 errorCode);
}

}  // namespace kx8
