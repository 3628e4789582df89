#!/usr/bin/env bash
# Installs, with apt, whatever this machine lacks to build and test Brevonix on Linux.
# Usage: scripts/install-deps.sh [run|test]   (default: test)
set -euo pipefail

run_packages=(cmake ninja-build g++ libegl1 libegl-mesa0 libgl1-mesa-dri)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev python3 binutils clang
               libclang-rt-14-dev)

packages=("${run_packages[@]}")
if [ "${1:-test}" = test ]; then
  packages+=("${test_packages[@]}")
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
