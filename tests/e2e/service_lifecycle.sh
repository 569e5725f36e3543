#!/usr/bin/env bash
# MorvaithSvc through Wine's service control manager with the Intel (Haswell)
# stand-in profile: install and start, the published block, pause and
# continue, stop within about a second, the log, and removal of a paused service.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix
e2e_stage Morvaith haswell
cp "$bin/svcctl.exe" "$svcdir/"
e2e_hold
ctl() { "$wine" "$svcwin\\svcctl.exe" "$@" 2>/dev/null | tr -d '\r'; }
cpus=$("$wine" "$svcwin\\blockdump.exe" 2>/dev/null | tr -d '\r' | field SystemProcessors)

# Install and start: the status line, the quoted binary path, the description.
out=$(svc -install)
[ "$out" = "Status : SERVICE_RUNNING" ] || e2e_fail "install printed: $out"
reg=$("$wine" reg query 'HKLM\System\CurrentControlSet\Services\MorvaithSvc' 2>/dev/null | tr -d '\r')
grep -aq 'ImagePath *REG_SZ *"C:\\Morvaith\\MorvaithSvc.exe"' <<<"$reg" || e2e_fail "path not quoted: $reg"
grep -aq "Description *REG_SZ *Stellt Hardwareinformationen f.*r Kestrani zur Verf.*gung" <<<"$reg" ||
  e2e_fail "description missing: $reg"

# The first record: all loads 0; the record as the profile says.
first=$("$wine" "$svcwin\\blockdump.exe" --wait 15 2>/dev/null | tr -d '\r')
[ "$(field Accepted <<<"$first")" = 1 ] || e2e_fail "no record: $first"
[ "$(field Loads <<<"$first" | tr ',' '\n' | sort -u)" = "0.000000" ] || e2e_fail "first loads: $first"
sleep 1.5
rec=$(dump)
[ "$(field RecordSize <<<"$rec")" = 316 ] || e2e_fail "size: $rec"
[ "$(field VersionMS <<<"$rec")" = "$(printf '0x%04X%04X' "${version_parts[0]}" "${version_parts[1]}")" ] || e2e_fail "version: $rec"
[ "$(field ServiceText <<<"$rec")" = "Service $version" ] || e2e_fail "service text: $rec"
[ "$(field Signature <<<"$rec")" = 0x306C3 ] || e2e_fail "signature: $rec"
[ "$(field ProcessorCount <<<"$rec")" = "$cpus" ] || e2e_fail "processor count: $rec"
[ "$(field TjMax <<<"$rec")" = 100 ] || e2e_fail "TjMax: $rec"
[ "$(field Generation <<<"$rec")" = 5 ] || e2e_fail "generation: $rec"
in_range "$(field TscClock <<<"$rec")" 3399 3401 TscClock
in_range "$(field CpuClock <<<"$rec")" 3790 3810 CpuClock
in_range "$(field BusClock <<<"$rec")" 99 101 BusClock
in_range "$(field MultiplierClock <<<"$rec")" 3762 3838 MultiplierClock
[ "$(field ReaderBusClock <<<"$rec")" != none ] || e2e_fail "reader took no bus clock: $rec"
# Temperatures of the profile (TjMax 100 minus 60, 58, ...), slots past the count 0.
IFS=, read -r -a temps <<<"$(field Temperatures <<<"$rec")"
IFS=, read -r -a loads <<<"$(field Loads <<<"$rec")"
for ((i = 0; i < 16; i++)); do
  if ((i < cpus && i < 8)); then
    in_range "${temps[i]}" $((40 + 2 * i)) $((40 + 2 * i)) "temperature $i"
    in_range "${loads[i]}" 0 1000 "load $i"
  elif ((i >= cpus)); then
    in_range "${temps[i]}" 0 0 "temperature $i"
    in_range "${loads[i]}" 0 0 "load $i"
  fi
done

# Started with no argument while the service runs: only the status line.
out=$(svc)
[ "$out" = "Status : SERVICE_RUNNING" ] || e2e_fail "no-argument run printed: $out"
out=$(svc -frobnicate)
[ "$out" = "Status : SERVICE_RUNNING" ] || e2e_fail "unknown word printed: $out"
out=$(svc -INSTALL)
[ "$out" = "Status : SERVICE_RUNNING" ] || e2e_fail "second install printed: $out"

# Pause freezes the record, continue resumes it.
[ "$(ctl pause MorvaithSvc)" = State=7 ] || e2e_fail "pause not reported"
sleep 1.2
a=$(dump)
sleep 2.5
b=$(dump)
[ "$a" = "$b" ] || e2e_fail "record changed while paused"
[ "$(ctl continue MorvaithSvc)" = State=4 ] || e2e_fail "continue not reported"
sleep 2.5
c=$(dump)
[ "$a" != "$c" ] || e2e_fail "record did not resume"

# The log: version, model, frequency and TjMax lines, each dated.
log="$svcdir/MorvaithSvc.log"
[ -f "$log" ] || e2e_fail "no log file"
tr -d '\r' <"$log" >"$svcdir/log.txt"
grep -aq " - Morvaith Service ${version//./\\.}\$" "$svcdir/log.txt" || e2e_fail "version line: $(cat "$log")"
grep -aq " - Haswell (Family 6 Model 3C Stepping 3), $cpus threads\$" "$svcdir/log.txt" || e2e_fail "model line"
grep -aq ' - Intel Dynamic Acceleration technology (IDA) found$' "$svcdir/log.txt" || e2e_fail "IDA line"
grep -aEq ' - Frequency: 3400 Mhz: [0-9]+\.[0-9]{6} Mhz \(34\.0 \* [0-9]+\.[0-9]{6}\)$' "$svcdir/log.txt" ||
  e2e_fail "frequency line"
grep -aq $' - TjMax: 100\xB0C (212\xB0F)$' "$svcdir/log.txt" || e2e_fail "TjMax line"
grep -avq '^[0-9].* - ' "$svcdir/log.txt" && e2e_fail "undated log line: $(cat "$log")"

# Stop ends the worker within about a second.
start=$(date +%s%N)
ctl stop MorvaithSvc >/dev/null
for ((i = 0; i < 40; i++)); do
  [ "$(sc_state)" = STOPPED ] && break
  sleep 0.1
done
elapsed=$((($(date +%s%N) - start) / 1000000))
[ "$(sc_state)" = STOPPED ] || e2e_fail "not stopped"
((elapsed < 3000)) || e2e_fail "stop took $elapsed ms"
tr -d '\r' <"$log" | tail -1 | grep -aq ' - Leaving Service$' || e2e_fail "no Leaving Service"
[ "$(dump | field Section)" = none ] || e2e_fail "section still there after stop"

# A new start deletes the previous run's log; removing a paused service
# stops it first.
"$wine" sc start MorvaithSvc >/dev/null 2>&1
"$wine" "$svcwin\\blockdump.exe" --wait 15 >/dev/null 2>&1 || e2e_fail "no record after restart"
[ "$(grep -ac 'Leaving Service' "$log")" = 0 ] || e2e_fail "old log kept"
[ "$(ctl pause MorvaithSvc)" = State=7 ] || e2e_fail "second pause"
out=$(svc -uninstall)
[ "$out" = "Status : not installed" ] || e2e_fail "uninstall printed: $out"
tr -d '\r' <"$log" | tail -1 | grep -aq ' - Leaving Service$' || e2e_fail "no Leaving Service after uninstall"
[ "$(dump | field Section)" = none ] || e2e_fail "section still there after uninstall"
out=$(svc /Uninstall)
[ "$out" = "Status : not installed" ] || e2e_fail "second uninstall printed: $out"
echo "PASS"
