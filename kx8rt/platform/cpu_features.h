// What the processor offers the hot loops beyond the baseline instruction set.
#pragma once

namespace kx8 {

// Whether the processor has the 256-bit integer vectors (AVX2).
bool CpuHasAvx2();

// Whether the hot loops (hit finding, the number rule) use the 256-bit vectors: set at start-up where
// the processor has them. Tests and measurements turn it off to run the 128-bit paths on the same
// machine; turning it on where CpuHasAvx2() is false is a fault.
extern bool Global_UseWideVectors;

// Whether the processor has 512-bit byte vectors with byte permutes, byte compression and bit permutes
// within bytes (AVX-512 BW, VBMI and VBMI2, GFNI): a 7-bit character is classed by one table look-up,
// sixty-four at a time, masks are turned end to end, and UTF-8 is decoded a block at a time.
bool CpuHasAvx512Vbmi();

// Whether the 7-bit counting loops use the 512-bit vectors (only where Global_UseWideVectors is on too):
// set at start-up where the processor has them; tests turn it off to run the 256-bit paths.
extern bool Global_UseVectors512;

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

// Sets Global_UseVectors512 for a scope, as TWideVectorsSetting does the 256-bit setting.
class TVectors512Setting {
 public:
  explicit TVectors512Setting(bool use512) : fSaved(Global_UseVectors512) {
    Global_UseVectors512 = use512 && CpuHasAvx512Vbmi();
  }
  ~TVectors512Setting() { Global_UseVectors512 = fSaved; }
  TVectors512Setting(const TVectors512Setting&) = delete;
  TVectors512Setting& operator=(const TVectors512Setting&) = delete;

 private:
  bool fSaved;
};

}  // namespace kx8
