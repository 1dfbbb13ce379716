#include "kx8rt/platform/processors.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <stdexcept>
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

int FirstAllowed(const cpu_set_t& s) {
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &s)) return c;
  return -1;
}

// Each case that narrows its own affinity runs on a thread of its own, so that the runner's is kept.
template <typename F>
void OnThread(F f) {
  std::thread t(f);
  t.join();
}

TEST(ProcessorsTest, OthersThanTheAvoidedOneInTurn) {
  const cpu_set_t allowed = Allowed();
  const int count = CPU_COUNT(&allowed), first = FirstAllowed(allowed);
  std::vector<int> chosen;
  for (int index = 0; index < 2 * count; ++index) {
    const int c = ProcessorBesides(first, index);
    if (count < 2) {
      EXPECT_EQ(c, -1);
      continue;
    }
    ASSERT_GE(c, 0);
    EXPECT_NE(c, first);
    EXPECT_TRUE(CPU_ISSET(c, &allowed));
    chosen.push_back(c);
  }
  // Consecutive indexes spread over all the others, and wrap round.
  if (count >= 2) {
    for (int k = 0; k + 1 < count - 1; ++k) EXPECT_NE(chosen[k], chosen[k + 1]);
    EXPECT_EQ(chosen[0], chosen[count - 1]);
  }
  // Avoiding a processor the thread may not use leaves them all.
  EXPECT_EQ(ProcessorBesides(-1, 0), first);
}

TEST(ProcessorsTest, NoOtherProcessorNoneChosen) {
  OnThread([] {
    const int here = CurrentProcessor();
    ASSERT_GE(here, 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(here, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(ProcessorBesides(here, 0), -1);
    EXPECT_EQ(ProcessorBesides(here, 5), -1);
  });
}

TEST(ProcessorsTest, AWorkerBeginsWhereAskedAndIsThenFreeToMove) {
  const cpu_set_t allowed = Allowed();
  // Each processor the runner may use, one it may not (ignored), and none.
  std::vector<int> asked;
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &allowed)) asked.push_back(c);
  int notAllowed = 0;
  while (notAllowed < CPU_SETSIZE - 1 && CPU_ISSET(notAllowed, &allowed)) ++notAllowed;
  asked.push_back(notAllowed);
  asked.push_back(-1);
  for (const int processor : asked) {
    std::atomic<int> ran{0};
    cpu_set_t inside;
    CPU_ZERO(&inside);
    {
      TWorkerThread worker(processor, [&] {
        inside = Allowed();
        ran.fetch_add(1);
      });
      worker.Join();
      worker.Join();  // a second join returns at once
    }
    EXPECT_EQ(ran.load(), 1) << processor;
    EXPECT_TRUE(CPU_EQUAL(&inside, &allowed)) << "left narrowed to " << processor;
  }
  // Destroyed without a join, the worker is joined: its body has run.
  std::atomic<bool> done{false};
  { TWorkerThread worker(ProcessorBesides(CurrentProcessor(), 0), [&] { done = true; }); }
  EXPECT_TRUE(done.load());
}

TEST(ProcessorsTest, APoolStopsItsWorkersOnceAndJoinsThemHoweverItIsLeft) {
  // Workers that run until told to stop: the pool's stop tells them, once, whether the owner asks or
  // leaves by an exception; a pool with no workers runs no stop.
  for (const bool thrown : {false, true}) {
    std::atomic<bool> stop{false};
    std::atomic<int> stops{0}, ended{0};
    try {
      TWorkerPool pool([&] {
        stops.fetch_add(1);
        stop = true;
      });
      for (int k = 0; k < 3; ++k)
        pool.Start(ProcessorBesides(-1, k), [&] {
          while (!stop.load()) std::this_thread::yield();
          ended.fetch_add(1);
        });
      if (thrown) throw std::runtime_error("the owner's");
      pool.StopAndJoin();
      EXPECT_EQ(ended.load(), 3);
      pool.StopAndJoin();
    } catch (const std::runtime_error&) {
      EXPECT_TRUE(thrown);
    }
    EXPECT_EQ(stops.load(), 1) << thrown;
    EXPECT_EQ(ended.load(), 3) << thrown;
  }
  int stops = 0;
  { TWorkerPool idle([&] { ++stops; }); }
  EXPECT_EQ(stops, 0);
}

}  // namespace
}  // namespace kx8
