#!/usr/bin/env bash
# End-to-end suite: runs the 64-bit Windows Brevonix.exe on Wine and checks every output byte
# for byte (CRLF folded to LF) together with the exit status, then compares the scenarios that
# the Linux build can run too with the Linux executable's output.
#
#   tests/wine/run-suite.sh WIN64_BREVONIX_EXE TEST_OPENGL32_DLL LINUX_BREVONIX
#
# WIN64_BREVONIX_EXE  the MinGW (or MSVC) x64 build of Brevonix.exe
# TEST_OPENGL32_DLL   tests/wine/test_opengl32 built as opengl32.dll (test only, never shipped)
# LINUX_BREVONIX      the Linux build of Brevonix, for the comparison scenarios
#
# The suite makes its own WINEPREFIX in a temporary folder (one wineboot per run), starts its
# own Xvfb on a free display (Xvfb -displayfd), uses no network, and removes everything on
# exit. It closes with "N passed, M failed" and exits non-zero on any failure.
#
# Wine runs in two sessions of its own wineserver: one without any display (DISPLAY unset),
# then one with the Xvfb display. Wine's desktop process picks its display driver when a
# session starts, so the two are never mixed in one session.
#
# Environment: WINE (loader, default wine64 or wine), WINESERVER (default wineserver),
# XVFB (default Xvfb), BREVONIX_WINE_TIMEOUT (seconds per program run, default 60).
set -euo pipefail

readonly SCRIPT_NAME="${0##*/}"

usage() {
  echo "usage: $SCRIPT_NAME WIN64_BREVONIX_EXE TEST_OPENGL32_DLL LINUX_BREVONIX" >&2
  exit 2
}

die() {
  echo "$SCRIPT_NAME: $*" >&2
  exit 2
}

[[ $# -eq 3 ]] || usage
[[ -f $1 ]] || die "no Windows executable at '$1'"
[[ -f $2 ]] || die "no test opengl32.dll at '$2'"
WIN_EXE=$(realpath "$1")
TEST_DLL=$(realpath "$2")
# The Linux executable may be missing (the comparisons then fail, the Wine scenarios still run).
LINUX_EXE=$(realpath -m "$3")
readonly WIN_EXE TEST_DLL LINUX_EXE

find_tool() {
  local candidate
  for candidate in "$@"; do
    if command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return 0
    fi
  done
  return 1
}

WINE=${WINE:-$(find_tool wine64 /usr/lib/wine/wine64 wine)} || die "wine not found (run tests/wine/install-deps.sh)"
WINESERVER=${WINESERVER:-$(find_tool wineserver /usr/lib/wine/wineserver64)} || die "wineserver not found"
XVFB=${XVFB:-$(find_tool Xvfb)} || die "Xvfb not found (run tests/wine/install-deps.sh)"
readonly WINE WINESERVER XVFB
# Wine starts its helper processes with WINELOADER; Debian's "wine" wrapper sets it, a direct
# call of the wine64 loader does not.
if [[ -z ${WINELOADER:-} && ${WINE##*/} == wine64 ]]; then
  export WINELOADER="$WINE"
fi
readonly RUN_TIMEOUT=${BREVONIX_WINE_TIMEOUT:-60}
command -v perl >/dev/null 2>&1 || die "perl not found"

WORK=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/brevonix-wine.XXXXXX")")
readonly WORK
XVFB_PID=""
cd "$WORK"
# Our own prefix, set at once: the clean-up below stops the wineserver of this prefix only.
export WINEPREFIX="$WORK/prefix"

stop_wineserver() {
  # Ends only this suite's wineserver (the one of our own WINEPREFIX) and its processes.
  if [[ -d $WINEPREFIX ]]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  stop_wineserver
  if [[ -n $XVFB_PID ]]; then
    kill "$XVFB_PID" >/dev/null 2>&1 || true
    wait "$XVFB_PID" >/dev/null 2>&1 || true
  fi
  rm -rf "$WORK"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- Wine's environment: quiet, no Mono/Gecko prompts, no menu entries ---------------------

export WINEARCH=win64
export WINEDEBUG=-all
readonly BASE_OVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDLLOVERRIDES="$BASE_OVERRIDES"
unset DISPLAY WAYLAND_DISPLAY
# Whatever Wine, Xvfb or Mesa would keep in the home folder (menu entries, the shader cache)
# stays in ours. The folders must exist: Mesa falls back to ~/.cache otherwise.
export XDG_CACHE_HOME="$WORK/xdg/cache" XDG_CONFIG_HOME="$WORK/xdg/config" XDG_DATA_HOME="$WORK/xdg/data"
mkdir -p "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

# Two copies of the executable: one alone (Wine's builtin opengl32, i.e. Mesa), one beside the
# test opengl32.dll.
mkdir -p "$WORK/plain" "$WORK/testgl" "$WORK/cases" "$WORK/expected"
cp "$WIN_EXE" "$WORK/plain/Brevonix.exe"
cp "$WIN_EXE" "$WORK/testgl/Brevonix.exe"
cp "$TEST_DLL" "$WORK/testgl/opengl32.dll"

# ---- Reporting ------------------------------------------------------------------------------

passed=0
failed=0
skipped=0

pass() {
  passed=$((passed + 1))
  echo "ok    $1"
}

fail() {
  failed=$((failed + 1))
  echo "FAIL  $1: $2"
}

skip() {
  skipped=$((skipped + 1))
  echo "skip  $1: $2"
}

# Shows how two files differ, indented, at most 40 lines.
show_diff() {
  diff -u --label expected --label actual "$1" "$2" | head -n 40 | sed 's/^/      | /' || true
}

# ---- Expected texts -------------------------------------------------------------------------

# expect NAME TEXT: TEXT with backslash escapes (\n) interpreted, stored as expected/NAME.
expect() {
  printf '%b' "$2" >"$WORK/expected/$1"
}

readonly HINT="Run 'Brevonix -?' for usage instructions.\n\n"
expect usage "\nBrevonix v0.90 - Brevonix.\n\nRequires the NVIDIA GL_NV_vertex_array_range OpenGL extension.\n\nUsage: Brevonix <SysMem | AGPMem | VidMem> [-CPU CPUNumber]\n   SysMem   Benchmark system memory.\n   AGPMem   Benchmark AGP memory.\n   VidMem   Benchmark video memory.\n   -CPU     Set the benchmark to only run on the specified CPU.\n\n"
expect invalid-switch-x "Invalid switch '-x'.\n$HINT"
expect invalid-switch-cpu "Invalid switch '--CPU'.\n$HINT"
expect invalid-command "Invalid command 'bogus'.\n$HINT"
expect expected-number "ERROR: Expected number after switch '-CPU'\n\n"
expect invalid-cpu "Invalid CPU number '32'.\nValid CPU numbers are 0 through 31.\n\n"
readonly SYSMEM="Allocating system memory array...OK\nRunning system memory benchmark...Done\nSystem memory set speed:  <n> MB/s\n\n"
expect sysmem "$SYSMEM"
expect pinned-0 "Setting process to only run on CPU 0.\n\n$SYSMEM"
expect pinned-1 "Setting process to only run on CPU 1.\n\n$SYSMEM"
readonly NO_PIXEL_FORMAT="ERROR:  ChoosePixelFormat failed.\nERROR:  CreateWindow failed.\n\n"
expect no-display "$NO_PIXEL_FORMAT$NO_PIXEL_FORMAT"
readonly NO_ALLOCATOR="Getting wglAllocateMemoryNV proc address...ERROR\n\n"
expect mesa "$NO_ALLOCATOR"
readonly PROCS_OK="Getting wglAllocateMemoryNV proc address...OK\nGetting wglFreeMemoryNV proc address...OK\n"
readonly AGP_RUN="${PROCS_OK}Allocating AGP memory array...OK\nRunning AGP memory benchmark...Done\nAGP Memory set speed:  <n> MB/s\n\n"
readonly VID_RUN="${PROCS_OK}Allocating video memory array...OK\nRunning video memory benchmark...Done\nVideo memory set speed:  <n> MB/s\n\n"
expect testgl-agp "$AGP_RUN"
expect testgl-vid "$VID_RUN"
expect testgl-all "$SYSMEM$AGP_RUN$VID_RUN"
expect fail-choose "$NO_PIXEL_FORMAT"
expect fail-set "ERROR:  SetPixelFormat failed.\nERROR:  CreateWindow failed.\n\n"
expect fail-create "ERROR:  wglCreateContext failed.\nERROR:  CreateWindow failed.\n\n"
expect fail-current "ERROR:  wglMakeCurrent failed.\nERROR:  CreateWindow failed.\n\n"
expect fail-alloc "${PROCS_OK}Allocating AGP memory array...ERROR\n\n"
expect fail-free "Getting wglAllocateMemoryNV proc address...OK\nGetting wglFreeMemoryNV proc address...ERROR\n\n"

# The test driver's trace of one benchmark in its window: the window is the program's own
# 120x90 "Brevonix" window, the allocator is looked up and used only while the context is
# current, and the context is released and deleted afterwards.
trace_window() {
  local context=$1
  printf '%s\n' \
    "wglChoosePixelFormat class=Brevonix title=Brevonix size=120x90 flags=0x24 colour=24 depth=16 -> 1" \
    "wglSetPixelFormat format=1 -> 1" \
    "wglCreateContext class=Brevonix title=Brevonix size=120x90 -> context$context"
}
trace_run() {
  local context=$1 priority=$2
  trace_window "$context"
  printf '%s\n' \
    "wglMakeCurrent context$context -> 1" \
    "wglGetProcAddress wglAllocateMemoryNV current=context$context -> proc" \
    "wglGetProcAddress wglFreeMemoryNV current=context$context -> proc" \
    "wglAllocateMemoryNV size=4194304 read=0.00 write=0.00 priority=$priority current=context$context -> memory" \
    "wglFreeMemoryNV -> 1" \
    "wglMakeCurrent none -> 1" \
    "wglDeleteContext context$context -> 1"
}
trace_run 1 0.50 >"$WORK/expected/trace-agp"
trace_run 1 1.00 >"$WORK/expected/trace-vid"
{
  trace_run 1 0.50
  trace_run 2 1.00
} >"$WORK/expected/trace-all"
printf '%s\n' \
  "wglChoosePixelFormat class=Brevonix title=Brevonix size=120x90 flags=0x24 colour=24 depth=16 -> 0" \
  >"$WORK/expected/trace-fail-choose"
{
  head -n 1 "$WORK/expected/trace-agp"
  echo "wglSetPixelFormat format=1 -> 0"
} >"$WORK/expected/trace-fail-set"
{
  head -n 2 "$WORK/expected/trace-agp"
  echo "wglCreateContext class=Brevonix title=Brevonix size=120x90 -> none"
} >"$WORK/expected/trace-fail-create"
{
  trace_window 1
  echo "wglMakeCurrent context1 -> 0"
  echo "wglMakeCurrent none -> 1"
  echo "wglDeleteContext context1 -> 1"
} >"$WORK/expected/trace-fail-current"
{
  head -n 6 "$WORK/expected/trace-agp"
  echo "wglAllocateMemoryNV size=4194304 read=0.00 write=0.00 priority=0.50 current=context1 -> none"
  echo "wglMakeCurrent none -> 1"
  echo "wglDeleteContext context1 -> 1"
} >"$WORK/expected/trace-fail-alloc"
{
  head -n 5 "$WORK/expected/trace-agp"
  echo "wglGetProcAddress wglFreeMemoryNV current=context1 -> none"
  echo "wglMakeCurrent none -> 1"
  echo "wglDeleteContext context1 -> 1"
} >"$WORK/expected/trace-fail-free"

# ---- Running and checking -------------------------------------------------------------------

# Replaces the figure in speed lines by <n>; everything else is kept byte for byte.
normalize_speeds() {
  sed -E 's/^(System memory|AGP Memory|Video memory) set speed:  [0-9]+ MB\/s$/\1 set speed:  <n> MB\/s/'
}

# run_wine CASE EXE [NAME=VALUE ...] -- [ARGUMENTS ...]
# Runs the executable on Wine with the extra environment; leaves cases/CASE/{out,stderr,status}
# with the output's CRLF folded to LF.
run_wine() {
  local case_name=$1 exe=$2
  shift 2
  local -a environment=()
  while [[ $# -gt 0 && $1 != -- ]]; do
    environment+=("$1")
    shift
  done
  [[ $# -gt 0 ]] && shift
  local dir="$WORK/cases/$case_name"
  mkdir -p "$dir"
  local status=0
  env "${environment[@]}" timeout --kill-after=5 "$RUN_TIMEOUT" "$WINE" "$exe" "$@" \
    </dev/null >"$dir/raw" 2>"$dir/stderr" || status=$?
  perl -0777 -pe 's/\r\n/\n/g' "$dir/raw" >"$dir/out"
  echo "$status" >"$dir/status"
}

# run_linux CASE [ARGUMENTS ...]: the same for the Linux executable (cases/CASE/linux.*).
run_linux() {
  local case_name=$1
  shift
  local dir="$WORK/cases/$case_name"
  mkdir -p "$dir"
  local status=0
  timeout --kill-after=5 "$RUN_TIMEOUT" "$LINUX_EXE" "$@" \
    </dev/null >"$dir/linux.out" 2>"$dir/linux.stderr" || status=$?
  echo "$status" >"$dir/linux.status"
}

# check CASE DESCRIPTION EXPECTED_STATUS EXPECTED_NAME: the case's output, speeds normalized,
# must equal expected/EXPECTED_NAME, and its status must be EXPECTED_STATUS.
check() {
  local case_name=$1 description=$2 expected_status=$3 expected=$4
  local dir="$WORK/cases/$case_name"
  local status
  status=$(cat "$dir/status")
  normalize_speeds <"$dir/out" >"$dir/out.normalized"
  if [[ $status == 124 || $status == 137 ]]; then
    fail "$description" "timed out after ${RUN_TIMEOUT}s"
  elif ! cmp -s "$WORK/expected/$expected" "$dir/out.normalized"; then
    fail "$description" "output differs (exit status $status)"
    show_diff "$WORK/expected/$expected" "$dir/out.normalized"
    if [[ -s $dir/stderr ]]; then
      head -n 10 "$dir/stderr" | sed 's/^/      stderr: /'
    fi
  elif [[ $status != "$expected_status" ]]; then
    fail "$description" "exit status $status, expected $expected_status"
  else
    pass "$description"
  fi
}

# check_trace CASE DESCRIPTION EXPECTED_NAME [ALTERNATIVE_NAME]: the test driver's trace
# must equal expected/EXPECTED_NAME (or expected/ALTERNATIVE_NAME, when given).
check_trace() {
  local case_name=$1 description=$2 expected=$3 alternative=${4:-}
  local dir="$WORK/cases/$case_name"
  if [[ ! -f $dir/trace.raw ]]; then
    fail "$description" "the test opengl32.dll wrote no trace (was it loaded?)"
    return
  fi
  perl -0777 -pe 's/\r\n/\n/g' "$dir/trace.raw" >"$dir/trace"
  if cmp -s "$WORK/expected/$expected" "$dir/trace"; then
    pass "$description"
  elif [[ -n $alternative ]] && cmp -s "$WORK/expected/$alternative" "$dir/trace"; then
    pass "$description ($alternative)"
  else
    fail "$description" "driver calls differ"
    show_diff "$WORK/expected/$expected" "$dir/trace"
  fi
}

# compare_linux CASE DESCRIPTION: the Linux executable's output and status must be the Wine
# run's, apart from the speed figures.
compare_linux() {
  local case_name=$1 description=$2
  local dir="$WORK/cases/$case_name"
  if [[ ! -x $LINUX_EXE ]]; then
    fail "$description" "no Linux executable at '$LINUX_EXE'"
    return
  fi
  normalize_speeds <"$dir/linux.out" >"$dir/linux.normalized"
  local wine_status linux_status
  wine_status=$(cat "$dir/status")
  linux_status=$(cat "$dir/linux.status")
  if ! cmp -s "$dir/out.normalized" "$dir/linux.normalized"; then
    fail "$description" "outputs differ"
    diff -u --label wine --label linux "$dir/out.normalized" "$dir/linux.normalized" |
      head -n 40 | sed 's/^/      | /' || true
  elif [[ $wine_status != "$linux_status" ]]; then
    fail "$description" "exit status $linux_status on Linux, $wine_status on Wine"
  else
    pass "$description"
  fi
}

# scenario CASE DESCRIPTION EXPECTED_STATUS EXPECTED_NAME [ARGUMENTS ...]: a scenario without
# any display that the Linux build runs too.
scenario() {
  local case_name=$1 description=$2 expected_status=$3 expected=$4
  shift 4
  run_wine "$case_name" "$WORK/plain/Brevonix.exe" -- "$@"
  check "$case_name" "wine: $description" "$expected_status" "$expected"
  if [[ -x $LINUX_EXE ]]; then
    run_linux "$case_name" "$@"
  fi
  compare_linux "$case_name" "linux = wine: $description"
}

# gl_scenario CASE DESCRIPTION EXPECTED_NAME TRACE_NAME[,ALTERNATIVE] FAULT [ARGUMENTS ...]: a
# run beside the test opengl32.dll, with FAULT (or "none") injected, checking output, status 0
# and the driver's trace.
gl_scenario() {
  local case_name=$1 description=$2 expected=$3 fault=$5
  local trace=${4%%,*} alternative=""
  [[ $4 == *,* ]] && alternative=${4#*,}
  shift 5
  local dir="$WORK/cases/$case_name"
  mkdir -p "$dir"
  # The driver opens the trace through msvcrt; Z: is the prefix's drive for "/".
  local trace_path="Z:${dir//\//\\}\\trace.raw"
  local -a environment=("WINEDLLOVERRIDES=$BASE_OVERRIDES;opengl32=n,b" "BREVONIX_GL_TRACE=$trace_path")
  if [[ $fault != none ]]; then
    environment+=("BREVONIX_GL_FAIL=$fault")
  fi
  run_wine "$case_name" "$WORK/testgl/Brevonix.exe" "${environment[@]}" -- "$@"
  check "$case_name" "wine+test-gl: $description" 0 "$expected"
  check_trace "$case_name" "wine+test-gl: $description: driver calls" "$trace" "$alternative"
}

elapsed_since() {
  echo "$(($(date +%s) - $1))s"
}

# ---- The prefix -----------------------------------------------------------------------------

suite_start=$(date +%s)
echo "Wine suite: $("$WINE" --version 2>/dev/null || echo 'wine (version unknown)'), prefix in $WORK"
if ! timeout 180 "$WINE" wineboot -i </dev/null >"$WORK/wineboot.log" 2>&1; then
  cat "$WORK/wineboot.log" >&2
  die "wineboot -i failed"
fi
stop_wineserver
echo "      prefix ready after $(elapsed_since "$suite_start")"

# ---- Session 1: no display ------------------------------------------------------------------

"$WINESERVER" -p

scenario usage-none "usage text (no arguments)" 255 usage
scenario usage-question "usage text (-?)" 255 usage '-?'
scenario usage-help "usage text (/help)" 255 usage /help
scenario invalid-switch "invalid switch (-x)" 254 invalid-switch-x -x
scenario invalid-switch-cpu "invalid switch (--CPU 1)" 254 invalid-switch-cpu --CPU 1
scenario invalid-command "invalid command (bogus)" 254 invalid-command bogus
scenario expected-number "SysMem -CPU without a number" 254 expected-number SysMem -CPU
scenario invalid-cpu "SysMem -CPU 32" 254 invalid-cpu SysMem -CPU 32
scenario sysmem "SysMem" 0 sysmem SysMem
scenario pinned-0 "SysMem -CPU 0" 0 pinned-0 SysMem -CPU 0

cpu_count=$(nproc --all)
if ((cpu_count >= 2)); then
  scenario pinned-1 "SysMem -CPU 1" 0 pinned-1 SysMem -CPU 1
else
  skip "SysMem -CPU 1" "this machine has one CPU"
fi

# A CPU number this machine lacks: 5, or the first one past the last CPU on bigger machines.
missing_cpu=5
if ((cpu_count > missing_cpu)); then
  missing_cpu=$cpu_count
fi
if ((missing_cpu <= 31)); then
  expect missing-cpu "Setting process to only run on CPU $missing_cpu.\n\nERROR: Unable to set process to only run on CPU '$missing_cpu'.\n\n"
  scenario missing-cpu "SysMem -CPU $missing_cpu (a CPU this machine lacks)" 254 missing-cpu \
    SysMem -CPU "$missing_cpu"
else
  skip "SysMem -CPU (a CPU this machine lacks)" "this machine has all 32 CPUs"
fi

# Wine finds no pixel format without a display: WM_CREATE fails, so does CreateWindow.
run_wine no-display "$WORK/plain/Brevonix.exe" "WINEDLLOVERRIDES=$BASE_OVERRIDES;opengl32=b" -- AGPMem VidMem
check no-display "wine: AGPMem VidMem without a display" 0 no-display

stop_wineserver
echo "      no-display session done after $(elapsed_since "$suite_start")"

# ---- Session 2: Xvfb ------------------------------------------------------------------------

: >"$WORK/display"
"$XVFB" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" \
  </dev/null >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  if [[ -s $WORK/display ]] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
    break
  fi
  sleep 0.1
done
display_number=$(head -n 1 "$WORK/display")
if [[ ! $display_number =~ ^[0-9]+$ ]]; then
  cat "$WORK/xvfb.log" >&2
  die "Xvfb did not start"
fi
export DISPLAY=":$display_number"
echo "      Xvfb on display $DISPLAY"

"$WINESERVER" -p

# Wine's own opengl32 on Mesa: the window and the context are made, but Mesa has no
# vertex-array-range allocator.
run_wine mesa-agp "$WORK/plain/Brevonix.exe" "WINEDLLOVERRIDES=$BASE_OVERRIDES;opengl32=b" -- AGPMem
check mesa-agp "wine+mesa: AGPMem" 0 mesa
run_wine mesa-vid "$WORK/plain/Brevonix.exe" "WINEDLLOVERRIDES=$BASE_OVERRIDES;opengl32=b" -- VidMem
check mesa-vid "wine+mesa: VidMem" 0 mesa

# The test driver: full runs, on Wine's real user32 and gdi32.
gl_scenario testgl-agp "AGPMem" testgl-agp trace-agp none AGPMem
gl_scenario testgl-vid "VidMem" testgl-vid trace-vid none VidMem
gl_scenario testgl-all "VidMem AGPMem SysMem (run as SysMem, AGPMem, VidMem)" testgl-all \
  trace-all none VidMem AGPMem SysMem

# The program's error paths, each step of the driver failing in turn.
gl_scenario fail-choose "ChoosePixelFormat fails" fail-choose trace-fail-choose wglChoosePixelFormat AGPMem
gl_scenario fail-set "SetPixelFormat fails" fail-set trace-fail-set wglSetPixelFormat AGPMem
gl_scenario fail-create "wglCreateContext fails" fail-create trace-fail-create wglCreateContext AGPMem
gl_scenario fail-alloc "wglAllocateMemoryNV returns no memory" fail-alloc trace-fail-alloc wglAllocateMemoryNV AGPMem
gl_scenario fail-free "no wglFreeMemoryNV" fail-free trace-fail-free wglFreeMemoryNV AGPMem

# wglMakeCurrent failing: WM_CREATE returns -1 after the context was made. Wine 8 abandons the
# window with WM_NCDESTROY alone, without WM_DESTROY; the context must be deleted all the same.
gl_scenario fail-current "wglMakeCurrent fails" fail-current trace-fail-current wglMakeCurrent \
  AGPMem

stop_wineserver

echo "      done after $(elapsed_since "$suite_start")"
closing="$passed passed, $failed failed"
if ((skipped > 0)); then
  closing+=", $skipped skipped"
fi
echo "$closing"
if ((failed > 0)); then
  exit 1
fi
