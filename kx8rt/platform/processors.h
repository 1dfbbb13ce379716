// Which processor a thread runs on, and threads that begin on a processor of the caller's choosing.
#pragma once

#include <pthread.h>

#include <functional>
#include <memory>
#include <vector>

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

// Worker threads started together and ended together: StopAndJoin (also run when the pool goes, however
// its owner leaves, a caller's event having thrown say) tells them to stop, with the `stop` given, and
// waits for them.
class TWorkerPool {
 public:
  explicit TWorkerPool(std::function<void()> stop = {}) : fStop(std::move(stop)) {}
  ~TWorkerPool() { StopAndJoin(); }
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;
  // Starts a worker on `processor` (see TWorkerThread).
  void Start(int processor, std::function<void()> body) {
    fThreads.push_back(std::make_unique<TWorkerThread>(processor, std::move(body)));
  }
  // Runs stop (once the workers are running) and joins them; nothing when none is left to join.
  void StopAndJoin() {
    if (fThreads.empty()) return;
    if (fStop) fStop();
    fThreads.clear();  // each joins as it goes
  }

 private:
  std::function<void()> fStop;
  std::vector<std::unique_ptr<TWorkerThread>> fThreads;
};

}  // namespace kx8
