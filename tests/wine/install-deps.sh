#!/usr/bin/env bash
# Installs, with apt-get, what the Windows build and the Wine suite need, and only what is
# missing: nothing is downloaded when everything is already there, so it is cheap to run
# every time. Quiet: apt-get's output is shown only when it fails.
#
#   wine64                   runs the 64-bit Brevonix.exe (Debian's wine64; no wine32 needed)
#   xvfb                     the X display for the AGPMem/VidMem scenarios
#   libgl1-mesa-dri,         Mesa's OpenGL, which Wine loads at run time under Xvfb (only
#   libglx-mesa0             recommended by Wine's packages, so named here)
#   g++-mingw-w64-x86-64,    the MinGW-w64 cross compilers for 64-bit and 32-bit Windows
#   g++-mingw-w64-i686       (C and C++, -posix and -win32 thread models)
#   cmake, make              configuring and building
#
# Runs as root, or through sudo when it is there.
set -euo pipefail

readonly PACKAGES=(
  wine64
  xvfb
  libgl1-mesa-dri
  libglx-mesa0
  g++-mingw-w64-x86-64
  g++-mingw-w64-i686
  cmake
  make
)

is_installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == "install ok installed" ]]
}

missing=()
for package in "${PACKAGES[@]}"; do
  if ! is_installed "$package"; then
    missing+=("$package")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps.sh: missing packages (${missing[*]}), and neither root nor sudo" >&2
    exit 1
  fi
  as_root=(sudo)
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT

run_quietly() {
  if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive "$@" >>"$log" 2>&1; then
    echo "install-deps.sh: '$*' failed:" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

echo "install-deps.sh: installing ${missing[*]}"
run_quietly apt-get -qq update
run_quietly apt-get -qq install -y "${missing[@]}"
