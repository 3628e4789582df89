// Google Benchmark: the project's FillWords over the 4 MiB array, beside reference store loops
// over the same array. Each reports bytes per second (SetBytesProcessed, 1024-based on the
// console) and a counter "MB/s" in MB of 1,048,576 bytes, the unit Brevonix prints. The console
// reporter scales every counter, so "MB/s=17.342k/s" there means 17,342 MB/s; JSON and CSV
// output (--benchmark_format=json) carry the plain number.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/write_speed.h"
#include "reference_loops.h"

namespace {

constexpr uintptr_t kArrayAlignment = 128;  // as the SysMem benchmark aligns its array
constexpr uint32_t kFillValue = 0;          // as Brevonix fills
constexpr double kBytesPerMB = 1048576.0;

// One 4 MiB array, aligned as Brevonix aligns it and written once before any timing, so no
// benchmark pays for first-touch page faults.
uint32_t* Array() {
  static std::vector<unsigned char> block(kArrayBytes + kArrayAlignment);
  static uint32_t* const words = [] {
    const uintptr_t address = reinterpret_cast<uintptr_t>(block.data());
    auto* aligned =
        reinterpret_cast<uint32_t*>((address + kArrayAlignment - 1) & ~(kArrayAlignment - 1));
    std::memset(aligned, 0xA5, kArrayBytes);
    return aligned;
  }();
  return words;
}

void RunFill(benchmark::State& state, StoreLoop loop) {
  uint32_t* const words = Array();
  for (auto _ : state) {
    loop(words, kFillValue, kArrayWords);
    // The array escapes and memory counts as read after every pass, so no pass can be dropped
    // or merged with the next, whatever the loop is.
    benchmark::DoNotOptimize(words);
    benchmark::ClobberMemory();
  }
  const auto bytes = static_cast<int64_t>(state.iterations()) * kArrayBytes;
  state.SetBytesProcessed(bytes);
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / kBytesPerMB, benchmark::Counter::kIsRate);
  if (words[0] != kFillValue || words[kArrayWords - 1] != kFillValue) {
    state.SkipWithError("the array was not filled");
  }
}

// Passes take about 0.1-0.3 ms; half a second each keeps the whole program at a few seconds.
// Real time, as Brevonix measures with a wall clock.
#define FILL_BENCHMARK(name, loop) \
  BENCHMARK_CAPTURE(RunFill, name, loop)->MinTime(0.5)->UseRealTime()->Unit(benchmark::kMicrosecond)

FILL_BENCHMARK(FillWords, FillWords);
FILL_BENCHMARK(Store32x1, StoreLoop32x1);
FILL_BENCHMARK(Store32x2, StoreLoop32x2);
FILL_BENCHMARK(Store32x4, StoreLoop32x4);
FILL_BENCHMARK(Store64, StoreLoop64);
FILL_BENCHMARK(Memset, MemsetLoop);

}  // namespace

BENCHMARK_MAIN();
