#include "kx8rt/platform/message_box.h"

namespace kx8 {

int32_t SafeMessageBoxAnswer(uint32_t Flags) {
  switch (Flags & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDCANCEL;  // OK/Cancel, Yes/No/Cancel, Retry/Cancel and anything unknown
  }
}

namespace {

const char16_t* AnswerName(int32_t answer) {
  switch (answer) {
    case IDOK: return u"OK";
    case IDCANCEL: return u"Cancel";
    case IDABORT: return u"Abort";
    case IDRETRY: return u"Retry";
    case IDIGNORE: return u"Ignore";
    case IDYES: return u"Yes";
    case IDNO: return u"No";
    default: return u"?";
  }
}

}  // namespace

int32_t MessageBoxW(const UnicodeString& Text, const UnicodeString& Caption, uint32_t Flags) {
  if (Global_MessageBoxHook) return Global_MessageBoxHook(Text, Caption, Flags);
  const int32_t answer = SafeMessageBoxAnswer(Flags);
  if (Global_MessageBoxLogProc) {
    UnicodeString line = u"message box";
    if (!Caption.empty()) line += u" \"" + Caption + u"\"";
    line += u": " + Text + u" -> " + AnswerName(answer);
    Global_MessageBoxLogProc(line);
  }
  return answer;
}

void ShowMessage(const UnicodeString& Text) { MessageBoxW(Text, UnicodeString(), MB_OK); }

}  // namespace kx8
