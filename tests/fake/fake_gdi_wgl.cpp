// GDI and WGL calls of the fake: a driver that offers one pixel format, hands out numbered
// contexts and backs the vertex-array-range allocator with ordinary memory.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

#include "fake/fake_internal.h"
#include "platform/linux/window_manager.h"

namespace {

constexpr std::size_t kMemoryAlignment = 4096;
// The allocator promises only 32-bit alignment; handing out exactly that catches a caller that
// quietly realigns what it was given.
constexpr std::size_t kMemoryOffset = 4;

std::set<void*>& LiveContexts() {
  return FakeStateRef().liveContexts;
}

void* APIENTRY FakeAllocateMemoryNV(int size, float readFrequency, float writeFrequency,
                                    float priority) {
  FakeLog("wglAllocateMemoryNV(%d, %g, %g, %g)", size, static_cast<double>(readFrequency),
          static_cast<double>(writeFrequency), static_cast<double>(priority));
  FakeState& state = FakeStateRef();
  if (FakeRefuses(FakeFallible::kWglAllocateMemoryNV) || size <= 0 ||
      state.currentContext == nullptr) {
    return nullptr;
  }
  const std::size_t bytes = static_cast<std::size_t>(size);
  void* base = aligned_alloc(kMemoryAlignment, (bytes + kMemoryOffset + kMemoryAlignment - 1) /
                                                   kMemoryAlignment * kMemoryAlignment);
  if (base == nullptr) {
    return nullptr;
  }
  void* memory = static_cast<char*>(base) + kMemoryOffset;
  memset(memory, state.settings.freshMemoryByte, bytes);
  state.nvMemory[memory] = base;
  state.lastAllocation = memory;
  state.lastAllocationBytes = bytes;
  ++state.counts.nvAllocations;
  return memory;
}

void APIENTRY FakeFreeMemoryNV(void* pointer) {
  FakeLog("wglFreeMemoryNV(%p)", pointer);
  FakeState& state = FakeStateRef();
  const auto found = state.nvMemory.find(pointer);
  if (found == state.nvMemory.end()) {
    return;
  }
  free(found->second);
  state.nvMemory.erase(found);
  ++state.counts.nvFrees;
}

template <typename Function>
PROC AsProc(Function function) {
  return reinterpret_cast<PROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* request) {
  // Every field but the named ones must be zero.
  PIXELFORMATDESCRIPTOR others = *request;
  others.nSize = others.nVersion = 0;
  others.dwFlags = 0;
  others.iPixelType = others.cColorBits = others.cDepthBits = others.iLayerType = 0;
  const PIXELFORMATDESCRIPTOR zero = {};
  FakeLog(
      "ChoosePixelFormat(size=%u, version=%u, flags=0x%x, type=%u, color=%u, depth=%u, "
      "layer=%u, others=%s)",
      request->nSize, request->nVersion, request->dwFlags, request->iPixelType, request->cColorBits,
      request->cDepthBits, request->iLayerType,
      memcmp(&others, &zero, sizeof others) == 0 ? "0" : "set");
  if (FakeRefuses(FakeFallible::kChoosePixelFormat) || !WmIsLiveDeviceContext(deviceContext)) {
    return 0;
  }
  return 1;
}

BOOL WINAPI SetPixelFormat(HDC deviceContext, int format,
                           const PIXELFORMATDESCRIPTOR* /*request*/) {
  FakeLog("SetPixelFormat(%d)", format);
  if (FakeRefuses(FakeFallible::kSetPixelFormat) || !WmIsLiveDeviceContext(deviceContext) ||
      format != 1) {
    return FALSE;
  }
  return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC deviceContext) {
  FakeLog("wglCreateContext()");
  FakeState& state = FakeStateRef();
  if (FakeRefuses(FakeFallible::kWglCreateContext) || !WmIsLiveDeviceContext(deviceContext)) {
    return nullptr;
  }
  void* context = reinterpret_cast<void*>(static_cast<uintptr_t>(state.nextContext++) * 16);
  LiveContexts().insert(context);
  ++state.counts.contextsCreated;
  return static_cast<HGLRC>(context);
}

BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC renderContext) {
  FakeLog("wglMakeCurrent(%s)", renderContext == nullptr ? "null" : "context");
  FakeState& state = FakeStateRef();
  if (renderContext == nullptr) {
    state.currentContext = nullptr;
    return TRUE;
  }
  if (FakeRefuses(FakeFallible::kWglMakeCurrent) || !WmIsLiveDeviceContext(deviceContext) ||
      LiveContexts().count(renderContext) == 0) {
    return FALSE;
  }
  state.currentContext = renderContext;
  return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC renderContext) {
  FakeLog("wglDeleteContext()");
  FakeState& state = FakeStateRef();
  if (LiveContexts().erase(renderContext) == 0) {
    return FALSE;
  }
  if (state.currentContext == renderContext) {
    state.currentContext = nullptr;
  }
  ++state.counts.contextsDeleted;
  return TRUE;
}

PROC WINAPI wglGetProcAddress(LPCSTR name) {
  FakeLog("wglGetProcAddress(%s)", name);
  const FakeSettings& settings = FakeStateRef().settings;
  if (FakeRefuses(FakeFallible::kWglGetProcAddress) || FakeStateRef().currentContext == nullptr) {
    return nullptr;
  }
  if (strcmp(name, "wglAllocateMemoryNV") == 0 && settings.offerAllocateMemoryNV) {
    return AsProc(FakeAllocateMemoryNV);
  }
  if (strcmp(name, "wglFreeMemoryNV") == 0 && settings.offerFreeMemoryNV) {
    return AsProc(FakeFreeMemoryNV);
  }
  return nullptr;
}
