#pragma once

#include <cstdint>
#include <thread>

namespace ticktavo {

// What the timing thread asks of the system, one implementation per platform
// (timing_thread_posix.cpp, timing_thread_win32.cpp).

// Raises the calling thread's scheduling so the beat stays steady under load: SCHED_FIFO on
// Linux, time-critical (else highest) thread priority on Windows. True when granted; without
// the privilege the thread keeps its normal scheduling and nothing is reported.
bool RaiseTimingThreadPriority();

// Processor time the thread has used, in nanoseconds; 0 when the system cannot tell.
std::int64_t ThreadCpuNanoseconds(std::thread& thread);

}  // namespace ticktavo
