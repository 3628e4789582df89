#!/usr/bin/env bash
# Builds the test OpenGL driver as OUTPUT_DIR/opengl32.dll with the MinGW-w64 x86_64 C
# compiler. Test only: the DLL is never shipped or installed.
#
#   tests/wine/test_opengl32/build.sh OUTPUT_DIR
#
# Environment: BREVONIX_MINGW_CC (default: x86_64-w64-mingw32-gcc-win32, -posix, or plain).
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: ${0##*/} OUTPUT_DIR" >&2
  exit 2
fi
readonly output_dir=$1
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly source_dir

compiler=${BREVONIX_MINGW_CC:-}
if [[ -z $compiler ]]; then
  for candidate in x86_64-w64-mingw32-gcc-win32 x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-gcc; do
    if command -v "$candidate" >/dev/null 2>&1; then
      compiler=$candidate
      break
    fi
  done
fi
if [[ -z $compiler ]]; then
  echo "${0##*/}: no MinGW-w64 x86_64 C compiler (run tests/wine/install-deps.sh)" >&2
  exit 1
fi

mkdir -p "$output_dir"
"$compiler" -std=c11 -O2 -Wall -Wextra -Werror -shared -static-libgcc -s \
  -o "$output_dir/opengl32.dll" \
  "$source_dir/test_opengl32.c" "$source_dir/opengl32.def"
