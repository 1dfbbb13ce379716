// What the processor offers the hot loops beyond the baseline instruction set.
#pragma once

namespace kx8 {

// Whether the processor has the 256-bit integer vectors (AVX2).
bool CpuHasAvx2();

// Whether the hot loops (hit finding, the number rule) use the 256-bit vectors: set at start-up where
// the processor has them. Tests and measurements turn it off to run the 128-bit paths on the same
// machine; turning it on where CpuHasAvx2() is false is a fault.
extern bool Global_UseWideVectors;

// Sets Global_UseWideVectors for a scope (on only where the processor has the vectors) and puts the
// previous value back at its end, so that a test or measurement can run one width and leave the other.
class TWideVectorsSetting {
 public:
  explicit TWideVectorsSetting(bool useWide) : fSaved(Global_UseWideVectors) {
    Global_UseWideVectors = useWide && CpuHasAvx2();
  }
  ~TWideVectorsSetting() { Global_UseWideVectors = fSaved; }
  TWideVectorsSetting(const TWideVectorsSetting&) = delete;
  TWideVectorsSetting& operator=(const TWideVectorsSetting&) = delete;

 private:
  bool fSaved;
};

}  // namespace kx8
