// The one little-endian codec of the library: fixed-width fields packed and unpacked byte by byte, so
// that stored records read the same whatever the machine's order. Every stream reader and writer of a
// record uses it.
#pragma once

#include <cstdint>
#include <cstring>

namespace kx8 {

// Writes the low `bytes` bytes of v at p, least significant first (bytes at most 8).
inline void PutLE(uint8_t* p, uint64_t v, int bytes) {
  for (int k = 0; k < bytes; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}
// Reads `bytes` bytes at p, least significant first (bytes at most 8).
inline uint64_t GetLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int k = 0; k < bytes; ++k) v |= static_cast<uint64_t>(p[k]) << (8 * k);
  return v;
}

inline void PutLE16(uint8_t* p, uint16_t v) { PutLE(p, v, 2); }
inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(GetLE(p, 2)); }
inline void PutLE32(uint8_t* p, uint32_t v) { PutLE(p, v, 4); }
inline uint32_t GetLE32(const uint8_t* p) { return static_cast<uint32_t>(GetLE(p, 4)); }
inline void PutLE64(uint8_t* p, uint64_t v) { PutLE(p, v, 8); }
inline uint64_t GetLE64(const uint8_t* p) { return GetLE(p, 8); }

// The bits of floating-point values, for storing them as integers.
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

}  // namespace kx8
