#!/usr/bin/env bash
# Runs the command-line fuzzer for a bounded time on a copy of the seed corpus. Builds nothing.
#
# Usage: tests/fuzz/run-fuzz.sh <build-dir> [seconds, default 60]
#
# <build-dir> was configured with CXX=clang++ -DBREVONIX_FUZZ=ON and built. Exits 0 when the
# fuzzer ran clean for the whole time, non-zero when it found a crash or a violated check (the
# input that did it is left in <build-dir>/fuzz-artifacts/) or could not run.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 <build-dir> [seconds]" >&2
  exit 2
fi
build_dir=$1
seconds=${2:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [[ $seconds -eq 0 ]]; then
  echo "run-fuzz: seconds must be a positive whole number, not '$seconds'" >&2
  exit 2
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fuzzer=
for candidate in "$build_dir/tests/fuzz/command_line_fuzz" "$build_dir/command_line_fuzz"; do
  if [[ -x $candidate ]]; then
    fuzzer=$candidate
    break
  fi
done
if [[ -z $fuzzer ]]; then
  echo "run-fuzz: no command_line_fuzz in $build_dir (configure with CXX=clang++" \
       "-DBREVONIX_FUZZ=ON and build it first)" >&2
  exit 2
fi

corpus=$(mktemp -d "${TMPDIR:-/tmp}/brevonix-fuzz-corpus.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
cp "$here"/corpus/* "$corpus"/
artifacts="$build_dir/fuzz-artifacts"
mkdir -p "$artifacts"

echo "run-fuzz: $fuzzer for $seconds s on a copy of $here/corpus"
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1} \
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$artifacts/" "$corpus" || status=$?
if [[ $status -ne 0 ]]; then
  echo "run-fuzz: FAILED (exit $status); reproducer in $artifacts/" >&2
  exit "$status"
fi
echo "run-fuzz: clean for $seconds s"
