#include <pthread.h>
#include <windows.h>

#include "engine/timing_thread.h"

namespace ticktavo {

bool RaiseTimingThreadPriority() {
  // Time-critical is the top of the process's priority class; some systems refuse it to an
  // ordinary user, and highest is the next best.
  const HANDLE self = GetCurrentThread();
  return SetThreadPriority(self, THREAD_PRIORITY_TIME_CRITICAL) != 0 ||
         SetThreadPriority(self, THREAD_PRIORITY_HIGHEST) != 0;
}

std::int64_t ThreadCpuNanoseconds(std::thread& thread) {
  // std::thread runs on winpthreads here; its handle is the Win32 thread's.
  const HANDLE handle = pthread_gethandle(thread.native_handle());
  FILETIME created{}, exited{}, kernel{}, user{};
  if (handle == nullptr || !GetThreadTimes(handle, &created, &exited, &kernel, &user)) return 0;
  auto hundreds = [](const FILETIME& t) {
    return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
  };
  return (hundreds(kernel) + hundreds(user)) * 100;
}

}  // namespace ticktavo
