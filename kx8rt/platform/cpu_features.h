// What the processor offers the hot loops beyond the baseline instruction set.
#pragma once

namespace kx8 {

// Whether the processor has the 256-bit integer vectors (AVX2).
bool CpuHasAvx2();

// Whether the hot loops (hit finding, the number rule) use the 256-bit vectors: set at start-up where
// the processor has them. Tests and measurements turn it off to run the 128-bit paths on the same
// machine; turning it on where CpuHasAvx2() is false is a fault.
extern bool Global_UseWideVectors;

}  // namespace kx8
