#!/usr/bin/env bash
# Where MorvaithSvc finds the driver library, and the AMD record: without the
# library anywhere the service logs "File not found !" and "Leaving Service"
# and publishes nothing; with the library only in a PATH folder written
# without a trailing separator it is found there and publishes the AMD
# (family 10h) stand-in profile.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
e2e_prefix
e2e_stage Svc nodriver
e2e_hold
log="$svcdir/MorvaithSvc.log"

wait_log() { # text seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    [ -f "$log" ] && tr -d '\r' <"$log" | grep -aq -- "$1" && return 0
    sleep 0.1
  done
  return 1
}

# No library beside the program, in the current directory or on PATH.
svc -install >/dev/null
wait_log ' - Leaving Service$' 10 || e2e_fail "no Leaving Service: $(cat "$log" 2>/dev/null)"
tr -d '\r' <"$log" >"$svcdir/log.txt"
[ "$(wc -l <"$svcdir/log.txt")" = 2 ] || e2e_fail "unexpected log: $(cat "$svcdir/log.txt")"
head -1 "$svcdir/log.txt" | grep -aq ' - File not found !$' || e2e_fail "no File not found line"
[ "$(dump | field Section)" = none ] || e2e_fail "section published without the library"
[ "$(svc -uninstall)" = "Status : not installed" ] || e2e_fail "uninstall"

# The library only in C:\Drv, which the system PATH lists last, with no
# trailing separator. Services take the system environment when the prefix
# starts, so the prefix is restarted after the change.
mkdir -p "$WINEPREFIX/drive_c/Drv"
cp "$bin/WinRing0.dll" "$WINEPREFIX/drive_c/Drv/"
echo "base=amd10h" >"$WINEPREFIX/drive_c/Drv/WinRing0.profile"
"$wine" reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH \
  /t REG_EXPAND_SZ /d 'C:\windows\system32;C:\windows;C:\windows\system32\wbem;C:\Drv' /f \
  >/dev/null 2>&1 || e2e_fail "cannot set PATH"
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w
e2e_hold
cpus=$(dump | field SystemProcessors)

[ "$(svc -install)" = "Status : SERVICE_RUNNING" ] || e2e_fail "install with PATH library"
rec=$("$wine" "$svcwin\\blockdump.exe" --wait 15 2>/dev/null | tr -d '\r')
[ "$(field Accepted <<<"$rec")" = 1 ] || e2e_fail "no record: $rec $(cat "$log")"
sleep 1.5
rec=$(dump)
[ "$(field Signature <<<"$rec")" = 0x100F42 ] || e2e_fail "signature: $rec"
[ "$(field ProcessorCount <<<"$rec")" = "$cpus" ] || e2e_fail "processor count: $rec"
[ "$(field Generation <<<"$rec")" = 12 ] || e2e_fail "generation: $rec"
[ "$(field TjMax <<<"$rec")" = 0 ] || e2e_fail "TjMax: $rec"
[ "$(field BusClock <<<"$rec")" = 0.000000 ] || e2e_fail "bus clock written: $rec"
[ "$(field ReaderBusClock <<<"$rec")" = none ] || e2e_fail "reader took a bus clock: $rec"
tsc=$(field TscClock <<<"$rec")
in_range "$tsc" 2900 3100 TscClock
[ "$(field MultiplierClock <<<"$rec")" = "$tsc" ] || e2e_fail "MultiplierClock is not TscClock: $rec"
[ "$(field CpuClock <<<"$rec")" = "$tsc" ] || e2e_fail "CpuClock is not TscClock: $rec"
IFS=, read -r -a temps <<<"$(field Temperatures <<<"$rec")"
for ((i = 0; i < 16; i++)); do
  if ((i < cpus && i < 4)); then
    in_range "${temps[i]}" 52.625 52.625 "temperature $i"
  elif ((i >= cpus)); then
    in_range "${temps[i]}" 0 0 "temperature $i"
  fi
done
tr -d '\r' <"$log" >"$svcdir/log.txt"
grep -aEq " - AMD .*, $cpus threads\$" "$svcdir/log.txt" || e2e_fail "model line: $(cat "$svcdir/log.txt")"
grep -aEq ' - Frequency: [0-9]+ Mhz$' "$svcdir/log.txt" || e2e_fail "frequency line"
grep -aq 'TjMax' "$svcdir/log.txt" && e2e_fail "TjMax line for AMD"
[ "$(svc -uninstall)" = "Status : not installed" ] || e2e_fail "final uninstall"
echo PASS
