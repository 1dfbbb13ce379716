#include "kx8rt/platform/cpu_features.h"

namespace kx8 {

bool CpuHasAvx2() {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();  // the feature bits may be asked for before the run-time's own constructors ran
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

bool CpuHasAvx512Vbmi() {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
         __builtin_cpu_supports("gfni");
#else
  return false;
#endif
}

bool Global_UseWideVectors = CpuHasAvx2();
bool Global_UseVectors512 = CpuHasAvx512Vbmi();

}  // namespace kx8
