#!/usr/bin/env bash
# The test command: installs what is missing, builds the three builds
# (native, win64, win32) and runs every test tier: the native unit tests,
# then the Windows tests and the end-to-end scenarios under Wine for the
# 64-bit build and for the 32-bit build (the deliverables, under Wine's
# 32-bit loader). Every tier runs even when an earlier one fails; the
# summary at the end names the tiers that failed.
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

failed=()
summary=()
tier() { # name, build folder
  local name=$1 dir=$2 log rc=0
  echo "== $name"
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log" || rc=$?
  [ "$rc" -eq 0 ] || failed+=("$name")
  summary+=("$name: $(grep -E 'tests passed|tests failed' "$log" | tail -n1)")
  rm -f "$log"
}

# Whether this machine runs 32-bit Windows programs: a tiny program of the
# win32 build must exit with its pointer size, 4. This also makes the
# win32 tier's Wine prefix template.
why32=
if [ ! -x /usr/lib/wine/wine ]; then
  why32="Wine's 32-bit loader (Debian's wine32:i386) is not installed"
else
  rc32=0
  KES_WINE=/usr/lib/wine/wine KES_WINE_ROOT="$build/win32/wine" \
    tests/wine-run.sh "$build/win32/bin/pointer-size.exe" >/dev/null 2>&1 || rc32=$?
  [ "$rc32" -eq 4 ] || why32="a 32-bit test program did not run under Wine's 32-bit loader (exit code $rc32)"
fi

tier "native tests" "$build/native"
tier "win64: Windows tests and scenarios under wine64" "$build/win64"
if [ -z "$why32" ]; then
  tier "win32: Windows tests and scenarios under Wine's 32-bit loader" "$build/win32"
else
  summary+=("win32: THE 32-BIT TIER DID NOT RUN: $why32")
  # The 32-bit programs are what users install: a run without them fails,
  # unless the caller has said on purpose that this machine cannot run them.
  [ "${KES_ALLOW_NO_WIN32:-0}" = 1 ] || failed+=("win32: the 32-bit tier did not run (set KES_ALLOW_NO_WIN32=1 to accept that)")
fi

echo "== summary"
printf '   %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  printf '== FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "== all tests passed"
