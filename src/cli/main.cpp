#include "bench/bench.h"
#include "cli/cli.h"

int main(int argc, char** argv) {
  const BenchmarkRoutines routines = {RunSysMemBenchmark, LaunchAGPMemBenchmark,
                                      LaunchVidMemBenchmark};
  return RunCommandLine(argc, argv, routines);
}
