#!/usr/bin/env bash
# MorvaithSvc on today's processors: the Alder Lake stand-in (Intel named by
# model, multiplier clock, 8-bit readout) and the Zen 4 stand-in (CCD
# temperatures, APERF/MPERF clock, no bus clock). For each, installed as a
# service: the published block and the log; then -debug in a terminal
# (tmux): the model line and the lines of its clock model.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix
sock="kes-svc-today-$$"
session=today
screen() { tmux -L "$sock" capture-pane -p -J -S -3000 -t "$session" | sed 's/ *$//'; }
cleanup() {
  tmux -L "$sock" kill-server >/dev/null 2>&1
  e2e_cleanup
}
trap cleanup EXIT

wait_screen() { # pattern seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    screen | grep -aEq -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# Installs and starts the service on the profile, checks what every profile
# shares, leaves the record in $rec and the log in $logtext.
run_service() { # folder profile signature generation
  e2e_stage "$1" "$2"
  [ -n "${holder:-}" ] || e2e_hold
  out=$(svc -install)
  [ "$out" = "Status : SERVICE_RUNNING" ] || e2e_fail "$2: install printed: $out"
  wait_accepted 20 || e2e_fail "$2: no record"
  sleep 2.5
  rec=$(dump)
  cpus=$(field SystemProcessors <<<"$rec")
  [ "$(field Signature <<<"$rec")" = "$3" ] || e2e_fail "$2: signature: $rec"
  [ "$(field Generation <<<"$rec")" = "$4" ] || e2e_fail "$2: generation: $rec"
  [ "$(field ProcessorCount <<<"$rec")" = "$cpus" ] || e2e_fail "$2: processor count: $rec"
  IFS=, read -r -a temps <<<"$(field Temperatures <<<"$rec")"
  for ((i = cpus; i < 16; i++)); do in_range "${temps[i]}" 0 0 "$2: temperature $i"; done
  logtext=$(tr -d '\r' <"$svcdir/MorvaithSvc.log")
  out=$(svc -uninstall)
  [ "$out" = "Status : not installed" ] || e2e_fail "$2: uninstall printed: $out"
}

# Runs -debug until the sampler's lines show, then ends it with Escape.
run_debug() { # profile
  tmux -L "$sock" -u new-session -d -s "$session" -x 160 -y 50 \
    "env LC_ALL=C.UTF-8 WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all '$wine' '$svcwin\\MorvaithSvc.exe' -debug; echo EXITED; sleep 600" ||
    e2e_fail "cannot start tmux"
  wait_screen ' - TSCClock: ' 20 || e2e_fail "$1: no sampler lines: $(screen)"
  sleep 1.5
  debug=$(screen)
  tmux -L "$sock" send-keys -t "$session" Escape
  wait_screen '^EXITED$' 5 || e2e_fail "$1: Escape did not end it"
  tmux -L "$sock" kill-session -t "$session" >/dev/null 2>&1
}

# Alder Lake: the multiplier clock model under code 13; processor 1's
# readout has bit 23 set, which the 8-bit readout counts (-34 C, not 94 C).
run_service Alder alderlake 0x90672 13
[ "$(field TjMax <<<"$rec")" = 100 ] || e2e_fail "alderlake: TjMax: $rec"
in_range "$(field TscClock <<<"$rec")" 3199 3201 "alderlake: TscClock"
in_range "$(field CpuClock <<<"$rec")" 4890 4910 "alderlake: CpuClock"
in_range "$(field BusClock <<<"$rec")" 99 101 "alderlake: BusClock"
in_range "$(field MultiplierClock <<<"$rec")" 4851 4949 "alderlake: MultiplierClock"
in_range "$(field ReaderMultiplierClock <<<"$rec")" 4851 4949 "alderlake: reader's multiplier clock"
[ "$(field ReaderBusClock <<<"$rec")" != none ] || e2e_fail "alderlake: reader took no bus clock: $rec"
in_range "${temps[0]}" 40 40 "alderlake: temperature 0"
((cpus < 2)) || in_range "${temps[1]}" -34 -34 "alderlake: temperature 1"
grep -aq " - Alder Lake (Family 6 Model 97 Stepping 2), $cpus threads\$" <<<"$logtext" ||
  e2e_fail "alderlake: model line: $logtext"
grep -aq ' - Intel Dynamic Acceleration technology (IDA) found$' <<<"$logtext" || e2e_fail "alderlake: IDA line"
grep -aEq ' - Frequency: 3200 Mhz: [0-9]+\.[0-9]{6} Mhz \(32\.0 \* [0-9]+\.[0-9]{6}\)$' <<<"$logtext" ||
  e2e_fail "alderlake: frequency line: $logtext"
grep -aq $' - TjMax: 100\xB0C (212\xB0F)$' <<<"$logtext" || e2e_fail "alderlake: TjMax line"

run_debug alderlake
grep -aq "^Alder Lake (Family 6 Model 97 Stepping 2), $cpus threads\$" <<<"$debug" ||
  e2e_fail "alderlake -debug: model line: $debug"
grep -aEq '^Frequency: 3200 Mhz: [0-9.]+ Mhz \(32\.0 \* [0-9.]+\)$' <<<"$debug" ||
  e2e_fail "alderlake -debug: frequency line: $debug"
grep -aEq '^[0-9].* - 4900 Mhz: [0-9.]+ Mhz \(49\.0 \* [0-9.]+\)$' <<<"$debug" ||
  e2e_fail "alderlake -debug: per-second line: $debug"
grep -aEq '^[0-9].* - Core #01: [0-9.]+ Mhz \(IDA 49, FID 32\.0\)$' <<<"$debug" ||
  e2e_fail "alderlake -debug: core line: $debug"

# Zen 4: processors 0 and 1 lie on CCD 0 (63.25 C, not Tctl 65.5); the
# effective clock from APERF/MPERF; no bus clock, so a reader takes the TSC clock.
run_service Zen zen4 0xA60F12 14
[ "$(field TjMax <<<"$rec")" = 0 ] || e2e_fail "zen4: TjMax: $rec"
# No bus clock to snap to: the TSC clock is as measured over one pass,
# which a busy machine may stretch by a few parts in a thousand.
in_range "$(field TscClock <<<"$rec")" 4455 4545 "zen4: TscClock"
in_range "$(field CpuClock <<<"$rec")" 5445 5555 "zen4: CpuClock"
[ "$(field BusClock <<<"$rec")" = 0.000000 ] || e2e_fail "zen4: bus clock: $rec"
[ "$(field MultiplierClock <<<"$rec")" = "$(field TscClock <<<"$rec")" ] || e2e_fail "zen4: multiplier clock: $rec"
[ "$(field ReaderBusClock <<<"$rec")" = none ] || e2e_fail "zen4: reader took a bus clock: $rec"
for ((i = 0; i < cpus && i < 16; i++)); do in_range "${temps[i]}" 63.25 63.25 "zen4: temperature $i"; done
grep -aq " - Zen 4 (Family 25 Model 61), $cpus threads\$" <<<"$logtext" || e2e_fail "zen4: model line: $logtext"
freq=$(sed -n 's/^.* - Frequency: \([0-9]*\) Mhz$/\1/p' <<<"$logtext")
[ -n "$freq" ] || e2e_fail "zen4: frequency line: $logtext"
in_range "$freq" 4455 4545 "zen4: logged frequency"
grep -aq 'IDA\|TjMax' <<<"$logtext" && e2e_fail "zen4: multiplier lines in the log: $logtext"

run_debug zen4
grep -aq "^Zen 4 (Family 25 Model 61), $cpus threads\$" <<<"$debug" || e2e_fail "zen4 -debug: model line: $debug"
grep -aEq '^Frequency: 4[45][0-9]{2}\.[0-9]{6} Mhz$' <<<"$debug" || e2e_fail "zen4 -debug: frequency line: $debug"
grep -aEq '^[0-9].* - 5[45][0-9]{2}\.[0-9]{6} Mhz$' <<<"$debug" || e2e_fail "zen4 -debug: per-second line: $debug"
grep -aq 'IDA\|TjMax\|Core #' <<<"$debug" && e2e_fail "zen4 -debug: multiplier lines: $debug"
echo PASS
