#!/usr/bin/env bash
# Where MorvaithSvc finds the driver library, and the AMD record: without the
# library anywhere the service logs "File not found !" and "Leaving Service"
# and publishes nothing. The service, running as LocalSystem, does not load
# a library that lies only in a PATH folder: it logs the skipped file with
# what to do and publishes nothing. From the system folder it loads it and
# publishes the AMD (family 10h) stand-in profile.
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

svc -install >/dev/null
wait_log ' - Leaving Service$' 10 || e2e_fail "no Leaving Service with the PATH library: $(cat "$log" 2>/dev/null)"
tr -d '\r' <"$log" >"$svcdir/log.txt"
grep -aq ' - Skipped C:\\Drv\\WinRing0.dll: the service loads WinRing0.dll only from C:\\Svc\\ or the system folder; move it there$' \
  "$svcdir/log.txt" || e2e_fail "no line for the skipped library: $(cat "$svcdir/log.txt")"
grep -aq ' - File not found !$' "$svcdir/log.txt" || e2e_fail "no File not found line: $(cat "$svcdir/log.txt")"
[ "$(dump | field Section)" = none ] || e2e_fail "section published from a PATH library"
[ "$(svc -uninstall)" = "Status : not installed" ] || e2e_fail "uninstall"

# The library in the system folder (the 32-bit one for a 32-bit service).
pe=$(od -An -tu4 -j60 -N4 "$bin/MorvaithSvc.exe" | tr -d ' ')
if [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$bin/MorvaithSvc.exe" | tr -d ' ')" = 014c ]; then
  sysdir="$WINEPREFIX/drive_c/windows/syswow64"
else
  sysdir="$WINEPREFIX/drive_c/windows/system32"
fi
mv "$WINEPREFIX/drive_c/Drv/WinRing0.dll" "$WINEPREFIX/drive_c/Drv/WinRing0.profile" "$sysdir/"
[ "$(svc -install)" = "Status : SERVICE_RUNNING" ] || e2e_fail "install with the library in the system folder"
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
