// The command-line front end: parsing, validation, CPU pinning and the run sequence.
#pragma once

#include <cstdint>

#include "bench/bench.h"

enum CommandKind { kCommandNone = 0, kCommandSysMem = 1, kCommandAGPMem = 2, kCommandVidMem = 3 };
enum SwitchKind { kSwitchNone = 0, kSwitchHelp = 1, kSwitchCPU = 2 };

// The entry routines that the front end runs, in the fixed order sysMem, agpMem, vidMem. The
// program passes the real benchmarks; tests pass recorders.
struct BenchmarkRoutines {
  BenchmarkRoutine sysMem;
  BenchmarkRoutine agpMem;
  BenchmarkRoutine vidMem;
};

void PrintUsage();

// The text after a leading "/" or "-" (empty for a lone switch character), or null when the
// argument is not a switch.
const char* GetSwitchBody(const char* argument);
CommandKind ClassifyCommand(const char* argument);
SwitchKind ClassifySwitch(const char* body);

// Leading white space, one optional sign, then decimal digits with 32-bit wrap; trailing text
// is ignored and no digits give 0.
uint32_t ConvertCpuNumber(const char* argument);

void BeginTimerPeriod();
void EndTimerPeriod();

// Parses `argv`, then pins and runs what was asked for. Returns the process exit status:
// 0 when the benchmark phase ran, -1 after the usage text, -2 on a command-line or CPU error.
int RunCommandLine(int argc, const char* const* argv, const BenchmarkRoutines& routines);
