// The thread's last error code of the locale and code-page services, as the classic calls leave it
// behind when they answer 0 or false.
#pragma once

#include <cstdint>

namespace kx8 {

inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t ERROR_INVALID_FLAGS = 1004;
inline constexpr uint32_t ERROR_NO_UNICODE_TRANSLATION = 1113;

// The code left by the last failing locale or code-page call on this thread (0 after none).
uint32_t GetLastPlatformError();
// Sets this thread's code; the services call it on every failure.
void SetLastPlatformError(uint32_t code);

}  // namespace kx8
