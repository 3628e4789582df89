// Refuses each fallible platform call of a full "SysMem AGPMem VidMem -CPU 0" run in turn.
// Every run must finish with one of the known failure forms in place of one benchmark's normal
// output, keep the right exit status, and give back everything it acquired.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "cli/cli.h"
#include "fake/fake_platform.h"
#include "platform/linux/window_manager.h"
#include "support/captured_stdout.h"

namespace {

const char kPinned[] = "Setting process to only run on CPU 0.\n\n";
const char kLookups[] =
    "Getting wglAllocateMemoryNV proc address...OK\n"
    "Getting wglFreeMemoryNV proc address...OK\n";

struct Segment {
  std::string normal;
  std::vector<std::string> failures;
};

std::vector<std::string> HostFailures() {
  std::vector<std::string> failures = {"ERROR:  RegisterClass failed.\n",
                                       "ERROR:  CreateWindow failed.\n",
                                       "ERROR:  GetMessage failed.\n"};
  for (const char* call :
       {"GetDC", "ChoosePixelFormat", "SetPixelFormat", "wglCreateContext", "wglMakeCurrent"}) {
    failures.push_back(std::string("ERROR:  ") + call + " failed.\nERROR:  CreateWindow failed.\n");
  }
  return failures;
}

Segment ExtensionSegment(const std::string& allocation, const std::string& measurement) {
  Segment segment;
  segment.normal = kLookups + allocation + "OK\n" + measurement;
  segment.failures = HostFailures();
  segment.failures.push_back("Getting wglAllocateMemoryNV proc address...ERROR\n");
  segment.failures.push_back(
      "Getting wglAllocateMemoryNV proc address...OK\n"
      "Getting wglFreeMemoryNV proc address...ERROR\n");
  segment.failures.push_back(kLookups + allocation + "ERROR\n");
  // The loop may fail after the routine has run.
  segment.failures.push_back(segment.normal + "ERROR:  GetMessage failed.\n");
  return segment;
}

std::vector<Segment> Segments() {
  return {
      {"Allocating system memory array...OK\nRunning system memory benchmark...Done\n"
       "System memory set speed:  3999 MB/s\n",
       {"Allocating system memory array...ERROR\n"}},
      ExtensionSegment("Allocating AGP memory array...",
                       "Running AGP memory benchmark...Done\nAGP Memory set speed:  3999 MB/s\n"),
      ExtensionSegment(
          "Allocating video memory array...",
          "Running video memory benchmark...Done\nVideo memory set speed:  3999 MB/s\n"),
  };
}

// Every output that a run with at most one refused benchmark call may print.
std::set<std::string> AcceptableOutputs() {
  const std::vector<Segment> segments = Segments();
  std::set<std::string> outputs;
  for (std::size_t failing = 0; failing <= segments.size(); ++failing) {
    const std::size_t choices = failing < segments.size() ? segments[failing].failures.size() : 1;
    for (std::size_t choice = 0; choice < choices; ++choice) {
      std::string output = kPinned;
      for (std::size_t i = 0; i < segments.size(); ++i) {
        output += (i == failing ? segments[i].failures[choice] : segments[i].normal) + "\n";
      }
      outputs.insert(output);
    }
  }
  return outputs;
}

struct RunResult {
  std::string output;
  int status;
  int fallibleCalls;
};

RunResult RunAll(int refuseNth) {
  FakeReset();
  FakeGetSettings().refuseNthFallible = refuseNth;
  FakeGetSettings().clock = {0, 1000, 0, 1000, 0, 1000};
  const char* argv[] = {"Brevonix", "VidMem", "-CPU", "0", "AGPMem", "SysMem"};
  const BenchmarkRoutines routines = {RunSysMemBenchmark, LaunchAGPMemBenchmark,
                                      LaunchVidMemBenchmark};
  CapturedStdout out;
  const int status = RunCommandLine(6, argv, routines);
  return {out.Text(), status, FakeGetCounts().fallibleCalls};
}

void ExpectEverythingReleased(int k) {
  const FakeCounts& counts = FakeGetCounts();
  EXPECT_EQ(counts.globalAllocs, counts.globalFrees) << "k=" << k;
  EXPECT_EQ(counts.nvAllocations, counts.nvFrees) << "k=" << k;
  EXPECT_EQ(counts.contextsCreated, counts.contextsDeleted) << "k=" << k;
  EXPECT_EQ(counts.timerPeriodsBegun, counts.timerPeriodsEnded) << "k=" << k;
  EXPECT_EQ(FakeGetCurrentContext(), nullptr) << "k=" << k;
  EXPECT_EQ(WmCountWindows(), 0u) << "k=" << k;
  EXPECT_EQ(WmCountClasses(), 0u) << "k=" << k;
}

TEST(FaultInjection, EveryRefusedCallEndsInAKnownFormAndReleasesEverything) {
  const RunResult clean = RunAll(0);
  ASSERT_EQ(clean.status, 0);
  ExpectEverythingReleased(0);
  const std::set<std::string> acceptable = AcceptableOutputs();
  ASSERT_EQ(acceptable.count(clean.output), 1u) << clean.output;

  for (int k = 1; k <= clean.fallibleCalls; ++k) {
    const RunResult run = RunAll(k);
    if (k == 1) {
      // The first fallible call is the pinning, which stops the run before any benchmark.
      EXPECT_EQ(run.status, -2);
      EXPECT_EQ(run.output,
                std::string(kPinned) + "ERROR: Unable to set process to only run on CPU '0'.\n\n");
    } else {
      EXPECT_EQ(run.status, 0) << "k=" << k;
      EXPECT_EQ(acceptable.count(run.output), 1u) << "k=" << k << "\n" << run.output;
      EXPECT_NE(run.output, clean.output) << "k=" << k << ": the refusal went unreported";
    }
    ExpectEverythingReleased(k);
  }
}

}  // namespace
