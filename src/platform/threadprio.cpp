#include "platform/threadprio.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace plat {

ThreadPriority RaiseThreadPriority(bool realtime) {
  if (realtime) {
    sched_param sp{};
    sp.sched_priority = sched_get_priority_max(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &sp) == 0) return THREAD_REALTIME;
    sp.sched_priority = sched_get_priority_max(SCHED_RR);
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &sp) == 0) return THREAD_REALTIME;
  }
  // The highest normal priority this process may take (nice applies per
  // thread on Linux).
  pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  for (int nice = -20; nice < 0; nice++)
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0) return THREAD_RAISED;
  return THREAD_NORMAL;
}

}  // namespace plat
