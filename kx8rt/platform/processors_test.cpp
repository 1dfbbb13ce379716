#include "kx8rt/platform/processors.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <thread>
#include <vector>

namespace kx8 {
namespace {

cpu_set_t Allowed() {
  cpu_set_t s;
  CPU_ZERO(&s);
  sched_getaffinity(0, sizeof s, &s);
  return s;
}

// Each case runs on a thread of its own, so that the test runner's affinity is never changed.
template <typename F>
void OnThread(F f) {
  std::thread t(f);
  t.join();
}

TEST(ProcessorsTest, MovesOffTheAvoidedProcessorAndLeavesTheThreadFree) {
  OnThread([] {
    const cpu_set_t before = Allowed();
    const int count = CPU_COUNT(&before);
    int first = -1;
    for (int c = 0; c < CPU_SETSIZE && first < 0; ++c)
      if (CPU_ISSET(c, &before)) first = c;
    std::vector<int> chosen;
    for (int index = 0; index < 2 * count; ++index) {
      const int c = MoveToProcessorBesides(first, index);
      const cpu_set_t after = Allowed();
      EXPECT_TRUE(CPU_EQUAL(&before, &after)) << "left narrowed after index " << index;
      if (count < 2) {
        EXPECT_EQ(c, -1);
        continue;
      }
      ASSERT_GE(c, 0);
      EXPECT_NE(c, first);
      EXPECT_TRUE(CPU_ISSET(c, &before));
      chosen.push_back(c);
    }
    // Consecutive indexes spread over all the others, and wrap round.
    if (count >= 2) {
      for (int k = 0; k + 1 < count - 1; ++k) EXPECT_NE(chosen[k], chosen[k + 1]);
      EXPECT_EQ(chosen[0], chosen[count - 1]);
    }
  });
}

TEST(ProcessorsTest, NoOtherProcessorMovesNothing) {
  OnThread([] {
    const int here = CurrentProcessor();
    ASSERT_GE(here, 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(here, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(MoveToProcessorBesides(here, 0), -1);
    EXPECT_EQ(MoveToProcessorBesides(here, 5), -1);
    const cpu_set_t after = Allowed();
    EXPECT_TRUE(CPU_EQUAL(&one, &after));
    // Avoiding a processor the thread may not use anyway leaves the one it may.
    EXPECT_EQ(MoveToProcessorBesides(here + 1, 3), here);
  });
}

}  // namespace
}  // namespace kx8
