// Shared by the fake's call files: its state, the log and the refusal decision.
#pragma once

#include <map>
#include <set>

#include "fake/fake_platform.h"

struct FakeState {
  FakeSettings settings;
  FakeCounts counts;
  std::vector<FakeLogEntry> log;
  void* currentContext = nullptr;
  int nextContext = 1;
  std::set<void*> liveContexts;
  std::map<void*, void*> nvMemory;      // handed-out extension memory -> underlying malloc
  std::map<void*, void*> globalBlocks;  // handed-out GlobalAlloc block -> underlying malloc
  void* lastAllocation = nullptr;
  std::size_t lastAllocationBytes = 0;
};

FakeState& FakeStateRef();

// Appends a printf-formatted call text to the log.
void FakeLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Counts one fallible call and says whether the test wants it refused.
bool FakeRefuses(FakeFallible call);
