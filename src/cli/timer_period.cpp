#include "cli/cli.h"
#include "platform/platform.h"

namespace {

constexpr UINT kTimerResolutionMilliseconds = 1;

}  // namespace

// The results are ignored: a coarser clock still measures, only less finely.
void BeginTimerPeriod() {
  timeBeginPeriod(kTimerResolutionMilliseconds);
}

void EndTimerPeriod() {
  timeEndPeriod(kTimerResolutionMilliseconds);
}
