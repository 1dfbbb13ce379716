// Fixed-width little-endian fields on byte streams: each call transfers one field and reports whether
// every byte of it went through.
#pragma once

#include <cstdint>
#include <cstring>

#include "kx8rt/platform/streams.h"

namespace kx8 {

// Packs and unpacks 32- and 64-bit values little-endian, whatever the machine's order.
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}
inline uint32_t GetLE32(const uint8_t* p) {
  uint32_t v = 0;
  for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(p[k]) << (8 * k);
  return v;
}
inline void PutLE64(uint8_t* p, uint64_t v) {
  for (int k = 0; k < 8; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}
inline uint64_t GetLE64(const uint8_t* p) {
  uint64_t v = 0;
  for (int k = 0; k < 8; ++k) v |= static_cast<uint64_t>(p[k]) << (8 * k);
  return v;
}
inline uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}
inline float BitsFloat(uint32_t u) {
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline uint64_t DoubleBits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, 8);
  return u;
}
inline double BitsDouble(uint64_t u) {
  double d;
  std::memcpy(&d, &u, 8);
  return d;
}

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
