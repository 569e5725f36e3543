#!/usr/bin/env bash
# An LCD that cannot be opened: while the LCD stand-in's enumeration fails,
# the applet tries again on every tick (initialise, connect, enumerate,
# de-initialise, about four times a second), with the library loaded once
# for all the attempts; no frame is sent. Once the enumeration succeeds the
# applet binds the LCD and its frames arrive.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
echo "enumerate = 259" >"$appdir/lgLcd.profile"
applet_start
client wait-window 30 >/dev/null || e2e_fail "no applet window"
sleep 3
attempts=$(grep -c 'enumerate index=0 result=259' "$lcdout/session.log")
((attempts >= 8)) || e2e_fail "$attempts attempts to open the LCD in 3 s, expected one a tick"
loads=$(grep -c ' init result=0 since_load=1$' "$lcdout/session.log")
[ "$loads" = 1 ] || e2e_fail "the library was loaded $loads times for $attempts attempts"
[ "$(frame_count)" = 0 ] || e2e_fail "frames were sent without an open LCD"
grep -q 'open result' "$lcdout/session.log" && e2e_fail "the LCD was opened after a failed enumeration"

# The stand-in reads its profile on every call.
rm "$appdir/lgLcd.profile"
wait_frames 4 5 || e2e_fail "no frames once the LCD can be opened"
grep -q 'open result=0' "$lcdout/session.log" || e2e_fail "the LCD was not opened"
echo "attempts in the first 3 s: $attempts, library loads: $loads"
echo "PASS"
