#!/usr/bin/env bash
# The applet's own sampler: with the driver library beside it (the applet
# runs elevated under Wine) and no service, page 2 names the internal
# source. With the library only in the current directory (or a PATH folder)
# the applet, elevated, does not load it: page 2 names no internal source.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
cp "$bin/WinRing0.dll" "$appdir/"
echo "base=haswell" >"$appdir/WinRing0.profile"
applet_running

render_page 2 "$work/page2.bmp" --set "service=Internal Service"
press 8 8
wait_page "$work/page2.bmp" 5 "$work/f2.pgm" || e2e_fail "page 2 does not read Internal Service"
echo "page 2 reads Internal Service"

# Only in the current directory, which is also on PATH: not loaded.
client command 1000 >/dev/null
client wait-gone 10 >/dev/null || e2e_fail "the applet did not end"
wait "$applet_pid" 2>/dev/null
mkdir -p "$WINEPREFIX/drive_c/Cwd"
mv "$appdir/WinRing0.dll" "$appdir/WinRing0.profile" "$WINEPREFIX/drive_c/Cwd/"
(cd "$WINEPREFIX/drive_c/Cwd" && PATH="$PATH" WINEPATH='C:\Cwd' exec "$wine" "$appwin\\Kestrani.exe" >/dev/null 2>&1) &
applet_pid=$!
wait_frames 4 30 || e2e_fail "no frames with the library in the current directory"
render_page 2 "$work/page2-none.bmp" --set "service=Service not found"
press 8 8
wait_page "$work/page2-none.bmp" 5 "$work/f2-none.pgm" ||
  e2e_fail "page 2 does not read Service not found with the library only in the current directory"
echo "a driver library in the current directory is not loaded"
echo "PASS"
