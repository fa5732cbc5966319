// What the benchmarks share to time their work: the CPU time of the thread
// that runs it, unmoved by whatever else the machine is doing.
#pragma once

#include <ctime>

namespace bench {

// CPU time of this thread, in seconds.
inline double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace bench
