#include "kx8rt/platform/last_error.h"

namespace kx8 {

namespace {
thread_local uint32_t tLastError = ERROR_SUCCESS;
}

uint32_t GetLastPlatformError() { return tLastError; }
void SetLastPlatformError(uint32_t code) { tLastError = code; }

}  // namespace kx8
