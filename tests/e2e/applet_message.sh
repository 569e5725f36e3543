#!/usr/bin/env bash
# Messages from another program by WM_COPYDATA (kestrani-client): a display
# time of 1 shows "Information" and the text until a message with time 0; a
# time of 4000 ends by itself; a second message replaces the text and starts
# the time anew; a message with time 1 after a timed one stays when the
# timed one's time has passed; a text without its NUL shows exactly cbData
# bytes; the page buttons leave the message page alone; the LCD stand-in
# records the foreground requests while the page shows and the release
# afterwards.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
applet_running

msg() { render_page 5 "$work/m-$1.bmp" --set "message=$2"; }
shows() { # name seconds: the message page with that text within the time
  wait_page "$work/m-$1.bmp" "$2" "$work/f.pgm"
}
no_popup_within() { # seconds
  local i
  for ((i = 0; i < $1 * 4; i++)); do
    grab_frame "$work/f.pgm"
    is_popup "$work/f.pgm" || return 0
  done
  return 1
}
asks() { awk '$2 == 1' "$lcdout/foreground.log" 2>/dev/null | wc -l; }
last_flag() { tail -n1 "$lcdout/foreground.log" 2>/dev/null | awk '{ print $2 }'; }

# Time 1: until a message with time 0; the foreground is asked for on every tick.
msg backup "Backup finished"
client copydata 1 "Backup finished" >/dev/null || e2e_fail "WM_COPYDATA not delivered"
shows backup 1 || e2e_fail "time 1 does not show Information / Backup finished"
a1=$(asks)
sleep 4
shows backup 1 || e2e_fail "the time-1 message ended by itself"
a2=$(asks)
((a2 >= a1 + 8)) || e2e_fail "foreground asked for $((a2 - a1)) times in 4 s of the message page"
[ "$(last_flag)" = 1 ] || e2e_fail "the foreground was given back while the message shows"
# The page buttons leave the message page alone.
press 8 4
sleep 1
shows backup 1 || e2e_fail "button 4 or 3 left the message page"
client copydata 0 "" >/dev/null
no_popup_within 2 || e2e_fail "time 0 did not end the message page"
sleep 0.5
[ "$(last_flag)" = 0 ] || e2e_fail "the foreground was not given back: $(tail -n3 "$lcdout/foreground.log")"
echo "foreground: $a1 -> $a2 requests while shown, then: $(tail -n1 "$lcdout/foreground.log")"

# Time 4000 ends by itself.
msg four "Four seconds"
client copydata 4000 "Four seconds" >/dev/null
shows four 1 || e2e_fail "time 4000 does not show its text"
sleep 1.5
shows four 1 || e2e_fail "time 4000 ended before its time"
no_popup_within 6 || e2e_fail "time 4000 did not end by itself"

# A second message replaces the text and starts the time anew: the first
# one's 6 s have passed, the second one's not.
msg first "First"
msg second "Second"
client copydata 6000 "First" >/dev/null
sent=$(date +%s%N)
shows first 1 || e2e_fail "no first message"
sleep 2
client copydata 6000 "Second" >/dev/null
shows second 1 || e2e_fail "the second message did not replace the first"
while (($(date +%s%N) - sent < 7000000000)); do sleep 0.1; done
shows second 1 || e2e_fail "the second message ended with the first one's time"
no_popup_within 8 || e2e_fail "the second message did not end"

# A timed message, then one with time 1: the first one's time ends nothing.
msg timed "Timed"
msg held "Held"
client copydata 2000 "Timed" >/dev/null
shows timed 1 || e2e_fail "no timed message"
client copydata 1 "Held" >/dev/null
shows held 1 || e2e_fail "the time-1 message did not replace the timed one"
sleep 3
shows held 1 || e2e_fail "the time-1 message ended with the timed message's time"
client copydata 0 "" >/dev/null
no_popup_within 2 || e2e_fail "time 0 did not end the message page"

# Without a NUL: exactly cbData bytes, not the bytes behind them.
msg bounded "Bounded"
msg bou "Bou"
client copydata-raw 1 "Bounded" >/dev/null
shows bounded 1 || e2e_fail "a text without its NUL does not show as sent (7 bytes)"
client copydata-raw 1 "Bounded" 3 >/dev/null
shows bou 1 || e2e_fail "cbData 3 does not show the first three bytes"
client copydata 0 "" >/dev/null
no_popup_within 2 || e2e_fail "time 0 did not end the message page"
echo "PASS"
