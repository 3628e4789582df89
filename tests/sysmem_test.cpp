#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bench/bench.h"
#include "bench/write_speed.h"
#include "fake/fake_platform.h"
#include "support/captured_stdout.h"

namespace {

constexpr std::size_t kBlockBytes = 4194304 + 128;

class SysMemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeReset();
    FakeGetSettings().clock = {0, 1000};
  }
};

TEST_F(SysMemTest, FullRunPrintsInOrderAndFreesTheBlockAsAllocated) {
  CapturedStdout out;
  RunSysMemBenchmark();
  EXPECT_EQ(out.Text(),
            "Allocating system memory array...OK\n"
            "Running system memory benchmark...Done\n"
            "System memory set speed:  3999 MB/s\n");

  void* block = FakeGetLastAllocation(nullptr);
  char freed[64];
  snprintf(freed, sizeof freed, "GlobalFree(%p)", block);
  const std::vector<std::string> expected = {"GlobalAlloc(0, 4194432)", "Sleep(250)",
                                             "timeGetTime()", "timeGetTime()", freed};
  EXPECT_EQ(FakeGetCalls(), expected);
  EXPECT_EQ(FakeGetCounts().globalFrees, 1);
}

TEST_F(SysMemTest, RefusedAllocationMeasuresNothing) {
  FakeGetSettings().refuse[static_cast<int>(FakeFallible::kGlobalAlloc)] = true;
  CapturedStdout out;
  RunSysMemBenchmark();
  EXPECT_EQ(out.Text(), "Allocating system memory array...ERROR\n");
  EXPECT_EQ(FakeGetCalls(), std::vector<std::string>{"GlobalAlloc(0, 4194432)"});
}

TEST_F(SysMemTest, ZeroElapsedTimeStillFreesTheBlock) {
  FakeGetSettings().clock = {42, 42};
  CapturedStdout out;
  RunSysMemBenchmark();
  EXPECT_EQ(out.Text(),
            "Allocating system memory array...OK\n"
            "Running system memory benchmark...Done\n"
            "ERROR:  Zero milliseconds elapsed time reported.\n");
  EXPECT_EQ(FakeGetCounts().globalFrees, 1);
}

// Where the measured array lies inside the block, read from which bytes the fill zeroed.
struct AlignmentCase {
  std::size_t blockOffset;  // block address past a 128-byte boundary
  std::size_t arrayStart;   // first byte written, from the block's start
};

const AlignmentCase kAlignmentCases[] = {{0, 0}, {8, 120}, {16, 112}, {127, 1}, {128, 0}};

TEST_F(SysMemTest, ArrayStartsOnTheFirst128ByteBoundaryInTheBlock) {
  for (const AlignmentCase& c : kAlignmentCases) {
    FakeReset();
    FakeGetSettings().clock = {0, 1000};
    FakeGetSettings().allocationOffset = c.blockOffset;
    // Keep the block alive for inspection by pausing its release: read it at the last clock
    // reading, when the fills are done and the block is not yet freed.
    std::string layout;
    int readings = 0;
    FakeGetSettings().onClockRead = [&] {
      if (++readings != 2) {
        return;
      }
      std::size_t bytes = 0;
      const auto* block = static_cast<const unsigned char*>(FakeGetLastAllocation(&bytes));
      ASSERT_EQ(bytes, kBlockBytes);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 128, c.blockOffset % 128);
      for (std::size_t i = 0; i < bytes; ++i) {
        const bool inArray = i >= c.arrayStart && i < c.arrayStart + kArrayBytes;
        ASSERT_EQ(block[i], inArray ? 0x00 : 0xA5) << "offset " << c.blockOffset << " byte " << i;
      }
    };
    CapturedStdout out;
    RunSysMemBenchmark();
    EXPECT_EQ(readings, 2);
  }
}

}  // namespace
