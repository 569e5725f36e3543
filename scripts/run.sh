#!/usr/bin/env bash
# The run command: builds the Windows programs (64-bit, to run under Wine)
# and shows the hardware service at work with the driver library stand-in:
# installs and starts MorvaithSvc in a fresh Wine prefix, prints the shared
# block as a reader sees it once per second, shows the console diagnostics
# (-debug) for a few seconds, then stops and removes the service.
# Optional: KES_PROFILE names the stand-in's processor (default haswell;
# e.g. skylake, core2, amd10h, amd15h-m0, k8, unknown), KES_SECONDS the
# number of block readings.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source scripts/setup.sh
kes_install_packages

build=${KES_BUILD_DIR:-$top/build}
profile=${KES_PROFILE:-haswell}
seconds=${KES_SECONDS:-6}
cmake -S . -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-win64.cmake" >/dev/null
echo "== building MorvaithSvc and the driver stand-in (win64)"
cmake --build "$build/win64" --target MorvaithSvc WinRing0 blockdump

set +e
bin=$build/win64/bin
export KES_WINE_ROOT=$build/win64/wine
source tests/e2e/lib.sh
echo "== preparing a fresh Wine prefix"
e2e_prefix
e2e_stage Morvaith "$profile"
e2e_hold
sock="kes-run-$$"
trap 'tmux -L "$sock" kill-session -t run >/dev/null 2>&1; e2e_cleanup' EXIT

echo "== MorvaithSvc.exe -install (stand-in profile: $profile)"
svc -install
echo "== waiting for the first record (about three seconds of warm-up)"
"$wine" "$svcwin\\blockdump.exe" --wait 15 >/dev/null 2>&1
for ((i = 1; i <= seconds; i++)); do
  echo "-- reading $i"
  dump | grep -E '^(ServiceText|RecordSize|Signature|ProcessorCount|TjMax|TscClock|CpuClock|Generation|MultiplierClock|BusClock|Temperatures|Loads)='
  sleep 1
done
echo "== service log (MorvaithSvc.log)"
tr -d '\r' <"$svcdir/MorvaithSvc.log" | iconv -f WINDOWS-1252 -t UTF-8

echo "== MorvaithSvc.exe -debug for five seconds, then Escape"
tmux -L "$sock" -u new-session -d -s run -x 160 -y 60 \
  "env LC_ALL=C.UTF-8 WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all '$wine' '$svcwin\\MorvaithSvc.exe' -debug; sleep 600"
sleep 6
tmux -L "$sock" send-keys -t run Escape
sleep 1.5
tmux -L "$sock" capture-pane -p -J -S -3000 -t run | sed -e 's/ *$//' | grep -v '^$' || true
tmux -L "$sock" kill-session -t run >/dev/null 2>&1

echo "== MorvaithSvc.exe -uninstall"
svc -uninstall
echo "== done"
