// Which processor a thread runs on, and where a new worker thread begins.
#pragma once

namespace kx8 {

// The processor the calling thread runs on now, or -1 where the system does not tell.
int CurrentProcessor();

// Moves the calling thread onto one of the processors it may run on other than `avoid`: the index-th of
// them (modulo their number), so that workers given 0, 1, 2... spread out. The thread may run anywhere
// it could before once it is there. Returns the processor, or -1 (nothing moved) when there is no
// other. A worker started by a busy thread can otherwise wait in that thread's queue for milliseconds
// while another processor idles: the system moves a thread only once it has gone cold in the cache.
int MoveToProcessorBesides(int avoid, int index);

}  // namespace kx8
