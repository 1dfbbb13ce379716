// Arbitrary bytes through the 8-bit services: the UTF-16 test, decoding in several code pages (single-
// byte, double-byte, UTF-8), re-encoding what came out, and 8-bit classification.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kx8rt/platform/char_classes.h"
#include "kx8rt/platform/code_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  const auto n = static_cast<int32_t>(size);
  const char* bytes = reinterpret_cast<const char*>(data);
  kx8::IsTextUnicode(data, n, nullptr);
  int32_t tests = data[0];
  kx8::IsTextUnicode(data, n, &tests);

  for (uint32_t cp : {1252u, 1251u, 932u, 936u, 65001u}) {
    const int32_t need = kx8::MultiByteToWideChar(cp, 0, bytes, n, nullptr, 0);
    if (need <= 0) continue;
    std::u16string wide(static_cast<size_t>(need), u'\0');
    if (kx8::MultiByteToWideChar(cp, 0, bytes, n, wide.data(), need) != need) __builtin_trap();
    const int32_t back = kx8::WideCharToMultiByte(cp, cp == 65001 ? 0u : kx8::WC_COMPOSITECHECK, wide.data(),
                                                  need, nullptr, 0, nullptr, nullptr);
    if (back > 0) {
      std::string narrow(static_cast<size_t>(back), '\0');
      kx8::WideCharToMultiByte(cp, 0, wide.data(), need, narrow.data(), back, nullptr, nullptr);
    }
    std::vector<uint16_t> types(static_cast<size_t>(need));
    kx8::GetStringTypeExW(0x0409, kx8::CT_CTYPE1, wide.data(), need, types.data());
    std::u16string folded(static_cast<size_t>(need) * 4 + 8, u'\0');
    kx8::FoldStringW(kx8::MAP_PRECOMPOSED, wide.data(), need, folded.data(), static_cast<int32_t>(folded.size()));
  }
  std::vector<uint16_t> types(size);
  kx8::GetStringTypeExA(0x0411, kx8::CT_CTYPE1, bytes, n, types.data());
  kx8::GetStringTypeExA(0x0409, kx8::CT_CTYPE1, bytes, n, types.data());
  return 0;
}
