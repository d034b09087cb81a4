// Raising the calling thread's priority for the threads that keep sound
// flowing: the audio thread, the wave device's own thread and the fake
// device's clock.
#pragma once

namespace plat {

enum ThreadPriority { THREAD_REALTIME, THREAD_RAISED, THREAD_NORMAL };

// With `realtime`, FIFO (else round-robin) scheduling at the top priority
// where the system permits it; otherwise, or when refused, the lowest nice
// value the process may take. Returns what the thread got. The calling
// thread only.
ThreadPriority RaiseThreadPriority(bool realtime);

}  // namespace plat
