#!/usr/bin/env bash
# The test command: installs what is missing, builds the three builds
# (native, win64, win32) and runs every test tier (native unit tests,
# Windows tests under wine64, end-to-end scenarios under Wine and Xvfb).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source scripts/setup.sh
kes_install_packages

jobs=$(nproc)
build=${KES_BUILD_DIR:-$top/build}

configure() { # name, extra cmake args...
  local name=$1; shift
  cmake -S . -B "$build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}
configure native
configure win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-win64.cmake"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-win32.cmake"

for name in native win64 win32; do
  echo "== build $name"
  cmake --build "$build/$name" -j "$jobs"
done

echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure -j "$jobs"
echo "== Windows tests and scenarios under Wine"
ctest --test-dir "$build/win64" --output-on-failure -j "$jobs"
echo "== all tests passed"
