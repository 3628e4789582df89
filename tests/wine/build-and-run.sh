#!/usr/bin/env bash
# Builds the Windows executables and the test OpenGL driver, then runs the Wine suite.
#
#   tests/wine/build-and-run.sh LINUX_BREVONIX
#
# 1. tests/wine/install-deps.sh (installs only what is missing),
# 2. configures and builds Brevonix.exe for 64-bit and for 32-bit Windows with the MinGW-w64
#    toolchain files (the 32-bit one is built and linked only: it cannot run here),
#    and checks that both import Windows system DLLs only (static runtime),
# 3. builds the test opengl32.dll (tests/wine/test_opengl32, test only),
# 4. runs tests/wine/run-suite.sh on the 64-bit executable, comparing with LINUX_BREVONIX.
#
# Build folders: BREVONIX_WIN64_BUILD_DIR (default build/win64 under the repository),
# BREVONIX_WIN32_BUILD_DIR (default build/win32), BREVONIX_TEST_GL_BUILD_DIR (default
# build/test_opengl32). Exits with the suite's status, or non-zero when a step fails.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: ${0##*/} LINUX_BREVONIX" >&2
  exit 2
fi
linux_exe=$(realpath -m "$1")
readonly linux_exe

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
readonly here repo
readonly win64_dir=${BREVONIX_WIN64_BUILD_DIR:-$repo/build/win64}
readonly win32_dir=${BREVONIX_WIN32_BUILD_DIR:-$repo/build/win32}
readonly test_gl_dir=${BREVONIX_TEST_GL_BUILD_DIR:-$repo/build/test_opengl32}

# Runs a step with its output kept in a log, shown only when the step fails.
step() {
  local description=$1
  shift
  local log
  log=$(mktemp)
  echo "== $description"
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "${0##*/}: failed: $description" >&2
    exit 1
  fi
  rm -f "$log"
}

build_windows() {
  local build_dir=$1 toolchain=$2
  cmake -S "$repo" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchains/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  cmake --build "$build_dir" --parallel "$(nproc)"
}

# The static runtime: the executable imports Windows system DLLs only, no MinGW DLL
# (libstdc++-6, libgcc_s_*, libwinpthread-1).
check_imports() {
  local exe=$1 imports name
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  [[ -n $imports ]] || { echo "no imports found in $exe"; return 1; }
  for name in $imports; do
    case ${name,,} in
      kernel32.dll | user32.dll | gdi32.dll | opengl32.dll | winmm.dll | msvcrt.dll) ;;
      *)
        echo "$exe imports $name, which is not a Windows system DLL"
        return 1
        ;;
    esac
  done
}

"$here/install-deps.sh"
step "Windows x64 build in $win64_dir" build_windows "$win64_dir" mingw-w64-x86_64.cmake
step "Windows x86 build in $win32_dir (built and linked only)" build_windows "$win32_dir" mingw-w64-i686.cmake
step "static runtime: Windows system DLLs only" check_imports "$win64_dir/Brevonix.exe"
step "static runtime: Windows system DLLs only (x86)" check_imports "$win32_dir/Brevonix.exe"
step "test opengl32.dll in $test_gl_dir" "$here/test_opengl32/build.sh" "$test_gl_dir"
exec "$here/run-suite.sh" "$win64_dir/Brevonix.exe" "$test_gl_dir/opengl32.dll" "$linux_exe"
