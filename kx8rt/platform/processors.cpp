#include "kx8rt/platform/processors.h"

#include <sched.h>

#include <exception>
#include <memory>
#include <system_error>
#include <utility>

namespace kx8 {

int CurrentProcessor() { return sched_getcpu(); }

int ProcessorBesides(int avoid, int index) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
  int others = 0;
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &allowed) && c != avoid) ++others;
  if (others == 0) return -1;
  int wanted = (index % others + others) % others;
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &allowed) && c != avoid && wanted-- == 0) return c;
  return -1;
}

namespace {

struct TStart {
  std::function<void()> body;
  cpu_set_t free;  // where the thread may run once it has begun
  bool widen = false;
};

void* RunStarted(void* p) {
  const std::unique_ptr<TStart> start(static_cast<TStart*>(p));
  if (start->widen) sched_setaffinity(0, sizeof start->free, &start->free);
  try {
    start->body();
  } catch (...) {
    std::terminate();  // as for any thread whose body lets an exception out
  }
  return nullptr;
}

}  // namespace

TWorkerThread::TWorkerThread(int processor, std::function<void()> body) {
  auto start = std::make_unique<TStart>();
  start->body = std::move(body);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  CPU_ZERO(&start->free);
  if (processor >= 0 && processor < CPU_SETSIZE && sched_getaffinity(0, sizeof start->free, &start->free) == 0 &&
      CPU_ISSET(processor, &start->free)) {
    // Set before the thread can run, so that it is queued on that processor from the start.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(processor, &one);
    start->widen = pthread_attr_setaffinity_np(&attr, sizeof one, &one) == 0;
  }
  const int rc = pthread_create(&fThread, &attr, RunStarted, start.get());
  pthread_attr_destroy(&attr);
  if (rc != 0) throw std::system_error(rc, std::generic_category(), "cannot start a thread");
  start.release();  // the thread's now
  fJoinable = true;
}

TWorkerThread::~TWorkerThread() { Join(); }

void TWorkerThread::Join() {
  if (!fJoinable) return;
  pthread_join(fThread, nullptr);
  fJoinable = false;
}

}  // namespace kx8
