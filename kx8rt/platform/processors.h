// Which processor a thread runs on, and threads that begin on a processor of the caller's choosing.
#pragma once

#include <pthread.h>

#include <functional>

namespace kx8 {

// The processor the calling thread runs on now, or -1 where the system does not tell.
int CurrentProcessor();

// One of the processors the calling thread may run on other than `avoid`: the index-th of them (modulo
// their number), so that threads given 0, 1, 2... spread out. -1 when there is no other.
int ProcessorBesides(int avoid, int index);

// A thread that begins on `processor` (where the caller may run there; anywhere when it is -1) and may
// then run wherever its starter may. Started the usual way by a busy thread, a worker waits in that
// thread's queue for milliseconds while another processor idles: the system moves a thread only once it
// has gone cold in the cache. Joined when destroyed; raises std::system_error when it cannot start.
class TWorkerThread {
 public:
  TWorkerThread(int processor, std::function<void()> body);
  ~TWorkerThread();
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;
  // Waits for the body to return (once; later calls return at once).
  void Join();

 private:
  pthread_t fThread{};
  bool fJoinable = false;
};

}  // namespace kx8
