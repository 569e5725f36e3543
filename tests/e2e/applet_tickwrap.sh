#!/usr/bin/env bash
# The tick count's wrap (every 49.7 days of uptime) under the real programs:
# every Wine process of the scenario's prefix (the wineserver among them)
# runs under faketime with its clocks moved so that the tick count reaches
# 2^32 some seconds after the start (the server and the programs must share
# one clock, or every timed wait between them goes wrong). A capture
# (button 2) a few seconds before the wrap shows its notice for a second and
# does not come back after the wrap; after the wrap the readings are still
# gathered (the data-source page turns from "Service not found" to the
# service's version once the service is installed).
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
# The 64-bit faketime: 32-bit Wine processes would ignore it and keep the
# real clock, so the 32-bit build's programs are not run here.
if [ "${KES_ARCH:-win64}" = win32 ]; then
  echo "SKIP: the moved clock is only made for 64-bit Wine processes"
  exit 0
fi
faketime_lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1
[ -f "$faketime_lib" ] || e2e_fail "libfaketime is not installed"
wrap=4294967296
lead=${KES_WRAP_LEAD:-45}  # seconds from the set-up to the wrap

tick() { "$wine" "$bin/kestrani-client.exe" tick 2>/dev/null | tr -d '\r'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Once the display is there and before any program runs, the Wine loader is
# replaced by one that runs under faketime with the offset of the prefix's
# file "faketime": first unmoved to read where the tick count stands, then
# moved so that it reaches 2^32 $lead seconds later.
real_wine=$wine
eval "display_$(declare -f applet_xvfb)"
applet_xvfb() {
  display_applet_xvfb
  cat >"$WINEPREFIX/faked-wine" <<WRAPPER
#!/bin/sh
LD_PRELOAD=$faketime_lib FAKETIME=\$(cat "$WINEPREFIX/faketime") exec "$real_wine" "\$@"
WRAPPER
  chmod +x "$WINEPREFIX/faked-wine"
  wine=$WINEPREFIX/faked-wine
  echo +0 >"$WINEPREFIX/faketime"
  local t0 at offset t1
  t0=$(tick)
  at=$(now_ms)
  [[ $t0 =~ ^[0-9]+$ ]] || e2e_fail "no tick count from the probe: '$t0'"
  "$wineserver" -k
  "$wineserver" -w
  offset=$(((wrap - lead * 1000 - t0 - ($(now_ms) - at)) / 1000))
  printf '%+d\n' "$offset" >"$WINEPREFIX/faketime"
  t1=$(tick)
  echo "tick count: $t0 unmoved, $t1 with the clocks moved by $offset s"
  ((t1 > wrap - (lead + 10) * 1000 && t1 < wrap - 20000)) ||
    e2e_fail "the tick count did not move to shortly before the wrap ($t1)"
}

applet_setup
echo "keep_frames = 1" >"$appdir/lgLcd.profile"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"

# until_tick LOW HIGH: waits until the tick count lies in [LOW, HIGH).
until_tick() {
  local t i
  for ((i = 0; i < 600; i++)); do
    t=$(client tick)
    ((t >= $1 && t < $2)) && return 0
    sleep 0.2
  done
  e2e_fail "the tick count never reached $1..$2 (now $t)"
}

# kept frames $1+1 .. $2 that show a pop-up, counted.
popups() {
  local seq n=0
  for ((seq = $1 + 1; seq <= $2; seq++)); do
    [ -f "$(kept_frame "$seq")" ] && is_popup "$(kept_frame "$seq")" && n=$((n + 1))
  done
  echo "$n"
}

# The capture, about five seconds before the wrap. The frames are told
# apart by their sequence numbers (the stand-in's own clock is no tick count
# here).
until_tick $((wrap - 5500)) $((wrap - 3500))
pressed=$(client tick)
from=$(frame_count)
press 2
until_tick $((wrap - 1500)) $((wrap - 500))
before=$(frame_count)
shown=$(popups "$from" "$before")
((shown >= 2)) || e2e_fail "the capture notice did not show before the wrap ($shown frames)"
until_tick 1000 100000
after=$(frame_count)
sleep 3
last=$(frame_count)
((last - after >= 8)) || e2e_fail "only $((last - after)) frames in the 3 s after the wrap"
back=$(popups "$after" "$last")
[ "$back" = 0 ] || e2e_fail "the capture notice is back after the wrap ($back of $((last - after)) frames)"
echo "capture at tick $pressed: notice in $shown frames before the wrap, none in $((last - after)) frames after it"

# Readings after the wrap: the service, installed now, reaches page 2.
press 8 8
render_page 2 "$work/none.bmp" --set "service=Service not found"
wait_page "$work/none.bmp" 5 "$work/f.pgm" || e2e_fail "page 2 does not read Service not found"
applet_service haswell
render_page 2 "$work/service.bmp" --set "service=Service $version"
wait_page "$work/service.bmp" 10 "$work/f.pgm" ||
  e2e_fail "no readings gathered after the wrap: page 2 still reads Service not found"
echo "after the wrap (tick $(client tick)) page 2 reads Service $version"
echo "PASS"
