#!/usr/bin/env bash
# The run command: builds the Windows programs and the stand-ins (the 32-bit
# programs users install, or with KES_ARCH=win64 the 64-bit build) and runs
# the whole system under Wine in a fresh prefix on an
# Xvfb display of its own: installs and starts MorvaithSvc with the driver
# library stand-in (prints a few readings of the shared block, its log and
# its -debug console), then starts Kestrani with the default layout and the
# LCD stand-in, and shows the LCD live in the terminal (keys 1 to 4: soft
# buttons, 0: buttons 3 and 4 together, q: quit). The latest LCD picture is
# kept as a PNG. On exit (q, Ctrl-C, or when the applet ends) it ends the
# applet, removes the service and stops everything it started.
# Without a terminal on standard input it runs for KES_SECONDS (default 10)
# and prints the LCD once a second.
# Optional: KES_PROFILE names the stand-in's processor (default haswell;
# e.g. haswell-hot, skylake, core2, amd10h, amd15h-m0, k8, unknown, cometlake,
# tigerlake, alderlake, raptorlake, zenplus, zen3, zen4, zen5, vm: every built-in
# profile of sim/winring0/README.md);
# KES_ARCH the build to run (win32, the default, or win64);
# KES_BUILD_DIR the build folder; KES_NO_BUILD=1 uses the programs built
# there as they are; KES_PNG where the LCD picture is kept (default
# <build>/lcd-latest.png).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${KES_BUILD_DIR:-$top/build}
profile=${KES_PROFILE:-haswell}
seconds=${KES_SECONDS:-10}
png=${KES_PNG:-$build/lcd-latest.png}
arch=${KES_ARCH:-win32}
case $arch in
win32) export KES_WINE=/usr/lib/wine/wine ;;
win64) export KES_WINE=/usr/lib/wine/wine64 ;;
*)
  echo "KES_ARCH must be win32 or win64, not '$arch'" >&2
  exit 2
  ;;
esac
captures=$build/captures

if [ -z "${KES_NO_BUILD:-}" ]; then
  set -e
  source scripts/setup.sh
  kes_install_packages
  cmake -S . -B "$build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-$arch.cmake" >/dev/null
  echo "== building Kestrani, MorvaithSvc, the stand-ins and the client ($arch)"
  cmake --build "$build/$arch" --target Kestrani MorvaithSvc WinRing0 lgLcdWrapper nvapi atiadlxx \
    kestrani-client blockdump
  set +e
fi

bin=$build/$arch/bin
export KES_WINE_ROOT=$build/$arch/wine
source tests/e2e/lib.sh
sock="kes-run-$$"
xvfb_pid=
applet_pid=
holder=
shell_pid=
appwin='C:\Kestrani'

finish() {
  trap - EXIT INT TERM
  echo
  if [ -n "$applet_pid" ] && kill -0 "$applet_pid" 2>/dev/null; then
    echo "== closing Kestrani"
    "$wine" "$appwin\\kestrani-client.exe" command 1000 >/dev/null 2>&1
    "$wine" "$appwin\\kestrani-client.exe" wait-gone 5 >/dev/null 2>&1 || kill "$applet_pid" 2>/dev/null
  fi
  tmux -L "$sock" kill-session -t run >/dev/null 2>&1
  if [ -n "${svcwin:-}" ]; then
    echo "== MorvaithSvc.exe -uninstall"
    svc -uninstall
  fi
  [ -n "$holder" ] && kill "$holder" 2>/dev/null
  [ -n "$shell_pid" ] && kill "$shell_pid" 2>/dev/null
  local shots
  shots=$(find "$WINEPREFIX/drive_c/users" -path '*/Pictures/*.bmp' 2>/dev/null)
  if [ -n "$shots" ]; then
    mkdir -p "$captures"
    find "$WINEPREFIX/drive_c/users" -path '*/Pictures/*.bmp' -exec cp {} "$captures/" \;
    echo "== LCD captures (button 2): $captures"
  fi
  e2e_cleanup
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -f "$png" ] && echo "== the last LCD picture: $png (enlarged: ${png%.png}-x4.png)"
  echo "== done"
}

echo "== running the $arch programs ($(basename "$KES_WINE")); preparing a fresh Wine prefix and an X display"
e2e_prefix
trap finish EXIT
trap 'exit 130' INT TERM
fd_file=$(mktemp)
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$fd_file" 2>/dev/null &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do
  [ -s "$fd_file" ] && break
  sleep 0.1
done
[ -s "$fd_file" ] || {
  echo "Xvfb did not start" >&2
  exit 1
}
export DISPLAY=":$(head -n1 "$fd_file")"
rm -f "$fd_file"

e2e_stage Morvaith "$profile"
e2e_hold
echo "== MorvaithSvc.exe -install (stand-in profile: $profile)"
svc -install
echo "== waiting for the first record (about three seconds of warm-up)"
"$wine" "$svcwin\\blockdump.exe" --wait 15 >/dev/null 2>&1
for ((i = 1; i <= 3; i++)); do
  echo "-- reading $i"
  dump | grep -E '^(ServiceText|RecordSize|Signature|ProcessorCount|TjMax|TscClock|CpuClock|Generation|MultiplierClock|BusClock|Temperatures|Loads)='
  sleep 1
done
echo "== service log (MorvaithSvc.log)"
tr -d '\r' <"$svcdir/MorvaithSvc.log" | iconv -f WINDOWS-1252 -t UTF-8

echo "== MorvaithSvc.exe -debug for three seconds, then Escape"
tmux -L "$sock" -u new-session -d -s run -x 160 -y 60 \
  "env LC_ALL=C.UTF-8 WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all '$wine' '$svcwin\\MorvaithSvc.exe' -debug; sleep 600"
sleep 4
tmux -L "$sock" send-keys -t run Escape
sleep 1.5
tmux -L "$sock" capture-pane -p -J -S -3000 -t run | sed -e 's/ *$//' | grep -v '^$'
tmux -L "$sock" kill-session -t run >/dev/null 2>&1

echo "== starting Kestrani with the default layout and the LCD stand-in"
# Wine links the user's folders to the Unix home; the prefix gets its own, so
# that captures (button 2) land in it. They are copied out at the end.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  [ -L "$link" ] && rm "$link" && mkdir "$link"
done
appdir="$WINEPREFIX/drive_c/Kestrani"
lcdout="$appdir/lgLcd.out"
mkdir -p "$appdir" "$lcdout"
cp "$bin/Kestrani.exe" "$bin/lgLcdWrapper.dll" "$bin/nvapi.dll" "$bin/atiadlxx.dll" \
  "$bin/kestrani-client.exe" res/Kestrani.ini res/Kestrani.bmp "$appdir/"
# A desktop shell window, as Explorer gives one on Windows: the applet runs
# elevated under Wine and finds the desktop user's Pictures folder through it.
"$wine" "$appwin\\kestrani-client.exe" shell >/dev/null 2>&1 &
shell_pid=$!
(cd "$appdir" && exec "$wine" "$appwin\\Kestrani.exe" >/dev/null 2>&1) &
applet_pid=$!
for ((i = 0; i < 100; i++)); do
  [ -f "$lcdout/latest.pgm" ] && break
  kill -0 "$applet_pid" 2>/dev/null || break
  sleep 0.2
done
[ -f "$lcdout/latest.pgm" ] || {
  echo "Kestrani sent no frame to the LCD stand-in" >&2
  exit 1
}
python3 scripts/lcd-view.py --out "$lcdout" --png "$png" --pid "$applet_pid" --seconds "$seconds"
kill -0 "$applet_pid" 2>/dev/null || echo "== Kestrani has ended"
exit 0
