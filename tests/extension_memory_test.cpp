// The AGP and video memory benchmarks through their launchers, on the fake driver.
#include <gtest/gtest.h>

#include <string>

#include "bench/bench.h"
#include "fake/fake_platform.h"
#include "platform/linux/window_manager.h"
#include "support/captured_stdout.h"

namespace {

struct MemoryKind {
  const char* name;
  BenchmarkRoutine launch;
  const char* allocation;   // the allocation message
  const char* measurement;  // announcement, Done and speed line for 1000 ms
  const char* allocateCall;
};

const MemoryKind kKinds[] = {
    {"AGP", LaunchAGPMemBenchmark, "Allocating AGP memory array...",
     "Running AGP memory benchmark...Done\nAGP Memory set speed:  3999 MB/s\n",
     "wglAllocateMemoryNV(4194304, 0, 0, 0.5)"},
    {"Video", LaunchVidMemBenchmark, "Allocating video memory array...",
     "Running video memory benchmark...Done\nVideo memory set speed:  3999 MB/s\n",
     "wglAllocateMemoryNV(4194304, 0, 0, 1)"},
};

const char kLookups[] =
    "Getting wglAllocateMemoryNV proc address...OK\n"
    "Getting wglFreeMemoryNV proc address...OK\n";

class ExtensionMemoryTest : public ::testing::TestWithParam<MemoryKind> {
 protected:
  void SetUp() override {
    FakeReset();
    FakeGetSettings().clock = {0, 1000};
  }

  std::string Launch() {
    CapturedStdout out;
    GetParam().launch();
    return out.Text();
  }

  void ExpectAllReleased() {
    EXPECT_EQ(FakeGetCounts().nvAllocations, FakeGetCounts().nvFrees);
    EXPECT_EQ(FakeGetCounts().contextsCreated, FakeGetCounts().contextsDeleted);
    EXPECT_EQ(FakeGetCurrentContext(), nullptr);
    EXPECT_EQ(WmCountWindows(), 0u);
    EXPECT_EQ(WmCountClasses(), 0u);
  }
};

TEST_P(ExtensionMemoryTest, FullRunMeasuresTheDriverMemoryAndReleasesIt) {
  const std::string out = Launch();
  EXPECT_EQ(out, std::string(kLookups) + GetParam().allocation + "OK\n" + GetParam().measurement);
  const std::vector<std::string> calls = FakeGetCalls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), GetParam().allocateCall), calls.end());
  EXPECT_EQ(FakeGetCounts().nvAllocations, 1);
  ExpectAllReleased();
}

TEST_P(ExtensionMemoryTest, FillsTheMemoryAsReturned) {
  int readings = 0;
  FakeGetSettings().onClockRead = [&] {
    if (++readings != 2) {
      return;
    }
    std::size_t bytes = 0;
    const auto* memory = static_cast<const unsigned char*>(FakeGetLastAllocation(&bytes));
    ASSERT_EQ(bytes, 4194304u);
    for (std::size_t i = 0; i < bytes; ++i) {
      ASSERT_EQ(memory[i], 0) << i;
    }
  };
  Launch();
  EXPECT_EQ(readings, 2);
}

TEST_P(ExtensionMemoryTest, ZeroElapsedTimeStillReleasesTheMemory) {
  FakeGetSettings().clock = {9, 9};
  const std::string out = Launch();
  EXPECT_NE(out.find("Done\nERROR:  Zero milliseconds elapsed time reported.\n"),
            std::string::npos);
  EXPECT_EQ(FakeGetCounts().nvFrees, 1);
  ExpectAllReleased();
}

TEST_P(ExtensionMemoryTest, MissingAllocatorStopsAtTheFirstLookup) {
  FakeGetSettings().offerAllocateMemoryNV = false;
  EXPECT_EQ(Launch(), "Getting wglAllocateMemoryNV proc address...ERROR\n");
  ExpectAllReleased();
}

TEST_P(ExtensionMemoryTest, MissingReleaseStopsBeforeAnyAllocation) {
  FakeGetSettings().offerFreeMemoryNV = false;
  EXPECT_EQ(Launch(),
            "Getting wglAllocateMemoryNV proc address...OK\n"
            "Getting wglFreeMemoryNV proc address...ERROR\n");
  EXPECT_EQ(FakeGetCounts().nvAllocations, 0);
  const std::vector<std::string> calls = FakeGetCalls();
  EXPECT_EQ(std::find(calls.begin(), calls.end(), GetParam().allocateCall), calls.end());
  ExpectAllReleased();
}

TEST_P(ExtensionMemoryTest, RefusedAllocationMeasuresNothing) {
  FakeGetSettings().refuse[static_cast<int>(FakeFallible::kWglAllocateMemoryNV)] = true;
  EXPECT_EQ(Launch(), std::string(kLookups) + GetParam().allocation + "ERROR\n");
  const std::vector<std::string> calls = FakeGetCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "timeGetTime()"), 0);
  ExpectAllReleased();
}

INSTANTIATE_TEST_SUITE_P(Kinds, ExtensionMemoryTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<MemoryKind>& info) {
                           return std::string(info.param.name);
                         });

TEST(ExtensionMemory, AGPThenVideoAreTwoSeparateHostRuns) {
  FakeReset();
  FakeGetSettings().clock = {0, 1000, 0, 1000};
  CapturedStdout out;
  LaunchAGPMemBenchmark();
  LaunchVidMemBenchmark();
  EXPECT_EQ(out.Text(), std::string(kLookups) + "Allocating AGP memory array...OK\n" +
                            kKinds[0].measurement + kLookups +
                            "Allocating video memory array...OK\n" + kKinds[1].measurement);
  EXPECT_EQ(FakeGetCounts().windowsCreated, 2);
  EXPECT_EQ(FakeGetCounts().contextsCreated, 2);
  EXPECT_EQ(FakeGetCounts().contextsDeleted, 2);
  EXPECT_EQ(FakeGetCounts().nvFrees, 2);
  const std::vector<std::string> calls = FakeGetCalls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "wglGetProcAddress(wglAllocateMemoryNV)"), 2);
}

}  // namespace
