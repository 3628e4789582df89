// Benchmark entry routines and the type they share. A benchmark reports its outcome only by
// what it prints.
#pragma once

typedef void (*BenchmarkRoutine)();

// Entry routines, called by the front end.
void RunSysMemBenchmark();
void LaunchAGPMemBenchmark();
void LaunchVidMemBenchmark();

// Routines that the launchers hand to the OpenGL context host; they run only while the host's
// rendering context is current.
void RunAGPMemBenchmark();
void RunVidMemBenchmark();
