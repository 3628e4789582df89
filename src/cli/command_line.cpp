#include <cstdio>

#include "cli/cli.h"
#include "platform/platform.h"

namespace {

constexpr int kStatusRan = 0;
constexpr int kStatusUsage = -1;
constexpr int kStatusError = -2;
constexpr uint32_t kHighestCpuNumber = 31;

struct Request {
  bool sysMem;
  bool agpMem;
  bool vidMem;
  bool cpuGiven;
  uint32_t cpuNumber;
};

void PrintUsageHint() {
  printf("Run 'Brevonix -?' for usage instructions.\n\n");
}

// Walks the arguments into `request`. Returns kStatusRan when the walk completed, otherwise
// the status to exit with, after printing why.
int ParseArguments(int argc, const char* const* argv, Request* request) {
  for (int index = 1; index < argc; ++index) {
    const char* argument = argv[index];
    if (const char* body = GetSwitchBody(argument)) {
      switch (ClassifySwitch(body)) {
        case kSwitchHelp:
          PrintUsage();
          return kStatusUsage;
        case kSwitchCPU:
          if (index + 1 >= argc) {
            printf("ERROR: Expected number after switch '%s'\n\n", argument);
            return kStatusError;
          }
          // Whatever follows is the number, even a command word or another switch.
          ++index;
          request->cpuNumber = ConvertCpuNumber(argv[index]);
          request->cpuGiven = true;
          break;
        case kSwitchNone:
          printf("Invalid switch '%s'.\n", argument);
          PrintUsageHint();
          return kStatusError;
      }
      continue;
    }
    switch (ClassifyCommand(argument)) {
      case kCommandSysMem:
        request->sysMem = true;
        break;
      case kCommandAGPMem:
        request->agpMem = true;
        break;
      case kCommandVidMem:
        request->vidMem = true;
        break;
      case kCommandNone:
        printf("Invalid command '%s'.\n", argument);
        PrintUsageHint();
        return kStatusError;
    }
  }
  return kStatusRan;
}

// Returns kStatusRan when the process now runs on that CPU only.
int PinToCpu(uint32_t cpuNumber) {
  if (cpuNumber > kHighestCpuNumber) {
    printf("Invalid CPU number '%u'.\nValid CPU numbers are 0 through 31.\n\n", cpuNumber);
    return kStatusError;
  }
  printf("Setting process to only run on CPU %u.\n\n", cpuNumber);
  const DWORD_PTR mask = static_cast<DWORD_PTR>(1) << cpuNumber;
  if (SetProcessAffinityMask(GetCurrentProcess(), mask) == 0) {
    printf("ERROR: Unable to set process to only run on CPU '%u'.\n\n", cpuNumber);
    return kStatusError;
  }
  return kStatusRan;
}

void RunRequested(bool requested, BenchmarkRoutine routine) {
  if (requested) {
    routine();
    printf("\n");
  }
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, const BenchmarkRoutines& routines) {
  if (argc < 2) {
    PrintUsage();
    return kStatusUsage;
  }

  Request request = {false, false, false, false, 0};
  const int parsed = ParseArguments(argc, argv, &request);
  if (parsed != kStatusRan) {
    return parsed;
  }
  if (!request.sysMem && !request.agpMem && !request.vidMem) {
    PrintUsage();
    return kStatusUsage;
  }
  if (request.cpuGiven) {
    const int pinned = PinToCpu(request.cpuNumber);
    if (pinned != kStatusRan) {
      return pinned;
    }
  }

  BeginTimerPeriod();
  RunRequested(request.sysMem, routines.sysMem);
  RunRequested(request.agpMem, routines.agpMem);
  RunRequested(request.vidMem, routines.vidMem);
  EndTimerPeriod();
  return kStatusRan;
}
