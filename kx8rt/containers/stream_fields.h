// Fixed-width little-endian fields on byte streams: each call transfers one field and reports whether
// every byte of it went through.
#pragma once

#include <cstdint>
#include <cstring>

#include "kx8rt/platform/little_endian.h"
#include "kx8rt/platform/streams.h"

namespace kx8 {

inline bool WriteInt32(TStream& s, int32_t v) {
  uint8_t b[4];
  PutLE32(b, static_cast<uint32_t>(v));
  return s.Write(b, 4) == 4;
}
// value is changed only when all four bytes arrive.
inline bool ReadInt32(TStream& s, int32_t& v) {
  uint8_t b[4];
  if (s.Read(b, 4) != 4) return false;
  v = static_cast<int32_t>(GetLE32(b));
  return true;
}

}  // namespace kx8
