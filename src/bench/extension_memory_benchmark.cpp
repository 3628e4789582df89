// AGP and video memory: both come from the OpenGL driver's vertex-array-range allocator,
// which is looked up and called while the host window's rendering context is current.
#include <cstdint>
#include <cstdio>

#include "bench/bench.h"
#include "bench/write_speed.h"
#include "glhost/glhost.h"
#include "platform/platform.h"

namespace {

// The allocator's published prototypes.
typedef void*(APIENTRY* AllocateMemoryNV)(int size, float readFrequency, float writeFrequency,
                                          float priority);
typedef void(APIENTRY* FreeMemoryNV)(void* pointer);

struct ExtensionMemoryKind {
  const char* allocationMessage;
  float priority;
  const char* announcement;
  const char* resultFormat;
};

constexpr ExtensionMemoryKind kAGPMemory = {"Allocating AGP memory array...", 0.5f,
                                            "Running AGP memory benchmark...",
                                            "AGP Memory set speed:  %u MB/s\n"};
constexpr ExtensionMemoryKind kVideoMemory = {"Allocating video memory array...", 1.0f,
                                              "Running video memory benchmark...",
                                              "Video memory set speed:  %u MB/s\n"};

// wglGetProcAddress hands out a generic function pointer; the caller knows the real type.
template <typename Function>
Function GetExtensionProc(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

void RunExtensionMemoryBenchmark(const ExtensionMemoryKind& kind) {
  printf("Getting wglAllocateMemoryNV proc address...");
  const AllocateMemoryNV allocate = GetExtensionProc<AllocateMemoryNV>("wglAllocateMemoryNV");
  if (allocate == nullptr) {
    printf("ERROR\n");
    return;
  }
  printf("OK\n");

  printf("Getting wglFreeMemoryNV proc address...");
  const FreeMemoryNV release = GetExtensionProc<FreeMemoryNV>("wglFreeMemoryNV");
  if (release == nullptr) {
    printf("ERROR\n");
    return;
  }
  printf("OK\n");

  printf("%s", kind.allocationMessage);
  void* memory = allocate(static_cast<int>(kArrayBytes), 0.0f, 0.0f, kind.priority);
  if (memory == nullptr) {
    printf("ERROR\n");
    return;
  }
  printf("OK\n");

  MeasureWriteSpeed(static_cast<uint32_t*>(memory), kind.announcement, kind.resultFormat);
  release(memory);
}

void LaunchInGLWindow(BenchmarkRoutine routine) {
  GLHostRecord record = {routine, nullptr, nullptr};
  RunInGLWindow(&record);
}

}  // namespace

void RunAGPMemBenchmark() {
  RunExtensionMemoryBenchmark(kAGPMemory);
}

void RunVidMemBenchmark() {
  RunExtensionMemoryBenchmark(kVideoMemory);
}

void LaunchAGPMemBenchmark() {
  LaunchInGLWindow(RunAGPMemBenchmark);
}

void LaunchVidMemBenchmark() {
  LaunchInGLWindow(RunVidMemBenchmark);
}
