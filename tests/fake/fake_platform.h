// A scriptable stand-in for the platform, linked into the unit tests in place of the Linux
// layer. Kernel, timer, GDI and WGL calls are faked; the window calls run the Linux layer's
// real window manager after the fake has decided whether to refuse them. Every call is logged
// in order with its arguments and with how much standard output had been written by then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// The calls that can fail, each of which a test can refuse.
enum class FakeFallible {
  kGlobalAlloc,
  kSetProcessAffinityMask,
  kRegisterClassA,
  kCreateWindowExA,
  kGetMessageA,
  kGetDC,
  kChoosePixelFormat,
  kSetPixelFormat,
  kWglCreateContext,
  kWglMakeCurrent,
  kWglGetProcAddress,
  kWglAllocateMemoryNV,
  kCount
};

struct FakeLogEntry {
  std::string call;  // e.g. "Sleep(250)", "GlobalAlloc(0, 4194432)"
  long outputBytes;  // bytes on standard output when the call was made (-1: unknown)
};

struct FakeSettings {
  // Refuse every call of a kind.
  bool refuse[static_cast<int>(FakeFallible::kCount)] = {};
  // Refuse only the n-th fallible call of the whole run (1-based; 0: none), whatever its kind.
  int refuseNthFallible = 0;
  // Readings that timeGetTime hands out in order; once empty it keeps returning the last one.
  std::deque<uint32_t> clock;
  // Called on each timeGetTime, before the reading is returned.
  std::function<void()> onClockRead;
  // GlobalAlloc returns an address this many bytes past a 4096-byte boundary.
  std::size_t allocationOffset = 16;
  // Byte that fresh GlobalAlloc and wglAllocateMemoryNV memory is filled with.
  unsigned char freshMemoryByte = 0xA5;
  // Whether wglGetProcAddress offers each allocator entry point.
  bool offerAllocateMemoryNV = true;
  bool offerFreeMemoryNV = true;
};

// What the fake has handed out and taken back.
struct FakeCounts {
  int fallibleCalls = 0;
  int globalAllocs = 0, globalFrees = 0;
  int contextsCreated = 0, contextsDeleted = 0;
  int classesRegistered = 0, windowsCreated = 0;
  int nvAllocations = 0, nvFrees = 0;
  int timerPeriodsBegun = 0, timerPeriodsEnded = 0;
};

// Resets settings, counts, log, current context and the window manager.
void FakeReset();
FakeSettings& FakeGetSettings();
const FakeCounts& FakeGetCounts();
const std::vector<FakeLogEntry>& FakeGetLog();
// The log's call texts alone, in order.
std::vector<std::string> FakeGetCalls();
// The context that wglMakeCurrent left current (null if none).
void* FakeGetCurrentContext();
// Address and size of the last memory that GlobalAlloc / wglAllocateMemoryNV handed out.
void* FakeGetLastAllocation(std::size_t* bytes);
