#!/usr/bin/env bash
# Installs what is missing, builds Brevonix and runs it.
# Usage: scripts/benchmark.sh [Brevonix arguments]   (default: SysMem AGPMem VidMem)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build/run --target Brevonix >/dev/null
if [ "$#" -eq 0 ]; then
  set -- SysMem AGPMem VidMem
fi
exec build/run/Brevonix "$@"
