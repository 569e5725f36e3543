#!/usr/bin/env bash
# Power events (WM_POWERBROADCAST from kestrani-client): a suspend stops the
# frames and lets go of the LCD (the stand-in's session log shows the
# close); the resume binds the LCD again and the frames go on within about
# a second. Other power events change nothing. The keyboard's LCD manager
# (the stand-in LCore.exe at [Common] LCore): a suspend closes its window,
# and the resume starts it again with "/minimized", but only when the
# applet closed it and it is not running again by then.
# A message (WM_COPYDATA) between a suspend and the resume changes the page
# but leaves the LCD alone until the resume, which then shows it.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
mkdir -p "$WINEPREFIX/drive_c/LCD"
cp "$bin/LCore.exe" "$WINEPREFIX/drive_c/LCD/"
lcore_log="$WINEPREFIX/drive_c/LCD/LCore.log"
ini_put "$appdir/Kestrani.ini" Common LCore 'C:\LCD\LCore.exe'
applet_running
opens() { grep -c 'open result=0' "$lcdout/session.log"; }
closes() { grep -c 'close device=' "$lcdout/session.log"; }

# Power status change (10): nothing happens.
client power 10 >/dev/null || e2e_fail "WM_POWERBROADCAST not delivered"
wait_frames 4 3 || e2e_fail "frames stopped after a power status change"
[ "$(closes)" = 0 ] || e2e_fail "a power status change closed the LCD"

# suspend resume: one pair of the suspend and the resume group.
for pair in "4 7" "1 18"; do
  read -r suspend resume <<<"$pair"
  o=$(opens) c=$(closes)
  client power "$suspend" >/dev/null || e2e_fail "suspend $suspend not delivered"
  sleep 0.5
  [ "$(closes)" = $((c + 1)) ] || e2e_fail "suspend $suspend did not close the LCD: $(tail -n3 "$lcdout/session.log")"
  n=$(frame_count)
  sleep 2
  [ "$(frame_count)" = "$n" ] || e2e_fail "frames went on after suspend $suspend ($n, then $(frame_count))"
  t0=$(date +%s%N)
  client power "$resume" >/dev/null || e2e_fail "resume $resume not delivered"
  wait_frames 1 5 || e2e_fail "no frames after resume $resume"
  echo "resume $resume: first frame after $((($(date +%s%N) - t0) / 1000000)) ms"
  [ "$(opens)" = $((o + 1)) ] || e2e_fail "resume $resume did not open the LCD again"
  wait_frames 4 3 || e2e_fail "frames do not go on after resume $resume"
done
# LCore.exe did not run at those suspends: no resume started it.
[ ! -e "$lcore_log" ] || e2e_fail "LCore.exe started though the applet never closed it: $(cat "$lcore_log")"

# lcore_wait PATTERN: until a line of the stand-in's log matches (5 s).
lcore_wait() {
  local i
  for ((i = 0; i < 50; i++)); do
    grep -qE "$1" "$lcore_log" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
lcore_start() { # starts the stand-in as a user would; prints its process id
  local n i
  n=$(cat "$lcore_log" 2>/dev/null | grep -c '^start ')
  "$wine" 'C:\LCD\LCore.exe' >/dev/null 2>&1 &
  for ((i = 0; i < 50; i++)); do
    (($(cat "$lcore_log" 2>/dev/null | grep -c '^start ') > n)) && break
    sleep 0.1
  done
  ((i < 50)) || e2e_fail "the LCore.exe stand-in did not start"
  grep '^start ' "$lcore_log" | tail -n1 | awk '{ print $2 }'
}
# Running at the suspend: closed, and started again minimised at the resume.
pid=$(lcore_start) || exit 1
client power 4 >/dev/null || e2e_fail "suspend not delivered"
lcore_wait "^exit $pid\$" || e2e_fail "the suspend did not close LCore.exe: $(cat "$lcore_log")"
client power 7 >/dev/null || e2e_fail "resume not delivered"
lcore_wait "^start [0-9]+ /minimized\$" || e2e_fail "the resume did not start LCore.exe /minimized: $(cat "$lcore_log")"
restarted=$(awk '$1 == "start" && $3 == "/minimized" { print $2 }' "$lcore_log")
echo "LCore.exe $pid closed at the suspend, started again as $restarted with /minimized"
# Closed at the suspend, but running again at the resume: not started.
client power 4 >/dev/null
lcore_wait "^exit $restarted\$" || e2e_fail "the second suspend did not close LCore.exe: $(cat "$lcore_log")"
again=$(lcore_start) || exit 1
client power 7 >/dev/null
wait_frames 8 5
starts=$(grep -c '^start ' "$lcore_log")
[ "$starts" = 3 ] || e2e_fail "LCore.exe started though it was running at the resume: $(cat "$lcore_log")"
echo "LCore.exe $again running at the resume: not started again"

render_page 5 "$work/standby.bmp" --set "message=Standby"
o=$(opens)
client power 4 >/dev/null || e2e_fail "suspend not delivered"
sleep 0.5
n=$(frame_count)
client copydata 1 "Standby" >/dev/null || e2e_fail "WM_COPYDATA not delivered"
sleep 1.5
[ "$(opens)" = "$o" ] || e2e_fail "a message bound the LCD before the resume: $(tail -n3 "$lcdout/session.log")"
[ "$(frame_count)" = "$n" ] || e2e_fail "a message sent frames before the resume"
client power 7 >/dev/null || e2e_fail "resume not delivered"
wait_page "$work/standby.bmp" 3 "$work/f.pgm" || e2e_fail "the message page does not show after the resume"
[ "$(opens)" = $((o + 1)) ] || e2e_fail "the resume did not open the LCD once"
echo "PASS"
