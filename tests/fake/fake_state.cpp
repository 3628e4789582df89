#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "fake/fake_internal.h"
#include "platform/linux/window_manager.h"

FakeState& FakeStateRef() {
  static FakeState state;
  return state;
}

namespace {

// How much the program has written to standard output so far; meaningful when a test has
// redirected it to a file.
long OutputBytesSoFar() {
  fflush(stdout);
  struct stat status;
  if (fstat(STDOUT_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) {
    return -1;
  }
  return static_cast<long>(status.st_size);
}

}  // namespace

void FakeLog(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  FakeStateRef().log.push_back({text, OutputBytesSoFar()});
}

bool FakeRefuses(FakeFallible call) {
  FakeState& state = FakeStateRef();
  const int number = ++state.counts.fallibleCalls;
  return state.settings.refuse[static_cast<int>(call)] ||
         number == state.settings.refuseNthFallible;
}

void FakeReset() {
  FakeState& state = FakeStateRef();
  for (const auto& block : state.globalBlocks) {
    free(block.second);
  }
  for (const auto& memory : state.nvMemory) {
    free(memory.second);
  }
  state = FakeState();
  WmReset();
}

FakeSettings& FakeGetSettings() {
  return FakeStateRef().settings;
}

const FakeCounts& FakeGetCounts() {
  return FakeStateRef().counts;
}

const std::vector<FakeLogEntry>& FakeGetLog() {
  return FakeStateRef().log;
}

std::vector<std::string> FakeGetCalls() {
  std::vector<std::string> calls;
  for (const FakeLogEntry& entry : FakeStateRef().log) {
    calls.push_back(entry.call);
  }
  return calls;
}

void* FakeGetCurrentContext() {
  return FakeStateRef().currentContext;
}

void* FakeGetLastAllocation(std::size_t* bytes) {
  if (bytes != nullptr) {
    *bytes = FakeStateRef().lastAllocationBytes;
  }
  return FakeStateRef().lastAllocation;
}
