// Kernel and timer calls of the fake: real memory, a scripted clock, no real sleeping or
// pinning.
#include <cstdlib>
#include <cstring>

#include "fake/fake_internal.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kPageBytes = 4096;

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
  FakeLog("GlobalAlloc(%u, %zu)", flags, bytes);
  FakeState& state = FakeStateRef();
  if (FakeRefuses(FakeFallible::kGlobalAlloc)) {
    return nullptr;
  }
  const std::size_t offset = state.settings.allocationOffset % kPageBytes;
  void* base = aligned_alloc(kPageBytes, ((bytes + offset) / kPageBytes + 1) * kPageBytes);
  if (base == nullptr) {
    return nullptr;
  }
  char* block = static_cast<char*>(base) + offset;
  memset(block, state.settings.freshMemoryByte, bytes);
  state.globalBlocks[block] = base;
  state.lastAllocation = block;
  state.lastAllocationBytes = bytes;
  ++state.counts.globalAllocs;
  return block;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL block) {
  FakeLog("GlobalFree(%p)", block);
  FakeState& state = FakeStateRef();
  const auto found = state.globalBlocks.find(block);
  if (found == state.globalBlocks.end()) {
    return block;
  }
  free(found->second);
  state.globalBlocks.erase(found);
  ++state.counts.globalFrees;
  return nullptr;
}

void WINAPI Sleep(DWORD milliseconds) {
  FakeLog("Sleep(%u)", milliseconds);
}

HANDLE WINAPI GetCurrentProcess() {
  FakeLog("GetCurrentProcess()");
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

BOOL WINAPI SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
  FakeLog("SetProcessAffinityMask(%p, 0x%llx)", process, static_cast<unsigned long long>(mask));
  return FakeRefuses(FakeFallible::kSetProcessAffinityMask) ? FALSE : TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  FakeLog("GetModuleHandleA(%s)", moduleName == nullptr ? "null" : moduleName);
  static char module;
  return reinterpret_cast<HMODULE>(&module);
}

DWORD WINAPI timeGetTime() {
  FakeLog("timeGetTime()");
  FakeState& state = FakeStateRef();
  if (state.settings.onClockRead) {
    state.settings.onClockRead();
  }
  auto& clock = state.settings.clock;
  if (clock.empty()) {
    return 0;
  }
  const DWORD reading = clock.front();
  if (clock.size() > 1) {
    clock.pop_front();
  }
  return reading;
}

MMRESULT WINAPI timeBeginPeriod(UINT period) {
  FakeLog("timeBeginPeriod(%u)", period);
  ++FakeStateRef().counts.timerPeriodsBegun;
  return TIMERR_NOERROR;
}

MMRESULT WINAPI timeEndPeriod(UINT period) {
  FakeLog("timeEndPeriod(%u)", period);
  ++FakeStateRef().counts.timerPeriodsEnded;
  return TIMERR_NOERROR;
}
