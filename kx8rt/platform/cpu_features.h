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

// Sets one of the settings above for a scope (on only where the processor has what it needs) and puts
// the previous value back at its end, so that a test or measurement can run one vector width and leave
// the other.
template <bool& Setting, bool (*Has)()>
class TVectorSetting {
 public:
  explicit TVectorSetting(bool use) : fSaved(Setting) { Setting = use && Has(); }
  ~TVectorSetting() { Setting = fSaved; }
  TVectorSetting(const TVectorSetting&) = delete;
  TVectorSetting& operator=(const TVectorSetting&) = delete;

 private:
  bool fSaved;
};
using TWideVectorsSetting = TVectorSetting<Global_UseWideVectors, CpuHasAvx2>;
using TVectors512Setting = TVectorSetting<Global_UseVectors512, CpuHasAvx512Vbmi>;

}  // namespace kx8
