#!/usr/bin/env bash
# Power events (WM_POWERBROADCAST from kestrani-client): a suspend stops the
# frames and lets go of the LCD (the stand-in's session log shows the
# close); the resume binds the LCD again and the frames go on within about
# a second. Other power events change nothing. A message (WM_COPYDATA)
# between the suspend and the resume changes the page but leaves the LCD
# alone until the resume, which then shows it.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
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
