#include "kx8rt/platform/yield.h"

namespace kx8 {

void MyYieldProcess() {
  if (Global_YieldProcessProc) Global_YieldProcessProc();
}

}  // namespace kx8
