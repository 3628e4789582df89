// The front end's whole table: every argument vector gives its exact output, status, pinning
// and benchmarks run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "fake/fake_platform.h"
#include "support/captured_stdout.h"

namespace {

std::string& RunOrder() {
  static std::string order;
  return order;
}

// Recorders stand in for the benchmarks: each prints a marker, so the expected output shows
// the order of the runs and the blank line after each. Every benchmark must run while the
// 1 ms timer period is held.
void Record(char which, const char* marker) {
  RunOrder() += which;
  EXPECT_EQ(FakeGetCounts().timerPeriodsBegun, 1) << marker;
  EXPECT_EQ(FakeGetCounts().timerPeriodsEnded, 0) << marker;
  printf("%s", marker);
}
void RecordSysMem() {
  Record('S', "<SysMem>");
}
void RecordAGPMem() {
  Record('A', "<AGPMem>");
}
void RecordVidMem() {
  Record('V', "<VidMem>");
}

const char kUsage[] =
    "\n"
    "Brevonix v0.90 - Brevonix.\n"
    "\n"
    "Requires the NVIDIA GL_NV_vertex_array_range OpenGL extension.\n"
    "\n"
    "Usage: Brevonix <SysMem | AGPMem | VidMem> [-CPU CPUNumber]\n"
    "   SysMem   Benchmark system memory.\n"
    "   AGPMem   Benchmark AGP memory.\n"
    "   VidMem   Benchmark video memory.\n"
    "   -CPU     Set the benchmark to only run on the specified CPU.\n"
    "\n";
const char kHint[] = "Run 'Brevonix -?' for usage instructions.\n\n";

struct CommandLineCase {
  std::vector<std::string> arguments;  // after the program path
  std::string output;
  int status;
  std::string ran;       // recorders run, in order
  std::string affinity;  // the SetProcessAffinityMask call, or "" if none
};

std::string S(const char* a, const char* b = "", const char* c = "") {
  return std::string(a) + b + c;
}

const CommandLineCase kCases[] = {
    {{}, kUsage, -1, "", ""},
    {{"-?"}, kUsage, -1, "", ""},
    {{"/?"}, kUsage, -1, "", ""},
    {{"-help"}, kUsage, -1, "", ""},
    {{"/HELP"}, kUsage, -1, "", ""},
    {{"SysMem", "-?"}, kUsage, -1, "", ""},
    {{"-?", "bogus"}, kUsage, -1, "", ""},
    {{"bogus", "-?"}, S("Invalid command 'bogus'.\n", kHint), -2, "", ""},
    {{"sysmem"}, "<SysMem>\n", 0, "S", ""},
    {{"SYSMEM"}, "<SysMem>\n", 0, "S", ""},
    {{"sYsMeM"}, "<SysMem>\n", 0, "S", ""},
    {{"SysMem "}, S("Invalid command 'SysMem '.\n", kHint), -2, "", ""},
    {{"SysMemX"}, S("Invalid command 'SysMemX'.\n", kHint), -2, "", ""},
    {{"SysMe"}, S("Invalid command 'SysMe'.\n", kHint), -2, "", ""},
    {{"-"}, S("Invalid switch '-'.\n", kHint), -2, "", ""},
    {{"/"}, S("Invalid switch '/'.\n", kHint), -2, "", ""},
    {{"--CPU", "1"}, S("Invalid switch '--CPU'.\n", kHint), -2, "", ""},
    {{"-SysMem"}, S("Invalid switch '-SysMem'.\n", kHint), -2, "", ""},
    {{"SysMem", "-x", "bogus"}, S("Invalid switch '-x'.\n", kHint), -2, "", ""},
    {{""}, S("Invalid command ''.\n", kHint), -2, "", ""},
    {{"SysMem", "-CPU"}, "ERROR: Expected number after switch '-CPU'\n\n", -2, "", ""},
    {{"SysMem", "/cpu"}, "ERROR: Expected number after switch '/cpu'\n\n", -2, "", ""},
    {{"-CPU", "SysMem"}, kUsage, -1, "", ""},
    {{"-CPU", "99"}, kUsage, -1, "", ""},
    {{"SysMem", "-CPU", "32"},
     "Invalid CPU number '32'.\nValid CPU numbers are 0 through 31.\n\n",
     -2,
     "",
     ""},
    {{"SysMem", "-CPU", "-1"},
     "Invalid CPU number '4294967295'.\nValid CPU numbers are 0 through 31.\n\n",
     -2,
     "",
     ""},
    {{"SysMem", "-CPU", "x"},
     "Setting process to only run on CPU 0.\n\n<SysMem>\n",
     0,
     "S",
     "SetProcessAffinityMask(0xffffffffffffffff, 0x1)"},
    {{"SysMem", "-CPU", "31"},
     "Setting process to only run on CPU 31.\n\n<SysMem>\n",
     0,
     "S",
     "SetProcessAffinityMask(0xffffffffffffffff, 0x80000000)"},
    {{"SysMem", "-CPU", "1", "-CPU", "2"},
     "Setting process to only run on CPU 2.\n\n<SysMem>\n",
     0,
     "S",
     "SetProcessAffinityMask(0xffffffffffffffff, 0x4)"},
    {{"-Cpu", "-CPU", "SysMem"},
     "Setting process to only run on CPU 0.\n\n<SysMem>\n",
     0,
     "S",
     "SetProcessAffinityMask(0xffffffffffffffff, 0x1)"},
    {{"VidMem", "SysMem", "AGPMem"}, "<SysMem>\n<AGPMem>\n<VidMem>\n", 0, "SAV", ""},
    {{"vidmem", "agpmem"}, "<AGPMem>\n<VidMem>\n", 0, "AV", ""},
    {{"SysMem", "SysMem"}, "<SysMem>\n", 0, "S", ""},
    {{"AGPMem", "bogus", "-x"}, S("Invalid command 'bogus'.\n", kHint), -2, "", ""},
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {
 protected:
  void SetUp() override {
    FakeReset();
    RunOrder().clear();
  }
};

TEST_P(CommandLineTest, PrintsRunsAndReturnsAsTheTableSays) {
  const CommandLineCase& c = GetParam();
  std::vector<const char*> argv = {"Brevonix"};
  for (const std::string& argument : c.arguments) {
    argv.push_back(argument.c_str());
  }
  const BenchmarkRoutines recorders = {RecordSysMem, RecordAGPMem, RecordVidMem};

  CapturedStdout out;
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), recorders);

  EXPECT_EQ(out.Text(), c.output);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(RunOrder(), c.ran);

  std::vector<std::string> expectedCalls;
  if (!c.affinity.empty()) {
    expectedCalls = {"GetCurrentProcess()", c.affinity};
  }
  // The timer period is held exactly around the benchmark phase, and only when it is reached.
  if (c.status == 0) {
    expectedCalls.push_back("timeBeginPeriod(1)");
    expectedCalls.push_back("timeEndPeriod(1)");
  }
  EXPECT_EQ(FakeGetCalls(), expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLineTest, ::testing::ValuesIn(kCases));

TEST(CommandLine, RefusedPinningStopsBeforeAnyBenchmark) {
  FakeReset();
  RunOrder().clear();
  FakeGetSettings().refuse[static_cast<int>(FakeFallible::kSetProcessAffinityMask)] = true;
  const char* argv[] = {"Brevonix", "SysMem", "AGPMem", "-CPU", "5"};
  const BenchmarkRoutines recorders = {RecordSysMem, RecordAGPMem, RecordVidMem};

  CapturedStdout out;
  EXPECT_EQ(RunCommandLine(5, argv, recorders), -2);
  EXPECT_EQ(out.Text(),
            "Setting process to only run on CPU 5.\n\n"
            "ERROR: Unable to set process to only run on CPU '5'.\n\n");
  EXPECT_EQ(RunOrder(), "");
  EXPECT_EQ(FakeGetCounts().timerPeriodsBegun, 0);
}

TEST(CommandLine, RecognisesSwitchBodiesAndCommandWords) {
  EXPECT_EQ(GetSwitchBody("SysMem"), nullptr);
  EXPECT_EQ(GetSwitchBody(""), nullptr);
  const char lone[] = "/";
  EXPECT_EQ(GetSwitchBody(lone), lone + 1);
  EXPECT_STREQ(GetSwitchBody("-CPU"), "CPU");
  // Only ASCII letters fold: a byte that differs from its partner by 0x20 elsewhere must not.
  EXPECT_EQ(ClassifySwitch("\x1f"), kSwitchNone);  // '?' is 0x3f
  EXPECT_EQ(ClassifyCommand("SysMem\x0d"), kCommandNone);
  EXPECT_EQ(ClassifySwitch("HeLp"), kSwitchHelp);
  EXPECT_EQ(ClassifyCommand("agpMEM"), kCommandAGPMem);
  EXPECT_EQ(ClassifyCommand("S\xd9sMem"), kCommandNone);  // 0xd9 folds to 0xf9 in Latin-1 only
}

}  // namespace
