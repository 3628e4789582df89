// Kernel services of the Linux layer: memory, sleeping, CPU affinity and the module handle.
#include <sched.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "platform/platform.h"

namespace {

// Each block starts with its own mapping length, so GlobalFree can unmap it; 16 bytes keep the
// caller's address as aligned as the allocator of a 64-bit Windows gives.
constexpr SIZE_T kBlockHeaderBytes = 16;

// Any value other than null serves: GetCurrentProcess only has to name "this process".
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT /*flags*/, SIZE_T bytes) {
  if (bytes > SIZE_MAX - kBlockHeaderBytes) {
    return nullptr;
  }
  const SIZE_T length = bytes + kBlockHeaderBytes;
  // MAP_POPULATE commits every page now, as driver memory already is, so the first timed pass
  // does not pay for first-touch page faults.
  void* mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (mapping == MAP_FAILED) {
    return nullptr;
  }
  *static_cast<SIZE_T*>(mapping) = length;
  return static_cast<char*>(mapping) + kBlockHeaderBytes;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL block) {
  if (block == nullptr) {
    return nullptr;
  }
  void* mapping = static_cast<char*>(block) - kBlockHeaderBytes;
  if (munmap(mapping, *static_cast<SIZE_T*>(mapping)) != 0) {
    return block;  // Windows hands back the block when it cannot free it.
  }
  return nullptr;
}

void WINAPI Sleep(DWORD milliseconds) {
  timespec remaining = {static_cast<time_t>(milliseconds / 1000),
                        static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal cuts nanosleep short; carry on with what is left.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

HANDLE WINAPI GetCurrentProcess() {
  return kCurrentProcess;
}

BOOL WINAPI SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
  if (process != kCurrentProcess || mask == 0) {
    return FALSE;
  }
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  for (unsigned cpu = 0; cpu < sizeof(mask) * 8 && cpu < CPU_SETSIZE; ++cpu) {
    if ((mask >> cpu) & 1u) {
      CPU_SET(cpu, &cpus);
    }
  }
  return sched_setaffinity(0, sizeof(cpus), &cpus) == 0 ? TRUE : FALSE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR /*moduleName*/) {
  // One module: the program. Any stable non-null value names it.
  static char module;
  return reinterpret_cast<HMODULE>(&module);
}
