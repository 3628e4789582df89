#include <cstdio>

#include "cli/cli.h"

void PrintUsage() {
  printf("\n");
  printf("Brevonix v0.90 - Brevonix.\n");
  printf("\n");
  printf("Requires the NVIDIA GL_NV_vertex_array_range OpenGL extension.\n");
  printf("\n");
  printf("Usage: Brevonix <SysMem | AGPMem | VidMem> [-CPU CPUNumber]\n");
  printf("   SysMem   Benchmark system memory.\n");
  printf("   AGPMem   Benchmark AGP memory.\n");
  printf("   VidMem   Benchmark video memory.\n");
  printf("   -CPU     Set the benchmark to only run on the specified CPU.\n");
  printf("\n");
}
