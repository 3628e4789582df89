#include <cstdint>
#include <cstdio>

#include "bench/bench.h"
#include "bench/write_speed.h"
#include "platform/platform.h"

namespace {

constexpr uintptr_t kArrayAlignment = 128;
// Room to slide the array up to the next 128-byte boundary.
constexpr SIZE_T kBlockBytes = kArrayBytes + kArrayAlignment;

uint32_t* AlignArray(void* block) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(block);
  return reinterpret_cast<uint32_t*>((address + kArrayAlignment - 1) & ~(kArrayAlignment - 1));
}

}  // namespace

void RunSysMemBenchmark() {
  printf("Allocating system memory array...");
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, kBlockBytes);
  if (block == nullptr) {
    printf("ERROR\n");
    return;
  }
  printf("OK\n");

  MeasureWriteSpeed(AlignArray(block), "Running system memory benchmark...",
                    "System memory set speed:  %u MB/s\n");
  GlobalFree(block);
}
