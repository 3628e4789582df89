#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/write_speed.h"
#include "fake/fake_platform.h"
#include "support/captured_stdout.h"

namespace {

struct SpeedCase {
  uint32_t elapsed;
  uint32_t speed;
};

// The single-precision 0.001 makes exact divisors of 4,000,000 come out one lower.
const SpeedCase kSpeedCases[] = {
    {1, 3999999}, {4, 999999},  {250, 15999}, {999, 4004},      {1000, 3999},
    {1001, 3996}, {1024, 3906}, {4000, 999},  {4294967295u, 0},
};

class ComputeWriteSpeedTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(ComputeWriteSpeedTest, MatchesTheSinglePrecisionConstant) {
  EXPECT_EQ(ComputeWriteSpeed(GetParam().elapsed), GetParam().speed) << GetParam().elapsed;
}

INSTANTIATE_TEST_SUITE_P(Table, ComputeWriteSpeedTest, ::testing::ValuesIn(kSpeedCases));

// Words around the filled range must stay untouched.
TEST(FillWords, StoresExactlyCountWords) {
  for (uint32_t count : {0u, 1u, 7u, 8u, 9u, 17u, 64u}) {
    std::vector<uint32_t> words(count + 2, 0xdeadbeef);
    FillWords(words.data() + 1, 0x12345678, count);
    EXPECT_EQ(words.front(), 0xdeadbeefu) << count;
    EXPECT_EQ(words.back(), 0xdeadbeefu) << count;
    for (uint32_t i = 1; i <= count; ++i) {
      ASSERT_EQ(words[i], 0x12345678u) << "count " << count << " word " << i;
    }
  }
}

class MeasureWriteSpeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeReset();
    words_.assign(kArrayWords + 1, 0xa5a5a5a5);
  }

  std::string Measure() {
    CapturedStdout out;
    MeasureWriteSpeed(words_.data(), "Running system memory benchmark...",
                      "System memory set speed:  %u MB/s\n");
    return out.Text();
  }

  std::vector<uint32_t> words_;
};

struct ClockCase {
  uint32_t start;
  uint32_t end;
  const char* output;
};

const ClockCase kClockCases[] = {
    {5000, 7000, "Running system memory benchmark...Done\nSystem memory set speed:  1999 MB/s\n"},
    {7, 7,
     "Running system memory benchmark...Done\n"
     "ERROR:  Zero milliseconds elapsed time reported.\n"},
    // The clock wrapped during the run: 256 ms before the wrap, 768 after.
    {4294967040u, 768,
     "Running system memory benchmark...Done\nSystem memory set speed:  3906 MB/s\n"},
};

TEST_F(MeasureWriteSpeedTest, PrintsTheSpeedOrTheZeroTimeError) {
  for (const ClockCase& c : kClockCases) {
    FakeReset();
    FakeGetSettings().clock = {c.start, c.end};
    EXPECT_EQ(Measure(), c.output) << c.start << ".." << c.end;
  }
}

TEST_F(MeasureWriteSpeedTest, TimesOnlyTheFills) {
  FakeGetSettings().clock = {100, 1100};
  int readings = 0;
  // At the first reading nothing is written yet; at the second every word is.
  FakeGetSettings().onClockRead = [&] {
    ++readings;
    const uint32_t expected = readings == 1 ? 0xa5a5a5a5u : 0u;
    EXPECT_EQ(words_[0], expected) << "reading " << readings;
    EXPECT_EQ(words_[kArrayWords - 1], expected) << "reading " << readings;
  };
  const std::string out = Measure();

  EXPECT_EQ(readings, 2);
  EXPECT_EQ(words_[kArrayWords], 0xa5a5a5a5u) << "wrote past the array";
  const std::vector<FakeLogEntry>& log = FakeGetLog();
  ASSERT_EQ(log.size(), 3u);
  const long announced = static_cast<long>(strlen("Running system memory benchmark..."));
  // The settle delay comes after the announcement is out, and nothing is printed between the
  // clock readings.
  EXPECT_EQ(log[0].call, "Sleep(250)");
  EXPECT_EQ(log[0].outputBytes, announced);
  EXPECT_EQ(log[1].call, "timeGetTime()");
  EXPECT_EQ(log[1].outputBytes, announced);
  EXPECT_EQ(log[2].call, "timeGetTime()");
  EXPECT_EQ(log[2].outputBytes, announced);
  EXPECT_EQ(out, "Running system memory benchmark...Done\nSystem memory set speed:  3999 MB/s\n");
}

}  // namespace
