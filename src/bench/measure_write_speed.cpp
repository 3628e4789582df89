#include <cstdio>

#include "bench/write_speed.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kFillValue = 0;
constexpr int kPasses = 1000;
constexpr DWORD kSettleMilliseconds = 250;
// 1000 passes of 4 MiB, in MB of 1,048,576 bytes.
constexpr double kMegabytesWritten = 4000.0;
// Held in single precision on purpose: it is slightly above 1/1000, so an elapsed time that
// divides 4,000,000 reports one less than the exact quotient, as Brevonix always has.
constexpr float kSecondsPerMillisecond = 0.001f;

}  // namespace

uint32_t ComputeWriteSpeed(uint32_t elapsedMilliseconds) {
  const double seconds =
      static_cast<double>(elapsedMilliseconds) * static_cast<double>(kSecondsPerMillisecond);
  return static_cast<uint32_t>(kMegabytesWritten / seconds);
}

void MeasureWriteSpeed(uint32_t* words, const char* announcement, const char* resultFormat) {
  printf("%s", announcement);
  Sleep(kSettleMilliseconds);

  // Nothing but the fills may happen between the two clock readings.
  const DWORD start = timeGetTime();
  for (int pass = 0; pass < kPasses; ++pass) {
    FillWords(words, kFillValue, kArrayWords);
  }
  const DWORD end = timeGetTime();

  printf("Done\n");
  // Unsigned subtraction survives one wrap of the 32-bit clock.
  const uint32_t elapsed = static_cast<uint32_t>(end - start);
  if (elapsed == 0) {
    printf("ERROR:  Zero milliseconds elapsed time reported.\n");
    return;
  }
  printf(resultFormat, static_cast<unsigned>(ComputeWriteSpeed(elapsed)));
}
