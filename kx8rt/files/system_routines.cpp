#include "kx8rt/files/system_routines.h"

namespace kx8 {

void MyYieldProcess() {
  if (Global_YieldProcessProc) Global_YieldProcessProc();
}

}  // namespace kx8
