#include "kx8rt/platform/processors.h"

#include <sched.h>

namespace kx8 {

int CurrentProcessor() { return sched_getcpu(); }

int MoveToProcessorBesides(int avoid, int index) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  int others = 0;
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &allowed) && c != avoid) ++others;
  if (others == 0) return -1;
  int wanted = (index % others + others) % others;
  for (int c = 0; c < CPU_SETSIZE; ++c) {
    if (!CPU_ISSET(c, &allowed) || c == avoid || wanted-- > 0) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(c, &one);
    // Narrowed to the one processor the thread is moved there at once; widened again it stays unless
    // the system has reason to move it.
    if (sched_setaffinity(0, sizeof one, &one) != 0) return -1;
    sched_setaffinity(0, sizeof allowed, &allowed);
    return c;
  }
  return -1;
}

}  // namespace kx8
