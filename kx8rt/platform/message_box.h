// Message boxes through a replaceable hook. A library has no windows of its own: the calling tool
// installs a hook that shows the question; without one the safe answer is given (Cancel, No) and the
// question is logged, so that nothing is deleted or overwritten without a yes from the tool.
#pragma once

#include <cstdint>
#include <functional>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Button sets (low four bits of the flags), with their classic values.
inline constexpr uint32_t MB_OK = 0x0000;
inline constexpr uint32_t MB_OKCANCEL = 0x0001;
inline constexpr uint32_t MB_ABORTRETRYIGNORE = 0x0002;
inline constexpr uint32_t MB_YESNOCANCEL = 0x0003;
inline constexpr uint32_t MB_YESNO = 0x0004;
inline constexpr uint32_t MB_RETRYCANCEL = 0x0005;
inline constexpr uint32_t MB_TYPEMASK = 0x000F;
// Icons; they change nothing about the answer.
inline constexpr uint32_t MB_ICONERROR = 0x0010;
inline constexpr uint32_t MB_ICONQUESTION = 0x0020;
inline constexpr uint32_t MB_ICONWARNING = 0x0030;
inline constexpr uint32_t MB_ICONINFORMATION = 0x0040;

// Answers, with their classic values.
inline constexpr int32_t IDOK = 1;
inline constexpr int32_t IDCANCEL = 2;
inline constexpr int32_t IDABORT = 3;
inline constexpr int32_t IDRETRY = 4;
inline constexpr int32_t IDIGNORE = 5;
inline constexpr int32_t IDYES = 6;
inline constexpr int32_t IDNO = 7;

// A tool's routine that shows Text under Caption with the buttons of Flags and returns the answer.
using TMessageBoxHook = std::function<int32_t(const UnicodeString& Text, const UnicodeString& Caption, uint32_t Flags)>;

// The hook every message box of the library goes through; empty means "no user to ask".
inline TMessageBoxHook Global_MessageBoxHook;

// Where the default answer records the question. A plain function pointer (constant-initialised, so
// set safely from another unit's start-up code); the log unit sets it, null means not recorded.
using TMessageBoxLogProc = void (*)(const UnicodeString& Line);
inline TMessageBoxLogProc Global_MessageBoxLogProc = nullptr;

// The answer given when nobody can be asked: OK for a bare OK box, No for Yes/No, Abort for
// Abort/Retry/Ignore, Cancel for every other set.
int32_t SafeMessageBoxAnswer(uint32_t Flags);

// Asks through the hook when one is installed; otherwise logs the question and returns
// SafeMessageBoxAnswer(Flags).
int32_t MessageBoxW(const UnicodeString& Text, const UnicodeString& Caption, uint32_t Flags);

// An information box with only an OK button and an empty caption.
void ShowMessage(const UnicodeString& Text);

}  // namespace kx8
