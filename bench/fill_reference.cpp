// The reference loops, each measured the way Brevonix measures SysMem on Linux, for
// scripts/side-by-side.py: a fresh 4 MiB array from mmap with MAP_POPULATE, aligned to 128 bytes
// exactly as GlobalAlloc + AlignArray place it, a 250 ms settle, then 1000 passes timed with a
// millisecond clock (CLOCK_MONOTONIC, as the Linux timeGetTime) and Brevonix's own MB/s formula.
// FillWords itself is among the loops, so harness and loop differences can be told apart.
//
// Usage: fill_reference [--settle MS] [LOOP...]   (no LOOP: all of them)
// Prints one line per loop: "<name>: <N> MB/s" (or "<name>: ERROR ...").
#include <sys/mman.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "bench/write_speed.h"
#include "reference_loops.h"

namespace {

constexpr int kPasses = 1000;
constexpr uint32_t kFillValue = 0;
constexpr uintptr_t kArrayAlignment = 128;
constexpr size_t kBlockHeaderBytes = 16;          // the Linux GlobalAlloc's header
constexpr float kSecondsPerMillisecond = 0.001f;  // as measure_write_speed.cpp

const NamedStoreLoop kLoops[] = {
    {"FillWords", FillWords, true},     {"Store32x1", StoreLoop32x1, true},
    {"Store32x2", StoreLoop32x2, true}, {"Store32x4", StoreLoop32x4, true},
    {"Store64", StoreLoop64, false},    {"Memset", MemsetLoop, false},
};

uint32_t Milliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(static_cast<unsigned long long>(now.tv_sec) * 1000ull +
                               static_cast<unsigned long long>(now.tv_nsec) / 1000000ull);
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec remaining = {static_cast<time_t>(milliseconds / 1000),
                        static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

uint32_t ComputeSpeed(uint32_t elapsedMilliseconds) {
  const double seconds =
      static_cast<double>(elapsedMilliseconds) * static_cast<double>(kSecondsPerMillisecond);
  return static_cast<uint32_t>(4000.0 / seconds);
}

bool Measure(const NamedStoreLoop& named, unsigned settleMilliseconds) {
  // GlobalAlloc(GMEM_FIXED, kArrayBytes + 128) on Linux, then AlignArray.
  const size_t length = kArrayBytes + kArrayAlignment + kBlockHeaderBytes;
  void* mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (mapping == MAP_FAILED) {
    printf("%s: ERROR mmap failed\n", named.name);
    return false;
  }
  const uintptr_t block = reinterpret_cast<uintptr_t>(mapping) + kBlockHeaderBytes;
  auto* words = reinterpret_cast<uint32_t*>((block + kArrayAlignment - 1) & ~(kArrayAlignment - 1));

  SleepMilliseconds(settleMilliseconds);
  const uint32_t start = Milliseconds();
  for (int pass = 0; pass < kPasses; ++pass) {
    named.loop(words, kFillValue, kArrayWords);
  }
  const uint32_t end = Milliseconds();

  bool ok = true;
  const uint32_t elapsed = end - start;
  if (words[0] != kFillValue || words[kArrayWords - 1] != kFillValue) {
    printf("%s: ERROR the array was not filled\n", named.name);
    ok = false;
  } else if (elapsed == 0) {
    printf("%s: ERROR zero milliseconds elapsed\n", named.name);
    ok = false;
  } else {
    printf("%s: %u MB/s\n", named.name, static_cast<unsigned>(ComputeSpeed(elapsed)));
  }
  fflush(stdout);
  munmap(mapping, length);
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
