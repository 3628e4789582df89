#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
#   1. Release with link-time optimisation: unit, Linux layer and process tests, and the check
#      of the compiled store loop; the benchmark programs are built too.
#   2. AddressSanitizer and UndefinedBehaviorSanitizer: the same tests, leaks included.
#   3. The command-line fuzzer (clang, libFuzzer) for a bounded time.
#   4. Windows: both MinGW-w64 builds, and the end-to-end suite of the 64-bit one on Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

scripts/install-deps.sh test

echo "== Release (LTO)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON -DBREVONIX_BENCHMARKS=ON >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVONIX_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
# LeakSanitizer runs in every test process, the real executable's AGPMem and VidMem runs on
# the OpenGL driver included.
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build/sanitize -j "$jobs" --output-on-failure

echo "== Fuzzing the command line"
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBREVONIX_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$jobs" --target command_line_fuzz
tests/fuzz/run-fuzz.sh build/fuzz 60

echo "== Windows"
tests/wine/build-and-run.sh "$root/build/release/Brevonix"
