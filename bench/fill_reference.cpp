// The reference loops, each measured the way Brevonix measures SysMem, for
// scripts/side-by-side.py: an array from the platform's GlobalAlloc, aligned to 128 bytes, a
// 250 ms settle, then 1000 passes timed with timeGetTime and Brevonix's own MB/s formula.
// FillWords itself is among the loops, so harness and loop differences can be told apart.
//
// Usage: fill_reference [--settle MS] [LOOP...]   (no LOOP: all of them)
// Prints one line per loop: "<name>: <N> MB/s" (or "<name>: ERROR ...").
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/write_speed.h"
#include "platform/platform.h"
#include "reference_loops.h"

namespace {

constexpr int kPasses = 1000;
constexpr uint32_t kFillValue = 0;
constexpr uintptr_t kArrayAlignment = 128;

const NamedStoreLoop kLoops[] = {
    {"FillWords", FillWords, true},     {"Store32x1", StoreLoop32x1, true},
    {"Store32x2", StoreLoop32x2, true}, {"Store32x4", StoreLoop32x4, true},
    {"Store64", StoreLoop64, false},    {"Memset", MemsetLoop, false},
};

bool Measure(const NamedStoreLoop& named, unsigned settleMilliseconds) {
  // As the system memory benchmark places its array.
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, kArrayBytes + kArrayAlignment);
  if (block == nullptr) {
    printf("%s: ERROR GlobalAlloc failed\n", named.name);
    return false;
  }
  const uintptr_t address = reinterpret_cast<uintptr_t>(block);
  auto* words =
      reinterpret_cast<uint32_t*>((address + kArrayAlignment - 1) & ~(kArrayAlignment - 1));

  Sleep(settleMilliseconds);
  const DWORD start = timeGetTime();
  for (int pass = 0; pass < kPasses; ++pass) {
    named.loop(words, kFillValue, kArrayWords);
  }
  const DWORD end = timeGetTime();

  bool ok = true;
  const uint32_t elapsed = end - start;
  if (words[0] != kFillValue || words[kArrayWords - 1] != kFillValue) {
    printf("%s: ERROR the array was not filled\n", named.name);
    ok = false;
  } else if (elapsed == 0) {
    printf("%s: ERROR zero milliseconds elapsed\n", named.name);
    ok = false;
  } else {
    printf("%s: %u MB/s\n", named.name, static_cast<unsigned>(ComputeWriteSpeed(elapsed)));
  }
  fflush(stdout);
  GlobalFree(block);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned settle = 250;
  int first = 1;
  if (argc >= 3 && std::strcmp(argv[1], "--settle") == 0) {
    settle = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    first = 3;
  }
  bool ok = true;
  if (first >= argc) {
    for (const NamedStoreLoop& named : kLoops) {
      ok = Measure(named, settle) && ok;
    }
    return ok ? 0 : 1;
  }
  for (int index = first; index < argc; ++index) {
    const NamedStoreLoop* found = nullptr;
    for (const NamedStoreLoop& named : kLoops) {
      if (std::strcmp(named.name, argv[index]) == 0) {
        found = &named;
      }
    }
    if (found == nullptr) {
      fprintf(stderr, "fill_reference: unknown loop '%s'\n", argv[index]);
      return 2;
    }
    ok = Measure(*found, settle) && ok;
  }
  return ok ? 0 : 1;
}
