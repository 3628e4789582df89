// The multimedia timer of the Linux layer: a millisecond count of the monotonic clock.
#include <ctime>

#include "platform/platform.h"

DWORD WINAPI timeGetTime() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Truncated to 32 bits, it wraps like the Windows clock.
  const unsigned long long milliseconds = static_cast<unsigned long long>(now.tv_sec) * 1000ull +
                                          static_cast<unsigned long long>(now.tv_nsec) / 1000000ull;
  return static_cast<DWORD>(milliseconds);
}

// The monotonic clock already resolves far below a millisecond.
MMRESULT WINAPI timeBeginPeriod(UINT /*period*/) {
  return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT /*period*/) {
  return TIMERR_NOERROR;
}
