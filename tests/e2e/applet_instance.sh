#!/usr/bin/env bash
# One applet at a time: a second copy asks the running one to close and
# takes its place; a start with "/uninstall" closes the running copy and
# ends itself; "Restart" (command 1004) leaves exactly one copy, a new one;
# a close request carrying the applet's own process id is ignored, any
# other closes it. The end of the session (WM_QUERYENDSESSION) is answered
# TRUE, and the applet ends. A copy whose mutex refuses to be opened (as an
# elevated one does to a start with the user's rights) still counts as
# running: it is asked to close and the new copy takes its place; when it
# does not close, the start shows the "no response" box.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup

# Waits up to $1 seconds until exactly one copy runs whose id is not $2.
one_new_copy() {
  local i
  for ((i = 0; i < $1 * 4; i++)); do
    if [ "$(client count)" = "windows=1 processes=1" ]; then
      now=$(client pid)
      [ -n "$now" ] && [ "$now" != "$2" ] && return 0
    fi
    sleep 0.25
  done
  return 1
}

applet_start
client wait-window 20 >/dev/null || e2e_fail "the applet did not start"
first=$(client pid)
first_unix=$applet_pid
[ "$(client count)" = "windows=1 processes=1" ] || e2e_fail "after one start: $(client count)"

# A second copy.
t0=$(date +%s%N)
applet_start
second_unix=$applet_pid
for ((i = 0; i < 100; i++)); do
  kill -0 "$first_unix" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$first_unix" 2>/dev/null && e2e_fail "the first copy still runs 10 s after the second started"
echo "the first copy ended $((($(date +%s%N) - t0) / 1000000)) ms after the second was started"
one_new_copy 10 "$first" || e2e_fail "after a second start: $(client count), pid $(client pid) (first $first)"
second=$(client pid)
sleep 2
[ "$(client count)" = "windows=1 processes=1" ] || e2e_fail "two seconds later: $(client count)"

# Close requests: the own process id is ignored, another id closes.
client applet-message "$second" 16 >/dev/null
sleep 1
[ "$(client pid)" = "$second" ] || e2e_fail "a close request with the own id closed the applet"
client applet-message 1 16 >/dev/null
client wait-gone 10 || e2e_fail "a close request from another id did not close the applet"
wait "$second_unix" 2>/dev/null

# /uninstall: closes the running copy and ends itself.
applet_start
client wait-window 20 >/dev/null || e2e_fail "the applet did not start again"
(cd "$appdir" && timeout 30 "$wine" "$appwin\\Kestrani.exe" /uninstall >/dev/null 2>&1)
rc=$?
((rc != 124)) || e2e_fail "a start with /uninstall did not end"
client wait-gone 10 || e2e_fail "after /uninstall: $(client count)"
# Without a running copy the switch only ends the program.
(cd "$appdir" && timeout 30 "$wine" "$appwin\\Kestrani.exe" -UNINSTALL >/dev/null 2>&1)
rc=$?
((rc != 124)) || e2e_fail "-UNINSTALL with no copy running did not end"
[ "$(client count)" = "windows=0 processes=0" ] || e2e_fail "-UNINSTALL started a copy"

# Restart from the tray menu.
applet_start
client wait-window 20 >/dev/null || e2e_fail "the applet did not start a third time"
third=$(client pid)
client command 1004 >/dev/null || e2e_fail "command 1004 not delivered"
one_new_copy 15 "$third" || e2e_fail "after Restart: $(client count), pid $(client pid) (before $third)"
sleep 2
[ "$(client count)" = "windows=1 processes=1" ] || e2e_fail "two seconds after Restart: $(client count)"

# Log-off: the applet lets the session end (a 0 would veto it) and closes.
answer=$(client end-session) || e2e_fail "WM_QUERYENDSESSION not answered"
[ "$answer" = "result=1" ] || e2e_fail "WM_QUERYENDSESSION answered '$answer', expected result=1"
client wait-gone 10 || e2e_fail "after WM_QUERYENDSESSION: $(client count)"
wait "$applet_pid" 2>/dev/null

# locked_copy [deaf]: the stand-in for an elevated copy; sets locked_pid.
locked_copy() {
  "$wine" "$appwin\\kestrani-client.exe" locked-copy "$@" >"$work/locked.log" 2>&1 &
  locked_pid=$!
  for ((i = 0; i < 100; i++)); do
    grep -q '^locked copy' "$work/locked.log" && break
    sleep 0.1
  done
  grep -q '^locked copy .*open refused' "$work/locked.log" || e2e_fail "no locked copy: $(cat "$work/locked.log")"
}
locked_copy
applet_start
for ((i = 0; i < 100; i++)); do
  kill -0 "$locked_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$locked_pid" 2>/dev/null && e2e_fail "a copy behind a refused mutex was not asked to close: $(cat "$work/locked.log")"
client wait-window 20 >/dev/null || e2e_fail "no applet after the locked copy ended"
sleep 1
[ "$(client count)" = "windows=1 processes=1" ] || e2e_fail "after the locked copy: $(client count)"
client applet-message 1 16 >/dev/null
client wait-gone 10 || e2e_fail "the applet did not close"
wait "$applet_pid" 2>/dev/null

# One that does not close: the box, then the start ends; the copy stays.
locked_copy deaf
(cd "$appdir" && exec timeout 60 "$wine" "$appwin\\Kestrani.exe" /uninstall >/dev/null 2>&1) &
applet_pid=$!
text=$(client dialog-text) || e2e_fail "no box when the locked copy does not close"
echo "box: $(tr '\n' '|' <<<"$text")"
[ "$(head -n1 <<<"$text")" = "Error: " ] || e2e_fail "box text '$text'"
grep -q '^no respone from other instance!' <<<"$text" || e2e_fail "box text '$text'"
client dialog-close >/dev/null
for ((i = 0; i < 100; i++)); do
  kill -0 "$applet_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$applet_pid" 2>/dev/null && e2e_fail "the start went on after the box"
kill -0 "$locked_pid" 2>/dev/null || e2e_fail "the deaf copy ended"
kill "$locked_pid"
echo "PASS"
