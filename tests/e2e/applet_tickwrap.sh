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
# libfaketime of each program's own class: the dynamic loader puts
# lib/x86_64-linux-gnu or lib/i386-linux-gnu for $LIB, so one LD_PRELOAD
# serves the 64-bit Wine processes (server, services, desktop) and the
# 32-bit ones (the 32-bit build's programs, 32-bit services).
faketime_lib='/usr/$LIB/faketime/libfaketimeMT.so.1'
for class in x86_64-linux-gnu i386-linux-gnu; do
  [ "$class" = i386-linux-gnu ] && [ "${KES_ARCH:-win64}" != win32 ] && continue
  [ -f "/usr/lib/$class/faketime/libfaketimeMT.so.1" ] || e2e_fail "libfaketime ($class) is not installed"
done
wrap=4294967296
lead=${KES_WRAP_LEAD:-45}  # seconds from the set-up to the wrap

tick() { "$wine" "$bin/kestrani-client.exe" tick 2>/dev/null | tr -d '\r'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# libfaketime shares a semaphore and a memory block between a process and
# all its descendants (their names, from the process id of the first one,
# in FAKETIME_SHARED). The 32-bit and the 64-bit library lay them out
# differently: a 32-bit process waits forever on a 64-bit one's semaphore,
# and a 64-bit one reads a wrong clock from a 32-bit one's block. Wine
# starts programs of the other class itself (a first 32-bit program starts
# the 64-bit server, services and desktop; services.exe starts 32-bit
# services), so the classes are kept apart:
# - every program the scenario starts begins a family of its own;
# - the session (server, services, desktop) is started by a 64-bit program
#   alone, and its names are removed once it has ended, so that what the
#   session starts later (a 32-bit service) finds none and begins its own;
# - file times are left real (NO_FAKE_STAT), or the moved clock makes the
#   prefix look outdated and the 64-bit wineboot runs its 32-bit part.
# A process ended by Wine leaves its names behind, and a later program with
# the same id would fail on them: each program's names are cleared before
# it starts and when the scenario ends.
faked_forget() { rm -f "/dev/shm/sem.faketime_sem_$1" "/dev/shm/faketime_shm_$1"; }
faked_loader() { # FILE LOADER: a loader that runs under faketime
  cat >"$1" <<WRAPPER
#!/bin/sh
rm -f /dev/shm/sem.faketime_sem_\$\$ /dev/shm/faketime_shm_\$\$
echo \$\$ >>"$WINEPREFIX/faked-pids"
LD_PRELOAD='$faketime_lib' NO_FAKE_STAT=1 FAKETIME=\$(cat "$WINEPREFIX/faketime") exec "$2" "\$@"
WRAPPER
  chmod +x "$1"
}
faked_session() {
  "$WINEPREFIX/faked-wine64" wineboot >/dev/null 2>&1
  faked_forget "$(tail -n1 "$WINEPREFIX/faked-pids")"
}
eval "prefix_$(declare -f e2e_cleanup)"
e2e_cleanup() {
  local pids=
  [ -n "${WINEPREFIX:-}" ] && [ -f "$WINEPREFIX/faked-pids" ] && pids=$(cat "$WINEPREFIX/faked-pids")
  prefix_e2e_cleanup
  for pid in $pids; do faked_forget "$pid"; done
}

# Once the display is there and before any program runs, the Wine loader is
# replaced by one that runs under faketime with the offset of the prefix's
# file "faketime": first unmoved to read where the tick count stands, then
# moved so that it reaches 2^32 $lead seconds later.
real_wine=$wine
eval "display_$(declare -f applet_xvfb)"
applet_xvfb() {
  display_applet_xvfb
  faked_loader "$WINEPREFIX/faked-wine" "$real_wine"
  faked_loader "$WINEPREFIX/faked-wine64" "$wine64"
  wine=$WINEPREFIX/faked-wine
  echo +0 >"$WINEPREFIX/faketime"
  local t0 at offset t1
  faked_session
  t0=$(tick)
  at=$(now_ms)
  [[ $t0 =~ ^[0-9]+$ ]] || e2e_fail "no tick count from the probe: '$t0'"
  "$wineserver" -k
  "$wineserver" -w
  offset=$(((wrap - lead * 1000 - t0 - ($(now_ms) - at)) / 1000))
  printf '%+d\n' "$offset" >"$WINEPREFIX/faketime"
  faked_session
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
