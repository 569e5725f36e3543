#!/usr/bin/env bash
# MorvaithSvc -debug in a terminal (tmux): the start-up lines without a date,
# the TjMax line with its degree sign and an empty line after it, one dated
# line per second and the sampler's own dated lines; other keys do not end
# it, Escape ends it within the second.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix
e2e_stage Dbg haswell
sock="kes-svc-debug-$$"
session=dbg
screen() { tmux -L "$sock" capture-pane -p -J -S -3000 -t "$session" | sed 's/ *$//'; }
cleanup() {
  tmux -L "$sock" kill-session -t "$session" >/dev/null 2>&1
  e2e_cleanup
}
trap cleanup EXIT

tmux -L "$sock" -u new-session -d -s "$session" -x 160 -y 50 \
  "env LC_ALL=C.UTF-8 WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all '$wine' '$svcwin\\MorvaithSvc.exe' -debug; echo EXITED; sleep 600" ||
  e2e_fail "cannot start tmux"

wait_screen() { # pattern seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    screen | grep -aEq -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

wait_screen ' - TSCClock: ' 20 || e2e_fail "no sampler lines: $(screen)"
out=$(screen)
first=$(grep -av '^$' <<<"$out" | head -1)
[ "$first" = "Morvaith Service $version" ] || e2e_fail "first line: $first"
grep -aq '^Haswell (Family 6 Model 3C Stepping 3), [0-9]* threads$' <<<"$out" || e2e_fail "model line: $out"
grep -aq '^Intel Dynamic Acceleration technology (IDA) found$' <<<"$out" || e2e_fail "IDA line"
grep -aEq '^Frequency: 3400 Mhz: [0-9.]+ Mhz \(34\.0 \* [0-9.]+\)$' <<<"$out" || e2e_fail "frequency line: $out"
grep -aA1 '^TjMax: 100°C (212°F)$' <<<"$out" | sed -n 2p | grep -aq '^$' ||
  e2e_fail "TjMax line or the empty line after it: $out"
grep -aEq '^[0-9].* - 3800 Mhz: [0-9.]+ Mhz \(38\.0 \* [0-9.]+\)$' <<<"$out" || e2e_fail "per-second line"
grep -aEq '^[0-9].* - Core #01: [0-9.]+ Mhz \(IDA 38, FID 34\.0\)$' <<<"$out" || e2e_fail "sampler core line"

# Other keys wake the wait but do not end the loop.
tmux -L "$sock" send-keys -t "$session" x Enter Space q
sleep 2.5
screen | grep -aq '^EXITED$' && e2e_fail "ended by another key"
before=$(screen | grep -ac ' - 3800 Mhz')
sleep 2
after=$(screen | grep -ac ' - 3800 Mhz')
((after > before)) || e2e_fail "no more per-second lines after other keys"

# Escape ends it within the second; the program then prints its status.
start=$(date +%s%N)
tmux -L "$sock" send-keys -t "$session" Escape
wait_screen '^EXITED$' 5 || e2e_fail "Escape did not end it"
elapsed=$((($(date +%s%N) - start) / 1000000))
((elapsed < 2000)) || e2e_fail "Escape took $elapsed ms"
screen | grep -aq '^Status : not installed$' || e2e_fail "no status line: $(screen)"
echo PASS
